// What a careless or hostile profile or page file must not do to the kit: .bmp headers with
// absurd sizes, offsets and masks fail their page with a reason (16- and 32-bit files with
// colour masks are read, pixels checked against values computed here); resolutions, ranges and
// frames at the limits of the arithmetic give errors, never an overflowing buffer; depths and
// defaults the scanner cannot offer fail the load naming the file and line.
#include "kit_driver_fixture.h"

#include <functional>

namespace {

struct Bmp {
    std::vector<BYTE> b;
    void Put16(size_t at, DWORD v) { b[at] = BYTE(v), b[at + 1] = BYTE(v >> 8); }
    void Put32(size_t at, DWORD v) { Put16(at, v & 0xFFFF), Put16(at + 2, v >> 16); }
};

// A sound file of 100 dpi: header of infoSize bytes, masks (after a 40-byte header, or inside a
// larger one), pixels as `pixel(x, y)` gives them, bottom-up.
Bmp MakeBmp(LONG w, LONG h, WORD bits, DWORD compression, DWORD infoSize, const std::vector<DWORD> &masks,
            const std::function<DWORD(LONG, LONG)> &pixel) {
    const LONG pitch = ((w * bits + 31) / 32) * 4;
    const size_t after = infoSize == 40 ? masks.size() * 4 : 0;
    const DWORD off = static_cast<DWORD>(14 + infoSize + after);
    Bmp f;
    f.b.assign(off + static_cast<size_t>(pitch) * h, 0);
    f.b[0] = 'B', f.b[1] = 'M';
    f.Put32(2, static_cast<DWORD>(f.b.size()));
    f.Put32(10, off);
    f.Put32(14, infoSize);
    f.Put32(18, w);
    f.Put32(22, h);
    f.Put16(26, 1);
    f.Put16(28, bits);
    f.Put32(30, compression);
    f.Put32(38, 3937);
    f.Put32(42, 3937);
    for (size_t i = 0; i < masks.size(); ++i) f.Put32(14 + 40 + i * 4, masks[i]);  // after or inside
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x) {
            size_t at = off + static_cast<size_t>(h - 1 - y) * pitch + x * (bits / 8);
            if (bits == 16) f.Put16(at, pixel(x, y));
            else f.Put32(at, pixel(x, y));
        }
    return f;
}

void Save(const std::string &path, const Bmp &f) {
    FILE *out = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, out) << path;
    fwrite(f.b.data(), 1, f.b.size(), out);
    fclose(out);
}

std::string NewFolder(const char *name) {
    std::string folder = g_dir + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string FolderProfile(const std::string &folder) {
    return "[Scanner]\nFlatbed=yes\nFeeder=yes\nStackSensor=yes\nResolutions=100\nDefaultResolution=100\n"
           "MinWidthMm=2\nMinLengthMm=2\n[Paper]\nFolder=" + folder + "\n";
}

LONG ScanRgb(JEXDRIVER &scanner, LONG w, LONG h) {
    EXPECT_EQ(0, Msg(scanner, 0x321, 277, 3));
    EXPECT_EQ(0, Msg(scanner, 0x321, 258, 8));
    EXPECT_EQ(0, Msg(scanner, 0x321, 256, w));
    EXPECT_EQ(0, Msg(scanner, 0x321, 257, h));
    return ScanIntoCollector(scanner);
}

std::string ErrorText(LONG error) {
    char text[512] = {};
    k.errorText(0, nullptr, error, text, sizeof text);
    return text;
}

// Loads a profile that must fail, returning @28's text for it.
std::string LoadFailure(const std::string &profile, LONG *rc) {
    UseProfile(profile);
    EXPECT_EQ(0, k.init());
    JEXDRIVER d{};
    *rc = k.load(0, "ORVAVS", &d, 2);
    std::string text = ErrorText(*rc);
    if (*rc == 0) k.unload(&d);
    k.done();
    return text;
}

BYTE Scale(DWORD v, DWORD max) { return static_cast<BYTE>(v * 255 / max); }

}  // namespace

