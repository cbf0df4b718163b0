// DG_CONTROL / DAT_SETUPMEMXFER: the buffer sizes proposed for a memory transfer.
#include "cap/capstate.h"
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

namespace {

constexpr TW_UINT32 kProposed = 16384;

// The largest number of whole rows that fit the usual proposal, and never less than one row.
TW_UINT32 PreferredSize() {
    const int64_t width = gPage.PageInfo.ImageWidth, bits = gPage.PageInfo.BitsPerPixel;
    if (width <= 0 || bits <= 0) return kProposed;
    int64_t row = width * bits / 8;
    if (row <= 0) row = 1;
    // One-sample rows are delivered padded to 4 bytes: a proposal must hold one such row.
    const int64_t padded = gPage.PageInfo.SamplesPerPixel == 1 ? (width * bits + 31) / 32 * 4 : row;
    if (kProposed - kProposed % row < padded) row = padded;
    // A row wider than the proposal: one row, which MaxBufSize (twice it) must still hold.
    if (row > kProposed) return row > 0x3FFFFFFF ? 0x3FFFFFFF : static_cast<TW_UINT32>(row);
    return static_cast<TW_UINT32>(kProposed - kProposed % row);
}

}  // namespace

TW_UINT16 DatSetupMemXfer(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    if (!(gCaps.AllowedMechs & (1u << TWSX_MEMORY))) {
        SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_SETUPMEMXFER");
        return LogFailure("DG_CONTROL DAT_SETUPMEMXFER message returns TWRC_FAILURE with Condition Code==TWCC_BADPROTOCOL",
                          TWCC_BADPROTOCOL);
    }
    if (msg != MSG_GET) {
        SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_SETUPMEMXFER");
        return LogFailure("DG_CONTROL DAT_SETUPMEMXFER message returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                          TWCC_SEQERROR);
    }
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_SETUPMEMXFER MSG_GET");
    if (!CheckCaller(origin)) {
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_SETUPMEMXFER returns TWRC_FAILURE with Condition Code==%s", TwccName());
        return TWRC_FAILURE;
    }
    if (gPage.XferState == 7)
        return LogFailure("DG_CONTROL DAT_SETUPMEMXFER MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                          TWCC_SEQERROR);
    auto *setup = static_cast<TW_SETUPMEMXFER *>(pData);
    if (!setup || IsBadWritePtr(setup, sizeof *setup))
        return LogFailure("DG_CONTROL DAT_SETUPMEMXFER MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                          TWCC_BADVALUE);
    const TW_UINT32 preferred = PreferredSize();
    setup->MinBufSize = preferred;
    setup->MaxBufSize = 2 * preferred;
    setup->Preferred = preferred;
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_SETUPMEMXFER MSG_GET return TWRC_SUCCESS");
    return TWRC_SUCCESS;
}
