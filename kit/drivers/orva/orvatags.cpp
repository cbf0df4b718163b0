// The scanner's tags: which exist for a profile, their current and default values, their allowed
// values, and the messages that read, write, reset, snapshot and enumerate them. Some tags depend
// on others: the disabled modes (5371) and the samples per pixel (277) decide the bit depths
// (258) and photometric values (262) offered; single-page mode (5363) narrows the paper sources
// (1300); the resolutions scale the frame (286, 287, 256, 257) so that it keeps its place on
// paper.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "kit/drivers/orva/orva.h"

namespace {

enum : LONG { L = KIT_KIND_LONG, S = KIT_KIND_STRING, R = KIT_KIND_RATIONAL };

struct BuiltIn { LONG tag, kind; const char *name; int flags; };
// Also the order of 0x348/0x349: what others depend on comes first.
constexpr BuiltIn kBuiltIns[] = {
    {5371, L, "ModeLimit", 0},        {277, L, "SamplesPerPixel", 0},  {258, L, "BitsPerSample", 0},
    {262, L, "Photometric", 0},       {259, L, "Compression", 0},      {274, L, "Orientation", 0},
    {284, L, "Planar", 0},            {5374, L, "LinkResolutions", 0}, {282, R, "XResolution", 0},
    {283, R, "YResolution", 0},       {1294, S, "PageSize", 0},        {286, L, "XPosition", 0},
    {287, L, "YPosition", 0},         {256, L, "ImageWidth", 0},       {257, L, "ImageLength", 0},
    {1280, S, "Halftone", 0},         {1281, L, "Contrast", 0},        {1282, L, "Brightness", 0},
    {1293, L, "AutoFeed", 0},         {1297, L, "TextEnhance", 0},     {5363, L, "SinglePage", 0},
    {1300, L, "PaperSource", 0},      {1404, L, "PageCount", 0},       {1411, S, "EndorserText", 0},
    {1412, L, "EndorserCounter", 0},  {4204, L, "EndorserMode", 0},    {1447, L, "JobControl", 0},
    {5411, L, "PreviewFormat", 0},    {5412, L, "PaletteSize", 0},     {1283, L, "DeviceFeatures", ORVA_RO},
    {1298, L, "AdvancedDialog", ORVA_RO}, {1448, L, "SeparatorFound", ORVA_RO}, {1680, L, "OwnDialog", ORVA_RO},
    {5373, R, "PreviewResolution", ORVA_RO}, {1299, L, "YieldProc", ORVA_PTR}, {1681, L, "PreviewProc", ORVA_PTR},
    {5632, L, "DialogActive", ORVA_NOSAVE},
};
static_assert(sizeof kBuiltIns / sizeof kBuiltIns[0] + KIT_MAX_CUSTOM <= ORVA_MAX_TAGS, "tag table overflow");

bool Present(const KitProfile *p, LONG tag) {
    switch (tag) {
    case 1293: return p->feeder;
    case 1294: return p->pageSizeCount > 0;
    case 1411: return (p->endorser & 1) != 0;
    case 1412: return (p->endorser & 2) != 0;
    case 4204: return p->endorser != 0;
    case 1447: case 1448: return p->jobSeparators;
    default: return true;
    }
}

bool Contains(const LONG *v, int n, LONG x) {
    for (int i = 0; i < n; ++i)
        if (v[i] == x) return true;
    return false;
}

// Pixels of a length in tenths of a millimetre at a resolution.
LONG Clamp(LONGLONG v) { return v > 0x7FFFFFFF ? 0x7FFFFFFF : v < -0x7FFFFFFF ? -0x7FFFFFFF : static_cast<LONG>(v); }
LONG Px(LONG mm10, LONG dpi) { return Clamp(static_cast<LONGLONG>(mm10) * dpi / 254); }

bool GrayOn(const Orva *o, LONG d) {
    LONG limit = OrvaLong(o, 5371);
    if (d == 1) return o->p->bitonal && !(limit & 1);
    return d >= 2 && d <= 16 && Contains(o->p->grayDepths, o->p->grayDepthCount, d) && !(limit & (1L << (d - 1)));
}
bool ColorOn(const Orva *o, LONG d) {
    LONG limit = OrvaLong(o, 5371);
    return d >= 1 && d <= 16 && Contains(o->p->colorDepths, o->p->colorDepthCount, d) && !(limit & (1UL << (15 + d)));
}
bool PaletteOn(const Orva *o, LONG d) {
    LONG limit = OrvaLong(o, 5371);
    if (d != 4 && d != 8) return false;
    return Contains(o->p->paletteDepths, o->p->paletteDepthCount, d) && !(limit & (1UL << (d == 4 ? 29 : 30)));
}

void AddLong(OrvaChoices *c, LONG v) {
    if (c->count < ORVA_MAX_CHOICES && !Contains(c->l, c->count, v)) {
        c->l[c->count] = v;
        c->den[c->count] = 1;
        ++c->count;
    }
}

void SortLongs(OrvaChoices *c) {
    for (int i = 1; i < c->count; ++i)
        for (int j = i; j > 0 && c->l[j - 1] > c->l[j]; --j) {
            LONG t = c->l[j];
            c->l[j] = c->l[j - 1];
            c->l[j - 1] = t;
        }
}

void FromKit(OrvaChoices *c, const KitLongChoices &k) {
    if (k.isRange) {
        c->mode = 2;
        c->range = k.range;
        return;
    }
    c->mode = 1;
    for (int i = 0; i < k.count; ++i) AddLong(c, k.values[i]);
}

void ListOf(OrvaChoices *c, std::initializer_list<LONG> values) {
    c->mode = 1;
    for (LONG v : values) AddLong(c, v);
}

int Idx(const Orva *o, LONG tag) { return OrvaIndex(o, tag); }

void Put(Orva *o, LONG tag, LONG v) {
    int i = Idx(o, tag);
    if (i >= 0) o->cur.l[i] = v;
}

// Keeps 277, 258 and 262 among their allowed values after one of them or 5371 changed.
void NormaliseMode(Orva *o) {
    OrvaChoices c;
    int i277 = Idx(o, 277), i258 = Idx(o, 258), i262 = Idx(o, 262);
    OrvaGetChoices(o, i277, &c);
    if (c.count > 0 && !Contains(c.l, c.count, o->cur.l[i277])) o->cur.l[i277] = c.l[0];
    OrvaGetChoices(o, i258, &c);
    if (c.count > 0 && !Contains(c.l, c.count, o->cur.l[i258])) {
        LONG best = c.l[0];
        for (int k = 0; k < c.count; ++k)
            if (c.l[k] <= o->cur.l[i258]) best = c.l[k];
        o->cur.l[i258] = best;
    }
    OrvaGetChoices(o, i262, &c);
    if (c.count > 0 && !Contains(c.l, c.count, o->cur.l[i262])) o->cur.l[i262] = c.l[0];
}

void NormaliseSource(Orva *o) {
    int i = Idx(o, 1300);
    OrvaChoices c;
    OrvaGetChoices(o, i, &c);
    if (c.count > 0 && !Contains(c.l, c.count, o->cur.l[i])) o->cur.l[i] = c.l[0];
}

// A width in pixels as the scanner sets it: whole steps.
LONG WidthPx(const Orva *o, LONG mm10, LONG dpi) {
    LONG px = Px(mm10, dpi);
    return px - px % o->p->widthStep;
}

LONG DefaultDpi(const Orva *o, LONG tag) {
    int i = Idx(o, tag);
    return i < 0 || o->def.den[i] == 0 ? 0 : o->def.num[i] / o->def.den[i];
}

// The default frame: the default page size, or the whole area. Its value as a default (0x330) is
// in pixels at the default resolutions, which is what a caller converts a default frame with;
// the frame a reset puts in place is in pixels at the current resolutions, like every current value.
LONG DefaultFrame(const Orva *o, LONG tag, bool atDefaultDpi) {
    if (tag == 286 || tag == 287) return 0;
    LONG w = o->p->maxWidthMm10, len = o->p->maxLengthMm10;
    for (int i = 0; i < o->p->pageSizeCount; ++i)
        if (!lstrcmpiA(o->p->pageSizes[i].name, o->p->defaultPageSize)) w = o->p->pageSizes[i].widthMm10, len = o->p->pageSizes[i].lengthMm10;
    LONG resTag = tag == 256 ? 282 : 283;
    LONG dpi = atDefaultDpi ? DefaultDpi(o, resTag) : OrvaDpi(o, resTag);
    return tag == 256 ? WidthPx(o, w, dpi) : Px(len, dpi);
}

LONG Gcd(LONG a, LONG b) {
    while (b) {
        LONG t = a % b;
        a = b;
        b = t;
    }
    return a;
}

bool IsFrame(LONG tag) { return tag == 256 || tag == 257 || tag == 286 || tag == 287; }

// Clamps v into a range and onto its steps, or checks it against a list.
LONG Fit(const OrvaChoices &c, LONG *v) {
    if (c.mode == 2) {
        LONG lo = c.range.min;
        if (*v < lo) *v = lo;
        if (*v > c.range.max) *v = c.range.max;
        if (c.range.step > 1) *v = static_cast<LONG>(*v - (static_cast<LONGLONG>(*v) - lo) % c.range.step);
        return 0;
    }
    if (c.mode == 1) return Contains(c.l, c.count, *v) ? 0 : KIT_ERR_BADVALUE;
    return 0;
}

// As Fit, but a value missing from a list becomes the nearest listed one: for the scanner's own
// adjustments (a new resolution, a page size), which never fail.
void FitNearest(const OrvaChoices &c, LONG *v) {
    if (Fit(c, v) == 0 || c.count == 0) return;
    LONG best = c.l[0];
    for (int k = 1; k < c.count; ++k)
        if (llabs(static_cast<LONGLONG>(c.l[k]) - *v) < llabs(static_cast<LONGLONG>(best) - *v)) best = c.l[k];
    *v = best;
}

// A page size puts the frame at the top left corner with the page's width and length.
void ApplyPageFrame(Orva *o, LPCSTR name) {
    for (int k = 0; k < o->p->pageSizeCount; ++k) {
        const KitPageSize &ps = o->p->pageSizes[k];
        if (lstrcmpiA(ps.name, name) != 0) continue;
        Put(o, 286, 0);
        Put(o, 287, 0);
        LONG w = WidthPx(o, ps.widthMm10, OrvaDpi(o, 282)), len = Px(ps.lengthMm10, OrvaDpi(o, 283));
        OrvaChoices fc;
        OrvaGetChoices(o, Idx(o, 256), &fc);
        FitNearest(fc, &w);
        OrvaGetChoices(o, Idx(o, 257), &fc);
        FitNearest(fc, &len);
        Put(o, 256, w);
        Put(o, 257, len);
    }
}

void Rescale(Orva *o, LONG tag, LONG oldDpi, LONG newDpi) {
    if (oldDpi <= 0 || newDpi <= 0 || oldDpi == newDpi) return;
    int pos = Idx(o, tag == 282 ? 286 : 287), len = Idx(o, tag == 282 ? 256 : 257);
    o->cur.l[pos] = Clamp(static_cast<LONGLONG>(o->cur.l[pos]) * newDpi / oldDpi);
    o->cur.l[len] = Clamp(static_cast<LONGLONG>(o->cur.l[len]) * newDpi / oldDpi);
    OrvaChoices c;
    OrvaGetChoices(o, len, &c);
    FitNearest(c, &o->cur.l[len]);
    OrvaGetChoices(o, pos, &c);
    FitNearest(c, &o->cur.l[pos]);
}

void SetDefaults(Orva *o) {
    const KitProfile *p = o->p;
    for (int i = 0; i < o->tagCount; ++i) {
        const OrvaTag &t = o->tags[i];
        o->def.l[i] = 0;
        o->def.num[i] = 0;
        o->def.den[i] = 1;
        o->def.s[i][0] = 0;
        if (t.custom) {
            o->def.l[i] = t.custom->defLong;
            if (t.kind == R) o->def.num[i] = t.custom->defNum, o->def.den[i] = t.custom->defDen;
            lstrcpynA(o->def.s[i], t.custom->defString, KIT_MAX_TEXT);
            continue;
        }
        LONG dpi = p->defaultResolution;
        switch (t.tag) {
        case 258: case 277: case 274: case 284: o->def.l[i] = 1; break;
        case 259: o->def.l[i] = p->compressions.isRange ? p->compressions.range.min : p->compressions.values[0]; break;
        case 282: case 283:
            if (!p->resolutions.isRange && !Contains(p->resolutions.values, p->resolutions.count, dpi)) dpi = p->resolutions.values[0];
            if (p->resolutions.isRange && (dpi < p->resolutions.range.min || dpi > p->resolutions.range.max)) dpi = p->resolutions.range.min;
            o->def.num[i] = dpi;
            break;
        case 5373: o->def.num[i] = p->previewResolution; break;
        case 5363: o->def.l[i] = p->singlePageMode ? 1 : 0; break;
        case 1280: lstrcpynA(o->def.s[i], p->halftones.names[0], KIT_MAX_TEXT); break;
        case 1294: lstrcpynA(o->def.s[i], p->defaultPageSize, KIT_MAX_TEXT); break;
        case 1281: o->def.l[i] = p->contrastDefault; break;
        case 1282: o->def.l[i] = p->brightnessDefault; break;
        case 1283:
            o->def.l[i] = (p->feeder ? 1 : 0) | (p->flatbed ? 2 : 0) | (p->film ? 8 : 0) | (p->stackSensor ? 0x10000 : 0) |
                          (p->paperSensor ? 0x20000 : 0);
            break;
        case 1298: o->def.l[i] = p->advancedDialog; break;
        case 1680: o->def.l[i] = p->ownDialog; break;
        case 1300: o->def.l[i] = p->feeder ? 3 : 2; break;
        case 5374: o->def.l[i] = 1; break;
        case 5412: o->def.l[i] = 256; break;
        default: break;
        }
    }
}

// What 0x340 with tag 0 leaves alone: the session's call-backs and dialog state, the mode limit
// the data source set from its settings and the single-page mode the driver remembers.
bool KeptByResetAll(const OrvaTag &t) {
    return (t.flags & (ORVA_PTR | ORVA_NOSAVE)) != 0 || t.tag == 5371 || t.tag == 5363;
}

void ResetAll(Orva *o, bool everything) {
    static OrvaValues kept;  // too large for the stack; the driver runs on one thread
    kept = o->cur;
    o->cur = o->def;
    for (int i = 0; i < o->tagCount; ++i) {
        if (!everything && KeptByResetAll(o->tags[i])) {
            o->cur.l[i] = kept.l[i];
            o->cur.num[i] = kept.num[i];
            o->cur.den[i] = kept.den[i];
            lstrcpynA(o->cur.s[i], kept.s[i], KIT_MAX_TEXT);
        }
        if (IsFrame(o->tags[i].tag)) o->cur.l[i] = DefaultFrame(o, o->tags[i].tag, false);
    }
    NormaliseMode(o);
    NormaliseSource(o);
}

LONG ResetOne(Orva *o, int i) {
    const OrvaTag &t = o->tags[i];
    if (t.flags & ORVA_RO) return 0;
    if (IsFrame(t.tag)) {
        o->cur.l[i] = DefaultFrame(o, t.tag, false);
        return 0;
    }
    if (t.tag == 282 || t.tag == 283) {
        LONG old = OrvaDpi(o, t.tag);
        o->cur.num[i] = o->def.num[i];
        o->cur.den[i] = o->def.den[i];
        Rescale(o, t.tag, old, OrvaDpi(o, t.tag));
        return 0;
    }
    o->cur.l[i] = o->def.l[i];
    o->cur.num[i] = o->def.num[i];
    o->cur.den[i] = o->def.den[i];
    lstrcpynA(o->cur.s[i], o->def.s[i], KIT_MAX_TEXT);
    if (t.tag == 277 || t.tag == 258 || t.tag == 262 || t.tag == 5371) NormaliseMode(o);
    if (t.tag == 5363) NormaliseSource(o);
    return 0;
}

LONG *OutLong(LONG value) {
    LONG *p = reinterpret_cast<LONG *>(value);
    return KitWritable(p, sizeof(LONG)) ? p : nullptr;
}

LONG ReadMessage(Orva *o, LONG msg, LONG tag, LONG value) {
    bool isDefault = msg >= 0x330;
    LONG t = tag & 0xFFFF;
    if ((msg == 0x310) && t == 0) {  // tag number of table index i (tag word i << 16)
        LONG index = (tag >> 16) & 0xFFFF;
        LONG *out = OutLong(value);
        if (!out) return KIT_ERR_BADARG;
        if (index >= o->tagCount) return KIT_ERR_BADINDEX;
        *out = o->tags[index].tag;
        return 0;
    }
    int i = Idx(o, t);
    if (i < 0) return KIT_ERR_BADTAG;
    const OrvaTag &d = o->tags[i];
    const OrvaValues &v = isDefault ? o->def : o->cur;
    LONG base = isDefault ? msg - 0x20 : msg;
    if (base == 0x310) {
        if (d.kind == S) return KIT_ERR_BADKIND;
        LONG *out = OutLong(value);
        if (!out) return KIT_ERR_BADARG;
        if (isDefault && IsFrame(d.tag)) *out = DefaultFrame(o, d.tag, true);
        else *out = d.kind == R ? v.num[i] / (v.den[i] ? v.den[i] : 1) : v.l[i];
        return 0;
    }
    if (base == 0x311) {
        if (d.kind == S) return KIT_ERR_BADKIND;
        LONG *out = reinterpret_cast<LONG *>(value);
        if (!KitWritable(out, 2 * sizeof(LONG))) return KIT_ERR_BADARG;
        if (d.kind == R) out[0] = v.num[i], out[1] = v.den[i];
        else out[0] = (isDefault && IsFrame(d.tag)) ? DefaultFrame(o, d.tag, true) : v.l[i], out[1] = 1;
        return 0;
    }
    // 0x312: the buffer length is in the upper half of the tag word
    if (d.kind != S) return KIT_ERR_BADKIND;
    LONG len = (tag >> 16) & 0xFFFF;
    if (len <= 0) return KIT_ERR_BUFFER;
    char *out = reinterpret_cast<char *>(value);
    if (!KitWritable(out, len)) return KIT_ERR_BADARG;
    lstrcpynA(out, v.s[i], len);
    return 0;
}

LONG ChoiceMessage(Orva *o, LONG msg, LONG tag, LONG value) {
    int i = Idx(o, tag & 0xFFFF);
    if (i < 0) return KIT_ERR_BADTAG;
    OrvaChoices c;
    OrvaGetChoices(o, i, &c);
    if (c.mode == 0) return KIT_ERR_NOCHOICES;
    LONG index = static_cast<SHORT>((tag >> 16) & 0xFFFF);
    if (msg == 0x410 || msg == 0x415) {
        LONG *out = OutLong(value);
        if (!out) return KIT_ERR_BADARG;
        if (msg == 0x415) *out = c.mode == 2 ? 0x20000 : 0x40000;
        else *out = c.mode == 2 ? Clamp((static_cast<LONGLONG>(c.range.max) - c.range.min) / (c.range.step > 0 ? c.range.step : 1) + 1)
                                : c.count;
        return 0;
    }
    if (msg == 0x413) {
        if (c.kind != S) return KIT_ERR_BADKIND;
        if (index < 0 || index >= c.count) return KIT_ERR_BADINDEX;
        // 0x413 carries no length: the caller's buffer must take a choice name (64 bytes).
        char *out = reinterpret_cast<char *>(value);
        if (!KitWritable(out, strlen(c.s[index]) + 1)) return KIT_ERR_BADARG;
        lstrcpyA(out, c.s[index]);
        return 0;
    }
    if (c.kind == S) return KIT_ERR_BADKIND;
    LONG n, d = 1;
    if (c.mode == 2) {
        if (index == -1) n = c.range.min;
        else if (index == -2) n = c.range.max;
        else if (index == -3) n = c.range.step;
        else if (index >= 0 && c.range.min + static_cast<LONGLONG>(index) * c.range.step <= c.range.max) n = c.range.min + index * c.range.step;
        else return KIT_ERR_BADINDEX;
    } else {
        if ((index == -1 || index == -2) && c.count == 0) {
            return KIT_ERR_BADINDEX;  // every choice disabled (tag 5371): nothing is smallest
        } else if (index == -1 || index == -2) {  // a list's smallest and largest value
            int best = 0;
            for (int k = 1; k < c.count; ++k) {
                LONGLONG a = static_cast<LONGLONG>(c.l[k]) * c.den[best], b = static_cast<LONGLONG>(c.l[best]) * c.den[k];
                if (index == -1 ? a < b : a > b) best = k;
            }
            n = c.l[best];
            d = c.den[best];
        } else if (index == -3) {
            n = c.listStep;
        } else if (index >= 0 && index < c.count) {
            n = c.l[index];
            d = c.den[index];
        } else {
            return KIT_ERR_BADINDEX;
        }
    }
    if (msg == 0x411) {
        LONG *out = OutLong(value);
        if (!out) return KIT_ERR_BADARG;
        *out = n / (d ? d : 1);
        return 0;
    }
    LONG *out = reinterpret_cast<LONG *>(value);
    if (!KitWritable(out, 2 * sizeof(LONG))) return KIT_ERR_BADARG;
    out[0] = n;
    out[1] = d;
    return 0;
}

typedef LONG(WINAPI *CollectProc)(LONG, LPCSTR, LPCSTR, LONG);
typedef LONG(WINAPI *LookupProc)(LONG, LPCSTR, LONG, LPSTR, LONG, LONG);

bool Saved(const OrvaTag &t) { return !(t.flags & (ORVA_RO | ORVA_PTR | ORVA_NOSAVE)); }

LONG Collect(Orva *o, LONG callback) {
    if (!callback) return KIT_ERR_BADARG;
    auto cb = reinterpret_cast<CollectProc>(callback);
    for (int i = 0; o->p->reportSettings && i < o->tagCount; ++i) {
        const OrvaTag &t = o->tags[i];
        if (!Saved(t)) continue;
        char text[KIT_MAX_TEXT + 32];
        if (t.kind == S) lstrcpynA(text, o->cur.s[i], sizeof text);
        else if (t.kind == R) snprintf(text, sizeof text, "%ld/%ld", o->cur.num[i], o->cur.den[i]);
        else snprintf(text, sizeof text, "%ld", o->cur.l[i]);
        LONG rc = cb(0, t.name, text, 0);
        if (rc != 0) return rc;
    }
    return 0;
}

LONG Restore(Orva *o, LONG callback) {
    if (!callback) return KIT_ERR_BADARG;
    auto cb = reinterpret_cast<LookupProc>(callback);
    for (int i = 0; o->p->reportSettings && i < o->tagCount; ++i) {
        const OrvaTag &t = o->tags[i];
        if (!Saved(t)) continue;
        char text[256] = {};
        LONG rc = cb(0, t.name, 0, text, sizeof text, 0);
        if (rc != 0) return rc;  // the caller's store failed: say so rather than restore half silently
        text[sizeof text - 1] = 0;
        if (text[0] == 0) continue;  // not in the store: keep the current value
        if (t.kind == S) {
            OrvaSetString(o, t.tag, text);
        } else if (t.kind == R) {
            LONG num = atol(text), den = 1;
            const char *slash = strchr(text, '/');
            if (slash) den = atol(slash + 1);
            OrvaSetDpi(o, t.tag, num, den);
        } else {
            OrvaSetLong(o, t.tag, atol(text));
        }
    }
    return 0;
}

// A driver-defined rational: one of a list (as a fraction: 600/2 is 300/1, kept as the list
// writes it), a whole value fitted into a range, or any value when the profile offers none.
LONG SetCustomRational(Orva *o, int i, LONG num, LONG den) {
    OrvaChoices c;
    OrvaGetChoices(o, i, &c);
    if (c.mode == 1) {
        int k = 0;
        while (k < c.count && static_cast<LONGLONG>(num) * c.den[k] != static_cast<LONGLONG>(c.l[k]) * den) ++k;
        if (k == c.count) return KIT_ERR_BADVALUE;
        num = c.l[k];
        den = c.den[k];
    } else if (c.mode == 2) {
        num /= den;
        den = 1;
        Fit(c, &num);
    }
    o->cur.num[i] = num;
    o->cur.den[i] = den;
    return 0;
}

}  // namespace

