#include <gtest/gtest.h>

#include <map>

#include "edit/geometry/geometry_ops.h"
#include "edit/geometry/geometry_settings.h"
#include "edit/geometry/resample.h"
#include "edit/geometry/resize_bar.h"
#include "edit/geometry/rotate.h"
#include "edit/geometry/trim_frame.h"
#include "edit/geometry/turn.h"
#include "shell/session.h"
#include "test_util.h"

namespace lumra {
namespace {

// A grey 24-bit picture from stored rows (bottom row first).
ImageBuffer Grey(const std::vector<std::vector<int>>& stored) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(static_cast<int>(stored[0].size()), static_cast<int>(stored.size()), 24));
    for (size_t y = 0; y < stored.size(); ++y)
        for (size_t x = 0; x < stored[y].size(); ++x)
            for (int c = 0; c < 3; ++c) img.storedRow(static_cast<int>(y))[3 * x + c] = static_cast<uint8_t>(stored[y][x]);
    return img;
}

std::vector<std::vector<int>> StoredGrey(const ImageBuffer& img) {
    std::vector<std::vector<int>> out(static_cast<size_t>(img.height()));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) out[static_cast<size_t>(y)].push_back(img.storedRow(y)[3 * x]);
    return out;
}

TEST(Resample, HandComputedCases) {
    const struct {
        std::vector<std::vector<int>> in;
        int w, h;
        std::vector<std::vector<int>> out;
    } cases[] = {
        // 3 -> 2: the middle pixel's half (truncated) goes to the second pixel.
        {{{10, 101, 50}}, 2, 1, {{40, 66}}},
        // 2 -> 4: the last pixels repeat the last source pixel.
        {{{10, 21}}, 4, 1, {{10, 15, 21, 21}}},
        {{{7}}, 2, 1, {{7, 7}}},
        // Vertically, rows in storage order (bottom first).
        {{{10}, {101}, {50}}, 1, 2, {{40}, {66}}},
        // Both axes: vertical pass first, then horizontal.
        {{{10, 20}, {30, 41}}, 4, 1, {{20, 25, 30, 30}}},
    };
    for (const auto& c : cases) {
        const ImageBuffer out = ResizePicture(Grey(c.in), c.w, c.h);
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(StoredGrey(out), c.out) << c.w << "x" << c.h;
    }
}

TEST(Resample, RefusesWhatItCannotDo) {
    const ImageBuffer src = Grey({{1, 2}, {3, 4}});
    ImageBuffer dst = src.Clone();
    const Raster24 from{const_cast<uint8_t*>(src.bits()), 2, 2, src.stride()};
    for (const auto& [w, h] : {std::pair{2, 2}, {5, 2}, {2, 5}, {0, 1}, {25001, 1}})
        EXPECT_FALSE(Resample(from, Raster24{dst.bits(), w, h, dst.stride()})) << w << "x" << h;
    EXPECT_EQ(StoredGrey(dst), StoredGrey(src));
}

TEST(Resample, WholeRowToOnePixel) {
    // Reducing 25000 to 1 once asked for a table of 819 million entries.
    ImageBuffer row;
    ASSERT_TRUE(row.Allocate(25000, 1, 24));
    std::fill_n(row.bits(), row.imageBytes(), uint8_t{255});
    const ImageBuffer out = ResizePicture(row, 1, 1);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.bits()[0], 255);
}

TEST(Rotate, QuarterAngleGivesTurnedSizePlusMargin) {
    EXPECT_EQ(RotatedSizeFor(7, 4, 900).width, 9);
    EXPECT_EQ(RotatedSizeFor(7, 4, 900).height, 12);
    // 2 x 2 at 90 degrees: 7 x 7, background around the turned picture.
    const ImageBuffer src = Grey({{1, 2}, {3, 4}});
    const ImageBuffer out = RotatePicture(src, 900, BackgroundColour{200, 200, 200});
    ASSERT_EQ(out.width(), 7);
    ASSERT_EQ(out.height(), 7);
    const auto g = StoredGrey(out);
    for (const auto& [x, y] : {std::pair{0, 0}, {6, 0}, {0, 6}, {6, 6}, {2, 2}}) EXPECT_EQ(g[y][x], 200);
    // Clockwise: the bottom-left pixel goes to the top-left of the turned block.
    EXPECT_EQ(g[4][2], 1);
    EXPECT_EQ(g[4][3], 3);
    EXPECT_EQ(g[3][2], 2);
    EXPECT_EQ(g[3][3], 4);
}

