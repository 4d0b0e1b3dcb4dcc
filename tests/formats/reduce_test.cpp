#include "formats/reduce.h"

#include <gtest/gtest.h>

#include <sstream>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "cli/cli.h"
#include "formats/bmp/bmp_codec.h"
#include "test_util.h"

namespace lumra {
namespace {

struct Rgb {
    int r, g, b;
};

RgbQuad Quad(int r, int g, int b) {
    return RgbQuad{static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
}

// A 24-bit picture from pixels listed in storage order (bottom row first).
ImageBuffer Picture24(int w, int h, const std::vector<Rgb>& stored) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, 24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb& c = stored[static_cast<size_t>(y * w + x)];
            uint8_t* p = img.storedRow(y) + 3 * x;
            p[0] = static_cast<uint8_t>(c.b);
            p[1] = static_cast<uint8_t>(c.g);
            p[2] = static_cast<uint8_t>(c.r);
        }
    return img;
}

ImageBuffer Picture8(int w, int h, const std::vector<int>& stored, const std::vector<RgbQuad>& palette) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, 8));
    std::copy(palette.begin(), palette.end(), img.palette.begin());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.storedRow(y)[x] = static_cast<uint8_t>(stored[static_cast<size_t>(y * w + x)]);
    return img;
}

// Grey palette entries give back their level under the palette formula.
ImageBuffer Grey8(int w, int h, const std::vector<int>& stored) {
    std::vector<RgbQuad> pal(256);
    for (int i = 0; i < 256; ++i) pal[static_cast<size_t>(i)] = Quad(i, i, i);
    return Picture8(w, h, stored, pal);
}

struct Reduced {
    bool ok = false;
    Palette palette{};
    std::vector<int> index;  // storage order
    std::vector<uint8_t> rows;
};

Reduced Reduce(const ImageBuffer& img, int depth, int dither, int pack = 8) {
    PixelConversion ctx;
    ctx.width = img.width();
    ctx.height = img.height();
    ctx.sourceDepth = img.bitCount();
    ctx.targetDepth = depth;
    ctx.dither = dither;
    ctx.sourceStride = img.stride();
    Reduced out;
    const size_t stride = PaddedRowBytes(img.width(), pack);
    out.rows.assign(stride * static_cast<size_t>(img.height()), 0xCD);
    out.ok = ReduceColours(ctx, pack, out.palette.data(), out.rows.data(), img.palette.data(), img.bits());
    const int perByte = 8 / pack;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const uint8_t b = out.rows[stride * static_cast<size_t>(y) + static_cast<size_t>(x / perByte)];
            out.index.push_back((b >> (8 - pack * (x % perByte + 1))) & ((1 << pack) - 1));
        }
    return out;
}

// ---- A literal, slow rendering of the reduction rules, to hold the fast paths to. ----

int Share(int dither, int weight, int e) {
    const int v = weight * e;
    if (dither == 1) return v / 24;
    return dither == 2 ? v >> 5 : v >> 4;
}

// Floyd-Steinberg on a whole plane with clamping at every addition.
template <class Pick>
std::vector<int> RefDiffuse(int w, int h, int channels, std::vector<int> plane, int dither, Pick pick) {
    std::vector<int> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int* v = &plane[static_cast<size_t>((y * w + x) * channels)];
            int chosen[3];
            out.push_back(pick(v, chosen));
            if (dither == 3) continue;
            for (int k = 0; k < channels; ++k) {
                const int e = v[k] - chosen[k];
                auto add = [&](int xx, int yy, int weight) {
                    if (xx < 0 || xx >= w || yy >= h) return;
                    int& t = plane[static_cast<size_t>((yy * w + xx) * channels + k)];
                    t = std::clamp(t + Share(dither, weight, e), 0, 255);
                };
                add(x + 1, y, 7);
                add(x - 1, y + 1, 3);
                add(x, y + 1, 5);
                add(x + 1, y + 1, 1);
            }
        }
    return out;
}

struct RefResult {
    std::vector<RgbQuad> palette;
    std::vector<int> index;
};

