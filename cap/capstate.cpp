#include "cap/capstate.h"

CapState gCaps;  // zero: TWUN_INCHES
