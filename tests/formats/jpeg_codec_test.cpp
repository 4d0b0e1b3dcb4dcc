#include "formats/jpeg/jpeg_codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>

#include "formats/codec_error.h"
#include "formats/jpeg/jpeg_markers.h"
#include "formats/jpeg_test_util.h"
#include "test_util.h"

namespace lumra {
namespace {

using test::Djpeg;
using test::Quote;
using test::Shell;
using test::TempDir;

struct Decoded {
    bool ok = false;
    DecoderContext ctx;
    JpegFileInfo info;
};

Decoded DecodePath(const std::string& path) {
    Decoded d;
    const std::vector<uint8_t> data = test::ReadFile(path);
    d.ok = DecodeJpeg(data.data(), data.size(), d.ctx, d.info);
    return d;
}

// Files made by cjpeg decode to exactly djpeg's pixels.
class CjpegFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(CjpegFiles, SamePixelsAsDjpeg) {
    TempDir dir;
    const std::string ppm = dir.File("in.ppm"), jpg = dir.File("in.jpg");
    test::WritePpm(ppm, test::JpegPattern(203, 131));
    ASSERT_EQ(Shell(std::string("cjpeg ") + GetParam() + " -outfile " + Quote(jpg) + " " + Quote(ppm)), 0);
    const Decoded d = DecodePath(jpg);
    ASSERT_TRUE(d.ok) << d.ctx.message;
    EXPECT_EQ(test::PixelsOf(d.ctx.image), Djpeg(jpg));
    const bool grey = std::string(GetParam()).find("-grayscale") != std::string::npos;
    EXPECT_EQ(d.ctx.image.bitCount(), grey ? 8 : 24);
    EXPECT_EQ(d.ctx.image.sourceBitDepth, grey ? 8 : 24);
    EXPECT_EQ(d.info.isGrey, grey);
    EXPECT_EQ(d.ctx.flags.interlaced, std::string(GetParam()).find("-progressive") != std::string::npos);
    EXPECT_EQ(d.info.imageWidth, 203);
    EXPECT_EQ(d.info.imageHeight, 131);
    EXPECT_EQ(d.ctx.image.sourceFormat, kFormatJpeg);
}

INSTANTIATE_TEST_SUITE_P(
    Jpeg, CjpegFiles,
    ::testing::Values("-quality 90", "-progressive", "-grayscale", "-grayscale -progressive",
                      "-sample 2x2", "-sample 2x1", "-sample 1x1", "-sample 1x2", "-sample 4x1",
                      "-restart 1", "-restart 3B -sample 1x1", "-quality 100 -optimize",
                      "-arithmetic", "-dct float -quality 40"));

// libjpeg writes a CMYK file (stored as Adobe does, inverted) and reads back the raw values.
std::vector<uint8_t> CmykFile(int w, int h, std::vector<uint8_t>& raw) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(w) * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            row[4 * x] = static_cast<uint8_t>(x * 5);
            row[4 * x + 1] = static_cast<uint8_t>(y * 7);
            row[4 * x + 2] = static_cast<uint8_t>(255 - x * 3);
            row[4 * x + 3] = static_cast<uint8_t>(128 + (x ^ y) % 128);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> file(mem, mem + size);
    free(mem);

