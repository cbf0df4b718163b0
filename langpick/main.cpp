// Yarrel: lets the user choose the language of the scanner software, per installed driver or
// for all scanners. The whole program is the one dialog.
#include <windows.h>

#include "langdlg.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RunLangDialog(instance, GetActiveWindow());
    return 0;
}
