#include "edit/preview_worker.h"

#include <chrono>

namespace lumra {

PreviewWorker::PreviewWorker(std::function<void()> recompute) : shared_(std::make_shared<Shared>()) {
    shared_->recompute = std::move(recompute);
    thread_ = std::thread(Loop, shared_);
}

PreviewWorker::~PreviewWorker() {
    if (thread_.joinable()) Stop(kCorrectionStopMs);
}

void PreviewWorker::Post(int code) {
    {
        std::lock_guard<std::mutex> g(shared_->lock);
        shared_->queue.push_back(code);
    }
    shared_->wake.notify_one();
}

bool PreviewWorker::Running() const {
    std::lock_guard<std::mutex> g(shared_->lock);
    return !shared_->finished;
}

void PreviewWorker::Loop(std::shared_ptr<Shared> s) {
    std::unique_lock<std::mutex> g(s->lock);
    for (;;) {
        s->wake.wait(g, [&] { return !s->queue.empty(); });
        const int code = s->queue.front();
        s->queue.pop_front();
        bool stop = false;
        if (code == kRecomputeRequest) {
            g.unlock();
            s->recompute();
            g.lock();
        } else if (code == kStopRequest) {
            stop = true;
        }
        if (stop) break;
        // Drain what arrived meanwhile; one recompute and one stop survive.
        bool recompute = false, stopLater = false;
        for (const int c : s->queue) {
            recompute |= c == kRecomputeRequest;
            stopLater |= c == kStopRequest;
        }
        s->queue.clear();
        if (recompute) s->queue.push_back(kRecomputeRequest);
        if (stopLater) s->queue.push_back(kStopRequest);
    }
    s->finished = true;
    g.unlock();
    s->ended.notify_all();
}

bool PreviewWorker::Stop(int boundMs) {
    Post(kStopRequest);
    bool ended;
    {
        std::unique_lock<std::mutex> g(shared_->lock);
        ended = shared_->ended.wait_for(g, std::chrono::milliseconds(boundMs),
                                        [&] { return shared_->finished; });
    }
    if (ended) {
        thread_.join();
        return true;
    }
    thread_.detach();  // it keeps its own reference to the shared state
    return false;
}

}  // namespace lumra
