// Scanning through the source as an application does: pages written as .bmp files for the
// kit's feeder, the enable/transfer/end cycle, and DIBs taken apart pixel by pixel.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cap/captest.h"

// The source's private extensions, as its applications know them.
constexpr TW_UINT16 CCAP_QUIETERRORS = 0x8100;
constexpr TW_UINT16 DAT_DRIVERERROR = 0x8002;
constexpr TW_UINT16 TWCC_DRIVERERROR = 0x8001;

// A page as the test means it: colours of every pixel, top row first.
struct Page {
    int width = 0, height = 0;
    std::vector<RGBQUAD> pixels;
    RGBQUAD at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline Page MakePage(int width, int height, const std::function<RGBQUAD(int, int)> &colour) {
    Page p;
    p.width = width;
    p.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.pixels.push_back(colour(x, y));
    return p;
}

// A 24-bit bottom-up .bmp at dpi dots per inch.
inline void WriteBmp(const std::string &path, const Page &p, int dpi) {
    const int row = (p.width * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = p.width;
    ih.biHeight = p.height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = row * p.height;
    ih.biXPelsPerMeter = ih.biYPelsPerMeter = static_cast<LONG>(dpi / 0.0254 + 0.5);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::vector<BYTE> bits(ih.biSizeImage);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            BYTE *d = &bits[static_cast<size_t>(p.height - 1 - y) * row + x * 3];
            const RGBQUAD c = p.at(x, y);
            d[0] = c.rgbBlue, d[1] = c.rgbGreen, d[2] = c.rgbRed;
        }
    std::string all(reinterpret_cast<const char *>(&fh), sizeof fh);
    all.append(reinterpret_cast<const char *>(&ih), sizeof ih);
    all.append(reinterpret_cast<const char *>(bits.data()), bits.size());
    WriteText(path, all);
}

// A packed DIB taken apart: its header and every pixel's colour through its colour table.
struct Dib {
    BITMAPINFOHEADER header{};
    SIZE_T blockSize = 0;
    Page page;
    bool ok = false;
};

inline Dib ReadDib(HGLOBAL handle) {
    Dib d;
    if (!handle) return d;
    d.blockSize = GlobalSize(handle);
    const BYTE *p = static_cast<const BYTE *>(GlobalLock(handle));
    if (!p) return d;
    d.header = *reinterpret_cast<const BITMAPINFOHEADER *>(p);
    const BITMAPINFOHEADER &h = d.header;
    const RGBQUAD *table = reinterpret_cast<const RGBQUAD *>(p + h.biSize);
    const BYTE *bits = reinterpret_cast<const BYTE *>(table + h.biClrUsed);
    const int row = ((h.biWidth * h.biBitCount + 31) / 32) * 4;
    d.page.width = h.biWidth;
    d.page.height = h.biHeight;
    for (int y = 0; y < h.biHeight; ++y) {
        const BYTE *r = bits + static_cast<size_t>(h.biHeight - 1 - y) * row;
        for (int x = 0; x < h.biWidth; ++x) {
            RGBQUAD c{};
            if (h.biBitCount == 24) {
                c = RGBQUAD{r[x * 3], r[x * 3 + 1], r[x * 3 + 2], 0};
            } else {
                const int bpp = h.biBitCount, perByte = 8 / bpp;
                const int index = (r[x / perByte] >> (8 - bpp * (x % perByte + 1))) & ((1 << bpp) - 1);
                c = index < static_cast<int>(h.biClrUsed) ? table[index] : RGBQUAD{1, 2, 3, 4};
            }
            d.page.pixels.push_back(c);
        }
    }
    GlobalUnlock(handle);
    d.ok = true;
    return d;
}

inline bool SameColour(RGBQUAD a, RGBQUAD b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// Counts the pixels that differ; names the first one.
inline int Differences(const Page &got, const Page &want, std::string *first) {
    if (got.width != want.width || got.height != want.height) {
        *first = "size " + std::to_string(got.width) + "x" + std::to_string(got.height);
        return -1;
    }
    int n = 0;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x)
            if (!SameColour(got.at(x, y), want.at(x, y)) && n++ == 0) {
                const RGBQUAD g = got.at(x, y), w = want.at(x, y);
                *first = "(" + std::to_string(x) + "," + std::to_string(y) + ") got " + std::to_string(g.rgbRed) +
                         "/" + std::to_string(g.rgbGreen) + "/" + std::to_string(g.rgbBlue) + " want " +
                         std::to_string(w.rgbRed) + "/" + std::to_string(w.rgbGreen) + "/" + std::to_string(w.rgbBlue);
            }
    return n;
}

// A source open over a feeder of the test's own pages.
struct Scanner : OpenKit {
    explicit Scanner(const std::string &profile) : OpenKit(profile) {}

