// The program's version window texts, its help file and the launch of registered tools.
#pragma once

#include <string>
#include <vector>

namespace lumra {

struct CurrentPicture;
struct PathSettings;

inline constexpr char kProgramVersion[] = "1.52";
inline constexpr char kVersionTitle[] = "バージョン情報";
inline constexpr char kNoticeLine[] = "(C) 2024 Lumra Ex developers";
inline constexpr char kWebAddress[] = "https://lumra-ex.example.org/";

// "Lumra Ex  version 1.52"
std::string VersionLine();

// The help page beside the executable, named like it: ".../LumraEx" -> ".../LumraEx.html"
// (a trailing ".exe" is dropped); when there is none, the installed help page of that
// name in the data folder, if it exists.
std::string HelpFilePath(const std::string& executablePath);

// How a registered tool is started.
enum class LaunchKind {
    None,     // the slot has no path
    Program,  // an executable file, started with the picture's path as its argument
    Open,     // a folder or another file, opened by the desktop
};

struct ToolLaunch {
    LaunchKind kind = LaunchKind::None;
    std::string target;
    std::vector<std::string> arguments;
};

// The launch of tool slot 0-7 with the current picture.
ToolLaunch PlanToolLaunch(const PathSettings& tools, int slot, const CurrentPicture& picture);

}  // namespace lumra
