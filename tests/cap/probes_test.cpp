// The page-size and driver-capability probes against a scripted driver in the test itself, so
// that each rule can be pinned with exact sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cap/capstate.h"
#include "cap/pagesizes.h"
#include "twain/driver.h"

namespace {

// A driver with page sizes given in pixels at 200 dpi, and a table of tags.
struct FakeDriver {
    std::vector<std::pair<std::string, std::pair<LONG, LONG>>> sizes;  // name -> width, length
    bool hasSizeList = true;
    LONG maxWidth = 0, maxLength = 0;
    bool unreadableMax = false;
    std::string current;
    LONG width = 0, length = 0;
    int brackets = 0;
    std::vector<LONG> capabilityWords;  // tag 1000 + i announces word i
    // Image modes: the choices of bits per sample (258) follow the samples per pixel (277), those
    // of the photometric tag (262) follow the bits per sample. A missing entry: no choices.
    LONG spp = 1, bps = 8;
    std::map<LONG, std::vector<LONG>> depthsBySpp;
    std::vector<LONG> sppChoices;
    std::map<LONG, std::vector<LONG>> photometricsByDepth;
    int setsOutsideBracket = 0;
};
FakeDriver fake;

const std::vector<LONG> *ImageChoices(LONG tag) {
    auto in = [](const std::map<LONG, std::vector<LONG>> &m, LONG key) {
        auto it = m.find(key);
        return it == m.end() ? nullptr : &it->second;
    };
    if (tag == kTagBitsPerSample) return in(fake.depthsBySpp, fake.spp);
    if (tag == kTagSamplesPerPixel) return fake.sppChoices.empty() ? nullptr : &fake.sppChoices;
    if (tag == kTagPhotometric) return in(fake.photometricsByDepth, fake.bps);
    return nullptr;
}

LONG WINAPI FakeEntry(DWORD, LONG message, LONG tag, LONG value) {
    const LONG t = tag & 0xFFFF, index = static_cast<SHORT>(tag >> 16);
    auto *out = reinterpret_cast<LONG *>(value);
    switch (message) {
    case kMsgSnapshot: ++fake.brackets; return 0;
    case kMsgRestoreSnapshot: --fake.brackets; return 0;
    case kMsgChoiceCount:
        if (const std::vector<LONG> *c = ImageChoices(t)) {
            *out = static_cast<LONG>(c->size());
            return 0;
        }
        if (t != kTagPageSize || !fake.hasSizeList) return -4502;
        *out = static_cast<LONG>(fake.sizes.size());
        return 0;
    case kMsgChoiceString:
        if (t != kTagPageSize || index < 0 || index >= static_cast<LONG>(fake.sizes.size())) return -4506;
        strcpy(reinterpret_cast<char *>(value), fake.sizes[index].first.c_str());
        return 0;
    case kMsgSetString:
        for (auto &s : fake.sizes)
            if (s.first == reinterpret_cast<const char *>(value)) {
                fake.current = s.first;
                fake.width = s.second.first;
                fake.length = s.second.second;
                return 0;
            }
        return -4503;
    case kMsgGetRatio:
        if (t != kTagXResolution) return -4502;
        out[0] = 200;
        out[1] = 1;
        return 0;
    case kMsgChoiceLong:
        if (const std::vector<LONG> *c = ImageChoices(t)) {
            if (index < 0 || index >= static_cast<LONG>(c->size())) return -4506;
            *out = (*c)[index];
            return 0;
        }
        if (index != kChoiceMax || fake.unreadableMax) return -4506;
        if (t == kTagWidth) *out = fake.maxWidth;
        else if (t == kTagLength) *out = fake.maxLength;
        else return -4502;
        return 0;
    case kMsgGetLong:
        if (t == 0 && index >= 0) {
            *out = 1000 + index;
            return 0;
        }
        if (t == kTagWidth) *out = fake.width;
        else if (t == kTagLength) *out = fake.length;
        else return -4502;
        return 0;
    case kMsgSetLong:
        if (fake.brackets == 0) ++fake.setsOutsideBracket;
        if (t == kTagSamplesPerPixel) fake.spp = value;
        else if (t == kTagBitsPerSample) fake.bps = value;
        else return -4502;
        return 0;
    case kMsgTagCount: *out = static_cast<LONG>(fake.capabilityWords.size()); return 0;
    case kMsgTagCapability: *out = fake.capabilityWords.at(t - 1000); return 0;
    default: return -4542;
    }
}

// Pixels at 200 dpi that the source reads back as the given millimetres.
LONG Px(LONG mm) { return (mm * 2000 + 127) / 254; }

std::vector<TW_INT16> Offered() {
    std::vector<TW_INT16> codes;
    for (const PageSizeEntry *e = PageSizeTable; e->code != -1; ++e)
        if (e->offered) codes.push_back(e->code);
    return codes;
}

class Probes : public ::testing::Test {
protected:
    void SetUp() override {
        fake = FakeDriver{};
        gDriver = JEXDRIVER{FakeEntry, 0, 1, 0};
    }
    void TearDown() override { gDriver = JEXDRIVER{}; }
};

TEST_F(Probes, MillimetresFromPixels) {
    EXPECT_EQ(PixelsToMm(1700, 200, 1), 216);  // 215.9
    EXPECT_EQ(PixelsToMm(Px(216), 200, 1), 216);
    EXPECT_EQ(PixelsToMm(Px(279), 200, 1), 279);
    EXPECT_EQ(PixelsToTenthsMm(1700, 200, 1), 2159);
    EXPECT_EQ(PixelsToMm(5, 0, 1), 0) << "no resolution, no length";
}

TEST_F(Probes, NearSizeMarksOnlyItsEntry) {
    fake.sizes = {{"Near Letter", {Px(216), Px(279)}}, {"Exact A4", {Px(210), Px(297)}}, {"Tiny", {Px(3), Px(3)}}};
    fake.current = "Exact A4";
    RefreshPageSizes();
    EXPECT_TRUE(bDriverPageNames);
    EXPECT_EQ(Offered(), (std::vector<TW_INT16>{TWSS_A4LETTER, TWSS_USLETTER})) << "the tiny size matches nothing";
    EXPECT_EQ(PageSizeTable[1].choice, 1);  // A4: the second choice
    EXPECT_EQ(PageSizeTable[3].choice, 0);  // US letter: the first
    EXPECT_EQ(fake.brackets, 0) << "the bracket is closed";
    // The current size is the one selected last by the probe here (no real restore in the fake).
    fake.width = Px(216);
    fake.length = Px(279);
    EXPECT_EQ(MatchPageSize(), TWSS_USLETTER);
    fake.width = fake.length = Px(2);
    EXPECT_EQ(MatchPageSize(), -1);
}

TEST_F(Probes, OneChoiceMarksSeveralEntriesUnlessExact) {
    // 183 x 262 lies within 7 mm of both B5 (182 x 257) and US executive (184 x 266).
    fake.sizes = {{"Between", {Px(183), Px(262)}}};
    RefreshPageSizes();
    EXPECT_EQ(Offered(), (std::vector<TW_INT16>{TWSS_B5LETTER, TWSS_USEXECUTIVE}));
    // Exactly B5: the search stops at B5.
    fake.sizes = {{"B5", {Px(182), Px(257)}}};
    RefreshPageSizes();
    EXPECT_EQ(Offered(), (std::vector<TW_INT16>{TWSS_B5LETTER}));
}

TEST_F(Probes, WithoutNamesTheOwnListFitsTheLargestArea) {
    fake.hasSizeList = false;
    fake.maxWidth = 1700;   // 8.5 inches at 200 dpi
    fake.maxLength = 2800;  // 14 inches
    RefreshPageSizes();
    EXPECT_FALSE(bDriverPageNames);
    EXPECT_EQ(Offered(), (std::vector<TW_INT16>{TWSS_A4LETTER, TWSS_USLETTER, TWSS_USLEGAL, TWSS_A5}));
    EXPECT_EQ(PageSizeTable[3].stringId, 32);  // Letter
    EXPECT_EQ(PageSizeTable[4].stringId, 10);  // Legal
    EXPECT_EQ(PageSizeTable[1].stringId, 36);  // A4

    // A scan area without a limit: every size of the own list, whether the maximum reads as the
    // largest number or cannot be read at all.
    const std::vector<TW_INT16> all{TWSS_A4LETTER, TWSS_USLETTER, TWSS_USLEGAL, TWSS_A5, TWSS_A3};
    fake.maxWidth = fake.maxLength = LONG_MAX;
    RefreshPageSizes();
    EXPECT_EQ(Offered(), all) << "the 1 % allowance on the largest maximum";
    fake.unreadableMax = true;
    RefreshPageSizes();
    EXPECT_EQ(Offered(), all) << "no maximum";
}

// Gray is offered when a depth above 1 bit is offered at one sample per pixel, RGB when 3 samples
// are, palette when the photometric tag offers 3 at any of the depths; all looked at inside a
// settings bracket.
TEST_F(Probes, ImageTypesOfferedFollowTheDriversChoices) {
    using Choices = std::map<LONG, std::vector<LONG>>;
    struct Row {
        LONG spp;                // samples per pixel when the probe starts
        Choices depthsBySpp;     // 277 -> choices of 258
        std::vector<LONG> sppChoices;
        Choices photometrics;    // 258 -> choices of 262
        BOOL gray, rgb, palette;
    };
    // start  depths by samples          samples  photometric by depth      gray   rgb    palette
    const Row rows[] = {
        {1, {{1, {1}}},                  {1},     {},                       FALSE, FALSE, FALSE},
        {1, {{1, {1, 4, 8}}},            {1},     {{1, {0}}, {8, {0}}},     TRUE,  FALSE, FALSE},
        {1, {{1, {1, 8}}},               {1, 3},  {},                       TRUE,  TRUE,  FALSE},
        {1, {{1, {1, 4, 8}}},            {1},     {{4, {0, 3}}, {8, {0}}},  TRUE,  FALSE, TRUE},
        {1, {{1, {1}}},                  {1},     {{1, {0, 3}}},            FALSE, FALSE, TRUE},
        {1, {{1, {8}}},                  {1},     {{8, {0, 2}}},            TRUE,  FALSE, FALSE},
        {3, {{1, {1}}, {3, {8}}},        {1, 3},  {},                       FALSE, TRUE,  FALSE},  // 277 := 1 first
        {1, {},                          {3},     {},                       FALSE, TRUE,  FALSE},  // no depths at all
        {1, {{1, {2}}},                  {2, 4},  {{2, {1}}},               TRUE,  FALSE, FALSE},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.depthsBySpp) + " / " + ::testing::PrintToString(r.photometrics));
        fake = FakeDriver{};
        fake.spp = r.spp;
        fake.depthsBySpp = r.depthsBySpp;
        fake.sppChoices = r.sppChoices;
        fake.photometricsByDepth = r.photometrics;
        gCaps.bGrayOffered = gCaps.bRgbOffered = gCaps.bPaletteOffered = 7;  // what an earlier open left
        ProbeImageTypes();
        EXPECT_EQ(gCaps.bGrayOffered, r.gray);
        EXPECT_EQ(gCaps.bRgbOffered, r.rgb);
        EXPECT_EQ(gCaps.bPaletteOffered, r.palette);
        EXPECT_EQ(fake.brackets, 0) << "the bracket is closed";
        EXPECT_EQ(fake.setsOutsideBracket, 0) << "tags changed outside the bracket";
    }
}

TEST_F(Probes, DriverCapabilityTableKeepsAHundred) {
    for (int i = 0; i < 150; ++i) fake.capabilityWords.push_back(i == 3 ? 0 : (0x8000 + i) | (i == 7 ? 0x10000 : 0));
    LoadDriverCapabilities();
    TW_UINT16 tag = 0, flags = 0;
    EXPECT_TRUE(FindDriverCapability(0x8000, &tag, &flags));
    EXPECT_EQ(tag, 1000);
    EXPECT_FALSE(FindDriverCapability(0x8003, &tag, &flags)) << "a zero word announces nothing";
    ASSERT_TRUE(FindDriverCapability(0x8007, &tag, &flags));
    EXPECT_EQ(tag, 1007);
    EXPECT_EQ(flags, 1);
    EXPECT_TRUE(FindDriverCapability(0x8000 + 100, &tag, &flags)) << "the 100th entry (one word was zero)";
    EXPECT_FALSE(FindDriverCapability(0x8000 + 101, &tag, &flags)) << "entries past 100 are ignored";
    EXPECT_FALSE(FindDriverCapability(0, &tag, &flags));
    // A new load starts from an empty table.
    fake.capabilityWords = {0x8200};
    LoadDriverCapabilities();
    EXPECT_FALSE(FindDriverCapability(0x8000, &tag, &flags));
    EXPECT_TRUE(FindDriverCapability(0x8200, &tag, &flags));
}

}  // namespace
