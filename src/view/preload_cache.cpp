#include "view/preload_cache.h"

#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <exception>

#include "platform/file_io.h"
#include "view/view_scaler.h"

namespace lumra {

namespace {

// The reduced copy the window would make at its first paint, made here instead.
// Animations show their frames, not the picture, and are left alone.
void MakeDisplayCopy(const PreloadCache::DisplaySizeFn& displaySize, DecodedPicture& picture) {
    const ImageBuffer& image = picture.image;
    if (image.empty() || !picture.animation.frames.empty()) return;
    int w = 0, h = 0;
    if (!displaySize(image.width(), image.height(), &w, &h)) return;
    if (w < 1 || h < 1 || w > image.width() || h > image.height() ||
        (w == image.width() && h == image.height()))
        return;
    std::vector<uint32_t> rows(static_cast<size_t>(w) * static_cast<size_t>(h));
    if (!BoxReduce(image, w, h, rows.data(), static_cast<size_t>(w) * sizeof(uint32_t))) return;
    picture.displayCopy = std::move(rows);
    picture.displayW = w;
    picture.displayH = h;
}

// A file whose times are this close to the clock may be rewritten within the same clock
// tick without its times changing; its contents are compared before it is handed out.
constexpr int64_t kRecentNs = 2'000'000'000;

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
    std::optional<FileStamp> s = StampOfPath(path);
    if (!s || !s->regular) return std::nullopt;
    return s;
}

uint32_t ContentHash(const uint8_t* data, size_t size) {
    return static_cast<uint32_t>(crc32_z(crc32_z(0, nullptr, 0), data, size));
}

size_t PreloadCache::DefaultBudget() {
    constexpr size_t kMax = size_t{3} << 29;  // 1.5 GiB
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return size_t{256} << 20;
    const uint64_t quarter = static_cast<uint64_t>(pages) / 4 * static_cast<uint64_t>(pageSize);
    return static_cast<size_t>(std::min<uint64_t>(quarter, kMax));
}

PreloadCache::PreloadCache(Options options) : budget_(options.budgetBytes), keepUnwanted_(options.keepUnwanted) {
    const int count = std::max(1, options.workers);
    workers_.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) workers_.emplace_back([this] { Run(); });
}

PreloadCache::~PreloadCache() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    workCv_.notify_all();
    doneCv_.notify_all();
    for (std::thread& t : workers_) t.join();
}

void PreloadCache::DropAllLocked() {
    entries_.clear();
    bytes_ = 0;
}

void PreloadCache::SetKeyLocked(const PreloadKey& key) {
    DropAllLocked();
    failed_.clear();
    overBudget_.clear();
    key_ = key;
    ++generation_;  // decodes under way for the old key are thrown away
}

int PreloadCache::RequestIndexLocked(const std::string& path) const {
    for (size_t i = 0; i < request_.size(); ++i)
        if (request_[i] == path) return static_cast<int>(i);
    return -1;
}

int PreloadCache::FindJobLocked() {
    if (!key_) return -1;
    size_t wantedBytes = 0;  // pictures wanted more than the one looked at
    for (size_t i = 0; i < request_.size(); ++i) {
        const std::string& path = request_[i];
        if (const auto entry = entries_.find(path); entry != entries_.end()) {
            wantedBytes += entry->second.bytes;
            continue;
        }
        if (wantedBytes >= budget_) return -1;
        if (inFlight_.count(path) || overBudget_.count(path)) continue;
        const auto failed = failed_.find(path);
        if (failed != failed_.end()) {
            // Tried again only once the file has changed.
            if (StampOf(path).value_or(FileStamp{}) == failed->second) continue;
            failed_.erase(failed);
        }
        return static_cast<int>(i);
    }
    return -1;
}

void PreloadCache::EvictLocked() {
    size_t unwanted = 0;
    for (const auto& [path, entry] : entries_)
        if (RequestIndexLocked(path) < 0) ++unwanted;
    // At least one picture is always kept, however large.
    while ((bytes_ > budget_ && entries_.size() > 1) || unwanted > keepUnwanted_) {
        auto victim = entries_.end();
        int victimIndex = -2;
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            const int index = RequestIndexLocked(it->first);
            if (index < 0) {
                // Pictures no longer wanted go first, the oldest of them first.
                if (victimIndex != -1 || it->second.order < victim->second.order) {
                    victim = it;
                    victimIndex = -1;
                }
            } else if (victimIndex != -1 && index > victimIndex) {
                // Then the least wanted.
                victim = it;
                victimIndex = index;
            }
        }
        if (victimIndex >= 0) overBudget_.insert(victim->first);
        else --unwanted;
        bytes_ -= victim->second.bytes;
        entries_.erase(victim);
    }
}

