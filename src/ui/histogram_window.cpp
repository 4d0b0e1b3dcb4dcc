#include "ui/histogram_window.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

namespace lumra::ui {

namespace {

// Bars: B, G, R, RGB.
const QColor kBarColours[4] = {QColor(144, 144, 255), QColor(104, 220, 104), QColor(255, 160, 160),
                               QColor(144, 144, 144)};
const QColor kMarker(255, 128, 0);
constexpr int kGraphTop = 99;
constexpr int kLumTop = 149;

QColor RampColour(int channel, int x) {
    switch (channel) {
        case 0: return QColor(0, 0, x);
        case 1: return QColor(0, x, 0);
        case 2: return QColor(x, 0, 0);
        default: return QColor(x, x, x);
    }
}

// A pane with a one-pixel sunken edge; bin x is drawn at pixel x + 1.
QWidget* MakePane(QWidget* parent, int x, int y, int w, int h, QObject* filter) {
    auto* pane = new QWidget(parent);
    pane->setGeometry(x, y, w, h);
    pane->setAttribute(Qt::WA_OpaquePaintEvent);
    pane->setMouseTracking(true);
    pane->installEventFilter(filter);
    return pane;
}

void PaintEdge(QPainter& p, const QWidget* pane) {
    p.setPen(QColor(128, 128, 128));
    p.drawLine(0, 0, pane->width() - 1, 0);
    p.drawLine(0, 0, 0, pane->height() - 1);
    p.setPen(Qt::white);
    p.drawLine(pane->width() - 1, 0, pane->width() - 1, pane->height() - 1);
    p.drawLine(0, pane->height() - 1, pane->width() - 1, pane->height() - 1);
}

// Columns from the bottom line up to top[x], white above.
void PaintBars(QPainter& p, const std::array<int, 256>& tops, int bottom, const QColor& colour) {
    for (int x = 0; x < 256; ++x) {
        const int top = std::max(tops[static_cast<size_t>(x)], 0);
        p.setPen(Qt::white);
        if (top > 0) p.drawLine(x + 1, 1, x + 1, top);
        p.setPen(colour);
        p.drawLine(x + 1, top + 1, x + 1, bottom + 1);
    }
}

}  // namespace

HistogramMouse::Step HistogramMouse::Move(int x, int y, bool buttonDown, LevelsPair pair) {
    Step step;
    if (!buttonDown) {
        if (!dragging) target = HistogramHoverTarget(x, pair);
        return step;
    }
    if (!dragging) return step;
    if (target == 1) {
        step.minimum = x;
    } else if (target == 2) {
        step.maximum = x;
    } else if (std::abs(x - pressX) + std::abs(y - pressY) >= 4) {
        dragging = false;  // a click that wandered off
    }
    return step;
}

void HistogramMouse::Press(int x, int y, bool right) {
    dragging = true;
    rightButton = right;
    pressX = x;
    pressY = y;
}

HistogramMouse::Step HistogramMouse::Release(int x) {
    Step step;
    if (!dragging) return step;
    dragging = false;
    if (target != 0) {
        step.recompute = true;
    } else {
        step.live = true;
        if (rightButton) step.maximum = x;
        else step.minimum = x;
    }
    return step;
}

HistogramWindow::HistogramWindow(const LevelsHistogram& histogram, Hooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      hooks_(std::move(hooks)) {
    setWindowTitle(QStringLiteral("ヒストグラム補正"));
    setFixedSize(266, 120);
    // Heights once: B, G and R on one scale, RGB on its own.
    const uint64_t scale = HistogramScale(histogram.hist.data(), 3);
    const uint64_t rgbScale = HistogramScale(&histogram.hist[3], 1);
    for (size_t c = 0; c < 4; ++c)
        for (size_t x = 0; x < 256; ++x)
            tops_[c][x] = HistogramHeight(histogram.hist[c][x], c == 3 ? rgbScale : scale, kGraphTop);
    graph_ = MakePane(this, 4, 4, 258, 102, this);
    ramp_ = MakePane(this, 4, 106, 258, 10, this);
}

void HistogramWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides it; the operation goes on.
    event->ignore();
    hide();
    if (hooks_.closed) hooks_.closed();
}

void HistogramWindow::PaintGraph() {
    QPainter p(graph_);
    PaintEdge(p, graph_);
    const int channel = hooks_.channel ? std::clamp(hooks_.channel(), 0, 3) : 3;
    PaintBars(p, tops_[static_cast<size_t>(channel)], kGraphTop, kBarColours[channel]);
    const LevelsPair pair = hooks_.pair ? hooks_.pair() : LevelsPair{};
    p.setPen(kMarker);
    for (int x : {pair.lo, pair.hi}) p.drawLine(x + 1, 1, x + 1, graph_->height() - 2);
}

void HistogramWindow::PaintRamp() {
    QPainter p(ramp_);
    PaintEdge(p, ramp_);
    const int channel = hooks_.channel ? std::clamp(hooks_.channel(), 0, 3) : 3;
    for (int x = 0; x < 256; ++x) {
        p.setPen(RampColour(channel, x));
        p.drawLine(x + 1, 1, x + 1, ramp_->height() - 2);
    }
    const LevelsPair pair = hooks_.pair ? hooks_.pair() : LevelsPair{};
    p.setPen(kMarker);
    for (int x : {pair.lo, pair.hi}) p.drawLine(x + 1, 1, x + 1, ramp_->height() - 2);
}

bool HistogramWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != graph_ && watched != ramp_) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Paint) {
        if (watched == graph_) PaintGraph();
        else PaintRamp();
        return true;
    }
    if (watched != graph_) return false;
    auto apply = [this](const HistogramMouse::Step& s) {
        if ((s.minimum || s.maximum || s.recompute) && hooks_.apply) hooks_.apply(s);
        graph_->update();
        ramp_->update();
    };
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton && e->button() != Qt::RightButton) return false;
            const QPoint at = e->position().toPoint();
            mouse_.Press(at.x() - 1, at.y() - 1, e->button() == Qt::RightButton);
            return true;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            const QPoint at = e->position().toPoint();
            const bool down = e->buttons() & (Qt::LeftButton | Qt::RightButton);
            const LevelsPair pair = hooks_.pair ? hooks_.pair() : LevelsPair{};
            const HistogramMouse::Step s = mouse_.Move(at.x() - 1, at.y() - 1, down, pair);
            if (mouse_.target != 0) graph_->setCursor(Qt::SizeHorCursor);
            else graph_->unsetCursor();
            if (s.minimum || s.maximum) apply(s);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(event);
            apply(mouse_.Release(e->position().toPoint().x() - 1));
            return true;
        }
        default: return false;
    }
}

LuminanceDialog::LuminanceDialog(const std::array<uint64_t, 256>& histogram, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("ヒストグラム(輝度)"));
    const uint64_t scale = HistogramScale(&histogram, 1);
    for (size_t x = 0; x < 256; ++x) tops_[x] = HistogramHeight(histogram[x], scale, kLumTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(0);
    graph_ = MakePane(this, 4, 4, 258, 152, this);
    graph_->setFixedSize(258, 152);
    ramp_ = MakePane(this, 4, 156, 258, 10, this);
    ramp_->setFixedSize(258, 10);
    layout->addWidget(graph_);
    layout->addWidget(ramp_);
    layout->addSpacing(6);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool LuminanceDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint || (watched != graph_ && watched != ramp_))
        return QDialog::eventFilter(watched, event);
    auto* pane = static_cast<QWidget*>(watched);
    QPainter p(pane);
    PaintEdge(p, pane);
    if (pane == graph_) {
        PaintBars(p, tops_, kLumTop, QColor(144, 144, 144));
    } else {
        for (int x = 0; x < 256; ++x) {
            p.setPen(QColor(x, x, x));
            p.drawLine(x + 1, 1, x + 1, pane->height() - 2);
        }
    }
    return true;
}

}  // namespace lumra::ui
