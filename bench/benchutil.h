// What every benchmark needs: the source's exports by name, a clock and a median.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

template <class Fn>
Fn Proc(HMODULE m, const char *name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(m, name)));
}

inline double NowUs() {
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER v;
        QueryPerformanceFrequency(&v);
        return v;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e6 / f.QuadPart;
}

inline double Median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}
