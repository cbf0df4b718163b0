// DG_IMAGE / DAT_EXTIMAGEINFO / any message: the bar codes of the page just transferred, as the
// collector left them in BarData. Only bar-code items are answered; every other item is told
// unsupported in its own ReturnCode, and the call still succeeds.
#include <cstddef>
#include <cstring>

#include "cap/capstate.h"
#include "cap/container.h"
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/state.h"
#include "ui/barcode.h"
#include "ui/bardata.h"
#include "util/gmem.h"
#include "xfer/pagestate.h"

namespace {

constexpr TW_UINT16 TWBCOR_ROTX = 4;  // orientation not known
constexpr int kMaxCodes = 8;          // as many as BarData holds

enum class Field { X, Y, Type, Confidence, Rotation, TextLength };

TW_UINT32 FieldOf(const BarcodeEntry &e, Field field, int count) {
    switch (field) {
    case Field::X: return static_cast<TW_UINT32>(e.x);
    case Field::Y: return static_cast<TW_UINT32>(e.y);
    case Field::Type: return static_cast<TW_UINT32>(static_cast<TW_INT32>(BarcodeTypeToTwain(e.type)));
    case Field::Confidence: return static_cast<TW_UINT32>(static_cast<TW_INT32>(e.confidence));
    case Field::Rotation:
        return e.orientation == -1 ? TWBCOR_ROTX : static_cast<TW_UINT32>(static_cast<TW_INT32>(e.orientation));
    case Field::TextLength: return count > 1 && e.textLength > 256 ? 256 : e.textLength;
    }
    return 0;
}

// A block that could not be had leaves nothing to hand out: the item says so instead.
void NotAvailable(TW_INFO &info) {
    info.NumItems = 0;
    info.Item = 0;
    info.ReturnCode = TWRC_DATANOTAVAILABLE;
}

// One value per code. With at most one code the value of the first entry stands in Item itself
// (without codes that is the empty entry's value); with more, Item is
// a zero-filled movable block of 6 bytes a code (applications written for this source size their
// reads so), the values in its first 4 bytes a code. The application frees the block.
void PutNumbers(TW_INFO &info, TW_UINT16 type, Field field, int count) {
    info.ItemType = type;
    info.NumItems = static_cast<TW_UINT16>(count);
    info.ReturnCode = TWRC_SUCCESS;
    if (count <= 1) {
        info.Item = FieldOf(BarData.entries[0], field, count);
        return;
    }
    HGLOBAL block = GlobalAlloc(GHND, 6 * static_cast<SIZE_T>(count));
    auto *values = block ? static_cast<TW_UINT32 *>(GlobalLock(block)) : nullptr;
    if (!values) {
        if (block) GlobalFree(block);
        NotAvailable(info);
        return;
    }
    for (int i = 0; i < count; ++i) values[i] = FieldOf(BarData.entries[i], field, count);
    GlobalUnlock(block);
    info.Item = reinterpret_cast<TW_UINT32>(block);
}

// Always a block, empty without codes: 256 bytes a code, each text cut to fit.
void PutTexts(TW_INFO &info, int count) {
    const SIZE_T step = ItemSize(TWTY_STR255);
    info.ItemType = TWTY_STR255;
    info.NumItems = static_cast<TW_UINT16>(count);
    info.ReturnCode = TWRC_SUCCESS;
    HGLOBAL block = GlobalAlloc(GHND, step * count);
    if (!block) {
        NotAvailable(info);
        return;
    }
    if (count > 0) {
        auto *slots = static_cast<char *>(GlobalLock(block));
        if (!slots) {
            GlobalFree(block);
            NotAvailable(info);
            return;
        }
        for (int i = 0; i < count; ++i) {
            GlobalLockGuard text(BarData.entries[i].text);
            if (!text.data()) continue;
            const char *source = text.as<const char>();
            const size_t length = strnlen(source, text.size() < step ? text.size() : step);
            memcpy(slots + i * step, source, length);
            char shown[257];
            lstrcpynA(shown, source, static_cast<int>(length < sizeof shown ? length + 1 : sizeof shown));
            SdkPrint(kLogTwain, "barcode text==%s", shown);
        }
        GlobalUnlock(block);
    }
    info.Item = reinterpret_cast<TW_UINT32>(block);
}

void Answer(TW_INFO &info, int count) {
    if (count < 0) {
        NotAvailable(info);
        return;
    }
    switch (info.InfoID) {
    case TWEI_BARCODECOUNT:
        SdkPrint(kLogTwain, "BarData->count==%d", count);
        info.ItemType = TWTY_INT32;
        info.NumItems = 1;
        info.Item = static_cast<TW_UINT32>(count);
        info.ReturnCode = TWRC_SUCCESS;
        return;
    case TWEI_BARCODEX: return PutNumbers(info, TWTY_UINT32, Field::X, count);
    case TWEI_BARCODEY: return PutNumbers(info, TWTY_UINT32, Field::Y, count);
    case TWEI_BARCODETYPE:
        PutNumbers(info, TWTY_UINT32, Field::Type, count);
        if (count == 0) info.Item = static_cast<TW_UINT32>(-1);
        return;
    // Patch sheets are read as bar codes: the same mapping answers both.
    case TWEI_PATCHCODE: return PutNumbers(info, TWTY_UINT32, Field::Type, count);
    case TWEI_BARCODECONFIDENCE: return PutNumbers(info, TWTY_INT32, Field::Confidence, count);
    case TWEI_BARCODEROTATION: return PutNumbers(info, TWTY_UINT32, Field::Rotation, count);
    case TWEI_BARCODETEXTLENGTH: return PutNumbers(info, TWTY_UINT32, Field::TextLength, count);
    case TWEI_BARCODETEXT: return PutTexts(info, count);
    default: info.ReturnCode = TWRC_INFONOTSUPPORTED; return;
    }
}

// The application's record must hold the NumInfos entries it announces, readable and writable.
bool RecordFits(TW_EXTIMAGEINFO *ext) {
    const UINT_PTR header = offsetof(TW_EXTIMAGEINFO, Info);
    if (!ext || IsBadWritePtr(ext, header) || IsBadReadPtr(ext, header)) return false;
    const unsigned long long bytes = header + static_cast<unsigned long long>(ext->NumInfos) * sizeof(TW_INFO);
    if (bytes > 0x7FFFFFFF) return false;
    return !IsBadReadPtr(ext, static_cast<UINT_PTR>(bytes)) && !IsBadWritePtr(ext, static_cast<UINT_PTR>(bytes));
}

}  // namespace

