// Image info, layout and palette as an application asks them around a transfer, and the layouts
// and library failures a DIB cannot be made of.
#include "xfertest.h"

namespace {

std::string Scanner8(const std::string &scanner = "", const std::string &sections = "") {
    return "[Scanner]\nName=Info\nFlatbed=yes\nFeeder=yes\nDuplex=no\nStackSensor=no\nResolutions=100,200\n"
           "DefaultResolution=100\nPageSizes=A5=148x210\nDefaultPageSize=A5\nGrayDepths=2,4,8\n" +
           scanner + "[Paper]\nPages=3\n" + sections;
}

}  // namespace

// The palette is read ahead of the transfer from the page it will deliver; the page scanned
// ahead by prefeed is described as the palette page it is.
TEST(ImageInfo, PaletteAheadAndThePalettePageScannedAhead) {
    Scanner s(Scanner8());
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    EXPECT_TRUE(s.Set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_PALETTE).ok());
    EXPECT_TRUE(s.Set(ICAP_BITDEPTH, TWTY_UINT16, 8).ok());
    TW_PALETTE8 palette{};
    EXPECT_EQ(s.kit.src().Call(&s.app, DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_FAILURE);
    EXPECT_EQ(s.kit.src().Status(&s.app), TWCC_SEQERROR) << "no page outside a run";
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    TW_IMAGEINFO info{};
    ASSERT_EQ(s.Info(&info), TWRC_SUCCESS);
    EXPECT_EQ(info.PixelType, TWPT_PALETTE);
    EXPECT_EQ(info.BitsPerPixel, 8);
    EXPECT_EQ(info.XResolution.Whole, 100);
    EXPECT_EQ(info.Compression, TWCP_NONE);
    EXPECT_EQ(s.Scans(), 0);
    ASSERT_EQ(s.kit.src().Call(&s.app, DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_SUCCESS);
    EXPECT_EQ(s.Scans(), 1);
    EXPECT_EQ(palette.NumColors, 256);
    EXPECT_EQ(palette.PaletteType, TWPA_RGB);
    for (int i : {0, 37, 200, 255}) {
        EXPECT_EQ(palette.Colors[i].Index, i);
        EXPECT_EQ(palette.Colors[i].Channel1, ((i >> 5) & 7) * 255 / 7) << i;
        EXPECT_EQ(palette.Colors[i].Channel2, ((i >> 2) & 7) * 255 / 7) << i;
        EXPECT_EQ(palette.Colors[i].Channel3, (i & 3) * 255 / 3) << i;
    }
    const Dib d = s.Native();
    EXPECT_EQ(s.rc, TWRC_XFERDONE);
    EXPECT_EQ(s.Scans(), 1) << "the page read for its palette is the one delivered";
    EXPECT_EQ(d.header.biClrUsed, 256u);
    EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 1);
    EXPECT_EQ(s.Scans(), 2) << "prefeed";
    ASSERT_EQ(s.Info(&info), TWRC_SUCCESS);
    EXPECT_EQ(info.PixelType, TWPT_PALETTE) << "the held page";
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(s.kit.LiveImageObjects(), 0);
}

// Rows the library fails to deliver are no page.
TEST(ImageInfo, NoDibOfWhatCannotBeRead) {
    struct Row {
        const char *name;
        std::string profile;
        TW_UINT16 depth;
    };
    const Row rows[] = {
        {"rows not delivered", Scanner8("", "[Faults]\nrows=jexmdln 45, Fault\n"), 8},
    };
    for (const Row &r : rows) {
        Scanner s(r.profile);
        EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
        EXPECT_TRUE(s.Set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY).ok());
        EXPECT_TRUE(s.Set(ICAP_BITDEPTH, TWTY_UINT16, r.depth).ok()) << r.name;
        ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
        s.Native();
        EXPECT_EQ(s.rc, TWRC_FAILURE) << r.name;
        EXPECT_EQ(s.cc, TWCC_OPERATIONERROR) << r.name;
        EXPECT_EQ(s.kit.LiveImageObjects(), 0) << r.name;
        s.Pending(MSG_ENDXFER);
        EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    }
}

