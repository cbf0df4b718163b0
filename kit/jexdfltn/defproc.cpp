// Default message handling for driver procedures (@23). A procedure such as the data source's
// bar-code collector answers a few messages itself and hands the rest here: the tags it
// registered (768) are stored per driver and read and written like a driver's own tags, the
// chain message (0x110) fills words 16 and 18 of its record, and the page-flow messages go on to
// the next driver so that the page still reaches the end of the chain.
#include <cstdio>
#include <cstring>

#include "kit/jexdfltn/libstate.h"

namespace {

KitRegisteredTag *FindTag(KitSlot *slot, LONG tag) {
    for (int i = 0; i < slot->registeredCount; ++i)
        if (slot->registered[i].tag == (tag & 0xFFFF)) return &slot->registered[i];
    return nullptr;
}

LONG CallNext(KitSlot *slot, LONG message, LONG tag, LONG value) {
    auto next = reinterpret_cast<JEXDRIVERPROC>(slot->lib.words[16]);
    if (!next || slot->lib.words[18] == 0) return 0;
    return next(slot->lib.words[18], message, tag, value);
}

LONG TagMessage(KitSlot *slot, LONG message, LONG tag, LONG value) {
    KitRegisteredTag *t = FindTag(slot, tag);
    if (!t) return KIT_ERR_BADTAG;
    bool isDefault = message >= 0x330 && message <= 0x332;
    switch (message) {
    case 0x310: case 0x330:
        if (t->kind == KIT_KIND_STRING) return KIT_ERR_BADKIND;
        if (!KitWritable(reinterpret_cast<LONG *>(value), sizeof(LONG))) return KIT_ERR_BADARG;
        *reinterpret_cast<LONG *>(value) = isDefault ? 0 : (t->kind == KIT_KIND_RATIONAL ? t->num / (t->den ? t->den : 1) : t->value);
        return 0;
    case 0x311: case 0x331: {
        if (t->kind == KIT_KIND_STRING) return KIT_ERR_BADKIND;
        LONG *out = reinterpret_cast<LONG *>(value);
        if (!KitWritable(out, 2 * sizeof(LONG))) return KIT_ERR_BADARG;
        if (isDefault) out[0] = 0, out[1] = 1;
        else if (t->kind == KIT_KIND_RATIONAL) out[0] = t->num, out[1] = t->den;
        else out[0] = t->value, out[1] = 1;
        return 0;
    }
    case 0x312: case 0x332: {
        if (t->kind != KIT_KIND_STRING) return KIT_ERR_BADKIND;
        LONG len = (tag >> 16) & 0xFFFF;
        char *out = reinterpret_cast<char *>(value);
        if (len <= 0) return KIT_ERR_BUFFER;
        if (!KitWritable(out, len)) return KIT_ERR_BADARG;
        // The text with its terminator as far as the buffer reaches: a text as long as the buffer
        // or longer fills it without a terminator, which the caller must supply.
        const char *text = isDefault ? "" : t->text;
        LONG n = static_cast<LONG>(strlen(text)) + 1;
        memcpy(out, text, n < len ? n : len);
        return 0;
    }
    case 0x320:
        if (t->kind != KIT_KIND_STRING) return KIT_ERR_BADKIND;
        return KitCopyString(t->text, sizeof t->text, reinterpret_cast<LPCSTR>(value)) ? 0 : KIT_ERR_BADARG;
    case 0x321:
        if (t->kind == KIT_KIND_STRING) return KIT_ERR_BADKIND;
        if (t->kind == KIT_KIND_RATIONAL) t->num = value, t->den = 1;
        else t->value = value;
        return 0;
    case 0x322: {
        if (t->kind == KIT_KIND_STRING) return KIT_ERR_BADKIND;
        const LONG *in = reinterpret_cast<const LONG *>(value);
        if (!KitReadable(in, 2 * sizeof(LONG)) || in[1] == 0) return KIT_ERR_BADVALUE;
        if (t->kind == KIT_KIND_RATIONAL) t->num = in[0], t->den = in[1];
        else t->value = in[0] / in[1];
        return 0;
    }
    case 0x340:
        t->value = 0, t->num = 0, t->den = 1, t->text[0] = 0;
        return 0;
    case 0x342:
        if (!KitWritable(reinterpret_cast<LONG *>(value), sizeof(LONG))) return KIT_ERR_BADARG;
        *reinterpret_cast<LONG *>(value) = t->kind;
        return 0;
    default:  // choices: registered tags take any value
        return KIT_ERR_NOCHOICES;
    }
}

}  // namespace

