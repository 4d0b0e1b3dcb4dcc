// A big JPEG opens through a DCT-reduced first view; the whole picture takes its place.
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QThread>
#include <fstream>

#include "document/document.h"
#include "formats/jpeg/jpeg_codec.h"
#include "shell/command_catalogue.h"
#include "ui/file_list_window.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

class FirstViewTest : public AppFixture {
protected:
    // 2400 x 1800: red on the left half, blue on the right; shown much reduced.
    std::string BigJpeg() {
        ImageBuffer img;
        img.Allocate(2400, 1800, 24);
        for (int y = 0; y < 1800; ++y)
            for (int x = 0; x < 2400; ++x) {
                uint8_t* p = img.topRow(y) + 3 * x;
                p[0] = x < 1200 ? 0 : 255;
                p[1] = 0;
                p[2] = x < 1200 ? 255 : 0;
            }
        JpegEncodeOptions o;
        o.quality = 95;
        std::vector<uint8_t> jpeg;
        DecoderContext ctx;
        EXPECT_TRUE(EncodeJpegToMemory(img, o, jpeg, ctx));
        const std::string path = dir_.File("big.jpg");
        WriteFile(path, jpeg);
        return path;
    }
    void WaitWhole() {
        QElapsedTimer timer;
        timer.start();
        while (app_->firstViewPending() && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    // The reduced rows are made on a thread of their own; no events are handled meanwhile, so
    // the whole picture's decode does not start.
    void WaitPreview() {
        QElapsedTimer timer;
        timer.start();
        while (app_->firstViewWaiting() && timer.elapsed() < 10000) QThread::msleep(1);
    }
    QImage Painted() { return View().pictureView()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

TEST_F(FirstViewTest, ReducedFirstPaintThenTheWholePictureInTheSamePlace) {
    ASSERT_TRUE(StartQuiet({BigJpeg()}));
    const ImageBuffer& image = app_->session().picture.image;
    // The whole picture's facts from the start.
    EXPECT_EQ(image.width(), 2400);
    EXPECT_EQ(image.height(), 1800);
    EXPECT_EQ(image.sourceBitDepth, 24);
    EXPECT_NE(Title().find("big.jpg"), std::string::npos);
    ASSERT_TRUE(app_->firstViewPending());
    const int zoom = View().zoom();
    const QRect dest = View().DestinationRect();
    ASSERT_LT(zoom, 10000);
    WaitPreview();
    const QImage first = Painted();
    const QPoint left = dest.topLeft() + QPoint(dest.width() / 4, dest.height() / 2);
    const QPoint right = dest.topLeft() + QPoint(dest.width() * 3 / 4, dest.height() / 2);
    EXPECT_GT(qRed(first.pixel(left)), 200);
    EXPECT_GT(qBlue(first.pixel(right)), 200);

    WaitWhole();
    ASSERT_FALSE(app_->firstViewPending());
    EXPECT_EQ(View().zoom(), zoom);
    EXPECT_EQ(View().DestinationRect(), dest);
    EXPECT_EQ(image.width(), 2400);
    EXPECT_GT(image.topRow(900)[2 * 3 + 2], 200);  // red, from the file
    const QImage whole = Painted();
    EXPECT_GT(qRed(whole.pixel(left)), 200);
    EXPECT_GT(qBlue(whole.pixel(right)), 200);
}

// Coming to the front while the whole picture is still being decoded is not a change of the file.
TEST_F(FirstViewTest, ActivationWhileDecodingAsksNothing) {
    ASSERT_TRUE(StartQuiet({BigJpeg()}));
    ASSERT_TRUE(app_->firstViewPending());
    app_->OnAppActivated(true);
    WaitWhole();
    app_->OnAppActivated(true);
    EXPECT_TRUE(boxes_.empty());
}

// Whatever reads the pixels waits for the whole picture: the readout and the commands.
TEST_F(FirstViewTest, ReadoutAndCommandsActOnTheWholePicture) {
    const std::string path = BigJpeg();
    ASSERT_TRUE(StartQuiet({path}));
    ASSERT_TRUE(app_->firstViewPending());
    QWidget target;
    const QRect dest = View().DestinationRect();
    View().WritePixelReadout(dest.topLeft() + QPoint(2, dest.height() / 2), &target);
    EXPECT_FALSE(app_->firstViewPending());
    EXPECT_EQ(target.windowTitle().left(4).toStdString(), "r:25");

    ASSERT_TRUE(app_->OpenPath(path));
    ASSERT_TRUE(app_->firstViewPending());
    View().Command(kCmdCopy);
    EXPECT_FALSE(app_->firstViewPending());
    const QImage copied = QGuiApplication::clipboard()->image();
    QGuiApplication::clipboard()->clear();
    ASSERT_EQ(copied.size(), QSize(2400, 1800));
    EXPECT_GT(qRed(copied.pixel(10, 900)), 200);
    EXPECT_GT(qBlue(copied.pixel(2390, 900)), 200);
}

// The address space this process uses now, in bytes.
uint64_t AddressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

// A JPEG whose header is fine, says side x side and is cut short after a few rows: its
// first view decodes, but the whole picture (768 MB) is refused while the address space
// is held to the stand-in's size and some room.
TEST_F(FirstViewTest, WholePictureFailingBringsThePictureBeforeBackAsAFailedOpen) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address-space limit does not go with the sanitizer";
#else
    constexpr int kSide = 16000;
    ImageBuffer small;
    small.Allocate(64, 64, 24);
    std::vector<uint8_t> jpeg;
    DecoderContext ctx;
    ASSERT_TRUE(EncodeJpegToMemory(small, JpegEncodeOptions{}, jpeg, ctx));
    size_t sof = 0;
    for (size_t i = 2; i + 9 < jpeg.size() && !sof; ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) sof = i;
    ASSERT_NE(sof, 0u);
    for (const size_t field : {sof + 5, sof + 7}) {
        jpeg[field] = kSide >> 8;
        jpeg[field + 1] = kSide & 0xFF;
    }
    std::filesystem::create_directories(dir_.File("big"));
    const std::string big = dir_.File("big/huge.jpg");
    WriteFile(big, jpeg);

    std::filesystem::create_directories(dir_.File("pics"));
    const std::string before = Picture("pics/a.bmp", 40, 30, 0x204060);
    Picture("pics/b.bmp", 40, 30, 0x604020);
    ASSERT_TRUE(StartQuiet({before}));
    QElapsedTimer timer;
    timer.start();
    while (app_->fileListView()->model()->rowCount() < 2 && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    app_->FinishFileListScan();
    // A change, as an edit records it: the original and the changed picture in the history.
    Session& s = app_->session();
    ImageBuffer changed = s.picture.image.Clone();
    for (size_t i = 0; i < changed.imageBytes(); ++i) changed.bits()[i] ^= 0xFF;
    InstallPicture(s, std::move(changed), true, false);
    SetPictureInfo(s, nullptr, HistoryMode::kAddEntry, "edit");
    View().PictureChanged();
    app_->UpdateTitles();
    View().Command(kCmdZoom400);  // a zoom of the user's own, not the fit
    ASSERT_EQ(s.history.entries, 2);
    const std::vector<uint8_t> pixels(s.picture.image.bits(), s.picture.image.bits() + s.picture.image.imageBytes());
    const std::string title = Title();
    const int row = app_->fileListView()->currentIndex().row();
    const std::string lastFolder = s.lastFolder;
    const QRect dest = View().DestinationRect();
    const int zoom = View().zoom();
    const QRect window = View().geometry();

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
    rlimit held = old;
    held.rlim_cur = AddressSpaceInUse() + 3ull * kSide * kSide + (400ull << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &held), 0);
    answers_ = {BoxResult::No};  // the changes are not saved
    const bool opened = app_->OpenPath(big);
    const bool pending = app_->firstViewPending();
    WaitWhole();
    setrlimit(RLIMIT_AS, &old);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(pending);

    ASSERT_FALSE(app_->firstViewPending());
    EXPECT_EQ(s.picture.path, before);
    EXPECT_EQ(std::vector<uint8_t>(s.picture.image.bits(), s.picture.image.bits() + s.picture.image.imageBytes()),
              pixels);
    EXPECT_EQ(s.history.entries, 2);
    EXPECT_EQ(s.history.position, 1);
    EXPECT_TRUE(s.history.IsModified());
    EXPECT_EQ(Title(), title);
    EXPECT_EQ(app_->fileListView()->currentIndex().row(), row);
    EXPECT_EQ(app_->fileListView()->model()->rowCount(), 2);
    EXPECT_EQ(s.lastFolder, lastFolder);
    EXPECT_EQ(View().DestinationRect(), dest);
    EXPECT_EQ(View().zoom(), zoom);
    EXPECT_EQ(View().geometry(), window);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].request, ErrorBox(kErrDisplay));
    // The history's files are still there: a step back gives the picture as opened.
    ASSERT_TRUE(StepHistory(s, -1));
    EXPECT_FALSE(s.history.IsModified());
    EXPECT_EQ(s.picture.image.topRow(0)[0], 0x60);
#endif
}

}  // namespace
}  // namespace lumra::test
