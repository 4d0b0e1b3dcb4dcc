#include "platform/large_buffer.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>

namespace lumra {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargeFrom = size_t{4} << 20;

}  // namespace

uint8_t* AllocateLarge(size_t size, bool zero) {
    if (size < kLargeFrom) {
        void* p = zero ? std::calloc(size ? size : 1, 1) : std::malloc(size ? size : 1);
        return static_cast<uint8_t*>(p);
    }
    if (size > SIZE_MAX - kHugePage) return nullptr;
    const size_t rounded = (size + kHugePage - 1) & ~(kHugePage - 1);
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (!p) return nullptr;
    ::madvise(p, rounded, MADV_HUGEPAGE);
    if (zero) std::memset(p, 0, size);
    return static_cast<uint8_t*>(p);
}

}  // namespace lumra