int OrvaIndex(const Orva *o, LONG tag) {
    for (int i = 0; i < o->tagCount; ++i)
        if (o->tags[i].tag == tag) return i;
    return -1;
}

LONG OrvaLong(const Orva *o, LONG tag) {
    int i = OrvaIndex(o, tag);
    return i < 0 ? 0 : o->cur.l[i];
}

LONG OrvaDpi(const Orva *o, LONG tag) {
    int i = OrvaIndex(o, tag);
    if (i < 0 || o->cur.den[i] == 0) return 0;
    return o->cur.num[i] / o->cur.den[i];
}

void OrvaBuildTags(Orva *o) {
    o->tagCount = 0;
    for (const BuiltIn &b : kBuiltIns)
        if (Present(o->p, b.tag)) o->tags[o->tagCount++] = {b.tag, b.kind, b.name, b.flags, nullptr};
    for (int i = 0; i < o->p->customCount; ++i) {
        const KitCustomTag &c = o->p->customs[i];
        if (OrvaIndex(o, c.tag) >= 0) continue;  // a built-in tag cannot be redefined
        o->tags[o->tagCount++] = {c.tag, c.kind, c.name, c.readOnly ? ORVA_RO : 0, &c};
    }
    SetDefaults(o);
    ZeroMemory(&o->cur, sizeof o->cur);
    for (int i = 0; i < o->tagCount; ++i) o->cur.den[i] = 1;
    // the resolutions first, since the default frame is measured with them
    o->cur.num[OrvaIndex(o, 282)] = o->def.num[OrvaIndex(o, 282)];
    o->cur.num[OrvaIndex(o, 283)] = o->def.num[OrvaIndex(o, 283)];
    ResetAll(o, true);
}