    jpeg_decompress_struct d{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), file.size());
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    raw.resize(static_cast<size_t>(w) * h * 4);
    while (d.output_scanline < d.output_height) {
        JSAMPROW r = raw.data() + static_cast<size_t>(d.output_scanline) * w * 4;
        jpeg_read_scanlines(&d, &r, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return file;
}

// The quick first view's decode: djpeg -scale 1/N's pixels, the file's own size in info.
TEST(JpegDecode, ScaledDecodeMatchesDjpegScale) {
    TempDir dir;
    const std::string ppm = dir.File("in.ppm");
    test::WritePpm(ppm, test::JpegPattern(203, 131));
    for (const char* options : {"-sample 2x2", "-grayscale", "-progressive -sample 1x1"}) {
        const std::string jpg = dir.File("in.jpg");
        ASSERT_EQ(Shell(std::string("cjpeg ") + options + " -outfile " + Quote(jpg) + " " + Quote(ppm)), 0);
        const std::vector<uint8_t> data = test::ReadFile(jpg);
        int w = 0, h = 0;
        ASSERT_TRUE(ReadJpegSize(data.data(), data.size(), w, h));
        EXPECT_EQ(w, 203);
        EXPECT_EQ(h, 131);
        for (int n : {1, 2, 4, 8}) {
            DecoderContext ctx;
            JpegFileInfo info;
            ASSERT_TRUE(DecodeJpegScaled(data.data(), data.size(), n, ctx, info)) << options << " 1/" << n;
            EXPECT_EQ(ctx.image.width(), (203 + n - 1) / n);
            EXPECT_EQ(ctx.image.height(), (131 + n - 1) / n);
            EXPECT_EQ(info.imageWidth, 203);
            EXPECT_EQ(test::PixelsOf(ctx.image), Djpeg(jpg, "-scale 1/" + std::to_string(n)))
                << options << " 1/" << n;
        }
        DecoderContext bad;
        JpegFileInfo info;
        EXPECT_FALSE(DecodeJpegScaled(data.data(), data.size(), 3, bad, info));
        EXPECT_EQ(bad.error, kCodecUnsupported);
    }
}

TEST(JpegDecode, AdobeCmykShownInColour) {
    std::vector<uint8_t> raw;
    const std::vector<uint8_t> file = CmykFile(37, 21, raw);
    DecoderContext ctx;
    ASSERT_TRUE(DecodeJpeg(file.data(), file.size(), ctx)) << ctx.message;
    ASSERT_EQ(ctx.image.bitCount(), 24);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 37; ++x) {
            const uint8_t* c = &raw[(static_cast<size_t>(y) * 37 + x) * 4];
            const uint8_t* p = ctx.image.topRow(y) + 3 * x;
            ASSERT_EQ(p[2], c[0] * c[3] / 255) << x << "," << y;
            ASSERT_EQ(p[1], c[1] * c[3] / 255);
            ASSERT_EQ(p[0], c[2] * c[3] / 255);
        }
}

TEST(JpegDecode, TwoComponentsRefused) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = 8;
    c.image_height = 8;
    c.input_components = 2;
    c.in_color_space = JCS_UNKNOWN;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(16, 100);
    for (int y = 0; y < 8; ++y) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    DecoderContext ctx;
    EXPECT_FALSE(DecodeJpeg(mem, size, ctx));
    EXPECT_EQ(ctx.error, kCodecUnsupported);
    EXPECT_TRUE(ctx.image.empty());
    free(mem);
}

std::vector<uint8_t> EncodeToMemory(const ImageBuffer& img, const JpegEncodeOptions& o) {
    std::vector<uint8_t> out;
    DecoderContext ctx;
    EXPECT_TRUE(EncodeJpegToMemory(img, o, out, ctx)) << ctx.message;
    return out;
}

// Offset of the SOFn frame header's data.
size_t FrameHeader(const std::vector<uint8_t>& f, uint8_t& sof) {
    JpegMarkerWalker w(f.data(), f.size());
    JpegSegment s;
    while (w.Next(s) == JpegMarkerWalker::Step::Segment)
        if (s.marker >= 0xC0 && s.marker <= 0xC2) {
            sof = s.marker;
            return s.dataStart;
        }
    return 0;
}

