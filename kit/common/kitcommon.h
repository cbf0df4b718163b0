// What the kit's own modules share and nobody else sees: the kit's error numbers, the page-flow
// messages that travel down a driver chain, the parsed scanner profile, and the interface by
// which jexdfltn loads a driver file (*.drv) and lends it its services.
#pragma once

#include <windows.h>

#include "jexapi.h"
#include "jexmkit.h"

// ---- Errors. Small negatives: the high half of a 32-bit error is -1, so error reporting shows
// the low half. jexdfltn @28 has a text for each (errors.cpp).
inline constexpr LONG KIT_ERR_NOMEMORY = -4500;
inline constexpr LONG KIT_ERR_BADARG = -4501;
inline constexpr LONG KIT_ERR_BADTAG = -4502;
inline constexpr LONG KIT_ERR_BADVALUE = -4503;
inline constexpr LONG KIT_ERR_BADKIND = -4504;
inline constexpr LONG KIT_ERR_READONLY = -4505;
inline constexpr LONG KIT_ERR_BADINDEX = -4506;
inline constexpr LONG KIT_ERR_BUFFER = -4507;
inline constexpr LONG KIT_ERR_NOCHOICES = -4508;
inline constexpr LONG KIT_ERR_BADHANDLE = -4510;
inline constexpr LONG KIT_ERR_NOTSTARTED = -4511;
inline constexpr LONG KIT_ERR_NODRIVER = -4512;
inline constexpr LONG KIT_ERR_BADDRIVER = -4513;
inline constexpr LONG KIT_ERR_TOOMANY = -4514;
inline constexpr LONG KIT_ERR_NOTINIT = -4515;
inline constexpr LONG KIT_ERR_NOIMAGE = -4516;
inline constexpr LONG KIT_ERR_NOSNAPSHOT = -4517;
inline constexpr LONG KIT_ERR_SNAPDEPTH = -4518;
inline constexpr LONG KIT_ERR_NOJEXM = -4519;
inline constexpr LONG KIT_ERR_PROFILE = -4520;
inline constexpr LONG KIT_ERR_PAGEFOLDER = -4521;
inline constexpr LONG KIT_ERR_BADPAGE = -4522;
inline constexpr LONG KIT_ERR_CANCEL = JEX_ERR_CANCEL;  // -4526
inline constexpr LONG KIT_ERR_PAPERJAM = -4530;
inline constexpr LONG KIT_ERR_FEEDEREMPTY = -4531;
inline constexpr LONG KIT_ERR_COVEROPEN = -4532;
inline constexpr LONG KIT_ERR_OFFLINE = -4533;
inline constexpr LONG KIT_ERR_BUSY = -4534;
inline constexpr LONG KIT_ERR_FAULT = -4535;
inline constexpr LONG KIT_ERR_NODIALOG = -4541;
inline constexpr LONG KIT_ERR_BADMESSAGE = -4542;
inline constexpr LONG KIT_ERR_SINKOP = -4602;   // answered by the data source's preview image sink
inline constexpr LONG KIT_ERR_SINKIMAGE = -5012;

// ---- Page flow (scanner -> next driver -> ...). Every message goes through the next driver's
// record entry; a driver procedure hands what it does not handle to jexdfltn @23, which passes
// the page-flow messages on to the driver after it.
inline constexpr LONG KIT_MSG_PAGESTART = 259;   // value: const KITPAGESTART *; the page's format
inline constexpr LONG KIT_MSG_PAGEEND = 260;     // tag: rows delivered
inline constexpr LONG KIT_MSG_STRIPQUERY = 545;  // value: LONG *; rows per strip wanted (0: no preference)
inline constexpr LONG KIT_MSG_CODESSTART = 1314; // empty the bar-code list (sent before KIT_MSG_PAGESTART)
inline constexpr LONG KIT_MSG_ROWS = 1538;       // tag: row count; value: const KITROWS *
inline constexpr LONG KIT_MSG_CODE = 1585;       // take one bar code from tags 1735 (text) and 1730 (type)
inline constexpr LONG KIT_MSG_REGISTER = 768;    // value: kind << 16 | tag (driver procedures)
// kit-private, scanner only
inline constexpr LONG KIT_MSG_PREVIEWWINDOW = 0x7F01;  // value: HWND *; the window jexdfltn @129 draws into
// value: HBITMAP drawn by jexdfltn @129 at the size of that window; the driver owns it from then
// on and paints it whenever the window is repainted (0: forget the picture)
inline constexpr LONG KIT_MSG_PREVIEWBITMAP = 0x7F02;
inline constexpr LONG KIT_TAG_CODETEXT = 1735;
inline constexpr LONG KIT_TAG_CODETYPE = 1730;

