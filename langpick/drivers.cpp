// Finding and probing the scanner drivers, and the list of scanner box items.
#include "drivers.h"

#include <cstdlib>
#include <cwchar>

namespace {

constexpr UINT kDriverNameId = 129;

using SetLocaleEnableFn = BOOL(WINAPI *)(void);

bool IsFile(const wchar_t *path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Keeps a failed load (a missing import of a driver, a file on a removed medium) from asking
// the user with a system message box; restores the caller's error mode on every path.
struct QuietErrors {
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ~QuietErrors() { SetErrorMode(previous); }
};

struct LoadedLibrary {
    HMODULE module;
    ~LoadedLibrary() {
        if (module) FreeLibrary(module);
    }
};

}  // namespace

bool JoinPath(wchar_t *out, size_t cap, const wchar_t *dir, const wchar_t *name) {
    if (!out || cap == 0) return false;
    out[0] = L'\0';
    if (!dir || !name) return false;
    const size_t dirLength = wcslen(dir);
    const size_t nameLength = wcslen(name);
    if (dirLength + 1 + nameLength >= cap) return false;
    wmemcpy(out, dir, dirLength);
    out[dirLength] = L'\\';
    wmemcpy(out + dirLength + 1, name, nameLength + 1);
    return true;
}

DriverItem *NewDriverItem(const wchar_t *path) {
    if (!path || wcslen(path) >= MAX_PATH) return nullptr;
    auto *item = static_cast<DriverItem *>(calloc(1, sizeof(DriverItem)));
    if (item) wcscpy(item->path, path);
    return item;
}

void FreeDriverItem(DriverItem *item) { free(item); }

void AttachDriverItem(DriverList *list, DriverItem *item) {
    if (!list || !item) return;
    item->next = nullptr;
    if (list->tail)
        list->tail->next = item;
    else
        list->head = item;
    list->tail = item;
}

void FreeDriverList(DriverList *list) {
    if (!list) return;
    for (DriverItem *item = list->head; item;) {
        DriverItem *next = item->next;
        FreeDriverItem(item);
        item = next;
    }
    list->head = list->tail = nullptr;
}

bool QuilmetDir(wchar_t *out, size_t cap) {
    if (!out || cap == 0) return false;
    out[0] = L'\0';
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    if (windows[length - 1] == L'\\') windows[length - 1] = L'\0';  // "C:\" as Windows directory
    return JoinPath(out, cap, windows, L"Quilmet");
}

bool AllScannersLocPath(const wchar_t *dir, wchar_t *out, size_t cap) {
    if (JoinPath(out, cap, dir, L"jextools.loc") && IsFile(out)) return true;
    return JoinPath(out, cap, dir, L"sdk.loc");
}

bool ProbeDriver(const wchar_t *path, wchar_t *name, int cap) {
    if (!path || !name || cap <= 0) return false;
    name[0] = L'\0';
    QuietErrors quiet;
    LoadedLibrary driver{LoadLibraryW(path)};
    if (!driver.module) return false;
    auto setLocaleEnable = reinterpret_cast<SetLocaleEnableFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(driver.module, "SetLocaleEnable")));
    if (!setLocaleEnable || !setLocaleEnable()) return false;
    // A driver without a name is still a driver the user may want to set: it is listed with an
    // empty text rather than hidden.
    if (LoadStringW(driver.module, kDriverNameId, name, cap) <= 0) name[0] = L'\0';
    return true;
}

void ForEachDriverFile(const wchar_t *dir, DriverFileFn onDriver, void *context) {
    wchar_t pattern[MAX_PATH];
    if (!dir || !onDriver || !JoinPath(pattern, MAX_PATH, dir, L"*.zrd")) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        wchar_t path[MAX_PATH];
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!JoinPath(path, MAX_PATH, dir, found.cFileName)) continue;
        onDriver(context, path);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
