// Pages from a folder of .bmp files ([Paper] Folder=): files of 1, 4, 8 and 24 bits, bottom-up
// and top-down, written here by the test's own bitmap writer, are fed in name order and come out
// of the scanner pixel for pixel as the file holds them (white beyond the picture, rescaled when
// the file's resolution differs from the scan's). A file that is no bitmap, or a cut one, fails
// the page with an error text that names the file.
#include "kit_driver_fixture.h"

#include <functional>

namespace {

struct Rgb { BYTE r, g, b; };

// A bitmap file: `value(x, y)` is a palette index below 24 bits, else 0xRRGGBB.
void WriteBitmap(const std::string &path, LONG width, LONG height, int bits, const std::vector<Rgb> &palette,
                 bool topDown, LONG pixelsPerMetre, const std::function<DWORD(LONG, LONG)> &value) {
    const LONG pitch = ((width * bits + 31) / 32) * 4;
    std::vector<BYTE> file(14 + 40 + palette.size() * 4 + static_cast<size_t>(pitch) * height, 0);
    auto put16 = [&](size_t at, DWORD v) { file[at] = BYTE(v), file[at + 1] = BYTE(v >> 8); };
    auto put32 = [&](size_t at, DWORD v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
    const DWORD offBits = static_cast<DWORD>(14 + 40 + palette.size() * 4);
    file[0] = 'B', file[1] = 'M';
    put32(2, static_cast<DWORD>(file.size()));
    put32(10, offBits);
    put32(14, 40);
    put32(18, width);
    put32(22, static_cast<DWORD>(topDown ? -height : height));
    put16(26, 1);
    put16(28, bits);
    put32(38, pixelsPerMetre);
    put32(42, pixelsPerMetre);
    put32(46, static_cast<DWORD>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i) {
        file[54 + i * 4] = palette[i].b, file[55 + i * 4] = palette[i].g, file[56 + i * 4] = palette[i].r;
    }
    for (LONG y = 0; y < height; ++y) {
        BYTE *row = &file[offBits + static_cast<size_t>(topDown ? y : height - 1 - y) * pitch];
        for (LONG x = 0; x < width; ++x) {
            DWORD v = value(x, y);
            if (bits == 24) {
                row[x * 3] = BYTE(v), row[x * 3 + 1] = BYTE(v >> 8), row[x * 3 + 2] = BYTE(v >> 16);
            } else {
                LONG bit = x * bits;
                row[bit / 8] |= static_cast<BYTE>(v << (8 - bits - bit % 8));
            }
        }
    }
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f) << path;
    fwrite(file.data(), 1, file.size(), f);
    fclose(f);
}

// The pages of the folder, each with the colour it holds at (x, y) and its resolution.
struct FolderPage {
    const char *file;
    LONG width, height, dpi;
    std::function<Rgb(LONG, LONG)> colour;
};

Rgb Rgb24(LONG x, LONG y) { return {BYTE(x * 7), BYTE(y * 11), BYTE((x + y) * 3)}; }
Rgb Pal8(LONG i) { return {BYTE(i), BYTE(255 - i), BYTE(i * 3)}; }
Rgb Pal4(LONG i) { return {BYTE(i * 16), BYTE(200 - i * 9), BYTE(i % 2 ? 250 : 5)}; }
const Rgb kPal1[2] = {{10, 20, 30}, {200, 210, 220}};

std::string g_folder;

void WriteFolder() {
    g_folder = g_dir + "\\pages";
    CreateDirectoryA(g_folder.c_str(), nullptr);
    std::vector<Rgb> p8, p4;
    for (int i = 0; i < 256; ++i) p8.push_back(Pal8(i));
    for (int i = 0; i < 16; ++i) p4.push_back(Pal4(i));
    // written out of name order: the scanner sorts them
    WriteBitmap(g_folder + "\\c-4bit.bmp", 21, 13, 4, p4, false, 3937, [](LONG x, LONG y) { return DWORD((x + y) % 16); });
    WriteBitmap(g_folder + "\\a-24bit.bmp", 37, 23, 24, {}, false, 3937, [](LONG x, LONG y) {
        Rgb c = Rgb24(x, y);
        return DWORD(c.r << 16 | c.g << 8 | c.b);
    });
    WriteBitmap(g_folder + "\\b-8bit-topdown.bmp", 33, 17, 8, p8, true, 3937, [](LONG x, LONG y) { return DWORD((x * 5 + y * 3) & 255); });
    WriteBitmap(g_folder + "\\d-1bit-topdown.bmp", 19, 11, 1, {kPal1[0], kPal1[1]}, true, 3937,
                [](LONG x, LONG y) { return DWORD((x * y) % 3 == 0); });
    WriteBitmap(g_folder + "\\e-24bit-200dpi.bmp", 40, 30, 24, {}, false, 7874, [](LONG x, LONG y) {
        Rgb c = Rgb24(x, y);
        return DWORD(c.r << 16 | c.g << 8 | c.b);
    });
    FILE *f = fopen((g_folder + "\\notes.txt").c_str(), "wb");  // not a page
    fputs("not a page", f);
    fclose(f);
}

const std::vector<FolderPage> kPages = {
    {"a-24bit.bmp", 37, 23, 100, Rgb24},
    {"b-8bit-topdown.bmp", 33, 17, 100, [](LONG x, LONG y) { return Pal8((x * 5 + y * 3) & 255); }},
    {"c-4bit.bmp", 21, 13, 100, [](LONG x, LONG y) { return Pal4((x + y) % 16); }},
    {"d-1bit-topdown.bmp", 19, 11, 100, [](LONG x, LONG y) { return kPal1[(x * y) % 3 == 0]; }},
    {"e-24bit-200dpi.bmp", 40, 30, 200, Rgb24},
};

std::string FolderProfile(const std::string &folder) {
    return "[Scanner]\nFlatbed=yes\nFeeder=yes\nStackSensor=yes\nResolutions=100,200\nDefaultResolution=100\n"
           "MinWidthMm=2\nMinLengthMm=2\n"
           "[Paper]\nFolder=" + folder + "\n";
}

// Scans the next page as 8-bit RGB at 100 dpi, 48 x 32 pixels from the corner.
LONG ScanRgb(JEXDRIVER &scanner) {
    EXPECT_EQ(0, Msg(scanner, 0x321, 277, 3));
    EXPECT_EQ(0, Msg(scanner, 0x321, 258, 8));
    EXPECT_EQ(0, Msg(scanner, 0x321, 286, 0));
    EXPECT_EQ(0, Msg(scanner, 0x321, 287, 0));
    EXPECT_EQ(0, Msg(scanner, 0x321, 256, 48));
    EXPECT_EQ(0, Msg(scanner, 0x321, 257, 32));
    return ScanIntoCollector(scanner);
}

// Pixels that differ from the page, which at 100 dpi shows file pixel (u * dpi / 100, ...).
int WrongPixels(const FolderPage &p) {
    int wrong = 0;
    for (LONG v = 0; v < 32; ++v)
        for (LONG u = 0; u < 48; ++u) {
            LONG sx = u * p.dpi / 100, sy = v * p.dpi / 100;
            Rgb want = sx < p.width && sy < p.height ? p.colour(sx, sy) : Rgb{255, 255, 255};
            const BYTE *got = &g_got.pixels[v * g_got.pitch + u * 3];
            if (got[0] != want.r || got[1] != want.g || got[2] != want.b) {
                if (wrong < 3)
                    ADD_FAILURE() << p.file << " (" << u << "," << v << "): got " << int(got[0]) << "," << int(got[1]) << ","
                                  << int(got[2]) << " want " << int(want.r) << "," << int(want.g) << "," << int(want.b);
                ++wrong;
            }
        }
    return wrong;
}

std::string ErrorText(LONG error) {
    char text[512] = {};
    k.errorText(0, nullptr, error, text, sizeof text);
    return text;
}

}  // namespace

TEST_F(KitDriver, FolderPagesArriveInNameOrderAsTheFilesHoldThem) {
    WriteFolder();
    Open(FolderProfile(g_folder));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    for (const FolderPage &p : kPages) {
        ASSERT_EQ(0, ScanRgb(scanner)) << p.file;
        ASSERT_EQ(48, g_got.width);
        ASSERT_EQ(32, g_got.rows);
        EXPECT_EQ(0, WrongPixels(p)) << p.file;
    }
    LONG status = 0;
    ASSERT_EQ(0, Msg(scanner, 0x604, 1, reinterpret_cast<LONG>(&status)));
    EXPECT_EQ(1, status);                                  // the text file is no page
    EXPECT_EQ(-4531, ScanRgb(scanner));
    // the flatbed always holds the first page
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 2));
    ASSERT_EQ(0, ScanRgb(scanner));
    EXPECT_EQ(0, WrongPixels(kPages[0]));
    ASSERT_EQ(0, ScanRgb(scanner));
    EXPECT_EQ(0, WrongPixels(kPages[0]));
}

TEST_F(KitDriver, FolderPagesFollowTheRequestedPixelType) {
    WriteFolder();
    Open(FolderProfile(g_folder));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    ASSERT_EQ(0, Msg(scanner, 0x321, 277, 1));
    ASSERT_EQ(0, Msg(scanner, 0x321, 258, 8));
    ASSERT_EQ(0, Msg(scanner, 0x321, 262, 0));             // zero is white
    ASSERT_EQ(0, Msg(scanner, 0x321, 256, 40));
    ASSERT_EQ(0, Msg(scanner, 0x321, 257, 23));
    ASSERT_EQ(0, ScanIntoCollector(scanner));
    int wrong = 0;
    for (LONG y = 0; y < 23; ++y)
        for (LONG x = 0; x < 40; ++x) {
            Rgb c = x < 37 ? Rgb24(x, y) : Rgb{255, 255, 255};
            int lum = (299 * c.r + 587 * c.g + 114 * c.b) / 1000;
            wrong += g_got.pixels[y * g_got.pitch + x] != 255 - lum;
        }
    EXPECT_EQ(0, wrong);
}

