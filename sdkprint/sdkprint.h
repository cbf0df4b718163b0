// Diagnostic log: one formatted line per call, to the file named by "SDKDebugFile" or to the
// debugger, for the categories switched on by "SDKDebug" (section "Scanner" of SETSCAN.INI in the
// Windows directory). With the log off a print costs one test after the first call.
#pragma once

#include <windows.h>

#include <cstddef>

// Categories: single bits; the name printed in the line comes from a table in sdkprint.cpp.
inline constexpr DWORD kLogTwainApi = 128;  // entry and result lines of every handler
inline constexpr DWORD kLogTwain = 256;     // notes on the scanner, state, cancels, work-arounds
inline constexpr DWORD kLogBanner = 0xFFFFFFFF;

// Formats with wvsprintfA conventions. Never fails and never blocks a TWAIN operation.
void SdkPrint(DWORD category, const char *format, ...);
// Prints at category 1 (kept for callers of the driver maker's kit; unused here).
void SdkPrint1(const char *format, ...);
// Hex and text dump of a block; a block above 512 bytes shows its first 64 only.
void SdkPrintHex(DWORD category, const char *description, const void *data, int length);

// Process lifetime: called from DllMain. LogEnd writes the unload banner and closes the file.
void LogEnd();

// True when a line of this category would be written (for callers that build costly text).
bool LogWants(DWORD category);
