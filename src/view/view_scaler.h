// Reduction of a picture for display: each output pixel is the average of the box of
// picture pixels it covers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/image_buffer.h"

namespace lumra {

// Reduces the whole picture to outW x outH (each at least 1 and at most the picture's
// side) into top-down rows of 0xFFRRGGBB words, outStride bytes apart. 24-bit rows and
// 1-, 4- and 8-bit rows through the palette. False for another depth, an empty picture
// or a size outside those limits.
bool BoxReduce(const ImageBuffer& image, int outW, int outH, uint32_t* out, size_t outStride);
// The same for output rows firstRow to endRow - 1 only (out still points at row 0), so that
// parts can be made on several threads.
bool BoxReduceRows(const ImageBuffer& image, int outW, int outH, int firstRow, int endRow, uint32_t* out,
                   size_t outStride);

}  // namespace lumra
