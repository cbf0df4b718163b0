// Yarrel, the language picker, as the user meets it: the dialog run for real inside this test
// program (scanner entries from the sample drivers, languages from their localisation files,
// the save question answered Yes or No, setscan.ini afterwards). ctest runs this program a
// second time with a Japanese locale, where every text must be the Japanese one.
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
        // Every driver was unloaded again after its question, listed or not.
        for (const wchar_t *file : {L"orvafb.zrd", L"orvadf.zrd", L"orvals.zrd", L"noexport.zrd"})
            EXPECT_EQ(GetModuleHandleW((QuilmetPath() + L"\\" + file).c_str()), nullptr) << ToUtf8(file);
        Click(d, IDCANCEL);
    });
}

TEST_F(YarrelDialog, ADriverWithoutANameIsListedWithAnEmptyText) {
    Install({L"nameless.zrd", L"orvafb.zrd", L"jextools.loc"});
    PutFile(L"nameless.loc", Utf16Marked(L"1036=Français\r\n"));
    RunDialog([](HWND d) {
        const std::vector<std::wstring> entries = ScannerEntries(d);
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(Sorted({entries[0], entries[1]}), Sorted({L"", kFlatbed}));
        const LRESULT nameless = entries[0].empty() ? 0 : 1;
        const auto *item = reinterpret_cast<const DriverItem *>(SendMessageW(ScannerBox(d), CB_GETITEMDATA, nameless, 0));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(lstrcmpiW(item->path, (QuilmetPath() + L"\\nameless.zrd").c_str()), 0) << ToUtf8(item->path);
        SendMessageW(ScannerBox(d), CB_SETCURSEL, nameless, 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_SCANNER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(ScannerBox(d)));
        EXPECT_EQ(LanguagesShown(d), WithDefault({{1036, L"Français"}}));
        Click(d, IDCANCEL);
    });
}

TEST_F(YarrelDialog, ADriverSettingNamingNoListedDriverSelectsAllScanners) {
    InstallSamples();
    for (const wchar_t *driver : {L"orvals", L"ghost"}) {  // left out, not installed
        SCOPED_TRACE(ToUtf8(driver));
        SetIni(L"Scanner", L"Driver", driver);
        RunDialog([](HWND d) {
            EXPECT_EQ(SelectedScanner(d), UserTexts().allScanners);
            EXPECT_EQ(LanguagesShown(d), WithDefault(kToolsLanguages));
            Click(d, IDCANCEL);
        });
    }
}

TEST_F(YarrelDialog, WithoutAQuilmetFolderOnlyAllScannersIsListed) {
    CleanQuilmet();
    ASSERT_EQ(GetFileAttributesW(QuilmetPath().c_str()), INVALID_FILE_ATTRIBUTES);
    RunDialog([](HWND d) {
        EXPECT_EQ(ScannerEntries(d), std::vector<std::wstring>{UserTexts().allScanners});
        EXPECT_FALSE(IsWindowEnabled(ScannerBox(d)));
        const auto *item = reinterpret_cast<const DriverItem *>(SendMessageW(ScannerBox(d), CB_GETITEMDATA, 0, 0));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(lstrcmpiW(item->path, (QuilmetPath() + L"\\sdk.loc").c_str()), 0) << ToUtf8(item->path);
        EXPECT_EQ(LanguagesShown(d), WithDefault({}));
        EXPECT_EQ(SelectedLanguage(d), UserTexts().defaultLanguage);
        Click(d, IDCANCEL);
    });
}

