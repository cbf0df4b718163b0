// The built-in "Scanning Options" dialog: scan type, resolution, scan area, brightness and paper
// source, each written to the driver as it changes; Scan starts a run, Save (settings only)
// keeps the settings and closes, Cancel puts the driver's settings back and asks to close.
#include "ui/settingsdlg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "cap/capstate.h"
#include "cap/pagesizes.h"
#include "cap/paper.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/hoststrings.h"
#include "twain/jexerr.h"
#include "twain/notify.h"
#include "twain/source.h"
#include "twain/state.h"
#include "ui/about.h"
#include "ui/preview.h"
#include "ui/progress.h"
#include "ui/resource.h"
#include "ui/scanarea.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kTagAdvancedDialog = 1298, kTagTextMode = 1297;
constexpr LONG kMsgDefaults = 832, kMsgDriverCommand = 288;
constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kTextLine = 1, kGray = 2, kColour = 3, kHalftone = 43, kTitle = 48, kPalette8 = 82, kPalette4 = 83;

struct DialogState {
    BOOL bSettingsOnly;
    LONG brightMin, brightMax, brightStep;
    BOOL bAutoBrightOffered;
};
DialogState gDlg;

std::string_view Translated(UINT id, char *buffer, int size) {
    return TranslateString(id, buffer, size);
}

void Section(char *section, int size) {
    if (!LoadHostString(kHostSection, section, size)) section[0] = 0;
}

// ---- Scan types
void FillScanTypes(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_SCANTYPE);
    SettingsBracket bracket;
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    char text[256];
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Translated(kTextLine, text, sizeof text).data()));
    const TW_UINT16 type = CurrentImageType();
    LONG bits = 0;
    DrvGetLong(kTagBitsPerSample, &bits);
    DrvSetLong(kTagBitsPerSample, 1);
    DrvSetLong(kTagSamplesPerPixel, 1);
    char current[81] = {};
    DrvGetString(kTagHalftone, current, sizeof current);
    LONG count = 0, halftoneIndex = 0, gray = 0, colour = 0, palette4 = 0;
    if (DrvChoiceCount(kTagHalftone, &count) == 0 && count > 1) {
        char prefix[128];
        Translated(kHalftone, prefix, sizeof prefix);
        for (LONG i = 1; i < count; ++i) {
            char name[128] = {}, shown[128], entry[260];
            // A name that cannot be read still takes its place: list entry i stays choice i.
            if (DrvChoiceString(kTagHalftone, i, name, sizeof name) != 0) name[0] = 0;
            Translate(name, shown, sizeof shown);
            snprintf(entry, sizeof entry, "%s/%s", prefix, shown);
            const LRESULT at = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
            if (strcmp(name, current) == 0) halftoneIndex = static_cast<LONG>(at);
        }
    }
    auto add = [&](UINT id) {
        return static_cast<LONG>(SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Translated(id, text, sizeof text).data())));
    };
    if (gCaps.bGrayOffered) gray = add(kGray);
    if (gCaps.bRgbOffered) colour = add(kColour);
    if (gCaps.bPaletteOffered) {
        palette4 = add(kPalette4);
        add(kPalette8);
    }
    LONG selected = halftoneIndex;
    if (type == TWPT_GRAY) selected = gray;
    else if (type == TWPT_RGB) selected = colour;
    else if (type == TWPT_PALETTE) selected = bits == 8 ? palette4 + 1 : palette4;
    SendMessageA(list, CB_SETCURSEL, selected, 0);
}

// ---- Resolutions
void FillResolutions(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_RESOLUTION);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    DriverRatio now{0, 1};
    DrvGetRatio(kTagXResolution, &now);
    LONG flags = 0;
    DrvChoiceFlags(kTagXResolution, &flags);
    auto add = [&](int64_t num, int64_t den) {
        char text[24];
        snprintf(text, sizeof text, "%d", static_cast<int>(num / den));
        const LRESULT at = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (num * now.den == static_cast<int64_t>(now.num) * den) SendMessageA(list, CB_SETCURSEL, at, 0);
    };
    if (flags & kChoiceRange) {
        DriverRatio lo{}, hi{}, step{};
        DrvChoiceRatio(kTagXResolution, kChoiceMin, &lo);
        DrvChoiceRatio(kTagXResolution, kChoiceMax, &hi);
        DrvChoiceRatio(kTagXResolution, kChoiceStep, &step);
        if (lo.den <= 0 || hi.den <= 0 || step.den <= 0) return;
        // On one denominator; a step of nothing lists the minimum alone.
        const int64_t den = static_cast<int64_t>(lo.den) * step.den;
        const int64_t first = static_cast<int64_t>(lo.num) * step.den, inc = static_cast<int64_t>(step.num) * lo.den;
        const int64_t last = static_cast<int64_t>(hi.num) * den / hi.den;
        for (int64_t v = first; v <= last; v += inc) {
            if ((v / den) % 25 == 0) add(v, den);
            if (inc <= 0 || SendMessageA(list, CB_GETCOUNT, 0, 0) > 400) break;
        }
        return;
    }
    LONG count = 0;
    DrvChoiceCount(kTagXResolution, &count);
    for (LONG i = 0; i < count; ++i) {
        DriverRatio r{};
        if (DrvChoiceRatio(kTagXResolution, i, &r) == 0 && r.den > 0) add(r.num, r.den);
    }
}

