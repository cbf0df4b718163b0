// Building and reading the four TWAIN container shapes (2-byte packed, little-endian).
#include "cap/container.h"

#include <cstring>

#include "twain/state.h"
#include "util/gmem.h"

BYTE gCapScratch[kCapScratchBytes];

namespace {

// Header sizes as laid out with 2-byte packing.
constexpr SIZE_T kOneValueBytes = 6;
constexpr SIZE_T kRangeBytes = 22;
constexpr SIZE_T kEnumHeaderBytes = 14;
constexpr SIZE_T kArrayHeaderBytes = 6;
constexpr SIZE_T kStr32Bytes = 34;
constexpr SIZE_T kFrameBytes = 16;

TW_UINT16 Fail(TW_UINT16 cc) {
    gState.ConditionCode = cc;
    return TWRC_FAILURE;
}

void Put16(BYTE *p, TW_UINT16 v) { memcpy(p, &v, 2); }
void Put32(BYTE *p, TW_UINT32 v) { memcpy(p, &v, 4); }
TW_UINT16 Get16(const BYTE *p) {
    TW_UINT16 v;
    memcpy(&v, p, 2);
    return v;
}
TW_UINT32 Get32(const BYTE *p) {
    TW_UINT32 v;
    memcpy(&v, p, 4);
    return v;
}

// Allocates the container, hands the filled block to the capability. fill writes the bytes.
template <class Fill>
TW_UINT16 Build(TW_CAPABILITY *cap, TW_UINT16 conType, SIZE_T bytes, Fill fill) {
    if (!cap) return Fail(TWCC_BADVALUE);
    cap->ConType = conType;
    cap->hContainer = nullptr;
    HGLOBAL h = AllocHandle(bytes);
    if (!h) return Fail(TWCC_LOWMEMORY);
    auto *p = static_cast<BYTE *>(LockHandle(h));
    if (!p) {
        GlobalFree(h);
        return Fail(TWCC_LOWMEMORY);
    }
    fill(p);
    UnlockHandle(h);
    cap->hContainer = h;
    return TWRC_SUCCESS;
}

// A list whose size in bytes would not fit in 32 bits with its header cannot be allocated.
bool ListTooLarge(TW_UINT16 itemType, TW_UINT32 numItems) {
    const TW_UINT32 size = ItemSize(itemType);
    return size != 0 && numItems > (0xFFFFFFF0u - 16u) / size;
}

// The application's container locked for reading, refused when it is not of the expected type
// or its block is smaller than `need` bytes.
struct Reader {
    explicit Reader(const TW_CAPABILITY *cap) : lock(cap ? cap->hContainer : nullptr) {}
    GlobalLockGuard lock;
    const BYTE *bytes() const { return lock.as<const BYTE>(); }
};

TW_UINT16 CheckShape(const TW_CAPABILITY *cap, TW_UINT16 conType, const Reader &r, SIZE_T need) {
    if (!cap || cap->ConType != conType) return Fail(TWCC_BADVALUE);
    if (!r.bytes() || r.lock.size() < need) return Fail(TWCC_BADVALUE);
    return TWRC_SUCCESS;
}

}  // namespace

TW_UINT32 ItemSize(TW_UINT16 itemType) {
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8:
        return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:
        return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32:
        return 4;
    case TWTY_STR32:
        return 34;
    case TWTY_STR64:
        return 66;
    case TWTY_STR128:
        return 130;
    case TWTY_STR255:
        return 256;
    default:  // frames never travel in lists
        return 0;
    }
}

void CopyItems(const void *source, void *destination, TW_UINT16 itemType, TW_UINT32 count) {
    if (!source || !destination) return;
    memcpy(destination, source, static_cast<SIZE_T>(ItemSize(itemType)) * count);
}

// Small signed types are zero-extended and 16-bit ones sign-extended, as applications of this
// source have always had them; whole 32-bit items pass unchanged.
TW_UINT16 PickItem(const void *items, TW_UINT16 itemType, TW_UINT32 index, void *out) {
    if (!items || !out) return Fail(TWCC_BADVALUE);
    const BYTE *item = static_cast<const BYTE *>(items) + static_cast<SIZE_T>(ItemSize(itemType)) * index;
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8:
        *static_cast<TW_UINT32 *>(out) = *item;
        return TWRC_SUCCESS;
    case TWTY_INT16:
    case TWTY_UINT16:
        *static_cast<TW_UINT32 *>(out) = static_cast<TW_UINT32>(static_cast<TW_INT32>(static_cast<TW_INT16>(Get16(item))));
        return TWRC_SUCCESS;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32:
        *static_cast<TW_UINT32 *>(out) = Get32(item);
        return TWRC_SUCCESS;
    case TWTY_STR32:
    case TWTY_STR64:
    case TWTY_STR128:
    case TWTY_STR255:
        memcpy(out, item, ItemSize(itemType));
        return TWRC_SUCCESS;
    default:
        return Fail(TWCC_BADVALUE);
    }
}

TW_UINT16 BuildOneValue(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 value) {
    return Build(cap, TWON_ONEVALUE, kOneValueBytes, [&](BYTE *p) {
        Put16(p, itemType);
        Put32(p + 2, value);
    });
}

TW_UINT16 BuildOneValueStr32(TW_CAPABILITY *cap, const char *text34) {
    return Build(cap, TWON_ONEVALUE, 2 + kStr32Bytes, [&](BYTE *p) {
        Put16(p, TWTY_STR32);
        // At most 33 characters and always the terminator at byte 33, as the reader expects;
        // the text may be longer (a driver's name) or shorter than the field.
        memset(p + 2, 0, kStr32Bytes);
        if (text34) memcpy(p + 2, text34, strnlen(text34, kStr32Bytes - 1));
    });
}

TW_UINT16 BuildOneValueFrame(TW_CAPABILITY *cap, const TW_FRAME *frame) {
    return Build(cap, TWON_ONEVALUE, 2 + kFrameBytes, [&](BYTE *p) {
        Put16(p, TWTY_FRAME);
        memset(p + 2, 0, kFrameBytes);
        if (frame) memcpy(p + 2, frame, kFrameBytes);
    });
}

TW_UINT16 BuildRange(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 minValue, TW_UINT32 maxValue,
                     TW_UINT32 step, TW_UINT32 defaultValue, TW_UINT32 currentValue) {
    return Build(cap, TWON_RANGE, kRangeBytes, [&](BYTE *p) {
        Put16(p, itemType);
        Put32(p + 2, minValue);
        Put32(p + 6, maxValue);
        Put32(p + 10, step);
        Put32(p + 14, defaultValue);
        Put32(p + 18, currentValue);
    });
}

TW_UINT16 BuildEnumeration(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 numItems, TW_UINT32 currentIndex,
                           TW_UINT32 defaultIndex, const void *items) {
    if (ListTooLarge(itemType, numItems)) return Fail(TWCC_LOWMEMORY);
    const SIZE_T listBytes = static_cast<SIZE_T>(ItemSize(itemType)) * numItems;
    return Build(cap, TWON_ENUMERATION, kEnumHeaderBytes + listBytes + 2, [&](BYTE *p) {
        Put16(p, itemType);
        Put32(p + 2, numItems);
        Put32(p + 6, currentIndex);
        Put32(p + 10, defaultIndex);
        if (items) memcpy(p + kEnumHeaderBytes, items, listBytes);
    });
}

TW_UINT16 BuildArray(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 numItems, const void *items) {
    if (ListTooLarge(itemType, numItems)) return Fail(TWCC_LOWMEMORY);
    const SIZE_T listBytes = static_cast<SIZE_T>(ItemSize(itemType)) * numItems;
    return Build(cap, TWON_ARRAY, kArrayHeaderBytes + listBytes + 2, [&](BYTE *p) {
        Put16(p, itemType);
        Put32(p + 2, numItems);
        if (items) memcpy(p + kArrayHeaderBytes, items, listBytes);
    });
}

TW_UINT16 RewriteOneValue(TW_CAPABILITY *cap, TW_UINT16 itemType, TW_UINT32 value) {
    GlobalLockGuard lock(cap ? cap->hContainer : nullptr);
    auto *p = lock.as<BYTE>();
    if (!cap || cap->ConType != TWON_ONEVALUE || !p || lock.size() < kOneValueBytes) return Fail(TWCC_BADVALUE);
    Put16(p, itemType);
    Put32(p + 2, value);
    return TWRC_SUCCESS;
}

