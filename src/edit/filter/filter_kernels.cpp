#include "edit/filter/filter_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "edit/row_loops.h"

namespace lumra {
namespace {

FilterTables BuildTables() {
    FilterTables t{};
    t.div9[0] = 0;
    for (int i = 1; i < static_cast<int>(t.div9.size()); ++i)
        t.div9[static_cast<size_t>(i)] = static_cast<uint8_t>((40049 + 7281 * (i - 1)) >> 16);
    t.div25[0] = 0;
    for (int i = 1; i < static_cast<int>(t.div25.size()); ++i)
        t.div25[static_cast<size_t>(i)] = static_cast<uint8_t>((35389 + 2621 * (i - 1)) >> 16);
    for (int level = 0; level <= 100; ++level)
        for (int d = -128; d < 128; ++d)
            t.gain[level][d + 128] = static_cast<int16_t>((d * level) >> 3);
    for (int i = 0; i < static_cast<int>(t.clamp.size()); ++i)
        t.clamp[static_cast<size_t>(i)] =
            static_cast<uint8_t>(std::clamp(i - kClampCentre, 0, 255));
    for (int i = 0; i < 256; ++i) {
        t.luma[0][i] = static_cast<uint8_t>((30 * i) >> 8);
        t.luma[1][i] = static_cast<uint8_t>((151 * i) >> 8);
        t.luma[2][i] = static_cast<uint8_t>((77 * i) >> 8);
    }
    return t;
}

inline uint8_t Blend(const BlendTable& t, unsigned m, unsigned source, unsigned filtered) {
    return static_cast<uint8_t>(t.entry[m][source] + t.entry[255 - m][filtered]);
}

inline uint8_t Clip255(int v) {
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}
void DivideRow(int32_t* acc, int32_t div, int n) {
    for (int i = 0; i < n; ++i) acc[i] /= div;
}

// out = the filtered row (acc) by the mask over `base`.
void BlendRow(const BlendTable& t, const uint8_t* m, const uint8_t* base, const int32_t* acc,
              uint8_t* out, int w) {
    if (!m) {
        for (int i = 0; i < 3 * w; ++i) out[i] = Clip255(acc[i]);
        return;
    }
    for (int x = 0; x < w; ++x) {
        const unsigned mv = m[x];
        for (int c = 0; c < 3; ++c) {
            const int i = 3 * x + c;
            const uint8_t f = Clip255(acc[i]);
            out[i] = mv == 255 ? base[i] : mv ? Blend(t, mv, base[i], f) : f;
        }
    }
}

template <typename F>
void ParallelRows(const FilterJob& job, F&& fn) {
    ForBandsOfRows(job.height, job.threads, fn);
}

// Box blur of (2 * H + 1)^2 samples, edges clamped: column sums per row, then across.
template <int H>
void BoxBlur(const FilterJob& job, int strength, const uint8_t* div) {
    const int w = job.width, h = job.height;
    const BlendTable& t = *job.blend;
    const unsigned s = static_cast<unsigned>(std::clamp(strength, 0, 255));
    ParallelRows(job, [&](int from, int to) {
        std::vector<int> col(static_cast<size_t>(w) * 3);
        for (int y = from; y < to; ++y) {
            const uint8_t* rows[2 * H + 1];
            for (int d = -H; d <= H; ++d)
                rows[d + H] =
                    job.source + static_cast<size_t>(std::clamp(y + d, 0, h - 1)) * job.stride;
            for (int i = 0; i < w * 3; ++i) {
                int sum = 0;
                for (const uint8_t* r : rows) sum += r[i];
                col[static_cast<size_t>(i)] = sum;
            }
            const uint8_t* src = job.source + static_cast<size_t>(y) * job.stride;
            uint8_t* dst = job.destination + static_cast<size_t>(y) * job.stride;
            const uint8_t* m = job.mask ? job.mask + static_cast<size_t>(y) * w : nullptr;
            for (int x = 0; x < w; ++x) {
                const unsigned mv = m ? m[x] : 0;
                if (mv == 255) {
                    std::memcpy(dst + 3 * x, src + 3 * x, 3);
                    continue;
                }
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int d = -H; d <= H; ++d)
                        sum += col[static_cast<size_t>(3 * std::clamp(x + d, 0, w - 1) + c)];
                    const unsigned v = src[3 * x + c];
                    const uint8_t f =
                        static_cast<uint8_t>(t.entry[s][div[sum]] + t.entry[255 - s][v]);
                    dst[3 * x + c] = mv ? Blend(t, mv, v, f) : f;
                }
            }
        }
    });
}

