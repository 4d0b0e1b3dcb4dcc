// Text stored inside picture files (PNG text, comments) is in the ANSI code page of the
// Japanese system, CP932; the program works in UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumra {

// CP932 bytes to UTF-8; bytes that do not decode become '?'.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 to CP932; characters CP932 lacks (and broken UTF-8) become '?'. The result is cut
// to at most maxBytes bytes, never inside a double-byte character.
std::string Utf8ToAnsi(std::string_view utf8, size_t maxBytes = SIZE_MAX);
// The first maxChars characters of a UTF-8 text.
std::string Utf8Prefix(std::string_view utf8, size_t maxChars);
// Whether a CP932 byte starts a double-byte character.
inline bool IsAnsiLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace lumra
