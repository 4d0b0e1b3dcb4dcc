// The edit window: the switch with the main window, undo/redo and the history window, the
// title's "*", an operation from start to OK, layouts and scroll bars, Swin at exit.
#include <QAction>
#include <QApplication>
#include <QMimeData>
#include <QDropEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>
#include <set>
#include <QWindow>

#include "edit/edit_model.h"
#include "platform/paths.h"
#include "shell/command_catalogue.h"
#include "shell/ini_file.h"
#include "ui/edit_window.h"
#include "ui/history_window.h"
#include "ui/comment_exif_dialogs.h"
#include "ui/picture_canvas.h"
#include "ui/save_settings_bar.h"
#include "ui_test_support.h"

Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                                    const QString& text, bool autorepeat, ushort count);

namespace lumra::test {
namespace {

void Press(QWidget& window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWindow* handle = window.windowHandle();
    ASSERT_NE(handle, nullptr);
    qt_handleKeyEvent(handle, QEvent::KeyPress, key, modifiers, {}, false, 1);
    qt_handleKeyEvent(handle, QEvent::KeyRelease, key, modifiers, {}, false, 1);
    QCoreApplication::processEvents();
}

void Mouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint at = {20, 20}) {
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

// The worker's kernel of the test operation: every byte inverted.
void InvertAll(PreviewState& state) {
    const size_t n = state.copy.imageBytes();
    for (size_t i = 0; i < n; ++i) state.copy.bits()[i] = static_cast<uint8_t>(255 - state.source.bits()[i]);
}

class EditWindowTest : public AppFixture {
protected:
    ui::EditWindow& Edit() { return *app_->editWindowObject(); }
    std::string EditTitle() { return Edit().windowTitle().toStdString(); }
    int Mode() { return app_->session().displayMode; }

    void OpenInEditWindow(int w = 40, int h = 30) {
        ASSERT_TRUE(StartQuiet());
        ASSERT_NE(app_->editWindowObject(), nullptr);
        ASSERT_TRUE(app_->OpenPath(Picture("p.bmp", w, h, 0x336699)));
        app_->SwitchMode(kEditWindow);
        ASSERT_EQ(Mode(), kEditWindow);
    }

    // A change as an operation's OK makes it.
    void CommitChange(const char* name) {
        ImageBuffer copy = app_->session().picture.image.Clone();
        copy.bits()[0] ^= 0xFF;
        CommitPreview(app_->session(), std::move(copy), name);
        Edit().Refresh(false);
    }

    bool Enabled(int id) { return Edit().ToolAction(id)->isEnabled(); }
};

// Started in the main window, the edit window is made once the main window has painted,
// before anything else needs it.
TEST_F(EditWindowTest, StartInTheMainWindowMakesTheEditWindowAfterThePaint) {
    const auto editWindows = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) n += dynamic_cast<ui::EditWindow*>(w) != nullptr;
        return n;
    };
    ASSERT_TRUE(StartQuiet({Picture("p.bmp", 40, 30, 0x336699)}));
    EXPECT_EQ(Mode(), kMainWindow);
    EXPECT_EQ(editWindows(), 0);
    QElapsedTimer waited;
    waited.start();
    while (editWindows() == 0 && waited.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(editWindows(), 1);
    EXPECT_FALSE(app_->editWindowObject()->isVisible());
}

TEST_F(EditWindowTest, TabAndTheChordSwitchWindows) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("p.bmp", 40, 30, 0x336699)));
    View().activateWindow();
    Press(View(), Qt::Key_Tab);
    EXPECT_EQ(Mode(), kEditWindow);
    EXPECT_TRUE(Edit().isVisible());
    EXPECT_FALSE(View().isVisible());
    EXPECT_EQ(EditTitle().rfind("p.bmp  ( 40x30  24bit", 0), 0u) << EditTitle();
    EXPECT_EQ(Edit().zoomField()->text().toStdString(), "100");

    Press(Edit(), Qt::Key_Tab);
    EXPECT_EQ(Mode(), kMainWindow);
    EXPECT_TRUE(View().isVisible());
    EXPECT_FALSE(Edit().isVisible());

    // Left and right together on a pane (LRClick 1: switch windows).
    app_->SwitchMode(kEditWindow);
    QWidget* pane = Edit().sourcePane()->canvas();
    Mouse(pane, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton);
    Mouse(pane, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton | Qt::RightButton);
    Mouse(pane, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::RightButton);
    Mouse(pane, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(Mode(), kMainWindow);

    // Full screen from the edit window returns to it.
    app_->SwitchMode(kEditWindow);
    Edit().Command(kCmdFullScreen);
    EXPECT_EQ(Mode(), kFullScreen);
    EXPECT_FALSE(Edit().isVisible());
    View().Command(kCmdFullScreen);
    EXPECT_EQ(Mode(), kEditWindow);
    EXPECT_TRUE(Edit().isVisible());
}

