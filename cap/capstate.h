// Capability settings the data source keeps itself (the rest lives in driver tags).
#pragma once

#include "twain/twaindefs.h"

struct CapState {
    TW_UINT16 CurrentUnits;  // ICAP_UNITS; read by the unit conversions and the dialogs
};

extern CapState gCaps;
