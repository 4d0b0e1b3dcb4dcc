// The brush kernels: brush masks, dab rectangles, the stroke's line walk and the dab of each
// tool and mode. Plain functions over 24-bit buffers; no UI.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "formats/image_buffer.h"

namespace lumra {

inline constexpr int kBrushMinSize = 3;
inline constexpr int kBrushMaxSize = 128;

// Partial-correction modes, in the order of the radio buttons.
enum BrushMode : int {
    kBrushBrighten = 0,
    kBrushDarken = 1,
    kBrushVivid = 2,
    kBrushPale = 3,
    kBrushSharpen = 4,
    kBrushBlur = 5,
    kBrushDenoise = 6,
};

// The size box: 2 or less becomes 3, above 128 becomes 128.
int ClampBrushSize(int size);
// Opacity percent 0..100 as a weight 0..255.
uint8_t OpacityByte(int percent);

// The weight mask of a brush of `size` (size x size bytes, rows top to bottom): 255 in the
// middle, falling linearly with the distance.
std::vector<uint8_t> MakeBrushMask(int size);
// Every mask of sizes 3..128, built once. size must lie in that range.
const uint8_t* BrushMask(int size);

struct DabRect {
    int left, top, right, bottom;  // picture pixels from the top-left, right and bottom exclusive
};
DabRect DabRectangle(int x, int y, int size);

// The points of the line from (x0, y0) towards (x1, y1), the end point excluded, ties kept
// toward the start: max(|dx|, |dy|) points.
void WalkLine(int x0, int y0, int x1, int y1, const std::function<void(int, int)>& point);

struct BrushSettings {
    bool paint = true;
    int size = 24;
    uint8_t alpha = 128;  // paint opacity byte
    uint8_t red = 255, green = 255, blue = 255;
    int mode = kBrushVivid;
    int strength = 50;  // 1..100, the current mode's
};

// What a dab works on: the before-stroke buffer, the working picture (both 24-bit, same
// size) and the selection mask (bottom-up rows of width bytes; null without a selection).
struct BrushCanvas {
    const ImageBuffer* before = nullptr;
    ImageBuffer* working = nullptr;
    const uint8_t* selection = nullptr;
};

// Applies one dab centred at (x, y), clipped to the picture (less a one-pixel border for
// sharpen, blur and noise removal).
void ApplyDab(const BrushCanvas& canvas, const BrushSettings& s, int x, int y);
// Fill: the paint target with the selection rule for every pixel, no brush weight.
void ApplyFill(const BrushCanvas& canvas, const BrushSettings& s);

}  // namespace lumra
