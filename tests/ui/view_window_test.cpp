// The main window's picture: painting, scrolling, sizing and drops.
#include <QDropEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QUrl>

#include "platform/paths.h"
#include "ui/picture_image.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

using ViewWindowTest = AppFixture;

uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

TEST_F(ViewWindowTest, Paints24BitPictureUprightAndCentred) {
    ASSERT_TRUE(StartQuiet());
    // Top half red, bottom half blue, with a green left column.
    const std::string path = dir_.File("halves.bmp");
    WriteFile(path, Bmp24(40, 20, [](int x, int y) -> uint32_t {
                  if (x == 0) return 0x00FF00;
                  return y < 10 ? 0xFF0000 : 0x0000FF;
              }));
    ASSERT_TRUE(app_->OpenPath(path));
    View().resize(200, 100);  // larger than the picture: centred on the background
    QCoreApplication::processEvents();
    const QImage shot = View().pictureView()->viewport()->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(200, 100));
    shot.save("/tmp/lumra_view_24.png");
    const QPoint o = View().pictureView()->PictureOrigin();
    EXPECT_EQ(o, QPoint(80, 40));
    EXPECT_EQ(Rgb(shot, o.x() + 5, o.y() + 2), 0xFF0000u);
    EXPECT_EQ(Rgb(shot, o.x() + 5, o.y() + 17), 0x0000FFu);
    EXPECT_EQ(Rgb(shot, o.x(), o.y() + 5), 0x00FF00u);
    EXPECT_EQ(Rgb(shot, o.x() + 1, o.y() + 5), 0xFF0000u);
    // Grey (the default background) on every side.
    for (QPoint p : {QPoint(0, 0), QPoint(o.x() - 1, o.y() + 5), QPoint(o.x() + 40, o.y() + 5),
                     QPoint(o.x() + 5, o.y() - 1), QPoint(o.x() + 5, o.y() + 20), QPoint(199, 99)}) {
        EXPECT_EQ(Rgb(shot, p.x(), p.y()), 0x808080u) << p.x() << "," << p.y();
    }
}

TEST_F(ViewWindowTest, Paints8BitPictureThroughPalette) {
    WriteIni("[Awin]\nMouseInfo=0\n[Vwin]\nBgColor=4\n");
    ASSERT_TRUE(Start());
    const std::string path = dir_.File("pal.bmp");
    WriteFile(path, Bmp8(7, 5, {0x112233, 0xFFEE00, 0x00AAFF},
                         [](int x, int y) -> uint8_t { return y == 0 ? 1 : (x == 6 ? 2 : 0); }));
    ASSERT_TRUE(app_->OpenPath(path));
    EXPECT_EQ(app_->session().picture.image.bitCount(), 8);
    View().resize(20, 20);
    QCoreApplication::processEvents();
    const QImage shot = View().pictureView()->viewport()->grab().toImage();
    const QPoint o = View().pictureView()->PictureOrigin();
    EXPECT_EQ(Rgb(shot, o.x(), o.y()), 0xFFEE00u);           // top row
    EXPECT_EQ(Rgb(shot, o.x() + 6, o.y() + 4), 0x00AAFFu);   // right column
    EXPECT_EQ(Rgb(shot, o.x() + 2, o.y() + 3), 0x112233u);
    EXPECT_EQ(Rgb(shot, 0, 0), 0x000000u);                   // black background
}

TEST_F(ViewWindowTest, StoredRowsImageSharesTheRows) {
    ImageBuffer image;
    ASSERT_TRUE(image.Allocate(5, 3, 24));
    const QImage view = ui::StoredRowsImage(image);
    ASSERT_FALSE(view.isNull());
    EXPECT_EQ(view.constBits(), image.bits());
    EXPECT_EQ(view.bytesPerLine(), static_cast<qsizetype>(image.stride()));
    EXPECT_EQ(view.format(), QImage::Format_BGR888);
    image.storedRow(0)[0] = 0x30;  // bottom row, blue of the first pixel
    EXPECT_EQ(qBlue(view.pixel(0, 0)), 0x30);

    // 4-bit rows are widened: high nibble first.
    ImageBuffer four;
    ASSERT_TRUE(four.Allocate(3, 1, 4));
    four.palette[0xA] = RgbQuad{1, 2, 3, 0};
    four.palette[0xB] = RgbQuad{4, 5, 6, 0};
    four.storedRow(0)[0] = 0xAB;
    four.storedRow(0)[1] = 0xA0;
    const QImage wide = ui::StoredRowsImage(four);
    ASSERT_EQ(wide.format(), QImage::Format_Indexed8);
    EXPECT_EQ(wide.pixel(0, 0) & 0xFFFFFF, 0x030201u);
    EXPECT_EQ(wide.pixel(1, 0) & 0xFFFFFF, 0x060504u);
    EXPECT_EQ(wide.pixel(2, 0) & 0xFFFFFF, 0x030201u);

    EXPECT_TRUE(ui::StoredRowsImage(ImageBuffer{}).isNull());
}

TEST_F(ViewWindowTest, PictureLargerThanTheFirstWindowGetsNoBars) {
    // The first window is 400 x 300; a 480 x 320 picture grows it, and the bars that the
    // smaller window needed must not stay and crop the picture.
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("mid.bmp", 480, 320, 0x336699)));
    QCoreApplication::processEvents();
    ui::PictureView* view = View().pictureView();
    EXPECT_EQ(View().size(), QSize(480, 320));
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(view->verticalScrollBar()->isVisible());
    EXPECT_EQ(view->viewport()->size(), QSize(480, 320));
}

TEST_F(ViewWindowTest, LargePictureScrollsWithinTheScreen) {
    ASSERT_TRUE(StartQuiet());
    const QRect available = View().screen()->availableGeometry();
    const int w = available.width() + 300;
    const int h = available.height() + 200;
    const std::string path = dir_.File("big.bmp");
    WriteFile(path, Bmp24(w, h, [](int x, int y) -> uint32_t { return (x < 10 && y < 10) ? 0xFF0000 : 0x00FF00; }));
    ASSERT_TRUE(app_->OpenPath(path));
    QCoreApplication::processEvents();
    EXPECT_TRUE(available.contains(View().frameGeometry()));
    ui::PictureView* view = View().pictureView();
    EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(view->verticalScrollBar()->isVisible());
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), w - view->viewport()->width());
    EXPECT_EQ(view->verticalScrollBar()->maximum(), h - view->viewport()->height());
    EXPECT_EQ(Rgb(view->viewport()->grab().toImage(), 0, 0), 0xFF0000u);
    view->horizontalScrollBar()->setValue(50);
    EXPECT_EQ(view->PictureOrigin(), QPoint(-50, 0));
    EXPECT_EQ(Rgb(view->viewport()->grab().toImage(), 0, 0), 0x00FF00u);

    // A small picture after it: the window shrinks around it and the bars go.
    ASSERT_TRUE(app_->OpenPath(Picture("small.bmp", 120, 90, 0x336699)));
    QCoreApplication::processEvents();
    EXPECT_EQ(View().size(), QSize(120, 90));
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    EXPECT_EQ(view->PictureOrigin(), QPoint(0, 0));
}

TEST_F(ViewWindowTest, DropOpensFirstLocalFile) {
    ASSERT_TRUE(StartQuiet());
    const std::string a = Picture("dropped.bmp", 6, 4, 0xABCDEF);
    QMimeData mime;
    mime.setUrls({QUrl(QStringLiteral("https://example.invalid/x.bmp")),
                  QUrl::fromLocalFile(QString::fromStdString(a)),
                  QUrl::fromLocalFile(QString::fromStdString(dir_.File("other.bmp")))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&View(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&View(), &drop);
    QCoreApplication::processEvents();
    EXPECT_EQ(app_->session().picture.path, ResolvePath(a));
    EXPECT_EQ(Title(), "dropped.bmp  ( 6x4  24bit  0.1KB )  100%");

    // A drop without local files is refused.
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.invalid/y.bmp"))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QCoreApplication::sendEvent(&View(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(ViewWindowTest, BackgroundColours) {
    const uint32_t expected[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ui::BackgroundColour(i).rgb() & 0xFFFFFF, expected[i]);
    EXPECT_EQ(ui::BackgroundColour(7).rgb() & 0xFFFFFF, 0xC0C0C0u);
}

TEST_F(ViewWindowTest, ExitCommandClosesThroughConfirmation) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 2, 2, 0)));
    app_->session().history.position = 1;
    answers_ = {BoxResult::Cancel};
    View().Command(kCmdExit);
    EXPECT_TRUE(View().isVisible());
    EXPECT_EQ(quits_, 0);
    answers_ = {BoxResult::No};
    View().Command(kCmdExit);
    EXPECT_FALSE(View().isVisible());
    EXPECT_EQ(quits_, 1);
}

}  // namespace
}  // namespace lumra::test