// The drivers are loaded only after the dialog is on screen, so that a slow driver does not
// keep the user looking at nothing.
TEST_F(YarrelDialog, TheDialogIsShownBeforeTheDriversAreLoaded) {
    InstallSamples();
    static LRESULT entriesWhenShown;
    entriesWhenShown = -1;
    HHOOK hook = SetWindowsHookExW(
        WH_CALLWNDPROCRET,
        [](int code, WPARAM wp, LPARAM lp) CALLBACK -> LRESULT {
            const auto *m = reinterpret_cast<const CWPRETSTRUCT *>(lp);
            if (code == HC_ACTION && m->message == WM_SHOWWINDOW && m->wParam && IsLangDialog(m->hwnd) &&
                entriesWhenShown < 0)
                entriesWhenShown = SendMessageW(GetDlgItem(m->hwnd, IDC_SCANNER), CB_GETCOUNT, 0, 0);
            return CallNextHookEx(nullptr, code, wp, lp);
        },
        nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    RunDialog([](HWND d) {
        EXPECT_EQ(ScannerEntries(d).size(), 3u);
        Click(d, IDCANCEL);
    });
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(entriesWhenShown, 0);
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

TEST_F(YarrelDialog, AScannerBoxLeftWithoutSelectionGoesBackToTheShownEntry) {
    InstallSamples();
    QuestionAnswerer answers({IDYES});
    RunDialog([](HWND d) {
        ChooseLanguage(d, L"English");
        SendMessageW(ScannerBox(d), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_SCANNER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(ScannerBox(d)));
        EXPECT_EQ(SelectedScanner(d), UserTexts().allScanners);
        EXPECT_EQ(SelectedLanguage(d), L"English");  // nothing chosen: nothing asked, nothing lost
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(answers.asked.empty());
}

// setscan.ini made a folder cannot be written. The user is told why, and the dialog neither
// closes nor switches as if the choice had been stored; once the file can be written, the same
// change is asked about again and stored.
TEST_F(YarrelDialog, AFailedSaveIsShownAndKeepsTheDialogOpenWithTheChange) {
    InstallSamples();
    ASSERT_TRUE(CreateDirectoryW(SetScanPath().c_str(), nullptr));
    ForgetCachedSettings();
    QuestionAnswerer answers({IDYES, IDOK, IDYES, IDOK, IDYES});
    const INT_PTR result = RunDialog([&answers](HWND d) {
        ChooseLanguage(d, L"日本語");
        Click(d, IDOK);
        EXPECT_TRUE(IsWindowVisible(d));
        ChooseScanner(d, kFlatbed);
        EXPECT_EQ(SelectedScanner(d), UserTexts().allScanners);
        EXPECT_EQ(LanguagesShown(d), WithDefault(kToolsLanguages));
        EXPECT_EQ(SelectedLanguage(d), L"日本語");
        EXPECT_EQ(answers.asked.size(), 4u);

        ASSERT_TRUE(RemoveDirectoryW(SetScanPath().c_str()));
        ForgetCachedSettings();
        Click(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(answers.asked.size(), 5u);
    wchar_t reason[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_ACCESS_DENIED, 0, reason,
                   512, nullptr);
    std::wstring expected = reason;
    while (!expected.empty() && (expected.back() == L'\n' || expected.back() == L'\r' || expected.back() == L' '))
        expected.pop_back();
    ASSERT_FALSE(expected.empty());
    for (size_t i : {1u, 3u}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(answers.asked[i].caption, UserTexts().caption);
        EXPECT_EQ(answers.asked[i].text, expected);
        EXPECT_EQ(answers.asked[i].icon, LoadIconW(nullptr, MAKEINTRESOURCEW(32513)));  // IDI_HAND: the stop sign
    }
    for (size_t i : {0u, 2u, 4u}) EXPECT_EQ(answers.asked[i].text, UserTexts().question) << i;
    const std::string ini = IniText();
    EXPECT_EQ(IniValue(ini, "Options", "iLanguage"), std::optional<std::string>("1041")) << ini;
    EXPECT_EQ(IniValue(ini, "orvafb", "iLanguage"), std::nullopt) << ini;
}

// Makes every CB_ADDSTRING of the scanner box fail, as when it runs out of memory.
WNDPROC g_scannerBoxProc;
LRESULT CALLBACK RefuseEntries(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    if (message == CB_ADDSTRING) return CB_ERR;
    return CallWindowProcW(g_scannerBoxProc, w, message, wp, lp);
}

// With no scanner entry at all there is no section to store a choice under: Yes goes on
// without writing anything (not even under an empty section name).
TEST_F(YarrelDialog, WithoutAnyScannerEntryYesStoresNothing) {
    InstallSamples();
    LangDialog state{};
    state.resources = GetModuleHandleW(nullptr);
    HWND d = CreateDialogParamW(state.resources, IDD_LANGDIALOG, nullptr, LangDlgProc, reinterpret_cast<LPARAM>(&state));
    ASSERT_NE(d, nullptr);
    ShowWindow(d, SW_SHOW);
    g_scannerBoxProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(ScannerBox(d), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RefuseEntries)));
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000 && LanguagesShown(d).empty();) PumpFor(20);
    EXPECT_EQ(SendMessageW(ScannerBox(d), CB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(IsWindowEnabled(ScannerBox(d)));
    EXPECT_EQ(LanguagesShown(d), WithDefault({}));
    {
        QuestionAnswerer answers({IDYES});
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE, LBN_SELCHANGE), reinterpret_cast<LPARAM>(LanguageList(d)));
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, IDOK)));
        EXPECT_EQ(answers.asked.size(), 1u);
    }
    EXPECT_FALSE(IsWindowVisible(d)) << "Yes should have ended the dialog";
    SetWindowLongPtrW(ScannerBox(d), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_scannerBoxProc));
    DestroyWindow(d);
    EXPECT_EQ(IniText(), "");
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
    const ULONGLONG start = ThreadCpuMs();
    RunDialog([](HWND d) {
        EXPECT_EQ(SendMessageW(LanguageList(d), LB_GETCOUNT, 0, 0), 1 + 32767);  // all a list box is sure to hold
        ChooseScanner(d, kFlatbed);
        EXPECT_EQ(LanguagesShown(d), WithDefault({}));
        ChooseScanner(d, kFeeder);
        EXPECT_EQ(LanguagesShown(d), WithDefault({{1, std::wstring(253, L'n')}}));
        Click(d, IDCANCEL);
    });
    EXPECT_LT(ThreadCpuMs() - start, 10000u) << "processor time";
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

TEST_F(YarrelSettings, AFailedWriteReturnsTheSystemError) {
    ASSERT_TRUE(CreateDirectoryW(SetScanPath().c_str(), nullptr));  // a folder cannot be written as a file
    ForgetCachedSettings();
    EXPECT_EQ(WriteLanguage(L"Options", 1041), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(WriteLanguage(L"Options", kDefaultLanguage), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
