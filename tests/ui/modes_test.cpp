// Switching between the main window, the edit window and full screen; the slide show;
// the navigator.
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include "ui/animation.h"
#include "ui/file_list_window.h"
#include "ui/main_menu.h"
#include "ui/navigator_window.h"
#include "ui/tool_bar_strip.h"
#include "ui_test_support.h"
#include "view/navigator.h"

namespace lumra::test {
namespace {

class ModesTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        std::filesystem::create_directories(dir_.File("pics"));
    }

    std::string Pic(const std::string& name, uint32_t colour = 0x405060) {
        return Picture("pics/" + name, 3, 2, colour);
    }

    // Opens a picture of the folder and waits until the list holds the folder's names.
    void OpenAndList(const std::string& name) {
        ASSERT_TRUE(app_->OpenPath(dir_.File("pics/" + name)));
        QElapsedTimer timer;
        timer.start();
        while (app_->fileList().count() == 0 && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            app_->FinishFileListScan();
        }
        app_->FinishFileListScan();
    }

    std::string Shown() { return app_->session().picture.fileName; }
    int Mode() { return app_->session().displayMode; }

    std::string MenuText(int id) {
        QAction* action = ui::FindMenuAction(*app_->mainMenu(), id);
        return action ? ui::ItemTextOf(*action).toStdString() : std::string();
    }

    // The slide-show command: full screen, then the show.
    void StartShow() {
        app_->SwitchMode(kFullScreen);
        app_->StartSlideShow();
    }

    // Runs the timer's step as the timer would.
    void Tick() {
        ASSERT_TRUE(app_->slideShowTimer() && app_->slideShowTimer()->isActive());
        app_->OnSlideShowTimer();
    }

    bool Running() { return app_->slideShowRunning(); }
};

TEST_F(ModesTest, SlideShowWalksToTheLastNameAndStops) {
    WriteIni("[Awin]\nMouseInfo=0\n[Vwin]\nTime=3\n");
    ASSERT_TRUE(Start());
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) Pic(name);
    OpenAndList("b.bmp");
    View().Command(kCmdFileList);
    ASSERT_TRUE(app_->fileListWindow()->isVisible());

    StartShow();
    EXPECT_EQ(Mode(), kFullScreen);
    ASSERT_TRUE(Running());
    EXPECT_FALSE(app_->fileListWindow()->isVisible());
    EXPECT_TRUE(app_->acceleratorsSuspended());
    EXPECT_EQ(app_->cursorShown(), 0);
    EXPECT_EQ(app_->slideShowTimer()->interval(), 3000);
    EXPECT_EQ(Shown(), "b.bmp");

    Tick();
    EXPECT_EQ(Shown(), "c.bmp");
    EXPECT_EQ(app_->fileList().selection, 2);
    EXPECT_EQ(app_->fileListView()->currentIndex().row(), 2);
    EXPECT_NE(Title().find("c.bmp"), std::string::npos);
    EXPECT_EQ(View().toolBarStrip()->infoField()->text().toStdString(), Title());
    ASSERT_TRUE(Running());
    EXPECT_TRUE(app_->slideShowTimer()->isActive());

    // The cursor brought back between pictures goes again at the next one.
    app_->EnsureCursorShown();
    Tick();
    EXPECT_EQ(Shown(), "d.bmp");
    EXPECT_FALSE(Running());
    EXPECT_FALSE(app_->slideShowTimer()->isActive());
    EXPECT_FALSE(app_->acceleratorsSuspended());
    EXPECT_EQ(app_->cursorShown(), 1);
    EXPECT_EQ(Mode(), kFullScreen);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ModesTest, SlideShowSwitchOnTheCommandLine) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) Pic(name);
    ASSERT_TRUE(StartQuiet({"/a", dir_.File("pics/b.bmp")}));
    EXPECT_EQ(Mode(), kFullScreen);
    EXPECT_EQ(app_->session().returnMode, kMainWindow);
    ASSERT_TRUE(Running());
    EXPECT_EQ(app_->fileList().count(), 3);
    Tick();
    EXPECT_EQ(Shown(), "c.bmp");
    EXPECT_FALSE(Running());
}