TEST(JpegDecode, TruncatedFileKeepsWhatItHasAndTheRestBlack) {
    TempDir dir;
    JpegEncodeOptions o;
    o.quality = 90;
    const std::vector<uint8_t> whole = EncodeToMemory(test::JpegPattern(64, 256), o);
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2));
    test::WriteFile(dir.File("cut.jpg"), cut);
    DecoderContext ctx;
    ASSERT_TRUE(DecodeJpeg(cut.data(), cut.size(), ctx)) << ctx.message;
    const test::Rgb ours = test::PixelsOf(ctx.image);
    const test::Rgb ref = Djpeg(dir.File("cut.jpg"));
    ASSERT_EQ(ours.width, ref.width);
    const size_t rowBytes = 64 * 3;
    int firstBlack = -1;
    for (int y = 0; y < 256 && firstBlack < 0; ++y) {
        const uint8_t* r = ours.pixels.data() + y * rowBytes;
        if (std::all_of(r, r + rowBytes, [](uint8_t v) { return v == 0; })) firstBlack = y;
    }
    ASSERT_GT(firstBlack, 32);   // about half the rows come from the data
    ASSERT_LT(firstBlack, 240);
    EXPECT_EQ(firstBlack % 16, 0);  // whole MCU rows
    for (int y = 0; y < 256; ++y) {
        const uint8_t* r = ours.pixels.data() + y * rowBytes;
        const uint8_t* e = ref.pixels.data() + y * rowBytes;
        if (y < firstBlack)
            ASSERT_TRUE(std::equal(r, r + rowBytes, e)) << "row " << y;
        else
            ASSERT_TRUE(std::all_of(r, r + rowBytes, [](uint8_t v) { return v == 0; })) << "row " << y;
    }
    // Only the end marker missing: the whole picture.
    const std::vector<uint8_t> noEoi(whole.begin(), whole.end() - 2);
    DecoderContext full;
    ASSERT_TRUE(DecodeJpeg(noEoi.data(), noEoi.size(), full));
    DecoderContext good;
    ASSERT_TRUE(DecodeJpeg(whole.data(), whole.size(), good));
    EXPECT_EQ(test::PixelsOf(full.image), test::PixelsOf(good.image));
}

TEST(JpegDecode, MalformedInputFailsCleanly) {
    const std::vector<uint8_t> good = EncodeToMemory(test::JpegPattern(40, 30), JpegEncodeOptions{});
    auto fails = [](std::vector<uint8_t> data) {
        DecoderContext ctx;
        const bool ok = DecodeJpeg(data.data(), data.size(), ctx);
        return !ok && ctx.image.empty();
    };
    EXPECT_TRUE(fails({}));
    EXPECT_TRUE(fails({0xFF, 0xD8}));
    EXPECT_TRUE(fails({0xFF, 0xD8, 0xFF, 0xD9}));
    EXPECT_TRUE(fails(std::vector<uint8_t>(good.begin(), good.begin() + 100)));  // no SOS
    std::vector<uint8_t> noise = good;
    for (size_t i = 20; i < noise.size(); i += 7) noise[i] = static_cast<uint8_t>(i * 31);
    DecoderContext ctx;
    DecodeJpeg(noise.data(), noise.size(), ctx);  // any result, no crash

    // Dimensions above the limit are refused before anything is allocated.
    uint8_t sof = 0;
    const size_t at = FrameHeader(good, sof);
    ASSERT_NE(at, 0u);
    for (const int side : {0, 1}) {
        std::vector<uint8_t> big = good;
        const size_t field = at + 1 + (side == 0 ? 2 : 0);  // height then width
        big[field] = 25001 >> 8;
        big[field + 1] = 25001 & 0xFF;
        DecoderContext c;
        EXPECT_FALSE(DecodeJpeg(big.data(), big.size(), c));
        EXPECT_EQ(c.error, kCodecUnsupported);
    }
}

TEST(JpegDecode, DensityBecomesResolution) {
    JpegEncodeOptions o;
    o.xResolution = 3780;  // 96 dpi
    o.yResolution = 2835;  // 72 dpi
    o.comment = "note";
    std::vector<uint8_t> f = EncodeToMemory(test::JpegPattern(16, 16), o);
    Decoded d;
    d.ok = DecodeJpeg(f.data(), f.size(), d.ctx, d.info);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.ctx.image.header.biXPelsPerMeter, 3780);
    EXPECT_EQ(d.ctx.image.header.biYPelsPerMeter, 2835);
    EXPECT_EQ(d.info.commentCount, 1);
    EXPECT_TRUE(d.ctx.flags.hasComment);
    EXPECT_FALSE(d.ctx.flags.hasText);
}

