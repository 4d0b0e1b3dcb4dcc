#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/bmp/bmp_codec.h"
#include "formats/codec_error.h"
#include "test_util.h"

namespace lumra {
namespace {

using test::Put16;
using test::Put32;

// One hand-built DIB: the info header fields and what follows it.
struct Dib {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t biSize = 40;
    uint32_t clrUsed = 0;
    int32_t xppm = 0;
    int32_t yppm = 0;
    std::vector<uint32_t> masks;     // red, green, blue: after a 40-byte header, else inside it
    std::vector<uint32_t> palette;   // 0x00RRGGBB
    std::vector<uint8_t> pixels;     // stored rows as they go into the file
};

// The packed DIB: info header, masks, colour table, rows. *pixelsAt receives the rows' offset.
std::vector<uint8_t> PackedDib(const Dib& d, size_t* pixelsAt = nullptr) {
    std::vector<uint8_t> v;
    Put32(v, d.biSize);
    Put32(v, static_cast<uint32_t>(d.width));
    Put32(v, static_cast<uint32_t>(d.height));
    Put16(v, 1);
    Put16(v, d.bitCount);
    Put32(v, d.compression);
    Put32(v, 0);
    Put32(v, static_cast<uint32_t>(d.xppm));
    Put32(v, static_cast<uint32_t>(d.yppm));
    Put32(v, d.clrUsed);
    Put32(v, 0);
    for (uint32_t m : d.masks) Put32(v, m);
    while (v.size() < d.biSize && v.size() < 1024) v.push_back(0);
    for (uint32_t c : d.palette) Put32(v, c);
    if (pixelsAt) *pixelsAt = v.size();
    v.insert(v.end(), d.pixels.begin(), d.pixels.end());
    return v;
}

std::vector<uint8_t> BmpFile(const Dib& d) {
    size_t at = 0;
    const std::vector<uint8_t> dib = PackedDib(d, &at);
    std::vector<uint8_t> v;
    v.push_back('B');
    v.push_back('M');
    Put32(v, static_cast<uint32_t>(14 + dib.size()));
    Put32(v, 0);
    Put32(v, static_cast<uint32_t>(14 + at));
    v.insert(v.end(), dib.begin(), dib.end());
    return v;
}

struct Bgr {
    int b, g, r;
    friend bool operator==(const Bgr&, const Bgr&) = default;
};

std::ostream& operator<<(std::ostream& os, const Bgr& c) {
    return os << "(b" << c.b << " g" << c.g << " r" << c.r << ")";
}

// Colour at x of the row counted from the top, through the palette for 8 bits.
Bgr At(const ImageBuffer& im, int x, int yTop) {
    const uint8_t* row = im.topRow(yTop);
    if (im.bitCount() == 8) {
        const RgbQuad& q = im.palette[row[x]];
        return {q.blue, q.green, q.red};
    }
    return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
}

Bgr Rgb(uint32_t c) { return {int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)}; }

bool Decode(const std::vector<uint8_t>& file, DecoderContext& ctx) {
    return DecodeBmp(file.data(), file.size(), ctx);
}

int DecodeError(const std::vector<uint8_t>& file) {
    DecoderContext ctx;
    EXPECT_FALSE(Decode(file, ctx));
    EXPECT_TRUE(ctx.image.empty());
    return ctx.error;
}

TEST(BmpDecode, OneBitWithDefaultTableGetsTwoEntriesAndPaddedRows) {
    Dib d;
    d.width = 10;  // 2 bytes of bits, padded to 4
    d.height = 2;
    d.bitCount = 1;
    d.palette = {0x102030, 0xA0B0C0};
    d.xppm = 3780;
    d.yppm = 2835;
    // bottom row: 1010101010, top row: 1100000001
    d.pixels = {0xAA, 0x80, 0xFF, 0xFF, 0xC0, 0x40, 0xFF, 0xFF};
    const auto file = BmpFile(d);
    DecoderContext ctx;
    ASSERT_TRUE(Decode(file, ctx));
    const ImageBuffer& im = ctx.image;
    EXPECT_EQ(im.bitCount(), 8);
    EXPECT_EQ(im.sourceBitDepth, 1);
    EXPECT_EQ(im.sourceFormat, kFormatBmp);
    EXPECT_EQ(im.fileSize, static_cast<int32_t>(file.size()));
    EXPECT_EQ(im.header.biXPelsPerMeter, 3780);
    EXPECT_EQ(im.header.biYPelsPerMeter, 2835);
    EXPECT_EQ(im.header.biClrUsed, 0u);
    const uint8_t top[10] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 1};
    const uint8_t bottom[10] = {1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(im.topRow(0)[x], top[x]) << x;
        EXPECT_EQ(im.topRow(1)[x], bottom[x]) << x;
    }
    EXPECT_EQ(im.palette[0], (RgbQuad{0x30, 0x20, 0x10, 0}));
    EXPECT_EQ(im.palette[1], (RgbQuad{0xC0, 0xB0, 0xA0, 0}));
    for (int i = 2; i < 256; ++i) EXPECT_EQ(im.palette[i], RgbQuad{}) << i;
}

