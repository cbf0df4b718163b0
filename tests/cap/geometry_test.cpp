// Resolutions, frames, physical and minimum sizes and supported page sizes over the virtual
// scanner: containers in the current units, the tags written, and resolutions that would divide
// by zero.
#include "captest.h"

namespace {

const std::string kRangeProfile =
    "[Scanner]\nName=Range\nFlatbed=yes\nFeeder=yes\nDuplex=no\nStackSensor=no\nResolutions=100..600/50\n"
    "DefaultResolution=300\n";

TEST(Resolution, ListsAndRangesInTheCurrentUnits) {
    {
        OpenKit k;  // 100, 200, 300; default 200
        for (TW_UINT16 cap : {ICAP_XRESOLUTION, ICAP_YRESOLUTION}) {
            const CapAnswer list = k.Get(cap);
            EXPECT_EQ(list.conType, TWON_ENUMERATION);
            EXPECT_EQ(list.itemType, TWTY_FIX32);
            EXPECT_EQ(list.items, (std::vector<TW_UINT32>{Fix(100), Fix(200), Fix(300)}));
            EXPECT_EQ(list.current, 1u);
            EXPECT_EQ(list.deflt, 1u);
            EXPECT_EQ(k.Get(cap, MSG_GETCURRENT).value(), Fix(200));
        }
        // In centimetres: 200 / 2.54 = 78.74, truncated to 1/65536 through the driver's ratio.
        k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_CENTIMETERS);
        EXPECT_EQ(Whole(k.Get(ICAP_XRESOLUTION, MSG_GETCURRENT).value()), 78);
        k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS);
        EXPECT_EQ(k.Get(ICAP_XRESOLUTION, MSG_GETDEFAULT).value(), Fix(1));
    }
    OpenKit k(kRangeProfile);
    const CapAnswer range = k.Get(ICAP_XRESOLUTION);
    EXPECT_EQ(range.conType, TWON_RANGE);
    EXPECT_EQ(range.items, (std::vector<TW_UINT32>{Fix(100), Fix(600), Fix(50), Fix(300), Fix(300)}));
}

TEST(Resolution, SetsWriteOneTagAndRefuseWhatCannotScan) {
    OpenKit k;
    k.kit.ResetCalls();
    EXPECT_EQ(k.Set(ICAP_YRESOLUTION, TWTY_FIX32, Fix(300)).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(ICAP_YRESOLUTION, MSG_GETCURRENT).value(), Fix(300));
    EXPECT_EQ(k.Get(ICAP_XRESOLUTION, MSG_GETCURRENT).value(), Fix(200)) << "the other axis is left alone";
    EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x322 tag 282"), -1);
    // Dots per inch whatever the units.
    k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_CENTIMETERS);
    EXPECT_EQ(k.Set(ICAP_XRESOLUTION, TWTY_FIX32, Fix(100)).rc, TWRC_SUCCESS);
    k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_INCHES);
    EXPECT_EQ(k.Get(ICAP_XRESOLUTION, MSG_GETCURRENT).value(), Fix(100));
    // value                             condition code
    const struct {
        TW_UINT16 type;
        TW_UINT32 value;
        TW_UINT16 cc;
    } refused[] = {
        {TWTY_FIX32, Fix(0), TWCC_BADVALUE},     // nothing scans at 0 dots per inch
        {TWTY_FIX32, Fix(0.5), TWCC_BADVALUE},   // nor at half a dot
        {TWTY_FIX32, Fix(-200), TWCC_BADVALUE},
        {TWTY_FIX32, Fix(250), TWCC_BADVALUE},   // not offered: the read-back differs
        {TWTY_UINT16, 200, TWCC_BADVALUE},       // a resolution is a FIX32
    };
    for (const auto &r : refused) {
        SCOPED_TRACE(Unfix(r.value));
        const CapAnswer a = k.Set(ICAP_XRESOLUTION, r.type, r.value);
        EXPECT_EQ(a.rc, TWRC_FAILURE);
        EXPECT_EQ(a.cc, r.cc);
        const TW_UINT32 now = k.Get(ICAP_XRESOLUTION, MSG_GETCURRENT).value();
        EXPECT_GE(Whole(now), 100) << "a usable resolution stays";
    }
    EXPECT_EQ(k.Reset(ICAP_XRESOLUTION).value(), Fix(200));
    EXPECT_EQ(k.Get(ICAP_XRESOLUTION, MSG_GETCURRENT).value(), Fix(200));
}

