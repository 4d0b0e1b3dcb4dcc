// BMP files and clipboard DIBs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/decoder_context.h"

namespace lumra {

// Decodes a whole BMP file held in memory into ctx.image (8 or 24 bits). Sets
// sourceFormat, sourceBitDepth and fileSize; false with ctx.error set.
bool DecodeBmp(const uint8_t* data, size_t size, DecoderContext& ctx);
// Reads the file and decodes it; also sets fileTime. CodecError 4 when it cannot be read.
bool ReadBmpFile(const std::string& path, DecoderContext& ctx);
// A packed DIB (info header, masks, colour table, rows) as found on the clipboard.
bool ReadClipboardDib(const uint8_t* data, size_t size, DecoderContext& ctx);

// Encodes at targetDepth (1, 4, 8 or 24; converting with gray/dither when it differs
// from the picture's depth) into a complete BMP file image.
bool EncodeBmp(const ImageBuffer& image, int targetDepth, bool gray, int dither,
               std::vector<uint8_t>& out, DecoderContext& ctx);
// Writes the file; CodecError 5 when it cannot be created.
bool WriteBmpFile(const std::string& path, const ImageBuffer& image, int targetDepth, bool gray,
                  int dither, DecoderContext& ctx);
// The picture as a packed DIB for the clipboard (BI_RGB, biClrUsed 0, 256 entries for 8 bits).
std::vector<uint8_t> WriteClipboardDib(const ImageBuffer& image);

}  // namespace lumra
