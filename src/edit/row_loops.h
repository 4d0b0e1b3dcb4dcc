// Row loops shared by the filters and the selection's feathering: integer multiply-adds over a
// row, compiled for the widest vectors the processor has, and bands of rows on threads.
#pragma once

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace lumra {

// acc = w * p.
void MulRow(int32_t* acc, const uint8_t* p, int32_t w, int n);
// acc += w * (a + b); b may be null.
void MacPair(int32_t* acc, const uint8_t* a, const uint8_t* b, int32_t w, int n);
// acc >>= shift.
void ShiftRow(int32_t* acc, int shift, int n);

// Runs fn(from, to) over bands of rows, on up to `threads` threads (0: one per processor,
// at most 8); the bands never share a row, so the result is the same for any count.
template <typename F>
void ForBandsOfRows(int rows, int threads, F&& fn) {
    const int n = std::clamp(
        threads > 0 ? threads : static_cast<int>(std::thread::hardware_concurrency()), 1, 8);
    const int bands = std::min(n, std::max(1, rows / 64));
    if (bands <= 1) {
        fn(0, rows);
        return;
    }
    std::vector<std::thread> pool;
    int done = bands;  // bands from here on run on this thread when no thread can be made
    for (int b = 1; b < bands; ++b) {
        try {
            pool.emplace_back(
                [&fn, b, bands, rows] { fn(rows * b / bands, rows * (b + 1) / bands); });
        } catch (const std::system_error&) {
            done = b;
            break;
        }
    }
    fn(0, rows / bands);
    if (done < bands) fn(rows * done / bands, rows);
    for (std::thread& th : pool) th.join();
}

}  // namespace lumra
