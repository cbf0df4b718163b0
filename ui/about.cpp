// The About box: red texts on white, the scanner's name from the host module as its last line.
#include "ui/about.h"

#include "twain/hoststrings.h"
#include "twain/jexerr.h"
#include "twain/state.h"
#include "ui/resource.h"

namespace {

constexpr UINT kAboutTitle = 47;

HBRUSH gWhite;  // background of the box and of its texts, while it is shown

}  // namespace

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        JexlocLocalizeWindow(dialog);
        char text[256];
        SetWindowTextA(dialog, TranslateString(kAboutTitle, text, sizeof text));
        if (!LoadHostString(kHostProductName, text, sizeof text)) text[0] = 0;
        SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, text);
        if (!gWhite) gWhite = CreateSolidBrush(RGB(255, 255, 255));
        return TRUE;
    }
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(gWhite);
    case WM_CTLCOLORSTATIC:
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        return reinterpret_cast<INT_PTR>(gWhite);
    case WM_COMMAND:
        if ((LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) && HIWORD(wParam) == BN_CLICKED) {
            if (gWhite) DeleteObject(gWhite);
            gWhite = nullptr;
            EndDialog(dialog, 1);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void ShowAbout(HWND owner) {
    DialogBoxParamA(gState.hOwnInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDlgProc, 0);
}
