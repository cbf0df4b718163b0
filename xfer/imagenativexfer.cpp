// DG_IMAGE / DAT_IMAGENATIVEXFER / MSG_GET: the current page as a packed DIB in one global block,
// which the application owns once TWRC_XFERDONE is returned.
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

namespace {

}  // namespace

TW_UINT16 DatImageNativeXfer(TW_IDENTITY *origin, TW_UINT16, TW_MEMREF pData) {
    SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_IMAGENATIVEXFER");
    auto *handle = static_cast<TW_UINT32 *>(pData);
    if (handle && IsBadWritePtr(handle, sizeof *handle)) handle = nullptr;
    if (handle) *handle = 0;
    constexpr const char *kSeqError =
        "DG_IMAGE DAT_IMAGENATIVEXFER message returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR";
    if (!CheckCaller(origin) || !gState.bDSEnabled || !gPage.bXferReady || gPage.XferState == 7)
        return LogFailure(kSeqError, TWCC_SEQERROR);
    // Without a place for the handle the page would be lost: refuse before scanning it.
    if (!handle)
        return LogFailure("DG_IMAGE DAT_IMAGENATIVEXFER message returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                    TWCC_BADVALUE);
    if (gState.bCancelScanning && !gState.bTeamWAREApp) {
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGENATIVEXFER returns TWRC_CANCEL");
        return TWRC_CANCEL;
    }
    HGLOBAL dib = nullptr;
    TW_UINT16 why = TWCC_LOWMEMORY;
    const LONG r = ScanPageToDib(&dib, &why);

    // A failed scan also stops the run (it sets the cancel flag), but it is reported as the
    // failure it is; only a cancel by the user, or one during a scan that worked, is a cancel.
    const bool cancelled = r == JEX_ERR_CANCEL || (r == 0 && gState.bCancelScanning);
    if (cancelled && !gState.bTeamWAREApp) {
        if (dib) GlobalFree(dib);
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGENATIVEXFER returns TWRC_CANCEL");
        if (gState.bReportDriverErrors) gState.LastDriverError = r;
        return TWRC_CANCEL;
    }
    if (r < 0 && !gState.bTeamWAREApp) {
        SdkPrint(kLogTwain, "Scan page failed with error (%08x)", r);
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGENATIVEXFER returns TWRC_FAILURE");
        if (gState.bReportDriverErrors) {
            gState.ConditionCode = TWCC_DRIVERERROR;
            gState.LastDriverError = r;
        }
        return TWRC_FAILURE;
    }
    if (!dib) {
        if (why == TWCC_OPERATIONERROR)
            return LogFailure("DG_IMAGE DAT_IMAGENATIVEXFER message returns TWRC_FAILURE with Condition "
                        "Code==TWCC_OPERATIONERROR",
                        TWCC_OPERATIONERROR);
        return LogFailure("DG_IMAGE DAT_IMAGENATIVEXFER message returns TWRC_FAILURE with Condition Code==TWCC_LOWMEMORY",
                    TWCC_LOWMEMORY);
    }
    *handle = reinterpret_cast<TW_UINT32>(dib);
    SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGENATIVEXFER returns TWRC_XFERDONE");
    return TWRC_XFERDONE;
}
