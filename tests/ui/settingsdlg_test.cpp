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
    EXPECT_EQ(NextEventOf(s), MSG_CLOSEDSREQ);
    EXPECT_EQ(SettingsDialog(), nullptr);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

// Buttons pressed while a page is being scanned (the dialog is fed by the scan's yield call-back
// when no progress dialog is shown): Scan, Default and Preview start nothing; Cancel cancels the
// scan, and the dialog closes once the scan has returned.
TEST(SettingsDialog, ButtonsPressedDuringAScan) {
    struct Row {
        int button, code;
        const char *none;  // a call the button must not make inside the scan
        bool cancels;
    };
    const Row rows[] = {{1019, BN_CLICKED, "msg 0x604", false},
                        {1007, BN_CLICKED, "msg 0x340", false},
                        {1017, BN_CLICKED, "64 JexlocLookup(\"Manually Set Selection\")", false},
                        {1003, CBN_SELCHANGE, "msg 0x322 tag 282", false},
                        {1018, BN_CLICKED, "msg 0x345", true}};
    for (const Row &r : rows) {
        DialogSession d(WithLine(kProfile, "Scanner", "DelayMs=200"), false);
        ASSERT_NE(d.dialog, nullptr);
        Click(d.dialog, 1019);
        d.s.kit.ResetCalls();
        PostMessageA(d.dialog, WM_COMMAND, MAKEWPARAM(r.button, r.code), 0);
        d.s.Native();
        EXPECT_EQ(d.s.rc == TWRC_XFERDONE, !r.cancels) << r.button << " " << d.s.cc;
        const std::vector<std::string> calls = d.s.kit.Calls();
        EXPECT_EQ(CountCalls(calls, "35 JexdfltScan"), 1) << r.button;
        EXPECT_EQ(CountCalls(calls, r.none), 0) << r.button;
        EXPECT_EQ(SettingsDialog(), d.dialog) << r.button << ": still open while the scan returns";
        PumpFor(150);
        EXPECT_EQ(SettingsDialog() == nullptr, r.cancels) << r.button;
    }
}

// Enter arrives as a click on Scan: in the frame edits it moves X, Y, Width, Height, Manual and
// scans nothing; anywhere else it scans.
TEST(SettingsDialog, EnterMovesThroughTheFrameEdits) {
    DialogSession d(kProfile);
    ASSERT_NE(d.dialog, nullptr);
    BYTE keys[256], down[256];
    GetKeyboardState(keys);
    memcpy(down, keys, sizeof down);
    down[VK_RETURN] = 0x80;
    const int order[] = {1011, 1012, 1014, 1013, 1020};
    SetFocus(GetDlgItem(d.dialog, order[0]));
    d.s.kit.ResetCalls();
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        SetKeyboardState(down);
        Click(d.dialog, 1019);
        SetKeyboardState(keys);
        EXPECT_EQ(GetFocus(), GetDlgItem(d.dialog, order[i + 1])) << "from " << order[i];
    }
    EXPECT_EQ(CountCalls(d.s.kit.Calls(), "msg 0x604"), 0) << "no scan";
    SetKeyboardState(down);
    Click(d.dialog, 1019);
    SetKeyboardState(keys);
    EXPECT_EQ(CountCalls(d.s.kit.Calls(), "msg 0x604"), 1) << "Enter on Manual scans";
}

// The scroll bar's moves, from the driver's normal value 128 in 1..255: a line is the step, a
// page a tenth of the maximum; lines stop at the ends, pages land on them; SB_LEFT always sets 1.
TEST(SettingsDialog, BrightnessScrolls) {
    DialogSession d(kProfile);
    ASSERT_NE(d.dialog, nullptr);
    Click(d.dialog, 1020);
    HWND bar = GetDlgItem(d.dialog, 1022);
    ASSERT_EQ(GetScrollPos(bar, SB_CTL), 128);
    struct Row {
        int code, thumb, shown;
        bool sets;
    };
    const Row rows[] = {{SB_LINERIGHT, 0, 129, true},  {SB_LINELEFT, 0, 128, true},  {SB_PAGERIGHT, 0, 153, true},
                        {SB_PAGELEFT, 0, 128, true},   {SB_THUMBTRACK, 250, 250, true}, {SB_PAGERIGHT, 0, 255, true},
                        {SB_LINERIGHT, 0, 255, false}, {SB_RIGHT, 0, 255, true},      {SB_LEFT, 0, 1, true},
                        {SB_LINELEFT, 0, 1, false},    {SB_PAGELEFT, 0, 1, true},     {SB_THUMBPOSITION, 7, 7, true},
                        {SB_ENDSCROLL, 0, 7, false}};
    for (const Row &r : rows) {
        d.s.kit.ResetCalls();
        SendMessageA(d.dialog, WM_HSCROLL, MAKEWPARAM(r.code, r.thumb), reinterpret_cast<LPARAM>(bar));
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), r.shown) << "code " << r.code;
        EXPECT_EQ(FindCall(d.s.kit.Calls(), "msg 0x321 tag 1282 value " + std::to_string(r.shown) + " ") >= 0, r.sets)
            << "code " << r.code;
    }
    // Auto hands the value to the driver and takes the bar away.
    Click(d.dialog, 1021);
    EXPECT_FALSE(IsWindowEnabled(bar));
}