TEST_F(EditWindowTest, UndoRedoAndTheHistoryWindowWalkTheEntries) {
    OpenInEditWindow();
    EXPECT_FALSE(Enabled(kCmdUndo));
    EXPECT_FALSE(Enabled(kCmdHistoryWindow));
    CommitChange("ガンマ補正");
    CommitChange("明るさ補正");
    const HistoryStore& history = app_->session().history;
    ASSERT_EQ(history.entries, 3);
    EXPECT_EQ(history.position, 2);
    EXPECT_NE(EditTitle().find("p.bmp*  ("), std::string::npos) << EditTitle();
    EXPECT_TRUE(Enabled(kCmdUndo));
    EXPECT_FALSE(Enabled(kCmdRedo));

    Press(Edit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(history.position, 1);
    EXPECT_TRUE(Enabled(kCmdRedo));
    Edit().ToolAction(kCmdUndo)->trigger();  // the tool bar's button
    EXPECT_EQ(history.position, 0);
    // Back at the picture as loaded: saved, and its format again.
    EXPECT_EQ(EditTitle().find('*'), std::string::npos) << EditTitle();
    EXPECT_EQ(app_->session().picture.image.sourceFormat, kFormatBmp);
    EXPECT_FALSE(Enabled(kCmdUndo));
    Edit().Command(kCmdUndo);  // nothing below entry 0
    EXPECT_EQ(history.position, 0);
    EXPECT_TRUE(boxes_.empty());
    // The edit window owns the boxes while it is the main window.
    app_->ShowError(&View(), kErrDisplay);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].owner, &Edit());
    Press(Edit(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(history.position, 1);

    Edit().Command(kCmdHistoryWindow);
    ui::HistoryWindow* window = Edit().historyWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle().toStdString(), "変更履歴");
    EXPECT_FALSE(Edit().isEnabled());
    QListWidget* list = window->list();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text().toStdString(), "元の画像");
    EXPECT_EQ(list->item(1)->text().toStdString(), "ガンマ補正");
    EXPECT_EQ(list->item(2)->text().toStdString(), "明るさ補正");
    EXPECT_EQ(list->currentRow(), 1);
    list->setCurrentRow(2);
    EXPECT_EQ(history.position, 2);
    EXPECT_NE(EditTitle().find('*'), std::string::npos);
    list->setCurrentRow(0);
    EXPECT_EQ(history.position, 0);

    // Escape closes it and gives the keys back.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(Edit().isEnabled());
    EXPECT_FALSE(app_->acceleratorsSuspended());

    // A new change after an undo drops the redo tail.
    CommitChange("コントラスト");
    EXPECT_EQ(history.entries, 2);
    EXPECT_EQ(history.NameAt(1), "コントラスト");
}

