// Reader of scanner profiles: INI files that describe a virtual scanner model (kit/README.md
// lists every key). The reader is strict, so that a typing error in a profile is reported with
// its file and line instead of silently giving a different scanner.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kit/common/kitcommon.h"

namespace {

constexpr LONG kMaxDpi = 10000;

struct ErrorName { const char *name; LONG error; };
constexpr ErrorName kErrorNames[] = {
    {"NoMemory", KIT_ERR_NOMEMORY},   {"BadArgument", KIT_ERR_BADARG},
    {"BadTag", KIT_ERR_BADTAG},       {"BadValue", KIT_ERR_BADVALUE},
    {"Cancel", KIT_ERR_CANCEL},       {"PaperJam", KIT_ERR_PAPERJAM},
    {"FeederEmpty", KIT_ERR_FEEDEREMPTY}, {"CoverOpen", KIT_ERR_COVEROPEN},
    {"Offline", KIT_ERR_OFFLINE},     {"Busy", KIT_ERR_BUSY},
    {"Fault", KIT_ERR_FAULT},         {"NoDriver", KIT_ERR_NODRIVER},
};

struct Parser {
    const char *file;
    int line;
    char *error;
    int errorSize;
    // where the defaults were given, checked against their choices once the whole file is read
    int resolutionLine, brightnessLine, contrastLine;
    int tagDefaultLine[KIT_MAX_CUSTOM];
    LONG Fail(const char *fmt, const char *what) {
        char reason[200];
        snprintf(reason, sizeof reason, fmt, what);
        snprintf(error, errorSize, "%s(%d): %s", file, line, reason);
        return KIT_ERR_PROFILE;
    }
};

char *Trim(char *s) {
    while (*s == ' ' || *s == '\t') ++s;
    char *e = s + strlen(s);
    while (e > s && (e[-1] == ' ' || e[-1] == '\t' || e[-1] == '\r' || e[-1] == '\n')) --e;
    *e = 0;
    return s;
}

bool ParseLong(const char *s, LONG *out) {
    char *end = nullptr;
    while (*s == ' ') ++s;
    if (*s == 0) return false;
    long v = strtol(s, &end, 0);
    while (*end == ' ') ++end;
    if (*end != 0) return false;
    *out = v;
    return true;
}

bool ParseBool(const char *s, BOOL *out) {
    if (!lstrcmpiA(s, "yes") || !lstrcmpiA(s, "true") || !lstrcmpiA(s, "on") || !strcmp(s, "1")) {
        *out = TRUE;
        return true;
    }
    if (!lstrcmpiA(s, "no") || !lstrcmpiA(s, "false") || !lstrcmpiA(s, "off") || !strcmp(s, "0")) {
        *out = FALSE;
        return true;
    }
    return false;
}

// "a,b,c" into at most max values.
bool ParseList(char *s, LONG *values, int max, int *count) {
    *count = 0;
    if (*Trim(s) == 0) return true;
    for (char *tok = strtok(s, ","); tok; tok = strtok(nullptr, ",")) {
        if (*count >= max || !ParseLong(Trim(tok), &values[*count])) return false;
        ++*count;
    }
    return true;
}

// "min..max/step" or "a,b,c".
bool ParseChoices(char *s, KitLongChoices *c) {
    ZeroMemory(c, sizeof *c);
    char *dots = strstr(s, "..");
    if (!dots) return ParseList(s, c->values, KIT_MAX_LIST, &c->count) && c->count > 0;
    *dots = 0;
    char *slash = strchr(dots + 2, '/');
    c->range.step = 1;
    if (slash) {
        *slash = 0;
        if (!ParseLong(Trim(slash + 1), &c->range.step) || c->range.step <= 0) return false;
    }
    if (!ParseLong(Trim(s), &c->range.min) || !ParseLong(Trim(dots + 2), &c->range.max)) return false;
    c->isRange = TRUE;
    return c->range.min <= c->range.max;
}

// "Name1;Name2".
bool ParseNames(char *s, KitNames *n) {
    n->count = 0;
    if (*Trim(s) == 0) return true;
    for (char *tok = strtok(s, ";"); tok; tok = strtok(nullptr, ";")) {
        char *t = Trim(tok);
        if (n->count >= KIT_MAX_LIST || *t == 0 || strlen(t) >= KIT_MAX_NAME) return false;
        lstrcpynA(n->names[n->count++], t, KIT_MAX_NAME);
    }
    return true;
}

// Millimetres with up to one decimal into tenths.
bool ParseMm10(const char *s, LONG *out) {
    char *end = nullptr;
    double v = strtod(s, &end);
    if (end == s || v <= 0 || v > 10000) return false;
    while (*end == ' ') ++end;
    if (*end != 0) return false;
    *out = static_cast<LONG>(v * 10 + 0.5);
    return true;
}

// "Letter=215.9x279.4; A4=210x297".
bool ParsePageSizes(char *s, KitProfile *p) {
    p->pageSizeCount = 0;
    if (*Trim(s) == 0) return true;
    for (char *tok = strtok(s, ";"); tok; tok = strtok(nullptr, ";")) {
        char *eq = strchr(tok, '=');
        if (!eq || p->pageSizeCount >= KIT_MAX_LIST) return false;
        *eq = 0;
        char *x = strchr(eq + 1, 'x');
        if (!x) return false;
        *x = 0;
        KitPageSize &ps = p->pageSizes[p->pageSizeCount];
        char *name = Trim(tok);
        if (*name == 0 || strlen(name) >= KIT_MAX_NAME) return false;
        lstrcpynA(ps.name, name, KIT_MAX_NAME);
        if (!ParseMm10(Trim(eq + 1), &ps.widthMm10) || !ParseMm10(Trim(x + 1), &ps.lengthMm10)) return false;
        ++p->pageSizeCount;
    }
    return true;
}

// One more bar code of a page, its text kept in the profile's pool.
bool AddCode(KitProfile *p, KitPageExtra *e, LONG type, const char *text) {
    LONG n = static_cast<LONG>(strlen(text)) + 1;
    if (e->codeCount >= KIT_MAX_CODES || n > KIT_MAX_CODE_TEXT || p->codeTextUsed + n > KIT_CODE_TEXT_POOL) return false;
    KitCode &c = e->codes[e->codeCount++];
    c.type = type;
    c.text = p->codeTextUsed;
    memcpy(p->codeText + p->codeTextUsed, text, n);
    p->codeTextUsed += n;
    return true;
}

// "3:ABC-123; 1:12345670"; an empty text ("3:") is a code the scanner read nothing from.
bool ParseCodes(char *s, KitProfile *p, KitPageExtra *e) {
    for (char *tok = strtok(s, ";"); tok; tok = strtok(nullptr, ";")) {
        char *colon = strchr(tok, ':');
        if (!colon) return false;
        *colon = 0;
        LONG type;
        if (!ParseLong(Trim(tok), &type) || !AddCode(p, e, type, Trim(colon + 1))) return false;
    }
    return true;
}

bool ParsePatch(const char *s, KitProfile *profile, KitPageExtra *e) {
    struct P { const char *name; LONG type; const char *text; };
    static constexpr P kPatches[] = {{"2", 9, "PATCH II"}, {"3", 10, "PATCH III"}, {"T", 11, "PATCH T"}};
    for (const P &p : kPatches)
        if (lstrcmpiA(s, p.name) == 0) return AddCode(profile, e, p.type, p.text);
    return false;
}

// "ordinal 35, PaperJam, at 2".
bool ParseFault(char *s, KitFault *f) {
    ZeroMemory(f, sizeof *f);
    char *parts[3] = {};
    int n = 0;
    for (char *tok = strtok(s, ","); tok; tok = strtok(nullptr, ",")) {
        if (n >= 3) return false;
        parts[n++] = Trim(tok);
    }
    if (n < 2) return false;
    char *sp = strchr(parts[0], ' ');
    if (!sp) return false;
    *sp = 0;
    struct T { const char *name; int target; };
    static constexpr T kTargets[] = {{"ordinal", KIT_FAULT_ORDINAL}, {"msg", KIT_FAULT_MESSAGE},
                                     {"tag", KIT_FAULT_TAG}, {"page", KIT_FAULT_PAGE},
                                     {"jexmdln", KIT_FAULT_JEXM}};
    for (const T &t : kTargets)
        if (!lstrcmpiA(parts[0], t.name)) f->target = t.target;
    // "msg 0x321 tag 1300": that message only when it carries that tag
    char *number = Trim(sp + 1), *tagWord = strstr(number, " tag ");
    if (tagWord) {
        *tagWord = 0;
        if (f->target != KIT_FAULT_MESSAGE || !ParseLong(Trim(tagWord + 5), &f->tag) || f->tag <= 0 || f->tag > 0xFFFF)
            return false;
    }
    if (f->target == 0 || !ParseLong(Trim(number), &f->number)) return false;
    f->error = KitErrorByName(parts[1]);
    if (f->error == 0) return false;
    f->when = f->target == KIT_FAULT_PAGE ? KIT_WHEN_ONCE : KIT_WHEN_ALWAYS;
    if (n == 3) {
        if (!lstrcmpiA(parts[2], "once")) f->when = KIT_WHEN_ONCE;
        else if (!lstrcmpiA(parts[2], "always")) f->when = KIT_WHEN_ALWAYS;
        else if (!strncmp(parts[2], "at ", 3) && ParseLong(parts[2] + 3, &f->nth) && f->nth > 0) f->when = KIT_WHEN_AT;
        else if (!strncmp(parts[2], "from ", 5) && ParseLong(parts[2] + 5, &f->nth) && f->nth > 0) f->when = KIT_WHEN_FROM;
        else return false;
    }
    return true;
}

// "long", "string", "rational", or the number 0x342 answers (1, 3 and 4 are longs).
bool ParseKind(const char *s, LONG *kind) {
    LONG n;
    if (!lstrcmpiA(s, "long")) *kind = KIT_KIND_LONG;
    else if (!lstrcmpiA(s, "string")) *kind = KIT_KIND_STRING;
    else if (!lstrcmpiA(s, "rational")) *kind = KIT_KIND_RATIONAL;
    else if (ParseLong(s, &n) && n >= 1 && n <= 5) *kind = n;
    else return false;
    return true;
}

// "300/1" or "300" (denominator 1).
bool ParseRational(char *s, LONG *num, LONG *den) {
    char *slash = strchr(s, '/');
    *den = 1;
    if (slash) {
        *slash = 0;
        if (!ParseLong(Trim(slash + 1), den) || *den <= 0) return false;
    }
    return ParseLong(Trim(s), num);
}

// Rational choices: a list "75/1, 300/2, 600" or a range of whole values "min..max/step".
bool ParseRationalChoices(char *s, KitCustomTag *c) {
    if (strstr(s, "..")) return ParseChoices(s, &c->longs);
    ZeroMemory(&c->longs, sizeof c->longs);
    if (*Trim(s) == 0) return false;
    for (char *tok = strtok(s, ","); tok; tok = strtok(nullptr, ",")) {
        int k = c->longs.count;
        if (k >= KIT_MAX_LIST || !ParseRational(Trim(tok), &c->longs.values[k], &c->dens[k])) return false;
        ++c->longs.count;
    }
    return true;
}

int CompareNames(const void *a, const void *b) {
    return lstrcmpiA(static_cast<const char *>(a), static_cast<const char *>(b));
}

int ComparePointedNames(const void *a, const void *b) {
    return lstrcmpiA(*static_cast<const char *const *>(a), *static_cast<const char *const *>(b));
}

// The full names of the folder's *.bmp files, sorted by name, at most max of them; *more tells
// whether the folder holds further ones.
int ListFolder(const char *folder, char (*names)[MAX_PATH], int max, bool *more) {
    char pattern[MAX_PATH + 8];
    snprintf(pattern, sizeof pattern, "%s\\*.bmp", folder);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern, &fd);
    int count = 0;
    *more = false;
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (count >= max) {
            *more = true;
            break;
        }
        lstrcpynA(names[count++], fd.cFileName, MAX_PATH);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    qsort(names, count, MAX_PATH, CompareNames);
    for (int i = 0; i < count; ++i) {
        char full[2 * MAX_PATH];
        snprintf(full, sizeof full, "%s\\%s", folder, names[i]);
        lstrcpynA(names[i], full, MAX_PATH);
    }
    return count;
}

