#include "platform/file_query.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "platform/file_stamp.h"

namespace lumra {

FileKind KindOfFile(const std::string& path) {
    const std::optional<FileStamp> stamp = path.empty() ? std::nullopt : StampOfPath(path);
    if (!stamp) return FileKind::Missing;
    if (stamp->directory) return FileKind::Folder;
    return stamp->regular ? FileKind::Regular : FileKind::Other;
}

bool IsSymbolicLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string FollowSymbolicLinks(const std::string& path) {
    std::string p = path;
    for (int depth = 0; depth < 40 && IsSymbolicLink(p); ++depth) {
        std::string buf(PATH_MAX, '\0');
        const ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return p;
        buf.resize(static_cast<size_t>(n));
        if (buf.front() == '/') {
            p = buf;
        } else {
            const size_t slash = p.rfind('/');
            p = (slash == std::string::npos) ? buf : p.substr(0, slash + 1) + buf;
        }
    }
    return p;
}

std::optional<unsigned> FilePermissions(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<unsigned>(st.st_mode & 07777);
}

bool IsExecutableByUs(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

}  // namespace lumra
