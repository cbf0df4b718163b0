// Rows of the virtual jexmdln's RectGetEx against pixels computed independently: for every format
// code the data source builds, the colour each delivered sample stands for (through the colour
// table the library gives, or through the pixel flavour asked for) must be the colour of the page.
#include "kit_jexmdln_helpers.h"

#include <cstring>

using namespace kittest;

namespace {

constexpr LONG kGray = 0, kPalette = 0x200000, kColour = 0x300000, kDib = 0x400000;

// The palette of a DIB as the data source builds it: tag 320 through 18, interleaved by 91.
std::vector<Rgb> DibPalette(HJEXM image, int entries) {
    std::vector<BYTE> map(3 * entries), rgb(3 * entries);
    EXPECT_EQ(0, JexmGetColorMap(image, 320, 3 * entries, map.data()));
    EXPECT_EQ(0, JexmColorMapToRGB(entries, map.data(), rgb.data()));
    std::vector<Rgb> out;
    for (int i = 0; i < entries; ++i) out.push_back({rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]});
    return out;
}

int PaddedRow(int width, int bits) { return ((width * bits + 7) / 8 + 3) & ~3; }

// One-sample pages read as a DIB is read: the zone asks for the sense opposite to the invert flag
// (pixel flavour vanilla: zone 0 and invert 1; chocolate: zone 1 and invert 0), negative pitch.
// DIB rows match their colour table; the invert flag turns gray samples over (a negative picture),
// palette indexes never.
TEST(KitJexmRect, OneSampleDibRowsMatchTheirColourTableTurnedByTheInvertFlag) {
    for (int bps : {1, 2, 4, 8})
        for (int pm : {0, 1, 3})
            for (int vanilla : {0, 1}) {
                SCOPED_TRACE(testing::Message() << "bps " << bps << " photometric " << pm << " vanilla " << vanilla);
                Page page = MakePage(37, 11, bps, 1, pm, (unsigned)(bps * 10 + pm));
                HJEXM image = LoadPage(page);
                HJEXMZONE zone = MakeZone(pm == 3 ? -1 : (vanilla ? 0 : 1));
                LONG format = FormatCode(bps, pm == 3 ? kPalette : kGray);
                const int pitch = PaddedRow(37, bps);
                std::vector<BYTE> buf(pitch * 11 + 8, 0xCD);
                LONG rect[4] = {0, 0, 37, 11};
                ASSERT_EQ(0, JexmRectGetEx(image, zone, pitch * 11, rect, buf.data(), -pitch, vanilla, format));
                std::vector<Rgb> palette = DibPalette(image, 1 << bps);
                for (int y = 0; y < 11; ++y) {
                    const BYTE *row = buf.data() + (10 - y) * pitch;  // bottom row first
                    for (int x = 0; x < 37; ++x) {
                        int v = UnpackBits(row, x, bps);
                        if (vanilla && pm != 3) v = (1 << bps) - 1 - v;
                        Rgb want = TrueColour(page, x, y), got = palette[v];
                        ASSERT_TRUE(want == got) << "pixel " << x << "," << y;
                    }
                    for (int b = (37 * bps + 7) / 8; b < pitch; ++b) ASSERT_EQ(0, row[b]) << "padding of row " << y;
                }
                EXPECT_EQ(0xCD, buf[pitch * 11]) << "nothing written past the rows";
                JexmFreeZone(zone);
                JexmFreeImage(image);
            }
}

