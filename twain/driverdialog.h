// Call-backs of the driver's own dialog: its Scan and Close buttons and its preview request.
#pragma once

#include "twain/state.h"

LONG WINAPI OnDriverDialogScan(DriverDialogRecord *record);
LONG WINAPI OnDriverDialogCancel(LONG *flag);
LONG WINAPI OnDriverPreviewRequest(LONG, LONG, LONG);
// The sink through which the driver library draws the preview image; keeps one zone.
LONG WINAPI PreviewImageSink(LONG operationAndTag, LONG value, void *image);
// Drops the preview sink's zone and the registered call-backs when the source is disabled.
void ForgetDriverDialogCallbacks();
