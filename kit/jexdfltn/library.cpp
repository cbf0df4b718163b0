// Start and end of the library (@73/@74), the vendor and family calls (@115/@40) and the
// settings store (@47/@48). The store is an INI file named by JEXKIT_SETTINGS, or
// "jexkit-settings.ini" beside the library, so that parallel tests each keep their own.
#include <cstdio>
#include <cstring>

#include "kit/jexdfltn/libstate.h"

KitLib g_kit;

namespace {

void ReadProfileFile();

// The file an environment variable names (false when it is not set). A relative name is taken
// from the kit's folder, like every other file of the kit, never from the current folder, which
// an application changes at will.
bool PathFromEnvironment(const char *variable, char *path, int size) {
    char env[MAX_PATH] = {}, joined[2 * MAX_PATH];
    DWORD n = GetEnvironmentVariableA(variable, env, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    bool absolute = env[0] == '\\' || env[0] == '/' || (env[0] && env[1] == ':');
    snprintf(joined, sizeof joined, "%s%s", absolute ? "" : g_kit.folder, env);
    DWORD got = GetFullPathNameA(joined, size, path, nullptr);
    if (got == 0 || got >= static_cast<DWORD>(size)) lstrcpynA(path, joined, size);
    return true;
}

void SettingsPath(char *path, int size) {
    if (!PathFromEnvironment("JEXKIT_SETTINGS", path, size)) snprintf(path, size, "%sjexkit-settings.ini", g_kit.folder);
}

// The profile: JEXKIT_PROFILE, else "ORVAVS.ini" beside the library, else the built-in model.
// Faults count across starts of the library while the profile names the same faults, so that
// "once" means once per process, not once per open.
void KeepFaultCounts(const KitFault *old, int oldCount) {
    KitProfile &p = g_kit.profile;
    if (oldCount != p.faultCount) return;
    for (int i = 0; i < oldCount; ++i) {
        const KitFault &a = old[i];
        const KitFault &b = p.faults[i];
        if (a.target != b.target || a.number != b.number || a.tag != b.tag || a.error != b.error || a.when != b.when ||
            a.nth != b.nth)
            return;
    }
    for (int i = 0; i < oldCount; ++i) {
        p.faults[i].calls = old[i].calls;
        p.faults[i].spent = old[i].spent;
    }
}

void ReadProfile() {
    KitFault old[KIT_MAX_FAULTS];
    int oldCount = g_kit.profile.faultCount;
    memcpy(old, g_kit.profile.faults, sizeof old);
    char oldPath[MAX_PATH];
    lstrcpynA(oldPath, g_kit.profile.path, MAX_PATH);
    ReadProfileFile();
    if (!lstrcmpiA(oldPath, g_kit.profile.path)) KeepFaultCounts(old, oldCount);
}

void ReadProfileFile() {
    char path[MAX_PATH] = {};
    g_kit.profileRead = TRUE;
    g_kit.profileError = 0;
    g_kit.profileErrorText[0] = 0;
    if (!PathFromEnvironment("JEXKIT_PROFILE", path, MAX_PATH)) {
        snprintf(path, sizeof path, "%sORVAVS.ini", g_kit.folder);
        if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
            KitDefaultProfile(&g_kit.profile);
            return;
        }
    }
    g_kit.profileError = KitReadProfile(path, &g_kit.profile, g_kit.profileErrorText, sizeof g_kit.profileErrorText);
    if (g_kit.profileError != 0) g_kit.profile.faultCount = 0;
}

bool Fires(KitFault &f) {
    ++f.calls;
    switch (f.when) {
    case KIT_WHEN_ONCE:
        if (f.spent) return false;
        f.spent = TRUE;
        return true;
    case KIT_WHEN_AT: return f.calls == f.nth;
    case KIT_WHEN_FROM: return f.calls >= f.nth;
    default: return true;
    }
}

}  // namespace

LONG KitCheckFault(int target, LONG number) {
    LONG error = 0;
    for (int i = 0; i < g_kit.profile.faultCount; ++i) {
        KitFault &f = g_kit.profile.faults[i];
        if (f.target == target && f.number == number && f.tag == 0 && Fires(f) && error == 0) error = f.error;
    }
    return error;
}

LONG KitCheckMessageFault(LONG message, LONG tag, BOOL carriesTag) {
    LONG error = 0;
    for (int i = 0; i < g_kit.profile.faultCount; ++i) {
        KitFault &f = g_kit.profile.faults[i];
        bool match = f.target == KIT_FAULT_MESSAGE ? f.number == message && (f.tag == 0 || (carriesTag && f.tag == tag))
                                                    : f.target == KIT_FAULT_TAG && carriesTag && f.number == tag;
        if (match && Fires(f) && error == 0) error = f.error;
    }
    return error;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&g_kit.lock);
        KitModuleFolder(instance, g_kit.folder, MAX_PATH);
        g_kit.nextGeneration = 1;
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the process goes on: drivers left loaded would keep their files mapped,
        // their slots and a modeless dialog on the screen with nobody to serve them.
        KitReleaseAll();
    }
    return TRUE;
}

