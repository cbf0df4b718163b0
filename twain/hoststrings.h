// The host module's string resources that name the scanner model.
#pragma once

#include <windows.h>

enum HostString : UINT {
    kHostProductFamily = 1,
    kHostProductName = 2,
    kHostManufacturer = 3,
    kHostDriverFamily = 4,  // section of "Model"; the name the driver is loaded by
    kHostSection = 5,       // section of this model's settings
};

// Loads a host string into buffer (always terminated); returns its length, 0 when missing.
int LoadHostString(UINT id, char *buffer, int size);
