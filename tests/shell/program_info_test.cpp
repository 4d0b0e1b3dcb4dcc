#include "shell/program_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "document/picture.h"
#include "shell/settings.h"
#include "test_util.h"

namespace lumra {
namespace {

TEST(ProgramInfo, VersionAndHelp) {
    EXPECT_EQ(VersionLine(), "Lumra Ex  version 1.52");
    EXPECT_EQ(HelpFilePath("/opt/lumra/LumraEx"), "/opt/lumra/LumraEx.html");
    EXPECT_EQ(HelpFilePath("/opt/lumra/LumraEx.EXE"), "/opt/lumra/LumraEx.html");
    EXPECT_EQ(HelpFilePath("/opt/a.exe/LumraEx"), "/opt/a.exe/LumraEx.html");
    EXPECT_EQ(HelpFilePath("LumraEx"), "LumraEx.html");
}

TEST(ProgramInfo, ToolLaunch) {
    test::TempDir dir;
    const std::string program = dir.File("tool.sh");
    test::WriteText(program, "#!/bin/sh\n");
    ::chmod(program.c_str(), 0755);
    const std::string document = dir.File("notes.txt");
    test::WriteText(document, "x");

    PathSettings tools;
    CurrentPicture picture;
    EXPECT_EQ(PlanToolLaunch(tools, 0, picture).kind, LaunchKind::None);
    EXPECT_EQ(PlanToolLaunch(tools, -1, picture).kind, LaunchKind::None);
    EXPECT_EQ(PlanToolLaunch(tools, 8, picture).kind, LaunchKind::None);

    tools.app[2] = program;
    // No picture: no argument.
    ToolLaunch launch = PlanToolLaunch(tools, 2, picture);
    EXPECT_EQ(launch.kind, LaunchKind::Program);
    EXPECT_EQ(launch.target, program);
    EXPECT_TRUE(launch.arguments.empty());
    // A loaded picture gives its path, blanks and all.
    ASSERT_TRUE(picture.image.Allocate(1, 1, 24));
    picture.path = "/pics/my photo.jpg";
    launch = PlanToolLaunch(tools, 2, picture);
    EXPECT_EQ(launch.arguments, (std::vector<std::string>{"/pics/my photo.jpg"}));
    // A pasted picture has no path.
    picture.path.clear();
    EXPECT_TRUE(PlanToolLaunch(tools, 2, picture).arguments.empty());

    // Folders and documents are opened by the desktop.
    tools.app[0] = dir.path();
    EXPECT_EQ(PlanToolLaunch(tools, 0, picture).kind, LaunchKind::Open);
    tools.app[1] = document;
    EXPECT_EQ(PlanToolLaunch(tools, 1, picture).kind, LaunchKind::Open);
    // A path that does not exist is tried as a program (and fails there).
    tools.app[3] = dir.File("missing");
    EXPECT_EQ(PlanToolLaunch(tools, 3, picture).kind, LaunchKind::Program);
}

}  // namespace
}  // namespace lumra
