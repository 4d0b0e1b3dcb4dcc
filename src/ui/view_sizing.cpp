// The view window's size and place: frame and style, sizing around the picture, the
// user's resizing, window states and full screen.
#include <QGuiApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "shell/command_catalogue.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "ui/app.h"
#include "ui/tool_bar_strip.h"
#include "ui/view_window.h"
#include "ui/x11_frame.h"

namespace lumra::ui {

namespace {

constexpr int kMinTitleBarWidth = 120;  // the narrowest window with a title bar
constexpr int kSettleMs = 400;  // resizes this soon after our own may be the window system's
constexpr int kFrameAnswerMs = 50;  // the longest wait for the window manager's frame

QRect ToQRect(const ViewRect& r) { return QRect(r.x, r.y, r.w, r.h); }
ViewRect ToViewRect(const QRect& r) { return ViewRect{r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

QRect ViewWindow::AvailableArea() const {
    const Settings& s = session_.settings;
    if (s.vwin.posCtrl & 1) {
        const QRect r(QPoint(s.vwin.posL, s.vwin.posT), QPoint(s.vwin.posR - 1, s.vwin.posB - 1));
        if (r.width() > 0 && r.height() > 0) return r;
    }
    QScreen* screen = this->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QRect ViewWindow::MonitorRect() const {
    QScreen* screen = this->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

FrameExtents ViewWindow::QtFrame() const {
    FrameExtents f;
    if (!testAttribute(Qt::WA_WState_Created)) return f;
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    f.left = std::max(inner.left() - outer.left(), 0);
    f.top = std::max(inner.top() - outer.top(), 0);
    f.right = std::max(outer.right() - inner.right(), 0);
    f.bottom = std::max(outer.bottom() - inner.bottom(), 0);
    return f;
}

void ViewWindow::AskFrameOnce() {
    if (frameAsked_ || style_ != Style::TitleBar) return;
    frameAsked_ = true;
    FrameExtents f;
    if (RequestFrameExtents(this, kFrameAnswerMs, &f)) wmFrame_ = f;
}

FrameExtents ViewWindow::Frame() const {
    FrameExtents f;
    if (style_ == Style::TitleBar) {
        f = QtFrame();
        // Not mapped yet (or just framed again): the window manager's answer stands in.
        if (wmFrame_ && f.width() == 0 && f.height() == 0) f = *wmFrame_;
    }
    const int b = frameBorder();
    f.left += b;
    f.top += b;
    f.right += b;
    f.bottom += b;
    return f;
}

int ViewWindow::MinOuterWidth() const { return style_ == Style::TitleBar ? kMinTitleBarWidth : 0; }

QSize ViewWindow::FitArea() const {
    if (fullScreen()) return MonitorRect().size();
    const QRect bounds = AvailableArea();
    const FrameExtents f = Frame();
    return QSize(std::max(bounds.width() - f.width(), 1), std::max(bounds.height() - f.height(), 1));
}

void ViewWindow::SyncPictureSize() {
    const CurrentPicture& picture = session_.picture;
    if (picture.HasPicture()) {
        SetPictureSize(vp_, picture.image.width(), picture.image.height());
    } else {
        vp_.zoom = kZoomActual;
        SetPictureSize(vp_, kNoPictureWidth, kNoPictureHeight);
    }
}

void ViewWindow::SyncClientSize() {
    vp_.clientW = std::max(view_->width(), 1);
    vp_.clientH = std::max(view_->height(), 1);
}

void ViewWindow::RelayoutAndPaint() {
    SyncClientSize();
    Layout(vp_);
    view_->update();
}

void ViewWindow::ApplyBackground() { view_->update(); }

void ViewWindow::ApplyStyle() {
    const Settings& s = session_.settings;
    if (fullScreen()) {
        style_ = Style::None;
    } else if (s.vwin.capBar & 1) {
        style_ = Style::TitleBar;
    } else {
        style_ = (s.vwin.frame & 1) ? Style::FrameOnly : Style::None;
    }
    Qt::WindowFlags flags = Qt::Window;
    if (style_ != Style::TitleBar) flags |= Qt::FramelessWindowHint;
    if (s.awin.top & 1) flags |= Qt::WindowStaysOnTopHint;
    const int b = frameBorder();
    view_->setGeometry(rect().adjusted(b, b, -b, -b));
    const Qt::WindowFlags now = windowFlags();
    const bool sameFrame = (now & Qt::FramelessWindowHint) == (flags & Qt::FramelessWindowHint);
    const bool sameTop = (now & Qt::WindowStaysOnTopHint) == (flags & Qt::WindowStaysOnTopHint);
    if (testAttribute(Qt::WA_WState_Created) && windowHandle()) {
        if (!sameFrame || !sameTop) {
            // Told to the window system on the window as it is: it is not unmapped and mapped
            // again, so it stays where it is and does not come back in a state the window
            // manager had given it before (minimised).
            Qt::WindowFlags next = now;
            next.setFlag(Qt::FramelessWindowHint, flags.testFlag(Qt::FramelessWindowHint));
            next.setFlag(Qt::WindowStaysOnTopHint, flags.testFlag(Qt::WindowStaysOnTopHint));
            overrideWindowFlags(next);
            windowHandle()->setFlags(next);
            WatchFrame();
        }
        update();
        return;
    }
    const bool shown = isVisible();
    const QRect g = geometry();
    setWindowFlags(flags);
    if (shown) {
        setGeometry(g);
        show();
    }
    update();
}

void ViewWindow::SetWindowRect(const QRect& widgetRect) {
    sinceOwnGeometry_.start();
    settleClamped_ = false;
    applyingGeometry_ = true;
    requested_ = widgetRect.size();
    setGeometry(widgetRect);
    applyingGeometry_ = false;
    const int b = frameBorder();
    view_->setGeometry(QRect(QPoint(0, 0), widgetRect.size()).adjusted(b, b, -b, -b));
}

void ViewWindow::FitForDisplay(bool fullScreenFlags) {
    const Settings& s = session_.settings;
    const FitFlags flags = FitFlagsFor(
        FitSettings{s.vwin.nmZoom, s.vwin.vSmall, s.vwin.nvLarge, s.vwin.flZoom, s.vwin.fsDown, s.vwin.fsUp},
        fullScreenFlags);
    const QRect monitor = MonitorRect();
    const QSize area = fullScreenFlags ? monitor.size() : FitArea();
    lumra::FitForDisplay(vp_, flags, area.width(), area.height(), monitor.width(), monitor.height());
}

void ViewWindow::AutoSizeWindow() {
    if (!normalDisplay()) {
        RelayoutAndPaint();
        return;
    }
    const QRect client = view_->geometry().translated(geometry().topLeft());
    AutoSizeAround(ViewPoint{client.x() + client.width() / 2, client.y() + client.height() / 2});
}

QRect ViewWindow::AutoSizeAround(const ViewPoint& clientCentre) {
    const QRect bounds = AvailableArea();
    const FrameExtents f = Frame();
    AutoSizeInput in;
    in.clientCentre = clientCentre;
    in.displayW = vp_.displayW;
    in.displayH = vp_.displayH;
    in.frame = f;
    in.minOuterWidth = MinOuterWidth();
    in.bounds = ToViewRect(bounds);
    const WindowPlacement p = AutoSizePlacement(in);
    lastFrame_ = f;
    const int b = frameBorder();
    const QRect rect = ToQRect(p.client).adjusted(-b, -b, b, b);
    SetWindowRect(rect);
    limit_ = requested_;
    vp_.clientW = p.client.w;
    vp_.clientH = p.client.h;
    Layout(vp_);
    view_->update();
    return rect;
}

void ViewWindow::ScaleAfterUserResize(const QRect& before, bool settling) {
    UserResizeInput in;
    in.before = ToViewRect(before);
    in.after = ToViewRect(geometry());
    in.limitW = limit_.width();
    in.limitH = limit_.height();
    in.settling = settling;
    in.pictureW = vp_.pictureW;
    in.pictureH = vp_.pictureH;
    in.border = frameBorder();
    const UserResizeResult r = SizeAfterUserResize(in);
    if (r.kind == UserResizeResult::Kind::Corner) {
        vp_.zoom = r.zoom;
        UpdateDisplaySize(vp_);
        userResizeTarget_ = AutoSizeAround(r.clientCentre);
        userResizeRest_.start();
        app_.UpdateTitles();
        return;
    }
    const QRect keep = ToQRect(r.rect);
    userResizeTarget_ = keep;
    userResizeRest_.start();
    requested_ = keep.size();
    if (keep != geometry()) {
        if (settling) settleClamped_ = true;
        applyingGeometry_ = true;
        setGeometry(keep);
        applyingGeometry_ = false;
    }
    RelayoutAndPaint();
}

void ViewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int b = frameBorder();
    view_->setGeometry(rect().adjusted(b, b, -b, -b));
    if (strip_) strip_->FitToClient(width());
    // Where the window was: the last size seen here, at the place it had then.
    const QRect before = lastGeometry_.size() == event->oldSize() ? lastGeometry_
                                                                   : QRect(geometry().topLeft(), event->oldSize());
    lastGeometry_ = geometry();
    if (!applyingGeometry_) systemSize_ = size();
    const bool userResize = !applyingGeometry_ && isVisible() && HasPicture() && normalDisplay() &&
                            !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) &&
                            size() != requested_ && event->oldSize().isValid();
    if (userResize) {
        // The window system may still be catching up with our own change: then only the
        // limit holds (once, so that a window system insisting on its size is not fought).
        const bool settling = sinceOwnGeometry_.isValid() && sinceOwnGeometry_.elapsed() < kSettleMs;
        if (!settling || !settleClamped_) {
            ScaleAfterUserResize(before, settling);
            lastGeometry_ = geometry();
            return;
        }
    }
    RelayoutAndPaint();
}

void ViewWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    const Qt::WindowStates now = windowState();
    if (ownStateChange_ || applyingGeometry_) return;
    if ((now & Qt::WindowMaximized) && !(change->oldState() & Qt::WindowMaximized) && normalDisplay()) {
        // Maximising means full screen here.
        QMetaObject::invokeMethod(
            this,
            [this] {
                setWindowState(windowState() & ~Qt::WindowMaximized);
                if (normalDisplay()) Command(kCmdFullScreen);
            },
            Qt::QueuedConnection);
    } else if (fullScreenView_ && (change->oldState() & Qt::WindowFullScreen) && !(now & Qt::WindowFullScreen) &&
               !(now & Qt::WindowMinimized)) {
        // Restored by the window system: leave full screen.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (fullScreenView_ && !isFullScreen() && session_.displayMode == kFullScreen) {
                    Command(kCmdFullScreen);
                }
            },
            Qt::QueuedConnection);
    }
}

