// The bar-code result dialog (modeless, fed by the application's DAT_EVENT calls).
#include "ui/barcodedlg.h"

#include <cstdio>

#include "twain/jexerr.h"
#include "twain/state.h"
#include "ui/barcode.h"
#include "ui/bardata.h"
#include "ui/resource.h"
#include "ui/uistate.h"

namespace {

constexpr UINT kTitleString = 49, kFoundString = 78;

const BarDataRecord *gShown;  // the list the dialog shows
WORD gIndex;                  // the entry shown

void SetTranslated(HWND dialog, int id, UINT stringId) {
    char shown[256];
    SetDlgItemTextA(dialog, id, TranslateString(stringId, shown, sizeof shown));
}

// A field that is -1 is not known: it shows empty.
void SetNumber(HWND dialog, int id, LONG value) {
    char text[16] = {};
    if (value != -1) snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(value));
    SetDlgItemTextA(dialog, id, text);
}

void ShowEntry(HWND dialog, int i) {
    if (!gShown || i < 0 || i >= gShown->count) return;
    const BarcodeEntry &e = gShown->entries[i];
    const char *text = e.text ? static_cast<const char *>(GlobalLock(e.text)) : nullptr;
    SetDlgItemTextA(dialog, IDC_BARCODE_TEXT, text ? text : "");
    if (text) GlobalUnlock(e.text);
    SetTranslated(dialog, IDC_BARCODE_TYPE, BarcodeTypeString(e.type));
    SetTranslated(dialog, IDC_BARCODE_ORIENTATION, BarcodeOrientationString(e.orientation));
    char location[96] = {};
    if (e.x != -1 && e.y != -1) {
        if (e.width == -1 || e.height == -1)
            snprintf(location, sizeof location, "(x,y) (%ld, %ld)", static_cast<long>(e.x), static_cast<long>(e.y));
        else
            snprintf(location, sizeof location, "(x,y,w,h) (%ld, %ld, %ld, %ld)", static_cast<long>(e.x),
                     static_cast<long>(e.y), static_cast<long>(e.width), static_cast<long>(e.height));
    }
    SetDlgItemTextA(dialog, IDC_BARCODE_LOCATION, location);
    SetNumber(dialog, IDC_BARCODE_CONFIDENCE, e.confidence);
    SetNumber(dialog, IDC_BARCODE_CHECKSUM, e.checksum);
    SetNumber(dialog, IDC_BARCODE_SEARCHTIME, e.searchTime);
}

// One pixel right of the preview window, level with its top; without one at the screen's corner.
void Place(HWND dialog) {
    int x = 1, y = 0;
    RECT r;
    if (gUi.hPreviewWnd && GetWindowRect(gUi.hPreviewWnd, &r)) {
        x = r.right + 1 > 0 ? r.right + 1 : 0;
        y = r.top > 0 ? r.top : 0;
    }
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

INT_PTR CALLBACK BarcodeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        JexlocLocalizeWindow(dialog);
        gShown = reinterpret_cast<const BarDataRecord *>(lParam);
        Place(dialog);
        char title[65] = {}, found[256] = {}, a[65], b[256], caption[330];
        LoadStringA(gState.hOwnInstance, kTitleString, title, sizeof title);
        LoadStringA(gState.hOwnInstance, kFoundString, found, sizeof found);
        Translate(title, a, sizeof a);
        Translate(found, b, sizeof b);
        snprintf(caption, sizeof caption, "%s : %s", a, b);
        SetWindowTextA(dialog, caption);
        gIndex = 0;
        SetDlgItemInt(dialog, IDC_BARCODE_NUMBER, 0, FALSE);
        if (!gShown || gShown->count < 2) EnableWindow(GetDlgItem(dialog, IDC_BARCODE_NEXT), FALSE);
        ShowEntry(dialog, 0);
        return TRUE;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam), code = HIWORD(wParam);
        const int count = gShown ? gShown->count : 0;
        if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
            EndDialog(dialog, 1);  // hidden; the preview window takes it down with itself
        } else if (id == IDC_BARCODE_NEXT && code == BN_CLICKED && count > 0) {
            int n = gIndex + 1;
            if (n >= count) n = 0;
            gIndex = static_cast<WORD>(n);
            SetDlgItemInt(dialog, IDC_BARCODE_NUMBER, n, FALSE);
            ShowEntry(dialog, n);
        } else if (id == IDC_BARCODE_NUMBER && code == EN_CHANGE && count > 0) {
            // Nothing to show has no last entry to fall back to.
            UINT n = GetDlgItemInt(dialog, IDC_BARCODE_NUMBER, nullptr, FALSE);
            if (n >= static_cast<UINT>(count)) n = count - 1;
            if (n != gIndex) ShowEntry(dialog, n);
            gIndex = static_cast<WORD>(n);
        }
        return TRUE;
    }
    case WM_DESTROY:
        if (gUi.hBarcodeDlg == dialog) gUi.hBarcodeDlg = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void CloseBarcodeDialog() {
    if (gUi.hBarcodeDlg && IsWindow(gUi.hBarcodeDlg)) DestroyWindow(gUi.hBarcodeDlg);
    gUi.hBarcodeDlg = nullptr;
}

void OpenBarcodeDialog(HWND parent) {
    if (BarData.count < 1) return;
    // A dialog left from an earlier preview is not orphaned by the new one.
    CloseBarcodeDialog();
    gUi.hBarcodeDlg = CreateDialogParamA(gState.hOwnInstance, MAKEINTRESOURCEA(IDD_BARCODES), parent, BarcodeDlgProc,
                                         reinterpret_cast<LPARAM>(&BarData));
}
