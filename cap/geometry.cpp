// Where and how finely the scanner looks: the two resolutions, the frame, the physical and
// minimum sizes and the supported page sizes. Lengths are in the current units, computed from
// pixels at the driver's horizontal resolution; a resolution that cannot be read or is not
// positive is a failure, never a divisor.
#include <algorithm>
#include <cstring>

#include "cap/captable.h"
#include "cap/container.h"
#include "cap/drivertags.h"
#include "cap/pagesizes.h"
#include "twain/driver.h"
#include "twain/resource.h"
#include "twain/state.h"
#include "util/values.h"

namespace {

LONG ResolutionTag(TW_UINT16 code) { return code == ICAP_YRESOLUTION ? kTagYResolution : kTagXResolution; }

bool ReadResolution(LONG tag, DriverRatio *r) {
    return DrvGetRatio(tag, r) == 0 && r->num > 0 && r->den > 0;
}

TW_UINT16 BuildLength(TW_CAPABILITY *cap, LONG pixels, DriverRatio res) {
    TW_FIX32 f{};
    if (DotsToFix32(pixels, &f, gState.CurrentUnits, res.num, res.den) != 0) return CapFail(TWCC_BADVALUE);
    return BuildOneValue(cap, TWTY_FIX32, Fix32ToWord(f));
}

// The frame tags as they are now (or their defaults) as a TW_FRAME in the current units.
TW_UINT16 BuildFrame(TW_CAPABILITY *cap, bool deflt) {
    LONG v[4] = {};
    const LONG tags[4] = {kTagLeft, kTagTop, kTagWidth, kTagLength};
    for (int i = 0; i < 4; ++i) {
        const LONG rc = deflt ? DrvDefaultLong(tags[i], &v[i]) : DrvGetLong(tags[i], &v[i]);
        if (rc != 0) return CapFail(TWCC_CAPUNSUPPORTED);
    }
    // The driver's default frame is in pixels at its default resolution, whichever is current.
    DriverRatio res{};
    const bool haveRes = deflt ? DrvDefaultRatio(kTagXResolution, &res) == 0 && res.num > 0 && res.den > 0
                               : ReadResolution(kTagXResolution, &res);
    if (!haveRes) return CapFail(TWCC_CAPUNSUPPORTED);
    if (gState.CurrentUnits != TWUN_INCHES && gState.CurrentUnits != TWUN_CENTIMETERS &&
        gState.CurrentUnits != TWUN_PIXELS)
        return CapFail(TWCC_BADVALUE);
    TW_FRAME frame{};
    DotsToFrame(v[0], v[1], v[2], v[3], &frame, gState.CurrentUnits, res.num, res.den);
    return BuildOneValueFrame(cap, &frame);
}

// The name of a page-size table entry: the driver's choice, or the own list's string.
bool EntryName(const PageSizeEntry &e, char *buffer, int size) {
    if (bDriverPageNames) return DrvChoiceString(kTagPageSize, e.choice, buffer, size) == 0;
    buffer[0] = 0;
    return LoadStringA(gState.hOwnInstance, e.stringId, buffer, size) > 0;
}

// Without page names of the driver's own, a page size is the frame: the driver's default frame,
// or one at 0,0 of the size's millimetres at the horizontal resolution.
void ResetPageTags() {
    if (bDriverPageNames) {
        DriverCall(kMsgResetTag, kTagPageSize, 0);
        return;
    }
    for (LONG tag : {kTagLeft, kTagTop, kTagWidth, kTagLength}) DriverCall(kMsgResetTag, tag, 0);
}

TW_UINT16 SetFrameOfSize(const PageSizeEntry &e) {
    DriverRatio res{};
    if (!ReadResolution(kTagXResolution, &res)) return CapFail(TWCC_BADVALUE);
    auto pixels = [&](LONG mm) {
        return static_cast<LONG>(static_cast<long long>(mm) * 10 * res.num / (static_cast<long long>(res.den) * 254));
    };
    const LONG values[4] = {0, 0, pixels(e.widthMm), pixels(e.heightMm)};
    const LONG tags[4] = {kTagLeft, kTagTop, kTagWidth, kTagLength};
    for (int i = 0; i < 4; ++i)
        if (DrvSetLong(tags[i], values[i]) != 0) return CapFail(TWCC_BADVALUE);
    return TWRC_SUCCESS;
}

}  // namespace

