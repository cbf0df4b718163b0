// DG_CONTROL / DAT_CAPABILITY: routing by message, the frame every message shares (the caller
// check, the state check of sets and resets, the log lines around each answer) and
// MSG_QUERYSUPPORT. What each capability answers is in its row of the table and its functions.
#include <algorithm>
#include <iterator>

#include "cap/capstate.h"
#include "cap/captable.h"
#include "cap/container.h"
#include "cap/drivertags.h"
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/state.h"

namespace {

constexpr TW_UINT32 kSupportsAll = 0x1F;
constexpr TW_UINT32 kSupportsGets = 0x0D;

// Answered 0 with a line of their own: capabilities an application may ask about that the
// source knows it does not offer.
constexpr TW_UINT16 kNotSupported[] = {
    CAP_AUTHOR,         CAP_CAPTION,          CAP_TIMEDATE,        CAP_EXTENDEDCAPS,        CAP_CLEARPAGE,
    CAP_FEEDPAGE,       CAP_REWINDPAGE,       ICAP_CUSTHALFTONE,   ICAP_EXPOSURETIME,       ICAP_FILTER,
    ICAP_FLASHUSED,     ICAP_GAMMA,           ICAP_HIGHLIGHT,      ICAP_LAMPSTATE,          ICAP_LIGHTSOURCE,
    ICAP_ORIENTATION,   ICAP_SHADOW,          ICAP_XNATIVERESOLUTION, ICAP_YNATIVERESOLUTION, ICAP_TILES,
    ICAP_CCITTKFACTOR,  ICAP_LIGHTPATH,       ICAP_ROTATION,       ICAP_THRESHOLD,          ICAP_XSCALING,
    ICAP_YSCALING,      ICAP_BITORDERCODES,   ICAP_PIXELFLAVORCODES, ICAP_JPEGPIXELTYPE,    ICAP_TIMEFILL,
    ICAP_UNDEFINEDIMAGESIZE,
};

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

// The name a get's lines show: both resolutions are "CAP_XRESOLUTION" in MSG_GETCURRENT.
const char *GetLogName(TW_UINT16 msg, TW_UINT16 code) {
    if (msg == MSG_GETCURRENT && (code == ICAP_XRESOLUTION || code == ICAP_YRESOLUTION)) return "CAP_XRESOLUTION";
    return CapName(code);
}

TW_UINT16 Unsupported(TW_UINT16 msg, TW_UINT16 code) {
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY %s %s  returns TWRC_FAILURE with Condition Code==TWCC_CAPNOTSUPPORTED:",
             MessageName(msg), GetLogName(msg, code));
    return CapFail(TWCC_CAPUNSUPPORTED);
}

TW_UINT16 GetAnswer(TW_UINT16 msg, TW_CAPABILITY *cap) {
    if (const CapRow *row = FindCapRow(cap->Cap)) {
        if (row->get) return row->get(msg, cap);
        return BuildOneValue(cap, row->itemType, row->fixed);
    }
    TW_UINT16 tag = 0, flags = 0;
    if (FindDriverCapability(cap->Cap, &tag, &flags)) return GetDriverDefined(msg, cap, tag);
    return Unsupported(msg, cap->Cap);
}

// MSG_GET, MSG_GETCURRENT and MSG_GETDEFAULT.
TW_UINT16 CapabilityGet(TW_UINT16 msg, TW_CAPABILITY *cap) {
    const char *name = GetLogName(msg, cap->Cap);
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CAPABILITY %s %s", MessageName(msg), name);
    if (msg == MSG_GET) gState.ConditionCode = TWCC_SUCCESS;
    const TW_UINT16 rc = GetAnswer(msg, cap);
    if (rc == kAnsweredQuietly) return TWRC_SUCCESS;
    if (rc != TWRC_SUCCESS) return rc;
    SdkPrint(kLogTwainApi,
             msg == MSG_GETCURRENT ? "DG_CONTROL DAT_CAPABILITY %s %s  returns:" : "DG_CONTROL DAT_CAPABILITY %s %s returns:",
             MessageName(msg), name);
    DumpCapability(kLogTwainApi, cap);
    return rc;
}

