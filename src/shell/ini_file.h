// INI file with the semantics of the Windows profile functions: case-insensitive
// sections and keys, the first of duplicate keys wins, struct values as upper-case hex
// with a checksum byte. Text is UTF-8. Saving writes a temporary file beside the
// target and renames it into place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumra {

inline constexpr size_t kMaxIniValueChars = 260;

class IniFile {
public:
    IniFile() = default;

    // Reads the file; a missing or unreadable file gives an empty document (false).
    bool Load(const std::string& path);
    void Parse(std::string_view text);
    std::string Serialize() const;
    // Writes atomically (temporary file + rename). False on failure; the old file stays.
    bool Save(const std::string& path) const;

    // Like GetPrivateProfileInt: the default when the key is missing; leading
    // decimal digits (with sign) otherwise, 0 when there are none.
    int GetInt(std::string_view section, std::string_view key, int def) const;
    // Like GetPrivateProfileString, cut to kMaxIniValueChars characters.
    std::string GetString(std::string_view section, std::string_view key, std::string_view def) const;
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // Like GetPrivateProfileStruct: nullopt when missing or when length or checksum do not match.
    std::optional<std::vector<uint8_t>> GetStruct(std::string_view section, std::string_view key,
                                                  size_t size) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInt(std::string_view section, std::string_view key, int value);
    void WriteStruct(std::string_view section, std::string_view key, const uint8_t* data, size_t size);
    void DeleteKey(std::string_view section, std::string_view key);
    void DeleteSection(std::string_view section);
    bool HasSection(std::string_view section) const;
    std::vector<std::string> SectionNames() const;

private:
    struct Line {
        std::string text;  // the raw line as read or written
    };
    struct Section {
        std::string name;            // trimmed name ("" for lines before the first header)
        std::string header;          // the header line as read or written
        std::vector<Line> lines;     // body lines, raw
        bool headerless = false;
    };
    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;
    std::vector<Section> sections_;
};

// The struct encoding: two upper-case hex digits a byte, then the checksum byte.
std::string EncodeStruct(const uint8_t* data, size_t size);
std::optional<std::vector<uint8_t>> DecodeStruct(std::string_view text, size_t size);

}  // namespace lumra
