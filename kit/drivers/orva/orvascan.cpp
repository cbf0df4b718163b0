// One page through the chain (jexdfltn @35): the page comes from the feeder or the flatbed, as a
// generated test chart or a .bmp file of the profile's folder, is converted to the current pixel
// type and frame, and is sent to the next driver as: 545 (strip query), 1314 (empty bar-code
// list), 259 (page start), 1538 (rows, strip by strip), for each bar code 0x320/0x321 on tags
// 1735/1730 and 1585, then 260 (page end). Between strips the yield call-back (tag 1299) runs; a
// non-zero answer, an abort (0x606) or an injected fault stops the page.
#include <cstdio>
#include <cstring>

#include <vector>

#include "kit/drivers/orva/orva.h"

namespace {

constexpr LONG kDefaultStrip = 64;
constexpr LONGLONG kMaxPageBytes = 256LL << 20;
constexpr LONG kMaxWidth = 100000;       // pixels of a row: far beyond any scanner, far from overflow
constexpr LONGLONG kMaxFilePixels = 64LL << 20;

struct Bitmap {          // a page file decoded to RGB, top row first
    LONG width, height, dpiX, dpiY;
    BYTE *rgb;
    bool blank;          // no file at all: a white sheet
};

void FreeBitmap(Bitmap *b) {
    if (b->rgb) HeapFree(GetProcessHeap(), 0, b->rgb);
    b->rgb = nullptr;
}

// A colour channel of a 16- or 32-bit pixel: where its mask sits and its largest value.
struct Channel { DWORD mask; int shift; DWORD max; };

// False when a mask is empty or not one run of bits.
bool MakeChannel(DWORD mask, Channel *c) {
    if (mask == 0) return false;
    c->mask = mask;
    c->shift = 0;
    while (!(mask & 1)) mask >>= 1, ++c->shift;
    c->max = mask;
    return (mask & (mask + 1)) == 0;
}

BYTE ChannelValue(const Channel &c, DWORD pixel) {
    return static_cast<BYTE>(((pixel & c.mask) >> c.shift) * 255 / c.max);
}

DWORD Read32(const BYTE *p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24; }

// Reads an uncompressed Windows bitmap of 1, 4, 8, 16, 24 or 32 bits per pixel, bottom-up or
// top-down, 16 and 32 bits also with colour masks (BI_BITFIELDS, in the header or after it).
// Every offset and size in the file is checked against the file's length before it is used, so
// a damaged or hostile file gives KIT_ERR_BADPAGE and a reason, never a wild read.
LONG LoadBitmap(const char *path, Bitmap *out, const char **reason) {
    ZeroMemory(out, sizeof *out);
    *reason = "cannot be opened";
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return KIT_ERR_BADPAGE;
    DWORD size = GetFileSize(f, nullptr), got = 0;
    constexpr DWORD kFileHeader = sizeof(BITMAPFILEHEADER);
    constexpr DWORD kHeaders = kFileHeader + sizeof(BITMAPINFOHEADER);
    BYTE *data = size >= 2 && size < (64u << 20) ? static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), 0, size)) : nullptr;
    bool read = data && ReadFile(f, data, size, &got, nullptr) && got == size;
    CloseHandle(f);
    if (size >= (64u << 20)) *reason = "larger than 64 MB";
    else if (size < 2) *reason = "not a Windows bitmap (the file is empty)";
    else if (!read) *reason = "cannot be read";
    LONG rc = KIT_ERR_BADPAGE;
    if (read && (data[0] != 'B' || data[1] != 'M')) *reason = "not a Windows bitmap (no BM signature)";
    else if (read && size < kHeaders) *reason = "truncated bitmap header";
    if (read && data[0] == 'B' && data[1] == 'M' && size >= kHeaders) {
        const BITMAPFILEHEADER *fh = reinterpret_cast<const BITMAPFILEHEADER *>(data);
        const BITMAPINFOHEADER *ih = reinterpret_cast<const BITMAPINFOHEADER *>(data + kFileHeader);
        LONGLONG w = ih->biWidth, h = ih->biHeight < 0 ? -static_cast<LONGLONG>(ih->biHeight) : ih->biHeight;
        WORD bpp = ih->biBitCount;
        const bool masked = ih->biCompression == BI_BITFIELDS;
        LONGLONG pitch = ((w * bpp + 31) / 32) * 4;
        ULONGLONG colors = bpp <= 8 ? (ih->biClrUsed ? ih->biClrUsed : 1u << bpp) : 0;
        ULONGLONG headerEnd = kFileHeader + static_cast<ULONGLONG>(ih->biSize);
        // masks: inside a header of 52 bytes or more, else the three words after it
        ULONGLONG maskAt = ih->biSize >= 52 ? kFileHeader + 40 : headerEnd;
        ULONGLONG tableEnd = headerEnd + (masked && ih->biSize < 52 ? 12 : 0) + colors * 4;
        Channel ch[3] = {};
        DWORD defaultMasks[3] = {bpp == 16 ? 0x7C00u : 0xFF0000u, bpp == 16 ? 0x3E0u : 0xFF00u, bpp == 16 ? 0x1Fu : 0xFFu};
        bool masksOk = true;
        if (ih->biSize >= sizeof(BITMAPINFOHEADER) && headerEnd + (masked ? 12 : 0) <= size && (bpp == 16 || bpp == 32)) {
            DWORD limit = bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu;
            for (int k = 0; k < 3; ++k) {
                DWORD m = masked ? Read32(data + maskAt + 4 * k) : defaultMasks[k];
                masksOk = masksOk && (m & ~limit) == 0 && MakeChannel(m, &ch[k]);
            }
        }
        if (ih->biSize < sizeof(BITMAPINFOHEADER)) *reason = "unsupported bitmap header (OS/2 or unknown)";
        else if (headerEnd > size) *reason = "truncated bitmap header";
        else if (w <= 0 || h <= 0 || w > 30000 || h > 30000) *reason = "width or height out of range (1..30000)";
        else if (w * h > kMaxFilePixels) *reason = "more than 64 million pixels";
        else if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            *reason = "only 1, 4, 8, 16, 24 and 32 bits per pixel are supported";
        else if (ih->biCompression != BI_RGB && !(masked && (bpp == 16 || bpp == 32))) *reason = "compressed bitmaps are not supported";
        else if (!masksOk) *reason = "colour masks missing or not one run of bits each";
        else if (colors > 256 || tableEnd > size) *reason = "colour table missing or too long";
        else if (fh->bfOffBits < tableEnd) *reason = "pixel data overlaps the headers";
        else if (static_cast<ULONGLONG>(fh->bfOffBits) + static_cast<ULONGLONG>(pitch) * h > size) *reason = "pixel data truncated";
        else {
            const RGBQUAD *pal = reinterpret_cast<const RGBQUAD *>(data + headerEnd);
            out->rgb = static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(w * h * 3)));
            if (!out->rgb) {
                *reason = "not enough memory";
                rc = KIT_ERR_NOMEMORY;
            } else {
                for (LONG y = 0; y < h; ++y) {
                    const BYTE *row = data + fh->bfOffBits + static_cast<SIZE_T>(ih->biHeight < 0 ? y : h - 1 - y) * pitch;
                    for (LONG x = 0; x < w; ++x) {
                        BYTE *px = out->rgb + (static_cast<SIZE_T>(y) * w + x) * 3;
                        if (bpp == 24) {
                            const BYTE *s = row + x * 3;
                            px[0] = s[2], px[1] = s[1], px[2] = s[0];
                            continue;
                        }
                        if (bpp == 16 || bpp == 32) {
                            DWORD v = bpp == 16 ? static_cast<DWORD>(row[x * 2] | row[x * 2 + 1] << 8) : Read32(row + x * 4);
                            for (int k = 0; k < 3; ++k) px[k] = ChannelValue(ch[k], v);
                            continue;
                        }
                        DWORD index = bpp == 8 ? row[x] : bpp == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 15 : (row[x / 8] >> (7 - x % 8)) & 1;
                        if (index >= colors) index = 0;
                        px[0] = pal[index].rgbRed, px[1] = pal[index].rgbGreen, px[2] = pal[index].rgbBlue;
                    }
                }
                out->width = static_cast<LONG>(w), out->height = static_cast<LONG>(h);
                out->dpiX = ih->biXPelsPerMeter > 0 ? static_cast<LONG>((ih->biXPelsPerMeter * 254LL + 5000) / 10000) : 200;
                out->dpiY = ih->biYPelsPerMeter > 0 ? static_cast<LONG>((ih->biYPelsPerMeter * 254LL + 5000) / 10000) : 200;
                if (out->dpiX <= 0) out->dpiX = 200;
                if (out->dpiY <= 0) out->dpiY = 200;
                rc = 0;
            }
        }
    }
    if (data) HeapFree(GetProcessHeap(), 0, data);
    return rc;
}

