#include "view/viewport.h"

#include <gtest/gtest.h>

#include "shell/command_catalogue.h"

namespace lumra {
namespace {

Viewport Make(int pw, int ph, int zoom, int cw, int ch) {
    Viewport v;
    v.zoom = zoom;
    SetPictureSize(v, pw, ph);
    v.clientW = cw;
    v.clientH = ch;
    v.centreX = v.pictureW / 2;
    v.centreY = v.pictureH / 2;
    Layout(v);
    return v;
}

TEST(ViewportZoom, StepCommandsWalkTheLevels) {
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomIn, 3000, 0), 5000);  // 30 % -> 50 %
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomIn, 500, 0), 1000);   // below the lowest level
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomIn, 10000, 0), 20000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomIn, 40000, 0), 100000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomIn, 99999, 0), 100000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomIn, 100000, 0), 100000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomOut, 2500, 0), 1000);  // 25 % -> 10 %, then it stops
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomOut, 1000, 0), 1000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomOut, 600, 0), 600);    // a fit below 10 % stays
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomOut, 1001, 0), 1000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomOut, 30000, 0), 20000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomOut, 100000, 0), 40000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomOut, 100001, 0), 100000);
}

TEST(ViewportZoom, FixedLevelsToggleAndWheelSteps) {
    const int fixed[][2] = {{kCmdZoom1000, 100000}, {kCmdZoom400, 40000}, {kCmdZoom200, 20000},
                            {kCmdZoom50, 5000},     {kCmdZoom25, 2500},   {kCmdZoom10, 1000},
                            {kCmdActualSize, 10000}};
    for (const auto& f : fixed) EXPECT_EQ(ZoomAfterCommand(f[0], 3333, 777), f[1]) << f[0];
    EXPECT_EQ(ZoomAfterCommand(kCmdFit, 3333, 777), 777);
    EXPECT_EQ(ZoomAfterCommand(kCmdToggleFit, 3333, 777), 10000);
    EXPECT_EQ(ZoomAfterCommand(kCmdToggleFit, 10000, 777), 777);

    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepIn, 10000, 0), 11000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepIn, 99500, 0), 100000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepIn, 99999, 0), 100000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepIn, 100000, 0), 100000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepIn, 120000, 0), 120000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepIn, 500, 0), 1500);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepOut, 2000, 0), 1000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepOut, 1500, 0), 1000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepOut, 1000, 0), 1000);
    EXPECT_EQ(ZoomAfterCommand(kCmdZoomStepOut, 800, 0), 800);

    EXPECT_TRUE(IsZoomCommand(kCmdZoomStepOut));
    EXPECT_FALSE(IsZoomCommand(kCmdSlideShow));
    EXPECT_EQ(ZoomAfterCommand(kCmdNext, 4321, 0), 4321);
}

TEST(ViewportZoom, FitRule) {
    EXPECT_EQ(FitZoom(1600, 1200, 800, 600), 5001);
    Viewport v;
    v.zoom = FitZoom(1600, 1200, 800, 600);
    SetPictureSize(v, 1600, 1200);
    EXPECT_EQ(v.displayW, 800);
    EXPECT_EQ(v.displayH, 600);
    // The smaller quotient decides; no lower limit; at most 1000 %.
    EXPECT_EQ(FitZoom(1000, 100, 800, 600), 8001);
    EXPECT_EQ(FitZoom(100000, 100, 800, 600), 81);
    EXPECT_EQ(FitZoom(10, 10, 800, 600), 100000);
    EXPECT_EQ(FitZoom(0, 0, 3, 3), 30001);
    // A huge picture at a tiny zoom keeps a display of at least one pixel.
    v.zoom = 1;
    SetPictureSize(v, 20000, 5);
    EXPECT_EQ(v.displayW, 2);
    EXPECT_EQ(v.displayH, 1);
    // No overflow at the largest side and zoom.
    v.zoom = kZoomMax;
    SetPictureSize(v, kMaxPictureSide, kMaxPictureSide);
    EXPECT_EQ(v.displayW, kMaxPictureSide * 10);
}

