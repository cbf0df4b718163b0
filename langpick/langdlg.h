// The language dialog "LANGDIALOG": pick a scanner entry and one of its languages; the choice
// is stored as "iLanguage" in setscan.ini.
#pragma once

#include <windows.h>

#include "drivers.h"

// State of one open dialog; travels with the window (DWLP_USER).
struct LangDialog {
    HINSTANCE resources;          // module holding the dialog and strings
    DriverList items;             // behind the scanner box entries; freed at WM_DESTROY
    wchar_t currentPath[MAX_PATH];  // entry whose languages are shown
    bool modified;                // the user changed the language since it was filled or saved
};

// Shows the dialog modally (owner may be null). Returns IDOK, IDCANCEL, or -1 when the dialog
// could not be created.
INT_PTR RunLangDialog(HINSTANCE resources, HWND owner);

INT_PTR CALLBACK LangDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
