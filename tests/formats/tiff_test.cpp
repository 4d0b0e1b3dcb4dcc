#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "formats/codec_error.h"
#include "formats/load_save.h"
#include "shell/session.h"
#include "formats/reduce.h"
#include "formats/tiff/tiff_codec.h"
#include "test_util.h"

namespace lumra {
namespace {

DecoderContext Decode(const std::vector<uint8_t>& bytes) {
    DecoderContext ctx;
    DecodeTiff(bytes.data(), bytes.size(), ctx);
    return ctx;
}

RgbQuad PixelAt(const ImageBuffer& img, int x, int y) {
    const uint8_t* row = img.topRow(y);
    if (img.bitCount() == 24) return RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
    return img.palette[row[x]];
}

// libtiff's own reading as R, G, B rows from the top.
std::vector<RgbQuad> ReadWithLibtiff(const std::string& path, int& w, int& h) {
    std::vector<RgbQuad> px;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return px;
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &th);
    std::vector<uint32_t> raster(static_cast<size_t>(tw) * th);
    if (TIFFReadRGBAImageOriented(tif, tw, th, raster.data(), ORIENTATION_TOPLEFT, 0)) {
        for (uint32_t v : raster)
            px.push_back(RgbQuad{static_cast<uint8_t>(TIFFGetB(v)), static_cast<uint8_t>(TIFFGetG(v)),
                                 static_cast<uint8_t>(TIFFGetR(v)), 0});
    }
    w = static_cast<int>(tw);
    h = static_cast<int>(th);
    TIFFClose(tif);
    return px;
}

ImageBuffer Picture24(int w, int h) {
    ImageBuffer img;
    img.Allocate(w, h, 24);
    std::mt19937 rng(11);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = img.topRow(y) + 3 * x;
            p[0] = static_cast<uint8_t>(rng());
            p[1] = static_cast<uint8_t>(x * 7);
            p[2] = static_cast<uint8_t>(y * 5);
        }
    img.header.biXPelsPerMeter = 3780;
    img.header.biYPelsPerMeter = 2835;
    return img;
}

TEST(TiffEncode, EveryDepthIsReadAlikeByLibtiffAndUs) {
    test::TempDir dir;
    const ImageBuffer img = Picture24(37, 13);
    struct Case {
        int depth;
        bool gray;
        size_t dataAt;
        uint16_t entries;
    };
    const Case cases[] = {{1, false, 162, 11}, {4, false, 174 + 96, 12}, {8, true, 162, 11},
                          {8, false, 174 + 1536, 12}, {24, false, 180, 12}, {48, false, 180, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth * 10 + c.gray);
        DecoderContext ctx;
        std::vector<uint8_t> out;
        ASSERT_TRUE(EncodeTiffBytes(img, c.depth, c.gray, 3, out, ctx));
        EXPECT_EQ(out[8] | out[9] << 8, c.entries);
        const size_t rowBytes = c.depth >= 24 ? 37 * size_t(c.depth / 8) : (37 * size_t(c.depth) + 7) / 8;
        EXPECT_EQ(out.size(), c.dataAt + rowBytes * 13);
        if (c.depth == 8 && !c.gray) {
            // 768 ColorMap values, each a multiple of 256.
            for (size_t i = 174; i < c.dataAt; i += 2) ASSERT_EQ(out[i], 0);
        }
        const std::string path = dir.File("o.tif");
        test::WriteFile(path, out);
        int w = 0, h = 0;
        const std::vector<RgbQuad> ref = ReadWithLibtiff(path, w, h);
        ASSERT_EQ(ref.size(), 37u * 13u);
        const DecoderContext back = Decode(out);
        ASSERT_EQ(back.error, 0);
        EXPECT_EQ(back.image.header.biXPelsPerMeter, 3780);
        EXPECT_EQ(back.image.header.biYPelsPerMeter, 2835);
        EXPECT_EQ(back.image.sourceBitDepth, c.depth);
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 37; ++x) {
                const RgbQuad got = PixelAt(back.image, x, y);
                ASSERT_EQ(got, ref[static_cast<size_t>(y) * 37 + x]) << x << "," << y;
                if (c.depth >= 24) {
                    ASSERT_EQ(got, PixelAt(img, x, y));
                }
                if (c.gray) {
                    ASSERT_EQ(got.red, GreyOfPixel(img.topRow(y)[3 * x], img.topRow(y)[3 * x + 1], img.topRow(y)[3 * x + 2]));
                }
            }
    }
}

// Writes a TIFF with libtiff: rows from the top, already packed.
void WriteWithLibtiff(const std::string& path, const char* mode, uint32_t w, uint32_t h, uint16_t bits,
                      uint16_t samples, uint16_t photometric, uint32_t rowsPerStrip,
                      const std::vector<uint8_t>& data, uint16_t compression = COMPRESSION_NONE,
                      const std::vector<uint16_t>* map = nullptr, const char* description = nullptr,
                      uint16_t unit = RESUNIT_INCH) {
    TIFF* tif = TIFFOpen(path.c_str(), mode);
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 150.0f);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, unit);
    if (samples == 4) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (map) {
        const size_t n = map->size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, map->data(), map->data() + n, map->data() + 2 * n);
    }
    if (description) TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description);
    const size_t row = data.size() / h;
    for (uint32_t y = 0; y < h; ++y)
        TIFFWriteScanline(tif, const_cast<uint8_t*>(data.data() + row * y), y, 0);
    TIFFClose(tif);
}

TEST(TiffDecode, FilesWrittenByLibtiffInEveryAcceptedForm) {
    test::TempDir dir;
    const std::string path = dir.File("in.tif");
    const uint32_t w = 21, h = 9;
    std::mt19937 rng(5);
    for (const char* mode : {"wl", "wb"}) {
        SCOPED_TRACE(mode);
        // 16-bit RGB in several strips: the high byte of each sample.
        std::vector<uint16_t> samples(w * h * 3);
        for (uint16_t& s : samples) s = static_cast<uint16_t>(rng());
        std::vector<uint8_t> raw(samples.size() * 2);
        std::memcpy(raw.data(), samples.data(), raw.size());  // libtiff swaps host order itself
        WriteWithLibtiff(path, mode, w, h, 16, 3, PHOTOMETRIC_RGB, 2, raw);
        DecoderContext ctx = Decode(test::ReadFile(path));
        ASSERT_EQ(ctx.error, 0);
        EXPECT_EQ(ctx.image.sourceBitDepth, 48);
        EXPECT_EQ(ctx.image.header.biXPelsPerMeter, static_cast<int>(std::floor(300 / 0.0254 + 0.5)));
        EXPECT_EQ(ctx.image.header.biYPelsPerMeter, static_cast<int>(std::floor(150 / 0.0254 + 0.5)));
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const uint16_t* s = &samples[(y * w + x) * 3];
                ASSERT_EQ(PixelAt(ctx.image, x, y), (RgbQuad{static_cast<uint8_t>(s[2] >> 8),
                                                             static_cast<uint8_t>(s[1] >> 8),
                                                             static_cast<uint8_t>(s[0] >> 8), 0}));
            }

        // 8-bit RGB, one row per strip, centimetres.
        std::vector<uint8_t> rgb(w * h * 3);
        for (uint8_t& b : rgb) b = static_cast<uint8_t>(rng());
        WriteWithLibtiff(path, mode, w, h, 8, 3, PHOTOMETRIC_RGB, 1, rgb, COMPRESSION_NONE, nullptr, nullptr,
                         RESUNIT_CENTIMETER);
        ctx = Decode(test::ReadFile(path));
        ASSERT_EQ(ctx.error, 0);
        EXPECT_EQ(ctx.image.header.biXPelsPerMeter, 30000);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t* s = &rgb[(y * w + x) * 3];
                ASSERT_EQ(PixelAt(ctx.image, x, y), (RgbQuad{s[2], s[1], s[0], 0}));
            }

        // 1-bit WhiteIsZero: a 0 bit is white.
        const uint32_t row1 = (w + 7) / 8;
        std::vector<uint8_t> bilevel(row1 * h);
        for (uint8_t& b : bilevel) b = static_cast<uint8_t>(rng());
        WriteWithLibtiff(path, mode, w, h, 1, 1, PHOTOMETRIC_MINISWHITE, 4, bilevel, COMPRESSION_NONE, nullptr,
                         "a description");
        ctx = Decode(test::ReadFile(path));
        ASSERT_EQ(ctx.error, 0);
        EXPECT_TRUE(ctx.flags.hasComment);
        EXPECT_EQ(ctx.image.sourceBitDepth, 1);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const int bit = (bilevel[y * row1 + x / 8] >> (7 - x % 8)) & 1;
                ASSERT_EQ(PixelAt(ctx.image, x, y).red, bit ? 0 : 255);
            }

        // 4-bit BlackIsZero and 4-bit palette.
        const uint32_t row4 = (w + 1) / 2;
        std::vector<uint8_t> nibbles(row4 * h);
        for (uint8_t& b : nibbles) b = static_cast<uint8_t>(rng());
        WriteWithLibtiff(path, mode, w, h, 4, 1, PHOTOMETRIC_MINISBLACK, 3, nibbles);
        ctx = Decode(test::ReadFile(path));
        ASSERT_EQ(ctx.error, 0);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const int v = (nibbles[y * row4 + x / 2] >> (x % 2 ? 0 : 4)) & 15;
                ASSERT_EQ(PixelAt(ctx.image, x, y).green, v * 17);
            }
        std::vector<uint16_t> map(48);
        for (uint16_t& m : map) m = static_cast<uint16_t>(rng());
        WriteWithLibtiff(path, mode, w, h, 4, 1, PHOTOMETRIC_PALETTE, 9, nibbles, COMPRESSION_NONE, &map);
        ctx = Decode(test::ReadFile(path));
        ASSERT_EQ(ctx.error, 0);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const int v = (nibbles[y * row4 + x / 2] >> (x % 2 ? 0 : 4)) & 15;
                ASSERT_EQ(PixelAt(ctx.image, x, y),
                          (RgbQuad{static_cast<uint8_t>(map[32 + v] >> 8), static_cast<uint8_t>(map[16 + v] >> 8),
                                   static_cast<uint8_t>(map[v] >> 8), 0}));
            }
    }
}

