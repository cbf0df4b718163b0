// Brightness, contrast, automatic brightness, halftones and bit-depth reduction. Through the
// source over the virtual scanner: the tone scale against values worked out by hand, the tags
// written, the named application. Against a scripted driver in the test itself: the scale's
// arithmetic on choices the kit cannot describe (a step of 0, a minimum or maximum that lies,
// values near the 32-bit limits, an unreadable default).
#include "captest.h"

#include <climits>

#include "cap/tone.h"
#include "twain/driver.h"

namespace {

// The basic profile with extra [Scanner] keys.
std::string Profile(const std::string &keys) { return std::string(kBasicProfile) + keys; }

// FIX32 word of Whole and Frac as the scale stores them.
TW_UINT32 Word(TW_INT16 whole, TW_UINT16 frac) { return static_cast<TW_UINT16>(whole) | (TW_UINT32{frac} << 16); }

// The driver writes of one tag that follow the last settings bracket (the neutral point is read
// inside a bracket, which writes the tag and restores it).
std::vector<std::string> WritesAfterBracket(const std::vector<std::string> &calls, LONG tag) {
    int from = 0;
    for (int i = 0; i < static_cast<int>(calls.size()); ++i)
        if (calls[i].rfind("msg 0x345", 0) == 0) from = i + 1;
    const std::string prefix = "msg 0x321 tag " + std::to_string(tag) + " ";
    std::vector<std::string> writes;
    for (int i = from; i < static_cast<int>(calls.size()); ++i)
        if (calls[i].rfind(prefix, 0) == 0) writes.push_back(calls[i]);
    return writes;
}
std::string LongWrite(LONG tag, LONG value) {
    return "msg 0x321 tag " + std::to_string(tag) + " value " + std::to_string(value) + " = 0";
}

// ---- The tone scale over the kit

TEST(ToneScale, BrightnessRangeOf255Values) {
    OpenKit k;  // brightness 1..255/1, default 128, automatic offered (the range starts at -3)
    const CapAnswer a = k.Get(ICAP_BRIGHTNESS);
    ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
    EXPECT_EQ(a.conType, TWON_ENUMERATION);
    EXPECT_EQ(a.itemType, TWTY_FIX32);
    ASSERT_EQ(a.items.size(), 255u);
    EXPECT_EQ(a.current, 127u);
    EXPECT_EQ(a.deflt, 127u);
    // n = (v - 128) x 1000000 / 127 (or / 127 above), truncated; Whole = n / 1000, Frac = n % 1000 x 65.
    // index  v    n          Whole  Frac
    const struct {
        size_t index;
        TW_INT16 whole;
        TW_UINT16 frac;
    } rows[] = {
        {0, -1000, 0},        // v 1: -127000000 / 127
        {1, -992, 57411},     // v 2: -992125; -125 x 65 = -8125 as 16 bits
        {126, -7, 8726},      // v 127: -7874; -874 x 65 = -56810 as 16 bits
        {127, 0, 0},          // v 128: the neutral point
        {128, 7, 56810},      // v 129: 7874
        {191, 503, 60905},    // v 192: 503937
        {254, 1000, 0},       // v 255: 127000000 / 127
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.index);
        EXPECT_EQ(a.items[r.index], Word(r.whole, r.frac));
    }
    EXPECT_EQ(k.Get(ICAP_BRIGHTNESS, MSG_GETCURRENT).value(), Word(0, 0));
    const CapAnswer d = k.Get(ICAP_BRIGHTNESS, MSG_GETDEFAULT);
    EXPECT_EQ(d.itemType, TWTY_FIX32);
    EXPECT_EQ(d.value(), Word(0, 0));
}

TEST(ToneScale, ContrastListAndSteppedRange) {
    {
        OpenKit k(Profile("Contrast=1,2,3,4,5\nContrastDefault=3\n"));
        const CapAnswer a = k.Get(ICAP_CONTRAST);
        ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
        EXPECT_EQ(a.items, (std::vector<TW_UINT32>{Fix(-1000), Fix(-500), Fix(0), Fix(500), Fix(1000)}));
        EXPECT_EQ(a.deflt, 2u);
        EXPECT_EQ(a.current, 2u);
    }
    // Steps of 5 from 1, the maximum 255 off the steps, neutral 126: 25 values below, the neutral
    // one, 25 above; below n = (v - 126) x 1000000 / 125, above / (255 - 126).
    OpenKit k(Profile("Brightness=1..255/5\nBrightnessDefault=126\nAutoBrightness=no\n"));
    const CapAnswer a = k.Get(ICAP_BRIGHTNESS);
    ASSERT_EQ(a.items.size(), 51u);
    EXPECT_EQ(a.deflt, 25u);
    EXPECT_EQ(a.current, 25u);
    // index  v    n
    EXPECT_EQ(a.items[0], Word(-1000, 0));       // 1    -1000000
    EXPECT_EQ(a.items[1], Word(-960, 0));        // 6    -960000
    EXPECT_EQ(a.items[26], Word(38, 49335));     // 131  38759; 759 x 65
    EXPECT_EQ(a.items[50], Word(968, 64480));    // 251  968992; 992 x 65
}

TEST(ToneScale, ARangeWiderThanTheScaleStopsAt256) {
    // 1..1000 with neutral 500: 499 values below it alone; the scale keeps the first 256.
    OpenKit k(Profile("Brightness=1..1000/1\nBrightnessDefault=500\nAutoBrightness=no\n"));
    const CapAnswer a = k.Get(ICAP_BRIGHTNESS);
    ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
    ASSERT_EQ(a.items.size(), 256u);
    EXPECT_EQ(a.items[0], Word(-1000, 0));
    EXPECT_EQ(a.items[255], Word(-488, 2031));  // v 256: -244000000 / 499 = -488977; -977 x 65 as 16 bits
    EXPECT_EQ(a.current, 255u) << "500 is off the kept part: 500 / 1, limited to the last entry";
    EXPECT_EQ(a.deflt, 0u);
    EXPECT_EQ(k.Get(ICAP_BRIGHTNESS, MSG_GETCURRENT).value(), Word(-488, 2031));
}

TEST(ToneScale, AMaximumBelowOneGivesOneNeutralEntry) {
    OpenKit k(Profile("Contrast=-10..0/1\nContrastDefault=-4\n"));
    const CapAnswer a = k.Get(ICAP_CONTRAST);
    ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
    EXPECT_EQ(a.items, (std::vector<TW_UINT32>{Fix(0)}));
    EXPECT_EQ(a.current, 0u);
    EXPECT_EQ(a.deflt, 0u);
}

TEST(ToneScale, SetSnapsToTheScaleByWholePart) {
    OpenKit k;
    // requested   written (-1: nothing)
    const struct {
        double want;
        LONG written;
    } rows[] = {
        {1000.0, 255},   // the last entry
        {0.0, 128},
        {-1000.0, 1},
        {7.0, 129},      // 7.874
        {7.5, 129},      // whole part 7
        {8.0, 130},      // no 8: the next one up, 15.748
        {-7.0, 127},     // -7.874 is stored as Whole -7
        {-7.5, 127},     // Whole -8: none, the next one up
        {-1500.0, 1},    // below the scale: its first entry
        {999.0, 255},    // 992.125, then 1000
        {500.0, 192},    // 496.062, then 503.937
        {1500.0, -1},    // above the scale: taken without effect
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.want);
        k.kit.ResetCalls();
        const CapAnswer a = k.Set(ICAP_BRIGHTNESS, TWTY_FIX32, Fix(r.want));
        EXPECT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
        const std::vector<std::string> writes = WritesAfterBracket(k.kit.Calls(), kTagBrightness);
        const std::vector<std::string> expected =
            r.written < 0 ? std::vector<std::string>{} : std::vector<std::string>{LongWrite(kTagBrightness, r.written)};
        EXPECT_EQ(writes, expected);
    }
    // 1500.0 came after 500.0: the current value is still 503.937.
    EXPECT_EQ(k.Get(ICAP_BRIGHTNESS, MSG_GETCURRENT).value(), Word(503, 60905));

    // Contrast from its own list.
    k.kit.ResetCalls();
    EXPECT_EQ(k.Set(ICAP_CONTRAST, TWTY_FIX32, Fix(-1000)).rc, TWRC_SUCCESS);
    EXPECT_EQ(FindCall(k.kit.Calls(), LongWrite(kTagContrast, 1)), static_cast<int>(k.kit.Calls().size()) - 1);
    EXPECT_EQ(k.Get(ICAP_CONTRAST).current, 0u);
}

TEST(ToneScale, SetRefusesOtherContainersAndTypes) {
    OpenKit k;
    k.kit.ResetCalls();
    // container                                   condition code
    EXPECT_EQ(k.Set(ICAP_BRIGHTNESS, TWTY_INT32, 1000).cc, TWCC_BADVALUE);
    EXPECT_EQ(k.Set(ICAP_CONTRAST, TWTY_UINT16, 5).cc, TWCC_BADVALUE);
    const CapAnswer e = Send(k.kit, k.app, ICAP_BRIGHTNESS, TWON_ENUMERATION, EnumBytes(TWTY_FIX32, {Fix(0)}, 0));
    EXPECT_EQ(e.rc, TWRC_FAILURE);
    EXPECT_EQ(e.cc, TWCC_BADVALUE);
    EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x321"), -1) << "nothing written";
}

TEST(ToneScale, ResetWritesTheNeutralPoint) {
    OpenKit k;
    ASSERT_EQ(k.Set(ICAP_BRIGHTNESS, TWTY_FIX32, Fix(1000)).rc, TWRC_SUCCESS);
    ASSERT_EQ(k.Set(ICAP_CONTRAST, TWTY_FIX32, Fix(-1000)).rc, TWRC_SUCCESS);
    for (TW_UINT16 cap : {ICAP_BRIGHTNESS, ICAP_CONTRAST}) {
        SCOPED_TRACE(cap);
        const LONG tag = cap == ICAP_CONTRAST ? kTagContrast : kTagBrightness;
        k.kit.ResetCalls();
        const CapAnswer r = k.Reset(cap);
        ASSERT_EQ(r.rc, TWRC_SUCCESS) << r.cc;
        EXPECT_EQ(r.itemType, TWTY_FIX32);
        EXPECT_EQ(r.value(), Fix(0));
        EXPECT_EQ(WritesAfterBracket(k.kit.Calls(), tag), (std::vector<std::string>{LongWrite(tag, 128)}));
        EXPECT_EQ(k.Get(cap).current, 127u);
    }
}

// ---- Automatic brightness

TEST(AutoBright, OfferedByTheBrightnessRange) {
    OpenKit k;
    EXPECT_EQ(k.Get(ICAP_AUTOBRIGHT).value(), 0u);
    EXPECT_EQ(k.Get(ICAP_AUTOBRIGHT, MSG_GETDEFAULT).value(), 0u);
    // value   written   automatic after
    const struct {
        TW_UINT32 value;
        LONG written;
        TW_UINT32 after;
    } rows[] = {
        {1, -3, 1},
        {2, -1, 0},  // only 1 turns it on
        {1, -3, 1},
        {0, -1, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.value);
        k.kit.ResetCalls();
        EXPECT_EQ(k.Set(ICAP_AUTOBRIGHT, TWTY_BOOL, r.value).rc, TWRC_SUCCESS);
        EXPECT_NE(FindCall(k.kit.Calls(), LongWrite(kTagBrightness, r.written)), -1);
        const CapAnswer now = k.Get(ICAP_AUTOBRIGHT, MSG_GETCURRENT);
        EXPECT_EQ(now.itemType, TWTY_BOOL);
        EXPECT_EQ(now.value(), r.after);
    }
    // While automatic, the brightness is off the scale: its index is 128 / 1.
    ASSERT_EQ(k.Set(ICAP_AUTOBRIGHT, TWTY_BOOL, 1).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(ICAP_BRIGHTNESS).current, 128u);
    k.kit.ResetCalls();
    const CapAnswer reset = k.Reset(ICAP_AUTOBRIGHT);
    ASSERT_EQ(reset.rc, TWRC_SUCCESS) << reset.cc;
    EXPECT_EQ(reset.itemType, TWTY_BOOL);
    EXPECT_EQ(reset.value(), 0u);
    EXPECT_NE(FindCall(k.kit.Calls(), LongWrite(kTagBrightness, -1)), -1);
    EXPECT_EQ(k.Get(ICAP_AUTOBRIGHT).value(), 0u);
    EXPECT_EQ(k.Get(ICAP_BRIGHTNESS).current, 127u) << "-1 is the driver's normal 128";
}

