// Handlers whose triplets are routed but not yet carried out: each answers TWRC_FAILURE with
// TWCC_BADPROTOCOL, as for a triplet the source does not know.
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/state.h"

namespace {
TW_UINT16 NotAvailable(const char *name, TW_UINT16 msg) {
    SdkPrint(kLogTwainApi, "Called: %s MSG %04x returns TWRC_FAILURE with Condition Code==TWCC_BADPROTOCOL",
             name, msg);
    gState.ConditionCode = TWCC_BADPROTOCOL;
    return TWRC_FAILURE;
}
}  // namespace

#define NOT_AVAILABLE(handler, name) \
    TW_UINT16 handler(TW_IDENTITY *, TW_UINT16 msg, TW_MEMREF) { return NotAvailable(name, msg); }

NOT_AVAILABLE(DatPendingXfers, "DG_CONTROL DAT_PENDINGXFERS")
NOT_AVAILABLE(DatSetupMemXfer, "DG_CONTROL DAT_SETUPMEMXFER")
NOT_AVAILABLE(DatSetupFileXfer, "DG_CONTROL DAT_SETUPFILEXFER")
NOT_AVAILABLE(DatUserInterface, "DG_CONTROL DAT_USERINTERFACE")
NOT_AVAILABLE(DatXferGroup, "DG_CONTROL DAT_XFERGROUP")
NOT_AVAILABLE(DatCustomDSData, "DG_CONTROL DAT_CUSTOMDSDATA")
NOT_AVAILABLE(DatDriverMessage, "DG_CONTROL 0x8001")
NOT_AVAILABLE(DatImageInfo, "DG_IMAGE DAT_IMAGEINFO")
NOT_AVAILABLE(DatImageLayout, "DG_IMAGE DAT_IMAGELAYOUT")
NOT_AVAILABLE(DatImageMemXfer, "DG_IMAGE DAT_IMAGEMEMXFER")
NOT_AVAILABLE(DatImageNativeXfer, "DG_IMAGE DAT_IMAGENATIVEXFER")
NOT_AVAILABLE(DatImageFileXfer, "DG_IMAGE DAT_IMAGEFILEXFER")
NOT_AVAILABLE(DatPalette8, "DG_IMAGE DAT_PALETTE8")
NOT_AVAILABLE(DatExtImageInfo, "DG_IMAGE DAT_EXTIMAGEINFO")

// DG_CONTROL / DAT_EVENT: with no dialog of its own yet, no event belongs to the source.
TW_UINT16 DatEvent(TW_IDENTITY *, TW_UINT16, TW_MEMREF pData) {
    if (auto *event = static_cast<TW_EVENT *>(pData)) event->TWMessage = MSG_NULL;
    return TWRC_NOTDSEVENT;
}
