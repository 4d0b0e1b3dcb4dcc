// The controls of an operation bar as a constant table, and the rules that join them: a
// trackbar, its edit box and its up-down control share one value and one range.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lumra {

enum class BarControlKind : uint8_t {
    kLabel,
    kTrackbar,
    kEdit,       // a number box
    kTextEdit,   // free text (no value)
    kUpDown,
    kCheck,      // value 0 or 1
    kRadio,      // checked when the value equals `value`; choosing it sets the value
    kButton,     // reports its id when clicked
    kColourBox,  // value 0xRRGGBB
    kCombo,      // value = the chosen entry's index; entries in `items`
};

inline constexpr int kNoParam = -1;

// One control. Controls with the same param share that value: moving the trackbar writes
// the edit box, the edit box moves the trackbar and the up-down, and so on.
struct BarControl {
    int id = 0;  // control id (0: none)
    BarControlKind kind = BarControlKind::kLabel;
    const char* caption = nullptr;  // label, check box, radio or button text
    int min = 0;
    int max = 0;
    int def = 0;              // initial value
    int param = kNoParam;     // index of the value it drives (PreviewState::params)
    int value = 0;            // the value a radio button stands for
    int pageSize = 10;        // trackbar page
    int maxChars = 0;         // edit box length limit, 0: none
    int decimals = 0;         // edit box shows value / 10^decimals with that many decimals
    const char* items = nullptr;  // combo entries separated by '\n'
};

// Whether a control of this kind holds a value of its own.
bool HoldsValue(BarControlKind kind);

// The value clamped to the control's range.
int ClampToControl(const BarControl& c, int64_t value);

// The edit box text of a value ("%d", or "%.Nf" of value / 10^N).
std::string FormatControlValue(const BarControl& c, int value);

// The number in an edit box: a signed integer (leading and trailing blanks allowed), or with
// decimals a decimal number scaled by 10^decimals and rounded half away from zero; not
// clamped. Nothing when the text is not a number.
std::optional<int64_t> ParseControlText(const BarControl& c, std::string_view text);

// An edit box's text changed: the new value when it differs from the stored one after
// clamping; nothing when the text is not a number or gives the stored value.
std::optional<int> EditBoxChange(const BarControl& c, int stored, std::string_view text);

// An up-down step (+1 or -1 times the step count) from stored, within the range.
int UpDownStep(const BarControl& c, int stored, int steps);

// The entries of a combo box.
int ComboItemCount(const BarControl& c);
std::string ComboItem(const BarControl& c, int index);

// Checks a table: ranges hold their defaults, params are below paramCount, controls that
// share a param share a range, radios sit inside their range, combos have entries. The
// first fault in words, or empty.
std::string CheckBarTable(std::span<const BarControl> table, int paramCount);

}  // namespace lumra
