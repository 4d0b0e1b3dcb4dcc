#include "view/view_scaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace lumra {
namespace {

// The box average of one output pixel, worked out directly.
uint32_t Expected(const ImageBuffer& image, int outW, int outH, int ox, int oy) {
    const int w = image.width();
    const int h = image.height();
    const int x0 = static_cast<int>(int64_t{ox} * w / outW);
    const int x1 = static_cast<int>(int64_t{ox + 1} * w / outW);
    const int y0 = static_cast<int>(int64_t{oy} * h / outH);
    const int y1 = static_cast<int>(int64_t{oy + 1} * h / outH);
    double r = 0, g = 0, b = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const uint8_t* row = image.topRow(y);
            if (image.bitCount() == 24) {
                b += row[x * 3];
                g += row[x * 3 + 1];
                r += row[x * 3 + 2];
            } else {
                const RgbQuad& q = image.palette[row[x]];
                r += q.red;
                g += q.green;
                b += q.blue;
            }
        }
    }
    const double n = double(x1 - x0) * (y1 - y0);
    auto c = [n](double v) { return static_cast<uint32_t>(std::floor(v / n + 0.5)); };
    return 0xFF000000u | c(r) << 16 | c(g) << 8 | c(b);
}

TEST(BoxReduce, MatchesDirectAverages) {
    std::mt19937 rng(7);
    ImageBuffer rgb;
    ASSERT_TRUE(rgb.Allocate(37, 23, 24));
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37 * 3; ++x) rgb.topRow(y)[x] = static_cast<uint8_t>(rng());
    ImageBuffer pal;
    ASSERT_TRUE(pal.Allocate(37, 23, 8));
    for (auto& q : pal.palette) q = RgbQuad{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) pal.topRow(y)[x] = static_cast<uint8_t>(rng());
    for (const ImageBuffer* image : {&rgb, &pal}) {
        for (auto [ow, oh] : {std::pair{37, 23}, {36, 22}, {10, 7}, {1, 1}, {37, 1}, {5, 23}}) {
            std::vector<uint32_t> out(static_cast<size_t>(ow) * oh + 3, 0xDEADBEEF);
            ASSERT_TRUE(BoxReduce(*image, ow, oh, out.data(), static_cast<size_t>(ow) * 4));
            for (int y = 0; y < oh; ++y)
                for (int x = 0; x < ow; ++x)
                    ASSERT_EQ(out[static_cast<size_t>(y) * ow + x], Expected(*image, ow, oh, x, y))
                        << image->bitCount() << " " << ow << "x" << oh << " at " << x << "," << y;
            EXPECT_EQ(out.back(), 0xDEADBEEFu);  // nothing past the rows
        }
    }
}

// Even pictures keep their value at every box size, up to boxes of more than 2^16 pixels.
TEST(BoxReduce, EvenPicturesKeepTheirValue) {
    for (const int side : {254, 257}) {
        ImageBuffer image;
        ASSERT_TRUE(image.Allocate(side, 256, 24));
        for (const uint8_t v : {0, 1, 127, 128, 254, 255}) {
            for (int y = 0; y < 256; ++y) std::fill_n(image.topRow(y), side * 3, v);
            for (auto [ow, oh] : {std::pair{1, 1}, {2, 1}, {3, 7}, {100, 99}}) {
                std::vector<uint32_t> out(static_cast<size_t>(ow) * oh);
                ASSERT_TRUE(BoxReduce(image, ow, oh, out.data(), static_cast<size_t>(ow) * 4));
                for (const uint32_t p : out) ASSERT_EQ(p, 0xFF000000u | v * 0x010101u) << side << " " << ow;
            }
        }
    }
}

// Rows made in parts are the rows of the whole; a range outside the rows is refused.
TEST(BoxReduce, RowsInPartsAsTheWhole) {
    std::mt19937 rng(3);
    ImageBuffer image;
    ASSERT_TRUE(image.Allocate(53, 41, 24));
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 53 * 3; ++x) image.topRow(y)[x] = static_cast<uint8_t>(rng());
    std::vector<uint32_t> whole(20 * 13), parts(20 * 13);
    ASSERT_TRUE(BoxReduce(image, 20, 13, whole.data(), 80));
    for (auto [a, e] : {std::pair{0, 6}, {6, 6}, {6, 13}})
        ASSERT_TRUE(BoxReduceRows(image, 20, 13, a, e, parts.data(), 80));
    EXPECT_EQ(parts, whole);
    for (auto [a, e] : {std::pair{-1, 3}, {3, 14}, {7, 6}})
        EXPECT_FALSE(BoxReduceRows(image, 20, 13, a, e, parts.data(), 80));
}

TEST(BoxReduce, LowDepthsAndRefusals) {
    ImageBuffer four;
    ASSERT_TRUE(four.Allocate(4, 1, 4));
    four.palette[1] = RgbQuad{0, 0, 200, 0};
    four.palette[2] = RgbQuad{0, 100, 0, 0};
    four.topRow(0)[0] = 0x12;
    four.topRow(0)[1] = 0x12;
    uint32_t out[2] = {};
    ASSERT_TRUE(BoxReduce(four, 2, 1, out, 8));
    EXPECT_EQ(out[0], 0xFF643200u);  // (200 + 0) / 2 red, (0 + 100) / 2 green
    ImageBuffer mono;
    ASSERT_TRUE(mono.Allocate(9, 1, 1));
    mono.palette[1] = RgbQuad{255, 255, 255, 0};
    mono.topRow(0)[0] = 0xFF;  // first eight white
    uint32_t three[3] = {};
    ASSERT_TRUE(BoxReduce(mono, 3, 1, three, 12));
    EXPECT_EQ(three[0], 0xFFFFFFFFu);
    EXPECT_EQ(three[2], 0xFFAAAAAAu);  // two white of three

    // Enlarging, empty pictures, short strides and other depths are refused.
    EXPECT_FALSE(BoxReduce(four, 5, 1, out, 20));
    EXPECT_FALSE(BoxReduce(four, 0, 1, out, 8));
    EXPECT_FALSE(BoxReduce(four, 2, 1, out, 4));
    EXPECT_FALSE(BoxReduce(ImageBuffer{}, 1, 1, out, 4));
    EXPECT_FALSE(BoxReduce(four, 1, 1, nullptr, 4));
}

}  // namespace
}  // namespace lumra
