// The key table at work: every key press of the program's windows is looked up in it
// before the windows see it, unless the keys are suspended or a modal box, dialog or
// menu is up. Pressing and releasing Alt alone is reported too.
#pragma once

#include <QObject>
#include <functional>

#include "shell/command_catalogue.h"

class QWidget;

namespace lumra::ui {

class AcceleratorFilter : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<const AcceleratorTable&()> table;
        std::function<bool()> suspended;
        std::function<void(int)> runCommand;     // the main window's command router
        std::function<void(QWidget*)> altAlone;  // the window that had the key focus
        std::function<void(QWidget*)> leftPress; // a left-button press in a window
    };
    explicit AcceleratorFilter(Hooks hooks, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Hooks hooks_;
    bool altAlone_ = false;
};

}  // namespace lumra::ui
