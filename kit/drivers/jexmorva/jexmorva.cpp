// JEXMORVA.drv, the JEXM-writing driver: the last driver of a page chain. It is initialised on an
// empty JEXM image (jexdfltn @70) and fills it from the page-flow messages: 259 describes the
// page, 1538 brings rows, 260 ends the page. The image library is reached by name through the
// kit-private exports of jexmdln.dll, so the driver loads even where jexmdln is missing and then
// fails cleanly.
#include "kit/common/kitcommon.h"

namespace {

typedef LONG(WINAPI *SetPageProc)(HJEXM, const JEXMKITPAGE *, const BYTE *);
typedef LONG(WINAPI *PutRowsProc)(HJEXM, LONG, LONG, const void *, LONG);

struct Writer {
    BOOL used;
    HMODULE jexm;
    SetPageProc setPage;
    PutRowsProc putRows;
    HJEXM image;
    BOOL pageStarted;
    LONG length, rowsWritten;
    JEXDRIVERPROC next;
    DWORD nextInstance;
};
constexpr int kMaxWriters = 4;
Writer g_writers[kMaxWriters];

Writer *Find(DWORD instance) {
    if (instance == 0 || instance > kMaxWriters || !g_writers[instance - 1].used) return nullptr;
    return &g_writers[instance - 1];
}

template <class Fn>
Fn Proc(HMODULE m, LPCSTR name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(m, name)));
}

}  // namespace

extern "C" {

LONG WINAPI KitDrvOpen(const KITHOST *host, LPCSTR name, LONG kind, DWORD *instance) {
    (void)name;
    if (!host || !instance) return KIT_ERR_BADARG;
    if (kind != JEX_LOAD_BYNAME) return KIT_ERR_BADDRIVER;
    for (int i = 0; i < kMaxWriters; ++i) {
        Writer &w = g_writers[i];
        if (w.used) continue;
        ZeroMemory(&w, sizeof w);
        w.jexm = LoadLibraryA("jexmdln.dll");
        if (!w.jexm) return KIT_ERR_NOJEXM;
        w.setPage = Proc<SetPageProc>(w.jexm, "JexmKitSetPage");
        w.putRows = Proc<PutRowsProc>(w.jexm, "JexmKitPutRows");
        if (!w.setPage || !w.putRows) {
            FreeLibrary(w.jexm);
            return KIT_ERR_NOJEXM;
        }
        w.used = TRUE;
        *instance = i + 1;
        return 0;
    }
    return KIT_ERR_TOOMANY;
}

LONG WINAPI KitDrvInit(DWORD instance, LPCSTR name, HJEXM image) {
    (void)name;
    Writer *w = Find(instance);
    if (!w) return KIT_ERR_BADHANDLE;
    if (!image) return KIT_ERR_NOIMAGE;
    w->image = image;
    return 0;
}

LONG WINAPI KitDrvScan(DWORD, HGLOBAL, LONG) { return KIT_ERR_BADMESSAGE; }  // not a scanner

LONG WINAPI KitDrvClose(DWORD instance) {
    Writer *w = Find(instance);
    if (!w) return KIT_ERR_BADHANDLE;
    FreeLibrary(w->jexm);
    ZeroMemory(w, sizeof *w);
    return 0;
}

LONG WINAPI KitDrvEntry(DWORD instance, LONG message, LONG tag, LONG value) {
    Writer *w = Find(instance);
    if (!w) return KIT_ERR_BADHANDLE;
    switch (message & 0xFFFF) {
    case KIT_MSG_PAGESTART: {
        const KITPAGESTART *s = reinterpret_cast<const KITPAGESTART *>(value);
        if (!w->image) return KIT_ERR_NOTINIT;
        if (!KitReadable(s, sizeof *s)) return KIT_ERR_BADARG;
        LONG rc = w->setPage(w->image, &s->page, s->colorMap);
        w->pageStarted = rc == 0;
        w->length = s->page.length;
        w->rowsWritten = 0;
        return rc;
    }
    case KIT_MSG_ROWS: {
        const KITROWS *r = reinterpret_cast<const KITROWS *>(value);
        if (!w->pageStarted) return KIT_ERR_NOTINIT;
        if (!KitReadable(r, sizeof *r) || r->rowCount < 0 || r->pitch <= 0 ||
            !KitReadable(r->rows, static_cast<UINT_PTR>(r->pitch) * r->rowCount))
            return KIT_ERR_BADARG;
        LONG rc = w->putRows(w->image, r->firstRow, r->rowCount, r->rows, r->pitch);
        if (rc == 0) w->rowsWritten += r->rowCount;
        return rc;
    }
    case KIT_MSG_PAGEEND:
        w->pageStarted = FALSE;
        return 0;
    case KIT_MSG_STRIPQUERY: {
        LONG *out = reinterpret_cast<LONG *>(value);
        if (!KitWritable(out, sizeof *out)) return KIT_ERR_BADARG;
        *out = 0;
        return 0;
    }
    case KIT_MSG_CODESSTART: case KIT_MSG_CODE: case 0x343: case 0x344: case 0x345: case 0x346: case 0x347:
        return 0;
    case 0x110: {
        const JEXDRIVER *n = reinterpret_cast<const JEXDRIVER *>(tag);
        if (tag == 0) w->next = nullptr, w->nextInstance = 0;
        else if (KitReadable(n, sizeof *n)) w->next = n->entry, w->nextInstance = n->instance;
        else return KIT_ERR_BADARG;
        return 0;
    }
    case 0x310: case 0x311: case 0x312: case 0x320: case 0x321: case 0x322: case 0x342: case 0x410:
        return KIT_ERR_BADTAG;
    default:
        return KIT_ERR_BADMESSAGE;
    }
}

}  // extern "C"