TEST_F(ModesTest, SlideShowRepeatsAndTheRealTimerDrivesIt) {
    WriteIni("[Awin]\nMouseInfo=0\n[Vwin]\nRepeat=1\nTime=1\n");
    ASSERT_TRUE(Start());
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) Pic(name);
    OpenAndList("c.bmp");
    StartShow();
    ASSERT_TRUE(Running());
    Tick();
    EXPECT_EQ(Shown(), "a.bmp");
    Tick();
    EXPECT_EQ(Shown(), "b.bmp");
    Tick();
    EXPECT_EQ(Shown(), "c.bmp");
    ASSERT_TRUE(Running());
    // The timer itself, once.
    QElapsedTimer timer;
    timer.start();
    while (Shown() == "c.bmp" && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(Shown(), "a.bmp");
    // The command again stops it.
    app_->StopSlideShow();
    EXPECT_FALSE(Running());
    EXPECT_FALSE(app_->slideShowTimer()->isActive());
}

TEST_F(ModesTest, SlideShowThatCannotStart) {
    ASSERT_TRUE(StartQuiet());
    // No folder known.
    StartShow();
    EXPECT_FALSE(Running());
    EXPECT_EQ(Mode(), kFullScreen);
    app_->SwitchMode(kMainWindow);

    // One picture: stays in full screen, no show.
    std::filesystem::create_directories(dir_.File("pics/one"));
    Pic("one/only.bmp");
    OpenAndList("one/only.bmp");
    ASSERT_EQ(app_->fileList().count(), 1);
    StartShow();
    EXPECT_FALSE(Running());
    EXPECT_EQ(Mode(), kFullScreen);
    EXPECT_FALSE(app_->acceleratorsSuspended());
    app_->SwitchMode(kMainWindow);

    // On the last name without repeat.
    Pic("y.bmp");
    Pic("z.bmp");
    OpenAndList("z.bmp");
    ASSERT_EQ(app_->fileList().count(), 2);
    ASSERT_EQ(app_->fileList().selection, 1);
    StartShow();
    EXPECT_FALSE(Running());
    app_->SwitchMode(kMainWindow);

    // Unsaved changes and Cancel: nothing.
    OpenAndList("y.bmp");
    app_->session().history.position = 1;
    app_->session().history.entries = 1;
    answers_.push_back(BoxResult::Cancel);
    StartShow();
    EXPECT_FALSE(Running());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(Shown(), "y.bmp");
    app_->session().history.Clear();
    // Without changes it starts.
    app_->StartSlideShow();
    EXPECT_TRUE(Running());
    app_->StopSlideShow();
}

TEST_F(ModesTest, FailingPictureEndsTheShowAndLeavesTheList) {
    ASSERT_TRUE(StartQuiet());
    Pic("a.bmp", 0xFF0000);
    WriteText(dir_.File("pics/b.bmp"), "BM not a picture");
    Pic("c.bmp");
    OpenAndList("a.bmp");
    ASSERT_EQ(app_->fileList().count(), 3);
    StartShow();
    ASSERT_TRUE(Running());
    Tick();
    EXPECT_FALSE(Running());
    EXPECT_FALSE(app_->acceleratorsSuspended());
    EXPECT_EQ(Shown(), "a.bmp");
    EXPECT_EQ(app_->fileList().names, (std::vector<std::string>{"a.bmp", "c.bmp"}));
    EXPECT_EQ(app_->fileListView()->model()->rowCount(), 2);
    EXPECT_EQ(app_->fileList().selection, 0);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request, ErrorBox(kErrDisplay));
    EXPECT_EQ(Mode(), kFullScreen);
}

TEST_F(ModesTest, LeavingFullScreenStopsTheShow) {
    ASSERT_TRUE(StartQuiet());
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) Pic(name);
    OpenAndList("a.bmp");
    StartShow();
    ASSERT_TRUE(Running());
    View().Command(kCmdFullScreen);
    EXPECT_EQ(Mode(), kMainWindow);
    EXPECT_FALSE(Running());
    EXPECT_FALSE(app_->slideShowTimer()->isActive());
    EXPECT_FALSE(app_->acceleratorsSuspended());
    EXPECT_EQ(app_->cursorShown(), 1);

    // Losing activation stops it too.
    StartShow();
    ASSERT_TRUE(Running());
    app_->OnAppActivated(false);
    EXPECT_FALSE(Running());
    EXPECT_EQ(Mode(), kFullScreen);
}

