// The call log: one text line per call the kit receives, in the order the calls begin (a nested
// call follows the call it happens in). Tests read it through the named exports JexKitCallCount,
// JexKitGetCall and JexKitResetCalls; kit/README.md documents the line format.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "kit/jexdfltn/libstate.h"

namespace {
constexpr size_t kMaxLines = 200000;  // beyond this the log keeps counting but stores no text
// Allocated on first use, never in the loader lock.
std::vector<std::string> *g_lines;
std::vector<char> *g_done;     // line i is complete (its call has returned)
size_t g_written;              // lines before this one are in the JEXKIT_LOG file
LONG g_dropped;

// Appends the complete lines that follow the ones already written to the JEXKIT_LOG file, in
// the log's own order (a caller's line before the calls it made). Called with the lock held.
void WriteLogFile() {
    if (!g_kit.logPath[0] || g_written >= g_lines->size() || !(*g_done)[g_written]) return;
    std::string text;
    while (g_written < g_lines->size() && (*g_done)[g_written]) text += (*g_lines)[g_written++] + "\r\n";
    HANDLE f = CreateFileA(g_kit.logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD put = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    CloseHandle(f);
}
}

int KitRecordBegin() {
    EnterCriticalSection(&g_kit.lock);
    if (!g_lines) g_lines = new std::vector<std::string>(), g_done = new std::vector<char>();
    int index = -1;
    if (g_lines->size() < kMaxLines) {
        g_lines->emplace_back();
        g_done->push_back(0);
        index = static_cast<int>(g_lines->size()) - 1;
    } else {
        ++g_dropped;
    }
    LeaveCriticalSection(&g_kit.lock);
    return index;
}

void KitRecordEnd(int index, const char *fmt, ...) {
    char line[600];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    EnterCriticalSection(&g_kit.lock);
    if (g_lines && index >= 0 && index < static_cast<int>(g_lines->size())) {
        (*g_lines)[index] = line;
        (*g_done)[index] = 1;
        WriteLogFile();
    }
    LeaveCriticalSection(&g_kit.lock);
}

void KitRecord(const char *fmt, ...) {
    char line[600];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    KitRecordEnd(KitRecordBegin(), "%s", line);
}

void WINAPI KitRecordLine(LPCSTR line) {
    char copy[600];
    KitCopyString(copy, sizeof copy, line);
    KitRecord("%s", copy);
}

void KitQuote(char *out, int size, LPCSTR text) {
    char copy[200];
    if (!text) {
        snprintf(out, size, "null");
        return;
    }
    if (!KitCopyString(copy, sizeof copy, text)) {
        snprintf(out, size, "<unreadable>");
        return;
    }
    snprintf(out, size, "\"%s\"", copy);
}

// ---- kit-private exports
extern "C" {

LONG WINAPI JexKitCallCount(void) {
    EnterCriticalSection(&g_kit.lock);
    LONG n = g_lines ? static_cast<LONG>(g_lines->size()) : 0;
    LeaveCriticalSection(&g_kit.lock);
    return n;
}

// Copies line i (bounded, always terminated); 0 on success, KIT_ERR_BADINDEX past the end.
LONG WINAPI JexKitGetCall(LONG i, LPSTR buffer, LONG size) {
    if (size <= 0 || !KitWritable(buffer, size)) return KIT_ERR_BADARG;
    buffer[0] = 0;
    EnterCriticalSection(&g_kit.lock);
    LONG rc = KIT_ERR_BADINDEX;
    if (g_lines && i >= 0 && i < static_cast<LONG>(g_lines->size())) {
        lstrcpynA(buffer, (*g_lines)[i].c_str(), size);
        rc = 0;
    }
    LeaveCriticalSection(&g_kit.lock);
    return rc;
}

LONG WINAPI JexKitResetCalls(void) {
    EnterCriticalSection(&g_kit.lock);
    if (g_lines) g_lines->clear(), g_done->clear();
    g_written = 0;
    g_dropped = 0;
    LeaveCriticalSection(&g_kit.lock);
    return 0;
}

// Lets the other kit libraries (jexlocn, jexmdln) add their calls to the same log.
LONG WINAPI JexKitRecord(LPCSTR line) {
    KitRecordLine(line);
    return 0;
}

// Drivers loaded, counting those unloaded by their caller whose code still runs.
LONG WINAPI JexKitLiveDrivers(void) {
    LONG n = 0;
    for (const KitSlot &s : g_kit.slots) n += s.instance != 0;
    return n;
}

}  // extern "C"
