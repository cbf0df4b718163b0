// The log object is plain zero-initialised data: nothing runs inside the loader lock at load,
// and the first print reads the settings (they are read once per process).
#include "sdkprint/sdkprint.h"

#include <cstdarg>
#include <cstring>
#include <ctime>
#include <iterator>

namespace {

struct LogObject {
    bool initialised;       // set once the first print has read the settings
    CRITICAL_SECTION lock;  // makes prefix + message one unit against other threads
    LONG mask;              // SDKDebug; 0 off, -2 every category with a flush per line
    DWORD startTick;
    HANDLE file;            // INVALID_HANDLE_VALUE: OutputDebugStringA
};

LogObject gLog;

constexpr LONG kMaskAllAndFlush = -2;
constexpr int kLineSize = 260;

struct CategoryName {
    DWORD category;
    const char *name;
};
constexpr CategoryName kCategoryNames[] = {
    {1, "UNKNOWN"},    {2, "SCSI_CMD"},  {4, "SCSI_DATA"}, {8, "ORVA_MSG"},  {16, "SCAN_APP"},
    {32, "SCAN_THRD"}, {64, "FILT_THRD"}, {128, "TWAIN_API"}, {256, "TWAIN"},
};
static_assert(std::size(kCategoryNames) == 9, "nine named categories");

const char *CategoryNameOf(DWORD category) {
    for (const auto &c : kCategoryNames)
        if (c.category == category) return c.name;
    return "UNKNOWN";
}

void WriteText(const char *text) {
    if (gLog.file == INVALID_HANDLE_VALUE) {
        OutputDebugStringA(text);
        return;
    }
    DWORD written = 0;
    WriteFile(gLog.file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

void VPrint(DWORD category, const char *format, va_list args);

void Print(DWORD category, const char *format, ...) {
    va_list args;
    va_start(args, format);
    VPrint(category, format, args);
    va_end(args);
}

void PrintBanner(const char *format) {
    time_t now = time(nullptr);
    const char *text = ctime(&now);
    Print(kLogBanner, format, text ? text : "");
}

void Start() {
    InitializeCriticalSection(&gLog.lock);
    gLog.mask = static_cast<LONG>(GetPrivateProfileIntA("Scanner", "SDKDebug", 0, "SETSCAN.INI"));
    gLog.startTick = GetTickCount();
    gLog.file = INVALID_HANDLE_VALUE;
    char name[261] = {};
    GetPrivateProfileStringA("Scanner", "SDKDebugFile", "", name, 260, "SETSCAN.INI");
    if (name[0])
        gLog.file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    gLog.initialised = true;
    PrintBanner("Driver loaded on %s");
}

bool Wanted(DWORD category) {
    return (category & static_cast<DWORD>(gLog.mask)) != 0 || gLog.mask == kMaskAllAndFlush;
}

void VPrint(DWORD category, const char *format, va_list args) {
    if (!gLog.initialised) Start();
    if (!Wanted(category)) return;
    EnterCriticalSection(&gLog.lock);
    DWORD elapsed = GetTickCount() - gLog.startTick;
    char line[kLineSize];
    wsprintfA(line, "%4d.%03d t%-5x %-9s ", static_cast<int>(elapsed / 1000),
              static_cast<int>(elapsed % 1000), static_cast<unsigned>(GetCurrentThreadId()),
              CategoryNameOf(category));
    WriteText(line);

    // wvsprintfA never writes more than 1024 characters; the line keeps what fits with CR LF.
    char full[1025];
    int n = wvsprintfA(full, format, args);
    if (n < 0) n = 0;
    full[n < 1024 ? n : 1024] = 0;
    size_t len = strlen(full);
    while (len > 0 && (full[len - 1] == '\n' || full[len - 1] == '\r')) --len;
    if (len > kLineSize - 3) len = kLineSize - 3;
    memcpy(line, full, len);
    memcpy(line + len, "\r\n", 3);
    WriteText(line);
    if (gLog.file != INVALID_HANDLE_VALUE && gLog.mask == kMaskAllAndFlush) FlushFileBuffers(gLog.file);
    LeaveCriticalSection(&gLog.lock);
}

}  // namespace

void SdkPrint(DWORD category, const char *format, ...) {
    if (gLog.initialised && !Wanted(category)) return;
    va_list args;
    va_start(args, format);
    VPrint(category, format, args);
    va_end(args);
}

void SdkPrint1(const char *format, ...) {
    va_list args;
    va_start(args, format);
    VPrint(1, format, args);
    va_end(args);
}

bool LogWants(DWORD category) {
    if (!gLog.initialised) Start();
    return Wanted(category);
}

void SdkPrintHex(DWORD category, const char *description, const void *data, int length) {
    static const char kRule[] = "----------------------------------------------------------\n";
    static_assert(sizeof kRule == 58 + 2, "58 dashes and a line end");
    Print(category, "Description: %s, Len %d\n", description ? description : "", length);
    Print(category, "%s", kRule);
    const auto *bytes = static_cast<const unsigned char *>(data);
    int shown = length > 512 ? 64 : length;
    if (!bytes) shown = 0;
    for (int offset = 0; offset < shown; offset += 16) {
        char row[128];
        int pos = wsprintfA(row, "%3d - ", offset);
        for (int i = offset; i < offset + 16; ++i)
            pos += i < shown ? wsprintfA(row + pos, "%02x ", bytes[i]) : wsprintfA(row + pos, "   ");
        for (int i = offset; i < offset + 16 && i < shown; ++i)
            row[pos++] = (bytes[i] >= 32 && bytes[i] <= 127) ? static_cast<char>(bytes[i]) : '.';
        row[pos++] = '\n';
        row[pos] = 0;
        Print(category, "%s", row);
    }
    if (shown != length) Print(category, "%s", "      ...etc...\n");
    Print(category, "%s", kRule);
}

void LogEnd() {
    if (!gLog.initialised) Start();
    PrintBanner("Driver unloaded on %s");
    if (gLog.file != INVALID_HANDLE_VALUE) {
        CloseHandle(gLog.file);
        gLog.file = INVALID_HANDLE_VALUE;
    }
    DeleteCriticalSection(&gLog.lock);
    gLog.initialised = false;
}
