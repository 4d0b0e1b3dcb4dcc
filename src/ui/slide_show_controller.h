// The slide show: a single-shot timer that steps through the folder's list in full screen.
#pragma once

#include <QObject>

class QTimer;

namespace lumra::ui {

class Application;

class SlideShowController : public QObject {
    Q_OBJECT
public:
    explicit SlideShowController(Application& app);

    void Start();
    void Stop();
    // The timer's step (the timer is armed again here).
    void OnTimer();
    bool running() const { return running_; }
    QTimer* timer() const { return timer_; }

private:
    int Interval() const;
    // The cursor goes while the tool bar is not dropped down.
    void HideCursorUnlessToolBar();

    Application& app_;
    QTimer* timer_ = nullptr;
    bool running_ = false;
};

}  // namespace lumra::ui
