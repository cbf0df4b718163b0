// Endorser (imprinter) access. Scanners have a text endorser (tag 1411), a numeric counter
// (tag 1412), or both, announced through the kinds of tag 4204; MSG_OPENDS finds out which.
#include <cstdlib>

#include "twain/driver.h"
#include "twain/source.h"

namespace {

struct EndorserFlags {
    WORD present;
    WORD numeric;
    WORD text;
};
EndorserFlags gEndorser;

constexpr int kTextBytes = 256;

}  // namespace

LONG InitEndorser() {
    gEndorser = EndorserFlags{};
    char text[kTextBytes];
    if (DrvGetString(kTagEndorserText, text, kTextBytes) == 0) gEndorser.text = gEndorser.present = 1;
    LONG counter = 0;
    if (DrvGetLong(kTagEndorserCounter, &counter) == 0) gEndorser.numeric = gEndorser.present = 1;
    LONG count = 0;
    if (DrvChoiceCount(kTagEndorserKinds, &count) == 0) {
        gEndorser.present = 1;
        for (LONG i = 0; i < count; ++i) {
            LONG kind = 0;
            if (DrvChoiceLong(kTagEndorserKinds, i, &kind) != 0) continue;
            if (kind == 1) gEndorser.text = 1;
            if (kind == 3 || kind == 4) gEndorser.numeric = 1;
        }
    }
    return 0;
}

LONG ClearEndorserText() {
    if (!gEndorser.present) return -1;
    DrvSetString(kTagEndorserText, "");
    return 0;
}

LONG GetEndorser(LONG *value) {
    if (!gEndorser.present || !value) return -1;
    if (gEndorser.numeric) return DrvGetLong(kTagEndorserCounter, value);
    if (!gEndorser.text) {
        *value = 0;
        return -1;
    }
    char text[kTextBytes];
    const LONG r = DrvGetString(kTagEndorserText, text, kTextBytes);
    if (r == 0) *value = atol(text);
    return r;
}

LONG SetEndorser(LONG value) {
    if (!gEndorser.present) return -1;
    LONG r = -1;
    if (gEndorser.numeric) {
        DrvSetLong(kTagEndorserKinds, 1);
        r = DrvSetLong(kTagEndorserCounter, value);
    }
    if (r != 0 && gEndorser.text) {
        char text[16];
        wsprintfA(text, "%ld", value);
        r = DrvSetString(kTagEndorserText, text);
    }
    return r;
}

LONG SetEndorserText(const char *text) {
    if (!gEndorser.present) return -1;
    if (!text) text = "";
    LONG r = -1;
    if (gEndorser.text) {
        DrvSetLong(kTagEndorserKinds, 1);
        r = DrvSetString(kTagEndorserText, text);
    }
    if (r != 0 && gEndorser.numeric) r = DrvSetLong(kTagEndorserCounter, atol(text));
    return r;
}
