// The view window's decisions that need no window: the fit on a picture change, the
// sizing after a user's resize and the mouse gestures.
#pragma once

#include "view/viewport.h"

namespace lumra {

// ---- Fit ----

// The view settings the fit on a picture change reads (lowest bit counts).
struct FitSettings {
    int nmZoom = 0;
    int vSmall = 1;
    int nvLarge = 0;
    int flZoom = 0;
    int fsDown = 1;
    int fsUp = 0;
};

struct FitFlags {
    bool keepZoom = false;
    bool shrink = false;
    bool enlarge = false;
};

// Normal display reads NMZoom/VSmall/NVLarge, full screen FLZoom/FSDown/FSUp.
FitFlags FitFlagsFor(const FitSettings& s, bool fullScreen);

// A new picture (or a new display): back to 100 % unless the zoom is kept, then
// FitOnChange into aw x ah.
void FitForDisplay(Viewport& v, const FitFlags& f, int aw, int ah, int screenW, int screenH);

// ---- Sizing after a user's resize ----

struct UserResizeInput {
    ViewRect before;   // the window before the drag (screen, inside the window system's frame)
    ViewRect after;    // what the drag made of it
    int limitW = 0;    // the largest size an edge drag may reach
    int limitH = 0;
    bool settling = false;  // the program sized the window a moment ago: only the limit holds
    int pictureW = 1;
    int pictureH = 1;
    int border = 0;    // the drawn frame on each side
};

struct UserResizeResult {
    enum class Kind { Edge, Corner };
    Kind kind = Kind::Edge;
    ViewRect rect;         // Edge: the window to keep (after, or limited)
    int zoom = 0;          // Corner: the zoom fitted to the new size
    ViewPoint clientCentre;  // Corner: the picture area's centre that keeps the opposite corner
};

// An edge drag keeps the zoom and never passes the limit; a limited left or top edge
// stops and the opposite edge stays. A corner drag fits the zoom to the height (the
// width follows the picture's shape) and keeps the opposite corner where it was.
UserResizeResult SizeAfterUserResize(const UserResizeInput& in);

// ---- Mouse gestures ----

enum class DragState { None, RightPending, RightScroll, RightBlocked, RubberBand, MovePending, WindowMove };

struct GestureState {
    DragState drag = DragState::None;
    bool chord = false;
    bool ignoreNextLeftRelease = false;
};

enum class Button { None, Left, Right, Middle, Other };

// What the window does for one mouse event.
enum class GestureAction {
    None,
    ShowCursor,        // first press with a hidden cursor in full screen: only this
    FinishBand,        // zoom into the rubber band (state already back to None)
    EndRightDrag,      // a real right drag ended: cursor, repaint, navigator
    DropWindowMove,    // a window move was dropped or ended: normal cursor
    StartBand,         // anchor and corner at the press point
    ArmRightDrag,      // anchor at the press point, cursor shown
    ArmWindowMove,     // anchor at the press point
    Middle,            // the middle click's zoom
    StartRightDrag,    // scroll, or blocked without a picture / with the whole picture shown
    RightScroll,       // scroll by the move
    BandCorner,        // the band's corner follows
    StartWindowMove,   // the window follows the pointer from here
    MoveWindow,
    Hover,             // a move without a drag
    ShowMenu,          // a right click that never became a drag
    ClickAction,       // run the LRClick (release after a chord) or DClick action
};

struct PressInput {
    Button button = Button::Left;
    bool otherHeld = false;    // left for a right press, right for a left press
    bool ctrl = false;
    bool normalDisplay = true;
    bool cursorHidden = false;
    bool fsAreaZoom = false;   // FSAreaZm
    bool insidePicture = false;  // the press lies in the destination rectangle of a picture
    bool hasPicture = false;
};

// Up to two actions, carried out in order.
struct GestureStep {
    GestureAction first = GestureAction::None;
    GestureAction then = GestureAction::None;
};

// A press; a chord finishes a band, drops a window move or ends a right drag.
GestureAction OnPress(GestureState& s, const PressInput& in);
// A move by |dx| + |dy| from the anchor.
GestureAction OnMove(GestureState& s, int distance, bool buttonsHeld);
// After StartRightDrag: blocked (no picture, or the whole picture shown) or scrolling.
void RightDragStarted(GestureState& s, bool scrolls);
// A release of the left or right button (others do nothing); after a chord the drag
// ends and the LRClick action runs.
GestureStep OnRelease(GestureState& s, Button button);
GestureAction OnDoubleClick(GestureState& s, Button button);
// Commands and the wheel wait while the right button or a band is down.
bool GestureBlocksCommands(const GestureState& s);
bool RightDragActive(const GestureState& s);

}  // namespace lumra
