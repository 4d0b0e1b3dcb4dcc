#include "view/window_toggles.h"

#include "shell/command_catalogue.h"

namespace lumra {

ToggledSetting WindowToggle(int command, bool normalDisplay, bool titleBarShown) {
    switch (command) {
        case kCmdAlwaysOnTop: return ToggledSetting::AlwaysOnTop;
        case kCmdToolBar: return ToggledSetting::ToolBar;
        case kCmdTitleBar: return normalDisplay ? ToggledSetting::TitleBar : ToggledSetting::None;
        case kCmdWindowFrame:
            return normalDisplay && !titleBarShown ? ToggledSetting::Frame : ToggledSetting::None;
        default: return ToggledSetting::None;
    }
}

uint32_t BackgroundRgb(int bgColor) {
    switch (bgColor) {
        case 0: return 0xFFFFFF;
        case 2: return 0x808080;
        case 3: return 0x404040;
        case 4: return 0x000000;
        default: return 0xC0C0C0;
    }
}

int BackgroundOfCommand(int command) {
    return command >= kCmdBgWhite && command <= kCmdBgBlack ? command - kCmdBgWhite : -1;
}

}  // namespace lumra
