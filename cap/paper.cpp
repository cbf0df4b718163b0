// Paper handling: feeder and duplex against the driver's paper-source choices (tag 1300, in the
// current and the other single-page mode), automatic feeding, paper detection, the paper check,
// the endorser and job control.
#include <cstring>
#include <vector>

#include "cap/capstate.h"
#include "cap/captable.h"
#include "cap/container.h"
#include "cap/paper.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/jexerr.h"
#include "twain/source.h"
#include "twain/state.h"
#include "util/values.h"

namespace {

constexpr LONG kSourceCode[kPaperSourceCount] = {2, 3, 4};  // flatbed, feeder one side, both sides
constexpr LONG kFeaturesFeeder = 1 << 0, kFeaturesFlatbed = 1 << 1;
constexpr LONG kFeaturesPaperSensors = (1 << 16) | (1 << 17);
constexpr LONG kFeaturesStackSensor = 1 << 16;
constexpr LONG kPaperLoaded = 1 << 1;

TW_UINT16 BuildBool(TW_CAPABILITY *cap, bool value) { return BuildOneValue(cap, TWTY_BOOL, value ? 1 : 0); }

// A source not offered now: the application must change another capability first when the
// driver offers it in its other mode.
TW_UINT16 NotOfferedNow(PaperSource s) {
    return CapFail(gCaps.PaperOther[s] ? TWCC_CAPSEQERROR : TWCC_CAPUNSUPPORTED);
}

bool ReadFeatures(LONG *features) { return DrvGetLong(kTagDeviceFeatures, features) == 0; }

}  // namespace

// ---- The paper-source operations the dialogs and transfers share.

TW_UINT16 FeederPresent(bool *present) {
    LONG features = 0;
    if (!ReadFeatures(&features)) return CapFail(TWCC_CAPUNSUPPORTED);
    if (features & kFeaturesFeeder) *present = true;
    else if (features & kFeaturesFlatbed) *present = false;
    else return CapFail(TWCC_CAPUNSUPPORTED);
    return TWRC_SUCCESS;
}

bool FeederSelected() {
    LONG source = 0;
    return DrvGetLong(kTagPaperSource, &source) == 0 && source != 2;
}

bool DuplexSelected() {
    LONG source = 0;
    return DrvGetLong(kTagPaperSource, &source) == 0 && (source == 4 || source == 5);
}

TW_UINT16 SelectPaperSource(bool feeder, bool duplex) {
    RefreshPaperSources();
    const PaperSource s = duplex ? kPaperDuplex : feeder ? kPaperFeeder : kPaperFlatbed;
    if (!gCaps.PaperNow[s]) return NotOfferedNow(s);
    return DrvSetLong(kTagPaperSource, kSourceCode[s]) == 0 ? TWRC_SUCCESS : CapFail(TWCC_CAPSEQERROR);
}

// ---- CAP_FEEDERENABLED

