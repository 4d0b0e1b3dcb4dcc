#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "formats/codec_error.h"
#include "formats/gif/gif_codec.h"
#include "formats/load_save.h"
#include "shell/session.h"
#include "formats/reduce.h"
#include "test_util.h"

namespace lumra {
namespace {

const std::string kSuite = std::string(LUMRA_TESTDATA) + "/gif-test-suite/";

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

// What giflib reads: the frames composed the way the GIF standard describes (an area
// disposed to the background becomes see-through), plus delays and the loop count.
struct Reference {
    int width = 0, height = 0;
    std::vector<std::vector<Rgba>> frames;
    std::vector<int> delays;
    int loopCount = -1;
};

bool ReadWithGiflib(const std::string& path, Reference& ref) {
    int err = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &err);
    if (!gif) return false;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &err);
        return false;
    }
    ref.width = gif->SWidth;
    ref.height = gif->SHeight;
    const size_t n = static_cast<size_t>(ref.width) * static_cast<size_t>(ref.height);
    std::vector<Rgba> canvas(n), saved;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& im = gif->SavedImages[i];
        for (int e = 0; e + 1 < im.ExtensionBlockCount; ++e) {
            const ExtensionBlock& b = im.ExtensionBlocks[e];
            if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
                std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0) {
                const ExtensionBlock& d = im.ExtensionBlocks[e + 1];
                if (d.ByteCount >= 3) ref.loopCount = d.Bytes[1] | d.Bytes[2] << 8;
            }
        }
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, i, &gcb);
        const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
        if (gcb.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;
        const GifImageDesc& d = im.ImageDesc;
        for (int y = 0; y < d.Height; ++y) {
            const int row = y;  // DGifSlurp puts interlaced rows in place
            for (int x = 0; x < d.Width; ++x) {
                const int v = im.RasterBits[y * d.Width + x];
                if (v == gcb.TransparentColor) continue;
                const GifColorType c = v < map->ColorCount ? map->Colors[v] : GifColorType{0, 0, 0};
                canvas[static_cast<size_t>(d.Top + row) * ref.width + d.Left + x] = {c.Red, c.Green, c.Blue, 255};
            }
        }
        ref.frames.push_back(canvas);
        ref.delays.push_back(gcb.DelayTime);
        if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = 0; y < d.Height; ++y)
                for (int x = 0; x < d.Width; ++x) canvas[static_cast<size_t>(d.Top + y) * ref.width + d.Left + x] = {};
        } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
            canvas = saved;
        }
    }
    DGifCloseFile(gif, &err);
    return true;
}

DecoderContext Decode(const std::vector<uint8_t>& bytes, bool animation = true, LImgSettings opt = {}) {
    DecoderContext ctx;
    ctx.load = opt;
    ctx.animationAllowed = animation;
    DecodeGif(bytes.data(), bytes.size(), ctx);
    return ctx;
}

RgbQuad PixelAt(const ImageBuffer& img, int x, int y) {
    const uint8_t* row = img.topRow(y);
    if (img.bitCount() == 24) return RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
    return img.palette[row[x]];
}

const ImageBuffer& FrameOf(const DecoderContext& ctx, int i) {
    return i == 0 ? ctx.image : ctx.animation.frames[static_cast<size_t>(i - 1)];
}

