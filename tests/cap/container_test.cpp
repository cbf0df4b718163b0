// Capability containers byte by byte, the readers on good and hostile containers, and the dump
// lines in the log.
#include <cstring>

#include "cap/container.h"
#include "dstest.h"
#include "sdkprint/sdkprint.h"
#include "twain/state.h"

namespace {

std::vector<BYTE> Bytes(HGLOBAL h) {
    std::vector<BYTE> v(GlobalSize(h));
    memcpy(v.data(), GlobalLock(h), v.size());
    GlobalUnlock(h);
    return v;
}

// A container made by hand, as an application would.
struct AppContainer {
    TW_CAPABILITY cap{};
    AppContainer(TW_UINT16 conType, std::vector<BYTE> bytes) {
        cap.ConType = conType;
        cap.hContainer = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        memcpy(GlobalLock(cap.hContainer), bytes.data(), bytes.size());
        GlobalUnlock(cap.hContainer);
    }
    ~AppContainer() { GlobalFree(cap.hContainer); }
};

std::vector<BYTE> Enum16(TW_UINT32 count, TW_UINT32 current, TW_UINT32 deflt, std::vector<TW_UINT16> items,
                         TW_UINT16 type = TWTY_UINT16) {
    std::vector<BYTE> b(14);
    memcpy(&b[0], &type, 2);
    memcpy(&b[2], &count, 4);
    memcpy(&b[6], &current, 4);
    memcpy(&b[10], &deflt, 4);
    for (TW_UINT16 v : items) {
        b.push_back(v & 0xFF);
        b.push_back(v >> 8);
    }
    return b;
}

TEST(Build, OneValueIsSixBytesWithAFullWordItem) {
    TW_CAPABILITY cap{ICAP_PIXELTYPE, 0, nullptr};
    ASSERT_EQ(BuildOneValue(&cap, TWTY_UINT16, 1), TWRC_SUCCESS);
    EXPECT_EQ(cap.ConType, TWON_ONEVALUE);
    EXPECT_EQ(GlobalFlags(cap.hContainer) & GMEM_DISCARDED, 0u);
    EXPECT_EQ(Bytes(cap.hContainer), (std::vector<BYTE>{4, 0, 1, 0, 0, 0}));
    EXPECT_EQ(GlobalFlags(cap.hContainer) & GMEM_LOCKCOUNT, 0u) << "handed over unlocked";
    GlobalFree(cap.hContainer);
}

TEST(Build, StringAndFrameOneValues) {
    TW_CAPABILITY cap{};
    // At most 33 characters, then zeros to the end of the field: a longer name is cut.
    struct Row {
        std::string text, stored;
    };
    const std::string long40(40, 'n');
    const Row rows[] = {{"abc", "abc"}, {std::string(33, 'x'), std::string(33, 'x')}, {long40, long40.substr(0, 33)}};
    for (const Row &r : rows) {
        ASSERT_EQ(BuildOneValueStr32(&cap, r.text.c_str()), TWRC_SUCCESS);
        auto b = Bytes(cap.hContainer);
        ASSERT_EQ(b.size(), 36u);
        EXPECT_EQ(b[0], TWTY_STR32);
        std::vector<BYTE> field(34, 0);
        memcpy(field.data(), r.stored.data(), r.stored.size());
        EXPECT_EQ(std::vector<BYTE>(b.begin() + 2, b.end()), field) << r.text;
        GlobalFree(cap.hContainer);
    }

    TW_FRAME f{{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    ASSERT_EQ(BuildOneValueFrame(&cap, &f), TWRC_SUCCESS);
    EXPECT_EQ(Bytes(cap.hContainer), (std::vector<BYTE>{8, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0}));
    GlobalFree(cap.hContainer);
}

TEST(Build, RangeEnumerationArrayLayouts) {
    TW_CAPABILITY cap{};
    ASSERT_EQ(BuildRange(&cap, TWTY_UINT32, 1, 8, 1, 8, 2), TWRC_SUCCESS);
    EXPECT_EQ(cap.ConType, TWON_RANGE);
    EXPECT_EQ(Bytes(cap.hContainer),
              (std::vector<BYTE>{5, 0, 1, 0, 0, 0, 8, 0, 0, 0, 1, 0, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0}));
    GlobalFree(cap.hContainer);

    const TW_UINT16 items[3] = {0, 1, 0x0302};
    ASSERT_EQ(BuildEnumeration(&cap, TWTY_UINT16, 3, 2, 1, items), TWRC_SUCCESS);
    EXPECT_EQ(cap.ConType, TWON_ENUMERATION);
    auto b = Bytes(cap.hContainer);
    ASSERT_EQ(b.size(), 22u);  // 16 + 3 * 2
    b.resize(20);              // the two trailing bytes are not written
    EXPECT_EQ(b, (std::vector<BYTE>{4, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 2, 3}));
    GlobalFree(cap.hContainer);

    const TW_UINT16 caps[2] = {CAP_XFERCOUNT, ICAP_UNITS};
    ASSERT_EQ(BuildArray(&cap, TWTY_UINT16, 2, caps), TWRC_SUCCESS);
    EXPECT_EQ(cap.ConType, TWON_ARRAY);
    b = Bytes(cap.hContainer);
    ASSERT_EQ(b.size(), 12u);  // 8 + 2 * 2
    b.resize(10);
    EXPECT_EQ(b, (std::vector<BYTE>{4, 0, 2, 0, 0, 0, 1, 0, 2, 1}));
    GlobalFree(cap.hContainer);

    gState.ConditionCode = 0;
    EXPECT_EQ(BuildOneValue(nullptr, TWTY_UINT16, 1), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
}

TEST(ItemsTest, SizesAndPicks) {
    const TW_UINT32 sizes[] = {1, 2, 4, 1, 2, 4, 2, 4, 0, 34, 66, 130, 256, 0};
    for (TW_UINT16 t = 0; t < 14; ++t) EXPECT_EQ(ItemSize(t), sizes[t]) << t;
    const BYTE raw[] = {0xFE, 0xFF, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12};
    TW_UINT32 v = 0;
    EXPECT_EQ(PickItem(raw, TWTY_INT8, 0, &v), TWRC_SUCCESS);
    EXPECT_EQ(v, 0xFEu) << "bytes are zero-extended";
    EXPECT_EQ(PickItem(raw, TWTY_UINT16, 0, &v), TWRC_SUCCESS);
    EXPECT_EQ(v, 0xFFFFFFFEu) << "16-bit items are sign-extended";
    EXPECT_EQ(PickItem(raw, TWTY_INT16, 1, &v), TWRC_SUCCESS);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(PickItem(raw, TWTY_UINT32, 1, &v), TWRC_SUCCESS);
    EXPECT_EQ(v, 0x12345678u);
    for (TW_UINT16 t : {TWTY_BOOL, TWTY_FRAME, TW_UINT16(77)}) {
        gState.ConditionCode = 0;
        EXPECT_EQ(PickItem(raw, t, 0, &v), TWRC_FAILURE) << t;
        EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    }
    BYTE copy[8] = {};
    CopyItems(raw, copy, TWTY_UINT16, 3);
    EXPECT_EQ(memcmp(copy, raw, 6), 0);
    EXPECT_EQ(copy[6], 0);
}

TEST(Read, OneValueAndItsShapes) {
    AppContainer one(TWON_ONEVALUE, {TWTY_UINT32, 0, 0x78, 0x56, 0x34, 0x12});
    TW_UINT16 type = 0;
    TW_UINT32 value = 0;
    EXPECT_EQ(ReadOneValue(&one.cap, &type, &value), TWRC_SUCCESS);
    EXPECT_EQ(type, TWTY_UINT32);
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(ReadOneValue(&one.cap, nullptr, nullptr), TWRC_SUCCESS);
    EXPECT_EQ(GetContainerValue(&one.cap, &type, &value), TWRC_SUCCESS);
    EXPECT_EQ(value, 0x12345678u);
    // Too short for a string or a frame.
    gState.ConditionCode = 0;
    char text[34];
    EXPECT_EQ(ReadOneValueStr32(&one.cap, &type, text), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    TW_FRAME frame;
    EXPECT_EQ(GetContainerFrame(&one.cap, &type, &frame), TWRC_FAILURE);
}

// Hostile containers: each rung fixes one thing; every rung but the last is refused.
TEST(Read, HostileContainersAreRefusedNotRead) {
    TW_UINT16 type;
    TW_UINT32 value;
    gState.ConditionCode = 0;
    EXPECT_EQ(ReadOneValue(nullptr, &type, &value), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    TW_CAPABILITY cap{ICAP_UNITS, TWON_ONEVALUE, nullptr};
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&cap, &type, &value), TWRC_FAILURE) << "null handle";
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    BYTE notGlobal[64] = {};
    cap.hContainer = reinterpret_cast<HANDLE>(notGlobal);
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&cap, &type, &value), TWRC_FAILURE) << "foreign handle";
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    AppContainer shortOne(TWON_ONEVALUE, {TWTY_UINT16, 0, 1});
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&shortOne.cap, &type, &value), TWRC_FAILURE) << "3-byte block";
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    AppContainer wrongShape(TWON_RANGE, std::vector<BYTE>(22));
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&wrongShape.cap, &type, &value), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    // An enumeration claiming 1000 items in a block of 3.
    AppContainer liar(TWON_ENUMERATION, Enum16(1000, 0, 0, {1, 2, 3}));
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&liar.cap, &type, &value), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    // An empty enumeration names no value.
    AppContainer empty(TWON_ENUMERATION, Enum16(0, 0, 0, {}));
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&empty.cap, &type, &value), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    AppContainer good(TWON_ENUMERATION, Enum16(3, 1, 0, {10, 20, 30}));
    EXPECT_EQ(GetContainerValue(&good.cap, &type, &value), TWRC_SUCCESS);
    EXPECT_EQ(value, 20u);
    // Applications size an enumeration as its 14 header bytes and the items, without the padding
    // that the structure's declaration adds: exactly that is enough, a byte less is not.
    auto int32s = Enum16(2, 1, 0, {0x1111, 0x2222, 0x3333, 0x4444}, TWTY_INT32);
    ASSERT_EQ(int32s.size(), 22u);
    AppContainer exact(TWON_ENUMERATION, int32s);
    EXPECT_EQ(GetContainerValue(&exact.cap, &type, &value), TWRC_SUCCESS);
    EXPECT_EQ(value, 0x44443333u);
    int32s.pop_back();
    AppContainer byteShort(TWON_ENUMERATION, int32s);
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&byteShort.cap, &type, &value), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
}

