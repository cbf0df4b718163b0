// The JEXM display functions: start and end (5, 4, counted so that they nest), drawing an image
// into a window or device context (42) and mapping points between image and window (43, 44).
//
// The mapping, the same for drawing and for both conversions:
// - the area is the rectangle given (a pointer to a RECT, device coordinates of the DC) or, when
//   none is given, the window's client area;
// - mode bit 2 scales the image into the area, bit 1 keeps its aspect ratio while doing so (the
//   image fills the width or the height of the area); without bit 2 one image pixel is one window
//   pixel. The image's top-left corner sits at the area's top-left corner. Bit 4 is accepted and
//   has no further effect (the preview passes 7: fit, keep aspect, top-left).
// - image -> window: x' = area.left + round(x * N / D); window -> image: x = round((x' - area.left)
//   * D / N), with N / D the scale of that axis. So a preview window sized to a third of a 100-dpi
//   image shows the whole image at one third of its pixel size.
// 42's source rectangle (image pixels) may be null or all zero for the whole image.
// Drawing maps image pixel column x to window columns [x', (x+1)') and reads the image with its own
// colours (zone tag 262 and the invert flag do not apply to the display).
#include "jexmint.h"

#include <cstdlib>

using namespace jexm;

namespace {

struct Display {
    LONG starts;  // 5 minus 4
};
Display g;

constexpr LONG kKnownFlags = 0x8000;  // the callers' "client coordinates" flag; nothing else
constexpr LONG kKnownModes = 7;
constexpr LONG kBandBytes = 4 << 20;  // bounds the temporary rows of one StretchDIBits

struct Mapping {
    LONG ax, ay;          // area origin
    LONG aw, ah;          // area size
    int64_t nx, dx, ny, dy;
};

int64_t RoundDiv(int64_t a, int64_t b) {  // b > 0; halves go up
    int64_t n = 2 * a + b, d = 2 * b;
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}

LONG MakeMapping(HWND window, LONG area, LONG mode, const Image &image, Mapping *m) {
    RECT r;
    if (area) {
        if (IsBadReadPtr(reinterpret_cast<const void *>((uintptr_t)area), sizeof(RECT))) return JEXM_ERR_BADARG;
        r = *reinterpret_cast<const RECT *>((uintptr_t)area);
    } else {
        if (!window || !GetClientRect(window, &r)) return JEXM_ERR_BADWINDOW;
    }
    m->ax = r.left;
    m->ay = r.top;
    m->aw = r.right - r.left;
    m->ah = r.bottom - r.top;
    const int64_t iw = image.page.width, ih = image.page.length;
    if (!(mode & 2)) {
        m->nx = m->dx = m->ny = m->dy = 1;
        return 0;
    }
    if (m->aw <= 0 || m->ah <= 0) return JEXM_ERR_BADWINDOW;
    if (mode & 1) {
        if ((int64_t)m->aw * ih <= (int64_t)m->ah * iw) {
            m->nx = m->ny = m->aw;
            m->dx = m->dy = iw;
        } else {
            m->nx = m->ny = m->ah;
            m->dx = m->dy = ih;
        }
    } else {
        m->nx = m->aw;
        m->dx = iw;
        m->ny = m->ah;
        m->dy = ih;
    }
    return 0;
}

LONG ToWindowX(const Mapping &m, LONG x) { return (LONG)(m.ax + RoundDiv((int64_t)x * m.nx, m.dx)); }
LONG ToWindowY(const Mapping &m, LONG y) { return (LONG)(m.ay + RoundDiv((int64_t)y * m.ny, m.dy)); }
LONG ToImageX(const Mapping &m, LONG x) { return (LONG)RoundDiv((int64_t)(x - m.ax) * m.dx, m.nx); }
LONG ToImageY(const Mapping &m, LONG y) { return (LONG)RoundDiv((int64_t)(y - m.ay) * m.dy, m.ny); }

// Checks common to 42, 43 and 44.
LONG CheckDisplayArgs(HWND window, HDC dc, HJEXM image, HJEXMZONE zone, LONG flags, LONG mode, Image **object,
                      Zone **zoneObject) {
    if (g.starts <= 0) return JEXM_ERR_DISPLAY;
    if (window && !IsWindow(window)) return JEXM_ERR_BADWINDOW;
    if (dc && !GetObjectType(dc)) return JEXM_ERR_BADWINDOW;
    *object = FindImage(image);
    if (!*object) return JEXM_ERR_BADIMAGE;
    if (!(*object)->hasPage) return JEXM_ERR_NOPAGE;
    *zoneObject = FindZone(zone);
    if (!*zoneObject) return JEXM_ERR_BADZONE;
    if (flags & ~kKnownFlags) return JEXM_ERR_BADARG;
    if (mode & ~kKnownModes) return JEXM_ERR_BADARG;
    return 0;
}

LONG DrawRows(HDC dc, const Image &image, const Zone &zone, const Mapping &m, const RECT &src) {
    const LONG sw = src.right - src.left;
    const LONG rowBytes = (sw * 3 + 3) & ~3;
    LONG bandRows = kBandBytes / rowBytes;
    if (bandRows < 1) bandRows = 1;
    if (bandRows > src.bottom - src.top) bandRows = src.bottom - src.top;
    BYTE *bits = static_cast<BYTE *>(malloc((size_t)rowBytes * bandRows));
    if (!bits) return JEXM_ERR_NOMEMORY;

    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = sw;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    int oldMode = SetStretchBltMode(dc, zone.smooth ? HALFTONE : COLORONCOLOR);
    if (zone.smooth) SetBrushOrgEx(dc, 0, 0, nullptr);

    const LONG x0 = ToWindowX(m, src.left), x1 = ToWindowX(m, src.right);
    LONG r = 0;
    for (LONG y = src.top; y < src.bottom && r == 0; y += bandRows) {
        LONG n = src.bottom - y < bandRows ? src.bottom - y : bandRows;
        LONG y0 = ToWindowY(m, y), y1 = ToWindowY(m, y + n);
        if (y1 <= y0 || x1 <= x0) continue;
        Request q{};
        q.image = &image;
        q.left = src.left;
        q.right = src.right;
        q.top = y;
        q.bottom = y + n;
        q.format = 0x07000000 | 0x300000 | kFormatDibOrder;
        q.buffer = bits;
        q.bufferBytes = rowBytes * n;
        q.pitch = -rowBytes;
        r = ReadRows(q);
        if (r) break;
        bmi.bmiHeader.biHeight = n;
        if (StretchDIBits(dc, x0, y0, x1 - x0, y1 - y0, 0, 0, sw, n, bits, &bmi, DIB_RGB_COLORS, SRCCOPY) <= 0)
            r = JEXM_ERR_DRAW;
    }
    if (oldMode) SetStretchBltMode(dc, oldMode);
    free(bits);
    return r;
}

// The part of the area right of and below the whole image.
void FillOutside(HDC dc, const Image &image, const Zone &zone, const Mapping &m) {
    if (!zone.fillOutside || zone.background == NULL_BRUSH) return;
    HBRUSH brush = static_cast<HBRUSH>(GetStockObject(zone.background));
    LONG right = ToWindowX(m, image.page.width), bottom = ToWindowY(m, image.page.length);
    RECT r1 = {right, m.ay, m.ax + m.aw, m.ay + m.ah};
    RECT r2 = {m.ax, bottom, right, m.ay + m.ah};
    if (r1.left < r1.right && r1.top < r1.bottom) FillRect(dc, &r1, brush);
    if (r2.left < r2.right && r2.top < r2.bottom) FillRect(dc, &r2, brush);
}

LONG Draw(HWND window, HDC dc, HJEXM image, HJEXMZONE zone, LONG flags, LONG area, LONG source, LONG c, LONG d,
          LONG mode, LONG e, LONG f) {
    Image *object;
    Zone *zoneObject;
    LONG r = CheckDisplayArgs(window, dc, image, zone, flags, mode, &object, &zoneObject);
    if (r) return r;
    if (c || d || e || f) return JEXM_ERR_BADARG;
    if (!dc && !window) return JEXM_ERR_BADWINDOW;
    RECT src = {0, 0, object->page.width, object->page.length};
    if (source) {
        if (IsBadReadPtr(reinterpret_cast<const void *>((uintptr_t)source), sizeof(RECT))) return JEXM_ERR_BADARG;
        const RECT given = *reinterpret_cast<const RECT *>((uintptr_t)source);
        if (given.left || given.top || given.right || given.bottom) src = given;  // all zero: the whole image
        if (src.left < 0 || src.top < 0 || src.left >= src.right || src.top >= src.bottom ||
            src.right > object->page.width || src.bottom > object->page.length)
            return JEXM_ERR_BADRECT;
    }
    Mapping m;
    r = MakeMapping(window, area, mode, *object, &m);
    if (r) return r;
    HDC own = dc ? nullptr : GetDC(window);
    HDC target = dc ? dc : own;
    if (!target) return JEXM_ERR_BADWINDOW;
    r = DrawRows(target, *object, *zoneObject, m, src);
    if (r == 0) FillOutside(target, *object, *zoneObject, m);
    if (own) ReleaseDC(window, own);
    return r;
}

LONG MapPoints(bool toWindow, HWND window, HDC dc, HJEXM image, HJEXMZONE zone, LONG flags, LONG area, LONG mode,
               POINT *points, LONG count) {
    Image *object;
    Zone *zoneObject;
    LONG r = CheckDisplayArgs(window, dc, image, zone, flags, mode, &object, &zoneObject);
    if (r) return r;
    if (!points) return JEXM_ERR_NULLARG;
    if (count < 1 || count > 4096) return JEXM_ERR_BADARG;
    if (IsBadWritePtr(points, sizeof(POINT) * (UINT_PTR)count)) return JEXM_ERR_BADARG;
    Mapping m;
    r = MakeMapping(window, area, mode, *object, &m);
    if (r) return r;
    for (LONG i = 0; i < count; ++i) {
        POINT &p = points[i];
        if (toWindow) {
            p.x = ToWindowX(m, p.x);
            p.y = ToWindowY(m, p.y);
        } else {
            p.x = ToImageX(m, p.x);
            p.y = ToImageY(m, p.y);
        }
    }
    return 0;
}

}  // namespace

