// The edit window's mouse on its panes: the area zoom, the right-drag scroll with the
// navigator, the middle click, the wheel, the chord and the double click.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "shell/command_catalogue.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "ui/app.h"
#include "ui/edit_window.h"
#include "ui/file_list_window.h"
#include "ui/navigator_window.h"
#include "ui/picture_canvas.h"
#include "ui/save_settings_bar.h"
#include "ui/tool_icons.h"
#include "view/navigator.h"

namespace lumra::ui {

namespace {

constexpr int kNavigatorPaneMin = 304;
constexpr int kWheelNotch = 120;
constexpr int kTransparentCommand = 5830;

uint32_t TransparentColour(const SImgSettings& s) {
    return (static_cast<uint32_t>(s.alphaR & 0xFF) << 16) | (static_cast<uint32_t>(s.alphaG & 0xFF) << 8) |
           static_cast<uint32_t>(s.alphaB & 0xFF);
}

QRect ToQRect(const ViewRect& r) { return QRect(r.x, r.y, r.w, r.h); }

Button ButtonOf(Qt::MouseButton b) {
    switch (b) {
        case Qt::LeftButton: return Button::Left;
        case Qt::RightButton: return Button::Right;
        case Qt::MiddleButton: return Button::Middle;
        default: return Button::Other;
    }
}

}  // namespace

// ---- The colour pick ----

bool EditWindow::StartColourPick(int target, uint32_t initial, PickClient client) {
    if (pick_.armed || !HasPicture()) return false;
    if (FileListWindow* list = app_.fileListWindow(); list && list->isVisible()) list->hide();
    const int layout = ArmColourPick(pick_, target, model_.layout, initial);
    pickClient_ = std::move(client);
    app_.SetAcceleratorsSuspended(true);
    // The plain picture while picking.
    pickHidOverlay_ = !overlay_.empty();
    if (pickHidOverlay_) {
        overlay_ = ImageBuffer{};
        panes_[0]->canvas()->PixelsChanged();
    }
    if (model_.layout != layout) SetPaneLayout(layout);
    PictureCanvas* canvas = panes_[0]->canvas();
    canvas->setCursor(Qt::CrossCursor);
    canvas->grabMouse(Qt::CrossCursor);
    if (pickClient_.live) pickClient_.live(pick_.live);
    return true;
}

void EditWindow::EndColourPick(bool accept) {
    const std::optional<PickEnd> end = lumra::EndColourPick(pick_, accept);
    if (!end) return;
    const PickClient client = std::exchange(pickClient_, PickClient{});
    PictureCanvas* canvas = panes_[0]->canvas();
    canvas->releaseMouse();
    canvas->unsetCursor();
    app_.SetAcceleratorsSuspended(false);
    if (pickHidOverlay_) {
        pickHidOverlay_ = false;
        RebuildOverlay();
    }
    if (end->layout != model_.layout) {
        SetPaneLayout(end->layout);
    } else {
        canvas->PixelsChanged();
    }
    if (client.live) client.live(std::nullopt);
    if (client.done) client.done(end->target, end->colour);
    UpdateTitle();
}

void EditWindow::StartTransparentPick() {
    Session& s = session();
    PickClient client;
    client.live = [this](std::optional<uint32_t> live) { saveSettings_->transparentSwatch()->SetLiveColour(live); };
    client.done = [this](int, std::optional<uint32_t> colour) { saveSettings_->FinishTransparentPick(colour); };
    if (OperationActive() || !StartColourPick(kTransparentCommand, TransparentColour(s.settings.simg), client))
        saveSettings_->FinishTransparentPick(std::nullopt);
}

bool EditWindow::PickMouse(int pane, QMouseEvent* event) {
    if (!pick_.armed) return false;
    // The capture sends every event to the source pane's canvas.
    const QPoint pos = panes_[0]->canvas()->mapFromGlobal(event->globalPosition().toPoint());
    const ImageBuffer& image = session().picture.image;
    const bool onPicture = vp_.dest.Contains(pos.x(), pos.y());
    if (event->type() == QEvent::MouseMove) {
        if (onPicture) {
            const ViewPoint p = ScreenToPicture(vp_, pos.x(), pos.y());
            if (MoveColourPick(pick_, image, p.x, p.y) && pickClient_.live) pickClient_.live(pick_.live);
        }
        setWindowTitle(QString::fromStdString(PixelReadoutText(vp_, image, pos.x(), pos.y())));
    } else if (event->type() == QEvent::MouseButtonPress && event->button() == Qt::LeftButton) {
        // A click in the source pane (beside the picture too) keeps the colour last under the
        // pointer; elsewhere it is ignored.
        if (pane == 0 && panes_[0]->canvas()->rect().contains(pos)) EndColourPick(true);
    }
    return true;
}

void EditWindow::PanePress(int pane, QMouseEvent* event) {
    if (PickMouse(pane, event)) return;
    if (model_.active && paneMouse_ && paneMouse_(pane, event, vp_)) return;
    const Button button = ButtonOf(event->button());
    if (button == Button::Other) return;
    if (button == Button::Right) setFocus();
    const QPoint pos = event->position().toPoint();
    PressInput in;
    in.button = button;
    in.otherHeld = event->buttons() & (button == Button::Left ? Qt::RightButton : Qt::LeftButton);
    in.ctrl = event->modifiers() & Qt::ControlModifier;
    in.normalDisplay = false;
    in.cursorHidden = false;
    // A plain left press zooms to an area only in the source pane, and only with SWAreaZm.
    in.fsAreaZoom = pane == 0 && (session().settings.swin.swAreaZm & 1) && !OperationActive();
    in.hasPicture = HasPicture();
    in.insidePicture = vp_.dest.Contains(pos.x(), pos.y());
    if (pane == 1 && button == Button::Left && !in.otherHeld && LayoutLocked()) return;
    RunGesture(pane, OnPress(gesture_, in), event);
}

void EditWindow::PaneMove(int pane, QMouseEvent* event) {
    if (PickMouse(pane, event)) return;
    if (model_.active && paneMouse_ && paneMouse_(pane, event, vp_)) return;
    const QPoint pos = event->position().toPoint();
    const int distance = std::abs(pos.x() - vp_.anchor.x) + std::abs(pos.y() - vp_.anchor.y);
    const GestureAction action = OnMove(gesture_, distance, event->buttons() != Qt::NoButton);
    if (action != GestureAction::Hover) RunGesture(pane, action, event);
}

void EditWindow::PaneRelease(int pane, QMouseEvent* event) {
    if (PickMouse(pane, event)) return;
    if (model_.active && paneMouse_ && paneMouse_(pane, event, vp_)) return;
    const GestureStep step = OnRelease(gesture_, ButtonOf(event->button()));
    RunGesture(pane, step.first, event);
    RunGesture(pane, step.then, event);
}

void EditWindow::PaneDoubleClick(int pane, QMouseEvent* event) {
    if (PickMouse(pane, event)) return;
    if (model_.active && paneMouse_ && paneMouse_(pane, event, vp_)) return;
    RunGesture(pane, OnDoubleClick(gesture_, ButtonOf(event->button())), event);
}

void EditWindow::PaneWheel(QWheelEvent* event) {
    event->accept();
    if (!HasPicture() || RightDragActive(gesture_)) {
        wheelRest_ = 0;
        return;
    }
    const Settings& s = session().settings;
    const bool ctrlOnly = event->modifiers() == Qt::ControlModifier && event->buttons() == Qt::NoButton;
    wheelRest_ += event->angleDelta().y();
    while (std::abs(wheelRest_) >= kWheelNotch) {
        const int delta = wheelRest_ > 0 ? kWheelNotch : -kWheelNotch;
        wheelRest_ -= delta;
        const int id = EditWheelCommand(delta, ctrlOnly, s.swin.swWheel, s.awin.wheelRev, OperationActive());
        if (id != 0) Command(id);
    }
}

void EditWindow::FinishAreaZoom() {
    RepaintPanes();
    if (!HasPicture()) return;
    int zoom = 0;
    ViewPoint centre;
    const QSize pane = PaneSize();
    if (!AreaZoom(vp_, vp_.anchor, vp_.corner, pane.width(), pane.height(), &zoom, &centre)) return;
    vp_.zoom = zoom;
    vp_.centreX = centre.x;
    vp_.centreY = centre.y;
    LayoutPanes(true);
    WriteZoomField();
}

void EditWindow::RunGesture(int pane, GestureAction action, QMouseEvent* event) {
    PictureCanvas* canvas = panes_[pane]->canvas();
    const QPoint pos = event->position().toPoint();
    switch (action) {
        case GestureAction::StartBand:
            bandPane_ = pane;
            vp_.anchor = vp_.corner = ViewPoint{pos.x(), pos.y()};
            break;
        case GestureAction::BandCorner:
            vp_.corner = ViewPoint{std::clamp(pos.x(), vp_.dest.x, vp_.dest.right() - 1),
                                   std::clamp(pos.y(), vp_.dest.y, vp_.dest.bottom() - 1)};
            canvas->update();
            break;
        case GestureAction::FinishBand:
            FinishAreaZoom();
            break;
        case GestureAction::ArmRightDrag:
            vp_.anchor = ViewPoint{pos.x(), pos.y()};
            break;
        case GestureAction::StartRightDrag: {
            const bool whole = vp_.displayW <= vp_.clientW && vp_.displayH <= vp_.clientH;
            RightDragStarted(gesture_, HasPicture() && !whole);
            if (gesture_.drag == DragState::RightBlocked) {
                canvas->setCursor(Qt::ForbiddenCursor);
                break;
            }
            dragLast_ = QPoint(vp_.anchor.x, vp_.anchor.y);
            canvas->setCursor(EdgeCursor(EdgeCursorIndex(vp_)));
            const QSize inner = panes_[pane]->InnerSize();
            if (inner.width() > kNavigatorPaneMin && inner.height() > kNavigatorPaneMin) {
                navigator_->SetPicture(session().picture.image, canvas->generation());
                navigator_->SetSourceRect(ToQRect(vp_.src));
                QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
                const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
                const QRect outer = frameGeometry();
                const NavigatorPlacement at = PlaceNavigator(navigator_->thumb(), outer.left(), outer.top(),
                                                             work.left() + work.width(),
                                                             screen ? screen->geometry().top() : 0);
                navigator_->setGeometry(at.x, at.y, at.width, at.height);
                navigator_->show();
                navigatorShown_ = true;
            }
            RunGesture(pane, GestureAction::RightScroll, event);
            break;
        }
        case GestureAction::RightScroll: {
            const int factor = 1 << vp_.scrollShift;
            const int dx = (dragLast_.x() - pos.x()) * factor;
            const int dy = (dragLast_.y() - pos.y()) * factor;
            dragLast_ = pos;
            const ViewPoint shift = Scroll(vp_, dx, dy);
            if (shift.x != 0 || shift.y != 0) {
                RepaintPanes();
                UpdateScrollBars();
                if (navigatorShown_) navigator_->SetSourceRect(ToQRect(vp_.src));
                if (viewMoved_) viewMoved_();
            }
            canvas->setCursor(EdgeCursor(EdgeCursorIndex(vp_)));
            break;
        }
        case GestureAction::EndRightDrag:
            canvas->unsetCursor();
            RepaintPanes();
            if (navigatorShown_) {
                navigatorShown_ = false;
                navigator_->hide();
            }
            break;
        case GestureAction::Middle: {
            const int id = MiddleClickCommand(vp_.zoom);
            if (id == kCmdActualSize) {
                const ViewPoint p = ScreenToPicture(vp_, pos.x(), pos.y());
                vp_.centreX = p.x;
                vp_.centreY = p.y;
            }
            Command(id);
            break;
        }
        case GestureAction::ShowMenu:
            app_.ShowMainMenu(event->globalPosition().toPoint(), this);
            break;
        case GestureAction::ClickAction: {
            const Settings& s = session().settings;
            const int id = ClickActionCommand(event->type() == QEvent::MouseButtonDblClick ? s.awin.dClick
                                                                                            : s.awin.lrClick);
            QMetaObject::invokeMethod(this, [this, id] { Command(id); }, Qt::QueuedConnection);
            break;
        }
        default:
            break;
    }
}

}  // namespace lumra::ui
