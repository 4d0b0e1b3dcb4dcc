#include "formats/reduce.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumra {

namespace {

// Larger than any squared distance between two colours.
constexpr int kSearchStart = 3 * 255 * 255 + 1;

struct GreyTables {
    uint8_t red[256];
    uint8_t green[256];
    uint8_t blue[256];
};

const GreyTables& Grey() {
    static const GreyTables tables = [] {
        GreyTables t{};
        for (int i = 0; i < 256; ++i) {
            t.red[i] = static_cast<uint8_t>((306 * i) >> 10);
            t.green[i] = static_cast<uint8_t>((603 * i) >> 10);
            t.blue[i] = static_cast<uint8_t>((117 * i) >> 10);
        }
        return t;
    }();
    return tables;
}

// The share of an error e (-255..255) for the four neighbours, indexed by e + 255.
struct ErrorTables {
    int16_t next[511];       // 7: next pixel in the row
    int16_t below[511];      // 5: same column, next stored row
    int16_t belowBack[511];  // 3: one pixel back, next stored row
    int16_t belowOn[511];    // 1: one pixel on, next stored row
};

int Share(int dither, int weight, int e) {
    const int v = weight * e;
    switch (dither) {
        case 1: return v / 24;  // truncates toward zero
        case 2: return v >> 5;  // floor
        default: return v >> 4;  // floor
    }
}

// Nothing for strength 3; anything outside 0..3 counts as full diffusion, as the setting does.
const ErrorTables* ErrorTablesFor(int dither) {
    static const std::array<ErrorTables, 3> tables = [] {
        std::array<ErrorTables, 3> t{};
        for (int d = 0; d < 3; ++d) {
            for (int e = -255; e <= 255; ++e) {
                t[d].next[e + 255] = static_cast<int16_t>(Share(d, 7, e));
                t[d].belowBack[e + 255] = static_cast<int16_t>(Share(d, 3, e));
                t[d].below[e + 255] = static_cast<int16_t>(Share(d, 5, e));
                t[d].belowOn[e + 255] = static_cast<int16_t>(Share(d, 1, e));
            }
        }
        return t;
    }();
    if (dither == 3) return nullptr;
    if (dither < 0 || dither > 3) dither = 0;
    return &tables[static_cast<size_t>(dither)];
}

inline uint32_t Key(uint8_t red, uint8_t green, uint8_t blue) {
    return (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}

inline int Sum(const RgbQuad& c) { return c.red + c.green + c.blue; }

// Stable ordering by R + G + B ascending.
void SortBySum(RgbQuad* pal, int count) {
    for (int i = 1; i < count; ++i) {
        const RgbQuad c = pal[i];
        const int s = Sum(c);
        int j = i;
        while (j > 0 && Sum(pal[j - 1]) > s) {
            pal[j] = pal[j - 1];
            --j;
        }
        pal[j] = c;
    }
}

// The source as B,G,R rows in storage order; 8-bit rows are expanded through the palette.
class SourceRows {
public:
    SourceRows(const PixelConversion& ctx, const RgbQuad* palette, const uint8_t* rows)
        : width_(ctx.width), depth_(ctx.sourceDepth), palette_(palette), rows_(rows) {
        stride_ = ctx.sourceStride ? ctx.sourceStride : PaddedRowBytes(ctx.width, ctx.sourceDepth);
        if (depth_ == 8) expanded_.resize(3 * static_cast<size_t>(width_));
    }
    const uint8_t* Raw(int y) const { return rows_ + stride_ * static_cast<size_t>(y); }
    // Valid until the next call.
    const uint8_t* Bgr(int y) {
        const uint8_t* s = Raw(y);
        if (depth_ == 24) return s;
        uint8_t* d = expanded_.data();
        for (int x = 0; x < width_; ++x, d += 3) {
            const RgbQuad& c = palette_[s[x]];
            d[0] = c.blue;
            d[1] = c.green;
            d[2] = c.red;
        }
        return expanded_.data();
    }

private:
    int width_;
    int depth_;
    const RgbQuad* palette_;
    const uint8_t* rows_;
    size_t stride_ = 0;
    std::vector<uint8_t> expanded_;
};

template <int Depth>
void PackBits(const uint8_t* index, int width, uint8_t* dst) {
    constexpr int perByte = 8 / Depth;
    int x = 0;
    for (; x + perByte <= width; x += perByte) {
        unsigned b = 0;
        for (int k = 0; k < perByte; ++k) b = (b << Depth) | index[x + k];
        *dst++ = static_cast<uint8_t>(b);
    }
    if (x < width) {
        unsigned b = 0;
        for (int k = 0; k < perByte; ++k) b = (b << Depth) | (x + k < width ? index[x + k] : 0u);
        *dst = static_cast<uint8_t>(b);
    }
}

// Packs one byte per pixel into rows of `depth` bits, most significant first; the padding is zero.
void PackRow(const uint8_t* index, int width, int depth, uint8_t* dst, size_t stride) {
    std::memset(dst, 0, stride);
    switch (depth) {
        case 1: PackBits<1>(index, width, dst); break;
        case 2: PackBits<2>(index, width, dst); break;
        case 4: PackBits<4>(index, width, dst); break;
        default: std::memcpy(dst, index, static_cast<size_t>(width)); break;
    }
}

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Floyd-Steinberg over C interleaved channels in storage order. load(y, out) writes stored
// row y; pick(v, chosen) returns the index for the wanted values v and fills the chosen
// colour; emit(y, indices) takes each finished row. Every share is added with clamping, in
// the order the pixels giving it are visited; the pending values of the next row's two
// columns around x are carried in registers and stored once complete.
template <int C, class Load, class Pick, class Emit>
void Diffuse(int w, int h, Load&& load, const ErrorTables& et, Pick&& pick, Emit&& emit) {
    const size_t n = C * static_cast<size_t>(w);
    std::vector<uint8_t> cur(n), nxt(n), index(static_cast<size_t>(w));
    load(0, cur.data());
    for (int y = 0; y < h; ++y) {
        const bool lastRow = y + 1 == h;
        if (!lastRow) load(y + 1, nxt.data());
        const uint8_t* c = cur.data();
        uint8_t* d = nxt.data();
        uint8_t* out = index.data();
        int carry[C] = {}, back[C] = {}, on[C] = {};
        for (int k = 0; k < C; ++k) on[k] = d[k];
        for (int x = 0; x < w; ++x, c += C) {
            int v[C], chosen[C], e[C];
#pragma GCC unroll 4
            for (int k = 0; k < C; ++k) v[k] = Clamp255(c[k] + carry[k]);
            out[x] = static_cast<uint8_t>(pick(v, chosen));
#pragma GCC unroll 4
            for (int k = 0; k < C; ++k) {
                e[k] = v[k] - chosen[k] + 255;
                carry[k] = et.next[e[k]];
            }
            if (lastRow) continue;
            // back: the pending value of column x - 1; on: that of column x.
            if (x > 0)
#pragma GCC unroll 4
                for (int k = 0; k < C; ++k) d[C * (x - 1) + k] = static_cast<uint8_t>(Clamp255(back[k] + et.belowBack[e[k]]));
#pragma GCC unroll 4
            for (int k = 0; k < C; ++k) back[k] = Clamp255(on[k] + et.below[e[k]]);
            if (x + 1 < w)
#pragma GCC unroll 4
                for (int k = 0; k < C; ++k) on[k] = Clamp255(d[C * (x + 1) + k] + et.belowOn[e[k]]);
        }
        if (!lastRow)
            for (int k = 0; k < C; ++k) d[C * (w - 1) + k] = static_cast<uint8_t>(back[k]);
        emit(y, index.data());
        cur.swap(nxt);
    }
}

#if defined(__SSE2__)
// Rows worked at once by the diffusion; more rows run out of vector registers.
constexpr int kDiffusionRows = 2;

inline __m128i Min32(__m128i x, __m128i y) {
    const __m128i m = _mm_cmpgt_epi32(x, y);
    return _mm_or_si128(_mm_and_si128(m, y), _mm_andnot_si128(m, x));
}

// The smallest (squared distance << 8 | index) over the candidate blocks, for a colour
// given as blue, green and red broadcast over 16-bit lanes: the nearest entry, the lowest
// index on ties.
inline int ScanBlocks(const NearestEntryIndex::Block* b, int blocks, __m128i vb, __m128i vg, __m128i vr) {
    const __m128i zero = _mm_setzero_si128();
    __m128i best = _mm_set1_epi32(INT32_MAX);
    for (int j = 0; j < blocks; ++j, ++b) {
        const __m128i db = _mm_sub_epi16(vb, _mm_load_si128(reinterpret_cast<const __m128i*>(b->blue)));
        const __m128i dg = _mm_sub_epi16(vg, _mm_load_si128(reinterpret_cast<const __m128i*>(b->green)));
        const __m128i dr = _mm_sub_epi16(vr, _mm_load_si128(reinterpret_cast<const __m128i*>(b->red)));
        const __m128i ix = _mm_load_si128(reinterpret_cast<const __m128i*>(b->index));
        const __m128i rgLo = _mm_unpacklo_epi16(dr, dg), rgHi = _mm_unpackhi_epi16(dr, dg);
        const __m128i bLo = _mm_unpacklo_epi16(db, zero), bHi = _mm_unpackhi_epi16(db, zero);
        const __m128i dLo = _mm_add_epi32(_mm_madd_epi16(rgLo, rgLo), _mm_madd_epi16(bLo, bLo));
        const __m128i dHi = _mm_add_epi32(_mm_madd_epi16(rgHi, rgHi), _mm_madd_epi16(bHi, bHi));
        best = Min32(best, _mm_or_si128(_mm_slli_epi32(dLo, 8), _mm_unpacklo_epi16(ix, zero)));
        best = Min32(best, _mm_or_si128(_mm_slli_epi32(dHi, 8), _mm_unpackhi_epi16(ix, zero)));
    }
    best = Min32(best, _mm_shuffle_epi32(best, 0x4E));
    best = Min32(best, _mm_shuffle_epi32(best, 0xB1));
    return _mm_cvtsi128_si32(best) & 255;
}

// The share of w x e for strength D, in 16-bit lanes (|w x e| <= 1785).
template <int D>
inline __m128i ShareOf(__m128i x) {
    if constexpr (D == 0) {
        return _mm_srai_epi16(x, 4);
    } else if constexpr (D == 2) {
        return _mm_srai_epi16(x, 5);
    } else {
        // |x| / 24 as (|x| x 2731) >> 16, exact for |x| < 7000; the sign is put back after.
        const __m128i m = _mm_srai_epi16(x, 15);
        const __m128i a = _mm_sub_epi16(_mm_xor_si128(x, m), m);
        const __m128i q = _mm_mulhi_epu16(a, _mm_set1_epi16(2731));
        return _mm_sub_epi16(_mm_xor_si128(q, m), m);
    }
}

// Diffuse<3> with the three channels of a pixel in the 16-bit lanes 0-2 of one register
// (lane 3 carries a neighbouring byte along and is never used), and the nearest-entry
// search fed from the same register. The walk along a row is one long dependency chain,
// so K rows are worked at once, each one pixel behind the row before it, which is as far
// as the shares reach: row j reads pixel x of its buffer only after row j - 1 has finished
// pixel x + 1, and every value still receives its shares in the row-by-row order.
template <int D, int K>
class BgrDiffusion {
public:
    BgrDiffusion(int w, const RgbQuad* pal, NearestEntryIndex& nearest) : w_(w), nearest_(nearest) {
        for (int i = 0; i < 256; ++i) {
            lanes_[i][0] = pal[i].blue;
            lanes_[i][1] = pal[i].green;
            lanes_[i][2] = pal[i].red;
            lanes_[i][3] = 0;
        }
    }

    template <class Load, class Emit>
    void Run(int h, Load&& load, Emit&& emit) {
        const size_t n = 3 * static_cast<size_t>(w_) + 4;
        std::vector<uint8_t> buffers((K + 1) * n, 0), indices(K * static_cast<size_t>(w_));
        uint8_t* buf[K + 1];
        for (int j = 0; j <= K; ++j) buf[j] = buffers.data() + static_cast<size_t>(j) * n;
        load(0, buf[0]);
        for (int y0 = 0; y0 < h; y0 += K) {
            const int rows = std::min(K, h - y0);
            Row row[K];
            for (int j = 0; j < rows; ++j) {
                // Buffer j + 1 starts as the source of the row below row j and receives its shares.
                const bool hasBelow = y0 + j + 1 < h;
                if (hasBelow) load(y0 + j + 1, buf[j + 1]);
                row[j] = Row{buf[j], buf[j + 1], indices.data() + static_cast<size_t>(j) * static_cast<size_t>(w_),
                             hasBelow, _mm_setzero_si128(), _mm_setzero_si128(), Get(buf[j + 1])};
            }
            if (rows == K && w_ >= K) {
                for (int t = 0; t < K - 1; ++t)
                    for (int j = 0; j <= t; ++j) Step(row[j], t - j);
                for (int t = K - 1; t < w_; ++t)
#pragma GCC unroll 4
                    for (int j = 0; j < K; ++j) Step(row[j], t - j);
                for (int t = w_; t < w_ + K - 1; ++t)
                    for (int j = t - w_ + 1; j < K; ++j) Step(row[j], t - j);
            } else {
                for (int t = 0; t < w_ + rows - 1; ++t)
                    for (int j = 0; j < rows; ++j)
                        if (t - j >= 0 && t - j < w_) Step(row[j], t - j);
            }
            for (int j = 0; j < rows; ++j) emit(y0 + j, row[j].index);
            std::swap(buf[0], buf[rows]);
        }
    }

private:
    struct Row {
        const uint8_t* cur;  // this row's values, final up to the pixel being worked
        uint8_t* below;      // the next stored row, receiving shares
        uint8_t* index;
        bool hasBelow;
        __m128i carry;  // share for the next pixel of the row
        __m128i back;   // pending value of the row below, one column back
        __m128i on;     // pending value of the row below, this column
    };

    static __m128i Get(const uint8_t* p) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), _mm_setzero_si128());
    }
    // The fourth byte lands on a column that is not final yet.
    static void Put(uint8_t* p, __m128i v) {
        const int32_t u = _mm_cvtsi128_si32(_mm_packus_epi16(v, v));
        std::memcpy(p, &u, 4);
    }
    static __m128i Clamp(__m128i v) {
        return _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), _mm_set1_epi16(255));
    }
    [[gnu::always_inline]] inline void Step(Row& r, int x) {
        const __m128i v = Clamp(_mm_add_epi16(Get(r.cur + 3 * static_cast<size_t>(x)), r.carry));
        const uint32_t u = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
        int blocks = 0;
        const NearestEntryIndex::Block* b = nearest_.CellBlocks(
            static_cast<int>((u >> 16) & 255), static_cast<int>((u >> 8) & 255), static_cast<int>(u & 255), blocks);
        const int i = ScanBlocks(b, blocks, _mm_shuffle_epi32(_mm_shufflelo_epi16(v, 0x00), 0),
                                 _mm_shuffle_epi32(_mm_shufflelo_epi16(v, 0x55), 0),
                                 _mm_shuffle_epi32(_mm_shufflelo_epi16(v, 0xAA), 0));
        r.index[x] = static_cast<uint8_t>(i);

        const __m128i e = _mm_sub_epi16(v, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lanes_[i])));
        r.carry = ShareOf<D>(_mm_mullo_epi16(e, _mm_set1_epi16(7)));
        if (!r.hasBelow) return;
        uint8_t* d = r.below + 3 * static_cast<size_t>(x);
        if (x > 0) Put(d - 3, Clamp(_mm_add_epi16(r.back, ShareOf<D>(_mm_mullo_epi16(e, _mm_set1_epi16(3))))));
        r.back = Clamp(_mm_add_epi16(r.on, ShareOf<D>(_mm_mullo_epi16(e, _mm_set1_epi16(5)))));
        if (x + 1 < w_)
            r.on = Clamp(_mm_add_epi16(Get(d + 3), ShareOf<D>(e)));
        else
            Put(d, r.back);
    }

    int w_;
    NearestEntryIndex& nearest_;
    alignas(16) int16_t lanes_[256][4];
};
#endif