LONG OrvaGetChoices(const Orva *o, int i, OrvaChoices *c) {
    ZeroMemory(c, sizeof *c);
    if (i < 0 || i >= o->tagCount) return KIT_ERR_BADTAG;
    const OrvaTag &t = o->tags[i];
    const KitProfile *p = o->p;
    c->kind = t.kind;
    if (t.custom) {
        const KitCustomTag &k = *t.custom;
        if (t.kind == S) {
            c->mode = k.strings.count > 0 ? 1 : 0;
            for (int n = 0; n < k.strings.count; ++n) c->s[c->count++] = k.strings.names[n];
        } else if (t.kind == R && !k.longs.isRange) {
            c->mode = k.longs.count > 0 ? 1 : 0;
            for (int n = 0; n < k.longs.count; ++n, ++c->count) c->l[c->count] = k.longs.values[n], c->den[c->count] = k.dens[n];
        } else if (k.longs.isRange || k.longs.count > 0) {
            FromKit(c, k.longs);
        }
        return 0;
    }
    switch (t.tag) {
    case 256: case 257: case 286: case 287: {
        bool x = t.tag == 256 || t.tag == 286;
        LONG dpi = OrvaDpi(o, x ? 282 : 283);
        LONG mx = Px(x ? p->maxWidthMm10 : p->maxLengthMm10, dpi), mn = Px(x ? p->minWidthMm10 : p->minLengthMm10, dpi);
        if (mn < 1) mn = 1;
        if (mx < mn) mx = mn;
        c->mode = 2;
        if (t.tag == 256) {
            mx -= mx % p->widthStep;
            mn += (p->widthStep - mn % p->widthStep) % p->widthStep;
            if (mx < mn) mx = mn;
            c->range = {mn, mx, p->widthStep};
            if (p->widthList) {  // the page sizes' widths between the narrowest and the widest
                c->mode = 1;
                c->listStep = p->widthStep;
                AddLong(c, mn);
                for (int k = 0; k < p->pageSizeCount; ++k) {
                    LONG w = WidthPx(o, p->pageSizes[k].widthMm10, dpi);
                    if (w > mn && w < mx) AddLong(c, w);
                }
                AddLong(c, mx);
                SortLongs(c);
            }
        } else if (t.tag == 257) {
            c->range = {mn, mx, 1};
        } else {
            c->range = {0, mx - mn, 1};
        }
        return 0;
    }
    case 258: {
        c->mode = 1;
        if (OrvaLong(o, 277) == 3) {
            for (int k = 0; k < p->colorDepthCount; ++k)
                if (ColorOn(o, p->colorDepths[k])) AddLong(c, p->colorDepths[k]);
        } else {
            if (GrayOn(o, 1)) AddLong(c, 1);
            for (int k = 0; k < p->grayDepthCount; ++k)
                if (GrayOn(o, p->grayDepths[k])) AddLong(c, p->grayDepths[k]);
            for (int k = 0; k < p->paletteDepthCount; ++k)
                if (PaletteOn(o, p->paletteDepths[k])) AddLong(c, p->paletteDepths[k]);
        }
        SortLongs(c);
        if (p->depthRange && c->count > 0) {  // from the least to the most, in the steps they share
            LONG step = 0;
            for (int k = 1; k < c->count; ++k) step = Gcd(step, c->l[k] - c->l[0]);
            c->mode = 2;
            c->range = {c->l[0], c->l[c->count - 1], step > 0 ? step : 1};
        }
        return 0;
    }
    case 277: {
        c->mode = 1;
        bool mono = GrayOn(o, 1), color = false;
        for (LONG d = 2; d <= 16; ++d) mono = mono || GrayOn(o, d) || PaletteOn(o, d);
        for (LONG d = 1; d <= 16; ++d) color = color || ColorOn(o, d);
        if (mono || !color) AddLong(c, 1);
        if (color) AddLong(c, 3);
        return 0;
    }
    case 262: {
        c->mode = 1;
        LONG d = OrvaLong(o, 258);
        if (OrvaLong(o, 277) == 3) {
            AddLong(c, 2);
            return 0;
        }
        if (GrayOn(o, d)) AddLong(c, 0), AddLong(c, 1);
        if (PaletteOn(o, d)) AddLong(c, 3);
        return 0;
    }
    case 282: case 283: FromKit(c, p->resolutions); return 0;
    case 259: FromKit(c, p->compressions); return 0;
    case 274: ListOf(c, {1}); return 0;
    case 1280: c->mode = 1; for (int k = 0; k < p->halftones.count; ++k) c->s[c->count++] = p->halftones.names[k]; return 0;
    case 1294: c->mode = 1; for (int k = 0; k < p->pageSizeCount; ++k) c->s[c->count++] = p->pageSizes[k].name; return 0;
    case 1281: FromKit(c, p->contrast); return 0;
    case 1282:
        FromKit(c, p->brightness);
        if (p->autoBrightness) {
            if (c->mode == 2) c->range.min = -3;  // -3: automatic brightness is offered
            else AddLong(c, -3), SortLongs(c);
        }
        return 0;
    case 1293: case 1297: case 5363: case 5374: case 5632: ListOf(c, {0, 1}); return 0;
    case 1300: {
        c->mode = 1;
        LONG sources[3];
        int n = 0;
        if (p->flatbed) sources[n++] = 2;
        if (p->feeder) sources[n++] = 3;
        if (p->duplex) sources[n++] = 4;
        for (int k = 0; k < n; ++k)
            if (OrvaLong(o, 5363) != 1 || Contains(p->singlePageSources, p->singlePageSourceCount, sources[k])) AddLong(c, sources[k]);
        return 0;
    }
    case 1404: c->mode = 2; c->range = {0, 32767, 1}; return 0;
    case 1412: c->mode = 2; c->range = {0, 99999999, 1}; return 0;
    case 4204:
        c->mode = 1;
        AddLong(c, 0);
        if (p->endorser & 1) AddLong(c, 1);
        if (p->endorser & 2) AddLong(c, 3);
        return 0;
    case 1447:
        if (p->jobControlRange) c->mode = 2, c->range = {0, 4, 1};
        else ListOf(c, {0, 1, 2, 3, 4});
        return 0;
    case 5412: ListOf(c, {16, 256}); return 0;
    default: return 0;  // no choices: any value
    }
}

