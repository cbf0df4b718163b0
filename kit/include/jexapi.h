// Calling contract of the driver maker's libraries jexdfltn, jexmdln and jexlocn and of the ORVA
// drivers they load. Every function is imported by ordinal (the number after "@" in each comment)
// and uses the Windows standard calling convention. A status is 0 for success or a negative
// driver error; JEX_ERR_CANCEL means the user cancelled.
//
// The data source includes this header as it would the driver maker's; the virtual scanner kit
// implements it.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define JEX_ERR_CANCEL (-4526L)

typedef struct JexmImage_ *HJEXM;          // a page image
typedef struct JexmZone_ *HJEXMZONE;       // an output descriptor for reading or drawing an image
typedef struct JexmPalette_ *HJEXMPAL;     // a palette object built from an image

// A driver's message entry: entry(instance, message, tag, value).
typedef LONG(WINAPI *JEXDRIVERPROC)(DWORD instance, LONG message, LONG tag, LONG value);

// The record a load fills (four 32-bit words).
typedef struct JEXDRIVER {
    JEXDRIVERPROC entry;  // message entry; null while no driver is loaded
    DWORD errorWord;      // handed on unchanged to error reporting
    DWORD instance;       // first argument of every message
    DWORD reserved;
} JEXDRIVER;

// The record the driver library keeps for a driver given as a procedure (load kind 1); the
// procedure receives a pointer to it. Words 0 and 2 call this driver itself through the library,
// words 16 and 18 the next driver of a chain (0 when there is none).
typedef struct JEXLIBRECORD {
    DWORD words[20];
} JEXLIBRECORD;
typedef LONG(WINAPI *JEXDRIVERPROCEDURE)(JEXLIBRECORD *record, LONG message, LONG tag, LONG value);

// Kinds of jexdfltn load (@29).
#define JEX_LOAD_BYNAME 0     // a driver by name ("JEXMORVA")
#define JEX_LOAD_PROCEDURE 1  // a JEXDRIVERPROCEDURE of the caller
#define JEX_LOAD_SCANNER 2    // the scanner driver of a family

// Image sink handed to jexdfltn @129: (operation | tag << 16, value or output, image).
typedef LONG(WINAPI *JEXIMAGESINK)(LONG operationAndTag, LONG value, void *image);

// ---- jexdfltn
LONG WINAPI JexdfltInit(void);                                                          // @73
LONG WINAPI JexdfltDone(void);                                                          // @74
LONG WINAPI JexdfltSetVendor(LPCSTR vendor);                                            // @115
LONG WINAPI JexdfltSelectFamily(LONG reserved, LPCSTR family);                          // @40
LONG WINAPI JexdfltGetSetting(LONG reserved, LPCSTR section, LPCSTR key, LPSTR buffer, LONG size);  // @47
LONG WINAPI JexdfltPutSetting(LONG reserved, LPCSTR section, LPCSTR key, LPCSTR value);  // @48
LONG WINAPI JexdfltLoadDriver(LONG reserved, const void *nameOrProcedure, JEXDRIVER *record, LONG kind);  // @29
LONG WINAPI JexdfltInitDriver(JEXDRIVER *record, LPCSTR name, HJEXM image);             // @70
LONG WINAPI JexdfltScan(JEXDRIVER *record, HGLOBAL buffer, LONG size);                  // @35
LONG WINAPI JexdfltUnloadDriver(JEXDRIVER *record);                                     // @30
LONG WINAPI JexdfltErrorText(LONG reserved, const JEXDRIVER *record, LONG error, LPSTR buffer, LONG size);  // @28
LONG WINAPI JexdfltDefDriverProc(JEXLIBRECORD *record, LONG message, LONG tag, LONG value);  // @23
LONG WINAPI JexdfltPreview(HINSTANCE module, JEXIMAGESINK sink, HJEXM image);           // @129

