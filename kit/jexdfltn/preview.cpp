// Preview (@129): draws the preview image into the scanner driver's own dialog through the image
// sink the data source hands over (create a zone, read the size, draw, free the zone).
// The sink draws into a bitmap the size of the dialog's preview area, not onto the screen: the
// sink and the image belong to the data source and are gone after this call, while the dialog
// must show the picture again whenever it is repainted. The driver takes the finished bitmap
// (KIT_MSG_PREVIEWBITMAP) and paints it from then on.
#include "kit/jexdfltn/libstate.h"

namespace {

KitSlot *ScannerSlot() {
    for (KitSlot &s : g_kit.slots)
        if (s.instance && !s.closing && s.kind == JEX_LOAD_SCANNER) return &s;
    return nullptr;
}

// A message to the scanner's driver file, which stays loaded until the call has returned.
LONG CallScanner(DWORD id, LONG message, LONG value) {
    KitSlot *slot = KitFindSlot(id);
    if (!slot || !slot->module) return KIT_ERR_BADHANDLE;
    return KitCallInside(slot, [&](KitSlot *s) { return s->entry(s->driverInstance, message, 0, value); });
}

// Runs the sink's operations, drawing into the memory DC; once the sink has created its zone it
// is told to free it on every path.
LONG DrawThroughSink(JEXIMAGESINK sink, HJEXM image, HDC memory, const RECT &area) {
    LONG rc = sink(1, 0, image);
    if (rc != 0) return rc;
    LONG width = 0, length = 0;
    rc = sink(3 | (256 << 16), reinterpret_cast<LONG>(&width), image);
    if (rc == 0) rc = sink(3 | (257 << 16), reinterpret_cast<LONG>(&length), image);
    if (rc == 0 && (width <= 0 || length <= 0)) rc = KIT_ERR_NOIMAGE;
    if (rc == 0) {
        // word 1: the device context; words 2-5: the target rectangle; words 6-9: the source.
        LONG block[10] = {0, reinterpret_cast<LONG>(memory), area.left, area.top, area.right, area.bottom, 0, 0, width, length};
        rc = sink(5, reinterpret_cast<LONG>(block), image);
    }
    LONG freed = sink(2, 0, image);
    return rc != 0 ? rc : freed;
}

}  // namespace

extern "C" LONG WINAPI JexdfltPreview(HINSTANCE module, JEXIMAGESINK sink, HJEXM image) {
    int rec = KitRecordBegin();
    LONG rc = KitCheckFault(KIT_FAULT_ORDINAL, 129);
    HWND window = nullptr;
    DWORD scanner = 0;
    if (rc == 0 && (!sink || !image)) rc = KIT_ERR_BADARG;
    if (rc == 0) {
        KitSlot *slot = ScannerSlot();
        if (!slot) rc = KIT_ERR_BADHANDLE;
        else scanner = slot->instance, rc = CallScanner(scanner, KIT_MSG_PREVIEWWINDOW, reinterpret_cast<LONG>(&window));
        if (rc == 0 && !IsWindow(window)) rc = KIT_ERR_NODIALOG;
    }
    RECT area = {};
    if (rc == 0 && (!GetClientRect(window, &area) || area.right <= 0 || area.bottom <= 0)) rc = KIT_ERR_NODIALOG;
    HBITMAP bitmap = nullptr;
    if (rc == 0) {
        HDC screen = GetDC(window);
        HDC memory = screen ? CreateCompatibleDC(screen) : nullptr;
        bitmap = screen ? CreateCompatibleBitmap(screen, area.right, area.bottom) : nullptr;
        if (screen) ReleaseDC(window, screen);
        if (!memory || !bitmap) {
            rc = KIT_ERR_NOMEMORY;
        } else {
            HGDIOBJ old = SelectObject(memory, bitmap);
            FillRect(memory, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            rc = DrawThroughSink(sink, image, memory, area);
            SelectObject(memory, old);
        }
        if (memory) DeleteDC(memory);
    }
    if (rc == 0) {
        // the sink may have unloaded the scanner meanwhile: then the picture has no taker
        rc = CallScanner(scanner, KIT_MSG_PREVIEWBITMAP, reinterpret_cast<LONG>(bitmap));
        if (rc == 0) bitmap = nullptr;  // the driver owns it now
    }
    if (bitmap) DeleteObject(bitmap);
    KitRecordEnd(rec, "129 JexdfltPreview(%s, sink, image) = %ld", module ? "module" : "0", rc);
    return rc;
}
