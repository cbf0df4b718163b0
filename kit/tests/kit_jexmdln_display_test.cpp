// The display functions of the virtual jexmdln against a real window: start and end nest, 42 draws
// where 43 says an image pixel lands, and 43 and 44 undo each other.
#include "kit_jexmdln_helpers.h"
#include "win_helpers.h"

using namespace kittest;

namespace {

constexpr LONG kFit = 7;  // what the preview window passes: fit, keep aspect, top-left

struct DisplayGuard {  // every test leaves the display library as it found it
    DisplayGuard() { EXPECT_EQ(0, JexmDisplayStart()); }
    ~DisplayGuard() { EXPECT_EQ(0, JexmDisplayEnd()); }
};

HWND MakeWindow(int clientWidth, int clientHeight) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KitJexmDisplayTest";
    RegisterClassA(&wc);  // a second registration fails harmlessly
    HWND w = CreateWindowExA(WS_EX_TOPMOST, "KitJexmDisplayTest", "jexm", WS_POPUP | WS_VISIBLE, 0, 0, clientWidth,
                             clientHeight, nullptr, nullptr, wc.hInstance, nullptr);
    PumpFor(50);
    return w;
}

// A white page (8-bit RGB) with a red square.
Page SquarePage(int width, int length, int left, int top, int side) {
    Page p = MakePage(width, length, 8, 3, 2);
    for (int y = 0; y < length; ++y)
        for (int x = 0; x < width; ++x) {
            bool in = x >= left && x < left + side && y >= top && y < top + side;
            int *s = &p.s[((size_t)y * width + x) * 3];
            s[0] = 255;
            s[1] = s[2] = in ? 0 : 255;
        }
    return p;
}

TEST(KitJexmDisplay, StartAndEndNest) {
    Page page = MakePage(30, 30, 8, 1, 1);
    HJEXM image = LoadPage(page);
    HJEXMZONE zone = MakeZone();
    POINT pt = {1, 1};
    RECT area = {0, 0, 10, 10};
    EXPECT_EQ(JEXM_ERR_DISPLAY, JexmImageToWindow(nullptr, nullptr, image, zone, 0x8000, (LONG)(uintptr_t)&area, kFit, &pt, 1));
    EXPECT_EQ(JEXM_ERR_DISPLAY, JexmDisplayEnd()) << "end without start";
    ASSERT_EQ(0, JexmDisplayStart());
    ASSERT_EQ(0, JexmDisplayStart());
    EXPECT_EQ(0, JexmDisplayEnd());
    EXPECT_EQ(0, JexmImageToWindow(nullptr, nullptr, image, zone, 0x8000, (LONG)(uintptr_t)&area, kFit, &pt, 1))
        << "still started once";
    EXPECT_EQ(0, JexmDisplayEnd());
    EXPECT_EQ(JEXM_ERR_DISPLAY, JexmDisplayEnd());
    JexmFreeZone(zone);
    JexmFreeImage(image);
}

// A 100-dpi page of 600 x 450 in a 200 x 150 window: one third of its size, as the preview expects.
TEST(KitJexmDisplay, DrawnPixelIsWhereTheMappingSays) {
    DisplayGuard display;
    HWND window = MakeWindow(200, 150);
    ASSERT_NE(nullptr, window);
    Page page = SquarePage(600, 450, 300, 150, 30);
    HJEXM image = LoadPage(page);
    HJEXMZONE zone = MakeZone();
    ASSERT_EQ(0, JexmSetZoneTag(zone, 4096, 0, 1, 1));
    ASSERT_EQ(0, JexmSetZoneTag(zone, 4098, 0, 1, 4));
    HDC dc = GetDC(window);
    ASSERT_EQ(0, JexmDisplayDraw(window, dc, image, zone, 0x8000, 0, 0, 0, 0, kFit, 0, 0));

    POINT centre = {315, 165};
    ASSERT_EQ(0, JexmImageToWindow(window, dc, image, zone, 0x8000, 0, kFit, &centre, 1));
    EXPECT_EQ(105, centre.x);
    EXPECT_EQ(55, centre.y);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, centre.x, centre.y) & 0xFFFFFF) << "the red square";
    POINT outside = {200, 100};
    ASSERT_EQ(0, JexmImageToWindow(window, dc, image, zone, 0x8000, 0, kFit, &outside, 1));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, outside.x, outside.y) & 0xFFFFFF);
    POINT corner = {600, 450};  // what the preview clamps the mouse to
    ASSERT_EQ(0, JexmImageToWindow(window, dc, image, zone, 0x8000, 0, kFit, &corner, 1));
    EXPECT_EQ(200, corner.x);
    EXPECT_EQ(150, corner.y);

    // Window -> image -> window is the identity when the image is shrunk.
    for (LONG y = -5; y < 160; y += 7)
        for (LONG x = -5; x < 210; x += 3) {
            POINT p[2] = {{x, y}, {x + 1, y + 2}};
            ASSERT_EQ(0, JexmWindowToImage(window, dc, image, zone, 0x8000, 0, kFit, p, 2));
            ASSERT_EQ(0, JexmImageToWindow(window, dc, image, zone, 0x8000, 0, kFit, p, 2));
            ASSERT_TRUE(p[0].x == x && p[0].y == y && p[1].x == x + 1 && p[1].y == y + 2) << x << "," << y;
        }
    ReleaseDC(window, dc);
    DestroyWindow(window);
    JexmFreeZone(zone);
    JexmFreeImage(image);
}

