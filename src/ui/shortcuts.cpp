#include "ui/shortcuts.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include "ui/view_window.h"

namespace lumra::ui {

void InstallDefaultShortcuts(QWidget* window, const std::function<void(int)>& runCommand) {
    struct Binding {
        QKeySequence key;
        int command;
    };
    const Binding bindings[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_O), kCmdOpen},
        {QKeySequence(Qt::CTRL | Qt::Key_S), kCmdSaveAs},
        {QKeySequence(Qt::Key_V), kCmdPaste},
        {QKeySequence(Qt::Key_O), kCmdOptions},
        {QKeySequence(Qt::Key_Escape), kCmdExit},
    };
    for (const Binding& b : bindings) {
        auto* shortcut = new QShortcut(b.key, window);
        shortcut->setContext(Qt::WindowShortcut);
        const int command = b.command;
        QObject::connect(shortcut, &QShortcut::activated, window, [runCommand, command] { runCommand(command); });
    }
}

}  // namespace lumra::ui
