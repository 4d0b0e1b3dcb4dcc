#include "ui/selection_bar.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPolygonF>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "edit/edit_model.h"
#include "edit/select/selection_tool.h"
#include "shell/ini_file.h"
#include "shell/select_filter_settings.h"
#include "shell/session.h"
#include "ui/app.h"
#include "ui/edit_window.h"
#include "ui/feather_dialog.h"
#include "ui/operation_bar.h"
#include "ui/picture_canvas.h"

namespace lumra::ui {

namespace {

constexpr int kIdNumberLabel = 2631;
constexpr int kIdAdjacent = 2660;
constexpr int kIdFeather = 2670;
constexpr int kIdInvert = 2671;
constexpr int kPreviewPane = 1;
const char kMarksName[] = "selectionMarks";

PictureCanvas* PreviewCanvas(EditWindow& window) { return window.previewPane()->canvas(); }

// A picture position (pixel corners) on the pane.
QPointF ToPane(const Viewport& vp, double x, double y) {
    const double sx = vp.src.w > 0 ? static_cast<double>(vp.dest.w) / vp.src.w : 1.0;
    const double sy = vp.src.h > 0 ? static_cast<double>(vp.dest.h) / vp.src.h : 1.0;
    return {vp.dest.x + (x - vp.src.x) * sx, vp.dest.y + (y - vp.src.y) * sy};
}

// The picture position under a pane position, not held to the picture: a brush dab or an
// enclosure's point may lie beyond its edge (the tool clips what it marks).
int PictureAxis(int s, int destPos, int destLen, int srcPos, int srcLen) {
    if (destLen <= 0) return srcPos;
    const int64_t num = 2 * static_cast<int64_t>(s - destPos) * srcLen - (static_cast<int64_t>(destLen) - srcLen);
    const int64_t den = 2 * static_cast<int64_t>(destLen);
    const int64_t q = num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
    return static_cast<int>(std::clamp<int64_t>(q + srcPos, -(1 << 24), 1 << 24));
}

ViewPoint PanePointToPicture(const Viewport& vp, const QPoint& p) {
    return {PictureAxis(p.x(), vp.dest.x, vp.dest.w, vp.src.x, vp.src.w),
            PictureAxis(p.y(), vp.dest.y, vp.dest.h, vp.src.y, vp.src.h)};
}

// The cursors of the creation methods: a cross, with "+" for add and "-" for exclude.
QCursor ModeCursor(int mode) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    auto cross = [&p](const QColor& colour, int width) {
        p.setPen(QPen(colour, width));
        p.drawLine(15, 2, 15, 28);
        p.drawLine(2, 15, 28, 15);
    };
    cross(Qt::white, 3);
    cross(Qt::black, 1);
    if (mode != kSelectNew) {
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(20, 25, 28, 25);
        if (mode == kSelectAdd) p.drawLine(24, 21, 24, 29);
    }
    p.end();
    return QCursor(pixmap, 15, 15);
}

// Drawn over the preview pane: the rubber band, the enclosure's line, the brush outline.
class SelectionMarks : public QWidget {
public:
    SelectionMarks(PictureCanvas* canvas, std::function<void(QPainter&)> paint, std::function<void()> left)
        : QWidget(canvas), canvas_(canvas), paint_(std::move(paint)), left_(std::move(left)) {
        setObjectName(QString::fromLatin1(kMarksName));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(canvas->rect());
        canvas->installEventFilter(this);
        show();
    }
    ~SelectionMarks() override {
        if (canvas_) canvas_->removeEventFilter(this);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        paint_(p);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == canvas_ && event->type() == QEvent::Resize) setGeometry(canvas_->rect());
        if (watched == canvas_ && event->type() == QEvent::Leave) left_();
        return QWidget::eventFilter(watched, event);
    }

private:
    QPointer<PictureCanvas> canvas_;
    std::function<void(QPainter&)> paint_;
    std::function<void()> left_;
};

// The bar's links to the tool; lives as long as the bar.
class SelectionUi : public QObject {
public:
    SelectionUi(EditWindow& window, EditModel& model, OperationBar* bar)
        : QObject(bar), window_(window), model_(model), bar_(bar), path_(window.app().settingsPath()) {
        if (const SelectionTool* t = Tool()) settings_ = t->settings;
        ControlStrip* c = bar_->controls();
        c->SetValue(kSelParamMode, settings_.mode);
        c->SetValue(kSelParamShape, settings_.type);
        c->SetValue(kSelParamAdjacent, settings_.unit & 1);
        ShowNumber();
        connect(bar_, &OperationBar::command, &window_, [w = &window_](int id) { w->Command(id); });
        connect(bar_, &OperationBar::keysSuspendedChanged, &window_,
                [w = &window_](bool on) { w->app().SetAcceleratorsSuspended(on); });
        connect(bar_, &OperationBar::valueChanged, this, [this](int param, int v) { OnValue(param, v); });
        connect(bar_, &OperationBar::buttonClicked, this, [this](int id) { OnButton(id); });
        PictureCanvas* canvas = PreviewCanvas(window_);
        marks_ = new SelectionMarks(
            canvas, [this](QPainter& p) { Paint(p); },
            [this] {
                hover_ = false;
                if (marks_) marks_->update();
            });
        window_.SetPaneMouseHandler(
            [this](int pane, QMouseEvent* e, const Viewport& vp) { return Mouse(pane, e, vp); });
        ShowCursor();
    }

