// lumra print: the printed page of a picture as a PDF file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lumra {

extern const char* const kPrintUsage;

// args start with "print". Exit status as RunCli.
int RunPrint(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lumra
