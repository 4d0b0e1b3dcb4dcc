#include "shell/settings.h"

#include <gtest/gtest.h>

#include <functional>

#include "shell/ini_file.h"
#include "test_util.h"

namespace lumra {
namespace {

ScreenFacts Screen() {
    ScreenFacts s;
    s.width = 1920;
    s.height = 1080;
    s.documentsFolder = "/home/u/Documents";
    return s;
}

Settings LoadText(const std::string& text, const ScreenFacts& screen = Screen()) {
    IniFile ini;
    ini.Parse(text);
    Settings s;
    LoadSettings(ini, screen, s);
    return s;
}

TEST(Settings, MissingFileGivesDefaults) {
    Settings s = LoadText("");
    EXPECT_EQ(s.limg, LImgSettings{});
    EXPECT_EQ(s.simg, SImgSettings{});
    EXPECT_EQ(s.awin.dClick, 2);
    EXPECT_EQ(s.awin.lrClick, 1);
    EXPECT_EQ(s.awin.mouseInfo, 1);
    EXPECT_EQ(s.vwin.sthMode, 4);
    EXPECT_EQ(s.vwin.bgColor, 2);
    EXPECT_EQ(s.swin.bgColor, 1);
    EXPECT_EQ(s.swin.rebarRow, 2);
    EXPECT_EQ(s.swin.w, 800);
    EXPECT_EQ(s.swin.h, 600);
    // Centred on the screen.
    EXPECT_EQ(s.swin.x, 560);
    EXPECT_EQ(s.swin.y, 240);
    EXPECT_EQ(s.path.open, "/home/u/Documents");
    EXPECT_EQ(s.path.app[7], "");

    // Centring uses the stored size.
    s = LoadText("[Swin]\nw=1000\nh=700\n");
    EXPECT_EQ(s.swin.x, 460);
    EXPECT_EQ(s.swin.y, 190);
    s = LoadText("[Swin]\nx=-1900\ny=-5\n");
    EXPECT_EQ(s.swin.x, -1900);  // a monitor left of the primary one
    EXPECT_EQ(s.swin.y, -5);
}

struct RangeCase {
    const char* section;
    const char* key;
    const char* value;
    int expected;
    std::function<int(const Settings&)> get;
};

TEST(Settings, RangeRules) {
    const RangeCase cases[] = {
        {"Vwin", "Time", "0", 1, [](const Settings& s) { return s.vwin.time; }},
        {"Vwin", "Time", "61", 1, [](const Settings& s) { return s.vwin.time; }},
        {"Vwin", "Time", "60", 60, [](const Settings& s) { return s.vwin.time; }},
        {"Vwin", "BgColor", "7", 1, [](const Settings& s) { return s.vwin.bgColor; }},
        {"Vwin", "BgColor", "-1", 1, [](const Settings& s) { return s.vwin.bgColor; }},
        {"Vwin", "BgColor", "4", 4, [](const Settings& s) { return s.vwin.bgColor; }},
        {"Swin", "BgColor", "5", 1, [](const Settings& s) { return s.swin.bgColor; }},
        {"Swin", "BgColor", "0", 0, [](const Settings& s) { return s.swin.bgColor; }},
        {"Vwin", "SthMode", "0", 3, [](const Settings& s) { return s.vwin.sthMode; }},
        {"Vwin", "SthMode", "4", 4, [](const Settings& s) { return s.vwin.sthMode; }},
        {"SImg", "Depth", "16", 24, [](const Settings& s) { return s.simg.depth; }},
        {"SImg", "Depth", "0", 24, [](const Settings& s) { return s.simg.depth; }},
        {"SImg", "Depth", "8", 8, [](const Settings& s) { return s.simg.depth; }},
        {"SImg", "Depth", "1", 1, [](const Settings& s) { return s.simg.depth; }},
        {"SImg", "Quality", "0", 75, [](const Settings& s) { return s.simg.quality; }},
        {"SImg", "Quality", "101", 75, [](const Settings& s) { return s.simg.quality; }},
        {"SImg", "Quality", "100", 100, [](const Settings& s) { return s.simg.quality; }},
        {"SImg", "Dither", "3", 3, [](const Settings& s) { return s.simg.dither; }},
        {"SImg", "Dither", "4", 0, [](const Settings& s) { return s.simg.dither; }},
        {"SImg", "Level", "-1", 9, [](const Settings& s) { return s.simg.level; }},
        {"SImg", "Level", "10", 9, [](const Settings& s) { return s.simg.level; }},
        {"SImg", "Level", "0", 0, [](const Settings& s) { return s.simg.level; }},
        {"SImg", "JMarker", "-1", 2, [](const Settings& s) { return s.simg.jMarker; }},
        {"SImg", "JMarker", "3", 2, [](const Settings& s) { return s.simg.jMarker; }},
        {"SImg", "JMarker", "0", 0, [](const Settings& s) { return s.simg.jMarker; }},
        {"SImg", "Format", "6", 0, [](const Settings& s) { return s.simg.format; }},
        {"SImg", "Format", "5", 5, [](const Settings& s) { return s.simg.format; }},
        {"SImg", "Filter", "-1", 0, [](const Settings& s) { return s.simg.filter; }},
        {"SImg", "Filter", "5", 5, [](const Settings& s) { return s.simg.filter; }},
        {"SImg", "Sampling", "3", 0, [](const Settings& s) { return s.simg.sampling; }},
        {"SImg", "Sampling", "2", 2, [](const Settings& s) { return s.simg.sampling; }},
        {"SImg", "AlphaG", "511", 255, [](const Settings& s) { return s.simg.alphaG; }},
        {"SImg", "JpgLmtVal", "12345", 12345, [](const Settings& s) { return s.simg.jpgLmtVal; }},
        {"SImg", "Progressive", "2", 0, [](const Settings& s) { return s.simg.progressive; }},
        {"Awin", "OptTab", "6", 0, [](const Settings& s) { return s.awin.optTab; }},
        {"Awin", "OptTab", "5", 5, [](const Settings& s) { return s.awin.optTab; }},
        {"Awin", "DClick", "4", 0, [](const Settings& s) { return s.awin.dClick; }},
        {"Awin", "DClick", "-1", 0, [](const Settings& s) { return s.awin.dClick; }},
        {"Awin", "DClick", "3", 3, [](const Settings& s) { return s.awin.dClick; }},
        {"Awin", "LRClick", "7", 0, [](const Settings& s) { return s.awin.lrClick; }},
        {"Awin", "Top", "3", 1, [](const Settings& s) { return s.awin.top; }},
        {"Awin", "MouseInfo", "2", 0, [](const Settings& s) { return s.awin.mouseInfo; }},
        {"Awin", "Start", "2", 2, [](const Settings& s) { return s.awin.start; }},
        {"Awin", "Dual", "1", 1, [](const Settings& s) { return s.awin.dual; }},
        {"Vwin", "CapBar", "2", 0, [](const Settings& s) { return s.vwin.capBar; }},
        {"Vwin", "Wheel", "3", 1, [](const Settings& s) { return s.vwin.wheel; }},
        {"Vwin", "PosL", "-50", -50, [](const Settings& s) { return s.vwin.posL; }},
        {"Swin", "RebarRow", "3", 3, [](const Settings& s) { return s.swin.rebarRow; }},
        {"Swin", "SWAreaZm", "0", 0, [](const Settings& s) { return s.swin.swAreaZm; }},
        {"LImg", "BGR", "256", 0, [](const Settings& s) { return s.limg.bgR; }},
        {"LImg", "BGG", "300", 44, [](const Settings& s) { return s.limg.bgG; }},
        {"LImg", "BGB", "-1", 255, [](const Settings& s) { return s.limg.bgB; }},
        {"LImg", "DispGam", "1800", 1800, [](const Settings& s) { return s.limg.dispGam; }},
        {"LImg", "Alpha", "0", 0, [](const Settings& s) { return s.limg.alpha; }},
    };
    for (const RangeCase& c : cases) {
        Settings s = LoadText(std::string("[") + c.section + "]\n" + c.key + "=" + c.value + "\n");
        EXPECT_EQ(c.get(s), c.expected) << c.section << "/" << c.key << "=" << c.value;
    }
    // Missing Dither is read with the fallback 16, which is out of range.
    EXPECT_EQ(LoadText("[SImg]\nDepth=8\n").simg.dither, 0);
}

TEST(Settings, OpenFolderMustExist) {
    test::TempDir dir;
    EXPECT_EQ(LoadText("[Path]\nOpen=" + dir.path() + "\n").path.open, dir.path());
    EXPECT_EQ(LoadText("[Path]\nOpen=" + dir.File("gone") + "\n").path.open, "/home/u/Documents");
    test::WriteText(dir.File("file"), "x");
    EXPECT_EQ(LoadText("[Path]\nOpen=" + dir.File("file") + "\n").path.open, "/home/u/Documents");
    Settings s = LoadText("[Path]\nSPI=/opt/spi\nAPP3=/usr/bin/gimp\nAN3=画像編集\n");
    EXPECT_EQ(s.path.spi, "/opt/spi");
    EXPECT_EQ(s.path.app[3], "/usr/bin/gimp");
    EXPECT_EQ(s.path.an[3], "画像編集");
}

TEST(Settings, SaveWritesTheFixedOrderAndKeepsForeignSections) {
    IniFile ini;
    ini.Parse(
        "[Akey]\n"
        "Key=0102FF02\n"
        "[Awin]\n"
        "Start=2\n"
        "Dual=1\n"
        "Junk=5\n"
        "[Vwin]\n"
        "Unknown=1\n"
        "; note\n"
        "[ImgF]\n"
        "Unknown=7\n"
        "; filter comment\n");
    Settings s;
    s.swin.x = 100;
    s.swin.y = -20;
    s.vwin.time = 30;
    s.limg.bgR = 0;
    s.path.open = "/tmp/x";
    s.path.app[0] = "/usr/bin/gimp";
    s.path.an[0] = "GIMP";
    SaveSettings(ini, s);

    std::string expected =
        "[Akey]\nKey=0102FF02\n"
        "[ImgF]\nUnknown=7\n; filter comment\n"
        "[Awin]\nStart=2\nDual=1\nDClick=2\nLRClick=1\nTop=0\nWheelRev=0\nOptTab=0\nNoRecycMsg=0\n"
        "XPOldReg=0\nMouseInfo=1\n"
        "[LImg]\nGamma=1\nDispGam=2200\nAlpha=1\nFBG=1\nBGR=0\nBGG=255\nBGB=255\n"
        "[SImg]\nFormat=0\nDepth=24\nGray=0\nDither=0\nLevel=9\nFilter=0\nInterlace=0\nGamma=0\n"
        "SaveGam=2200\nAlphaR=255\nAlphaG=255\nAlphaB=255\nQuality=75\nSampling=0\nProgressive=0\n"
        "JMarker=2\nJpgTrim=1\nJpgLimit=0\nJpgLmtVal=100\n"
        "[Path]\nSPI=\nOpen=/tmp/x\nAPP0=/usr/bin/gimp\nAN0=GIMP\n";
    for (int i = 1; i < 8; ++i) expected += "APP" + std::to_string(i) + "=\nAN" + std::to_string(i) + "=\n";
    expected +=
        "[Swin]\nMax=0\nx=100\ny=-20\nw=800\nh=600\nRebarRow=2\nBgColor=1\nSWZoom=0\nSWSmall=1\n"
        "SWLarge=0\nSWWheel=0\nSWAreaZm=1\nScrlBar=1\n"
        "[Vwin]\nBgColor=2\nSthMode=4\nCapBar=1\nFrame=1\nVTBar=1\nNMZoom=0\nFLZoom=0\nVSmall=1\n"
        "NVLarge=0\nFSDown=1\nFSUp=0\nWheel=0\nFSWheel=0\nFSAreaZm=1\nTime=30\nRepeat=0\nPosCtrl=0\n"
        "PosL=0\nPosT=0\nPosR=0\nPosB=0\n";
    EXPECT_EQ(ini.Serialize(), expected);
}

TEST(Settings, StartAndDualComeFromTheFileNotFromMemory) {
    IniFile ini;
    ini.Parse("[awin]\nDual=1\n");
    EXPECT_TRUE(StoredDual(ini));
    EXPECT_EQ(StoredStart(ini), 0);
    IniFile started;
    started.Parse("[Awin]\nStart=2\n");
    EXPECT_EQ(StoredStart(started), 2);
    Settings s;
    s.awin.start = 2;  // stale value held in memory
    s.awin.dual = 0;
    SaveSettings(ini, s);
    EXPECT_EQ(ini.GetInt("Awin", "Start", -1), 0);
    EXPECT_EQ(ini.GetInt("Awin", "Dual", -1), 1);
}

TEST(Settings, RoundTripThroughTheFile) {
    test::TempDir dir;
    Settings s;
    s.awin = {0, 0, 3, 0, 1, 1, 4, 1, 1, 0};
    s.vwin = {3, 4, 0, 0, 0, 1, 45, 1, 0, 1, 1, 0, 1, 1, 1, 0, 1, -10, 20, 1930, 1100};
    s.swin = {1, -7, 33, 1024, 700, 1, 0, 1, 0, 1, 1, 0, 0};
    s.limg = {0, 1800, 0, 0, 10, 20, 30};
    s.simg = {2, 8, 1, 3, 4, 5, 1, 1, 1000, 1, 2, 3, 90, 2, 1, 1, 0, 1, 500};
    s.path.open = dir.path();
    s.path.spi = " spaced plug-in folder ";
    s.path.app[5] = "/usr/bin/display";
    s.path.an[5] = "表示";

    IniFile ini;
    SaveSettings(ini, s);
    const std::string path = dir.File("LumraEx.ini");
    ASSERT_TRUE(ini.Save(path));

    IniFile back;
    ASSERT_TRUE(back.Load(path));
    Settings r;
    LoadSettings(back, Screen(), r);
    EXPECT_EQ(r.limg, s.limg);
    EXPECT_EQ(r.simg, s.simg);
    EXPECT_EQ(r.swin.swAreaZm, 0);
    EXPECT_EQ(r.path.spi, s.path.spi);
    EXPECT_EQ(r.path.an[5], "表示");
    // Everything else: a second save gives the same text.
    IniFile again;
    SaveSettings(again, r);
    EXPECT_EQ(again.Serialize(), ini.Serialize());
}

TEST(Settings, PluginFolderFallsBackToTheInstalledOne) {
    ScreenFacts screen = Screen();
    screen.pluginFolder = "/opt/lumra/plugins";

    // No key: the installed folder, and nothing written back while it is unchanged.
    Settings s = LoadText("[Path]\nOpen=/nowhere\n", screen);
    EXPECT_EQ(s.path.spi, "/opt/lumra/plugins");
    IniFile ini;
    SaveSettings(ini, s);
    EXPECT_FALSE(ini.Find("Path", "SPI"));
    EXPECT_TRUE(ini.Find("Path", "Open"));
    screen.pluginFolder = "/usr/lib/lumra/plugins";  // the program moved
    Settings again;
    LoadSettings(ini, screen, again);
    EXPECT_EQ(again.path.spi, "/usr/lib/lumra/plugins");

    // A folder the user chose is written, even when it is the installed one's twin.
    again.path.spi = "/home/u/spi";
    SaveSettings(ini, again);
    EXPECT_EQ(ini.Find("Path", "SPI").value_or("?"), "/home/u/spi");

    // A stored value, empty included, is the user's and stays.
    s = LoadText("[Path]\nSPI=\n", screen);
    EXPECT_EQ(s.path.spi, "");
    IniFile empty;
    SaveSettings(empty, s);
    EXPECT_EQ(empty.Find("Path", "SPI").value_or("?"), "");
    EXPECT_EQ(LoadText("[path]\nspi=/x\n", screen).path.spi, "/x");

    // Nothing installed and no key: no folder, and still no key written.
    screen.pluginFolder.clear();
    s = LoadText("", screen);
    EXPECT_EQ(s.path.spi, "");
    IniFile none;
    SaveSettings(none, s);
    EXPECT_FALSE(none.Find("Path", "SPI"));
}

}  // namespace
}  // namespace lumra
