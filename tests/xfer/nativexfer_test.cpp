// Native transfers against pages the test feeds itself: every layout a DIB can hold, odd widths,
// strips that do not divide the length, rows wider than a strip, both pixel flavours and the
// invert setting; and the DIB's header as applications read it.
#include "xfertest.h"

namespace {

struct Mode {
    const char *name;
    TW_UINT16 pixelType;
    TW_UINT16 depth;
    WORD bitCount;
    DWORD colours;
    // A colour this mode holds exactly, for pixel (x, y).
    RGBQUAD (*colour)(int x, int y);
};

BYTE Hash(int x, int y, int salt) { return static_cast<BYTE>((x * 73 + y * 151 + salt * 29 + (x * y) % 97) & 0xFF); }
RGBQUAD Rgb(int x, int y) { return RGBQUAD{Hash(x, y, 1), Hash(x, y, 2), Hash(x, y, 3), 0}; }
RGBQUAD Gray(int x, int y) {
    const BYTE v = Hash(x, y, 4);
    return RGBQUAD{v, v, v, 0};
}
RGBQUAD BlackWhite(int x, int y) {
    const BYTE v = (Hash(x, y, 5) & 1) ? 255 : 0;
    return RGBQUAD{v, v, v, 0};
}
// The scanner's 4-bit and 8-bit palettes.
RGBQUAD Palette4(int x, int y) {
    const int i = Hash(x, y, 6) & 15;
    return RGBQUAD{static_cast<BYTE>((i & 1) * 255), static_cast<BYTE>(((i >> 1) & 3) * 255 / 3),
                   static_cast<BYTE>(((i >> 3) & 1) * 255), 0};
}
RGBQUAD Palette8(int x, int y) {
    const int i = Hash(x, y, 7);
    return RGBQUAD{static_cast<BYTE>((i & 3) * 255 / 3), static_cast<BYTE>(((i >> 2) & 7) * 255 / 7),
                   static_cast<BYTE>(((i >> 5) & 7) * 255 / 7), 0};
}

const Mode kModes[] = {
    {"rgb24", TWPT_RGB, 24, 24, 0, Rgb},
    {"gray8", TWPT_GRAY, 8, 8, 256, Gray},
    {"bitonal", TWPT_BW, 1, 1, 2, BlackWhite},
    {"palette4", TWPT_PALETTE, 4, 4, 16, Palette4},
    {"palette8", TWPT_PALETTE, 8, 8, 256, Palette8},
};

RGBQUAD Negative(RGBQUAD c) {
    return RGBQUAD{static_cast<BYTE>(255 - c.rgbBlue), static_cast<BYTE>(255 - c.rgbGreen),
                   static_cast<BYTE>(255 - c.rgbRed), 0};
}

// Feeds one page and transfers it in the given mode; dir is the test's folder.
Dib ScanOne(const Mode &m, const Page &page, const std::string &extraSettings = "", bool vanilla = false,
            bool invertSetting = false) {
    const std::string dir = TestDir() + "\\pages";
    CreateDirectoryA(dir.c_str(), nullptr);
    WriteBmp(dir + "\\p1.bmp", page, 100);
    Dib d;
    {
        Scanner s(FolderProfile(dir, extraSettings));
        if (invertSetting) {
            // Read at open: reopen with the setting in place.
            s.kit.Close(s.app);
            s.kit.PutSetting("JEX Virtual Scanner", "InvertColor", "1");
            EXPECT_EQ(s.kit.Open(s.app), TWRC_SUCCESS);
        }
        EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
        EXPECT_TRUE(s.Set(ICAP_PIXELTYPE, TWTY_UINT16, m.pixelType).ok()) << m.name;
        EXPECT_TRUE(s.Set(ICAP_BITDEPTH, TWTY_UINT16, m.depth).ok()) << m.name;
        if (vanilla) {
            EXPECT_TRUE(s.Set(ICAP_PIXELFLAVOR, TWTY_UINT16, TWPF_VANILLA).ok());
        }
        s.FramePixels(page.width, page.height);
        EXPECT_EQ(s.Enable(), TWRC_SUCCESS) << s.cc;
        d = s.Native();
        EXPECT_EQ(s.rc, TWRC_XFERDONE) << m.name << " cc " << s.cc;
        const TW_PENDINGXFERS p = s.Pending(MSG_ENDXFER);
        EXPECT_EQ(p.Count, 0);
        EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
        EXPECT_EQ(s.kit.LiveImageObjects(), 0);
    }
    return d;
}

}  // namespace

TEST(NativeXfer, EveryLayoutComesOutPixelExact) {
    for (const Mode &m : kModes) {
        const Page page = MakePage(37, 23, m.colour);
        const Dib d = ScanOne(m, page);
        ASSERT_TRUE(d.ok) << m.name;
        const BITMAPINFOHEADER &h = d.header;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biBitCount, m.bitCount) << m.name;
        EXPECT_EQ(h.biClrUsed, m.colours) << m.name;
        EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
        EXPECT_EQ(h.biPlanes, 1);
        const DWORD row = ((37 * m.bitCount + 31) / 32) * 4;
        EXPECT_EQ(h.biSizeImage, row * 23) << m.name;
        EXPECT_EQ(d.blockSize, 40 + m.colours * 4 + row * 23) << m.name;
        EXPECT_EQ(h.biXPelsPerMeter, 3937) << m.name;  // 100 dpi
        EXPECT_EQ(h.biYPelsPerMeter, h.biXPelsPerMeter);
        std::string first;
        EXPECT_EQ(Differences(d.page, page, &first), 0) << m.name << " " << first;
    }
}

// Strips of 32768 bytes: 700 rows of 112 bytes end in a short strip; a row of 33000 bytes gets a
// strip of its own.
TEST(NativeXfer, StripsThatDoNotDivideThePageAndRowsWiderThanAStrip) {
    for (const auto &[width, height] : {std::pair{37, 700}, std::pair{11000, 3}}) {
        const Page page = MakePage(width, height, Rgb);
        const Dib d = ScanOne(kModes[0], page);
        ASSERT_TRUE(d.ok) << width;
        std::string first;
        EXPECT_EQ(Differences(d.page, page, &first), 0) << width << " " << first;
    }
}

// Vanilla and the scanner's invert setting each turn gray and bitonal pages into their negative;
// both together cancel out. Colour pages follow the same rule; palette indexes never turn over.
TEST(NativeXfer, PixelFlavorAndInvertSetting) {
    struct Row {
        bool vanilla, invert;
        bool negative;
    };
    for (const Row r : {Row{true, false, true}, Row{false, true, true}, Row{true, true, false}}) {
        for (const Mode &m : {kModes[1], kModes[2], kModes[3]}) {
            const Page page = MakePage(21, 5, m.colour);
            const Dib d = ScanOne(m, page, "", r.vanilla, r.invert);
            ASSERT_TRUE(d.ok) << m.name;
            Page want = page;
            const bool turns = r.negative && m.pixelType != TWPT_PALETTE;
            if (turns)
                for (RGBQUAD &c : want.pixels) c = Negative(c);
            std::string first;
            EXPECT_EQ(Differences(d.page, want, &first), 0)
                << m.name << " vanilla " << r.vanilla << " invert " << r.invert << " " << first;
        }
    }
}
