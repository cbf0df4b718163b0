// The text of one driver message for the call log. Pointers are never printed (they differ from
// run to run); what they point to is, after the call: "msg 0x310 tag 1283 = 0 -> 65539".
#include <cstdio>
#include <cstring>

#include "kit/jexdfltn/libstate.h"

namespace {

bool ReadLong(LONG value, LONG *out) {
    const LONG *p = reinterpret_cast<const LONG *>(value);
    if (!KitReadable(p, sizeof(LONG))) return false;
    *out = *p;
    return true;
}

}  // namespace

void KitFormatMessage(char *out, int size, LONG message, LONG tag, LONG value, LONG rc) {
    LONG msg = message & 0xFFFF;
    LONG t = tag & 0xFFFF;
    LONG index = static_cast<SHORT>((tag >> 16) & 0xFFFF);
    LONG v = 0;
    char q[220];
    switch (msg) {
    case 0x110: {
        const JEXDRIVER *next = reinterpret_cast<const JEXDRIVER *>(tag);
        KitSlot *s = (tag && KitReadable(next, sizeof *next)) ? KitFindSlot(next->instance) : nullptr;
        if (tag == 0) snprintf(out, size, "msg 0x110 tag 0 = %ld", rc);
        else snprintf(out, size, "msg 0x110 next %s = %ld", s ? s->name : "unknown", rc);
        return;
    }
    case 0x310: case 0x330: case 0x314: case 0x315: case 0x342: case 0x410: case 0x411: case 0x415: case 0x604: {
        int n = (msg == 0x411 || (msg == 0x310 && t == 0 && index != 0))
                    ? snprintf(out, size, "msg 0x%lX tag %ld index %ld = %ld", msg, t, index, rc)
                    : snprintf(out, size, "msg 0x%lX tag %ld = %ld", msg, t, rc);
        if (rc == 0 && n > 0 && n < size && ReadLong(value, &v)) {
            if (msg == 0x315 || msg == 0x415) snprintf(out + n, size - n, " -> 0x%lX", v);
            else snprintf(out + n, size - n, " -> %ld", v);
        }
        return;
    }
    case 0x311: case 0x331: case 0x412: {
        int n = msg == 0x412 ? snprintf(out, size, "msg 0x412 tag %ld index %ld = %ld", t, index, rc)
                             : snprintf(out, size, "msg 0x%lX tag %ld = %ld", msg, t, rc);
        const LONG *p = reinterpret_cast<const LONG *>(value);
        if (rc == 0 && n > 0 && n < size && KitReadable(p, 2 * sizeof(LONG))) snprintf(out + n, size - n, " -> %ld/%ld", p[0], p[1]);
        return;
    }
    case 0x312: case 0x332: case 0x413: {
        int n = msg == 0x413 ? snprintf(out, size, "msg 0x413 tag %ld index %ld = %ld", t, index, rc)
                             : snprintf(out, size, "msg 0x%lX tag %ld len %ld = %ld", msg, t, (tag >> 16) & 0xFFFF, rc);
        if (rc == 0 && n > 0 && n < size) {
            KitQuote(q, sizeof q, reinterpret_cast<LPCSTR>(value));
            snprintf(out + n, size - n, " -> %s", q);
        }
        return;
    }
    case 0x320:
        KitQuote(q, sizeof q, reinterpret_cast<LPCSTR>(value));
        snprintf(out, size, "msg 0x320 tag %ld value %s = %ld", t, q, rc);
        return;
    case 0x321:
        if ((t == 1299 || t == 1681) && value != 0) snprintf(out, size, "msg 0x321 tag %ld value <procedure> = %ld", t, rc);
        else snprintf(out, size, "msg 0x321 tag %ld value %ld = %ld", t, value, rc);
        return;
    case 0x322: {
        const LONG *p = reinterpret_cast<const LONG *>(value);
        if (KitReadable(p, 2 * sizeof(LONG))) snprintf(out, size, "msg 0x322 tag %ld value %ld/%ld = %ld", t, p[0], p[1], rc);
        else snprintf(out, size, "msg 0x322 tag %ld value <unreadable> = %ld", t, rc);
        return;
    }
    case 0x120: case 0x123:
        snprintf(out, size, "msg 0x%lX window = %ld", msg, rc);
        return;
    case 0x125:
        snprintf(out, size, "msg 0x125 parent, record = %ld", rc);
        return;
    case 0x126:
        snprintf(out, size, "msg 0x126 sink, image = %ld", rc);
        return;
    case 0x348: case 0x349:
        snprintf(out, size, "msg 0x%lX callback = %ld", msg, rc);
        return;
    case KIT_MSG_REGISTER:
        snprintf(out, size, "msg 0x300 register tag %ld kind %ld = %ld", value & 0xFFFF, (value >> 16) & 0xFFFF, rc);
        return;
    case KIT_MSG_PAGESTART: {
        const KITPAGESTART *p = reinterpret_cast<const KITPAGESTART *>(value);
        if (KitReadable(p, sizeof *p))
            snprintf(out, size, "msg 0x103 page %ld %ldx%ld bps %ld spp %ld photometric %ld = %ld", p->pageNumber, p->page.width,
                     p->page.length, p->page.bitsPerSample, p->page.samplesPerPixel, p->page.photometric, rc);
        else snprintf(out, size, "msg 0x103 page <unreadable> = %ld", rc);
        return;
    }
    case KIT_MSG_ROWS: {
        const KITROWS *r = reinterpret_cast<const KITROWS *>(value);
        if (KitReadable(r, sizeof *r)) snprintf(out, size, "msg 0x602 rows %ld+%ld = %ld", r->firstRow, r->rowCount, rc);
        else snprintf(out, size, "msg 0x602 rows <unreadable> = %ld", rc);
        return;
    }
    case KIT_MSG_STRIPQUERY: {
        int n = snprintf(out, size, "msg 0x221 = %ld", rc);
        if (rc == 0 && n > 0 && n < size && ReadLong(value, &v)) snprintf(out + n, size - n, " -> %ld", v);
        return;
    }
    default:
        snprintf(out, size, "msg 0x%lX tag %ld value %ld = %ld", msg, tag, value, rc);
        return;
    }
}