TEST_F(KitDriver, UnreadablePageFilesFailNamingTheFile) {
    std::string folder = g_dir + "\\badpages";
    CreateDirectoryA(folder.c_str(), nullptr);
    FILE *f = fopen((folder + "\\p1.bmp").c_str(), "wb");
    fputs("Dear scanner, this is a letter, not a picture.\n", f);
    fclose(f);
    // p2: a sound header and a promise of 100 x 100 x 24 bits, but only one row of pixels
    WriteBitmap(folder + "\\p2.bmp", 100, 1, 24, {}, false, 3937, [](LONG, LONG) { return DWORD(0); });
    {
        FILE *g = fopen((folder + "\\p2.bmp").c_str(), "r+b");
        LONG height = 100;
        fseek(g, 22, SEEK_SET);
        fwrite(&height, 4, 1, g);
        fclose(g);
    }
    // p3: 2 bits per pixel, which Windows bitmaps do not have
    WriteBitmap(folder + "\\p3.bmp", 8, 8, 24, {}, false, 3937, [](LONG, LONG) { return DWORD(0); });
    {
        FILE *g = fopen((folder + "\\p3.bmp").c_str(), "r+b");
        WORD bits = 2;
        fseek(g, 28, SEEK_SET);
        fwrite(&bits, 2, 1, g);
        fclose(g);
    }
    f = fopen((folder + "\\p4.bmp").c_str(), "wb");  // empty
    fclose(f);
    Open(FolderProfile(folder));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    struct { const char *file, *reason; } cases[] = {
        {"p1.bmp", "not a Windows bitmap"},
        {"p2.bmp", "pixel data truncated"},
        {"p3.bmp", "bits per pixel"},
        {"p4.bmp", "not a Windows bitmap"},
    };
    for (const auto &c : cases) {
        g_got = Collected{};
        EXPECT_EQ(-4522, ScanRgb(scanner)) << c.file;
        EXPECT_EQ(0, g_got.rows) << c.file;                // nothing reached the chain
        std::string text = ErrorText(-4522);
        EXPECT_NE(std::string::npos, text.find("A page image cannot be read: ")) << text;
        EXPECT_NE(std::string::npos, text.find(folder + "\\" + c.file)) << text;
        EXPECT_NE(std::string::npos, text.find(c.reason)) << text;
    }
    EXPECT_EQ(-4531, ScanRgb(scanner));
}

