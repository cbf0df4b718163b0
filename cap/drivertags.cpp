// Driver tags as capability containers, by value kind, and the driver-defined capabilities that
// are nothing but such a tag.
#include "cap/drivertags.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "cap/capstate.h"
#include "cap/captable.h"
#include "cap/container.h"
#include "sdkprint/sdkprint.h"
#include "twain/state.h"
#include "util/values.h"

namespace {

constexpr int kMaxNames = 99;  // string choices beyond this are not offered as a list
constexpr int kNameBytes = 34;

TW_UINT16 Fix32Word(DriverRatio r, RatioUnits units, TW_UINT32 *word) {
    TW_FIX32 f{};
    if (units == RatioUnits::kAsIs) RatioToFix32(r, &f);
    else if (ResolutionToFix32(r, &f) != TWRC_SUCCESS) return TWRC_FAILURE;
    *word = Fix32ToWord(f);
    return TWRC_SUCCESS;
}

TW_UINT16 BuildFix32(TW_CAPABILITY *cap, DriverRatio r, RatioUnits units) {
    TW_UINT32 word = 0;
    if (Fix32Word(r, units, &word) != TWRC_SUCCESS) return TWRC_FAILURE;
    return BuildOneValue(cap, TWTY_FIX32, word);
}

bool ReadLong(LONG tag, bool deflt, LONG *v) { return (deflt ? DrvDefaultLong(tag, v) : DrvGetLong(tag, v)) == 0; }
bool ReadRatio(LONG tag, bool deflt, DriverRatio *r) {
    return (deflt ? DrvDefaultRatio(tag, r) : DrvGetRatio(tag, r)) == 0;
}

// Long choices: a range of TWTY_INT32, or an enumeration of every listed choice.
TW_UINT16 LongChoices(LONG tag, LONG flags, TW_CAPABILITY *cap) {
    LONG deflt = 0, current = 0;
    if (!ReadLong(tag, true, &deflt) || !ReadLong(tag, false, &current)) return CapFail(TWCC_CAPUNSUPPORTED);
    if (flags & kChoiceRange) {
        LONG mn = 0, mx = 0, st = 0;
        if (DrvChoiceLong(tag, kChoiceMin, &mn) != 0 || DrvChoiceLong(tag, kChoiceMax, &mx) != 0 ||
            DrvChoiceLong(tag, kChoiceStep, &st) != 0)
            return CapFail(TWCC_CAPUNSUPPORTED);
        return BuildRange(cap, TWTY_INT32, mn, mx, st, deflt, current);
    }
    if (!(flags & kChoiceList)) return BuildOneValue(cap, TWTY_INT32, current);
    LONG count = 0;
    if (DrvChoiceCount(tag, &count) != 0 || count == 0) return CapFail(TWCC_CAPUNSUPPORTED);
    std::vector<LONG> items(count);
    TW_UINT32 currentIndex = 0, defaultIndex = 0;
    for (LONG i = count - 1; i >= 0; --i) {
        DrvChoiceLong(tag, i, &items[i]);
        if (items[i] == current) currentIndex = i;
        if (items[i] == deflt) defaultIndex = i;
    }
    return BuildEnumeration(cap, TWTY_INT32, count, currentIndex, defaultIndex, items.data());
}

// Rational choices in the current units: a range, or an enumeration whose default index is the
// item equal to the default and whose current index is the item of the same whole number.
TW_UINT16 RationalChoices(LONG tag, LONG flags, TW_CAPABILITY *cap) {
    DriverRatio d{}, c{};
    if (!ReadRatio(tag, true, &d) || !ReadRatio(tag, false, &c)) return CapFail(TWCC_CAPUNSUPPORTED);
    TW_UINT32 deflt = 0, current = 0;
    if (Fix32Word(d, RatioUnits::kCurrentUnits, &deflt) != TWRC_SUCCESS ||
        Fix32Word(c, RatioUnits::kCurrentUnits, &current) != TWRC_SUCCESS)
        return TWRC_FAILURE;
    if (flags & kChoiceRange) {
        DriverRatio mn{}, mx{}, st{};
        if (DrvChoiceRatio(tag, kChoiceMin, &mn) != 0 || DrvChoiceRatio(tag, kChoiceMax, &mx) != 0 ||
            DrvChoiceRatio(tag, kChoiceStep, &st) != 0)
            return CapFail(TWCC_CAPUNSUPPORTED);
        TW_UINT32 wmn = 0, wmx = 0, wst = 0;
        if (Fix32Word(mn, RatioUnits::kCurrentUnits, &wmn) != TWRC_SUCCESS ||
            Fix32Word(mx, RatioUnits::kCurrentUnits, &wmx) != TWRC_SUCCESS ||
            Fix32Word(st, RatioUnits::kCurrentUnits, &wst) != TWRC_SUCCESS)
            return TWRC_FAILURE;
        return BuildRange(cap, TWTY_FIX32, wmn, wmx, wst, deflt, current);
    }
    if (!(flags & kChoiceList)) return BuildOneValue(cap, TWTY_FIX32, current);
    LONG count = 0;
    if (DrvChoiceCount(tag, &count) != 0 || count == 0) return CapFail(TWCC_CAPUNSUPPORTED);
    std::vector<TW_UINT32> items(count);
    TW_UINT32 currentIndex = 0, defaultIndex = 0;
    bool currentFound = false, defaultFound = false;
    for (LONG i = 0; i < count; ++i) {
        DriverRatio r{};
        DrvChoiceRatio(tag, i, &r);
        if (Fix32Word(r, RatioUnits::kCurrentUnits, &items[i]) != TWRC_SUCCESS) return TWRC_FAILURE;
        if (!defaultFound && items[i] == deflt) defaultIndex = i, defaultFound = true;
        if (!currentFound && (items[i] & 0xFFFF) == (current & 0xFFFF)) currentIndex = i, currentFound = true;
    }
    return BuildEnumeration(cap, TWTY_FIX32, count, currentIndex, defaultIndex, items.data());
}

}  // namespace

bool ReadTagKind(LONG tag, TagKind *kind) {
    LONG k = 0;
    if (DrvValueKind(tag, &k) != 0) return false;
    *kind = k == 2 ? TagKind::kString : k == 5 ? TagKind::kRational : TagKind::kLong;
    return true;
}

bool ReadTagString(LONG tag, bool deflt, char *buffer, int size) {
    return (deflt ? DrvDefaultString(tag, buffer, size) : DrvGetString(tag, buffer, size)) == 0;
}

TW_UINT16 BuildNameEnumeration(LONG tag, const char *current, const char *deflt, TW_CAPABILITY *cap) {
    LONG count = 0;
    if (DrvChoiceCount(tag, &count) != 0 || count < 1 || count > kMaxNames) return CapFail(TWCC_CAPUNSUPPORTED);
    // 99 names of 34 bytes do not fit the shared scratch buffer: the list has its own block.
    std::vector<char> items(static_cast<size_t>(count) * kNameBytes, 0);
    TW_UINT32 currentIndex = 0, defaultIndex = 0;
    bool currentFound = false, defaultFound = false;
    char name[256];
    for (LONG i = 0; i < count; ++i) {
        if (DrvChoiceString(tag, i, name, sizeof name) != 0) name[0] = 0;
        // At most 33 characters and the terminator: a TWTY_STR32 item is always terminated.
        memcpy(&items[i * kNameBytes], name, strnlen(name, kNameBytes - 1));
        if (!currentFound && current && strcmp(name, current) == 0) currentIndex = i, currentFound = true;
        if (!defaultFound && deflt && strcmp(name, deflt) == 0) defaultIndex = i, defaultFound = true;
    }
    return BuildEnumeration(cap, TWTY_STR32, count, currentIndex, defaultIndex, items.data());
}

