#include "ui/app.h"

#include <algorithm>
#include <optional>
#include <cstdlib>
#include <filesystem>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "document/document.h"
#include "formats/plugin_host.h"
#include "formats/reduce.h"
#include "ui/comment_exif_dialogs.h"
#include "platform/paths.h"
#include "shell/ini_file.h"
#include "shell/settings.h"
#include "ui/accelerators.h"
#include "ui/animation.h"
#include "ui/first_view_loader.h"
#include "ui/clipboard.h"
#include "ui/command_router.h"
#include "ui/edit_window.h"
#include "ui/file_dialogs.h"
#include "ui/file_list_controller.h"
#include "ui/file_list_window.h"
#include "ui/main_menu.h"
#include "ui/message_box.h"
#include "ui/mode_controller.h"
#include "ui/mouse_info_dialog.h"
#include "ui/navigator_window.h"
#include "view/navigator.h"
#include "ui/single_instance.h"
#include "ui/slide_show_controller.h"
#include "ui/tool_bar_strip.h"
#include "ui/view_window.h"
#include "view/info_text.h"
#include "view/preload_cache.h"

namespace lumra::ui {

namespace {

std::string CurrentFolder() {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string() : cwd.string();
}

}  // namespace

Application::Application() {
    box_ = [](QWidget* owner, const BoxRequest& request) { return RunMessageBox(owner, request); };
    dialog_ = [](QDialog& dialog) { return dialog.exec(); };
    menuFn_ = [](QMenu& menu, const QPoint& at) { return menu.exec(at); };
    url_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    start_ = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    quit_ = [] { QCoreApplication::exit(0); };
    modes_ = std::make_unique<ModeController>(*this);
    slides_ = new SlideShowController(*this);
    files_ = new FileListController(*this);

    UiHooks& hooks = session_.ui;
    hooks.setTitle = [this](const std::string& title) {
        if (view_) view_->setWindowTitle(QString::fromStdString(title));
    };
    hooks.title = [this]() { return view_ ? view_->windowTitle().toStdString() : std::string(); };
    hooks.setWaitCursor = [this](bool wait) {
        if (wait && !waitCursor_) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            waitCursor_ = true;
        } else if (!wait && waitCursor_) {
            QGuiApplication::restoreOverrideCursor();
            waitCursor_ = false;
        }
    };
    hooks.showError = [this](int code) { ShowError(view_.get(), code); };
    hooks.animationStopped = [this] {
        if (view_ && view_->animation()) view_->animation()->Stop();
    };
    hooks.reportCodecError = [this](int code, const std::string& text) {
        const BoxRequest box = CodecErrorBox(code, text);
        if (!box.text.empty()) ShowBox(view_.get(), box);
    };
    hooks.savedFile = [this](const std::string& path) { SavedFile(path); };

    // The menus follow a change of the desktop's font.
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { OnAppActivated(state == Qt::ApplicationActive); });
}

