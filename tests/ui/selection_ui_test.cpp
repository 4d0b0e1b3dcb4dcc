// The selection tool and the filter bars driven as a person would: shapes dragged on the
// preview pane, the list, the buttons and the feather dialog, 5730 and 5131, then a filter
// committed through the selection; ImgA and ImgF read at the start and written at the end.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include "edit/edit_model.h"
#include "edit/filter/filter_ops.h"
#include "edit/select/selection_tool.h"
#include "shell/command_catalogue.h"
#include "shell/ini_file.h"
#include "ui/edit_window.h"
#include "ui/feather_dialog.h"
#include "ui/operation_bar.h"
#include "ui/picture_canvas.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

constexpr int kW = 40;
constexpr int kH = 30;

uint32_t Checker(int x, int y) { return ((x + y) & 1) ? 0xFFFFFF : 0x000000; }

class SelectionUiTest : public AppFixture {
protected:
    ui::EditWindow& Edit() { return *app_->editWindowObject(); }
    Session& S() { return app_->session(); }

    void Open(const std::vector<uint8_t>& bmp) {
        ASSERT_TRUE(StartQuiet());
        const std::string path = dir_.File("p.bmp");
        WriteFile(path, bmp);
        ASSERT_TRUE(app_->OpenPath(path));
        app_->SwitchMode(kEditWindow);
        Edit().resize(800, 600);
        QCoreApplication::processEvents();
    }

    ui::OperationBar* Bar() { return Edit().findChild<ui::OperationBar*>(); }
    QWidget* Control(int id) { return Bar()->controls()->control(id); }

    // A mouse event inside picture pixel (x, y) on the preview pane.
    void Mouse(QEvent::Type type, int x, int y, Qt::MouseButtons held, Qt::KeyboardModifiers mods = {}) {
        QWidget* pane = Edit().previewPane()->canvas();
        const Viewport& vp = Edit().viewport();
        const QPointF at(vp.dest.x + (x - vp.src.x + 0.25) * vp.dest.w / vp.src.w,
                         vp.dest.y + (y - vp.src.y + 0.25) * vp.dest.h / vp.src.h);
        QMouseEvent e(type, at, pane->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      held, mods);
        QCoreApplication::sendEvent(pane, &e);
    }
    void Drag(int x1, int y1, int x2, int y2, Qt::KeyboardModifiers mods = {}) {
        Mouse(QEvent::MouseButtonPress, x1, y1, Qt::LeftButton, mods);
        Mouse(QEvent::MouseMove, (x1 + x2) / 2, (y1 + y2) / 2, Qt::LeftButton, mods);
        Mouse(QEvent::MouseMove, x2, y2, Qt::LeftButton, mods);
        Mouse(QEvent::MouseButtonRelease, x2, y2, Qt::NoButton, mods);
    }

    uint8_t MaskAt(int x, int y) { return S().picture.selection[static_cast<size_t>((kH - 1 - y) * kW + x)]; }
    uint8_t BlueAt(int x, int y) { return S().picture.image.topRow(y)[3 * x]; }

    // The pane's drawn colour of picture pixel (x, y) at 100 %.
    QRgb Shown(int pane, int x, int y) {
        ui::PictureCanvas* c = pane == 0 ? Edit().sourcePane()->canvas() : Edit().previewPane()->canvas();
        const Viewport& vp = Edit().viewport();
        return c->grab().toImage().pixel(vp.dest.x + (2 * (x - vp.src.x) + 1) * vp.dest.w / vp.src.w / 2,
                                         vp.dest.y + (2 * (y - vp.src.y) + 1) * vp.dest.h / vp.src.h / 2);
    }

    // The bars that went write their settings.
    IniFile Ini() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        IniFile ini;
        ini.Load(IniPath());
        return ini;
    }
};

TEST_F(SelectionUiTest, RectangleByMouseThenBlurThroughTheSelection) {
    Open(Bmp24(kW, kH, Checker));
    Edit().Command(kCmdSelectArea);
    ASSERT_NE(Bar(), nullptr);
    EXPECT_EQ(Bar()->caption().toStdString(), "領域");
    // The stored shape (colour range by default) with its number box.
    EXPECT_TRUE(static_cast<QRadioButton*>(Control(2624))->isChecked());
    EXPECT_EQ(static_cast<QLineEdit*>(Control(2640))->text().toStdString(), "50");
    static_cast<QRadioButton*>(Control(2620))->click();
    EXPECT_FALSE(Control(2640)->isEnabled());
    EXPECT_FALSE(Control(2660)->isEnabled());

    // A click without a drag changes nothing; the drag selects the cells it covers.
    Mouse(QEvent::MouseButtonPress, 3, 3, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, 3, 3, Qt::NoButton);
    Drag(5, 4, 14, 9);
    // The working overlay on the preview pane: outside dimmed grey, inside the picture.
    EXPECT_EQ(qRed(Shown(1, 0, 1)), 191);
    EXPECT_EQ(qRed(Shown(1, 6, 5)), 255);
    Edit().Command(kCmdOperationOk);
    ASSERT_EQ(S().picture.selection.size(), static_cast<size_t>(kW * kH));
    EXPECT_TRUE(app_->HasSelectionArea());
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_EQ(MaskAt(x, y), x >= 5 && x <= 14 && y >= 4 && y <= 9 ? 0 : 255) << x << "," << y;
    EXPECT_EQ(Ini().GetInt("ImgA", "AreType", -1), kShapeRect);

    // 5730 shows the selection on the source pane and takes it away again.
    EXPECT_TRUE(Edit().ToolAction(kCmdSelectionView)->isEnabled());
    Edit().Command(kCmdSelectionView);
    EXPECT_EQ(qRed(Shown(0, 0, 1)), 191);
    EXPECT_EQ(qRed(Shown(0, 6, 5)), 255);
    Edit().Command(kCmdSelectionView);
    EXPECT_EQ(qRed(Shown(0, 0, 1)), 255);

    // Blur 3x3 at the highest level, only inside the selection.
    Edit().Command(5171);
    ASSERT_NE(Bar(), nullptr);
    static_cast<QRadioButton*>(Control(1))->click();
    Bar()->controls()->editBox(kBlurLevel)->setText("10");
    const std::shared_ptr<PreviewState> state = Edit().model().active->preview;
    QElapsedTimer waited;
    waited.start();
    while (state->copy.topRow(5)[3 * 6] == 255 && waited.elapsed() < 10000) QCoreApplication::processEvents();
    Edit().Command(kCmdOperationOk);
    EXPECT_NE(BlueAt(6, 5), 255);
    EXPECT_NE(BlueAt(14, 9), 255);
    EXPECT_EQ(BlueAt(15, 9), 0);
    EXPECT_EQ(BlueAt(4, 4), 0);
    EXPECT_EQ(BlueAt(1, 0), 255);
    EXPECT_EQ(Ini().GetInt("ImgF", "SftMode", -1), 0);
    EXPECT_EQ(Ini().GetInt("ImgF", "SftLevel", -1), 10);

    // 5131 drops it.
    Edit().Command(kCmdDeselect);
    EXPECT_TRUE(S().picture.selection.empty());
    EXPECT_FALSE(app_->HasSelectionArea());
    EXPECT_FALSE(Edit().ToolAction(kCmdSelectionView)->isEnabled());
}

TEST_F(SelectionUiTest, ColourRangeEnclosureAndBrushByMouse) {
    Open(Bmp24(kW, kH, Checker));
    auto run = [this](int shape, const std::function<void()>& gesture) {
        Edit().Command(kCmdSelectArea);
        ASSERT_NE(Bar(), nullptr);
        static_cast<QRadioButton*>(Control(2620 + shape))->click();
        gesture();
        Edit().Command(kCmdOperationOk);
        ASSERT_EQ(S().picture.selection.size(), static_cast<size_t>(kW * kH));
    };
    // Range 0 without "隣接": every white cell, though no two of them touch.
    run(kShapeRange, [this] {
        static_cast<QLineEdit*>(Control(2640))->setText("0");
        static_cast<QCheckBox*>(Control(2660))->click();
        Mouse(QEvent::MouseButtonPress, 3, 4, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, 3, 4, Qt::NoButton);
    });
    EXPECT_EQ(MaskAt(3, 4), 0);
    EXPECT_EQ(MaskAt(20, 11), 0);
    EXPECT_EQ(MaskAt(20, 10), 255);
    // An enclosure: the path's moves, closed back to the first point at the release.
    run(kShapeLasso, [this] {
        Mouse(QEvent::MouseButtonPress, 5, 5, Qt::LeftButton);
        Mouse(QEvent::MouseMove, 25, 5, Qt::LeftButton);
        Mouse(QEvent::MouseMove, 25, 20, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, 5, 20, Qt::NoButton);
    });
    EXPECT_EQ(MaskAt(15, 12), 0);
    EXPECT_EQ(MaskAt(25, 20), 0);
    EXPECT_EQ(MaskAt(30, 25), 255);
    EXPECT_EQ(MaskAt(4, 12), 255);
    // A dab centred beyond the left edge reaches into the picture only as far as it would.
    run(kShapeBrush, [this] {
        Mouse(QEvent::MouseButtonPress, -3, 10, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, -3, 10, Qt::NoButton);
    });
    EXPECT_LT(MaskAt(0, 10), 255);
    EXPECT_EQ(MaskAt(10, 10), 255);
}

