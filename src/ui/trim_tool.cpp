// Trimming in the edit window: the cross-hair and the frame over the preview pane, its hit
// areas and cursors, the coordinate boxes, the ratio list and "縦横比登録".
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

#include "edit/edit_model.h"
#include "edit/geometry/geometry_ops.h"
#include "shell/command_catalogue.h"
#include "ui/app.h"
#include "ui/edit_window.h"
#include "ui/geometry_ui.h"
#include "ui/operation_bar.h"
#include "ui/picture_canvas.h"
#include "view/viewport.h"

namespace lumra::ui {
namespace {

constexpr int kZoomIdsFrom = 5200;
constexpr int kZoomIdsTo = 5699;

// The picture-to-view mapping of the edit window's viewport.
ViewMapping MappingOf(const Viewport& vp) {
    ViewMapping m;
    m.scale = vp.src.w > 0 ? static_cast<double>(vp.dest.w) / vp.src.w : 1.0;
    m.originX = vp.dest.x - vp.src.x * m.scale;
    m.originY = vp.dest.y - vp.src.y * m.scale;
    m.visibleLeft = vp.dest.x;
    m.visibleTop = vp.dest.y;
    m.visibleRight = vp.dest.x + vp.dest.w - 1;
    m.visibleBottom = vp.dest.y + vp.dest.h - 1;
    return m;
}

Qt::CursorShape ShapeOf(TrimCursor c) {
    switch (c) {
        case TrimCursor::kDiagonalDown: return Qt::SizeFDiagCursor;
        case TrimCursor::kDiagonalUp: return Qt::SizeBDiagCursor;
        case TrimCursor::kHorizontal: return Qt::SizeHorCursor;
        case TrimCursor::kVertical: return Qt::SizeVerCursor;
        case TrimCursor::kMove: return Qt::SizeAllCursor;
        default: return Qt::ArrowCursor;
    }
}

// A rectangle outline on the pixels from (l, t) to (r, b), inclusive.
void Outline(QPainter& p, int l, int t, int r, int b) {
    p.drawLine(l, t, r, t);
    if (b != t) p.drawLine(l, b, r, b);
    if (b - t > 1) {
        p.drawLine(l, t + 1, l, b - 1);
        if (r != l) p.drawLine(r, t + 1, r, b - 1);
    }
}

class TrimTool : public QObject {
public:
    TrimTool(EditWindow& window, EditModel& model, OperationBar* bar)
        : QObject(bar), window_(window), model_(model), bar_(bar) {
        canvas_ = window.previewPane()->canvas();
        overlay_ = new PaneOverlay(canvas_, [this](QPainter& p) { Paint(p); });
        canvas_->setCursor(Qt::CrossCursor);
        window.SetPaneMouseHandler(
            [this](int pane, QMouseEvent* e, const Viewport& vp) { return Mouse(pane, e, vp); });
        window.SetLayoutLock([this] { return frame() && !frame()->ZoomEnabled(); });
        window.SetViewMovedHook([this] { overlay_->update(); });
        QPointer<PaneOverlay> overlay = overlay_;
        QPointer<PictureCanvas> canvas = canvas_;
        SetGeometryCleanup([overlay, canvas] {
            delete overlay.data();
            if (canvas) canvas->unsetCursor();
        });

        ControlStrip* strip = bar->controls();
        // The size statics keep their width while the numbers change.
        for (int id : {kTrimShownW, kTrimShownH})
            if (QWidget* label = strip->control(id))
                label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
        FillRatioList();
        strip->SetValue(kTrimRatioList, frame() ? frame()->ratio : 0);
        connect(bar, &OperationBar::command, &window, [&window](int id) { window.Command(id); });
        connect(bar, &OperationBar::valueChanged, this, [this](int param, int v) { Changed(param, v); });
        connect(bar, &OperationBar::keysSuspendedChanged, this, [this](bool) { UpdateKeys(); });
        UpdateControls();
        // The keys wait for the first settled rectangle.
        UpdateKeys();
        // After the window's own tool bar update at the start.
        QTimer::singleShot(0, this, [this] { UpdateZoomControls(); });
    }

private:
    TrimFrame* frame() const {
        TrimOperation* op = model_.active ? TrimOf(*model_.active) : nullptr;
        return op ? &op->frame : nullptr;
    }