TEST(Rotate, PreviewCutsCornersToTheFrame) {
    const ImageBuffer src = Grey({{1, 2, 3, 4}, {5, 6, 7, 8}});
    ImageBuffer dst = src.Clone();
    RotatePreview(src, dst, 900, BackgroundColour{9, 9, 9});
    EXPECT_EQ(StoredGrey(dst), (std::vector<std::vector<int>>{{9, 4, 8, 9}, {9, 3, 7, 9}}));
    RotatePreview(src, dst, 0, BackgroundColour{9, 9, 9});
    EXPECT_EQ(StoredGrey(dst), StoredGrey(src));
}

TEST(Rotate, RefusesResultsBeyondTheLimit) {
    ImageBuffer row;
    ASSERT_TRUE(row.Allocate(25000, 1, 24));
    EXPECT_TRUE(RotatePicture(row, 900, {}).empty());   // 25005 high
    EXPECT_TRUE(RotatePicture(row, 1800, {}).empty());  // 25005 wide
    ImageBuffer fits;
    ASSERT_TRUE(fits.Allocate(24995, 1, 24));
    EXPECT_EQ(RotatePicture(fits, 1800, {}).width(), 25000);
}

TEST(Rotate, AngleText) {
    const struct {
        const char* text;
        std::optional<int> loose, strict;
    } cases[] = {
        {"-45", -450, -450}, {"12.34", 123, 123}, {"0.05", 1, 1}, {"-0.05", -1, -1},  {"-0.04", 0, 0},
        {"200", 2000, 2000}, {"abc", 0, std::nullopt}, {"", 0, std::nullopt},      {"1e3", 10, std::nullopt},
        {" 7", 70, std::nullopt}, {"99999999999", 1000000000, 1000000000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseAngleTenths(c.text, false), c.loose) << c.text;
        EXPECT_EQ(ParseAngleTenths(c.text, true), c.strict) << c.text;
    }
    RotateBar bar;
    EXPECT_TRUE(bar.TypeText("-45"));
    EXPECT_EQ(bar.Stored(), 3150);
    EXPECT_TRUE(bar.TypeText("200"));
    EXPECT_EQ(bar.tenths, 1800);
    EXPECT_FALSE(bar.TypeText("180.0"));  // unchanged: no preview
    EXPECT_EQ(FormatAngle(-450), "-45.0");
    EXPECT_EQ(RotateBar::TextForPosition(5), "0.5");
}

TEST(Rotate, LineToolAndGrid) {
    const struct {
        int current, dx, dy;
        bool vertical;
        std::optional<int> tenths;  // the text applied like a typed one
    } cases[] = {
        {0, 8, -8, false, std::nullopt},  // too short on both axes
        {0, 100, 100, false, -450},
        {0, -100, 0, false, 0},  // drawn right to left: 180 folds to 0
        {100, 0, -100, true, 100},
        {0, 30, -100, true, -167},
        {1700, 100, 0, false, -100},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> text = LineToolText(c.current, c.dx, c.dy, c.vertical);
        EXPECT_EQ(text ? ParseAngleTenths(*text, true) : std::nullopt, c.tenths) << c.dx << "," << c.dy;
    }
    LineTool tool;
    tool.Press(10, 10);
    EXPECT_FALSE(tool.GridShown(true));
    tool.Move(500, 500, 0, 0, 99, 99);  // held to the picture: 89 x 89
    EXPECT_EQ(tool.Release(0, false), "-45.0");
    EXPECT_TRUE(tool.GridShown(true));
    EXPECT_EQ(tool.Release(0, false), std::nullopt);
    EXPECT_TRUE(GridLines(31).empty());
    EXPECT_EQ(GridLines(95), (std::vector<int>{32, 64}));
}