TEST(Read, EnumerationIndexesAndCapacity) {
    AppContainer e(TWON_ENUMERATION, Enum16(3, 3, 7, {10, 20, 30}));
    TW_UINT16 type = 0, n = 0, cur = 9, def = 9;
    TW_UINT16 items[3] = {};
    ASSERT_EQ(ReadEnumeration(&e.cap, &type, &n, &cur, &def, items, sizeof items), TWRC_SUCCESS);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(cur, 0) << "an index equal to the count reads as 0";
    EXPECT_EQ(def, 0);
    EXPECT_EQ(items[2], 30);
    gState.ConditionCode = 0;
    EXPECT_EQ(ReadEnumeration(&e.cap, &type, &n, &cur, &def, items, 5), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_LOWMEMORY);

    std::vector<TW_UINT16> big(1100, 7);
    AppContainer tooBig(TWON_ENUMERATION, Enum16(1100, 0, 0, big));
    TW_UINT32 value = 0;
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&tooBig.cap, &type, &value), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_LOWMEMORY);
    std::vector<TW_UINT16> fits(1024, 7);
    fits[1023] = 9;
    AppContainer justFits(TWON_ENUMERATION, Enum16(1024, 1023, 0, fits));
    EXPECT_EQ(GetContainerValue(&justFits.cap, &type, &value), TWRC_SUCCESS);
    EXPECT_EQ(value, 9u);

    AppContainer strings(TWON_ENUMERATION, Enum16(1, 0, 0, std::vector<TW_UINT16>(17), TWTY_STR32));
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&strings.cap, &type, &value), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    AppContainer bools(TWON_ENUMERATION, Enum16(2, 1, 0, {0, 1}, TWTY_BOOL));
    gState.ConditionCode = 0;
    EXPECT_EQ(GetContainerValue(&bools.cap, &type, &value), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
}