TEST_F(ModesTest, StoppingWithoutAShowKeepsTheKeysOfADialog) {
    ASSERT_TRUE(StartQuiet());
    app_->SetAcceleratorsSuspended(true);
    app_->StopSlideShow();
    app_->OnAppActivated(false);
    EXPECT_TRUE(app_->acceleratorsSuspended());
    app_->SetAcceleratorsSuspended(false);
}

TEST_F(ModesTest, FullScreenRoundTripFromTheMainWindow) {
    ASSERT_TRUE(StartQuiet());
    Pic("a.bmp");
    OpenAndList("a.bmp");
    EXPECT_EQ(MenuText(kCmdFullScreen), "全画面表示(&M)");
    app_->HideCursor();
    View().Command(kCmdFullScreen);
    EXPECT_EQ(Mode(), kFullScreen);
    EXPECT_EQ(app_->session().returnMode, kMainWindow);
    EXPECT_EQ(MenuText(kCmdFullScreen), "通常表示(&M)");
    EXPECT_EQ(MenuText(kCmdEditWindow), "編集ウィンドウ(&W)");
    EXPECT_EQ(View().toolBarStrip()->infoField()->text().toStdString(), Title());
    // Already in full screen: nothing changes.
    app_->SwitchMode(kFullScreen);
    EXPECT_EQ(app_->session().returnMode, kMainWindow);

    app_->HideCursor();
    app_->LeaveFullScreenToReturnMode();
    EXPECT_EQ(Mode(), kMainWindow);
    EXPECT_EQ(app_->cursorShown(), 1);
    EXPECT_TRUE(View().isVisible());
    EXPECT_EQ(MenuText(kCmdFullScreen), "全画面表示(&M)");
    EXPECT_EQ(MenuText(kCmdEditWindow), "編集ウィンドウ(&W)");
}

TEST_F(ModesTest, FullScreenCommandRestoresAMinimisedWindowFirst) {
    ASSERT_TRUE(StartQuiet());
    Pic("a.bmp");
    OpenAndList("a.bmp");
    View().Command(kCmdMinimize);
    ASSERT_TRUE(View().isMinimized());
    View().Command(kCmdFullScreen);
    EXPECT_FALSE(View().isMinimized());
    EXPECT_EQ(Mode(), kMainWindow);
    View().Command(kCmdFullScreen);
    EXPECT_EQ(Mode(), kFullScreen);
    EXPECT_FALSE(View().isMinimized());
}

