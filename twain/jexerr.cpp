// Driver error reporting, translation of shown texts, and the yield call-back.
#include "twain/jexerr.h"

#include <cstring>

#include "sdkprint/sdkprint.h"
#include "twain/resource.h"
#include "twain/state.h"
#include "ui/uistate.h"

namespace {

constexpr SHORT kHighQuiet = -4401;  // errors the driver has already reported itself
constexpr SHORT kCancelHalf = static_cast<SHORT>(JEX_ERR_CANCEL);

// Takes the window's messages until the dialog takes one or the shared count of messages it did
// not take passes 5, so a busy queue cannot stall the scan: one yield drops at most six messages
// over all the windows it serves.
bool ServeDialog(HWND dialog, int &dropped) {
    MSG msg;
    while (dialog && dropped <= 5 && PeekMessageA(&msg, dialog, 0, 0, PM_REMOVE)) {
        if (IsDialogMessageA(dialog, &msg)) return true;
        ++dropped;
    }
    return false;
}

}  // namespace

void Translate(const char *english, char *buffer, int size) {
    if (!buffer || size <= 0) return;
    buffer[0] = 0;
    if (!english) return;
    LONG needed = 0;
    LPCSTR translation = JexlocLookup(english, &needed);
    if (translation && needed > 0 && needed <= size) {
        JexlocCopy(buffer, translation, needed);
        buffer[needed - 1] = 0;
        return;
    }
    lstrcpynA(buffer, english, size);
}

char *TranslateString(UINT stringId, char *buffer, int size) {
    char text[256] = {};
    LoadStringA(gState.hOwnInstance, stringId, text, sizeof text);
    Translate(text, buffer, size);
    return buffer;
}

LONG ChkJexErr(JEXDRIVER driver, LONG error) {
    const SHORT lo = static_cast<SHORT>(error & 0xFFFF);
    const SHORT hi = static_cast<SHORT>((static_cast<DWORD>(error) >> 16) & 0xFFFF);
    if (error == 0 || hi == kHighQuiet) return 0;
    if (lo == kCancelHalf || hi == kCancelHalf) {
        SdkPrint(kLogTwain, "ChkJexErr: got JEX_ERR_CANCEL");
        return JEX_ERR_CANCEL;
    }
    const bool haveDriver = driver.entry != nullptr;
    char message[256] = {};
    JexdfltErrorText(0, haveDriver ? &driver : nullptr, error, message, sizeof message);
    message[sizeof message - 1] = 0;
    char text[300];
    LONG result;
    if (haveDriver) {
        wsprintfA(text, "%s(%d)", message, hi);
        result = hi == -1 ? lo : hi;
    } else {
        wsprintfA(text, "%s(%d)", message, lo);
        result = lo;
    }
    // A half of 0 (0xFFFF0000, or a positive error with a driver) must not read as success.
    if (result == 0) result = error;
    char caption[256] = {};
    LoadStringA(gState.hOwnInstance, IDS_SCANNER_ERROR, caption, sizeof caption);
    SdkPrint(kLogTwain, "ORVA function returns error: displaying [%s] [%s] dialog", text, caption);
    auto call = [&](LONG message, LONG tag, LONG value) {
        if (haveDriver) driver.entry(driver.instance, message, tag, value);
    };
    call(kMsgSnapshot, kTagMessageBox, 0);
    call(kMsgSetLong, kTagMessageBox, 1);
    if (!gState.bReportDriverErrors) {
        char shown[256];
        Translate(caption, shown, sizeof shown);
        MessageBoxA(nullptr, text, shown, MB_TASKMODAL | MB_ICONEXCLAMATION);
    }
    call(kMsgRestoreSnapshot, kTagMessageBox, 0);
    return result;
}

TW_UINT16 FailWithDriverError(LONG driverError, const char *line, TW_UINT16 conditionCode) {
    if (!gState.bReportDriverErrors) return LogFailure(line, conditionCode);
    gState.ConditionCode = TWCC_DRIVERERROR;
    gState.LastDriverError = driverError;
    return TWRC_FAILURE;
}

extern "C" LONG WINAPI TwJexYield(void) {
    if (gState.bCancelScanning) {
        SdkPrint(kLogTwain, "%s", "Cancel 16: TwJexYield returning JEX_ERR_CANCEL\n");
        return JEX_ERR_CANCEL;
    }
    int dropped = 0;
    if (gUi.hCancelDlg) ServeDialog(gUi.hCancelDlg, dropped);
    if (gState.bCancelScanning) {
        SdkPrint(kLogTwain, "%s", "Cancel 17: TwJexYield returning JEX_ERR_CANCEL\n");
        return JEX_ERR_CANCEL;
    }
    if (gState.hBuiltInDialog) ServeDialog(gState.hBuiltInDialog, dropped);
    if (gState.DriverDialog.hDriverDialog) ServeDialog(gState.DriverDialog.hDriverDialog, dropped);
    return 0;
}
