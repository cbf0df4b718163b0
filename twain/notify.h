// Notifications to the application, sent through the data source manager.
#pragma once

#include "twain/twaindefs.h"

TW_UINT16 SendXferReady();
TW_UINT16 SendCloseDSReq();  // the manager's answer
TW_UINT16 SendCloseDSOK();
