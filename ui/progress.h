// The progress dialog shown while pages are scanned; its Cancel stops the scan.
#pragma once

#include <windows.h>

void ShowProgress(HWND parent, BOOL disableParent);
void CloseProgress();
extern "C" INT_PTR CALLBACK CancelDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
