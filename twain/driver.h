// The scanner driver record and the typed driver messages the source sends through it. Every
// call returns the driver's status: 0 or a negative driver error. Without a loaded driver a call
// answers kNoDriver and sends nothing.
#pragma once

#include "jexapi.h"
#include "util/values.h"

inline constexpr LONG kNoDriver = -1;

// Driver messages.
enum DriverMessage : LONG {
    kMsgChain = 0x110,
    kMsgDialogCommand = 0x120,
    kMsgAdvancedDialog = 0x123,
    kMsgShowDialog = 0x125,
    kMsgPreview = 0x126,
    kMsgRegisterTag = 0x300,
    kMsgGetLong = 0x310,
    kMsgGetRatio = 0x311,
    kMsgGetString = 0x312,
    kMsgTagCount = 0x314,
    kMsgTagCapability = 0x315,
    kMsgSetString = 0x320,
    kMsgSetLong = 0x321,
    kMsgSetRatio = 0x322,
    kMsgDefaultLong = 0x330,
    kMsgDefaultRatio = 0x331,
    kMsgDefaultString = 0x332,
    kMsgResetTag = 0x340,
    kMsgValueKind = 0x342,
    kMsgSnapshot = 0x343,
    kMsgKeepSettings = 0x344,
    kMsgRestoreSnapshot = 0x345,
    kMsgClosing = 0x346,
    kMsgOpened = 0x347,
    kMsgCollectSettings = 0x348,
    kMsgRestoreSettings = 0x349,
    kMsgChoiceCount = 0x410,
    kMsgChoiceLong = 0x411,
    kMsgChoiceRatio = 0x412,
    kMsgChoiceString = 0x413,
    kMsgChoiceFlags = 0x415,
    kMsgPaperStatus = 0x604,
    kMsgAbort = 0x606,
};

// Driver tags named by the source.
enum DriverTag : LONG {
    kTagWidth = 256,
    kTagLength = 257,
    kTagBitsPerSample = 258,
    kTagCompression = 259,
    kTagPhotometric = 262,
    kTagSamplesPerPixel = 277,
    kTagXResolution = 282,
    kTagYResolution = 283,
    kTagLeft = 286,
    kTagTop = 287,
    kTagHalftone = 1280,
    kTagContrast = 1281,
    kTagBrightness = 1282,
    kTagDeviceFeatures = 1283,
    kTagAutoFeed = 1293,
    kTagPageSize = 1294,
    kTagYield = 1299,
    kTagPaperSource = 1300,
    kTag1404 = 1404,
    kTagEndorserText = 1411,
    kTagEndorserCounter = 1412,
    kTagJobControl = 1447,
    kTagEndorserKinds = 4204,
    kTagSinglePage = 5363,
    kTagModeLimit = 5371,
    kTag5374 = 5374,
    kTagMessageBox = 5632,
};

inline constexpr LONG kChoiceRange = 0x20000;
inline constexpr LONG kChoiceList = 0x40000;
inline constexpr LONG kChoiceMin = -1, kChoiceMax = -2, kChoiceStep = -3;

// The scanner driver, loaded from MSG_OPENDS to MSG_CLOSEDS.
extern JEXDRIVER gDriver;

bool DriverLoaded();
LONG DriverCall(LONG message, LONG tag, LONG value);

LONG DrvGetLong(LONG tag, LONG *value);
LONG DrvGetRatio(LONG tag, DriverRatio *value);
LONG DrvGetString(LONG tag, char *buffer, int size);  // always terminated on success
LONG DrvSetLong(LONG tag, LONG value);
LONG DrvSetRatio(LONG tag, DriverRatio value);
LONG DrvSetString(LONG tag, const char *text);
LONG DrvDefaultLong(LONG tag, LONG *value);
LONG DrvDefaultRatio(LONG tag, DriverRatio *value);
LONG DrvDefaultString(LONG tag, char *buffer, int size);
LONG DrvChoiceCount(LONG tag, LONG *count);  // the low 16 bits of the count; 0 on failure
LONG DrvChoiceFlags(LONG tag, LONG *flags);
LONG DrvChoiceLong(LONG tag, LONG index, LONG *value);
LONG DrvChoiceRatio(LONG tag, LONG index, DriverRatio *value);
LONG DrvChoiceString(LONG tag, LONG index, char *buffer, int size);
LONG DrvValueKind(LONG tag, LONG *kind);

// A resolution tag that reads as a usable (positive) ratio.
bool DrvReadResolution(LONG tag, DriverRatio *ratio);

// True when value is among the listed choices of tag (a list, not a range).
bool DrvChoicesInclude(LONG tag, LONG value);

// A settings bracket: the driver snapshots its settings and restores them when the bracket
// closes, on every path.
class SettingsBracket {
public:
    SettingsBracket() { DriverCall(kMsgSnapshot, 0, 0); }
    ~SettingsBracket() { DriverCall(kMsgRestoreSnapshot, 0, 0); }
    SettingsBracket(const SettingsBracket &) = delete;
    SettingsBracket &operator=(const SettingsBracket &) = delete;
};
