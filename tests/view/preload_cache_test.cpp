#include "view/preload_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "formats/bmp/bmp_codec.h"
#include "formats/jpeg/jpeg_codec.h"
#include "test_util.h"
#include "view/view_scaler.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::string kData = std::string(LUMRA_TESTDATA);

ImageBuffer MakeImage(int w, int h, int seed) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, 24));
    for (int y = 0; y < h; ++y)
        for (size_t x = 0; x < img.stride(); ++x)
            img.storedRow(y)[x] = static_cast<uint8_t>(x * 3 + y * 5 + seed);
    return img;
}

std::vector<uint8_t> BmpBytes(int w, int h, int seed) {
    DecoderContext ctx;
    std::vector<uint8_t> out;
    EXPECT_TRUE(EncodeBmp(MakeImage(w, h, seed), 24, false, 0, out, ctx));
    return out;
}

// "p<i>.<ext>" (built without string concatenation, which trips a false GCC warning).
std::string Numbered(const TempDir& dir, int i, const char* ext) {
    char name[32];
    std::snprintf(name, sizeof name, "p%d.%s", i, ext);
    return dir.File(name);
}

void WriteBmp(const std::string& path, int w, int h, int seed) { test::WriteFile(path, BmpBytes(w, h, seed)); }

// Rewrites a file in place, keeping its inode.
void Overwrite(const std::string& path, const std::vector<uint8_t>& data) {
    FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
    std::fclose(f);
}

bool SamePicture(const DecodedPicture& a, const DecodedPicture& b) {
    if (a.format != b.format || !(a.flags == b.flags) || a.image.width() != b.image.width() ||
        a.image.height() != b.image.height() || a.image.bitCount() != b.image.bitCount() ||
        a.image.fileSize != b.image.fileSize || a.image.fileTime != b.image.fileTime ||
        a.image.sourceBitDepth != b.image.sourceBitDepth || !(a.image.palette == b.image.palette))
        return false;
    if (std::memcmp(a.image.bits(), b.image.bits(), a.image.imageBytes()) != 0) return false;
    if (a.animation.frameCount() != b.animation.frameCount() || a.animation.delays != b.animation.delays)
        return false;
    for (size_t i = 0; i < a.animation.frames.size(); ++i)
        if (std::memcmp(a.animation.frames[i].bits(), b.animation.frames[i].bits(),
                        a.animation.frames[i].imageBytes()) != 0)
            return false;
    return true;
}

DecodedPicture Direct(const std::string& path, const LImgSettings& limg = {}) {
    DecodedPicture out;
    EXPECT_TRUE(DecodeOwnFormat(path, limg, out)) << path;
    return out;
}

TEST(PreloadCache, PreloadedPicturesEqualDirectDecodes) {
    TempDir dir;
    std::vector<std::string> paths;
    // BMP, a JPEG with a comment, a PNG with alpha and an animated GIF.
    paths.push_back(dir.File("a.bmp"));
    WriteBmp(paths.back(), 37, 21, 1);
    {
        std::vector<uint8_t> jpeg;
        DecoderContext ctx;
        JpegEncodeOptions options;
        options.comment = "hello";
        ASSERT_TRUE(EncodeJpegToMemory(MakeImage(64, 48, 9), options, jpeg, ctx));
        paths.push_back(dir.File("b.jpg"));
        test::WriteFile(paths.back(), jpeg);
    }
    paths.push_back(dir.File("c.png"));
    fs::copy_file(kData + "/pngsuite/basn6a08.png", paths.back());
    paths.push_back(dir.File("d.gif"));
    fs::copy_file(kData + "/gif-test-suite/animated_loop.gif", paths.back());

    PreloadCache cache;
    const PreloadKey key;
    cache.Request(paths, key);
    cache.WaitIdle();
    EXPECT_EQ(cache.entryCount(), paths.size());
    for (const std::string& path : paths) {
        std::optional<DecodedPicture> taken = cache.Take(path, key);
        ASSERT_TRUE(taken) << path;
        EXPECT_TRUE(SamePicture(*taken, Direct(path))) << path;
    }
    EXPECT_EQ(cache.entryCount(), 0u);
    EXPECT_EQ(cache.bytes(), 0u);
    // Taking moves the picture out: a second take has nothing.
    EXPECT_FALSE(cache.Take(paths[0], key));
}

