// Resize and rotation of a 24-megapixel picture beside libvips (one thread, box shrink and
// bilinear rotate) and ImageMagick (one thread, box filter and its rotate). Each reference is
// its own pair: "<case>.vips" and "<case>.magick". CPU time is the whole process's, since
// libvips computes on a worker thread of its own.
#include <benchmark/benchmark.h>

#include "bench_util.h"
#include "edit/geometry/resample.h"
#include "edit/geometry/rotate.h"

#ifdef LUMRA_BENCH_VIPS
#include <vips/vips.h>
#endif
#ifdef LUMRA_BENCH_MAGICK
#include <magick/MagickCore.h>
#endif

namespace lumra {
namespace {

constexpr int kWidth = 6000, kHeight = 4000;
constexpr int kScreenW = 1920, kScreenH = 1280;
constexpr int kAngle = 100;  // 10.0 degrees

const ImageBuffer& Photo() {
    static const ImageBuffer img = bench::MakePhotoLike(kWidth, kHeight);
    return img;
}

void DownscaleLumra(benchmark::State& state) {
    const ImageBuffer& photo = Photo();
    for (auto _ : state) {
        ImageBuffer out = ResizePicture(photo, kScreenW, kScreenH);
        if (out.empty()) state.SkipWithError("resize failed");
        benchmark::DoNotOptimize(out.bits());
    }
}

void RotateLumra(benchmark::State& state) {
    const ImageBuffer& photo = Photo();
    for (auto _ : state) {
        ImageBuffer out = RotatePicture(photo, kAngle, BackgroundColour{});
        if (out.empty()) state.SkipWithError("rotate failed");
        benchmark::DoNotOptimize(out.bits());
    }
}

#ifdef LUMRA_BENCH_VIPS
VipsImage* VipsPhoto() {
    static VipsImage* img = [] {
        VIPS_INIT("bench_geometry");
        vips_concurrency_set(1);
        vips_cache_set_max(0);
        const ImageBuffer& p = Photo();
        return vips_image_new_from_memory(p.bits(), p.imageBytes(), kWidth, kHeight, 3, VIPS_FORMAT_UCHAR);
    }();
    return img;
}

template <typename Op>
void RunVips(benchmark::State& state, Op op) {
    VipsImage* in = VipsPhoto();
    for (auto _ : state) {
        VipsImage* out = nullptr;
        size_t size = 0;
        void* mem = nullptr;
        if (op(in, &out) == 0) mem = vips_image_write_to_memory(out, &size);
        if (!mem) state.SkipWithError(vips_error_buffer());
        benchmark::DoNotOptimize(mem);
        g_free(mem);
        if (out) g_object_unref(out);
    }
}

void DownscaleVips(benchmark::State& state) {
    RunVips(state, [](VipsImage* in, VipsImage** out) {
        return vips_shrink(in, out, double(kWidth) / kScreenW, double(kHeight) / kScreenH, nullptr);
    });
}
void RotateVips(benchmark::State& state) {
    RunVips(state, [](VipsImage* in, VipsImage** out) { return vips_rotate(in, out, kAngle / 10.0, nullptr); });
}
BENCHMARK(DownscaleLumra)->Name("Downscale24MP.vips/lumra")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(DownscaleVips)->Name("Downscale24MP.vips/reference")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(RotateLumra)->Name("Rotate24MP.vips/lumra")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(RotateVips)->Name("Rotate24MP.vips/reference")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
#endif

#ifdef LUMRA_BENCH_MAGICK
Image* MagickPhoto() {
    static Image* img = [] {
        MagickCoreGenesis("bench_geometry", MagickFalse);
        SetMagickResourceLimit(ThreadResource, 1);
        ExceptionInfo* e = AcquireExceptionInfo();
        Image* i = ConstituteImage(kWidth, kHeight, "BGR", CharPixel, Photo().bits(), e);
        DestroyExceptionInfo(e);
        return i;
    }();
    return img;
}

template <typename Op>
void RunMagick(benchmark::State& state, Op op) {
    Image* in = MagickPhoto();
    ExceptionInfo* e = AcquireExceptionInfo();
    for (auto _ : state) {
        Image* out = in ? op(in, e) : nullptr;
        if (!out) state.SkipWithError("ImageMagick failed");
        benchmark::DoNotOptimize(out);
        if (out) DestroyImage(out);
    }
    DestroyExceptionInfo(e);
}

void DownscaleMagick(benchmark::State& state) {
    RunMagick(state, [](Image* in, ExceptionInfo* e) { return ResizeImage(in, kScreenW, kScreenH, BoxFilter, 1.0, e); });
}
void RotateMagick(benchmark::State& state) {
    RunMagick(state, [](Image* in, ExceptionInfo* e) { return RotateImage(in, kAngle / 10.0, e); });
}
BENCHMARK(DownscaleLumra)->Name("Downscale24MP.magick/lumra")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(DownscaleMagick)->Name("Downscale24MP.magick/reference")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(RotateLumra)->Name("Rotate24MP.magick/lumra")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(RotateMagick)->Name("Rotate24MP.magick/reference")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
#endif

}  // namespace
}  // namespace lumra
