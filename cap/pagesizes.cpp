// Which TWAIN page sizes the driver offers: each of its page-size choices is selected in turn
// (inside a settings bracket) and its scan area measured against the table.
#include "cap/pagesizes.h"

#include <climits>
#include <cstdlib>

#include "cap/container.h"
#include "twain/driver.h"

// clang-format off
PageSizeEntry PageSizeTable[kPageSizeCount + 1] = {
    {TWSS_NONE, 0, 0, -1, -1, 0},         {TWSS_A4LETTER, 0, 0, 210, 297, 0},  {TWSS_B5LETTER, 0, 0, 182, 257, 0},
    {TWSS_USLETTER, 0, 0, 215, 279, 0},   {TWSS_USLEGAL, 0, 0, 215, 355, 0},   {TWSS_A5, 0, 0, 148, 210, 0},
    {TWSS_B4, 0, 0, 250, 354, 0},         {TWSS_B6, 0, 0, 125, 176, 0},        {TWSS_USLEDGER, 0, 0, 279, 431, 0},
    {TWSS_USEXECUTIVE, 0, 0, 184, 266, 0}, {TWSS_A3, 0, 0, 297, 420, 0},       {TWSS_B3, 0, 0, 353, 500, 0},
    {TWSS_A6, 0, 0, 105, 148, 0},         {TWSS_C4, 0, 0, 229, 324, 0},        {TWSS_C5, 0, 0, 162, 229, 0},
    {TWSS_C6, 0, 0, 114, 162, 0},         {38, 0, 0, 257, 364, 0},             {29, 0, 0, 176, 250, 0},
    {39, 0, 0, 128, 182, 0},              {-1, 0, 0, 0, 0, 0},
};
// clang-format on
BOOL bDriverPageNames = TRUE;

namespace {

bool Matches(LONG width, LONG length, const PageSizeEntry &e, bool *exact) {
    const LONG dw = labs(width - e.widthMm), dl = labs(length - e.heightMm);
    *exact = dw == 0 && dl == 0;
    return (dw < 7 || dw < (width + 25) / 50) && (dl < 7 || dl < (length + 25) / 50);
}

bool ReadResolution(DriverRatio *res) {
    return DrvGetRatio(kTagXResolution, res) == 0 && res->num > 0 && res->den > 0;
}

// The scan area in millimetres at the horizontal resolution res (read once by the caller).
bool ReadAreaMm(DriverRatio res, LONG *width, LONG *length) {
    LONG w = 0, l = 0;
    if (DrvGetLong(kTagWidth, &w) != 0 || DrvGetLong(kTagLength, &l) != 0) return false;
    *width = PixelsToMm(w, res.num, res.den);
    *length = PixelsToMm(l, res.num, res.den);
    return true;
}

// Without a driver list: the source's own named sizes that fit the driver's largest area mark
// the table entries within about 1 % of them.
void OfferOwnSizes() {
    DriverRatio res{};
    LONG maxW = 0, maxL = 0;
    const bool haveMax = DrvGetRatio(kTagXResolution, &res) == 0 && res.num > 0 && res.den > 0 &&
                         DrvChoiceLong(kTagWidth, kChoiceMax, &maxW) == 0 &&
                         DrvChoiceLong(kTagLength, kChoiceMax, &maxL) == 0;
    // Tenths of a millimetre, with the same rounding as the millimetre conversion; a maximum that
    // cannot be read sets no limit. The 1 % allowance is added in 64 bits.
    const long long maxWidth = PixelsToTenthsMm(maxW, res.num, res.den);
    const long long maxLength = PixelsToTenthsMm(maxL, res.num, res.den);
    for (const NamedPageSize &n : kNamedPageSizes) {
        if (haveMax && (n.width > maxWidth + maxWidth / 100 || n.length > maxLength + maxLength / 100)) continue;
        for (PageSizeEntry *e = PageSizeTable + 1; e->code != -1; ++e) {
            const LONG w = e->widthMm * 10, l = e->heightMm * 10;
            if (labs(w - n.width) <= n.width / 100 && labs(l - n.length) <= n.length / 100) {
                e->offered = 1;
                e->stringId = n.stringId;
            }
        }
    }
}

}  // namespace

LONG PixelsToMm(LONG pixels, LONG num, LONG den) { return (PixelsToTenthsMm(pixels, num, den) + 5) / 10; }

LONG PixelsToTenthsMm(LONG pixels, LONG num, LONG den) {
    if (num <= 0) return 0;
    long long scaled = 0;
    // pixels x 254 x den can pass 64 bits for a driver's absurd numbers: saturate those.
    if (__builtin_mul_overflow(static_cast<long long>(pixels) * 254, static_cast<long long>(den), &scaled))
        return (pixels < 0) != (den < 0) ? LONG_MIN : LONG_MAX;
    const long long tenths = (scaled + num / 2) / num;
    return tenths > LONG_MAX ? LONG_MAX : tenths < LONG_MIN ? LONG_MIN : static_cast<LONG>(tenths);
}

void RefreshPageSizes() {
    SettingsBracket bracket;
    DriverRatio res{};
    const bool haveRes = ReadResolution(&res);
    LONG count = 0;
    bDriverPageNames = DrvChoiceCount(kTagPageSize, &count) == 0;
    for (PageSizeEntry *e = PageSizeTable; e->code != -1; ++e) e->offered = 0;
    if (!bDriverPageNames) {
        OfferOwnSizes();
        return;
    }
    char *name = reinterpret_cast<char *>(gCapScratch);
    for (LONG s = 0; s < count; ++s) {
        if (DrvChoiceString(kTagPageSize, s, name, kCapScratchBytes) != 0) continue;
        DrvSetString(kTagPageSize, name);
        LONG width = 0, length = 0;
        if (!haveRes || !ReadAreaMm(res, &width, &length)) continue;
        for (PageSizeEntry *e = PageSizeTable + 1; e->code != -1; ++e) {
            bool exact = false;
            if (!Matches(width, length, *e, &exact)) continue;
            e->offered = 1;
            e->choice = static_cast<TW_UINT16>(s);
            if (exact) break;
        }
    }
}

TW_INT16 MatchPageSize() {
    LONG width = 0, length = 0;
    DriverRatio res{};
    if (!ReadResolution(&res) || !ReadAreaMm(res, &width, &length)) return -1;
    for (int i = 1; i < 20 && PageSizeTable[i].code != -1; ++i) {
        bool exact = false;
        if (PageSizeTable[i].offered && Matches(width, length, PageSizeTable[i], &exact)) return PageSizeTable[i].code;
    }
    return -1;
}
