// DG_IMAGE / DAT_IMAGEMEMXFER / MSG_GET: the held page in strips of whole rows, top row first,
// each call filling the application's buffer with the rows that follow.
#include <cstring>

#include "cap/capstate.h"
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/jexerr.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kMemoryRows = 259;
constexpr LONG kPaletteSizeAttribute = 1824;
constexpr const char *kOperationError =
    "DG_IMAGE DAT_IMAGEMEMXFER message returns TWRC_FAILURE with Condition Code==TWCC_OPERATIONERROR";

TW_UINT16 OperationError() { return LogFailure(kOperationError, TWCC_OPERATIONERROR); }

// A palette object the rows of a palette page are read through; freed on every path.
struct PaletteObject {
    HJEXMPAL palette = nullptr;
    ~PaletteObject() {
        if (palette) JexmPaletteFree(palette);
    }
    bool Build(HJEXM image, WORD entries) {
        return JexmPaletteCreate(0, &palette) == 0 && palette &&
               JexmPaletteSetAttr(palette, kPaletteSizeAttribute, entries) == 0 &&
               JexmPaletteFill(palette, image) == 0 && JexmPaletteFinish(palette) == 0;
    }
};

// The rows into the application's buffer; false when the library refused them.
bool ReadStrip(BYTE *buffer, DWORD bytes, const LONG rect[4], LONG rowBytes, LONG format) {
    const LONG r = JexmRectGetEx(gPage.hPageJexm, gPage.hPageZone, static_cast<LONG>(bytes), rect, buffer, rowBytes,
                                 0, format);
    if (r != 0) SdkPrint(kLogTwain, "RectGetEx returned error (%08x)", r);
    return r == 0;
}

// The application's buffer, before anything is written into its structure: one memory flag, and
// a pointer or handle that holds Length bytes (a handle's own block size bounds it).
TW_UINT16 CheckBuffer(const TW_IMAGEMEMXFER *xfer) {
    const TW_UINT32 flags = xfer->Memory.Flags & (TWMF_POINTER | TWMF_HANDLE);
    if (flags != TWMF_POINTER && flags != TWMF_HANDLE) {
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEMEMXFER called with bad parameters!  aborting");
        return OperationError();
    }
    const DWORD length = xfer->Memory.Length;
    if (flags == TWMF_HANDLE) {
        HGLOBAL handle = static_cast<HGLOBAL>(xfer->Memory.TheMem);
        return handle && GlobalSize(handle) >= length ? TWRC_SUCCESS : OperationError();
    }
    void *p = xfer->Memory.TheMem;
    return p && !IsBadWritePtr(p, length) ? TWRC_SUCCESS : OperationError();
}

// Fills the application's buffer by its memory flags (CheckBuffer has passed it).
TW_UINT16 FillBuffer(TW_IMAGEMEMXFER *xfer, const LONG rect[4], LONG rowBytes, LONG format) {
    const DWORD length = xfer->Memory.Length;
    const bool rows = xfer->Rows > 0;
    if (xfer->Memory.Flags & TWMF_HANDLE) {
        HGLOBAL handle = static_cast<HGLOBAL>(xfer->Memory.TheMem);
        auto *p = static_cast<BYTE *>(GlobalLock(handle));
        if (!p) return OperationError();
        memset(p, 0, length);
        const bool ok = !rows || ReadStrip(p, length, rect, rowBytes, format);
        GlobalUnlock(handle);
        return ok ? TWRC_SUCCESS : OperationError();
    }
    auto *p = static_cast<BYTE *>(xfer->Memory.TheMem);
    const UINT_PTR first = reinterpret_cast<UINT_PTR>(p), end = first + length;
    if ((first >> 16) != (end >> 16)) {
        // Such a buffer receives the rows and nothing else: the library is told it holds just
        // the bytes written, so the rest of it is left as the application had it.
        SdkPrint(kLogTwain, "%s", "Warning!!! address cross offset boundry\n");
        return !rows || ReadStrip(p, xfer->BytesWritten, rect, rowBytes, format) ? TWRC_SUCCESS : OperationError();
    }
    memset(p, 0, length);
    SdkPrint(kLogTwain, "Lines %ld, %d, %d, %d, %d, %lx", gPage.nLinesSent, rect[0], rect[2], rect[1], rect[3],
             format);
    return !rows || ReadStrip(p, length, rect, rowBytes, format) ? TWRC_SUCCESS : OperationError();
}

}  // namespace

