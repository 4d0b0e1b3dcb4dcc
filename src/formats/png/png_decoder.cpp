#include "formats/png/png_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define LUMRA_PNG_SSSE3 1
#endif

#include "formats/blend_table.h"
#include "formats/codec_error.h"
#include "formats/png/png_chunks.h"

namespace lumra {

namespace {

#if LUMRA_PNG_SSSE3
bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

// ---- rows: unfiltered in place, then converted to the output layout ----

// Rows are unfiltered in place in buffers with kRowPad zero bytes in front, so that the
// filter-type byte can land just before the row.
constexpr size_t kRowPad = 8;

enum FilterType { kFilterNone = 0, kFilterSub = 1, kFilterUp = 2, kFilterAverage = 3, kFilterPaeth = 4 };

// x: filtered byte; a: left; b: above; c: above-left (all unfiltered).
template <int F>
inline uint8_t Unfilter(uint8_t x, uint8_t a, uint8_t b, uint8_t c) {
    if constexpr (F == kFilterSub) return static_cast<uint8_t>(x + a);
    else if constexpr (F == kFilterUp) return static_cast<uint8_t>(x + b);
    else if constexpr (F == kFilterAverage) return static_cast<uint8_t>(x + ((a + b) >> 1));
    else if constexpr (F == kFilterPaeth) return static_cast<uint8_t>(x + PaethPredictor(a, b, c));
    else return x;
}

// Unfilters a row of rowBytes bytes (a whole number of Bpp-byte pixels; packed samples count
// as one byte per pixel). Nothing in front of cur or prev is read: the first pixel's left
// neighbours are 0. The left and upper-left pixels stay in registers.
using UnfilterFn = void (*)(uint8_t* cur, const uint8_t* prev, size_t rowBytes);

template <int Bpp, int F>
void UnfilterScalar(uint8_t* __restrict cur, const uint8_t* __restrict prev, size_t rowBytes) {
    if constexpr (F == kFilterUp) {
        for (size_t i = 0; i < rowBytes; ++i) cur[i] = static_cast<uint8_t>(cur[i] + prev[i]);
    } else if constexpr (F != kFilterNone) {
        uint8_t left[Bpp] = {}, upLeft[Bpp] = {};
        for (size_t i = 0; i < rowBytes; i += Bpp) {
            for (int k = 0; k < Bpp; ++k) {
                const uint8_t up = prev[i + k];
                left[k] = Unfilter<F>(cur[i + k], left[k], up, upLeft[k]);
                upLeft[k] = up;
                cur[i + k] = left[k];
            }
        }
    }
}

#if defined(__SSE2__)
// Every row handed to the unfilters has kRowSlack bytes after it that may be read and written
// over for a while (the next row, or spare bytes at the end of its buffer), so that a pixel is
// read and written in one move.
constexpr size_t kRowSlack = 8;

// A pixel's bytes in the low bytes of a register; the bytes above them are whatever follows.
template <int Bpp>
inline __m128i LoadPixel(const uint8_t* p) {
    if constexpr (Bpp > 4) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    } else if constexpr (Bpp > 1) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return _mm_cvtsi32_si128(v);
    } else {
        return _mm_cvtsi32_si128(p[0]);
    }
}
// Writes a pixel; 3 and 6-byte pixels are written as 4 and 8 bytes, running into the next.
template <int Bpp>
inline void StorePixel(uint8_t* p, __m128i v) {
    if constexpr (Bpp > 4) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    } else if constexpr (Bpp > 2) {
        const int32_t u = _mm_cvtsi128_si32(v);
        std::memcpy(p, &u, 4);
    } else if constexpr (Bpp == 2) {
        const auto u = static_cast<uint16_t>(_mm_cvtsi128_si32(v));
        std::memcpy(p, &u, 2);
    } else {
        p[0] = static_cast<uint8_t>(_mm_cvtsi128_si32(v));
    }
}

// One pixel's bytes side by side in a register, so that each pixel costs the dependency chain
// of one byte. The next pixel is read before a pixel is written over its first bytes; the
// bytes after the row are put back at the end. Paeth in 16-bit lanes without branches.
template <int Bpp, int F>
void UnfilterWide(uint8_t* cur, const uint8_t* prev, size_t rowBytes) {
    if constexpr (F == kFilterNone || F == kFilterUp) {
        UnfilterScalar<Bpp, F>(cur, prev, rowBytes);
    } else {
        uint8_t after[kRowSlack];
        std::memcpy(after, cur + rowBytes, kRowSlack);
        __m128i x = LoadPixel<Bpp>(cur);
        if constexpr (F == kFilterSub) {
            __m128i a = _mm_setzero_si128();
            for (size_t i = 0; i < rowBytes; i += Bpp) {
                const __m128i next = LoadPixel<Bpp>(cur + i + Bpp);
                a = _mm_add_epi8(x, a);
                StorePixel<Bpp>(cur + i, a);
                x = next;
            }
        } else if constexpr (F == kFilterAverage) {
            // The left pixel is kept complemented: ~((a + b) >> 1) is the rounded-up mean of ~a
            // and ~b, so ~(x + ((a + b) >> 1)) = avg(~a, ~b) - x, two steps a pixel.
            const __m128i ones = _mm_set1_epi8(-1);
            __m128i notA = ones;
            for (size_t i = 0; i < rowBytes; i += Bpp) {
                const __m128i next = LoadPixel<Bpp>(cur + i + Bpp);
                const __m128i notB = _mm_xor_si128(LoadPixel<Bpp>(prev + i), ones);
                notA = _mm_sub_epi8(_mm_avg_epu8(notA, notB), x);
                StorePixel<Bpp>(cur + i, _mm_xor_si128(notA, ones));
                x = next;
            }
        } else {
            const __m128i zero = _mm_setzero_si128();
            const __m128i low = _mm_set1_epi16(0xFF);
            __m128i a = zero, c = zero;  // left and upper-left, 16 bits a byte
            for (size_t i = 0; i < rowBytes; i += Bpp) {
                const __m128i next = LoadPixel<Bpp>(cur + i + Bpp);
                const __m128i b = _mm_unpacklo_epi8(LoadPixel<Bpp>(prev + i), zero);
                const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
                const __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(zero, bc));
                const __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(zero, ac));
                const __m128i abc = _mm_add_epi16(bc, ac);
                const __m128i pc = _mm_max_epi16(abc, _mm_sub_epi16(zero, abc));
                const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
                // a when pa is least, else b when pb is, else c.
                const __m128i useB = _mm_cmpeq_epi16(pb, least);
                const __m128i useA = _mm_cmpeq_epi16(pa, least);
                const __m128i bOrC = _mm_or_si128(_mm_and_si128(useB, b), _mm_andnot_si128(useB, c));
                const __m128i predicted = _mm_or_si128(_mm_and_si128(useA, a), _mm_andnot_si128(useA, bOrC));
                a = _mm_and_si128(_mm_add_epi16(_mm_unpacklo_epi8(x, zero), predicted), low);
                c = b;
                StorePixel<Bpp>(cur + i, _mm_packus_epi16(a, a));
                x = next;
            }
        }
        std::memcpy(cur + rowBytes, after, kRowSlack);
    }
}
#define LUMRA_UNFILTER_WIDE(Bpp, F) UnfilterWide<Bpp, F>
#else
constexpr size_t kRowSlack = 0;
#define LUMRA_UNFILTER_WIDE(Bpp, F) UnfilterScalar<Bpp, F>
#endif

