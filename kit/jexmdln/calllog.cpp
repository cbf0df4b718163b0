// The call record: every call of an ordinal leaves one line in a ring that tests read through the
// kit-private exports, so that they can check the order of calls and the arguments a caller passed.
// When jexdfltn is loaded the line also goes into its call log, so that the order of the calls
// across the libraries and the drivers can be checked in one place; and jexdfltn's [Faults] list
// decides which calls fail.
#include "jexmint.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace jexm {
namespace {

constexpr int kRingLines = 512;
constexpr int kLineBytes = 200;

struct CallLog {
    LONG count;  // calls since the last reset; line i sits at i % kRingLines
    char lines[kRingLines][kLineBytes];
};
CallLog g;

typedef LONG(WINAPI *RecordProc)(LPCSTR);
typedef LONG(WINAPI *FaultProc)(LONG);

// An export of jexdfltn when it is loaded. Looked up at every call: jexdfltn may be unloaded and
// loaded again at another place while jexmdln stays.
template <class Fn>
Fn Dfltn(const char *name) {
    HMODULE dflt = GetModuleHandleA("jexdfltn.dll");
    return dflt ? reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(dflt, name))) : nullptr;
}

}  // namespace

LONG InjectedFault(int ordinal) {
    FaultProc fault = Dfltn<FaultProc>("JexKitJexmFault");
    return fault ? fault(ordinal) : 0;
}

const char *Ptr(const void *p) { return p ? "<ptr>" : "null"; }

void LogCall(int ordinal, const char *name, LONG result, const char *args, ...) {
    char *line = g.lines[g.count % kRingLines];
    int n = snprintf(line, kLineBytes, "%d %s(", ordinal, name);
    if (n < 0 || n >= kLineBytes) n = kLineBytes - 1;
    va_list ap;
    va_start(ap, args);
    int m = vsnprintf(line + n, (size_t)(kLineBytes - n), args, ap);
    va_end(ap);
    if (m > 0) n += m;
    if (n < kLineBytes) snprintf(line + n, (size_t)(kLineBytes - n), ") = %ld", (long)result);
    g.count = g.count == 0x7FFFFFFF ? 0 : g.count + 1;
    if (RecordProc record = Dfltn<RecordProc>("JexKitRecord")) record(line);
}

}  // namespace jexm

using namespace jexm;

LONG WINAPI JexmKitCallCount(void) {
    Lock lock;
    return g.count;
}

LONG WINAPI JexmKitGetCall(LONG index, char *text, LONG size) {
    Lock lock;
    if (!text || size <= 0) return JEXM_ERR_NULLARG;
    if (IsBadWritePtr(text, (UINT_PTR)size)) return JEXM_ERR_BADARG;
    if (index < 0 || index >= g.count || index < g.count - kRingLines) return JEXM_ERR_GONE;
    lstrcpynA(text, g.lines[index % kRingLines], size);
    return 0;
}

LONG WINAPI JexmKitResetCalls(void) {
    Lock lock;
    g.count = 0;
    return 0;
}
