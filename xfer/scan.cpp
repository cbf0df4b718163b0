// Scanning one page through the driver chain into the held page image, the paper check at the
// start of a run, and the question asked when the scanner has no paper.
#include <cstdio>

#include "cap/capstate.h"
#include "cap/paper.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/jexerr.h"
#include "ui/resource.h"
#include "twain/state.h"
#include "ui/barcode.h"
#include "ui/progress.h"
#include "ui/uistate.h"
#include "xfer/pagestate.h"

PageState gPage;

namespace {

constexpr LONG kFilmUnitBit = 8;  // of tag 1283
constexpr LONG kTagSeparatorSeen = 1448;
constexpr LONG kTagPaletteSize = 5412;
constexpr LONG kTagPlanar = 284;
constexpr LONG kErrNoPage = -4516;  // the driver library's "no image"

// Patch sheets by the bar-code type the collector saw on a separator page.
struct PatchEoj {
    SHORT type;
    TW_INT16 eoj;
};
constexpr PatchEoj kPatchEoj[] = {
    {9, TWEJ_PATCH2}, {10, TWEJ_PATCH3}, {11, TWEJ_PATCHT},
    {24, TWEJ_PATCH1}, {25, TWEJ_PATCH4}, {26, TWEJ_PATCH6},
};

void DebugLine(const char *format, LONG a, LONG b = 0) {
    char line[128];
    snprintf(line, sizeof line, format, static_cast<int>(a), static_cast<int>(b));
    OutputDebugStringA(line);
}

LONG SendTo(const JEXDRIVER &driver, LONG message, LONG tag, LONG value) {
    return driver.entry ? driver.entry(driver.instance, message, tag, value) : kNoDriver;
}

// The two drivers chained behind the scanner for one page; unloaded on every path.
struct PageChain {
    JEXDRIVER writer{};   // JEXMORVA: writes the page into the held image
    JEXDRIVER barcode{};  // our collector
    bool writerLoaded = false;
    bool barcodeLoaded = false;
    bool chained = false;

    ~PageChain() { Release(); }
    void Release() {
        if (chained && DriverLoaded()) DriverCall(kMsgChain, 0, 0);
        chained = false;
        if (barcodeLoaded) JexdfltUnloadDriver(&barcode);
        if (writerLoaded) JexdfltUnloadDriver(&writer);
        barcodeLoaded = writerLoaded = false;
        barcode = writer = JEXDRIVER{};
    }
};

LONG BuildChain(PageChain &chain) {
    LONG r = JexdfltLoadDriver(0, "JEXMORVA", &chain.writer, JEX_LOAD_BYNAME);
    if (r < 0) return r;
    chain.writerLoaded = true;
    if ((r = JexdfltInitDriver(&chain.writer, nullptr, gPage.hPageJexm)) < 0) return r;
    r = JexdfltLoadDriver(0, reinterpret_cast<const void *>(&BarcodeMiniProc), &chain.barcode,
                          JEX_LOAD_PROCEDURE);
    if (r < 0) return r;
    chain.barcodeLoaded = true;
    if ((r = JexdfltInitDriver(&chain.barcode, nullptr, nullptr)) < 0) return r;
    chain.chained = true;
    if ((r = DriverCall(kMsgChain, reinterpret_cast<LONG>(&chain.barcode), 0)) < 0) return r;
    return SendTo(chain.barcode, kMsgChain, reinterpret_cast<LONG>(&chain.writer), 0);
}

LONG RunScan() {
    HGLOBAL buffer = GlobalAlloc(GHND, 8192);
    if (!buffer) return -4500;
    DrvSetLong(kTagYield, reinterpret_cast<LONG>(&TwJexYield));
    gPage.bScanning = TRUE;
    const LONG r = JexdfltScan(&gDriver, buffer, 8192);
    gPage.bScanning = FALSE;
    GlobalFree(buffer);
    DrvSetLong(kTagYield, 0);
    return r;
}

// The output descriptor of the held page: its size, planar layout and the sense of its rows.
LONG DescribeHeldPage(bool darkIsZero) {
    LONG r = JexmCreateZone(&gPage.hPageZone, 1);
    if (r < 0) return r;
    LONG width = 0, length = 0;
    if ((r = JexmGetTag(gPage.hPageJexm, kTagWidth, &width)) < 0) return r;
    if ((r = JexmGetTag(gPage.hPageJexm, kTagLength, &length)) < 0) return r;
    gPage.PageInfo.ImageWidth = width;
    gPage.PageInfo.ImageLength = length;
    HJEXMZONE zone = gPage.hPageZone;
    if ((r = JexmSetZoneTag(zone, kTagWidth, 0, 1, width)) < 0) return r;
    if ((r = JexmSetZoneTag(zone, kTagLength, 0, 1, length)) < 0) return r;
    if ((r = JexmSetZoneTag(zone, kTagPlanar, 0, 1, gPage.PageInfo.Planar ? 2 : 1)) < 0) return r;
    if (gPage.PageInfo.SamplesPerPixel == 1) {
        LONG photometric = 0;
        JexmGetTag(gPage.hPageJexm, kTagPhotometric, &photometric);
        // Palette indexes have no sense to set.
        if (gCaps.LastImageType == TWPT_PALETTE || photometric == 3) return 0;
        return JexmSetZoneTag(zone, kTagPhotometric, 0, 1, darkIsZero ? 1 : 0);
    }
    return JexmSetZoneTag(zone, kTagPhotometric, 0, 1, darkIsZero ? 120 : 2);
}

}  // namespace