// ---- jexmdln
LONG WINAPI JexmCreateImage(HJEXM *image);                                              // @10
LONG WINAPI JexmFreeImage(HJEXM image);                                                 // @11
// Rational tags (282, 283) come back packed: numerator in the low 16 bits, denominator high.
LONG WINAPI JexmGetTag(HJEXM image, LONG tag, LONG *value);                             // @13
// Colour map (tag 320): byteCount = entries x 3; all reds, then all greens, then all blues.
LONG WINAPI JexmGetColorMap(HJEXM image, LONG tag, LONG byteCount, BYTE *buffer);       // @18
LONG WINAPI JexmCreateZone(HJEXMZONE *zone, LONG kind);                                 // @20
LONG WINAPI JexmFreeZone(HJEXMZONE zone);                                               // @21
// Tag 262 of a zone is the sense of the rows read through it: 1 or 120 zero is dark, 0 or 2 zero
// is light (gray and colour rows); RectGetEx's invert flag then turns the samples over once more.
LONG WINAPI JexmSetZoneTag(HJEXMZONE zone, LONG tag, LONG reserved, LONG count, LONG value);  // @22
// Copies rows rect[1] .. rect[3]-1, columns rect[0] .. rect[2]-1 into buffer, pitch bytes apart
// (negative: bottom-up). format: (bits per sample - 1) << 24 | 0x200000 palette or 0x300000
// colour | 0x400000 DIB colour order, optionally OR-ed with a palette object.
LONG WINAPI JexmRectGetEx(HJEXM image, HJEXMZONE zone, LONG bufferBytes, const LONG *rect, void *buffer,
                          LONG pitch, LONG invert, LONG format);                        // @45
// Interleaves a colour map as read by @18 or @95 into RGB triplets.
LONG WINAPI JexmColorMapToRGB(LONG entries, const BYTE *map, BYTE *rgb);                // @91
LONG WINAPI JexmPaletteCreate(LONG reserved, HJEXMPAL *palette);                        // @83
LONG WINAPI JexmPaletteFill(HJEXMPAL palette, HJEXM image);                             // @84
LONG WINAPI JexmPaletteFinish(HJEXMPAL palette);                                        // @85
LONG WINAPI JexmPaletteFree(HJEXMPAL palette);                                          // @86
LONG WINAPI JexmPaletteSetAttr(HJEXMPAL palette, LONG attribute, LONG value);           // @93
LONG WINAPI JexmPaletteGetColors(HJEXMPAL palette, LONG first, LONG count, BYTE *map);  // @95
LONG WINAPI JexmDisplayEnd(void);                                                       // @4
LONG WINAPI JexmDisplayStart(void);                                                     // @5
// Display (42, 43, 44): `a` points to the drawing area (a RECT in the DC's coordinates) or is 0
// for the window's client area; 42's `b` points to the part of the image to draw (0: all of it).
// mode 7 fits the image into the area keeping its aspect ratio, top-left; the three calls share
// that mapping. 43 and 44 convert `count` points in place (a rectangle is 2 points).
LONG WINAPI JexmDisplayDraw(HWND window, HDC dc, HJEXM image, HJEXMZONE zone, LONG flags, LONG a, LONG b,
                            LONG c, LONG d, LONG mode, LONG e, LONG f);                 // @42
LONG WINAPI JexmImageToWindow(HWND window, HDC dc, HJEXM image, HJEXMZONE zone, LONG flags, LONG a,
                              LONG mode, POINT *points, LONG count);                    // @43
LONG WINAPI JexmWindowToImage(HWND window, HDC dc, HJEXM image, HJEXMZONE zone, LONG flags, LONG a,
                              LONG mode, POINT *points, LONG count);                    // @44

// ---- jexlocn
LONG WINAPI JexlocOpen(LPCSTR fileName);                                                // @62
// Translation of an English text, or null; *size is always set (bytes with the terminator).
LPCSTR WINAPI JexlocLookup(LPCSTR text, LONG *size);                                    // @64
LONG WINAPI JexlocCopy(LPSTR destination, LPCSTR translation, LONG size);               // @67
LONG WINAPI JexlocLocalizeWindow(HWND dialog);                                          // @68

#ifdef __cplusplus
}
#endif
