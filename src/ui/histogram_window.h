// The histogram window of the levels bar (the selected channel's histogram with its two
// markers over a ramp strip) and the luminance histogram dialog (command 5111).
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "edit/tone/tone_kernels.h"

namespace lumra::ui {

// The mouse on the graph: hovering near a marker picks it, a press starts a drag, dragging a
// marker moves it, a click without a marker sets the minimum (left) or maximum (right).
struct HistogramMouse {
    int target = 0;  // 0 none, 1 minimum marker, 2 maximum marker
    bool dragging = false;
    bool rightButton = false;
    int pressX = 0, pressY = 0;

    // What a mouse event asks of the boxes: a new minimum or maximum (through the box rules),
    // whether that is live (a recompute follows), and a recompute on its own.
    struct Step {
        std::optional<int> minimum;
        std::optional<int> maximum;
        bool live = false;
        bool recompute = false;
    };
    Step Move(int x, int y, bool buttonDown, LevelsPair pair);
    void Press(int x, int y, bool right);
    Step Release(int x);
};

class HistogramWindow : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        std::function<int()> channel;        // 0 B, 1 G, 2 R, 3 RGB
        std::function<LevelsPair()> pair;    // the selected channel's pair
        std::function<void(const HistogramMouse::Step&)> apply;
        std::function<void()> closed;        // the window was closed by the user
    };
    HistogramWindow(const LevelsHistogram& histogram, Hooks hooks, QWidget* parent);

    // The display height of bin x of a channel (y of the bar's top in the graph).
    int BarTop(int channel, int x) const { return tops_[static_cast<size_t>(channel)][static_cast<size_t>(x)]; }
    QWidget* graph() const { return graph_; }
    QWidget* ramp() const { return ramp_; }
    const HistogramMouse& mouse() const { return mouse_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintGraph();
    void PaintRamp();

    Hooks hooks_;
    std::array<std::array<int, 256>, 4> tops_{};
    QWidget* graph_ = nullptr;
    QWidget* ramp_ = nullptr;
    HistogramMouse mouse_;
};

// The luminance histogram of the whole picture in a modal dialog.
class LuminanceDialog : public QDialog {
    Q_OBJECT
public:
    LuminanceDialog(const std::array<uint64_t, 256>& histogram, QWidget* parent);
    int BarTop(int x) const { return tops_[static_cast<size_t>(x)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<int, 256> tops_{};
    QWidget* graph_ = nullptr;
    QWidget* ramp_ = nullptr;
};

}  // namespace lumra::ui
