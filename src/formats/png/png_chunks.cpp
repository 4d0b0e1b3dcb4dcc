#include "formats/png/png_chunks.h"

#include <zlib.h>

namespace lumra {

// zlib's CRC-32 is the PNG one (same polynomial and conditioning) and about twice as fast as
// a table walk.
uint32_t UpdatePngCrc(uint32_t crc, const uint8_t* p, size_t n) {
    return static_cast<uint32_t>(crc32_z(crc, p, n));
}

ChunkRead ReadChunkAt(const uint8_t* data, size_t size, size_t pos, PngChunk& chunk) {
    if (pos >= size) return ChunkRead::End;
    if (size - pos < 4) return ChunkRead::Overrun;
    const uint32_t length = ReadBe32(data + pos);
    if (length > kPngMaxChunkLength) return ChunkRead::Negative;
    // Type, data and CRC after the length field.
    if (uint64_t{size - pos - 4} < uint64_t{length} + 8) return ChunkRead::Overrun;
    chunk.start = pos;
    chunk.length = length;
    chunk.type = data + pos + 4;
    chunk.body = data + pos + 8;
    chunk.end = pos + 12 + size_t{length};
    return ChunkRead::Ok;
}

}  // namespace lumra
