// Driving the source's own dialogs as a person does: finding them, choosing list entries,
// pressing buttons, reading what they show.
#pragma once

#include <string>
#include <vector>

#include "xfer/xfertest.h"

// The dialog of this thread with a Scan button (1019).
inline HWND SettingsDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            if (GetDlgItem(w, 1019) && GetDlgItem(w, 1006)) *reinterpret_cast<HWND *>(lp) = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

inline void Select(HWND dialog, int id, const std::string &text) {
    HWND list = GetDlgItem(dialog, id);
    const LRESULT at = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_NE(at, CB_ERR) << text;
    SendMessageA(list, CB_SETCURSEL, at, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

inline void Click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline std::vector<std::string> Items(HWND dialog, int id) {
    std::vector<std::string> items;
    HWND list = GetDlgItem(dialog, id);
    for (LRESULT i = 0, n = SendMessageA(list, CB_GETCOUNT, 0, 0); i < n; ++i) {
        char t[256] = {};
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(t));
        items.push_back(t);
    }
    return items;
}

inline std::string Text(HWND dialog, int id) {
    char t[256] = {};
    GetDlgItemTextA(dialog, id, t, sizeof t);
    return t;
}

// English texts: no translation file.
struct English {
    English() { SetEnvironmentVariableA("JEXKIT_LOCFILE", "no-such-file.loc"); }
    ~English() { SetEnvironmentVariableA("JEXKIT_LOCFILE", nullptr); }
};

// The window of this thread with the given class.
inline HWND WindowOfClass(const char *className) {
    struct Search {
        const char *name;
        HWND found;
    } search{className, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            auto *s = reinterpret_cast<Search *>(lp);
            if (ClassOf(w) == s->name) s->found = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What the source tells the application next through its event loop.
inline TW_UINT16 NextEventOf(Scanner &s) {
    TW_EVENT event{nullptr, 0};
    MSG msg{};
    event.pEvent = &msg;
    s.kit.src().Call(&s.app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    return event.TWMessage;
}

// The source enabled with its own dialog over a profile, English texts; the indicators off lets
// the dialog be fed by the scan's yield call-back, as a person clicking during a scan would be.
struct DialogSession {
    English english;
    Scanner s;
    HWND dialog = nullptr;
    explicit DialogSession(const std::string &profile, bool indicators = true) : s(profile) {
        if (!indicators) {
            EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
        }
        EXPECT_EQ(s.Enable(true), TWRC_SUCCESS);
        dialog = SettingsDialog();
        EXPECT_NE(dialog, nullptr);
    }
    ~DialogSession() { s.Disable(); }
    TW_UINT16 NextEvent() { return NextEventOf(s); }
};

// profile with line added at the end of its [section] (appended with the section when missing).
inline std::string WithLine(std::string profile, const std::string &section, const std::string &line) {
    const size_t at = profile.find("[" + section + "]");
    if (at == std::string::npos) return profile + "[" + section + "]\n" + line + "\n";
    const size_t next = profile.find("\n[", at);
    return profile.insert(next == std::string::npos ? profile.size() : next + 1, line + "\n");
}
