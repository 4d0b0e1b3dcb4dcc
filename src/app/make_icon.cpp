// Draws the program's icon as an RGBA PNG of the size asked for (the same picture as
// data/org.lumraex.LumraEx.svg): make_icon SIZE OUT.png
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;
};

Rgba Hex(uint32_t rgb, double a = 1) {
    return {((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0, a};
}

// Over-compositing of premultiplied-free colours.
Rgba Over(const Rgba& top, const Rgba& under) {
    const double a = top.a + under.a * (1 - top.a);
    if (a <= 0) return {};
    auto mix = [&](double t, double u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
    return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
}

bool InRoundRect(double x, double y, double x0, double y0, double x1, double y1, double r) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    const double cx = std::clamp(x, x0 + r, x1 - r);
    const double cy = std::clamp(y, y0 + r, y1 - r);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

bool InTriangle(double x, double y, double ax, double ay, double bx, double by, double cx, double cy) {
    auto side = [&](double px, double py, double qx, double qy) { return (qx - px) * (y - py) - (qy - py) * (x - px); };
    const double d1 = side(ax, ay, bx, by), d2 = side(bx, by, cx, cy), d3 = side(cx, cy, ax, ay);
    return !((d1 < 0 || d2 < 0 || d3 < 0) && (d1 > 0 || d2 > 0 || d3 > 0));
}

// The picture on a 256 × 256 canvas.
Rgba Colour(double x, double y) {
    Rgba c;
    if (InRoundRect(x, y, 16, 16, 240, 240, 44)) {
        const double t = (y - 16) / 224;
        const Rgba top = Hex(0x3A7BD5), bottom = Hex(0x2B4C9B);
        c = {top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t, top.b + (bottom.b - top.b) * t, 1};
    }
    if (InRoundRect(x, y, 52, 60, 204, 196, 10)) c = Over(Hex(0xFFFFFF), c);
    if (x >= 62 && x <= 194 && y >= 70 && y <= 186) {
        c = Over(Hex(0xBFE3FF), c);
        if ((x - 158) * (x - 158) + (y - 102) * (y - 102) <= 18 * 18) c = Over(Hex(0xFFC83D), c);
        if (InTriangle(x, y, 62, 186, 108, 118, 150, 186)) c = Over(Hex(0x3C9A5F), c);
        if (InTriangle(x, y, 112, 186, 158, 138, 194, 186)) c = Over(Hex(0x2E7D4F), c);
    }
    return c;
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    auto put32 = [&](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<uint8_t>(v >> s));
    };
    put32(static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32(static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icon SIZE OUT.png\n");
        return 2;
    }
    const int size = std::atoi(argv[1]);
    if (size < 16 || size > 1024) return 2;
    constexpr int kSamples = 4;
    std::vector<uint8_t> raw;
    for (int y = 0; y < size; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double px = (x + (sx + 0.5) / kSamples) * 256.0 / size;
                    const double py = (y + (sy + 0.5) / kSamples) * 256.0 / size;
                    const Rgba c = Colour(px, py);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            const double n = kSamples * kSamples;
            auto byte = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
            raw.push_back(a > 0 ? byte(r / a) : 0);
            raw.push_back(a > 0 ? byte(g / a) : 0);
            raw.push_back(a > 0 ? byte(b / a) : 0);
            raw.push_back(byte(a / n));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return 1;
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(size >> s));
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(size >> s));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", {});
    std::FILE* f = std::fopen(argv[2], "wb");
    if (!f) return 1;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return (std::fclose(f) == 0 && ok) ? 0 : 1;
}
