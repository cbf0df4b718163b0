// Drives Yarrel's real dialog inside the test program: opens it with RunLangDialog on this
// thread, waits (on a thread timer) until it has filled its scanner box, then runs a script
// that works the controls with their own messages. Save questions are answered from a list.
// A watchdog ends everything after a time limit, so no test can hang.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "langdlg.h"
#include "resource.h"
#include "win_helpers.h"

inline std::wstring WindowTextW(HWND w) {
    wchar_t text[512] = {};
    GetWindowTextW(w, text, 512);
    return text;
}

inline bool IsLangDialog(HWND w) { return ClassOf(w) == "#32770" && GetDlgItem(w, IDC_SCANNER) != nullptr; }

// Answers the message boxes this thread activates, one answer each from the list (No when the
// list is used up), and records what they said. The language dialog itself is left alone.
class QuestionAnswerer {
public:
    struct Asked {
        std::wstring caption, text;
        bool hasIcon;
        HICON icon;  // compare with LoadIconW(nullptr, IDI_QUESTION) and the like (shared handles)
    };
    explicit QuestionAnswerer(std::vector<int> answers) : answers_(std::move(answers)) {
        me_.pick = [this](HWND w) {
            if (IsLangDialog(w)) return 0;
            return next_ < answers_.size() ? answers_[next_++] : IDNO;
        };
        me_.closed = [this](HWND w) {
            Asked a{WindowTextW(w), L"", false, nullptr};
            for (HWND child = GetWindow(w, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                if (ClassOf(child) != "Static") continue;
                if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                    a.hasIcon = true;
                    a.icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
                } else
                    a.text += WindowTextW(child);
            }
            asked.push_back(a);
        };
        boxguard::Push(&me_);
    }
    ~QuestionAnswerer() { boxguard::Pop(&me_); }
    QuestionAnswerer(const QuestionAnswerer &) = delete;
    QuestionAnswerer &operator=(const QuestionAnswerer &) = delete;
    std::vector<Asked> asked;

private:
    std::vector<int> answers_;
    size_t next_ = 0;
    BoxAnswerer me_;
};

// ---- Working the controls, as a user's clicks would.
inline HWND ScannerBox(HWND d) { return GetDlgItem(d, IDC_SCANNER); }
inline HWND LanguageList(HWND d) { return GetDlgItem(d, IDC_LANGUAGE); }

inline std::vector<std::wstring> ScannerEntries(HWND d) {
    std::vector<std::wstring> entries;
    const LRESULT count = SendMessageW(ScannerBox(d), CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        if (SendMessageW(ScannerBox(d), CB_GETLBTEXTLEN, i, 0) < 512)
            SendMessageW(ScannerBox(d), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

using LanguageEntries = std::vector<std::pair<long, std::wstring>>;
inline LanguageEntries LanguagesShown(HWND d) {
    LanguageEntries entries;
    const LRESULT count = SendMessageW(LanguageList(d), LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        if (SendMessageW(LanguageList(d), LB_GETTEXTLEN, i, 0) < 512)
            SendMessageW(LanguageList(d), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.emplace_back(static_cast<long>(SendMessageW(LanguageList(d), LB_GETITEMDATA, i, 0)), text);
    }
    return entries;
}

inline std::wstring SelectedScanner(HWND d) {
    const LRESULT i = SendMessageW(ScannerBox(d), CB_GETCURSEL, 0, 0);
    if (i < 0) return L"<none>";
    return ScannerEntries(d).at(static_cast<size_t>(i));
}

inline std::wstring SelectedLanguage(HWND d) {
    const LRESULT i = SendMessageW(LanguageList(d), LB_GETCURSEL, 0, 0);
    if (i < 0) return L"<none>";
    return LanguagesShown(d).at(static_cast<size_t>(i)).second;
}

inline void ChooseScanner(HWND d, const std::wstring &text) {
    const LRESULT i = SendMessageW(ScannerBox(d), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_GE(i, 0) << "no scanner entry with that text";
    SendMessageW(ScannerBox(d), CB_SETCURSEL, i, 0);
    SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_SCANNER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(ScannerBox(d)));
}

inline void ChooseLanguage(HWND d, const std::wstring &text) {
    const LRESULT i = SendMessageW(LanguageList(d), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_GE(i, 0) << "no language entry with that text";
    SendMessageW(LanguageList(d), LB_SETCURSEL, i, 0);
    SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE, LBN_SELCHANGE), reinterpret_cast<LPARAM>(LanguageList(d)));
}

inline void Click(HWND d, int id) { SendMessageW(GetDlgItem(d, id), BM_CLICK, 0, 0); }

// ---- The runner
struct DialogRun {
    std::function<void(HWND)> script;
    DWORD start = 0;
    DWORD limitMs = 0;
    bool busy = false;
    bool ran = false;
    DWORD scriptEnd = 0;  // when the script returned
    bool timedOut = false;
    bool leftOpen = false;
};

inline DialogRun *&CurrentRun() {
    static DialogRun *run = nullptr;
    return run;
}

inline HWND FindLangDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            if (IsWindowVisible(w) && IsLangDialog(w)) {
                *reinterpret_cast<HWND *>(lp) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

inline void CALLBACK DialogRunTick(HWND, UINT, UINT_PTR, DWORD) {
    DialogRun *run = CurrentRun();
    if (!run) return;
    HWND dialog = FindLangDialog();
    if (GetTickCount() - run->start > run->limitMs) {
        if (run->timedOut) return;
        run->timedOut = true;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM) CALLBACK -> BOOL {
                if (ClassOf(w) == "#32770" && !IsLangDialog(w)) PostMessageW(w, WM_COMMAND, IDNO, 0);
                return TRUE;
            },
            0);
        if (dialog) EndDialog(dialog, -2);
        return;
    }
    if (run->busy || !dialog) return;
    if (run->ran) {
        // Closing may take posted messages (the close box posts IDCANCEL); give them a moment.
        if (GetTickCount() - run->scriptEnd > 500) {
            run->leftOpen = true;
            EndDialog(dialog, -3);
        }
        return;
    }
    if (SendMessageW(ScannerBox(dialog), CB_GETCOUNT, 0, 0) <= 0) return;  // not filled yet
    run->busy = run->ran = true;
    run->script(dialog);
    run->busy = false;
    run->scriptEnd = GetTickCount();
}

// Runs the dialog with script; returns what the dialog returned (IDOK, IDCANCEL).
inline INT_PTR RunDialog(std::function<void(HWND)> script, DWORD limitMs = 20000) {
    DialogRun run;
    run.script = std::move(script);
    run.start = GetTickCount();
    run.limitMs = limitMs;
    CurrentRun() = &run;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, DialogRunTick);
    const INT_PTR result = RunLangDialog(GetModuleHandleW(nullptr), nullptr);
    KillTimer(nullptr, timer);
    CurrentRun() = nullptr;
    EXPECT_TRUE(run.ran) << "the dialog never listed its scanner entries";
    EXPECT_FALSE(run.timedOut) << "the dialog was still open after " << limitMs << " ms";
    EXPECT_FALSE(run.leftOpen) << "the script left the dialog open";
    return result;
}
