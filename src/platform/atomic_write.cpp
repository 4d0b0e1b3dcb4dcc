#include "platform/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/file_io.h"
#include "platform/file_query.h"

namespace lumra {

namespace {

// Read without changing it, which umask() alone cannot do.
mode_t CurrentUmask() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data) {
    const std::string target = FollowSymbolicLinks(path);
    const size_t slash = target.rfind('/');
    const std::string folder =
        (slash == std::string::npos) ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = (slash == std::string::npos) ? target : target.substr(slash + 1);

    // Hidden temporary beside the target, so that rename() stays on one file system.
    std::string tmp = folder == "/" ? "" : folder;
    tmp.append(base.size() <= 200 ? "/." + base : "/.tmp").append(".XXXXXX");
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;

    const std::optional<unsigned> kept = FilePermissions(target);
    const mode_t mode = kept ? static_cast<mode_t>(*kept) : (0666 & ~CurrentUmask());
    bool ok = ::fchmod(fd, mode) == 0 &&
              WriteAllToFd(fd, reinterpret_cast<const uint8_t*>(data.data()), data.size()) &&
              ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace lumra
