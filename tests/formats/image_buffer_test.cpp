#include <gtest/gtest.h>

#include <cstring>

#include "formats/image_buffer.h"

namespace lumra {
namespace {

TEST(ImageBuffer, RowsArePaddedToFourBytes) {
    EXPECT_EQ(PaddedRowBytes(1, 24), 4u);
    EXPECT_EQ(PaddedRowBytes(5, 24), 16u);
    EXPECT_EQ(PaddedRowBytes(3, 8), 4u);
    EXPECT_EQ(PaddedRowBytes(33, 1), 8u);
    EXPECT_EQ(PaddedRowBytes(9, 4), 8u);
    EXPECT_EQ(PaddedRowBytes(0, 24), 0u);
}

TEST(ImageBuffer, AllocateChecksTheSizeLimits) {
    ImageBuffer b;
    EXPECT_TRUE(b.Allocate(25000, 1, 8));
    EXPECT_FALSE(b.Allocate(25001, 1, 8));
    EXPECT_FALSE(b.Allocate(1, 0, 24));
    EXPECT_FALSE(b.Allocate(2, 2, 16));
    ASSERT_TRUE(b.Allocate(3, 2, 24));
    EXPECT_EQ(b.header.biSize, 40u);
    EXPECT_EQ(b.header.biPlanes, 1);
    EXPECT_EQ(b.stride(), 12u);
    EXPECT_EQ(b.topRow(0), b.storedRow(1));
    for (size_t i = 0; i < b.imageBytes(); ++i) EXPECT_EQ(b.bits()[i], 0);
}

// Rows the caller fills: the bytes past the pixels are still zero (files written whole), even
// in memory used before.
TEST(ImageBuffer, UnclearedRowsKeepZeroPadding) {
    struct Case {
        int w, bits;
        size_t firstPad;
    };
    for (const Case& c : {Case{5, 24, 15}, Case{3, 8, 3}, Case{9, 4, 5}, Case{33, 1, 5}, Case{4, 8, 4}}) {
        ImageBuffer b;
        ASSERT_TRUE(b.Allocate(c.w, 300, c.bits));
        std::memset(b.bits(), 0xFF, b.imageBytes());
        ASSERT_TRUE(b.Allocate(c.w, 300, c.bits, false));
        for (int y = 0; y < 300; ++y) {
            for (size_t i = c.firstPad; i < b.stride(); ++i) EXPECT_EQ(b.topRow(y)[i], 0) << c.w << " " << y << " " << i;
        }
    }
}

}  // namespace
}  // namespace lumra
