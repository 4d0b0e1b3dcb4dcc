#include "view/first_view.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>

#include "platform/file_io.h"
#include "platform/large_buffer.h"
#include "view/view_scaler.h"

namespace lumra {

namespace {

// As ImageBuffer::Allocate without clearing anything, not even the rows' padding (that would
// touch every page): the stand-in's pixels are never read (the whole picture's replace
// them), and clearing 72 MB would cost the first paint its time.
bool AllocateUncleared(ImageBuffer& image, int w, int h, int bitCount) {
    image.Reset();
    if (w < 1 || h < 1 || w > kMaxPictureSide || h > kMaxPictureSide) return false;
    const size_t total = PaddedRowBytes(w, bitCount) * static_cast<size_t>(h);
    if (total == 0) return false;
    uint8_t* p = AllocateLarge(total, false);
    if (!p) return false;
    image.pixels.reset(p);
    image.header.biWidth = w;
    image.header.biHeight = h;
    image.header.biBitCount = static_cast<uint16_t>(bitCount);
    return true;
}

}  // namespace

int FirstViewScale(int pictureW, int pictureH, int displayW, int displayH) {
    if (pictureW < 1 || pictureH < 1 || displayW < 1 || displayH < 1) return 1;
    for (int n = 8; n > 1; n /= 2) {
        const int w = (pictureW + n - 1) / n, h = (pictureH + n - 1) / n;
        if (w >= displayW && h >= displayH) return n;
    }
    return 1;
}

bool MakeStandIn(const uint8_t* data, size_t size, int64_t fileTime, DecodedPicture& out) {
    JpegFileInfo info;
    if (!ReadJpegHeader(data, size, info)) return false;
    DecodedPicture standIn;
    ImageBuffer& image = standIn.image;
    const int bits = info.isGrey ? 8 : 24;
    if (!AllocateUncleared(image, info.imageWidth, info.imageHeight, bits)) return false;
    image.header.biXPelsPerMeter = info.xPelsPerMeter;
    image.header.biYPelsPerMeter = info.yPelsPerMeter;
    if (info.isGrey) FillGreyPalette(image.palette);
    image.sourceFormat = kFormatJpeg;
    image.sourceBitDepth = bits;
    image.fileSize = static_cast<int32_t>(std::min<size_t>(size, INT32_MAX));
    image.fileTime = fileTime;
    standIn.format = kFormatJpeg;
    standIn.flags.interlaced = info.progressive;
    standIn.flags.hasText = info.sawApp1;
    standIn.flags.hasComment = info.commentCount > 0;
    out = std::move(standIn);
    return true;
}

FirstViewAhead::FirstViewAhead(std::string path) : path_(std::move(path)) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread: nothing is read here; the caller reads the file itself.
        headerDone_ = true;
        scale_ = 1;
        ready_ = -1;
    }
}

FirstViewAhead::~FirstViewAhead() {
    Start(0, 0);
    if (thread_.joinable()) thread_.join();
}

void FirstViewAhead::Start(int boundW, int boundH) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (go_) return;
        go_ = true;
        boundW_ = boundW;
        boundH_ = boundH;
    }
    changed_.notify_all();
}

void FirstViewAhead::SetScale(int scale) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        scale_ = scale;
    }
    changed_.notify_all();
}

void FirstViewAhead::Run() {
    // Only a JPEG is read whole.
    const auto head = ReadFilePrefix(path_, 8);
    bool ok = head && DetectFormatBytes(head->data(), head->size()) == kFormatJpeg;
    if (ok) {
        fileTime_ = FileModifiedTime(path_);
        ok = ReadWholeFile(path_, data_) && ReadJpegHeader(data_.data(), data_.size(), header_);
    }
    int scale = 1;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        headerDone_ = true;
        headerOk_ = ok;
        changed_.notify_all();
        if (ok) {
            // Screens are not known before Qt is up: a picture big enough for a reduced first
            // view on a 1920 x 1080 screen is decoded at that scale at once rather than waiting.
            if (!go_) scale = FirstViewScale(header_.imageWidth, header_.imageHeight, 1920, 1080);
            if (scale == 1) {
                changed_.wait(lock, [this] { return go_; });
                scale = FirstViewScale(header_.imageWidth, header_.imageHeight, boundW_, boundH_);
            }
        }
    }
    SetScale(scale);
    bool decoded = false;
    if (scale > 1) {
        JpegFileInfo info;
        decoded = DecodeJpegScaled(data_.data(), data_.size(), scale, reduced_, info,
                                   [this](int rows) { RowsReady(rows); });
    }
    if (!decoded) {
        ready_.store(-1, std::memory_order_release);
        ready_.notify_all();
    }
}

void FirstViewAhead::RowsReady(int rows) {
    ready_.store(rows, std::memory_order_release);
    ready_.notify_all();
    if (rows >= 0) return;
    // The rows are about to go: wait until nobody reads them.
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return readers_ == 0; });
}

bool FirstViewAhead::TakeHeader(const std::string& path) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return headerDone_; });
        if (!headerOk_) return false;
    }
    // The same file, unchanged since it was read.
    std::error_code error;
    if (!std::filesystem::equivalent(path_, path, error) || error) return false;
    const auto bytes = std::filesystem::file_size(path, error);
    return !error && bytes == data_.size() && FileModifiedTime(path) == fileTime_;
}

int FirstViewAhead::Scale() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return scale_ != 0; });
    return scale_;
}

bool FirstViewAhead::ReduceToDisplay(int displayW, int displayH, std::vector<uint32_t>& rows) {
    const int scale = Scale();
    if (scale == 1 || displayW < 1 || displayH < 1) return false;
    const int w = (header_.imageWidth + scale - 1) / scale, h = (header_.imageHeight + scale - 1) / scale;
    if (displayW > w || displayH > h) return false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++readers_;
    }
    std::vector<uint32_t> out(static_cast<size_t>(displayW) * static_cast<size_t>(displayH));
    const size_t stride = static_cast<size_t>(displayW) * sizeof(uint32_t);
    // Output rows are made once every picture row they average is in.
    int next = 0;
    bool ok = true;
    while (next < displayH) {
        const int ready = ready_.load(std::memory_order_acquire);
        if (ready < 0) {
            ok = false;
            break;
        }
        int end = next;
        while (end < displayH && static_cast<int64_t>(end + 1) * h / displayH <= ready) ++end;
        if (end == next) {
            ready_.wait(ready, std::memory_order_acquire);
            continue;
        }
        if (!BoxReduceRows(reduced_.image, displayW, displayH, next, end, out.data(), stride)) {
            ok = false;
            break;
        }
        next = end;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        --readers_;
    }
    changed_.notify_all();
    if (ok) rows = std::move(out);
    return ok;
}

}  // namespace lumra
