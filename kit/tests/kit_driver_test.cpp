// The kit's driver side through its ordinals, as the data source calls it: loading the virtual
// ORVA driver from a profile, its tags and choices, snapshots, the settings store, error texts,
// a page through a chain ending in a test procedure (pixels checked against a formula written
// out here independently), bar codes, yield, faults, and hostile arguments.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jexapi.h"
#include "win_helpers.h"

#include "kit_driver_fixture.h"

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    g_dir = std::string(tmp) + "kit_driver_test_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(g_dir.c_str(), nullptr);
    SetEnvironmentVariableA("JEXKIT_SETTINGS", (g_dir + "\\settings.ini").c_str());
    k.loc = LoadLibraryA("jexlocn.dll");
    HMODULE jexm = LoadLibraryA("jexmdln.dll");  // the kit is incomplete without it: no test skips
    if (!LoadJexdfltn() || !k.loc || !jexm) return 2;
    auto O = [](int n) { return MAKEINTRESOURCEA(n); };
    k.locOpen = GetProc<decltype(k.locOpen)>(k.loc, O(62));
    k.locLookup = GetProc<decltype(k.locLookup)>(k.loc, O(64));
    k.locCopy = GetProc<decltype(k.locCopy)>(k.loc, O(67));
    k.localize = GetProc<decltype(k.localize)>(k.loc, O(68));
    k.jexmLive = GetProc<decltype(k.jexmLive)>(jexm, "JexmKitLiveObjects");
    if (!k.locOpen || !k.locLookup || !k.locCopy || !k.localize || !k.jexmLive) return 2;
    return RUN_ALL_TESTS();
}

// ---- loading, the call log and the live-driver count
TEST_F(KitDriver, OpenSequenceIsRecordedInOrder) {
    k.resetCalls();
    Open();
    LONG v = 0;
    Msg(scanner, 0x321, 5374, 0);
    Msg(scanner, 0x310, 1283, reinterpret_cast<LONG>(&v));
    std::vector<std::string> calls = Calls();
    ASSERT_EQ(5u, calls.size());
    EXPECT_EQ("73 JexdfltInit() = 0", calls[0]);
    EXPECT_EQ("29 JexdfltLoadDriver(0, \"ORVAVS\", kind 2) = 0", calls[1]);
    EXPECT_EQ("70 JexdfltInitDriver(ORVAVS, \"ORVAVS\", 0) = 0", calls[2]);
    EXPECT_EQ("msg 0x321 tag 5374 value 0 = 0", calls[3]);
    EXPECT_EQ("msg 0x310 tag 1283 = 0 -> 65539", calls[4]);  // feeder, flatbed, stack sensor
    EXPECT_EQ(1, k.liveDrivers());
}

TEST_F(KitDriver, BadProfileFailsTheLoadNamingFileAndLine) {
    UseProfile("[Scanner]\nFlatbed=yes\nResolutions=75\nColour=yes\n");
    ASSERT_EQ(0, k.init());
    LONG rc = k.load(0, "ORVAVS", &scanner, 2);
    EXPECT_EQ(-4520, rc);
    EXPECT_EQ(nullptr, scanner.entry);
    char text[256];
    EXPECT_EQ(0, k.errorText(0, nullptr, rc, text, sizeof text));
    EXPECT_NE(nullptr, strstr(text, "profile.ini(4)")) << text;
    EXPECT_NE(nullptr, strstr(text, "Colour")) << text;

    UseProfile("[Scanner]\nFlatbed=yes\n[Paper]\nFolder=no-such-folder\n");
    ASSERT_EQ(0, k.init());
    rc = k.load(0, "ORVAVS", &scanner, 2);
    EXPECT_EQ(-4521, rc);
    EXPECT_EQ(0, k.errorText(0, nullptr, rc, text, sizeof text));
    EXPECT_NE(nullptr, strstr(text, "no-such-folder")) << text;
    EXPECT_NE(nullptr, strstr(text, "(4)")) << text;
    k.done();
}

TEST_F(KitDriver, HostileArgumentsAreRefused) {
    Open();
    JEXDRIVER bogus{scanner.entry, 0, 0xDEAD, 0};
    EXPECT_EQ(-4510, Msg(bogus, 0x310, 1283, 0));
    EXPECT_EQ(-4501, Msg(scanner, 0x310, 1283, 0));             // null result pointer
    EXPECT_EQ(-4502, Msg(scanner, 0x310, 999, 0));
    EXPECT_EQ(-4510, k.unload(&bogus));
    EXPECT_EQ(-4501, k.load(0, nullptr, &bogus, 2));
    EXPECT_EQ(-4501, k.load(0, "../evil", &bogus, 0));
    EXPECT_EQ(-4512, k.load(0, "NOSUCH", &bogus, 0));
    char buf[8];
    EXPECT_EQ(-4501, k.errorText(0, nullptr, -4530, buf, -5));
    EXPECT_EQ(0, k.errorText(0, nullptr, -4530, buf, sizeof buf));
    EXPECT_EQ(7u, strlen(buf));                                  // cut to the buffer
    char unterminated[600];  // longer than any text a tag keeps
    memset(unterminated, 'x', sizeof unterminated);
    EXPECT_EQ(-4503, Msg(scanner, 0x320, 1411, reinterpret_cast<LONG>(unterminated)));  // too long a text
    EXPECT_EQ(-4501, k.scan(&scanner, nullptr, 8192));
}