struct KITPAGESTART {
    JEXMKITPAGE page;
    const BYTE *colorMap;  // photometric 3: entries as all reds, all greens, all blues
    LONG pageNumber;       // 1-based count of pages taken from the paper source
};
struct KITROWS {
    LONG firstRow, rowCount, pitch;
    const BYTE *rows;
};

// ---- Value kinds (message 0x342).
inline constexpr LONG KIT_KIND_LONG = 1;
inline constexpr LONG KIT_KIND_STRING = 2;
inline constexpr LONG KIT_KIND_RATIONAL = 5;
// Kinds 1, 3 and 4 are all longs (drivers tell signed, unsigned and bit-set longs apart by them).
inline bool KitLongKind(LONG kind) { return kind != KIT_KIND_STRING && kind != KIT_KIND_RATIONAL; }

// ---- Parsed scanner profile (common/profile.cpp).
inline constexpr int KIT_MAX_LIST = 32;
inline constexpr int KIT_MAX_NAME = 64;
inline constexpr int KIT_MAX_PAGES = 64;     // pages with their own section
inline constexpr int KIT_MAX_PAGE_FILES = 1000;  // .bmp files of a page folder
inline constexpr int KIT_MAX_TEXT = 512;     // a string tag's value with its terminator
inline constexpr int KIT_MAX_CODES = 32;     // bar codes of one page
inline constexpr int KIT_MAX_CODE_TEXT = 1024;   // one bar-code text with its terminator
inline constexpr int KIT_CODE_TEXT_POOL = 65536; // all bar-code texts of a profile
inline constexpr int KIT_MAX_FAULTS = 16;
inline constexpr int KIT_MAX_CUSTOM = 128;   // driver-defined tags, more than a data source's table keeps

struct KitRange { LONG min, max, step; };
struct KitLongChoices {       // a range when isRange, else count values
    BOOL isRange;
    KitRange range;
    int count;
    LONG values[KIT_MAX_LIST];
};
struct KitNames {
    int count;
    char names[KIT_MAX_LIST][KIT_MAX_NAME];
};
struct KitPageSize { char name[KIT_MAX_NAME]; LONG widthMm10, lengthMm10; };  // tenths of mm
struct KitCode { LONG type; LONG text; };  // text: offset into KitProfile::codeText
struct KitPageExtra {
    LONG page;                 // 1-based page number
    int codeCount;
    KitCode codes[KIT_MAX_CODES];
    BOOL separator;
};
// KIT_FAULT_JEXM: a jexmdln ordinal (jexmdln asks jexdfltn through JexKitJexmFault).
enum KitFaultTarget { KIT_FAULT_ORDINAL = 1, KIT_FAULT_MESSAGE, KIT_FAULT_TAG, KIT_FAULT_PAGE, KIT_FAULT_JEXM };
enum KitFaultWhen { KIT_WHEN_ONCE = 1, KIT_WHEN_ALWAYS, KIT_WHEN_AT, KIT_WHEN_FROM };
struct KitFault {
    int target;                // KitFaultTarget
    LONG number;               // ordinal, message, tag or page
    LONG tag;                  // message faults: only messages that carry this tag (0: any message)
    LONG error;
    int when;                  // KitFaultWhen
    LONG nth;                  // for AT and FROM
    LONG calls;                // matching calls so far (jexdfltn counts)
    BOOL spent;                // ONCE fired
};
struct KitCustomTag {
    LONG tag, kind, capability;  // kind as message 0x342 answers it; capability word of message 0x315
    BOOL readOnly;
    LONG count;                  // the section describes tags tag .. tag+count-1 (expanded by the reader)
    char name[KIT_MAX_NAME];
    KitLongChoices longs;        // long tags; rational tags: numerators (a range has denominator 1)
    LONG dens[KIT_MAX_LIST];     // rational tags: denominators of a list
    KitNames strings;            // string tags
    LONG defLong;
    LONG defNum, defDen;         // rational tags
    char defString[KIT_MAX_TEXT];
};