// Black and white through a grey plane, thresholded at 128 with diffusion on the grey values.
void ReduceToOneBit(const PixelConversion& ctx, const RgbQuad* srcPalette, const uint8_t* srcRows,
                    uint8_t* dstRows, size_t dstStride, int packDepth, RgbQuad* dstPalette) {
    const int w = ctx.width;
    const int h = ctx.height;
    const size_t srcStride = ctx.sourceStride ? ctx.sourceStride : PaddedRowBytes(w, ctx.sourceDepth);
    uint8_t entryGrey[256];
    if (ctx.sourceDepth == 8)
        for (int i = 0; i < 256; ++i) entryGrey[i] = GreyOfEntry(srcPalette[i]);
    const GreyTables& g = Grey();
    auto greyRow = [&](int y, uint8_t* out) {
        const uint8_t* s = srcRows + srcStride * static_cast<size_t>(y);
        if (ctx.sourceDepth == 8) {
            for (int x = 0; x < w; ++x) out[x] = entryGrey[s[x]];
        } else {
            for (int x = 0; x < w; ++x, s += 3)
                out[x] = static_cast<uint8_t>(g.blue[s[0]] + g.green[s[1]] + g.red[s[2]]);
        }
    };

    std::vector<uint8_t> grey(static_cast<size_t>(w)), index(static_cast<size_t>(w));
    auto emit = [&](int y, const uint8_t* idx) {
        PackRow(idx, w, packDepth, dstRows + dstStride * static_cast<size_t>(y), dstStride);
    };
    if (const ErrorTables* et = ErrorTablesFor(ctx.dither)) {
        auto load = [&](int y, uint8_t* out) { greyRow(y, out); };
        auto pick = [](const int* v, int* chosen) {
            const int white = v[0] >= 128 ? 1 : 0;
            chosen[0] = white ? 255 : 0;
            return white;
        };
        Diffuse<1>(w, h, load, *et, pick, emit);
    } else {
        for (int y = 0; y < h; ++y) {
            greyRow(y, grey.data());
            for (int x = 0; x < w; ++x) index[static_cast<size_t>(x)] = grey[static_cast<size_t>(x)] >= 128 ? 1 : 0;
            emit(y, index.data());
        }
    }
    for (int i = 0; i < 256; ++i) dstPalette[i] = RgbQuad{};
    dstPalette[1] = RgbQuad{255, 255, 255, 0};
}