// Lists the *.bmp files of the folder, sorted by name. False when the folder holds more than the
// kit can feed: better refused at the load than pages silently left out.
bool ListPages(KitProfile *p) {
    bool more = false;
    p->pageFileCount = ListFolder(p->pageFolder, p->pageFiles, KIT_MAX_PAGE_FILES, &more);
    return !more;
}

KitPageExtra *ExtraFor(KitProfile *p, LONG page) {
    for (int i = 0; i < p->extraCount; ++i)
        if (p->extras[i].page == page) return &p->extras[i];
    if (p->extraCount >= KIT_MAX_PAGES) return nullptr;
    KitPageExtra *e = &p->extras[p->extraCount++];
    ZeroMemory(e, sizeof *e);
    e->page = page;
    return e;
}

KitCustomTag *CustomFor(KitProfile *p, LONG tag) {
    for (int i = 0; i < p->customCount; ++i)
        if (p->customs[i].tag == tag) return &p->customs[i];
    if (p->customCount >= KIT_MAX_CUSTOM) return nullptr;
    KitCustomTag *c = &p->customs[p->customCount++];
    ZeroMemory(c, sizeof *c);
    c->tag = tag;
    c->kind = KIT_KIND_LONG;
    c->count = 1;
    c->defDen = 1;
    return c;
}