// 8-bit grey rows whose strips break anywhere: mid-row, empty, one longer than the rest of
// the picture, and stored in the file in reverse order.
TEST(TiffDecode, StripsThatBreakMidRow) {
    const uint32_t w = 7, h = 5;
    std::vector<uint8_t> pixels(w * h);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37 + 11);
    const std::vector<std::vector<uint32_t>> splits = {{35}, {3, 10, 0, 9, 13}, {1, 1, 33, 20}};
    for (const auto& counts : splits) {
        SCOPED_TRACE(counts.size());
        std::vector<uint8_t> f = {'I', 'I', 42, 0, 8, 0, 0, 0, 8, 0};
        auto put16 = [&](uint32_t v) { f.insert(f.end(), {uint8_t(v), uint8_t(v >> 8)}); };
        auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
        const uint32_t n = static_cast<uint32_t>(counts.size());
        const uint32_t lists = 8 + 2 + 12 * 8 + 4, data = lists + (n > 1 ? 8 * n : 0);
        auto entry = [&](uint16_t tag, uint32_t count, uint32_t value) {
            put16(tag);
            put16(4);
            put32(count);
            put32(value);
        };
        entry(256, 1, w);
        entry(257, 1, h);
        entry(258, 1, 8);
        entry(259, 1, 1);
        entry(262, 1, 1);
        entry(273, n, n > 1 ? lists : 0);
        entry(278, 1, 1);
        entry(279, n, n > 1 ? lists + 4 * n : counts[0]);
        put32(0);
        // The strips from the last one back; bytes past the picture are 0xEE.
        std::vector<uint32_t> offsets(n);
        std::vector<uint8_t> body;
        uint32_t from = 0;
        std::vector<uint32_t> starts;
        for (uint32_t c : counts) {
            starts.push_back(from);
            from += c;
        }
        for (uint32_t i = n; i-- > 0;) {
            offsets[i] = data + static_cast<uint32_t>(body.size());
            for (uint32_t k = 0; k < counts[i]; ++k)
                body.push_back(starts[i] + k < pixels.size() ? pixels[starts[i] + k] : 0xEE);
        }
        if (n == 1) {
            std::memcpy(&f[8 + 2 + 12 * 5 + 8], &offsets[0], 4);
        } else {
            for (uint32_t o : offsets) put32(o);
            for (uint32_t c : counts) put32(c);
        }
        f.insert(f.end(), body.begin(), body.end());
        const DecoderContext ctx = Decode(f);
        ASSERT_EQ(ctx.error, 0);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) ASSERT_EQ(ctx.image.topRow(static_cast<int>(y))[x], pixels[y * w + x]);
    }
}

