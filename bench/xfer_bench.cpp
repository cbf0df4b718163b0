// Page transfer speed. For an A4 page at 300 dpi in 24-bit colour, 8-bit gray and 1-bit: the
// native transfer through the source's entry (the virtual scanner's scan included) and the
// JEXM-to-DIB conversion alone, each beside the floor of allocating and filling a zero-initialised
// block of the DIB's size. Then a feeder run of 500 pages: the mean time per page of the first and
// the last 50, and the process's private bytes before and after.
// Run: cd build/bin && wine ./xfer_bench.exe
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "jexmkit.h"
#include "twain/handlers.h"
#include "twain/source.h"
#include "twain/state.h"
#include "twain/twaindefs.h"
#include "xfer/pagestate.h"

namespace {

using EntryFn = TW_UINT16(WINAPI *)(DWORD, TW_IDENTITY *, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);
using InitFn = TW_UINT16(WINAPI *)(const HINSTANCE *);

double NowMs() { return NowUs() / 1000; }

SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX c{};
    c.cb = sizeof c;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&c), sizeof c);
    // Wine counts private bytes as the page-file usage.
    return c.PrivateUsage ? c.PrivateUsage : c.PagefileUsage;
}

struct Mode {
    const char *name;
    TW_UINT16 pixelType, depth;
    LONG samples, bits, photometric;
};
constexpr Mode kModes[] = {
    {"24-bit", TWPT_RGB, 24, 3, 8, 2},
    {"8-bit gray", TWPT_GRAY, 8, 1, 8, 1},
    {"1-bit", TWPT_BW, 1, 1, 1, 0},
};
constexpr LONG kWidth = 2480, kLength = 3508;  // A4 at 300 dpi

SIZE_T DibBytes(const Mode &m) {
    const LONG row = ((kWidth * m.samples * m.bits + 31) / 32) * 4;
    const LONG entries = m.samples == 1 ? 1 << m.bits : 0;
    return static_cast<SIZE_T>(row) * kLength + entries * 4 + 40;
}

// The floor: a zero-initialised block of the DIB's size, filled and freed.
double FloorMs(SIZE_T bytes) {
    std::vector<double> t;
    for (int i = 0; i < 7; ++i) {
        const double a = NowMs();
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        memset(GlobalLock(h), 0x5A, bytes);
        GlobalUnlock(h);
        GlobalFree(h);
        t.push_back(NowMs() - a);
    }
    return Median(t);
}

// A held page as a scan leaves it, for the transfer handlers of the library linked in.
void HoldPage(const Mode &m) {
    HJEXM image = nullptr;
    JexmCreateImage(&image);
    JEXMKITPAGE page{kWidth, kLength, m.bits, m.samples, m.photometric, 300, 1, 300, 1, 1};
    JexmKitSetPage(image, &page, nullptr);
    const LONG row = (kWidth * m.samples * m.bits + 7) / 8;
    std::vector<BYTE> rows(static_cast<size_t>(row) * 64);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<BYTE>(i * 7);
    for (LONG y = 0; y < kLength; y += 64) JexmKitPutRows(image, y, std::min<LONG>(64, kLength - y), rows.data(), row);
    HJEXMZONE zone = nullptr;
    JexmCreateZone(&zone, 1);
    JexmSetZoneTag(zone, 256, 0, 1, kWidth);
    JexmSetZoneTag(zone, 257, 0, 1, kLength);
    JexmSetZoneTag(zone, 262, 0, 1, m.samples == 1 ? 1 : 120);
    gPage.hPageJexm = image;
    gPage.hPageZone = zone;
    gPage.PageInfo.ImageWidth = kWidth;
    gPage.PageInfo.ImageLength = kLength;
    gPage.PageInfo.BitsPerPixel = static_cast<TW_INT16>(m.samples * m.bits);
    gPage.nLinesSent = 0;
    gPage.bXferReady = TRUE;
    gPage.bNeedNewPage = FALSE;
    gPage.XferState = 6;
}

// The conversion alone, on a held page filled by the kit's writer entry.
double ConvertMs(const Mode &m) {
    HoldPage(m);
    std::vector<double> t;
    for (int i = 0; i < 5; ++i) {
        const double a = NowMs();
        HGLOBAL dib = JexmToDib(gPage.hPageJexm, gPage.hPageZone);
        t.push_back(NowMs() - a);
        if (!dib) printf("  conversion failed\n");
        GlobalFree(dib);
    }
    FreeHeldPage();
    return Median(t);
}

TW_IDENTITY gBenchApp{};

void OpenInProcess() {
    gBenchApp.Id = 7;
    gState.bDSOpen = TRUE;
    gState.bDSEnabled = TRUE;
    gState.AppIdentity = gBenchApp;
}

// One page by memory transfer into buffers of the given size; and the floor: the same number of
// bytes copied from a page in memory in the same chunks.
void MemoryFigures(const Mode &m, TW_UINT32 bufferBytes, double *xferMs, double *copyMs) {
    std::vector<BYTE> buffer(bufferBytes);
    std::vector<double> t, c;
    SIZE_T total = 0;
    for (int i = 0; i < 5; ++i) {
        HoldPage(m);
        total = 0;
        const double a = NowMs();
        for (;;) {
            TW_IMAGEMEMXFER x{};
            x.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, bufferBytes, buffer.data()};
            const TW_UINT16 rc = DatImageMemXfer(&gBenchApp, MSG_GET, &x);
            total += x.BytesWritten;
            if (rc != TWRC_SUCCESS) break;
        }
        t.push_back(NowMs() - a);
        FreeHeldPage();
    }
    std::vector<BYTE> page(total);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<BYTE>(i);
    for (int i = 0; i < 5; ++i) {
        const double a = NowMs();
        for (SIZE_T off = 0; off < total; off += bufferBytes) {
            const SIZE_T n = std::min<SIZE_T>(bufferBytes, total - off);
            memset(buffer.data(), 0, bufferBytes);
            memcpy(buffer.data(), page.data() + off, n);
        }
        c.push_back(NowMs() - a);
    }
    *xferMs = Median(t);
    *copyMs = Median(c);
}

// One page by file transfer, and the floor: the same bytes written with WriteFile.
void FileFigures(const Mode &m, double *xferMs, double *writeMs) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    lstrcpynA(gFileXfer.FileName, (std::string(dir) + "xfer_bench.bmp").c_str(), sizeof gFileXfer.FileName);
    std::vector<double> t, w;
    for (int i = 0; i < 5; ++i) {
        HoldPage(m);
        gPage.bNeedNewPage = TRUE;
        const double a = NowMs();
        DatImageFileXfer(&gBenchApp, MSG_GET, nullptr);
        t.push_back(NowMs() - a);
        gPage.XferState = 6;
    }
    std::vector<BYTE> bytes(DibBytes(m) + 14, 0x5A);
    for (int i = 0; i < 5; ++i) {
        const double a = NowMs();
        HANDLE f = CreateFileA(gFileXfer.FileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
        CloseHandle(f);
        w.push_back(NowMs() - a);
    }
    DeleteFileA(gFileXfer.FileName);
    *xferMs = Median(t);
    *writeMs = Median(w);
}

struct Session {
    HMODULE host = nullptr, dll = nullptr;
    EntryFn entry = nullptr;
    TW_IDENTITY app{}, ds{};
    SIZE_T memoryAt50 = 0;

    bool Open(const std::string &profile) {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        const std::string path = std::string(dir) + "xfer_bench.ini";
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(f, profile.data(), static_cast<DWORD>(profile.size()), &n, nullptr);
        CloseHandle(f);
        SetEnvironmentVariableA("JEXKIT_PROFILE", path.c_str());
        SetEnvironmentVariableA("JEXKIT_SETTINGS", (std::string(dir) + "xfer_bench_settings.ini").c_str());
        host = LoadLibraryA("twjexvs.ds");
        dll = LoadLibraryA("TWJEX32.dll");
        if (!host || !dll) return false;
        const HINSTANCE record[2] = {host, nullptr};
        Proc<InitFn>(dll, "TwJexInit")(record);
        entry = Proc<EntryFn>(dll, "TwJexDS_Entry");
        app.Id = 1;
        app.ProtocolMajor = 1;
        app.ProtocolMinor = 9;
        lstrcpyA(app.ProductName, "xfer_bench");
        ds.Id = 2;
        return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds) == TWRC_SUCCESS;
    }
    ~Session() {
        if (entry) Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
        if (dll) FreeLibrary(dll);
        if (host) FreeLibrary(host);
    }
    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data) {
        return entry(0, &app, dg, dat, msg, data);
    }
    void SetOne(TW_UINT16 code, TW_UINT16 type, TW_UINT32 value) {
        TW_CAPABILITY cap{code, TWON_ONEVALUE, GlobalAlloc(GHND, sizeof(TW_ONEVALUE))};
        auto *one = static_cast<TW_ONEVALUE *>(GlobalLock(cap.hContainer));
        one->ItemType = type;
        one->Item = value;
        GlobalUnlock(cap.hContainer);
        if (Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap) != TWRC_SUCCESS) printf("  set %04x refused\n", code);
        GlobalFree(cap.hContainer);
    }
    // Enables without a dialog and times each native transfer until the run ends.
    std::vector<double> Run(int pages) {
        std::vector<double> t;
        TW_USERINTERFACE ui{FALSE, FALSE, nullptr};
        if (Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) return t;
        for (int i = 0; i < pages; ++i) {
            TW_UINT32 handle = 0;
            const double a = NowMs();
            const TW_UINT16 rc = Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
            t.push_back(NowMs() - a);
            if (rc != TWRC_XFERDONE) break;
            GlobalFree(reinterpret_cast<HGLOBAL>(handle));
            TW_PENDINGXFERS p{};
            Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &p);
            // The kit records every call it receives; that record is not the source's memory.
            if (auto reset = Proc<LONG(WINAPI *)()>(GetModuleHandleA("jexdfltn.dll"), "JexKitResetCalls")) reset();
            if (i == 49) memoryAt50 = PrivateBytes();
            if (p.Count == 0) break;
        }
        Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        return t;
    }
};