RefResult RefReduce(const ImageBuffer& img, int depth, int dither) {
    const int w = img.width(), h = img.height();
    std::vector<int> rgb;  // R, G, B per pixel in storage order
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (img.bitCount() == 8) {
                const RgbQuad& c = img.palette[img.storedRow(y)[x]];
                rgb.insert(rgb.end(), {c.red, c.green, c.blue});
            } else {
                const uint8_t* p = img.storedRow(y) + 3 * x;
                rgb.insert(rgb.end(), {p[2], p[1], p[0]});
            }
        }
    RefResult res;
    const size_t pixels = static_cast<size_t>(w) * static_cast<size_t>(h);
    if (depth == 1) {
        std::vector<int> grey;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (img.bitCount() == 8) {
                    const RgbQuad& c = img.palette[img.storedRow(y)[x]];
                    grey.push_back((306 * c.red + 603 * c.green + 117 * c.blue) / 1024);
                } else {
                    const uint8_t* p = img.storedRow(y) + 3 * x;
                    grey.push_back(306 * p[2] / 1024 + 603 * p[1] / 1024 + 117 * p[0] / 1024);
                }
            }
        res.palette = {Quad(0, 0, 0), Quad(255, 255, 255)};
        res.index = RefDiffuse(w, h, 1, grey, dither, [](int* v, int* chosen) {
            chosen[0] = v[0] >= 128 ? 255 : 0;
            return v[0] >= 128 ? 1 : 0;
        });
        return res;
    }
    const size_t n = size_t{1} << depth;
    std::vector<std::tuple<int, int, int>> distinct;
    std::set<std::tuple<int, int, int>> seen;
    for (size_t i = 0; i < pixels; ++i) {
        const auto c = std::make_tuple(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
        if (seen.insert(c).second) distinct.push_back(c);
    }
    if (distinct.size() <= n) {
        if (img.bitCount() == 24) {
            for (auto& [r, g, b] : distinct) res.palette.push_back(Quad(r, g, b));
            std::stable_sort(res.palette.begin(), res.palette.end(), [](const RgbQuad& a, const RgbQuad& b) {
                return a.red + a.green + a.blue < b.red + b.green + b.blue;
            });
        } else {
            std::set<int> used;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) used.insert(img.storedRow(y)[x]);
            for (int i : used) {
                const RgbQuad c = Quad(img.palette[i].red, img.palette[i].green, img.palette[i].blue);
                if (std::find(res.palette.begin(), res.palette.end(), c) == res.palette.end()) res.palette.push_back(c);
            }
        }
        for (size_t i = 0; i < pixels; ++i)
            res.index.push_back(static_cast<int>(
                std::find(res.palette.begin(), res.palette.end(), Quad(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2])) -
                res.palette.begin()));
        return res;
    }
    int shift = 6;
    for (int s = 3; s <= 5 && shift == 6; ++s) {
        std::set<int> coarse;
        for (size_t i = 0; i < pixels; ++i)
            coarse.insert((rgb[3 * i] >> (s + 1)) << 16 | (rgb[3 * i + 1] >> (s + 1)) << 8 | (rgb[3 * i + 2] >> (s + 1)));
        if (coarse.size() <= n) shift = s;
    }
    const int k = 8 - shift;
    // Every combination is a bucket, red slowest; an empty one has zero sums and the colour black.
    const int buckets = 1 << (3 * k);
    std::vector<std::array<uint64_t, 4>> bucket(static_cast<size_t>(buckets));  // count, sums
    for (size_t i = 0; i < pixels; ++i) {
        auto& b = bucket[static_cast<size_t>((rgb[3 * i] >> shift) << (2 * k) | (rgb[3 * i + 1] >> shift) << k |
                                             (rgb[3 * i + 2] >> shift))];
        b[0] += 1;
        for (int c = 0; c < 3; ++c) b[static_cast<size_t>(c) + 1] += static_cast<uint64_t>(rgb[3 * i + static_cast<size_t>(c)]);
    }
    std::vector<RgbQuad> mean(static_cast<size_t>(buckets));
    std::vector<uint64_t> count(static_cast<size_t>(buckets));
    for (size_t key = 0; key < bucket.size(); ++key) {
        const auto& b = bucket[key];
        count[key] = b[0];
        if (b[0]) mean[key] = Quad(static_cast<int>(b[1] / b[0]), static_cast<int>(b[2] / b[0]), static_cast<int>(b[3] / b[0]));
    }
    const uint64_t floor = pixels >> 16;
    const std::vector<int> levels[] = {{}, {}, {}, {0, 255}, {}, {0, 128, 255}, {0, 85, 170, 255}, {0, 85, 140, 195, 255},
                                       {0, 85, 135, 175, 215, 255}};
    std::vector<Rgb> seeds;
    if (depth == 2) seeds = {{0, 0, 0}, {0, 64, 255}, {255, 64, 0}, {255, 255, 255}};
    if (depth == 4)
        seeds = {{0, 0, 0},     {0, 0, 255},   {0, 128, 255}, {0, 255, 0},   {0, 255, 128},
                 {0, 255, 255}, {128, 0, 255}, {128, 128, 128}, {128, 255, 0}, {255, 0, 0},
                 {255, 0, 128}, {255, 0, 255}, {255, 128, 0}, {255, 255, 0}, {255, 255, 255}};
    for (int r : levels[depth])
        for (int g : levels[depth])
            for (int b : levels[depth]) seeds.push_back({r, g, b});
    const int threshold[] = {0, 0, 34560, 32512, 16129, 8064, 3612, 1512, 800};
    for (const Rgb& s : seeds) {
        int best = threshold[depth], pick = -1;
        for (int key = 0; key < buckets; ++key) {
            if (count[static_cast<size_t>(key)] < floor) continue;
            const RgbQuad m = mean[static_cast<size_t>(key)];
            const int d = (m.red - s.r) * (m.red - s.r) + (m.green - s.g) * (m.green - s.g) + (m.blue - s.b) * (m.blue - s.b);
            if (d < best) best = d, pick = key;
        }
        if (pick >= 0) res.palette.push_back(mean[static_cast<size_t>(pick)]), count[static_cast<size_t>(pick)] = 0;
    }
    while (res.palette.size() < n) {
        int pick = -1;
        for (int key = 0; key < buckets; ++key)
            if (count[static_cast<size_t>(key)] > 0 && (pick < 0 || count[static_cast<size_t>(key)] > count[static_cast<size_t>(pick)]))
                pick = key;
        if (pick < 0) break;
        res.palette.push_back(mean[static_cast<size_t>(pick)]);
        count[static_cast<size_t>(pick)] = 0;
    }
    std::stable_sort(res.palette.begin(), res.palette.end(),
                     [](const RgbQuad& a, const RgbQuad& b) { return a.red + a.green + a.blue < b.red + b.green + b.blue; });
    const std::vector<RgbQuad>& pal = res.palette;
    res.index = RefDiffuse(w, h, 3, rgb, dither, [&](int* v, int* chosen) {
        const int i = NearestEntryExhaustive(pal.data(), static_cast<int>(pal.size()), v[0], v[1], v[2]);
        chosen[0] = pal[static_cast<size_t>(i)].red;
        chosen[1] = pal[static_cast<size_t>(i)].green;
        chosen[2] = pal[static_cast<size_t>(i)].blue;
        return i;
    });
    return res;
}