// ---- settings store
TEST_F(KitDriver, SettingsStoreReadsWhatWasWritten) {
    ASSERT_EQ(0, k.init());
    char buf[16] = "junk";
    EXPECT_NE(0, k.getSetting(0, "Sect", "Missing", buf, sizeof buf));
    EXPECT_EQ(0, k.putSetting(0, "Sect", "Key", "a rather long value"));
    EXPECT_EQ(0, k.getSetting(0, "Sect", "Key", buf, sizeof buf));
    EXPECT_STREQ("a rather long v", buf);
    EXPECT_NE(0, k.getSetting(0, "Sect", "Key", buf, 0));
    EXPECT_NE(0, k.getSetting(0, nullptr, "Key", buf, sizeof buf));
}

// ---- tags and choices
TEST_F(KitDriver, DisabledModesRestrictDepthsAndPhotometrics) {
    Open();
    EXPECT_EQ((std::vector<LONG>{1, 3}), Choices(scanner, 277));
    EXPECT_EQ((std::vector<LONG>{1, 4, 8}), Choices(scanner, 258));
    // the data source's default limit: gray 4 and 8, RGB 8, palette 4 and 8 remain
    ASSERT_EQ(0, Msg(scanner, 0x321, 5371, 0x1F7FFF76));
    ASSERT_EQ(0, Msg(scanner, 0x321, 258, 8));
    EXPECT_EQ((std::vector<LONG>{0, 1, 3}), Choices(scanner, 262));
    // palette 8 off (bits 30, 31) and gray 4 off (bit 3): 8 gives no palette, 4 only palette
    ASSERT_EQ(0, Msg(scanner, 0x321, 5371, 0x1F7FFF76 | 0xC0000008));
    EXPECT_EQ((std::vector<LONG>{0, 1}), Choices(scanner, 262));
    ASSERT_EQ(0, Msg(scanner, 0x321, 258, 4));
    EXPECT_EQ((std::vector<LONG>{3}), Choices(scanner, 262));
    EXPECT_EQ(3, GetLong(scanner, 262));                        // moved onto an allowed value
    // RGB off: samples per pixel offers only 1
    ASSERT_EQ(0, Msg(scanner, 0x321, 5371, 0x00FF0000));
    EXPECT_EQ((std::vector<LONG>{1}), Choices(scanner, 277));
    EXPECT_EQ(-4503, Msg(scanner, 0x321, 277, 3));
}

TEST_F(KitDriver, SinglePageModeNarrowsPaperSources) {
    Open();
    EXPECT_EQ((std::vector<LONG>{2, 3, 4}), Choices(scanner, 1300));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 4));
    ASSERT_EQ(0, Msg(scanner, 0x321, 5363, 1));
    EXPECT_EQ((std::vector<LONG>{2, 3}), Choices(scanner, 1300));
    EXPECT_EQ(2, GetLong(scanner, 1300));
    EXPECT_EQ(-4503, Msg(scanner, 0x321, 1300, 4));
}

