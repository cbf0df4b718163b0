// Settings of Yarrel in setscan.ini, and section and file names derived from driver paths.
#include "settings.h"

#include <cwchar>

namespace {

constexpr wchar_t kSettingsFile[] = L"setscan.ini";
constexpr wchar_t kLanguageKey[] = L"iLanguage";

// File-name part of path: after its last backslash (or slash).
const wchar_t *FileNameOf(const wchar_t *path) {
    const wchar_t *name = path;
    for (const wchar_t *p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    return name;
}

}  // namespace

void SectionOfPath(const wchar_t *path, wchar_t *section, size_t cap) {
    if (!section || cap == 0) return;
    section[0] = L'\0';
    if (!path) return;
    const wchar_t *name = FileNameOf(path);
    const wchar_t *dot = wcsrchr(name, L'.');
    size_t length = dot ? static_cast<size_t>(dot - name) : wcslen(name);
    if (length >= cap) length = cap - 1;
    wmemcpy(section, name, length);
    section[length] = L'\0';
    if (_wcsicmp(section, L"jextools") == 0 || _wcsicmp(section, L"sdk") == 0)
        lstrcpynW(section, L"Options", static_cast<int>(cap));
}

bool LocPathOf(const wchar_t *path, wchar_t *out, size_t cap) {
    if (!out || cap == 0) return false;
    out[0] = L'\0';
    if (!path) return false;
    const wchar_t *dot = wcsrchr(FileNameOf(path), L'.');
    const size_t stem = dot ? static_cast<size_t>(dot - path) : wcslen(path);
    if (stem + 4 >= cap) return false;
    wmemcpy(out, path, stem);
    wmemcpy(out + stem, L".loc", 5);
    return true;
}

void ReadCurrentDriver(wchar_t *out, size_t cap) {
    if (!out || cap == 0) return;
    GetPrivateProfileStringW(L"Scanner", L"Driver", L"", out, static_cast<DWORD>(cap), kSettingsFile);
}

WORD ReadLanguage(const wchar_t *section) {
    // Wine's GetPrivateProfileInt answers the default for an empty value where Windows answers
    // 0; reading the text makes the program behave the same on both. A key is missing only
    // when two different defaults both come back.
    if (!section) return static_cast<WORD>(kDefaultLanguage);
    wchar_t value[64];
    wchar_t other[4];
    GetPrivateProfileStringW(section, kLanguageKey, L"-", value, 64, kSettingsFile);
    if (wcscmp(value, L"-") == 0) {
        GetPrivateProfileStringW(section, kLanguageKey, L"+", other, 4, kSettingsFile);
        if (wcscmp(other, L"+") == 0) return static_cast<WORD>(kDefaultLanguage);
    }
    const wchar_t *p = value;
    while (*p == L' ' || *p == L'\t') ++p;
    const bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+') ++p;
    unsigned long number = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) number = number * 10 + static_cast<unsigned long>(*p - L'0');
    if (negative) number = 0ul - number;
    return static_cast<WORD>(number & 0xFFFF);
}

DWORD WriteLanguage(const wchar_t *section, long number) {
    if (!section) return ERROR_INVALID_PARAMETER;  // a null section would delete nothing useful
    wchar_t value[16] = L"";
    if (number != kDefaultLanguage) swprintf(value, 16, L"%ld", number);
    if (WritePrivateProfileStringW(section, kLanguageKey, value, kSettingsFile)) return 0;
    const DWORD error = GetLastError();
    return error ? error : ERROR_WRITE_FAULT;
}
