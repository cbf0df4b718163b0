// The manager and the source: loading TWAIN_32.DLL, opening it with the hidden parent window,
// finding a source by name, opening and closing it; the names that messages print.
#include <cstdio>
#include <cstring>

#include "app/twacq.h"

namespace {

struct CodeName {
    TW_UINT16 code;
    const char *name;
};

constexpr CodeName kConditionNames[] = {
    {TWCC_SUCCESS, "TWCC_SUCCESS"},
    {TWCC_BUMMER, "TWCC_BUMMER"},
    {TWCC_LOWMEMORY, "TWCC_LOWMEMORY"},
    {TWCC_NODS, "TWCC_NODS"},
    {TWCC_MAXCONNECTIONS, "TWCC_MAXCONNECTIONS"},
    {TWCC_OPERATIONERROR, "TWCC_OPERATIONERROR"},
    {TWCC_BADCAP, "TWCC_BADCAP"},
    {TWCC_BADPROTOCOL, "TWCC_BADPROTOCOL"},
    {TWCC_BADVALUE, "TWCC_BADVALUE"},
    {TWCC_SEQERROR, "TWCC_SEQERROR"},
    {TWCC_BADDEST, "TWCC_BADDEST"},
    {TWCC_CAPUNSUPPORTED, "TWCC_CAPUNSUPPORTED"},
    {TWCC_CAPBADOPERATION, "TWCC_CAPBADOPERATION"},
    {TWCC_CAPSEQERROR, "TWCC_CAPSEQERROR"},
    {TWCC_DENIED, "TWCC_DENIED"},
    {TWCC_FILEEXISTS, "TWCC_FILEEXISTS"},
    {TWCC_FILENOTFOUND, "TWCC_FILENOTFOUND"},
    {TWCC_NOTEMPTY, "TWCC_NOTEMPTY"},
    {TWCC_PAPERJAM, "TWCC_PAPERJAM"},
    {TWCC_PAPERDOUBLEFEED, "TWCC_PAPERDOUBLEFEED"},
    {TWCC_FILEWRITEERROR, "TWCC_FILEWRITEERROR"},
    {TWCC_CHECKDEVICEONLINE, "TWCC_CHECKDEVICEONLINE"},
    {0x8001, "the scanner driver's error"},  // the source's custom code for a driver error
};

constexpr CodeName kCapabilityNames[] = {
    {CAP_XFERCOUNT, "CAP_XFERCOUNT"},
    {ICAP_PIXELTYPE, "ICAP_PIXELTYPE"},
    {ICAP_UNITS, "ICAP_UNITS"},
    {CAP_FEEDERENABLED, "CAP_FEEDERENABLED"},
    {CAP_INDICATORS, "CAP_INDICATORS"},
    {CAP_DUPLEXENABLED, "CAP_DUPLEXENABLED"},
    {ICAP_XRESOLUTION, "ICAP_XRESOLUTION"},
    {ICAP_YRESOLUTION, "ICAP_YRESOLUTION"},
    {ICAP_BITDEPTH, "ICAP_BITDEPTH"},
    {ICAP_SUPPORTEDSIZES, "ICAP_SUPPORTEDSIZES"},
    {ICAP_XFERMECH, "ICAP_XFERMECH"},
    {ICAP_EXTIMAGEINFO, "ICAP_EXTIMAGEINFO"},
    {ICAP_PIXELFLAVOR, "ICAP_PIXELFLAVOR"},
};

// ---- Watchdog: busySince is 0 while no call is running, else GetTickCount at its start (| 1).
struct Watchdog {
    volatile LONG busySince;
    DWORD limitMs;
    HANDLE stop;    // set by StopWatchdog
    HANDLE thread;
};
Watchdog g_watch;  // plain data, zero-initialised; set by StartWatchdog, cleared by StopWatchdog

DWORD WINAPI WatchdogThread(void *) {
    while (WaitForSingleObject(g_watch.stop, 250) == WAIT_TIMEOUT) {
        const DWORD since = static_cast<DWORD>(InterlockedCompareExchange(&g_watch.busySince, 0, 0));
        // The start is rounded up to odd, so a call that began this very millisecond can read as
        // starting one tick ahead: elapsed time is signed.
        if (since && static_cast<LONG>(GetTickCount() - since) > static_cast<LONG>(g_watch.limitMs)) {
            fprintf(stderr, "twacq: the source has not answered for %lu s (a dialog waiting for an answer, or a "
                            "stopped scanner); giving up\n",
                    static_cast<unsigned long>(g_watch.limitMs / 1000));
            fflush(stdout);
            fflush(stderr);
            // The stuck call holds the source's state: nothing can be closed cleanly from here.
            TerminateProcess(GetCurrentProcess(), kExitTimeout);
        }
    }
    return 0;
}

}  // namespace