struct KitProfile {
    char path[MAX_PATH];
    char name[KIT_MAX_NAME];
    BOOL flatbed, feeder, duplex, stackSensor, paperSensor, film;
    LONG maxWidthMm10, maxLengthMm10, minWidthMm10, minLengthMm10;
    LONG widthStep;
    KitLongChoices resolutions;   // dots per inch
    LONG defaultResolution;
    BOOL bitonal;
    int grayDepthCount;  LONG grayDepths[8];
    int colorDepthCount; LONG colorDepths[8];
    int paletteDepthCount; LONG paletteDepths[4];
    KitNames halftones;
    KitLongChoices brightness; LONG brightnessDefault; BOOL autoBrightness;
    KitLongChoices contrast; LONG contrastDefault;
    int pageSizeCount; KitPageSize pageSizes[KIT_MAX_LIST]; char defaultPageSize[KIT_MAX_NAME];
    int endorser;                 // 0 none, 1 text, 2 counter, 3 both
    BOOL ownDialog, advancedDialog, jobSeparators;
    BOOL singlePageMode;          // tag 5363 starts at 1 (the driver remembers single-page mode)
    LONG previewResolution;       // 0: none offered (tag 5373 reads 0/1)
    int singlePageSourceCount; LONG singlePageSources[4];
    LONG delayMs;
    // shapes of choices a driver may answer differently (0x415): a range of bits per sample (258),
    // a list of widths (256, with a step at index -3), a range of job controls (1447)
    BOOL depthRange, widthList, jobControlRange;
    KitLongChoices compressions;  // driver codes of tag 259; the first (or the minimum) is the default
    BOOL reportSettings;          // 0x348/0x349 report and restore the settings (no: none at all)
    // paper
    LONG generatedPages;          // pages in the feeder when there is no folder
    char pageFolder[MAX_PATH];    // absolute; empty: generated pages
    int pageFileCount;
    char pageFiles[KIT_MAX_PAGE_FILES][MAX_PATH];
    int extraCount; KitPageExtra extras[KIT_MAX_PAGES];
    int customCount; KitCustomTag customs[KIT_MAX_CUSTOM];
    int faultCount; KitFault faults[KIT_MAX_FAULTS];
    LONG codeTextUsed; char codeText[KIT_CODE_TEXT_POOL];  // bar-code texts, each terminated
};
inline const char *KitCodeText(const KitProfile *p, const KitCode &c) { return p->codeText + c.text; }

// Reads a profile; on failure returns a kit error and writes "file(line): reason" into error.
LONG KitReadProfile(LPCSTR path, KitProfile *profile, LPSTR error, int errorSize);
// The built-in profile used when no file is named and none lies beside the libraries.
void KitDefaultProfile(KitProfile *profile);
// Lists the *.bmp files of the profile's page folder again when the feeder has run empty: files
// pageFiles[0..keep-1] (already fed) stay in place, files not among them follow in name order.
// Returns the number of files added.
int KitRefillPages(KitProfile *profile, int keep);
// Error number for a name of the fault vocabulary ("PaperJam", ...) or a number; 0 if unknown.
LONG KitErrorByName(LPCSTR name);

// ---- Loading a driver file. jexdfltn lends its services through KITHOST; the driver exports
// the five entries below by name.
struct KITHOST {
    const KitProfile *profile;                                        // null for non-scanners
    void(WINAPI *record)(LPCSTR line);                                // append to the call log
    HMODULE kitModule;                                                // jexdfltn
    // Why the last page failed to load (file name and reason), for jexdfltn @28 to report with
    // KIT_ERR_BADPAGE; the driver calls it before returning that error.
    void(WINAPI *pageError)(LPCSTR text);
    // Calls the driver makes into its caller's code (dialog buttons, preview, yield) raise this
    // count while they run: jexdfltn does not unload a driver whose code is still on the stack.
    volatile LONG *callbacks;
    // Whether a fault of the profile fires for this call; counted per process by jexdfltn, so
    // that "once" and "at N" mean the same for pages as for ordinals and messages.
    LONG(WINAPI *checkFault)(int target, LONG number);
    // A line of the call log reserved when a call the driver makes out to its caller begins and
    // filled when it returns, so that the calls the caller makes meanwhile follow it.
    LONG(WINAPI *recordBegin)(void);
    void(WINAPI *recordEnd)(LONG index, LPCSTR line);
};
typedef LONG(WINAPI *KITDRVOPEN)(const KITHOST *host, LPCSTR name, LONG kind, DWORD *instance);
typedef LONG(WINAPI *KITDRVINIT)(DWORD instance, LPCSTR name, HJEXM image);
typedef LONG(WINAPI *KITDRVSCAN)(DWORD instance, HGLOBAL buffer, LONG size);
typedef LONG(WINAPI *KITDRVCLOSE)(DWORD instance);
// KitDrvEntry has the JEXDRIVERPROC signature.

// ---- Small helpers (common/kitutil.cpp).
// Copies at most size-1 characters of a string that may be unreadable or unterminated; returns
// FALSE (and an empty destination) when src is null or unreadable.
BOOL KitCopyString(LPSTR dst, int size, LPCSTR src);
// Folder of a module with a trailing backslash.
void KitModuleFolder(HMODULE module, LPSTR folder, int size);
// True when p can be read for n bytes / written for n bytes.
BOOL KitReadable(const void *p, UINT_PTR n);
BOOL KitWritable(void *p, UINT_PTR n);
