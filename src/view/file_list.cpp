#include "view/file_list.h"

#include <dirent.h>

#include <algorithm>

#include "platform/file_io.h"
#include "platform/file_stamp.h"

namespace lumra {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-insensitive wildcard match: "*" any run, "?" one byte.
bool Wildcard(std::string_view name, std::string_view pattern) {
    size_t n = 0, p = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// The order with the byte-wise tie-break.
int TotalCompare(const NameCompare& compare, std::string_view a, std::string_view b) {
    const int c = compare ? compare(a, b) : DefaultNameCompare(a, b);
    if (c != 0) return c;
    return a.compare(b);
}

}  // namespace

const std::array<const char*, 8> kListExtensions = {".bmp", ".png", ".jpg", ".jpe", ".jpeg", ".tif", ".tiff", ".gif"};

int DefaultNameCompare(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(Lower(a[i]));
        const unsigned char y = static_cast<unsigned char>(Lower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool MatchesListPattern(std::string_view name, std::string_view pattern) {
    if (pattern.empty() || pattern[0] != '*') return false;
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    if (name.size() - dot != pattern.size() - 1) return false;
    return Wildcard(name, pattern);
}

std::vector<std::string> SplitPatterns(std::string_view joined) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at <= joined.size()) {
        size_t end = joined.find(';', at);
        if (end == std::string_view::npos) end = joined.size();
        std::string_view item = joined.substr(at, end - at);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (!item.empty()) out.emplace_back(item);
        at = end + 1;
    }
    return out;
}

std::vector<std::string> ListPatterns(const std::string& pluginFolder, const std::vector<std::string>& pluginPatterns) {
    std::vector<std::string> patterns;
    for (const char* ext : kListExtensions) patterns.push_back(std::string("*") + ext);
    if (!pluginFolder.empty() && IsDirectory(pluginFolder)) {
        size_t used = 0;
        for (const std::string& p : pluginPatterns) {
            if (used == kMaxListPluginPatterns) break;
            ++used;
            if (p.size() >= 2 && p[0] == '*') patterns.push_back(p);
        }
    }
    return patterns;
}

void SortNames(std::vector<std::string>& names, const NameCompare& compare) {
    std::sort(names.begin(), names.end(),
              [&compare](const std::string& a, const std::string& b) { return TotalCompare(compare, a, b) < 0; });
    names.erase(std::unique(names.begin(), names.end()), names.end());
}

std::vector<std::string> ScanFolder(const std::string& folder, const std::vector<std::string>& patterns,
                                    const NameCompare& compare, const std::atomic<bool>* cancel) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (cancel && cancel->load(std::memory_order_relaxed)) break;
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        if (entry->d_type == DT_DIR) continue;
        bool listed = false;
        for (const std::string& p : patterns) {
            if (MatchesListPattern(name, p)) {
                listed = true;
                break;
            }
        }
        if (!listed) continue;
        // Types the folder does not report, and links, are looked at.
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            const std::optional<FileStamp> st = StampAt(dirFd, entry->d_name);
            if (!st || st->directory) continue;
        }
        names.emplace_back(name);
    }
    ::closedir(dir);
    if (cancel && cancel->load(std::memory_order_relaxed)) return {};
    SortNames(names, compare);
    return names;
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

void SetNames(FileList& list, std::vector<std::string> sorted) {
    list.names = std::move(sorted);
    list.selection = -1;
}

void RemoveAt(FileList& list, int index) {
    if (index < 0 || index >= list.count()) return;
    list.names.erase(list.names.begin() + index);
    if (list.selection == index) {
        list.selection = -1;
    } else if (list.selection > index) {
        --list.selection;
    }
}

bool SelectName(FileList& list, const std::string& name) {
    if (name.empty()) return false;
    for (int i = 0; i < list.count(); ++i) {
        if (list.names[i] == name) {
            list.selection = i;
            return true;
        }
    }
    for (int i = 0; i < list.count(); ++i) {
        const std::string& item = list.names[i];
        if (item.size() >= name.size() && DefaultNameCompare(std::string_view(item).substr(0, name.size()), name) == 0) {
            list.selection = i;
            return true;
        }
    }
    return false;
}

RefreshAction DecideRefresh(FileList& list, const std::string& folder) {
    if (folder.empty()) return RefreshAction::None;
    if (folder != list.watchedFolder) {
        list.watchedFolder = folder;
        list.watch.Open(folder);
        return RefreshAction::Rebuild;
    }
    if (list.watch.Signalled()) {
        list.watch.Rearm();
        return RefreshAction::Rebuild;
    }
    return RefreshAction::SelectOnly;
}

int NavigateTarget(int kind, int count, int selection) {
    switch (kind) {
        case kNavFirst: return (selection == 0 || count <= 0) ? -1 : 0;
        case kNavLast: return (selection + 1 == count || count <= 0) ? -1 : count - 1;
        case kNavPrevious: return selection <= 0 ? -1 : selection - 1;
        case kNavNext: return selection >= count - 1 ? -1 : selection + 1;
        default: return -1;
    }
}

