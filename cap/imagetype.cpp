// ICAP_PIXELTYPE and ICAP_BITDEPTH. Both are combinations of three driver tags: samples per pixel
// (277), bits per sample (258) and photometric interpretation (262). The pixel type is derived
// from them, never stored (CurrentImageType); what the driver offers is the pixel-type probe's,
// and an application narrows it through the disabled-modes tag (5371), after every write of
// which the probe runs again. Reads that change tags do so inside a settings bracket.
#include <cstdlib>
#include <cstring>
#include <cstddef>

#include "cap/capstate.h"
#include "cap/captable.h"
#include "cap/container.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "util/gmem.h"

namespace {

// Bits of the allowed-modes mask (the complement of tag 5371): bit 0 black-and-white; bit n,
// n = 1..15, gray of n + 1 bits; bit 16 + n RGB of 3 x (n + 1) bits; bit 29 palette of 4 bits,
// bits 30 and 31 palette of 8 bits.
constexpr TW_UINT32 kModeBw = 0x00000001;
constexpr TW_UINT32 kModesGray = 0x0000FFFE;
constexpr TW_UINT32 kModesRgb = 0x1FFF0000;
constexpr TW_UINT32 kModesPalette = 0xE0000000;
// Always disabled, whatever an application allows: only black-and-white, gray 4 and 8 bits, RGB
// 24 bits and palette 4 and 8 bits can ever be enabled.
constexpr TW_UINT32 kNeverEnabled = 0x1F7FFF76;

// Room for the items of an application's enumeration.
constexpr TW_UINT16 kMaxTypeItems = 5;
constexpr TW_UINT16 kMaxDepthItems = 20;

// The tags each pixel type is written as; the mode bits an enumeration item allows.
struct ImageMode {
    TW_UINT16 type;
    LONG samples, bits, photometric;
    TW_UINT32 modes;
};
constexpr ImageMode kImageModes[] = {
    {TWPT_BW, 1, 1, 0, kModeBw},
    {TWPT_GRAY, 1, 8, 0, kModesGray},
    {TWPT_RGB, 3, 8, 2, kModesRgb},
    {TWPT_PALETTE, 1, 8, 3, kModesPalette},
};

const ImageMode *FindImageMode(TW_UINT32 type) {
    for (const ImageMode &m : kImageModes)
        if (m.type == type) return &m;
    return nullptr;
}

// A zero-filled working list of n items, freed on every path; items is null when n is not
// positive or the allocation failed.
template <class T>
struct WorkList {
    explicit WorkList(LONG n) : items(n > 0 ? static_cast<T *>(calloc(static_cast<size_t>(n), sizeof(T))) : nullptr) {}
    ~WorkList() { free(items); }
    WorkList(const WorkList &) = delete;
    WorkList &operator=(const WorkList &) = delete;
    T *items;
};

// The choices of bits per sample as the driver lists them now (for the samples per pixel set
// now). count is 0 when the driver cannot count them or has none; false: no memory for them.
struct DepthChoices {
    LONG count = 0;
    LONG *values = nullptr;
    ~DepthChoices() { free(values); }
};
bool ReadDepthChoices(DepthChoices *c) {
    LONG n = 0;
    if (DrvChoiceCount(kTagBitsPerSample, &n) != 0 || n <= 0) return true;
    c->values = static_cast<LONG *>(calloc(static_cast<size_t>(n), sizeof(LONG)));
    if (!c->values) return false;
    c->count = n;
    for (LONG i = 0; i < n; ++i) DrvChoiceLong(kTagBitsPerSample, i, &c->values[i]);
    return true;
}

TW_UINT16 Multiplier(TW_UINT16 type) { return type == TWPT_RGB ? 3 : 1; }

void ApplyImageType(TW_UINT32 type) {
    const ImageMode *m = FindImageMode(type);
    if (!m) return;
    DrvSetLong(kTagSamplesPerPixel, m->samples);
    DrvSetLong(kTagBitsPerSample, m->bits);
    DrvSetLong(kTagPhotometric, m->photometric);
}

// Writes the type; when the driver ends up in another one, that one is written as a whole so
// that the tags form a proper mode. False in that case, with the type found.
bool TryImageType(TW_UINT32 type, TW_UINT16 *found) {
    ApplyImageType(type);
    *found = CurrentImageType();
    if (*found == type) return true;
    ApplyImageType(*found);
    return false;
}

TW_UINT16 SetImageType(TW_UINT32 type) {
    TW_UINT16 found = 0;
    return TryImageType(type, &found) ? TWRC_SUCCESS : CapFail(TWCC_BADVALUE);
}

// The allowed modes written to the driver as its disabled modes, and the probe run again. A mask
// that would leave no mode at all enabled is refused before the driver hears of it.
TW_UINT16 WriteAllowedModes(TW_UINT32 allowed) {
    if ((allowed & ~kNeverEnabled) == 0) return CapFail(TWCC_BADVALUE);
    DrvSetLong(kTagModeLimit, static_cast<LONG>(~allowed | kNeverEnabled));
    ProbeImageTypes();
    return TWRC_SUCCESS;
}

// The items of an application's enumeration of 16-bit items, at most `room` of them (more is
// TWCC_LOWMEMORY). An empty list, items of another size, or a current index outside the list
// name no value and are TWCC_BADVALUE.
TW_UINT16 TakeItemList(const TW_CAPABILITY *cap, TW_UINT16 *items, TW_UINT16 room, TW_UINT16 *count,
                       TW_UINT16 *current) {
    TW_UINT16 type = 0;
    if (ReadEnumeration(cap, &type, count, nullptr, nullptr, nullptr, 0) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (*count == 0 || ItemSize(type) != 2) return CapFail(TWCC_BADVALUE);
    // The reader takes an index beyond the list as 0; a set must not pick a value the
    // application did not name, so the header's own index decides.
    {
        GlobalLockGuard lock(cap->hContainer);
        TW_UINT32 index = 0;
        if (!lock.data() || lock.size() < offsetof(TW_ENUMERATION, DefaultIndex)) return CapFail(TWCC_BADVALUE);
        memcpy(&index, lock.as<const BYTE>() + offsetof(TW_ENUMERATION, CurrentIndex), sizeof index);
        if (index >= *count) return CapFail(TWCC_BADVALUE);
    }
    return ReadEnumeration(cap, nullptr, count, current, nullptr, items, static_cast<TW_UINT32>(room) * 2);
}

// ---- MSG_GET of ICAP_BITDEPTH by pixel type, inside the caller's settings bracket

// Gray: the depths above 1 bit.
TW_UINT16 GetGrayDepths(TW_CAPABILITY *cap) {
    LONG flags = 0;
    if (DrvChoiceFlags(kTagBitsPerSample, &flags) == 0 && (flags & kChoiceRange)) {
        LONG mn = 0, mx = 0, st = 0;
        if (DrvChoiceLong(kTagBitsPerSample, kChoiceMin, &mn) != 0 || DrvChoiceLong(kTagBitsPerSample, kChoiceMax, &mx) != 0 ||
            DrvChoiceLong(kTagBitsPerSample, kChoiceStep, &st) != 0)
            return CapFail(TWCC_BADVALUE);
        if (mn == 1) mn += st;  // 1 bit is black-and-white, not gray
        if (mn >= mx) return BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(mx));
        LONG current = mx;
        if (DrvGetLong(kTagBitsPerSample, &current) != 0 || current == 1) current = mx;
        // Applications have always had this range in 32-bit items.
        return BuildRange(cap, TWTY_UINT32, mn, mx, st, 8, current);
    }
    DepthChoices c;
    if (!ReadDepthChoices(&c)) return CapFail(TWCC_LOWMEMORY);
    if (c.count == 0) return CapFail(TWCC_BADVALUE);
    if (c.count == 1) {
        if (c.values[0] == 1) return CapFail(TWCC_BADVALUE);
        return BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(c.values[0]));
    }
    // The first choice is taken to be the 1-bit black-and-white one and left out.
    if (c.count == 2) return BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(c.values[1]));
    WorkList<TW_UINT16> list(c.count - 1);
    if (!list.items) return CapFail(TWCC_LOWMEMORY);
    LONG current = 0;
    DrvGetLong(kTagBitsPerSample, &current);
    TW_UINT32 currentIndex = 0, defaultIndex = 0;
    bool defaultFound = false;
    for (LONG i = 1; i < c.count; ++i) {
        const TW_UINT32 at = static_cast<TW_UINT32>(i - 1);
        list.items[at] = static_cast<TW_UINT16>(c.values[i]);
        if (current != 1 && c.values[i] == current) currentIndex = at;
        if (!defaultFound && c.values[i] == 8) defaultIndex = at, defaultFound = true;
    }
    return BuildEnumeration(cap, TWTY_UINT16, static_cast<TW_UINT32>(c.count - 1), currentIndex, defaultIndex, list.items);
}

