// "主なマウス操作": the main mouse gestures, shown at start while MouseInfo is set.
#pragma once

#include <QDialog>

class QCheckBox;

namespace lumra::ui {

class MouseInfoDialog : public QDialog {
    Q_OBJECT
public:
    // mouseInfo: the current setting (the check box is checked when it is off).
    MouseInfoDialog(QWidget* owner, bool mouseInfo);

    QCheckBox* dontShowBox() const { return dontShow_; }
    // The setting after OK: the inverse of the check box.
    int MouseInfoAfterOk() const;

private:
    QCheckBox* dontShow_ = nullptr;
};

}  // namespace lumra::ui
