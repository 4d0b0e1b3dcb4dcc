// Smoothing and sharpening kernels on 24-bit rasters (rows padded to 4 bytes, B,G,R), each
// honouring the selection mask: 255 keeps the source pixel, 0 takes the filtered value.
#pragma once

#include <array>
#include <cstdint>

#include "formats/blend_table.h"

namespace lumra {

// Lookup tables, built once and read-only afterwards.
struct FilterTables {
    std::array<uint8_t, 2296> div9;   // i / 9, rounded half up
    std::array<uint8_t, 6376> div25;  // (35389 + 2621 (i - 1)) >> 16
    int16_t gain[101][256];           // [level][d + 128] = (d * level) >> 3
    std::array<uint8_t, 3443> clamp;  // [v + kClampCentre] = v clamped to 0..255
    uint8_t luma[3][256];             // blue, green, red shares of the luminance
};
inline constexpr int kClampCentre = 1600;
const FilterTables& GetFilterTables();

// The record every filter kernel works on.
struct FilterJob {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    const uint8_t* source = nullptr;
    uint8_t* destination = nullptr;
    const uint8_t* mask = nullptr;  // width x height, same row order; null: no selection
    uint8_t* auxiliary = nullptr;   // difference image (unsharp), intermediate (Gaussian)
    const BlendTable* blend = nullptr;
    const uint8_t* div9 = nullptr;
    const uint8_t* div25 = nullptr;
    const int16_t (*gain)[256] = nullptr;
    const uint8_t* clamp = nullptr;  // points at the centre entry
    const uint8_t (*luma)[256] = nullptr;
    int32_t weights[41] = {};  // Gaussian, index 20 is the centre
    int32_t threads = 0;       // bands of rows at once; 0: one per processor (up to 8)
};

inline constexpr int kMinFilterSide = 5;
inline constexpr int kMaxGaussRadius = 20;

// Fills the table pointers and the geometry for a source/destination pair.
FilterJob MakeFilterJob(int width, int height, const uint8_t* source, uint8_t* destination,
                        const uint8_t* mask);

void BoxBlur3(const FilterJob& job, int strength);
void BoxBlur5(const FilterJob& job, int strength);
// Radius limited to (min(width, height) - 1) / 2 and to 20; intermediate has the source's size.
void GaussianBlur(FilterJob& job, uint8_t* intermediate, int radius);
// job.auxiliary (stride x height bytes, signed) = source - destination, clamped to -128..127.
void UnsharpDifference(const FilterJob& job);
void UnsharpApply(const FilterJob& job, int amount, int threshold);
void SoftFocusBlend(const FilterJob& job, int level, const uint8_t* blurred);
void NoiseRemoval(const FilterJob& job, int level);

}  // namespace lumra
