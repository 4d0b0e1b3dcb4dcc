// Writes the small sample picture that scripts/run.sh opens: an evening landscape
// drawn in code, saved through the engine's BMP writer.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "formats/bmp/bmp_codec.h"
#include "formats/decoder_context.h"
#include "formats/image_buffer.h"

namespace {

struct Colour {
    double r, g, b;
};

Colour Mix(Colour a, Colour b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double Smooth(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

Colour Pixel(double x, double y, double w, double h) {
    // Sky: deep blue above, warm orange near the horizon.
    const double horizon = h * 0.62;
    Colour c = Mix({40, 60, 140}, {250, 170, 90}, Smooth(0, horizon, y));
    // Sun with a soft glow.
    const double sx = w * 0.68, sy = h * 0.45, sr = h * 0.11;
    const double d = std::hypot(x - sx, y - sy);
    c = Mix(c, {255, 220, 150}, 0.55 * std::exp(-std::max(0.0, d - sr) / (h * 0.12)));
    c = Mix(c, {255, 240, 200}, 1 - Smooth(sr - 1, sr + 1, d));
    // Two rows of hills.
    const double far = horizon - h * 0.08 * std::sin(x / w * 5.0 + 0.7) - h * 0.04 * std::sin(x / w * 13.0);
    c = Mix(c, Mix({120, 90, 140}, {90, 70, 120}, (y - far) / (h - far)), Smooth(far - 0.8, far + 0.8, y));
    const double near = h * 0.78 - h * 0.07 * std::sin(x / w * 3.1 + 2.0);
    c = Mix(c, Mix({60, 110, 70}, {30, 70, 45}, (y - near) / (h - near)), Smooth(near - 0.8, near + 0.8, y));
    // A row of coloured discs along the bottom.
    static const Colour kDiscs[] = {{230, 80, 80}, {240, 180, 60}, {90, 190, 110}, {70, 140, 220}, {170, 100, 210}};
    for (int i = 0; i < 5; ++i) {
        const double cx = w * (0.12 + 0.19 * i), cy = h * 0.9, r = h * 0.045;
        const double dd = std::hypot(x - cx, y - cy);
        c = Mix(c, kDiscs[i], 1 - Smooth(r - 0.8, r + 0.8, dd));
    }
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: lumra_make_sample OUT.bmp\n");
        return 2;
    }
    constexpr int kWidth = 480, kHeight = 320;
    lumra::ImageBuffer image;
    if (!image.Allocate(kWidth, kHeight, 24)) return 1;
    image.header.biXPelsPerMeter = image.header.biYPelsPerMeter = 3780;  // 96 dpi
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = image.topRow(y);
        for (int x = 0; x < kWidth; ++x) {
            // 2 x 2 samples per pixel keeps the edges smooth.
            Colour sum{0, 0, 0};
            for (int s = 0; s < 4; ++s) {
                const Colour c = Pixel(x + 0.25 + 0.5 * (s & 1), y + 0.25 + 0.5 * (s >> 1), kWidth, kHeight);
                sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
            }
            row[x * 3 + 0] = static_cast<uint8_t>(std::lround(std::clamp(sum.b / 4, 0.0, 255.0)));
            row[x * 3 + 1] = static_cast<uint8_t>(std::lround(std::clamp(sum.g / 4, 0.0, 255.0)));
            row[x * 3 + 2] = static_cast<uint8_t>(std::lround(std::clamp(sum.r / 4, 0.0, 255.0)));
        }
    }
    lumra::DecoderContext ctx;
    if (!lumra::WriteBmpFile(argv[1], image, 24, false, 0, ctx)) {
        std::fprintf(stderr, "lumra_make_sample: cannot write %s (error %d)\n", argv[1], ctx.error);
        return 1;
    }
    return 0;
}
