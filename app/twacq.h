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

// How the pages are written: the source's own .bmp bytes, a .png per page, or one multi-page
// .tif for the run.
enum class PageFormat { kBmp, kPng, kTiff };

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
    bool ui = false;  // enable with the source's own dialog and scan from it
    int count = -1;          // CAP_XFERCOUNT; -1 all pages
    int indicators = -1;     // 1 on, 0 off
    int timeoutSeconds = 60;
    int mech = -1;                // TWSX_*; -1: leave the source's (native unless a saved setting says)
    PageFormat format = PageFormat::kBmp;
    std::string saveSettings;     // file for the source's settings text (DAT_CUSTOMDSDATA)
    std::string loadSettings;     // file read at parse time into settingsText
    std::string settingsText;     // the text to hand to the source before negotiation
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
    bool extImageInfo = false;  // ICAP_EXTIMAGEINFO was accepted: bar codes can be asked per page
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

// The source's settings as one text (DAT_CUSTOMDSDATA): handed over from opts.settingsText, and
// fetched into a file. Each returns kExitOk or the exit code after printing why.
int LoadSettings(Session &s, TW_IDENTITY &source, const Options &opts);
int SaveSettings(Session &s, TW_IDENTITY &source, const std::string &path);

// Sets what the command line asks for, in an order where each setting holds for the next (the
// resolution before the frame, which the source keeps in pixels). Returns kExitOk or kExitRefused.
int Negotiate(Session &s, TW_IDENTITY &source, const Options &opts);
// The current value of a capability answered as a one-value container.
bool CurrentValue(Session &s, TW_IDENTITY &source, TW_UINT16 cap, TW_UINT32 &value);

// Pages written through the Windows Imaging Component: a .png per page, or every page of a run as
// a frame of one .tif. Gray pages go as gray levels; otherwise the DIB's pixel format (1, 4, 8 bits
// indexed with its colour table, 24 bits BGR) where the encoder takes it, else 24-bit colour.
class ImageFile {
public:
    ImageFile() = default;
    ~ImageFile();
    ImageFile(const ImageFile &) = delete;
    ImageFile &operator=(const ImageFile &) = delete;
    bool Create(const std::string &path, PageFormat format, std::string &why);
    // converted: the frame went in as 24-bit colour because the encoder refused the DIB's format.
    bool AddPage(HGLOBAL dib, double dpiX, double dpiY, bool &converted, std::string &why);
    // Writes the file out; false (and the file removed) on failure. Without Commit nothing stays.
    bool Commit(std::string &why);
    // Lets go of an unfinished file and removes it.
    void Discard();
    int Frames() const { return frames_; }

private:
    void Release();
    std::string path_;
    void *factory_ = nullptr;  // IWICImagingFactory
    void *stream_ = nullptr;   // IWICStream
    void *encoder_ = nullptr;  // IWICBitmapEncoder
    int frames_ = 0;
};

// A packed DIB as its header describes it, checked against the block's size.
struct DibLayout {
    LONG width, height;
    bool bottomUp;
    WORD bits;
    DWORD colours;      // entries of the colour table
    DWORD pixelOffset;  // from the header's start: info header, masks and colour table
    DWORD rowBytes;
    DWORD dibBytes;     // header, table and pixels
    bool plainRgb;      // BI_RGB: rows as they are, no masks, no compression
};
bool MeasureDib(const BYTE *base, SIZE_T have, DibLayout &d, std::string &why);

// Creates the page folder (opts.outDir, or a new "scans" folder); fills its full path.
bool PrepareOutput(const Options &opts, std::string &folder);

// Enables the source without its user interface, transfers the pages into folder and disables
// the source again on every path. Returns an exit code.
int Acquire(Session &s, TW_IDENTITY &source, const Options &opts, const std::string &folder);
