// Shared by the tests of the kit's driver side (kit_driver_*.cpp, one executable): the kit's
// libraries loaded by ordinal, a fixture that opens the virtual ORVA driver from a profile
// written by the test, the call log, a collector procedure that keeps what a page delivers, and
// the test chart written out from the kit's documentation.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "jexapi.h"
#include "win_helpers.h"

struct Kit {
    HMODULE dll = nullptr, loc = nullptr;
    LONG(WINAPI *init)(void);
    LONG(WINAPI *done)(void);
    LONG(WINAPI *getSetting)(LONG, LPCSTR, LPCSTR, LPSTR, LONG);
    LONG(WINAPI *putSetting)(LONG, LPCSTR, LPCSTR, LPCSTR);
    LONG(WINAPI *load)(LONG, const void *, JEXDRIVER *, LONG);
    LONG(WINAPI *initDriver)(JEXDRIVER *, LPCSTR, HJEXM);
    LONG(WINAPI *scan)(JEXDRIVER *, HGLOBAL, LONG);
    LONG(WINAPI *unload)(JEXDRIVER *);
    LONG(WINAPI *errorText)(LONG, const JEXDRIVER *, LONG, LPSTR, LONG);
    LONG(WINAPI *defProc)(JEXLIBRECORD *, LONG, LONG, LONG);
    LONG(WINAPI *callCount)(void);
    LONG(WINAPI *getCall)(LONG, LPSTR, LONG);
    LONG(WINAPI *resetCalls)(void);
    LONG(WINAPI *liveDrivers)(void);
    LONG(WINAPI *locOpen)(LPCSTR);
    LPCSTR(WINAPI *locLookup)(LPCSTR, LONG *);
    LONG(WINAPI *locCopy)(LPSTR, LPCSTR, LONG);
    LONG(WINAPI *preview)(HINSTANCE, JEXIMAGESINK, HJEXM);
    LONG(WINAPI *localize)(HWND);
    LONG(WINAPI *jexmLive)(LONG *, LONG *, LONG *);  // jexmdln's live images, zones, palettes
};
inline Kit k;

// Loads jexdfltn (again, after a test unloaded it) and takes its entries by ordinal.
inline bool LoadJexdfltn() {
    k.dll = LoadLibraryA("jexdfltn.dll");
    if (!k.dll) return false;
    auto O = [](int n) { return MAKEINTRESOURCEA(n); };
    k.init = GetProc<decltype(k.init)>(k.dll, O(73));
    k.done = GetProc<decltype(k.done)>(k.dll, O(74));
    k.getSetting = GetProc<decltype(k.getSetting)>(k.dll, O(47));
    k.putSetting = GetProc<decltype(k.putSetting)>(k.dll, O(48));
    k.load = GetProc<decltype(k.load)>(k.dll, O(29));
    k.initDriver = GetProc<decltype(k.initDriver)>(k.dll, O(70));
    k.scan = GetProc<decltype(k.scan)>(k.dll, O(35));
    k.unload = GetProc<decltype(k.unload)>(k.dll, O(30));
    k.errorText = GetProc<decltype(k.errorText)>(k.dll, O(28));
    k.defProc = GetProc<decltype(k.defProc)>(k.dll, O(23));
    k.callCount = GetProc<decltype(k.callCount)>(k.dll, "JexKitCallCount");
    k.getCall = GetProc<decltype(k.getCall)>(k.dll, "JexKitGetCall");
    k.resetCalls = GetProc<decltype(k.resetCalls)>(k.dll, "JexKitResetCalls");
    k.liveDrivers = GetProc<decltype(k.liveDrivers)>(k.dll, "JexKitLiveDrivers");
    k.preview = GetProc<decltype(k.preview)>(k.dll, O(129));
    return k.init && k.done && k.load && k.initDriver && k.scan && k.unload && k.errorText && k.defProc && k.callCount &&
           k.getCall && k.resetCalls && k.liveDrivers && k.preview;
}

inline std::string g_dir;  // this test's own folder for profiles and settings

inline std::string WriteFile(const std::string &name, const std::string &text) {
    std::string path = g_dir + "\\" + name;
    FILE *f = fopen(path.c_str(), "wb");
    fputs(text.c_str(), f);
    fclose(f);
    return path;
}

inline void UseProfile(const std::string &text) {
    SetEnvironmentVariableA("JEXKIT_PROFILE", WriteFile("profile.ini", text).c_str());
}

inline std::vector<std::string> Calls() {
    std::vector<std::string> out;
    char line[700];
    for (LONG i = 0; i < k.callCount(); ++i) {
        k.getCall(i, line, sizeof line);
        out.push_back(line);
    }
    return out;
}

inline bool HasCall(const std::string &line) {
    for (const std::string &c : Calls())
        if (c == line) return true;
    return false;
}

