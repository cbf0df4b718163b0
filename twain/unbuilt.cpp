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

NOT_AVAILABLE(DatXferGroup, "DG_CONTROL DAT_XFERGROUP")
NOT_AVAILABLE(DatCustomDSData, "DG_CONTROL DAT_CUSTOMDSDATA")
NOT_AVAILABLE(DatDriverMessage, "DG_CONTROL 0x8001")
NOT_AVAILABLE(DatExtImageInfo, "DG_IMAGE DAT_EXTIMAGEINFO")
