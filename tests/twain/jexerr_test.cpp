// Driver error reporting and the yield call-back, against the core library with a scripted driver
// record: what ChkJexErr answers and tells the driver, and what TwJexYield answers and drops.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jexapi.h"
#include "twain/driver.h"
#include "twain/jexerr.h"
#include "twain/state.h"
#include "ui/uistate.h"
#include "win_helpers.h"

extern "C" LONG WINAPI TwJexYield(void);

namespace {

std::vector<std::string> gDriverCalls;

LONG WINAPI ScriptedEntry(DWORD, LONG message, LONG tag, LONG value) {
    char line[64];
    wsprintfA(line, "%x %d %d", message, tag, value);
    gDriverCalls.push_back(line);
    return 0;
}

class ErrorsAndYield : public ::testing::Test {
protected:
    void SetUp() override {
        gState = DsState{};
        gUi = UiState{};
        gDriverCalls.clear();
        own_ = LoadLibraryExA("TWJEX32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        gState.hOwnInstance = own_;
    }
    void TearDown() override {
        gState = DsState{};
        gUi = UiState{};
        if (own_) FreeLibrary(own_);
    }
    HMODULE own_ = nullptr;
};

constexpr JEXDRIVER kDriver{ScriptedEntry, 0, 1, 0};
constexpr JEXDRIVER kNone{};

TEST_F(ErrorsAndYield, ChkJexErrAnswersAndWhatTheDriverIsTold) {
    struct Row {
        DWORD error;
        bool withDriver;
        LONG result;
        bool told;  // the message-box bracket reached the driver
    };
    // error        driver  result   told
    const Row rows[] = {
        {0, true, 0, false},                  // success
        {0xEECF1234u, true, 0, false},        // high half -4401: the driver has shown it
        {0xEECFEE52u, true, 0, false},        // ... even with a cancel in the low half
        {0xFFFFEE52u, true, -4526, false},    // cancel in the low half
        {0xEE520007u, true, -4526, false},    // cancel in the high half
        {0xFFFFEE4Bu, true, -4533, true},     // high half -1: the low half
        {0xFFF0EE4Bu, true, -16, true},       // the driver's own code
        {0xFFF0EE4Bu, false, -4533, false},   // without a driver: the low half
        {0xFFFF0000u, true, static_cast<LONG>(0xFFFF0000u), true},  // no half to answer: the error
        {0x00050000u, false, 0x00050000, false},
        {0x00050000u, true, 5, true},
    };
    gState.bReportDriverErrors = TRUE;  // no box: only the answer and the driver's messages
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.error << (r.withDriver ? " with" : " without") << " driver");
        gDriverCalls.clear();
        EXPECT_EQ(ChkJexErr(r.withDriver ? kDriver : kNone, static_cast<LONG>(r.error)), r.result);
        if (r.told)
            EXPECT_EQ(gDriverCalls, (std::vector<std::string>{"343 5632 0", "321 5632 1", "345 5632 0"}));
        else
            EXPECT_TRUE(gDriverCalls.empty());
    }
}

TEST_F(ErrorsAndYield, TheBoxShowsTheDriversCodeAndIsBracketed) {
    CbtAutoAnswer box(IDOK);
    EXPECT_EQ(ChkJexErr(kDriver, static_cast<LONG>(0xFFF0EE4Bu)), -16);
    EXPECT_EQ(box.answered, 1);
    EXPECT_EQ(box.caption, "Scanner Error");
    EXPECT_NE(box.text.find("(-16)"), std::string::npos) << box.text;
    EXPECT_EQ(gDriverCalls, (std::vector<std::string>{"343 5632 0", "321 5632 1", "345 5632 0"}));
}

// A window that sets the cancel flag when it receives kCancelNow, as the progress dialog's
// Cancel button does.
constexpr UINT kCancelNow = WM_APP + 1;
LRESULT CALLBACK CancelOnMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kCancelNow) gState.bCancelScanning = TRUE;
    return DefWindowProcA(w, msg, wp, lp);
}

HWND MakeWindow(WNDPROC proc) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "JexErrTestWindow";
    RegisterClassA(&wc);
    return CreateWindowA("JexErrTestWindow", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
}

TEST_F(ErrorsAndYield, YieldAnswersCancelBeforeAndWhileServingTheProgressDialog) {
    EXPECT_EQ(TwJexYield(), 0) << "nothing to serve";
    gState.bCancelScanning = TRUE;
    EXPECT_EQ(TwJexYield(), JEX_ERR_CANCEL) << "cancelled before";
    gState.bCancelScanning = FALSE;
    HWND progress = MakeWindow(CancelOnMessage);
    ASSERT_TRUE(progress);
    gUi.hCancelDlg = progress;
    EXPECT_EQ(TwJexYield(), 0) << "an idle progress dialog";
    PostMessageA(progress, kCancelNow, 0, 0);
    EXPECT_EQ(TwJexYield(), JEX_ERR_CANCEL) << "Cancel pressed while served";
    EXPECT_TRUE(gState.bCancelScanning);
    DestroyWindow(progress);
}

// Messages the dialogs do not take are dropped: at most six in one yield, over all windows. A
// message hook moves the marked messages to a window that is none of the dialogs, so the dialog
// does not take them.
HWND gElsewhere;
int gRemoved;
LRESULT CALLBACK Redirect(int code, WPARAM wp, LPARAM lp) {
    auto *msg = reinterpret_cast<MSG *>(lp);
    if (code == HC_ACTION && wp == PM_REMOVE && msg->message == WM_APP + 2) {
        ++gRemoved;
        msg->hwnd = gElsewhere;
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

TEST_F(ErrorsAndYield, YieldDropsAtMostSixMessages) {
    HWND windows[3] = {MakeWindow(DefWindowProcA), MakeWindow(DefWindowProcA), MakeWindow(DefWindowProcA)};
    gElsewhere = MakeWindow(DefWindowProcA);
    gUi.hCancelDlg = windows[0];
    gState.hBuiltInDialog = windows[1];
    gState.DriverDialog.hDriverDialog = windows[2];
    for (HWND w : windows)
        for (int i = 0; i < 10; ++i) PostMessageA(w, WM_APP + 2, 0, 0);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, Redirect, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    gRemoved = 0;
    EXPECT_EQ(TwJexYield(), 0);
    EXPECT_EQ(gRemoved, 6);
    UnhookWindowsHookEx(hook);
    for (HWND w : windows) DestroyWindow(w);
    DestroyWindow(gElsewhere);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace
