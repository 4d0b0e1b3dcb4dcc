// The folder's picture names in display order, the position of the current picture in
// them, the stepping through them and the checks for changed folders and files.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/folder_watch.h"
#include "shell/messages.h"

namespace lumra {

// Name order: negative, zero or positive like strcmp. Names equal under it are ordered
// byte by byte, so the order is total.
using NameCompare = std::function<int(std::string_view, std::string_view)>;

// Case-insensitive for ASCII letters, otherwise byte order (used without a locale).
int DefaultNameCompare(std::string_view a, std::string_view b);

// The built-in extensions, searched in this order.
extern const std::array<const char*, 8> kListExtensions;
inline constexpr size_t kMaxListPluginPatterns = 100;

// Whether a file name is listed by a search pattern "*" + extension: the pattern matches
// (case-insensitively, "*" and "?" as wildcards) and the name's extension, from its last
// dot, is exactly as long as the pattern without its "*".
bool MatchesListPattern(std::string_view name, std::string_view pattern);

// The plug-in patterns joined with ';' as one list.
std::vector<std::string> SplitPatterns(std::string_view joined);

// The patterns of a rebuild: the built-in ones, then at most 100 plug-in patterns when
// pluginFolder names a folder. Patterns that do not begin with "*" are dropped.
std::vector<std::string> ListPatterns(const std::string& pluginFolder, const std::vector<std::string>& pluginPatterns);

// Sorts names and drops repeated ones.
void SortNames(std::vector<std::string>& names, const NameCompare& compare);

// The names of the folder's files (not folders) that a pattern lists, sorted. Empty
// when the folder cannot be read. cancel (may be null) stops the scan early.
std::vector<std::string> ScanFolder(const std::string& folder, const std::vector<std::string>& patterns,
                                    const NameCompare& compare, const std::atomic<bool>* cancel = nullptr);

// folder + "/" + name (no doubled slash at the root).
std::string JoinFolder(const std::string& folder, const std::string& name);

struct FileList {
    std::vector<std::string> names;  // display order
    int selection = -1;              // -1: none
    std::string watchedFolder;
    FolderWatch watch;
    int64_t rememberedWriteTime = 0;  // of the current file, when it was loaded or saved

    int count() const { return static_cast<int>(names.size()); }
};

// Replaces the names (already sorted); nothing is selected.
void SetNames(FileList& list, std::vector<std::string> sorted);
// Removes an item. The selection follows its item; it is lost with the removed item.
void RemoveAt(FileList& list, int index);
// Selects the item of the current name: the exact name, else the first item that begins
// with it (case ignored). Nothing found: the selection stays as it is (false).
bool SelectName(FileList& list, const std::string& name);

// What a refresh has to do for the folder of the current path.
enum class RefreshAction {
    None,        // no folder
    SelectOnly,  // the same folder and no name changed in it
    Rebuild,     // another folder (now watched) or the watch saw a change (re-armed)
};
RefreshAction DecideRefresh(FileList& list, const std::string& folder);

enum NavigateKind : int { kNavFirst = 0, kNavLast = 1, kNavPrevious = 2, kNavNext = 3 };
// The item to go to; -1 when there is nothing to do (no wrap-around).
int NavigateTarget(int kind, int count, int selection);

struct NavigateHooks {
    std::function<bool()> saveChanges;                 // false: cancelled or the save failed
    std::function<bool(const std::string&)> load;      // loads a full path
    std::function<void()> refresh;                     // after a cancel
};

enum class NavigateResult {
    Nothing,  // no target, or the save question was cancelled
    Failed,   // the load failed (the name is removed)
    Loaded,
};
NavigateResult Navigate(FileList& list, int kind, const std::string& folder, const NavigateHooks& hooks);

// The list items to decode ahead while the item at selection is shown: the next one (with
// a repeating slide show the first after the last), then the previous one.
std::vector<int> NeighboursToDecode(int selection, int count, bool repeatingShow);
// The item whose name is the current file's (the last one equal to it); -1 when none.
int IndexOfName(const FileList& list, const std::string& name);
// The item that takes the place of the removed item at index when count items remain;
// -1 when none is left.
int ReplacementAfterRemoval(int index, int count);

enum class SelectResult { Nothing, Cancelled, Loaded, Failed };
// The list's selection moved to index by the user. The current file's name does nothing;
// a failed load removes the item.
SelectResult OpenSelected(FileList& list, int index, const std::string& currentName, const NavigateHooks& hooks);

// The last-write time of a file opened for reading; -1 when it cannot be opened.
int64_t ReadWriteTime(const std::string& path);
void RememberWriteTime(FileList& list, const std::string& path);
// Whether the file differs from the remembered write time (remembered when update is set).
enum class FileChange { kUnreadable, kUnchanged, kChanged };
FileChange CheckFileChanged(FileList& list, const std::string& path, bool update);

// "<name> は変更されています。開き直しますか?"
BoxRequest FileChangedBox(const std::string& fileName);
// The question before a file goes to the trash.
BoxRequest DeleteFileBox(const std::string& fileName);

// The list window's top-left corner: left of the main window, not left of the work area.
struct ListPlacement {
    int x;
    int y;
};
// mainLeft/mainTop: the main window's outer corner; captionHeight: its title bar and top
// frame in normal display; editToolBarBottom: the edit window's tool bar bottom (screen).
ListPlacement PlaceList(int mode, int mainLeft, int mainTop, int captionHeight, int listWidth, int workLeft,
                        int editToolBarBottom);

// A folder scan on a worker thread. The result is taken on the caller's thread.
class FolderScan {
public:
    FolderScan() = default;
    ~FolderScan();
    FolderScan(const FolderScan&) = delete;
    FolderScan& operator=(const FolderScan&) = delete;

    // Starts a scan (a running one is cancelled first). done runs on the worker thread
    // when the names are ready; it may be empty.
    void Start(std::string folder, std::vector<std::string> patterns, NameCompare compare,
               std::function<void(uint64_t id)> done);
    // Whether a started scan's result has not been taken yet.
    bool Pending() const { return pending_; }
    uint64_t id() const { return id_; }
    // Waits for the scan and takes its result (empty when none is pending).
    std::vector<std::string> Take();
    void Cancel();

private:
    void Join();

    std::thread worker_;
    std::atomic<bool> cancel_{false};
    std::vector<std::string> result_;
    std::string folder_;
    bool pending_ = false;
    uint64_t id_ = 0;
};

}  // namespace lumra