// Presence bitmap over all 2^24 colours (2 MB).
struct PresenceMap {
    std::unique_ptr<uint64_t, decltype(&std::free)> bits{nullptr, &std::free};
    bool Allocate() {
        bits.reset(static_cast<uint64_t*>(std::calloc(size_t{1} << 18, sizeof(uint64_t))));
        return bits != nullptr;
    }
    // True when the colour was not present before.
    bool Insert(uint32_t key) {
        uint64_t& word = bits.get()[key >> 6];
        const uint64_t bit = uint64_t{1} << (key & 63);
        if (word & bit) return false;
        word |= bit;
        return true;
    }
};

// Up to `limit` + 1 distinct colours of a 24-bit source in storage order; stops after that.
bool DistinctColours24(const PixelConversion& ctx, SourceRows& src, size_t limit, std::vector<uint32_t>& keys) {
    PresenceMap map;
    if (!map.Allocate()) return false;
    keys.clear();
    for (int y = 0; y < ctx.height; ++y) {
        const uint8_t* p = src.Raw(y);
        for (int x = 0; x < ctx.width; ++x, p += 3) {
            const uint32_t key = Key(p[2], p[1], p[0]);
            if (map.Insert(key)) {
                keys.push_back(key);
                if (keys.size() > limit) return true;
            }
        }
    }
    return true;
}

