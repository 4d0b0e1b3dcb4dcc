// The lumra command-line tool.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "shell/settings.h"

namespace lumra {

struct Session;

// The save options of convert, parsed from "convert IN OUT [options]" arguments.
struct ConvertPlan {
    std::vector<std::string> files;
    Settings settings;  // built-in defaults, then the options
    bool saveTransparent = false;
    bool writeComment = false;
    std::string comment;
    int orientation = 0;
    bool depthGiven = false;
};
bool ParseConvertArguments(const std::vector<std::string>& args, ConvertPlan& plan,
                           std::string& error);
// Saves the loaded picture of s to outPath with the plan's options; the settings' depth stays
// unless the plan gives one. Exit status as RunCli.
int SaveConverted(Session& s, const ConvertPlan& plan, const std::string& outPath, std::ostream& err);

// Runs the tool with the arguments after the program name. Exit status: 0 success,
// 1 a file that cannot be read or written, 2 a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumra
