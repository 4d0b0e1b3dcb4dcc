// The order in which the slide show walks the list, and when it starts at all.
#include <gtest/gtest.h>

#include <vector>

#include "view/slide_show.h"

namespace lumra {
namespace {

// The names shown by a show started on start over count names, until it ends (at most
// limit names).
std::vector<int> Shows(int start, int count, bool repeat, int limit = 20) {
    std::vector<int> shown;
    if (!SlideShowCanStart(start, count, repeat)) return shown;
    int s = start;
    for (int i = 0; i < limit; ++i) {
        const SlideStep step = NextSlide(s, count, repeat);
        if (step.next < 0) break;
        shown.push_back(step.next);
        s = step.next;
        if (!step.goOn) break;
    }
    return shown;
}

TEST(SlideShow, WithoutRepeatItEndsOnTheLastName) {
    EXPECT_EQ(Shows(0, 4, false), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Shows(-1, 3, false), (std::vector<int>{0, 1, 2}));
    // Second to last: the last is shown, then the show ends.
    EXPECT_EQ(Shows(2, 4, false), (std::vector<int>{3}));
    const SlideStep step = NextSlide(2, 4, false);
    EXPECT_EQ(step.next, 3);
    EXPECT_FALSE(step.goOn);
    // Started on the last: nothing.
    EXPECT_FALSE(SlideShowCanStart(3, 4, false));
    EXPECT_TRUE(Shows(3, 4, false).empty());
    EXPECT_TRUE(SlideShowCanStart(2, 4, false));
}

TEST(SlideShow, WithRepeatTheFirstFollowsTheLast) {
    EXPECT_EQ(Shows(2, 4, true, 7), (std::vector<int>{3, 0, 1, 2, 3, 0, 1}));
    // Starting on the last is allowed with repeat.
    EXPECT_TRUE(SlideShowCanStart(3, 4, true));
    EXPECT_EQ(Shows(3, 4, true, 3), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Shows(1, 2, true, 4), (std::vector<int>{0, 1, 0, 1}));
    const SlideStep step = NextSlide(3, 4, true);
    EXPECT_EQ(step.next, 0);
    EXPECT_TRUE(step.goOn);
}

TEST(SlideShow, OneNameOrNoneNeverStarts) {
    for (bool repeat : {false, true}) {
        EXPECT_FALSE(SlideShowCanStart(0, 1, repeat));
        EXPECT_FALSE(SlideShowCanStart(-1, 0, repeat));
        EXPECT_EQ(NextSlide(-1, 0, repeat).next, -1);
        EXPECT_FALSE(NextSlide(0, 0, repeat).goOn);
    }
}

TEST(SlideShow, ListThatShrankUnderTheShow) {
    // The current name was the last and a name before it went away: the selection now
    // points past the end; without repeat the show starts over at the first name
    // rather than reading outside the list.
    EXPECT_EQ(NextSlide(5, 3, false).next, 0);
    EXPECT_EQ(NextSlide(5, 3, true).next, 0);
    // Two names left, on the first: the last is shown and the show ends.
    const SlideStep step = NextSlide(0, 2, false);
    EXPECT_EQ(step.next, 1);
    EXPECT_FALSE(step.goOn);
}

}  // namespace
}  // namespace lumra