void ExpectMatchesReference(const ImageBuffer& img, int depth, int dither) {
    SCOPED_TRACE(::testing::Message() << img.width() << "x" << img.height() << " from " << img.bitCount()
                                      << " bits, depth " << depth << ", dither " << dither);
    const Reduced got = Reduce(img, depth, dither);
    ASSERT_TRUE(got.ok);
    const RefResult want = RefReduce(img, depth, dither);
    for (size_t i = 0; i < 256; ++i)
        ASSERT_EQ(got.palette[i], i < want.palette.size() ? want.palette[i] : RgbQuad{}) << "entry " << i;
    ASSERT_EQ(got.index, want.index);
}

ImageBuffer RandomPicture(int w, int h, uint32_t seed, int spread) {
    std::mt19937 rng(seed);
    std::vector<Rgb> px;
    const int r0 = static_cast<int>(rng() % 256), g0 = static_cast<int>(rng() % 256), b0 = static_cast<int>(rng() % 256);
    for (int i = 0; i < w * h; ++i) {
        auto near = [&](int c) { return std::clamp(c + static_cast<int>(rng() % (2 * spread + 1)) - spread, 0, 255); };
        // Gradients plus noise, with an occasional saturated pixel.
        const int t = (i % w) * 255 / std::max(w - 1, 1);
        px.push_back(rng() % 17 == 0 ? Rgb{static_cast<int>(rng() % 2) * 255, 0, static_cast<int>(rng() % 2) * 255}
                                     : Rgb{near((r0 + t) % 256), near(g0), near((b0 + 255 - t) % 256)});
    }
    return Picture24(w, h, px);
}

// One row pattern repeated until the picture has at least 65536 pixels, so that the seeds'
// population floor is 1 and empty or taken buckets no longer qualify.
ImageBuffer Repeated(const std::vector<Rgb>& row) {
    const int w = static_cast<int>(row.size());
    const int h = (65536 + w - 1) / w;
    std::vector<Rgb> px;
    for (int y = 0; y < h; ++y) px.insert(px.end(), row.begin(), row.end());
    return Picture24(w, h, px);
}

// A few colour clusters: many colours in few coarse buckets, so every bucket precision occurs.
ImageBuffer ClusterPicture(int w, int h, uint32_t seed, int clusters, int spread) {
    std::mt19937 rng(seed);
    std::vector<Rgb> base;
    for (int i = 0; i < clusters; ++i)
        base.push_back({static_cast<int>(rng() % 256), static_cast<int>(rng() % 256), static_cast<int>(rng() % 256)});
    std::vector<Rgb> px;
    for (int i = 0; i < w * h; ++i) {
        const Rgb& c = base[rng() % base.size()];
        auto jitter = [&](int v) { return std::clamp(v + static_cast<int>(rng() % (spread + 1)), 0, 255); };
        px.push_back({jitter(c.r), jitter(c.g), jitter(c.b)});
    }
    return Picture24(w, h, px);
}

// ---- Tests ----

TEST(Grey, PaletteAndPixelFormulasDiffer) {
    EXPECT_EQ(GreyOfEntry(Quad(1, 1, 1)), 1);  // 1026 / 1024
    EXPECT_EQ(GreyOfPixel(1, 1, 1), 0);        // three truncated terms
    EXPECT_EQ(GreyOfEntry(Quad(100, 50, 200)), 82);
    EXPECT_EQ(GreyOfPixel(200, 50, 100), 80);
    EXPECT_EQ(GreyOfEntry(Quad(255, 255, 255)), 255);
    EXPECT_EQ(GreyOfPixel(255, 255, 255), 255);
    for (int v = 0; v < 256; ++v) EXPECT_EQ(GreyOfEntry(Quad(v, v, v)), v);

    // Rows keep their order and padding is cleared.
    ImageBuffer img = Picture24(3, 2, {{100, 50, 200}, {1, 1, 1}, {255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}});
    PixelConversion ctx{3, 2, 24, 8, 0, true, img.stride()};
    std::vector<uint8_t> grey(8, 0xEE);
    ASSERT_TRUE(ConvertToGrey(ctx, nullptr, img.bits(), grey.data()));
    EXPECT_EQ(grey, (std::vector<uint8_t>{80, 0, 255, 0, 0, 76, 150, 0}));

    ImageBuffer pal8 = Picture8(2, 1, {1, 0}, {Quad(1, 1, 1), Quad(100, 50, 200)});
    ctx = PixelConversion{2, 1, 8, 8, 0, true, 0};
    ASSERT_TRUE(ConvertToGrey(ctx, pal8.palette.data(), pal8.bits(), grey.data()));
    EXPECT_EQ(grey[0], 82);
    EXPECT_EQ(grey[1], 1);
    ctx.sourceDepth = 4;
    EXPECT_FALSE(ConvertToGrey(ctx, pal8.palette.data(), pal8.bits(), grey.data()));
}

