// The virtual jexlocn: translations of the data source's English texts from "twjex.loc".
// The file is UTF-8 text, one "English=Translation" pair a line ("#" starts a comment, "\n" in
// either half stands for a line break); texts are handed out in the ANSI code page. The file is
// looked for as JEXKIT_LOCFILE names it, else under the name given to @62 beside this library.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "jexapi.h"

namespace {

constexpr int kMaxEntries = 2000;
constexpr int kMaxText = 512;

struct Entry { char *english; char *translation; };
struct LocState {
    Entry *entries;   // allocated at @62, freed at unload
    int count;
    char folder[MAX_PATH];
} g_loc;

typedef LONG(WINAPI *RecordProc)(LPCSTR);

// Adds a line to jexdfltn's call log when jexdfltn is loaded.
void Record(const char *fmt, ...) {
    HMODULE dflt = GetModuleHandleA("jexdfltn.dll");
    if (!dflt) return;
    auto rec = reinterpret_cast<RecordProc>(reinterpret_cast<void (*)(void)>(GetProcAddress(dflt, "JexKitRecord")));
    if (!rec) return;
    char line[600];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    rec(line);
}

// Copies a caller's string that may be unreadable or unterminated (at most size-1 characters).
bool SafeCopy(char *dst, int size, const char *src) {
    dst[0] = 0;
    if (!src) return false;
    for (int i = 0; i < size - 1; ++i) {
        if (IsBadReadPtr(src + i, 1)) {
            dst[0] = 0;
            return false;
        }
        dst[i] = src[i];
        if (!src[i]) return true;
    }
    dst[size - 1] = 0;
    return true;
}

void Unescape(char *s) {
    char *w = s;
    for (char *r = s; *r; ++r) {
        if (r[0] == '\\' && r[1] == 'n') {
            *w++ = '\n';
            ++r;
        } else if (r[0] == '\\' && r[1] == 't') {
            *w++ = '\t';
            ++r;
        } else {
            *w++ = *r;
        }
    }
    *w = 0;
}

char *ToAnsi(const char *utf8) {
    wchar_t wide[kMaxText];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, kMaxText);
    if (n <= 0) return nullptr;
    char ansi[kMaxText * 2];
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr) <= 0) return nullptr;
    char *copy = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, strlen(ansi) + 1));
    if (copy) strcpy(copy, ansi);
    return copy;
}

void FreeEntries() {
    for (int i = 0; i < g_loc.count; ++i) {
        HeapFree(GetProcessHeap(), 0, g_loc.entries[i].english);
        HeapFree(GetProcessHeap(), 0, g_loc.entries[i].translation);
    }
    if (g_loc.entries) HeapFree(GetProcessHeap(), 0, g_loc.entries);
    g_loc.entries = nullptr;
    g_loc.count = 0;
}

LONG Load(const char *path) {
    FILE *f = fopen(path, "rb");
    if (!f) return -1;
    FreeEntries();
    g_loc.entries = static_cast<Entry *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Entry) * kMaxEntries));
    if (!g_loc.entries) {
        fclose(f);
        return -4500;
    }
    char line[kMaxText * 2 + 8];
    bool first = true;
    while (g_loc.count < kMaxEntries && fgets(line, sizeof line, f)) {
        char *s = line;
        if (first && (BYTE)s[0] == 0xEF && (BYTE)s[1] == 0xBB && (BYTE)s[2] == 0xBF) s += 3;
        first = false;
        size_t n = strlen(s);
        while (n > 0 && (s[n - 1] == '\n' || s[n - 1] == '\r')) s[--n] = 0;
        if (s[0] == '#' || s[0] == 0) continue;
        char *eq = strchr(s, '=');
        if (!eq || eq == s) continue;
        *eq = 0;
        Unescape(s);
        Unescape(eq + 1);
        Entry e = {ToAnsi(s), ToAnsi(eq + 1)};
        if (!e.english || !e.translation) {
            HeapFree(GetProcessHeap(), 0, e.english);
            HeapFree(GetProcessHeap(), 0, e.translation);
            continue;
        }
        g_loc.entries[g_loc.count++] = e;
    }
    fclose(f);
    return 0;
}

const char *Find(const char *english) {
    for (int i = 0; i < g_loc.count; ++i)
        if (strcmp(g_loc.entries[i].english, english) == 0) return g_loc.entries[i].translation;
    return nullptr;
}

