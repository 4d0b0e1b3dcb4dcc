#include "platform/ansi_text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace lumra {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // Converts one step; returns the bytes of input consumed (0 when the input at hand
    // does not start a convertible character) and appends the output.
    size_t Step(const char* in, size_t inLeft, std::string& out) {
        char buffer[256];
        char* inPtr = const_cast<char*>(in);
        size_t left = inLeft;
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(cd_, &inPtr, &left, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (r == static_cast<size_t>(-1) && errno != E2BIG && inLeft == left) return 0;
        return inLeft - left;
    }

private:
    iconv_t cd_;
};

size_t Utf8Length(unsigned char b) {
    if (b < 0x80) return 1;
    if ((b & 0xE0) == 0xC0) return 2;
    if ((b & 0xF0) == 0xE0) return 3;
    if ((b & 0xF8) == 0xF0) return 4;
    return 1;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() * 3 / 2);
    Converter conv("UTF-8", "CP932");
    size_t i = 0;
    while (i < ansi.size()) {
        const auto b = static_cast<unsigned char>(ansi[i]);
        if (b < 0x80) {  // ASCII is the same in both
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        const size_t n = conv.ok() ? conv.Step(ansi.data() + i, std::min<size_t>(ansi.size() - i, 2), out) : 0;
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            i += (IsAnsiLeadByte(b) && i + 1 < ansi.size()) ? 2 : 1;
        } else {
            i += n;
        }
    }
    return out;
}

std::string Utf8ToAnsi(std::string_view utf8, size_t maxBytes) {
    std::string out;
    Converter conv("CP932", "UTF-8");
    size_t i = 0;
    while (i < utf8.size() && out.size() < maxBytes) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        std::string piece;
        size_t n = 0;
        if (b < 0x80) {
            piece.push_back(static_cast<char>(b));
            n = 1;
        } else {
            const size_t len = std::min(Utf8Length(b), utf8.size() - i);
            n = conv.ok() ? conv.Step(utf8.data() + i, len, piece) : 0;
            if (n == 0) {
                piece.clear();
                piece.push_back('?');
                n = len;
            }
        }
        if (out.size() + piece.size() > maxBytes) break;
        out += piece;
        i += n;
    }
    return out;
}

void TruncateAnsi(std::string& ansi, size_t maxBytes) {
    if (ansi.size() <= maxBytes) return;
    size_t i = 0;
    while (i < maxBytes) {
        const size_t n = IsAnsiLeadByte(static_cast<unsigned char>(ansi[i])) ? 2 : 1;
        if (i + n > maxBytes) break;
        i += n;
    }
    ansi.resize(i);
}

}  // namespace lumra
