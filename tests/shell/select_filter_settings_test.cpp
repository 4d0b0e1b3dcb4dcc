#include "shell/select_filter_settings.h"

#include <gtest/gtest.h>

#include "shell/ini_file.h"

namespace lumra {
namespace {

TEST(SelectFilterSettings, StoredValuesComeBackInRange) {
    IniFile ini;
    ini.Parse(
        "[ImgA]\nAreMode=7\nAreType=2\nAreSize=500\nAreRange=-4\nAreUnit=2\nAreSmooth=0\n"
        "[ImgF]\nUsmLevel=400\nSftMode=1\nSftLevel=15\nFcsLevel=256\nNsrLevel=999\n");
    const SelectionSettings a = ReadSelectionSettings(ini);
    EXPECT_EQ(a.mode, kSelectNew);
    EXPECT_EQ(a.type, kShapeLasso);
    EXPECT_EQ(a.size, 128);
    EXPECT_EQ(a.range, 0);
    EXPECT_EQ(a.unit, 0);
    EXPECT_EQ(a.smooth, 1);
    const FilterSettings f = ReadFilterSettings(ini);
    EXPECT_EQ(f.usmLevel, 100);
    EXPECT_EQ(f.usmRange, 20);  // default
    EXPECT_EQ(f.sftLevel, 10);
    EXPECT_EQ(f.fcsLevel, 200);
    EXPECT_EQ(f.nsrLevel, 255);
    // Written and read again unchanged.
    IniFile out;
    WriteSelectionSettings(out, a);
    WriteFilterSettings(out, f);
    const SelectionSettings a2 = ReadSelectionSettings(out);
    const FilterSettings f2 = ReadFilterSettings(out);
    EXPECT_EQ(a2.size, a.size);
    EXPECT_EQ(a2.type, a.type);
    EXPECT_EQ(f2.sftLevel, f.sftLevel);
    EXPECT_EQ(f2.usmRange, f.usmRange);
}

}  // namespace
}  // namespace lumra