// RGB and palette: each choice times the samples per pixel; for palette only the depths at
// which the driver offers the palette photometric value.
TW_UINT16 GetColorDepths(TW_UINT16 type, TW_CAPABILITY *cap) {
    const TW_UINT16 m = Multiplier(type);
    DepthChoices c;
    if (!ReadDepthChoices(&c)) return CapFail(TWCC_LOWMEMORY);
    if (c.count == 0) return CapFail(TWCC_BADVALUE);
    if (c.count == 1) return BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(c.values[0] * m));
    WorkList<TW_UINT16> list(c.count);
    if (!list.items) return CapFail(TWCC_LOWMEMORY);
    LONG current = 0;
    DrvGetLong(kTagBitsPerSample, &current);
    TW_UINT32 n = 0, currentIndex = 0, defaultIndex = 0;
    bool defaultFound = false;
    for (LONG i = 0; i < c.count; ++i) {
        const LONG v = c.values[i];
        if (type == TWPT_PALETTE) {
            DrvSetLong(kTagBitsPerSample, v);
            if (!DrvChoicesInclude(kTagPhotometric, 3)) continue;
        }
        if (current != 1 && v == current) currentIndex = n;
        if (!defaultFound && v == 8) defaultIndex = n, defaultFound = true;
        list.items[n++] = static_cast<TW_UINT16>(v * m);
    }
    // No depth offers a palette: there is nothing to list.
    if (n == 0) return CapFail(TWCC_BADVALUE);
    return BuildEnumeration(cap, TWTY_UINT16, n, currentIndex, defaultIndex, list.items);
}