// ---- The dump, read back from the log file.
std::string LogPath() { return WindowsDir() + "\\container_test.log"; }

class LogEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        SetScanIni("SDKDebug", "128");
        SetScanIni("SDKDebugFile", LogPath().c_str());
    }
    void TearDown() override {
        SetScanIni("SDKDebug", nullptr);
        SetScanIni("SDKDebugFile", nullptr);
    }
};
const auto *const kEnv = ::testing::AddGlobalTestEnvironment(new LogEnvironment);

// The message parts of the lines written since the last call (the 26-character prefix cut).
std::vector<std::string> NewLogLines() {
    static size_t seen = 0;
    static bool started = LogWants(kLogTwainApi);  // reads the settings, creates the file
    (void)started;
    std::string text = ReadFileText(LogPath());
    std::vector<std::string> out;
    for (const std::string &line : SplitCrLfLines(text.substr(seen < text.size() ? seen : text.size())))
        if (line.size() >= 26 && line.find("Driver loaded on") == std::string::npos) out.push_back(line.substr(26));
    seen = text.size();
    return out;
}

std::vector<std::string> DumpOf(TW_CAPABILITY &cap) {
    NewLogLines();
    DumpCapability(kLogTwainApi, &cap);
    GlobalFree(cap.hContainer);
    return NewLogLines();
}