void FreeHeldPage() {
    gPage.MemoryRows = MemoryLayout{};  // the library may hand the next page the same handle
    if (gPage.hPageZone) JexmFreeZone(gPage.hPageZone);
    if (gPage.hPageJexm) JexmFreeImage(gPage.hPageJexm);
    gPage.hPageZone = nullptr;
    gPage.hPageJexm = nullptr;
}

void FixPaletteForPhotoShop() {
    LONG photometric = 0, bits = 0;
    DrvGetLong(kTagPhotometric, &photometric);
    DrvGetLong(kTagBitsPerSample, &bits);
    if (!gState.bPhotoShopApp || photometric != 3 || bits != 4) return;
    DrvSetLong(kTagBitsPerSample, 8);
    DrvSetLong(kTagPhotometric, 3);
    LONG smallest = 24, count = 0;
    if (DrvChoiceCount(kTagPaletteSize, &count) == 0) {
        for (LONG i = 0; i < count; ++i) {
            LONG v = 0;
            if (DrvChoiceLong(kTagPaletteSize, i, &v) == 0 && v < smallest) smallest = v;
        }
    }
    DrvSetLong(kTagPaletteSize, smallest);
}

LONG GetPageEOJ(JEXDRIVER driver, TW_INT16 *eoj) {
    *eoj = TWEJ_NONE;
    LONG job = 0, separator = 0;
    if (SendTo(driver, kMsgGetLong, kTagJobControl, reinterpret_cast<LONG>(&job)) != 0 || job == 0) return 0;
    if (SendTo(driver, kMsgGetLong, kTagSeparatorSeen, reinterpret_cast<LONG>(&separator)) != 0 ||
        separator == 0)
        return 0;
    *eoj = TWEJ_MIDSEPARATOR;
    // The collector keeps the patch codes of the page, so a patch sheet tells which one it was.
    if (gPage.PatchCodes.count > 0) {
        const SHORT type = gPage.PatchCodes.entries[0].type;
        for (const PatchEoj &p : kPatchEoj)
            if (p.type == type) *eoj = p.eoj;
    }
    return 0;
}

