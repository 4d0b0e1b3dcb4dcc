// The main window's default keys, delivered as the window system delivers them.
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QKeyEvent>
#include <QWindow>

#include "shell/command_catalogue.h"
#include "ui/file_list_window.h"
#include "ui/key_map.h"
#include "ui_test_support.h"

// Exported by QtGui for its test library: feeds a key through the window system path,
// shortcuts included.
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                                    const QString& text, bool autorepeat, ushort count);

namespace lumra::test {
namespace {

using KeysTest = AppFixture;

void Press(QWidget& window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QWindow* handle = window.windowHandle();
    ASSERT_NE(handle, nullptr);
    qt_handleKeyEvent(handle, QEvent::KeyPress, key, modifiers, text, false, 1);
    qt_handleKeyEvent(handle, QEvent::KeyRelease, key, modifiers, text, false, 1);
    QCoreApplication::processEvents();
}

TEST_F(KeysTest, DefaultKeysRunTheirCommands) {
    ASSERT_TRUE(StartQuiet());
    View().activateWindow();
    QCoreApplication::processEvents();

    Press(View(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0], "QFileDialog");

    // Save as needs a picture.
    Press(View(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs_.size(), 1u);
    ASSERT_TRUE(app_->OpenPath(Picture("a.bmp", 2, 2, 0)));
    Press(View(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs_.size(), 2u);

    // Esc is Exit: through the close question.
    app_->session().history.position = 1;
    answers_ = {BoxResult::Cancel};
    Press(View(), Qt::Key_Escape);
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(View().isVisible());
    answers_ = {BoxResult::No};
    Press(View(), Qt::Key_Escape);
    EXPECT_EQ(quits_, 1);
    EXPECT_FALSE(View().isVisible());
}

TEST(KeyMap, EveryNamedKeyRoundTrips) {
    int named = 0;
    for (int vk = 1; vk < 256; ++vk) {
        if (KeyName(static_cast<uint16_t>(vk)).empty()) continue;
        ++named;
        const ui::QtKeyPress press = ui::QtKeyOf(static_cast<uint16_t>(vk));
        ASSERT_NE(press.key, Qt::Key_unknown) << vk;
        EXPECT_EQ(ui::VirtualKeyOf(press.key, press.modifiers), vk) << vk;
    }
    EXPECT_EQ(named, 90);
}

TEST(KeyMap, WhatQtDelivers) {
    using ui::VirtualKeyOf;
    EXPECT_EQ(VirtualKeyOf(Qt::Key_A, Qt::ShiftModifier), 'A');
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Backtab, Qt::ShiftModifier), kVkTab);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Enter, Qt::KeypadModifier), kVkReturn);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_5, Qt::KeypadModifier), kVkNumpad0 + 5);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_5, Qt::NoModifier), '5');
    // The keypad with Num Lock off sends the navigation keys.
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Home, Qt::KeypadModifier), kVkHome);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Asterisk, Qt::KeypadModifier), kVkMultiply);
    // Shift gives the digit keys' symbols; they count as the digit keys.
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Exclam, Qt::ShiftModifier), '1');
    EXPECT_EQ(VirtualKeyOf(Qt::Key_QuoteDbl, Qt::ShiftModifier), '2');
    EXPECT_EQ(VirtualKeyOf(Qt::Key_At, Qt::ShiftModifier), '2');
    EXPECT_EQ(VirtualKeyOf(Qt::Key_At, Qt::NoModifier), kVkOem3);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Plus, Qt::ShiftModifier), kVkOemPlus);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Asterisk, Qt::ShiftModifier), kVkOem1);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Underscore, Qt::ShiftModifier), kVkOem102);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_yen, Qt::NoModifier), kVkOem5);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_F12, Qt::ControlModifier), kVkF12);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Shift, Qt::ShiftModifier), 0);
    EXPECT_EQ(VirtualKeyOf(Qt::Key_Alt, Qt::AltModifier), 0);
    EXPECT_EQ(ui::QtKeyOf(0).key, Qt::Key_unknown);
    EXPECT_EQ(ui::QtKeyOf(300).key, Qt::Key_unknown);
}

TEST_F(KeysTest, KeysStepThroughTheFolder) {
    std::filesystem::create_directories(dir_.File("pics"));
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) Picture(std::string("pics/") + name, 2, 2, 0);
    ASSERT_TRUE(StartQuiet());
    ASSERT_TRUE(app_->OpenPath(dir_.File("pics/b.bmp")));
    app_->FinishFileListScan();
    View().activateWindow();
    QCoreApplication::processEvents();
    auto shown = [this] { return app_->session().picture.fileName; };

    Press(View(), Qt::Key_Down);
    EXPECT_EQ(shown(), "c.bmp");
    Press(View(), Qt::Key_Down);
    EXPECT_EQ(shown(), "c.bmp");
    Press(View(), Qt::Key_Up);
    EXPECT_EQ(shown(), "b.bmp");
    Press(View(), Qt::Key_Left);
    EXPECT_EQ(shown(), "a.bmp");
    Press(View(), Qt::Key_Right);
    EXPECT_EQ(shown(), "c.bmp");
    // Auto-repeat counts like presses.
    qt_handleKeyEvent(View().windowHandle(), QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), true, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(), "b.bmp");

    // Keys also work while the list window has the focus.
    View().Command(kCmdFileList);
    ASSERT_TRUE(app_->fileListWindow()->isVisible());
    app_->fileListWindow()->activateWindow();
    QCoreApplication::processEvents();
    Press(*app_->fileListWindow(), Qt::Key_Down);
    EXPECT_EQ(shown(), "c.bmp");
    EXPECT_EQ(app_->fileListView()->currentIndex().row(), 2);
    View().activateWindow();
    QCoreApplication::processEvents();

    // Suspended keys reach nobody.
    app_->SetAcceleratorsSuspended(true);
    Press(View(), Qt::Key_Up);
    EXPECT_EQ(shown(), "c.bmp");
    app_->SetAcceleratorsSuspended(false);

    // Not while a modal dialog is up.
    QDialog modal(&View());
    modal.setModal(true);
    modal.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::activeModalWidget(), &modal);
    Press(modal, Qt::Key_Up);
    EXPECT_EQ(shown(), "c.bmp");
    modal.hide();
    QCoreApplication::processEvents();
    Press(View(), Qt::Key_Up);
    EXPECT_EQ(shown(), "b.bmp");
}

TEST_F(KeysTest, EditModeSendsKeysToTheEditWindow) {
    ASSERT_TRUE(StartQuiet());
    std::vector<int> edit;
    app_->SetEditCommandHandler([&edit](int id) { edit.push_back(id); });
    app_->session().displayMode = kEditWindow;
    View().activateWindow();
    QCoreApplication::processEvents();
    Press(View(), Qt::Key_Down);
    Press(View(), Qt::Key_O, Qt::ControlModifier);
    Press(View(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(edit, (std::vector<int>{kCmdNext, kCmdOpen, kCmdRedo}));
    EXPECT_TRUE(dialogs_.empty());
    app_->session().displayMode = kMainWindow;
}

}  // namespace
}  // namespace lumra::test
