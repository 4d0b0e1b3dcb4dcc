#include "output/print_layout.h"

#include <gtest/gtest.h>

namespace lumra {
namespace {

// A PDF-like page: printable area = paper, 0.1 mm units.
PageGeometry Page(int w, int h) { return {w, h, w, h, 0, 0}; }

TEST(PrintLayout, MeasuresPageWithItsRounding) {
    struct Case {
        PageDevice device;
        PageGeometry expected;
    } cases[] = {
        // A4 portrait at 600 dpi: printable truncated, paper rounded, offsets rounded up.
        {{4760, 6814, 4961, 7016, 100, 100, 600, 600}, {2015, 2884, 2100, 2970, 43, 43}},
        // Letter landscape at 300 dpi.
        {{3200, 2450, 3300, 2550, 50, 50, 300, 300}, {2709, 2074, 2794, 2159, 43, 43}},
        // Zero offsets stay zero.
        {{2480, 3508, 2480, 3508, 0, 0, 300, 300}, {2099, 2970, 2100, 2970, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(MeasurePage(c.device), c.expected);
}

TEST(PrintLayout, InitialDpi) {
    struct Case {
        int xPels, yPels, screenX, screenY, dpi;
    } cases[] = {
        {0, 0, 96, 96, 96},  {3780, 3780, 96, 96, 96},    {11811, 11811, 96, 96, 300},
        {1, 0, 120, 120, 120}, {0, 0, 0, 0, 96},          {2000, 4000, 96, 96, 76},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InitialPrintDpi(c.xPels, c.yPels, c.screenX, c.screenY), c.dpi) << c.xPels << " " << c.screenX;
}

TEST(PrintLayout, NormalPlacementFitsThePrintableArea) {
    struct Case {
        PageGeometry page;
        int w, h, dpi;
        int x, y, r, b, expectDpi;
    } cases[] = {
        // 960 pixels at 96 dpi print 254.0 mm when they fit (A3 landscape) ...
        {Page(4200, 2970), 960, 480, 96, 0, 0, 2540, 1270, 96},
        // ... and are fitted to the printable width otherwise, the dpi growing.
        {Page(2100, 2970), 960, 480, 96, 0, 0, 2100, 1050, 116},
        {Page(2159, 2794), 960, 480, 96, 0, 0, 2159, 1080, 113},
        // Too tall: fitted to the height, narrower again.
        {Page(2794, 2159), 480, 960, 96, 0, 0, 1080, 2159, 113},
        // Tiny picture: raised to the 20 mm minimum on the longer side.
        {Page(2100, 2970), 10, 5, 96, 0, 0, 200, 100, 13},
    };
    for (const Case& c : cases) {
        const PrintLayout l = StartPrintLayout(c.page, c.w, c.h, c.dpi);
        EXPECT_EQ((PrintRect{l.x, l.y, l.r, l.b}), (PrintRect{c.x, c.y, c.r, c.b})) << c.page.printableWidth;
        EXPECT_EQ(l.dpi, c.expectDpi);
    }
}

TEST(PrintLayout, PreviewPaperAndScale) {
    struct Case {
        PageGeometry page;
        PrintRect paper;
        int scale;
    } cases[] = {
        {Page(2100, 2970), {58, 0, 341, 400}, 1347},  // A4 portrait
        {Page(2970, 2100), {0, 58, 400, 341}, 1347},  // A4 landscape
        {Page(2159, 2794), {45, 0, 354, 400}, 1432},  // Letter portrait
        {Page(2794, 2159), {0, 45, 400, 354}, 1432},  // Letter landscape
    };
    for (const Case& c : cases) {
        const PrintLayout l = StartPrintLayout(c.page, 100, 100, 96);
        EXPECT_EQ(l.paper, c.paper);
        EXPECT_EQ(l.scale, c.scale);
    }
}

TEST(PrintLayout, TypedValues) {
    enum Field { kLeft, kTop, kWidth, kHeight };
    struct Case {
        Field field;
        int value;
        PrintRect expected;
    } cases[] = {
        {kLeft, 300, {300, 0, 1300, 500}},
        {kLeft, 1500, {1100, 0, 2100, 500}},  // flush with the right edge instead
        {kTop, 2900, {0, 2470, 1000, 2970}},
        {kWidth, 50, {0, 0, 200, 100}},       // never below 20.0 mm
        {kWidth, 1600, {0, 0, 1600, 800}},
        {kWidth, 9000, {0, 0, 2100, 1050}},   // at most the printable width
        {kHeight, 800, {0, 0, 1600, 800}},
        {kHeight, 2000, {0, 0, 2100, 1050}},  // the width limits the height
    };
    for (const Case& c : cases) {
        PrintLayout l = StartPrintLayout(Page(2100, 2970), 1000, 500, 254);
        ASSERT_EQ((PrintRect{l.x, l.y, l.r, l.b}), (PrintRect{0, 0, 1000, 500}));
        const bool changed = c.field == kLeft ? SetPrintLeft(l, c.value)
                             : c.field == kTop ? SetPrintTop(l, c.value)
                             : c.field == kWidth ? SetPrintWidth(l, c.value)
                                                 : SetPrintHeight(l, c.value);
        EXPECT_TRUE(changed);
        EXPECT_EQ((PrintRect{l.x, l.y, l.r, l.b}), c.expected) << c.field << " " << c.value;
        EXPECT_EQ(l.dpi, static_cast<int>(RoundHalfAway(1000 * 254.0 / (l.r - l.x))));
    }
    PrintLayout l = StartPrintLayout(Page(2100, 2970), 1000, 500, 254);
    EXPECT_FALSE(SetPrintWidth(l, 1000));  // the stored value changes nothing
}

TEST(PrintLayout, EditTextAndUpDown) {
    EXPECT_EQ(ParsePrintTenths("12.25"), 123);
    EXPECT_EQ(ParsePrintTenths("-1.25"), -13);
    EXPECT_EQ(ParsePrintTenths("7"), 70);
    EXPECT_EQ(ParsePrintTenths("abc"), std::nullopt);
    EXPECT_EQ(ParsePrintTenths("1x"), std::nullopt);
    EXPECT_EQ(FormatPrintTenths(1234), "123.4");
    struct Case {
        const char* text;
        int delta;
        const char* result;
    } cases[] = {{"12.3", 1, "13.3"}, {"12.3", -1, "11.3"}, {"12.37", 1, "13.3"},
                 {"0.5", -1, "0.0"},  {"", 1, "1.0"}};
    for (const Case& c : cases) EXPECT_EQ(StepPrintText(c.text, c.delta), c.result) << c.text;
}

TEST(PrintLayout, FullPageCropIsCentredAndPansToTheEdges) {
    PrintLayout l = StartPrintLayout(Page(2100, 2970), 2000, 1000, 96);
    l.mode = PrintMode::kFull;
    UpdatePrintLayout(l);
    // Wider than the page in proportion: cropped left and right, centred.
    EXPECT_EQ((PrintRect{l.cropX, l.cropY, l.cropWidth, l.cropHeight}), (PrintRect{647, 0, 707, 1000}));
    EXPECT_EQ(l.printableArea, (PrintRect{58, 0, 341, 400}));
    EXPECT_EQ(PrintHitArea(l, 341, 400), 0);  // no handles in full-page mode
    PrintDrag d;
    BeginPrintDrag(l, d, 200, 200);
    EXPECT_TRUE(DragPrintTo(l, d, 0, 200));  // 200 preview pixels = 500 picture pixels
    EXPECT_EQ(l.cropX, 1147);
    EXPECT_TRUE(DragPrintTo(l, d, -1000, 200));
    EXPECT_EQ(l.cropX, 1293);
    EXPECT_FALSE(DragPrintTo(l, d, -1050, 200));  // stops at the edge
    EXPECT_TRUE(DragPrintTo(l, d, 2000, 200));
    EXPECT_EQ(l.cropX, 0);

    PrintLayout tall = StartPrintLayout(Page(2970, 2100), 1000, 1000, 96);
    tall.mode = PrintMode::kFull;
    UpdatePrintLayout(tall);
    EXPECT_EQ((PrintRect{tall.cropX, tall.cropY, tall.cropWidth, tall.cropHeight}), (PrintRect{0, 147, 1000, 707}));
}

TEST(PrintLayout, HitAreasAndCornerDrags) {
    PrintLayout l = StartPrintLayout(Page(2100, 2970), 1000, 500, 254);
    SetPrintLeft(l, 500);
    SetPrintTop(l, 500);
    const PrintRect p = PreviewPictureRect(l);
    EXPECT_EQ(p, (PrintRect{125, 67, 260, 135}));
    struct Hit {
        int x, y, area;
    } hits[] = {{260, 135, 1}, {267, 128, 1}, {260, 67, 2}, {125, 135, 3}, {118, 60, 4}, {190, 100, 0}, {268, 135, 0}};
    for (const Hit& h : hits) EXPECT_EQ(PrintHitArea(l, h.x, h.y), h.area) << h.x << "," << h.y;

    struct Drag {
        int fromX, fromY, toX, toY;
        PrintRect expected;
    } drags[] = {
        {190, 100, 204, 93, {604, 448, 1604, 948}},     // move
        {190, 100, -400, -400, {0, 0, 1000, 500}},      // stays inside the printable area
        {260, 135, 290, 135, {500, 500, 1648, 1074}},   // bottom-right grows, top-left fixed
        {125, 67, 300, 300, {1300, 900, 1500, 1000}},   // top-left shrinks to the minimum
        {260, 67, 900, 0, {500, 500, 1500, 1000}},      // cannot grow past the page: unchanged
    };
    for (const Drag& g : drags) {
        PrintLayout m = l;
        PrintDrag d;
        BeginPrintDrag(m, d, g.fromX, g.fromY);
        DragPrintTo(m, d, g.toX, g.toY);
        EXPECT_EQ((PrintRect{m.x, m.y, m.r, m.b}), g.expected) << g.fromX << "," << g.fromY;
    }
}

TEST(PrintLayout, DevicePlacement) {
    const PageDevice device{4760, 6814, 4961, 7016, 100, 100, 600, 600};
    PrintLayout l = StartPrintLayout(MeasurePage(device), 1000, 500, 254);
    SetPrintLeft(l, 100);
    EXPECT_EQ(PlaceOnDevice(l, device).target, (PrintRect{236, 0, 2598, 1181}));
    SetPrintLeft(l, 5000);  // flush right: the device rectangle ends at HORZRES
    EXPECT_EQ(PlaceOnDevice(l, device).target.right, 4760);
    l.mode = PrintMode::kFull;
    UpdatePrintLayout(l);
    const PrintPlacement full = PlaceOnDevice(l, device);
    EXPECT_EQ(full.target, (PrintRect{0, 0, 4760, 6814}));
    EXPECT_EQ(full.source, (PrintRect{l.cropX, 0, l.cropX + l.cropWidth, 500}));
}

}  // namespace
}  // namespace lumra