struct Histogram {
    // 32 x 32 x 32 buckets, red slowest and blue fastest.
    std::vector<uint32_t> count;
    std::vector<uint64_t> sum;  // red, green, blue per bucket
};

inline uint32_t Bucket5(uint8_t red, uint8_t green, uint8_t blue) {
    return (uint32_t{red} >> 3 << 10) | (uint32_t{green} >> 3 << 5) | (uint32_t{blue} >> 3);
}

void Accumulate(Histogram& hist, uint8_t red, uint8_t green, uint8_t blue, uint64_t n) {
    const uint32_t b = Bucket5(red, green, blue);
    hist.count[b] += static_cast<uint32_t>(n);
    hist.sum[3 * b] += red * n;
    hist.sum[3 * b + 1] += green * n;
    hist.sum[3 * b + 2] += blue * n;
}

struct SeedSet {
    std::vector<RgbQuad> seeds;  // red, green, blue in the quad's fields
    int threshold = 0;
};

SeedSet SeedsFor(int depth) {
    auto rgb = [](int r, int g, int b) {
        return RgbQuad{static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
    };
    auto cube = [&](std::initializer_list<int> levels) {
        std::vector<RgbQuad> out;
        for (int r : levels)
            for (int g : levels)
                for (int b : levels) out.push_back(rgb(r, g, b));
        return out;
    };
    switch (depth) {
        case 2:
            return {{rgb(0, 0, 0), rgb(0, 64, 255), rgb(255, 64, 0), rgb(255, 255, 255)}, 34560};
        case 3: return {cube({0, 255}), 32512};
        case 4:
            return {{rgb(0, 0, 0), rgb(0, 0, 255), rgb(0, 128, 255), rgb(0, 255, 0), rgb(0, 255, 128),
                     rgb(0, 255, 255), rgb(128, 0, 255), rgb(128, 128, 128), rgb(128, 255, 0), rgb(255, 0, 0),
                     rgb(255, 0, 128), rgb(255, 0, 255), rgb(255, 128, 0), rgb(255, 255, 0),
                     rgb(255, 255, 255)},
                    16129};
        case 5: return {cube({0, 128, 255}), 8064};
        case 6: return {cube({0, 85, 170, 255}), 3612};
        case 7: return {cube({0, 85, 140, 195, 255}), 1512};
        default: return {cube({0, 85, 135, 175, 215, 255}), 800};
    }
}

// Builds the adaptive palette (at most n entries, ordered by brightness) from the
// 32^3 histogram. Returns the number of entries.
int AdaptivePalette(const Histogram& fine, int depth, uint64_t pixels, RgbQuad* pal) {
    const int n = 1 << depth;
    // Bucket precision: the finest shift whose next coarser grid has at most n colours.
    int shift = 6;
    for (int s = 3; s <= 5; ++s) {
        const int drop = s + 1 - 3;
        std::vector<uint8_t> seen(size_t{1} << (3 * (8 - s - 1)), 0);
        int distinct = 0;
        for (uint32_t i = 0; i < 32768; ++i) {
            if (!fine.count[i]) continue;
            const uint32_t r = (i >> 10) >> drop, g = ((i >> 5) & 31) >> drop, b = (i & 31) >> drop;
            const uint32_t k = 5 - drop;
            const uint32_t c = (r << (2 * k)) | (g << k) | b;
            if (!seen[c]) {
                seen[c] = 1;
                ++distinct;
            }
        }
        if (distinct <= n) {
            shift = s;
            break;
        }
    }

    // Buckets at the chosen precision, red slowest and blue fastest.
    const int drop = shift - 3;
    const uint32_t k = 8 - static_cast<uint32_t>(shift);
    const size_t buckets = size_t{1} << (3 * k);
    std::vector<uint64_t> count(buckets, 0), sum(3 * buckets, 0);
    for (uint32_t i = 0; i < 32768; ++i) {
        if (!fine.count[i]) continue;
        const uint32_t r = (i >> 10) >> drop, g = ((i >> 5) & 31) >> drop, b = (i & 31) >> drop;
        const size_t c = (r << (2 * k)) | (g << k) | b;
        count[c] += fine.count[i];
        for (int ch = 0; ch < 3; ++ch) sum[3 * c + ch] += fine.sum[3 * i + ch];
    }
    std::vector<RgbQuad> mean(buckets);  // black for an empty bucket
    for (size_t c = 0; c < buckets; ++c) {
        if (!count[c]) continue;
        mean[c] = RgbQuad{static_cast<uint8_t>(sum[3 * c + 2] / count[c]), static_cast<uint8_t>(sum[3 * c + 1] / count[c]),
                          static_cast<uint8_t>(sum[3 * c] / count[c]), 0};
    }

    int filled = 0;
    // Seeds: the nearest well-populated bucket to each fixed colour, when close enough.
    // Below 65536 pixels the floor is 0, so every bucket qualifies: an empty one with the
    // colour of its zero sums (black), and one an earlier seed took (count 0) again.
    const uint64_t minCount = pixels >> 16;
    std::vector<uint32_t> eligible;
    for (size_t c = 0; c < buckets; ++c)
        if (count[c] >= minCount) eligible.push_back(static_cast<uint32_t>(c));
    const SeedSet seeds = SeedsFor(depth);
    for (const RgbQuad& seed : seeds.seeds) {
        int best = seeds.threshold;
        int pick = -1;
        for (uint32_t c : eligible) {
            if (count[c] < minCount) continue;  // taken by an earlier seed (floor 1 and more)
            const int dr = mean[c].red - seed.red, dg = mean[c].green - seed.green, db = mean[c].blue - seed.blue;
            const int d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                pick = static_cast<int>(c);
            }
        }
        if (pick < 0) continue;
        pal[filled++] = mean[static_cast<size_t>(pick)];
        count[static_cast<size_t>(pick)] = 0;
    }

    // Fill with the most populous remaining buckets, the first in bucket order on ties.
    if (filled < n) {
        std::vector<uint32_t> order;
        for (size_t c = 0; c < buckets; ++c)
            if (count[c]) order.push_back(static_cast<uint32_t>(c));
        const size_t want = std::min<size_t>(order.size(), static_cast<size_t>(n - filled));
        std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(want), order.end(),
                          [&](uint32_t a, uint32_t b) { return count[a] != count[b] ? count[a] > count[b] : a < b; });
        for (size_t i = 0; i < want; ++i) pal[filled++] = mean[order[i]];
    }
    SortBySum(pal, filled);
    return filled;
}

