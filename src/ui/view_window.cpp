#include "ui/view_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <cstdlib>

#include "formats/image_buffer.h"
#include "shell/command_catalogue.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "ui/animation.h"
#include "ui/app.h"
#include "ui/file_list_window.h"
#include "ui/picture_image.h"
#include "ui/tool_bar_strip.h"
#include "view/view_scaler.h"

namespace lumra::ui {

namespace {

constexpr int kMinTitleBarWidth = 120;  // the narrowest window with a title bar
constexpr int kDragThreshold = 3;       // right drag: |dx| + |dy| from the anchor
constexpr int kMoveThreshold = 2;       // left drag moves the window beyond this
constexpr int kNavigatorClientMin = 304;
constexpr int kToolBarZone = 10;
constexpr int kToolBarClientMin = 48;
constexpr int kCursorShowDistance = 16;
constexpr int kWheelNotch = 120;
constexpr int kSettleMs = 400;  // resizes this soon after our own are not the user's

// The first local file of a drop, empty when there is none.
QString FirstLocalFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return QString();
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return QString();
}

QRect ToQRect(const ViewRect& r) { return QRect(r.x, r.y, r.w, r.h); }

// A 32 x 32 cursor with arrows towards the sides where more picture lies; index is
// row * 3 + column of the reached edges (0 reached at left/top, 2 at right/bottom).
QCursor MakeEdgeCursor(int index) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(Qt::black);
    const int column = index % 3;
    const int row = index / 3;
    auto arrow = [&p](QPointF tip, QPointF a, QPointF b) {
        QPainterPath path;
        path.moveTo(tip);
        path.lineTo(a);
        path.lineTo(b);
        path.closeSubpath();
        p.drawPath(path);
    };
    if (column != 0) arrow({2, 16}, {10, 9}, {10, 23});
    if (column != 2) arrow({30, 16}, {22, 9}, {22, 23});
    if (row != 0) arrow({16, 2}, {9, 10}, {23, 10});
    if (row != 2) arrow({16, 30}, {9, 22}, {23, 22});
    p.drawEllipse(QPointF(16, 16), 4, 4);
    p.end();
    return QCursor(pixmap, 16, 16);
}

}  // namespace

// ---- The picture area ----

PictureView::PictureView(ViewWindow& window) : QWidget(&window), window_(window) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Right clicks are the window's own gesture (menu or scrolling).
    setContextMenuPolicy(Qt::PreventContextMenu);
    // Drops go to the window.
    setAcceptDrops(false);
}

QPoint PictureView::PictureOrigin() const {
    const Viewport& v = window_.vp_;
    const int x = v.dest.x - static_cast<int>(static_cast<int64_t>(v.src.x) * v.zoom / kZoomActual);
    const int y = v.dest.y - static_cast<int>(static_cast<int64_t>(v.src.y) * v.zoom / kZoomActual);
    return QPoint(x, y);
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    window_.PaintPicture(painter, rect());
}

void PictureView::mousePressEvent(QMouseEvent* event) { window_.ViewMousePress(event); }
void PictureView::mouseMoveEvent(QMouseEvent* event) { window_.ViewMouseMove(event); }
void PictureView::mouseReleaseEvent(QMouseEvent* event) { window_.ViewMouseRelease(event); }
void PictureView::mouseDoubleClickEvent(QMouseEvent* event) { window_.ViewDoubleClick(event); }
void PictureView::wheelEvent(QWheelEvent* event) { window_.ViewWheel(event); }

void PictureView::keyPressEvent(QKeyEvent* event) {
    window_.AnyKeyPress();
    QWidget::keyPressEvent(event);
}

// ---- The window ----

