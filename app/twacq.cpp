// twacq: a small command-line TWAIN application. It opens the data source manager with a real
// (hidden) parent window, lists the data sources with their identities and picks one by name.
//
//   twacq [--list] [--source NAME]
//
// The source is opened, asked for its capabilities and closed again.
// Exit code: 0 success, 1 the manager could not be loaded or opened, 2 the source is not there,
// 3 the source could not be opened.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "twain/twaindefs.h"

namespace {

struct Session {
    HMODULE dsm = nullptr;
    DSMENTRYPROC entry = nullptr;
    HWND parent = nullptr;
    TW_IDENTITY app{};
    bool open = false;
};

TW_UINT16 Call(Session &s, TW_IDENTITY *dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data) {
    return s.entry(&s.app, dest, dg, dat, msg, data);
}

TW_UINT16 Status(Session &s, TW_IDENTITY *dest) {
    TW_STATUS status{};
    Call(s, dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    return status.ConditionCode;
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
    s.app.Version.MinorNum = 0;
    s.app.Version.Language = TWLG_USA;
    s.app.Version.Country = TWCY_USA;
    lstrcpyA(s.app.Version.Info, "twacq 1.0");
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

// Walks the manager's list; prints each source when list is set; fills found when named.
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

// Opens the source through the manager, lists what it negotiates, closes it.
bool OpenAndDescribe(Session &s, TW_IDENTITY &source) {
    TW_UINT16 rc = Call(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source);
    if (rc != TWRC_SUCCESS) {
        fprintf(stderr, "twacq: MSG_OPENDS failed (rc %u, condition code %u)\n", rc, Status(s, nullptr));
        return false;
    }
    printf("opened: Id=%lu\n", static_cast<unsigned long>(source.Id));
    TW_CAPABILITY cap{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
    rc = Call(s, &source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap);
    if (rc == TWRC_SUCCESS && cap.ConType == TWON_ARRAY && cap.hContainer) {
        auto *a = static_cast<TW_ARRAY *>(GlobalLock(cap.hContainer));
        printf("capabilities: %lu:", static_cast<unsigned long>(a->NumItems));
        const auto *codes = reinterpret_cast<const TW_UINT16 *>(a->ItemList);
        for (TW_UINT32 i = 0; i < a->NumItems && i < 64; ++i) printf(" %#x", codes[i]);
        printf("\n");
        GlobalUnlock(cap.hContainer);
        GlobalFree(cap.hContainer);
    } else {
        printf("capabilities: not listed (rc %u, condition code %u)\n", rc, Status(s, &source));
    }
    rc = Call(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source);
    printf("closed: rc %u\n", rc);
    return rc == TWRC_SUCCESS;
}

}  // namespace

int main(int argc, char **argv) {
    const char *name = "JEX Virtual Scanner";
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--list")) list = true;
        else if (!strcmp(argv[i], "--source") && i + 1 < argc) name = argv[++i];
        else {
            fprintf(stderr, "usage: twacq [--list] [--source NAME]\n");
            return 1;
        }
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    Session s;
    if (!OpenManager(s)) {
        CloseManager(s);
        return 1;
    }
    TW_IDENTITY source{};
    int exitCode = 0;
    if (FindSource(s, name, list, source)) {
        printf("selected: \"%.34s\"\n", source.ProductName);
        PrintIdentity(source);
        if (!OpenAndDescribe(s, source)) exitCode = 3;
    } else {
        fprintf(stderr, "twacq: no source named \"%s\" (condition code %u)\n", name, Status(s, nullptr));
        exitCode = 2;
    }
    CloseManager(s);
    return exitCode;
}
