// twacq's parts: the command line, the session with the manager and the source, the capability
// negotiation and the acquisition. Everything runs on the one thread that owns the hidden parent
// window, as TWAIN requires; only the watchdog of acquire.cpp runs beside it.
#pragma once

#include <windows.h>

#include <string>

#include "twain/twaindefs.h"

// Exit codes, listed again in twacq.cpp's head comment and in --help.
enum ExitCode : int {
    kExitOk = 0,
    kExitManager = 1,     // TWAIN_32.DLL missing, or MSG_OPENDSM failed
    kExitNoSource = 2,    // no source of that name
    kExitOpen = 3,        // MSG_OPENDS failed
    kExitRefused = 4,     // a capability or the frame was refused
    kExitEnable = 5,      // MSG_ENABLEDS failed (no paper, scanner error, ...)
    kExitTimeout = 6,     // no page ready, or the source did not answer, within --timeout
    kExitTransfer = 7,    // a transfer failed or was cancelled, or the source closed before any page
    kExitOutput = 8,      // the output folder or a page file could not be written
    kExitUsage = 9,       // bad command line
};

struct Options {
    std::string source = "JEX Virtual Scanner";  // ProductName as the manager lists it
    bool list = false;
    bool help = false;
    std::string outDir;      // empty: a new folder "scans" (or scans-2, ...) in the current folder
    int pixelType = -1;      // TWPT_*; -1: leave as the source has it (so for every int below)
    int bitDepth = -1;
    int resolution = -1;     // dots per inch, both directions
    bool haveFrame = false;  // frame[] is set, in inches: left, top, right, bottom
    double frame[4] = {};
    int pageSize = -1;       // TWSS_*
    int feeder = -1;         // 1 feeder, 0 flatbed
    bool duplex = false;
    int count = -1;          // CAP_XFERCOUNT; -1 all pages
    int indicators = -1;     // 1 on, 0 off
    int timeoutSeconds = 60;
};

// Fills opts from argv; on a mistake prints it to stderr and returns false.
bool ParseOptions(int argc, char **argv, Options &opts);
void PrintHelp();

struct Session {
    HMODULE dsm = nullptr;
    DSMENTRYPROC entry = nullptr;
    HWND parent = nullptr;  // hidden, owned by this thread; the manager posts its notifications here
    TW_IDENTITY app{};
    bool open = false;      // MSG_OPENDSM succeeded
};

// Ends the process with kExitTimeout when one call into the manager or the source takes longer
// than limitMs: a message box of the source's that nobody answers must not hold a script forever.
bool StartWatchdog(DWORD limitMs);
void StopWatchdog();

// Every call into the manager goes through here, timed by the watchdog.
TW_UINT16 Call(Session &s, TW_IDENTITY *dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data);
// The condition code of the last call to dest (nullptr: the manager).
TW_UINT16 Status(Session &s, TW_IDENTITY *dest);
// "10 TWCC_BADVALUE" and the like, for messages.
std::string ConditionText(TW_UINT16 cc);
const char *CapabilityName(TW_UINT16 cap);

bool OpenManager(Session &s);
void CloseManager(Session &s);
void PrintIdentity(const TW_IDENTITY &id);
// Walks the manager's list; prints each source when list is set; fills found when name matches.
bool FindSource(Session &s, const char *name, bool list, TW_IDENTITY &found);
bool OpenSource(Session &s, TW_IDENTITY &source);
void PrintCapabilities(Session &s, TW_IDENTITY &source);
bool CloseSource(Session &s, TW_IDENTITY &source);

// Sets what the command line asks for, in an order where each setting holds for the next (the
// resolution before the frame, which the source keeps in pixels). Returns kExitOk or kExitRefused.
int Negotiate(Session &s, TW_IDENTITY &source, const Options &opts);

// Creates the page folder (opts.outDir, or a new "scans" folder); fills its full path.
bool PrepareOutput(const Options &opts, std::string &folder);

// Enables the source without its user interface, transfers the pages into folder and disables
// the source again on every path. Returns an exit code.
int Acquire(Session &s, TW_IDENTITY &source, const Options &opts, const std::string &folder);
