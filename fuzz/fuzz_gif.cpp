// Feeds arbitrary bytes to the GIF reader (with animation) and writes what it decodes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/gif/gif_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Legal logical screens reach 25000 x 25000 with up to 256 frames; the tests cover the
    // large ones, the fuzzer keeps to small screens to keep its pace.
    if (size >= 10 && int64_t{data[6] | data[7] << 8} * int64_t{data[8] | data[9] << 8} > (1 << 18)) return 0;
    lumra::DecoderContext ctx;
    ctx.animationAllowed = true;
    if (lumra::DecodeGif(data, size, ctx) && ctx.image.imageBytes() <= (1u << 16)) {
        lumra::SaveRequest req;
        req.simg.depth = 1 + size % 8;
        req.simg.interlace = static_cast<int>(size & 1);
        req.simg.dither = 3;
        std::vector<uint8_t> out;
        lumra::DecoderContext wctx;
        lumra::EncodeGifBytes(ctx.image, req, out, wctx);
    }
    return 0;
}
