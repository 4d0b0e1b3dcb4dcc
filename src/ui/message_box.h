// The platform box behind every message the program shows.
#pragma once

#include "shell/messages.h"

class QWidget;

namespace lumra::ui {

// Shows a modal message box owned by owner (none: no owner) and returns the answer.
BoxResult RunMessageBox(QWidget* owner, const BoxRequest& request);

}  // namespace lumra::ui
