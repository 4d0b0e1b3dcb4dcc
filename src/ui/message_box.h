// The platform box behind every message the program shows.
#pragma once

#include <memory>

#include "shell/messages.h"

class QTranslator;
class QWidget;

namespace lumra::ui {

// Shows a modal message box owned by owner (none: no owner) and returns the answer.
BoxResult RunMessageBox(QWidget* owner, const BoxRequest& request);

// A box's or dialog's frame: title and close button, no minimise or maximise button.
void UseDialogFrame(QWidget& dialog);

// Qt's own Japanese texts (qtbase_ja from Qt's translations folder) for the standard
// boxes and dialogs; null when they are not installed. Install it on the application.
std::unique_ptr<QTranslator> LoadQtJapanese();

}  // namespace lumra::ui
