#include <gtest/gtest.h>

#include "shell/command_catalogue.h"
#include "view/window_modes.h"
#include "view/window_toggles.h"

namespace lumra {
namespace {

using S = ModeStep;
constexpr int M = 0, E = 1, F = 2;

TEST(WindowModes, SwitchPlans) {
    struct Case {
        int from, target;
        bool editWindow;
        std::vector<ModeStep> steps;
        int returnMode;
        bool switched;
    };
    const Case cases[] = {
        {M, M, true, {}, -1, false},
        {E, M, true, {S::LeaveEditMode, S::ListToMainWindow}, -1, true},
        {F, M, true, {S::LeaveFullScreen, S::Repaint}, -1, true},
        {M, E, true, {S::EnterEditMode, S::ListToEditWindow}, -1, true},
        {F, E, true, {S::LeaveFullScreen, S::EnterEditMode, S::ListToEditWindow}, -1, true},
        {E, E, true, {S::DiscardTrialPreview}, -1, true},
        {M, F, true, {S::EnterFullScreen}, M, true},
        {E, F, true, {S::LeaveEditMode, S::EnterFullScreen, S::ListToMainWindow}, E, true},
        {F, F, true, {}, -1, false},
        // Without an edit window the main window stands in for it.
        {M, E, false, {S::ShowMainWindow}, -1, true},
        {F, E, false, {S::LeaveFullScreen, S::ShowMainWindow}, -1, true},
        {M, 7, true, {}, -1, false},
    };
    for (const Case& c : cases) {
        const ModeSwitchPlan plan = PlanModeSwitch(c.from, c.target, c.editWindow);
        EXPECT_EQ(plan.steps, c.steps) << c.from << "->" << c.target << " " << c.editWindow;
        EXPECT_EQ(plan.returnMode, c.returnMode) << c.from << "->" << c.target;
        EXPECT_EQ(plan.switched, c.switched) << c.from << "->" << c.target;
    }
}

TEST(WindowModes, ReturnAndFullScreenCommand) {
    EXPECT_EQ(ReturnTarget(E, true), E);
    EXPECT_EQ(ReturnTarget(E, false), M);
    EXPECT_EQ(ReturnTarget(M, true), M);
    // A minimised window is restored whatever the mode.
    EXPECT_EQ(FullScreenCommandAction(true, M), FullScreenAction::Restore);
    EXPECT_EQ(FullScreenCommandAction(true, F), FullScreenAction::Restore);
    EXPECT_EQ(FullScreenCommandAction(false, M), FullScreenAction::Enter);
    EXPECT_EQ(FullScreenCommandAction(false, F), FullScreenAction::Leave);
}

TEST(WindowToggles, WhichSettingFlips) {
    using T = ToggledSetting;
    struct Case {
        int command;
        bool normal, titleBar;
        ToggledSetting flips;
    };
    const Case cases[] = {
        {kCmdAlwaysOnTop, false, true, T::AlwaysOnTop}, {kCmdToolBar, false, true, T::ToolBar},
        {kCmdTitleBar, true, true, T::TitleBar},        {kCmdTitleBar, false, false, T::None},
        {kCmdWindowFrame, true, false, T::Frame},       {kCmdWindowFrame, true, true, T::None},
        {kCmdWindowFrame, false, false, T::None},       {kCmdCenter, true, true, T::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowToggle(c.command, c.normal, c.titleBar), c.flips) << c.command << " " << c.normal;
    }
    EXPECT_EQ(Flipped(0), 1);
    EXPECT_EQ(Flipped(1), 0);
    EXPECT_EQ(Flipped(2), 1);  // only the lowest bit counts
}

TEST(WindowToggles, BackgroundColours) {
    const uint32_t rgb[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(BackgroundRgb(i), rgb[i]) << i;
        EXPECT_EQ(BackgroundOfCommand(kCmdBgWhite + i), i);
    }
    EXPECT_EQ(BackgroundRgb(9), 0xC0C0C0u);
    EXPECT_EQ(BackgroundRgb(-1), 0xC0C0C0u);
    EXPECT_EQ(BackgroundOfCommand(kCmdBgWhite - 1), -1);
}

}  // namespace
}  // namespace lumra
