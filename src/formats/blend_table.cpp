#include "formats/blend_table.h"

namespace lumra {

namespace {

void FillBlendTable(BlendTable& t) {
    for (uint32_t a = 0; a < 256; ++a) {
        const uint32_t weight = a * 65536 / 255;
        for (uint32_t v = 0; v < 256; ++v) {
            uint32_t e;
            if (a == 0 || v == 0) e = 0;
            else if (a == 255) e = v;
            else if (v == 255) e = a;
            else e = (v * weight + 32768) >> 16;
            t.entry[a][v] = static_cast<uint8_t>(e);
        }
    }
}

struct BuiltBlendTable {
    BlendTable table;
    BuiltBlendTable() { FillBlendTable(table); }
};

}  // namespace

const BlendTable& GetBlendTable() {
    static const BuiltBlendTable built;
    return built.table;
}

}  // namespace lumra
