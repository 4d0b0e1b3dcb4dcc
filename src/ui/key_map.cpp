#include "ui/key_map.h"

#include <QKeyEvent>

#include "shell/command_catalogue.h"

namespace lumra::ui {

namespace {

enum Row : uint8_t {
    kPlainKey,    // the key as it arrives without Shift
    kKeypad,      // with KeypadModifier
    kAlias,       // another Qt key for the same virtual key
    kWithShift,   // the symbol a key gives with Shift held (Japanese layout first)
};

struct KeyRow {
    uint16_t vk;
    int qt;
    Row row;
};

// The one table between the two key codes.
constexpr KeyRow kKeys[] = {
    {kVkBack, Qt::Key_Backspace, kPlainKey},
    {kVkTab, Qt::Key_Tab, kPlainKey},
    {kVkTab, Qt::Key_Backtab, kAlias},  // Shift+Tab
    {kVkReturn, Qt::Key_Return, kPlainKey},
    {kVkReturn, Qt::Key_Enter, kAlias},
    {kVkEscape, Qt::Key_Escape, kPlainKey},
    {kVkSpace, Qt::Key_Space, kPlainKey},
    {kVkPrior, Qt::Key_PageUp, kPlainKey},
    {kVkNext, Qt::Key_PageDown, kPlainKey},
    {kVkEnd, Qt::Key_End, kPlainKey},
    {kVkHome, Qt::Key_Home, kPlainKey},
    {kVkLeft, Qt::Key_Left, kPlainKey},
    {kVkUp, Qt::Key_Up, kPlainKey},
    {kVkRight, Qt::Key_Right, kPlainKey},
    {kVkDown, Qt::Key_Down, kPlainKey},
    {kVkInsert, Qt::Key_Insert, kPlainKey},
    {kVkDelete, Qt::Key_Delete, kPlainKey},
    {kVkNumpad0 + 0, Qt::Key_0, kKeypad},
    {kVkNumpad0 + 1, Qt::Key_1, kKeypad},
    {kVkNumpad0 + 2, Qt::Key_2, kKeypad},
    {kVkNumpad0 + 3, Qt::Key_3, kKeypad},
    {kVkNumpad0 + 4, Qt::Key_4, kKeypad},
    {kVkNumpad0 + 5, Qt::Key_5, kKeypad},
    {kVkNumpad0 + 6, Qt::Key_6, kKeypad},
    {kVkNumpad0 + 7, Qt::Key_7, kKeypad},
    {kVkNumpad0 + 8, Qt::Key_8, kKeypad},
    {kVkNumpad0 + 9, Qt::Key_9, kKeypad},
    {kVkMultiply, Qt::Key_Asterisk, kKeypad},
    {kVkAdd, Qt::Key_Plus, kKeypad},
    {kVkSubtract, Qt::Key_Minus, kKeypad},
    {kVkDecimal, Qt::Key_Period, kKeypad},
    {kVkDecimal, Qt::Key_Comma, kKeypad},
    {kVkDivide, Qt::Key_Slash, kKeypad},
    {kVkOem1, Qt::Key_Colon, kPlainKey},
    {kVkOemPlus, Qt::Key_Semicolon, kPlainKey},
    {kVkOemComma, Qt::Key_Comma, kPlainKey},
    {kVkOemMinus, Qt::Key_Minus, kPlainKey},
    {kVkOemPeriod, Qt::Key_Period, kPlainKey},
    {kVkOem2, Qt::Key_Slash, kPlainKey},
    {kVkOem3, Qt::Key_At, kPlainKey},
    {kVkOem4, Qt::Key_BracketLeft, kPlainKey},
    {kVkOem5, Qt::Key_Backslash, kPlainKey},
    {kVkOem5, Qt::Key_yen, kAlias},
    {kVkOem6, Qt::Key_BracketRight, kPlainKey},
    {kVkOem7, Qt::Key_AsciiCircum, kPlainKey},
    {kVkOem102, Qt::Key_Underscore, kAlias},
    // Keys of other layouts that only arrive without Shift.
    {kVkOemPlus, Qt::Key_Equal, kAlias},
    {kVkOem7, Qt::Key_Apostrophe, kAlias},
    {kVkOem3, Qt::Key_QuoteLeft, kAlias},
    // Shifted symbols: the Japanese layout, then the US layout where they do not clash.
    {'1', Qt::Key_Exclam, kWithShift},
    {'2', Qt::Key_QuoteDbl, kWithShift},
    {'3', Qt::Key_NumberSign, kWithShift},
    {'4', Qt::Key_Dollar, kWithShift},
    {'5', Qt::Key_Percent, kWithShift},
    {'6', Qt::Key_Ampersand, kWithShift},
    {'7', Qt::Key_Apostrophe, kWithShift},
    {'8', Qt::Key_ParenLeft, kWithShift},
    {'9', Qt::Key_ParenRight, kWithShift},
    {kVkOemMinus, Qt::Key_Equal, kWithShift},
    {kVkOem7, Qt::Key_AsciiTilde, kWithShift},
    {kVkOem5, Qt::Key_Bar, kWithShift},
    {kVkOem3, Qt::Key_QuoteLeft, kWithShift},
    {kVkOem4, Qt::Key_BraceLeft, kWithShift},
    {kVkOemPlus, Qt::Key_Plus, kWithShift},
    {kVkOem1, Qt::Key_Asterisk, kWithShift},
    {kVkOem6, Qt::Key_BraceRight, kWithShift},
    {kVkOemComma, Qt::Key_Less, kWithShift},
    {kVkOemPeriod, Qt::Key_Greater, kWithShift},
    {kVkOem2, Qt::Key_Question, kWithShift},
    {kVkOem102, Qt::Key_Underscore, kWithShift},
    {'2', Qt::Key_At, kWithShift},
    {'6', Qt::Key_AsciiCircum, kWithShift},
    {kVkOem1, Qt::Key_Colon, kWithShift},
};

}  // namespace

uint16_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    if (keypad) {
        for (const KeyRow& r : kKeys) {
            if (r.row == kKeypad && r.qt == qtKey) return r.vk;
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<uint16_t>('A' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<uint16_t>('0' + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return static_cast<uint16_t>(kVkF1 + (qtKey - Qt::Key_F1));
    if (shift) {
        for (const KeyRow& r : kKeys) {
            if (r.row == kWithShift && r.qt == qtKey) return r.vk;
        }
    }
    for (const KeyRow& r : kKeys) {
        if ((r.row == kPlainKey || r.row == kAlias) && r.qt == qtKey) return r.vk;
    }
    return 0;
}

uint16_t VirtualKeyOf(const QKeyEvent& event) { return VirtualKeyOf(event.key(), event.modifiers()); }

QtKeyPress QtKeyOf(uint16_t vk) {
    if (vk >= 'A' && vk <= 'Z') return {Qt::Key_A + (vk - 'A'), Qt::NoModifier};
    if (vk >= '0' && vk <= '9') return {Qt::Key_0 + (vk - '0'), Qt::NoModifier};
    if (vk >= kVkF1 && vk <= kVkF1 + 23) return {Qt::Key_F1 + (vk - kVkF1), Qt::NoModifier};
    for (const KeyRow& r : kKeys) {
        if (r.vk != vk) continue;
        if (r.row == kPlainKey) return {r.qt, Qt::NoModifier};
        if (r.row == kKeypad) return {r.qt, Qt::KeypadModifier};
    }
    for (const KeyRow& r : kKeys) {
        if (r.vk == vk && r.row == kAlias) return {r.qt, Qt::NoModifier};
    }
    return {};
}

}  // namespace lumra::ui
