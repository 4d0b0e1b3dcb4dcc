// The resize bar (trackbar, W and H, "縦横比無視", presets and "サイズ登録") and the rotation
// bar (angle, grid, line tool, background colour) in the edit window.
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include "edit/edit_model.h"
#include "edit/geometry/geometry_ops.h"
#include "ui/app.h"
#include "ui/edit_window.h"
#include "ui/geometry_ui.h"
#include "ui/operation_bar.h"
#include "ui/picture_canvas.h"

namespace lumra::ui {
namespace {

void WireCommon(EditWindow& window, OperationBar* bar) {
    QObject::connect(bar, &OperationBar::command, &window, [&window](int id) { window.Command(id); });
    QObject::connect(bar, &OperationBar::keysSuspendedChanged, &window,
                     [&window](bool suspended) { window.app().SetAcceleratorsSuspended(suspended); });
}

class ResizeTool : public QObject {
public:
    ResizeTool(EditWindow& window, EditModel& model, OperationBar* bar)
        : QObject(bar), window_(window), model_(model), bar_(bar) {
        ControlStrip* strip = bar->controls();
        if (const ResizeBar* b = Bar()) {
            strip->SetRange(kResizeW, 1, b->maxW);
            strip->SetRange(kResizeH, 1, b->maxH);
        }
        FillPresets();
        Sync(-1);
        WireCommon(window, bar);
        connect(bar, &OperationBar::valueChanged, this, [this](int param, int v) { Changed(param, v); });
    }

private:
    ResizeBar* Bar() const {
        ResizeOperation* op = model_.active ? ResizeOf(*model_.active) : nullptr;
        return op ? &op->bar : nullptr;
    }

    void FillPresets() {
        auto* combo = qobject_cast<QComboBox*>(bar_->controls()->control(kResizePresetCombo));
        if (!combo) return;
        const QSignalBlocker block(combo);
        combo->clear();
        for (const std::string& item : PresetListItems(GeometryPrefs().presets))
            combo->addItem(QString::fromStdString(item));
        combo->setCurrentIndex(0);
    }

    // The controls from the bar's state, except the one the user is typing in.
    void Sync(int except) {
        const ResizeBar* b = Bar();
        if (!b) return;
        ControlStrip* strip = bar_->controls();
        if (except != kResizePercent) strip->SetValue(kResizePercent, b->percent);
        if (except != kResizeW) strip->SetValue(kResizeW, b->w);
        if (except != kResizeH) strip->SetValue(kResizeH, b->h);
        strip->SetValue(kResizeIgnore, b->ignoreAspect ? 1 : 0);
        strip->SetValue(kResizePresets, 0);
        strip->SetParamEnabled(kResizePercent, b->TrackbarEnabled());
    }

    void Changed(int param, int v) {
        ResizeBar* b = Bar();
        if (!b) return;
        switch (param) {
            case kResizePercent: b->Track(v); break;
            case kResizeW: b->TypeW(v); break;
            case kResizeH: b->TypeH(v); break;
            case kResizeIgnore: b->SetIgnoreAspect(v != 0); break;
            case kResizePresets: {
                std::array<SizePreset, 9>& presets = GeometryPrefs().presets;
                if (b->ChoosePreset(presets, v)) {
                    std::array<std::pair<int, int>, 9> rows{};
                    for (size_t i = 0; i < 9; ++i) rows[i] = {presets[i].w, presets[i].h};
                    if (RunRegistration(window_, bar_->controls()->control(kResizePresetCombo), kSizeDialogTitle,
                                        rows, false))
                        for (size_t i = 1; i < 9; ++i) presets[i] = SizePreset{rows[i].first, rows[i].second};
                    FillPresets();
                }
                param = -1;
                break;
            }
            default: return;
        }
        Sync(param);
    }

