// The single-instance hand-over message: decoding arbitrary bytes, and re-encoding
// what was accepted gives the same bytes back.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "shell/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t offset = 0;
    while (offset < size) {
        lumra::HandOver message;
        size_t consumed = 0;
        const lumra::DecodeStatus status = lumra::DecodeHandOver(data + offset, size - offset, message, consumed);
        if (status != lumra::DecodeStatus::Complete) break;
        if (consumed == 0 || consumed > size - offset) std::abort();
        const std::vector<uint8_t> again = lumra::EncodeHandOver(message);
        if (again.size() != consumed || !std::equal(again.begin(), again.end(), data + offset)) std::abort();
        (void)lumra::OnCopyData(message, false, false);
        offset += consumed;
    }
    return 0;
}
