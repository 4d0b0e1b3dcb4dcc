#include "view/view_rules.h"

#include <algorithm>
#include <cstdint>

namespace lumra {

namespace {

constexpr int kDragThreshold = 3;  // right drag: |dx| + |dy| from the anchor
constexpr int kMoveThreshold = 2;  // left drag moves the window beyond this

int DisplaySide(int side, int zoom) {
    return std::max(static_cast<int>(static_cast<int64_t>(side) * zoom / kZoomActual), 1);
}

}  // namespace

FitFlags FitFlagsFor(const FitSettings& s, bool fullScreen) {
    if (fullScreen) return FitFlags{(s.flZoom & 1) != 0, (s.fsDown & 1) != 0, (s.fsUp & 1) != 0};
    return FitFlags{(s.nmZoom & 1) != 0, (s.vSmall & 1) != 0, (s.nvLarge & 1) != 0};
}

void FitForDisplay(Viewport& v, const FitFlags& f, int aw, int ah, int screenW, int screenH) {
    if (!f.keepZoom) v.zoom = kZoomActual;
    FitOnChange(v, f.shrink, f.enlarge, aw, ah, screenW, screenH);
}

UserResizeResult SizeAfterUserResize(const UserResizeInput& in) {
    UserResizeResult r;
    const bool wider = in.after.w != in.before.w;
    const bool taller = in.after.h != in.before.h;
    const bool leftMoved = in.after.x != in.before.x;
    const bool topMoved = in.after.y != in.before.y;
    if (wider && taller && !in.settling) {
        // A corner: the height decides, the width follows the picture's shape.
        r.kind = UserResizeResult::Kind::Corner;
        const int clientH = std::max(in.after.h - 2 * in.border, 1);
        const int clientW = CornerDragWidth(clientH, in.pictureW, in.pictureH, FrameExtents{}, 0);
        r.zoom = FitZoom(in.pictureW, in.pictureH, clientW, clientH);
        const int displayW = DisplaySide(in.pictureW, r.zoom);
        const int displayH = DisplaySide(in.pictureH, r.zoom);
        const int left = in.after.x + in.border;
        const int top = in.after.y + in.border;
        const int right = in.after.right() - in.border;
        const int bottom = in.after.bottom() - in.border;
        r.clientCentre.x = (leftMoved ? right - displayW : left) + displayW / 2;
        r.clientCentre.y = (topMoved ? bottom - displayH : top) + displayH / 2;
        r.rect = in.after;
        return r;
    }
    // An edge: never beyond the limit; a stopped left or top edge keeps the opposite one.
    r.kind = UserResizeResult::Kind::Edge;
    const int w = in.limitW > 0 ? std::min(in.after.w, in.limitW) : in.after.w;
    const int h = in.limitH > 0 ? std::min(in.after.h, in.limitH) : in.after.h;
    const int x = leftMoved ? in.after.right() - w : in.after.x;
    const int y = topMoved ? in.after.bottom() - h : in.after.y;
    r.rect = ViewRect{x, y, w, h};
    return r;
}

GestureAction OnPress(GestureState& s, const PressInput& in) {
    if (in.button == Button::Right) {
        if (in.otherHeld) {
            // Chord: a rubber band ends as on release; a pending window move is dropped.
            s.chord = true;
            const DragState was = s.drag;
            if (was == DragState::RubberBand || was == DragState::MovePending || was == DragState::WindowMove) {
                s.drag = DragState::None;
                return was == DragState::RubberBand ? GestureAction::FinishBand : GestureAction::DropWindowMove;
            }
            return GestureAction::None;
        }
        s.drag = DragState::RightPending;
        return GestureAction::ArmRightDrag;
    }
    if (in.button == Button::Left) {
        s.ignoreNextLeftRelease = false;
        if (in.otherHeld) {
            // Chord: the right drag ends as on release, without the menu.
            s.chord = true;
            const bool dragged = s.drag == DragState::RightScroll || s.drag == DragState::RightBlocked;
            s.drag = DragState::None;
            return dragged ? GestureAction::EndRightDrag : GestureAction::None;
        }
        if (!in.normalDisplay && in.cursorHidden) {
            // The first click only brings the cursor back.
            s.ignoreNextLeftRelease = true;
            return GestureAction::ShowCursor;
        }
        const bool band = in.ctrl || (!in.normalDisplay && in.fsAreaZoom);
        if (band && in.hasPicture && in.insidePicture) {
            s.drag = DragState::RubberBand;
            return GestureAction::StartBand;
        }
        if (!in.normalDisplay) return GestureAction::None;
        s.drag = DragState::MovePending;
        return GestureAction::ArmWindowMove;
    }
    if (in.button == Button::Middle && in.hasPicture) return GestureAction::Middle;
    return GestureAction::None;
}

GestureAction OnMove(GestureState& s, int distance, bool buttonsHeld) {
    switch (s.drag) {
        case DragState::RightPending:
            return distance < kDragThreshold ? GestureAction::None : GestureAction::StartRightDrag;
        case DragState::RightScroll:
            return GestureAction::RightScroll;
        case DragState::RightBlocked:
            return GestureAction::None;
        case DragState::RubberBand:
            return GestureAction::BandCorner;
        case DragState::MovePending:
            if (distance <= kMoveThreshold) return GestureAction::None;
            s.drag = DragState::WindowMove;
            return GestureAction::StartWindowMove;
        case DragState::WindowMove:
            return GestureAction::MoveWindow;
        case DragState::None:
            break;
    }
    return buttonsHeld ? GestureAction::None : GestureAction::Hover;
}

void RightDragStarted(GestureState& s, bool scrolls) {
    s.drag = scrolls ? DragState::RightScroll : DragState::RightBlocked;
}

GestureStep OnRelease(GestureState& s, Button button) {
    if (button != Button::Left && button != Button::Right) return {};
    const DragState was = s.drag;
    if (s.chord) {
        s.chord = false;
        s.drag = DragState::None;
        GestureStep step{GestureAction::None, GestureAction::ClickAction};
        if (was == DragState::RubberBand) step.first = GestureAction::FinishBand;
        if (was == DragState::RightScroll || was == DragState::RightBlocked) step.first = GestureAction::EndRightDrag;
        return step;
    }
    if (button == Button::Right) {
        if (was == DragState::RightPending) {
            s.drag = DragState::None;
            return {GestureAction::ShowMenu};
        }
        if (was == DragState::RightScroll || was == DragState::RightBlocked) {
            s.drag = DragState::None;
            return {GestureAction::EndRightDrag};
        }
        return {};
    }
    if (s.ignoreNextLeftRelease) {
        s.ignoreNextLeftRelease = false;
        return {};
    }
    if (was == DragState::RubberBand) {
        s.drag = DragState::None;
        return {GestureAction::FinishBand};
    }
    if (was == DragState::MovePending || was == DragState::WindowMove) {
        s.drag = DragState::None;
        return {GestureAction::DropWindowMove};
    }
    return {};
}

GestureAction OnDoubleClick(GestureState& s, Button button) {
    if (button != Button::Left) return GestureAction::None;
    s.drag = DragState::None;
    s.ignoreNextLeftRelease = true;
    return GestureAction::ClickAction;
}

bool RightDragActive(const GestureState& s) {
    return s.drag == DragState::RightPending || s.drag == DragState::RightScroll ||
           s.drag == DragState::RightBlocked;
}

bool GestureBlocksCommands(const GestureState& s) {
    return RightDragActive(s) || s.drag == DragState::RubberBand;
}

}  // namespace lumra
