#include "output/wallpaper.h"

#include <gtest/gtest.h>

#include <map>

#include "formats/bmp/bmp_codec.h"
#include "test_util.h"

namespace lumra {
namespace {

// Stands in for the desktop's tools: records every command, answers from a table
// (first word + last argument), and reports tools that are not installed as not started.
struct Recorder {
    std::map<std::string, CommandResult> answers;
    std::vector<std::string> missing;
    std::vector<std::string> log;
    CommandRunner runner() {
        return [this](const std::vector<std::string>& argv) {
            std::string line;
            for (const std::string& a : argv) line += (line.empty() ? "" : " ") + a;
            log.push_back(line);
            for (const std::string& m : missing)
                if (argv[0] == m) return CommandResult{-1, ""};
            const auto it = answers.find(argv[0] + " " + argv.back());
            return it != answers.end() ? it->second : CommandResult{0, ""};
        };
    }
};

TEST(Wallpaper, DetectsTheDesktop) {
    const std::pair<const char*, Desktop> cases[] = {
        {"GNOME", Desktop::kGnome},        {"ubuntu:GNOME", Desktop::kGnome}, {"Unity", Desktop::kGnome},
        {"Budgie:GNOME", Desktop::kGnome}, {"X-Cinnamon", Desktop::kCinnamon}, {"MATE", Desktop::kMate},
        {"KDE", Desktop::kKde},            {"XFCE", Desktop::kXfce},          {"LXQt", Desktop::kUnknown},
        {"", Desktop::kUnknown},
    };
    for (const auto& [xdg, desktop] : cases) EXPECT_EQ(DetectDesktop(xdg), desktop) << xdg;
}

TEST(Wallpaper, CommandsForEachDesktop) {
    const std::string path = "/home/u/.config/Lumra/save_wp.bmp";
    const std::string uri = "file:///home/u/.config/Lumra/save_wp.bmp";
    const std::string plasma = "org.kde.plasmashell /PlasmaShell org.kde.PlasmaShell.evaluateScript ";
    const std::string plasmaScript =
        "var all = desktops(); for (var i = 0; i < all.length; i++) { var d = all[i]; d.wallpaperPlugin = "
        "'org.kde.image'; d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General']; d.writeConfig('Image', '" +
        uri + "'); d.writeConfig('FillMode', ";
    struct Case {
        const char* xdg;
        WallpaperStyle style;
        std::map<std::string, CommandResult> answers;
        std::vector<std::string> missing;
        WallpaperApply result;
        std::vector<std::string> commands;
    } cases[] = {
        {"ubuntu:GNOME", WallpaperStyle::kCentre, {}, {}, WallpaperApply::kApplied,
         {"gsettings set org.gnome.desktop.background picture-uri " + uri,
          "gsettings writable org.gnome.desktop.background picture-uri-dark",
          "gsettings set org.gnome.desktop.background picture-uri-dark " + uri,
          "gsettings set org.gnome.desktop.background picture-options centered"}},
        // An older GNOME without the dark-style key.
        {"Unity", WallpaperStyle::kTile, {{"gsettings picture-uri-dark", {1, ""}}}, {}, WallpaperApply::kApplied,
         {"gsettings set org.gnome.desktop.background picture-uri " + uri,
          "gsettings writable org.gnome.desktop.background picture-uri-dark",
          "gsettings set org.gnome.desktop.background picture-options wallpaper"}},
        {"X-Cinnamon", WallpaperStyle::kStretch, {}, {}, WallpaperApply::kApplied,
         {"gsettings set org.cinnamon.desktop.background picture-uri " + uri,
          "gsettings set org.cinnamon.desktop.background picture-options stretched"}},
        {"MATE", WallpaperStyle::kCentre, {}, {}, WallpaperApply::kApplied,
         {"gsettings set org.mate.background picture-filename " + path,
          "gsettings set org.mate.background picture-options centered"}},
        {"KDE", WallpaperStyle::kTile, {}, {"qdbus6"}, WallpaperApply::kApplied,
         {"qdbus6 " + plasma + plasmaScript + "3); }", "qdbus " + plasma + plasmaScript + "3); }"}},
        {"KDE", WallpaperStyle::kCentre, {}, {"qdbus6", "qdbus"}, WallpaperApply::kApplied,
         {"qdbus6 " + plasma + plasmaScript + "6); }", "qdbus " + plasma + plasmaScript + "6); }",
          "plasma-apply-wallpaperimage " + path}},
        {"XFCE", WallpaperStyle::kStretch,
         {{"xfconf-query -l",
           {0, "/backdrop/screen0/monitor0/workspace0/last-image\n/backdrop/screen0/monitor0/workspace0/image-style\n"
               "/backdrop/screen0/monitor1/workspace0/last-image\n"}}},
         {}, WallpaperApply::kApplied,
         {"xfconf-query -c xfce4-desktop -l",
          "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitor0/workspace0/last-image -s " + path,
          "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitor0/workspace0/image-style -s 3",
          "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitor1/workspace0/last-image -s " + path}},
        {"XFCE", WallpaperStyle::kTile, {}, {}, WallpaperApply::kApplied,
         {"xfconf-query -c xfce4-desktop -l",
          "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitor0/workspace0/last-image -n -t string -s " + path,
          "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitor0/workspace0/image-style -n -t int -s 2"}},
        {"GNOME", WallpaperStyle::kCentre, {{"gsettings " + uri, {1, ""}}}, {}, WallpaperApply::kFailed,
         {"gsettings set org.gnome.desktop.background picture-uri " + uri}},
        {"LXQt", WallpaperStyle::kCentre, {}, {}, WallpaperApply::kUnsupported, {}},
    };
    for (const Case& c : cases) {
        Recorder r;
        r.answers = c.answers;
        r.missing = c.missing;
        EXPECT_EQ(ApplyWallpaper(DetectDesktop(c.xdg), path, c.style, r.runner()), c.result) << c.xdg;
        EXPECT_EQ(r.log, c.commands) << c.xdg;
    }
}

TEST(Wallpaper, ReadsTheArrangementBack) {
    struct Case {
        Desktop desktop;
        std::map<std::string, CommandResult> answers;
        std::optional<WallpaperStyle> style;
    } cases[] = {
        {Desktop::kGnome, {{"gsettings picture-options", {0, "'centered'\n"}}}, WallpaperStyle::kCentre},
        {Desktop::kCinnamon, {{"gsettings picture-options", {0, "'wallpaper'\n"}}}, WallpaperStyle::kTile},
        {Desktop::kMate, {{"gsettings picture-options", {0, "'zoom'\n"}}}, WallpaperStyle::kStretch},
        {Desktop::kGnome, {{"gsettings picture-options", {1, ""}}}, std::nullopt},
        {Desktop::kKde, {{"qdbus6 " + std::string("var d = desktops()[0]; d.wallpaperPlugin = 'org.kde.image'; "
                                                  "d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General']; "
                                                  "print(d.readConfig('FillMode'));"),
                          {0, "6\n"}}},
         WallpaperStyle::kCentre},
        {Desktop::kXfce,
         {{"xfconf-query -l", {0, "/backdrop/screen0/monitor0/workspace0/image-style\n"}},
          {"xfconf-query /backdrop/screen0/monitor0/workspace0/image-style", {0, "2\n"}}},
         WallpaperStyle::kTile},
        {Desktop::kUnknown, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        Recorder r;
        r.answers = c.answers;
        EXPECT_EQ(ReadWallpaperStyle(c.desktop, r.runner()), c.style) << static_cast<int>(c.desktop);
    }
}

TEST(Wallpaper, WritesTheFileAtItsOwnDepth) {
    test::TempDir dir;
    ImageBuffer img;
    ASSERT_TRUE(img.Allocate(3, 2, 8));
    img.palette[7] = RgbQuad{1, 2, 3, 0};
    img.topRow(0)[1] = 7;
    const std::string dest = dir.File(kWallpaperFileName);
    test::WriteText(dest, "old");
    const WallpaperFileResult ok = WriteWallpaperFile(img, dest);
    EXPECT_TRUE(ok.written);
    EXPECT_EQ(ok.error, WallpaperFileError::kNone);
    DecoderContext ctx;
    ASSERT_TRUE(ReadBmpFile(dest, ctx));
    EXPECT_EQ(ctx.image.bitCount(), 8);
    EXPECT_EQ(ctx.image.palette[ctx.image.topRow(0)[1]], (RgbQuad{1, 2, 3, 0}));

    const WallpaperFileResult bad = WriteWallpaperFile(img, dir.File("missing/save_wp.bmp"));
    EXPECT_FALSE(bad.written);
    EXPECT_EQ(bad.error, WallpaperFileError::kFileCreate);
}

TEST(Wallpaper, FileUriEncodesThePath) {
    EXPECT_EQ(FileUri("/home/a b/写真%.bmp"), "file:///home/a%20b/%E5%86%99%E7%9C%9F%25.bmp");
}

}  // namespace
}  // namespace lumra