// What a person types into Width, read back in pixels at 200 dpi: units, decimals, and what is
// no number at all or beyond the scan area (corrected to the driver's limits, refusing one scan).
TEST(SettingsDialog, TypedWidths) {
    DialogSession d(kProfile);
    ASSERT_NE(d.dialog, nullptr);
    Select(d.dialog, 1003, "200");
    HWND width = GetDlgItem(d.dialog, 1014);
    auto type = [&](int units, const char *text) {
        Click(d.dialog, units);
        SetWindowTextA(width, text);
        SendMessageA(width, EM_SETMODIFY, TRUE, 0);
        SendMessageA(d.dialog, WM_COMMAND, MAKEWPARAM(1014, EN_KILLFOCUS), reinterpret_cast<LPARAM>(width));
        Click(d.dialog, 1010);
        return atol(Text(d.dialog, 1014).c_str());
    };
    const long least = type(1010, "0"), most = type(1010, "99999999");
    ASSERT_LT(least, most);
    struct Row {
        int units;
        const char *text;
        long pixels;
    };
    const Row rows[] = {{1010, "800", 800},   {1008, "2.5", 500},    {1009, "25.4", 200},  {1008, "2,5", 400},
                        {1008, "1.0005", 200}, {1010, "", least},     {1010, "abc", least}, {1010, "-5", least},
                        {1008, "99", most},    {1010, "123456789012345678901234567890", most},
                        {1009, "99999.999", most}};
    for (const Row &r : rows) EXPECT_EQ(type(r.units, r.text), r.pixels) << r.text;
}

// The dialog, its lists and the preview window's title through the kit's German sample file.
TEST(SettingsDialog, GermanThroughTheSampleTranslation) {
    Scanner s(kProfile);
    ASSERT_EQ(s.Enable(true), TWRC_SUCCESS);
    HWND dialog = SettingsDialog();
    ASSERT_NE(dialog, nullptr);
    SaveScreenshot(dialog, "settings-dialog-de");
    EXPECT_EQ(WindowTextOf(dialog), "Scan-Optionen");
    EXPECT_EQ(Text(dialog, 1019), "Scannen");
    EXPECT_EQ(Text(dialog, 1017), "&Vorschau");
    EXPECT_EQ(Text(dialog, 1018), "&Abbrechen");
    EXPECT_EQ(Text(dialog, 1015), "&Info");
    EXPECT_EQ(Items(dialog, 1002).front(), "Text/Strich");
    const std::vector<std::string> sizes = Items(dialog, 1006);
    EXPECT_EQ(sizes.back(), "Manuelle Auswahl");
    EXPECT_EQ(sizes[sizes.size() - 2], "Maximale Gr\xF6\xDF" "e");
    Click(dialog, 1017);
    HWND preview = WindowOfClass("PreviewWndClass");
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(WindowTextOf(preview), "Vorschau : <Keine Strichcodes>");
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(WindowOfClass("PreviewWndClass"), nullptr);
}

// About: its title, the scanner's name from the host module, OK closes it.
TEST(SettingsDialog, AboutBox) {
    DialogSession d(kProfile);
    ASSERT_NE(d.dialog, nullptr);
    CbtAutoAnswer answer(IDOK);
    Click(d.dialog, 1015);
    ASSERT_GE(answer.captions.size(), 1u) << "the box closed";
    EXPECT_EQ(answer.caption, "About the Scanner");
    EXPECT_NE(answer.text.find("JEX Virtual Scanner"), std::string::npos) << answer.text;
    EXPECT_EQ(SettingsDialog(), d.dialog);
}

// A driver that names its page sizes: the list shows them and keeps the one chosen, whichever
// was measured last.
TEST(SettingsDialog, DriverPageNamesKeepTheCurrentOne) {
    DialogSession d(std::string(kProfile).replace(std::string(kProfile).find("PageSizes="), 11,
                                                  "PageSizes=Letter=216x279; A4=210x297; Legal=216x356\nDefaultPageSize=A4\n"));
    ASSERT_NE(d.dialog, nullptr);
    EXPECT_EQ(Items(d.dialog, 1006), (std::vector<std::string>{"Letter", "A4", "Legal"}));
    EXPECT_EQ(SendDlgItemMessageA(d.dialog, 1006, CB_GETCURSEL, 0, 0), 1);
}

// Cancel with a typed width still in its edit: what was typed is written before the settings
// are put back, so none of it survives.
TEST(SettingsDialog, CancelUndoesAnEditBeingTyped) {
    DialogSession d(kProfile);
    ASSERT_NE(d.dialog, nullptr);
    Click(d.dialog, 1010);
    HWND width = GetDlgItem(d.dialog, 1014);
    SetFocus(width);
    SetWindowTextA(width, "300");
    SendMessageA(width, EM_SETMODIFY, TRUE, 0);
    d.s.kit.ResetCalls();
    Click(d.dialog, 1018);
    const std::vector<std::string> calls = d.s.kit.Calls();
    const int restored = FindCall(calls, "msg 0x345");
    ASSERT_GE(restored, 0);
    EXPECT_EQ(FindCall(calls, "msg 0x321", restored), -1) << "nothing written after the restore";
    EXPECT_EQ(d.NextEvent(), MSG_CLOSEDSREQ);
}

// Default, Help and More..., and the dialog opened for settings only, whose Save keeps the
// settings and tells the application it may close.
TEST(SettingsDialog, DefaultHelpMoreAndSave) {
    {
        DialogSession d(kProfile);
        ASSERT_NE(d.dialog, nullptr);
        Click(d.dialog, 1009);
        d.s.kit.ResetCalls();
        Click(d.dialog, 1007);
        ExpectInOrder(d.s.kit.Calls(), {"msg 0x340", "msg 0x322 tag 282 value 200/1"});
        EXPECT_EQ(IsDlgButtonChecked(d.dialog, 1008), BST_CHECKED) << "Default shows inches";
        EXPECT_EQ(Items(d.dialog, 1003)[SendDlgItemMessageA(d.dialog, 1003, CB_GETCURSEL, 0, 0)], "200");
        CbtAutoAnswer answer(IDOK, true);
        Click(d.dialog, 1001);
        EXPECT_EQ(answer.caption, "Warning");
        EXPECT_EQ(answer.text, "Not yet implemented");
        // The driver's advanced settings, a modal dialog of its own.
        ASSERT_TRUE(IsWindowEnabled(GetDlgItem(d.dialog, 1016)));
        CbtAutoAnswer closeIt(IDCANCEL);
        d.s.kit.ResetCalls();
        Click(d.dialog, 1016);
        EXPECT_GE(FindCall(d.s.kit.Calls(), "msg 0x123"), 0);
        EXPECT_GE(closeIt.captions.size(), 1u) << "it was shown and closed";
        EXPECT_EQ(SettingsDialog(), d.dialog);
    }
    English english;
    Scanner s(kProfile);
    TW_USERINTERFACE ui{TRUE, 1, nullptr};
    ASSERT_EQ(s.kit.src().Call(&s.app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &ui), TWRC_SUCCESS);
    HWND dialog = SettingsDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Text(dialog, 1019), "Save");
    s.kit.ResetCalls();
    Click(dialog, 1019);
    ExpectInOrder(s.kit.Calls(), {"48 JexdfltPutSetting(0, \"JEX Virtual Scanner\", \"Current Units\", \"0\")", "msg 0x344"});
    EXPECT_EQ(CountCalls(s.kit.Calls(), "35 JexdfltScan"), 0);
    EXPECT_EQ(SettingsDialog(), nullptr);
    // MSG_CLOSEDSOK went through the manager; the event loop keeps asking to close.
    EXPECT_EQ(NextEventOf(s), MSG_CLOSEDSREQ);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}
