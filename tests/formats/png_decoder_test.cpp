// The PNG reader on hand-built files: header checks, chunk order, image data, ancillary
// chunks and the display options.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <random>

#include <zlib.h>

#include "formats/blend_table.h"
#include "formats/codec_error.h"
#include "formats/load_save.h"
#include "shell/session.h"
#include "formats/png/png_decoder.h"
#include "png_test_util.h"
#include "test_util.h"

namespace lumra {
namespace {

using test::PngFile;
using test::PixelAt;

DecoderContext Decode(const std::vector<uint8_t>& file, const LImgSettings& load = LImgSettings{}) {
    DecoderContext ctx;
    ctx.load = load;
    const bool ok = DecodePng(file.data(), file.size(), ctx);
    EXPECT_EQ(ok, ctx.error == kCodecOk);
    if (!ok) {
        EXPECT_TRUE(ctx.image.empty());
    }
    return ctx;
}

int ErrorOf(const std::vector<uint8_t>& file) { return Decode(file).error; }

LImgSettings Plain() {
    LImgSettings s;
    s.gamma = 0;
    return s;
}

// A 2 x 2 RGB picture: red, green / blue, white.
std::vector<uint8_t> RgbRows() {
    return test::Unfiltered({{255, 0, 0, 0, 255, 0}, {0, 0, 255, 255, 255, 255}});
}

PngFile RgbStart() {
    PngFile f;
    f.Ihdr(2, 2, 8, 2);
    return f;
}

std::vector<uint8_t> GoodRgb() { return RgbStart().Idat(RgbRows()).Iend().bytes; }

TEST(PngHeader, SignatureAndSize) {
    auto file = GoodRgb();
    EXPECT_EQ(ErrorOf(file), kCodecOk);
    EXPECT_EQ(ErrorOf(std::vector<uint8_t>(file.begin(), file.begin() + 32)), kCodecBadInfo);
    for (int i = 0; i < 8; ++i) {
        auto bad = file;
        bad[i] ^= 0x20;
        EXPECT_EQ(ErrorOf(bad), kCodecBadInfo) << "byte " << i;
    }
    EXPECT_EQ(ErrorOf({}), kCodecBadInfo);
}

TEST(PngHeader, IhdrFields) {
    auto withIhdr = [](const std::vector<uint8_t>& ihdrChunk) {
        PngFile f;
        f.bytes.insert(f.bytes.end(), ihdrChunk.begin(), ihdrChunk.end());
        return f.Idat(RgbRows()).Iend().bytes;
    };
    auto ihdr = test::IhdrData(2, 2, 8, 2);
    auto longer = ihdr;
    longer.push_back(0);
    EXPECT_EQ(ErrorOf(withIhdr(test::Chunk("IHDR", longer))), kCodecIhdrLength);
    EXPECT_EQ(ErrorOf(withIhdr(test::Chunk("IHDX", ihdr))), kCodecIhdrType);
    EXPECT_EQ(ErrorOf(withIhdr(test::Chunk("IHDR", ihdr, false))), kCodecCrc);

    auto field = [&](int at, uint8_t value) {
        auto d = ihdr;
        d[at] = value;
        return ErrorOf(withIhdr(test::Chunk("IHDR", d)));
    };
    EXPECT_EQ(field(10, 1), kCodecIhdrCompression);
    EXPECT_EQ(field(11, 1), kCodecIhdrFilter);
    EXPECT_EQ(field(12, 2), kCodecIhdrInterlace);
    EXPECT_EQ(field(9, 5), kCodecIhdrColorType);
    EXPECT_EQ(field(9, 7), kCodecIhdrColorType);
    EXPECT_EQ(field(8, 4), kCodecIhdrColorType);  // 4-bit RGB
    EXPECT_EQ(field(8, 7), kCodecIhdrBitDepth);
    EXPECT_EQ(field(8, 32), kCodecIhdrBitDepth);

    // Sides from 1 to 25000; the size is checked before the other fields.
    auto sized = [&](uint32_t w, uint32_t h, int compression = 0) {
        auto d = test::IhdrData(w, h, 8, 2);
        d[10] = static_cast<uint8_t>(compression);
        return ErrorOf(withIhdr(test::Chunk("IHDR", d)));
    };
    EXPECT_EQ(sized(0, 2), kCodecUnsupported);
    EXPECT_EQ(sized(2, 0), kCodecUnsupported);
    EXPECT_EQ(sized(25001, 2), kCodecUnsupported);
    EXPECT_EQ(sized(2, 25001), kCodecUnsupported);
    EXPECT_EQ(sized(0x80000002u, 2), kCodecUnsupported);
    EXPECT_EQ(sized(25001, 2, 1), kCodecUnsupported);
}

TEST(PngHeader, SixteenBitPaletteIsRefused) {
    PngFile f;
    f.Ihdr(1, 1, 16, 3).Add("PLTE", {1, 2, 3}).Idat({0, 0, 0}).Iend();
    EXPECT_EQ(ErrorOf(f.bytes), kCodecIhdrColorType);
}

// The chunk CRC at any length, start and split is zlib's.
TEST(PngChunks, CrcAsZlibsAnywhere) {
    std::mt19937 random(5);
    std::vector<uint8_t> data(5000);
    for (auto& b : data) b = static_cast<uint8_t>(random());
    for (size_t n = 0; n <= 300; ++n) {
        for (const size_t at : {size_t{0}, size_t{3}})
            ASSERT_EQ(PngCrc(data.data() + at, n), crc32_z(0, data.data() + at, n)) << n << " at " << at;
    }
    const auto whole = static_cast<uint32_t>(crc32_z(0, data.data(), data.size()));
    for (const size_t cut : {1, 63, 64, 65, 1000, 4999})
        EXPECT_EQ(UpdatePngCrc(PngCrc(data.data(), cut), data.data() + cut, data.size() - cut), whole) << cut;
}

TEST(PngChunks, LengthsAndBounds) {
    // A length with the top bit set.
    auto negative = RgbStart().bytes;
    test::AppendBe32(negative, 0x80000000u);
    negative.insert(negative.end(), {'t', 'E', 'X', 't', 0, 0, 0, 0});
    EXPECT_EQ(ErrorOf(negative), kCodecChunkLength);
    // A chunk running past the end, and a file that stops after its image data.
    auto cut = GoodRgb();
    cut.resize(cut.size() - 1);
    EXPECT_EQ(ErrorOf(cut), kCodecBadInfo);
    auto noEnd = RgbStart().Idat(RgbRows()).bytes;
    EXPECT_EQ(ErrorOf(noEnd), kCodecBadInfo);
    noEnd.insert(noEnd.end(), {0, 0});
    EXPECT_EQ(ErrorOf(noEnd), kCodecBadInfo);
}

TEST(PngChunks, OrderOfCriticalChunks) {
    EXPECT_EQ(ErrorOf(RgbStart().Ihdr(2, 2, 8, 2).Idat(RgbRows()).Iend().bytes), kCodecChunkOrder);
    EXPECT_EQ(ErrorOf(RgbStart().Idat(RgbRows()).Add("IEND", {}, false).bytes), kCodecCrc);
    // Nothing after IEND is read.
    auto trailing = GoodRgb();
    trailing.insert(trailing.end(), {1, 2, 3});
    EXPECT_EQ(ErrorOf(trailing), kCodecOk);
    // No image data at all.
    EXPECT_EQ(ErrorOf(RgbStart().Iend().bytes), kCodecCriticalChunk);
    // An unknown critical chunk is skipped unchecked.
    EXPECT_EQ(ErrorOf(RgbStart().Add("ABCD", {1, 2}, false).Idat(RgbRows()).Iend().bytes), kCodecOk);
}

PngFile PaletteStart(int depth = 8) {
    PngFile f;
    f.Ihdr(2, 1, depth, 3);
    return f;
}
const std::vector<uint8_t> kPaletteRow = {0, 0, 1};  // filter byte, indices 0 and 1
const std::vector<uint8_t> kPlte = {10, 20, 30, 40, 50, 60, 70, 80, 90};

TEST(PngChunks, Palette) {
    EXPECT_EQ(ErrorOf(PaletteStart().Add("PLTE", kPlte).Idat(kPaletteRow).Iend().bytes), kCodecOk);
    // Without PLTE the picture is incomplete, even though the rows decode.
    EXPECT_EQ(ErrorOf(PaletteStart().Idat(kPaletteRow).Iend().bytes), kCodecCriticalChunk);
    EXPECT_EQ(ErrorOf(PaletteStart().Add("PLTE", kPlte).Add("PLTE", kPlte).Idat(kPaletteRow).Iend().bytes),
              kCodecChunkOrder);
    EXPECT_EQ(ErrorOf(PaletteStart().Idat(kPaletteRow).Add("PLTE", kPlte).Iend().bytes), kCodecChunkOrder);
    EXPECT_EQ(ErrorOf(PaletteStart().Add("PLTE", kPlte, false).Idat(kPaletteRow).Iend().bytes), kCodecCrc);
    // In an RGB file PLTE is a suggestion only: not even its CRC or its position matters.
    EXPECT_EQ(ErrorOf(RgbStart().Add("PLTE", {1, 2}, false).Idat(RgbRows()).Add("PLTE", kPlte).Iend().bytes),
              kCodecOk);

    // Entries are capped by the depth: a 1-bit picture keeps two of three.
    PngFile f;
    f.Ihdr(3, 1, 1, 3).Add("PLTE", kPlte).Idat({0, 0xA0}).Iend();
    const DecoderContext ctx = Decode(f.bytes, Plain());
    ASSERT_EQ(ctx.error, kCodecOk);
    EXPECT_EQ(PixelAt(ctx.image, 0, 0), 0x28323Cu);
    EXPECT_EQ(PixelAt(ctx.image, 1, 0), 0x0A141Eu);
    EXPECT_EQ(PixelAt(ctx.image, 2, 0), 0x28323Cu);
    EXPECT_EQ(ctx.image.palette[2], RgbQuad{});
    EXPECT_EQ(ctx.image.sourceBitDepth, 1);
}

TEST(PngImageData, SplitRunsDecodeAlike) {
    const auto single = Decode(GoodRgb(), Plain());
    for (size_t piece : {1, 2, 5}) {
        const auto split = Decode(RgbStart().Idat(RgbRows(), piece).Iend().bytes, Plain());
        ASSERT_EQ(split.error, kCodecOk) << piece;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) EXPECT_EQ(PixelAt(split.image, x, y), PixelAt(single.image, x, y));
    }
    // A chunk between two runs of image data (the first run holds the whole picture; one that
    // does not fails in its inflation first).
    const auto z = test::Zlib(RgbRows());
    const std::vector<uint8_t> a(z.begin(), z.begin() + 4), b(z.begin() + 4, z.end());
    EXPECT_EQ(ErrorOf(RgbStart().Add("IDAT", z).Add("tEXt", {'a', 0, 'b'}).Add("IDAT", {1}).Iend().bytes),
              kCodecChunkOrder);
    EXPECT_EQ(ErrorOf(RgbStart().Add("IDAT", a).Add("tEXt", {'a', 0, 'b'}).Add("IDAT", b).Iend().bytes),
              kCodecZlibRead);
    // CRC of the first chunk, then of the ones that follow it.
    EXPECT_EQ(ErrorOf(RgbStart().Add("IDAT", a, false).Add("IDAT", b).Iend().bytes), kCodecCrc);
    EXPECT_EQ(ErrorOf(RgbStart().Add("IDAT", a).Add("IDAT", b, false).Iend().bytes), kCodecIdatLength);
    // A following chunk that runs off the end, or a negative length after the run.
    auto overrun = RgbStart().Add("IDAT", a).bytes;
    test::AppendBe32(overrun, 1000);
    overrun.insert(overrun.end(), {'I', 'D', 'A', 'T', 1, 2, 3});
    EXPECT_EQ(ErrorOf(overrun), kCodecIdatLength);
    auto negative = RgbStart().Add("IDAT", z).bytes;
    test::AppendBe32(negative, 0xFFFFFFFFu);
    negative.insert(negative.end(), {'I', 'E', 'N', 'D', 0, 0, 0, 0});
    EXPECT_EQ(ErrorOf(negative), kCodecIdatLength);
}

// Image data of a size that fills zlib's input in more than one way: chunks large and small,
// cut anywhere, decode as one chunk does; the trailer counts only in the chunk the rows end in.
TEST(PngImageData, LargeRunsCutAnywhere) {
    constexpr uint32_t kWidth = 600, kHeight = 400;
    std::mt19937 random(3);
    std::vector<uint8_t> rows;
    for (uint32_t y = 0; y < kHeight; ++y) {
        rows.push_back(static_cast<uint8_t>(y % 5));
        for (uint32_t i = 0; i < 3 * kWidth; ++i) rows.push_back(static_cast<uint8_t>(random() & 0x3F));
    }
    const auto z = test::Zlib(rows);
    auto file = [&](const std::vector<size_t>& cuts, const std::vector<uint8_t>& data) {
        PngFile f;
        f.Ihdr(kWidth, kHeight, 8, 2);
        size_t from = 0;
        for (const size_t cut : cuts) {
            f.Add("IDAT", std::vector<uint8_t>(data.begin() + from, data.begin() + cut));
            from = cut;
        }
        f.Add("IDAT", std::vector<uint8_t>(data.begin() + from, data.end()));
        return f.Iend().bytes;
    };
    const auto whole = Decode(file({}, z), Plain());
    ASSERT_EQ(whole.error, kCodecOk);
    const size_t n = z.size();
    for (const std::vector<size_t>& cuts :
         {std::vector<size_t>{1, 2, 300000, 300007}, {8192, 16384, 16385, 400000, n - 3}, {n / 2, n / 2, n - 1}}) {
        const auto split = Decode(file(cuts, z), Plain());
        ASSERT_EQ(split.error, kCodecOk);
        EXPECT_EQ(0, std::memcmp(split.image.bits(), whole.image.bits(), whole.image.imageBytes()));
    }
    auto badSum = z;
    badSum.back() ^= 1;
    EXPECT_EQ(Decode(file({8192, 300000}, badSum)).error, kCodecZlibRead);
    EXPECT_EQ(Decode(file({n - 5000, n - 4}, badSum)).error, kCodecOk);
    EXPECT_EQ(Decode(file({n - 5000, n - 2}, badSum)).error, kCodecOk);
}

TEST(PngImageData, BrokenStreams) {
    // Corrupt deflate data.
    auto z = test::Zlib(RgbRows());
    z[3] ^= 0xFF;
    EXPECT_EQ(ErrorOf(RgbStart().Add("IDAT", z).Iend().bytes), kCodecZlibRead);
    // A stream that ends before the last row.
    auto shortRows = RgbRows();
    shortRows.resize(shortRows.size() - 1);
    EXPECT_EQ(ErrorOf(RgbStart().Idat(shortRows).Iend().bytes), kCodecZlibRead);
    // Cut-off data.
    const auto whole = test::Zlib(RgbRows());
    EXPECT_EQ(ErrorOf(RgbStart().Add("IDAT", std::vector<uint8_t>(whole.begin(), whole.end() - 6)).Iend().bytes),
              kCodecZlibRead);
    EXPECT_EQ(ErrorOf(RgbStart().Add("IDAT", {}).Iend().bytes), kCodecZlibRead);
    // A wrong Adler-32 fails when it comes with the end of the data; in a chunk of its own it
    // is never read, as the rows are full before it.
    auto badSum = test::Zlib(RgbRows());
    badSum.back() ^= 1;
    EXPECT_EQ(ErrorOf(RgbStart().Add("IDAT", badSum).Iend().bytes), kCodecZlibRead);
    const std::vector<uint8_t> data(badSum.begin(), badSum.end() - 4), sum(badSum.end() - 4, badSum.end());
    EXPECT_EQ(ErrorOf(RgbStart().Add("IDAT", data).Add("IDAT", {}).Add("IDAT", sum).Iend().bytes), kCodecOk);
    // More data than the rows need is left unread.
    auto longer = RgbRows();
    longer.insert(longer.end(), 100, 7);
    EXPECT_EQ(ErrorOf(RgbStart().Idat(longer).Iend().bytes), kCodecOk);
}

TEST(PngImageData, HugeClaimsFailWithoutInflating) {
    // 25000 x 25000 RGBA from a few bytes of data: refused before any picture memory is taken.
    const std::vector<uint8_t> rows(64 * 1024, 0);
    PngFile f;
    f.Ihdr(25000, 25000, 16, 6).Idat(rows).Iend();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf(f.bytes), kCodecZlibRead);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(PngImageData, FilterTypes) {
    // One 3 x 2 grey picture written with each filter type (and 5, read as None).
    const std::vector<uint8_t> top = {10, 50, 200}, bottom = {20, 10, 255};
    auto encode = [](int type, const std::vector<uint8_t>& raw, const std::vector<uint8_t>& prev) {
        std::vector<uint8_t> out = {static_cast<uint8_t>(type)};
        for (size_t i = 0; i < raw.size(); ++i) {
            const int a = i ? raw[i - 1] : 0, b = prev[i], c = i ? prev[i - 1] : 0;
            int pred = 0;
            if (type == 1) pred = a;
            else if (type == 2) pred = b;
            else if (type == 3) pred = (a + b) / 2;
            else if (type == 4) pred = PaethPredictor(a, b, c);
            out.push_back(static_cast<uint8_t>(raw[i] - pred));
        }
        return out;
    };
    for (int type = 0; type <= 5; ++type) {
        auto rows = encode(type, top, {0, 0, 0});
        auto second = encode(type, bottom, top);
        rows.insert(rows.end(), second.begin(), second.end());
        PngFile f;
        f.Ihdr(3, 2, 8, 0).Idat(rows).Iend();
        const DecoderContext ctx = Decode(f.bytes, Plain());
        ASSERT_EQ(ctx.error, kCodecOk) << type;
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(ctx.image.topRow(0)[x], top[x]) << "type " << type;
            EXPECT_EQ(ctx.image.topRow(1)[x], bottom[x]) << "type " << type;
        }
    }
    // Type 200 behaves as None too.
    PngFile f;
    f.Ihdr(1, 1, 8, 0).Idat({200, 77}).Iend();
    EXPECT_EQ(Decode(f.bytes).image.topRow(0)[0], 77);
}

TEST(PngImageData, RowsAreStoredBottomUp) {
    const DecoderContext ctx = Decode(GoodRgb(), Plain());
    ASSERT_EQ(ctx.error, kCodecOk);
    const uint8_t* bottom = ctx.image.storedRow(0);
    EXPECT_EQ(bottom[0], 255);  // blue, stored B,G,R
    EXPECT_EQ(bottom[2], 0);
    EXPECT_EQ(PixelAt(ctx.image, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelAt(ctx.image, 1, 1), 0xFFFFFFu);
}

std::vector<uint8_t> GammaChunk(uint32_t v) {
    std::vector<uint8_t> d;
    test::AppendBe32(d, v);
    return d;
}

// A grey picture of one pixel at level 128.
PngFile Grey128() {
    PngFile f;
    f.Ihdr(1, 1, 8, 0);
    return f;
}

int GreyLevel(const DecoderContext& ctx) { return static_cast<int>(PixelAt(ctx.image, 0, 0) & 0xFF); }

TEST(PngGamma, WhichChunkCounts) {
    // gAMA 1.0 against the default display gamma 2.2 brightens 128 to 186.
    const auto one = Grey128().Add("gAMA", GammaChunk(100000)).Idat({0, 128}).Iend().bytes;
    EXPECT_EQ(GreyLevel(Decode(one)), 186);
    EXPECT_EQ(GreyLevel(Decode(one, Plain())), 128);
    // 1/2.2 against 2.2 is the identity.
    EXPECT_EQ(GreyLevel(Decode(Grey128().Add("gAMA", GammaChunk(45455)).Idat({0, 128}).Iend().bytes)), 128);
    // A second gAMA is ignored; so is one after PLTE.
    EXPECT_EQ(GreyLevel(Decode(
                  Grey128().Add("gAMA", GammaChunk(45455)).Add("gAMA", GammaChunk(100000)).Idat({0, 128}).Iend().bytes)),
              128);
    PngFile pal;
    pal.Ihdr(1, 1, 8, 3).Add("PLTE", {128, 128, 128}).Add("gAMA", GammaChunk(100000)).Idat({0, 0}).Iend();
    EXPECT_EQ(GreyLevel(Decode(pal.bytes)), 128);
    // Broken ones are skipped and do not block a later good one.
    EXPECT_EQ(GreyLevel(Decode(Grey128().Add("gAMA", GammaChunk(45455), false)
                                   .Add("gAMA", {0, 1, 0x86, 0xA0, 0})
                                   .Add("gAMA", GammaChunk(0))
                                   .Add("gAMA", GammaChunk(100000))
                                   .Idat({0, 128})
                                   .Iend()
                                   .bytes)),
              186);
    // After the image data it is too late.
    EXPECT_EQ(GreyLevel(Decode(Grey128().Idat({0, 128}).Add("gAMA", GammaChunk(100000)).Iend().bytes)), 128);
    // Display gamma 0 counts as 1 (0.001): everything short of white goes black.
    LImgSettings s;
    s.dispGam = 0;
    EXPECT_EQ(GreyLevel(Decode(one, s)), 0);
}

TEST(PngTransparency, PaletteAlpha) {
    // Three entries, tRNS for the first two only: the third stays opaque.
    PngFile f;
    f.Ihdr(3, 1, 8, 3).Add("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255}).Add("tRNS", {0, 128}).Idat({0, 0, 1, 2}).Iend();
    LImgSettings s = Plain();
    s.bgR = 0;
    s.bgG = 0;
    s.bgB = 0;
    const DecoderContext ctx = Decode(f.bytes, s);
    ASSERT_EQ(ctx.error, kCodecOk);
    EXPECT_TRUE(ctx.flags.transparent);
    EXPECT_EQ(PixelAt(ctx.image, 0, 0), 0x000000u);
    EXPECT_EQ(PixelAt(ctx.image, 1, 0), 0x008000u);  // 255 * 128 / 255
    EXPECT_EQ(PixelAt(ctx.image, 2, 0), 0x0000FFu);
    // A tRNS longer than the palette, or before it, is ignored.
    PngFile longer;
    longer.Ihdr(1, 1, 8, 3).Add("PLTE", {255, 0, 0}).Add("tRNS", {0, 0}).Idat({0, 0}).Iend();
    EXPECT_FALSE(Decode(longer.bytes).flags.transparent);
    PngFile early;
    early.Ihdr(1, 1, 8, 3).Add("tRNS", {0}).Add("PLTE", {255, 0, 0}).Idat({0, 0}).Iend();
    EXPECT_EQ(PixelAt(Decode(early.bytes).image, 0, 0), 0xFF0000u);
    // With Alpha off the palette is used as stored.
    s.alpha = 0;
    EXPECT_EQ(PixelAt(Decode(f.bytes, s).image, 0, 0), 0xFF0000u);
}

TEST(PngTransparency, GreyAndRgbKeys) {
    // 2-bit grey: level 2 is transparent; the palette entry becomes the background.
    PngFile grey;
    grey.Ihdr(4, 1, 2, 0).Add("tRNS", {0, 2}).Idat({0, 0x1B}).Iend();  // 0, 1, 2, 3
    LImgSettings s = Plain();
    s.bgR = 1;
    s.bgG = 2;
    s.bgB = 3;
    const DecoderContext g = Decode(grey.bytes, s);
    ASSERT_EQ(g.error, kCodecOk);
    EXPECT_EQ(PixelAt(g.image, 0, 0), 0x000000u);
    EXPECT_EQ(PixelAt(g.image, 1, 0), 0x555555u);
    EXPECT_EQ(PixelAt(g.image, 2, 0), 0x010203u);
    EXPECT_EQ(PixelAt(g.image, 3, 0), 0xFFFFFFu);

    // 16-bit RGB: the key is compared after reduction to the high bytes.
    PngFile rgb;
    rgb.Ihdr(2, 1, 16, 2)
        .Add("tRNS", {0x12, 0x00, 0x34, 0x00, 0x56, 0x00})
        .Idat({0, 0x12, 0xFF, 0x34, 0x01, 0x56, 0x80, 0x12, 0, 0x34, 0, 0x57, 0})
        .Iend();
    const DecoderContext c = Decode(rgb.bytes, s);
    ASSERT_EQ(c.error, kCodecOk);
    EXPECT_EQ(PixelAt(c.image, 0, 0), 0x010203u);
    EXPECT_EQ(PixelAt(c.image, 1, 0), 0x123457u);
    EXPECT_EQ(c.image.sourceBitDepth, 48);
}

TEST(PngTransparency, KeyIsMatchedBeforeGamma) {
    // gAMA 1.0 maps 128 to 186; the key 128,128,128 still finds the pixel that holds it.
    PngFile f;
    f.Ihdr(2, 1, 8, 2)
        .Add("gAMA", GammaChunk(100000))
        .Add("tRNS", {0, 128, 0, 128, 0, 128})
        .Idat({0, 128, 128, 128, 186, 186, 186})
        .Iend();
    LImgSettings s;
    s.bgR = 9;
    s.bgG = 8;
    s.bgB = 7;
    const DecoderContext ctx = Decode(f.bytes, s);
    ASSERT_EQ(ctx.error, kCodecOk);
    EXPECT_EQ(PixelAt(ctx.image, 0, 0), 0x090807u);
    EXPECT_EQ(PixelAt(ctx.image, 1, 0), 0xDDDDDDu);  // 186 through the table
}

TEST(PngTransparency, AlphaChannels) {
    // RGBA over the configured background, and with Alpha off as stored.
    PngFile rgba;
    rgba.Ihdr(3, 1, 8, 6).Idat({0, 200, 100, 50, 255, 200, 100, 50, 0, 200, 100, 50, 128}).Iend();
    LImgSettings s = Plain();
    s.bgR = 0;
    s.bgG = 0;
    s.bgB = 255;
    const DecoderContext a = Decode(rgba.bytes, s);
    ASSERT_EQ(a.error, kCodecOk);
    EXPECT_EQ(PixelAt(a.image, 0, 0), 0xC86432u);
    EXPECT_EQ(PixelAt(a.image, 1, 0), 0x0000FFu);
    EXPECT_EQ(PixelAt(a.image, 2, 0), 0x643298u);  // 100,50,25 + 0,0,127
    s.alpha = 0;
    const DecoderContext off = Decode(rgba.bytes, s);
    EXPECT_EQ(PixelAt(off.image, 1, 0), 0xC86432u);
    EXPECT_EQ(PixelAt(off.image, 2, 0), 0xC86432u);
    EXPECT_TRUE(off.flags.transparent);

    // Grey + alpha blends over the background's red component only.
    PngFile ga;
    ga.Ihdr(2, 1, 8, 4).Idat({0, 100, 0, 100, 255}).Iend();
    s.alpha = 1;
    s.bgR = 40;
    const DecoderContext g = Decode(ga.bytes, s);
    ASSERT_EQ(g.error, kCodecOk);
    EXPECT_EQ(g.image.bitCount(), 8);
    EXPECT_EQ(PixelAt(g.image, 0, 0), 0x282828u);
    EXPECT_EQ(PixelAt(g.image, 1, 0), 0x646464u);
}

// Every alpha with every colour value, over backgrounds of each kind, gives the blend
// table's values (rows of 16-pixel blocks and a tail).
TEST(PngTransparency, EveryAlphaAndValueAsTheBlendTable) {
    constexpr uint32_t kW = 256 + 7;
    std::vector<uint8_t> rows;
    for (uint32_t y = 0; y < 256; ++y) {
        rows.push_back(0);
        for (uint32_t x = 0; x < kW; ++x) {
            const auto v = static_cast<uint8_t>(x), a = static_cast<uint8_t>(y);
            rows.insert(rows.end(), {v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v * 7), a});
        }
    }
    PngFile f;
    f.Ihdr(kW, 256, 8, 6).Idat(rows).Iend();
    const BlendTable& t = GetBlendTable();
    for (const auto& bg : {std::array<int, 3>{0, 0, 0}, {255, 255, 255}, {1, 128, 254}, {77, 200, 3}}) {
        LImgSettings s = Plain();
        s.bgR = bg[0];
        s.bgG = bg[1];
        s.bgB = bg[2];
        const DecoderContext d = Decode(f.bytes, s);
        ASSERT_EQ(d.error, kCodecOk);
        int wrong = 0;
        for (uint32_t y = 0; y < 256; ++y) {
            for (uint32_t x = 0; x < kW; ++x) {
                const unsigned v = x & 255, a = y;
                const uint32_t want = static_cast<uint32_t>(BlendOver(t, a, v, static_cast<unsigned>(bg[0]))) << 16 |
                                      static_cast<uint32_t>(BlendOver(t, a, (255 - v) & 255, static_cast<unsigned>(bg[1]))) << 8 |
                                      BlendOver(t, a, (v * 7) & 255, static_cast<unsigned>(bg[2]));
                wrong += PixelAt(d.image, static_cast<int>(x), static_cast<int>(y)) != want;
            }
        }
        EXPECT_EQ(wrong, 0) << bg[0] << "," << bg[1] << "," << bg[2];
    }
}

TEST(PngBackground, FileColourAndItsGamma) {
    // RGBA, fully transparent, with a bKGD colour.
    auto make = [](const std::vector<uint8_t>& before, const std::vector<uint8_t>& after = {}) {
        PngFile f;
        f.Ihdr(1, 1, 8, 6);
        if (!before.empty()) f.Add("bKGD", before);
        f.Idat({0, 1, 2, 3, 0});
        if (!after.empty()) f.Add("bKGD", after);
        return f.Iend().bytes;
    };
    LImgSettings s = Plain();
    s.bgR = s.bgG = s.bgB = 7;
    EXPECT_EQ(PixelAt(Decode(make({0, 10, 0, 20, 0, 30}), s).image, 0, 0), 0x0A141Eu);
    EXPECT_EQ(PixelAt(Decode(make({0, 10, 0, 20}), s).image, 0, 0), 0x070707u);           // wrong length
    EXPECT_EQ(PixelAt(Decode(make({}, {0, 10, 0, 20, 0, 30}), s).image, 0, 0), 0x070707u);  // after IDAT
    s.fbg = 0;
    EXPECT_EQ(PixelAt(Decode(make({0, 10, 0, 20, 0, 30}), s).image, 0, 0), 0x070707u);
    // With gamma the file's colour is corrected, the configured one is not.
    PngFile g;
    g.Ihdr(1, 1, 8, 6).Add("gAMA", GammaChunk(100000)).Add("bKGD", {0, 128, 0, 0, 0, 255}).Idat({0, 1, 2, 3, 0}).Iend();
    EXPECT_EQ(PixelAt(Decode(g.bytes).image, 0, 0), 0xBA00FFu);
    LImgSettings configured;
    configured.fbg = 0;
    configured.bgR = 128;
    configured.bgG = 0;
    configured.bgB = 255;
    EXPECT_EQ(PixelAt(Decode(g.bytes, configured).image, 0, 0), 0x8000FFu);

    // Grey levels are scaled by the depth; a palette index takes the palette's colour.
    PngFile grey;
    grey.Ihdr(1, 1, 4, 0).Add("bKGD", {0, 3}).Add("tRNS", {0, 0}).Idat({0, 0}).Iend();
    EXPECT_EQ(PixelAt(Decode(grey.bytes, Plain()).image, 0, 0), 0x333333u);
    PngFile pal;
    pal.Ihdr(1, 1, 8, 3).Add("PLTE", {1, 2, 3, 4, 5, 6}).Add("bKGD", {1}).Add("tRNS", {0}).Idat({0, 0}).Iend();
    EXPECT_EQ(PixelAt(Decode(pal.bytes, Plain()).image, 0, 0), 0x040506u);
}

TEST(PngResolution, PhysChunk) {
    auto phys = [](int32_t x, int32_t y, uint8_t unit) {
        std::vector<uint8_t> d;
        test::AppendBe32(d, static_cast<uint32_t>(x));
        test::AppendBe32(d, static_cast<uint32_t>(y));
        d.push_back(unit);
        return d;
    };
    auto res = [](const std::vector<uint8_t>& file) {
        const DecoderContext ctx = Decode(file);
        return std::make_pair(ctx.image.header.biXPelsPerMeter, ctx.image.header.biYPelsPerMeter);
    };
    EXPECT_EQ(res(RgbStart().Add("pHYs", phys(3780, 2835, 1)).Idat(RgbRows()).Iend().bytes), std::make_pair(3780, 2835));
    EXPECT_EQ(res(RgbStart().Add("pHYs", phys(3780, 2835, 0)).Idat(RgbRows()).Iend().bytes), std::make_pair(0, 0));
    EXPECT_EQ(res(RgbStart().Add("pHYs", phys(3780, -1, 1)).Idat(RgbRows()).Iend().bytes), std::make_pair(0, 0));
    EXPECT_EQ(res(RgbStart().Idat(RgbRows()).Add("pHYs", phys(3780, 2835, 1)).Iend().bytes), std::make_pair(0, 0));
}

std::vector<uint8_t> Text(const std::string& keyword, const std::string& text) {
    std::vector<uint8_t> d(keyword.begin(), keyword.end());
    d.push_back(0);
    d.insert(d.end(), text.begin(), text.end());
    return d;
}

TEST(PngText, CountsForTheFlags) {
    auto flags = [](std::vector<std::vector<uint8_t>> texts, bool goodCrc = true) {
        PngFile f = RgbStart();
        for (const auto& t : texts) f.Add("tEXt", t, goodCrc);
        return Decode(f.Idat(RgbRows()).Iend().bytes).flags;
    };
    PictureFlags f = flags({Text("Comment", "")});
    EXPECT_TRUE(f.hasText);
    EXPECT_TRUE(f.hasComment);
    f = flags({Text("Title", "x")});
    EXPECT_TRUE(f.hasText);
    EXPECT_FALSE(f.hasComment);
    EXPECT_FALSE(flags({Text("Comment", "x")}, false).hasText);
    EXPECT_FALSE(flags({Text("comment", "x")}).hasComment);
    EXPECT_FALSE(flags({Text("Comments", "x")}).hasComment);
    EXPECT_TRUE(flags({Text(std::string(79, 'k'), "x")}).hasText);
    EXPECT_FALSE(flags({Text(std::string(80, 'k'), "x")}).hasText);
    EXPECT_FALSE(flags({Text("", "text")}).hasText);
    EXPECT_FALSE(flags({{'A'}}).hasText);           // too short
    EXPECT_FALSE(flags({{'A', 'B', 'C'}}).hasText);  // no end of keyword
    // zTXt and iTXt are not counted.
    PngFile z = RgbStart();
    z.Add("zTXt", Text("Comment", "")).Add("iTXt", Text("Comment", ""));
    EXPECT_FALSE(Decode(z.Idat(RgbRows()).Iend().bytes).flags.hasText);
}

TEST(PngLoad, ThroughTheDispatch) {
    // A PNG named .jpg loads as PNG; its comment counts as text only.
    test::TempDir dir;
    PngFile f;
    f.Ihdr(2, 2, 8, 2, 1).Add("tEXt", Text("Comment", "hello"));
    // Adam7 rows of a 2 x 2 picture: passes 1, 6 and 7.
    f.Idat({0, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 10, 11, 12}).Iend();
    const std::string path = dir.File("picture.jpg");
    test::WriteFile(path, f.bytes);
    Session s;
    s.settings.limg.gamma = 0;
    ASSERT_TRUE(LoadPicture(s, path));
    EXPECT_EQ(s.picture.image.sourceFormat, kFormatPng);
    EXPECT_TRUE(s.picture.flags.interlaced);
    EXPECT_TRUE(s.picture.flags.hasText);
    EXPECT_FALSE(s.picture.flags.hasComment);
    EXPECT_FALSE(s.picture.flags.transparent);
    EXPECT_EQ(PixelAt(s.picture.image, 0, 0), 0x010203u);
    EXPECT_EQ(PixelAt(s.picture.image, 1, 0), 0x040506u);
    EXPECT_EQ(PixelAt(s.picture.image, 0, 1), 0x070809u);
    EXPECT_EQ(PixelAt(s.picture.image, 1, 1), 0x0A0B0Cu);
}

}  // namespace
}  // namespace lumra