// Indexed by bytes per pixel, 1 to 8 (5 and 7 do not occur).
template <int F>
constexpr std::array<UnfilterFn, 9> UnfiltersFor() {
    return {nullptr,
            LUMRA_UNFILTER_WIDE(1, F),
            LUMRA_UNFILTER_WIDE(2, F),
            LUMRA_UNFILTER_WIDE(3, F),
            LUMRA_UNFILTER_WIDE(4, F),
            nullptr,
            LUMRA_UNFILTER_WIDE(6, F),
            nullptr,
            LUMRA_UNFILTER_WIDE(8, F)};
}
constexpr std::array<std::array<UnfilterFn, 9>, 5> kUnfilters = {
    UnfiltersFor<kFilterNone>(), UnfiltersFor<kFilterSub>(), UnfiltersFor<kFilterUp>(),
    UnfiltersFor<kFilterAverage>(), UnfiltersFor<kFilterPaeth>()};

// Converts an unfiltered row of `pixels` pixels to the output: one byte per pixel (grey and
// palette) or B,G,R, and the alpha bytes when the colour type has them. 16-bit samples keep
// their high byte.
using EmitFn = void (*)(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t* __restrict alpha);

template <int Depth>
void EmitPacked(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t*) {
    constexpr size_t kPerByte = 8 / Depth;
    constexpr unsigned kMask = (1u << Depth) - 1;
    const size_t whole = pixels / kPerByte;
    for (size_t k = 0; k < whole; ++k, out += kPerByte) {
        const unsigned v = row[k];
        for (size_t j = 0; j < kPerByte; ++j) out[j] = static_cast<uint8_t>((v >> (8 - Depth * (j + 1))) & kMask);
    }
    for (size_t j = 0; j < pixels - whole * kPerByte; ++j)
        out[j] = static_cast<uint8_t>((row[whole] >> (8 - Depth * (j + 1))) & kMask);
}
void EmitGrey8(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t*) { std::memcpy(out, row, pixels); }
void EmitGrey16(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t*) {
    for (size_t i = 0; i < pixels; ++i) out[i] = row[2 * i];
}
void EmitGreyAlpha16(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t* __restrict alpha) {
    for (size_t i = 0; i < pixels; ++i) {
        out[i] = row[4 * i];
        alpha[i] = row[4 * i + 2];
    }
}
void EmitRgb16(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t*) {
    for (size_t i = 0; i < pixels; ++i, row += 6, out += 3) {
        out[0] = row[4];
        out[1] = row[2];
        out[2] = row[0];
    }
}
void EmitRgba16(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t* __restrict alpha) {
    for (size_t i = 0; i < pixels; ++i, row += 8, out += 3) {
        out[0] = row[4];
        out[1] = row[2];
        out[2] = row[0];
        alpha[i] = row[6];
    }
}
void EmitRgb8Scalar(const uint8_t* row, size_t from, size_t pixels, uint8_t* __restrict out) {
    for (size_t i = from; i < pixels; ++i) {
        out[3 * i] = row[3 * i + 2];
        out[3 * i + 1] = row[3 * i + 1];
        out[3 * i + 2] = row[3 * i];
    }
}
void EmitRgba8Scalar(const uint8_t* row, size_t from, size_t pixels, uint8_t* __restrict out,
                     uint8_t* __restrict alpha) {
    for (size_t i = from; i < pixels; ++i) {
        out[3 * i] = row[4 * i + 2];
        out[3 * i + 1] = row[4 * i + 1];
        out[3 * i + 2] = row[4 * i];
        alpha[i] = row[4 * i + 3];
    }
}
void EmitGreyAlpha8(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t* __restrict alpha) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i low = _mm_set1_epi16(0xFF);
    for (; i + 16 <= pixels; i += 16) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * i));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * i + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(_mm_and_si128(v0, low), _mm_and_si128(v1, low)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(alpha + i),
                         _mm_packus_epi16(_mm_srli_epi16(v0, 8), _mm_srli_epi16(v1, 8)));
    }
#endif
    for (; i < pixels; ++i) {
        out[i] = row[2 * i];
        alpha[i] = row[2 * i + 1];
    }
}

#if LUMRA_PNG_SSSE3
// R,G,B to B,G,R five pixels at a time; each 16-byte store's last byte is rewritten by the next.
__attribute__((target("ssse3"))) void EmitRgb8Ssse3(const uint8_t* row, size_t pixels, uint8_t* __restrict out,
                                                    uint8_t*) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    size_t i = 0;
    for (; 3 * i + 16 <= 3 * pixels; i += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 3 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * i), _mm_shuffle_epi8(v, order));
    }
    EmitRgb8Scalar(row, i, pixels, out);
}
// R,G,B,A to B,G,R and A four pixels at a time; each store's last four bytes are rewritten by the next.
__attribute__((target("ssse3"))) void EmitRgba8Ssse3(const uint8_t* row, size_t pixels, uint8_t* __restrict out,
                                                     uint8_t* __restrict alpha) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 3, 7, 11, 15);
    size_t i = 0;
    for (; 3 * i + 16 <= 3 * pixels; i += 4) {
        const __m128i v = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * i)), order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * i), v);
        const auto a = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 12)));
        std::memcpy(alpha + i, &a, 4);
    }
    EmitRgba8Scalar(row, i, pixels, out, alpha);
}
#endif
void EmitRgb8(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t*) {
    EmitRgb8Scalar(row, 0, pixels, out);
}
void EmitRgba8(const uint8_t* row, size_t pixels, uint8_t* __restrict out, uint8_t* __restrict alpha) {
    EmitRgba8Scalar(row, 0, pixels, out, alpha);
}

