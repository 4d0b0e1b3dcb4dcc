#include "ui/colour_box.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>

namespace lumra::ui {

namespace {

QColor ToQColor(uint32_t rgb) { return QColor::fromRgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

uint32_t FromQColor(const QColor& c) {
    return (static_cast<uint32_t>(c.red()) << 16) | (static_cast<uint32_t>(c.green()) << 8) |
           static_cast<uint32_t>(c.blue());
}

}  // namespace

std::optional<uint32_t> PickColour(QWidget* parent, uint32_t initial, const DialogRunner& run) {
    // QColorDialog keeps its custom colours in one process-wide array: every chooser of
    // the program shares them.
    QColorDialog dialog(ToQColor(initial), parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    const int result = run ? run(dialog) : dialog.exec();
    if (result != QDialog::Accepted) return std::nullopt;
    const QColor chosen = dialog.selectedColor().isValid() ? dialog.selectedColor() : dialog.currentColor();
    return FromQColor(chosen);
}

ColourBox::ColourBox(QWidget* parent, int id) : QWidget(parent), id_(id) {
    setFixedSize(18, 18);
    setCursor(Qt::PointingHandCursor);
}

void ColourBox::SetColour(uint32_t rgb) {
    colour_ = rgb & 0xFFFFFF;
    update();
}

void ColourBox::SetLiveColour(std::optional<uint32_t> rgb) {
    if (rgb) *rgb &= 0xFFFFFF;
    live_ = rgb;
    update();
}

void ColourBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Shadow));
    p.fillRect(rect().adjusted(1, 1, -1, -1), ToQColor(shownColour()));
}

void ColourBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const std::optional<uint32_t> chosen = PickColour(this, colour_, run_);
    if (!chosen) return;
    SetColour(*chosen);
    emit colourChosen(id_, colour_);
}

}  // namespace lumra::ui
