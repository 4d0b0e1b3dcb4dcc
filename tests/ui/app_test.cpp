// Start-up, the boxes, opening files and closing the program.
#include <QAbstractButton>
#include <QClipboard>
#include <QMimeData>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>

#include "platform/paths.h"
#include "shell/ini_file.h"
#include "formats/bmp/bmp_codec.h"
#include "ui/clipboard.h"
#include "ui/message_box.h"
#include "ui/mouse_info_dialog.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

using AppTest = AppFixture;

TEST_F(AppTest, WrongExecutableNameShowsFailureAndDoesNotRun) {
    for (const char* name : {"Viewer", "LumraEx2", "LumraEx.exe.bak"}) {
        boxes_.clear();
        MakeApp();
        ui::StartOptions options;
        options.executablePath = dir_.File(name);
        options.args = {name, Picture("a.bmp", 2, 2, 0xFF0000)};
        EXPECT_FALSE(app_->StartUp(options)) << name;
        ASSERT_EQ(boxes_.size(), 1u) << name;
        EXPECT_EQ(boxes_[0].owner, nullptr);
        EXPECT_EQ(boxes_[0].request.text, "ファイル実行に失敗しました。");
        EXPECT_EQ(boxes_[0].request.caption, "Error");
        EXPECT_EQ(boxes_[0].request.icon, BoxIcon::Error);
        EXPECT_EQ(app_->viewWindow(), nullptr);
        EXPECT_FALSE(std::filesystem::exists(IniPath()));
    }
}

TEST_F(AppTest, PlainStartShowsEmptyWindow) {
    ASSERT_TRUE(StartQuiet());
    EXPECT_TRUE(View().isVisible());
    EXPECT_EQ(Title(), "Lumra Ex");
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(dialogs_.empty());
    EXPECT_EQ(app_->settingsPath(), IniPath());
    EXPECT_EQ(app_->session().displayMode, kMainWindow);
}

TEST_F(AppTest, StartWithPathOpensIt) {
    const std::string a = Picture("a.bmp", 4, 3, 0x00FF00);
    ASSERT_TRUE(StartQuiet({"a.bmp"}));  // relative to the working folder
    EXPECT_EQ(Title(), "a.bmp  ( 4x3  24bit  0.0KB )  100%");
    EXPECT_EQ(app_->session().picture.path, ResolvePath(a));
}

// At start the main window appears once, with its picture, when the frame it will get is
// known before it is shown (here: no title bar); else it is shown first, as the steps go.
TEST_F(AppTest, StartShowsTheWindowWithItsPictureWhenItsFrameIsKnown) {
    struct ShowWatch : QObject {
        Session* session = nullptr;
        std::vector<bool> pictureAtShow;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && qobject_cast<ui::ViewWindow*>(watched) && session)
                pictureAtShow.push_back(session->picture.HasPicture());
            return false;
        }
    };
    Picture("a.bmp", 40, 30, 0x00FF00);
    for (const bool titleBar : {false, true}) {
        MakeApp();
        ShowWatch watch;
        watch.session = &app_->session();
        qApp->installEventFilter(&watch);
        WriteIni(std::string("[Awin]\nMouseInfo=0\n[Vwin]\nCapBar=") + (titleBar ? "1" : "0") + "\n");
        ASSERT_TRUE(Start({"a.bmp"}));
        qApp->removeEventFilter(&watch);
        EXPECT_TRUE(View().isVisible());
        EXPECT_EQ(watch.pictureAtShow, std::vector<bool>{!titleBar}) << titleBar;
    }
}

TEST_F(AppTest, UnknownSwitchStartsWithoutFile) {
    Picture("a.bmp", 4, 3, 0x00FF00);
    ASSERT_TRUE(StartQuiet({"/A", "a.bmp"}));
    EXPECT_TRUE(View().isVisible());
    EXPECT_FALSE(app_->session().picture.HasPicture());
    EXPECT_EQ(Title(), "Lumra Ex");
}

TEST_F(AppTest, FullScreenSwitchWithoutPath) {
    ASSERT_TRUE(StartQuiet({"/f"}));
    EXPECT_EQ(app_->session().displayMode, kFullScreen);
    EXPECT_EQ(app_->session().returnMode, kMainWindow);
    EXPECT_TRUE(View().isFullScreen());
    EXPECT_FALSE(app_->session().picture.HasPicture());
}

TEST_F(AppTest, OptionsSwitchClosesAndWritesSettings) {
    EXPECT_FALSE(StartQuiet({"/o"}));
    EXPECT_EQ(quits_, 1);
    EXPECT_FALSE(View().isVisible());
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_TRUE(ini.HasSection("Vwin"));
    EXPECT_EQ(ini.GetInt("Awin", "MouseInfo", -1), 0);
}

