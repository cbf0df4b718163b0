// Kit-private exports of the virtual jexmdln (by name, not part of the driver maker's contract):
// how the virtual JEXM-writing driver fills a page image, and what tests read back.
#pragma once

#include "jexapi.h"

#ifdef __cplusplus
extern "C" {
#endif

// Page description given to an empty image before its rows are written.
typedef struct JEXMKITPAGE {
    LONG width, length;       // pixels (tags 256, 257)
    LONG bitsPerSample;       // 1, 2, 4 or 8 (tag 258)
    LONG samplesPerPixel;     // 1 or 3 (tag 277)
    LONG photometric;         // tag 262: 0 min-is-white, 1 min-is-black, 2 RGB, 3 palette
    LONG xResNum, xResDen;    // tag 282
    LONG yResNum, yResDen;    // tag 283
    LONG compression;         // tag 259, driver code (1 none)
} JEXMKITPAGE;

// Describes the page and allocates zero-filled pixels. colorMap: for photometric 3, the
// (1 << bitsPerSample) entries as all reds, all greens, all blues (bytes); null gives a gray ramp.
LONG WINAPI JexmKitSetPage(HJEXM image, const JEXMKITPAGE *page, const BYTE *colorMap);
// Rows are top-down, `pitch` bytes apart, samples chunky (R, G, B), below 8 bits MSB first.
LONG WINAPI JexmKitPutRows(HJEXM image, LONG firstRow, LONG rowCount, const void *rows, LONG pitch);
LONG WINAPI JexmKitGetRows(HJEXM image, LONG firstRow, LONG rowCount, void *rows, LONG pitch);
// Live objects, so that tests can check that nothing leaks.
LONG WINAPI JexmKitLiveObjects(LONG *images, LONG *zones, LONG *palettes);

#ifdef __cplusplus
}
#endif