TEST(GifSuite, FramesDelaysLoopsAndOpaquePixelsMatchGiflib) {
    const char* files[] = {"animated_loop", "animated_loop_interlaced", "animated_loop_variable_delay",
                           "animated_noloop", "animated_transparent_firstframerestoreprev_loop",
                           "animated_transparent_frame_norestore_loop",
                           "animated_transparent_frame_restorebackground_loop",
                           "animated_transparent_frame_restoreprev_loop", "animated_transparent_loop",
                           "animated_transparent_restoreprev_loop", "static_nontransparent",
                           "static_transparent"};
    for (const char* name : files) {
        SCOPED_TRACE(name);
        const std::string path = kSuite + name + ".gif";
        Reference ref;
        ASSERT_TRUE(ReadWithGiflib(path, ref));
        const DecoderContext ctx = Decode(test::ReadFile(path));
        ASSERT_EQ(ctx.error, 0);
        ASSERT_EQ(ctx.image.width(), ref.width);
        // Without a NETSCAPE2.0 block only the first frame is read.
        const int frames = ref.loopCount < 0 ? 1 : static_cast<int>(ref.frames.size());
        EXPECT_EQ(std::max(1, ctx.animation.frameCount()), frames);
        if (frames > 1) {
            EXPECT_TRUE(ctx.animation.animated);
            EXPECT_EQ(ctx.animation.delays, ref.delays);
            EXPECT_EQ(ctx.animation.loopCount, ref.loopCount < 0 ? 1 : ref.loopCount);
            ASSERT_EQ(static_cast<int>(ctx.animation.frames.size()), frames - 1);
        }
        int compared = 0;
        for (int f = 0; f < frames; ++f) {
            const ImageBuffer& img = FrameOf(ctx, f);
            for (int y = 0; y < ref.height; ++y)
                for (int x = 0; x < ref.width; ++x) {
                    const Rgba& want = ref.frames[static_cast<size_t>(f)][static_cast<size_t>(y) * ref.width + x];
                    if (want.a == 0) continue;
                    const RgbQuad got = PixelAt(img, x, y);
                    ASSERT_TRUE(got.red == want.r && got.green == want.g && got.blue == want.b)
                        << "frame " << f << " at " << x << "," << y;
                    ++compared;
                }
        }
        EXPECT_GT(compared, 0);
    }
}

TEST(GifSuite, RefusedAndStillForms) {
    // A frame reaching outside the logical screen is refused.
    EXPECT_EQ(Decode(test::ReadFile(kSuite + "animated_transparent_loop_frames_out_of_bounds.gif")).error,
              kCodecBadInfo);
    // Without animation (a preview) only the first frame is read.
    const DecoderContext still = Decode(test::ReadFile(kSuite + "animated_loop.gif"), false);
    EXPECT_EQ(still.error, 0);
    EXPECT_EQ(still.animation.frameCount(), 0);
    EXPECT_EQ(still.image.sourceBitDepth, 5);
}

// ---- hand-built files ----

struct GifBuilder {
    std::vector<uint8_t> bytes;
    explicit GifBuilder(int w, int h, const std::vector<RgbQuad>& global, int background = 0) {
        const char* sig = "GIF89a";
        bytes.assign(sig, sig + 6);
        test::Put16(bytes, static_cast<uint32_t>(w));
        test::Put16(bytes, static_cast<uint32_t>(h));
        if (global.empty()) {
            bytes.push_back(0);
        } else {
            bytes.push_back(static_cast<uint8_t>(0x80 | (Bits(global.size()) - 1)));
        }
        bytes.push_back(static_cast<uint8_t>(background));
        bytes.push_back(0);
        Table(global);
    }
    static int Bits(size_t n) {
        int b = 1;
        while ((size_t{1} << b) < n) ++b;
        return b;
    }
    void Table(const std::vector<RgbQuad>& t) {
        if (t.empty()) return;
        for (size_t i = 0; i < (size_t{1} << Bits(t.size())); ++i) {
            const RgbQuad c = i < t.size() ? t[i] : RgbQuad{};
            bytes.insert(bytes.end(), {c.red, c.green, c.blue});
        }
    }
    void Netscape(int loops) {
        bytes.insert(bytes.end(), {0x21, 0xFF, 11});
        const char* id = "NETSCAPE2.0";
        bytes.insert(bytes.end(), id, id + 11);
        bytes.insert(bytes.end(), {3, 1, static_cast<uint8_t>(loops), static_cast<uint8_t>(loops >> 8), 0});
    }
    void Gce(int disposal, int delay, int transparent = -1) {
        bytes.insert(bytes.end(), {0x21, 0xF9, 4, static_cast<uint8_t>(disposal << 2 | (transparent >= 0 ? 1 : 0)),
                                   static_cast<uint8_t>(delay), static_cast<uint8_t>(delay >> 8),
                                   static_cast<uint8_t>(transparent >= 0 ? transparent : 0), 0});
    }
    void Image(int left, int top, int w, int h, const std::vector<uint8_t>& indices,
               const std::vector<RgbQuad>& local = {}, int minCode = 2) {
        bytes.push_back(0x2C);
        test::Put16(bytes, static_cast<uint32_t>(left));
        test::Put16(bytes, static_cast<uint32_t>(top));
        test::Put16(bytes, static_cast<uint32_t>(w));
        test::Put16(bytes, static_cast<uint32_t>(h));
        bytes.push_back(local.empty() ? 0 : static_cast<uint8_t>(0x80 | (Bits(local.size()) - 1)));
        Table(local);
        bytes.push_back(static_cast<uint8_t>(minCode));
        const std::vector<uint8_t> lzw = GifLzwEncode(indices.data(), indices.size(), minCode);
        for (size_t p = 0; p < lzw.size(); p += 255) {
            const size_t n = std::min<size_t>(255, lzw.size() - p);
            bytes.push_back(static_cast<uint8_t>(n));
            bytes.insert(bytes.end(), lzw.begin() + static_cast<long>(p), lzw.begin() + static_cast<long>(p + n));
        }
        bytes.push_back(0);
    }
    std::vector<uint8_t> Done() {
        bytes.push_back(0x3B);
        return bytes;
    }
};

