// The virtual ORVA scanner driver (ORVAVS.drv): one instance per load, described by the scanner
// profile jexdfltn hands over. Tags and their choices live in orvatags.cpp, the page scan in
// orvascan.cpp, the test chart in orvachart.cpp, the dialogs in orvadialog.cpp.
#pragma once

#include <cstdio>

#include "kit/common/kitcommon.h"

inline constexpr int ORVA_MAX_TAGS = 40 + KIT_MAX_CUSTOM;
inline constexpr int ORVA_MAX_SNAPSHOTS = 16;
inline constexpr int ORVA_MAX_INSTANCES = 4;
inline constexpr int ORVA_MAX_CHOICES = 64;

enum : int { ORVA_RO = 1, ORVA_PTR = 2, ORVA_NOSAVE = 4 };

struct OrvaTag {
    LONG tag, kind;
    const char *name;
    int flags;
    const KitCustomTag *custom;   // profile-defined tags
};

struct OrvaValues {
    LONG l[ORVA_MAX_TAGS];
    LONG num[ORVA_MAX_TAGS], den[ORVA_MAX_TAGS];
    char s[ORVA_MAX_TAGS][KIT_MAX_TEXT];
};

// The allowed values of a tag at this moment.
struct OrvaChoices {
    int mode;                     // 0 none, 1 list, 2 range
    LONG kind;
    int count;                    // a range of bits per sample (258) keeps the depths offered here too
    LONG l[ORVA_MAX_CHOICES];     // long list, or rational numerators
    LONG den[ORVA_MAX_CHOICES];   // rational denominators
    const char *s[ORVA_MAX_CHOICES];
    KitRange range;               // long or rational (denominator 1) range
    LONG listStep;                // what index -3 answers on a list (0: none)
};

// The record the data source hands with message 0x125.
struct DriverDialogRecord {
    HWND window;
    LONG mode;
    LONG buttons;
    LONG(WINAPI *scan)(DriverDialogRecord *record);
    LONG(WINAPI *cancel)(LONG *flag);
};

struct Orva {
    BOOL used;
    KITHOST host;
    KitProfile *profile;          // this load's own copy: a later @73 re-reads jexdfltn's, not this
    const KitProfile *p;          // the same, for reading
    int tagCount;
    OrvaTag tags[ORVA_MAX_TAGS];
    OrvaValues cur;
    OrvaValues def;
    OrvaValues *snapshots;        // ORVA_MAX_SNAPSHOTS, allocated at open
    int snapshotDepth;
    JEXDRIVERPROC next;           // chained driver (0x110)
    DWORD nextInstance;
    BOOL initialised;
    BOOL scanning;
    BOOL abortRequested;
    LONG feederTaken;             // pages taken from the feeder
    LONG pagesScanned;            // 35 calls that delivered or failed a page
    // dialogs
    HWND dialog;                  // own modeless dialog (0x125)
    HWND previewArea;             // owner-drawn: white, or the last preview picture
    HBITMAP previewBitmap;        // drawn by jexdfltn @129 (KIT_MSG_PREVIEWBITMAP), owned here
    DriverDialogRecord *dialogRecord;
    LONG previewWidth, previewLength;
};

Orva *OrvaFromInstance(DWORD instance);

// Raises jexdfltn's count of the driver's calls out to its caller while one runs, so that the
// caller may unload the driver from inside the call-back without the code vanishing under it.
struct OrvaCallOut {
    volatile LONG *count;
    explicit OrvaCallOut(Orva *o) : count(o->host.callbacks) {
        if (count) InterlockedIncrement(const_cast<LONG *>(count));
    }
    ~OrvaCallOut() {
        if (count) InterlockedDecrement(const_cast<LONG *>(count));
    }
    OrvaCallOut(const OrvaCallOut &) = delete;
    OrvaCallOut &operator=(const OrvaCallOut &) = delete;
};

// The call log's line of one call out to the caller ("callback yield() = 0"): begun before the
// call, so that what the caller does inside it follows in the log, and ended with its result.
struct OrvaCallOutLine {
    KITHOST host;
    LONG index;
    explicit OrvaCallOutLine(const Orva *o) : host(o->host), index(host.recordBegin ? host.recordBegin() : -1) {}
    void End(const char *what, LONG result) {
        char line[120];
        snprintf(line, sizeof line, "callback %s = %ld", what, result);
        if (host.recordEnd) host.recordEnd(index, line);
    }
};

// ---- tags (orvatags.cpp)
void OrvaBuildTags(Orva *o);
int OrvaIndex(const Orva *o, LONG tag);
LONG OrvaGetChoices(const Orva *o, int idx, OrvaChoices *c);
LONG OrvaTagMessage(Orva *o, LONG message, LONG tag, LONG value);
LONG OrvaLong(const Orva *o, LONG tag);          // current long value (0 when absent)
LONG OrvaDpi(const Orva *o, LONG tag);           // 282 or 283 as whole dots per inch
LONG OrvaSetLong(Orva *o, LONG tag, LONG value); // as message 0x321
LONG OrvaSetString(Orva *o, LONG tag, LPCSTR value);
LONG OrvaSetDpi(Orva *o, LONG tag, LONG num, LONG den);
LONG OrvaPaperStatus(Orva *o);
// Pages the feeder holds in all, taken or not; a page folder that ran empty is listed again.
LONG OrvaFeederPages(Orva *o);

// ---- scan (orvascan.cpp)
LONG OrvaScan(Orva *o);
// ---- test chart (orvachart.cpp): the RGB of page pixel (u, v) at the given resolution.
void OrvaChartPixel(LONG page, LONG u, LONG v, LONG xdpi, LONG ydpi, BYTE rgb[3]);
// ---- dialogs (orvadialog.cpp)
LONG OrvaShowDialog(Orva *o, HWND parent, DriverDialogRecord *record);
LONG OrvaAdvancedDialog(Orva *o, HWND parent);
void OrvaCloseDialogs(Orva *o);
LONG OrvaPreviewMessage(Orva *o, LONG sink, LONG image);
// Takes the picture jexdfltn @129 drew (0: none) and repaints the preview area with it.
LONG OrvaSetPreviewBitmap(Orva *o, HBITMAP bitmap);
