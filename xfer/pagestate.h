// The page-transfer state: at most one scanned page is held, from its scan to the end of its
// transfer, and the flags that move a scan run through the TWAIN states 5, 6 and 7.
#pragma once

#include "jexapi.h"
#include "twain/twaindefs.h"

// Patch codes the bar-code driver saw on the current page (types 9, 10, 11, 24, 25, 26), read at
// a job separator to tell which patch sheet it was.
struct PatchCodeEntry {
    SHORT type;
};
struct PatchCodeList {
    WORD reserved;
    SHORT count;
    PatchCodeEntry entries[8];
};

// The layout of a page's memory-transfer rows, as the format query gave it for that page.
struct MemoryLayout {
    HJEXM page;
    LONG rowBytes;
    LONG format;
    WORD entries;
};

struct PageState {
    BOOL bXferReady;       // a page can be transferred
    BOOL bXferInProgress;  // a page is scanned and held, not yet delivered
    BOOL bNeedNewPage;     // the next ScanPageToJexm scans a new page
    BOOL bScanning;        // a page is being scanned: the dialogs fed meanwhile start nothing
    LONG XferState;        // 7 during a transfer, 6 when the run goes on, 5 when it has ended
    LONG nPagesScanned;    // pages scanned in this run
    HJEXM hPageJexm;       // the held page
    HJEXMZONE hPageZone;   // its output descriptor
    TW_IMAGEINFO PageInfo; // description of the held (or next) page
    TW_INT16 PageEOJ;      // TWEJ_* of the held page
    LONG nLinesSent;       // rows of the held page delivered by memory transfer
    PatchCodeList PatchCodes;
    MemoryLayout MemoryRows;
};

extern PageState gPage;

// 0 when a page is held (scanned now or before), else the error ChkJexErr made of the failure.
// The argument is the caller's kind (0, 259 or 260) and is not looked at.
LONG ScanPageToJexm(LONG kind);
// The paper check at the start of a run: 0, JEX_ERR_CANCEL when the user declined to load paper,
// or the error of the paper-status call.
LONG ReadImage();
void FixPaletteForPhotoShop();
LONG GetPageEOJ(JEXDRIVER driver, TW_INT16 *eoj);
LONG ChoosePaperSource(BOOL feeder, BOOL duplex);
// Frees the held page and its zone, when there is one.
void FreeHeldPage();
// The OK/Cancel question asked while the driver holds its settings; true for OK.
bool AskUser(UINT titleId, UINT textId, int textSize);

// Describes the held page (while a page is ready) or the page the driver will deliver.
void GetImageInfo(TW_IMAGEINFO *info);

// Rows of the held page in a given layout. kind 261 asks for DIB rows, 259 for memory-transfer
// rows. 0, or -1 when no page is held.
LONG JexmSetupFormat(LONG kind, WORD *invert, LONG *rowBytes, LONG *format, WORD *entries);
// The held page as a packed DIB in a movable global block, or null.
// failure, when given, tells why there is none: TWCC_LOWMEMORY, or TWCC_OPERATIONERROR for a
// layout a DIB cannot hold or rows that could not be read.
HGLOBAL JexmToDib(HJEXM image, HJEXMZONE zone, TW_UINT16 *failure = nullptr);
// A transfer's page as a DIB: scans it (or takes the held one), converts it and lets the page go.
// Returns the scan's result; *dib is null when there is none, with *failure telling why.
LONG ScanPageToDib(HGLOBAL *dib, TW_UINT16 *failure);
// Writes a packed DIB as a Windows bitmap file: 0, -4515 (no DIB, or no file) or -4512 (a write
// failed; nothing is left of the file).
LONG WriteDIB(const char *name, HGLOBAL dib);