bool Application::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationFontChange && mainMenu_) ApplyMenuFont(*mainMenu_);
    if (editDeferred_) {
        switch (event->type()) {
            case QEvent::Paint:
                // Made once the main window's paint of its picture is done.
                if (!editPosted_ && view_ && watched->isWidgetType() &&
                    static_cast<QWidget*>(watched)->window() == view_.get() && !firstViewWaiting()) {
                    editPosted_ = true;
                    QTimer::singleShot(0, this, [this] { EnsureEditWindow(); });
                }
                break;
            case QEvent::KeyPress:
            case QEvent::ShortcutOverride:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::DragEnter:
                EnsureEditWindow();
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

Application::~Application() {
    // The windows go before the list's model (the controller's, with the folder read).
    acceleratorFilter_.reset();
    mainMenu_.reset();
    router_.reset();
    firstView_.reset();
    edit_.reset();
    view_.reset();
    if (waitCursor_) QGuiApplication::restoreOverrideCursor();
}

bool Application::StartUp(const StartOptions& options) {
    // Only the program's own executable runs, and only with a place for its settings.
    const std::string settingsPath = IsProgramName(FileNamePart(options.executablePath))
                                         ? LocateSettingsFile(options.executablePath)
                                         : std::string();
    if (settingsPath.empty()) {
        ShowBox(nullptr, StartupFailureBox());
        return false;
    }
    session_.settingsPath = settingsPath;
    startFolder_ = options.currentFolder;
    executablePath_ = options.executablePath;

    IniFile ini;
    ini.Load(settingsPath);

    // Single instance.
    const QString serverName = InstanceServerName(settingsPath);
    const bool dual = StoredDual(ini);
    if (dual) {
        const HandOver message = MakeHandOver(
            options.args, options.currentFolder.empty() ? CurrentFolder() : options.currentFolder);
        if (ContactRunningInstance(serverName, &message) != ProbeResult::NoInstance) return false;
    }
    // Register as the instance to hand over to, unless another one already is.
    if (dual || ContactRunningInstance(serverName, nullptr) == ProbeResult::NoInstance) {
        auto server = std::make_unique<InstanceServer>([this](const HandOver& m) { ReceiveHandOver(m); });
        if (server->Listen(serverName)) server_ = std::move(server);
    }

    ScreenFacts screen;
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        screen.width = primary->geometry().width();
        screen.height = primary->geometry().height();
    }
    // The picture named at start is decoded reduced to cover the biggest screen meanwhile.
    firstViewAhead_ = options.firstViewAhead;
    if (firstViewAhead_) {
        int boundW = 0, boundH = 0;
        for (const QScreen* each : QGuiApplication::screens()) {
            boundW = std::max(boundW, each->geometry().width());
            boundH = std::max(boundH, each->geometry().height());
        }
        firstViewAhead_->Start(boundW, boundH);
    }
    screen.documentsFolder = DocumentsFolder();
    screen.pluginFolder = InstalledPluginFolder(options.executablePath);
    LoadSettings(ini, screen, session_.settings);
    session_.lastFolder = session_.settings.path.open.empty() ? DocumentsFolder() : session_.settings.path.open;
    cursorShown_ = 1;
    accelerators_ = LoadAccelerators(ini);
    InstallKeysAndMenus();

    view_ = std::make_unique<ViewWindow>(*this);
    router_ = std::make_unique<CommandRouter>(*this, *view_);
    firstView_ = std::make_unique<FirstViewLoader>(session_);
    connect(firstView_.get(), &FirstViewLoader::finished, this,
            [this](std::vector<uint32_t> copy, int w, int h) {
                if (view_) view_->FullPictureArrived(std::move(copy), w, h);
                RefreshAroundPicture();
            });
    connect(firstView_.get(), &FirstViewLoader::previewReady, this, [this] {
        if (view_) view_->pictureView()->update();
    });
    connect(firstView_.get(), &FirstViewLoader::failed, this, [this](bool openedOtherwise) {
        if (openedOtherwise) {
            ShowLoadResult(true);
            return;
        }
        // The picture before is back, shown as it was.
        if (view_ && keptView_) view_->RestoreView(*keptView_);
        ShowLoadResult(false);
    });
    session_.displayMode = kMainWindow;
    files_->Create();

    startingUp_ = true;
    RunSteps(DispatchCommandLine(options.args, options.showCommand));
    startingUp_ = false;
    firstViewAhead_.reset();
    if (closed_) return false;

    if (session_.settings.awin.mouseInfo & 1) ShowMouseInfo();
    return !closed_;
}

BoxResult Application::ShowBox(QWidget* owner, const BoxRequest& request) {
    // In edit mode the edit window is the main window: it owns the boxes.
    if (owner && owner == view_.get() && session_.displayMode == kEditWindow && OwnEditWindow()) owner = edit_.get();
    QPointer<QWidget> list = activeFileList_;
    const bool disable = list && list->isVisible();
    if (disable) list->setEnabled(false);
    EnsureCursorShown();
    const BoxResult result = box_(owner, request);
    if (disable && list && list->isVisible()) list->setEnabled(true);
    return result;
}

void Application::ShowError(QWidget* owner, int code) { ShowBox(owner, ErrorBox(code)); }

int Application::RunDialog(QDialog& dialog) {
    UseDialogFrame(dialog);
    return dialog_(dialog);
}

void Application::HideCursor() {
    cursorShown_ = 0;
    if (!view_) return;
    view_->setCursor(Qt::BlankCursor);
    view_->pictureView()->viewport()->setCursor(Qt::BlankCursor);
}

void Application::EnsureCursorShown() {
    if (cursorShown_ == 1) return;
    cursorShown_ = 1;
    ShowCursorNow();
}

void Application::ShowCursorNow() {
    if (!view_) return;
    view_->unsetCursor();
    view_->pictureView()->viewport()->unsetCursor();
}

int Application::AskSaveChanges() {
    if (!session_.history.IsModified()) return 1;
    return SaveChangesAnswer(ShowBox(view_.get(), SaveChangesBox(session_.picture.fileName)));
}

bool Application::SaveChangesFirst() {
    switch (AskSaveChanges()) {
        case 0: return false;
        case 2: return SavePictureAs();
        default: return true;
    }
}

void Application::RefreshAfterLoad() {
    if (session_.displayMode == kEditWindow) {
        RefreshEditWindow();
    } else if (view_) {
        view_->RefreshAfterLoad(true);
    }
    RefreshAroundPicture();
}

void Application::RefreshAroundPicture() {
    RememberWriteTime(fileList(), session_.picture.path);
    RefreshFileList();
    // While this one is looked at, its neighbours are decoded.
    RequestNeighbours();
}

bool Application::ShowLoadResult(bool ok) {
    if (ok) {
        RefreshAfterLoad();
    } else {
        ShowError(view_.get(), kErrDisplay);
    }
    UpdateTitles();
    return ok;
}

bool Application::OpenPath(const std::string& path) {
    if (!SaveChangesFirst()) return false;
    files_->HideForOpen();
    const std::string resolved = ResolvePath(path);
    if (OpenFirstView(resolved)) return true;
    return ShowLoadResult(LoadPicture(session_, resolved));
}

bool Application::OpenFirstView(const std::string& path) {
    if (!firstView_ || !view_ || session_.displayMode == kEditWindow) return false;
    // LUMRA_FIRST_VIEW=0: always the whole picture first (to measure against).
    if (const char* env = std::getenv("LUMRA_FIRST_VIEW"); env && std::string(env) == "0") return false;
    // One still under way ends first, so that the view kept is the picture's now.
    firstView_->Finish();
    auto kept = std::make_unique<KeptView>(view_->KeepView());
    if (!firstView_->Open(path, view_->DisplaySizeAhead(), std::move(firstViewAhead_))) return false;
    keptView_ = std::move(kept);
    // Only the view now; the file list and the neighbours follow once the whole picture is in
    // (a failure then leaves them as they were).
    view_->RefreshAfterLoad(true);
    return true;
}

bool Application::firstViewPending() const { return firstView_ && firstView_->pending(); }

const QImage* Application::firstViewPreview() const { return firstView_ ? firstView_->readyPreview() : nullptr; }

bool Application::firstViewWaiting() const { return firstView_ && firstView_->previewWaiting(); }

void Application::FirstViewPainted() {
    if (firstView_) firstView_->Painted();
}

void Application::FinishFirstView() {
    if (firstView_) firstView_->Finish();
}

bool Application::OpenPictureDialog() {
    if (!SaveChangesFirst()) return false;
    files_->HideForOpen();
    std::unique_ptr<QFileDialog> dialog = CreateOpenDialog(view_.get(), session_.lastFolder, PluginPatterns());
    if (RunDialog(*dialog) != QDialog::Accepted) return false;
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty()) return false;
    const std::string path = QFile::encodeName(files.first()).toStdString();
    view_->update();
    session_.lastFolder = FolderPart(path);
    return ShowLoadResult(LoadPicture(session_, path));
}

bool Application::SavePictureAs() {
    if (!session_.picture.HasPicture()) return false;
    QPointer<QWidget> list = activeFileList_;
    const bool disable = list && list->isVisible();
    if (disable) list->setEnabled(false);
    std::unique_ptr<QFileDialog> dialog = CreateSaveDialog(view_.get(), session_, saveFormatListener_);
    const int answer = RunDialog(*dialog);
    const QStringList files = dialog->selectedFiles();
    dialog.reset();
    if (disable && list) list->setEnabled(true);
    if (answer != QDialog::Accepted || files.isEmpty()) return false;

    const std::string path = QFile::encodeName(files.first()).toStdString();
    view_->update();
    const bool ok = SavePicture(session_, path);
    if (ok) {
        session_.lastFolder = FolderPart(path);
    }
    UpdateTitles();
    return ok;
}

void Application::PasteFromClipboard() {
    const std::vector<uint8_t> dib = ClipboardDib(QGuiApplication::clipboard()->mimeData());
    if (dib.empty()) return;
    if (!SaveChangesFirst()) return;
    if (!PastePicture(session_, dib.data(), dib.size())) return;
    // A pasted picture has no place in the list: Next opens the first name.
    files_->ClearSelection();
    RefreshAfterLoad();
    UpdateTitles();
}