// ---- MSG_SET of ICAP_BITDEPTH

// The modes an enumeration of depths allows for the pixel type, merged into the allowed modes
// of the other types as the driver has them now.
TW_UINT16 AllowedByDepths(TW_UINT16 type, const TW_UINT16 *items, TW_UINT16 count, TW_UINT32 *allowed) {
    const LONG m = Multiplier(type);
    DepthChoices c;
    if (!ReadDepthChoices(&c)) return CapFail(TWCC_LOWMEMORY);
    TW_UINT32 found = 0;
    auto add = [&found](LONG bit) {
        if (bit >= 0 && bit < 32) found |= 1u << bit;
    };
    for (TW_UINT16 k = 0; k < count; ++k) {
        const LONG b = items[k];
        for (LONG i = 0; i < c.count; ++i) {
            const LONG v = c.values[i];
            if (type == TWPT_PALETTE) {
                if (v == 4) add(29);
                if (v == 8) add(30), add(31);
                continue;
            }
            if (static_cast<long long>(v) * m == b) {
                add(b / m - 1);
                break;
            }
            if (v == b) {
                add(b - 1);
                break;
            }
        }
    }
    TW_UINT32 a = *allowed;
    switch (type) {
    case TWPT_BW: a = (a & ~kModeBw) | (found & kModeBw); break;
    case TWPT_GRAY: a = (a & ~kModesGray) | (found & kModesGray); break;
    // RGB and palette both take the whole upper half: setting the depths of one of them leaves
    // the other with only the modes found here.
    case TWPT_RGB: a = (a & 0x0000FFFF) | (found << 16); break;
    default: a = (a & 0x0000FFFF) | found; break;  // palette
    }
    *allowed = a;
    return TWRC_SUCCESS;
}