TEST_F(EditWindowTest, AnOperationPreviewsAndCommitsWithOk) {
    OpenInEditWindow();
    // A row of the table starts its operation; Cancel ends it.
    Edit().Command(kCmdGamma);
    EXPECT_EQ(app_->session().operationState, kOpGamma);
    // The save settings give way to the operation.
    QCoreApplication::processEvents();
    EXPECT_FALSE(Edit().saveSettingsBar()->isVisibleTo(&Edit()));
    Edit().Command(kCmdOperationCancel);
    EXPECT_EQ(app_->session().operationState, 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Edit().saveSettingsBar()->isVisibleTo(&Edit()));

    static const OperationDef def{kOpGamma, kCmdGamma, "ガンマ補正", "test", true, kCorrectionStopMs, false, 2,
                                  &StartPreview, &InvertAll};
    ASSERT_TRUE(Edit().StartOperation(def));
    EXPECT_EQ(app_->session().operationState, kOpGamma);
    EXPECT_EQ(Edit().layout(), kPanePreviewOnly);
    EXPECT_FALSE(Edit().sourcePane()->isVisible());
    EXPECT_TRUE(Edit().previewPane()->isVisible());
    EXPECT_FALSE(Enabled(kCmdUndo));
    // Navigation and another start wait for the operation.
    Edit().Command(kCmdNext);
    EXPECT_FALSE(Edit().StartOperation(def));
    // The layouts stay usable unless the running tool holds them.
    Edit().Command(kCmdSideBySide);
    EXPECT_EQ(Edit().layout(), kPanesSideBySide);
    Edit().SetLayoutLock([] { return true; });
    Edit().Command(kCmdPreviewView);
    EXPECT_EQ(Edit().layout(), kPanesSideBySide);
    Edit().SetLayoutLock(nullptr);

    // The worker's preview shows in the preview pane.
    RequestRecompute(Edit().model());
    const ImageBuffer& copy = Edit().model().active->preview->copy;
    QElapsedTimer waited;
    waited.start();
    while (copy.bits()[0] != 255 - 0x99 && waited.elapsed() < 10000) QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ui::PictureCanvas* pane = Edit().previewPane()->canvas();
    const QImage shot = pane->grab().toImage();
    EXPECT_EQ(shot.pixel(pane->width() / 2, pane->height() / 2) & 0xFFFFFF, 0xCC9966u);
    Edit().Command(kCmdOperationOk);
    EXPECT_EQ(app_->session().operationState, 0);
    EXPECT_EQ(Edit().layout(), kPaneSourceOnly);
    const ImageBuffer& picture = app_->session().picture.image;
    EXPECT_EQ(picture.bits()[0], 255 - 0x99);  // blue of 0x336699, inverted
    EXPECT_EQ(app_->session().history.entries, 2);
    EXPECT_EQ(app_->session().history.NameAt(1), "ガンマ補正");
    EXPECT_NE(EditTitle().find("p.bmp*"), std::string::npos) << EditTitle();

    // Cancel (Escape) leaves the picture as it was.
    ASSERT_TRUE(Edit().StartOperation(def));
    RequestRecompute(Edit().model());
    Press(Edit(), Qt::Key_Escape);
    EXPECT_EQ(app_->session().operationState, 0);
    EXPECT_EQ(app_->session().picture.image.bits()[0], 255 - 0x99);
    EXPECT_EQ(app_->session().history.entries, 2);
    EXPECT_EQ(quits_, 0);
}

