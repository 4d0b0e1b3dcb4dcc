// Baseline uncompressed TIFF: reading the first image, writing one strip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/decoder_context.h"
#include "formats/load_save.h"

namespace lumra {

// Decodes the first image of an uncompressed TIFF held in memory into ctx.image (8 or 24
// bits). Compressed and other unsupported forms fail with CodecError 2 so that the
// plug-ins can try them; malformed files with 4 or 6.
bool DecodeTiff(const uint8_t* data, size_t size, DecoderContext& ctx);

// Writes a little-endian single-strip TIFF at targetDepth 1, 4, 8 (grey when gray) , 24 or 48.
bool EncodeTiffBytes(const ImageBuffer& image, int targetDepth, bool gray, int dither,
                     std::vector<uint8_t>& out, DecoderContext& ctx);
// The saving entry: Depth 1 -> 1, 2-4 -> 4, 5-8 -> 8, 24 -> 24; Gray writes 8-bit grey.
bool EncodeTiff(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
                DecoderContext& ctx);

}  // namespace lumra
