// Brightness and contrast on the tone scale, automatic brightness, halftone names and bit-depth
// reduction. The driver's raw choices of tags 1280 to 1282 are read at every call and translated
// here; the only value kept is the automatic-brightness flag in gCaps, which the settings dialog
// shares.
#include "cap/tone.h"

#include <climits>
#include <cstring>

#include "cap/capstate.h"
#include "cap/captable.h"
#include "cap/container.h"
#include "cap/drivertags.h"

namespace {

constexpr LONG kAutoBrightness = -3;  // brightness value, and range minimum when automatic is offered
constexpr LONG kNormalTone = -1;      // the driver's normal value of 1281 and 1282
constexpr LONG kMaxHalftones = 99;    // more names are not offered as a list
constexpr int kNameBytes = 256;       // a choice name: the driver's message carries no length
constexpr int kStr32Bytes = 34;
constexpr long long kScaleEnd = 1000000;  // +1000.000 in thousandths

LONG ToneTag(TW_UINT16 code) { return code == ICAP_CONTRAST ? kTagContrast : kTagBrightness; }

LONG ClampLong(long long v) { return v > LONG_MAX ? LONG_MAX : v < LONG_MIN ? LONG_MIN : static_cast<LONG>(v); }

// (v - d) x 1000 / span with three decimals. A span of 0 puts the entry at 0; a driver whose
// choices lie outside its own minimum and maximum cannot push an entry off the scale.
TW_FIX32 ScaleValue(long long offset, long long span) {
    long long n = span == 0 ? 0 : offset * kScaleEnd / span;
    if (n > kScaleEnd) n = kScaleEnd;
    if (n < -kScaleEnd) n = -kScaleEnd;
    TW_FIX32 f{};
    RatioToFix32(DriverRatio{static_cast<LONG>(n), 1000}, &f);
    return f;
}

void AddEntry(ToneScale *scale, long long driverValue, TW_FIX32 value) {
    scale->entries[scale->count++] = ToneEntry{value, ClampLong(driverValue)};
}

// The middle of the tag's choices, for a neutral point the driver leaves at 0 or below.
void MiddleChoice(LONG tag, LONG deflt, LONG *value) {
    LONG count = 0, flags = 0;
    if (DrvChoiceCount(tag, &count) != 0 || count < 2 || DrvChoiceFlags(tag, &flags) != 0) return;
    if (flags & kChoiceRange) {
        LONG rawMin = 0, step = 0;
        DrvChoiceLong(tag, kChoiceMin, &rawMin);
        DrvChoiceLong(tag, kChoiceStep, &step);
        if (tag == kTagBrightness) {
            // The range may start at the automatic value; the scale starts at 1.
            const long long mn = rawMin < 1 ? 1 : rawMin;
            *value = ClampLong(mn + (static_cast<long long>(count) + rawMin - mn) * step / 2);
        } else if (deflt == 0) {
            *value = ClampLong(static_cast<long long>(count) * step / 2 + rawMin);
        }
        return;
    }
    if (flags & kChoiceList) DrvChoiceLong(tag, count / 2, value);
}

bool HalftoneCount(LONG *count) {
    return DrvChoiceCount(kTagHalftone, count) == 0 && *count >= 1 && *count <= kMaxHalftones;
}

bool StartsWith(const char *text, const char *prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

// Diffusion by either of the names drivers give it.
bool IsDiffusion(const char *name) { return StartsWith(name, "Error Diff") || StartsWith(name, "Diffus"); }

TW_UINT16 SelectHalftone(const char *name) {
    return DrvSetString(kTagHalftone, name) == 0 ? TWRC_SUCCESS : CapFail(TWCC_BADVALUE);
}

// Automatic brightness is offered when the brightness range starts at the automatic value.
bool AutoBrightOffered() {
    LONG mn = 0;
    return DrvChoiceLong(kTagBrightness, kChoiceMin, &mn) == 0 && mn == kAutoBrightness;
}

// One work-around application family must not see automatic brightness at all.
bool IsTeleform() { return AppProductFamilyStarts("Teleform", 7); }

}  // namespace

// ---- Choice-list operations

TW_UINT16 ToneDefault(LONG tag, LONG *value) {
    LONG d = 0;
    if (tag == kTagBrightness) {
        // A default such as "normal" becomes a real value only when the driver applies it.
        SettingsBracket bracket;
        LONG deflt = 0;
        if (DrvDefaultLong(tag, &deflt) == 0) DrvSetLong(tag, deflt);
        if (DrvGetLong(tag, &d) != 0) d = 0;
    } else if (DrvDefaultLong(tag, &d) != 0) {
        return TWCC_BADVALUE;
    }
    if (d <= 0) MiddleChoice(tag, d, &d);
    *value = d;
    return TWCC_SUCCESS;
}

void BuildToneScale(LONG tag, ToneScale *scale) {
    *scale = ToneScale{};
    LONG flags = 0;
    // A tag without choices has no scale (rather than a single made-up neutral entry).
    if (DrvChoiceFlags(tag, &flags) != 0) return;
    LONG count = 0, current = 0, mx = 0, mn = 0, d = 0;
    DrvChoiceCount(tag, &count);
    DrvGetLong(tag, &current);
    DrvChoiceLong(tag, kChoiceMax, &mx);
    DrvChoiceLong(tag, kChoiceMin, &mn);
    if (mn < 1) mn = 1;  // the automatic and normal values are not on the scale
    if (ToneDefault(tag, &d) != TWCC_SUCCESS) return;
    if (mx <= 0) {
        AddEntry(scale, d, TW_FIX32{0, 0});
        return;
    }
    const long long below = static_cast<long long>(d) - mn, above = static_cast<long long>(mx) - d;
    LONG step = 1;
    if (flags & kChoiceRange) {
        DrvChoiceLong(tag, kChoiceStep, &step);
        if (step < 1) step = 1;  // a step of 0 would never leave the minimum
        long long v = mn;
        for (; v < d && scale->count < kToneScaleMax; v += step) AddEntry(scale, v, ScaleValue(v - d, below));
        if (scale->count < kToneScaleMax) {
            scale->deflt = scale->count;
            AddEntry(scale, v, TW_FIX32{0, 0});
            v += step;
        }
        for (; v <= mx && scale->count < kToneScaleMax; v += step) AddEntry(scale, v, ScaleValue(v - d, above));
    } else if (flags & kChoiceList) {
        bool neutral = false;
        for (LONG i = 0; i < count && scale->count < kToneScaleMax; ++i) {
            LONG v = 0;
            if (DrvChoiceLong(tag, i, &v) != 0 || v <= 0) continue;
            if (v == d && !neutral) scale->deflt = scale->count, neutral = true;
            AddEntry(scale, v, v == d ? TW_FIX32{0, 0} : ScaleValue(static_cast<long long>(v) - d, v < d ? below : above));
        }
    }
    if (scale->count == 0) return;
    for (int i = 0; i < scale->count; ++i)
        if (scale->entries[i].driverValue == current) {
            scale->current = i;
            return;
        }
    // Off the scale (automatic, or a value between the steps): an index near the middle.
    long long guess = (flags & kChoiceRange) ? d / step : count / 2;
    if (guess > scale->count - 1) guess = scale->count - 1;
    scale->current = guess < 0 ? 0 : static_cast<int>(guess);
}

TW_UINT16 HalftoneReduction() {
    char name[100];
    if (!ReadTagString(kTagHalftone, false, name, sizeof name)) return TWBR_THRESHOLD;
    if (strcmp(name, "None") == 0 || strcmp(name, "User Download") == 0) return TWBR_THRESHOLD;
    return IsDiffusion(name) ? TWBR_DIFFUSION : TWBR_HALFTONE;
}

bool FindHalftone(const char *prefix, char *name, int size) {
    LONG count = 0;
    if (!HalftoneCount(&count) || size <= 0) return false;
    char choice[kNameBytes];
    for (LONG i = 0; i < count; ++i) {
        if (DrvChoiceString(kTagHalftone, i, choice, sizeof choice) != 0 || !StartsWith(choice, prefix)) continue;
        const size_t n = strnlen(choice, static_cast<size_t>(size) - 1);
        memcpy(name, choice, n);
        name[n] = 0;
        return true;
    }
    return false;
}

TW_UINT16 SetBitDepthReduction(TW_UINT16 value) {
    char name[kNameBytes];
    switch (value) {
    case TWBR_THRESHOLD:
        return SelectHalftone("None");
    case TWBR_HALFTONE: {
        // The first choice is the no-halftone one; the diffusions and the downloaded pattern are
        // not halftones an application can ask for by this code.
        LONG count = 0;
        if (!HalftoneCount(&count)) return CapFail(TWCC_BADVALUE);
        for (LONG i = 1; i < count; ++i) {
            if (DrvChoiceString(kTagHalftone, i, name, sizeof name) != 0) continue;
            if (strcmp(name, "User Download") != 0 && !IsDiffusion(name)) return SelectHalftone(name);
        }
        return CapFail(TWCC_BADVALUE);
    }
    case TWBR_CUSTHALFTONE:
        return CapFail(TWCC_BADVALUE);
    case TWBR_DIFFUSION:
        if (FindHalftone("Error Diff", name, sizeof name) || FindHalftone("Diff", name, sizeof name))
            return SelectHalftone(name);
        return CapFail(TWCC_BADVALUE);
    default:
        return TWRC_SUCCESS;  // codes of later TWAIN versions are taken without effect
    }
}

// ---- ICAP_BRIGHTNESS, ICAP_CONTRAST

TW_UINT16 GetTone(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_FIX32, Fix32ToWord(TW_FIX32{0, 0}));
    ToneScale scale;
    BuildToneScale(ToneTag(cap->Cap), &scale);
    if (scale.count == 0) return CapFail(TWCC_CAPUNSUPPORTED);
    if (msg == MSG_GETCURRENT) return BuildOneValue(cap, TWTY_FIX32, Fix32ToWord(scale.entries[scale.current].value));
    TW_UINT32 words[kToneScaleMax];
    for (int i = 0; i < scale.count; ++i) words[i] = Fix32ToWord(scale.entries[i].value);
    return BuildEnumeration(cap, TWTY_FIX32, scale.count, scale.current, scale.deflt, words);
}