const RgbQuad kRed{0, 0, 255, 0}, kGreen{0, 255, 0, 0}, kBlue{255, 0, 0, 0}, kWhite{255, 255, 255, 0};

TEST(GifDecode, SmallFirstFrameShowsBackgroundIndexAround) {
    GifBuilder g(4, 3, {kRed, kGreen, kBlue, kWhite}, 2);
    g.Image(1, 1, 2, 1, {0, 1});
    const DecoderContext ctx = Decode(g.Done());
    ASSERT_EQ(ctx.error, 0);
    EXPECT_EQ(ctx.image.bitCount(), 8);
    EXPECT_EQ(ctx.image.topRow(0)[0], 2);
    EXPECT_EQ(ctx.image.topRow(1)[1], 0);
    EXPECT_EQ(ctx.image.topRow(1)[2], 1);
    EXPECT_EQ(ctx.image.topRow(1)[3], 2);
    EXPECT_EQ(ctx.image.topRow(2)[3], 2);
    EXPECT_EQ(ctx.image.sourceBitDepth, 2);
    EXPECT_EQ(ctx.animation.frameCount(), 0);
}

TEST(GifDecode, TransparencyResolvedByAlphaAndFileBackground) {
    auto file = [] {
        GifBuilder g(2, 1, {kRed, kGreen, kBlue, kWhite}, 2);
        g.Gce(0, 0, 1);
        g.Image(0, 0, 2, 1, {0, 1});
        return g.Done();
    };
    LImgSettings opt;
    DecoderContext ctx = Decode(file(), false, opt);
    EXPECT_TRUE(ctx.flags.transparent);
    EXPECT_EQ(PixelAt(ctx.image, 1, 0), kBlue);  // the global entry at the background index
    opt.fbg = 0;
    opt.bgR = 10, opt.bgG = 20, opt.bgB = 30;
    ctx = Decode(file(), false, opt);
    EXPECT_EQ(PixelAt(ctx.image, 1, 0), (RgbQuad{30, 20, 10, 0}));
    opt.alpha = 0;
    ctx = Decode(file(), false, opt);
    EXPECT_EQ(PixelAt(ctx.image, 1, 0), kGreen);
    EXPECT_TRUE(ctx.flags.transparent);
}

TEST(GifDecode, DisposalAppliesAfterTheFrameIsShown) {
    GifBuilder g(3, 1, {kRed, kGreen, kBlue, kWhite}, 3);
    g.Netscape(3);
    g.Gce(2, 5);  // frame 0 shown whole, then its area goes to the background
    g.Image(0, 0, 3, 1, {0, 0, 0});
    g.Gce(3, 6);  // drawn on the cleared canvas, then undone
    g.Image(1, 0, 1, 1, {1});
    g.Gce(1, 7, 0);  // index 0 is transparent: the canvas shows through
    g.Image(0, 0, 3, 1, {0, 2, 0});
    const DecoderContext ctx = Decode(g.Done());
    ASSERT_EQ(ctx.error, 0);
    ASSERT_EQ(ctx.animation.frameCount(), 3);
    EXPECT_EQ(ctx.animation.loopCount, 3);
    EXPECT_EQ(ctx.animation.delays, (std::vector<int>{5, 6, 7}));
    auto row = [&](int f) {
        const ImageBuffer& img = FrameOf(ctx, f);
        return std::vector<RgbQuad>{PixelAt(img, 0, 0), PixelAt(img, 1, 0), PixelAt(img, 2, 0)};
    };
    EXPECT_EQ(row(0), (std::vector<RgbQuad>{kRed, kRed, kRed}));
    EXPECT_EQ(row(1), (std::vector<RgbQuad>{kWhite, kGreen, kWhite}));
    EXPECT_EQ(row(2), (std::vector<RgbQuad>{kWhite, kBlue, kWhite}));
}

