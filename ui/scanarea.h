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

#include <windows.h>

// The page sizes the settings dialog lists, in tenths of a millimetre; the entry after the last
// is the "Manually Set Selection" one.
struct DialogPageSize {
    LONG stringId;  // own string naming it; 0 for a driver name
    LONG width;
    LONG length;
};
inline constexpr int kMaxDialogPageSizes = 30;

struct ScanAreaState {
    DialogPageSize sizes[kMaxDialogPageSizes];
    LONG count = -1;     // entries; also the list index of "Manually Set Selection"
    LONG index = 0;      // selected list index
    LONG widthStep = 32; // pixels
    LONG maxWidth = 0, maxLength = 0;
    unsigned short shownUnits = 0xFFFF;
    BOOL bFieldBusy = FALSE;
    LONG firstBadField = 0;
};
extern ScanAreaState gArea;

// Fills the page-size table and, with a dialog, its list (1006) and the frame edits.
void BuildPageSizes(HWND dialog);
void RefreshFields(HWND dialog);
void RefreshField(HWND dialog, LONG tag);
// 1 when the edit's value was taken as typed, 0 when it was corrected to a limit.
int CheckField(HWND dialog, int id);
void CheckAllFields(HWND dialog);
// The dialog's commands for the page-size list, the units buttons and the frame edits; false
// for a command that is none of them.
bool ScanAreaCommand(HWND dialog, int id, int code, INT_PTR *result);
