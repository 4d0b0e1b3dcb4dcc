// The open and save dialogs: the texts Qt shows, the type change and the folder.
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>

#include "platform/paths.h"
#include "ui/file_dialogs.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

using FileDialogTest = AppFixture;

std::vector<std::string> ShownTypes(QFileDialog& dialog) {
    std::vector<std::string> out;
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (!combo) return out;
    for (int i = 0; i < combo->count(); ++i) out.push_back(combo->itemText(i).toStdString());
    return out;
}

std::vector<std::string> Texts(const std::vector<FileFilter>& filters) {
    std::vector<std::string> out;
    for (const FileFilter& f : filters) out.push_back(f.text);
    return out;
}

int SelectedType(QFileDialog& dialog) {
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    return combo ? combo->currentIndex() : -1;
}

// Chooses a type in the dialog's list as a user would.
void ChooseType(QFileDialog& dialog, int index) {
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    emit combo->textActivated(combo->itemText(index));
}

TEST_F(FileDialogTest, QtFilterStringsCarryPatterns) {
    const QStringList filters = ui::QtNameFilters(OpenFilters("*.mag"));
    EXPECT_EQ(filters.at(0).toStdString(),
              "イメージ ファイル (*.bmp;*.png;*.jpg;*.tif;*.gif; etc) "
              "(*.bmp *.png *.jpg *.jpeg *.jpe *.tif *.tiff *.gif *.mag)");
    EXPECT_EQ(filters.at(1).toStdString(), "プラグイン対応 ファイル (*.mag) (*.mag)");
    EXPECT_EQ(filters.last().toStdString(), "すべて (*.*) (*)");
}

TEST_F(FileDialogTest, OpenDialogShowsTheTextsAndMatchesPatterns) {
    ASSERT_TRUE(StartQuiet());
    std::filesystem::create_directories(dir_.File("pics"));
    std::unique_ptr<QFileDialog> dialog = ui::CreateOpenDialog(&View(), dir_.File("pics"), "");
    EXPECT_EQ(ShownTypes(*dialog), Texts(OpenFilters("")));
    EXPECT_EQ(SelectedType(*dialog), 0);
    EXPECT_EQ(dialog->directory().absolutePath().toStdString(), dir_.File("pics"));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));

    std::unique_ptr<QFileDialog> withPlugins = ui::CreateOpenDialog(&View(), dir_.path(), "*.pi;*.mag");
    EXPECT_EQ(ShownTypes(*withPlugins), Texts(OpenFilters("*.pi;*.mag")));
}

TEST_F(FileDialogTest, OpenCommandLoadsChosenFileAndRemembersFolder) {
    ASSERT_TRUE(StartQuiet());
    std::filesystem::create_directories(dir_.File("pics"));
    const std::string path = dir_.File("pics/chosen.bmp");
    WriteFile(path, Bmp24(3, 2, [](int, int) { return 0x102030u; }));
    app_->session().lastFolder = dir_.File("pics");
    std::string startFolder;
    onDialog_ = [&](QDialog& d) {
        auto* files = qobject_cast<QFileDialog*>(&d);
        if (!files) return int(QDialog::Rejected);
        startFolder = files->directory().absolutePath().toStdString();
        files->selectFile(QStringLiteral("chosen.bmp"));
        return int(QDialog::Accepted);
    };
    View().Command(kCmdOpen);
    EXPECT_EQ(startFolder, dir_.File("pics"));
    EXPECT_EQ(app_->session().picture.path, path);
    EXPECT_EQ(app_->session().lastFolder, dir_.File("pics"));
    EXPECT_EQ(Title(), "chosen.bmp  ( 3x2  24bit  0.0KB )  100%");

    // A file that does not load: ErrDisplay, the picture stays.
    WriteText(dir_.File("pics/junk.png"), "junk");
    onDialog_ = [&](QDialog& d) {
        qobject_cast<QFileDialog*>(&d)->selectFile(QStringLiteral("junk.png"));
        return int(QDialog::Accepted);
    };
    View().Command(kCmdOpen);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request, ErrorBox(kErrDisplay));
    EXPECT_EQ(app_->session().picture.path, path);
}

TEST_F(FileDialogTest, SaveDialogTypesAndTypeChange) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("photo.bmp", 2, 2, 0)));
    Session& session = app_->session();
    session.settings.simg.format = kSavePng;
    session.lastFolder = dir_.path();
    std::unique_ptr<QFileDialog> dialog = ui::CreateSaveDialog(&View(), session, nullptr);

    // Five types for a picture that is not from a JPEG file; the save format's is chosen.
    EXPECT_EQ(ShownTypes(*dialog), Texts(SaveFilters(false)));
    EXPECT_EQ(SelectedType(*dialog), 1);
    EXPECT_EQ(dialog->defaultSuffix().toStdString(), "png");
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text().toStdString(), "photo");

    // Choosing JPEG: save format 2, default "jpg", the typed extension goes.
    edit->setText(QStringLiteral("holiday.png"));
    ChooseType(*dialog, 2);
    EXPECT_EQ(session.settings.simg.format, kSaveJpeg);
    EXPECT_EQ(dialog->defaultSuffix().toStdString(), "jpg");
    EXPECT_EQ(edit->text().toStdString(), "holiday");
    ChooseType(*dialog, 4);
    EXPECT_EQ(session.settings.simg.format, kSaveGif);
    EXPECT_EQ(dialog->defaultSuffix().toStdString(), "gif");
    EXPECT_EQ(edit->text().toStdString(), "holiday");

    // The default extension is what a plain name gets.
    edit->setText(QStringLiteral("plain"));
    const QStringList chosen = dialog->selectedFiles();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.first().toStdString(), dir_.File("plain.gif"));
}

TEST_F(FileDialogTest, SaveDialogOffersJpegTransForJpegPictures) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("photo.bmp", 2, 2, 0)));
    Session& session = app_->session();
    session.picture.image.sourceFormat = kFormatJpeg;
    session.settings.simg.format = kSaveJpegTrans;
    int changes = 0;
    std::unique_ptr<QFileDialog> dialog = ui::CreateSaveDialog(&View(), session, [&changes] { ++changes; });
    EXPECT_EQ(ShownTypes(*dialog), Texts(SaveFilters(true)));
    dialog->grab().save(QStringLiteral("/tmp/lumra_save_dialog.png"));
    EXPECT_EQ(SelectedType(*dialog), 5);
    ChooseType(*dialog, 0);
    EXPECT_EQ(session.settings.simg.format, kSaveBmp);
    EXPECT_EQ(changes, 1);
    ChooseType(*dialog, 5);
    EXPECT_EQ(session.settings.simg.format, kSaveJpegTrans);

    // Without a JPEG source the JPEG/TRANS format falls back to the JPEG type.
    session.picture.image.sourceFormat = kFormatBmp;
    std::unique_ptr<QFileDialog> plain = ui::CreateSaveDialog(&View(), session, nullptr);
    EXPECT_EQ(SelectedType(*plain), 2);
}

TEST_F(FileDialogTest, SaveAsCommandWritesAndUpdatesTitle) {
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(Picture("photo.bmp", 2, 2, 0xFF00FF)));
    app_->session().history.position = 1;
    app_->UpdateTitles();
    EXPECT_EQ(Title(), "photo.bmp*  ( 2x2  24bit  0.0KB )  100%");
    app_->session().settings.simg.format = kSaveBmp;
    std::filesystem::create_directories(dir_.File("out"));
    app_->session().lastFolder = dir_.File("out");
    onDialog_ = [](QDialog& d) {
        auto* files = qobject_cast<QFileDialog*>(&d);
        EXPECT_NE(files, nullptr);
        return int(QDialog::Accepted);  // the proposed name as it is
    };
    View().Command(kCmdSaveAs);
    EXPECT_TRUE(std::filesystem::exists(dir_.File("out/photo.bmp")));
    EXPECT_FALSE(app_->session().history.IsModified());
    EXPECT_EQ(Title(), "photo.bmp  ( 2x2  24bit  0.0KB )  100%");
    EXPECT_EQ(app_->session().lastFolder, dir_.File("out"));
}

}  // namespace
}  // namespace lumra::test
