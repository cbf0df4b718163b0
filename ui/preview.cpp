// The preview scan and the preview window: the page scanned once at a low resolution, drawn
// through the image library's display functions, with a frame the user drags over it that
// becomes the driver's scan frame.
#include "ui/preview.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstring>

#include "cap/paper.h"
#include "twain/driver.h"
#include "twain/jexerr.h"
#include "twain/state.h"
#include "ui/bardata.h"
#include "ui/barcodedlg.h"
#include "ui/resource.h"
#include "ui/scanarea.h"
#include "ui/uistate.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kTagPreviewResolution = 5373;
constexpr LONG kTagPreviewFormat = 5411;
constexpr UINT kPreviewTitle = 8, kNoBarcodes = 77, kManualString = 42;
constexpr char kClassName[] = "PreviewWndClass";
// Display: client coordinates, the image fitted into the window keeping its aspect, top-left.
constexpr LONG kClientCoords = 0x8000, kFitMode = 7;
constexpr LONG kZoneDisplay = 1, kZoneScaled = 4096, kZoneSmoothing = 4098;

struct PreviewState {
    HJEXM hPreviewJexm;
    DriverRatio PreviewResolution{100, 1};
    RECT PreviewSelection;  // client coordinates; all zero: none
    BOOL bDragging;
    BOOL bPreviewClassRegistered;
};
PreviewState gPv;

// The resolutions (and, with format, the bits per sample and samples per pixel) with the
// driver's own linking of the two resolutions held off meanwhile.
struct ScanFormat {
    LONG bits, samples;
};
void SetResolutions(DriverRatio x, DriverRatio y, const ScanFormat *format = nullptr) {
    LONG link = 0;
    DrvGetLong(kTag5374, &link);
    DrvSetLong(kTag5374, 0);
    DrvSetRatio(kTagXResolution, x);
    DrvSetRatio(kTagYResolution, y);
    if (format) {
        DrvSetLong(kTagBitsPerSample, format->bits);
        DrvSetLong(kTagSamplesPerPixel, format->samples);
    }
    DrvSetLong(kTag5374, link);
}

LONG RoundUpTo(int64_t value, LONG step) {
    if (step > 1) value = (value + step - 1) / step * step;
    return static_cast<LONG>(std::clamp<int64_t>(value, LONG_MIN, LONG_MAX));
}

// Dots per inch of the preview, as a whole number; 0 when it has none.
LONG PreviewDpi() {
    const DriverRatio &p = gPv.PreviewResolution;
    return p.den > 0 ? p.num / p.den : 0;
}

// A length in tenths of a millimetre as preview pixels.
int64_t PreviewPixels(LONG tenths) {
    const DriverRatio &p = gPv.PreviewResolution;
    if (p.den <= 0) return 0;
    return static_cast<int64_t>(tenths) * p.num / (static_cast<int64_t>(p.den) * 254);
}

// The frame the preview scans: the drawn one when "Manually Set Selection" is chosen, otherwise
// the chosen page size at the corner. *x and *y receive the position to put back afterwards.
void PreviewFrame(HWND dialog, LONG *x, LONG *y, LONG *width, LONG *length) {
    DrvGetLong(kTagLeft, x);
    DrvGetLong(kTagTop, y);
    DrvSetLong(kTagLeft, 0);
    DrvSetLong(kTagTop, 0);
    char manual[256];
    TranslateString(kManualString, manual, sizeof manual);
    HWND list = GetDlgItem(dialog, IDC_AREA_PAGESIZE);
    const LRESULT at = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(manual));
    if (at != CB_ERR && SendMessageA(list, CB_GETCURSEL, 0, 0) == at) {
        DrvSetLong(kTagLeft, *x);
        DrvSetLong(kTagTop, *y);
        DrvGetLong(kTagWidth, width);
        DrvGetLong(kTagLength, length);
        return;
    }
    const LONG index = gArea.index >= 0 && gArea.index < kMaxDialogPageSizes ? gArea.index : 0;
    const DialogPageSize &e = gArea.sizes[index];
    *width = RoundUpTo(PreviewPixels(e.width), gArea.widthStep);
    *length = RoundUpTo(PreviewPixels(e.length), 1);
    DrvSetLong(kTagWidth, *width);
    DrvSetLong(kTagLength, *length);
}