enum PixelKind {
    kPacked1, kPacked2, kPacked4, kGrey8, kGrey16, kRgb8, kRgb16,
    kGreyAlpha8, kGreyAlpha16, kRgba8, kRgba16, kPixelKinds
};

EmitFn EmitterFor(PixelKind kind) {
#if LUMRA_PNG_SSSE3
    if (HasSsse3() && kind == kRgb8) return EmitRgb8Ssse3;
    if (HasSsse3() && kind == kRgba8) return EmitRgba8Ssse3;
#endif
    static constexpr std::array<EmitFn, kPixelKinds> kEmitters = {
        EmitPacked<1>, EmitPacked<2>, EmitPacked<4>, EmitGrey8, EmitGrey16, EmitRgb8,
        EmitRgb16, EmitGreyAlpha8, EmitGreyAlpha16, EmitRgba8, EmitRgba16};
    return kEmitters[kind];
}

// Unfilters a row in place and converts it; filter types above 4 read as None.
struct RowConverter {
    int bytesPerPixel;
    EmitFn emit;

    void operator()(int type, uint8_t* cur, const uint8_t* prev, size_t rowBytes, size_t pixels, uint8_t* out,
                    uint8_t* alpha) const {
        kUnfilters[type > 4 ? 0 : type][static_cast<size_t>(bytesPerPixel)](cur, prev, rowBytes);
        emit(cur, pixels, out, alpha);
    }
};

// ---- alpha over the background ----

// Pixels B,G,R with their alphas over the background bgr, as BlendOver with the blend
// table: entry[a][v] = (v * a * 257 + 32768) >> 16, which the vector code computes.
void ComposeRowScalar(uint8_t* p, const uint8_t* alpha, size_t from, size_t width, const uint8_t bgr[3],
                      const BlendTable& t) {
    for (size_t x = from; x < width; ++x) {
        const unsigned w = alpha[x];
        if (w == 255) continue;
        uint8_t* q = p + 3 * x;
        q[0] = BlendOver(t, w, q[0], bgr[0]);
        q[1] = BlendOver(t, w, q[1], bgr[1]);
        q[2] = BlendOver(t, w, q[2], bgr[2]);
    }
}

#if LUMRA_PNG_SSSE3
// 16 bytes of colour c over background g with weights a, all per byte.
__attribute__((target("ssse3"))) inline __m128i BlendBytes(__m128i c, __m128i a, __m128i g) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i k257 = _mm_set1_epi16(257);
    const __m128i ones = _mm_set1_epi16(-1);
    const __m128i low = _mm_set1_epi16(0xFF);
    const auto half = [&](__m128i c16, __m128i a16, __m128i g16) {
        const __m128i w = _mm_mullo_epi16(a16, k257);  // a * 257, up to 65535
        const __m128i nw = _mm_sub_epi16(ones, w);     // (255 - a) * 257
        const __m128i e1 = _mm_add_epi16(_mm_mulhi_epu16(c16, w), _mm_srli_epi16(_mm_mullo_epi16(c16, w), 15));
        const __m128i e2 = _mm_add_epi16(_mm_mulhi_epu16(g16, nw), _mm_srli_epi16(_mm_mullo_epi16(g16, nw), 15));
        return _mm_and_si128(_mm_add_epi16(e1, e2), low);  // the byte the sum wraps to
    };
    const __m128i lo = half(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(g, zero));
    const __m128i hi = half(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(g, zero));
    return _mm_packus_epi16(lo, hi);
}

__attribute__((target("ssse3"))) void ComposeRowSsse3(uint8_t* p, const uint8_t* alpha, size_t width,
                                                      const uint8_t bgr[3], const BlendTable& t) {
    // Each alpha spread over its pixel's three bytes, and the background repeated, for the
    // three 16-byte thirds of 16 pixels.
    const __m128i spread0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i spread1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i spread2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    uint8_t pattern[48];
    for (int i = 0; i < 48; ++i) pattern[i] = bgr[i % 3];
    const __m128i g0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern));
    const __m128i g1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 16));
    const __m128i g2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 32));
    size_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha + x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(a, _mm_set1_epi8(-1))) == 0xFFFF) continue;  // all opaque
        auto* q = reinterpret_cast<__m128i*>(p + 3 * x);
        _mm_storeu_si128(q, BlendBytes(_mm_loadu_si128(q), _mm_shuffle_epi8(a, spread0), g0));
        _mm_storeu_si128(q + 1, BlendBytes(_mm_loadu_si128(q + 1), _mm_shuffle_epi8(a, spread1), g1));
        _mm_storeu_si128(q + 2, BlendBytes(_mm_loadu_si128(q + 2), _mm_shuffle_epi8(a, spread2), g2));
    }
    ComposeRowScalar(p, alpha, x, width, bgr, t);
}

// The whole groups of 16 grey pixels; returns how many pixels it did.
__attribute__((target("ssse3"))) size_t ComposeGreyRowSsse3(uint8_t* p, const uint8_t* alpha, size_t width,
                                                          uint8_t g) {
    const __m128i background = _mm_set1_epi8(static_cast<char>(g));
    size_t x = 0;
    for (; x + 16 <= width; x += 16) {
        auto* q = reinterpret_cast<__m128i*>(p + x);
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha + x));
        _mm_storeu_si128(q, BlendBytes(_mm_loadu_si128(q), a, background));
    }
    return x;
}
#endif

// Grey pixels with their alphas over the grey background g.
void ComposeGreyRow(uint8_t* p, const uint8_t* alpha, size_t width, uint8_t g, const BlendTable& t) {
    size_t x = 0;
#if LUMRA_PNG_SSSE3
    if (HasSsse3()) x = ComposeGreyRowSsse3(p, alpha, width, g);
#endif
    for (; x < width; ++x) p[x] = BlendOver(t, alpha[x], p[x], g);
}

void ComposeRow(uint8_t* p, const uint8_t* alpha, size_t width, const uint8_t bgr[3], const BlendTable& t) {
#if LUMRA_PNG_SSSE3
    if (HasSsse3()) {
        ComposeRowSsse3(p, alpha, width, bgr, t);
        return;
    }
#endif
    ComposeRowScalar(p, alpha, 0, width, bgr, t);
}

// ---- zlib, one row at a time ----

