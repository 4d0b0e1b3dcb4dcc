#include "formats/tiff/tiff_codec.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "formats/codec_error.h"
#include "formats/convert.h"
#include "formats/reduce.h"
#include "platform/file_io.h"

namespace lumra {

namespace {

bool Fail(DecoderContext& ctx, int code) {
    ctx.error = code;
    ctx.image.Reset();
    return false;
}

struct Order {
    bool big = false;
    uint16_t U16(const uint8_t* p) const {
        return big ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
    }
    uint32_t U32(const uint8_t* p) const {
        return big ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                   : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
    }
};

constexpr uint16_t kShort = 3, kLong = 4;

struct Entry {
    uint16_t tag = 0, type = 0;
    uint32_t count = 0;
    const uint8_t* value = nullptr;  // the 4-byte value field
};

// A single SHORT or LONG value held in the entry.
uint32_t Scalar(const Order& o, const Entry& e) {
    return e.type == kShort ? o.U16(e.value) : o.U32(e.value);
}

// A list of SHORT or LONG values, inline or at the offset; false when outside the file.
bool List(const Order& o, const Entry& e, const uint8_t* data, size_t size, std::vector<uint32_t>& out) {
    out.clear();
    if (e.type != kShort && e.type != kLong) return false;
    const uint64_t unit = e.type == kShort ? 2 : 4;
    const uint64_t bytes = unit * e.count;
    const uint8_t* p = e.value;
    if (bytes > 4) {
        const uint64_t off = o.U32(e.value);
        if (off > size || bytes > size - off) return false;
        p = data + off;
    }
    out.reserve(e.count);
    for (uint32_t i = 0; i < e.count; ++i) out.push_back(unit == 2 ? o.U16(p + 2 * i) : o.U32(p + 4 * i));
    return true;
}

int32_t Resolution(uint32_t unit, const uint8_t* rational, const Order& o) {
    if (!rational) return 0;
    const double num = o.U32(rational), den = o.U32(rational + 4);
    if (den == 0 || (unit != 2 && unit != 3)) return 0;
    const double v = unit == 2 ? std::floor(num / 0.0254 / den + 0.5) : std::floor(num * 100 / den + 0.5);
    return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

}  // namespace

bool DecodeTiff(const uint8_t* data, size_t size, DecoderContext& ctx) {
    ctx.error = kCodecOk;
    ctx.image.Reset();
    if (!data || size < 8) return Fail(ctx, kCodecBadInfo);
    Order o;
    if (data[0] == 0x49 && data[1] == 0x49) o.big = false;
    else if (data[0] == 0x4D && data[1] == 0x4D) o.big = true;
    else return Fail(ctx, kCodecBadInfo);
    if (o.U16(data + 2) != 42) return Fail(ctx, kCodecBadInfo);
    const uint64_t ifd = o.U32(data + 4);
    if (ifd > size || size - ifd < 2) return Fail(ctx, kCodecBadInfo);
    const uint32_t entries = o.U16(data + ifd);
    if (uint64_t{entries} * 12 > size - ifd - 2) return Fail(ctx, kCodecBadInfo);

    int64_t width = 0, height = 0;
    uint32_t bits = 1, samples = 1, compression = 1, photometric = 4, unit = 2;
    const uint8_t* xres = nullptr;
    const uint8_t* yres = nullptr;
    uint64_t colorMap = 0;
    bool hasColorMap = false, description = false;
    std::vector<uint32_t> offsets, counts;
    auto rationalAt = [&](const Entry& e) -> const uint8_t* {
        const uint64_t off = o.U32(e.value);
        return off <= size && size - off >= 8 ? data + off : nullptr;
    };
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* p = data + ifd + 2 + 12 * uint64_t{i};
        Entry e{o.U16(p), o.U16(p + 2), o.U32(p + 4), p + 8};
        switch (e.tag) {
            case 256:
            case 257: {
                if (e.type != kShort && e.type != kLong) return Fail(ctx, kCodecUnsupported);
                const int64_t v = Scalar(o, e);
                if (v < 1 || v > kMaxPictureSide) return Fail(ctx, kCodecUnsupported);
                (e.tag == 256 ? width : height) = v;
                break;
            }
            case 258:
                if (e.count == 1) {
                    bits = Scalar(o, e);
                } else if (e.count == 3) {
                    const uint64_t off = o.U32(e.value);
                    if (off > size || size - off < 6) return Fail(ctx, kCodecBadInfo);
                    const uint32_t a = o.U16(data + off), b = o.U16(data + off + 2), c = o.U16(data + off + 4);
                    if (a != b || b != c || (a != 8 && a != 16)) return Fail(ctx, kCodecUnsupported);
                    bits = a;
                } else {
                    return Fail(ctx, kCodecUnsupported);
                }
                break;
            case 259: compression = Scalar(o, e); break;
            case 262: photometric = Scalar(o, e); break;
            case 270: description = true; break;
            case 273:
                if (!List(o, e, data, size, offsets)) return Fail(ctx, kCodecBadInfo);
                break;
            case 277: samples = Scalar(o, e); break;
            case 279:
                if (!List(o, e, data, size, counts)) return Fail(ctx, kCodecBadInfo);
                break;
            case 282: xres = rationalAt(e); break;
            case 283: yres = rationalAt(e); break;
            case 296: unit = Scalar(o, e); break;
            case 320:
                colorMap = o.U32(e.value);
                hasColorMap = true;
                break;
            default: break;
        }
    }
    if (compression != 1) return Fail(ctx, kCodecUnsupported);
    if (width == 0 || height == 0) return Fail(ctx, kCodecUnsupported);
    if (offsets.size() != counts.size()) return Fail(ctx, kCodecBadInfo);