// 8-bit 3 x 2, pixel (x, y from the top) = x + 10 y.
ImageBuffer Indexed(int bits) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(3, 2, bits));
    img.palette[1] = RgbQuad{1, 2, 3, 0};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const int v = bits == 8 ? x + 10 * y : bits == 4 ? x + 3 * y : (x + y) & 1;
            uint8_t* row = img.topRow(y);
            if (bits == 8) row[x] = static_cast<uint8_t>(v);
            else if (bits == 4) row[x >> 1] |= static_cast<uint8_t>(v << ((x & 1) ? 0 : 4));
            else row[0] |= static_cast<uint8_t>(v << (7 - x));
        }
    return img;
}

bool SamePixels(const ImageBuffer& a, const ImageBuffer& b) {
    return a.width() == b.width() && a.height() == b.height() && a.bitCount() == b.bitCount() &&
           std::equal(a.bits(), a.bits() + a.imageBytes(), b.bits()) && a.palette == b.palette;
}

TEST(Turn, PixelsAndDepth) {
    const ImageBuffer pic = Indexed(8);
    const ImageBuffer r90 = TurnPicture(pic, kTurn90);
    ASSERT_EQ(r90.width(), 2);
    ASSERT_EQ(r90.height(), 3);
    EXPECT_EQ(r90.topRow(0)[0], 10);  // the bottom-left pixel comes to the top-left
    EXPECT_EQ(r90.topRow(0)[1], 0);
    EXPECT_EQ(r90.topRow(2)[0], 12);
    EXPECT_EQ(TurnPicture(pic, kTurn270).topRow(0)[0], 2);
    EXPECT_EQ(TurnPicture(pic, kTurn180).topRow(0)[0], 12);
    EXPECT_EQ(TurnPicture(pic, kMirrorLeftRight).topRow(1)[0], 12);
    EXPECT_EQ(TurnPicture(pic, kMirrorTopBottom).topRow(0)[2], 12);
    for (int bits : {1, 4, 8, 24}) {
        const ImageBuffer p = bits == 24 ? Grey({{1, 2, 3}, {4, 5, 6}}) : Indexed(bits);
        ImageBuffer q = p.Clone();
        for (int i = 0; i < 4; ++i) q = TurnPicture(q, kTurn90);
        EXPECT_TRUE(SamePixels(p, q)) << bits;
        EXPECT_TRUE(SamePixels(p, TurnPicture(TurnPicture(p, kTurn90), kTurn270))) << bits;
        EXPECT_TRUE(SamePixels(p, TurnPicture(TurnPicture(p, kMirrorLeftRight), kMirrorLeftRight))) << bits;
        EXPECT_TRUE(SamePixels(TurnPicture(p, kTurn180),
                               TurnPicture(TurnPicture(p, kMirrorLeftRight), kMirrorTopBottom))) << bits;
    }
    // 4-bit: the nibbles move with their pixels.
    EXPECT_EQ(TurnPicture(Indexed(4), kMirrorLeftRight).topRow(1)[0], 0x54);
}

TEST(Turn, OrientationState) {
    const struct {
        std::vector<int> kinds;
        int state;  // -1: no single transform any more
    } cases[] = {
        {{kMirrorLeftRight, kMirrorLeftRight}, 0},
        {{kMirrorLeftRight, kTurn90}, -1},
        {{kTurn90, kTurn90}, 2},
        {{kTurn90, kTurn270}, 0},
        {{kMirrorLeftRight, kTurn180}, 5},
        {{kTurn180, kMirrorTopBottom}, 4},
        {{kMirrorTopBottom, kMirrorLeftRight}, 2},
        {{kTurn270, kMirrorTopBottom}, -1},
    };
    for (const auto& c : cases) {
        int s = 0;
        for (int k : c.kinds) s = s < 0 ? -1 : NextOrientation(s, k);
        EXPECT_EQ(s, c.state) << c.kinds[0] << "," << c.kinds[1];
    }
}

