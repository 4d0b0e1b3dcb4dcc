// Feeds arbitrary bytes to the BMP file reader and the clipboard DIB reader.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/bmp/bmp_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        lumra::DecoderContext ctx;
        if (lumra::DecodeBmp(data, size, ctx) && ctx.image.imageBytes() <= (1u << 20)) {
            // A decoded picture must survive being written again.
            std::vector<uint8_t> out;
            lumra::DecoderContext wctx;
            lumra::EncodeBmp(ctx.image, ctx.image.bitCount(), false, 3, out, wctx);
        }
    }
    {
        lumra::DecoderContext ctx;
        lumra::ReadClipboardDib(data, size, ctx);
    }
    return 0;
}
