// DG_CONTROL / DAT_CAPABILITY: routing by message, the capability name table (which is also the
// CAP_SUPPORTEDCAPS answer), MSG_QUERYSUPPORT, and the capabilities the source answers itself.
// A capability without a branch here, and not announced by the driver, is TWCC_CAPUNSUPPORTED.
#include <iterator>

#include "cap/capstate.h"
#include "cap/container.h"
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/state.h"

namespace {

struct CapEntry {
    TW_UINT16 code;
    const char *name;  // as the log shows it, leading semicolon included
};

constexpr CapEntry kCapNames[] = {
    {CCAP_QUIETERRORS, ";CCAP_QUIETERRORS"},     {CAP_AUTOFEED, ";CAP_AUTOFEED"},
    {CAP_AUTOSCAN, ";CAP_AUTOSCAN"},             {CAP_CUSTOMDSDATA, ";CAP_CUSTOMDSDATA"},
    {CAP_DEVICEONLINE, ";CAP_DEVICEONLINE"},     {CAP_DUPLEX, ";CAP_DUPLEX"},
    {CAP_DUPLEXENABLED, ";CAP_DUPLEXENABLED"},   {CAP_ENABLEDSUIONLY, ";CAP_ENABLEDSUIONLY"},
    {CAP_ENDORSER, ";CAP_ENDORSER"},             {CAP_FEEDERENABLED, ";CAP_FEEDERENABLED"},
    {CAP_FEEDERLOADED, ";CAP_FEEDERLOADED"},     {CAP_INDICATORS, ";CAP_INDICATORS"},
    {CAP_JOBCONTROL, ";CAP_JOBCONTROL"},         {CAP_PAPERDETECTABLE, ";CAP_PAPERDETECTABLE"},
    {CAP_UICONTROLLABLE, ";CAP_UICONTROLLABLE"}, {CAP_XFERCOUNT, ";CAP_XFERCOUNT"},
    {ICAP_AUTOBRIGHT, ";ICAP_AUTOBRIGHT"},       {ICAP_BITDEPTH, ";ICAP_BITDEPTH"},
    {ICAP_BITDEPTHREDUCTION, "ICAP_BITDEPTHREDUCTION"}, {ICAP_BITORDER, ";ICAP_BITORDER"},
    {ICAP_BRIGHTNESS, ";ICAP_BRIGHTNESS"},       {ICAP_COMPRESSION, ";ICAP_COMPRESSION"},
    {ICAP_CONTRAST, ";ICAP_CONTRAST"},           {ICAP_EXTIMAGEINFO, ";ICAP_EXTIMAGEINFO"},
    {ICAP_FRAMES, ";ICAP_FRAMES"},               {ICAP_HALFTONES, ";ICAP_HALFTONES"},
    {ICAP_IMAGEFILEFORMAT, ";ICAP_IMAGEFILEFORMAT"}, {ICAP_MAXFRAMES, ";ICAP_MAXFRAMES"},
    {ICAP_MINIMUMHEIGHT, ";ICAP_MINIMUMHEIGHT"}, {ICAP_MINIMUMWIDTH, ";ICAP_MINIMUMWIDTH"},
    {ICAP_PHYSICALWIDTH, ";ICAP_PHYSICALWIDTH"}, {ICAP_PHYSICALHEIGHT, ";ICAP_PHYSICALHEIGHT"},
    {ICAP_PIXELFLAVOR, ";ICAP_PIXELFLAVOR"},     {ICAP_PIXELTYPE, ";ICAP_PIXELTYPE"},
    {ICAP_PLANARCHUNKY, ";ICAP_PLANARCHUNKY"},   {ICAP_SUPPORTEDSIZES, ";ICAP_SUPPORTEDSIZES"},
    {ICAP_UNITS, ";ICAP_UNITS"},                 {ICAP_XFERMECH, ";ICAP_XFERMECH"},
    {ICAP_XRESOLUTION, ";ICAP_XRESOLUTION"},     {ICAP_YRESOLUTION, ";ICAP_YRESOLUTION"},
};
static_assert(std::size(kCapNames) == 40, "the supported-capabilities list has 40 entries");

constexpr TW_UINT32 kSupportsAll = 0x1F;
constexpr TW_UINT32 kSupportsGets = 0x0D;

constexpr TW_UINT16 kGetsOnly[] = {
    CAP_FEEDERLOADED,    CAP_SUPPORTEDCAPS,  CAP_PAPERDETECTABLE, CAP_UICONTROLLABLE,  CAP_DEVICEONLINE,
    CAP_DUPLEX,          CAP_ENABLEDSUIONLY, CAP_CUSTOMDSDATA,    ICAP_PHYSICALWIDTH,  ICAP_PHYSICALHEIGHT,
    ICAP_MAXFRAMES,      ICAP_MINIMUMHEIGHT, ICAP_MINIMUMWIDTH,
};
constexpr TW_UINT16 kNotSupported[] = {
    CAP_AUTHOR,         CAP_CAPTION,          CAP_TIMEDATE,        CAP_EXTENDEDCAPS,        CAP_CLEARPAGE,
    CAP_FEEDPAGE,       CAP_REWINDPAGE,       ICAP_CUSTHALFTONE,   ICAP_EXPOSURETIME,       ICAP_FILTER,
    ICAP_FLASHUSED,     ICAP_GAMMA,           ICAP_HIGHLIGHT,      ICAP_LAMPSTATE,          ICAP_LIGHTSOURCE,
    ICAP_ORIENTATION,   ICAP_SHADOW,          ICAP_XNATIVERESOLUTION, ICAP_YNATIVERESOLUTION, ICAP_TILES,
    ICAP_CCITTKFACTOR,  ICAP_LIGHTPATH,       ICAP_ROTATION,       ICAP_THRESHOLD,          ICAP_XSCALING,
    ICAP_YSCALING,      ICAP_BITORDERCODES,   ICAP_PIXELFLAVORCODES, ICAP_JPEGPIXELTYPE,    ICAP_TIMEFILL,
    ICAP_UNDEFINEDIMAGESIZE,
};

template <size_t N>
bool In(const TW_UINT16 (&list)[N], TW_UINT16 code) {
    for (TW_UINT16 c : list)
        if (c == code) return true;
    return false;
}

const char *MessageName(TW_UINT16 msg) {
    switch (msg) {
    case MSG_GET: return "MSG_GET";
    case MSG_GETCURRENT: return "MSG_GETCURRENT";
    case MSG_GETDEFAULT: return "MSG_GETDEFAULT";
    case MSG_SET: return "MSG_SET";
    case MSG_RESET: return "MSG_RESET";
    case MSG_QUERYSUPPORT: return "MSG_QUERYSUPPORT";
    default: return "?";
    }
}

// The read handlers' line for a capability they do not answer.
TW_UINT16 Unsupported(TW_UINT16 msg, TW_UINT16 cap) {
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY %s %s  returns TWRC_FAILURE with Condition Code==TWCC_CAPNOTSUPPORTED:",
             MessageName(msg), CapName(cap));
    gState.ConditionCode = TWCC_CAPUNSUPPORTED;
    return TWRC_FAILURE;
}

