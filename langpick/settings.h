// Where Yarrel keeps the choice: the key "iLanguage" of "setscan.ini" in the Windows directory,
// in a section named after the driver; and the names derived from a driver's path.
#pragma once

#include <windows.h>

// The number stored for "the user's default language" (LANG_USER_DEFAULT); written as an
// empty value.
constexpr long kDefaultLanguage = 1024;

// Section for the driver or localisation file at path: its base name (after the last backslash,
// up to the last point), with "jextools" and "sdk" (any case) meaning all scanners, "Options".
// Truncated to cap - 1 characters; cap must be at least 1.
void SectionOfPath(const wchar_t *path, wchar_t *section, size_t cap);

// Localisation file of the driver at path: the last extension of its file name replaced by
// ".loc", or ".loc" appended when the file name has none. False (out empty) when it does not
// fit in cap.
bool LocPathOf(const wchar_t *path, wchar_t *out, size_t cap);

// "Scanner"/"Driver": base name of the current scanner driver, empty when not set.
void ReadCurrentDriver(wchar_t *out, size_t cap);

// "iLanguage" of section as GetPrivateProfileInt reads it on Windows: kDefaultLanguage when the
// key is missing, 0 for an empty value, else its leading number; only the low 16 bits are kept.
// A null section reads as a missing key.
WORD ReadLanguage(const wchar_t *section);

// Stores number as "iLanguage" of section ("%d", or empty for kDefaultLanguage). Returns 0 or
// the system error code of a failed write (ERROR_INVALID_PARAMETER for a null section).
DWORD WriteLanguage(const wchar_t *section, long number);
