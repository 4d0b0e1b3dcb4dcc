#include "view/first_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg_test_util.h"
#include "platform/file_io.h"
#include "test_util.h"
#include "view/view_scaler.h"

namespace lumra {
namespace {

TEST(FirstViewScale, LargestReductionThatCoversTheDisplay) {
    struct Case {
        int pw, ph, dw, dh, scale;
    };
    const Case cases[] = {
        {6000, 4000, 750, 500, 8},    // exactly 1/8
        {6000, 4000, 751, 500, 4},    // one pixel wider than 1/8
        {6000, 4000, 750, 501, 4},    // one pixel taller
        {6001, 4001, 751, 501, 8},    // the reduced sides round up
        {6000, 4000, 1500, 1000, 4},
        {6000, 4000, 1501, 1000, 2},
        {6000, 4000, 3000, 2000, 2},
        {6000, 4000, 3001, 2000, 1},
        {6000, 4000, 6000, 4000, 1},  // shown at 100 %
        {6000, 4000, 12000, 8000, 1}, // enlarged
        {100, 100, 1, 1, 8},
        {0, 4000, 10, 10, 1},         // nothing to reduce
        {6000, 4000, 0, 500, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstViewScale(c.pw, c.ph, c.dw, c.dh), c.scale)
            << c.pw << "x" << c.ph << " shown " << c.dw << "x" << c.dh;
}

std::vector<uint8_t> EncodedPattern(int w, int h, const JpegEncodeOptions& options) {
    std::vector<uint8_t> file;
    DecoderContext enc;
    EXPECT_TRUE(EncodeJpegToMemory(test::JpegPattern(w, h), options, file, enc));
    return file;
}

// The stand-in, made from the header alone, has every fact the whole decode has.
TEST(MakeStandIn, HasTheWholePicturesFacts) {
    JpegEncodeOptions plain, commented, grey, progressive;
    commented.comment = "x";
    commented.xResolution = commented.yResolution = 3780;
    grey.grey = true;
    progressive.progressive = true;
    for (const JpegEncodeOptions* options : {&plain, &commented, &grey, &progressive}) {
        const std::vector<uint8_t> file = EncodedPattern(403, 301, *options);
        DecodedPicture standIn, full;
        ASSERT_TRUE(MakeStandIn(file.data(), file.size(), 1234, standIn));
        ASSERT_TRUE(DecodeOwnFormatData(file.data(), file.size(), LImgSettings{}, 1234, full));
        const ImageBuffer& a = standIn.image;
        const ImageBuffer& b = full.image;
        EXPECT_EQ(std::tuple(a.width(), a.height(), a.bitCount(), a.sourceFormat, a.sourceBitDepth, a.fileSize,
                             a.fileTime, a.header.biXPelsPerMeter, a.header.biYPelsPerMeter, a.palette),
                  std::tuple(b.width(), b.height(), b.bitCount(), b.sourceFormat, b.sourceBitDepth, b.fileSize,
                             b.fileTime, b.header.biXPelsPerMeter, b.header.biYPelsPerMeter, b.palette));
        EXPECT_EQ(standIn.flags, full.flags);
        EXPECT_EQ(standIn.format, kFormatJpeg);
    }
    const std::vector<uint8_t> notJpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    DecodedPicture none;
    EXPECT_FALSE(MakeStandIn(notJpeg.data(), notJpeg.size(), 0, none));
}

// The rows made while decoding equal the scaled decode reduced afterwards; the decode runs at the
// scale Start asks for, or at a 1920 x 1080 screen's when Start comes late; a scale that does not
// cover the displayed size gives no rows; only the same unchanged JPEG is taken.
TEST(FirstViewAhead, RowsAsTheScaledDecodeReducedAndOnlyForTheSameFile) {
    test::TempDir dir;
    const std::vector<uint8_t> file = EncodedPattern(403, 301, JpegEncodeOptions{});
    const std::string path = dir.File("a.jpg");
    test::WriteFile(path, file);
    const auto reducedAt = [&](int scale, int dw, int dh) {
        DecoderContext ctx;
        JpegFileInfo info;
        EXPECT_TRUE(DecodeJpegScaled(file.data(), file.size(), scale, ctx, info));
        std::vector<uint32_t> rows(static_cast<size_t>(dw) * dh);
        EXPECT_TRUE(BoxReduce(ctx.image, dw, dh, rows.data(), dw * sizeof(uint32_t)));
        return rows;
    };
    struct Case {
        int boundW, boundH, scale, dw, dh;
        bool rows;
    };
    const Case cases[] = {
        {100, 75, 4, 100, 75, true},
        {200, 150, 2, 100, 75, true},   // a finer decode serves a smaller display
        {50, 37, 8, 100, 75, false},    // a coarser one does not cover it
        {1920, 1080, 1, 100, 75, false},  // not shown reduced on that screen: nothing decoded
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.boundW);
        FirstViewAhead ahead(path);
        ahead.Start(c.boundW, c.boundH);
        ASSERT_TRUE(ahead.TakeHeader(dir.File("./a.jpg")));
        EXPECT_EQ(ahead.data(), file);
        EXPECT_EQ(ahead.fileTime(), FileModifiedTime(path));
        EXPECT_EQ(ahead.header().imageWidth, 403);
        EXPECT_EQ(ahead.Scale(), c.scale);
        std::vector<uint32_t> rows;
        EXPECT_EQ(ahead.ReduceToDisplay(c.dw, c.dh, rows), c.rows);
        if (c.rows) {
            EXPECT_EQ(rows, reducedAt(c.scale, c.dw, c.dh));
        }
    }

    test::WriteFile(dir.File("b.jpg"), file);
    FirstViewAhead other(path);
    EXPECT_FALSE(other.TakeHeader(dir.File("b.jpg")));
    test::WriteFile(dir.File("c.gif"), {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0});
    FirstViewAhead gif(dir.File("c.gif"));
    EXPECT_FALSE(gif.TakeHeader(dir.File("c.gif")));
    FirstViewAhead missing(dir.File("none.jpg"));
    EXPECT_FALSE(missing.TakeHeader(dir.File("none.jpg")));
}

// A decode that fails after its rows were told says so while the rows are still there, and
// whoever follows the rows gets none.
TEST(FirstViewAhead, FailureAfterRowsIsToldBeforeTheRowsGo) {
    std::vector<uint8_t> file = EncodedPattern(403, 301, JpegEncodeOptions{});
    // A second frame header in the middle of the data: the decode stops there, fills the
    // rest and fails at the end.
    const std::vector<uint8_t> sof = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x10, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00};
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2), sof.begin(), sof.end());
    DecoderContext ctx;
    JpegFileInfo info;
    std::vector<int> told;
    bool rowsThereAtFailure = false;
    EXPECT_FALSE(DecodeJpegScaled(file.data(), file.size(), 2, ctx, info, [&](int rows) {
        told.push_back(rows);
        if (rows < 0) rowsThereAtFailure = !ctx.image.empty();
    }));
    ASSERT_GE(told.size(), 2u);
    EXPECT_EQ(told.back(), -1);
    EXPECT_TRUE(rowsThereAtFailure);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end() - 1));
    EXPECT_TRUE(ctx.image.empty());

    test::TempDir dir;
    const std::string path = dir.File("bad.jpg");
    test::WriteFile(path, file);
    for (int run = 0; run < 5; ++run) {
        FirstViewAhead ahead(path);
        ahead.Start(100, 75);
        ASSERT_TRUE(ahead.TakeHeader(path));
        std::vector<uint32_t> rows;
        // Made before the failure or not at all; never from rows already gone.
        if (ahead.ReduceToDisplay(100, 75, rows)) {
            EXPECT_EQ(rows.size(), 100u * 75u);
        }
    }
}

}  // namespace
}  // namespace lumra
