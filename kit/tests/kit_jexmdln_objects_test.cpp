// Objects of the virtual jexmdln: image tags, colour tables, palette objects, zone tags, handle
// checks against null, freed and foreign values, live counts, the call record and error texts.
#include "kit_jexmdln_helpers.h"
#include "win_helpers.h"

#include <cstring>
#include <set>
#include <string>

using namespace kittest;

namespace {

TEST(KitJexmImage, TagsOfAPage) {
    Page page = MakePage(1700, 2200, 1, 1, 0);
    page.d.xResNum = 600;  // reduced to 300/1 before packing
    page.d.xResDen = 2;
    page.d.yResNum = 200;
    page.d.yResDen = 1;
    HJEXM image = nullptr;
    ASSERT_EQ(0, JexmCreateImage(&image));
    LONG v = -1;
    EXPECT_EQ(JEXM_ERR_NOPAGE, JexmGetTag(image, 256, &v));
    ASSERT_EQ(0, JexmKitSetPage(image, &page.d, nullptr));
    struct {
        LONG tag, value;
    } const want[] = {{256, 1700}, {257, 2200}, {258, 1},   {259, 1},
                      {262, 0},    {277, 1},    {282, 300 | 1 << 16}, {283, 200 | 1 << 16},
                      {284, 1},    {320, 2}};
    for (auto w : want) {
        EXPECT_EQ(0, JexmGetTag(image, w.tag, &v)) << "tag " << w.tag;
        EXPECT_EQ(w.value, v) << "tag " << w.tag;
    }
    v = 77;
    EXPECT_EQ(JEXM_ERR_BADTAG, JexmGetTag(image, 286, &v));
    EXPECT_EQ(77, v);
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmGetTag(image, 256, nullptr));
    JexmFreeImage(image);
}

TEST(KitJexmImage, PageDescriptionsRefused) {
    HJEXM image = nullptr;
    ASSERT_EQ(0, JexmCreateImage(&image));
    struct Case {
        LONG width, length, bps, spp, pm, xn, xd, error;
    };
    // width   length  bps spp pm  xres        error
    const Case cases[] = {
        {0, 10, 1, 1, 1, 100, 1, JEXM_ERR_TOOBIG},       {10, -1, 1, 1, 1, 100, 1, JEXM_ERR_TOOBIG},
        {100001, 10, 1, 1, 1, 100, 1, JEXM_ERR_TOOBIG},  {60000, 60000, 8, 3, 2, 100, 1, JEXM_ERR_TOOBIG},
        {10, 10, 3, 1, 1, 100, 1, JEXM_ERR_BADVALUE},    {10, 10, 8, 2, 1, 100, 1, JEXM_ERR_BADVALUE},
        {10, 10, 8, 3, 1, 100, 1, JEXM_ERR_BADVALUE},    {10, 10, 8, 1, 2, 100, 1, JEXM_ERR_BADVALUE},
        {10, 10, 8, 1, 1, 70000, 1, JEXM_ERR_BADVALUE},  {10, 10, 8, 1, 1, -3, 1, JEXM_ERR_BADVALUE},
    };
    for (const Case &c : cases) {
        JEXMKITPAGE d = {c.width, c.length, c.bps, c.spp, c.pm, c.xn, c.xd, 100, 1, 1};
        EXPECT_EQ(c.error, JexmKitSetPage(image, &d, nullptr)) << c.width << "x" << c.length << " bps " << c.bps;
    }
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmKitSetPage(image, nullptr, nullptr));
    JEXMKITPAGE d = {10, 10, 8, 1, 1, 100, 1, 100, 1, 1};
    ASSERT_EQ(0, JexmKitSetPage(image, &d, nullptr));
    BYTE rows[100] = {};
    EXPECT_EQ(JEXM_ERR_BADPITCH, JexmKitPutRows(image, 0, 10, rows, 9));
    EXPECT_EQ(JEXM_ERR_BADRECT, JexmKitPutRows(image, 5, 6, rows, 10));
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmKitPutRows(image, 0, 1, nullptr, 10));
    // Rows written bottom-up (negative pitch) come back top-down.
    for (int i = 0; i < 100; ++i) rows[i] = (BYTE)i;
    ASSERT_EQ(0, JexmKitPutRows(image, 0, 10, rows + 90, -10));
    BYTE back[100];
    ASSERT_EQ(0, JexmKitGetRows(image, 0, 10, back, 10));
    for (int y = 0; y < 10; ++y) EXPECT_EQ(rows[(9 - y) * 10], back[y * 10]);
    JexmFreeImage(image);
}

