#include "view/navigator.h"

#include <algorithm>
#include <cstdint>

namespace lumra {

namespace {

int ScaleBy(int scale, int value) {
    return static_cast<int>(static_cast<int64_t>(scale) * value / 10000);
}

}  // namespace

NavigatorThumb LayoutNavigatorThumb(int w, int h) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    NavigatorThumb thumb;
    if (h < w) {
        thumb.scale = 1500000 / w;
        thumb.width = kNavigatorThumbSide;
        thumb.height = ScaleBy(thumb.scale, h);
    } else {
        thumb.scale = 1500000 / h;
        thumb.height = kNavigatorThumbSide;
        thumb.width = ScaleBy(thumb.scale, w);
    }
    // A very long strip still gets a visible thumbnail.
    thumb.width = std::clamp(thumb.width, 1, kNavigatorThumbSide);
    thumb.height = std::clamp(thumb.height, 1, kNavigatorThumbSide);
    return thumb;
}

NavigatorFrame NavigatorFrameFor(const NavigatorThumb& thumb, int sourceX, int sourceY, int sourceWidth,
                                 int sourceHeight) {
    const int s = thumb.scale;
    const int w = ScaleBy(s, std::max(sourceWidth, 0));
    const int h = ScaleBy(s, std::max(sourceHeight, 0));
    NavigatorFrame frame;
    frame.left = std::min(ScaleBy(s, sourceX), thumb.width - w - 1);
    frame.top = std::min(ScaleBy(s, sourceY), thumb.height - h - 1);
    // A part as wide (or high) as the picture starts at the thumbnail's edge, not before it.
    frame.left = std::max(frame.left, 0);
    frame.top = std::max(frame.top, 0);
    frame.right = frame.left + w;
    frame.bottom = frame.top + h;
    return frame;
}

NavigatorPlacement PlaceNavigator(const NavigatorThumb& thumb, int mainLeft, int mainTop, int workRight,
                                  int screenTop) {
    NavigatorPlacement at;
    at.width = thumb.width + 2 * kNavigatorBorder;
    at.height = thumb.height + 2 * kNavigatorBorder;
    at.x = mainLeft;
    if (at.x + at.width > workRight) at.x = workRight - at.width;
    at.y = std::max(mainTop, screenTop);
    return at;
}

}  // namespace lumra
