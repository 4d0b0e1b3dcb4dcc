// What the PNG reader, writer and text walkers share: the CRC-32, big-endian fields,
// chunk types and the Adam7 pass layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lumra {

inline constexpr uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// Signature and the whole IHDR chunk.
inline constexpr size_t kPngHeadBytes = 33;
inline constexpr uint32_t kPngMaxChunkLength = 0x7FFFFFFF;

// CRC-32 (ISO 3309 polynomial, reflected) continued over more bytes; start with 0.
uint32_t UpdatePngCrc(uint32_t crc, const uint8_t* data, size_t size);
inline uint32_t PngCrc(const uint8_t* data, size_t size) { return UpdatePngCrc(0, data, size); }

inline uint32_t ReadBe32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void WriteBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

inline bool IsChunkType(const uint8_t* p, const char (&type)[5]) { return std::memcmp(p, type, 4) == 0; }

// A chunk that lies wholly inside the data.
struct PngChunk {
    size_t start = 0;   // offset of the length field
    uint32_t length = 0;
    const uint8_t* type = nullptr;
    const uint8_t* body = nullptr;
    size_t end = 0;     // offset just after the CRC
    // The stored CRC equals the CRC over type and data.
    bool CrcMatches() const { return PngCrc(type, size_t{length} + 4) == ReadBe32(body + length); }
};

enum class ChunkRead { Ok, End, Negative, Overrun };
// Reads the chunk at pos. End: nothing left at pos; Negative: the length field has its top bit
// set; Overrun: the length field or the chunk runs past the end of the data.
ChunkRead ReadChunkAt(const uint8_t* data, size_t size, size_t pos, PngChunk& chunk);

// Adam7: first column and row, column and row steps of each pass.
struct Adam7Pass {
    int x0, y0, dx, dy;
};
inline constexpr Adam7Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                        {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
// Pixels of a pass along one side of `extent` pixels.
inline uint32_t PassExtent(uint32_t extent, int start, int step) {
    return extent > static_cast<uint32_t>(start) ? (extent - start + step - 1) / step : 0;
}

// The Paeth predictor of the PNG filters: a left, b above, c above-left.
inline uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = b > c ? b - c : c - b;
    const int pb = a > c ? a - c : c - a;
    const int pcRaw = a + b - 2 * c;
    const int pc = pcRaw < 0 ? -pcRaw : pcRaw;
    const int bc = pb <= pc ? b : c;
    return static_cast<uint8_t>((pa <= pb && pa <= pc) ? a : bc);
}

// Filtered row bytes (without the filter-type byte) for a row of `pixels`.
inline uint64_t PngRowBytes(uint64_t pixels, int bitsPerPixel) { return (pixels * bitsPerPixel + 7) / 8; }

}  // namespace lumra
