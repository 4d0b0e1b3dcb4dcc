#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace lumra {

namespace {

constexpr const char* kSettingsName = "LumraEx.ini";

bool IsFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string HomeFolder() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    std::vector<char> buf(16384);
    struct passwd pw;
    struct passwd* result = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir &&
        *result->pw_dir)
        return result->pw_dir;
    return {};
}

// $XDG_CONFIG_HOME when set and absolute, else ~/.config; empty without a home.
std::string ConfigFolder() {
    if (const char* c = std::getenv("XDG_CONFIG_HOME"); c && c[0] == '/') return c;
    std::string home = HomeFolder();
    if (home.empty()) return {};
    return Join(home, ".config");
}

// mkdir -p; new folders are private to the user.
bool MakeFolders(const std::string& path) {
    if (IsFolder(path)) return true;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        std::string part = path.substr(0, pos);
        if (part.empty() || IsFolder(part)) continue;
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return IsFolder(path);
}

// The value of one line of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents".
std::string ParseUserDir(std::string_view value, const std::string& home) {
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
        value.remove_suffix(1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            out += value[++i];
        } else if (value[i] == '$' && value.substr(i, 5) == "$HOME" &&
                   (i + 5 == value.size() || value[i + 5] == '/')) {
            out += home;
            i += 4;
        } else if (value[i] == '$' && value.substr(i, 7) == "${HOME}") {
            out += home;
            i += 6;
        } else {
            out += value[i];
        }
    }
    if (out.empty() || out.front() != '/') return {};
    return out;
}

}  // namespace

std::string ExecutablePath() {
    std::vector<char> buf(4096);
    for (int tries = 0; tries < 6; ++tries) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
    return {};
}

bool IsProgramName(const std::string& fileName) {
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    std::string name = lower(fileName);
    if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
    return name == "lumraex";
}

std::string LocateSettingsFile(const std::string& executablePath) {
    if (!IsProgramName(FileNamePart(executablePath))) return {};
    const std::string beside = Join(FolderPart(executablePath), kSettingsName);
    if (IsFile(beside)) return beside;
    const std::string config = ConfigFolder();
    if (config.empty()) return beside;
    const std::string folder = Join(config, "Lumra");
    MakeFolders(folder);  // a failure shows up later as defaults and an unsaved file
    return Join(folder, kSettingsName);
}

std::string DocumentsFolder() {
    const std::string home = HomeFolder();
    if (const std::string config = ConfigFolder(); !config.empty()) {
        std::ifstream in(Join(config, "user-dirs.dirs"));
        std::string line;
        while (std::getline(in, line)) {
            std::string_view l = line;
            while (!l.empty() && (l.front() == ' ' || l.front() == '\t')) l.remove_prefix(1);
            constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
            if (l.substr(0, kKey.size()) != kKey) continue;
            std::string dir = ParseUserDir(l.substr(kKey.size()), home);
            if (IsFolder(dir)) return dir;
            break;
        }
    }
    if (!home.empty() && IsFolder(Join(home, "Documents"))) return Join(home, "Documents");
    return home;
}

std::string ResolvePath(const std::string& path) {
    if (path.empty()) return path;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    if (ec) return path;
    // Symbolic links are resolved as far as the path exists.
    fs::path resolved = fs::weakly_canonical(p, ec);
    std::string out = (ec ? p.lexically_normal() : resolved).string();
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::string FileNamePart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderPart(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace lumra