inline LONG Msg(const JEXDRIVER &d, LONG msg, LONG tag, LONG value) { return d.entry(d.instance, msg, tag, value); }
inline LONG GetLong(const JEXDRIVER &d, LONG tag) {
    LONG v = -12345;
    EXPECT_EQ(0, Msg(d, 0x310, tag, reinterpret_cast<LONG>(&v))) << "tag " << tag;
    return v;
}
inline std::vector<LONG> Choices(const JEXDRIVER &d, LONG tag) {
    LONG n = 0;
    std::vector<LONG> out;
    if (Msg(d, 0x410, tag, reinterpret_cast<LONG>(&n)) != 0) return out;
    for (LONG i = 0; i < n; ++i) {
        LONG v = 0;
        Msg(d, 0x411, tag | (i << 16), reinterpret_cast<LONG>(&v));
        out.push_back(v);
    }
    return out;
}

inline constexpr char kBase[] =
    "[Scanner]\nFlatbed=yes\nFeeder=yes\nDuplex=yes\nStackSensor=yes\nResolutions=75,150,300\nDefaultResolution=150\n"
    "GrayDepths=4,8\nColorDepths=8\nPaletteDepths=4,8\nEndorser=text\nPageSizes=A4=210x297; Letter=215.9x279.4\n"
    "[Paper]\nPages=2\n[Page 1]\nBarcodes=3:ABC-1; 1:12345670\n[Page 2]\nSeparator=yes\n[Tag 6001]\nName=Sharpness\n"
    "Capability=0x8101\nValues=0..10/1\nDefault=5\n";

inline bool HasCallStarting(const std::string &prefix) {
    for (const std::string &c : Calls())
        if (c.rfind(prefix, 0) == 0) return true;
    return false;
}