TEST_F(KitDriver, SixteenAndThirtyTwoBitPagesWithTheirColourMasks) {
    std::string folder = NewFolder("maskpages");
    const LONG w = 20, h = 12;
    auto r5 = [](LONG x, LONG) { return DWORD(x % 32); };
    auto g5 = [](LONG, LONG y) { return DWORD(y * 2 % 32); };
    auto g6 = [](LONG x, LONG y) { return DWORD((x * 2 + y) % 64); };
    auto b5 = [](LONG x, LONG y) { return DWORD((x + y) % 32); };
    Save(folder + "\\a-555.bmp", MakeBmp(w, h, 16, BI_RGB, 40, {}, [&](LONG x, LONG y) {
        return r5(x, y) << 10 | g5(x, y) << 5 | b5(x, y);
    }));
    Save(folder + "\\b-565.bmp", MakeBmp(w, h, 16, BI_BITFIELDS, 40, {0xF800, 0x07E0, 0x001F}, [&](LONG x, LONG y) {
        return r5(x, y) << 11 | g6(x, y) << 5 | b5(x, y);
    }));
    // a V5 header with the masks inside it, in RGBX order instead of the usual BGRX
    Save(folder + "\\c-v5-rgbx.bmp", MakeBmp(w, h, 32, BI_BITFIELDS, 124, {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
                                             [](LONG x, LONG y) { return DWORD(0xFF000000 | (x * 9) | (y * 17) << 8 | ((x + y) * 5) << 16); }));
    Save(folder + "\\d-32.bmp", MakeBmp(w, h, 32, BI_RGB, 40, {}, [](LONG x, LONG y) {
        return DWORD((x * 11) << 16 | (y * 13) << 8 | (x * y) % 256);
    }));
    using Want = std::function<void(LONG, LONG, BYTE *)>;
    const Want wants[] = {
        [&](LONG x, LONG y, BYTE *c) { c[0] = Scale(r5(x, y), 31), c[1] = Scale(g5(x, y), 31), c[2] = Scale(b5(x, y), 31); },
        [&](LONG x, LONG y, BYTE *c) { c[0] = Scale(r5(x, y), 31), c[1] = Scale(g6(x, y), 63), c[2] = Scale(b5(x, y), 31); },
        [](LONG x, LONG y, BYTE *c) { c[0] = BYTE(x * 9), c[1] = BYTE(y * 17), c[2] = BYTE((x + y) * 5); },
        [](LONG x, LONG y, BYTE *c) { c[0] = BYTE(x * 11), c[1] = BYTE(y * 13), c[2] = BYTE((x * y) % 256); },
    };
    Open(FolderProfile(folder));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    for (const Want &want : wants) {
        ASSERT_EQ(0, ScanRgb(scanner, 24, 16));
        int wrong = 0;
        for (LONG y = 0; y < 16; ++y)
            for (LONG x = 0; x < 24; ++x) {
                BYTE c[3] = {255, 255, 255};
                if (x < w && y < h) want(x, y, c);
                const BYTE *got = &g_got.pixels[y * g_got.pitch + x * 3];
                wrong += got[0] != c[0] || got[1] != c[1] || got[2] != c[2];
            }
        EXPECT_EQ(0, wrong) << "page " << &want - wants + 1;
    }
}

TEST_F(KitDriver, HostileBitmapHeadersFailTheirPageWithAReason) {
    std::string folder = NewFolder("hostile");
    auto plain32 = [] { return MakeBmp(8, 8, 32, BI_RGB, 40, {}, [](LONG, LONG) { return DWORD(0); }); };
    struct Case { const char *file, *reason; std::function<void(Bmp &)> spoil; };
    const Case cases[] = {
        {"h01.bmp", "width or height out of range", [](Bmp &f) { f.Put32(22, 0x7FFFFFFF); }},
        {"h02.bmp", "width or height out of range", [](Bmp &f) { f.Put32(22, 0x80000000); }},
        {"h03.bmp", "width or height out of range", [](Bmp &f) { f.Put32(18, static_cast<DWORD>(-8)); }},
        {"h04.bmp", "more than 64 million pixels", [](Bmp &f) { f.Put32(18, 30000), f.Put32(22, 30000); }},
        {"h05.bmp", "truncated bitmap header", [](Bmp &f) { f.Put32(14, 0xFFFFFFF0); }},
        {"h06.bmp", "colour table missing", [](Bmp &f) { f.Put16(28, 8), f.Put32(46, 200); }},
        {"h07.bmp", "pixel data truncated", [](Bmp &f) { f.Put32(10, 0xFFFFFFF0); }},
        {"h08.bmp", "pixel data overlaps the headers", [](Bmp &f) { f.Put32(10, 20); }},
        {"h09.bmp", "colour masks", [](Bmp &f) { f.Put32(30, BI_BITFIELDS), f.Put32(54, 0), f.Put32(58, 0xFF00), f.Put32(62, 0xFF); }},
        {"h10.bmp", "colour masks", [](Bmp &f) { f.Put32(30, BI_BITFIELDS), f.Put32(54, 0x0F0F), f.Put32(58, 0xF0), f.Put32(62, 0xF000); }},
        {"h11.bmp", "compressed", [](Bmp &f) { f.Put32(30, 1); }},
        {"h12.bmp", "bits per pixel", [](Bmp &f) { f.Put16(28, 2); }},
    };
    for (const Case &c : cases) {
        Bmp f = plain32();
        c.spoil(f);
        Save(folder + "\\" + c.file, f);
    }
    Open(FolderProfile(folder));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    for (const Case &c : cases) {
        g_got = Collected{};
        EXPECT_EQ(-4522, ScanRgb(scanner, 16, 16)) << c.file;
        EXPECT_EQ(0, g_got.rows) << c.file;
        std::string text = ErrorText(-4522);
        EXPECT_NE(std::string::npos, text.find(c.file)) << text;
        EXPECT_NE(std::string::npos, text.find(c.reason)) << c.file << ": " << text;
    }
    EXPECT_EQ(-4531, ScanRgb(scanner, 16, 16));
}

TEST_F(KitDriver, ExtremeResolutionsAndFramesAreRefusedNotOverflowed) {
    LONG rc = 0;
    std::string text = LoadFailure("[Scanner]\nFlatbed=yes\nFeeder=yes\nResolutions=1..1000000\n", &rc);
    EXPECT_EQ(-4520, rc);
    EXPECT_NE(std::string::npos, text.find("profile.ini(4)")) << text;
    EXPECT_NE(std::string::npos, text.find("Resolutions")) << text;
    LoadFailure("[Scanner]\nFlatbed=yes\nResolutions=75,20000\n", &rc);
    EXPECT_EQ(-4520, rc);
    // the widest frame at the highest resolution: a width far beyond any buffer
    Open("[Scanner]\nFlatbed=yes\nFeeder=yes\nResolutions=1..10000\nDefaultResolution=75\nMaxWidthMm=10000\n"
         "MinLengthMm=0.1\nMaxLengthMm=0.5\n[Paper]\nPages=3\n");
    ASSERT_EQ(0, Msg(scanner, 0x321, 277, 3));
    ASSERT_EQ(0, Msg(scanner, 0x321, 258, 8));
    ASSERT_EQ(0, Msg(scanner, 0x321, 282, 10000));
    ASSERT_EQ(0, Msg(scanner, 0x321, 256, 178956976));
    LONG width = GetLong(scanner, 256);
    EXPECT_EQ(100000LL * 10000 / 254 / 8 * 8, width);  // 10 m at 10000 dpi, in steps of 8
    g_got = Collected{};
    EXPECT_EQ(-4503, ScanIntoCollector(scanner));
    EXPECT_EQ(0, g_got.rows);
    // within the limits a wide page still comes through
    ASSERT_EQ(0, Msg(scanner, 0x321, 282, 100));
    ASSERT_EQ(0, Msg(scanner, 0x321, 256, 20000));
    ASSERT_EQ(0, ScanIntoCollector(scanner));
    EXPECT_EQ(20000, g_got.width);
}

TEST_F(KitDriver, WideRangesCountWithoutOverflow) {
    Open("[Scanner]\nFlatbed=yes\nResolutions=75\n[Tag 6001]\nValues=-2000000000..2000000000/1\n"
         "[Tag 6002]\nValues=-2000000000..2000000000/7\nDefault=-1999999993\n");
    LONG n = 0, v = 0;
    ASSERT_EQ(0, Msg(scanner, 0x410, 6001, reinterpret_cast<LONG>(&n)));
    EXPECT_EQ(0x7FFFFFFF, n);                             // 4000000001 values: as many as can be said
    ASSERT_EQ(0, Msg(scanner, 0x410, 6002, reinterpret_cast<LONG>(&n)));
    EXPECT_EQ(4000000000LL / 7 + 1, n);
    ASSERT_EQ(0, Msg(scanner, 0x411, 6002 | (0xFFFF << 16), reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(-2000000000, v);
    ASSERT_EQ(0, Msg(scanner, 0x411, 6002 | (0xFFFE << 16), reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(2000000000, v);
    ASSERT_EQ(0, Msg(scanner, 0x411, 6002 | (0xFFFD << 16), reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(7, v);
    EXPECT_EQ(-1999999993, GetLong(scanner, 6002));
    ASSERT_EQ(0, Msg(scanner, 0x321, 6002, 2000000000));  // onto the last step below the maximum
    EXPECT_EQ(-2000000000LL + 571428571LL * 7, GetLong(scanner, 6002));
}

TEST_F(KitDriver, DepthsAndDefaultsTheScannerCannotOfferFailTheLoad) {
    struct Case { const char *profile, *where, *key; };
    const Case cases[] = {
        {"[Scanner]\nFlatbed=yes\nResolutions=75\nGrayDepths=3,16\n", "(4)", "GrayDepths"},
        {"[Scanner]\nFlatbed=yes\nResolutions=75\nColorDepths=16\n", "(4)", "ColorDepths"},
        {"[Scanner]\nFlatbed=yes\nDefaultResolution=123\nResolutions=75,150\n", "(3)", "DefaultResolution"},
        {"[Scanner]\nFlatbed=yes\nResolutions=100..600/50\nDefaultResolution=110\n", "(4)", "DefaultResolution"},
        {"[Scanner]\nFlatbed=yes\nBrightness=1..255\nBrightnessDefault=300\n", "(4)", "BrightnessDefault"},
        {"[Scanner]\nFlatbed=yes\nContrast=1,2,3\nContrastDefault=4\n", "(4)", "ContrastDefault"},
        {"[Scanner]\nFlatbed=yes\n[Tag 6001]\nValues=0..10\nDefault=11\n", "(5)", "Default"},
        {"[Scanner]\nFlatbed=yes\n[Tag 6001]\nKind=string\nDefault=C\nValues=A;B\n", "(5)", "Default"},
    };
    for (const Case &c : cases) {
        LONG rc = 0;
        std::string text = LoadFailure(c.profile, &rc);
        EXPECT_EQ(-4520, rc) << c.profile;
        EXPECT_NE(std::string::npos, text.find(std::string("profile.ini") + c.where)) << text;
        EXPECT_NE(std::string::npos, text.find(c.key)) << text;
    }
    // defaults the profile leaves open become the nearest value offered; automatic brightness
    // may be the default; a tag's default may come before its kind
    Open("[Scanner]\nFlatbed=yes\nResolutions=150,75\nContrast=0..100/10\nBrightnessDefault=-3\n"
         "[Tag 6001]\nDefault=B\nKind=string\nValues=A;B\n[Tag 6002]\nValues=5..9\n");
    LONG v = 0;
    ASSERT_EQ(0, Msg(scanner, 0x330, 1281, reinterpret_cast<LONG>(&v)));
    EXPECT_EQ(100, v);
    EXPECT_EQ(150, GetLong(scanner, 282));
    EXPECT_EQ(-3, GetLong(scanner, 1282));
    EXPECT_EQ(5, GetLong(scanner, 6002));
    char text[64] = {};
    ASSERT_EQ(0, Msg(scanner, 0x312, 6001 | (64 << 16), reinterpret_cast<LONG>(text)));
    EXPECT_STREQ("B", text);
}