void PagePixel(const Bitmap *b, LONG page, LONG u, LONG v, LONG xdpi, LONG ydpi, BYTE rgb[3]) {
    if (b->blank) {
        rgb[0] = rgb[1] = rgb[2] = 255;
        return;
    }
    if (!b->rgb) {
        OrvaChartPixel(page, u, v, xdpi, ydpi, rgb);
        return;
    }
    LONGLONG sx = static_cast<LONGLONG>(u) * b->dpiX / xdpi, sy = static_cast<LONGLONG>(v) * b->dpiY / ydpi;
    if (sx < 0 || sy < 0 || sx >= b->width || sy >= b->height) {
        rgb[0] = rgb[1] = rgb[2] = 255;  // beyond the paper
        return;
    }
    const BYTE *s = b->rgb + (sy * b->width + sx) * 3;
    rgb[0] = s[0], rgb[1] = s[1], rgb[2] = s[2];
}

void ColorMap(LONG bits, BYTE *map) {
    LONG n = 1L << bits;
    for (LONG i = 0; i < n; ++i) {
        if (bits == 8) {
            map[i] = static_cast<BYTE>(((i >> 5) & 7) * 255 / 7);
            map[n + i] = static_cast<BYTE>(((i >> 2) & 7) * 255 / 7);
            map[2 * n + i] = static_cast<BYTE>((i & 3) * 255 / 3);
        } else {
            map[i] = static_cast<BYTE>(((i >> 3) & 1) * 255);
            map[n + i] = static_cast<BYTE>(((i >> 1) & 3) * 255 / 3);
            map[2 * n + i] = static_cast<BYTE>((i & 1) * 255);
        }
    }
}

