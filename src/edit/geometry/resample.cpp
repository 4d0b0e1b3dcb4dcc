#include "edit/geometry/resample.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "edit/edit_model.h"

namespace lumra {
namespace {

constexpr int kUnit = 32768;  // one source pixel in area units

// The walk of area averaging along an axis of old length o onto n < o: which source
// pixels close a destination pixel and by how many units they overshoot its end. The
// same for every line of the axis.
struct AreaPlan {
    std::vector<uint8_t> closes;
    std::vector<int32_t> over;
    std::vector<uint8_t> avg;  // avg[sum] = sum / (o / n)
    double ratio = 1;
    int n = 0;

    bool Build(int o, int newLength) {
        n = newLength;
        ratio = static_cast<double>(o) / n;
        const auto s = static_cast<int64_t>(ratio * kUnit);
        // Only sums a line can reach get an entry: at most 255 per source pixel touched.
        const int64_t entries = std::min<int64_t>(s, 255 * (s / kUnit + 2) + 1);
        try {
            closes.assign(static_cast<size_t>(o), 0);
            over.assign(static_cast<size_t>(o), 0);
            avg.resize(static_cast<size_t>(entries));
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (int64_t i = 0; i < entries; ++i) avg[static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<int>(static_cast<double>(i) / ratio));
        int64_t covered = 0;
        for (int j = 0; j < o; ++j) {
            covered += kUnit;
            if (covered < s) continue;
            closes[static_cast<size_t>(j)] = 1;
            covered -= s;
            over[static_cast<size_t>(j)] = static_cast<int32_t>(covered);
        }
        return true;
    }
    uint8_t Average(int sum) const {
        if (static_cast<size_t>(sum) < avg.size()) return avg[static_cast<size_t>(sum)];
        return static_cast<uint8_t>(static_cast<int>(sum / ratio));
    }
};

// Linear interpolation of o onto n (o <= n <= 2o): source index and 16-bit fraction per
// destination pixel.
struct LinearPlan {
    std::vector<int32_t> index;
    std::vector<uint32_t> frac;
    int o = 0;

    bool Build(int old, int n) {
        o = old;
        try {
            index.resize(static_cast<size_t>(n));
            frac.resize(static_cast<size_t>(n));
        } catch (const std::bad_alloc&) {
            return false;
        }
        const int64_t step = (static_cast<int64_t>(o) * 65536) / n;
        for (int k = 0; k < n; ++k) {
            const int64_t p = k * step;
            index[static_cast<size_t>(k)] = static_cast<int32_t>(p >> 16);
            frac[static_cast<size_t>(k)] = static_cast<uint32_t>(p & 65535);
        }
        return true;
    }
};

inline uint8_t Lerp(uint32_t f, uint8_t a, uint8_t b) {
    return static_cast<uint8_t>((f * b + (65536 - f) * a) >> 16);
}

// One row, o pixels onto n.
void AreaRow(const AreaPlan& plan, const uint8_t* s, int o, uint8_t* d) {
    int sum[3] = {0, 0, 0};
    int k = 0;
    for (int j = 0; j < o && k < plan.n; ++j, s += 3) {
        if (!plan.closes[static_cast<size_t>(j)]) {
            sum[0] += s[0];
            sum[1] += s[1];
            sum[2] += s[2];
            continue;
        }
        const int over = plan.over[static_cast<size_t>(j)];
        for (int ch = 0; ch < 3; ++ch) {
            const int c = over * s[ch] / kUnit;
            d[ch] = plan.Average(sum[ch] + s[ch] - c);
            sum[ch] = c;
        }
        d += 3;
        ++k;
    }
    if (k < plan.n) {
        for (int ch = 0; ch < 3; ++ch) d[ch] = plan.Average(sum[ch]);
    }
}

void LinearRow(const LinearPlan& plan, const uint8_t* s, int n, uint8_t* d) {
    for (int k = 0; k < n; ++k, d += 3) {
        const int i = plan.index[static_cast<size_t>(k)];
        const uint8_t* p = s + 3 * static_cast<size_t>(i);
        if (i < plan.o - 1) {
            const uint32_t f = plan.frac[static_cast<size_t>(k)];
            d[0] = Lerp(f, p[0], p[3]);
            d[1] = Lerp(f, p[1], p[4]);
            d[2] = Lerp(f, p[2], p[5]);
        } else {
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
        }
    }
}

bool Horizontal(const Raster24& src, const Raster24& dst) {
    const int o = src.width, n = dst.width;
    if (n < o) {
        AreaPlan plan;
        if (!plan.Build(o, n)) return false;
        for (int y = 0; y < src.height; ++y)
            AreaRow(plan, src.bits + y * src.stride, o, dst.bits + y * dst.stride);
    } else {
        LinearPlan plan;
        if (!plan.Build(o, n)) return false;
        for (int y = 0; y < src.height; ++y)
            LinearRow(plan, src.bits + y * src.stride, n, dst.bits + y * dst.stride);
    }
    return true;
}

// Rows in storage order (bottom first); every column walks the same plan, so whole rows are
// handled at once.
bool Vertical(const Raster24& src, const Raster24& dst) {
    const int o = src.height, n = dst.height;
    const size_t bytes = static_cast<size_t>(src.width) * 3;
    if (n < o) {
        AreaPlan plan;
        std::vector<int> sum;
        if (!plan.Build(o, n)) return false;
        try {
            sum.assign(bytes, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        int k = 0;
        for (int j = 0; j < o && k < n; ++j) {
            const uint8_t* s = src.bits + j * src.stride;
            if (!plan.closes[static_cast<size_t>(j)]) {
                for (size_t b = 0; b < bytes; ++b) sum[b] += s[b];
                continue;
            }
            const int over = plan.over[static_cast<size_t>(j)];
            uint8_t* d = dst.bits + k * dst.stride;
            for (size_t b = 0; b < bytes; ++b) {
                const int c = over * s[b] / kUnit;
                d[b] = plan.Average(sum[b] + s[b] - c);
                sum[b] = c;
            }
            ++k;
        }
        if (k < n) {
            uint8_t* d = dst.bits + k * dst.stride;
            for (size_t b = 0; b < bytes; ++b) d[b] = plan.Average(sum[b]);
        }
    } else {
        const int64_t step = (static_cast<int64_t>(o) * 65536) / n;
        for (int k = 0; k < n; ++k) {
            const int64_t p = k * step;
            const auto i = static_cast<int>(p >> 16);
            const auto f = static_cast<uint32_t>(p & 65535);
            const uint8_t* a = src.bits + i * src.stride;
            uint8_t* d = dst.bits + k * dst.stride;
            if (i < o - 1) {
                const uint8_t* b = a + src.stride;
                for (size_t x = 0; x < bytes; ++x) d[x] = Lerp(f, a[x], b[x]);
            } else {
                std::memcpy(d, a, bytes);
            }
        }
    }
    return true;
}

// Nothing is enlarged more than twice in one step.
bool PassAllowed(int o, int n) { return n <= 2 * static_cast<int64_t>(o); }

}  // namespace

bool Resample(const Raster24& src, const Raster24& dst) {
    const int w = dst.width, h = dst.height;
    if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide) return false;
    if (!src.bits || !dst.bits || src.width <= 0 || src.height <= 0) return false;
    if (w == src.width && h == src.height) return false;
    if (!PassAllowed(src.width, w) || !PassAllowed(src.height, h)) return false;
    if (h == src.height) return Horizontal(src, dst);
    if (w == src.width) return Vertical(src, dst);
    ImageBuffer temp;
    if (!temp.Allocate(src.width, h, 24)) return false;
    const Raster24 mid{temp.bits(), src.width, h, temp.stride()};
    return Vertical(src, mid) && Horizontal(mid, dst);
}

ImageBuffer ResizePicture(const ImageBuffer& picture, int width, int height) {
    ImageBuffer out;
    if (picture.empty()) return out;
    ImageBuffer widened;
    const ImageBuffer* src = &picture;
    if (picture.bitCount() != 24) {
        widened = WidenTo24(picture);
        if (widened.empty()) return out;
        src = &widened;
    }
    if (!out.Allocate(width, height, 24)) return out;
    const Raster24 from{const_cast<uint8_t*>(src->bits()), src->width(), src->height(), src->stride()};
    const Raster24 to{out.bits(), width, height, out.stride()};
    if (!Resample(from, to)) out.Reset();
    return out;
}

}  // namespace lumra
