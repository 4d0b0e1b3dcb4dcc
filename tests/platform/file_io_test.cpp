#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <random>

#include "platform/temp_file.h"
#include "test_util.h"

namespace lumra {
namespace {

using test::TempDir;

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

TEST(FileIo, ReadWholeFileReadsRegularFilesOnly) {
    TempDir dir;
    // Larger than the read chunk, and not a multiple of it.
    const auto big = RandomBytes(300001, 1);
    test::WriteFile(dir.File("big"), big);
    std::vector<uint8_t> out{1, 2, 3};
    ASSERT_TRUE(ReadWholeFile(dir.File("big"), out));
    EXPECT_EQ(out, big);

    test::WriteFile(dir.File("empty"), {});
    ASSERT_TRUE(ReadWholeFile(dir.File("empty"), out));
    EXPECT_TRUE(out.empty());

    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(ReadWholeFile(dir.path(), out));

    // A FIFO with no writer must neither block nor be read.
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(dir.File("fifo"), out));
    EXPECT_FALSE(ReadFilePrefix(dir.File("fifo"), 8).has_value());
}

TEST(FileIo, ReadFilePrefixStopsAtEndOfFile) {
    TempDir dir;
    test::WriteFile(dir.File("three"), {7, 8, 9});
    auto head = ReadFilePrefix(dir.File("three"), 8);
    ASSERT_TRUE(head.has_value());
    EXPECT_EQ(*head, (std::vector<uint8_t>{7, 8, 9}));
    head = ReadFilePrefix(dir.File("three"), 2);
    ASSERT_TRUE(head.has_value());
    EXPECT_EQ(*head, (std::vector<uint8_t>{7, 8}));

    test::WriteFile(dir.File("empty"), {});
    head = ReadFilePrefix(dir.File("empty"), 8);
    ASSERT_TRUE(head.has_value());
    EXPECT_TRUE(head->empty());

    EXPECT_FALSE(ReadFilePrefix(dir.File("missing"), 8).has_value());
    EXPECT_FALSE(ReadFilePrefix(dir.path(), 8).has_value());
}

TEST(FileIo, ExistenceAndTimes) {
    TempDir dir;
    test::WriteText(dir.File("f"), "x");
    EXPECT_TRUE(FileExists(dir.File("f")));
    EXPECT_FALSE(FileExists(dir.File("g")));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_TRUE(IsDirectory(dir.path()));
    EXPECT_FALSE(IsDirectory(dir.File("f")));
    EXPECT_FALSE(IsDirectory(""));

    const timespec times[2] = {{1000, 0}, {1234567890, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.File("f").c_str(), times, 0), 0);
    EXPECT_EQ(FileModifiedTime(dir.File("f")), 1234567890123456789LL);
    EXPECT_EQ(FileModifiedTime(dir.File("g")), 0);

    EXPECT_TRUE(DeleteFile(dir.File("f")));
    EXPECT_FALSE(FileExists(dir.File("f")));
    EXPECT_FALSE(DeleteFile(dir.File("f")));
}

TEST(FileIo, WriteAndCopyReplaceWholeFiles) {
    TempDir dir;
    const auto data = RandomBytes(70000, 2);
    ASSERT_TRUE(WriteWholeFile(dir.File("a"), data.data(), data.size()));
    EXPECT_EQ(test::ReadFile(dir.File("a")), data);
    // Rewriting with less leaves nothing of the old tail.
    const uint8_t small[3] = {1, 2, 3};
    ASSERT_TRUE(WriteWholeFile(dir.File("a"), small, 3));
    EXPECT_EQ(test::ReadFile(dir.File("a")).size(), 3u);
    EXPECT_FALSE(WriteWholeFile(dir.File("no/such/folder"), small, 3));

    ASSERT_TRUE(WriteWholeFile(dir.File("src"), data.data(), data.size()));
    test::WriteFile(dir.File("dst"), RandomBytes(200000, 3));
    ASSERT_TRUE(CopyFileOver(dir.File("src"), dir.File("dst")));
    EXPECT_EQ(test::ReadFile(dir.File("dst")), data);

    // Onto itself (also through a link): the content survives.
    ASSERT_TRUE(CopyFileOver(dir.File("src"), dir.File("src")));
    EXPECT_EQ(test::ReadFile(dir.File("src")), data);
    ASSERT_EQ(symlink(dir.File("src").c_str(), dir.File("link").c_str()), 0);
    ASSERT_TRUE(CopyFileOver(dir.File("link"), dir.File("src")));
    EXPECT_EQ(test::ReadFile(dir.File("src")), data);

    // A missing source leaves the destination alone.
    test::WriteText(dir.File("keep"), "keep");
    EXPECT_FALSE(CopyFileOver(dir.File("missing"), dir.File("keep")));
    EXPECT_EQ(test::ReadText(dir.File("keep")), "keep");
    EXPECT_FALSE(CopyFileOver(dir.File("src"), dir.File("no/such/folder")));
    EXPECT_FALSE(CopyFileOver(dir.File("src"), dir.path()));
}

TEST(TempFile, CreatedEmptyInTheTemporaryFolder) {
    TempDir dir;
    {
        test::ScopedEnv tmp("TMPDIR", dir.path() + "/");
        EXPECT_EQ(TempFolder(), dir.path());
        auto a = CreateTempFile();
        auto b = CreateTempFile();
        ASSERT_TRUE(a && b);
        EXPECT_NE(*a, *b);
        EXPECT_EQ(a->rfind(dir.path() + "/tmp", 0), 0u) << *a;
        EXPECT_TRUE(FileExists(*a));
        EXPECT_TRUE(test::ReadFile(*a).empty());

        {
            ScopedTempFile scoped(*a);
        }
        EXPECT_FALSE(FileExists(*a));
        std::string kept;
        {
            ScopedTempFile scoped(*b);
            kept = scoped.Release();
        }
        EXPECT_EQ(kept, *b);
        EXPECT_TRUE(FileExists(*b));
    }
    test::WriteText(dir.File("not-a-folder"), "");
    {
        test::ScopedEnv tmp("TMPDIR", dir.File("not-a-folder"));
        EXPECT_EQ(TempFolder(), "/tmp");
    }
    {
        test::ScopedEnv tmp("TMPDIR", dir.File("missing") + "/x");
        EXPECT_EQ(TempFolder(), "/tmp");
    }
}

}  // namespace
}  // namespace lumra
