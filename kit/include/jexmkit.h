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

// Errors of the virtual jexmdln (all negative, apart from the driver errors of jexdfltn).
#define JEXM_ERR_NULLARG (-5101L)     // a required pointer argument is null
#define JEXM_ERR_BADIMAGE (-5102L)    // not a live image handle
#define JEXM_ERR_BADZONE (-5103L)     // not a live zone handle
#define JEXM_ERR_BADPALETTE (-5104L)  // not a live palette object
#define JEXM_ERR_NOPAGE (-5105L)      // the image holds no page yet
#define JEXM_ERR_BADTAG (-5106L)      // tag or attribute not supported by this call
#define JEXM_ERR_BADVALUE (-5107L)    // value out of range for the tag
#define JEXM_ERR_BADFORMAT (-5108L)   // unknown bits or inconsistent format code
#define JEXM_ERR_BADRECT (-5109L)     // rectangle outside the image or inverted
#define JEXM_ERR_BADPITCH (-5110L)    // row pitch smaller than one row, or 0
#define JEXM_ERR_BUFFER (-5111L)      // buffer too small for what was asked
#define JEXM_ERR_NOMEMORY (-5112L)    // out of memory
#define JEXM_ERR_TOOBIG (-5113L)      // page dimensions or size out of range
#define JEXM_ERR_TOOMANY (-5114L)     // too many live objects of one kind
#define JEXM_ERR_NOCOLORMAP (-5115L)  // three-sample image: no colour table
#define JEXM_ERR_PALSTATE (-5116L)    // palette object used out of order (size, fill, finish)
#define JEXM_ERR_CONVERT (-5117L)     // the image cannot be delivered in that format
#define JEXM_ERR_DISPLAY (-5118L)     // display library not started (or ended too often)
#define JEXM_ERR_BADWINDOW (-5119L)   // window, device context or drawing area not usable
#define JEXM_ERR_DRAW (-5120L)        // GDI refused to draw
#define JEXM_ERR_BADARG (-5121L)      // other argument out of range
#define JEXM_ERR_GONE (-5122L)        // call record no longer held in the ring

// Text of one of the errors above: 0 and the text (cut to size, always terminated) when the code
// belongs to jexmdln, JEXM_ERR_BADVALUE otherwise (buf untouched).
LONG WINAPI JexmKitErrorText(LONG error, LPSTR buf, LONG size);

// Every call of an ordinal is recorded as one line "45 RectGetEx(...) = 0" (pointers as "<ptr>"
// or "null"), also in jexdfltn's call log when jexdfltn is loaded. Calls are numbered from 0 since
// the last reset; the last few hundred are held.
LONG WINAPI JexmKitCallCount(void);
// 0 and the line (cut to size) for a held call; JEXM_ERR_GONE for an index no longer or not yet held.
LONG WINAPI JexmKitGetCall(LONG index, char *text, LONG size);
LONG WINAPI JexmKitResetCalls(void);

#ifdef __cplusplus
}
#endif
