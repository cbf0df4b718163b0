// Capability negotiation: each setting of the command line goes to the source as a MSG_SET with a
// one-value container, and the frame as DAT_IMAGELAYOUT MSG_SET. A refusal ends the run naming
// the capability, the value and the condition code, so a person can see which setting the
// scanner cannot do; an approximation (TWRC_CHECKSTATUS) is reported with the value now current.
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/twacq.h"

namespace {

struct Setting {
    TW_UINT16 cap;
    TW_UINT16 itemType;
    TW_UINT32 item;
};

// Rounded up to the next 1/65536: the source truncates inches × dpi to whole pixels, so an edge
// such as 1.23 in at 100 dpi must not come out a hair below 123 pixels.
TW_FIX32 InchesToFix32(double inches) {
    double whole = std::floor(inches);
    double frac = std::ceil((inches - whole) * 65536.0 - 1e-6);
    if (frac >= 65536.0) {
        whole += 1;
        frac = 0;
    }
    return TW_FIX32{static_cast<TW_INT16>(whole), static_cast<TW_UINT16>(frac)};
}

TW_UINT32 Fix32Bits(TW_FIX32 f) {
    return static_cast<TW_UINT16>(f.Whole) | static_cast<TW_UINT32>(f.Frac) << 16;
}

// Names of the values twacq sets, for its messages.
struct ValueName {
    TW_UINT16 cap;
    TW_UINT32 value;
    const char *name;
};
constexpr ValueName kValueNames[] = {
    {ICAP_PIXELTYPE, TWPT_BW, "TWPT_BW"},
    {ICAP_PIXELTYPE, TWPT_GRAY, "TWPT_GRAY"},
    {ICAP_PIXELTYPE, TWPT_RGB, "TWPT_RGB"},
    {ICAP_PIXELTYPE, TWPT_PALETTE, "TWPT_PALETTE"},
    {ICAP_UNITS, TWUN_INCHES, "TWUN_INCHES"},
    {ICAP_SUPPORTEDSIZES, TWSS_USLETTER, "TWSS_USLETTER"},
    {ICAP_SUPPORTEDSIZES, TWSS_USLEGAL, "TWSS_USLEGAL"},
    {ICAP_SUPPORTEDSIZES, TWSS_A4LETTER, "TWSS_A4LETTER"},
    {ICAP_SUPPORTEDSIZES, TWSS_A5, "TWSS_A5"},
    {ICAP_XFERMECH, TWSX_NATIVE, "TWSX_NATIVE"},
    {ICAP_XFERMECH, TWSX_FILE, "TWSX_FILE"},
    {ICAP_XFERMECH, TWSX_MEMORY, "TWSX_MEMORY"},
};

std::string ValueText(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item) {
    for (const ValueName &v : kValueNames)
        if (v.cap == cap && v.value == item) return v.name;
    char text[64];
    if (itemType == TWTY_BOOL) return item ? "TRUE" : "FALSE";
    if (itemType == TWTY_FIX32) {
        const double v = static_cast<TW_INT16>(item & 0xFFFF) + (item >> 16) / 65536.0;
        snprintf(text, sizeof text, "%g", v);
    } else if (itemType == TWTY_INT16) {
        snprintf(text, sizeof text, "%d", static_cast<TW_INT16>(item & 0xFFFF));
    } else {
        snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(item));
    }
    return text;
}

// The current value as a one-value answer; false when the source answers another shape.
bool GetCurrent(Session &s, TW_IDENTITY &source, TW_UINT16 cap, TW_ONEVALUE &out) {
    TW_CAPABILITY c{cap, TWON_DONTCARE16, nullptr};
    const TW_UINT16 rc = Call(s, &source, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &c);
    bool ok = false;
    if (rc == TWRC_SUCCESS && c.hContainer && c.ConType == TWON_ONEVALUE) {
        out = *static_cast<const TW_ONEVALUE *>(GlobalLock(c.hContainer));
        GlobalUnlock(c.hContainer);
        ok = true;
    }
    if (c.hContainer) GlobalFree(c.hContainer);
    return ok;
}

// A one-value MSG_SET; returns the source's return code.
TW_UINT16 SetValue(Session &s, TW_IDENTITY &source, const Setting &set) {
    HGLOBAL h = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
    if (!h) return TWRC_FAILURE;
    auto *one = static_cast<TW_ONEVALUE *>(GlobalLock(h));
    one->ItemType = set.itemType;
    one->Item = set.item;
    GlobalUnlock(h);
    TW_CAPABILITY c{set.cap, TWON_ONEVALUE, h};
    const TW_UINT16 rc = Call(s, &source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &c);
    GlobalFree(h);
    return rc;
}

