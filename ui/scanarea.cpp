// Lengths of the scan-area edits. All integer arithmetic, in 64 bits, so no typed number and no
// resolution overflows or divides by zero.
#include "ui/scanarea.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "cap/pagesizes.h"
#include "twain/driver.h"
#include "twain/jexerr.h"
#include "twain/state.h"
#include "ui/preview.h"
#include "ui/resource.h"

namespace {

constexpr int64_t kMaxDigits = INT64_MAX / 10 - 9;

bool Known(unsigned short units) {
    return units == kUnitsInches || units == kUnitsMillimetres || units == kUnitsPixels;
}

}  // namespace

bool ConvertLength(int64_t value, unsigned short to, unsigned short from, DriverRatio res, int64_t *converted) {
    if (!Known(to) || !Known(from)) return false;
    if (to == from) {
        *converted = value;
        return true;
    }
    if ((to == kUnitsPixels || from == kUnitsPixels) && (res.num <= 0 || res.den <= 0)) return false;
    int64_t milliInches = value;
    if (from == kUnitsMillimetres) milliInches = value * 10 / 254;
    else if (from == kUnitsPixels) milliInches = value * 1000 * res.den / res.num;
    if (to == kUnitsMillimetres) *converted = milliInches * 254 / 10;
    else if (to == kUnitsPixels) *converted = milliInches * res.num / res.den / 1000;
    else *converted = milliInches;
    return true;
}

void FormatLength(int64_t value, unsigned short units, char *text, int size) {
    if (!text || size <= 0) return;
    if (units == kUnitsPixels) {
        snprintf(text, size, "%lld", static_cast<long long>(value));
        return;
    }
    int64_t r = value % 1000;
    if (r < 0) r = -r;
    int places = 3;
    while (r != 0 && r % 10 == 0) r /= 10, --places;
    const char *format = r == 0 || places == 1 ? "%lld.%1lld" : places == 2 ? "%lld.%02lld" : "%lld.%03lld";
    snprintf(text, size, format, static_cast<long long>(value / 1000), static_cast<long long>(r));
}

void ParseNumber(const char *text, int64_t *digits, int64_t *divisor) {
    *digits = 0;
    *divisor = 1;
    bool afterPoint = false;
    for (; text && (*text == '.' || (*text >= '0' && *text <= '9')); ++text) {
        if (*text == '.') {
            afterPoint = true;
            *divisor = 1;
            continue;
        }
        if (*digits > kMaxDigits || (afterPoint && *divisor > kMaxDigits)) continue;
        *digits = *digits * 10 + (*text - '0');
        if (afterPoint) *divisor *= 10;
    }
}

// ---- The page-size list, the units and the frame edits of the settings dialog.

ScanAreaState gArea;

namespace {

constexpr int kManualString = 42, kMaximumString = 45;
// Far beyond any scan area, and small enough that no conversion of it overflows.
constexpr int64_t kMaxTyped = 1'000'000'000;

// A typed number (its digits over a power of ten) in thousandths of its unit, without the
// digits ever being multiplied past 64 bits.
int64_t Thousandths(int64_t digits, int64_t divisor) {
    if (divisor <= 0) divisor = 1;
    const int64_t whole = digits / divisor, rest = digits % divisor;
    if (whole >= kMaxTyped) return kMaxTyped * 1000;
    return whole * 1000 + (divisor >= 1000 ? rest / (divisor / 1000) : rest * 1000 / divisor);
}

struct FieldOf {
    int id;
    LONG tag;
    LONG resolutionTag;
};
constexpr FieldOf kFields[] = {
    {IDC_AREA_X, kTagLeft, kTagXResolution},
    {IDC_AREA_Y, kTagTop, kTagYResolution},
    {IDC_AREA_HEIGHT, kTagLength, kTagYResolution},
    {IDC_AREA_WIDTH, kTagWidth, kTagXResolution},
};

const FieldOf *FieldById(int id) {
    for (const FieldOf &f : kFields)
        if (f.id == id) return &f;
    return nullptr;
}
const FieldOf *FieldByTag(LONG tag) {
    for (const FieldOf &f : kFields)
        if (f.tag == tag) return &f;
    return nullptr;
}

void AddTranslated(HWND list, LONG stringId) {
    char shown[256];
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TranslateString(stringId, shown, sizeof shown)));
}

bool IsRange(LONG tag) {
    LONG flags = 0;
    return DrvChoiceFlags(tag, &flags) == 0 && (flags & kChoiceRange);
}

LONG Step(LONG tag) {
    LONG step = 1;
    if (!IsRange(tag) || DrvChoiceLong(tag, kChoiceStep, &step) != 0 || step <= 0) return 1;
    return step;
}