// The first window of a process makes Wine create objects it keeps for the process: the bitmaps
// of the frame and its buttons, system brushes and pens, the cached DCs of windows. A dialog of
// the kind the driver shows, shown and taken down once, gets them made before any test counts.
inline INT_PTR CALLBACK WarmUpProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }
inline void WarmUpGdi() {
    static bool done = false;
    if (done) return;
    done = true;
    struct {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tp{};
    tp.t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
    tp.t.cx = 200;
    tp.t.cy = 150;
    HWND d = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tp.t, nullptr, WarmUpProc, 0);
    struct Child {
        const char *cls;
        DWORD style;
    };
    const Child children[] = {{"STATIC", SS_LEFT}, {"STATIC", SS_OWNERDRAW}, {"BUTTON", BS_DEFPUSHBUTTON},
                              {"BUTTON", BS_PUSHBUTTON}, {"EDIT", WS_BORDER | ES_NUMBER}};
    int y = 0;
    for (const Child &c : children)
        CreateWindowExA(0, c.cls, "12", WS_CHILD | WS_VISIBLE | WS_TABSTOP | c.style, 10, y += 25, 90, 22, d, nullptr,
                        GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(d);
    PumpFor(50);
    DestroyWindow(d);
    PumpFor(20);
}

// Every test leaves no driver loaded (not even one the last @74 had to take down), no jexmdln
// object alive and no more GDI objects than it found (GdiObjectCount: Wine's GetGuiResources
// counts nothing).
class KitDriver : public ::testing::Test {
protected:
    JEXDRIVER scanner{};
    DWORD gdiObjects = 0;
    void SetUp() override {
        WarmUpGdi();
        gdiObjects = GdiObjectCount();
    }
    void Open(const std::string &profile = kBase) {
        UseProfile(profile);
        ASSERT_EQ(0, k.init());
        ASSERT_EQ(0, k.load(0, "ORVAVS", &scanner, 2));
        ASSERT_EQ(0, k.initDriver(&scanner, "ORVAVS", nullptr));
    }
    void TearDown() override {
        if (scanner.entry) {
            EXPECT_EQ(0, k.unload(&scanner));
        }
        k.done();
        EXPECT_EQ(0, k.liveDrivers());
        EXPECT_FALSE(HasCallStarting("74 drivers still loaded")) << "a driver was left loaded";
        LONG images = -1, zones = -1, palettes = -1;
        ASSERT_EQ(0, k.jexmLive(&images, &zones, &palettes));
        EXPECT_EQ(0, images);
        EXPECT_EQ(0, zones);
        EXPECT_EQ(0, palettes);
        EXPECT_LE(GdiObjectCount(), gdiObjects) << "GDI objects left behind";
    }
};

// ---- a test collector: a driver procedure that keeps what reaches it
struct Collected {
    std::vector<std::string> codes;
    LONG width = 0, length = 0, bits = 0, spp = 0, photometric = 0, rows = 0, strips = 0;
    std::vector<BYTE> pixels;  // rows as delivered
    LONG pitch = 0;
    LONG yieldCalls = 0, yieldCancelAt = -1;
    LONG stripRows = 0;                 // the answer to the strip query (0: no preference)
    LONG pageEnds = 0, endRows = -1;    // 260 messages and the rows the last one reported
};
inline Collected g_got;

struct PageStart { LONG width, length, bits, spp, photometric, xn, xd, yn, yd, compression; const BYTE *map; LONG page; };
struct Rows { LONG first, count, pitch; const BYTE *rows; };

inline LONG WINAPI Collector(JEXLIBRECORD *rec, LONG message, LONG tag, LONG value) {
    auto self = reinterpret_cast<JEXDRIVERPROC>(rec->words[0]);
    switch (message & 0xFFFF) {
    case 259: {
        self(rec->words[2], 768, 0, 0x206C7);
        self(rec->words[2], 800, 1735, reinterpret_cast<LONG>(""));
        self(rec->words[2], 768, 0, 0x406C2);
        self(rec->words[2], 801, 1730, -1);
        auto *s = reinterpret_cast<const PageStart *>(value);
        g_got.width = s->width, g_got.length = s->length, g_got.bits = s->bits, g_got.spp = s->spp;
        g_got.photometric = s->photometric;
        g_got.pitch = (s->width * s->spp * s->bits + 7) / 8;
        g_got.pixels.assign(static_cast<size_t>(g_got.pitch) * s->length, 0xCD);
        return k.defProc(rec, message, tag, value);  // on to the next driver, as the real collector does
    }
    case 1538: {
        auto *r = reinterpret_cast<const Rows *>(value);
        for (LONG y = 0; y < r->count; ++y)
            memcpy(&g_got.pixels[static_cast<size_t>(r->first + y) * g_got.pitch], r->rows + y * r->pitch, g_got.pitch);
        g_got.rows += r->count;
        ++g_got.strips;
        auto next = reinterpret_cast<JEXDRIVERPROC>(rec->words[16]);
        return rec->words[18] ? next(rec->words[18], message, tag, value) : 0;
    }
    case 1585: {
        char text[256] = {};
        LONG type = 0;
        self(rec->words[2], 0x312, 1735 | (256 << 16), reinterpret_cast<LONG>(text));
        text[sizeof text - 1] = 0;  // a text that fills the buffer comes without its terminator
        self(rec->words[2], 0x310, 1730, reinterpret_cast<LONG>(&type));
        g_got.codes.push_back(std::to_string(type) + ":" + text);
        return k.defProc(rec, message, tag, value);
    }
    case 545:
        *reinterpret_cast<LONG *>(value) = g_got.stripRows;
        return 0;
    case 260:
        ++g_got.pageEnds;
        g_got.endRows = tag;
        return k.defProc(rec, message, tag, value);
    default:
        return k.defProc(rec, message, tag, value);
    }
}

inline LONG WINAPI TestYield(void) {
    ++g_got.yieldCalls;
    return g_got.yieldCalls == g_got.yieldCancelAt ? JEX_ERR_CANCEL : 0;
}

// Chains the collector behind the scanner, scans one page, unloads the collector.
inline LONG ScanIntoCollector(JEXDRIVER &scanner) {
    LONG calls = g_got.yieldCalls, cancelAt = g_got.yieldCancelAt, strip = g_got.stripRows;
    g_got = Collected{};
    g_got.yieldCalls = calls, g_got.yieldCancelAt = cancelAt, g_got.stripRows = strip;
    JEXDRIVER col{};
    EXPECT_EQ(0, k.load(0, reinterpret_cast<const void *>(&Collector), &col, 1));
    EXPECT_EQ(0, k.initDriver(&col, nullptr, nullptr));
    EXPECT_EQ(0, Msg(scanner, 0x110, reinterpret_cast<LONG>(&col), 0));
    HGLOBAL buf = GlobalAlloc(GHND, 8192);
    LONG rc = k.scan(&scanner, buf, 8192);
    GlobalFree(buf);
    Msg(scanner, 0x110, 0, 0);
    EXPECT_EQ(0, k.unload(&col));
    return rc;
}

// The chart, written out from the kit's documentation.
inline void Chart(LONG page, LONG u, LONG v, LONG dpi, BYTE rgb[3]) {
    LONG mx = u * 1000 / dpi, my = v * 1000 / dpi;
    if (my < 250 && mx < 1000) {
        BYTE c = (page >> (15 - mx * 16 / 1000)) & 1 ? 0 : 255;
        rgb[0] = rgb[1] = rgb[2] = c;
    } else if (u % (dpi / 4) == 0 || v % (dpi / 4) == 0) {
        rgb[0] = rgb[1] = rgb[2] = 0;
    } else {
        rgb[0] = (mx / 8) % 256, rgb[1] = (my / 8) % 256, rgb[2] = (page * 40 + (mx + my) / 16) % 256;
    }
}

