// Shared by Yarrel's dialog tests: the Windows-directory fixture (Quilmet folder and setscan.ini,
// cleaned before and after every test), the texts expected in the user's language, and a
// runner that opens the real dialog and drives it from a thread timer, answering the save
// question with given answers. Every wait is bounded.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win_helpers.h"

// ---- Texts the user should see, by user interface language.
struct YarrelTexts {
    LANGID language;
    const wchar_t *caption;        // dialog and question caption
    const wchar_t *scannerLabel;
    const wchar_t *languageLabel;
    const wchar_t *ok;
    const wchar_t *cancel;
    const wchar_t *question;
    const wchar_t *noScanner;
    const wchar_t *allScanners;
    const wchar_t *defaultLanguage;
    const wchar_t *font;
    int fontPoints;
    int height;    // dialog height, dialog units
    int buttonY;   // top of OK and Cancel
};

constexpr YarrelTexts kEnglishTexts{
    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"Setting of Language", L"&Scanner :", L"&Language :", L"OK",
    L"Cancel", L"Will you save setting?", L"(No scanner)", L"(All scanners)", L"(Default)", L"MS Sans Serif", 8,
    151, 130};
constexpr YarrelTexts kJapaneseTexts{
    MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), L"言語の設定", L"スキャナ(&S) :", L"言語(&L) :", L"OK",
    L"キャンセル", L"設定を保存しますか?", L"(スキャナがありません)", L"(すべてのスキャナ)", L"(既定の言語)",
    L"ＭＳ Ｐゴシック", 9, 152, 131};

// ctest runs the dialog tests twice; the second run sets YARREL_TEST_UI=ja with a Japanese
// locale.
inline bool JapaneseRun() {
    const char *ui = getenv("YARREL_TEST_UI");
    return ui && std::string(ui) == "ja";
}
inline const YarrelTexts &UserTexts() { return JapaneseRun() ? kJapaneseTexts : kEnglishTexts; }

// ---- Files
inline std::wstring WinDirW() {
    wchar_t dir[MAX_PATH];
    GetWindowsDirectoryW(dir, MAX_PATH);
    return dir;
}
inline std::wstring QuilmetPath() { return WinDirW() + L"\\Quilmet"; }
inline std::wstring SetScanPath() { return WinDirW() + L"\\setscan.ini"; }

inline std::optional<std::string> ReadBytes(const std::wstring &path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

inline bool WriteBytesTo(const std::wstring &path, const std::string &bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// UTF-16 LE bytes with a byte-order mark.
inline std::string Utf16Marked(const std::wstring &text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

// Drops Wine's cached copy of setscan.ini, after the file was changed behind its back.
inline void ForgetCachedSettings() { WritePrivateProfileStringW(nullptr, nullptr, nullptr, L"setscan.ini"); }

// Value of key in section of an INI text, read line by line (not through the profile API).
inline std::optional<std::string> IniValue(const std::string &text, const std::string &section, const std::string &key) {
    bool inSection = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inSection = lstrcmpiA(line.c_str(), ("[" + section + "]").c_str()) == 0;
            continue;
        }
        const size_t eq = line.find('=');
        if (inSection && eq != std::string::npos && lstrcmpiA(line.substr(0, eq).c_str(), key.c_str()) == 0)
            return line.substr(eq + 1);
    }
    return std::nullopt;
}

// Cleans the Quilmet folder and setscan.ini before and after each test; setscan.ini as it was
// before the test is put back afterwards.
class YarrelFixture : public ::testing::Test {
protected:
    void SetUp() override {
        savedIni_ = ReadBytes(SetScanPath());
        CleanQuilmet();
        DeleteFileW(SetScanPath().c_str());
        RemoveDirectoryW(SetScanPath().c_str());  // left by a test that made it a folder
        ForgetCachedSettings();
        CreateDirectoryW(QuilmetPath().c_str(), nullptr);
    }
    void TearDown() override {
        CleanQuilmet();
        DeleteFileW(SetScanPath().c_str());
        RemoveDirectoryW(SetScanPath().c_str());
        if (savedIni_) WriteBytesTo(SetScanPath(), *savedIni_);
        ForgetCachedSettings();
    }

    static void CleanQuilmet() {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((QuilmetPath() + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring path = QuilmetPath() + L"\\" + found.cFileName;
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW(path.c_str());
                else if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
                    RemoveDirectoryW(path.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(QuilmetPath().c_str());
    }

    // Copies sample files from the program's folder (bin/, the working directory).
    static void Install(std::initializer_list<const wchar_t *> names) {
        for (const wchar_t *name : names) {
            const std::wstring target = QuilmetPath() + L"\\" + name;
            ASSERT_TRUE(CopyFileW(name, target.c_str(), FALSE)) << "sample file missing: " << ToUtf8(name);
        }
    }
    static void InstallSamples() {
        Install({L"orvafb.zrd", L"orvafb.loc", L"orvadf.zrd", L"orvadf.loc", L"orvals.zrd", L"orvals.loc",
                 L"orvafail.zrd", L"noexport.zrd", L"notalib.zrd", L"jextools.loc"});
    }
    static void PutFile(const wchar_t *name, const std::string &bytes) {
        ASSERT_TRUE(WriteBytesTo(QuilmetPath() + L"\\" + name, bytes));
    }
    static void SetIni(const wchar_t *section, const wchar_t *key, const wchar_t *value) {
        WritePrivateProfileStringW(section, key, value, L"setscan.ini");
        ForgetCachedSettings();
    }
    static std::string IniText() {
        ForgetCachedSettings();
        return ReadBytes(SetScanPath()).value_or("");
    }
    static std::string ToUtf8(const std::wstring &text) {
        char out[1024] = {};
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out - 1, nullptr, nullptr);
        return out;
    }

private:
    std::optional<std::string> savedIni_;
};
