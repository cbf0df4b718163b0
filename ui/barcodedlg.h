// The bar-code result dialog: the codes the last page scan collected, one at a time.
#pragma once

#include <windows.h>

// Opens the dialog beside the preview window when there is a code to show; a dialog still open
// from before is replaced.
void OpenBarcodeDialog(HWND parent);
void CloseBarcodeDialog();
INT_PTR CALLBACK BarcodeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
