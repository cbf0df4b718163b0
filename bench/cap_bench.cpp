// Capability negotiation as an application sees it, through the source's entry over the default
// virtual scanner: the median latency of MSG_GET, MSG_GETCURRENT and MSG_SET per capability (the
// container freed in the loop), and one start-up sweep (MSG_QUERYSUPPORT and MSG_GET of every
// supported capability). The floor beside each figure is building and freeing one container.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/benchutil.h"
#include "twain/twaindefs.h"

namespace {

using EntryFn = TW_UINT16(WINAPI *)(DWORD, TW_IDENTITY *, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);
using InitFn = TW_UINT16(WINAPI *)(const HINSTANCE *);

template <class Fn>
double MedianUs(int runs, Fn fn) {
    std::vector<double> t(runs);
    for (int i = 0; i < runs; ++i) {
        const double a = NowUs();
        fn();
        t[i] = NowUs() - a;
    }
    return Median(t);
}

}  // namespace

int main() {
    HMODULE host = LoadLibraryA("twjexvs.ds"), dll = LoadLibraryA("TWJEX32.dll");
    if (!host || !dll) {
        printf("TWJEX32.dll and twjexvs.ds must be in the current folder\n");
        return 1;
    }
    const HINSTANCE record[2] = {host, nullptr};
    Proc<InitFn>(dll, "TwJexInit")(record);
    auto entry = Proc<EntryFn>(dll, "TwJexDS_Entry");
    TW_IDENTITY app{}, ds{};
    app.Id = 1;
    app.ProtocolMajor = 1;
    app.ProtocolMinor = 9;
    lstrcpyA(app.ProductName, "cap_bench");
    ds.Id = 2;
    if (entry(0, &app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds) != TWRC_SUCCESS) {
        printf("the source did not open over the default virtual scanner\n");
        return 1;
    }
    auto call = [&](TW_UINT16 msg, TW_CAPABILITY *cap) { return entry(0, &app, DG_CONTROL, DAT_CAPABILITY, msg, cap); };

    const double floor = MedianUs(2001, [] {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 6);
        *static_cast<TW_ONEVALUE *>(GlobalLock(h)) = TW_ONEVALUE{TWTY_UINT16, 1};
        GlobalUnlock(h);
        GlobalFree(h);
    });
    printf("floor: build and free one one-value container: %.2f us\n\n", floor);
    printf("%-8s %-26s %10s %10s %10s %8s\n", "code", "", "GET us", "GETCUR us", "SET us", "GET/floor");

    TW_CAPABILITY list{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
    call(MSG_GET, &list);
    std::vector<TW_UINT16> codes;
    if (auto *a = static_cast<TW_ARRAY *>(GlobalLock(list.hContainer))) {
        const TW_UINT16 *items = reinterpret_cast<const TW_UINT16 *>(a->ItemList);
        codes.assign(items, items + a->NumItems);
        GlobalUnlock(list.hContainer);
    }
    GlobalFree(list.hContainer);

    double worst = 0;
    for (TW_UINT16 code : codes) {
        auto ask = [&](TW_UINT16 msg) {
            return MedianUs(201, [&] {
                TW_CAPABILITY cap{code, TWON_DONTCARE16, nullptr};
                if (call(msg, &cap) == TWRC_SUCCESS) GlobalFree(cap.hContainer);
            });
        };
        const double get = ask(MSG_GET), current = ask(MSG_GETCURRENT);
        // MSG_SET of the current value, in the application's own block.
        double set = -1;
        TW_CAPABILITY now{code, TWON_DONTCARE16, nullptr};
        if (call(MSG_GETCURRENT, &now) == TWRC_SUCCESS && now.ConType == TWON_ONEVALUE) {
            TW_CAPABILITY probe = now;
            if (call(MSG_SET, &probe) == TWRC_SUCCESS)
                set = MedianUs(201, [&] {
                    TW_CAPABILITY cap = now;
                    call(MSG_SET, &cap);
                });
        }
        if (now.hContainer) GlobalFree(now.hContainer);
        worst = std::max({worst, get, current, set});
        printf("0x%04x   %-26s %10.2f %10.2f %10.2f %8.1f\n", code, "", get, current, set, get / floor);
    }

    const double sweep = MedianUs(21, [&] {
        for (TW_UINT16 code : codes) {
            TW_CAPABILITY q{code, TWON_DONTCARE16, nullptr};
            if (call(MSG_QUERYSUPPORT, &q) == TWRC_SUCCESS) GlobalFree(q.hContainer);
            TW_CAPABILITY g{code, TWON_DONTCARE16, nullptr};
            if (call(MSG_GET, &g) == TWRC_SUCCESS) GlobalFree(g.hContainer);
        }
    });
    printf("\nslowest single call: %.2f us (aim: under 20 us), %.1f x the floor\n", worst, worst / floor);
    printf("start-up sweep of %zu capabilities: %.3f ms (aim: under 2 ms), %.0f x the floor\n", codes.size(),
           sweep / 1000, sweep / floor);
    entry(0, &app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
    FreeLibrary(dll);
    FreeLibrary(host);
    return 0;
}