LONG KitDefaultMessage(KitSlot *slot, LONG message, LONG tag, LONG value) {
    message &= 0xFFFF;
    switch (message) {
    case KIT_MSG_REGISTER: {
        LONG t = value & 0xFFFF, kind = (value >> 16) & 0xFFFF;
        if (t == 0 || (kind != KIT_KIND_STRING && kind != KIT_KIND_RATIONAL && (kind < 1 || kind > 4))) return KIT_ERR_BADVALUE;
        KitRegisteredTag *r = FindTag(slot, t);
        if (!r) {
            if (slot->registeredCount >= KIT_MAX_REGISTERED) return KIT_ERR_TOOMANY;
            r = &slot->registered[slot->registeredCount++];
        }
        ZeroMemory(r, sizeof *r);
        r->tag = t, r->kind = kind, r->den = 1;
        return 0;
    }
    case 0x110: {
        if (tag == 0) {
            slot->lib.words[16] = slot->lib.words[18] = 0;
            return 0;
        }
        const JEXDRIVER *next = reinterpret_cast<const JEXDRIVER *>(tag);
        if (!KitReadable(next, sizeof *next) || !next->entry) return KIT_ERR_BADARG;
        if (next->instance == slot->instance) return KIT_ERR_BADVALUE;  // a driver chained to itself
        slot->lib.words[16] = reinterpret_cast<DWORD>(next->entry);
        slot->lib.words[18] = next->instance;
        return 0;
    }
    case 0x310: case 0x311: case 0x312: case 0x320: case 0x321: case 0x322: case 0x330: case 0x331:
    case 0x332: case 0x340: case 0x342: case 0x410: case 0x411: case 0x412: case 0x413: case 0x415:
        if (message == 0x340 && tag == 0) {
            for (int i = 0; i < slot->registeredCount; ++i) TagMessage(slot, 0x340, slot->registered[i].tag, 0);
            return 0;
        }
        return TagMessage(slot, message, tag, value);
    case KIT_MSG_PAGESTART: case KIT_MSG_PAGEEND: case KIT_MSG_CODESSTART: case KIT_MSG_ROWS: case KIT_MSG_CODE:
        return CallNext(slot, message, tag, value);
    case KIT_MSG_STRIPQUERY: {
        LONG rc = CallNext(slot, message, tag, value);
        if (!slot->lib.words[18] && KitWritable(reinterpret_cast<LONG *>(value), sizeof(LONG))) *reinterpret_cast<LONG *>(value) = 0;
        return rc;
    }
    case 0x343: case 0x344: case 0x345: case 0x346: case 0x347: case 0x604: case 0x606:
        return 0;
    default:
        return KIT_ERR_BADMESSAGE;
    }
}

extern "C" LONG WINAPI JexdfltDefDriverProc(JEXLIBRECORD *record, LONG message, LONG tag, LONG value) {
    int rec = KitRecordBegin();
    KitSlot *slot = KitFindSlotByLibRecord(record);
    LONG rc = slot ? KitDefaultMessage(slot, message, tag, value) : KIT_ERR_BADHANDLE;
    char text[500];
    KitFormatMessage(text, sizeof text, message, tag, value, rc);
    KitRecordEnd(rec, "23 %s", text);
    return rc;
}