void SetBothResolutions(DriverRatio r) {
    DrvSetRatio(kTagXResolution, r);
    DrvSetRatio(kTagYResolution, r);
}

// ---- Brightness
void RefreshBrightness(HWND dialog) {
    LONG now = 0;
    DrvChoiceLong(kTagBrightness, kChoiceMax, &gDlg.brightMax);
    DrvChoiceLong(kTagBrightness, kChoiceMin, &gDlg.brightMin);
    DrvChoiceLong(kTagBrightness, kChoiceStep, &gDlg.brightStep);
    DrvGetLong(kTagBrightness, &now);
    gDlg.bAutoBrightOffered = gDlg.brightMin == -3;
    if (gDlg.brightMin < 0) gDlg.brightMin = 1;
    HWND bar = GetDlgItem(dialog, IDC_BRIGHTNESS);
    SetScrollRange(bar, SB_CTL, gDlg.brightMin, gDlg.brightMax, FALSE);
    SetScrollPos(bar, SB_CTL, now, TRUE);
    if (!gDlg.bAutoBrightOffered) {
        EnableWindow(GetDlgItem(dialog, IDC_AUTO), FALSE);
        CheckDlgButton(dialog, IDC_MANUAL, BST_CHECKED);
        return;
    }
    EnableWindow(bar, FALSE);
    gCaps.bAutoBright = TRUE;
    EnableWindow(GetDlgItem(dialog, IDC_AUTO), TRUE);
    CheckDlgButton(dialog, IDC_AUTO, BST_CHECKED);
    CheckDlgButton(dialog, IDC_MANUAL, BST_UNCHECKED);
    if (gDlg.brightMin == gDlg.brightMax) EnableWindow(GetDlgItem(dialog, IDC_MANUAL), FALSE);
}

void ShowBrightness(HWND dialog) {
    LONG now = 0;
    DrvGetLong(kTagBrightness, &now);
    SetScrollPos(GetDlgItem(dialog, IDC_BRIGHTNESS), SB_CTL, now, TRUE);
}

void Scroll(HWND dialog, int code, int thumb) {
    LONG current = 0;
    DrvGetLong(kTagBrightness, &current);
    const LONG page = gDlg.brightMax / 10;
    switch (code) {
    case SB_LINELEFT:
        if (current - gDlg.brightStep >= gDlg.brightMin) DrvSetLong(kTagBrightness, current - gDlg.brightStep);
        break;
    case SB_LINERIGHT:
        if (current + gDlg.brightStep <= gDlg.brightMax) DrvSetLong(kTagBrightness, current + gDlg.brightStep);
        break;
    case SB_PAGELEFT:
        DrvSetLong(kTagBrightness, current - page < gDlg.brightMin ? gDlg.brightMin : current - page);
        break;
    case SB_PAGERIGHT:
        DrvSetLong(kTagBrightness, current + page > gDlg.brightMax ? gDlg.brightMax : current + page);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        DrvSetLong(kTagBrightness, static_cast<SHORT>(thumb));
        break;
    case SB_LEFT:
        DrvSetLong(kTagBrightness, 1);
        break;
    case SB_RIGHT:
        DrvSetLong(kTagBrightness, gDlg.brightMax);
        break;
    default:
        break;
    }
    ShowBrightness(dialog);
}