TEST(OneBit, HardThresholdWithoutDiffusion) {
    std::vector<int> ramp(256);
    for (int i = 0; i < 256; ++i) ramp[static_cast<size_t>(i)] = i;
    const Reduced r = Reduce(Grey8(256, 1, ramp), 1, 3, 1);
    ASSERT_TRUE(r.ok);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(r.index[static_cast<size_t>(i)], i >= 128 ? 1 : 0) << i;
    EXPECT_EQ(r.rows[15], 0x00);
    EXPECT_EQ(r.rows[16], 0xFF);
    EXPECT_EQ(r.palette[0], Quad(0, 0, 0));
    EXPECT_EQ(r.palette[1], Quad(255, 255, 255));
    EXPECT_EQ(r.palette[2], RgbQuad{});
}

TEST(OneBit, ShareRoundingPerStrength) {
    // The first pixel (140) turns white with error -115; the second gets 7 x -115 shared by
    // floor(/16) = -51, trunc(/24) = -33 or floor(/32) = -26.
    struct Case {
        int second;
        int dither;
        int bit;
    };
    for (const Case& c : {Case{178, 0, 0}, Case{179, 0, 1}, Case{161, 1, 1}, Case{160, 1, 0}, Case{153, 2, 0},
                          Case{154, 2, 1}, Case{128, 3, 1}, Case{127, 3, 0}}) {
        const Reduced r = Reduce(Grey8(2, 1, {140, c.second}), 1, c.dither, 1);
        EXPECT_EQ(r.index, (std::vector<int>{1, c.bit})) << c.second << " dither " << c.dither;
    }
}

TEST(OneBit, ClampsAtEveryAdditionInVisitOrder) {
    // Stored rows [127, 150] / [250, 139]: the value under the first pixel is clamped at 255
    // before the share -10 from its right neighbour arrives, which leaves 245 (white, error
    // -10) and finally turns the last pixel black (125).
    const Reduced r = Reduce(Grey8(2, 2, {127, 150, 250, 139}), 1, 0, 1);
    EXPECT_EQ(r.index, (std::vector<int>{0, 1, 1, 0}));
    EXPECT_EQ(r.rows[0], 0x40);
    EXPECT_EQ(r.rows[4], 0x80);
}

TEST(OneBit, HandComputedSquare) {
    // 100s everywhere: 0, then 143 -> 1; the row above gets 110 and 71 + 48 = 119.
    EXPECT_EQ(Reduce(Grey8(2, 2, {100, 100, 100, 100}), 1, 0).index, (std::vector<int>{0, 1, 0, 0}));
    // A 24-bit grey (129,129,129) is 127 by the pixel formula, the palette entry 129.
    EXPECT_EQ(Reduce(Picture24(1, 1, {{129, 129, 129}}), 1, 3).index, (std::vector<int>{0}));
    EXPECT_EQ(Reduce(Grey8(1, 1, {129}), 1, 3).index, (std::vector<int>{1}));
}

TEST(ExactPalette, TwentyFourBitColoursByBrightnessThenStorageOrder) {
    // 16 colours; equal sums keep their first appearance in storage order, bottom row first:
    // (0,0,200) in the bottom row comes before (200,0,0) in the row above.
    std::vector<Rgb> stored;
    const std::vector<Rgb> colours = {{0, 0, 90},  {90, 0, 0}, {0, 90, 0},   {0, 0, 200}, {200, 0, 0},
                                      {10, 10, 10}, {5, 5, 5},  {255, 255, 255}, {1, 2, 3},  {3, 2, 1},
                                      {2, 2, 2},   {0, 0, 0},  {100, 100, 100}, {60, 60, 60}, {0, 180, 0}, {7, 0, 0}};
    for (const Rgb& c : colours) stored.push_back(c);
    const ImageBuffer img = Picture24(4, 4, stored);
    for (int dither : {0, 3}) {
        const Reduced r = Reduce(img, 4, dither, 4);
        ASSERT_TRUE(r.ok);
        const std::vector<RgbQuad> want = {Quad(0, 0, 0),   Quad(1, 2, 3),      Quad(3, 2, 1),     Quad(2, 2, 2),
                                           Quad(7, 0, 0),   Quad(5, 5, 5),      Quad(10, 10, 10),  Quad(0, 0, 90),
                                           Quad(90, 0, 0),  Quad(0, 90, 0),     Quad(60, 60, 60),  Quad(0, 180, 0),
                                           Quad(0, 0, 200), Quad(200, 0, 0),    Quad(100, 100, 100), Quad(255, 255, 255)};
        for (size_t i = 0; i < 16; ++i) EXPECT_EQ(r.palette[i], want[i]) << i;
        // Every pixel keeps its colour exactly: no diffusion.
        for (size_t i = 0; i < 16; ++i) EXPECT_EQ(r.palette[static_cast<size_t>(r.index[i])], Quad(colours[i].r, colours[i].g, colours[i].b));
    }
    // Fewer colours than entries: the rest stays black, the 2-bit packing holds.
    const Reduced few = Reduce(Picture24(3, 1, {{9, 9, 9}, {1, 1, 1}, {9, 9, 9}}), 2, 0, 2);
    EXPECT_EQ(few.index, (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(few.palette[2], RgbQuad{});
    EXPECT_EQ(few.rows[0], 0x44);
}

TEST(ExactPalette, EightBitKeepsPaletteOrderWithoutDuplicates) {
    // Five used entries hold four colours (entry 2 repeats entry 0): that fits four entries.
    // The unused white entry 5 is left out; order is palette order, not brightness.
    const std::vector<RgbQuad> pal = {Quad(200, 0, 0), Quad(0, 0, 50), Quad(200, 0, 0), Quad(0, 90, 0),
                                      Quad(255, 255, 255), Quad(255, 255, 255), Quad(1, 1, 1)};
    const ImageBuffer img = Picture8(3, 2, {6, 2, 1, 0, 3, 6}, pal);
    const Reduced r = Reduce(img, 2, 0, 2);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.palette[0], Quad(200, 0, 0));
    EXPECT_EQ(r.palette[1], Quad(0, 0, 50));
    EXPECT_EQ(r.palette[2], Quad(0, 90, 0));
    EXPECT_EQ(r.palette[3], Quad(1, 1, 1));
    EXPECT_EQ(r.index, (std::vector<int>{3, 0, 1, 0, 2, 3}));
    // One colour more than fits goes the adaptive way, which sorts by brightness; the black
    // seed of so small a picture takes an empty bucket.
    const ImageBuffer five = Picture8(5, 1, {0, 1, 3, 4, 6}, pal);
    ExpectMatchesReference(five, 2, 0);
    EXPECT_EQ(Reduce(five, 2, 3).palette[0], Quad(0, 0, 0));
    EXPECT_EQ(Reduce(five, 2, 3).palette[1], Quad(1, 1, 1));
}

TEST(AdaptivePalette, SeedsFillAndBrightnessOrder) {
    // Five 4-level buckets for four entries: the black seed takes the black bucket (mean of
    // three (0,0,0) and one (7,7,7) is (1,1,1)), white takes white; the grey, purple and green
    // buckets are too far from the other two seeds. The fill takes the two first in bucket
    // order among the equally populous green (0,2,0), purple (2,0,2) and grey (2,2,2).
    const std::vector<Rgb> row = {{0, 0, 0},       {0, 0, 0},     {0, 0, 0},     {7, 7, 7},       {255, 255, 255},
                                  {255, 255, 255}, {0, 128, 0},   {0, 128, 0},   {128, 0, 128},   {128, 0, 128},
                                  {128, 128, 128}, {128, 128, 128}, {100, 136, 100}};
    const ImageBuffer img = Repeated(row);
    const Reduced r = Reduce(img, 2, 3);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.palette[0], Quad(1, 1, 1));
    EXPECT_EQ(r.palette[1], Quad(0, 128, 0));
    EXPECT_EQ(r.palette[2], Quad(128, 0, 128));
    EXPECT_EQ(r.palette[3], Quad(255, 255, 255));
    // (100,136,100) is as far from green as from purple: the lower index wins.
    const std::vector<int> want = {0, 0, 0, 0, 3, 3, 1, 1, 2, 2, 2, 2, 1};
    EXPECT_TRUE(std::equal(want.begin(), want.end(), r.index.begin()));
    EXPECT_TRUE(std::equal(want.begin(), want.end(), r.index.end() - 13));
    for (int dither = 0; dither <= 3; ++dither) ExpectMatchesReference(img, 2, dither);
}

