// Trimming, resize and rotation driven through their bars and the preview pane, ImgS read at
// the start and written at the end, and a quarter turn from the command.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include "edit/geometry/geometry_ops.h"
#include "shell/command_catalogue.h"
#include "shell/ini_file.h"
#include "ui/edit_window.h"
#include "ui/operation_bar.h"
#include "ui/picture_canvas.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

void Mouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint at) {
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

class GeometryUiTest : public AppFixture {
protected:
    ui::EditWindow& Edit() { return *app_->editWindowObject(); }
    const ImageBuffer& Image() { return app_->session().picture.image; }

    void Open(int w, int h, const std::string& ini = "") {
        ASSERT_TRUE(StartQuiet());
        if (!ini.empty()) WriteIni("[Awin]\nMouseInfo=0\n" + ini);
        ASSERT_TRUE(app_->OpenPath(Picture("p.bmp", w, h, 0x336699)));
        app_->SwitchMode(kEditWindow);
    }

    ui::ControlStrip* Start(int command) {
        Edit().Command(command);
        auto* bar = Edit().findChild<ui::OperationBar*>();
        return bar ? bar->controls() : nullptr;
    }

    void Drag(QPoint from, QPoint to) {
        QWidget* pane = Edit().previewPane()->canvas();
        Mouse(pane, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, from);
        Mouse(pane, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, to);
        Mouse(pane, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, to);
    }
};

TEST_F(GeometryUiTest, ResizeByTheWidthBoxKeepsTheAspect) {
    Open(40, 30);
    ui::ControlStrip* strip = Start(kCmdResize);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->value(kResizeW), 40);
    // Five digits are typed; the box takes at most twice the width.
    EXPECT_EQ(strip->editBox(kResizeW)->maxLength(), 5);
    strip->editBox(kResizeW)->setText("100");
    EXPECT_EQ(strip->value(kResizeW), 80);
    EXPECT_EQ(strip->value(kResizeH), 60);
    EXPECT_EQ(strip->value(kResizePercent), 200);
    Edit().Command(kCmdOperationOk);
    EXPECT_EQ(Image().width(), 80);
    EXPECT_EQ(Image().height(), 60);
    EXPECT_EQ(app_->session().history.NameAt(1), "リサイズ");
}

TEST_F(GeometryUiTest, APresetWithBothSidesSetsTheSizeAndTheListReturns) {
    Open(40, 30, "[ImgS]\nRszP1W=50\nRszP1H=20\n");
    ui::ControlStrip* strip = Start(kCmdResize);
    ASSERT_NE(strip, nullptr);
    auto* combo = qobject_cast<QComboBox*>(strip->control(kResizePresetCombo));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->itemText(1).toStdString(), "W:50 H:20");
    combo->setCurrentIndex(1);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(strip->value(kResizeIgnore), 1);
    EXPECT_FALSE(strip->control(1)->isEnabled());  // the trackbar
    Edit().Command(kCmdOperationOk);
    EXPECT_EQ(Image().width(), 50);
    EXPECT_EQ(Image().height(), 20);
}

TEST_F(GeometryUiTest, ATrimmingDragCutsThePicture) {
    Open(200, 100, "[ImgS]\nTrmRSel=0\nTrmR4W=3\nTrmR4H=0\n");
    ui::ControlStrip* strip = Start(kCmdTrim);
    ASSERT_NE(strip, nullptr);
    auto* combo = qobject_cast<QComboBox*>(strip->control(kTrimRatioCombo));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 10);
    EXPECT_EQ(combo->itemText(1).toStdString(), "1024:768");
    EXPECT_EQ(combo->itemText(4).toStdString(), "-");  // one side 0: empty
    EXPECT_FALSE(strip->editBox(kTrimX1)->isEnabled());
    EXPECT_TRUE(Edit().layout() == kPanePreviewOnly);
    const Viewport& vp = Edit().viewport();
    ASSERT_EQ(vp.zoom, kZoomActual);
    const QPoint origin(vp.dest.x, vp.dest.y);
    // Eight pixels or less do not start a rectangle, and the layouts stay locked.
    Drag(origin + QPoint(10, 10), origin + QPoint(15, 13));
    EXPECT_FALSE(strip->editBox(kTrimX1)->isEnabled());
    Edit().Command(kCmdSideBySide);
    EXPECT_EQ(Edit().layout(), kPanePreviewOnly);
    EXPECT_TRUE(app_->acceleratorsSuspended());

    Drag(origin + QPoint(110, 60), origin + QPoint(10, 20));
    EXPECT_TRUE(strip->editBox(kTrimX1)->isEnabled());
    EXPECT_FALSE(app_->acceleratorsSuspended());
    EXPECT_EQ(strip->value(kTrimX1), 10);
    EXPECT_EQ(strip->value(kTrimY1), 20);
    EXPECT_EQ(strip->value(kTrimX2), 110);
    EXPECT_EQ(strip->value(kTrimY2), 60);
    EXPECT_EQ(qobject_cast<QLabel*>(strip->control(kTrimShownW))->text(), "101");
    // The outside shows at half brightness, the inside as it is.
    const ImageBuffer& copy = Edit().model().active->preview->copy;
    const uint8_t* bottomRow = copy.bits();  // rows bottom-up: picture row 99
    EXPECT_EQ(bottomRow[0], 0x99 >> 1);
    // A typed X2 beyond the picture is clamped; moving the frame by its inside keeps its size.
    strip->editBox(kTrimX2)->setText("500");
    EXPECT_EQ(strip->value(kTrimX2), 199);
    Drag(origin + QPoint(50, 40), origin + QPoint(40, 35));
    EXPECT_EQ(strip->value(kTrimX1), 0);
    EXPECT_EQ(strip->value(kTrimX2), 189);
    EXPECT_EQ(strip->value(kTrimY1), 15);
    // A ratio keeps the height and centres the width it gives: 41 x 1024 / 768 -> 55.
    combo->setCurrentIndex(1);
    EXPECT_EQ(strip->value(kTrimX1), 67);
    EXPECT_EQ(strip->value(kTrimX2), 121);
    Edit().Command(kCmdOperationOk);
    EXPECT_EQ(Image().width(), 55);
    EXPECT_EQ(Image().height(), 41);
    EXPECT_EQ(app_->session().history.NameAt(1), "トリミング");
}

TEST_F(GeometryUiTest, ARotationTypedInDegreesAndItsSettings) {
    Open(40, 30, "[ImgS]\nTurGrid=0\nTurBgR=10\n");
    ui::ControlStrip* strip = Start(kCmdRotateFree);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->value(kRotateGrid), 0);
    EXPECT_EQ(strip->value(kRotateBackground), 0x0AFFFF);
    strip->editBox(kRotateAngle)->setText("90");
    EXPECT_EQ(strip->value(kRotateAngle), 900);
    strip->editBox(kRotateAngle)->setText("-45");
    strip->editBox(kRotateAngle)->setText("90.0");
    Edit().Command(kCmdOperationOk);
    EXPECT_EQ(Image().width(), 35);
    EXPECT_EQ(Image().height(), 45);
    EXPECT_EQ(Image().bitCount(), 24);
    EXPECT_EQ(app_->session().history.NameAt(1), "任意角度回転");
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(ini.GetInt("ImgS", "TurBgR", -1), 10);
    EXPECT_EQ(ini.GetInt("ImgS", "TurGrid", -1), 0);
    EXPECT_EQ(ini.GetInt("ImgS", "TrmR1W", -1), 1024);
}

TEST_F(GeometryUiTest, TheLineToolLevelsAHorizon) {
    Open(200, 100);
    ui::ControlStrip* strip = Start(kCmdRotateFree);
    ASSERT_NE(strip, nullptr);
    const Viewport& vp = Edit().viewport();
    const QPoint origin(vp.dest.x, vp.dest.y);
    // Shorter than 9 on both axes: nothing.
    Drag(origin + QPoint(10, 10), origin + QPoint(18, 18));
    EXPECT_EQ(strip->value(kRotateAngle), 0);
    // The end stays on the picture (100 high): 100 right and 89 down.
    Drag(origin + QPoint(10, 10), origin + QPoint(110, 110));
    EXPECT_EQ(strip->editBox(kRotateAngle)->text(), "-41.7");
    // 80 right and 80 down is 45 degrees clockwise: the picture turns back by 45.
    strip->editBox(kRotateAngle)->setText("0");
    Drag(origin + QPoint(10, 10), origin + QPoint(90, 90));
    EXPECT_EQ(strip->editBox(kRotateAngle)->text(), "-45.0");
    EXPECT_EQ(strip->value(kRotateAngle), -450);
    Edit().Command(kCmdOperationCancel);
    EXPECT_EQ(Image().width(), 200);
}

TEST_F(GeometryUiTest, QuarterTurnFromTheCommand) {
    Open(40, 30);
    Edit().Command(kCmdRotate90);
    EXPECT_EQ(Image().width(), 30);
    EXPECT_EQ(Image().height(), 40);
    EXPECT_EQ(app_->session().history.NameAt(1), "90度回転");
}

}  // namespace
}  // namespace lumra::test
