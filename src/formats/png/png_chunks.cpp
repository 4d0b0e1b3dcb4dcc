#include "formats/png/png_chunks.h"

#include <zlib.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lumra {

namespace {

#if defined(__x86_64__)
// The CRC register (not inverted) carried over n bytes, n a multiple of 16 and at least 64, by
// folding with carry-less multiplication: four 128-bit lanes folded 64 bytes ahead, then into
// one, then Barrett reduction to 32 bits. The constants are powers of x modulo the polynomial,
// bit-reflected.
inline __m128i Load16(const uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); }

// x folded over 128 bits and merged with the next 16 bytes.
__attribute__((target("pclmul"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

__attribute__((target("pclmul,sse4.1"))) uint32_t FoldCrc(uint32_t crc, const uint8_t* p, size_t n) {
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);

    __m128i x1 = _mm_xor_si128(Load16(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = Load16(p + 16), x3 = Load16(p + 32), x4 = Load16(p + 48);
    p += 64;
    n -= 64;
    for (; n >= 64; p += 64, n -= 64) {
        x1 = Fold(x1, k1k2, Load16(p));
        x2 = Fold(x2, k1k2, Load16(p + 16));
        x3 = Fold(x3, k1k2, Load16(p + 32));
        x4 = Fold(x4, k1k2, Load16(p + 48));
    }
    x1 = Fold(Fold(Fold(x1, k3k4, x2), k3k4, x3), k3k4, x4);
    for (; n >= 16; p += 16, n -= 16) x1 = Fold(x1, k3k4, Load16(p));

    // 128 bits to 64, then to 32.
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), _mm_srli_si128(x1, 4));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
}
#endif

}  // namespace

// The CRC-32 of zlib (the PNG one: same polynomial and conditioning), with long runs folded by
// carry-less multiplication where the processor has it, several times as fast.
uint32_t UpdatePngCrc(uint32_t crc, const uint8_t* p, size_t n) {
#if defined(__x86_64__)
    static const bool clmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    if (clmul && n >= 64) {
        const size_t whole = n & ~size_t{15};
        crc = ~FoldCrc(~crc, p, whole);
        p += whole;
        n -= whole;
    }
#endif
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
