// The driver's own dialog calls back into the source from inside the application's message
// dispatch (the dialog is modeless and fed by DAT_EVENT), so these may notify the application
// while no TWAIN call is active.
#include "twain/driverdialog.h"

#include "cap/capstate.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/notify.h"
#include "twain/source.h"
#include "ui/preview.h"
#include "ui/progress.h"
#include "xfer/pagestate.h"

namespace {

HJEXMZONE gSinkZone;  // the preview sink's own zone

constexpr LONG kErrNoImage = -5012;
constexpr LONG kErrBadOperation = -4602;
constexpr LONG kErrBadTag = -4502;

void FreeSinkZone() {
    if (gSinkZone) JexmFreeZone(gSinkZone);
    gSinkZone = nullptr;
}

LONG CreateSinkZone() {
    FreeSinkZone();
    LONG r = JexmCreateZone(&gSinkZone, 1);
    if (r == 0) r = JexmSetZoneTag(gSinkZone, 4096, 0, 1, 0);
    if (r == 0) r = JexmSetZoneTag(gSinkZone, 4098, 0, 1, 4);
    if (r == 0) r = JexmSetZoneTag(gSinkZone, 4099, 0, 1, 1);
    if (r != 0) FreeSinkZone();
    return r;
}

}  // namespace

void ForgetDriverDialogCallbacks() { FreeSinkZone(); }

LONG WINAPI OnDriverDialogScan(DriverDialogRecord *record) {
    if (!record) return -4501;
    if (record->mode != 0) {
        // The settings-only dialog was confirmed.
        if (record->hDriverDialog && IsWindow(record->hDriverDialog)) DestroyWindow(record->hDriverDialog);
        record->hDriverDialog = nullptr;
        if (!gState.bQuietClose) gState.bCloseRequested = TRUE;
        SendCloseDSOK();
        return 0;
    }
    if (gPage.bScanning) return 0;  // pressed again while its page is scanned
    ShowProgress(record->hDriverDialog, TRUE);
    const LONG r = ScanOnePage();
    if (!gCaps.bXferCountSetByApp) {
        LONG single = 0;
        gState.curXferCount = DrvGetLong(kTagSinglePage, &single) == 0 && single != 0 ? 1 : -1;
    }
    if (r == 0) SendXferReady();
    return r;
}

LONG WINAPI OnDriverDialogCancel(LONG *flag) {
    if (flag && *flag) {
        SdkPrint(kLogTwain, "%s", "Got Cancel/Close from User; sending MSG_CLOSEDSREQ\n");
        SendCloseDSReq();
        gState.bCloseRequested = TRUE;
    }
    return 0;
}

LONG WINAPI OnDriverPreviewRequest(LONG, LONG, LONG) {
    if (gPage.bScanning) return 0;  // pressed while a page is scanned
    HJEXM image = nullptr;
    LONG width = 0, length = 0;
    const LONG r = ScanPreview(nullptr, &image, &width, &length);
    if (r != 0) return r;
    // A preview that failed has been reported already; there is nothing to draw.
    if (!image) return 0;
    const LONG sink = reinterpret_cast<LONG>(&PreviewImageSink);
    DriverCall(kMsgPreview, sink, reinterpret_cast<LONG>(image));
    JexdfltPreview(gState.hOwnInstance, &PreviewImageSink, image);
    DriverCall(kMsgPreview, sink, reinterpret_cast<LONG>(image));
    return 0;
}

LONG WINAPI PreviewImageSink(LONG operationAndTag, LONG value, void *image) {
    const LONG operation = operationAndTag & 0xFFFF;
    const LONG tag = static_cast<LONG>(static_cast<DWORD>(operationAndTag) >> 16);
    auto *out = reinterpret_cast<LONG *>(value);
    HJEXM jexm = static_cast<HJEXM>(image);
    switch (operation) {
    case 1:
        if (!image) return kErrNoImage;
        CreateSinkZone();
        return 0;
    case 2: {
        LONG r = gSinkZone ? JexmFreeZone(gSinkZone) : 0;
        gSinkZone = nullptr;
        return r;
    }
    case 3: {
        if (!image) return kErrNoImage;
        if (!out) return -4501;
        if (tag == kTagWidth || tag == kTagLength) return JexmGetTag(jexm, tag, out), 0;
        if (tag == kTagXResolution || tag == kTagYResolution) {
            LONG packed = 0;
            JexmGetTag(jexm, tag, &packed);
            out[0] = packed & 0xFFFF;
            out[1] = static_cast<LONG>(static_cast<DWORD>(packed) >> 16);
            return 0;
        }
        return kErrBadTag;
    }
    case 4:
        if (!image) return kErrNoImage;
        if (!gSinkZone) CreateSinkZone();
        return gSinkZone ? JexmSetZoneTag(gSinkZone, tag, 0, 1, value) : 0;
    case 5:
        if (!image) return kErrNoImage;
        if (!out) return -4501;
        if (!gSinkZone) CreateSinkZone();
        if (!gSinkZone) return 0;
        return JexmDisplayDraw(nullptr, reinterpret_cast<HDC>(out[1]), jexm, gSinkZone, 0x8000, value + 2 * 4,
                               value + 6 * 4, 0, 0, 2, 0, 0);
    default:
        return kErrBadOperation;
    }
}