// The request is matched by its whole part: the entry of that whole number, else the next one
// up. A value above the scale is taken without effect.
TW_UINT16 SetTone(TW_CAPABILITY *cap) {
    if (RequireOneValue(cap) != TWRC_SUCCESS) return TWRC_FAILURE;
    TW_UINT32 value = 0;
    if (TakeContainerValue(cap, TWTY_FIX32, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    const LONG tag = ToneTag(cap->Cap);
    ToneScale scale;
    BuildToneScale(tag, &scale);
    if (scale.count == 0) return CapFail(TWCC_CAPUNSUPPORTED);
    const TW_INT16 want = WordToFix32(value).Whole;
    const ToneEntry *pick = nullptr;
    for (int i = 0; i < scale.count && !pick; ++i)
        if (scale.entries[i].value.Whole == want) pick = &scale.entries[i];
    for (int i = 0; i < scale.count && !pick; ++i)
        if (scale.entries[i].value.Whole > want) pick = &scale.entries[i];
    if (!pick) return TWRC_SUCCESS;
    return DrvSetLong(tag, pick->driverValue) == 0 ? TWRC_SUCCESS : CapFail(TWCC_BADVALUE);
}

TW_UINT16 ResetTone(TW_CAPABILITY *cap) {
    const LONG tag = ToneTag(cap->Cap);
    LONG d = 0;
    if (ToneDefault(tag, &d) != TWCC_SUCCESS || DrvSetLong(tag, d) != 0) {
        if (DriverCall(kMsgResetTag, tag, 0) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
    }
    return BuildOneValue(cap, TWTY_FIX32, Fix32ToWord(TW_FIX32{0, 0}));
}

// ---- ICAP_AUTOBRIGHT

TW_UINT16 GetAutoBright(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (IsTeleform() || !AutoBrightOffered()) return CapFail(TWCC_CAPUNSUPPORTED);
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_BOOL, FALSE);
    LONG current = 0;
    const bool automatic = DrvGetLong(kTagBrightness, &current) == 0 && current == kAutoBrightness;
    return BuildOneValue(cap, TWTY_BOOL, automatic ? TRUE : FALSE);
}

// Only 1 turns automatic brightness on; any other value, 2 included, turns it off.
TW_UINT16 SetAutoBright(TW_CAPABILITY *cap) {
    TW_UINT32 value = 0;
    if (TakeValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (!AutoBrightOffered()) return CapFail(TWCC_CAPUNSUPPORTED);
    const bool on = value == 1;
    if (DrvSetLong(kTagBrightness, on ? kAutoBrightness : kNormalTone) != 0) return CapFail(TWCC_BADVALUE);
    gCaps.bAutoBright = on ? TRUE : FALSE;
    return TWRC_SUCCESS;
}

TW_UINT16 ResetAutoBright(TW_CAPABILITY *cap) {
    if (IsTeleform() || !AutoBrightOffered()) return CapFail(TWCC_CAPUNSUPPORTED);
    if (DrvSetLong(kTagBrightness, kNormalTone) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
    gCaps.bAutoBright = FALSE;
    return BuildOneValue(cap, TWTY_BOOL, FALSE);
}

// ---- ICAP_HALFTONES

TW_UINT16 GetHalftones(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg != MSG_GET)
        return GetTagValue(kTagHalftone, TagKind::kString, msg == MSG_GETDEFAULT, RatioUnits::kAsIs, cap);
    char current[80], deflt[80];
    const bool haveCurrent = ReadTagString(kTagHalftone, false, current, sizeof current);
    const bool haveDefault = ReadTagString(kTagHalftone, true, deflt, sizeof deflt);
    return BuildNameEnumeration(kTagHalftone, haveCurrent ? current : nullptr, haveDefault ? deflt : nullptr, cap);
}

// The application's 34 bytes need not end in a zero: the name goes to the driver terminated
// after at most 33 characters. A name the driver does not offer is refused.
TW_UINT16 SetHalftones(TW_CAPABILITY *cap) {
    if (RequireOneValue(cap) != TWRC_SUCCESS) return TWRC_FAILURE;
    char name[kStr32Bytes];
    if (GetContainerStr32(cap, nullptr, name) != TWRC_SUCCESS) return TWRC_FAILURE;
    return SelectHalftone(name);
}

TW_UINT16 ResetHalftones(TW_CAPABILITY *cap) {
    DriverCall(kMsgResetTag, kTagHalftone, 0);
    return GetTagValue(kTagHalftone, TagKind::kString, false, RatioUnits::kAsIs, cap);
}

// ---- ICAP_BITDEPTHREDUCTION

TW_UINT16 GetBitDepthReduction(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_UINT16, TWBR_THRESHOLD);
    const TW_UINT16 current = HalftoneReduction();
    if (msg == MSG_GETCURRENT) return BuildOneValue(cap, TWTY_UINT16, current);
    TW_UINT16 items[3] = {TWBR_THRESHOLD};
    TW_UINT32 n = 1;
    char name[kNameBytes];
    if (FindHalftone("Error Diff", name, sizeof name) || FindHalftone("Diffus", name, sizeof name))
        items[n++] = TWBR_DIFFUSION;
    LONG count = 0;
    if (DrvChoiceCount(kTagHalftone, &count) == 0 && count > static_cast<LONG>(n)) items[n++] = TWBR_HALFTONE;
    TW_UINT32 currentIndex = 0;
    for (TW_UINT32 i = 0; i < n; ++i)
        if (items[i] == current) currentIndex = i;
    return BuildEnumeration(cap, TWTY_UINT16, n, currentIndex, 0, items);
}

TW_UINT16 SetBitDepthReductionCap(TW_CAPABILITY *cap) {
    if (RequireOneValue(cap) != TWRC_SUCCESS) return TWRC_FAILURE;
    TW_UINT32 value = 0;
    if (TakeContainerValue(cap, TWTY_UINT16, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    return SetBitDepthReduction(static_cast<TW_UINT16>(value));
}

TW_UINT16 ResetBitDepthReduction(TW_CAPABILITY *cap) {
    DriverCall(kMsgResetTag, kTagHalftone, 0);
    return BuildOneValue(cap, TWTY_UINT16, TWBR_THRESHOLD);
}
