// Pixel type and bit depth over virtual scanners with different modes: what each type lists,
// setting types and depths (the tags written), narrowing the modes with enumerations (the
// disabled-modes tag 5371 written), containers refused before the driver hears of them, resets.
#include "captest.h"

namespace {

const std::string kAll = std::string(kBasicProfile) + "GrayDepths=4,8\nColorDepths=8\nPaletteDepths=4,8\n";
const std::string kWide = std::string(kBasicProfile) + "GrayDepths=2,4,8\nColorDepths=1,2,4,8\nPaletteDepths=4,8\n";
const std::string kGrayRgb = std::string(kBasicProfile) + "GrayDepths=4,8\nColorDepths=8\nPaletteDepths=\n";
const std::string kGray8 = std::string(kBasicProfile) + "GrayDepths=8\nColorDepths=\nPaletteDepths=\n";
// Bits per sample as a range 1..8/1 of which the scanner produces 1, 4 and 8.
const std::string kShapes = SampleProfile("choice-shapes.ini");
const std::string kNoBitonal = std::string(kBasicProfile) + "Bitonal=no\nGrayDepths=8\nColorDepths=8\nPaletteDepths=\n";

// The disabled modes the source writes at open: all but black-and-white, gray 4 and 8, RGB of
// 8 bits per sample and palette 4 and 8 (bits 0, 3, 7, 23, 29, 30, 31 clear).
constexpr TW_UINT32 kOpenLimit = 0x1F7FFF76;

using Items = std::vector<TW_UINT32>;

// The source opened for one application; with a stored "INIModeLimit" of 0 every mode the
// profile has is enabled at open.
struct Modes {
    explicit Modes(const std::string &profile, bool everyMode = false) : kit(profile) {
        if (everyMode) kit.PutSetting("JEX Virtual Scanner", "INIModeLimit", "0");
        kit.ResetCalls();
        EXPECT_EQ(kit.Open(app), TWRC_SUCCESS);
    }
    ~Modes() {
        kit.Close(app);
        EXPECT_TRUE(kit.NoDriversLeft());
    }
    CapAnswer Get(TW_UINT16 code, TW_UINT16 msg = MSG_GET) { return Ask(kit, app, msg, code); }
    CapAnswer Set(TW_UINT16 code, TW_UINT32 value, TW_UINT16 type = TWTY_UINT16) { return SetOne(kit, app, code, type, value); }
    CapAnswer SetList(TW_UINT16 code, const Items &items, TW_UINT32 current, TW_UINT16 type = TWTY_UINT16) {
        return Send(kit, app, code, TWON_ENUMERATION, EnumBytes(type, items, current));
    }
    CapAnswer Reset(TW_UINT16 code) { return Ask(kit, app, MSG_RESET, code); }
    KitSource kit;
    TW_IDENTITY app = AppId(40);
};

std::string Written(LONG tag, TW_UINT32 value) {
    return "msg 0x321 tag " + std::to_string(tag) + " value " + std::to_string(static_cast<LONG>(value)) + " ";
}

int CountTagCalls(const std::vector<std::string> &calls, const std::string &tag, size_t upTo) {
    int n = 0;
    for (size_t i = 0; i < calls.size() && i < upTo; ++i)
        if (calls[i].rfind("msg 0x", 0) == 0 && calls[i].find(" tag " + tag + " ") != std::string::npos) ++n;
    return n;
}

TEST(PixelType, OfferedTypesAndEachSet) {
    // profile    offered types
    const struct {
        const std::string *profile;
        Items offered;
    } rows[] = {
        {&kAll, {TWPT_BW, TWPT_GRAY, TWPT_RGB, TWPT_PALETTE}},
        {&kGrayRgb, {TWPT_BW, TWPT_GRAY, TWPT_RGB}},
        {&kGray8, {TWPT_BW, TWPT_GRAY}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(*r.profile);
        Modes k(*r.profile);
        const CapAnswer a = k.Get(ICAP_PIXELTYPE);
        ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
        EXPECT_EQ(a.conType, TWON_ENUMERATION);
        EXPECT_EQ(a.itemType, TWTY_UINT16);
        EXPECT_EQ(a.items, r.offered);
        EXPECT_EQ(a.deflt, 0u);
        EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETDEFAULT).value(), TW_UINT32{TWPT_BW});
        for (size_t i = 0; i < r.offered.size(); ++i) {
            const CapAnswer set = k.Set(ICAP_PIXELTYPE, r.offered[i]);
            EXPECT_EQ(set.rc, TWRC_SUCCESS) << r.offered[i] << " cc " << set.cc;
            EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), r.offered[i]);
            EXPECT_EQ(k.Get(ICAP_PIXELTYPE).current, i) << "the current index follows";
        }
        for (TW_UINT32 t : {TW_UINT32{TWPT_RGB}, TW_UINT32{TWPT_PALETTE}, TW_UINT32{6}})
            if (std::find(r.offered.begin(), r.offered.end(), t) == r.offered.end()) {
                EXPECT_EQ(k.Set(ICAP_PIXELTYPE, t).cc, TWCC_BADVALUE) << t;
            }
    }
}

TEST(PixelType, ATypeTheDriverRefusesComesBackAsAWholeMode) {
    Modes k(kNoBitonal);
    ASSERT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), TW_UINT32{TWPT_GRAY});
    k.kit.ResetCalls();
    EXPECT_EQ(k.Set(ICAP_PIXELTYPE, TWPT_BW).cc, TWCC_BADVALUE);
    // Black-and-white asked for, gray found: gray is written again as 1 sample of 8 bits.
    ExpectInOrder(k.kit.Calls(), {Written(277, 1), Written(258, 1), Written(262, 0), Written(277, 1), Written(258, 8),
                                  Written(262, 0)});
    EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), TW_UINT32{TWPT_GRAY});
}

TEST(BitDepth, AnswersByTypeAndScanner) {
    // profile     every  type          GET shape         items          cur def  GETCURRENT
    const struct {
        const std::string *profile;
        bool everyMode;
        TW_UINT16 type;
        TW_UINT16 shape;
        Items items;
        TW_UINT32 current, deflt, now;
    } rows[] = {
        {&kAll, false, TWPT_BW, TWON_ONEVALUE, {1}, 0, 0, 1},
        {&kAll, false, TWPT_GRAY, TWON_ENUMERATION, {4, 8}, 1, 1, 8},
        {&kAll, false, TWPT_RGB, TWON_ONEVALUE, {24}, 0, 0, 24},
        {&kAll, false, TWPT_PALETTE, TWON_ENUMERATION, {4, 8}, 1, 1, 8},
        {&kWide, true, TWPT_GRAY, TWON_ENUMERATION, {2, 4, 8}, 2, 2, 8},
        {&kWide, true, TWPT_RGB, TWON_ENUMERATION, {3, 6, 12, 24}, 3, 3, 24},
        {&kWide, true, TWPT_PALETTE, TWON_ENUMERATION, {4, 8}, 1, 1, 8},
        {&kGray8, false, TWPT_GRAY, TWON_ONEVALUE, {8}, 0, 0, 8},      // [1, 8]: the second
        {&kNoBitonal, false, TWPT_GRAY, TWON_ONEVALUE, {8}, 0, 0, 8},  // [8]: the only one
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(*r.profile + " type " + std::to_string(r.type));
        Modes k(*r.profile, r.everyMode);
        ASSERT_EQ(k.Set(ICAP_PIXELTYPE, r.type).rc, TWRC_SUCCESS);
        k.kit.ResetCalls();
        const CapAnswer a = k.Get(ICAP_BITDEPTH);
        ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
        EXPECT_EQ(a.conType, r.shape);
        EXPECT_EQ(a.itemType, TWTY_UINT16);
        EXPECT_EQ(a.items, r.items);
        if (r.shape == TWON_ENUMERATION) {
            EXPECT_EQ(a.current, r.current);
            EXPECT_EQ(a.deflt, r.deflt);
        }
        const std::vector<std::string> calls = k.kit.Calls();
        EXPECT_EQ(CountCalls(calls, "msg 0x343"), CountCalls(calls, "msg 0x345")) << "brackets closed";
        const CapAnswer now = k.Get(ICAP_BITDEPTH, MSG_GETCURRENT);
        EXPECT_EQ(now.conType, TWON_ONEVALUE);
        EXPECT_EQ(now.value(), r.now);
        EXPECT_EQ(k.Get(ICAP_BITDEPTH, MSG_GETDEFAULT).value(), r.now) << "1, 8, 24, 8 by type";
        EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), TW_UINT32{r.type}) << "the gets leave the mode";
    }
}

