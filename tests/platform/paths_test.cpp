#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "test_util.h"

namespace lumra {
namespace {

namespace fs = std::filesystem;

TEST(Paths, ProgramName) {
    for (const char* ok : {"LumraEx", "lumraex", "LUMRAEX.EXE", "LumraEx.exe", "lumraEX.Exe"})
        EXPECT_TRUE(IsProgramName(ok)) << ok;
    for (const char* bad : {"LumraEx2", "LumraEx.bin", "Lumra", "", ".exe", "LumraEx.exe.exe", "xLumraEx"})
        EXPECT_FALSE(IsProgramName(bad)) << bad;
}

TEST(Paths, ExecutablePathIsThisProgram) {
    std::string exe = ExecutablePath();
    EXPECT_EQ(FileNamePart(exe), "lumra_tests");
    EXPECT_TRUE(fs::exists(exe));
}

class SettingsLocation : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string bin = dir.File("bin");
    std::string config = dir.File("config");
    test::ScopedEnv configEnv{"XDG_CONFIG_HOME", config};
    void SetUp() override { fs::create_directory(bin); }
};

TEST_F(SettingsLocation, ConfigFolderIsCreatedWhenNoPortableFile) {
    EXPECT_EQ(LocateSettingsFile(bin + "/LumraEx"), config + "/Lumra/LumraEx.ini");
    EXPECT_TRUE(fs::is_directory(config + "/Lumra"));
    EXPECT_FALSE(fs::exists(config + "/Lumra/LumraEx.ini"));  // created on the first save
    // Again, with the folder already there.
    EXPECT_EQ(LocateSettingsFile(bin + "/lumraex.exe"), config + "/Lumra/LumraEx.ini");
}

TEST_F(SettingsLocation, PortableFileWins) {
    test::WriteText(bin + "/LumraEx.ini", "[Awin]\n");
    EXPECT_EQ(LocateSettingsFile(bin + "/LumraEx"), bin + "/LumraEx.ini");
    EXPECT_FALSE(fs::exists(config));
    // A folder of that name is not a settings file.
    fs::remove(bin + "/LumraEx.ini");
    fs::create_directory(bin + "/LumraEx.ini");
    EXPECT_EQ(LocateSettingsFile(bin + "/LumraEx"), config + "/Lumra/LumraEx.ini");
}

TEST_F(SettingsLocation, WrongNameFails) {
    test::WriteText(bin + "/LumraEx.ini", "");
    EXPECT_EQ(LocateSettingsFile(bin + "/LumraEx2"), "");
    EXPECT_EQ(LocateSettingsFile(bin + "/viewer"), "");
    EXPECT_EQ(LocateSettingsFile(""), "");
}

TEST_F(SettingsLocation, RelativeConfigHomeFallsBackToHome) {
    test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
    test::ScopedEnv home("HOME", dir.File("home"));
    EXPECT_EQ(LocateSettingsFile(bin + "/LumraEx"), dir.File("home") + "/.config/Lumra/LumraEx.ini");
    EXPECT_TRUE(fs::is_directory(dir.File("home/.config/Lumra")));
}

TEST(Paths, DocumentsFolder) {
    test::TempDir dir;
    const std::string home = dir.File("home");
    fs::create_directories(home + "/.config");
    test::ScopedEnv homeEnv("HOME", home);
    test::ScopedEnv configEnv("XDG_CONFIG_HOME", home + "/.config");

    EXPECT_EQ(DocumentsFolder(), home);
    fs::create_directory(home + "/Documents");
    EXPECT_EQ(DocumentsFolder(), home + "/Documents");

    test::WriteText(home + "/.config/user-dirs.dirs",
                    "# written by xdg-user-dirs-update\n"
                    "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                    "XDG_DOCUMENTS_DIR=\"$HOME/ドキュメント\"\n");
    EXPECT_EQ(DocumentsFolder(), home + "/Documents");  // named folder missing
    fs::create_directory(home + "/ドキュメント");
    EXPECT_EQ(DocumentsFolder(), home + "/ドキュメント");

    fs::create_directory(dir.File("abs docs"));
    test::WriteText(home + "/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + dir.File("abs docs") + "\"\n");
    EXPECT_EQ(DocumentsFolder(), dir.File("abs docs"));
}

TEST(Paths, ResolvePath) {
    test::TempDir dir;
    const std::string real = ResolvePath(dir.path());  // the temporary folder may itself be a link
    fs::create_directory(real + "/pics");
    test::WriteText(real + "/pics/a.bmp", "x");
    ASSERT_EQ(symlink("pics", (real + "/link").c_str()), 0);
    ASSERT_EQ(symlink("pics/a.bmp", (real + "/a-link.bmp").c_str()), 0);

    EXPECT_EQ(ResolvePath(real + "/link/a.bmp"), real + "/pics/a.bmp");
    EXPECT_EQ(ResolvePath(real + "/a-link.bmp"), real + "/pics/a.bmp");
    EXPECT_EQ(ResolvePath(real + "/link/../pics/./a.bmp"), real + "/pics/a.bmp");
    EXPECT_EQ(ResolvePath(real + "/link/"), real + "/pics");
    // A file that does not exist yet: the existing part is still resolved.
    EXPECT_EQ(ResolvePath(real + "/link/new.png"), real + "/pics/new.png");
    EXPECT_EQ(ResolvePath(real + "/none/x/../y"), real + "/none/y");

    const fs::path cwd = fs::current_path();
    fs::current_path(real + "/pics");
    EXPECT_EQ(ResolvePath("a.bmp"), real + "/pics/a.bmp");
    EXPECT_EQ(ResolvePath("missing.bmp"), real + "/pics/missing.bmp");
    fs::current_path(cwd);
}

TEST(Paths, NameAndFolderParts) {
    EXPECT_EQ(FileNamePart("/a/b/c.jpg"), "c.jpg");
    EXPECT_EQ(FolderPart("/a/b/c.jpg"), "/a/b");
    EXPECT_EQ(FileNamePart("c.jpg"), "c.jpg");
    EXPECT_EQ(FolderPart("c.jpg"), "");
    EXPECT_EQ(FileNamePart("/c.jpg"), "c.jpg");
    EXPECT_EQ(FolderPart("/c.jpg"), "/");
    EXPECT_EQ(FileNamePart("/a/b/"), "");
}

}  // namespace
}  // namespace lumra
