// The folder's file list on screen: reading the folder, stepping through it, the list
// window, decoding the neighbours ahead and the checks for changes made by other programs.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "view/file_list.h"

namespace lumra {
class PreloadCache;
struct PreloadKey;
}  // namespace lumra

namespace lumra::ui {

class Application;
class FileListModel;
class FileListView;
class FileListWindow;

class FileListController : public QObject {
    Q_OBJECT
public:
    explicit FileListController(Application& app);
    ~FileListController() override;

    // The list view in the main window's list window.
    void Create();

    FileList& list() { return list_; }
    FileListWindow* window() const { return window_; }
    FileListView* view() const { return view_; }
    PreloadCache* preloadCache() const { return preload_.get(); }

    // The sort order of the list: the user's locale, case ignored.
    NameCompare MakeNameCompare() const;
    // Loads a path as the current picture, taking a copy decoded ahead when there is one.
    bool Load(const std::string& path);
    PreloadKey CurrentPreloadKey() const;
    void RequestNeighbours();

    // Brings the list up to date for the current path (a new folder is read in the
    // background; the list fills when it is read).
    void Refresh();
    void Rebuild();
    // Waits for a folder read in progress and shows its names.
    void FinishScan();
    void ShowSelection();
    // A name left the list or the selection went back: the list again, then the error box.
    void ShowAfterFailedLoad();
    // No item selected (a pasted picture).
    void ClearSelection();

    // First/Last/Previous/Next with the error box and the refresh.
    void Navigate(int kind);
    // The user chose a name in the list.
    void OpenSelected(int row);
    // The current file went to the trash: its name leaves the list and the name that takes
    // its place is loaded. False when none could be loaded.
    bool ReplaceDeleted(const std::string& path, const std::string& fileName);

    void Place();
    // Hands the list to another list window (null: the main window's).
    void MoveTo(FileListWindow* target);
    // Command File list.
    void Show();
    // Hidden while a file is opened; placed again by the next refresh.
    void HideForOpen();
    // The program became active (true) or inactive.
    void OnAppActivated(bool active);
    // A file was written by a save.
    void SavedFile(const std::string& path);

private:
    void ApplyScanResult(uint64_t id);
    NavigateHooks Hooks();

    Application& app_;
    FileList list_;
    FolderScan scan_;
    FileListModel* model_ = nullptr;
    FileListView* view_ = nullptr;
    FileListWindow* window_ = nullptr;      // the one that holds the list
    FileListWindow* mainWindow_ = nullptr;  // the main window's
    bool hiddenByOpen_ = false;
    std::unique_ptr<PreloadCache> preload_;
};

}  // namespace lumra::ui