TEST(AutoBright, UnsupportedWithoutTheAutomaticValue) {
    OpenKit k(Profile("AutoBrightness=no\n"));
    k.kit.ResetCalls();
    // message     condition code
    EXPECT_EQ(k.Get(ICAP_AUTOBRIGHT).cc, TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(k.Get(ICAP_AUTOBRIGHT, MSG_GETCURRENT).cc, TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(k.Get(ICAP_AUTOBRIGHT, MSG_GETDEFAULT).cc, TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(k.Set(ICAP_AUTOBRIGHT, TWTY_BOOL, 1).cc, TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(k.Reset(ICAP_AUTOBRIGHT).cc, TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x321 tag 1282"), -1);
}

TEST(AutoBright, HiddenFromTeleform) {
    // product family     hidden (the first 7 characters of "Teleform", any case)
    const struct {
        const char *family;
        bool hidden;
    } rows[] = {
        {"TELEFORM", true},
        {"teleform Desktop", true},
        {"Telefor", true},
        {"Telefox", false},
        {"Tele", false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.family);
        KitSource kit;
        TW_IDENTITY app = AppId(43, 1, 9, "Test", r.family, "Forms");
        ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
        for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET}) {
            SCOPED_TRACE(msg);
            const CapAnswer a = Ask(kit, app, msg, ICAP_AUTOBRIGHT);
            EXPECT_EQ(a.rc, r.hidden ? TWRC_FAILURE : TWRC_SUCCESS);
            if (r.hidden) {
                EXPECT_EQ(a.cc, TWCC_CAPUNSUPPORTED);
            }
        }
        kit.Close(app);
    }
}

// ---- Halftones

TEST(Halftones, NamesCurrentAndDefault) {
    OpenKit k;  // None;Dither 8x8;Error Diffusion
    const CapAnswer a = k.Get(ICAP_HALFTONES);
    ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
    EXPECT_EQ(a.itemType, TWTY_STR32);
    EXPECT_EQ(a.names, (std::vector<std::string>{"None", "Dither 8x8", "Error Diffusion"}));
    EXPECT_EQ(a.current, 0u);
    EXPECT_EQ(a.deflt, 0u);
    ASSERT_EQ(Send(k.kit, k.app, ICAP_HALFTONES, TWON_ONEVALUE, Str32Bytes("Dither 8x8")).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(ICAP_HALFTONES).current, 1u);
    EXPECT_EQ(k.Get(ICAP_HALFTONES, MSG_GETCURRENT).names, (std::vector<std::string>{"Dither 8x8"}));
    EXPECT_EQ(k.Get(ICAP_HALFTONES, MSG_GETDEFAULT).names, (std::vector<std::string>{"None"}));
    // A name the driver does not offer is refused, not passed off as set.
    const CapAnswer unknown = Send(k.kit, k.app, ICAP_HALFTONES, TWON_ONEVALUE, Str32Bytes("Stochastic"));
    EXPECT_EQ(unknown.rc, TWRC_FAILURE);
    EXPECT_EQ(unknown.cc, TWCC_BADVALUE);
    EXPECT_EQ(Send(k.kit, k.app, ICAP_HALFTONES, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {1}, 0)).cc, TWCC_BADVALUE);
    k.kit.ResetCalls();
    const CapAnswer reset = k.Reset(ICAP_HALFTONES);
    ASSERT_EQ(reset.rc, TWRC_SUCCESS) << reset.cc;
    EXPECT_EQ(reset.names, (std::vector<std::string>{"None"}));
    EXPECT_NE(FindCall(k.kit.Calls(), "msg 0x340 tag 1280"), -1);
}

TEST(Halftones, LongNamesAreTerminatedBothWays) {
    const std::string name40 = "Halftone with a name of forty letters!!!";  // 40 characters
    const std::string name33 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456";         // 33 characters
    ASSERT_EQ(name40.size(), 40u);
    ASSERT_EQ(name33.size(), 33u);
    OpenKit k(Profile("Halftones=" + name40 + ";None;" + name33 + "\n"));
    // Out: at most 33 characters and the zero in the 34th byte (the parser keeps that byte).
    const CapAnswer a = k.Get(ICAP_HALFTONES);
    ASSERT_EQ(a.names.size(), 3u);
    EXPECT_EQ(a.names[0], name40.substr(0, 33));
    EXPECT_EQ(a.items[0], 0u) << "the last byte of the item";
    EXPECT_EQ(a.current, 0u);
    const CapAnswer current = k.Get(ICAP_HALFTONES, MSG_GETCURRENT);
    EXPECT_EQ(current.names, (std::vector<std::string>{name40.substr(0, 33)}));
    EXPECT_EQ(current.value(), 0u);
    // In: 34 letters and no zero; the driver gets the first 33, terminated.
    std::vector<BYTE> bytes = Str32Bytes(name33 + "7");
    ASSERT_EQ(bytes.size(), 36u);
    ASSERT_NE(bytes.back(), 0);
    k.kit.ResetCalls();
    EXPECT_EQ(Send(k.kit, k.app, ICAP_HALFTONES, TWON_ONEVALUE, bytes).rc, TWRC_SUCCESS);
    EXPECT_NE(FindCall(k.kit.Calls(), "msg 0x320 tag 1280 value \"" + name33 + "\" = 0"), -1);
    EXPECT_EQ(k.Get(ICAP_HALFTONES).current, 2u);
}

// ---- Bit-depth reduction

TEST(BitDepthReduction, ListFollowsTheHalftoneNames) {
    // halftones                                  list        (THRESHOLD 0, HALFTONE 1, DIFFUSION 3)
    const struct {
        const char *names;
        std::vector<TW_UINT32> items;
    } rows[] = {
        {"None;Dither 8x8;Error Diffusion", {0, 3, 1}},
        {"None;Diffusion Fine;Coarse", {0, 3, 1}},
        {"None;User Download;Error Diffusion", {0, 3, 1}},  // 3 names > 2 items
        {"None;Dither", {0, 1}},
        {"None;Error Diffusion", {0, 3}},  // 2 names, 2 items
        {"None", {0}},
        {"None;diffusion", {0, 1}},  // the prefixes are compared as written
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.names);
        OpenKit k(Profile(std::string("Halftones=") + r.names + "\n"));
        const CapAnswer a = k.Get(ICAP_BITDEPTHREDUCTION);
        ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
        EXPECT_EQ(a.itemType, TWTY_UINT16);
        EXPECT_EQ(a.items, r.items);
        EXPECT_EQ(a.current, 0u);
        EXPECT_EQ(a.deflt, 0u);
        EXPECT_EQ(k.Get(ICAP_BITDEPTHREDUCTION, MSG_GETDEFAULT).value(), TW_UINT32{TWBR_THRESHOLD});
    }
}

TEST(BitDepthReduction, CurrentFromTheHalftoneName) {
    OpenKit k(Profile("Halftones=None;User Download;Error Diffusion;Diffusion x;Diffus;Error Dif;Dither 8x8;diffuse\n"));
    // current halftone     reduction
    const struct {
        const char *name;
        TW_UINT16 reduction;
    } rows[] = {
        {"None", TWBR_THRESHOLD},
        {"User Download", TWBR_THRESHOLD},
        {"Error Diffusion", TWBR_DIFFUSION},
        {"Diffusion x", TWBR_DIFFUSION},
        {"Diffus", TWBR_DIFFUSION},
        {"Error Dif", TWBR_HALFTONE},  // one letter short of "Error Diff"
        {"Dither 8x8", TWBR_HALFTONE},
        {"diffuse", TWBR_HALFTONE},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_EQ(Send(k.kit, k.app, ICAP_HALFTONES, TWON_ONEVALUE, Str32Bytes(r.name)).rc, TWRC_SUCCESS);
        EXPECT_EQ(k.Get(ICAP_BITDEPTHREDUCTION, MSG_GETCURRENT).value(), TW_UINT32{r.reduction});
        const CapAnswer list = k.Get(ICAP_BITDEPTHREDUCTION);  // [0, 3, 1]
        EXPECT_EQ(list.items[list.current], TW_UINT32{r.reduction});
    }
}

TEST(BitDepthReduction, SetPicksAHalftone) {
    // halftones                              value  condition code   written
    const struct {
        const char *names;
        TW_UINT16 value;
        TW_UINT16 cc;
        const char *written;  // null: nothing
    } rows[] = {
        {"None;Dither 8x8;Error Diffusion", 0, TWCC_SUCCESS, "None"},
        {"None;Dither 8x8;Error Diffusion", 1, TWCC_SUCCESS, "Dither 8x8"},
        {"None;Dither 8x8;Error Diffusion", 3, TWCC_SUCCESS, "Error Diffusion"},
        {"None;Dither 8x8;Error Diffusion", 2, TWCC_BADVALUE, nullptr},
        {"None;Dither 8x8;Error Diffusion", 4, TWCC_SUCCESS, nullptr},
        {"None;Dither 8x8;Error Diffusion", 7, TWCC_SUCCESS, nullptr},
        {"None;Diffusion Fine;Coarse", 3, TWCC_SUCCESS, "Diffusion Fine"},  // through "Diff"
        {"None;Coarse;Differ", 3, TWCC_SUCCESS, "Differ"},                    // "Diff" alone
        {"None;User Download;Error Diffusion;Diffusion;Spiral", 1, TWCC_SUCCESS, "Spiral"},
        {"None;User Download;Error Diffusion", 1, TWCC_BADVALUE, nullptr},
        {"Dither 8x8;User Download", 1, TWCC_BADVALUE, nullptr},  // the first name is never picked
        {"None;Dither", 3, TWCC_BADVALUE, nullptr},
        {"Plain;Dither", 0, TWCC_BADVALUE, "None"},  // no "None": the driver refuses it
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.names) + " / " + std::to_string(r.value));
        OpenKit k(Profile(std::string("Halftones=") + r.names + "\n"));
        k.kit.ResetCalls();
        const CapAnswer a = k.Set(ICAP_BITDEPTHREDUCTION, TWTY_UINT16, r.value);
        EXPECT_EQ(a.rc, r.cc == TWCC_SUCCESS ? TWRC_SUCCESS : TWRC_FAILURE);
        if (r.cc != TWCC_SUCCESS) {
            EXPECT_EQ(a.cc, r.cc);
        }
        const std::vector<std::string> calls = k.kit.Calls();
        const std::string write = r.written ? std::string("msg 0x320 tag 1280 value \"") + r.written + "\"" : "";
        EXPECT_EQ(FindCall(calls, "msg 0x320 tag 1280") != -1, r.written != nullptr);
        if (r.written) {
            EXPECT_NE(FindCall(calls, write), -1);
        }
    }
}

TEST(BitDepthReduction, ContainersAndReset) {
    OpenKit k;
    ASSERT_EQ(k.Set(ICAP_BITDEPTHREDUCTION, TWTY_UINT16, TWBR_DIFFUSION).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(ICAP_BITDEPTHREDUCTION, MSG_GETCURRENT).value(), TW_UINT32{TWBR_DIFFUSION});
    EXPECT_EQ(k.Get(ICAP_BITDEPTHREDUCTION).current, 1u);
    // container                                  condition code
    EXPECT_EQ(k.Set(ICAP_BITDEPTHREDUCTION, TWTY_UINT32, TWBR_HALFTONE).cc, TWCC_BADVALUE);
    EXPECT_EQ(Send(k.kit, k.app, ICAP_BITDEPTHREDUCTION, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {1}, 0)).cc,
              TWCC_BADVALUE);
    EXPECT_EQ(k.Get(ICAP_BITDEPTHREDUCTION, MSG_GETCURRENT).value(), TW_UINT32{TWBR_DIFFUSION}) << "unchanged";
    k.kit.ResetCalls();
    const CapAnswer reset = k.Reset(ICAP_BITDEPTHREDUCTION);
    ASSERT_EQ(reset.rc, TWRC_SUCCESS) << reset.cc;
    EXPECT_EQ(reset.itemType, TWTY_UINT16);
    EXPECT_EQ(reset.value(), TW_UINT32{TWBR_THRESHOLD});
    EXPECT_NE(FindCall(k.kit.Calls(), "msg 0x340 tag 1280"), -1);
    EXPECT_EQ(k.Get(ICAP_BITDEPTHREDUCTION, MSG_GETCURRENT).value(), TW_UINT32{TWBR_THRESHOLD});
}

// ---- The scale's arithmetic against a scripted driver

// One long tag with its choices, as a driver that may lie about its own minimum and maximum.
struct FakeTag {
    LONG flags = kChoiceRange;
    bool noChoices = false;  // every choice message fails, as for a tag without choices
    LONG count = 0;
    LONG mn = 1, mx = 255, st = 1;  // indexes -1, -2, -3
    std::vector<LONG> list;         // indexes 0 ... for a list
    LONG current = 0, deflt = 0;
    bool defaultFails = false;
    LONG normal = 0;  // what a write of -1 selects
    LONG saved = 0;
    int depth = 0;
};
FakeTag fake;

LONG WINAPI FakeEntry(DWORD, LONG message, LONG tag, LONG value) {
    const LONG index = static_cast<SHORT>(tag >> 16);
    auto *out = reinterpret_cast<LONG *>(value);
    switch (message) {
    case kMsgSnapshot: fake.saved = fake.current, ++fake.depth; return 0;
    case kMsgRestoreSnapshot: fake.current = fake.saved, --fake.depth; return 0;
    case kMsgChoiceFlags:
        if (fake.noChoices) return -4508;
        *out = fake.flags;
        return 0;
    case kMsgChoiceCount:
        if (fake.noChoices) return -4508;
        *out = fake.count;
        return 0;
    case kMsgChoiceLong:
        if (fake.noChoices) return -4508;
        if (index == kChoiceMin) *out = fake.mn;
        else if (index == kChoiceMax) *out = fake.mx;
        else if (index == kChoiceStep) *out = fake.st;
        else if (index >= 0 && index < static_cast<LONG>(fake.list.size())) *out = fake.list[index];
        else return -4506;
        return 0;
    case kMsgGetLong: *out = fake.current; return 0;
    case kMsgSetLong: fake.current = value == -1 ? fake.normal : value; return 0;
    case kMsgDefaultLong:
        if (fake.defaultFails) return -4502;
        *out = fake.deflt;
        return 0;
    default: return -4542;
    }
}

