#include "ui/tone_bars.h"

#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <optional>
#include <utility>

#include "edit/colour/colour_ops.h"
#include "edit/edit_model.h"
#include "edit/tone/tone_ops.h"
#include "shell/colour_settings.h"
#include "shell/ini_file.h"
#include "shell/session.h"
#include "ui/app.h"
#include "ui/edit_window.h"
#include "ui/histogram_window.h"
#include "ui/operation_bar.h"

namespace lumra::ui {

namespace {

// The bar that is up, with what it needs after the operation's record is gone.
struct BarState {
    QPointer<OperationBar> bar;
    QPointer<HistogramWindow> histogram;
    int kind = 0;
};

BarState& State() {
    static BarState state;
    return state;
}

PreviewState* Preview(EditModel& model) {
    return model.active && model.active->preview ? model.active->preview.get() : nullptr;
}

int Param(const PreviewState& p, int i) { return p.params[static_cast<size_t>(i)].load(); }
void SetParam(PreviewState& p, int i, int v) { p.params[static_cast<size_t>(i)].store(v); }

uint32_t Rgb(int r, int g, int b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}
void SplitRgb(PreviewState& p, int first, uint32_t rgb) {
    SetParam(p, first, static_cast<int>((rgb >> 16) & 0xFF));
    SetParam(p, first + 1, static_cast<int>((rgb >> 8) & 0xFF));
    SetParam(p, first + 2, static_cast<int>(rgb & 0xFF));
}

// The bar of an operation row, its values from the parameters, OK / Cancel and the keys wired.
OperationBar* NewBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    auto* bar = new OperationBar(def);
    if (PreviewState* p = Preview(model))
        for (int i = 0; i < kMaxOperationParams; ++i) bar->controls()->SetValue(i, Param(*p, i));
    QObject::connect(bar, &OperationBar::command, &window, [&window](int id) { window.Command(id); });
    QObject::connect(bar, &OperationBar::keysSuspendedChanged, &window,
                     [&window](bool suspended) { window.app().SetAcceleratorsSuspended(suspended); });
    // Narrow "Pic" buttons leave the band room for the rest.
    for (int id : {1680, 2260, 2261})
        if (auto* pic = qobject_cast<QPushButton*>(bar->controls()->control(id)))
            pic->setFixedWidth(pic->fontMetrics().horizontalAdvance(pic->text()) + 16);
    BarState& s = State();
    s.bar = bar;
    s.kind = def.kind;
    return bar;
}

// ---- gamma, brightness, contrast ----

void ShowSync(ControlStrip* strip, bool on) {
    for (int id : {1522, 1521, 1520})
        if (QWidget* w = strip->control(id)) w->setEnabled(!on);
    strip->SetParamEnabled(kToneG, !on);
    strip->SetParamEnabled(kToneB, !on);
    if (QWidget* w = strip->control(1510)) w->setEnabled(on);
}

void OnToneValue(EditModel& model, ControlStrip* strip, int param, int v) {
    PreviewState* p = Preview(model);
    if (!p) return;
    SetParam(*p, param, v);
    const bool sync = Param(*p, kToneSync) != 0;
    if (param == kToneSync) ShowSync(strip, sync);
    if (param == kToneSync && !sync) return;  // the values stay as they are
    if (sync) {
        const int r = Param(*p, kToneR);
        for (int c : {kToneG, kToneB}) {
            SetParam(*p, c, r);
            strip->SetValue(c, r);
        }
    }
    RequestRecompute(model);
}

// ---- levels ----

LevelsPair SelectedPair(const PreviewState& p) {
    const int c = Param(p, kLevelsSelected);
    return {Param(p, 2 * c), Param(p, 2 * c + 1)};
}

void RepaintHistogram() {
    if (HistogramWindow* h = State().histogram) {
        h->graph()->update();
        h->ramp()->update();
    }
}

// Min or Max typed, stepped or set from the histogram window: the box rules, then the pair.
void SetLevelsBox(EditModel& model, ControlStrip* strip, int param, int v, bool live) {
    PreviewState* p = Preview(model);
    if (!p) return;
    const int c = Param(*p, kLevelsSelected);
    const int stored = param == kLevelsShownMin ? LevelsMinimumBox(v, Param(*p, 2 * c + 1))
                                                : LevelsMaximumBox(v, Param(*p, 2 * c));
    SetParam(*p, param == kLevelsShownMin ? 2 * c : 2 * c + 1, stored);
    SetParam(*p, param, stored);
    if (strip->value(param) != stored) strip->SetValue(param, stored);
    RepaintHistogram();
    if (live) RequestRecompute(model);
}

void ShowSelectedPair(PreviewState& p, ControlStrip* strip) {
    const LevelsPair pair = SelectedPair(p);
    SetParam(p, kLevelsShownMin, pair.lo);
    SetParam(p, kLevelsShownMax, pair.hi);
    strip->SetValue(kLevelsShownMin, pair.lo);
    strip->SetValue(kLevelsShownMax, pair.hi);
}

void OnLevelsValue(EditModel& model, ControlStrip* strip, int param, int v) {
    PreviewState* p = Preview(model);
    if (!p) return;
    switch (param) {
        case kLevelsSelected:
            SetParam(*p, kLevelsSelected, v);
            ShowSelectedPair(*p, strip);
            RepaintHistogram();
            RequestRecompute(model);
            break;
        case kLevelsShownMin:
        case kLevelsShownMax: SetLevelsBox(model, strip, param, v, true); break;
        case kLevelsWindow:
            if (HistogramWindow* h = State().histogram) h->setVisible(v != 0);
            break;
        default: break;
    }
}

void PlaceHistogram(EditWindow& window, HistogramWindow& h) {
    // The rows as they are with the operation bar in its band.
    if (QLayout* rows = static_cast<QWidget&>(window).layout()) rows->activate();
    const QPoint right = window.mapToGlobal(QPoint(window.width(), 0));
    h.move(right.x() - h.frameGeometry().width(), window.ToolBarBottom());
}

// ---- hue / saturation and colour replacement ----

std::pair<int, int> HlsRange(int mode) { return mode == 0 ? std::pair{-180, 180} : std::pair{-255, 255}; }

void OnHlsValue(EditModel& model, ControlStrip* strip, int param, int v) {
    PreviewState* p = Preview(model);
    if (!p) return;
    switch (param) {
        case kHlsMode: {
            // A new mode shows its own value and range; nothing to compute.
            SetParam(*p, kHlsMode, v);
            const auto [lo, hi] = HlsRange(v);
            strip->SetRange(kHlsShown, lo, hi);
            strip->SetValue(kHlsShown, Param(*p, v));
            SetParam(*p, kHlsShown, Param(*p, v));
            return;
        }
        case kHlsShown: SetParam(*p, Param(*p, kHlsMode), v); break;
        case kHlsColour: SplitRgb(*p, kHlsColR, static_cast<uint32_t>(v)); break;
        default: break;
    }
    SetParam(*p, param, v);
    RequestRecompute(model);
}

void OnReplaceValue(EditModel& model, int param, int v) {
    PreviewState* p = Preview(model);
    if (!p) return;
    SetParam(*p, param, v);
    if (param == kRpcSrcColour) SplitRgb(*p, kRpcSrcR, static_cast<uint32_t>(v));
    if (param == kRpcDstColour) SplitRgb(*p, kRpcDstR, static_cast<uint32_t>(v));
    RequestRecompute(model);
}

// The colour box a "Pic" button picks for, and its param.
int PickBox(int button) { return button == 1680 ? 1670 : button == 2260 ? 2250 : 2251; }
int BoxParam(int box) {
    if (box == 1670) return kHlsColour;
    return box == 2250 ? kRpcSrcColour : kRpcDstColour;
}

// While a pick is armed every colour box of the bar shows the colour under the pointer.
void ShowLiveColour(ControlStrip* strip, std::optional<uint32_t> live) {
    for (int id : {1670, 2250, 2251})
        if (auto* box = qobject_cast<ColourBox*>(strip->control(id))) box->SetLiveColour(live);
}

// The end of a pick: an accepted colour goes into its box and the preview follows.
void PickDone(EditModel& model, int box, std::optional<uint32_t> colour) {
    BarState& s = State();
    if (!s.bar || !colour) return;
    ControlStrip* strip = s.bar->controls();
    const int param = BoxParam(box);
    strip->SetValue(param, static_cast<int>(*colour));
    if (s.kind == kOpHueSaturation) OnHlsValue(model, strip, param, static_cast<int>(*colour));
    else OnReplaceValue(model, param, static_cast<int>(*colour));
}

void ArmPick(EditWindow& window, EditModel& model, int button) {
    BarState& s = State();
    if (window.colourPickArmed() || !s.bar) return;
    const int box = PickBox(button);
    const uint32_t initial = static_cast<uint32_t>(s.bar->controls()->value(BoxParam(box)));
    EditWindow::PickClient client;
    client.live = [](std::optional<uint32_t> live) {
        if (BarState& st = State(); st.bar) ShowLiveColour(st.bar->controls(), live);
    };
    client.done = [&model](int target, std::optional<uint32_t> colour) { PickDone(model, target, colour); };
    window.StartColourPick(box, initial, std::move(client));
}

void WireColourBar(EditWindow& window, EditModel& model, OperationBar* bar) {
    QObject::connect(bar, &OperationBar::buttonClicked, &window,
                     [&window, &model](int id) { ArmPick(window, model, id); });
    bar->controls()->SetDialogRunner([&window](QDialog& d) { return window.app().RunDialog(d); });
}

// ImgC from the file, and back.
ColourSettings LoadColourSettings(const Session& session) {
    IniFile ini;
    if (!session.settingsPath.empty()) ini.Load(session.settingsPath);
    return ReadColourSettings(ini);
}

void SaveColourSettings(const Session& session, const ColourSettings& c) {
    if (session.settingsPath.empty()) return;
    IniFile ini;
    ini.Load(session.settingsPath);
    WriteColourSettings(ini, c);
    ini.Save(session.settingsPath);
}

}  // namespace