TEST_F(ModesTest, EditWindowAndBack) {
    ASSERT_TRUE(StartQuiet());
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) Pic(name);
    OpenAndList("a.bmp");
    QWidget edit;
    edit.resize(500, 400);
    ui::FileListWindow editList(&edit);
    app_->SetEditWindow(&edit, &editList);
    ui::FileListWindow* mainList = app_->fileListWindow();
    View().Command(kCmdFileList);
    ASSERT_TRUE(mainList->isVisible());

    // An animated picture: its timer stops in the edit window and starts again from
    // frame 0 in the main window.
    CurrentPicture& picture = app_->session().picture;
    picture.animation.animated = true;
    picture.animation.delays = {50, 50};
    picture.animation.frames.push_back(picture.image.Clone());
    ui::AnimationPlayer* animation = View().animation();
    animation->Start();
    animation->Advance();
    ASSERT_TRUE(animation->running());
    ASSERT_EQ(animation->frame(), 1);

    app_->SwitchMode(kEditWindow);
    EXPECT_FALSE(animation->running());
    EXPECT_EQ(Mode(), kEditWindow);
    EXPECT_TRUE(edit.isVisible());
    EXPECT_FALSE(View().isVisible());
    EXPECT_EQ(MenuText(kCmdEditWindow), "メインウィンドウ(&W)");
    // The visible list went with the mode.
    EXPECT_EQ(app_->fileListWindow(), &editList);
    EXPECT_TRUE(editList.isVisible());
    EXPECT_FALSE(mainList->isVisible());

    // Full screen from the edit window, and the command back to it.
    app_->SwitchMode(kFullScreen);
    EXPECT_EQ(Mode(), kFullScreen);
    EXPECT_EQ(app_->session().returnMode, kEditWindow);
    EXPECT_FALSE(edit.isVisible());
    EXPECT_TRUE(View().isVisible());
    EXPECT_EQ(app_->fileListWindow(), mainList);
    EXPECT_EQ(MenuText(kCmdFullScreen), "通常表示(&M)");
    EXPECT_EQ(MenuText(kCmdEditWindow), "編集ウィンドウ(&W)");

    // A show started from the edit window ends with full screen, back in the edit window.
    app_->StartSlideShow();
    ASSERT_TRUE(Running());
    View().Command(kCmdFullScreen);
    EXPECT_FALSE(Running());
    EXPECT_EQ(Mode(), kEditWindow);
    EXPECT_TRUE(edit.isVisible());
    EXPECT_FALSE(View().isVisible());
    EXPECT_EQ(MenuText(kCmdEditWindow), "メインウィンドウ(&W)");
    EXPECT_EQ(MenuText(kCmdFullScreen), "全画面表示(&M)");
    EXPECT_EQ(app_->fileListWindow(), &editList);

    // Edit window again: only the preview goes and the list is placed again.
    app_->SwitchMode(kEditWindow);
    EXPECT_EQ(Mode(), kEditWindow);

    app_->SwitchMode(kMainWindow);
    EXPECT_EQ(Mode(), kMainWindow);
    EXPECT_TRUE(animation->running());
    EXPECT_EQ(animation->frame(), 0);
    EXPECT_FALSE(edit.isVisible());
    EXPECT_TRUE(View().isVisible());
    EXPECT_EQ(app_->fileListWindow(), mainList);
    EXPECT_EQ(MenuText(kCmdEditWindow), "編集ウィンドウ(&W)");
    app_->SetEditWindow(nullptr);
}

TEST_F(ModesTest, WithoutAnEditWindowTheMainWindowStandsIn) {
    ASSERT_TRUE(StartQuiet());
    app_->SetEditWindow(nullptr);
    app_->SwitchMode(kFullScreen);
    app_->SwitchMode(kEditWindow);
    EXPECT_EQ(Mode(), kMainWindow);
    EXPECT_TRUE(View().isVisible());
    EXPECT_FALSE(View().isFullScreen());
    // A return mode of the edit window with no edit window lands in the main window.
    app_->SwitchMode(kFullScreen);
    app_->session().returnMode = kEditWindow;
    app_->LeaveFullScreenToReturnMode();
    EXPECT_EQ(Mode(), kMainWindow);
}

TEST_F(ModesTest, EditWindowMovesToTheMainWindowsMonitor) {
    ASSERT_TRUE(StartQuiet());
    QWidget edit;
    edit.resize(300, 200);
    app_->SetEditWindow(&edit);
    app_->SwitchMode(kEditWindow);
    // One monitor here: it is not moved.
    EXPECT_EQ(edit.screen(), View().screen());
    EXPECT_EQ(edit.size(), QSize(300, 200));
    app_->SwitchMode(kMainWindow);
    app_->SetEditWindow(nullptr);
}