TW_UINT16 SupportedCaps(TW_CAPABILITY *cap) {
    TW_UINT16 codes[std::size(kCapNames)];
    for (size_t i = 0; i < std::size(kCapNames); ++i) codes[i] = kCapNames[i].code;
    return BuildArray(cap, TWTY_UINT16, std::size(codes), codes);
}

TW_UINT16 GetAnswer(TW_UINT16 msg, TW_CAPABILITY *cap) {
    switch (cap->Cap) {
    case CAP_SUPPORTEDCAPS:
        return SupportedCaps(cap);
    case CCAP_QUIETERRORS:
        return BuildOneValue(cap, TWTY_BOOL, msg == MSG_GETDEFAULT ? FALSE : (gState.bReportDriverErrors ? 1 : 0));
    case CAP_XFERCOUNT: {
        const TW_INT16 count = msg == MSG_GETDEFAULT ? -1 : gState.curXferCount;
        return BuildOneValue(cap, TWTY_INT16, static_cast<TW_UINT32>(static_cast<TW_INT32>(count)));
    }
    default:
        return Unsupported(msg, cap->Cap);
    }
}

// MSG_GET, MSG_GETCURRENT and MSG_GETDEFAULT.
TW_UINT16 CapabilityGet(TW_UINT16 msg, TW_CAPABILITY *cap) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CAPABILITY %s %s", MessageName(msg), CapName(cap->Cap));
    if (msg == MSG_GET) gState.ConditionCode = TWCC_SUCCESS;
    const TW_UINT16 rc = GetAnswer(msg, cap);
    if (rc != TWRC_SUCCESS) return rc;
    SdkPrint(kLogTwainApi,
             msg == MSG_GETCURRENT ? "DG_CONTROL DAT_CAPABILITY %s %s  returns:" : "DG_CONTROL DAT_CAPABILITY %s %s returns:",
             MessageName(msg), CapName(cap->Cap));
    DumpCapability(kLogTwainApi, cap);
    return rc;
}

// The failure line of MSG_SET and MSG_RESET, with the code they set.
TW_UINT16 Failed(TW_UINT16 msg, TW_CAPABILITY *cap, const char *ccName, TW_UINT16 cc) {
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY %s %s  returns TWRC_FAILURE with Condition Code==%s",
             MessageName(msg), CapName(cap->Cap), ccName);
    gState.ConditionCode = cc;
    return TWRC_FAILURE;
}
TW_UINT16 SetFailed(TW_CAPABILITY *cap, const char *ccName, TW_UINT16 cc) { return Failed(MSG_SET, cap, ccName, cc); }
TW_UINT16 ResetFailed(TW_CAPABILITY *cap, const char *ccName, TW_UINT16 cc) {
    return Failed(MSG_RESET, cap, ccName, cc);
}

