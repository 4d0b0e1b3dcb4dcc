#include "ui/view_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <algorithm>

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

// The first local file of a drop, empty when there is none.
QRect ToQRect(const ViewRect& r) { return QRect(r.x, r.y, r.w, r.h); }

}  // namespace

ViewWindow::ViewWindow(Application& app) : app_(app), session_(app.session()) {
    setWindowTitle(QStringLiteral("Lumra Ex"));
    setAcceptDrops(true);
    setMouseTracking(true);
    view_ = new PictureCanvas(
        vp_,
        [this] {
            // Nothing to draw before the quick first view's rows are made (the stand-in's
            // pixels are not the picture's).
            if (!HasPicture() || !animation_ || app_.firstViewWaiting()) return CanvasFrame{};
            const QImage* preview = app_.firstViewPreview();
            // Asked for while painting: the whole picture's decode may start after this paint.
            if (preview) app_.FirstViewPainted();
            return CanvasFrame{&animation_->Shown(), animation_->frame(), session_.picture.image.bits(), preview};
        },
        [this] {
            CanvasOptions o;
            o.bgColor = session_.settings.vwin.bgColor;
            o.smooth = drag_ != Drag::RightScroll && drag_ != Drag::RightBlocked &&
                       ClampSthMode(session_.settings.vwin.sthMode) == 4;
            o.rubberBand = drag_ == Drag::RubberBand;
            return o;
        },
        this);
    connect(view_, &PictureCanvas::mousePressed, this, &ViewWindow::ViewMousePress);
    connect(view_, &PictureCanvas::mouseMoved, this, &ViewWindow::ViewMouseMove);
    connect(view_, &PictureCanvas::mouseReleased, this, &ViewWindow::ViewMouseRelease);
    connect(view_, &PictureCanvas::mouseDoubleClicked, this, &ViewWindow::ViewDoubleClick);
    connect(view_, &PictureCanvas::wheelTurned, this, &ViewWindow::ViewWheel);
    connect(view_, &PictureCanvas::keyPressed, this, [this] { AnyKeyPress(); });
    animation_ = new AnimationPlayer(session_.picture, [this] { view_->update(); }, this);
    setFocusProxy(view_);
    SetUpPointerParts();
    ApplyStyle();
    AskFrameOnce();

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
            if (!HasPicture() || session_.displayMode == kEditWindow) return;
            AutoSizeWindow();
        });
    }
}

bool ViewWindow::HasPicture() const { return session_.picture.HasPicture(); }

ToolBarStrip* ViewWindow::toolBarStrip() const {
    if (!strip_) {
        auto* self = const_cast<ViewWindow*>(this);
        strip_ = new ToolBarStrip(self, [self](int id) { self->Command(id); }, [self] { self->setFocus(); });
        strip_->hide();
        strip_->FitToClient(width());
        // Full screen shows the title in it.
        strip_->SetInfoText(windowTitle());
    }
    return strip_;
}

bool ViewWindow::toolBarStripShown() const { return strip_ && strip_->isVisible(); }

bool ViewWindow::fullScreen() const { return fullScreenView_; }

bool ViewWindow::normalDisplay() const { return !fullScreenView_ && session_.displayMode != kEditWindow; }

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

void ViewWindow::RefreshAfterLoad(bool full) {
    view_->NewPicture(session_.picture.image.bits());
    SyncPictureSize();
    if (full && HasPicture()) {
        const bool normal = normalDisplay();
        if (normal) refitForFrame_ = !isVisible() || (style_ == Style::TitleBar && frameGeometry() == geometry());
        FitForDisplay(!normal);
    } else {
        UpdateDisplaySize(vp_);
    }
    AutoSizeWindow();
    view_->update();
    app_.UpdateTitles();
    animation_->Start();
}

PreloadCache::DisplaySizeFn ViewWindow::DisplaySizeAhead() const {
    const Settings& s = session_.settings;
    if (ClampSthMode(s.vwin.sthMode) != 4 || session_.displayMode == kEditWindow) return nullptr;
    const bool normal = normalDisplay();
    const QSize monitor = MonitorRect().size();
    const QSize area = normal ? FitArea() : monitor;
    const FitFlags flags = FitFlagsFor(
        FitSettings{s.vwin.nmZoom, s.vwin.vSmall, s.vwin.nvLarge, s.vwin.flZoom, s.vwin.fsDown, s.vwin.fsUp}, !normal);
    const int zoom = vp_.zoom;
    // The same steps as a refresh after a load, on values taken now.
    return [=](int w, int h, int* displayW, int* displayH) {
        Viewport v;
        v.zoom = zoom;
        SetPictureSize(v, w, h);
        lumra::FitForDisplay(v, flags, area.width(), area.height(), monitor.width(), monitor.height());
        if (v.zoom >= kZoomActual) return false;
        *displayW = v.displayW;
        *displayH = v.displayH;
        return true;
    };
}

void ViewWindow::OfferReducedCopy(std::vector<uint32_t>&& rows, int w, int h, const void* pictureBits) {
    view_->OfferReducedCopy(std::move(rows), w, h, pictureBits);
}

void ViewWindow::FullPictureArrived(std::vector<uint32_t>&& displayCopy, int w, int h) {
    const void* bits = session_.picture.image.bits();
    if (!displayCopy.empty()) view_->OfferReducedCopy(std::move(displayCopy), w, h, bits);
    view_->NewPicture(bits);
    view_->update();
}

void ViewWindow::RestoreView(const KeptView& kept) {
    view_->NewPicture(session_.picture.image.bits());
    if (normalDisplay() && geometry() != kept.geometry) SetWindowRect(kept.geometry);
    limit_ = kept.limit;
    vp_ = kept.vp;
    view_->update();
    app_.UpdateTitles();
    animation_->Start();
}

void ViewWindow::FinalLayout() {
    view_->NextGeneration();
    SyncPictureSize();
    RelayoutAndPaint();
    update();
}

void ViewWindow::PictureChanged() { view_->PixelsChanged(); }

QRect ViewWindow::SourceRect() const {
    if (!HasPicture()) return QRect(0, 0, kNoPictureWidth, kNoPictureHeight);
    return ToQRect(vp_.src);
}

QRect ViewWindow::DestinationRect() const { return ToQRect(vp_.dest); }

void ViewWindow::WritePixelReadout(const QPoint& clientPoint, QWidget* target) const {
    if (!target) return;
    // Read from the whole picture, never from a quick first view's stand-in.
    app_.FinishFirstView();
    const std::string text = PixelReadoutText(vp_, session_.picture.image, clientPoint.x(), clientPoint.y());
    target->setWindowTitle(QString::fromStdString(text));
}

bool ViewWindow::smoothScaling() const {
    if (drag_ == Drag::RightScroll || drag_ == Drag::RightBlocked) return false;
    if (ClampSthMode(session_.settings.vwin.sthMode) != 4) return false;
    return vp_.displayW != vp_.pictureW || vp_.displayH != vp_.pictureH;
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
    OpenDroppedFile(app_, this, file);
}

}  // namespace lumra::ui
