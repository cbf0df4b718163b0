// The lengths of the scan-area edits: conversions, how they are shown, and what typing gives.
#include <gtest/gtest.h>

#include <string>

#include "ui/scanarea.h"

TEST(ScanArea, ConvertLength) {
    struct Row {
        int64_t value;
        unsigned short to, from;
        DriverRatio res;
        bool ok;
        int64_t want;
    };
    const Row rows[] = {
        {500, kUnitsPixels, kUnitsInches, {300, 1}, true, 150},           // 0.5 inch at 300 dpi
        {25400, kUnitsPixels, kUnitsMillimetres, {300, 1}, true, 300},    // 25.4 mm
        {150, kUnitsInches, kUnitsPixels, {300, 1}, true, 500},
        {1700, kUnitsMillimetres, kUnitsPixels, {200, 1}, true, 215900},  // Letter's width at 200 dpi
        {8500, kUnitsMillimetres, kUnitsInches, {200, 1}, true, 215900},
        {1234, kUnitsInches, kUnitsInches, {0, 0}, true, 1234},
        {100, kUnitsPixels, kUnitsInches, {0, 1}, false, 0},              // no resolution: no pixels
        {100, kUnitsPixels, kUnitsInches, {300, 0}, false, 0},
        {100, 2, kUnitsInches, {300, 1}, false, 0},                       // units the edits do not know
        {INT64_C(999999999999), kUnitsPixels, kUnitsInches, {10000, 1}, true, INT64_C(9999999999990)},
    };
    for (const Row &r : rows) {
        int64_t got = -7;
        EXPECT_EQ(ConvertLength(r.value, r.to, r.from, r.res, &got), r.ok) << r.value;
        if (r.ok) {
            EXPECT_EQ(got, r.want) << r.value << " " << r.to << "<-" << r.from;
        }
    }
}

TEST(ScanArea, FormatAndParse) {
    struct Shown {
        int64_t value;
        unsigned short units;
        const char *text;
    };
    for (const Shown &s : {Shown{1500, 0, "1.5"}, Shown{2250, 0, "2.25"}, Shown{3005, 1, "3.005"},
                           Shown{4000, 0, "4.0"}, Shown{1050, 0, "1.05"}, Shown{0, 0, "0.0"}, Shown{1700, 5, "1700"}}) {
        char text[32];
        FormatLength(s.value, s.units, text, sizeof text);
        EXPECT_STREQ(text, s.text) << s.value;
    }
    struct Typed {
        const char *text;
        int64_t digits, divisor;
    };
    const Typed typed[] = {
        {"12.75", 1275, 100}, {"12.5", 125, 10}, {"8", 8, 1},  {"", 0, 1},     {"-3", 0, 1},
        {"2,5", 2, 1},        {"1.2.3", 123, 10}, {"abc", 0, 1}, {".5", 5, 10},
    };
    for (const Typed &t : typed) {
        int64_t digits = -1, divisor = -1;
        ParseNumber(t.text, &digits, &divisor);
        EXPECT_EQ(digits, t.digits) << t.text;
        EXPECT_EQ(divisor, t.divisor) << t.text;
    }
    // Thirty digits: what 64 bits hold is taken, the rest is not.
    int64_t digits = 0, divisor = 0;
    ParseNumber(std::string(30, '9').c_str(), &digits, &divisor);
    EXPECT_GT(digits, INT64_C(99999999999999999));
    EXPECT_EQ(divisor, 1);
    ParseNumber(("1." + std::string(30, '1')).c_str(), &digits, &divisor);
    EXPECT_GT(divisor, 0);
    EXPECT_GT(digits, 0);
}