// Adler-32 of the inflated bytes, 32 at a time with SSE2 (zlib's own goes a byte at a time).
uint32_t Adler32(uint32_t adler, const uint8_t* p, size_t n) {
    constexpr uint32_t kBase = 65521;
    constexpr size_t kMax = 5552;  // bytes before the sums must be reduced
    uint32_t s1 = adler & 0xFFFF, s2 = adler >> 16;
    while (n > 0) {
        size_t block = std::min(n, kMax);
        n -= block;
#if defined(__SSE2__)
        if (const size_t groups = block / 32) {
            // Per 32 bytes: s2 += 32 * s1 + sum of (32 - i) * byte i; s1 += sum of the bytes.
            const __m128i zero = _mm_setzero_si128();
            const __m128i w1 = _mm_setr_epi16(32, 31, 30, 29, 28, 27, 26, 25);
            const __m128i w2 = _mm_setr_epi16(24, 23, 22, 21, 20, 19, 18, 17);
            const __m128i w3 = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
            const __m128i w4 = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
            __m128i vs1 = zero, vs2 = zero, vPrev = zero;  // vPrev: s1 before each group, summed
            for (size_t g = 0; g < groups; ++g, p += 32) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
                vPrev = _mm_add_epi32(vPrev, vs1);
                vs1 = _mm_add_epi32(vs1, _mm_add_epi32(_mm_sad_epu8(a, zero), _mm_sad_epu8(b, zero)));
                __m128i m = _mm_madd_epi16(_mm_unpacklo_epi8(a, zero), w1);
                m = _mm_add_epi32(m, _mm_madd_epi16(_mm_unpackhi_epi8(a, zero), w2));
                m = _mm_add_epi32(m, _mm_madd_epi16(_mm_unpacklo_epi8(b, zero), w3));
                m = _mm_add_epi32(m, _mm_madd_epi16(_mm_unpackhi_epi8(b, zero), w4));
                vs2 = _mm_add_epi32(vs2, m);
            }
            auto sum = [](__m128i v) {
                v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
                v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
                return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
            };
            s2 += static_cast<uint32_t>(groups) * 32 * s1 + 32 * sum(vPrev) + sum(vs2);
            s1 += sum(vs1);
            block -= groups * 32;
        }
#endif
        for (; block > 0; --block) {
            s1 += *p++;
            s2 += s1;
        }
        s1 %= kBase;
        s2 %= kBase;
    }
    return s2 << 16 | s1;
}

template <class T>
std::unique_ptr<T[]> TryAllocate(size_t n) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[n]);
}

// The compressed data is the bodies of a run of IDAT chunks, already checked. Small bodies
// (writers often cut the stream every 8 KiB) are copied together into one stretch before zlib
// sees them: each return from inflate() copies what it produced into zlib's window, so
// ending every call at a chunk's end would cost a copy of the whole picture. Large bodies are
// fed where they lie.
//
// zlib is told not to keep the Adler-32 itself: it is kept here, faster, and compared with the
// trailer (the last four bytes zlib took) whenever zlib has read it. zlib reads on after the
// last row only to the end of the chunk it is in, as if given one chunk at a time: a trailer
// in a later chunk is never read.
class RowInflater {
public:
    RowInflater() { std::memset(&stream_, 0, sizeof stream_); }
    ~RowInflater() {
        if (ready_) inflateEnd(&stream_);
    }
    RowInflater(const RowInflater&) = delete;
    RowInflater& operator=(const RowInflater&) = delete;

    // The run's chunks lie in data from offset `from` up to `to`.
    bool Start(const uint8_t* data, size_t from, size_t to) {
        data_ = data;
        next_ = from;
        end_ = to;
        stage_ = TryAllocate<uint8_t>(kStageBytes);
        if (!stage_) return false;
        Feed();
        ready_ = inflateInit(&stream_) == Z_OK;
        if (ready_) inflateValidate(&stream_, 0);
        return ready_;
    }

    // Fills exactly n bytes. The stream may end only with the last row of the picture.
    bool Read(uint8_t* dst, size_t n, bool lastRow) {
        if (!lastRow || n < 2) return Fill(dst, n, lastRow);
        // All but the last byte, then the rest with zlib held to one chunk at a time.
        if (!Fill(dst, n - 1, false)) return false;
        OneChunkAtATime();
        return Fill(dst + n - 1, 1, true);
    }

private:
    static constexpr size_t kStageBytes = size_t{256} << 10;
    struct Staged {
        size_t at, length, body;  // in the stage; the body's offset in the file
    };

    bool Fill(uint8_t* dst, size_t n, bool lastRow) {
        stream_.next_out = dst;
        stream_.avail_out = static_cast<uInt>(n);
        for (;;) {
            if (stream_.avail_in == 0) Feed();
            uint8_t* const from = stream_.next_out;
            const int r = inflate(&stream_, Z_NO_FLUSH);
            adler_ = Adler32(adler_, from, static_cast<size_t>(stream_.next_out - from));
            if (r == Z_STREAM_END) return TrailerMatches() && stream_.avail_out == 0 && lastRow;
            if (r != Z_OK) return false;
            if (stream_.avail_out == 0) return true;
            if (stream_.avail_in == 0 && next_ >= end_) return false;
        }
    }

    // The next input, once zlib has taken all of the last: one large body where it lies, or
    // as many whole bodies as fit in the stage (empty chunks are passed over).
    void Feed() {
        Remember(input_, inputLength_);
        staged_.clear();
        size_t staged = 0;
        while (next_ < end_) {
            const size_t length = ReadBe32(data_ + next_);
            const size_t body = next_ + 8;
            if (length > 0 && (single_ || staged + length > kStageBytes)) {
                if (staged > 0) break;
                next_ = body + length + 4;
                Give(data_ + body, length);
                return;
            }
            if (length > 0) {
                std::memcpy(stage_.get() + staged, data_ + body, length);
                staged_.push_back({staged, length, body});
            }
            staged += length;
            next_ = body + length + 4;
        }
        Give(stage_.get(), staged);
    }
    void Give(const uint8_t* p, size_t n) {
        input_ = p;
        inputLength_ = n;
        stream_.next_in = const_cast<Bytef*>(p);
        stream_.avail_in = static_cast<uInt>(n);
    }

    // From here on zlib gets the rest of the chunk it is in, then one chunk at a time.
    void OneChunkAtATime() {
        single_ = true;
        if (input_ != stage_.get() || staged_.empty()) return;
        const size_t at = static_cast<size_t>(stream_.next_in - stage_.get());
        for (const Staged& s : staged_) {
            if (at < s.at + s.length || &s == &staged_.back()) {
                inputLength_ = s.at + s.length;
                stream_.avail_in = static_cast<uInt>(inputLength_ - at);
                next_ = s.body + s.length + 4;
                return;
            }
        }
    }

    // Keeps the last four bytes of everything zlib has taken.
    void Remember(const uint8_t* p, size_t n) {
        for (size_t i = n > 4 ? n - 4 : 0; i < n; ++i) {
            std::memmove(tail_, tail_ + 1, 3);
            tail_[3] = p[i];
        }
    }

    bool TrailerMatches() {
        const size_t taken = static_cast<size_t>(stream_.next_in - input_);
        Remember(input_, taken);
        input_ += taken;
        inputLength_ -= taken;
        return ReadBe32(tail_) == adler_;
    }

    z_stream stream_;
    bool ready_ = false;
    const uint8_t* data_ = nullptr;
    size_t next_ = 0, end_ = 0;  // the next chunk and the end of the run
    std::unique_ptr<uint8_t[]> stage_;
    std::vector<Staged> staged_;
    bool single_ = false;             // one chunk at a time
    const uint8_t* input_ = nullptr;  // what zlib was last given
    size_t inputLength_ = 0;
    uint8_t tail_[4] = {};
    uint32_t adler_ = 1;
};

// Deflate produces at most 258 bytes for two bits; anything claiming more cannot fill the rows.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlack = 1024;
// Bytes of rows inflated at a time.
constexpr size_t kInflateChunk = size_t{1} << 20;

uint8_t ToByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// ---- the decoder ----

class PngReader {
public:
    PngReader(const uint8_t* data, size_t size, DecoderContext& ctx)
        : data_(data), size_(size), ctx_(ctx), image_(ctx.image) {}

    bool Decode();

private:
    bool Fail(int code) {
        ctx_.error = code;
        image_.Reset();
        return false;
    }
    bool ReadHeader();
    bool Walk();
    void ReadPalette(const PngChunk& c);
    void ReadGamma(const PngChunk& c);
    void ReadBackground(const PngChunk& c);
    void ReadTransparency(const PngChunk& c);
    void ReadResolution(const PngChunk& c);
    void CountText(const PngChunk& c);
    // Inflates the IDAT run starting with `first`; pos receives the offset after the run.
    bool ReadImageData(const PngChunk& first, size_t& pos);
    bool Inflate(size_t from, size_t to);  // the chunks between the two offsets
    void Finish();
    // What the display options make of the samples; every chunk they depend on comes
    // before the image data (later ones are passed over), so it is known from the first row.
    struct Display {
        bool gamma = false;
        uint8_t table[256];
        bool compose = false;
        uint8_t bg[3];  // red, green, blue
        const BlendTable* blend = nullptr;
    };
    Display DisplayFacts() const;
    // Gamma and alpha of one finished row of a picture with an alpha channel.
    void FinishAlphaRow(const Display& d, uint32_t y, const uint8_t* alpha);

    const uint8_t* data_;
    size_t size_;
    DecoderContext& ctx_;
    ImageBuffer& image_;

    uint32_t width_ = 0, height_ = 0;
    int bitDepth_ = 0, colourType_ = 0, interlace_ = 0;
    bool hasAlpha_ = false;
    int bitsPerPixel_ = 0;
    PixelKind kind_ = kGrey8;
    int outputDepth_ = 8;
    int paletteEntries_ = 0;
    bool plteSeen_ = false, idatSeen_ = false, gamaSeen_ = false, bkgdSeen_ = false;
    bool trnsSeen_ = false, physSeen_ = false;
    uint32_t gama_ = 0;
    uint8_t background_[3] = {0, 0, 0};  // red, green, blue from bKGD
    uint8_t transparentGrey_ = 0;
    uint8_t transparentRgb_[3] = {0, 0, 0};
    uint8_t paletteAlpha_[256];
    int32_t xPelsPerMeter_ = 0, yPelsPerMeter_ = 0;
    int textCount_ = 0, commentCount_ = 0;
    uint64_t compressedLength_ = 0;
    std::unique_ptr<uint8_t[]> alpha_;  // width x height, rows from the top (interlaced)
    bool rowsFinished_ = false;  // gamma and alpha were applied row by row
};

bool PngReader::Decode() {
    ctx_.error = kCodecOk;
    image_.Reset();
    image_.palette.fill(RgbQuad{});
    std::fill(std::begin(paletteAlpha_), std::end(paletteAlpha_), uint8_t{255});
    if (!ReadHeader()) return false;
    if (!Walk()) return false;
    Finish();
    return true;
}

