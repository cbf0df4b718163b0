// Capabilities backed by the source's own settings: the transfer count, the three switches
// (quiet errors, indicators, extended image info), pixel flavor, units, transfer mechanism and
// the stored compression, and the answers that need no driver at all.
#include <iterator>

#include "cap/capstate.h"
#include "cap/captable.h"
#include "cap/container.h"
#include "twain/driver.h"
#include "twain/state.h"
#include "util/values.h"

namespace {

// Each switch: where it is kept, its default, and whether MSG_SET takes only TWTY_BOOL and
// writes its answer back into the application's container.
struct OwnBool {
    TW_UINT16 code;
    BOOL *value;
    BOOL deflt;
    bool boolOnly;   // MSG_SET refuses other item types
    bool oneValueOnly;
};
constexpr OwnBool kOwnBools[] = {
    {CCAP_QUIETERRORS, &gState.bReportDriverErrors, FALSE, true, false},
    {CAP_INDICATORS, &gCaps.bIndicators, TRUE, true, false},
    {ICAP_EXTIMAGEINFO, &gCaps.bExtImageInfo, TRUE, false, true},
};

const OwnBool &FindOwnBool(TW_UINT16 code) {
    for (const OwnBool &b : kOwnBools)
        if (b.code == code) return b;
    return kOwnBools[0];  // the table rows name only these three
}

TW_UINT16 BuildBool(TW_CAPABILITY *cap, BOOL value) { return BuildOneValue(cap, TWTY_BOOL, value ? 1 : 0); }

// MSG_SET of ICAP_UNITS and ICAP_XFERMECH: an enumeration of at most five items (the current
// one is the value, all of them the allowed mask) or a one-value. A value outside `allowed`
// refuses the whole set before anything is stored.
TW_UINT16 TakeChoiceSet(TW_CAPABILITY *cap, TW_UINT32 allowed, TW_UINT16 *value, TW_UINT32 *mask) {
    if (cap->ConType == TWON_ONEVALUE) {
        TW_UINT32 v = 0;
        if (TakeContainerValue(cap, 0, &v) != TWRC_SUCCESS) return TWRC_FAILURE;
        if (v > 31 || !(allowed & (1u << v))) return CapFail(TWCC_BADVALUE);
        *value = static_cast<TW_UINT16>(v);
        *mask = 0;
        return TWRC_SUCCESS;
    }
    if (cap->ConType != TWON_ENUMERATION) return CapFail(TWCC_BADVALUE);
    TW_UINT16 type = 0, count = 0, current = 0, items[5] = {};
    if (ReadEnumeration(cap, &type, &count, &current, nullptr, items, sizeof items) != TWRC_SUCCESS) return TWRC_FAILURE;
    // An empty list or items of another size would be read as garbage.
    if (count == 0 || ItemSize(type) != 2) return CapFail(TWCC_BADVALUE);
    TW_UINT32 m = 0;
    for (TW_UINT16 i = 0; i < count; ++i) {
        if (items[i] > 31 || !(allowed & (1u << items[i]))) return CapFail(TWCC_BADVALUE);
        m |= 1u << items[i];
    }
    *value = items[current];
    *mask = m;
    return TWRC_SUCCESS;
}

constexpr TW_UINT32 kUnitsAccepted = (1u << TWUN_INCHES) | (1u << TWUN_CENTIMETERS) | (1u << TWUN_PIXELS);
constexpr TW_UINT32 kMechsAccepted = (1u << TWSX_NATIVE) | (1u << TWSX_FILE) | (1u << TWSX_MEMORY);

}  // namespace

// ---- CAP_SUPPORTEDCAPS, CAP_DEVICEONLINE

TW_UINT16 GetSupportedCaps(TW_UINT16, TW_CAPABILITY *cap) {
    TW_UINT16 codes[kCapCount];
    for (int i = 0; i < kCapCount; ++i) codes[i] = kCapTable[i].code;
    return BuildArray(cap, TWTY_UINT16, kCapCount, codes);
}

TW_UINT16 GetDeviceOnline(TW_UINT16, TW_CAPABILITY *cap) { return BuildBool(cap, DriverLoaded()); }

// ---- CAP_XFERCOUNT

TW_UINT16 GetXferCount(TW_UINT16 msg, TW_CAPABILITY *cap) {
    const TW_INT16 count = msg == MSG_GETDEFAULT ? -1 : gState.curXferCount;
    return BuildOneValue(cap, TWTY_INT16, static_cast<TW_UINT32>(static_cast<TW_INT32>(count)));
}