TEST_F(AppTest, MouseInfoDialogAtStart) {
    // No settings file: MouseInfo is on.
    std::vector<std::string> labels;
    onDialog_ = [&labels](QDialog& dialog) {
        auto* info = qobject_cast<ui::MouseInfoDialog*>(&dialog);
        if (!info) return int(QDialog::Rejected);
        EXPECT_EQ(dialog.windowTitle().toStdString(), "主なマウス操作");
        for (QLabel* label : dialog.findChildren<QLabel*>()) labels.push_back(label->text().toStdString());
        EXPECT_FALSE(info->dontShowBox()->isChecked());
        EXPECT_EQ(info->dontShowBox()->text().toStdString(), "起動時に操作説明を表示しない");
        info->dontShowBox()->setChecked(true);
        dialog.grab().save(QStringLiteral("/tmp/lumra_mouse_info.png"));
        return int(QDialog::Accepted);
    };
    ASSERT_TRUE(Start());
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(app_->session().settings.awin.mouseInfo, 0);
    const std::vector<std::string> expected = {"ウィンドウを右ボタンでクリック", "= メニュー表示",
                                               "画像を右ボタンでドラッグ", "= スクロール",
                                               "※ダブルクリック等一部の動作は、変更可能です。"};
    for (const std::string& text : expected) {
        EXPECT_NE(std::find(labels.begin(), labels.end(), text), labels.end()) << text;
    }
}

TEST_F(AppTest, MouseInfoDialogClosedOtherwiseChangesNothing) {
    onDialog_ = [](QDialog& dialog) {
        if (auto* info = qobject_cast<ui::MouseInfoDialog*>(&dialog)) info->dontShowBox()->setChecked(true);
        return int(QDialog::Rejected);
    };
    ASSERT_TRUE(Start());
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(app_->session().settings.awin.mouseInfo, 1);
    // Unchecking and OK turns it on again (the setting is the inverse of the box).
    app_->session().settings.awin.mouseInfo = 0;
    onDialog_ = [](QDialog& dialog) {
        auto* info = qobject_cast<ui::MouseInfoDialog*>(&dialog);
        EXPECT_TRUE(info && info->dontShowBox()->isChecked());
        if (info) info->dontShowBox()->setChecked(false);
        return int(QDialog::Accepted);
    };
    View().Command(kCmdMouseHelp);
    EXPECT_EQ(app_->session().settings.awin.mouseInfo, 1);
}

TEST_F(AppTest, BoxBringsHiddenCursorBackAndDisablesFileList) {
    ASSERT_TRUE(StartQuiet());
    QWidget list;
    list.show();
    QWidget hiddenList;
    app_->SetActiveFileList(&list);

    app_->HideCursor();
    EXPECT_EQ(View().pictureView()->viewport()->cursor().shape(), Qt::BlankCursor);
    app_->ShowError(&View(), kErrRead);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].cursorShown, 1);
    EXPECT_FALSE(boxes_[0].viewCursorBlank);
    EXPECT_FALSE(boxes_[0].listEnabled);
    EXPECT_EQ(boxes_[0].owner, &View());
    EXPECT_EQ(boxes_[0].request, ErrorBox(kErrRead));
    // The cursor stays shown and the list is usable again.
    EXPECT_EQ(app_->cursorShown(), 1);
    EXPECT_NE(View().pictureView()->viewport()->cursor().shape(), Qt::BlankCursor);
    EXPECT_TRUE(list.isEnabled());

    // A hidden list is left alone.
    app_->SetActiveFileList(&hiddenList);
    app_->ShowError(&View(), 99);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_TRUE(boxes_[1].listEnabled);
    EXPECT_EQ(boxes_[1].request.text, "Error");
    app_->SetActiveFileList(nullptr);
}

TEST_F(AppTest, OpenPathResolvesSymbolicLink) {
    ASSERT_TRUE(StartQuiet());
    const std::string target = Picture("target.bmp", 5, 2, 0x0000FF);
    const std::string link = dir_.File("link.bmp");
    std::filesystem::create_symlink(target, link);
    QWidget list;
    list.show();
    app_->SetActiveFileList(&list);
    EXPECT_TRUE(app_->OpenPath(link));
    EXPECT_FALSE(list.isVisible());  // the list is hidden until the folder is read again
    app_->SetActiveFileList(nullptr);
    EXPECT_EQ(app_->session().picture.path, ResolvePath(target));
    EXPECT_EQ(app_->session().picture.fileName, "target.bmp");
    EXPECT_EQ(Title(), "target.bmp  ( 5x2  24bit  0.0KB )  100%");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(AppTest, FailedOpenKeepsPictureAndTitle) {
    ASSERT_TRUE(StartQuiet());
    const std::string a = Picture("a.bmp", 3, 3, 0x123456);
    ASSERT_TRUE(app_->OpenPath(a));
    const std::string title = Title();
    WriteText(dir_.File("bad.bmp"), "BM this is not a bitmap");
    for (const std::string& bad : {dir_.File("bad.bmp"), dir_.File("missing.bmp")}) {
        boxes_.clear();
        EXPECT_FALSE(app_->OpenPath(bad));
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].request.text, "画像の表示に失敗しました。");
        EXPECT_EQ(boxes_[0].request.caption, "Error");
        EXPECT_EQ(boxes_[0].owner, &View());
        EXPECT_EQ(Title(), title);
        EXPECT_EQ(app_->session().picture.path, ResolvePath(a));
        EXPECT_EQ(app_->session().picture.image.width(), 3);
    }
}