// Maps every pixel to its nearest palette entry in storage order, diffusing the error
// per channel when et is given.
void MapWithPalette(const PixelConversion& ctx, SourceRows& src, const RgbQuad* pal, NearestEntryIndex& nearest,
                    const ErrorTables* et, int packDepth, uint8_t* dstRows, size_t dstStride) {
    const int w = ctx.width;
    const int h = ctx.height;
    std::vector<uint8_t> index(static_cast<size_t>(w));
    if (!et) {
        for (int y = 0; y < h; ++y) {
            const uint8_t* p = src.Bgr(y);
            for (int x = 0; x < w; ++x, p += 3) index[static_cast<size_t>(x)] = static_cast<uint8_t>(nearest.Find(p[2], p[1], p[0]));
            PackRow(index.data(), w, packDepth, dstRows + dstStride * static_cast<size_t>(y), dstStride);
        }
        return;
    }
    auto load = [&](int y, uint8_t* out) { std::memcpy(out, src.Bgr(y), 3 * static_cast<size_t>(w)); };
    auto emit = [&](int y, const uint8_t* idx) {
        PackRow(idx, w, packDepth, dstRows + dstStride * static_cast<size_t>(y), dstStride);
    };
#if defined(__SSE2__)
    switch (ctx.dither) {
        case 1: BgrDiffusion<1, kDiffusionRows>(w, pal, nearest).Run(h, load, emit); return;
        case 2: BgrDiffusion<2, kDiffusionRows>(w, pal, nearest).Run(h, load, emit); return;
        default: BgrDiffusion<0, kDiffusionRows>(w, pal, nearest).Run(h, load, emit); return;
    }
#else
    auto pick = [&](const int* v, int* chosen) {
        const int i = nearest.Find(v[2], v[1], v[0]);
        chosen[0] = pal[i].blue;
        chosen[1] = pal[i].green;
        chosen[2] = pal[i].red;
        return i;
    };
    Diffuse<3>(w, h, load, *et, pick, emit);
#endif
}

