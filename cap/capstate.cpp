#include "cap/capstate.h"

// Constant-initialised: no code runs at load.
constinit CapState gCaps;
