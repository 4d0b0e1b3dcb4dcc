// The navigator's thumbnail, outlined rectangle and placement.
#include <gtest/gtest.h>

#include "view/navigator.h"

namespace lumra {
namespace {

TEST(Navigator, ThumbnailFollowsTheLongerSide) {
    const NavigatorThumb wide = LayoutNavigatorThumb(3000, 1000);
    EXPECT_EQ(wide.scale, 500);
    EXPECT_EQ(wide.width, 150);
    EXPECT_EQ(wide.height, 50);

    const NavigatorThumb tall = LayoutNavigatorThumb(1000, 3000);
    EXPECT_EQ(tall.scale, 500);
    EXPECT_EQ(tall.width, 50);
    EXPECT_EQ(tall.height, 150);

    // Square pictures take the height branch; the quotient is truncated.
    const NavigatorThumb square = LayoutNavigatorThumb(7000, 7000);
    EXPECT_EQ(square.scale, 214);
    EXPECT_EQ(square.width, 149);  // 7000 * 214 / 10000
    EXPECT_EQ(square.height, 150);

    const NavigatorThumb odd = LayoutNavigatorThumb(1601, 1200);
    EXPECT_EQ(odd.scale, 936);
    EXPECT_EQ(odd.width, 150);
    EXPECT_EQ(odd.height, 112);

    // Small pictures are enlarged to 150.
    const NavigatorThumb small = LayoutNavigatorThumb(40, 30);
    EXPECT_EQ(small.scale, 37500);
    EXPECT_EQ(small.width, 150);
    EXPECT_EQ(small.height, 112);
}

TEST(Navigator, ExtremeStripsKeepAVisibleThumbnail) {
    const NavigatorThumb strip = LayoutNavigatorThumb(30000, 10);
    EXPECT_EQ(strip.width, 150);
    EXPECT_EQ(strip.height, 1);
    const NavigatorThumb column = LayoutNavigatorThumb(1, 40000);
    EXPECT_EQ(column.width, 1);
    EXPECT_EQ(column.height, 150);
    const NavigatorThumb none = LayoutNavigatorThumb(0, 0);
    EXPECT_EQ(none.width, 150);
    EXPECT_EQ(none.height, 150);
}

TEST(Navigator, OutlinedRectangle) {
    const NavigatorThumb thumb = LayoutNavigatorThumb(3000, 1000);
    // 800 x 600 of the picture at (1000, 200).
    NavigatorFrame f = NavigatorFrameFor(thumb, 1000, 200, 800, 600);
    EXPECT_EQ(f.left, 50);
    EXPECT_EQ(f.top, 10);
    EXPECT_EQ(f.right, 90);
    EXPECT_EQ(f.bottom, 40);

    // At the right and bottom edges the rectangle stops one pixel inside.
    f = NavigatorFrameFor(thumb, 2200, 400, 800, 600);
    EXPECT_EQ(f.left, 150 - 40 - 1);
    EXPECT_EQ(f.right, 149);
    EXPECT_EQ(f.top, 50 - 30 - 1);
    EXPECT_EQ(f.bottom, 49);

    // The whole height visible: the rectangle spans it from the top.
    f = NavigatorFrameFor(thumb, 1500, 0, 600, 1000);
    EXPECT_EQ(f.left, 75);
    EXPECT_EQ(f.top, 0);
    EXPECT_EQ(f.bottom, 50);

    // Source rectangles smaller than one thumbnail pixel give an empty rectangle.
    f = NavigatorFrameFor(thumb, 0, 0, 10, 10);
    EXPECT_EQ(f.right - f.left, 0);
    EXPECT_EQ(f.bottom - f.top, 0);
}

TEST(Navigator, LargePicturesDoNotOverflow) {
    const NavigatorThumb thumb = LayoutNavigatorThumb(60000, 50000);
    EXPECT_EQ(thumb.scale, 25);
    const NavigatorFrame f = NavigatorFrameFor(thumb, 59000, 49000, 1000, 1000);
    EXPECT_EQ(f.right, 149);
    EXPECT_EQ(f.left, 149 - 2);
    EXPECT_EQ(f.bottom, 124);
}

TEST(Navigator, PlacementStaysInsideTheWorkArea) {
    const NavigatorThumb thumb = LayoutNavigatorThumb(3000, 1000);
    NavigatorPlacement at = PlaceNavigator(thumb, 100, 80, 1920, 0);
    EXPECT_EQ(at.x, 100);
    EXPECT_EQ(at.y, 80);
    EXPECT_EQ(at.width, 154);
    EXPECT_EQ(at.height, 54);
    // Near the right edge it moves left so that its right edge is the work area's.
    at = PlaceNavigator(thumb, 1800, 80, 1920, 0);
    EXPECT_EQ(at.x, 1920 - 154);
    at = PlaceNavigator(thumb, 1766, 80, 1920, 0);
    EXPECT_EQ(at.x, 1766);
    at = PlaceNavigator(thumb, 1767, 80, 1920, 0);
    EXPECT_EQ(at.x, 1766);
    // Never above the screen.
    at = PlaceNavigator(thumb, 10, -30, 1920, 0);
    EXPECT_EQ(at.y, 0);
}

}  // namespace
}  // namespace lumra
