// The routines behind a transfer, on their own: which page layouts make a DIB, and the bar-code
// collector's list as the driver chain fills and empties it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "jexmkit.h"
#include "ui/barcode.h"
#include "ui/bardata.h"
#include "xfer/pagestate.h"

namespace {

HJEXM MakeImage(LONG width, LONG length, LONG bits, LONG samples, LONG photometric) {
    HJEXM image = nullptr;
    JexmCreateImage(&image);
    JEXMKITPAGE page{width, length, bits, samples, photometric, 300, 1, 300, 1, 1};
    JexmKitSetPage(image, &page, nullptr);
    return image;
}

}  // namespace

TEST(JexmToDib, OnlyLayoutsADibHolds) {
    struct Row {
        LONG bits, samples, photometric;
        bool made;
    };
    const Row rows[] = {{1, 1, 0, true}, {2, 1, 1, false}, {4, 1, 1, true}, {8, 1, 1, true},
                        {8, 3, 2, true}, {4, 3, 2, false}, {1, 3, 2, false}};
    for (const Row &r : rows) {
        HJEXM image = MakeImage(33, 7, r.bits, r.samples, r.photometric);
        HJEXMZONE zone = nullptr;
        JexmCreateZone(&zone, 1);
        gPage.hPageJexm = image;
        TW_UINT16 why = 0xFFFF;
        HGLOBAL dib = JexmToDib(image, zone, &why);
        EXPECT_EQ(dib != nullptr, r.made) << r.bits << " x " << r.samples;
        EXPECT_EQ(why, r.made ? TWCC_SUCCESS : TWCC_OPERATIONERROR) << r.bits << " x " << r.samples;
        if (dib) {
            auto *h = static_cast<BITMAPINFOHEADER *>(GlobalLock(dib));
            EXPECT_EQ(h->biBitCount, r.bits * r.samples);
            EXPECT_EQ(h->biXPelsPerMeter, 11811) << "300 dpi";
            GlobalUnlock(dib);
            GlobalFree(dib);
        }
        gPage.hPageJexm = nullptr;
        JexmFreeZone(zone);
        JexmFreeImage(image);
    }
    EXPECT_EQ(JexmToDib(nullptr, nullptr), nullptr);
}

namespace {

// The driver the collector's record calls: it answers the two tags of the bar code at hand.
struct Code {
    std::string text;
    LONG type;
};
Code gCode;

LONG WINAPI FakeDriver(DWORD, LONG message, LONG tag, LONG value) {
    if (message == 0x312) {
        const int size = static_cast<int>(static_cast<DWORD>(tag) >> 16);
        lstrcpynA(reinterpret_cast<char *>(value), gCode.text.c_str(), size);
        return 0;
    }
    if (message == 0x310) {
        *reinterpret_cast<LONG *>(value) = gCode.type;
        return 0;
    }
    return 0;
}

}  // namespace

// Eight codes a page at most, none without a text or a type; patch codes are kept for the end of
// job; a new page frees the texts of the last one.
TEST(BarcodeCollector, FillsAndEmptiesTheList) {
    ResetBarData();
    JEXLIBRECORD record{};
    record.words[0] = reinterpret_cast<DWORD>(&FakeDriver);
    record.words[2] = 1;
    const Code codes[] = {{"A1", 3}, {"", 3}, {"no type", 0}, {"B2", 15}, {"P", 10},
                          {"C3", 1}, {"D4", 2}, {"E5", 3},    {"F6", 4},  {"G7", 5}, {"H8", 6}};
    for (const Code &c : codes) {
        gCode = c;
        BarcodeMiniProc(&record, 1585, 0, 0);
    }
    ASSERT_EQ(BarData.count, 8);
    EXPECT_EQ(BarData.entries[0].type, 3);
    EXPECT_EQ(BarData.entries[1].type, 15);
    EXPECT_EQ(BarData.entries[2].type, 10);
    EXPECT_EQ(BarData.entries[7].type, 5) << "the ninth and later are dropped";
    EXPECT_EQ(BarData.entries[0].textLength, 2);
    EXPECT_EQ(BarData.entries[0].x, -1);
    EXPECT_STREQ(static_cast<const char *>(GlobalLock(BarData.entries[1].text)), "B2");
    GlobalUnlock(BarData.entries[1].text);
    EXPECT_EQ(gPage.PatchCodes.count, 1);
    EXPECT_EQ(gPage.PatchCodes.entries[0].type, 10);
    EXPECT_EQ(BarcodeTypeToTwain(10), 2);
    EXPECT_EQ(BarcodeTypeToTwain(99), -1);
    // A text as long as the buffer is cut to 255 characters and terminated.
    ResetBarData();
    gCode = {std::string(300, 'x'), 3};
    BarcodeMiniProc(&record, 1585, 0, 0);
    EXPECT_EQ(BarData.entries[0].textLength, 255);

    HGLOBAL old = BarData.entries[0].text;
    BarcodeMiniProc(&record, 259, 0, 0);
    EXPECT_EQ(BarData.count, 0);
    EXPECT_EQ(BarData.entries[0].text, nullptr);
    EXPECT_EQ(GlobalSize(old), 0u) << "freed, not dropped";
    EXPECT_EQ(gPage.PatchCodes.count, 0);
    LONG strip = 77;
    EXPECT_EQ(BarcodeMiniProc(&record, 545, 0, reinterpret_cast<LONG>(&strip)), 0);
    EXPECT_EQ(strip, 0);
    EXPECT_EQ(BarcodeMiniProc(nullptr, 1585, 0, 0), -4501);
}
