// Notifications go through DSM_Entry of TWAIN_32.DLL, loaded for each one and freed after, so
// the source holds no reference to the manager between calls. A missing manager sends nothing.
#include "twain/notify.h"

#include "sdkprint/sdkprint.h"
#include "twain/state.h"

namespace {

TW_UINT16 Notify(const char *line, TW_UINT16 msg) {
    SdkPrint(kLogTwain, "%s", line);
    if (!gState.hTwain32) {
        gState.hTwain32 = LoadLibraryA("TWAIN_32.DLL");
        if (gState.hTwain32)
            gState.pDSM_Entry = reinterpret_cast<DSMENTRYPROC>(
                reinterpret_cast<void (*)()>(GetProcAddress(gState.hTwain32, "DSM_Entry")));
    }
    TW_UINT16 answer = TWRC_FAILURE;
    if (gState.pDSM_Entry)
        answer = gState.pDSM_Entry(&gState.DSIdentity, &gState.AppIdentity, DG_CONTROL, DAT_NULL, msg, nullptr);
    if (gState.hTwain32) FreeLibrary(gState.hTwain32);
    gState.hTwain32 = nullptr;
    gState.pDSM_Entry = nullptr;
    return answer;
}

}  // namespace

TW_UINT16 SendXferReady() {
    Notify("Send notification to Apps, xfer is ready\n", MSG_XFERREADY);
    return 0;
}

TW_UINT16 SendCloseDSReq() { return Notify("Send msg to app: MSG_CLOSEDSREQ\n", MSG_CLOSEDSREQ); }

TW_UINT16 SendCloseDSOK() {
    Notify("Send Settings-Only Close to App\n", MSG_CLOSEDSOK);
    return 0;
}
