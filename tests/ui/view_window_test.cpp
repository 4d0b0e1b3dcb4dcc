// The main window: painting, zoom, scrolling, sizing, mouse gestures and drops.
#include <QDropEvent>
#include <QElapsedTimer>
#include <QToolTip>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QScreen>
#include <QKeyEvent>
#include <QMenu>
#include <QThread>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QUrl>

#include "platform/paths.h"
#include "ui/navigator_window.h"
#include "ui/picture_image.h"
#include "ui/tool_bar_strip.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

class ViewWindowTest : public AppFixture {
protected:
    // A mouse event at a point of the picture area.
    void Mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = View().pictureView();
        QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons, modifiers);
        QCoreApplication::sendEvent(target, &event);
    }
    int FrameWidth() { return View().frameGeometry().width() - View().geometry().width(); }
    int FrameHeight() { return View().frameGeometry().height() - View().geometry().height(); }
    void Wheel(int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = View().pictureView();
        QWheelEvent event(QPointF(20, 20), QPointF(target->mapToGlobal(QPoint(20, 20))), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &event);
    }
};

TEST_F(ViewWindowTest, FullScreenCentresSmallPictureOnTheBackground) {
    ASSERT_TRUE(StartQuiet());
    // Top half red, bottom half blue, with a green left column.
    const std::string path = dir_.File("halves.bmp");
    WriteFile(path, Bmp24(40, 20, [](int x, int y) -> uint32_t {
                  if (x == 0) return 0x00FF00;
                  return y < 10 ? 0xFF0000 : 0x0000FF;
              }));
    ASSERT_TRUE(app_->OpenPath(path));
    app_->EnterFullScreen();
    QCoreApplication::processEvents();
    const QRect monitor = View().screen()->geometry();
    EXPECT_TRUE(View().isFullScreen());
    EXPECT_EQ(View().zoom(), 10000);
    const QImage shot = View().pictureView()->grab().toImage();
    ASSERT_EQ(shot.size(), monitor.size());
    shot.save("/tmp/lumra_view_fullscreen.png");
    const QPoint o((monitor.width() - 40) / 2, (monitor.height() - 20) / 2);
    EXPECT_EQ(View().DestinationRect(), QRect(o, QSize(40, 20)));
    EXPECT_EQ(Rgb(shot, o.x() + 5, o.y() + 2), 0xFF0000u);
    EXPECT_EQ(Rgb(shot, o.x() + 5, o.y() + 17), 0x0000FFu);
    EXPECT_EQ(Rgb(shot, o.x(), o.y() + 5), 0x00FF00u);
    EXPECT_EQ(Rgb(shot, o.x() + 1, o.y() + 5), 0xFF0000u);
    // Grey (the default background) on every side.
    for (QPoint p : {QPoint(0, 0), QPoint(o.x() - 1, o.y() + 5), QPoint(o.x() + 40, o.y() + 5),
                     QPoint(o.x() + 5, o.y() - 1), QPoint(o.x() + 5, o.y() + 20),
                     QPoint(monitor.width() - 1, monitor.height() - 1)}) {
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
    QCoreApplication::processEvents();
    // The title bar keeps the window at least 120 wide: the picture sits in its middle.
    const int clientW = 120 - FrameWidth();
    EXPECT_EQ(View().pictureView()->size(), QSize(clientW, 5));
    const QImage shot = View().pictureView()->grab().toImage();
    const QPoint o = View().pictureView()->PictureOrigin();
    EXPECT_EQ(o, QPoint((clientW - 7) / 2, 0));
    EXPECT_EQ(Rgb(shot, o.x(), o.y()), 0xFFEE00u);          // top row
    EXPECT_EQ(Rgb(shot, o.x() + 6, o.y() + 4), 0x00AAFFu);  // right column
    EXPECT_EQ(Rgb(shot, o.x() + 2, o.y() + 3), 0x112233u);
    EXPECT_EQ(Rgb(shot, 0, 0), 0x000000u);                  // black background
    EXPECT_EQ(Rgb(shot, clientW - 1, 4), 0x000000u);
}

TEST_F(ViewWindowTest, ScaledPicturesAreSmoothOnlyWhenAsked) {
    WriteIni("[Awin]\nMouseInfo=0\n[Vwin]\nBgColor=4\n");
    ASSERT_TRUE(Start());
    // One-pixel black and white columns with a red top row.
    const std::string path = dir_.File("stripes.bmp");
    WriteFile(path, Bmp24(300, 200, [](int x, int y) -> uint32_t {
                  if (y < 2) return 0xFF0000;
                  return (x & 1) ? 0xFFFFFF : 0x000000;
              }));
    ASSERT_TRUE(app_->OpenPath(path));
    View().Command(kCmdZoom50);
    ASSERT_EQ(View().DestinationRect().size(), QSize(150, 100));
    EXPECT_TRUE(View().smoothScaling());
    QImage shot = View().pictureView()->grab().toImage();
    const QPoint o = View().DestinationRect().topLeft();
    EXPECT_EQ(Rgb(shot, o.x() + 20, o.y() + 50), 0x808080u);  // averaged
    EXPECT_EQ(Rgb(shot, o.x() + 20, o.y()), 0xFF0000u);        // upright
    // Painting again uses the same copy and gives the same picture.
    EXPECT_EQ(View().pictureView()->grab().toImage(), shot);

    app_->session().settings.vwin.sthMode = 3;
    EXPECT_FALSE(View().smoothScaling());
    shot = View().pictureView()->grab().toImage();
    const uint32_t nearest = Rgb(shot, o.x() + 20, o.y() + 50);
    EXPECT_TRUE(nearest == 0xFFFFFFu || nearest == 0u) << std::hex << nearest;
    EXPECT_EQ(Rgb(shot, o.x() + 20, o.y()), 0xFF0000u);

    // Zoomed in, smooth again: the drawn part is scaled and stays upright.
    app_->session().settings.vwin.sthMode = 4;
    View().Command(kCmdZoom200);
    shot = View().pictureView()->grab().toImage();
    EXPECT_EQ(Rgb(shot, View().DestinationRect().x() + 300, View().DestinationRect().y()), 0xFF0000u);
    shot.save("/tmp/lumra_view_zoomed.png");
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

TEST_F(ViewWindowTest, ZoomCommandsSizeTheWindow) {
    ASSERT_TRUE(StartQuiet());
    // Without a picture zoom commands do nothing.
    const QSize empty = View().size();
    View().Command(kCmdZoomIn);
    EXPECT_EQ(View().zoom(), 10000);
    EXPECT_EQ(View().size(), empty);

    ASSERT_TRUE(app_->OpenPath(Picture("z.bmp", 200, 100, 0x336699)));
    QCoreApplication::processEvents();
    EXPECT_EQ(View().pictureView()->size(), QSize(200, 100));
    const QPoint centre = View().geometry().center();
    View().Command(kCmdZoomIn);
    EXPECT_EQ(View().zoom(), 20000);
    EXPECT_EQ(View().pictureView()->size(), QSize(400, 200));
    EXPECT_NEAR(View().geometry().center().x(), centre.x(), 1);  // grows around its centre
    EXPECT_NEAR(View().geometry().center().y(), centre.y(), 1);
    EXPECT_NE(Title().find("200%"), std::string::npos) << Title();
    View().Command(kCmdZoomOut);
    View().Command(kCmdZoomOut);
    EXPECT_EQ(View().zoom(), 5000);
    const int clientW = 120 - FrameWidth();  // at least the title bar's width
    EXPECT_EQ(View().pictureView()->size(), QSize(clientW, 50));
    EXPECT_EQ(View().DestinationRect(), QRect((clientW - 100) / 2, 0, 100, 50));
    View().Command(kCmdZoomStepIn);
    EXPECT_EQ(View().zoom(), 6000);
    View().Command(kCmdToggleFit);
    EXPECT_EQ(View().zoom(), 10000);

    // Fit: the work area decides.
    const QRect area = View().AvailableArea();
    View().Command(kCmdToggleFit);
    const int fit = std::min((area.width() - FrameWidth()) * 10000 / 200,
                             (area.height() - FrameHeight()) * 10000 / 100) + 1;
    EXPECT_EQ(View().zoom(), std::min(fit, 100000));
    EXPECT_TRUE(area.contains(View().frameGeometry()));
    View().Command(kCmdZoom25);
    EXPECT_EQ(View().zoom(), 2500);
    View().Command(kCmdZoom1000);
    EXPECT_EQ(View().zoom(), 100000);
    EXPECT_TRUE(area.contains(View().frameGeometry()));
}

TEST_F(ViewWindowTest, RestrictingRectangleBoundsTheWindow) {
    WriteIni("[Awin]\nMouseInfo=0\n[Vwin]\nPosCtrl=1\nPosL=100\nPosT=50\nPosR=500\nPosB=350\n");
    ASSERT_TRUE(Start());
    const QRect bounds(100, 50, 400, 300);
    EXPECT_EQ(View().AvailableArea(), bounds);
    ASSERT_TRUE(app_->OpenPath(Picture("p.bmp", 1000, 100, 0x445566)));
    View().show();
    QCoreApplication::processEvents();
    // Shrunk into the rectangle (minus the frame), and placed inside it.
    const int fit = (400 - FrameWidth()) * 10000 / 1000 + 1;
    EXPECT_EQ(View().zoom(), fit);
    EXPECT_TRUE(bounds.contains(View().frameGeometry())) << View().frameGeometry().x();
    View().Command(kCmdZoom200);
    EXPECT_EQ(View().frameGeometry().size(), QSize(400, 200 + FrameHeight()));
    EXPECT_TRUE(bounds.contains(View().frameGeometry()));
    View().Command(kCmdCenter);
    EXPECT_TRUE(bounds.contains(View().frameGeometry()));
}

TEST_F(ViewWindowTest, LargePictureFitsOrScrolls) {
    ASSERT_TRUE(StartQuiet());
    const QRect area = View().AvailableArea();
    const int w = area.width() * 2;
    const int h = area.height() + 10;
    const auto colour = [](int x, int y) -> uint32_t { return (x & 0xFF) << 16 | (y & 0xFF) << 8 | 0x40; };
    WriteFile(dir_.File("big.bmp"), Bmp24(w, h, colour));
    ASSERT_TRUE(app_->OpenPath(dir_.File("big.bmp")));
    QCoreApplication::processEvents();
    // Shrunk to fit by default.
    EXPECT_LT(View().zoom(), 10000);
    EXPECT_TRUE(area.contains(View().frameGeometry()));
    EXPECT_TRUE(View().smoothScaling());

    // Without shrinking: 100 %, the window as large as the area, the view scrolls.
    app_->session().settings.vwin.vSmall = 0;
    View().RefreshAfterLoad(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(View().zoom(), 10000);
    EXPECT_EQ(View().frameGeometry().size(), area.size());
    EXPECT_FALSE(View().smoothScaling());
    const QRect src = View().SourceRect();
    EXPECT_EQ(src.width(), View().pictureView()->width());
    EXPECT_EQ(src.x(), w / 2 - src.width() / 2);
    View().Command(kCmdScrollRight);
    EXPECT_EQ(View().SourceRect().x(), src.x() + (16 << View().viewport().scrollShift));
    // The moved pixels and the newly painted ones agree with the picture.
    View().show();
    QCoreApplication::processEvents();
    View().Command(kCmdScrollDown);
    View().Command(kCmdScrollLeft);
    QCoreApplication::processEvents();
    const QImage shot = View().pictureView()->grab().toImage();
    const QRect now = View().SourceRect();
    for (QPoint p : {QPoint(0, 0), QPoint(shot.width() - 1, 3), QPoint(7, shot.height() - 1),
                     QPoint(shot.width() / 2, shot.height() / 2)}) {
        EXPECT_EQ(Rgb(shot, p.x(), p.y()), colour(now.x() + p.x(), now.y() + p.y())) << p.x() << "," << p.y();
    }
    EXPECT_EQ(now.x(), src.x());
}

TEST_F(ViewWindowTest, RightDragScrollsAndRightClickOpensTheMenu) {
    WriteIni("[Awin]\nMouseInfo=0\n[Vwin]\nVSmall=0\n");
    ASSERT_TRUE(Start());
    int menus = 0;
    app_->SetMenuFunction([&menus](QMenu&, const QPoint&) -> QAction* {
        ++menus;
        return nullptr;
    });
    const QRect area = View().AvailableArea();
    ASSERT_TRUE(app_->OpenPath(Picture("big.bmp", area.width() + 400, area.height() + 300, 0x123456)));
    QCoreApplication::processEvents();
    const QRect src = View().SourceRect();

    // A move under 3 pixels is still a click: the menu opens and nothing scrolls.
    Mouse(QEvent::MouseButtonPress, {100, 100}, Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseMove, {101, 101}, Qt::NoButton, Qt::RightButton);
    Mouse(QEvent::MouseButtonRelease, {101, 101}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(View().SourceRect(), src);
    app_->ClearMenuSuppression();

    // A drag moves the picture with the hand, shifted for a picture larger than the screen.
    const int f = 1 << View().viewport().scrollShift;
    Mouse(QEvent::MouseButtonPress, {100, 100}, Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseMove, {90, 95}, Qt::NoButton, Qt::RightButton);
    EXPECT_TRUE(View().DragInProgress());
    // The client is larger than 304 x 304: the navigator shows while the drag scrolls.
    ASSERT_NE(app_->navigatorWindow(), nullptr);
    EXPECT_TRUE(app_->navigatorWindow()->isVisible());
    EXPECT_NE(View().pictureView()->cursor().shape(), Qt::ArrowCursor);
    Mouse(QEvent::MouseMove, {80, 90}, Qt::NoButton, Qt::RightButton);
    // Commands and the wheel wait while the drag runs.
    View().Command(kCmdZoomIn);
    Wheel(-120);
    EXPECT_EQ(View().zoom(), 10000);
    Mouse(QEvent::MouseButtonRelease, {80, 90}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(menus, 1);
    EXPECT_FALSE(View().DragInProgress());
    EXPECT_FALSE(app_->navigatorWindow()->isVisible());
    EXPECT_EQ(View().SourceRect().topLeft(), src.topLeft() + QPoint(20 * f, 10 * f));

    // Dragged far beyond the edge: held at the picture's corner.
    Mouse(QEvent::MouseButtonPress, {100, 100}, Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseMove, {3000, 3000}, Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(View().SourceRect().topLeft(), QPoint(0, 0));
    Mouse(QEvent::MouseButtonRelease, {3000, 3000}, Qt::RightButton, Qt::NoButton);

    // A picture that is wholly visible does not scroll; no menu after the drag either.
    ASSERT_TRUE(app_->OpenPath(Picture("small.bmp", 50, 40, 0x123456)));
    Mouse(QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseMove, {30, 30}, Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(View().pictureView()->cursor().shape(), Qt::ForbiddenCursor);
    Mouse(QEvent::MouseButtonRelease, {30, 30}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(View().SourceRect(), QRect(0, 0, 50, 40));
}

TEST_F(ViewWindowTest, RubberBandZoomsIntoTheArea) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("r.bmp", 200, 100, 0x808000)));
    QCoreApplication::processEvents();
    // 8 x 50 pixels: nothing.
    Mouse(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    Mouse(QEvent::MouseMove, {18, 60}, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    Mouse(QEvent::MouseButtonRelease, {18, 60}, Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
    EXPECT_EQ(View().zoom(), 10000);
    EXPECT_FALSE(View().DragInProgress());
    // 40 x 40 pixels around (70, 40): the area fills the work area, centred on it.
    Mouse(QEvent::MouseButtonPress, {50, 20}, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    Mouse(QEvent::MouseMove, {90, 60}, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    Mouse(QEvent::MouseButtonRelease, {90, 60}, Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
    const QRect area = View().AvailableArea();
    const int fit = std::min(area.width() - FrameWidth(), area.height() - FrameHeight()) * 10000 / 40 + 1;
    EXPECT_EQ(View().zoom(), std::min(fit, 100000));
    const QRect src = View().SourceRect();
    EXPECT_NEAR(src.center().x(), 70, 1);
    EXPECT_NEAR(src.center().y(), 40, 1);

    // A band is limited to the picture: started outside it nothing happens.
    View().Command(kCmdActualSize);
    View().Command(kCmdZoomOut);  // 50 %: 100 x 50 in a window 120 wide
    ASSERT_GT(View().DestinationRect().x(), 2);
    Mouse(QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_FALSE(View().DragInProgress() && View().zoom() != 5000);
    Mouse(QEvent::MouseButtonRelease, {2, 2}, Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
    EXPECT_EQ(View().zoom(), 5000);
}

TEST_F(ViewWindowTest, WheelZoomsOrBrowses) {
    ASSERT_TRUE(StartQuiet());
    const std::string a = Picture("a.bmp", 200, 100, 0x111111);
    Picture("b.bmp", 200, 100, 0x222222);
    ASSERT_TRUE(app_->OpenPath(a));
    app_->FinishFileListScan();
    Wheel(-120);  // towards the user: in
    EXPECT_EQ(View().zoom(), 11000);
    Wheel(120);
    Wheel(120);
    EXPECT_EQ(View().zoom(), 9000);
    Wheel(-60);  // half a notch waits for the other half
    EXPECT_EQ(View().zoom(), 9000);
    Wheel(-60);
    EXPECT_EQ(View().zoom(), 10000);
    // Ctrl alone: browsing instead.
    Wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(app_->session().picture.fileName, "b.bmp");
    Wheel(120, Qt::ControlModifier);
    EXPECT_EQ(app_->session().picture.fileName, "a.bmp");
    // Ctrl with Shift is not Ctrl alone.
    Wheel(-120, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(app_->session().picture.fileName, "a.bmp");
    EXPECT_EQ(View().zoom(), 11000);
    // Reversed zoom.
    app_->session().settings.awin.wheelRev = 1;
    Wheel(-120);
    EXPECT_EQ(View().zoom(), 10000);
    // Browsing by the setting.
    app_->session().settings.vwin.wheel = 1;
    Wheel(-120);
    EXPECT_EQ(app_->session().picture.fileName, "b.bmp");
}

TEST_F(ViewWindowTest, FullScreenRoundTripRestoresTheWindow) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("f.bmp", 200, 100, 0x445566)));
    View().show();
    QCoreApplication::processEvents();
    const QRect before = View().geometry();
    View().Command(kCmdZoomIn);
    const QRect zoomed = View().geometry();
    EXPECT_NE(zoomed, before);
    View().Command(kCmdFullScreen);
    QCoreApplication::processEvents();
    EXPECT_EQ(app_->session().displayMode, kFullScreen);
    EXPECT_TRUE(View().isFullScreen());
    EXPECT_TRUE(View().windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(View().zoom(), 10000);  // reset on entering
    EXPECT_EQ(View().pictureView()->size(), View().screen()->geometry().size());
    View().Command(kCmdFullScreen);
    QCoreApplication::processEvents();
    EXPECT_EQ(app_->session().displayMode, kMainWindow);
    EXPECT_FALSE(View().isFullScreen());
    EXPECT_FALSE(View().windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(View().zoom(), 10000);
    EXPECT_EQ(View().geometry(), before);

    // Maximising goes to full screen instead; minimised and restored it stays there.
    View().setWindowState(Qt::WindowMaximized);
    QCoreApplication::processEvents();
    EXPECT_EQ(app_->session().displayMode, kFullScreen);
    EXPECT_TRUE(View().isFullScreen());
    View().Command(kCmdMinimize);
    EXPECT_TRUE(View().isMinimized());
    View().Command(kCmdMinimize);
    QCoreApplication::processEvents();
    EXPECT_FALSE(View().isMinimized());
    EXPECT_TRUE(View().isFullScreen());
    EXPECT_EQ(app_->session().displayMode, kFullScreen);
    // Restored by the window system: back to normal display.
    View().setWindowState(Qt::WindowNoState);
    QCoreApplication::processEvents();
    EXPECT_EQ(app_->session().displayMode, kMainWindow);
    EXPECT_EQ(View().geometry(), before);
}

TEST_F(ViewWindowTest, FullScreenCursorAndToolBar) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("c.bmp", 200, 100, 0x445566)));
    app_->EnterFullScreen();
    View().activateWindow();
    QCoreApplication::processEvents();
    const QPoint inside = View().DestinationRect().center();
    QCursor::setPos(View().pictureView()->mapToGlobal(inside));
    app_->HideCursor();
    // The first left press only brings the cursor back: no rubber band.
    Mouse(QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(app_->cursorShown(), 1);
    EXPECT_FALSE(View().DragInProgress());
    Mouse(QEvent::MouseButtonRelease, inside, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(View().zoom(), 10000);

    // Small moves keep it hidden; more than 16 pixels shows it.
    app_->HideCursor();
    QCursor::setPos(View().pictureView()->mapToGlobal(inside + QPoint(16, 16)));
    Mouse(QEvent::MouseMove, inside + QPoint(16, 16), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(app_->cursorShown(), 0);
    QCursor::setPos(View().pictureView()->mapToGlobal(inside + QPoint(0, 17)));
    Mouse(QEvent::MouseMove, inside + QPoint(0, 17), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(app_->cursorShown(), 1);

    // The top edge drops the tool bar down; the next move hides it.
    Mouse(QEvent::MouseMove, QPoint(50, 5), Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(View().toolBarDown());
    EXPECT_TRUE(View().toolBarStrip()->isVisible());
    EXPECT_TRUE(View().toolBarStrip()->fullScreenLayout());
    EXPECT_EQ(View().toolBarStrip()->width(), View().width() + 4);
    View().grab().save("/tmp/lumra_view_strip.png");
    Mouse(QEvent::MouseMove, QPoint(50, 200), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(View().toolBarDown());
    app_->session().settings.vwin.vtBar = 0;
    Mouse(QEvent::MouseMove, QPoint(50, 5), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(View().toolBarDown());

    // In full screen a plain left drag is a rubber band.
    Mouse(QEvent::MouseButtonPress, inside - QPoint(20, 20), Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, inside + QPoint(20, 20), Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, inside + QPoint(20, 20), Qt::LeftButton, Qt::NoButton);
    EXPECT_GT(View().zoom(), 10000);
}

TEST_F(ViewWindowTest, ClicksAndChordsRunTheirActions) {
    WriteIni("[Awin]\nMouseInfo=0\nDClick=2\nLRClick=3\n");
    ASSERT_TRUE(Start());
    int menus = 0;
    app_->SetMenuFunction([&menus](QMenu&, const QPoint&) -> QAction* {
        ++menus;
        return nullptr;
    });
    ASSERT_TRUE(app_->OpenPath(Picture("d.bmp", 200, 100, 0x445566)));
    View().show();
    QCoreApplication::processEvents();
    Mouse(QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::LeftButton, Qt::NoButton);
    Mouse(QEvent::MouseButtonDblClick, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(app_->session().displayMode, kFullScreen);
    View().Command(kCmdFullScreen);
    QCoreApplication::processEvents();
    ASSERT_EQ(app_->session().displayMode, kMainWindow);

    // Right held, then left: the chord; the release minimises, no menu.
    Mouse(QEvent::MouseButtonPress, {50, 50}, Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    Mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::RightButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(menus, 0);
    EXPECT_TRUE(View().isMinimized());
    View().showNormal();

    // Middle click: 100 % goes to fit, otherwise back to 100 %.
    Mouse(QEvent::MouseButtonPress, {50, 50}, Qt::MiddleButton, Qt::MiddleButton);
    EXPECT_NE(View().zoom(), 10000);
    Mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::MiddleButton, Qt::NoButton);
    Mouse(QEvent::MouseButtonPress, {50, 50}, Qt::MiddleButton, Qt::MiddleButton);
    EXPECT_EQ(View().zoom(), 10000);
}

TEST_F(ViewWindowTest, TitleBarFrameAndPixelReadout) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("t.bmp", 200, 100, 0x0A141E)));
    View().show();
    QCoreApplication::processEvents();
    View().Command(kCmdTitleBar);
    EXPECT_EQ(app_->session().settings.vwin.capBar, 0);
    EXPECT_TRUE(View().windowFlags() & Qt::FramelessWindowHint);
    // Frame only: a drawn border of 4 pixels around the picture.
    EXPECT_EQ(View().pictureView()->geometry(), QRect(4, 4, 200, 100));
    EXPECT_EQ(View().size(), QSize(208, 108));
    View().Command(kCmdWindowFrame);
    EXPECT_EQ(app_->session().settings.vwin.frame, 0);
    EXPECT_EQ(View().pictureView()->geometry().topLeft(), QPoint(0, 0));
    View().Command(kCmdTitleBar);
    EXPECT_FALSE(View().windowFlags() & Qt::FramelessWindowHint);
    View().Command(kCmdWindowFrame);  // only while the title bar is hidden
    EXPECT_EQ(app_->session().settings.vwin.frame, 0);

    QWidget target;
    View().WritePixelReadout(QPoint(10, 10), &target);
    EXPECT_EQ(target.windowTitle().toStdString(), "r:10  g:20  b:30");
    View().Command(kCmdZoomOut);
    View().WritePixelReadout(QPoint(0, 0), &target);  // left of the picture
    EXPECT_EQ(target.windowTitle().toStdString(), "r:-  g:-  b:-");
}

TEST_F(ViewWindowTest, WindowCommandsAndLeftDrag) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("w.bmp", 200, 100, 0x445566)));
    View().show();
    QCoreApplication::processEvents();
    // A left drag of more than 2 pixels moves the window.
    const QPoint pos = View().pos();
    Mouse(QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, {51, 51}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(View().pos(), pos);
    Mouse(QEvent::MouseMove, {60, 57}, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {60, 57}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(View().pos(), pos + QPoint(10, 7));
    EXPECT_EQ(View().zoom(), 10000);

    // Centre: the picture area in the middle of the work area.
    View().Command(kCmdCenter);
    const QRect area = View().AvailableArea();
    const QRect client(View().pictureView()->mapToGlobal(QPoint(0, 0)), View().pictureView()->size());
    EXPECT_NEAR(client.center().x(), area.center().x(), 1);
    EXPECT_NEAR(client.center().y(), area.center().y(), 1);

    // Always on top keeps the window where it was.
    const QRect placed = View().geometry();
    View().Command(kCmdAlwaysOnTop);
    EXPECT_TRUE(View().windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(View().isVisible());
    EXPECT_EQ(View().geometry(), placed);
    View().Command(kCmdAlwaysOnTop);
    EXPECT_FALSE(View().windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(View().geometry(), placed);

    View().Command(kCmdBgBlack);
    View().Command(kCmdZoomOut);  // 100 x 50 in a wider window: background beside it
    EXPECT_EQ(Rgb(View().pictureView()->grab().toImage(), 0, 10), 0x000000u);
    View().Command(kCmdBgWhite);
    EXPECT_EQ(Rgb(View().pictureView()->grab().toImage(), 0, 10), 0xFFFFFFu);
}

TEST_F(ViewWindowTest, KeysAndButtonsStopTheSlideShow) {
    ASSERT_TRUE(StartQuiet());
    const std::string a = Picture("a.bmp", 200, 100, 0x111111);
    Picture("b.bmp", 200, 100, 0x222222);
    Picture("c.bmp", 200, 100, 0x333333);
    ASSERT_TRUE(app_->OpenPath(a));
    app_->FinishFileListScan();
    View().Command(kCmdSlideShow);
    ASSERT_TRUE(app_->slideShowRunning());
    EXPECT_EQ(app_->session().displayMode, kFullScreen);
    // The wheel is ignored while it runs.
    Wheel(-120);
    EXPECT_EQ(View().zoom(), 10000);
    EXPECT_TRUE(app_->slideShowRunning());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(View().pictureView(), &key);
    EXPECT_FALSE(app_->slideShowRunning());

    View().Command(kCmdSlideShow);
    ASSERT_TRUE(app_->slideShowRunning());
    Mouse(QEvent::MouseButtonPress, {50, 50}, Qt::MiddleButton, Qt::MiddleButton);
    Mouse(QEvent::MouseButtonRelease, {50, 50}, Qt::MiddleButton, Qt::NoButton);
    EXPECT_FALSE(app_->slideShowRunning());
    // The command again stops it.
    View().Command(kCmdSlideShow);
    ASSERT_TRUE(app_->slideShowRunning());
    View().Command(kCmdSlideShow);
    EXPECT_FALSE(app_->slideShowRunning());
    EXPECT_EQ(app_->session().displayMode, kFullScreen);
}

TEST_F(ViewWindowTest, EdgeDragIsLimitedAndCornerDragRescales) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("e.bmp", 200, 100, 0x445566)));
    View().show();
    QCoreApplication::processEvents();
    ASSERT_EQ(View().size(), QSize(200, 100));
    // Even right after the window sized itself an edge stops at the picture's size.
    View().resize(300, 100);
    EXPECT_EQ(View().size(), QSize(200, 100));
    QThread::msleep(450);
    View().resize(300, 100);  // the right edge: not wider than the picture
    EXPECT_EQ(View().size(), QSize(200, 100));
    View().resize(150, 100);  // narrower: cropped, zoom kept
    EXPECT_EQ(View().size(), QSize(150, 100));
    EXPECT_EQ(View().zoom(), 10000);
    EXPECT_EQ(View().SourceRect().width(), 150);
    // The left edge past the limit stops there; the right edge stays.
    const QRect narrow = View().geometry();
    View().setGeometry(narrow.adjusted(-100, 0, 0, 0));
    EXPECT_EQ(View().geometry(), QRect(narrow.right() + 1 - 200, narrow.y(), 200, 100));
    QThread::msleep(450);
    View().resize(400, 200);  // a corner: the zoom follows
    EXPECT_EQ(View().zoom(), 20001);
    EXPECT_EQ(View().size(), QSize(400, 200));
    // Dragged by the top-left corner the bottom-right corner stays where it was.
    QThread::msleep(450);
    const QRect big = View().geometry();
    View().setGeometry(QRect(big.x() + 100, big.y() + 50, 300, 150));
    EXPECT_EQ(View().zoom(), 15001);
    EXPECT_EQ(View().geometry(), QRect(big.x() + 100, big.y() + 50, 300, 150));
    EXPECT_EQ(View().geometry().bottomRight(), big.bottomRight());
}

TEST_F(ViewWindowTest, TitleTipShowsOverTheFrameAfterAShortRest) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("tip.bmp", 200, 100, 0x445566)));
    View().show();
    View().Command(kCmdTitleBar);  // frame only
    QCoreApplication::processEvents();
    const QPoint onFrame(1, 50);
    QMouseEvent move(QEvent::MouseMove, QPointF(onFrame), QPointF(View().mapToGlobal(onFrame)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&View(), &move);
    // Qt's own delay is 700 ms; ours is 300.
    QElapsedTimer waited;
    waited.start();
    while (!QToolTip::isVisible() && waited.elapsed() < 650) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), View().windowTitle());
    QToolTip::hideText();
}

TEST_F(ViewWindowTest, MinimisedWindowComesBackBeforeFullScreen) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("m.bmp", 200, 100, 0x445566)));
    View().show();
    QCoreApplication::processEvents();
    View().Command(kCmdMinimize);
    ASSERT_TRUE(View().isMinimized());
    View().setWindowState(Qt::WindowNoState);  // restored through the window manager
    QCoreApplication::processEvents();
    // A double click (DClick: full screen): full screen, not minimised as well.
    Mouse(QEvent::MouseButtonDblClick, {50, 50}, Qt::LeftButton, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(app_->session().displayMode, kFullScreen);
    EXPECT_TRUE(View().isFullScreen());
    EXPECT_FALSE(View().isMinimized());
    EXPECT_TRUE(View().isVisible());
    // Minimised again, full screen (Return) restores it first.
    View().Command(kCmdMinimize);
    View().Command(kCmdFullScreen);
    QCoreApplication::processEvents();
    EXPECT_FALSE(View().isMinimized());
    EXPECT_TRUE(View().isFullScreen());
}

TEST_F(ViewWindowTest, ToolBarDropsInTheClientAndStaysWhileThePointerIsOnIt) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("tb.bmp", 200, 100, 0x445566)));
    View().show();
    View().activateWindow();
    QCoreApplication::processEvents();
    // A window with a title bar: the top of the client drops it down.
    ASSERT_FALSE(View().windowFlags() & Qt::FramelessWindowHint);
    Mouse(QEvent::MouseMove, QPoint(50, 5), Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(View().toolBarDown());
    Mouse(QEvent::MouseMove, QPoint(50, 80), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(View().toolBarDown());
    // Full screen: moves along the strip keep it, a move over the picture hides it.
    app_->EnterFullScreen();
    QCoreApplication::processEvents();
    Mouse(QEvent::MouseMove, QPoint(50, 5), Qt::NoButton, Qt::NoButton);
    ASSERT_TRUE(View().toolBarDown());
    for (int x : {60, 70, 300}) {
        Mouse(QEvent::MouseMove, QPoint(x, 12), Qt::NoButton, Qt::NoButton);
        EXPECT_TRUE(View().toolBarDown()) << x;
    }
    Mouse(QEvent::MouseMove, QPoint(50, 200), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(View().toolBarDown());
}

TEST_F(ViewWindowTest, LeavingFullScreenFitsAgain) {
    WriteIni("[Awin]\nMouseInfo=0\n[Vwin]\nPosCtrl=1\nPosL=0\nPosT=0\nPosR=300\nPosB=200\n");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app_->OpenPath(Picture("big.bmp", 1200, 800, 0x445566)));
    View().show();
    QCoreApplication::processEvents();
    const int fitted = View().zoom();
    app_->EnterFullScreen();
    QCoreApplication::processEvents();
    ASSERT_NE(View().zoom(), fitted);
    View().Command(kCmdFullScreen);
    // The frame comes back a moment later; the fit counts with it then.
    QElapsedTimer waited;
    waited.start();
    while (View().zoom() != fitted && waited.elapsed() < 3000) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    EXPECT_EQ(View().zoom(), fitted);
    EXPECT_EQ(View().SourceRect().height(), 800);  // no rows cut off
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
