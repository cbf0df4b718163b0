// Scan runs as applications drive them: how many pages follow each transfer (stack sensor,
// prefeed, single-page mode, CAP_XFERCOUNT, the flatbed), the empty-feeder question, the end of
// job of a patch sheet, cancel from the progress dialog and scan errors with and without the
// quiet switch. Every run ends with nothing of the kit's left.
#include "xfertest.h"

namespace {

std::string Generated(int pages, const std::string &scanner = "", const std::string &sections = "") {
    return "[Scanner]\nName=Run\nFlatbed=yes\nFeeder=yes\nDuplex=no\nResolutions=100\nDefaultResolution=100\n"
           "PageSizes=A5=148x210\nDefaultPageSize=A5\n" +
           scanner + "[Paper]\nPages=" + std::to_string(pages) + "\n" + sections;
}

// Reopens the source so that settings read at open take effect.
void Reopen(Scanner &s, const char *key, const char *value) {
    s.kit.Close(s.app);
    s.kit.PutSetting("JEX Virtual Scanner", key, value);
    ASSERT_EQ(s.kit.Open(s.app), TWRC_SUCCESS);
}

// Transfers pages until the source says no more follow; the counts MSG_ENDXFER gave.
std::vector<int> RunPages(Scanner &s, int limit = 10) {
    std::vector<int> counts;
    EXPECT_EQ(s.Enable(), TWRC_SUCCESS) << s.cc;
    for (int i = 0; i < limit; ++i) {
        s.Native();
        EXPECT_EQ(s.rc, TWRC_XFERDONE) << "page " << i + 1 << " cc " << s.cc;
        const TW_PENDINGXFERS p = s.Pending(MSG_ENDXFER);
        EXPECT_EQ(s.rc, TWRC_SUCCESS);
        counts.push_back(static_cast<TW_INT16>(p.Count));
        if (p.Count == 0) break;
    }
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(s.kit.LiveImageObjects(), 0);
    return counts;
}

}  // namespace

TEST(PendingXfers, HowManyPagesFollow) {
    struct Row {
        const char *name;
        std::string profile;
        int xferCount;  // 0: left alone
        bool feeder;
        std::vector<int> counts;
        int scans;
    };
    const Row rows[] = {
        {"stack sensor, all pages", Generated(3, "StackSensor=yes\n"), 0, true, {1, 1, 0}, 3},
        {"stack sensor, three of five", Generated(5, "StackSensor=yes\n"), 3, true, {1, 1, 0}, 3},
        {"one page", Generated(5, "StackSensor=yes\n"), 1, true, {0}, 1},
        {"flatbed", Generated(5, "StackSensor=yes\n"), 0, false, {0}, 1},
        // Without a sensor the next page is scanned ahead; the empty feeder ends the run.
        {"prefeed", Generated(3, "StackSensor=no\n"), 0, true, {1, 1, 0}, 4},
    };
    for (const Row &r : rows) {
        CbtAutoAnswer box(IDOK, true);
        Scanner s(r.profile);
        EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
        EXPECT_TRUE(s.Set(CAP_FEEDERENABLED, TWTY_BOOL, r.feeder).ok()) << r.name;
        if (r.xferCount) {
            EXPECT_TRUE(s.Set(CAP_XFERCOUNT, TWTY_INT16, r.xferCount).ok());
        }
        s.kit.ResetCalls();
        EXPECT_EQ(RunPages(s), r.counts) << r.name;
        const std::vector<std::string> calls = s.kit.Calls();
        EXPECT_EQ(CountCalls(calls, "35 JexdfltScan"), r.scans) << r.name;
        // The prefeed scan of an empty feeder is a scan error the user is shown.
        EXPECT_EQ(box.answered, r.scans > 3 ? 1 : 0) << r.name << (box.texts.empty() ? "" : box.texts[0]);
        if (r.xferCount == 1) {
            EXPECT_EQ(CountCalls(calls, "msg 0x604"), 1) << "asked only at the start";
        }
        // "All pages" stays all pages, however many were scanned.
        if (r.xferCount == 0) {
            EXPECT_EQ(static_cast<TW_INT16>(s.Get(CAP_XFERCOUNT, MSG_GETCURRENT).value()), -1) << r.name;
        }
    }
}

// A page scanned ahead by prefeed is the one the next transfer delivers, without scanning again.
TEST(PendingXfers, PrefeedPageIsDeliveredByTheNextTransfer) {
    Scanner s(Generated(3, "StackSensor=no\n"));
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    s.Native();
    EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 1);
    EXPECT_EQ(s.Scans(), 2);
    s.Native();
    EXPECT_EQ(s.rc, TWRC_XFERDONE);
    EXPECT_EQ(s.Scans(), 2);
    // A reset drops the held page and tells the scanner to stop.
    EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 1);
    const TW_PENDINGXFERS p = s.Pending(MSG_RESET);
    EXPECT_EQ(s.rc, TWRC_SUCCESS);
    EXPECT_EQ(p.Count, 0);
    EXPECT_EQ(s.kit.LiveImageObjects(), 0);
    EXPECT_GE(CountCalls(s.kit.Calls(), "msg 0x606"), 1);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

TEST(PendingXfers, SinglePageModeCountsOneThenNone) {
    Scanner s(Generated(3, "SinglePageMode=yes\n"));
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    EXPECT_EQ(s.Pending(MSG_GET).Count, 1);
    s.Native();
    EXPECT_EQ(s.Pending(MSG_GET).Count, 0);
    EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 0);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

