// The folder's list: order, stepping, the list window, failed names, deletion to the
// trash and the checks for changes made outside the program.
#include <fcntl.h>
#include <sys/stat.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QListView>

#include "ui/file_list_window.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

class FileListTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        trash_ = std::make_unique<ScopedEnv>("XDG_DATA_HOME", dir_.File("data"));
        std::filesystem::create_directories(dir_.File("pics"));
    }

    std::string Pic(const std::string& name, int w = 2, int h = 2) { return Picture("pics/" + name, w, h, 0x405060); }

    // The list as the window shows it.
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        QAbstractItemModel* model = app_->fileListView()->model();
        for (int r = 0; r < model->rowCount(); ++r) rows.push_back(model->index(r, 0).data().toString().toStdString());
        return rows;
    }
    int CurrentRow() {
        const QModelIndex current = app_->fileListView()->currentIndex();
        return current.isValid() ? current.row() : -1;
    }
    std::string Shown() { return app_->session().picture.fileName; }

    // Lets the background read of the folder finish and its names arrive.
    void WaitForList() {
        QElapsedTimer timer;
        timer.start();
        while (app_->fileListView()->model()->rowCount() == 0 && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        app_->FinishFileListScan();
    }

    std::unique_ptr<ScopedEnv> trash_;
};

TEST_F(FileListTest, ListsAndStepsInOrder) {
    for (const char* name : {"b.bmp", "a.BMP", "C.bmp", "d.txt", "e.jpgx", "f.jpeg.txt"}) Pic(name);
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/b.bmp")));
    // The picture is there at once; the list follows.
    EXPECT_EQ(Shown(), "b.bmp");
    WaitForList();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.BMP", "b.bmp", "C.bmp"}));
    EXPECT_EQ(CurrentRow(), 1);
    EXPECT_EQ(app_->fileList().selection, 1);

    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "C.bmp");
    EXPECT_EQ(CurrentRow(), 2);
    EXPECT_EQ(Title(), "C.bmp  ( 2x2  24bit  0.0KB )  100%");
    // The last: nothing happens and nothing is asked, even with changes.
    app_->session().history.position = 1;
    View().Command(kCmdNext);
    View().Command(kCmdLast);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(Shown(), "C.bmp");
    app_->session().history.position = 0;
    View().Command(kCmdFirst);
    EXPECT_EQ(Shown(), "a.BMP");
    EXPECT_EQ(CurrentRow(), 0);
    app_->session().history.position = 1;
    View().Command(kCmdPrevious);
    View().Command(kCmdFirst);
    EXPECT_TRUE(boxes_.empty());
    app_->session().history.position = 0;
    View().Command(kCmdLast);
    EXPECT_EQ(Shown(), "C.bmp");
    View().Command(kCmdPrevious);
    EXPECT_EQ(Shown(), "b.bmp");
}

TEST_F(FileListTest, PluginFormatsJoinTheListInNameOrder) {
    std::string exe = LUMRA_EXE_PATH;
    if (!std::filesystem::is_directory(exe.substr(0, exe.rfind('/')) + "/plugins"))
        GTEST_SKIP() << "built without the plug-ins";
    const std::string ppm = std::string("P6 2 1 255\n") + std::string("\xff\x00\x00\x00\x00\xff", 6);
    WriteText(dir_.File("pics/B.ppm"), ppm);
    WriteText(dir_.File("pics/d.PGM"), std::string("P5 1 1 255\n") + std::string("\x80", 1));
    Pic("a.bmp");
    Pic("C.BMP");
    WriteText(dir_.File("pics/e.ppmx"), ppm);  // a longer extension is not the pattern's
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/a.bmp")));
    WaitForList();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.bmp", "B.ppm", "C.BMP", "d.PGM"}));
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "B.ppm");
    EXPECT_EQ(app_->session().picture.image.sourceFormat, 0u);  // read by a plug-in
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "C.BMP");
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "d.PGM");
    EXPECT_EQ(CurrentRow(), 3);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(FileListTest, CancelKeepsTheSelectionAndFailuresDropTheName) {
    Pic("a.bmp");
    Pic("b.bmp");
    WriteText(dir_.File("pics/c.bmp"), "not a picture");
    Pic("d.bmp");
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/b.bmp")));
    WaitForList();

    app_->session().history.position = 1;
    answers_ = {BoxResult::Cancel};
    View().Command(kCmdNext);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request.text, "b.bmp への変更を保存しますか?");
    EXPECT_EQ(Shown(), "b.bmp");
    EXPECT_EQ(CurrentRow(), 1);
    app_->session().history.position = 0;

    // c.bmp cannot be shown: the error, the name goes, b.bmp stays.
    View().Command(kCmdNext);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].request, ErrorBox(kErrDisplay));
    EXPECT_EQ(Shown(), "b.bmp");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.bmp", "b.bmp", "d.bmp"}));
    EXPECT_EQ(CurrentRow(), 1);
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "d.bmp");
}