TEST(AdaptivePalette, SmallPicturesLetEveryBucketQualify) {
    // Under 65536 pixels the population floor is 0: the black seed takes the first empty
    // bucket (black, nearer than the real (10,10,60)), and the purple bucket, nearest to
    // both (0,64,255) and (255,64,0) within the threshold, is taken twice.
    const std::vector<Rgb> px = {{128, 64, 128}, {128, 64, 128}, {128, 64, 128}, {250, 250, 250},
                                 {10, 200, 10},  {128, 200, 128}, {10, 10, 60}};
    const ImageBuffer img = Picture24(7, 1, px);
    const Reduced r = Reduce(img, 2, 3);
    EXPECT_EQ(r.palette[0], Quad(0, 0, 0));
    EXPECT_EQ(r.palette[1], Quad(128, 64, 128));
    EXPECT_EQ(r.palette[2], Quad(128, 64, 128));
    EXPECT_EQ(r.palette[3], Quad(250, 250, 250));
    EXPECT_EQ(r.index, (std::vector<int>{1, 1, 1, 3, 0, 1, 0}));
    for (int dither = 0; dither <= 3; ++dither) ExpectMatchesReference(img, 2, dither);
    // From 65536 pixels on, the same colours keep (10,10,60) and fill with green instead.
    const Reduced big = Reduce(Repeated(px), 2, 3);
    EXPECT_EQ(big.palette[0], Quad(10, 10, 60));
    EXPECT_EQ(big.palette[1], Quad(10, 200, 10));
    EXPECT_EQ(big.palette[2], Quad(128, 64, 128));
    EXPECT_EQ(big.palette[3], Quad(250, 250, 250));
}

TEST(AdaptivePalette, SeedDistanceMustBeStrictlyBelowThreshold) {
    // Sixteen far colours twice each and one pixel exactly 127 from the black seed
    // (threshold 16129 at 4 bits): it is not a seed, and the fill prefers the pairs.
    const std::vector<Rgb> far = {{8, 124, 60},   {0, 68, 124},   {0, 64, 128},   {4, 128, 60},
                                  {0, 128, 64},   {124, 8, 60},   {68, 0, 124},   {64, 0, 128},
                                  {68, 124, 0},   {64, 128, 0},   {124, 188, 252}, {124, 252, 188},
                                  {128, 4, 60},   {128, 0, 64},   {128, 64, 0},   {188, 124, 252}};
    for (int blue : {127, 126}) {
        std::vector<Rgb> px;
        for (const Rgb& c : far) px.insert(px.end(), {c, c});
        px.push_back({0, 0, blue});
        const Reduced r = Reduce(Repeated(px), 4, 3);
        const bool seeded = std::find(r.palette.begin(), r.palette.begin() + 16, Quad(0, 0, blue)) != r.palette.begin() + 16;
        EXPECT_EQ(seeded, blue == 126) << blue;
    }
}

