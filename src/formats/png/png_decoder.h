// PNG reading into 8- or 24-bit pictures, with gamma and transparency resolved.
#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/decoder_context.h"

namespace lumra {

// Decodes a whole PNG file held in memory into ctx.image with the display options of
// ctx.load. Sets sourceFormat, sourceBitDepth, fileSize and ctx.flags; false with ctx.error set.
bool DecodePng(const uint8_t* data, size_t size, DecoderContext& ctx);

}  // namespace lumra
