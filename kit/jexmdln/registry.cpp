// The handle registry: one table of live objects per kind, tokens that carry the slot and a serial
// number, and the lock every exported function holds.
//
// Token layout. Images 0x49000000 and zones 0x5A000000 | serial (14 bits) << 10 | slot; palette
// objects serial (6 bits) << 14 | slot << 4 | 0x9, which stays inside the low 20 bits of a format
// code and is never 0. A slot is reused only after the free slots beyond it are used up, and then
// with another serial number, so a stale token is refused for a long while.
#include "jexmint.h"

#include <cstdio>
#include <cstring>

namespace jexm {
namespace {

struct Slot {
    void *object;
    uint32_t serial;
};

struct Registry {
    CRITICAL_SECTION lock;
    bool lockReady;
    Slot slots[3][kMaxObjects];
    int next[3];         // where the search for a free slot starts
    uint32_t serial[3];  // serial of the last token handed out
    LONG live[3];
};
Registry g;

uint32_t Encode(Kind kind, int slot, uint32_t serial) {
    switch (kind) {
    case kImage: return 0x49000000u | (serial & 0x3FFF) << 10 | (uint32_t)slot;
    case kZone: return 0x5A000000u | (serial & 0x3FFF) << 10 | (uint32_t)slot;
    case kPalette: return (serial & 0x3F) << 14 | (uint32_t)slot << 4 | 0x9;
    }
    return 0;
}

// Slot of a token of this kind (whether live or not), or -1 when it cannot be one.
int SlotOf(Kind kind, uint32_t token) {
    switch (kind) {
    case kImage:
        if ((token & 0xFF000000u) != 0x49000000u) return -1;
        break;
    case kZone:
        if ((token & 0xFF000000u) != 0x5A000000u) return -1;
        break;
    case kPalette:
        if ((token & ~0xFFFFFu) != 0 || (token & 0xF) != 0x9) return -1;
        return (int)((token >> 4) & 0x3FF);
    }
    return (int)(token & 0x3FF);
}

}  // namespace

static_assert(kMaxObjects == 1024, "tokens hold a 10-bit slot");

Lock::Lock() {
    if (g.lockReady) EnterCriticalSection(&g.lock);
}
Lock::~Lock() {
    if (g.lockReady) LeaveCriticalSection(&g.lock);
}

void InitLock() {
    InitializeCriticalSection(&g.lock);
    g.lockReady = true;
}

void DoneLock() {
    if (!g.lockReady) return;
    g.lockReady = false;
    DeleteCriticalSection(&g.lock);
}

uint32_t AddObject(Kind kind, void *object) {
    for (int i = 0; i < kMaxObjects; ++i) {
        int slot = (g.next[kind] + i) % kMaxObjects;
        Slot &s = g.slots[kind][slot];
        if (s.object) continue;
        uint32_t serial = ++g.serial[kind];
        s.object = object;
        s.serial = serial;
        g.next[kind] = (slot + 1) % kMaxObjects;
        ++g.live[kind];
        return Encode(kind, slot, serial);
    }
    return 0;
}

void *FindObject(Kind kind, uint32_t token) {
    int slot = SlotOf(kind, token);
    if (slot < 0 || slot >= kMaxObjects) return nullptr;
    const Slot &s = g.slots[kind][slot];
    if (!s.object || Encode(kind, slot, s.serial) != token) return nullptr;
    return s.object;
}

void *RemoveObject(Kind kind, uint32_t token) {
    void *object = FindObject(kind, token);
    if (!object) return nullptr;
    g.slots[kind][SlotOf(kind, token)].object = nullptr;
    --g.live[kind];
    return object;
}

LONG LiveCount(Kind kind) { return g.live[kind]; }

const char *HandleText(char *buf, size_t size, uint32_t token) {
    snprintf(buf, size, "0x%08lx", (unsigned long)token);
    return buf;
}

}  // namespace jexm

using namespace jexm;

LONG WINAPI JexmKitLiveObjects(LONG *images, LONG *zones, LONG *palettes) {
    Lock lock;
    if (images) *images = LiveCount(kImage);
    if (zones) *zones = LiveCount(kZone);
    if (palettes) *palettes = LiveCount(kPalette);
    return 0;
}
