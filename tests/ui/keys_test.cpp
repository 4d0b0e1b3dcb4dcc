// The main window's default keys, delivered as the window system delivers them.
#include <QFileDialog>
#include <QWindow>

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

}  // namespace
}  // namespace lumra::test
