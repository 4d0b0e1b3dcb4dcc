// The tone and colour bars driven as a user would: trackbar and boxes with "同期", levels with
// "自動設定" and its histogram window, hue/saturation modes and the colour pick, ImgC kept on Cancel, 5111.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "edit/colour/colour_ops.h"
#include "edit/edit_model.h"
#include "edit/tone/tone_ops.h"
#include "shell/command_catalogue.h"
#include "shell/ini_file.h"
#include "ui/edit_window.h"
#include "ui/histogram_window.h"
#include "ui/operation_bar.h"
#include "ui/tone_bars.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

class ToneBarsTest : public AppFixture {
protected:
    ui::EditWindow& Edit() { return *app_->editWindowObject(); }

    void Open(const std::string& ini = {}) {
        WriteIni("[Awin]\nMouseInfo=0\n" + ini);
        ASSERT_TRUE(Start());
        ASSERT_TRUE(app_->OpenPath(Picture("p.bmp", 40, 30, 0x336699)));
        app_->SwitchMode(kEditWindow);
    }
    ui::ControlStrip* Strip() {
        auto* bar = Edit().findChild<ui::OperationBar*>();
        return bar ? bar->controls() : nullptr;
    }
    template <class T>
    T* Control(int id) {
        return Strip() ? qobject_cast<T*>(Strip()->control(id)) : nullptr;
    }
    QString Box(int id) { return Control<QLineEdit>(id)->text(); }
    int Param(int i) { return Edit().model().active->preview->params[static_cast<size_t>(i)].load(); }
    // The first preview byte (B of the bottom-left pixel) once the worker wrote it.
    int PreviewByte(int expect) {
        const ImageBuffer& copy = Edit().model().active->preview->copy;
        QElapsedTimer waited;
        waited.start();
        while (copy.bits()[0] != expect && waited.elapsed() < 10000) QCoreApplication::processEvents();
        return copy.bits()[0];
    }
};

TEST_F(ToneBarsTest, BrightnessTrackbarSyncAndOk) {
    Open();
    Edit().Command(kCmdBrightness);
    ASSERT_NE(Strip(), nullptr);
    // 同期 on: the trackbar and R are live, the labels and G, B are not.
    EXPECT_TRUE(Control<QCheckBox>(1550)->isChecked());
    EXPECT_TRUE(Control<QSlider>(1510)->isEnabled());
    EXPECT_FALSE(Control<QLineEdit>(1531)->isEnabled());
    EXPECT_FALSE(Strip()->control(1522)->isEnabled());
    EXPECT_EQ(Control<QSlider>(1510)->minimum(), -255);
    Control<QSlider>(1510)->setValue(50);
    EXPECT_EQ(Box(1532), "50");
    EXPECT_EQ(Box(1531), "50");
    EXPECT_EQ(Box(1530), "50");
    EXPECT_EQ(PreviewByte(0x99 + 50), 0x99 + 50);
    // Unchecked: G and B on their own, the trackbar off; B typed past the range is clamped.
    Control<QCheckBox>(1550)->setChecked(false);
    EXPECT_FALSE(Control<QSlider>(1510)->isEnabled());
    EXPECT_TRUE(Control<QLineEdit>(1530)->isEnabled());
    Control<QLineEdit>(1530)->setText("-300");
    EXPECT_EQ(Param(kToneB), -255);
    EXPECT_EQ(Param(kToneR), 50);
    EXPECT_EQ(PreviewByte(0), 0);
    // Checking again forces G and B to R.
    Control<QCheckBox>(1550)->setChecked(true);
    EXPECT_EQ(Param(kToneB), 50);
    EXPECT_EQ(Box(1530), "50");
    EXPECT_EQ(PreviewByte(0x99 + 50), 0x99 + 50);
    Edit().Command(kCmdOperationOk);
    EXPECT_EQ(app_->session().history.entries, 2);
    EXPECT_EQ(app_->session().picture.image.bits()[0], 0x99 + 50);
}

