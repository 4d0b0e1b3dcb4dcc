#include "document/history_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "document/document.h"
#include "edit/edit_model.h"
#include "formats/bmp/bmp_codec.h"
#include "shell/session.h"
#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;

ImageBuffer Solid(int w, int h, int bits, uint8_t v) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, bits));
    for (size_t i = 0; i < img.imageBytes(); ++i) img.bits()[i] = static_cast<uint8_t>(v + i);
    img.palette[1].red = v;
    return img;
}

bool Same(const ImageBuffer& a, const ImageBuffer& b) {
    return a.width() == b.width() && a.height() == b.height() && a.bitCount() == b.bitCount() &&
           (a.bitCount() == 24 || a.palette == b.palette) && std::equal(a.bits(), a.bits() + a.imageBytes(), b.bits());
}

struct HistoryFixture {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    Session s;
    std::vector<int> errors;
    ImageBuffer original = Solid(5, 3, 8, 10);

    HistoryFixture() {
        s.ui.showError = [this](int code) { errors.push_back(code); };
        fs::create_directories(dir.File("in"));
        DecoderContext ctx;
        EXPECT_TRUE(WriteBmpFile(dir.File("in/a.bmp"), original, 8, false, 0, ctx));
        EXPECT_TRUE(LoadPicture(s, dir.File("in/a.bmp")));
    }
    void Commit(uint8_t v, int w = 5, int h = 3, const char* name = "明るさ補正") {
        if (w == 5 && h == 3) {
            CommitPreview(s, Solid(w, h, 8, v), name);
        } else {
            InstallPicture(s, Solid(w, h, 8, v), true, true);
            SetPictureInfo(s, nullptr, HistoryMode::kAddEntry, name);
        }
    }
    size_t TempFiles() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir.path())) n += e.is_regular_file();
        return n;
    }
};

TEST(HistoryStore, FirstChangeWritesTheOriginalAndTheChange) {
    HistoryFixture f;
    f.s.history.Clear(kFormatJpeg);  // as loaded from a JPEG file
    f.Commit(50);
    EXPECT_EQ(f.s.history.entries, 2);
    EXPECT_EQ(f.s.history.position, 1);
    EXPECT_EQ(f.s.history.NameAt(0), "元の画像");
    EXPECT_EQ(f.s.history.NameAt(1), "明るさ補正");
    EXPECT_TRUE(f.s.history.IsModified());
    EXPECT_EQ(f.s.picture.image.sourceFormat, kFormatBmp);
    EXPECT_EQ(f.TempFiles(), 2u);

    // Undo to the original restores its pixels, its format and the unmodified state.
    ASSERT_TRUE(StepHistory(f.s, -1));
    EXPECT_TRUE(Same(f.s.picture.image, f.original));
    EXPECT_EQ(f.s.picture.image.sourceFormat, kFormatJpeg);
    EXPECT_FALSE(f.s.history.IsModified());
    EXPECT_FALSE(f.s.history.CanUndo());
    EXPECT_TRUE(f.s.history.CanRedo());
    // Past either end nothing happens and nothing is said.
    EXPECT_FALSE(StepHistory(f.s, -1));
    ASSERT_TRUE(StepHistory(f.s, 1));
    EXPECT_TRUE(Same(f.s.picture.image, Solid(5, 3, 8, 50)));
    EXPECT_FALSE(StepHistory(f.s, 1));
    EXPECT_TRUE(f.errors.empty());

    // A new load deletes the files.
    ASSERT_TRUE(LoadPicture(f.s, f.dir.File("in/a.bmp")));
    EXPECT_EQ(f.s.history.entries, 0);
    EXPECT_EQ(f.TempFiles(), 0u);
}

TEST(HistoryStore, ChangeAfterUndoDropsTheRedoTail) {
    HistoryFixture f;
    for (uint8_t v : {20, 30, 40}) f.Commit(v);
    ASSERT_TRUE(StepHistory(f.s, -2));
    f.Commit(99, 5, 3, "コントラスト");
    EXPECT_EQ(f.s.history.entries, 3);
    EXPECT_EQ(f.s.history.position, 2);
    EXPECT_EQ(f.s.history.NameAt(2), "コントラスト");
    EXPECT_EQ(f.TempFiles(), 3u);
    ASSERT_TRUE(StepHistory(f.s, -1));
    EXPECT_TRUE(Same(f.s.picture.image, Solid(5, 3, 8, 20)));
}

