// Loading, initialising, scanning with and unloading drivers (@29, @70, @35, @30), and the entry
// that every record handed out points to: it records the message, applies the profile's message
// and tag faults to the scanner, and forwards to the driver file or the driver procedure.
#include <cstdio>
#include <cstring>

#include "kit/jexdfltn/libstate.h"

namespace {

constexpr int kMaxDepth = 48;  // nested calls into one driver (a chain looped onto itself)

template <class Fn>
Fn Proc(HMODULE m, LPCSTR name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(m, name)));
}

// Messages whose tag word names a tag; others carry a pointer or a window there (0x110, 0x125,
// 0x126, 0x348, 0x349), whose low half must not trigger a tag fault by chance.
bool IsTagMessage(LONG message) {
    LONG m = message & 0xFFFF;
    return (m >= 0x310 && m <= 0x347) || (m >= 0x410 && m <= 0x41F);
}

bool ValidName(const char *name) {
    if (!name[0]) return false;
    for (const char *p = name; *p; ++p)
        if (!((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9') || *p == '_' || *p == '-'))
            return false;
    return true;
}

KitSlot *FreeSlot() {
    for (KitSlot &s : g_kit.slots)
        if (s.instance == 0) return &s;
    return nullptr;
}

void ClearRecord(JEXDRIVER *record) {
    record->entry = nullptr;
    record->errorWord = record->instance = record->reserved = 0;
}

const char *KindName(LONG kind) {
    return kind == JEX_LOAD_SCANNER ? "kind 2" : kind == JEX_LOAD_PROCEDURE ? "kind 1" : kind == JEX_LOAD_BYNAME ? "kind 0" : "kind ?";
}

LONG WINAPI DriverFault(int target, LONG number) { return KitCheckFault(target, number); }
LONG WINAPI DriverRecordBegin(void) { return KitRecordBegin(); }
void WINAPI DriverRecordEnd(LONG index, LPCSTR line) {
    char copy[600];
    KitCopyString(copy, sizeof copy, line);
    KitRecordEnd(index, "%s", copy);
}

// Opens the driver file "<folder><name>.drv".
LONG OpenDriverFile(KitSlot *slot, const char *name, LONG kind) {
    const char *file = name;
    if (g_kit.standardFamily[0] && !lstrcmpiA(name, g_kit.standardFamily) && kind == JEX_LOAD_SCANNER) file = "ORVAVS";
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s%s.drv", g_kit.folder, file);
    HMODULE m = LoadLibraryA(path);
    if (!m) {
        lstrcpynA(g_kit.lastLoadError, path, sizeof g_kit.lastLoadError);
        return KIT_ERR_NODRIVER;
    }
    auto open = Proc<KITDRVOPEN>(m, "KitDrvOpen");
    slot->entry = Proc<JEXDRIVERPROC>(m, "KitDrvEntry");
    slot->init = Proc<KITDRVINIT>(m, "KitDrvInit");
    slot->scan = Proc<KITDRVSCAN>(m, "KitDrvScan");
    slot->close = Proc<KITDRVCLOSE>(m, "KitDrvClose");
    if (!open || !slot->entry || !slot->init || !slot->scan || !slot->close) {
        FreeLibrary(m);
        return KIT_ERR_BADDRIVER;
    }
    slot->callbacks = 0;
    KITHOST host = {kind == JEX_LOAD_SCANNER ? &g_kit.profile : nullptr, KitRecordLine, GetModuleHandleA("jexdfltn.dll"),
                    KitPageError, &slot->callbacks, DriverFault, DriverRecordBegin, DriverRecordEnd};
    LONG rc = open(&host, name, kind, &slot->driverInstance);
    if (rc != 0) {
        FreeLibrary(m);
        return rc;
    }
    slot->module = m;
    return 0;
}

// Unloads a slot unless code of it still runs (a call through its record, a scan, a call-back
// of its dialog), which would return into freed code or a cleared record.
bool TryRelease(KitSlot *slot) {
    if (slot->depth > 0 || slot->callbacks > 0) return false;
    if (slot->module) {
        if (slot->close(slot->driverInstance) == KIT_ERR_BUSY) return false;
        FreeLibrary(slot->module);
    }
    ZeroMemory(slot, sizeof *slot);
    return true;
}

void CALLBACK ReleaseTimer(HWND, UINT, UINT_PTR, DWORD) { KitReleaseClosing(); }

// "ORVAVS" or "unknown" for a record, for the log.
const char *RecordName(const JEXDRIVER *record, KitSlot **slotOut) {
    *slotOut = nullptr;
    if (!record || !KitReadable(record, sizeof *record)) return record ? "<unreadable>" : "null";
    *slotOut = KitFindSlot(record->instance);
    return *slotOut ? (*slotOut)->name : "unknown";
}

}  // namespace

KitSlot *KitFindSlotAny(DWORD instance) {
    if (instance == 0) return nullptr;
    for (KitSlot &s : g_kit.slots)
        if (s.instance == instance) return &s;
    return nullptr;
}

KitSlot *KitFindSlot(DWORD instance) {
    KitSlot *s = KitFindSlotAny(instance);
    return s && !s->closing ? s : nullptr;
}

void KitReleaseClosing() {
    bool pending = false;
    for (KitSlot &s : g_kit.slots)
        if (s.instance != 0 && s.closing && !TryRelease(&s)) pending = true;
    // A dialog's call-back that unloaded its driver returns into the driver: the release waits
    // for the caller's message loop, which runs again once that code has left.
    if (pending && !g_kit.releaseTimer) {
        g_kit.releaseTimer = SetTimer(nullptr, 0, 20, ReleaseTimer);
    } else if (!pending && g_kit.releaseTimer) {
        KillTimer(nullptr, g_kit.releaseTimer);
        g_kit.releaseTimer = 0;
    }
}

void KitCloseSlot(KitSlot *slot) {
    slot->closing = TRUE;
    // A scan in progress stops at its next strip instead of running on for nobody.
    if (slot->module && (slot->depth > 0 || slot->callbacks > 0)) slot->entry(slot->driverInstance, 0x606, 0, 0);
    KitReleaseClosing();
}

void KitReleaseAll() {
    for (KitSlot &s : g_kit.slots) {
        if (s.instance == 0) continue;
        if (s.module) {
            s.close(s.driverInstance);
            FreeLibrary(s.module);
        }
        ZeroMemory(&s, sizeof s);
    }
    if (g_kit.releaseTimer) KillTimer(nullptr, g_kit.releaseTimer);
    g_kit.releaseTimer = 0;
}

KitSlot *KitFindSlotByLibRecord(const JEXLIBRECORD *record) {
    for (KitSlot &s : g_kit.slots)
        if (s.instance != 0 && s.kind == JEX_LOAD_PROCEDURE && record == &s.lib) return &s;
    return nullptr;
}

LONG WINAPI KitDriverEntry(DWORD instance, LONG message, LONG tag, LONG value) {
    int rec = KitRecordBegin();
    KitSlot *slot = KitFindSlot(instance);
    char text[500];
    if (!slot) {
        KitFormatMessage(text, sizeof text, message, tag, value, KIT_ERR_BADHANDLE);
        KitRecordEnd(rec, "[unknown] %s", text);
        return KIT_ERR_BADHANDLE;
    }
    LONG rc = 0;
    char name[32];
    lstrcpynA(name, slot->name, sizeof name);
    const LONG kind = slot->kind;
    if (slot->depth >= kMaxDepth) {
        rc = KIT_ERR_BUSY;
    } else {
        if (kind == JEX_LOAD_SCANNER) {
            rc = KitCheckMessageFault(message, tag & 0xFFFF, IsTagMessage(message));
        }
        if (rc == 0) {
            rc = KitCallInside(slot, [&](KitSlot *s) {
                return kind == JEX_LOAD_PROCEDURE ? s->procedure(&s->lib, message, tag, value)
                                                  : s->entry(s->driverInstance, message, tag, value);
            });
        }
    }
    KitFormatMessage(text, sizeof text, message, tag, value, rc);
    if (kind == JEX_LOAD_SCANNER) KitRecordEnd(rec, "%s", text);
    else KitRecordEnd(rec, "[%s] %s", name, text);
    return rc;
}

extern "C" {

LONG WINAPI JexdfltLoadDriver(LONG reserved, const void *nameOrProcedure, JEXDRIVER *record, LONG kind) {
    int rec = KitRecordBegin();
    char what[220];
    if (kind == JEX_LOAD_PROCEDURE) snprintf(what, sizeof what, nameOrProcedure ? "procedure" : "null");
    else KitQuote(what, sizeof what, static_cast<LPCSTR>(nameOrProcedure));
    LONG rc = 0;
    KitSlot *slot = nullptr;
    char name[32] = {};
    g_kit.lastLoadError[0] = 0;
    KitReleaseClosing();
    if (!record || !KitWritable(record, sizeof *record) || !nameOrProcedure ||
        (kind != JEX_LOAD_BYNAME && kind != JEX_LOAD_PROCEDURE && kind != JEX_LOAD_SCANNER)) {
        rc = KIT_ERR_BADARG;
    } else if (ClearRecord(record), g_kit.startCount <= 0) {
        rc = KIT_ERR_NOTSTARTED;
    } else if ((rc = KitCheckFault(KIT_FAULT_ORDINAL, 29)) != 0) {
    } else if (!(slot = FreeSlot())) {
        rc = KIT_ERR_TOOMANY;
    } else if (kind == JEX_LOAD_PROCEDURE) {
        slot->procedure = reinterpret_cast<JEXDRIVERPROCEDURE>(const_cast<void *>(nameOrProcedure));
        lstrcpynA(name, "procedure", sizeof name);
    } else if (!KitCopyString(name, sizeof name, static_cast<LPCSTR>(nameOrProcedure)) || !ValidName(name)) {
        rc = KIT_ERR_BADARG;
    } else if (kind == JEX_LOAD_SCANNER && g_kit.profileError != 0) {
        rc = g_kit.profileError;
        lstrcpynA(g_kit.lastLoadError, g_kit.profileErrorText, sizeof g_kit.lastLoadError);
    } else {
        rc = OpenDriverFile(slot, name, kind);
    }
    if (rc == 0) {
        slot->instance = (g_kit.nextGeneration++ << 8) | static_cast<DWORD>(slot - g_kit.slots + 1);
        slot->kind = kind;
        lstrcpynA(slot->name, name, sizeof slot->name);
        slot->lib.words[0] = reinterpret_cast<DWORD>(&KitDriverEntry);
        slot->lib.words[2] = slot->instance;
        record->entry = &KitDriverEntry;
        record->errorWord = slot->instance;
        record->instance = slot->instance;
    } else if (slot && slot->instance == 0) {
        ZeroMemory(slot, sizeof *slot);
    }
    KitRecordEnd(rec, "29 JexdfltLoadDriver(%ld, %s, %s) = %ld", reserved, what, KindName(kind), rc);
    return rc;
}

LONG WINAPI JexdfltInitDriver(JEXDRIVER *record, LPCSTR name, HJEXM image) {
    int rec = KitRecordBegin();
    KitSlot *slot;
    const char *who = RecordName(record, &slot);
    char q[220];
    KitQuote(q, sizeof q, name);
    char whoCopy[32];
    lstrcpynA(whoCopy, who, sizeof whoCopy);
    LONG rc = KitCheckFault(KIT_FAULT_ORDINAL, 70);
    if (rc == 0 && !slot) rc = KIT_ERR_BADHANDLE;
    if (rc == 0 && slot->module) {
        const DWORD id = slot->instance;
        rc = KitCallInside(slot, [&](KitSlot *s) { return s->init(s->driverInstance, name, image); });
        slot = KitFindSlot(id);  // gone if it was unloaded during its initialisation
    }
    if (rc == 0 && slot) slot->initialised = TRUE;
    KitRecordEnd(rec, "70 JexdfltInitDriver(%s, %s, %s) = %ld", whoCopy, q, image ? "image" : "0", rc);
    return rc;
}

LONG WINAPI JexdfltScan(JEXDRIVER *record, HGLOBAL buffer, LONG size) {
    int rec = KitRecordBegin();
    KitSlot *slot;
    const char *who = RecordName(record, &slot);
    char name[32];
    lstrcpynA(name, who, sizeof name);
    LONG rc = KitCheckFault(KIT_FAULT_ORDINAL, 35);
    if (rc == 0 && !slot) rc = KIT_ERR_BADHANDLE;
    if (rc == 0 && (size < 0 || size > 0x1000000 || (size > 0 && (!buffer || GlobalSize(buffer) < static_cast<SIZE_T>(size)))))
        rc = KIT_ERR_BADARG;
    if (rc == 0 && !slot->module) rc = KIT_ERR_BADMESSAGE;
    if (rc == 0 && !slot->initialised) rc = KIT_ERR_NOTINIT;
    if (rc == 0) {
        // The scan calls the yield call-back, from which the caller may close the source and
        // unload this driver.
        rc = KitCallInside(slot, [&](KitSlot *s) { return s->scan(s->driverInstance, buffer, size); });
    }
    KitRecordEnd(rec, "35 JexdfltScan(%s, %ld) = %ld", name, size, rc);
    return rc;
}

LONG WINAPI JexdfltUnloadDriver(JEXDRIVER *record) {
    int rec = KitRecordBegin();
    KitSlot *slot;
    const char *who = RecordName(record, &slot);
    char name[32];
    lstrcpynA(name, who, sizeof name);
    LONG rc = KitCheckFault(KIT_FAULT_ORDINAL, 30);
    if (!slot) {
        if (rc == 0) rc = KIT_ERR_BADHANDLE;
    } else {
        // An injected fault is reported, but the driver goes all the same. A driver whose code
        // still runs (the caller unloads it from a call-back) is gone for callers now and is
        // released when that code has returned.
        if (KitWritable(record, sizeof *record)) ClearRecord(record);
        KitCloseSlot(slot);
    }
    KitReleaseClosing();
    KitRecordEnd(rec, "30 JexdfltUnloadDriver(%s) = %ld", name, rc);
    return rc;
}

}  // extern "C"