TEST(Dump, OneValueLines) {
    using L = std::vector<std::string>;
    TW_CAPABILITY cap{};
    BuildOneValue(&cap, TWTY_FIX32, 1 | (32768u << 16));
    EXPECT_EQ(DumpOf(cap), L{"FIX32: 3/2~=1"});
    BuildOneValue(&cap, TWTY_FIX32, 300);
    EXPECT_EQ(DumpOf(cap), L{"FIX32: 300/1"});
    BuildOneValue(&cap, TWTY_UINT8, 0x1ab);
    EXPECT_EQ(DumpOf(cap), L{"char: ab"});
    BuildOneValue(&cap, TWTY_INT16, 0x12345);
    EXPECT_EQ(DumpOf(cap), L{"word: 2345"});
    BuildOneValue(&cap, TWTY_UINT32, 0xdeadbeef);
    EXPECT_EQ(DumpOf(cap), L{"long: deadbeef"});
    BuildOneValue(&cap, TWTY_BOOL, 2);
    EXPECT_EQ(DumpOf(cap), L{"bool: true"});
    BuildOneValue(&cap, TWTY_BOOL, 0);
    EXPECT_EQ(DumpOf(cap), L{"bool: false"});
    std::vector<BYTE> full(36, 'x');  // an application's text with no terminator at all
    full[0] = TWTY_STR32;
    full[1] = 0;
    AppContainer unterminated(TWON_ONEVALUE, full);
    TW_CAPABILITY raw = unterminated.cap;
    unterminated.cap.hContainer = nullptr;  // DumpOf frees it
    EXPECT_EQ(DumpOf(raw), L{"STR32: [" + std::string(34, 'x') + "]"});
    TW_FRAME f{};
    BuildOneValueFrame(&cap, &f);
    EXPECT_EQ(DumpOf(cap), L{});
}

TEST(Dump, ListsRangesAndArrays) {
    using L = std::vector<std::string>;
    TW_CAPABILITY cap{};
    BuildRange(&cap, TWTY_UINT32, 1, 8, 1, 8, 1);
    EXPECT_EQ(DumpOf(cap), L{"Range: Min: 1   Max: 8   Step: 1   Default: 8    Current: 1"});
    BuildRange(&cap, TWTY_FIX32, 50, 600, 1 | (32768u << 16), 300, 0);
    EXPECT_EQ(DumpOf(cap), L{"Range FIX32: Min: 50/1~=50   Max: 600/1~=600   Step: 3/2~=1    Default: 300/1~=300   "
                             "Current: 0/1~=0"});
    const TW_UINT16 items[3] = {0, 1, 2};
    BuildEnumeration(&cap, TWTY_UINT16, 3, 2, 0, items);
    EXPECT_EQ(DumpOf(cap), (L{"Enumeration: 2-byte values:", "0000 ", "0001 ", "0002 ", "Current: 0002   Default: 0000"}));
    const TW_UINT32 fixes[2] = {100, 2 | (16384u << 16)};  // 100.0 and 2.25
    BuildEnumeration(&cap, TWTY_FIX32, 2, 1, 0, fixes);
    EXPECT_EQ(DumpOf(cap), (L{"Enumeration: 4-byte values:", "100/1~=100 ", "9/4~=2 ",
                              "Current: 9/4~=2   Default: 100/1~=100"}));
    const BYTE bytes[2] = {0x7f, 0x80};
    BuildEnumeration(&cap, TWTY_INT8, 2, 0, 1, bytes);
    EXPECT_EQ(DumpOf(cap), (L{"Enumeration: TWTY_xINT8 values:", "7f ", "80 ", "Current: 7f   Default: 80"}));
    BuildArray(&cap, TWTY_UINT16, 3, items);
    EXPECT_EQ(DumpOf(cap), L{"Array - no debug yet"});
    // A list too big for the dump buffer is not dumped, and the stored code stays.
    std::vector<TW_UINT32> many(5000, 1);
    BuildEnumeration(&cap, TWTY_UINT32, 5000, 0, 0, many.data());
    gState.ConditionCode = TWCC_SEQERROR;
    EXPECT_EQ(DumpOf(cap), L{});
    EXPECT_EQ(gState.ConditionCode, TWCC_SEQERROR);
}

}  // namespace
