// The preview from the settings dialog: the preview scan and the settings it puts back, the
// window and its size, the frame dragged over it (clamped, either way round, a click or a bare
// line framing nothing), the scanned page taking the dragged frame, and the failures on the way.
#include <cmath>

#include "ui/dialogtest.h"

namespace {

const char *const kProfile =
    "[Scanner]\nName=Preview\nFlatbed=yes\nFeeder=no\nDuplex=no\nResolutions=100,200,300\nDefaultResolution=200\n"
    "PageSizes=\nWidthStep=1\nPreviewResolution=100\n[Paper]\nPages=3\n";

constexpr char kA5R[] = "A5 R(148mm x 210mm)";

HWND PreviewWindow() { return WindowOfClass("PreviewWndClass"); }

LPARAM At(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

void Drag(HWND preview, POINT from, POINT to) {
    SendMessageA(preview, WM_LBUTTONDOWN, MK_LBUTTON, At(from.x, from.y));
    SendMessageA(preview, WM_MOUSEMOVE, MK_LBUTTON, At((from.x + to.x) / 2, (from.y + to.y) / 2));
    SendMessageA(preview, WM_MOUSEMOVE, MK_LBUTTON, At(to.x, to.y));
    SendMessageA(preview, WM_LBUTTONUP, 0, At(to.x, to.y));
}

// The frame the edits show, in pixels of the scan resolution.
struct Frame {
    long x, y, width, length;
    bool operator==(const Frame &) const = default;
};
Frame Shown(HWND dialog) {
    return Frame{atol(Text(dialog, 1011).c_str()), atol(Text(dialog, 1012).c_str()), atol(Text(dialog, 1014).c_str()),
                 atol(Text(dialog, 1013).c_str())};
}
std::ostream &operator<<(std::ostream &o, const Frame &f) {
    return o << f.x << "," << f.y << " " << f.width << "x" << f.length;
}

// Window to image pixels as the display library maps them: the image fitted into the client
// area keeping its aspect, from the top-left corner; halves round up.
long ToImage(HWND preview, long v, long imageWidth, long imageLength) {
    RECT c;
    GetClientRect(preview, &c);
    const long long n = (long long)c.right * imageLength <= (long long)c.bottom * imageWidth ? c.right : c.bottom;
    const long long d = n == c.right ? imageWidth : imageLength;
    return static_cast<long>((2 * v * d + n) / (2 * n));
}

// A dialog over the preview profile with the units in pixels, A5 R chosen and previewed.
struct Previewed : DialogSession {
    HWND preview = nullptr;
    explicit Previewed(const std::string &profile = kProfile, bool open = true) : DialogSession(profile, false) {
        if (!dialog) return;
        Click(dialog, 1010);
        Select(dialog, 1006, kA5R);
        if (open) Preview();
    }
    void Preview() {
        Click(dialog, 1017);
        preview = PreviewWindow();
    }
};

}  // namespace

// The preview scans the chosen page size at the preview resolution and puts the scan settings
// back; its window sits at the dialog's right edge, a third of the image's size.
TEST(Preview, ScansAtThePreviewResolutionAndPutsTheSettingsBack) {
    Previewed p(kProfile, false);
    const Frame before = Shown(p.dialog);
    p.s.kit.ResetCalls();
    p.Preview();
    ASSERT_NE(p.preview, nullptr);
    const std::vector<std::string> calls = p.s.kit.Calls();
    ExpectInOrder(calls, {"msg 0x321 tag 5374 value 0", "msg 0x322 tag 282 value 100/1", "msg 0x322 tag 283 value 100/1",
                          "msg 0x321 tag 286 value 0", "msg 0x321 tag 287 value 0", "msg 0x321 tag 256 value 582",
                          "msg 0x321 tag 257 value 826", "29 ", "msg 0x321 tag 1293 value 0", "35 JexdfltScan",
                          "msg 0x322 tag 282 value 200/1", "msg 0x322 tag 283 value 200/1", "msg 0x321 tag 258 value 1",
                          "msg 0x321 tag 277 value 1", "msg 0x321 tag 5374"});
    EXPECT_EQ(Shown(p.dialog), before) << "the frame is the page size at the scan resolution again";
    EXPECT_EQ(WindowTextOf(p.preview), "Preview : <No bar codes>");
    RECT d, w;
    GetWindowRect(p.dialog, &d);
    GetWindowRect(p.preview, &w);
    EXPECT_EQ(w.left, d.right);
    EXPECT_EQ(w.top, d.top);
    EXPECT_EQ(w.right - w.left, 582 / 3);
    EXPECT_EQ(w.bottom - w.top, 826 / 3);
    // Preview again: the same window, repainted.
    p.Preview();
    EXPECT_EQ(PreviewWindow(), p.preview);
}

// A frame dragged over the preview becomes the driver's frame at the scan resolution, the list
// shows "Manually Set Selection", and the page scanned next has the frame's size.
TEST(Preview, DraggedFrameIsScanned) {
    Previewed p;
    ASSERT_NE(p.preview, nullptr);
    const POINT from{12, 9}, to{70, 50};
    SaveScreenshot(p.preview, "preview");
    Drag(p.preview, from, to);
    SaveScreenshot(p.preview, "preview-selection");
    const long k = 2;  // 200 dpi scanned, 100 dpi previewed
    const long x0 = ToImage(p.preview, from.x, 582, 826), y0 = ToImage(p.preview, from.y, 582, 826);
    const long x1 = ToImage(p.preview, to.x, 582, 826), y1 = ToImage(p.preview, to.y, 582, 826);
    const Frame expected{x0 * k, y0 * k, (x1 - x0) * k, (y1 - y0) * k};
    EXPECT_EQ(Shown(p.dialog), expected);
    HWND list = GetDlgItem(p.dialog, 1006);
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), SendMessageA(list, CB_GETCOUNT, 0, 0) - 1);

    // The other way round frames the same.
    Drag(p.preview, to, from);
    EXPECT_EQ(Shown(p.dialog), expected);
    // In a window made larger the image is shown larger, and a drag maps through the new scale.
    RECT w;
    GetWindowRect(p.preview, &w);
    SetWindowPos(p.preview, nullptr, 0, 0, 2 * (w.right - w.left), 2 * (w.bottom - w.top), SWP_NOMOVE | SWP_NOZORDER);
    const POINT from2{2 * from.x, 2 * from.y}, to2{2 * to.x, 2 * to.y};
    Drag(p.preview, from2, to2);
    SaveScreenshot(p.preview, "preview-larger");
    const long a = ToImage(p.preview, from2.x, 582, 826), b = ToImage(p.preview, from2.y, 582, 826);
    const Frame last{a * k, b * k, (ToImage(p.preview, to2.x, 582, 826) - a) * k, (ToImage(p.preview, to2.y, 582, 826) - b) * k};
    EXPECT_EQ(Shown(p.dialog), last);

    Click(p.dialog, 1019);
    EXPECT_EQ(PreviewWindow(), nullptr) << "Scan closes the preview";
    const Dib d = p.s.Native();
    ASSERT_EQ(p.s.rc, TWRC_XFERDONE) << p.s.cc;
    EXPECT_EQ(d.header.biWidth, last.width);
    EXPECT_EQ(std::abs(d.header.biHeight), last.length);
    p.s.Pending(MSG_ENDXFER);
    // The class went with the window and comes back with the next preview.
    p.Preview();
    EXPECT_NE(p.preview, nullptr);
}

