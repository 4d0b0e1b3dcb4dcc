#include "document/save_bar.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "document/document.h"
#include "shell/session.h"
#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;

SaveBarContext Picture(uint32_t format, int bits) { return {true, format, bits, false}; }
const SaveBarContext kNoPicture{};

TEST(SaveBar, DepthSelectionRules) {
    struct Case {
        int format, depth, gray;
        SaveBarContext ctx;
        int entry, depthAfter, grayAfter;
    };
    const SaveBarContext bmp24 = Picture(kFormatBmp, 24);
    const Case cases[] = {
        {kSaveBmp, 24, 1, bmp24, 0, 24, 0},  {kSaveBmp, 6, 0, bmp24, 1, 6, 0},
        {kSaveBmp, 2, 0, bmp24, 2, 2, 0},    {kSaveBmp, 1, 0, bmp24, 3, 1, 0},
        {kSavePng, 8, 1, bmp24, 5, 8, 1},    {kSavePng, 5, 0, bmp24, 1, 5, 0},
        {kSavePng, 3, 0, bmp24, 2, 3, 0},    {kSavePng, 2, 0, bmp24, 3, 2, 0},
        {kSavePng, 1, 0, bmp24, 4, 1, 0},    {kSavePng, 24, 0, bmp24, 0, 24, 0},
        {kSaveJpeg, 4, 0, bmp24, 0, 24, 0},  {kSaveJpeg, 4, 1, bmp24, 1, 4, 1},
        {kSaveTiff, 24, 1, bmp24, 4, 24, 1}, {kSaveTiff, 3, 0, bmp24, 2, 3, 0},
        {kSaveGif, 24, 1, bmp24, 0, 8, 0},   {kSaveGif, 1, 0, bmp24, 7, 1, 0},
        {kSaveGif, 5, 0, bmp24, 3, 5, 0},
        {kSaveJpegTrans, 24, 0, Picture(kFormatJpeg, 8), 1, 8, 1},
        {kSaveJpegTrans, 8, 1, Picture(kFormatJpeg, 24), 0, 24, 0},
        {kSaveJpegTrans, 8, 1, kNoPicture, 0, 24, 0},
        {kSavePng, 12, 0, bmp24, 0, 24, 0},  // out of range reads as 24
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        SImgSettings s;
        s.format = c.format;
        s.depth = c.depth;
        s.gray = c.gray;
        EXPECT_EQ(SelectDepthEntry(s, c.ctx), c.entry);
        EXPECT_EQ(s.depth, c.depthAfter);
        EXPECT_EQ(s.gray, c.grayAfter);
        EXPECT_LT(c.entry, static_cast<int>(DepthEntries(c.format).size()));
    }
}

// An entry chosen in the list is the entry the settings then select.
TEST(SaveBar, ChosenDepthIsSelectedAgain) {
    for (int format = kSaveBmp; format <= kSaveGif; ++format) {
        for (int i = 0; i < static_cast<int>(DepthEntries(format).size()); ++i) {
            SCOPED_TRACE(std::to_string(format) + " " + DepthEntries(format)[i].label);
            SImgSettings s;
            s.format = format;
            ASSERT_TRUE(ChooseDepthEntry(s, i));
            EXPECT_EQ(SelectDepthEntry(s, Picture(kFormatBmp, 24)), i);
        }
    }
    SImgSettings s;
    EXPECT_FALSE(ChooseDepthEntry(s, 4));  // BMP has four entries
    EXPECT_EQ(s.depth, 24);
}

TEST(SaveBar, FormatListOffersLosslessOnlyForJpegSources) {
    EXPECT_EQ(SaveFormatEntryCount(kNoPicture), 6);
    EXPECT_EQ(SaveFormatEntryCount(Picture(kFormatJpeg, 24)), 6);
    EXPECT_EQ(SaveFormatEntryCount(Picture(kFormatPng, 24)), 5);
    SImgSettings s;
    s.format = kSaveJpegTrans;
    EXPECT_FALSE(ChooseSaveFormat(s, kSaveJpegTrans, Picture(kFormatGif, 8)));
    EXPECT_EQ(SelectSaveFormat(s, Picture(kFormatGif, 8)), kSaveJpeg);
    EXPECT_EQ(s.format, kSaveJpeg);
    EXPECT_TRUE(ChooseSaveFormat(s, kSaveJpegTrans, kNoPicture));
    EXPECT_TRUE(DepthListEnabled(s, kNoPicture));
    EXPECT_FALSE(DepthListEnabled(s, Picture(kFormatJpeg, 24)));
    s.format = 9;
    EXPECT_EQ(SelectSaveFormat(s, kNoPicture), kSaveBmp);
}

TEST(SaveBar, ToolBarCommands) {
    const SaveBarContext ctx = Picture(kFormatJpeg, 24);
    SImgSettings s;
    CurrentPicture pic;
    s.format = kSavePng;
    s.dither = 1;  // from the file: the toggle knows 0 and 3 only
    EXPECT_EQ(ApplySaveCommand(5800, s, pic, ctx), SaveCommandEffect::kChanged);
    EXPECT_EQ(s.dither, 3);
    EXPECT_FALSE(SaveCommandChecked(5800, s, pic));
    ApplySaveCommand(5800, s, pic, ctx);
    EXPECT_EQ(s.dither, 0);
    ApplySaveCommand(5820, s, pic, ctx);
    ApplySaveCommand(5840, s, pic, ctx);
    EXPECT_EQ(s.interlace, 1);
    EXPECT_EQ(s.gamma, 1);

    // The transparent colour: on starts a pick; a cancelled pick turns it off again.
    EXPECT_EQ(ApplySaveCommand(5830, s, pic, ctx), SaveCommandEffect::kPickTransparent);
    EXPECT_TRUE(pic.saveTransparent);
    FinishTransparentPick(s, pic, std::nullopt);
    EXPECT_FALSE(pic.saveTransparent);
    ApplySaveCommand(5830, s, pic, ctx);
    FinishTransparentPick(s, pic, 0x102030);
    EXPECT_TRUE(pic.saveTransparent);
    EXPECT_EQ(std::vector<int>({s.alphaR, s.alphaG, s.alphaB}), std::vector<int>({0x10, 0x20, 0x30}));
    EXPECT_EQ(ApplySaveCommand(5830, s, pic, ctx), SaveCommandEffect::kChanged);
    EXPECT_FALSE(pic.saveTransparent);
    // ... and needs a picture and no operation.
    EXPECT_EQ(ApplySaveCommand(5830, s, pic, kNoPicture), SaveCommandEffect::kNone);
    EXPECT_EQ(ApplySaveCommand(5810, s, pic, {true, kFormatJpeg, 24, true}), SaveCommandEffect::kNone);
    EXPECT_EQ(ApplySaveCommand(5810, s, pic, ctx), SaveCommandEffect::kPreview);

    // The comment: on opens the dialog, off just turns it off.
    EXPECT_EQ(ApplySaveCommand(5890, s, pic, ctx), SaveCommandEffect::kCreateComment);
    pic.writeComment = true;
    EXPECT_EQ(ApplySaveCommand(5890, s, pic, ctx), SaveCommandEffect::kChanged);
    EXPECT_FALSE(pic.writeComment);

    // JPEG: sampling greyed with Gray; commands of other formats change nothing.
    s.format = kSaveJpeg;
    const SImgSettings before = s;
    EXPECT_EQ(ApplySaveCommand(5820, s, pic, ctx), SaveCommandEffect::kNone);
    EXPECT_EQ(ApplySaveCommand(5871, s, pic, ctx), SaveCommandEffect::kNone);
    EXPECT_EQ(s, before);
    ApplySaveCommand(5862, s, pic, ctx);
    EXPECT_EQ(s.sampling, 2);
    EXPECT_TRUE(SaveCommandChecked(5862, s, pic));
    s.gray = 1;
    EXPECT_FALSE(SaveCommandEnabled(5861, s, ctx));
    EXPECT_EQ(ApplySaveCommand(5861, s, pic, ctx), SaveCommandEffect::kNone);
    EXPECT_EQ(s.sampling, 2);

    s.format = kSaveJpegTrans;
    ApplySaveCommand(5870, s, pic, ctx);
    ApplySaveCommand(5880, s, pic, ctx);
    ApplySaveCommand(5850, s, pic, ctx);
    EXPECT_EQ(s.jMarker, 0);
    EXPECT_EQ(s.jpgTrim, 0);
    EXPECT_EQ(s.progressive, 1);
}

TEST(SaveBar, SizeLimitSwapsTheEnabledFields) {
    SImgSettings s;
    s.format = kSaveJpeg;
    EXPECT_TRUE(SaveFieldEnabled(kFieldQuality, s));
    EXPECT_FALSE(SaveFieldEnabled(kFieldJpgLmtVal, s));
    SetSaveField(s, kFieldJpgLimit, 1);
    EXPECT_EQ(s.jpgLimit, 1);
    EXPECT_FALSE(SaveFieldEnabled(kFieldQuality, s));
    EXPECT_TRUE(SaveFieldEnabled(kFieldJpgLmtVal, s));
    for (int g = 0; g < kSaveFieldGroupCount; ++g) {
        const bool jpegGroup = g < 2;
        s.format = kSaveJpeg;
        EXPECT_EQ(SaveFieldGroupShown(g, s), jpegGroup) << g;
        s.format = kSavePng;
        EXPECT_EQ(SaveFieldGroupShown(g, s), !jpegGroup) << g;
        s.format = kSaveGif;
        EXPECT_FALSE(SaveFieldGroupShown(g, s)) << g;
    }
}

// A lossless transform that trims edge blocks: the preview sits on a black canvas of the
// picture's size, bottom rows first and right-aligned; a second preview reuses the file.
TEST(SaveBar, TrimmedLosslessPreviewSitsOnABlackCanvas) {
    test::TempDir dir;
    test::ScopedEnv tmp("TMPDIR", dir.path());
    test::ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
    Session s;
    ImageBuffer img;
    ASSERT_TRUE(img.Allocate(21, 19, 24));
    for (int y = 0; y < 19; ++y)
        std::memset(img.storedRow(y), 200, img.stride());
    InstallPicture(s, std::move(img), false, true);
    SetPictureInfo(s, nullptr, HistoryMode::kClear, "");
    s.settings.simg.format = kSaveJpeg;
    s.settings.simg.quality = 100;
    const std::string jpeg = dir.File("in.jpg");
    ASSERT_TRUE(SavePicture(s, jpeg));
    ASSERT_TRUE(LoadPicture(s, jpeg));

    s.settings.simg.format = kSaveJpegTrans;
    s.picture.orientation = 2;  // turned 180 degrees: both edges lose their partial blocks
    int repaints = 0;
    s.ui.trialPreviewChanged = [&] { ++repaints; };
    ASSERT_TRUE(TrialSave(s));
    const ImageBuffer& p = s.picture.trial.preview;
    ASSERT_EQ(p.width(), 21);
    ASSERT_EQ(p.height(), 19);
    EXPECT_EQ(s.picture.trial.size, static_cast<int64_t>(fs::file_size(s.picture.trial.tempPath)));
    EXPECT_TRUE(SavedSizeShown(s));
    const int keptW = 16, keptH = 16;  // 2 x 2 sampling: 16-pixel blocks
    for (int y = 0; y < 19; ++y) {
        for (int x = 0; x < 21; ++x) {
            const uint8_t* px = p.storedRow(y) + x * 3;
            const bool inside = y < keptH && x >= 21 - keptW;
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            if (inside) {
                EXPECT_NEAR(px[1], 200, 3);
            } else {
                EXPECT_EQ(px[0] | px[1] | px[2], 0);
            }
        }
    }
    const std::string temp = s.picture.trial.tempPath;
    ASSERT_TRUE(TrialSave(s));
    EXPECT_EQ(s.picture.trial.tempPath, temp);
    EXPECT_EQ(repaints, 1);
    s.operationState = 8;
    EXPECT_FALSE(SavedSizeShown(s));
    s.operationState = 0;
    DiscardTrialSave(s);
    EXPECT_FALSE(fs::exists(temp));
}

}  // namespace
}  // namespace lumra
