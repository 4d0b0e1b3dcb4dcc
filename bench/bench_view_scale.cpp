// Reducing a 24-megapixel picture for the screen: the box reduction that gives the view's
// zoomed-out copy, at the sizes a fitted picture takes.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_util.h"
#include "view/view_scaler.h"

namespace lumra {
namespace {

const ImageBuffer& Photo() {
    static const ImageBuffer img = bench::MakePhotoLike(6000, 4000);
    return img;
}

void BM_BoxReduce(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = w * 2 / 3;
    std::vector<uint32_t> out(static_cast<size_t>(w) * h);
    const ImageBuffer& photo = Photo();  // made before the timing
    for (auto _ : state) {
        benchmark::DoNotOptimize(BoxReduce(photo, w, h, out.data(), static_cast<size_t>(w) * 4));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 6000LL * 4000LL);
}
BENCHMARK(BM_BoxReduce)->Arg(1920)->Arg(1500)->Arg(800)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra
