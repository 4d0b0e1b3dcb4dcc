// The navigator's geometry: the thumbnail of the whole picture, the outlined part that
// the view shows, and where the small window goes.
#pragma once

namespace lumra {

inline constexpr int kNavigatorThumbSide = 150;
// The window is the thumbnail plus a 2-pixel border on each side.
inline constexpr int kNavigatorBorder = 2;

struct NavigatorThumb {
    int width = 1;
    int height = 1;
    int scale = 0;  // thumbnail pixels per 10000 picture pixels
};

// The thumbnail of a w x h picture: the longer side becomes 150.
NavigatorThumb LayoutNavigatorThumb(int w, int h);

// The outlined rectangle in thumbnail pixels; right and bottom are exclusive.
struct NavigatorFrame {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The rectangle for the source rectangle (picture pixels, top-down) the view draws.
NavigatorFrame NavigatorFrameFor(const NavigatorThumb& thumb, int sourceX, int sourceY, int sourceWidth,
                                 int sourceHeight);

struct NavigatorPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// At the main window's top-left corner (outer frame), moved left so that it stays inside
// the work area's right edge, and not above the screen's top.
NavigatorPlacement PlaceNavigator(const NavigatorThumb& thumb, int mainLeft, int mainTop, int workRight,
                                  int screenTop);

}  // namespace lumra