TEST_F(FileListTest, ListWindow) {
    Pic("a.bmp");
    Pic("b.bmp");
    WriteText(dir_.File("pics/c.bmp"), "broken");
    ASSERT_TRUE(StartQuiet());
    ui::FileListWindow* window = app_->fileListWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle().toStdString(), "ファイルリスト");
    EXPECT_FALSE(window->isVisible());
    // Without a picture the command does nothing.
    View().Command(kCmdFileList);
    EXPECT_FALSE(window->isVisible());

    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/a.bmp")));
    WaitForList();
    View().Command(kCmdFileList);
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(180, 300));
    const int workLeft = View().screen()->availableGeometry().left();
    EXPECT_EQ(window->frameGeometry().left(),
              std::max(View().frameGeometry().left() - window->frameGeometry().width(), workLeft));
    window->grab().save(QStringLiteral("/tmp/lumra_file_list.png"));

    // Choosing a name opens it; choosing the shown one does nothing.
    QListView* list = app_->fileListView();
    list->setCurrentIndex(list->model()->index(1, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown(), "b.bmp");
    app_->session().history.position = 1;
    app_->OpenSelected(1);
    EXPECT_TRUE(boxes_.empty());
    app_->session().history.position = 0;

    // A name that fails: the error with the list disabled, the name removed.
    list->setCurrentIndex(list->model()->index(2, 0));
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request, ErrorBox(kErrDisplay));
    EXPECT_FALSE(boxes_[0].listEnabled);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_EQ(CurrentRow(), 1);
    EXPECT_EQ(Shown(), "b.bmp");

    // Opening a file hides the list; it comes back with the refreshed list.
    EXPECT_TRUE(app_->OpenPath(dir_.File("pics/a.bmp")));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(CurrentRow(), 0);

    // Closing only hides it.
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(FileListTest, TheListMovesBetweenItsWindows) {
    Pic("a.bmp");
    Pic("b.bmp");
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/a.bmp")));
    WaitForList();
    ui::FileListWindow* first = app_->fileListWindow();
    first->resize(220, 260);
    View().Command(kCmdFileList);
    ui::FileListWindow second(&View());
    app_->MoveFileListTo(&second);
    EXPECT_EQ(app_->fileListWindow(), &second);
    EXPECT_EQ(app_->activeFileList(), &second);
    EXPECT_EQ(second.list(), app_->fileListView());
    EXPECT_EQ(first->list(), nullptr);
    EXPECT_FALSE(first->isVisible());
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(second.size(), QSize(220, 260));
    EXPECT_EQ(app_->fileListView()->parentWidget(), &second);
    // The list goes on working from its new window.
    View().Command(kCmdNext);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_EQ(CurrentRow(), 1);

    // Back to the main window's; a hidden list stays hidden.
    second.hide();
    app_->MoveFileListTo(nullptr);
    EXPECT_EQ(app_->fileListWindow(), first);
    EXPECT_EQ(app_->fileListView()->parentWidget(), first);
    EXPECT_FALSE(first->isVisible());
}

TEST_F(FileListTest, ChangesMadeOutside) {
    const std::string a = Pic("a.bmp", 2, 2);
    Pic("b.bmp");
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(a));
    WaitForList();

    // Nothing changed: nothing asked.
    app_->OnAppActivated(true);
    EXPECT_TRUE(boxes_.empty());

    // Another program rewrote the file: asked once; No keeps the picture.
    WriteFile(a, Bmp24(3, 5, [](int, int) { return 0xFF0000u; }));
    struct timespec later[2] = {{2000000000, 0}, {2000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), later, 0), 0);
    answers_ = {BoxResult::No};
    app_->OnAppActivated(true);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request.text, "a.bmp は変更されています。開き直しますか?");
    EXPECT_EQ(boxes_[0].request.caption, "Lumra Ex");
    EXPECT_EQ(boxes_[0].request.buttons, BoxButtons::YesNo);
    EXPECT_EQ(app_->session().picture.image.width(), 2);
    app_->OnAppActivated(false);
    app_->OnAppActivated(true);
    EXPECT_EQ(boxes_.size(), 1u);

    // Changed again: Yes opens it again.
    struct timespec again[2] = {{2000000100, 0}, {2000000100, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), again, 0), 0);
    answers_ = {BoxResult::Yes};
    app_->OnAppActivated(true);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(app_->session().picture.image.width(), 3);
    EXPECT_EQ(Title(), "a.bmp  ( 3x5  24bit  0.1KB )  100%");
    app_->OnAppActivated(true);
    EXPECT_EQ(boxes_.size(), 2u);

    // A new file in the folder is listed after the activation.
    Pic("aa.bmp");
    app_->OnAppActivated(true);
    app_->FinishFileListScan();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.bmp", "aa.bmp", "b.bmp"}));
    EXPECT_EQ(CurrentRow(), 0);
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "aa.bmp");

    // A file that went away is not asked about.
    std::filesystem::remove(dir_.File("pics/aa.bmp"));
    app_->OnAppActivated(true);
    EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(FileListTest, ReopenReadsTheFileAgain) {
    const std::string a = Pic("a.bmp", 2, 2);
    ASSERT_TRUE(StartQuiet());
    // Nothing to reopen yet.
    View().Command(kCmdReopen);
    EXPECT_TRUE(boxes_.empty());
    ASSERT_TRUE(app_->OpenPath(a));
    WriteFile(a, Bmp24(6, 1, [](int, int) { return 0u; }));
    View().Command(kCmdReopen);
    EXPECT_EQ(app_->session().picture.image.width(), 6);
    // The reopened file counts as seen.
    app_->OnAppActivated(true);
    EXPECT_TRUE(boxes_.empty());
    std::filesystem::remove(a);
    View().Command(kCmdReopen);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request, ErrorBox(kErrDisplay));
    EXPECT_EQ(app_->session().picture.image.width(), 6);
}

