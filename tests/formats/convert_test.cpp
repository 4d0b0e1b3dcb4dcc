#include <gtest/gtest.h>

#include <vector>

#include "formats/convert.h"

namespace lumra {
namespace {

PixelConversion Conv(int w, int h, int from, int to) {
    PixelConversion c;
    c.width = w;
    c.height = h;
    c.sourceDepth = from;
    c.targetDepth = to;
    return c;
}

std::vector<RgbQuad> Ramp(int n) {
    std::vector<RgbQuad> p(256);
    for (int i = 0; i < n; ++i) p[i] = RgbQuad{uint8_t(10 + i), uint8_t(100 + i), uint8_t(200 + i), 0};
    return p;
}

TEST(Convert, RowBytes) {
    EXPECT_EQ(ConversionRowBytes(1, 1), 4u);
    EXPECT_EQ(ConversionRowBytes(33, 1), 8u);
    EXPECT_EQ(ConversionRowBytes(17, 2), 8u);
    EXPECT_EQ(ConversionRowBytes(9, 4), 8u);
    EXPECT_EQ(ConversionRowBytes(5, 8), 8u);
    EXPECT_EQ(ConversionRowBytes(5, 24), 16u);
    EXPECT_EQ(ConversionRowBytes(5, 32), 20u);
    EXPECT_EQ(ConversionRowBytes(5, 48), 30u);
    EXPECT_EQ(ConversionRowBytes(0, 24), 0u);
    EXPECT_EQ(ConversionRowBytes(5, 16), 0u);
    EXPECT_EQ(ConversionRowBytes(25000, 48), 150000u);
}

TEST(Convert, UnpacksIndicesAndCopiesTheTable) {
    // Width 13: a partial last byte at every depth; two rows to check the strides.
    const int w = 13;
    for (int depth : {1, 2, 4}) {
        SCOPED_TRACE(depth);
        const size_t stride = ConversionRowBytes(w, depth);
        std::vector<uint8_t> src(2 * stride, 0);
        std::vector<int> want(2 * w);
        const int levels = 1 << depth;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < w; ++x) {
                const int v = (x * 5 + y * 3) % levels;
                want[y * w + x] = v;
                const int bit = x * depth;
                src[y * stride + bit / 8] |= static_cast<uint8_t>(v << (8 - depth - bit % 8));
            }
        // Junk in the source padding must not show.
        src[stride - 1] |= depth == 4 ? 0x0F : 0x01;
        const auto pal = Ramp(levels);
        std::vector<RgbQuad> outPal(256, RgbQuad{9, 9, 9, 9});
        std::vector<uint8_t> dst(2 * 16, 0xEE);
        ASSERT_TRUE(ConvertPixels(Conv(w, 2, depth, 8), outPal.data(), dst.data(), pal.data(), src.data()));
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < w; ++x) EXPECT_EQ(dst[y * 16 + x], want[y * w + x]) << x << "," << y;
            for (int x = w; x < 16; ++x) EXPECT_EQ(dst[y * 16 + x], 0) << "padding";
        }
        for (int i = 0; i < levels; ++i) EXPECT_EQ(outPal[i], pal[i]);
        for (int i = levels; i < 256; ++i) EXPECT_EQ(outPal[i], RgbQuad{}) << i;
    }
}

TEST(Convert, ExpandsThroughThePalette) {
    const int w = 5;
    for (int depth : {1, 4, 8}) {
        SCOPED_TRACE(depth);
        const size_t stride = ConversionRowBytes(w, depth);
        std::vector<uint8_t> src(stride, 0);
        std::vector<int> idx(w);
        for (int x = 0; x < w; ++x) {
            idx[x] = depth == 8 ? 250 - x * 40 : (x * 3) % (1 << depth);
            const int bit = x * depth;
            src[bit / 8] |= static_cast<uint8_t>(idx[x] << (8 - depth - bit % 8));
        }
        const auto pal = Ramp(256);
        std::vector<uint8_t> dst(16, 0xEE);
        ASSERT_TRUE(ConvertPixels(Conv(w, 1, depth, 24), nullptr, dst.data(), pal.data(), src.data()));
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(dst[3 * x], pal[idx[x]].blue) << x;
            EXPECT_EQ(dst[3 * x + 1], pal[idx[x]].green) << x;
            EXPECT_EQ(dst[3 * x + 2], pal[idx[x]].red) << x;
        }
        EXPECT_EQ(dst[15], 0);
    }
}

