// Taking the source down from enabled to open. MSG_CLOSEDS calls it too.
#include "jexapi.h"
#include "sdkprint/sdkprint.h"
#include "twain/source.h"
#include "twain/state.h"
#include "ui/bardata.h"
#include "ui/uistate.h"

LONG DisableSource() {
    if (gState.bJexmDisplayOpen) {
        JexmDisplayEnd();
        gState.bJexmDisplayOpen = FALSE;
    }
    gState.bDSEnabled = FALSE;
    if (gUi.hCancelDlg) {
        DestroyWindow(gUi.hCancelDlg);
        gUi.hCancelDlg = nullptr;
    }
    if (gState.hBuiltInDialog) {
        DestroyWindow(gState.hBuiltInDialog);
        gState.hBuiltInDialog = nullptr;
    }
    // The driver writes this handle; a window of another thread is only asked, never waited for.
    if (HWND dialog = gState.hDriverDialog; dialog && IsWindow(dialog)) {
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
    gState.hDriverDialog = nullptr;
    gState.bShowUI = FALSE;
    FreeBarData();
    return 0;
}
