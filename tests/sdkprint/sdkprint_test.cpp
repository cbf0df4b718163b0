// The diagnostic log, line by line. Each case runs this program again as a child process (the
// settings are read once per process), with SETSCAN.INI prepared by the parent, then reads the
// file the child wrote.
#include <cstring>
#include <regex>

#include "dstest.h"
#include "sdkprint/sdkprint.h"

namespace {

std::string LogPath() { return WindowsDir() + "\\sdkprint_test.log"; }

// What the child logs: one line of every kind the checks below look for.
void ChildWrites() {
    SdkPrint(kLogTwainApi, "api %d", 1);
    SdkPrint(kLogTwain, "note %s", "two");
    SdkPrint(1, "cat1");
    SdkPrint(8, "cat8");
    SdkPrint(3, "cat3");
    SdkPrint(0x10000, "cat65536");
    SdkPrint(kLogTwainApi, "lf\n");
    SdkPrint(kLogTwainApi, "crlf\r\n");
    SdkPrint(kLogTwainApi, "\r\n\n");
    SdkPrint(kLogTwainApi, "tid=%x", static_cast<unsigned>(GetCurrentThreadId()));
    SdkPrint(kLogTwainApi, "%s", std::string(600, 'L').c_str());
    BYTE block[600];
    for (int i = 0; i < 600; ++i) block[i] = static_cast<BYTE>(i < 20 ? 'A' + i : i);
    SdkPrintHex(kLogTwainApi, "twenty", block, 20);
    SdkPrintHex(kLogTwainApi, "six hundred", block, 600);
    LogEnd();
}

struct Line {
    std::string prefix, message;
};

// The previous child's handle on the file may outlive its exit for a moment under Wine.
void RemoveLog() {
    for (int i = 0; i < 200; ++i) {
        if (DeleteFileA(LogPath().c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
        Sleep(10);
    }
    ADD_FAILURE() << "the log file could not be removed";
}

std::vector<Line> RunChild(const char *mask, bool withFile = true) {
    RemoveLog();
    SetScanIni("SDKDebug", mask);
    SetScanIni("SDKDebugFile", withFile ? LogPath().c_str() : nullptr);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string cmd = std::string("\"") + self + "\" --child";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<Line> lines;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "child did not start";
        return lines;
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    SetScanIni("SDKDebug", nullptr);
    SetScanIni("SDKDebugFile", nullptr);
    std::string text = ReadFileText(LogPath());
    if (!text.empty()) {
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "every line ends in CR LF";
    }
    for (const std::string &l : SplitCrLfLines(text)) lines.push_back({l.substr(0, 26), l.size() > 26 ? l.substr(26) : ""});
    return lines;
}

std::vector<std::string> Messages(const std::vector<Line> &lines) {
    std::vector<std::string> m;
    for (const Line &l : lines) m.push_back(l.message);
    return m;
}

bool Has(const std::vector<Line> &lines, const std::string &message) {
    for (const Line &l : lines)
        if (l.message == message) return true;
    return false;
}

TEST(Log, MaskZeroCreatesAnEmptyFile) {
    auto lines = RunChild("0");
    EXPECT_NE(GetFileAttributesA(LogPath().c_str()), INVALID_FILE_ATTRIBUTES) << "the file is created";
    EXPECT_TRUE(lines.empty()) << "nothing written, banners included";
}

TEST(Log, NoFileNameMeansNoFile) {
    RunChild("-2", false);
    EXPECT_EQ(GetFileAttributesA(LogPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Log, Mask128WritesHandlerLinesAndBanners) {
    auto lines = RunChild("128");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front().message.rfind("Driver loaded on ", 0), 0u) << lines.front().message;
    EXPECT_EQ(lines.back().message.rfind("Driver unloaded on ", 0), 0u) << lines.back().message;
    EXPECT_EQ(lines.front().prefix.substr(16), "UNKNOWN   ") << "banners are category -1";
    EXPECT_TRUE(Has(lines, "api 1"));
    EXPECT_FALSE(Has(lines, "note two"));
    EXPECT_FALSE(Has(lines, "cat1"));
    // The prefix: seconds in 4 places, a point, 3 digits of ms, t + thread id in 5, name in 9.
    std::regex prefix(R"(^[ 0-9]{3}[0-9]\.[0-9]{3} t[0-9a-f][0-9a-f ]{4} TWAIN_API $)");
    std::string tid;
    for (const Line &l : lines) {
        if (l.message.rfind("tid=", 0) == 0) tid = l.message.substr(4);
        if (l.message == "api 1") {
            EXPECT_TRUE(std::regex_match(l.prefix, prefix)) << "[" << l.prefix << "]";
        }
    }
    ASSERT_FALSE(tid.empty());
    for (const Line &l : lines)
        if (l.message == "api 1") {
            EXPECT_EQ(l.prefix.substr(10, 5), (tid + "     ").substr(0, 5));
        }
}

TEST(Log, Mask384AddsNotes) {
    auto lines = RunChild("384");
    EXPECT_TRUE(Has(lines, "api 1"));
    EXPECT_TRUE(Has(lines, "note two"));
    EXPECT_FALSE(Has(lines, "cat8"));
    for (const Line &l : lines)
        if (l.message == "note two") {
            EXPECT_EQ(l.prefix.substr(16), "TWAIN     ");
        }
}

TEST(Log, MinusTwoWritesEveryCategoryWithItsName) {
    auto lines = RunChild("-2");
    struct Row {
        const char *message, *name;
    };
    const Row rows[] = {{"cat1", "UNKNOWN  "}, {"cat8", "ORVA_MSG "}, {"cat3", "UNKNOWN  "}, {"cat65536", "UNKNOWN  "},
                        {"note two", "TWAIN    "}};
    for (const Row &r : rows) {
        bool found = false;
        for (const Line &l : lines)
            if (l.message == r.message) {
                found = true;
                EXPECT_EQ(l.prefix.substr(16, 9), r.name) << r.message;
            }
        EXPECT_TRUE(found) << r.message;
    }
}

TEST(Log, LineEndsAndLongMessages) {
    auto m = Messages(RunChild("128"));
    auto at = std::find(m.begin(), m.end(), "lf");
    ASSERT_NE(at, m.end());
    ASSERT_LT(at + 2, m.end());
    EXPECT_EQ(at[1], "crlf");
    EXPECT_EQ(at[2], "") << "a message made only of line ends is an empty line";
    bool cut = false;
    for (const std::string &s : m)
        if (!s.empty() && s[0] == 'L') {
            cut = true;
            EXPECT_EQ(s, std::string(s.size(), 'L'));
            EXPECT_LE(s.size() + 3, 260u) << "text, CR LF and terminator fit the line buffer";
            EXPECT_GE(s.size(), 250u);
        }
    EXPECT_TRUE(cut);
}

TEST(Log, HexDumpRows) {
    auto m = Messages(RunChild("128"));
    const std::string rule(58, '-');
    auto at = std::find(m.begin(), m.end(), "Description: twenty, Len 20");
    ASSERT_NE(at, m.end());
    ASSERT_LT(at + 4, m.end());
    EXPECT_EQ(at[1], rule);
    EXPECT_EQ(at[2], "  0 - 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 ABCDEFGHIJKLMNOP");
    EXPECT_EQ(at[3], " 16 - 51 52 53 54 " + std::string(12 * 3, ' ') + "QRST");
    EXPECT_EQ(at[4], rule);
    at = std::find(m.begin(), m.end(), "Description: six hundred, Len 600");
    ASSERT_NE(at, m.end());
    ASSERT_LT(at + 7, m.end());
    EXPECT_EQ(at[2].substr(0, 6), "  0 - ");
    EXPECT_EQ(at[5].substr(0, 9), " 48 - 30 ") << "64 bytes in four rows";
    EXPECT_EQ(at[5].substr(54), "0123456789:;<=>?");
    EXPECT_EQ(at[6], "      ...etc...");
    EXPECT_EQ(at[7], rule);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && strcmp(argv[1], "--child") == 0) {
        ChildWrites();
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    DeleteFileA(LogPath().c_str());
    return rc;
}
