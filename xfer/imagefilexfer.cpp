// DG_IMAGE / DAT_IMAGEFILEXFER / MSG_GET: the current page written as a Windows bitmap file.
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/jexerr.h"
#include "twain/source.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kErrNoFile = -4515;
constexpr LONG kErrWrite = -4512;
constexpr const char *kOperationError =
    "DG_IMAGE DAT_IMAGEFILEXFER message returns TWRC_FAILURE with Condition Code==TWCC_OPERATIONERROR";

DWORD DibNumColors(const BITMAPINFOHEADER &h) {
    if (h.biSize == sizeof(BITMAPINFOHEADER) && h.biClrUsed != 0) return h.biClrUsed;
    const WORD bits = h.biSize == sizeof(BITMAPCOREHEADER) ? reinterpret_cast<const BITMAPCOREHEADER &>(h).bcBitCount
                                                            : h.biBitCount;
    return bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
}

bool WriteAll(HANDLE file, const void *data, DWORD bytes) {
    DWORD written = 0;
    return WriteFile(file, data, bytes, &written, nullptr) && written == bytes;
}

}  // namespace

LONG WriteDIB(const char *name, HGLOBAL dib) {
    if (!dib) return kErrNoFile;
    const SIZE_T blockSize = GlobalSize(dib);
    auto *h = static_cast<const BITMAPINFOHEADER *>(GlobalLock(dib));
    if (!h) return kErrNoFile;
    const bool core = h->biSize == sizeof(BITMAPCOREHEADER);
    const uint64_t palette = static_cast<uint64_t>(DibNumColors(*h)) * (h->biSize == sizeof(BITMAPINFOHEADER) ? 4 : 3);
    const uint64_t dibBytes = h->biSize + palette + (core ? 0 : h->biSizeImage);
    // A header that claims more than its block holds is not written out of bounds.
    if (dibBytes > blockSize || dibBytes > 0x7FFFFFF0u) {
        GlobalUnlock(dib);
        return kErrWrite;
    }
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        GlobalUnlock(dib);
        return kErrNoFile;
    }
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfSize = static_cast<DWORD>(sizeof fh + dibBytes);
    fh.bfOffBits = static_cast<DWORD>(sizeof fh + h->biSize + palette);
    const bool ok = WriteAll(file, &fh, sizeof fh) && WriteAll(file, h, static_cast<DWORD>(dibBytes));
    GlobalUnlock(dib);
    CloseHandle(file);
    // A file cut short is not left behind as if it were the page.
    if (!ok) DeleteFileA(name);
    return ok ? 0 : kErrWrite;
}

TW_UINT16 DatImageFileXfer(TW_IDENTITY *origin, TW_UINT16, TW_MEMREF) {
    SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_IMAGEFILEXFER");
    if (!CheckCaller(origin) || !gState.bDSEnabled || !gPage.bXferReady || gPage.XferState == 7)
        return LogFailure("DG_IMAGE DAT_IMAGEFILEXFER message returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                          TWCC_SEQERROR);
    if (gState.bCancelScanning) {
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEFILEXFER returns TWRC_CANCEL");
        return TWRC_CANCEL;
    }
    HGLOBAL dib = nullptr;
    TW_UINT16 why = TWCC_LOWMEMORY;
    const LONG r = ScanPageToDib(&dib, &why);
    // A failed scan stops the run too, but it is reported as the failure it is.
    if (r == JEX_ERR_CANCEL || (r == 0 && gState.bCancelScanning)) {
        if (dib) GlobalFree(dib);
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEFILEXFER returns TWRC_CANCEL");
        return TWRC_CANCEL;
    }
    if (r < 0) {
        SdkPrint(kLogTwain, "RunZone failed with error code (%08x)", r);
        return FailWithDriverError(r, kOperationError, TWCC_OPERATIONERROR);
    }
    if (!dib) {
        if (why == TWCC_OPERATIONERROR) return LogFailure(kOperationError, TWCC_OPERATIONERROR);
        return LogFailure("DG_IMAGE DAT_IMAGEFILEXFER message returns TWRC_FAILURE with Condition Code==TWCC_LOWMEMORY",
                          TWCC_LOWMEMORY);
    }
    const LONG w = WriteDIB(gFileXfer.FileName, dib);
    GlobalFree(dib);
    if (gState.bCancelScanning) {
        SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEFILEXFER returns TWRC_CANCEL");
        return TWRC_CANCEL;
    }
    if (w < 0) {
        SdkPrint(kLogTwain, "WriteDIB failed with error code (%08x)", w);
        return LogFailure(kOperationError, TWCC_OPERATIONERROR);
    }
    SdkPrint(kLogTwainApi, "DG_IMAGE DAT_IMAGEFILEXFER returns TWRC_XFERDONE");
    return TWRC_XFERDONE;
}
