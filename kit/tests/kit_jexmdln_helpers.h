// Helpers of the virtual jexmdln tests: test pages as plain sample arrays, packed and unpacked by
// the tests' own code, and the colour each sample stands for, worked out from what the photometric
// interpretation means rather than from the library's code.
#pragma once

#include "jexmkit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kittest {

struct Page {
    JEXMKITPAGE d{};
    std::vector<BYTE> map;   // planar colour map for photometric 3 (empty: none given)
    std::vector<int> s;      // samples, row by row, pixel by pixel, sample by sample
    int Max() const { return (1 << d.bitsPerSample) - 1; }
    int At(int x, int y, int c = 0) const { return s[((size_t)y * d.width + x) * d.samplesPerPixel + c]; }
};

// A page whose samples run through every value in a scrambled order.
inline Page MakePage(int width, int length, int bps, int spp, int photometric, unsigned seed = 1) {
    Page p;
    p.d.width = width;
    p.d.length = length;
    p.d.bitsPerSample = bps;
    p.d.samplesPerPixel = spp;
    p.d.photometric = photometric;
    p.d.xResNum = 100;
    p.d.xResDen = 1;
    p.d.yResNum = 100;
    p.d.yResDen = 1;
    p.d.compression = 1;
    uint32_t x = seed * 2654435761u + 12345;
    p.s.resize((size_t)width * length * spp);
    for (auto &v : p.s) {
        x = x * 1103515245u + 12345u;
        v = (int)((x >> 16) & (uint32_t)p.Max());
    }
    if (photometric == 3) {
        int n = 1 << bps;
        p.map.resize(3 * n);
        for (int i = 0; i < n; ++i) {  // distinct, not a ramp
            p.map[i] = (BYTE)(255 - i * 255 / (n - 1));
            p.map[n + i] = (BYTE)((i * 97 + 13) & 0xFF);
            p.map[2 * n + i] = (BYTE)((i * 53 + 200) & 0xFF);
        }
    }
    return p;
}

inline int UnpackBits(const BYTE *row, int64_t index, int bits) {
    int64_t bit = index * bits;
    int byte = row[bit / 8];
    return (byte >> (8 - bits - (int)(bit % 8))) & ((1 << bits) - 1);
}

inline std::vector<BYTE> Pack(const Page &p, int *rowBytes) {
    int spp = p.d.samplesPerPixel, bps = p.d.bitsPerSample;
    *rowBytes = (p.d.width * spp * bps + 7) / 8;
    std::vector<BYTE> rows((size_t)*rowBytes * p.d.length, 0);
    for (int y = 0; y < p.d.length; ++y)
        for (int i = 0; i < p.d.width * spp; ++i) {
            int64_t bit = (int64_t)i * bps;
            rows[(size_t)y * *rowBytes + bit / 8] |= (BYTE)(p.s[(size_t)y * p.d.width * spp + i] << (8 - bps - bit % 8));
        }
    return rows;
}

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

// The colour a pixel of the page shows: 0 black for photometric 1, 0 white for photometric 0.
inline Rgb TrueColour(const Page &p, int x, int y) {
    int max = p.Max();
    switch (p.d.photometric) {
    case 0: {
        int g = (max - p.At(x, y)) * 255 / max;
        return {g, g, g};
    }
    case 1: {
        int g = p.At(x, y) * 255 / max;
        return {g, g, g};
    }
    case 2: return {p.At(x, y, 0) * 255 / max, p.At(x, y, 1) * 255 / max, p.At(x, y, 2) * 255 / max};
    default: {
        int n = max + 1, v = p.At(x, y);
        if (p.map.empty()) return {v * 255 / max, v * 255 / max, v * 255 / max};
        return {p.map[v], p.map[n + v], p.map[2 * n + v]};
    }
    }
}

// An image holding the page, or null after a failed test assertion.
inline HJEXM LoadPage(const Page &p) {
    HJEXM image = nullptr;
    EXPECT_EQ(0, JexmCreateImage(&image));
    EXPECT_EQ(0, JexmKitSetPage(image, &p.d, p.map.empty() ? nullptr : p.map.data()));
    int rowBytes = 0;
    std::vector<BYTE> rows = Pack(p, &rowBytes);
    EXPECT_EQ(0, JexmKitPutRows(image, 0, p.d.length, rows.data(), rowBytes));
    return image;
}

inline HJEXMZONE MakeZone(LONG photometric = -1) {
    HJEXMZONE zone = nullptr;
    EXPECT_EQ(0, JexmCreateZone(&zone, 1));
    if (photometric >= 0) {
        EXPECT_EQ(0, JexmSetZoneTag(zone, 262, 0, 1, photometric));
    }
    return zone;
}

inline LONG FormatCode(int bps, LONG kind) { return (LONG)((bps - 1) & 7) << 24 | kind; }

// All live objects of the library, as one value for EXPECT_EQ.
inline std::vector<LONG> Live() {
    LONG i = -1, z = -1, p = -1;
    JexmKitLiveObjects(&i, &z, &p);
    return {i, z, p};
}

}  // namespace kittest