TEST(GifDecode, FrameWithItsOwnTableKeepsEveryColour) {
    GifBuilder g(2, 2, {kRed, kGreen}, 0);
    g.Netscape(0);
    g.Image(0, 0, 2, 2, {0, 1, 1, 0});
    g.Image(0, 0, 1, 1, {1}, {kBlue, kWhite});
    // A third frame with a full table of other colours: the canvas no longer fits one table.
    std::vector<RgbQuad> full(256);
    for (int i = 0; i < 256; ++i) full[static_cast<size_t>(i)] = RgbQuad{static_cast<uint8_t>(i), 7, 9, 0};
    g.Image(1, 1, 1, 1, {200}, full, 8);
    const DecoderContext ctx = Decode(g.Done());
    ASSERT_EQ(ctx.animation.frameCount(), 3);
    const ImageBuffer& f1 = FrameOf(ctx, 1);
    EXPECT_EQ(PixelAt(f1, 0, 0), kWhite);
    EXPECT_EQ(PixelAt(f1, 1, 0), kGreen);
    EXPECT_EQ(PixelAt(f1, 0, 1), kGreen);
    EXPECT_EQ(PixelAt(f1, 1, 1), kRed);
    const ImageBuffer& f2 = FrameOf(ctx, 2);
    EXPECT_EQ(f2.bitCount(), 24);
    EXPECT_EQ(PixelAt(f2, 0, 0), kWhite);
    EXPECT_EQ(PixelAt(f2, 1, 0), kGreen);
    EXPECT_EQ(PixelAt(f2, 1, 1), (RgbQuad{200, 7, 9, 0}));
}

TEST(GifDecode, KeepsAtMost256Frames) {
    GifBuilder g(1, 1, {kRed, kGreen});
    g.Netscape(2);
    for (int i = 0; i < 257; ++i) g.Image(0, 0, 1, 1, {static_cast<uint8_t>(i & 1)});
    const DecoderContext ctx = Decode(g.Done());
    ASSERT_EQ(ctx.error, 0);
    EXPECT_EQ(ctx.animation.frameCount(), 256);
    EXPECT_EQ(ctx.animation.frames.size(), 255u);
    EXPECT_EQ(ctx.animation.loopCount, 2);
}

TEST(GifDecode, WithoutNetscapeBlockOnlyTheFirstFrame) {
    GifBuilder g(1, 1, {kRed, kGreen});
    g.Image(0, 0, 1, 1, {1});
    g.bytes.insert(g.bytes.end(), {0x21, 0xFE, 2, 'h', 'i', 0});
    g.Image(0, 0, 1, 1, {0});
    const DecoderContext ctx = Decode(g.Done());
    ASSERT_EQ(ctx.error, 0);
    EXPECT_EQ(ctx.animation.frameCount(), 0);
    EXPECT_EQ(PixelAt(ctx.image, 0, 0), kGreen);
    EXPECT_FALSE(ctx.flags.hasComment);  // decoding ended with the first frame
}

