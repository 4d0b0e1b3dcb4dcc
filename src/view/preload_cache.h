// Background decoding of the pictures the user is likely to open next (the neighbours in
// the folder's list), so that stepping to one of them shows it without waiting.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "formats/load_save.h"
#include "platform/file_stamp.h"
#include "shell/settings.h"

namespace lumra {

// nullopt when the path is not a readable regular file.
std::optional<FileStamp> StampOf(const std::string& path);

// Everything that changes what decoding a file gives.
struct PreloadKey {
    LImgSettings limg;
    std::string pluginFolder;
    friend bool operator==(const PreloadKey&, const PreloadKey&) = default;
};

// A checksum of file contents (zlib's CRC-32), to tell a rewrite its times do not show.
uint32_t ContentHash(const uint8_t* data, size_t size);

class PreloadCache {
public:
    struct Options {
        size_t budgetBytes = DefaultBudget();
        int workers = 1;
        size_t keepUnwanted = 2;  // pictures no longer asked for that stay while there is room
    };
    // A quarter of the physical memory, at most 1.5 GiB.
    static size_t DefaultBudget();

    PreloadCache() : PreloadCache(Options{}) {}
    explicit PreloadCache(Options options);
    ~PreloadCache();
    PreloadCache(const PreloadCache&) = delete;
    PreloadCache& operator=(const PreloadCache&) = delete;

    // The size a decoded w x h picture will be shown at when that is smaller than the
    // picture and smoothly reduced; false when it will not be. Pictures decoded after this
    // also get that reduced copy made ahead (DecodedPicture::displayCopy). Called on the
    // decoding threads: it must only read what it holds.
    using DisplaySizeFn = std::function<bool(int w, int h, int* displayW, int* displayH)>;
    void SetDisplaySize(DisplaySizeFn fn);

    // Replaces the wanted paths, most wanted first. Files are decoded in that order as long
    // as the budget allows; a different key drops every decoded picture first. Of the
    // pictures no longer wanted, only the latest few are kept.
    void Request(std::vector<std::string> paths, const PreloadKey& key);
    // The decoded picture of path when it was decoded with key from the file as it is now.
    // Waits for a decode of path that is under way. The entry leaves the cache either way.
    std::optional<DecodedPicture> Take(const std::string& path, const PreloadKey& key);
    // Drops every decoded picture and the wanted paths.
    void Clear();

    // Waits until nothing is being decoded and nothing wanted is left to start.
    void WaitIdle();
    bool Contains(const std::string& path) const;
    size_t bytes() const;
    size_t entryCount() const;
    size_t budget() const { return budget_; }
    // Decodes finished since construction (failed ones included).
    uint64_t decodeCount() const;

private:
    struct Entry {
        DecodedPicture picture;
        FileStamp stamp;
        bool checkContent = false;  // written too recently for its times to tell a rewrite
        uint32_t hash = 0;
        size_t bytes = 0;
        uint64_t order = 0;  // insertion order
    };
    void Run();
    // The index in the request of the next file to decode; -1 when none.
    int FindJobLocked();
    void EvictLocked();
    void DropAllLocked();
    int RequestIndexLocked(const std::string& path) const;
    void SetKeyLocked(const PreloadKey& key);

    const size_t budget_;
    DisplaySizeFn displaySize_;
    const size_t keepUnwanted_;
    mutable std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable doneCv_;
    bool stop_ = false;
    std::optional<PreloadKey> key_;
    uint64_t generation_ = 0;  // moves with every change of key
    std::vector<std::string> request_;
    std::map<std::string, Entry> entries_;
    std::map<std::string, uint64_t> inFlight_;   // path -> generation it is decoded for
    std::map<std::string, FileStamp> failed_;    // not retried while the file is unchanged
    std::set<std::string> overBudget_;           // evicted from this request for room
    size_t bytes_ = 0;
    uint64_t order_ = 0;
    uint64_t decodes_ = 0;
    std::vector<std::thread> workers_;
};

}  // namespace lumra