    ~SelectionUi() override {
        // ImgA goes back whether the tool ended with OK or Cancel.
        if (!path_.empty()) {
            IniFile ini;
            ini.Load(path_);
            WriteSelectionSettings(ini, settings_);
            ini.Save(path_);
        }
        delete marks_.data();
    }

private:
    SelectionTool* Tool() const { return ActiveSelectionTool(model_); }

    void Remember() {
        if (const SelectionTool* t = Tool()) settings_ = t->settings;
    }

    // The working overlay changed.
    void ShowChanges() { PreviewCanvas(window_)->PixelsChanged(); }

    void ShowCursor() {
        PictureCanvas* canvas = PreviewCanvas(window_);
        if (settings_.type == kShapeBrush) {
            canvas->setCursor(Qt::BlankCursor);
        } else {
            canvas->setCursor(ModeCursor(settings_.mode));
        }
    }

    // The label, the number box and "隣接" follow the shape.
    void ShowNumber() {
        ControlStrip* c = bar_->controls();
        const bool brush = settings_.type == kShapeBrush;
        const bool range = settings_.type == kShapeRange;
        if (auto* label = qobject_cast<QLabel*>(c->control(kIdNumberLabel))) {
            label->setText(brush ? QStringLiteral("サイズ") : QStringLiteral("範囲"));
            label->setEnabled(brush || range);
        }
        if (brush) {
            c->SetRange(kSelParamNumber, 3, 128);
            c->SetValue(kSelParamNumber, settings_.size);
        } else {
            c->SetRange(kSelParamNumber, 0, 255);
            c->SetValue(kSelParamNumber, settings_.range);
        }
        c->SetParamEnabled(kSelParamNumber, brush || range);
        if (QWidget* adjacent = c->control(kIdAdjacent)) adjacent->setEnabled(range);
    }

    void OnValue(int param, int v) {
        SelectionTool* t = Tool();
        if (!t) return;
        SelectionSettings& s = t->settings;
        switch (param) {
            case kSelParamMode:
                if (v == kSelListSelectAll || v == kSelListDeselectAll) {
                    SelectWhole(*t, v == kSelListSelectAll);
                    // The list goes back to the creation method.
                    bar_->controls()->SetValue(kSelParamMode, s.mode);
                    ShowChanges();
                } else {
                    s.mode = v;
                }
                break;
            case kSelParamShape:
                s.type = v;
                break;
            case kSelParamNumber:
                if (s.type == kShapeBrush) s.size = ClampBrushSize(v);
                else s.range = ClampColourRange(v);
                break;
            case kSelParamAdjacent:
                s.unit = v & 1;
                break;
            default:
                break;
        }
        Remember();
        if (param == kSelParamShape) ShowNumber();
        ShowCursor();
        marks_->update();
    }

    void OnButton(int id) {
        SelectionTool* t = Tool();
        if (!t) return;
        if (id == kIdInvert) {
            InvertSelection(*t);
            ShowChanges();
            return;
        }
        if (id != kIdFeather || !CanFeather(*t)) return;
        FeatherDialog dialog(t->settings.smooth, &window_);
        dialog.adjustSize();
        if (QWidget* button = bar_->controls()->control(kIdFeather))
            dialog.move(button->mapToGlobal(QPoint(0, button->height())));
        if (window_.app().RunDialog(dialog) != QDialog::Accepted) return;
        t = Tool();
        if (!t) return;
        t->settings.smooth = dialog.radius();
        Remember();
        window_.setWindowTitle(QStringLiteral("wait..."));
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        FeatherSelection(*t);
        ShowChanges();
        QGuiApplication::restoreOverrideCursor();
        window_.UpdateTitle();
    }

