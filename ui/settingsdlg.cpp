// The built-in settings dialog: Scan starts a scan run with the settings negotiated so far;
// Cancel asks the application to close the source.
#include "ui/settingsdlg.h"

#include "sdkprint/sdkprint.h"
#include "twain/jexerr.h"
#include "twain/notify.h"
#include "twain/source.h"
#include "twain/state.h"
#include "ui/progress.h"
#include "ui/resource.h"

namespace {

// Creation parameter: 0 scan dialog, 1 settings only.
constexpr char kModeProp[] = "TwJexSettingsOnly";

}  // namespace

extern "C" INT_PTR CALLBACK UIDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        JexlocLocalizeWindow(dialog);
        SetPropA(dialog, kModeProp, reinterpret_cast<HANDLE>(lParam));
        char title[256] = {};
        LoadStringA(gState.hHostInstance, 2, title, sizeof title);
        SetWindowTextA(dialog, title);
        return TRUE;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) return TRUE;
        if (LOWORD(wParam) == IDC_SCAN) {
            if (GetPropA(dialog, kModeProp)) {
                gState.bCloseRequested = TRUE;
                SendCloseDSOK();
                return TRUE;
            }
            ShowProgress(dialog, TRUE);
            if (ScanOnePage() == 0) SendXferReady();
        } else if (LOWORD(wParam) == IDC_CLOSE || LOWORD(wParam) == IDCANCEL) {
            gState.bCloseRequested = TRUE;
            SendCloseDSReq();
        }
        return TRUE;
    case WM_DESTROY:
        RemovePropA(dialog, kModeProp);
        return FALSE;
    default:
        return FALSE;
    }
}
