// Feeds arbitrary bytes to the TIFF reader and writes what it decodes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/tiff/tiff_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumra::DecoderContext ctx;
    if (lumra::DecodeTiff(data, size, ctx) && ctx.image.imageBytes() <= (1u << 16)) {
        static const int kDepths[] = {1, 4, 8, 24, 48};
        std::vector<uint8_t> out;
        lumra::DecoderContext wctx;
        lumra::EncodeTiffBytes(ctx.image, kDepths[size % 5], (size & 8) != 0, 3, out, wctx);
    }
    return 0;
}
