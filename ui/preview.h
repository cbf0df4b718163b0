// The preview: one page scanned at a low resolution into an image of its own, shown in a window
// of its own over which the user drags the scan frame.
#pragma once

#include "jexapi.h"
#include "util/values.h"

// The first resolution the driver offers at or above the one asked (the last when none is).
DriverRatio PickResolution(DriverRatio wanted);
// 0 (also after a failed scan, which the user has been shown: *image is null then) or the error
// of a step that could not start the scan; the driver's settings are put back either way.
// dialog: the settings dialog, whose page size or drawn frame is what gets scanned, or null.
LONG ScanPreview(HWND dialog, HJEXM *image, LONG *width, LONG *length);
// The Preview button: scans and shows (or repaints) the preview window; null when it cannot.
HWND OpenPreview(HWND dialog);
// The window, its image and its class go; a later preview starts afresh.
void ClosePreview();
void FreePreviewImage();
// A page size was chosen in the dialog: the drawn frame no longer applies.
void ClearPreviewSelection();
extern "C" LRESULT CALLBACK PreviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
