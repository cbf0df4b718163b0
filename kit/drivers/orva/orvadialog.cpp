// The driver's own dialogs: the modeless scan dialog (0x125) with Scan, Preview and Close, which
// calls back into the data source through the dialog record and the preview call-back (tag
// 1681), and the modal advanced-settings dialog (0x123) that edits brightness and contrast.
// Both are built from in-memory templates so the driver needs no resource file.
#include <cstdio>
#include <cstdlib>

#include "kit/drivers/orva/orva.h"

namespace {

enum : int { ID_PREVIEW = 100, ID_AREA = 101, ID_LABEL = 102, ID_BRIGHT = 110, ID_CONTRAST = 111 };

// A dialog template with no controls: style, extended style, count, position, size, then empty
// menu and class and the caption.
struct EmptyTemplate {
    DLGTEMPLATE t;
    WORD menu, cls;
    WCHAR title[40];
};

void FillTemplate(EmptyTemplate *tp, DWORD style, short cx, short cy, const WCHAR *title) {
    ZeroMemory(tp, sizeof *tp);
    tp->t.style = style | WS_CAPTION | WS_SYSMENU;
    tp->t.cx = cx;
    tp->t.cy = cy;
    lstrcpynW(tp->title, title, 40);
}

HWND Control(HWND parent, const char *cls, const char *text, DWORD style, int x, int y, int w, int h, int id) {
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

Orva *OrvaOf(HWND dialog) { return reinterpret_cast<Orva *>(GetWindowLongPtrA(dialog, DWLP_USER)); }

// The preview area: white, with the last preview picture (drawn at the area's size) on top.
void PaintPreviewArea(Orva *o, HDC dc, const RECT &area) {
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (!o->previewBitmap) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    BITMAP bm = {};
    GetObjectA(o->previewBitmap, sizeof bm, &bm);
    HGDIOBJ old = SelectObject(memory, o->previewBitmap);
    BitBlt(dc, area.left, area.top, bm.bmWidth, bm.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

INT_PTR CALLBACK ScanDialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    Orva *o = OrvaOf(dialog);
    switch (msg) {
    case WM_INITDIALOG: {
        o = reinterpret_cast<Orva *>(lp);
        SetWindowLongPtrA(dialog, DWLP_USER, lp);
        bool settingsOnly = KitReadable(o->dialogRecord, sizeof *o->dialogRecord) && o->dialogRecord->mode == 1;
        char label[128];
        snprintf(label, sizeof label, "%s", o->p->name);
        Control(dialog, "STATIC", label, SS_LEFT, 10, 10, 300, 20, ID_LABEL);
        o->previewArea = Control(dialog, "STATIC", "", SS_OWNERDRAW, 10, 35, 300, 200, ID_AREA);
        Control(dialog, "BUTTON", settingsOnly ? "OK" : "Scan", BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 245, 90, 26, IDOK);
        Control(dialog, "BUTTON", "Preview", BS_PUSHBUTTON | WS_TABSTOP, 115, 245, 90, 26, ID_PREVIEW);
        Control(dialog, "BUTTON", "Close", BS_PUSHBUTTON | WS_TABSTOP, 220, 245, 90, 26, IDCANCEL);
        return TRUE;
    }
    case WM_COMMAND: {
        if (!o || HIWORD(wp) != BN_CLICKED) return FALSE;
        DriverDialogRecord *r = o->dialogRecord;
        bool record = KitReadable(r, sizeof *r);
        // The call-backs may close the source and unload this driver: jexdfltn keeps the driver
        // while they run and takes it down once this procedure has returned.
        OrvaCallOut out(o);
        if (LOWORD(wp) == IDOK && record && r->scan) {
            OrvaCallOutLine line(o);
            line.End("scan(record)", r->scan(r));
        }
        if (LOWORD(wp) == IDCANCEL && record && r->cancel) {
            LONG flag = 1;
            OrvaCallOutLine line(o);
            line.End("cancel(1)", r->cancel(&flag));
        }
        if (LOWORD(wp) == ID_PREVIEW) {
            LONG proc = OrvaLong(o, 1681);
            if (proc) {
                OrvaCallOutLine line(o);
                line.End("preview(0, 0, 0)", reinterpret_cast<LONG(WINAPI *)(LONG, LONG, LONG)>(proc)(0, 0, 0));
            }
        }
        return TRUE;
    }
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT *d = reinterpret_cast<const DRAWITEMSTRUCT *>(lp);
        if (!o || wp != ID_AREA || !d) return FALSE;
        PaintPreviewArea(o, d->hDC, d->rcItem);
        return TRUE;
    }
    case WM_CLOSE:  // the data source closes the dialog politely
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        if (o && o->dialog == dialog) {
            o->dialog = nullptr;
            o->previewArea = nullptr;
            OrvaSetPreviewBitmap(o, nullptr);
        }
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK AdvancedDialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    Orva *o = OrvaOf(dialog);
    switch (msg) {
    case WM_INITDIALOG: {
        o = reinterpret_cast<Orva *>(lp);
        SetWindowLongPtrA(dialog, DWLP_USER, lp);
        char v[32];
        Control(dialog, "STATIC", "Brightness", SS_LEFT, 10, 12, 90, 20, -1);
        snprintf(v, sizeof v, "%ld", OrvaLong(o, 1282));
        Control(dialog, "EDIT", v, WS_BORDER | ES_NUMBER | WS_TABSTOP, 110, 10, 80, 22, ID_BRIGHT);
        Control(dialog, "STATIC", "Contrast", SS_LEFT, 10, 42, 90, 20, -1);
        snprintf(v, sizeof v, "%ld", OrvaLong(o, 1281));
        Control(dialog, "EDIT", v, WS_BORDER | ES_NUMBER | WS_TABSTOP, 110, 40, 80, 22, ID_CONTRAST);
        Control(dialog, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 75, 80, 26, IDOK);
        Control(dialog, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 110, 75, 80, 26, IDCANCEL);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK && o) {
            char v[32];
            GetDlgItemTextA(dialog, ID_BRIGHT, v, sizeof v);
            if (v[0]) OrvaSetLong(o, 1282, atol(v));
            GetDlgItemTextA(dialog, ID_CONTRAST, v, sizeof v);
            if (v[0]) OrvaSetLong(o, 1281, atol(v));
            EndDialog(dialog, IDOK);
        } else if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

HINSTANCE Self() {
    HMODULE m = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ScanDialogProc), &m);
    return m;
}

}  // namespace

LONG OrvaShowDialog(Orva *o, HWND parent, DriverDialogRecord *record) {
    if (!o->p->ownDialog) return KIT_ERR_NODIALOG;
    if (!KitWritable(record, sizeof *record)) return KIT_ERR_BADARG;
    if (parent && !IsWindow(parent)) parent = nullptr;
    if (o->dialog) DestroyWindow(o->dialog);
    o->dialogRecord = record;
    EmptyTemplate tp;
    FillTemplate(&tp, WS_POPUP | WS_VISIBLE | DS_MODALFRAME, 215, 185, L"Virtual ORVA Scanner");
    o->dialog = CreateDialogIndirectParamA(Self(), &tp.t, parent, ScanDialogProc, reinterpret_cast<LPARAM>(o));
    if (!o->dialog) return KIT_ERR_NOMEMORY;
    record->window = o->dialog;
    return 0;
}

LONG OrvaAdvancedDialog(Orva *o, HWND parent) {
    if (!o->p->advancedDialog) return KIT_ERR_NODIALOG;
    if (parent && !IsWindow(parent)) parent = nullptr;
    EmptyTemplate tp;
    FillTemplate(&tp, WS_POPUP | WS_VISIBLE | DS_MODALFRAME, 140, 80, L"Advanced Settings");
    INT_PTR r = DialogBoxIndirectParamA(Self(), &tp.t, parent, AdvancedDialogProc, reinterpret_cast<LPARAM>(o));
    return r == -1 ? KIT_ERR_NOMEMORY : 0;
}

void OrvaCloseDialogs(Orva *o) {
    if (o->dialog && IsWindow(o->dialog)) DestroyWindow(o->dialog);
    o->dialog = nullptr;
    o->previewArea = nullptr;
    OrvaSetPreviewBitmap(o, nullptr);
}

LONG OrvaSetPreviewBitmap(Orva *o, HBITMAP bitmap) {
    if (bitmap && (!o->previewArea || GetObjectType(bitmap) != OBJ_BITMAP)) return KIT_ERR_NODIALOG;
    if (o->previewBitmap) DeleteObject(o->previewBitmap);
    o->previewBitmap = bitmap;
    if (o->previewArea) InvalidateRect(o->previewArea, nullptr, FALSE);
    return 0;
}

// 0x126 comes before and after jexdfltn @129 draws the preview: the second one labels it.
LONG OrvaPreviewMessage(Orva *o, LONG sink, LONG image) {
    if (!sink || !image) return KIT_ERR_BADARG;
    if (!o->dialog) return KIT_ERR_NODIALOG;
    char label[160];
    snprintf(label, sizeof label, "%s - preview", o->p->name);
    SetDlgItemTextA(o->dialog, ID_LABEL, label);
    return 0;
}