TEST(KitJexmImage, ColourMapAndRgbTriplets) {
    Page page = MakePage(4, 4, 2, 1, 3);
    HJEXM image = LoadPage(page);
    BYTE map[12] = {};
    ASSERT_EQ(0, JexmGetColorMap(image, 320, 12, map));
    EXPECT_EQ(0, memcmp(map, page.map.data(), 12)) << "all reds, all greens, all blues";
    BYTE rgb[12];
    ASSERT_EQ(0, JexmColorMapToRGB(4, map, rgb));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(page.map[i], rgb[3 * i]);
        EXPECT_EQ(page.map[4 + i], rgb[3 * i + 1]);
        EXPECT_EQ(page.map[8 + i], rgb[3 * i + 2]);
    }
    ASSERT_EQ(0, JexmColorMapToRGB(4, map, map));  // in place
    EXPECT_EQ(0, memcmp(map, rgb, 12));
    BYTE first2[6];
    ASSERT_EQ(0, JexmGetColorMap(image, 320, 6, first2));
    EXPECT_EQ(page.map[0], first2[0]);
    EXPECT_EQ(page.map[4], first2[2]) << "greens follow the first two reds";
    EXPECT_EQ(JEXM_ERR_BUFFER, JexmGetColorMap(image, 320, 15, map));
    EXPECT_EQ(JEXM_ERR_BADARG, JexmGetColorMap(image, 320, 13, map));
    EXPECT_EQ(JEXM_ERR_BADTAG, JexmGetColorMap(image, 321, 12, map));
    JexmFreeImage(image);

    // Gray pages: the black-to-white ramp; colour pages: none.
    image = LoadPage(MakePage(4, 4, 4, 1, 0));
    BYTE ramp[48];
    ASSERT_EQ(0, JexmGetColorMap(image, 320, 48, ramp));
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(ramp[i] == i * 17 && ramp[16 + i] == i * 17 && ramp[32 + i] == i * 17);
    JexmFreeImage(image);
    image = LoadPage(MakePage(4, 4, 8, 3, 2));
    EXPECT_EQ(0, JexmGetColorMap(image, 320, 0, nullptr)) << "the data source asks for 0 entries";
    EXPECT_EQ(JEXM_ERR_NOCOLORMAP, JexmGetColorMap(image, 320, 3, map));
    JexmFreeImage(image);
    EXPECT_EQ(0, JexmColorMapToRGB(0, nullptr, nullptr));
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmColorMapToRGB(2, nullptr, rgb));
    EXPECT_EQ(JEXM_ERR_BADARG, JexmColorMapToRGB(-1, map, rgb));
}

// DAT_PALETTE8 builds a palette object and reads its colours in index order.
TEST(KitJexmPalette, ObjectGivesThePageColoursInOrder) {
    Page page = MakePage(4, 4, 4, 1, 3);
    HJEXM image = LoadPage(page);
    HJEXMPAL pal = nullptr;
    ASSERT_EQ(0, JexmPaletteCreate(0, &pal));
    BYTE map[48];
    EXPECT_EQ(JEXM_ERR_PALSTATE, JexmPaletteFinish(pal)) << "finish before fill";
    EXPECT_EQ(JEXM_ERR_PALSTATE, JexmPaletteGetColors(pal, 0, 16, map)) << "read before finish";
    EXPECT_EQ(JEXM_ERR_BADTAG, JexmPaletteSetAttr(pal, 1825, 16));
    EXPECT_EQ(JEXM_ERR_BADVALUE, JexmPaletteSetAttr(pal, 1824, 0));
    EXPECT_EQ(JEXM_ERR_BADVALUE, JexmPaletteSetAttr(pal, 1824, 257));
    ASSERT_EQ(0, JexmPaletteSetAttr(pal, 1824, 16));
    ASSERT_EQ(0, JexmPaletteFill(pal, image));
    EXPECT_EQ(JEXM_ERR_PALSTATE, JexmPaletteSetAttr(pal, 1824, 8)) << "size after fill";
    ASSERT_EQ(0, JexmPaletteFinish(pal));
    ASSERT_EQ(0, JexmPaletteGetColors(pal, 0, 16, map));
    EXPECT_EQ(0, memcmp(map, page.map.data(), 48));
    BYTE part[6];
    ASSERT_EQ(0, JexmPaletteGetColors(pal, 14, 2, part));
    EXPECT_TRUE(part[0] == page.map[14] && part[1] == page.map[15] && part[2] == page.map[30] && part[5] == page.map[47]);
    EXPECT_EQ(JEXM_ERR_BADARG, JexmPaletteGetColors(pal, 15, 2, part));
    EXPECT_EQ(JEXM_ERR_BADARG, JexmPaletteGetColors(pal, -1, 1, part));
    EXPECT_EQ(0, JexmPaletteFree(pal));

    // A 1-bit black-and-white page gives black then white.
    HJEXM bw = LoadPage(MakePage(8, 2, 1, 1, 0));
    ASSERT_EQ(0, JexmPaletteCreate(0, &pal));
    ASSERT_EQ(0, JexmPaletteSetAttr(pal, 1824, 2));
    ASSERT_EQ(0, JexmPaletteFill(pal, bw));
    ASSERT_EQ(0, JexmPaletteFinish(pal));
    ASSERT_EQ(0, JexmPaletteGetColors(pal, 0, 2, part));
    EXPECT_TRUE(part[0] == 0 && part[1] == 255 && part[2] == 0 && part[3] == 255 && part[4] == 0 && part[5] == 255);
    EXPECT_EQ(0, JexmPaletteFree(pal));
    JexmFreeImage(bw);
    JexmFreeImage(image);
}

TEST(KitJexmZone, TagsAcceptedAndRefused) {
    HJEXMZONE zone = MakeZone();
    struct {
        LONG tag, value, result;
    } const cases[] = {
        {256, 100, 0}, {257, 1, 0}, {256, 0, JEXM_ERR_BADVALUE}, {262, 0, 0}, {262, 1, 0}, {262, 2, 0},
        {262, 3, 0}, {262, 120, 0}, {262, 4, JEXM_ERR_BADVALUE}, {284, 1, 0}, {284, 2, JEXM_ERR_BADVALUE},
        {4096, 1, 0}, {4098, 4, 0}, {4098, 6, JEXM_ERR_BADVALUE}, {4099, 1, 0}, {4097, 0, JEXM_ERR_BADTAG},
        {258, 8, JEXM_ERR_BADTAG},
    };
    for (auto c : cases) EXPECT_EQ(c.result, JexmSetZoneTag(zone, c.tag, 0, 1, c.value)) << c.tag << " = " << c.value;
    EXPECT_EQ(JEXM_ERR_BADARG, JexmSetZoneTag(zone, 256, 0, 2, 10));
    EXPECT_EQ(JEXM_ERR_BADARG, JexmSetZoneTag(zone, 256, 1, 1, 10));
    JexmFreeZone(zone);
    HJEXMZONE other = nullptr;
    EXPECT_EQ(JEXM_ERR_BADARG, JexmCreateZone(&other, 2));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmCreateZone(nullptr, 1));
}

// A zone of another size scales the page (nearest pixel); the rectangle is in the zone's size.
TEST(KitJexmZone, OutputSizeScalesThePage) {
    Page page = MakePage(10, 6, 8, 1, 1, 2);
    HJEXM image = LoadPage(page);
    HJEXMZONE zone = MakeZone();
    ASSERT_EQ(0, JexmSetZoneTag(zone, 256, 0, 1, 20));
    ASSERT_EQ(0, JexmSetZoneTag(zone, 257, 0, 1, 3));
    BYTE buf[60];
    LONG rect[4] = {0, 0, 20, 3};
    ASSERT_EQ(0, JexmRectGetEx(image, zone, 60, rect, buf, 20, 0, FormatCode(8, 0)));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(page.At(x / 2, y * 2), buf[y * 20 + x]);
    LONG beyond[4] = {0, 0, 20, 4};
    EXPECT_EQ(JEXM_ERR_BADRECT, JexmRectGetEx(image, zone, 60, beyond, buf, 20, 0, FormatCode(8, 0)));
    JexmFreeZone(zone);
    JexmFreeImage(image);
}

