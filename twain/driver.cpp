// Typed access to the scanner driver's message entry.
#include "twain/driver.h"

#include <cstring>

JEXDRIVER gDriver;

namespace {

// The tag word of string messages carries the buffer length in its upper 16 bits, and that of
// choice messages the choice index.
LONG WithHigh(LONG tag, LONG high) { return static_cast<LONG>((static_cast<DWORD>(high) << 16) | (tag & 0xFFFF)); }

LONG StringCall(LONG message, LONG tag, char *buffer, int size) {
    if (!buffer || size <= 0) return kNoDriver;
    buffer[0] = 0;
    if (size > 0xFFFF) size = 0xFFFF;
    LONG r = DriverCall(message, WithHigh(tag, size - 1), reinterpret_cast<LONG>(buffer));
    buffer[size - 1] = 0;
    return r;
}

}  // namespace

bool DriverLoaded() { return gDriver.entry != nullptr; }

LONG DriverCall(LONG message, LONG tag, LONG value) {
    if (!gDriver.entry) return kNoDriver;
    return gDriver.entry(gDriver.instance, message, tag, value);
}

LONG DrvGetLong(LONG tag, LONG *value) { return DriverCall(kMsgGetLong, tag, reinterpret_cast<LONG>(value)); }
LONG DrvGetRatio(LONG tag, DriverRatio *value) { return DriverCall(kMsgGetRatio, tag, reinterpret_cast<LONG>(value)); }
LONG DrvGetString(LONG tag, char *buffer, int size) { return StringCall(kMsgGetString, tag, buffer, size); }
LONG DrvSetLong(LONG tag, LONG value) { return DriverCall(kMsgSetLong, tag, value); }
LONG DrvSetRatio(LONG tag, DriverRatio value) { return DriverCall(kMsgSetRatio, tag, reinterpret_cast<LONG>(&value)); }
LONG DrvSetString(LONG tag, const char *text) {
    return DriverCall(kMsgSetString, tag, reinterpret_cast<LONG>(text ? text : ""));
}
LONG DrvDefaultLong(LONG tag, LONG *value) { return DriverCall(kMsgDefaultLong, tag, reinterpret_cast<LONG>(value)); }
LONG DrvDefaultRatio(LONG tag, DriverRatio *value) {
    return DriverCall(kMsgDefaultRatio, tag, reinterpret_cast<LONG>(value));
}
LONG DrvDefaultString(LONG tag, char *buffer, int size) { return StringCall(kMsgDefaultString, tag, buffer, size); }
// Choice indexes travel in 16 bits: only the low half of the driver's count is ever used.
LONG DrvChoiceCount(LONG tag, LONG *count) {
    LONG n = 0;
    const LONG r = DriverCall(kMsgChoiceCount, tag, reinterpret_cast<LONG>(&n));
    if (count) *count = r == 0 ? (n & 0xFFFF) : 0;
    return r;
}
LONG DrvChoiceFlags(LONG tag, LONG *flags) { return DriverCall(kMsgChoiceFlags, tag, reinterpret_cast<LONG>(flags)); }
LONG DrvChoiceLong(LONG tag, LONG index, LONG *value) {
    return DriverCall(kMsgChoiceLong, WithHigh(tag, index), reinterpret_cast<LONG>(value));
}
LONG DrvChoiceRatio(LONG tag, LONG index, DriverRatio *value) {
    return DriverCall(kMsgChoiceRatio, WithHigh(tag, index), reinterpret_cast<LONG>(value));
}
LONG DrvChoiceString(LONG tag, LONG index, char *buffer, int size) {
    if (!buffer || size <= 0) return kNoDriver;
    buffer[0] = 0;
    LONG r = DriverCall(kMsgChoiceString, WithHigh(tag, index), reinterpret_cast<LONG>(buffer));
    buffer[size - 1] = 0;
    return r;
}
LONG DrvValueKind(LONG tag, LONG *kind) { return DriverCall(kMsgValueKind, tag, reinterpret_cast<LONG>(kind)); }

bool DrvChoicesInclude(LONG tag, LONG value) {
    LONG count = 0;
    if (DrvChoiceCount(tag, &count) != 0) return false;
    for (LONG i = 0; i < count; ++i) {
        LONG v = 0;
        if (DrvChoiceLong(tag, i, &v) == 0 && v == value) return true;
    }
    return false;
}

bool DrvReadResolution(LONG tag, DriverRatio *ratio) {
    return DrvGetRatio(tag, ratio) == 0 && ratio->num > 0 && ratio->den > 0;
}
