// The keys of the settings file, one row each, in the order the file is written.
// Reading and writing both walk this table, so a key is named only here.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "shell/settings.h"

namespace lumra {

enum class KeyKind {
    Int,   // the clamp, when there is one, applies on reading
    Bool,  // the lowest bit on reading
    Text,
};

// What a key does beyond reading and writing its field.
enum class KeyRule {
    None,
    KeptFromFile,    // owned by the options dialog: written back as the file holds it
    CentreX,         // missing: centred on the screen with the stored width
    CentreY,         // ... and height
    ExistingFolder,  // a stored path that is not a folder gives the documents folder
    PluginFolder,    // missing: the installed folder, written back only once changed
};

struct IntField {
    int& (*ref)(Settings&);
    int (*get)(const Settings&);
};

struct TextField {
    std::string& (*ref)(Settings&);
    const std::string& (*get)(const Settings&);
};

// The field Settings::*Group .*Member, or element Index of it when it is an array.
template <auto Group, auto Member>
inline constexpr IntField kIntField{[](Settings& s) -> int& { return (s.*Group).*Member; },
                                    [](const Settings& s) { return (s.*Group).*Member; }};

template <auto Group, auto Member, int Index = -1>
inline constexpr TextField kTextField{
    [](Settings& s) -> std::string& {
        if constexpr (Index < 0) return (s.*Group).*Member;
        else return ((s.*Group).*Member)[Index];
    },
    [](const Settings& s) -> const std::string& {
        if constexpr (Index < 0) return (s.*Group).*Member;
        else return ((s.*Group).*Member)[Index];
    }};

struct SettingKey {
    std::string_view section;
    std::string_view key;
    KeyKind kind = KeyKind::Int;
    int def = 0;                    // read when the key is missing (Int and Bool)
    int (*clamp)(int) = nullptr;    // range rule on reading (Int)
    const IntField* intField = nullptr;
    const TextField* textField = nullptr;
    KeyRule rule = KeyRule::None;
};

std::span<const SettingKey> SettingKeys();

}  // namespace lumra
