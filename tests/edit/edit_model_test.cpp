#include "edit/edit_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "shell/session.h"
#include "test_util.h"

namespace lumra {
namespace {

// A gate the worker waits at until the test opens it.
struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    int arrived = 0;
    void Pass() {
        std::unique_lock<std::mutex> g(m);
        ++arrived;
        cv.notify_all();
        cv.wait(g, [&] { return open; });
    }
    void WaitArrived(int n) {
        std::unique_lock<std::mutex> g(m);
        cv.wait(g, [&] { return arrived >= n; });
    }
    void Open() {
        std::lock_guard<std::mutex> g(m);
        open = true;
        cv.notify_all();
    }
};

TEST(PreviewWorker, BurstCostsOneMoreComputation) {
    auto gate = std::make_shared<Gate>();
    auto runs = std::make_shared<std::atomic<int>>(0);
    PreviewWorker worker([gate, runs] {
        ++*runs;
        gate->Pass();
    });
    worker.RequestRecompute();
    gate->WaitArrived(1);
    for (int i = 0; i < 50; ++i) worker.RequestRecompute();
    gate->Open();
    EXPECT_TRUE(worker.Stop(kCorrectionStopMs));
    EXPECT_EQ(*runs, 2);
}

// Gamma-like test operation: parameter 0 is added to every byte; 0 is neutral.
std::atomic<Gate*> g_gate{nullptr};
void AddRecompute(PreviewState& p) {
    if (Gate* gate = g_gate.load()) gate->Pass();
    const size_t n = static_cast<size_t>(p.job.stride) * p.job.height;
    for (size_t i = 0; i < n; ++i) p.job.dst[i] = static_cast<uint8_t>(p.job.src[i] + p.params[0]);
    ApplyMask(p.job);
}
bool AddNeutral(const PreviewState& p) { return p.params[0] == 0; }
const OperationDef kAdd{kOpBrightness, 5162, "明るさ補正", "add", true, 50, false, 2,
                        StartPreview, AddRecompute, AddNeutral};

struct EditFixture {
    test::TempDir dir;
    test::ScopedEnv tmp{"TMPDIR", dir.path()};
    Session s;
    EditModel model;
    std::vector<int> errors;
    EditFixture() {
        s.ui.showError = [this](int code) { errors.push_back(code); };
        EXPECT_TRUE(s.picture.image.Allocate(3, 2, 24));
        for (size_t i = 0; i < s.picture.image.imageBytes(); ++i) s.picture.image.bits()[i] = 100;
    }
    EndResult Run(int value, bool ok) {
        EXPECT_TRUE(BeginOperation(model, s, kAdd));
        model.active->preview->params[0] = value;
        RequestRecompute(model);
        return EndOperation(model, s, ok);
    }
};

TEST(EditModel, OkAndCancelAndNeutral) {
    const struct {
        int value;
        bool ok, changed;
        int entries;
        uint8_t pixel;
    } cases[] = {{5, true, true, 2, 105}, {5, false, false, 0, 100}, {0, true, false, 0, 100}};
    for (const auto& c : cases) {
        EditFixture f;
        const EndResult r = f.Run(c.value, c.ok);
        EXPECT_EQ(r.changed, c.changed);
        EXPECT_EQ(f.s.history.entries, c.entries);
        EXPECT_EQ(f.s.history.IsModified(), c.changed);
        EXPECT_EQ(f.s.picture.image.bits()[0], c.pixel);
        EXPECT_EQ(f.s.operationState, 0);
        EXPECT_EQ(f.model.layout, c.changed ? 2 : 1);
    }
}

TEST(EditModel, OneOperationAtATime) {
    EditFixture f;
    ASSERT_TRUE(BeginOperation(f.model, f.s, kAdd));
    EXPECT_EQ(f.s.operationState, kOpBrightness);
    EXPECT_EQ(f.model.layout, 2);
    EXPECT_FALSE(BeginOperation(f.model, f.s, kAdd));
    EndOperation(f.model, f.s, false);
    // Operations not yet built do not start.
    EXPECT_FALSE(BeginOperation(f.model, f.s, kOpBlur));
    Session empty;
    EXPECT_FALSE(BeginOperation(f.model, empty, kAdd));
}

TEST(EditModel, MaskBlendsTheCorrection) {
    EditFixture f;
    f.s.picture.selection = {255, 0, 128, 0, 0, 0};
    f.Run(100, true);
    const uint8_t* row = f.s.picture.image.bits();
    EXPECT_EQ(row[0], 100);
    EXPECT_EQ(row[3], 200);
    EXPECT_EQ(row[6], 128 * 100 / 255 + 127 * 200 / 255 + 1);  // 50 + 100, rounded each
}

TEST(EditModel, WorkerThatDoesNotStopTurnsOkIntoCancel) {
    EditFixture f;
    static Gate gate;  // outlives the abandoned worker
    {
        std::lock_guard<std::mutex> g(gate.m);
        gate.open = false;
        gate.arrived = 0;
    }
    g_gate = &gate;
    ASSERT_TRUE(BeginOperation(f.model, f.s, kAdd));
    f.model.active->preview->params[0] = 9;
    RequestRecompute(f.model);
    gate.WaitArrived(1);
    const EndResult r = EndOperation(f.model, f.s, true);
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(f.errors, std::vector<int>{kErrDisplay});
    EXPECT_EQ(f.s.picture.image.bits()[0], 100);
    gate.Open();  // the abandoned worker ends on its own state
    g_gate = nullptr;
}

TEST(EditModel, OverlayDimsWhatIsNotSelected) {
    ImageBuffer pic;
    ASSERT_TRUE(pic.Allocate(3, 1, 24));
    const uint8_t px[9] = {10, 20, 30, 10, 20, 30, 200, 100, 0};
    std::copy(px, px + 9, pic.bits());
    const uint8_t mask[3] = {0, 255, 255};
    const ImageBuffer ov = RenderOverlay(pic, mask);
    EXPECT_EQ(ov.bits()[0], 10);
    // Y = (30*10 >> 8) + (151*20 >> 8) + (77*30 >> 8) = 1 + 11 + 9
    EXPECT_EQ(ov.bits()[3], 64 + (21 >> 1));
    EXPECT_EQ(ov.bits()[6], 64 + (((30 * 200 >> 8) + (151 * 100 >> 8)) >> 1));
}

}  // namespace
}  // namespace lumra