void PutSample(BYTE *row, LONG index, LONG bits, LONG sample) {
    if (bits == 8) {
        row[index] = static_cast<BYTE>(sample);
        return;
    }
    LONG bit = index * bits;
    row[bit / 8] |= static_cast<BYTE>(sample << (8 - bits - bit % 8));
}

struct Format { LONG width, length, bits, spp, photometric, xdpi, ydpi, x0, y0; };

// The chart's column positions in thousandths of an inch, worked out once per page width: the
// chart is the same formula as OrvaChartPixel, without a division per pixel.
struct ChartColumns {
    LONG x0 = -1, width = -1, xdpi = -1;
    std::vector<LONG> mx;
    std::vector<BYTE> line;
};

void ChartRowPixels(const Format &f, LONG page, LONG v, std::vector<BYTE> &rgb) {
    static ChartColumns cols;
    const LONG xdpi = f.xdpi > 0 ? f.xdpi : 1, ydpi = f.ydpi > 0 ? f.ydpi : 1;
    if (cols.x0 != f.x0 || cols.width != f.width || cols.xdpi != xdpi) {
        cols.x0 = f.x0, cols.width = f.width, cols.xdpi = xdpi;
        cols.mx.resize(f.width);
        cols.line.resize(f.width);
        const LONG qx = xdpi / 4 > 0 ? xdpi / 4 : 1;
        for (LONG x = 0; x < f.width; ++x) {
            const LONG u = x + f.x0;
            cols.mx[x] = static_cast<LONG>(static_cast<LONGLONG>(u) * 1000 / xdpi);
            cols.line[x] = u % qx == 0;
        }
    }
    const LONG my = static_cast<LONG>(static_cast<LONGLONG>(v) * 1000 / ydpi);
    const LONG qy = ydpi / 4 > 0 ? ydpi / 4 : 1;
    const bool rowLine = v % qy == 0;
    rgb.resize(static_cast<size_t>(f.width) * 3);
    for (LONG x = 0; x < f.width; ++x) {
        BYTE *c = &rgb[static_cast<size_t>(x) * 3];
        const LONG mx = cols.mx[x];
        if (my < 250 && mx < 1000) {
            const BYTE k = ((page >> (15 - mx * 16 / 1000)) & 1) ? 0 : 255;
            c[0] = c[1] = c[2] = k;
        } else if (rowLine || cols.line[x]) {
            c[0] = c[1] = c[2] = 0;
        } else {
            c[0] = static_cast<BYTE>((mx / 8) & 255);
            c[1] = static_cast<BYTE>((my / 8) & 255);
            c[2] = static_cast<BYTE>((page * 40 + (mx + my) / 16) & 255);
        }
    }
}

