#include <gtest/gtest.h>

#include <string>

#include "edit/select/selection_tool.h"
#include "shell/session.h"

namespace lumra {
namespace {

// The mask as text, top row first: '#' selected (0), '.' kept (255), '+' in between.
std::string Picture(const SelectionTool& t) {
    std::string out;
    for (int y = 0; y < t.height; ++y) {
        for (int x = 0; x < t.width; ++x) {
            const int m = t.mask[static_cast<size_t>(t.height - 1 - y) * t.width + x];
            out += m == 0 ? '#' : m == 255 ? '.' : '+';
        }
        out += '\n';
    }
    return out;
}

int MaskAt(const SelectionTool& t, int x, int y) {
    return t.mask[static_cast<size_t>(t.height - 1 - y) * t.width + x];
}

struct Tool {
    SelectionTool t;
    Tool(int w, int h, std::vector<uint8_t> selection = {}, int bits = 24) {
        ImageBuffer img;
        EXPECT_TRUE(img.Allocate(w, h, bits));
        for (int i = 0; i < 256; ++i)
            img.palette[static_cast<size_t>(i)] = RgbQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0};
        EXPECT_TRUE(StartSelectionTool(t, img, selection, SelectionSettings{}));
    }
    Tool& Shape(int type, int mode) {
        t.settings.type = type;
        t.settings.mode = mode;
        return *this;
    }
    Tool& Drag(int x1, int y1, int x2, int y2, bool shift = false) {
        SelectionPress(t, x1, y1, shift);
        SelectionMove(t, x2, y2, shift);
        SelectionRelease(t, x2, y2, shift);
        return *this;
    }
    Tool& Path(std::vector<LassoPoint> pts) {
        SelectionPress(t, pts[0].x, pts[0].y, false);
        for (size_t i = 1; i < pts.size(); ++i) SelectionMove(t, pts[i].x, pts[i].y, false);
        SelectionRelease(t, pts.back().x, pts.back().y, false);
        return *this;
    }
};

TEST(SelectionTool, RectangleWritersAndClipping) {
    // No mask yet: "除外" first removes the shape from an all-selected picture.
    Tool ex(4, 3);
    ex.Shape(kShapeRect, kSelectExclude).Drag(1, 0, 2, 1);
    EXPECT_EQ(Picture(ex.t), "#..#\n#..#\n####\n");
    // "追加" leaves the rest, "新規" clears it; corners off the picture are clipped.
    ex.Shape(kShapeRect, kSelectAdd).Drag(-5, 2, 1, 9);
    EXPECT_EQ(Picture(ex.t), "#..#\n#..#\n####\n");
    ex.Shape(kShapeRect, kSelectNew).Drag(5, 5, 3, 2);
    EXPECT_EQ(Picture(ex.t), "....\n....\n...#\n");
    // A click without a drag changes nothing; Shift makes a square of (|dx| + |dy|) / 2.
    Tool sq(5, 5);
    sq.Shape(kShapeRect, kSelectNew).Drag(2, 2, 2, 2);
    EXPECT_FALSE(sq.t.changed);
    sq.Drag(4, 4, 0, 2, true);
    EXPECT_EQ(Picture(sq.t), ".....\n.####\n.####\n.####\n.####\n");
}

TEST(SelectionTool, EllipseFociRuleAndMends) {
    Tool c(5, 5);
    c.Shape(kShapeEllipse, kSelectNew).Drag(0, 0, 4, 4);
    EXPECT_EQ(Picture(c.t), ".###.\n#####\n#####\n#####\n.###.\n");
    // A flat drag selects only its own row (foci at the ends, the far end just outside).
    Tool flat(50, 20);
    flat.Shape(kShapeEllipse, kSelectNew).Drag(5, 10, 44, 10);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 50; ++x)
            EXPECT_EQ(MaskAt(flat.t, x, y), y == 10 && x >= 5 && x <= 43 ? 0 : 255)
                << x << "," << y;
    // Clipped to nothing: nothing is selected.
    Tool off(6, 6);
    off.Shape(kShapeEllipse, kSelectNew).Drag(-10, -10, -2, -3);
    EXPECT_EQ(Picture(off.t), "......\n......\n......\n......\n......\n......\n");
    EXPECT_TRUE(off.t.changed);
}

