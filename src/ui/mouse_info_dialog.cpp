#include "ui/mouse_info_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/messages.h"

namespace lumra::ui {

MouseInfoDialog::MouseInfoDialog(QWidget* owner, bool mouseInfo) : QDialog(owner) {
    setWindowTitle(QString::fromUtf8(kMouseInfoTitle));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(16);
    // Each line is "gesture<tabs>= effect": the tabs become the column gap.
    int row = 0;
    for (const char* line : kMouseInfoLines) {
        const QString text = QString::fromUtf8(line);
        const int tab = text.indexOf(QLatin1Char('\t'));
        const QString gesture = tab < 0 ? text : text.left(tab);
        QString effect = tab < 0 ? QString() : text.mid(tab);
        while (effect.startsWith(QLatin1Char('\t'))) effect.remove(0, 1);
        grid->addWidget(new QLabel(gesture, this), row, 0);
        grid->addWidget(new QLabel(effect, this), row, 1);
        ++row;
    }
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(QString::fromUtf8(kMouseInfoNote), this));
    layout->addSpacing(8);

    auto* bottom = new QHBoxLayout();
    dontShow_ = new QCheckBox(QString::fromUtf8(kMouseInfoCheck), this);
    dontShow_->setChecked(!mouseInfo);
    bottom->addWidget(dontShow_);
    bottom->addStretch(1);
    auto* ok = new QPushButton(QString::fromUtf8(kOkText), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    bottom->addWidget(ok);
    layout->addLayout(bottom);
    setSizeGripEnabled(false);
}

int MouseInfoDialog::MouseInfoAfterOk() const { return dontShow_->isChecked() ? 0 : 1; }

}  // namespace lumra::ui