TEST(BmpDecode, FourAndEightBitPalettes) {
    Dib d;
    d.width = 5;
    d.height = 1;
    d.bitCount = 4;
    for (uint32_t i = 0; i < 16; ++i) d.palette.push_back(i * 0x111111);
    d.pixels = {0x01, 0x2F, 0xE0, 0x00};
    DecoderContext ctx;
    ASSERT_TRUE(Decode(BmpFile(d), ctx));
    const uint8_t want[5] = {0, 1, 2, 15, 14};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(ctx.image.topRow(0)[x], want[x]);
    EXPECT_EQ(At(ctx.image, 3, 0), Rgb(0xFFFFFF));
    EXPECT_EQ(ctx.image.sourceBitDepth, 4);
    for (int i = 16; i < 256; ++i) EXPECT_EQ(ctx.image.palette[i], RgbQuad{});

    // 8 bits with a short table (biClrUsed 3): the rest of the palette stays black.
    Dib e;
    e.width = 3;
    e.height = 2;
    e.bitCount = 8;
    e.clrUsed = 3;
    e.palette = {0xFF0000, 0x00FF00, 0x0000FF};
    e.pixels = {0, 1, 2, 0, 2, 2, 1, 0};
    DecoderContext c8;
    ASSERT_TRUE(Decode(BmpFile(e), c8));
    EXPECT_EQ(c8.image.bitCount(), 8);
    EXPECT_EQ(c8.image.topRow(0)[0], 2);
    EXPECT_EQ(c8.image.topRow(1)[2], 2);
    EXPECT_EQ(At(c8.image, 1, 1), Rgb(0x00FF00));
    for (int i = 3; i < 256; ++i) EXPECT_EQ(c8.image.palette[i], RgbQuad{});
}

TEST(BmpDecode, ColourTableLongerThan256Entries) {
    Dib d;
    d.width = 2;
    d.height = 1;
    d.bitCount = 8;
    d.clrUsed = 300;
    for (uint32_t i = 0; i < 300; ++i) d.palette.push_back(i < 256 ? i : 0xFFFFFF);
    d.pixels = {255, 7, 0, 0};
    DecoderContext ctx;
    ASSERT_TRUE(Decode(BmpFile(d), ctx));
    EXPECT_EQ(At(ctx.image, 0, 0), Rgb(255));
    EXPECT_EQ(At(ctx.image, 1, 0), Rgb(7));

    // A huge count on a 1-bit file reads no further than the file.
    Dib e;
    e.width = 1;
    e.bitCount = 1;
    e.clrUsed = 0xFFFFFFFF;
    e.palette = {0x112233, 0x445566};
    e.pixels = {0x80, 0, 0, 0};
    DecoderContext c1;
    ASSERT_TRUE(Decode(BmpFile(e), c1));
    EXPECT_EQ(At(c1.image, 0, 0), Rgb(0x445566));
}

TEST(BmpDecode, TwentyFourBitRowsAsStored) {
    Dib d;
    d.width = 3;  // 9 bytes padded to 12
    d.height = 2;
    d.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
    DecoderContext ctx;
    ASSERT_TRUE(Decode(BmpFile(d), ctx));
    EXPECT_EQ(ctx.image.bitCount(), 24);
    EXPECT_EQ(At(ctx.image, 0, 1), (Bgr{1, 2, 3}));
    EXPECT_EQ(At(ctx.image, 2, 0), (Bgr{16, 17, 18}));
    EXPECT_EQ(ctx.image.sourceBitDepth, 24);
}

TEST(BmpDecode, SixteenBitForms) {
    // 555 without masks; width 3 gives rows of 4 pixels (8 bytes).
    Dib d;
    d.width = 3;
    d.bitCount = 16;
    for (uint32_t v : {0x7FFFu, 0x7C00u, 0x0001u, 0xFFFFu}) Put16(d.pixels, v);
    DecoderContext ctx;
    ASSERT_TRUE(Decode(BmpFile(d), ctx));
    EXPECT_EQ(ctx.image.bitCount(), 24);
    EXPECT_EQ(ctx.image.sourceBitDepth, 16);
    EXPECT_EQ(At(ctx.image, 0, 0), (Bgr{255, 255, 255}));
    EXPECT_EQ(At(ctx.image, 1, 0), (Bgr{0, 0, 255}));
    EXPECT_EQ(At(ctx.image, 2, 0), (Bgr{8, 0, 0}));  // 1 * 255 / 31

    // 565 with masks; the second row checks the 16-bit row length.
    Dib e;
    e.width = 3;
    e.height = 2;
    e.bitCount = 16;
    e.compression = 3;
    e.masks = {0xF800, 0x07E0, 0x001F};
    // bottom row
    Put16(e.pixels, (16u << 11) | (32u << 5) | 1u);
    Put16(e.pixels, 1u << 5);
    Put16(e.pixels, 0xFFFF);
    Put16(e.pixels, 0x1234);  // padding pixel
    // top row
    Put16(e.pixels, 63u << 5);
    Put16(e.pixels, 31u << 11);
    Put16(e.pixels, 30u);
    Put16(e.pixels, 0);
    DecoderContext c565;
    ASSERT_TRUE(Decode(BmpFile(e), c565));
    EXPECT_EQ(At(c565.image, 0, 1), (Bgr{8, 129, 131}));
    EXPECT_EQ(At(c565.image, 1, 1), (Bgr{0, 4, 0}));
    EXPECT_EQ(At(c565.image, 2, 1), (Bgr{255, 255, 255}));
    EXPECT_EQ(At(c565.image, 0, 0), (Bgr{0, 255, 0}));
    EXPECT_EQ(At(c565.image, 1, 0), (Bgr{0, 0, 255}));
    EXPECT_EQ(At(c565.image, 2, 0), (Bgr{246, 0, 0}));
}

TEST(BmpDecode, ThirtyTwoBitIgnoresAlphaAndScalesWideMasks) {
    Dib d;
    d.width = 2;
    d.bitCount = 32;
    d.pixels = {10, 20, 30, 0xFF, 40, 50, 60, 0x7F};
    DecoderContext ctx;
    ASSERT_TRUE(Decode(BmpFile(d), ctx));
    EXPECT_EQ(At(ctx.image, 0, 0), (Bgr{10, 20, 30}));
    EXPECT_EQ(At(ctx.image, 1, 0), (Bgr{40, 50, 60}));

    // 10 bits a channel with the two top bits set (alpha-like), in a 124-byte header.
    Dib e;
    e.width = 2;
    e.bitCount = 32;
    e.compression = 3;
    e.biSize = 124;
    e.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};
    Put32(e.pixels, 0xC0000000u | (1023u << 20) | (512u << 10) | 1u);
    Put32(e.pixels, (4u << 20) | (1022u << 10) | 0u);
    DecoderContext c10;
    ASSERT_TRUE(Decode(BmpFile(e), c10));
    EXPECT_EQ(At(c10.image, 0, 0), (Bgr{0, 127, 255}));
    EXPECT_EQ(At(c10.image, 1, 0), (Bgr{0, 254, 0}));
    EXPECT_EQ(c10.image.sourceBitDepth, 32);
}

TEST(BmpDecode, UnusableMasks) {
    Dib d;
    d.width = 1;
    d.bitCount = 32;
    d.compression = 3;
    d.pixels = {0xFF, 0xFF, 0xFF, 0xFF};
    d.masks = {0, 0, 0xFFFFFFFF};  // blue 32 bits wide
    EXPECT_EQ(DecodeError(BmpFile(d)), kCodecRead);
    d.masks = {0x80000000, 0x7FFFFFFF, 0};  // green 31 bits wide, red 1 bit at bit 31
    DecoderContext ok;
    ASSERT_TRUE(Decode(BmpFile(d), ok));
    EXPECT_EQ(At(ok.image, 0, 0), (Bgr{0, 255, 255}));
    d.masks = {0, 0, 0xFF};  // absent channels are zero, not a division by zero
    DecoderContext zero;
    ASSERT_TRUE(Decode(BmpFile(d), zero));
    EXPECT_EQ(At(zero.image, 0, 0), (Bgr{255, 0, 0}));
}

TEST(BmpDecode, LargerInfoHeadersPlaceTheColourTable) {
    for (uint32_t biSize : {52u, 56u, 108u, 124u}) {
        Dib d;
        d.biSize = biSize;
        d.width = 2;
        d.bitCount = 8;
        d.clrUsed = 2;
        d.palette = {0x123456, 0xABCDEF};
        d.pixels = {1, 0, 0, 0};
        DecoderContext ctx;
        ASSERT_TRUE(Decode(BmpFile(d), ctx)) << biSize;
        EXPECT_EQ(At(ctx.image, 0, 0), Rgb(0xABCDEF)) << biSize;
        EXPECT_EQ(At(ctx.image, 1, 0), Rgb(0x123456)) << biSize;
    }
}

TEST(BmpDecode, RefusedHeadersAndForms) {
    auto error = [](auto change) {
        Dib d;
        d.width = 2;
        d.height = 2;
        d.pixels.assign(16, 0);
        change(d);
        return DecodeError(BmpFile(d));
    };
    EXPECT_EQ(error([](Dib& d) { d.height = -2; }), kCodecUnsupported);  // top-down
    EXPECT_EQ(error([](Dib& d) { d.height = 0; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.width = 0; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.width = 25001; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.height = 25001; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.bitCount = 8, d.compression = 1; }), kCodecUnsupported);  // RLE8
    EXPECT_EQ(error([](Dib& d) { d.bitCount = 4, d.compression = 2; }), kCodecUnsupported);  // RLE4
    EXPECT_EQ(error([](Dib& d) { d.bitCount = 24, d.compression = 3; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.bitCount = 16, d.compression = 6; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.bitCount = 32, d.compression = 4; }), kCodecUnsupported);  // JPEG
    EXPECT_EQ(error([](Dib& d) { d.bitCount = 2; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.bitCount = 0; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.bitCount = 48; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.biSize = 0xFFFFFFF0; }), kCodecUnsupported);
    EXPECT_EQ(error([](Dib& d) { d.biSize = 39; }), kCodecUnsupported);

    // A 12-byte core header.
    std::vector<uint8_t> core = {'B', 'M'};
    Put32(core, 26 + 6);
    Put32(core, 0);
    Put32(core, 26);
    Put32(core, 12);
    Put16(core, 1);
    Put16(core, 1);
    Put16(core, 1);
    Put16(core, 24);
    core.insert(core.end(), {1, 2, 3, 0});
    EXPECT_EQ(DecodeError(core), kCodecUnsupported);

    // Not a BMP at all, and headers cut short.
    Dib d;
    d.pixels = {1, 2, 3, 0};
    auto file = BmpFile(d);
    file[0] = 'X';
    EXPECT_EQ(DecodeError(file), kCodecUnsupported);
    file = BmpFile(d);
    for (size_t cut : {0, 2, 14, 20, 53}) {
        EXPECT_EQ(DecodeError(std::vector<uint8_t>(file.begin(), file.begin() + cut)), kCodecUnsupported) << cut;
    }
    // Bitfields whose masks are cut off.
    Dib m;
    m.bitCount = 16;
    m.compression = 3;
    m.masks = {0xF800, 0x07E0};
    auto cutMasks = BmpFile(m);
    cutMasks.resize(14 + 40 + 8);
    EXPECT_EQ(DecodeError(cutMasks), kCodecUnsupported);
}