bool ReduceWithPalette(const PixelConversion& ctx, int packDepth, RgbQuad* dstPalette, uint8_t* dstRows,
                       size_t dstStride, const RgbQuad* srcPalette, const uint8_t* srcRows) {
    const int depth = ctx.targetDepth;
    const size_t n = size_t{1} << depth;
    const int w = ctx.width;
    const int h = ctx.height;
    SourceRows src(ctx, srcPalette, srcRows);
    RgbQuad pal[256]{};
    std::vector<uint8_t> index(static_cast<size_t>(w));

    Histogram hist;
    hist.count.assign(32768, 0);
    hist.sum.assign(3 * 32768, 0);

    if (ctx.sourceDepth == 8) {
        // Distinct colours among the used entries; the exact palette keeps palette order.
        std::array<uint64_t, 256> used{};
        for (int y = 0; y < h; ++y) {
            const uint8_t* s = src.Raw(y);
            for (int x = 0; x < w; ++x) ++used[s[x]];
        }
        std::array<uint8_t, 256> slot{};
        int distinct = 0;
        for (int i = 0; i < 256; ++i) {
            if (!used[static_cast<size_t>(i)]) continue;
            const RgbQuad c{srcPalette[i].blue, srcPalette[i].green, srcPalette[i].red, 0};
            int at = 0;
            while (at < distinct && !(pal[at] == c)) ++at;
            if (at == distinct) {
                if (static_cast<size_t>(distinct) == n) {
                    distinct = -1;  // too many: adaptive
                    break;
                }
                pal[distinct++] = c;
            }
            slot[static_cast<size_t>(i)] = static_cast<uint8_t>(at);
        }
        if (distinct >= 0) {
            for (int y = 0; y < h; ++y) {
                const uint8_t* s = src.Raw(y);
                for (int x = 0; x < w; ++x) index[static_cast<size_t>(x)] = slot[s[x]];
                PackRow(index.data(), w, packDepth, dstRows + dstStride * static_cast<size_t>(y), dstStride);
            }
            std::copy(pal, pal + 256, dstPalette);
            return true;
        }
        for (int i = 0; i < 256; ++i)
            if (used[static_cast<size_t>(i)])
                Accumulate(hist, srcPalette[i].red, srcPalette[i].green, srcPalette[i].blue, used[static_cast<size_t>(i)]);
    } else {
        std::vector<uint32_t> keys;
        if (!DistinctColours24(ctx, src, n, keys)) return false;
        if (keys.size() <= n) {
            // Exact palette: first appearance in storage order, then by brightness (stable).
            const int count = static_cast<int>(keys.size());
            for (int i = 0; i < count; ++i)
                pal[i] = RgbQuad{static_cast<uint8_t>(keys[i]), static_cast<uint8_t>(keys[i] >> 8),
                                 static_cast<uint8_t>(keys[i] >> 16), 0};
            SortBySum(pal, count);
            std::vector<std::pair<uint32_t, uint8_t>> lookup;
            for (int i = 0; i < count; ++i) lookup.emplace_back(Key(pal[i].red, pal[i].green, pal[i].blue), static_cast<uint8_t>(i));
            std::sort(lookup.begin(), lookup.end());
            for (int y = 0; y < h; ++y) {
                const uint8_t* p = src.Raw(y);
                uint32_t lastKey = 0xFFFFFFFFu;
                uint8_t lastIndex = 0;
                for (int x = 0; x < w; ++x, p += 3) {
                    const uint32_t key = Key(p[2], p[1], p[0]);
                    if (key != lastKey) {
                        lastKey = key;
                        lastIndex = std::lower_bound(lookup.begin(), lookup.end(), std::make_pair(key, uint8_t{0}))->second;
                    }
                    index[static_cast<size_t>(x)] = lastIndex;
                }
                PackRow(index.data(), w, packDepth, dstRows + dstStride * static_cast<size_t>(y), dstStride);
            }
            std::copy(pal, pal + 256, dstPalette);
            return true;
        }
        for (int y = 0; y < h; ++y) {
            const uint8_t* p = src.Raw(y);
            for (int x = 0; x < w; ++x, p += 3) {
                const uint32_t b = Bucket5(p[2], p[1], p[0]);
                ++hist.count[b];
                hist.sum[3 * b] += p[2];
                hist.sum[3 * b + 1] += p[1];
                hist.sum[3 * b + 2] += p[0];
            }
        }
    }

    const uint64_t pixels = static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
    const int count = AdaptivePalette(hist, depth, pixels, pal);
    NearestEntryIndex nearest;
    if (!nearest.Reset(pal, count)) return false;
    MapWithPalette(ctx, src, pal, nearest, ErrorTablesFor(ctx.dither), packDepth, dstRows, dstStride);
    std::copy(pal, pal + 256, dstPalette);
    return true;
}

