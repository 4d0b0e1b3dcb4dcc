#include "view/first_view.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>

#include "formats/jpeg/jpeg_codec.h"
#include "platform/file_io.h"
#include "platform/large_buffer.h"
#include "view/view_scaler.h"

namespace lumra {

namespace {

// As ImageBuffer::Allocate without clearing the rows: the stand-in's pixels are never read
// (the whole picture's replace them), and clearing 72 MB would cost the first paint its time.
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

// The reduction to dw x dh rows, dw apart, the lower half on a second thread: the first
// paint waits for these rows.
bool ReduceInTwo(const ImageBuffer& reduced, int dw, int dh, uint32_t* rows) {
    const size_t stride = static_cast<size_t>(dw) * sizeof(uint32_t);
    bool lower = false;
    const auto makeLower = [&] { lower = BoxReduceRows(reduced, dw, dh, dh / 2, dh, rows, stride); };
    std::thread helper;
    try {
        helper = std::thread(makeLower);
    } catch (const std::system_error&) {
        makeLower();
    }
    const bool upper = BoxReduceRows(reduced, dw, dh, 0, dh / 2, rows, stride);
    if (helper.joinable()) helper.join();
    return upper && lower;
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

bool DecodeFirstView(const uint8_t* data, size_t size, int64_t fileTime, const FirstViewSizeFn& displaySize,
                     FirstView& out, ReducedJpeg* ahead, bool deferRows) {
    if (!displaySize || DetectFormatBytes(data, std::min<size_t>(size, 8)) != kFormatJpeg) return false;
    int w = 0, h = 0, dw = 0, dh = 0;
    if (!ReadJpegSize(data, size, w, h) || !displaySize(w, h, &dw, &dh)) return false;
    const int scale = FirstViewScale(w, h, dw, dh);
    if (scale == 1) return false;
    DecoderContext decoded;
    // One made ahead serves when it is at least as large as this scale's.
    const bool useAhead = ahead && ahead->scale > 1 && ahead->scale <= scale && ahead->pictureW == w &&
                          ahead->pictureH == h && !ahead->ctx.image.empty();
    DecoderContext& ctx = useAhead ? ahead->ctx : decoded;
    if (!useAhead) {
        JpegFileInfo info;
        if (!DecodeJpegScaled(data, size, scale, ctx, info)) return false;
    }
    const ImageBuffer& reduced = ctx.image;
    std::vector<uint32_t> rows;
    if (deferRows) {
        // Only checked now: no rows.
        uint32_t none = 0;
        if (!BoxReduceRows(reduced, dw, dh, 0, 0, &none, static_cast<size_t>(dw) * sizeof(uint32_t))) return false;
    } else {
        rows.resize(static_cast<size_t>(dw) * static_cast<size_t>(dh));
        if (!ReduceInTwo(reduced, dw, dh, rows.data())) return false;
    }

    DecodedPicture standIn;
    ImageBuffer& image = standIn.image;
    if (!AllocateUncleared(image, w, h, reduced.bitCount())) return false;
    image.header.biXPelsPerMeter = reduced.header.biXPelsPerMeter;
    image.header.biYPelsPerMeter = reduced.header.biYPelsPerMeter;
    image.palette = reduced.palette;
    image.sourceFormat = kFormatJpeg;
    image.sourceBitDepth = reduced.sourceBitDepth;
    image.fileSize = static_cast<int32_t>(std::min<size_t>(size, INT32_MAX));
    image.fileTime = fileTime;
    standIn.format = kFormatJpeg;
    standIn.flags = ctx.flags;

    out.standIn = std::move(standIn);
    out.rows = std::move(rows);
    out.displayW = dw;
    out.displayH = dh;
    out.scale = scale;
    out.reduced = ImageBuffer();
    if (deferRows) out.reduced = std::move(ctx.image);
    return true;
}

bool MakeFirstViewRows(FirstView& view) {
    if (view.reduced.empty() || view.displayW < 1 || view.displayH < 1) return false;
    std::vector<uint32_t> rows(static_cast<size_t>(view.displayW) * static_cast<size_t>(view.displayH));
    const bool ok = ReduceInTwo(view.reduced, view.displayW, view.displayH, rows.data());
    view.reduced = ImageBuffer();
    if (ok) view.rows = std::move(rows);
    return ok;
}

FirstViewAhead::FirstViewAhead(std::string path) : path_(std::move(path)) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread: nothing is taken, the first view reads the file itself.
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
    started_.notify_one();
}

void FirstViewAhead::Run() {
    // Only a JPEG is read whole.
    const auto head = ReadFilePrefix(path_, 8);
    if (!head || DetectFormatBytes(head->data(), head->size()) != kFormatJpeg) return;
    fileTime_ = FileModifiedTime(path_);
    if (!ReadWholeFile(path_, data_)) return;
    read_ = true;
    int w = 0, h = 0;
    if (!ReadJpegSize(data_.data(), data_.size(), w, h)) return;
    int scale = 1;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        // Screens are not known before Qt is up: a picture big enough for a reduced first view
        // on a 1920 x 1080 screen is decoded at that scale at once rather than waiting.
        if (!go_) scale = FirstViewScale(w, h, 1920, 1080);
        if (scale == 1) {
            started_.wait(lock, [this] { return go_; });
            scale = FirstViewScale(w, h, boundW_, boundH_);
        }
    }
    if (scale == 1) return;
    ReducedJpeg reduced;
    JpegFileInfo info;
    if (!DecodeJpegScaled(data_.data(), data_.size(), scale, reduced.ctx, info)) return;
    reduced.pictureW = w;
    reduced.pictureH = h;
    reduced.scale = scale;
    reduced_ = std::move(reduced);
}

bool FirstViewAhead::Take(const std::string& path, std::vector<uint8_t>& data, int64_t& fileTime,
                          ReducedJpeg& reduced) {
    Start(0, 0);  // nothing more is decoded when it has not begun
    if (thread_.joinable()) thread_.join();
    if (!read_) return false;
    // The same file, unchanged since it was read.
    std::error_code error;
    if (!std::filesystem::equivalent(path_, path, error) || error) return false;
    const auto bytes = std::filesystem::file_size(path, error);
    if (error || bytes != data_.size() || FileModifiedTime(path) != fileTime_) return false;
    read_ = false;
    data = std::move(data_);
    fileTime = fileTime_;
    reduced = std::move(reduced_);
    return true;
}

}  // namespace lumra
