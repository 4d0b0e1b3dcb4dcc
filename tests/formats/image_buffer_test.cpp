#include <gtest/gtest.h>

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

}  // namespace
}  // namespace lumra
