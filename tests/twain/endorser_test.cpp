// Endorser discovery and access, the driver's choice counts, and the default transfer file, against
// a scripted driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "twain/driver.h"
#include "twain/source.h"
#include "twain/state.h"

namespace {

struct FakeEndorser {
    bool text = false, counter = false;
    std::vector<LONG> kinds;  // choices of tag 4204; empty: no such tag (unless kindCount says)
    LONG kindCount = -1;      // the count tag 4204 reports; -1: as many as kinds
    LONG unreadableKind = -1; // index of a kind whose read fails
    bool counterWriteFails = false;
    std::string textValue;
    LONG counterValue = 0;
    std::vector<std::string> writes;
};
FakeEndorser fake;

LONG WINAPI FakeEntry(DWORD, LONG message, LONG tag, LONG value) {
    const LONG t = tag & 0xFFFF, index = static_cast<SHORT>(tag >> 16);
    switch (message) {
    case kMsgGetString:
        if (t != kTagEndorserText || !fake.text) return -4502;
        lstrcpynA(reinterpret_cast<char *>(value), fake.textValue.c_str(), (tag >> 16) + 1);
        return 0;
    case kMsgGetLong:
        if (t != kTagEndorserCounter || !fake.counter) return -4502;
        *reinterpret_cast<LONG *>(value) = fake.counterValue;
        return 0;
    case kMsgChoiceCount:
        if (t != kTagEndorserKinds || (fake.kinds.empty() && fake.kindCount == -1)) return -4502;
        *reinterpret_cast<LONG *>(value) = fake.kindCount != -1 ? fake.kindCount : static_cast<LONG>(fake.kinds.size());
        return 0;
    case kMsgChoiceLong:
        if (t != kTagEndorserKinds || index < 0 || index >= static_cast<LONG>(fake.kinds.size()) ||
            index == fake.unreadableKind)
            return -4506;
        *reinterpret_cast<LONG *>(value) = fake.kinds[index];
        return 0;
    case kMsgSetString:
        fake.writes.push_back("text " + std::to_string(t) + " \"" + reinterpret_cast<const char *>(value) + "\"");
        if (t != kTagEndorserText || !fake.text) return -4502;
        fake.textValue = reinterpret_cast<const char *>(value);
        return 0;
    case kMsgSetLong:
        fake.writes.push_back("long " + std::to_string(t) + " " + std::to_string(value));
        if (t == kTagEndorserKinds) return fake.kinds.empty() ? -4502 : 0;
        if (t != kTagEndorserCounter || !fake.counter || fake.counterWriteFails) return -4502;
        fake.counterValue = value;
        return 0;
    default:
        return -4542;
    }
}

class Endorser : public ::testing::Test {
protected:
    void SetUp() override {
        fake = FakeEndorser{};
        gDriver = JEXDRIVER{FakeEntry, 0, 1, 0};
    }
    void TearDown() override { gDriver = JEXDRIVER{}; }
};

TEST_F(Endorser, NoneFoundMeansMinusOneEverywhere) {
    InitEndorser();
    LONG v = 77;
    EXPECT_EQ(GetEndorser(&v), -1);
    EXPECT_EQ(v, 77) << "output untouched";
    EXPECT_EQ(SetEndorser(5), -1);
    EXPECT_EQ(SetEndorserText("5"), -1);
    EXPECT_EQ(ClearEndorserText(), -1);
    EXPECT_TRUE(fake.writes.empty());
}

TEST_F(Endorser, CounterIsPreferredAndTextIsTheFallback) {
    fake.counter = true;
    fake.text = true;
    fake.kinds = {1, 3};
    fake.counterValue = 41;
    InitEndorser();
    LONG v = 0;
    EXPECT_EQ(GetEndorser(&v), 0);
    EXPECT_EQ(v, 41);
    EXPECT_EQ(SetEndorser(1234), 0);
    EXPECT_EQ(fake.writes, (std::vector<std::string>{"long 4204 1", "long 1412 1234"}));
    // When the counter cannot be written, the value goes to the text endorser in decimal.
    fake.writes.clear();
    fake.counterWriteFails = true;
    EXPECT_EQ(SetEndorser(-56), 0);
    EXPECT_EQ(fake.writes, (std::vector<std::string>{"long 4204 1", "long 1412 -56", "text 1411 \"-56\""}));
}

TEST_F(Endorser, TextOnlyReadsItsNumberAndTextGoesFirst) {
    fake.text = true;
    fake.textValue = "0815 and more";
    InitEndorser();
    LONG v = 0;
    EXPECT_EQ(GetEndorser(&v), 0);
    EXPECT_EQ(v, 815);
    EXPECT_EQ(SetEndorserText("Batch 7"), 0);
    EXPECT_EQ(fake.writes, (std::vector<std::string>{"long 4204 1", "text 1411 \"Batch 7\""}));
    fake.writes.clear();
    EXPECT_EQ(ClearEndorserText(), 0);
    EXPECT_EQ(fake.writes, (std::vector<std::string>{"text 1411 \"\""}));
    EXPECT_EQ(SetEndorserText(nullptr), 0) << "no text is the empty text";
}

// Tag 4204 on its own (neither tag 1411 nor 1412 reads at discovery): its kinds say which tags
// the endorser works with, 1 text, 3 and 4 a counter, and any answer announces an endorser. The
// flags show in what SetEndorser writes: the counter tag when numeric, the text tag when text.
TEST_F(Endorser, KindsMapToTextAndCounter) {
    struct Row {
        std::vector<LONG> kinds;
        LONG count;       // as reported; -1: the number of kinds
        LONG unreadable;  // index whose read fails; -1: none
        bool text, numeric;
    };
    // kinds                 count     unreadable  text   numeric
    const Row rows[] = {
        {{1},                  -1,       -1,         true,  false},
        {{3},                  -1,       -1,         false, true},
        {{4},                  -1,       -1,         false, true},
        {{1, 3},               -1,       -1,         true,  true},
        {{4, 1},               -1,       -1,         true,  true},
        {{0},                  -1,       -1,         false, false},
        {{2},                  -1,       -1,         false, false},
        {{5},                  -1,       -1,         false, false},
        {{-1},                 -1,       -1,         false, false},
        {{0x10001, 0x10003},   -1,       -1,         false, false},  // the whole value is compared
        {{},                   0,        -1,         false, false},  // a tag without kinds
        {{1, 3},               -1,       0,          false, true},   // a failed read is skipped
        {{3},                  2,        -1,         false, true},   // ... also past the list
        {{3},                  0x10000,  -1,         false, false},  // the count's low half is 0
        {{2, 3},               0x10001,  -1,         false, false},  // ... is 1: only the first read
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.kinds) + " count " + std::to_string(r.count));
        fake = FakeEndorser{};
        fake.kinds = r.kinds;
        fake.kindCount = r.count;
        fake.unreadableKind = r.unreadable;
        InitEndorser();
        LONG v = 9;
        if (r.text || r.numeric) {
            EXPECT_EQ(GetEndorser(&v), -4502) << "reads a tag the fake does not have";
        } else {
            EXPECT_EQ(GetEndorser(&v), -1) << "present, but neither kind";
            EXPECT_EQ(v, 0) << "present: the output is written";
        }
        SetEndorser(7);
        auto wrote = [](const std::string &w) {
            return std::find(fake.writes.begin(), fake.writes.end(), w) != fake.writes.end();
        };
        EXPECT_EQ(wrote("text 1411 \"7\""), r.text);
        EXPECT_EQ(wrote("long 1412 7"), r.numeric);
    }
}