extern "C" {

// jexmdln asks here whether a fault of the profile fires for a call of one of its ordinals, so
// that one [Faults] list, counted in one place, covers both libraries.
LONG WINAPI JexKitJexmFault(LONG ordinal) { return KitCheckFault(KIT_FAULT_JEXM, ordinal); }

LONG WINAPI JexdfltInit(void) {
    int rec = KitRecordBegin();
    KitReleaseClosing();
    ReadProfile();
    if (!PathFromEnvironment("JEXKIT_LOG", g_kit.logPath, MAX_PATH)) g_kit.logPath[0] = 0;
    LONG rc = KitCheckFault(KIT_FAULT_ORDINAL, 73);
    if (rc == 0) ++g_kit.startCount;
    KitRecordEnd(rec, "73 JexdfltInit() = %ld", rc);
    return rc;
}

LONG WINAPI JexdfltDone(void) {
    int rec = KitRecordBegin();
    LONG rc = KitCheckFault(KIT_FAULT_ORDINAL, 74);
    if (g_kit.startCount > 0) --g_kit.startCount;
    // The last end of the library takes down what its callers forgot to unload, and says so in
    // the log, where a test finds the leak.
    char left[200] = "";
    if (g_kit.startCount == 0) {
        for (KitSlot &s : g_kit.slots) {
            if (s.instance == 0 || s.closing) continue;
            size_t used = strlen(left);
            snprintf(left + used, sizeof left - used, "%s%s", used ? ", " : "", s.name);
            KitCloseSlot(&s);
        }
    }
    KitReleaseClosing();
    KitRecordEnd(rec, "74 JexdfltDone() = %ld", rc);
    if (left[0]) KitRecord("74 drivers still loaded: %s", left);
    return rc;
}

LONG WINAPI JexdfltSetVendor(LPCSTR vendor) {
    char q[220];
    KitQuote(q, sizeof q, vendor);
    LONG rc = vendor ? 0 : KIT_ERR_BADARG;
    if (rc == 0) KitCopyString(g_kit.vendor, sizeof g_kit.vendor, vendor);
    if (rc == 0) rc = KitCheckFault(KIT_FAULT_ORDINAL, 115);
    KitRecord("115 JexdfltSetVendor(%s) = %ld", q, rc);
    return rc;
}

LONG WINAPI JexdfltSelectFamily(LONG reserved, LPCSTR family) {
    char q[220];
    KitQuote(q, sizeof q, family);
    char name[32];
    LONG rc = KitCopyString(name, sizeof name, family) && name[0] ? 0 : KIT_ERR_BADARG;
    if (rc == 0) lstrcpynA(g_kit.standardFamily, name, sizeof g_kit.standardFamily);
    if (rc == 0) rc = KitCheckFault(KIT_FAULT_ORDINAL, 40);
    KitRecord("40 JexdfltSelectFamily(%ld, %s) = %ld", reserved, q, rc);
    return rc;
}

// 0 when the key exists and buffer holds its text (cut to size - 1); 1 when it is missing.
LONG WINAPI JexdfltGetSetting(LONG reserved, LPCSTR section, LPCSTR key, LPSTR buffer, LONG size) {
    char qs[220], qk[220];
    KitQuote(qs, sizeof qs, section);
    KitQuote(qk, sizeof qk, key);
    char sec[256], k[256], path[MAX_PATH];
    LONG rc = 0;
    char value[1024] = {};
    if (!KitCopyString(sec, sizeof sec, section) || !KitCopyString(k, sizeof k, key) || sec[0] == 0 || k[0] == 0 ||
        size <= 0 || size > 0x100000 || !KitWritable(buffer, size)) {
        rc = KIT_ERR_BADARG;
    } else {
        SettingsPath(path, sizeof path);
        static const char kMissing[] = "\x01<missing>";
        GetPrivateProfileStringA(sec, k, kMissing, value, sizeof value, path);
        if (strcmp(value, kMissing) == 0) {
            rc = 1;
            value[0] = 0;
        }
        lstrcpynA(buffer, value, size);
        if (rc == 0) rc = KitCheckFault(KIT_FAULT_ORDINAL, 47);
    }
    if (rc == 0) KitRecord("47 JexdfltGetSetting(%ld, %s, %s, %ld) = 0 -> \"%s\"", reserved, qs, qk, size, value);
    else KitRecord("47 JexdfltGetSetting(%ld, %s, %s, %ld) = %ld", reserved, qs, qk, size, rc);
    return rc;
}

LONG WINAPI JexdfltPutSetting(LONG reserved, LPCSTR section, LPCSTR key, LPCSTR value) {
    char qs[220], qk[220], qv[220];
    KitQuote(qs, sizeof qs, section);
    KitQuote(qk, sizeof qk, key);
    KitQuote(qv, sizeof qv, value);
    char sec[256], k[256], v[1024], path[MAX_PATH];
    LONG rc = 0;
    if (!KitCopyString(sec, sizeof sec, section) || !KitCopyString(k, sizeof k, key) ||
        !KitCopyString(v, sizeof v, value) || sec[0] == 0 || k[0] == 0) {
        rc = KIT_ERR_BADARG;
    } else {
        rc = KitCheckFault(KIT_FAULT_ORDINAL, 48);
        SettingsPath(path, sizeof path);
        if (rc == 0 && !WritePrivateProfileStringA(sec, k, v, path)) rc = KIT_ERR_FAULT;
    }
    KitRecord("48 JexdfltPutSetting(%ld, %s, %s, %s) = %ld", reserved, qs, qk, qv, rc);
    return rc;
}

}  // extern "C"
