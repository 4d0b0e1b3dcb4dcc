#include "ui/text_bar.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <filesystem>
#include <memory>

#include "edit/text/text_tool.h"
#include "shell/ini_file.h"
#include "shell/session.h"
#include "shell/tool_settings.h"
#include "ui/app.h"
#include "ui/brush_bar.h"
#include "ui/edit_window.h"
#include "ui/font_window.h"
#include "ui/operation_bar.h"
#include "ui/picture_canvas.h"

namespace lumra::ui {
namespace {

constexpr int kTextBox = 2600;
constexpr int kFontButton = 2601;

struct TextUi {
    EditWindow* window = nullptr;
    EditModel* model = nullptr;
    TextSettings settings;  // what the controls hold; written back at the end
    QPointer<OperationBar> bar;
    QPointer<FontWindow> font;
    bool dragging = false;
    ViewPoint last;

    Session& session() const { return window->app().session(); }
    // The tool takes the settings; glyphs built again or only drawn again at the origin.
    void Changed(bool rebuild) {
        TextTool* tool = ActiveText(*model);
        if (!tool) return;
        tool->settings = settings;
        if (!rebuild) {
            tool->Render(tool->x, tool->y);
        } else if (tool->Rebuild() == GlyphBuild::kFailed && session().ui.showError) {
            session().ui.showError(kErrMemory);
        }
        window->previewPane()->canvas()->PixelsChanged();
    }
    bool Mouse(int pane, QMouseEvent* event, const Viewport& vp);
};

std::shared_ptr<TextUi>& Current() {
    static std::shared_ptr<TextUi> ui;
    return ui;
}

bool TextUi::Mouse(int pane, QMouseEvent* event, const Viewport& vp) {
    TextTool* tool = ActiveText(*model);
    if (pane != 1 || !tool) return false;
    QWidget* canvas = window->previewPane()->canvas();
    const ViewPoint p = PanePicturePoint(vp, event->position());
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (event->button() != Qt::LeftButton) return false;
            dragging = true;
            last = p;
            return true;
        case QEvent::MouseMove:
            if (!dragging) return false;
            if (p.x != last.x || p.y != last.y) {
                tool->MoveBy(p.x - last.x, p.y - last.y);
                last = p;
                static_cast<PictureCanvas*>(canvas)->PixelsChanged();
            }
            return true;
        case QEvent::MouseButtonRelease:
            if (event->button() != Qt::LeftButton || !dragging) return false;
            dragging = false;
            static_cast<PictureCanvas*>(canvas)->PixelsChanged();
            return true;
        default: return false;
    }
}

int Rgb(uint8_t r, uint8_t g, uint8_t b) { return (r << 16) | (g << 8) | b; }

}  // namespace

QWidget* MakeTextBar(EditWindow& window, EditModel& model, const OperationDef& def) {
    auto ui = std::make_shared<TextUi>();
    Current() = ui;
    ui->window = &window;
    ui->model = &model;
    IniFile ini;
    ini.Load(window.app().session().settingsPath);
    ui->settings = ReadTextSettings(ini);
    // The text starts at the top-left of the visible part of the picture.
    if (TextTool* tool = ActiveText(model)) {
        tool->dpi = window.previewPane()->canvas()->logicalDpiY();
        tool->x = window.viewport().src.x;
        tool->y = window.viewport().src.y;
    }
    ui->Changed(true);

    auto* bar = new OperationBar(def);
    ui->bar = bar;
    ControlStrip* strip = bar->controls();
    const DialogRunner run = [&window](QDialog& d) { return window.app().RunDialog(d); };
    strip->SetDialogRunner(run);
    const TextSettings& s = ui->settings;
    strip->SetValue(0, Rgb(s.red, s.green, s.blue));
    strip->SetValue(1, s.opacity);
    if (auto* box = qobject_cast<QLineEdit*>(strip->control(kTextBox))) {
        box->setText(QString::fromStdString(s.text));
        QObject::connect(box, &QLineEdit::textChanged, bar, [ui](const QString& text) {
            ui->settings.text = text.toStdString();
            ui->Changed(true);
        });
    }
    QObject::connect(bar, &OperationBar::command, &window, [&window](int id) { window.Command(id); });
    QObject::connect(bar, &OperationBar::keysSuspendedChanged, &window,
                     [&window](bool suspended) { window.app().SetAcceleratorsSuspended(suspended); });
    QObject::connect(bar, &OperationBar::valueChanged, bar, [ui](int param, int v) {
        if (param == 0) {
            ui->settings.red = static_cast<uint8_t>(v >> 16);
            ui->settings.green = static_cast<uint8_t>(v >> 8);
            ui->settings.blue = static_cast<uint8_t>(v);
        } else if (param == 1) {
            ui->settings.opacity = v;
        }
        ui->Changed(false);
    });

    auto* font = new FontWindow(ui->settings, run, bar);
    ui->font = font;
    QObject::connect(font, &FontWindow::changed, bar, [ui](bool rebuild) { ui->Changed(rebuild); });
    QObject::connect(font, &FontWindow::keysSuspendedChanged, &window,
                     [&window](bool suspended) { window.app().SetAcceleratorsSuspended(suspended); });
    QObject::connect(bar, &OperationBar::buttonClicked, bar, [ui](int id) {
        if (id != kFontButton || !ui->font || !ui->bar) return;
        if (ui->font->isVisible()) {
            ui->font->hide();
            return;
        }
        // Just below the button.
        if (QWidget* button = ui->bar->controls()->control(kFontButton))
            ui->font->move(button->mapToGlobal(QPoint(0, button->height())));
        ui->font->show();
    });
    window.SetPaneMouseHandler([ui](int pane, QMouseEvent* e, const Viewport& vp) { return ui->Mouse(pane, e, vp); });
    return bar;
}

FontWindow* TextFontWindow() {
    const std::shared_ptr<TextUi>& ui = Current();
    return ui ? ui->font.data() : nullptr;
}

void EndTextUi(EditWindow& window) {
    std::shared_ptr<TextUi> ui = std::move(Current());
    window.SetPaneMouseHandler(nullptr);
    if (!ui) return;
    delete ui->font.data();
    const std::string& path = window.app().session().settingsPath;
    IniFile ini;
    // A settings file that is there but cannot be read is left alone.
    if (path.empty() || (!ini.Load(path) && std::filesystem::exists(path))) return;
    WriteTextSettings(ini, ui->settings);
    ini.Save(path);
}

}  // namespace lumra::ui