// After a drawn frame the next preview scans just that frame, in its place; a new window is
// sized to it.
TEST(Preview, NextPreviewScansTheDrawnFrame) {
    Previewed p;
    ASSERT_NE(p.preview, nullptr);
    Drag(p.preview, POINT{10, 12}, POINT{150, 200});
    const Frame drawn = Shown(p.dialog);
    DestroyWindow(p.preview);
    p.s.kit.ResetCalls();
    p.Preview();
    ASSERT_NE(p.preview, nullptr);
    const std::vector<std::string> calls = p.s.kit.Calls();
    EXPECT_EQ(FindCall(calls, "msg 0x321 tag 256 value"), -1) << "the size is the drawn one";
    ExpectInOrder(calls, {"msg 0x321 tag 286 value 0", "msg 0x321 tag 286 value " + std::to_string(drawn.x / 2),
                          "35 JexdfltScan", "msg 0x321 tag 286 value " + std::to_string(drawn.x / 2)});
    EXPECT_EQ(Shown(p.dialog), drawn);
    RECT w;
    GetWindowRect(p.preview, &w);
    EXPECT_EQ(w.right - w.left, drawn.width / 2 / 3);
    EXPECT_EQ(w.bottom - w.top, drawn.length / 2 / 3);
}

// A click, a bare line or a drag outside the window: nothing, nothing, and the image's edges.
TEST(Preview, ClicksLinesAndDragsOutside) {
    Previewed p;
    ASSERT_NE(p.preview, nullptr);
    const Frame page = Shown(p.dialog);
    struct Row {
        const char *what;
        POINT from, to;
    };
    const Row nothing[] = {{"a click", {40, 40}, {40, 40}},
                           {"a vertical line", {40, 10}, {40, 60}},
                           {"a horizontal line", {10, 40}, {60, 40}}};
    // A button released, or a mouse moved, with no drag begun in the window.
    p.s.kit.ResetCalls();
    SendMessageA(p.preview, WM_MOUSEMOVE, 0, At(50, 50));
    SendMessageA(p.preview, WM_LBUTTONUP, 0, At(60, 70));
    EXPECT_EQ(FindCall(p.s.kit.Calls(), "msg 0x321"), -1);
    for (const Row &r : nothing) {
        p.s.kit.ResetCalls();
        Drag(p.preview, r.from, r.to);
        EXPECT_EQ(FindCall(p.s.kit.Calls(), "msg 0x321 tag 28"), -1) << r.what;
        EXPECT_EQ(FindCall(p.s.kit.Calls(), "msg 0x321 tag 25"), -1) << r.what;
        EXPECT_EQ(Shown(p.dialog), page) << r.what;
    }
    // Out past the bottom-right corner and back past the top-left: clamped to the whole image.
    Drag(p.preview, POINT{-40, -30}, POINT{5000, 4000});
    const Frame all = Shown(p.dialog);
    EXPECT_EQ(all.x, 0);
    EXPECT_EQ(all.y, 0);
    EXPECT_NEAR(all.width, page.width, 2);
    EXPECT_NEAR(all.length, page.length, 2);
}

