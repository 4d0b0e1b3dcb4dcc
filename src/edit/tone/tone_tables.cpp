#include "edit/tone/tone_tables.h"

#include <algorithm>
#include <cmath>

namespace lumra {

const GammaTable& GetGammaTable() {
    static const GammaTable table = [] {
        GammaTable t;
        for (int i = 0; i <= 200; ++i) {
            const int angle = (2 * i) / 5 + 5;
            const double rad = angle * 3.1415926535 / 180;
            const double exponent = 1.0 / (std::sin(rad) / std::cos(rad));
            uint8_t* row = t.rows.data() + i * 256;
            row[0] = 0;
            for (int j = 1; j < 256; ++j)
                row[j] =
                    static_cast<uint8_t>(std::floor(255 * std::pow(j / 255.0, exponent) + 0.5));
        }
        return t;
    }();
    return table;
}

const ClampTable& GetClampTable() {
    static const ClampTable table = [] {
        ClampTable t;
        for (int k = -255; k <= 510; ++k)
            t.entries[k + 255] = static_cast<uint8_t>(std::clamp(k, 0, 255));
        return t;
    }();
    return table;
}

int MeanLuminance(const ImageBuffer& image) {
    const int w = image.width(), h = image.height();
    if (w <= 0 || h <= 0) return 0;
    // Sums in 64 bits: 32-bit totals overflow on large pictures.
    uint64_t totalB = 0, totalG = 0, totalR = 0;
    const bool paletted = image.bitCount() == 8;
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = image.storedRow(y);
        uint64_t sb = 0, sg = 0, sr = 0;
        for (int x = 0; x < w; ++x) {
            unsigned b, g, r;
            if (paletted) {
                const RgbQuad& c = image.palette[p[x]];
                b = c.blue, g = c.green, r = c.red;
            } else {
                b = p[3 * x], g = p[3 * x + 1], r = p[3 * x + 2];
            }
            sb += b * 117u;
            sg += g * 601u;
            sr += r * 306u;
        }
        totalB += sb >> 10;
        totalG += sg >> 10;
        totalR += sr >> 10;
    }
    return static_cast<int>((totalB + totalG + totalR) /
                            (static_cast<uint64_t>(w) * static_cast<uint64_t>(h)));
}

void BuildContrastTable(int mean, ContrastTable& table) {
    for (int v = -100; v <= 100; ++v) {
        const int64_t k = v <= 0 ? v * 512 : v * 2048;
        int64_t acc = -(k * mean);
        uint8_t* row = table.rows.data() + (v + 100) * 256;
        for (int x = 0; x < 256; ++x) {
            // A real clamp: the values run from -797 to 1052.
            row[x] = static_cast<uint8_t>(std::clamp<int64_t>(x + (acc >> 16), 0, 255));
            acc += k;
        }
    }
}

const DivisionTable& GetDivisionTable() {
    static const DivisionTable table = [] {
        DivisionTable t;
        for (int s = 1; s <= 255; ++s) {
            const int64_t a = (255 * 65536) / s;
            uint8_t* row = t.entries.data() + static_cast<size_t>(s - 1) * 510 + 254;
            for (int j = -254; j <= 255; ++j) {
                if (j <= 0)
                    row[j] = 0;
                else if (j * a <= (1 << 24) - 1)
                    row[j] = static_cast<uint8_t>((j * a) >> 16);
                else
                    row[j] = 255;
            }
        }
        return t;
    }();
    return table;
}

const LuminanceTables& GetLuminanceTables() {
    static const LuminanceTables tables = [] {
        LuminanceTables t;
        for (int v = 0; v < 256; ++v) {
            t.b[v] = static_cast<uint8_t>(0.114 * v + 0.5);
            t.g[v] = static_cast<uint8_t>(0.587 * v + 0.5);
            t.r[v] = static_cast<uint8_t>(0.299 * v + 0.5);
        }
        return t;
    }();
    return tables;
}

}  // namespace lumra