// ---- ICAP_XRESOLUTION, ICAP_YRESOLUTION

TW_UINT16 GetResolution(TW_UINT16 msg, TW_CAPABILITY *cap) {
    const LONG tag = ResolutionTag(cap->Cap);
    if (msg == MSG_GET) return GetTagChoices(tag, TagKind::kRational, cap);
    return GetTagValue(tag, TagKind::kRational, msg == MSG_GETDEFAULT, RatioUnits::kCurrentUnits, cap);
}

// The value is dots per inch whatever the current units.
TW_UINT16 SetResolution(TW_CAPABILITY *cap) {
    return SetTagValue(ResolutionTag(cap->Cap), TagKind::kRational, cap, TWCC_BADVALUE);
}

TW_UINT16 ResetResolution(TW_CAPABILITY *cap) {
    const LONG tag = ResolutionTag(cap->Cap);
    DriverRatio r{};
    // A failed write of the default is the driver's business; the answer is the default.
    if (DrvDefaultRatio(tag, &r) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
    DrvSetRatio(tag, r);
    TW_FIX32 f{};
    if (ResolutionToFix32(r, &f) != TWRC_SUCCESS) return TWRC_FAILURE;
    return BuildOneValue(cap, TWTY_FIX32, Fix32ToWord(f));
}

// ---- ICAP_FRAMES

TW_UINT16 GetFrames(TW_UINT16 msg, TW_CAPABILITY *cap) { return BuildFrame(cap, msg == MSG_GETDEFAULT); }

TW_UINT16 SetFrames(TW_CAPABILITY *cap) {
    if (RequireOneValue(cap) != TWRC_SUCCESS) return TWRC_FAILURE;
    TW_FRAME frame{};
    if (GetContainerFrame(cap, nullptr, &frame) != TWRC_SUCCESS) return TWRC_FAILURE;
    DriverRatio res{};
    if (!ReadResolution(kTagXResolution, &res)) return CapFail(TWCC_BADVALUE);
    LONG want[4] = {};
    if (FrameToDots(&want[0], &want[1], &want[2], &want[3], &frame, gState.CurrentUnits, res.num, res.den) != 0)
        return CapFail(TWCC_BADVALUE);
    const LONG tags[4] = {kTagLeft, kTagTop, kTagWidth, kTagLength};
    for (int i = 0; i < 4; ++i) DrvSetLong(tags[i], want[i]);
    // The driver rounds to its own steps; more than 7 pixels off is a frame it cannot take.
    for (int i = 0; i < 4; ++i) {
        LONG got = 0;
        if (DrvGetLong(tags[i], &got) != 0) return CapFail(TWCC_BADVALUE);
        const long long diff = static_cast<long long>(got) - want[i];
        if (diff > 7 || diff < -7) return CapFail(TWCC_BADVALUE);
    }
    return TWRC_SUCCESS;
}

TW_UINT16 ResetFrames(TW_CAPABILITY *cap) {
    for (LONG tag : {kTagLeft, kTagTop, kTagWidth, kTagLength}) DriverCall(kMsgResetTag, tag, 0);
    return BuildFrame(cap, false);
}

// ---- ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT: the largest offered page size, else the driver's
// largest area.

TW_UINT16 GetPhysicalSize(TW_UINT16, TW_CAPABILITY *cap) {
    const bool width = cap->Cap == ICAP_PHYSICALWIDTH;
    DriverRatio res{};
    if (!ReadResolution(width ? kTagXResolution : kTagYResolution, &res)) return CapFail(TWCC_CAPUNSUPPORTED);
    LONG mm = 0;
    for (const PageSizeEntry *e = PageSizeTable + 1; e->code != -1; ++e)
        if (e->offered) mm = std::max(mm, width ? e->widthMm : e->heightMm);
    LONG pixels = 0;
    if (mm == 0) {
        if (DrvChoiceLong(width ? kTagWidth : kTagLength, kChoiceMax, &pixels) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
    } else {
        // mm x num / (den x 25.4), truncated, in 64 bits.
        pixels = static_cast<LONG>(static_cast<long long>(mm) * res.num * 10 / (static_cast<long long>(res.den) * 254));
    }
    return BuildLength(cap, pixels, res);
}

// ---- ICAP_MINIMUMWIDTH, ICAP_MINIMUMHEIGHT

TW_UINT16 GetMinimumSize(TW_UINT16, TW_CAPABILITY *cap) {
    const bool width = cap->Cap == ICAP_MINIMUMWIDTH;
    DriverRatio res{};
    LONG pixels = 0;
    if (!ReadResolution(width ? kTagXResolution : kTagYResolution, &res) ||
        DrvChoiceLong(width ? kTagWidth : kTagLength, kChoiceMin, &pixels) != 0)
        return CapFail(TWCC_CAPUNSUPPORTED);
    return BuildLength(cap, pixels, res);
}

// ---- ICAP_SUPPORTEDSIZES

TW_UINT16 GetSupportedSizes(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETCURRENT) {
        RefreshPageSizes();
        const TW_INT16 code = MatchPageSize();
        return code == -1 ? CapFail(TWCC_BADVALUE) : BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(code));
    }
    if (msg == MSG_GETDEFAULT) {
        TW_INT16 code = -1;
        {
            SettingsBracket bracket;
            RefreshPageSizes();
            ResetPageTags();
            code = MatchPageSize();
        }
        return code == -1 ? CapFail(TWCC_BADVALUE) : BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(code));
    }
    // Names of their own, never the scratch buffer that the refresh uses.
    char current[256] = {}, deflt[256] = {}, name[256];
    ReadTagString(kTagPageSize, false, current, sizeof current);
    ReadTagString(kTagPageSize, true, deflt, sizeof deflt);
    RefreshPageSizes();
    TW_UINT16 codes[kPageSizeCount];
    TW_UINT32 n = 0, currentIndex = 0, defaultIndex = 0;
    for (const PageSizeEntry *e = PageSizeTable + 1; e->code != -1; ++e) {
        if (!e->offered) continue;
        if (EntryName(*e, name, sizeof name)) {
            if (strcmp(name, current) == 0) currentIndex = n;
            if (strcmp(name, deflt) == 0) defaultIndex = n;
        }
        codes[n++] = static_cast<TW_UINT16>(e->code);
    }
    if (n == 0) return CapFail(TWCC_CAPUNSUPPORTED);
    if (n == 1) return BuildOneValue(cap, TWTY_UINT16, codes[0]);
    return BuildEnumeration(cap, TWTY_UINT16, n, currentIndex, defaultIndex, codes);
}

