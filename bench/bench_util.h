// Inputs and reporting shared by the benchmarks.
#pragma once

#include <cstdint>

#include "formats/image_buffer.h"

namespace lumra::bench {

// A deterministic photograph-like 24-bit picture: smooth gradients, soft shapes and noise.
ImageBuffer MakePhotoLike(int width, int height, uint32_t seed = 1);

}  // namespace lumra::bench