// MSG_SET
TW_UINT16 CapabilitySet(TW_CAPABILITY *cap) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CAPABILITY MSG_SET %s with value:", CapName(cap->Cap));
    DumpCapability(kLogTwainApi, cap);
    if (gState.bDSEnabled) return SetFailed(cap, "TWCC_SEQERROR", TWCC_SEQERROR);
    switch (cap->Cap) {
    case CCAP_QUIETERRORS: {
        TW_UINT16 type = 0;
        TW_UINT32 value = 0;
        if (ReadOneValue(cap, &type, &value) != TWRC_SUCCESS) return SetFailed(cap, TwccName(), gState.ConditionCode);
        if (type != TWTY_BOOL) return SetFailed(cap, "TWCC_BADVALUE", TWCC_BADVALUE);
        // The answer goes into the application's own block (already checked to hold a one-value):
        // swapping in a new handle would leave the application's block unfreed.
        gState.bReportDriverErrors = value ? TRUE : FALSE;
        RewriteOneValue(cap, TWTY_BOOL, gState.bReportDriverErrors);
        break;
    }
    default:
        return SetFailed(cap, "TWCC_CAPUNSUPPORTED", TWCC_CAPUNSUPPORTED);
    }
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY MSG_SET %s  returns TWRC_SUCCESS ", CapName(cap->Cap));
    return TWRC_SUCCESS;
}

// MSG_RESET
TW_UINT16 CapabilityReset(TW_CAPABILITY *cap) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CAPABILITY MSG_RESET %s", CapName(cap->Cap));
    if (gState.bDSEnabled) return ResetFailed(cap, "TWCC_SEQERROR", TWCC_SEQERROR);
    TW_UINT16 rc;
    switch (cap->Cap) {
    case CCAP_QUIETERRORS:
        gState.bReportDriverErrors = FALSE;
        rc = BuildOneValue(cap, TWTY_BOOL, FALSE);
        break;
    default:
        return ResetFailed(cap, "TWCC_CAPUNSUPPORTED", TWCC_CAPUNSUPPORTED);
    }
    if (rc == TWRC_SUCCESS)
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY MSG_RESET %s  returns TWRC_SUCCESS ", CapName(cap->Cap));
    else
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY MSG_RESET %s  returns %s with Condition Code==%s",
                 CapName(cap->Cap), TwrcName(rc), TwccName());
    return rc;
}

// MSG_QUERYSUPPORT
TW_UINT16 CapabilityQuerySupport(TW_CAPABILITY *cap) {
    const char *name = CapName(cap->Cap);
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s", name);
    TW_UINT32 value = 0;
    TW_UINT16 tag = 0, flags = 0;
    const char *line = nullptr;
    bool listed = false;
    for (const CapEntry &e : kCapNames) listed = listed || e.code == cap->Cap;
    if (In(kGetsOnly, cap->Cap)) {
        value = kSupportsGets;
        line = "DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s returned %08x.  (supports only get's)";
    } else if (listed) {
        value = kSupportsAll;
        line = "DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s returned %08x.  (supports all messages)";
    } else if (In(kNotSupported, cap->Cap)) {
        line = "DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s returned %08x.  (not supported)";
    } else if (FindDriverCapability(cap->Cap, &tag, &flags)) {
        value = (flags & kDriverCapReadOnly) ? kSupportsGets : kSupportsAll;
        line = "DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s returned %08x.  (ORVA tag)";
    }
    if (line) SdkPrint(kLogTwainApi, line, name, value);
    return BuildOneValue(cap, TWTY_INT32, value);
}

}  // namespace

const char *CapName(TW_UINT16 code) {
    for (const CapEntry &e : kCapNames)
        if (e.code == code) return e.name;
    return ";CAP_UNKNOWN";
}

TW_UINT16 DatCapability(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    auto *cap = static_cast<TW_CAPABILITY *>(pData);
    switch (msg) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
    case MSG_SET:
    case MSG_RESET:
    case MSG_QUERYSUPPORT:
        break;
    default:
        SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CAPABILITY %04x.   message not supported", msg);
        SdkPrint(kLogTwainApi, "   returning TWRC_FAILURE with Condition Code==TWCC_BADPROTOCOL");
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
    if (!CheckCaller(origin)) {
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY %s returns TWRC_FAILURE with Condition Code==%s",
                 MessageName(msg), TwccName());
        return TWRC_FAILURE;
    }
    // Every answer is built into or read from the application's TW_CAPABILITY.
    if (!cap) {
        gState.ConditionCode = TWCC_BADVALUE;
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY %s returns TWRC_FAILURE with Condition Code==%s",
                 MessageName(msg), TwccName());
        return TWRC_FAILURE;
    }
    switch (msg) {
    case MSG_SET:
        return CapabilitySet(cap);
    case MSG_RESET:
        return CapabilityReset(cap);
    case MSG_QUERYSUPPORT:
        return CapabilityQuerySupport(cap);
    default:
        return CapabilityGet(msg, cap);
    }
}
