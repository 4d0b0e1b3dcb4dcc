#include "edit/text/text_tool.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "shell/session.h"
#include "test_util.h"

namespace lumra {
namespace {

// The Japanese font the set-up installs.
constexpr const char* kFace = "IPAGothic";

ImageBuffer Black(int w, int h) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, 24));
    return img;
}

int Level(const GlyphRecord& g, int x, int y) {
    if (x < 0 || y < 0 || x >= static_cast<int>(g.blackBoxX) || y >= static_cast<int>(g.blackBoxY)) return 0;
    return g.bits[static_cast<size_t>(y) * ((g.blackBoxX + 3) & ~3u) + static_cast<size_t>(x)];
}

struct Text {
    TextTool t;
    explicit Text(const std::string& text, int w = 60, int h = 40) {
        EXPECT_TRUE(t.Start(Black(w, h)));
        t.settings.text = text;
        t.settings.faceJapanese = kFace;
        t.settings.size = 12;  // 16 pixels at 96 dpi
        t.settings.opacity = 100;
        t.settings.shadow = false;
    }
    GlyphRecord& Glyph(size_t i) { return t.run.glyphs[i]; }
    int Blue(int x, int y) { return t.dib.topRow(y)[3 * x]; }
};

TEST(TextGlyphs, FacesAndRecords) {
    const std::vector<std::string> ja = ListFontFaces(kCharsetJapanese);
    EXPECT_NE(std::find(ja.begin(), ja.end(), kFace), ja.end());
    for (const std::string& name : ListFontFaces(kCharsetLatin)) EXPECT_NE(name[0], '@');

    GlyphRun run;
    ASSERT_EQ(BuildGlyphs({kFace, 36, 400, false, kCharsetJapanese, 96}, u"A 日", run), GlyphBuild::kOk);
    ASSERT_EQ(run.glyphs.size(), 3u);
    EXPECT_GT(run.ascent, 24);
    EXPECT_LE(run.ascent, 48);
    int maxLevel = 0;
    for (const GlyphRecord& g : run.glyphs) {
        EXPECT_EQ(g.bits.size(), ((g.blackBoxX + 3) & ~3u) * g.blackBoxY);
        for (uint8_t v : g.bits) maxLevel = std::max<int>(maxLevel, v);
        EXPECT_GT(g.cellIncX, 0);
        EXPECT_EQ(g.cellIncY, 0);
        EXPECT_GE(g.originX, run.minOriginX);
        EXPECT_GE(run.ascent - g.originY, run.minTop);
    }
    EXPECT_EQ(maxLevel, 64);
    // A space is a blank 1 x 1 box that still advances the pen.
    EXPECT_EQ(run.glyphs[1].blackBoxX, 1u);
    EXPECT_EQ(run.glyphs[1].blackBoxY, 1u);
    EXPECT_EQ(run.glyphs[1].bits[0], 0);
    // Bold widens the strokes.
    GlyphRun bold;
    ASSERT_EQ(BuildGlyphs({kFace, 36, 700, false, kCharsetJapanese, 96}, u"日", bold), GlyphBuild::kOk);
    EXPECT_GT(bold.glyphs[0].blackBoxX, run.glyphs[2].blackBoxX);
}

TEST(TextRender, InkLiesInTheBlackBoxesAtTheOrigin) {
    Text f("日本");
    f.t.x = 10;
    f.t.y = 5;
    ASSERT_EQ(f.t.Rebuild(), GlyphBuild::kOk);
    const GlyphRun& run = f.t.run;
    const int pen2 = 10 + run.glyphs[0].cellIncX;
    int inked = 0;
    for (int y = 0; y < f.t.dib.height(); ++y)
        for (int x = 0; x < f.t.dib.width(); ++x) {
            // White text at full opacity over black: the value is the level's weight.
            const int level = std::max(
                Level(run.glyphs[0], x - 10 - run.glyphs[0].originX, y - 5 - run.ascent + run.glyphs[0].originY),
                Level(run.glyphs[1], x - pen2 - run.glyphs[1].originX, y - 5 - run.ascent + run.glyphs[1].originY));
            EXPECT_EQ(f.Blue(x, y), CoverageWeight(level)) << x << "," << y;
            inked += level > 0;
        }
    EXPECT_GT(inked, 40);
    EXPECT_EQ(f.t.covered.left, std::min(10, 10 + run.minOriginX));
    EXPECT_EQ(f.t.covered.right, pen2 + run.glyphs[1].originX + static_cast<int>(run.glyphs[1].blackBoxX));
    EXPECT_EQ(CoverageWeight(32), 127);
    EXPECT_EQ(CoverageWeight(64), 255);
}

TEST(TextRender, OpacityAndShadow) {
    // Opacity 70: a fully covered pixel over black takes 70 % of the colour; 0 changes nothing.
    Text f("日");
    f.t.settings.opacity = 70;
    ASSERT_EQ(f.t.Rebuild(), GlyphBuild::kOk);
    const GlyphRecord g = f.Glyph(0);
    int fx = -1, fy = -1;
    for (int y = 0; y < static_cast<int>(g.blackBoxY) && fx < 0; ++y)
        for (int x = 0; x < static_cast<int>(g.blackBoxX) && fx < 0; ++x)
            if (Level(g, x, y) == 64 && Level(g, x + 2, y + 2) == 0) fx = x, fy = y;
    ASSERT_GE(fx, 0);
    const int px = g.originX + fx, py = f.t.run.ascent - g.originY + fy;
    EXPECT_EQ(f.Blue(px, py), 179);
    f.t.settings.opacity = 0;
    f.t.Render(0, 0);
    for (size_t i = 0; i < f.t.dib.imageBytes(); ++i) ASSERT_EQ(f.t.dib.bits()[i], 0);

    // A blue shadow at (2, 2) under white text: hidden where the text covers fully, pure
    // shadow colour where only the shadow does.
    f.t.settings.opacity = 100;
    f.t.settings.shadow = true;
    f.t.settings.shadowBlue = 255;
    f.t.Render(0, 0);
    const uint8_t* text = f.t.dib.topRow(py) + 3 * px;
    EXPECT_EQ(std::vector<int>(text, text + 3), (std::vector<int>{255, 255, 255}));
    const uint8_t* shadow = f.t.dib.topRow(py + 2) + 3 * (px + 2);
    EXPECT_EQ(std::vector<int>(shadow, shadow + 3), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(f.t.covered.right, g.originX + static_cast<int>(g.blackBoxX) + 2);
}

TEST(TextRender, EdgesClipAndDraggingKeepsTheInkInside) {
    Text f("日本語", 80, 40);
    f.t.settings.shadow = true;
    f.t.settings.shadowX = f.t.settings.shadowY = 9;
    f.t.x = 70;  // text and shadow run past the right and bottom edges
    f.t.y = 30;
    ASSERT_EQ(f.t.Rebuild(), GlyphBuild::kOk);
    EXPECT_GT(f.t.covered.right, 80);
    EXPECT_GT(f.t.covered.bottom, 40);

    f.t.MoveBy(-1000, -1000);  // the leftmost and topmost ink stop at column and row 0
    EXPECT_EQ(f.t.x, -f.t.run.minOriginX);
    EXPECT_EQ(f.t.y, -f.t.run.minTop);
    f.t.MoveBy(1000, 1000);  // the block's ends stop one past the edge
    EXPECT_EQ(f.t.covered.right, 81);
    EXPECT_EQ(f.t.covered.bottom, 41);

    // Emptying the text restores every pixel drawn so far.
    f.t.settings.text.clear();
    EXPECT_EQ(f.t.Rebuild(), GlyphBuild::kOk);
    for (size_t i = 0; i < f.t.dib.imageBytes(); ++i) ASSERT_EQ(f.t.dib.bits()[i], 0);
}

TEST(TextOperation, OkCommitsNonEmptyText) {
    for (const char* text : {"", "A"}) {
        test::TempDir dir;
        test::ScopedEnv tmp{"TMPDIR", dir.path()};
        Session s;
        ASSERT_TRUE(s.picture.image.Allocate(30, 30, 8));
        EditModel model;
        ASSERT_TRUE(BeginOperation(model, s, kOpText));
        TextTool* tool = ActiveText(model);
        ASSERT_NE(tool, nullptr);
        tool->settings.text = text;
        tool->settings.faceJapanese = kFace;
        tool->Rebuild();
        const bool changed = EndOperation(model, s, true).changed;
        EXPECT_EQ(changed, *text != 0);
        EXPECT_EQ(s.picture.image.bitCount(), changed ? 24 : 8);
        if (changed) {
            EXPECT_EQ(s.history.NameAt(1), "テキスト挿入");
        }
    }
}

}  // namespace
}  // namespace lumra