TEST(BmpDecode, WidthLimit) {
    Dib d;
    d.width = 25000;
    d.height = 1;
    d.bitCount = 8;
    d.pixels.assign(25000, 1);
    d.palette = {0, 0xFFFFFF};
    d.clrUsed = 2;
    DecoderContext ctx;
    ASSERT_TRUE(Decode(BmpFile(d), ctx));
    EXPECT_EQ(ctx.image.width(), 25000);
    EXPECT_EQ(ctx.image.topRow(0)[24999], 1);
    d.width = 25001;
    d.pixels.assign(25004, 1);
    EXPECT_EQ(DecodeError(BmpFile(d)), kCodecUnsupported);
}

TEST(BmpDecode, ShortFilesLeaveMissingRowsBlack) {
    // 24 bits: one whole row and half of the next.
    Dib d;
    d.width = 2;
    d.height = 3;
    d.pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9};
    DecoderContext ctx;
    ASSERT_TRUE(Decode(BmpFile(d), ctx));
    EXPECT_EQ(At(ctx.image, 1, 2), (Bgr{4, 5, 6}));
    EXPECT_EQ(At(ctx.image, 0, 1), (Bgr{7, 8, 9}));
    EXPECT_EQ(At(ctx.image, 1, 1), (Bgr{0, 0, 0}));
    EXPECT_EQ(At(ctx.image, 0, 0), (Bgr{0, 0, 0}));

    // 16 bits: a pixel cut in half is not read.
    Dib s;
    s.width = 2;
    s.height = 2;
    s.bitCount = 16;
    Put16(s.pixels, 0x7FFF);
    Put16(s.pixels, 0x7FFF);
    s.pixels.push_back(0xFF);
    DecoderContext c16;
    ASSERT_TRUE(Decode(BmpFile(s), c16));
    EXPECT_EQ(At(c16.image, 1, 1), (Bgr{255, 255, 255}));
    EXPECT_EQ(At(c16.image, 0, 0), (Bgr{0, 0, 0}));

    // 1 bit: the cut row and those after it are index 0.
    Dib b;
    b.width = 40;
    b.height = 3;
    b.bitCount = 1;
    b.palette = {0x000000, 0xFFFFFF};
    b.pixels = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0xFF};
    DecoderContext c1;
    ASSERT_TRUE(Decode(BmpFile(b), c1));
    EXPECT_EQ(c1.image.topRow(2)[39], 1);
    EXPECT_EQ(c1.image.topRow(1)[15], 1);
    EXPECT_EQ(c1.image.topRow(1)[16], 0);
    EXPECT_EQ(c1.image.topRow(0)[0], 0);

    // Pixel data offset beyond the end: an all-black picture.
    Dib f;
    f.width = 2;
    f.height = 2;
    auto file = BmpFile(f);
    file[10] = 0xFF;
    file[11] = 0xFF;
    DecoderContext c0;
    ASSERT_TRUE(Decode(file, c0));
    EXPECT_EQ(At(c0.image, 1, 1), (Bgr{0, 0, 0}));
}

ImageBuffer TestPicture(int w, int h, int depth) {
    ImageBuffer im;
    EXPECT_TRUE(im.Allocate(w, h, depth));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = im.storedRow(y);
        for (size_t i = 0; i < (depth == 24 ? 3u : 1u) * static_cast<size_t>(w); ++i)
            row[i] = static_cast<uint8_t>(i * 7 + y * 31 + 3);
    }
    for (int i = 0; i < 256; ++i)
        im.palette[i] = RgbQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
    im.header.biXPelsPerMeter = 3937;
    im.header.biYPelsPerMeter = 1000;
    return im;
}

void ExpectSamePixels(const ImageBuffer& a, const ImageBuffer& b) {
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) ASSERT_EQ(At(a, x, y), At(b, x, y)) << x << "," << y;
}