TEST(AdaptivePalette, DiffusedResultsMatchTheLiteralRules) {
    // Photograph-like and noisy pictures, odd sizes (one column, one row), every depth and strength.
    const std::vector<std::pair<int, int>> sizes = {{37, 23}, {1, 9}, {9, 1}, {2, 2}, {64, 48}};
    uint32_t seed = 1;
    for (auto [w, h] : sizes) {
        for (int spread : {3, 40}) {
            const ImageBuffer img = RandomPicture(w, h, seed++, spread);
            for (int depth = 1; depth <= 8; ++depth)
                for (int dither = 0; dither <= 3; ++dither) ExpectMatchesReference(img, depth, dither);
        }
    }
}

TEST(AdaptivePalette, BucketPrecisionFollowsTheCoarserCount) {
    // Black and (step,0,0) share a bucket from shift log2(step) + 1 on, so the precision
    // chosen (one finer than the first coarser grid with at most four colours, else 6)
    // keeps them apart: black stays pure and (step,0,0) gets the entry left after the seeds.
    for (int step : {8, 16, 32, 64}) {
        const ImageBuffer img =
            Repeated({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {step, 0, 0}, {100, 200, 50}, {200, 50, 150}, {255, 255, 255}});
        ExpectMatchesReference(img, 2, 3);
        const Reduced r = Reduce(img, 2, 3);
        EXPECT_EQ(r.palette[0], Quad(0, 0, 0)) << step;
        EXPECT_EQ(r.palette[1], Quad(step, 0, 0)) << step;
    }
    uint32_t seed = 40;
    for (int clusters : {2, 3, 5, 12, 40, 150})
        for (int spread : {3, 9, 30})
            for (int depth : {2, 3, 4, 6, 8}) ExpectMatchesReference(ClusterPicture(30, 20, seed++, clusters, spread), depth, 0);
}

TEST(AdaptivePalette, EightBitSourcesMatchTheLiteralRules) {
    std::mt19937 rng(7);
    std::vector<RgbQuad> pal(256);
    for (auto& q : pal) q = Quad(static_cast<int>(rng() % 256), static_cast<int>(rng() % 256), static_cast<int>(rng() % 256));
    pal[9] = pal[3];  // a duplicate entry
    std::vector<int> px;
    for (int i = 0; i < 40 * 30; ++i) px.push_back(static_cast<int>(rng() % (i % 3 ? 256 : 12)));
    const ImageBuffer img = Picture8(40, 30, px, pal);
    for (int depth = 1; depth <= 8; ++depth)
        for (int dither = 0; dither <= 3; ++dither) ExpectMatchesReference(img, depth, dither);
}

TEST(AdaptivePalette, LargePictureUsesThePopulationFloor) {
    // 300 x 300 pixels: buckets need (90000 >> 16) = 1 pixel, and the per-row kernels run long rows.
    const ImageBuffer img = RandomPicture(300, 300, 99, 20);
    for (int dither : {0, 1}) ExpectMatchesReference(img, 8, dither);
    ExpectMatchesReference(img, 3, 2);
}

TEST(Packing, IndicesPackMostSignificantFirstWithClearedPadding) {
    const ImageBuffer img = RandomPicture(13, 3, 5, 60);
    const Reduced wide = Reduce(img, 2, 0, 8);
    for (int pack : {2, 4}) {
        const Reduced packed = Reduce(img, 2, 0, pack);
        EXPECT_EQ(packed.index, wide.index);
        const size_t stride = PaddedRowBytes(13, pack), used = static_cast<size_t>((13 * pack + 7) / 8);
        for (int y = 0; y < 3; ++y)
            for (size_t i = used; i < stride; ++i) EXPECT_EQ(packed.rows[stride * static_cast<size_t>(y) + i], 0);
    }
    // 13 pixels of 2 bits: the last byte holds one index in its top bits.
    const Reduced p2 = Reduce(img, 2, 0, 2);
    EXPECT_EQ(p2.rows[3] & 0x3F, 0);
}

TEST(Reduction, RefusesWhatItCannotDo) {
    const ImageBuffer img = RandomPicture(4, 4, 3, 10);
    PixelConversion ctx{4, 4, 24, 4, 0, false, 0};
    Palette pal{};
    std::vector<uint8_t> out(64);
    EXPECT_TRUE(ReduceColours(ctx, 4, pal.data(), out.data(), nullptr, img.bits()));
    EXPECT_FALSE(ReduceColours(ctx, 2, pal.data(), out.data(), nullptr, img.bits()));  // 16 colours in 2 bits
    EXPECT_FALSE(ReduceColours(ctx, 3, pal.data(), out.data(), nullptr, img.bits()));
    EXPECT_FALSE(ReduceColours(ctx, 4, nullptr, out.data(), nullptr, img.bits()));
    ctx.targetDepth = 9;
    EXPECT_FALSE(ReduceColours(ctx, 8, pal.data(), out.data(), nullptr, img.bits()));
    ctx.targetDepth = 4;
    ctx.sourceDepth = 8;  // no source palette
    EXPECT_FALSE(ReduceColours(ctx, 4, pal.data(), out.data(), nullptr, img.bits()));
    ctx.sourceDepth = 4;
    EXPECT_FALSE(ReduceColours(ctx, 4, pal.data(), out.data(), img.palette.data(), img.bits()));
    ctx = PixelConversion{4, 4, 24, 4, 0, false, 8};  // stride shorter than a row
    EXPECT_FALSE(ReduceColours(ctx, 4, pal.data(), out.data(), nullptr, img.bits()));
    ctx = PixelConversion{0, 4, 24, 4, 0, false, 0};
    EXPECT_FALSE(ReduceColours(ctx, 4, pal.data(), out.data(), nullptr, img.bits()));
    // A strength outside 0..3 counts as full diffusion.
    EXPECT_EQ(Reduce(img, 3, 16).index, Reduce(img, 3, 0).index);
}