TEST(GifDecode, HeaderAndBlockErrors) {
    auto base = [] { return GifBuilder(2, 1, {kRed, kGreen}); };
    EXPECT_EQ(Decode({'G', 'I', 'F', '8', '9', 'a'}).error, kCodecBadInfo);
    std::vector<uint8_t> v = base().Done();
    v[4] = '8';  // GIF88a
    EXPECT_EQ(Decode(v).error, kCodecBadInfo);
    EXPECT_EQ(Decode(GifBuilder(0, 1, {kRed, kGreen}).Done()).error, kCodecUnsupported);
    EXPECT_EQ(Decode(GifBuilder(25001, 1, {kRed, kGreen}).Done()).error, kCodecUnsupported);
    EXPECT_EQ(Decode(base().Done()).error, kCodecBadInfo);  // no frame before the trailer
    GifBuilder noTable(2, 1, {});
    noTable.Image(0, 0, 2, 1, {0, 1});
    EXPECT_EQ(Decode(noTable.Done()).error, kCodecBadInfo);
    GifBuilder unknown = base();
    unknown.bytes.insert(unknown.bytes.end(), {0x21, 0x77, 0});
    unknown.Image(0, 0, 2, 1, {0, 1});
    EXPECT_EQ(Decode(unknown.Done()).error, kCodecRead);
    GifBuilder stray = base();
    stray.Netscape(0);  // animated: blocks after the first frame are read
    stray.Image(0, 0, 2, 1, {0, 1});
    stray.bytes.push_back(0x55);
    EXPECT_EQ(Decode(stray.Done()).error, kCodecRead);
    // Comments, plain text and foreign application blocks are skipped.
    GifBuilder skipped = base();
    skipped.bytes.insert(skipped.bytes.end(), {0x21, 0xFE, 2, 'h', 'i', 0, 0x21, 0x01, 1, 0, 0,
                                              0x21, 0xFF, 3, 'a', 'b', 'c', 1, 9, 0});
    skipped.Image(0, 0, 2, 1, {0, 1});
    const DecoderContext ok = Decode(skipped.Done());
    EXPECT_EQ(ok.error, 0);
    EXPECT_TRUE(ok.flags.hasComment);
}

TEST(GifDecode, TruncatedAndCorruptFilesFailCleanlyOrKeepWhatWasRead) {
    std::vector<std::vector<uint8_t>> files = {test::ReadFile(kSuite + "animated_loop_interlaced.gif"),
                                               test::ReadFile(kSuite + "animated_transparent_loop.gif")};
    for (const auto& file : files) {
        for (size_t n = 0; n < file.size(); ++n) {
            const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(n));
            const DecoderContext ctx = Decode(cut);
            if (ctx.error == 0) {
                ASSERT_EQ(ctx.image.width(), 100);
                EXPECT_LE(ctx.animation.frameCount(), 4);
            } else {
                EXPECT_TRUE(ctx.image.empty());
            }
        }
        std::mt19937 rng(7);
        for (int i = 0; i < 2000; ++i) {
            std::vector<uint8_t> bad = file;
            for (int k = 0; k < 4; ++k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
            const DecoderContext ctx = Decode(bad);
            if (ctx.error == 0) {
                EXPECT_FALSE(ctx.image.empty());
            }
        }
    }
}

TEST(GifLzw, MalformedStreamsStopCleanly) {
    // Codes run off the table at once, a stream without an end code, a code size out of range.
    const std::vector<uint8_t> junk = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_LE(GifLzwDecode(junk.data(), junk.size(), 2, 100).size(), 1u);
    const std::vector<uint8_t> pixels = {1, 2, 3, 1, 2, 3, 1, 2, 3, 0};
    std::vector<uint8_t> lzw = GifLzwEncode(pixels.data(), pixels.size(), 2);
    lzw.pop_back();
    const std::vector<uint8_t> partial = GifLzwDecode(lzw.data(), lzw.size(), 2, 100);
    ASSERT_LE(partial.size(), pixels.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), pixels.begin()));
    EXPECT_TRUE(GifLzwDecode(lzw.data(), lzw.size(), 12, 100).empty());
    EXPECT_TRUE(GifLzwDecode(lzw.data(), lzw.size(), 0, 100).empty());
    // Pixels beyond the frame are dropped.
    EXPECT_EQ(GifLzwDecode(lzw.data(), lzw.size(), 2, 4).size(), 4u);
}

TEST(GifLzw, LongStringsAndCutsInsideThem) {
    // A long run (strings of hundreds of indices, many made of the string before and its own
    // first index), then a repeating pattern.
    std::vector<uint8_t> pixels(200000, 5);
    for (size_t i = 100000; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 37 % 8);
    const std::vector<uint8_t> lzw = GifLzwEncode(pixels.data(), pixels.size(), 3);
    EXPECT_EQ(GifLzwDecode(lzw.data(), lzw.size(), 3, pixels.size()), pixels);
    for (const size_t limit : {size_t{1000}, size_t{150001}}) {
        const std::vector<uint8_t> part = GifLzwDecode(lzw.data(), lzw.size(), 3, limit);
        ASSERT_EQ(part.size(), limit);
        EXPECT_TRUE(std::equal(part.begin(), part.end(), pixels.begin()));
    }
}

TEST(GifLzw, RoundTripsAtEveryCodeSizeThroughTableResets) {
    std::mt19937 rng(3);
    for (int min = 2; min <= 8; ++min) {
        SCOPED_TRACE(min);
        for (const size_t count : {size_t{1}, size_t{2}, size_t{5000}, size_t{300000}}) {
            std::vector<uint8_t> pixels(count);
            // Runs and noise, so the table fills up and restarts several times.
            for (size_t i = 0; i < count; ++i)
                pixels[i] = static_cast<uint8_t>((i / 7 % 3 == 0 ? rng() : i / 13) & ((1u << min) - 1));
            const std::vector<uint8_t> lzw = GifLzwEncode(pixels.data(), pixels.size(), min);
            EXPECT_EQ(GifLzwDecode(lzw.data(), lzw.size(), min, count + 10), pixels);
        }
    }
}

// ---- encoding ----

ImageBuffer Picture24(int w, int h, uint32_t seed) {
    ImageBuffer img;
    img.Allocate(w, h, 24);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = img.topRow(y) + 3 * x;
            p[0] = static_cast<uint8_t>(x * 255 / w);
            p[1] = static_cast<uint8_t>(y * 255 / h);
            p[2] = static_cast<uint8_t>(rng() & 0xF0);
        }
    return img;
}

TEST(GifEncode, EveryDepthAndInterlaceReadsBackInGiflibAndOurs) {
    test::TempDir dir;
    const ImageBuffer img = Picture24(301, 203, 5);  // enough codes to fill the table
    for (int depth = 1; depth <= 8; ++depth) {
        for (int interlace = 0; interlace <= 1; ++interlace) {
            SCOPED_TRACE(depth * 10 + interlace);
            SaveRequest req;
            req.simg.depth = depth;
            req.simg.interlace = interlace;
            DecoderContext ctx;
            const std::string path = dir.File("out.gif");
            ASSERT_TRUE(EncodeGif(path, img, req, ctx));
            const std::vector<uint8_t> bytes = test::ReadFile(path);
            EXPECT_EQ(bytes[10], 0x80 | (depth - 1) << 4 | (depth - 1));
            const size_t descriptor = 13 + 3 * (size_t{1} << depth);
            ASSERT_EQ(bytes[descriptor], 0x2C);
            EXPECT_EQ(bytes[descriptor + 9], interlace ? 0x40 : 0);
            EXPECT_EQ(bytes[descriptor + 10], depth == 1 ? 2 : depth);
            EXPECT_EQ(bytes.back(), 0x3B);

            // The same reduction written as indices.
            ImageBuffer reduced;
            reduced.Allocate(img.width(), img.height(), 8);
            PixelConversion conv;
            conv.width = img.width();
            conv.height = img.height();
            conv.sourceDepth = 24;
            conv.targetDepth = depth;
            ASSERT_TRUE(ReduceColours(conv, 8, reduced.palette.data(), reduced.bits(), img.palette.data(), img.bits()));

            Reference ref;
            ASSERT_TRUE(ReadWithGiflib(path, ref));
            ASSERT_EQ(ref.frames.size(), 1u);
            const DecoderContext back = Decode(bytes, false);
            ASSERT_EQ(back.error, 0);
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const RgbQuad want = reduced.palette[reduced.topRow(y)[x]];
                    const Rgba& g = ref.frames[0][static_cast<size_t>(y) * img.width() + x];
                    ASSERT_TRUE(g.r == want.red && g.g == want.green && g.b == want.blue) << x << "," << y;
                    ASSERT_EQ(PixelAt(back.image, x, y), want);
                }
        }
    }
}

