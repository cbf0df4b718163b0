// Internals of the virtual jexmdln: the objects behind the opaque handles, the handle registry
// with its lock, the call record and the row conversion shared by RectGetEx and the display.
//
// Handles are tokens, never pointers: a handle is looked up in its kind's table before anything is
// touched, so a foreign, stale or forged value is refused without being dereferenced. Palette
// tokens keep clear of the bits a format code uses (see FormatPaletteMask) so that a palette
// object can be OR-ed into the format code of RectGetEx.
#pragma once

#include "jexmkit.h"

#include <cstdint>

namespace jexm {

constexpr LONG kMaxSide = 100000;                  // pixels, per page side
constexpr int64_t kMaxPageBytes = 256LL << 20;     // stored pixels of one page
constexpr int kMaxObjects = 1024;                  // live objects of one kind

// A page image. Pixels are stored top row first, rows packed to `rowBytes`, samples chunky,
// sub-byte samples MSB first. The colour table (photometric 3) is kept planar as tag 320 is:
// all reds, all greens, all blues, `1 << bitsPerSample` entries each.
struct Image {
    bool hasPage;
    JEXMKITPAGE page;
    LONG rowBytes;
    BYTE *pixels;
    BYTE map[3 * 256];
};

// An output descriptor. For reading: the output size (0 = the image's) and the sense of the
// delivered samples (tag 262, -1 = as the image). For drawing: the display options.
struct Zone {
    LONG width, length;   // tags 256, 257
    LONG photometric;     // tag 262
    LONG planar;          // tag 284, only chunky (1) is produced
    LONG smooth;          // tag 4096: 1 smooth scaling (halftone), 0 nearest pixel
    LONG background;      // tag 4098: stock brush (0 white .. 5 null) for the uncovered area
    LONG fillOutside;     // tag 4099: 1 paints the part of the area the image does not cover
};

// A palette object: a colour table of `entries` colours taken from an image.
struct Palette {
    LONG entries;         // attribute 1824; 0 until set
    bool filled, finished;
    BYTE map[3 * 256];    // planar like tag 320, `entries` colours each plane
};

enum Kind { kImage = 0, kZone = 1, kPalette = 2 };

// Bits of a RectGetEx format code.
constexpr LONG kFormatDepthMask = 0x07000000;     // bits per sample - 1
constexpr LONG kFormatClassMask = 0x00300000;     // 0 gray, 0x200000 palette, 0x300000 colour
constexpr LONG kFormatDibOrder = 0x00400000;      // blue-green-red order for colour rows
constexpr LONG kFormatPaletteMask = 0x000FFFFF;   // a palette object token, or 0

// ---- registry (registry.cpp); every exported function holds the lock for its whole call
struct Lock {
    Lock();
    ~Lock();
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;
};
void InitLock();
void DoneLock();
// Stores a new object and returns its token, or 0 when the table is full.
uint32_t AddObject(Kind kind, void *object);
// The object behind a token of this kind, or null for anything that is not live.
void *FindObject(Kind kind, uint32_t token);
// Forgets a live token and returns its object (null when it was not live).
void *RemoveObject(Kind kind, uint32_t token);
LONG LiveCount(Kind kind);

inline Image *FindImage(HJEXM h) { return static_cast<Image *>(FindObject(kImage, (uint32_t)(uintptr_t)h)); }
inline Zone *FindZone(HJEXMZONE h) { return static_cast<Zone *>(FindObject(kZone, (uint32_t)(uintptr_t)h)); }
inline Palette *FindPalette(uint32_t token) { return static_cast<Palette *>(FindObject(kPalette, token)); }

// ---- call record (calllog.cpp)
// Records "<ordinal> <name>(<arguments>) = <result>"; `args` is printf-style. Pointers are never
// printed (they differ from run to run): Ptr gives "<ptr>" or "null" for them.
void LogCall(int ordinal, const char *name, LONG result, const char *args, ...)
    __attribute__((format(printf, 4, 5)));
const char *Ptr(const void *p);
// The error a fault of the kit's profile injects into this call of an ordinal, or 0. A call that
// fails so does nothing else (its out-values are cleared as for any failure).
LONG InjectedFault(int ordinal);

// ---- image colour tables (image.cpp)
// The colour table the image answers for tag 320 (planar, `*entries` colours): its colour map for
// palette pages, otherwise the gray ramp from black (0) to white that matches gray rows read in
// palette layout. Three-sample pages have none (false).
bool ImageTable(const Image &image, BYTE *map, LONG *entries);

// ---- conversion (convert.cpp)
struct Request {
    const Image *image;
    const Zone *zone;        // null: output as the image holds it
    LONG left, top, right, bottom;  // in output coordinates
    LONG format;             // with any palette token already removed
    const Palette *palette;  // finished palette object, or null
    LONG invert;             // 0 or 1
    BYTE *buffer;
    LONG bufferBytes;
    LONG pitch;              // negative: bottom row first
};
// Output width and length of an image read through a zone.
void OutputSize(const Image &image, const Zone *zone, LONG *width, LONG *length);
// Bytes of one output row of `columns` pixels in `format`; 0 when the format is not valid.
LONG OutputRowBytes(LONG format, LONG columns);
// Checks everything and writes the rows; a JEXM_ERR_* without touching the buffer on failure.
LONG ReadRows(const Request &request);

// ---- formatting helpers
const char *HandleText(char *buf, size_t size, uint32_t token);

}  // namespace jexm