LONG OrvaSetLong(Orva *o, LONG tag, LONG value) {
    int i = OrvaIndex(o, tag & 0xFFFF);
    if (i < 0) return KIT_ERR_BADTAG;
    const OrvaTag &t = o->tags[i];
    if (t.flags & ORVA_RO) return KIT_ERR_READONLY;
    if (t.kind == S) return KIT_ERR_BADKIND;
    if (t.kind == R) return OrvaSetDpi(o, t.tag, value, 1);
    if (t.flags & ORVA_PTR) {
        o->cur.l[i] = value;
        return 0;
    }
    if ((t.tag == 1281 || t.tag == 1282) && value == -1) value = o->def.l[i];  // the driver's normal value
    OrvaChoices c;
    OrvaGetChoices(o, i, &c);
    if (t.tag == 1282 && value != -3 && c.mode == 2 && c.range.min == -3) c.range.min = 1;
    if (t.tag == 1282 && value > -3 && value < 1 && c.mode == 2) value = 1;
    LONG rc = Fit(c, &value);
    if (rc != 0) return rc;
    o->cur.l[i] = value;
    if (t.tag == 277 || t.tag == 258 || t.tag == 262 || t.tag == 5371) NormaliseMode(o);
    if (t.tag == 5363) NormaliseSource(o);
    if (t.tag == 1447 && value == 0) Put(o, 1448, 0);
    return 0;
}

