// The table of negotiated capabilities. Its order is the order of CAP_SUPPORTEDCAPS, and its
// names, leading semicolons included, are what the log shows.
#include "cap/captable.h"

#include <cstring>

#include "cap/capstate.h"
#include "cap/container.h"
#include "twain/state.h"

namespace {

constexpr Backing S = Backing::kSource, D = Backing::kDriver, F = Backing::kFixed;
constexpr TW_UINT16 One = TWON_ONEVALUE, Enum = TWON_ENUMERATION, Range = TWON_RANGE, Array = TWON_ARRAY;

}  // namespace

// clang-format off
const CapRow kCapTable[kCapCount] = {
    // code               name                        item type     backing shape settable fixed get / set / reset
    {CCAP_QUIETERRORS,    ";CCAP_QUIETERRORS",        TWTY_BOOL,    S, One,   true,  0, GetOwnBool, SetOwnBool, ResetOwnBool},
    {CAP_AUTOFEED,        ";CAP_AUTOFEED",            TWTY_BOOL,    D, One,   true,  0, GetAutoScan, SetAutoScan, ResetAutoScan},
    {CAP_AUTOSCAN,        ";CAP_AUTOSCAN",            TWTY_BOOL,    D, One,   true,  0, GetAutoScan, SetAutoScan, ResetAutoScan},
    {CAP_CUSTOMDSDATA,    ";CAP_CUSTOMDSDATA",        TWTY_BOOL,    F, One,   false, TRUE, nullptr, nullptr, nullptr},
    {CAP_DEVICEONLINE,    ";CAP_DEVICEONLINE",        TWTY_BOOL,    S, One,   false, 0, GetDeviceOnline, nullptr, nullptr},
    {CAP_DUPLEX,          ";CAP_DUPLEX",              TWTY_UINT16,  D, One,   false, 0, GetDuplex, nullptr, nullptr},
    {CAP_DUPLEXENABLED,   ";CAP_DUPLEXENABLED",       TWTY_BOOL,    D, One,   true,  0, GetDuplexEnabled, SetDuplexEnabled, ResetDuplexEnabled},
    {CAP_ENABLEDSUIONLY,  ";CAP_ENABLEDSUIONLY",      TWTY_BOOL,    F, One,   false, TRUE, nullptr, nullptr, nullptr},
    {CAP_ENDORSER,        ";CAP_ENDORSER",            TWTY_UINT32,  D, One,   true,  0, GetEndorserCap, SetEndorserCap, ResetEndorserCap},
    {CAP_FEEDERENABLED,   ";CAP_FEEDERENABLED",       TWTY_BOOL,    D, One,   true,  0, GetFeederEnabled, SetFeederEnabled, ResetFeederEnabled},
    {CAP_FEEDERLOADED,    ";CAP_FEEDERLOADED",        TWTY_BOOL,    D, One,   false, 0, GetFeederLoaded, nullptr, nullptr},
    {CAP_INDICATORS,      ";CAP_INDICATORS",          TWTY_BOOL,    S, One,   true,  0, GetOwnBool, SetOwnBool, ResetOwnBool},
    {CAP_JOBCONTROL,      ";CAP_JOBCONTROL",          TWTY_UINT16,  D, Enum,  true,  0, GetJobControl, SetJobControl, ResetJobControl},
    {CAP_PAPERDETECTABLE, ";CAP_PAPERDETECTABLE",     TWTY_BOOL,    D, One,   false, 0, GetPaperDetectable, nullptr, nullptr},
    {CAP_UICONTROLLABLE,  ";CAP_UICONTROLLABLE",      TWTY_BOOL,    F, One,   false, TRUE, nullptr, nullptr, nullptr},
    {CAP_XFERCOUNT,       ";CAP_XFERCOUNT",           TWTY_INT16,   S, One,   true,  0, GetXferCount, SetXferCount, ResetXferCount},
    {ICAP_AUTOBRIGHT,     ";ICAP_AUTOBRIGHT",         TWTY_BOOL,    D, One,   true,  0, GetAutoBright, SetAutoBright, ResetAutoBright},
    {ICAP_BITDEPTH,       ";ICAP_BITDEPTH",           TWTY_UINT16,  D, Enum,  true,  0, GetBitDepth, SetBitDepth, ResetBitDepth},
    {ICAP_BITDEPTHREDUCTION, "ICAP_BITDEPTHREDUCTION", TWTY_UINT16, D, Enum,  true,  0, GetBitDepthReduction, SetBitDepthReductionCap, ResetBitDepthReduction},
    {ICAP_BITORDER,       ";ICAP_BITORDER",           TWTY_UINT16,  F, One,   true,  TWBO_MSBFIRST, nullptr, nullptr, nullptr},
    {ICAP_BRIGHTNESS,     ";ICAP_BRIGHTNESS",         TWTY_FIX32,   D, Enum,  true,  0, GetTone, SetTone, ResetTone},
    {ICAP_COMPRESSION,    ";ICAP_COMPRESSION",        TWTY_UINT16,  D, Enum,  true,  0, GetCompression, SetCompression, ResetCompression},
    {ICAP_CONTRAST,       ";ICAP_CONTRAST",           TWTY_FIX32,   D, Enum,  true,  0, GetTone, SetTone, ResetTone},
    {ICAP_EXTIMAGEINFO,   ";ICAP_EXTIMAGEINFO",       TWTY_BOOL,    S, One,   true,  0, GetOwnBool, SetOwnBool, ResetOwnBool},
    {ICAP_FRAMES,         ";ICAP_FRAMES",             TWTY_FRAME,   D, One,   true,  0, GetFrames, SetFrames, ResetFrames},
    {ICAP_HALFTONES,      ";ICAP_HALFTONES",          TWTY_STR32,   D, Enum,  true,  0, GetHalftones, SetHalftones, ResetHalftones},
    {ICAP_IMAGEFILEFORMAT, ";ICAP_IMAGEFILEFORMAT",   TWTY_UINT16,  F, One,   true,  TWFF_BMP, nullptr, nullptr, nullptr},
    {ICAP_MAXFRAMES,      ";ICAP_MAXFRAMES",          TWTY_UINT16,  F, One,   false, 1, nullptr, nullptr, nullptr},
    {ICAP_MINIMUMHEIGHT,  ";ICAP_MINIMUMHEIGHT",      TWTY_FIX32,   D, One,   false, 0, GetMinimumSize, nullptr, nullptr},
    {ICAP_MINIMUMWIDTH,   ";ICAP_MINIMUMWIDTH",       TWTY_FIX32,   D, One,   false, 0, GetMinimumSize, nullptr, nullptr},
    {ICAP_PHYSICALWIDTH,  ";ICAP_PHYSICALWIDTH",      TWTY_FIX32,   D, One,   false, 0, GetPhysicalSize, nullptr, nullptr},
    {ICAP_PHYSICALHEIGHT, ";ICAP_PHYSICALHEIGHT",     TWTY_FIX32,   D, One,   false, 0, GetPhysicalSize, nullptr, nullptr},
    {ICAP_PIXELFLAVOR,    ";ICAP_PIXELFLAVOR",        TWTY_UINT16,  S, Enum,  true,  0, GetPixelFlavor, SetPixelFlavor, ResetPixelFlavor},
    {ICAP_PIXELTYPE,      ";ICAP_PIXELTYPE",          TWTY_UINT16,  D, Enum,  true,  0, GetPixelType, SetPixelType, ResetPixelType},
    {ICAP_PLANARCHUNKY,   ";ICAP_PLANARCHUNKY",       TWTY_UINT16,  F, One,   true,  TWPC_CHUNKY, nullptr, nullptr, nullptr},
    {ICAP_SUPPORTEDSIZES, ";ICAP_SUPPORTEDSIZES",     TWTY_UINT16,  D, Enum,  true,  0, GetSupportedSizes, SetSupportedSizes, ResetSupportedSizes},
    {ICAP_UNITS,          ";ICAP_UNITS",              TWTY_UINT16,  S, Enum,  true,  0, GetUnits, SetUnits, ResetUnits},
    {ICAP_XFERMECH,       ";ICAP_XFERMECH",           TWTY_UINT16,  S, Enum,  true,  0, GetXferMech, SetXferMech, ResetXferMech},
    {ICAP_XRESOLUTION,    ";ICAP_XRESOLUTION",        TWTY_FIX32,   D, Range, true,  0, GetResolution, SetResolution, ResetResolution},
    {ICAP_YRESOLUTION,    ";ICAP_YRESOLUTION",        TWTY_FIX32,   D, Range, true,  0, GetResolution, SetResolution, ResetResolution},
};
// clang-format on

