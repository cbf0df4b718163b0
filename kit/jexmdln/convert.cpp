// Row conversion: delivers a rectangle of a page image in the layout a RectGetEx format code
// names. Shared by RectGetEx (45) and the display (42).
//
// What the rows mean:
// - Palette layout (0x200000): indexes into the table that tag 320 gives (18, 84): the colour map
//   of a palette page, the black-to-white ramp of a gray page. Sense and invert flag do not apply,
//   since an index carries no brightness. With a palette object in the format code the indexes are
//   those of the object's table (each colour of the page's table goes to the same colour in the
//   object, or the nearest one).
// - Gray layout (0): brightness levels; colour layout (0x300000): red, green, blue (blue first with
//   0x400000). The zone's tag 262 chooses whether zero is dark or light (unset: as the image
//   holds it; colour is dark-is-zero), then a set invert flag turns every sample over once more.
// - DIB rows, read bottom-up (a negative pitch) or in DIB colour order (0x400000), carry their
//   sense in the DIB's colour table, the black-to-white ramp of tag 320: they come dark-is-zero
//   whatever the zone's sense, and a set invert flag turns them over. So the invert flag the data
//   source derives from the pixel flavour and "InvertColor" shows in a native transfer, while its
//   memory rows (top-down, invert flag 0) follow the zone's sense.
// - Samples are rescaled when the bits per sample differ from the page's; gray from colour or
//   from a palette page is the luminance.
#include "jexmint.h"

#include <cstring>

