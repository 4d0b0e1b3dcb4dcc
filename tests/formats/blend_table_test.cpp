// The shared blend table: its entries, and one table for every thread.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "formats/blend_table.h"

namespace lumra {
namespace {

TEST(BlendTable, EntriesAndEdges) {
    const BlendTable& t = GetBlendTable();
    for (int a = 0; a < 256; ++a) {
        for (int v = 0; v < 256; ++v) {
            int want = static_cast<int>((static_cast<uint32_t>(v) * (static_cast<uint32_t>(a) * 65536 / 255) + 32768) >> 16);
            if (a == 0 || v == 0) want = 0;
            if (a == 255) want = v;
            if (v == 255 && a != 0) want = a;
            ASSERT_EQ(t.entry[a][v], want) << a << "," << v;
            // A blend never leaves 0..255.
            ASSERT_LE(t.entry[a][v] + t.entry[255 - a][255], 255);
        }
    }
    EXPECT_EQ(BlendOver(t, 255, 10, 200), 10);
    EXPECT_EQ(BlendOver(t, 0, 10, 200), 200);
    EXPECT_EQ(BlendOver(t, 128, 200, 0), 100);
    EXPECT_EQ(BlendOver(t, 128, 255, 255), 255);
}

TEST(BlendTable, OneTableForAllThreads) {
    std::vector<const BlendTable*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = &GetBlendTable(); });
    for (auto& th : threads) th.join();
    for (const BlendTable* p : seen) EXPECT_EQ(p, &GetBlendTable());
}

}  // namespace
}  // namespace lumra