TEST(ImageLayout, FramesTheDriverRoundsAndRefuses) {
    Scanner s(Scanner8("WidthStep=8\nMaxWidthMm=215.9\n"));
    EXPECT_TRUE(s.Set(ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS).ok());
    TW_IMAGELAYOUT l{};
    l.Frame.Right.Whole = 405;  // the driver takes 400
    l.Frame.Bottom.Whole = 500;
    EXPECT_EQ(s.Layout(MSG_SET, &l), TWRC_SUCCESS);
    TW_IMAGELAYOUT got{};
    EXPECT_EQ(s.Layout(MSG_GET, &got), TWRC_CHECKSTATUS);
    EXPECT_EQ(got.Frame.Right.Whole, 400);
    EXPECT_EQ(got.Frame.Bottom.Whole, 500);
    EXPECT_EQ(got.DocumentNumber, 1u);
    EXPECT_EQ(s.Layout(MSG_GET, &got), TWRC_CHECKSTATUS) << "until an exact MSG_SET";
    l.Frame.Right.Whole = 400;
    EXPECT_EQ(s.Layout(MSG_SET, &l), TWRC_SUCCESS);
    EXPECT_EQ(s.Layout(MSG_GET, &got), TWRC_SUCCESS);
    // 40 pixels beyond the widest frame (850 at 100 dpi).
    l.Frame.Left.Whole = 0;
    l.Frame.Right.Whole = 890;
    EXPECT_EQ(s.Layout(MSG_SET, &l), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADVALUE);
    // Frames turned inside out or before the page's corner are refused before the driver hears
    // of them.
    s.kit.ResetCalls();
    for (const TW_FRAME &f : {TW_FRAME{{300, 0}, {0, 0}, {100, 0}, {500, 0}}, TW_FRAME{{0, 0}, {9, 0}, {100, 0}, {9, 0}},
                              TW_FRAME{{-5, 0}, {0, 0}, {100, 0}, {500, 0}}}) {
        TW_IMAGELAYOUT bad{};
        bad.Frame = f;
        EXPECT_EQ(s.Layout(MSG_SET, &bad), TWRC_FAILURE);
        EXPECT_EQ(s.cc, TWCC_BADVALUE);
    }
    EXPECT_EQ(CountCalls(s.kit.Calls(), "msg 0x321"), 0);
    EXPECT_EQ(s.Layout(MSG_GETCURRENT, &got), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADPROTOCOL);
    // The default frame is the same whichever resolution is current.
    EXPECT_TRUE(s.Set(ICAP_UNITS, TWTY_UINT16, TWUN_INCHES).ok());
    TW_IMAGELAYOUT at100{}, at200{};
    EXPECT_EQ(s.Layout(MSG_GETDEFAULT, &at100), TWRC_SUCCESS);
    EXPECT_TRUE(s.Set(ICAP_XRESOLUTION, TWTY_FIX32, Fix(200)).ok());
    EXPECT_TRUE(s.Set(ICAP_YRESOLUTION, TWTY_FIX32, Fix(200)).ok());  // frames use the horizontal one
    EXPECT_EQ(s.Layout(MSG_GETDEFAULT, &at200), TWRC_SUCCESS);
    EXPECT_EQ(memcmp(&at100.Frame, &at200.Frame, sizeof(TW_FRAME)), 0);
    auto inches = [](TW_FIX32 f) { return f.Whole + f.Frac / 65536.0; };
    EXPECT_NEAR(inches(at200.Frame.Right), 148 / 25.4, 0.08) << "A5 in whole width steps";
    // A reset puts the default page in place at the current resolution.
    EXPECT_EQ(s.Layout(MSG_RESET, &got), TWRC_SUCCESS);
    EXPECT_NEAR(inches(got.Frame.Right), inches(at100.Frame.Right), 0.05);
    EXPECT_NEAR(inches(got.Frame.Bottom), inches(at100.Frame.Bottom), 0.05);
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    EXPECT_EQ(s.Layout(MSG_SET, &l), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
    EXPECT_EQ(s.Layout(MSG_GET, &got), TWRC_CHECKSTATUS) << "the refused 890 was not exact";
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    l.Frame = TW_FRAME{{0, 0}, {0, 0}, {2, 0}, {3, 0}};
    EXPECT_EQ(s.Layout(MSG_SET, &l), TWRC_SUCCESS) << "open again";
}