namespace jexm {
namespace {

inline LONG Rescale(LONG v, LONG maxIn, LONG maxOut) {
    return maxIn == maxOut ? v : (v * maxOut * 2 + maxIn) / (2 * maxIn);
}

inline LONG Luma(LONG r, LONG g, LONG b) { return (299 * r + 587 * g + 114 * b + 500) / 1000; }

inline LONG GetBits(const BYTE *row, int64_t bit, int bits) {
    if (bits == 8) return row[bit >> 3];
    int shift = 8 - bits - (int)(bit & 7);
    return (row[bit >> 3] >> shift) & ((1 << bits) - 1);
}

inline void PutBits(BYTE *row, int64_t bit, int bits, LONG v) {
    if (bits == 8) {
        row[bit >> 3] = (BYTE)v;
        return;
    }
    int shift = 8 - bits - (int)(bit & 7);
    row[bit >> 3] |= (BYTE)(v << shift);
}

struct Plan {
    int bi, si, pm;      // page: bits per sample, samples, photometric
    int bo, so, cls;     // output: bits per sample, samples, 0 gray / 2 palette / 3 colour
    bool bgr;
    BYTE one[256][3];    // one-sample pages: output samples for each sample value
    BYTE sample[256];    // colour pages to colour: each sample
    BYTE level[256];     // colour pages to gray: for each 8-bit luminance
    bool byteWise;       // one sample in and out at the same depth: a source byte maps to one byte
    BYTE byte[256];      // ... and this is the byte it maps to
    bool copies;         // rows are delivered as the page holds them
};

int ClassOf(LONG format) { return (int)((format & kFormatClassMask) >> 20); }
int DepthOf(LONG format) { return (int)((format & kFormatDepthMask) >> 24) + 1; }

LONG CheckFormat(LONG format) {
    if (format & ~(kFormatDepthMask | kFormatClassMask | kFormatDibOrder)) return JEXM_ERR_BADFORMAT;
    int bo = DepthOf(format);
    if (ClassOf(format) == 1 || (bo != 1 && bo != 2 && bo != 4 && bo != 8)) return JEXM_ERR_BADFORMAT;
    return 0;
}

// Index in `table` (planar, n colours) of the colour nearest to (r, g, b); `prefer` wins ties.
LONG Nearest(const BYTE *table, LONG n, LONG r, LONG g, LONG b, LONG prefer) {
    LONG best = 0, bestDist = 0x7FFFFFFF;
    for (LONG j = 0; j < n; ++j) {
        LONG dr = table[j] - r, dg = table[n + j] - g, db = table[2 * n + j] - b;
        LONG d = dr * dr + dg * dg + db * db;
        if (d < bestDist || (d == bestDist && j == prefer)) {
            best = j;
            bestDist = d;
        }
    }
    return best;
}

LONG MakePlan(const Request &q, Plan *p) {
    const JEXMKITPAGE &page = q.image->page;
    p->bi = (int)page.bitsPerSample;
    p->si = (int)page.samplesPerPixel;
    p->pm = (int)page.photometric;
    p->bo = DepthOf(q.format);
    p->cls = ClassOf(q.format);
    p->so = p->cls == 3 ? 3 : 1;
    p->bgr = p->cls == 3 && (q.format & kFormatDibOrder);
    const LONG maxIn = (1L << p->bi) - 1, maxOut = (1L << p->bo) - 1;

    bool light;
    LONG zp = q.zone ? q.zone->photometric : -1;
    if (q.pitch < 0 || (q.format & kFormatDibOrder)) light = false;
    else if (zp == 0 || zp == 2) light = true;
    else if (zp == 1 || zp == 120) light = false;
    else light = p->cls == 0 && p->si == 1 && p->pm == 0;
    const bool flip = light != (q.invert != 0);

    if (p->si == 3) {
        if (p->cls == 2) return JEXM_ERR_CONVERT;  // no quantisation of colour pages
        for (LONG v = 0; v <= maxIn; ++v) {
            LONG s = Rescale(v, maxIn, maxOut);
            p->sample[v] = (BYTE)(flip ? maxOut - s : s);
        }
        for (LONG v = 0; v < 256; ++v) {
            LONG s = Rescale(v, 255, maxOut);
            p->level[v] = (BYTE)(flip ? maxOut - s : s);
        }
        p->copies = p->cls == 3 && !p->bgr && p->bi == p->bo;
        for (LONG v = 0; v <= maxIn && p->copies; ++v) p->copies = p->sample[v] == v;
        return 0;
    }

    BYTE table[3 * 256];
    LONG entries = 0;
    ImageTable(*q.image, table, &entries);
    if (p->cls == 2) {
        if (q.palette) {
            if (q.palette->entries > maxOut + 1) return JEXM_ERR_CONVERT;
        } else if (p->bo < p->bi) {
            return JEXM_ERR_CONVERT;
        }
    }
    for (LONG v = 0; v <= maxIn; ++v) {
        LONG index = p->pm == 3 ? v : (p->pm == 0 ? maxIn - v : v);  // gray: dark-is-zero level
        LONG r = table[index], g = table[entries + index], b = table[2 * entries + index];
        BYTE *out = p->one[v];
        if (p->cls == 2) {
            if (q.palette)
                index = Nearest(q.palette->map, q.palette->entries, r, g, b, index);
            out[0] = (BYTE)index;
        } else if (p->cls == 0) {
            LONG s = p->pm == 3 ? Rescale(Luma(r, g, b), 255, maxOut) : Rescale(index, maxIn, maxOut);
            out[0] = (BYTE)(flip ? maxOut - s : s);
        } else {
            LONG c[3] = {r, g, b};
            for (int k = 0; k < 3; ++k) {
                LONG s = p->pm == 3 ? Rescale(c[k], 255, maxOut) : Rescale(index, maxIn, maxOut);
                out[p->bgr ? 2 - k : k] = (BYTE)(flip ? maxOut - s : s);
            }
        }
    }
    p->copies = false;
    p->byteWise = p->so == 1 && p->bo == p->bi;
    if (p->byteWise) {
        const int perByte = 8 / p->bi;
        for (int v = 0; v < 256; ++v) {
            int out = 0;
            for (int j = 0; j < perByte; ++j) {
                const int shift = 8 - p->bi * (j + 1);
                out |= p->one[(v >> shift) & maxIn][0] << shift;
            }
            p->byte[v] = (BYTE)out;
        }
        p->copies = true;
        for (int v = 0; v < 256 && p->copies; ++v) p->copies = p->byte[v] == v;
    }
    return 0;
}

// Whole bytes at a time where every sample maps on its own and the row starts on a byte.
bool FastRow(const Plan &p, const Request &q, const BYTE *src, LONG outWidth, BYTE *dst) {
    if (outWidth != q.image->page.width) return false;
    const LONG n = q.right - q.left;
    if (p.copies && ((int64_t)q.left * p.bi * p.si) % 8 == 0) {
        const int64_t bits = (int64_t)n * p.bi * p.si;
        memcpy(dst, src + (int64_t)q.left * p.bi * p.si / 8, (size_t)(bits / 8));
        if (bits % 8) {
            const BYTE last = src[((int64_t)q.left * p.bi * p.si + bits) / 8];
            dst[bits / 8] = (BYTE)(last & (0xFF00 >> (bits % 8)));
        }
        return true;
    }
    if (p.si == 3 && p.so == 3 && p.bi == 8 && p.bo == 8) {
        const BYTE *s = src + (int64_t)q.left * 3;
        const int r = p.bgr ? 2 : 0, b = p.bgr ? 0 : 2;
        for (LONG k = 0; k < n; ++k, s += 3, dst += 3) {
            dst[0] = p.sample[s[r]];
            dst[1] = p.sample[s[1]];
            dst[2] = p.sample[s[b]];
        }
        return true;
    }
    if (p.si != 1 || !p.byteWise || ((int64_t)q.left * p.bi) % 8 != 0) return false;
    const int64_t bits = (int64_t)n * p.bi;
    const BYTE *s = src + (int64_t)q.left * p.bi / 8;
    const int64_t whole = bits / 8;
    for (int64_t i = 0; i < whole; ++i) dst[i] = p.byte[s[i]];
    if (const int rest = (int)(bits % 8)) dst[whole] = (BYTE)(p.byte[s[whole]] & (0xFF00 >> rest));
    return true;
}

void ConvertRow(const Plan &p, const Request &q, const BYTE *src, LONG outWidth, BYTE *dst) {
    const LONG iw = q.image->page.width;
    const int maxIn = (1 << p.bi) - 1;
    for (LONG x = q.left, k = 0; x < q.right; ++x, ++k) {
        int64_t sx = outWidth == iw ? x : (int64_t)x * iw / outWidth;
        int64_t outBit = (int64_t)k * p.so * p.bo;
        if (p.si == 1) {
            const BYTE *s = p.one[GetBits(src, sx * p.bi, p.bi)];
            for (int c = 0; c < p.so; ++c) PutBits(dst, outBit + c * p.bo, p.bo, s[c]);
            continue;
        }
        LONG rgb[3];
        for (int c = 0; c < 3; ++c) rgb[c] = GetBits(src, (sx * 3 + c) * p.bi, p.bi);
        if (p.cls == 0) {
            LONG l = Luma(Rescale(rgb[0], maxIn, 255), Rescale(rgb[1], maxIn, 255), Rescale(rgb[2], maxIn, 255));
            PutBits(dst, outBit, p.bo, p.level[l]);
        } else {
            for (int c = 0; c < 3; ++c) PutBits(dst, outBit + c * p.bo, p.bo, p.sample[rgb[p.bgr ? 2 - c : c]]);
        }
    }
}

}  // namespace

void OutputSize(const Image &image, const Zone *zone, LONG *width, LONG *length) {
    *width = zone && zone->width ? zone->width : image.page.width;
    *length = zone && zone->length ? zone->length : image.page.length;
}

LONG OutputRowBytes(LONG format, LONG columns) {
    if (CheckFormat(format)) return 0;
    int so = ClassOf(format) == 3 ? 3 : 1;
    return (LONG)(((int64_t)columns * so * DepthOf(format) + 7) / 8);
}

LONG ReadRows(const Request &q) {
    LONG r = CheckFormat(q.format);
    if (r) return r;
    if (q.invert != 0 && q.invert != 1) return JEXM_ERR_BADARG;
    LONG ow, ol;
    OutputSize(*q.image, q.zone, &ow, &ol);
    if (q.left < 0 || q.top < 0 || q.left > q.right || q.top > q.bottom || q.right > ow || q.bottom > ol)
        return JEXM_ERR_BADRECT;
    const LONG rowBytes = OutputRowBytes(q.format, q.right - q.left);
    if (q.pitch == 0 || q.pitch == LONG(0x80000000)) return JEXM_ERR_BADPITCH;
    const LONG absPitch = q.pitch < 0 ? -q.pitch : q.pitch;
    if (absPitch < rowBytes) return JEXM_ERR_BADPITCH;
    const LONG rows = q.bottom - q.top;
    if (rows == 0 || rowBytes == 0) return 0;
    // The last row in memory needs only its own bytes; nothing is written past bufferBytes.
    const int64_t need = (int64_t)(rows - 1) * absPitch + rowBytes;
    if (!q.buffer) return JEXM_ERR_NULLARG;
    if (q.bufferBytes < need) return JEXM_ERR_BUFFER;
    // Padding is written wherever the buffer has room for it, the last row's included.
    const int64_t full = (int64_t)rows * absPitch;
    const int64_t span = full < q.bufferBytes ? full : q.bufferBytes;
    if (IsBadWritePtr(q.buffer, (UINT_PTR)span)) return JEXM_ERR_BUFFER;

    static Plan plan;  // only used under the library lock
    r = MakePlan(q, &plan);
    if (r) return r;
    const LONG il = q.image->page.length;
    for (LONG y = q.top; y < q.bottom; ++y) {
        LONG k = y - q.top;
        LONG place = q.pitch > 0 ? k : rows - 1 - k;  // position in memory
        BYTE *dst = q.buffer + (int64_t)place * absPitch;
        const size_t room = (size_t)(place < rows - 1 ? absPitch : span - (int64_t)place * absPitch);
        int64_t sy = ol == il ? y : (int64_t)y * il / ol;
        const BYTE *src = q.image->pixels + sy * q.image->rowBytes;
        // Whole rows written at once leave only the padding to clear.
        if (FastRow(plan, q, src, ow, dst)) {
            if (room > (size_t)rowBytes) memset(dst + rowBytes, 0, room - rowBytes);
            continue;
        }
        memset(dst, 0, room);
        ConvertRow(plan, q, src, ow, dst);
    }
    return 0;
}

}  // namespace jexm