TW_UINT16 GetTagChoices(LONG tag, TagKind kind, TW_CAPABILITY *cap) {
    if (kind == TagKind::kString) {
        // Free text offers no names to choose from: the one value it has now is the answer.
        LONG count = 0;
        if (DrvChoiceCount(tag, &count) != 0 || count < 1 || count > kMaxNames)
            return GetTagValue(tag, kind, false, RatioUnits::kAsIs, cap);
        char current[80] = {}, deflt[80] = {};
        ReadTagString(tag, false, current, sizeof current);
        ReadTagString(tag, true, deflt, sizeof deflt);
        return BuildNameEnumeration(tag, current, deflt, cap);
    }
    LONG flags = 0;
    if (DrvChoiceFlags(tag, &flags) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
    return kind == TagKind::kRational ? RationalChoices(tag, flags, cap) : LongChoices(tag, flags, cap);
}

TW_UINT16 GetTagValue(LONG tag, TagKind kind, bool deflt, RatioUnits units, TW_CAPABILITY *cap) {
    switch (kind) {
    case TagKind::kLong: {
        LONG v = 0;
        if (!ReadLong(tag, deflt, &v)) return CapFail(TWCC_CAPUNSUPPORTED);
        return BuildOneValue(cap, TWTY_INT32, v);
    }
    case TagKind::kRational: {
        DriverRatio r{};
        if (!ReadRatio(tag, deflt, &r)) return CapFail(TWCC_CAPUNSUPPORTED);
        return BuildFix32(cap, r, units);
    }
    case TagKind::kString:
        break;
    }
    char *text = reinterpret_cast<char *>(gCapScratch);
    if (!ReadTagString(tag, deflt, text, kCapScratchBytes)) return CapFail(TWCC_CAPUNSUPPORTED);
    return BuildOneValueStr32(cap, text);
}

TW_UINT16 SetTagValue(LONG tag, TagKind kind, TW_CAPABILITY *cap, TW_UINT16 badRationalType) {
    if (kind == TagKind::kString) {
        char name[34];
        if (GetContainerStr32(cap, nullptr, name) != TWRC_SUCCESS) return TWRC_FAILURE;
        return DrvSetString(tag, name) == 0 ? TWRC_SUCCESS : CapFail(TWCC_CAPUNSUPPORTED);
    }
    if (kind == TagKind::kLong) {
        TW_UINT32 value = 0;
        if (TakeValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
        return DrvSetLong(tag, static_cast<LONG>(value)) == 0 ? TWRC_SUCCESS : CapFail(TWCC_CAPUNSUPPORTED);
    }
    TW_UINT16 type = 0;
    TW_UINT32 value = 0;
    if (GetContainerValue(cap, &type, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (type != TWTY_FIX32) return CapFail(badRationalType);
    DriverRatio want{};
    if (ValueToRatio(type, value, &want) != TWRC_SUCCESS) return TWRC_FAILURE;
    // Nothing scans at less than one dot per inch, and every length conversion divides by it.
    if (want.den <= 0 || want.num / want.den < 1) return CapFail(TWCC_BADVALUE);
    DriverRatio got{};
    if (DrvSetRatio(tag, want) != 0 || DrvGetRatio(tag, &got) != 0 || got.den == 0) return CapFail(TWCC_BADVALUE);
    if (got.num / got.den != want.num / want.den) return CapFail(TWCC_BADVALUE);
    return TWRC_SUCCESS;
}

TW_UINT16 ResetTagValue(LONG tag, TagKind kind, TW_CAPABILITY *cap) {
    switch (kind) {
    case TagKind::kLong: {
        LONG v = 0;
        if (!ReadLong(tag, true, &v) || DrvSetLong(tag, v) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
        return BuildOneValue(cap, TWTY_INT32, v);
    }
    case TagKind::kRational: {
        DriverRatio r{};
        if (!ReadRatio(tag, true, &r) || DrvSetRatio(tag, r) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
        return BuildFix32(cap, r, RatioUnits::kCurrentUnits);
    }
    case TagKind::kString:
        break;
    }
    char *text = reinterpret_cast<char *>(gCapScratch);
    if (!ReadTagString(tag, true, text, kCapScratchBytes) || DrvSetString(tag, text) != 0)
        return CapFail(TWCC_CAPUNSUPPORTED);
    return BuildOneValueStr32(cap, text);
}

// ---- Driver-defined capabilities

TW_UINT16 GetDriverDefined(TW_UINT16 msg, TW_CAPABILITY *cap, TW_UINT16 tag) {
    TagKind kind{};
    if (!ReadTagKind(tag, &kind)) return CapFail(TWCC_CAPUNSUPPORTED);
    if (msg == MSG_GET) return GetTagChoices(tag, kind, cap);
    // The current rational is the driver's number as it is; its default goes through the units.
    const RatioUnits units = msg == MSG_GETCURRENT ? RatioUnits::kAsIs : RatioUnits::kCurrentUnits;
    return GetTagValue(tag, kind, msg == MSG_GETDEFAULT, units, cap);
}

TW_UINT16 SetDriverDefined(TW_CAPABILITY *cap, TW_UINT16 tag, TW_UINT16 flags) {
    SdkPrint(kLogTwainApi, "TWAIN capability is assigned to ORVA tag: %d", tag);
    if (flags & kDriverCapReadOnly) return CapFail(TWCC_CAPBADOPERATION);
    if (RequireOneValue(cap) != TWRC_SUCCESS) return TWRC_FAILURE;
    TagKind kind{};
    if (!ReadTagKind(tag, &kind)) return CapFail(TWCC_CAPUNSUPPORTED);
    return SetTagValue(tag, kind, cap, TWCC_BUMMER);
}

TW_UINT16 ResetDriverDefined(TW_CAPABILITY *cap, TW_UINT16 tag, TW_UINT16 flags) {
    if (flags & kDriverCapReadOnly) return CapFail(TWCC_CAPBADOPERATION);
    TagKind kind{};
    if (!ReadTagKind(tag, &kind)) return CapFail(TWCC_CAPUNSUPPORTED);
    return ResetTagValue(tag, kind, cap);
}