TEST_F(ModesTest, NavigatorForAWidePicture) {
    ASSERT_TRUE(StartQuiet());
    // Top rows red, bottom rows blue.
    const std::string wide = dir_.File("wide.bmp");
    WriteFile(wide, Bmp24(3000, 1000, [](int, int y) { return y < 500 ? 0xFF0000u : 0x0000FFu; }));
    ASSERT_TRUE(app_->OpenPath(wide));
    app_->ShowNavigator();
    ui::NavigatorWindow* nav = app_->navigatorWindow();
    ASSERT_NE(nav, nullptr);
    EXPECT_TRUE(nav->isVisible());
    EXPECT_FALSE(nav->isActiveWindow());
    EXPECT_EQ(nav->thumb().width, 150);
    EXPECT_EQ(nav->thumb().height, 50);
    EXPECT_EQ(nav->size(), QSize(154, 54));
    const QRect work = View().screen()->availableGeometry();
    const QRect main = View().frameGeometry();
    EXPECT_EQ(nav->y(), std::max(main.top(), View().screen()->geometry().top()));
    EXPECT_EQ(nav->x(), std::min(main.left(), work.left() + work.width() - 154));
    const QRect source = View().SourceRect();
    const NavigatorFrame expected =
        NavigatorFrameFor(nav->thumb(), source.x(), source.y(), source.width(), source.height());
    EXPECT_EQ(nav->frame().left, expected.left);
    EXPECT_EQ(nav->frame().bottom, expected.bottom);

    // The thumbnail is upright and smooth-scaled once per picture.
    const QImage& thumb = nav->thumbnail();
    EXPECT_EQ(QColor(thumb.pixel(75, 5)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(thumb.pixel(75, 45)), QColor(0, 0, 255));
    app_->MoveNavigatorFrame();
    app_->HideNavigator();
    EXPECT_FALSE(nav->isVisible());
    app_->ShowNavigator();
    EXPECT_EQ(nav->scaleCount(), 1);
    app_->HideNavigator();

    // Another picture: a new thumbnail.
    ASSERT_TRUE(app_->OpenPath(Picture("tall.bmp", 100, 300, 0x00FF00)));
    app_->ShowNavigator();
    EXPECT_EQ(nav->scaleCount(), 2);
    EXPECT_EQ(nav->size(), QSize(54, 154));
    EXPECT_EQ(QColor(nav->thumbnail().pixel(25, 75)), QColor(0, 255, 0));

    // A right click on it hides it.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), nav->mapToGlobal(QPointF(10, 10)), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(nav, &press);
    EXPECT_FALSE(nav->isVisible());
}

TEST_F(ModesTest, NavigatorOutlineInvertsThePicture) {
    ImageBuffer image;
    ASSERT_TRUE(image.Allocate(3000, 1000, 24));
    for (int y = 0; y < 1000; ++y) {
        uint8_t* row = image.storedRow(y);
        for (int x = 0; x < 3000; ++x) {
            row[3 * x] = 0x20;      // blue
            row[3 * x + 1] = 0x80;  // green
            row[3 * x + 2] = 0xC0;  // red
        }
    }
    ui::NavigatorWindow nav(nullptr);
    nav.SetPicture(image);
    nav.resize(154, 54);
    nav.SetSourceRect(QRect(1000, 200, 800, 600));
    EXPECT_EQ(nav.frame().left, 50);
    EXPECT_EQ(nav.frame().top, 10);
    EXPECT_EQ(nav.frame().right, 90);
    EXPECT_EQ(nav.frame().bottom, 40);
    const QImage shot = nav.grab().toImage();
    shot.save(QStringLiteral("/tmp/lumra_navigator.png"));
    const QColor plain(0xC0, 0x80, 0x20);
    const QColor inverted(0x3F, 0x7F, 0xDF);
    // Corners and edges of the outline once inverted; inside and outside untouched.
    EXPECT_EQ(QColor(shot.pixel(2 + 50, 2 + 10)), inverted);
    EXPECT_EQ(QColor(shot.pixel(2 + 89, 2 + 39)), inverted);
    EXPECT_EQ(QColor(shot.pixel(2 + 70, 2 + 10)), inverted);
    EXPECT_EQ(QColor(shot.pixel(2 + 50, 2 + 25)), inverted);
    EXPECT_EQ(QColor(shot.pixel(2 + 89, 2 + 25)), inverted);
    EXPECT_EQ(QColor(shot.pixel(2 + 70, 2 + 25)), plain);
    EXPECT_EQ(QColor(shot.pixel(2 + 90, 2 + 25)), plain);
    EXPECT_EQ(QColor(shot.pixel(2 + 49, 2 + 10)), plain);
    // Moving it leaves nothing behind.
    nav.SetSourceRect(QRect(0, 0, 800, 600));
    const QImage moved = nav.grab().toImage();
    EXPECT_EQ(QColor(moved.pixel(2 + 50, 2 + 10)), plain);
    EXPECT_EQ(QColor(moved.pixel(2, 2)), inverted);
}

}  // namespace
}  // namespace lumra::test