TEST(Turn, CropKeepsDepthAndRefusesOutside) {
    const ImageBuffer cut = CropPicture(Indexed(8), PictureRect{1, 0, 2, 1});
    ASSERT_EQ(cut.width(), 2);
    EXPECT_EQ(cut.bitCount(), 8);
    EXPECT_EQ(cut.palette[1], (RgbQuad{1, 2, 3, 0}));
    EXPECT_EQ(cut.topRow(1)[1], 12);
    EXPECT_EQ(CropPicture(Indexed(4), PictureRect{1, 1, 2, 1}).topRow(0)[0], 0x45);
    EXPECT_TRUE(CropPicture(Indexed(8), PictureRect{0, 0, 3, 1}).empty());
    EXPECT_TRUE(CropPicture(Indexed(8), PictureRect{2, 0, 1, 1}).empty());
}

// Picture 1000 x 800 shown at 100 %.
struct Frame {
    ViewMapping m{1, 0, 0, 0, 0, 999, 799};
    TrimFrame f;
    explicit Frame(int ratio = 0) { f.Start(1000, 800, GeometrySettings{}.ratios, ratio); }
    void Drag(int x0, int y0, int x1, int y1) {
        f.Press(m, x0, y0);
        f.Move(m, x1, y1);
        f.Release(m, x1, y1);
    }
};

TEST(TrimFrame, ViewMappingBothWays) {
    const ViewMapping zoomIn{2, 10, 20, 10, 20, 209, 219};
    EXPECT_EQ(zoomIn.ToPictureX(9), -1);
    EXPECT_EQ(zoomIn.ToPictureX(11), 0);
    EXPECT_EQ(zoomIn.ToPictureY(22), 1);
    EXPECT_EQ(zoomIn.ToViewX(1), 12);
    EXPECT_EQ(zoomIn.ToViewX(1, true), 13);  // the far side of the pixel
    const ViewMapping zoomOut{0.5, 0, 0, 0, 0, 49, 49};
    EXPECT_EQ(zoomOut.ToPictureX(1), 2);
    EXPECT_EQ(zoomOut.ToViewX(0, true), 0);
    EXPECT_EQ(zoomOut.ToViewX(1, true), 0);
}

TEST(TrimFrame, DrawingAndStates) {
    Frame a;
    a.f.Press(a.m, 100, 100);
    EXPECT_TRUE(a.f.AcceleratorsSuspended());
    EXPECT_FALSE(a.f.ZoomEnabled());
    a.f.Move(a.m, 104, 104);  // 8 pixels: not yet a drag
    EXPECT_EQ(a.f.state, TrimFrame::kPressed);
    a.f.Release(a.m, 104, 104);
    EXPECT_EQ(a.f.state, TrimFrame::kIdle);
    EXPECT_FALSE(a.f.BoxesEnabled());
    a.Drag(300, 200, 100, 1200);  // dragged up-left and out: corners ordered, clamped
    EXPECT_EQ(a.f.rect, (PictureRect{100, 200, 300, 799}));
    EXPECT_TRUE(a.f.ZoomEnabled());
    EXPECT_FALSE(a.f.AcceleratorsSuspended());
    EXPECT_TRUE(a.f.Changes());

    // Ratio 1024:768: a rectangle 400 wide shows and takes a height of 300.
    Frame r(1);
    r.f.Press(r.m, 100, 100);
    r.f.Move(r.m, 499, 399);
    EXPECT_EQ(r.f.shownW, 400);
    EXPECT_EQ(r.f.shownH, 300);
    r.f.Release(r.m, 499, 399);
    EXPECT_EQ(r.f.rect, (PictureRect{100, 100, 499, 399}));

    // An empty ratio entry shows "-" and does not constrain.
    Frame e(4);
    EXPECT_EQ(RatioLabel(e.f.ratios[4]), "-");
    e.Drag(0, 0, 10, 500);
    EXPECT_EQ(e.f.rect, (PictureRect{0, 0, 10, 500}));
    Frame whole;
    whole.Drag(0, 0, 999, 799);
    EXPECT_FALSE(whole.f.Changes());
}

