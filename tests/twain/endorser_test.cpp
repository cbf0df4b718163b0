// Endorser discovery and access, and the default transfer file, against a scripted driver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "twain/driver.h"
#include "twain/source.h"
#include "twain/state.h"

namespace {

struct FakeEndorser {
    bool text = false, counter = false;
    std::vector<LONG> kinds;  // choices of tag 4204; empty: no such tag
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
        if (t != kTagEndorserKinds || fake.kinds.empty()) return -4502;
        *reinterpret_cast<LONG *>(value) = static_cast<LONG>(fake.kinds.size());
        return 0;
    case kMsgChoiceLong:
        if (t != kTagEndorserKinds || index < 0 || index >= static_cast<LONG>(fake.kinds.size())) return -4506;
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

TEST_F(Endorser, KindsAloneAnnounceAnEndorser) {
    // Tag 4204 lists the kinds: 1 text, 3 or 4 a counter.
    fake.kinds = {4};
    fake.counter = true;  // readable only once discovery knows it is there
    InitEndorser();
    LONG v = 0;
    EXPECT_EQ(GetEndorser(&v), 0);
    fake.kinds = {2};
    fake.counter = false;
    InitEndorser();
    v = 9;
    EXPECT_EQ(GetEndorser(&v), -1) << "present, but neither kind";
    EXPECT_EQ(v, 0);
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
