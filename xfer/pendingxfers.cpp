// DG_CONTROL / DAT_PENDINGXFERS: after each page, whether another one follows.
#include "cap/capstate.h"
#include "cap/paper.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/handlers.h"
#include "twain/jexerr.h"
#include "twain/source.h"
#include "twain/state.h"
#include "ui/progress.h"
#include "ui/resource.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kFilmUnitBit = 8;  // of tag 1283

// Applications of protocol 1.7 and later know the end-of-job field.
void StoreEoj(TW_PENDINGXFERS *pending) {
    const TW_UINT16 major = gState.AppIdentity.ProtocolMajor, minor = gState.AppIdentity.ProtocolMinor;
    if (major > 1 || (major == 1 && minor >= 7)) pending->EOJ = static_cast<TW_UINT32>(static_cast<TW_INT32>(gPage.PageEOJ));
}

void EndRun(TW_PENDINGXFERS *pending) {
    pending->Count = 0;
    gPage.bXferReady = FALSE;
    gPage.bXferInProgress = FALSE;
    gPage.bNeedNewPage = TRUE;
    // A page scanned ahead that nobody will transfer now is let go.
    FreeHeldPage();
    CloseProgress();
    gPage.XferState = 5;
}

// The reset of a run that is ready: the held page is dropped and the scanner told to stop.
TW_UINT16 ResetRun(TW_PENDINGXFERS *pending) {
    if (gCaps.XferMech == TWSX_FILE) DeleteFileA(gFileXfer.FileName);
    gPage.bXferInProgress = FALSE;
    FreeHeldPage();
    gPage.bNeedNewPage = TRUE;
    gPage.bXferReady = FALSE;
    pending->Count = 0;
    DriverCall(kMsgAbort, 0, 0);
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_PENDINGXFERS MSG_RESET resets scanning in progress and returns TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

TW_UINT16 DriverFailure(LONG error) {
    if (!gState.bReportDriverErrors) return TWRC_SUCCESS;
    gState.ConditionCode = TWCC_DRIVERERROR;
    gState.LastDriverError = error;
    return TWRC_FAILURE;
}

bool FilmUnit() {
    LONG features = 0;
    DrvGetLong(kTagDeviceFeatures, &features);
    return (features & kFilmUnitBit) != 0;
}

// The paper loop of MSG_ENDXFER, once the count says more pages may come.
TW_UINT16 NextPage(TW_PENDINGXFERS *pending) {
    for (;;) {
        if (gState.bStackSensor || gState.bPrefeed) {
            SdkPrint(kLogTwain, "bStackSensor=%d  bPrefeed=%d.  querying to see if a page is available",
                     gState.bStackSensor, gState.bPrefeed);
            LONG status = 0;
            const LONG r = DriverCall(kMsgPaperStatus, 1, reinterpret_cast<LONG>(&status));
            if (ChkJexErr(gDriver, r) != 0) {
                SdkPrint(kLogTwain, "page_is_available returned error %08x.   report pending count==0", r);
                EndRun(pending);
                return DriverFailure(r);
            }
            if (status & 2) {
                SdkPrint(kLogTwain, "page_is_available returned TRUE.   report pending count==1");
                pending->Count = 1;
                gPage.bXferReady = TRUE;
                gPage.bNeedNewPage = TRUE;
                gPage.bXferInProgress = FALSE;
                return TWRC_SUCCESS;
            }
            if (status & 1) {
                if (!gState.bQueryFeederEmpty) {
                    SdkPrint(kLogTwain, "page_is_available returned FALSE.   report pending count==0");
                    EndRun(pending);
                    return TWRC_SUCCESS;
                }
                SdkPrint(kLogTwain, "page_is_available returned FALSE.   ask user for more pages");
                // Without indicators the user is not asked: the run ends as after a Cancel.
                if (gCaps.bIndicators && AskUser(IDS_WARNING, FilmUnit() ? IDS_POSITION_FILM : IDS_MORE_PAGES, 250))
                    continue;
                SdkPrint(kLogTwain, "user said no.  return with pendingCount==0");
                EndRun(pending);
                return TWRC_SUCCESS;
            }
        }
        break;
    }
    SdkPrint(kLogTwain, "no paper sensor and not prefeed");
    if (!gState.bPrefeed) {
        SdkPrint(kLogTwain, "not prefeed, return with pendingCount==0");
        EndRun(pending);
        return TWRC_SUCCESS;
    }
    SdkPrint(kLogTwain, "no paper sensor, scan a page");
    gPage.bNeedNewPage = TRUE;  // the page just transferred is gone: this is the next one
    const LONG r = ScanPageToJexm(0);
    if (r < 0) {
        SdkPrint(kLogTwain, "scan failed (%08x) return with pendingCount=0", r);
        EndRun(pending);
        return DriverFailure(r);
    }
    SdkPrint(kLogTwain, "scan succeeded. return with pendingCount=1");
    pending->Count = 1;
    gPage.bXferInProgress = FALSE;
    return TWRC_SUCCESS;
}

TW_UINT16 EndXfer(TW_PENDINGXFERS *pending, bool singlePage) {
    StoreEoj(pending);
    if (gState.bCancelScanning) {
        SdkPrint(kLogTwain, "got CancelScan");
        SdkPrint(kLogTwain, "Cancel 2: DatPendingXfers: EndXfer, Count set 0\n");
        EndRun(pending);
        SdkPrint(kLogTwainApi,
                 "DG_CONTROL DAT_PENDINGXFERS MSG_ENDXFER resets scanning in progress and returns TWRC_SUCCESS");
        return TWRC_SUCCESS;
    }
    if (!gPage.bXferReady)
        return LogFailure("DG_CONTROL DAT_PENDINGXFERS MSG_ENDXFER returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                    TWCC_SEQERROR);
    gPage.XferState = 6;
    if (gPage.bXferInProgress) {
        SdkPrint(kLogTwain, "Xfer in progress; going to reset");
        return ResetRun(pending);
    }
    const bool feeder = FeederSelected();
    if (singlePage) {
        SdkPrint(kLogTwain, "Single Page Scan Mode: pendingct=0");
        EndRun(pending);
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_PENDINGXFERS MSG_ENDXFER returns TWRC_SUCCESS (but driver is in "
                               "single-page mode so no affect)");
        return TWRC_SUCCESS;
    }
    // -1 stands for every page there is: it is never counted down, so it cannot wrap.
    const TW_INT16 before = gState.curXferCount;
    if (before > 0) gState.curXferCount = static_cast<TW_INT16>(before - 1);
    if (before == 1 || !feeder) {
        SdkPrint(kLogTwain, "App requested one page, pendingct=0");
        pending->Count = 0;
        gPage.bXferReady = FALSE;
        FreeHeldPage();  // a page scanned ahead that no transfer will take
        CloseProgress();
        gPage.XferState = 5;
        gPage.bXferInProgress = FALSE;
        return TWRC_SUCCESS;
    }
    SdkPrint(kLogTwain, "curXferCount==%d    bFeederEnable=%d", gState.curXferCount, feeder ? 1 : 0);
    return NextPage(pending);
}

}  // namespace

TW_UINT16 DatPendingXfers(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    if (!DriverLoaded()) {
        gState.ConditionCode = TWCC_SEQERROR;
        return TWRC_FAILURE;
    }
    LONG single = 0;
    const bool singlePage = DrvGetLong(kTagSinglePage, &single) == 0 && single == 1;
    auto *pending = static_cast<TW_PENDINGXFERS *>(pData);
    if (pending && IsBadWritePtr(pending, sizeof *pending)) pending = nullptr;
    switch (msg) {
    case MSG_GET:
        SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_PENDINGXFERS MSG_GET");
        if (!CheckCaller(origin)) {
            SdkPrint(kLogTwainApi, "DG_CONTROL DAT_PENDINGXFERS MSG_GET returns TWRC_FAILURE with Condition Code==%s",
                     TwccName());
            return TWRC_FAILURE;
        }
        if (!pending)
            return LogFailure("DG_CONTROL DAT_PENDINGXFERS MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                        TWCC_BADVALUE);
        pending->Count = 0xFFFF;
        if (singlePage) pending->Count = gPage.nPagesScanned == 0 ? 1 : 0;
        if (gState.bCancelScanning) {
            pending->Count = 0;
            SdkPrint(kLogTwain, "Cancel 1: DatPendingXfers, Count set 0\n");
        }
        StoreEoj(pending);
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_PENDINGXFERS MSG_GET sets Count=%d and returns TWRC_SUCCESS",
                 static_cast<TW_INT16>(pending->Count));
        return TWRC_SUCCESS;
    case MSG_ENDXFER:
        SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_PENDINGXFERS MSG_ENDXFER");
        if (!CheckCaller(origin)) {
            SdkPrint(kLogTwainApi,
                     "DG_CONTROL DAT_PENDINGXFERS MSG_ENDXFER returns TWRC_FAILURE with Condition Code==%s",
                     TwccName());
            return TWRC_FAILURE;
        }
        if (!pending)
            return LogFailure("DG_CONTROL DAT_PENDINGXFERS MSG_ENDXFER returns TWRC_FAILURE with Condition "
                        "Code==TWCC_BADVALUE",
                        TWCC_BADVALUE);
        return EndXfer(pending, singlePage);
    case MSG_RESET:
        SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_PENDINGXFERS MSG_RESET");
        if (!CheckCaller(origin)) {
            SdkPrint(kLogTwainApi, "DG_CONTROL DAT_PENDINGXFERS MSG_RESET returns TWRC_FAILURE with Condition Code==%s",
                     TwccName());
            return TWRC_FAILURE;
        }
        if (!pending)
            return LogFailure("DG_CONTROL DAT_PENDINGXFERS MSG_RESET returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                        TWCC_BADVALUE);
        if (!gPage.bXferReady || gPage.XferState == 7)
            return LogFailure("DG_CONTROL DAT_PENDINGXFERS MSG_RESET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                        TWCC_SEQERROR);
        return ResetRun(pending);
    default:
        SdkPrint(kLogTwainApi,
                 "DG_CONTROL DAT_PENDINGXFERS unknown message (%08x).  returning TWRC_FAILURE with "
                 "ConditionCode==TWRC_BADPROTOCOL",
                 msg);
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
}
