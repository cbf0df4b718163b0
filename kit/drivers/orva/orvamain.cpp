// Entries of ORVAVS.drv that jexdfltn calls (KitDrvOpen, KitDrvInit, KitDrvScan, KitDrvClose and
// KitDrvEntry, the driver's message entry), and the dispatch of driver messages.
#include <cstring>

#include "kit/drivers/orva/orva.h"

namespace {
Orva g_instances[ORVA_MAX_INSTANCES];

DWORD InstanceOf(const Orva *o) { return static_cast<DWORD>(o - g_instances) + 1; }

LONG Chain(Orva *o, LONG tag) {
    if (tag == 0) {
        o->next = nullptr;
        o->nextInstance = 0;
        return 0;
    }
    const JEXDRIVER *next = reinterpret_cast<const JEXDRIVER *>(tag);
    if (!KitReadable(next, sizeof *next) || !next->entry) return KIT_ERR_BADARG;
    o->next = next->entry;
    o->nextInstance = next->instance;
    return 0;
}
}  // namespace

Orva *OrvaFromInstance(DWORD instance) {
    if (instance == 0 || instance > ORVA_MAX_INSTANCES) return nullptr;
    Orva *o = &g_instances[instance - 1];
    return o->used ? o : nullptr;
}

extern "C" {

LONG WINAPI KitDrvOpen(const KITHOST *host, LPCSTR name, LONG kind, DWORD *instance) {
    (void)name;
    if (!host || !host->profile || !instance) return KIT_ERR_BADARG;
    if (kind != JEX_LOAD_SCANNER) return KIT_ERR_BADDRIVER;
    Orva *o = nullptr;
    for (Orva &x : g_instances)
        if (!x.used) {
            o = &x;
            break;
        }
    if (!o) return KIT_ERR_TOOMANY;
    ZeroMemory(o, sizeof *o);
    o->snapshots = static_cast<OrvaValues *>(HeapAlloc(GetProcessHeap(), 0, sizeof(OrvaValues) * ORVA_MAX_SNAPSHOTS));
    o->profile = static_cast<KitProfile *>(HeapAlloc(GetProcessHeap(), 0, sizeof(KitProfile)));
    if (!o->snapshots || !o->profile) {
        if (o->snapshots) HeapFree(GetProcessHeap(), 0, o->snapshots);
        if (o->profile) HeapFree(GetProcessHeap(), 0, o->profile);
        ZeroMemory(o, sizeof *o);
        return KIT_ERR_NOMEMORY;
    }
    *o->profile = *host->profile;
    o->host = *host;
    o->host.profile = o->profile;
    o->p = o->profile;
    o->used = TRUE;
    OrvaBuildTags(o);
    *instance = InstanceOf(o);
    return 0;
}

LONG WINAPI KitDrvInit(DWORD instance, LPCSTR name, HJEXM image) {
    (void)name;
    (void)image;
    Orva *o = OrvaFromInstance(instance);
    if (!o) return KIT_ERR_BADHANDLE;
    o->initialised = TRUE;
    return 0;
}

LONG WINAPI KitDrvScan(DWORD instance, HGLOBAL buffer, LONG size) {
    (void)buffer;
    (void)size;
    Orva *o = OrvaFromInstance(instance);
    if (!o) return KIT_ERR_BADHANDLE;
    if (o->scanning) return KIT_ERR_BUSY;
    o->scanning = TRUE;
    o->abortRequested = FALSE;
    LONG rc = OrvaScan(o);
    o->scanning = FALSE;
    return rc;
}

LONG WINAPI KitDrvClose(DWORD instance) {
    Orva *o = OrvaFromInstance(instance);
    if (!o) return KIT_ERR_BADHANDLE;
    if (o->scanning) return KIT_ERR_BUSY;  // OrvaScan still runs on this instance
    OrvaCloseDialogs(o);
    HeapFree(GetProcessHeap(), 0, o->snapshots);
    HeapFree(GetProcessHeap(), 0, o->profile);
    ZeroMemory(o, sizeof *o);
    return 0;
}

LONG WINAPI KitDrvEntry(DWORD instance, LONG message, LONG tag, LONG value) {
    Orva *o = OrvaFromInstance(instance);
    if (!o) return KIT_ERR_BADHANDLE;
    LONG msg = message & 0xFFFF;
    switch (msg) {
    case 0x110: return Chain(o, tag);
    case 0x120: return 0;  // the settings dialog's private command: nothing to do
    case 0x123: return OrvaAdvancedDialog(o, reinterpret_cast<HWND>(tag));
    case 0x125: return OrvaShowDialog(o, reinterpret_cast<HWND>(tag), reinterpret_cast<DriverDialogRecord *>(value));
    case 0x126: return OrvaPreviewMessage(o, tag, value);
    case 0x346: case 0x347: return 0;
    case 0x604: {
        LONG *out = reinterpret_cast<LONG *>(value);
        if (!KitWritable(out, sizeof *out)) return KIT_ERR_BADARG;
        *out = OrvaPaperStatus(o);
        return 0;
    }
    case 0x606:
        o->abortRequested = TRUE;
        return 0;
    case KIT_MSG_PREVIEWWINDOW: {
        HWND *out = reinterpret_cast<HWND *>(value);
        if (!KitWritable(out, sizeof *out)) return KIT_ERR_BADARG;
        *out = o->previewArea;
        return o->previewArea ? 0 : KIT_ERR_NODIALOG;
    }
    case KIT_MSG_PREVIEWBITMAP: return OrvaSetPreviewBitmap(o, reinterpret_cast<HBITMAP>(value));
    default:
        return OrvaTagMessage(o, msg, tag, value);
    }
}

}  // extern "C"
