// DG_IMAGE / DAT_IMAGELAYOUT: the scan frame, kept in the driver's frame tags.
#include <initializer_list>

#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/handlers.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kTagOrientation = 274;
constexpr LONG kUnitsAllowance = 32;  // driver units the frame may come out narrower or shorter

// Cleared by a MSG_SET the driver could not follow exactly; every MSG_GET says so until the
// next exact one.
BOOL bLayoutExact = TRUE;

// The frame tags (or their defaults, at the default resolution) as the application's layout.
void ReadLayout(TW_IMAGELAYOUT *layout, bool deflt) {
    LONG v[4] = {};
    const LONG tags[4] = {kTagLeft, kTagTop, kTagWidth, kTagLength};
    for (int i = 0; i < 4; ++i) deflt ? DrvDefaultLong(tags[i], &v[i]) : DrvGetLong(tags[i], &v[i]);
    DriverRatio res{0, 1};
    deflt ? DrvDefaultRatio(kTagXResolution, &res) : DrvGetRatio(kTagXResolution, &res);
    DotsToFrame(v[0], v[1], v[2], v[3], &layout->Frame, gState.CurrentUnits, res.num, res.den);
    layout->DocumentNumber = layout->PageNumber = layout->FrameNumber = 1;
}

TW_UINT16 SetLayout(const TW_IMAGELAYOUT *layout) {
    constexpr const char *kBadValue =
        "DG_IMAGE DAT_IMAGELAYOUT MSG_SET returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE";
    DriverRatio res{};
    LONG x = 0, y = 0, width = 0, length = 0;
    // A resolution of nothing, or units the conversion does not know, give no frame at all.
    if (!DrvReadResolution(kTagXResolution, &res) ||
        FrameToDots(&x, &y, &width, &length, &layout->Frame, gState.CurrentUnits, res.num, res.den) != 0)
        return LogFailure(kBadValue, TWCC_BADVALUE);
    // A frame before the page's corner, or one turned inside out, is no frame to scan.
    if (x < 0 || y < 0 || width <= 0 || length <= 0) return LogFailure(kBadValue, TWCC_BADVALUE);
    DrvSetLong(kTagLeft, x);
    const LONG widthSet = DrvSetLong(kTagWidth, width);
    LONG xBack = 0, widthBack = 0;
    DrvGetLong(kTagLeft, &xBack);
    DrvGetLong(kTagWidth, &widthBack);
    if (xBack == x && widthBack == width) {
        bLayoutExact = TRUE;
    } else {
        SdkPrint(kLogTwain, "settings on MSG_SET aren't exactly possible, set flag to fail next MSG_GET");
        bLayoutExact = FALSE;
        if (widthSet != 0 || static_cast<int64_t>(width) - widthBack > kUnitsAllowance) {
            SdkPrint(kLogTwain, "width just plain too big.  fail now");
            return LogFailure(kBadValue, TWCC_BADVALUE);
        }
    }
    DrvSetLong(kTagTop, y);
    const LONG lengthSet = DrvSetLong(kTagLength, length);
    LONG lengthBack = 0;
    DrvGetLong(kTagLength, &lengthBack);
    if (lengthSet != 0 || static_cast<int64_t>(length) - lengthBack > kUnitsAllowance) {
        SdkPrint(kLogTwain, "length just plain too big.  fail now");
        return LogFailure(kBadValue, TWCC_BADVALUE);
    }
    SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGELAYOUT MSG_SET returns TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

}  // namespace

TW_UINT16 DatImageLayout(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    if (!CheckCaller(origin)) {
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGELAYOUT returns TWRC_FAILURE with Condition Code==%s", TwccName());
        return TWRC_FAILURE;
    }
    if (gPage.XferState == 7)
        return LogFailure("DG_IMAGE DAT_IMAGELAYOUT message returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                    TWCC_SEQERROR);
    auto *layout = static_cast<TW_IMAGELAYOUT *>(pData);
    const bool usable = layout && !IsBadWritePtr(layout, sizeof *layout);
    switch (msg) {
    case MSG_GET:
    case MSG_GETDEFAULT:
    case MSG_SET:
    case MSG_RESET:
        if (!usable)
            return LogFailure("DG_IMAGE DAT_IMAGELAYOUT message returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                        TWCC_BADVALUE);
        break;
    default:
        break;
    }
    switch (msg) {
    case MSG_GET:
        SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_IMAGELAYOUT MSG_GET");
        ReadLayout(layout, false);
        if (bLayoutExact) {
            SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGELAYOUT MSG_GET returns TWRC_SUCCESS");
            return TWRC_SUCCESS;
        }
        SdkPrint(kLogTwainApi,
                 "DG_IMAGE DAT_IMAGELAYOUT MSG_GET returns TWRC_CHECKSTATUS because a previous MSG_SET wasn't exact");
        return TWRC_CHECKSTATUS;
    case MSG_GETDEFAULT: {
        SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_IMAGELAYOUT MSG_GETDEFAULT");
        SettingsBracket bracket;
        DriverCall(kMsgResetTag, kTagPageSize, 0);
        DriverCall(kMsgResetTag, kTagOrientation, 0);
        ReadLayout(layout, true);
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGELAYOUT MSG_GETDEFAULT returns TWRC_SUCCESS");
        return TWRC_SUCCESS;
    }
    case MSG_SET:
        SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_IMAGELAYOUT MSG_SET");
        if (gState.bDSEnabled || gPage.bXferReady)
            return LogFailure("DG_IMAGE DAT_IMAGELAYOUT MSG_SET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                        TWCC_SEQERROR);
        return SetLayout(layout);
    case MSG_RESET:
        SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_IMAGELAYOUT MSG_RESET");
        if (gState.bDSEnabled || gPage.bXferReady)
            return LogFailure("DG_IMAGE DAT_IMAGELAYOUT MSG_RESET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                        TWCC_SEQERROR);
        for (LONG tag : {LONG{kTagPageSize}, kTagOrientation, LONG{kTagLeft}, LONG{kTagTop}, LONG{kTagWidth}, LONG{kTagLength}})
            DriverCall(kMsgResetTag, tag, 0);
        ReadLayout(layout, false);
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGELAYOUT MSG_RESET returns TWRC_SUCCESS");
        return TWRC_SUCCESS;
    default:
        SdkPrint(kLogTwainApi,
                 "Called: DG_IMAGE DAT_IMAGELAYOUT with unknown message (%08x).  return TWRC_FAILURE with "
                 "ConditionCode=TWRC_BADPROTOCOL",
                 msg);
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
}
