// DG_CONTROL / DAT_XFERGROUP: the source transfers images and nothing else.
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

// The group is only reported; MSG_SET, which would choose one, is refused as a message the
// source does not know.
TW_UINT16 DatXferGroup(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    if (!CheckCaller(origin)) {
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_XFERGROUP returns TWRC_FAILURE with Condition Code==%s", TwccName());
        return TWRC_FAILURE;
    }
    if (gPage.XferState == 7)
        return LogFailure("DG_CONTROL DAT_XFERGROUP message returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                          TWCC_SEQERROR);
    gState.ConditionCode = 0;
    if (msg != MSG_GET) {
        SdkPrint(kLogTwainApi,
                 "DG_CONTROL DAT_XFERGROUP unknown message (%08x) returns TWRC_FAILURE with Condition "
                 "Code==TWCC_BADPROTOCOL",
                 msg);
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
    // DG_CONTROL / DAT_XFERGROUP / MSG_GET
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_XFERGROUP MSG_GET:");
    if (!pData || IsBadWritePtr(pData, sizeof(TW_UINT32)))
        return LogFailure("DG_CONTROL DAT_XFERGROUP MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                          TWCC_BADVALUE);
    *static_cast<TW_UINT32 *>(pData) = DG_IMAGE;
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_XFERGROUP MSG_GET returned TWRC_SUCCESS");
    return TWRC_SUCCESS;
}
