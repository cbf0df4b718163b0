// Host module of the virtual scanner model: the file a TWAIN manager loads as a data source. It
// carries the model's name strings, loads TWJEX32.dll from its own folder (so that the driver
// libraries beside it are found too), hands it this module and forwards every call.
#include <windows.h>

#include "twain/twaindefs.h"

namespace {

using TwJexEntryProc = TW_UINT16(WINAPI *)(DWORD, TW_IDENTITY *, TW_UINT32, TW_UINT16, TW_UINT16,
                                           TW_MEMREF);
using TwJexInitProc = TW_UINT16(WINAPI *)(const HINSTANCE *);

HINSTANCE gSelf;
HMODULE gSource;
TwJexEntryProc gEntry;

template <class Fn>
Fn Proc(HMODULE module, const char *name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Loaded at the first call, not in DllMain, where loading another library is unsafe.
bool LoadSource() {
    if (gEntry) return true;
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(gSelf, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    char *slash = strrchr(path, '\\');
    if (!slash || (slash - path) + sizeof "\\TWJEX32.dll" > MAX_PATH) return false;
    lstrcpyA(slash, "\\TWJEX32.dll");
    gSource = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!gSource) return false;
    auto init = Proc<TwJexInitProc>(gSource, "TwJexInit");
    gEntry = Proc<TwJexEntryProc>(gSource, "TwJexDS_Entry");
    if (!init || !gEntry) {
        FreeLibrary(gSource);
        gSource = nullptr;
        gEntry = nullptr;
        return false;
    }
    const HINSTANCE record[2] = {gSelf, nullptr};
    init(record);
    return true;
}

}  // namespace

extern "C" TW_UINT16 WINAPI DS_Entry(TW_IDENTITY *origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                    TW_MEMREF data) {
    if (!LoadSource()) return TWRC_FAILURE;
    return gEntry(0, origin, dg, dat, msg, data);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        gSelf = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved && gSource) {
        // Unloaded by the manager (not at process exit): let the source unload with us.
        FreeLibrary(gSource);
    }
    return TRUE;
}
