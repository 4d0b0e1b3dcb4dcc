#include "edit/brush/brush_kernels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "edit/colour/hls.h"
#include "edit/tone/tone_tables.h"
#include "formats/blend_table.h"

namespace lumra {
namespace {

struct MaskSet {
    std::vector<uint8_t> bytes;
    std::array<size_t, kBrushMaxSize + 1> offset{};
    MaskSet() {
        for (int s = kBrushMinSize; s <= kBrushMaxSize; ++s) {
            offset[static_cast<size_t>(s)] = bytes.size();
            const std::vector<uint8_t> m = MakeBrushMask(s);
            bytes.insert(bytes.end(), m.begin(), m.end());
        }
    }
};

int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

int MeanOfNine(int n) { return n == 0 ? 0 : (40049 + 7281 * (n - 1)) >> 16; }

int LumaKey(const uint8_t* p) { return ((30 * p[0]) >> 8) + ((151 * p[1]) >> 8) + ((77 * p[2]) >> 8); }

// The pixel of median luminance among the 3 x 3 neighbourhood: the pixel, left, right, then
// the row below on screen (same column, left, right), then the row above likewise. The four
// smallest are discarded one by one (each found minimum is overwritten by the candidate at the
// position being filled), then the first minimum of the rest is taken.
const uint8_t* MedianPixel(const ImageBuffer& img, int x, int y) {
    const uint8_t* rows[3] = {img.topRow(y), img.topRow(y + 1), img.topRow(y - 1)};
    const uint8_t* cand[9];
    int key[9];
    int n = 0;
    for (const uint8_t* row : rows)
        for (int dx : {0, -1, 1}) {
            cand[n] = row + 3 * (x + dx);
            key[n] = LumaKey(cand[n]);
            ++n;
        }
    for (int i = 0; i < 4; ++i) {
        int best = i;
        for (int j = i + 1; j < 9; ++j)
            if (key[j] < key[best]) best = j;
        cand[best] = cand[i];
        key[best] = key[i];
    }
    int best = 4;
    for (int j = 5; j < 9; ++j)
        if (key[j] < key[best]) best = j;
    return cand[best];
}

// The target value P of pixel (x, y) from the before-stroke buffer.
void Target(const BrushSettings& s, const ImageBuffer& before, int x, int y, uint8_t* p) {
    const BlendTable& t = GetBlendTable();
    const uint8_t* b = before.topRow(y) + 3 * x;
    if (s.paint) {
        const uint8_t colour[3] = {s.blue, s.green, s.red};
        for (int c = 0; c < 3; ++c) p[c] = BlendOver(t, s.alpha, colour[c], b[c]);
        return;
    }
    const int g = 2 * s.strength;
    switch (s.mode) {
    case kBrushBrighten:
    case kBrushDarken: {
        const uint8_t* row = GetGammaTable().Row(std::clamp(s.mode == kBrushBrighten ? s.strength : -s.strength, -100, 100));
        for (int c = 0; c < 3; ++c) p[c] = row[b[c]];
        break;
    }
    case kBrushVivid:
    case kBrushPale: {
        int v[3] = {b[0], b[1], b[2]};
        HlsAdjust(GetHlsTables(), v[0], v[1], v[2], 0, 0, s.mode == kBrushVivid ? s.strength : -s.strength);
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(v[c]);
        break;
    }
    case kBrushSharpen:
    case kBrushBlur: {
        const uint8_t* up = before.topRow(y - 1) + 3 * x;
        const uint8_t* down = before.topRow(y + 1) + 3 * x;
        for (int c = 0; c < 3; ++c) {
            const int around = up[c - 3] + up[c] + up[c + 3] + b[c - 3] + b[c + 3] + down[c - 3] +
                               down[c] + down[c + 3];
            const int v = s.mode == kBrushSharpen ? Clamp255((24 * b[c] - around) >> 4)
                                                  : MeanOfNine(around + b[c]);
            p[c] = static_cast<uint8_t>(t.entry[255 - g][b[c]] + t.entry[g][v]);
        }
        break;
    }
    default: {
        const uint8_t* m = MedianPixel(before, x, y);
        for (int c = 0; c < 3; ++c) p[c] = m[c];
        break;
    }
    }
}

// Pixel (x, y): the target, the selection rule, then `weight` over the working value.
// weight < 0 writes the target directly (fill).
void Apply(const BrushCanvas& cv, const BrushSettings& s, int x, int y, int weight) {
    const BlendTable& t = GetBlendTable();
    const int w = cv.working->width(), h = cv.working->height();
    const uint8_t* b = cv.before->topRow(y) + 3 * x;
    uint8_t* out = cv.working->topRow(y) + 3 * x;
    const int m = cv.selection ? cv.selection[static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w) +
                                              static_cast<size_t>(x)]
                               : 0;
    if (m == 255) {
        out[0] = b[0], out[1] = b[1], out[2] = b[2];
        return;
    }
    uint8_t p[3];
    Target(s, *cv.before, x, y, p);
    for (int c = 0; c < 3; ++c) {
        if (cv.selection) p[c] = static_cast<uint8_t>(t.entry[255 - m][p[c]] + t.entry[m][b[c]]);
        out[c] = weight < 0 ? p[c] : BlendOver(t, static_cast<unsigned>(weight), p[c], out[c]);
    }
}

}  // namespace