enum Section { SEC_NONE, SEC_SCANNER, SEC_PAPER, SEC_PAGE, SEC_TAG, SEC_FAULTS };

LONG ScannerKey(Parser &ps, KitProfile *p, const char *key, char *v) {
    struct B { const char *key; BOOL KitProfile::*field; };
    static constexpr B kBools[] = {
        {"Flatbed", &KitProfile::flatbed},        {"Feeder", &KitProfile::feeder},
        {"Duplex", &KitProfile::duplex},          {"StackSensor", &KitProfile::stackSensor},
        {"PaperSensor", &KitProfile::paperSensor}, {"Film", &KitProfile::film},
        {"Bitonal", &KitProfile::bitonal},        {"AutoBrightness", &KitProfile::autoBrightness},
        {"OwnDialog", &KitProfile::ownDialog},    {"AdvancedDialog", &KitProfile::advancedDialog},
        {"JobSeparators", &KitProfile::jobSeparators}, {"SinglePageMode", &KitProfile::singlePageMode},
        {"ReportSettings", &KitProfile::reportSettings},
    };
    for (const B &b : kBools)
        if (!lstrcmpiA(key, b.key)) return ParseBool(v, &(p->*b.field)) ? 0 : ps.Fail("%s needs yes or no", key);
    struct M { const char *key; LONG KitProfile::*field; };
    static constexpr M kMm[] = {
        {"MaxWidthMm", &KitProfile::maxWidthMm10}, {"MaxLengthMm", &KitProfile::maxLengthMm10},
        {"MinWidthMm", &KitProfile::minWidthMm10}, {"MinLengthMm", &KitProfile::minLengthMm10},
    };
    for (const M &m : kMm)
        if (!lstrcmpiA(key, m.key)) return ParseMm10(v, &(p->*m.field)) ? 0 : ps.Fail("%s needs millimetres", key);
    struct L { const char *key; LONG KitProfile::*field; LONG min, max; };
    static constexpr L kLongs[] = {
        {"WidthStep", &KitProfile::widthStep, 1, 256},
        {"DefaultResolution", &KitProfile::defaultResolution, 1, 10000},
        {"BrightnessDefault", &KitProfile::brightnessDefault, -1000, 100000},
        {"ContrastDefault", &KitProfile::contrastDefault, -1000, 100000},
        {"PreviewResolution", &KitProfile::previewResolution, 0, 10000},
        {"DelayMs", &KitProfile::delayMs, 0, 60000},
    };
    for (const L &l : kLongs) {
        if (lstrcmpiA(key, l.key)) continue;
        LONG x;
        if (!ParseLong(v, &x) || x < l.min || x > l.max) return ps.Fail("%s: number out of range", key);
        p->*l.field = x;
        if (l.field == &KitProfile::defaultResolution) ps.resolutionLine = ps.line;
        if (l.field == &KitProfile::brightnessDefault) ps.brightnessLine = ps.line;
        if (l.field == &KitProfile::contrastDefault) ps.contrastLine = ps.line;
        return 0;
    }
    if (!lstrcmpiA(key, "Name")) {
        if (strlen(v) >= KIT_MAX_NAME) return ps.Fail("%s too long", key);
        lstrcpynA(p->name, v, KIT_MAX_NAME);
        return 0;
    }
    if (!lstrcmpiA(key, "Resolutions")) {
        if (!ParseChoices(v, &p->resolutions)) return ps.Fail("%s needs a list a,b,c or a range min..max/step", key);
        // beyond 10000 dpi the frame's pixel counts no longer fit the scanner's arithmetic
        const KitLongChoices &r = p->resolutions;
        bool fits = r.isRange ? r.range.min >= 1 && r.range.max <= kMaxDpi : true;
        for (int i = 0; !r.isRange && i < r.count; ++i) fits = fits && r.values[i] >= 1 && r.values[i] <= kMaxDpi;
        return fits ? 0 : ps.Fail("%s: dots per inch from 1 to 10000 only", key);
    }
    if (!lstrcmpiA(key, "Brightness") || !lstrcmpiA(key, "Contrast")) {
        KitLongChoices *c = !lstrcmpiA(key, "Brightness") ? &p->brightness : &p->contrast;
        return ParseChoices(v, c) ? 0 : ps.Fail("%s needs a list a,b,c or a range min..max/step", key);
    }
    // Only depths the scanner can produce and jexmdln can hold: a profile that offered others
    // would load and then fail every scan.
    struct D { const char *key; LONG *values; int *count; int max; int allowed; const char *text; };
    const D depths[] = {
        {"GrayDepths", p->grayDepths, &p->grayDepthCount, 8, 1 << 2 | 1 << 4 | 1 << 8, "%s: only 2, 4 and 8 (1 is Bitonal)"},
        {"ColorDepths", p->colorDepths, &p->colorDepthCount, 8, 1 << 1 | 1 << 2 | 1 << 4 | 1 << 8, "%s: only 1, 2, 4 and 8"},
        {"PaletteDepths", p->paletteDepths, &p->paletteDepthCount, 4, 1 << 4 | 1 << 8, "%s: only 4 and 8"},
    };
    for (const D &d : depths) {
        if (lstrcmpiA(key, d.key)) continue;
        if (!ParseList(v, d.values, d.max, d.count)) return ps.Fail("%s needs a list of depths", key);
        for (int i = 0; i < *d.count; ++i)
            if (d.values[i] < 1 || d.values[i] > 8 || !(d.allowed & (1 << d.values[i]))) return ps.Fail(d.text, key);
        return 0;
    }
    if (!lstrcmpiA(key, "Halftones"))
        return ParseNames(v, &p->halftones) ? 0 : ps.Fail("%s needs names separated by ;", key);
    if (!lstrcmpiA(key, "PageSizes"))
        return ParsePageSizes(v, p) ? 0 : ps.Fail("%s needs Name=WIDTHxLENGTH pairs in mm separated by ;", key);
    if (!lstrcmpiA(key, "DefaultPageSize")) {
        lstrcpynA(p->defaultPageSize, v, KIT_MAX_NAME);
        return 0;
    }
    if (!lstrcmpiA(key, "SinglePageSources"))
        return ParseList(v, p->singlePageSources, 4, &p->singlePageSourceCount) ? 0 : ps.Fail("%s needs a list of 2, 3, 4", key);
    // How a choice list is answered: "list" (0x415 gives 0x40000) or "range" (0x20000).
    struct C { const char *key; BOOL KitProfile::*field; BOOL rangeIsOn; };
    static constexpr C kShapes[] = {
        {"DepthChoices", &KitProfile::depthRange, TRUE},
        {"WidthChoices", &KitProfile::widthList, FALSE},
        {"JobControlChoices", &KitProfile::jobControlRange, TRUE},
    };
    for (const C &c : kShapes) {
        if (lstrcmpiA(key, c.key)) continue;
        bool range = !lstrcmpiA(v, "range");
        if (!range && lstrcmpiA(v, "list")) return ps.Fail("%s needs list or range", key);
        p->*c.field = range == (c.rangeIsOn != FALSE);
        return 0;
    }
    if (!lstrcmpiA(key, "Compressions")) {
        KitLongChoices &c = p->compressions;
        bool ok = ParseChoices(v, &c) && (c.isRange ? c.range.min >= 1 : true);
        for (int i = 0; ok && !c.isRange && i < c.count; ++i) ok = c.values[i] >= 1;
        return ok ? 0 : ps.Fail("%s needs driver compression codes (1 none), a list or a range", key);
    }
    if (!lstrcmpiA(key, "Endorser")) {
        static constexpr const char *kKinds[] = {"none", "text", "counter", "both"};
        for (int i = 0; i < 4; ++i)
            if (!lstrcmpiA(v, kKinds[i])) {
                p->endorser = i;
                return 0;
            }
        return ps.Fail("%s needs none, text, counter or both", key);
    }
    return ps.Fail("unknown key %s in [Scanner]", key);
}

