#include "ui/version_dialog.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPushButton>

#include "shell/program_info.h"

namespace lumra::ui {

namespace {

constexpr int kClientWidth = 235;
constexpr int kClientHeight = 104;

}  // namespace

LinkLabel::LinkLabel(const QString& address, QWidget* parent) : QLabel(address, parent) {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(p);
    setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

VersionDialog::VersionDialog(QWidget* owner, std::function<void()> openLink) : QDialog(owner) {
    setWindowTitle(QString::fromUtf8(lumra::kVersionTitle));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowSystemMenuHint);
    setFixedSize(kClientWidth, kClientHeight);

    version_ = new QLabel(QString::fromStdString(VersionLine()), this);
    version_->move(10, 10);
    notice_ = new QLabel(QString::fromUtf8(lumra::kNoticeLine), this);
    notice_->move(28, 30);
    link_ = new LinkLabel(QString::fromUtf8(lumra::kWebAddress), this);
    link_->move(45, 51);
    for (QLabel* label : {version_, notice_, static_cast<QLabel*>(link_)}) label->adjustSize();
    connect(link_, &LinkLabel::clicked, this, [openLink] {
        if (openLink) openLink();
    });

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(139, 75, 88, 21);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace lumra::ui
