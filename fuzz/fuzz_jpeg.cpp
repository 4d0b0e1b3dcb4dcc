// Feeds arbitrary bytes to the JPEG decoder and, when it reads them, to the lossless transform.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/jpeg/jpeg_codec.h"
#include "formats/jpeg/jpeg_transform.h"

namespace {

// The frame header's size: pictures up to the 25000 limit are legal, but allocating
// gigabytes per input starves the fuzzer; the tests cover such sizes.
bool ClaimsHugePicture(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 8 < size; ++i) {
        if (data[i] != 0xFF || data[i + 1] < 0xC0 || data[i + 1] > 0xCF || data[i + 1] == 0xC4 ||
            data[i + 1] == 0xC8 || data[i + 1] == 0xCC)
            continue;
        const uint64_t h = data[i + 5] << 8 | data[i + 6];
        const uint64_t w = data[i + 7] << 8 | data[i + 8];
        if (w * h > (uint64_t{1} << 22)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (ClaimsHugePicture(data, size)) return 0;
    lumra::DecoderContext ctx;
    if (!lumra::DecodeJpeg(data, size, ctx)) return 0;
    lumra::JpegTransformOptions o;
    o.transform = static_cast<int>(size % 6);
    o.trim = size & 8;
    o.grey = size & 16;
    std::vector<uint8_t> out;
    lumra::DecoderContext tctx;
    lumra::TransformJpegBytes(data, size, o, out, tctx);
    return 0;
}
