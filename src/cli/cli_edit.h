// lumra edit: the editor without a display; every operation runs through the edit model.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace lumra {

extern const char* const kEditUsage;

// args start with "edit". Exit status: 0, 1 a file, 2 usage, 3 an operation refused.
int RunEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Binary PGM (P5, maxval 255); rows top to bottom as in the file.
struct GreyMap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;
};
std::optional<GreyMap> ParsePgm(const std::vector<uint8_t>& file);
std::vector<uint8_t> MakePgm(const GreyMap& map);

}  // namespace lumra
