// Capability tests (being written).
#include "captest.h"
