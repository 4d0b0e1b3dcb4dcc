// The open and save dialogs of the picture files.
#pragma once

#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/file_filters.h"
#include "shell/session.h"

class QFileDialog;
class QWidget;

namespace lumra::ui {

// Name filters for QFileDialog: the display text followed by the patterns in the form
// Qt reads them; with HideNameFilterDetails the dialog shows the display text only.
QStringList QtNameFilters(const std::vector<FileFilter>& filters);

// The open dialog, starting in folder, filter 1 selected.
std::unique_ptr<QFileDialog> CreateOpenDialog(QWidget* owner, const std::string& folder,
                                              const std::string& pluginPatterns);

// The save dialog for the current picture: the file name without its extension, the
// filter of the save format, its default extension. Choosing another type sets the
// save format, the default extension and drops a typed extension; formatChanged
// (may be empty) is told afterwards.
std::unique_ptr<QFileDialog> CreateSaveDialog(QWidget* owner, Session& session,
                                              std::function<void()> formatChanged);

// The type change of the save dialog for a 1-based filter index.
void ApplySaveTypeChange(QFileDialog& dialog, Session& session, int filterIndex);

}  // namespace lumra::ui