bool SetOne(Session &s, TW_IDENTITY &source, const Setting &set) {
    const std::string shown = ValueText(set.cap, set.itemType, set.item);
    const TW_UINT16 rc = SetValue(s, source, set);
    if (rc == TWRC_SUCCESS) {
        printf("set: %s = %s\n", CapabilityName(set.cap), shown.c_str());
        return true;
    }
    if (rc == TWRC_CHECKSTATUS) {
        TW_ONEVALUE now{};
        if (GetCurrent(s, source, set.cap, now))
            printf("set: %s = %s taken as %s\n", CapabilityName(set.cap), shown.c_str(),
                   ValueText(set.cap, now.ItemType, now.Item).c_str());
        else
            printf("set: %s = %s taken approximately\n", CapabilityName(set.cap), shown.c_str());
        return true;
    }
    fprintf(stderr, "twacq: the source refused %s (%#06x) = %s: rc %u, condition code %s\n", CapabilityName(set.cap),
            set.cap, shown.c_str(), rc, ConditionText(Status(s, &source)).c_str());
    return false;
}

bool SetFrame(Session &s, TW_IDENTITY &source, const double (&inches)[4]) {
    TW_IMAGELAYOUT layout{};
    layout.Frame = {InchesToFix32(inches[0]), InchesToFix32(inches[1]), InchesToFix32(inches[2]),
                    InchesToFix32(inches[3])};
    layout.DocumentNumber = layout.PageNumber = layout.FrameNumber = 1;
    const TW_UINT16 rc = Call(s, &source, DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);
    if (rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS) {
        printf("set: frame %g,%g,%g,%g in%s\n", inches[0], inches[1], inches[2], inches[3],
               rc == TWRC_CHECKSTATUS ? " (taken approximately)" : "");
        return true;
    }
    fprintf(stderr, "twacq: the source refused the frame %g,%g,%g,%g in (DAT_IMAGELAYOUT): rc %u, condition code %s\n",
            inches[0], inches[1], inches[2], inches[3], rc, ConditionText(Status(s, &source)).c_str());
    return false;
}

}  // namespace

bool CurrentValue(Session &s, TW_IDENTITY &source, TW_UINT16 cap, TW_UINT32 &value) {
    TW_ONEVALUE now{};
    if (!GetCurrent(s, source, cap, now)) return false;
    value = now.Item;
    return true;
}

int Negotiate(Session &s, TW_IDENTITY &source, const Options &opts) {
    // The paper source and the image type come first: they decide which depths, resolutions and
    // sizes the scanner offers. The frame follows the resolution and the units it is measured in.
    std::vector<Setting> before;
    if (opts.feeder >= 0) before.push_back({CAP_FEEDERENABLED, TWTY_BOOL, static_cast<TW_UINT32>(opts.feeder)});
    if (opts.duplex) before.push_back({CAP_DUPLEXENABLED, TWTY_BOOL, 1});
    if (opts.mech >= 0) before.push_back({ICAP_XFERMECH, TWTY_UINT16, static_cast<TW_UINT32>(opts.mech)});
    if (opts.pixelType >= 0) before.push_back({ICAP_PIXELTYPE, TWTY_UINT16, static_cast<TW_UINT32>(opts.pixelType)});
    if (opts.bitDepth >= 0) before.push_back({ICAP_BITDEPTH, TWTY_UINT16, static_cast<TW_UINT32>(opts.bitDepth)});
    if (opts.resolution > 0) {
        const TW_UINT32 dpi = Fix32Bits(TW_FIX32{static_cast<TW_INT16>(opts.resolution), 0});
        before.push_back({ICAP_XRESOLUTION, TWTY_FIX32, dpi});
        before.push_back({ICAP_YRESOLUTION, TWTY_FIX32, dpi});
    }
    if (opts.haveFrame) before.push_back({ICAP_UNITS, TWTY_UINT16, TWUN_INCHES});
    if (opts.pageSize >= 0) before.push_back({ICAP_SUPPORTEDSIZES, TWTY_UINT16, static_cast<TW_UINT32>(opts.pageSize)});
    for (const Setting &set : before)
        if (!SetOne(s, source, set)) return kExitRefused;
    if (opts.haveFrame && !SetFrame(s, source, opts.frame)) return kExitRefused;

    // Always set, so the number of pages is the command line's whatever the source defaults to.
    const Setting count{CAP_XFERCOUNT, TWTY_INT16, static_cast<TW_UINT16>(static_cast<TW_INT16>(opts.count))};
    if (!SetOne(s, source, count)) return kExitRefused;
    if (opts.indicators >= 0 &&
        !SetOne(s, source, {CAP_INDICATORS, TWTY_BOOL, static_cast<TW_UINT32>(opts.indicators)}))
        return kExitRefused;
    // Bar codes are read only when asked for; a source without them scans all the same.
    s.extImageInfo = SetValue(s, source, {ICAP_EXTIMAGEINFO, TWTY_BOOL, 1}) == TWRC_SUCCESS;
    return kExitOk;
}
