#include "platform/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <regex>

#include "platform/file_io.h"
#include "test_util.h"

namespace lumra {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~ScopedCwd() { fs::current_path(old_); }

private:
    fs::path old_;
};

// Key=value lines of a .trashinfo file, with its header checked.
std::map<std::string, std::string> ReadInfo(const std::string& path) {
    const std::string text = test::ReadText(path);
    std::map<std::string, std::string> keys;
    EXPECT_EQ(text.rfind("[Trash Info]\n", 0), 0u) << text;
    size_t pos = text.find('\n') + 1;
    while (pos < text.size()) {
        const size_t end = text.find('\n', pos);
        const std::string line = text.substr(pos, end - pos);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) keys[line.substr(0, eq)] = line.substr(eq + 1);
        pos = end == std::string::npos ? text.size() : end + 1;
    }
    return keys;
}

std::time_t ParseLocal(const std::string& date) {
    std::tm tm{};
    strptime(date.c_str(), "%Y-%m-%dT%H:%M:%S", &tm);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

TEST(Trash, FolderFollowsXdgDataHome) {
    TempDir dir;
    {
        test::ScopedEnv data("XDG_DATA_HOME", dir.path() + "/data/");
        EXPECT_EQ(HomeTrashFolder(), dir.path() + "/data/Trash");
    }
    test::ScopedEnv home("HOME", dir.path());
    {
        test::ScopedEnv data("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
        EXPECT_EQ(HomeTrashFolder(), dir.path() + "/.local/share/Trash");
    }
    test::ScopedEnv data("XDG_DATA_HOME", "");
    EXPECT_EQ(HomeTrashFolder(), dir.path() + "/.local/share/Trash");
}

TEST(Trash, MovesFileAndWritesInfo) {
    TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
    const std::string name = "写真 100%#.bmp";
    const std::string file = dir.File(name);
    test::WriteText(file, "old picture");

    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(MoveToTrash(file));
    const std::time_t after = std::time(nullptr);
    EXPECT_FALSE(FileExists(file));

    const std::string trash = dir.File("data/Trash");
    EXPECT_EQ(test::ReadText(trash + "/files/" + name), "old picture");
    auto info = ReadInfo(trash + "/info/" + name + ".trashinfo");
    // Absolute path, URL-encoded byte by byte; '/' stays.
    std::string encoded = dir.path();
    EXPECT_EQ(info["Path"],
              encoded + "/%E5%86%99%E7%9C%9F%20100%25%23.bmp");
    ASSERT_TRUE(std::regex_match(info["DeletionDate"],
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)")))
        << info["DeletionDate"];
    const std::time_t when = ParseLocal(info["DeletionDate"]);
    EXPECT_GE(when, before - 1);
    EXPECT_LE(when, after + 1);
}

TEST(Trash, NamesAreMadeUnique) {
    TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
    const std::string trash = dir.File("data/Trash");
    fs::create_directories(dir.File("a"));
    fs::create_directories(dir.File("b"));
    fs::create_directories(dir.File("c"));
    test::WriteText(dir.File("a/pic.bmp"), "first");
    test::WriteText(dir.File("b/pic.bmp"), "second");
    test::WriteText(dir.File("c/pic.bmp"), "third");
    test::WriteText(dir.File("a/.hidden"), "dot");
    test::WriteText(dir.File("b/.hidden"), "dot2");
    ASSERT_TRUE(MoveToTrash(dir.File("a/pic.bmp")));
    ASSERT_TRUE(MoveToTrash(dir.File("b/pic.bmp")));
    // A stray entry without info must not be overwritten.
    test::WriteText(trash + "/files/pic.3.bmp", "stray");
    ASSERT_TRUE(MoveToTrash(dir.File("c/pic.bmp")));
    ASSERT_TRUE(MoveToTrash(dir.File("a/.hidden")));
    ASSERT_TRUE(MoveToTrash(dir.File("b/.hidden")));

    EXPECT_EQ(test::ReadText(trash + "/files/pic.bmp"), "first");
    EXPECT_EQ(test::ReadText(trash + "/files/pic.2.bmp"), "second");
    EXPECT_EQ(test::ReadText(trash + "/files/pic.3.bmp"), "stray");
    EXPECT_EQ(test::ReadText(trash + "/files/pic.4.bmp"), "third");
    EXPECT_EQ(test::ReadText(trash + "/files/.hidden.2"), "dot2");
    EXPECT_EQ(ReadInfo(trash + "/info/pic.2.bmp.trashinfo")["Path"], dir.path() + "/b/pic.bmp");
    EXPECT_EQ(ReadInfo(trash + "/info/pic.4.bmp.trashinfo")["Path"], dir.path() + "/c/pic.bmp");
    EXPECT_FALSE(FileExists(trash + "/info/pic.3.bmp.trashinfo"));
}

TEST(Trash, RelativePathIsRecordedAbsolute) {
    TempDir dir;
    test::ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
    fs::create_directories(dir.File("sub"));
    test::WriteText(dir.File("sub/x.png"), "x");
    ScopedCwd cwd(dir.File("sub"));
    ASSERT_TRUE(MoveToTrash("./../sub/x.png"));
    EXPECT_EQ(ReadInfo(dir.File("data/Trash/info/x.png.trashinfo"))["Path"],
              fs::canonical(dir.path()).string() + "/sub/x.png");
}

TEST(Trash, FailureLeavesFileInPlace) {
    TempDir dir;
    test::WriteText(dir.File("keep.bmp"), "mine");
    {
        // The trash cannot be made below a regular file.
        test::WriteText(dir.File("blocker"), "");
        test::ScopedEnv data("XDG_DATA_HOME", dir.File("blocker"));
        EXPECT_FALSE(MoveToTrash(dir.File("keep.bmp")));
        EXPECT_EQ(test::ReadText(dir.File("keep.bmp")), "mine");
    }
    {
        test::ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
        EXPECT_FALSE(MoveToTrash(dir.File("missing.bmp")));
        EXPECT_FALSE(MoveToTrash(""));
        // Nothing claimed for a file that was not moved.
        EXPECT_FALSE(FileExists(dir.File("data/Trash/info/missing.bmp.trashinfo")));
    }
}

TEST(Trash, CopiesAcrossFileSystems) {
    TempDir dir;
    struct stat a {}, b {};
    if (stat("/dev/shm", &b) != 0 || stat(dir.path().c_str(), &a) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system to move across";
    char tmpl[] = "/dev/shm/lumra-trash-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string other = tmpl;
    test::WriteText(other + "/far.bmp", "far away");
    ASSERT_EQ(chmod((other + "/far.bmp").c_str(), 0640), 0);

    test::ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
    const bool moved = MoveToTrash(other + "/far.bmp");
    const bool stillThere = FileExists(other + "/far.bmp");
    fs::remove_all(other);
    ASSERT_TRUE(moved);
    EXPECT_FALSE(stillThere);
    const std::string copy = dir.File("data/Trash/files/far.bmp");
    EXPECT_EQ(test::ReadText(copy), "far away");
    struct stat st {};
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadInfo(dir.File("data/Trash/info/far.bmp.trashinfo"))["Path"], other + "/far.bmp");
}

}  // namespace
}  // namespace lumra
