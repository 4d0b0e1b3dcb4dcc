#include "platform/desktop_files.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/atomic_write.h"
#include "platform/file_io.h"
#include "platform/paths.h"

extern char** environ;

namespace lumra {

const std::array<const char*, kAssociationTypes> kAssociationMimeTypes = {"image/bmp", "image/png", "image/jpeg",
                                                                         "image/gif", "image/tiff"};

namespace {

constexpr char kDefaults[] = "Default Applications";
constexpr size_t kMaxEntryBytes = 1 << 20;

std::string Home() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    return {};
}

std::string EnvFolder(const char* name, const char* underHome) {
    if (const char* v = std::getenv(name); v && v[0] == '/') return v;
    const std::string home = Home();
    return home.empty() ? std::string() : home + "/" + underHome;
}

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return std::string(s.substr(b, e - b));
}

bool ReadText(const std::string& path, std::string& out) {
    out.clear();
    if (!FileExists(path)) return true;  // a missing file is an empty one
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes) || bytes.size() > kMaxEntryBytes) return false;
    out.assign(bytes.begin(), bytes.end());
    return true;
}

bool MakeFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return IsDirectory(folder);
}

bool WriteText(const std::string& folder, const std::string& path, const std::string& text) {
    return MakeFolder(folder) && WriteFileAtomically(path, text);
}

bool IsReserved(char c) {
    return std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos;
}

// The Exec value of a desktop entry's main group; empty when it has none.
std::string EntryExec(const std::string& path) {
    std::string text;
    if (!ReadText(path, text)) return {};
    bool mainGroup = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (!line.empty() && line[0] == '[') {
            mainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!mainGroup) continue;
        const size_t eq = line.find('=');
        if (eq != std::string::npos && Trim(line.substr(0, eq)) == "Exec") return Trim(line.substr(eq + 1));
    }
    return {};
}

std::vector<std::string> OurIds() { return {kOpenEntryName, std::string(kDesktopId) + ".desktop"}; }

bool IsOurs(const std::string& id) {
    const std::vector<std::string> ours = OurIds();
    return std::find(ours.begin(), ours.end(), id) != ours.end();
}

bool LoadMimeApps(const XdgFolders& xdg, MimeAppsFile& file) {
    if (xdg.configHome.empty()) return false;
    std::string text;
    if (!ReadText(xdg.MimeAppsList(), text)) return false;
    file.Parse(text);
    return true;
}

}  // namespace

XdgFolders UserXdgFolders() {
    return {EnvFolder("XDG_DATA_HOME", ".local/share"), EnvFolder("XDG_CONFIG_HOME", ".config")};
}

std::string QuoteExecArgument(const std::string& argument) {
    std::string plain;
    for (char c : argument) {
        plain += c;
        if (c == '%') plain += '%';
    }
    std::string quoted = plain;
    if (plain.empty() || std::any_of(plain.begin(), plain.end(), IsReserved)) {
        quoted = "\"";
        for (char c : plain) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    }
    // The value is a string of the entry file: its backslashes and line breaks escaped again.
    std::string value;
    for (char c : quoted) {
        if (c == '\\') value += "\\\\";
        else if (c == '\n') value += "\\n";
        else value += c;
    }
    return value;
}

std::string ExecProgram(std::string_view exec) {
    std::string s;  // the string escapes undone
    for (size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] != '\\' || i + 1 == exec.size()) {
            s += exec[i];
            continue;
        }
        const char n = exec[++i];
        s += n == 's' ? ' ' : n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
    }
    std::string arg;
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i < s.size() && s[i] == '"') {
        for (++i; i < s.size() && s[i] != '"'; ++i) {
            if (s[i] == '\\' && i + 1 < s.size()) ++i;
            arg += s[i];
        }
        if (i >= s.size()) return {};  // no closing quote
    } else {
        for (; i < s.size() && s[i] != ' ' && s[i] != '\t'; ++i) arg += s[i];
    }
    std::string out;
    for (size_t k = 0; k < arg.size(); ++k) {
        out += arg[k];
        if (arg[k] == '%' && k + 1 < arg.size() && arg[k + 1] == '%') ++k;
    }
    return out;
}

std::string DesktopEntryText(const std::string& executable, bool hidden) {
    std::string mime;
    for (const char* m : kAssociationMimeTypes) mime += std::string(m) + ";";
    std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Lumra Ex\n"
        "GenericName=Picture Viewer\n"
        "GenericName[ja]=画像ビューア\n"
        "Comment=View and edit pictures\n"
        "Comment[ja]=画像の表示と編集\n"
        "Icon=" + std::string(kDesktopId) + "\n"
        "Exec=" + QuoteExecArgument(executable) + " %f\n"
        "Terminal=false\n"
        "MimeType=" + mime + "\n"
        "Categories=Graphics;Viewer;\n";
    if (hidden) text += "NoDisplay=true\n";
    return text;
}

// ---- mimeapps.list ----

void MimeAppsFile::Parse(std::string_view text) {
    lines_.clear();
    std::string section;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(pos, end - pos));
        pos = end + 1;
        const std::string t = Trim(line);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') section = t.substr(1, t.size() - 2);
        lines_.push_back({section, std::move(line)});
    }
}

std::string MimeAppsFile::Serialize() const {
    std::string out;
    for (const Line& l : lines_) out += l.text + "\n";
    return out;
}

namespace {

bool IsKeyLine(const std::string& text, std::string_view key) {
    const size_t eq = text.find('=');
    return eq != std::string::npos && Trim(std::string_view(text).substr(0, eq)) == key;
}

std::vector<std::string> SplitIds(std::string_view value) {
    std::vector<std::string> ids;
    size_t pos = 0;
    while (pos <= value.size()) {
        size_t end = value.find(';', pos);
        if (end == std::string_view::npos) end = value.size();
        std::string id = Trim(value.substr(pos, end - pos));
        if (!id.empty()) ids.push_back(std::move(id));
        pos = end + 1;
    }
    return ids;
}

std::string JoinIds(std::string_view key, const std::vector<std::string>& ids) {
    std::string text = std::string(key) + "=";
    for (const std::string& id : ids) text += id + ";";
    return text;
}

bool IsHeader(const std::string& text) {
    const std::string t = Trim(text);
    return t.size() >= 2 && t.front() == '[' && t.back() == ']';
}

}  // namespace

std::vector<std::string> MimeAppsFile::Get(std::string_view section, std::string_view key) const {
    for (const Line& l : lines_) {
        if (l.section != section || IsHeader(l.text) || !IsKeyLine(l.text, key)) continue;
        return SplitIds(std::string_view(l.text).substr(l.text.find('=') + 1));
    }
    return {};
}

void MimeAppsFile::Set(std::string_view section, std::string_view key, const std::vector<std::string>& ids) {
    for (size_t i = 0; i < lines_.size(); ++i) {
        Line& l = lines_[i];
        if (l.section != section || IsHeader(l.text) || !IsKeyLine(l.text, key)) continue;
        if (ids.empty()) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
        else l.text = JoinIds(key, ids);
        return;
    }
    if (ids.empty()) return;
    // After the section's last non-blank line, or a new section at the end.
    size_t at = lines_.size();
    bool found = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].section != section) continue;
        found = true;
        if (!Trim(lines_[i].text).empty()) at = i + 1;
    }
    if (!found) {
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({"", ""});
        lines_.push_back({std::string(section), "[" + std::string(section) + "]"});
        at = lines_.size();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), {std::string(section), JoinIds(key, ids)});
}

bool MimeAppsFile::RemoveEverywhere(std::string_view id) {
    bool changed = false;
    for (size_t i = 0; i < lines_.size();) {
        Line& l = lines_[i];
        const size_t eq = l.text.find('=');
        if (IsHeader(l.text) || eq == std::string::npos || Trim(l.text).starts_with('#')) {
            ++i;
            continue;
        }
        std::vector<std::string> ids = SplitIds(std::string_view(l.text).substr(eq + 1));
        const auto end = std::remove(ids.begin(), ids.end(), std::string(id));
        if (end == ids.end()) {
            ++i;
            continue;
        }
        changed = true;
        ids.erase(end, ids.end());
        if (ids.empty()) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        l.text = JoinIds(Trim(std::string_view(l.text).substr(0, eq)), ids);
        ++i;
    }
    return changed;
}

// ---- Associations ----

AssociationStates ReadAssociations(const XdgFolders& xdg) {
    AssociationStates states{};
    MimeAppsFile file;
    if (!LoadMimeApps(xdg, file)) return states;
    for (int t = 0; t < kAssociationTypes; ++t) {
        const std::vector<std::string> ids = file.Get(kDefaults, kAssociationMimeTypes[t]);
        states[t] = !ids.empty() && IsOurs(ids.front());
    }
    return states;
}

