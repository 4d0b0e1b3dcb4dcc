#include "edit/brush/brush_tool.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <utility>

#include "shell/session.h"
#include "test_util.h"

namespace lumra {
namespace {

using Bgr = std::array<int, 3>;

ImageBuffer Picture(int w, int h, const std::function<Bgr(int, int)>& colour) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, 24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Bgr c = colour(x, y);
            for (int k = 0; k < 3; ++k) img.topRow(y)[3 * x + k] = static_cast<uint8_t>(c[static_cast<size_t>(k)]);
        }
    return img;
}

Bgr At(const ImageBuffer& img, int x, int y) {
    const uint8_t* p = img.topRow(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

Bgr Grey(int, int) { return {100, 100, 100}; }

struct Tool {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    BrushTool t;
    explicit Tool(const ImageBuffer& pic, std::vector<uint8_t> mask = {}) { EXPECT_TRUE(t.Start(pic, mask)); }
    void Stroke(std::initializer_list<std::pair<int, int>> points) {
        bool first = true;
        for (auto [x, y] : points) {
            if (first) t.Press(x, y);
            else t.Move(x, y);
            first = false;
        }
        EXPECT_TRUE(t.Release());
    }
    void Paint(int size, int opacity, Bgr colour) {
        t.settings.paint = true;
        t.settings.size = size;
        t.settings.alpha = OpacityByte(opacity);
        t.settings.blue = static_cast<uint8_t>(colour[0]);
        t.settings.green = static_cast<uint8_t>(colour[1]);
        t.settings.red = static_cast<uint8_t>(colour[2]);
    }
};

TEST(BrushMask, OddAndEvenSizes) {
    const struct {
        int size;
        std::vector<uint8_t> mask;
    } cases[] = {
        {1, {255}},
        {2, {165, 165, 165, 165}},
        {3, {75, 127, 75, 127, 255, 127, 75, 127, 75}},
        {4, {30, 92, 92, 30, 92, 210, 210, 92, 92, 210, 210, 92, 30, 92, 92, 30}},
    };
    for (const auto& c : cases) EXPECT_EQ(MakeBrushMask(c.size), c.mask) << c.size;
    // The stored set holds the same masks; the corners of large masks are empty.
    const std::vector<uint8_t> m128 = MakeBrushMask(128);
    EXPECT_TRUE(std::equal(m128.begin(), m128.end(), BrushMask(128)));
    EXPECT_EQ(BrushMask(4)[5], 210);
    EXPECT_EQ(m128[0], 0);
    EXPECT_EQ(MakeBrushMask(127)[63 * 127 + 63], 255);
}

TEST(BrushMask, ControlsClamp) {
    EXPECT_EQ(ClampBrushSize(1), 3);
    EXPECT_EQ(ClampBrushSize(500), 128);
    EXPECT_EQ(OpacityByte(0), 0);
    EXPECT_EQ(OpacityByte(50), 128);
    EXPECT_EQ(OpacityByte(100), 255);
}

TEST(BrushStroke, DabRectangleAndLineWalk) {
    const DabRect odd = DabRectangle(10, 10, 3), even = DabRectangle(10, 10, 4);
    EXPECT_EQ(std::make_tuple(odd.left, odd.top, odd.right, odd.bottom), std::make_tuple(9, 9, 12, 12));
    EXPECT_EQ(std::make_tuple(even.left, even.top, even.right, even.bottom), std::make_tuple(8, 8, 12, 12));
    using Points = std::vector<std::pair<int, int>>;
    const struct {
        int x0, y0, x1, y1;
        Points points;
    } cases[] = {
        {0, 0, 0, 0, {}},
        {0, 0, 2, 1, {{0, 0}, {1, 0}}},              // a tie stays toward the start
        {0, 0, -3, -1, {{0, 0}, {-1, 0}, {-2, -1}}},
        {5, 5, 5, 8, {{5, 5}, {5, 6}, {5, 7}}},
        {0, 0, 2, 2, {{0, 0}, {1, 1}}},
    };
    for (const auto& c : cases) {
        Points got;
        WalkLine(c.x0, c.y0, c.x1, c.y1, [&](int x, int y) { got.emplace_back(x, y); });
        EXPECT_EQ(got, c.points) << c.x1 << "," << c.y1;
    }
}

TEST(BrushStroke, TwoDabsSpacedBySizeOverEight) {
    // Size 8 (spacing 1): the press dabs at (2, 2), the walk to (6, 2) once more at (4, 2);
    // the end point gets none.
    Tool f(Picture(12, 6, Grey));
    f.Paint(8, 100, {0, 100, 200});
    f.Stroke({{2, 2}, {6, 2}});
    EXPECT_EQ(At(f.t.working, 2, 2), (Bgr{3, 100, 197}));
    EXPECT_EQ(At(f.t.working, 5, 2), (Bgr{26, 100, 174}));
    EXPECT_EQ(At(f.t.working, 7, 2), (Bgr{82, 100, 119}));
    EXPECT_EQ(At(f.t.working, 8, 2), (Bgr{100, 100, 100}));
    EXPECT_EQ(f.t.strokes.count(), 1);
}

TEST(BrushStroke, CorrectionModes) {
    auto pattern = [](int x, int y) {
        return Bgr{(x * 37 + y * 11) % 256, (x * 13 + y * 59) % 256, (x * 71 + y * 29) % 256};
    };
    const Bgr expected[] = {
        {135, 176, 218}, {57, 106, 175}, {83, 141, 213}, {108, 144, 188},
        {96, 144, 208},  {96, 144, 187}, {122, 98, 242},
    };
    for (int mode = kBrushBrighten; mode <= kBrushDenoise; ++mode) {
        Tool f(Picture(5, 5, pattern));
        f.t.settings = BrushSettings{false, 3, 0, 0, 0, 0, mode, 30};
        f.Stroke({{2, 2}});
        EXPECT_EQ(At(f.t.working, 2, 2), expected[mode]) << mode;
        // The neighbourhood modes leave the outermost rows and columns alone.
        f.Stroke({{0, 4}});
        f.Stroke({{4, 4}});
        const bool keepsBorder = mode >= kBrushSharpen;
        EXPECT_EQ(At(f.t.working, 0, 4) == pattern(0, 4), keepsBorder) << mode;
        EXPECT_EQ(At(f.t.working, 4, 4) == pattern(4, 4), keepsBorder) << mode;
    }
}

TEST(BrushStroke, OpacityDoesNotBuildUpWithinAStroke) {
    Tool f(Picture(5, 5, Grey));
    f.Paint(3, 50, {0, 0, 0});
    f.Stroke({{2, 2}, {4, 2}, {1, 2}});  // the centre is dabbed twice
    EXPECT_EQ(At(f.t.working, 2, 2), (Bgr{50, 50, 50}));
    f.Stroke({{2, 2}});
    EXPECT_EQ(At(f.t.working, 2, 2), (Bgr{25, 25, 25}));
}

TEST(BrushStroke, SelectionKeepsMaskedPixels) {
    // One row: kept, fully selected, half selected.
    const std::vector<uint8_t> mask{255, 0, 128};
    Tool fill(Picture(3, 1, Grey), mask);
    fill.Paint(3, 100, {200, 0, 0});
    EXPECT_TRUE(fill.t.Fill());
    EXPECT_EQ(At(fill.t.working, 0, 0), (Bgr{100, 100, 100}));
    EXPECT_EQ(At(fill.t.working, 1, 0), (Bgr{200, 0, 0}));
    EXPECT_EQ(At(fill.t.working, 2, 0), (Bgr{150, 50, 50}));
    Tool dab(Picture(3, 1, Grey), mask);
    dab.Paint(3, 100, {200, 0, 0});
    dab.Stroke({{1, 0}});
    EXPECT_EQ(At(dab.t.working, 0, 0), (Bgr{100, 100, 100}));
    EXPECT_EQ(At(dab.t.working, 1, 0), (Bgr{200, 0, 0}));
    EXPECT_EQ(At(dab.t.working, 2, 0), (Bgr{125, 75, 75}));
    // A stroke entirely under kept pixels records nothing.
    Tool kept(Picture(3, 1, Grey), {255, 255, 255});
    kept.Paint(3, 100, {200, 0, 0});
    kept.Stroke({{1, 0}});
    EXPECT_EQ(kept.t.strokes.count(), 0);
}

TEST(BrushStroke, UndoRedoPerStroke) {
    Tool f(Picture(8, 8, Grey));
    f.Paint(3, 100, {0, 0, 0});
    f.Stroke({{2, 2}});
    const ImageBuffer one = f.t.working.Clone();
    f.Stroke({{5, 5}});
    const ImageBuffer two = f.t.working.Clone();
    auto same = [](const ImageBuffer& a, const ImageBuffer& b) {
        return std::equal(a.bits(), a.bits() + a.imageBytes(), b.bits());
    };
    EXPECT_TRUE(f.t.Undo());
    EXPECT_TRUE(same(f.t.working, one));
    EXPECT_TRUE(same(f.t.before, one));
    EXPECT_TRUE(f.t.Undo());
    EXPECT_FALSE(f.t.Undo());
    EXPECT_EQ(At(f.t.working, 2, 2), (Bgr{100, 100, 100}));
    EXPECT_TRUE(f.t.Redo());
    EXPECT_TRUE(f.t.Redo());
    EXPECT_FALSE(f.t.Redo());
    EXPECT_TRUE(same(f.t.working, two));
    // A stroke off the picture records nothing but still ends the redo line.
    EXPECT_TRUE(f.t.Undo());
    f.Stroke({{-20, -20}, {-30, 40}});
    EXPECT_EQ(f.t.strokes.count(), 1);
    EXPECT_FALSE(f.t.strokes.CanRedo());
    EXPECT_TRUE(same(f.t.working, one));
}

struct BrushModel {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    Session s;
    EditModel model;
    BrushModel() {
        EXPECT_TRUE(s.picture.image.Allocate(6, 4, 8));
        s.picture.image.palette[0] = RgbQuad{10, 20, 30, 0};
    }
};

TEST(BrushOperation, OkCommitsOnlyAppliedStrokes) {
    const struct {
        int strokes, undos;
        bool ok, changed;
    } cases[] = {
        {0, 0, true, false},
        {2, 2, true, false},
        {2, 0, false, false},
        {3, 2, true, true},
    };
    for (const auto& c : cases) {
        BrushModel f;
        ASSERT_TRUE(BeginOperation(f.model, f.s, kOpPaint));
        EXPECT_EQ(f.s.operationState, kOpPaint);
        BrushTool* tool = ActiveBrush(f.model);
        ASSERT_NE(tool, nullptr);
        tool->settings.size = 3;
        tool->settings.alpha = 255;
        for (int i = 0; i < c.strokes; ++i) {
            tool->Press(i, 1);
            EXPECT_TRUE(tool->Release());
        }
        for (int i = 0; i < c.undos; ++i) EXPECT_TRUE(StepBrushStrokes(f.model, f.s, -1));
        const EndResult r = EndOperation(f.model, f.s, c.ok);
        EXPECT_EQ(r.changed, c.changed);
        EXPECT_EQ(f.s.picture.image.bitCount(), c.changed ? 24 : 8);
        EXPECT_EQ(f.s.history.entries, c.changed ? 2 : 0);
        if (c.changed) {
            EXPECT_EQ(f.s.history.NameAt(1), "ペイント");
            EXPECT_EQ(At(f.s.picture.image, 0, 1), (Bgr{255, 255, 255}));
            EXPECT_EQ(At(f.s.picture.image, 2, 1), (Bgr{10, 20, 30}));
        }
    }
}

}  // namespace
}  // namespace lumra