TEST_F(AppTest, OpenPathAsksAboutUnsavedChanges) {
    ASSERT_TRUE(StartQuiet());
    const std::string a = Picture("a.bmp", 3, 3, 0x123456);
    const std::string b = Picture("b.bmp", 2, 2, 0x654321);
    ASSERT_TRUE(app_->OpenPath(a));
    app_->session().history.position = 1;  // an edit
    answers_ = {BoxResult::Cancel};
    EXPECT_FALSE(app_->OpenPath(b));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request, SaveChangesBox("a.bmp"));
    EXPECT_EQ(app_->session().picture.fileName, "a.bmp");
    answers_ = {BoxResult::No};
    EXPECT_TRUE(app_->OpenPath(b));
    EXPECT_EQ(app_->session().picture.fileName, "b.bmp");
    EXPECT_FALSE(app_->session().history.IsModified());
}

// Accepts a save dialog for a file in a folder that is gone by the time it is written.
int AcceptVanishingFolder(QDialog& dialog, const std::string& folder) {
    auto* files = qobject_cast<QFileDialog*>(&dialog);
    if (!files) return QDialog::Rejected;
    std::filesystem::create_directories(folder);
    files->setDirectory(QString::fromStdString(folder));
    files->selectFile(QStringLiteral("out.bmp"));
    std::filesystem::remove_all(folder);
    return QDialog::Accepted;
}

TEST_F(AppTest, CloseWithUnsavedChanges) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 3, 3, 0x123456)));
    app_->session().history.position = 1;
    const std::string before = ReadText(IniPath());

    // Cancel keeps running.
    answers_ = {BoxResult::Cancel};
    EXPECT_FALSE(View().close());
    EXPECT_TRUE(View().isVisible());
    EXPECT_EQ(quits_, 0);
    EXPECT_EQ(boxes_.back().request, SaveChangesBox("a.bmp"));

    // Yes with a failing save keeps running.
    answers_ = {BoxResult::Yes};
    onDialog_ = [this](QDialog& d) { return AcceptVanishingFolder(d, dir_.File("gone")); };
    EXPECT_FALSE(View().close());
    EXPECT_TRUE(View().isVisible());
    EXPECT_EQ(quits_, 0);
    EXPECT_EQ(boxes_.back().request.caption, "Error");  // the failed write was reported
    EXPECT_TRUE(app_->session().history.IsModified());
    EXPECT_EQ(ReadText(IniPath()), before);

    // Yes with the dialog cancelled keeps running as well.
    answers_ = {BoxResult::Yes};
    onDialog_ = nullptr;
    EXPECT_FALSE(View().close());
    EXPECT_EQ(quits_, 0);

    // No closes and writes the settings.
    answers_ = {BoxResult::No};
    app_->session().settings.vwin.bgColor = 4;
    EXPECT_TRUE(View().close());
    EXPECT_EQ(quits_, 1);
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(ini.GetInt("Vwin", "BgColor", -1), 4);
    EXPECT_EQ(ini.GetInt("Awin", "MouseInfo", -1), 0);
}

TEST_F(AppTest, CloseWithSaveWritesFileFirst) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 3, 3, 0x123456)));
    app_->session().history.position = 1;
    answers_ = {BoxResult::Yes};
    const std::string out = dir_.File("saved/out.bmp");
    std::filesystem::create_directories(dir_.File("saved"));
    onDialog_ = [this](QDialog& d) {
        auto* files = qobject_cast<QFileDialog*>(&d);
        if (!files) return int(QDialog::Rejected);
        files->setDirectory(QString::fromStdString(dir_.File("saved")));
        files->selectFile(QStringLiteral("out"));  // the default extension is added
        return int(QDialog::Accepted);
    };
    app_->session().settings.simg.format = kSaveBmp;
    EXPECT_TRUE(View().close());
    EXPECT_EQ(quits_, 1);
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(app_->session().lastFolder, dir_.File("saved"));
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(ini.GetString("Path", "Open", ""), dir_.File("saved"));
}

