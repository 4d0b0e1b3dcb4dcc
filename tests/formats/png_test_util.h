// PNG files built by hand for the tests, and libpng as the reference reader.
#pragma once

#include <png.h>
#include <zlib.h>

#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "formats/image_buffer.h"
#include "formats/png/png_chunks.h"

namespace lumra::test {

// ---- building files ----

inline void AppendBe32(std::vector<uint8_t>& v, uint32_t x) {
    for (int s = 24; s >= 0; s -= 8) v.push_back(static_cast<uint8_t>(x >> s));
}

inline std::vector<uint8_t> Chunk(const std::string& type, const std::vector<uint8_t>& data, bool goodCrc = true) {
    const size_t n = data.size();
    std::vector<uint8_t> v(12 + n);
    WriteBe32(v.data(), static_cast<uint32_t>(n));
    std::memcpy(v.data() + 4, type.data(), 4);
    if (n) std::memcpy(v.data() + 8, data.data(), n);
    uint32_t crc = PngCrc(v.data() + 4, n + 4);
    if (!goodCrc) crc ^= 1;
    WriteBe32(v.data() + 8 + n, crc);
    return v;
}

inline std::vector<uint8_t> IhdrData(uint32_t w, uint32_t h, int depth, int colourType, int interlace = 0) {
    std::vector<uint8_t> d;
    AppendBe32(d, w);
    AppendBe32(d, h);
    d.push_back(static_cast<uint8_t>(depth));
    d.push_back(static_cast<uint8_t>(colourType));
    d.push_back(0);
    d.push_back(0);
    d.push_back(static_cast<uint8_t>(interlace));
    return d;
}

inline std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw, int level = 6) {
    uLongf n = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(n);
    compress2(out.data(), &n, raw.data(), static_cast<uLong>(raw.size()), level);
    out.resize(n);
    return out;
}

// A file assembled chunk by chunk.
struct PngFile {
    std::vector<uint8_t> bytes{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    PngFile& Add(const std::string& type, const std::vector<uint8_t>& data, bool goodCrc = true) {
        const auto c = Chunk(type, data, goodCrc);
        bytes.insert(bytes.end(), c.begin(), c.end());
        return *this;
    }
    PngFile& Ihdr(uint32_t w, uint32_t h, int depth, int colourType, int interlace = 0) {
        return Add("IHDR", IhdrData(w, h, depth, colourType, interlace));
    }
    // Filtered rows (each with its filter-type byte) as one IDAT, or split into pieces of `piece` bytes.
    PngFile& Idat(const std::vector<uint8_t>& filtered, size_t piece = 0) {
        const auto z = Zlib(filtered);
        if (!piece) return Add("IDAT", z);
        for (size_t at = 0; at < z.size(); at += piece)
            Add("IDAT", std::vector<uint8_t>(z.begin() + at, z.begin() + std::min(z.size(), at + piece)));
        return *this;
    }
    PngFile& Iend() { return Add("IEND", {}); }
};

// Rows with filter type 0 from raw row bytes.
inline std::vector<uint8_t> Unfiltered(const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> v;
    for (const auto& r : rows) {
        v.push_back(0);
        v.insert(v.end(), r.begin(), r.end());
    }
    return v;
}

// ---- the picture as colours ----

// 0xRRGGBB of a pixel counted from the top-left, through the palette for 8 bits and less.
inline uint32_t PixelAt(const ImageBuffer& img, int x, int y) {
    const uint8_t* row = img.topRow(y);
    if (img.bitCount() == 24) {
        const uint8_t* p = row + 3 * x;
        return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    }
    int index = 0;
    if (img.bitCount() == 8) index = row[x];
    else if (img.bitCount() == 4) index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    else if (img.bitCount() == 1) index = (row[x / 8] >> (7 - x % 8)) & 1;
    const RgbQuad& c = img.palette[index];
    return (uint32_t{c.red} << 16) | (uint32_t{c.green} << 8) | c.blue;
}

// ---- libpng ----

// What libpng reads from a file, untransformed: samples at their stored bit depth (one value
// per sample, de-interlaced), the palette and the ancillary values it kept.
struct LibpngImage {
    bool ok = false;
    std::string error;
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0, channels = 0;
    std::vector<uint16_t> samples;  // width * height * channels, rows from the top
    std::vector<std::array<uint8_t, 3>> palette;
    std::vector<uint8_t> paletteAlpha;
    bool hasTrns = false;
    png_color_16 trns{};
    bool hasBkgd = false;
    png_color_16 bkgd{};
    bool hasGama = false;
    png_fixed_point gama = 0;
    bool hasPhys = false;
    png_uint_32 xppm = 0, yppm = 0;
    int physUnit = 0;
    std::vector<std::pair<std::string, std::string>> texts;

