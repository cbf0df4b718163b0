// Code maps, FIX32/rational arithmetic and unit conversions against values worked out by hand.
#include <gtest/gtest.h>

#include "twain/state.h"
#include "util/values.h"

namespace {

TW_FIX32 Fix(TW_INT16 whole, TW_UINT16 frac) { return TW_FIX32{whole, frac}; }

#define EXPECT_FIX(f, whole, frac)      \
    do {                                \
        EXPECT_EQ((f).Whole, (whole));  \
        EXPECT_EQ((f).Frac, (frac));    \
    } while (0)

TEST(CodeMaps, CompressionBothWays) {
    struct Row {
        TW_UINT16 twain;
        LONG driver;
        TW_UINT16 back;
    };
    // twain            driver  back from the driver
    const Row rows[] = {
        {TWCP_NONE, 1, TWCP_NONE},         {TWCP_PACKBITS, 50006, TWCP_PACKBITS},
        {TWCP_GROUP31D, 3, TWCP_GROUP32D}, {TWCP_GROUP31DEOL, 2, TWCP_GROUP31DEOL},
        {TWCP_GROUP32D, 3, TWCP_GROUP32D}, {TWCP_GROUP4, 4, TWCP_GROUP4},
        {TWCP_JPEG, 6, TWCP_JPEG},         {TWCP_LZW, 5, TWCP_LZW},
        {TWCP_JBIG, 34661, TWCP_JBIG},     {99, 1, TWCP_NONE},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(CompressionToDriver(r.twain), r.driver) << r.twain;
        EXPECT_EQ(DriverToCompression(r.driver), r.back) << r.driver;
    }
    EXPECT_EQ(DriverToCompression(0), TWCP_NONE);
    EXPECT_EQ(DriverToCompression(7), TWCP_NONE);
}

TEST(CodeMaps, JobControlBothWays) {
    const TW_UINT16 twain[] = {TWJC_NONE, TWJC_JSIC, TWJC_JSIS, TWJC_JSXC, TWJC_JSXS};
    const LONG driver[] = {0, 1, 3, 2, 4};
    for (int i = 0; i < 5; ++i) {
        LONG v = -1;
        EXPECT_EQ(JobControlToDriver(twain[i], &v), TWRC_SUCCESS);
        EXPECT_EQ(v, driver[i]);
        EXPECT_EQ(DriverToJobControl(driver[i]), twain[i]);
    }
    EXPECT_EQ(DriverToJobControl(5), TWJC_JSXC);
    EXPECT_EQ(DriverToJobControl(6), TWJC_JSXS);
    EXPECT_EQ(DriverToJobControl(7), TWJC_NONE);
    gState.ConditionCode = 0;
    LONG v = 42;
    EXPECT_EQ(JobControlToDriver(5, &v), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    EXPECT_EQ(v, 42);
}

TEST(Fix32, RatioToFix32) {
    TW_FIX32 f;
    RatioToFix32({1, 3}, &f);
    EXPECT_FIX(f, 0, 21845);  // 1 * (65536 / 3)
    RatioToFix32({7, 2}, &f);
    EXPECT_FIX(f, 3, 32768);
    RatioToFix32({300, 1}, &f);
    EXPECT_FIX(f, 300, 0);
    RatioToFix32({-7, 2}, &f);  // truncation toward zero: -3, remainder -1 * 32768
    EXPECT_EQ(f.Whole, -3);
    EXPECT_EQ(f.Frac, static_cast<TW_UINT16>(-32768));
    RatioToFix32({5, 0}, &f);  // a zero denominator must not trap
    EXPECT_FIX(f, 0, 0);
    RatioToFix32({LONG(0x80000000), -1}, &f);  // the one division that traps on x86
    EXPECT_EQ(f.Frac, 0);
}

TEST(Fix32, ValueToRatioAndLong) {
    DriverRatio r{};
    EXPECT_EQ(ValueToRatio(TWTY_UINT16, 300, &r), TWRC_SUCCESS);
    EXPECT_EQ(r.num, 300);
    EXPECT_EQ(r.den, 1);
    EXPECT_EQ(ValueToRatio(TWTY_FIX32, Fix32ToWord(Fix(2, 32768)), &r), TWRC_SUCCESS);  // 2.5
    EXPECT_EQ(r.num, 5);
    EXPECT_EQ(r.den, 2);
    EXPECT_EQ(ValueToRatio(TWTY_FIX32, Fix32ToWord(Fix(0, 19661)), &r), TWRC_SUCCESS);  // 0.3 -> 1/3
    EXPECT_EQ(r.num, 1);
    EXPECT_EQ(r.den, 3);
    EXPECT_EQ(ValueToRatio(TWTY_FIX32, Fix32ToWord(Fix(150, 0)), &r), TWRC_SUCCESS);
    EXPECT_EQ(r.num, 150);
    EXPECT_EQ(r.den, 1);
    gState.ConditionCode = 0;
    EXPECT_EQ(ValueToRatio(TWTY_STR32, 1, &r), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);

    LONG v = 0;
    EXPECT_EQ(ValueToLong(TWTY_INT32, static_cast<TW_UINT32>(-5), &v), TWRC_SUCCESS);
    EXPECT_EQ(v, -5);
    EXPECT_EQ(ValueToLong(TWTY_FIX32, Fix32ToWord(Fix(-2, 32768)), &v), TWRC_SUCCESS);
    EXPECT_EQ(v, -2);
    gState.ConditionCode = 0;
    EXPECT_EQ(ValueToLong(TWTY_FRAME, 0, &v), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
}

TEST(Fix32, ResolutionInCurrentUnits) {
    TW_FIX32 f{};
    gState.CurrentUnits = TWUN_INCHES;
    EXPECT_EQ(ResolutionToFix32({300, 1}, &f), TWRC_SUCCESS);
    EXPECT_FIX(f, 300, 0);
    gState.CurrentUnits = TWUN_CENTIMETERS;  // 30000/254: 118 rest 28; 28 * (65536/254 = 258)
    EXPECT_EQ(ResolutionToFix32({300, 1}, &f), TWRC_SUCCESS);
    EXPECT_FIX(f, 118, 7224);
    gState.CurrentUnits = TWUN_PIXELS;
    EXPECT_EQ(ResolutionToFix32({300, 1}, &f), TWRC_SUCCESS);
    EXPECT_FIX(f, 1, 0);
    gState.CurrentUnits = TWUN_POINTS;
    gState.ConditionCode = 0;
    EXPECT_EQ(ResolutionToFix32({300, 1}, &f), TWRC_FAILURE);
    EXPECT_EQ(gState.ConditionCode, TWCC_BADVALUE);
    gState.CurrentUnits = TWUN_INCHES;
}

TEST(Lengths, DotsToFix32) {
    TW_FIX32 f{};
    EXPECT_EQ(DotsToFix32(300, &f, TWUN_INCHES, 300, 1), 0);
    EXPECT_FIX(f, 1, 0);
    EXPECT_EQ(DotsToFix32(150, &f, TWUN_INCHES, 300, 1), 0);
    EXPECT_FIX(f, 0, 32768);
    EXPECT_EQ(DotsToFix32(7, &f, TWUN_PIXELS, 123, 7), 0);
    EXPECT_FIX(f, 7, 0);
    // 100 px at 254 dpi = 1 cm: (100*65536 + 254*2.54/2) / 254 * 2.54 = 65539.2...
    EXPECT_EQ(DotsToFix32(100, &f, TWUN_CENTIMETERS, 254, 1), 0);
    EXPECT_FIX(f, 1, 3);
    // 1 px at 300 dpi: (65536 + 150) / 300 = 218.95 -> 218
    EXPECT_EQ(DotsToFix32(1, &f, TWUN_INCHES, 300, 1), 0);
    EXPECT_FIX(f, 0, 218);
    f = Fix(9, 9);
    EXPECT_EQ(DotsToFix32(1, &f, TWUN_POINTS, 300, 1), 1);
    EXPECT_FIX(f, 9, 9);
    EXPECT_EQ(DotsToFix32(1, &f, TWUN_INCHES, 0, 1), 1) << "no length at a zero resolution";
    EXPECT_EQ(DotsToFix32(1, &f, TWUN_INCHES, 300, 0), 1);
}

TEST(Lengths, FramesBothWays) {
    TW_FRAME frame{};
    DotsToFrame(0, 0, 1700, 2200, &frame, TWUN_INCHES, 200, 1);
    EXPECT_FIX(frame.Left, 0, 0);
    EXPECT_FIX(frame.Right, 8, 32768);
    EXPECT_FIX(frame.Bottom, 11, 0);

    LONG l = -1, t = -1, w = -1, h = -1;
    TW_FRAME letter{Fix(0, 0), Fix(0, 0), Fix(8, 32768), Fix(11, 0)};
    EXPECT_EQ(FrameToDots(&l, &t, &w, &h, &letter, TWUN_INCHES, 200, 1), 0);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(w, 1700);
    EXPECT_EQ(h, 2200);

    TW_FRAME px{Fix(0, 32768), Fix(0, 0), Fix(10, 49152), Fix(20, 0)};
    EXPECT_EQ(FrameToDots(&l, &t, &w, &h, &px, TWUN_PIXELS, 300, 1), 0);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 20);

    // 2.54 cm at 100 dpi is 100 px; 1 cm is 39.37 -> 39
    TW_FRAME cm{Fix(1, 0), Fix(0, 0), Fix(3, 35390), Fix(2, 35390)};  // 1, 0, 3.54, 2.54 (just above)
    EXPECT_EQ(FrameToDots(&l, &t, &w, &h, &cm, TWUN_CENTIMETERS, 100, 1), 0);
    EXPECT_EQ(l, 39);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(w, 139 - 39);
    EXPECT_EQ(h, 100);

    // Each edge is held in single precision: 300 + 1/65536 is 300.0 as a float, so at 65536 dpi
    // the edge is 19660800, not the 19660801 a double would give.
    TW_FRAME fine{Fix(300, 1), Fix(0, 0), Fix(301, 0), Fix(1, 0)};
    EXPECT_EQ(FrameToDots(&l, &t, &w, &h, &fine, TWUN_INCHES, 65536, 1), 0);
    EXPECT_EQ(l, 19660800);
    EXPECT_EQ(w, 65536);

    l = 5;
    EXPECT_EQ(FrameToDots(&l, &t, &w, &h, &letter, TWUN_TWIPS, 200, 1), 1);
    EXPECT_EQ(l, 5) << "outputs untouched for an unknown unit";
    EXPECT_EQ(FrameToDots(&l, &t, &w, &h, nullptr, TWUN_INCHES, 200, 1), 1);
}

}  // namespace
