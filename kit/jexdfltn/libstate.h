// Process-wide state of the virtual jexdfltn: the start count, the parsed scanner profile, and
// the table of loaded drivers. Every driver handed out by @29 is a slot here; the record a caller
// receives names the slot by its instance word, so stale or forged records are recognised.
#pragma once

#include "kit/common/kitcommon.h"

inline constexpr int KIT_MAX_SLOTS = 16;
inline constexpr int KIT_MAX_REGISTERED = 16;

struct KitRegisteredTag {      // a tag a driver procedure registered with message 768
    LONG tag, kind;
    LONG value;
    LONG num, den;
    char text[KIT_MAX_CODE_TEXT];  // a bar-code text may be longer than a reader's buffer
};

struct KitSlot {
    DWORD instance;            // 0: free
    LONG kind;                 // JEX_LOAD_*
    char name[32];             // file name without extension, or "procedure"
    BOOL initialised;          // @70 succeeded
    // driver files
    HMODULE module;
    JEXDRIVERPROC entry;
    KITDRVINIT init;
    KITDRVSCAN scan;
    KITDRVCLOSE close;
    DWORD driverInstance;
    // driver procedures (kind 1)
    JEXDRIVERPROCEDURE procedure;
    JEXLIBRECORD lib;
    int registeredCount;
    KitRegisteredTag registered[KIT_MAX_REGISTERED];
    int depth;                 // nesting of calls into this slot
    volatile LONG callbacks;   // the driver's own calls out to its caller in progress (KITHOST)
    // Unloaded by its caller (@30) or by the last @74, but its code is still running (a scan,
    // a dialog button's call-back): unknown to callers, released as soon as nothing runs in it.
    BOOL closing;
};

struct KitLib {
    LONG startCount;           // @73 minus @74
    char vendor[128];          // @115
    char standardFamily[32];   // @40
    char folder[MAX_PATH];     // folder of jexdfltn.dll, with a trailing backslash
    BOOL profileRead;          // @73 read the profile (or failed to)
    LONG profileError;         // 0, or the error @29 reports for the scanner
    char profileErrorText[400];
    char lastLoadError[400];   // detail of the last failed @29
    char pageErrorText[400];   // file and reason of the last page a driver could not read
    char logPath[MAX_PATH];    // JEXKIT_LOG at the last @73: the call log is appended there too
    KitProfile profile;
    KitSlot slots[KIT_MAX_SLOTS];
    DWORD nextGeneration;
    UINT_PTR releaseTimer;     // retries the release of closing slots from the message loop
    CRITICAL_SECTION lock;     // guards the call log only; everything else is single-threaded
};
extern KitLib g_kit;

// The slot a caller's record names; closing slots are gone for callers.
KitSlot *KitFindSlot(DWORD instance);
// Any slot with this instance word, closing or not (to finish a call that was in progress).
KitSlot *KitFindSlotAny(DWORD instance);
// Releases every closing slot in which no code runs any more; keeps a timer for the others.
void KitReleaseClosing();
// Runs call(slot), a call into the slot's driver, with the slot marked busy: an unload from
// inside the call (a yield or dialog call-back closing the source) only marks the slot closing,
// and the slot is released here once the call has returned.
template <class Call>
LONG KitCallInside(KitSlot *slot, Call call) {
    const DWORD id = slot->instance;
    ++slot->depth;
    const LONG rc = call(slot);
    if (KitSlot *again = KitFindSlotAny(id)) {
        --again->depth;
        if (again->closing) KitReleaseClosing();
    }
    return rc;
}
// Marks a loaded slot closing (its record is no longer accepted) and releases it if it is idle.
void KitCloseSlot(KitSlot *slot);
// Releases every loaded slot at once, running or not (the library itself is being unloaded).
void KitReleaseAll();
KitSlot *KitFindSlotByLibRecord(const JEXLIBRECORD *record);
// The error of the first fault of the profile that fires for this call, or 0 (counts the call
// for every fault it matches).
LONG KitCheckFault(int target, LONG number);
// The same for a message to the scanner: its message faults, its tag faults when the message
// carries a tag, and the faults on that message with that tag.
LONG KitCheckMessageFault(LONG message, LONG tag, BOOL carriesTag);

// Call log (recorder.cpp). Begin reserves a line so that nested calls follow their caller.
int KitRecordBegin();
void KitRecordEnd(int index, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void KitRecord(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void WINAPI KitRecordLine(LPCSTR line);
// Keeps a driver's account of an unreadable page for @28 (KITHOST::pageError).
void WINAPI KitPageError(LPCSTR text);
// "\"text\"" bounded and safe for unreadable pointers.
void KitQuote(char *out, int size, LPCSTR text);

// The trampoline every record's entry points to.
LONG WINAPI KitDriverEntry(DWORD instance, LONG message, LONG tag, LONG value);
// Default handling of the messages of a driver procedure (defproc.cpp), used by @23.
LONG KitDefaultMessage(KitSlot *slot, LONG message, LONG tag, LONG value);
// Text of a driver message for the log (msgformat.cpp): before and after the call.
void KitFormatMessage(char *out, int size, LONG message, LONG tag, LONG value, LONG result);