// The scan itself, into the preview image through the image-writing driver chained after the
// scanner; the error of a step that could not start it, else 0 with *scanned the scan's result.
// *autoFeed: the automatic feed the scan was made without, to be put back by the caller.
LONG ScanIntoImage(LONG *scanned, LONG *autoFeed) {
    *scanned = 0;
    *autoFeed = 0;
    FreePreviewImage();
    LONG r = JexmCreateImage(&gPv.hPreviewJexm);
    if (r != 0) {
        gPv.hPreviewJexm = nullptr;
        return r;
    }
    JEXDRIVER writer{};
    r = JexdfltLoadDriver(0, "JEXMORVA", &writer, JEX_LOAD_BYNAME);
    if (r == 0) r = JexdfltInitDriver(&writer, nullptr, gPv.hPreviewJexm);
    if (r == 0) {
        DrvGetLong(kTagAutoFeed, autoFeed);
        DrvSetLong(kTagAutoFeed, 0);
        DriverCall(kMsgChain, reinterpret_cast<LONG>(&writer), 0);
        HCURSOR cursor = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));
        *scanned = -4500;
        if (HGLOBAL buffer = GlobalAlloc(GHND, 8192)) {
            *scanned = JexdfltScan(&gDriver, buffer, 8192);
            ChkJexErr(gDriver, *scanned);
            GlobalFree(buffer);
        }
        SetCursor(cursor);
        if (DriverLoaded()) DriverCall(kMsgChain, 0, 0);
    }
    if (writer.entry) JexdfltUnloadDriver(&writer);
    if (r != 0 || *scanned != 0) FreePreviewImage();
    return r;
}

// ---- Drawing
struct WindowDc {
    HWND window;
    HDC dc;
    explicit WindowDc(HWND w) : window(w), dc(GetDC(w)) {}
    ~WindowDc() {
        if (dc) ReleaseDC(window, dc);
    }
};

// A display descriptor: image pixels scaled to the window, smoothed when drawing.
struct DisplayZone {
    HJEXMZONE zone = nullptr;
    explicit DisplayZone(bool smooth) {
        if (JexmCreateZone(&zone, kZoneDisplay) != 0) {
            zone = nullptr;
            return;
        }
        JexmSetZoneTag(zone, kZoneScaled, 0, 1, 1);
        if (smooth) JexmSetZoneTag(zone, kZoneSmoothing, 0, 1, 4);
    }
    ~DisplayZone() {
        if (zone) JexmFreeZone(zone);
    }
};

// Maps points between the image and the window in place; false when the library cannot.
bool MapPoints(HWND window, HDC dc, bool toWindow, POINT *points, LONG count) {
    if (!gPv.hPreviewJexm) return false;
    DisplayZone zone(false);
    if (!zone.zone) return false;
    return (toWindow ? JexmImageToWindow : JexmWindowToImage)(window, dc, gPv.hPreviewJexm, zone.zone, kClientCoords, 0,
                                                              kFitMode, points, count) == 0;
}

bool NoSelection() {
    const RECT &s = gPv.PreviewSelection;
    return s.left == 0 && s.top == 0 && s.right == 0 && s.bottom == 0;
}

// Drawn with NOT-XOR, so drawing the same outline again takes it away.
void DrawOutline(HDC dc, const RECT &r) {
    const POINT path[] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}, {r.left, r.top}};
    const int old = SetROP2(dc, R2_NOTXORPEN);
    Polyline(dc, path, 5);
    SetROP2(dc, old);
}

void DrawOutline(HWND window, const RECT &r) {
    WindowDc dc(window);
    if (dc.dc) DrawOutline(dc.dc, r);
}

