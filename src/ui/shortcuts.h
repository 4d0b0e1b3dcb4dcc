// The keys of the main window. Until the rebindable key table exists, the default keys
// of the commands built so far are plain shortcuts, all made here.
#pragma once

#include <functional>

class QWidget;

namespace lumra::ui {

void InstallDefaultShortcuts(QWidget* window, const std::function<void(int)>& runCommand);

}  // namespace lumra::ui
