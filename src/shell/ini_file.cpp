#include "shell/ini_file.h"

#include <cstdint>

#include "platform/atomic_write.h"
#include "platform/file_io.h"

namespace lumra {

namespace {

constexpr std::string_view kSpace = " \t\r\v\f";

std::string_view Trim(std::string_view s) {
    size_t b = s.find_first_not_of(kSpace);
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(kSpace);
    return s.substr(b, e - b + 1);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

// "[name]" lines: the name between the bracket and the first closing bracket, trimmed.
bool ParseHeader(std::string_view line, std::string_view& name) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') return false;
    size_t close = t.find(']', 1);
    if (close == std::string_view::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value" lines. Comments, blank lines and lines without '=' are not keys.
bool ParseKeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    return v;
}

// Cut to at most n code points (continuation bytes do not start a character).
std::string CutChars(std::string_view s, size_t n) {
    size_t count = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == n) return std::string(s.substr(0, i));
            ++count;
        }
    }
    return std::string(s);
}

// A value that would not read back as written is put in quotes.
std::string FormatValue(std::string_view value) {
    size_t nl = value.find_first_of("\r\n");
    if (nl != std::string_view::npos) value = value.substr(0, nl);
    if (value.empty()) return {};
    bool edgeSpace = kSpace.find(value.front()) != std::string_view::npos ||
                     kSpace.find(value.back()) != std::string_view::npos;
    bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    std::string out;
    if (edgeSpace || quoted) out += '"';
    out.append(value);
    if (edgeSpace || quoted) out += '"';
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

bool IniFile::Load(const std::string& path) {
    sections_.clear();
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return true;
}

void IniFile::Parse(std::string_view text) {
    sections_.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t end = (nl == std::string_view::npos) ? text.size() : nl;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = (nl == std::string_view::npos) ? text.size() : nl + 1;

        std::string_view name;
        if (ParseHeader(line, name)) {
            Section s;
            s.name = std::string(name);
            s.header = std::string(line);
            sections_.push_back(std::move(s));
            continue;
        }
        if (sections_.empty()) {
            Section s;
            s.headerless = true;
            sections_.push_back(std::move(s));
        }
        sections_.back().lines.push_back(Line{std::string(line)});
    }
}

std::string IniFile::Serialize() const {
    std::string out;
    for (const Section& s : sections_) {
        if (!s.headerless) {
            out += s.header;
            out += '\n';
        }
        for (const Line& l : s.lines) {
            out += l.text;
            out += '\n';
        }
    }
    return out;
}

bool IniFile::Save(const std::string& path) const { return WriteFileAtomically(path, Serialize()); }

IniFile::Section* IniFile::FindSection(std::string_view name) {
    for (Section& s : sections_)
        if (!s.headerless && SameName(s.name, name)) return &s;
    return nullptr;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    for (const Section& s : sections_)
        if (!s.headerless && SameName(s.name, name)) return &s;
    return nullptr;
}

namespace {

template <typename SectionT>
auto FindKeyLine(SectionT* s, std::string_view key) -> decltype(&s->lines[0]) {
    if (!s) return nullptr;
    for (auto& l : s->lines) {
        std::string_view k, v;
        if (ParseKeyLine(l.text, k, v) && SameName(k, key)) return &l;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    const Line* l = FindKeyLine(FindSection(section), key);
    if (!l) return std::nullopt;
    std::string_view k, v;
    ParseKeyLine(l->text, k, v);
    return std::string(StripQuotes(v));
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view def) const {
    std::optional<std::string> v = Find(section, key);
    return CutChars(v ? std::string_view(*v) : def, kMaxIniValueChars);
}

int IniFile::GetInt(std::string_view section, std::string_view key, int def) const {
    std::optional<std::string> v = Find(section, key);
    if (!v) return def;
    std::string_view s = *v;
    bool negative = false;
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    uint32_t n = 0;  // wraps like the 32-bit original
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) n = n * 10u + static_cast<uint32_t>(s[i] - '0');
    if (negative) n = 0u - n;
    return static_cast<int>(n);
}

std::optional<std::vector<uint8_t>> IniFile::GetStruct(std::string_view section, std::string_view key,
                                                       size_t size) const {
    const Line* l = FindKeyLine(FindSection(section), key);
    if (!l) return std::nullopt;
    std::string_view k, v;
    ParseKeyLine(l->text, k, v);
    return DecodeStruct(v, size);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = FindSection(section);
    if (!s) {
        Section ns;
        ns.name = std::string(Trim(section));
        ns.header.append("[").append(section).append("]");
        sections_.push_back(std::move(ns));
        s = &sections_.back();
    }
    const std::string formatted = FormatValue(value);
    if (Line* l = FindKeyLine(s, key)) {
        std::string_view k, v;
        ParseKeyLine(l->text, k, v);
        std::string text(k);
        l->text = text.append("=").append(formatted);
        return;
    }
    size_t at = s->lines.size();
    while (at > 0 && Trim(s->lines[at - 1].text).empty()) --at;
    std::string text(key);
    text.append("=").append(formatted);
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text)});
}

void IniFile::WriteInt(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteStruct(std::string_view section, std::string_view key, const uint8_t* data, size_t size) {
    WriteString(section, key, EncodeStruct(data, size));
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = FindSection(section);
    if (!s) return;
    std::erase_if(s->lines, [&](const Line& l) {
        std::string_view k, v;
        return ParseKeyLine(l.text, k, v) && SameName(k, key);
    });
}

void IniFile::DeleteSection(std::string_view section) {
    std::erase_if(sections_, [&](const Section& s) { return !s.headerless && SameName(s.name, section); });
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> names;
    for (const Section& s : sections_) {
        if (s.headerless) continue;
        bool seen = false;
        for (const std::string& n : names) seen = seen || SameName(n, s.name);
        if (!seen) names.push_back(s.name);
    }
    return names;
}

std::string EncodeStruct(const uint8_t* data, size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * (size + 1));
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i) {
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 15];
        sum += data[i];
    }
    out += kHex[(sum >> 4) & 15];
    out += kHex[sum & 15];
    return out;
}

std::optional<std::vector<uint8_t>> DecodeStruct(std::string_view text, size_t size) {
    if (size > (SIZE_MAX / 2) - 1 || text.size() != 2 * (size + 1)) return std::nullopt;
    std::vector<uint8_t> out(size);
    unsigned sum = 0;
    for (size_t i = 0; i <= size; ++i) {
        int hi = HexDigit(text[2 * i]);
        int lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        uint8_t b = static_cast<uint8_t>(hi * 16 + lo);
        if (i == size) {
            if (b != (sum & 0xFF)) return std::nullopt;
        } else {
            out[i] = b;
            sum += b;
        }
    }
    return out;
}

}  // namespace lumra
