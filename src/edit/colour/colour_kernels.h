// Pixel kernels of hue/saturation and colour replacement. 24-bit pictures honour the
// selection mask; 8-bit pictures map their palette. Colours are given as R, G, B.
#pragma once

#include "edit/colour/hls.h"
#include "edit/edit_model.h"

namespace lumra {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

void HueSaturation(const PixelJob& job, int hue, int lightness, int saturation);
// Only colours within range of colour change; those outside are copied (mask not applied).
void HueSaturationInRange(const PixelJob& job, int hue, int lightness, int saturation, Rgb colour,
                          const ColourRange& range);
void ReplaceColour(const PixelJob& job, int strength, Rgb source, Rgb target,
                   const ColourRange& range);

}  // namespace lumra
