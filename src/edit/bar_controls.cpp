#include "edit/bar_controls.h"

#include <algorithm>
#include <limits>

namespace lumra {

namespace {

// Boxes show at most six decimals; a table asking for more is held to that.
int Decimals(const BarControl& c) { return std::clamp(c.decimals, 0, 6); }

int64_t Power10(int n) {
    int64_t p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SharesRange(BarControlKind kind) {
    return kind == BarControlKind::kTrackbar || kind == BarControlKind::kEdit ||
           kind == BarControlKind::kUpDown;
}

}  // namespace

bool HoldsValue(BarControlKind kind) {
    switch (kind) {
        case BarControlKind::kLabel:
        case BarControlKind::kTextEdit:
        case BarControlKind::kButton: return false;
        default: return true;
    }
}

int ClampToControl(const BarControl& c, int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, c.min, c.max));
}

std::string FormatControlValue(const BarControl& c, int value) {
    const int decimals = Decimals(c);
    if (decimals == 0) return std::to_string(value);
    const int64_t p = Power10(decimals);
    const int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
    std::string text = value < 0 ? "-" : "";
    text += std::to_string(magnitude / p);
    text += '.';
    const std::string fraction = std::to_string(magnitude % p);
    text.append(static_cast<size_t>(decimals) - fraction.size(), '0');
    text += fraction;
    return text;
}

std::optional<int64_t> ParseControlText(const BarControl& c, std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits with at most one point (decimals only); at most 12 digits before it.
    int64_t whole = 0;
    int wholeDigits = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (++wholeDigits > 12) return std::nullopt;
        whole = whole * 10 + (text[i] - '0');
    }
    int64_t fraction = 0;  // scaled to decimals + 1 digits, for rounding
    int fractionDigits = 0;
    const int scaleDigits = Decimals(c);
    if (i < text.size() && text[i] == '.') {
        if (scaleDigits == 0) return std::nullopt;
        ++i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (fractionDigits <= scaleDigits) {
                fraction = fraction * 10 + (text[i] - '0');
                ++fractionDigits;
            }
        }
    }
    if (i != text.size() || (wholeDigits == 0 && fractionDigits == 0)) return std::nullopt;
    while (fractionDigits < scaleDigits + 1) {
        fraction *= 10;
        ++fractionDigits;
    }
    // fraction now has scaleDigits + 1 digits: the last one decides the rounding.
    const int64_t scaled = whole * Power10(scaleDigits) + fraction / 10 + (fraction % 10 >= 5 ? 1 : 0);
    return negative ? -scaled : scaled;
}

std::optional<int> EditBoxChange(const BarControl& c, int stored, std::string_view text) {
    const std::optional<int64_t> parsed = ParseControlText(c, text);
    if (!parsed) return std::nullopt;
    const int value = ClampToControl(c, *parsed);
    if (value == stored) return std::nullopt;
    return value;
}

int UpDownStep(const BarControl& c, int stored, int steps) {
    return ClampToControl(c, static_cast<int64_t>(stored) + steps);
}

int ComboItemCount(const BarControl& c) {
    if (!c.items || !*c.items) return 0;
    const std::string_view s(c.items);
    return static_cast<int>(std::count(s.begin(), s.end(), '\n')) + 1;
}

std::string ComboItem(const BarControl& c, int index) {
    if (index < 0 || index >= ComboItemCount(c)) return {};
    std::string_view s(c.items);
    for (int i = 0; i < index; ++i) s.remove_prefix(s.find('\n') + 1);
    return std::string(s.substr(0, s.find('\n')));
}

std::string CheckBarTable(std::span<const BarControl> table, int paramCount) {
    for (size_t i = 0; i < table.size(); ++i) {
        const BarControl& c = table[i];
        const std::string where = "control " + std::to_string(i) + " (id " + std::to_string(c.id) + "): ";
        if (!HoldsValue(c.kind)) {
            if (c.param != kNoParam && c.kind != BarControlKind::kButton)
                return where + "drives a value but holds none";
            continue;
        }
        if (c.param < 0 || c.param >= paramCount) return where + "param out of range";
        if (c.kind == BarControlKind::kCombo) {
            if (ComboItemCount(c) == 0) return where + "combo without entries";
            if (c.min != 0 || c.max != ComboItemCount(c) - 1) return where + "combo range is not its entries";
        }
        if (c.kind == BarControlKind::kCheck && (c.min != 0 || c.max != 1)) return where + "check box range is not 0..1";
        if (c.min > c.max) return where + "empty range";
        if (c.def < c.min || c.def > c.max) return where + "default outside the range";
        if (c.kind == BarControlKind::kRadio && (c.value < c.min || c.value > c.max))
            return where + "radio value outside the range";
        for (size_t j = 0; j < i; ++j) {
            const BarControl& o = table[j];
            if (!HoldsValue(o.kind) || o.param != c.param) continue;
            if (SharesRange(o.kind) != SharesRange(c.kind) &&
                !(o.kind == BarControlKind::kRadio && c.kind == BarControlKind::kRadio))
                return where + "shares its value with a control of another sort";
            if (o.min != c.min || o.max != c.max || o.def != c.def)
                return where + "shares its value with a control of another range";
            if (o.kind == BarControlKind::kRadio && c.kind == BarControlKind::kRadio && o.value == c.value)
                return where + "two radios stand for one value";
        }
    }
    return {};
}

}  // namespace lumra
