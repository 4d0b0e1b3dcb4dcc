// The trimming frame: the rectangle drawn with the mouse on the preview pane or typed as
// coordinates, optionally held to a width:height ratio, as a state machine the pane drives.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "edit/geometry/geometry_settings.h"
#include "edit/geometry/turn.h"
#include "formats/image_buffer.h"

namespace lumra {

// The edit window's mapping between preview-pane and picture coordinates.
struct ViewMapping {
    double scale = 1;                // view pixels per picture pixel
    double originX = 0, originY = 0;  // view position of the picture's top-left corner
    // The displayed part of the picture in view pixels, inclusive.
    int visibleLeft = 0, visibleTop = 0, visibleRight = 0, visibleBottom = 0;

    int ToPictureX(int vx) const { return static_cast<int>(std::floor((vx - originX) / scale)); }
    int ToPictureY(int vy) const { return static_cast<int>(std::floor((vy - originY) / scale)); }
    // The near edge of a pixel, or with far its last view pixel (the near one when a zoomed-out
    // pixel has less than one).
    int ToViewX(int px, bool far = false) const { return ToView(originX, px, far); }
    int ToViewY(int py, bool far = false) const { return ToView(originY, py, far); }

private:
    int ToView(double origin, int p, bool far) const {
        const int nearEdge = static_cast<int>(std::floor(origin + p * scale));
        if (!far) return nearEdge;
        return std::max(nearEdge, static_cast<int>(std::floor(origin + (p + 1) * scale)) - 1);
    }
};

enum TrimArea : int {
    kAreaNone = 0,
    kAreaLeft = 1,
    kAreaTop = 2,
    kAreaRight = 3,
    kAreaBottom = 4,
    kAreaTopLeft = 5,
    kAreaTopRight = 6,
    kAreaBottomRight = 7,
    kAreaBottomLeft = 8,
    kAreaInside = 9,
};
enum class TrimCursor { kArrow, kDiagonalDown, kDiagonalUp, kHorizontal, kVertical, kMove };
TrimCursor CursorForArea(int area);

inline constexpr int kTrimStartDistance = 8;  // view pixels (|dx| + |dy|) before a drag draws
inline constexpr int kTrimTolerance = 7;      // view pixels around an edge

struct TrimViewRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct TrimFrame {
    enum State : int { kIdle = 0, kPressed = 1, kDrawing = 2, kSettled = 3, kAdjusting = 4 };
    int width = 0, height = 0;  // the picture
    int state = kIdle;
    bool hasRect = false;
    PictureRect rect;
    std::array<RatioEntry, 9> ratios{};
    int ratio = 0;
    // Drawing: corner 1 (press point) and corner 2 in view and picture coordinates.
    int pressX = 0, pressY = 0;
    int corner1X = 0, corner1Y = 0;  // picture
    int corner2VX = 0, corner2VY = 0;
    int corner2X = 0, corner2Y = 0;  // picture
    // The "W:" and "H:" statics.
    int shownW = 0, shownH = 0;
    // Adjusting: the area held and the rectangle when the button went down.
    int area = kAreaNone;
    PictureRect pressRect;

    void Start(int pictureWidth, int pictureHeight, const std::array<RatioEntry, 9>& table, int selected);

    void Press(const ViewMapping& m, int vx, int vy);
    void Move(const ViewMapping& m, int vx, int vy);
    void Release(const ViewMapping& m, int vx, int vy);
    int HitArea(const ViewMapping& m, int vx, int vy) const;

    // The box of coordinate which (0 X1, 1 Y1, 2 X2, 3 Y2): its range now.
    std::pair<int, int> Range(int which) const;
    // A typed coordinate; false when a ratio could not be kept (the box shows the old value).
    bool TypeCoordinate(int which, int value);
    // List index 0..8, or kListRegister: true when "縦横比登録" is to open (the list then
    // goes back to the ratio in use).
    bool ChooseRatio(int index);

    const RatioEntry* ActiveRatio() const;
    // The rubber rectangle while drawing or adjusting, in view pixels.
    TrimViewRect Rubber(const ViewMapping& m) const;

    bool BoxesEnabled() const { return hasRect; }
    bool ZoomEnabled() const { return state == kSettled || state == kAdjusting; }
    bool AcceleratorsSuspended() const { return state != kSettled; }
    bool CapturesMouse() const { return state == kPressed || state == kDrawing || state == kAdjusting; }
    // Whether OK changes the picture: a rectangle that is not the whole picture.
    bool Changes() const;

private:
    void SetShown();
    void DrawTo(const ViewMapping& m, int vx, int vy);
    void Adjust(const ViewMapping& m, int vx, int vy);
};

// The trimming preview: the outside of the rectangle at half brightness, the inside as is;
// src and dst 24-bit of the same size. Without a rectangle dst is a plain copy.
void RenderTrimPreview(const ImageBuffer& src, ImageBuffer& dst, const PictureRect* rect);

}  // namespace lumra