bool WriteAssociations(const XdgFolders& xdg, const std::string& executable, const AssociationStates& wanted) {
    if (xdg.dataHome.empty() || xdg.configHome.empty()) return false;
    MimeAppsFile file;
    if (!LoadMimeApps(xdg, file)) return false;
    bool changed = false;
    bool newly = false;
    for (int t = 0; t < kAssociationTypes; ++t) {
        const char* mime = kAssociationMimeTypes[t];
        std::vector<std::string> ids = file.Get(kDefaults, mime);
        const bool ours = !ids.empty() && IsOurs(ids.front());
        if (wanted[t] && !ours) {
            std::erase(ids, std::string(kOpenEntryName));
            ids.insert(ids.begin(), kOpenEntryName);
            newly = changed = true;
        } else if (!wanted[t] && std::any_of(ids.begin(), ids.end(), IsOurs)) {
            std::erase_if(ids, IsOurs);
            changed = true;
        } else {
            continue;
        }
        file.Set(kDefaults, mime, ids);
    }
    if (newly) {
        // The command the defaults name runs this executable.
        const std::string entry = xdg.Applications() + "/" + kOpenEntryName;
        if (ExecProgram(EntryExec(entry)) != executable &&
            !WriteText(xdg.Applications(), entry, DesktopEntryText(executable, true)))
            return false;
    }
    if (changed && !WriteText(xdg.configHome, xdg.MimeAppsList(), file.Serialize())) return false;
    return true;
}

bool SendToRegistered(const XdgFolders& xdg) {
    return !xdg.dataHome.empty() && FileExists(xdg.Applications() + "/" + kSendToEntryName);
}

bool SetSendTo(const XdgFolders& xdg, const std::string& executable, bool on) {
    if (xdg.dataHome.empty()) return false;
    const std::string path = xdg.Applications() + "/" + kSendToEntryName;
    if (!on) return !FileExists(path) || DeleteFile(path);
    std::string current;
    const std::string text = DesktopEntryText(executable, false);
    if (ReadText(path, current) && current == text) return true;
    return WriteText(xdg.Applications(), path, text);
}

std::vector<std::string> OldEntries(const XdgFolders& xdg) {
    std::vector<std::string> old;
    if (xdg.dataHome.empty() || !IsDirectory(xdg.Applications())) return old;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(xdg.Applications(), ec)) {
        const std::string name = item.path().filename().string();
        if (!name.ends_with(".desktop") || name == kSendToEntryName || IsOurs(name)) continue;
        std::error_code kindError;
        if (!item.is_regular_file(kindError)) continue;
        const std::string program = ExecProgram(EntryExec(item.path().string()));
        if (!program.empty() && IsProgramName(FileNamePart(program))) old.push_back(item.path().string());
    }
    std::sort(old.begin(), old.end());
    return old;
}

bool RemoveOldEntries(const XdgFolders& xdg) {
    const std::vector<std::string> old = OldEntries(xdg);
    if (old.empty()) return true;
    MimeAppsFile file;
    if (!LoadMimeApps(xdg, file)) return false;
    bool changed = false;
    for (const std::string& path : old) changed |= file.RemoveEverywhere(FileNamePart(path));
    if (changed && !WriteText(xdg.configHome, xdg.MimeAppsList(), file.Serialize())) return false;
    bool ok = true;
    for (const std::string& path : old) ok &= DeleteFile(path);
    return ok;
}

void RefreshDesktopDatabase(const XdgFolders& xdg) {
    const char* pathVar = std::getenv("PATH");
    if (!pathVar || xdg.dataHome.empty() || !IsDirectory(xdg.Applications())) return;
    std::string tool;
    std::string_view dirs(pathVar);
    while (!dirs.empty() && tool.empty()) {
        const size_t colon = dirs.find(':');
        const std::string dir(dirs.substr(0, colon));
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/update-desktop-database";
        if (access(candidate.c_str(), X_OK) == 0) tool = candidate;
    }
    if (tool.empty()) return;
    const std::string folder = xdg.Applications();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(tool.c_str()), const_cast<char*>("-q"), const_cast<char*>(folder.c_str()),
                    nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

}  // namespace lumra