// Under Wine, the Windows name of a Unix path ("/home/me/pages" -> "Z:\home\me\pages"), so that
// a profile can name a folder as the developer's own tools show it. False elsewhere.
bool UnixToDos(const char *unixPath, char *out) {
    typedef WCHAR *(CDECL * ToDos)(const char *);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto toDos = kernel ? reinterpret_cast<ToDos>(reinterpret_cast<void (*)(void)>(GetProcAddress(kernel, "wine_get_dos_file_name")))
                        : nullptr;
    WCHAR *dos = toDos ? toDos(unixPath) : nullptr;
    if (!dos) return false;
    int n = WideCharToMultiByte(CP_ACP, 0, dos, -1, out, MAX_PATH, nullptr, nullptr);
    HeapFree(GetProcessHeap(), 0, dos);
    return n > 0;
}

LONG PaperKey(Parser &ps, KitProfile *p, const char *key, char *v) {
    if (!lstrcmpiA(key, "Pages")) {
        LONG n;
        if (!ParseLong(v, &n) || n < 0 || n > 100000) return ps.Fail("%s needs a page count", key);
        p->generatedPages = n;
        return 0;
    }
    if (!lstrcmpiA(key, "Folder")) {
        char full[MAX_PATH];
        // "\\server\pages" and "C:\pages" are taken as they are, "/home/me/pages" as Wine names it
        if (v[0] == '/' && UnixToDos(v, full)) {
        } else if (v[0] == '\\' || v[0] == '/' || (v[0] && v[1] == ':')) {
            lstrcpynA(full, v, MAX_PATH);
        } else {
            lstrcpynA(full, p->path, MAX_PATH);
            char *slash = strrchr(full, '\\');
            if (slash) slash[1] = 0;
            else full[0] = 0;
            if (strlen(full) + strlen(v) >= MAX_PATH) return ps.Fail("%s: path too long", key);
            strcat(full, v);
        }
        DWORD attr = GetFileAttributesA(full);
        if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY))
            return KIT_ERR_PAGEFOLDER + 0 * ps.Fail("page folder %s does not exist", full);
        lstrcpynA(p->pageFolder, full, MAX_PATH);
        if (!ListPages(p)) return ps.Fail("page folder %s holds more than 1000 .bmp files", full);
        return 0;
    }
    return ps.Fail("unknown key %s in [Paper]", key);
}