TEST(Frames, InTheCurrentUnitsAndBackToPixels) {
    OpenKit k;  // Letter by default at 200 dpi
    const CapAnswer frame = k.Get(ICAP_FRAMES, MSG_GETCURRENT);
    ASSERT_EQ(frame.rc, TWRC_SUCCESS) << frame.cc;
    EXPECT_EQ(frame.itemType, TWTY_FRAME);
    EXPECT_EQ(frame.frame.Left.Whole, 0);
    EXPECT_NEAR(frame.frame.Right.Whole + frame.frame.Right.Frac / 65536.0, 8.5, 0.05);  // the width goes in steps of 8 pixels
    EXPECT_NEAR(frame.frame.Bottom.Whole + frame.frame.Bottom.Frac / 65536.0, 11.0, 0.01);

    TW_FRAME want{{1, 0}, {0, 32768}, {5, 0}, {6, 32768}};  // 1, 0.5, 5, 6.5 inches
    k.kit.ResetCalls();
    EXPECT_EQ(Send(k.kit, k.app, ICAP_FRAMES, TWON_ONEVALUE, FrameBytes(want)).rc, TWRC_SUCCESS);
    ExpectInOrder(k.kit.Calls(), {"msg 0x321 tag 286 value 200 ", "msg 0x321 tag 287 value 100 ",
                                  "msg 0x321 tag 256 value 800 ", "msg 0x321 tag 257 value 1200 "});
    const CapAnswer now = k.Get(ICAP_FRAMES, MSG_GETCURRENT);
    EXPECT_EQ(now.frame.Left.Whole, 1);
    EXPECT_EQ(now.frame.Right.Whole, 5);
    EXPECT_EQ(now.frame.Bottom.Whole, 6);
    EXPECT_EQ(now.frame.Bottom.Frac, 32768);
    // In pixels the frame is the tags themselves.
    k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS);
    const CapAnswer px = k.Get(ICAP_FRAMES);
    EXPECT_EQ(px.frame.Right.Whole, 1000);
    k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_INCHES);

    // An enumeration is refused before the driver is touched.
    k.kit.ResetCalls();
    std::vector<BYTE> listed = EnumBytes(TWTY_FRAME, {}, 0);
    listed[2] = 1;  // one item
    const BYTE *raw = reinterpret_cast<const BYTE *>(&want);
    listed.insert(listed.end(), raw, raw + sizeof want);
    EXPECT_EQ(Send(k.kit, k.app, ICAP_FRAMES, TWON_ENUMERATION, listed).cc, TWCC_BADVALUE);
    EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x321"), -1);
    // Larger than the scan area: the driver cannot take it.
    TW_FRAME huge{{0, 0}, {0, 0}, {30, 0}, {40, 0}};
    EXPECT_EQ(Send(k.kit, k.app, ICAP_FRAMES, TWON_ONEVALUE, FrameBytes(huge)).cc, TWCC_BADVALUE);
    // The default frame is the same whichever resolution is current.
    ASSERT_EQ(k.Set(ICAP_XRESOLUTION, TWTY_FIX32, Fix(300)).rc, TWRC_SUCCESS);
    for (TW_UINT16 units : {TWUN_INCHES, TWUN_CENTIMETERS}) {
        k.Set(ICAP_UNITS, TWTY_UINT16, units);
        const TW_FIX32 right = k.Get(ICAP_FRAMES, MSG_GETDEFAULT).frame.Right;
        EXPECT_NEAR(right.Whole + right.Frac / 65536.0, units == TWUN_INCHES ? 8.5 : 21.59, 0.1) << units;
    }
    k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_INCHES);
    k.Set(ICAP_XRESOLUTION, TWTY_FIX32, Fix(200));
    const CapAnswer reset = k.Reset(ICAP_FRAMES);
    EXPECT_EQ(reset.rc, TWRC_SUCCESS);
    EXPECT_NEAR(reset.frame.Right.Whole + reset.frame.Right.Frac / 65536.0, 8.5, 0.05);  // the width goes in steps of 8 pixels
}

// Widths offered as a list (80 pixels up to the page sizes' widths in steps of 8 at 200 dpi:
// A5 1160, A4 1648, Letter 1696): the driver keeps its width when asked for one not listed.
TEST(Frames, AListOfWidths) {
    OpenKit k(SampleProfile("choice-shapes.ini"));
    ASSERT_EQ(k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS).rc, TWRC_SUCCESS);
    EXPECT_EQ(Whole(k.Get(ICAP_MINIMUMWIDTH).value()), 80) << "the narrowest listed";
    // width  rc            width after
    const struct {
        TW_INT16 width;
        TW_UINT16 rc;
        TW_INT16 after;
    } rows[] = {
        {1648, TWRC_SUCCESS, 1648}, {600, TWRC_FAILURE, 1648},
        {1165, TWRC_FAILURE, 1648},  // A5's own width: the list has 1160
        {1160, TWRC_SUCCESS, 1160}, {1696, TWRC_SUCCESS, 1696},
        {1700, TWRC_SUCCESS, 1696},  // refused, but what is kept is within 7 pixels
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.width);
        const TW_FRAME want{{0, 0}, {0, 0}, {r.width, 0}, {1000, 0}};
        const CapAnswer a = Send(k.kit, k.app, ICAP_FRAMES, TWON_ONEVALUE, FrameBytes(want));
        EXPECT_EQ(a.rc, r.rc);
        EXPECT_EQ(a.cc, r.rc == TWRC_SUCCESS ? TWCC_SUCCESS : TWCC_BADVALUE);
        const CapAnswer now = k.Get(ICAP_FRAMES, MSG_GETCURRENT);
        EXPECT_EQ(now.frame.Right.Whole, r.after);
        EXPECT_EQ(now.frame.Bottom.Whole, 1000);
    }
}

