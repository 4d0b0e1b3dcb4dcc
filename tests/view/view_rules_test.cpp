#include "view/view_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace lumra {
namespace {

TEST(ViewRulesFit, FlagsAndZoomFollowTheDisplay) {
    struct Case {
        FitSettings s;
        bool fullScreen;
        int zoomBefore;
        int zoomAfter;  // a 6000 x 4000 picture into 1500 x 900
    };
    const Case cases[] = {
        {{0, 1, 0, 0, 1, 0}, false, 2500, 2251},  // back to 100 %, then shrunk
        {{1, 1, 0, 0, 1, 0}, false, 2500, 2251},  // kept, still too tall: shrunk
        {{1, 0, 0, 0, 1, 0}, false, 2500, 2500},  // kept, no shrinking
        {{0, 0, 0, 0, 1, 0}, false, 2500, 10000},
        {{0, 0, 0, 0, 1, 0}, true, 2500, 2251},   // the full-screen flags
        {{0, 1, 0, 1, 0, 0}, true, 2500, 2500},
        {{0, 1, 0, 0, 0, 0}, true, 2500, 10000},
    };
    for (const Case& c : cases) {
        Viewport v;
        v.zoom = c.zoomBefore;
        SetPictureSize(v, 6000, 4000);
        FitForDisplay(v, FitFlagsFor(c.s, c.fullScreen), 1500, 900, 1920, 1080);
        EXPECT_EQ(v.zoom, c.zoomAfter) << c.s.nmZoom << c.s.vSmall << c.s.flZoom << c.s.fsDown << c.fullScreen;
        EXPECT_EQ(v.centreX, 3000);
    }
}

TEST(ViewRulesResize, EdgesStopAtTheLimitFromTheirOwnSide) {
    struct Case {
        ViewRect after;
        bool settling;
        ViewRect kept;
    };
    const ViewRect before{100, 100, 200, 100};
    const Case cases[] = {
        {{100, 100, 300, 100}, false, {100, 100, 200, 100}},  // right edge past the limit
        {{0, 100, 300, 100}, false, {100, 100, 200, 100}},    // left edge: stops, right stays
        {{150, 100, 150, 100}, false, {150, 100, 150, 100}},  // narrower: as dragged
        {{100, 50, 200, 150}, false, {100, 100, 200, 100}},   // top edge: bottom stays
        {{100, 100, 300, 200}, true, {100, 100, 200, 100}},   // just after our own sizing
        {{100, 100, 150, 80}, true, {100, 100, 150, 80}},
    };
    for (const Case& c : cases) {
        const UserResizeResult r = SizeAfterUserResize(UserResizeInput{before, c.after, 200, 100, c.settling, 200, 100, 0});
        EXPECT_EQ(r.kind, UserResizeResult::Kind::Edge);
        EXPECT_EQ(r.rect, c.kept) << c.after.x << "," << c.after.y << " " << c.after.w << "x" << c.after.h;
    }
}

TEST(ViewRulesResize, CornerKeepsTheOppositeCorner) {
    struct Case {
        ViewRect before;
        ViewRect after;
        int border;
        ViewPoint kept;  // the corner that stays (exclusive right/bottom where dragged from the left/top)
        bool keepsRight;
        bool keepsBottom;
    };
    // A 1600 x 1200 picture at 50 %, dragged to 1000 x 500: 4163, shown 666 x 499.
    const Case cases[] = {
        {{0, 0, 800, 600}, {0, 0, 1000, 500}, 0, {0, 0}, false, false},
        {{200, 200, 800, 600}, {0, 300, 1000, 500}, 0, {1000, 800}, true, true},
        {{200, 200, 800, 600}, {200, 300, 1000, 500}, 0, {200, 800}, false, true},
        {{200, 200, 808, 608}, {0, 200, 1008, 508}, 4, {1004, 204}, true, false},
    };
    for (const Case& c : cases) {
        const UserResizeResult r =
            SizeAfterUserResize(UserResizeInput{c.before, c.after, 808, 608, false, 1600, 1200, c.border});
        ASSERT_EQ(r.kind, UserResizeResult::Kind::Corner);
        EXPECT_EQ(r.zoom, 4163);
        AutoSizeInput in;
        in.clientCentre = r.clientCentre;
        in.displayW = 666;
        in.displayH = 499;
        in.bounds = ViewRect{-2000, -2000, 8000, 8000};
        const ViewRect client = AutoSizePlacement(in).client;
        EXPECT_EQ(c.keepsRight ? client.right() : client.x, c.kept.x) << c.after.x;
        EXPECT_EQ(c.keepsBottom ? client.bottom() : client.y, c.kept.y) << c.after.y;
    }
}

TEST(ViewRulesGestures, SequencesGiveTheirActions) {
    using A = GestureAction;
    enum Kind { Press, Move, Release, Double, Started };
    struct Step {
        Kind kind;
        Button button;
        int value;  // press: 1 other button held, 2 ctrl, 4 full screen, 8 hidden cursor, 16 outside the
                    // picture, 32 FSAreaZm, 64 no picture; move: the distance (Button::None: no button held)
        A first;
        A then = A::None;
    };
    const std::vector<std::vector<Step>> sequences = {
        // Right click: the menu; right drag: scroll from 3 pixels on.
        {{Press, Button::Right, 0, A::ArmRightDrag}, {Release, Button::Right, 0, A::ShowMenu}},
        {{Press, Button::Right, 0, A::ArmRightDrag},
         {Move, Button::Right, 2, A::None},
         {Move, Button::Right, 3, A::StartRightDrag},
         {Started, Button::Right, 1, A::None},
         {Move, Button::Right, 9, A::RightScroll},
         {Release, Button::Right, 0, A::EndRightDrag}},
        // A left press during a right drag ends it; the release runs LRClick.
        {{Press, Button::Right, 0, A::ArmRightDrag},
         {Move, Button::Right, 5, A::StartRightDrag},
         {Started, Button::Right, 0, A::None},
         {Move, Button::Right, 9, A::None},
         {Press, Button::Left, 1, A::EndRightDrag},
         {Release, Button::Left, 0, A::None, A::ClickAction},
         {Release, Button::Right, 0, A::None}},
        // Ctrl band, finished by a right press; plain left drag moves the window.
        {{Press, Button::Left, 2, A::StartBand},
         {Move, Button::Left, 1, A::BandCorner},
         {Press, Button::Right, 1, A::FinishBand},
         {Release, Button::Right, 0, A::None, A::ClickAction}},
        {{Press, Button::Left, 2 | 16, A::ArmWindowMove},
         {Move, Button::Left, 2, A::None},
         {Move, Button::Left, 3, A::StartWindowMove},
         {Move, Button::Left, 9, A::MoveWindow},
         {Release, Button::Left, 0, A::DropWindowMove}},
        {{Press, Button::Left, 0, A::ArmWindowMove}, {Press, Button::Right, 1, A::DropWindowMove}},
        // Full screen: the first press with a hidden cursor only shows it; FSAreaZm bands.
        {{Press, Button::Left, 4 | 8 | 32, A::ShowCursor}, {Release, Button::Left, 0, A::None}},
        {{Press, Button::Left, 4 | 32, A::StartBand}, {Release, Button::Left, 0, A::FinishBand}},
        {{Press, Button::Left, 4, A::None}, {Move, Button::Left, 9, A::None}, {Move, Button::None, 0, A::Hover}},
        {{Press, Button::Left, 4 | 32 | 16, A::None}},
        {{Press, Button::Left, 2 | 64, A::ArmWindowMove}},
        // Double click, its release ignored; middle click only with a picture.
        {{Double, Button::Left, 0, A::ClickAction}, {Release, Button::Left, 0, A::None}},
        {{Double, Button::Right, 0, A::None}},
        {{Press, Button::Middle, 0, A::Middle}, {Press, Button::Middle, 64, A::None}},
    };
    int n = 0;
    for (const auto& sequence : sequences) {
        GestureState s;
        int i = 0;
        for (const Step& step : sequence) {
            GestureStep got;
            switch (step.kind) {
                case Press: {
                    PressInput in;
                    in.button = step.button;
                    in.otherHeld = step.value & 1;
                    in.ctrl = step.value & 2;
                    in.normalDisplay = !(step.value & 4);
                    in.cursorHidden = step.value & 8;
                    in.insidePicture = !(step.value & 16);
                    in.fsAreaZoom = step.value & 32;
                    in.hasPicture = !(step.value & 64);
                    got.first = OnPress(s, in);
                    break;
                }
                case Move:
                    got.first = OnMove(s, step.value, step.button != Button::None);
                    break;
                case Release:
                    got = OnRelease(s, step.button);
                    break;
                case Double:
                    got.first = OnDoubleClick(s, step.button);
                    break;
                case Started:
                    RightDragStarted(s, step.value != 0);
                    break;
            }
            EXPECT_EQ(got.first, step.first) << "sequence " << n << " step " << i;
            EXPECT_EQ(got.then, step.then) << "sequence " << n << " step " << i;
            ++i;
        }
        ++n;
    }
}

TEST(ViewRulesGestures, CommandsWaitForRightButtonAndBand) {
    const DragState blocking[] = {DragState::RightPending, DragState::RightScroll, DragState::RightBlocked,
                                  DragState::RubberBand};
    for (DragState d : blocking) EXPECT_TRUE(GestureBlocksCommands(GestureState{d}));
    EXPECT_FALSE(RightDragActive(GestureState{DragState::RubberBand}));
    EXPECT_FALSE(GestureBlocksCommands(GestureState{DragState::MovePending}));
    EXPECT_FALSE(GestureBlocksCommands(GestureState{DragState::None}));
}

}  // namespace
}  // namespace lumra