LONG PageKey(Parser &ps, KitProfile *p, KitPageExtra *e, const char *key, char *v) {
    if (!lstrcmpiA(key, "Barcodes"))
        return ParseCodes(v, p, e) ? 0 : ps.Fail("%s needs TYPE:TEXT pairs separated by ; (at most 32 codes a page)", key);
    if (!lstrcmpiA(key, "Patch")) return ParsePatch(v, p, e) ? 0 : ps.Fail("%s needs 2, 3 or T", key);
    if (!lstrcmpiA(key, "Separator")) return ParseBool(v, &e->separator) ? 0 : ps.Fail("%s needs yes or no", key);
    return ps.Fail("unknown key %s in a [Page N] section", key);
}

LONG TagKey(Parser &ps, KitProfile *p, KitCustomTag *c, const char *key, char *v) {
    if (!lstrcmpiA(key, "Kind")) return ParseKind(v, &c->kind) ? 0 : ps.Fail("%s needs long, string, rational or 1 to 5", key);
    if (!lstrcmpiA(key, "Count")) {
        LONG n;
        if (!ParseLong(v, &n) || n < 1 || n > KIT_MAX_CUSTOM || c->tag + n > 65536) return ps.Fail("%s: 1 to 128 tags below 65536", key);
        c->count = n;
        return 0;
    }
    if (!lstrcmpiA(key, "Capability")) return ParseLong(v, &c->capability) ? 0 : ps.Fail("%s needs a number", key);
    if (!lstrcmpiA(key, "ReadOnly")) return ParseBool(v, &c->readOnly) ? 0 : ps.Fail("%s needs yes or no", key);
    if (!lstrcmpiA(key, "Name")) {
        lstrcpynA(c->name, v, KIT_MAX_NAME);
        return 0;
    }
    if (!lstrcmpiA(key, "Values")) {
        if (c->kind == KIT_KIND_STRING) return ParseNames(v, &c->strings) ? 0 : ps.Fail("%s needs names separated by ;", key);
        if (c->kind == KIT_KIND_RATIONAL)
            return ParseRationalChoices(v, c) ? 0 : ps.Fail("%s needs a list of n/d or a range of whole numbers", key);
        return ParseChoices(v, &c->longs) ? 0 : ps.Fail("%s needs a list or a range", key);
    }
    if (!lstrcmpiA(key, "Default")) {  // checked against Kind and Values at the end of the file
        if (strlen(v) >= KIT_MAX_TEXT) return ps.Fail("%s too long", key);
        lstrcpynA(c->defString, v, KIT_MAX_TEXT);
        ps.tagDefaultLine[c - p->customs] = ps.line;
        return 0;
    }
    return ps.Fail("unknown key %s in a [Tag N] section", key);
}