TEST_F(EditWindowTest, LongFilterWorkShowsTheWaitCursor) {
    OpenInEditWindow();
    // Soft focus computes its reference in the start: "wait..." and the wait cursor meanwhile.
    std::vector<std::pair<QString, int>> seen;
    const auto c = QObject::connect(&Edit(), &QWidget::windowTitleChanged, [&seen](const QString& title) {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        seen.emplace_back(title, cursor ? int(cursor->shape()) : -1);
    });
    const std::string before = EditTitle();
    ASSERT_TRUE(Edit().StartOperation(*FindOperation(kOpSoftFocus)));
    QObject::disconnect(c);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), std::make_pair(QStringLiteral("wait..."), int(Qt::WaitCursor)));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(EditTitle(), before);
    Edit().Command(kCmdOperationCancel);

    // The worker's Gaussian reports its begin and end; the window shows the cursor between.
    ASSERT_TRUE(Edit().StartOperation(*FindOperation(kOpBlur)));
    const std::function<void(bool)> busy = Edit().model().active->preview->busy;
    ASSERT_TRUE(busy);
    busy(true);
    QCoreApplication::processEvents();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    busy(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    // A window closed during the computation leaves no wait cursor behind.
    busy(true);
    QCoreApplication::processEvents();
    Edit().Command(kCmdOperationCancel);
    app_.reset();
    busy(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(EditWindowTest, SavePreviewShowsBesideTheSourceWithItsSize) {
    OpenInEditWindow();
    Press(Edit(), Qt::Key_A);
    ASSERT_TRUE(app_->session().picture.trial.previewShown);
    EXPECT_EQ(Edit().layout(), kPanesSideBySide);
    EXPECT_NE(EditTitle().find(" .... "), std::string::npos) << EditTitle();
    EXPECT_EQ(EditTitle().substr(EditTitle().size() - 2), "KB");
    ui::PictureCanvas* pane = Edit().previewPane()->canvas();
    const QImage shot = pane->grab().toImage();
    EXPECT_EQ(shot.pixel(pane->width() / 2, pane->height() / 2) & 0xFFFFFF, 0x336699u);
    // A refresh lets it go.
    Edit().Refresh(true);
    EXPECT_FALSE(app_->session().picture.trial.previewShown);
    EXPECT_EQ(EditTitle().find(" .... "), std::string::npos);
}

TEST_F(EditWindowTest, TheSaveBarsPreviewShowsTheSavedSize) {
    OpenInEditWindow();
    ui::SaveSettingsBar* bar = Edit().saveSettingsBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisibleTo(&Edit()));
    bar->action(kCmdPreview)->trigger();
    ASSERT_TRUE(app_->session().picture.trial.previewShown);
    EXPECT_EQ(Edit().layout(), kPanesSideBySide);
    EXPECT_EQ(EditTitle().substr(EditTitle().size() - 2), "KB") << EditTitle();
}

TEST_F(EditWindowTest, TheTransparentColourIsPickedOnTheSourcePane) {
    OpenInEditWindow();
    app_->session().settings.simg.format = kSavePng;
    ui::SaveSettingsBar* bar = Edit().saveSettingsBar();
    bar->Refresh();
    const CurrentPicture& pic = app_->session().picture;
    ui::PictureCanvas* pane = Edit().sourcePane()->canvas();
    const ViewRect& dest = Edit().viewport().dest;
    const QPoint on(dest.x + dest.w / 2, dest.y + dest.h / 2);

    // Escape cancels and turns the switch off again.
    Edit().SetPaneLayout(kPanesSideBySide);
    bar->action(5830)->trigger();
    ASSERT_TRUE(Edit().colourPickArmed());
    EXPECT_EQ(Edit().layout(), kPaneSourceOnly);
    EXPECT_TRUE(app_->acceleratorsSuspended());
    Press(Edit(), Qt::Key_Escape);
    EXPECT_FALSE(Edit().colourPickArmed());
    EXPECT_FALSE(pic.saveTransparent);
    EXPECT_EQ(Edit().layout(), kPanesSideBySide);
    EXPECT_FALSE(app_->acceleratorsSuspended());

    // Moving shows the colour under the pointer in the title and the swatch; a click keeps it.
    bar->action(5830)->trigger();
    ASSERT_TRUE(Edit().colourPickArmed());
    Mouse(pane, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, on);
    EXPECT_EQ(EditTitle(), "r:51  g:102  b:153");
    EXPECT_EQ(bar->transparentSwatch()->shownColour(), 0x336699u);
    Mouse(pane, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, on);
    Mouse(pane, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, on);
    EXPECT_FALSE(Edit().colourPickArmed());
    EXPECT_TRUE(pic.saveTransparent);
    const SImgSettings& simg = app_->session().settings.simg;
    EXPECT_EQ((simg.alphaR << 16) | (simg.alphaG << 8) | simg.alphaB, 0x336699);
    EXPECT_EQ(EditTitle().rfind("p.bmp", 0), 0u) << EditTitle();
    EXPECT_FALSE(bar->transparentSwatch()->liveColour().has_value());
}

TEST_F(EditWindowTest, TheCommentSwitchOpensTheCommentCreation) {
    OpenInEditWindow();
    app_->session().settings.simg.format = kSavePng;
    ui::SaveSettingsBar* bar = Edit().saveSettingsBar();
    bar->Refresh();
    onDialog_ = [](QDialog& dialog) {
        auto* create = qobject_cast<ui::CommentCreateDialog*>(&dialog);
        if (!create) return int(QDialog::Rejected);
        create->editor()->setPlainText(QStringLiteral("memo"));
        return int(QDialog::Accepted);
    };
    bar->action(5890)->trigger();
    EXPECT_TRUE(app_->session().picture.writeComment);
    EXPECT_TRUE(bar->action(5890)->isChecked());
    bar->action(5890)->trigger();
    EXPECT_FALSE(app_->session().picture.writeComment);
}

TEST_F(EditWindowTest, LayoutsAndScrollBars) {
    WriteIni("[Awin]\nMouseInfo=0\n[Swin]\nSWSmall=0\nw=700\nh=500\n");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app_->OpenPath(Picture("big.bmp", 900, 700, 0x808080)));
    app_->SwitchMode(kEditWindow);
    ui::EditPane* source = Edit().sourcePane();
    ui::EditPane* preview = Edit().previewPane();
    EXPECT_EQ(Edit().viewport().zoom, kZoomActual);
    EXPECT_TRUE(source->horizontalBar()->isVisible());
    EXPECT_TRUE(source->verticalBar()->isVisible());
    EXPECT_FALSE(preview->isVisible());
    // The bar's page is the part shown; its end is where the last part shows.
    EXPECT_EQ(source->horizontalBar()->pageStep(), Edit().viewport().src.w);
    EXPECT_EQ(source->horizontalBar()->maximum(), 900 - Edit().viewport().src.w);

    // A line step moves 20 picture pixels; the end stops where the last part shows.
    const int x = Edit().viewport().src.x;
    source->horizontalBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Edit().viewport().src.x, x + 20);
    EXPECT_EQ(source->horizontalBar()->value(), x + 20);
    source->verticalBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(Edit().viewport().src.y, 700 - Edit().viewport().src.h);

    Press(Edit(), Qt::Key_S);  // side by side
    EXPECT_EQ(Edit().layout(), kPanesSideBySide);
    EXPECT_TRUE(source->isVisible() && preview->isVisible());
    const int width = Edit().centralWidget()->width();
    EXPECT_EQ(source->width(), width / 2 - 1);
    EXPECT_EQ(preview->geometry().right(), width - 1);
    EXPECT_TRUE(preview->horizontalBar()->isVisible());

    Press(Edit(), Qt::Key_F);  // preview alone
    EXPECT_FALSE(source->isVisible());
    EXPECT_TRUE(Edit().ToolAction(kCmdPreviewView)->isChecked());

    Edit().Command(kCmdSourceView);
    Edit().Command(kCmdScrollBars);
    EXPECT_EQ(app_->session().settings.swin.scrlBar, 0);
    EXPECT_FALSE(source->horizontalBar()->isVisible());
    EXPECT_EQ(source->canvas()->size(), source->InnerSize());

    // Fit, then the zoom field takes a typed value, held to the range.
    Edit().Command(kCmdFit);
    EXPECT_LT(Edit().viewport().zoom, kZoomActual);
    Edit().zoomField()->setText("5000");
    emit Edit().zoomField()->editingFinished();
    EXPECT_EQ(Edit().viewport().zoom, kZoomMax);
    EXPECT_EQ(Edit().zoomField()->text().toStdString(), "1000");
}

