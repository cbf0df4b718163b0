// Page images: create and free (10, 11), tags (13), colour table (18, 91), and the kit-private
// calls by which the JEXM-writing driver describes and fills a page and tests read it back.
#include "jexmint.h"

#include <cstdlib>
#include <cstring>

namespace jexm {
namespace {

LONG Gcd(LONG a, LONG b) {
    while (b) {
        LONG t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// Brings a resolution into the 16-bit halves that tag 282/283 are packed into.
bool ReduceRational(LONG *num, LONG *den) {
    if (*num < 0 || *den < 0) return false;
    LONG g = Gcd(*num, *den);
    if (g > 1) {
        *num /= g;
        *den /= g;
    }
    return *num <= 0xFFFF && *den <= 0xFFFF;
}

void FreePixels(Image *image) {
    free(image->pixels);
    image->pixels = nullptr;
    image->hasPage = false;
}

// Rows rows[0..count) of a caller's block, `pitch` apart; checks that all of it can be touched.
bool RowBlockOk(const void *rows, LONG count, LONG pitch, LONG rowBytes, bool write) {
    int64_t span = (int64_t)(count - 1) * (pitch < 0 ? -(int64_t)pitch : pitch) + rowBytes;
    const BYTE *first = static_cast<const BYTE *>(rows);
    if (pitch < 0) first -= (int64_t)(count - 1) * -(int64_t)pitch;
    if (span > 0x7FFFFFFF) return false;
    return write ? !IsBadWritePtr(const_cast<BYTE *>(first), (UINT_PTR)span)
                 : !IsBadReadPtr(first, (UINT_PTR)span);
}

LONG CheckRowArgs(const Image *image, LONG firstRow, LONG rowCount, const void *rows, LONG pitch,
                  bool write) {
    if (!image) return JEXM_ERR_BADIMAGE;
    if (!image->hasPage) return JEXM_ERR_NOPAGE;
    if (!rows) return JEXM_ERR_NULLARG;
    if (firstRow < 0 || rowCount < 0 || firstRow > image->page.length ||
        rowCount > image->page.length - firstRow)
        return JEXM_ERR_BADRECT;
    if (pitch == 0 || pitch == LONG(0x80000000) || (pitch < 0 ? -pitch : pitch) < image->rowBytes)
        return JEXM_ERR_BADPITCH;
    if (rowCount && !RowBlockOk(rows, rowCount, pitch, image->rowBytes, write)) return JEXM_ERR_BUFFER;
    return 0;
}

LONG SetPage(Image *image, const JEXMKITPAGE *in, const BYTE *colorMap) {
    if (!image) return JEXM_ERR_BADIMAGE;
    if (!in) return JEXM_ERR_NULLARG;
    if (IsBadReadPtr(in, sizeof *in)) return JEXM_ERR_BADARG;
    JEXMKITPAGE p = *in;
    if (p.width < 1 || p.length < 1 || p.width > kMaxSide || p.length > kMaxSide) return JEXM_ERR_TOOBIG;
    if (p.bitsPerSample != 1 && p.bitsPerSample != 2 && p.bitsPerSample != 4 && p.bitsPerSample != 8)
        return JEXM_ERR_BADVALUE;
    if (p.samplesPerPixel == 1) {
        if (p.photometric != 0 && p.photometric != 1 && p.photometric != 3) return JEXM_ERR_BADVALUE;
    } else if (p.samplesPerPixel == 3) {
        if (p.photometric != 2) return JEXM_ERR_BADVALUE;
    } else {
        return JEXM_ERR_BADVALUE;
    }
    if (!ReduceRational(&p.xResNum, &p.xResDen) || !ReduceRational(&p.yResNum, &p.yResDen))
        return JEXM_ERR_BADVALUE;
    if (p.compression == 0) p.compression = 1;  // the rows given are always uncompressed
    if (p.compression != 1) return JEXM_ERR_BADVALUE;
    LONG entries = 1L << p.bitsPerSample;
    if (p.photometric == 3 && colorMap && IsBadReadPtr(colorMap, (UINT_PTR)(3 * entries)))
        return JEXM_ERR_BADARG;

    int64_t rowBytes = ((int64_t)p.width * p.samplesPerPixel * p.bitsPerSample + 7) / 8;
    int64_t total = rowBytes * p.length;
    if (total > kMaxPageBytes) return JEXM_ERR_TOOBIG;
    BYTE *pixels = static_cast<BYTE *>(calloc((size_t)total, 1));
    if (!pixels) return JEXM_ERR_NOMEMORY;

    FreePixels(image);
    image->pixels = pixels;
    image->page = p;
    image->rowBytes = (LONG)rowBytes;
    image->hasPage = true;
    memset(image->map, 0, sizeof image->map);
    if (p.photometric == 3) {
        for (LONG i = 0; i < entries; ++i) {
            for (int c = 0; c < 3; ++c)
                image->map[c * entries + i] = colorMap ? colorMap[c * entries + i] : (BYTE)(i * 255 / (entries - 1));
        }
    }
    return 0;
}

// Bits beyond the last pixel of a row are kept 0, whatever the writer passed.
BYTE LastByteMask(const Image &image) {
    int used = (int)(((int64_t)image.page.width * image.page.samplesPerPixel * image.page.bitsPerSample) % 8);
    return used ? (BYTE)(0xFF << (8 - used)) : 0xFF;
}

}  // namespace

bool ImageTable(const Image &image, BYTE *map, LONG *entries) {
    if (image.page.samplesPerPixel != 1) {
        *entries = 0;
        return false;
    }
    LONG n = 1L << image.page.bitsPerSample;
    *entries = n;
    for (LONG i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c)
            map[c * n + i] = image.page.photometric == 3 ? image.map[c * n + i] : (BYTE)(i * 255 / (n - 1));
    }
    return true;
}

}  // namespace jexm

using namespace jexm;

LONG WINAPI JexmCreateImage(HJEXM *image) {
    Lock lock;
    LONG r = 0;
    uint32_t token = 0;
    if (!image || IsBadWritePtr(image, sizeof *image)) {
        r = JEXM_ERR_NULLARG;
    } else if ((r = InjectedFault(10)) != 0) {
        *image = nullptr;
    } else {
        Image *object = static_cast<Image *>(calloc(1, sizeof(Image)));
        if (!object) {
            r = JEXM_ERR_NOMEMORY;
        } else if (!(token = AddObject(kImage, object))) {
            free(object);
            r = JEXM_ERR_TOOMANY;
        }
        *image = reinterpret_cast<HJEXM>((uintptr_t)token);
    }
    LogCall(10, "CreateImage", r, "-> 0x%08lx", (unsigned long)token);
    return r;
}

LONG WINAPI JexmFreeImage(HJEXM image) {
    Lock lock;
    Image *object = static_cast<Image *>(RemoveObject(kImage, (uint32_t)(uintptr_t)image));
    if (object) {
        FreePixels(object);
        free(object);
    }
    LONG r = object ? 0 : JEXM_ERR_BADIMAGE;
    LogCall(11, "FreeImage", r, "0x%08lx", (unsigned long)(uintptr_t)image);
    return r;
}

LONG WINAPI JexmGetTag(HJEXM image, LONG tag, LONG *value) {
    Lock lock;
    Image *object = FindImage(image);
    LONG r = InjectedFault(13), v = 0;
    if (r) {
    } else if (!object) {
        r = JEXM_ERR_BADIMAGE;
    } else if (!value || IsBadWritePtr(value, sizeof *value)) {
        r = JEXM_ERR_NULLARG;
    } else if (!object->hasPage) {
        r = JEXM_ERR_NOPAGE;
    } else {
        const JEXMKITPAGE &p = object->page;
        switch (tag) {
        case 256: v = p.width; break;
        case 257: v = p.length; break;
        case 258: v = p.bitsPerSample; break;
        case 259: v = p.compression; break;
        case 262: v = p.photometric; break;
        case 277: v = p.samplesPerPixel; break;
        case 282: v = (LONG)((DWORD)p.xResNum | (DWORD)p.xResDen << 16); break;
        case 283: v = (LONG)((DWORD)p.yResNum | (DWORD)p.yResDen << 16); break;
        case 284: v = 1; break;
        case 320: v = p.samplesPerPixel == 1 ? 1L << p.bitsPerSample : 0; break;  // colour table entries
        default: r = JEXM_ERR_BADTAG; break;
        }
        if (r == 0) *value = v;
    }
    LogCall(13, "GetTag", r, "0x%08lx, %ld -> %ld", (unsigned long)(uintptr_t)image, (long)tag, (long)v);
    return r;
}

// byteCount = entries x 3 gives the whole table; a smaller multiple of 3 gives its first entries
// (still plane after plane). A three-sample image has no table: 0 bytes are accepted, more refused.
LONG WINAPI JexmGetColorMap(HJEXM image, LONG tag, LONG byteCount, BYTE *buffer) {
    Lock lock;
    Image *object = FindImage(image);
    LONG r = InjectedFault(18);
    BYTE map[3 * 256];
    LONG entries = 0;
    if (r) {
    } else if (!object) {
        r = JEXM_ERR_BADIMAGE;
    } else if (!object->hasPage) {
        r = JEXM_ERR_NOPAGE;
    } else if (tag != 320) {
        r = JEXM_ERR_BADTAG;
    } else if (byteCount < 0 || byteCount % 3) {
        r = JEXM_ERR_BADARG;
    } else if (byteCount == 0) {
        r = 0;
    } else if (!buffer || IsBadWritePtr(buffer, (UINT_PTR)byteCount)) {
        r = JEXM_ERR_NULLARG;
    } else if (!ImageTable(*object, map, &entries)) {
        r = JEXM_ERR_NOCOLORMAP;
    } else if (byteCount / 3 > entries) {
        r = JEXM_ERR_BUFFER;
    } else {
        LONG n = byteCount / 3;
        for (int c = 0; c < 3; ++c) memcpy(buffer + c * n, map + c * entries, (size_t)n);
    }
    LogCall(18, "GetColorMap", r, "0x%08lx, %ld, %ld, %s", (unsigned long)(uintptr_t)image, (long)tag,
            (long)byteCount, Ptr(buffer));
    return r;
}

// Map and destination may be the same block: the map is copied first.
LONG WINAPI JexmColorMapToRGB(LONG entries, const BYTE *map, BYTE *rgb) {
    Lock lock;
    LONG r = InjectedFault(91);
    if (r) {
    } else if (entries < 0 || entries > 65536) {
        r = JEXM_ERR_BADARG;
    } else if (entries > 0 && (!map || !rgb)) {
        r = JEXM_ERR_NULLARG;
    } else if (entries > 0 && (IsBadReadPtr(map, (UINT_PTR)(3 * entries)) || IsBadWritePtr(rgb, (UINT_PTR)(3 * entries)))) {
        r = JEXM_ERR_BADARG;
    } else if (entries > 0) {
        BYTE *copy = static_cast<BYTE *>(malloc((size_t)(3 * entries)));
        if (!copy) {
            r = JEXM_ERR_NOMEMORY;
        } else {
            memcpy(copy, map, (size_t)(3 * entries));
            for (LONG i = 0; i < entries; ++i) {
                rgb[3 * i + 0] = copy[i];
                rgb[3 * i + 1] = copy[entries + i];
                rgb[3 * i + 2] = copy[2 * entries + i];
            }
            free(copy);
        }
    }
    LogCall(91, "ColorMapToRGB", r, "%ld, %s, %s", (long)entries, Ptr(map), Ptr(rgb));
    return r;
}

LONG WINAPI JexmKitSetPage(HJEXM image, const JEXMKITPAGE *page, const BYTE *colorMap) {
    Lock lock;
    return SetPage(FindImage(image), page, colorMap);
}

LONG WINAPI JexmKitPutRows(HJEXM image, LONG firstRow, LONG rowCount, const void *rows, LONG pitch) {
    Lock lock;
    Image *object = FindImage(image);
    LONG r = CheckRowArgs(object, firstRow, rowCount, rows, pitch, false);
    if (r) return r;
    BYTE mask = LastByteMask(*object);
    for (LONG i = 0; i < rowCount; ++i) {
        BYTE *dst = object->pixels + (int64_t)(firstRow + i) * object->rowBytes;
        memcpy(dst, static_cast<const BYTE *>(rows) + (int64_t)i * pitch, (size_t)object->rowBytes);
        dst[object->rowBytes - 1] &= mask;
    }
    return 0;
}

LONG WINAPI JexmKitGetRows(HJEXM image, LONG firstRow, LONG rowCount, void *rows, LONG pitch) {
    Lock lock;
    Image *object = FindImage(image);
    LONG r = CheckRowArgs(object, firstRow, rowCount, rows, pitch, true);
    if (r) return r;
    for (LONG i = 0; i < rowCount; ++i)
        memcpy(static_cast<BYTE *>(rows) + (int64_t)i * pitch,
               object->pixels + (int64_t)(firstRow + i) * object->rowBytes, (size_t)object->rowBytes);
    return 0;
}
