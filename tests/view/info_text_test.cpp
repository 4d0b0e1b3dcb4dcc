#include "view/info_text.h"

#include <gtest/gtest.h>

namespace lumra {
namespace {

CurrentPicture MakePicture(const char* name, int w, int h, int bits, uint32_t format, int32_t size) {
    CurrentPicture pic;
    EXPECT_TRUE(pic.image.Allocate(w, h, bits));
    pic.image.sourceFormat = format;
    pic.image.sourceBitDepth = bits;
    pic.image.fileSize = size;
    pic.fileName = name;
    pic.path = std::string("/pics/") + name;
    return pic;
}

TEST(InfoText, JpegWithComment) {
    CurrentPicture pic = MakePicture("a.jpg", 640, 480, 24, kFormatJpeg, 52300);
    pic.flags.hasComment = true;
    HistoryState history;
    EXPECT_EQ(BuildInfoText(pic, history), "a.jpg  ( C  640x480  24bit  51.0KB )");
    EXPECT_EQ(MainWindowTitle(pic, history, 10000), "a.jpg  ( C  640x480  24bit  51.0KB )  100%");
    EXPECT_EQ(MainWindowTitle(pic, history, 5001), "a.jpg  ( C  640x480  24bit  51.0KB )  50%");
    history.position = 1;
    EXPECT_EQ(BuildInfoText(pic, history), "a.jpg*  ( C  640x480  24bit  51.0KB )");
}

TEST(InfoText, LettersPerFormat) {
    PictureFlags all{true, true, true, true};
    EXPECT_EQ(FormatFlagLetters(kFormatPng, all), "IAT");
    EXPECT_EQ(FormatFlagLetters(kFormatJpeg, all), "PCE");
    EXPECT_EQ(FormatFlagLetters(kFormatTiff, all), "C");
    EXPECT_EQ(FormatFlagLetters(kFormatGif, all), "IAC");
    EXPECT_EQ(FormatFlagLetters(kFormatBmp, all), "");
    EXPECT_EQ(FormatFlagLetters(kFormatUnknown, all), "");
    EXPECT_EQ(FormatFlagLetters(kFormatPng, PictureFlags{false, true, false, true}), "A");
    EXPECT_EQ(FormatFlagLetters(kFormatJpeg, PictureFlags{false, false, true, false}), "E");

    // No letters: no extra blanks; the stored depth is shown.
    CurrentPicture bmp = MakePicture("b.bmp", 3, 2, 8, kFormatBmp, 1023);
    bmp.image.sourceBitDepth = 4;
    bmp.flags = all;
    EXPECT_EQ(BuildInfoText(bmp, HistoryState{}), "b.bmp  ( 3x2  4bit  0.9KB )");
}

TEST(InfoText, KilobytesTruncate) {
    EXPECT_EQ(FormatKilobytes(0), "0.0KB");
    EXPECT_EQ(FormatKilobytes(1023), "0.9KB");
    EXPECT_EQ(FormatKilobytes(1024), "1.0KB");
    EXPECT_EQ(FormatKilobytes(1126), "1.0KB");  // 1.0996...
    EXPECT_EQ(FormatKilobytes(1127), "1.1KB");
    EXPECT_EQ(FormatKilobytes(2047), "1.9KB");
    EXPECT_EQ(FormatKilobytes(2147483647), "2097151.9KB");
}

TEST(InfoText, TitlesWithoutPicture) {
    CurrentPicture none;
    EXPECT_EQ(BuildInfoText(none, HistoryState{}), "");
    EXPECT_EQ(MainWindowTitle(none, HistoryState{}, 10000), "Lumra Ex");
    EXPECT_EQ(EditWindowTitle(none, HistoryState{}, true, 5000), "Lumra Ex");
    CurrentPicture pic = MakePicture("c.png", 1, 1, 24, kFormatPng, 100);
    EXPECT_EQ(EditWindowTitle(pic, HistoryState{}, false, 0), "c.png  ( 1x1  24bit  0.0KB )  ");
    EXPECT_EQ(EditWindowTitle(pic, HistoryState{}, true, 52300),
              "c.png  ( 1x1  24bit  0.0KB )   .... 51.0KB");
}

}  // namespace
}  // namespace lumra
