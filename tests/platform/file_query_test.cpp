#include "platform/file_query.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"

namespace lumra {
namespace {

TEST(FileQuery, KindsFollowLinks) {
    test::TempDir dir;
    test::WriteText(dir.File("file"), "x");
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    ASSERT_EQ(symlink(".", dir.File("here").c_str()), 0);
    ASSERT_EQ(symlink("gone", dir.File("dangling").c_str()), 0);
    const struct {
        std::string path;
        FileKind kind;
    } cases[] = {
        {"", FileKind::Missing},
        {dir.File("none"), FileKind::Missing},
        {dir.File("dangling"), FileKind::Missing},
        {dir.path(), FileKind::Folder},
        {dir.File("here"), FileKind::Folder},
        {dir.File("file"), FileKind::Regular},
        {dir.File("fifo"), FileKind::Other},
    };
    for (const auto& c : cases) EXPECT_EQ(KindOfFile(c.path), c.kind) << c.path;
}

TEST(FileQuery, FollowSymbolicLinks) {
    test::TempDir dir;
    // Relative links resolve against the link's own folder; a dangling one gives its target.
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0700), 0);
    ASSERT_EQ(symlink("sub/b", dir.File("a").c_str()), 0);
    ASSERT_EQ(symlink("c.ini", dir.File("sub/b").c_str()), 0);
    EXPECT_EQ(FollowSymbolicLinks(dir.File("a")), dir.File("sub/c.ini"));
    EXPECT_EQ(FollowSymbolicLinks(dir.File("plain")), dir.File("plain"));
    // A loop ends.
    ASSERT_EQ(symlink("loop2", dir.File("loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", dir.File("loop2").c_str()), 0);
    EXPECT_TRUE(IsSymbolicLink(FollowSymbolicLinks(dir.File("loop1"))));
}

}  // namespace
}  // namespace lumra