ViewWindow::ViewWindow(Application& app) : app_(app) {
    setWindowTitle(QStringLiteral("Lumra Ex"));
    setAcceptDrops(true);
    setMouseTracking(true);
    view_ = new PictureView(*this);
    animation_ = new AnimationPlayer(app_.session().picture, [this] { view_->update(); }, this);
    setFocusProxy(view_);
    strip_ = new ToolBarStrip(this, [this](int id) { Command(id); }, [this] { setFocus(); });
    strip_->hide();
    for (int i = 0; i < 9; ++i) edgeCursors_[static_cast<size_t>(i)] = MakeEdgeCursor(i);
    ApplyStyle();

    // The first client area: 400 x 300 centred on the monitor under the pointer, the
    // window within the bounds.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect monitor = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const QRect bounds = AvailableArea();
    const FrameExtents f = Frame();
    const int outerW = std::min(kNoPictureWidth + f.width(), bounds.width());
    const int outerH = std::min(kNoPictureHeight + f.height(), bounds.height());
    int x = monitor.left() + (monitor.width() - kNoPictureWidth) / 2 - f.left;
    int y = monitor.top() + (monitor.height() - kNoPictureHeight) / 2 - f.top;
    x = std::max(std::min(x, bounds.left() + bounds.width() - outerW), bounds.left());
    y = std::max(std::min(y, bounds.top() + bounds.height() - outerH), bounds.top());
    const int b = frameBorder();
    SetWindowRect(QRect(x + f.left - b, y + f.top - b, outerW - f.width() + 2 * b, outerH - f.height() + 2 * b));
    limit_ = requested_;
    SyncPictureSize();
    Layout(vp_);

    // A changed work area (panels, resolution): size or lay out again.
    for (QScreen* s : QGuiApplication::screens()) {
        connect(s, &QScreen::availableGeometryChanged, this, [this] {
            if (!HasPicture() || app_.session().displayMode == kEditWindow) return;
            AutoSizeWindow();
        });
    }
}

bool ViewWindow::HasPicture() const { return app_.session().picture.HasPicture(); }

bool ViewWindow::fullScreen() const { return fullScreenView_; }

bool ViewWindow::normalDisplay() const { return !fullScreenView_ && app_.session().displayMode != kEditWindow; }

QRect ViewWindow::AvailableArea() const {
    const Settings& s = app_.session().settings;
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

FrameExtents ViewWindow::Frame() const {
    FrameExtents f;
    if (style_ == Style::TitleBar && testAttribute(Qt::WA_WState_Created)) {
        const QRect outer = frameGeometry();
        const QRect inner = geometry();
        f.left = std::max(inner.left() - outer.left(), 0);
        f.top = std::max(inner.top() - outer.top(), 0);
        f.right = std::max(outer.right() - inner.right(), 0);
        f.bottom = std::max(outer.bottom() - inner.bottom(), 0);
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
    const CurrentPicture& picture = app_.session().picture;
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
    const Settings& s = app_.session().settings;
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
    if (testAttribute(Qt::WA_WState_Created) && windowFlags() == flags) {
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
    applyingGeometry_ = true;
    requested_ = widgetRect.size();
    setGeometry(widgetRect);
    applyingGeometry_ = false;
    const int b = frameBorder();
    view_->setGeometry(QRect(QPoint(0, 0), widgetRect.size()).adjusted(b, b, -b, -b));
}

// ---- Commands ----

void ViewWindow::Command(int id) { app_.RunCommand(id); }

void ViewWindow::RestoreFromMinimised() {
    // Back to the state before (full screen stays full screen).
    ownStateChange_ = true;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    ownStateChange_ = false;
    activateWindow();
}

void ViewWindow::ZoomCommand(int id) {
    if (!HasPicture()) return;
    SyncPictureSize();
    int fit = 0;
    if (id == kCmdFit || (id == kCmdToggleFit && vp_.zoom == kZoomActual)) {
        const QSize area = FitArea();
        fit = FitZoom(vp_.pictureW, vp_.pictureH, area.width(), area.height());
    }
    vp_.zoom = ZoomAfterCommand(id, vp_.zoom, fit);
    UpdateDisplaySize(vp_);
    AutoSizeWindow();
    view_->update();
    app_.UpdateTitles();
}

void ViewWindow::ScrollKeyCommand(int id) {
    if (!HasPicture()) return;
    SyncClientSize();
    ViewPoint shift;
    if (ScrollCommand(vp_, id, &shift)) MoveDrawnPixels(shift);
}

void ViewWindow::MoveDrawnPixels(const ViewPoint& shift) {
    if (shift.x == 0 && shift.y == 0) return;
    if (vp_.zoom == kZoomActual) {
        // Whole pixels: the drawn ones move, only the uncovered part is painted.
        view_->scroll(shift.x, shift.y, DestinationRect());
    } else {
        view_->update();
    }
}

void ViewWindow::CentreWindow() {
    const FrameExtents f = Frame();
    const QRect outer = frameGeometry();
    const ViewRect placed = CentredPlacement(outer.width(), outer.height(), f, view_->width(), view_->height(),
                                             ViewRect{AvailableArea().x(), AvailableArea().y(),
                                                      AvailableArea().width(), AvailableArea().height()});
    move(placed.x, placed.y);
    raise();
    activateWindow();
    if (QWidget* list = app_.activeFileList(); list && list->isVisible()) app_.PlaceFileList();
}

// ---- Sizing ----

void ViewWindow::AutoSizeWindow() {
    if (!normalDisplay()) {
        RelayoutAndPaint();
        return;
    }
    const QRect bounds = AvailableArea();
    const FrameExtents f = Frame();
    AutoSizeInput in;
    const QRect client = view_->geometry().translated(geometry().topLeft());
    in.clientCentre = ViewPoint{client.x() + client.width() / 2, client.y() + client.height() / 2};
    in.displayW = vp_.displayW;
    in.displayH = vp_.displayH;
    in.frame = f;
    in.minOuterWidth = MinOuterWidth();
    in.bounds = ViewRect{bounds.x(), bounds.y(), bounds.width(), bounds.height()};
    const WindowPlacement p = AutoSizePlacement(in);
    lastFrame_ = f;
    const int b = frameBorder();
    SetWindowRect(ToQRect(p.client).adjusted(-b, -b, b, b));
    limit_ = requested_;
    vp_.clientW = p.client.w;
    vp_.clientH = p.client.h;
    Layout(vp_);
    view_->update();
}

void ViewWindow::ScaleAfterUserResize(const QSize& old) {
    const QSize now = size();
    if (now.width() != old.width() && now.height() != old.height()) {
        // A corner: the height decides, the width follows the picture's shape.
        const int b = frameBorder();
        const int clientH = std::max(now.height() - 2 * b, 1);
        const int clientW = CornerDragWidth(clientH, vp_.pictureW, vp_.pictureH, FrameExtents{}, 0);
        vp_.zoom = FitZoom(vp_.pictureW, vp_.pictureH, clientW, clientH);
        UpdateDisplaySize(vp_);
        AutoSizeWindow();
        app_.UpdateTitles();
        return;
    }
    // An edge: never beyond the size the picture gave the window.
    const QSize limited(std::min(now.width(), limit_.width()), std::min(now.height(), limit_.height()));
    if (limited != now) {
        applyingGeometry_ = true;
        requested_ = limited;
        resize(limited);
        applyingGeometry_ = false;
    } else {
        requested_ = now;
    }
    RelayoutAndPaint();
}

void ViewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int b = frameBorder();
    view_->setGeometry(rect().adjusted(b, b, -b, -b));
    strip_->FitToClient(width());
    const bool userResize = !applyingGeometry_ && isVisible() && HasPicture() &&
                            normalDisplay() &&
                            !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) &&
                            size() != requested_ && event->oldSize().isValid() &&
                            // the window system may still be catching up with our own change
                            !(sinceOwnGeometry_.isValid() && sinceOwnGeometry_.elapsed() < kSettleMs);
    if (userResize) {
        ScaleAfterUserResize(event->oldSize());
        return;
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
                if (fullScreenView_ && !isFullScreen() && app_.session().displayMode == kFullScreen) {
                    Command(kCmdFullScreen);
                }
            },
            Qt::QueuedConnection);
    }
}

void ViewWindow::RefreshAfterLoad(bool full) {
    const Settings& s = app_.session().settings;
    cache_ = ScaledCache{};
    ++pictureGeneration_;
    // A copy offered for exactly this picture is kept for its first paint.
    const bool offerFits =
        !offered_.isNull() && offeredBits_ == app_.session().picture.image.bits();
    offeredGeneration_ = offerFits ? pictureGeneration_ : -1;
    if (!offerFits) offered_ = QImage();
    offeredBits_ = nullptr;
    SyncPictureSize();
    if (full && HasPicture()) {
        const QRect monitor = MonitorRect();
        if (normalDisplay()) {
            if (!(s.vwin.nmZoom & 1)) vp_.zoom = kZoomActual;
            refitForFrame_ = !isVisible() || (style_ == Style::TitleBar && frameGeometry() == geometry());
            const QSize area = FitArea();
            FitOnChange(vp_, s.vwin.vSmall & 1, s.vwin.nvLarge & 1, area.width(), area.height(), monitor.width(),
                        monitor.height());
        } else {
            if (!(s.vwin.flZoom & 1)) vp_.zoom = kZoomActual;
            FitOnChange(vp_, s.vwin.fsDown & 1, s.vwin.fsUp & 1, monitor.width(), monitor.height(), monitor.width(),
                        monitor.height());
        }
    } else {
        UpdateDisplaySize(vp_);
    }
    AutoSizeWindow();
    view_->update();
    app_.UpdateTitles();
    animation_->Start();
}