TEST_F(EditWindowTest, MouseZoomsOnThePanes) {
    OpenInEditWindow(200, 100);
    const Viewport& vp = Edit().viewport();
    QWidget* pane = Edit().sourcePane()->canvas();
    const QPoint middle(vp.dest.x + vp.dest.w / 2, vp.dest.y + vp.dest.h / 2);
    ASSERT_EQ(vp.zoom, kZoomActual);
    // Middle click: fit at 100 %, then 100 % again.
    Mouse(pane, QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton, middle);
    const QSize inner = Edit().sourcePane()->InnerSize();
    EXPECT_EQ(vp.zoom, FitZoom(200, 100, inner.width(), inner.height()));
    EXPECT_EQ(Edit().zoomField()->text().toInt(), vp.zoom / 100);
    Mouse(pane, QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton, middle);
    EXPECT_EQ(vp.zoom, kZoomActual);

    // The wheel towards the user zooms in by 10 points.
    QWheelEvent wheel(QPointF(middle), QPointF(pane->mapToGlobal(middle)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(pane, &wheel);
    EXPECT_EQ(vp.zoom, kZoomActual + 1000);

    // A plain left drag in the source pane zooms to the area (SWAreaZm is on).
    const QPoint a(vp.dest.x + 10, vp.dest.y + 10);
    const QPoint b(a.x() + 40, a.y() + 20);
    Mouse(pane, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, a);
    Mouse(pane, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, b);
    Mouse(pane, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, b);
    EXPECT_GT(vp.zoom, 5 * kZoomActual);
}

TEST_F(EditWindowTest, EveryKeyCommandIsTakenInEditMode) {
    OpenInEditWindow();
    CommitChange("ガンマ補正");
    app_->SetUrlFunction([](const QUrl&) { return true; });
    // The ones that leave the edit window or end the program are tried elsewhere.
    const std::set<int> leave = {kCmdSlideShow, kCmdEditWindow, kCmdFullScreen, kCmdMinimize, kCmdExit,
                                 kCmdHistoryWindow, kCmdDelete};
    for (const AccelEntry& entry : DefaultAccelerators()) {
        if (leave.count(entry.command)) continue;
        Edit().Command(entry.command);
        ASSERT_EQ(Mode(), kEditWindow) << entry.command;
    }
    EXPECT_TRUE(app_->session().picture.HasPicture());
    EXPECT_EQ(quits_, 0);
}

TEST_F(EditWindowTest, SwitchSStartsInTheEditWindow) {
    const std::string path = Picture("s.bmp", 20, 10, 0x102030);
    WriteIni("[Awin]\nMouseInfo=0\n");
    ASSERT_TRUE(Start({"/s", path}));
    EXPECT_EQ(Mode(), kEditWindow);
    EXPECT_TRUE(Edit().isVisible());
    EXPECT_FALSE(View().isVisible());
    EXPECT_EQ(EditTitle().rfind("s.bmp", 0), 0u) << EditTitle();
}

TEST_F(EditWindowTest, SwinIsWrittenAtExit) {
    WriteIni("[Awin]\nMouseInfo=0\n[Swin]\nx=30\ny=40\nw=640\nh=480\nRebarRow=1\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(Edit().geometry(), QRect(30, 40, 640, 480));
    EXPECT_EQ(Edit().rebarRows(), 1);
    Edit().setGeometry(50, 60, 620, 470);
    app_->SwitchMode(kEditWindow);
    // Closing the edit window closes the program through the main window.
    Edit().close();
    EXPECT_EQ(quits_, 1);
    IniFile ini;
    ini.Load(IniPath());
    EXPECT_EQ(ini.GetInt("Swin", "x", -1), 50);
    EXPECT_EQ(ini.GetInt("Swin", "y", -1), 60);
    EXPECT_EQ(ini.GetInt("Swin", "w", -1), 620);
    EXPECT_EQ(ini.GetInt("Swin", "h", -1), 470);
    EXPECT_EQ(ini.GetInt("Swin", "Max", -1), 0);
    EXPECT_EQ(ini.GetInt("Swin", "RebarRow", -1), 1);
}

// A dropped file opens in the edit window; nothing opens while an operation runs.
TEST_F(EditWindowTest, DropOpensTheFileUnlessAnOperationRuns) {
    OpenInEditWindow();
    const std::string a = Picture("dropped.bmp", 6, 4, 0xABCDEF);
    const std::string b = Picture("later.bmp", 5, 5, 0x123456);
    auto drop = [this](const std::string& path) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Edit(), &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Edit(), &event);
        QCoreApplication::processEvents();
    };
    drop(a);
    EXPECT_EQ(app_->session().picture.path, ResolvePath(a));
    EXPECT_EQ(Mode(), kEditWindow);
    EXPECT_EQ(app_->session().picture.image.width(), 6);

    static const OperationDef def{kOpGamma, kCmdGamma, "ガンマ補正", "test", true, kCorrectionStopMs, false, 2,
                                  &StartPreview, &InvertAll};
    ASSERT_TRUE(Edit().StartOperation(def));
    drop(b);
    EXPECT_EQ(app_->session().picture.path, ResolvePath(a));
    Edit().Command(kCmdOperationCancel);
}

}  // namespace
}  // namespace lumra::test