QWidget* MakeToneBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    OperationBar* bar = NewBar(window, model, def);
    ControlStrip* strip = bar->controls();
    ShowSync(strip, strip->value(kToneSync) != 0);
    for (int id : {1532, 1531, 1530})
        if (auto* box = qobject_cast<QLineEdit*>(strip->control(id))) box->setAlignment(Qt::AlignRight);
    QObject::connect(bar, &OperationBar::valueChanged, &window,
                     [&model, strip](int param, int v) { OnToneValue(model, strip, param, v); });
    return bar;
}

QWidget* MakeLevelsBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    PreviewState* p = Preview(model);
    if (p) {
        const LevelsPair pair = SelectedPair(*p);
        SetParam(*p, kLevelsShownMin, pair.lo);
        SetParam(*p, kLevelsShownMax, pair.hi);
        SetParam(*p, kLevelsWindow, 1);
    }
    OperationBar* bar = NewBar(window, model, def);
    ControlStrip* strip = bar->controls();
    QObject::connect(bar, &OperationBar::valueChanged, &window,
                     [&model, strip](int param, int v) { OnLevelsValue(model, strip, param, v); });
    QObject::connect(bar, &OperationBar::buttonClicked, &window, [&model, strip](int id) {
        PreviewState* p = Preview(model);
        if (id != 1450 || !p) return;
        AutoLevelsSelected(*p);
        ShowSelectedPair(*p, strip);
        RepaintHistogram();
        RequestRecompute(model);
    });
    const LevelsHistogram* histogram = p ? LevelsHistogramOf(*p) : nullptr;
    if (histogram) {
        HistogramWindow::Hooks hooks;
        hooks.channel = [&model] {
            PreviewState* q = Preview(model);
            return q ? Param(*q, kLevelsSelected) : 3;
        };
        hooks.pair = [&model] {
            PreviewState* q = Preview(model);
            return q ? SelectedPair(*q) : LevelsPair{};
        };
        hooks.apply = [&model, strip](const HistogramMouse::Step& step) {
            if (step.minimum) SetLevelsBox(model, strip, kLevelsShownMin, *step.minimum, step.live);
            if (step.maximum) SetLevelsBox(model, strip, kLevelsShownMax, *step.maximum, step.live);
            if (step.recompute) RequestRecompute(model);
        };
        hooks.closed = [strip] {
            strip->SetValue(kLevelsWindow, 0);
        };
        auto* h = new HistogramWindow(*histogram, std::move(hooks), &window);
        State().histogram = h;
        h->show();
        PlaceHistogram(window, *h);
        // Again once the window manager has framed it, so that the frame's top is the edge.
        QTimer::singleShot(200, h, [&window, h] { PlaceHistogram(window, *h); });
    }
    return bar;
}

