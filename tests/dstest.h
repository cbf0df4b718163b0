// Loading the data source as an application's manager does, once per test, and talking to it
// through its exported entry. A fresh load resets every process-wide variable of the source.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "twain/twaindefs.h"
#include "win_helpers.h"

using TwJexEntryFn = TW_UINT16(WINAPI *)(DWORD, TW_IDENTITY *, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);
using TwJexInitFn = TW_UINT16(WINAPI *)(const HINSTANCE *);
using TwJexDoneFn = TW_UINT16(WINAPI *)(DWORD);

inline const char *RcName(TW_UINT16 rc) {
    static const char *names[] = {"TWRC_SUCCESS", "TWRC_FAILURE", "TWRC_CHECKSTATUS", "TWRC_CANCEL",
                                  "TWRC_DSEVENT", "TWRC_NOTDSEVENT", "TWRC_XFERDONE", "TWRC_ENDOFLIST"};
    return rc < 8 ? names[rc] : "TWRC_?";
}

inline std::string WindowsDir() {
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return dir;
}

inline std::string ReadFileText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::vector<std::string> SplitCrLfLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// An application identity of a given protocol version.
inline TW_IDENTITY AppId(TW_UINT32 id, TW_UINT16 major = 1, TW_UINT16 minor = 9, const char *manufacturer = "Test",
                         const char *family = "Tests", const char *product = "dstest") {
    TW_IDENTITY app{};
    app.Id = id;
    app.Version.MajorNum = 1;
    app.ProtocolMajor = major;
    app.ProtocolMinor = minor;
    app.SupportedGroups = DG_CONTROL | DG_IMAGE;
    lstrcpynA(app.Manufacturer, manufacturer, 34);
    lstrcpynA(app.ProductFamily, family, 34);
    lstrcpynA(app.ProductName, product, 34);
    return app;
}

// The loaded source. Loads TWJEX32.dll and the host module (for its name strings).
class Source {
public:
    Source() {
        host_ = LoadLibraryA("twjexvs.ds");
        dll_ = LoadLibraryA("TWJEX32.dll");
        if (!dll_) return;
        entry_ = GetProc<TwJexEntryFn>(dll_, "TwJexDS_Entry");
        init_ = GetProc<TwJexInitFn>(dll_, "TwJexInit");
        done_ = GetProc<TwJexDoneFn>(dll_, "TwJexDone");
        if (init_ && host_) {
            const HINSTANCE record[2] = {host_, nullptr};
            init_(record);
        }
    }
    ~Source() { Unload(); }
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;

    bool loaded() const { return dll_ && entry_ && init_; }
    HMODULE module() const { return dll_; }
    HMODULE host() const { return host_; }
    TwJexInitFn init() const { return init_; }
    TwJexDoneFn done() const { return done_; }

    TW_UINT16 Call(TW_IDENTITY *origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data) {
        return entry_(0, origin, dg, dat, msg, data);
    }
    // DAT_STATUS through the same entry; reports and clears the stored condition code.
    TW_UINT16 Status(TW_IDENTITY *origin = nullptr) {
        TW_STATUS status{0xBEEF, 0xCAFE};
        entry_(0, origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }
    template <class Fn>
    Fn Proc(const char *name) const {
        return GetProc<Fn>(dll_, name);
    }

    void Unload() {
        if (dll_) FreeLibrary(dll_);
        if (host_) FreeLibrary(host_);
        dll_ = nullptr;
        host_ = nullptr;
        entry_ = nullptr;
    }

private:
    HMODULE dll_ = nullptr;
    HMODULE host_ = nullptr;
    TwJexEntryFn entry_ = nullptr;
    TwJexInitFn init_ = nullptr;
    TwJexDoneFn done_ = nullptr;
};

// Expects a return code and the condition code that DAT_STATUS then reports.
#define EXPECT_TWAIN(src, origin, call, rc, cc)                                                      \
    do {                                                                                             \
        TW_UINT16 rc_ = (call);                                                                      \
        TW_UINT16 cc_ = (src).Status(origin);                                                        \
        EXPECT_EQ(rc_, (rc)) << RcName(rc_) << " / condition code " << cc_;                          \
        EXPECT_EQ(cc_, (cc)) << RcName(rc_) << " / condition code " << cc_;                          \
    } while (0)

// Writes (or removes, with nullptr) a key of SETSCAN.INI in the Windows directory.
inline void SetScanIni(const char *key, const char *value) {
    WritePrivateProfileStringA("Scanner", key, value, "SETSCAN.INI");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "SETSCAN.INI");  // flush Wine's cache
}
