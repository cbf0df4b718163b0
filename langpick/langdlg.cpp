// The language dialog: scanner box, language list, the save question and the commands. The
// drivers are loaded on a short timer after the dialog opens, so that it is on screen first.
#include "langdlg.h"

#include <cwchar>

#include "locfile.h"
#include "resource.h"
#include "settings.h"

namespace {

constexpr UINT_PTR kFillTimer = 1;
constexpr UINT kFillDelayMs = 100;

LangDialog *StateOf(HWND dialog) { return reinterpret_cast<LangDialog *>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void LoadText(const LangDialog *state, UINT id, wchar_t *out, int cap) {
    if (LoadStringW(state->resources, id, out, cap) <= 0) out[0] = L'\0';
}

DriverItem *ItemOfEntry(HWND box, LRESULT index) {
    if (index < 0) return nullptr;
    const LRESULT data = SendMessageW(box, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? nullptr : reinterpret_cast<DriverItem *>(data);
}

// Adds an entry with text for item; on success the item joins the dialog's list. On failure
// the item is freed.
LRESULT AddScannerEntry(LangDialog *state, HWND box, DriverItem *item, const wchar_t *text) {
    const LRESULT index = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0) {
        FreeDriverItem(item);
        return -1;
    }
    SendMessageW(box, CB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item));
    AttachDriverItem(&state->items, item);
    return index;
}

struct ScannerFill {
    LangDialog *state;
    HWND box;
    wchar_t currentDriver[MAX_PATH];  // "Scanner"/"Driver"
    LRESULT remembered;               // entry of the current driver, or -1
    int count;
};

void AddDriverEntry(void *context, const wchar_t *path) {
    auto *fill = static_cast<ScannerFill *>(context);
    wchar_t name[256];
    if (!ProbeDriver(path, name, 256)) return;
    DriverItem *item = NewDriverItem(path);
    if (!item) return;
    const LRESULT index = AddScannerEntry(fill->state, fill->box, item, name);
    if (index < 0) return;
    wchar_t section[MAX_PATH];
    SectionOfPath(path, section, MAX_PATH);
    if (fill->currentDriver[0] && _wcsicmp(section, fill->currentDriver) == 0) fill->remembered = index;
    fill->count++;
}

void FillScannerBox(LangDialog *state, HWND dialog) {
    ScannerFill fill{};
    fill.state = state;
    fill.box = GetDlgItem(dialog, IDC_SCANNER);
    fill.remembered = -1;
    ReadCurrentDriver(fill.currentDriver, MAX_PATH);
    SendMessageW(fill.box, CB_RESETCONTENT, 0, 0);
    FreeDriverList(&state->items);
    state->currentPath[0] = L'\0';

    wchar_t dir[MAX_PATH];
    if (!QuilmetDir(dir, MAX_PATH)) dir[0] = L'\0';
    if (dir[0]) ForEachDriverFile(dir, AddDriverEntry, &fill);

    LRESULT all = -1;
    wchar_t locPath[MAX_PATH];
    wchar_t text[128];
    LoadText(state, IDS_ALLSCANNERS, text, 128);
    if (dir[0] && AllScannersLocPath(dir, locPath, MAX_PATH)) {
        if (DriverItem *item = NewDriverItem(locPath)) all = AddScannerEntry(state, fill.box, item, text);
    }
    if (all >= 0) fill.count++;

    const LRESULT selected = fill.remembered >= 0 ? fill.remembered : all;
    SendMessageW(fill.box, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    if (const DriverItem *item = ItemOfEntry(fill.box, selected)) wcscpy(state->currentPath, item->path);
    EnableWindow(fill.box, fill.count > 1);
}

struct LanguageFill {
    HWND list;
};

void AddLanguageEntry(void *context, long number, const wchar_t *name) {
    HWND list = static_cast<LanguageFill *>(context)->list;
    const LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    if (index >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), number);
}

// Languages of the scanner box's selected entry.
void FillLanguageList(LangDialog *state, HWND dialog) {
    state->modified = false;
    LanguageFill fill{GetDlgItem(dialog, IDC_LANGUAGE)};
    SendMessageW(fill.list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(fill.list, LB_RESETCONTENT, 0, 0);
    wchar_t text[128];
    LoadText(state, IDS_DEFAULT, text, 128);
    AddLanguageEntry(&fill, kDefaultLanguage, text);
    HWND box = GetDlgItem(dialog, IDC_SCANNER);
    const DriverItem *item = ItemOfEntry(box, SendMessageW(box, CB_GETCURSEL, 0, 0));
    wchar_t locPath[MAX_PATH];
    if (item && LocPathOf(item->path, locPath, MAX_PATH)) ReadLocFile(locPath, AddLanguageEntry, &fill);
    SendMessageW(fill.list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(fill.list, nullptr, TRUE);
}

void SelectStoredLanguage(const LangDialog *state, HWND dialog) {
    wchar_t section[MAX_PATH];
    SectionOfPath(state->currentPath, section, MAX_PATH);
    const WORD stored = ReadLanguage(section);
    HWND list = GetDlgItem(dialog, IDC_LANGUAGE);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    LRESULT match = -1;
    for (LRESULT i = 0; i < count && match < 0; ++i)
        if (SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0) == static_cast<LRESULT>(stored)) match = i;
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(match), 0);
}

// Tells the user that the choice could not be stored, in the system's words for error.
void ShowWriteError(const LangDialog *state, HWND dialog, DWORD error) {
    wchar_t reason[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                                  512, nullptr);
    while (length > 0 && (reason[length - 1] == L'\r' || reason[length - 1] == L'\n' || reason[length - 1] == L' '))
        reason[--length] = L'\0';
    if (length == 0) swprintf(reason, 512, L"%lu", static_cast<unsigned long>(error));  // no text for the code
    wchar_t caption[128];
    LoadText(state, IDS_CAPTION, caption, 128);
    MessageBoxW(dialog, reason, caption, MB_OK | MB_ICONSTOP);
}

// Before leaving or switching: true to go on. A changed choice is saved when the user says
// Yes; No means stay. A save that fails is shown and also means stay, with the change kept, so
// that the dialog never closes claiming a choice it did not store. With no scanner entry at all
// there is no section to store under: Yes then goes on without writing.
bool SaveQuestion(LangDialog *state, HWND dialog) {
    if (!state->modified) return true;
    wchar_t question[256];
    wchar_t caption[128];
    LoadText(state, IDS_SAVEQUESTION, question, 256);
    LoadText(state, IDS_CAPTION, caption, 128);
    if (MessageBoxW(dialog, question, caption, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    if (state->currentPath[0]) {
        HWND list = GetDlgItem(dialog, IDC_LANGUAGE);
        const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
        const long number =
            selected < 0 ? 0 : static_cast<long>(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(selected), 0));
        wchar_t section[MAX_PATH];
        SectionOfPath(state->currentPath, section, MAX_PATH);
        if (const DWORD error = WriteLanguage(section, number)) {
            ShowWriteError(state, dialog, error);
            return false;
        }
    }
    state->modified = false;
    return true;
}

// A new scanner entry was chosen. When the choice may not go on (No, a failed save, or no entry
// selected at all) the box goes back to the entry whose languages are shown.
void OnScannerChanged(LangDialog *state, HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_SCANNER);
    const DriverItem *chosen = ItemOfEntry(box, SendMessageW(box, CB_GETCURSEL, 0, 0));
    if (chosen && SaveQuestion(state, dialog)) {
        wcscpy(state->currentPath, chosen->path);
        FillLanguageList(state, dialog);
        SelectStoredLanguage(state, dialog);
        return;
    }
    const LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const DriverItem *item = ItemOfEntry(box, i);
        if (item && _wcsicmp(item->path, state->currentPath) == 0) {
            SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return;
        }
    }
}