int ClampBrushSize(int size) { return std::clamp(size, kBrushMinSize, kBrushMaxSize); }

uint8_t OpacityByte(int percent) {
    return static_cast<uint8_t>(static_cast<int>(std::clamp(percent, 0, 100) * 255 / 100.0 + 0.5));
}

std::vector<uint8_t> MakeBrushMask(int size) {
    if (size < 1) return {};
    std::vector<uint8_t> mask(static_cast<size_t>(size) * static_cast<size_t>(size));
    const int a = size >> 1;
    // Per-axis offsets of the cells from the centre.
    std::vector<double> off(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        if (size & 1) off[static_cast<size_t>(i)] = i - a;
        else off[static_cast<size_t>(i)] = (i < a ? a - 1 - i : i - a) + 0.25;
    }
    const double scale = (size & 1) ? a + 1 : a;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double ox = off[static_cast<size_t>(x)], oy = off[static_cast<size_t>(y)];
            const double g = std::trunc(std::sqrt(ox * ox + oy * oy) * 255 / scale + 0.5);
            mask[static_cast<size_t>(y * size + x)] = static_cast<uint8_t>(255 - std::min(g, 255.0));
        }
    return mask;
}

const uint8_t* BrushMask(int size) {
    static const MaskSet masks;
    return masks.bytes.data() + masks.offset[static_cast<size_t>(ClampBrushSize(size))];
}

DabRect DabRectangle(int x, int y, int size) {
    const int left = x - size / 2, top = y - size / 2;
    return {left, top, left + size, y + size - size / 2};
}

void WalkLine(int x0, int y0, int x1, int y1, const std::function<void(int, int)>& point) {
    int dx = x1 - x0, dy = y1 - y0;
    const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    dx = std::abs(dx);
    dy = std::abs(dy);
    int x = x0, y = y0;
    if (dx > dy) {
        int err = 2 * dy - dx;
        for (int i = 0; i < dx; ++i) {
            point(x, y);
            if (err > 0) {
                y += sy;
                err += 2 * dy - 2 * dx;
            } else {
                err += 2 * dy;
            }
            x += sx;
        }
    } else {
        int err = 2 * dx - dy;
        for (int i = 0; i < dy; ++i) {
            point(x, y);
            if (err > 0) {
                x += sx;
                err += 2 * dx - 2 * dy;
            } else {
                err += 2 * dx;
            }
            y += sy;
        }
    }
}

void ApplyDab(const BrushCanvas& cv, const BrushSettings& s, int x, int y) {
    const int size = ClampBrushSize(s.size);
    const DabRect r = DabRectangle(x, y, size);
    const int border = !s.paint && s.mode >= kBrushSharpen ? 1 : 0;
    const int x0 = std::max(r.left, border), y0 = std::max(r.top, border);
    const int x1 = std::min(r.right, cv.working->width() - border);
    const int y1 = std::min(r.bottom, cv.working->height() - border);
    const uint8_t* mask = BrushMask(size);
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px) {
            const int w = mask[(py - r.top) * size + (px - r.left)];
            if (w != 0) Apply(cv, s, px, py, w);
        }
}

void ApplyFill(const BrushCanvas& cv, const BrushSettings& s) {
    BrushSettings paint = s;
    paint.paint = true;
    for (int y = 0; y < cv.working->height(); ++y)
        for (int x = 0; x < cv.working->width(); ++x) Apply(cv, paint, x, y, -1);
}

}  // namespace lumra