// Controls whose window text is what the user typed or picked, not a label: left alone.
bool HoldsUserText(HWND w) {
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    return !lstrcmpiA(cls, "Edit") || !lstrcmpiA(cls, "ComboBox") || !lstrcmpiA(cls, "ListBox") ||
           !lstrcmpiA(cls, "RichEdit20A") || !lstrcmpiA(cls, "RichEdit20W");
}

BOOL CALLBACK LocalizeChild(HWND child, LPARAM count) {
    char text[kMaxText];
    if (HoldsUserText(child) || GetWindowTextA(child, text, sizeof text) <= 0) return TRUE;
    const char *t = Find(text);
    if (t && strcmp(t, text) != 0 && SetWindowTextA(child, t)) ++*reinterpret_cast<LONG *>(count);
    return TRUE;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH] = {};
        DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
        char *slash = n > 0 && n < MAX_PATH ? strrchr(path, '\\') : nullptr;
        if (slash) slash[1] = 0;
        else path[0] = 0;
        lstrcpynA(g_loc.folder, path, MAX_PATH);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        FreeEntries();
    }
    return TRUE;
}

extern "C" {

// 0 when the file was read; non-zero (and no translations) otherwise.
LONG WINAPI JexlocOpen(LPCSTR fileName) {
    char name[MAX_PATH], path[MAX_PATH + 8], env[MAX_PATH] = {};
    bool ok = SafeCopy(name, sizeof name, fileName);
    LONG rc;
    DWORD n = GetEnvironmentVariableA("JEXKIT_LOCFILE", env, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        // a relative name is taken from the kit's folder, as for the kit's other files
        bool absolute = env[0] == '\\' || env[0] == '/' || (env[0] && env[1] == ':');
        snprintf(path, sizeof path, "%s%s", absolute ? "" : g_loc.folder, env);
    } else if (!ok || name[0] == 0 || strchr(name, '\\') || strchr(name, '/') || strchr(name, ':')) {
        path[0] = 0;  // only a plain file name beside the library
    } else {
        snprintf(path, sizeof path, "%s%s", g_loc.folder, name);
    }
    rc = path[0] ? Load(path) : -4501;
    if (rc != 0) FreeEntries();
    Record("62 JexlocOpen(\"%s\") = %ld", name, rc);
    return rc;
}

LPCSTR WINAPI JexlocLookup(LPCSTR text, LONG *size) {
    char english[kMaxText];
    bool ok = SafeCopy(english, sizeof english, text);
    const char *t = ok ? Find(english) : nullptr;
    LONG bytes = static_cast<LONG>(t ? strlen(t) + 1 : strlen(english) + 1);
    if (size && !IsBadWritePtr(size, sizeof *size)) *size = bytes;
    Record("64 JexlocLookup(\"%s\") = %s size %ld", english, t ? "found" : "none", bytes);
    return t;
}

// Copies at most size-1 characters and terminates; returns the characters copied or -4501.
LONG WINAPI JexlocCopy(LPSTR destination, LPCSTR translation, LONG size) {
    LONG rc;
    if (size <= 0 || size > 0x100000 || !destination || IsBadWritePtr(destination, size)) {
        rc = -4501;
    } else {
        char *tmp = static_cast<char *>(HeapAlloc(GetProcessHeap(), 0, size));
        if (!tmp) {
            rc = -4500;
        } else {
            SafeCopy(tmp, size, translation);
            memcpy(destination, tmp, strlen(tmp) + 1);
            rc = static_cast<LONG>(strlen(tmp));
            HeapFree(GetProcessHeap(), 0, tmp);
        }
    }
    Record("67 JexlocCopy(%ld) = %ld", size, rc);
    return rc;
}

// Translates the caption and the labels of every child (not the contents of edit fields and
// lists); returns the number of texts replaced by a different one.
LONG WINAPI JexlocLocalizeWindow(HWND dialog) {
    LONG count = 0;
    if (!IsWindow(dialog)) {
        Record("68 JexlocLocalizeWindow(null) = -4501");
        return -4501;
    }
    LocalizeChild(dialog, reinterpret_cast<LPARAM>(&count));
    EnumChildWindows(dialog, LocalizeChild, reinterpret_cast<LPARAM>(&count));
    Record("68 JexlocLocalizeWindow(window) = %ld", count);
    return count;
}

}  // extern "C"
