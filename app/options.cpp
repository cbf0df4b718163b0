// twacq's command line. Values are checked for form here (numbers, names, a frame whose edges are
// in order); whether the scanner can do them is for the source to say during negotiation.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "app/twacq.h"

namespace {

struct Name {
    const char *text;
    int value;
};

constexpr Name kPixelTypes[] = {
    {"bw", TWPT_BW}, {"gray", TWPT_GRAY}, {"palette", TWPT_PALETTE}, {"rgb", TWPT_RGB},
};
constexpr Name kPages[] = {
    {"letter", TWSS_USLETTER}, {"legal", TWSS_USLEGAL}, {"a4", TWSS_A4LETTER}, {"a5", TWSS_A5},
};
constexpr Name kOnOff[] = {{"on", 1}, {"off", 0}};
constexpr Name kMechs[] = {{"native", TWSX_NATIVE}, {"memory", TWSX_MEMORY}, {"file", TWSX_FILE}};
constexpr Name kFormats[] = {{"bmp", static_cast<int>(PageFormat::kBmp)},
                             {"png", static_cast<int>(PageFormat::kPng)},
                             {"tiff", static_cast<int>(PageFormat::kTiff)}};

// A settings text is a few kilobytes; anything much larger is not one.
constexpr DWORD kMaxSettingsBytes = 1u << 20;

// One row per option: the parser and --help both read it.
struct OptionRow {
    const char *name;
    const char *value;  // nullptr: a flag without a value
    const char *help;
};
constexpr OptionRow kOptions[] = {
    {"--help", nullptr, "this text"},
    {"--list", nullptr, "list the sources and the chosen source's capabilities; scan nothing"},
    {"--source", "NAME", "the source's product name (default \"JEX Virtual Scanner\")"},
    {"--out", "DIR", "folder for the page files, created if missing (default: a new folder\n"
                     "                        scans, scans-2, ... in the current folder)"},
    {"--pixeltype", "bw|gray|palette|rgb", "ICAP_PIXELTYPE"},
    {"--bitdepth", "N", "ICAP_BITDEPTH (bits per pixel of the type, e.g. 4 or 8 for gray)"},
    {"--resolution", "DPI", "ICAP_XRESOLUTION and ICAP_YRESOLUTION"},
    {"--frame", "L,T,R,B", "scan frame in inches (DAT_IMAGELAYOUT)"},
    {"--page", "letter|legal|a4|a5", "ICAP_SUPPORTEDSIZES (not with --frame)"},
    {"--feeder", nullptr, "scan from the feeder (CAP_FEEDERENABLED TRUE)"},
    {"--flatbed", nullptr, "scan from the flatbed (CAP_FEEDERENABLED FALSE)"},
    {"--duplex", nullptr, "both sides (CAP_DUPLEXENABLED TRUE)"},
    {"--ui", nullptr, "show the source's own dialog: scan from it (as often as you like) until\n"
                      "                        you close it; --timeout then bounds only each call"},
    {"--count", "N", "CAP_XFERCOUNT: at most N pages (default all)"},
    {"--indicators", "on|off", "CAP_INDICATORS: the source's progress dialog"},
    {"--timeout", "SECONDS", "longest wait for a page to be ready and for any one call (default 60)"},
    {"--mech", "native|memory|file", "ICAP_XFERMECH: the page as one DIB, in strips of rows\n"
                                     "                        (DAT_IMAGEMEMXFER), or as a .bmp the source writes"},
    {"--format", "bmp|png|tiff", "page files: .bmp (default, the source's bytes), a .png per page,\n"
                                 "                        or the whole run as pages.tif; gray pages go as gray\n"
                                 "                        levels, other 1, 4 and 8-bit pages keep their colour\n"
                                 "                        table unless the encoder refuses that format: then\n"
                                 "                        they are written as 24-bit colour"},
    {"--save-settings", "FILE", "after the settings above, write the source's settings text\n"
                                "                        (DAT_CUSTOMDSDATA) to FILE"},
    {"--load-settings", "FILE", "hand a text saved so to the source before the settings above"},
};

bool Fail(const char *option, const char *value, const char *why) {
    fprintf(stderr, "twacq: %s %s: %s (twacq --help lists the options)\n", option, value ? value : "", why);
    return false;
}

bool ParseName(const char *text, const Name *names, size_t n, int &out) {
    for (size_t i = 0; i < n; ++i)
        if (!_stricmp(text, names[i].text)) {
            out = names[i].value;
            return true;
        }
    return false;
}

bool ParseInt(const char *text, long lo, long hi, int &out) {
    char *end = nullptr;
    const long v = strtol(text, &end, 10);
    if (end == text || *end || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

// Four non-negative numbers separated by commas, left < right and top < bottom.
bool ParseFrame(const char *text, double (&frame)[4]) {
    const char *p = text;
    for (int i = 0; i < 4; ++i) {
        char *end = nullptr;
        frame[i] = strtod(p, &end);
        if (end == p || !std::isfinite(frame[i]) || frame[i] < 0 || frame[i] > 1000) return false;
        if (i < 3 && *end != ',') return false;
        if (i == 3 && *end) return false;
        p = end + 1;
    }
    return frame[0] < frame[2] && frame[1] < frame[3];
}

// The whole file as text, cut at its first zero byte.
bool ReadSettingsFile(const char *path, std::string &text, std::string &why) {
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return why = "cannot open the file", false;
    const DWORD size = GetFileSize(f, nullptr);
    bool ok = false;
    if (size == INVALID_FILE_SIZE || size > kMaxSettingsBytes) {
        why = "not a settings text (over 1 MB)";
    } else {
        text.assign(size, '\0');
        DWORD got = 0;
        ok = size == 0 || (ReadFile(f, text.data(), size, &got, nullptr) && got == size);
        if (!ok) why = "cannot read the file";
        text.resize(strnlen(text.c_str(), text.size()));
        if (ok && text.empty()) {
            why = "the file is empty";
            ok = false;
        }
    }
    CloseHandle(f);
    return ok;
}

}  // namespace

void PrintHelp() {
    printf("usage: twacq [options]\n"
           "Scans pages through the TWAIN manager (TWAIN_32.DLL) without the source's dialog and\n"
           "writes each page as a .bmp file (page0001.bmp, ...), a .png file or a frame of pages.tif.\n"
           "After each page the bar codes the source found on it are listed.\n\n");
    for (const OptionRow &o : kOptions) {
        char head[64];
        snprintf(head, sizeof head, "%s%s%s", o.name, o.value ? " " : "", o.value ? o.value : "");
        if (strlen(head) > 21) printf("  %s\n  %-21s %s\n", head, "", o.help);
        else printf("  %-21s %s\n", head, o.help);
    }
    printf("\nexit codes: 0 done, 1 no TWAIN manager, 2 no such source, 3 the source does not open,\n"
           "  4 a setting was refused, 5 the scan does not start, 6 time-out, 7 a transfer failed or\n"
           "  was cancelled, 8 a page file cannot be written, 9 bad command line\n");
}

bool ParseOptions(int argc, char **argv, Options &opts) {
    bool frameOrPage = false;
    bool feederOrFlatbed = false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const OptionRow *row = nullptr;
        for (const OptionRow &o : kOptions)
            if (!strcmp(arg, o.name)) row = &o;
        if (!row) return Fail(arg, nullptr, "unknown option");
        const char *v = nullptr;
        if (row->value) {
            if (i + 1 >= argc) return Fail(arg, nullptr, "needs a value");
            v = argv[++i];
        }
        if (!strcmp(arg, "--help")) {
            opts.help = true;
        } else if (!strcmp(arg, "--list")) {
            opts.list = true;
        } else if (!strcmp(arg, "--source")) {
            if (!*v || strlen(v) > 33) return Fail(arg, v, "a product name has 1 to 33 characters");
            opts.source = v;
        } else if (!strcmp(arg, "--out")) {
            if (!*v) return Fail(arg, v, "empty folder name");
            opts.outDir = v;
        } else if (!strcmp(arg, "--pixeltype")) {
            if (!ParseName(v, kPixelTypes, std::size(kPixelTypes), opts.pixelType))
                return Fail(arg, v, "bw, gray, palette or rgb");
        } else if (!strcmp(arg, "--bitdepth")) {
            if (!ParseInt(v, 1, 64, opts.bitDepth)) return Fail(arg, v, "a number from 1 to 64");
        } else if (!strcmp(arg, "--resolution")) {
            if (!ParseInt(v, 1, 32767, opts.resolution)) return Fail(arg, v, "dots per inch from 1 to 32767");
        } else if (!strcmp(arg, "--frame") || !strcmp(arg, "--page")) {
            if (frameOrPage) return Fail(arg, v, "give one --frame or one --page");
            frameOrPage = true;
            if (arg[2] == 'f') {
                if (!ParseFrame(v, opts.frame))
                    return Fail(arg, v, "left,top,right,bottom in inches, left < right, top < bottom");
                opts.haveFrame = true;
            } else if (!ParseName(v, kPages, std::size(kPages), opts.pageSize)) {
                return Fail(arg, v, "letter, legal, a4 or a5");
            }
        } else if (!strcmp(arg, "--feeder") || !strcmp(arg, "--flatbed")) {
            if (feederOrFlatbed) return Fail(arg, nullptr, "give one of --feeder and --flatbed");
            feederOrFlatbed = true;
            opts.feeder = arg[3] == 'e' ? 1 : 0;
        } else if (!strcmp(arg, "--duplex")) {
            opts.duplex = true;
        } else if (!strcmp(arg, "--ui")) {
            opts.ui = true;
        } else if (!strcmp(arg, "--count")) {
            if (!ParseInt(v, 1, 32767, opts.count)) return Fail(arg, v, "a number of pages from 1 to 32767");
        } else if (!strcmp(arg, "--indicators")) {
            if (!ParseName(v, kOnOff, std::size(kOnOff), opts.indicators)) return Fail(arg, v, "on or off");
        } else if (!strcmp(arg, "--timeout")) {
            if (!ParseInt(v, 1, 86400, opts.timeoutSeconds)) return Fail(arg, v, "seconds from 1 to 86400");
        } else if (!strcmp(arg, "--mech")) {
            if (!ParseName(v, kMechs, std::size(kMechs), opts.mech)) return Fail(arg, v, "native, memory or file");
        } else if (!strcmp(arg, "--format")) {
            int format = 0;
            if (!ParseName(v, kFormats, std::size(kFormats), format)) return Fail(arg, v, "bmp, png or tiff");
            opts.format = static_cast<PageFormat>(format);
        } else if (!strcmp(arg, "--save-settings")) {
            if (!*v) return Fail(arg, v, "empty file name");
            opts.saveSettings = v;
        } else if (!strcmp(arg, "--load-settings")) {
            std::string why;
            if (!ReadSettingsFile(v, opts.settingsText, why)) return Fail(arg, v, why.c_str());
            opts.loadSettings = v;
        }
    }
    return true;
}