LONG OrvaSetDpi(Orva *o, LONG tag, LONG num, LONG den) {
    int i = OrvaIndex(o, tag);
    if (i < 0) return KIT_ERR_BADTAG;
    const OrvaTag &t = o->tags[i];
    if (t.flags & ORVA_RO) return KIT_ERR_READONLY;
    if (t.kind == S) return KIT_ERR_BADKIND;
    if (den <= 0) return KIT_ERR_BADVALUE;
    if (KitLongKind(t.kind)) return OrvaSetLong(o, tag, num / den);
    if (t.custom) return SetCustomRational(o, i, num, den);
    if (num % den != 0) return KIT_ERR_BADVALUE;  // whole dots per inch only
    LONG v = num / den;
    OrvaChoices c;
    OrvaGetChoices(o, i, &c);
    LONG rc = Fit(c, &v);
    if (rc != 0) return rc;
    LONG old = OrvaDpi(o, tag);
    o->cur.num[i] = v;
    o->cur.den[i] = 1;
    if (tag == 282 || tag == 283) Rescale(o, tag, old, v);
    if (tag == 282 && OrvaLong(o, 5374) != 0) {
        int y = OrvaIndex(o, 283);
        LONG oldY = OrvaDpi(o, 283);
        o->cur.num[y] = v;
        o->cur.den[y] = 1;
        Rescale(o, 283, oldY, v);
    }
    return 0;
}

