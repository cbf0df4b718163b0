// The translations between TWAIN's tone and halftone notions and the driver's choices: the tone
// scale that maps brightness (tag 1282) and contrast (tag 1281) onto -1000 ... +1000, and the
// halftone names of tag 1280 behind ICAP_BITDEPTHREDUCTION. Everything is read from the driver
// at the moment of the call; nothing is kept between calls.
#pragma once

#include "twain/driver.h"
#include "twain/twaindefs.h"

inline constexpr int kToneScaleMax = 256;

struct ToneEntry {
    TW_FIX32 value;    // on the TWAIN scale, three decimals
    LONG driverValue;  // what the tag is set to for this entry
};

struct ToneScale {
    ToneEntry entries[kToneScaleMax];
    int count;    // 0: the driver offers no usable scale
    int current;  // index of the tag's current value (a fallback when it is not on the scale)
    int deflt;    // index of the neutral point
};

// The tag's neutral point d as a driver value: brightness as the driver applies its default,
// contrast as its default; a value that is not positive is replaced by the middle choice.
// Answers TWCC_SUCCESS, or TWCC_BADVALUE when the contrast default cannot be read. ConditionCode
// is left alone: the caller names the failure.
TW_UINT16 ToneDefault(LONG tag, LONG *value);

// The scale of the tag's choices, at most kToneScaleMax entries, computed in 64 bits with every
// divisor checked. An empty scale (count 0) when the driver gives no choices or no neutral point.
void BuildToneScale(LONG tag, ToneScale *scale);

// TWBR_THRESHOLD, TWBR_HALFTONE or TWBR_DIFFUSION for the current halftone name; THRESHOLD when
// the name cannot be read.
TW_UINT16 HalftoneReduction();

// The first of the tag's 1 to 99 halftone names that begins with prefix, copied (terminated)
// into name; false when none does.
bool FindHalftone(const char *prefix, char *name, int size);

// Selects the halftone of a TWBR code. TWRC_SUCCESS, or TWRC_FAILURE with TWCC_BADVALUE for a
// code without a halftone or a name the driver refuses; codes above TWBR_DIFFUSION change nothing.
TW_UINT16 SetBitDepthReduction(TW_UINT16 value);