void CenterOnDesktop(HWND dialog) {
    RECT desktop;
    RECT own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog, &own);
    const int x = (desktop.right - (own.right - own.left)) / 2;
    const int y = (desktop.bottom - (own.bottom - own.top)) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnFillTimer(LangDialog *state, HWND dialog) {
    KillTimer(dialog, kFillTimer);
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    FillScannerBox(state, dialog);
    FillLanguageList(state, dialog);
    SelectStoredLanguage(state, dialog);
    SetCursor(previous);
}

}  // namespace

INT_PTR CALLBACK LangDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        CenterOnDesktop(dialog);
        if (lParam) SetTimer(dialog, kFillTimer, kFillDelayMs, nullptr);  // no state: nothing to fill
        return TRUE;
    }
    LangDialog *state = StateOf(dialog);
    if (!state) return FALSE;
    switch (message) {
    case WM_TIMER:
        if (wParam != kFillTimer) return FALSE;
        OnFillTimer(state, dialog);
        return TRUE;
    case WM_DESTROY:
        KillTimer(dialog, kFillTimer);
        FreeDriverList(&state->items);
        return FALSE;
    case WM_COMMAND:
        switch (wParam) {
        case MAKEWPARAM(IDC_LANGUAGE, LBN_SELCHANGE):
            state->modified = true;
            return TRUE;
        case MAKEWPARAM(IDC_SCANNER, CBN_SELCHANGE):
            OnScannerChanged(state, dialog);
            return TRUE;
        case MAKEWPARAM(IDOK, BN_CLICKED):
            if (SaveQuestion(state, dialog)) EndDialog(dialog, IDOK);
            return TRUE;
        case MAKEWPARAM(IDCANCEL, BN_CLICKED):
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR RunLangDialog(HINSTANCE resources, HWND owner) {
    LangDialog state{};
    state.resources = resources;
    const INT_PTR result =
        DialogBoxParamW(resources, IDD_LANGDIALOG, owner, LangDlgProc, reinterpret_cast<LPARAM>(&state));
    FreeDriverList(&state.items);  // when the dialog could not be created
    return result;
}
