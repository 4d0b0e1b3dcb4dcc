#include "ui/feather_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "edit/select/selection_tool.h"
#include "ui/operation_bar.h"

namespace lumra::ui {

namespace {
constexpr int kMinRadius = 1;
constexpr int kMaxRadius = 100;
}  // namespace

FeatherDialog::FeatherDialog(int radius, QWidget* parent) : QDialog(parent), radius_(ClampFeatherRadius(radius)) {
    setWindowTitle(QStringLiteral("選択領域ぼかし"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    box_ = new QLineEdit(QString::number(radius_), this);
    box_->setObjectName(QStringLiteral("3810"));
    box_->setMaxLength(3);
    box_->setAttribute(Qt::WA_InputMethodEnabled, false);
    box_->setFixedWidth(box_->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
    upDown_ = new UpDownControl(this);
    upDown_->setObjectName(QStringLiteral("3820"));
    auto* hint = new QLabel(QStringLiteral("( %1 - %2 )").arg(kMinRadius).arg(kMaxRadius), this);
    hint->setObjectName(QStringLiteral("3830"));
    row->addWidget(box_);
    row->addWidget(upDown_);
    row->addWidget(hint);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    ok->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // A typed number is held to the range; anything else keeps the value.
    connect(box_, &QLineEdit::textChanged, this, [this](const QString& text) {
        bool number = false;
        const long long v = text.trimmed().toLongLong(&number);
        if (number) radius_ = static_cast<int>(std::clamp<long long>(v, kMinRadius, kMaxRadius));
    });
    connect(upDown_, &UpDownControl::stepped, this, [this](int steps) {
        box_->setText(QString::number(std::clamp(radius_ + steps, kMinRadius, kMaxRadius)));
    });
}

}  // namespace lumra::ui
