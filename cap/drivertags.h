// The one read path and the one write path between capability containers and driver tags, by
// the tag's value kind, used by the driver-defined capabilities and by the negotiated ones that
// are a single tag (resolutions, halftone names).
#pragma once

#include "twain/driver.h"
#include "twain/twaindefs.h"

enum class TagKind : BYTE { kLong, kString, kRational };

// The value kind the driver reports (message 0x342: 2 string, 5 rational, any other long);
// false when the driver cannot tell.
bool ReadTagKind(LONG tag, TagKind *kind);

// How rationals become FIX32: through the current units (resolutions), or as they are.
enum class RatioUnits : BYTE { kCurrentUnits, kAsIs };

// MSG_GET: the choices of the tag with its current and default value.
//   long: a range of TWTY_INT32, or an enumeration of TWTY_INT32 of a list;
//   rational: a range or enumeration of TWTY_FIX32 in the current units;
//   string: an enumeration of TWTY_STR32 of 1 to 99 names; free text: a one-value of its text.
// Choice flags that mark neither a range nor a list answer a one-value of the current value.
TW_UINT16 GetTagChoices(LONG tag, TagKind kind, TW_CAPABILITY *cap);
// MSG_GETCURRENT (current) or MSG_GETDEFAULT (default) as a one-value of TWTY_INT32, TWTY_FIX32
// or TWTY_STR32; a failed driver read is TWCC_CAPUNSUPPORTED.
TW_UINT16 GetTagValue(LONG tag, TagKind kind, bool deflt, RatioUnits units, TW_CAPABILITY *cap);
// MSG_SET from the application's one-value: long (value), string (STR32, terminated before it
// goes to the driver), rational (FIX32 only, else badRationalType; written, read back and
// compared by integer quotient; below 1 dot per inch refused). Failed writes: TWCC_CAPUNSUPPORTED
// for long and string, TWCC_BADVALUE for rational.
TW_UINT16 SetTagValue(LONG tag, TagKind kind, TW_CAPABILITY *cap, TW_UINT16 badRationalType);
// MSG_RESET: the tag's default written back to it, answered as a one-value (rationals through
// the current units). A failed driver call is TWCC_CAPUNSUPPORTED.
TW_UINT16 ResetTagValue(LONG tag, TagKind kind, TW_CAPABILITY *cap);

// The driver-defined capabilities (the driver's own table, read at open).
TW_UINT16 GetDriverDefined(TW_UINT16 msg, TW_CAPABILITY *cap, TW_UINT16 tag);
TW_UINT16 SetDriverDefined(TW_CAPABILITY *cap, TW_UINT16 tag, TW_UINT16 flags);
TW_UINT16 ResetDriverDefined(TW_CAPABILITY *cap, TW_UINT16 tag, TW_UINT16 flags);

// Reads the current or default name of a string tag (always terminated); false on failure.
bool ReadTagString(LONG tag, bool deflt, char *buffer, int size);
// Builds an enumeration of TWTY_STR32 of the tag's 1 to 99 choice names, the current and default
// indexes at the names given (0 when absent).
TW_UINT16 BuildNameEnumeration(LONG tag, const char *current, const char *deflt, TW_CAPABILITY *cap);
