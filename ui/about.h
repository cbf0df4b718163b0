// The product-information box of the settings dialog.
#pragma once

#include <windows.h>

void ShowAbout(HWND owner);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM);