LONG WINAPI JexmDisplayStart(void) {
    Lock lock;
    LONG r = InjectedFault(5);
    if (r == 0) ++g.starts;
    LogCall(5, "DisplayStart", r, "%s", "");
    return r;
}

LONG WINAPI JexmDisplayEnd(void) {
    Lock lock;
    LONG r = 0;
    if (g.starts <= 0) r = JEXM_ERR_DISPLAY;
    else --g.starts;
    LogCall(4, "DisplayEnd", r, "%s", "");
    return r;
}

LONG WINAPI JexmDisplayDraw(HWND window, HDC dc, HJEXM image, HJEXMZONE zone, LONG flags, LONG a, LONG b, LONG c,
                            LONG d, LONG mode, LONG e, LONG f) {
    Lock lock;
    LONG r = InjectedFault(42);
    if (r == 0) r = Draw(window, dc, image, zone, flags, a, b, c, d, mode, e, f);
    LogCall(42, "DisplayDraw", r, "%s, %s, 0x%08lx, 0x%08lx, 0x%lx, %s, %s, %ld, %ld, %ld, %ld, %ld", Ptr(window), Ptr(dc),
            (unsigned long)(uintptr_t)image, (unsigned long)(uintptr_t)zone, (unsigned long)flags,
            Ptr(reinterpret_cast<void *>((uintptr_t)a)), Ptr(reinterpret_cast<void *>((uintptr_t)b)), (long)c, (long)d,
            (long)mode, (long)e, (long)f);
    return r;
}

