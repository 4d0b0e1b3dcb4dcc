// "選択領域ぼかし": the feather radius of the selection tool, 1..100.
#pragma once

#include <QDialog>

class QLineEdit;

namespace lumra::ui {

class UpDownControl;

class FeatherDialog : public QDialog {
    Q_OBJECT
public:
    FeatherDialog(int radius, QWidget* parent);
    // The radius as typed, held to 1..100.
    int radius() const { return radius_; }
    QLineEdit* box() const { return box_; }
    UpDownControl* upDown() const { return upDown_; }

private:
    QLineEdit* box_ = nullptr;
    UpDownControl* upDown_ = nullptr;
    int radius_ = 1;
};

}  // namespace lumra::ui
