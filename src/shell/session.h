// The state one running program owns, passed by reference to the engine's functions.
#pragma once

#include <functional>
#include <string>

#include "formats/picture.h"
#include "shell/settings.h"

namespace lumra {

enum DisplayMode : int { kMainWindow = 0, kEditWindow = 1, kFullScreen = 2 };

// What the engine asks of the user interface. Every hook may be empty (command-line tool, tests).
struct UiHooks {
    std::function<void(const std::string&)> setTitle;        // e.g. "wait..."
    std::function<std::string()> title;                      // the main window's title now
    std::function<void(bool)> setWaitCursor;                  // true: wait, false: arrow
    std::function<void(int)> showError;                       // ShowError(main window, code)
    std::function<void(int, const std::string&)> reportCodecError;  // CodecError, library text
    std::function<void(const std::string&)> savedFile;        // a file was written (file list)
    std::function<void()> trialPreviewChanged;                // preview pane repaint
    std::function<void()> animationStopped;                   // the picture's frames are released
};

struct Session {
    Settings settings;
    CurrentPicture picture;
    HistoryState history;
    int displayMode = kMainWindow;
    int returnMode = kMainWindow;
    int operationState = 0;  // the active edit operation, 0 when none
    std::string settingsPath;
    std::string lastFolder;  // the folder the open and save dialogs start in
    UiHooks ui;
};

}  // namespace lumra
