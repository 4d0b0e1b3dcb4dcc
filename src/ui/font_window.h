// The text tool's floating window "フォント設定": the face, the character set, size,
// spacing, bold, italic and the shadow with its offset and colour.
#pragma once

#include <QWidget>
#include <vector>

#include "ui/colour_box.h"

class QComboBox;

namespace lumra {
struct TextSettings;
}

namespace lumra::ui {

class ControlStrip;

class FontWindow : public QWidget {
    Q_OBJECT
public:
    // Edits settings in place; owner is the operation bar.
    FontWindow(TextSettings& settings, const DialogRunner& run, QWidget* owner);
    ~FontWindow() override;

    QComboBox* faceList() const { return faces_; }
    // A control by its id (see the window's tables), or null.
    QWidget* control(int id) const;

signals:
    // A setting changed: rebuild the glyphs (true) or only render again (false).
    void changed(bool rebuild);
    // A number box took (true) or gave back (false) the keys.
    void keysSuspendedChanged(bool suspended);

private:
    void FillFaces();
    void OnValue(int param, int value);

    TextSettings& s_;
    QComboBox* faces_ = nullptr;
    std::vector<ControlStrip*> strips_;
};

}  // namespace lumra::ui
