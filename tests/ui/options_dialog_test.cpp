// The options dialog driven through its controls.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QWindow>

#include "shell/ini_file.h"
#include "ui/main_menu.h"
#include "ui/options_dialog.h"
#include "ui_test_support.h"

Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                                    const QString& text, bool autorepeat, ushort count);

namespace lumra::test {
namespace {

class OptionsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        data_ = std::make_unique<ScopedEnv>("XDG_DATA_HOME", dir_.File("data"));
    }
    std::unique_ptr<ScopedEnv> data_;
};

template <typename T = QAbstractButton>
T* Find(QWidget& parent, const char* text) {
    for (T* w : parent.findChildren<T*>())
        if (w->text() == QString::fromUtf8(text)) return w;
    ADD_FAILURE() << "no control " << text;
    return nullptr;
}

void PressO(QWidget& window) {
    window.activateWindow();
    QCoreApplication::processEvents();
    qt_handleKeyEvent(window.windowHandle(), QEvent::KeyPress, Qt::Key_O, Qt::NoModifier, "o", false, 1);
    qt_handleKeyEvent(window.windowHandle(), QEvent::KeyRelease, Qt::Key_O, Qt::NoModifier, "o", false, 1);
    QCoreApplication::processEvents();
}

TEST_F(OptionsTest, KeyOOpensSixPagesOnTheStoredPage) {
    WriteIni("[Awin]\nMouseInfo=0\nOptTab=2\n");
    ASSERT_TRUE(Start());
    QStringList pages;
    int shown = -1;
    onDialog_ = [&](QDialog& dialog) {
        auto* options = qobject_cast<ui::OptionsDialog*>(&dialog);
        if (!options) return int(QDialog::Rejected);
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("オプション"));
        for (int i = 0; i < options->tabs()->count(); ++i) pages << options->tabs()->tabText(i);
        shown = options->currentPage();
        options->tabs()->setCurrentIndex(4);
        return int(QDialog::Rejected);
    };
    PressO(View());
    EXPECT_EQ(pages.join("|").toStdString(), "起動・表示|ズーム|マウス・キーボード|ツール|プラグイン|登録");
    EXPECT_EQ(shown, 2);
    // Cancelled, the page is still kept.
    EXPECT_EQ(app_->session().settings.awin.optTab, 4);
}

TEST_F(OptionsTest, ApplyTakesEffectCancelDiscardsAndExitWrites) {
    ASSERT_TRUE(StartQuiet());
    onDialog_ = [](QDialog& dialog) {
        auto* options = qobject_cast<ui::OptionsDialog*>(&dialog);
        if (!options) return int(QDialog::Rejected);
        options->findChild<QSlider*>()->setValue(30);
        Find(*options, "多重起動禁止")->setChecked(true);
        options->applyButton()->click();
        Find(*options, "リピート")->setChecked(true);  // not applied: cancelled
        return int(QDialog::Rejected);
    };
    app_->RunOptionsDialog();
    const Settings& s = app_->session().settings;
    EXPECT_EQ(s.vwin.time, 30);
    EXPECT_EQ(s.vwin.repeat, 0);
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(ini.GetInt("Awin", "Dual", -1), 1);           // at once
    EXPECT_EQ(ini.GetInt("Vwin", "Time", -1), -1);          // only at exit
    ASSERT_TRUE(app_->CloseRequested());
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(ini.GetInt("Vwin", "Time", -1), 30);
    EXPECT_EQ(ini.GetInt("Awin", "Dual", -1), 1);
}