PreloadCache::DisplaySizeFn ViewWindow::DisplaySizeAhead() const {
    const Settings& s = app_.session().settings;
    if (ClampSthMode(s.vwin.sthMode) != 4 || app_.session().displayMode == kEditWindow)
        return nullptr;
    const bool normal = normalDisplay();
    const QSize monitor = MonitorRect().size();
    const QSize area = normal ? FitArea() : monitor;
    const bool keep = normal ? (s.vwin.nmZoom & 1) : (s.vwin.flZoom & 1);
    const bool shrink = normal ? (s.vwin.vSmall & 1) : (s.vwin.fsDown & 1);
    const bool enlarge = normal ? (s.vwin.nvLarge & 1) : (s.vwin.fsUp & 1);
    const int zoom = keep ? vp_.zoom : kZoomActual;
    // The same steps as a refresh after a load, on values taken now.
    return [=](int w, int h, int* displayW, int* displayH) {
        Viewport v;
        v.zoom = zoom;
        SetPictureSize(v, w, h);
        FitOnChange(v, shrink, enlarge, area.width(), area.height(), monitor.width(),
                    monitor.height());
        if (v.zoom >= kZoomActual) return false;
        *displayW = v.displayW;
        *displayH = v.displayH;
        return true;
    };
}

void ViewWindow::OfferReducedCopy(std::vector<uint32_t>&& rows, int w, int h,
                                  const void* pictureBits) {
    offered_ = QImage();
    if (rows.size() != static_cast<size_t>(w) * static_cast<size_t>(h) || w < 1 || h < 1) return;
    auto* owned = new std::vector<uint32_t>(std::move(rows));
    offered_ = QImage(
        reinterpret_cast<const uchar*>(owned->data()), w, h, static_cast<qsizetype>(w) * 4,
        QImage::Format_RGB32, [](void* p) { delete static_cast<std::vector<uint32_t>*>(p); },
        owned);
    offeredBits_ = pictureBits;
}

void ViewWindow::FinalLayout() {
    ++pictureGeneration_;
    SyncPictureSize();
    RelayoutAndPaint();
    update();
}

void ViewWindow::PictureChanged() {
    cache_ = ScaledCache{};
    ++pictureGeneration_;
    view_->update();
}

