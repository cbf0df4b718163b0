// Acquisition: MSG_ENABLEDS without the source's dialog, the message loop that hands every
// message to DAT_EVENT until the source says a page is ready, the native transfers written as
// .bmp files, and MSG_DISABLEDS on every path.
//
// Wine's manager queues a source's MSG_XFERREADY (sent from inside MSG_ENABLEDS here) and posts a
// message to the parent window; the next DAT_EVENT then answers TWRC_DSEVENT with TWMessage
// MSG_XFERREADY. Nothing waits without a bound: the loop gives up after --timeout seconds (and
// session.cpp's watchdog bounds each call).
#include <cstdio>
#include <cstring>

#include "app/twacq.h"

namespace {

// ---- Page files

struct PageFacts {
    LONG width, height;
    WORD bits;
    DWORD fileBytes;
};

// Writes a packed DIB as a .bmp file: the file header's offset counts the info header, the colour
// masks of a 40-byte BI_BITFIELDS header and the colour table. A DIB shorter than its header says
// is refused rather than read past its end.
bool WriteBmp(HGLOBAL dib, const std::string &path, PageFacts &facts, std::string &why) {
    const SIZE_T have = GlobalSize(dib);
    const auto *base = static_cast<const BYTE *>(GlobalLock(dib));
    if (!base) {
        why = "the page's memory cannot be locked";
        return false;
    }
    const auto *bi = reinterpret_cast<const BITMAPINFOHEADER *>(base);
    bool ok = false;
    do {
        if (have < sizeof(BITMAPINFOHEADER) || bi->biSize < sizeof(BITMAPINFOHEADER) || bi->biSize > have) {
            why = "the page is not a DIB";
            break;
        }
        const DWORD masks = bi->biCompression == BI_BITFIELDS && bi->biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
        const DWORD colours = bi->biClrUsed ? bi->biClrUsed : bi->biBitCount <= 8 ? 1u << bi->biBitCount : 0;
        const LONG rows = bi->biHeight < 0 ? -bi->biHeight : bi->biHeight;
        const ULONGLONG rowBytes = (static_cast<ULONGLONG>(bi->biWidth) * bi->biBitCount + 31) / 32 * 4;
        const ULONGLONG pixels =
            bi->biCompression == BI_RGB || bi->biCompression == BI_BITFIELDS ? rowBytes * rows : bi->biSizeImage;
        const ULONGLONG dibBytes = bi->biSize + masks + colours * 4ull + pixels;
        if (bi->biWidth <= 0 || dibBytes > have || dibBytes > 0x7FFFFFF0u) {
            why = "the page's DIB is shorter than its header says";
            break;
        }
        BITMAPFILEHEADER fh{};
        fh.bfType = 0x4D42;  // "BM"
        fh.bfSize = static_cast<DWORD>(sizeof fh + dibBytes);
        fh.bfOffBits = static_cast<DWORD>(sizeof fh + bi->biSize + masks + colours * 4);
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            why = "cannot create the file (error " + std::to_string(GetLastError()) + ")";
            break;
        }
        DWORD wrote1 = 0, wrote2 = 0;
        const bool written = WriteFile(f, &fh, sizeof fh, &wrote1, nullptr) &&
                             WriteFile(f, base, static_cast<DWORD>(dibBytes), &wrote2, nullptr) &&
                             wrote1 == sizeof fh && wrote2 == dibBytes;
        const DWORD error = GetLastError();
        CloseHandle(f);
        if (!written) {
            why = "cannot write the file (error " + std::to_string(error) + ")";
            DeleteFileA(path.c_str());
            break;
        }
        facts = {bi->biWidth, rows, bi->biBitCount, fh.bfSize};
        ok = true;
    } while (false);
    GlobalUnlock(dib);
    return ok;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

struct Run {
    Session &s;
    TW_IDENTITY &source;
    const std::string &folder;
    int pages = 0;
    ULONGLONG bytes = 0;
};

// Ends the pending pages at the source after a failure, so that MSG_DISABLEDS is accepted.
void DropPending(Run &run) {
    TW_PENDINGXFERS pending{};
    Call(run.s, &run.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
}

// One page: image info, the native transfer, the file, MSG_ENDXFER. Returns kExitOk and the
// pages still pending in *more, or an exit code (the pending pages then dropped).
int TransferOne(Run &run, bool &more) {
    more = false;
    TW_IMAGEINFO info{};
    TW_UINT16 rc = Call(run.s, &run.source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
    if (rc != TWRC_SUCCESS)
        fprintf(stderr, "twacq: DAT_IMAGEINFO failed: rc %u, condition code %s\n", rc,
                ConditionText(Status(run.s, &run.source)).c_str());
    TW_UINT32 handle = 0;  // TW_HANDLE in a 32-bit field, as the transfer hands it over
    const LARGE_INTEGER t0 = Now();
    rc = Call(run.s, &run.source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    const double ms = Seconds(t0, Now()) * 1000.0;
    int result = kExitOk;
    const int number = run.pages + 1;
    if (rc == TWRC_XFERDONE && handle) {
        HGLOBAL dib = reinterpret_cast<HGLOBAL>(static_cast<UINT_PTR>(handle));
        char name[32];
        snprintf(name, sizeof name, "page%04d.bmp", number);
        const std::string path = run.folder + "\\" + name;
        PageFacts facts{};
        std::string why;
        if (WriteBmp(dib, path, facts, why)) {
            run.pages = number;
            run.bytes += facts.fileBytes;
            printf("page %d: %ld x %ld, %u bits, %d dpi, %lu bytes, %.0f ms, %s\n", number, facts.width, facts.height,
                   facts.bits, info.XResolution.Whole, static_cast<unsigned long>(facts.fileBytes), ms, name);
        } else {
            fprintf(stderr, "twacq: page %d: %s: %s\n", number, path.c_str(), why.c_str());
            result = kExitOutput;
        }
        GlobalFree(dib);
    } else if (rc == TWRC_XFERDONE) {
        fprintf(stderr, "twacq: page %d: the source answered TWRC_XFERDONE without an image\n", number);
        result = kExitTransfer;
    } else if (rc == TWRC_CANCEL) {
        fprintf(stderr, "twacq: page %d: the transfer was cancelled (condition code %s)\n", number,
                ConditionText(Status(run.s, &run.source)).c_str());
        result = kExitTransfer;
    } else {
        fprintf(stderr, "twacq: page %d: the transfer failed: rc %u, condition code %s\n", number, rc,
                ConditionText(Status(run.s, &run.source)).c_str());
        result = kExitTransfer;
    }
    TW_PENDINGXFERS pending{};
    rc = Call(run.s, &run.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    if (rc != TWRC_SUCCESS) {
        fprintf(stderr, "twacq: MSG_ENDXFER failed: rc %u, condition code %s\n", rc,
                ConditionText(Status(run.s, &run.source)).c_str());
        return result != kExitOk ? result : kExitTransfer;
    }
    if (result != kExitOk) {
        if (pending.Count != 0) DropPending(run);
        return result;
    }
    more = pending.Count != 0;
    return kExitOk;
}

int TransferAll(Run &run) {
    for (bool more = true; more;) {
        const int rc = TransferOne(run, more);
        if (rc != kExitOk) return rc;
    }
    return kExitOk;
}

enum class Wait { kReady, kClose, kTimeout };

// Feeds every message of this thread to DAT_EVENT until the source reports a page ready or asks
// to be closed, or timeoutMs passes. Messages the source does not take are dispatched as usual.
Wait WaitForSource(Run &run, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TW_EVENT event{&msg, MSG_NULL};
            const TW_UINT16 rc = Call(run.s, &run.source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
            if (event.TWMessage == MSG_XFERREADY) return Wait::kReady;
            if (event.TWMessage == MSG_CLOSEDSREQ) return Wait::kClose;
            if (rc != TWRC_DSEVENT) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return Wait::kTimeout;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
    }
}

// Keeps the source enabled for the guard's lifetime: MSG_DISABLEDS on every way out.
class Enabled {
public:
    Enabled(Session &s, TW_IDENTITY &source) : s_(s), source_(source) {}
    ~Enabled() {
        TW_USERINTERFACE ui{FALSE, FALSE, s_.parent};
        Call(s_, &source_, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
    Enabled(const Enabled &) = delete;
    Enabled &operator=(const Enabled &) = delete;

private:
    Session &s_;
    TW_IDENTITY &source_;
};

int AcquireEnabled(Run &run, const Options &opts) {
    TW_USERINTERFACE ui{FALSE, FALSE, run.s.parent};
    const TW_UINT16 rc = Call(run.s, &run.source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    // Also after a failure: the source may count itself enabled after a half-done enable.
    Enabled enabled(run.s, run.source);
    if (rc != TWRC_SUCCESS) {
        fprintf(stderr, "twacq: the scan did not start (MSG_ENABLEDS): rc %u, condition code %s\n", rc,
                ConditionText(Status(run.s, &run.source)).c_str());
        return kExitEnable;
    }
    // A manager that only queues the notification still gets a message to answer it with.
    PostMessageA(run.s.parent, WM_NULL, 0, 0);
    switch (WaitForSource(run, static_cast<DWORD>(opts.timeoutSeconds) * 1000)) {
    case Wait::kReady:
        return TransferAll(run);
    case Wait::kClose:
        printf("the source asked to be closed\n");
        return run.pages ? kExitOk : kExitTransfer;
    case Wait::kTimeout:
        break;
    }
    fprintf(stderr, "twacq: no page was ready within %d s\n", opts.timeoutSeconds);
    return kExitTimeout;
}

}  // namespace

bool PrepareOutput(const Options &opts, std::string &folder) {
    std::string name = opts.outDir;
    if (name.empty()) {
        // A new folder each run, so that an earlier run's pages are never overwritten.
        for (int n = 1; n < 1000 && name.empty(); ++n) {
            const std::string candidate = n == 1 ? "scans" : "scans-" + std::to_string(n);
            if (CreateDirectoryA(candidate.c_str(), nullptr)) name = candidate;
            else if (GetLastError() != ERROR_ALREADY_EXISTS) break;
        }
        if (name.empty()) {
            fprintf(stderr, "twacq: cannot create a folder for the pages in the current folder\n");
            return false;
        }
    } else {
        // Every missing folder along the path, as mkdir -p does.
        for (size_t i = 0; i <= name.size(); ++i)
            if (i == name.size() || ((name[i] == '\\' || name[i] == '/') && i > 0 && name[i - 1] != ':'))
                CreateDirectoryA(name.substr(0, i).c_str(), nullptr);
    }
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        fprintf(stderr, "twacq: cannot create the folder %s\n", name.c_str());
        return false;
    }
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(name.c_str(), MAX_PATH, full, nullptr);
    folder = n && n < MAX_PATH ? full : name;
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    printf("pages go to %s\n", folder.c_str());
    return true;
}

int Acquire(Session &s, TW_IDENTITY &source, const Options &opts, const std::string &folder) {
    Run run{s, source, folder};
    const LARGE_INTEGER t0 = Now();
    const int result = AcquireEnabled(run, opts);
    const double seconds = Seconds(t0, Now());
    printf("scanned: %d pages, %llu bytes, %.2f s, %.2f pages/s\n", run.pages, run.bytes, seconds,
           seconds > 0 ? run.pages / seconds : 0.0);
    return result;
}
