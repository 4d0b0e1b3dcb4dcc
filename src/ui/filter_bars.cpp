#include "ui/filter_bars.h"

#include <memory>
#include <string>

#include "edit/edit_model.h"
#include "edit/filter/filter_ops.h"
#include "shell/ini_file.h"
#include "shell/select_filter_settings.h"
#include "shell/session.h"
#include "ui/app.h"
#include "ui/edit_window.h"
#include "ui/operation_bar.h"

namespace lumra::ui {

namespace {

FilterSettings ReadSettings(const std::string& path) {
    IniFile ini;
    ini.Load(path);
    return ReadFilterSettings(ini);
}

// Keeps the filter's values as the user sets them and writes them back when the bar goes.
class FilterSettingsKeeper : public QObject {
public:
    FilterSettingsKeeper(QObject* bar, std::string path, const OperationDef& def)
        : QObject(bar), path_(std::move(path)), def_(def), settings_(ReadSettings(path_)) {}
    ~FilterSettingsKeeper() override {
        if (path_.empty()) return;
        IniFile ini;
        ini.Load(path_);
        WriteFilterSettings(ini, settings_);
        ini.Save(path_);
    }
    void Take(const PreviewState& state) { StoreFilterParams(def_, state, settings_); }

private:
    std::string path_;
    const OperationDef& def_;
    FilterSettings settings_;
};

}  // namespace

void SeedFilter(Session& session, EditModel& model) {
    if (!model.active || !model.active->preview) return;
    SetFilterParams(*model.active->def, *model.active->preview, ReadSettings(session.settingsPath));
}

QWidget* MakeFilterBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    auto* bar = new OperationBar(def);
    std::shared_ptr<PreviewState> state = model.active ? model.active->preview : nullptr;
    auto* keeper = new FilterSettingsKeeper(bar, window.app().settingsPath(), def);
    ControlStrip* controls = bar->controls();
    if (state) {
        keeper->Take(*state);
        if (def.kind == kOpBlur) controls->SetRange(kBlurLevel, 0, BlurLevelMax(state->params[kBlurMode]));
        for (int p = 0; p < def.controlCount; ++p) {
            const int param = def.controls[p].param;
            if (param >= 0) controls->SetValue(param, state->params[static_cast<size_t>(param)].load());
        }
    }
    QObject::connect(bar, &OperationBar::command, &window, [&window](int id) { window.Command(id); });
    QObject::connect(bar, &OperationBar::keysSuspendedChanged, &window,
                     [&window](bool suspended) { window.app().SetAcceleratorsSuspended(suspended); });
    const int kind = def.kind;
    QObject::connect(bar, &OperationBar::valueChanged, bar,
                     [&model, state, keeper, controls, kind](int param, int value) {
        if (!state || param < 0 || param >= kMaxOperationParams) return;
        bool recompute = true;
        if (kind == kOpBlur && param == kBlurMode) {
            // The level's range follows the kernel; a level above it comes down.
            const int level = BlurLevelForMode(value, state->params[kBlurLevel]);
            state->params[kBlurMode] = value;
            state->params[kBlurLevel] = level;
            controls->SetRange(kBlurLevel, 0, BlurLevelMax(value));
            controls->SetValue(kBlurLevel, level);
            recompute = level != 0;
        } else {
            state->params[static_cast<size_t>(param)] = value;
        }
        keeper->Take(*state);
        if (recompute) RequestRecompute(model);
    });
    return bar;
}

bool FilterStartWaits(int kind) {
    return kind == kOpSoftFocus;  // the radius-20 reference
}

}  // namespace lumra::ui