    TW_UINT16 Enable(bool showUI = false, HWND parent = nullptr) {
        TW_USERINTERFACE ui{static_cast<TW_BOOL>(showUI), 1, parent};
        rc = kit.src().Call(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
        cc = kit.src().Status(&app);
        modal = ui.ModalUI;
        return rc;
    }
    TW_UINT16 Disable() {
        TW_USERINTERFACE ui{};
        rc = kit.src().Call(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        cc = kit.src().Status(&app);
        return rc;
    }
    // The page as the application receives it; the block is freed.
    Dib Native() {
        TW_UINT32 handle = 0xDEAD;
        rc = kit.src().Call(&app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
        cc = kit.src().Status(&app);
        Dib d;
        if (rc == TWRC_XFERDONE) {
            d = ReadDib(reinterpret_cast<HGLOBAL>(handle));
            GlobalFree(reinterpret_cast<HGLOBAL>(handle));
        } else {
            EXPECT_EQ(handle, 0u);
        }
        return d;
    }
    TW_PENDINGXFERS Pending(TW_UINT16 msg) {
        TW_PENDINGXFERS p{0xABCD, 0x12345678};
        rc = kit.src().Call(&app, DG_CONTROL, DAT_PENDINGXFERS, msg, &p);
        cc = kit.src().Status(&app);
        return p;
    }
    TW_UINT16 Layout(TW_UINT16 msg, TW_IMAGELAYOUT *layout) {
        rc = kit.src().Call(&app, DG_IMAGE, DAT_IMAGELAYOUT, msg, layout);
        cc = kit.src().Status(&app);
        return rc;
    }
    TW_UINT16 Info(TW_IMAGEINFO *info) {
        rc = kit.src().Call(&app, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, info);
        cc = kit.src().Status(&app);
        return rc;
    }
    // Frame in pixels from the top-left corner.
    void FramePixels(int width, int height) {
        EXPECT_TRUE(Set(ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS).ok());
        TW_IMAGELAYOUT l{};
        l.Frame.Right.Whole = static_cast<TW_INT16>(width);
        l.Frame.Bottom.Whole = static_cast<TW_INT16>(height);
        EXPECT_EQ(Layout(MSG_SET, &l), TWRC_SUCCESS) << cc;
    }
    int Scans() const { return CountCalls(kit.Calls(), "35 JexdfltScan"); }

    TW_UINT16 rc = 0, cc = 0, modal = 0;
};

// A feeder of pages in the test's folder, at 100 dpi, one pixel wide steps, stack sensor.
inline std::string FolderProfile(const std::string &folder, const std::string &extra = "") {
    return "[Scanner]\nName=Pages\nFlatbed=yes\nFeeder=yes\nDuplex=no\nStackSensor=yes\nWidthStep=1\n"
           "MinWidthMm=1\nMinLengthMm=1\nMaxWidthMm=3000\nResolutions=100,200\nDefaultResolution=100\n"
           "PageSizes=\n" +
           extra + "[Paper]\nFolder=" + folder + "\n";
}