TEST_F(KitDriver, RangesListsAndRationals) {
    Open();
    LONG flags = 0, v = 0, r[2] = {};
    ASSERT_EQ(0, Msg(scanner, 0x415, 1282, reinterpret_cast<LONG>(&flags)));
    EXPECT_EQ(0x20000, flags);
    ASSERT_EQ(0, Msg(scanner, 0x411, 1282 | (0xFFFF << 16), reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(-3, v);  // automatic brightness offered
    ASSERT_EQ(0, Msg(scanner, 0x411, 1282 | (0xFFFE << 16), reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(255, v);
    ASSERT_EQ(0, Msg(scanner, 0x415, 282, reinterpret_cast<LONG>(&flags)));
    EXPECT_EQ(0x40000, flags);
    ASSERT_EQ(0, Msg(scanner, 0x412, 282 | (2 << 16), reinterpret_cast<LONG>(r)));
    EXPECT_EQ(300, r[0]);
    EXPECT_EQ(1, r[1]);
    // brightness -1 is the driver's normal value
    ASSERT_EQ(0, Msg(scanner, 0x321, 1282, -1));
    EXPECT_EQ(128, GetLong(scanner, 1282));
    // the frame keeps its place on paper when the resolution changes
    ASSERT_EQ(0, Msg(scanner, 0x321, 256, 800));
    LONG res[2] = {300, 1};
    ASSERT_EQ(0, Msg(scanner, 0x322, 282, reinterpret_cast<LONG>(res)));
    EXPECT_EQ(1600, GetLong(scanner, 256));
    LONG bad[2] = {301, 1};
    EXPECT_EQ(-4503, Msg(scanner, 0x322, 283, reinterpret_cast<LONG>(bad)));
    // endorser: text tag, mode list with value 1
    char text[256];
    ASSERT_EQ(0, Msg(scanner, 0x320, 1411, reinterpret_cast<LONG>("42")));
    ASSERT_EQ(0, Msg(scanner, 0x312, 1411 | (255 << 16), reinterpret_cast<LONG>(text)));
    EXPECT_STREQ("42", text);
    EXPECT_EQ((std::vector<LONG>{0, 1}), Choices(scanner, 4204));
    EXPECT_EQ(-4502, Msg(scanner, 0x310, 1412, reinterpret_cast<LONG>(&v)));
    // page size names set the frame
    ASSERT_EQ(0, Msg(scanner, 0x320, 1294, reinterpret_cast<LONG>("a4")));
    ASSERT_EQ(0, Msg(scanner, 0x312, 1294 | (255 << 16), reinterpret_cast<LONG>(text)));
    EXPECT_STREQ("A4", text);
    EXPECT_EQ(2480 / 8 * 8, GetLong(scanner, 256));             // 210 mm at 300 dpi, steps of 8
    EXPECT_EQ(3507, GetLong(scanner, 257));
}

TEST_F(KitDriver, SnapshotsNestAndResetRestoresDefaults) {
    Open();
    ASSERT_EQ(0, Msg(scanner, 0x343, 0, 0));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1281, 10));
    ASSERT_EQ(0, Msg(scanner, 0x343, 5632, 0));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1281, 20));
    ASSERT_EQ(0, Msg(scanner, 0x345, 5632, 0));
    EXPECT_EQ(10, GetLong(scanner, 1281));
    ASSERT_EQ(0, Msg(scanner, 0x345, 0, 0));
    EXPECT_EQ(128, GetLong(scanner, 1281));
    EXPECT_EQ(-4517, Msg(scanner, 0x345, 0, 0));
    ASSERT_EQ(0, Msg(scanner, 0x343, 0, 0));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1281, 30));
    ASSERT_EQ(0, Msg(scanner, 0x344, 0, 0));                     // keep
    EXPECT_EQ(30, GetLong(scanner, 1281));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1282, 5));
    ASSERT_EQ(0, Msg(scanner, 0x340, 1281, 0));
    EXPECT_EQ(128, GetLong(scanner, 1281));
    EXPECT_EQ(5, GetLong(scanner, 1282));
    ASSERT_EQ(0, Msg(scanner, 0x340, 0, 0));
    EXPECT_EQ(128, GetLong(scanner, 1282));
}

TEST_F(KitDriver, TagTableAnnouncesDriverDefinedCapabilities) {
    Open();
    LONG count = 0;
    ASSERT_EQ(0, Msg(scanner, 0x314, 0, reinterpret_cast<LONG>(&count)));
    std::vector<std::pair<LONG, LONG>> caps;
    for (LONG i = 0; i < count; ++i) {
        LONG tag = 0, word = 0;
        ASSERT_EQ(0, Msg(scanner, 0x310, i << 16, reinterpret_cast<LONG>(&tag)));
        if (Msg(scanner, 0x315, tag, reinterpret_cast<LONG>(&word)) == 0 && word) caps.push_back({tag, word});
    }
    ASSERT_EQ(1u, caps.size());
    EXPECT_EQ(6001, caps[0].first);
    EXPECT_EQ(0x8101, caps[0].second);
    EXPECT_EQ(5, GetLong(scanner, 6001));
    EXPECT_EQ(11u, Choices(scanner, 6001).size());
}

