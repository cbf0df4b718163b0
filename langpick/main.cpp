// Yarrel: lets the user choose the language of the scanner software, per installed driver or
// for all scanners. The whole program is the one dialog.
#include <windows.h>

#include <commctrl.h>

#include "langdlg.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The manifest asks for version 6 of the common controls; older systems give the dialog its
    // controls from that version only once the program has loaded and initialised it.
    InitCommonControls();
    RunLangDialog(instance, GetActiveWindow());
    return 0;
}
