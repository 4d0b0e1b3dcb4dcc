// Tables of the tone corrections: gamma curves, the clamp, contrast slopes around the mean
// luminance, the levels division table and the luminance weights.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "formats/image_buffer.h"

namespace lumra {

inline constexpr int kGammaMin = -100, kGammaMax = 100;
inline constexpr int kBrightnessMin = -255, kBrightnessMax = 255;
inline constexpr int kContrastMin = -100, kContrastMax = 100;

// 201 rows of 256 bytes for v = -100..100; Row(v) points at the row of v.
struct GammaTable {
    std::array<uint8_t, 201 * 256> rows;
    const uint8_t* Row(int v) const { return rows.data() + (v + 100) * 256; }
};
const GammaTable& GetGammaTable();

// Indexes -255..510, entry k = clamp(k, 0, 255); Zero() points at index 0.
struct ClampTable {
    std::array<uint8_t, 766> entries;
    const uint8_t* Zero() const { return entries.data() + 255; }
};
const ClampTable& GetClampTable();

// Mean luminance of a 24-bit or 8-bit picture (palette looked up), whole picture.
int MeanLuminance(const ImageBuffer& image);

// 201 rows of 256 bytes for v = -100..100 around the mean m.
struct ContrastTable {
    std::array<uint8_t, 201 * 256> rows;
    const uint8_t* Row(int v) const { return rows.data() + (v + 100) * 256; }
};
void BuildContrastTable(int mean, ContrastTable& table);

// Rows for spans s = 1..255, offsets j = -254..255.
struct DivisionTable {
    std::array<uint8_t, 255 * 510> entries;
    uint8_t At(int span, int j) const {
        return entries[static_cast<size_t>(span - 1) * 510 + 254 + j];
    }
};
const DivisionTable& GetDivisionTable();

// round(0.114 v), round(0.587 v), round(0.299 v); Y = b[B] + g[G] + r[R].
struct LuminanceTables {
    std::array<uint8_t, 256> b, g, r;
    int Y(int blue, int green, int red) const { return b[blue] + g[green] + r[red]; }
};
const LuminanceTables& GetLuminanceTables();

}  // namespace lumra
