// Stepping through a folder whose neighbours were decoded in the background.
#include <zlib.h>

#include <QElapsedTimer>
#include <cstdio>

#include "formats/png/png_chunks.h"
#include "shell/command_catalogue.h"
#include "ui/file_list_window.h"
#include "ui_test_support.h"
#include "view/preload_cache.h"

namespace lumra::test {
namespace {

// A 2 x 1 RGBA PNG whose pixels are fully transparent: it shows the background colour.
std::vector<uint8_t> TransparentPng() {
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    auto chunk = [&file](const char* type, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> c(12 + data.size());
        WriteBe32(c.data(), static_cast<uint32_t>(data.size()));
        std::memcpy(c.data() + 4, type, 4);
        if (!data.empty()) std::memcpy(c.data() + 8, data.data(), data.size());
        WriteBe32(c.data() + 8 + data.size(), PngCrc(c.data() + 4, data.size() + 4));
        file.insert(file.end(), c.begin(), c.end());
    };
    chunk("IHDR", {0, 0, 0, 2, 0, 0, 0, 1, 8, 6, 0, 0, 0});
    const std::vector<uint8_t> raw = {0, 10, 20, 30, 0, 40, 50, 60, 0};
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(size);
    EXPECT_EQ(compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
    packed.resize(size);
    chunk("IDAT", packed);
    chunk("IEND", {});
    return file;
}

// Rewrites a file in place (same inode, possibly the same times).
void Overwrite(const std::string& path, const std::vector<uint8_t>& data) {
    FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
    std::fclose(f);
}

class PreloadTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        std::filesystem::create_directories(dir_.File("pics"));
    }

    std::string Pic(const std::string& name, uint32_t colour, int w = 3, int h = 2) {
        return Picture("pics/" + name, w, h, colour);
    }

    void OpenAndWait(const std::string& name) {
        ASSERT_TRUE(app_->OpenPath(dir_.File("pics/" + name)));
        QElapsedTimer timer;
        timer.start();
        while (app_->fileListView()->model()->rowCount() == 0 && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        app_->FinishFileListScan();
        WaitPreload();
    }
    void WaitPreload() {
        ASSERT_NE(app_->preloadCache(), nullptr);
        app_->preloadCache()->WaitIdle();
    }
    bool Preloaded(const std::string& name) { return app_->preloadCache()->Contains(dir_.File("pics/" + name)); }

    std::string Shown() { return app_->session().picture.fileName; }
    // The top-left pixel of the current picture as 0xRRGGBB.
    uint32_t FirstPixel() {
        const ImageBuffer& img = app_->session().picture.image;
        const uint8_t* p = img.topRow(0);
        return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    }
};

TEST_F(PreloadTest, NextShowsThePreloadedNeighbourAndAsksForTheNextOnes) {
    Pic("a.bmp", 0x102030);
    Pic("b.bmp", 0x405060, 4, 3);
    Pic("c.bmp", 0x708090);
    Pic("d.bmp", 0xA0B0C0);
    ASSERT_TRUE(StartQuiet());
    OpenAndWait("b.bmp");
    // The next name first, then the previous one.
    EXPECT_TRUE(Preloaded("c.bmp"));
    EXPECT_TRUE(Preloaded("a.bmp"));
    EXPECT_FALSE(Preloaded("d.bmp"));

    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "c.bmp");
    EXPECT_EQ(FirstPixel(), 0x708090u);
    EXPECT_EQ(app_->session().picture.path, dir_.File("pics/c.bmp"));
    EXPECT_EQ(Title(), "c.bmp  ( 3x2  24bit  0.0KB )  100%");
    EXPECT_EQ(app_->fileList().selection, 2);
    EXPECT_EQ(app_->fileList().rememberedWriteTime, ReadWriteTime(dir_.File("pics/c.bmp")));
    EXPECT_FALSE(app_->session().history.IsModified());
    WaitPreload();
    EXPECT_TRUE(Preloaded("d.bmp"));
    EXPECT_TRUE(Preloaded("b.bmp"));

    View().Command(kCmdPrevious);
    EXPECT_EQ(Shown(), "b.bmp");
    EXPECT_EQ(FirstPixel(), 0x405060u);
    EXPECT_EQ(app_->session().picture.image.width(), 4);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(PreloadTest, FileChangedOnDiskAfterPreloadIsReadAgain) {
    Pic("a.bmp", 0x102030);
    const std::string b = Pic("b.bmp", 0x405060);
    const std::string c = Pic("c.bmp", 0x708090);
    ASSERT_TRUE(StartQuiet());
    OpenAndWait("a.bmp");
    ASSERT_TRUE(Preloaded("b.bmp"));

    // Same size, new colour, written in place right away.
    Overwrite(b, Bmp24(3, 2, [](int, int) { return 0xFF0000u; }));
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "b.bmp");
    EXPECT_EQ(FirstPixel(), 0xFF0000u);

