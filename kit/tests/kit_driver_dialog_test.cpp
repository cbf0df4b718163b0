// The driver's own modeless dialog (0x125) driven through its real buttons, the preview that
// its Preview button starts (tag 1681 call-back, 0x126, jexdfltn @129 through an image sink
// written here the way the data source's sink answers), the picture surviving a repaint, @129's
// failure paths, and jexlocn @68 translating a real dialog.
#include "kit_driver_fixture.h"

namespace {

// ---- jexmdln, for the preview image and the sink's zone
struct Jexm {
    HMODULE dll = nullptr;
    LONG(WINAPI *createImage)(HJEXM *);
    LONG(WINAPI *freeImage)(HJEXM);
    LONG(WINAPI *getTag)(HJEXM, LONG, LONG *);
    LONG(WINAPI *createZone)(HJEXMZONE *, LONG);
    LONG(WINAPI *freeZone)(HJEXMZONE);
    LONG(WINAPI *setZoneTag)(HJEXMZONE, LONG, LONG, LONG, LONG);
    LONG(WINAPI *draw)(HWND, HDC, HJEXM, HJEXMZONE, LONG, LONG, LONG, LONG, LONG, LONG, LONG, LONG);
    LONG(WINAPI *displayStart)(void);
    LONG(WINAPI *displayEnd)(void);
    LONG(WINAPI *setPage)(HJEXM, const void *, const BYTE *);
    LONG(WINAPI *putRows)(HJEXM, LONG, LONG, const void *, LONG);
    LONG(WINAPI *live)(LONG *, LONG *, LONG *);
    bool Load() {
        dll = LoadLibraryA("jexmdln.dll");
        if (!dll) return false;
        auto O = [](int n) { return MAKEINTRESOURCEA(n); };
        createImage = GetProc<decltype(createImage)>(dll, O(10));
        freeImage = GetProc<decltype(freeImage)>(dll, O(11));
        getTag = GetProc<decltype(getTag)>(dll, O(13));
        createZone = GetProc<decltype(createZone)>(dll, O(20));
        freeZone = GetProc<decltype(freeZone)>(dll, O(21));
        setZoneTag = GetProc<decltype(setZoneTag)>(dll, O(22));
        draw = GetProc<decltype(draw)>(dll, O(42));
        displayStart = GetProc<decltype(displayStart)>(dll, O(5));
        displayEnd = GetProc<decltype(displayEnd)>(dll, O(4));
        setPage = GetProc<decltype(setPage)>(dll, "JexmKitSetPage");
        putRows = GetProc<decltype(putRows)>(dll, "JexmKitPutRows");
        live = GetProc<decltype(live)>(dll, "JexmKitLiveObjects");
        return createImage && freeImage && getTag && createZone && freeZone && setZoneTag && draw && displayStart &&
               displayEnd && setPage && putRows && live;
    }
};
Jexm jx;

// A 60 x 40 RGB page: the left half red, the right half blue.
HJEXM MakeHalvesImage() {
    HJEXM image = nullptr;
    if (jx.createImage(&image) != 0) return nullptr;
    LONG page[10] = {60, 40, 8, 3, 2, 100, 1, 100, 1, 1};
    std::vector<BYTE> rows(60 * 3 * 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            BYTE *p = &rows[(y * 60 + x) * 3];
            p[0] = x < 30 ? 255 : 0, p[1] = 0, p[2] = x < 30 ? 0 : 255;
        }
    if (jx.setPage(image, page, nullptr) != 0 || jx.putRows(image, 0, 40, rows.data(), 60 * 3) != 0) {
        jx.freeImage(image);
        return nullptr;
    }
    return image;
}

// ---- an image sink that answers as the data source's does, and records what it is asked
struct SinkCall {
    LONG op, tag;
    bool dcValid;          // op 5: word 1 is a device context
    RECT target, source;   // op 5: words 2-5 and 6-9
};
struct SinkState {
    std::vector<SinkCall> calls;
    HJEXMZONE zone = nullptr;
    LONG failOp = 0, failWith = 0;   // answer this operation with this error
} g_sink;

void FreeSinkZone() {
    if (g_sink.zone) jx.freeZone(g_sink.zone);
    g_sink.zone = nullptr;
}

LONG CreateSinkZone() {
    FreeSinkZone();
    if (jx.createZone(&g_sink.zone, 1) != 0) return g_sink.zone = nullptr, -4500;
    LONG rc = jx.setZoneTag(g_sink.zone, 4096, 0, 1, 0);
    if (rc == 0) rc = jx.setZoneTag(g_sink.zone, 4098, 0, 1, 4);
    if (rc == 0) rc = jx.setZoneTag(g_sink.zone, 4099, 0, 1, 1);
    if (rc != 0) FreeSinkZone();
    return rc;
}

LONG WINAPI TestSink(LONG opAndTag, LONG value, void *image) {
    SinkCall c{opAndTag & 0xFFFF, (opAndTag >> 16) & 0xFFFF, false, {}, {}};
    const LONG *words = reinterpret_cast<const LONG *>(value);
    if (c.op == 5 && words) {
        c.dcValid = GetObjectType(reinterpret_cast<HDC>(words[1])) != 0;
        c.target = {words[2], words[3], words[4], words[5]};
        c.source = {words[6], words[7], words[8], words[9]};
    }
    g_sink.calls.push_back(c);
    if (c.op == g_sink.failOp) return g_sink.failWith;
    HJEXM img = static_cast<HJEXM>(image);
    switch (c.op) {
    case 1:
        if (!img) return -5012;
        CreateSinkZone();
        return 0;
    case 2: {
        LONG rc = g_sink.zone ? jx.freeZone(g_sink.zone) : 0;
        g_sink.zone = nullptr;
        return rc;
    }
    case 3: {
        if (!img) return -5012;
        LONG *out = reinterpret_cast<LONG *>(value);
        if (c.tag == 256 || c.tag == 257) return jx.getTag(img, c.tag, out);
        if (c.tag == 282 || c.tag == 283) {
            LONG packed = 0;
            jx.getTag(img, c.tag, &packed);
            out[0] = packed & 0xFFFF, out[1] = (packed >> 16) & 0xFFFF;
            return 0;
        }
        return -4502;
    }
    case 5:
        if (!img) return -5012;
        if (!g_sink.zone && CreateSinkZone() != 0) return -4500;
        return jx.draw(nullptr, reinterpret_cast<HDC>(words[1]), img, g_sink.zone, 0x8000, value + 2 * 4, value + 6 * 4,
                       0, 0, 2, 0, 0);
    default:
        return -4602;
    }
}

std::string Ops() {
    std::string s;
    for (const SinkCall &c : g_sink.calls) s += std::to_string(c.op) + (c.tag ? "/" + std::to_string(c.tag) : "") + " ";
    return s;
}

// ---- the dialog record of message 0x125 and the call-backs the data source would give
struct DialogRecord {
    HWND window;
    LONG mode, buttons;
    LONG(WINAPI *scan)(DialogRecord *);
    LONG(WINAPI *cancel)(LONG *);
};
struct DialogCalls {
    int scans = 0, cancels = 0, previews = 0;
    DialogRecord *scanRecord = nullptr;
    LONG cancelFlag = 0;
    bool destroyOnScan = false;        // as the data source does for a confirmed settings-only dialog
    JEXDRIVER *scanner = nullptr;      // for the preview call-back
    HJEXM image = nullptr;
    LONG previewResult = 1;
    bool closeOnCallBack = false;      // the application closes the source from the call-back
} g_dlg;

// What closing the source does from inside a call-back of the driver's dialog.
void CloseTheSourceIfAsked() {
    if (!g_dlg.closeOnCallBack) return;
    EXPECT_EQ(0, k.unload(g_dlg.scanner));
    EXPECT_EQ(0, k.done());
}

LONG WINAPI OnScan(DialogRecord *r) {
    ++g_dlg.scans;
    g_dlg.scanRecord = r;
    CloseTheSourceIfAsked();
    if (g_dlg.destroyOnScan) {
        DestroyWindow(r->window);
        r->window = nullptr;
    }
    return 0;
}
LONG WINAPI OnCancel(LONG *flag) {
    ++g_dlg.cancels;
    g_dlg.cancelFlag = *flag;
    CloseTheSourceIfAsked();
    return 0;
}
LONG WINAPI OnPreviewClose(LONG, LONG, LONG) {
    ++g_dlg.previews;
    CloseTheSourceIfAsked();
    return 0;
}
// What the data source's preview request call-back does once it holds a preview image.
LONG WINAPI OnPreview(LONG, LONG, LONG) {
    ++g_dlg.previews;
    JEXDRIVER &s = *g_dlg.scanner;
    LONG sink = reinterpret_cast<LONG>(&TestSink), image = reinterpret_cast<LONG>(g_dlg.image);
    EXPECT_EQ(0, Msg(s, 0x126, sink, image));
    g_dlg.previewResult = k.preview(GetModuleHandleA(nullptr), &TestSink, g_dlg.image);
    EXPECT_EQ(0, Msg(s, 0x126, sink, image));
    return g_dlg.previewResult;
}

HWND ChildWithStyle(HWND parent, DWORD style) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == style && ClassOf(c) == "Static") return c;
    return nullptr;
}

