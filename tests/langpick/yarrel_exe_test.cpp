// Yarrel.exe as a file and as a program: its dialog and string resources in both languages and
// its manifest, read from the file; its imports; and the program started on its own, showing the
// sample drivers and exiting with 0.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "resource.h"
#include "win_helpers.h"
#include "yarrel_dialog_driver.h"
#include "yarrel_fixture.h"

namespace {

const std::wstring kFlatbed = L"ORVA FB-100 Flatbed";
const std::wstring kFeeder = L"ORVA DF-2000 Document Feeder";

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// ---- Resources of Yarrel.exe, both languages, read from the file

struct ParsedItem {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    WORD atom;
    std::wstring cls, text;
};
struct ParsedDialog {
    DWORD style;
    short cx, cy;
    std::wstring caption;
    WORD points;
    std::wstring font;
    std::vector<ParsedItem> items;
};

// A DIALOG (not DIALOGEX) template, as the resource compiler lays it out.
const WORD *SzOrOrd(const WORD *p, WORD *ord, std::wstring *text) {
    if (*p == 0xFFFF) {
        if (ord) *ord = p[1];
        return p + 2;
    }
    std::wstring s;
    while (*p) s += static_cast<wchar_t>(*p++);
    if (text) *text = s;
    return p + 1;
}

ParsedDialog ParseDialog(const void *resource) {
    ParsedDialog dialog{};
    const auto *base = static_cast<const BYTE *>(resource);
    WORD count;
    std::memcpy(&dialog.style, base, 4);
    std::memcpy(&count, base + 8, 2);
    std::memcpy(&dialog.cx, base + 14, 2);
    std::memcpy(&dialog.cy, base + 16, 2);
    const WORD *p = reinterpret_cast<const WORD *>(base + 18);
    p = SzOrOrd(p, nullptr, nullptr);  // menu
    p = SzOrOrd(p, nullptr, nullptr);  // class
    p = SzOrOrd(p, nullptr, &dialog.caption);
    if (dialog.style & DS_SETFONT) {
        dialog.points = *p++;
        p = SzOrOrd(p, nullptr, &dialog.font);
    }
    for (WORD i = 0; i < count; ++i) {
        const BYTE *at = reinterpret_cast<const BYTE *>(p);
        at = base + ((at - base + 3) & ~3);
        ParsedItem item{};
        std::memcpy(&item.style, at, 4);
        std::memcpy(&item.x, at + 8, 2);
        std::memcpy(&item.y, at + 10, 2);
        std::memcpy(&item.cx, at + 12, 2);
        std::memcpy(&item.cy, at + 14, 2);
        std::memcpy(&item.id, at + 16, 2);
        p = reinterpret_cast<const WORD *>(at + 18);
        p = SzOrOrd(p, &item.atom, &item.cls);
        p = SzOrOrd(p, nullptr, &item.text);
        const WORD extra = *p++;
        p = reinterpret_cast<const WORD *>(reinterpret_cast<const BYTE *>(p) + extra);
        dialog.items.push_back(item);
    }
    return dialog;
}

std::wstring StringOf(HMODULE module, UINT id, LANGID language) {
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!found) return L"<no table>";
    const auto *p = static_cast<const WORD *>(LockResource(LoadResource(module, found)));
    for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
    return std::wstring(reinterpret_cast<const wchar_t *>(p + 1), *p);
}

std::string ToUtf8Text(const std::wstring &text) {
    char out[512] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

struct ExeModule {
    HMODULE module = LoadLibraryExW(L"Yarrel.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ~ExeModule() {
        if (module) FreeLibrary(module);
    }
};

TEST(YarrelResources, DialogsAndStringsInEnglishAndJapanese) {
    ExeModule exe;
    ASSERT_NE(exe.module, nullptr);
    for (const YarrelTexts *t : {&kEnglishTexts, &kJapaneseTexts}) {
        SCOPED_TRACE(t == &kEnglishTexts ? "English" : "Japanese");
        HRSRC found = FindResourceExW(exe.module, MAKEINTRESOURCEW(5), L"LANGDIALOG", t->language);
        ASSERT_NE(found, nullptr);
        const ParsedDialog d = ParseDialog(LockResource(LoadResource(exe.module, found)));
        // Styles as numbers, so that no bit more or less goes unseen.
        EXPECT_EQ(d.style, 0x80ca00c0u);  // popup, caption, system menu, minimize box, modal frame, font
        EXPECT_EQ(d.cx, 166);
        EXPECT_EQ(d.cy, t->height);
        EXPECT_EQ(d.caption, t->caption);
        EXPECT_EQ(d.points, t->fontPoints);
        EXPECT_EQ(d.font, t->font);

        struct Row {
            WORD id, atom;
            DWORD style;
            short x, y, cx, cy;
            const wchar_t *text;
        };
        const Row rows[] = {
            // id        class  style        x    y                              cx   cy  text
            {0xFFFF, 0x82, 0x50020000, 7, 7, 152, 10, t->scannerLabel},  // left text, group
            {IDC_SCANNER, 0x85, 0x50210003, 7, 19, 152, 63, L""},          // drop-down list, v-scroll, tab stop
            {0xFFFF, 0x82, 0x50020000, 7, 37, 152, 10, t->languageLabel},
            {IDC_LANGUAGE, 0x83, 0x50a10101, 7, 48, 152, 76, L""},  // notify, border, v-scroll, no integral height
            {IDOK, 0x80, 0x50010001, 54, static_cast<short>(t->buttonY), 50, 14, t->ok},  // default push button
            {IDCANCEL, 0x80, 0x50010000, 109, static_cast<short>(t->buttonY), 50, 14, t->cancel},
        };
        ASSERT_EQ(d.items.size(), std::size(rows));
        for (size_t i = 0; i < std::size(rows); ++i) {
            const Row &r = rows[i];
            const ParsedItem &item = d.items[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(item.id, r.id);
            EXPECT_TRUE(item.cls.empty()) << "class by name, not by its predefined atom: " << ToUtf8Text(item.cls);
            EXPECT_EQ(item.atom, r.atom);
            EXPECT_EQ(item.style, r.style) << std::hex << item.style;
            EXPECT_EQ(item.x, r.x);
            EXPECT_EQ(item.y, r.y);
            EXPECT_EQ(item.cx, r.cx);
            EXPECT_EQ(item.cy, r.cy);
            EXPECT_EQ(item.text, r.text);
        }

        EXPECT_EQ(StringOf(exe.module, IDS_CAPTION, t->language), t->caption);
        EXPECT_EQ(StringOf(exe.module, IDS_SAVEQUESTION, t->language), t->question);
        EXPECT_EQ(StringOf(exe.module, IDS_NOSCANNER, t->language), t->noScanner);
        EXPECT_EQ(StringOf(exe.module, IDS_ALLSCANNERS, t->language), t->allScanners);
        EXPECT_EQ(StringOf(exe.module, IDS_DEFAULT, t->language), t->defaultLanguage);
    }
    HRSRC manifest = FindResourceW(exe.module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char *>(LockResource(LoadResource(exe.module, manifest))),
                           SizeofResource(exe.module, manifest));
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos) << text;
}

// Functions that the PE file imports by name from dll, read from its import directory.
template <class T>
bool ReadAt(const std::string &file, size_t offset, T *out) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
    std::memcpy(out, file.data() + offset, sizeof(T));
    return true;
}