QWidget* MakeHueSaturationBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    if (PreviewState* p = Preview(model)) {
        SetParam(*p, kHlsColour,
                 static_cast<int>(Rgb(Param(*p, kHlsColR), Param(*p, kHlsColG), Param(*p, kHlsColB))));
        SetParam(*p, kHlsShown, Param(*p, Param(*p, kHlsMode)));
    }
    OperationBar* bar = NewBar(window, model, def);
    ControlStrip* strip = bar->controls();
    const auto [lo, hi] = HlsRange(strip->value(kHlsMode));
    strip->SetRange(kHlsShown, lo, hi);
    if (PreviewState* p = Preview(model)) strip->SetValue(kHlsShown, Param(*p, kHlsShown));
    QObject::connect(bar, &OperationBar::valueChanged, &window,
                     [&model, strip](int param, int v) { OnHlsValue(model, strip, param, v); });
    WireColourBar(window, model, bar);
    return bar;
}

QWidget* MakeReplaceBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    if (PreviewState* p = Preview(model)) {
        SetParam(*p, kRpcSrcColour,
                 static_cast<int>(Rgb(Param(*p, kRpcSrcR), Param(*p, kRpcSrcG), Param(*p, kRpcSrcB))));
        SetParam(*p, kRpcDstColour,
                 static_cast<int>(Rgb(Param(*p, kRpcDstR), Param(*p, kRpcDstG), Param(*p, kRpcDstB))));
    }
    OperationBar* bar = NewBar(window, model, def);
    // Two trackbars in one band: shorter ones leave room for the rest.
    for (int id : {2220, 2221})
        if (QWidget* t = bar->controls()->control(id)) t->setFixedWidth(80);
    QObject::connect(bar, &OperationBar::valueChanged, &window,
                     [&model](int param, int v) { OnReplaceValue(model, param, v); });
    WireColourBar(window, model, bar);
    return bar;
}

