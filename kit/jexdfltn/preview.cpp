// Preview (@129): draws the preview image into the scanner driver's own dialog through the image
// sink the data source hands over (create a zone, read the size, draw, free the zone).
#include "kit/jexdfltn/libstate.h"

extern "C" LONG WINAPI JexdfltPreview(HINSTANCE module, JEXIMAGESINK sink, HJEXM image) {
    int rec = KitRecordBegin();
    LONG rc = KitCheckFault(KIT_FAULT_ORDINAL, 129);
    HWND window = nullptr;
    if (rc == 0 && (!sink || !image)) rc = KIT_ERR_BADARG;
    if (rc == 0) {
        KitSlot *scanner = nullptr;
        for (KitSlot &s : g_kit.slots)
            if (s.instance && s.kind == JEX_LOAD_SCANNER) scanner = &s;
        if (!scanner) rc = KIT_ERR_BADHANDLE;
        else rc = scanner->entry(scanner->driverInstance, KIT_MSG_PREVIEWWINDOW, 0, reinterpret_cast<LONG>(&window));
        if (rc == 0 && !IsWindow(window)) rc = KIT_ERR_NODIALOG;
    }
    if (rc == 0) rc = sink(1, 0, image);
    if (rc == 0) {
        LONG width = 0, length = 0;
        rc = sink(3 | (256 << 16), reinterpret_cast<LONG>(&width), image);
        if (rc == 0) rc = sink(3 | (257 << 16), reinterpret_cast<LONG>(&length), image);
        if (rc == 0) {
            RECT client;
            GetClientRect(window, &client);
            HDC dc = GetDC(window);
            // word 1: the device context; words 2-5: the target rectangle; words 6-9: the source.
            LONG block[10] = {0, reinterpret_cast<LONG>(dc), client.left, client.top, client.right, client.bottom, 0, 0, width, length};
            rc = sink(5, reinterpret_cast<LONG>(block), image);
            ReleaseDC(window, dc);
        }
        sink(2, 0, image);
    }
    KitRecordEnd(rec, "129 JexdfltPreview(%s, sink, image) = %ld", module ? "module" : "0", rc);
    return rc;
}
