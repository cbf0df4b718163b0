// Loading and unloading the kit's drivers at awkward moments: the source closed from the yield
// call-back in the middle of a scan, drivers the caller forgot (taken down by the last @74 or
// when jexdfltn itself is unloaded), a second @73 that re-reads the profile under a loaded
// scanner, a reset of all tags that must keep the session's state, the call log written to a
// file, and environment paths taken from the kit's folder.
#include "kit_driver_fixture.h"

#include <fstream>

namespace {

struct CloseFromYield {
    JEXDRIVER *scanner = nullptr, *collector = nullptr;
    bool done = false;        // also end the library, as the data source's close does
    LONG answer = 0;          // what the yield call-back answers after closing
    int calls = 0;
} g_close;

// The yield call-back of an application that closes the source while the page is coming in.
LONG WINAPI YieldThatCloses(void) {
    if (++g_close.calls != 1) return 0;
    if (g_close.collector) {
        EXPECT_EQ(0, k.unload(g_close.collector));
    }
    EXPECT_EQ(0, k.unload(g_close.scanner));
    if (g_close.done) {
        EXPECT_EQ(0, k.done());
    }
    return g_close.answer;
}

LONG ScanOnce(JEXDRIVER &scanner) {
    HGLOBAL buf = GlobalAlloc(GHND, 8192);
    LONG rc = k.scan(&scanner, buf, 8192);
    GlobalFree(buf);
    return rc;
}

}  // namespace

// Opens the scanner with the test collector chained behind it and the closing yield call-back.
#define OPEN_WITH_COLLECTOR(col)                                                                 \
    Open();                                                                                      \
    JEXDRIVER col{};                                                                             \
    ASSERT_EQ(0, k.load(0, reinterpret_cast<const void *>(&Collector), &col, 1));              \
    ASSERT_EQ(0, k.initDriver(&col, nullptr, nullptr));                                         \
    ASSERT_EQ(0, Msg(scanner, 0x110, reinterpret_cast<LONG>(&col), 0));                         \
    ASSERT_EQ(0, Msg(scanner, 0x321, 1299, reinterpret_cast<LONG>(&YieldThatCloses)))

TEST_F(KitDriver, TheSourceMayCloseFromTheYieldCallBackDuringAScan) {
    OPEN_WITH_COLLECTOR(col);
    g_got = Collected{};
    g_close = CloseFromYield{&scanner, &col, true, JEX_ERR_CANCEL, 0};
    JEXDRIVER stale = scanner;
    k.resetCalls();
    EXPECT_EQ(JEX_ERR_CANCEL, ScanOnce(scanner));
    EXPECT_EQ(1, g_close.calls);
    EXPECT_GT(g_got.rows, 0);
    EXPECT_LT(g_got.rows, g_got.length);
    EXPECT_EQ(nullptr, scanner.entry);
    EXPECT_EQ(0, k.liveDrivers());                     // released once the scan had returned
    EXPECT_EQ(-4510, Msg(stale, 0x310, 1283, 0));      // the old record is refused, not followed
    std::vector<std::string> calls = Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("35 JexdfltScan(ORVAVS, 8192) = -4526", calls.front());
    EXPECT_TRUE(HasCall("30 JexdfltUnloadDriver(ORVAVS) = 0"));
    EXPECT_TRUE(HasCall("30 JexdfltUnloadDriver(procedure) = 0"));
    EXPECT_TRUE(HasCall("74 JexdfltDone() = 0"));
}

TEST_F(KitDriver, AScannerUnloadedDuringItsScanStopsAtTheNextStripAndEndsThePage) {
    OPEN_WITH_COLLECTOR(col);
    g_got = Collected{};
    g_got.stripRows = 10;
    g_close = CloseFromYield{&scanner, nullptr, false, 0, 0};  // the call-back says "go on"
    EXPECT_EQ(JEX_ERR_CANCEL, ScanOnce(scanner));
    EXPECT_EQ(10, g_got.rows);                         // one strip, then the abort
    EXPECT_EQ(1, g_got.pageEnds);                      // the page is ended all the same
    EXPECT_EQ(10, g_got.endRows);                      // with the rows it really got
    EXPECT_EQ(1, k.liveDrivers());                     // the collector
    EXPECT_EQ(0, k.unload(&col));
}

TEST_F(KitDriver, TheLastDoneTakesDownForgottenDrivers) {
    Open();
    JEXDRIVER col{}, writer{};
    ASSERT_EQ(0, k.load(0, reinterpret_cast<const void *>(&Collector), &col, 1));
    ASSERT_EQ(0, k.load(0, "JEXMORVA", &writer, 0));
    ASSERT_EQ(0, k.init());                            // a second start: its end releases nothing
    EXPECT_EQ(0, k.done());
    EXPECT_EQ(3, k.liveDrivers());
    k.resetCalls();
    EXPECT_EQ(0, k.done());
    EXPECT_EQ(0, k.liveDrivers());
    EXPECT_EQ((std::vector<std::string>{"74 JexdfltDone() = 0", "74 drivers still loaded: ORVAVS, procedure, JEXMORVA"}),
              Calls());
    EXPECT_EQ(-4510, Msg(scanner, 0x310, 1283, 0));
    scanner = JEXDRIVER{};
    k.resetCalls();  // the leak was the point of this test
}

