// The preview scan: one page at the preview resolution into an image of its own, with the
// driver's settings put back afterwards.
#pragma once

#include "jexapi.h"
#include "util/values.h"

// The first resolution the driver offers at or above the one asked (the last when none is).
DriverRatio PickResolution(DriverRatio wanted);
// 0 (also after a failed scan, which the user has been shown: *image is null then) or the error
// of a step that could not start the scan. dialog: the settings dialog, or null.
LONG ScanPreview(HWND dialog, HJEXM *image, LONG *width, LONG *length);
void FreePreviewImage();
extern "C" LRESULT CALLBACK PreviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
