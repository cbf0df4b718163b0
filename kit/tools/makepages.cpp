// kitpages.exe: writes the kit's sample pages, a set of .bmp files that a profile's
// [Paper] Folder= can point at (kit/profiles/folder.ini does). The build runs it once to fill
// bin\samplepages; users run it to get pages they can copy and replace with their own.
//   kitpages [folder]      (default: "samplepages" beside kitpages.exe)
// Pages 1-4 are the kit's generated test chart (the same pixels the virtual scanner computes)
// stored as 24-bit colour, 8-bit gray, 4-bit palette and 1-bit black and white; pages 5 and 6
// are white sheets carrying Code 39 bar codes whose texts folder.ini announces for those pages.
// No binary image is kept in the repository: this program is their source.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kit/drivers/orva/orva.h"

namespace {

struct Sheet {
    LONG width, height, dpi, bits;     // bits: 1, 4, 8 or 24
    std::vector<RGBQUAD> palette;      // 2, 16 or 256 entries below 24 bits
    std::vector<BYTE> pixels;          // one value per pixel (index) or three (R, G, B), top row first
};

// ---- Code 39: each character is 9 elements, bar and space alternating from a bar; "w" is wide.
struct Code39 { char c; const char *pattern; };
constexpr Code39 kCode39[] = {
    {'0', "nnnwwnwnn"}, {'1', "wnnwnnnnw"}, {'2', "nnwwnnnnw"}, {'3', "wnwwnnnnn"}, {'4', "nnnwwnnnw"},
    {'5', "wnnwwnnnn"}, {'6', "nnwwwnnnn"}, {'7', "nnnwnnwnw"}, {'8', "wnnwnnwnn"}, {'9', "nnwwnnwnn"},
    {'A', "wnnnnwnnw"}, {'B', "nnwnnwnnw"}, {'C', "wnwnnwnnn"}, {'D', "nnnnwwnnw"}, {'E', "wnnnwwnnn"},
    {'F', "nnwnwwnnn"}, {'G', "nnnnnwwnw"}, {'H', "wnnnnwwnn"}, {'I', "nnwnnwwnn"}, {'J', "nnnnwwwnn"},
    {'K', "wnnnnnnww"}, {'L', "nnwnnnnww"}, {'M', "wnwnnnnwn"}, {'N', "nnnnwnnww"}, {'O', "wnnnwnnwn"},
    {'P', "nnwnwnnwn"}, {'Q', "nnnnnnwww"}, {'R', "wnnnnnwwn"}, {'S', "nnwnnnwwn"}, {'T', "nnnnwnwwn"},
    {'U', "wwnnnnnnw"}, {'V', "nwwnnnnnw"}, {'W', "wwwnnnnnn"}, {'X', "nwnnwnnnw"}, {'Y', "wwnnwnnnn"},
    {'Z', "nwwnwnnnn"}, {'-', "nwnnnnwnw"}, {'.', "wwnnnnwnn"}, {' ', "nwwnnnwnn"}, {'*', "nwnnwnwnn"},
};

// Every pattern of this table has two wide bars and one wide space.
constexpr bool WellFormed(const char *p) {
    int wideBars = 0, wideSpaces = 0, n = 0;
    for (; p[n]; ++n)
        if (p[n] == 'w') (n % 2 == 0 ? wideBars : wideSpaces) += 1;
    return n == 9 && wideBars == 2 && wideSpaces == 1;
}
constexpr bool TableWellFormed() {
    for (const Code39 &c : kCode39)
        if (!WellFormed(c.pattern)) return false;
    return true;
}
static_assert(TableWellFormed(), "a Code 39 pattern must have 9 elements, 2 wide bars and 1 wide space");

const char *PatternOf(char c) {
    for (const Code39 &e : kCode39)
        if (e.c == c) return e.pattern;
    return nullptr;
}

void Fill(Sheet &s, LONG x0, LONG y0, LONG w, LONG h, BYTE value) {
    for (LONG y = y0; y < y0 + h && y < s.height; ++y)
        for (LONG x = x0; x < x0 + w && x < s.width; ++x) s.pixels[static_cast<size_t>(y) * s.width + x] = value;
}

// Draws "*TEXT*" with narrow elements `module` pixels wide (wide = 3 modules) and a narrow gap
// between characters. Returns false for a character Code 39 cannot carry.
bool DrawCode39(Sheet &s, LONG x, LONG y, LONG module, LONG height, const char *text) {
    std::string all = std::string("*") + text + "*";
    for (char c : all) {
        const char *p = PatternOf(c);
        if (!p) return false;
        for (int i = 0; i < 9; ++i) {
            LONG w = (p[i] == 'w' ? 3 : 1) * module;
            if (i % 2 == 0) Fill(s, x, y, w, height, 1);
            x += w;
        }
        x += module;
    }
    return true;
}

Sheet ChartSheet(LONG page, LONG bits) {
    Sheet s{850, 1100, 100, bits, {}, {}};  // Letter at 100 dpi
    const bool rgb = bits == 24;
    s.pixels.assign(static_cast<size_t>(s.width) * s.height * (rgb ? 3 : 1), 0);
    if (bits == 8)
        for (int i = 0; i < 256; ++i) s.palette.push_back({BYTE(i), BYTE(i), BYTE(i), 0});
    if (bits == 4)  // the kit's 4-bit palette: r = bit 3, g = bits 2-1, b = bit 0
        for (int i = 0; i < 16; ++i)
            s.palette.push_back({BYTE((i & 1) * 255), BYTE(((i >> 1) & 3) * 255 / 3), BYTE(((i >> 3) & 1) * 255), 0});
    if (bits == 1) s.palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    for (LONG y = 0; y < s.height; ++y)
        for (LONG x = 0; x < s.width; ++x) {
            BYTE c[3];
            OrvaChartPixel(page, x, y, s.dpi, s.dpi, c);
            size_t at = static_cast<size_t>(y) * s.width + x;
            int lum = (299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000;
            if (rgb) memcpy(&s.pixels[at * 3], c, 3);
            else if (bits == 8) s.pixels[at] = static_cast<BYTE>(lum);
            else if (bits == 4) s.pixels[at] = static_cast<BYTE>(((c[0] >> 7) << 3) | ((c[1] >> 6) << 1) | (c[2] >> 7));
            else s.pixels[at] = lum >= 128 ? 1 : 0;
        }
    return s;
}

Sheet CodeSheet(const char *first, const char *second) {
    Sheet s{1700, 2200, 200, 1, {{255, 255, 255, 0}, {0, 0, 0, 0}}, {}};  // Letter at 200 dpi, index 1 black
    s.pixels.assign(static_cast<size_t>(s.width) * s.height, 0);
    DrawCode39(s, 200, 200, 4, 200, first);
    if (second) DrawCode39(s, 200, 1600, 4, 200, second);
    Fill(s, 200, 1000, 1300, 4, 1);  // a rule across the middle, so the page is not blank there
    return s;
}

// Writes a bottom-up uncompressed bitmap; resolution in pixels per metre from the sheet's dpi.
bool WriteBmp(const char *path, const Sheet &s) {
    const LONG pitch = ((s.width * s.bits + 31) / 32) * 4;
    const DWORD paletteBytes = static_cast<DWORD>(s.palette.size() * sizeof(RGBQUAD));
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih + paletteBytes;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pitch) * s.height;
    ih.biSize = sizeof ih;
    ih.biWidth = s.width;
    ih.biHeight = s.height;
    ih.biPlanes = 1;
    ih.biBitCount = static_cast<WORD>(s.bits);
    ih.biCompression = BI_RGB;
    ih.biSizeImage = static_cast<DWORD>(pitch) * s.height;
    ih.biXPelsPerMeter = ih.biYPelsPerMeter = (s.dpi * 10000 + 127) / 254;
    ih.biClrUsed = static_cast<DWORD>(s.palette.size());
    FILE *f = fopen(path, "wb");
    if (!f) return false;
    bool ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&ih, sizeof ih, 1, f) == 1 &&
              (paletteBytes == 0 || fwrite(s.palette.data(), paletteBytes, 1, f) == 1);
    std::vector<BYTE> row(pitch);
    for (LONG y = s.height - 1; ok && y >= 0; --y) {
        std::fill(row.begin(), row.end(), 0);
        for (LONG x = 0; x < s.width; ++x) {
            size_t at = static_cast<size_t>(y) * s.width + x;
            if (s.bits == 24) {
                row[x * 3] = s.pixels[at * 3 + 2];
                row[x * 3 + 1] = s.pixels[at * 3 + 1];
                row[x * 3 + 2] = s.pixels[at * 3];
            } else {
                LONG bit = x * s.bits;
                row[bit / 8] |= static_cast<BYTE>(s.pixels[at] << (8 - s.bits - bit % 8));
            }
        }
        ok = fwrite(row.data(), pitch, 1, f) == 1;
    }
    return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv) {
    char folder[MAX_PATH];
    if (argc > 1) {
        lstrcpynA(folder, argv[1], MAX_PATH);
    } else {
        KitModuleFolder(nullptr, folder, MAX_PATH);
        if (strlen(folder) + 12 >= MAX_PATH) return 2;
        strcat(folder, "samplepages");
    }
    if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        fprintf(stderr, "kitpages: cannot create the folder %s\n", folder);
        return 1;
    }
    struct Page { const char *name; Sheet (*make)(); };
    static const Page kPages[] = {
        {"page01-chart-rgb24.bmp", [] { return ChartSheet(1, 24); }},
        {"page02-chart-gray8.bmp", [] { return ChartSheet(2, 8); }},
        {"page03-chart-palette4.bmp", [] { return ChartSheet(3, 4); }},
        {"page04-chart-bitonal.bmp", [] { return ChartSheet(4, 1); }},
        {"page05-code39.bmp", [] { return CodeSheet("KIT-0005", "INVOICE 42"); }},
        {"page06-code39.bmp", [] { return CodeSheet("KIT-0006", nullptr); }},
    };
    for (const Page &p : kPages) {
        char path[MAX_PATH + 40];
        snprintf(path, sizeof path, "%s\\%s", folder, p.name);
        if (!WriteBmp(path, p.make())) {
            fprintf(stderr, "kitpages: cannot write %s\n", path);
            return 1;
        }
    }
    printf("kitpages: %d pages written to %s\n", static_cast<int>(sizeof kPages / sizeof kPages[0]), folder);
    return 0;
}
