// The preview scan and the preview window.
#include "ui/preview.h"

#include "cap/paper.h"
#include "twain/driver.h"
#include "twain/jexerr.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kTagPreviewResolution = 5373;
constexpr LONG kTagPreviewFormat = 5411;

HJEXM gPreviewJexm;

// Both resolutions at once, with the driver's own linking of the two held off.
void SetResolutions(DriverRatio resolution) {
    LONG link = 0;
    DrvGetLong(kTag5374, &link);
    DrvSetLong(kTag5374, 0);
    DrvSetRatio(kTagXResolution, resolution);
    DrvSetRatio(kTagYResolution, resolution);
    DrvSetLong(kTag5374, link);
}

}  // namespace

DriverRatio PickResolution(DriverRatio wanted) {
    const LONG target = wanted.den ? wanted.num / wanted.den : wanted.num;
    LONG flags = 0;
    DrvChoiceFlags(kTagXResolution, &flags);
    if (flags & kChoiceRange) {
        DriverRatio lo{}, hi{}, step{};
        DrvChoiceRatio(kTagXResolution, kChoiceMin, &lo);
        DrvChoiceRatio(kTagXResolution, kChoiceMax, &hi);
        DrvChoiceRatio(kTagXResolution, kChoiceStep, &step);
        const LONG min = lo.den > 0 ? lo.num / lo.den : 0, max = hi.den > 0 ? hi.num / hi.den : 0;
        LONG inc = step.den > 0 ? step.num / step.den : 1;
        if (inc <= 0) inc = 1;
        LONG v = min;
        while (v < max && v < target) v += inc;
        return DriverRatio{v, 1};
    }
    LONG count = 0;
    DrvChoiceCount(kTagXResolution, &count);
    DriverRatio choice = wanted;
    for (LONG i = 0; i < count; ++i) {
        if (DrvChoiceRatio(kTagXResolution, i, &choice) != 0) continue;
        if (choice.den > 0 && choice.num / choice.den >= target) break;
    }
    return choice;
}

void FreePreviewImage() {
    if (gPreviewJexm) JexmFreeImage(gPreviewJexm);
    gPreviewJexm = nullptr;
}

LONG ScanPreview(HWND dialog, HJEXM *image, LONG *width, LONG *length) {
    if (image) *image = nullptr;
    const bool feeder = FeederSelected();
    LONG savedSource = 0;
    DrvGetLong(kTagPaperSource, &savedSource);
    ChoosePaperSource(feeder, FALSE);
    DriverRatio savedRes{0, 1};
    LONG savedBits = 0, savedSamples = 0;
    DrvGetRatio(kTagXResolution, &savedRes);
    DrvGetLong(kTagBitsPerSample, &savedBits);
    DrvGetLong(kTagSamplesPerPixel, &savedSamples);

    DriverRatio preview{};
    if (DrvGetRatio(kTagPreviewResolution, &preview) != 0) preview = PickResolution(DriverRatio{100, 1});
    else if (preview.num == 0) preview = savedRes;
    SetResolutions(preview);
    LONG format = 0;
    if (DrvGetLong(kTagPreviewFormat, &format) == 0 && format != 0) {
        DrvSetLong(kTagSamplesPerPixel, format >> 8);
        DrvSetLong(kTagBitsPerSample, format & 0xFF);
    }
    // The settings dialog's frame (page size or drawn selection) comes with the dialog.
    (void)dialog;

    FreePreviewImage();
    LONG r = JexmCreateImage(&gPreviewJexm);
    if (r != 0) return r;
    JEXDRIVER writer{};
    r = JexdfltLoadDriver(0, "JEXMORVA", &writer, JEX_LOAD_BYNAME);
    if (r == 0) r = JexdfltInitDriver(&writer, nullptr, gPreviewJexm);
    if (r != 0) {
        if (writer.entry) JexdfltUnloadDriver(&writer);
        FreePreviewImage();
        return r;
    }
    LONG autoFeed = 0;
    DrvGetLong(kTagAutoFeed, &autoFeed);
    DrvSetLong(kTagAutoFeed, 0);
    DriverCall(kMsgChain, reinterpret_cast<LONG>(&writer), 0);
    HCURSOR cursor = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));
    LONG scanned = -4500;
    if (HGLOBAL buffer = GlobalAlloc(GHND, 8192)) {
        scanned = JexdfltScan(&gDriver, buffer, 8192);
        ChkJexErr(gDriver, scanned);
        GlobalFree(buffer);
    }
    SetCursor(cursor);
    if (DriverLoaded()) DriverCall(kMsgChain, 0, 0);
    JexdfltUnloadDriver(&writer);

    SetResolutions(savedRes);
    DrvSetLong(kTagBitsPerSample, savedBits);
    DrvSetLong(kTagSamplesPerPixel, savedSamples);
    if (scanned != 0) FreePreviewImage();
    if (autoFeed != 0) DrvSetLong(kTagAutoFeed, autoFeed);
    DrvSetLong(kTagPaperSource, savedSource);
    if (gPreviewJexm) {
        if (width) JexmGetTag(gPreviewJexm, kTagWidth, width);
        if (length) JexmGetTag(gPreviewJexm, kTagLength, length);
    }
    if (image) *image = gPreviewJexm;
    return 0;
}

extern "C" LRESULT CALLBACK PreviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}