TW_UINT16 SetSupportedSizes(TW_CAPABILITY *cap) {
    if (RequireOneValue(cap) != TWRC_SUCCESS) return TWRC_FAILURE;
    TW_UINT32 value = 0;
    if (TakeContainerValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    RefreshPageSizes();
    for (const PageSizeEntry *e = PageSizeTable + 1; e->code != -1; ++e) {
        if (static_cast<TW_UINT16>(e->code) != value) continue;
        if (!e->offered) break;
        if (!bDriverPageNames) return SetFrameOfSize(*e);
        char *name = reinterpret_cast<char *>(gCapScratch);
        if (!EntryName(*e, name, kCapScratchBytes)) return CapFail(TWCC_BADVALUE);
        return DrvSetString(kTagPageSize, name) == 0 ? TWRC_SUCCESS : CapFail(TWCC_BADVALUE);
    }
    return CapFail(TWCC_BADVALUE);
}

TW_UINT16 ResetSupportedSizes(TW_CAPABILITY *cap) {
    RefreshPageSizes();
    if (!bDriverPageNames) {
        ResetPageTags();
        const TW_INT16 code = MatchPageSize();
        return code == -1 ? CapFail(TWCC_CAPUNSUPPORTED) : BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(code));
    }
    char deflt[256] = {}, name[256];
    if (!ReadTagString(kTagPageSize, true, deflt, sizeof deflt)) return CapFail(TWCC_CAPUNSUPPORTED);
    DrvSetString(kTagPageSize, deflt);
    RefreshPageSizes();
    for (const PageSizeEntry *e = PageSizeTable + 1; e->code != -1; ++e) {
        if (!e->offered || !bDriverPageNames) continue;
        if (DrvChoiceString(kTagPageSize, e->choice, name, sizeof name) == 0 && strcmp(name, deflt) == 0)
            return BuildOneValue(cap, TWTY_UINT16, static_cast<TW_UINT16>(e->code));
    }
    return CapFail(TWCC_CAPUNSUPPORTED);
}
