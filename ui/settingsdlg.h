// The built-in settings dialog.
#pragma once

#include <windows.h>

extern "C" INT_PTR CALLBACK UIDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
