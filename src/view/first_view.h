// The first look at a big JPEG: a DCT-reduced decode shown while the whole picture is
// decoded behind it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "formats/jpeg/jpeg_codec.h"
#include "formats/load_save.h"

namespace lumra {

// The reduction (1, 2, 4 or 8) of the quick first decode of a pictureW x pictureH JPEG
// shown at displayW x displayH: the largest whose picture, ceil(side / N), still covers
// the displayed size on both sides. 1 (no quick decode) when the picture is not shown
// smaller than it is or a size is not positive.
int FirstViewScale(int pictureW, int pictureH, int displayW, int displayH);

// The size a w x h picture is shown at when that is smaller than the picture; false when
// it is not (as PreloadCache::DisplaySizeFn).
using FirstViewSizeFn = std::function<bool(int w, int h, int* displayW, int* displayH)>;

// Stands for the whole picture until it is decoded, made from the file's header: its size,
// depth, resolution, flags and file facts are the whole picture's; its pixels are never
// shown. False when the header does not read.
bool MakeStandIn(const uint8_t* data, size_t size, int64_t fileTime, DecodedPicture& out);

// A JPEG read and decoded reduced on a thread of its own. The file is read and its header
// looked at at once; the reduced decode follows, at the scale that covers the size given by
// Start, or, when Start has not come by then and the picture is big enough, a 1920 x 1080
// screen. The rows for the displayed size are made while the decode goes on (ReduceToDisplay).
class FirstViewAhead {
public:
    explicit FirstViewAhead(std::string path);
    ~FirstViewAhead();  // waits for the thread
    FirstViewAhead(const FirstViewAhead&) = delete;
    FirstViewAhead& operator=(const FirstViewAhead&) = delete;

    // The decode may start: boundW x boundH is the largest displayed size expected. A size not
    // positive: nothing is decoded. Only the first call counts.
    void Start(int boundW, int boundH);
    // Waits for the file and its header. True when path is the file read, unchanged since, and
    // a JPEG whose header reads; then data(), fileTime() and header() hold.
    bool TakeHeader(const std::string& path);
    const std::vector<uint8_t>& data() const { return data_; }
    int64_t fileTime() const { return fileTime_; }
    const JpegFileInfo& header() const { return header_; }
    // The reduction chosen for the decode (1: none), once chosen.
    int Scale();
    // The reduced decode reduced again to displayW x displayH, top-down 0xFFRRGGBB rows, displayW
    // apart, made as its rows come in (any thread). False when the decode fails, is not made or
    // does not cover that size.
    bool ReduceToDisplay(int displayW, int displayH, std::vector<uint32_t>& rows);

private:
    void Run();
    void RowsReady(int rows);  // on the decoding thread
    void SetScale(int scale);

    std::string path_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool go_ = false;
    int boundW_ = 0;
    int boundH_ = 0;
    bool headerDone_ = false;  // the file and header step has ended
    bool headerOk_ = false;
    int scale_ = 0;  // 0: not chosen yet
    int readers_ = 0;  // in ReduceToDisplay
    // Rows of reduced_ that are final; -1: there will be no more.
    std::atomic<int> ready_{0};
    // Written by the thread before headerDone_ / the first rows are told.
    int64_t fileTime_ = 0;
    std::vector<uint8_t> data_;
    JpegFileInfo header_;
    DecoderContext reduced_;
    std::thread thread_;
};

}  // namespace lumra
