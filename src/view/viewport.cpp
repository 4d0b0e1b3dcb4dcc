#include "view/viewport.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "shell/command_catalogue.h"

namespace lumra {

namespace {

constexpr int kZoomLevels[] = {1000, 2500, 5000, 10000, 20000, 40000, 100000};
constexpr int kRubberBandMin = 9;
constexpr int kScrollStep = 16;

int ClampInt(int64_t v, int lo, int hi) {
    if (hi < lo) hi = lo;
    return static_cast<int>(std::clamp<int64_t>(v, lo, hi));
}

// num / den rounded, halves away from zero (den > 0).
int64_t RoundDivHalfAway(int64_t num, int64_t den) {
    if (num >= 0) return (2 * num + den) / (2 * den);
    return -((-2 * num + den) / (2 * den));
}

// One axis of Layout.
void LayoutAxis(int client, int display, int picture, int zoom, int& centre, int& destPos, int& destLen, int& srcPos,
                int& srcLen) {
    if (display > client) {
        destPos = 0;
        destLen = client;
        srcLen = ClampInt(static_cast<int64_t>(client) * kZoomActual / std::max(zoom, 1), 1, picture);
        srcPos = ClampInt(static_cast<int64_t>(centre) - srcLen / 2, 0, picture - srcLen);
    } else {
        destLen = display;
        destPos = (client - display) / 2;
        srcPos = 0;
        srcLen = picture;
    }
    centre = srcPos + srcLen / 2;
}

int MapAxis(int s, int destPos, int destLen, int srcPos, int srcLen, int picture) {
    if (destLen <= 0) return 0;
    // ((s - dest) * srcLen - (destLen - srcLen) / 2) / destLen, kept exact by doubling.
    const int64_t num = 2 * static_cast<int64_t>(s - destPos) * srcLen - (static_cast<int64_t>(destLen) - srcLen);
    const int64_t p = RoundDivHalfAway(num, 2 * static_cast<int64_t>(destLen)) + srcPos;
    return ClampInt(p, 0, picture - 1);
}

int EdgeColumn(int srcPos, int srcLen, int picture, bool scrolls) {
    if (!scrolls) return 1;
    if (srcPos <= 0) return 0;
    if (srcPos + srcLen >= picture) return 2;
    return 1;
}

}  // namespace

void SetPictureSize(Viewport& v, int w, int h) {
    v.pictureW = std::max(w, 1);
    v.pictureH = std::max(h, 1);
    UpdateDisplaySize(v);
}

void UpdateDisplaySize(Viewport& v) {
    const int64_t z = v.zoom;
    v.displayW = ClampInt(static_cast<int64_t>(v.pictureW) * z / kZoomActual, 1, INT32_MAX);
    v.displayH = ClampInt(static_cast<int64_t>(v.pictureH) * z / kZoomActual, 1, INT32_MAX);
}

int FitZoom(int w, int h, int aw, int ah) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    const int64_t zx = static_cast<int64_t>(aw) * kZoomActual / w;
    const int64_t zy = static_cast<int64_t>(ah) * kZoomActual / h;
    return ClampInt(std::min(zx, zy) + 1, INT32_MIN, kZoomMax);
}

bool IsZoomCommand(int id) {
    switch (id) {
        case kCmdFit:
        case kCmdActualSize:
        case kCmdZoomIn:
        case kCmdZoomOut:
        case kCmdZoom1000:
        case kCmdZoom400:
        case kCmdZoom200:
        case kCmdZoom50:
        case kCmdZoom25:
        case kCmdZoom10:
        case kCmdToggleFit:
        case kCmdZoomStepIn:
        case kCmdZoomStepOut:
            return true;
        default:
            return false;
    }
}

int ZoomAfterCommand(int id, int z, int fitZoom) {
    switch (id) {
        case kCmdFit:
            return fitZoom;
        case kCmdActualSize:
            return kZoomActual;
        case kCmdToggleFit:
            return z != kZoomActual ? kZoomActual : fitZoom;
        case kCmdZoomIn:
            if (z >= kZoomMax) return z;
            for (int level : kZoomLevels) {
                if (level > z) return level;
            }
            return z;
        case kCmdZoomOut:
            if (z > kZoomMax) return kZoomMax;
            if (z <= kZoomMin) return z;
            for (auto it = std::rbegin(kZoomLevels); it != std::rend(kZoomLevels); ++it) {
                if (*it < z) return *it;
            }
            return z;
        case kCmdZoom1000:
            return 100000;
        case kCmdZoom400:
            return 40000;
        case kCmdZoom200:
            return 20000;
        case kCmdZoom50:
            return 5000;
        case kCmdZoom25:
            return 2500;
        case kCmdZoom10:
            return 1000;
        case kCmdZoomStepIn:
            return z > kZoomMax - 1 ? z : std::min(z + 1000, kZoomMax);
        case kCmdZoomStepOut:
            return z <= kZoomMin ? z : std::max(z - 1000, kZoomMin);
        default:
            return z;
    }
}

void UpdateScrollShift(Viewport& v, int screenW, int screenH) {
    v.scrollShift = (v.pictureW > screenW || v.pictureH > screenH) ? 1 : 0;
}

void FitOnChange(Viewport& v, bool shrink, bool enlarge, int aw, int ah, int screenW, int screenH) {
    UpdateDisplaySize(v);
    const bool fits = v.displayW < aw && v.displayH < ah;
    if (fits ? enlarge : shrink) {
        v.zoom = FitZoom(v.pictureW, v.pictureH, aw, ah);
        UpdateDisplaySize(v);
    }
    UpdateScrollShift(v, screenW, screenH);
    v.centreX = v.pictureW / 2;
    v.centreY = v.pictureH / 2;
}

void Layout(Viewport& v) {
    LayoutAxis(v.clientW, v.displayW, v.pictureW, v.zoom, v.centreX, v.dest.x, v.dest.w, v.src.x, v.src.w);
    LayoutAxis(v.clientH, v.displayH, v.pictureH, v.zoom, v.centreY, v.dest.y, v.dest.h, v.src.y, v.src.h);
}

ViewPoint ScreenToPicture(const Viewport& v, int sx, int sy) {
    return ViewPoint{MapAxis(sx, v.dest.x, v.dest.w, v.src.x, v.src.w, v.pictureW),
                     MapAxis(sy, v.dest.y, v.dest.h, v.src.y, v.src.h, v.pictureH)};
}

ViewPoint Scroll(Viewport& v, int dx, int dy) {
    const int oldX = v.src.x;
    const int oldY = v.src.y;
    v.src.x = ClampInt(static_cast<int64_t>(v.src.x) + dx, 0, v.pictureW - v.src.w);
    v.src.y = ClampInt(static_cast<int64_t>(v.src.y) + dy, 0, v.pictureH - v.src.h);
    v.centreX = v.src.x + v.src.w / 2;
    v.centreY = v.src.y + v.src.h / 2;
    return ViewPoint{ClampInt(static_cast<int64_t>(oldX - v.src.x) * v.zoom / kZoomActual, INT32_MIN, INT32_MAX),
                     ClampInt(static_cast<int64_t>(oldY - v.src.y) * v.zoom / kZoomActual, INT32_MIN, INT32_MAX)};
}

bool ScrollCommand(Viewport& v, int id, ViewPoint* shift) {
    const int step = kScrollStep << v.scrollShift;
    int dx = 0;
    int dy = 0;
    switch (id) {
        case kCmdScrollLeft:
            dx = -step;
            break;
        case kCmdScrollRight:
            dx = step;
            break;
        case kCmdScrollUp:
            dy = -step;
            break;
        case kCmdScrollDown:
            dy = step;
            break;
        default:
            return false;
    }
    if (dx != 0 && v.displayW <= v.clientW) return false;
    if (dy != 0 && v.displayH <= v.clientH) return false;
    const ViewRect before = v.src;
    const ViewPoint moved = Scroll(v, dx, dy);
    if (shift) *shift = moved;
    return !(before == v.src);
}

int EdgeCursorIndex(const Viewport& v) {
    const int column = EdgeColumn(v.src.x, v.src.w, v.pictureW, v.displayW > v.clientW);
    const int row = EdgeColumn(v.src.y, v.src.h, v.pictureH, v.displayH > v.clientH);
    return row * 3 + column;
}

WindowPlacement AutoSizePlacement(const AutoSizeInput& in) {
    const int pictureOuterW = in.displayW + in.frame.width();
    int outerW = std::max(pictureOuterW, in.minOuterWidth);
    int outerH = in.displayH + in.frame.height();
    // The wanted client keeps the centre; a window widened by the minimum width keeps the
    // picture in its middle.
    int wantedX = in.clientCentre.x - in.displayW / 2 - in.frame.left - (outerW - pictureOuterW) / 2;
    int wantedY = in.clientCentre.y - in.displayH / 2 - in.frame.top;
    outerW = std::min(outerW, std::max(in.bounds.w, 1));
    outerH = std::min(outerH, std::max(in.bounds.h, 1));
    const int x = wantedX >= in.bounds.x ? std::min(wantedX, in.bounds.right() - outerW) : in.bounds.x;
    const int y = wantedY >= in.bounds.y ? std::min(wantedY, in.bounds.bottom() - outerH) : in.bounds.y;
    WindowPlacement p;
    p.outer = ViewRect{x, y, outerW, outerH};
    p.client = ViewRect{x + in.frame.left, y + in.frame.top, std::max(outerW - in.frame.width(), 1),
                        std::max(outerH - in.frame.height(), 1)};
    return p;
}

ViewRect CentredPlacement(int outerW, int outerH, const FrameExtents& frame, int clientW, int clientH,
                          const ViewRect& bounds) {
    const int x = std::max(bounds.x + (bounds.w - clientW) / 2 - frame.left, bounds.x);
    const int y = std::max(bounds.y + (bounds.h - clientH) / 2 - frame.top, bounds.y);
    return ViewRect{x, y, outerW, outerH};
}

int CornerDragWidth(int clientH, int pictureW, int pictureH, const FrameExtents& frame, int minOuterWidth) {
    const int64_t w = static_cast<int64_t>(std::max(clientH, 0)) * std::max(pictureW, 1) / std::max(pictureH, 1) +
                      frame.width();
    return std::max(ClampInt(w, 1, INT32_MAX), minOuterWidth);
}

bool AreaZoom(const Viewport& v, ViewPoint a, ViewPoint b, int aw, int ah, int* zoom, ViewPoint* centre) {
    if (std::abs(b.x - a.x) < kRubberBandMin || std::abs(b.y - a.y) < kRubberBandMin) return false;
    const ViewPoint p = ScreenToPicture(v, a.x, a.y);
    const ViewPoint q = ScreenToPicture(v, b.x, b.y);
    const int w = std::max(std::abs(q.x - p.x), 1);
    const int h = std::max(std::abs(q.y - p.y), 1);
    if (zoom) *zoom = FitZoom(w, h, aw, ah);
    if (centre) *centre = ViewPoint{(p.x + q.x) / 2, (p.y + q.y) / 2};
    return true;
}

int WheelCommand(int delta, bool ctrlOnly, bool fullScreen, const WheelSettings& s) {
    if (delta == 0) return 0;
    bool browse = ((fullScreen ? s.fsWheel : s.wheel) & 1) != 0;
    if (ctrlOnly) browse = !browse;
    const bool forward = delta > 0;
    if (browse) return forward ? kCmdPrevious : kCmdNext;
    bool zoomIn = !forward;
    if (s.wheelRev & 1) zoomIn = !zoomIn;
    return zoomIn ? kCmdZoomStepIn : kCmdZoomStepOut;
}

int ClickActionCommand(int value) {
    switch (value) {
        case 1:
            return kCmdEditWindow;
        case 2:
            return kCmdFullScreen;
        case 3:
            return kCmdMinimize;
        default:
            return kCmdExit;
    }
}

int MiddleClickCommand(int zoom) { return zoom == kZoomActual ? kCmdFit : kCmdActualSize; }

std::string PixelReadoutText(const Viewport& v, const ImageBuffer& image, int sx, int sy) {
    static const std::string kOutside = "r:-  g:-  b:-";
    if (image.empty() || !v.dest.Contains(sx, sy)) return kOutside;
    const ViewPoint p = ScreenToPicture(v, sx, sy);
    if (p.x < 0 || p.y < 0 || p.x >= image.width() || p.y >= image.height()) return kOutside;
    const uint8_t* row = image.topRow(p.y);
    int r = 0;
    int g = 0;
    int b = 0;
    switch (image.bitCount()) {
        case 24: {
            const uint8_t* px = row + static_cast<size_t>(p.x) * 3;
            b = px[0];
            g = px[1];
            r = px[2];
            break;
        }
        case 8:
        case 4:
        case 1: {
            int index = 0;
            if (image.bitCount() == 8) {
                index = row[p.x];
            } else if (image.bitCount() == 4) {
                const uint8_t byte = row[p.x / 2];
                index = (p.x & 1) ? (byte & 0x0F) : (byte >> 4);
            } else {
                index = (row[p.x / 8] >> (7 - (p.x & 7))) & 1;
            }
            const RgbQuad& q = image.palette[static_cast<size_t>(index)];
            r = q.red;
            g = q.green;
            b = q.blue;
            break;
        }
        default:
            return kOutside;
    }
    return "r:" + std::to_string(r) + "  g:" + std::to_string(g) + "  b:" + std::to_string(b);
}

}  // namespace lumra