// ---- pages
TEST_F(KitDriver, PageRowsMatchTheChartAndBarCodesReachTheCollector) {
    Open();
    ASSERT_EQ(0, Msg(scanner, 0x321, 5374, 1));
    ASSERT_EQ(0, Msg(scanner, 0x321, 282, 75));
    ASSERT_EQ(0, Msg(scanner, 0x321, 277, 1));
    ASSERT_EQ(0, Msg(scanner, 0x321, 258, 8));
    ASSERT_EQ(0, Msg(scanner, 0x321, 262, 1));
    ASSERT_EQ(0, Msg(scanner, 0x321, 286, 3));
    ASSERT_EQ(0, Msg(scanner, 0x321, 287, 2));
    ASSERT_EQ(0, Msg(scanner, 0x321, 256, 96));
    ASSERT_EQ(0, Msg(scanner, 0x321, 257, 150));
    k.resetCalls();
    ASSERT_EQ(0, ScanIntoCollector(scanner));
    EXPECT_EQ(96, g_got.width);
    EXPECT_EQ(150, g_got.length);
    EXPECT_EQ(150, g_got.rows);
    int wrong = 0;
    for (LONG y = 0; y < 150; ++y)
        for (LONG x = 0; x < 96; ++x) {
            BYTE c[3];
            Chart(1, x + 3, y + 2, 75, c);
            BYTE want = static_cast<BYTE>((299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000);
            wrong += g_got.pixels[y * g_got.pitch + x] != want;
        }
    EXPECT_EQ(0, wrong);
    EXPECT_EQ((std::vector<std::string>{"3:ABC-1", "1:12345670"}), g_got.codes);
    EXPECT_TRUE(HasCall("[procedure] msg 0x103 page 1 96x150 bps 8 spp 1 photometric 1 = 0"));
    EXPECT_TRUE(HasCall("[procedure] msg 0x320 tag 1735 value \"ABC-1\" = 0"));
    // page 2 is a separator sheet; job control must be on for it to count
    ASSERT_EQ(0, Msg(scanner, 0x321, 1447, 1));
    ASSERT_EQ(0, ScanIntoCollector(scanner));
    EXPECT_EQ(1, GetLong(scanner, 1448));
    LONG status = 0;
    ASSERT_EQ(0, Msg(scanner, 0x604, 1, reinterpret_cast<LONG>(&status)));
    EXPECT_EQ(1, status);                                       // feeder now empty
    EXPECT_EQ(-4531, ScanIntoCollector(scanner));
    // A bar-code text longer than the collector's buffer fills it without a terminator (@23).
    JEXDRIVER col{};
    ASSERT_EQ(0, k.load(0, reinterpret_cast<const void *>(&Collector), &col, 1));
    ASSERT_EQ(0, Msg(col, 768, 0, 0x206C7));
    const std::string longText(300, 'L');
    ASSERT_EQ(0, Msg(col, 0x320, 1735, reinterpret_cast<LONG>(longText.c_str())));
    char text[20];
    memset(text, '#', sizeof text);
    ASSERT_EQ(0, Msg(col, 0x312, 1735 | (16 << 16), reinterpret_cast<LONG>(text)));
    EXPECT_EQ(std::string(16, 'L') + "####", std::string(text, sizeof text));
    ASSERT_EQ(0, Msg(col, 0x320, 1735, reinterpret_cast<LONG>("SHORT")));
    ASSERT_EQ(0, Msg(col, 0x312, 1735 | (16 << 16), reinterpret_cast<LONG>(text)));
    EXPECT_STREQ("SHORT", text);
    EXPECT_EQ(0, k.unload(&col));
}

TEST_F(KitDriver, PaletteAndBitonalPagesFollowTheFormula) {
    Open();
    ASSERT_EQ(0, Msg(scanner, 0x321, 282, 75));
    ASSERT_EQ(0, Msg(scanner, 0x321, 283, 75));
    ASSERT_EQ(0, Msg(scanner, 0x321, 256, 80));
    ASSERT_EQ(0, Msg(scanner, 0x321, 257, 40));
    ASSERT_EQ(0, Msg(scanner, 0x321, 258, 1));
    ASSERT_EQ(0, Msg(scanner, 0x321, 262, 0));                  // white is zero: 1 bits are black
    ASSERT_EQ(0, ScanIntoCollector(scanner));
    int wrong = 0;
    for (LONG y = 0; y < 40; ++y)
        for (LONG x = 0; x < 80; ++x) {
            BYTE c[3];
            Chart(1, x, y, 75, c);
            int black = (299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000 < 128;
            wrong += ((g_got.pixels[y * g_got.pitch + x / 8] >> (7 - x % 8)) & 1) != black;
        }
    EXPECT_EQ(0, wrong);
    ASSERT_EQ(0, Msg(scanner, 0x321, 258, 4));
    ASSERT_EQ(0, Msg(scanner, 0x321, 262, 3));
    ASSERT_EQ(0, ScanIntoCollector(scanner));
    EXPECT_EQ(3, g_got.photometric);
    wrong = 0;
    for (LONG y = 0; y < 40; ++y)
        for (LONG x = 0; x < 80; ++x) {
            BYTE c[3];
            Chart(2, x, y, 75, c);
            int want = ((c[0] >> 7) << 3) | ((c[1] >> 6) << 1) | (c[2] >> 7);
            wrong += ((g_got.pixels[y * g_got.pitch + x / 2] >> (x % 2 ? 0 : 4)) & 15) != want;
        }
    EXPECT_EQ(0, wrong);
}

TEST_F(KitDriver, YieldCancelStopsThePage) {
    Open();
    ASSERT_EQ(0, Msg(scanner, 0x321, 1299, reinterpret_cast<LONG>(&TestYield)));
    g_got.yieldCalls = 0;
    g_got.yieldCancelAt = 2;
    k.resetCalls();
    EXPECT_EQ(JEX_ERR_CANCEL, ScanIntoCollector(scanner));
    EXPECT_EQ(2, g_got.yieldCalls);
    EXPECT_LT(g_got.rows, g_got.length);
    // each call-back into the caller has its line, after the strip it follows
    std::vector<std::string> calls = Calls();
    std::vector<std::string> flow;
    for (const std::string &c : calls)
        if (c.rfind("callback ", 0) == 0) flow.push_back(c);
        else if (c.rfind("[procedure] msg 0x602", 0) == 0) flow.push_back("rows");
    EXPECT_EQ((std::vector<std::string>{"rows", "callback yield() = 0", "rows", "callback yield() = -4526"}), flow);
    g_got.yieldCancelAt = -1;
    ASSERT_EQ(0, Msg(scanner, 0x321, 1299, 0));
}

TEST_F(KitDriver, FaultsFireAsTheProfileSays) {
    Open(std::string(kBase) + "[Faults]\nF1=page 1, PaperJam\nF2=msg 0x604, CoverOpen, at 2\nF3=tag 1297, Offline, once\n"
                              "F4=msg 0x321 tag 1300, Busy, always\n");
    EXPECT_EQ(-4530, ScanIntoCollector(scanner));
    EXPECT_GT(g_got.rows, 0);
    EXPECT_LT(g_got.rows, g_got.length);
    LONG status;
    EXPECT_EQ(0, Msg(scanner, 0x604, 1, reinterpret_cast<LONG>(&status)));
    EXPECT_EQ(-4532, Msg(scanner, 0x604, 1, reinterpret_cast<LONG>(&status)));
    EXPECT_EQ(0, Msg(scanner, 0x604, 1, reinterpret_cast<LONG>(&status)));
    EXPECT_EQ(-4533, Msg(scanner, 0x321, 1297, 1));
    EXPECT_EQ(0, Msg(scanner, 0x321, 1297, 1));
    EXPECT_EQ(-4534, Msg(scanner, 0x321, 1300, 2));             // writing 1300 fails, reading it does not
    EXPECT_EQ(3, GetLong(scanner, 1300));
    EXPECT_EQ(0, Msg(scanner, 0x321, 1293, 1));
    EXPECT_EQ(0, ScanIntoCollector(scanner));                   // page 2 goes through
}

// Page faults count across loads in one process, like every other fault: "once" is the first
// time the page is scanned in the process, "at 2" the second time, "from 2" every time after.
TEST_F(KitDriver, PageFaultsCountAcrossLoads) {
    struct Case { const char *when; LONG loads[3]; };
    const Case cases[] = {{"once", {-4530, 0, 0}}, {"at 2", {0, -4530, 0}}, {"from 2", {0, -4530, -4530}},
                          {"always", {-4530, -4530, -4530}}};
    for (const Case &c : cases) {
        const std::string profile = std::string(kBase) + "[Faults]\nF=page 1, PaperJam, " + c.when + "\n";
        for (int load = 0; load < 3; ++load) {
            Open(profile);
            ASSERT_EQ(0, Msg(scanner, 0x321, 256, 64));
            ASSERT_EQ(0, Msg(scanner, 0x321, 257, 40));
            EXPECT_EQ(c.loads[load], ScanIntoCollector(scanner)) << c.when << ", load " << load + 1;
            EXPECT_EQ(1, g_got.pageEnds) << "a jammed page is ended too";
            EXPECT_EQ(0, ScanIntoCollector(scanner)) << "page 2";
            EXPECT_EQ(0, k.unload(&scanner));
            k.done();
        }
    }
}

// A tag fault fires for messages that carry a tag, not for a pointer or window in the tag word
// whose low half happens to match.
TEST_F(KitDriver, TagFaultsOnlyForTagMessages) {
    static JEXDRIVER col{};
    const LONG low = reinterpret_cast<LONG>(&col) & 0xFFFF;
    Open(std::string(kBase) + "[Faults]\nF=tag " + std::to_string(low) + ", Offline, always\nG=tag 1297, Busy, always\n");
    ASSERT_EQ(0, k.load(0, reinterpret_cast<const void *>(&Collector), &col, 1));
    EXPECT_EQ(0, Msg(scanner, 0x110, reinterpret_cast<LONG>(&col), 0));
    EXPECT_EQ(0, Msg(scanner, 0x110, 0, 0));
    EXPECT_EQ(-4534, Msg(scanner, 0x321, 1297, 1));
    LONG v;
    EXPECT_EQ(-4534, Msg(scanner, 0x410, 1297, reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(0, k.unload(&col));
}

TEST_F(KitDriver, MessagesOfEveryKindAnswerOrRefuse) {
    Open();
    char text[64] = {};
    LONG v = 0, r[2] = {};
    // 0x413: names of a string tag's choices
    ASSERT_EQ(0, Msg(scanner, 0x413, 1280 | (1 << 16), reinterpret_cast<LONG>(text)));
    EXPECT_STREQ("Dither 8x8", text);
    EXPECT_EQ(-4506, Msg(scanner, 0x413, 1280 | (3 << 16), reinterpret_cast<LONG>(text)));
    EXPECT_EQ(-4504, Msg(scanner, 0x413, 282, reinterpret_cast<LONG>(text)));
    // 0x330-0x332: defaults, whatever the current values
    ASSERT_EQ(0, Msg(scanner, 0x321, 1281, 10));
    ASSERT_EQ(0, Msg(scanner, 0x321, 282, 300));
    ASSERT_EQ(0, Msg(scanner, 0x320, 1294, reinterpret_cast<LONG>("A4")));
    ASSERT_EQ(0, Msg(scanner, 0x330, 1281, reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(128, v);
    ASSERT_EQ(0, Msg(scanner, 0x331, 282, reinterpret_cast<LONG>(r)));
    EXPECT_EQ(150, r[0]);
    EXPECT_EQ(1, r[1]);
    ASSERT_EQ(0, Msg(scanner, 0x332, 1294 | (64 << 16), reinterpret_cast<LONG>(text)));
    EXPECT_STREQ("Letter", text);
    // the default frame in pixels at the default resolution (150 dpi), whatever the current one
    ASSERT_EQ(0, Msg(scanner, 0x330, 256, reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(2159 * 150 / 254 / 8 * 8, v);
    ASSERT_EQ(0, Msg(scanner, 0x330, 257, reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(2794 * 150 / 254, v);
    // resetting the page size alone puts its frame in place, at the current resolution
    ASSERT_EQ(0, Msg(scanner, 0x321, 286, 40));
    ASSERT_EQ(0, Msg(scanner, 0x340, 1294, 0));
    EXPECT_EQ(0, GetLong(scanner, 286));
    EXPECT_EQ(2159 * 300 / 254 / 8 * 8, GetLong(scanner, 256));
    EXPECT_EQ(2794 * 300 / 254, GetLong(scanner, 257));
    // 0x342: the kind of a tag's value
    for (auto [tag, kind] : std::vector<std::pair<LONG, LONG>>{{282, 5}, {1411, 2}, {1281, 1}, {6001, 1}}) {
        ASSERT_EQ(0, Msg(scanner, 0x342, tag, reinterpret_cast<LONG>(&v))) << tag;
        EXPECT_EQ(kind, v) << tag;
    }
    // index -3: a range's step; a list has none
    ASSERT_EQ(0, Msg(scanner, 0x411, 1281 | (0xFFFD << 16), reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(1, v);
    ASSERT_EQ(0, Msg(scanner, 0x411, 282 | (0xFFFD << 16), reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(0, v);
    // read-only tags
    EXPECT_EQ(-4505, Msg(scanner, 0x321, 1283, 1));
    EXPECT_EQ(-4505, Msg(scanner, 0x321, 1448, 1));
    // every choice of 258 disabled: the list is empty, and has no smallest value
    ASSERT_EQ(0, Msg(scanner, 0x321, 5371, 0x7FFFFFFF));
    ASSERT_EQ(0, Msg(scanner, 0x410, 258, reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(0, v);
    EXPECT_EQ(-4506, Msg(scanner, 0x411, 258 | (0xFFFF << 16), reinterpret_cast<LONG>(&v)));
    // snapshots nest 16 deep
    for (int i = 0; i < 16; ++i) ASSERT_EQ(0, Msg(scanner, 0x343, 0, 0)) << i;
    EXPECT_EQ(-4518, Msg(scanner, 0x343, 0, 0));
    for (int i = 0; i < 16; ++i) ASSERT_EQ(0, Msg(scanner, 0x345, 0, 0)) << i;
    EXPECT_EQ(-4517, Msg(scanner, 0x344, 0, 0));
}

JEXDRIVER *g_abortScanner;
LONG WINAPI YieldThatAborts(void) {
    ++g_got.yieldCalls;
    if (g_got.yieldCalls == 1) Msg(*g_abortScanner, 0x606, 0, 0);
    return 0;  // the application itself does not cancel
}

TEST_F(KitDriver, AbortStopsThePageAtItsNextStrip) {
    Open();
    g_abortScanner = &scanner;
    ASSERT_EQ(0, Msg(scanner, 0x321, 1299, reinterpret_cast<LONG>(&YieldThatAborts)));
    g_got = Collected{};
    g_got.stripRows = 16;
    EXPECT_EQ(JEX_ERR_CANCEL, ScanIntoCollector(scanner));
    EXPECT_EQ(16, g_got.rows);
    EXPECT_EQ(16, g_got.endRows);
    EXPECT_EQ(0, ScanIntoCollector(scanner));          // the next page is not aborted
    g_got.stripRows = 0;
    ASSERT_EQ(0, Msg(scanner, 0x321, 1299, 0));
}

// DelayMs is the time of a whole page, however many strips it comes in.
TEST_F(KitDriver, DelayIsSpentOverThePageWhateverItsStrips) {
    Open(std::string(kBase) + "[Scanner]\nDelayMs=120\n");
    ASSERT_EQ(0, Msg(scanner, 0x321, 282, 75));
    ASSERT_EQ(0, Msg(scanner, 0x321, 256, 64));
    ASSERT_EQ(0, Msg(scanner, 0x321, 257, 200));
    g_got = Collected{};
    g_got.stripRows = 1;                               // 200 strips, more than milliseconds
    DWORD start = GetTickCount();
    ASSERT_EQ(0, ScanIntoCollector(scanner));
    DWORD spent = GetTickCount() - start;
    EXPECT_EQ(200, g_got.strips);
    EXPECT_GE(spent, 110u);
    EXPECT_LT(spent, 2000u);
    g_got.stripRows = 0;
}

TEST_F(KitDriver, OrdinalFaultFailsTheStart) {
    UseProfile(std::string(kBase) + "[Faults]\nF=ordinal 73, Offline, once\n");
    EXPECT_EQ(-4533, k.init());
    EXPECT_EQ(0, k.init());
    k.done();
}

// ---- jexlocn
TEST(KitLocalisation, LooksUpAndCopiesBounded) {
    std::string file = WriteFile("test.loc", "# comment\nScanner Error=Scannerfehler\nWarning=Achtung\n");
    SetEnvironmentVariableA("JEXKIT_LOCFILE", file.c_str());
    EXPECT_EQ(0, k.locOpen("twjex.loc"));
    LONG size = -1;
    LPCSTR t = k.locLookup("Scanner Error", &size);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(14, size);
    char buf[8];
    EXPECT_EQ(7, k.locCopy(buf, t, sizeof buf));
    EXPECT_STREQ("Scanner", buf);
    size = -1;
    EXPECT_EQ(nullptr, k.locLookup("Nothing", &size));
    EXPECT_EQ(8, size);
    EXPECT_EQ(nullptr, k.locLookup(nullptr, nullptr));
    EXPECT_GT(0, k.locCopy(buf, t, -1));
    SetEnvironmentVariableA("JEXKIT_LOCFILE", nullptr);
}

// ---- the full chain: scanner -> collector -> JEXMORVA -> a jexmdln image
TEST_F(KitDriver, JexmWriterFillsTheImage) {
    HMODULE jexm = LoadLibraryA("jexmdln.dll");
    ASSERT_NE(nullptr, jexm) << "jexmdln.dll not built";
    auto create = GetProc<LONG(WINAPI *)(HJEXM *)>(jexm, MAKEINTRESOURCEA(10));
    auto destroy = GetProc<LONG(WINAPI *)(HJEXM)>(jexm, MAKEINTRESOURCEA(11));
    auto getTag = GetProc<LONG(WINAPI *)(HJEXM, LONG, LONG *)>(jexm, MAKEINTRESOURCEA(13));
    auto getRows = GetProc<LONG(WINAPI *)(HJEXM, LONG, LONG, void *, LONG)>(jexm, "JexmKitGetRows");
    ASSERT_TRUE(create && destroy && getTag && getRows);
    Open(std::string(kBase) + "[Faults]\nF=jexmdln 20, NoMemory, once\n");
    ASSERT_EQ(0, Msg(scanner, 0x321, 5374, 1));
    ASSERT_EQ(0, Msg(scanner, 0x321, 282, 75));
    ASSERT_EQ(0, Msg(scanner, 0x321, 277, 3));
    ASSERT_EQ(0, Msg(scanner, 0x321, 256, 64));
    ASSERT_EQ(0, Msg(scanner, 0x321, 257, 30));
    HJEXM image = nullptr;
    ASSERT_EQ(0, create(&image));
    // jexmdln's faults come from the same profile
    auto createZone = GetProc<LONG(WINAPI *)(HJEXMZONE *, LONG)>(jexm, MAKEINTRESOURCEA(20));
    auto freeZone = GetProc<LONG(WINAPI *)(HJEXMZONE)>(jexm, MAKEINTRESOURCEA(21));
    ASSERT_TRUE(createZone && freeZone);
    HJEXMZONE zone = reinterpret_cast<HJEXMZONE>(1);
    EXPECT_EQ(-4500, createZone(&zone, 1));
    EXPECT_EQ(nullptr, zone);
    ASSERT_EQ(0, createZone(&zone, 1));
    EXPECT_EQ(0, freeZone(zone));
    JEXDRIVER writer{}, col{};
    ASSERT_EQ(0, k.load(0, "JEXMORVA", &writer, 0));
    ASSERT_EQ(0, k.initDriver(&writer, nullptr, image));
    ASSERT_EQ(0, k.load(0, reinterpret_cast<const void *>(&Collector), &col, 1));
    ASSERT_EQ(0, k.initDriver(&col, nullptr, nullptr));
    ASSERT_EQ(0, Msg(scanner, 0x110, reinterpret_cast<LONG>(&col), 0));
    ASSERT_EQ(0, Msg(col, 0x110, reinterpret_cast<LONG>(&writer), 0));
    g_got = Collected{};
    HGLOBAL buf = GlobalAlloc(GHND, 8192);
    EXPECT_EQ(0, k.scan(&scanner, buf, 8192));
    GlobalFree(buf);
    EXPECT_EQ((std::vector<std::string>{"3:ABC-1", "1:12345670"}), g_got.codes);
    // jexmdln's calls are in the same log, in order with jexdfltn's, without pointers
    std::vector<std::string> calls = Calls();
    auto at = [&](const std::string &prefix) {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
        return -1;
    };
    EXPECT_LT(at("70 JexdfltInitDriver(ORVAVS"), at("10 CreateImage(-> 0x"));
    EXPECT_LT(at("10 CreateImage(-> 0x"), at("20 CreateZone(-> 0x00000000, 1) = -4500"));
    EXPECT_LT(at("20 CreateZone(-> 0x00000000, 1) = -4500"), at("29 JexdfltLoadDriver(0, \"JEXMORVA\""));
    Msg(scanner, 0x110, 0, 0);
    EXPECT_EQ(0, k.unload(&col));
    EXPECT_EQ(0, k.unload(&writer));
    LONG w = 0, l = 0, spp = 0;
    getTag(image, 256, &w);
    getTag(image, 257, &l);
    getTag(image, 277, &spp);
    EXPECT_EQ(64, w);
    EXPECT_EQ(30, l);
    EXPECT_EQ(3, spp);
    std::vector<BYTE> rows(64 * 3 * 30);
    ASSERT_EQ(0, getRows(image, 0, 30, rows.data(), 64 * 3));
    int wrong = 0;
    for (LONG y = 0; y < 30; ++y)
        for (LONG x = 0; x < 64; ++x) {
            BYTE c[3];
            Chart(1, x, y, 75, c);
            for (int s = 0; s < 3; ++s) wrong += rows[(y * 64 + x) * 3 + s] != c[s];
        }
    EXPECT_EQ(0, wrong);
    destroy(image);
    FreeLibrary(jexm);
}

// ---- the driver's own dialogs
LONG g_scanCalls, g_cancelCalls;
LONG WINAPI DialogScan(void *) { return ++g_scanCalls, 0; }
LONG WINAPI DialogCancel(LONG *flag) { return g_cancelCalls += *flag, 0; }

TEST_F(KitDriver, OwnDialogCallsBackAndClosesPolitely) {
    Open(std::string(kBase) + "[Scanner]\nOwnDialog=yes\n");
    EXPECT_EQ(1, GetLong(scanner, 1680));
    struct { HWND window; LONG mode, buttons; void *scan, *cancel; } rec = {nullptr, 0, 14,
        reinterpret_cast<void *>(&DialogScan), reinterpret_cast<void *>(&DialogCancel)};
    ASSERT_EQ(0, Msg(scanner, 0x125, 0, reinterpret_cast<LONG>(&rec)));
    ASSERT_TRUE(IsWindow(rec.window));
    g_scanCalls = g_cancelCalls = 0;
    SendMessageA(rec.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    SendMessageA(rec.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(1, g_scanCalls);
    EXPECT_EQ(1, g_cancelCalls);
    SendMessageA(rec.window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(rec.window));
    // the advanced dialog is modal: the test answers it
    CbtAutoAnswer answer(IDCANCEL);
    EXPECT_EQ(0, Msg(scanner, 0x123, 0, 0));
}
