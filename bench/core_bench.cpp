// Costs of the hot paths that every capability call and every log line goes through: a print
// with the log off, building and reading containers, and the unit conversions.
#include <windows.h>

#include <cstdio>

#include "cap/container.h"
#include "sdkprint/sdkprint.h"
#include "util/values.h"

namespace {

template <class Fn>
void Measure(const char *name, int iterations, Fn fn) {
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    for (int i = 0; i < iterations; ++i) fn(i);
    QueryPerformanceCounter(&b);
    const double ns = (b.QuadPart - a.QuadPart) * 1e9 / f.QuadPart / iterations;
    printf("%-40s %10.1f ns/op  (%d ops)\n", name, ns, iterations);
}

}  // namespace

int main() {
    SdkPrint(kLogTwainApi, "start");  // reads the settings once
    Measure("SdkPrint with the log off", 1000000, [](int i) { SdkPrint(kLogTwainApi, "Called: %d", i); });
    Measure("BuildOneValue + GlobalFree", 200000, [](int i) {
        TW_CAPABILITY cap{ICAP_UNITS, 0, nullptr};
        BuildOneValue(&cap, TWTY_UINT16, i);
        GlobalFree(cap.hContainer);
    });
    static TW_UINT16 items[256];
    Measure("BuildEnumeration 256 items + free", 100000, [](int i) {
        TW_CAPABILITY cap{ICAP_UNITS, 0, nullptr};
        BuildEnumeration(&cap, TWTY_UINT16, 256, i & 255, 0, items);
        GlobalFree(cap.hContainer);
    });
    TW_CAPABILITY e{ICAP_UNITS, 0, nullptr};
    BuildEnumeration(&e, TWTY_UINT16, 256, 7, 0, items);
    Measure("GetContainerValue of a 256-item enum", 200000, [&](int) {
        TW_UINT16 type;
        TW_UINT32 value;
        GetContainerValue(&e, &type, &value);
    });
    GlobalFree(e.hContainer);
    Measure("FrameToDots (inches)", 1000000, [](int i) {
        TW_FRAME f{{0, 0}, {0, 0}, {8, static_cast<TW_UINT16>(i)}, {11, 0}};
        LONG l, t, w, h;
        FrameToDots(&l, &t, &w, &h, &f, TWUN_INCHES, 300, 1);
    });
    return 0;
}