TEST(BmpWrite, SameDepthFilesKeepPaletteAndRows) {
    for (int depth : {8, 24}) {
        ImageBuffer im = TestPicture(5, 3, depth);
        im.palette[9].reserved = 0xA5;  // the fourth byte travels with the entry
        std::vector<uint8_t> out;
        DecoderContext ctx;
        ASSERT_TRUE(EncodeBmp(im, depth, false, 0, out, ctx));
        const size_t pal = depth == 8 ? 1024 : 0;
        ASSERT_EQ(out.size(), 54 + pal + im.imageBytes());
        auto get32 = [&](size_t at) { return out[at] | out[at + 1] << 8 | out[at + 2] << 16 | uint32_t(out[at + 3]) << 24; };
        EXPECT_EQ(out[0], 'B');
        EXPECT_EQ(out[1], 'M');
        EXPECT_EQ(get32(2), out.size());
        EXPECT_EQ(get32(10), 54 + pal);
        EXPECT_EQ(get32(14), 40u);
        EXPECT_EQ(get32(18), 5u);
        EXPECT_EQ(get32(22), 3u);
        EXPECT_EQ(out[26] | out[27] << 8, 1);
        EXPECT_EQ(out[28] | out[29] << 8, depth);
        EXPECT_EQ(get32(30), 0u);
        EXPECT_EQ(get32(34), 0u);
        EXPECT_EQ(get32(38), 3937u);
        EXPECT_EQ(get32(42), 1000u);
        EXPECT_EQ(get32(46), depth == 8 ? 256u : 0u);
        EXPECT_EQ(get32(50), 0u);
        if (depth == 8) {
            EXPECT_EQ(get32(54 + 4 * 200), 200u | (55u << 8) | (88u << 16));  // 600 & 0xFF = 88
            EXPECT_EQ(out[54 + 4 * 9 + 3], 0xA5);
        }
        EXPECT_TRUE(std::equal(im.bits(), im.bits() + im.imageBytes(), out.begin() + 54 + pal));

        DecoderContext back;
        ASSERT_TRUE(Decode(out, back));
        EXPECT_EQ(back.image.bitCount(), depth);
        EXPECT_EQ(back.image.header.biXPelsPerMeter, 3937);
        EXPECT_EQ(back.image.header.biYPelsPerMeter, 1000);
        if (depth == 8) {
            EXPECT_EQ(back.image.palette, im.palette);
        }
        EXPECT_TRUE(std::equal(im.bits(), im.bits() + im.imageBytes(), back.image.bits()));
    }
}

TEST(BmpWrite, WidenedFilesAndRefusedDepths) {
    const ImageBuffer im = TestPicture(7, 4, 8);
    test::TempDir dir;
    const std::string path = dir.File("w.bmp");
    DecoderContext ctx;
    ASSERT_TRUE(WriteBmpFile(path, im, 24, false, 0, ctx));
    EXPECT_EQ(ctx.error, 0);
    DecoderContext back;
    ASSERT_TRUE(ReadBmpFile(path, back));
    EXPECT_EQ(back.image.bitCount(), 24);
    EXPECT_EQ(back.image.fileSize, 54 + 24 * 4);
    EXPECT_EQ(back.image.header.biXPelsPerMeter, 3937);
    ExpectSamePixels(im, back.image);

    // A 4-bit picture (as a plug-in makes) saved at 4 and at 8 bits.
    ImageBuffer four;
    ASSERT_TRUE(four.Allocate(3, 2, 4));
    four.bits()[0] = 0x1F;
    four.bits()[1] = 0x20;
    four.bits()[4] = 0x34;
    for (int i = 0; i < 16; ++i) four.palette[i] = RgbQuad{uint8_t(i * 16), 1, 2, 0};
    for (int target : {4, 8}) {
        std::vector<uint8_t> out;
        DecoderContext c;
        ASSERT_TRUE(EncodeBmp(four, target, false, 0, out, c)) << target;
        EXPECT_EQ(out.size(), 54 + 4u * (1u << target) + 8);  // two rows of 4 bytes either way
        DecoderContext r;
        ASSERT_TRUE(Decode(out, r));
        EXPECT_EQ(r.image.sourceBitDepth, target);
        EXPECT_EQ(At(r.image, 1, 1), (Bgr{240, 1, 2}));
        EXPECT_EQ(At(r.image, 2, 1), (Bgr{32, 1, 2}));
        EXPECT_EQ(At(r.image, 1, 0), (Bgr{64, 1, 2}));
    }

    std::vector<uint8_t> out;
    DecoderContext bad;
    EXPECT_FALSE(EncodeBmp(im, 2, false, 0, out, bad));
    EXPECT_EQ(bad.error, kCodecSave);
    EXPECT_FALSE(EncodeBmp(ImageBuffer{}, 24, false, 0, out, bad));
    EXPECT_EQ(bad.error, kCodecSave);
}

