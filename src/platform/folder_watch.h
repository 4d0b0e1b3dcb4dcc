// A watch on the file names of one folder, polled without waiting: files created,
// deleted or renamed in the folder (not in its sub-folders) set a flag.
#pragma once

#include <string>

namespace lumra {

class FolderWatch {
public:
    FolderWatch() = default;
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;
    FolderWatch(FolderWatch&& other) noexcept;
    FolderWatch& operator=(FolderWatch&& other) noexcept;

    // Starts watching folder (the previous watch ends). False when it cannot be watched;
    // the watch is then closed and never signalled.
    bool Open(const std::string& folder);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& folder() const { return folder_; }

    // Whether a file name changed since the watch was opened or re-armed. Never blocks.
    bool Signalled();
    // Forgets the changes seen so far.
    void Rearm();
    // Forgets the pending changes of one file name (the program's own save); changes of
    // other names stay seen.
    void ForgetName(const std::string& name);

private:
    // Reads every pending event; true when one concerned a file name other than skip.
    bool Drain(const std::string* skip = nullptr);

    int fd_ = -1;
    int wd_ = -1;
    bool signalled_ = false;
    std::string folder_;
};

}  // namespace lumra
