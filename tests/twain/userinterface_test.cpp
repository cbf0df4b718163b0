// Enabling and disabling as applications do it, with and without a dialog (the built-in one and
// the driver's own), DAT_EVENT and the close requests it reports, and what a failed or repeated
// enable leaves behind.
#include "xfer/xfertest.h"

namespace {

std::string Feeder(int pages, const std::string &scanner = "") {
    return "[Scanner]\nName=UI\nFlatbed=yes\nFeeder=yes\nDuplex=no\nStackSensor=yes\nResolutions=100\n"
           "DefaultResolution=100\nPageSizes=A5=148x210\nDefaultPageSize=A5\n" +
           scanner + "[Paper]\nPages=" + std::to_string(pages) + "\n";
}

// Top-level windows of this thread that are shown (the source's and the driver's dialogs).
std::vector<HWND> ThreadWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            if (IsWindowVisible(w)) reinterpret_cast<std::vector<HWND> *>(lp)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The driver's own dialog: the one with a Preview button.
HWND DriverDialog() {
    for (HWND w : ThreadWindows())
        if (GetDlgItem(w, 100) && WindowTextOf(GetDlgItem(w, 100)) == "Preview") return w;
    return nullptr;
}

void Click(HWND dialog, int id) { SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

TW_UINT16 Event(Scanner &s, TW_UINT16 *twMessage, TW_IDENTITY *origin = nullptr) {
    MSG msg{};
    TW_EVENT event{&msg, 0xFFFF};
    const TW_UINT16 rc = s.kit.src().Call(origin ? origin : &s.app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    *twMessage = event.TWMessage;
    return rc;
}

}  // namespace

TEST(UserInterface, EnableWithoutADialogScansAtOnce) {
    Scanner s(Feeder(2));
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    EXPECT_EQ(s.Enable(false), TWRC_SUCCESS);
    EXPECT_EQ(s.modal, 1) << "left as the application set it";
    EXPECT_TRUE(ThreadWindows().empty());
    TW_UINT16 m = 0;
    EXPECT_EQ(Event(s, &m), TWRC_NOTDSEVENT);
    EXPECT_EQ(m, MSG_NULL);
    // Sets are refused while enabled; the state is left as it is.
    EXPECT_EQ(s.Set(ICAP_XRESOLUTION, TWTY_FIX32, Fix(100)).cc, TWCC_SEQERROR);
    TW_IMAGEINFO info{};
    EXPECT_EQ(s.Info(&info), TWRC_SUCCESS);
    EXPECT_EQ(info.XResolution.Whole, 100);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(s.Disable(), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_SEQERROR) << "not enabled";
}

// Without paper the user is asked to load some; Cancel fails the enable, and the source is back
// to open: every event is not the source's, and negotiation works again.
TEST(UserInterface, FailedFirstScanLeavesTheSourceOpen) {
    Scanner s(Feeder(0));
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    CbtAutoAnswer box(IDCANCEL, true);
    EXPECT_EQ(s.Enable(false), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_OPERATIONERROR);
    EXPECT_EQ(box.answered, 1);
    // "No page in the scanner, add page to the scanner?" through the kit's German texts.
    EXPECT_EQ(box.text, "Kein Blatt im Scanner. Blatt einlegen?");
    TW_UINT16 m = 0;
    EXPECT_EQ(Event(s, &m), TWRC_NOTDSEVENT);
    EXPECT_EQ(m, MSG_NULL);
    EXPECT_TRUE(s.Set(ICAP_XRESOLUTION, TWTY_FIX32, Fix(100)).ok());
    EXPECT_EQ(s.Disable(), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
}

// A second enable is refused only with the "Strict" setting; accepted, it replaces the first
// one's dialog and does not start the display library again.
TEST(UserInterface, RepeatedEnable) {
    for (bool strict : {false, true}) {
        Scanner s(Feeder(3));
        if (strict) {
            s.kit.Close(s.app);
            s.kit.PutSetting("JEX Virtual Scanner", "Strict", "1");
            ASSERT_EQ(s.kit.Open(s.app), TWRC_SUCCESS);
        }
        s.kit.ResetCalls();
        EXPECT_EQ(s.Enable(true), TWRC_SUCCESS);
        EXPECT_EQ(s.modal, 0) << "a dialog is always modeless";
        EXPECT_EQ(ThreadWindows().size(), 1u);
        EXPECT_EQ(s.Enable(true), strict ? TWRC_FAILURE : TWRC_SUCCESS);
        EXPECT_EQ(s.cc, strict ? TWCC_SEQERROR : 0);
        EXPECT_EQ(ThreadWindows().size(), 1u) << "one settings dialog";
        EXPECT_EQ(CountCalls(s.kit.Calls(), "5 "), 1) << "display library started once";
        EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
        EXPECT_TRUE(ThreadWindows().empty());
        EXPECT_EQ(CountCalls(s.kit.Calls(), "4 "), 1);
    }
}

// The application disables in the middle of a transfer: the page is let go, and the next run
// transfers again.
TEST(UserInterface, DisableDuringATransfer) {
    Scanner s(Feeder(4));
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(false), TWRC_SUCCESS);
    s.Native();
    EXPECT_EQ(s.rc, TWRC_XFERDONE);
    s.Native();
    EXPECT_EQ(s.cc, TWCC_SEQERROR) << "a second transfer before MSG_ENDXFER";
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(s.kit.LiveImageObjects(), 0);
    ASSERT_EQ(s.Enable(false), TWRC_SUCCESS);
    s.Native();
    EXPECT_EQ(s.rc, TWRC_XFERDONE) << s.cc;
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

// The driver's own dialog: its Close asks the application to close; its Scan starts a run; its
// Preview scans a preview and hands it to the driver to draw.
TEST(UserInterface, TheDriversOwnDialog) {
    Scanner s(SampleProfile("own-dialog.ini"));
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    EXPECT_EQ(s.Enable(true), TWRC_SUCCESS);
    EXPECT_EQ(s.modal, 0);
    HWND dialog = DriverDialog();
    ASSERT_NE(dialog, nullptr);
    s.kit.ResetCalls();
    Click(dialog, 100);
    std::vector<std::string> calls = s.kit.Calls();
    ExpectInOrder(calls, {"callback preview(0, 0, 0)", "10 CreateImage", "35 JexdfltScan", "msg 0x126",
                          "129 JexdfltPreview", "msg 0x126"});
    Click(dialog, IDOK);
    calls = s.kit.Calls();
    EXPECT_GE(FindCall(calls, "callback scan(record) = 0"), 0);
    s.Native();
    EXPECT_EQ(s.rc, TWRC_XFERDONE) << s.cc;
    EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 1);
    TW_UINT16 m = 0;
    Event(s, &m);
    EXPECT_EQ(m, MSG_NULL);
    Click(dialog, IDCANCEL);
    EXPECT_EQ(Event(s, &m), TWRC_NOTDSEVENT);
    EXPECT_EQ(m, MSG_CLOSEDSREQ);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(DriverDialog(), nullptr);
    EXPECT_EQ(s.kit.LiveImageObjects(), 0);
}

// The driver's dialog is fed by the scan's yield call-back while a page is scanned (no progress
// dialog): its Scan and Preview pressed then start nothing.
TEST(UserInterface, TheDriversDialogDuringAScan) {
    std::string profile = SampleProfile("own-dialog.ini");
    profile.insert(profile.find("[Scanner]") + 10, "DelayMs=200\n");
    Scanner s(profile);
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
    HWND dialog = DriverDialog();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDOK);
    s.kit.ResetCalls();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(100, BN_CLICKED), 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    s.Native();
    EXPECT_EQ(s.rc, TWRC_XFERDONE) << s.cc;
    const std::vector<std::string> calls = s.kit.Calls();
    EXPECT_GE(FindCall(calls, "callback preview(0, 0, 0)"), 0) << "pressed during the scan";
    EXPECT_EQ(CountCalls(calls, "35 JexdfltScan"), 1);
    EXPECT_EQ(CountCalls(calls, "129 JexdfltPreview"), 0);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

TEST(UserInterface, HostileCallers) {
    Scanner s(Feeder(2));
    TW_IDENTITY stranger = AppId(99);
    EXPECT_EQ(s.kit.src().Call(&s.app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(s.kit.src().Status(&s.app), TWCC_BADVALUE);
    TW_USERINTERFACE ui{FALSE, 0, nullptr};
    EXPECT_EQ(s.kit.src().Call(&stranger, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE);
    EXPECT_EQ(s.kit.src().Call(&s.app, DG_CONTROL, DAT_USERINTERFACE, MSG_GET, &ui), TWRC_FAILURE);
    EXPECT_EQ(s.kit.src().Status(&s.app), TWCC_BADPROTOCOL);
    // Transfers before any enable.
    s.Native();
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
    s.Pending(MSG_ENDXFER);
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
    TW_IMAGEINFO info{};
    EXPECT_EQ(s.Info(&info), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(false), TWRC_SUCCESS);
    // Null structures for every triplet of a run: a TWAIN failure and the run still goes on.
    for (auto [dg, dat] : {std::pair{DG_IMAGE, DAT_IMAGENATIVEXFER}, std::pair{DG_IMAGE, DAT_IMAGEINFO},
                           std::pair{DG_IMAGE, DAT_IMAGELAYOUT}, std::pair{DG_IMAGE, DAT_PALETTE8},
                           std::pair{DG_CONTROL, DAT_PENDINGXFERS}}) {
        EXPECT_EQ(s.kit.src().Call(&s.app, dg, dat, MSG_GET, nullptr), TWRC_FAILURE) << dat;
        EXPECT_NE(s.kit.src().Status(&s.app), 0) << dat;
    }
    TW_EVENT event{nullptr, 0xFFFF};
    EXPECT_EQ(s.kit.src().Call(&s.app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(s.kit.src().Call(&s.app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, nullptr), TWRC_NOTDSEVENT);
    TW_UINT16 m = 0;
    EXPECT_EQ(Event(s, &m, &stranger), TWRC_NOTDSEVENT);
    TW_PALETTE8 palette{};
    palette.NumColors = 60000;
    EXPECT_EQ(s.kit.src().Call(&s.app, DG_IMAGE, DAT_PALETTE8, MSG_SET, &palette), TWRC_FAILURE);
    EXPECT_EQ(s.kit.src().Status(&s.app), TWCC_SEQERROR);
    s.Native();
    EXPECT_EQ(s.rc, TWRC_XFERDONE) << s.cc;
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(s.kit.Close(s.app), TWRC_SUCCESS);
    EXPECT_EQ(s.kit.Open(s.app), TWRC_SUCCESS);
}
