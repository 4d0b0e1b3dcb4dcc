// The decisions of the display-mode switch and of the commands that change the mode.
#pragma once

#include <vector>

namespace lumra {

// The steps of a switch, carried out in order by the window side.
enum class ModeStep {
    LeaveFullScreen,
    LeaveEditMode,
    EnterEditMode,
    EnterFullScreen,
    ListToMainWindow,     // the list box goes to the main window's list window
    ListToEditWindow,
    DiscardTrialPreview,  // only when one is shown
    Repaint,
    ShowMainWindow,       // only when it is hidden
};

struct ModeSwitchPlan {
    std::vector<ModeStep> steps;
    int returnMode = -1;    // ReturnMode to set before the steps; -1 leaves it
    bool switched = false;  // then the visible list is placed again and the titles updated
};

// SwitchMode from one DisplayMode to target (0 main window, 1 edit window, 2 full screen).
// Without an edit window the main window stands in for it.
ModeSwitchPlan PlanModeSwitch(int from, int target, bool hasEditWindow);

// The mode full screen goes back to.
int ReturnTarget(int returnMode, bool hasEditWindow);

enum class FullScreenAction { Restore, Enter, Leave };
// Full screen (5530): a minimised window is only restored.
FullScreenAction FullScreenCommandAction(bool minimised, int displayMode);

}  // namespace lumra
