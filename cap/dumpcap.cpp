// DumpCapability: the container of each get and set, as lines of the diagnostic log. Reading for
// the dump never changes the stored condition code.
#include <cstring>

#include "cap/container.h"
#include "sdkprint/sdkprint.h"
#include "twain/state.h"
#include "util/gmem.h"
#include "util/values.h"

namespace {

// A FIX32 shown as n/d~=w: the fraction as the unit fraction 1/d the driver would get.
struct FixParts {
    int n, d, whole;
};
FixParts Parts(TW_UINT32 word) {
    const TW_FIX32 f = WordToFix32(word);
    if (f.Frac == 0) return {f.Whole, 1, f.Whole};
    const int d = 65536 / f.Frac;
    return {f.Whole * d + 1, d, f.Whole};
}

TW_UINT32 Get32(const BYTE *p) {
    TW_UINT32 v;
    memcpy(&v, p, 4);
    return v;
}

void DumpOneValue(DWORD mask, const BYTE *p, SIZE_T size) {
    TW_UINT16 type;
    memcpy(&type, p, 2);
    const TW_UINT32 item = Get32(p + 2);
    switch (type) {
    case TWTY_INT8:
    case TWTY_UINT8:
        SdkPrint(mask, "char: %02x", item & 0xFF);
        return;
    case TWTY_INT16:
    case TWTY_UINT16:
        SdkPrint(mask, "word: %04x", item & 0xFFFF);
        return;
    case TWTY_INT32:
    case TWTY_UINT32:
        SdkPrint(mask, "long: %08x", item);
        return;
    case TWTY_BOOL:
        SdkPrint(mask, "bool: %s", item ? "true" : "false");
        return;
    case TWTY_FIX32: {
        const TW_FIX32 f = WordToFix32(item);
        if (f.Frac == 0) {
            SdkPrint(mask, "FIX32: %d/%d", f.Whole, 1);
        } else {
            const FixParts fp = Parts(item);
            SdkPrint(mask, "FIX32: %d/%d~=%d", fp.n, fp.d, static_cast<unsigned>(fp.n) / static_cast<unsigned>(fp.d));
        }
        return;
    }
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255: {
        static const char *const kFormats[] = {"STR32: [%s]", "STR64: [%s]", "STR128: [%s]", "STR255: [%s]"};
        // The text may fill its field without a terminator, and the block may be shorter.
        char text[257] = {};
        SIZE_T n = ItemSize(type);
        if (size < 2 + n) n = size - 2;
        memcpy(text, p + 2, n);
        SdkPrint(mask, kFormats[type - TWTY_STR32], text);
        return;
    }
    default:
        return;
    }
}

// Lines of an enumeration of integers, by item type.
struct IntegerListFormat {
    TW_UINT16 type;
    const char *heading, *item, *closing;
};
constexpr IntegerListFormat kIntegerLists[] = {
    {TWTY_INT8, "Enumeration: TWTY_xINT8 values:", "%02x ", "Current: %02x   Default: %02x"},
    {TWTY_UINT8, "Enumeration: TWTY_xINT8 values:", "%02x ", "Current: %02x   Default: %02x"},
    {TWTY_INT16, "Enumeration: 2-byte values:", "%04x ", "Current: %04x   Default: %04x"},
    {TWTY_UINT16, "Enumeration: 2-byte values:", "%04x ", "Current: %04x   Default: %04x"},
    {TWTY_BOOL, "Enumeration: 2-byte values:", "%04x ", "Current: %04x   Default: %04x"},
    {TWTY_INT32, "Enumeration: 4-byte values:", "%08x ", "Current: %08x   Default: %08x"},
    {TWTY_UINT32, "Enumeration: 4-byte values:", "%08x ", "Current: %08x   Default: %08x"},
};

const IntegerListFormat *IntegerListFormatOf(TW_UINT16 type) {
    for (const IntegerListFormat &f : kIntegerLists)
        if (f.type == type) return &f;
    return nullptr;
}

void DumpEnumeration(DWORD mask, const TW_CAPABILITY *cap) {
    static BYTE list[16384];
    TW_UINT16 type = 0, count = 0, current = 0, deflt = 0;
    const TW_UINT16 savedCc = gState.ConditionCode;
    const bool read =
        ReadEnumeration(cap, &type, &count, &current, &deflt, list, sizeof list) == TWRC_SUCCESS;
    gState.ConditionCode = savedCc;
    if (!read) return;
    auto at = [&](TW_UINT16 i) -> TW_UINT32 {
        TW_UINT32 v = 0;
        if (i >= count) return 0;
        switch (ItemSize(type)) {
        case 1:
            return list[i];
        case 2: {
            TW_UINT16 w;
            memcpy(&w, list + 2 * i, 2);
            return w;
        }
        default:
            memcpy(&v, list + 4 * i, 4);
            return v;
        }
    };
    if (const IntegerListFormat *f = IntegerListFormatOf(type)) {
        SdkPrint(mask, f->heading);
        for (TW_UINT16 i = 0; i < count; ++i) SdkPrint(mask, f->item, at(i));
        SdkPrint(mask, f->closing, at(current), at(deflt));
        return;
    }
    if (type != TWTY_FIX32) return;
    SdkPrint(mask, "Enumeration: 4-byte values:");
    for (TW_UINT16 i = 0; i < count; ++i) {
        const FixParts p = Parts(at(i));
        SdkPrint(mask, "%d/%d~=%d ", p.n, p.d, p.whole);
    }
    const FixParts c = Parts(at(current)), d = Parts(at(deflt));
    SdkPrint(mask, "Current: %d/%d~=%d   Default: %d/%d~=%d", c.n, c.d, c.whole, d.n, d.d, d.whole);
}

void DumpRange(DWORD mask, const BYTE *p) {
    TW_UINT16 type;
    memcpy(&type, p, 2);
    const TW_UINT32 mn = Get32(p + 2), mx = Get32(p + 6), st = Get32(p + 10), df = Get32(p + 14),
                    cu = Get32(p + 18);
    if (type == TWTY_FIX32) {
        const FixParts a = Parts(mn), b = Parts(mx), c = Parts(st), d = Parts(df), e = Parts(cu);
        SdkPrint(mask,
                 "Range FIX32: Min: %d/%d~=%d   Max: %d/%d~=%d   Step: %d/%d~=%d    Default: %d/%d~=%d   "
                 "Current: %d/%d~=%d",
                 a.n, a.d, a.whole, b.n, b.d, b.whole, c.n, c.d, c.whole, d.n, d.d, d.whole, e.n, e.d, e.whole);
        return;
    }
    SdkPrint(mask, "Range: Min: %d   Max: %d   Step: %d   Default: %d    Current: %d", mn, mx, st, df, cu);
}

}  // namespace

void DumpCapability(DWORD mask, const TW_CAPABILITY *cap) {
    if (!cap || !LogWants(mask)) return;
    GlobalLockGuard lock(cap->hContainer);
    const auto *p = lock.as<const BYTE>();
    if (!p) return;
    switch (cap->ConType) {
    case TWON_ONEVALUE:
        if (lock.size() >= 6) DumpOneValue(mask, p, lock.size());
        return;
    case TWON_ENUMERATION:
        DumpEnumeration(mask, cap);
        return;
    case TWON_RANGE:
        if (lock.size() >= 22) DumpRange(mask, p);
        return;
    case TWON_ARRAY:
        SdkPrint(mask, "Array - no debug yet");
        return;
    default:
        return;
    }
}