void Application::ShowMouseInfo() {
    MouseInfoDialog dialog(view_.get(), (session_.settings.awin.mouseInfo & 1) != 0);
    if (RunDialog(dialog) == QDialog::Accepted) session_.settings.awin.mouseInfo = dialog.MouseInfoAfterOk();
}

void Application::UpdateTitles() {
    if (!view_) return;
    switch (session_.displayMode) {
        case kEditWindow:
            if (OwnEditWindow()) edit_->UpdateTitle();
            break;
        default: {
            const QString title =
                QString::fromStdString(MainWindowTitle(session_.picture, session_.history, view_->zoom()));
            view_->setWindowTitle(title);
            // Full screen shows it in the tool bar's information field as well.
            if (session_.displayMode == kFullScreen) view_->toolBarStrip()->SetInfoText(title);
            break;
        }
    }
}

bool Application::ConfirmClose() {
    // An operation still running ends as cancelled.
    if (edit_) edit_->CancelOperation();
    switch (AskSaveChanges()) {
        case 0:
            return false;
        case 2:
            if (!SavePictureAs()) return false;
            break;
        default:
            break;
    }
    DeleteHistoryFiles();
    WriteSettings();
    return true;
}

bool Application::CloseRequested() {
    if (closed_) return true;
    if (!ConfirmClose()) return false;
    closed_ = true;
    // No more hand-overs; the server may be the caller, so it goes once control returns.
    if (server_) server_.release()->deleteLater();
    quit_();
    return true;
}

void Application::WriteSettings() {
    if (session_.settingsPath.empty()) return;
    session_.settings.path.open = session_.lastFolder;
    EnsureEditWindow();
    if (edit_) edit_->StoreGeometry(session_.settings.swin);
    // Start and Dual and the feature sections are taken from the file as it is now.
    IniFile ini;
    ini.Load(session_.settingsPath);
    // The keys first, then the settings.
    SaveAccelerators(ini, accelerators_);
    SaveSettings(ini, session_.settings);
    ini.Save(session_.settingsPath);
}

std::string Application::InStartFolder(const std::string& path) const {
    if (startFolder_.empty() || path.empty() || path[0] == '/') return path;
    return startFolder_ + "/" + path;
}

int Application::ReadStartSetting() const {
    IniFile ini;
    ini.Load(session_.settingsPath);
    return StoredStart(ini);
}

void Application::RunSteps(const StepList& steps) {
    bool opened = false;
    // At start, a main window still hidden is shown once its picture is opened, so that it
    // appears once, at the picture's size, rather than empty first (when its frame is known
    // before it is shown; otherwise the fit would be made again once it is).
    std::optional<int> showAfterOpen;
    const auto opensLater = [&steps](size_t from) {
        return std::any_of(steps.begin() + static_cast<std::ptrdiff_t>(from), steps.end(),
                           [](const Step& s) { return s.kind == StepKind::OpenPath && s.path; });
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (closed_) return;
        switch (step.kind) {
            case StepKind::CreateEditWindow:
                // Not seen yet: the start-up makes it after the main window's first paint.
                if (startingUp_ && view_->isVisible() && !view_->isMinimized()) {
                    DeferEditWindow();
                } else {
                    CreateEditWindow();
                }
                break;
            case StepKind::ShowEditWindow:
                ShowEditWindow(step.showCommand);
                break;
            case StepKind::SwitchToEditWindow:
                SwitchToEditWindow();
                break;
            case StepKind::SwitchToMainWindow:
                SwitchToMainWindow();
                break;
            case StepKind::EnterFullScreen:
                EnterFullScreen();
                break;
            case StepKind::ShowMainWindow:
                if (startingUp_ && !view_->isVisible() && view_->FrameKnownBeforeShow() && opensLater(i + 1)) {
                    showAfterOpen = step.showCommand;
                } else {
                    view_->ShowWithCommand(step.showCommand);
                }
                break;
            case StepKind::UpdateMainWindow:
                if (!showAfterOpen) view_->repaint();
                break;
            case StepKind::UpdateTitles:
                UpdateTitles();
                break;
            case StepKind::OpenPath:
                opened = step.path && OpenPath(InStartFolder(*step.path));
                if (showAfterOpen && !closed_) {
                    view_->ShowWithCommand(*showAfterOpen);
                    showAfterOpen.reset();
                }
                break;
            case StepKind::StartSlideShowIfOpened:
                if (opened) StartSlideShow();
                break;
            case StepKind::FinalLayout:
                view_->FinalLayout();
                break;
            case StepKind::RunOptions:
                RunOptionsDialog();
                break;
            case StepKind::CloseMain:
                if (CloseRequested()) view_->hide();
                break;
            case StepKind::StartInMode:
                RunSteps(StartInMode(ReadStartSetting(), step.showCommand, step.path));
                break;
        }
    }
}

