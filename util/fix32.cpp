// FIX32, rational and length arithmetic. The truncation points are the ones applications have
// always seen from this source (single-precision intermediates, truncation toward zero), so the
// numbers round-trip exactly as before; guards only keep hostile values from trapping.
#include <climits>
#include <cmath>

#include "twain/state.h"
#include "util/values.h"

namespace {

// Signed 32-bit division that cannot trap (x / 0 and INT_MIN / -1 both raise on x86).
LONG SafeDiv(LONG a, LONG b) {
    if (b == 0) return 0;
    if (b == -1) return a == LONG_MIN ? LONG_MAX : -a;
    return a / b;
}
LONG SafeMod(LONG a, LONG b) { return (b == 0 || b == -1) ? 0 : a % b; }

// v as TWAIN's 16.16 fixed point: whole part by arithmetic shift, fraction the low 16 bits.
TW_FIX32 FromScaled(double v) {
    LONG scaled;
    if (!(v == v)) scaled = 0;  // NaN
    else if (v >= 2147483647.0) scaled = LONG_MAX;
    else if (v <= -2147483648.0) scaled = LONG_MIN;
    else scaled = static_cast<LONG>(v);  // truncation toward zero
    return TW_FIX32{static_cast<TW_INT16>(scaled >> 16), static_cast<TW_UINT16>(scaled & 0xFFFF)};
}

LONG TruncToLong(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return LONG_MAX;
    if (v <= -2147483648.0) return LONG_MIN;
    return static_cast<LONG>(v);
}

bool IsIntegerItem(TW_UINT16 itemType) { return itemType <= TWTY_UINT32; }

LONG SaturatingAdd(LONG a, LONG b) {
    const long long sum = static_cast<long long>(a) + b;
    return sum > LONG_MAX ? LONG_MAX : sum < LONG_MIN ? LONG_MIN : static_cast<LONG>(sum);
}

}  // namespace

void RatioToFix32(DriverRatio ratio, TW_FIX32 *fix32) {
    if (!fix32) return;
    fix32->Whole = static_cast<TW_INT16>(SafeDiv(ratio.num, ratio.den));
    fix32->Frac = static_cast<TW_UINT16>(SafeMod(ratio.num, ratio.den) * SafeDiv(65536, ratio.den));
}

// A fraction travels to the driver as 1/d, the nearest unit fraction below it (0.3 -> 1/3).
TW_UINT16 ValueToRatio(TW_UINT16 itemType, TW_UINT32 value32, DriverRatio *ratio) {
    DriverRatio r{};
    if (IsIntegerItem(itemType)) {
        r = {static_cast<LONG>(value32), 1};
    } else if (itemType == TWTY_FIX32) {
        const TW_FIX32 f = WordToFix32(value32);
        if (f.Frac == 0) {
            r = {f.Whole, 1};
        } else {
            const LONG d = 65536 / f.Frac;
            r = {d * f.Whole + 1, d};
        }
    } else {
        gState.ConditionCode = TWCC_BADVALUE;
        return TWRC_FAILURE;
    }
    if (ratio) *ratio = r;
    return TWRC_SUCCESS;
}

TW_UINT16 ValueToLong(TW_UINT16 itemType, TW_UINT32 value32, LONG *value) {
    LONG v;
    if (IsIntegerItem(itemType)) {
        v = static_cast<LONG>(value32);
    } else if (itemType == TWTY_FIX32) {
        v = WordToFix32(value32).Whole;
    } else {
        gState.ConditionCode = TWCC_BADVALUE;
        return TWRC_FAILURE;
    }
    if (value) *value = v;
    return TWRC_SUCCESS;
}

TW_UINT16 ResolutionToFix32(DriverRatio ratio, TW_FIX32 *fix32) {
    switch (gState.CurrentUnits) {
    case TWUN_INCHES:
        break;
    case TWUN_CENTIMETERS: {
        // In 64 bits, then scaled back into 32 if a driver's numbers were that large.
        long long num = static_cast<long long>(ratio.num) * 100, den = static_cast<long long>(ratio.den) * 254;
        while (num > LONG_MAX || num < LONG_MIN || den > LONG_MAX || den < LONG_MIN) {
            num /= 2;
            den /= 2;
        }
        ratio = {static_cast<LONG>(num), static_cast<LONG>(den)};
        break;
    }
    case TWUN_PIXELS:
        ratio = {1, 1};
        break;
    default:
        gState.ConditionCode = TWCC_BADVALUE;
        return TWRC_FAILURE;
    }
    RatioToFix32(ratio, fix32);
    return TWRC_SUCCESS;
}

int DotsToFix32(LONG pixels, TW_FIX32 *fix32, TW_UINT16 units, LONG resNum, LONG resDen) {
    if (units == TWUN_PIXELS) {
        if (fix32) *fix32 = FromScaled(pixels * 65536.0);
        return 0;
    }
    if (units != TWUN_INCHES && units != TWUN_CENTIMETERS) return 1;
    const float r = resDen ? static_cast<float>(static_cast<double>(resNum) / resDen) : 0.0f;
    if (!(r > 0.0f)) return 1;  // no length can be derived from a zero or negative resolution
    double v;
    if (units == TWUN_INCHES) v = (pixels * 65536.0 + r / 2.0) / r;
    else v = ((pixels * 65536.0 + r * 2.54 / 2.0) / r) * 2.54;
    if (fix32) *fix32 = FromScaled(v);
    return 0;
}

void DotsToFrame(LONG left, LONG top, LONG width, LONG height, TW_FRAME *frame, TW_UINT16 units, LONG resNum,
                 LONG resDen) {
    if (!frame) return;
    *frame = TW_FRAME{};
    DotsToFix32(left, &frame->Left, units, resNum, resDen);
    DotsToFix32(top, &frame->Top, units, resNum, resDen);
    DotsToFix32(SaturatingAdd(left, width), &frame->Right, units, resNum, resDen);
    DotsToFix32(SaturatingAdd(top, height), &frame->Bottom, units, resNum, resDen);
}

int FrameToDots(LONG *left, LONG *top, LONG *width, LONG *height, const TW_FRAME *frame, TW_UINT16 units,
                LONG resNum, LONG resDen) {
    if (!frame) return 1;
    LONG l, t, r, b;
    if (units == TWUN_PIXELS) {
        l = frame->Left.Whole;
        t = frame->Top.Whole;
        r = frame->Right.Whole;
        b = frame->Bottom.Whole;
    } else if (units == TWUN_INCHES || units == TWUN_CENTIMETERS) {
        if (resDen == 0) return 1;
        auto edge = [&](TW_FIX32 f) {
            float inches = static_cast<float>(f.Whole + f.Frac / 65536.0);
            if (units == TWUN_CENTIMETERS) inches = inches / 2.54f;
            return TruncToLong(static_cast<double>(resNum) * inches / resDen);
        };
        l = edge(frame->Left);
        t = edge(frame->Top);
        r = edge(frame->Right);
        b = edge(frame->Bottom);
    } else {
        return 1;
    }
    if (left) *left = l;
    if (top) *top = t;
    if (width) *width = SaturatingAdd(r, l == LONG_MIN ? LONG_MAX : -l);
    if (height) *height = SaturatingAdd(b, t == LONG_MIN ? LONG_MAX : -t);
    return 0;
}
