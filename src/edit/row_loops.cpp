#include "edit/row_loops.h"

namespace lumra {

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__)
#define LUMRA_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define LUMRA_CLONES
#endif

LUMRA_CLONES void MulRow(int32_t* acc, const uint8_t* p, int32_t w, int n) {
    for (int i = 0; i < n; ++i) acc[i] = w * p[i];
}

LUMRA_CLONES void MacPair(int32_t* acc, const uint8_t* a, const uint8_t* b, int32_t w, int n) {
    if (b) {
        for (int i = 0; i < n; ++i) acc[i] += w * (a[i] + b[i]);
    } else {
        for (int i = 0; i < n; ++i) acc[i] += w * a[i];
    }
}

LUMRA_CLONES void ShiftRow(int32_t* acc, int shift, int n) {
    for (int i = 0; i < n; ++i) acc[i] >>= shift;
}

}  // namespace lumra
