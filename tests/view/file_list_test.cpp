#include "view/file_list.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "test_util.h"

namespace lumra {
namespace {

using test::TempDir;

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

// The mtime of a file set to a given second.
void SetTime(const std::string& path, time_t seconds) {
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::vector<std::string> BuiltIn() { return ListPatterns("", {}); }

FileList ListOf(std::vector<std::string> names, int selection) {
    FileList list;
    SetNames(list, std::move(names));
    list.selection = selection;
    return list;
}

// Hooks that count what navigation asks for.
struct Recorder {
    int questions = 0;
    int refreshes = 0;
    bool goOn = true;
    std::vector<std::string> loads;
    std::set<std::string> failing;
    NavigateHooks Hooks() {
        NavigateHooks h;
        h.saveChanges = [this] {
            ++questions;
            return goOn;
        };
        h.load = [this](const std::string& path) {
            loads.push_back(path);
            return failing.count(path) == 0;
        };
        h.refresh = [this] { ++refreshes; };
        return h;
    }
};

TEST(FileListPatterns, ExactExtensionLength) {
    EXPECT_TRUE(MatchesListPattern("a.JPG", "*.jpg"));
    EXPECT_TRUE(MatchesListPattern("b.jpeg", "*.jpeg"));
    EXPECT_FALSE(MatchesListPattern("b.jpeg", "*.jpe"));
    EXPECT_FALSE(MatchesListPattern("b.jpeg", "*.jpg"));
    for (const std::string& p : BuiltIn()) EXPECT_FALSE(MatchesListPattern("c.jpgx", p)) << p;
    EXPECT_TRUE(MatchesListPattern("x.y.Tiff", "*.tiff"));
    EXPECT_FALSE(MatchesListPattern("a.jpg.bak", "*.jpg"));
    EXPECT_FALSE(MatchesListPattern("jpg", "*.jpg"));
    EXPECT_FALSE(MatchesListPattern("ajpg", "*.jpg"));
    EXPECT_TRUE(MatchesListPattern(".gif", "*.gif"));
    // Plug-in patterns: the length comes from the pattern, wildcards allowed.
    EXPECT_TRUE(MatchesListPattern("a.MAG", "*.mag"));
    EXPECT_TRUE(MatchesListPattern("a.pic", "*.pi?"));
    EXPECT_FALSE(MatchesListPattern("a.pict", "*.pi?"));
    EXPECT_FALSE(MatchesListPattern("a.pic", "a.pic"));  // not a "*" pattern
    EXPECT_FALSE(MatchesListPattern("a.pic", ""));

    EXPECT_EQ(BuiltIn(), (std::vector<std::string>{"*.bmp", "*.png", "*.jpg", "*.jpe", "*.jpeg", "*.tif", "*.tiff",
                                                   "*.gif"}));
    EXPECT_EQ(SplitPatterns("*.mag; *.mki;;*.pi "), (std::vector<std::string>{"*.mag", "*.mki", "*.pi"}));
    EXPECT_TRUE(SplitPatterns("").empty());
}

TEST(FileListPatterns, PluginPatternsNeedTheFolder) {
    TempDir spi;
    const std::vector<std::string> plugin = {"*.mag", "mki", "*.pi"};
    EXPECT_EQ(ListPatterns("", plugin).size(), 8u);
    EXPECT_EQ(ListPatterns(spi.File("missing"), plugin).size(), 8u);
    Touch(spi.File("file"));
    EXPECT_EQ(ListPatterns(spi.File("file"), plugin).size(), 8u);
    const std::vector<std::string> all = ListPatterns(spi.path(), plugin);
    EXPECT_EQ(all, (std::vector<std::string>{"*.bmp", "*.png", "*.jpg", "*.jpe", "*.jpeg", "*.tif", "*.tiff", "*.gif",
                                             "*.mag", "*.pi"}));
    // At most 100 plug-in patterns are used.
    std::vector<std::string> many;
    for (int i = 0; i < 120; ++i) {
        std::string pattern = "*.x";
        pattern += std::to_string(100 + i);
        many.push_back(pattern);
    }
    const std::vector<std::string> capped = ListPatterns(spi.path(), many);
    ASSERT_EQ(capped.size(), 108u);
    EXPECT_EQ(capped.back(), "*.x199");
}

TEST(FileListScan, ListsPicturesInOrder) {
    TempDir dir;
    for (const char* name : {"a.JPG", "b.jpeg", "c.jpgx", "C.png", "d.txt", "f.Gif", "Z.tif", "y.TIFF", "B.bmp",
                             "b.bmp", "noext", "pic.mag"}) {
        Touch(dir.File(name));
    }
    std::filesystem::create_directory(dir.File("e.png"));
    std::filesystem::create_symlink(dir.File("f.Gif"), dir.File("link.gif"));
    std::filesystem::create_directory_symlink(dir.File("e.png"), dir.File("dirlink.bmp"));
    std::filesystem::create_symlink(dir.File("gone"), dir.File("dangling.png"));

    const std::vector<std::string> names = ScanFolder(dir.path(), BuiltIn(), DefaultNameCompare);
    // Links count as what they point at; a dangling one cannot be shown.
    EXPECT_EQ(names, (std::vector<std::string>{"a.JPG", "B.bmp", "b.bmp", "b.jpeg", "C.png", "f.Gif", "link.gif",
                                               "y.TIFF", "Z.tif"}));

    // Plug-in patterns that repeat a built-in one list nothing twice.
    std::vector<std::string> patterns = BuiltIn();
    patterns.push_back("*.mag");
    patterns.push_back("*.PNG");
    const std::vector<std::string> withPlugins = ScanFolder(dir.path(), patterns, DefaultNameCompare);
    EXPECT_EQ(withPlugins.size(), names.size() + 1);
    EXPECT_NE(std::find(withPlugins.begin(), withPlugins.end(), "pic.mag"), withPlugins.end());

    EXPECT_TRUE(ScanFolder(dir.File("missing"), BuiltIn(), DefaultNameCompare).empty());
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(ScanFolder(dir.path(), BuiltIn(), DefaultNameCompare, &cancel).empty());
}

TEST(FileListScan, OrderComesFromTheCompare) {
    std::vector<std::string> names = {"b", "A", "a", "c", "a"};
    SortNames(names, DefaultNameCompare);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "a", "b", "c"}));
    // Reverse order; equal names under it fall back to bytes.
    auto reverse = [](std::string_view x, std::string_view y) { return -DefaultNameCompare(x, y); };
    SortNames(names, reverse);
    EXPECT_EQ(names, (std::vector<std::string>{"c", "b", "A", "a"}));
    EXPECT_LT(DefaultNameCompare("abc", "ABD"), 0);
    EXPECT_LT(DefaultNameCompare("ab", "abc"), 0);
    EXPECT_EQ(DefaultNameCompare("Img", "iMG"), 0);
    // Bytes above ASCII compare unsigned.
    EXPECT_LT(DefaultNameCompare("z", "\xE3\x81\x82"), 0);
}

TEST(FileListScan, BackgroundScanMatchesTheDirectOne) {
    TempDir dir;
    for (int i = 0; i < 300; ++i) {
        std::string name = "p";
        name += std::to_string(i);
        name += i % 2 ? ".JPG" : ".png";
        Touch(dir.File(name));
    }
    Touch(dir.File("x.txt"));
    FolderScan scan;
    EXPECT_FALSE(scan.Pending());
    EXPECT_TRUE(scan.Take().empty());
    std::atomic<int> done{0};
    scan.Start(dir.path(), BuiltIn(), DefaultNameCompare, [&done](uint64_t) { ++done; });
    EXPECT_TRUE(scan.Pending());
    const uint64_t first = scan.id();
    const std::vector<std::string> names = scan.Take();
    EXPECT_FALSE(scan.Pending());
    EXPECT_EQ(done.load(), 1);
    EXPECT_EQ(names, ScanFolder(dir.path(), BuiltIn(), DefaultNameCompare));
    EXPECT_EQ(names.size(), 300u);

    // A new scan replaces a pending one and has a new id.
    scan.Start(dir.path(), BuiltIn(), DefaultNameCompare, nullptr);
    scan.Start(dir.File("missing"), BuiltIn(), DefaultNameCompare, nullptr);
    EXPECT_GT(scan.id(), first + 1);
    EXPECT_TRUE(scan.Take().empty());
    scan.Start(dir.path(), BuiltIn(), DefaultNameCompare, nullptr);
    scan.Cancel();
    EXPECT_FALSE(scan.Pending());
}