// Choice indexes travel in 16 bits: a choice count keeps only its low half, and a failed count
// query gives 0.
TEST_F(Endorser, ChoiceCountsKeepTheirLowSixteenBits) {
    struct Row {
        LONG reported, count;
    };
    // reported      count
    const Row rows[] = {
        {0, 0}, {7, 7}, {0xFFFF, 0xFFFF}, {0x10000, 0}, {0x12345, 0x2345}, {-2, 0xFFFE}, {LONG_MIN, 0},
    };
    for (const Row &r : rows) {
        fake.kindCount = r.reported;
        LONG count = -77;
        EXPECT_EQ(DrvChoiceCount(kTagEndorserKinds, &count), 0);
        EXPECT_EQ(count, r.count) << r.reported;
    }
    LONG count = -77;
    EXPECT_EQ(DrvChoiceCount(kTagEndorserText, &count), -4502);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(DrvChoiceCount(kTagEndorserKinds, nullptr), 0) << "no place for the count";
}

TEST(DefaultTransferFile, WindowsDirectoryAndOwnName) {
    HMODULE own = LoadLibraryExA("TWJEX32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(own, nullptr);
    gState.hOwnInstance = own;
    SetDefaultFileXfer();
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    EXPECT_EQ(std::string(gFileXfer.FileName), std::string(dir) + "\\TWAIN001.TMP");
    EXPECT_EQ(gFileXfer.Format, 0);
    // Without the name string the previous name stays; the format word is reset all the same.
    gState.hOwnInstance = GetModuleHandleA(nullptr);
    gFileXfer.Format = 2;
    SetDefaultFileXfer();
    EXPECT_EQ(std::string(gFileXfer.FileName), std::string(dir) + "\\TWAIN001.TMP");
    EXPECT_EQ(gFileXfer.Format, 0);
    gState.hOwnInstance = nullptr;
    FreeLibrary(own);
}

}  // namespace
