// The switch between the main window, the edit window and full screen.
#pragma once

namespace lumra::ui {

class Application;

class ModeController {
public:
    explicit ModeController(Application& app) : app_(app) {}

    // 0 main window, 1 edit window, 2 full screen.
    void SwitchMode(int target);
    // Full screen goes back to the mode it was entered from.
    void LeaveFullScreenToReturnMode();

private:
    void EnterEditMode();
    void LeaveEditMode();
    void EnterFullScreenMode();
    void LeaveFullScreenMode();

    Application& app_;
};

}  // namespace lumra::ui
