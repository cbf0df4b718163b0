// DG_CONTROL / DAT_USERINTERFACE: enabling the source with a dialog (the driver's own or the
// built-in one) or without, and taking it down again; and the start of a scan run.
#include "cap/capstate.h"
#include "cap/pagesizes.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/driverdialog.h"
#include "twain/handlers.h"
#include "twain/jexerr.h"
#include "twain/notify.h"
#include "twain/source.h"
#include "twain/state.h"
#include "ui/bardata.h"
#include "ui/barcodedlg.h"
#include "ui/preview.h"
#include "ui/progress.h"
#include "ui/resource.h"
#include "ui/settingsdlg.h"
#include "ui/uistate.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kTagDriverDialog = 1680;
constexpr LONG kTagPreviewRequest = 1681;

// Closes the driver's dialog: politely when the session ends quietly, else at once. A window of
// another thread is only asked, never waited for.
void CloseDriverDialog() {
    HWND dialog = gState.DriverDialog.hDriverDialog;
    gState.DriverDialog.hDriverDialog = nullptr;
    if (!dialog || !IsWindow(dialog)) return;
    const bool ours = GetWindowThreadProcessId(dialog, nullptr) == GetCurrentThreadId();
    if (gState.bQuietClose && !gState.bCancelScanning) {
        if (ours) SendMessageA(dialog, WM_CLOSE, 0, 0);
        else PostMessageA(dialog, WM_CLOSE, 0, 0);
    } else if (ours) {
        DestroyWindow(dialog);
    } else {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    }
}

// What a scan run leaves behind: the held page, the progress dialog, the dialogs.
void TakeDownRun() {
    gPage.bXferInProgress = FALSE;
    gPage.bXferReady = FALSE;
    gPage.bNeedNewPage = TRUE;
    FreeHeldPage();
    ClosePreview();
    // No transfer runs once the run is taken down, whatever the application left unfinished.
    if (gPage.XferState == 7) gPage.XferState = 5;
    CloseProgress();
    if (gState.hBuiltInDialog) {
        if (IsWindow(gState.hBuiltInDialog)) DestroyWindow(gState.hBuiltInDialog);
        gState.hBuiltInDialog = nullptr;
    }
    CloseDriverDialog();
    ForgetDriverDialogCallbacks();
}

// A failed enable leaves the source as it was before it: open, not enabled.
TW_UINT16 EnableFailed(LONG driverError, const char *operationLine) {
    DisableSource();
    return FailWithDriverError(driverError, operationLine, TWCC_OPERATIONERROR);
}

// Starts the display library once per enabled session: 0, or the library's own error.
LONG StartDisplay() {
    if (gState.bJexmDisplayOpen) return 0;
    const LONG r = JexmDisplayStart();
    if (ChkJexErr(gDriver, r) != 0) return r;
    gState.bJexmDisplayOpen = TRUE;
    return 0;
}

struct EnableLines {
    const char *seqError;
    const char *opError;
    const char *success;
};
constexpr EnableLines kEnableLines = {
    "DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDS returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
    "DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDS returns TWRC_FAILURE with Condition Code==TWCC_OPERATIONERROR",
    "DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDS return TWRC_SUCCESS",
};
constexpr EnableLines kUIOnlyLines = {
    "DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDSUIONLY returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
    "DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDSUIONLY returns TWRC_FAILURE with Condition Code==TWCC_OPERATIONERROR",
    "DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDSUIONLY return TWRC_SUCCESS",
};

// Shows the driver's dialog (when it has one) or the built-in one. settingsOnly: 0 or 1.
TW_UINT16 ShowDialog(TW_USERINTERFACE *ui, LONG settingsOnly, const EnableLines &lines) {
    LONG ownDialog = 0;
    ui->ModalUI = 0;
    if (DrvGetLong(kTagDriverDialog, &ownDialog) != 0 || ownDialog == 0) {
        gState.hBuiltInDialog = CreateDialogParamA(gState.hOwnInstance, MAKEINTRESOURCEA(IDD_SETTINGS),
                                                   static_cast<HWND>(ui->hParent), UIDlgProc, settingsOnly);
        SdkPrint(kLogTwainApi, "%s", lines.success);
        return TWRC_SUCCESS;
    }
    if (!settingsOnly) RefreshPageSizes();
    DrvSetLong(kTagPreviewRequest, reinterpret_cast<LONG>(&OnDriverPreviewRequest));
    DriverDialogRecord &record = gState.DriverDialog;
    record.hDriverDialog = nullptr;
    record.mode = settingsOnly;
    record.buttons = settingsOnly ? 4 : 14;
    record.scan = OnDriverDialogScan;
    record.cancel = OnDriverDialogCancel;
    const LONG r = DriverCall(kMsgShowDialog, reinterpret_cast<LONG>(ui->hParent), reinterpret_cast<LONG>(&record));
    if (r != 0) {
        if (!settingsOnly) SdkPrint(kLogTwain, "displaying twain dialog returns error");
        DisableSource();
        return LogFailure(lines.opError, TWCC_OPERATIONERROR);
    }
    SdkPrint(kLogTwainApi, "%s", lines.success);
    return TWRC_SUCCESS;
}