// Memory transfer: invert 0, the zone carries the pixel flavour: vanilla 0 is white, chocolate 0 is black.
TEST(KitJexmRect, GrayMemoryRowsFollowThePixelFlavour) {
    for (int bps : {1, 2, 4, 8})
        for (int pm : {0, 1})
            for (int vanilla : {0, 1}) {
                SCOPED_TRACE(testing::Message() << "bps " << bps << " photometric " << pm << " vanilla " << vanilla);
                Page page = MakePage(20, 7, bps, 1, pm, (unsigned)(bps + pm));
                HJEXM image = LoadPage(page);
                HJEXMZONE zone = MakeZone(vanilla ? 0 : 1);
                const int pitch = PaddedRow(20, bps);
                std::vector<BYTE> buf(pitch * 7);
                LONG rect[4] = {0, 0, 20, 7};
                ASSERT_EQ(0, JexmRectGetEx(image, zone, (LONG)buf.size(), rect, buf.data(), pitch, 0, FormatCode(bps, kGray)));
                const int max = page.Max();
                for (int y = 0; y < 7; ++y)
                    for (int x = 0; x < 20; ++x) {
                        int v = UnpackBits(buf.data() + y * pitch, x, bps);
                        int gray = (vanilla ? max - v : v) * 255 / max;
                        ASSERT_EQ(TrueColour(page, x, y).g, gray) << "pixel " << x << "," << y;
                    }
                JexmFreeZone(zone);
                JexmFreeImage(image);
            }
}

// Colour pages: DIB rows (blue first) and memory rows (red first), both pixel flavours.
TEST(KitJexmRect, ColourRowsInRgbAndDibOrder) {
    Page page = MakePage(13, 9, 8, 3, 2, 7);
    HJEXM image = LoadPage(page);
    LONG rect[4] = {0, 0, 13, 9};
    const int dibPitch = (13 * 3 + 3) & ~3, memPitch = 13 * 3;
    std::vector<BYTE> buf(dibPitch * 9);
    for (int vanilla : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "vanilla " << vanilla);
        HJEXMZONE zone = MakeZone(vanilla ? 2 : 120);
        // Native transfer: the zone's sense does not apply to DIB rows, the invert flag does.
        ASSERT_EQ(0, JexmRectGetEx(image, zone, (LONG)buf.size(), rect, buf.data(), -dibPitch, vanilla,
                                   FormatCode(8, kColour | kDib)));
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 13; ++x) {
                const BYTE *p = buf.data() + (8 - y) * dibPitch + 3 * x;
                Rgb got = vanilla ? Rgb{255 - p[2], 255 - p[1], 255 - p[0]} : Rgb{p[2], p[1], p[0]};
                ASSERT_TRUE(got == TrueColour(page, x, y)) << x << "," << y;
            }
        // Memory transfer: red first, zero is light under vanilla.
        ASSERT_EQ(0, JexmRectGetEx(image, zone, (LONG)buf.size(), rect, buf.data(), memPitch, 0, FormatCode(8, kColour)));
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 13; ++x) {
                const BYTE *p = buf.data() + y * memPitch + 3 * x;
                Rgb got = vanilla ? Rgb{255 - p[0], 255 - p[1], 255 - p[2]} : Rgb{p[0], p[1], p[2]};
                ASSERT_TRUE(got == TrueColour(page, x, y)) << x << "," << y;
            }
        JexmFreeZone(zone);
    }
    JexmFreeImage(image);
}

// The invert flag turns every gray and colour sample over and leaves palette indexes alone.
TEST(KitJexmRect, InvertFlagOnAndOff) {
    struct Case {
        int bps, spp, pm;
        LONG kind;
        bool turns;
    };
    const Case cases[] = {
        {1, 1, 1, kGray, true}, {4, 1, 0, kGray, true}, {8, 1, 1, kGray, true},
        {8, 3, 2, kColour, true}, {8, 3, 2, kColour | kDib, true}, {4, 1, 3, kPalette, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "bps " << c.bps << " kind " << std::hex << c.kind);
        Page page = MakePage(10, 4, c.bps, c.spp, c.pm, 3);
        HJEXM image = LoadPage(page);
        HJEXMZONE zone = MakeZone();
        const int pitch = PaddedRow(10, c.bps * c.spp), samples = 10 * c.spp;
        std::vector<BYTE> off(pitch * 4), on(pitch * 4);
        LONG rect[4] = {0, 0, 10, 4};
        ASSERT_EQ(0, JexmRectGetEx(image, zone, pitch * 4, rect, off.data(), pitch, 0, FormatCode(c.bps, c.kind)));
        ASSERT_EQ(0, JexmRectGetEx(image, zone, pitch * 4, rect, on.data(), pitch, 1, FormatCode(c.bps, c.kind)));
        const int max = (1 << c.bps) - 1;
        for (int y = 0; y < 4; ++y)
            for (int i = 0; i < samples; ++i) {
                int a = UnpackBits(off.data() + y * pitch, i, c.bps), b = UnpackBits(on.data() + y * pitch, i, c.bps);
                ASSERT_EQ(c.turns ? max - a : a, b) << "sample " << i << " of row " << y;
            }
        // Without a sense in the zone, rows come as the page holds them.
        if (c.kind != (kColour | kDib)) {
            for (int y = 0; y < 4; ++y)
                for (int i = 0; i < samples; ++i)
                    ASSERT_EQ(page.s[y * samples + i], UnpackBits(off.data() + y * pitch, i, c.bps));
        }
        EXPECT_EQ(JEXM_ERR_BADARG, JexmRectGetEx(image, zone, pitch * 4, rect, on.data(), pitch, -1, FormatCode(c.bps, c.kind)));
        JexmFreeZone(zone);
        JexmFreeImage(image);
    }
}

