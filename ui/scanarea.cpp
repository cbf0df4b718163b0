// Lengths of the scan-area edits. All integer arithmetic, in 64 bits, so no typed number and no
// resolution overflows or divides by zero.
#include "ui/scanarea.h"

#include <cstdio>

namespace {

constexpr int64_t kMaxDigits = INT64_MAX / 10 - 9;

bool Known(unsigned short units) {
    return units == kUnitsInches || units == kUnitsMillimetres || units == kUnitsPixels;
}

}  // namespace

bool ConvertLength(int64_t value, unsigned short to, unsigned short from, DriverRatio res, int64_t *converted) {
    if (!Known(to) || !Known(from)) return false;
    if (to == from) {
        *converted = value;
        return true;
    }
    if ((to == kUnitsPixels || from == kUnitsPixels) && (res.num <= 0 || res.den <= 0)) return false;
    int64_t milliInches = value;
    if (from == kUnitsMillimetres) milliInches = value * 10 / 254;
    else if (from == kUnitsPixels) milliInches = value * 1000 * res.den / res.num;
    if (to == kUnitsMillimetres) *converted = milliInches * 254 / 10;
    else if (to == kUnitsPixels) *converted = milliInches * res.num / res.den / 1000;
    else *converted = milliInches;
    return true;
}

void FormatLength(int64_t value, unsigned short units, char *text, int size) {
    if (!text || size <= 0) return;
    if (units == kUnitsPixels) {
        snprintf(text, size, "%lld", static_cast<long long>(value));
        return;
    }
    int64_t r = value % 1000;
    if (r < 0) r = -r;
    int places = 3;
    while (r != 0 && r % 10 == 0) r /= 10, --places;
    const char *format = r == 0 || places == 1 ? "%lld.%1lld" : places == 2 ? "%lld.%02lld" : "%lld.%03lld";
    snprintf(text, size, format, static_cast<long long>(value / 1000), static_cast<long long>(r));
}

void ParseNumber(const char *text, int64_t *digits, int64_t *divisor) {
    *digits = 0;
    *divisor = 1;
    bool afterPoint = false;
    for (; text && (*text == '.' || (*text >= '0' && *text <= '9')); ++text) {
        if (*text == '.') {
            afterPoint = true;
            *divisor = 1;
            continue;
        }
        if (*digits > kMaxDigits || (afterPoint && *divisor > kMaxDigits)) continue;
        *digits = *digits * 10 + (*text - '0');
        if (afterPoint) *divisor *= 10;
    }
}