// The driver's frame as a rectangle over the image shown in the window.
void SelectionFromFrame(HWND window, HDC dc) {
    DriverRatio res{0, 1};
    DrvGetRatio(kTagXResolution, &res);
    const int64_t k = PreviewDpi(), R = res.num;
    if (k <= 0 || R <= 0) return;
    LONG x = 0, y = 0, w = 0, l = 0;
    DrvGetLong(kTagLeft, &x);
    DrvGetLong(kTagTop, &y);
    DrvGetLong(kTagWidth, &w);
    DrvGetLong(kTagLength, &l);
    const auto scale = [&](LONG v) { return static_cast<LONG>(std::clamp<int64_t>(k * v / R, LONG_MIN, LONG_MAX)); };
    POINT corners[2] = {{scale(x), scale(y)}, {scale(x) + scale(w), scale(y) + scale(l)}};
    if (!MapPoints(window, dc, true, corners, 2)) return;
    gPv.PreviewSelection = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

LRESULT Paint(HWND window, bool resized) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    if (!gPv.hPreviewJexm) {
        EndPaint(window, &ps);
        return 0;
    }
    WindowDc dc(window);
    if (dc.dc) {
        DisplayZone zone(true);
        if (zone.zone)
            JexmDisplayDraw(window, dc.dc, gPv.hPreviewJexm, zone.zone, kClientCoords, 0, 0, 0, 0, kFitMode, 0, 0);
    }
    EndPaint(window, &ps);
    if (NoSelection() || !dc.dc) return 0;
    if (resized) SelectionFromFrame(window, dc.dc);
    DrawOutline(dc.dc, gPv.PreviewSelection);
    return 0;
}

// The mouse position, kept over the image shown.
POINT ClampedPoint(HWND window, LPARAM lParam) {
    POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    if (!gPv.hPreviewJexm) return p;
    POINT edge{0, 0};
    JexmGetTag(gPv.hPreviewJexm, kTagWidth, &edge.x);
    JexmGetTag(gPv.hPreviewJexm, kTagLength, &edge.y);
    WindowDc dc(window);
    if (!MapPoints(window, dc.dc, true, &edge, 1)) return p;
    p.x = std::clamp<LONG>(p.x, 0, std::max<LONG>(edge.x, 0));
    p.y = std::clamp<LONG>(p.y, 0, std::max<LONG>(edge.y, 0));
    return p;
}

// The rectangle dragged becomes the driver's frame, and the dialog shows it.
void ApplySelection(HWND window) {
    if (!gPv.hPreviewJexm || NoSelection()) return;
    DriverRatio res{0, 1};
    DrvGetRatio(kTagXResolution, &res);
    const int64_t R = res.num, k = PreviewDpi();
    if (R <= 0 || k <= 0) return;
    const RECT &s = gPv.PreviewSelection;
    POINT corners[2] = {{s.left, s.top}, {s.right, s.bottom}};
    {
        WindowDc dc(window);
        if (!MapPoints(window, dc.dc, false, corners, 2)) return;
    }
    const auto scale = [&](int64_t v) { return std::clamp<int64_t>(v * R / k, LONG_MIN, LONG_MAX); };
    DrvSetLong(kTagLeft, static_cast<LONG>(scale(corners[0].x)));
    DrvSetLong(kTagTop, static_cast<LONG>(scale(corners[0].y)));
    DrvSetLong(kTagWidth, RoundUpTo(scale(corners[1].x - corners[0].x), gArea.widthStep));
    DrvSetLong(kTagLength, static_cast<LONG>(scale(corners[1].y - corners[0].y)));
    HWND dialog = gState.hBuiltInDialog;
    if (!dialog) return;
    for (LONG tag : {LONG{kTagLeft}, LONG{kTagTop}, LONG{kTagWidth}, LONG{kTagLength}}) RefreshField(dialog, tag);
    SendDlgItemMessageA(dialog, IDC_AREA_PAGESIZE, CB_SETCURSEL, gArea.count, 0);
}

