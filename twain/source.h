// Source-wide operations shared between handlers.
#pragma once

#include <windows.h>

#include "twain/twaindefs.h"

// Frees the held page, ends the display library, closes the dialogs. Returns 0.
LONG DisableSource();
// Starts a scan run: 0, JEX_ERR_CANCEL, or the driver error (already shown to the user).
LONG ScanOnePage();

// Endorser access (CAP_ENDORSER): 0 or a driver error; -1 when the scanner has no endorser.
LONG InitEndorser();
LONG ClearEndorserText();
LONG GetEndorser(LONG *value);
LONG SetEndorser(LONG value);
LONG SetEndorserText(const char *text);

// Default file-transfer target: the Windows directory, a backslash and "TWAIN001.TMP".
struct FileXferSetup {
    char FileName[256];
    TW_UINT16 Format;
};
extern FileXferSetup gFileXfer;
void SetDefaultFileXfer();
