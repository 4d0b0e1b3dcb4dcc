#include "edit/geometry/trim_frame.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "edit/geometry/resize_bar.h"

namespace lumra {
namespace {

int Rnd(int64_t a, int64_t b) { return static_cast<int>(RoundDiv(a, b)); }

// A span of length n centred on the span lo..hi and moved back inside 0..limit-1; false when
// it cannot fit.
bool Centre(int lo, int hi, int n, int limit, int& outLo, int& outHi) {
    if (n < 1 || n > limit) return false;
    const int twice = lo + hi - (n - 1);  // twice the new start
    int start = twice >= 0 ? twice / 2 : -((-twice + 1) / 2);
    start = std::clamp(start, 0, limit - n);
    outLo = start;
    outHi = start + n - 1;
    return true;
}

// From anchor a, n pixels towards the sign; false when that leaves 0..limit-1.
bool Extend(int a, int n, bool forward, int limit, int& lo, int& hi) {
    lo = forward ? a : a - n + 1;
    hi = forward ? a + n - 1 : a;
    return lo >= 0 && hi <= limit - 1;
}

}  // namespace

TrimCursor CursorForArea(int area) {
    switch (area) {
        case kAreaTopLeft:
        case kAreaBottomRight: return TrimCursor::kDiagonalDown;
        case kAreaTopRight:
        case kAreaBottomLeft: return TrimCursor::kDiagonalUp;
        case kAreaLeft:
        case kAreaRight: return TrimCursor::kHorizontal;
        case kAreaTop:
        case kAreaBottom: return TrimCursor::kVertical;
        case kAreaInside: return TrimCursor::kMove;
        default: return TrimCursor::kArrow;
    }
}

void TrimFrame::Start(int pictureWidth, int pictureHeight, const std::array<RatioEntry, 9>& table, int selected) {
    *this = TrimFrame{};
    width = pictureWidth;
    height = pictureHeight;
    ratios = table;
    ratio = std::clamp(selected, 0, 8);
}

const RatioEntry* TrimFrame::ActiveRatio() const {
    const RatioEntry& r = ratios[static_cast<size_t>(ratio)];
    return ratio != 0 && !r.empty() ? &r : nullptr;
}

void TrimFrame::SetShown() {
    if (state == kDrawing) {
        shownW = std::abs(corner1X - corner2X) + 1;
        const RatioEntry* r = ActiveRatio();
        shownH = r ? Rnd(int64_t{shownW} * r->h, r->w) : std::abs(corner1Y - corner2Y) + 1;
    } else {
        shownW = rect.width();
        shownH = rect.height();
    }
}

void TrimFrame::Press(const ViewMapping& m, int vx, int vy) {
    if (state == kIdle) {
        pressX = std::clamp(vx, m.visibleLeft, m.visibleRight);
        pressY = std::clamp(vy, m.visibleTop, m.visibleBottom);
        corner1X = std::clamp(m.ToPictureX(pressX), 0, width - 1);
        corner1Y = std::clamp(m.ToPictureY(pressY), 0, height - 1);
        corner2VX = pressX;
        corner2VY = pressY;
        corner2X = corner1X;
        corner2Y = corner1Y;
        state = kPressed;
    } else if (state == kSettled) {
        area = HitArea(m, vx, vy);
        if (area == kAreaNone) return;
        pressX = vx;
        pressY = vy;
        pressRect = rect;
        state = kAdjusting;
    }
}

void TrimFrame::Move(const ViewMapping& m, int vx, int vy) {
    if (state == kPressed && std::abs(vx - pressX) + std::abs(vy - pressY) > kTrimStartDistance) state = kDrawing;
    if (state == kDrawing) DrawTo(m, vx, vy);
    else if (state == kAdjusting) Adjust(m, vx, vy);
}

void TrimFrame::DrawTo(const ViewMapping& m, int vx, int vy) {
    int cx = 0, cy = 0;
    if (const RatioEntry* r = ActiveRatio()) {
        const int dx = vx - pressX, dy = vy - pressY;
        const int64_t d = std::abs(dx) + std::abs(dy);
        const int ddx = Rnd(r->w * d, r->w + r->h), ddy = Rnd(r->h * d, r->w + r->h);
        cx = pressX + (dx < 0 ? -ddx : ddx);
        cy = pressY + (dy < 0 ? -ddy : ddy);
        // A corner outside the displayed picture is not taken.
        if (cx < m.visibleLeft || cx > m.visibleRight || cy < m.visibleTop || cy > m.visibleBottom) return;
    } else {
        cx = std::clamp(vx, m.visibleLeft, m.visibleRight);
        cy = std::clamp(vy, m.visibleTop, m.visibleBottom);
    }
    corner2VX = cx;
    corner2VY = cy;
    corner2X = std::clamp(m.ToPictureX(cx), 0, width - 1);
    corner2Y = std::clamp(m.ToPictureY(cy), 0, height - 1);
    SetShown();
}

void TrimFrame::Release(const ViewMapping& m, int vx, int vy) {
    if (state == kPressed) {
        state = kIdle;
        return;
    }
    if (state == kAdjusting) {
        Adjust(m, vx, vy);
        state = kSettled;
        area = kAreaNone;
        SetShown();
        return;
    }
    if (state != kDrawing) return;
    DrawTo(m, vx, vy);
    rect.x1 = std::min(corner1X, corner2X);
    rect.x2 = std::max(corner1X, corner2X);
    rect.y1 = std::min(corner1Y, corner2Y);
    rect.y2 = std::max(corner1Y, corner2Y);
    if (ActiveRatio()) {
        // The height shown is the height taken, from corner 1 the way the drag went.
        const int n = std::min(shownH, height);
        if (!Extend(corner1Y, n, corner2Y >= corner1Y, height, rect.y1, rect.y2)) {
            const int lo = rect.y1 < 0 ? 0 : height - n;
            rect.y1 = lo;
            rect.y2 = lo + n - 1;
        }
    }
    hasRect = true;
    state = kSettled;
    SetShown();
}

void TrimFrame::Adjust(const ViewMapping& m, int vx, int vy) {
    const PictureRect& p = pressRect;
    PictureRect r = p;
    const int px = m.ToPictureX(vx), py = m.ToPictureY(vy);
    const bool corner = area >= kAreaTopLeft && area <= kAreaBottomLeft;
    const RatioEntry* ratioEntry = ActiveRatio();
    if (area == kAreaInside) {
        const int dx = px - m.ToPictureX(pressX), dy = py - m.ToPictureY(pressY);
        r.x1 = std::clamp(p.x1 + dx, 0, width - p.width());
        r.y1 = std::clamp(p.y1 + dy, 0, height - p.height());
        r.x2 = r.x1 + p.width() - 1;
        r.y2 = r.y1 + p.height() - 1;
    } else if (corner && ratioEntry) {
        // The opposite corner stays; the size follows the diagonal drag and the ratio.
        const bool left = area == kAreaTopLeft || area == kAreaBottomLeft;
        const bool top = area == kAreaTopLeft || area == kAreaTopRight;
        const int ax = left ? p.x2 : p.x1, ay = top ? p.y2 : p.y1;
        const int avx = m.ToViewX(ax, left), avy = m.ToViewY(ay, top);
        const int dx = vx - avx, dy = vy - avy;
        const int64_t d = std::abs(dx) + std::abs(dy);
        const RatioEntry& q = *ratioEntry;
        const int cvx = avx + (dx < 0 ? -1 : 1) * Rnd(q.w * d, q.w + q.h);
        const int w = std::abs(ax - m.ToPictureX(cvx)) + 1;
        const int h = Rnd(int64_t{w} * q.h, q.w);
        if (!Extend(ax, w, dx >= 0, width, r.x1, r.x2) || !Extend(ay, h, dy >= 0, height, r.y1, r.y2)) return;
    } else {
        const bool moveLeft = area == kAreaLeft || area == kAreaTopLeft || area == kAreaBottomLeft;
        const bool moveRight = area == kAreaRight || area == kAreaTopRight || area == kAreaBottomRight;
        const bool moveTop = area == kAreaTop || area == kAreaTopLeft || area == kAreaTopRight;
        const bool moveBottom = area == kAreaBottom || area == kAreaBottomLeft || area == kAreaBottomRight;
        if (moveLeft) r.x1 = std::clamp(px, 0, p.x2);
        if (moveRight) r.x2 = std::clamp(px, p.x1, width - 1);
        if (moveTop) r.y1 = std::clamp(py, 0, p.y2);
        if (moveBottom) r.y2 = std::clamp(py, p.y1, height - 1);
    }
    rect = r;
    SetShown();
}

int TrimFrame::HitArea(const ViewMapping& m, int vx, int vy) const {
    if (!hasRect) return kAreaNone;
    const int l = m.ToViewX(rect.x1), r = m.ToViewX(rect.x2, true);
    const int t = m.ToViewY(rect.y1), b = m.ToViewY(rect.y2, true);
    const auto near = [](int a, int b) { return std::abs(a - b) <= kTrimTolerance; };
    const bool inX = vx >= l - kTrimTolerance && vx <= r + kTrimTolerance;
    const bool inY = vy >= t - kTrimTolerance && vy <= b + kTrimTolerance;
    if (near(vx, l) && near(vy, t)) return kAreaTopLeft;
    if (near(vx, r) && near(vy, t)) return kAreaTopRight;
    if (near(vx, r) && near(vy, b)) return kAreaBottomRight;
    if (near(vx, l) && near(vy, b)) return kAreaBottomLeft;
    if (near(vx, l) && inY) return kAreaLeft;
    if (near(vx, r) && inY) return kAreaRight;
    if (near(vy, t) && inX) return kAreaTop;
    if (near(vy, b) && inX) return kAreaBottom;
    if (vx > l && vx < r && vy > t && vy < b) return kAreaInside;
    return kAreaNone;
}

std::pair<int, int> TrimFrame::Range(int which) const {
    switch (which) {
        case 0: return {0, rect.x2};
        case 1: return {0, rect.y2};
        case 2: return {rect.x1, width - 1};
        default: return {rect.y1, height - 1};
    }
}

bool TrimFrame::TypeCoordinate(int which, int value) {
    if (!hasRect || which < 0 || which > 3) return false;
    const auto [lo, hi] = Range(which);
    PictureRect r = rect;
    int* slot[4] = {&r.x1, &r.y1, &r.x2, &r.y2};
    *slot[which] = std::clamp(value, lo, hi);
    const RatioEntry* q = ActiveRatio();
    if (q && state != kAdjusting) {
        const bool xTyped = which == 0 || which == 2;
        const bool ok = xTyped ? Centre(r.y1, r.y2, Rnd(int64_t{r.width()} * q->h, q->w), height, r.y1, r.y2)
                               : Centre(r.x1, r.x2, Rnd(int64_t{r.height()} * q->w, q->h), width, r.x1, r.x2);
        if (!ok) return false;
    }
    rect = r;
    SetShown();
    return true;
}

bool TrimFrame::ChooseRatio(int index) {
    if (index == kListRegister) return true;
    if (index < 0 || index > 8) return false;
    ratio = index;
    const RatioEntry* q = ActiveRatio();
    if (!hasRect || !q) return false;
    PictureRect r = rect;
    if (Centre(r.x1, r.x2, Rnd(int64_t{r.height()} * q->w, q->h), width, r.x1, r.x2) ||
        Centre(r.y1, r.y2, Rnd(int64_t{r.width()} * q->h, q->w), height, r.y1, r.y2)) {
        rect = r;
        SetShown();
    }
    return false;
}

TrimViewRect TrimFrame::Rubber(const ViewMapping& m) const {
    if (state == kDrawing)
        return {std::min(pressX, corner2VX), std::min(pressY, corner2VY), std::max(pressX, corner2VX),
                std::max(pressY, corner2VY)};
    return {m.ToViewX(rect.x1), m.ToViewY(rect.y1), m.ToViewX(rect.x2, true), m.ToViewY(rect.y2, true)};
}

bool TrimFrame::Changes() const {
    return hasRect && !(rect == PictureRect{0, 0, width - 1, height - 1});
}

void RenderTrimPreview(const ImageBuffer& src, ImageBuffer& dst, const PictureRect* rect) {
    static const auto kHalf = [] {
        std::array<uint8_t, 256> t{};
        for (int v = 0; v < 256; ++v) t[static_cast<size_t>(v)] = static_cast<uint8_t>(v >> 1);
        return t;
    }();
    const int w = src.width(), h = src.height();
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src.topRow(y);
        uint8_t* d = dst.topRow(y);
        const bool rowInside = rect && y >= rect->y1 && y <= rect->y2;
        const int x1 = rowInside ? rect->x1 : w, x2 = rowInside ? rect->x2 : w - 1;
        if (!rect) {
            std::memcpy(d, s, 3 * static_cast<size_t>(w));
            continue;
        }
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const uint8_t v = s[3 * x + c];
                d[3 * x + c] = x >= x1 && x <= x2 ? v : kHalf[v];
            }
    }
}

}  // namespace lumra
