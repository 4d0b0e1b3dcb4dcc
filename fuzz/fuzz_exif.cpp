// Feeds arbitrary bytes to the Exif reader and the row formatting.
#include <cstddef>
#include <cstdint>

#include "formats/jpeg/exif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumra::ExifRecord record;
    if (lumra::ReadExif(data, size, record)) {
        const std::string text = lumra::ExifRowsText(lumra::MakeExifRows(record));
        if (text.empty()) __builtin_trap();
    }
    return 0;
}
