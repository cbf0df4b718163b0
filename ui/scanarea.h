// Lengths of the scan-area edits: the driver's pixels shown and typed in the user's units.
#pragma once

#include <cstdint>

#include "util/values.h"

// Units of the edits: 0 inches (values in thousandths of an inch), 1 millimetres (thousandths
// of a millimetre), 5 pixels.
inline constexpr unsigned short kUnitsInches = 0, kUnitsMillimetres = 1, kUnitsPixels = 5;

// value from one unit to another at the resolution res; false for units the edits do not know
// or a resolution of nothing.
bool ConvertLength(int64_t value, unsigned short to, unsigned short from, DriverRatio res, int64_t *converted);
// Pixels as a whole number; inches and millimetres with up to three decimals, trailing zeros
// dropped but one kept after the point (1500 reads 1.5, 4000 reads 4.0, 3005 reads 3.005).
void FormatLength(int64_t value, unsigned short units, char *text, int size);
// The digits of a typed number as one integer, and the power of ten the digits after its point
// make: "12.75" gives 1275 and 100. Reading stops at the first character that is neither; digits
// beyond what 64 bits hold are not taken.
void ParseNumber(const char *text, int64_t *digits, int64_t *divisor);
