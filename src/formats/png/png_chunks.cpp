#include "formats/png/png_chunks.h"

#include <array>

namespace lumra {

namespace {

// Sixteen tables: the byte-wise table and its shifts, so that 16 bytes go per step.
using CrcTables = std::array<std::array<uint32_t, 256>, 16>;

constexpr CrcTables MakeCrcTables() {
    CrcTables t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
        for (size_t k = 1; k < 16; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

inline uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

uint32_t UpdatePngCrc(uint32_t crc, const uint8_t* p, size_t n) {
    uint32_t c = ~crc;
    while (n >= 16) {
        const uint32_t a = Le32(p) ^ c, b = Le32(p + 4), d = Le32(p + 8), e = Le32(p + 12);
        c = kCrc[15][a & 0xFF] ^ kCrc[14][(a >> 8) & 0xFF] ^ kCrc[13][(a >> 16) & 0xFF] ^
            kCrc[12][a >> 24] ^ kCrc[11][b & 0xFF] ^ kCrc[10][(b >> 8) & 0xFF] ^
            kCrc[9][(b >> 16) & 0xFF] ^ kCrc[8][b >> 24] ^ kCrc[7][d & 0xFF] ^
            kCrc[6][(d >> 8) & 0xFF] ^ kCrc[5][(d >> 16) & 0xFF] ^ kCrc[4][d >> 24] ^
            kCrc[3][e & 0xFF] ^ kCrc[2][(e >> 8) & 0xFF] ^ kCrc[1][(e >> 16) & 0xFF] ^
            kCrc[0][e >> 24];
        p += 16;
        n -= 16;
    }
    while (n--) c = kCrc[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return ~c;
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
