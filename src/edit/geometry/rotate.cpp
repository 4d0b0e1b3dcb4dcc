#include "edit/geometry/rotate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lumra {
namespace {

double Theta(int storedAngle) { return storedAngle / 10.0 * kRotationPi / 180.0; }

struct Fixed {
    int s = 0, c = 0;  // 8 fraction bits, truncated
};
Fixed FixedFor(int storedAngle) {
    const double t = Theta(storedAngle);
    return {static_cast<int>(256 * std::sin(t)), static_cast<int>(256 * std::cos(t))};
}

}  // namespace

int StoredAngle(int tenths) { return tenths < 0 ? tenths + 3600 : tenths; }

RotatedSize RotatedSizeFor(int width, int height, int storedAngle) {
    const double t = Theta(storedAngle);
    const double c = std::cos(t), s = std::sin(t);
    return {static_cast<int64_t>(std::fabs(width * c) + std::fabs(height * s)) + 5,
            static_cast<int64_t>(std::fabs(width * s) + std::fabs(height * c)) + 5};
}

void RotatePreview(const ImageBuffer& src, ImageBuffer& dst, int storedAngle, BackgroundColour bg) {
    const int w = src.width(), h = src.height();
    const Fixed f = FixedFor(storedAngle);
    int rowU = 256 * (w >> 1) + f.c * (0 - (w >> 1)) - f.s * (0 - (h >> 1));
    int rowV = 256 * (h >> 1) + f.s * (0 - (w >> 1)) + f.c * (0 - (h >> 1));
    for (int y = 0; y < h; ++y, rowU -= f.s, rowV += f.c) {
        uint8_t* d = dst.storedRow(y);
        int u = rowU, v = rowV;
        for (int x = 0; x < w; ++x, u += f.c, v += f.s, d += 3) {
            if (u < 0 || v < 0 || (u >> 8) >= w || (v >> 8) >= h) {
                d[0] = bg.blue;
                d[1] = bg.green;
                d[2] = bg.red;
            } else {
                const uint8_t* p = src.storedRow(v >> 8) + 3 * (u >> 8);
                d[0] = p[0];
                d[1] = p[1];
                d[2] = p[2];
            }
        }
    }
}

ImageBuffer RotatePicture(const ImageBuffer& src, int storedAngle, BackgroundColour bg) {
    ImageBuffer out;
    const RotatedSize size = RotatedSizeFor(src.width(), src.height(), storedAngle);
    if (src.empty() || src.bitCount() != 24 || size.width > kMaxPictureSide || size.height > kMaxPictureSide)
        return out;
    const int w = src.width(), h = src.height();
    const auto ow = static_cast<int>(size.width), oh = static_cast<int>(size.height);
    if (!out.Allocate(ow, oh, 24)) return out;
    const Fixed f = FixedFor(storedAngle);
    const uint8_t back[3] = {bg.blue, bg.green, bg.red};
    const size_t stride = src.stride();
    auto at = [&](int x, int y) -> const uint8_t* {
        if (x < 0 || y < 0 || x >= w || y >= h) return back;
        return src.storedRow(y) + 3 * x;
    };
    int rowU = 128 * (w & ~1) + f.c * (0 - (ow >> 1)) - f.s * (0 - (oh >> 1));
    int rowV = 128 * (h & ~1) + f.s * (0 - (ow >> 1)) + f.c * (0 - (oh >> 1));
    for (int y = 0; y < oh; ++y, rowU -= f.s, rowV += f.c) {
        uint8_t* d = out.storedRow(y);
        int u = rowU, v = rowV;
        for (int x = 0; x < ow; ++x, u += f.c, v += f.s, d += 3) {
            const int ix = u >> 8, iy = v >> 8;
            // Far outside: all four neighbours are background.
            if (ix < -1 || iy < -1 || ix >= w || iy >= h) {
                d[0] = back[0];
                d[1] = back[1];
                d[2] = back[2];
                continue;
            }
            const int fx = u & 255, fy = v & 255;
            const uint8_t *p00, *p10, *p01, *p11;
            if (ix >= 0 && iy >= 0 && ix < w - 1 && iy < h - 1) {
                p00 = src.storedRow(iy) + 3 * ix;
                p10 = p00 + 3;
                p01 = p00 + stride;
                p11 = p01 + 3;
            } else {
                // The edge: neighbours outside the picture are background.
                p00 = at(ix, iy);
                p10 = at(ix + 1, iy);
                p01 = at(ix, iy + 1);
                p11 = at(ix + 1, iy + 1);
            }
            for (int ch = 0; ch < 3; ++ch)
                d[ch] = static_cast<uint8_t>((fy * ((256 - fx) * p01[ch] + fx * p11[ch]) +
                                              (256 - fy) * (fx * p10[ch] + (256 - fx) * p00[ch])) >> 16);
        }
    }
    return out;
}

std::optional<int> ParseAngleTenths(std::string_view text, bool strict) {
    // A plain decimal number: blanks, a sign, digits with at most one point.
    size_t i = 0;
    while (!strict && i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') ++digits;
        else if (text[i] == '.' && !point) point = true;
        else break;
    }
    if (digits == 0 || (strict && i != text.size())) {
        if (strict) return std::nullopt;
        return 0;
    }
    const double tenths = std::round(std::strtod(std::string(text.substr(start, i - start)).c_str(), nullptr) * 10);
    // Far out of range stays out of range without overflowing.
    return static_cast<int>(std::clamp(tenths, -1e9, 1e9));
}

std::string FormatAngle(int tenths) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", tenths / 10.0);
    return buf;
}

bool RotateBar::TypeText(std::string_view text) {
    const std::optional<int> t = ParseAngleTenths(text, false);
    if (!t || *t == tenths) return false;
    tenths = *t < kAngleMin ? kAngleMin : *t > kAngleMax ? kAngleMax : *t;
    return true;
}

std::optional<std::string> LineToolText(int currentTenths, int dx, int dy, bool vertical) {
    if (std::abs(dx) < 9 && std::abs(dy) < 9) return std::nullopt;
    const double a = (vertical ? std::atan2(dx, -dy) : std::atan2(dy, dx)) * 180 / kRotationPi;
    double angle = currentTenths / 10.0 - a;
    while (angle > 180) angle -= 360;
    while (angle < -180) angle += 360;
    if (angle > 90) angle -= 180;
    else if (angle < -90) angle += 180;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", angle);
    return std::string(buf);
}

void LineTool::Move(int x, int y, int left, int top, int right, int bottom) {
    if (!held) return;
    endX = std::clamp(x, left, right);
    endY = std::clamp(y, top, bottom);
}

std::optional<std::string> LineTool::Release(int currentTenths, bool vertical) {
    if (!held) return std::nullopt;
    held = false;
    return LineToolText(currentTenths, endX - anchorX, endY - anchorY, vertical);
}

std::vector<int> GridLines(int viewLength) {
    std::vector<int> lines;
    for (int k = 1; k <= viewLength / 32; ++k) lines.push_back(32 * k);
    return lines;
}

}  // namespace lumra