TEST(JpegDecode, DotsPerCentimetreAndMarkerFlags) {
    JpegEncodeOptions o;
    o.xResolution = o.yResolution = 100;
    std::vector<uint8_t> f = EncodeToMemory(test::JpegPattern(16, 16), o);
    ASSERT_EQ(f[13], 1);
    f[13] = 2;
    f[14] = 0, f[15] = 40, f[16] = 0, f[17] = 1;
    const std::vector<uint8_t> extra = {0xFF, 0xFE, 0, 3, 'a', 0xFF, 0xFE, 0, 2,
                                        0xFF, 0xE1, 0, 4, 'x', 'y'};
    f.insert(f.begin() + 20, extra.begin(), extra.end());  // after the JFIF segment
    Decoded d;
    d.ok = DecodeJpeg(f.data(), f.size(), d.ctx, d.info);
    ASSERT_TRUE(d.ok) << d.ctx.message;
    EXPECT_EQ(d.ctx.image.header.biXPelsPerMeter, 4000);
    EXPECT_EQ(d.ctx.image.header.biYPelsPerMeter, 100);
    EXPECT_EQ(d.info.commentCount, 2);
    EXPECT_TRUE(d.ctx.flags.hasText);
    EXPECT_TRUE(d.ctx.flags.hasComment);
}

// Our encoder drives the library as cjpeg does: the same options give the same file.
TEST(JpegEncode, SameBytesAsCjpeg) {
    TempDir dir;
    const ImageBuffer img = test::JpegPattern(203, 131, 7);
    test::WritePpm(dir.File("in.ppm"), img);
    struct Case {
        int quality, sampling;
        bool grey, progressive;
        const char* cjpeg;
    };
    for (const Case& c : {Case{75, 0, false, false, "-quality 75 -sample 2x2"},
                          Case{90, 1, false, false, "-quality 90 -sample 2x1"},
                          Case{30, 2, false, true, "-quality 30 -sample 1x1 -progressive"},
                          Case{100, 0, true, false, "-quality 100 -grayscale"},
                          Case{1, 0, false, false, "-quality 1"}}) {
        JpegEncodeOptions o;
        o.quality = c.quality;
        JpegSamplingFactors(c.sampling, o.hSampling, o.vSampling);
        o.grey = c.grey;
        o.progressive = c.progressive;
        const std::string ours = dir.File("ours.jpg"), ref = dir.File("ref.jpg");
        DecoderContext ctx;
        ASSERT_TRUE(EncodeJpeg(img, o, ours, ctx)) << ctx.message;
        ASSERT_EQ(Shell(std::string("cjpeg -optimize -baseline ") + c.cjpeg + " -outfile " + Quote(ref) +
                        " " + Quote(dir.File("in.ppm"))),
                  0);
        EXPECT_EQ(test::ReadFile(ours), test::ReadFile(ref)) << c.cjpeg;
    }
}

TEST(JpegEncode, PalettePicturesAndSettings) {
    ImageBuffer pal;
    ASSERT_TRUE(pal.Allocate(33, 17, 8));
    for (int i = 0; i < 256; ++i)
        pal.palette[i] = RgbQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 200, 0};
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 33; ++x) pal.storedRow(y)[x] = static_cast<uint8_t>(x * 7 + y);
    JpegEncodeOptions o;
    o.quality = 100;
    o.hSampling = o.vSampling = 1;
    o.comment = std::string(12000, 'c');
    const std::vector<uint8_t> f = EncodeToMemory(pal, o);
    DecoderContext ctx;
    ASSERT_TRUE(DecodeJpeg(f.data(), f.size(), ctx));
    ASSERT_EQ(ctx.image.bitCount(), 24);
    // Near the palette colours at quality 100 without subsampling.
    const uint8_t* p = ctx.image.topRow(5) + 3 * 9;
    const RgbQuad& want = pal.palette[pal.topRow(5)[9]];
    EXPECT_NEAR(p[0], want.blue, 6);
    EXPECT_NEAR(p[1], want.green, 6);
    EXPECT_NEAR(p[2], want.red, 6);
    std::string text;
    DecoderContext cc;
    ASSERT_TRUE(ReadJpegCommentBytes(f.data(), f.size(), text, cc));
    EXPECT_EQ(text.size(), 9999u);  // 10000 written, 9999 read back
    uint8_t sof = 0;
    const size_t at = FrameHeader(f, sof);
    EXPECT_EQ(sof, 0xC0);
    EXPECT_EQ(f[at + 7], 0x11);  // luminance 1 x 1

    o.progressive = true;
    o.comment.clear();
    const std::vector<uint8_t> prog = EncodeToMemory(pal, o);
    FrameHeader(prog, sof);
    EXPECT_EQ(sof, 0xC2);
}