void Application::ActivateMainWindow() {
    QWidget* target = (session_.displayMode == kEditWindow && editWindow_) ? editWindow_.data() : view_.get();
    if (!target) return;
    if (target->isMinimized()) target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
    if (!target->isVisible()) target->show();
    target->raise();
    target->activateWindow();
}

void Application::ReceiveHandOver(const HandOver& message) {
    if (closed_ || !view_) return;
    EnsureEditWindow();
    ActivateMainWindow();
    const bool modal = QApplication::activeModalWidget() != nullptr || !view_->isEnabled();
    RunSteps(OnCopyData(message, modal, session_.operationState != 0));
}

QString FirstLocalFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return QString();
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return QString();
}

void OpenDroppedFile(Application& app, QWidget* window, const QString& file) {
    const std::string path = QFile::encodeName(file).toStdString();
    QMetaObject::invokeMethod(
        window,
        [&app, window, path] {
            window->activateWindow();
            window->raise();
            app.OpenPath(path);
        },
        Qt::QueuedConnection);
}

// ---- Entry points that later windows fill in. ----

void Application::CreateEditWindow() {
    editDeferred_ = false;
    if (edit_ || !view_) return;
    edit_ = std::make_unique<EditWindow>(*this);
    SetEditWindow(edit_.get(), edit_->listWindow());
    SetEditCommandHandler([this](int id) {
        if (edit_) edit_->Command(id);
    });
}

void Application::DeferEditWindow() {
    if (edit_ || !view_) return;
    editDeferred_ = true;
    editPosted_ = false;
    // In case no paint comes (a window the desktop keeps hidden).
    QTimer::singleShot(1000, this, [this] { EnsureEditWindow(); });
}

void Application::EnsureEditWindow() {
    if (editDeferred_) CreateEditWindow();
}

void Application::ShowEditWindow(int showCommand) {
    EnsureEditWindow();
    if (editWindow_) {
        if (showCommand == kShowMaximized) {
            editWindow_->showMaximized();
        } else if (showCommand == kShowMinimized || showCommand == kShowMinNoActive) {
            editWindow_->showMinimized();
        } else {
            editWindow_->show();
        }
        return;
    }
    // Until there is an edit window the main window stands in for it.
    view_->ShowWithCommand(showCommand == kShow ? kShowNormal : showCommand);
}

void Application::SetEditWindow(QWidget* window, FileListWindow* list) {
    // One set from outside replaces the one the start-up left for later, made first as before.
    EnsureEditWindow();
    editWindow_ = window;
    editListWindow_ = list;
}

QWidget* Application::editWindow() {
    EnsureEditWindow();
    return editWindow_.data();
}

FileListWindow* Application::editListWindow() {
    EnsureEditWindow();
    return editListWindow_.data();
}

EditWindow* Application::editWindowObject() {
    EnsureEditWindow();
    return edit_.get();
}

void Application::SwitchToEditWindow() { SwitchMode(kEditWindow); }

void Application::SwitchToMainWindow() {
    SwitchMode(kMainWindow);
    if (!view_->isVisible()) view_->ShowWithCommand(kShowNormal);
}

void Application::EnterFullScreen() { SwitchMode(kFullScreen); }

void Application::SwitchMode(int target) { modes_->SwitchMode(target); }

// ---- The folder's file list ----

