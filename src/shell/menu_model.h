// The context menu as data: its tree, the texts that follow the mode, the registered
// tools, the key texts of the items and the grey/checked states of each opening.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/command_catalogue.h"

namespace lumra {

struct PathSettings;

struct MenuNode {
    int id = kIdSeparator;          // kIdSeparator for a separator
    std::string text;               // item text with its "&" mnemonic
    bool radio = false;             // a radio-check item (background colours)
    std::vector<MenuNode> children; // a sub-menu when not empty
    bool IsSeparator() const { return id == kIdSeparator; }
    bool IsSubMenu() const { return !children.empty(); }
};

// Which texts of the main pop-up apply.
struct MenuMode {
    bool fullScreen = false;  // 5530 reads "通常表示(&M)"
    bool editMode = false;    // 5310 reads "メインウィンドウ(&W)"
};

// The main pop-up with its tool items (from APP0-7 / AN0-7).
std::vector<MenuNode> BuildMainMenu(const PathSettings& tools, const MenuMode& mode);
// The zoom pop-up of the edit window's zoom field.
std::vector<MenuNode> BuildZoomMenu();

// The item texts that follow the mode.
std::string FullScreenItemText(bool fullScreen);
std::string EditWindowItemText(bool editMode);

// The Tools menu's items: one per tool slot with a path, or the grey placeholder.
struct ToolItem {
    int id;
    std::string text;
};
std::vector<ToolItem> ToolMenuItems(const PathSettings& tools);
// A tool's display name cut to 27 characters (UTF-8 aware).
std::string CutToolName(const std::string& name);

// What an item's record holds: its text, and the prefix and key name of its key.
struct MenuRecord {
    std::string text;
    std::string prefix;
    std::string keyName;
};
MenuRecord MakeMenuRecord(const std::string& text, int id, const AcceleratorTable& table);

// The facts the menu states are computed from.
struct MenuFacts {
    bool hasPicture = false;
    bool hasPath = false;
    uint32_t sourceFormat = 0;
    bool toolActive = false;  // an edit operation is running
    bool hasComment = false;
    bool hasTextOrExif = false;
    bool clipboardHasDib = false;
    int historyPosition = 0;
    int historyCount = 0;
    bool hasSelection = false;
    bool editWindowVariant = false;  // the menu belongs to the edit window
    bool fullScreen = false;
    bool titleBar = true;     // CapBar
    bool frame = true;        // Frame
    bool alwaysOnTop = false; // Top
    bool toolBar = true;      // VTBar
    int bgColor = 2;          // of the window the menu belongs to
};

struct MenuItemState {
    bool enabled = true;
    bool checked = false;
    friend bool operator==(const MenuItemState&, const MenuItemState&) = default;
};

// The state of an item of the main pop-up (sub-menu items included).
MenuItemState ItemState(int id, const MenuFacts& facts);
// Whether a command may run, from a menu, a key or the tool bar alike: its item is
// enabled and so is every sub-menu above it. Commands outside the menu always may.
bool CommandEnabled(int id, const MenuFacts& facts);

}  // namespace lumra

namespace lumra {

// The main window's tool bar from left to right: commands, kIdSeparator, and the two
// spacers kIdSpacerRight (widened in full screen) and kIdSpacerFullScreen.
const std::vector<int>& ToolBarLayout();
// The buttons shown only in full screen (the spacers and the last three buttons).
bool ToolBarFullScreenOnly(int id);
// A menu text without its "(&X)" mnemonic and trailing "..." (tool tips).
std::string PlainMenuText(const std::string& text);
// The tool tip of a tool bar button: its menu text, else its key-customisation label.
std::string ToolBarTip(int id, const MenuMode& mode);

}  // namespace lumra