bool InChoices(const KitLongChoices &c, LONG v) {
    if (c.isRange)
        return v >= c.range.min && v <= c.range.max && (static_cast<LONGLONG>(v) - c.range.min) % c.range.step == 0;
    for (int i = 0; i < c.count; ++i)
        if (c.values[i] == v) return true;
    return false;
}

// The allowed value nearest to v (the first of a list), for defaults the profile left open.
LONG FitChoice(const KitLongChoices &c, LONG v) {
    if (InChoices(c, v) || (!c.isRange && c.count == 0)) return v;
    if (!c.isRange) return c.values[0];
    if (v <= c.range.min) return c.range.min;
    if (v > c.range.max) v = c.range.max;
    return static_cast<LONG>(v - (static_cast<LONGLONG>(v) - c.range.min) % c.range.step);
}

// A default the profile gave must be one of its choices; one it left open becomes the nearest.
// autoValue: -3 for a brightness that may default to automatic.
LONG CheckDefault(Parser &ps, int line, const char *key, const KitLongChoices &c, LONG *v, bool autoValue = false) {
    if (autoValue && *v == -3) return 0;
    if (line == 0) {
        *v = FitChoice(c, *v);
        return 0;
    }
    if (InChoices(c, *v)) return 0;
    ps.line = line;
    return ps.Fail("%s is not among the values offered", key);
}

// A rational default given must be one of the values offered (as a fraction: 600/2 is 300/1);
// one left open is the first of a list or the minimum of a range.
LONG CheckRationalDefault(Parser &ps, int line, KitCustomTag *c) {
    const KitLongChoices &k = c->longs;
    if (line == 0) {
        if (k.isRange) c->defNum = k.range.min, c->defDen = 1;
        else if (k.count > 0) c->defNum = k.values[0], c->defDen = c->dens[0];
        return 0;
    }
    char text[KIT_MAX_TEXT];
    lstrcpynA(text, c->defString, sizeof text);
    if (!ParseRational(text, &c->defNum, &c->defDen)) return ps.Fail("%s needs n/d or a number", "Default");
    bool found = !k.isRange && k.count == 0;
    if (k.isRange) {
        LONG whole = c->defNum / c->defDen;
        found = c->defNum % c->defDen == 0 && InChoices(k, whole);
    }
    for (int i = 0; !k.isRange && i < k.count; ++i)
        found |= static_cast<LONGLONG>(c->defNum) * c->dens[i] == static_cast<LONGLONG>(k.values[i]) * c->defDen;
    return found ? 0 : ps.Fail("%s is not among the values offered", "Default");
}

// A section with Count=K stands for K tags in a row, each announcing the next capability code
// (a capability of 0 stays 0): how a profile describes a driver with very many tags of its own.
LONG ExpandTags(Parser &ps, KitProfile *p) {
    int given = p->customCount;
    for (int i = 0; i < given; ++i) {
        for (LONG k = 1; k < p->customs[i].count; ++k) {
            KitCustomTag &first = p->customs[i];
            LONG tag = first.tag + k;
            char number[16];
            snprintf(number, sizeof number, "%ld", tag);
            for (int j = 0; j < p->customCount; ++j)
                if (p->customs[j].tag == tag) return ps.Fail("[Tag %s] is given twice (once by a Count)", number);
            if (p->customCount >= KIT_MAX_CUSTOM) return ps.Fail("%s", "more than 128 driver-defined tags");
            KitCustomTag &c = p->customs[p->customCount++];
            c = first;
            c.tag = tag;
            c.count = 1;
            if (first.capability & 0xFFFF) c.capability = (first.capability & ~0xFFFF) | ((first.capability + k) & 0xFFFF);
            if (first.name[0]) snprintf(c.name, KIT_MAX_NAME, "%.40s%ld", first.name, tag);
        }
    }
    for (int i = 0; i < p->customCount; ++i) {
        KitCustomTag &c = p->customs[i];
        if (c.count > 1 && c.name[0]) {
            char base[KIT_MAX_NAME];
            lstrcpynA(base, c.name, sizeof base);
            snprintf(c.name, KIT_MAX_NAME, "%.40s%ld", base, c.tag);
        }
        c.count = 1;
        if (c.name[0] == 0) snprintf(c.name, KIT_MAX_NAME, "Tag%ld", c.tag);
    }
    return 0;
}

