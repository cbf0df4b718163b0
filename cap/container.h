// Capability containers: the one place where TWAIN containers are built, read and printed.
// Builders allocate a movable global block that belongs to the application from then on.
// Readers never change or free the application's container and refuse, with TWCC_BADVALUE,
// a container whose handle is not a block of this process or whose block is too small for
// what its header claims. All return TWRC_SUCCESS or TWRC_FAILURE with gState.ConditionCode set.
#pragma once

#include <windows.h>

#include "twain/twaindefs.h"

inline constexpr int kCapScratchBytes = 2048;
// Work area for item lists during one capability operation; holds nothing between operations.
extern BYTE gCapScratch[kCapScratchBytes];

TW_UINT32 ItemSize(TW_UINT16 itemType);
void CopyItems(const void *source, void *destination, TW_UINT16 itemType, TW_UINT32 count);
// Scalars go to *(TW_UINT32 *)out; strings copy ItemSize bytes to out.
TW_UINT16 PickItem(const void *items, TW_UINT16 itemType, TW_UINT32 index, void *out);

TW_UINT16 BuildOneValue(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 value);
TW_UINT16 BuildOneValueStr32(TW_CAPABILITY *cap, const char *text34);
TW_UINT16 BuildOneValueFrame(TW_CAPABILITY *cap, const TW_FRAME *frame);
TW_UINT16 BuildRange(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 minValue, TW_UINT32 maxValue,
                     TW_UINT32 step, TW_UINT32 defaultValue, TW_UINT32 currentValue);
TW_UINT16 BuildEnumeration(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 numItems, TW_UINT32 currentIndex,
                           TW_UINT32 defaultIndex, const void *items);
TW_UINT16 BuildArray(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 numItems, const void *items);

// Writes a one-value into the application's existing one-value block (ownership unchanged).
TW_UINT16 RewriteOneValue(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 value);

// Every out-pointer may be null.
TW_UINT16 ReadOneValue(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_UINT32 *value);
TW_UINT16 ReadOneValueStr32(const TW_CAPABILITY *cap, TW_UINT16 *itemType, char *text34);
TW_UINT16 ReadOneValueFrame(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_FRAME *frame);
TW_UINT16 ReadEnumeration(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_UINT16 *numItems,
                          TW_UINT16 *currentIndex, TW_UINT16 *defaultIndex, void *buffer, TW_UINT32 capacityBytes);
TW_UINT16 GetContainerValue(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_UINT32 *value);
TW_UINT16 GetContainerStr32(const TW_CAPABILITY *cap, TW_UINT16 *itemType, char *text34);
TW_UINT16 GetContainerFrame(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_FRAME *frame);

// Prints the container through the log at the given category.
void DumpCapability(DWORD mask, const TW_CAPABILITY *cap);
