// The state one running program owns, passed by reference to the engine's functions.
#pragma once

#include <string>

#include "document/document.h"
#include "shell/settings.h"

namespace lumra {

enum DisplayMode : int { kMainWindow = 0, kEditWindow = 1, kFullScreen = 2 };

// The document with the settings it works under and the program's window state.
struct Session : Document {
    Settings settings;
    int displayMode = kMainWindow;
    int returnMode = kMainWindow;
    std::string settingsPath;
    std::string lastFolder;  // the folder the open and save dialogs start in

    LImgSettings& LoadOptions() override { return settings.limg; }
    SImgSettings& SaveOptions() override { return settings.simg; }
    const std::string& PluginFolder() const override { return settings.path.spi; }
    using Document::LoadOptions;
    using Document::SaveOptions;
};

}  // namespace lumra
