// The brushes and the text tool driven with the mouse and their bars: a stroke on the
// preview pane, stroke undo inside the tool, the colour pick, text typed and dragged.
#include <QAbstractButton>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>

#include "edit/brush/brush_tool.h"
#include "edit/text/text_tool.h"
#include "shell/command_catalogue.h"
#include "shell/ini_file.h"
#include "ui/brush_bar.h"
#include "ui/edit_window.h"
#include "ui/font_window.h"
#include "ui/operation_bar.h"
#include "ui/picture_canvas.h"
#include "ui/text_bar.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

class BrushTextUiTest : public AppFixture {
protected:
    ui::EditWindow& Edit() { return *app_->editWindowObject(); }
    Session& S() { return app_->session(); }

    void Open(int w, int h, uint32_t colour) {
        ASSERT_TRUE(StartQuiet());
        ASSERT_TRUE(app_->OpenPath(Picture("p.bmp", w, h, colour)));
        app_->SwitchMode(kEditWindow);
        ASSERT_EQ(S().displayMode, kEditWindow);
    }
    ui::OperationBar* Bar() { return Edit().findChild<ui::OperationBar*>(); }
    // A pane point over picture pixel (x, y) (the pictures here are shown at 100 %).
    QPoint At(int x, int y) {
        const Viewport& vp = Edit().viewport();
        return {vp.dest.x + x - vp.src.x, vp.dest.y + y - vp.src.y};
    }
    void Mouse(int pane, QEvent::Type type, QPoint at, Qt::MouseButtons held = Qt::LeftButton,
               Qt::MouseButton pressed = Qt::LeftButton) {
        QWidget* canvas = pane == 0 ? Edit().sourcePane()->canvas() : Edit().previewPane()->canvas();
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : pressed;
        QMouseEvent event(type, QPointF(at), canvas->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(canvas, &event);
    }
    void Drag(QPoint from, QPoint to) {
        Mouse(1, QEvent::MouseButtonPress, from);
        Mouse(1, QEvent::MouseMove, to);
        Mouse(1, QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    uint32_t Pixel(const ImageBuffer& image, int x, int y) {
        const uint8_t* p = image.topRow(y) + 3 * x;
        return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    }
    bool Enabled(int id) { return Edit().ToolAction(id)->isEnabled(); }
};

TEST_F(BrushTextUiTest, AStrokeByMouseIsOneHistoryEntryAtOk) {
    WriteIni("[Awin]\nMouseInfo=0\n[ImgD]\nDpbSize=5\nDpbAlpha=100\nDpbColR=255\nDpbColG=0\nDpbColB=0\n");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app_->OpenPath(Picture("p.bmp", 60, 40, 0x336699)));
    app_->SwitchMode(kEditWindow);
    Edit().Command(kCmdPaint);
    ASSERT_EQ(S().operationState, kOpPaint);
    ASSERT_NE(Bar(), nullptr);
    EXPECT_EQ(Bar()->controls()->value(0), 5);
    EXPECT_FALSE(Enabled(kCmdUndo));
    Drag(At(10, 10), At(30, 10));
    const ImageBuffer& working = ActiveBrush(Edit().model())->working;
    EXPECT_EQ(Pixel(working, 20, 10), 0xFF0000u);
    EXPECT_EQ(Pixel(working, 20, 20), 0x336699u);
    EXPECT_TRUE(Enabled(kCmdUndo));
    EXPECT_EQ(S().history.entries, 0);
    Edit().Command(kCmdOperationOk);
    EXPECT_EQ(S().operationState, 0);
    ASSERT_EQ(S().history.entries, 2);
    EXPECT_EQ(S().history.NameAt(1), "ペイント");
    EXPECT_EQ(Pixel(S().picture.image, 20, 10), 0xFF0000u);
    EXPECT_EQ(Pixel(S().picture.image, 20, 20), 0x336699u);
}

TEST_F(BrushTextUiTest, StrokesUndoAndRedoInsideTheTool) {
    Open(60, 40, 0x336699);
    Edit().Command(kCmdPaint);
    Bar()->controls()->editBox(2)->setText("100");  // opacity
    Drag(At(10, 10), At(20, 10));
    Drag(At(10, 30), At(20, 30));
    const ImageBuffer& working = ActiveBrush(Edit().model())->working;
    ASSERT_NE(Pixel(working, 15, 30), 0x336699u);
    Edit().Command(kCmdUndo);
    EXPECT_EQ(Pixel(working, 15, 30), 0x336699u);
    EXPECT_NE(Pixel(working, 15, 10), 0x336699u);
    EXPECT_TRUE(Enabled(kCmdRedo));
    Edit().Command(kCmdRedo);
    EXPECT_NE(Pixel(working, 15, 30), 0x336699u);
    EXPECT_FALSE(Enabled(kCmdRedo));
    Edit().Command(kCmdUndo);
    Edit().Command(kCmdUndo);
    EXPECT_FALSE(Enabled(kCmdUndo));
    // Every stroke undone: OK records nothing.
    Edit().Command(kCmdOperationOk);
    EXPECT_EQ(S().history.entries, 0);
    EXPECT_EQ(Pixel(S().picture.image, 15, 10), 0x336699u);
}

TEST_F(BrushTextUiTest, PicTakesThePaintColourFromTheSourcePane) {
    Open(60, 40, 0x336699);
    Edit().Command(kCmdPaint);
    static_cast<QAbstractButton*>(Bar()->controls()->control(2450))->click();
    EXPECT_EQ(Edit().layout(), 1);
    Mouse(0, QEvent::MouseMove, At(5, 5), Qt::NoButton);
    Mouse(0, QEvent::MouseButtonPress, At(5, 5));
    EXPECT_EQ(Edit().layout(), 2);
    EXPECT_EQ(Bar()->controls()->value(1), 0x336699);
    EXPECT_EQ(ActiveBrush(Edit().model())->settings.red, 0x33);
    Edit().Command(kCmdOperationCancel);
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(ini.GetInt("ImgD", "DpbColB", 0), 0x99);  // written at Cancel too
}

TEST_F(BrushTextUiTest, NoRightButtonGestureStartsWhileAStrokeIsDrawn) {
    WriteIni("[Awin]\nMouseInfo=0\nLRClick=3\n");  // a left-right chord minimises
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app_->OpenPath(Picture("p.bmp", 60, 40, 0x336699)));
    app_->SwitchMode(kEditWindow);
    Edit().Command(kCmdPaint);
    Bar()->controls()->editBox(2)->setText("100");
    Mouse(1, QEvent::MouseButtonPress, At(10, 10));
    const Qt::MouseButtons both = Qt::LeftButton | Qt::RightButton;
    Mouse(1, QEvent::MouseButtonPress, At(10, 10), both, Qt::RightButton);
    Mouse(1, QEvent::MouseMove, At(30, 30), both);
    Mouse(1, QEvent::MouseButtonRelease, At(30, 30), Qt::LeftButton, Qt::RightButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Edit().isMinimized());
    Mouse(1, QEvent::MouseButtonRelease, At(30, 30), Qt::NoButton);
    const ImageBuffer& working = ActiveBrush(Edit().model())->working;
    ASSERT_NE(Pixel(working, 20, 20), 0x336699u);
    // The stroke ended normally and no right drag holds the commands back.
    Edit().Command(kCmdUndo);
    EXPECT_EQ(Pixel(working, 20, 20), 0x336699u);
    EXPECT_EQ(Pixel(working, 10, 10), 0x336699u);
    Edit().Command(kCmdOperationCancel);
}

TEST_F(BrushTextUiTest, TheBlockDrawnIsClippedAndShownGrownByFour) {
    Open(60, 40, 0x336699);
    Edit().Command(kCmdPaint);
    Bar()->controls()->editBox(0)->setText("5");
    const BrushTool& tool = *ActiveBrush(Edit().model());
    Mouse(1, QEvent::MouseButtonPress, At(-2, -2));  // dab -4..1 on both axes
    EXPECT_EQ(tool.drawn.left, 0);
    EXPECT_EQ(tool.drawn.top, 0);
    EXPECT_EQ(tool.drawn.right, 1);
    EXPECT_EQ(tool.drawn.bottom, 1);
    Mouse(1, QEvent::MouseMove, At(-2, -2));  // no step: nothing drawn
    EXPECT_LE(tool.drawn.right, tool.drawn.left);
    Mouse(1, QEvent::MouseButtonRelease, At(-2, -2), Qt::NoButton);
    Edit().Command(kCmdOperationCancel);

    struct Case {
        ViewRect dest, src;
        int l, t, r, b;
        QRect want;
    };
    const Case cases[] = {
        {{10, 20, 60, 40}, {0, 0, 60, 40}, 5, 6, 8, 9, QRect(11, 22, 11, 11)},      // 100 %
        {{0, 0, 200, 100}, {30, 10, 100, 50}, 31, 11, 33, 12, QRect(-2, -2, 12, 10)},  // 200 %, scrolled
        {{0, 0, 20, 20}, {0, 0, 60, 60}, 4, 4, 5, 5, QRect(-3, -3, 9, 9)},           // 1/3: covers the part pixel
    };
    for (const Case& c : cases) {
        Viewport vp;
        vp.dest = c.dest;
        vp.src = c.src;
        EXPECT_EQ(ui::PanePictureBlock(vp, c.l, c.t, c.r, c.b), c.want) << c.l;
    }
}

TEST_F(BrushTextUiTest, ThePickReadoutGivesTheTitleBack) {
    Open(60, 40, 0x336699);
    Edit().Command(kCmdPaint);
    const QString title = Edit().windowTitle();
    static_cast<QAbstractButton*>(Bar()->controls()->control(2450))->click();
    Mouse(0, QEvent::MouseMove, At(5, 5), Qt::NoButton);
    EXPECT_NE(Edit().windowTitle(), title);
    Mouse(0, QEvent::MouseButtonPress, At(5, 5));
    EXPECT_EQ(Edit().windowTitle(), title);
    Edit().Command(kCmdOperationCancel);
}

TEST_F(BrushTextUiTest, NoiseRemovalDisablesTheStrength) {
    Open(60, 40, 0x336699);
    Edit().Command(kCmdPartialCorrection);
    ASSERT_EQ(S().operationState, kOpPartialBrush);
    ui::ControlStrip* strip = Bar()->controls();
    EXPECT_TRUE(strip->editBox(2)->isEnabled());
    static_cast<QRadioButton*>(strip->control(2516))->click();
    EXPECT_FALSE(strip->editBox(2)->isEnabled());
    EXPECT_EQ(ActiveBrush(Edit().model())->settings.mode, kBrushDenoise);
    static_cast<QRadioButton*>(strip->control(2510))->click();
    EXPECT_TRUE(strip->editBox(2)->isEnabled());
    EXPECT_EQ(strip->value(2), 20);  // brighten's own strength
    Edit().Command(kCmdOperationCancel);
}

TEST_F(BrushTextUiTest, TextTypedAndDraggedIsCommittedAtOk) {
    Open(200, 80, 0x000000);
    Edit().Command(kCmdInsertText);
    ASSERT_EQ(S().operationState, kOpText);
    auto* box = qobject_cast<QLineEdit*>(Bar()->controls()->control(2600));
    ASSERT_NE(box, nullptr);
    box->setText("AB");
    TextTool* tool = ActiveText(Edit().model());
    ASSERT_NE(tool, nullptr);
    ASSERT_TRUE(tool->drawn);
    EXPECT_EQ(tool->x, 0);
    EXPECT_EQ(tool->y, 0);
    Drag(At(50, 20), At(60, 25));
    EXPECT_EQ(tool->x, 10);
    EXPECT_EQ(tool->y, 5);
    // Dragged far left: the leftmost ink stops at column 0.
    Drag(At(60, 25), At(0, 25));
    EXPECT_EQ(tool->x, -tool->run.minOriginX);
    // The font window: bold rebuilds the glyphs.
    ui::FontWindow* font = ui::TextFontWindow();
    ASSERT_NE(font, nullptr);
    static_cast<QAbstractButton*>(Bar()->controls()->control(2601))->click();
    EXPECT_TRUE(font->isVisible());
    static_cast<QAbstractButton*>(font->control(2706))->click();
    EXPECT_EQ(tool->settings.weight, 700);
    // Its number boxes take the keys while they have the focus; a size typed as 3 is 6.
    QFocusEvent in(QEvent::FocusIn);
    QCoreApplication::sendEvent(font->control(2702), &in);
    EXPECT_TRUE(app_->acceleratorsSuspended());
    qobject_cast<QLineEdit*>(font->control(2702))->setText("3");
    EXPECT_EQ(tool->settings.size, 6);
    qobject_cast<QLineEdit*>(font->control(2702))->setText("36");
    Edit().Command(kCmdOperationOk);
    ASSERT_EQ(S().history.entries, 2);
    EXPECT_EQ(S().history.NameAt(1), "テキスト挿入");
    bool inked = false;
    for (int y = 0; y < 80 && !inked; ++y)
        for (int x = 0; x < 200 && !inked; ++x) inked = Pixel(S().picture.image, x, y) != 0;
    EXPECT_TRUE(inked);
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(ini.GetString("ImgT", "DrtStr", ""), "AB");
    EXPECT_EQ(ini.GetInt("ImgT", "DrtWeight", 0), 700);
}

}  // namespace
}  // namespace lumra::test