LONG ScanPageToJexm(LONG /*kind*/) {
    bool darkIsZero = gCaps.PixelFlavor == TWPF_CHOCOLATE;
    if (gState.bInvertColor) darkIsZero = !darkIsZero;
    // A held page (prefeed, or a palette read ahead) is the one to deliver. Without one, and
    // with no new page asked for (a memory transfer after its page was done), there is nothing
    // to deliver: success always means a page is held.
    if (gPage.hPageJexm) return 0;
    if (!gPage.bNeedNewPage) return kErrNoPage;
    gPage.bNeedNewPage = FALSE;

    PageChain chain;
    LONG r = JexmCreateImage(&gPage.hPageJexm);
    if (r >= 0) {
        FixPaletteForPhotoShop();
        r = BuildChain(chain);
    }
    if (r >= 0) {
        r = RunScan();
        if (r < 0) DebugLine("ScanPageToJexm: JexErr= %d %d\n", static_cast<SHORT>(r & 0xFFFF),
                             static_cast<SHORT>(static_cast<DWORD>(r) >> 16));
    }
    if (r >= 0) {
        GetPageEOJ(gDriver, &gPage.PageEOJ);
        chain.Release();
        r = DescribeHeldPage(darkIsZero);
    }
    if (r >= 0) {
        ++gPage.nPagesScanned;
        gPage.bXferReady = TRUE;
        gPage.bXferInProgress = TRUE;
        gPage.nLinesSent = 0;
        return 0;
    }

    LONG shown = ChkJexErr(gDriver, r);
    // An error the driver has already shown is still a page that is not there.
    if (shown == 0) shown = r;
    FreeHeldPage();
    chain.Release();
    gPage.bXferInProgress = FALSE;
    gPage.bXferReady = FALSE;
    gPage.bNeedNewPage = TRUE;
    gState.bCancelScanning = TRUE;
    SdkPrint(kLogTwain, "Error in scanning page: setting bCancelScanning to TRUE\n");
    return shown;
}

bool AskUser(UINT titleId, UINT textId, int textSize) {
    HWND owner = gState.DriverDialog.hDriverDialog ? gState.DriverDialog.hDriverDialog : gState.hBuiltInDialog;
    HWND progress = gUi.hCancelDlg;
    if (progress) EnableWindow(progress, FALSE);
    DriverCall(kMsgSnapshot, kTagMessageBox, 0);
    DrvSetLong(kTagMessageBox, 1);
    char title[80] = {}, text[250] = {}, shownTitle[80], shownText[250];
    if (textSize > static_cast<int>(sizeof text)) textSize = sizeof text;
    LoadStringA(gState.hOwnInstance, titleId, title, sizeof title);
    LoadStringA(gState.hOwnInstance, textId, text, textSize);
    Translate(title, shownTitle, sizeof shownTitle);
    Translate(text, shownText, sizeof shownText);
    const int answer = MessageBoxA(owner, shownText, shownTitle, MB_OKCANCEL | MB_ICONQUESTION | MB_TASKMODAL);
    DriverCall(kMsgRestoreSnapshot, kTagMessageBox, 0);
    if (progress && IsWindow(progress)) EnableWindow(progress, TRUE);
    return answer == IDOK;
}

LONG ReadImage() {
    gPage.bNeedNewPage = TRUE;
    if (FeederSelected()) {
        for (;;) {
            LONG status = 0;
            const LONG r = DriverCall(kMsgPaperStatus, 1, reinterpret_cast<LONG>(&status));
            if (r != 0) return r;
            DebugLine("ReadImage: JexDrvPageLoaded = %d\n", (status & 2) ? 1 : 0);
            if (!(status & 1)) break;
            LONG features = 0;
            DrvGetLong(kTagDeviceFeatures, &features);
            if (!AskUser(IDS_WARNING, (features & kFilmUnitBit) ? IDS_NO_FILM : IDS_NO_PAGE, 80))
                return JEX_ERR_CANCEL;
        }
    }
    gPage.bXferInProgress = FALSE;
    gPage.bXferReady = TRUE;
    GetImageInfo(&gPage.PageInfo);
    return 0;
}

LONG ChoosePaperSource(BOOL feeder, BOOL duplex) {
    RefreshPaperSources();
    LONG value;
    if (duplex) value = 4;
    else if (!feeder) value = gCaps.PaperNow[kPaperFlatbed] ? 2 : 0;
    else value = gCaps.PaperNow[kPaperFeeder] ? 3 : 0;
    return DrvSetLong(kTagPaperSource, value);
}