LONG OrvaSetString(Orva *o, LONG tag, LPCSTR value) {
    int i = OrvaIndex(o, tag & 0xFFFF);
    if (i < 0) return KIT_ERR_BADTAG;
    const OrvaTag &t = o->tags[i];
    if (t.flags & ORVA_RO) return KIT_ERR_READONLY;
    if (t.kind != S) return KIT_ERR_BADKIND;
    char text[KIT_MAX_TEXT + 1];
    if (!KitCopyString(text, sizeof text, value)) return KIT_ERR_BADARG;
    OrvaChoices c;
    OrvaGetChoices(o, i, &c);
    if (c.mode == 1) {
        int k = 0;
        while (k < c.count && lstrcmpiA(c.s[k], text) != 0) ++k;
        if (k == c.count) return KIT_ERR_BADVALUE;
        lstrcpynA(text, c.s[k], sizeof text);
    } else if (strlen(text) >= KIT_MAX_TEXT) {
        return KIT_ERR_BADVALUE;
    }
    lstrcpynA(o->cur.s[i], text, KIT_MAX_TEXT);
    if (t.tag == 1294) ApplyPageFrame(o, text);
    return 0;
}

LONG OrvaPaperStatus(Orva *o) {
    if (!o->p->stackSensor && !o->p->paperSensor) return 0;
    if (OrvaLong(o, 1300) == 2) return 2;
    return o->feederTaken < OrvaFeederPages(o) ? 2 : 1;
}

