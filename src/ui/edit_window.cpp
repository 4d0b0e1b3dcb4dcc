#include "ui/edit_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "document/document.h"
#include "edit/select/selection_tool.h"
#include "shell/command_catalogue.h"
#include "shell/menu_model.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "document/comment_save.h"
#include "ui/app.h"
#include "ui/comment_exif_dialogs.h"
#include "ui/file_list_window.h"
#include "ui/filter_bars.h"
#include "ui/history_window.h"
#include "ui/main_menu.h"
#include "ui/navigator_window.h"
#include "ui/operation_ui.h"
#include "ui/picture_canvas.h"
#include "ui/save_settings_bar.h"
#include "ui/tool_icons.h"
#include "ui/view_window.h"
#include "view/info_text.h"

namespace lumra::ui {

namespace {

constexpr int kZoomFieldWidth = 48;

QRect ToQRect(const ViewRect& r) { return QRect(r.x, r.y, r.w, r.h); }

// The sub-menu of the main pop-up behind a drop-down button of the tool bar.
int MenuOfButton(int id) {
    switch (id) {
        case kEditMenuButton: return kMenuEdit;
        case kTransformMenuButton: return kMenuTransform;
        case kQualityMenuButton: return kMenuQuality;
        default: return 0;
    }
}

const MenuNode* FindNode(const std::vector<MenuNode>& nodes, int id) {
    for (const MenuNode& n : nodes) {
        if (n.id == id) return &n;
        if (const MenuNode* inner = FindNode(n.children, id)) return inner;
    }
    return nullptr;
}

QString ButtonText(int id) {
    switch (id) {
        case kEditMenuButton: return QStringLiteral("編集");
        case kTransformMenuButton: return QStringLiteral("変形");
        case kQualityMenuButton: return QStringLiteral("画質補正");
        case kZoomMenuButton: return QStringLiteral("%");
        case kCmdSideBySide: return QStringLiteral("並べて表示");
        case kCmdSourceView: return QStringLiteral("元の画像(ウィンドウ1)");
        case kCmdPreviewView: return QStringLiteral("プレビュー画像(ウィンドウ2)");
        case kCmdScrollBars: return QStringLiteral("スクロールバー表示");
        case kCmdSelectionView: return QStringLiteral("選択領域表示");
        default: return QString::fromStdString(PlainMenuText(ToolBarTip(id, MenuMode{false, true})));
    }
}

}  // namespace

// ---- EditPane ----

EditPane::EditPane(PictureCanvas* canvas, QWidget* parent) : QFrame(parent), canvas_(canvas) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    canvas_->setParent(this);
    h_ = new QScrollBar(Qt::Horizontal, this);
    v_ = new QScrollBar(Qt::Vertical, this);
    h_->hide();
    v_->hide();
}

QSize EditPane::InnerSize() const {
    const int b = frameWidth();
    return QSize(std::max(width() - 2 * b, 0), std::max(height() - 2 * b, 0));
}

void EditPane::Arrange(bool horizontal, bool vertical, int cw, int ch) {
    const int b = frameWidth();
    const QSize inner = InnerSize();
    canvas_->setGeometry(b, b, cw, ch);
    h_->setVisible(horizontal);
    v_->setVisible(vertical);
    if (horizontal) h_->setGeometry(b, b + ch, cw, inner.height() - ch);
    if (vertical) v_->setGeometry(b + cw, b, inner.width() - cw, ch);
}

// ---- EditWindow ----

EditWindow::EditWindow(Application& app) : QMainWindow(nullptr), app_(app) {
    setWindowTitle(QStringLiteral("Lumra Ex"));
    setAcceptDrops(true);
    // The tool bar rows stay where they are: no menu to hide them.
    setContextMenuPolicy(Qt::NoContextMenu);
    Session& s = session();

    centre_ = new QWidget(this);
    centre_->installEventFilter(this);
    setCentralWidget(centre_);
    for (int i = 0; i < 2; ++i) {
        auto frame = [this, i]() -> CanvasFrame {
            const Session& ss = session();
            if (!ss.picture.HasPicture()) return CanvasFrame{};
            if (i == 0) {
                const ImageBuffer& shown = overlay_.empty() ? ss.picture.image : overlay_;
                return CanvasFrame{&shown, 0, shown.bits()};
            }
            // The selection tool shows its working overlay.
            if (const SelectionTool* t = ActiveSelectionTool(model_); t && !t->overlay.empty())
                return CanvasFrame{&t->overlay, 0, t->overlay.bits()};
            if (model_.active && model_.active->preview && !model_.active->preview->copy.empty()) {
                const ImageBuffer& copy = model_.active->preview->copy;
                return CanvasFrame{&copy, 0, copy.bits()};
            }
            if (const ImageBuffer* own = model_.active ? OperationPicture(model_) : nullptr; own && !own->empty())
                return CanvasFrame{own, 0, own->bits()};
            if (ss.picture.trial.previewShown && !ss.picture.trial.preview.empty()) {
                const ImageBuffer& trial = ss.picture.trial.preview;
                return CanvasFrame{&trial, 0, trial.bits()};
            }
            return CanvasFrame{};
        };
        auto options = [this, i]() {
            CanvasOptions o;
            o.bgColor = session().settings.swin.bgColor;
            // Smooth only while the picture is shown reduced, and never while dragged.
            o.smooth = (vp_.displayW < vp_.pictureW || vp_.displayH < vp_.pictureH) &&
                       gesture_.drag != DragState::RightScroll;
            o.rubberBand = gesture_.drag == DragState::RubberBand && bandPane_ == i;
            return o;
        };
        auto* canvas = new PictureCanvas(vp_, frame, options, nullptr);
        canvas->setObjectName(QString::number(1000 + i));
        panes_[i] = new EditPane(canvas, centre_);
        connect(canvas, &PictureCanvas::mousePressed, this, [this, i](QMouseEvent* e) { PanePress(i, e); });
        connect(canvas, &PictureCanvas::mouseMoved, this, [this, i](QMouseEvent* e) { PaneMove(i, e); });
        connect(canvas, &PictureCanvas::mouseReleased, this, [this, i](QMouseEvent* e) { PaneRelease(i, e); });
        connect(canvas, &PictureCanvas::mouseDoubleClicked, this,
                [this, i](QMouseEvent* e) { PaneDoubleClick(i, e); });
        connect(canvas, &PictureCanvas::wheelTurned, this, [this](QWheelEvent* e) { PaneWheel(e); });
        for (QScrollBar* bar : {panes_[i]->horizontalBar(), panes_[i]->verticalBar()}) {
            connect(bar, &QScrollBar::actionTriggered, this, [this, bar](int action) { ScrollBarInput(bar, action); });
        }
    }
    panes_[1]->hide();

    BuildToolBars(s.settings.swin.rebarRow == 1 ? 1 : 2);
    HostSaveBar();

    // Placement from Swin in the work area of the main window's monitor.
    QScreen* screen = app_.viewWindow() && app_.viewWindow()->screen() ? app_.viewWindow()->screen()
                                                                        : QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const EditWindowPlacement placed =
        PlaceEditWindow(s.settings.swin, ViewRect{work.x(), work.y(), work.width(), work.height()});
    placed_ = ToQRect(placed.rect);
    setGeometry(placed_);
    if (placed.maximised) setWindowState(Qt::WindowMaximized);

    list_ = new FileListWindow(this);
    navigator_ = new NavigatorWindow(this);

    // The worker reports a new preview from its own thread; a worker given up at the end of
    // an operation may outlive the window, so the report goes through the application.
    model_.previewChanged = [guard = QPointer<EditWindow>(this)] {
        QMetaObject::invokeMethod(
            qApp,
            [guard] {
                if (guard) guard->panes_[1]->canvas()->PixelsChanged();
            },
            Qt::QueuedConnection);
    };
    model_.previewBusy = [guard = QPointer<EditWindow>(this)](bool busy) {
        QMetaObject::invokeMethod(
            qApp,
            [guard, busy] {
                if (guard) guard->PreviewBusy(busy);
            },
            Qt::QueuedConnection);
    };
    s.ui.trialPreviewChanged = [this] {
        panes_[1]->canvas()->PixelsChanged();
        UpdateTitle();
    };
    // Escape belongs to the edit window's own handling while it is the main window.
    qApp->installEventFilter(this);
    LayoutPanes(false);
}

EditWindow::~EditWindow() {
    qApp->removeEventFilter(this);
    CancelOperation();
    if (previewWaits_ > 0) QGuiApplication::restoreOverrideCursor();
    session().ui.trialPreviewChanged = nullptr;
    app_.SetSaveFormatListener(nullptr);
    delete history_;
}

Session& EditWindow::session() { return app_.session(); }
const Session& EditWindow::session() const { return const_cast<Application&>(app_).session(); }
bool EditWindow::HasPicture() const { return session().picture.HasPicture(); }
bool EditWindow::OperationActive() const { return session().operationState != 0 || model_.active != nullptr; }

// ---- Tool bars ----

void EditWindow::BuildToolBars(int rows) {
    mainBar_ = new QToolBar(QStringLiteral("ツールバー"), this);
    mainBar_->setObjectName(QStringLiteral("mainBar"));
    mainBar_->setMovable(true);
    mainBar_->setFloatable(false);
    mainBar_->setIconSize(QSize(16, 16));
    for (int id : EditToolBarLayout()) AddButton(id);
    addToolBar(Qt::TopToolBarArea, mainBar_);
    if (rows == 2) addToolBarBreak(Qt::TopToolBarArea);

    // The second band: the save-settings bar, or the running operation's bar.
    bandBar_ = new QToolBar(QStringLiteral("保存設定"), this);
    bandBar_->setObjectName(QStringLiteral("bandBar"));
    bandBar_->setMovable(true);
    bandBar_->setFloatable(false);
    bandCaption_ = new QLabel(QStringLiteral("保存設定"), bandBar_);
    bandCaption_->setContentsMargins(4, 0, 6, 0);
    captionAction_ = bandBar_->addWidget(bandCaption_);
    addToolBar(Qt::TopToolBarArea, bandBar_);
}

void EditWindow::AddButton(int id) {
    if (id == kIdSeparator) {
        mainBar_->addSeparator();
        return;
    }
    if (id == kZoomFieldId) {
        zoomField_ = new QLineEdit(mainBar_);
        zoomField_->setObjectName(QString::number(kZoomFieldId));
        zoomField_->setFixedWidth(kZoomFieldWidth);
        zoomField_->setValidator(new QIntValidator(0, 99999, zoomField_));
        zoomField_->setAlignment(Qt::AlignRight);
        zoomField_->installEventFilter(this);
        connect(zoomField_, &QLineEdit::editingFinished, this, [this] { ZoomFieldEdited(); });
        actions_[id] = mainBar_->addWidget(zoomField_);
        return;
    }
    QAction* action = new QAction(ToolIcon(id), ButtonText(id), mainBar_);
    action->setData(id);
    action->setObjectName(QString::number(id));
    if (const int menuId = MenuOfButton(id)) {
        // A drop-down of the main pop-up's sub-menu.
        const std::vector<MenuNode> tree = BuildMainMenu(session().settings.path, MenuMode{false, true});
        if (const MenuNode* node = FindNode(tree, menuId)) {
            QMenu* menu = BuildMenu(node->children, app_.accelerators(), this).release();
            connect(menu, &QMenu::triggered, this, [this](QAction* a) {
                const int command = a->data().toInt();
                if (command > 0) app_.RunCommand(command);
            });
            connect(menu, &QMenu::aboutToShow, this, [this, menu] {
                RefreshKeyTexts(*menu, app_.accelerators());
                ApplyMenuStates(*menu, app_.CurrentMenuFacts(true, false));
            });
            action->setMenu(menu);
        }
        mainBar_->addAction(action);
        if (auto* button = qobject_cast<QToolButton*>(mainBar_->widgetForAction(action))) {
            button->setPopupMode(QToolButton::InstantPopup);
            // The menus are named, not drawn.
            button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        }
    } else {
        const bool checkable = id == kCmdSideBySide || id == kCmdSourceView || id == kCmdPreviewView ||
                               id == kCmdScrollBars || id == kCmdSelectionView;
        action->setCheckable(checkable);
        connect(action, &QAction::triggered, this, [this, id, action, checkable] {
            // The button shows the state the command leaves, not the click.
            if (checkable) action->setChecked(!action->isChecked());
            if (id == kZoomMenuButton) {
                QWidget* button = mainBar_->widgetForAction(action);
                app_.ShowZoomMenu(button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos());
                return;
            }
            app_.RunCommand(id);
        });
        mainBar_->addAction(action);
        if (auto* button = qobject_cast<QToolButton*>(mainBar_->widgetForAction(action));
            button && id == kZoomMenuButton)
            button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    actions_[id] = action;
}

QAction* EditWindow::ToolAction(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

int EditWindow::rebarRows() const { return toolBarBreak(bandBar_) ? 2 : 1; }

void EditWindow::SetSaveBar(QWidget* bar) {
    if (saveBar_ == bar) return;
    if (saveBar_) {
        for (QAction* a : bandBar_->actions())
            if (bandBar_->widgetForAction(a) == saveBar_) bandBar_->removeAction(a);
    }
    saveBar_ = bar;
    if (bar) {
        bandBar_->addWidget(bar)->setVisible(!operationBar_);
    }
}

void EditWindow::HostSaveBar() {
    saveSettings_ = new SaveSettingsBar(session());
    saveSettings_->SetDialogRunner([this](QDialog& d) { return app_.RunDialog(d); });
    // A narrow window cuts the bar rather than growing for it.
    saveSettings_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    SetSaveBar(saveSettings_);
    captionAction_->setVisible(false);
    connect(saveSettings_, &SaveSettingsBar::previewDone, this, [this](bool ok) { ShowPreviewResult(ok); });
    connect(saveSettings_, &SaveSettingsBar::transparentPickRequested, this, [this] { StartTransparentPick(); });
    connect(saveSettings_, &SaveSettingsBar::commentRequested, this, [this] { CreateComment(); });
    connect(saveSettings_, &SaveSettingsBar::keysSuspendedChanged, this,
            [this](bool suspended) { app_.SetAcceleratorsSuspended(suspended); });
    // The save dialog's type change moves the bar's format.
    app_.SetSaveFormatListener([guard = QPointer<SaveSettingsBar>(saveSettings_)] {
        if (guard) guard->Refresh();
    });
}

void EditWindow::CreateComment() {
    Session& s = session();
    CommentCreateDialog dialog(this, s.picture.commentText);
    if (app_.RunDialog(dialog) == QDialog::Accepted) SetPendingComment(s, dialog.text());
    saveSettings_->Refresh();
}

void EditWindow::SetOperationBar(QWidget* bar) {
    if (operationBar_ && operationBar_ != bar) {
        for (QAction* a : bandBar_->actions())
            if (bandBar_->widgetForAction(a) == operationBar_) bandBar_->removeAction(a);
        operationBar_->deleteLater();
    }
    operationBar_ = bar;
    if (bar) bandBar_->addWidget(bar);
    const bool running = model_.active != nullptr;
    const char* caption = running && model_.active->def->historyName ? model_.active->def->historyName : nullptr;
    bandCaption_->setText(bar || running ? QString::fromUtf8(caption ? caption : "") : QStringLiteral("保存設定"));
    bandBar_->setWindowTitle(bandCaption_->text());
    // The bars bring their own caption.
    captionAction_->setVisible(!bar && (running || !saveBar_));
    for (QAction* a : bandBar_->actions()) {
        if (saveBar_ && bandBar_->widgetForAction(a) == saveBar_) a->setVisible(!bar && !running);
    }
    // Its commands wait while an operation runs.
    if (saveSettings_) saveSettings_->Refresh();
}

void EditWindow::WriteZoomField() {
    writingZoom_ = true;
    zoomField_->setText(QString::number(vp_.zoom / 100));
    writingZoom_ = false;
}

void EditWindow::ZoomFieldEdited() {
    if (writingZoom_ || !HasPicture()) return;
    // A typed zoom is held to the zoom's range, never refused.
    const int typed = zoomField_->text().toInt();
    vp_.zoom = std::clamp(typed * 100, kZoomMin, kZoomMax);
    LayoutPanes(true);
    WriteZoomField();
    UpdateTitle();
}

void EditWindow::UpdateToolBar() {
    const Session& s = session();
    EditToolBarFacts f;
    f.hasPicture = HasPicture();
    f.operationKind = s.operationState;
    f.historyPosition = s.history.position;
    f.historyCount = s.history.entries;
    f.layout = model_.layout;
    f.scrollBars = (s.settings.swin.scrlBar & 1) != 0;
    f.selectionShown = selectionShown_;
    f.hasSelection = !s.picture.selection.empty();
    if (model_.active && strokeState_) std::tie(f.strokeUndo, f.strokeRedo) = strokeState_();
    for (const auto& [id, action] : actions_) {
        const ToolButtonState state = EditToolButtonState(id, f);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    }
    zoomField_->setEnabled(EditToolButtonState(kZoomFieldId, f).enabled);
}

void EditWindow::UpdateTitle() {
    const Session& s = session();
    const bool showSize = s.picture.trial.previewShown && s.operationState == 0;
    setWindowTitle(QString::fromStdString(EditWindowTitle(s.picture, s.history, showSize, s.picture.trial.size)));
    if (history_ && history_->isVisible()) history_->Fill(s.history);
}

int EditWindow::ToolBarBottom() const { return centre_->mapToGlobal(QPoint(0, 0)).y(); }

void EditWindow::StoreGeometry(SwinSettings& swin) const {
    QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    // A window maximised before it was ever shown has no normal rectangle of its own yet.
    if (!normal.isValid() || normal.isEmpty()) normal = placed_;
    swin.max = isMaximized() ? 1 : 0;
    swin.x = normal.x();
    swin.y = normal.y();
    swin.w = normal.width();
    swin.h = normal.height();
    swin.rebarRow = rebarRows();
}

// ---- Panes ----

QSize EditWindow::PaneSize() const {
    const PaneRects r = LayoutPaneRects(model_.layout, centre_->width(), centre_->height(), 0);
    const EditPane* first = r.sourceShown ? panes_[0] : panes_[1];
    const int b = first->frameWidth();
    return QSize(std::max(r.first().w - 2 * b, 1), std::max(r.first().h - 2 * b, 1));
}

void EditWindow::SyncPicture() {
    const ImageBuffer& image = session().picture.image;
    if (HasPicture()) SetPictureSize(vp_, image.width(), image.height());
}

void EditWindow::LayoutPanes(bool rescale) {
    const PaneRects r = LayoutPaneRects(model_.layout, centre_->width(), centre_->height(), 0);
    panes_[0]->setGeometry(ToQRect(r.source));
    panes_[1]->setGeometry(ToQRect(r.preview));
    panes_[0]->setVisible(r.sourceShown);
    panes_[1]->setVisible(r.previewShown);
    if (!HasPicture()) {
        const QSize pane = PaneSize();
        for (EditPane* p : panes_) p->Arrange(false, false, pane.width(), pane.height());
        RepaintPanes();
        return;
    }
    if (!rescale) return;
    SyncPicture();
    UpdateDisplaySize(vp_);
    UpdateScrollBars();
    RepaintPanes();
}

void EditWindow::UpdateScrollBars() {
    const QSize pane = PaneSize();
    const bool barsOn = (session().settings.swin.scrlBar & 1) != 0;
    ScrollBarChoice c{false, false, pane.width(), pane.height()};
    if (barsOn && HasPicture()) {
        const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        c = ChooseScrollBars(pane.width(), pane.height(), vp_.displayW, vp_.displayH, extent, extent);
    }
    vp_.clientW = std::max(c.clientW, 1);
    vp_.clientH = std::max(c.clientH, 1);
    Layout(vp_);
    const ScrollBarRange hr = BarRange(c.horizontal, vp_.pictureW, vp_.src.x, vp_.src.w);
    const ScrollBarRange vr = BarRange(c.vertical, vp_.pictureH, vp_.src.y, vp_.src.h);
    // Qt's range is the origin's: 0 ... maximum - page + 1.
    auto apply = [](QScrollBar* bar, const ScrollBarRange& r) {
        const QSignalBlocker block(bar);
        if (r.maximum < r.minimum) {
            bar->setRange(0, 0);
            return;
        }
        bar->setRange(r.minimum, std::max(r.maximum - r.page + 1, r.minimum));
        bar->setPageStep(std::max(r.page, 1));
        bar->setSingleStep(20);
        bar->setValue(r.position);
    };
    for (EditPane* p : panes_) {
        p->Arrange(c.horizontal, c.vertical, vp_.clientW, vp_.clientH);
        apply(p->horizontalBar(), hr);
        apply(p->verticalBar(), vr);
    }
}

void EditWindow::RepaintPanes() {
    for (EditPane* p : panes_)
        if (p->isVisible()) p->canvas()->update();
}

void EditWindow::SetPaneLayout(int layout) {
    model_.layout = layout;
    LayoutPanes(true);
    UpdateToolBar();
}

void EditWindow::Refresh(bool pictureChanged) {
    Session& s = session();
    model_.layout = kPaneSourceOnly;
    LayoutPanes(false);
    for (EditPane* p : panes_) {
        if (pictureChanged) {
            p->canvas()->NewPicture(s.picture.image.bits());
        } else {
            p->canvas()->PixelsChanged();
        }
    }
    RebuildOverlay();
    if (HasPicture()) {
        SyncPicture();
        if (pictureChanged) {
            const SwinSettings& sw = s.settings.swin;
            if (!(sw.swZoom & 1)) vp_.zoom = kZoomActual;
            const QSize pane = PaneSize();
            QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
            const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
            FitOnChange(vp_, sw.swSmall & 1, sw.swLarge & 1, pane.width(), pane.height(), screenSize.width(),
                        screenSize.height());
            vp_.scrollShift = EditScrollShift(vp_.pictureW, vp_.pictureH, screenSize.width(), screenSize.height());
        } else {
            UpdateDisplaySize(vp_);
        }
        UpdateScrollBars();
    }
    RepaintPanes();
    if (s.picture.trial.previewShown) DiscardTrialSave(s);
    if (saveSettings_) saveSettings_->Refresh();
    WriteZoomField();
    UpdateToolBar();
    UpdateTitle();
}

void EditWindow::RebuildOverlay() {
    overlay_ = ImageBuffer{};
    const CurrentPicture& pic = session().picture;
    if (!selectionShown_ || !pic.HasPicture()) return;
    if (pic.selection.size() != static_cast<size_t>(pic.image.width()) * static_cast<size_t>(pic.image.height()))
        return;
    overlay_ = RenderOverlay(WidenTo24(pic.image), pic.selection.data());
}

// ---- Commands ----

void EditWindow::Command(int id) {
    app_.EnsureCursorShown();
    if (id == kCmdOperationOk || id == kCmdOperationCancel) {
        EndOperationCommand(id == kCmdOperationOk);
        return;
    }
    // A right drag holds every command.
    if (RightDragActive(gesture_) || gesture_.drag == DragState::RubberBand) return;
    const bool active = OperationActive();
    if (active && operationCommand_ && operationCommand_(id)) {
        UpdateToolBar();
        return;
    }
    if (active && BlockedDuringOperation(id)) return;
    if (IsEditViewCommand(id)) {
        ViewCommand(id);
        return;
    }
    switch (id) {
        case kCmdUndo:
        case kCmdRedo:
            Undo(id == kCmdUndo ? -1 : 1);
            return;
        case kCmdHistoryWindow:
            ShowHistoryWindow();
            return;
        case kCmdMinimize:
            Minimise();
            return;
        case kCmdDeselect:
            if (ClearSelection(session())) {
                RebuildOverlay();
                panes_[0]->canvas()->PixelsChanged();
                UpdateToolBar();
            }
            return;
        default:
            break;
    }
    if (FindOperationByCommand(id)) {
        RunOperationCommand(id);
        return;
    }
    if (FindImmediate(id)) {
        RunImmediate(id);
        return;
    }
    RunShared(id);
}

void EditWindow::RunShared(int id) {
    if (!app_.CommandEnabled(id)) return;
    app_.RunSharedCommand(id);
    if (id == kCmdAlwaysOnTop && session().displayMode == kEditWindow) {
        raise();
        activateWindow();
    }
}

void EditWindow::ViewCommand(int id) {
    Session& s = session();
    if (IsZoomCommand(id)) {
        ZoomCommand(id);
        return;
    }
    switch (id) {
        case kCmdScrollLeft:
        case kCmdScrollRight:
        case kCmdScrollUp:
        case kCmdScrollDown:
            if (HasPicture() && ScrollCommand(vp_, id)) {
                RepaintPanes();
                UpdateScrollBars();
                if (viewMoved_) viewMoved_();
            }
            break;
        case kCmdFirst:
        case kCmdLast:
        case kCmdPrevious:
        case kCmdNext:
            if (!OperationActive()) app_.NavigateCommand(id - kCmdFirst);
            break;
        case kCmdScrollBars:
            ToggleScrollBars();
            break;
        case kCmdSideBySide:
        case kCmdSourceView:
        case kCmdPreviewView:
            if (LayoutLocked()) break;
            if (model_.layout != id - kCmdSideBySide) SetPaneLayout(id - kCmdSideBySide);
            else UpdateToolBar();
            break;
        case kCmdSelectionView:
            selectionShown_ = !selectionShown_;
            RebuildOverlay();
            panes_[0]->canvas()->PixelsChanged();
            UpdateToolBar();
            break;
        case kCmdPreview:
            Preview();
            break;
        case kCmdEditWindow:
            if (OperationActive()) break;
            if (isMinimized()) {
                showNormal();
            } else {
                app_.SwitchToMainWindow();
            }
            break;
        case kCmdCenter:
            Centre();
            break;
        default:
            if (id >= kCmdBgWhite && id <= kCmdBgBlack) {
                s.settings.swin.bgColor = id - kCmdBgWhite;
                RepaintPanes();
            }
            break;
    }
}

void EditWindow::ZoomCommand(int id) {
    if (!HasPicture()) return;
    SyncPicture();
    int fit = 0;
    if (id == kCmdFit || (id == kCmdToggleFit && vp_.zoom == kZoomActual)) {
        // The full pane, without the scroll bars.
        const QSize pane = PaneSize();
        fit = FitZoom(vp_.pictureW, vp_.pictureH, pane.width(), pane.height());
    }
    vp_.zoom = ZoomAfterCommand(id, vp_.zoom, fit);
    LayoutPanes(true);
    WriteZoomField();
}

void EditWindow::ToggleScrollBars() {
    SwinSettings& sw = session().settings.swin;
    sw.scrlBar = (sw.scrlBar & 1) ? 0 : 1;
    UpdateScrollBars();
    RepaintPanes();
    UpdateToolBar();
}

void EditWindow::ScrollBarInput(QScrollBar* bar, int action) {
    if (!HasPicture()) return;
    const bool horizontal = bar->orientation() == Qt::Horizontal;
    BarInput input = BarInput::ThumbPosition;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: input = BarInput::LineBack; break;
        case QAbstractSlider::SliderSingleStepAdd: input = BarInput::LineForward; break;
        case QAbstractSlider::SliderPageStepSub: input = BarInput::PageBack; break;
        case QAbstractSlider::SliderPageStepAdd: input = BarInput::PageForward; break;
        case QAbstractSlider::SliderMove: input = BarInput::Track; break;
        case QAbstractSlider::SliderToMinimum: input = BarInput::Top; break;
        case QAbstractSlider::SliderToMaximum: input = BarInput::Bottom; break;
        default: break;
    }
    const int old = horizontal ? vp_.src.x : vp_.src.y;
    const int len = horizontal ? vp_.src.w : vp_.src.h;
    const int picture = horizontal ? vp_.pictureW : vp_.pictureH;
    const int target = BarTarget(input, old, len, picture, bar->sliderPosition());
    if (target != old) {
        if (horizontal) {
            Scroll(vp_, target - old, 0);
        } else {
            Scroll(vp_, 0, target - old);
        }
        RepaintPanes();
        if (viewMoved_) viewMoved_();
    }
    // The bar keeps the view's position, not its own idea of it.
    UpdateScrollBars();
    bar->setSliderPosition(horizontal ? vp_.src.x : vp_.src.y);
}

void EditWindow::Preview() {
    if (!HasPicture() || OperationActive()) return;
    ShowPreviewResult(TrialSave(session()));
}

void EditWindow::ShowPreviewResult(bool ok) {
    if (!ok) {
        UpdateTitle();
        return;
    }
    panes_[1]->canvas()->PixelsChanged();
    if (model_.layout != kPanesSideBySide) {
        SetPaneLayout(kPanesSideBySide);
    } else {
        RepaintPanes();
    }
    UpdateTitle();
}

void EditWindow::Undo(int delta) {
    Session& s = session();
    // A brush tool's strokes have their own history; other operations hold it.
    if (OperationActive() || !HasPicture()) return;
    bool sizeChanged = false;
    if (!StepHistory(s, delta, &sizeChanged)) return;
    AfterHistoryStep(sizeChanged);
}

void EditWindow::AfterHistoryStep(bool sizeChanged) {
    if (session().displayMode == kEditWindow) {
        Refresh(sizeChanged);
    } else if (ViewWindow* view = app_.viewWindow()) {
        view->RefreshAfterLoad(sizeChanged);
    }
    app_.UpdateTitles();
}

void EditWindow::RunOperationCommand(int id) {
    if (const OperationDef* def = FindOperationByCommand(id)) StartOperation(*def);
}

bool EditWindow::StartOperation(const OperationDef& def) {
    Session& s = session();
    // A row without its functions yet is simply not available.
    if (!def.start || OperationActive() || !HasPicture()) return false;
    if (FileListWindow* list = app_.fileListWindow(); list && list->isVisible()) list->hide();
    bool started = false;
    if (FilterStartWaits(def.kind)) {
        // A start that computes for a while: "wait..." and the wait cursor meanwhile.
        const QString title = windowTitle();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        setWindowTitle(QStringLiteral("wait..."));
        started = BeginOperation(model_, s, def);
        QGuiApplication::restoreOverrideCursor();
        setWindowTitle(title);
    } else {
        started = BeginOperation(model_, s, def);
    }
    if (!started) {
        UpdateTitle();
        return false;
    }
    const OperationUi* ui = FindOperationUi(def.kind);
    if (ui && ui->seed) {
        ui->seed(s, model_);
        RequestRecompute(model_);
    }
    SetOperationBar(barFactory_ ? barFactory_(model_, def) : MakeOperationBar(*this, model_, def));
    panes_[1]->canvas()->PixelsChanged();
    SetPaneLayout(model_.layout);
    UpdateTitle();
    return true;
}

void EditWindow::PreviewBusy(bool busy) {
    const int before = previewWaits_;
    previewWaits_ = std::max(0, previewWaits_ + (busy ? 1 : -1));
    if (before == 0 && previewWaits_ > 0) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (before > 0 && previewWaits_ == 0) QGuiApplication::restoreOverrideCursor();
}

void EditWindow::EndOperationCommand(bool ok) {
    Session& s = session();
    if (!model_.active) return;
    const OperationUi* ui = FindOperationUi(model_.active->def->kind);
    if (ok && ui && ui->store) ui->store(s, model_);
    const EndResult r = EndOperation(model_, s, ok);
    if (ui && ui->ended) ui->ended(*this);
    const bool changed = r.changed;
    const bool sizeChanged = r.sizeChanged;
    SetOperationBar(nullptr);
    app_.SetAcceleratorsSuspended(false);
    if (changed) {
        Refresh(sizeChanged);
    } else {
        SetPaneLayout(kPaneSourceOnly);
        panes_[1]->canvas()->PixelsChanged();
    }
    UpdateToolBar();
    UpdateTitle();
}

void EditWindow::CancelOperation() {
    if (!model_.active) return;
    const OperationUi* ui = FindOperationUi(model_.active->def->kind);
    EndOperation(model_, session(), false);
    if (ui && ui->ended) ui->ended(*this);
    if (!closing_) SetOperationBar(nullptr);
}

void EditWindow::RunImmediate(int id) {
    Session& s = session();
    const ImmediateDef* def = FindImmediate(id);
    if (!def || !def->apply || OperationActive() || !HasPicture()) return;
    const int w = s.picture.image.width();
    const int h = s.picture.image.height();
    if (def->apply(s) != 0) return;
    Refresh(s.picture.image.width() != w || s.picture.image.height() != h);
}

void EditWindow::Minimise() {
    if (isMinimized()) {
        showNormal();
        return;
    }
    showMinimized();
}

void EditWindow::Centre() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect work = screen->availableGeometry();
        const QRect outer = frameGeometry();
        move(work.left() + (work.width() - outer.width()) / 2, work.top() + (work.height() - outer.height()) / 2);
    }
    raise();
    activateWindow();
    if (QWidget* list = app_.activeFileList(); list && list->isVisible()) app_.PlaceFileList();
}

