// One 128-pixel dab of each brush mode on a photograph-like picture, a whole-picture fill,
// and a line of text rendered with its shadow.
#include <benchmark/benchmark.h>

#include "bench_util.h"
#include "edit/brush/brush_kernels.h"
#include "edit/text/text_tool.h"

namespace lumra {
namespace {

const ImageBuffer& Photo() {
    static const ImageBuffer img = bench::MakePhotoLike(2000, 1500);
    return img;
}

void BM_Dab(benchmark::State& state) {
    const ImageBuffer& before = Photo();
    ImageBuffer working = before.Clone();
    BrushSettings s;
    s.paint = state.range(0) < 0;
    s.mode = static_cast<int>(state.range(0));
    s.size = kBrushMaxSize;
    s.strength = 50;
    const BrushCanvas canvas{&before, &working, nullptr};
    for (auto _ : state) {
        ApplyDab(canvas, s, 1000, 750);
        benchmark::DoNotOptimize(working.bits());
    }
    state.SetItemsProcessed(state.iterations() * kBrushMaxSize * kBrushMaxSize);
}
BENCHMARK(BM_Dab)->DenseRange(-1, kBrushDenoise)->Unit(benchmark::kMicrosecond);

void BM_Fill(benchmark::State& state) {
    const ImageBuffer& before = Photo();
    ImageBuffer working = before.Clone();
    BrushSettings s;
    const BrushCanvas canvas{&before, &working, nullptr};
    for (auto _ : state) ApplyFill(canvas, s);
    state.SetItemsProcessed(state.iterations() * before.width() * before.height());
}
BENCHMARK(BM_Fill)->Unit(benchmark::kMillisecond);

void BM_TextRender(benchmark::State& state) {
    TextTool t;
    t.Start(Photo());
    t.settings.text = "日本語のテキスト挿入 Lumra Ex 1.52";
    t.settings.faceJapanese = "IPAGothic";
    t.settings.size = 72;
    t.Rebuild();
    int x = 0;
    for (auto _ : state) {
        t.Render(x, 100);  // as while dragging: restore, then draw
        x = (x + 7) % 500;
    }
}
BENCHMARK(BM_TextRender)->Unit(benchmark::kMicrosecond);

void BM_TextBuild(benchmark::State& state) {
    TextTool t;
    t.Start(Photo());
    t.settings.text = "日本語のテキスト挿入 Lumra Ex 1.52";
    t.settings.faceJapanese = "IPAGothic";
    t.settings.size = 72;
    for (auto _ : state) t.Rebuild();
}
BENCHMARK(BM_TextBuild)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumra
