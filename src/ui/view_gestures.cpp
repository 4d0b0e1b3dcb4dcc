// The view window's mouse and keys: the gestures of the picture area, the drawn frame,
// the top-edge tool bar, the cursor and the title tip.
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cstdlib>

#include "shell/command_catalogue.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "ui/app.h"
#include "ui/tool_bar_strip.h"
#include "ui/tool_icons.h"
#include "ui/view_window.h"

namespace lumra::ui {

namespace {

constexpr int kNavigatorClientMin = 304;
constexpr int kToolBarZone = 10;
constexpr int kToolBarClientMin = 48;
constexpr int kCursorShowDistance = 16;
constexpr int kWheelNotch = 120;
constexpr int kTitleTipDelayMs = 300;
constexpr int kUserResizeRestMs = 250;

Button ButtonOf(Qt::MouseButton b) {
    switch (b) {
        case Qt::LeftButton:
            return Button::Left;
        case Qt::RightButton:
            return Button::Right;
        case Qt::MiddleButton:
            return Button::Middle;
        default:
            return Button::Other;
    }
}

}  // namespace

void ViewWindow::SetUpPointerParts() {
    for (int i = 0; i < 9; ++i) edgeCursors_[static_cast<size_t>(i)] = EdgeCursor(i);
    titleTip_.setSingleShot(true);
    titleTip_.setInterval(kTitleTipDelayMs);
    connect(&titleTip_, &QTimer::timeout, this, [this] { ShowTitleTip(); });
    userResizeRest_.setSingleShot(true);
    userResizeRest_.setInterval(kUserResizeRestMs);
    connect(&userResizeRest_, &QTimer::timeout, this, [this] {
        if (!normalDisplay() || !HasPicture() || systemSize_ == userResizeTarget_.size()) return;
        // The window system kept its own size while we believe ours: a different size
        // first, so that ours is sent again.
        applyingGeometry_ = true;
        setGeometry(userResizeTarget_.adjusted(0, 0, 0, 1));
        applyingGeometry_ = false;
        SetWindowRect(userResizeTarget_);
        systemSize_ = userResizeTarget_.size();
        RelayoutAndPaint();
    });
}

void ViewWindow::AnyKeyPress() {
    if (app_.slideShowRunning()) app_.StopSlideShow();
}

void ViewWindow::keyPressEvent(QKeyEvent* event) {
    AnyKeyPress();
    QWidget::keyPressEvent(event);
}

void ViewWindow::StartRightDrag() {
    const bool whole = vp_.displayW <= vp_.clientW && vp_.displayH <= vp_.clientH;
    RightDragStarted(gesture_, HasPicture() && !whole);
    if (drag_ == Drag::RightBlocked) {
        view_->setCursor(Qt::ForbiddenCursor);
        return;
    }
    dragLast_ = QPoint(vp_.anchor.x, vp_.anchor.y);
    if (vp_.clientW > kNavigatorClientMin && vp_.clientH > kNavigatorClientMin) {
        navigatorShown_ = true;
        app_.ShowNavigator();
    }
    view_->setCursor(edgeCursors_[static_cast<size_t>(EdgeCursorIndex(vp_))]);
}

void ViewWindow::EndRightDrag() {
    view_->unsetCursor();
    if (app_.cursorShown() == 0) view_->setCursor(Qt::BlankCursor);
    view_->update();  // smooth again
    if (navigatorShown_) {
        navigatorShown_ = false;
        app_.HideNavigator();
    }
}

void ViewWindow::FinishRubberBand() {
    view_->update();
    if (!HasPicture()) return;
    int zoom = 0;
    ViewPoint centre;
    const QSize area = fullScreen() ? QSize(vp_.clientW, vp_.clientH) : FitArea();
    if (!AreaZoom(vp_, vp_.anchor, vp_.corner, area.width(), area.height(), &zoom, &centre)) return;
    vp_.zoom = zoom;
    UpdateDisplaySize(vp_);
    vp_.centreX = centre.x;
    vp_.centreY = centre.y;
    AutoSizeWindow();
    app_.UpdateTitles();
}

void ViewWindow::RunClickAction(int value) {
    const int id = ClickActionCommand(value);
    QMetaObject::invokeMethod(this, [this, id] { Command(id); }, Qt::QueuedConnection);
}

void ViewWindow::RunGestureAction(GestureAction action, QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    switch (action) {
        case GestureAction::None:
        case GestureAction::Hover:
            break;
        case GestureAction::ShowCursor:
            app_.EnsureCursorShown();
            break;
        case GestureAction::FinishBand:
            FinishRubberBand();
            break;
        case GestureAction::EndRightDrag:
            EndRightDrag();
            break;
        case GestureAction::DropWindowMove:
            view_->unsetCursor();
            break;
        case GestureAction::StartBand:
            vp_.anchor = vp_.corner = ViewPoint{pos.x(), pos.y()};
            break;
        case GestureAction::ArmRightDrag:
            app_.EnsureCursorShown();
            vp_.anchor = ViewPoint{pos.x(), pos.y()};
            break;
        case GestureAction::ArmWindowMove:
            vp_.anchor = ViewPoint{pos.x(), pos.y()};
            break;
        case GestureAction::Middle: {
            const int id = MiddleClickCommand(vp_.zoom);
            if (id == kCmdActualSize) {
                SyncClientSize();
                const ViewPoint p = ScreenToPicture(vp_, pos.x(), pos.y());
                vp_.centreX = p.x;
                vp_.centreY = p.y;
            }
            Command(id);
            break;
        }
        case GestureAction::StartRightDrag:
            StartRightDrag();
            if (drag_ == Drag::RightScroll) RunGestureAction(GestureAction::RightScroll, event);
            break;
        case GestureAction::RightScroll: {
            const int factor = 1 << vp_.scrollShift;
            const int dx = (dragLast_.x() - pos.x()) * factor;
            const int dy = (dragLast_.y() - pos.y()) * factor;
            dragLast_ = pos;
            SyncClientSize();
            const ViewPoint shift = Scroll(vp_, dx, dy);
            if (shift.x != 0 || shift.y != 0) {
                MoveDrawnPixels(shift);
                if (navigatorShown_) app_.MoveNavigatorFrame();
            }
            view_->setCursor(edgeCursors_[static_cast<size_t>(EdgeCursorIndex(vp_))]);
            break;
        }
        case GestureAction::BandCorner:
            vp_.corner = ViewPoint{std::clamp(pos.x(), vp_.dest.x, vp_.dest.right() - 1),
                                   std::clamp(pos.y(), vp_.dest.y, vp_.dest.bottom() - 1)};
            view_->update();
            break;
        case GestureAction::StartWindowMove:
            view_->setCursor(Qt::SizeAllCursor);
            if (windowHandle() && windowHandle()->startSystemMove()) {
                drag_ = Drag::None;
                view_->unsetCursor();
                break;
            }
            // Without the window system's move: follow the pointer here.
            moveOffset_ = view_->mapToGlobal(QPoint(vp_.anchor.x, vp_.anchor.y)) - frameGeometry().topLeft();
            move(event->globalPosition().toPoint() - moveOffset_);
            break;
        case GestureAction::MoveWindow:
            move(event->globalPosition().toPoint() - moveOffset_);
            break;
        case GestureAction::ShowMenu:
            app_.ShowMainMenu(event->globalPosition().toPoint(), this);
            break;
        case GestureAction::ClickAction:
            RunClickAction(event->type() == QEvent::MouseButtonDblClick ? session_.settings.awin.dClick
                                                                        : session_.settings.awin.lrClick);
            break;
    }
}

void ViewWindow::ViewMousePress(QMouseEvent* event) {
    const Button button = ButtonOf(event->button());
    if (button == Button::Other) return;
    // Gestures (the navigator, the rubber band) work on the whole picture.
    app_.FinishFirstView();
    if (app_.slideShowRunning()) app_.StopSlideShow();
    const QPoint pos = event->position().toPoint();
    PressInput in;
    in.button = button;
    in.otherHeld = event->buttons() & (button == Button::Left ? Qt::RightButton : Qt::LeftButton);
    in.ctrl = event->modifiers() & Qt::ControlModifier;
    in.normalDisplay = normalDisplay();
    in.cursorHidden = app_.cursorShown() == 0;
    in.fsAreaZoom = session_.settings.vwin.fsAreaZm & 1;
    in.hasPicture = HasPicture();
    in.insidePicture = vp_.dest.Contains(pos.x(), pos.y());
    RunGestureAction(OnPress(gesture_, in), event);
}

void ViewWindow::ViewMouseMove(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int distance = std::abs(pos.x() - vp_.anchor.x) + std::abs(pos.y() - vp_.anchor.y);
    const GestureAction action = OnMove(gesture_, distance, event->buttons() != Qt::NoButton);
    if (action == GestureAction::Hover) {
        HoverMove(view_->mapTo(this, pos));
        return;
    }
    RunGestureAction(action, event);
}

void ViewWindow::ViewMouseRelease(QMouseEvent* event) {
    const GestureStep step = OnRelease(gesture_, ButtonOf(event->button()));
    RunGestureAction(step.first, event);
    RunGestureAction(step.then, event);
}

void ViewWindow::ViewDoubleClick(QMouseEvent* event) {
    RunGestureAction(OnDoubleClick(gesture_, ButtonOf(event->button())), event);
}

void ViewWindow::HoverMove(const QPoint& pos) {
    // pos: the window's client coordinates.
    const bool active = QGuiApplication::applicationState() == Qt::ApplicationActive || isActiveWindow();
    if (!active) return;
    const Settings& s = session_.settings;
    if (toolBarDown_) {
        // Only a move over the picture hides it, not one along the strip.
        if (!toolBarStrip()->geometry().contains(pos)) ShowToolBarStrip(false);
        return;
    }
    if ((s.vwin.vtBar & 1) && pos.y() < kToolBarZone && vp_.clientH > kToolBarClientMin) {
        ShowToolBarStrip(true);
        app_.EnsureCursorShown();
        return;
    }
    if (!app_.slideShowRunning() && app_.cursorShown() == 0) {
        const QPoint global = QCursor::pos();
        if (std::abs(global.x() - cursorRef_.x()) > kCursorShowDistance ||
            std::abs(global.y() - cursorRef_.y()) > kCursorShowDistance) {
            app_.EnsureCursorShown();
        }
    }
}

void ViewWindow::ViewWheel(QWheelEvent* event) {
    event->accept();
    if (!HasPicture() || app_.slideShowRunning() || RightDragActive(gesture_)) {
        wheelRest_ = 0;
        return;
    }
    const Settings& s = session_.settings;
    const WheelSettings ws{s.vwin.wheel, s.vwin.fsWheel, s.awin.wheelRev};
    const bool ctrlOnly = event->modifiers() == Qt::ControlModifier && event->buttons() == Qt::NoButton;
    wheelRest_ += event->angleDelta().y();
    while (std::abs(wheelRest_) >= kWheelNotch) {
        const int delta = wheelRest_ > 0 ? kWheelNotch : -kWheelNotch;
        wheelRest_ -= delta;
        const int id = WheelCommand(delta, ctrlOnly, fullScreen(), ws);
        if (id != 0) Command(id);
    }
}

Qt::Edges ViewWindow::BorderEdges(const QPoint& pos) const {
    Qt::Edges edges;
    if (style_ != Style::FrameOnly) return edges;
    const int grip = kFrameBorder * 3;  // corners are easier to take
    if (pos.x() < kFrameBorder || (pos.x() < grip && (pos.y() < kFrameBorder || pos.y() >= height() - kFrameBorder)))
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - kFrameBorder ||
        (pos.x() >= width() - grip && (pos.y() < kFrameBorder || pos.y() >= height() - kFrameBorder)))
        edges |= Qt::RightEdge;
    if (pos.y() < kFrameBorder || (pos.y() < grip && (pos.x() < kFrameBorder || pos.x() >= width() - kFrameBorder)))
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - kFrameBorder ||
        (pos.y() >= height() - grip && (pos.x() < kFrameBorder || pos.x() >= width() - kFrameBorder)))
        edges |= Qt::BottomEdge;
    return edges;
}