    bool Mouse(int pane, QMouseEvent* e, const Viewport& vp) {
        SelectionTool* t = Tool();
        if (!t) return false;
        const QPoint pos = e->position().toPoint();
        const ViewPoint at = PanePointToPicture(vp, pos);
        const bool shift = e->modifiers() & Qt::ShiftModifier;
        switch (e->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick: {
                if (pane != kPreviewPane || e->button() != Qt::LeftButton || pressed_) return pressed_;
                // A colour is taken only from the picture itself.
                if (t->settings.type == kShapeRange && !vp.dest.Contains(pos.x(), pos.y())) return true;
                pressed_ = true;
                pointer_ = pos;
                shift_ = shift;
                SelectionPress(*t, at.x, at.y, shift);
                if (t->settings.type == kShapeBrush || t->settings.type == kShapeRange) ShowChanges();
                marks_->update();
                return true;
            }
            case QEvent::MouseMove: {
                if (pane != kPreviewPane) return pressed_;
                pointer_ = pos;
                shift_ = shift;
                hover_ = true;
                ShowCursor();
                if (!pressed_) {
                    if (t->settings.type == kShapeBrush) marks_->update();
                    return false;
                }
                const bool wasDragging = t->dragging;
                SelectionMove(*t, at.x, at.y, shift);
                // The brush paints as it goes; an enclosure too long closes itself.
                if (t->settings.type == kShapeBrush || (wasDragging && !t->dragging)) ShowChanges();
                marks_->update();
                return true;
            }
            case QEvent::MouseButtonRelease: {
                if (!pressed_ || e->button() != Qt::LeftButton) return pressed_;
                pressed_ = false;
                SelectionRelease(*t, at.x, at.y, shift);
                ShowChanges();
                marks_->update();
                return true;
            }
            default:
                return false;
        }
    }

    void Paint(QPainter& p) {
        const SelectionTool* t = Tool();
        if (!t) return;
        const Viewport& vp = window_.viewport();
        p.setRenderHint(QPainter::Antialiasing, false);
        const QPen light(Qt::white, 1);
        QPen dark(Qt::black, 1, Qt::DashLine);
        const int type = t->settings.type;
        if (t->dragging && (type == kShapeRect || type == kShapeEllipse)) {
            const ViewPoint at = PanePointToPicture(vp, pointer_);
            const RubberBand b = CurrentRubberBand(*t, at.x, at.y, shift_);
            if (!b.active) return;
            const QRectF band(ToPane(vp, std::min(b.x1, b.x2), std::min(b.y1, b.y2)),
                              ToPane(vp, std::max(b.x1, b.x2) + 1, std::max(b.y1, b.y2) + 1));
            for (const QPen& pen : {light, dark}) {
                p.setPen(pen);
                if (type == kShapeRect) p.drawRect(band.adjusted(0, 0, -1, -1));
                else p.drawEllipse(band.adjusted(0, 0, -1, -1));
            }
        } else if (t->dragging && type == kShapeLasso && !t->points.empty()) {
            QPolygonF line;
            line.reserve(static_cast<qsizetype>(t->points.size()));
            for (const LassoPoint& q : t->points) line << ToPane(vp, q.x + 0.5, q.y + 0.5);
            for (const QPen& pen : {light, dark}) {
                p.setPen(pen);
                p.drawPolyline(line);
            }
        } else if (type == kShapeBrush && hover_) {
            // The brush's reach is a diamond (the distance is Manhattan).
            const double scale = vp.src.w > 0 ? static_cast<double>(vp.dest.w) / vp.src.w : 1.0;
            const double r = std::max(1.0, t->settings.size / 2.0 * scale);
            const QPointF c(pointer_);
            const QPolygonF diamond({c + QPointF(0, -r), c + QPointF(r, 0), c + QPointF(0, r), c + QPointF(-r, 0),
                                     c + QPointF(0, -r)});
            for (const QPen& pen : {light, dark}) {
                p.setPen(pen);
                p.drawPolyline(diamond);
            }
        }
    }

    EditWindow& window_;
    EditModel& model_;
    OperationBar* bar_;
    QPointer<SelectionMarks> marks_;
    std::string path_;
    SelectionSettings settings_;
    bool pressed_ = false;
    bool shift_ = false;
    bool hover_ = false;
    QPoint pointer_;
};

}  // namespace

void SeedSelectionTool(Session& session, EditModel& model) {
    SelectionTool* t = ActiveSelectionTool(model);
    if (!t) return;
    IniFile ini;
    ini.Load(session.settingsPath);
    t->settings = ReadSelectionSettings(ini);
}

QWidget* MakeSelectionBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    auto* bar = new OperationBar(def);
    new SelectionUi(window, model, bar);
    return bar;
}

void SelectionToolEnded(EditWindow& window) {
    window.SetPaneMouseHandler(nullptr);
    PictureCanvas* canvas = PreviewCanvas(window);
    delete canvas->findChild<QWidget*>(QString::fromLatin1(kMarksName), Qt::FindDirectChildrenOnly);
    canvas->unsetCursor();
    // The selection the tool left (an 8-bit picture may have become 24-bit).
    window.Refresh(false);
}

}  // namespace lumra::ui