bool PngReader::ReadHeader() {
    if (!data_ || size_ < kPngHeadBytes || std::memcmp(data_, kPngSignature, 8) != 0) return Fail(kCodecBadInfo);
    const uint8_t* h = data_ + 8;
    if (ReadBe32(h) != 13) return Fail(kCodecIhdrLength);
    if (!IsChunkType(h + 4, "IHDR")) return Fail(kCodecIhdrType);
    if (PngCrc(h + 4, 17) != ReadBe32(h + 21)) return Fail(kCodecCrc);
    const uint8_t* d = h + 8;
    width_ = ReadBe32(d);
    height_ = ReadBe32(d + 4);
    if (width_ < 1 || width_ > kMaxPictureSide || height_ < 1 || height_ > kMaxPictureSide)
        return Fail(kCodecUnsupported);
    bitDepth_ = d[8];
    colourType_ = d[9];
    if (d[10] != 0) return Fail(kCodecIhdrCompression);
    if (d[11] != 0) return Fail(kCodecIhdrFilter);
    if (d[12] > 1) return Fail(kCodecIhdrInterlace);
    interlace_ = d[12];

    const int depth = bitDepth_;
    const bool packedDepth = depth == 1 || depth == 2 || depth == 4;
    if (packedDepth && colourType_ != 0 && colourType_ != 3) return Fail(kCodecIhdrColorType);
    if (colourType_ != 0 && colourType_ != 2 && colourType_ != 3 && colourType_ != 4 && colourType_ != 6)
        return Fail(kCodecIhdrColorType);
    if (!packedDepth && depth != 8 && depth != 16) return Fail(kCodecIhdrBitDepth);
    // A palette has no 16-bit indices.
    if (colourType_ == 3 && depth == 16) return Fail(kCodecIhdrColorType);

    int channels = 1;
    switch (colourType_) {
        case 0:
            kind_ = depth == 1 ? kPacked1 : depth == 2 ? kPacked2 : depth == 4 ? kPacked4 : depth == 8 ? kGrey8 : kGrey16;
            break;
        case 2:
            channels = 3;
            kind_ = depth == 8 ? kRgb8 : kRgb16;
            break;
        case 3:
            kind_ = depth == 1 ? kPacked1 : depth == 2 ? kPacked2 : depth == 4 ? kPacked4 : kGrey8;
            break;
        case 4:
            channels = 2;
            kind_ = depth == 8 ? kGreyAlpha8 : kGreyAlpha16;
            break;
        default:
            channels = 4;
            kind_ = depth == 8 ? kRgba8 : kRgba16;
            break;
    }
    bitsPerPixel_ = channels * depth;
    hasAlpha_ = (colourType_ & 4) != 0;
    outputDepth_ = (colourType_ & 2) && colourType_ != 3 ? 24 : 8;

    if ((colourType_ & 2) == 0) {
        // Grey ramp: k * 255 / (2^depth - 1), entries past the depth's count stay black.
        const int count = depth >= 8 ? 256 : 1 << depth;
        const int step = depth == 1 ? 255 : depth == 2 ? 85 : depth == 4 ? 17 : 1;
        for (int k = 0; k < count; ++k) {
            const auto v = static_cast<uint8_t>(k * step);
            image_.palette[k] = RgbQuad{v, v, v, 0};
        }
    }
    const uint64_t stride = PaddedRowBytes(width_, outputDepth_);
    if (stride * height_ > static_cast<uint64_t>(INT32_MAX)) return Fail(kCodecUnsupported);
    return true;
}

bool PngReader::Walk() {
    size_t pos = kPngHeadBytes;
    for (;;) {
        PngChunk c;
        switch (ReadChunkAt(data_, size_, pos, c)) {
            case ChunkRead::Ok: break;
            case ChunkRead::Negative: return Fail(kCodecChunkLength);
            default: return Fail(kCodecBadInfo);
        }
        pos = c.end;
        const uint8_t* t = c.type;
        if (IsChunkType(t, "IDAT")) {
            if (!ReadImageData(c, pos)) return false;
        } else if (IsChunkType(t, "IEND")) {
            if (!c.CrcMatches()) return Fail(kCodecCrc);
            if (!idatSeen_ || (colourType_ == 3 && !plteSeen_)) return Fail(kCodecCriticalChunk);
            return true;
        } else if (IsChunkType(t, "IHDR")) {
            return Fail(kCodecChunkOrder);
        } else if (IsChunkType(t, "PLTE")) {
            if (colourType_ != 3) continue;
            if (plteSeen_ || idatSeen_) return Fail(kCodecChunkOrder);
            if (!c.CrcMatches()) return Fail(kCodecCrc);
            ReadPalette(c);
        } else if (IsChunkType(t, "gAMA")) {
            ReadGamma(c);
        } else if (IsChunkType(t, "bKGD")) {
            ReadBackground(c);
        } else if (IsChunkType(t, "tRNS")) {
            ReadTransparency(c);
        } else if (IsChunkType(t, "pHYs")) {
            ReadResolution(c);
        } else if (IsChunkType(t, "tEXt")) {
            CountText(c);
        }
    }
}

void PngReader::ReadPalette(const PngChunk& c) {
    const int cap = bitDepth_ >= 8 ? 256 : 1 << bitDepth_;
    paletteEntries_ = static_cast<int>(std::min<uint32_t>(c.length / 3, static_cast<uint32_t>(cap)));
    for (int i = 0; i < paletteEntries_; ++i) {
        const uint8_t* p = c.body + 3 * i;
        image_.palette[i] = RgbQuad{p[2], p[1], p[0], 0};
    }
    plteSeen_ = true;
}

void PngReader::ReadGamma(const PngChunk& c) {
    if (gamaSeen_ || plteSeen_ || idatSeen_ || c.length != 4 || !c.CrcMatches()) return;
    const uint32_t v = ReadBe32(c.body);
    if (v > 0 && v <= static_cast<uint32_t>(INT32_MAX)) {
        gama_ = v;
        gamaSeen_ = true;
    }
}

void PngReader::ReadBackground(const PngChunk& c) {
    if (bkgdSeen_ || idatSeen_ || !c.CrcMatches()) return;
    const uint8_t* b = c.body;
    if (colourType_ == 0 || colourType_ == 4) {
        if (c.length != 2) return;
        int level;
        switch (bitDepth_) {
            case 1: level = b[1] * 255; break;
            case 2: level = b[1] * 85; break;
            case 4: level = b[1] * 17; break;
            case 8: level = b[1]; break;
            default: level = b[0]; break;
        }
        const auto v = static_cast<uint8_t>(level);
        background_[0] = background_[1] = background_[2] = v;
    } else if (colourType_ == 3) {
        if (c.length != 1 || !plteSeen_) return;
        const RgbQuad& e = image_.palette[b[0]];
        background_[0] = e.red;
        background_[1] = e.green;
        background_[2] = e.blue;
    } else {
        if (c.length != 6) return;
        const int o = bitDepth_ == 16 ? 0 : 1;
        background_[0] = b[o];
        background_[1] = b[o + 2];
        background_[2] = b[o + 4];
    }
    bkgdSeen_ = true;
}

void PngReader::ReadTransparency(const PngChunk& c) {
    if (trnsSeen_ || idatSeen_ || !c.CrcMatches()) return;
    const uint8_t* b = c.body;
    if (colourType_ == 0) {
        if (c.length != 2) return;
        transparentGrey_ = bitDepth_ == 16 ? b[0] : b[1];
    } else if (colourType_ == 2) {
        if (c.length != 6) return;
        const int o = bitDepth_ == 16 ? 0 : 1;
        transparentRgb_[0] = b[o];
        transparentRgb_[1] = b[o + 2];
        transparentRgb_[2] = b[o + 4];
    } else if (colourType_ == 3) {
        if (!plteSeen_ || c.length > static_cast<uint32_t>(paletteEntries_)) return;
        std::memcpy(paletteAlpha_, b, c.length);
    } else {
        return;
    }
    trnsSeen_ = true;
}