LONG OrvaTagMessage(Orva *o, LONG msg, LONG tag, LONG value) {
    switch (msg) {
    case 0x310: case 0x311: case 0x312: case 0x330: case 0x331: case 0x332:
        return ReadMessage(o, msg, tag, value);
    case 0x320: return OrvaSetString(o, tag, reinterpret_cast<LPCSTR>(value));
    case 0x321: return OrvaSetLong(o, tag, value);
    case 0x322: {
        const LONG *r = reinterpret_cast<const LONG *>(value);
        if (!KitReadable(r, 2 * sizeof(LONG))) return KIT_ERR_BADARG;
        return OrvaSetDpi(o, tag & 0xFFFF, r[0], r[1]);
    }
    case 0x340: {
        if ((tag & 0xFFFF) == 0) {
            ResetAll(o, false);
            return 0;
        }
        int i = OrvaIndex(o, tag & 0xFFFF);
        if (i < 0) return KIT_ERR_BADTAG;
        // The page size alone back to its default brings that page's frame, as setting it does.
        if ((tag & 0xFFFF) == 1294) {
            char deflt[KIT_MAX_NAME];
            lstrcpynA(deflt, o->def.s[i], sizeof deflt);
            return OrvaSetString(o, 1294, deflt);
        }
        return ResetOne(o, i);
    }
    case 0x342: {
        int i = OrvaIndex(o, tag & 0xFFFF);
        LONG *out = OutLong(value);
        if (i < 0) return KIT_ERR_BADTAG;
        if (!out) return KIT_ERR_BADARG;
        *out = o->tags[i].kind;
        return 0;
    }
    case 0x314: {
        LONG *out = OutLong(value);
        if (!out) return KIT_ERR_BADARG;
        *out = o->tagCount;
        return 0;
    }
    case 0x315: {
        int i = OrvaIndex(o, tag & 0xFFFF);
        LONG *out = OutLong(value);
        if (i < 0) return KIT_ERR_BADTAG;
        if (!out) return KIT_ERR_BADARG;
        // Low half the TWAIN capability, high half flags: bit 0 marks a read-only tag.
        const KitCustomTag *c = o->tags[i].custom;
        *out = c ? ((c->capability & 0xFFFF) | (c->readOnly ? 0x10000 : 0)) : 0;
        return 0;
    }
    case 0x343:
        if (o->snapshotDepth >= ORVA_MAX_SNAPSHOTS) return KIT_ERR_SNAPDEPTH;
        o->snapshots[o->snapshotDepth++] = o->cur;
        return 0;
    case 0x344:
        if (o->snapshotDepth <= 0) return KIT_ERR_NOSNAPSHOT;
        --o->snapshotDepth;
        return 0;
    case 0x345:
        if (o->snapshotDepth <= 0) return KIT_ERR_NOSNAPSHOT;
        o->cur = o->snapshots[--o->snapshotDepth];
        return 0;
    case 0x348: return Collect(o, tag ? tag : value);  // the call-back comes as the tag word
    case 0x349: return Restore(o, tag ? tag : value);
    case 0x410: case 0x411: case 0x412: case 0x413: case 0x415:
        return ChoiceMessage(o, msg, tag, value);
    default:
        return KIT_ERR_BADMESSAGE;
    }
}