    int outDepth = 8;
    const bool indexed = photometric <= 1 || (photometric == 3 && hasColorMap);
    if (indexed) {
        if (samples != 1 || (bits != 1 && bits != 4 && bits != 8)) return Fail(ctx, kCodecUnsupported);
    } else if (photometric == 2) {
        if (samples != 3 || (bits != 8 && bits != 16)) return Fail(ctx, kCodecUnsupported);
        outDepth = 24;
    } else {
        return Fail(ctx, kCodecUnsupported);
    }
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    const uint64_t rowBytes = (uint64_t{static_cast<uint32_t>(w)} * bits * samples + 7) / 8;
    const uint64_t total = rowBytes * static_cast<uint64_t>(h);
    if (total > SIZE_MAX / 2) return Fail(ctx, kCodecUnsupported);

    Palette pal{};
    if (photometric <= 1) {
        const int n = 1 << bits;
        const int step = 255 / (n - 1);
        for (int i = 0; i < n; ++i) {
            const auto v = static_cast<uint8_t>(photometric == 0 ? 255 - i * step : i * step);
            pal[static_cast<size_t>(i)] = RgbQuad{v, v, v, 0};
        }
    } else if (photometric == 3) {
        const uint64_t n = uint64_t{1} << bits;
        if (colorMap > size || size - colorMap < 6 * n) return Fail(ctx, kCodecRead);
        const uint8_t* m = data + colorMap;
        for (uint64_t i = 0; i < n; ++i)
            pal[i] = RgbQuad{static_cast<uint8_t>(o.U16(m + 2 * (2 * n + i)) >> 8),
                             static_cast<uint8_t>(o.U16(m + 2 * (n + i)) >> 8),
                             static_cast<uint8_t>(o.U16(m + 2 * i) >> 8), 0};
    }

    // The strips in list order; they must hold the whole picture.
    uint64_t held = 0;
    for (size_t i = 0; i < offsets.size(); ++i) {
        if (offsets[i] > size || counts[i] > size - offsets[i]) return Fail(ctx, kCodecRead);
        held += counts[i];
    }
    if (held < total) return Fail(ctx, kCodecRead);