TW_UINT16 ReadOneValue(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_UINT32 *value) {
    Reader r(cap);
    if (CheckShape(cap, TWON_ONEVALUE, r, kOneValueBytes) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (itemType) *itemType = Get16(r.bytes());
    if (value) *value = Get32(r.bytes() + 2);
    return TWRC_SUCCESS;
}

TW_UINT16 ReadOneValueStr32(const TW_CAPABILITY *cap, TW_UINT16 *itemType, char *text34) {
    Reader r(cap);
    if (CheckShape(cap, TWON_ONEVALUE, r, 2 + kStr32Bytes) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (itemType) *itemType = Get16(r.bytes());
    if (text34) {
        memcpy(text34, r.bytes() + 2, kStr32Bytes);
        text34[kStr32Bytes - 1] = 0;  // the terminator belongs to the 34 bytes
    }
    return TWRC_SUCCESS;
}

TW_UINT16 ReadOneValueFrame(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_FRAME *frame) {
    Reader r(cap);
    if (CheckShape(cap, TWON_ONEVALUE, r, 2 + kFrameBytes) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (itemType) *itemType = Get16(r.bytes());
    if (frame) memcpy(frame, r.bytes() + 2, kFrameBytes);
    return TWRC_SUCCESS;
}

TW_UINT16 ReadEnumeration(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_UINT16 *numItems,
                          TW_UINT16 *currentIndex, TW_UINT16 *defaultIndex, void *buffer, TW_UINT32 capacityBytes) {
    Reader r(cap);
    if (CheckShape(cap, TWON_ENUMERATION, r, kEnumHeaderBytes) != TWRC_SUCCESS) return TWRC_FAILURE;
    const BYTE *p = r.bytes();
    const TW_UINT16 type = Get16(p);
    const TW_UINT16 count = Get16(p + 2);
    TW_UINT16 current = Get16(p + 6);
    TW_UINT16 deflt = Get16(p + 10);
    const SIZE_T listBytes = static_cast<SIZE_T>(ItemSize(type)) * count;
    // A count that the application's block cannot hold is a bad container, not a list to read.
    if (r.lock.size() < kEnumHeaderBytes + listBytes) return Fail(TWCC_BADVALUE);
    if (current >= count) current = 0;
    if (deflt >= count) deflt = 0;
    if (buffer) {
        if (capacityBytes < listBytes) return Fail(TWCC_LOWMEMORY);
        memcpy(buffer, p + kEnumHeaderBytes, listBytes);
    }
    if (itemType) *itemType = type;
    if (numItems) *numItems = count;
    if (currentIndex) *currentIndex = current;
    if (defaultIndex) *defaultIndex = deflt;
    return TWRC_SUCCESS;
}

TW_UINT16 GetContainerValue(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_UINT32 *value) {
    if (!cap) return Fail(TWCC_BADVALUE);
    if (cap->ConType == TWON_ONEVALUE) return ReadOneValue(cap, itemType, value);
    if (cap->ConType != TWON_ENUMERATION) return Fail(TWCC_BADVALUE);
    TW_UINT16 type = 0, count = 0, current = 0;
    if (ReadEnumeration(cap, &type, &count, &current, nullptr, gCapScratch, kCapScratchBytes) != TWRC_SUCCESS)
        return TWRC_FAILURE;
    // An empty list names no value; its "current item" would be whatever the scratch held.
    if (count == 0) return Fail(TWCC_BADVALUE);
    if (type >= TWTY_STR32 && type <= TWTY_STR255) return Fail(TWCC_BADVALUE);
    TW_UINT32 v = 0;
    if (PickItem(gCapScratch, type, current, &v) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (itemType) *itemType = type;
    if (value) *value = v;
    return TWRC_SUCCESS;
}

TW_UINT16 GetContainerStr32(const TW_CAPABILITY *cap, TW_UINT16 *itemType, char *text34) {
    return ReadOneValueStr32(cap, itemType, text34);
}

TW_UINT16 GetContainerFrame(const TW_CAPABILITY *cap, TW_UINT16 *itemType, TW_FRAME *frame) {
    return ReadOneValueFrame(cap, itemType, frame);
}