void PngReader::ReadResolution(const PngChunk& c) {
    if (idatSeen_ || c.length != 9 || !c.CrcMatches() || c.body[8] != 1) return;
    const auto x = static_cast<int32_t>(ReadBe32(c.body));
    const auto y = static_cast<int32_t>(ReadBe32(c.body + 4));
    if (x >= 0 && y >= 0) {
        xPelsPerMeter_ = x;
        yPelsPerMeter_ = y;
        physSeen_ = true;
    }
}

void PngReader::CountText(const PngChunk& c) {
    if (c.length < 2 || !c.CrcMatches() || c.body[0] == 0) return;
    const size_t span = std::min<size_t>(c.length, 80);
    const void* zero = std::memchr(c.body, 0, span);
    if (!zero) return;
    ++textCount_;
    const size_t keywordLength = static_cast<size_t>(static_cast<const uint8_t*>(zero) - c.body);
    if (keywordLength == 7 && std::memcmp(c.body, "Comment", 7) == 0) ++commentCount_;
}

bool PngReader::ReadImageData(const PngChunk& first, size_t& pos) {
    if (idatSeen_) return Fail(kCodecChunkOrder);
    if (!first.CrcMatches()) return Fail(kCodecCrc);

    // The run of IDAT chunks that follow without a break.
    uint64_t total = first.length;
    size_t at = first.end;
    for (;;) {
        if (size_ - at < 4) break;
        const uint32_t length = ReadBe32(data_ + at);
        if (length > kPngMaxChunkLength) return Fail(kCodecIdatLength);
        if (size_ - at < 8 || !IsChunkType(data_ + at + 4, "IDAT")) break;
        PngChunk c;
        if (ReadChunkAt(data_, size_, at, c) != ChunkRead::Ok || !c.CrcMatches()) return Fail(kCodecIdatLength);
        total += c.length;
        at = c.end;
    }
    pos = at;
    idatSeen_ = true;
    compressedLength_ = total;

    // Filtered bytes the rows take, checked against what the compressed data can hold.
    uint64_t needed = 0;
    if (interlace_ == 0) {
        needed = (PngRowBytes(width_, bitsPerPixel_) + 1) * height_;
    } else {
        for (const Adam7Pass& p : kAdam7) {
            const uint32_t pw = PassExtent(width_, p.x0, p.dx), ph = PassExtent(height_, p.y0, p.dy);
            if (pw && ph) needed += (PngRowBytes(pw, bitsPerPixel_) + 1) * ph;
        }
    }
    if (needed > total * kMaxInflateRatio + kInflateSlack) return Fail(kCodecZlibRead);

    // Every row is written (all seven passes together cover every pixel) or the decode fails.
    if (!image_.Allocate(static_cast<int>(width_), static_cast<int>(height_), outputDepth_, false)) {
        return Fail(kCodecMemory);
    }
    if (hasAlpha_) {
        // Whole rows one after the other are finished as they come: one row of alpha.
        alpha_ = TryAllocate<uint8_t>(interlace_ == 0 ? size_t{width_} : size_t{width_} * height_);
        if (!alpha_) return Fail(kCodecMemory);
    }

    return Inflate(first.start, at);
}

bool PngReader::Inflate(size_t from, size_t to) {
    RowInflater inflater;
    if (!inflater.Start(data_, from, to)) return Fail(kCodecZlibRead);

    const size_t maxRowBytes = static_cast<size_t>(PngRowBytes(width_, bitsPerPixel_));
    const size_t bufferBytes = kRowPad + maxRowBytes;
    auto buffers = TryAllocate<uint8_t>(2 * bufferBytes + kRowSlack);
    if (!buffers) return Fail(kCodecMemory);
    std::memset(buffers.get(), 0, 2 * bufferBytes + kRowSlack);
    uint8_t* cur = buffers.get() + kRowPad;
    uint8_t* prev = cur + bufferBytes;
    const size_t outBytes = outputDepth_ / 8;
    const size_t width = width_;
    const RowConverter convert{std::max(1, bitsPerPixel_ / 8), EmitterFor(kind_)};

    // The filter-type byte lands just before the row and is cleared once read.
    auto readRow = [&](size_t rowBytes, bool last) -> int {
        if (!inflater.Read(cur - 1, rowBytes + 1, last)) return -1;
        const int type = cur[-1];
        cur[-1] = 0;
        return type;
    };

    if (interlace_ == 0) {
        // Many rows per inflate call, each unfiltered where it lands: zlib then copies only
        // the last 32 KiB of each call into its window, not every row.
        const size_t stride = maxRowBytes + 1;
        const size_t rowsPerChunk = std::max<size_t>(1, kInflateChunk / stride);
        auto chunk = TryAllocate<uint8_t>(rowsPerChunk * stride + kRowSlack);
        if (!chunk) return Fail(kCodecMemory);
        const Display display = DisplayFacts();
        rowsFinished_ = hasAlpha_;
        for (uint32_t y = 0; y < height_;) {
            const size_t rows = std::min<size_t>(rowsPerChunk, height_ - y);
            if (!inflater.Read(chunk.get(), rows * stride, y + rows == height_)) return Fail(kCodecZlibRead);
            const uint8_t* above = prev;  // zeros, then the last row of the chunk before
            for (size_t k = 0; k < rows; ++k, ++y) {
                uint8_t* row = chunk.get() + k * stride;
                uint8_t* alpha = alpha_.get();
                convert(row[0], row + 1, above, maxRowBytes, width, image_.topRow(static_cast<int>(y)), alpha);
                if (rowsFinished_) FinishAlphaRow(display, y, alpha);
                above = row + 1;
            }
            std::memcpy(prev, above, maxRowBytes);
        }
        return true;
    }

    // Adam7: each pass row is converted into a scratch row, then spread over its columns.
    auto scratch = TryAllocate<uint8_t>(width * outBytes + (alpha_ ? width : 0));
    if (!scratch) return Fail(kCodecMemory);
    uint8_t* scratchAlpha = alpha_ ? scratch.get() + width * outBytes : nullptr;
    int lastPass = -1;
    for (int p = 0; p < 7; ++p)
        if (PassExtent(width_, kAdam7[p].x0, kAdam7[p].dx) && PassExtent(height_, kAdam7[p].y0, kAdam7[p].dy)) lastPass = p;
    for (int p = 0; p <= lastPass; ++p) {
        const Adam7Pass& pass = kAdam7[p];
        const uint32_t pw = PassExtent(width_, pass.x0, pass.dx);
        const uint32_t ph = PassExtent(height_, pass.y0, pass.dy);
        if (!pw || !ph) continue;
        const size_t rowBytes = static_cast<size_t>(PngRowBytes(pw, bitsPerPixel_));
        std::memset(prev, 0, rowBytes);
        for (uint32_t j = 0; j < ph; ++j) {
            const int type = readRow(rowBytes, p == lastPass && j + 1 == ph);
            if (type < 0) return Fail(kCodecZlibRead);
            convert(type, cur, prev, rowBytes, pw, scratch.get(), scratchAlpha);
            const uint32_t y = pass.y0 + j * pass.dy;
            uint8_t* row = image_.topRow(static_cast<int>(y));
            uint8_t* alphaRow = alpha_ ? alpha_.get() + width * y : nullptr;
            for (uint32_t i = 0; i < pw; ++i) {
                const size_t x = pass.x0 + size_t{i} * pass.dx;
                std::memcpy(row + x * outBytes, scratch.get() + i * outBytes, outBytes);
                if (alphaRow) alphaRow[x] = scratchAlpha[i];
            }
            std::swap(cur, prev);
        }
    }
    return true;
}