// An empty folder is a feeder without paper and a white glass; pages dropped into the folder
// later are fed once the feeder has run empty, those fed already are not fed again.
TEST_F(KitDriver, AnEmptyFolderIsRefilledByDroppingPagesIn) {
    std::string folder = g_dir + "\\droppages";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char *name : {"p0.bmp", "p1.bmp", "p2.bmp", "p3.bmp"}) DeleteFileA((folder + "\\" + name).c_str());
    std::vector<Rgb> gray;
    for (int i = 0; i < 256; ++i) gray.push_back({BYTE(i), BYTE(i), BYTE(i)});
    auto drop = [&](const char *name, BYTE level) {
        WriteBitmap(folder + "\\" + name, 48, 32, 8, gray, false, 3937, [level](LONG, LONG) { return DWORD(level); });
    };
    Open(FolderProfile(folder));
    LONG status = -1;
    ASSERT_EQ(0, Msg(scanner, 0x604, 1, reinterpret_cast<LONG>(&status)));
    EXPECT_EQ(1, status);
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    EXPECT_EQ(-4531, ScanRgb(scanner));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 2));
    ASSERT_EQ(0, ScanRgb(scanner));                        // the glass is never empty: a white sheet
    EXPECT_EQ(std::vector<BYTE>(g_got.pixels.size(), 255), g_got.pixels);
    drop("p2.bmp", 20);
    drop("p1.bmp", 10);
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    ASSERT_EQ(0, Msg(scanner, 0x604, 1, reinterpret_cast<LONG>(&status)));
    EXPECT_EQ(2, status);                                  // paper again
    for (BYTE level : {10, 20}) {
        ASSERT_EQ(0, ScanRgb(scanner));
        EXPECT_EQ(level, g_got.pixels[0]);
    }
    EXPECT_EQ(-4531, ScanRgb(scanner));
    drop("p0.bmp", 30);                                    // sorts first, but comes after
    drop("p3.bmp", 40);
    for (BYTE level : {30, 40}) {
        ASSERT_EQ(0, ScanRgb(scanner));
        EXPECT_EQ(level, g_got.pixels[0]);
    }
    EXPECT_EQ(-4531, ScanRgb(scanner));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 2));
    ASSERT_EQ(0, ScanRgb(scanner));                        // now the glass holds the first page
    EXPECT_EQ(10, g_got.pixels[0]);
}

// A relative Folder is taken from the profile's own folder; under Wine a Unix path names the
// folder as the developer's shell shows it.
TEST_F(KitDriver, FolderNamesRelativeToTheProfileOrAsUnixPaths) {
    WriteFolder();
    Open(FolderProfile("pages"));  // the profile is written into g_dir, beside "pages"
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    ASSERT_EQ(0, ScanRgb(scanner));
    EXPECT_EQ(0, WrongPixels(kPages[0]));
    k.unload(&scanner);
    k.done();

    typedef char *(CDECL * ToUnix)(const WCHAR *);
    auto toUnix = GetProc<ToUnix>(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (!toUnix) GTEST_SKIP() << "not running under Wine";
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, g_folder.c_str(), -1, wide, MAX_PATH);
    char *unixPath = toUnix(wide);
    ASSERT_NE(nullptr, unixPath);
    std::string profile = FolderProfile(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    ASSERT_EQ('/', profile[profile.find("Folder=") + 7]);
    Open(profile);
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 3));
    ASSERT_EQ(0, ScanRgb(scanner));
    EXPECT_EQ(0, WrongPixels(kPages[0]));
}
