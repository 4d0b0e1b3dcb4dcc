#include "ui/brush_bar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <cmath>
#include <filesystem>
#include <memory>

#include "edit/brush/brush_tool.h"
#include "edit/colour_pick.h"
#include "shell/command_catalogue.h"
#include "shell/ini_file.h"
#include "shell/session.h"
#include "shell/tool_settings.h"
#include "ui/app.h"
#include "ui/edit_window.h"
#include "ui/operation_bar.h"
#include "ui/picture_canvas.h"

namespace lumra::ui {
namespace {

constexpr int kPicButton = 2450;
constexpr int kFillButton = 2451;
constexpr int kColourBoxId = 2440;
constexpr int kStrengthLabel = 2521;

int RoundAway(double v) { return static_cast<int>(v < 0 ? std::ceil(v - 0.5) : std::floor(v + 0.5)); }

// The brush outline: a circle of the brush size around the pointer, drawn over the pane.
class BrushOutline : public QWidget {
public:
    BrushOutline(QWidget* canvas, const Viewport& vp) : QWidget(canvas), vp_(vp) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(canvas->rect());
        canvas->installEventFilter(this);
        show();
    }
    // Only the rings' old and new places are painted again.
    void MoveTo(QPointF at) {
        if (shown_) update(Ring());
        at_ = at;
        shown_ = true;
        update(Ring());
    }
    void Hide() {
        if (shown_) update(Ring());
        shown_ = false;
    }
    void SetSize(int size) {
        if (shown_) update(Ring());
        size_ = size;
        if (shown_) update(Ring());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent()) {
            if (event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
            if (event->type() == QEvent::Leave) Hide();
        }
        return QWidget::eventFilter(watched, event);
    }
    void paintEvent(QPaintEvent*) override {
        if (!shown_ || vp_.pictureW <= 0) return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const double r = Radius();
        // Two rings, so that the outline shows on light and dark pictures alike.
        p.setPen(QPen(Qt::black, 1));
        p.drawEllipse(at_, r + 1, r + 1);
        p.setPen(QPen(Qt::white, 1));
        p.drawEllipse(at_, r, r);
    }

private:
    double Radius() const {
        return vp_.pictureW > 0 ? size_ * static_cast<double>(vp_.displayW) / vp_.pictureW / 2.0 : 0.0;
    }
    QRect Ring() const {
        const double r = Radius() + 3;  // the outer ring, its pen and the antialiasing
        return QRectF(at_.x() - r, at_.y() - r, 2 * r, 2 * r).toAlignedRect();
    }

    const Viewport& vp_;
    QPointF at_;
    int size_ = 24;
    bool shown_ = false;
};

struct BrushUi {
    EditWindow* window = nullptr;
    EditModel* model = nullptr;
    bool paint = true;
    BrushPrefs prefs;
    QPointer<OperationBar> bar;
    QPointer<BrushOutline> outline;
    ColourPick pick;
    std::unique_ptr<QObject> escape;  // leaves an armed pick on Escape
    QString title;                    // the window's title while the tool runs

    BrushTool* Tool() const { return ActiveBrush(*model); }
    Session& session() const { return window->app().session(); }
    int size() const { return paint ? prefs.paintSize : prefs.correctSize; }
    void Apply() {
        if (BrushTool* t = Tool()) t->settings = BrushSettingsFor(prefs, paint);
        if (outline) outline->SetSize(ClampBrushSize(size()));
    }
    void Repaint() const {
        window->previewPane()->canvas()->PixelsChanged();
        window->UpdateToolBar();
    }
    // Only the block the last press or move drew on.
    void RepaintDrawn(const BrushTool& tool, const Viewport& vp) const {
        const auto& r = tool.drawn;
        if (r.right <= r.left || r.bottom <= r.top) return;
        window->previewPane()->canvas()->PixelsChangedIn(PanePictureBlock(vp, r.left, r.top, r.right, r.bottom));
    }
    void ShowStrength() const {
        if (!bar || paint) return;
        const bool on = prefs.mode != kBrushDenoise;
        ControlStrip* strip = bar->controls();
        if (on) strip->SetValue(2, prefs.strength[static_cast<size_t>(prefs.mode)]);
        strip->SetParamEnabled(2, on);
        if (QWidget* label = strip->control(kStrengthLabel)) label->setEnabled(on);
    }
    void EndPick(bool accept);
    bool Mouse(int pane, QMouseEvent* event, const Viewport& vp);
};

std::shared_ptr<BrushUi>& Current() {
    static std::shared_ptr<BrushUi> ui;
    return ui;
}

class EscapeFilter : public QObject {
public:
    explicit EscapeFilter(BrushUi& ui) : ui_(ui) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            ui_.pick.armed) {
            ui_.EndPick(false);
            return true;
        }
        return false;
    }

private:
    BrushUi& ui_;
};

void BrushUi::EndPick(bool accept) {
    const std::optional<PickEnd> end = EndColourPick(pick, accept);
    if (!end) return;
    auto* box = bar ? qobject_cast<ColourBox*>(bar->controls()->control(kColourBoxId)) : nullptr;
    if (box) box->SetLiveColour(std::nullopt);
    window->setWindowTitle(title);
    if (end->colour) {
        prefs.red = static_cast<uint8_t>(*end->colour >> 16);
        prefs.green = static_cast<uint8_t>(*end->colour >> 8);
        prefs.blue = static_cast<uint8_t>(*end->colour);
        if (bar) bar->controls()->SetValue(1, static_cast<int>(*end->colour));
        Apply();
    }
    window->SetPaneLayout(end->layout);
}

bool BrushUi::Mouse(int pane, QMouseEvent* event, const Viewport& vp) {
    const ViewPoint p = PanePicturePoint(vp, event->position());
    if (pick.armed) {
        // The source pane takes the mouse: the colour under the pointer, a left click takes it.
        if (pane != 0) return true;
        if (event->type() == QEvent::MouseMove) {
            if (MoveColourPick(pick, session().picture.image, p.x, p.y) && bar)
                if (auto* box = qobject_cast<ColourBox*>(bar->controls()->control(kColourBoxId)))
                    box->SetLiveColour(pick.live);
            const QPoint at = event->position().toPoint();
            window->setWindowTitle(
                QString::fromStdString(PixelReadoutText(vp, session().picture.image, at.x(), at.y())));
        } else if (event->type() == QEvent::MouseButtonPress && event->button() == Qt::LeftButton &&
                   PixelColour(session().picture.image, p.x, p.y)) {
            MoveColourPick(pick, session().picture.image, p.x, p.y);
            EndPick(true);
        }
        return true;
    }
    BrushTool* tool = Tool();
    if (!tool) return false;
    // While the left button draws, no other button starts anything on either pane.
    if (tool->drawing && event->type() != QEvent::MouseMove && event->button() != Qt::LeftButton) return true;
    if (pane != 1) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (event->button() != Qt::LeftButton || tool->drawing) return tool->drawing;
            // A button already held has its own gesture going: no stroke starts under it.
            if (event->buttons() & ~Qt::MouseButtons(Qt::LeftButton)) return false;
            tool->Press(p.x, p.y);
            RepaintDrawn(*tool, vp);
            return true;
        case QEvent::MouseMove:
            if (outline) outline->MoveTo(event->position());
            if (!tool->drawing) return false;
            tool->Move(p.x, p.y);
            RepaintDrawn(*tool, vp);
            return true;
        case QEvent::MouseButtonRelease:
            if (event->button() != Qt::LeftButton || !tool->drawing) return false;
            if (!tool->Release() && session().ui.showError) session().ui.showError(kErrHistorySave);
            Repaint();
            return true;
        default: return false;
    }
}

}  // namespace

QRect PanePictureBlock(const Viewport& vp, int left, int top, int right, int bottom) {
    const double sx = vp.src.w > 0 ? static_cast<double>(vp.dest.w) / vp.src.w : 1.0;
    const double sy = vp.src.h > 0 ? static_cast<double>(vp.dest.h) / vp.src.h : 1.0;
    const int x0 = vp.dest.x + static_cast<int>(std::floor((left - vp.src.x) * sx));
    const int y0 = vp.dest.y + static_cast<int>(std::floor((top - vp.src.y) * sy));
    const int x1 = vp.dest.x + static_cast<int>(std::ceil((right - vp.src.x) * sx));
    const int y1 = vp.dest.y + static_cast<int>(std::ceil((bottom - vp.src.y) * sy));
    return QRect(x0 - 4, y0 - 4, x1 - x0 + 8, y1 - y0 + 8);
}

ViewPoint PanePicturePoint(const Viewport& vp, QPointF at) {
    const double sx = vp.dest.w > 0 ? static_cast<double>(vp.src.w) / vp.dest.w : 1.0;
    const double sy = vp.dest.h > 0 ? static_cast<double>(vp.src.h) / vp.dest.h : 1.0;
    return ViewPoint{vp.src.x + RoundAway((at.x() - vp.dest.x) * sx), vp.src.y + RoundAway((at.y() - vp.dest.y) * sy)};
}

QWidget* MakeBrushBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    auto ui = std::make_shared<BrushUi>();
    Current() = ui;
    ui->window = &window;
    ui->model = &model;
    ui->paint = def.kind == kOpPaint;
    // The title as it reads while a tool runs, put back when a colour pick or the tool ends.
    window.UpdateTitle();
    ui->title = window.windowTitle();
    IniFile ini;
    ini.Load(window.app().session().settingsPath);
    ui->prefs = ReadBrushPrefs(ini);

    auto* bar = new OperationBar(def);
    ui->bar = bar;
    // Seven radio buttons make a long row: OK and Cancel take no more than their text.
    for (QAbstractButton* b : {bar->okButton(), bar->cancelButton()})
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(b->text()) + 16);
    ControlStrip* strip = bar->controls();
    strip->SetDialogRunner([&window](QDialog& d) { return window.app().RunDialog(d); });
    const BrushPrefs& p = ui->prefs;
    if (ui->paint) {
        strip->SetValue(0, p.paintSize);
        strip->SetValue(1, (p.red << 16) | (p.green << 8) | p.blue);
        strip->SetValue(2, p.opacity);
    } else {
        strip->SetValue(0, p.mode);
        strip->SetValue(1, p.correctSize);
        ui->ShowStrength();
    }
    QObject::connect(bar, &OperationBar::command, &window, [&window](int id) { window.Command(id); });
    QObject::connect(bar, &OperationBar::keysSuspendedChanged, &window,
                     [&window](bool suspended) { window.app().SetAcceleratorsSuspended(suspended); });
    QObject::connect(bar, &OperationBar::valueChanged, bar, [ui](int param, int v) {
        BrushPrefs& q = ui->prefs;
        if (ui->paint) {
            if (param == 0) q.paintSize = v;
            if (param == 1) {
                q.red = static_cast<uint8_t>(v >> 16);
                q.green = static_cast<uint8_t>(v >> 8);
                q.blue = static_cast<uint8_t>(v);
            }
            if (param == 2) q.opacity = v;
        } else {
            if (param == 0) q.mode = v;
            if (param == 1) q.correctSize = v;
            if (param == 2 && q.mode < kBrushDenoise) q.strength[static_cast<size_t>(q.mode)] = v;
            if (param == 0) ui->ShowStrength();
        }
        ui->Apply();
    });
    QObject::connect(bar, &OperationBar::buttonClicked, bar, [ui, &window](int id) {
        BrushTool* tool = ui->Tool();
        if (!tool) return;
        if (id == kFillButton) {
            if (!tool->Fill() && ui->session().ui.showError) ui->session().ui.showError(kErrHistorySave);
            ui->Repaint();
        } else if (id == kPicButton && !ui->pick.armed) {
            const uint32_t colour = (ui->prefs.red << 16) | (ui->prefs.green << 8) | ui->prefs.blue;
            window.SetPaneLayout(ArmColourPick(ui->pick, kColourBoxId, window.layout(), colour));
            ui->escape = std::make_unique<EscapeFilter>(*ui);
        }
    });

    ui->outline = new BrushOutline(window.previewPane()->canvas(), window.viewport());
    ui->Apply();
    window.SetPaneMouseHandler([ui](int pane, QMouseEvent* e, const Viewport& vp) { return ui->Mouse(pane, e, vp); });
    window.SetOperationCommands(
        [ui](int id) {
            if (id != kCmdUndo && id != kCmdRedo) return false;
            if (StepBrushStrokes(*ui->model, ui->session(), id == kCmdUndo ? -1 : 1))
                ui->window->previewPane()->canvas()->PixelsChanged();
            return true;
        },
        [ui] {
            BrushTool* t = ui->Tool();
            return t ? std::pair<bool, bool>(t->strokes.CanUndo(), t->strokes.CanRedo())
                     : std::pair<bool, bool>(false, false);
        });
    window.UpdateToolBar();
    return bar;
}

void EndBrushUi(EditWindow& window) {
    std::shared_ptr<BrushUi> ui = std::move(Current());
    window.SetPaneMouseHandler(nullptr);
    window.SetOperationCommands(nullptr, nullptr);
    if (!ui) return;
    if (ui->pick.armed) ui->EndPick(false);
    ui->escape.reset();
    window.setWindowTitle(ui->title);
    delete ui->outline.data();
    const std::string& path = window.app().session().settingsPath;
    IniFile ini;
    // A settings file that is there but cannot be read is left alone.
    if (path.empty() || (!ini.Load(path) && std::filesystem::exists(path))) return;
    WriteBrushPrefs(ini, ui->prefs);
    ini.Save(path);
}

}  // namespace lumra::ui
