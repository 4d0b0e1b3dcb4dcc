// The 16 x 16 pictures of the tool bar buttons, drawn in code.
#pragma once

#include <QIcon>

namespace lumra::ui {

// The button picture of a command (an empty picture for commands without one).
QIcon ToolIcon(int commandId);

}  // namespace lumra::ui