// Fills what the keys left open and checks that the whole makes a scanner.
LONG Finish(Parser &ps, KitProfile *p) {
    LONG rc = CheckDefault(ps, ps.resolutionLine, "DefaultResolution", p->resolutions, &p->defaultResolution);
    if (rc == 0)
        rc = CheckDefault(ps, ps.brightnessLine, "BrightnessDefault", p->brightness, &p->brightnessDefault, p->autoBrightness);
    if (rc == 0) rc = CheckDefault(ps, ps.contrastLine, "ContrastDefault", p->contrast, &p->contrastDefault);
    for (int i = 0; rc == 0 && i < p->customCount; ++i) {
        KitCustomTag &c = p->customs[i];
        int line = ps.tagDefaultLine[i];
        ps.line = line;
        if (c.kind == KIT_KIND_RATIONAL) {
            rc = CheckRationalDefault(ps, line, &c);
        } else if (KitLongKind(c.kind)) {
            if (line && !ParseLong(c.defString, &c.defLong)) return ps.Fail("%s needs a number", "Default");
            if (c.longs.isRange || c.longs.count > 0) rc = CheckDefault(ps, line, "Default", c.longs, &c.defLong);
        } else if (line && c.strings.count > 0) {
            bool found = false;
            for (int k = 0; k < c.strings.count; ++k) found |= !lstrcmpiA(c.strings.names[k], c.defString);
            if (!found) return ps.Fail("%s is not among the values offered", "Default");
        }
    }
    if (rc != 0) return rc;
    ps.line = 0;
    if (!p->flatbed && !p->feeder) return ps.Fail("%s", "the scanner has neither a flatbed nor a feeder");
    if (p->duplex && !p->feeder) return ps.Fail("%s", "Duplex needs Feeder=yes");
    if (p->resolutions.count == 0 && !p->resolutions.isRange) return ps.Fail("%s", "no resolutions");
    if (p->singlePageSourceCount == 0) {
        if (p->flatbed) p->singlePageSources[p->singlePageSourceCount++] = 2;
        if (p->feeder) p->singlePageSources[p->singlePageSourceCount++] = 3;
    }
    if (p->defaultPageSize[0] == 0 && p->pageSizeCount > 0) lstrcpynA(p->defaultPageSize, p->pageSizes[0].name, KIT_MAX_NAME);
    if (p->pageSizeCount > 0) {
        bool found = false;
        for (int i = 0; i < p->pageSizeCount; ++i) found |= !lstrcmpiA(p->pageSizes[i].name, p->defaultPageSize);
        if (!found) return ps.Fail("DefaultPageSize %s is not among PageSizes", p->defaultPageSize);
    }
    if (p->halftones.count == 0) lstrcpynA(p->halftones.names[p->halftones.count++], "None", KIT_MAX_NAME);
    for (int i = 0; i < p->customCount; ++i) {
        KitCustomTag &c = p->customs[i];
        if (c.kind == KIT_KIND_STRING && c.defString[0] == 0 && c.strings.count > 0)
            lstrcpynA(c.defString, c.strings.names[0], KIT_MAX_TEXT);
    }
    return ExpandTags(ps, p);
}

}  // namespace

int KitRefillPages(KitProfile *p, int keep) {
    if (!p || !p->pageFolder[0]) return 0;
    if (keep < 0) keep = 0;
    if (keep > p->pageFileCount) keep = p->pageFileCount;
    typedef char Name[MAX_PATH];
    Name *found = static_cast<Name *>(HeapAlloc(GetProcessHeap(), 0, sizeof(Name) * KIT_MAX_PAGE_FILES));
    const char **fed = static_cast<const char **>(HeapAlloc(GetProcessHeap(), 0, sizeof(char *) * (keep + 1)));
    int added = 0;
    if (found && fed) {
        bool more = false;
        int n = ListFolder(p->pageFolder, found, KIT_MAX_PAGE_FILES, &more);
        for (int i = 0; i < keep; ++i) fed[i] = p->pageFiles[i];
        qsort(fed, keep, sizeof *fed, ComparePointedNames);
        p->pageFileCount = keep;
        for (int i = 0; i < n && p->pageFileCount < KIT_MAX_PAGE_FILES; ++i) {
            const char *name = found[i];
            if (bsearch(&name, fed, keep, sizeof *fed, ComparePointedNames)) continue;  // fed already
            lstrcpynA(p->pageFiles[p->pageFileCount++], found[i], MAX_PATH);
            ++added;
        }
    }
    if (found) HeapFree(GetProcessHeap(), 0, found);
    if (fed) HeapFree(GetProcessHeap(), 0, fed);
    return added;
}

LONG KitErrorByName(LPCSTR name) {
    for (const ErrorName &e : kErrorNames)
        if (!lstrcmpiA(name, e.name)) return e.error;
    LONG v;
    if (ParseLong(name, &v) && v < 0) return v;
    return 0;
}

void KitDefaultProfile(KitProfile *p) {
    ZeroMemory(p, sizeof *p);
    lstrcpynA(p->name, "JEX Virtual ORVA", KIT_MAX_NAME);
    p->flatbed = p->feeder = p->duplex = p->stackSensor = TRUE;
    p->maxWidthMm10 = 2159;
    p->maxLengthMm10 = 3556;
    p->minWidthMm10 = p->minLengthMm10 = 100;
    p->widthStep = 8;
    static constexpr LONG kRes[] = {75, 100, 150, 200, 300, 400, 600};
    p->resolutions.count = 7;
    for (int i = 0; i < 7; ++i) p->resolutions.values[i] = kRes[i];
    p->defaultResolution = 200;
    p->bitonal = TRUE;
    p->grayDepthCount = 2;
    p->grayDepths[0] = 4;
    p->grayDepths[1] = 8;
    p->colorDepthCount = 1;
    p->colorDepths[0] = 8;
    p->paletteDepthCount = 2;
    p->paletteDepths[0] = 4;
    p->paletteDepths[1] = 8;
    p->halftones.count = 3;
    lstrcpynA(p->halftones.names[0], "None", KIT_MAX_NAME);
    lstrcpynA(p->halftones.names[1], "Dither 8x8", KIT_MAX_NAME);
    lstrcpynA(p->halftones.names[2], "Error Diffusion", KIT_MAX_NAME);
    p->brightness.isRange = TRUE;
    p->brightness.range = {1, 255, 1};
    p->brightnessDefault = 128;
    p->autoBrightness = TRUE;
    p->contrast.isRange = TRUE;
    p->contrast.range = {1, 255, 1};
    p->contrastDefault = 128;
    static constexpr KitPageSize kSizes[] = {{"Letter", 2159, 2794}, {"Legal", 2159, 3556}, {"A4", 2100, 2970}, {"A5", 1480, 2100}};
    p->pageSizeCount = 4;
    for (int i = 0; i < 4; ++i) p->pageSizes[i] = kSizes[i];
    lstrcpynA(p->defaultPageSize, "Letter", KIT_MAX_NAME);
    p->advancedDialog = TRUE;
    p->jobSeparators = TRUE;
    p->previewResolution = 100;
    p->compressions.count = 1;
    p->compressions.values[0] = 1;
    p->reportSettings = TRUE;
    p->generatedPages = 3;
}

LONG KitReadProfile(LPCSTR path, KitProfile *p, LPSTR error, int errorSize) {
    KitDefaultProfile(p);
    if (error && errorSize > 0) error[0] = 0;
    char dummy[2];
    if (!error || errorSize <= 0) {
        error = dummy;
        errorSize = sizeof dummy;
    }
    if (!KitCopyString(p->path, MAX_PATH, path) || p->path[0] == 0) {
        snprintf(error, errorSize, "(no profile file named)");
        return KIT_ERR_PROFILE;
    }
    Parser ps{p->path, 0, error, errorSize, 0, 0, 0, {}};
    FILE *f = fopen(p->path, "rb");
    if (!f) return ps.Fail("%s", "cannot open the profile file");
    char buf[1024];
    Section section = SEC_NONE;
    KitPageExtra *page = nullptr;
    KitCustomTag *custom = nullptr;
    bool sawScanner = false;
    LONG rc = 0;
    while (rc == 0 && fgets(buf, sizeof buf, f)) {
        ++ps.line;
        if (strlen(buf) == sizeof buf - 1 && buf[sizeof buf - 2] != '\n') {
            rc = ps.Fail("%s", "line too long");
            break;
        }
        char *s = Trim(buf);
        if (ps.line == 1 && (BYTE)s[0] == 0xEF && (BYTE)s[1] == 0xBB && (BYTE)s[2] == 0xBF) s += 3;  // UTF-8 mark
        if (*s == 0 || *s == ';' || *s == '#') continue;
        if (*s == '[') {
            char *close = strchr(s, ']');
            if (!close) {
                rc = ps.Fail("%s", "section header without ]");
                break;
            }
            *close = 0;
            char *name = Trim(s + 1);
            LONG n;
            if (!lstrcmpiA(name, "Scanner")) section = SEC_SCANNER, sawScanner = true;
            else if (!lstrcmpiA(name, "Paper")) section = SEC_PAPER;
            else if (!lstrcmpiA(name, "Faults")) section = SEC_FAULTS;
            else if (!strncmp(name, "Page ", 5) && ParseLong(name + 5, &n) && n > 0) {
                section = SEC_PAGE;
                page = ExtraFor(p, n);
                if (!page) rc = ps.Fail("%s", "too many [Page N] sections");
            } else if (!strncmp(name, "Tag ", 4) && ParseLong(name + 4, &n) && n > 1000 && n < 65536) {
                section = SEC_TAG;
                custom = CustomFor(p, n);
                if (!custom) rc = ps.Fail("%s", "too many [Tag N] sections");
            } else {
                rc = ps.Fail("unknown section [%s]", name);
            }
            continue;
        }
        char *eq = strchr(s, '=');
        if (!eq) {
            rc = ps.Fail("%s", "expected key=value");
            break;
        }
        *eq = 0;
        char *key = Trim(s);
        char *value = Trim(eq + 1);
        switch (section) {
        case SEC_SCANNER: rc = ScannerKey(ps, p, key, value); break;
        case SEC_PAPER: rc = PaperKey(ps, p, key, value); break;
        case SEC_PAGE: rc = PageKey(ps, p, page, key, value); break;
        case SEC_TAG: rc = TagKey(ps, p, custom, key, value); break;
        case SEC_FAULTS:
            if (p->faultCount >= KIT_MAX_FAULTS) rc = ps.Fail("%s", "too many faults");
            else if (!ParseFault(value, &p->faults[p->faultCount]))
                rc = ps.Fail("%s: expected TARGET NUMBER, ERROR[, once|always|at N|from N]", key);
            else ++p->faultCount;
            break;
        default: rc = ps.Fail("key %s outside a section", key); break;
        }
    }
    fclose(f);
    if (rc == 0 && !sawScanner) {
        ps.line = 1;
        rc = ps.Fail("%s", "no [Scanner] section");
    }
    if (rc == 0) rc = Finish(ps, p);
    return rc;
}
