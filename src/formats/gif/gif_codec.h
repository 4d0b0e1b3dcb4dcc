// GIF files: decoding of still and animated pictures, single-frame encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/decoder_context.h"
#include "formats/load_save.h"

namespace lumra {

// Decodes a whole GIF file held in memory into ctx.image (8 bits, or 24 bits for a later
// frame whose colours do not fit one table). With ctx.animationAllowed the later frames
// go to ctx.animation. False with ctx.error set (2, 4 or 6; 1 on memory).
bool DecodeGif(const uint8_t* data, size_t size, DecoderContext& ctx);

// Moves the frames of a decode into the current picture's record.
void TakeGifAnimation(DecoderContext& ctx, Animation& record);

// Writes a single-frame GIF89a at req.simg.depth (1-8; other values write 8 bits) with
// req.simg.interlace and, when req.saveTransparent, the transparent colour AlphaR/G/B.
bool EncodeGif(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
               DecoderContext& ctx);
// The same into memory.
bool EncodeGifBytes(const ImageBuffer& image, const SaveRequest& req, std::vector<uint8_t>& out,
                    DecoderContext& ctx);

// Variable-length-code LZW as GIF stores it (codes packed least significant bit first,
// without the sub-block framing). Encoding starts with a clear code, clears again when the
// table holds 4096 entries and ends with the end code.
std::vector<uint8_t> GifLzwEncode(const uint8_t* indices, size_t count, int minCodeSize);
// Decodes up to maxPixels indices; stops at the end code, at the end of the data or at the
// first code that cannot occur. Returns the indices decoded.
std::vector<uint8_t> GifLzwDecode(const uint8_t* data, size_t size, int minCodeSize,
                                  size_t maxPixels);

}  // namespace lumra