class ScaleArithmetic : public ::testing::Test {
protected:
    void SetUp() override {
        fake = FakeTag{};
        gDriver = JEXDRIVER{FakeEntry, 0, 1, 0};
    }
    void TearDown() override { gDriver = JEXDRIVER{}; }
};

std::vector<TW_UINT32> Values(const ToneScale &s) {
    std::vector<TW_UINT32> v;
    for (int i = 0; i < s.count; ++i) v.push_back(Fix32ToWord(s.entries[i].value));
    return v;
}
std::vector<LONG> DriverValues(const ToneScale &s) {
    std::vector<LONG> v;
    for (int i = 0; i < s.count; ++i) v.push_back(s.entries[i].driverValue);
    return v;
}

TEST_F(ScaleArithmetic, NeutralPoint) {
    // tag          choices              default  normal  neutral point
    const struct {
        LONG tag;
        LONG flags, count, mn, st;
        std::vector<LONG> list;
        LONG deflt, normal, expected;
    } rows[] = {
        {kTagBrightness, kChoiceRange, 259, -3, 1, {}, -3, 0, 128},  // automatic by default: 1 + (259 - 3 - 1) / 2
        {kTagBrightness, kChoiceRange, 255, 1, 1, {}, -1, 100, 100},  // "normal" as the driver applies it
        {kTagBrightness, kChoiceRange, 255, 1, 1, {}, -1, 0, 128},    // 1 + 255 / 2
        {kTagBrightness, kChoiceRange, 128, 1, 2, {}, 0, 0, 129},     // 1 + 128 x 2 / 2
        {kTagContrast, kChoiceRange, 255, 1, 1, {}, 0, 0, 128},       // 255 / 2 + 1
        {kTagContrast, kChoiceRange, 255, 1, 1, {}, -2, 0, -2},       // only a default of 0 moves
        {kTagContrast, kChoiceList, 4, 10, 0, {10, 20, 30, 40}, 0, 0, 30},  // the choice at 4 / 2
        {kTagContrast, kChoiceList, 4, 10, 0, {10, 20, 30, 40}, -5, 0, 30},
        {kTagContrast, kChoiceList, 1, 7, 0, {7}, 0, 0, 0},           // one choice has no middle
        {kTagContrast, kChoiceRange, 255, 1, 1, {}, 64, 0, 64},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.expected);
        fake = FakeTag{};
        fake.flags = r.flags;
        fake.count = r.count;
        fake.mn = r.mn;
        fake.st = r.st;
        fake.list = r.list;
        fake.deflt = r.deflt;
        fake.normal = r.normal;
        fake.current = 77;
        LONG d = 12345;
        EXPECT_EQ(ToneDefault(r.tag, &d), TWCC_SUCCESS);
        EXPECT_EQ(d, r.expected);
        EXPECT_EQ(fake.depth, 0) << "the bracket is closed";
        EXPECT_EQ(fake.current, 77) << "the driver's value is back";
    }
    fake = FakeTag{};
    fake.defaultFails = true;
    LONG d = 12345;
    EXPECT_EQ(ToneDefault(kTagContrast, &d), TWCC_BADVALUE);
}