TEST(FileListItems, SelectAndRemove) {
    FileList list = ListOf({"A.jpg", "a.jpg", "abc.png", "b.png"}, -1);
    // The exact name first, then the first item beginning with it, case ignored.
    EXPECT_TRUE(SelectName(list, "a.jpg"));
    EXPECT_EQ(list.selection, 1);
    EXPECT_TRUE(SelectName(list, "A.jpg"));
    EXPECT_EQ(list.selection, 0);
    EXPECT_TRUE(SelectName(list, "AB"));
    EXPECT_EQ(list.selection, 2);
    EXPECT_FALSE(SelectName(list, "c.png"));
    EXPECT_EQ(list.selection, 2);  // unchanged
    EXPECT_FALSE(SelectName(list, ""));

    // The selection follows its item and goes with it.
    RemoveAt(list, 0);
    EXPECT_EQ(list.selection, 1);
    RemoveAt(list, 2);
    EXPECT_EQ(list.selection, 1);
    RemoveAt(list, 1);
    EXPECT_EQ(list.selection, -1);
    RemoveAt(list, 17);
    RemoveAt(list, -1);
    EXPECT_EQ(list.names, (std::vector<std::string>{"a.jpg"}));
}

TEST(FileListNavigate, Targets) {
    // First, Last, Previous, Next; -1: nothing.
    EXPECT_EQ(NavigateTarget(kNavFirst, 5, 2), 0);
    EXPECT_EQ(NavigateTarget(kNavFirst, 5, 0), -1);
    EXPECT_EQ(NavigateTarget(kNavLast, 5, 2), 4);
    EXPECT_EQ(NavigateTarget(kNavLast, 5, 4), -1);
    EXPECT_EQ(NavigateTarget(kNavPrevious, 5, 2), 1);
    EXPECT_EQ(NavigateTarget(kNavPrevious, 5, 0), -1);
    EXPECT_EQ(NavigateTarget(kNavNext, 5, 3), 4);
    EXPECT_EQ(NavigateTarget(kNavNext, 5, 4), -1);
    // No selection: Next goes to the first item, Previous nowhere.
    EXPECT_EQ(NavigateTarget(kNavNext, 5, -1), 0);
    EXPECT_EQ(NavigateTarget(kNavPrevious, 5, -1), -1);
    EXPECT_EQ(NavigateTarget(kNavFirst, 5, -1), 0);
    EXPECT_EQ(NavigateTarget(kNavLast, 5, -1), 4);
    for (int kind = 0; kind < 4; ++kind) EXPECT_EQ(NavigateTarget(kind, 0, -1), -1) << kind;
    EXPECT_EQ(NavigateTarget(9, 5, 2), -1);
}

TEST(FileListNavigate, EndsAskNothing) {
    Recorder r;
    FileList list = ListOf({"a.bmp", "b.bmp", "c.bmp"}, 2);
    EXPECT_EQ(Navigate(list, kNavNext, "/pics", r.Hooks()), NavigateResult::Nothing);
    EXPECT_EQ(Navigate(list, kNavLast, "/pics", r.Hooks()), NavigateResult::Nothing);
    list.selection = 0;
    EXPECT_EQ(Navigate(list, kNavPrevious, "/pics", r.Hooks()), NavigateResult::Nothing);
    EXPECT_EQ(Navigate(list, kNavFirst, "/pics", r.Hooks()), NavigateResult::Nothing);
    EXPECT_EQ(r.questions, 0);
    EXPECT_TRUE(r.loads.empty());
    EXPECT_EQ(list.selection, 0);

    EXPECT_EQ(Navigate(list, kNavNext, "/pics", r.Hooks()), NavigateResult::Loaded);
    EXPECT_EQ(r.questions, 1);
    EXPECT_EQ(r.loads, (std::vector<std::string>{"/pics/b.bmp"}));
    EXPECT_EQ(list.selection, 1);
    EXPECT_EQ(Navigate(list, kNavLast, "/", r.Hooks()), NavigateResult::Loaded);
    EXPECT_EQ(r.loads.back(), "/c.bmp");
}