TEST(ViewportZoom, FitOnChangeFollowsTheFlags) {
    Viewport v;
    v.zoom = 10000;
    SetPictureSize(v, 1600, 1200);
    FitOnChange(v, true, false, 800, 600, 1920, 1080);
    EXPECT_EQ(v.zoom, 5001);
    EXPECT_EQ(v.centreX, 800);
    EXPECT_EQ(v.centreY, 600);
    EXPECT_EQ(v.scrollShift, 1);

    v.zoom = 10000;
    FitOnChange(v, false, true, 800, 600, 1920, 1280);
    EXPECT_EQ(v.zoom, 10000);  // too large, shrinking is off
    EXPECT_EQ(v.scrollShift, 0);

    SetPictureSize(v, 100, 50);
    FitOnChange(v, true, false, 800, 600, 1920, 1080);
    EXPECT_EQ(v.zoom, 10000);  // fits, enlarging is off
    FitOnChange(v, false, true, 800, 600, 1920, 1080);
    EXPECT_EQ(v.zoom, 80001);
    EXPECT_EQ(v.displayW, 800);

    // Exactly as large as the area is not smaller: the shrink flag decides.
    v.zoom = 10000;
    SetPictureSize(v, 800, 600);
    FitOnChange(v, false, true, 800, 600, 1920, 1080);
    EXPECT_EQ(v.zoom, 10000);
    FitOnChange(v, true, false, 800, 600, 1920, 1080);
    EXPECT_EQ(v.zoom, 10001);
}

TEST(ViewportLayout, CentresSmallAxesAndCropsLargeOnes) {
    Viewport v = Make(400, 300, 20000, 500, 700);  // display 800 x 600
    EXPECT_EQ(v.dest, (ViewRect{0, 50, 500, 600}));
    EXPECT_EQ(v.src, (ViewRect{75, 0, 250, 300}));
    EXPECT_EQ(v.centreX, 200);
    EXPECT_EQ(v.centreY, 150);

    // The centre is kept inside the picture.
    v.centreX = 10;
    Layout(v);
    EXPECT_EQ(v.src.x, 0);
    EXPECT_EQ(v.centreX, 125);
    v.centreX = 399;
    Layout(v);
    EXPECT_EQ(v.src.x, 150);
    EXPECT_EQ(v.centreX, 275);

    // Both axes smaller: centred with odd leftovers rounded down.
    v = Make(101, 51, 10000, 400, 300);
    EXPECT_EQ(v.dest, (ViewRect{149, 124, 101, 51}));
    EXPECT_EQ(v.src, (ViewRect{0, 0, 101, 51}));

    // Both larger.
    v = Make(1000, 1000, 10000, 400, 300);
    EXPECT_EQ(v.dest, (ViewRect{0, 0, 400, 300}));
    EXPECT_EQ(v.src, (ViewRect{300, 350, 400, 300}));
}

