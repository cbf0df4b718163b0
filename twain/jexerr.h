// Driver errors as the user and the application see them, the yield call-back that keeps the
// dialogs alive during a scan, and the translation of texts shown to the user.
#pragma once

#include "twain/driver.h"
#include "twain/twaindefs.h"

// Shows a driver error once (unless the application asked for driver errors itself) and
// returns 0 when there is nothing to report, JEX_ERR_CANCEL for a user cancel, else the code shown.
LONG ChkJexErr(JEXDRIVER driver, LONG error);

// A handler failing on a driver error: TWCC_DRIVERERROR with the error kept for the
// application when it asked for driver errors, else line logged and the handler's own
// condition code. Returns TWRC_FAILURE.
TW_UINT16 FailWithDriverError(LONG driverError, const char *line, TW_UINT16 conditionCode);

// Copies the translation of an English text (or the text itself) into buffer, terminated.
void Translate(const char *english, char *buffer, int size);
// The same for one of this library's own strings; returns buffer.
char *TranslateString(UINT stringId, char *buffer, int size);

extern "C" LONG WINAPI TwJexYield(void);