LRESULT Mouse(HWND window, UINT message, LPARAM lParam) {
    RECT &s = gPv.PreviewSelection;
    switch (message) {
    case WM_LBUTTONDOWN: {
        gPv.bDragging = TRUE;
        const POINT p = ClampedPoint(window, lParam);
        if (s.left != s.right || s.top != s.bottom) DrawOutline(window, s);
        s = RECT{p.x, p.y, p.x, p.y};
        SetCapture(window);
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (!gPv.bDragging) return 0;
        const POINT p = ClampedPoint(window, lParam);
        WindowDc dc(window);
        if (!dc.dc) return 0;
        DrawOutline(dc.dc, s);
        s.right = p.x;
        s.bottom = p.y;
        DrawOutline(dc.dc, s);
        return 0;
    }
    default: {  // WM_LBUTTONUP
        if (gPv.bDragging) {
            const POINT p = ClampedPoint(window, lParam);
            WindowDc dc(window);
            // The outline shown follows the button's last position before it is judged.
            if (dc.dc) DrawOutline(dc.dc, s);
            s.right = p.x;
            s.bottom = p.y;
            if (GetCapture() == window) ReleaseCapture();
            // A point or a bare line frames nothing: it leaves no selection rather than a frame
            // of no width or no length.
            if (s.left == s.right || s.top == s.bottom) {
                s = RECT{};
            } else {
                if (dc.dc) DrawOutline(dc.dc, s);
                s = RECT{std::min(s.left, s.right), std::min(s.top, s.bottom), std::max(s.left, s.right),
                         std::max(s.top, s.bottom)};
                ApplySelection(window);
            }
        }
        gPv.bDragging = FALSE;
        return 0;
    }
    }
}

bool RegisterPreviewClass() {
    if (gPv.bPreviewClassRegistered) return true;
    WNDCLASSA c{};
    c.lpfnWndProc = PreviewWndProc;
    c.hInstance = gState.hOwnInstance;
    c.hIcon = LoadIconA(gState.hOwnInstance, MAKEINTRESOURCEA(IDI_PREVIEW));
    c.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    c.lpszClassName = kClassName;
    gPv.bPreviewClassRegistered = RegisterClassA(&c) != 0;
    return gPv.bPreviewClassRegistered;
}

// The window shows a 100-dpi preview at a third of its pixels; a finer one is shown smaller by
// whole hundreds of dots per inch, a coarser one in proportion.
int WindowLength(LONG pixels) {
    const LONG dpi = PreviewDpi();
    if (dpi >= 100) return static_cast<int>(pixels / (dpi / 100 * 3));
    if (dpi <= 0) return static_cast<int>(pixels / 3);
    return static_cast<int>(static_cast<int64_t>(pixels) * 100 / (static_cast<int64_t>(dpi) * 3));
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
    if (gPv.hPreviewJexm) JexmFreeImage(gPv.hPreviewJexm);
    gPv.hPreviewJexm = nullptr;
}