TEST(PreloadCache, ReducedCopyMadeAheadEqualsTheWindowsOwnReduction) {
    TempDir dir;
    const std::string big = dir.File("big.bmp"), small = dir.File("small.bmp"), gif = dir.File("d.gif");
    WriteBmp(big, 301, 157, 4);
    WriteBmp(small, 20, 10, 5);
    fs::copy_file(kData + "/gif-test-suite/animated_loop.gif", gif);

    PreloadCache cache;
    // Half size, rounded down; pictures that would not shrink get none.
    cache.SetDisplaySize([](int w, int h, int* dw, int* dh) {
        if (w < 100) return false;
        *dw = w / 2;
        *dh = h / 2;
        return true;
    });
    const PreloadKey key;
    cache.Request({big, small, gif}, key);
    cache.WaitIdle();

    std::optional<DecodedPicture> taken = cache.Take(big, key);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(SamePicture(*taken, Direct(big)));
    ASSERT_EQ(taken->displayW, 150);
    ASSERT_EQ(taken->displayH, 78);
    std::vector<uint32_t> expected(150 * 78);
    ASSERT_TRUE(BoxReduce(taken->image, 150, 78, expected.data(), 150 * 4));
    EXPECT_EQ(taken->displayCopy, expected);

    taken = cache.Take(small, key);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(taken->displayCopy.empty());
    // An animation shows its frames, so it gets no copy of the picture.
    taken = cache.Take(gif, key);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(taken->displayCopy.empty());
}

TEST(PreloadCache, FileChangedAfterPreloadIsDecodedAfresh) {
    TempDir dir;
    const std::string same = dir.File("same.bmp");
    const std::string grown = dir.File("grown.bmp");
    const std::string replaced = dir.File("replaced.bmp");
    const std::string gone = dir.File("gone.bmp");
    WriteBmp(same, 40, 30, 1);
    WriteBmp(grown, 40, 30, 1);
    WriteBmp(replaced, 40, 30, 1);
    WriteBmp(gone, 40, 30, 1);
    PreloadCache cache;
    const PreloadKey key;
    cache.Request({same, grown, replaced, gone}, key);
    cache.WaitIdle();
    ASSERT_EQ(cache.entryCount(), 4u);

    // Same size, new content, rewritten in place at once: the times may not even move.
    Overwrite(same, BmpBytes(40, 30, 2));
    WriteBmp(grown, 41, 30, 1);
    // Another file renamed over it (another inode).
    WriteBmp(dir.File("new.bmp"), 40, 30, 3);
    fs::rename(dir.File("new.bmp"), replaced);
    fs::remove(gone);

    EXPECT_FALSE(cache.Take(same, key));
    EXPECT_FALSE(cache.Take(grown, key));
    EXPECT_FALSE(cache.Take(replaced, key));
    EXPECT_FALSE(cache.Take(gone, key));

    // Asked for again, the new contents are decoded.
    cache.Request({same, grown}, key);
    cache.WaitIdle();
    std::optional<DecodedPicture> taken = cache.Take(same, key);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(SamePicture(*taken, Direct(same)));
    taken = cache.Take(grown, key);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->image.width(), 41);
}

TEST(PreloadCache, RewriteWithModifiedTimePutBackIsNotShown) {
    TempDir dir;
    const std::string path = dir.File("old.bmp");
    WriteBmp(path, 20, 10, 1);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(path, old);
    PreloadCache cache;
    cache.Request({path}, PreloadKey{});
    cache.WaitIdle();
    std::optional<DecodedPicture> taken = cache.Take(path, PreloadKey{});
    ASSERT_TRUE(taken);
    EXPECT_TRUE(SamePicture(*taken, Direct(path)));

    // Same size, and the modification time set back as it was (as some copy tools do).
    cache.Request({path}, PreloadKey{});
    cache.WaitIdle();
    ASSERT_TRUE(cache.Contains(path));
    Overwrite(path, BmpBytes(20, 10, 5));
    fs::last_write_time(path, old);
    EXPECT_FALSE(cache.Take(path, PreloadKey{}));
}

