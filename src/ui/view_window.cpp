#include "ui/view_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/session.h"
#include "ui/animation.h"
#include "ui/app.h"
#include "ui/comment_exif_dialogs.h"
#include "ui/picture_image.h"
#include "ui/png_text_dialog.h"
#include "ui/tool_bar_strip.h"
#include "formats/image_buffer.h"
#include "shell/command_catalogue.h"

namespace lumra::ui {

namespace {

constexpr int kNoPictureWidth = 400;
constexpr int kNoPictureHeight = 300;

// The first local file of a drop, empty when there is none.
QString FirstLocalFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return QString();
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return QString();
}

}  // namespace

PictureView::PictureView(const CurrentPicture& picture, QWidget* parent)
    : QAbstractScrollArea(parent), picture_(picture) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    // Drops go to the window.
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
}

void PictureView::SetBackground(int bgColor) {
    bgColor_ = bgColor;
    viewport()->update();
}

QSize PictureView::DisplaySize() const {
    if (!picture_.HasPicture()) return QSize(kNoPictureWidth, kNoPictureHeight);
    return QSize(picture_.image.width(), picture_.image.height());
}

void PictureView::PictureChanged() {
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void PictureView::UpdateScrollBars() {
    const QSize size = picture_.HasPicture() ? DisplaySize() : QSize(0, 0);
    // Decide the bars from the whole widget, not from the viewport the old bars left:
    // a picture that fits the window needs no bar even while bars are still shown.
    const QSize full = this->size();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    bool needH = size.width() > full.width();
    bool needV = size.height() > full.height();
    if (needH && !needV) needV = size.height() > full.height() - bar;
    if (needV && !needH) needH = size.width() > full.width() - bar;
    const QSize area(std::max(0, full.width() - (needV ? bar : 0)),
                     std::max(0, full.height() - (needH ? bar : 0)));
    horizontalScrollBar()->setRange(0, std::max(0, size.width() - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    horizontalScrollBar()->setSingleStep(16);
    verticalScrollBar()->setRange(0, std::max(0, size.height() - area.height()));
    verticalScrollBar()->setPageStep(area.height());
    verticalScrollBar()->setSingleStep(16);
}

QPoint PictureView::PictureOrigin() const {
    const QSize size = DisplaySize();
    const QSize area = viewport()->size();
    const int x = size.width() < area.width() ? (area.width() - size.width()) / 2 : -horizontalScrollBar()->value();
    const int y = size.height() < area.height() ? (area.height() - size.height()) / 2 : -verticalScrollBar()->value();
    return QPoint(x, y);
}

void PictureView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void PictureView::scrollContentsBy(int, int) { viewport()->update(); }

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QRect area = viewport()->rect();
    const QColor background = BackgroundColour(bgColor_);
    if (!picture_.HasPicture()) {
        painter.fillRect(area, background);
        return;
    }
    const QImage rows = StoredRowsImage(animation_ ? animation_->Shown() : picture_.image);
    const int w = picture_.image.width();
    const int h = picture_.image.height();
    const QPoint origin = PictureOrigin();
    const QRect target(origin, QSize(w, h));

    // Background strips around the picture only.
    const QRect shown = target.intersected(area);
    if (shown.isEmpty() || rows.isNull()) {
        painter.fillRect(area, background);
        if (rows.isNull()) return;
    } else {
        painter.fillRect(QRect(area.left(), area.top(), area.width(), shown.top() - area.top()), background);
        painter.fillRect(QRect(area.left(), shown.bottom() + 1, area.width(), area.bottom() - shown.bottom()),
                         background);
        painter.fillRect(QRect(area.left(), shown.top(), shown.left() - area.left(), shown.height()), background);
        painter.fillRect(QRect(shown.right() + 1, shown.top(), area.right() - shown.right(), shown.height()),
                         background);
    }
    if (shown.isEmpty()) return;
    // The visible part in picture coordinates (top-down), then in stored rows (bottom-up).
    const QRect part = shown.translated(-origin);
    const QRect stored(part.x(), h - part.y() - part.height(), part.width(), part.height());
    painter.translate(origin.x(), origin.y() + h);
    painter.scale(1, -1);
    painter.drawImage(stored.topLeft(), rows, stored);
}

ViewWindow::ViewWindow(Application& app) : app_(app) {
    setWindowTitle(QStringLiteral("Lumra Ex"));
    setAcceptDrops(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    view_ = new PictureView(app_.session().picture, this);
    animation_ = new AnimationPlayer(app_.session().picture, [this] { view_->viewport()->update(); }, this);
    view_->SetAnimation(animation_);
    layout->addWidget(view_);
    setFocusProxy(view_);
    ApplyBackground();
    strip_ = new ToolBarStrip(this, [this](int id) { Command(id); }, [this] { setFocus(); });
    strip_->hide();
    ApplyAlwaysOnTop();

    // The first client area: 400 x 300 centred on the screen under the pointer.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect monitor = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const QRect bounds = AvailableArea();
    QRect client(monitor.left() + (monitor.width() - kNoPictureWidth) / 2,
                 monitor.top() + (monitor.height() - kNoPictureHeight) / 2, kNoPictureWidth, kNoPictureHeight);
    client.setWidth(std::min(client.width(), bounds.width()));
    client.setHeight(std::min(client.height(), bounds.height()));
    client.moveRight(std::min(client.right(), bounds.right()));
    client.moveBottom(std::min(client.bottom(), bounds.bottom()));
    client.moveLeft(std::max(client.left(), bounds.left()));
    client.moveTop(std::max(client.top(), bounds.top()));
    setGeometry(client);
}

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

void ViewWindow::ApplyBackground() { view_->SetBackground(app_.session().settings.vwin.bgColor); }

void ViewWindow::Command(int id) {
    app_.EnsureCursorShown();
    Session& session = app_.session();
    if (session.displayMode == kEditWindow) {
        app_.EditWindowCommand(id);
        return;
    }
    Settings& settings = session.settings;
    switch (id) {
        case kCmdOpen:
            app_.OpenPictureDialog();
            break;
        case kCmdReopen:
            app_.Reopen();
            break;
        case kCmdSaveAs:
            if (session.picture.HasPicture()) app_.SavePictureAs();
            break;
        case kCmdSaveRotateRight:
        case kCmdSaveRotateLeft:
            if (session.picture.HasPicture() && session.picture.image.sourceFormat == kFormatJpeg &&
                session.operationState == 0) {
                app_.LosslessRotate(id == kCmdSaveRotateRight);
            }
            break;
        case kCmdPaste:
            app_.PasteFromClipboard();
            break;
        case kCmdComment:
            if (session.picture.HasPicture() && session.operationState == 0) ShowCommentEditor(app_);
            break;
        case kCmdTextData:
            if (session.picture.HasPicture() && session.picture.image.sourceFormat == kFormatJpeg &&
                session.picture.flags.hasText) {
                ShowExifViewer(app_);
            } else if (session.picture.HasPicture() && session.picture.image.sourceFormat == kFormatPng &&
                       session.picture.flags.hasText) {
                ShowPngTextViewer(app_, this, session.picture.path);
            }
            break;
        case kCmdColorCount:
            app_.ShowColourCount();
            break;
        case kCmdDelete:
            app_.DeleteCurrentFile();
            break;
        case kCmdFileList:
            app_.ShowFileList();
            break;
        case kCmdAlwaysOnTop:
            settings.awin.top = (settings.awin.top & 1) ^ 1;
            ApplyAlwaysOnTop();
            break;
        case kCmdToolBar:
            settings.vwin.vtBar = (settings.vwin.vtBar & 1) ^ 1;
            break;
        case kCmdBgWhite:
        case kCmdBgLightGray:
        case kCmdBgGray:
        case kCmdBgDarkGray:
        case kCmdBgBlack:
            settings.vwin.bgColor = id - kCmdBgWhite;
            ApplyBackground();
            break;
        case kCmdOptions:
            app_.RunOptionsDialog();
            break;
        case kCmdHelp:
            app_.ShowHelp();
            break;
        case kCmdMouseHelp:
            app_.ShowMouseInfo();
            break;
        case kCmdVersion:
            app_.ShowVersion();
            break;
        case kCmdFullScreen:
            if (isMinimized()) {
                showNormal();
            } else if (session.displayMode == kFullScreen) {
                app_.StopSlideShow();
                app_.LeaveFullScreenToReturnMode();
            } else {
                app_.EnterFullScreen();
            }
            break;
        case kCmdMinimize:
            if (isMinimized()) {
                showNormal();
            } else {
                app_.StopSlideShow();
                showMinimized();
            }
            break;
        case kCmdExit:
            app_.StopSlideShow();
            close();
            break;
        case kCmdFirst:
        case kCmdLast:
        case kCmdPrevious:
        case kCmdNext:
            app_.NavigateCommand(id - kCmdFirst);
            break;
        default:
            if (id >= kCmdTool1 && id <= kCmdTool8) app_.RunTool(id - kCmdTool1);
            break;
    }
}

void ViewWindow::ApplyAlwaysOnTop() {
    const bool top = (app_.session().settings.awin.top & 1) != 0;
    if (testAttribute(Qt::WA_WState_Created) && windowFlags().testFlag(Qt::WindowStaysOnTopHint) == top) return;
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, top);
    if (shown) show();
}

void ViewWindow::ShowToolBarStrip(bool show) {
    if (show) {
        strip_->FitToClient(width());
        strip_->raise();
        strip_->show();
    } else {
        strip_->hide();
        setFocus();
    }
}

void ViewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    strip_->FitToClient(width());
}

void ViewWindow::contextMenuEvent(QContextMenuEvent* event) {
    app_.ShowMainMenu(event->globalPos(), this);
}

void ViewWindow::RefreshAfterLoad(bool) {
    zoom_ = 10000;
    view_->PictureChanged();
    if (app_.session().displayMode == kMainWindow) AutoSizeWindow();
    view_->viewport()->update();
    app_.UpdateTitles();
    animation_->Start();
}

void ViewWindow::FinalLayout() {
    view_->PictureChanged();
    update();
}

void ViewWindow::ShowWithCommand(int showCommand) {
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
}

void ViewWindow::AutoSizeWindow() {
    const QRect bounds = AvailableArea();
    // The frame the window system adds (nothing known before the first show).
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const int frameLeft = inner.left() - frame.left();
    const int frameTop = inner.top() - frame.top();
    const int frameW = frame.width() - inner.width();
    const int frameH = frame.height() - inner.height();

    const QSize display = view_->DisplaySize();
    int outerW = std::min(display.width() + frameW, bounds.width());
    int outerH = std::min(display.height() + frameH, bounds.height());
    // Keep the client's centre.
    const QPoint centre = inner.center();
    int x = centre.x() - display.width() / 2 - frameLeft;
    int y = centre.y() - display.height() / 2 - frameTop;
    x = x >= bounds.left() ? std::min(x, bounds.left() + bounds.width() - outerW) : bounds.left();
    y = y >= bounds.top() ? std::min(y, bounds.top() + bounds.height() - outerH) : bounds.top();
    setGeometry(x + frameLeft, y + frameTop, outerW - frameW, outerH - frameH);
}

void ViewWindow::EnterFullScreenView() {
    showFullScreen();
    strip_->SetFullScreenLayout(true);
    FinalLayout();
}

void ViewWindow::LeaveFullScreenView() {
    showNormal();
    strip_->SetFullScreenLayout(false);
    strip_->hide();
}

QRect ViewWindow::SourceRect() const {
    const CurrentPicture& picture = app_.session().picture;
    if (!picture.HasPicture()) return QRect(0, 0, kNoPictureWidth, kNoPictureHeight);
    return QRect(0, 0, picture.image.width(), picture.image.height());
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