TEST(SelectionTool, EnclosureOutlineRegionAndClipping) {
    Tool sq(8, 7);
    sq.Shape(kShapeLasso, kSelectNew).Path({{1, 1}, {5, 1}, {5, 5}, {1, 5}});
    EXPECT_EQ(Picture(sq.t),
              "........\n.#####..\n.#####..\n.#####..\n.#####..\n.#####..\n........\n");
    // A concave outline: the notch stays outside.
    Tool u(7, 6);
    u.Shape(kShapeLasso, kSelectNew)
        .Path({{0, 0}, {1, 0}, {1, 3}, {5, 3}, {5, 0}, {6, 0}, {6, 5}, {0, 5}});
    EXPECT_EQ(Picture(u.t), "##...##\n##...##\n##...##\n#######\n#######\n#######\n");
    // Points off the picture are not marked; the region still counts.
    Tool off(8, 8);
    off.Shape(kShapeLasso, kSelectNew).Path({{-3, -3}, {3, -3}, {3, 3}, {-3, 3}});
    EXPECT_EQ(Picture(off.t).substr(0, 36), "####....\n####....\n####....\n####....\n");
    EXPECT_EQ(Picture(off.t).substr(36), "........\n........\n........\n........\n");
}

TEST(SelectionTool, EnclosureClosesItselfAtThePointLimit) {
    Tool t(10, 10);
    t.Shape(kShapeLasso, kSelectNew);
    SelectionPress(t.t, 0, 0, false);
    SelectionMove(t.t, 50000, 0, false);
    EXPECT_FALSE(t.t.dragging);
    EXPECT_TRUE(t.t.points.empty());
    EXPECT_TRUE(t.t.changed);
    SelectionRelease(t.t, 50000, 0, false);  // nothing more
    EXPECT_EQ(Picture(t.t).substr(0, 11), "##########\n");
    EXPECT_EQ(Picture(t.t).substr(11, 11), "..........\n");
}

TEST(SelectionTool, BrushDabs) {
    // No mask yet, "新規": the mask becomes 255 and the dab paints 0 by its weights.
    Tool b(4, 3);
    b.t.settings.size = 3;
    b.Shape(kShapeBrush, kSelectNew).Drag(1, 1, 1, 1);
    EXPECT_EQ(MaskAt(b.t, 1, 1), 0);
    EXPECT_EQ(MaskAt(b.t, 0, 1), 128);  // 255 - 127
    EXPECT_EQ(MaskAt(b.t, 0, 0), 180);
    EXPECT_EQ(MaskAt(b.t, 3, 1), 255);
    // A move walks the line: with spacing 0 a dab lands on (2,1), not on the end point.
    SelectionPress(b.t, 1, 1, false);
    SelectionMove(b.t, 3, 1, false);
    SelectionRelease(b.t, 3, 1, false);
    EXPECT_EQ(MaskAt(b.t, 2, 1), 0);
    EXPECT_EQ(MaskAt(b.t, 3, 1), 128);
    // The overlay follows each dab as a full rendering would.
    const ImageBuffer full = RenderOverlay(b.t.view, b.t.mask.data());
    EXPECT_EQ(
        std::vector<uint8_t>(full.bits(), full.bits() + full.imageBytes()),
        std::vector<uint8_t>(b.t.overlay.bits(), b.t.overlay.bits() + b.t.overlay.imageBytes()));
}

TEST(SelectionTool, ColourRangeAndAdjacency) {
    ImageBuffer img;
    ASSERT_TRUE(img.Allocate(5, 1, 24));
    const int values[5] = {10, 10, 200, 10, 11};
    for (int x = 0; x < 5; ++x)
        std::fill_n(img.topRow(0) + 3 * x, 3, static_cast<uint8_t>(values[x]));
    const struct {
        int range, unit;
        const char* expect;
    } cases[] = {{0, 0, "##.#.\n"}, {1, 0, "##.##\n"}, {1, 1, "##...\n"}, {255, 1, "#####\n"}};
    for (const auto& c : cases) {
        SelectionTool t;
        ASSERT_TRUE(StartSelectionTool(
            t, img, {}, SelectionSettings{kSelectNew, kShapeRange, 24, c.range, c.unit, 1}));
        SelectionPress(t, 0, 0, false);
        SelectionRelease(t, 0, 0, false);
        EXPECT_EQ(Picture(t), c.expect) << c.range << " " << c.unit;
    }
    // A click off the picture is ignored.
    SelectionTool t;
    ASSERT_TRUE(StartSelectionTool(t, img, {}, SelectionSettings{}));
    SelectionPress(t, 7, 0, false);
    EXPECT_FALSE(t.changed);
}

TEST(SelectionTool, FeatherInvertAndWhole) {
    Tool t(3, 3);
    EXPECT_FALSE(CanFeather(t.t));
    EXPECT_FALSE(FeatherSelection(t.t));
    t.Shape(kShapeRect, kSelectNew).Drag(1, 1, 1, 2);
    t.Drag(1, 1, 2, 2);
    SelectWhole(t.t, false);
    t.t.mask[4] = 0;            // the centre alone
    t.t.settings.smooth = 100;  // limited to 1 on 3 x 3
    ASSERT_TRUE(FeatherSelection(t.t));
    const std::vector<uint8_t> feathered{236, 215, 236, 215, 170, 215, 236, 215, 236};
    EXPECT_EQ(t.t.mask, feathered);
    InvertSelection(t.t);
    InvertSelection(t.t);
    EXPECT_EQ(t.t.mask, feathered);
    SelectWhole(t.t, true);
    EXPECT_EQ(t.t.mask, std::vector<uint8_t>(9, 0));
}

TEST(SelectionTool, FeatherBandsGiveTheSameResult) {
    std::vector<uint8_t> mask(static_cast<size_t>(41 * 300));
    for (size_t i = 0; i < mask.size(); ++i)
        mask[i] = static_cast<uint8_t>((i / 7 + i / 41 / 9) % 2 ? 255 : i % 97);
    std::vector<uint8_t> one = mask, four = mask;
    FeatherMask(one, 41, 300, 20, 1);
    FeatherMask(four, 41, 300, 20, 4);
    EXPECT_EQ(one, four);
    EXPECT_NE(one, mask);
}

TEST(SelectionTool, FinishRules) {
    const struct {
        bool ok;
        bool change;
        int bits;
        bool selection;
    } cases[] = {{true, true, 24, true}, {false, true, 8, false}, {true, false, 8, false}};
    for (const auto& c : cases) {
        Session s;
        ASSERT_TRUE(s.picture.image.Allocate(3, 2, 8));
        EditModel model;
        ASSERT_TRUE(BeginOperation(model, s, kOpSelection));
        SelectionTool* t = ActiveSelectionTool(model);
        ASSERT_NE(t, nullptr);
        if (c.change) SelectWhole(*t, true);
        EXPECT_FALSE(EndOperation(model, s, c.ok).changed);
        EXPECT_EQ(s.picture.image.bitCount(), c.bits);
        EXPECT_EQ(s.picture.selection.size(), c.selection ? 6u : 0u);
        EXPECT_EQ(s.history.entries, 0);
        EXPECT_EQ(ClearSelection(s), c.selection);
        EXPECT_TRUE(s.picture.selection.empty());
    }
}

}  // namespace
}  // namespace lumra
