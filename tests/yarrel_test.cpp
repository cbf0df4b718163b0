// Yarrel, the language picker, as the user meets it: the dialog run for real inside this test
// program (scanner entries from the sample drivers, languages from their localisation files,
// the save question answered Yes or No, setscan.ini afterwards), the resources of Yarrel.exe in
// both languages, and Yarrel.exe started as a program. ctest runs this program a second time
// with a Japanese locale, where every text must be the Japanese one.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "settings.h"
#include "yarrel_dialog_driver.h"
#include "yarrel_fixture.h"

namespace {

const std::wstring kFlatbed = L"ORVA FB-100 Flatbed";
const std::wstring kFeeder = L"ORVA DF-2000 Document Feeder";

// Languages of the sample localisation files (samples/zrd/*.loc.txt), with the default entry.
LanguageEntries WithDefault(LanguageEntries languages) {
    languages.insert(languages.begin(), {1024, UserTexts().defaultLanguage});
    return languages;
}
const LanguageEntries kFlatbedLanguages{{1033, L"English"}, {1041, L"日本語"}, {1031, L"Deutsch"}};
const LanguageEntries kFeederLanguages{{1033, L"English"}, {1036, L"Français"}, {1034, L"Español"}, {1041, L"日本語"}};
const LanguageEntries kToolsLanguages{{1033, L"English"}, {1041, L"日本語"}};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class YarrelDialog : public YarrelFixture {};

// ---- What is listed

TEST_F(YarrelDialog, RunsInTheExpectedUserLanguage) {
    // Guards the Japanese run: without it, a locale that did not take would test English twice.
    EXPECT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()), PRIMARYLANGID(UserTexts().language));
}

TEST_F(YarrelDialog, ListsTheDriversThatOfferALanguageChoice) {
    InstallSamples();
    RunDialog([](HWND d) {
        const std::vector<std::wstring> entries = ScannerEntries(d);
        ASSERT_EQ(entries.size(), 3u);
        // Drivers in the order the folder lists them, then the all-scanners entry.
        EXPECT_EQ(Sorted({entries[0], entries[1]}), Sorted({kFlatbed, kFeeder}));
        EXPECT_EQ(entries[2], UserTexts().allScanners);
        EXPECT_TRUE(IsWindowEnabled(ScannerBox(d)));
        // Each entry's item is its file.
        for (int i = 0; i < 3; ++i) {
            const auto *item = reinterpret_cast<const DriverItem *>(SendMessageW(ScannerBox(d), CB_GETITEMDATA, i, 0));
            ASSERT_NE(item, nullptr);
            const std::wstring file = entries[i] == kFlatbed  ? L"orvafb.zrd"
                                      : entries[i] == kFeeder ? L"orvadf.zrd"
                                                              : L"jextools.loc";
            EXPECT_EQ(lstrcmpiW(item->path, (QuilmetPath() + L"\\" + file).c_str()), 0) << ToUtf8(item->path);
        }
        // No "Driver" setting: all scanners, with the languages of jextools.loc; no stored
        // language: the default entry.
        EXPECT_EQ(SelectedScanner(d), UserTexts().allScanners);
        EXPECT_EQ(LanguagesShown(d), WithDefault(kToolsLanguages));
        EXPECT_EQ(SelectedLanguage(d), UserTexts().defaultLanguage);
        Click(d, IDCANCEL);
    });
}

TEST_F(YarrelDialog, TheDriverSettingPreselectsItsEntryAndStoredLanguage) {
    InstallSamples();
    SetIni(L"Scanner", L"Driver", L"ORVADF");  // compared without case
    SetIni(L"orvadf", L"iLanguage", L"1036");
    SetIni(L"orvafb", L"iLanguage", L"1031");
    RunDialog([](HWND d) {
        EXPECT_EQ(SelectedScanner(d), kFeeder);
        EXPECT_EQ(LanguagesShown(d), WithDefault(kFeederLanguages));
        EXPECT_EQ(SelectedLanguage(d), L"Français");
        ChooseScanner(d, kFlatbed);  // nothing changed: no question
        EXPECT_EQ(LanguagesShown(d), WithDefault(kFlatbedLanguages));
        EXPECT_EQ(SelectedLanguage(d), L"Deutsch");
        Click(d, IDCANCEL);
    });
}

TEST_F(YarrelDialog, AStoredLanguageTheFileDoesNotOfferSelectsNothing) {
    InstallSamples();
    SetIni(L"Options", L"iLanguage", L"1049");
    RunDialog([](HWND d) {
        EXPECT_EQ(SelectedLanguage(d), L"<none>");
        Click(d, IDCANCEL);
    });
}

