// The source over the virtual scanner kit: a profile and a settings store of the test's own
// (so tests can run side by side), the kit's record of driver calls, and its live counters.
#pragma once

#include <algorithm>

#include "dstest.h"
#include "jexmkit.h"

using KitCallCountFn = LONG(WINAPI *)();
using KitGetCallFn = LONG(WINAPI *)(LONG, LPSTR, LONG);
using KitResetFn = LONG(WINAPI *)();
using KitLiveDriversFn = LONG(WINAPI *)();
using JexmLiveFn = LONG(WINAPI *)(LONG *, LONG *, LONG *);

// A minimal model: flatbed and feeder, no stack sensor.
inline const char *const kBasicProfile =
    "[Scanner]\nName=Basic\nFlatbed=yes\nFeeder=yes\nDuplex=no\nStackSensor=no\n"
    "Resolutions=100,200,300\nDefaultResolution=200\n";

inline std::string TestDir() {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string dir = std::string(tmp) + "twjex_" + (info ? std::string(info->test_suite_name()) + "_" + info->name() : "x");
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

inline void WriteText(const std::string &path, const std::string &text) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

// A profile file used where it lies, so that its relative names (a page folder) are taken from
// its own folder.
struct ProfileFile {
    std::string path;
};

class KitSource {
public:
    // The profile text is written into the test's own folder.
    explicit KitSource(const std::string &profile = kBasicProfile) : dir_(TestDir()) {
        WriteText(dir_ + "\\profile.ini", profile);
        Start(dir_ + "\\profile.ini");
    }
    explicit KitSource(const ProfileFile &profile) : dir_(TestDir()) { Start(profile.path); }
    ~KitSource() {
        src_.reset();
        SetEnvironmentVariableA("JEXKIT_PROFILE", nullptr);
        SetEnvironmentVariableA("JEXKIT_SETTINGS", nullptr);
    }
    Source &src() { return *src_; }
    std::string SettingsPath() const { return dir_ + "\\settings.ini"; }
    std::string Setting(const char *section, const char *key) const {
        char v[256] = {};
        GetPrivateProfileStringA(section, key, "<missing>", v, sizeof v, SettingsPath().c_str());
        return v;
    }
    void PutSetting(const char *section, const char *key, const char *value) {
        WritePrivateProfileStringA(section, key, value, SettingsPath().c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, SettingsPath().c_str());
    }

    TW_UINT16 Open(TW_IDENTITY &app) {
        TW_IDENTITY ds{};
        ds.Id = 77;
        lstrcpyA(ds.ProductName, "JEX Virtual Scanner");
        return src_->Call(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds);
    }
    TW_UINT16 Close(TW_IDENTITY &app) { return src_->Call(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr); }

    // The kit's record of what it received.
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        HMODULE kit = GetModuleHandleA("jexdfltn.dll");
        auto count = GetProc<KitCallCountFn>(kit, "JexKitCallCount");
        auto get = GetProc<KitGetCallFn>(kit, "JexKitGetCall");
        if (!count || !get) return calls;
        for (LONG i = 0, n = count(); i < n; ++i) {
            char line[512] = {};
            get(i, line, sizeof line);
            calls.push_back(line);
        }
        return calls;
    }
    void ResetCalls() {
        if (auto reset = GetProc<KitResetFn>(GetModuleHandleA("jexdfltn.dll"), "JexKitResetCalls")) reset();
    }
    LONG LiveDrivers() const {
        auto live = GetProc<KitLiveDriversFn>(GetModuleHandleA("jexdfltn.dll"), "JexKitLiveDrivers");
        return live ? live() : -1;
    }
    // No driver is loaded, and none was left for the libraries' end to take down.
    bool NoDriversLeft() const {
        for (const std::string &c : Calls())
            if (c.rfind("74 drivers still loaded", 0) == 0) return false;
        return LiveDrivers() == 0;
    }
    LONG LiveImageObjects() const {
        auto live = GetProc<JexmLiveFn>(GetModuleHandleA("jexmdln.dll"), "JexmKitLiveObjects");
        LONG images = 0, zones = 0, palettes = 0;
        if (!live) return -1;
        live(&images, &zones, &palettes);
        return images + zones + palettes;
    }

private:
    void Start(const std::string &profilePath) {
        DeleteFileA(SettingsPath().c_str());
        SetEnvironmentVariableA("JEXKIT_PROFILE", profilePath.c_str());
        SetEnvironmentVariableA("JEXKIT_SETTINGS", SettingsPath().c_str());
        src_ = std::make_unique<Source>();
    }
    std::string dir_;
    std::unique_ptr<Source> src_;
};

// The one-value answer of a capability call; frees the container.
struct OneValueAnswer {
    TW_UINT16 type;
    TW_UINT32 item;
};
inline OneValueAnswer TakeOneValue(TW_CAPABILITY &cap) {
    EXPECT_EQ(cap.ConType, TWON_ONEVALUE);
    OneValueAnswer v{0xFFFF, 0xDEADBEEF};
    if (auto *p = static_cast<TW_ONEVALUE *>(GlobalLock(cap.hContainer))) {
        v = {p->ItemType, p->Item};
        GlobalUnlock(cap.hContainer);
    }
    GlobalFree(cap.hContainer);
    cap.hContainer = nullptr;
    return v;
}

// Index of the first call at or after `from` that starts with prefix; -1 when none.
inline int FindCall(const std::vector<std::string> &calls, const std::string &prefix, int from = 0) {
    for (int i = std::max(from, 0); i < static_cast<int>(calls.size()); ++i)
        if (calls[i].rfind(prefix, 0) == 0) return i;
    return -1;
}

// Expects the prefixes in this order (others may come between).
inline void ExpectInOrder(const std::vector<std::string> &calls, const std::vector<std::string> &prefixes) {
    int at = 0;
    for (const std::string &p : prefixes) {
        int found = FindCall(calls, p, at);
        if (found < 0) {
            std::string all;
            for (const std::string &c : calls) all += "  " + c + "\n";
            ADD_FAILURE() << "missing, or out of order: " << p << "\ncalls:\n" << all;
            return;
        }
        at = found + 1;
    }
}

inline int CountCalls(const std::vector<std::string> &calls, const std::string &prefix) {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const std::string &c) { return c.rfind(prefix, 0) == 0; }));
}