void PreloadCache::Run() {
    // Decoding ahead gives way to the window's own work.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        int index = -1;
        while (!stop_ && (index = FindJobLocked()) < 0) workCv_.wait(lock);
        if (stop_) return;
        const std::string path = request_[static_cast<size_t>(index)];
        const uint64_t generation = generation_;
        const LImgSettings limg = key_->limg;
        const DisplaySizeFn displaySize = displaySize_;
        inFlight_[path] = generation;
        lock.unlock();

        // The file is read whole first: what is decoded is what was read, and the file's
        // stamp before and after the read tells whether it moved meanwhile.
        Entry entry;
        bool ok = false;
        bool moving = false;  // the file changed while it was read
        const std::optional<FileStamp> before = StampOf(path);
        try {
            std::vector<uint8_t> data;
            const bool read = before && ReadWholeFile(path, data);
            const std::optional<FileStamp> after = StampOf(path);
            moving = before && !(after && *before == *after && data.size() == static_cast<size_t>(before->size));
            if (read && !moving) {
                const FormatCode format = DetectFormatBytes(data.data(), std::min<size_t>(data.size(), 8));
                // Pictures only the plug-ins read are left to the normal load.
                if (DecoderFor(format)) {
                    ok = DecodeOwnFormatData(data.data(), data.size(), limg, before->modifiedNs, entry.picture);
                }
                if (ok && displaySize) MakeDisplayCopy(displaySize, entry.picture);
                if (ok) {
                    entry.stamp = *before;
                    entry.checkContent = NowNs() - std::max(before->changedNs, before->modifiedNs) < kRecentNs;
                    if (entry.checkContent) entry.hash = ContentHash(data.data(), data.size());
                    entry.bytes = entry.picture.MemoryBytes();
                }
            }
        } catch (const std::exception&) {
            // Out of memory: left to the normal load.
            ok = false;
            entry = Entry{};
        }

        lock.lock();
        inFlight_.erase(path);
        ++decodes_;
        if (!stop_ && generation == generation_) {
            if (ok) {
                entry.order = ++order_;
                bytes_ += entry.bytes;
                entries_[path] = std::move(entry);
                EvictLocked();
            } else {
                // Failures are not kept: the normal load reads the file and reports them.
                // The file is tried again once it is no longer as it was read.
                failed_[path] = before.value_or(FileStamp{});
            }
        }
        doneCv_.notify_all();
        if (stop_) return;
        // A file being written is not read over and over.
        if (moving) workCv_.wait_for(lock, std::chrono::milliseconds(50));
    }
}

void PreloadCache::SetDisplaySize(DisplaySizeFn fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    displaySize_ = std::move(fn);
}

void PreloadCache::Request(std::vector<std::string> paths, const PreloadKey& key) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!key_ || !(*key_ == key)) SetKeyLocked(key);
        request_ = std::move(paths);
        overBudget_.clear();
        EvictLocked();
    }
    workCv_.notify_all();
}

std::optional<DecodedPicture> PreloadCache::Take(const std::string& path, const PreloadKey& key) {
    Entry entry;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        // Not started now: the caller reads it itself.
        std::erase(request_, path);
        if (!key_ || !(*key_ == key)) {
            SetKeyLocked(key);
            return std::nullopt;
        }
        doneCv_.wait(lock, [&] {
            const auto it = inFlight_.find(path);
            return stop_ || it == inFlight_.end() || it->second != generation_;
        });
        const auto it = entries_.find(path);
        if (it == entries_.end()) return std::nullopt;
        entry = std::move(it->second);
        bytes_ -= entry.bytes;
        entries_.erase(it);
    }
    // The file must still be the one that was decoded.
    const std::optional<FileStamp> now = StampOf(path);
    if (!now || !(*now == entry.stamp)) return std::nullopt;
    if (entry.checkContent) {
        std::vector<uint8_t> data;
        if (!ReadWholeFile(path, data) || ContentHash(data.data(), data.size()) != entry.hash) return std::nullopt;
    }
    return std::move(entry.picture);
}

void PreloadCache::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    DropAllLocked();
    request_.clear();
    failed_.clear();
    overBudget_.clear();
    ++generation_;
}

void PreloadCache::WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    doneCv_.wait(lock, [&] { return stop_ || (inFlight_.empty() && FindJobLocked() < 0); });
}

bool PreloadCache::Contains(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.count(path) != 0;
}

size_t PreloadCache::bytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

size_t PreloadCache::entryCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

uint64_t PreloadCache::decodeCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return decodes_;
}

}  // namespace lumra