TEST(NearestEntry, FastSearchEqualsExhaustiveSearch) {
    std::mt19937 rng(11);
    for (int round = 0; round < 12; ++round) {
        const int count = round == 0 ? 1 : (round == 1 ? 256 : 1 + static_cast<int>(rng() % 256));
        std::vector<RgbQuad> pal(static_cast<size_t>(count));
        const int spread = round % 3 == 0 ? 256 : 24;  // scattered or clustered
        const int base = static_cast<int>(rng() % 200);
        for (auto& q : pal)
            q = Quad(std::min(255, base + static_cast<int>(rng() % spread)), static_cast<int>(rng() % 256),
                     std::min(255, base + static_cast<int>(rng() % spread)));
        for (int i = 1; i < count; i += 7) pal[static_cast<size_t>(i)] = pal[static_cast<size_t>(i - 1)];  // duplicates
        NearestEntryIndex index;
        ASSERT_TRUE(index.Reset(pal.data(), count));
        for (int probe = 0; probe < 20000; ++probe) {
            const int r = static_cast<int>(rng() % 256), g = static_cast<int>(rng() % 256), b = static_cast<int>(rng() % 256);
            ASSERT_EQ(index.Find(r, g, b), NearestEntryExhaustive(pal.data(), count, r, g, b))
                << "round " << round << " colour " << r << "," << g << "," << b;
        }
    }
    // Symmetric palettes make many exact ties; the lowest index must win each.
    std::vector<RgbQuad> grid;
    for (int r : {0, 64, 128, 192, 255})
        for (int g : {32, 96, 160, 224})
            for (int b : {0, 128, 255}) grid.push_back(Quad(r, g, b));
    NearestEntryIndex index;
    ASSERT_TRUE(index.Reset(grid.data(), static_cast<int>(grid.size())));
    for (int r = 0; r < 256; r += 2)
        for (int g = 0; g < 256; g += 4)
            for (int b = 0; b < 256; b += 2)
                ASSERT_EQ(index.Find(r, g, b), NearestEntryExhaustive(grid.data(), static_cast<int>(grid.size()), r, g, b));
}

TEST(CountColours, DistinctColoursAndIndices) {
    EXPECT_EQ(CountColours(Picture24(3, 2, {{1, 2, 3}, {3, 2, 1}, {1, 2, 3}, {0, 0, 0}, {255, 255, 255}, {3, 2, 1}})), 4u);
    std::vector<Rgb> all;
    for (int i = 0; i < 4096; ++i) all.push_back({i & 255, i >> 4, (i * 7) & 255});
    std::set<std::tuple<int, int, int>> unique;
    for (const Rgb& c : all) unique.insert({c.r, c.g, c.b});
    EXPECT_EQ(CountColours(Picture24(64, 64, all)), unique.size());

    // Indices, not colours: entries 0 and 1 are both black.
    std::vector<int> every(256);
    for (int i = 0; i < 256; ++i) every[static_cast<size_t>(i)] = 255 - i;
    EXPECT_EQ(CountColours(Picture8(16, 16, every, {})), 256u);
    EXPECT_EQ(CountColours(Picture8(3, 1, {0, 1, 0}, {})), 2u);
    // Padding bytes are not pixels.
    ImageBuffer odd = Picture8(1, 2, {5, 5}, {});
    odd.storedRow(0)[1] = 9;
    EXPECT_EQ(CountColours(odd), 1u);
    ImageBuffer four;
    ASSERT_TRUE(four.Allocate(3, 1, 4));
    four.bits()[0] = 0x12;
    four.bits()[1] = 0x1F;  // the low nibble is padding
    EXPECT_EQ(CountColours(four), 2u);
    EXPECT_FALSE(CountColours(ImageBuffer{}).has_value());

    const ColourCountMessage m = MakeColourCountMessage("photo.bmp", 256);
    EXPECT_EQ(m.caption, "photo.bmp");
    EXPECT_EQ(m.text, "使用色数 = 256");
}

