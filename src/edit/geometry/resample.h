// Resizing 24-bit rasters: area averaging to shrink, linear interpolation to enlarge up to
// twice, one axis at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/image_buffer.h"

namespace lumra {

// A 24-bit raster: rows bottom-up, stride bytes apart.
struct Raster24 {
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    size_t stride = 0;
};

// Resamples src into dst (dst.width x dst.height). False, with dst untouched, for a size out of
// 1..25000, the same size on both axes, an enlargement beyond twice, or no memory for the
// intermediate raster.
bool Resample(const Raster24& src, const Raster24& dst);

// The picture (8-bit widened through its palette) resampled to width x height as a new
// 24-bit picture; empty on failure.
ImageBuffer ResizePicture(const ImageBuffer& picture, int width, int height);

}  // namespace lumra