// An image smaller than the window is enlarged; image -> window -> image is then the identity,
// and a given drawing area (no window) uses the same mapping, offset by the area's corner.
TEST(KitJexmDisplay, EnlargedImageAndGivenArea) {
    DisplayGuard display;
    HWND window = MakeWindow(240, 200);
    Page page = SquarePage(60, 40, 20, 10, 8);
    HJEXM image = LoadPage(page);
    HJEXMZONE zone = MakeZone();
    HDC dc = GetDC(window);
    RECT area = {10, 20, 130, 120};  // 120 x 100: scale 2 (the width decides)
    ASSERT_EQ(0, JexmDisplayDraw(nullptr, dc, image, zone, 0x8000, (LONG)(uintptr_t)&area, 0, 0, 0, 2 | 1, 0, 0));
    for (LONG y = 0; y <= 40; y += 3)
        for (LONG x = 0; x <= 60; x += 5) {
            POINT p = {x, y};
            ASSERT_EQ(0, JexmImageToWindow(nullptr, dc, image, zone, 0x8000, (LONG)(uintptr_t)&area, 3, &p, 1));
            ASSERT_EQ(10 + 2 * x, p.x);
            ASSERT_EQ(20 + 2 * y, p.y);
            ASSERT_EQ(0, JexmWindowToImage(nullptr, dc, image, zone, 0x8000, (LONG)(uintptr_t)&area, 3, &p, 1));
            ASSERT_TRUE(p.x == x && p.y == y);
        }
    POINT red = {23, 13};
    ASSERT_EQ(0, JexmImageToWindow(nullptr, dc, image, zone, 0x8000, (LONG)(uintptr_t)&area, 3, &red, 1));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, red.x + 1, red.y + 1) & 0xFFFFFF);
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 10 + 2 * 40, 20 + 2 * 30) & 0xFFFFFF);

    // Refusals: no window and no area, a destroyed window, unknown flags and modes, no points.
    POINT pt = {0, 0};
    EXPECT_EQ(JEXM_ERR_BADWINDOW, JexmImageToWindow(nullptr, nullptr, image, zone, 0x8000, 0, kFit, &pt, 1));
    EXPECT_EQ(JEXM_ERR_BADARG, JexmImageToWindow(window, dc, image, zone, 0x4000, 0, kFit, &pt, 1));
    EXPECT_EQ(JEXM_ERR_BADARG, JexmImageToWindow(window, dc, image, zone, 0x8000, 0, 8, &pt, 1));
    EXPECT_EQ(JEXM_ERR_NULLARG, JexmImageToWindow(window, dc, image, zone, 0x8000, 0, kFit, nullptr, 1));
    EXPECT_EQ(JEXM_ERR_BADARG, JexmImageToWindow(window, dc, image, zone, 0x8000, 0, kFit, &pt, 0));
    EXPECT_EQ(JEXM_ERR_BADARG, JexmDisplayDraw(window, dc, image, zone, 0x8000, 0, 0, 1, 0, kFit, 0, 0));
    RECT zero = {0, 0, 0, 0}, part = {20, 10, 28, 18};
    EXPECT_EQ(0, JexmDisplayDraw(window, dc, image, zone, 0x8000, 0, (LONG)(uintptr_t)&zero, 0, 0, kFit, 0, 0));
    EXPECT_EQ(0, JexmDisplayDraw(window, dc, image, zone, 0x8000, 0, (LONG)(uintptr_t)&part, 0, 0, kFit, 0, 0));
    RECT badSource = {0, 0, 61, 40};
    EXPECT_EQ(JEXM_ERR_BADRECT,
              JexmDisplayDraw(window, dc, image, zone, 0x8000, 0, (LONG)(uintptr_t)&badSource, 0, 0, kFit, 0, 0));
    EXPECT_EQ(JEXM_ERR_BADIMAGE, JexmDisplayDraw(window, dc, nullptr, zone, 0x8000, 0, 0, 0, 0, kFit, 0, 0));
    ReleaseDC(window, dc);
    DestroyWindow(window);
    EXPECT_EQ(JEXM_ERR_BADWINDOW, JexmDisplayDraw(window, nullptr, image, zone, 0x8000, 0, 0, 0, 0, kFit, 0, 0));
    JexmFreeZone(zone);
    JexmFreeImage(image);
}

}  // namespace