TEST_F(YarrelDialog, WithoutDriversOnlyAllScannersIsListedAndTheBoxIsDisabled) {
    Install({L"orvals.zrd", L"orvals.loc", L"orvafail.zrd", L"notalib.zrd", L"jextools.loc"});
    PutFile(L"sdk.loc", Utf16Marked(L"1=Sdk one\r\n"));
    RunDialog([](HWND d) {
        EXPECT_EQ(ScannerEntries(d), std::vector<std::wstring>{UserTexts().allScanners});
        EXPECT_FALSE(IsWindowEnabled(ScannerBox(d)));
        EXPECT_EQ(LanguagesShown(d), WithDefault(kToolsLanguages));  // jextools.loc before sdk.loc
        Click(d, IDCANCEL);
    });
}

TEST_F(YarrelDialog, MissingLocalisationFilesGiveOnlyTheDefaultEntry) {
    Install({L"orvafb.zrd"});
    RunDialog([](HWND d) {
        EXPECT_EQ(LanguagesShown(d), WithDefault({}));
        ChooseScanner(d, kFlatbed);
        EXPECT_EQ(LanguagesShown(d), WithDefault({}));
        EXPECT_EQ(SelectedLanguage(d), UserTexts().defaultLanguage);
        Click(d, IDCANCEL);
    });
}

// ---- Saving