TW_UINT16 DatImageMemXfer(TW_IDENTITY *origin, TW_UINT16, TW_MEMREF pData) {
    SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_IMAGEMEMXFER");
    if (!CheckCaller(origin) || !gState.bDSEnabled || !gPage.bXferReady)
        return LogFailure("DG_IMAGE DAT_IMAGEMEMXFER message returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                          TWCC_SEQERROR);
    auto *xfer = static_cast<TW_IMAGEMEMXFER *>(pData);
    if (!xfer || IsBadWritePtr(xfer, sizeof *xfer))
        return LogFailure("DG_IMAGE DAT_IMAGEMEMXFER message returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                          TWCC_BADVALUE);
    if (gState.bCancelScanning) {
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEMEMXFER returns TWRC_CANCEL");
        return TWRC_CANCEL;
    }
    gPage.XferState = 7;
    SdkPrint(kLogTwain, "Scan a page!");
    const LONG r = ScanPageToJexm(kMemoryRows);
    if (r < 0) {
        SdkPrint(kLogTwain, "JexRunZone returned error (%08x)", r);
        xfer->Columns = xfer->Rows = xfer->BytesWritten = xfer->XOffset = xfer->YOffset = 0;
        xfer->Memory.Length = 0;
        // A failed scan stops the run too, but it is reported as the failure it is.
        if (r == JEX_ERR_CANCEL) {
            SdkPrint(kLogTwain, "Cancel 4: DatImageMemXfer: returning TWRC_CANCEL");
            SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEMEMXFER returns TWRC_CANCEL");
            return TWRC_CANCEL;
        }
        return FailWithDriverError(r, kOperationError, TWCC_OPERATIONERROR);
    }
    if (!gPage.hPageJexm) return OperationError();

    gPage.bXferInProgress = TRUE;
    xfer->Compression = gPage.PageInfo.Compression;
    // The layout is the page's: worked out at its first strip.
    MemoryLayout &layout = gPage.MemoryRows;
    if (layout.page != gPage.hPageJexm) {
        WORD invert = 0;
        layout = MemoryLayout{};
        if (const LONG f = JexmSetupFormat(kMemoryRows, &invert, &layout.rowBytes, &layout.format, &layout.entries);
            f != 0 || layout.rowBytes <= 0) {
            SdkPrint(kLogTwain, "JexmSetupFormat returned error (%08x)", f);
            return OperationError();
        }
        layout.page = gPage.hPageJexm;
    }
    const LONG rowBytes = layout.rowBytes;
    LONG format = layout.format;
    const WORD entries = layout.entries;
    if (const TW_UINT16 rc = CheckBuffer(xfer); rc != TWRC_SUCCESS) return rc;
    const LONG width = gPage.PageInfo.ImageWidth, length = gPage.PageInfo.ImageLength;
    LONG rows = static_cast<LONG>(xfer->Memory.Length / static_cast<DWORD>(rowBytes));
    if (gPage.nLinesSent + rows > length) rows = length - gPage.nLinesSent;
    if (rows < 0) rows = 0;
    xfer->BytesPerRow = rowBytes;
    xfer->Columns = width;
    xfer->Rows = rows;
    xfer->BytesWritten = static_cast<TW_UINT32>(rows) * rowBytes;
    xfer->XOffset = 0;
    xfer->YOffset = gPage.nLinesSent;
    const LONG rect[4] = {0, gPage.nLinesSent, width, gPage.nLinesSent + rows};

    PaletteObject palette;
    if ((format & 0x700000) == 0x200000) {
        if (!palette.Build(gPage.hPageJexm, entries)) return OperationError();
        format |= reinterpret_cast<LONG>(palette.palette);
    }
    if (const TW_UINT16 rc = FillBuffer(xfer, rect, rowBytes, format); rc != TWRC_SUCCESS) return rc;
    gPage.nLinesSent += rows;
    if (gPage.nLinesSent >= length) {
        gPage.bXferInProgress = FALSE;
        FreeHeldPage();
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEMEMXFER returns TWRC_XFERDONE");
        return TWRC_XFERDONE;
    }
    SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEMEMXFER returns TWRC_SUCCESS (i.e. transfer in progres)");
    return TWRC_SUCCESS;
}
