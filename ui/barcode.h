// The bar-code collector: a driver procedure of the source itself that the page scan chains
// behind the scanner, so it sees every bar code of a page on its way to the page image.
#pragma once

#include "jexapi.h"

extern "C" LONG WINAPI BarcodeMiniProc(JEXLIBRECORD *record, LONG message, LONG tag, LONG value);

// TWAIN bar-code type of a driver type; -1 for a type the source does not know.
SHORT BarcodeTypeToTwain(SHORT driverType);
// Id of the string that names a driver type (the "Unknown" string for a type not known).
UINT BarcodeTypeString(SHORT driverType);
UINT BarcodeOrientationString(SHORT orientation);