std::string TextOf(HWND w) {
    char t[256] = {};
    GetWindowTextA(w, t, sizeof t);
    return t;
}

COLORREF PixelOf(HWND w, int x, int y) {
    HDC dc = GetDC(w);
    COLORREF c = GetPixel(dc, x, y) & 0xFFFFFF;
    ReleaseDC(w, dc);
    return c;
}

const std::string kDialogProfile = std::string(kBase) + "[Scanner]\nOwnDialog=yes\nName=Test Dialog Scanner\n";

class KitDialog : public KitDriver {
protected:
    DialogRecord rec{};
    void SetUp() override {
        KitDriver::SetUp();
        ASSERT_TRUE(jx.dll || jx.Load()) << "jexmdln.dll with its kit exports";
        ASSERT_EQ(0, jx.displayStart());
        g_sink = SinkState{};
        g_dlg = DialogCalls{};
        g_dlg.scanner = &scanner;
        rec = {nullptr, 0, 14, &OnScan, &OnCancel};
    }
    void TearDown() override {
        if (g_dlg.image) jx.freeImage(g_dlg.image);
        FreeSinkZone();
        KitDriver::TearDown();  // unloads the driver, which takes its dialog down
        if (rec.window) {
            EXPECT_FALSE(IsWindow(rec.window));
        }
        if (!jx.dll) return;
        jx.displayEnd();
        LONG images = -1, zones = -1, palettes = -1;
        jx.live(&images, &zones, &palettes);
        EXPECT_EQ(0, images);
        EXPECT_EQ(0, zones);
    }
    void Click(const char *text) {
        HWND button = FindWindowExA(rec.window, nullptr, "Button", text);
        ASSERT_NE(nullptr, button) << "button " << text;
        SendMessageA(button, BM_CLICK, 0, 0);
        PumpFor(0);
    }
};

}  // namespace

TEST_F(KitDialog, ButtonsCallTheRecordsCallBacks) {
    Open(kDialogProfile);
    ASSERT_EQ(0, Msg(scanner, 0x125, 0, reinterpret_cast<LONG>(&rec)));
    ASSERT_TRUE(IsWindow(rec.window));
    EXPECT_TRUE(IsWindowVisible(rec.window));
    EXPECT_EQ("Scan", TextOf(GetDlgItem(rec.window, IDOK)));
    EXPECT_TRUE(HasCall("msg 0x125 parent, record = 0"));
    Click("Scan");
    EXPECT_EQ(1, g_dlg.scans);
    EXPECT_EQ(&rec, g_dlg.scanRecord);          // the record itself, so the source can read its mode
    EXPECT_EQ(0, g_dlg.cancels);
    Click("Close");
    EXPECT_EQ(1, g_dlg.cancels);
    EXPECT_EQ(1, g_dlg.cancelFlag);
    EXPECT_TRUE(IsWindow(rec.window));          // Close only asks; the source takes the dialog down
    SendMessageA(rec.window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(rec.window));
    EXPECT_EQ(-4541, Msg(scanner, 0x126, 1, 1)); // the dialog is gone for the driver too
}

// The application may close the source from any of the dialog's call-backs: the driver, whose
// dialog procedure is still running, is taken down once it has returned, with its dialog.
TEST_F(KitDialog, EveryCallBackMayUnloadTheDriver) {
    for (const char *button : {"Scan", "Close", "Preview"}) {
        SCOPED_TRACE(button);
        g_dlg = DialogCalls{};
        g_dlg.scanner = &scanner;
        g_dlg.closeOnCallBack = true;
        Open(kDialogProfile);
        ASSERT_EQ(0, Msg(scanner, 0x321, 1681, reinterpret_cast<LONG>(&OnPreviewClose)));
        rec = {nullptr, 0, 14, &OnScan, &OnCancel};
        ASSERT_EQ(0, Msg(scanner, 0x125, 0, reinterpret_cast<LONG>(&rec)));
        HWND window = rec.window;
        Click(button);
        EXPECT_EQ(1, g_dlg.scans + g_dlg.cancels + g_dlg.previews);
        EXPECT_EQ(nullptr, scanner.entry);          // unloaded for the caller at once
        for (int i = 0; i < 50 && (k.liveDrivers() != 0 || IsWindow(window)); ++i) PumpFor(10);
        EXPECT_EQ(0, k.liveDrivers());
        EXPECT_FALSE(IsWindow(window));             // the driver's dialog went with it
        EXPECT_FALSE(HasCallStarting("74 drivers still loaded"));
    }
}

