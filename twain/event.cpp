// DG_CONTROL / DAT_EVENT / MSG_PROCESSEVENT: the application hands every window message to the
// source, which feeds its modeless dialogs and answers close requests and transfer readiness.
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/notify.h"
#include "twain/state.h"
#include "ui/uistate.h"

namespace {

bool OfferTo(HWND dialog, MSG *msg, const char *line) {
    if (!dialog || !IsDialogMessageA(dialog, msg)) return false;
    SdkPrint(kLogTwain, "%s", line);
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_EVENT MSG_PROCESSEVENT returns TWRC_DSEVENT");
    return true;
}

// The message the application hands over may be anything; only a readable MSG is offered.
MSG *ReadableMsg(TW_MEMREF p) {
    if (!p || IsBadReadPtr(p, sizeof(MSG))) return nullptr;
    return static_cast<MSG *>(p);
}

}  // namespace

TW_UINT16 DatEvent(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    auto *event = static_cast<TW_EVENT *>(pData);
    if (event && IsBadWritePtr(event, sizeof *event)) event = nullptr;
    TW_UINT16 scratch = MSG_NULL;
    TW_UINT16 &twMessage = event ? event->TWMessage : scratch;
    twMessage = MSG_NULL;
    if (gState.bEnableFailed) return TWRC_NOTDSEVENT;
    if (gState.bCancelScanning || gState.bCloseRequested) {
        SdkPrint(kLogTwain, "Called: DG_CONTROL DAT_EVENT.  setting TWMessage to MSG_CLOSEDREQ");
        twMessage = MSG_CLOSEDSREQ;
    }
    const bool foreign = !origin || (origin->Id != gState.AppIdentity.Id && gState.AppIdentity.Id != 0);
    if (msg != MSG_PROCESSEVENT || foreign || !event) {
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_EVENT returns TWRC_NOTDSEVETNT");
        return TWRC_NOTDSEVENT;
    }
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_EVENT MSG_PROCESSEVENT");
    if (MSG *m = ReadableMsg(event->pEvent)) {
        if (OfferTo(gUi.hCancelDlg, m, "Message is for our Cancel dialog")) return TWRC_DSEVENT;
        if (OfferTo(gState.DriverDialog.hDriverDialog, m, "Message is for our Scan dialog")) return TWRC_DSEVENT;
        if (OfferTo(gState.hBuiltInDialog, m, "Message is for our built-in TWAIN UI")) return TWRC_DSEVENT;
    }
    if (gState.bDSEnabled && !gState.bShowUI) {
        if (gState.bCancelScanning) {
            SdkPrint(kLogTwain, "Sending Close request to app: (MSG_CLOSEDREQ)");
            SdkPrint(kLogTwainApi, "DG_CONTROL DAT_EVENT MSG_PROCESSEVENT returns TWRC_DSEVENT");
            twMessage = MSG_CLOSEDSREQ;
            return TWRC_DSEVENT;
        }
        SdkPrint(kLogTwainApi, "Sending XFERRREADY to application");
        SendXferReady();
    }
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_EVENT MSG_PROCESSEVENT returns TWRC_NOTDSEVETNT");
    return TWRC_NOTDSEVENT;
}
