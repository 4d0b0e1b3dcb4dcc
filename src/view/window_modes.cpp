#include "view/window_modes.h"

namespace lumra {

namespace {

// DisplayMode values.
constexpr int kMain = 0;
constexpr int kEdit = 1;
constexpr int kFull = 2;

}  // namespace

ModeSwitchPlan PlanModeSwitch(int from, int target, bool hasEditWindow) {
    using S = ModeStep;
    ModeSwitchPlan plan;
    if (target == kEdit && !hasEditWindow) {
        if (from == kFull) plan.steps.push_back(S::LeaveFullScreen);
        plan.steps.push_back(S::ShowMainWindow);
        plan.switched = true;
        return plan;
    }
    switch (target) {
        case kMain:
            if (from == kEdit) {
                plan.steps = {S::LeaveEditMode, S::ListToMainWindow};
            } else if (from == kFull) {
                plan.steps = {S::LeaveFullScreen, S::Repaint};
            } else {
                return plan;
            }
            break;
        case kEdit:
            if (from == kEdit) {
                plan.steps = {S::DiscardTrialPreview};
            } else {
                if (from == kFull) plan.steps.push_back(S::LeaveFullScreen);
                plan.steps.push_back(S::EnterEditMode);
                plan.steps.push_back(S::ListToEditWindow);
            }
            break;
        case kFull:
            if (from == kMain) {
                plan.returnMode = kMain;
                plan.steps = {S::EnterFullScreen};
            } else if (from == kEdit) {
                plan.returnMode = kEdit;
                plan.steps = {S::LeaveEditMode, S::EnterFullScreen, S::ListToMainWindow};
            } else {
                return plan;
            }
            break;
        default:
            return plan;
    }
    plan.switched = true;
    return plan;
}

int ReturnTarget(int returnMode, bool hasEditWindow) {
    return returnMode == kEdit && hasEditWindow ? kEdit : kMain;
}

FullScreenAction FullScreenCommandAction(bool minimised, int displayMode) {
    if (minimised) return FullScreenAction::Restore;
    return displayMode == kFull ? FullScreenAction::Leave : FullScreenAction::Enter;
}

}  // namespace lumra
