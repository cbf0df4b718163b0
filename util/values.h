// Translations between TWAIN codes and the ORVA driver's codes, and the arithmetic between
// TW_FIX32 values, driver rationals, pixels and TWAIN lengths. All stateless except that the
// resolution conversion reads the current units and the failing ones set ConditionCode.
#pragma once

#include "twain/twaindefs.h"

// A driver rational as the ORVA driver reads and writes it: {numerator, denominator}.
struct DriverRatio {
    LONG num;
    LONG den;
};
static_assert(sizeof(DriverRatio) == 8);

LONG CompressionToDriver(TW_UINT16 twainCompression);
TW_UINT16 DriverToCompression(LONG driverCompression);
TW_UINT16 JobControlToDriver(TW_UINT16 twainJobControl, LONG *driverValue);
TW_UINT16 DriverToJobControl(LONG driverValue);

// FIX32 as the 32-bit word containers carry it: Whole in the low half, Frac in the high half.
inline TW_UINT32 Fix32ToWord(TW_FIX32 f) {
    return static_cast<TW_UINT16>(f.Whole) | (static_cast<TW_UINT32>(f.Frac) << 16);
}
inline TW_FIX32 WordToFix32(TW_UINT32 w) {
    return TW_FIX32{static_cast<TW_INT16>(w & 0xFFFF), static_cast<TW_UINT16>(w >> 16)};
}

// Ratios with a zero or negative denominator (never sent by a sane driver) give 0.
void RatioToFix32(DriverRatio ratio, TW_FIX32 *fix32);
TW_UINT16 ValueToRatio(TW_UINT16 itemType, TW_UINT32 value32, DriverRatio *ratio);
TW_UINT16 ValueToLong(TW_UINT16 itemType, TW_UINT32 value32, LONG *value);
TW_UINT16 ResolutionToFix32(DriverRatio ratio, TW_FIX32 *fix32);

// Lengths: 0 on success, 1 for a unit other than inches, centimetres and pixels.
int DotsToFix32(LONG pixels, TW_FIX32 *fix32, TW_UINT16 units, LONG resNum, LONG resDen);
void DotsToFrame(LONG left, LONG top, LONG width, LONG height, TW_FRAME *frame, TW_UINT16 units, LONG resNum,
                 LONG resDen);
int FrameToDots(LONG *left, LONG *top, LONG *width, LONG *height, const TW_FRAME *frame, TW_UINT16 units,
                LONG resNum, LONG resDen);
