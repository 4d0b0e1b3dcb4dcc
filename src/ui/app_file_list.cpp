// The folder's file list: reading the folder, stepping through it, the list window and
// the checks for changes made by other programs.
#include <QCollator>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>

#include "document/document.h"
#include "platform/paths.h"
#include "ui/app.h"
#include "view/preload_cache.h"
#include "ui/file_list_window.h"
#include "ui/tool_bar_strip.h"
#include "ui/view_window.h"

namespace lumra::ui {

void Application::CreateFileList() {
    listModel_ = new FileListModel(fileList_, this);
    listWindow_ = mainListWindow_ = new FileListWindow(view_.get());
    listView_ = new FileListView(listModel_);
    listWindow_->TakeList(listView_, nullptr, {});
    SetActiveFileList(listWindow_);
    connect(listView_, &FileListView::userSelected, this, [this](int row) {
        // After the list has finished its own handling of the click or key.
        QMetaObject::invokeMethod(this, [this, row] { OpenSelected(row); }, Qt::QueuedConnection);
    });
}

NameCompare Application::MakeNameCompare() const {
    // One collator for each user of the order; a scan uses its own on its thread.
    auto collator = std::make_shared<QCollator>(QLocale());
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    collator->setNumericMode(false);
    return [collator](std::string_view a, std::string_view b) {
        return collator->compare(QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())),
                                 QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())));
    };
}

bool Application::LoadForList(const std::string& path) {
    // The shown file itself is always read again (reopen).
    if (!preload_ || path == session_.picture.path) return LoadPicture(session_, path);
    std::vector<uint32_t> copy;
    int copyW = 0, copyH = 0;
    const bool ok = LoadPicture(session_, path, [&]() {
        std::optional<DecodedPicture> decoded = preload_->Take(path, CurrentPreloadKey());
        if (decoded) {
            copy = std::move(decoded->displayCopy);
            copyW = decoded->displayW;
            copyH = decoded->displayH;
        }
        return decoded;
    });
    if (ok && !copy.empty() && view_)
        view_->OfferReducedCopy(std::move(copy), copyW, copyH, session_.picture.image.bits());
    return ok;
}

PreloadKey Application::CurrentPreloadKey() const {
    PreloadKey key;
    key.limg = session_.settings.limg;
    key.pluginFolder = session_.settings.path.spi;
    return key;
}

void Application::RequestNeighbours() {
    const int n = fileList_.count();
    const int at = fileList_.selection;
    const std::string& path = session_.picture.path;
    if (scan_.Pending() || at < 0 || at >= n || n < 2 || path.empty() ||
        FolderPart(path) != fileList_.watchedFolder ||
        fileList_.names[static_cast<size_t>(at)] != session_.picture.fileName) {
        if (preload_) preload_->Request({}, CurrentPreloadKey());
        return;
    }
    std::vector<std::string> wanted;
    if (at + 1 < n) {
        wanted.push_back(JoinFolder(fileList_.watchedFolder, fileList_.names[static_cast<size_t>(at + 1)]));
    } else if (slideShowRunning_ && (session_.settings.vwin.repeat & 1) != 0) {
        // A repeating slide show goes on with the first name.
        wanted.push_back(JoinFolder(fileList_.watchedFolder, fileList_.names.front()));
    }
    if (at > 0) wanted.push_back(JoinFolder(fileList_.watchedFolder, fileList_.names[static_cast<size_t>(at - 1)]));
    if (!preload_) preload_ = std::make_unique<PreloadCache>();
    // The neighbours come with their reduced copy for the window as it is now.
    preload_->SetDisplaySize(view_ ? view_->DisplaySizeAhead() : nullptr);
    preload_->Request(std::move(wanted), CurrentPreloadKey());
}

void Application::ShowListAfterFailedLoad() {
    listModel_->Reload();
    ShowListSelection();
    ShowError(view_.get(), kErrDisplay);
}

void Application::ShowListSelection() {
    if (listView_) listView_->ShowSelection(fileList_.selection);
}

void Application::RefreshFileList() {
    const CurrentPicture& picture = session_.picture;
    const std::string folder = picture.path.empty() ? std::string() : FolderPart(picture.path);
    if (!folder.empty()) session_.lastFolder = folder;
    if (!listWindow_ || folder.empty()) return;
    switch (DecideRefresh(fileList_, folder)) {
        case RefreshAction::Rebuild:
            RebuildFileList();
            break;
        case RefreshAction::SelectOnly:
            // A folder still being read selects the name when its names arrive.
            if (!scan_.Pending()) {
                SelectName(fileList_, picture.fileName);
                ShowListSelection();
            }
            break;
        case RefreshAction::None:
            break;
    }
    if (listHiddenByOpen_) {
        listHiddenByOpen_ = false;
        PlaceFileList();
    }
}

