// The pixel type, written as samples per pixel, bits per sample and photometric interpretation
// (tags 277, 258, 262), and restricted through the driver's disabled-modes tag. The bit depth
// has no answer of its own yet.
#include "cap/capstate.h"
#include "cap/captable.h"
#include "cap/container.h"
#include "twain/driver.h"
#include "twain/state.h"

namespace {

// Only these modes can ever be enabled: black-and-white, gray 4 and 8, RGB 24, palette 4 and 8.
constexpr DWORD kAlwaysDisabled = 0x1F7FFF76;
constexpr DWORD kModesBw = 1u << 0;
constexpr DWORD kModesGray = 0x0000FFFEu;     // bits 1..15
constexpr DWORD kModesRgb = 0x1FFF0000u;      // bits 16..28
constexpr DWORD kModesPalette = 0xE0000000u;  // bits 29..31

struct ImageTypeTags {
    TW_UINT16 type;
    LONG samples, bits, photometric;
};
constexpr ImageTypeTags kImageTypes[] = {
    {TWPT_BW, 1, 1, 0},
    {TWPT_GRAY, 1, 8, 0},
    {TWPT_RGB, 3, 8, 2},
    {TWPT_PALETTE, 1, 8, 3},
};

void ApplyImageType(TW_UINT16 type) {
    for (const ImageTypeTags &t : kImageTypes) {
        if (t.type != type) continue;
        DrvSetLong(kTagSamplesPerPixel, t.samples);
        DrvSetLong(kTagBitsPerSample, t.bits);
        DrvSetLong(kTagPhotometric, t.photometric);
    }
}

// The driver moves to the nearest mode it allows: what it ends in is written back as a whole,
// and a type it did not take is refused.
TW_UINT16 SetImageType(TW_UINT16 type) {
    ApplyImageType(type);
    const TW_UINT16 found = CurrentImageType();
    if (found == type) return TWRC_SUCCESS;
    ApplyImageType(found);
    return CapFail(TWCC_BADVALUE);
}

void WriteAllowedModes(DWORD allowed) {
    DrvSetLong(kTagModeLimit, static_cast<LONG>(~allowed | kAlwaysDisabled));
    ProbeImageTypes();
}

}  // namespace

TW_UINT16 GetPixelType(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_UINT16, TWPT_BW);
    const TW_UINT16 current = CurrentImageType();
    if (msg == MSG_GETCURRENT) return BuildOneValue(cap, TWTY_UINT16, current);
    TW_UINT16 items[4] = {TWPT_BW};
    TW_UINT32 n = 1, currentIndex = 0;
    const struct {
        BOOL offered;
        TW_UINT16 type;
    } others[] = {{gCaps.bGrayOffered, TWPT_GRAY}, {gCaps.bRgbOffered, TWPT_RGB}, {gCaps.bPaletteOffered, TWPT_PALETTE}};
    for (const auto &o : others)
        if (o.offered) items[n++] = o.type;
    for (TW_UINT32 i = 0; i < n; ++i)
        if (items[i] == current) currentIndex = i;
    return BuildEnumeration(cap, TWTY_UINT16, n, currentIndex, 0, items);
}

TW_UINT16 SetPixelType(TW_CAPABILITY *cap) {
    if (cap->ConType == TWON_ONEVALUE) {
        TW_UINT32 value = 0;
        if (TakeContainerValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
        return SetImageType(static_cast<TW_UINT16>(value));
    }
    if (cap->ConType != TWON_ENUMERATION) return CapFail(TWCC_BADPROTOCOL);
    TW_UINT16 type = 0, count = 0, current = 0, items[5] = {};
    if (ReadEnumeration(cap, &type, &count, &current, nullptr, items, sizeof items) != TWRC_SUCCESS)
        return TWRC_FAILURE;
    // An empty list, or one of other item sizes, would disable every mode: refused untouched.
    if (count == 0 || ItemSize(type) != 2) return CapFail(TWCC_BADVALUE);
    DWORD allowed = 0;
    for (TW_UINT16 i = 0; i < count; ++i) {
        switch (items[i]) {
        case TWPT_BW: allowed |= kModesBw; break;
        case TWPT_GRAY: allowed |= kModesGray; break;
        case TWPT_RGB: allowed |= kModesRgb; break;
        case TWPT_PALETTE: allowed |= kModesPalette; break;
        default: break;  // a type this scanner never has allows nothing
        }
    }
    if (allowed == 0) return CapFail(TWCC_BADVALUE);
    WriteAllowedModes(allowed);
    return SetImageType(items[current]);
}

// The outcome of going back to black-and-white is only logged.
TW_UINT16 ResetPixelType(TW_CAPABILITY *cap) {
    DriverCall(kMsgResetTag, kTagModeLimit, 0);
    ProbeImageTypes();
    SetImageType(TWPT_BW);
    return BuildOneValue(cap, TWTY_UINT16, TWPT_BW);
}

TW_UINT16 GetBitDepth(TW_UINT16, TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 SetBitDepth(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 ResetBitDepth(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