TEST(ViewportMapping, ScreenToPictureRoundsHalvesAwayFromZero) {
    // 100 %: one to one, clamped.
    Viewport v = Make(400, 300, 10000, 400, 300);
    EXPECT_EQ(ScreenToPicture(v, 0, 0), (ViewPoint{0, 0}));
    EXPECT_EQ(ScreenToPicture(v, 123, 45), (ViewPoint{123, 45}));
    EXPECT_EQ(ScreenToPicture(v, -5, 999), (ViewPoint{0, 299}));

    // 200 %, scrolled horizontally.
    v = Make(400, 300, 20000, 500, 700);
    EXPECT_EQ(ScreenToPicture(v, 0, 50).x, 75);
    EXPECT_EQ(ScreenToPicture(v, 1, 50).x, 75);
    EXPECT_EQ(ScreenToPicture(v, 2, 50).x, 76);
    EXPECT_EQ(ScreenToPicture(v, 499, 50).x, 324);
    EXPECT_EQ(ScreenToPicture(v, 0, 51).y, 0);
    EXPECT_EQ(ScreenToPicture(v, 0, 52).y, 1);

    // 50 %: screen pixel 0 is the second picture pixel; x.5 goes away from zero.
    v = Make(400, 300, 5000, 400, 300);
    EXPECT_EQ(v.dest.x, 100);
    EXPECT_EQ(ScreenToPicture(v, 100, 75).x, 1);
    EXPECT_EQ(ScreenToPicture(v, 299, 75).x, 399);
    v = Make(2000, 100, 5000, 400, 300);  // source 800 wide from 600
    ASSERT_EQ(v.src.x, 600);
    EXPECT_EQ(ScreenToPicture(v, 0, 0).x, 601);   // +0.5 -> +1
    EXPECT_EQ(ScreenToPicture(v, -1, 0).x, 598);  // -1.5 -> -2

    // 300 %.
    v = Make(100, 100, 30000, 300, 300);
    EXPECT_EQ(ScreenToPicture(v, 0, 0).x, 0);
    EXPECT_EQ(ScreenToPicture(v, 2, 0).x, 0);
    EXPECT_EQ(ScreenToPicture(v, 3, 0).x, 1);
    EXPECT_EQ(ScreenToPicture(v, 299, 0).x, 99);
}

TEST(ViewportScroll, LimitsAndShifts) {
    Viewport v = Make(1000, 1000, 10000, 400, 300);
    ViewPoint s = Scroll(v, -1000, 0);
    EXPECT_EQ(v.src.x, 0);
    EXPECT_EQ(s, (ViewPoint{300, 0}));
    EXPECT_EQ(v.centreX, 200);
    s = Scroll(v, 5000, 10);
    EXPECT_EQ(v.src.x, 600);
    EXPECT_EQ(v.src.y, 360);
    EXPECT_EQ(s, (ViewPoint{-600, -10}));
    s = Scroll(v, 5, 0);
    EXPECT_EQ(s, (ViewPoint{0, 0}));

    // The screen shift is in client pixels.
    v = Make(1000, 1000, 20000, 400, 300);
    s = Scroll(v, 10, -10);
    EXPECT_EQ(s, (ViewPoint{-20, 20}));

    // Keyboard steps: 16 << shift, only along an axis that scrolls.
    v = Make(3000, 200, 10000, 400, 300);
    UpdateScrollShift(v, 1920, 1080);
    EXPECT_EQ(v.scrollShift, 1);
    const int x0 = v.src.x;
    EXPECT_TRUE(ScrollCommand(v, kCmdScrollRight, &s));
    EXPECT_EQ(v.src.x, x0 + 32);
    EXPECT_EQ(s.x, -32);
    EXPECT_FALSE(ScrollCommand(v, kCmdScrollDown));
    EXPECT_FALSE(ScrollCommand(v, kCmdScrollUp));
    EXPECT_TRUE(ScrollCommand(v, kCmdScrollLeft));
    EXPECT_EQ(v.src.x, x0);
    v = Make(400, 300, 10000, 400, 300);
    for (int id = kCmdScrollLeft; id <= kCmdScrollDown; ++id) EXPECT_FALSE(ScrollCommand(v, id));
}

TEST(ViewportScroll, EdgeCursors) {
    Viewport v = Make(1000, 1000, 10000, 400, 300);
    EXPECT_EQ(EdgeCursorIndex(v), 4);
    Scroll(v, -2000, -2000);
    EXPECT_EQ(EdgeCursorIndex(v), 0);
    Scroll(v, 5000, 0);
    EXPECT_EQ(EdgeCursorIndex(v), 2);
    Scroll(v, 0, 5000);
    EXPECT_EQ(EdgeCursorIndex(v), 8);
    Scroll(v, -300, 0);
    EXPECT_EQ(EdgeCursorIndex(v), 7);
    // A wide picture: the vertical axis does not scroll and counts as inside.
    v = Make(3000, 100, 10000, 400, 300);
    Scroll(v, -5000, 0);
    EXPECT_EQ(EdgeCursorIndex(v), 3);
}