TEST(BitDepth, SetEachDepth) {
    // profile   every  type          depth  item type     cc              258 written  GETCURRENT
    const struct {
        const std::string *profile;
        bool everyMode;
        TW_UINT16 type;
        TW_UINT32 depth;
        TW_UINT16 itemType;
        TW_UINT16 cc;
        LONG bits;  // written to 258 (0: not checked)
        TW_UINT32 now;
    } rows[] = {
        {&kAll, false, TWPT_BW, 1, TWTY_UINT16, TWCC_SUCCESS, 1, 1},
        {&kAll, false, TWPT_BW, 8, TWTY_UINT16, TWCC_BADVALUE, 0, 1},
        {&kAll, false, TWPT_GRAY, 4, TWTY_UINT16, TWCC_SUCCESS, 4, 4},
        {&kAll, false, TWPT_GRAY, 1, TWTY_UINT16, TWCC_BADVALUE, 0, 8},
        {&kAll, false, TWPT_GRAY, 2, TWTY_UINT16, TWCC_BADVALUE, 0, 8},  // not offered
        {&kAll, false, TWPT_GRAY, 4, TWTY_UINT32, TWCC_BADVALUE, 0, 8},
        {&kAll, false, TWPT_RGB, 24, TWTY_UINT16, TWCC_SUCCESS, 8, 24},
        {&kAll, false, TWPT_RGB, 8, TWTY_UINT16, TWCC_BADVALUE, 8, 24},  // read back as 24
        {&kAll, false, TWPT_PALETTE, 4, TWTY_UINT16, TWCC_SUCCESS, 4, 4},
        {&kAll, false, TWPT_PALETTE, 24, TWTY_UINT16, TWCC_BADVALUE, 0, 8},
        {&kWide, true, TWPT_GRAY, 2, TWTY_UINT16, TWCC_SUCCESS, 2, 2},
        {&kWide, true, TWPT_RGB, 12, TWTY_UINT16, TWCC_SUCCESS, 4, 12},
        {&kWide, true, TWPT_RGB, 3, TWTY_UINT16, TWCC_SUCCESS, 1, 3},
        {&kShapes, false, TWPT_GRAY, 4, TWTY_UINT16, TWCC_SUCCESS, 4, 4},
        {&kShapes, false, TWPT_GRAY, 5, TWTY_UINT16, TWCC_BADVALUE, 5, 4},  // in the range, produced as 4
        {&kShapes, false, TWPT_GRAY, 8, TWTY_UINT16, TWCC_SUCCESS, 8, 8},
        {&kShapes, false, TWPT_RGB, 24, TWTY_UINT16, TWCC_SUCCESS, 8, 24},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(*r.profile + " type " + std::to_string(r.type) + " depth " + std::to_string(r.depth));
        Modes k(*r.profile, r.everyMode);
        ASSERT_EQ(k.Set(ICAP_PIXELTYPE, r.type).rc, TWRC_SUCCESS);
        k.kit.ResetCalls();
        const CapAnswer a = k.Set(ICAP_BITDEPTH, r.depth, r.itemType);
        EXPECT_EQ(a.rc, r.cc == TWCC_SUCCESS ? TWRC_SUCCESS : TWRC_FAILURE);
        if (a.rc != TWRC_SUCCESS) {
            EXPECT_EQ(a.cc, r.cc);
        }
        if (r.bits) {
            EXPECT_GE(FindCall(k.kit.Calls(), Written(258, r.bits)), 0);
        }
        EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x321 tag 5371"), -1) << "a one-value narrows nothing";
        EXPECT_EQ(k.Get(ICAP_BITDEPTH, MSG_GETCURRENT).value(), r.now);
        EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), TW_UINT32{r.type});
    }
    Modes k(kWide, true);
    ASSERT_EQ(k.Set(ICAP_PIXELTYPE, TWPT_GRAY).rc, TWRC_SUCCESS);
    ASSERT_EQ(k.Set(ICAP_BITDEPTH, 4).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(ICAP_BITDEPTH).current, 1u) << "[2, 4, 8] at 4";
}