TEST(TrimFrame, HitAreasWithTolerance) {
    Frame a;
    a.Drag(100, 100, 199, 149);
    const struct {
        int x, y, area;
    } cases[] = {
        {100, 100, kAreaTopLeft}, {199, 100, kAreaTopRight}, {205, 155, kAreaBottomRight}, {93, 149, kAreaBottomLeft},
        {93, 125, kAreaLeft},     {92, 125, kAreaNone},      {206, 125, kAreaRight},       {150, 93, kAreaTop},
        {150, 156, kAreaBottom},  {150, 125, kAreaInside},   {300, 300, kAreaNone},        {150, 157, kAreaNone},
    };
    for (const auto& c : cases) EXPECT_EQ(a.f.HitArea(a.m, c.x, c.y), c.area) << c.x << "," << c.y;
    EXPECT_EQ(CursorForArea(kAreaBottomRight), CursorForArea(kAreaTopLeft));
    EXPECT_EQ(CursorForArea(kAreaInside), TrimCursor::kMove);
}

TEST(TrimFrame, Adjusting) {
    Frame a;
    a.Drag(100, 100, 199, 149);
    a.Drag(150, 125, 1150, 125);  // moved inside: clamped to the picture, size kept
    EXPECT_EQ(a.f.rect, (PictureRect{900, 100, 999, 149}));
    a.Drag(900, 120, 950, 120);  // left edge past nothing: follows the mouse
    EXPECT_EQ(a.f.rect.x1, 950);
    a.Drag(950, 120, 1200, 120);  // never past the right edge
    EXPECT_EQ(a.f.rect.x1, 999);
    a.Drag(999, 149, 5, 799);  // bottom-right corner without a ratio: both edges, limited
    EXPECT_EQ(a.f.rect, (PictureRect{999, 100, 999, 799}));

    Frame r(1);
    r.Drag(100, 100, 499, 399);
    r.Drag(499, 399, 899, 699);  // corner with the ratio: 800 wide, 600 high from (100, 100)
    EXPECT_EQ(r.f.rect, (PictureRect{100, 100, 899, 699}));
    const PictureRect before = r.f.rect;
    r.Drag(899, 699, 1500, 1500);  // would leave the picture: refused
    EXPECT_EQ(r.f.rect, before);
}

TEST(TrimFrame, TypedCoordinatesAndRatioChoice) {
    Frame a;
    a.Drag(100, 100, 199, 149);
    EXPECT_TRUE(a.f.TypeCoordinate(2, 5000));
    EXPECT_EQ(a.f.rect.x2, 999);
    EXPECT_TRUE(a.f.TypeCoordinate(0, 2000));
    EXPECT_EQ(a.f.rect.x1, 999);
    EXPECT_EQ(a.f.Range(2), (std::pair{999, 999}));

    Frame r(1);
    r.Drag(0, 0, 399, 299);
    EXPECT_TRUE(r.f.TypeCoordinate(2, 799));  // 800 wide: 600 high around the old centre
    EXPECT_EQ(r.f.rect, (PictureRect{0, 0, 799, 599}));
    EXPECT_TRUE(r.f.TypeCoordinate(3, 700));  // 701 high: 935 wide, moved back inside
    EXPECT_EQ(r.f.rect, (PictureRect{0, 0, 934, 700}));
    r.f.ratios[5] = RatioEntry{1, 2};
    EXPECT_FALSE(r.f.ChooseRatio(5));  // height kept, width 351 around the centre
    EXPECT_EQ(r.f.rect, (PictureRect{292, 0, 642, 700}));
    const PictureRect before = r.f.rect;
    EXPECT_FALSE(r.f.TypeCoordinate(0, 0));  // 643 wide needs 1286 high: the old value stays
    EXPECT_EQ(r.f.rect, before);
    r.f.ratios[6] = RatioEntry{1, 1};
    r.f.rect = PictureRect{0, 0, 999, 99};
    r.f.ChooseRatio(6);  // 100 wide would do: the height stays
    EXPECT_EQ(r.f.rect, (PictureRect{450, 0, 549, 99}));
    r.f.rect = PictureRect{0, 0, 99, 799};
    r.f.ratios[7] = RatioEntry{2, 1};
    r.f.ChooseRatio(7);  // 1600 wide cannot fit: 50 high around the centre instead
    EXPECT_EQ(r.f.rect, (PictureRect{0, 375, 99, 424}));
    EXPECT_TRUE(r.f.ChooseRatio(kListRegister));
    EXPECT_EQ(r.f.ratio, 7);
}

TEST(TrimFrame, PreviewHalvesTheOutside) {
    const ImageBuffer src = Grey({{200, 101}});
    ImageBuffer dst = src.Clone();
    const PictureRect r{0, 0, 0, 0};
    RenderTrimPreview(src, dst, &r);
    EXPECT_EQ(StoredGrey(dst), (std::vector<std::vector<int>>{{200, 50}}));
}

TEST(ResizeBar, Rules) {
    ResizeBar b;
    b.Open(101, 51);
    b.Track(50);
    EXPECT_EQ(std::pair(b.w, b.h), std::pair(51, 26));
    b.TypeW(150);
    EXPECT_EQ(b.h, 76);
    EXPECT_EQ(b.percent, 149);
    b.TypeW(500);  // clamped to twice the width
    EXPECT_EQ(std::pair(b.w, b.h), std::pair(202, 102));
    b.TypeH(1);
    EXPECT_EQ(std::pair(b.w, b.percent), std::pair(2, 2));
    b.SetIgnoreAspect(true);
    EXPECT_FALSE(b.TrackbarEnabled());
    b.TypeW(10);
    EXPECT_EQ(std::pair(b.w, b.h), std::pair(10, 1));

    ResizeBar big;
    big.Open(20000, 10);
    big.Track(200);  // never beyond 25000
    EXPECT_EQ(std::pair(big.w, big.h), std::pair(25000, 20));

    const std::array<SizePreset, 9> presets = GeometrySettings{}.presets;
    ResizeBar p;
    p.Open(600, 400);
    EXPECT_FALSE(p.ChoosePreset(presets, 1));
    EXPECT_TRUE(p.ignoreAspect);
    EXPECT_EQ(std::pair(p.w, p.h), std::pair(1024, 768));
    p.ChoosePreset(presets, 2);
    EXPECT_FALSE(p.ignoreAspect);
    EXPECT_EQ(std::pair(p.w, p.h), std::pair(240, 160));
    p.ChoosePreset(presets, 3);
    EXPECT_EQ(std::pair(p.w, p.h), std::pair(180, 120));
    p.ChoosePreset(presets, 4);  // empty
    EXPECT_EQ(std::pair(p.w, p.h), std::pair(180, 120));
    EXPECT_TRUE(p.ChoosePreset(presets, kListRegister));
}

TEST(ResizeBar, ListsAndRegistration) {
    const std::vector<std::string> items = PresetListItems(GeometrySettings{}.presets);
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items[0], "プリセット");
    EXPECT_EQ(items[1], "W:1024 H:768");
    EXPECT_EQ(items[2], "W:240");
    EXPECT_EQ(items[3], "H:120");
    EXPECT_EQ(items[4], "-");
    EXPECT_EQ(items[9], "登録");
    EXPECT_EQ(RatioListItems(GeometrySettings{}.ratios)[3], "1440:900");
    EXPECT_EQ(RegisteredRatio("1024", "0"), RatioEntry{});
    EXPECT_EQ(RegisteredRatio("16", "abc"), RatioEntry{});
    EXPECT_EQ(RegisteredSize("0", "120"), (SizePreset{0, 120}));
    EXPECT_EQ(RegisteredSize("123456", "7"), (SizePreset{9999, 7}));
    EXPECT_EQ(TypedNumber("12345x", 25000), 12345);  // five digits
}

TEST(GeometrySettings, DefaultsRangesAndRoundTrip) {
    std::map<std::string, int> file{{"TrmR1W", 10000}, {"TrmR4W", 16}, {"TrmR4H", 9}, {"TrmRSel", 9},
                                    {"RszP2H", -1},    {"TurGrid", 2},  {"TurVLine", 3}, {"TurBgG", 256}};
    const auto get = [&](const std::string& k, int def) { return file.count(k) ? file[k] : def; };
    GeometrySettings s;
    ReadGeometrySettings(get, s);
    EXPECT_EQ(s.ratios[1], (RatioEntry{1024, 768}));
    EXPECT_EQ(s.ratios[4], (RatioEntry{16, 9}));
    EXPECT_EQ(s.ratioSel, 0);
    EXPECT_EQ(s.presets[2], (SizePreset{240, 0}));
    EXPECT_EQ(s.grid, 0);
    EXPECT_EQ(s.verticalLine, 1);
    EXPECT_EQ(s.background.green, 255);
    file.clear();
    WriteGeometrySettings(s, [&](const std::string& k, int v) { file[k] = v; });
    EXPECT_EQ(file.size(), 16u + 1 + 16 + 5);
    GeometrySettings back;
    ReadGeometrySettings(get, back);
    EXPECT_EQ(back, s);
}

TEST(GeometryOps, DrivenLikeTheBars) {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    Session s;
    std::vector<int> errors;
    s.ui.showError = [&](int code) { errors.push_back(code); };
    ASSERT_TRUE(s.picture.image.Allocate(6, 4, 24));
    std::fill_n(s.picture.image.bits(), s.picture.image.imageBytes(), uint8_t{100});
    EditModel m;

    // Trimming: the stored ratio choice arrives, the preview halves the outside, Cancel keeps
    // the picture, OK cuts it.
    for (bool ok : {false, true}) {
        ASSERT_TRUE(BeginOperation(m, s, kOpTrim));
        GeometrySettings gs;
        gs.ratioSel = 2;
        ApplyGeometrySettings(*m.active, gs);
        TrimOperation* t = TrimOf(*m.active);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->frame.ratio, 2);
        t->frame.ChooseRatio(0);
        t->frame.rect = PictureRect{1, 1, 3, 2};
        t->frame.hasRect = true;
        t->frame.state = TrimFrame::kSettled;
        RequestRecompute(m);
        EXPECT_EQ(m.active->preview->copy.topRow(0)[0], 50);
        EXPECT_EQ(m.active->preview->copy.topRow(1)[3], 100);
        const EndResult r = EndOperation(m, s, ok);
        EXPECT_EQ(r.sizeChanged, ok);
        EXPECT_EQ(s.picture.image.width(), ok ? 3 : 6);
    }
    ASSERT_EQ(s.history.entries, 2);
    EXPECT_EQ(s.history.NameAt(1), "トリミング");

    // Rotation through the bar's setter and the preview worker.
    ASSERT_TRUE(BeginOperation(m, s, kOpRotate));
    SetRotation(*m.active, 900, BackgroundColour{});
    RequestRecompute(m);
    EXPECT_TRUE(EndOperation(m, s, true).sizeChanged);
    EXPECT_EQ(std::pair(s.picture.image.width(), s.picture.image.height()), std::pair(7, 8));
    EXPECT_EQ(s.history.NameAt(2), "任意角度回転");

    // Resize: the source pane alone, the trackbar at 50 %.
    ASSERT_TRUE(BeginOperation(m, s, kOpResize));
    EXPECT_EQ(m.layout, 1);
    ResizeOf(*m.active)->bar.Track(50);
    EXPECT_TRUE(EndOperation(m, s, true).changed);
    EXPECT_EQ(std::pair(s.picture.image.width(), s.picture.image.height()), std::pair(4, 4));
    EXPECT_EQ(s.history.NameAt(3), "リサイズ");

    // The immediate commands record their own entries.
    ASSERT_EQ(FindImmediate(5152)->apply(s), 0);
    EXPECT_EQ(s.history.NameAt(4), "270度回転");
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace lumra
