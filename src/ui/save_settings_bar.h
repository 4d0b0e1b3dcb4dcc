// The save-settings bar "保存設定": the format and depth lists, the tool bar of commands
// 5800-5890, the value fields of the chosen format and the transparent-colour swatch. It
// changes only the save settings and the picture's two switches; the trial save (5810) is
// run here, the pick and the comment dialog by the window that hosts the bar.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

#include "document/save_bar.h"
#include "ui/colour_box.h"

class QAction;
class QComboBox;
class QLabel;
class QToolBar;

namespace lumra {
struct Session;
}

namespace lumra::ui {

class ControlStrip;

class SaveSettingsBar : public QWidget {
    Q_OBJECT
public:
    explicit SaveSettingsBar(Session& session, QWidget* parent = nullptr);

    // Shows the settings and the picture as they are now (a new picture, the start or end
    // of an operation, the save dialog's type change).
    void Refresh();
    // Commands 5800-5890 from the buttons or the keys; false when not available now.
    bool RunCommand(int id);
    // The end of the transparent-colour pick this bar asked for: a colour, or nothing
    // when it was cancelled.
    void FinishTransparentPick(std::optional<uint32_t> rgb);
    void SetDialogRunner(const DialogRunner& run);

    QComboBox* formatList() const { return formats_; }
    QComboBox* depthList() const { return depths_; }
    QAction* action(int id) const;
    ControlStrip* fieldGroup(int group) const { return groups_[static_cast<size_t>(group)]; }
    ColourBox* transparentSwatch() const { return swatch_; }

signals:
    void settingsChanged();
    // 5810 ran the trial save; the host shows the preview pane and the size in the title.
    void previewDone(bool ok);
    // 5830 was turned on: the host arms the colour pick and calls FinishTransparentPick.
    void transparentPickRequested();
    // 5890 while the switch is off: the host opens "コメント作成" and calls Refresh.
    void commentRequested();
    void keysSuspendedChanged(bool suspended);

private:
    Session& session_;
    QLabel* caption_ = nullptr;
    QComboBox* formats_ = nullptr;
    QComboBox* depths_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    std::array<ControlStrip*, kSaveFieldGroupCount> groups_{};
    QWidget* swatchField_ = nullptr;
    ColourBox* swatch_ = nullptr;
    bool refreshing_ = false;
};

}  // namespace lumra::ui