TEST(TiffDecode, RefusedForms) {
    test::TempDir dir;
    const std::string path = dir.File("in.tif");
    std::vector<uint8_t> rgb(8 * 4 * 3, 77);
    for (const uint16_t c : {uint16_t{COMPRESSION_PACKBITS}, uint16_t{COMPRESSION_LZW}}) {
        WriteWithLibtiff(path, "wl", 8, 4, 8, 3, PHOTOMETRIC_RGB, 4, rgb, c);
        EXPECT_EQ(Decode(test::ReadFile(path)).error, kCodecUnsupported);
    }
    std::vector<uint8_t> rgba(8 * 4 * 4, 77);
    WriteWithLibtiff(path, "wl", 8, 4, 8, 4, PHOTOMETRIC_RGB, 4, rgba);
    EXPECT_EQ(Decode(test::ReadFile(path)).error, kCodecUnsupported);

    // More strip offsets than byte counts.
    WriteWithLibtiff(path, "wl", 8, 4, 8, 3, PHOTOMETRIC_RGB, 1, rgb);
    std::vector<uint8_t> bytes = test::ReadFile(path);
    const uint32_t ifd = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<uint32_t>(bytes[7]) << 24;
    const int n = bytes[ifd] | bytes[ifd + 1] << 8;
    for (int i = 0; i < n; ++i) {
        uint8_t* e = &bytes[ifd + 2 + 12 * i];
        if ((e[0] | e[1] << 8) == 279) e[4] = 3;  // count 4 -> 3
    }
    EXPECT_EQ(Decode(bytes).error, kCodecBadInfo);

    // Strips that hold less than the picture.
    bytes = test::ReadFile(path);
    for (int i = 0; i < n; ++i) {
        uint8_t* e = &bytes[ifd + 2 + 12 * i];
        if ((e[0] | e[1] << 8) == 257) e[8] = 5;  // 4 rows -> 5
    }
    EXPECT_EQ(Decode(bytes).error, kCodecRead);

    EXPECT_EQ(Decode({'I', 'I', 43, 0, 8, 0, 0, 0}).error, kCodecBadInfo);
    EXPECT_EQ(Decode({'I', 'I', 42, 0, 200, 0, 0, 0}).error, kCodecBadInfo);
    EXPECT_EQ(Decode({'I', 'I', 42, 0}).error, kCodecBadInfo);

    // Cut short anywhere or corrupted: an error or a picture, nothing else.
    WriteWithLibtiff(path, "wb", 8, 4, 8, 3, PHOTOMETRIC_RGB, 1, rgb);
    const std::vector<uint8_t> good = test::ReadFile(path);
    for (size_t k = 0; k < good.size(); ++k) {
        const DecoderContext ctx = Decode(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(k)));
        EXPECT_EQ(ctx.error == 0, !ctx.image.empty());
    }
    std::mt19937 rng(9);
    for (int i = 0; i < 3000; ++i) {
        std::vector<uint8_t> bad = good;
        for (int k = 0; k < 3; ++k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
        const DecoderContext ctx = Decode(bad);
        EXPECT_EQ(ctx.error == 0, !ctx.image.empty());
    }
}

TEST(TiffSave, SettingsChooseTheWrittenForm) {
    test::TempDir dir;
    Session s;
    s.picture.image = Picture24(10, 6);
    s.settings.simg.format = kSaveTiff;
    const std::pair<int, int> cases[] = {{1, 1}, {3, 4}, {6, 8}, {24, 24}};
    for (const auto& [depth, written] : cases) {
        s.settings.simg.depth = depth;
        char name[32];
        std::snprintf(name, sizeof name, "s%d.tif", depth);
        const std::string out = dir.File(name);
        ASSERT_TRUE(SavePicture(s, out));
        const DecoderContext ctx = Decode(test::ReadFile(out));
        EXPECT_EQ(ctx.image.sourceBitDepth, written);
    }
    s.settings.simg.gray = 1;
    ASSERT_TRUE(SavePicture(s, dir.File("g.tif")));
    const std::vector<uint8_t> g = test::ReadFile(dir.File("g.tif"));
    EXPECT_EQ(g[8], 11);  // grey: no ColorMap
}

}  // namespace
}  // namespace lumra