// The closing line of MSG_SET and MSG_RESET.
TW_UINT16 Closing(TW_UINT16 msg, TW_CAPABILITY *cap, TW_UINT16 rc) {
    if (rc == TWRC_SUCCESS)
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY %s %s  returns TWRC_SUCCESS ", MessageName(msg), CapName(cap->Cap));
    else if (rc == TWRC_FAILURE)
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY %s %s  returns TWRC_FAILURE with Condition Code==%s",
                 MessageName(msg), CapName(cap->Cap), TwccName());
    else
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CAPABILITY %s %s  returns %s with Condition Code==%s", MessageName(msg),
                 CapName(cap->Cap), TwrcName(rc), TwccName());
    return rc;
}

// A fixed capability takes only its own value: BITORDER and PLANARCHUNKY from any container
// value, IMAGEFILEFORMAT from a one-value only.
TW_UINT16 SetFixed(const CapRow &row, TW_CAPABILITY *cap) {
    if (row.code == ICAP_IMAGEFILEFORMAT && RequireOneValue(cap) != TWRC_SUCCESS) return TWRC_FAILURE;
    TW_UINT32 value = 0;
    const TW_UINT16 rc =
        row.code == ICAP_IMAGEFILEFORMAT ? TakeValue(cap, 0, &value) : TakeContainerValue(cap, 0, &value);
    if (rc != TWRC_SUCCESS) return rc;
    return value == row.fixed ? TWRC_SUCCESS : CapFail(TWCC_BADVALUE);
}

TW_UINT16 SetAnswer(TW_CAPABILITY *cap) {
    if (const CapRow *row = FindCapRow(cap->Cap)) {
        if (!row->settable) return CapFail(TWCC_CAPBADOPERATION);
        return row->set ? row->set(cap) : SetFixed(*row, cap);
    }
    TW_UINT16 tag = 0, flags = 0;
    if (FindDriverCapability(cap->Cap, &tag, &flags)) return SetDriverDefined(cap, tag, flags);
    return CapFail(TWCC_CAPUNSUPPORTED);
}

// MSG_SET
TW_UINT16 CapabilitySet(TW_CAPABILITY *cap) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CAPABILITY MSG_SET %s with value:", CapName(cap->Cap));
    DumpCapability(kLogTwainApi, cap);
    if (gState.bDSEnabled) return Closing(MSG_SET, cap, CapFail(TWCC_SEQERROR));
    return Closing(MSG_SET, cap, SetAnswer(cap));
}

TW_UINT16 ResetAnswer(TW_CAPABILITY *cap) {
    if (const CapRow *row = FindCapRow(cap->Cap)) {
        if (!row->settable) return CapFail(TWCC_CAPBADOPERATION);
        return row->reset ? row->reset(cap) : BuildOneValue(cap, row->itemType, row->fixed);
    }
    TW_UINT16 tag = 0, flags = 0;
    if (FindDriverCapability(cap->Cap, &tag, &flags)) return ResetDriverDefined(cap, tag, flags);
    return CapFail(TWCC_CAPUNSUPPORTED);
}

// MSG_RESET
TW_UINT16 CapabilityReset(TW_CAPABILITY *cap) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CAPABILITY MSG_RESET %s", CapName(cap->Cap));
    if (gState.bDSEnabled) return Closing(MSG_RESET, cap, CapFail(TWCC_SEQERROR));
    return Closing(MSG_RESET, cap, ResetAnswer(cap));
}

// MSG_QUERYSUPPORT
TW_UINT16 CapabilityQuerySupport(TW_CAPABILITY *cap) {
    const char *name = CapName(cap->Cap);
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s", name);
    TW_UINT32 value = 0;
    TW_UINT16 tag = 0, flags = 0;
    const char *line = nullptr;
    if (const CapRow *row = FindCapRow(cap->Cap)) {
        value = row->settable ? kSupportsAll : kSupportsGets;
        line = row->settable ? "DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s returned %08x.  (supports all messages)"
                             : "DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s returned %08x.  (supports only get's)";
    } else if (std::find(std::begin(kNotSupported), std::end(kNotSupported), cap->Cap) != std::end(kNotSupported)) {
        line = "DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s returned %08x.  (not supported)";
    } else if (FindDriverCapability(cap->Cap, &tag, &flags)) {
        value = (flags & kDriverCapReadOnly) ? kSupportsGets : kSupportsAll;
        line = "DG_CONTROL DAT_CAPABILITY MSG_QUERYSUPPORT %s returned %08x.  (ORVA tag)";
    }
    if (line) SdkPrint(kLogTwainApi, line, name, value);
    return BuildOneValue(cap, TWTY_INT32, value);
}

}  // namespace

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
