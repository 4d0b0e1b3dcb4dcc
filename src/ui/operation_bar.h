// The operation bar: OK (5900) and Cancel (5901), the operation's caption and its controls,
// built from the operation's control table. ControlStrip is the part built from a table; the
// save-settings bar uses it too.
//
// A host wires command() to its command handler (OK ends the operation, Cancel drops it),
// valueChanged(param, v) to the operation's parameter param followed by a recompute request,
// and keysSuspendedChanged() to the accelerator suspension.
#pragma once

#include <QLabel>
#include <QWidget>
#include <map>
#include <span>
#include <vector>

#include "edit/bar_controls.h"
#include "ui/colour_box.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QSlider;

namespace lumra {
struct OperationDef;
}

namespace lumra::ui {

// Two small arrow buttons that step a number.
class UpDownControl : public QWidget {
    Q_OBJECT
public:
    explicit UpDownControl(QWidget* parent);
    QAbstractButton* upButton() const { return up_; }
    QAbstractButton* downButton() const { return down_; }
signals:
    void stepped(int steps);

private:
    QAbstractButton* up_ = nullptr;
    QAbstractButton* down_ = nullptr;
};

// The controls of a table in one row. Controls sharing a param show one value: moving the
// trackbar writes its edit box, the box's number (clamped) moves the trackbar and the
// up-down, and so on. Values written by the program raise no signal (the controls-live flag
// is off meanwhile).
class ControlStrip : public QWidget {
    Q_OBJECT
public:
    ControlStrip(std::span<const BarControl> controls, int paramCount, QWidget* parent);
    ~ControlStrip() override;

    int value(int param) const;
    // Writes a value into the controls of its param (clamped), without signals.
    void SetValue(int param, int value);
    // Another range for the controls of a param (a mode change); the value is clamped.
    void SetRange(int param, int min, int max);
    void SetParamEnabled(int param, bool enabled);
    // The widget of a control id (QSlider, QLineEdit, UpDownControl, QCheckBox,
    // QRadioButton, QPushButton, ColourBox, QComboBox, QLabel).
    QWidget* control(int id) const;
    QLineEdit* editBox(int param) const;
    bool controlsLive() const { return live_; }
    // Whether an edit box has the keys now (the accelerators are suspended).
    bool keysSuspended() const { return suspended_; }
    void SetDialogRunner(const DialogRunner& run);

signals:
    // The user changed a value.
    void valueChanged(int param, int value);
    // A push button ("Pic", "フォント", ...) was clicked.
    void buttonClicked(int id);
    // An edit box took (true) or gave back (false) the keyboard focus.
    void keysSuspendedChanged(bool suspended);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        BarControl control;
        QWidget* widget = nullptr;
    };
    void Build(std::span<const BarControl> controls);
    BarControl Ranged(const BarControl& c) const;
    const Entry* EditEntry(int param) const;
    // The user moved a value to v (already clamped) from the widget source.
    void Store(int param, int v, QWidget* source);
    void Show(int param, QWidget* except);
    void OnTrackbar(const Entry& e, int position);
    void OnEditText(const Entry& e, const QString& text);
    void OnUpDown(const Entry& e, int steps);

    std::vector<Entry> entries_;
    std::vector<int> values_;
    std::vector<std::pair<int, int>> ranges_;
    bool live_ = false;
    bool suspended_ = false;
};

// The bar of an active operation.
class OperationBar : public QWidget {
    Q_OBJECT
public:
    OperationBar(const QString& caption, std::span<const BarControl> controls, QWidget* parent = nullptr);
    // The operation's own table and its history name as the caption.
    explicit OperationBar(const OperationDef& def, QWidget* parent = nullptr);
    ~OperationBar() override;

    QString caption() const { return caption_->text(); }
    void SetCaption(const QString& caption) { caption_->setText(caption); }
    ControlStrip* controls() const { return strip_; }
    QAbstractButton* okButton() const { return ok_; }
    QAbstractButton* cancelButton() const { return cancel_; }

signals:
    // 5900 OK or 5901 Cancel.
    void command(int id);
    void valueChanged(int param, int value);
    void buttonClicked(int id);
    void keysSuspendedChanged(bool suspended);

private:
    QLabel* caption_ = nullptr;
    QAbstractButton* ok_ = nullptr;
    QAbstractButton* cancel_ = nullptr;
    ControlStrip* strip_ = nullptr;
};

}  // namespace lumra::ui