    // Another size.
    WaitPreload();
    ASSERT_TRUE(Preloaded("c.bmp"));
    WriteFile(c, Bmp24(5, 4, [](int, int) { return 0x00FF00u; }));
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "c.bmp");
    EXPECT_EQ(FirstPixel(), 0x00FF00u);
    EXPECT_EQ(app_->session().picture.image.width(), 5);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(PreloadTest, FailedLoadStillRemovesTheNameAndShowsTheError) {
    Pic("a.bmp", 0x102030);
    const std::string b = Pic("b.bmp", 0x405060);
    const std::string c = dir_.File("pics/c.bmp");
    WriteFile(c, {'B', 'M', 1, 2, 3});  // broken from the start: never preloaded
    Pic("d.bmp", 0x708090);
    ASSERT_TRUE(StartQuiet());
    OpenAndWait("a.bmp");
    ASSERT_TRUE(Preloaded("b.bmp"));

    // b was fine when it was decoded ahead and is broken now.
    std::vector<uint8_t> broken = ReadFile(b);
    std::fill(broken.begin(), broken.end(), uint8_t{0xEE});
    Overwrite(b, broken);
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "a.bmp");
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request, ErrorBox(kErrDisplay));
    EXPECT_EQ(app_->fileList().names, (std::vector<std::string>{"a.bmp", "c.bmp", "d.bmp"}));

    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "a.bmp");
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].request, ErrorBox(kErrDisplay));
    EXPECT_EQ(app_->fileList().names, (std::vector<std::string>{"a.bmp", "d.bmp"}));
    EXPECT_EQ(FirstPixel(), 0x102030u);

    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "d.bmp");
    EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(PreloadTest, DisplaySettingsChangedAfterPreloadApplyToNext) {
    Pic("a.bmp", 0x102030);
    WriteFile(dir_.File("pics/b.png"), TransparentPng());
    ASSERT_TRUE(StartQuiet());
    LImgSettings& limg = app_->session().settings.limg;
    limg.alpha = 1;
    limg.fbg = 0;
    limg.bgR = limg.bgG = limg.bgB = 255;
    OpenAndWait("a.bmp");
    ASSERT_TRUE(Preloaded("b.png"));

    // The background colour changed while b was waiting, decoded on white.
    limg.bgR = 0;
    limg.bgG = 0;
    limg.bgB = 255;
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "b.png");
    EXPECT_EQ(FirstPixel(), 0x0000FFu);
    // The PNG's flags come with it.
    EXPECT_TRUE(app_->session().picture.flags.transparent);
}

TEST_F(PreloadTest, ReopenReadsTheFileAgain) {
    Pic("a.bmp", 0x102030);
    const std::string b = Pic("b.bmp", 0x405060);
    ASSERT_TRUE(StartQuiet());
    OpenAndWait("a.bmp");
    ASSERT_TRUE(Preloaded("b.bmp"));
    // Opened another way, b is current while its decoded copy is still kept.
    ASSERT_TRUE(app_->OpenPath(b));
    WaitPreload();
    ASSERT_TRUE(Preloaded("b.bmp"));
    app_->RunCommand(kCmdReopen);
    EXPECT_EQ(Shown(), "b.bmp");
    EXPECT_TRUE(Preloaded("b.bmp"));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(PreloadTest, RepeatingSlideShowDecodesTheFirstNameAtTheEnd) {
    Pic("a.bmp", 0x102030);
    Pic("b.bmp", 0x405060);
    Pic("c.bmp", 0x708090);
    WriteIni("[Awin]\nMouseInfo=0\n[Vwin]\nRepeat=1\nTime=3\n");
    ASSERT_TRUE(Start());
    OpenAndWait("b.bmp");
    app_->SwitchMode(kFullScreen);
    app_->StartSlideShow();
    ASSERT_TRUE(app_->slideShowRunning());
    app_->OnSlideShowTimer();
    EXPECT_EQ(Shown(), "c.bmp");
    WaitPreload();
    EXPECT_TRUE(Preloaded("a.bmp"));
    app_->OnSlideShowTimer();
    EXPECT_EQ(Shown(), "a.bmp");
    EXPECT_EQ(FirstPixel(), 0x102030u);
    app_->StopSlideShow();
    // Without a running show the last name has only its previous one to ask for.
    View().Command(kCmdLast);
    EXPECT_EQ(Shown(), "c.bmp");
    app_->preloadCache()->Clear();
    app_->RequestNeighbours();
    WaitPreload();
    EXPECT_TRUE(Preloaded("b.bmp"));
    EXPECT_FALSE(Preloaded("a.bmp"));
}

TEST_F(PreloadTest, NextPaintsFromTheCopyReducedAhead) {
    // Larger than the screen, so both are shown reduced; busy patterns, so that a wrong
    // reduction would show.
    WriteFile(dir_.File("pics/a.bmp"),
              Bmp24(1200, 900, [](int x, int y) { return static_cast<uint32_t>((x * 7) ^ (y * 13)) & 0xFFFFFFu; }));
    WriteFile(dir_.File("pics/b.bmp"), Bmp24(1300, 1000, [](int x, int y) {
                  return static_cast<uint32_t>(x * 0x010203 + y * 0x030201) & 0xFFFFFFu;
              }));
    ASSERT_TRUE(StartQuiet());
    OpenAndWait("a.bmp");
    (void)View().pictureView()->grab();
    ASSERT_TRUE(Preloaded("b.bmp"));
    const int before = View().reductionsMade();

    View().Command(kCmdNext);
    ASSERT_EQ(Shown(), "b.bmp");
    ASSERT_LT(View().zoom(), 10000);
    const QImage shot = View().pictureView()->grab().toImage();
    EXPECT_EQ(View().reductionsMade(), before);

    // The window's own reduction of the same picture paints the same pixels.
    View().FinalLayout();
    const QImage again = View().pictureView()->grab().toImage();
    EXPECT_EQ(View().reductionsMade(), before + 1);
    EXPECT_EQ(shot, again);

    // With the nearest-pixel setting nothing is reduced ahead.
    app_->session().settings.vwin.sthMode = 3;
    View().Command(kCmdPrevious);
    WaitPreload();
    std::optional<DecodedPicture> next =
        app_->preloadCache()->Take(dir_.File("pics/b.bmp"), app_->CurrentPreloadKey());
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->displayCopy.empty());
}

}  // namespace
}  // namespace lumra::test