LONG WINAPI JexmImageToWindow(HWND window, HDC dc, HJEXM image, HJEXMZONE zone, LONG flags, LONG a, LONG mode,
                              POINT *points, LONG count) {
    Lock lock;
    LONG r = InjectedFault(43);
    if (r == 0) r = MapPoints(true, window, dc, image, zone, flags, a, mode, points, count);
    LogCall(43, "ImageToWindow", r, "%s, %s, 0x%08lx, 0x%08lx, 0x%lx, %s, %ld, %s, %ld", Ptr(window), Ptr(dc),
            (unsigned long)(uintptr_t)image, (unsigned long)(uintptr_t)zone, (unsigned long)flags,
            Ptr(reinterpret_cast<void *>((uintptr_t)a)), (long)mode, Ptr(points), (long)count);
    return r;
}

LONG WINAPI JexmWindowToImage(HWND window, HDC dc, HJEXM image, HJEXMZONE zone, LONG flags, LONG a, LONG mode,
                              POINT *points, LONG count) {
    Lock lock;
    LONG r = InjectedFault(44);
    if (r == 0) r = MapPoints(false, window, dc, image, zone, flags, a, mode, points, count);
    LogCall(44, "WindowToImage", r, "%s, %s, 0x%08lx, 0x%08lx, 0x%lx, %s, %ld, %s, %ld", Ptr(window), Ptr(dc),
            (unsigned long)(uintptr_t)image, (unsigned long)(uintptr_t)zone, (unsigned long)flags,
            Ptr(reinterpret_cast<void *>((uintptr_t)a)), (long)mode, Ptr(points), (long)count);
    return r;
}