NavigateResult Navigate(FileList& list, int kind, const std::string& folder, const NavigateHooks& hooks) {
    const int target = NavigateTarget(kind, list.count(), list.selection);
    if (target < 0 || target >= list.count()) return NavigateResult::Nothing;
    if (hooks.saveChanges && !hooks.saveChanges()) {
        if (hooks.refresh) hooks.refresh();
        return NavigateResult::Nothing;
    }
    const std::string name = list.names[target];
    if (hooks.load && hooks.load(JoinFolder(folder, name))) {
        list.selection = target;
        return NavigateResult::Loaded;
    }
    RemoveAt(list, target);
    return NavigateResult::Failed;
}

std::vector<int> NeighboursToDecode(int selection, int count, bool repeatingShow) {
    std::vector<int> wanted;
    if (selection < 0 || selection >= count || count < 2) return wanted;
    if (selection + 1 < count) {
        wanted.push_back(selection + 1);
    } else if (repeatingShow) {
        wanted.push_back(0);
    }
    // (With two names the first is both.)
    if (selection > 0 && (wanted.empty() || wanted.front() != selection - 1)) wanted.push_back(selection - 1);
    return wanted;
}

int IndexOfName(const FileList& list, const std::string& name) {
    for (int i = list.count() - 1; i >= 0; --i) {
        if (list.names[static_cast<size_t>(i)] == name) return i;
    }
    return -1;
}

int ReplacementAfterRemoval(int index, int count) {
    if (index < 0 || count <= 0) return -1;
    return std::min(index, count - 1);
}

SelectResult OpenSelected(FileList& list, int index, const std::string& currentName, const NavigateHooks& hooks) {
    if (index < 0 || index >= list.count()) return SelectResult::Nothing;
    const std::string name = list.names[index];
    if (name == currentName) return SelectResult::Nothing;
    list.selection = index;
    if (hooks.saveChanges && !hooks.saveChanges()) {
        if (hooks.refresh) hooks.refresh();
        return SelectResult::Cancelled;
    }
    if (hooks.load && hooks.load(JoinFolder(list.watchedFolder, name))) return SelectResult::Loaded;
    // The item may have moved while the load ran.
    for (int i = 0; i < list.count(); ++i) {
        if (list.names[i] == name) {
            RemoveAt(list, i);
            break;
        }
    }
    return SelectResult::Failed;
}

int64_t ReadWriteTime(const std::string& path) {
    if (path.empty()) return -1;
    const std::optional<FileStamp> st = StampOfOpenedFile(path);
    return st ? st->modifiedNs : -1;
}

void RememberWriteTime(FileList& list, const std::string& path) {
    const int64_t t = ReadWriteTime(path);
    list.rememberedWriteTime = t < 0 ? 0 : t;
}

FileChange CheckFileChanged(FileList& list, const std::string& path, bool update) {
    const int64_t t = ReadWriteTime(path);
    if (t < 0) return FileChange::kUnreadable;
    if (t == list.rememberedWriteTime) return FileChange::kUnchanged;
    if (update) list.rememberedWriteTime = t;
    return FileChange::kChanged;
}

BoxRequest FileChangedBox(const std::string& fileName) {
    return BoxRequest{fileName + " は変更されています。開き直しますか?", kQuestionCaption, BoxIcon::Warning,
                      BoxButtons::YesNo};
}

BoxRequest DeleteFileBox(const std::string& fileName) {
    return BoxRequest{fileName + " をごみ箱に移動しますか?", kQuestionCaption, BoxIcon::Warning, BoxButtons::YesNo};
}

ListPlacement PlaceList(int mode, int mainLeft, int mainTop, int captionHeight, int listWidth, int workLeft,
                        int editToolBarBottom) {
    ListPlacement p{std::max(mainLeft - listWidth, workLeft), 0};
    switch (mode) {
        case 1: p.y = editToolBarBottom; break;    // edit window
        case 2: p.y = mainTop + 24; break;         // full screen
        default: p.y = mainTop + captionHeight + 24; break;
    }
    return p;
}

FolderScan::~FolderScan() { Cancel(); }

void FolderScan::Join() {
    if (worker_.joinable()) worker_.join();
}

void FolderScan::Cancel() {
    cancel_ = true;
    Join();
    cancel_ = false;
    result_.clear();
    pending_ = false;
}

void FolderScan::Start(std::string folder, std::vector<std::string> patterns, NameCompare compare,
                       std::function<void(uint64_t)> done) {
    Cancel();
    pending_ = true;
    const uint64_t id = ++id_;
    worker_ = std::thread([this, id, folder = std::move(folder), patterns = std::move(patterns),
                           compare = std::move(compare), done = std::move(done)] {
        result_ = ScanFolder(folder, patterns, compare, &cancel_);
        if (done && !cancel_) done(id);
    });
}

std::vector<std::string> FolderScan::Take() {
    if (!pending_) return {};
    Join();
    pending_ = false;
    return std::move(result_);
}

}  // namespace lumra