TEST(ViewportWindow, AutoSizeKeepsTheCentreWithinTheBounds) {
    AutoSizeInput in;
    in.clientCentre = {500, 400};
    in.displayW = 300;
    in.displayH = 200;
    in.frame = {1, 20, 1, 1};
    in.bounds = {0, 0, 1000, 800};
    WindowPlacement p = AutoSizePlacement(in);
    EXPECT_EQ(p.outer, (ViewRect{349, 280, 302, 221}));
    EXPECT_EQ(p.client, (ViewRect{350, 300, 300, 200}));

    // Past the right and bottom edges: moved back in.
    in.clientCentre = {950, 790};
    p = AutoSizePlacement(in);
    EXPECT_EQ(p.outer, (ViewRect{698, 579, 302, 221}));
    // Past the left and top: pinned there.
    in.clientCentre = {100, 50};
    p = AutoSizePlacement(in);
    EXPECT_EQ(p.outer, (ViewRect{0, 0, 302, 221}));
    // Exactly at the left edge stays.
    in.clientCentre = {151, 400};
    EXPECT_EQ(AutoSizePlacement(in).outer.x, 0);

    // Larger than the bounds: limited to them.
    in.clientCentre = {500, 400};
    in.displayW = 2000;
    in.displayH = 900;
    p = AutoSizePlacement(in);
    EXPECT_EQ(p.outer, (ViewRect{0, 0, 1000, 800}));
    EXPECT_EQ(p.client, (ViewRect{1, 20, 998, 779}));

    // A restricting rectangle away from the origin.
    in.bounds = {100, 50, 500, 400};
    in.displayW = 100;
    in.displayH = 100;
    in.clientCentre = {700, 500};
    p = AutoSizePlacement(in);
    EXPECT_EQ(p.outer, (ViewRect{498, 329, 102, 121}));

    // The title bar's minimum width: wider window, picture in its middle.
    in.bounds = {0, 0, 1000, 800};
    in.displayW = 50;
    in.displayH = 50;
    in.minOuterWidth = 120;
    in.clientCentre = {500, 400};
    p = AutoSizePlacement(in);
    EXPECT_EQ(p.outer.w, 120);
    EXPECT_EQ(p.client.x + p.client.w / 2, 500);
}

TEST(ViewportWindow, CentreAndCornerRules) {
    const FrameExtents frame{1, 20, 1, 1};
    EXPECT_EQ(CentredPlacement(302, 221, frame, 300, 200, ViewRect{0, 0, 1000, 800}), (ViewRect{349, 280, 302, 221}));
    EXPECT_EQ(CentredPlacement(1200, 900, frame, 1198, 879, ViewRect{10, 20, 1000, 800}),
              (ViewRect{10, 20, 1200, 900}));
    EXPECT_EQ(CornerDragWidth(300, 400, 300, frame, 0), 402);
    EXPECT_EQ(CornerDragWidth(150, 400, 300, frame, 0), 202);
    EXPECT_EQ(CornerDragWidth(30, 400, 300, frame, 120), 120);
}

TEST(ViewportGestures, RubberBand) {
    Viewport v = Make(400, 300, 10000, 400, 300);
    int zoom = 0;
    ViewPoint centre;
    EXPECT_FALSE(AreaZoom(v, {100, 100}, {108, 150}, 400, 300, &zoom, &centre));  // 8 x 50
    EXPECT_FALSE(AreaZoom(v, {100, 100}, {150, 92}, 400, 300, &zoom, &centre));   // 50 x 8
    EXPECT_EQ(zoom, 0);
    ASSERT_TRUE(AreaZoom(v, {200, 150}, {100, 100}, 400, 300, &zoom, &centre));  // dragged up-left
    EXPECT_EQ(zoom, 40001);
    EXPECT_EQ(centre, (ViewPoint{150, 125}));
    ASSERT_TRUE(AreaZoom(v, {0, 0}, {9, 9}, 400, 300, &zoom, &centre));
    EXPECT_EQ(zoom, 100000);
}

