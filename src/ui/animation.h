// Plays the frames of an animated picture in the view.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "document/picture.h"

namespace lumra::ui {

class AnimationPlayer : public QObject {
    Q_OBJECT
public:
    // repaint is called whenever another frame is to be shown.
    AnimationPlayer(const CurrentPicture& picture, std::function<void()> repaint, QObject* parent = nullptr);

    // After a load: frame 0, and the timer at its delay when the picture has frames.
    void Start();
    // The picture's frames are going: the timer stops, frame 0 is shown.
    void Stop();
    // One timer step: the next frame, or the end of the last pass.
    void Advance();

    // The frame to draw: the picture itself for frame 0.
    const ImageBuffer& Shown() const;
    int frame() const { return frame_; }
    bool running() const { return timer_.isActive(); }
    int interval() const { return timer_.interval(); }

private:
    void Arm();

    const CurrentPicture& picture_;
    std::function<void()> repaint_;
    QTimer timer_;
    int frame_ = 0;
    int passesLeft_ = 0;  // 0: endless
};

}  // namespace lumra::ui
