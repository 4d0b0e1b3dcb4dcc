#include "shell/colour_settings.h"

#include <gtest/gtest.h>

#include "shell/ini_file.h"

namespace lumra {
namespace {

TEST(ColourSettings, DefaultsRangesAndRoundTrip) {
    IniFile empty;
    const ColourSettings d = ReadColourSettings(empty);
    EXPECT_EQ(d.hlsMode, 2);
    EXPECT_EQ(d.rpcCol0G, 160);
    EXPECT_EQ(d.rpcCol1B, 128);
    EXPECT_EQ(d.rpcLevel, 100);
    IniFile ini;
    ini.Parse("[ImgC]\nHlsMode=5\nHlsColR=-3\nHlsRange=151\nRpcCol1G=300\nRpcRange=7\nRpcLevel=256\n");
    const ColourSettings c = ReadColourSettings(ini);
    EXPECT_EQ(c.hlsMode, 2);  // not a mode: the default
    EXPECT_EQ(c.hlsColR, 0);
    EXPECT_EQ(c.hlsRange, 150);
    EXPECT_EQ(c.rpcCol1G, 255);
    EXPECT_EQ(c.rpcRange, 7);
    EXPECT_EQ(c.rpcLevel, 255);
    IniFile out;
    WriteColourSettings(out, c);
    EXPECT_EQ(out.GetInt("ImgC", "RpcRange", -1), 7);
    const ColourSettings back = ReadColourSettings(out);
    EXPECT_EQ(back.hlsRange, c.hlsRange);
    EXPECT_EQ(back.rpcCol1G, c.rpcCol1G);
}

}  // namespace
}  // namespace lumra