bool ValidSource(const PixelConversion& ctx, const RgbQuad* srcPalette, const uint8_t* srcRows) {
    if (ctx.width <= 0 || ctx.height <= 0 || !srcRows) return false;
    // Bucket counts are 32-bit.
    if (static_cast<uint64_t>(ctx.width) * static_cast<uint64_t>(ctx.height) > UINT32_MAX) return false;
    if (ctx.sourceDepth != 8 && ctx.sourceDepth != 24) return false;
    if (ctx.sourceDepth == 8 && !srcPalette) return false;
    const size_t minimum = PaddedRowBytes(ctx.width, ctx.sourceDepth);
    return minimum != 0 && (ctx.sourceStride == 0 || ctx.sourceStride >= minimum);
}

}  // namespace

uint8_t GreyOfEntry(const RgbQuad& c) {
    return static_cast<uint8_t>((306 * c.red + 603 * c.green + 117 * c.blue) >> 10);
}

uint8_t GreyOfPixel(uint8_t blue, uint8_t green, uint8_t red) {
    const GreyTables& g = Grey();
    return static_cast<uint8_t>(g.red[red] + g.green[green] + g.blue[blue]);
}

bool ConvertToGrey(const PixelConversion& ctx, const RgbQuad* srcPalette, const uint8_t* srcRows, uint8_t* dstRows) {
    if (!ValidSource(ctx, srcPalette, srcRows) || !dstRows) return false;
    const int w = ctx.width;
    const size_t srcStride = ctx.sourceStride ? ctx.sourceStride : PaddedRowBytes(w, ctx.sourceDepth);
    const size_t dstStride = PaddedRowBytes(w, 8);
    uint8_t entryGrey[256];
    if (ctx.sourceDepth == 8)
        for (int i = 0; i < 256; ++i) entryGrey[i] = GreyOfEntry(srcPalette[i]);
    const GreyTables& g = Grey();
    for (int y = 0; y < ctx.height; ++y) {
        const uint8_t* s = srcRows + srcStride * static_cast<size_t>(y);
        uint8_t* d = dstRows + dstStride * static_cast<size_t>(y);
        if (ctx.sourceDepth == 8) {
            for (int x = 0; x < w; ++x) d[x] = entryGrey[s[x]];
        } else {
            for (int x = 0; x < w; ++x, s += 3) d[x] = static_cast<uint8_t>(g.blue[s[0]] + g.green[s[1]] + g.red[s[2]]);
        }
        std::memset(d + w, 0, dstStride - static_cast<size_t>(w));
    }
    return true;
}