    EditWindow& window_;
    EditModel& model_;
    OperationBar* bar_;
};

class RotateTool : public QObject {
public:
    RotateTool(EditWindow& window, EditModel& model, OperationBar* bar)
        : QObject(bar), window_(window), model_(model), bar_(bar) {
        canvas_ = window.previewPane()->canvas();
        ControlStrip* strip = bar->controls();
        if (const RotateOperation* o = Op()) {
            strip->SetValue(kRotateAngle, o->bar.tenths);
            strip->SetValue(kRotateBackground, static_cast<int>((uint32_t{o->background.red} << 16) |
                                                                (uint32_t{o->background.green} << 8) |
                                                                o->background.blue));
            strip->SetValue(kRotateGrid, o->grid ? 1 : 0);
            strip->SetValue(kRotateLineMode, o->verticalLine ? 1 : 0);
        }
        overlay_ = new PaneOverlay(canvas_, [this](QPainter& p) { Paint(p); });
        canvas_->setCursor(Qt::CrossCursor);
        window.SetPaneMouseHandler(
            [this](int pane, QMouseEvent* e, const Viewport& vp) { return Mouse(pane, e, vp); });
        window.SetViewMovedHook([this] { overlay_->update(); });
        QPointer<PaneOverlay> overlay = overlay_;
        QPointer<PictureCanvas> canvas = canvas_;
        SetGeometryCleanup([overlay, canvas] {
            delete overlay.data();
            if (canvas) canvas->unsetCursor();
        });
        WireCommon(window, bar);
        connect(bar, &OperationBar::valueChanged, this, [this](int param, int v) { Changed(param, v); });
    }

private:
    RotateOperation* Op() const { return model_.active ? RotateOf(*model_.active) : nullptr; }

    bool Mouse(int pane, QMouseEvent* e, const Viewport& vp) {
        RotateOperation* o = Op();
        if (pane != 1 || !o) return false;
        const QPoint pos = e->position().toPoint();
        switch (e->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                if (e->button() != Qt::LeftButton) return line_.held;
                line_.Press(pos.x(), pos.y());
                break;
            case QEvent::MouseMove:
                if (!line_.held) return true;
                line_.Move(pos.x(), pos.y(), vp.dest.x, vp.dest.y, vp.dest.x + vp.dest.w - 1,
                           vp.dest.y + vp.dest.h - 1);
                break;
            case QEvent::MouseButtonRelease: {
                if (e->button() != Qt::LeftButton || !line_.held) return line_.held;
                const std::optional<std::string> text = line_.Release(o->bar.tenths, o->verticalLine);
                // The angle goes through the box, as if typed.
                if (text)
                    if (QLineEdit* box = bar_->controls()->editBox(kRotateAngle))
                        box->setText(QString::fromStdString(*text));
                break;
            }
            default:
                return false;
        }
        overlay_->update();
        return true;
    }

    void Paint(QPainter& p) {
        const RotateOperation* o = Op();
        if (!o) return;
        if (line_.GridShown(o->grid)) {
            // Dotted, fixed to the view.
            p.setPen(QPen(Qt::black, 0, Qt::DotLine));
            const int w = canvas_->width(), h = canvas_->height();
            if (w >= 32 && h >= 32) {
                for (int x : GridLines(w)) p.drawLine(x, 0, x, h - 1);
                for (int y : GridLines(h)) p.drawLine(0, y, w - 1, y);
            }
        }
        if (line_.held) {
            p.setCompositionMode(QPainter::RasterOp_NotDestination);
            p.setPen(QPen(Qt::white, 0));
            p.drawLine(line_.anchorX, line_.anchorY, line_.endX, line_.endY);
        }
    }

    void Changed(int param, int v) {
        RotateOperation* o = Op();
        if (!o) return;
        switch (param) {
            case kRotateAngle:
                SetRotation(*model_.active, v, o->background);
                RequestRecompute(model_);
                return;
            case kRotateBackground:
                SetRotation(*model_.active, o->bar.tenths,
                            BackgroundColour{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                                             static_cast<uint8_t>(v)});
                RequestRecompute(model_);
                break;
            case kRotateGrid:
                o->grid = v != 0;
                overlay_->update();
                break;
            case kRotateLineMode: o->verticalLine = v != 0; break;
            default: return;
        }
        SaveGeometrySettings(*model_.active, GeometryPrefs());
    }

    EditWindow& window_;
    EditModel& model_;
    OperationBar* bar_;
    PictureCanvas* canvas_ = nullptr;
    PaneOverlay* overlay_ = nullptr;
    LineTool line_;
};

}  // namespace

QWidget* MakeResizeBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    auto* bar = new ClippedOperationBar(def);
    new ResizeTool(window, model, bar);
    return bar;
}

QWidget* MakeRotateBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    auto* bar = new ClippedOperationBar(def);
    new RotateTool(window, model, bar);
    return bar;
}

}  // namespace lumra::ui