TEST(Sizes, PhysicalMinimumAndSupported) {
    OpenKit k;  // Letter, Legal, A4, A5; default Letter; 10 mm minimum
    const double physicalWidth = Unfix(k.Get(ICAP_PHYSICALWIDTH).value());
    EXPECT_NEAR(physicalWidth, 215 / 25.4, 0.01) << "the widest offered size, 215 mm";
    EXPECT_NEAR(Unfix(k.Get(ICAP_PHYSICALHEIGHT, MSG_GETDEFAULT).value()), 355 / 25.4, 0.01);
    EXPECT_NEAR(Unfix(k.Get(ICAP_MINIMUMWIDTH).value()), 10 / 25.4, 0.01);

    const CapAnswer sizes = k.Get(ICAP_SUPPORTEDSIZES);
    EXPECT_EQ(sizes.conType, TWON_ENUMERATION);
    EXPECT_EQ(sizes.items, (std::vector<TW_UINT32>{TWSS_A4LETTER, TWSS_USLETTER, TWSS_USLEGAL, TWSS_A5}));
    EXPECT_EQ(sizes.current, 1u);
    EXPECT_EQ(sizes.deflt, 1u);
    EXPECT_EQ(k.Get(ICAP_SUPPORTEDSIZES, MSG_GETCURRENT).value(), TW_UINT32{TWSS_USLETTER});
    EXPECT_EQ(k.Set(ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_A4LETTER).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(ICAP_SUPPORTEDSIZES, MSG_GETCURRENT).value(), TW_UINT32{TWSS_A4LETTER});
    EXPECT_EQ(k.Get(ICAP_SUPPORTEDSIZES, MSG_GETDEFAULT).value(), TW_UINT32{TWSS_USLETTER});
    EXPECT_EQ(k.Get(ICAP_SUPPORTEDSIZES, MSG_GETCURRENT).value(), TW_UINT32{TWSS_A4LETTER}) << "default asked in a bracket";
    // The page size puts the frame at 0,0 with its size: A4 is 8.27 inches wide.
    const TW_FIX32 right = k.Get(ICAP_FRAMES, MSG_GETCURRENT).frame.Right;
    EXPECT_NEAR(right.Whole + right.Frac / 65536.0, 210 / 25.4, 0.05);
    // code                  condition code
    for (TW_UINT16 code : {TWSS_B5LETTER, TWSS_NONE, TW_UINT16{77}})
        EXPECT_EQ(k.Set(ICAP_SUPPORTEDSIZES, TWTY_UINT16, code).cc, TWCC_BADVALUE) << code;
    EXPECT_EQ(Send(k.kit, k.app, ICAP_SUPPORTEDSIZES, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {1}, 0)).cc,
              TWCC_BADVALUE);
    EXPECT_EQ(k.Reset(ICAP_SUPPORTEDSIZES).value(), TW_UINT32{TWSS_USLETTER});
    EXPECT_EQ(k.Get(ICAP_SUPPORTEDSIZES, MSG_GETCURRENT).value(), TW_UINT32{TWSS_USLETTER});
}

TEST(Sizes, WithoutDriverNamesTheOwnList) {
    OpenKit k(std::string(kBasicProfile) + "PageSizes=\n");
    const CapAnswer sizes = k.Get(ICAP_SUPPORTEDSIZES);
    ASSERT_EQ(sizes.rc, TWRC_SUCCESS) << sizes.cc;
    // The scan area is 215.9 x 355.6 mm: Letter, Legal, A4 and A5 fit, A3 does not.
    EXPECT_EQ(sizes.items, (std::vector<TW_UINT32>{TWSS_A4LETTER, TWSS_USLETTER, TWSS_USLEGAL, TWSS_A5}));
    EXPECT_EQ(k.Set(ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_A3).cc, TWCC_BADVALUE);
}

}  // namespace