TW_UINT16 SetXferCount(TW_CAPABILITY *cap) {
    TW_UINT32 value = 0;
    if (TakeValue(cap, TWTY_INT16, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    gState.curXferCount = static_cast<TW_INT16>(value & 0xFFFF);
    gCaps.bXferCountSetByApp = TRUE;
    DrvSetLong(kTagSinglePage, gState.curXferCount == 1 ? 1 : 0);
    return TWRC_SUCCESS;
}

TW_UINT16 ResetXferCount(TW_CAPABILITY *cap) {
    gState.curXferCount = -1;
    gCaps.bXferCountSetByApp = TRUE;
    DrvSetLong(kTagSinglePage, 0);
    return BuildOneValue(cap, TWTY_INT16, static_cast<TW_UINT32>(-1));
}

// ---- CCAP_QUIETERRORS, CAP_INDICATORS, ICAP_EXTIMAGEINFO

TW_UINT16 GetOwnBool(TW_UINT16 msg, TW_CAPABILITY *cap) {
    const OwnBool &b = FindOwnBool(cap->Cap);
    return BuildBool(cap, msg == MSG_GETDEFAULT ? b.deflt : *b.value);
}

TW_UINT16 SetOwnBool(TW_CAPABILITY *cap) {
    const OwnBool &b = FindOwnBool(cap->Cap);
    if (b.oneValueOnly && RequireOneValue(cap) != TWRC_SUCCESS) return TWRC_FAILURE;
    TW_UINT32 value = 0;
    if (TakeValue(cap, b.boolOnly ? TWTY_BOOL : 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    *b.value = value ? TRUE : FALSE;
    // The answer goes into the application's own block (already checked to hold a one-value):
    // swapping in a new handle would leave the application's block unfreed.
    if (b.boolOnly) RewriteOneValue(cap, TWTY_BOOL, *b.value ? 1 : 0);
    return TWRC_SUCCESS;
}

TW_UINT16 ResetOwnBool(TW_CAPABILITY *cap) {
    const OwnBool &b = FindOwnBool(cap->Cap);
    // Extended image info keeps its setting; the answer is its default all the same.
    if (cap->Cap != ICAP_EXTIMAGEINFO) *b.value = b.deflt;
    return BuildBool(cap, b.deflt);
}

// ---- ICAP_PIXELFLAVOR

TW_UINT16 GetPixelFlavor(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_UINT16, TWPF_CHOCOLATE);
    if (msg == MSG_GETCURRENT) return BuildOneValue(cap, TWTY_UINT16, gCaps.PixelFlavor);
    const TW_UINT16 items[] = {TWPF_CHOCOLATE, TWPF_VANILLA};
    return BuildEnumeration(cap, TWTY_UINT16, 2, gCaps.PixelFlavor == TWPF_VANILLA ? 1 : 0, 0, items);
}

TW_UINT16 SetPixelFlavor(TW_CAPABILITY *cap) {
    TW_UINT32 value = 0;
    if (TakeValue(cap, TWTY_UINT16, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (value != TWPF_CHOCOLATE && value != TWPF_VANILLA) return CapFail(TWCC_BADVALUE);
    gCaps.PixelFlavor = static_cast<TW_UINT16>(value);
    return TWRC_SUCCESS;
}

TW_UINT16 ResetPixelFlavor(TW_CAPABILITY *cap) {
    gCaps.PixelFlavor = TWPF_CHOCOLATE;
    return BuildOneValue(cap, TWTY_UINT16, TWPF_CHOCOLATE);
}

// ---- ICAP_UNITS

TW_UINT16 GetUnits(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_UINT16, TWUN_INCHES);
    if (msg == MSG_GETCURRENT) return BuildOneValue(cap, TWTY_UINT16, gState.CurrentUnits);
    // Inches are always listed, whatever the application allowed.
    TW_UINT16 items[3] = {TWUN_INCHES};
    TW_UINT32 n = 1, current = 0;
    for (TW_UINT16 u : {TWUN_CENTIMETERS, TWUN_PIXELS})
        if (gCaps.AllowedUnits & (1u << u)) items[n++] = u;
    for (TW_UINT32 i = 0; i < n; ++i)
        if (items[i] == gState.CurrentUnits) current = i;
    return BuildEnumeration(cap, TWTY_UINT16, n, current, 0, items);
}

TW_UINT16 SetUnits(TW_CAPABILITY *cap) {
    TW_UINT16 value = 0;
    TW_UINT32 mask = 0;
    if (TakeChoiceSet(cap, kUnitsAccepted, &value, &mask) != TWRC_SUCCESS) return TWRC_FAILURE;
    gState.CurrentUnits = value;
    if (mask) gCaps.AllowedUnits = mask;
    return TWRC_SUCCESS;
}

TW_UINT16 ResetUnits(TW_CAPABILITY *cap) {
    gState.CurrentUnits = TWUN_INCHES;
    gCaps.AllowedUnits = 0x23;
    return BuildOneValue(cap, TWTY_UINT16, TWUN_INCHES);
}

// ---- ICAP_XFERMECH

TW_UINT16 GetXferMech(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_UINT16, TWSX_NATIVE);
    if (gCaps.XferMech > TWSX_MEMORY) return CapFail(TWCC_BADVALUE);
    if (msg == MSG_GETCURRENT) return BuildOneValue(cap, TWTY_UINT16, gCaps.XferMech);
    // The current mechanism first, then native, then the others the application allowed.
    TW_UINT16 items[3] = {gCaps.XferMech};
    TW_UINT32 n = 1;
    for (TW_UINT16 m : {TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY}) {
        if (m == gCaps.XferMech) continue;
        if (m == TWSX_NATIVE || (gCaps.AllowedMechs & (1u << m))) items[n++] = m;
    }
    return BuildEnumeration(cap, TWTY_UINT16, n, 0, gCaps.XferMech == TWSX_NATIVE ? 0 : 1, items);
}

TW_UINT16 SetXferMech(TW_CAPABILITY *cap) {
    TW_UINT16 value = 0;
    TW_UINT32 mask = 0;
    if (TakeChoiceSet(cap, kMechsAccepted, &value, &mask) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (mask) gCaps.AllowedMechs = mask;
    gCaps.XferMech = value;
    return TWRC_SUCCESS;
}

TW_UINT16 ResetXferMech(TW_CAPABILITY *cap) {
    gCaps.XferMech = TWSX_NATIVE;
    gCaps.AllowedMechs = 7;
    return BuildOneValue(cap, TWTY_UINT16, TWSX_NATIVE);
}

// ---- ICAP_COMPRESSION: the driver's tag 259 and the value the application set

namespace {

// The compression the driver allows for tag 259, from its choices.
bool CompressionAllowed(LONG value) {
    LONG kind = 0;
    if (DrvValueKind(kTagCompression, &kind) != 0 || kind == 2 || kind == 5) return false;
    LONG flags = 0;
    if (DrvChoiceFlags(kTagCompression, &flags) != 0) return false;
    if (flags & kChoiceRange) {
        LONG mn = 0, mx = 0, st = 0;
        if (DrvChoiceLong(kTagCompression, kChoiceMin, &mn) != 0 || DrvChoiceLong(kTagCompression, kChoiceMax, &mx) != 0 ||
            DrvChoiceLong(kTagCompression, kChoiceStep, &st) != 0)
            return false;
        if (st == 0) return value == mn;
        return mn <= value && value <= mx && (static_cast<long long>(value) - mn) % st == 0;
    }
    if (flags & kChoiceList) return DrvChoicesInclude(kTagCompression, value);
    return false;
}

TW_UINT16 DriverDefaultCompression(TW_CAPABILITY *cap) {
    LONG d = 0;
    if (DrvDefaultLong(kTagCompression, &d) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
    return BuildOneValue(cap, TWTY_UINT16, DriverToCompression(d));
}

}  // namespace

TW_UINT16 GetCompression(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return DriverDefaultCompression(cap);
    if (msg == MSG_GETCURRENT) return BuildOneValue(cap, TWTY_UINT16, gCaps.Compression);
    LONG count = 0;
    if (DrvChoiceCount(kTagCompression, &count) != 0) {
        LONG current = 1;  // no compression when the tag cannot be read either
        if (DrvGetLong(kTagCompression, &current) != 0) current = 1;
        return BuildOneValue(cap, TWTY_UINT16, DriverToCompression(current));
    }
    LONG deflt = 0, current = 0;
    if (DrvDefaultLong(kTagCompression, &deflt) != 0 || DrvGetLong(kTagCompression, &current) != 0)
        return CapFail(TWCC_CAPUNSUPPORTED);
    if (count == 0) return CapFail(TWCC_CAPUNSUPPORTED);
    if (count > kCapScratchBytes / 2) count = kCapScratchBytes / 2;
    auto *items = reinterpret_cast<TW_UINT16 *>(gCapScratch);
    TW_UINT32 currentIndex = 0, defaultIndex = 0;
    for (LONG i = 0; i < count; ++i) {
        LONG v = 0;
        DrvChoiceLong(kTagCompression, i, &v);
        items[i] = DriverToCompression(v);
        if (v == current) currentIndex = i;
        if (v == deflt) defaultIndex = i;
    }
    return BuildEnumeration(cap, TWTY_UINT16, count, currentIndex, defaultIndex, items);
}

TW_UINT16 SetCompression(TW_CAPABILITY *cap) {
    TW_UINT32 value = 0;
    if (TakeValue(cap, TWTY_UINT16, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    const LONG driverValue = CompressionToDriver(static_cast<TW_UINT16>(value));
    if (!CompressionAllowed(driverValue)) return CapFail(TWCC_BADVALUE);
    if (DrvSetLong(kTagCompression, driverValue) != 0) return CapFail(TWCC_BADVALUE);
    gCaps.Compression = static_cast<TW_UINT16>(value);
    return TWRC_SUCCESS;
}

// Nothing changes: the answer is the driver's default.
TW_UINT16 ResetCompression(TW_CAPABILITY *cap) { return DriverDefaultCompression(cap); }