void ViewWindow::ShowWithCommand(int showCommand) {
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

void ViewWindow::EnterFullScreenView() {
    const Settings& s = app_.session().settings;
    if (!fullScreenView_ && !isMinimized()) normalGeometry_ = geometry();
    fullScreenView_ = true;
    sinceOwnGeometry_.start();
    ApplyStyle();
    applyingGeometry_ = true;
    showFullScreen();
    applyingGeometry_ = false;
    const QRect monitor = MonitorRect();
    SyncPictureSize();
    if (HasPicture()) {
        if (!(s.vwin.flZoom & 1)) vp_.zoom = kZoomActual;
        FitOnChange(vp_, s.vwin.fsDown & 1, s.vwin.fsUp & 1, monitor.width(), monitor.height(), monitor.width(),
                    monitor.height());
    }
    vp_.clientW = monitor.width();
    vp_.clientH = monitor.height();
    Layout(vp_);
    strip_->SetFullScreenLayout(true);
    strip_->FitToClient(monitor.width());
    view_->update();
    raise();
    activateWindow();
}

void ViewWindow::LeaveFullScreenView() {
    const Settings& s = app_.session().settings;
    if (toolBarDown_) ShowToolBarStrip(false);
    strip_->SetFullScreenLayout(false);
    strip_->hide();
    fullScreenView_ = false;
    sinceOwnGeometry_.start();
    applyingGeometry_ = true;
    showNormal();
    applyingGeometry_ = false;
    ApplyStyle();
    // Back where the window was, so that sizing keeps its centre.
    if (normalGeometry_.isValid()) SetWindowRect(normalGeometry_);
    SyncPictureSize();
    if (HasPicture()) {
        if (!(s.vwin.nmZoom & 1)) vp_.zoom = kZoomActual;
        const QSize area = FitArea();
        const QRect monitor = MonitorRect();
        FitOnChange(vp_, s.vwin.vSmall & 1, s.vwin.nvLarge & 1, area.width(), area.height(), monitor.width(),
                    monitor.height());
    }
    AutoSizeWindow();
    app_.EnsureCursorShown();
}

QRect ViewWindow::SourceRect() const {
    if (!HasPicture()) return QRect(0, 0, kNoPictureWidth, kNoPictureHeight);
    return ToQRect(vp_.src);
}

QRect ViewWindow::DestinationRect() const { return ToQRect(vp_.dest); }

void ViewWindow::WritePixelReadout(const QPoint& clientPoint, QWidget* target) const {
    if (!target) return;
    const std::string text = PixelReadoutText(vp_, app_.session().picture.image, clientPoint.x(), clientPoint.y());
    target->setWindowTitle(QString::fromStdString(text));
}

// ---- Painting ----

bool ViewWindow::smoothScaling() const {
    if (drag_ == Drag::RightScroll || drag_ == Drag::RightBlocked) return false;
    if (ClampSthMode(app_.session().settings.vwin.sthMode) != 4) return false;
    return vp_.displayW != vp_.pictureW || vp_.displayH != vp_.pictureH;
}

const QImage& ViewWindow::SmoothScaled(const ImageBuffer& frame, int frameIndex) {
    const bool whole = vp_.zoom < kZoomActual;
    // Zoomed out: the whole picture once at the display size; zoomed in: the drawn part.
    const QRect src = whole ? QRect(0, 0, vp_.pictureW, vp_.pictureH) : ToQRect(vp_.src);
    const QSize size = whole ? QSize(vp_.displayW, vp_.displayH) : QSize(vp_.dest.w, vp_.dest.h);
    if (cacheGeneration_ == pictureGeneration_ && cache_.bits == frame.bits() && cache_.frame == frameIndex &&
        cache_.zoom == vp_.zoom && cache_.src == src && cache_.size == size && !cache_.image.isNull()) {
        return cache_.image;
    }
    bool done = false;
    if (whole && offeredGeneration_ == pictureGeneration_ && offered_.size() == size &&
        frame.bits() == app_.session().picture.image.bits()) {
        // Made ahead while the picture was decoded in the background.
        cache_.image = std::move(offered_);
        done = true;
    }
    offered_ = QImage();
    offeredGeneration_ = -1;
    if (whole && !done) {
        ++reductionsMade_;
        // Reduced by box averages straight from the rows.
        QImage reduced(size, QImage::Format_RGB32);
        done = !reduced.isNull() && BoxReduce(frame, size.width(), size.height(),
                                              reinterpret_cast<uint32_t*>(reduced.bits()),
                                              static_cast<size_t>(reduced.bytesPerLine()));
        if (done) cache_.image = std::move(reduced);
    }
    if (!done) {
        // Stored rows are bottom-up: scaled as they are, then turned upright.
        const QImage rows = StoredRowsImage(frame);
        const QRect stored(src.x(), frame.height() - src.y() - src.height(), src.width(), src.height());
        const QImage part = whole ? rows : rows.copy(stored);
        cache_.image = part.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).mirrored(false, true);
    }
    cache_.bits = frame.bits();
    cache_.frame = frameIndex;
    cache_.zoom = vp_.zoom;
    cache_.src = src;
    cache_.size = size;
    cacheGeneration_ = pictureGeneration_;
    return cache_.image;
}

