// The preview worker: one thread per operation that recomputes the preview on request.
// Requests are coalesced: after each one the queue is drained and at most one recompute
// (and one stop) is put back, so a burst costs at most one more computation.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace lumra {

inline constexpr int kRecomputeRequest = 100;
inline constexpr int kStopRequest = 101;
inline constexpr int kCorrectionStopMs = 9999;
inline constexpr int kRotationStopMs = 1000;

class PreviewWorker {
public:
    // recompute runs on the worker thread. What it touches must stay alive until the thread
    // ends; a worker given up by Stop keeps its callable (and what that captures) alive.
    explicit PreviewWorker(std::function<void()> recompute);
    ~PreviewWorker();
    PreviewWorker(const PreviewWorker&) = delete;
    PreviewWorker& operator=(const PreviewWorker&) = delete;

    void RequestRecompute() { Post(kRecomputeRequest); }
    // Posts the stop request and waits up to boundMs for the thread to end. False when it
    // did not end in time: the thread is then abandoned (detached), the caller treats an OK
    // as Cancel.
    bool Stop(int boundMs);
    bool Running() const;

private:
    struct Shared {
        std::mutex lock;
        std::condition_variable wake;
        std::condition_variable ended;
        std::deque<int> queue;
        bool finished = false;
        std::function<void()> recompute;
    };
    void Post(int code);
    static void Loop(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace lumra