TEST(JpegEncode, FileFailures) {
    TempDir dir;
    DecoderContext ctx;
    EXPECT_FALSE(EncodeJpeg(test::JpegPattern(8, 8), JpegEncodeOptions{}, dir.File("no/such/x.jpg"), ctx));
    EXPECT_EQ(ctx.error, kCodecCreate);
    DecoderContext ctx2;
    EXPECT_FALSE(EncodeJpegLimited(test::JpegPattern(8, 8), JpegEncodeOptions{}, 100000,
                                   dir.File("no/such/x.jpg"), ctx2));
    EXPECT_EQ(ctx2.error, kCodecCreate);
}

// The qualities the search tries for a limit that fits every quality up to `fitsUpTo`.
std::vector<int> Tried(int fitsUpTo, int& written) {
    std::vector<int> tried;
    written = SearchJpegQuality([&](int q, bool& fits) {
        tried.push_back(q);
        fits = q <= fitsUpTo;
        return true;
    });
    return tried;
}

TEST(JpegLimited, QualitySearchOrder) {
    int w = 0;
    EXPECT_EQ(Tried(99, w), (std::vector<int>{69, 85, 93, 97, 99}));
    EXPECT_EQ(w, 99);
    EXPECT_EQ(Tried(98, w), (std::vector<int>{69, 85, 93, 97, 99, 98}));
    EXPECT_EQ(w, 98);
    EXPECT_EQ(Tried(0, w), (std::vector<int>{69, 38, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(w, 1);
    // Here the search ends on quality 8, which does not fit although 7 did.
    EXPECT_EQ(Tried(7, w), (std::vector<int>{69, 38, 7, 23, 8}));
    EXPECT_EQ(w, 8);
    EXPECT_EQ(Tried(50, w), (std::vector<int>{69, 38, 54, 39, 47, 51, 48, 50}));
    EXPECT_EQ(w, 50);
}

TEST(JpegLimited, WritesTheQualityThatFits) {
    TempDir dir;
    const ImageBuffer img = test::JpegPattern(120, 90, 3);
    JpegEncodeOptions o;
    std::vector<size_t> size(101);
    for (int q = 1; q <= 100; ++q) {
        o.quality = q;
        size[q] = EncodeToMemory(img, o).size();
    }
    auto run = [&](int64_t limit, int& quality) {
        DecoderContext ctx;
        quality = -1;
        EXPECT_TRUE(EncodeJpegLimited(img, JpegEncodeOptions{}, limit, dir.File("l.jpg"), ctx, &quality));
        return test::ReadFile(dir.File("l.jpg"));
    };
    int q = 0;
    // Larger than the quality-100 file: quality 100.
    std::vector<uint8_t> f = run(static_cast<int64_t>(size[100]) + 1, q);
    EXPECT_EQ(q, 100);
    EXPECT_EQ(f.size(), size[100]);
    // Between: a fitting file, at the quality reported.
    for (const int target : {90, 60, 20}) {
        f = run(static_cast<int64_t>(size[target]), q);
        EXPECT_LE(f.size(), size[target]);
        o.quality = q;
        EXPECT_EQ(f, EncodeToMemory(img, o)) << target;
    }
    // Nothing fits: quality 1 although it is too large.
    f = run(10, q);
    EXPECT_EQ(q, 1);
    EXPECT_EQ(f.size(), size[1]);
}

TEST(JpegLimited, TinyPictureOutgrowsItsPictureSizedBuffer) {
    TempDir dir;
    const ImageBuffer img = test::JpegPattern(1, 1);
    DecoderContext ctx;
    int q = 0;
    ASSERT_TRUE(EncodeJpegLimited(img, JpegEncodeOptions{}, 1 << 20, dir.File("t.jpg"), ctx, &q));
    EXPECT_EQ(q, 100);
    EXPECT_GT(test::ReadFile(dir.File("t.jpg")).size(), 4u);  // far above the 4-byte picture
    EXPECT_EQ(test::Decode(dir.File("t.jpg")).width, 1);
}

}  // namespace
}  // namespace lumra
