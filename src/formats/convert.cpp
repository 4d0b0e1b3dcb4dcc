#include "formats/convert.h"

#include <cstring>

#include "formats/reduce.h"

namespace lumra {

namespace {

// Unpacks 1, 2 or 4-bit indices (most significant bits first) into one byte each.
template <int Depth>
void UnpackRow(const uint8_t* src, uint8_t* dst, int width) {
    constexpr int kPerByte = 8 / Depth;
    constexpr unsigned kMask = (1u << Depth) - 1;
    const int whole = width / kPerByte;
    for (int i = 0; i < whole; ++i) {
        const unsigned b = src[i];
        for (int k = 0; k < kPerByte; ++k) dst[k] = static_cast<uint8_t>((b >> (8 - Depth * (k + 1))) & kMask);
        dst += kPerByte;
    }
    const int rest = width - whole * kPerByte;
    if (rest > 0) {
        const unsigned b = src[whole];
        for (int k = 0; k < rest; ++k) dst[k] = static_cast<uint8_t>((b >> (8 - Depth * (k + 1))) & kMask);
    }
}

// Expands 1, 2, 4 or 8-bit indices through a palette into B,G,R.
template <int Depth>
void ExpandRow(const uint8_t* src, uint8_t* dst, int width, const RgbQuad* pal) {
    if constexpr (Depth == 8) {
        for (int x = 0; x < width; ++x) {
            const RgbQuad& c = pal[src[x]];
            dst[0] = c.blue;
            dst[1] = c.green;
            dst[2] = c.red;
            dst += 3;
        }
    } else {
        constexpr int kPerByte = 8 / Depth;
        constexpr unsigned kMask = (1u << Depth) - 1;
        for (int x = 0; x < width; ++x) {
            const unsigned b = src[x / kPerByte];
            const unsigned index = (b >> (8 - Depth * (x % kPerByte + 1))) & kMask;
            const RgbQuad& c = pal[index];
            dst[0] = c.blue;
            dst[1] = c.green;
            dst[2] = c.red;
            dst += 3;
        }
    }
}

void CopyPalette(RgbQuad* dst, const RgbQuad* src, int entries) {
    for (int i = 0; i < entries; ++i) dst[i] = RgbQuad{src[i].blue, src[i].green, src[i].red, 0};
    for (int i = entries; i < 256; ++i) dst[i] = RgbQuad{};
}

}  // namespace

size_t ConversionRowBytes(int width, int depth) {
    if (width <= 0) return 0;
    const uint64_t w = static_cast<uint64_t>(width);
    switch (depth) {
        case 1: return static_cast<size_t>(((w + 7) / 8 + 3) & ~uint64_t{3});
        case 2: return static_cast<size_t>(((w + 3) / 4 + 3) & ~uint64_t{3});
        case 4: return static_cast<size_t>(((w + 1) / 2 + 3) & ~uint64_t{3});
        case 8: return static_cast<size_t>((w + 3) & ~uint64_t{3});
        case 24: return static_cast<size_t>((3 * w + 3) & ~uint64_t{3});
        case 32: return static_cast<size_t>(4 * w);
        case 48: return static_cast<size_t>(6 * w);
        default: return 0;
    }
}

bool ConvertPixels(const PixelConversion& ctx, RgbQuad* dstPalette, uint8_t* dstRows,
                   const RgbQuad* srcPalette, const uint8_t* srcRows) {
    const int w = ctx.width;
    const int h = ctx.height;
    const int from = ctx.sourceDepth;
    const int to = ctx.targetDepth;
    if (w <= 0 || h <= 0 || !dstRows || !srcRows) return false;
    const size_t srcMin = ConversionRowBytes(w, from);
    const size_t dstStride = ConversionRowBytes(w, to);
    if (srcMin == 0 || dstStride == 0) return false;
    const size_t srcStride = ctx.sourceStride ? ctx.sourceStride : srcMin;
    if (srcStride < srcMin) return false;
    const bool indexed = from <= 8;
    if (indexed && !srcPalette) return false;
    if (to <= 8 && !dstPalette) return false;
    const size_t rows = static_cast<size_t>(h);
    if (ctx.gray && from != 48 && to != 48) return ConvertThroughGrey(ctx, dstPalette, dstRows, srcPalette, srcRows);

    auto eachRow = [&](auto&& fn) {
        const uint8_t* s = srcRows;
        uint8_t* d = dstRows;
        for (size_t y = 0; y < rows; ++y, s += srcStride, d += dstStride) {
            fn(s, d);
            // Clear the padding so written files are deterministic.
            const size_t used = (to == 24) ? 3 * static_cast<size_t>(w) : (to == 8 ? static_cast<size_t>(w) : dstStride);
            if (used < dstStride) std::memset(d + used, 0, dstStride - used);
        }
    };

    if (to == 8 && from < 8) {
        const int entries = 1 << from;
        switch (from) {
            case 1: eachRow([&](const uint8_t* s, uint8_t* d) { UnpackRow<1>(s, d, w); }); break;
            case 2: eachRow([&](const uint8_t* s, uint8_t* d) { UnpackRow<2>(s, d, w); }); break;
            case 4: eachRow([&](const uint8_t* s, uint8_t* d) { UnpackRow<4>(s, d, w); }); break;
            default: return false;
        }
        CopyPalette(dstPalette, srcPalette, entries);
        return true;
    }
    if (to == 24 && indexed) {
        switch (from) {
            case 1: eachRow([&](const uint8_t* s, uint8_t* d) { ExpandRow<1>(s, d, w, srcPalette); }); break;
            case 4: eachRow([&](const uint8_t* s, uint8_t* d) { ExpandRow<4>(s, d, w, srcPalette); }); break;
            case 8: eachRow([&](const uint8_t* s, uint8_t* d) { ExpandRow<8>(s, d, w, srcPalette); }); break;
            default: return false;
        }
        return true;
    }
    if (from == 8 && to == 8) {
        eachRow([&](const uint8_t* s, uint8_t* d) { std::memcpy(d, s, static_cast<size_t>(w)); });
        CopyPalette(dstPalette, srcPalette, 256);
        return true;
    }
    if (from == 24 && to == 24) {
        eachRow([&](const uint8_t* s, uint8_t* d) { std::memcpy(d, s, 3 * static_cast<size_t>(w)); });
        return true;
    }
    // 48-bit rows: B,G,R samples of 16 bits each, little-endian, no padding.
    if (from == 24 && to == 48) {
        const size_t n = 3 * static_cast<size_t>(w);
        eachRow([&](const uint8_t* s, uint8_t* d) {
            for (size_t i = 0; i < n; ++i) {
                d[2 * i] = s[i];
                d[2 * i + 1] = s[i];
            }
        });
        return true;
    }
    if (from == 48 && to == 24) {
        const size_t n = 3 * static_cast<size_t>(w);
        eachRow([&](const uint8_t* s, uint8_t* d) {
            for (size_t i = 0; i < n; ++i) d[i] = s[2 * i + 1];
        });
        return true;
    }
    // Colour reduction: 8 -> 1, 2, 4; 24 -> 1, 2, 4, 8.
    if ((from == 8 && to < 8) || (from == 24 && to <= 8))
        return ReduceColours(ctx, to, dstPalette, dstRows, srcPalette, srcRows);
    return false;
}

}  // namespace lumra
