// The edit window's decisions that need no window: where it goes, how its two panes share
// the client area, which scroll bars they show, the wheel and the tool bar's states.
#pragma once

#include <vector>

#include "view/viewport.h"

namespace lumra {

struct SwinSettings;

// Pane layouts.
enum PaneLayout : int { kPanesSideBySide = 0, kPaneSourceOnly = 1, kPanePreviewOnly = 2 };

// ---- The window ----

struct EditWindowPlacement {
    ViewRect rect;  // the normal-position rectangle, frame included
    bool maximised = false;
};

// Swin's Max, x, y, w, h against the work area of the main window's monitor: the size
// limited to the work area, then x kept inside it (left of it: its left edge), y likewise.
EditWindowPlacement PlaceEditWindow(const SwinSettings& swin, const ViewRect& work);

// The history window ("変更履歴"): its left edge 180 left of the reference, never left of
// the monitor's left edge.
ViewPoint PlaceHistoryWindow(int referenceLeft, int top, int monitorLeft);
inline constexpr int kHistoryWindowWidth = 180;
inline constexpr int kHistoryWindowHeight = 300;

// ---- Panes ----

struct PaneRects {
    ViewRect source;
    ViewRect preview;
    bool sourceShown = false;
    bool previewShown = false;
    // The first shown pane's rectangle: its size is the size available to the picture.
    ViewRect first() const { return sourceShown ? source : preview; }
};

// The panes below top (the tool bars' bottom) in a clientW x clientH client area. Side by
// side each is clientW / 2 - 1 wide, the preview pane against the right edge.
PaneRects LayoutPaneRects(int layout, int clientW, int clientH, int top);

struct ScrollBarChoice {
    bool horizontal = false;
    bool vertical = false;
    int clientW = 0;  // what is left for the picture
    int clientH = 0;
};

// Which bars a W x H pane shows for a dw x dh display size; vw is a vertical bar's width,
// hh a horizontal bar's height.
ScrollBarChoice ChooseScrollBars(int W, int H, int dw, int dh, int vw, int hh);

struct ScrollBarRange {
    int minimum = 0;
    int maximum = 0;  // below minimum: an empty range (the bar is not needed)
    int page = 0;
    int position = 0;
    friend bool operator==(const ScrollBarRange&, const ScrollBarRange&) = default;
};

// A shown bar: 0 ... picture - 1, page the source length, position the source origin.
ScrollBarRange BarRange(bool shown, int picture, int srcPos, int srcLen);

enum class BarInput { LineBack, LineForward, PageBack, PageForward, Track, Top, Bottom, ThumbPosition };

// The position a scroll bar input asks for, limited to 0 ... picture - srcLen.
// ThumbPosition is ignored (the old position).
int BarTarget(BarInput input, int position, int srcLen, int picture, int trackPos);

// The scroll shift of the edit window: 1 only when the picture is wider and also taller
// than the screen.
int EditScrollShift(int pictureW, int pictureH, int screenW, int screenH);

// ---- The wheel ----

// One notch over a pane (delta > 0 forward). SWWheel chooses browsing over zooming, Ctrl
// alone swaps them; browsing does nothing while an operation is active. 0: nothing.
int EditWheelCommand(int delta, bool ctrlOnly, int swWheel, int wheelRev, bool operationActive);

// ---- Commands ----

// The view commands the edit window handles itself.
bool IsEditViewCommand(int id);
// Commands that do nothing while an operation is active in the edit window.
bool BlockedDuringOperation(int id);

// ---- The edit tool bar ----

// The zoom field (control 1041) and the drop-down buttons whose menus start operations
// (6000 edit, 6001 transform, 6002 quality) and hold the zoom levels (6003).
inline constexpr int kZoomFieldId = 1041;
inline constexpr int kEditMenuButton = 6000;
inline constexpr int kTransformMenuButton = 6001;
inline constexpr int kQualityMenuButton = 6002;
inline constexpr int kZoomMenuButton = 6003;

// The edit tool bar from left to right (kIdSeparator between groups, kZoomFieldId for the
// field).
const std::vector<int>& EditToolBarLayout();

struct EditToolBarFacts {
    bool hasPicture = false;
    int operationKind = 0;    // OperationState
    int historyPosition = 0;
    int historyCount = 0;
    int layout = kPaneSourceOnly;
    bool scrollBars = true;
    bool selectionShown = false;
    bool hasSelection = false;
    bool strokeUndo = false;  // a brush tool's strokes can be undone / redone
    bool strokeRedo = false;
};

struct ToolButtonState {
    bool enabled = true;
    bool checked = false;
    friend bool operator==(const ToolButtonState&, const ToolButtonState&) = default;
};

ToolButtonState EditToolButtonState(int id, const EditToolBarFacts& facts);

}  // namespace lumra
