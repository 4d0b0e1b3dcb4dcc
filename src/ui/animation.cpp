#include "ui/animation.h"

namespace lumra::ui {

AnimationPlayer::AnimationPlayer(const CurrentPicture& picture, std::function<void()> repaint, QObject* parent)
    : QObject(parent), picture_(picture), repaint_(std::move(repaint)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &AnimationPlayer::Advance);
}

void AnimationPlayer::Arm() {
    const Animation& a = picture_.animation;
    timer_.start(a.delays[static_cast<size_t>(frame_)] * 10);
}

void AnimationPlayer::Start() {
    timer_.stop();
    frame_ = 0;
    const Animation& a = picture_.animation;
    if (!picture_.HasPicture() || a.frameCount() < 2 ||
        static_cast<int>(a.frames.size()) != a.frameCount() - 1)
        return;
    passesLeft_ = a.loopCount;
    Arm();
}

void AnimationPlayer::Stop() {
    const bool shown = frame_ != 0;
    timer_.stop();
    frame_ = 0;
    if (shown && repaint_) repaint_();
}

void AnimationPlayer::Advance() {
    const Animation& a = picture_.animation;
    if (a.frameCount() < 2 || static_cast<int>(a.frames.size()) != a.frameCount() - 1) {
        Stop();
        return;
    }
    int next = frame_ + 1;
    if (next >= a.frameCount()) {
        next = 0;
        if (passesLeft_ > 0 && --passesLeft_ == 0) {
            // The last pass is over: the first frame stays.
            frame_ = 0;
            timer_.stop();
            if (repaint_) repaint_();
            return;
        }
    }
    frame_ = next;
    if (repaint_) repaint_();
    Arm();
}

const ImageBuffer& AnimationPlayer::Shown() const {
    const Animation& a = picture_.animation;
    if (frame_ > 0 && frame_ <= static_cast<int>(a.frames.size())) return a.frames[static_cast<size_t>(frame_ - 1)];
    return picture_.image;
}

}  // namespace lumra::ui