TEST(FileListNavigate, CancelKeepsTheSelection) {
    Recorder r;
    r.goOn = false;
    FileList list = ListOf({"a.bmp", "b.bmp", "c.bmp"}, 1);
    EXPECT_EQ(Navigate(list, kNavNext, "/pics", r.Hooks()), NavigateResult::Nothing);
    EXPECT_EQ(r.questions, 1);
    EXPECT_EQ(r.refreshes, 1);
    EXPECT_TRUE(r.loads.empty());
    EXPECT_EQ(list.selection, 1);
    EXPECT_EQ(list.count(), 3);
}

TEST(FileListNavigate, FailedLoadRemovesTheName) {
    Recorder r;
    r.failing = {"/p/b.bmp", "/p/d.bmp"};
    FileList list = ListOf({"a.bmp", "b.bmp", "c.bmp", "d.bmp"}, 2);
    EXPECT_EQ(Navigate(list, kNavPrevious, "/p", r.Hooks()), NavigateResult::Failed);
    EXPECT_EQ(list.names, (std::vector<std::string>{"a.bmp", "c.bmp", "d.bmp"}));
    EXPECT_EQ(list.selection, 1);  // still c.bmp
    EXPECT_EQ(Navigate(list, kNavNext, "/p", r.Hooks()), NavigateResult::Failed);
    EXPECT_EQ(list.names, (std::vector<std::string>{"a.bmp", "c.bmp"}));
    EXPECT_EQ(list.selection, 1);
    // Now c.bmp is last: Next does nothing.
    EXPECT_EQ(Navigate(list, kNavNext, "/p", r.Hooks()), NavigateResult::Nothing);
    EXPECT_EQ(r.questions, 2);
}

TEST(FileListNavigate, OpenSelected) {
    Recorder r;
    FileList list = ListOf({"a.bmp", "b.bmp", "c.bmp"}, 0);
    list.watchedFolder = "/w";
    // The name already shown: nothing, not even the question.
    EXPECT_EQ(OpenSelected(list, 0, "a.bmp", r.Hooks()), SelectResult::Nothing);
    EXPECT_EQ(OpenSelected(list, 7, "a.bmp", r.Hooks()), SelectResult::Nothing);
    EXPECT_EQ(r.questions, 0);
    EXPECT_EQ(OpenSelected(list, 2, "a.bmp", r.Hooks()), SelectResult::Loaded);
    EXPECT_EQ(r.loads, (std::vector<std::string>{"/w/c.bmp"}));
    r.goOn = false;
    EXPECT_EQ(OpenSelected(list, 1, "c.bmp", r.Hooks()), SelectResult::Cancelled);
    EXPECT_EQ(r.refreshes, 1);
    r.goOn = true;
    r.failing = {"/w/b.bmp"};
    EXPECT_EQ(OpenSelected(list, 1, "c.bmp", r.Hooks()), SelectResult::Failed);
    EXPECT_EQ(list.names, (std::vector<std::string>{"a.bmp", "c.bmp"}));
}

TEST(FileListWatch, RefreshDecisions) {
    TempDir dir;
    Touch(dir.File("a.png"));
    FileList list;
    EXPECT_EQ(DecideRefresh(list, ""), RefreshAction::None);
    EXPECT_EQ(DecideRefresh(list, dir.path()), RefreshAction::Rebuild);
    EXPECT_TRUE(list.watch.IsOpen());
    EXPECT_EQ(DecideRefresh(list, dir.path()), RefreshAction::SelectOnly);

    // Writing into a listed file or making a folder is no name change.
    std::ofstream(dir.File("a.png"), std::ios::app) << "more";
    std::filesystem::create_directory(dir.File("sub"));
    Touch(dir.File("sub/inner.png"));
    EXPECT_EQ(DecideRefresh(list, dir.path()), RefreshAction::SelectOnly);

    // A new name, a rename and a deletion each call for a rebuild, once.
    Touch(dir.File("b.png"));
    EXPECT_EQ(DecideRefresh(list, dir.path()), RefreshAction::Rebuild);
    EXPECT_EQ(DecideRefresh(list, dir.path()), RefreshAction::SelectOnly);
    std::filesystem::rename(dir.File("b.png"), dir.File("c.png"));
    EXPECT_EQ(DecideRefresh(list, dir.path()), RefreshAction::Rebuild);
    std::filesystem::remove(dir.File("c.png"));
    EXPECT_TRUE(list.watch.Signalled());
    EXPECT_TRUE(list.watch.Signalled());  // stays signalled until re-armed
    list.watch.Rearm();
    EXPECT_FALSE(list.watch.Signalled());

    // Another folder is watched from now on.
    TempDir other;
    EXPECT_EQ(DecideRefresh(list, other.path()), RefreshAction::Rebuild);
    Touch(dir.File("d.png"));
    EXPECT_EQ(DecideRefresh(list, other.path()), RefreshAction::SelectOnly);

    FolderWatch broken;
    EXPECT_FALSE(broken.Open(dir.File("missing")));
    EXPECT_FALSE(broken.Signalled());
}

