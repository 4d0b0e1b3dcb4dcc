#include <gtest/gtest.h>

#include "formats/load_save.h"
#include "test_util.h"

namespace lumra {
namespace {

struct Case {
    std::vector<uint8_t> bytes;
    FormatCode expected;
};

// The same table through a file and through bytes in memory.
TEST(DetectFormat, FirstBytesDecide) {
    const std::vector<Case> cases = {
        {{}, kFormatEmpty},
        // One byte: the missing second byte reads as 0.
        {{'B'}, kFormatUnknown},
        {{'G'}, kFormatUnknown},
        {{0x89}, kFormatUnknown},
        {{0xFF}, kFormatUnknown},
        {{0x00}, kFormatUnknown},
        // Two bytes decide BMP and JPEG on their own.
        {{'B', 'M'}, kFormatBmp},
        {{0xFF, 0xD8}, kFormatJpeg},
        {{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}, kFormatBmp},
        {{0xFF, 0xD8, 0xFF, 0xE0}, kFormatJpeg},
        {{0xFF, 0xD9}, kFormatUnknown},
        {{'M', 'B'}, kFormatUnknown},
        // GIF: the third byte must be 'F'; the version is not looked at.
        {{'G', 'I'}, kFormatEmpty},
        {{'G', 'I', 'F'}, kFormatGif},
        {{'G', 'I', 'F', '0', '0', '0'}, kFormatGif},
        {{'G', 'I', 'X'}, kFormatUnknown},
        // TIFF big-endian: the fourth byte, the third is skipped.
        {{'M', 'M'}, kFormatEmpty},
        {{'M', 'M', 0x00}, kFormatEmpty},
        {{'M', 'M', 0x00, 0x2A}, kFormatTiff},
        {{'M', 'M', 0x77, 0x2A}, kFormatTiff},
        {{'M', 'M', 0x2A, 0x00}, kFormatUnknown},
        // TIFF little-endian: the third byte.
        {{'I', 'I'}, kFormatEmpty},
        {{'I', 'I', 0x2A}, kFormatTiff},
        {{'I', 'I', 0x2A, 0x00, 8, 0, 0, 0}, kFormatTiff},
        {{'I', 'I', 0x2B, 0x00}, kFormatUnknown},
        {{'I', 'I', 0x00, 0x2A}, kFormatUnknown},
        // PNG: all eight bytes; short is "empty", a mismatch unknown.
        {{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, kFormatPng},
        {{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13}, kFormatPng},
        {{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A}, kFormatEmpty},
        {{0x89, 0x50}, kFormatEmpty},
        {{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x00}, kFormatUnknown},
        {{0x89, 0x50, 0x4F, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, kFormatUnknown},
        {{0x89, 0x51, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, kFormatUnknown},
        {{'P', 'K', 3, 4}, kFormatUnknown},
    };
    test::TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(DetectFormatBytes(c.bytes.data(), c.bytes.size()), c.expected);
        const std::string path = dir.File(std::to_string(n++).append(".jpg"));
        test::WriteFile(path, c.bytes);
        EXPECT_EQ(DetectFormat(path), c.expected);
    }
}

TEST(DetectFormat, UnopenableIsUnknown) {
    test::TempDir dir;
    EXPECT_EQ(DetectFormat(dir.File("missing")), kFormatUnknown);
    EXPECT_EQ(DetectFormat(dir.path()), kFormatUnknown);
    EXPECT_EQ(DetectFormatBytes(nullptr, 0), kFormatEmpty);
}

TEST(DetectFormat, DecoderTable) {
    // Every own format has a decoder; the others have none.
    for (FormatCode f : {kFormatBmp, kFormatPng, kFormatJpeg, kFormatTiff, kFormatGif})
        EXPECT_NE(DecoderFor(f), nullptr) << f;
    EXPECT_EQ(DecoderFor(kFormatUnknown), nullptr);
    EXPECT_EQ(DecoderFor(kFormatEmpty), nullptr);
    EXPECT_EQ(DecoderFor(static_cast<FormatCode>(99)), nullptr);
}

}  // namespace
}  // namespace lumra