// ---- The history window ----

bool EditWindow::LayoutLocked() const { return model_.active && layoutLock_ && layoutLock_(); }

bool EditWindow::historyWindowOpen() const { return history_ && history_->isVisible(); }

void EditWindow::ShowHistoryWindow() {
    Session& s = session();
    if (!HasPicture() || s.history.entries == 0 || OperationActive()) return;
    if (FileListWindow* list = app_.fileListWindow(); list && list->isVisible()) list->hide();
    if (!history_) {
        history_ = new HistoryWindow(
            [this](int delta) {
                bool sizeChanged = false;
                if (!StepHistory(session(), delta, &sizeChanged)) return false;
                AfterHistoryStep(sizeChanged);
                return true;
            },
            [this] {
                QWidget* main = session().displayMode == kEditWindow ? static_cast<QWidget*>(this)
                                                                     : app_.viewWindow();
                if (main) main->setEnabled(true);
                app_.SetAcceleratorsSuspended(false);
            });
    }
    history_->Fill(s.history);
    // Left of the tool bars in the edit window, left of the main window otherwise.
    QWidget* main = s.displayMode == kEditWindow ? static_cast<QWidget*>(this) : app_.viewWindow();
    int left = 0;
    int top = 0;
    if (s.displayMode == kEditWindow) {
        const QPoint bar = mainBar_->mapToGlobal(QPoint(0, 0));
        left = bar.x();
        top = ToolBarBottom();
    } else if (main) {
        const QRect outer = main->frameGeometry();
        left = outer.left();
        top = outer.top() + 24 + (s.displayMode == kFullScreen ? 0 : main->geometry().top() - outer.top());
    }
    QScreen* screen = main && main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    const int monitorLeft = screen ? screen->geometry().left() : 0;
    const ViewPoint at = PlaceHistoryWindow(left, top, monitorLeft);
    history_->move(at.x, at.y);
    if (main) main->setEnabled(false);
    // Keys go to the list while it is up.
    app_.SetAcceleratorsSuspended(true);
    history_->show();
    history_->raise();
    history_->activateWindow();
}

// ---- Window events ----

void EditWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (closing_) return;
    CancelOperation();
    // The program closes through the main window, which asks about changes.
    if (ViewWindow* view = app_.viewWindow()) view->close();
}

void EditWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Losing the window loses the pick's capture.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && pick_.armed) EndColourPick(false);
    if (event->type() == QEvent::WindowStateChange && isMaximized() && LayoutLocked()) {
        // Refused while the trimming tool is placing its rectangle.
        QMetaObject::invokeMethod(this, [this] { showNormal(); }, Qt::QueuedConnection);
        return;
    }
    if (event->type() == QEvent::WindowStateChange && isMaximized()) {
        if (QWidget* list = app_.activeFileList(); list && list->isVisible() && list->parent() == this)
            app_.PlaceFileList();
    }
}

bool EditWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        session().displayMode == kEditWindow && watched->isWidgetType() && !QApplication::activeModalWidget() &&
        !QApplication::activePopupWidget()) {
        // Escape cancels the operation, else closes the history window, else does nothing.
        QWidget* window = static_cast<QWidget*>(watched)->window();
        if (window == this || window == history_) {
            if (pick_.armed) {
                EndColourPick(false);
            } else if (model_.active) {
                Command(kCmdOperationCancel);
            } else if (historyWindowOpen()) {
                history_->close();
            }
            return true;
        }
    }
    if (watched == centre_ && event->type() == QEvent::Resize) {
        LayoutPanes(true);
    } else if (watched == zoomField_) {
        // An edit box with the focus holds the keys for itself.
        if (event->type() == QEvent::FocusIn) app_.SetAcceleratorsSuspended(true);
        if (event->type() == QEvent::FocusOut) app_.SetAcceleratorsSuspended(false);
    }
    return QMainWindow::eventFilter(watched, event);
}

void EditWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!OperationActive() && !FirstLocalFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void EditWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!OperationActive() && !FirstLocalFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void EditWindow::dropEvent(QDropEvent* event) {
    const QString file = FirstLocalFile(event->mimeData());
    if (file.isEmpty() || OperationActive()) return;
    event->acceptProposedAction();
    OpenDroppedFile(app_, this, file);
}

}  // namespace lumra::ui