TEST_F(AppTest, SettingsLastFolderComesFromPathOpen) {
    std::filesystem::create_directories(dir_.File("pics"));
    WriteIni("[Awin]\nMouseInfo=0\n[Path]\nOpen=" + dir_.File("pics") + "\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(app_->session().lastFolder, dir_.File("pics"));
}

bool HasMinMaxButton(const QWidget& w) {
    return (w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)) != 0;
}

TEST_F(AppTest, DialogsHaveNoMinimiseOrMaximiseButton) {
    Picture("a.bmp", 4, 3, 0x00FF00);
    ASSERT_TRUE(StartQuiet({"a.bmp"}));
    std::vector<std::string> withButtons;
    onDialog_ = [&withButtons](QDialog& dialog) {
        if (HasMinMaxButton(dialog)) withButtons.push_back(dialog.metaObject()->className());
        return int(QDialog::Rejected);
    };
    for (int id : {kCmdMouseHelp, kCmdVersion, kCmdOpen, kCmdPrint, kCmdWallpaper}) View().Command(id);
    EXPECT_EQ(dialogs_.size(), 5u);
    EXPECT_TRUE(withButtons.empty()) << withButtons.front();
}

TEST_F(AppTest, StandardBoxesSpeakJapanese) {
    const std::unique_ptr<QTranslator> japanese = ui::LoadQtJapanese();
    ASSERT_NE(japanese, nullptr) << "Qt's Japanese translations are not installed";
    QCoreApplication::installTranslator(japanese.get());
    QString yes;
    bool minMax = true;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        yes = box->button(QMessageBox::Yes)->text();
        minMax = HasMinMaxButton(*box);
        box->button(QMessageBox::No)->click();
    });
    BoxRequest question;
    question.text = "?";
    question.buttons = BoxButtons::YesNo;
    EXPECT_EQ(ui::RunMessageBox(nullptr, question), BoxResult::No);
    QCoreApplication::removeTranslator(japanese.get());
    EXPECT_TRUE(yes.contains(QStringLiteral("はい"))) << yes.toStdString();
    EXPECT_FALSE(minMax);
}

TEST(Clipboard, CopiedPictureComesBackWithItsPixelsAndPalette) {
    for (int depth : {8, 24}) {
        ImageBuffer image;
        ASSERT_TRUE(image.Allocate(5, 3, depth));
        for (int y = 0; y < 3; ++y)
            for (size_t i = 0; i < image.stride(); ++i) image.storedRow(y)[i] = static_cast<uint8_t>(40 * y + 7 * i);
        for (int i = 0; i < 256; ++i) image.palette[i] = RgbQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
        image.header.biXPelsPerMeter = 3780;
        QGuiApplication::clipboard()->setMimeData(ui::PictureMimeData(image));
        ASSERT_TRUE(ui::ClipboardHasPicture());
        const std::vector<uint8_t> dib = ui::ClipboardDib(QGuiApplication::clipboard()->mimeData());
        DecoderContext ctx;
        ASSERT_TRUE(ReadClipboardDib(dib.data(), dib.size(), ctx)) << depth;
        EXPECT_EQ(ctx.image.bitCount(), depth);
        EXPECT_EQ(ctx.image.header.biXPelsPerMeter, 0);
        ASSERT_EQ(ctx.image.imageBytes(), image.imageBytes());
        EXPECT_EQ(std::memcmp(ctx.image.bits(), image.bits(), image.imageBytes()), 0) << depth;
        if (depth == 8) {
            EXPECT_EQ(ctx.image.palette, image.palette);
        }
        // Other programs get the same picture the right way up.
        const QImage other = qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData());
        const uint8_t* top = image.topRow(0);
        const RgbQuad q = depth == 24 ? RgbQuad{top[0], top[1], top[2], 0} : image.palette[top[0]];
        const uint32_t expected = uint32_t(q.red) << 16 | uint32_t(q.green) << 8 | q.blue;
        EXPECT_EQ(other.pixel(0, 0) & 0xFFFFFF, expected) << depth;
    }
    QGuiApplication::clipboard()->clear();
}

TEST_F(AppTest, CopyThenPasteMakesTheClipPicture) {
    Picture("a.bmp", 4, 3, 0x00FF00);
    Picture("b.bmp", 2, 2, 0xFF0000);
    ASSERT_TRUE(StartQuiet({"a.bmp"}));
    View().Command(kCmdCopy);
    ASSERT_TRUE(app_->OpenPath(dir_.File("b.bmp")));
    View().Command(kCmdPaste);
    QGuiApplication::clipboard()->clear();
    const CurrentPicture& picture = app_->session().picture;
    EXPECT_EQ(picture.image.width(), 4);
    EXPECT_EQ(picture.image.topRow(0)[1], 0xFF);
    EXPECT_EQ(picture.fileName, "clip");
    EXPECT_TRUE(picture.path.empty());
}

}  // namespace
}  // namespace lumra::test
