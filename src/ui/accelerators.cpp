#include "ui/accelerators.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include "ui/key_map.h"

namespace lumra::ui {

AcceleratorFilter::AcceleratorFilter(Hooks hooks, QObject* parent) : QObject(parent), hooks_(std::move(hooks)) {}

bool AcceleratorFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            altAlone_ = false;
            if (watched->isWidgetType() && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                hooks_.leftPress) {
                hooks_.leftPress(static_cast<QWidget*>(watched)->window());
            }
            return false;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            break;
        default:
            return false;
    }
    // Key events reach the window first and then its focus widget: act on the widget.
    if (!watched->isWidgetType()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::KeyRelease) {
        if (key->key() == Qt::Key_Alt && altAlone_ && !key->isAutoRepeat()) {
            altAlone_ = false;
            if (hooks_.altAlone && !QApplication::activeModalWidget() && !QApplication::activePopupWidget()) {
                hooks_.altAlone(static_cast<QWidget*>(watched)->window());
            }
        }
        return false;
    }
    if (key->key() == Qt::Key_Alt) {
        if (!key->isAutoRepeat()) altAlone_ = true;
        return false;
    }
    altAlone_ = false;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
    if (hooks_.suspended && hooks_.suspended()) return false;
    const uint16_t vk = VirtualKeyOf(*key);
    if (vk == 0 || !hooks_.table) return false;
    const Qt::KeyboardModifiers m = key->modifiers();
    const std::optional<int> command =
        FindAccelerator(hooks_.table(), vk, m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
                        m.testFlag(Qt::AltModifier));
    if (!command) return false;
    if (hooks_.runCommand) hooks_.runCommand(*command);
    return true;
}

}  // namespace lumra::ui
