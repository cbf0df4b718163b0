// DG_CONTROL / 0x8001 / 0x8001: any driver message, sent as the caller wrote it, for clients that
// know the scanner driver. The source neither checks the caller nor the state: the message and
// its parameters are the caller's responsibility, and so is whatever the driver makes of them.
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/handlers.h"
#include "twain/state.h"

namespace {

constexpr TW_UINT16 MSG_DRIVERMESSAGE = 0x8001;

#pragma pack(push, 2)
struct DriverMessageRecord {
    LONG unused0;
    LONG result;     // written by the source: the driver's return value
    WORD message;
    WORD unused10;
    LONG first;      // usually a tag
    LONG second;     // a value, or a pointer into the caller's memory
};
#pragma pack(pop)
static_assert(sizeof(DriverMessageRecord) == 20);

}  // namespace

TW_UINT16 DatDriverMessage(TW_IDENTITY *, TW_UINT16 msg, TW_MEMREF pData) {
    if (msg != MSG_DRIVERMESSAGE) {
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
    // Without a driver there is nobody to answer, and the result field would be left undefined.
    if (!DriverLoaded())
        return LogFailure("DG_CONTROL 0x8001 returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR", TWCC_SEQERROR);
    auto *record = static_cast<DriverMessageRecord *>(pData);
    if (!record || IsBadWritePtr(record, sizeof *record))
        return LogFailure("DG_CONTROL 0x8001 returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE", TWCC_BADVALUE);
    record->result = DriverCall(record->message, record->first, record->second);
    return TWRC_SUCCESS;
}