void ViewWindow::ShowWithCommand(int showCommand) {
    // The frame counted from the first sizing on.
    if (showCommand != kShowHide && !isVisible()) AskFrameOnce();
    // Asked for by the program, not by the user.
    ownStateChange_ = true;
    switch (showCommand) {
        case kShowHide:
            hide();
            break;
        case kShowMaximized:
            showMaximized();
            break;
        case kShowMinimized:
            showMinimized();
            break;
        case kShowMinNoActive:
        case kShowNoActivate:
            setAttribute(Qt::WA_ShowWithoutActivating, true);
            if (showCommand == kShowMinNoActive) {
                showMinimized();
            } else {
                show();
            }
            setAttribute(Qt::WA_ShowWithoutActivating, false);
            break;
        case kShowRestore:
        case kShowNormal:
            showNormal();
            break;
        default:
            show();
            break;
    }
    ownStateChange_ = false;
}

void ViewWindow::WatchFrame() {
    // A window manager may add or change its frame without moving the client, so nothing
    // else tells us: look again shortly after.
    for (int ms : {100, 400, 1200}) QTimer::singleShot(ms, this, [this] { CheckFrameChange(); });
}

void ViewWindow::CheckFrameChange() {
    if (!normalDisplay() || !HasPicture() || drag_ != Drag::None || applyingGeometry_ || !isVisible()) return;
    // The window system's frame becomes known once the window is shown: size again.
    const FrameExtents f = Frame();
    // Kept for later shows (after full screen), before Qt knows the frame again.
    if (const FrameExtents known = QtFrame(); style_ == Style::TitleBar && (known.width() || known.height())) {
        wmFrame_ = known;
    }
    if (f.left == lastFrame_.left && f.top == lastFrame_.top && f.right == lastFrame_.right &&
        f.bottom == lastFrame_.bottom) {
        return;
    }
    lastFrame_ = f;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!normalDisplay() || !HasPicture()) return;
            if (refitForFrame_) {
                // The fit counted without the frame: the picture would not fit with it.
                SyncPictureSize();
                FitForDisplay(false);
                AutoSizeWindow();
                app_.UpdateTitles();
            } else {
                AutoSizeWindow();
            }
        },
        Qt::QueuedConnection);
}

