// Feeds arbitrary bytes to the PNG reader; what it reads must survive being written and
// read again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/png/png_decoder.h"
#include "formats/png/png_encoder.h"

namespace {

// Pictures up to 25000 x 25000 are legal, but gigabytes per input starve the fuzzer; such
// sizes are left to the tests.
bool ClaimsHugePicture(const uint8_t* data, size_t size) {
    if (size < 24) return false;
    auto be32 = [&](size_t o) {
        return static_cast<uint32_t>(data[o]) << 24 | static_cast<uint32_t>(data[o + 1]) << 16 |
               static_cast<uint32_t>(data[o + 2]) << 8 | data[o + 3];
    };
    return uint64_t{be32(16)} * be32(20) > (uint64_t{1} << 22);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (ClaimsHugePicture(data, size)) return 0;
    lumra::DecoderContext ctx;
    const uint8_t knobs = size ? data[size - 1] : 0;
    ctx.load.gamma = knobs & 1;
    ctx.load.alpha = (knobs >> 1) & 1;
    ctx.load.fbg = (knobs >> 2) & 1;
    if (!lumra::DecodePng(data, size, ctx) || ctx.image.imageBytes() > (1u << 18)) return 0;

    lumra::PngEncodeOptions o;
    o.depth = (knobs & 8) ? ctx.image.bitCount() : 24;
    o.gray = (knobs & 16) != 0;
    o.interlace = (knobs & 32) != 0;
    o.filter = (knobs >> 6) % 6;
    o.level = 1;
    o.transparent = (knobs & 4) != 0;
    o.comment = "fuzz";
    std::vector<uint8_t> out;
    lumra::DecoderContext wctx;
    if (!lumra::EncodePngToMemory(ctx.image, o, out, wctx)) return 0;
    lumra::DecoderContext again;
    if (!lumra::DecodePng(out.data(), out.size(), again) || again.image.width() != ctx.image.width() ||
        again.image.height() != ctx.image.height())
        __builtin_trap();
    return 0;
}
