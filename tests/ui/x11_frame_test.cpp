// The window manager's frame asked for before the first show.
#include <gtest/gtest.h>

#include <QWidget>
#include <cstdint>
#include <vector>

#include "ui/x11_frame.h"

namespace lumra::test {
namespace {

using ui::FrameExtentsFromProperty;

TEST(X11Frame, PropertyValues) {
    struct Case {
        std::vector<uint32_t> values;
        double ratio;
        bool ok;
        FrameExtents want;  // left, top, right, bottom
    };
    const Case cases[] = {
        {{1, 2, 20, 5}, 1.0, true, {1, 20, 2, 5}},  // stored left, right, top, bottom
        {{0, 0, 0, 0}, 1.0, true, {0, 0, 0, 0}},
        {{2, 4, 40, 10}, 2.0, true, {1, 20, 2, 5}},
        {{3, 3, 31, 6}, 1.5, true, {2, 21, 2, 4}},
        {{1, 2, 20}, 1.0, false, {}},
        {{1, 2, 20, 5, 7}, 1.0, false, {}},
        {{}, 1.0, false, {}},
        {{1, 1, 0xFFFFFFFFu, 1}, 1.0, false, {}},  // not a frame: no overflow either
        {{1, 1, 20, 5}, 0.0, false, {}},
    };
    for (const Case& c : cases) {
        FrameExtents got{-1, -1, -1, -1};
        const uint32_t* data = c.values.empty() ? nullptr : c.values.data();
        EXPECT_EQ(FrameExtentsFromProperty(data, c.values.size(), c.ratio, &got), c.ok) << c.values.size();
        const FrameExtents want = c.ok ? c.want : FrameExtents{-1, -1, -1, -1};
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right, want.right);
        EXPECT_EQ(got.bottom, want.bottom);
    }
}

TEST(X11Frame, NotAskedWithoutX) {
    // Another window system: no answer, and the window is left as it was (not made native).
    QWidget window;
    FrameExtents f{7, 7, 7, 7};
    EXPECT_FALSE(ui::RequestFrameExtents(&window, 50, &f));
    EXPECT_EQ(f.left + f.top + f.right + f.bottom, 28);
    EXPECT_FALSE(window.testAttribute(Qt::WA_WState_Created));
}

}  // namespace
}  // namespace lumra::test