TEST(ViewportGestures, WheelDirections) {
    WheelSettings s;
    EXPECT_EQ(WheelCommand(-120, false, false, s), kCmdZoomStepIn);  // towards the user
    EXPECT_EQ(WheelCommand(120, false, false, s), kCmdZoomStepOut);
    EXPECT_EQ(WheelCommand(-120, true, false, s), kCmdNext);
    EXPECT_EQ(WheelCommand(120, true, false, s), kCmdPrevious);
    EXPECT_EQ(WheelCommand(0, false, false, s), 0);
    s.wheelRev = 1;
    EXPECT_EQ(WheelCommand(-120, false, false, s), kCmdZoomStepOut);
    EXPECT_EQ(WheelCommand(120, false, false, s), kCmdZoomStepIn);
    EXPECT_EQ(WheelCommand(-120, true, false, s), kCmdNext);  // browsing is not reversed
    s = WheelSettings{1, 0, 0};
    EXPECT_EQ(WheelCommand(-120, false, false, s), kCmdNext);
    EXPECT_EQ(WheelCommand(-120, true, false, s), kCmdZoomStepIn);
    EXPECT_EQ(WheelCommand(-120, false, true, s), kCmdZoomStepIn);  // full screen has its own
    s.fsWheel = 3;                                                  // only the lowest bit
    EXPECT_EQ(WheelCommand(120, false, true, s), kCmdPrevious);
}

TEST(ViewportGestures, ClickActions) {
    EXPECT_EQ(ClickActionCommand(0), kCmdExit);
    EXPECT_EQ(ClickActionCommand(1), kCmdEditWindow);
    EXPECT_EQ(ClickActionCommand(2), kCmdFullScreen);
    EXPECT_EQ(ClickActionCommand(3), kCmdMinimize);
    EXPECT_EQ(ClickActionCommand(4), kCmdExit);
    EXPECT_EQ(ClickActionCommand(-1), kCmdExit);
    EXPECT_EQ(MiddleClickCommand(10000), kCmdFit);
    EXPECT_EQ(MiddleClickCommand(10001), kCmdActualSize);
}

TEST(ViewportGestures, PixelReadout) {
    ImageBuffer rgb;
    ASSERT_TRUE(rgb.Allocate(3, 2, 24));
    uint8_t* top = rgb.topRow(0);
    top[3] = 30;  // (1, 0): blue, green, red
    top[4] = 20;
    top[5] = 10;
    rgb.topRow(1)[6] = 255;
    Viewport v = Make(3, 2, 10000, 10, 10);  // centred at (3, 4)
    EXPECT_EQ(PixelReadoutText(v, rgb, 4, 4), "r:10  g:20  b:30");
    EXPECT_EQ(PixelReadoutText(v, rgb, 5, 5), "r:0  g:0  b:255");
    EXPECT_EQ(PixelReadoutText(v, rgb, 2, 4), "r:-  g:-  b:-");
    EXPECT_EQ(PixelReadoutText(v, rgb, 6, 4), "r:-  g:-  b:-");
    EXPECT_EQ(PixelReadoutText(v, ImageBuffer{}, 4, 4), "r:-  g:-  b:-");

    ImageBuffer pal;
    ASSERT_TRUE(pal.Allocate(5, 1, 8));
    pal.palette[7] = RgbQuad{3, 2, 1, 0};
    pal.topRow(0)[4] = 7;
    v = Make(5, 1, 20000, 10, 2);
    EXPECT_EQ(PixelReadoutText(v, pal, 9, 0), "r:1  g:2  b:3");
    EXPECT_EQ(PixelReadoutText(v, pal, 0, 1), "r:0  g:0  b:0");

    ImageBuffer four;
    ASSERT_TRUE(four.Allocate(3, 1, 4));
    four.palette[0xC] = RgbQuad{9, 8, 7, 0};
    four.topRow(0)[1] = 0xC0;
    v = Make(3, 1, 10000, 3, 1);
    EXPECT_EQ(PixelReadoutText(v, four, 2, 0), "r:7  g:8  b:9");
}

}  // namespace
}  // namespace lumra
