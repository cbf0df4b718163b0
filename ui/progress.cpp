// The progress dialog: modeless, fed during a scan by the yield call-back's message pump and in
// between by the application's DAT_EVENT calls.
#include "ui/progress.h"

#include "cap/capstate.h"
#include "sdkprint/sdkprint.h"
#include "twain/jexerr.h"
#include "twain/notify.h"
#include "twain/state.h"
#include "ui/resource.h"
#include "ui/uistate.h"

namespace {

void SetTranslatedText(HWND window, UINT stringId) {
    char shown[256];
    SetWindowTextA(window, TranslateString(stringId, shown, sizeof shown));
}

// Takes the dialog down, giving its owner back the input it took.
void DestroyProgress(HWND dialog) {
    HWND parent = GetParent(dialog);
    if (gUi.bDisableParent && parent) EnableWindow(parent, TRUE);
    DestroyWindow(dialog);
    if (gUi.hCancelDlg == dialog) gUi.hCancelDlg = nullptr;
}

}  // namespace

void ShowProgress(HWND parent, BOOL disableParent) {
    // One dialog at a time: a second scan run replaces the first one's dialog.
    CloseProgress();
    gUi.bDisableParent = disableParent;
    gState.bCancelScanning = FALSE;
    if (!gCaps.bIndicators) return;
    gUi.hCancelDlg = CreateDialogParamA(gState.hOwnInstance, MAKEINTRESOURCEA(IDD_PROGRESS), parent,
                                        CancelDlgProc, 0);
    if (gUi.hCancelDlg && disableParent && parent) EnableWindow(parent, FALSE);
}

void CloseProgress() {
    if (HWND dialog = gUi.hCancelDlg) {
        if (IsWindow(dialog)) DestroyProgress(dialog);
        gUi.hCancelDlg = nullptr;
    }
}

extern "C" INT_PTR CALLBACK CancelDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        JexlocLocalizeWindow(dialog);
        SetTranslatedText(dialog, IDS_CANCEL_TITLE);
        SetTranslatedText(GetDlgItem(dialog, IDC_PROGRESS_TEXT), IDS_SCANNING);
        BringWindowToTop(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            gState.bCancelScanning = TRUE;
            SdkPrint(kLogTwain, "%s", "Got Cancel Button during scan\n");
            // This application closes the source itself when it sees the cancel.
            if (gState.bTeamWAREApp) return TRUE;
            DestroyProgress(dialog);
            SendCloseDSReq();
        }
        return TRUE;
    default:
        return FALSE;
    }
}