void SeedHueSaturation(Session& session, EditModel& model) {
    PreviewState* p = Preview(model);
    if (!p) return;
    const ColourSettings c = LoadColourSettings(session);
    SetParam(*p, kHlsMode, c.hlsMode);
    SetParam(*p, kHlsColR, c.hlsColR);
    SetParam(*p, kHlsColG, c.hlsColG);
    SetParam(*p, kHlsColB, c.hlsColB);
    SetParam(*p, kHlsRange, c.hlsRange);
}

void SeedReplace(Session& session, EditModel& model) {
    PreviewState* p = Preview(model);
    if (!p) return;
    const ColourSettings c = LoadColourSettings(session);
    const int values[] = {c.rpcCol0R, c.rpcCol0G, c.rpcCol0B, c.rpcRange, c.rpcCol1R, c.rpcCol1G, c.rpcCol1B, c.rpcLevel};
    for (int i = 0; i < 8; ++i) SetParam(*p, i, values[i]);
}

void EndToneBar(EditWindow&) {
    BarState& s = State();
    delete s.histogram.data();
    s = BarState{};
}

void EndColourBar(EditWindow& window) {
    BarState& s = State();
    window.EndColourPick(false);
    if (s.bar) {
        // The stored colours, range, strength and slider mode, whether OK or Cancel.
        const Session& session = window.app().session();
        ColourSettings c = LoadColourSettings(session);
        const ControlStrip* strip = s.bar->controls();
        auto rgb = [strip](int param, int& r, int& g, int& b) {
            const auto v = static_cast<uint32_t>(strip->value(param));
            r = static_cast<int>((v >> 16) & 0xFF);
            g = static_cast<int>((v >> 8) & 0xFF);
            b = static_cast<int>(v & 0xFF);
        };
        if (s.kind == kOpHueSaturation) {
            c.hlsMode = strip->value(kHlsMode);
            rgb(kHlsColour, c.hlsColR, c.hlsColG, c.hlsColB);
            c.hlsRange = strip->value(kHlsRange);
        } else {
            rgb(kRpcSrcColour, c.rpcCol0R, c.rpcCol0G, c.rpcCol0B);
            rgb(kRpcDstColour, c.rpcCol1R, c.rpcCol1G, c.rpcCol1B);
            c.rpcRange = strip->value(kRpcRange);
            c.rpcLevel = strip->value(kRpcStrength);
        }
        SaveColourSettings(session, c);
    }
    s = BarState{};
}

HistogramWindow* ActiveHistogramWindow() { return State().histogram; }

void ShowLuminanceHistogram(Session& session, QWidget* parent, const std::function<int(QDialog&)>& run) {
    if (!session.picture.HasPicture() || session.operationState != 0) return;
    LuminanceDialog dialog(LuminanceHistogram(session.picture.image), parent);
    if (run) run(dialog);
    else dialog.exec();
}

}  // namespace lumra::ui