TEST(PreloadCache, ChangedKeyDiscardsAndDecodesWithNewSettings) {
    TempDir dir;
    const std::string path = dir.File("alpha.png");
    fs::copy_file(kData + "/pngsuite/basn6a08.png", path);
    PreloadKey white;
    PreloadKey black;
    black.limg.bgR = black.limg.bgG = black.limg.bgB = 0;
    black.limg.fbg = 0;
    white.limg.fbg = 0;
    // The background shows through the alpha, so the two settings give different pixels.
    ASSERT_FALSE(SamePicture(Direct(path, white.limg), Direct(path, black.limg)));

    PreloadCache cache;
    cache.Request({path}, white);
    cache.WaitIdle();
    ASSERT_TRUE(cache.Contains(path));
    EXPECT_FALSE(cache.Take(path, black));  // discards what was made for white
    EXPECT_EQ(cache.entryCount(), 0u);

    cache.Request({path}, white);
    cache.WaitIdle();
    cache.Request({path}, black);  // a request with another key drops the old pictures too
    cache.WaitIdle();
    std::optional<DecodedPicture> taken = cache.Take(path, black);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(SamePicture(*taken, Direct(path, black.limg)));

    PreloadKey plugins = white;
    plugins.pluginFolder = dir.path();
    cache.Request({path}, white);
    cache.WaitIdle();
    EXPECT_FALSE(cache.Take(path, plugins));
}

TEST(PreloadCache, BudgetEvictsUnwantedFirstThenLeastWanted) {
    TempDir dir;
    // 100 x 100 at 24 bits: 30000 bytes of pixels each.
    const size_t one = PaddedRowBytes(100, 24) * 100;
    std::vector<std::string> p;
    for (int i = 0; i < 5; ++i) {
        p.push_back(Numbered(dir, i, "bmp"));
        WriteBmp(p.back(), 100, 100, i);
    }
    PreloadCache cache(PreloadCache::Options{3 * one, 1});
    const PreloadKey key;
    cache.Request({p[0], p[1], p[2]}, key);
    cache.WaitIdle();
    EXPECT_EQ(cache.entryCount(), 3u);
    EXPECT_EQ(cache.bytes(), 3 * one);

    // p0 and p1 are no longer wanted: they make room before p3 is dropped.
    cache.Request({p[3], p[4], p[2]}, key);
    cache.WaitIdle();
    EXPECT_LE(cache.bytes(), 3 * one);
    EXPECT_TRUE(cache.Contains(p[2]));
    EXPECT_TRUE(cache.Contains(p[3]));
    EXPECT_TRUE(cache.Contains(p[4]));
    EXPECT_FALSE(cache.Contains(p[0]));
    EXPECT_FALSE(cache.Contains(p[1]));

    // Four wanted, room for three: the last one wanted stays out, and is not decoded
    // over and over.
    cache.Request({p[0], p[1], p[2], p[3]}, key);
    cache.WaitIdle();
    const uint64_t decodes = cache.decodeCount();
    EXPECT_TRUE(cache.Contains(p[0]));
    EXPECT_TRUE(cache.Contains(p[1]));
    EXPECT_TRUE(cache.Contains(p[2]));
    EXPECT_FALSE(cache.Contains(p[3]));
    EXPECT_LE(cache.bytes(), 3 * one);
    cache.WaitIdle();
    EXPECT_EQ(cache.decodeCount(), decodes);
}

TEST(PreloadCache, OnlyTheLatestUnwantedPicturesAreKept) {
    TempDir dir;
    std::vector<std::string> p;
    for (int i = 0; i < 5; ++i) {
        p.push_back(Numbered(dir, i, "bmp"));
        WriteBmp(p.back(), 10, 10, i);
    }
    PreloadCache cache(PreloadCache::Options{PreloadCache::DefaultBudget(), 1, 2});
    // Stepping through the folder one way: each picture is wanted once, then no more.
    for (int i = 0; i < 5; ++i) {
        cache.Request({p[i]}, PreloadKey{});
        cache.WaitIdle();
    }
    EXPECT_EQ(cache.entryCount(), 3u);
    EXPECT_TRUE(cache.Contains(p[4]));
    EXPECT_TRUE(cache.Contains(p[3]));
    EXPECT_TRUE(cache.Contains(p[2]));
    EXPECT_EQ(cache.bytes(), 3 * PaddedRowBytes(10, 24) * 10);
}

TEST(PreloadCache, PictureLargerThanBudgetIsStillKept) {
    TempDir dir;
    const std::string big = dir.File("big.bmp");
    const std::string small = dir.File("small.bmp");
    WriteBmp(big, 200, 200, 1);
    WriteBmp(small, 10, 10, 1);
    PreloadCache cache(PreloadCache::Options{1000, 1});
    cache.Request({big, small}, PreloadKey{});
    cache.WaitIdle();
    EXPECT_TRUE(cache.Contains(big));
    EXPECT_FALSE(cache.Contains(small));
    EXPECT_TRUE(cache.Take(big, PreloadKey{}));
}

