// The lumra command-line tool.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lumra {

// Runs the tool with the arguments after the program name. Exit status: 0 success,
// 1 a file that cannot be read or written, 2 a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumra
