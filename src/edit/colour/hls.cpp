#include "edit/colour/hls.h"

#include <algorithm>
#include <memory>

namespace lumra {

namespace {

std::unique_ptr<HlsTables> BuildHlsTables() {
    auto t = std::make_unique<HlsTables>();
    for (int d = -255; d <= 255; ++d)
        for (int c = 0; c < 256; ++c)
            t->hueOffset[static_cast<size_t>(d + 255) * 256 + c] =
                static_cast<int16_t>(c == 0 || std::abs(d) > c ? 0 : (60 * d) / c);
    for (int s = 0; s <= 510; ++s)
        for (int c = 0; c < 256; ++c) {
            int e = 0;
            if (s >= 1 && s <= 255)
                e = (255 * c) / s;
            else if (s >= 256 && s <= 509)
                e = (255 * c) / (510 - s);
            t->saturation[static_cast<size_t>(s) * 256 + c] =
                static_cast<uint8_t>(std::min(e, 255));
        }
    for (int l = 0; l < 256; ++l)
        for (int s = 0; s < 256; ++s) {
            int e = 0;
            if (s != 0) e = l < 128 ? (l * (255 + s)) / 255 : l + s - (l * s) / 255;
            t->upper[static_cast<size_t>(l) * 256 + s] = static_cast<uint8_t>(e);
        }
    for (int h = 0; h < 360; ++h)
        for (int r = 0; r < 256; ++r) {
            int e = 0;
            if (h < 60)
                e = (h * r) / 60;
            else if (h < 180)
                e = r;
            else if (h < 240)
                e = ((240 - h) * r) / 60;
            t->ramp[static_cast<size_t>(h) * 256 + r] = static_cast<uint8_t>(e);
        }
    for (int i = -300; i <= 659; ++i)
        t->wrap[static_cast<size_t>(i + 300)] = static_cast<int16_t>(i < 0     ? i + 360
                                                                     : i < 360 ? i
                                                                               : i - 360);
    for (int i = -255; i <= 510; ++i)
        t->clamp[static_cast<size_t>(i + 255)] = static_cast<uint8_t>(std::clamp(i, 0, 255));
    return t;
}

}  // namespace

const HlsTables& GetHlsTables() {
    static const std::unique_ptr<HlsTables> tables = BuildHlsTables();
    return *tables;
}

void HlsAdjust(const HlsTables& t, int& b, int& g, int& r, int dH, int dL, int dS) {
    int max = g, base = 120, d = b - r;
    if (b > g) max = b, base = 240, d = r - g;
    if (r > max) max = r, base = 0, d = g - b;
    const int min = std::min({b, g, r});
    const int c = max - min;
    int s = 0, h = 0;
    if (c != 0) {
        s = t.Saturation(min + max, c);
        h = t.Wrap(t.HueOffset(d, c) + base);
    }
    const int l2 = t.Clamp(((min + max) >> 1) + dL);
    const int s2 = t.Clamp(s + dS);
    if (s2 == 0) {
        b = g = r = l2;
        return;
    }
    const int h2 = h + dH;
    const int top = t.Upper(l2, s2);
    const int m = 2 * l2 - top;
    const int span = top - m;
    b = m + t.Ramp(t.Wrap(h2 - 120), span);
    g = m + t.Ramp(t.Wrap(h2), span);
    r = m + t.Ramp(t.Wrap(h2 + 120), span);
}

const std::array<int32_t, 511>& GetSquares() {
    static const std::array<int32_t, 511> squares = [] {
        std::array<int32_t, 511> s{};
        for (int d = -255; d <= 255; ++d) s[static_cast<size_t>(d + 255)] = d * d;
        return s;
    }();
    return squares;
}

ColourRange::ColourRange(int range) {
    range = std::clamp(range, 0, kColourRangeMax);
    threshold = 3 * range * range;
    falloff.resize(static_cast<size_t>(threshold) + 1);
    for (int i = 0; i <= threshold; ++i)
        falloff[static_cast<size_t>(i)] =
            static_cast<uint8_t>(threshold ? 255 - (i * 255) / threshold : 255);
}

int ColourRange::Weight(int b, int g, int r, int rc, int gc, int bc) const {
    const auto& sq = GetSquares();
    const int dist = sq[static_cast<size_t>(r - rc + 255)] + sq[static_cast<size_t>(g - gc + 255)] +
                     sq[static_cast<size_t>(b - bc + 255)];
    return dist > threshold ? -1 : falloff[static_cast<size_t>(dist)];
}

}  // namespace lumra