TEST(GifEncode, TransparentIndexIsTheLastExactMatchElseTheNearest) {
    // Three colours at 2 bits: the unused fourth entry is black as well.
    ImageBuffer img;
    img.Allocate(3, 1, 24);
    const uint8_t px[9] = {0, 0, 0, 0, 0, 200, 0, 190, 0};
    std::memcpy(img.bits(), px, 9);
    SaveRequest req;
    req.simg.depth = 2;
    req.saveTransparent = true;
    req.simg.alphaR = req.simg.alphaG = req.simg.alphaB = 0;
    DecoderContext ctx;
    std::vector<uint8_t> out;
    ASSERT_TRUE(EncodeGifBytes(img, req, out, ctx));
    EXPECT_EQ(out[11], 3);  // background index = transparent index
    const size_t gce = 13 + 12;
    const std::vector<uint8_t> want = {0x21, 0xF9, 4, 1, 0, 0, 3, 0};
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + gce, out.begin() + gce + 8), want);
    // No exact match: (250, 0, 0) is nearest to the red entry.
    req.simg.alphaR = 250;
    ASSERT_TRUE(EncodeGifBytes(img, req, out, ctx));
    const int red = out[gce + 6];
    EXPECT_EQ(out[13 + 3 * red], 200);
    EXPECT_EQ(out[13 + 3 * red + 1], 0);
    // The switch off: no control block and background 0.
    req.saveTransparent = false;
    ASSERT_TRUE(EncodeGifBytes(img, req, out, ctx));
    EXPECT_EQ(out[11], 0);
    EXPECT_EQ(out[gce], 0x2C);
}

TEST(GifEncode, EightBitPaletteAndPackedPicturesKeepTheirColours) {
    ImageBuffer img;
    img.Allocate(20, 10, 4);
    for (int i = 0; i < 16; ++i) img.palette[static_cast<size_t>(i)] = RgbQuad{static_cast<uint8_t>(i * 16), 3, 250, 0};
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) img.topRow(y)[x] = static_cast<uint8_t>((x + y) << 4 | ((x * y) & 15));
    SaveRequest req;
    req.simg.depth = 24;  // written as 8 bits
    DecoderContext ctx;
    std::vector<uint8_t> out;
    ASSERT_TRUE(EncodeGifBytes(img, req, out, ctx));
    EXPECT_EQ(out[10], 0xF7);
    const DecoderContext back = Decode(out, false);
    ASSERT_EQ(back.error, 0);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const int v = (img.topRow(y)[x / 2] >> (x % 2 ? 0 : 4)) & 15;
            ASSERT_EQ(PixelAt(back.image, x, y), img.palette[static_cast<size_t>(v)]);
        }
}

TEST(GifLoad, InfoReportsFramesAndReleaseDropsThem) {
    Session s;
    int stopped = 0;
    s.ui.animationStopped = [&] { ++stopped; };
    ASSERT_TRUE(LoadPicture(s, kSuite + "animated_loop.gif"));
    EXPECT_EQ(s.picture.animation.frameCount(), 4);
    EXPECT_EQ(s.picture.image.sourceFormat, kFormatGif);
    ASSERT_TRUE(LoadPicture(s, kSuite + "static_transparent.gif"));
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(s.picture.animation.frameCount(), 0);
    EXPECT_TRUE(s.picture.flags.transparent);
}

TEST(GifLoad, CliInfoEndsWithTheFrameCount) {
    const std::string file = kSuite + "animated_loop.gif";
    const std::string cmd = std::string("'") + LUMRA_CLI_PATH + "' info '" + file + "' '" + kSuite +
                            "static_nontransparent.gif'";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buf[512];
    while (fgets(buf, sizeof buf, p)) text += buf;
    EXPECT_EQ(pclose(p), 0);
    EXPECT_EQ(text, file + " format=5 width=100 height=100 bits=8 source_bits=5 file_size=873 flags=---- frames=4\n" +
                        kSuite + "static_nontransparent.gif format=5 width=100 height=100 bits=8 source_bits=5 file_size=678 flags=----\n");
}

}  // namespace
}  // namespace lumra