void MakeRow(const Format &f, const Bitmap *b, LONG page, LONG y, BYTE *row) {
    LONG maxv = (1L << f.bits) - 1;
    static std::vector<BYTE> chart;
    const bool isChart = !b->blank && !b->rgb;
    if (isChart) ChartRowPixels(f, page, y + f.y0, chart);
    for (LONG x = 0; x < f.width; ++x) {
        BYTE c[3];
        if (isChart) {
            const BYTE *p = &chart[static_cast<size_t>(x) * 3];
            c[0] = p[0], c[1] = p[1], c[2] = p[2];
        } else {
            PagePixel(b, page, x + f.x0, y + f.y0, f.xdpi, f.ydpi, c);
        }
        if (f.spp == 3) {
            for (int k = 0; k < 3; ++k) PutSample(row, x * 3 + k, f.bits, c[k] >> (8 - f.bits));
            continue;
        }
        if (f.photometric == 3) {
            LONG idx = f.bits == 8 ? ((c[0] >> 5) << 5) | ((c[1] >> 5) << 2) | (c[2] >> 6)
                                   : ((c[0] >> 7) << 3) | ((c[1] >> 6) << 1) | (c[2] >> 7);
            PutSample(row, x, f.bits, idx);
            continue;
        }
        LONG lum = (299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000;
        LONG s = lum >> (8 - f.bits);
        PutSample(row, x, f.bits, f.photometric == 0 ? maxv - s : s);
    }
}

const KitPageExtra *ExtraOf(const KitProfile *p, LONG page) {
    for (int i = 0; i < p->extraCount; ++i)
        if (p->extras[i].page == page) return &p->extras[i];
    return nullptr;
}

LONG Send(Orva *o, LONG msg, LONG tag, LONG value) {
    if (!o->next) return 0;
    return o->next(o->nextInstance, msg, tag, value);
}

// A fault of the profile aimed at this page (the Nth page scanned since the load), counted by
// jexdfltn across loads like every other fault.
LONG PageFault(Orva *o) {
    return o->host.checkFault ? o->host.checkFault(KIT_FAULT_PAGE, o->pagesScanned) : 0;
}

LONG CallYield(Orva *o) {
    LONG proc = OrvaLong(o, 1299);
    if (proc) {
        OrvaCallOut out(o);
        OrvaCallOutLine line(o);
        LONG r = reinterpret_cast<LONG(WINAPI *)(void)>(proc)();
        line.End("yield()", r);
        if (r != 0) return r < 0 ? r : JEX_ERR_CANCEL;
    }
    return o->abortRequested ? JEX_ERR_CANCEL : 0;
}

}  // namespace

LONG OrvaFeederPages(Orva *o) {
    const KitProfile *p = o->p;
    if (!p->pageFolder[0]) return p->generatedPages;
    // the developer may have dropped new files into the folder since it ran empty
    if (o->feederTaken >= p->pageFileCount) KitRefillPages(o->profile, o->feederTaken);
    return p->pageFileCount;
}

LONG OrvaScan(Orva *o) {
    const KitProfile *p = o->p;
    bool feeder = OrvaLong(o, 1300) != 2;
    LONG page = 1;
    bool blank = false;
    if (feeder) {
        if (o->feederTaken >= OrvaFeederPages(o)) return KIT_ERR_FEEDEREMPTY;
        page = ++o->feederTaken;
    } else if (p->pageFolder[0]) {
        // the glass holds the folder's first page; with an empty folder, a white sheet
        if (p->pageFileCount == 0) KitRefillPages(o->profile, 0);
        blank = p->pageFileCount == 0;
    }
    ++o->pagesScanned;
    LONG fault = PageFault(o);
    Format f = {OrvaLong(o, 256), OrvaLong(o, 257), OrvaLong(o, 258), OrvaLong(o, 277), OrvaLong(o, 262),
                OrvaDpi(o, 282), OrvaDpi(o, 283), OrvaLong(o, 286), OrvaLong(o, 287)};
    if (f.width <= 0 || f.width > kMaxWidth || f.length <= 0 || f.xdpi <= 0 || f.ydpi <= 0 || (f.spp != 1 && f.spp != 3) ||
        (f.bits != 1 && f.bits != 2 && f.bits != 4 && f.bits != 8))
        return KIT_ERR_BADVALUE;
    const LONGLONG pitch64 = (static_cast<LONGLONG>(f.width) * f.spp * f.bits + 7) / 8;
    if (pitch64 * f.length > kMaxPageBytes) return KIT_ERR_NOMEMORY;
    const LONG pitch = static_cast<LONG>(pitch64);
    Bitmap bmp = {};
    bmp.blank = blank;
    if (p->pageFolder[0] && !blank) {
        const char *reason = "";
        LONG rc = LoadBitmap(p->pageFiles[page - 1], &bmp, &reason);
        if (rc != 0) {
            char text[MAX_PATH + 120];
            snprintf(text, sizeof text, "%s: %s", p->pageFiles[page - 1], reason);
            if (o->host.pageError) o->host.pageError(text);
            return rc;
        }
    }
    LONG strip = 0;
    LONG rc = Send(o, KIT_MSG_STRIPQUERY, 0, reinterpret_cast<LONG>(&strip));
    if (rc < 0 || strip <= 0 || strip > f.length) strip = f.length < kDefaultStrip ? f.length : kDefaultStrip;
    BYTE map[3 * 256];
    KITPAGESTART start = {};
    start.page = {f.width, f.length, f.bits, f.spp, f.photometric, f.xdpi, 1, f.ydpi, 1, 1};
    start.pageNumber = page;
    if (f.photometric == 3 && f.spp == 1 && (f.bits == 4 || f.bits == 8)) {
        ColorMap(f.bits, map);
        start.colorMap = map;
    }
    BYTE *rows = static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(pitch64 * strip)));
    rc = rows ? 0 : KIT_ERR_NOMEMORY;
    if (rc == 0) Send(o, KIT_MSG_CODESSTART, 0, 0);
    if (rc == 0) rc = Send(o, KIT_MSG_PAGESTART, 0, reinterpret_cast<LONG>(&start));
    const bool started = rc >= 0 && rows;
    const LONG strips = (f.length + strip - 1) / strip;
    LONG delivered = 0, index = 0;
    for (LONG first = 0; rc >= 0 && first < f.length; first += strip, ++index) {
        if (fault != 0 && first >= f.length / 2) {
            rc = fault;
            break;
        }
        LONG n = f.length - first < strip ? f.length - first : strip;
        ZeroMemory(rows, static_cast<SIZE_T>(pitch) * n);
        for (LONG y = 0; y < n; ++y) MakeRow(f, &bmp, page, first + y, rows + static_cast<SIZE_T>(y) * pitch);
        KITROWS r = {first, n, pitch, rows};
        rc = Send(o, KIT_MSG_ROWS, n, reinterpret_cast<LONG>(&r));
        if (rc < 0) break;
        delivered += n;
        if (p->delayMs > 0) {  // the page's time spread over its strips, nothing lost to rounding
            LONGLONG d = p->delayMs;
            Sleep(static_cast<DWORD>(d * (index + 1) / strips - d * index / strips));
        }
        rc = CallYield(o);
    }
    if (rc >= 0 && fault != 0) rc = fault;  // a page too short to reach its middle
    const KitPageExtra *extra = ExtraOf(p, page);
    if (rc >= 0) {
        for (int i = 0; extra && i < extra->codeCount; ++i) {
            Send(o, 0x320, KIT_TAG_CODETEXT, reinterpret_cast<LONG>(KitCodeText(p, extra->codes[i])));
            Send(o, 0x321, KIT_TAG_CODETYPE, extra->codes[i].type);
            Send(o, KIT_MSG_CODE, 0, 0);
        }
    }
    // Every page that was started is ended, also a failed one: its tag says how many rows came.
    if (started) {
        LONG end = Send(o, KIT_MSG_PAGEEND, delivered, 0);
        if (rc >= 0) rc = end;
    }
    if (rc >= 0) {
        int sep = OrvaIndex(o, 1448);
        if (sep >= 0) o->cur.l[sep] = (extra && extra->separator && OrvaLong(o, 1447) != 0) ? 1 : 0;
    }
    if (rows) HeapFree(GetProcessHeap(), 0, rows);
    FreeBitmap(&bmp);
    return rc < 0 ? rc : 0;
}