// Gaussian weights for radius r; returns the shift.
int GaussWeights(int r, int32_t (&weights)[41]) {
    std::fill(std::begin(weights), std::end(weights), 0);
    const int d = static_cast<int>(r * r * 0.5 + 0.5);
    int raw[kMaxGaussRadius + 1] = {255};
    int total = 255;
    for (int i = 1; i <= r; ++i) {
        raw[i] = static_cast<int>(255.0 * std::exp(-static_cast<double>(i * i) / d) + 0.5);
        total += 2 * raw[i];
    }
    int shift = 0;
    while ((total >> shift) != 0) ++shift;
    shift = std::max(shift, 1);
    const double scale = static_cast<double>(1 << shift) / total;
    for (int i = -r; i <= r; ++i)
        weights[kMaxGaussRadius + i] = static_cast<int32_t>(raw[std::abs(i)] * scale + 0.5);
    return shift;
}

}  // namespace

const FilterTables& GetFilterTables() {
    static const FilterTables tables = BuildTables();
    return tables;
}

FilterJob MakeFilterJob(int width, int height, const uint8_t* source, uint8_t* destination,
                        const uint8_t* mask) {
    const FilterTables& t = GetFilterTables();
    FilterJob job;
    job.width = width;
    job.height = height;
    job.stride = (width * 3 + 3) & ~3;
    job.source = source;
    job.destination = destination;
    job.mask = mask;
    job.blend = &GetBlendTable();
    job.div9 = t.div9.data();
    job.div25 = t.div25.data();
    job.gain = t.gain;
    job.clamp = t.clamp.data() + kClampCentre;
    job.luma = t.luma;
    return job;
}

void BoxBlur3(const FilterJob& job, int strength) {
    BoxBlur<1>(job, strength, job.div9);
}
void BoxBlur5(const FilterJob& job, int strength) {
    BoxBlur<2>(job, strength, job.div25);
}

void GaussianBlur(FilterJob& job, uint8_t* intermediate, int radius) {
    const int w = job.width, h = job.height;
    const int r = std::clamp(std::min({radius, (std::min(w, h) - 1) / 2}), 0, kMaxGaussRadius);
    const int shift = GaussWeights(r, job.weights);
    const int32_t* W = job.weights + kMaxGaussRadius;
    const BlendTable& t = *job.blend;
    const size_t stride = static_cast<size_t>(job.stride);
    const int n = w * 3;

    // Horizontal: source -> intermediate, blended against the source.
    ParallelRows(job, [&](int from, int to) {
        std::vector<int32_t> acc(static_cast<size_t>(n));
        for (int y = from; y < to; ++y) {
            const uint8_t* src = job.source + y * stride;
            uint8_t* out = intermediate + y * stride;
            const uint8_t* m = job.mask ? job.mask + static_cast<size_t>(y) * w : nullptr;
            const int lo = r * 3, hi = (w - r) * 3;
            if (hi > lo) {
                MulRow(acc.data() + lo, src + lo, W[0], hi - lo);
                for (int k = 1; k <= r; ++k)
                    MacPair(acc.data() + lo, src + lo - 3 * k, src + lo + 3 * k, W[k], hi - lo);
                ShiftRow(acc.data() + lo, shift, hi - lo);
            }
            for (int x = 0; x < w; ++x) {
                if (x >= r && x < w - r) continue;
                int32_t div = 0;
                int32_t sum[3] = {0, 0, 0};
                for (int k = -r; k <= r; ++k) {
                    if (x + k < 0 || x + k >= w) continue;
                    div += W[k];
                    for (int c = 0; c < 3; ++c) sum[c] += W[k] * src[3 * (x + k) + c];
                }
                for (int c = 0; c < 3; ++c)
                    acc[static_cast<size_t>(3 * x + c)] = div ? sum[c] / div : sum[c];
            }
            BlendRow(t, m, src, acc.data(), out, w);
        }
    });

    // Vertical: intermediate -> destination, blended against the intermediate.
    ParallelRows(job, [&](int from, int to) {
        std::vector<int32_t> acc(static_cast<size_t>(n));
        for (int y = from; y < to; ++y) {
            const uint8_t* mid = intermediate + y * stride;
            uint8_t* out = job.destination + y * stride;
            const uint8_t* m = job.mask ? job.mask + static_cast<size_t>(y) * w : nullptr;
            MulRow(acc.data(), mid, W[0], n);
            int32_t div = W[0];
            for (int k = 1; k <= r; ++k) {
                const bool below = y - k >= 0, above = y + k < h;
                if (below && above) {
                    MacPair(acc.data(), mid - k * stride, mid + k * stride, W[k], n);
                    div += 2 * W[k];
                } else if (below || above) {
                    MacPair(acc.data(), below ? mid - k * stride : mid + k * stride, nullptr, W[k],
                            n);
                    div += W[k];
                }
            }
            if (y >= r && y < h - r)
                ShiftRow(acc.data(), shift, n);
            else if (div)
                DivideRow(acc.data(), div, n);
            BlendRow(t, m, mid, acc.data(), out, w);
        }
    });
}

void UnsharpDifference(const FilterJob& job) {
    ParallelRows(job, [&](int from, int to) {
        for (int y = from; y < to; ++y) {
            const size_t row = static_cast<size_t>(y) * job.stride;
            for (int i = 0; i < job.width * 3; ++i) {
                const int d = std::clamp(job.source[row + i] - job.destination[row + i], -128, 127);
                job.auxiliary[row + i] = static_cast<uint8_t>(static_cast<int8_t>(d));
            }
        }
    });
}

void UnsharpApply(const FilterJob& job, int amount, int threshold) {
    const int16_t* gain = job.gain[std::clamp(amount, 0, 100)] + 128;
    const BlendTable& t = *job.blend;
    ParallelRows(job, [&](int from, int to) {
        for (int y = from; y < to; ++y) {
            const size_t row = static_cast<size_t>(y) * job.stride;
            const uint8_t* src = job.source + row;
            const auto* diff = reinterpret_cast<const int8_t*>(job.auxiliary + row);
            uint8_t* dst = job.destination + row;
            const uint8_t* m = job.mask ? job.mask + static_cast<size_t>(y) * job.width : nullptr;
            for (int x = 0; x < job.width; ++x) {
                const unsigned mv = m ? m[x] : 0;
                const int8_t* d = diff + 3 * x;
                if (mv == 255 || std::abs(d[0]) + std::abs(d[1]) + std::abs(d[2]) <= threshold) {
                    std::memcpy(dst + 3 * x, src + 3 * x, 3);
                    continue;
                }
                for (int c = 0; c < 3; ++c) {
                    const unsigned v = src[3 * x + c];
                    const uint8_t f = job.clamp[static_cast<int>(v) + gain[d[c]]];
                    dst[3 * x + c] = mv ? Blend(t, mv, v, f) : f;
                }
            }
        }
    });
}

void SoftFocusBlend(const FilterJob& job, int level, const uint8_t* blurred) {
    const BlendTable& t = *job.blend;
    const unsigned f = static_cast<unsigned>(std::clamp(level, 0, 255));
    ParallelRows(job, [&](int from, int to) {
        for (int y = from; y < to; ++y) {
            const size_t row = static_cast<size_t>(y) * job.stride;
            const uint8_t* src = job.source + row;
            const uint8_t* b = blurred + row;
            uint8_t* dst = job.destination + row;
            const uint8_t* m = job.mask ? job.mask + static_cast<size_t>(y) * job.width : nullptr;
            for (int x = 0; x < job.width; ++x) {
                const unsigned mv = m ? m[x] : 0;
                for (int c = 0; c < 3; ++c) {
                    const int i = 3 * x + c;
                    if (mv == 255) {
                        dst[i] = src[i];
                        continue;
                    }
                    const uint8_t v =
                        static_cast<uint8_t>(t.entry[f][b[i]] + t.entry[255 - f][src[i]]);
                    dst[i] = mv ? Blend(t, mv, src[i], v) : v;
                }
            }
        }
    });
}

void NoiseRemoval(const FilterJob& job, int level) {
    const int w = job.width, h = job.height;
    const int tol = 255 - std::clamp(level, 0, 255);
    if (w < 2 || h < 2) {
        for (int y = 0; y < h; ++y)
            std::memcpy(job.destination + static_cast<size_t>(y) * job.stride,
                        job.source + static_cast<size_t>(y) * job.stride,
                        static_cast<size_t>(w) * 3);
        return;
    }
    const BlendTable& t = *job.blend;
    const uint8_t(*L)[256] = job.luma;
    auto luma = [L](const uint8_t* p) { return L[0][p[0]] + L[1][p[1]] + L[2][p[2]]; };
    ParallelRows(job, [&](int from, int to) {
        for (int y = from; y < to; ++y) {
            const uint8_t* src = job.source + static_cast<size_t>(y) * job.stride;
            // The row below on screen is the previous raster row.
            const uint8_t* below = y > 0 ? src - job.stride : nullptr;
            const uint8_t* above = y + 1 < h ? src + job.stride : nullptr;
            uint8_t* dst = job.destination + static_cast<size_t>(y) * job.stride;
            const uint8_t* m = job.mask ? job.mask + static_cast<size_t>(y) * w : nullptr;
            for (int x = 0; x < w; ++x) {
                const unsigned mv = m ? m[x] : 0;
                const uint8_t* px = src + 3 * x;
                if (mv == 255) {
                    std::memcpy(dst + 3 * x, px, 3);
                    continue;
                }
                // Candidates in order: own row (centre, left, right), below, above.
                const uint8_t* cand[9] = {};
                int n = 0;
                const uint8_t* rows[3] = {src, below, above};
                for (const uint8_t* row : rows) {
                    if (!row) continue;
                    cand[n++] = row + 3 * x;
                    if (x > 0) cand[n++] = row + 3 * (x - 1);
                    if (x + 1 < w) cand[n++] = row + 3 * (x + 1);
                }
                const int neighbours = n - 1;
                int sum[3] = {0, 0, 0};
                for (int i = 1; i < n; ++i)
                    for (int c = 0; c < 3; ++c) sum[c] += cand[i][c];
                const int meanLuma = L[0][sum[0] / neighbours] + L[1][sum[1] / neighbours] +
                                     L[2][sum[2] / neighbours];
                if (std::abs(meanLuma - luma(px)) <= tol) {
                    std::memcpy(dst + 3 * x, px, 3);
                    continue;
                }
                int key[9] = {};
                for (int i = 0; i < n; ++i) key[i] = luma(cand[i]);
                const int discard = n == 9 ? 4 : n == 6 ? 2 : 1;
                for (int i = 0; i < discard; ++i) {
                    int best = i;
                    for (int j = i + 1; j < n; ++j)
                        if (key[j] < key[best]) best = j;
                    cand[best] = cand[i];
                    key[best] = key[i];
                }
                int pick = discard;
                for (int j = discard + 1; j < n; ++j)
                    if (key[j] < key[pick]) pick = j;
                for (int c = 0; c < 3; ++c) {
                    const uint8_t f = cand[pick][c];
                    dst[3 * x + c] = mv ? Blend(t, mv, px[c], f) : f;
                }
            }
        }
    });
}

}  // namespace lumra
