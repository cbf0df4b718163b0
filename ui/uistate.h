// Windows of the built-in user interface that other subsystems look at.
#pragma once

#include <windows.h>

struct UiState {
    HWND hCancelDlg;      // progress dialog with its Cancel button, while a scan runs
    BOOL bDisableParent;  // the progress dialog disabled its owner and gives it back when it goes
    HWND hBarcodeDlg;     // bar-code result dialog, beside the preview window
    HWND hPreviewWnd;     // preview window, while it is shown
};

extern UiState gUi;