std::vector<std::string> ImportsFrom(const std::string &file, const char *dll) {
    std::vector<std::string> names;
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    if (!ReadAt(file, 0, &dos) || !ReadAt(file, dos.e_lfanew, &nt)) return names;
    const size_t sections = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    auto offsetOf = [&](DWORD rva) -> size_t {
        IMAGE_SECTION_HEADER section;
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            if (!ReadAt(file, sections + i * sizeof section, &section)) break;
            const DWORD size = std::max<DWORD>(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
                return section.PointerToRawData + (rva - section.VirtualAddress);
        }
        return file.size();  // reads there fail
    };
    auto textAt = [&](size_t offset) { return offset < file.size() ? std::string(file.c_str() + offset) : std::string(); };
    const DWORD importRva = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    IMAGE_IMPORT_DESCRIPTOR import;
    for (size_t at = offsetOf(importRva); ReadAt(file, at, &import) && import.Name; at += sizeof import) {
        if (lstrcmpiA(textAt(offsetOf(import.Name)).c_str(), dll) != 0) continue;
        DWORD thunk = 0;
        const DWORD thunks = import.OriginalFirstThunk ? import.OriginalFirstThunk : import.FirstThunk;
        for (size_t t = offsetOf(thunks); ReadAt(file, t, &thunk) && thunk; t += sizeof thunk)
            if (!(thunk & IMAGE_ORDINAL_FLAG32)) names.push_back(textAt(offsetOf(thunk) + 2));  // after the hint
    }
    return names;
}

// The manifest asks for the version 6 common controls; on Windows they serve the dialog only
// once the program has loaded and initialised them. (Wine loads them for the manifest alone, so
// the import is what can be checked here.)
TEST(YarrelResources, TheProgramInitialisesTheCommonControls) {
    const std::optional<std::string> file = ReadBytes(L"Yarrel.exe");
    ASSERT_TRUE(file.has_value());
    const std::vector<std::string> kernel = ImportsFrom(*file, "kernel32.dll");
    ASSERT_NE(std::find(kernel.begin(), kernel.end(), "LoadLibraryW"), kernel.end()) << "import reader broken";
    const std::vector<std::string> comctl = ImportsFrom(*file, "comctl32.dll");
    EXPECT_NE(std::find(comctl.begin(), comctl.end(), "InitCommonControls"), comctl.end());
}

// ---- Yarrel.exe as a program

class YarrelProgram : public YarrelFixture {};

struct Found {
    DWORD pid;
    HWND dialog;
};

HWND DialogOfProcess(DWORD pid) {
    Found found{pid, nullptr};
    EnumWindows(
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            auto *f = reinterpret_cast<Found *>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == f->pid && IsWindowVisible(w) && ClassOf(w) == "#32770") {
                f->dialog = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.dialog;
}

TEST_F(YarrelProgram, ShowsTheSampleDriversAndExitsWithZero) {
    InstallSamples();
    wchar_t command[] = L"Yarrel.exe";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    HWND dialog = nullptr;
    LRESULT count = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000 && count < 3; Sleep(50)) {
        if (!dialog) dialog = DialogOfProcess(process.dwProcessId);
        if (dialog) count = SendMessageW(GetDlgItem(dialog, IDC_SCANNER), CB_GETCOUNT, 0, 0);
    }
    EXPECT_NE(dialog, nullptr) << "Yarrel.exe showed no dialog";
    if (dialog) {
        EXPECT_EQ(WindowTextW(dialog), UserTexts().caption);
        EXPECT_EQ(count, 3);
        const char *ui = getenv("YARREL_TEST_UI");
        SaveScreenshot(dialog, (std::string("yarrel-") + (ui ? ui : "en")).c_str());
        std::vector<std::wstring> entries = ScannerEntries(dialog);
        EXPECT_EQ(Sorted(entries), Sorted({kFlatbed, kFeeder, UserTexts().allScanners}));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    const DWORD waited = WaitForSingleObject(process.hProcess, 10000);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "Yarrel.exe did not end";
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
