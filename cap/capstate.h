// Capability settings the data source keeps itself, and what the probes at MSG_OPENDS found
// out about the driver (the rest lives in driver tags).
#pragma once

#include "twain/twaindefs.h"

// A capability the driver announces itself, tied to one of its tags.
struct DriverCapability {
    TW_UINT16 code;   // 0: free entry
    TW_UINT16 tag;
    TW_UINT16 flags;  // bit 0: read only
};
inline constexpr int kMaxDriverCapabilities = 100;
inline constexpr TW_UINT16 kDriverCapReadOnly = 1;

// Paper sources as the driver's tag 1300 numbers them.
enum PaperSource : int { kPaperFlatbed = 0, kPaperFeeder = 1, kPaperDuplex = 2, kPaperSourceCount = 3 };

// Settings held from the library's load until it is unloaded (a close does not reset them). The
// initial values are the member initialisers, so the state is constant-initialised at load.
struct CapState {
    BOOL bXferCountSetByApp = FALSE;        // every MSG_SET and MSG_RESET of CAP_XFERCOUNT
    TW_UINT32 AllowedMechs = 7;             // ICAP_XFERMECH: bit n for mechanism n
    TW_UINT16 XferMech = TWSX_NATIVE;
    TW_UINT32 AllowedUnits = 0x23;          // ICAP_UNITS: inches, centimetres, pixels
    TW_UINT16 Compression = TWCP_NONE;      // ICAP_COMPRESSION; read by the transfers
    TW_UINT16 PixelFlavor = TWPF_CHOCOLATE; // ICAP_PIXELFLAVOR; read by the transfers
    BOOL bExtImageInfo = TRUE;              // ICAP_EXTIMAGEINFO; read by the extended image info
    BOOL bIndicators = TRUE;                // CAP_INDICATORS; read by enabling and the progress dialog
    BOOL bAutoBright = FALSE;               // ICAP_AUTOBRIGHT; also written by the settings dialog
    BOOL bGrayOffered = FALSE;              // pixel-type probe
    BOOL bRgbOffered = FALSE;
    BOOL bPaletteOffered = FALSE;
    TW_UINT16 LastImageType = TWPT_BW;      // last CurrentImageType, read by the page scan
    BOOL PaperNow[kPaperSourceCount] = {};  // paper sources offered in the current mode
    BOOL PaperOther[kPaperSourceCount] = {};  // ... and in the other single-page mode
    DriverCapability DriverCaps[kMaxDriverCapabilities] = {};
};

extern CapState gCaps;

// The capability name as log lines show it; ";CAP_UNKNOWN" for codes not negotiated.
const char *CapName(TW_UINT16 code);

// Driver probes, run at MSG_OPENDS.
void LoadDriverCapabilities();
bool FindDriverCapability(TW_UINT16 code, TW_UINT16 *tag, TW_UINT16 *flags);
void ProbeImageTypes();
TW_UINT16 CurrentImageType();
void ProbePaperSources();
void RefreshPaperSources();
