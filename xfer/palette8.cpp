// DG_IMAGE / DAT_PALETTE8: the colour table of the current page. A palette is never set.
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/handlers.h"
#include "twain/jexerr.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kPaletteSizeAttribute = 1824;

// entries colours of the page's table, as RGB triplets, through a palette object of the library.
bool ReadColours(HJEXM image, LONG entries, BYTE *rgb) {
    HJEXMPAL palette = nullptr;
    BYTE map[256 * 3] = {};
    bool ok = JexmPaletteCreate(0, &palette) == 0 && palette &&
              JexmPaletteSetAttr(palette, kPaletteSizeAttribute, entries) == 0 &&
              JexmPaletteFill(palette, image) == 0 && JexmPaletteFinish(palette) == 0 &&
              JexmPaletteGetColors(palette, 0, entries, map) == 0 && JexmColorMapToRGB(entries, map, rgb) == 0;
    if (palette) JexmPaletteFree(palette);
    return ok;
}

TW_UINT16 GetPalette(TW_PALETTE8 *out) {
    constexpr const char *kBadProtocol =
        "DG_IMAGE DAT_PALETTE8 MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_BADPROTOCOL";
    SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_PALETTE8 MSG_GET");
    if (!out || IsBadWritePtr(out, sizeof *out)) return LogFailure(kBadProtocol, TWCC_BADPROTOCOL);
    // Only a page of a run that is under way may be scanned ahead for its palette.
    if (!gState.bDSEnabled || !gPage.bXferReady)
        return LogFailure("DG_IMAGE DAT_PALETTE8 MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                    TWCC_SEQERROR);
    if (!gPage.hPageJexm) {
        SdkPrint(kLogTwain, "Scanning a page so palette can be retrieved");
        const LONG r = ScanPageToJexm(0);
        if (r != 0) {
            SdkPrint(kLogTwain, "Scanning failed with error (%08x)", r);
            return FailWithDriverError(r, kBadProtocol, TWCC_BADPROTOCOL);
        }
    }
    LONG bits = 0;
    JexmGetTag(gPage.hPageJexm, kTagBitsPerSample, &bits);
    // The structure holds 256 colours.
    const LONG entries = bits >= 1 && bits <= 8 ? 1L << bits : 256;
    BYTE rgb[256 * 3] = {};
    if (!ReadColours(gPage.hPageJexm, entries, rgb))
        return LogFailure("DG_IMAGE DAT_PALETTE8 MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_OPERATIONERROR",
                    TWCC_OPERATIONERROR);
    out->NumColors = static_cast<TW_UINT16>(entries);
    out->PaletteType = TWPA_RGB;
    for (LONG i = 0; i < entries; ++i)
        out->Colors[i] = TW_ELEMENT8{static_cast<TW_UINT8>(i), rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]};
    SdkPrint(kLogTwainApi, "DG_IMAGE DAT_PALETTE8 MSG_GET returns TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

TW_UINT16 RefuseSet(const char *seqLine, const char *protocolLine) {
    if (gState.bDSEnabled || gPage.bXferReady) return LogFailure(seqLine, TWCC_SEQERROR);
    return LogFailure(protocolLine, TWCC_BADPROTOCOL);
}

}  // namespace

TW_UINT16 DatPalette8(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    if (!CheckCaller(origin)) {
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_PALETTE8 returns TWRC_FAILURE with Condition Code==%s", TwccName());
        return TWRC_FAILURE;
    }
    if (gPage.XferState == 7)
        return LogFailure("DG_IMAGE DAT_PALETTE8 message returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                    TWCC_SEQERROR);
    switch (msg) {
    case MSG_GET:
        return GetPalette(static_cast<TW_PALETTE8 *>(pData));
    case MSG_GETDEFAULT:
        return LogFailure("DG_IMAGE DAT_PALETTE8 MSG_GETDEFAULT returns TWRC_FAILURE with Condition Code==TWCC_BADPROTOCOL",
                    TWCC_BADPROTOCOL);
    case MSG_SET:
        return RefuseSet("DG_IMAGE DAT_PALETTE8 MSG_SET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                         "DG_IMAGE DAT_PALETTE8 MSG_SET returns TWRC_FAILURE with Condition Code==TWCC_BADPROTOCOL");
    case MSG_RESET:
        SdkPrint(kLogTwain, "MSG_RESET");
        return RefuseSet("DG_IMAGE DAT_PALETTE8 MSG_RESET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                         "DG_IMAGE DAT_PALETTE8 MSG_RESET returns TWRC_FAILURE with Condition Code==TWCC_BADPROTOCOL");
    default:
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_PALETTE8 called with unknown message (%08x)", msg);
        return LogFailure("DG_IMAGE DAT_PALETTE8 returns TWRC_FAILURE with Condition Code==TWCC_BADPROTOCOL",
                    TWCC_BADPROTOCOL);
    }
}
