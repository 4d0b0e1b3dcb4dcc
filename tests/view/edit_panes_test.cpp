#include <gtest/gtest.h>

#include "shell/command_catalogue.h"
#include "shell/settings.h"
#include "view/edit_panes.h"

namespace lumra {
namespace {

TEST(EditPanes, PlacementFromSwin) {
    struct Case {
        int x, y, w, h;
        ViewRect work;
        ViewRect expected;
    };
    const Case cases[] = {
        {100, 50, 800, 600, {0, 0, 1920, 1040}, {100, 50, 800, 600}},
        // Past the right or bottom edge: pulled back inside.
        {1500, 900, 800, 600, {0, 0, 1920, 1040}, {1120, 440, 800, 600}},
        // Left of or above the work area: its edge.
        {-30, -5, 800, 600, {0, 40, 1920, 1000}, {0, 40, 800, 600}},
        // Larger than the work area: limited first.
        {0, 0, 3000, 2000, {0, 0, 1280, 1000}, {0, 0, 1280, 1000}},
        // A second monitor to the right.
        {1900, 10, 800, 600, {1920, 0, 1280, 1024}, {1920, 10, 800, 600}},
    };
    for (const Case& c : cases) {
        SwinSettings s;
        s.x = c.x;
        s.y = c.y;
        s.w = c.w;
        s.h = c.h;
        const EditWindowPlacement p = PlaceEditWindow(s, c.work);
        EXPECT_EQ(p.rect, c.expected) << c.x << "," << c.y;
        EXPECT_FALSE(p.maximised);
    }
    SwinSettings s;
    s.max = 3;  // only the lowest bit counts
    EXPECT_TRUE(PlaceEditWindow(s, {0, 0, 1024, 768}).maximised);
}

TEST(EditPanes, Layouts) {
    PaneRects r = LayoutPaneRects(kPanesSideBySide, 801, 600, 60);
    EXPECT_EQ(r.source, (ViewRect{0, 60, 399, 540}));
    EXPECT_EQ(r.preview, (ViewRect{402, 60, 399, 540}));
    EXPECT_TRUE(r.sourceShown && r.previewShown);
    EXPECT_EQ(r.first(), r.source);

    r = LayoutPaneRects(kPaneSourceOnly, 800, 600, 60);
    EXPECT_EQ(r.source, (ViewRect{0, 60, 800, 540}));
    EXPECT_FALSE(r.previewShown);

    r = LayoutPaneRects(kPanePreviewOnly, 800, 600, 60);
    EXPECT_EQ(r.preview, (ViewRect{0, 60, 800, 540}));
    EXPECT_FALSE(r.sourceShown);
    EXPECT_EQ(r.first(), r.preview);
}

TEST(EditPanes, ScrollBarChoice) {
    struct Case {
        int W, H, dw, dh;
        bool horizontal, vertical;
        int clientW, clientH;
    };
    const int vw = 16, hh = 16;
    const Case cases[] = {
        {400, 300, 200, 100, false, false, 400, 300},
        // Exactly as wide as the pane but taller: both bars, a vertical one would cover it.
        {400, 300, 400, 500, true, true, 384, 284},
        // Narrower by at least the bar: the vertical bar alone.
        {400, 300, 384, 500, false, true, 384, 300},
        {400, 300, 385, 500, true, true, 384, 284},
        // Just fits the width but not the height ... and fits the height: no bars.
        {400, 300, 390, 300, false, false, 400, 300},
        // Wider: the horizontal bar, the vertical one only when the rest is too low.
        {400, 300, 500, 284, true, false, 400, 284},
        {400, 300, 500, 285, true, true, 384, 284},
    };
    for (const Case& c : cases) {
        const ScrollBarChoice s = ChooseScrollBars(c.W, c.H, c.dw, c.dh, vw, hh);
        EXPECT_EQ(s.horizontal, c.horizontal) << c.dw << "x" << c.dh;
        EXPECT_EQ(s.vertical, c.vertical) << c.dw << "x" << c.dh;
        EXPECT_EQ(s.clientW, c.clientW) << c.dw << "x" << c.dh;
        EXPECT_EQ(s.clientH, c.clientH) << c.dw << "x" << c.dh;
    }
    // Side by side halves the width: a picture that filled one pane now needs bars.
    const PaneRects one = LayoutPaneRects(kPaneSourceOnly, 800, 600, 0);
    const PaneRects two = LayoutPaneRects(kPanesSideBySide, 800, 600, 0);
    EXPECT_FALSE(ChooseScrollBars(one.first().w, one.first().h, 700, 500, vw, hh).horizontal);
    EXPECT_TRUE(ChooseScrollBars(two.first().w, two.first().h, 700, 500, vw, hh).horizontal);
}

TEST(EditPanes, BarRangesAndInput) {
    EXPECT_EQ(BarRange(true, 1000, 120, 300), (ScrollBarRange{0, 999, 300, 120}));
    const ScrollBarRange empty = BarRange(false, 1000, 0, 1000);
    EXPECT_LT(empty.maximum, empty.minimum);

    struct Case {
        BarInput input;
        int position, track;
        int expected;
    };
    // Picture 1000, source 300: positions 0 ... 700.
    const Case cases[] = {
        {BarInput::LineBack, 100, 0, 80},     {BarInput::LineBack, 10, 0, 0},
        {BarInput::LineForward, 100, 0, 120}, {BarInput::LineForward, 690, 0, 700},
        {BarInput::PageBack, 400, 0, 100},    {BarInput::PageForward, 500, 0, 700},
        {BarInput::Track, 100, 650, 650},     {BarInput::Track, 100, 900, 700},
        {BarInput::Top, 300, 0, 0},           {BarInput::Bottom, 300, 0, 700},
        {BarInput::ThumbPosition, 300, 10, 300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BarTarget(c.input, c.position, 300, 1000, c.track), c.expected) << static_cast<int>(c.input);
    }
}

TEST(EditPanes, ScrollShiftNeedsBothDirections) {
    EXPECT_EQ(EditScrollShift(3000, 2000, 1920, 1080), 1);
    EXPECT_EQ(EditScrollShift(3000, 1000, 1920, 1080), 0);
    EXPECT_EQ(EditScrollShift(1000, 2000, 1920, 1080), 0);
    EXPECT_EQ(EditScrollShift(1920, 1080, 1920, 1080), 0);
}

TEST(EditPanes, Wheel) {
    // Forward is away from the user.
    EXPECT_EQ(EditWheelCommand(-120, false, 0, 0, false), kCmdZoomStepIn);
    EXPECT_EQ(EditWheelCommand(120, false, 0, 0, false), kCmdZoomStepOut);
    EXPECT_EQ(EditWheelCommand(-120, false, 0, 1, false), kCmdZoomStepOut);
    // Ctrl alone with SWWheel clear browses; with SWWheel set it zooms.
    EXPECT_EQ(EditWheelCommand(120, true, 0, 0, false), kCmdPrevious);
    EXPECT_EQ(EditWheelCommand(-120, true, 0, 0, false), kCmdNext);
    EXPECT_EQ(EditWheelCommand(-120, true, 1, 0, false), kCmdZoomStepIn);
    EXPECT_EQ(EditWheelCommand(-120, false, 1, 0, false), kCmdNext);
    // No browsing during an operation; zooming stays.
    EXPECT_EQ(EditWheelCommand(-120, true, 0, 0, true), 0);
    EXPECT_EQ(EditWheelCommand(-120, false, 0, 0, true), kCmdZoomStepIn);
}

TEST(EditPanes, ToolBarStates) {
    EditToolBarFacts f;
    f.hasPicture = true;
    f.historyPosition = 1;
    f.historyCount = 3;
    EXPECT_TRUE(EditToolButtonState(kCmdUndo, f).enabled);
    EXPECT_TRUE(EditToolButtonState(kCmdRedo, f).enabled);
    EXPECT_TRUE(EditToolButtonState(kCmdHistoryWindow, f).enabled);
    EXPECT_TRUE(EditToolButtonState(kCmdSourceView, f).checked);
    EXPECT_FALSE(EditToolButtonState(kCmdSideBySide, f).checked);
    EXPECT_FALSE(EditToolButtonState(kCmdSelectionView, f).enabled);

    f.historyPosition = 0;
    f.historyCount = 2;
    EXPECT_FALSE(EditToolButtonState(kCmdUndo, f).enabled);
    f.historyPosition = 1;
    EXPECT_FALSE(EditToolButtonState(kCmdRedo, f).enabled);
    f.historyCount = 0;
    f.historyPosition = 0;
    EXPECT_FALSE(EditToolButtonState(kCmdHistoryWindow, f).enabled);

    // No picture: nothing of the history, and no zoom.
    EditToolBarFacts none;
    none.historyCount = 2;
    none.historyPosition = 1;
    for (int id : std::initializer_list<int>{kCmdUndo, kCmdRedo, kCmdHistoryWindow, kCmdFit, kZoomFieldId}) {
        EXPECT_FALSE(EditToolButtonState(id, none).enabled) << id;
    }
    EXPECT_TRUE(EditToolButtonState(kCmdOpen, none).enabled);

    // A correction takes the whole bar; a brush only the file buttons and the menus.
    f.historyCount = 3;
    f.historyPosition = 1;
    f.operationKind = 9;
    f.layout = kPanePreviewOnly;
    for (int id : EditToolBarLayout()) {
        if (id != kIdSeparator) {
            EXPECT_FALSE(EditToolButtonState(id, f).enabled) << id;
        }
    }
    EXPECT_TRUE(EditToolButtonState(kCmdPreviewView, f).checked);
    f.operationKind = 2;
    for (int id : std::initializer_list<int>{kCmdOpen, kCmdSaveAs, kCmdFileList, kEditMenuButton, kZoomMenuButton}) {
        EXPECT_FALSE(EditToolButtonState(id, f).enabled) << id;
    }
    EXPECT_TRUE(EditToolButtonState(kCmdFit, f).enabled);
    EXPECT_TRUE(EditToolButtonState(kCmdSideBySide, f).enabled);
    // Its undo and redo follow the strokes, not the history.
    EXPECT_FALSE(EditToolButtonState(kCmdUndo, f).enabled);
    f.strokeUndo = true;
    EXPECT_TRUE(EditToolButtonState(kCmdUndo, f).enabled);
    EXPECT_FALSE(EditToolButtonState(kCmdRedo, f).enabled);
}

TEST(EditPanes, OperationBlocksTheListedCommands) {
    for (int id : {kCmdFileList, kCmdOptions, kCmdTool1, kCmdHelp, kCmdVersion, kCmdFullScreen, kCmdNext,
                   kCmdPreview, kCmdEditWindow, kCmdUndo, kCmdRotate90}) {
        EXPECT_TRUE(BlockedDuringOperation(id)) << id;
    }
    for (int id : {kCmdFit, kCmdSideBySide, kCmdScrollLeft, kCmdMinimize, kCmdBgBlack}) {
        EXPECT_FALSE(BlockedDuringOperation(id)) << id;
    }
}

TEST(EditPanes, HistoryWindowPlacement) {
    EXPECT_EQ(PlaceHistoryWindow(500, 80, 0), (ViewPoint{320, 80}));
    EXPECT_EQ(PlaceHistoryWindow(100, 80, 0), (ViewPoint{0, 80}));
    EXPECT_EQ(PlaceHistoryWindow(2000, 80, 1920), (ViewPoint{1920, 80}));
}

}  // namespace
}  // namespace lumra