bool StartWatchdog(DWORD limitMs) {
    g_watch.limitMs = limitMs;
    g_watch.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_watch.thread = g_watch.stop ? CreateThread(nullptr, 0, WatchdogThread, nullptr, 0, nullptr) : nullptr;
    return g_watch.thread != nullptr;
}

void StopWatchdog() {
    if (g_watch.thread) {
        SetEvent(g_watch.stop);
        WaitForSingleObject(g_watch.thread, INFINITE);
        CloseHandle(g_watch.thread);
    }
    if (g_watch.stop) CloseHandle(g_watch.stop);
    g_watch = Watchdog{};
}

TW_UINT16 Call(Session &s, TW_IDENTITY *dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data) {
    // A call made from inside another (a window procedure run by the source's message pump) keeps
    // the outer call's start.
    const LONG outer = InterlockedCompareExchange(&g_watch.busySince, static_cast<LONG>(GetTickCount() | 1), 0);
    const TW_UINT16 rc = s.entry(&s.app, dest, dg, dat, msg, data);
    if (!outer) InterlockedExchange(&g_watch.busySince, 0);
    return rc;
}

TW_UINT16 Status(Session &s, TW_IDENTITY *dest) {
    TW_STATUS status{};
    Call(s, dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    return status.ConditionCode;
}

std::string ConditionText(TW_UINT16 cc) {
    const char *name = "unknown";
    for (const CodeName &c : kConditionNames)
        if (c.code == cc) name = c.name;
    char text[80];
    snprintf(text, sizeof text, "%u %s", cc, name);
    return text;
}

const char *CapabilityName(TW_UINT16 cap) {
    for (const CodeName &c : kCapabilityNames)
        if (c.code == cap) return c.name;
    return "a capability";
}

bool OpenManager(Session &s) {
    s.dsm = LoadLibraryA("TWAIN_32.DLL");
    if (!s.dsm) {
        fprintf(stderr, "twacq: TWAIN_32.DLL not found\n");
        return false;
    }
    s.entry = reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void (*)()>(GetProcAddress(s.dsm, "DSM_Entry")));
    if (!s.entry) {
        fprintf(stderr, "twacq: TWAIN_32.DLL has no DSM_Entry\n");
        return false;
    }
    s.parent = CreateWindowA("STATIC", "twacq", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    s.app.Version.MajorNum = 1;
    s.app.Version.MinorNum = 1;
    s.app.Version.Language = TWLG_USA;
    s.app.Version.Country = TWCY_USA;
    lstrcpyA(s.app.Version.Info, "twacq 1.1");
    s.app.ProtocolMajor = 1;
    s.app.ProtocolMinor = 9;
    s.app.SupportedGroups = DG_CONTROL | DG_IMAGE;
    lstrcpyA(s.app.Manufacturer, "Quilmet Systems, Inc.");
    lstrcpyA(s.app.ProductFamily, "Tools");
    lstrcpyA(s.app.ProductName, "twacq");
    HWND parent = s.parent;
    TW_UINT16 rc = Call(s, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent);
    if (rc != TWRC_SUCCESS) {
        fprintf(stderr, "twacq: MSG_OPENDSM failed (rc %u)\n", rc);
        return false;
    }
    s.open = true;
    return true;
}

void CloseManager(Session &s) {
    if (s.open) {
        HWND parent = s.parent;
        Call(s, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
    }
    if (s.parent) DestroyWindow(s.parent);
    if (s.dsm) FreeLibrary(s.dsm);
}

void PrintIdentity(const TW_IDENTITY &id) {
    printf("source: Id=%lu \"%.34s\" family \"%.34s\" by \"%.34s\" version %u.%u (%.34s) protocol %u.%u groups %#lx\n",
           static_cast<unsigned long>(id.Id), id.ProductName, id.ProductFamily, id.Manufacturer,
           id.Version.MajorNum, id.Version.MinorNum, id.Version.Info, id.ProtocolMajor, id.ProtocolMinor,
           static_cast<unsigned long>(id.SupportedGroups));
}

bool FindSource(Session &s, const char *name, bool list, TW_IDENTITY &found) {
    bool have = false;
    TW_IDENTITY id{};
    for (TW_UINT16 rc = Call(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &id); rc == TWRC_SUCCESS;
         rc = Call(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &id)) {
        if (list) PrintIdentity(id);
        if (name && !have && strncmp(id.ProductName, name, sizeof id.ProductName) == 0) {
            found = id;
            have = true;
        }
        id = TW_IDENTITY{};
    }
    return have;
}

bool OpenSource(Session &s, TW_IDENTITY &source) {
    TW_UINT16 rc = Call(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source);
    if (rc != TWRC_SUCCESS) {
        fprintf(stderr, "twacq: MSG_OPENDS failed (rc %u, condition code %s)\n", rc,
                ConditionText(Status(s, nullptr)).c_str());
        return false;
    }
    printf("opened: Id=%lu\n", static_cast<unsigned long>(source.Id));
    return true;
}

void PrintCapabilities(Session &s, TW_IDENTITY &source) {
    TW_CAPABILITY cap{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
    TW_UINT16 rc = Call(s, &source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap);
    if (rc != TWRC_SUCCESS || cap.ConType != TWON_ARRAY || !cap.hContainer) {
        printf("capabilities: not listed (rc %u, condition code %s)\n", rc, ConditionText(Status(s, &source)).c_str());
        if (cap.hContainer) GlobalFree(cap.hContainer);
        return;
    }
    const auto *a = static_cast<const TW_ARRAY *>(GlobalLock(cap.hContainer));
    printf("capabilities: %lu:", static_cast<unsigned long>(a->NumItems));
    const auto *codes = reinterpret_cast<const TW_UINT16 *>(a->ItemList);
    for (TW_UINT32 i = 0; i < a->NumItems && i < 256; ++i) printf(" %#x", codes[i]);
    printf("\n");
    GlobalUnlock(cap.hContainer);
    GlobalFree(cap.hContainer);
}

bool CloseSource(Session &s, TW_IDENTITY &source) {
    TW_UINT16 rc = Call(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source);
    printf("closed: rc %u\n", rc);
    return rc == TWRC_SUCCESS;
}

int LoadSettings(Session &s, TW_IDENTITY &source, const Options &opts) {
    // The source reads the text in place until its zero byte; the block stays the application's.
    const std::string &text = opts.settingsText;
    HGLOBAL h = GlobalAlloc(GHND, text.size() + 1);
    if (!h) {
        fprintf(stderr, "twacq: out of memory for the settings of %s\n", opts.loadSettings.c_str());
        return kExitRefused;
    }
    memcpy(GlobalLock(h), text.c_str(), text.size() + 1);
    GlobalUnlock(h);
    TW_CUSTOMDSDATA data{static_cast<TW_UINT32>(text.size() + 1), h};
    const TW_UINT16 rc = Call(s, &source, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &data);
    GlobalFree(h);
    if (rc != TWRC_SUCCESS) {
        fprintf(stderr, "twacq: the source refused the settings of %s (DAT_CUSTOMDSDATA MSG_SET): rc %u, condition code %s\n",
                opts.loadSettings.c_str(), rc, ConditionText(Status(s, &source)).c_str());
        return kExitRefused;
    }
    printf("settings: loaded %s (%lu bytes)\n", opts.loadSettings.c_str(), static_cast<unsigned long>(text.size()));
    return kExitOk;
}

int SaveSettings(Session &s, TW_IDENTITY &source, const std::string &path) {
    TW_CUSTOMDSDATA data{};
    const TW_UINT16 rc = Call(s, &source, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &data);
    if (rc != TWRC_SUCCESS || !data.hData) {
        fprintf(stderr, "twacq: the source did not give its settings (DAT_CUSTOMDSDATA MSG_GET): rc %u, condition code %s\n",
                rc, ConditionText(Status(s, &source)).c_str());
        if (data.hData) GlobalFree(data.hData);
        return kExitRefused;
    }
    // The text ends at its zero byte or at InfoLength, whichever comes first, and never past the
    // block the source handed over.
    const SIZE_T block = GlobalSize(data.hData);
    const auto *text = static_cast<const char *>(GlobalLock(data.hData));
    std::string saved;
    if (text) saved.assign(text, strnlen(text, data.InfoLength < block ? data.InfoLength : block));
    GlobalUnlock(data.hData);
    GlobalFree(data.hData);
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD wrote = 0;
    const bool ok = f != INVALID_HANDLE_VALUE &&
                    WriteFile(f, saved.data(), static_cast<DWORD>(saved.size()), &wrote, nullptr) && wrote == saved.size();
    const DWORD error = GetLastError();
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    if (!ok) {
        fprintf(stderr, "twacq: cannot write the settings to %s (error %lu)\n", path.c_str(),
                static_cast<unsigned long>(error));
        if (f != INVALID_HANDLE_VALUE) DeleteFileA(path.c_str());
        return kExitOutput;
    }
    printf("settings: saved %s (%lu bytes)\n", path.c_str(), static_cast<unsigned long>(saved.size()));
    return kExitOk;
}
