// RectGetEx (45): rows top .. bottom-1, columns left .. right-1 of an image read through a zone,
// in the layout of a format code (convert.cpp), `pitch` bytes apart (negative: the bottom row
// first, at the start of the buffer), never more than bufferBytes.
//
// A palette object may be OR-ed into the format code: palette tokens live in the low 20 bits,
// which no format bit uses, so `format & 0xFFFFF` is the object (0 for none) and the rest is the
// layout. The object must be finished and the layout must be the palette layout.
#include "jexmint.h"

#include <cstdio>

using namespace jexm;

namespace {

LONG RectGetEx(HJEXM image, HJEXMZONE zone, LONG bufferBytes, const LONG *rect, void *buffer, LONG pitch,
               LONG invert, LONG format, LONG box[4]) {
    Request q{};
    q.image = FindImage(image);
    if (!q.image) return JEXM_ERR_BADIMAGE;
    if (!q.image->hasPage) return JEXM_ERR_NOPAGE;
    q.zone = FindZone(zone);
    if (!q.zone) return JEXM_ERR_BADZONE;
    if (!rect) return JEXM_ERR_NULLARG;
    if (IsBadReadPtr(rect, 4 * sizeof(LONG))) return JEXM_ERR_BADARG;
    for (int i = 0; i < 4; ++i) box[i] = rect[i];
    uint32_t token = (uint32_t)format & kFormatPaletteMask;
    if (token) {
        q.palette = FindPalette(token);
        if (!q.palette) return JEXM_ERR_BADPALETTE;
        if (!q.palette->finished) return JEXM_ERR_PALSTATE;
        if ((format & kFormatClassMask) != 0x200000) return JEXM_ERR_BADFORMAT;
    }
    q.format = format & ~kFormatPaletteMask;
    q.left = box[0];
    q.top = box[1];
    q.right = box[2];
    q.bottom = box[3];
    q.invert = invert;
    q.buffer = static_cast<BYTE *>(buffer);
    q.bufferBytes = bufferBytes;
    q.pitch = pitch;
    return ReadRows(q);
}

}  // namespace

LONG WINAPI JexmRectGetEx(HJEXM image, HJEXMZONE zone, LONG bufferBytes, const LONG *rect, void *buffer,
                          LONG pitch, LONG invert, LONG format) {
    Lock lock;
    LONG box[4] = {0, 0, 0, 0};
    if (rect && !IsBadReadPtr(rect, 4 * sizeof(LONG)))
        for (int i = 0; i < 4; ++i) box[i] = rect[i];
    LONG r = InjectedFault(45);
    if (r == 0) r = RectGetEx(image, zone, bufferBytes, rect, buffer, pitch, invert, format, box);
    LogCall(45, "RectGetEx", r, "0x%08lx, 0x%08lx, %ld, {%ld,%ld,%ld,%ld}, %s, %ld, %ld, 0x%08lx",
            (unsigned long)(uintptr_t)image, (unsigned long)(uintptr_t)zone, (long)bufferBytes, (long)box[0],
            (long)box[1], (long)box[2], (long)box[3], Ptr(buffer), (long)pitch, (long)invert, (unsigned long)format);
    return r;
}