// CAP_SUPPORTEDCAPS is answered but is not one of the forty it lists.
const CapRow kSupportedCapsRow = {CAP_SUPPORTEDCAPS, ";CAP_UNKNOWN", TWTY_UINT16, F, Array, false, 0,
                                  GetSupportedCaps, nullptr, nullptr};

const CapRow *FindCapRow(TW_UINT16 code) {
    for (const CapRow &r : kCapTable)
        if (r.code == code) return &r;
    if (code == CAP_SUPPORTEDCAPS) return &kSupportedCapsRow;
    return nullptr;
}

const char *CapName(TW_UINT16 code) {
    for (const CapRow &r : kCapTable)
        if (r.code == code) return r.name;
    return ";CAP_UNKNOWN";
}

TW_UINT16 CapFail(TW_UINT16 conditionCode) {
    gState.ConditionCode = conditionCode;
    return TWRC_FAILURE;
}

TW_UINT16 TakeValue(const TW_CAPABILITY *cap, TW_UINT16 requiredType, TW_UINT32 *value) {
    TW_UINT16 type = 0;
    if (ReadOneValue(cap, &type, value) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (requiredType && type != requiredType) return CapFail(TWCC_BADVALUE);
    return TWRC_SUCCESS;
}

TW_UINT16 TakeContainerValue(const TW_CAPABILITY *cap, TW_UINT16 requiredType, TW_UINT32 *value) {
    TW_UINT16 type = 0;
    if (GetContainerValue(cap, &type, value) != TWRC_SUCCESS) return TWRC_FAILURE;
    if (requiredType && type != requiredType) return CapFail(TWCC_BADVALUE);
    return TWRC_SUCCESS;
}

TW_UINT16 RequireOneValue(const TW_CAPABILITY *cap) {
    return cap->ConType == TWON_ONEVALUE ? TWRC_SUCCESS : CapFail(TWCC_BADVALUE);
}

bool AppProductFamilyStarts(const char *prefix, size_t n) {
    return _strnicmp(gState.AppIdentity.ProductFamily, prefix, n) == 0;
}
