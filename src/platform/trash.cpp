#include "platform/trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

namespace lumra {

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> buf(16384);
    struct passwd pw {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result &&
        result->pw_dir)
        return result->pw_dir;
    return "/";
}

bool MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    return errno == EEXIST && IsDirectory(path);
}

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/' && path[i - 1] != '/') {
            const std::string part = path.substr(0, i);
            if (!IsDirectory(part) && !MakeFolder(part)) return false;
        }
    }
    return MakeFolder(path);
}

// Absolute, with "." and ".." taken out lexically; links are kept as they are, since
// the trash receives the directory entry itself.
std::string AbsolutePath(const std::string& path) {
    std::string full;
    if (!path.empty() && path[0] == '/') {
        full = path;
    } else {
        std::vector<char> cwd(4096);
        while (!::getcwd(cwd.data(), cwd.size())) {
            if (errno != ERANGE || cwd.size() > (1u << 20)) return {};
            cwd.resize(cwd.size() * 2);
        }
        full = std::string(cwd.data()) + "/" + path;
    }
    std::vector<std::string_view> parts;
    std::string_view rest(full);
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const auto& p : parts) {
        out += '/';
        out += p;
    }
    return out.empty() ? "/" : out;
}

// Percent-encodes everything except the unreserved characters and '/'.
std::string EncodeTrashPath(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                           c == '~' || c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string DeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
    return buf;
}

// "name", then "stem.2.ext", "stem.3.ext", ... A leading dot does not start an extension.
std::string CandidateName(const std::string& name, int n) {
    if (n == 1) return name;
    const size_t dot = name.rfind('.');
    std::string suffix(1, '.');
    suffix += std::to_string(n);
    if (dot == std::string::npos || dot == 0) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

// Copy for a move across file systems: a new file that must not exist yet.
bool CopyIntoTrash(const std::string& src, const std::string& dst, mode_t mode) {
    const int out = ::open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) return false;
    ::close(out);
    if (CopyFileOver(src, dst)) {
        ::chmod(dst.c_str(), mode & 07777);
        return true;
    }
    ::unlink(dst.c_str());
    return false;
}

}  // namespace

std::string HomeTrashFolder() {
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        data = xdg;
    } else {
        data = HomeFolder();
        while (data.size() > 1 && data.back() == '/') data.pop_back();
        data += data == "/" ? ".local/share" : "/.local/share";
    }
    while (data.size() > 1 && data.back() == '/') data.pop_back();
    return data + "/Trash";
}

bool MoveToTrash(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return false;
    const std::string original = AbsolutePath(path);
    if (original.empty() || original == "/") return false;
    const std::string baseName = original.substr(original.rfind('/') + 1);

    const std::string trash = HomeTrashFolder();
    const std::string filesDir = trash + "/files";
    const std::string infoDir = trash + "/info";
    if (!MakeFolders(filesDir) || !MakeFolders(infoDir)) return false;

    const std::string info = "[Trash Info]\nPath=" + EncodeTrashPath(original) +
                             "\nDeletionDate=" + DeletionDate() + "\n";

    for (int n = 1; n < 100000; ++n) {
        const std::string name = CandidateName(baseName, n);
        const std::string infoPath = infoDir + "/" + name + ".trashinfo";
        const std::string target = filesDir + "/" + name;
        // The info file claims the name; O_EXCL makes the claim atomic.
        const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        const bool written = WriteAllToFd(fd, info);
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) {
            ::unlink(infoPath.c_str());
            return false;
        }
        struct stat existing {};
        if (::lstat(target.c_str(), &existing) == 0) {
            // A stray entry without its info file: leave it and take the next name.
            ::unlink(infoPath.c_str());
            continue;
        }
        if (::rename(path.c_str(), target.c_str()) == 0) return true;
        if (errno == EXDEV && S_ISREG(st.st_mode)) {
            if (CopyIntoTrash(path, target, st.st_mode)) {
                if (::unlink(path.c_str()) == 0) return true;
                ::unlink(target.c_str());
            }
        }
        ::unlink(infoPath.c_str());
        return false;
    }
    return false;
}

}  // namespace lumra