// The feeder runs empty with "QueryFeederEmpty" on: the user is asked for more pages unless the
// application turned the indicators off. OK asks again while the feeder stays empty.
TEST(PendingXfers, EmptyFeederQuestion) {
    struct Row {
        bool indicators;
        std::vector<int> answers;
        int boxes;
    };
    for (const Row &r : {Row{false, {}, 0}, Row{true, {IDCANCEL}, 1}, Row{true, {IDOK, IDOK, IDCANCEL}, 3}}) {
        Scanner s(Generated(1, "StackSensor=yes\n"));
        Reopen(s, "QueryFeederEmpty", "1");
        EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, r.indicators).ok());
        std::vector<std::string> texts;
        size_t next = 0;
        BoxAnswerer answerer{[&](HWND w) { return IsMessageBox(w) && next < r.answers.size() ? r.answers[next++] : 0; },
                             [&](HWND w) { texts.push_back(StaticTexts(w)); }};
        boxguard::Push(&answerer);
        EXPECT_EQ(RunPages(s), std::vector<int>{0});
        boxguard::Pop(&answerer);
        EXPECT_EQ(static_cast<int>(next), r.boxes);
        for (const std::string &t : texts) EXPECT_NE(t.find("Add more pages to the ADF"), std::string::npos) << t;
    }
}

// A separator sheet with a patch code ends its job with that patch; applications older than 1.7
// never see the field written.
TEST(PendingXfers, EndOfJobOfAPatchSheet) {
    for (TW_UINT16 minor : {9, 6}) {
        Scanner s(Generated(2, "StackSensor=yes\nJobSeparators=yes\n", "[Page 2]\nPatch=3\nSeparator=yes\n"));
        s.app = AppId(40, 1, minor);
        s.kit.Close(s.app);
        ASSERT_EQ(s.kit.Open(s.app), TWRC_SUCCESS);
        EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
        EXPECT_TRUE(s.Set(CAP_JOBCONTROL, TWTY_UINT16, TWJC_JSIC).ok());
        ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
        s.Native();
        TW_PENDINGXFERS p = s.Pending(MSG_ENDXFER);
        EXPECT_EQ(p.EOJ, minor >= 7 ? TWEJ_NONE : 0x12345678u);
        s.Native();
        p = s.Pending(MSG_ENDXFER);
        EXPECT_EQ(p.EOJ, minor >= 7 ? TWEJ_PATCH3 : 0x12345678u);
        EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    }
}

// Cancel in the progress dialog while a page is being scanned: the page is dropped, the run ends
// and the application is asked to close the source.
TEST(PendingXfers, CancelFromTheProgressDialogMidPage) {
    Scanner s(Generated(3, "StackSensor=yes\nDelayMs=400\n"));
    std::string caption;
    BoxAnswerer answerer{[&](HWND w) {
                             if (IsMessageBox(w)) return 0;
                             caption = WindowTextOf(w);
                             return static_cast<int>(IDCANCEL);
                         },
                         [](HWND) {}};
    boxguard::Push(&answerer);
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    s.kit.ResetCalls();
    s.Native();
    boxguard::Pop(&answerer);
    EXPECT_EQ(s.rc, TWRC_CANCEL);
    EXPECT_EQ(caption, "Scannen abbrechen?");  // "Cancel Scanning?" through the kit's German texts
    const std::vector<std::string> calls = s.kit.Calls();
    EXPECT_GE(CountCalls(calls, "[procedure] msg 0x602"), 1) << "cancelled before any row";
    EXPECT_GE(FindCall(calls, "callback yield() = -4526"), 0);
    EXPECT_EQ(s.Pending(MSG_GET).Count, 0);
    TW_EVENT event{nullptr, 0xFFFF};
    MSG msg{};
    event.pEvent = &msg;
    s.kit.src().Call(&s.app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    EXPECT_EQ(event.TWMessage, MSG_CLOSEDSREQ);
    EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 0);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(s.kit.LiveImageObjects(), 0);
}

// A paper jam during a page: shown to the user and a plain failure, or, with the quiet switch,
// no box and the driver's error for the application. Either way the run is over.
TEST(PendingXfers, ScanErrorsWithAndWithoutTheQuietSwitch) {
    for (bool quiet : {false, true}) {
        CbtAutoAnswer box(IDOK, true);
        Scanner s(Generated(3, "StackSensor=yes\n", "[Faults]\njam=page 1, PaperJam\n"));
        EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
        if (quiet) {
            EXPECT_TRUE(s.Set(CCAP_QUIETERRORS, TWTY_BOOL, TRUE).ok());
        }
        ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
        s.Native();
        EXPECT_EQ(s.rc, TWRC_FAILURE) << quiet;
        EXPECT_EQ(s.cc, quiet ? TWCC_DRIVERERROR : 0) << quiet;
        EXPECT_EQ(box.answered, quiet ? 0 : 1);
        if (quiet) {
            LONG error = 0;
            s.kit.src().Call(&s.app, DG_CONTROL, DAT_DRIVERERROR, MSG_GET, &error);
            EXPECT_EQ(error, -4530);
        }
        EXPECT_EQ(s.Pending(MSG_GET).Count, 0);
        EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 0);
        s.Native();
        EXPECT_EQ(s.cc, TWCC_SEQERROR) << "no page after the run ended";
        EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
        EXPECT_EQ(s.kit.LiveImageObjects(), 0);
    }
}