    bool Mouse(int pane, QMouseEvent* e, const Viewport& vp) {
        TrimFrame* f = frame();
        if (pane != 1 || !f) return false;
        const ViewMapping m = MappingOf(vp);
        const QPoint pos = e->position().toPoint();
        const int before = f->state;
        switch (e->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                if (e->button() != Qt::LeftButton) return f->CapturesMouse() || f->state == TrimFrame::kIdle;
                // A press outside the picture does not start a rectangle.
                if (f->state == TrimFrame::kIdle && !vp.dest.Contains(pos.x(), pos.y())) return true;
                f->Press(m, pos.x(), pos.y());
                break;
            case QEvent::MouseMove:
                mouse_ = pos;
                f->Move(m, pos.x(), pos.y());
                if (f->state == TrimFrame::kSettled)
                    canvas_->setCursor(ShapeOf(CursorForArea(f->HitArea(m, pos.x(), pos.y()))));
                else if (f->state == TrimFrame::kIdle)
                    canvas_->setCursor(Qt::CrossCursor);
                if (f->state == TrimFrame::kDrawing || f->state == TrimFrame::kAdjusting) ShowSize();
                break;
            case QEvent::MouseButtonRelease:
                if (e->button() != Qt::LeftButton) return f->CapturesMouse() || f->state == TrimFrame::kIdle;
                f->Release(m, pos.x(), pos.y());
                if (f->state == TrimFrame::kSettled && before != TrimFrame::kSettled) {
                    // A rectangle settled: the halved outside, the boxes and their ranges.
                    RequestRecompute(model_);
                    UpdateControls();
                    canvas_->setCursor(ShapeOf(CursorForArea(f->HitArea(m, pos.x(), pos.y()))));
                }
                break;
            default:
                return false;
        }
        if (f->state != before) {
            UpdateKeys();
            UpdateZoomControls();
        }
        overlay_->update();
        return true;
    }

    void Paint(QPainter& p) {
        const TrimFrame* f = frame();
        if (!f) return;
        const Viewport& vp = window_.viewport();
        const ViewMapping m = MappingOf(vp);
        const int l = m.visibleLeft, t = m.visibleTop, r = m.visibleRight, b = m.visibleBottom;
        if (f->state == TrimFrame::kIdle || f->state == TrimFrame::kPressed) {
            if (!canvas_->underMouse() || !vp.dest.Contains(mouse_.x(), mouse_.y())) return;
            // The cross-hair inverts what lies under it.
            p.setCompositionMode(QPainter::RasterOp_NotDestination);
            p.setPen(QPen(Qt::white, 0));
            p.drawLine(l, mouse_.y(), r, mouse_.y());
            p.drawLine(mouse_.x(), t, mouse_.x(), b);
            return;
        }
        const TrimViewRect v = f->Rubber(m);
        if (f->state == TrimFrame::kSettled) {
            // Dotted black on an opaque white background.
            p.setBackgroundMode(Qt::OpaqueMode);
            p.setBackground(Qt::white);
            p.setPen(QPen(Qt::black, 0, Qt::DotLine));
        } else {
            p.setCompositionMode(QPainter::RasterOp_NotDestination);
            p.setPen(QPen(Qt::white, 0));
        }
        Outline(p, v.left, v.top, v.right, v.bottom);
    }

    void ShowSize() {
        const TrimFrame* f = frame();
        if (!f) return;
        if (auto* w = qobject_cast<QLabel*>(bar_->controls()->control(kTrimShownW)))
            w->setText(QString::number(f->shownW));
        if (auto* h = qobject_cast<QLabel*>(bar_->controls()->control(kTrimShownH)))
            h->setText(QString::number(f->shownH));
    }

