// DG_IMAGE / DAT_IMAGEINFO: what the held page, or the next one, looks like.
#include "cap/capstate.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/handlers.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kTagPlanar = 284;

TW_FIX32 WholeResolution(LONG tag) {
    DriverRatio r{};
    if (!DrvReadResolution(tag, &r)) return TW_FIX32{};
    return TW_FIX32{static_cast<TW_INT16>(r.num / r.den), 0};
}

TW_INT16 OneSampleType(LONG bits, LONG photometric) {
    if (photometric == 3) return TWPT_PALETTE;
    return bits == 1 ? TWPT_BW : TWPT_GRAY;
}

}  // namespace

void GetImageInfo(TW_IMAGEINFO *info) {
    info->XResolution = WholeResolution(kTagXResolution);
    info->YResolution = WholeResolution(kTagYResolution);
    for (TW_INT16 &b : info->BitsPerSample) b = 0;
    info->Planar = FALSE;
    LONG width = 0, length = 0, samples = 0, bits = 0, photometric = 0;
    if (gPage.bXferReady && gPage.hPageJexm) {
        HJEXM image = gPage.hPageJexm;
        JexmGetTag(image, kTagWidth, &width);
        JexmGetTag(image, kTagLength, &length);
        JexmGetTag(image, kTagSamplesPerPixel, &samples);
        JexmGetTag(image, kTagBitsPerSample, &bits);
        JexmGetTag(image, kTagPhotometric, &photometric);
        info->SamplesPerPixel = static_cast<TW_INT16>(samples);
    } else {
        FixPaletteForPhotoShop();
        DrvGetLong(kTagWidth, &width);
        DrvGetLong(kTagLength, &length);
        DrvGetLong(kTagSamplesPerPixel, &samples);
        DrvGetLong(kTagBitsPerSample, &bits);
        bits &= 0xFFFF;
        info->SamplesPerPixel = samples <= 1 ? 1 : 3;
        if (samples > 1) {
            LONG planar = 0;
            DrvGetLong(kTagPlanar, &planar);
            if (planar < 1 || (planar > 2 && planar != 5000)) DrvSetLong(kTagPlanar, 1);
        } else {
            DrvGetLong(kTagPhotometric, &photometric);
        }
    }
    info->ImageWidth = width;
    info->ImageLength = length;
    info->BitsPerPixel = static_cast<TW_INT16>(bits * info->SamplesPerPixel);
    if (samples > 1) {
        info->PixelType = TWPT_RGB;
        for (int i = 0; i < 3; ++i) info->BitsPerSample[i] = static_cast<TW_INT16>(bits);
    } else {
        info->PixelType = OneSampleType(bits, photometric);
        info->BitsPerSample[0] = static_cast<TW_INT16>(bits);
    }
    info->Compression = gCaps.Compression;
}

TW_UINT16 DatImageInfo(TW_IDENTITY *, TW_UINT16, TW_MEMREF pData) {
    SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_IMAGEINFO");
    if (!gState.bDSEnabled || !gPage.bXferReady || gPage.bXferInProgress) {
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEINFO returning TWRC_FAILURE with ConditionCode==TWCC_SEQERROR");
        gState.ConditionCode = TWCC_SEQERROR;
        return TWRC_FAILURE;
    }
    auto *info = static_cast<TW_IMAGEINFO *>(pData);
    if (!info || IsBadWritePtr(info, sizeof *info)) {
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEINFO returning TWRC_FAILURE with ConditionCode==TWCC_BADVALUE");
        gState.ConditionCode = TWCC_BADVALUE;
        return TWRC_FAILURE;
    }
    GetImageInfo(info);
    SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEINFO returning TWRC_SUCCESS");
    return TWRC_SUCCESS;
}