LONG ScanPreview(HWND dialog, HJEXM *image, LONG *width, LONG *length) {
    if (image) *image = nullptr;
    const bool feeder = FeederSelected();
    LONG savedSource = 0;
    DrvGetLong(kTagPaperSource, &savedSource);
    ChoosePaperSource(feeder, FALSE);
    // Each resolution is put back as it was: the two need not be equal.
    DriverRatio savedX{0, 1}, savedY{0, 1};
    ScanFormat saved{};
    DrvGetRatio(kTagXResolution, &savedX);
    DrvGetRatio(kTagYResolution, &savedY);
    DrvGetLong(kTagBitsPerSample, &saved.bits);
    DrvGetLong(kTagSamplesPerPixel, &saved.samples);

    DriverRatio preview{};
    if (DrvGetRatio(kTagPreviewResolution, &preview) != 0) preview = PickResolution(DriverRatio{100, 1});
    else if (preview.num == 0) preview = savedX;
    gPv.PreviewResolution = preview;
    SetResolutions(preview, preview);
    LONG format = 0;
    if (DrvGetLong(kTagPreviewFormat, &format) == 0 && format != 0) {
        DrvSetLong(kTagSamplesPerPixel, format >> 8);
        DrvSetLong(kTagBitsPerSample, format & 0xFF);
    }
    LONG savedX0 = 0, savedY0 = 0, frameWidth = 0, frameLength = 0;
    if (dialog) PreviewFrame(dialog, &savedX0, &savedY0, &frameWidth, &frameLength);

    LONG scanned = 0, autoFeed = 0;
    // Scan, Default and Preview pressed meanwhile (a driver or an error box may feed the
    // dialogs) wait until the settings are the user's again.
    gPage.bScanning = TRUE;
    // Whatever stopped the scan, the next real one runs with the user's settings.
    const LONG r = ScanIntoImage(&scanned, &autoFeed);
    SetResolutions(savedX, savedY, &saved);
    // The frame keeps the size scanned; only its place is put back.
    if (dialog) {
        DrvSetLong(kTagLeft, savedX0);
        DrvSetLong(kTagTop, savedY0);
    }
    if (autoFeed != 0) DrvSetLong(kTagAutoFeed, autoFeed);
    DrvSetLong(kTagPaperSource, savedSource);
    gPage.bScanning = FALSE;
    if (r != 0) return r;
    if (dialog) {
        if (width) *width = frameWidth;
        if (length) *length = frameLength;
    } else if (gPv.hPreviewJexm) {
        if (width) JexmGetTag(gPv.hPreviewJexm, kTagWidth, width);
        if (length) JexmGetTag(gPv.hPreviewJexm, kTagLength, length);
    }
    if (image) *image = gPv.hPreviewJexm;
    return 0;
}

HWND OpenPreview(HWND dialog) {
    if (!RegisterPreviewClass()) return nullptr;
    LONG width = 0, length = 0;
    HJEXM image = nullptr;
    const LONG r = ScanPreview(dialog, &image, &width, &length);
    if (r != 0) {
        // Nothing could be scanned: the user hears why rather than seeing nothing happen.
        ChkJexErr(gDriver, r);
    } else if (!gUi.hPreviewWnd) {
        char title[256], none[256];
        TranslateString(kPreviewTitle, title, sizeof title);
        if (BarData.count < 1) {
            TranslateString(kNoBarcodes, none, sizeof none);
            const size_t used = strlen(title);
            snprintf(title + used, sizeof title - used, " : %s", none);
        }
        RECT d{};
        if (dialog) GetWindowRect(dialog, &d);
        gUi.hPreviewWnd = CreateWindowExA(0, kClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, d.right, d.top,
                                          WindowLength(width), WindowLength(length), dialog, nullptr,
                                          gState.hOwnInstance, nullptr);
    }
    if (gUi.hPreviewWnd) {
        // Repainted over the old picture; after a failed scan there is none to show.
        InvalidateRect(gUi.hPreviewWnd, nullptr, gPv.hPreviewJexm == nullptr);
        UpdateWindow(gUi.hPreviewWnd);
        OpenBarcodeDialog(dialog);
    }
    return gUi.hPreviewWnd;
}

void ClosePreview() {
    if (gUi.hPreviewWnd && IsWindow(gUi.hPreviewWnd)) DestroyWindow(gUi.hPreviewWnd);
    gUi.hPreviewWnd = nullptr;
    FreePreviewImage();
    if (gPv.bPreviewClassRegistered) UnregisterClassA(kClassName, gState.hOwnInstance);
    gPv.bPreviewClassRegistered = FALSE;
    gPv.bDragging = FALSE;
    gPv.PreviewSelection = RECT{};
}

void ClearPreviewSelection() {
    gPv.PreviewSelection = RECT{};
    if (gUi.hPreviewWnd) InvalidateRect(gUi.hPreviewWnd, nullptr, FALSE);
}

extern "C" LRESULT CALLBACK PreviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
    case WM_SIZE:
        return Paint(window, message == WM_SIZE);
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        return Mouse(window, message, lParam);
    case WM_CREATE:
        gPv.PreviewSelection = RECT{};
        return 0;
    case WM_DESTROY:
        if (gUi.hPreviewWnd == window) gUi.hPreviewWnd = nullptr;
        gPv.bDragging = FALSE;
        CloseBarcodeDialog();
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
