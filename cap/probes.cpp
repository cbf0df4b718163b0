// What the driver offers: its own capabilities, pixel types and paper sources. Every probe that
// changes tags does so inside a settings bracket, so the driver's settings come back unchanged.
#include "cap/capstate.h"
#include "twain/driver.h"

namespace {

constexpr LONG kPaperCodes[kPaperSourceCount] = {2, 3, 4};

LONG ChoiceCount(LONG tag) {
    LONG count = 0;
    DrvChoiceCount(tag, &count);
    return count;
}

void ReadPaperChoices(BOOL offered[kPaperSourceCount]) {
    for (int i = 0; i < kPaperSourceCount; ++i) offered[i] = FALSE;
    const LONG count = ChoiceCount(kTagPaperSource);
    for (LONG c = 0; c < count; ++c) {
        LONG v = 0;
        if (DrvChoiceLong(kTagPaperSource, c, &v) != 0) continue;
        for (int i = 0; i < kPaperSourceCount; ++i)
            if (v == kPaperCodes[i]) offered[i] = TRUE;
    }
}

}  // namespace

void LoadDriverCapabilities() {
    for (DriverCapability &e : gCaps.DriverCaps) e = DriverCapability{};
    LONG count = 0;
    if (DriverCall(kMsgTagCount, 0, reinterpret_cast<LONG>(&count)) != 0) return;
    // The driver's count is its business; the index travels in 16 bits.
    if (count > 0xFFFF) count = 0xFFFF;
    for (LONG i = 0; i < count; ++i) {
        LONG tag = 0;
        if (DrvGetLong(static_cast<LONG>(static_cast<DWORD>(i) << 16), &tag) != 0) continue;
        LONG word = 0;
        if (DriverCall(kMsgTagCapability, tag, reinterpret_cast<LONG>(&word)) != 0 || word == 0) continue;
        for (DriverCapability &e : gCaps.DriverCaps) {
            if (e.code != 0) continue;
            e = {static_cast<TW_UINT16>(word & 0xFFFF), static_cast<TW_UINT16>(tag),
                 static_cast<TW_UINT16>((static_cast<DWORD>(word) >> 16) & 0xFFFF)};
            break;
        }
    }
}

bool FindDriverCapability(TW_UINT16 code, TW_UINT16 *tag, TW_UINT16 *flags) {
    if (code == 0) return false;
    for (const DriverCapability &e : gCaps.DriverCaps) {
        if (e.code != code) continue;
        if (tag) *tag = e.tag;
        if (flags) *flags = e.flags;
        return true;
    }
    return false;
}

void ProbeImageTypes() {
    gCaps.bGrayOffered = gCaps.bRgbOffered = gCaps.bPaletteOffered = FALSE;
    SettingsBracket bracket;
    DrvSetLong(kTagSamplesPerPixel, 1);
    const LONG depths = ChoiceCount(kTagBitsPerSample);
    for (LONG i = 0; i < depths; ++i) {
        LONG bps = 0;
        if (DrvChoiceLong(kTagBitsPerSample, i, &bps) == 0 && bps > 1) gCaps.bGrayOffered = TRUE;
    }
    gCaps.bRgbOffered = DrvChoicesInclude(kTagSamplesPerPixel, 3);
    for (LONG i = 0; i < depths; ++i) {
        LONG bps = 0;
        if (DrvChoiceLong(kTagBitsPerSample, i, &bps) != 0) continue;
        DrvSetLong(kTagBitsPerSample, bps);
        if (DrvChoicesInclude(kTagPhotometric, 3)) gCaps.bPaletteOffered = TRUE;
    }
}

TW_UINT16 CurrentImageType() {
    LONG spp = 1, bps = 1, photometric = 0;
    DrvGetLong(kTagSamplesPerPixel, &spp);
    DrvGetLong(kTagBitsPerSample, &bps);
    TW_UINT16 type;
    if (spp != 1) type = TWPT_RGB;
    else if (bps == 1) type = TWPT_BW;
    else if (DrvGetLong(kTagPhotometric, &photometric) == 0 && photometric == 3) type = TWPT_PALETTE;
    else type = TWPT_GRAY;
    gCaps.LastImageType = type;
    return type;
}

void ProbePaperSources() {
    ReadPaperChoices(gCaps.PaperNow);
    LONG single = 0;
    DrvGetLong(kTagSinglePage, &single);
    if (single != 1) {
        for (int i = 0; i < kPaperSourceCount; ++i) gCaps.PaperOther[i] = gCaps.PaperNow[i];
        return;
    }
    DrvSetLong(kTagSinglePage, 0);
    ReadPaperChoices(gCaps.PaperOther);
    DrvSetLong(kTagSinglePage, 1);
}

void RefreshPaperSources() { ReadPaperChoices(gCaps.PaperNow); }