void ViewWindow::mousePressEvent(QMouseEvent* event) {
    // Only the drawn frame lies outside the picture area.
    if (app_.slideShowRunning()) app_.StopSlideShow();
    if (event->button() != Qt::LeftButton) return;
    const Qt::Edges edges = BorderEdges(event->position().toPoint());
    if (edges && windowHandle()) windowHandle()->startSystemResize(edges);
}

void ViewWindow::mouseMoveEvent(QMouseEvent* event) {
    const Qt::Edges edges = BorderEdges(event->position().toPoint());
    if (!edges) {
        titleTip_.stop();
        if (QToolTip::isVisible() && QToolTip::text() == windowTitle()) QToolTip::hideText();
        unsetCursor();
        return;
    }
    // The title shows once the pointer has rested on the frame for a moment.
    titleTipPos_ = event->globalPosition().toPoint();
    if (!QToolTip::isVisible()) titleTip_.start();
    const bool diagonal = (edges & (Qt::LeftEdge | Qt::RightEdge)) && (edges & (Qt::TopEdge | Qt::BottomEdge));
    if (!diagonal) {
        setCursor((edges & (Qt::LeftEdge | Qt::RightEdge)) ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    } else {
        const bool main = edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
        setCursor(main ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    }
}

void ViewWindow::ShowTitleTip() {
    if (!BorderEdges(mapFromGlobal(titleTipPos_))) return;
    QToolTip::showText(titleTipPos_, windowTitle(), this);
}

bool ViewWindow::event(QEvent* event) {
    if ((event->type() == QEvent::Move || event->type() == QEvent::Show) && normalDisplay() && HasPicture() &&
        drag_ == Drag::None && !applyingGeometry_) {
        CheckFrameChange();
    }
    if (event->type() == QEvent::Show) WatchFrame();
    if (event->type() == QEvent::CursorChange && cursor().shape() == Qt::BlankCursor) {
        // The cursor was hidden: moves are measured from here.
        cursorRef_ = QCursor::pos();
    } else if (event->type() == QEvent::ToolTip) {
        // The title over the drawn frame comes from our own timer.
        return true;
    } else if (event->type() == QEvent::Leave) {
        titleTip_.stop();
    } else if (event->type() == QEvent::Move && size() == lastGeometry_.size()) {
        lastGeometry_ = geometry();
    }
    return QWidget::event(event);
}

void ViewWindow::ShowToolBarStrip(bool show) {
    toolBarDown_ = show;
    if (show) {
        toolBarStrip()->FitToClient(width());
        strip_->raise();
        strip_->show();
    } else {
        if (strip_) strip_->hide();
        setFocus();
    }
}

}  // namespace lumra::ui
