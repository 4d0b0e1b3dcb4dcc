// Pixel kernels of the tone corrections. Each reads job.src and writes job.dst (24-bit
// with the selection mask) or maps the palette (8-bit, mask ignored).
#pragma once

#include <array>
#include <cstdint>

#include "edit/edit_model.h"

namespace lumra {

// Runs fn(y0, y1) over row bands of [0, height), on several threads for big pictures. The
// bands are disjoint, so results do not depend on the split.
void ForRowBands(int height, int64_t pixels, const std::function<void(int, int)>& fn);

// dst = map[src] per byte, then the masked application rule.
void ApplyChannelMaps(const PixelJob& job, const uint8_t* mapB, const uint8_t* mapG,
                      const uint8_t* mapR);

// gamma / brightness / contrast maps of one channel value (mode 0, 1, 2).
enum ToneMode { kToneGamma = 0, kToneBrightness = 1, kToneContrast = 2 };
const uint8_t* ToneMap(const PixelJob& job, int mode, int v);

// Levels: channel index 0 B, 1 G, 2 R, 3 RGB.
struct LevelsPair {
    int lo = 0;
    int hi = 255;
};
void LevelsMap(int lo, int hi, uint8_t* map);
// The RGB pair on all three bytes when selected is 3, otherwise each byte its own pair.
void ApplyLevels(const PixelJob& job, const std::array<LevelsPair, 4>& pairs, int selected);

struct LevelsHistogram {
    std::array<std::array<uint64_t, 256>, 4> hist{};  // B, G, R, RGB
    uint64_t counted = 0;                             // pixels counted
};
// 24-bit: pixels whose mask is not 255; 8-bit: every pixel through the palette.
LevelsHistogram CountLevelsHistogram(const ImageBuffer& image, const uint8_t* mask);
// Typed values: the minimum box keeps below the maximum, the maximum box above the minimum.
int LevelsMinimumBox(int value, int maximum);
int LevelsMaximumBox(int value, int minimum);
// Histogram graph: 1 within 2 pixels of the minimum marker, else 2 within 2 pixels of the
// maximum marker, else 0.
int HistogramHoverTarget(int x, LevelsPair pair);
// The automatic pair of one channel's histogram; replaces the old pair as a whole.
LevelsPair AutoLevels(const LevelsHistogram& h, int channel);
// Display heights: y = top - c * top / M (M the largest count of bins 1..254, at least 1).
uint64_t HistogramScale(const std::array<uint64_t, 256>* hists, int count);
int HistogramHeight(uint64_t count, uint64_t scale, int top);

// Luminance histogram of the whole picture (8-bit through the palette, no mask).
std::array<uint64_t, 256> LuminanceHistogram(const ImageBuffer& image);

// Invert: 24-bit bytes negated with the mask; a palette picture has its palette negated.
// Empty on memory failure.
ImageBuffer InvertPicture(const ImageBuffer& image, const uint8_t* mask);
// Equalize through the lightness shift; the result is 24-bit. unchanged is set (and the
// result empty) when the picture has one luminance only.
ImageBuffer EqualizePicture(const ImageBuffer& image, const uint8_t* mask, bool& unchanged);

}  // namespace lumra
