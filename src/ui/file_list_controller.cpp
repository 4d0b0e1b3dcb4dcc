#include "ui/file_list_controller.h"

#include <QCollator>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>

#include "formats/load_save.h"
#include "platform/paths.h"
#include "shell/session.h"
#include "ui/app.h"
#include "ui/file_list_window.h"
#include "ui/tool_bar_strip.h"
#include "ui/view_window.h"
#include "view/preload_cache.h"

namespace lumra::ui {

FileListController::FileListController(Application& app) : QObject(&app), app_(app) {}

FileListController::~FileListController() {
    // The folder read ends before the list it fills.
    scan_.Cancel();
}

void FileListController::Create() {
    model_ = new FileListModel(list_, this);
    window_ = mainWindow_ = new FileListWindow(app_.viewWindow());
    view_ = new FileListView(model_);
    window_->TakeList(view_, nullptr, {});
    app_.SetActiveFileList(window_);
    connect(view_, &FileListView::userSelected, this, [this](int row) {
        // After the list has finished its own handling of the click or key.
        QMetaObject::invokeMethod(this, [this, row] { OpenSelected(row); }, Qt::QueuedConnection);
    });
}

NameCompare FileListController::MakeNameCompare() const {
    // One collator for each user of the order; a scan uses its own on its thread.
    auto collator = std::make_shared<QCollator>(QLocale());
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    collator->setNumericMode(false);
    return [collator](std::string_view a, std::string_view b) {
        return collator->compare(QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())),
                                 QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())));
    };
}

bool FileListController::Load(const std::string& path) {
    Session& session = app_.session();
    // The shown file itself is always read again (reopen).
    if (!preload_ || path == session.picture.path) return LoadPicture(session, path);
    std::vector<uint32_t> copy;
    int copyW = 0, copyH = 0;
    const bool ok = LoadPicture(session, path, [&]() {
        std::optional<DecodedPicture> decoded = preload_->Take(path, CurrentPreloadKey());
        if (decoded) {
            copy = std::move(decoded->displayCopy);
            copyW = decoded->displayW;
            copyH = decoded->displayH;
        }
        return decoded;
    });
    if (ok && !copy.empty() && app_.viewWindow())
        app_.viewWindow()->OfferReducedCopy(std::move(copy), copyW, copyH, session.picture.image.bits());
    return ok;
}

PreloadKey FileListController::CurrentPreloadKey() const {
    const Settings& settings = app_.session().settings;
    PreloadKey key;
    key.limg = settings.limg;
    key.pluginFolder = settings.path.spi;
    return key;
}

void FileListController::RequestNeighbours() {
    const Session& session = app_.session();
    const std::string& path = session.picture.path;
    const int at = list_.selection;
    // Only while the list shows the current picture's place.
    const bool placed = !scan_.Pending() && at >= 0 && at < list_.count() && !path.empty() &&
                        FolderPart(path) == list_.watchedFolder &&
                        list_.names[static_cast<size_t>(at)] == session.picture.fileName;
    std::vector<std::string> wanted;
    if (placed) {
        const bool repeating = app_.slideShowRunning() && (session.settings.vwin.repeat & 1) != 0;
        for (int i : NeighboursToDecode(at, list_.count(), repeating)) {
            wanted.push_back(JoinFolder(list_.watchedFolder, list_.names[static_cast<size_t>(i)]));
        }
    }
    if (wanted.empty()) {
        if (preload_) preload_->Request({}, CurrentPreloadKey());
        return;
    }
    if (!preload_) preload_ = std::make_unique<PreloadCache>();
    // The neighbours come with their reduced copy for the window as it is now.
    preload_->SetDisplaySize(app_.viewWindow() ? app_.viewWindow()->DisplaySizeAhead() : nullptr);
    preload_->Request(std::move(wanted), CurrentPreloadKey());
}

void FileListController::ShowAfterFailedLoad() {
    model_->Reload();
    ShowSelection();
    app_.ShowError(app_.viewWindow(), kErrDisplay);
}

void FileListController::ShowSelection() {
    if (view_) view_->ShowSelection(list_.selection);
}

void FileListController::ClearSelection() {
    list_.selection = -1;
    ShowSelection();
}

void FileListController::Refresh() {
    Session& session = app_.session();
    const CurrentPicture& picture = session.picture;
    const std::string folder = picture.path.empty() ? std::string() : FolderPart(picture.path);
    if (!folder.empty()) session.lastFolder = folder;
    if (!window_ || folder.empty()) return;
    switch (DecideRefresh(list_, folder)) {
        case RefreshAction::Rebuild:
            Rebuild();
            break;
        case RefreshAction::SelectOnly:
            // A folder still being read selects the name when its names arrive.
            if (!scan_.Pending()) {
                SelectName(list_, picture.fileName);
                ShowSelection();
            }
            break;
        case RefreshAction::None:
            break;
    }
    if (hiddenByOpen_) {
        hiddenByOpen_ = false;
        Place();
    }
}

void FileListController::Rebuild() {
    SetNames(list_, {});
    model_->Reload();
    const std::vector<std::string> patterns =
        ListPatterns(app_.session().settings.path.spi, SplitPatterns(app_.PluginPatterns()));
    scan_.Start(list_.watchedFolder, patterns, MakeNameCompare(), [this](uint64_t id) {
        QMetaObject::invokeMethod(this, [this, id] { ApplyScanResult(id); }, Qt::QueuedConnection);
    });
}

void FileListController::ApplyScanResult(uint64_t id) {
    if (scan_.Pending() && scan_.id() == id) FinishScan();
}

void FileListController::FinishScan() {
    if (!scan_.Pending()) return;
    SetNames(list_, scan_.Take());
    SelectName(list_, app_.session().picture.fileName);
    model_->Reload();
    ShowSelection();
    RequestNeighbours();
}

NavigateHooks FileListController::Hooks() {
    NavigateHooks hooks;
    hooks.saveChanges = [this] { return app_.SaveChangesFirst(); };
    hooks.load = [this](const std::string& path) { return Load(path); };
    hooks.refresh = [this] { Refresh(); };
    return hooks;
}

void FileListController::Navigate(int kind) {
    FinishScan();
    ViewWindow* view = app_.viewWindow();
    if (app_.session().displayMode == kFullScreen && app_.cursorShown() == 1 && view &&
        !view->toolBarStripShown()) {
        app_.HideCursor();
    }
    // The names are the watched folder's, whatever the current picture is.
    switch (lumra::Navigate(list_, kind, list_.watchedFolder, Hooks())) {
        case NavigateResult::Loaded:
            app_.RefreshAfterLoad();
            break;
        case NavigateResult::Failed:
            ShowAfterFailedLoad();
            break;
        case NavigateResult::Nothing:
            break;
    }
    app_.UpdateTitles();
}

void FileListController::OpenSelected(int row) {
    if (scan_.Pending()) return;  // the row belongs to a list that is being replaced
    switch (lumra::OpenSelected(list_, row, app_.session().picture.fileName, Hooks())) {
        case SelectResult::Loaded:
            app_.RefreshAfterLoad();
            break;
        case SelectResult::Failed:
            // The current picture stays, and so does its place in the list.
            SelectName(list_, app_.session().picture.fileName);
            ShowAfterFailedLoad();
            break;
        case SelectResult::Cancelled:
        case SelectResult::Nothing:
            ShowSelection();
            break;
    }
    app_.UpdateTitles();
}

bool FileListController::ReplaceDeleted(const std::string& path, const std::string& fileName) {
    const int index = FolderPart(path) == list_.watchedFolder ? IndexOfName(list_, fileName) : -1;
    if (index >= 0) RemoveAt(list_, index);
    model_->Reload();
    const int target = ReplacementAfterRemoval(index, list_.count());
    if (target < 0) return false;
    if (Load(JoinFolder(list_.watchedFolder, list_.names[static_cast<size_t>(target)]))) return true;
    RemoveAt(list_, target);
    model_->Reload();
    app_.ShowError(app_.viewWindow(), kErrDisplay);
    return false;
}

void FileListController::Place() {
    ViewWindow* view = app_.viewWindow();
    if (!window_ || !view) return;
    // Shown first, so that its frame is known.
    window_->show();
    const int mode = app_.session().displayMode;
    QWidget* main = (mode == kEditWindow && app_.editWindow()) ? app_.editWindow() : view;
    const QRect outer = main->frameGeometry();
    const int caption = main->geometry().top() - outer.top();
    QScreen* screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    const int workLeft = screen ? screen->availableGeometry().left() : 0;
    const ListPlacement at = PlaceList(mode, outer.left(), outer.top(), caption, window_->frameGeometry().width(),
                                       workLeft, app_.EditToolBarBottom());
    window_->move(at.x, at.y);
    window_->raise();
}

void FileListController::MoveTo(FileListWindow* target) {
    if (!target) target = mainWindow_;
    if (!target || target == window_) return;
    FileListWindow* from = window_;
    window_ = target;
    app_.SetActiveFileList(target);
    target->TakeList(view_, from, [this] { Place(); });
}

void FileListController::Show() {
    if (!app_.session().picture.HasPicture() || list_.watchedFolder.empty()) return;
    Place();
}

void FileListController::HideForOpen() {
    QWidget* active = app_.activeFileList();
    if (active && active->isVisible()) {
        active->hide();
        hiddenByOpen_ = true;
    }
}

void FileListController::OnAppActivated(bool active) {
    Session& session = app_.session();
    ViewWindow* view = app_.viewWindow();
    if (!active) {
        app_.ClearMenuSuppression();
        if (session.displayMode != kEditWindow) {
            app_.StopSlideShow();
            if (view && view->toolBarStripShown()) view->ShowToolBarStrip(false);
        }
        return;
    }
    // A picture still coming in has not had its write time noted yet: nothing to compare.
    if (!session.picture.HasPicture() || app_.firstViewPending()) return;
    if (list_.watch.IsOpen() && list_.watch.Signalled()) {
        list_.watch.Rearm();
        Rebuild();
    }
    if (CheckFileChanged(list_, session.picture.path, true) != FileChange::kChanged || app_.HistoryWindowOpen()) return;
    if (app_.ShowBox(view, FileChangedBox(session.picture.fileName)) == BoxResult::Yes) app_.RunCommand(kCmdReopen);
}

void FileListController::SavedFile(const std::string& path) {
    if (path == app_.session().picture.path) {
        // Only the entry's file changed: its own trash move and copy are forgotten, what
        // other programs did meanwhile is still read again.
        RememberWriteTime(list_, path);
        list_.watch.ForgetName(FileNamePart(path));
    } else if (!list_.watchedFolder.empty() && FolderPart(path) == list_.watchedFolder) {
        list_.watch.Rearm();
        Rebuild();
    }
    Refresh();
}

}  // namespace lumra::ui