// Writes the depth d for the pixel type and checks what the driver took.
TW_UINT16 ApplyDepth(TW_UINT16 type, TW_UINT32 d) {
    const LONG m = Multiplier(type);
    switch (type) {
    case TWPT_BW:
        if (d != 1) return CapFail(TWCC_BADVALUE);
        DrvSetLong(kTagSamplesPerPixel, 1);
        DrvSetLong(kTagBitsPerSample, 1);
        DrvSetLong(kTagPhotometric, 0);
        break;
    case TWPT_GRAY:
        DrvSetLong(kTagSamplesPerPixel, 1);
        if (d == 1) return CapFail(TWCC_BADVALUE);
        DrvSetLong(kTagBitsPerSample, static_cast<LONG>(d));
        DrvSetLong(kTagPhotometric, 0);
        break;
    default: {  // RGB and palette
        DrvSetLong(kTagSamplesPerPixel, m);
        DepthChoices c;
        if (!ReadDepthChoices(&c)) return CapFail(TWCC_LOWMEMORY);
        bool written = false;
        for (LONG i = 0; i < c.count && !written; ++i) {
            if (static_cast<long long>(c.values[i]) * m == d) {
                DrvSetLong(kTagBitsPerSample, static_cast<LONG>(d / m));
                written = true;
            } else if (c.values[i] == static_cast<LONG>(d)) {
                DrvSetLong(kTagBitsPerSample, static_cast<LONG>(d));
                written = true;
            }
        }
        if (!written) return CapFail(TWCC_BADVALUE);
        DrvSetLong(kTagPhotometric, type == TWPT_RGB ? 2 : 3);
        break;
    }
    }
    LONG bits = 0;
    if (DrvGetLong(kTagBitsPerSample, &bits) != 0) return CapFail(TWCC_BADVALUE);
    if (static_cast<long long>(bits) * m == d) return TWRC_SUCCESS;
    if (type != TWPT_BW && type != TWPT_GRAY && static_cast<TW_UINT32>(m) == d) return TWRC_SUCCESS;
    return CapFail(TWCC_BADVALUE);
}

}  // namespace

// ---- ICAP_PIXELTYPE

TW_UINT16 GetPixelType(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_UINT16, TWPT_BW);
    const TW_UINT16 current = CurrentImageType();
    if (msg == MSG_GETCURRENT) return BuildOneValue(cap, TWTY_UINT16, current);
    TW_UINT16 items[4];
    TW_UINT32 n = 0;
    items[n++] = TWPT_BW;
    if (gCaps.bGrayOffered) items[n++] = TWPT_GRAY;
    if (gCaps.bRgbOffered) items[n++] = TWPT_RGB;
    if (gCaps.bPaletteOffered) items[n++] = TWPT_PALETTE;
    TW_UINT32 currentIndex = 0;
    for (TW_UINT32 i = 0; i < n; ++i)
        if (items[i] == current) currentIndex = i;
    return BuildEnumeration(cap, TWTY_UINT16, n, currentIndex, 0, items);
}

