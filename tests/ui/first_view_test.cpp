// A big JPEG opens through a DCT-reduced first view; the whole picture takes its place.
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>

#include "formats/jpeg/jpeg_codec.h"
#include "shell/command_catalogue.h"
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

}  // namespace
}  // namespace lumra::test