// Null, freed, forged and foreign handles are refused by every call, and nothing leaks.
TEST(KitJexmHandles, NullFreedAndForeignHandlesRefused) {
    const std::vector<LONG> before = Live();
    Page page = MakePage(8, 8, 8, 1, 1);
    HJEXM image = LoadPage(page);
    HJEXMZONE zone = MakeZone();
    HJEXMPAL pal = nullptr;
    ASSERT_EQ(0, JexmPaletteCreate(0, &pal));
    EXPECT_EQ((std::vector<LONG>{before[0] + 1, before[1] + 1, before[2] + 1}), Live());

    HJEXM freedImage = nullptr;
    ASSERT_EQ(0, JexmCreateImage(&freedImage));
    ASSERT_EQ(0, JexmFreeImage(freedImage));
    EXPECT_EQ(JEXM_ERR_BADIMAGE, JexmFreeImage(freedImage)) << "double free";
    HJEXMZONE freedZone = MakeZone();
    ASSERT_EQ(0, JexmFreeZone(freedZone));
    EXPECT_EQ(JEXM_ERR_BADZONE, JexmFreeZone(freedZone));

    LONG local[64] = {};  // a foreign pointer that must not be taken for an object
    const HJEXM badImages[] = {nullptr, freedImage, reinterpret_cast<HJEXM>(local),
                               reinterpret_cast<HJEXM>((uintptr_t)zone), reinterpret_cast<HJEXM>((uintptr_t)0x49000000),
                               reinterpret_cast<HJEXM>((uintptr_t)0xFFFFFFFF), reinterpret_cast<HJEXM>((uintptr_t)pal)};
    BYTE buf[64];
    LONG rect[4] = {0, 0, 8, 8}, v = 0;
    for (HJEXM bad : badImages) {
        SCOPED_TRACE(testing::Message() << "image " << bad);
        EXPECT_EQ(JEXM_ERR_BADIMAGE, JexmGetTag(bad, 256, &v));
        EXPECT_EQ(JEXM_ERR_BADIMAGE, JexmGetColorMap(bad, 320, 3, buf));
        EXPECT_EQ(JEXM_ERR_BADIMAGE, JexmRectGetEx(bad, zone, 64, rect, buf, 8, 0, 0x07000000));
        EXPECT_EQ(JEXM_ERR_BADIMAGE, JexmPaletteFill(pal, bad));
        EXPECT_EQ(JEXM_ERR_BADIMAGE, JexmKitSetPage(bad, &page.d, nullptr));
        EXPECT_EQ(JEXM_ERR_BADIMAGE, JexmKitPutRows(bad, 0, 1, buf, 8));
        EXPECT_EQ(JEXM_ERR_BADIMAGE, JexmFreeImage(bad));
    }
    const HJEXMZONE badZones[] = {nullptr, freedZone, reinterpret_cast<HJEXMZONE>(local),
                                  reinterpret_cast<HJEXMZONE>((uintptr_t)image)};
    for (HJEXMZONE bad : badZones) {
        EXPECT_EQ(JEXM_ERR_BADZONE, JexmSetZoneTag(bad, 256, 0, 1, 8));
        EXPECT_EQ(JEXM_ERR_BADZONE, JexmRectGetEx(image, bad, 64, rect, buf, 8, 0, 0x07000000));
        EXPECT_EQ(JEXM_ERR_BADZONE, JexmFreeZone(bad));
    }
    const HJEXMPAL badPals[] = {nullptr, reinterpret_cast<HJEXMPAL>(local), reinterpret_cast<HJEXMPAL>((uintptr_t)image),
                                reinterpret_cast<HJEXMPAL>((uintptr_t)((uintptr_t)pal ^ 0x4000))};
    for (HJEXMPAL bad : badPals) {
        EXPECT_EQ(JEXM_ERR_BADPALETTE, JexmPaletteSetAttr(bad, 1824, 2));
        EXPECT_EQ(JEXM_ERR_BADPALETTE, JexmPaletteFinish(bad));
        EXPECT_EQ(JEXM_ERR_BADPALETTE, JexmPaletteGetColors(bad, 0, 1, buf));
        EXPECT_EQ(JEXM_ERR_BADPALETTE, JexmPaletteFree(bad));
    }
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmCreateImage(nullptr));
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmPaletteCreate(0, nullptr));
    for (LONG x : local) ASSERT_EQ(0, x) << "the foreign block was not written";

    EXPECT_EQ(0, JexmPaletteFree(pal));
    EXPECT_EQ(0, JexmFreeZone(zone));
    EXPECT_EQ(0, JexmFreeImage(image));
    EXPECT_EQ(before, Live());
}

TEST(KitJexmHandles, TableFullIsAnErrorNotACrash) {
    std::vector<HJEXMZONE> zones;
    LONG r = 0;
    for (int i = 0; i < 2000 && r == 0; ++i) {
        HJEXMZONE z = nullptr;
        r = JexmCreateZone(&z, 1);
        if (r == 0) zones.push_back(z);
    }
    EXPECT_EQ(JEXM_ERR_TOOMANY, r);
    std::set<HJEXMZONE> distinct(zones.begin(), zones.end());
    EXPECT_EQ(zones.size(), distinct.size());
    for (HJEXMZONE z : zones) ASSERT_EQ(0, JexmFreeZone(z));
    EXPECT_EQ(0, Live()[1]);
}

TEST(KitJexmRecord, CallsAreRecordedInOrder) {
    JexmKitResetCalls();
    HJEXM image = nullptr;
    JexmCreateImage(&image);
    LONG v;
    JexmGetTag(image, 256, &v);  // no page yet
    JexmFreeImage(image);
    ASSERT_EQ(3, JexmKitCallCount());
    char line[256];
    ASSERT_EQ(0, JexmKitGetCall(0, line, sizeof line));
    char handle[16];
    snprintf(handle, sizeof handle, "0x%08lx", (unsigned long)(uintptr_t)image);
    EXPECT_EQ(std::string("10 CreateImage(-> ") + handle + ") = 0", line);
    ASSERT_EQ(0, JexmKitGetCall(1, line, sizeof line));
    EXPECT_EQ(std::string("13 GetTag(") + handle + ", 256 -> 0) = " + std::to_string(JEXM_ERR_NOPAGE), line);
    ASSERT_EQ(0, JexmKitGetCall(2, line, sizeof line));
    EXPECT_EQ(std::string("11 FreeImage(") + handle + ") = 0", line);
    EXPECT_EQ(JEXM_ERR_GONE, JexmKitGetCall(3, line, sizeof line));
    ASSERT_EQ(0, JexmKitGetCall(2, line, 5));
    EXPECT_STREQ("11 F", line) << "cut to the buffer, terminated";
    for (int i = 0; i < 600; ++i) JexmDisplayEnd();  // refused, but recorded
    EXPECT_EQ(603, JexmKitCallCount());
    EXPECT_EQ(JEXM_ERR_GONE, JexmKitGetCall(0, line, sizeof line)) << "the ring keeps the last calls";
    ASSERT_EQ(0, JexmKitGetCall(602, line, sizeof line));
    EXPECT_EQ("4 DisplayEnd() = " + std::to_string(JEXM_ERR_DISPLAY), line);
    JexmKitResetCalls();
    EXPECT_EQ(0, JexmKitCallCount());
}

TEST(KitJexmRecord, ErrorTextsAndExportsByName) {
    std::set<std::string> texts;
    for (LONG e = JEXM_ERR_GONE; e <= JEXM_ERR_NULLARG; ++e) {
        char buf[128] = {};
        ASSERT_EQ(0, JexmKitErrorText(e, buf, sizeof buf)) << e;
        EXPECT_GT(strlen(buf), 10u) << e;
        texts.insert(buf);
    }
    EXPECT_EQ(22u, texts.size()) << "one distinct text per error";
    char buf[8] = "keep";
    EXPECT_NE(0, JexmKitErrorText(JEX_ERR_CANCEL, buf, sizeof buf));
    EXPECT_STREQ("keep", buf);
    EXPECT_NE(0, JexmKitErrorText(-5100, buf, sizeof buf));
    EXPECT_EQ(0, JexmKitErrorText(JEXM_ERR_BUFFER, buf, sizeof buf));
    EXPECT_EQ(7u, strlen(buf));

    HMODULE dll = GetModuleHandleA("jexmdln.dll");
    ASSERT_NE(nullptr, dll);
    for (const char *name : {"JexmKitSetPage", "JexmKitPutRows", "JexmKitGetRows", "JexmKitLiveObjects",
                             "JexmKitErrorText", "JexmKitCallCount", "JexmKitGetCall", "JexmKitResetCalls"})
        EXPECT_NE(nullptr, GetProcAddress(dll, name)) << name;
    auto rectGet = GetProc<decltype(&JexmRectGetEx)>(dll, MAKEINTRESOURCEA(45));
    ASSERT_NE(nullptr, rectGet);
    LONG rect[4] = {0, 0, 1, 1};
    EXPECT_EQ(JEXM_ERR_BADIMAGE, rectGet(nullptr, nullptr, 4, rect, buf, 4, 0, 0x07000000));
    EXPECT_EQ(nullptr, GetProcAddress(dll, "JexmRectGetEx")) << "contract calls only by ordinal";
}

}  // namespace