TEST_F(OptionsTest, ReassignedKeyWorksAndShowsInTheMenu) {
    ASSERT_TRUE(StartQuiet());
    onDialog_ = [this](QDialog& dialog) {
        if (auto* keys = qobject_cast<ui::KeyDialog*>(&dialog)) {
            const int print = AssignableIndex(kCmdPrint);
            keys->commands()->selectRow(print);
            QListWidget* list = keys->keyList();
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->text() == "O") list->setCurrentRow(i);
            keys->ctrl()->setChecked(true);
            keys->Assign();  // Ctrl+O is Open's
            keys->ctrl()->setChecked(false);
            keys->shift()->setChecked(true);
            keys->Assign();
            EXPECT_EQ(keys->commands()->item(print, 1)->text(), "Shift+O");
            return int(QDialog::Accepted);
        }
        auto* options = qobject_cast<ui::OptionsDialog*>(&dialog);
        if (!options) return int(QDialog::Rejected);
        options->keyButton()->click();
        Find(*options, "OK")->click();
        return int(QDialog::Accepted);
    };
    app_->RunOptionsDialog();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request.caption, "登録済み");
    EXPECT_EQ(FindAccelerator(app_->accelerators(), 'O', true, false, false), kCmdPrint);
    QAction* item = ui::FindMenuAction(*app_->mainMenu(), kCmdPrint);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(ui::KeyTextOf(*item).toStdString(), "Shift+O");
    app_->CloseRequested();
    IniFile ini;
    ASSERT_TRUE(ini.Load(IniPath()));
    EXPECT_EQ(LoadAccelerators(ini), app_->accelerators());
}

TEST_F(OptionsTest, RegisteredToolAppearsInTheToolsMenu) {
    ASSERT_TRUE(StartQuiet());
    const std::string tool = dir_.File("viewer.sh");
    WriteText(tool, "#!/bin/sh\n");
    onDialog_ = [&tool](QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            EXPECT_EQ(files->windowTitle(), QString::fromUtf8("ファイル設定"));
            files->selectFile(QString::fromStdString(tool));
            return int(QDialog::Accepted);
        }
        auto* options = qobject_cast<ui::OptionsDialog*>(&dialog);
        if (!options) return int(QDialog::Rejected);
        Find(*options, "ファイル登録")->click();
        Find(*options, "OK")->click();
        return int(QDialog::Accepted);
    };
    app_->RunOptionsDialog();
    EXPECT_EQ(app_->session().settings.path.app[0], tool);
    EXPECT_EQ(app_->session().settings.path.an[0], "viewer");
    QAction* item = ui::FindMenuAction(*app_->mainMenu(), kCmdTool1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(ui::ItemTextOf(*item).toStdString(), "viewer(&1)");
}

TEST_F(OptionsTest, AssociationsAreWrittenForTheUser) {
    ASSERT_TRUE(StartQuiet());
    onDialog_ = [](QDialog& dialog) {
        auto* options = qobject_cast<ui::OptionsDialog*>(&dialog);
        if (!options) return int(QDialog::Rejected);
        EXPECT_TRUE(Find(*options, "旧関連付け削除")->isHidden());
        Find(*options, "PNGファイル ( .png )")->setChecked(true);
        Find(*options, "「送る」メニューに登録")->setChecked(true);
        Find(*options, "OK")->click();
        return int(QDialog::Accepted);
    };
    app_->RunOptionsDialog();
    const XdgFolders xdg{dir_.File("data"), dir_.File("config")};
    AssociationStates png{};
    png[1] = true;
    EXPECT_EQ(ReadAssociations(xdg), png);
    EXPECT_TRUE(SendToRegistered(xdg));
}

TEST_F(OptionsTest, OldEntriesButtonShownOnlyWhileThereAreSome) {
    ASSERT_TRUE(StartQuiet());
    const std::string old = dir_.File("data/applications/userapp-LumraEx-X1.desktop");
    std::filesystem::create_directories(dir_.File("data/applications"));
    WriteText(old, "[Desktop Entry]\nExec=/old/LumraEx.exe %f\n");
    onDialog_ = [](QDialog& dialog) {
        auto* options = qobject_cast<ui::OptionsDialog*>(&dialog);
        if (!options) return int(QDialog::Rejected);
        QAbstractButton* remove = Find(*options, "旧関連付け削除");
        EXPECT_FALSE(remove->isHidden());
        remove->click();
        EXPECT_TRUE(remove->isHidden());
        return int(QDialog::Rejected);
    };
    app_->RunOptionsDialog();
    EXPECT_FALSE(std::filesystem::exists(old));
    EXPECT_EQ(app_->session().settings.awin.xpOldReg, 1);
}

}  // namespace
}  // namespace lumra::test