bool ReduceColours(const PixelConversion& ctx, int packDepth, RgbQuad* dstPalette, uint8_t* dstRows,
                   const RgbQuad* srcPalette, const uint8_t* srcRows) {
    if (!ValidSource(ctx, srcPalette, srcRows) || !dstRows || !dstPalette) return false;
    if (ctx.targetDepth < 1 || ctx.targetDepth > 8) return false;
    if (packDepth != 1 && packDepth != 2 && packDepth != 4 && packDepth != 8) return false;
    if (packDepth < ctx.targetDepth) return false;
    const size_t dstStride = PaddedRowBytes(ctx.width, packDepth);
    try {
        if (ctx.targetDepth == 1) {
            ReduceToOneBit(ctx, srcPalette, srcRows, dstRows, dstStride, packDepth, dstPalette);
            return true;
        }
        return ReduceWithPalette(ctx, packDepth, dstPalette, dstRows, dstStride, srcPalette, srcRows);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool ConvertThroughGrey(const PixelConversion& ctx, RgbQuad* dstPalette, uint8_t* dstRows,
                        const RgbQuad* srcPalette, const uint8_t* srcRows) {
    if (ctx.width <= 0 || ctx.height <= 0 || !srcRows || !dstRows) return false;
    const size_t stride8 = PaddedRowBytes(ctx.width, 8);
    const size_t bytes = stride8 * static_cast<size_t>(ctx.height);
    std::unique_ptr<uint8_t, FreeDeleter> wide, grey(static_cast<uint8_t*>(std::malloc(bytes)));
    if (!grey) return false;
    PixelConversion step = ctx;
    step.gray = false;
    if (ctx.sourceDepth < 8) {
        // Packed indices are unpacked first.
        Palette unpacked{};
        wide.reset(static_cast<uint8_t*>(std::malloc(bytes)));
        if (!wide) return false;
        step.targetDepth = 8;
        if (!ConvertPixels(step, unpacked.data(), wide.get(), srcPalette, srcRows)) return false;
        step.sourceDepth = 8;
        step.sourceStride = stride8;
        if (!ConvertToGrey(step, unpacked.data(), wide.get(), grey.get())) return false;
    } else if (!ConvertToGrey(step, srcPalette, srcRows, grey.get())) {
        return false;
    }
    Palette ramp;
    FillGreyPalette(ramp);
    step.sourceDepth = 8;
    step.sourceStride = stride8;
    step.targetDepth = ctx.targetDepth;
    return ConvertPixels(step, dstPalette, dstRows, ramp.data(), grey.get());
}

int NearestEntryExhaustive(const RgbQuad* palette, int count, int red, int green, int blue) {
    int best = kSearchStart;
    int pick = 0;
    for (int i = 0; i < count; ++i) {
        const int dr = red - palette[i].red, dg = green - palette[i].green, db = blue - palette[i].blue;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            pick = i;
        }
    }
    return pick;
}

bool NearestEntryIndex::Reset(const RgbQuad* palette, int count) {
    count_ = std::clamp(count, 1, 256);
    for (int i = 0; i < 256; ++i) {
        const RgbQuad c = i < count ? palette[i] : RgbQuad{};
        red_[i] = c.red;
        green_[i] = c.green;
        blue_[i] = c.blue;
    }
    try {
        cells_.assign(size_t{1} << (3 * kCellBits), 0);
        blocks_.clear();
        blocks_.reserve(size_t{1} << 12);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Every entry that can be the nearest to some colour of the cell: its least distance to
// the cell is at most the smallest greatest distance of any entry. All entries tying for
// the nearest of a colour pass this test, so the scan stays exact.
uint32_t NearestEntryIndex::BuildCell(uint32_t cell) {
    constexpr int span = (1 << kCellShift) - 1;
    constexpr uint32_t mask = (1u << kCellBits) - 1;
    const int r0 = static_cast<int>(cell >> (2 * kCellBits)) << kCellShift;
    const int g0 = static_cast<int>((cell >> kCellBits) & mask) << kCellShift;
    const int b0 = static_cast<int>(cell & mask) << kCellShift;
    auto below = [](int v, int lo) { return std::max(lo - v, 0) + std::max(v - lo - span, 0); };
    auto far = [](int v, int lo) { return std::max(v - lo, lo + span - v); };
    int least[256];
    int most[256];
    for (int i = 0; i < count_; ++i) {
        const int lr = below(red_[i], r0), lg = below(green_[i], g0), lb = below(blue_[i], b0);
        const int fr = far(red_[i], r0), fg = far(green_[i], g0), fb = far(blue_[i], b0);
        least[i] = lr * lr + lg * lg + lb * lb;
        most[i] = fr * fr + fg * fg + fb * fb;
    }
    const int minMax = *std::min_element(most, most + count_);
    int pick[256 + 7];
    int n = 0;
    for (int i = 0; i < count_; ++i)
        if (least[i] <= minMax) pick[n++] = i;
    while (n % 8) {
        pick[n] = pick[n - 1];
        ++n;
    }
    const size_t first = blocks_.size();
    for (int j = 0; j < n; j += 8) {
        Block& b = blocks_.emplace_back();
        for (int k = 0; k < 8; ++k) {
            const int i = pick[j + k];
            b.blue[k] = static_cast<int16_t>(blue_[i]);
            b.green[k] = static_cast<int16_t>(green_[i]);
            b.red[k] = static_cast<int16_t>(red_[i]);
            b.index[k] = static_cast<int16_t>(i);
        }
    }
    const uint32_t entry = static_cast<uint32_t>(first + 1) << 6 | static_cast<uint32_t>(n / 8 - 1);
    cells_[cell] = entry;
    return entry;
}

int NearestEntryIndex::Find(int red, int green, int blue) {
    int blocks = 0;
    const Block* b = CellBlocks(red, green, blue, blocks);
#if defined(__SSE2__)
    return ScanBlocks(b, blocks, _mm_set1_epi16(static_cast<int16_t>(blue)), _mm_set1_epi16(static_cast<int16_t>(green)),
                      _mm_set1_epi16(static_cast<int16_t>(red)));
#else
    // The smallest distance << 8 | index: the nearest, the lowest index on ties.
    uint32_t best = UINT32_MAX;
    for (int j = 0; j < blocks; ++j, ++b) {
        for (int k = 0; k < 8; ++k) {
            const int dr = red - b->red[k], dg = green - b->green[k], db = blue - b->blue[k];
            best = std::min(best, static_cast<uint32_t>(dr * dr + dg * dg + db * db) << 8 | static_cast<uint32_t>(b->index[k]));
        }
    }
    return static_cast<int>(best & 255);
#endif
}

std::optional<uint32_t> CountColours(const ImageBuffer& image) {
    if (image.empty() || image.width() <= 0 || image.height() <= 0) return std::nullopt;
    const int w = image.width();
    const int depth = image.bitCount();
    if (depth == 24) {
        PresenceMap map;
        if (!map.Allocate()) return std::nullopt;
        uint32_t count = 0;
        for (int y = 0; y < image.height(); ++y) {
            const uint8_t* p = image.storedRow(y);
            for (int x = 0; x < w; ++x, p += 3) count += map.Insert(Key(p[2], p[1], p[0])) ? 1 : 0;
        }
        return count;
    }
    if (depth != 1 && depth != 4 && depth != 8) return std::nullopt;
    std::array<bool, 256> used{};
    const int perByte = 8 / depth;
    const unsigned mask = (1u << depth) - 1;
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* s = image.storedRow(y);
        for (int x = 0; x < w; ++x) {
            const unsigned i = depth == 8 ? s[x] : (s[x / perByte] >> (8 - depth * (x % perByte + 1))) & mask;
            used[i] = true;
        }
    }
    return static_cast<uint32_t>(std::count(used.begin(), used.end(), true));
}

ColourCountMessage MakeColourCountMessage(const std::string& fileName, uint32_t count) {
    return ColourCountMessage{fileName, "使用色数 = " + std::to_string(count)};
}

}  // namespace lumra
