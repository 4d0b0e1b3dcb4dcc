// The first look at a big JPEG: a DCT-reduced decode shown while the whole picture is
// decoded behind it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

struct FirstView {
    // Stands for the whole picture until it is decoded: its size, depth, flags and file
    // facts are the whole picture's; its pixels are zero and are never shown.
    DecodedPicture standIn;
    // The reduced decode at the displayed size: top-down 0xFFRRGGBB rows, displayW apart.
    std::vector<uint32_t> rows;
    int displayW = 0;
    int displayH = 0;
    int scale = 1;
    // With the rows left to MakeFirstViewRows: the reduced decode they are made from.
    ImageBuffer reduced;
};

// A DCT-reduced decode made before the displayed size is known.
struct ReducedJpeg {
    int pictureW = 0;  // the file's own size
    int pictureH = 0;
    int scale = 1;  // 1: none made
    DecoderContext ctx;
};

// The quick first look at a JPEG held in memory: false (out untouched) when the data is not
// a JPEG, when it is not shown reduced or when a reduction of 2 or more would not cover the
// displayed size; the caller then decodes the whole picture as usual.
// ahead: a reduced decode of the same data made earlier, used when it covers the displayed size.
// deferRows: the rows are not made; out.reduced holds what MakeFirstViewRows makes them from.
bool DecodeFirstView(const uint8_t* data, size_t size, int64_t fileTime, const FirstViewSizeFn& displaySize,
                     FirstView& out, ReducedJpeg* ahead = nullptr, bool deferRows = false);
// Makes view.rows from view.reduced, which it then drops (on any thread). False when there is
// nothing to make them from.
bool MakeFirstViewRows(FirstView& view);

// The quick first decode of the picture named at start, begun before the windows are up:
// a thread reads the file at once and decodes it reduced while the windows are made: to
// cover the largest size the picture can be shown at, given by Start, or, when the picture
// is big enough and Start has not come yet, to cover a 1920 x 1080 screen.
class FirstViewAhead {
public:
    explicit FirstViewAhead(std::string path);
    ~FirstViewAhead();  // waits for the thread
    FirstViewAhead(const FirstViewAhead&) = delete;
    FirstViewAhead& operator=(const FirstViewAhead&) = delete;

    // The decode may start: boundW x boundH is the largest displayed size expected (the
    // biggest screen's). A size not positive: nothing is decoded.
    void Start(int boundW, int boundH);
    // Waits for the thread. True, with the file's bytes, its time and the reduced decode
    // (scale 1 when none was made), when path is the file read and it has not changed since.
    bool Take(const std::string& path, std::vector<uint8_t>& data, int64_t& fileTime, ReducedJpeg& reduced);

private:
    void Run();

    std::string path_;
    std::mutex mutex_;
    std::condition_variable started_;
    bool go_ = false;
    int boundW_ = 0;
    int boundH_ = 0;
    // Written by the thread; read after it has ended.
    bool read_ = false;
    int64_t fileTime_ = 0;
    std::vector<uint8_t> data_;
    ReducedJpeg reduced_;
    std::thread thread_;
};

}  // namespace lumra