PngReader::Display PngReader::DisplayFacts() const {
    const LImgSettings& load = ctx_.load;
    Display d;
    // Gamma of the file against the display.
    d.gamma = gamaSeen_ && load.gamma != 0;
    for (int i = 0; i < 256; ++i) d.table[i] = static_cast<uint8_t>(i);
    if (d.gamma) {
        const int display = load.dispGam <= 0 ? 1 : load.dispGam;
        const double e = 1.0 / ((gama_ / 100000.0) * (display / 1000.0));
        for (int i = 1; i < 256; ++i) d.table[i] = static_cast<uint8_t>(std::pow(i / 255.0, e) * 255.0 + 0.5);
    }
    d.compose = load.alpha != 0 && (trnsSeen_ || hasAlpha_);
    if (load.fbg != 0 && bkgdSeen_) {
        for (int k = 0; k < 3; ++k) d.bg[k] = d.table[background_[k]];
    } else {
        d.bg[0] = ToByte(load.bgR);
        d.bg[1] = ToByte(load.bgG);
        d.bg[2] = ToByte(load.bgB);
    }
    d.blend = d.compose ? &GetBlendTable() : nullptr;
    return d;
}

void PngReader::FinishAlphaRow(const Display& d, uint32_t y, const uint8_t* alpha) {
    uint8_t* p = image_.topRow(static_cast<int>(y));
    const size_t width = width_;
    if (outputDepth_ == 24) {
        if (d.gamma) {
            for (size_t i = 0; i < 3 * width; ++i) p[i] = d.table[p[i]];
        }
        if (d.compose) {
            const uint8_t bgr[3] = {d.bg[2], d.bg[1], d.bg[0]};
            ComposeRow(p, alpha, width, bgr, *d.blend);
        }
    } else if (d.compose) {
        // Grey: the gamma goes to the palette.
        ComposeGreyRow(p, alpha, width, d.bg[0], *d.blend);
    }
}

void PngReader::Finish() {
    const int width = static_cast<int>(width_);
    const int height = static_cast<int>(height_);
    const Display display = DisplayFacts();
    const bool gamma = display.gamma;
    const uint8_t* table = display.table;
    const bool compose = display.compose;
    const uint8_t* bg = display.bg;
    const BlendTable* blend = display.blend;

    // An alpha channel: gamma and alpha row by row (already done as the rows came when not interlaced).
    if (hasAlpha_ && !rowsFinished_) {
        for (uint32_t y = 0; y < height_; ++y) FinishAlphaRow(display, y, alpha_.get() + size_t{width_} * y);
    }

    if (outputDepth_ == 24) {
        const size_t n = 3 * static_cast<size_t>(width);
        if (compose && colourType_ == 2) {
            // The transparent colour is matched against the samples as stored, before gamma.
            const uint8_t kb = transparentRgb_[2], kg = transparentRgb_[1], kr = transparentRgb_[0];
            for (int y = 0; y < height; ++y) {
                uint8_t* p = image_.storedRow(y);
                for (size_t i = 0; i < n; i += 3) {
                    if (p[i] == kb && p[i + 1] == kg && p[i + 2] == kr) {
                        p[i] = bg[2];
                        p[i + 1] = bg[1];
                        p[i + 2] = bg[0];
                    } else if (gamma) {
                        p[i] = table[p[i]];
                        p[i + 1] = table[p[i + 1]];
                        p[i + 2] = table[p[i + 2]];
                    }
                }
            }
        } else if (gamma && !hasAlpha_) {
            for (int y = 0; y < height; ++y) {
                uint8_t* p = image_.storedRow(y);
                for (size_t i = 0; i < n; ++i) p[i] = table[p[i]];
            }
        }
    } else {
        if (gamma) {
            for (RgbQuad& e : image_.palette) {
                e.blue = table[e.blue];
                e.green = table[e.green];
                e.red = table[e.red];
            }
        }
        if (compose) {
            const BlendTable& t = *blend;
            if (colourType_ == 0) {
                image_.palette[transparentGrey_] = RgbQuad{bg[2], bg[1], bg[0], 0};
            } else if (colourType_ == 3) {
                for (int i = 0; i < 256; ++i) {
                    RgbQuad& e = image_.palette[i];
                    const unsigned w = paletteAlpha_[i];
                    e.blue = BlendOver(t, w, e.blue, bg[2]);
                    e.green = BlendOver(t, w, e.green, bg[1]);
                    e.red = BlendOver(t, w, e.red, bg[0]);
                }
            }
        }
    }

    image_.header.biXPelsPerMeter = physSeen_ ? xPelsPerMeter_ : 0;
    image_.header.biYPelsPerMeter = physSeen_ ? yPelsPerMeter_ : 0;
    image_.sourceFormat = kFormatPng;
    image_.sourceBitDepth = (colourType_ == 2 || colourType_ == 6) ? 3 * bitDepth_ : bitDepth_;
    image_.fileSize = static_cast<int32_t>(std::min<uint64_t>(size_, INT32_MAX));
    ctx_.flags = PictureFlags{};
    ctx_.flags.interlaced = interlace_ == 1;
    ctx_.flags.transparent = trnsSeen_ || hasAlpha_;
    ctx_.flags.hasText = textCount_ > 0;
    ctx_.flags.hasComment = commentCount_ > 0;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, DecoderContext& ctx) {
    PngReader reader(data, size, ctx);
    return reader.Decode();
}

}  // namespace lumra