TEST(BitDepth, ARangeOfBitsPerSample) {
    Modes k(kShapes);
    ASSERT_EQ(k.Set(ICAP_PIXELTYPE, TWPT_GRAY).rc, TWRC_SUCCESS);
    // The minimum of 1 is raised by one step; the default is 8 and the current the driver's.
    CapAnswer a = k.Get(ICAP_BITDEPTH);
    ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
    EXPECT_EQ(a.conType, TWON_RANGE);
    EXPECT_EQ(a.itemType, TWTY_UINT32);
    EXPECT_EQ(a.items, (Items{2, 8, 1, 8, 8}));
    ASSERT_EQ(k.Set(ICAP_BITDEPTH, 4).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(ICAP_BITDEPTH).items, (Items{2, 8, 1, 8, 4}));
    EXPECT_EQ(k.Get(ICAP_BITDEPTH, MSG_GETDEFAULT).value(), 8u);
    // 2 is inside the range but produced as 1: the scanner is then black-and-white.
    EXPECT_EQ(k.Set(ICAP_BITDEPTH, 2).cc, TWCC_BADVALUE);
    EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), TW_UINT32{TWPT_BW});
    EXPECT_EQ(k.Get(ICAP_BITDEPTH, MSG_GETCURRENT).value(), 1u);
    // RGB: a range of 8 alone is one choice, answered as one value.
    ASSERT_EQ(k.Set(ICAP_PIXELTYPE, TWPT_RGB).rc, TWRC_SUCCESS);
    a = k.Get(ICAP_BITDEPTH);
    EXPECT_EQ(a.conType, TWON_ONEVALUE);
    EXPECT_EQ(a.items, Items{24});
}

TEST(Modes, EnumerationsNarrowTheModes) {
    // profile    every  type           set    list        current  5371 written  then GET of (cap)  gives
    const struct {
        const std::string *profile;
        bool everyMode;
        TW_UINT16 type;
        TW_UINT16 cap;
        Items list;
        TW_UINT32 current;
        TW_UINT32 written;
        TW_UINT16 getCap;
        Items after;
    } rows[] = {
        // Black-and-white and RGB only.
        {&kAll, false, TWPT_BW, ICAP_PIXELTYPE, {TWPT_BW, TWPT_RGB}, 1, ~(0x1u | 0x1FFF0000u) | kOpenLimit, ICAP_PIXELTYPE,
         {TWPT_BW, TWPT_RGB}},
        // Gray of 8 bits only: gray 4 (bit 3) disabled as well; 258 then offers [1, 8].
        {&kGrayRgb, false, TWPT_GRAY, ICAP_BITDEPTH, {8}, 0, kOpenLimit | 0x8, ICAP_BITDEPTH, {8}},
        // Palette 4: every palette depth the driver lists stays, RGB goes (the upper half is
        // the palette's).
        {&kAll, false, TWPT_PALETTE, ICAP_BITDEPTH, {4}, 0, kOpenLimit | 0x00800000, ICAP_PIXELTYPE,
         {TWPT_BW, TWPT_GRAY, TWPT_PALETTE}},
        // RGB 24 and 12 from every mode: only 24 can be enabled, and the palette goes.
        {&kWide, true, TWPT_RGB, ICAP_BITDEPTH, {24, 12}, 0, 0xFF7FFF76, ICAP_PIXELTYPE, {TWPT_BW, TWPT_GRAY, TWPT_RGB}},
        // Black-and-white 1 bit: nothing changes.
        {&kAll, false, TWPT_BW, ICAP_BITDEPTH, {1}, 0, kOpenLimit, ICAP_PIXELTYPE,
         {TWPT_BW, TWPT_GRAY, TWPT_RGB, TWPT_PALETTE}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(*r.profile + " type " + std::to_string(r.type) + " cap " + std::to_string(r.cap));
        Modes k(*r.profile, r.everyMode);
        ASSERT_EQ(k.Set(ICAP_PIXELTYPE, r.type).rc, TWRC_SUCCESS);
        k.kit.ResetCalls();
        const CapAnswer set = k.SetList(r.cap, r.list, r.current);
        EXPECT_EQ(set.rc, TWRC_SUCCESS) << set.cc;
        EXPECT_GE(FindCall(k.kit.Calls(), Written(5371, r.written)), 0);
        EXPECT_EQ(k.Get(r.getCap).items, r.after);
        EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(),
                  r.cap == ICAP_PIXELTYPE ? r.list[r.current] : TW_UINT32{r.type});
    }
}

TEST(Modes, ListsThatNameNoModeAreRefusedUntouched) {
    std::vector<TW_UINT32> twentyOne(21, 8);
    // cap             container         item type     items            current  cc
    const struct {
        TW_UINT16 cap;
        TW_UINT16 conType;
        TW_UINT16 itemType;
        Items items;
        TW_UINT32 current;
        TW_UINT16 cc;
    } rows[] = {
        {ICAP_PIXELTYPE, TWON_ENUMERATION, TWTY_UINT16, {}, 0, TWCC_BADVALUE},
        {ICAP_PIXELTYPE, TWON_ENUMERATION, TWTY_UINT16, {6}, 0, TWCC_BADVALUE},  // CMY: no mode at all
        {ICAP_PIXELTYPE, TWON_ENUMERATION, TWTY_UINT16, {TWPT_BW, TWPT_GRAY}, 2, TWCC_BADVALUE},
        {ICAP_PIXELTYPE, TWON_ENUMERATION, TWTY_UINT32, {TWPT_BW, TWPT_GRAY}, 0, TWCC_BADVALUE},
        {ICAP_PIXELTYPE, TWON_ENUMERATION, TWTY_UINT16, {0, 1, 2, 3, 0, 1}, 0, TWCC_LOWMEMORY},
        {ICAP_PIXELTYPE, TWON_RANGE, TWTY_UINT16, {}, 0, TWCC_BADPROTOCOL},
        {ICAP_BITDEPTH, TWON_ENUMERATION, TWTY_UINT16, {}, 0, TWCC_BADVALUE},
        {ICAP_BITDEPTH, TWON_ENUMERATION, TWTY_UINT16, {4, 8}, 5, TWCC_BADVALUE},
        {ICAP_BITDEPTH, TWON_ENUMERATION, TWTY_UINT32, {8}, 0, TWCC_BADVALUE},
        {ICAP_BITDEPTH, TWON_ENUMERATION, TWTY_UINT16, twentyOne, 0, TWCC_LOWMEMORY},
        {ICAP_BITDEPTH, TWON_RANGE, TWTY_UINT16, {}, 0, TWCC_BADPROTOCOL},
    };
    Modes k(kAll);
    ASSERT_EQ(k.Set(ICAP_PIXELTYPE, TWPT_GRAY).rc, TWRC_SUCCESS);
    for (const auto &r : rows) {
        SCOPED_TRACE("cap " + std::to_string(r.cap) + " items " + std::to_string(r.items.size()));
        k.kit.ResetCalls();
        const std::vector<BYTE> bytes = r.conType == TWON_RANGE ? std::vector<BYTE>(22) : EnumBytes(r.itemType, r.items, r.current);
        const CapAnswer a = Send(k.kit, k.app, r.cap, r.conType, bytes);
        EXPECT_EQ(a.rc, TWRC_FAILURE);
        EXPECT_EQ(a.cc, r.cc);
        EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x321 tag 5371"), -1);
        EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x321 tag 258"), -1);
    }
    EXPECT_EQ(k.Get(ICAP_PIXELTYPE).items.size(), 4u);
    EXPECT_EQ(k.Get(ICAP_BITDEPTH, MSG_GETCURRENT).value(), 8u);

    // Black-and-white alone, then depths that black-and-white has not: no mode would be left.
    ASSERT_EQ(k.SetList(ICAP_PIXELTYPE, {TWPT_BW}, 0).rc, TWRC_SUCCESS);
    k.kit.ResetCalls();
    EXPECT_EQ(k.SetList(ICAP_BITDEPTH, {8}, 0).cc, TWCC_BADVALUE);
    EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x321 tag 5371"), -1);
    EXPECT_EQ(k.Get(ICAP_PIXELTYPE).items, Items{TWPT_BW});
}