TW_UINT16 DatExtImageInfo(TW_IDENTITY *, TW_UINT16, TW_MEMREF pData) {
    SdkPrint(kLogTwainApi, "Called: DG_IMAGE DAT_EXTIMAGEINFO");
    // The codes belong to a page whose transfer has finished and not yet been ended.
    if (gPage.XferState != 7 || !gState.bDSEnabled || !gPage.bXferReady || gPage.bXferInProgress)
        return LogFailure("DG_IMAGE DAT_EXTIMAGEINFO message returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                          TWCC_SEQERROR);
    if (!gCaps.bExtImageInfo)
        return LogFailure(
            "DG_IMAGE DAT_EXTIMAGEINFO message returns TWRC_FAILURE with Condition Code==TWCC_CAPBADOPERATION",
            TWCC_CAPBADOPERATION);
    auto *ext = static_cast<TW_EXTIMAGEINFO *>(pData);
    if (!RecordFits(ext))
        return LogFailure("DG_IMAGE DAT_EXTIMAGEINFO message returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                          TWCC_BADVALUE);
    const int count = BarData.count > kMaxCodes ? kMaxCodes : BarData.count;
    for (TW_UINT32 i = 0; i < ext->NumInfos; ++i) Answer(ext->Info[i], count);
    SdkPrint(kLogTwainApi, "DG_IMAGE DAT_EXTIMAGEINFO returns TWRC_SUCCESS");
    return TWRC_SUCCESS;
}