TEST(ConvertPixels, ReducesAndGoesThroughGrey) {
    const ImageBuffer img = RandomPicture(21, 5, 77, 50);
    const size_t stride4 = PaddedRowBytes(21, 4), stride8 = PaddedRowBytes(21, 8), stride24 = PaddedRowBytes(21, 24);
    PixelConversion ctx{21, 5, 24, 4, 1, false, img.stride()};
    Palette pal{};
    std::vector<uint8_t> out(stride24 * 5, 0xAB);
    ASSERT_TRUE(ConvertPixels(ctx, pal.data(), out.data(), nullptr, img.bits()));
    const Reduced direct = Reduce(img, 4, 1, 4);
    EXPECT_EQ(pal, direct.palette);
    EXPECT_TRUE(std::equal(direct.rows.begin(), direct.rows.end(), out.begin()));

    // Grey at 8 bits: the grey rows under a grey ramp.
    std::vector<uint8_t> grey(stride8 * 5);
    ASSERT_TRUE(ConvertToGrey(ctx, nullptr, img.bits(), grey.data()));
    ctx.gray = true;
    ctx.targetDepth = 8;
    ASSERT_TRUE(ConvertPixels(ctx, pal.data(), out.data(), nullptr, img.bits()));
    EXPECT_TRUE(std::equal(grey.begin(), grey.end(), out.begin()));
    for (int i = 0; i < 256; ++i) EXPECT_EQ(pal[static_cast<size_t>(i)], Quad(i, i, i));
    // Grey at 24 bits, and grey first then reduced at 4 bits.
    ctx.targetDepth = 24;
    ASSERT_TRUE(ConvertPixels(ctx, nullptr, out.data(), nullptr, img.bits()));
    EXPECT_EQ(out[stride24 + 9], grey[stride8 + 3]);
    EXPECT_EQ(out[stride24 + 10], grey[stride8 + 3]);
    std::vector<int> levels;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 21; ++x) levels.push_back(grey[stride8 * static_cast<size_t>(y) + static_cast<size_t>(x)]);
    const Reduced greyReduced = Reduce(Grey8(21, 5, levels), 4, 1, 4);
    ctx.targetDepth = 4;
    ASSERT_TRUE(ConvertPixels(ctx, pal.data(), out.data(), nullptr, img.bits()));
    EXPECT_EQ(pal, greyReduced.palette);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(stride4 * 5), greyReduced.rows.begin()));
    // A packed 4-bit source goes to grey through its palette.
    ImageBuffer packed;
    ASSERT_TRUE(packed.Allocate(2, 1, 4));
    packed.bits()[0] = 0x10;
    packed.palette[0] = Quad(1, 1, 1);
    packed.palette[1] = Quad(100, 50, 200);
    PixelConversion four{2, 1, 4, 8, 0, true, 0};
    ASSERT_TRUE(ConvertPixels(four, pal.data(), out.data(), packed.palette.data(), packed.bits()));
    EXPECT_EQ(out[0], 82);
    EXPECT_EQ(out[1], 1);
}

// The tool's BMP output at every depth and strength carries exactly the reduction's
// palette and rows.
TEST(SaveBmp, DepthGrayAndDitherReachTheFile) {
    test::TempDir dir;
    const ImageBuffer photo = RandomPicture(37, 23, 31, 45);
    const std::vector<RgbQuad> pal8 = [] {
        std::vector<RgbQuad> p;
        for (int i = 0; i < 256; ++i) p.push_back(Quad(i * 7 % 256, i, 255 - i));
        return p;
    }();
    std::vector<int> idx;
    for (int i = 0; i < 37 * 23; ++i) idx.push_back((i * 13 + i / 37) % 200);
    const ImageBuffer indexed = Picture8(37, 23, idx, pal8);
    for (const ImageBuffer* src : {&photo, &indexed}) {
        const std::string in = dir.File(src->bitCount() == 8 ? "in8.bmp" : "in24.bmp");
        DecoderContext wctx;
        ASSERT_TRUE(WriteBmpFile(in, *src, src->bitCount(), false, 0, wctx));
        for (int depth : {1, 2, 4, 8}) {
            if (depth == 8 && src->bitCount() == 8) continue;
            for (int dither = 0; dither <= 3; ++dither) {
                for (bool grey : {false, true}) {
                    SCOPED_TRACE(::testing::Message() << src->bitCount() << " -> " << depth << " dither " << dither << (grey ? " grey" : ""));
                    const std::string out = dir.File("out.bmp");
                    std::vector<std::string> args = {"convert", in, out, "--format", "bmp", "--depth", std::to_string(depth),
                                                     "--dither", std::to_string(dither)};
                    if (grey) args.push_back("--gray");
                    std::ostringstream o, e;
                    ASSERT_EQ(RunCli(args, o, e), 0) << e.str();
                    const std::vector<uint8_t> file = test::ReadFile(out);
                    const int bits = depth == 2 ? 4 : depth;  // BMP offers 1, 4, 8 and 24
                    const size_t entries = size_t{1} << bits;
                    ASSERT_GE(file.size(), 54 + 4 * entries);
                    EXPECT_EQ(file[28], bits);
                    EXPECT_EQ(file[46] | file[47] << 8, static_cast<int>(entries));

                    ImageBuffer source = src->Clone();
                    if (grey) {
                        std::vector<int> levels;
                        PixelConversion g{37, 23, src->bitCount(), 8, 0, false, src->stride()};
                        std::vector<uint8_t> rows(PaddedRowBytes(37, 8) * 23);
                        ASSERT_TRUE(ConvertToGrey(g, src->palette.data(), src->bits(), rows.data()));
                        for (int y = 0; y < 23; ++y)
                            for (int x = 0; x < 37; ++x) levels.push_back(rows[PaddedRowBytes(37, 8) * static_cast<size_t>(y) + static_cast<size_t>(x)]);
                        source = Grey8(37, 23, levels);
                    }
                    Reduced want;
                    if (grey && bits == 8) {
                        // 8-bit grey is the grey picture itself under its ramp.
                        FillGreyPalette(want.palette);
                        want.rows.assign(source.bits(), source.bits() + source.imageBytes());
                    } else {
                        want = Reduce(source, bits, dither, bits);
                    }
                    for (size_t i = 0; i < entries; ++i) {
                        const uint8_t* q = &file[54 + 4 * i];
                        EXPECT_EQ((RgbQuad{q[0], q[1], q[2], q[3]}), want.palette[i]) << "entry " << i;
                    }
                    EXPECT_TRUE(std::equal(want.rows.begin(), want.rows.end(), file.begin() + static_cast<std::ptrdiff_t>(54 + 4 * entries)));
                    EXPECT_EQ(file.size(), 54 + 4 * entries + want.rows.size());
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumra
