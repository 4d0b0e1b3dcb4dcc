#include "ui/operation_ui.h"

#include "edit/brush/brush_tool.h"
#include "edit/edit_model.h"
#include "edit/text/text_tool.h"
#include "ui/app.h"
#include "ui/brush_bar.h"
#include "ui/edit_window.h"
#include "ui/filter_bars.h"
#include "ui/geometry_ui.h"
#include "ui/operation_bar.h"
#include "ui/selection_bar.h"
#include "ui/text_bar.h"
#include "ui/tone_bars.h"

namespace lumra::ui {
namespace {

// By family; each family fills in its own rows.
const OperationUi kOperationUis[] = {
    // selection
    {kOpSelection, SeedSelectionTool, MakeSelectionBar, nullptr, SelectionToolEnded},
    // brushes and text
    {kOpPaint, nullptr, MakeBrushBar, nullptr, EndBrushUi},
    {kOpPartialBrush, nullptr, MakeBrushBar, nullptr, EndBrushUi},
    {kOpText, nullptr, MakeTextBar, nullptr, EndTextUi},
    // geometry
    {kOpTrim, SeedGeometry, MakeTrimBar, StoreGeometry, EndGeometry},
    {kOpResize, SeedGeometry, MakeResizeBar, StoreGeometry, EndGeometry},
    {kOpRotate, SeedGeometry, MakeRotateBar, StoreGeometry, EndGeometry},
    // tone
    {kOpHistogram, nullptr, MakeLevelsBar, nullptr, EndToneBar},
    {kOpGamma, nullptr, MakeToneBar, nullptr, EndToneBar},
    {kOpBrightness, nullptr, MakeToneBar, nullptr, EndToneBar},
    {kOpContrast, nullptr, MakeToneBar, nullptr, EndToneBar},
    // colour
    {kOpHueSaturation, SeedHueSaturation, MakeHueSaturationBar, nullptr, EndColourBar},
    {kOpColourReplace, SeedReplace, MakeReplaceBar, nullptr, EndColourBar},
    // filters
    {kOpUnsharp, SeedFilter, MakeFilterBar, nullptr, nullptr},
    {kOpBlur, SeedFilter, MakeFilterBar, nullptr, nullptr},
    {kOpSoftFocus, SeedFilter, MakeFilterBar, nullptr, nullptr},
    {kOpNoise, SeedFilter, MakeFilterBar, nullptr, nullptr},
    // end
    {0},
};

}  // namespace

std::span<const OperationUi> OperationUiTable() { return kOperationUis; }

const OperationUi* FindOperationUi(int kind) {
    for (const OperationUi& u : kOperationUis)
        if (u.kind != 0 && u.kind == kind) return &u;
    return nullptr;
}

const ImageBuffer* OperationPicture(EditModel& model) {
    if (BrushTool* brush = ActiveBrush(model)) return &brush->working;
    if (TextTool* text = ActiveText(model)) return &text->dib;
    return nullptr;
}

QWidget* MakeOperationBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    if (const OperationUi* u = FindOperationUi(def.kind); u && u->makeBar) return u->makeBar(window, model, def);
    if (!def.controls || def.controlCount <= 0) return nullptr;
    auto* bar = new OperationBar(def);
    // The bar shows the values the operation started with (its defaults or the settings).
    if (model.active && model.active->preview)
        for (int p = 0; p < kMaxOperationParams; ++p)
            bar->controls()->SetValue(p, model.active->preview->params[static_cast<size_t>(p)].load());
    QObject::connect(bar, &OperationBar::command, &window, [&window](int id) { window.Command(id); });
    QObject::connect(bar, &OperationBar::valueChanged, &window, [&model](int param, int value) {
        if (!model.active || !model.active->preview || param < 0 || param >= kMaxOperationParams) return;
        model.active->preview->params[static_cast<size_t>(param)].store(value);
        RequestRecompute(model);
    });
    QObject::connect(bar, &OperationBar::keysSuspendedChanged, &window,
                     [&window](bool suspended) { window.app().SetAcceleratorsSuspended(suspended); });
    return bar;
}

}  // namespace lumra::ui
