#include "shell/tool_settings.h"

#include <gtest/gtest.h>

namespace lumra {
namespace {

TEST(ToolSettings, DefaultsFallbacksAndRoundTrip) {
    IniFile empty;
    const BrushPrefs b = ReadBrushPrefs(empty);
    EXPECT_EQ(b.paintSize, 24);
    EXPECT_EQ(b.opacity, 50);
    EXPECT_EQ(b.mode, kBrushVivid);
    EXPECT_EQ(b.strength, (std::array<int, 6>{20, 20, 50, 50, 100, 100}));
    const TextSettings t = ReadTextSettings(empty);
    EXPECT_EQ(t.text, "<ここに文字を入力>");
    EXPECT_EQ(t.size, 36);
    EXPECT_EQ(t.opacity, 70);
    EXPECT_TRUE(t.shadow);

    IniFile bad;
    bad.Parse("[ImgD]\nDpbSize=2\nDcbMode=7\nDcbSharp=0\nDpbColR=256\n"
              "[ImgT]\nDrtSize=5\nDrtWeight=500\nDrtCharSet=1\nDrtShadow=2\nDrtItalic=3\nDrtShdX=100\n");
    const BrushPrefs bb = ReadBrushPrefs(bad);
    EXPECT_EQ(bb.paintSize, 24);
    EXPECT_EQ(bb.mode, kBrushVivid);
    EXPECT_EQ(bb.strength[4], 100);
    EXPECT_EQ(bb.red, 255);
    const TextSettings tb = ReadTextSettings(bad);
    EXPECT_EQ(tb.size, 36);
    EXPECT_EQ(tb.weight, 400);
    EXPECT_EQ(tb.charset, kCharsetJapanese);
    EXPECT_FALSE(tb.shadow);  // only bit 0 counts
    EXPECT_TRUE(tb.italic);
    EXPECT_EQ(tb.shadowX, 2);

    BrushPrefs p;
    p.paintSize = 7;
    p.blue = 3;
    p.strength[5] = 42;
    TextSettings q;
    q.text = "日本語, text";
    q.faceLatin = "DejaVu Sans";
    q.weight = 700;
    q.charset = kCharsetLatin;
    q.shadowGreen = 9;
    IniFile ini;
    WriteBrushPrefs(ini, p);
    WriteTextSettings(ini, q);
    IniFile back;
    back.Parse(ini.Serialize());
    const BrushPrefs p2 = ReadBrushPrefs(back);
    EXPECT_EQ(p2.paintSize, 7);
    EXPECT_EQ(p2.blue, 3);
    EXPECT_EQ(p2.strength[5], 42);
    const TextSettings q2 = ReadTextSettings(back);
    EXPECT_EQ(q2.text, q.text);
    EXPECT_EQ(q2.faceLatin, q.faceLatin);
    EXPECT_EQ(q2.weight, 700);
    EXPECT_EQ(q2.charset, kCharsetLatin);
    EXPECT_EQ(q2.shadowGreen, 9);
}

}  // namespace
}  // namespace lumra