TEST_F(KitDialog, SettingsOnlyDialogMayBeDestroyedFromTheScanCallBack) {
    Open(kDialogProfile);
    rec.mode = 1;
    rec.buttons = 4;
    ASSERT_EQ(0, Msg(scanner, 0x125, 0, reinterpret_cast<LONG>(&rec)));
    EXPECT_EQ("OK", TextOf(GetDlgItem(rec.window, IDOK)));
    HWND window = rec.window;
    g_dlg.destroyOnScan = true;
    Click("OK");
    EXPECT_EQ(1, g_dlg.scans);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(-4541, Msg(scanner, 0x126, 1, 1));
    // a second dialog can be opened afterwards
    rec.mode = 0;
    ASSERT_EQ(0, Msg(scanner, 0x125, 0, reinterpret_cast<LONG>(&rec)));
    EXPECT_TRUE(IsWindow(rec.window));
}

TEST_F(KitDialog, RefusedWithoutOwnDialogOrRecord) {
    Open();  // OwnDialog=no
    EXPECT_EQ(0, GetLong(scanner, 1680));
    EXPECT_EQ(-4541, Msg(scanner, 0x125, 0, reinterpret_cast<LONG>(&rec)));
    EXPECT_EQ(nullptr, rec.window);
    k.unload(&scanner);
    k.done();
    Open(kDialogProfile);
    EXPECT_EQ(-4501, Msg(scanner, 0x125, 0, 0));
    EXPECT_EQ(-4501, Msg(scanner, 0x125, 0, 12));
    // a parent that is no window is ignored, not used
    EXPECT_EQ(0, Msg(scanner, 0x125, 0x1234, reinterpret_cast<LONG>(&rec)));
    EXPECT_EQ(nullptr, GetParent(rec.window));
}

TEST_F(KitDialog, PreviewButtonDrawsThroughTheSinkAndTheDialogRepaintsIt) {
    Open(kDialogProfile);
    g_dlg.image = MakeHalvesImage();
    ASSERT_NE(nullptr, g_dlg.image);
    ASSERT_EQ(0, Msg(scanner, 0x321, 1681, reinterpret_cast<LONG>(&OnPreview)));
    ASSERT_EQ(0, Msg(scanner, 0x125, 0, reinterpret_cast<LONG>(&rec)));
    SetWindowPos(rec.window, HWND_TOPMOST, 300, 200, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    HWND area = ChildWithStyle(rec.window, SS_OWNERDRAW);
    ASSERT_NE(nullptr, area);
    RECT client;
    GetClientRect(area, &client);
    ASSERT_GT(client.right, 40);
    ASSERT_GT(client.bottom, 40);
    UpdateWindow(rec.window);
    EXPECT_EQ(RGB(255, 255, 255), PixelOf(area, client.right / 4, client.bottom / 2)) << "white before a preview";

    k.resetCalls();
    Click("Preview");
    EXPECT_EQ(1, g_dlg.previews);
    EXPECT_EQ(0, g_dlg.previewResult);
    // create, width, length, draw, free: the zone lives only for this drawing
    EXPECT_EQ("1 3/256 3/257 5 2 ", Ops());
    ASSERT_EQ(5u, g_sink.calls.size());
    const SinkCall &draw = g_sink.calls[3];
    EXPECT_TRUE(draw.dcValid);
    EXPECT_EQ(0, draw.target.left);
    EXPECT_EQ(0, draw.target.top);
    EXPECT_EQ(client.right, draw.target.right);   // the whole white area
    EXPECT_EQ(client.bottom, draw.target.bottom);
    EXPECT_EQ(0, draw.source.left);
    EXPECT_EQ(0, draw.source.top);
    EXPECT_EQ(60, draw.source.right);              // the whole image
    EXPECT_EQ(40, draw.source.bottom);
    EXPECT_EQ(nullptr, g_sink.zone);
    std::vector<std::string> calls = Calls();
    std::vector<std::string> expected = {"msg 0x126 sink, image = 0", "129 JexdfltPreview(module, sink, image) = 0",
                                         "msg 0x126 sink, image = 0"};
    std::vector<std::string> got;
    for (const std::string &c : calls)
        if (c.rfind("msg 0x126", 0) == 0 || c.rfind("129 ", 0) == 0) got.push_back(c);
    EXPECT_EQ(expected, got);
    EXPECT_NE(nullptr, FindWindowExA(rec.window, nullptr, "Static", "Test Dialog Scanner - preview"));

    // the picture: red on the left, blue on the right, stretched over the area
    UpdateWindow(area);
    EXPECT_EQ(RGB(255, 0, 0), PixelOf(area, client.right / 4, client.bottom / 2));
    EXPECT_EQ(RGB(0, 0, 255), PixelOf(area, client.right * 3 / 4, client.bottom / 2));
    // ... and still there after the area is erased and painted again
    InvalidateRect(area, nullptr, TRUE);
    UpdateWindow(area);
    EXPECT_EQ(RGB(255, 0, 0), PixelOf(area, client.right / 4, client.bottom / 2));
    EXPECT_EQ(RGB(0, 0, 255), PixelOf(area, client.right * 3 / 4, client.bottom / 2));
    InvalidateRect(rec.window, nullptr, TRUE);
    UpdateWindow(rec.window);
    EXPECT_EQ(RGB(0, 0, 255), PixelOf(area, client.right - 2, client.bottom - 2));
}

TEST_F(KitDialog, PreviewFailuresAreReportedAndTheZoneIsFreed) {
    Open(kDialogProfile);
    g_dlg.image = MakeHalvesImage();
    ASSERT_NE(nullptr, g_dlg.image);
    HMODULE self = GetModuleHandleA(nullptr);
    // no dialog: nothing is asked of the sink
    EXPECT_EQ(-4541, k.preview(self, &TestSink, g_dlg.image));
    EXPECT_TRUE(g_sink.calls.empty());
    EXPECT_EQ(-4501, k.preview(self, nullptr, g_dlg.image));
    EXPECT_EQ(-4501, k.preview(self, &TestSink, nullptr));
    ASSERT_EQ(0, Msg(scanner, 0x125, 0, reinterpret_cast<LONG>(&rec)));
    // the sink refuses the size: the error comes back and the zone is freed
    g_sink.failOp = 3;
    g_sink.failWith = -4502;
    EXPECT_EQ(-4502, k.preview(self, &TestSink, g_dlg.image));
    EXPECT_EQ("1 3/256 2 ", Ops());
    EXPECT_EQ(nullptr, g_sink.zone);
    // the drawing fails
    g_sink = SinkState{};
    g_sink.failOp = 5;
    g_sink.failWith = -4602;
    EXPECT_EQ(-4602, k.preview(self, &TestSink, g_dlg.image));
    EXPECT_EQ("1 3/256 3/257 5 2 ", Ops());
    // creating the zone fails: nothing more is asked
    g_sink = SinkState{};
    g_sink.failOp = 1;
    g_sink.failWith = -5012;
    EXPECT_EQ(-5012, k.preview(self, &TestSink, g_dlg.image));
    EXPECT_EQ("1 ", Ops());
    // a null module is accepted and logged as 0
    g_sink = SinkState{};
    k.resetCalls();
    EXPECT_EQ(0, k.preview(nullptr, &TestSink, g_dlg.image));
    EXPECT_TRUE(HasCall("129 JexdfltPreview(0, sink, image) = 0"));
}

// ---- jexlocn @68 on a real dialog
namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

// A dialog from an in-memory template, with controls created the way resource dialogs have them.
HWND MakeDialog(const char *caption) {
    struct {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tp = {};
    tp.t.style = WS_POPUP | WS_CAPTION;
    tp.t.cx = 200;
    tp.t.cy = 120;
    HWND d = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tp.t, nullptr, PlainDialogProc, 0);
    if (!d) return nullptr;
    SetWindowTextA(d, caption);
    struct C { const char *cls, *text; int id; } controls[] = {
        {"BUTTON", "&Scan", 1}, {"BUTTON", "&Cancel", 2}, {"STATIC", "Preview", 10},
        {"STATIC", "Nothing to translate", 11}, {"EDIT", "Warning", 12}, {"BUTTON", "Duplex", 13},
    };
    int y = 0;
    for (const C &c : controls)
        CreateWindowExA(0, c.cls, c.text, WS_CHILD | WS_VISIBLE, 5, y += 20, 150, 18, d,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), GetModuleHandleA(nullptr), nullptr);
    return d;
}

}  // namespace

TEST(KitLocalisation, LocalisesTheCaptionAndControlsButNotEditedText) {
    SetEnvironmentVariableA("JEXKIT_LOCFILE", nullptr);  // the German sample beside the library
    ASSERT_EQ(0, k.locOpen("twjex.loc"));
    HWND d = MakeDialog("Scanning Options");
    ASSERT_NE(nullptr, d);
    k.resetCalls();
    // caption, &Scan, &Cancel, Preview ("Duplex" translates to itself: nothing to replace)
    EXPECT_EQ(4, k.localize(d));
    EXPECT_EQ("Scan-Optionen", TextOf(d));
    EXPECT_EQ("&Scannen", TextOf(GetDlgItem(d, 1)));
    EXPECT_EQ("&Abbrechen", TextOf(GetDlgItem(d, 2)));
    EXPECT_EQ("Vorschau", TextOf(GetDlgItem(d, 10)));
    EXPECT_EQ("Nothing to translate", TextOf(GetDlgItem(d, 11)));
    EXPECT_EQ("Warning", TextOf(GetDlgItem(d, 12)));     // what a user typed is left alone
    EXPECT_EQ("Duplex", TextOf(GetDlgItem(d, 13)));
    EXPECT_TRUE(HasCall("68 JexlocLocalizeWindow(window) = 4"));
    EXPECT_EQ(0, k.localize(d));  // a second pass finds nothing left in English
    DestroyWindow(d);

    // texts beyond ASCII arrive in the window's own character set
    HWND m = MakeDialog("Maximum Size");
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(4, k.localize(m));  // the caption and the same three controls
    WCHAR wide[64] = {};
    GetWindowTextW(m, wide, 64);
    EXPECT_STREQ(L"Maximale Gr\u00f6\u00dfe", wide);
    DestroyWindow(m);

    EXPECT_EQ(-4501, k.localize(nullptr));
    EXPECT_EQ(-4501, k.localize(reinterpret_cast<HWND>(0x4321)));
    EXPECT_TRUE(HasCall("68 JexlocLocalizeWindow(null) = -4501"));
}

TEST(KitLocalisation, WithoutATranslationFileNothingChanges) {
    SetEnvironmentVariableA("JEXKIT_LOCFILE", (g_dir + "\\no-such.loc").c_str());
    EXPECT_NE(0, k.locOpen("twjex.loc"));
    HWND d = MakeDialog("Scanning Options");
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(0, k.localize(d));
    EXPECT_EQ("Scanning Options", TextOf(d));
    EXPECT_EQ("&Scan", TextOf(GetDlgItem(d, 1)));
    DestroyWindow(d);
    SetEnvironmentVariableA("JEXKIT_LOCFILE", nullptr);
}
