// Argument lists of `lumra edit --op NAME=ARGS`: comma-separated decimal integers.
#pragma once

#include <string>
#include <vector>

namespace lumra {

// Comma-separated integers; false on anything else. Huge values are held to half the int
// range, so the callers' own clamping or range checks see them.
bool ParseIntList(const std::string& text, std::vector<int>& out);

std::vector<std::string> SplitOpArgs(const std::string& args);
// A decimal integer with an optional sign; false for anything else.
bool ParseDecimal(const std::string& text, int& value);
// Parses the tokens into values, each within [lo[i], hi[i]]. On failure error names the
// value and its range ("NAME: 300 is not in -255..255").
struct ArgRange {
    const char* name;
    int lo, hi;
};
bool ParseRangedArgs(const std::vector<std::string>& tokens, const ArgRange* ranges,
                     std::vector<int>& values, std::string& error);

}  // namespace lumra
