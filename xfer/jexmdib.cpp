// The held page as a packed DIB: header, colour table, rows bottom-up, each padded to 4 bytes.
#include <cstdlib>
#include <cstring>

#include "cap/capstate.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kDibRows = 261;
constexpr LONG kTagColorMap = 320;
constexpr LONG kTagPlanar = 284;
constexpr LONG kStripBytes = 32768;

constexpr LONG RoundUp4(LONG bytes) { return (bytes + 3) & ~3; }
constexpr LONG RowBytes(LONG width, LONG bitsPerPixel) {
    return static_cast<LONG>((static_cast<int64_t>(width) * bitsPerPixel + 7) / 8);
}

// Rows are read one strip at a time, bottom row first, straight into their place in the DIB.
bool CopyRows(HJEXM image, HJEXMZONE zone, BYTE *pixels, LONG width, LONG length, LONG rowSize, WORD invert,
              LONG format) {
    // A row wider than the usual strip gets a strip of its own size.
    const LONG stripBytes = rowSize > kStripBytes ? rowSize : kStripBytes;
    BYTE *strip = static_cast<BYTE *>(calloc(1, stripBytes));
    if (!strip) return false;
    const LONG rowsPerStrip = stripBytes / rowSize;
    bool ok = true;
    for (LONG y = 0; y < length && ok;) {
        const LONG n = y + rowsPerStrip > length ? length - y : rowsPerStrip;
        const LONG rect[4] = {0, y, width, y + n};
        ok = JexmRectGetEx(image, zone, stripBytes, rect, strip, -rowSize, invert, format) == 0;
        if (ok) memcpy(pixels + static_cast<SIZE_T>(rowSize) * (length - y - n), strip, static_cast<SIZE_T>(n) * rowSize);
        y += n;
    }
    free(strip);
    return ok;
}

}  // namespace

LONG JexmSetupFormat(LONG kind, WORD *invert, LONG *rowBytes, LONG *format, WORD *entries) {
    *invert = 0;
    *format = 0;
    *entries = 0;
    HJEXM image = gPage.hPageJexm;
    if (!image) return -1;
    LONG width = 0, length = 0, samples = 0, bits = 0, photometric = 0, planar = 0;
    JexmGetTag(image, kTagWidth, &width);
    JexmGetTag(image, kTagLength, &length);
    JexmGetTag(image, kTagSamplesPerPixel, &samples);
    JexmGetTag(image, kTagBitsPerSample, &bits);
    JexmGetTag(image, kTagPhotometric, &photometric);
    JexmGetTag(image, kTagPlanar, &planar);
    bool flip = gCaps.PixelFlavor != TWPF_CHOCOLATE;
    if (gState.bInvertColor) flip = !flip;
    *invert = flip ? 1 : 0;
    const LONG bitsCode = ((bits - 1) & 7) << 24;
    if (samples == 1) {
        *rowBytes = RoundUp4(RowBytes(width, bits));
        *entries = bits >= 1 && bits <= 8 ? static_cast<WORD>(1u << bits) : 0;
        *format = bitsCode | (photometric == 3 ? 0x200000 : 0);
    } else if (samples == 3) {
        *format = bitsCode | 0x300000 | (kind != 259 ? 0x400000 : 0);
        *rowBytes = RowBytes(width, 3 * bits);
    } else {
        *rowBytes = 0;
    }
    return 0;
}

HGLOBAL JexmToDib(HJEXM image, HJEXMZONE zone, TW_UINT16 *failure) {
    TW_UINT16 scratch;
    TW_UINT16 &why = failure ? *failure : scratch;
    why = TWCC_OPERATIONERROR;
    if (!image) return nullptr;
    LONG width = 0, length = 0, samples = 0, bits = 0, resolution = 0;
    JexmGetTag(image, kTagWidth, &width);
    JexmGetTag(image, kTagLength, &length);
    JexmGetTag(image, kTagSamplesPerPixel, &samples);
    JexmGetTag(image, kTagBitsPerSample, &bits);
    JexmGetTag(image, kTagXResolution, &resolution);
    WORD invert = 0, entries = 0;
    LONG rowSize = 0, format = 0;
    JexmSetupFormat(kDibRows, &invert, &rowSize, &format, &entries);
    // A DIB holds 1, 4 or 8 bits a pixel with a colour table, or 24 without one.
    const bool gray = samples == 1 && (bits == 1 || bits == 4 || bits == 8);
    const bool colour = samples == 3 && bits == 8;
    if ((!gray && !colour) || width <= 0 || length <= 0) return nullptr;
    if (colour) entries = 0;
    rowSize = RoundUp4(rowSize);

    BYTE map[256 * 3] = {}, rgb[256 * 3] = {};
    bool haveMap = false;
    if (entries > 0) {
        haveMap = JexmGetColorMap(image, kTagColorMap, entries * 3, map) == 0 &&
                  JexmColorMapToRGB(entries, map, rgb) == 0;
    }

    const uint64_t pixelBytes = static_cast<uint64_t>(rowSize) * static_cast<uint64_t>(length);
    const uint64_t total = pixelBytes + entries * 4u + sizeof(BITMAPINFOHEADER);
    why = TWCC_LOWMEMORY;
    if (total > 0x7FFFFFFFu) return nullptr;
    HGLOBAL dib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(total));
    if (!dib) return nullptr;
    auto *header = static_cast<BITMAPINFOHEADER *>(GlobalLock(dib));
    if (!header) {
        GlobalFree(dib);
        return nullptr;
    }
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = length;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(samples * bits);
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(pixelBytes);
    const LONG num = resolution & 0xFFFF, den = static_cast<LONG>(static_cast<DWORD>(resolution) >> 16);
    if (den != 0) header->biXPelsPerMeter = static_cast<LONG>((num * 100 / den) / 2.54);
    header->biYPelsPerMeter = header->biXPelsPerMeter;
    header->biClrUsed = colour ? 0 : entries;

    auto *table = reinterpret_cast<RGBQUAD *>(header + 1);
    if (haveMap) {
        const bool palette = (format & 0x700000) == 0x200000;
        for (int i = 0; i < entries; ++i) {
            const BYTE *t = rgb + i * 3;
            table[i] = palette ? RGBQUAD{t[2], t[1], t[0], 0} : RGBQUAD{t[0], t[1], t[2], 0};
        }
    }
    const bool ok = CopyRows(image, zone, reinterpret_cast<BYTE *>(table + entries), width, length, rowSize,
                             invert, format);
    GlobalUnlock(dib);
    if (!ok) {
        // Rows that could not be read are never handed out as a page.
        why = TWCC_OPERATIONERROR;
        GlobalFree(dib);
        return nullptr;
    }
    why = TWCC_SUCCESS;
    return dib;
}

LONG ScanPageToDib(HGLOBAL *dib, TW_UINT16 *failure) {
    gPage.XferState = 7;
    gPage.bNeedNewPage = TRUE;
    SdkPrint(kLogTwain, "Scan a page!");
    const LONG r = ScanPageToJexm(260);
    SdkPrint(kLogTwain, "Store page into bitmap");
    *dib = nullptr;
    *failure = TWCC_LOWMEMORY;
    if (r == 0) *dib = JexmToDib(gPage.hPageJexm, gPage.hPageZone, failure);
    gPage.bXferInProgress = FALSE;
    FreeHeldPage();
    return r;
}