FileList& Application::fileList() { return files_->list(); }
FileListWindow* Application::fileListWindow() const { return files_->window(); }
FileListView* Application::fileListView() const { return files_->view(); }
PreloadCache* Application::preloadCache() const { return files_->preloadCache(); }
void Application::RefreshFileList() { files_->Refresh(); }
void Application::RebuildFileList() { files_->Rebuild(); }
void Application::FinishFileListScan() { files_->FinishScan(); }
void Application::NavigateCommand(int kind) { files_->Navigate(kind); }
void Application::OpenSelected(int row) { files_->OpenSelected(row); }
void Application::PlaceFileList() { files_->Place(); }
void Application::MoveFileListTo(FileListWindow* window) { files_->MoveTo(window); }
void Application::ShowFileList() { files_->Show(); }
void Application::OnAppActivated(bool active) { files_->OnAppActivated(active); }
void Application::SavedFile(const std::string& path) { files_->SavedFile(path); }
NameCompare Application::MakeNameCompare() const { return files_->MakeNameCompare(); }
bool Application::LoadForList(const std::string& path) { return files_->Load(path); }
PreloadKey Application::CurrentPreloadKey() const { return files_->CurrentPreloadKey(); }
void Application::RequestNeighbours() { files_->RequestNeighbours(); }
void Application::ShowListSelection() { files_->ShowSelection(); }
void Application::ShowListAfterFailedLoad() { files_->ShowAfterFailedLoad(); }

void Application::LeaveFullScreenToReturnMode() { modes_->LeaveFullScreenToReturnMode(); }

void Application::StartSlideShow() { slides_->Start(); }

void Application::OnSlideShowTimer() { slides_->OnTimer(); }

void Application::StopSlideShow() { slides_->Stop(); }

bool Application::slideShowRunning() const { return slides_->running(); }

QTimer* Application::slideShowTimer() const { return slides_->timer(); }

// ---- The navigator ----

void Application::ShowNavigator() {
    if (!view_ || !session_.picture.HasPicture()) return;
    if (!navigator_) navigator_ = new NavigatorWindow(view_.get());
    navigator_->SetPicture(session_.picture.image, view_->pictureGeneration());
    navigator_->SetSourceRect(view_->SourceRect());
    // At the corner of the window that is the main window now.
    QWidget* owner = (session_.displayMode == kEditWindow && editWindow_) ? editWindow_.data() : view_.get();
    QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int screenTop = screen ? screen->geometry().top() : 0;
    const QRect main = owner->frameGeometry();
    const NavigatorPlacement at =
        PlaceNavigator(navigator_->thumb(), main.left(), main.top(), work.left() + work.width(), screenTop);
    navigator_->setGeometry(at.x, at.y, at.width, at.height);
    navigator_->show();
    navigator_->raise();
}

void Application::MoveNavigatorFrame() {
    if (!navigator_ || !navigator_->isVisible() || !view_) return;
    navigator_->SetSourceRect(view_->SourceRect());
}

void Application::HideNavigator() {
    if (navigator_) navigator_->hide();
}

bool Application::OwnEditWindow() const {
    return edit_ && editWindow_.data() == static_cast<QWidget*>(edit_.get());
}

void Application::RefreshEditWindow() {
    if (OwnEditWindow()) edit_->Refresh(true);
}

void Application::SetEditCommandHandler(std::function<void(int)> handler) {
    EnsureEditWindow();
    editCommand_ = std::move(handler);
}

void Application::EditWindowCommand(int id) {
    EnsureEditWindow();
    if (editCommand_) editCommand_(id);
}

void Application::RunSharedCommand(int id) {
    if (router_) router_->RunShared(id);
}

void Application::DeleteHistoryFiles() { session_.history.Clear(session_.history.savedFormat); }

std::string Application::PluginPatterns() { return PluginPatternText(session_.settings.path.spi); }

// The lossless JPEG transform of the current file.
void Application::LosslessRotate(bool right) { RotateJpegLosslessly(*this, right ? 1 : 3); }

void Application::ShowColourCount() {
    if (!session_.picture.HasPicture()) return;
    const std::optional<uint32_t> count = CountColours(session_.picture.image);
    if (!count) {
        ShowError(view_.get(), kErrRead);
        return;
    }
    const ColourCountMessage message = MakeColourCountMessage(session_.picture.fileName, *count);
    BoxRequest box;
    box.text = message.text;
    box.caption = message.caption;
    box.icon = BoxIcon::Information;
    ShowBox(view_.get(), box);
}

bool Application::HistoryWindowOpen() const { return edit_ && edit_->historyWindowOpen(); }

bool Application::HasSelectionArea() const { return !session_.picture.selection.empty(); }

int Application::EditToolBarBottom() const {
    if (OwnEditWindow()) return edit_->ToolBarBottom();
    return editWindow_ ? editWindow_->geometry().top() : (view_ ? view_->geometry().top() : 0);
}

}  // namespace lumra::ui
