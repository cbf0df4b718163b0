// The TWAIN page sizes against the driver's page-size names (tag 1294).
#pragma once

#include "twain/twaindefs.h"

struct PageSizeEntry {
    TW_INT16 code;       // TWSS code; -1 ends the table
    TW_UINT16 choice;    // driver choice index (with a driver list)
    LONG stringId;       // own string naming the size (without a driver list)
    LONG widthMm;
    LONG heightMm;
    TW_UINT16 offered;
};
inline constexpr int kPageSizeCount = 19;  // entry 0, TWSS_NONE, never matches a size

extern PageSizeEntry PageSizeTable[kPageSizeCount + 1];
extern BOOL bDriverPageNames;  // the driver has a page-size list

// A named page size of the source's own list, in tenths of a millimetre.
struct NamedPageSize {
    LONG stringId;
    LONG width;
    LONG length;
};
inline constexpr NamedPageSize kNamedPageSizes[] = {
    {32, 2159, 2794},  // Letter
    {10, 2159, 3560},  // Legal
    {19, 2970, 4200},  // A3
    {36, 2100, 2970},  // A4
    {37, 1480, 2100},  // A5
};

void RefreshPageSizes();
TW_INT16 MatchPageSize();
// Millimetres (and tenths of them) from pixels at the horizontal resolution num/den.
LONG PixelsToMm(LONG pixels, LONG num, LONG den);
LONG PixelsToTenthsMm(LONG pixels, LONG num, LONG den);
