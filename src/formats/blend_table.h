// The 256 x 256 weighting table behind every alpha blend: selection masks, PNG alpha, text
// opacity.
#pragma once

#include <cstdint>

namespace lumra {

struct BlendTable {
    // entry[a][v] = v weighted by a / 255, rounded.
    uint8_t entry[256][256];
};

// Built on first use (thread-safe), read-only afterwards.
const BlendTable& GetBlendTable();

// New value c over old value b with weight a (0 keeps b, 255 gives c).
inline uint8_t BlendOver(const BlendTable& t, unsigned a, unsigned c, unsigned b) {
    return static_cast<uint8_t>(t.entry[a][c] + t.entry[255 - a][b]);
}

}  // namespace lumra
