// The negotiated capabilities as data: one row per capability that routing, MSG_QUERYSUPPORT,
// CAP_SUPPORTEDCAPS and the default get, set and reset paths read. A capability whose behaviour
// is its own has its functions in the row; the rest is answered from the row alone.
#pragma once

#include <windows.h>

#include "twain/twaindefs.h"

// A get function answers MSG_GET, MSG_GETCURRENT or MSG_GETDEFAULT (msg) with a new container in
// cap, or fails with ConditionCode set. A set function takes the value from the application's
// container; a reset function brings the capability back and builds its answer. Each returns
// TWRC_SUCCESS or TWRC_FAILURE with ConditionCode set; the message frame logs around them.
// A get function may answer kAnsweredQuietly: success, without the closing log lines (the
// work-around for a named application that must not see its answer dumped).
inline constexpr TW_UINT16 kAnsweredQuietly = 0x7FFF;
using CapGetFn = TW_UINT16 (*)(TW_UINT16 msg, TW_CAPABILITY *cap);
using CapSetFn = TW_UINT16 (*)(TW_CAPABILITY *cap);
using CapResetFn = TW_UINT16 (*)(TW_CAPABILITY *cap);

enum class Backing : BYTE {
    kSource,  // a setting the source keeps itself
    kDriver,  // driver tags
    kFixed,   // a fixed answer
};

struct CapRow {
    TW_UINT16 code;
    const char *name;    // as the log shows it
    TW_UINT16 itemType;  // of the answer
    Backing backing;
    TW_UINT16 shape;     // container of the MSG_GET answer (one-value when it may vary)
    bool settable;       // false: gets only; MSG_SET and MSG_RESET are TWCC_CAPBADOPERATION
    TW_UINT32 fixed;     // the answer of a fixed capability, the only value its MSG_SET takes
    CapGetFn get;        // null: a fixed one-value
    CapSetFn set;        // null: a fixed value that must be sent again
    CapResetFn reset;    // null: the fixed value answered
};

inline constexpr int kCapCount = 40;
extern const CapRow kCapTable[kCapCount];

// The row of a negotiated capability; null for any other code.
const CapRow *FindCapRow(TW_UINT16 code);

// ---- Shared by the capability functions.

// Sets ConditionCode and answers TWRC_FAILURE.
TW_UINT16 CapFail(TW_UINT16 conditionCode);
// The value of a one-value (ReadOneValue); with requiredType other than 0 another item type is
// TWCC_BADVALUE.
TW_UINT16 TakeValue(const TW_CAPABILITY *cap, TW_UINT16 requiredType, TW_UINT32 *value);
// The value of a one-value or of an enumeration's current item (GetContainerValue).
TW_UINT16 TakeContainerValue(const TW_CAPABILITY *cap, TW_UINT16 requiredType, TW_UINT32 *value);
// TWCC_BADVALUE unless the container is a one-value.
TW_UINT16 RequireOneValue(const TW_CAPABILITY *cap);
// The application's ProductFamily begins with the first n characters of prefix, in any case.
bool AppProductFamilyStarts(const char *prefix, size_t n);

// ---- Capability functions by group (each group in its own file).
// Source settings and fixed answers.
TW_UINT16 GetXferCount(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetXferCount(TW_CAPABILITY *cap);
TW_UINT16 ResetXferCount(TW_CAPABILITY *cap);
TW_UINT16 GetSupportedCaps(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 GetDeviceOnline(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 GetOwnBool(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetOwnBool(TW_CAPABILITY *cap);
TW_UINT16 ResetOwnBool(TW_CAPABILITY *cap);
TW_UINT16 GetPixelFlavor(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetPixelFlavor(TW_CAPABILITY *cap);
TW_UINT16 ResetPixelFlavor(TW_CAPABILITY *cap);
TW_UINT16 GetUnits(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetUnits(TW_CAPABILITY *cap);
TW_UINT16 ResetUnits(TW_CAPABILITY *cap);
TW_UINT16 GetXferMech(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetXferMech(TW_CAPABILITY *cap);
TW_UINT16 ResetXferMech(TW_CAPABILITY *cap);
TW_UINT16 GetCompression(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetCompression(TW_CAPABILITY *cap);
TW_UINT16 ResetCompression(TW_CAPABILITY *cap);
// Pixel type and bit depth.
TW_UINT16 GetPixelType(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetPixelType(TW_CAPABILITY *cap);
TW_UINT16 ResetPixelType(TW_CAPABILITY *cap);
TW_UINT16 GetBitDepth(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetBitDepth(TW_CAPABILITY *cap);
TW_UINT16 ResetBitDepth(TW_CAPABILITY *cap);
// Tone: brightness, contrast, automatic brightness, halftones and bit-depth reduction.
TW_UINT16 GetTone(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetTone(TW_CAPABILITY *cap);
TW_UINT16 ResetTone(TW_CAPABILITY *cap);
TW_UINT16 GetAutoBright(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetAutoBright(TW_CAPABILITY *cap);
TW_UINT16 ResetAutoBright(TW_CAPABILITY *cap);
TW_UINT16 GetHalftones(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetHalftones(TW_CAPABILITY *cap);
TW_UINT16 ResetHalftones(TW_CAPABILITY *cap);
TW_UINT16 GetBitDepthReduction(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetBitDepthReductionCap(TW_CAPABILITY *cap);
TW_UINT16 ResetBitDepthReduction(TW_CAPABILITY *cap);
// Paper: feeder, duplex, automatic feeding, paper detection, endorser, job control.
TW_UINT16 GetFeederEnabled(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetFeederEnabled(TW_CAPABILITY *cap);
TW_UINT16 ResetFeederEnabled(TW_CAPABILITY *cap);
TW_UINT16 GetAutoScan(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetAutoScan(TW_CAPABILITY *cap);
TW_UINT16 ResetAutoScan(TW_CAPABILITY *cap);
TW_UINT16 GetDuplex(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 GetDuplexEnabled(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetDuplexEnabled(TW_CAPABILITY *cap);
TW_UINT16 ResetDuplexEnabled(TW_CAPABILITY *cap);
TW_UINT16 GetPaperDetectable(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 GetFeederLoaded(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 GetEndorserCap(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetEndorserCap(TW_CAPABILITY *cap);
TW_UINT16 ResetEndorserCap(TW_CAPABILITY *cap);
TW_UINT16 GetJobControl(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetJobControl(TW_CAPABILITY *cap);
TW_UINT16 ResetJobControl(TW_CAPABILITY *cap);
// Geometry: resolutions, frames, physical and minimum sizes, supported sizes.
TW_UINT16 GetResolution(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetResolution(TW_CAPABILITY *cap);
TW_UINT16 ResetResolution(TW_CAPABILITY *cap);
TW_UINT16 GetFrames(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetFrames(TW_CAPABILITY *cap);
TW_UINT16 ResetFrames(TW_CAPABILITY *cap);
TW_UINT16 GetPhysicalSize(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 GetMinimumSize(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 GetSupportedSizes(TW_UINT16 msg, TW_CAPABILITY *cap);
TW_UINT16 SetSupportedSizes(TW_CAPABILITY *cap);
TW_UINT16 ResetSupportedSizes(TW_CAPABILITY *cap);