void ViewWindow::PaintPicture(QPainter& painter, const QRect& area) {
    const QColor background = BackgroundColour(app_.session().settings.vwin.bgColor);
    if (!HasPicture()) {
        painter.fillRect(area, background);
        return;
    }
    const QRect dest = ToQRect(vp_.dest);
    // The strips beside and above/below the picture.
    if (dest.left() > area.left()) painter.fillRect(QRect(area.left(), area.top(), dest.left(), area.height()), background);
    if (dest.right() < area.right())
        painter.fillRect(QRect(dest.right() + 1, area.top(), area.right() - dest.right(), area.height()), background);
    if (dest.top() > area.top()) painter.fillRect(QRect(dest.left(), area.top(), dest.width(), dest.top()), background);
    if (dest.bottom() < area.bottom())
        painter.fillRect(QRect(dest.left(), dest.bottom() + 1, dest.width(), area.bottom() - dest.bottom()),
                         background);

    const ImageBuffer& frame = animation_->Shown();
    if (frame.empty() || frame.width() != vp_.pictureW || frame.height() != vp_.pictureH) {
        painter.fillRect(dest, background);
        return;
    }
    if (smoothScaling()) {
        const QImage& scaled = SmoothScaled(frame, animation_->frame());
        if (vp_.zoom < kZoomActual) {
            // The drawn part of the whole scaled copy.
            const int x = static_cast<int>(static_cast<int64_t>(vp_.src.x) * vp_.displayW / vp_.pictureW);
            const int y = static_cast<int>(static_cast<int64_t>(vp_.src.y) * vp_.displayH / vp_.pictureH);
            const QRect part(std::clamp(x, 0, std::max(scaled.width() - dest.width(), 0)),
                             std::clamp(y, 0, std::max(scaled.height() - dest.height(), 0)), dest.width(),
                             dest.height());
            painter.drawImage(dest.topLeft(), scaled, part);
        } else {
            painter.drawImage(dest.topLeft(), scaled);
        }
    } else {
        const QImage rows = StoredRowsImage(frame);
        if (rows.isNull()) {
            painter.fillRect(dest, background);
            return;
        }
        // Drawn flipped: stored row 0 is the bottom row.
        const QRect stored(vp_.src.x, frame.height() - vp_.src.y - vp_.src.h, vp_.src.w, vp_.src.h);
        painter.save();
        painter.setClipRect(dest);
        painter.translate(dest.left(), dest.top() + dest.height());
        painter.scale(1, -1);
        painter.drawImage(QRectF(0, 0, dest.width(), dest.height()), rows, stored);
        painter.restore();
    }
    if (drag_ == Drag::RubberBand) {
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.setPen(QPen(Qt::white, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(QPoint(vp_.anchor.x, vp_.anchor.y), QPoint(vp_.corner.x, vp_.corner.y)).normalized());
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
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

// ---- Mouse and keys ----

void ViewWindow::AnyKeyPress() {
    if (app_.slideShowRunning()) app_.StopSlideShow();
}

void ViewWindow::keyPressEvent(QKeyEvent* event) {
    AnyKeyPress();
    QWidget::keyPressEvent(event);
}

void ViewWindow::StartRightDrag() {
    const bool whole = vp_.displayW <= vp_.clientW && vp_.displayH <= vp_.clientH;
    if (!HasPicture() || whole) {
        drag_ = Drag::RightBlocked;
        view_->setCursor(Qt::ForbiddenCursor);
        return;
    }
    drag_ = Drag::RightScroll;
    dragLast_ = QPoint(vp_.anchor.x, vp_.anchor.y);
    if (vp_.clientW > kNavigatorClientMin && vp_.clientH > kNavigatorClientMin) {
        navigatorShown_ = true;
        app_.ShowNavigator();
    }
    view_->setCursor(edgeCursors_[static_cast<size_t>(EdgeCursorIndex(vp_))]);
}

void ViewWindow::EndRightDrag() {
    const bool dragged = drag_ == Drag::RightScroll || drag_ == Drag::RightBlocked;
    drag_ = Drag::None;
    if (!dragged) return;
    view_->unsetCursor();
    if (app_.cursorShown() == 0) view_->setCursor(Qt::BlankCursor);
    view_->update();  // smooth again
    if (navigatorShown_) {
        navigatorShown_ = false;
        app_.HideNavigator();
    }
}

void ViewWindow::FinishRubberBand() {
    drag_ = Drag::None;
    view_->update();
    if (!HasPicture()) return;
    int zoom = 0;
    ViewPoint centre;
    const bool full = fullScreen();
    const QSize area = full ? QSize(vp_.clientW, vp_.clientH) : FitArea();
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

void ViewWindow::ViewMousePress(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (button != Qt::LeftButton && button != Qt::RightButton && button != Qt::MiddleButton) return;
    if (app_.slideShowRunning()) app_.StopSlideShow();
    const QPoint pos = event->position().toPoint();
    const bool normal = normalDisplay();
    if (button == Qt::RightButton) {
        if (event->buttons() & Qt::LeftButton) {
            // Chord: a rubber band ends as on release; a pending window move is dropped.
            chord_ = true;
            if (drag_ == Drag::RubberBand) {
                FinishRubberBand();
            } else if (drag_ == Drag::MovePending || drag_ == Drag::WindowMove) {
                drag_ = Drag::None;
                view_->unsetCursor();
            }
            return;
        }
        app_.EnsureCursorShown();
        drag_ = Drag::RightPending;
        vp_.anchor = ViewPoint{pos.x(), pos.y()};
        return;
    }
    if (button == Qt::LeftButton) {
        ignoreNextLeftRelease_ = false;
        if (event->buttons() & Qt::RightButton) {
            chord_ = true;
            if (drag_ == Drag::RightPending) {
                drag_ = Drag::None;
            } else {
                EndRightDrag();
            }
            return;
        }
        if (!normal && app_.cursorShown() == 0) {
            // The first click only brings the cursor back.
            app_.EnsureCursorShown();
            ignoreNextLeftRelease_ = true;
            return;
        }
        const Settings& s = app_.session().settings;
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        const bool band = normal ? ctrl : (ctrl || (s.vwin.fsAreaZm & 1));
        if (band && HasPicture() && vp_.dest.Contains(pos.x(), pos.y())) {
            drag_ = Drag::RubberBand;
            vp_.anchor = vp_.corner = ViewPoint{pos.x(), pos.y()};
            return;
        }
        if (normal) {
            drag_ = Drag::MovePending;
            vp_.anchor = ViewPoint{pos.x(), pos.y()};
        }
        return;
    }
    // Middle button.
    if (!HasPicture()) return;
    const int id = MiddleClickCommand(vp_.zoom);
    if (id == kCmdActualSize) {
        SyncClientSize();
        const ViewPoint p = ScreenToPicture(vp_, pos.x(), pos.y());
        vp_.centreX = p.x;
        vp_.centreY = p.y;
    }
    Command(id);
}

void ViewWindow::ViewMouseMove(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    switch (drag_) {
        case Drag::RightPending:
            if (std::abs(pos.x() - vp_.anchor.x) + std::abs(pos.y() - vp_.anchor.y) < kDragThreshold) return;
            StartRightDrag();
            if (drag_ != Drag::RightScroll) return;
            [[fallthrough]];
        case Drag::RightScroll: {
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
            return;
        }
        case Drag::RightBlocked:
            return;
        case Drag::RubberBand:
            vp_.corner = ViewPoint{std::clamp(pos.x(), vp_.dest.x, vp_.dest.right() - 1),
                                   std::clamp(pos.y(), vp_.dest.y, vp_.dest.bottom() - 1)};
            view_->update();
            return;
        case Drag::MovePending:
            if (std::abs(pos.x() - vp_.anchor.x) + std::abs(pos.y() - vp_.anchor.y) <= kMoveThreshold) return;
            view_->setCursor(Qt::SizeAllCursor);
            if (windowHandle() && windowHandle()->startSystemMove()) {
                drag_ = Drag::None;
                view_->unsetCursor();
                return;
            }
            // Without the window system's move: follow the pointer here.
            drag_ = Drag::WindowMove;
            moveOffset_ = view_->mapToGlobal(QPoint(vp_.anchor.x, vp_.anchor.y)) - frameGeometry().topLeft();
            [[fallthrough]];
        case Drag::WindowMove:
            move(event->globalPosition().toPoint() - moveOffset_);
            return;
        case Drag::None:
            break;
    }
    if (event->buttons() == Qt::NoButton) HoverMove(pos);
}

void ViewWindow::HoverMove(const QPoint& pos) {
    const bool active = QGuiApplication::applicationState() == Qt::ApplicationActive || isActiveWindow();
    if (!active) return;
    const Settings& s = app_.session().settings;
    if (toolBarDown_) {
        ShowToolBarStrip(false);
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

void ViewWindow::ViewMouseRelease(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (button != Qt::LeftButton && button != Qt::RightButton) return;
    if (chord_) {
        chord_ = false;
        if (drag_ == Drag::RubberBand) FinishRubberBand();
        if (drag_ != Drag::None) EndRightDrag();
        drag_ = Drag::None;
        RunClickAction(app_.session().settings.awin.lrClick);
        return;
    }
    if (button == Qt::RightButton) {
        if (drag_ == Drag::RightPending) {
            drag_ = Drag::None;
            app_.ShowMainMenu(event->globalPosition().toPoint(), this);
        } else if (drag_ == Drag::RightScroll || drag_ == Drag::RightBlocked) {
            EndRightDrag();
        }
        return;
    }
    if (ignoreNextLeftRelease_) {
        ignoreNextLeftRelease_ = false;
        return;
    }
    if (drag_ == Drag::RubberBand) {
        FinishRubberBand();
    } else if (drag_ == Drag::MovePending || drag_ == Drag::WindowMove) {
        drag_ = Drag::None;
        view_->unsetCursor();
    }
}

void ViewWindow::ViewDoubleClick(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    drag_ = Drag::None;
    ignoreNextLeftRelease_ = true;
    RunClickAction(app_.session().settings.awin.dClick);
}

void ViewWindow::ViewWheel(QWheelEvent* event) {
    event->accept();
    if (!HasPicture() || app_.slideShowRunning() || drag_ == Drag::RightPending || drag_ == Drag::RightScroll ||
        drag_ == Drag::RightBlocked) {
        wheelRest_ = 0;
        return;
    }
    const Settings& s = app_.session().settings;
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
        unsetCursor();
        return;
    }
    const bool diagonal = (edges & (Qt::LeftEdge | Qt::RightEdge)) && (edges & (Qt::TopEdge | Qt::BottomEdge));
    if (!diagonal) {
        setCursor((edges & (Qt::LeftEdge | Qt::RightEdge)) ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    } else {
        const bool main = edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
        setCursor(main ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    }
}

void ViewWindow::CheckFrameChange() {
    if (!normalDisplay() || !HasPicture() || drag_ != Drag::None || applyingGeometry_ || !isVisible()) return;
    // The window system's frame becomes known once the window is shown: size again.
    const FrameExtents f = Frame();
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
                RefreshAfterLoad(true);
            } else {
                AutoSizeWindow();
            }
        },
        Qt::QueuedConnection);
}

bool ViewWindow::event(QEvent* event) {
    if ((event->type() == QEvent::Move || event->type() == QEvent::Show) && normalDisplay() && HasPicture() &&
        drag_ == Drag::None && !applyingGeometry_) {
        CheckFrameChange();
    }
    if (event->type() == QEvent::Show) {
        // A window manager may add its frame without moving the client, so nothing else
        // tells us: look again shortly after showing.
        for (int ms : {100, 400, 1200}) QTimer::singleShot(ms, this, [this] { CheckFrameChange(); });
    }
    if (event->type() == QEvent::CursorChange && cursor().shape() == Qt::BlankCursor) {
        // The cursor was hidden: moves are measured from here.
        cursorRef_ = QCursor::pos();
    } else if (event->type() == QEvent::ToolTip) {
        // The title over the drawn frame, where there is no title bar to show it.
        auto* help = static_cast<QHelpEvent*>(event);
        if (BorderEdges(help->pos())) {
            QToolTip::showText(help->globalPos(), windowTitle(), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

void ViewWindow::ShowToolBarStrip(bool show) {
    toolBarDown_ = show;
    if (show) {
        strip_->FitToClient(width());
        strip_->raise();
        strip_->show();
    } else {
        strip_->hide();
        setFocus();
    }
}

void ViewWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The drawn frame and the keyboard's menu key.
    app_.ShowMainMenu(event->globalPos(), this);
}

void ViewWindow::closeEvent(QCloseEvent* event) {
    if (app_.CloseRequested()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void ViewWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!FirstLocalFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void ViewWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!FirstLocalFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void ViewWindow::dropEvent(QDropEvent* event) {
    const QString file = FirstLocalFile(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    // Opened once the drop has finished, so that a question box does not hold up the source.
    const std::string path = QFile::encodeName(file).toStdString();
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            activateWindow();
            raise();
            app_.OpenPath(path);
        },
        Qt::QueuedConnection);
}

}  // namespace lumra::ui