TEST_F(ScaleArithmetic, AStepOfZeroIsTakenAsOne) {
    fake.count = 10;
    fake.mn = 1;
    fake.mx = 10;
    fake.st = 0;
    fake.deflt = 5;
    fake.current = 7;
    ToneScale s;
    BuildToneScale(kTagContrast, &s);
    // below (v - 5) x 1000000 / 4, above / 5
    EXPECT_EQ(Values(s), (std::vector<TW_UINT32>{Fix(-1000), Fix(-750), Fix(-500), Fix(-250), Fix(0), Word(200, 0),
                                                 Word(400, 0), Word(600, 0), Word(800, 0), Fix(1000)}));
    EXPECT_EQ(DriverValues(s), (std::vector<LONG>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(s.deflt, 4);
    EXPECT_EQ(s.current, 6);
    fake.current = 99;  // off the scale: 5 / 1
    BuildToneScale(kTagContrast, &s);
    EXPECT_EQ(s.current, 5);
}

TEST_F(ScaleArithmetic, ValuesNearThe32BitLimits) {
    // range                               default       driver values                       scale
    const struct {
        LONG mn, mx, st, deflt;
        std::vector<LONG> driverValues;
        std::vector<TW_UINT32> values;
    } rows[] = {
        // 1000000000 x 1000000 does not fit 32 bits.
        {1, 2000000001, 1000000000, 1000000001, {1, 1000000001, 2000000001}, {Fix(-1000), Fix(0), Fix(1000)}},
        // The step past the neutral point would wrap a 32-bit value around.
        {1, LONG_MAX, 0x40000000, 0x40000001, {1, 0x40000001}, {Fix(-1000), Fix(0)}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.mx);
        fake = FakeTag{};
        fake.count = 0xFFFF;
        fake.mn = r.mn;
        fake.mx = r.mx;
        fake.st = r.st;
        fake.deflt = r.deflt;
        ToneScale s;
        BuildToneScale(kTagContrast, &s);
        EXPECT_EQ(DriverValues(s), r.driverValues);
        EXPECT_EQ(Values(s), r.values);
    }
}

TEST_F(ScaleArithmetic, ListsWithLyingBoundsOrTooManyChoices) {
    // list        min  max  default   scale                           default index
    const struct {
        std::vector<LONG> list;
        LONG mn, mx, deflt;
        std::vector<TW_UINT32> values;
        int deflIndex;
    } rows[] = {
        {{2, 5, 9}, 5, 5, 5, {Fix(0), Fix(0), Fix(0)}, 1},           // both spans 0: entries at 0
        {{1, 5, 9}, 4, 7, 5, {Fix(-1000), Fix(0), Fix(1000)}, 1},    // -4000000 and 2000000 kept on the scale
        {{-3, 0, 2, 4}, 1, 4, 2, {Fix(0), Fix(1000)}, 0},            // values below 1 are not choices
        {{-1, 0}, 1, 3, 3, {}, 0},                                   // nothing positive: no scale
        {{1, 2000000000}, 1, 2000000000, 1000000000, {Fix(-1000), Fix(1000)}, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.deflt);
        fake = FakeTag{};
        fake.flags = kChoiceList;
        fake.list = r.list;
        fake.count = static_cast<LONG>(r.list.size());
        fake.mn = r.mn;
        fake.mx = r.mx;
        fake.deflt = r.deflt;
        ToneScale s;
        BuildToneScale(kTagContrast, &s);
        EXPECT_EQ(Values(s), r.values);
        EXPECT_EQ(s.deflt, r.deflIndex);
    }
    // 300 choices: the first 256 are kept; the current one off the kept part falls back on
    // 300 / 2, the neutral one is still among them.
    fake = FakeTag{};
    fake.flags = kChoiceList;
    for (LONG v = 1; v <= 300; ++v) fake.list.push_back(v);
    fake.count = 300;
    fake.mx = 300;
    fake.deflt = 150;
    fake.current = 280;
    ToneScale s;
    BuildToneScale(kTagContrast, &s);
    EXPECT_EQ(s.count, 256);
    EXPECT_EQ(s.deflt, 149);
    EXPECT_EQ(s.current, 150);
    EXPECT_EQ(s.entries[255].driverValue, 256);
}

TEST_F(ScaleArithmetic, NoScaleWithoutChoicesOrNeutralPoint) {
    ToneScale s;
    fake.count = 255;
    fake.deflt = 128;
    BuildToneScale(kTagContrast, &s);
    EXPECT_EQ(s.count, 255) << "the usable case first";
    fake.defaultFails = true;
    BuildToneScale(kTagContrast, &s);
    EXPECT_EQ(s.count, 0) << "a contrast default that cannot be read";
    fake.defaultFails = false;
    fake.noChoices = true;
    BuildToneScale(kTagContrast, &s);
    EXPECT_EQ(s.count, 0) << "a tag without choices";
    fake.noChoices = false;
    fake.flags = 0;
    BuildToneScale(kTagContrast, &s);
    EXPECT_EQ(s.count, 0) << "neither a range nor a list";
}

}  // namespace