TEST_F(FileListTest, DeleteMovesToTheTrash) {
    Pic("a.bmp");
    Pic("b.bmp");
    Pic("c.bmp");
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/b.bmp")));
    WaitForList();

    answers_ = {BoxResult::No};
    View().Command(kCmdDelete);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request.text, "b.bmp をごみ箱に移動しますか?");
    EXPECT_EQ(boxes_[0].request.buttons, BoxButtons::YesNo);
    EXPECT_TRUE(std::filesystem::exists(dir_.File("pics/b.bmp")));

    answers_ = {BoxResult::Yes};
    View().Command(kCmdDelete);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("pics/b.bmp")));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("data/Trash/files/b.bmp")));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("data/Trash/info/b.bmp.trashinfo")));
    // The next name takes its place.
    EXPECT_EQ(Shown(), "c.bmp");
    app_->FinishFileListScan();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.bmp", "c.bmp"}));
    EXPECT_EQ(CurrentRow(), 1);

    // Without the question; the last name falls back to the one before it.
    app_->session().settings.awin.noRecycMsg = 1;
    View().Command(kCmdDelete);
    EXPECT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(Shown(), "a.bmp");
    View().Command(kCmdDelete);
    EXPECT_FALSE(app_->session().picture.HasPicture());
    EXPECT_EQ(Title(), "Lumra Ex");
    EXPECT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.File("pics")),
                            std::filesystem::directory_iterator()),
              0);
    // Nothing left to delete.
    View().Command(kCmdDelete);
    EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(FileListTest, DeleteFailureShowsTheError) {
    const std::string a = Pic("a.bmp");
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(a));
    app_->session().settings.awin.noRecycMsg = 1;
    std::filesystem::remove(a);
    View().Command(kCmdDelete);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request, ErrorBox(kErrFileDelete));
    EXPECT_TRUE(app_->session().picture.HasPicture());
}

TEST_F(FileListTest, SavingIntoTheFolderListsTheNewName) {
    Pic("a.bmp");
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/a.bmp")));
    WaitForList();
    app_->session().ui.savedFile(dir_.File("pics/a.bmp"));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.bmp"}));
    Pic("b.bmp");  // as a save would write it
    app_->session().ui.savedFile(dir_.File("pics/b.bmp"));
    app_->FinishFileListScan();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_EQ(CurrentRow(), 0);
}

TEST_F(FileListTest, LargeFolderIsReadInTheBackground) {
    for (int i = 0; i < 2000; ++i) {
        std::string name = "p";
        name += std::to_string(10000 + i);
        name += ".bmp";
        WriteText(dir_.File("pics/" + name), "");
    }
    const std::string shown = Pic("p10500.bmp");
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(shown));
    EXPECT_EQ(Shown(), "p10500.bmp");
    WaitForList();
    EXPECT_EQ(Rows().size(), 2000u);
    EXPECT_EQ(CurrentRow(), 500);
    // A key press during a read waits for it; here the read is done.
    View().Command(kCmdPrevious);
    EXPECT_EQ(app_->fileList().count(), 1999);  // the empty file cannot be shown
    EXPECT_EQ(Shown(), "p10500.bmp");
}

TEST_F(FileListTest, PasteLeavesTheListWithoutSelection) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) Pic(name);
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/b.bmp")));
    WaitForList();
    QImage pasted(3, 3, QImage::Format_RGB32);
    pasted.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(pasted);
    View().Command(kCmdPaste);
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(app_->session().picture.image.width(), 3);
    EXPECT_EQ(app_->fileList().selection, -1);
    EXPECT_EQ(CurrentRow(), -1);
    // Without a selection Previous does nothing and Next opens the first name.
    View().Command(kCmdPrevious);
    EXPECT_EQ(app_->session().picture.image.width(), 3);
    View().Command(kCmdNext);
    EXPECT_EQ(Shown(), "a.bmp");
    EXPECT_EQ(CurrentRow(), 0);
}

TEST_F(FileListTest, SavingOverTheShownFileKeepsOtherProgramsChanges) {
    Pic("a.bmp");
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/a.bmp")));
    WaitForList();
    Pic("z.bmp");  // another program meanwhile
    app_->session().settings.simg.format = kSaveBmp;
    onDialog_ = [](QDialog&) { return int(QDialog::Accepted); };  // the proposed name: a.bmp itself
    View().Command(kCmdSaveAs);
    app_->FinishFileListScan();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"a.bmp", "z.bmp"}));
    EXPECT_EQ(CurrentRow(), 0);
}

}  // namespace
}  // namespace lumra::test