TW_UINT16 GetFeederEnabled(TW_UINT16 msg, TW_CAPABILITY *cap) {
    // This application crashes when told that a feeder is enabled.
    if (msg == MSG_GET && _strnicmp(gState.AppIdentity.ProductName, "Microsoft Photo Editor", 22) == 0 &&
        strlen(gState.AppIdentity.ProductName) == 22) {
        SdkPrint(kLogTwain, ";Microsoft Photo Editor detected (returning FALSE so doesn't crash)");
        return BuildBool(cap, false) == TWRC_SUCCESS ? kAnsweredQuietly : TWRC_FAILURE;
    }
    bool present = false;
    if (FeederPresent(&present) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (msg == MSG_GETDEFAULT) return BuildBool(cap, present);
    return BuildBool(cap, present && FeederSelected());
}

TW_UINT16 SetFeederEnabled(TW_CAPABILITY *cap) {
    TW_UINT32 value = 0;
    if (TakeValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    bool present = false;
    if (FeederPresent(&present) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (!present) {
        if (value == 1) return CapFail(TWCC_BADVALUE);
        return SelectPaperSource(false, DuplexSelected());
    }
    LONG features = 0;
    ReadFeatures(&features);
    if (!(features & kFeaturesFlatbed) && value == 0) return CapFail(TWCC_BADVALUE);
    return SelectPaperSource(value != 0, DuplexSelected());
}

TW_UINT16 ResetFeederEnabled(TW_CAPABILITY *cap) {
    bool present = false;
    if (FeederPresent(&present) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (SelectPaperSource(present, DuplexSelected()) != TWRC_SUCCESS) return TWRC_FAILURE;
    return BuildBool(cap, present);
}

// ---- CAP_AUTOSCAN, CAP_AUTOFEED (tag 1293)

TW_UINT16 GetAutoScan(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildBool(cap, false);
    if (!FeederSelected()) return CapFail(TWCC_CAPSEQERROR);
    LONG on = 0;
    return BuildBool(cap, DrvGetLong(kTagAutoFeed, &on) == 0 && on == 1);
}

// With the flatbed selected nothing is written and the set succeeds.
TW_UINT16 SetAutoScan(TW_CAPABILITY *cap) {
    TW_UINT32 value = 0;
    if (TakeValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    LONG single = 0, features = 0;
    if (DrvGetLong(kTagSinglePage, &single) == 0 && single == 1) return CapFail(TWCC_CAPSEQERROR);
    if (!ReadFeatures(&features) || !(features & kFeaturesFeeder)) return CapFail(TWCC_CAPSEQERROR);
    if (FeederSelected()) DrvSetLong(kTagAutoFeed, value ? 1 : 0);
    return TWRC_SUCCESS;
}

TW_UINT16 ResetAutoScan(TW_CAPABILITY *cap) {
    DrvSetLong(kTagAutoFeed, 0);
    return BuildBool(cap, false);
}

// ---- CAP_DUPLEX, CAP_DUPLEXENABLED

TW_UINT16 GetDuplex(TW_UINT16, TW_CAPABILITY *cap) {
    return BuildOneValue(cap, TWTY_UINT16, gCaps.PaperOther[kPaperDuplex] ? TWDX_1PASSDUPLEX : TWDX_NONE);
}

TW_UINT16 GetDuplexEnabled(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildBool(cap, false);
    RefreshPaperSources();
    if (!gCaps.PaperNow[kPaperDuplex]) return NotOfferedNow(kPaperDuplex);
    return BuildBool(cap, DuplexSelected());
}

TW_UINT16 SetDuplexEnabled(TW_CAPABILITY *cap) {
    TW_UINT32 value = 0;
    if (TakeValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    RefreshPaperSources();
    if (!gCaps.PaperNow[kPaperDuplex]) return NotOfferedNow(kPaperDuplex);
    return SelectPaperSource(true, value != 0);
}

TW_UINT16 ResetDuplexEnabled(TW_CAPABILITY *cap) {
    if (!gCaps.PaperOther[kPaperDuplex]) return CapFail(TWCC_CAPUNSUPPORTED);
    bool present = false;
    if (FeederPresent(&present) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (SelectPaperSource(present, false) != TWRC_SUCCESS) return TWRC_FAILURE;
    return BuildBool(cap, false);
}

// ---- CAP_PAPERDETECTABLE, CAP_FEEDERLOADED

TW_UINT16 GetPaperDetectable(TW_UINT16, TW_CAPABILITY *cap) {
    LONG features = 0;
    if (!ReadFeatures(&features)) return CapFail(TWCC_CAPUNSUPPORTED);
    return BuildBool(cap, (features & kFeaturesPaperSensors) != 0);
}

TW_UINT16 GetFeederLoaded(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildBool(cap, false);
    // These imaging applications wait for paper that the scanner cannot report.
    const char *maker = gState.AppIdentity.Manufacturer;
    if (strstr(maker, "Wang") || strstr(maker, "Eastman")) return BuildBool(cap, true);
    LONG source = 0, features = 0;
    if (DrvGetLong(kTagPaperSource, &source) == 0 && source == 2) return CapFail(TWCC_CAPUNSUPPORTED);
    if (!ReadFeatures(&features) || !(features & kFeaturesStackSensor)) return CapFail(TWCC_CAPUNSUPPORTED);
    LONG status = 0;
    const LONG result = DriverCall(kMsgPaperStatus, 1, reinterpret_cast<LONG>(&status));
    if (ChkJexErr(gDriver, result) != 0 && gState.bReportDriverErrors) {
        gState.LastDriverError = result;
        return CapFail(TWCC_DRIVERERROR);
    }
    return BuildBool(cap, result == 0 && (status & kPaperLoaded));
}

// ---- CAP_ENDORSER

TW_UINT16 GetEndorserCap(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_UINT32, 0);
    LONG value = 0;
    if (GetEndorser(&value) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
    return BuildOneValue(cap, TWTY_UINT32, static_cast<TW_UINT32>(value));
}

TW_UINT16 SetEndorserCap(TW_CAPABILITY *cap) {
    TW_UINT32 value = 0;
    if (TakeValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    return SetEndorser(static_cast<LONG>(value)) == 0 ? TWRC_SUCCESS : CapFail(TWCC_BADVALUE);
}

// The text is cleared; the answer is the counter's default.
TW_UINT16 ResetEndorserCap(TW_CAPABILITY *cap) {
    if (ClearEndorserText() != 0) return CapFail(TWCC_CAPUNSUPPORTED);
    return BuildOneValue(cap, TWTY_UINT32, 0);
}

// ---- CAP_JOBCONTROL (tag 1447)

namespace {

constexpr LONG kMaxJobChoices = 64;

// The driver's choices: a list, or a range walked by its step.
TW_UINT16 JobChoices(LONG flags, std::vector<LONG> *values) {
    if (flags & kChoiceList) {
        LONG count = 0;
        if (DrvChoiceCount(kTagJobControl, &count) != 0) return CapFail(TWCC_CAPUNSUPPORTED);
        for (LONG i = 0; i < count; ++i) {
            LONG v = 0;
            if (DrvChoiceLong(kTagJobControl, i, &v) == 0) values->push_back(v);
        }
        return TWRC_SUCCESS;
    }
    LONG mn = 0, mx = 0, st = 0;
    if (DrvChoiceLong(kTagJobControl, kChoiceMin, &mn) != 0 || DrvChoiceLong(kTagJobControl, kChoiceMax, &mx) != 0 ||
        DrvChoiceLong(kTagJobControl, kChoiceStep, &st) != 0)
        return CapFail(TWCC_CAPUNSUPPORTED);
    if (st <= 0) st = 1;  // a step of 0 would never reach the maximum
    for (long long v = mn; v <= mx && static_cast<LONG>(values->size()) < kMaxJobChoices; v += st)
        values->push_back(static_cast<LONG>(v));
    return TWRC_SUCCESS;
}

}  // namespace

TW_UINT16 GetJobControl(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (msg == MSG_GETDEFAULT) return BuildOneValue(cap, TWTY_UINT16, TWJC_NONE);
    LONG current = 0;
    if (DrvGetLong(kTagJobControl, &current) != 0) current = 0;
    if (msg == MSG_GETCURRENT) return BuildOneValue(cap, TWTY_UINT16, DriverToJobControl(current));
    LONG flags = 0;
    if (DrvChoiceFlags(kTagJobControl, &flags) != 0) return BuildOneValue(cap, TWTY_UINT16, TWJC_NONE);
    // Choices that are neither a list nor a range: the current value alone.
    if (!(flags & (kChoiceList | kChoiceRange))) return BuildOneValue(cap, TWTY_UINT16, DriverToJobControl(current));
    std::vector<LONG> values;
    if (JobChoices(flags, &values) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (values.empty()) return CapFail(TWCC_CAPUNSUPPORTED);
    LONG deflt = 0;
    DrvDefaultLong(kTagJobControl, &deflt);
    std::vector<TW_UINT16> items(values.size());
    TW_UINT32 currentIndex = 0, defaultIndex = 0;
    for (size_t i = items.size(); i-- > 0;) {
        items[i] = DriverToJobControl(values[i]);
        if (values[i] == current) currentIndex = i;
        if (values[i] == deflt) defaultIndex = i;
    }
    return BuildEnumeration(cap, TWTY_UINT16, items.size(), currentIndex, defaultIndex, items.data());
}

// A driver without job control takes "none" without complaint.
TW_UINT16 SetJobControl(TW_CAPABILITY *cap) {
    TW_UINT32 value = 0;
    if (TakeValue(cap, 0, &value) != TWRC_SUCCESS) return TWRC_FAILURE;
    LONG driverValue = 0;
    if (JobControlToDriver(static_cast<TW_UINT16>(value), &driverValue) != TWRC_SUCCESS) return TWRC_FAILURE;
    LONG got = 0;
    if (DrvSetLong(kTagJobControl, driverValue) != 0 || DrvGetLong(kTagJobControl, &got) != 0)
        return value != 0 ? CapFail(TWCC_CAPUNSUPPORTED) : TWRC_SUCCESS;
    return got == driverValue ? TWRC_SUCCESS : CapFail(TWCC_BADVALUE);
}

TW_UINT16 ResetJobControl(TW_CAPABILITY *cap) {
    DrvSetLong(kTagJobControl, 0);
    return BuildOneValue(cap, TWTY_UINT16, TWJC_NONE);
}