// ---- Paper
void RefreshFeeder(HWND dialog) {
    RefreshPaperSources();
    HWND prefeed = GetDlgItem(dialog, IDC_PREFEED);
    EnableWindow(prefeed, FALSE);
    ShowWindow(prefeed, SW_HIDE);
    EnableWindow(GetDlgItem(dialog, IDC_PREVIEW), TRUE);
    const bool feeder = gCaps.PaperNow[kPaperFeeder];
    EnableWindow(GetDlgItem(dialog, IDC_USEADF), feeder);
    CheckDlgButton(dialog, IDC_USEADF, feeder && FeederSelected() ? BST_CHECKED : BST_UNCHECKED);
    HWND duplex = GetDlgItem(dialog, IDC_DUPLEX);
    if (!gCaps.PaperNow[kPaperDuplex]) {
        ShowWindow(duplex, SW_HIDE);
        return;
    }
    ShowWindow(duplex, SW_SHOW);
    EnableWindow(duplex, TRUE);
    CheckDlgButton(dialog, IDC_DUPLEX, DuplexSelected() ? BST_CHECKED : BST_UNCHECKED);
}

void InitControls(HWND dialog) {
    FillScanTypes(dialog);
    RefreshBrightness(dialog);
    FillResolutions(dialog);
    BuildPageSizes(dialog);
    RefreshFields(dialog);
    RefreshFeeder(dialog);
    ShowWindow(GetDlgItem(dialog, IDC_INVERT), SW_HIDE);
    CheckDlgButton(dialog, IDC_INVERT, gState.bInvertColor ? BST_CHECKED : BST_UNCHECKED);
}

void ScanTypeChanged(HWND dialog) {
    DriverRatio r{0, 1};
    DrvGetRatio(kTagXResolution, &r);
    char chosen[260] = {}, t[256];
    HWND list = GetDlgItem(dialog, IDC_SCANTYPE);
    const LRESULT at = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (at < 0) return;
    SendMessageA(list, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(chosen));
    auto is = [&](UINT id) { return strcmp(chosen, Translated(id, t, sizeof t).data()) == 0; };
    auto mode = [](LONG samples, LONG bits) {
        DrvSetLong(kTagSamplesPerPixel, samples);
        DrvSetLong(kTagBitsPerSample, bits);
    };
    if (is(kTextLine)) {
        mode(1, 1);
        LONG count = 0;
        char none[128] = {};
        if (DrvChoiceCount(kTagHalftone, &count) == 0 && count > 1 && DrvChoiceString(kTagHalftone, 0, none, sizeof none) == 0)
            DrvSetString(kTagHalftone, none);
        DrvSetLong(kTagTextMode, 0);
    } else if (is(kGray)) {
        mode(1, 8);
    } else if (is(kColour)) {
        mode(3, 8);
    } else if (is(kPalette8)) {
        mode(1, 8);
        DrvSetLong(kTagPhotometric, 3);
    } else if (is(kPalette4)) {
        mode(1, 4);
        DrvSetLong(kTagPhotometric, 3);
    } else if (strstr(chosen, Translated(kHalftone, t, sizeof t).data())) {
        mode(1, 1);
        // The driver's own name of the pattern, by its place in the list: the text shown is a
        // translation.
        const LONG index = static_cast<LONG>(at);  // the halftone entries follow Text/Line in choice order
        char name[128] = {};
        if (DrvChoiceString(kTagHalftone, index, name, sizeof name) == 0) DrvSetString(kTagHalftone, name);
    }
    SetBothResolutions(r);
    RefreshBrightness(dialog);
    BuildPageSizes(dialog);
    CheckAllFields(dialog);
}

void ResolutionChanged(HWND dialog) {
    char text[24] = {};
    HWND list = GetDlgItem(dialog, IDC_RESOLUTION);
    const LRESULT at = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (at < 0) return;
    SendMessageA(list, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(text));
    const LONG v = static_cast<WORD>(atol(text));
    if (v <= 0) return;
    SetBothResolutions(DriverRatio{v, 1});
    RefreshPageSizes();
    RefreshFields(dialog);
    CheckAllFields(dialog);
}

void StoreUnits() {
    char section[256], text[16];
    Section(section, sizeof section);
    snprintf(text, sizeof text, "%d", gState.CurrentUnits);
    JexdfltPutSetting(0, section, "Current Units", text);
}

INT_PTR Scan(HWND dialog) {
    gArea.firstBadField = 0;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_AREA_X, EN_KILLFOCUS), 0);
    if (gArea.firstBadField != 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(dialog, gArea.firstBadField));
        return FALSE;
    }
    StoreUnits();
    DriverCall(kMsgKeepSettings, 0, 0);
    ClosePreview();
    if (gDlg.bSettingsOnly) {
        DestroyWindow(dialog);
        gState.hBuiltInDialog = nullptr;
        SendCloseDSOK();
        gState.bCloseRequested = TRUE;
        return TRUE;
    }
    gPage.bXferReady = FALSE;
    ShowProgress(dialog, TRUE);
    ChoosePaperSource(IsDlgButtonChecked(dialog, IDC_USEADF) == BST_CHECKED,
                      IsDlgButtonChecked(dialog, IDC_DUPLEX) == BST_CHECKED);
    const LONG r = ReadImage();
    if (r == 0) {
        gPage.bXferReady = TRUE;
        SendXferReady();
    } else {
        gState.bCancelScanning = TRUE;
        CloseProgress();
        ChkJexErr(gDriver, r);
    }
    return TRUE;
}

// Enter arrives as a click on Scan; in the frame edits it moves on instead.
bool EnterMoves(HWND dialog) {
    if (!(GetKeyState(VK_RETURN) & 0x8000)) return false;
    const int order[][2] = {{IDC_AREA_X, IDC_AREA_Y}, {IDC_AREA_Y, IDC_AREA_WIDTH}, {IDC_AREA_WIDTH, IDC_AREA_HEIGHT},
                            {IDC_AREA_HEIGHT, IDC_MANUAL}};
    HWND focus = GetFocus();
    for (const auto &o : order)
        if (focus == GetDlgItem(dialog, o[0])) {
            HWND next = GetDlgItem(dialog, o[1]);
            SetFocus(next);
            if (o[1] != IDC_MANUAL) SendMessageA(next, EM_SETSEL, 0, -1);
            return true;
        }
    return false;
}

void Defaults(HWND dialog) {
    if (GetFocus() == GetDlgItem(dialog, IDC_AUTO)) SetFocus(GetDlgItem(dialog, IDC_DEFAULT));
    SetDefaultFileXfer();
    DriverCall(kMsgDefaults, 0, 0);
    DrvSetRatio(kTagXResolution, PickResolution(DriverRatio{150, 1}));
    for (LONG tag : {LONG{kTagBitsPerSample}, LONG{kTagSamplesPerPixel}}) {
        LONG count = 0, last = 0;
        if (DrvChoiceCount(tag, &count) == 0 && count > 0 && DrvChoiceLong(tag, count - 1, &last) == 0)
            DrvSetLong(tag, last);
    }
    gState.CurrentUnits = 0;
    InitControls(dialog);
}

