#include "edit/bar_controls.h"

#include <gtest/gtest.h>

#include "document/save_bar.h"
#include "edit/colour_pick.h"
#include "edit/edit_model.h"

namespace lumra {
namespace {

using K = BarControlKind;

BarControl Box(int min, int max, int decimals = 0) {
    return {.id = 1, .kind = K::kEdit, .min = min, .max = max, .param = 0, .decimals = decimals};
}

TEST(BarControls, ParsesNumbersOrNothing) {
    struct Case {
        int decimals;
        const char* text;
        std::optional<int64_t> want;
    };
    const Case cases[] = {
        {0, "12", 12},        {0, " -7 ", -7},       {0, "+3", 3},           {0, "", std::nullopt},
        {0, "-", std::nullopt}, {0, "1.5", std::nullopt}, {0, "12a", std::nullopt},
        {0, "9999999999999", std::nullopt},  // 13 digits: not a number a box can hold
        {1, "12.34", 123},    {1, "12.35", 124},     {1, "-0.05", -1},       {1, "-0.04", 0},
        {1, "3", 30},         {1, "3.", 30},         {1, ".5", 5},           {1, ".", std::nullopt},
        {1, "1.2.3", std::nullopt}, {3, "2.2", 2200}, {3, "0.0004", 0},      {3, "0.0005", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " decimals " + std::to_string(c.decimals));
        EXPECT_EQ(ParseControlText(Box(-1000000, 1000000, c.decimals), c.text), c.want);
    }
}

TEST(BarControls, EditBoxClampsAndReportsOnlyChanges) {
    const BarControl c = Box(-180, 180);
    EXPECT_EQ(EditBoxChange(c, 10, "10"), std::nullopt);
    EXPECT_EQ(EditBoxChange(c, 10, "11"), 11);
    EXPECT_EQ(EditBoxChange(c, 10, "500"), 180);
    EXPECT_EQ(EditBoxChange(c, 10, "-99999"), -180);
    EXPECT_EQ(EditBoxChange(c, 180, "181"), std::nullopt);  // clamps to what is stored
    EXPECT_EQ(EditBoxChange(c, 10, "abc"), std::nullopt);
    EXPECT_EQ(EditBoxChange(c, 10, ""), std::nullopt);
}

TEST(BarControls, FormatsAndSteps) {
    EXPECT_EQ(FormatControlValue(Box(-9, 9), -5), "-5");
    EXPECT_EQ(FormatControlValue(Box(-1800, 1800, 1), -1805), "-180.5");
    EXPECT_EQ(FormatControlValue(Box(-1800, 1800, 1), 0), "0.0");
    EXPECT_EQ(FormatControlValue(Box(-1800, 1800, 1), -3), "-0.3");
    EXPECT_EQ(FormatControlValue(Box(1, 99999, 3), 2200), "2.200");
    const BarControl c = Box(0, 10);
    EXPECT_EQ(UpDownStep(c, 10, 1), 10);
    EXPECT_EQ(UpDownStep(c, 0, -1), 0);
    EXPECT_EQ(UpDownStep(c, 4, 3), 7);
    const BarControl combo{.kind = K::kCombo, .max = 2, .param = 0, .items = "a\nbb\nc"};
    EXPECT_EQ(ComboItemCount(combo), 3);
    EXPECT_EQ(ComboItem(combo, 1), "bb");
    EXPECT_EQ(ComboItem(combo, 3), "");
}

TEST(BarControls, TableCheckFindsFaults) {
    const BarControl trackbar{.id = 1, .kind = K::kTrackbar, .min = 0, .max = 100, .param = 0};
    struct Case {
        std::vector<BarControl> table;
        const char* fault;  // a word of the expected message; nullptr: sound
    };
    const Case cases[] = {
        {{trackbar, {.id = 2, .kind = K::kEdit, .min = 0, .max = 100, .param = 0}}, nullptr},
        {{trackbar, {.id = 2, .kind = K::kEdit, .min = 0, .max = 99, .param = 0}}, "another range"},
        {{trackbar, {.id = 2, .kind = K::kCheck, .min = 0, .max = 1, .param = 0}}, "another sort"},
        {{{.id = 1, .kind = K::kTrackbar, .min = 5, .max = 1, .param = 0}}, "empty range"},
        {{{.id = 1, .kind = K::kTrackbar, .min = 0, .max = 9, .def = 10, .param = 0}}, "default"},
        {{{.id = 1, .kind = K::kTrackbar, .max = 9, .param = 16}}, "param"},
        {{{.id = 1, .kind = K::kLabel, .caption = "x", .param = 2}}, "holds none"},
        {{{.id = 1, .kind = K::kCombo, .max = 1, .param = 0, .items = "a\nb\nc"}}, "entries"},
        {{{.id = 1, .kind = K::kRadio, .max = 2, .param = 0, .value = 0},
          {.id = 2, .kind = K::kRadio, .max = 2, .param = 0, .value = 0}}, "two radios"},
        {{{.id = 1, .kind = K::kRadio, .max = 2, .param = 0, .value = 3}}, "radio value"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const std::string fault = CheckBarTable(cases[i].table, kMaxOperationParams);
        if (!cases[i].fault) {
            EXPECT_EQ(fault, "");
        } else {
            EXPECT_NE(fault.find(cases[i].fault), std::string::npos) << fault;
        }
    }
}

// Every table the program declares holds together.
TEST(BarControls, DeclaredTablesAreSound) {
    for (const OperationDef& def : OperationTable()) {
        SCOPED_TRACE(def.kind);
        EXPECT_EQ(def.controls == nullptr, def.controlCount == 0);
        if (def.controls) {
            EXPECT_EQ(CheckBarTable({def.controls, static_cast<size_t>(def.controlCount)},
                                    kMaxOperationParams), "");
        }
    }
    for (int g = 0; g < kSaveFieldGroupCount; ++g)
        EXPECT_EQ(CheckBarTable(SaveFieldGroup(g), kSaveFieldCount), "") << g;
}

TEST(ColourPick, LiveColourFollowsThePointerOnThePicture) {
    ImageBuffer pic;
    ASSERT_TRUE(pic.Allocate(3, 2, 8));
    pic.palette[7] = RgbQuad{0x30, 0x20, 0x10, 0};
    pic.topRow(1)[2] = 7;  // bottom-right pixel
    ColourPick pick;
    EXPECT_FALSE(MoveColourPick(pick, pic, 2, 1));  // not armed
    EXPECT_EQ(ArmColourPick(pick, 2250, 0, 0xABCDEF), 1);
    EXPECT_TRUE(MoveColourPick(pick, pic, 2, 1));
    EXPECT_EQ(pick.live, 0x102030u);
    EXPECT_FALSE(MoveColourPick(pick, pic, 3, 1));  // off the picture: kept
    EXPECT_EQ(pick.live, 0x102030u);
    const std::optional<PickEnd> end = EndColourPick(pick, true);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->colour, 0x102030u);
    EXPECT_EQ(end->target, 2250);
    EXPECT_EQ(end->layout, 0);
    EXPECT_FALSE(pick.armed);
    EXPECT_FALSE(EndColourPick(pick, true));

    ArmColourPick(pick, 1, 2, 0);
    const std::optional<PickEnd> cancelled = EndColourPick(pick, false);
    ASSERT_TRUE(cancelled);
    EXPECT_FALSE(cancelled->colour);
    EXPECT_EQ(cancelled->layout, 2);

    ImageBuffer rgb;
    ASSERT_TRUE(rgb.Allocate(2, 2, 24));
    rgb.topRow(0)[3] = 1;  // B of (1, 0)
    rgb.topRow(0)[5] = 3;  // R
    EXPECT_EQ(PixelColour(rgb, 1, 0), 0x030001u);
    EXPECT_EQ(PixelColour(rgb, 0, 2), std::nullopt);
}

}  // namespace
}  // namespace lumra
