// The window settings the Window menu toggles, and the background colours.
#pragma once

#include <cstdint>

namespace lumra {

// The setting a command flips.
enum class ToggledSetting { None, AlwaysOnTop, TitleBar, Frame, ToolBar };

// Always on top and the tool bar flip anywhere; the title bar only in normal display; the
// frame only in normal display while the title bar is hidden.
ToggledSetting WindowToggle(int command, bool normalDisplay, bool titleBarShown);

// A boolean setting flipped (only its lowest bit counts).
inline int Flipped(int value) { return (value & 1) ^ 1; }

// BgColor 0 white, 1 light grey, 2 grey, 3 dark grey, 4 black as 0xRRGGBB; any other
// value is light grey.
uint32_t BackgroundRgb(int bgColor);
// The BgColor of a background command (5341-5345); -1 for other commands.
int BackgroundOfCommand(int command);

}  // namespace lumra