    // Boxes, ranges and statics from the frame.
    void UpdateControls() {
        const TrimFrame* f = frame();
        if (!f) return;
        ControlStrip* strip = bar_->controls();
        const int values[4] = {f->rect.x1, f->rect.y1, f->rect.x2, f->rect.y2};
        for (int p = 0; p < 4; ++p) {
            const auto [lo, hi] = f->Range(p);
            // Widen first so that the new value is never clamped to an old range.
            strip->SetRange(p, 0, kMaxPictureSide - 1);
            strip->SetValue(p, values[p]);
            strip->SetRange(p, lo, hi);
            strip->SetParamEnabled(p, f->BoxesEnabled());
        }
        ShowSize();
    }

    void UpdateKeys() {
        const TrimFrame* f = frame();
        window_.app().SetAcceleratorsSuspended((f && f->AcceleratorsSuspended()) ||
                                               bar_->controls()->keysSuspended());
    }

    // The zoom buttons, the zoom field and the preview pane's scroll bars wait for a
    // settled rectangle.
    void UpdateZoomControls() {
        const TrimFrame* f = frame();
        if (!f) return;
        const bool on = f->ZoomEnabled();
        if (on) window_.UpdateToolBar();
        for (int id = kZoomIdsFrom; id <= kZoomIdsTo; ++id)
            if (QAction* a = window_.ToolAction(id); a && IsZoomCommand(id) && !on) a->setEnabled(false);
        if (!on) window_.zoomField()->setEnabled(false);
        window_.previewPane()->horizontalBar()->setEnabled(on);
        window_.previewPane()->verticalBar()->setEnabled(on);
    }

    void FillRatioList() {
        const TrimFrame* f = frame();
        auto* combo = qobject_cast<QComboBox*>(bar_->controls()->control(kTrimRatioCombo));
        if (!f || !combo) return;
        const QSignalBlocker block(combo);
        combo->clear();
        for (const std::string& item : RatioListItems(f->ratios)) combo->addItem(QString::fromStdString(item));
        combo->setCurrentIndex(f->ratio);
    }

    void Changed(int param, int v) {
        TrimFrame* f = frame();
        if (!f) return;
        ControlStrip* strip = bar_->controls();
        if (param == kTrimRatioList) {
            if (f->ChooseRatio(v)) {
                std::array<std::pair<int, int>, 9> rows{};
                for (size_t i = 0; i < 9; ++i) rows[i] = {f->ratios[i].w, f->ratios[i].h};
                if (RunRegistration(window_, strip->control(kTrimRatioCombo), kRatioDialogTitle, rows, true)) {
                    for (size_t i = 1; i < 9; ++i) f->ratios[i] = RatioEntry{rows[i].first, rows[i].second};
                    f->ChooseRatio(f->ratio);
                }
                FillRatioList();
                UpdateKeys();
            }
            strip->SetValue(kTrimRatioList, f->ratio);
            SaveGeometrySettings(*model_.active, GeometryPrefs());
        } else if (param >= kTrimX1 && param <= kTrimY2) {
            if (!f->TypeCoordinate(param, v)) {
                // The ratio could not be kept: the box shows the value before.
                UpdateControls();
                return;
            }
        } else {
            return;
        }
        UpdateControls();
        RequestRecompute(model_);
        overlay_->update();
    }

    EditWindow& window_;
    EditModel& model_;
    OperationBar* bar_;
    PictureCanvas* canvas_ = nullptr;
    PaneOverlay* overlay_ = nullptr;
    QPoint mouse_{-1, -1};
};

}  // namespace

QWidget* MakeTrimBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    auto* bar = new ClippedOperationBar(def);
    new TrimTool(window, model, bar);
    return bar;
}

}  // namespace lumra::ui
