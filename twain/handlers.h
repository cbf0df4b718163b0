// Handlers of the TWAIN data argument types, one per file named after the DAT. Each takes the
// origin identity, the message and the data pointer, returns a TWRC code and, on failure, leaves a
// condition code in gState.ConditionCode. None trusts pData or origin: both may be null or bogus.
#pragma once

#include "twain/twaindefs.h"

using DatHandler = TW_UINT16 (*)(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);

TW_UINT16 DatEvent(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatCapability(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatIdentity(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatPendingXfers(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatSetupMemXfer(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatSetupFileXfer(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatUserInterface(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatXferGroup(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatCustomDSData(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatDriverMessage(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatImageInfo(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatImageLayout(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatImageMemXfer(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatImageNativeXfer(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatImageFileXfer(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatPalette8(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
TW_UINT16 DatExtImageInfo(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData);