TEST_F(SelectionUiTest, ListButtonsAndFeatherOnAnEightBitPicture) {
    WriteIni("[Awin]\nMouseInfo=0\n[ImgA]\nAreMode=2\nAreType=3\nAreSize=999\nAreSmooth=4\n");
    std::vector<uint32_t> palette(256);
    for (int i = 0; i < 256; ++i) palette[static_cast<size_t>(i)] = static_cast<uint32_t>(i * 0x010101);
    ASSERT_TRUE(Start());
    const std::string path = dir_.File("p8.bmp");
    WriteFile(path, Bmp8(kW, kH, palette, [](int x, int) { return static_cast<uint8_t>(x * 6); }));
    ASSERT_TRUE(app_->OpenPath(path));
    app_->SwitchMode(kEditWindow);
    Edit().resize(800, 600);
    QCoreApplication::processEvents();
    Edit().Command(kCmdSelectArea);
    ASSERT_NE(Bar(), nullptr);
    // The stored brush size comes held to 3..128, "隣接" is off for the brush.
    auto* list = static_cast<QComboBox*>(Control(2611));
    EXPECT_EQ(list->currentIndex(), kSelectExclude);
    EXPECT_EQ(static_cast<QLabel*>(Control(2631))->text().toStdString(), "サイズ");
    EXPECT_EQ(static_cast<QLineEdit*>(Control(2640))->text().toStdString(), "128");
    EXPECT_FALSE(Control(2660)->isEnabled());

    // "ぼかし" is not offered before anything changed.
    static_cast<QPushButton*>(Control(2670))->click();
    EXPECT_TRUE(dialogs_.empty());

    // "全除外" then "反転": all selected; the list goes back to the creation method.
    list->setCurrentIndex(kSelListDeselectAll);
    EXPECT_EQ(list->currentIndex(), kSelectExclude);
    static_cast<QPushButton*>(Control(2671))->click();
    // An ellipse excluded from it, then feathered with a radius typed too large.
    static_cast<QRadioButton*>(Control(2621))->click();
    Drag(10, 5, 29, 24);
    int typed = 0;
    onDialog_ = [&typed](QDialog& d) {
        auto& f = static_cast<ui::FeatherDialog&>(d);
        EXPECT_EQ(f.windowTitle().toStdString(), "選択領域ぼかし");
        EXPECT_EQ(f.box()->text().toStdString(), "4");
        f.box()->setText("500");
        typed = f.radius();
        return int(QDialog::Accepted);
    };
    static_cast<QPushButton*>(Control(2670))->click();
    EXPECT_EQ(typed, 100);
    Edit().Command(kCmdOperationOk);
    // Feathered: the ellipse mostly excluded, the far corner mostly selected, the edge between.
    EXPECT_EQ(S().picture.image.bitCount(), 24);
    EXPECT_GT(MaskAt(19, 14), 128);
    EXPECT_LT(MaskAt(0, 0), 64);
    EXPECT_GT(MaskAt(10, 14), 0);
    EXPECT_LT(MaskAt(10, 14), 255);
    EXPECT_EQ(Ini().GetInt("ImgA", "AreSmooth", -1), 100);
    EXPECT_EQ(Ini().GetInt("ImgA", "AreSize", -1), 128);
    EXPECT_EQ(Ini().GetInt("ImgA", "AreType", -1), kShapeEllipse);
}

TEST_F(SelectionUiTest, BlurModeHoldsTheLevelAndCancelKeepsTheSettings) {
    WriteIni("[Awin]\nMouseInfo=0\n[ImgF]\nSftMode=0\nSftLevel=15\nNsrLevel=77\n");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app_->OpenPath(Picture("p.bmp", kW, kH, 0x336699)));
    app_->SwitchMode(kEditWindow);
    Edit().Command(5171);
    ASSERT_NE(Bar(), nullptr);
    QLineEdit* box = Bar()->controls()->editBox(kBlurLevel);
    EXPECT_EQ(box->text().toStdString(), "10");
    static_cast<QRadioButton*>(Control(3))->click();
    box->setText("18");
    EXPECT_EQ(Edit().model().active->preview->params[kBlurLevel].load(), 18);
    static_cast<QRadioButton*>(Control(2))->click();
    EXPECT_EQ(box->text().toStdString(), "10");
    EXPECT_EQ(Edit().model().active->preview->params[kBlurLevel].load(), 10);
    Edit().Command(kCmdOperationCancel);
    EXPECT_EQ(Ini().GetInt("ImgF", "SftMode", -1), 1);
    EXPECT_EQ(Ini().GetInt("ImgF", "SftLevel", -1), 10);
    EXPECT_EQ(Ini().GetInt("ImgF", "NsrLevel", -1), 77);
}

}  // namespace
}  // namespace lumra::test
