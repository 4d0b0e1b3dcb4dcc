// Pixel-format conversion between the stored depths (widening, expansion, copies).
// Colour reduction and grey conversion grow here as well.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/image_buffer.h"

namespace lumra {

struct PixelConversion {
    int width = 0;
    int height = 0;
    int sourceDepth = 0;
    int targetDepth = 0;
    int dither = 0;  // 0 full, 1 two-thirds, 2 half, 3 none
    bool gray = false;
    // Source rows: bottom-up, padded to 4 bytes (48 and 32 bits unpadded).
    // 48-bit pixels are B, G, R samples of 16 bits, little-endian.
    size_t sourceStride = 0;  // 0: the padded stride of the source depth
};

// Row bytes for a depth: 1, 2, 4, 8, 24 padded to 4 bytes; 32 and 48 unpadded.
size_t ConversionRowBytes(int width, int depth);

// Converts source rows into destination rows (padded for the target depth) and fills
// the destination palette for targets up to 8 bits. False for unsupported pairs.
bool ConvertPixels(const PixelConversion& ctx, RgbQuad* dstPalette, uint8_t* dstRows,
                   const RgbQuad* srcPalette, const uint8_t* srcRows);

}  // namespace lumra