TEST_F(ToneBarsTest, LevelsAutoChannelsAndHistogramWindow) {
    Open();
    Edit().Command(kCmdHistogramCorrection);
    ASSERT_NE(Strip(), nullptr);
    ui::HistogramWindow* h = ui::ActiveHistogramWindow();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(h->isVisible());
    EXPECT_TRUE(Control<QRadioButton>(1413)->isChecked());
    // One colour: RGB's automatic pair runs from the lowest to the highest byte.
    Control<QPushButton>(1450)->click();
    EXPECT_EQ(Box(1430), "51");
    EXPECT_EQ(Box(1431), "153");
    EXPECT_EQ(PreviewByte(255), 255);
    // B shows its own pair; Min typed past Max stays below it.
    Control<QRadioButton>(1410)->setChecked(true);
    EXPECT_EQ(Box(1430), "0");
    EXPECT_EQ(Box(1431), "255");
    EXPECT_EQ(PreviewByte(0x99), 0x99);
    Control<QLineEdit>(1431)->setText("200");
    Control<QLineEdit>(1430)->setText("250");
    EXPECT_EQ(Param(0), 199);
    EXPECT_EQ(Param(1), 200);
    // The bars of the graph: every pixel in one bin, which reaches the top.
    EXPECT_LE(h->BarTop(0, 0x99), 0);
    EXPECT_EQ(h->BarTop(0, 0x98), 99);
    // Closing the window hides it and unchecks ウィンドウ; the check shows it again.
    h->close();
    EXPECT_FALSE(h->isVisible());
    EXPECT_FALSE(Control<QCheckBox>(1460)->isChecked());
    Control<QCheckBox>(1460)->setChecked(true);
    EXPECT_TRUE(h->isVisible());
    Edit().Command(kCmdOperationCancel);
    EXPECT_EQ(ui::ActiveHistogramWindow(), nullptr);
    EXPECT_EQ(app_->session().history.entries, 0);
}

TEST(HistogramMouse, MarkersClicksAndWandering) {
    const LevelsPair pair{10, 200};
    ui::HistogramMouse m;
    // Dragging the minimum marker: quiet moves, one recompute at the release.
    m.Move(12, 50, false, pair);
    EXPECT_EQ(m.target, 1);
    m.Press(12, 50, false);
    ui::HistogramMouse::Step s = m.Move(40, 60, true, pair);
    EXPECT_EQ(s.minimum, 40);
    EXPECT_FALSE(s.live);
    s = m.Release(40);
    EXPECT_TRUE(s.recompute);
    EXPECT_FALSE(s.minimum);
    // A click away from the markers: left sets the minimum, right the maximum, live.
    m.Move(100, 50, false, pair);
    EXPECT_EQ(m.target, 0);
    m.Press(100, 50, true);
    s = m.Move(101, 51, true, pair);
    EXPECT_FALSE(s.maximum);
    s = m.Release(101);
    EXPECT_EQ(s.maximum, 101);
    EXPECT_TRUE(s.live);
    // Four pixels away cancels the click.
    m.Press(100, 50, false);
    m.Move(102, 52, true, pair);
    s = m.Release(102);
    EXPECT_FALSE(s.minimum || s.maximum || s.recompute);
}

TEST_F(ToneBarsTest, HueSaturationModesAndImgCKeptOnCancel) {
    Open("[ImgC]\nHlsMode=0\nHlsRange=20\nHlsColR=1\n");
    Edit().Command(kCmdHueSaturation);
    ASSERT_NE(Strip(), nullptr);
    EXPECT_TRUE(Control<QRadioButton>(1610)->isChecked());
    EXPECT_EQ(Control<QSlider>(1630)->maximum(), 180);
    EXPECT_EQ(Box(1641), "20");
    EXPECT_EQ(Control<ui::ColourBox>(1670)->colour(), 0x01FFFFu);
    Control<QSlider>(1630)->setValue(120);
    EXPECT_EQ(Param(kHlsHue), 120);
    // Another mode shows its own value and range; the hue stays.
    Control<QRadioButton>(1612)->setChecked(true);
    EXPECT_EQ(Control<QSlider>(1630)->maximum(), 255);
    EXPECT_EQ(Box(1640), "0");
    Control<QRadioButton>(1610)->setChecked(true);
    EXPECT_EQ(Box(1640), "120");
    Control<QRadioButton>(1611)->setChecked(true);
    Control<QLineEdit>(1641)->setText("999");
    // Pic shows the source pane; Escape leaves the pick, not the operation.
    Edit().SetPaneLayout(kPanePreviewOnly);
    Control<QPushButton>(1680)->click();
    EXPECT_EQ(Edit().layout(), kPaneSourceOnly);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&Edit(), &escape);
    EXPECT_EQ(Edit().layout(), kPanePreviewOnly);
    EXPECT_EQ(app_->session().operationState, kOpHueSaturation);
    Edit().Command(kCmdOperationCancel);
    IniFile ini;
    ini.Load(IniPath());
    EXPECT_EQ(ini.GetInt("ImgC", "HlsMode", -1), 1);
    EXPECT_EQ(ini.GetInt("ImgC", "HlsRange", -1), 150);
    EXPECT_EQ(ini.GetInt("ImgC", "HlsColR", -1), 1);
    EXPECT_EQ(app_->session().history.entries, 0);
}

TEST_F(ToneBarsTest, PicShowsThePlainPictureAndEndsWhenTheWindowIsLeft) {
    Open();
    // The right half is outside the selection, dimmed while the selection is shown.
    std::vector<uint8_t>& mask = app_->session().picture.selection;
    mask.assign(40 * 30, 0);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = i % 40 >= 20 ? 255 : 0;
    Edit().Command(kCmdSelectionView);
    auto outside = [this] {
        const ViewRect& d = Edit().viewport().dest;
        return Edit().sourcePane()->canvas()->grab().toImage().pixel(d.x + d.w * 3 / 4, d.y + d.h / 2);
    };
    const QRgb plain = qRgb(0x33, 0x66, 0x99);
    ASSERT_NE(outside(), plain);
    Edit().Command(kCmdHueSaturation);
    ASSERT_NE(Strip(), nullptr);
    const uint32_t stored = Control<ui::ColourBox>(1670)->colour();
    Control<QPushButton>(1680)->click();
    ASSERT_TRUE(Edit().colourPickArmed());
    EXPECT_EQ(outside(), plain);
    // Another window taking the focus loses the capture: the pick ends as cancelled.
    QWidget other;
    other.show();
    other.activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (Edit().colourPickArmed() && waited.elapsed() < 5000) QCoreApplication::processEvents();
    EXPECT_FALSE(Edit().colourPickArmed());
    EXPECT_FALSE(app_->acceleratorsSuspended());
    EXPECT_EQ(Control<ui::ColourBox>(1670)->colour(), stored);
    EXPECT_FALSE(Control<ui::ColourBox>(1670)->liveColour().has_value());
    EXPECT_NE(outside(), plain);
    EXPECT_EQ(app_->session().operationState, kOpHueSaturation);
}

TEST_F(ToneBarsTest, ReplaceStartsFromImgCAndCommits) {
    Open("[ImgC]\nRpcCol0R=51\nRpcCol0G=102\nRpcCol0B=153\nRpcRange=0\nRpcLevel=255\n");
    Edit().Command(kCmdReplaceColor);
    ASSERT_NE(Strip(), nullptr);
    EXPECT_EQ(Control<ui::ColourBox>(2250)->colour(), 0x336699u);
    EXPECT_EQ(Box(2231), "255");
    // The first preview comes at once: the exact colour becomes the target (255, 0, 128).
    EXPECT_EQ(PreviewByte(128), 128);
    Edit().Command(kCmdOperationOk);
    EXPECT_EQ(app_->session().history.entries, 2);
}

TEST_F(ToneBarsTest, ImmediateCommandsAndLuminanceDialog) {
    Open();
    app_->RunCommand(kCmdInvert);
    EXPECT_EQ(app_->session().picture.image.bits()[0], 255 - 0x99);
    app_->RunCommand(kCmdHistogram);
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0], "lumra::ui::LuminanceDialog");
    app_->RunCommand(kCmdEqualize);  // one luminance: nothing to spread
    EXPECT_EQ(app_->session().history.entries, 2);
}

}  // namespace
}  // namespace lumra::test
