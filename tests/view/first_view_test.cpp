#include "view/first_view.h"

#include <gtest/gtest.h>

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

    // The rows left to be made later are the same rows.
    FirstView deferred;
    ASSERT_TRUE(DecodeFirstView(file.data(), file.size(), 1234, shownAt(100, 75), deferred, nullptr, true));
    EXPECT_TRUE(deferred.rows.empty());
    ASSERT_TRUE(MakeFirstViewRows(deferred));
    EXPECT_EQ(deferred.rows, rows);
    EXPECT_TRUE(deferred.reduced.empty());
    EXPECT_FALSE(MakeFirstViewRows(deferred));

    FirstView untouched;
    EXPECT_FALSE(DecodeFirstView(file.data(), file.size(), 0, shownAt(300, 200), untouched));  // 1/2 too small
    EXPECT_FALSE(DecodeFirstView(file.data(), file.size(), 0, nullptr, untouched));
    const std::vector<uint8_t> notJpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    EXPECT_FALSE(DecodeFirstView(notJpeg.data(), notJpeg.size(), 0, shownAt(1, 1), untouched));
    EXPECT_TRUE(untouched.rows.empty());
}


// Read and decoded ahead: the same rows as a decode made at open when the early scale covers
// the displayed size; another file, a missing file or a non-JPEG is not taken.
TEST(FirstViewAhead, TakenOnlyForTheSameUnchangedFileAndUsedWhenItCovers) {
    test::TempDir dir;
    std::vector<uint8_t> file;
    DecoderContext enc;
    ASSERT_TRUE(EncodeJpegToMemory(test::JpegPattern(403, 301), JpegEncodeOptions{}, file, enc));
    const std::string path = dir.File("a.jpg");
    test::WriteFile(path, file);
    const FirstViewSizeFn shown = [](int, int, int* w, int* h) {
        *w = 100;
        *h = 75;
        return true;
    };
    FirstView plain;
    ASSERT_TRUE(DecodeFirstView(file.data(), file.size(), 0, shown, plain));
    ASSERT_EQ(plain.scale, 4);

    struct Case {
        int boundW, boundH, aheadScale;
        bool rowsAsPlain;
    };
    const Case cases[] = {
        {100, 75, 4, true},    // the same scale
        {1920, 1080, 1, true}, // the screen is not smaller than the picture: nothing decoded ahead
        {200, 150, 2, false},  // finer than needed: used, reduced from the half-size decode
        {50, 37, 8, true},     // coarser than needed: not used, decoded at open
        {0, 0, 1, true},       // never started
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.boundW);
        FirstViewAhead ahead(path);
        if (c.boundW > 0) ahead.Start(c.boundW, c.boundH);
        std::vector<uint8_t> data;
        int64_t time = 0;
        ReducedJpeg reduced;
        ASSERT_TRUE(ahead.Take(dir.File("./a.jpg"), data, time, reduced));
        EXPECT_EQ(data, file);
        EXPECT_EQ(time, FileModifiedTime(path));
        EXPECT_EQ(reduced.scale, c.aheadScale);
        FirstView view;
        ASSERT_TRUE(DecodeFirstView(data.data(), data.size(), time, shown, view, &reduced));
        if (c.rowsAsPlain) {
            EXPECT_EQ(view.rows, plain.rows);
        } else {
            DecoderContext half;
            JpegFileInfo info;
            ASSERT_TRUE(DecodeJpegScaled(file.data(), file.size(), 2, half, info));
            std::vector<uint32_t> rows(100 * 75);
            ASSERT_TRUE(BoxReduce(half.image, 100, 75, rows.data(), 100 * sizeof(uint32_t)));
            EXPECT_EQ(view.rows, rows);
        }
    }

    std::vector<uint8_t> data;
    int64_t time = 0;
    ReducedJpeg reduced;
    test::WriteFile(dir.File("b.jpg"), file);
    FirstViewAhead other(path);
    EXPECT_FALSE(other.Take(dir.File("b.jpg"), data, time, reduced));
    test::WriteFile(dir.File("c.gif"), {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0});
    FirstViewAhead gif(dir.File("c.gif"));
    EXPECT_FALSE(gif.Take(dir.File("c.gif"), data, time, reduced));
    FirstViewAhead missing(dir.File("none.jpg"));
    EXPECT_FALSE(missing.Take(dir.File("none.jpg"), data, time, reduced));
    EXPECT_TRUE(data.empty());
}

}  // namespace
}  // namespace lumra
