// The table-driven hue/lightness/saturation shift and the colour-range weighting.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumra {

inline constexpr int kHueMin = -180, kHueMax = 180;
inline constexpr int kHlsMin = -255, kHlsMax = 255;  // lightness and saturation
inline constexpr int kColourRangeMax = 150;

struct HlsTables {
    std::array<int16_t, 511 * 256> hueOffset;   // [d + 255][c]
    std::array<uint8_t, 511 * 256> saturation;  // [min + max][c]
    std::array<uint8_t, 256 * 256> upper;       // [L][S]
    std::array<uint8_t, 360 * 256> ramp;        // [h][r]
    std::array<int16_t, 960> wrap;              // indexes -300..659
    std::array<uint8_t, 766> clamp;             // indexes -255..510

    int HueOffset(int d, int c) const { return hueOffset[static_cast<size_t>(d + 255) * 256 + c]; }
    int Saturation(int s, int c) const { return saturation[static_cast<size_t>(s) * 256 + c]; }
    int Upper(int l, int s) const { return upper[static_cast<size_t>(l) * 256 + s]; }
    int Ramp(int h, int r) const { return ramp[static_cast<size_t>(h) * 256 + r]; }
    int Wrap(int i) const { return wrap[static_cast<size_t>(i + 300)]; }
    int Clamp(int i) const { return clamp[static_cast<size_t>(i + 255)]; }
};
const HlsTables& GetHlsTables();

// Shifts one colour in place; each channel 0..255.
void HlsAdjust(const HlsTables& t, int& b, int& g, int& r, int dH, int dL, int dS);

// Squares of -255..255 and the fall-off of one range value.
struct ColourRange {
    int threshold = 0;
    std::vector<uint8_t> falloff;  // indexes 0..threshold
    explicit ColourRange(int range);
    // Weight of (b, g, r) against the reference colour, or -1 outside the range.
    int Weight(int b, int g, int r, int rc, int gc, int bc) const;
};
const std::array<int32_t, 511>& GetSquares();

}  // namespace lumra