void Application::RebuildFileList() {
    SetNames(fileList_, {});
    listModel_->Reload();
    const std::vector<std::string> patterns =
        ListPatterns(session_.settings.path.spi, SplitPatterns(PluginPatterns()));
    scan_.Start(fileList_.watchedFolder, patterns, MakeNameCompare(), [this](uint64_t id) {
        QMetaObject::invokeMethod(this, [this, id] { ApplyScanResult(id); }, Qt::QueuedConnection);
    });
}

void Application::ApplyScanResult(uint64_t id) {
    if (scan_.Pending() && scan_.id() == id) FinishFileListScan();
}

void Application::FinishFileListScan() {
    if (!scan_.Pending()) return;
    SetNames(fileList_, scan_.Take());
    SelectName(fileList_, session_.picture.fileName);
    listModel_->Reload();
    ShowListSelection();
    RequestNeighbours();
}

void Application::NavigateCommand(int kind) {
    FinishFileListScan();
    if (session_.displayMode == kFullScreen && cursorShown_ == 1 && !view_->toolBarStrip()->isVisible()) {
        HideCursor();
    }
    NavigateHooks hooks;
    hooks.saveChanges = [this] { return SaveChangesFirst(); };
    hooks.load = [this](const std::string& path) { return LoadForList(path); };
    hooks.refresh = [this] { RefreshFileList(); };
    // The names are the watched folder's, whatever the current picture is.
    switch (Navigate(fileList_, kind, fileList_.watchedFolder, hooks)) {
        case 2:
            RefreshAfterLoad();
            break;
        case 1:
            ShowListAfterFailedLoad();
            break;
        default:
            break;
    }
    UpdateTitles();
}

void Application::OpenSelected(int row) {
    if (scan_.Pending()) return;  // the row belongs to a list that is being replaced
    NavigateHooks hooks;
    hooks.saveChanges = [this] { return SaveChangesFirst(); };
    hooks.load = [this](const std::string& path) { return LoadForList(path); };
    hooks.refresh = [this] { RefreshFileList(); };
    switch (lumra::OpenSelected(fileList_, row, session_.picture.fileName, hooks)) {
        case SelectResult::Loaded:
            RefreshAfterLoad();
            break;
        case SelectResult::Failed:
            // The current picture stays, and so does its place in the list.
            SelectName(fileList_, session_.picture.fileName);
            ShowListAfterFailedLoad();
            break;
        case SelectResult::Cancelled:
        case SelectResult::Nothing:
            ShowListSelection();
            break;
    }
    UpdateTitles();
}

void Application::PlaceFileList() {
    if (!listWindow_ || !view_) return;
    // Shown first, so that its frame is known.
    listWindow_->show();
    QWidget* main = (session_.displayMode == kEditWindow && editWindow_) ? editWindow_.data() : view_.get();
    const QRect outer = main->frameGeometry();
    const int caption = main->geometry().top() - outer.top();
    QScreen* screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    const int workLeft = screen ? screen->availableGeometry().left() : 0;
    const ListPlacement at = PlaceList(session_.displayMode, outer.left(), outer.top(), caption,
                                       listWindow_->frameGeometry().width(), workLeft, EditToolBarBottom());
    listWindow_->move(at.x, at.y);
    listWindow_->raise();
}

void Application::MoveFileListTo(FileListWindow* window) {
    if (!window) window = mainListWindow_;
    if (!window || window == listWindow_) return;
    FileListWindow* from = listWindow_;
    listWindow_ = window;
    SetActiveFileList(window);
    window->TakeList(listView_, from, [this] { PlaceFileList(); });
}

void Application::ShowFileList() {
    if (!session_.picture.HasPicture() || fileList_.watchedFolder.empty()) return;
    PlaceFileList();
}

void Application::OnAppActivated(bool active) {
    if (!active) {
        ClearMenuSuppression();
        if (session_.displayMode != kEditWindow) {
            StopSlideShow();
            if (view_ && view_->toolBarStrip()->isVisible()) view_->ShowToolBarStrip(false);
        }
        return;
    }
    if (!session_.picture.HasPicture()) return;
    if (fileList_.watch.IsOpen() && fileList_.watch.Signalled()) {
        fileList_.watch.Rearm();
        RebuildFileList();
    }
    if (CheckFileChanged(fileList_, session_.picture.path, true) != FileChange::kChanged || HistoryWindowOpen()) return;
    if (ShowBox(view_.get(), FileChangedBox(session_.picture.fileName)) == BoxResult::Yes) RunCommand(kCmdReopen);
}

void Application::SavedFile(const std::string& path) {
    if (path == session_.picture.path) {
        // Only the entry's file changed: nothing to read again.
        RememberWriteTime(fileList_, path);
        fileList_.watch.Rearm();
    } else if (!fileList_.watchedFolder.empty() && FolderPart(path) == fileList_.watchedFolder) {
        fileList_.watch.Rearm();
        RebuildFileList();
    }
    RefreshFileList();
}

}  // namespace lumra::ui
