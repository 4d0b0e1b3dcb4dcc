// The view's picture geometry: zoom, fit, layout, scrolling and the mapping between
// client and picture pixels, plus the small rules of the main window's gestures.
#pragma once

#include <string>

#include "formats/image_buffer.h"

namespace lumra {

inline constexpr int kZoomMin = 1000;     // 10 %
inline constexpr int kZoomActual = 10000;  // 100 %
inline constexpr int kZoomMax = 100000;   // 1000 %
inline constexpr int kNoPictureWidth = 400;
inline constexpr int kNoPictureHeight = 300;

struct ViewRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    int right() const { return x + w; }    // exclusive
    int bottom() const { return y + h; }   // exclusive
    bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
    friend bool operator==(const ViewRect&, const ViewRect&) = default;
};

struct ViewPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ViewPoint&, const ViewPoint&) = default;
};

struct Viewport {
    int clientW = kNoPictureWidth;
    int clientH = kNoPictureHeight;
    int pictureW = kNoPictureWidth;
    int pictureH = kNoPictureHeight;
    int zoom = kZoomActual;  // hundredths of a percent
    int displayW = kNoPictureWidth;
    int displayH = kNoPictureHeight;
    ViewRect dest;  // client pixels
    ViewRect src;   // picture pixels, top-down
    int centreX = kNoPictureWidth / 2;
    int centreY = kNoPictureHeight / 2;
    int scrollShift = 0;
    ViewPoint anchor;  // button-down point of a drag
    ViewPoint corner;  // moving corner of a drag
};

// The picture size (sides below 1 count as 1); the display size follows.
void SetPictureSize(Viewport& v, int w, int h);
// Display size from picture size and zoom: integer division, each side at least 1.
void UpdateDisplaySize(Viewport& v);

// The zoom that fits a w x h picture into aw x ah: min of the two quotients + 1, at
// most kZoomMax, no lower limit.
int FitZoom(int w, int h, int aw, int ah);

bool IsZoomCommand(int id);
// The zoom a zoom command gives from zoom z; fitZoom is the result of the fit rule for
// the Fit command (and for the 100 %/fit toggle at 100 %). Not a zoom command: z.
int ZoomAfterCommand(int id, int z, int fitZoom);

// 1 when the picture is wider or taller than the screen, else 0.
void UpdateScrollShift(Viewport& v, int screenW, int screenH);

// After a picture change: fit only when the picture at the current zoom does not fit
// and shrink is set, or fits in both directions and enlarge is set; the centre goes to
// the middle of the picture.
void FitOnChange(Viewport& v, bool shrink, bool enlarge, int aw, int ah, int screenW, int screenH);

// Destination and source rectangles from zoom, client size and centre.
void Layout(Viewport& v);

// The picture point under a client point, clamped to the picture.
ViewPoint ScreenToPicture(const Viewport& v, int sx, int sy);

// Moves the source origin by (dx, dy) picture pixels within the picture. Returns the
// shift of the drawn pixels on screen (old origin - new origin, in client pixels).
ViewPoint Scroll(Viewport& v, int dx, int dy);
// Scroll commands 5650-5653: 16 << scroll shift, only along an axis that scrolls.
// False when nothing moved.
bool ScrollCommand(Viewport& v, int id, ViewPoint* shift = nullptr);

// Which picture edges the source rectangle touches: column 0 left edge, 1 inside,
// 2 right edge; row likewise; the result is row * 3 + column. An axis that does not
// scroll counts as inside.
int EdgeCursorIndex(const Viewport& v);

// ---- Window geometry ----

// What the window system adds around the client.
struct FrameExtents {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return left + right; }
    int height() const { return top + bottom; }
};

struct AutoSizeInput {
    ViewPoint clientCentre;  // screen point at the middle of the current client
    int displayW = 0;
    int displayH = 0;
    FrameExtents frame;
    int minOuterWidth = 0;  // with the title bar: the smallest window width, else 0
    ViewRect bounds;        // work area or the restricting rectangle
};

struct WindowPlacement {
    ViewRect outer;   // the window with its frame
    ViewRect client;  // the client area inside it
};

// Size and place the normal window around the displayed picture.
WindowPlacement AutoSizePlacement(const AutoSizeInput& in);

// The client centred in the bounds, never beyond their top-left.
ViewRect CentredPlacement(int outerW, int outerH, const FrameExtents& frame, int clientW, int clientH,
                          const ViewRect& bounds);

// Corner drag: the outer width that keeps the picture's aspect for a client height.
int CornerDragWidth(int clientH, int pictureW, int pictureH, const FrameExtents& frame, int minOuterWidth);

// Rubber band from anchor to corner (client points): false when narrower or lower than
// 9 pixels; else the zoom that fills aw x ah with the selected area and the centre.
bool AreaZoom(const Viewport& v, ViewPoint a, ViewPoint b, int aw, int ah, int* zoom, ViewPoint* centre);

// ---- Gestures ----

struct WheelSettings {
    int wheel = 0;     // normal display: 0 zoom, 1 browse
    int fsWheel = 0;   // full screen
    int wheelRev = 0;  // swap the zoom directions
};

// One wheel notch: delta > 0 forward (away from the user). ctrlOnly: Ctrl and no other
// key or button held. The command to run, 0 for none.
int WheelCommand(int delta, bool ctrlOnly, bool fullScreen, const WheelSettings& s);

// DClick / LRClick setting value to the command it runs.
int ClickActionCommand(int value);

// Middle click: Fit at 100 %, else 100 % around the point under the pointer.
int MiddleClickCommand(int zoom);

// "r:R  g:G  b:B" for the picture point under the client point, "r:-  g:-  b:-" outside.
std::string PixelReadoutText(const Viewport& v, const ImageBuffer& image, int sx, int sy);

}  // namespace lumra