std::string Profile(int pages, const char *page, int dpi) {
    const std::string name = std::string(page).substr(0, std::string(page).find('='));
    return "[Scanner]\nName=Bench\nFlatbed=yes\nFeeder=yes\nStackSensor=yes\nResolutions=" + std::to_string(dpi) +
           "\nDefaultResolution=" + std::to_string(dpi) + "\nPageSizes=" + page + "\nDefaultPageSize=" + name +
           "\nWidthStep=1\n[Paper]\nPages=" + std::to_string(pages) + "\n";
}

}  // namespace

int main() {
    printf("A4 at 300 dpi (%ld x %ld):\n", kWidth, kLength);
    printf("%-12s %10s %12s %8s %14s %8s\n", "mode", "floor ms", "JexmToDib ms", "ratio", "native xfer ms", "ratio");
    for (const Mode &m : kModes) {
        const double floor = FloorMs(DibBytes(m));
        const double convert = ConvertMs(m);
        double native = -1;
        {
            Session s;
            if (s.Open(Profile(5, "A4=210x297", 300))) {
                s.SetOne(CAP_INDICATORS, TWTY_BOOL, FALSE);
                s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, m.pixelType);
                s.SetOne(ICAP_BITDEPTH, TWTY_UINT16, m.depth);
                const std::vector<double> t = s.Run(5);
                if (!t.empty()) native = Median(t);
            } else {
                printf("  the source did not open\n");
            }
        }
        printf("%-12s %10.2f %12.2f %8.2f %14.2f %8.2f\n", m.name, floor, convert, convert / floor, native,
               native / floor);
    }

    OpenInProcess();
    printf("\nmemory transfer of the same page (rows from the held page into the application's buffer):\n");
    printf("%-12s %12s %10s %10s %8s\n", "mode", "buffer", "copy ms", "xfer ms", "ratio");
    for (const Mode &m : kModes) {
        const LONG row = (kWidth * m.samples * m.bits + 7) / 8;
        const TW_UINT32 preferred = 16384 - 16384 % row;
        for (TW_UINT32 buffer : {preferred, 1u << 20}) {
            double xfer = 0, copy = 0;
            MemoryFigures(m, buffer, &xfer, &copy);
            printf("%-12s %12u %10.2f %10.2f %8.2f\n", m.name, buffer, copy, xfer, xfer / copy);
        }
    }
    printf("\nfile transfer of the same page (conversion and write) against writing its bytes:\n");
    printf("%-12s %10s %10s %8s\n", "mode", "write ms", "xfer ms", "ratio");
    for (const Mode &m : kModes) {
        double xfer = 0, write = 0;
        FileFigures(m, &xfer, &write);
        printf("%-12s %10.2f %10.2f %8.2f\n", m.name, write, xfer, xfer / write);
    }
    gState = DsState{};

    constexpr int kPages = 500;
    Session s;
    if (!s.Open(Profile(kPages, "Letter=215.9x279.4", 100))) {
        printf("the source did not open\n");
        return 1;
    }
    s.SetOne(CAP_INDICATORS, TWTY_BOOL, FALSE);
    s.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY);
    s.SetOne(ICAP_BITDEPTH, TWTY_UINT16, 8);
    const std::vector<double> t = s.Run(kPages);
    const SIZE_T before = s.memoryAt50;
    const SIZE_T after = PrivateBytes();
    if (t.size() < 100) {
        printf("feeder run ended after %zu pages\n", t.size());
        return 1;
    }
    double first = 0, last = 0;
    for (size_t i = 0; i < 50; ++i) first += t[i], last += t[t.size() - 50 + i];
    printf("\nfeeder run of %zu pages (Letter, 100 dpi, 8-bit gray):\n", t.size());
    printf("  mean ms per page: first 50 %.2f, last 50 %.2f (ratio %.2f)\n", first / 50, last / 50, last / first);
    printf("  private bytes: after page 50 %lu KB, after page 500 %lu KB\n", static_cast<unsigned long>(before / 1024),
           static_cast<unsigned long>(after / 1024));
    return 0;
}