TEST_F(YarrelDialog, OkAsksAndYesStoresTheLanguageInTheDriversSection) {
    InstallSamples();
    QuestionAnswerer answers({IDYES});
    const INT_PTR result = RunDialog([](HWND d) {
        ChooseScanner(d, kFlatbed);
        ChooseLanguage(d, L"日本語");
        Click(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0].caption, UserTexts().caption);
    EXPECT_EQ(answers.asked[0].text, UserTexts().question);
    EXPECT_TRUE(answers.asked[0].hasIcon);
    const std::string ini = IniText();
    EXPECT_EQ(IniValue(ini, "orvafb", "iLanguage"), std::optional<std::string>("1041")) << ini;
    EXPECT_EQ(IniValue(ini, "Options", "iLanguage"), std::nullopt) << ini;
}

TEST_F(YarrelDialog, OkAnsweredNoKeepsTheDialogOpenAndStoresNothing) {
    InstallSamples();
    QuestionAnswerer answers({IDNO});
    const INT_PTR result = RunDialog([](HWND d) {
        ChooseLanguage(d, L"English");
        Click(d, IDOK);
        EXPECT_TRUE(IsWindowVisible(d));
        EXPECT_EQ(SelectedLanguage(d), L"English");
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(IniValue(IniText(), "Options", "iLanguage"), std::nullopt);
}

TEST_F(YarrelDialog, AChangeToNoSelectionIsSavedAsZero) {
    InstallSamples();
    QuestionAnswerer answers({IDYES});
    RunDialog([](HWND d) {
        SendMessageW(LanguageList(d), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE, LBN_SELCHANGE), reinterpret_cast<LPARAM>(LanguageList(d)));
        Click(d, IDOK);
    });
    EXPECT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(IniValue(IniText(), "Options", "iLanguage"), std::optional<std::string>("0"));
}

TEST_F(YarrelDialog, OkWithoutAChangeClosesWithoutAsking) {
    InstallSamples();
    QuestionAnswerer answers({IDYES});
    EXPECT_EQ(RunDialog([](HWND d) { Click(d, IDOK); }), IDOK);
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(IniValue(IniText(), "Options", "iLanguage"), std::nullopt);
}

TEST_F(YarrelDialog, CancelAndTheCloseBoxNeverSave) {
    InstallSamples();
    QuestionAnswerer answers({IDYES, IDYES});
    EXPECT_EQ(RunDialog([](HWND d) {
                  ChooseLanguage(d, L"English");
                  Click(d, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(RunDialog([](HWND d) {
                  ChooseLanguage(d, L"English");
                  SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
              }),
              IDCANCEL);
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(IniValue(IniText(), "Options", "iLanguage"), std::nullopt);
}

TEST_F(YarrelDialog, SwitchingScannersAsksFirstAndNoGoesBackToThePreviousEntry) {
    InstallSamples();
    QuestionAnswerer answers({IDNO, IDYES});
    const INT_PTR result = RunDialog([](HWND d) {
        ChooseLanguage(d, L"日本語");
        ChooseScanner(d, kFlatbed);  // No: stay with all scanners and the changed choice
        EXPECT_EQ(SelectedScanner(d), UserTexts().allScanners);
        EXPECT_EQ(LanguagesShown(d), WithDefault(kToolsLanguages));
        EXPECT_EQ(SelectedLanguage(d), L"日本語");
        EXPECT_EQ(IniValue(IniText(), "Options", "iLanguage"), std::nullopt);

        ChooseScanner(d, kFlatbed);  // Yes: saved for all scanners, then switched
        EXPECT_EQ(IniValue(IniText(), "Options", "iLanguage"), std::optional<std::string>("1041"));
        EXPECT_EQ(SelectedScanner(d), kFlatbed);
        EXPECT_EQ(LanguagesShown(d), WithDefault(kFlatbedLanguages));
        EXPECT_EQ(SelectedLanguage(d), UserTexts().defaultLanguage);
        Click(d, IDOK);  // nothing changed since the switch: no third question
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(answers.asked.size(), 2u);
    EXPECT_EQ(IniValue(IniText(), "orvafb", "iLanguage"), std::nullopt);
}

// The default entry is stored as an empty value, which reads back as 0 (as Windows'
// GetPrivateProfileInt reads it), so a language numbered 0 is then selected.
TEST_F(YarrelDialog, DefaultIsStoredEmptyAndReadsBackAsLanguageZero) {
    PutFile(L"sdk.loc", Utf16Marked(L"; all scanners\r\n0=Zero\r\n1=One\r\n"));
    QuestionAnswerer answers({IDYES});
    RunDialog([](HWND d) {
        EXPECT_EQ(LanguagesShown(d), WithDefault({{0, L"Zero"}, {1, L"One"}}));
        EXPECT_EQ(SelectedLanguage(d), UserTexts().defaultLanguage);  // no key yet
        ChooseLanguage(d, UserTexts().defaultLanguage);
        Click(d, IDOK);
    });
    EXPECT_EQ(IniValue(IniText(), "Options", "iLanguage"), std::optional<std::string>(""));
    RunDialog([](HWND d) {
        EXPECT_EQ(SelectedLanguage(d), L"Zero");
        Click(d, IDCANCEL);
    });
}

// ---- Hostile localisation files seen through the dialog

TEST_F(YarrelDialog, OddLocalisationFilesNeitherCrashNorHang) {
    Install({L"orvafb.zrd", L"orvadf.zrd"});
    PutFile(L"orvafb.loc", "");                                             // empty
    PutFile(L"orvadf.loc", Utf16Marked(L"1=" + std::wstring(400, L'n')) + "x");  // long line, odd size
    std::wstring huge;
    for (int i = 0; huge.size() < 5 * 1024 * 1024; ++i) huge += std::to_wstring(i) + L"=Language\r\n";
    PutFile(L"jextools.loc", Utf16Marked(huge));  // 10 MB, one endless run
    const DWORD start = GetTickCount();
    RunDialog([](HWND d) {
        EXPECT_EQ(SendMessageW(LanguageList(d), LB_GETCOUNT, 0, 0), 1 + 1000);
        ChooseScanner(d, kFlatbed);
        EXPECT_EQ(LanguagesShown(d), WithDefault({}));
        ChooseScanner(d, kFeeder);
        EXPECT_EQ(LanguagesShown(d), WithDefault({{1, std::wstring(253, L'n')}}));
        Click(d, IDCANCEL);
    });
    EXPECT_LT(GetTickCount() - start, 10000u);
}

// ---- What the user sees

TEST_F(YarrelDialog, ShowsTheLayoutTextsAndFontOfTheUsersLanguage) {
    InstallSamples();
    QuestionAnswerer answers({IDNO});
    RunDialog([](HWND d) {
        const YarrelTexts &t = UserTexts();
        EXPECT_EQ(WindowTextW(d), t.caption);
        const LONG style = GetWindowLongW(d, GWL_STYLE);
        for (LONG bit : {LONG(WS_POPUP), LONG(WS_CAPTION), LONG(WS_SYSMENU), LONG(WS_MINIMIZEBOX), LONG(DS_MODALFRAME)})
            EXPECT_EQ(style & bit, bit) << std::hex << bit;

        RECT size{0, 0, 166, t.height};
        MapDialogRect(d, &size);
        RECT client;
        GetClientRect(d, &client);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);

        // Centred on the desktop.
        RECT desktop, window;
        GetWindowRect(GetDesktopWindow(), &desktop);
        GetWindowRect(d, &window);
        EXPECT_EQ(window.left, (desktop.right - (window.right - window.left)) / 2);
        EXPECT_EQ(window.top, (desktop.bottom - (window.bottom - window.top)) / 2);

        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(d, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, t.font);
        HDC dc = GetDC(d);
        EXPECT_EQ(font.lfHeight, -MulDiv(t.fontPoints, GetDeviceCaps(dc, LOGPIXELSY), 72));
        ReleaseDC(d, dc);

        struct Row {
            int id;
            const char *cls;
            const wchar_t *text;  // null: not checked
            RECT dlu;  // x, y, width, height
        };
        const Row rows[] = {
            {0xFFFF, "Static", t.scannerLabel, {7, 7, 152, 10}},
            {IDC_SCANNER, "ComboBox", nullptr, {7, 19, 152, 63}},
            {0xFFFF, "Static", t.languageLabel, {7, 37, 152, 10}},
            {IDC_LANGUAGE, "ListBox", nullptr, {7, 48, 152, 76}},
            {IDOK, "Button", t.ok, {54, t.buttonY, 50, 14}},
            {IDCANCEL, "Button", t.cancel, {109, t.buttonY, 50, 14}},
        };
        HWND child = GetWindow(d, GW_CHILD);
        for (const Row &row : rows) {
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(GetDlgCtrlID(child), row.id);
            EXPECT_EQ(ClassOf(child), row.cls);
            if (row.text) {
                EXPECT_EQ(WindowTextW(child), row.text);
            }
            // The dialog manager converts position and size each on its own.
            RECT expected = row.dlu;
            MapDialogRect(d, &expected);
            expected.right += expected.left;
            expected.bottom += expected.top;
            RECT actual;
            GetWindowRect(child, &actual);
            MapWindowPoints(nullptr, d, reinterpret_cast<POINT *>(&actual), 2);
            EXPECT_EQ(actual.left, expected.left) << row.id;
            EXPECT_EQ(actual.top, expected.top) << row.id;
            EXPECT_EQ(actual.right, expected.right) << row.id;
            if (row.id != IDC_SCANNER) {  // a drop-down list is as high as its edit field
                EXPECT_EQ(actual.bottom, expected.bottom) << row.id;
            }
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr) << "more controls than expected";
        EXPECT_EQ(GetWindowLongW(ScannerBox(d), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
        // (The border becomes a 3D edge and the scroll bar comes and goes: the template test
        // checks those bits.)
        const LONG list = GetWindowLongW(LanguageList(d), GWL_STYLE);
        for (LONG bit : {LBS_NOTIFY, LBS_NOINTEGRALHEIGHT}) EXPECT_EQ(list & bit, bit);
        EXPECT_EQ(GetWindowLongW(GetDlgItem(d, IDOK), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);

        EXPECT_EQ(ScannerEntries(d).back(), t.allScanners);
        EXPECT_EQ(LanguagesShown(d).front(), (std::pair<long, std::wstring>{1024, t.defaultLanguage}));
        ChooseLanguage(d, L"English");
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0].caption, UserTexts().caption);
    EXPECT_EQ(answers.asked[0].text, UserTexts().question);
}

// ---- Settings, read and written as the data source will read them

class YarrelSettings : public YarrelFixture {};

TEST_F(YarrelSettings, SectionsAndLocalisationPathsComeFromTheFileName) {
    struct Row {
        const wchar_t *path, *section, *loc;
    };
    const Row rows[] = {
        // path                          section      localisation file
        {L"C:\\windows\\Quilmet\\orvafb.zrd", L"orvafb", L"C:\\windows\\Quilmet\\orvafb.loc"},
        {L"C:\\windows\\Quilmet\\JEXTOOLS.loc", L"Options", L"C:\\windows\\Quilmet\\JEXTOOLS.loc"},
        {L"C:\\windows\\Quilmet\\sdk.loc", L"Options", L"C:\\windows\\Quilmet\\sdk.loc"},
        {L"C:\\windows\\Quilmet\\sdkx.zrd", L"sdkx", L"C:\\windows\\Quilmet\\sdkx.loc"},
        {L"C:\\a.b\\drv.v2.zrd", L"drv.v2", L"C:\\a.b\\drv.v2.loc"},
        {L"C:\\a.b\\plain", L"plain", L"C:\\a.b\\plain.loc"},  // a point in a folder is no extension
        {L"noslash.zrd", L"noslash", L"noslash.loc"},
        {L"", L"", L".loc"},
    };
    for (const Row &row : rows) {
        wchar_t section[MAX_PATH], loc[MAX_PATH];
        SectionOfPath(row.path, section, MAX_PATH);
        EXPECT_STREQ(section, row.section);
        EXPECT_TRUE(LocPathOf(row.path, loc, MAX_PATH));
        EXPECT_STREQ(loc, row.loc);
    }
    wchar_t small[4];
    SectionOfPath(L"C:\\x\\abcdef.zrd", small, 4);
    EXPECT_STREQ(small, L"abc");
    EXPECT_FALSE(LocPathOf(L"C:\\x\\abcdef.zrd", small, 4));
    EXPECT_STREQ(small, L"");
    SectionOfPath(nullptr, small, 4);
    EXPECT_STREQ(small, L"");
}

TEST_F(YarrelSettings, LanguagesAreWrittenAsDecimalTextAndReadAsTheirLow16Bits) {
    EXPECT_EQ(WriteLanguage(L"orvafb", 1041), 0u);
    EXPECT_EQ(WriteLanguage(L"Options", kDefaultLanguage), 0u);
    EXPECT_EQ(WriteLanguage(L"neg", -1), 0u);
    const std::string ini = IniText();
    EXPECT_EQ(IniValue(ini, "orvafb", "iLanguage"), std::optional<std::string>("1041"));
    EXPECT_EQ(IniValue(ini, "Options", "iLanguage"), std::optional<std::string>(""));
    EXPECT_EQ(IniValue(ini, "neg", "iLanguage"), std::optional<std::string>("-1"));

    EXPECT_EQ(ReadLanguage(L"orvafb"), 1041);
    EXPECT_EQ(ReadLanguage(L"Options"), 0);      // empty value
    EXPECT_EQ(ReadLanguage(L"missing"), 1024);   // no such key
    EXPECT_EQ(ReadLanguage(L"neg"), 0xFFFF);
    SetIni(L"big", L"iLanguage", L"70000");
    SetIni(L"signs", L"iLanguage", L"-");
    SetIni(L"text", L"iLanguage", L"12ab");
    EXPECT_EQ(ReadLanguage(L"big"), 70000 & 0xFFFF);
    EXPECT_EQ(ReadLanguage(L"signs"), 0);
    EXPECT_EQ(ReadLanguage(L"text"), 12);
    EXPECT_EQ(ReadLanguage(nullptr), 1024);
    EXPECT_EQ(WriteLanguage(nullptr, 1), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
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
        EXPECT_EQ(d.style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
                                               DS_SETFONT));
        EXPECT_EQ(d.cx, 166);
        EXPECT_EQ(d.cy, t->height);
        EXPECT_EQ(d.caption, t->caption);
        EXPECT_EQ(d.points, t->fontPoints);
        EXPECT_EQ(d.font, t->font);

        struct Row {
            WORD id, atom;
            DWORD bits, typeMask, type;
            short x, y, cx, cy;
            const wchar_t *text;
        };
        const DWORD child = WS_CHILD | WS_VISIBLE;
        const Row rows[] = {
            {0xFFFF, 0x82, child, 0x1F, SS_LEFT, 7, 7, 152, 10, t->scannerLabel},
            {IDC_SCANNER, 0x85, child | WS_VSCROLL, 0x3, CBS_DROPDOWNLIST, 7, 19, 152, 63, L""},
            {0xFFFF, 0x82, child, 0x1F, SS_LEFT, 7, 37, 152, 10, t->languageLabel},
            {IDC_LANGUAGE, 0x83, child | LBS_NOTIFY | WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 7, 48, 152,
             76, L""},
            {IDOK, 0x80, child, 0xF, BS_DEFPUSHBUTTON, 54, static_cast<short>(t->buttonY), 50, 14, t->ok},
            {IDCANCEL, 0x80, child, 0xF, BS_PUSHBUTTON, 109, static_cast<short>(t->buttonY), 50, 14, t->cancel},
        };
        ASSERT_EQ(d.items.size(), std::size(rows));
        for (size_t i = 0; i < std::size(rows); ++i) {
            const Row &r = rows[i];
            const ParsedItem &item = d.items[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(item.id, r.id);
            EXPECT_TRUE(item.cls.empty()) << "class by name, not by its predefined atom: " << ToUtf8Text(item.cls);
            EXPECT_EQ(item.atom, r.atom);
            EXPECT_EQ(item.style & r.bits, r.bits);
            EXPECT_EQ(item.style & r.typeMask, r.type);
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
