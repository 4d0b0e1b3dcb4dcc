#include "view/first_view.h"

#include <gtest/gtest.h>

#include <tuple>

#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg_test_util.h"
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

// The stand-in carries the whole picture's facts; what is shown is the 1/N decode reduced to
// the displayed size; pictures that are not shown reduced, or not JPEGs, are left alone.
TEST(DecodeFirstView, StandInHasTheFullFactsAndTheRowsTheScaledDecode) {
    JpegEncodeOptions options;
    options.comment = "x";
    options.xResolution = options.yResolution = 3780;
    std::vector<uint8_t> file;
    DecoderContext enc;
    ASSERT_TRUE(EncodeJpegToMemory(test::JpegPattern(403, 301), options, file, enc));
    const auto shownAt = [](int dw, int dh) {
        return [=](int, int, int* w, int* h) {
            *w = dw;
            *h = dh;
            return true;
        };
    };
    FirstView view;
    ASSERT_TRUE(DecodeFirstView(file.data(), file.size(), 1234, shownAt(100, 75), view));
    DecodedPicture full;
    ASSERT_TRUE(DecodeOwnFormatData(file.data(), file.size(), LImgSettings{}, 1234, full));
    const ImageBuffer& a = view.standIn.image;
    const ImageBuffer& b = full.image;
    EXPECT_EQ(view.scale, 4);
    EXPECT_EQ(std::tuple(a.width(), a.height(), a.bitCount(), a.sourceFormat, a.sourceBitDepth, a.fileSize, a.fileTime,
                         a.header.biXPelsPerMeter),
              std::tuple(b.width(), b.height(), b.bitCount(), b.sourceFormat, b.sourceBitDepth, b.fileSize, b.fileTime,
                         b.header.biXPelsPerMeter));
    EXPECT_EQ(view.standIn.flags, full.flags);
    EXPECT_EQ(view.standIn.format, kFormatJpeg);

    DecoderContext quarter;
    JpegFileInfo info;
    ASSERT_TRUE(DecodeJpegScaled(file.data(), file.size(), 4, quarter, info));
    std::vector<uint32_t> rows(100 * 75);
    ASSERT_TRUE(BoxReduce(quarter.image, 100, 75, rows.data(), 100 * sizeof(uint32_t)));
    EXPECT_EQ(std::tuple(view.displayW, view.displayH), std::tuple(100, 75));
    EXPECT_EQ(view.rows, rows);

    FirstView untouched;
    EXPECT_FALSE(DecodeFirstView(file.data(), file.size(), 0, shownAt(300, 200), untouched));  // 1/2 too small
    EXPECT_FALSE(DecodeFirstView(file.data(), file.size(), 0, nullptr, untouched));
    const std::vector<uint8_t> notJpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    EXPECT_FALSE(DecodeFirstView(notJpeg.data(), notJpeg.size(), 0, shownAt(1, 1), untouched));
    EXPECT_TRUE(untouched.rows.empty());
}

}  // namespace
}  // namespace lumra