    uint16_t Sample(uint32_t x, uint32_t y, int c) const { return samples[(size_t{y} * width + x) * channels + c]; }
};

inline LibpngImage ReadWithLibpng(const std::vector<uint8_t>& file) {
    LibpngImage out;
    struct Cursor {
        const std::vector<uint8_t>* data;
        size_t at;
    } cursor{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &out.error,
                                             [](png_structp p, png_const_charp msg) {
                                                 *static_cast<std::string*>(png_get_error_ptr(p)) = msg;
                                                 png_longjmp(p, 1);
                                             },
                                             [](png_structp, png_const_charp) {});
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        out.ok = false;
        return out;
    }
    png_set_read_fn(png, &cursor, [](png_structp p, png_bytep dst, png_size_t n) {
        auto* c = static_cast<Cursor*>(png_get_io_ptr(p));
        if (c->at + n > c->data->size()) png_error(p, "read past the end");
        std::memcpy(dst, c->data->data() + c->at, n);
        c->at += n;
    });
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.bitDepth = png_get_bit_depth(png, info);
    out.colourType = png_get_color_type(png, info);
    out.interlace = png_get_interlace_type(png, info);
    out.channels = png_get_channels(png, info);
    if (out.bitDepth < 8) png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    pixels.resize(rowBytes * out.height);
    rows.resize(out.height);
    for (uint32_t y = 0; y < out.height; ++y) rows[y] = pixels.data() + rowBytes * y;
    png_read_image(png, rows.data());
    png_read_end(png, info);

    const size_t perRow = size_t{out.width} * out.channels;
    out.samples.resize(perRow * out.height);
    for (uint32_t y = 0; y < out.height; ++y)
        for (size_t i = 0; i < perRow; ++i)
            out.samples[perRow * y + i] = out.bitDepth == 16
                                              ? static_cast<uint16_t>(rows[y][2 * i] << 8 | rows[y][2 * i + 1])
                                              : rows[y][i];

    png_colorp plte = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &plte, &entries))
        for (int i = 0; i < entries; ++i) out.palette.push_back({plte[i].red, plte[i].green, plte[i].blue});
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    png_color_16p trnsColour = nullptr;
    if (png_get_tRNS(png, info, &alpha, &alphaCount, &trnsColour)) {
        out.hasTrns = true;
        if (out.colourType == PNG_COLOR_TYPE_PALETTE) out.paletteAlpha.assign(alpha, alpha + alphaCount);
        else if (trnsColour) out.trns = *trnsColour;
    }
    png_color_16p bkgd = nullptr;
    if (png_get_bKGD(png, info, &bkgd)) {
        out.hasBkgd = true;
        out.bkgd = *bkgd;
    }
    if (png_get_gAMA_fixed(png, info, &out.gama)) out.hasGama = true;
    if (png_get_pHYs(png, info, &out.xppm, &out.yppm, &out.physUnit)) out.hasPhys = true;
    png_textp text = nullptr;
    int textCount = 0;
    if (png_get_text(png, info, &text, &textCount))
        for (int i = 0; i < textCount; ++i) out.texts.emplace_back(text[i].key, std::string(text[i].text, text[i].text_length));
    png_destroy_read_struct(&png, &info, nullptr);
    out.ok = true;
    return out;
}

}  // namespace lumra::test