TEST(Convert, CopiesAndSampleWidths) {
    // 8 -> 8 and 24 -> 24 with a wider source stride than needed.
    PixelConversion c = Conv(3, 2, 8, 8);
    c.sourceStride = 6;
    const std::vector<uint8_t> src8 = {1, 2, 3, 9, 9, 9, 4, 5, 6, 9, 9, 9};
    auto pal = Ramp(256);
    pal[7].reserved = 5;
    std::vector<RgbQuad> outPal(256);
    std::vector<uint8_t> dst(8);
    ASSERT_TRUE(ConvertPixels(c, outPal.data(), dst.data(), pal.data(), src8.data()));
    EXPECT_EQ(dst, (std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
    EXPECT_EQ(outPal[7], (RgbQuad{17, 107, 207, 0}));
    EXPECT_EQ(outPal[255], pal[255]);

    const std::vector<uint8_t> src24 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
    std::vector<uint8_t> d24(12, 0xEE);
    ASSERT_TRUE(ConvertPixels(Conv(3, 1, 24, 24), nullptr, d24.data(), nullptr, src24.data()));
    EXPECT_EQ(d24, src24);

    // 24 -> 48 -> 24 is lossless; the wide samples are v * 257, little-endian.
    std::vector<uint8_t> d48(18);
    ASSERT_TRUE(ConvertPixels(Conv(3, 1, 24, 48), nullptr, d48.data(), nullptr, src24.data()));
    EXPECT_EQ(d48[0] | d48[1] << 8, 1 * 257);
    EXPECT_EQ(d48[16] | d48[17] << 8, 9 * 257);
    d48[2] = 0xFF;  // low byte only: narrowing keeps the high byte
    std::vector<uint8_t> back(12, 0xEE);
    ASSERT_TRUE(ConvertPixels(Conv(3, 1, 48, 24), nullptr, back.data(), nullptr, d48.data()));
    EXPECT_EQ(back, src24);
}

TEST(Convert, RefusesWhatItCannotDo) {
    std::vector<uint8_t> src(64), dst(256);
    const auto pal = Ramp(256);
    std::vector<RgbQuad> outPal(256);
    auto run = [&](PixelConversion c, const RgbQuad* sp = nullptr, RgbQuad* dp = nullptr) {
        return ConvertPixels(c, dp, dst.data(), sp, src.data());
    };
    EXPECT_FALSE(run(Conv(2, 2, 16, 24)));
    EXPECT_FALSE(run(Conv(2, 2, 32, 24)));
    EXPECT_FALSE(run(Conv(2, 2, 2, 24), pal.data()));
    EXPECT_FALSE(run(Conv(2, 2, 48, 8), nullptr, outPal.data()));
    EXPECT_FALSE(run(Conv(0, 2, 24, 24)));
    EXPECT_FALSE(run(Conv(2, 0, 24, 24)));
    EXPECT_FALSE(run(Conv(2, 2, 8, 24)));                       // no source palette
    EXPECT_FALSE(run(Conv(2, 2, 1, 8), pal.data()));            // no destination palette
    PixelConversion narrow = Conv(9, 1, 24, 24);
    narrow.sourceStride = 8;                                    // shorter than a row
    EXPECT_FALSE(run(narrow));
}

}  // namespace
}  // namespace lumra