LONG RoundUp(LONG value, LONG step) {
    if (step <= 1) return value;
    const int64_t v = (static_cast<int64_t>(value) + step - 1) / step * step;
    return v > LONG_MAX ? LONG_MAX : static_cast<LONG>(v);
}

// The standard sizes that fit the scan area, then the whole area itself.
void StandardTable(DriverRatio res) {
    LONG maxW = 0, maxL = 0;
    // The area's size whatever the shape of the width choices: a list has its largest too.
    DrvChoiceLong(kTagWidth, kChoiceMax, &maxW);
    DrvChoiceLong(kTagLength, kChoiceMax, &maxL);
    const int64_t dpi = res.den > 0 && res.num / res.den > 0 ? res.num / res.den : 1;
    gArea.maxWidth = static_cast<LONG>(static_cast<int64_t>(maxW) * 254 / dpi);
    gArea.maxLength = static_cast<LONG>(static_cast<int64_t>(maxL) * 254 / dpi);
    int n = 0;
    for (const NamedPageSize &s : kNamedPageSizes)
        if (s.width <= gArea.maxWidth && s.length <= gArea.maxLength && n < kMaxDialogPageSizes - 2)
            gArea.sizes[n++] = DialogPageSize{s.stringId, s.width, s.length};
    gArea.sizes[n++] = DialogPageSize{kMaximumString, gArea.maxWidth, gArea.maxLength};
    gArea.sizes[n] = DialogPageSize{0, 0, 0};
    gArea.count = n;
    gArea.index = 0;
}

}  // namespace

void BuildPageSizes(HWND dialog) {
    HWND list = dialog ? GetDlgItem(dialog, IDC_AREA_PAGESIZE) : nullptr;
    if (list) SendMessageA(list, CB_RESETCONTENT, 0, 0);
    RefreshPageSizes();
    gArea.widthStep = IsRange(kTagWidth) ? Step(kTagWidth) : 32;
    DriverRatio res{0, 1};
    DrvGetRatio(kTagXResolution, &res);
    LONG count = 0;
    if (bDriverPageNames && DrvChoiceCount(kTagPageSize, &count) == 0) {
        // Room for the terminating entry.
        if (count > kMaxDialogPageSizes - 1) count = kMaxDialogPageSizes - 1;
        const LONG dpi = res.num > 0 ? res.num : 1;
        // Each size is measured by choosing it; the user's own is back before it is looked up.
        {
            SettingsBracket bracket;
            for (LONG i = 0; i < count; ++i) {
                char name[256] = {};
                DrvChoiceString(kTagPageSize, i, name, sizeof name);
                if (list) SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
                DrvSetString(kTagPageSize, name);
                LONG w = 0, l = 0;
                DrvGetLong(kTagWidth, &w);
                DrvGetLong(kTagLength, &l);
                gArea.sizes[i] = DialogPageSize{0, static_cast<LONG>(static_cast<int64_t>(w) * 254 / dpi),
                                                static_cast<LONG>(static_cast<int64_t>(l) * 254 / dpi)};
            }
        }
        gArea.sizes[count] = DialogPageSize{0, 0, 0};
        gArea.count = count;
        gArea.index = 0;
        char current[256] = {};
        if (DrvGetString(kTagPageSize, current, sizeof current) == 0 && list) {
            const LRESULT found = SendMessageA(list, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(current));
            if (found != CB_ERR) gArea.index = static_cast<LONG>(found);
            SendMessageA(list, CB_SETCURSEL, gArea.index, 0);
        }
    } else {
        StandardTable(res);
        if (list) {
            for (LONG i = 0; i < gArea.count; ++i) AddTranslated(list, gArea.sizes[i].stringId);
            AddTranslated(list, kManualString);
            SendMessageA(list, CB_SETCURSEL, 0, 0);
        }
    }
    if (dialog)
        for (LONG tag : {LONG{kTagLeft}, LONG{kTagWidth}, LONG{kTagTop}, LONG{kTagLength}}) RefreshField(dialog, tag);
}

void RefreshField(HWND dialog, LONG tag) {
    const FieldOf *f = FieldByTag(tag);
    if (!f || !dialog) return;
    DriverRatio res{0, 1};
    LONG pixels = 0;
    DrvGetRatio(f->resolutionTag, &res);
    DrvGetLong(tag, &pixels);
    int64_t value = 0;
    HWND edit = GetDlgItem(dialog, f->id);
    if (ConvertLength(pixels, gState.CurrentUnits, kUnitsPixels, res, &value)) {
        char text[32];
        FormatLength(value, gState.CurrentUnits, text, sizeof text);
        SetWindowTextA(edit, text);
    }
    SendMessageA(edit, EM_LIMITTEXT, 7, 0);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_SETMODIFY, FALSE, 0);
}

void RefreshFields(HWND dialog) {
    if (gArea.bFieldBusy || !dialog) return;
    gArea.bFieldBusy = TRUE;
    const unsigned short units = gState.CurrentUnits;
    if (gArea.shownUnits != units && (units == kUnitsInches || units == kUnitsMillimetres || units == kUnitsPixels)) {
        CheckDlgButton(dialog, IDC_AREA_INCHES, units == kUnitsInches ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_AREA_MMS, units == kUnitsMillimetres ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_AREA_PIXELS, units == kUnitsPixels ? BST_CHECKED : BST_UNCHECKED);
        gArea.shownUnits = units;
    }
    for (LONG tag : {LONG{kTagLeft}, LONG{kTagWidth}, LONG{kTagTop}, LONG{kTagLength}}) RefreshField(dialog, tag);
    gArea.bFieldBusy = FALSE;
}

int CheckField(HWND dialog, int id) {
    const FieldOf *f = FieldById(id);
    if (!f || !dialog) return 1;
    char text[51] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    DriverRatio res{0, 1};
    DrvGetRatio(f->resolutionTag, &res);
    int64_t digits = 0, divisor = 1, pixels = 0;
    ParseNumber(text, &digits, &divisor);
    if (gState.CurrentUnits == kUnitsPixels) pixels = digits;
    else if (!ConvertLength(Thousandths(digits, divisor), kUnitsPixels, gState.CurrentUnits, res, &pixels)) pixels = 0;
    if (pixels > LONG_MAX) pixels = LONG_MAX;
    LONG value = RoundUp(static_cast<LONG>(pixels), Step(f->tag));
    bool corrected = false;
    LONG lo = 0, hi = 0;
    // A limit the driver cannot tell is not applied.
    if (DrvChoiceLong(f->tag, kChoiceMin, &lo) == 0 && value < lo) value = lo, corrected = true;
    else if (DrvChoiceLong(f->tag, kChoiceMax, &hi) == 0 && value > hi) value = hi, corrected = true;
    const LONG set = DrvSetLong(f->tag, value);
    if (corrected) {
        RefreshField(dialog, f->tag);
        return 0;
    }
    HWND edit = GetDlgItem(dialog, id);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    if (set != 0) SendMessageA(edit, EM_SETMODIFY, TRUE, 0);
    return 1;
}

void CheckAllFields(HWND dialog) {
    if (gArea.bFieldBusy) return;
    gArea.bFieldBusy = TRUE;
    for (int id : {IDC_AREA_X, IDC_AREA_Y, IDC_AREA_HEIGHT, IDC_AREA_WIDTH}) CheckField(dialog, id);
    gArea.bFieldBusy = FALSE;
}

bool ScanAreaCommand(HWND dialog, int id, int code, INT_PTR *result) {
    *result = TRUE;
    if (id == IDC_AREA_PAGESIZE) {
        if (code != CBN_SELCHANGE) return true;
        const LONG selected = static_cast<LONG>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
        if (selected < 0) return true;
        gArea.index = selected;
        if (bDriverPageNames) {
            char name[256] = {};
            SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(name));
            DrvSetString(kTagPageSize, name);
        } else if (selected >= gArea.count) {
            CheckAllFields(dialog);
            return true;
        } else {
            DriverRatio res{0, 1};
            DrvGetRatio(kTagXResolution, &res);
            const DialogPageSize &e = gArea.sizes[selected];
            DrvSetLong(kTagLeft, 0);
            DrvSetLong(kTagTop, 0);
            const LONG step = gArea.widthStep > 0 ? gArea.widthStep : 1;
            DrvSetLong(kTagWidth, RoundUp(static_cast<LONG>(static_cast<int64_t>(e.width) * res.num / 254), step));
            DrvSetLong(kTagLength, static_cast<LONG>(static_cast<int64_t>(e.length) * res.num / 254));
        }
        RefreshFields(dialog);
        ClearPreviewSelection();
        return true;
    }
    if (id == IDC_AREA_INCHES || id == IDC_AREA_MMS || id == IDC_AREA_PIXELS) {
        if (code != BN_CLICKED) {
            *result = FALSE;
            return true;
        }
        gState.CurrentUnits = id == IDC_AREA_INCHES ? kUnitsInches : id == IDC_AREA_MMS ? kUnitsMillimetres : kUnitsPixels;
        RefreshFields(dialog);
        return true;
    }
    if (id >= IDC_AREA_X && id <= IDC_AREA_WIDTH) {
        if (code != EN_KILLFOCUS) return true;
        // Leaving an edit checks it and every edit after it.
        for (int next = id; next <= IDC_AREA_WIDTH; ++next) {
            const bool modified = SendDlgItemMessageA(dialog, next, EM_GETMODIFY, 0, 0) != 0;
            if (CheckField(dialog, next) == 0 && gArea.firstBadField == 0 && modified) gArea.firstBadField = next;
        }
        return true;
    }
    return false;
}
