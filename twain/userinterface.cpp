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
    if (gState.hDriverDialog) {
        if (gState.bQuietClose && !gState.bCancelScanning) SendMessageA(gState.hDriverDialog, WM_CLOSE, 0, 0);
        else DestroyWindow(gState.hDriverDialog);
        gState.hDriverDialog = nullptr;
    }
    gState.bShowUI = FALSE;
    FreeBarData();
    return 0;
}
