// The "Scanning Options" dialog driven as a person does, over the virtual scanner: what each
// control writes to the driver, the refused scan after a corrected edit, Scan and Cancel.
#include "ui/dialogtest.h"

namespace {

const char *const kProfile =
    "[Scanner]\nName=Dialog\nFlatbed=yes\nFeeder=yes\nDuplex=yes\nStackSensor=yes\nResolutions=100,200,300\n"
    "DefaultResolution=100\nPageSizes=\nWidthStep=1\n[Paper]\nPages=3\n";

}  // namespace

TEST(SettingsDialog, ControlsWriteTheDriversTags) {
    English english;
    Scanner s(kProfile);
    ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
    HWND dialog = SettingsDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowTextOf(dialog), "Scanning Options");
    EXPECT_EQ(Text(dialog, 1019), "Scan");
    EXPECT_EQ(Items(dialog, 1002), (std::vector<std::string>{"Text/Line", "Halftone/Dither 8x8", "Halftone/Error Diffusion",
                                                              "Photo/Grayscale", "24-Bit Color", "4-bit Palette Color",
                                                              "8-bit Palette Color"}));
    EXPECT_EQ(Items(dialog, 1003), (std::vector<std::string>{"100", "200", "300"}));
    const std::vector<std::string> sizes = Items(dialog, 1006);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back(), "Manually Set Selection");
    EXPECT_EQ(sizes[sizes.size() - 2], "Maximum Size");
    SaveScreenshot(dialog, "settings-dialog");

    s.kit.ResetCalls();
    Select(dialog, 1002, "Photo/Grayscale");
    ExpectInOrder(s.kit.Calls(), {"msg 0x321 tag 277 value 1", "msg 0x321 tag 258 value 8"});
    s.kit.ResetCalls();
    Select(dialog, 1002, "Halftone/Error Diffusion");
    EXPECT_GE(FindCall(s.kit.Calls(), "msg 0x320 tag 1280 value \"Error Diffusion\""), 0) << "the driver's own name";
    s.kit.ResetCalls();
    Select(dialog, 1003, "200");
    ExpectInOrder(s.kit.Calls(), {"msg 0x322 tag 282 value 200/1", "msg 0x322 tag 283 value 200/1"});
    // A page size puts the frame at the corner.
    s.kit.ResetCalls();
    Select(dialog, 1006, sizes[0]);
    ExpectInOrder(s.kit.Calls(), {"msg 0x321 tag 286 value 0", "msg 0x321 tag 287 value 0", "msg 0x321 tag 256"});
    // Units: the same width in pixels, then in inches.
    Click(dialog, 1010);
    LONG width = 0;
    const std::string pixels = Text(dialog, 1014);
    EXPECT_GT(atol(pixels.c_str()), 0);
    width = atol(pixels.c_str());
    Click(dialog, 1008);
    EXPECT_NEAR(atof(Text(dialog, 1014).c_str()), width / 200.0, 0.01);
    // Brightness: SB_LEFT always sets 1.
    s.kit.ResetCalls();
    Click(dialog, 1020);
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(SB_LEFT, 0), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1022)));
    EXPECT_GE(FindCall(s.kit.Calls(), "msg 0x321 tag 1282 value 1 "), 0);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(SettingsDialog(), nullptr);
}

// A value beyond the scan area is corrected and refuses the scan once; Scan then starts the run
// and the pages come; Cancel asks the application to close.
TEST(SettingsDialog, CorrectedEditRefusesOneScan) {
    English english;
    Scanner s(kProfile);
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
    HWND dialog = SettingsDialog();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, 1008);
    HWND width = GetDlgItem(dialog, 1014);
    SetWindowTextA(width, "99");
    SendMessageA(width, EM_SETMODIFY, TRUE, 0);
    Click(dialog, 1019);
    EXPECT_NE(Text(dialog, 1014), "99") << "corrected to the widest the scanner takes";
    s.Native();
    EXPECT_EQ(s.cc, TWCC_SEQERROR) << "nothing scanned yet";
    Click(dialog, 1019);
    const Dib d = s.Native();
    EXPECT_EQ(s.rc, TWRC_XFERDONE) << s.cc;
    EXPECT_GT(d.header.biWidth, 0);
    s.Pending(MSG_ENDXFER);
    Click(dialog, 1018);
    TW_EVENT event{nullptr, 0};
    MSG msg{};
    event.pEvent = &msg;
    s.kit.src().Call(&s.app, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    EXPECT_EQ(event.TWMessage, MSG_CLOSEDSREQ);
    EXPECT_EQ(SettingsDialog(), nullptr);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

// Scan pressed while a page is being scanned (the dialog is fed by the scan's yield call-back
// when no progress dialog is shown) starts nothing.
TEST(SettingsDialog, ScanPressedDuringAScanStartsNothing) {
    English english;
    Scanner s(std::string(kProfile).replace(std::string(kProfile).find("[Paper]"), 0, "DelayMs=200\n"));
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
    HWND dialog = SettingsDialog();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, 1019);
    s.kit.ResetCalls();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1019, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1019)));
    s.Native();
    EXPECT_EQ(s.rc, TWRC_XFERDONE) << s.cc;
    const std::vector<std::string> calls = s.kit.Calls();
    EXPECT_EQ(CountCalls(calls, "msg 0x604"), 0) << "no paper check inside the scan";
    EXPECT_EQ(CountCalls(calls, "35 JexdfltScan"), 1);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

// Cancel pressed while a page is being scanned cancels the scan; the dialog closes once the scan
// has returned.
TEST(SettingsDialog, CancelPressedDuringAScanStopsIt) {
    English english;
    Scanner s(std::string(kProfile).replace(std::string(kProfile).find("[Paper]"), 0, "DelayMs=300\n"));
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
    HWND dialog = SettingsDialog();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, 1019);
    s.kit.ResetCalls();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1018, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1018)));
    s.Native();
    EXPECT_NE(s.rc, TWRC_XFERDONE);
    EXPECT_EQ(SettingsDialog(), dialog) << "still open while the scan returns";
    const std::vector<std::string> calls = s.kit.Calls();
    const int scan = FindCall(calls, "35 JexdfltScan");
    ASSERT_GE(scan, 0);
    EXPECT_EQ(calls[scan].find(" = 0"), std::string::npos) << calls[scan];
    PumpFor(200);
    EXPECT_EQ(SettingsDialog(), nullptr);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}
