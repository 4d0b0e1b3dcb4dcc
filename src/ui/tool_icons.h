// The 16 x 16 pictures of the tool bar buttons, drawn in code.
#pragma once

#include <QCursor>
#include <QIcon>

namespace lumra::ui {

// The button picture of a command (an empty picture for commands without one).
QIcon ToolIcon(int commandId);

// The right-drag cursor with arrows towards the sides where more picture lies; index is
// row * 3 + column of the reached edges (0 reached at left/top, 2 at right/bottom).
QCursor EdgeCursor(int index);

}  // namespace lumra::ui