TEST_F(KitDriver, UnloadingJexdfltnTakesDownItsDrivers) {
    Open(std::string(kBase) + "[Scanner]\nOwnDialog=yes\n");
    struct { HWND window; LONG mode, buttons; void *scan, *cancel; } rec = {};
    ASSERT_EQ(0, Msg(scanner, 0x125, 0, reinterpret_cast<LONG>(&rec)));
    ASSERT_TRUE(IsWindow(rec.window));
    ASSERT_NE(nullptr, GetModuleHandleA("ORVAVS.drv"));
    ASSERT_TRUE(FreeLibrary(k.dll));
    EXPECT_EQ(nullptr, GetModuleHandleA("jexdfltn.dll"));
    EXPECT_EQ(nullptr, GetModuleHandleA("ORVAVS.drv"));  // no driver file stays mapped
    EXPECT_FALSE(IsWindow(rec.window));                   // nor its dialog on the screen
    scanner = JEXDRIVER{};
    ASSERT_TRUE(LoadJexdfltn());
}

// A second start re-reads the profile (for the next load); the scanner already loaded keeps
// the one it was loaded with.
TEST_F(KitDriver, ASecondStartLeavesTheLoadedScannersProfileAlone) {
    Open("[Scanner]\nFlatbed=yes\nFeeder=yes\nResolutions=75\n[Paper]\nPages=5\n[Tag 6001]\nName=Sharp\nKind=string\n"
         "Values=A;B\n");
    UseProfile("[Scanner]\nFlatbed=yes\nColour=1\n");
    ASSERT_EQ(0, k.init());
    char text[64] = {};
    EXPECT_EQ(0, Msg(scanner, 0x312, 6001 | (64 << 16), reinterpret_cast<LONG>(text)));
    EXPECT_STREQ("A", text);
    EXPECT_EQ(75, GetLong(scanner, 282));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    for (int page = 1; page <= 5; ++page) EXPECT_EQ(0, ScanIntoCollector(scanner)) << page;
    EXPECT_EQ(-4531, ScanIntoCollector(scanner));
    JEXDRIVER second{};
    EXPECT_EQ(-4520, k.load(0, "ORVAVS", &second, 2));  // the new profile is what a new load gets
    k.done();
}

TEST_F(KitDriver, ResetOfAllTagsKeepsTheSessionsState) {
    Open("[Scanner]\nFlatbed=yes\nFeeder=yes\nResolutions=75,150\nDefaultResolution=75\nOwnDialog=yes\n");
    const LONG limit = 0x1F7FFF76;
    ASSERT_EQ(0, Msg(scanner, 0x321, 5371, limit));
    ASSERT_EQ(0, Msg(scanner, 0x321, 5363, 1));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1299, reinterpret_cast<LONG>(&TestYield)));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1681, 0x1234));
    ASSERT_EQ(0, Msg(scanner, 0x321, 5632, 1));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1281, 10));
    LONG res[2] = {150, 1};
    ASSERT_EQ(0, Msg(scanner, 0x322, 282, reinterpret_cast<LONG>(res)));
    ASSERT_EQ(0, Msg(scanner, 0x340, 0, 0));
    EXPECT_EQ(128, GetLong(scanner, 1281));            // settings go back to their defaults
    EXPECT_EQ(75, GetLong(scanner, 282));
    EXPECT_EQ(limit, GetLong(scanner, 5371));          // the session's state stays
    EXPECT_EQ(1, GetLong(scanner, 5363));
    EXPECT_EQ(reinterpret_cast<LONG>(&TestYield), GetLong(scanner, 1299));
    EXPECT_EQ(0x1234, GetLong(scanner, 1681));
    EXPECT_EQ(1, GetLong(scanner, 5632));
    ASSERT_EQ(0, Msg(scanner, 0x340, 5371, 0));        // one by one they do reset
    EXPECT_EQ(0, GetLong(scanner, 5371));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1681, 0));
}

TEST_F(KitDriver, TheCallLogIsAlsoWrittenToTheFileJexkitLogNames) {
    std::string log = g_dir + "\\calls.log";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("JEXKIT_LOG", log.c_str());
    k.resetCalls();
    Open();
    ASSERT_EQ(0, ScanIntoCollector(scanner));          // nested calls: the caller's line first
    EXPECT_EQ(0, k.unload(&scanner));
    k.done();
    SetEnvironmentVariableA("JEXKIT_LOG", nullptr);
    std::vector<std::string> inFile;
    std::ifstream f(log);
    for (std::string line; std::getline(f, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        inFile.push_back(line);
    }
    std::vector<std::string> calls = Calls();
    ASSERT_GT(calls.size(), 10u);
    EXPECT_EQ(calls, inFile);                          // every line, in the log's own order
}

// A relative JEXKIT_PROFILE names a file in the kit's folder, whatever the current folder is.
TEST_F(KitDriver, RelativeProfileNamesAreTakenFromTheKitsFolder) {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(g_dir.c_str());
    SetEnvironmentVariableA("JEXKIT_PROFILE", "profiles\\flatbed.ini");
    ASSERT_EQ(0, k.init());
    LONG rc = k.load(0, "ORVAVS", &scanner, 2);
    SetCurrentDirectoryA(cwd);
    ASSERT_EQ(0, rc);
    ASSERT_EQ(0, k.initDriver(&scanner, "ORVAVS", nullptr));
    EXPECT_EQ(2, GetLong(scanner, 1283));              // flatbed only, as that profile says
}