// Work common to both enables: the strict refusal, the take-over of a session that is already
// enabled, and the display library.
bool BeginEnable(const EnableLines &lines, TW_UINT16 *result) {
    if (gState.bStrict && gState.bDSEnabled) {
        *result = LogFailure(lines.seqError, TWCC_SEQERROR);
        return false;
    }
    gState.bCancelScanning = FALSE;
    gState.bCloseRequested = FALSE;
    gState.bQuietClose = FALSE;
    // A repeated enable starts over: the old run's page and dialogs must not outlive it.
    if (gState.bDSEnabled) TakeDownRun();
    gState.bDSEnabled = TRUE;
    if (const LONG r = StartDisplay(); r != 0) {
        SdkPrint(kLogTwain, "Couldn't initialize JEXM display library");
        *result = EnableFailed(r, lines.opError);
        return false;
    }
    return true;
}

TW_UINT16 DatUIEnableDS(TW_USERINTERFACE *ui) {
    gState.bEnableFailed = FALSE;
    TW_UINT16 result = TWRC_FAILURE;
    if (!BeginEnable(kEnableLines, &result)) return result;
    gState.DriverDialog.hDriverDialog = nullptr;

    LONG autoFeed = 0;
    if (DrvGetLong(kTagAutoFeed, &autoFeed) == 0 && autoFeed != 0)
        DrvSetLong(kTag1404, gState.curXferCount == -1 ? 0 : gState.curXferCount);

    if (ui->ShowUI) {
        SdkPrint(kLogTwain, "UI enabled");
        gState.bShowUI = TRUE;
        return ShowDialog(ui, 0, kEnableLines);
    }
    SdkPrint(kLogTwain, "UI disabled");
    gState.bShowUI = FALSE;
    ShowProgress(static_cast<HWND>(ui->hParent), FALSE);
    const LONG r = ScanOnePage();
    if (r == 0) {
        SendXferReady();
        SdkPrint(kLogTwainApi, "%s", kEnableLines.success);
        return TWRC_SUCCESS;
    }
    if (r == JEX_ERR_CANCEL) SdkPrint(kLogTwain, "Cancel 11: DatUIEnableDS");
    gState.bEnableFailed = TRUE;
    return EnableFailed(r, kEnableLines.opError);
}

TW_UINT16 DatUIEnableDSUIOnly(TW_USERINTERFACE *ui) {
    TW_UINT16 result = TWRC_FAILURE;
    if (!BeginEnable(kUIOnlyLines, &result)) return result;
    SdkPrint(kLogTwain, "UI enabled");
    gState.bShowUI = TRUE;
    return ShowDialog(ui, 1, kUIOnlyLines);
}

TW_UINT16 DatUIDisableDS() {
    constexpr const char *kRefused =
        "DG_CONTROL DAT_USERINTERFACE MSG_DISABLEDS returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR";
    if (!gState.bDSEnabled || (gState.bStrict && gState.bShowUI && gPage.bXferReady))
        return LogFailure(kRefused, TWCC_SEQERROR);
    if (gState.bShowUI && gPage.bXferInProgress) {
        SdkPrint(kLogTwain, "Bad State: transfer already in progress");
        return LogFailure(kRefused, TWCC_SEQERROR);
    }
    gState.bQuietClose = !gState.bCloseRequested && gPage.nPagesScanned == 0;
    DisableSource();
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_USERINTERFACE MSG_DISABLEDS return TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

}  // namespace

LONG DisableSource() {
    TakeDownRun();
    if (gState.bJexmDisplayOpen) {
        JexmDisplayEnd();
        gState.bJexmDisplayOpen = FALSE;
    }
    gState.bDSEnabled = FALSE;
    gState.bShowUI = FALSE;
    CloseBarcodeDialog();  // it shows the texts freed next
    FreeBarData();
    return 0;
}

LONG ScanOnePage() {
    if (gState.bCancelScanning) {
        SdkPrint(kLogTwain, "Cancel 12: ScanOnePage: returning JEX_ERR_CANCEL");
        return JEX_ERR_CANCEL;
    }
    gPage.nPagesScanned = 0;
    gPage.bXferReady = FALSE;
    const LONG r = ReadImage();
    if (r == 0) {
        gPage.bXferReady = TRUE;
        return 0;
    }
    gState.bCancelScanning = TRUE;
    if (r == JEX_ERR_CANCEL) {
        SdkPrint(kLogTwain, "Cancel 13: ScanOnePage: returning JEX_ERR_CANCEL");
    } else {
        gState.LastDriverError = r;
        ChkJexErr(gDriver, r);
    }
    CloseProgress();
    return r;
}

TW_UINT16 DatUserInterface(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    if (!CheckCaller(origin)) {
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_USERINTERFACE returns TWRC_FAILURE with Condition Code==%s",
                 TwccName());
        return TWRC_FAILURE;
    }
    gState.ConditionCode = 0;
    auto *ui = static_cast<TW_USERINTERFACE *>(pData);
    switch (msg) {
    case MSG_DISABLEDS:
        return DatUIDisableDS();
    case MSG_ENABLEDS:
        if (!ui)
            return LogFailure("DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDS returns TWRC_FAILURE with Condition "
                        "Code==TWCC_BADVALUE",
                        TWCC_BADVALUE);
        return DatUIEnableDS(ui);
    case MSG_ENABLEDSUIONLY:
        if (!ui)
            return LogFailure("DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDSUIONLY returns TWRC_FAILURE with Condition "
                        "Code==TWCC_BADVALUE",
                        TWCC_BADVALUE);
        return DatUIEnableDSUIOnly(ui);
    default:
        SdkPrint(kLogTwainApi,
                 "Called: DG_CONTROL DAT_USERINTERFACE unknown message (%08x) returns TWRC_FAILURE with Condition "
                 "Code==TWCC_BADPROTOCOL",
                 msg);
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
}