// A palette whose depths all lose the palette photometric value lists nothing: refused rather
// than answered with an empty enumeration. The driver is made to fail every tag-262 call from
// the first one the list asks, counted in a run without the fault.
TEST(BitDepth, AnEmptyPaletteListIsRefused) {
    int before = 0;
    {
        Modes k(kAll);
        ASSERT_EQ(k.Set(ICAP_PIXELTYPE, TWPT_PALETTE).rc, TWRC_SUCCESS);
        std::vector<std::string> calls = k.kit.Calls();
        ASSERT_GE(FindCall(calls, "73 "), 0) << "counted from the library's start";
        before = CountTagCalls(calls, "262", calls.size());
        k.kit.ResetCalls();
        ASSERT_EQ(k.Get(ICAP_BITDEPTH).items, (Items{4, 8}));
        calls = k.kit.Calls();
        const int list = FindCall(calls, "msg 0x410 tag 262");
        ASSERT_GE(list, 0);
        before += CountTagCalls(calls, "262", static_cast<size_t>(list));
    }
    Modes k(kAll + "[Faults]\nPhotometric=tag 262, BadValue, from " + std::to_string(before + 1) + "\n");
    ASSERT_EQ(k.Set(ICAP_PIXELTYPE, TWPT_PALETTE).rc, TWRC_SUCCESS);
    const CapAnswer a = k.Get(ICAP_BITDEPTH);
    EXPECT_EQ(a.rc, TWRC_FAILURE);
    EXPECT_EQ(a.cc, TWCC_BADVALUE);
}

TEST(Reset, PixelTypeAndBitDepth) {
    Modes k(kAll);
    ASSERT_EQ(k.SetList(ICAP_PIXELTYPE, {TWPT_BW, TWPT_RGB}, 1).rc, TWRC_SUCCESS);
    k.kit.ResetCalls();
    const CapAnswer a = k.Reset(ICAP_PIXELTYPE);
    ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
    EXPECT_EQ(a.conType, TWON_ONEVALUE);
    EXPECT_EQ(a.value(), TW_UINT32{TWPT_BW});
    ExpectInOrder(k.kit.Calls(), {"msg 0x340 tag 5371", Written(277, 1), Written(258, 1), Written(262, 0)});
    EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), TW_UINT32{TWPT_BW});
    EXPECT_EQ(k.Get(ICAP_PIXELTYPE).items.size(), 4u) << "every mode again";

    // type          depth set before  answer  samples  depth written
    const struct {
        TW_UINT16 type;
        TW_UINT32 before;
        TW_UINT32 answer;
        LONG samples, bits;
    } rows[] = {
        {TWPT_BW, 1, 1, 1, 1},
        {TWPT_GRAY, 4, 8, 1, 8},
        {TWPT_RGB, 24, 24, 3, 8},
        {TWPT_PALETTE, 4, 8, 1, 8},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.type);
        ASSERT_EQ(k.Set(ICAP_PIXELTYPE, r.type).rc, TWRC_SUCCESS);
        ASSERT_EQ(k.Set(ICAP_BITDEPTH, r.before).rc, TWRC_SUCCESS);
        k.kit.ResetCalls();
        const CapAnswer d = k.Reset(ICAP_BITDEPTH);
        ASSERT_EQ(d.rc, TWRC_SUCCESS) << d.cc;
        EXPECT_EQ(d.itemType, TWTY_UINT16);
        EXPECT_EQ(d.value(), r.answer);
        ExpectInOrder(k.kit.Calls(), {Written(277, r.samples), "msg 0x340 tag 5371", Written(258, r.bits)});
        EXPECT_EQ(k.Get(ICAP_BITDEPTH, MSG_GETCURRENT).value(), r.answer);
    }
}

}  // namespace