    ImageBuffer& img = ctx.image;
    if (!img.Allocate(w, h, outDepth)) return Fail(ctx, kCodecMemory);
    img.palette = pal;
    // Rows are converted where they lie in the strips; one that straddles two strips is
    // gathered into `joined` first.
    std::vector<uint8_t> joined;
    size_t strip = 0, at = 0;  // the next unread byte: strip index, offset in it
    auto nextRow = [&]() -> const uint8_t* {
        while (at >= counts[strip]) {
            ++strip;
            at = 0;
        }
        const size_t n = static_cast<size_t>(rowBytes);
        const uint8_t* p = data + offsets[strip] + at;
        if (counts[strip] - at >= n) {
            at += n;
            return p;
        }
        joined.resize(n);
        for (size_t got = 0; got < n;) {
            while (at >= counts[strip]) {
                ++strip;
                at = 0;
            }
            const size_t take = std::min<size_t>(n - got, counts[strip] - at);
            std::memcpy(joined.data() + got, data + offsets[strip] + at, take);
            got += take;
            at += take;
        }
        return joined.data();
    };
    // 16-bit samples keep their high byte, in the file's byte order.
    const size_t hi = bits == 16 && !o.big ? 1 : 0;
    const size_t wide = static_cast<size_t>(w);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = nextRow();
        uint8_t* dst = img.topRow(y);
        if (outDepth == 8) {
            if (bits == 8) {
                std::memcpy(dst, src, wide);
            } else if (bits == 4) {
                for (size_t x = 0; x < wide; ++x) dst[x] = static_cast<uint8_t>((src[x / 2] >> (x % 2 ? 0 : 4)) & 15);
            } else {
                for (size_t x = 0; x < wide; ++x) dst[x] = static_cast<uint8_t>((src[x / 8] >> (7 - x % 8)) & 1);
            }
        } else if (bits == 8) {
            for (size_t x = 0; x < wide; ++x, src += 3, dst += 3) {
                const uint8_t r = src[0], g = src[1], b = src[2];
                dst[0] = b;
                dst[1] = g;
                dst[2] = r;
            }
        } else {
            for (size_t x = 0; x < wide; ++x, src += 6, dst += 3) {
                dst[0] = src[4 + hi];
                dst[1] = src[2 + hi];
                dst[2] = src[hi];
            }
        }
    }
    img.header.biXPelsPerMeter = Resolution(unit, xres, o);
    img.header.biYPelsPerMeter = Resolution(unit, yres, o);
    img.sourceFormat = kFormatTiff;
    img.sourceBitDepth = photometric == 2 ? static_cast<int>(bits) * 3 : static_cast<int>(bits);
    img.fileSize = static_cast<int32_t>(std::min<size_t>(size, INT32_MAX));
    ctx.flags.hasComment = description;
    return true;
}

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void PutEntry(std::vector<uint8_t>& v, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    Put16(v, tag);
    Put16(v, type);
    Put32(v, count);
    if (type == kShort && count == 1) {
        Put16(v, value);
        Put16(v, 0);
    } else {
        Put32(v, value);
    }
}

}  // namespace

bool EncodeTiffBytes(const ImageBuffer& image, int targetDepth, bool gray, int dither,
                     std::vector<uint8_t>& out, DecoderContext& ctx) {
    out.clear();
    if (image.empty()) {
        ctx.error = kCodecSave;
        return false;
    }
    if (targetDepth != 1 && targetDepth != 4 && targetDepth != 8 && targetDepth != 24 && targetDepth != 48) {
        ctx.error = kCodecSave;
        return false;
    }
    if (targetDepth != 8) gray = false;
    const int w = image.width(), h = image.height();

    // The source as 8 or 24 bits.
    const ImageBuffer* src = &image;
    ImageBuffer wide;
    if (image.bitCount() != 8 && image.bitCount() != 24) {
        if (!wide.Allocate(w, h, 8)) {
            ctx.error = kCodecMemory;
            return false;
        }
        PixelConversion c;
        c.width = w;
        c.height = h;
        c.sourceDepth = image.bitCount();
        c.targetDepth = 8;
        if (!ConvertPixels(c, wide.palette.data(), wide.bits(), image.palette.data(), image.bits())) {
            ctx.error = kCodecSave;
            return false;
        }
        src = &wide;
    }
    if (targetDepth == 48 && src->bitCount() == 8) {
        // 48 bits widen from 24.
        ImageBuffer rgb;
        if (!rgb.Allocate(w, h, 24)) {
            ctx.error = kCodecMemory;
            return false;
        }
        PixelConversion c;
        c.width = w;
        c.height = h;
        c.sourceDepth = 8;
        c.targetDepth = 24;
        c.sourceStride = src->stride();
        if (!ConvertPixels(c, rgb.palette.data(), rgb.bits(), src->palette.data(), src->bits())) {
            ctx.error = kCodecSave;
            return false;
        }
        wide = std::move(rgb);
        src = &wide;
    }
    PixelConversion conv;
    conv.width = w;
    conv.height = h;
    conv.sourceDepth = src->bitCount();
    conv.targetDepth = targetDepth;
    conv.dither = dither;
    conv.sourceStride = src->stride();
    const size_t stride = ConversionRowBytes(w, targetDepth);
    std::vector<uint8_t> rows(stride * static_cast<size_t>(h));
    Palette pal{};
    bool ok;
    if (gray) ok = ConvertToGrey(conv, src->palette.data(), src->bits(), rows.data());
    else ok = ConvertPixels(conv, pal.data(), rows.data(), src->palette.data(), src->bits());
    if (!ok) {
        ctx.error = kCodecSave;
        return false;
    }

    const bool rgb = targetDepth >= 24;
    const bool palette = targetDepth == 4 || (targetDepth == 8 && !gray);
    const uint32_t mapValues = palette ? 3u << targetDepth : 0;
    const uint64_t fileRow = rgb ? static_cast<uint64_t>(w) * (targetDepth / 8)
                                 : (static_cast<uint64_t>(w) * targetDepth + 7) / 8;
    const uint64_t dataBytes = fileRow * static_cast<uint64_t>(h);
    const uint32_t nEntries = (rgb || palette) ? 12 : 11;
    const uint32_t ifdEnd = 8 + 2 + 12 * nEntries + 4;
    uint32_t bpsAt = 0, xAt = ifdEnd, mapAt = 0;
    if (rgb) {
        bpsAt = ifdEnd;
        xAt = ifdEnd + 6;
    }
    const uint32_t yAt = xAt + 8;
    uint32_t dataAt = yAt + 8;
    if (palette) {
        mapAt = dataAt;
        dataAt = mapAt + 2 * mapValues;
    }
    if (dataAt + dataBytes > UINT32_MAX) {
        ctx.error = kCodecSave;
        return false;
    }

    out.reserve(dataAt + static_cast<size_t>(dataBytes));
    out.insert(out.end(), {'I', 'I'});
    Put16(out, 42);
    Put32(out, 8);
    Put16(out, nEntries);
    const uint32_t bps = rgb ? targetDepth / 3 : targetDepth;
    PutEntry(out, 256, kLong, 1, static_cast<uint32_t>(w));
    PutEntry(out, 257, kLong, 1, static_cast<uint32_t>(h));
    if (rgb) PutEntry(out, 258, kShort, 3, bpsAt);
    else PutEntry(out, 258, kShort, 1, bps);
    PutEntry(out, 259, kShort, 1, 1);
    PutEntry(out, 262, kShort, 1, rgb ? 2 : (palette ? 3 : 1));
    PutEntry(out, 273, kLong, 1, dataAt);
    if (rgb) PutEntry(out, 277, kShort, 1, 3);
    PutEntry(out, 278, kLong, 1, static_cast<uint32_t>(h));
    PutEntry(out, 279, kLong, 1, static_cast<uint32_t>(dataBytes));
    PutEntry(out, 282, 5, 1, xAt);
    PutEntry(out, 283, 5, 1, yAt);
    PutEntry(out, 296, kShort, 1, 2);
    if (palette) PutEntry(out, 320, kShort, mapValues, mapAt);
    Put32(out, 0);
    if (rgb)
        for (int i = 0; i < 3; ++i) Put16(out, bps);
    auto rational = [&](int32_t ppm) {
        const uint64_t n = uint64_t{static_cast<uint32_t>(std::max(ppm, 0))} * 254;
        Put32(out, static_cast<uint32_t>(std::min<uint64_t>(n, UINT32_MAX)));
        Put32(out, 10000);
    };
    rational(image.header.biXPelsPerMeter);
    rational(image.header.biYPelsPerMeter);
    if (palette) {
        const size_t n = size_t{1} << targetDepth;
        for (size_t i = 0; i < n; ++i) Put16(out, uint32_t{pal[i].red} << 8);
        for (size_t i = 0; i < n; ++i) Put16(out, uint32_t{pal[i].green} << 8);
        for (size_t i = 0; i < n; ++i) Put16(out, uint32_t{pal[i].blue} << 8);
    }
    for (int y = h - 1; y >= 0; --y) {
        const uint8_t* r = rows.data() + stride * static_cast<size_t>(y);
        if (targetDepth == 24) {
            for (int x = 0; x < w; ++x) out.insert(out.end(), {r[3 * x + 2], r[3 * x + 1], r[3 * x]});
        } else if (targetDepth == 48) {
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = r + 6 * x;
                out.insert(out.end(), {p[4], p[5], p[2], p[3], p[0], p[1]});
            }
        } else {
            out.insert(out.end(), r, r + fileRow);
        }
    }
    return true;
}

bool EncodeTiff(const std::string& path, const ImageBuffer& image, const SaveRequest& req,
                DecoderContext& ctx) {
    const int d = req.simg.depth;
    int depth = 24;
    if (req.simg.gray) depth = 8;
    else if (d == 1) depth = 1;
    else if (d >= 2 && d <= 4) depth = 4;
    else if (d >= 5 && d <= 8) depth = 8;
    std::vector<uint8_t> bytes;
    if (!EncodeTiffBytes(image, depth, req.simg.gray != 0, req.simg.dither, bytes, ctx)) return false;
    if (!WriteWholeFile(path, bytes.data(), bytes.size())) {
        ctx.error = kCodecCreate;
        return false;
    }
    return true;
}

}  // namespace lumra
