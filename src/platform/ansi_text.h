// Text stored inside picture files (comments, Exif strings) is in code page 932.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumra {

// CP932 bytes to UTF-8. Bytes that do not form a character become U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 to CP932, at most maxBytes bytes, never splitting a two-byte character.
// Characters CP932 cannot hold become '?'.
std::string Utf8ToAnsi(std::string_view utf8, size_t maxBytes = std::string::npos);
// Whether b starts a two-byte CP932 character.
inline bool IsAnsiLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
// Cuts CP932 bytes to at most maxBytes without splitting a two-byte character.
void TruncateAnsi(std::string& ansi, size_t maxBytes);

}  // namespace lumra