// Below 100 dpi the window is sized in proportion rather than by a divisor of nothing; a page
// that fails to scan leaves a window with nothing drawn, settings put back; an image-writing
// driver that cannot start is reported and changes nothing.
TEST(Preview, CoarseResolutionsAndFailures) {
    {
        Previewed p(WithLine(kProfile, "Scanner", "PreviewResolution=50"));
        ASSERT_NE(p.preview, nullptr);
        RECT w;
        GetWindowRect(p.preview, &w);
        const long width = (1480 * 50 / 254) * 100 / (50 * 3);
        EXPECT_NEAR(w.right - w.left, width, 1);
    }
    {
        Previewed p(WithLine(kProfile, "Faults", "a=page 1, PaperJam, always"), false);
        CbtAutoAnswer answer(IDOK, true);
        const Frame before = Shown(p.dialog);
        p.Preview();
        EXPECT_NE(p.preview, nullptr) << "the window shows no image";
        EXPECT_EQ(Shown(p.dialog), before);
        EXPECT_GE(answer.answered, 1) << "the jam was shown";
        Drag(p.preview, POINT{10, 10}, POINT{50, 50});
        EXPECT_EQ(Shown(p.dialog), before) << "no image, no frame";
    }
    {
        Previewed p(WithLine(kProfile, "Faults", "a=ordinal 70, Fault, at 2"), false);
        CbtAutoAnswer answer(IDOK, true);
        p.s.kit.ResetCalls();
        p.Preview();
        EXPECT_EQ(p.preview, nullptr);
        EXPECT_GE(answer.answered, 1) << "the failure was shown";
        const std::vector<std::string> calls = p.s.kit.Calls();
        EXPECT_EQ(CountCalls(calls, "35 JexdfltScan"), 0);
        ExpectInOrder(calls, {"msg 0x322 tag 282 value 100/1", "msg 0x322 tag 282 value 200/1"});
        EXPECT_EQ(p.s.kit.LiveImageObjects(), 0);
    }
}

// Cancel pressed while the preview scans waits for it, then closes the dialog and the preview,
// leaving no image behind.
TEST(Preview, CancelPressedDuringThePreviewScan) {
    Previewed p(WithLine(kProfile, "Scanner", "DelayMs=100"), false);
    PostMessageA(p.dialog, WM_COMMAND, MAKEWPARAM(1018, BN_CLICKED), 0);
    p.Preview();
    PumpFor(100);
    EXPECT_EQ(SettingsDialog(), nullptr);
    EXPECT_EQ(PreviewWindow(), nullptr);
    EXPECT_EQ(p.s.kit.LiveImageObjects(), 0);
    EXPECT_EQ(p.NextEvent(), MSG_CLOSEDSREQ);
}

// With bar codes found on the page scanned last, a preview opens the bar-code dialog beside its
// window (replacing the one of an earlier preview) and the title has no "no bar codes" note;
// closing the preview takes the dialog with it.
TEST(Preview, BarcodeDialogBesideThePreview) {
    Previewed p(WithLine(kProfile, "Page 1", "Barcodes=3:KIT-0002; 2:4006381333931"), false);
    Click(p.dialog, 1019);
    p.s.Native();
    ASSERT_EQ(p.s.rc, TWRC_XFERDONE) << p.s.cc;
    p.s.Pending(MSG_ENDXFER);
    p.Preview();
    ASSERT_NE(p.preview, nullptr);
    EXPECT_EQ(WindowTextOf(p.preview), "Preview");
    auto barcodeDialog = [] {
        HWND found = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM lp) CALLBACK -> BOOL {
                if (IsWindowVisible(w) && WindowTextOf(w) == "Bar Codes : <Bar code found>") *reinterpret_cast<HWND *>(lp) = w;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    };
    HWND codes = barcodeDialog();
    ASSERT_NE(codes, nullptr);
    RECT w, c;
    GetWindowRect(p.preview, &w);
    GetWindowRect(codes, &c);
    EXPECT_EQ(c.left, w.right + 1);
    EXPECT_EQ(c.top, w.top);
    EXPECT_EQ(Text(codes, 1005), "KIT-0002");
    SaveScreenshot(codes, "preview-barcodes");
    p.Preview();
    EXPECT_NE(barcodeDialog(), nullptr);
    EXPECT_FALSE(IsWindow(codes)) << "the earlier one is gone";
    DestroyWindow(p.preview);
    EXPECT_EQ(barcodeDialog(), nullptr);
}
