#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "document/document.h"
#include "shell/session.h"
#include "ui/animation.h"

namespace lumra::ui {
namespace {

// A picture of n frames, each 1 x 1 with its own number as the only index.
void MakeAnimation(CurrentPicture& pic, int n, int loops, int delay) {
    pic.image.Allocate(1, 1, 8);
    pic.animation.Clear();
    pic.animation.animated = true;
    pic.animation.loopCount = loops;
    for (int i = 0; i < n; ++i) {
        pic.animation.delays.push_back(delay + i);
        if (i == 0) continue;
        ImageBuffer f;
        f.Allocate(1, 1, 8);
        f.bits()[0] = static_cast<uint8_t>(i);
        pic.animation.frames.push_back(std::move(f));
    }
}

TEST(AnimationPlayer, LoopCountGivesThatManyPassesThenStopsOnTheFirstFrame) {
    CurrentPicture pic;
    MakeAnimation(pic, 3, 2, 50);
    int repaints = 0;
    AnimationPlayer player(pic, [&] { ++repaints; });
    player.Start();
    EXPECT_TRUE(player.running());
    EXPECT_EQ(player.interval(), 500);
    std::vector<int> shown;
    for (int i = 0; i < 10 && player.running(); ++i) {
        player.Advance();
        shown.push_back(player.Shown().bits()[0]);
    }
    // Two passes: 0 1 2 0 1 2, then the first frame stays.
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1, 2, 0}));
    EXPECT_FALSE(player.running());
    EXPECT_EQ(player.frame(), 0);
    EXPECT_EQ(repaints, 6);
}

TEST(AnimationPlayer, EndlessLoopAndStillPictures) {
    CurrentPicture pic;
    MakeAnimation(pic, 2, 0, 3);
    AnimationPlayer player(pic, nullptr);
    player.Start();
    for (int i = 0; i < 1000; ++i) player.Advance();
    EXPECT_TRUE(player.running());
    EXPECT_EQ(player.frame(), 0);
    player.Advance();
    EXPECT_EQ(player.interval(), 40);  // frame 1: 4 hundredths
    player.Stop();
    EXPECT_FALSE(player.running());
    EXPECT_EQ(&player.Shown(), &pic.image);

    CurrentPicture still;
    still.image.Allocate(1, 1, 8);
    AnimationPlayer none(still, nullptr);
    none.Start();
    EXPECT_FALSE(none.running());
}

TEST(AnimationPlayer, TheTimerRunsAndReleasingThePictureStopsIt) {
    Session s;
    MakeAnimation(s.picture, 4, 0, 0);
    AnimationPlayer player(s.picture, nullptr);
    s.ui.animationStopped = [&] { player.Stop(); };
    player.Start();
    QElapsedTimer clock;
    clock.start();
    while (player.frame() == 0 && clock.elapsed() < 5000) QCoreApplication::processEvents();
    EXPECT_NE(player.frame(), 0);
    ReleasePicture(s);
    EXPECT_FALSE(player.running());
    EXPECT_EQ(s.picture.animation.frameCount(), 0);
    EXPECT_EQ(&player.Shown(), &s.picture.image);
}

}  // namespace
}  // namespace lumra::ui
