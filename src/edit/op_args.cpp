#include "edit/op_args.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace lumra {

std::vector<std::string> SplitOpArgs(const std::string& args) {
    std::vector<std::string> out;
    if (args.empty()) return out;
    size_t start = 0;
    for (;;) {
        const size_t comma = args.find(',', start);
        out.push_back(args.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

bool ParseDecimal(const std::string& text, int& value) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
    if (i == text.size() || text.size() - i > 9) return false;
    int v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

bool ParseRangedArgs(const std::vector<std::string>& tokens, const ArgRange* ranges,
                     std::vector<int>& values, std::string& error) {
    values.clear();
    for (size_t i = 0; i < tokens.size(); ++i) {
        const ArgRange& r = ranges[i];
        int v = 0;
        if (!ParseDecimal(tokens[i], v) || v < r.lo || v > r.hi) {
            error = std::string(r.name) + ": '" + tokens[i] + "' is not an integer in " +
                    std::to_string(r.lo) + ".." + std::to_string(r.hi);
            return false;
        }
        values.push_back(v);
    }
    return true;
}

bool ParseIntList(const std::string& text, std::vector<int>& out) {
    out.clear();
    size_t pos = 0;
    while (true) {
        const size_t comma = text.find(',', pos);
        const std::string item =
            text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (item.empty()) return false;
        errno = 0;
        char* end = nullptr;
        const long v = std::strtol(item.c_str(), &end, 10);
        if (*end != '\0' || errno == ERANGE || item[0] == ' ') return false;
        // Typed values are clamped later; keep huge ones in range of int.
        out.push_back(static_cast<int>(std::clamp<long>(v, INT_MIN / 2, INT_MAX / 2)));
        if (comma == std::string::npos) return true;
        pos = comma + 1;
    }
}

}  // namespace lumra
