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

    // Converts everything; at an undecodable sequence `skip` gives how many input bytes to
    // drop, and '?' is written in their place.
    template <class Skip>
    std::string Run(std::string_view in, Skip skip) {
        std::string out;
        if (!ok()) return out;
        char buffer[1024];
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        for (;;) {
            char* dst = buffer;
            size_t room = sizeof buffer;
            const size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (r != static_cast<size_t>(-1)) break;  // all input taken
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: an undecodable or cut-off sequence.
            const size_t n = std::max<size_t>(1, std::min(left, skip(reinterpret_cast<const uint8_t*>(src), left)));
            src += n;
            left -= n;
            out.push_back('?');
            if (!left) break;
        }
        return out;
    }

private:
    iconv_t cd_;
};

size_t Utf8SequenceLength(const uint8_t* p, size_t left) {
    size_t n = 1;
    if (p[0] >= 0xF0) n = 4;
    else if (p[0] >= 0xE0) n = 3;
    else if (p[0] >= 0xC0) n = 2;
    // Stop at the first byte that is not a continuation.
    size_t k = 1;
    while (k < n && k < left && (p[k] & 0xC0) == 0x80) ++k;
    return k;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    Converter c("UTF-8", "CP932");
    return c.Run(ansi, [](const uint8_t* p, size_t left) {
        return IsAnsiLeadByte(p[0]) && left >= 2 ? size_t{2} : size_t{1};
    });
}

std::string Utf8ToAnsi(std::string_view utf8, size_t maxBytes) {
    Converter c("CP932", "UTF-8");
    std::string out = c.Run(utf8, Utf8SequenceLength);
    if (out.size() <= maxBytes) return out;
    size_t keep = 0;
    while (keep < out.size()) {
        const size_t n = IsAnsiLeadByte(static_cast<uint8_t>(out[keep])) ? 2 : 1;
        if (keep + n > maxBytes) break;
        keep += n;
    }
    out.resize(keep);
    return out;
}

std::string Utf8Prefix(std::string_view utf8, size_t maxChars) {
    size_t at = 0, chars = 0;
    while (at < utf8.size() && chars < maxChars) {
        at += Utf8SequenceLength(reinterpret_cast<const uint8_t*>(utf8.data()) + at, utf8.size() - at);
        ++chars;
    }
    return std::string(utf8.substr(0, at));
}

}  // namespace lumra