TEST(FileListWatch, ChangedFile) {
    TempDir dir;
    const std::string path = dir.File("a.png");
    FileList list;
    EXPECT_EQ(CheckFileChanged(list, path, true), FileChange::kUnreadable);
    EXPECT_EQ(CheckFileChanged(list, "", true), FileChange::kUnreadable);
    Touch(path);
    SetTime(path, 1000000);
    RememberWriteTime(list, path);
    EXPECT_EQ(CheckFileChanged(list, path, true), FileChange::kUnchanged);
    SetTime(path, 1000100);
    EXPECT_EQ(CheckFileChanged(list, path, false), FileChange::kChanged);
    EXPECT_EQ(CheckFileChanged(list, path, false), FileChange::kChanged);
    EXPECT_EQ(CheckFileChanged(list, path, true), FileChange::kChanged);
    // Remembered: asked once.
    EXPECT_EQ(CheckFileChanged(list, path, true), FileChange::kUnchanged);
    ::chmod(path.c_str(), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(CheckFileChanged(list, path, true), FileChange::kUnreadable);
    }
    ::chmod(path.c_str(), 0644);

    const BoxRequest box = FileChangedBox("a.png");
    EXPECT_EQ(box.text, "a.png は変更されています。開き直しますか?");
    EXPECT_EQ(box.caption, "Lumra Ex");
    EXPECT_EQ(box.icon, BoxIcon::Warning);
    EXPECT_EQ(box.buttons, BoxButtons::YesNo);
}

TEST(FileListWindow, Placement) {
    // Normal display: left of the main window, below its title bar.
    ListPlacement p = PlaceList(0, 500, 100, 30, 180, 0, 0);
    EXPECT_EQ(p.x, 320);
    EXPECT_EQ(p.y, 154);
    // Never left of the work area.
    p = PlaceList(0, 100, 100, 30, 180, 40, 0);
    EXPECT_EQ(p.x, 40);
    // Full screen and edit window.
    EXPECT_EQ(PlaceList(2, 0, 0, 30, 180, 0, 0).y, 24);
    EXPECT_EQ(PlaceList(1, 700, 100, 30, 180, 0, 188).y, 188);
}

TEST(FileListPaths, Join) {
    EXPECT_EQ(JoinFolder("/a", "b.png"), "/a/b.png");
    EXPECT_EQ(JoinFolder("/", "b.png"), "/b.png");
    EXPECT_EQ(JoinFolder("/a/", "b.png"), "/a/b.png");
    EXPECT_EQ(JoinFolder("", "b.png"), "b.png");
}

TEST(FileListRules, NeighboursToDecode) {
    struct Case {
        int selection, count;
        bool repeat;
        std::vector<int> wanted;
    };
    const Case cases[] = {
        {2, 5, false, {3, 1}}, {0, 5, false, {1}},  {4, 5, false, {3}},  {4, 5, true, {0, 3}},
        {0, 1, true, {}},      {-1, 5, false, {}},  {5, 5, false, {}},   {1, 2, true, {0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NeighboursToDecode(c.selection, c.count, c.repeat), c.wanted) << c.selection << "/" << c.count;
    }
}

TEST(FileListRules, ReplacementAfterRemoval) {
    // index removed, names left -> the one shown next
    const int cases[][3] = {{0, 3, 0}, {2, 3, 2}, {3, 3, 2}, {0, 0, -1}, {-1, 4, -1}};
    for (const auto& c : cases) EXPECT_EQ(ReplacementAfterRemoval(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
    FileList list = ListOf({"a.bmp", "b.bmp", "a.bmp"}, -1);
    EXPECT_EQ(IndexOfName(list, "a.bmp"), 2);
    EXPECT_EQ(IndexOfName(list, "c.bmp"), -1);
}

}  // namespace
}  // namespace lumra