// Strips: rows top .. bottom-1 and columns left .. right-1 of the page, both pitch signs.
TEST(KitJexmRect, SubRectanglesAndPitches) {
    struct Case {
        int bps, spp, pm;
        LONG left, top, right, bottom, extraPitch;
    };
    const Case cases[] = {
        {1, 1, 1, 0, 0, 53, 1, 0},   {1, 1, 0, 3, 5, 50, 17, 3},  {2, 1, 1, 1, 0, 52, 20, 0},
        {4, 1, 3, 7, 19, 8, 20, 5},  {8, 1, 1, 10, 2, 11, 9, 1},  {8, 3, 2, 5, 6, 41, 14, 7},
    };
    for (const Case &c : cases)
        for (int sign : {1, -1}) {
            SCOPED_TRACE(testing::Message() << "bps " << c.bps << " rect " << c.left << "," << c.top << ","
                                            << c.right << "," << c.bottom << " sign " << sign);
            Page page = MakePage(53, 20, c.bps, c.spp, c.pm, (unsigned)(c.left + 7));
            HJEXM image = LoadPage(page);
            HJEXMZONE zone = MakeZone();
            const LONG w = c.right - c.left, rows = c.bottom - c.top;
            const LONG rowBytes = (w * c.spp * c.bps + 7) / 8, pitch = rowBytes + c.extraPitch;
            const LONG kind = c.spp == 3 ? kColour : c.pm == 3 ? kPalette : kGray;
            std::vector<BYTE> buf(pitch * rows + 16, 0xEE);
            LONG rect[4] = {c.left, c.top, c.right, c.bottom};
            const LONG need = (rows - 1) * pitch + rowBytes;  // the last row needs no padding
            ASSERT_EQ(0, JexmRectGetEx(image, zone, need, rect, buf.data(), sign * pitch, 0, FormatCode(c.bps, kind)));
            for (LONG k = 0; k < rows; ++k) {
                const BYTE *row = buf.data() + (sign > 0 ? k : rows - 1 - k) * pitch;
                // bottom-up rows are DIB rows: dark-is-zero, so a light-is-zero page comes turned over
                const bool turned = sign < 0 && kind == kGray && c.pm == 0;
                for (LONG x = 0; x < w; ++x)
                    for (int s = 0; s < c.spp; ++s) {
                        int v = page.At(c.left + x, c.top + k, s);
                        ASSERT_EQ(turned ? (1 << c.bps) - 1 - v : v, UnpackBits(row, x * c.spp + s, c.bps))
                            << "pixel " << x << " of strip row " << k;
                    }
            }
            for (size_t i = need; i < buf.size(); ++i) ASSERT_EQ(0xEE, buf[i]) << "byte " << i << " past the rows";
            JexmFreeZone(zone);
            JexmFreeImage(image);
        }
}

// A palette object OR-ed into the format code: indexes into the object's table.
TEST(KitJexmRect, PaletteObjectInTheFormatCode) {
    Page page = MakePage(16, 6, 4, 1, 3, 5);
    HJEXM image = LoadPage(page);
    HJEXMZONE zone = MakeZone();
    auto makePalette = [](HJEXM from, LONG entries) {
        HJEXMPAL pal = nullptr;
        EXPECT_EQ(0, JexmPaletteCreate(0, &pal));
        EXPECT_EQ(0, JexmPaletteSetAttr(pal, 1824, entries));
        EXPECT_EQ(0, JexmPaletteFill(pal, from));
        EXPECT_EQ(0, JexmPaletteFinish(pal));
        return pal;
    };
    HJEXMPAL same = makePalette(image, 16);
    const LONG token = (LONG)(uintptr_t)same;
    EXPECT_EQ(0, token & 0x07F00000) << "palette objects stay clear of the format bits";
    LONG rect[4] = {0, 0, 16, 6};
    std::vector<BYTE> plain(8 * 6), with(8 * 6);
    ASSERT_EQ(0, JexmRectGetEx(image, zone, 48, rect, plain.data(), 8, 0, FormatCode(4, kPalette)));
    ASSERT_EQ(0, JexmRectGetEx(image, zone, 48, rect, with.data(), 8, 0, FormatCode(4, kPalette) | token));
    EXPECT_EQ(plain, with);

    // A palette built from another page with the same colours in reverse order.
    Page reversed = page;
    for (int i = 0; i < 16; ++i)
        for (int c = 0; c < 3; ++c) reversed.map[c * 16 + i] = page.map[c * 16 + 15 - i];
    HJEXM other = LoadPage(reversed);
    HJEXMPAL flipped = makePalette(other, 16);
    ASSERT_EQ(0, JexmRectGetEx(image, zone, 48, rect, with.data(), 8, 0, FormatCode(4, kPalette) | (LONG)(uintptr_t)flipped));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(15 - page.At(x, y), UnpackBits(with.data() + y * 8, x, 4));

    // Refusals: a palette object with a gray layout, an unfinished one, a freed one.
    EXPECT_EQ(JEXM_ERR_BADFORMAT, JexmRectGetEx(image, zone, 48, rect, with.data(), 8, 0, FormatCode(4, kGray) | token));
    HJEXMPAL unfinished = nullptr;
    ASSERT_EQ(0, JexmPaletteCreate(0, &unfinished));
    EXPECT_EQ(JEXM_ERR_PALSTATE,
              JexmRectGetEx(image, zone, 48, rect, with.data(), 8, 0, FormatCode(4, kPalette) | (LONG)(uintptr_t)unfinished));
    EXPECT_EQ(0, JexmPaletteFree(unfinished));
    EXPECT_EQ(0, JexmPaletteFree(flipped));
    EXPECT_EQ(JEXM_ERR_BADPALETTE,
              JexmRectGetEx(image, zone, 48, rect, with.data(), 8, 0, FormatCode(4, kPalette) | (LONG)(uintptr_t)flipped));
    JexmPaletteFree(same);
    JexmFreeImage(other);
    JexmFreeZone(zone);
    JexmFreeImage(image);
}