TEST(HistoryStore, TheLimitDropsTheOldestEntry) {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    HistoryStore h;
    for (int i = 0; i <= kHistoryLimit; ++i)
        ASSERT_TRUE(h.Record(std::to_string(i), Solid(1, 1, 24, static_cast<uint8_t>(i))));
    EXPECT_EQ(h.entries, kHistoryLimit);
    EXPECT_EQ(h.position, kHistoryLimit - 1);
    EXPECT_EQ(h.NameAt(0), "1");
    // Names stay with their pictures.
    ImageBuffer img;
    ASSERT_EQ(h.Step(-(kHistoryLimit - 1), img), HistoryStore::StepResult::kOk);
    EXPECT_EQ(img.bits()[0], 1);
    h.Clear();
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(HistoryStore, UnreadableEntryChangesNothing) {
    HistoryFixture f;
    f.Commit(20);
    fs::remove(f.s.history.files[0].path);
    EXPECT_FALSE(StepHistory(f.s, -1));
    EXPECT_EQ(f.errors, std::vector<int>{kErrHistoryRun});
    EXPECT_EQ(f.s.history.position, 1);
    EXPECT_TRUE(Same(f.s.picture.image, Solid(5, 3, 8, 20)));
}

TEST(HistoryStore, FileHoldsHeaderPaletteAndRows) {
    test::TempDir dir;
    const struct {
        int bits;
        size_t size;
    } cases[] = {{8, 12 + 1024 + 8 * 2}, {24, 12 + 16 * 2}};
    for (const auto& c : cases) {
        const ImageBuffer img = Solid(5, 2, c.bits, 7);
        ASSERT_TRUE(WriteHistoryFile(dir.File("h"), img));
        const std::vector<uint8_t> bytes = test::ReadFile(dir.File("h"));
        ASSERT_EQ(bytes.size(), c.size);
        EXPECT_EQ(bytes[0], 5);
        EXPECT_EQ(bytes[4], 2);
        EXPECT_EQ(bytes[8], c.bits);
        ImageBuffer back;
        ASSERT_TRUE(ReadHistoryFile(dir.File("h"), back));
        EXPECT_TRUE(Same(back, img));
    }
    test::WriteFile(dir.File("short"), {1, 0, 0, 0, 1, 0, 0, 0, 24, 0});
    ImageBuffer back;
    EXPECT_FALSE(ReadHistoryFile(dir.File("short"), back));
}

TEST(HistoryStore, MaskSurvivesOnlyStepsOfEqualSize) {
    const struct {
        int w, h;
        bool kept;
    } cases[] = {{5, 3, true}, {4, 3, false}};
    for (const auto& c : cases) {
        HistoryFixture f;
        f.Commit(20, c.w, c.h, "リサイズ");
        f.Commit(30, c.w, c.h);
        f.s.picture.selection.assign(static_cast<size_t>(c.w * c.h), 0);
        bool sizeChanged = true;
        ASSERT_TRUE(StepHistory(f.s, -1, &sizeChanged));
        EXPECT_FALSE(sizeChanged);
        EXPECT_FALSE(f.s.picture.selection.empty());
        ASSERT_TRUE(StepHistory(f.s, -1, &sizeChanged));
        EXPECT_EQ(sizeChanged, !c.kept);
        EXPECT_EQ(f.s.picture.selection.empty(), !c.kept) << c.w;
    }
}

TEST(StrokeHistory, StrokesUndoAndRedoTheirRectangles) {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    ImageBuffer before = Solid(6, 4, 24, 0), working = before.Clone();
    const ImageBuffer start = before.Clone();
    StrokeHistory h;
    auto stroke = [&](StrokeHistory::Rect dab, uint8_t v) {
        h.BeginStroke(6, 4);
        h.ExtendDirty(dab, 6, 4);
        for (int y = std::max(0, dab.top); y < std::min(4, dab.bottom); ++y)
            for (int x = std::max(0, dab.left); x < std::min(6, dab.right); ++x)
                working.topRow(y)[3 * x] = v;
        return h.EndStroke(before, working);
    };
    ASSERT_TRUE(stroke({-2, -2, 2, 1}, 200));  // clipped to the picture
    const ImageBuffer one = working.Clone();
    ASSERT_TRUE(stroke({3, 2, 5, 9}, 201));
    ASSERT_TRUE(stroke({0, 0, 6, 4}, 202));
    ASSERT_EQ(h.count(), 3);
    // The first stroke's file: rectangle, then before and after of 2 x 1 pixels.
    const std::vector<uint8_t> file = test::ReadFile(h.files[0]);
    ASSERT_EQ(file.size(), 16u + 2 * 6);
    EXPECT_EQ((std::vector<uint8_t>(file.begin(), file.begin() + 16)),
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(file[16 + 6], 200);

    ASSERT_TRUE(h.Undo(before, working));
    ASSERT_TRUE(h.Undo(before, working));
    EXPECT_TRUE(Same(working, one));
    EXPECT_TRUE(Same(before, one));
    ASSERT_TRUE(h.Undo(before, working));
    EXPECT_TRUE(Same(working, start));
    EXPECT_FALSE(h.CanUndo());
    ASSERT_TRUE(h.Redo(before, working));
    EXPECT_TRUE(Same(working, one));

    // A new stroke drops the redo tail; an empty one writes nothing.
    ASSERT_TRUE(stroke({1, 1, 1, 3}, 5));
    EXPECT_EQ(h.count(), 1);
    EXPECT_EQ(h.index, 0);
    h.Clear();
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace lumra
