// Bar codes found on the current page, filled by the source's bar-code driver during a scan and
// read by the extended image info and the bar-code dialog.
#pragma once

#include <windows.h>

#pragma pack(push, 2)
struct BarcodeEntry {
    SHORT type;         // driver bar-code type; -1 empty
    SHORT orientation;  // -1 empty
    SHORT confidence;   // -1 empty
    SHORT checksum;     // -1 empty
    LONG x, y, width, height;
    LONG searchTime;
    WORD textLength;
    HGLOBAL text;       // 256-byte movable block with the NUL-terminated text; owned here
};
struct BarDataRecord {
    WORD cleared;
    SHORT count;  // 0 to 8
    BarcodeEntry entries[8];
};
#pragma pack(pop)

extern BarDataRecord BarData;

void EmptyBarcodeEntry(BarcodeEntry *entry);
// Count 0, every entry empty; text blocks still held are freed, so no reset can leak them.
void ResetBarData();
// Count 0, every text block freed and its handle cleared.
void FreeBarData();
