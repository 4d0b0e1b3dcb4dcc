// Virtual-key codes (the stored form of the key table) and Qt's keys.
#pragma once

#include <Qt>
#include <cstdint>

class QKeyEvent;

namespace lumra::ui {

// The virtual-key code of a key press; 0 for keys without one (modifiers alone, ...).
uint16_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);
uint16_t VirtualKeyOf(const QKeyEvent& event);

// The key that produces a virtual-key code without Shift, with KeypadModifier for the
// numeric keypad keys; Qt::Key_unknown when there is none.
struct QtKeyPress {
    int key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};
QtKeyPress QtKeyOf(uint16_t virtualKey);

}  // namespace lumra::ui
