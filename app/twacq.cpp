// twacq: a command-line TWAIN application to scan with. It loads the TWAIN manager
// (TWAIN_32.DLL), opens it with a hidden parent window, picks a source by name, sets what the
// command line asks for, scans without the source's dialog and writes every page as a .bmp file
// (or .png, or a frame of one .tif), listing the bar codes the source read on it.
//
//   twacq [--list] [--source NAME] [--out DIR] [--pixeltype bw|gray|palette|rgb] [--bitdepth N]
//         [--resolution DPI] [--frame L,T,R,B | --page letter|legal|a4|a5] [--feeder | --flatbed]
//         [--duplex] [--count N] [--indicators on|off] [--timeout SECONDS]
//         [--mech native|memory|file] [--format bmp|png|tiff]
//         [--save-settings FILE] [--load-settings FILE]
//
// twacq --help explains each option. The output is one line per setting and per page and a
// summary line (pages, bytes, seconds, pages per second); errors go to stderr.
//
// Exit code: 0 done (also when the source asked to close after some pages), 1 the manager could
// not be loaded or opened, 2 the source is not there, 3 the source could not be opened, 4 the
// source refused a setting, 5 the scan did not start (MSG_ENABLEDS failed), 6 no page was ready
// or a call did not return within --timeout, 7 a transfer failed or was cancelled, or the source
// asked to close before any page, 8 the page folder or a page file could not be written, 9 a bad
// command line.
#include <windows.h>

#include <cstdio>

#include "app/twacq.h"

namespace {

int RunWithSource(Session &s, TW_IDENTITY &source, const Options &opts) {
    if (!OpenSource(s, source)) return kExitOpen;
    // Saved settings come first so that the command line's own settings win over them.
    int result = opts.loadSettings.empty() ? kExitOk : LoadSettings(s, source, opts);
    if (result == kExitOk && opts.list) {
        PrintCapabilities(s, source);
        if (!opts.saveSettings.empty()) result = SaveSettings(s, source, opts.saveSettings);
    } else if (result == kExitOk) {
        std::string folder;
        result = Negotiate(s, source, opts);
        if (result == kExitOk && !opts.saveSettings.empty()) result = SaveSettings(s, source, opts.saveSettings);
        if (result == kExitOk && !PrepareOutput(opts, folder)) result = kExitOutput;
        if (result == kExitOk) result = Acquire(s, source, opts, folder);
        // A folder of twacq's own naming that got no page is not left behind (removing fails
        // when it holds anything).
        if (opts.outDir.empty() && !folder.empty()) RemoveDirectoryA(folder.c_str());
    }
    if (!CloseSource(s, source) && result == kExitOk) result = kExitOpen;
    return result;
}

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    Options opts;
    if (!ParseOptions(argc, argv, opts)) return kExitUsage;
    if (opts.help) {
        PrintHelp();
        return kExitOk;
    }
    StartWatchdog(static_cast<DWORD>(opts.timeoutSeconds) * 1000);
    Session s;
    int result = kExitOk;
    if (OpenManager(s)) {
        TW_IDENTITY source{};
        if (FindSource(s, opts.source.c_str(), opts.list, source)) {
            printf("selected: \"%.34s\"\n", source.ProductName);
            PrintIdentity(source);
            result = RunWithSource(s, source, opts);
        } else {
            fprintf(stderr, "twacq: no source named \"%s\" (condition code %s)\n", opts.source.c_str(),
                    ConditionText(Status(s, nullptr)).c_str());
            result = kExitNoSource;
        }
    } else {
        result = kExitManager;
    }
    CloseManager(s);
    StopWatchdog();
    return result;
}