TEST(PreloadCache, FailuresAndPluginFormatsAreNotCached) {
    TempDir dir;
    const std::string bad = dir.File("bad.png");
    const std::string empty = dir.File("empty.jpg");
    const std::string unknown = dir.File("other.pic");
    const std::string missing = dir.File("missing.bmp");
    const std::string folder = dir.File("folder.bmp");
    std::vector<uint8_t> png = test::ReadFile(kData + "/pngsuite/basn2c08.png");
    png.resize(png.size() / 2);  // cut off in the middle of the data
    test::WriteFile(bad, png);
    test::WriteFile(empty, {});
    test::WriteText(unknown, "not a picture the own codecs know");
    fs::create_directory(folder);

    PreloadCache cache;
    cache.Request({bad, empty, unknown, missing, folder}, PreloadKey{});
    cache.WaitIdle();
    EXPECT_EQ(cache.entryCount(), 0u);
    for (const std::string& path : {bad, empty, unknown, missing, folder}) EXPECT_FALSE(cache.Take(path, PreloadKey{}));
    // The normal load still reads the broken file and fails.
    DecodedPicture out;
    EXPECT_FALSE(DecodeOwnFormat(bad, LImgSettings{}, out));
    EXPECT_NE(out.error, 0);

    // A failure is not tried again until the file changes; then it is.
    cache.Request({bad}, PreloadKey{});
    cache.WaitIdle();
    const uint64_t decodes = cache.decodeCount();
    cache.Request({bad}, PreloadKey{});
    cache.WaitIdle();
    EXPECT_EQ(cache.decodeCount(), decodes);
    fs::remove(bad);
    WriteBmp(bad, 8, 8, 1);
    cache.Request({bad}, PreloadKey{});
    cache.WaitIdle();
    EXPECT_TRUE(cache.Take(bad, PreloadKey{}));
}

TEST(PreloadCache, TakeWaitsForTheDecodeUnderWay) {
    TempDir dir;
    const std::string path = dir.File("large.jpg");
    {
        std::vector<uint8_t> jpeg;
        DecoderContext ctx;
        ASSERT_TRUE(EncodeJpegToMemory(MakeImage(1500, 1000, 3), JpegEncodeOptions{}, jpeg, ctx));
        test::WriteFile(path, jpeg);
    }
    for (int round = 0; round < 5; ++round) {
        PreloadCache cache;
        cache.Request({path}, PreloadKey{});
        // Taken at once: either before the worker started it (then the caller decodes
        // it itself) or while it runs (then the take waits); never a second decode.
        std::optional<DecodedPicture> taken = cache.Take(path, PreloadKey{});
        if (taken) {
            EXPECT_TRUE(SamePicture(*taken, Direct(path)));
        }
        cache.WaitIdle();
        EXPECT_LE(cache.decodeCount(), 1u);
        EXPECT_EQ(cache.entryCount(), 0u);
    }
}

TEST(PreloadCache, DestroyedWhileDecoding) {
    TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i) {
        std::vector<uint8_t> jpeg;
        DecoderContext ctx;
        ASSERT_TRUE(EncodeJpegToMemory(MakeImage(800, 600, i), JpegEncodeOptions{}, jpeg, ctx));
        paths.push_back(Numbered(dir, i, "jpg"));
        test::WriteFile(paths.back(), jpeg);
    }
    for (int workers = 1; workers <= 3; ++workers) {
        PreloadCache cache(PreloadCache::Options{PreloadCache::DefaultBudget(), workers});
        cache.Request(paths, PreloadKey{});
        std::this_thread::sleep_for(std::chrono::milliseconds(workers));
        // Requests and takes racing with the workers, then the end while they decode.
        cache.Request({paths[2], paths[3]}, PreloadKey{});
        (void)cache.Take(paths[3], PreloadKey{});
        PreloadKey other;
        other.limg.gamma = 0;
        cache.Request(paths, other);
    }
    PreloadCache idle;  // never asked for anything
}

TEST(PreloadCache, DefaultBudgetIsCapped) {
    const size_t budget = PreloadCache::DefaultBudget();
    EXPECT_GT(budget, 0u);
    EXPECT_LE(budget, size_t{3} << 29);
}

}  // namespace
}  // namespace lumra