void ViewWindow::paintEvent(QPaintEvent*) {
    if (style_ != Style::FrameOnly) return;
    // The thin frame the user sizes the window by.
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(r.adjusted(0, 0, -1, -1));
}

void ViewWindow::EnterFullScreenView() {
    if (!fullScreenView_ && !isMinimized()) normalGeometry_ = geometry();
    fullScreenView_ = true;
    sinceOwnGeometry_.start();
    settleClamped_ = false;
    ApplyStyle();
    applyingGeometry_ = true;
    ownStateChange_ = true;
    // A minimised window (or one the window system has just restored) is brought back
    // first, so that it is never full screen and minimised at once.
    if (windowState() & Qt::WindowMinimized) setWindowState(windowState() & ~Qt::WindowMinimized);
    setWindowState(Qt::WindowFullScreen);
    show();
    ownStateChange_ = false;
    applyingGeometry_ = false;
    const QRect monitor = MonitorRect();
    SyncPictureSize();
    if (HasPicture()) FitForDisplay(true);
    vp_.clientW = monitor.width();
    vp_.clientH = monitor.height();
    Layout(vp_);
    toolBarStrip()->SetFullScreenLayout(true);
    strip_->FitToClient(monitor.width());
    view_->update();
    raise();
    activateWindow();
}

void ViewWindow::LeaveFullScreenView() {
    if (toolBarDown_) ShowToolBarStrip(false);
    if (strip_) {
        strip_->SetFullScreenLayout(false);
        strip_->hide();
    }
    fullScreenView_ = false;
    sinceOwnGeometry_.start();
    settleClamped_ = false;
    applyingGeometry_ = true;
    showNormal();
    applyingGeometry_ = false;
    ApplyStyle();
    // Back where the window was, so that sizing keeps its centre.
    if (normalGeometry_.isValid()) SetWindowRect(normalGeometry_);
    SyncPictureSize();
    if (HasPicture()) {
        // Fitted as on a picture change; the frame the window system adds again comes
        // later, and the fit is redone with it then.
        refitForFrame_ = style_ == Style::TitleBar;
        FitForDisplay(false);
    }
    AutoSizeWindow();
    WatchFrame();
    app_.EnsureCursorShown();
}

}  // namespace lumra::ui
