// Arbitrary bytes through format detection and the decoder it picks, as a load does.
#include <cstddef>
#include <cstdint>

#include "formats/load_save.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const lumra::FormatCode format = lumra::DetectFormatBytes(data, size < 8 ? size : 8);
    if (format > lumra::kFormatEmpty) __builtin_trap();
    if (const lumra::DecodeFn decode = lumra::DecoderFor(format)) {
        lumra::DecoderContext ctx;
        const bool ok = decode(data, size, ctx);
        if (ok && ctx.image.empty()) __builtin_trap();
    }
    return 0;
}
