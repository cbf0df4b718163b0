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
    {"--count", "N", "CAP_XFERCOUNT: at most N pages (default all)"},
    {"--indicators", "on|off", "CAP_INDICATORS: the source's progress dialog"},
    {"--timeout", "SECONDS", "longest wait for a page to be ready and for any one call (default 60)"},
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

}  // namespace

void PrintHelp() {
    printf("usage: twacq [options]\n"
           "Scans pages through the TWAIN manager (TWAIN_32.DLL) without the source's dialog and\n"
           "writes each page as a .bmp file (page0001.bmp, ...).\n\n");
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
        } else if (!strcmp(arg, "--count")) {
            if (!ParseInt(v, 1, 32767, opts.count)) return Fail(arg, v, "a number of pages from 1 to 32767");
        } else if (!strcmp(arg, "--indicators")) {
            if (!ParseName(v, kOnOff, std::size(kOnOff), opts.indicators)) return Fail(arg, v, "on or off");
        } else if (!strcmp(arg, "--timeout")) {
            if (!ParseInt(v, 1, 86400, opts.timeoutSeconds)) return Fail(arg, v, "seconds from 1 to 86400");
        }
    }
    return true;
}
