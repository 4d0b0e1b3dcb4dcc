#include "platform/folder_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <utility>

namespace lumra {

namespace {

constexpr uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
// The folder itself going away ends what the list shows as well.
constexpr uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;

}  // namespace

FolderWatch::~FolderWatch() { Close(); }

FolderWatch::FolderWatch(FolderWatch&& other) noexcept { *this = std::move(other); }

FolderWatch& FolderWatch::operator=(FolderWatch&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        wd_ = std::exchange(other.wd_, -1);
        signalled_ = std::exchange(other.signalled_, false);
        folder_ = std::move(other.folder_);
        other.folder_.clear();
    }
    return *this;
}

bool FolderWatch::Open(const std::string& folder) {
    Close();
    folder_ = folder;
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return false;
    wd_ = ::inotify_add_watch(fd_, folder.c_str(), kNameEvents | kSelfEvents | IN_ONLYDIR);
    if (wd_ < 0) {
        Close();
        folder_ = folder;
        return false;
    }
    return true;
}

void FolderWatch::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    wd_ = -1;
    signalled_ = false;
    folder_.clear();
}

bool FolderWatch::Drain(const std::string* skip) {
    if (fd_ < 0) return false;
    bool seen = false;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            break;  // EAGAIN: nothing more pending
        }
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // Folder name changes are not file name changes.
            const bool skipped = skip && event->len > 0 && *skip == event->name;
            if ((event->mask & kNameEvents) && !(event->mask & IN_ISDIR) && !skipped) seen = true;
            if (event->mask & (kSelfEvents | IN_Q_OVERFLOW)) seen = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return seen;
}

bool FolderWatch::Signalled() {
    if (Drain()) signalled_ = true;
    return signalled_;
}

void FolderWatch::Rearm() {
    Drain();
    signalled_ = false;
}

void FolderWatch::ForgetName(const std::string& name) {
    if (Drain(&name)) signalled_ = true;
}

}  // namespace lumra