// What must be refused, without a byte written.
TEST(KitJexmRect, RefusalsLeaveTheBufferAlone) {
    Page page = MakePage(30, 10, 8, 1, 1, 9);
    HJEXM image = LoadPage(page);
    HJEXMZONE zone = MakeZone();
    std::vector<BYTE> buf(400, 0x5A);
    LONG whole[4] = {0, 0, 30, 10};
    struct Case {
        LONG bufferBytes, rect[4], pitch, format, error;
    };
    // bytes  rectangle          pitch  format                     error
    const Case cases[] = {
        {299, {0, 0, 30, 10}, 30, FormatCode(8, kGray), JEXM_ERR_BUFFER},       // one byte short
        {271, {0, 0, 30, 10}, -32, FormatCode(8, kGray), JEXM_ERR_BUFFER},
        {400, {0, 0, 30, 10}, 29, FormatCode(8, kGray), JEXM_ERR_BADPITCH},
        {400, {0, 0, 30, 10}, 0, FormatCode(8, kGray), JEXM_ERR_BADPITCH},
        {400, {0, 0, 31, 10}, 40, FormatCode(8, kGray), JEXM_ERR_BADRECT},
        {400, {0, 5, 30, 4}, 30, FormatCode(8, kGray), JEXM_ERR_BADRECT},
        {400, {-1, 0, 30, 10}, 30, FormatCode(8, kGray), JEXM_ERR_BADRECT},
        {400, {0, 0, 30, 10}, 30, FormatCode(8, kGray) | 0x100000, JEXM_ERR_BADFORMAT},
        {400, {0, 0, 30, 10}, 30, FormatCode(3, kGray), JEXM_ERR_BADFORMAT},
        {400, {0, 0, 30, 10}, 30, FormatCode(8, kGray) | 0x00800000, JEXM_ERR_BADFORMAT},
        {400, {0, 0, 30, 10}, 30, FormatCode(8, kGray) | 0x12345, JEXM_ERR_BADPALETTE},
        {400, {0, 0, 30, 10}, 30, FormatCode(4, kPalette), JEXM_ERR_CONVERT},   // would lose indexes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "case error " << c.error << " pitch " << c.pitch);
        EXPECT_EQ(c.error, JexmRectGetEx(image, zone, c.bufferBytes, c.rect, buf.data(), c.pitch, 0, c.format));
        for (BYTE b : buf) ASSERT_EQ(0x5A, b);
    }
    // Exactly enough is enough; an empty strip reads nothing and succeeds.
    EXPECT_EQ(0, JexmRectGetEx(image, zone, 300, whole, buf.data(), 30, 0, FormatCode(8, kGray)));
    LONG empty[4] = {0, 10, 30, 10};
    EXPECT_EQ(0, JexmRectGetEx(image, zone, 0, empty, nullptr, 32, 0, FormatCode(8, kGray)));
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmRectGetEx(image, zone, 400, nullptr, buf.data(), 30, 0, FormatCode(8, kGray)));
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmRectGetEx(image, zone, 400, whole, nullptr, 30, 0, FormatCode(8, kGray)));
    JexmFreeZone(zone);
    JexmFreeImage(image);
}

// Layouts other than the page's: fewer or more bits, gray from colour, colour from palette.
TEST(KitJexmRect, ConversionsBetweenLayouts) {
    Page gray = MakePage(9, 3, 8, 1, 1, 4);
    HJEXM image = LoadPage(gray);
    HJEXMZONE zone = MakeZone();
    LONG rect[4] = {0, 0, 9, 3};
    std::vector<BYTE> buf(64);
    ASSERT_EQ(0, JexmRectGetEx(image, zone, 64, rect, buf.data(), 8, 0, FormatCode(1, kGray)));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x) ASSERT_EQ(gray.At(x, y) >= 128 ? 1 : 0, UnpackBits(buf.data() + y * 8, x, 1));
    JexmFreeImage(image);

    Page colour = MakePage(9, 3, 8, 3, 2, 6);
    image = LoadPage(colour);
    ASSERT_EQ(0, JexmRectGetEx(image, zone, 64, rect, buf.data(), 9, 0, FormatCode(8, kGray)));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x) {
            Rgb c = TrueColour(colour, x, y);
            double luma = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
            ASSERT_NEAR(luma, buf[y * 9 + x], 0.51);
        }
    EXPECT_EQ(JEXM_ERR_CONVERT, JexmRectGetEx(image, zone, 64, rect, buf.data(), 9, 0, FormatCode(8, kPalette)));
    JexmFreeImage(image);

    Page pal = MakePage(9, 3, 2, 1, 3, 8);
    image = LoadPage(pal);
    std::vector<BYTE> rgb(27 * 3);
    ASSERT_EQ(0, JexmRectGetEx(image, zone, 81, rect, rgb.data(), 27, 0, FormatCode(8, kColour)));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x) {
            const BYTE *p = rgb.data() + y * 27 + 3 * x;
            ASSERT_TRUE((Rgb{p[0], p[1], p[2]} == TrueColour(pal, x, y)));
        }
    JexmFreeImage(image);
    JexmFreeZone(zone);
}

}  // namespace