void Init(HWND dialog, LPARAM mode) {
    JexlocLocalizeWindow(dialog);
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        RECT o, d;
        GetWindowRect(owner, &o);
        GetWindowRect(dialog, &d);
        int x = o.left + (o.right - o.left) / 2 - (d.right - d.left) / 2;
        int y = o.top + (o.bottom - o.top) / 2 - (d.bottom - d.top) / 2;
        SetWindowPos(dialog, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    char text[256];
    SetWindowTextA(dialog, Translated(kTitle, text, sizeof text).data());
    DriverCall(kMsgSnapshot, 0, 0);
    char section[256], units[256] = {};
    Section(section, sizeof section);
    LONG stored = 0;
    if (JexdfltGetSetting(0, section, "Current Units", units, sizeof units) == 0) stored = atol(units);
    // Only the units the dialog shows; anything else stored reads as inches.
    gState.CurrentUnits = stored == 1 || stored == 5 ? static_cast<TW_UINT16>(stored) : 0;
    gArea.shownUnits = 0xFFFF;
    BringWindowToTop(dialog);
    gDlg.bSettingsOnly = mode == 1;
    Translate(gDlg.bSettingsOnly ? "Save" : "Scan", text, sizeof text);
    SetDlgItemTextA(dialog, IDC_SCAN, text);
    LONG advanced = 0;
    if (DrvGetLong(kTagAdvancedDialog, &advanced) != 0 || advanced != 1) EnableWindow(GetDlgItem(dialog, IDC_MORE), FALSE);
    InitControls(dialog);
}

INT_PTR Command(HWND dialog, int id, int code) {
    INT_PTR result = TRUE;
    // The yield call-back feeds this dialog while a page is scanned: nothing may change the
    // driver's settings or start a run inside it. Closing would take the dialog and the preview
    // image from under the scan: the scan is cancelled instead, and the dialog closes once it
    // has returned.
    if (gPage.bScanning) {
        if (id == IDC_CLOSE || id == IDCANCEL) {
            gState.bCancelScanning = TRUE;
            SetTimer(dialog, kCloseTimer, 50, nullptr);
        }
        return TRUE;
    }
    if (ScanAreaCommand(dialog, id, code, &result)) return result;
    switch (id) {
    case IDC_SCANTYPE:
        if (code == CBN_SELCHANGE) ScanTypeChanged(dialog);
        return TRUE;
    case IDC_RESOLUTION:
        if (code == CBN_SELCHANGE) ResolutionChanged(dialog);
        return TRUE;
    case IDC_MANUAL:
        if (code != BN_CLICKED) return FALSE;
        EnableWindow(GetDlgItem(dialog, IDC_BRIGHTNESS), TRUE);
        CheckDlgButton(dialog, IDC_AUTO, BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_MANUAL, BST_CHECKED);
        DrvSetLong(kTagBrightness, -1);
        ShowBrightness(dialog);
        gCaps.bAutoBright = FALSE;
        return TRUE;
    case IDC_AUTO:
        if (code != BN_CLICKED) return FALSE;
        EnableWindow(GetDlgItem(dialog, IDC_BRIGHTNESS), FALSE);
        CheckDlgButton(dialog, IDC_AUTO, BST_CHECKED);
        CheckDlgButton(dialog, IDC_MANUAL, BST_UNCHECKED);
        DrvSetLong(kTagBrightness, -3);
        gCaps.bAutoBright = TRUE;
        return TRUE;
    case IDC_USEADF:
        EnableWindow(GetDlgItem(dialog, IDC_PREVIEW), TRUE);
        ChoosePaperSource(IsDlgButtonChecked(dialog, IDC_USEADF) == BST_CHECKED, DuplexSelected());
        return TRUE;
    case IDC_DUPLEX:
        ChoosePaperSource(FeederSelected(), IsDlgButtonChecked(dialog, IDC_DUPLEX) == BST_CHECKED);
        return TRUE;
    case IDC_INVERT:
        gState.bInvertColor = IsDlgButtonChecked(dialog, IDC_INVERT) == BST_CHECKED;
        return TRUE;
    case IDC_PREFEED:
        gState.bPrefeed = IsDlgButtonChecked(dialog, IDC_PREFEED) == BST_CHECKED;
        return TRUE;
    case IDC_DEFAULT:
        Defaults(dialog);
        return TRUE;
    case IDC_SCAN:
        if (EnterMoves(dialog)) return TRUE;
        return Scan(dialog);
    case IDC_PREVIEW:
        OpenPreview(dialog);
        return TRUE;
    case IDC_ABOUT:
        ShowAbout(dialog);
        return TRUE;
    case IDC_CLOSE:
    case IDCANCEL:
        // An edit still holding the focus writes what was typed as it loses it: before the
        // settings are put back, not after.
        SetFocus(GetDlgItem(dialog, IDC_CLOSE));
        ClosePreview();
        DriverCall(kMsgRestoreSnapshot, 0, 0);
        DestroyWindow(dialog);
        gState.hBuiltInDialog = nullptr;
        SendCloseDSReq();
        gState.bCloseRequested = TRUE;
        return TRUE;
    case IDC_MORE:
        DriverCall(kMsgAdvancedDialog, reinterpret_cast<LONG>(dialog), 0);
        return TRUE;
    case 1023:
        DriverCall(kMsgDriverCommand, reinterpret_cast<LONG>(dialog), 0);
        return TRUE;
    case IDC_HELPBUTTON:
        MessageBoxA(nullptr, "Not yet implemented", "Warning", MB_OK);
        return TRUE;
    default:
        return TRUE;
    }
}

}  // namespace

extern "C" INT_PTR CALLBACK UIDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        Init(dialog, lParam);
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(dialog, &ps);
        EndPaint(dialog, &ps);
        return TRUE;
    }
    case WM_COMMAND:
        return Command(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_HSCROLL:
        if (!gPage.bScanning && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_BRIGHTNESS))
            Scroll(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_TIMER:
        if (wParam == kCloseTimer && !gPage.bScanning) {
            KillTimer(dialog, kCloseTimer);
            Command(dialog, IDC_CLOSE, BN_CLICKED);
        }
        return TRUE;
    case WM_DESTROY:
        KillTimer(dialog, kCloseTimer);
        if (gState.hBuiltInDialog == dialog) gState.hBuiltInDialog = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}
