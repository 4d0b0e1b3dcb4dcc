#include "view/view_scaler.h"

#include <vector>

namespace lumra {

namespace {

// The colour of picture pixel x of a stored row.
inline void ReadPixel(const ImageBuffer& image, const uint8_t* row, int x, uint32_t& r, uint32_t& g, uint32_t& b) {
    int index = 0;
    switch (image.bitCount()) {
        case 24: {
            const uint8_t* p = row + static_cast<size_t>(x) * 3;
            b = p[0];
            g = p[1];
            r = p[2];
            return;
        }
        case 8:
            index = row[x];
            break;
        case 4:
            index = (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
            break;
        default:
            index = (row[x / 8] >> (7 - (x & 7))) & 1;
            break;
    }
    const RgbQuad& q = image.palette[static_cast<size_t>(index)];
    r = q.red;
    g = q.green;
    b = q.blue;
}

}  // namespace

bool BoxReduce(const ImageBuffer& image, int outW, int outH, uint32_t* out, size_t outStride) {
    return BoxReduceRows(image, outW, outH, 0, outH, out, outStride);
}

bool BoxReduceRows(const ImageBuffer& image, int outW, int outH, int firstRow, int endRow, uint32_t* out,
                   size_t outStride) {
    const int w = image.width();
    const int h = image.height();
    const int bits = image.bitCount();
    if (image.empty() || !out || w <= 0 || h <= 0) return false;
    if (bits != 24 && bits != 8 && bits != 4 && bits != 1) return false;
    if (outW < 1 || outH < 1 || outW > w || outH > h) return false;
    if (outStride < static_cast<size_t>(outW) * 4) return false;
    if (firstRow < 0 || endRow > outH || firstRow > endRow) return false;
    // The per-column sums of one output row stay within 32 bits.
    if (h / outH + 1 > static_cast<int>(UINT32_MAX / 255)) return false;

    // Column boundaries of the output pixels.
    std::vector<int> x0(static_cast<size_t>(outW) + 1);
    for (int i = 0; i <= outW; ++i) x0[static_cast<size_t>(i)] = static_cast<int>(static_cast<int64_t>(i) * w / outW);
    // Rounded averages by multiplying with 2^40 / n rounded up: exact for every sum here
    // (below 256 n) while n < 2^16; n is at most this many.
    const int64_t maxN = (static_cast<int64_t>(h) / outH + 1) * (static_cast<int64_t>(w) / outW + 1);
    std::vector<uint64_t> reciprocal(maxN < 65536 ? static_cast<size_t>(maxN) + 1 : 0);
    for (size_t n = 1; n < reciprocal.size(); ++n) reciprocal[n] = ((uint64_t{1} << 40) + n - 1) / n;
    const auto average = [&reciprocal](uint64_t sum, uint64_t n) {
        const uint64_t x = sum + n / 2;
        return static_cast<uint32_t>(n < reciprocal.size() ? (x * reciprocal[n]) >> 40 : x / n);
    };
    // Per picture column: the sums of the rows of one output row.
    std::vector<uint32_t> sums(static_cast<size_t>(w) * 3);
    for (int oy = firstRow; oy < endRow; ++oy) {
        const int y0 = static_cast<int>(static_cast<int64_t>(oy) * h / outH);
        const int y1 = static_cast<int>(static_cast<int64_t>(oy + 1) * h / outH);
        std::fill(sums.begin(), sums.end(), 0u);
        for (int y = y0; y < y1; ++y) {
            const uint8_t* row = image.topRow(y);
            uint32_t* s = sums.data();
            if (bits == 24) {
                const uint8_t* p = row;
                for (int x = 0; x < w; ++x, p += 3, s += 3) {
                    s[0] += p[2];
                    s[1] += p[1];
                    s[2] += p[0];
                }
            } else {
                for (int x = 0; x < w; ++x, s += 3) {
                    uint32_t r = 0;
                    uint32_t g = 0;
                    uint32_t b = 0;
                    ReadPixel(image, row, x, r, g, b);
                    s[0] += r;
                    s[1] += g;
                    s[2] += b;
                }
            }
        }
        const uint64_t rows = static_cast<uint64_t>(y1 - y0);
        auto* dst = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(out) + outStride * static_cast<size_t>(oy));
        for (int ox = 0; ox < outW; ++ox) {
            const int a = x0[static_cast<size_t>(ox)];
            const int e = x0[static_cast<size_t>(ox) + 1];
            uint64_t r = 0;
            uint64_t g = 0;
            uint64_t b = 0;
            for (int x = a; x < e; ++x) {
                r += sums[static_cast<size_t>(x) * 3];
                g += sums[static_cast<size_t>(x) * 3 + 1];
                b += sums[static_cast<size_t>(x) * 3 + 2];
            }
            const uint64_t n = rows * static_cast<uint64_t>(e - a);
            dst[ox] = 0xFF000000u | average(r, n) << 16 | average(g, n) << 8 | average(b, n);
        }
    }
    return true;
}

}  // namespace lumra
