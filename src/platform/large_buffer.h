// Memory for large pixel buffers: page-granular and, where the system offers it, backed by
// huge pages, so that first touches cost one fault per 2 MB instead of one per 4 KB.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra {

// size bytes, released with std::free; zeroed when zero is set. nullptr when memory runs out.
uint8_t* AllocateLarge(size_t size, bool zero);

}  // namespace lumra