TEST(BmpFiles, OpenAndCreateFailuresAndFileTime) {
    test::TempDir dir;
    DecoderContext ctx;
    EXPECT_FALSE(ReadBmpFile(dir.File("missing.bmp"), ctx));
    EXPECT_EQ(ctx.error, kCodecRead);
    EXPECT_FALSE(ReadBmpFile(dir.path(), ctx));
    EXPECT_EQ(ctx.error, kCodecRead);
    const ImageBuffer im = TestPicture(2, 2, 24);
    EXPECT_FALSE(WriteBmpFile(dir.File("no/such/dir.bmp"), im, 24, false, 0, ctx));
    EXPECT_EQ(ctx.error, kCodecCreate);
    test::WriteFile(dir.File("empty.bmp"), {});
    EXPECT_FALSE(ReadBmpFile(dir.File("empty.bmp"), ctx));
    EXPECT_EQ(ctx.error, kCodecUnsupported);

    const std::string path = dir.File("t.bmp");
    ASSERT_TRUE(WriteBmpFile(path, im, 24, false, 0, ctx));
    struct timespec times[2] = {{1600000000, 123456789}, {1600000000, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_TRUE(ReadBmpFile(path, ctx));
    EXPECT_EQ(ctx.image.fileTime, 1600000000LL * 1000000000 + 123456789);
    EXPECT_EQ(ctx.image.fileSize, 54 + 8 * 2);
}

TEST(BmpClipboard, PackedBlocks) {
    // 8 bits, full table, resolution dropped, fileSize of the 8-bit result.
    Dib d;
    d.width = 3;
    d.height = 2;
    d.bitCount = 8;
    d.xppm = 5000;
    for (uint32_t i = 0; i < 256; ++i) d.palette.push_back(i << 16);
    d.pixels = {1, 2, 3, 0, 4, 5, 6, 0};
    DecoderContext ctx;
    auto dib = PackedDib(d);
    ASSERT_TRUE(ReadClipboardDib(dib.data(), dib.size(), ctx));
    EXPECT_EQ(ctx.image.header.biXPelsPerMeter, 0);
    EXPECT_EQ(ctx.image.sourceFormat, kFormatBmp);
    EXPECT_EQ(ctx.image.sourceBitDepth, 8);
    EXPECT_EQ(ctx.image.fileSize, 54 + 1024 + 8);
    EXPECT_EQ(At(ctx.image, 2, 0), Rgb(6u << 16));

    // 1 bit with the default table of 2 entries.
    Dib b;
    b.width = 9;
    b.bitCount = 1;
    b.palette = {0x0000FF, 0x00FF00};
    b.pixels = {0x80, 0x80, 0, 0};
    dib = PackedDib(b);
    ASSERT_TRUE(ReadClipboardDib(dib.data(), dib.size(), ctx));
    EXPECT_EQ(At(ctx.image, 0, 0), Rgb(0x00FF00));
    EXPECT_EQ(At(ctx.image, 8, 0), Rgb(0x00FF00));
    EXPECT_EQ(At(ctx.image, 7, 0), Rgb(0x0000FF));
    EXPECT_EQ(ctx.image.sourceBitDepth, 1);
    EXPECT_EQ(ctx.image.fileSize, 54 + 1024 + 12);

    // 16-bit bitfields after a 40-byte header, and 32-bit masks inside a 124-byte one.
    Dib s;
    s.width = 1;
    s.bitCount = 16;
    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};
    Put16(s.pixels, 0xF800);
    Put16(s.pixels, 0);
    dib = PackedDib(s);
    ASSERT_TRUE(ReadClipboardDib(dib.data(), dib.size(), ctx));
    EXPECT_EQ(At(ctx.image, 0, 0), (Bgr{0, 0, 255}));
    EXPECT_EQ(ctx.image.fileSize, 54 + 4);
    s.bitCount = 32;
    s.biSize = 124;
    s.masks = {0xFF, 0xFF00, 0xFF0000};
    s.pixels = {10, 20, 30, 40};
    dib = PackedDib(s);
    ASSERT_TRUE(ReadClipboardDib(dib.data(), dib.size(), ctx));
    // Masks out of the expected order: the channels are taken as packed blue-lowest, so
    // the 24-bit "blue" field gets 0x1E0000 * 255 / (2^24 - 1) and the others nothing.
    EXPECT_EQ(At(ctx.image, 0, 0), (Bgr{29, 0, 0}));
    EXPECT_EQ(ctx.image.sourceBitDepth, 32);

    // A 24-bit block with an optional colour table before its rows.
    Dib t;
    t.width = 1;
    t.clrUsed = 2;
    t.palette = {0xFFFFFF, 0xFFFFFF};
    t.pixels = {7, 8, 9, 0};
    dib = PackedDib(t);
    ASSERT_TRUE(ReadClipboardDib(dib.data(), dib.size(), ctx));
    EXPECT_EQ(At(ctx.image, 0, 0), (Bgr{7, 8, 9}));
    EXPECT_EQ(ctx.image.fileSize, 54 + 4);
}

TEST(BmpClipboard, TruncatedAndRefusedBlocks) {
    Dib d;
    d.width = 4;
    d.height = 4;
    d.bitCount = 8;
    for (uint32_t i = 0; i < 256; ++i) d.palette.push_back(0x010101 * i);
    d.pixels.assign(16, 200);
    const auto full = PackedDib(d);
    for (size_t cut = 0; cut < full.size(); cut += 7) {
        DecoderContext ctx;
        const bool ok = ReadClipboardDib(full.data(), cut, ctx);
        EXPECT_EQ(ok, cut >= 40) << cut;
        if (!ok) {
            EXPECT_EQ(ctx.error, kCodecUnsupported);
            continue;
        }
        // Whatever is missing is black or index 0 (the last byte is never there).
        EXPECT_EQ(At(ctx.image, 3, 0), (Bgr{0, 0, 0})) << cut;
    }
    DecoderContext ctx;
    EXPECT_FALSE(ReadClipboardDib(nullptr, 0, ctx));
    auto topDown = full;
    topDown[11] = 0xFF;  // negative height
    EXPECT_FALSE(ReadClipboardDib(topDown.data(), topDown.size(), ctx));
    EXPECT_EQ(ctx.error, kCodecUnsupported);
    auto rle = full;
    rle[16] = 1;
    EXPECT_FALSE(ReadClipboardDib(rle.data(), rle.size(), ctx));
    EXPECT_EQ(ctx.error, kCodecUnsupported);
    Dib wide;
    wide.width = 25001;
    wide.height = 1;
    wide.pixels.assign(PaddedRowBytes(25001, 24), 0);
    const auto wideDib = PackedDib(wide);
    EXPECT_FALSE(ReadClipboardDib(wideDib.data(), wideDib.size(), ctx));
    EXPECT_EQ(ctx.error, kCodecUnsupported);
}

TEST(BmpClipboard, SixteenBitsWithoutMasksAre555) {
    Dib d;
    d.width = 2;
    d.bitCount = 16;
    Put16(d.pixels, 0x7C00);  // red at full, as 5-5-5
    Put16(d.pixels, 0x03E0);  // green
    const auto dib = PackedDib(d);
    DecoderContext ctx;
    ASSERT_TRUE(ReadClipboardDib(dib.data(), dib.size(), ctx));
    EXPECT_EQ(ctx.image.bitCount(), 24);
    EXPECT_EQ(At(ctx.image, 0, 0), (Bgr{0, 0, 255}));
    EXPECT_EQ(At(ctx.image, 1, 0), (Bgr{0, 255, 0}));
}

TEST(BmpClipboard, RoundTrips) {
    for (int depth : {8, 24}) {
        const ImageBuffer im = TestPicture(6, 5, depth);
        const std::vector<uint8_t> dib = WriteClipboardDib(im);
        ASSERT_EQ(dib.size(), 40 + (depth == 8 ? 1024u : 0u) + im.imageBytes());
        EXPECT_EQ(dib[24] | dib[25] << 8, 3937);  // resolution kept in the block
        EXPECT_EQ(dib[32], 0);                    // biClrUsed 0
        DecoderContext ctx;
        ASSERT_TRUE(ReadClipboardDib(dib.data(), dib.size(), ctx));
        EXPECT_EQ(ctx.image.bitCount(), depth);
        if (depth == 8) {
            EXPECT_EQ(ctx.image.palette, im.palette);
        }
        EXPECT_TRUE(std::equal(im.bits(), im.bits() + im.imageBytes(), ctx.image.bits()));
        EXPECT_EQ(ctx.image.fileSize, static_cast<int32_t>(14 + dib.size()));
    }
    // A 4-bit plug-in picture goes out with its 16-entry table and comes back widened.
    ImageBuffer four;
    ASSERT_TRUE(four.Allocate(3, 1, 4));
    four.bits()[0] = 0x5A;
    four.bits()[1] = 0xF0;
    for (int i = 0; i < 16; ++i) four.palette[i] = RgbQuad{uint8_t(i), uint8_t(2 * i), uint8_t(3 * i), 0};
    const std::vector<uint8_t> dib = WriteClipboardDib(four);
    ASSERT_EQ(dib.size(), 40u + 64u + 4u);
    DecoderContext ctx;
    ASSERT_TRUE(ReadClipboardDib(dib.data(), dib.size(), ctx));
    EXPECT_EQ(ctx.image.bitCount(), 8);
    EXPECT_EQ(At(ctx.image, 0, 0), (Bgr{5, 10, 15}));
    EXPECT_EQ(At(ctx.image, 1, 0), (Bgr{10, 20, 30}));
    EXPECT_EQ(At(ctx.image, 2, 0), (Bgr{15, 30, 45}));
    EXPECT_TRUE(WriteClipboardDib(ImageBuffer{}).empty());
}

TEST(BmpWriter, GrayLeavesASaveAtTheOwnDepthAsItIs) {
    // BMP has no grey option: only a depth change converts.
    for (int depth : {8, 24}) {
        const ImageBuffer im = TestPicture(7, 3, depth);
        std::vector<uint8_t> plain, grey;
        DecoderContext c1, c2;
        ASSERT_TRUE(EncodeBmp(im, depth, false, 3, plain, c1));
        ASSERT_TRUE(EncodeBmp(im, depth, true, 3, grey, c2));
        EXPECT_EQ(grey, plain) << depth;
    }
}

// ---- Comparison with ImageMagick ----

bool HaveConvert() { return std::system("command -v convert >/dev/null 2>&1") == 0; }

bool RunConvert(const std::string& args) {
    const std::string cmd = "convert " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Reads a binary PPM with maxval 255 into rows top-down, R,G,B.
bool ReadPpm(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgb) {
    const std::vector<uint8_t> f = test::ReadFile(path);
    size_t i = 0;
    auto token = [&]() {
        std::string t;
        while (i < f.size()) {
            if (f[i] == '#') {
                while (i < f.size() && f[i] != '\n') ++i;
            } else if (std::isspace(f[i])) {
                ++i;
            } else {
                break;
            }
        }
        while (i < f.size() && !std::isspace(f[i])) t += static_cast<char>(f[i++]);
        return t;
    };
    if (token() != "P6") return false;
    w = std::atoi(token().c_str());
    h = std::atoi(token().c_str());
    if (token() != "255") return false;
    ++i;
    if (w <= 0 || h <= 0 || f.size() < i + size_t(w) * h * 3) return false;
    rgb.assign(f.begin() + i, f.begin() + i + size_t(w) * h * 3);
    return true;
}

TEST(BmpReference, PixelsMatchImageMagick) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick convert is not installed";
    test::TempDir dir;
    // A picture with gradients, a block of flat colour and odd dimensions.
    ImageBuffer src;
    ASSERT_TRUE(src.Allocate(37, 23, 24));
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x) {
            uint8_t* p = src.topRow(y) + 3 * x;
            const bool block = x >= 4 && x < 12 && y >= 5 && y < 14;
            p[0] = block ? 0 : static_cast<uint8_t>(x * 7);
            p[1] = block ? 200 : static_cast<uint8_t>(y * 11);
            p[2] = block ? 30 : static_cast<uint8_t>((x * y) & 0xFF);
        }
    }
    const std::string source = dir.File("source.bmp");
    DecoderContext wctx;
    ASSERT_TRUE(WriteBmpFile(source, src, 24, false, 0, wctx));

    struct Form {
        const char* args;
        int bitCount;   // expected biBitCount in the file (sourceBitDepth)
        int tolerance;  // ImageMagick rounds where the reader truncates
    };
    const Form forms[] = {
        {"", 24, 0},
        {"-define bmp:format=bmp3 -type truecolor", 24, 0},
        {"-type truecolor", 24, 0},
        {"-type grayscale -compress none", 24, 0},
        {"-type palette -compress none", 8, 0},
        {"-define bmp:format=bmp3 -type palette -compress none", 8, 0},
        {"-colors 16 -type palette -compress none", 4, 0},
        {"-define bmp:format=bmp3 -colors 16 -type palette -compress none", 4, 0},
        {"-type bilevel", 1, 0},
        {"-define bmp:format=bmp3 -type bilevel", 1, 0},
        {"-define bmp:subtype=RGB565", 16, 1},
        {"-define bmp:subtype=RGB555", 16, 1},
        {"-alpha set -define bmp:subtype=ARGB1555", 16, 1},  // (its ARGB4444 puts red under the blue mask)
        {"-alpha set -define bmp:subtype=ARGB8888", 32, 0},
        {"-type truecolormatte", 32, 0},
    };
    // ImageMagick reads what the writer makes, at 24 and 8 bits.
    const ImageBuffer eight = TestPicture(13, 6, 8);
    const std::string eightPath = dir.File("eight.bmp");
    ASSERT_TRUE(WriteBmpFile(eightPath, eight, 8, false, 0, wctx));
    for (const auto& [path, picture] : {std::pair<std::string, const ImageBuffer*>{source, &src}, {eightPath, &eight}}) {
        const std::string ppm = dir.File("w.ppm");
        ASSERT_TRUE(RunConvert(path + " -depth 8 ppm:" + ppm));
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(ReadPpm(ppm, w, h, rgb));
        ASSERT_EQ(w, picture->width());
        ASSERT_EQ(h, picture->height());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* ref = &rgb[(size_t(y) * w + x) * 3];
                ASSERT_EQ(At(*picture, x, y), (Bgr{ref[2], ref[1], ref[0]})) << path << " " << x << "," << y;
            }
    }

    int compared = 0;
    for (const Form& form : forms) {
        SCOPED_TRACE(form.args);
        const std::string bmp = dir.File("f.bmp");
        const std::string ppm = dir.File("f.ppm");
        std::remove(bmp.c_str());
        if (!RunConvert(source + " " + form.args + " " + bmp)) continue;  // form not offered
        const std::vector<uint8_t> file = test::ReadFile(bmp);
        ASSERT_GE(file.size(), 30u);
        if ((file[28] | file[29] << 8) != form.bitCount) continue;  // this version writes another form
        ASSERT_TRUE(RunConvert(bmp + " -depth 8 ppm:" + ppm));
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(ReadPpm(ppm, w, h, rgb));
        DecoderContext ctx;
        ASSERT_TRUE(ReadBmpFile(bmp, ctx)) << ctx.error;
        EXPECT_EQ(ctx.image.sourceBitDepth, form.bitCount);
        ASSERT_EQ(ctx.image.width(), w);
        ASSERT_EQ(ctx.image.height(), h);
        int worst = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const Bgr ours = At(ctx.image, x, y);
                const uint8_t* ref = &rgb[(size_t(y) * w + x) * 3];
                worst = std::max({worst, std::abs(ours.r - ref[0]), std::abs(ours.g - ref[1]),
                                  std::abs(ours.b - ref[2])});
            }
        }
        EXPECT_LE(worst, form.tolerance);
        ++compared;
    }
    EXPECT_GE(compared, 8);

    // Forms the reader leaves to the plug-ins.
    for (const char* args : {"-type palette -compress RLE", "-define bmp:format=bmp2"}) {
        const std::string bmp = dir.File("r.bmp");
        std::remove(bmp.c_str());
        if (!RunConvert(source + " " + args + " " + bmp)) continue;
        DecoderContext ctx;
        EXPECT_FALSE(ReadBmpFile(bmp, ctx)) << args;
        EXPECT_EQ(ctx.error, kCodecUnsupported) << args;
    }
}

}  // namespace
}  // namespace lumra