// A one-value sets the type; an enumeration also narrows the modes to the types it lists.
TW_UINT16 SetPixelType(TW_CAPABILITY *cap) {
    if (cap->ConType == TWON_ONEVALUE) {
        TW_UINT32 value = 0;
        if (TakeContainerValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
        return SetImageType(value);
    }
    if (cap->ConType != TWON_ENUMERATION) return CapFail(TWCC_BADPROTOCOL);
    TW_UINT16 items[kMaxTypeItems] = {}, count = 0, current = 0;
    if (TakeItemList(cap, items, kMaxTypeItems, &count, &current) != TWRC_SUCCESS) return TWRC_FAILURE;
    TW_UINT32 allowed = 0;
    for (TW_UINT16 i = 0; i < count; ++i)
        if (const ImageMode *m = FindImageMode(items[i])) allowed |= m->modes;
    if (WriteAllowedModes(allowed) != TWRC_SUCCESS) return TWRC_FAILURE;
    return SetImageType(items[current]);
}

TW_UINT16 ResetPixelType(TW_CAPABILITY *cap) {
    DriverCall(kMsgResetTag, kTagModeLimit, 0);
    ProbeImageTypes();
    TW_UINT16 found = 0;
    if (!TryImageType(TWPT_BW, &found))
        SdkPrint(kLogTwain, "%s: black-and-white not taken, pixel type %u kept", CapName(cap->Cap),
                 static_cast<unsigned>(found));
    return BuildOneValue(cap, TWTY_UINT16, TWPT_BW);
}

// ---- ICAP_BITDEPTH

TW_UINT16 GetBitDepth(TW_UINT16 msg, TW_CAPABILITY *cap) {
    const TW_UINT16 type = CurrentImageType();
    if (type == TWPT_BW) return BuildOneValue(cap, TWTY_UINT16, 1);
    if (msg == MSG_GETDEFAULT) {
        const bool offered = type == TWPT_GRAY ? gCaps.bGrayOffered : type == TWPT_RGB ? gCaps.bRgbOffered : gCaps.bPaletteOffered;
        if (!offered) return CapFail(TWCC_CAPUNSUPPORTED);
        return BuildOneValue(cap, TWTY_UINT16, type == TWPT_RGB ? 24 : 8);
    }
    const TW_UINT16 m = Multiplier(type);
    SettingsBracket bracket;
    DrvSetLong(kTagSamplesPerPixel, m);
    if (msg == MSG_GETCURRENT) {
        LONG bits = 0;
        if (DrvGetLong(kTagBitsPerSample, &bits) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
        return BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(bits * m));
    }
    return type == TWPT_GRAY ? GetGrayDepths(cap) : GetColorDepths(type, cap);
}

// A one-value sets the depth of the current pixel type; an enumeration also narrows the modes of
// that type to the depths it lists.
TW_UINT16 SetBitDepth(TW_CAPABILITY *cap) {
    const TW_UINT16 type = CurrentImageType();
    TW_UINT32 d = 0;
    if (cap->ConType == TWON_ONEVALUE) {
        if (TakeContainerValue(cap, TWTY_UINT16, &d) != TWRC_SUCCESS) return TWRC_FAILURE;
    } else if (cap->ConType == TWON_ENUMERATION) {
        LONG disabled = 0;
        if (DrvGetLong(kTagModeLimit, &disabled) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
        TW_UINT32 allowed = ~static_cast<TW_UINT32>(disabled);
        TW_UINT16 items[kMaxDepthItems] = {}, count = 0, current = 0;
        if (TakeItemList(cap, items, kMaxDepthItems, &count, &current) != TWRC_SUCCESS) return TWRC_FAILURE;
        DrvSetLong(kTagSamplesPerPixel, Multiplier(type));
        d = items[current];
        if (AllowedByDepths(type, items, count, &allowed) != TWRC_SUCCESS) return TWRC_FAILURE;
        if (WriteAllowedModes(allowed) != TWRC_SUCCESS) return TWRC_FAILURE;
    } else {
        return CapFail(TWCC_BADPROTOCOL);
    }
    return ApplyDepth(type, d);
}

TW_UINT16 ResetBitDepth(TW_CAPABILITY *cap) {
    const TW_UINT16 type = CurrentImageType();
    const TW_UINT16 m = Multiplier(type);
    const TW_UINT16 depth = type == TWPT_BW ? 1 : 8;
    DrvSetLong(kTagSamplesPerPixel, m);
    DriverCall(kMsgResetTag, kTagModeLimit, 0);
    ProbeImageTypes();
    DrvSetLong(kTagBitsPerSample, depth);
    return BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(depth * m));
}
