#include "ui/tool_icons.h"

#include <QPainter>
#include <QPixmap>
#include <QPainterPath>

#include "shell/command_catalogue.h"

namespace lumra::ui {

namespace {

const QColor kInk(0x20, 0x30, 0x50);
const QColor kBlue(0x30, 0x70, 0xD0);
const QColor kGreen(0x20, 0x90, 0x50);
const QColor kFolder(0xE8, 0xB8, 0x40);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kRed(0xD0, 0x38, 0x30);

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& fill) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    p.fillPath(path, fill);
}

void Magnifier(QPainter& p, bool plus) {
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(kPaper);
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    p.setPen(QPen(kBlue, 1.5));
    p.drawLine(QPointF(3.5, 6), QPointF(8.5, 6));
    if (plus) p.drawLine(QPointF(6, 3.5), QPointF(6, 8.5));
}

void TurnArrow(QPainter& p, bool clockwise) {
    p.setPen(QPen(kBlue, 2));
    p.setBrush(Qt::NoBrush);
    const QRectF arc(2.5, 3, 11, 11);
    // An open circle with an arrow head at its upper end.
    if (clockwise) {
        p.drawArc(arc, 100 * 16, -280 * 16);
        Triangle(p, QPointF(8, 0.5), QPointF(12.5, 3.5), QPointF(8, 6.5), kBlue);
    } else {
        p.drawArc(arc, 80 * 16, 280 * 16);
        Triangle(p, QPointF(8, 0.5), QPointF(3.5, 3.5), QPointF(8, 6.5), kBlue);
    }
}

void Screen(QPainter& p) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xD8, 0xE8, 0xF8));
    p.drawRect(QRectF(1.5, 2.5, 13, 10));
}

// The edit window's own buttons.
void DrawEdit(QPainter& p, int id) {
    switch (id) {
        case kCmdSaveAs:
            p.setPen(QPen(kInk, 1));
            p.setBrush(kBlue);
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.fillRect(QRectF(4, 2, 8, 5), kPaper);
            p.fillRect(QRectF(5, 10, 6, 4), QColor(0xD8, 0xE8, 0xF8));
            break;
        case kCmdUndo:
        case kCmdRedo: {
            const bool back = id == kCmdUndo;
            p.setPen(QPen(kBlue, 2));
            p.setBrush(Qt::NoBrush);
            QPainterPath path;
            path.moveTo(back ? 4 : 12, 6);
            path.cubicTo(back ? 13 : 3, 6, back ? 14 : 2, 13, back ? 7 : 9, 13);
            p.drawPath(path);
            if (back) {
                Triangle(p, QPointF(0.5, 6), QPointF(5.5, 2), QPointF(5.5, 10), kBlue);
            } else {
                Triangle(p, QPointF(15.5, 6), QPointF(10.5, 2), QPointF(10.5, 10), kBlue);
            }
            break;
        }
        case kCmdHistoryWindow:
            p.setPen(QPen(kInk, 1));
            p.setBrush(kPaper);
            p.drawRect(QRectF(2.5, 1.5, 11, 13));
            p.setPen(QPen(kInk, 1));
            for (int y = 4; y <= 12; y += 3) p.drawLine(QPointF(4.5, y + 0.5), QPointF(11.5, y + 0.5));
            p.fillRect(QRectF(3, 9, 10, 3), QColor(0x30, 0x70, 0xD0, 0x80));
            break;
        case kCmdSideBySide:
        case kCmdSourceView:
        case kCmdPreviewView: {
            p.setPen(QPen(kInk, 1));
            p.setBrush(kPaper);
            p.drawRect(QRectF(0.5, 2.5, 15, 11));
            const QColor source(0xE8, 0xB8, 0x40);
            const QColor preview(0x30, 0x70, 0xD0);
            if (id == kCmdSideBySide) {
                p.fillRect(QRectF(2, 4, 5.5, 8), source);
                p.fillRect(QRectF(8.5, 4, 5.5, 8), preview);
            } else {
                p.fillRect(QRectF(2, 4, 12, 8), id == kCmdSourceView ? source : preview);
                p.setPen(QPen(kPaper, 1.5));
                const double x = 8;
                if (id == kCmdSourceView) {
                    p.drawLine(QPointF(x, 5.5), QPointF(x, 10.5));
                } else {
                    p.drawLine(QPointF(x - 2, 5.5), QPointF(x + 2, 5.5));
                    p.drawLine(QPointF(x + 2, 5.5), QPointF(x - 2, 10.5));
                    p.drawLine(QPointF(x - 2, 10.5), QPointF(x + 2, 10.5));
                }
            }
            break;
        }
        case kCmdScrollBars:
            Screen(p);
            p.fillRect(QRectF(11, 3, 3, 7), kBlue);
            p.fillRect(QRectF(2, 10, 9, 2.5), kBlue);
            break;
        case kCmdSelectionView:
            p.setPen(QPen(kInk, 1, Qt::DashLine));
            p.setBrush(QColor(0x30, 0x70, 0xD0, 0x50));
            p.drawRect(QRectF(2.5, 3.5, 11, 9));
            break;
        default:
            break;
    }
}

void Draw(QPainter& p, int id) {
    switch (id) {
        case kCmdOpen: {
            p.setPen(QPen(kInk, 1));
            p.setBrush(kFolder);
            QPainterPath back;
            back.moveTo(1.5, 3.5);
            back.lineTo(6, 3.5);
            back.lineTo(7.5, 5);
            back.lineTo(13.5, 5);
            back.lineTo(13.5, 13.5);
            back.lineTo(1.5, 13.5);
            back.closeSubpath();
            p.drawPath(back);
            p.setBrush(QColor(0xF8, 0xD8, 0x70));
            QPainterPath front;
            front.moveTo(1.5, 13.5);
            front.lineTo(4, 7.5);
            front.lineTo(15.5, 7.5);
            front.lineTo(13.5, 13.5);
            front.closeSubpath();
            p.drawPath(front);
            break;
        }
        case kCmdFileList:
            p.setPen(QPen(kInk, 1));
            p.setBrush(kPaper);
            p.drawRect(QRectF(2.5, 1.5, 11, 13));
            p.setPen(QPen(kBlue, 1));
            for (int y = 4; y <= 12; y += 2) p.drawLine(QPointF(4.5, y + 0.5), QPointF(11.5, y + 0.5));
            p.fillRect(QRectF(4, 8, 8, 2), QColor(0x30, 0x70, 0xD0, 0x60));
            break;
        case kCmdRotate270:
            TurnArrow(p, false);
            break;
        case kCmdRotate90:
            TurnArrow(p, true);
            break;
        case kCmdFit:
            Screen(p);
            p.setPen(QPen(kBlue, 1.5));
            p.drawLine(QPointF(4, 5), QPointF(12, 10));
            p.drawLine(QPointF(4, 10), QPointF(12, 5));
            Triangle(p, QPointF(3, 4), QPointF(6.5, 4.5), QPointF(3.5, 7), kBlue);
            Triangle(p, QPointF(13, 11), QPointF(9.5, 10.5), QPointF(12.5, 8), kBlue);
            Triangle(p, QPointF(13, 4), QPointF(9.5, 4.5), QPointF(12.5, 7), kBlue);
            Triangle(p, QPointF(3, 11), QPointF(6.5, 10.5), QPointF(3.5, 8), kBlue);
            break;
        case kCmdActualSize: {
            Screen(p);
            QFont f = p.font();
            f.setPixelSize(8);
            f.setBold(true);
            p.setFont(f);
            p.setPen(kInk);
            p.drawText(QRectF(1.5, 2.5, 13, 10), Qt::AlignCenter, QStringLiteral("1:1"));
            break;
        }
        case kCmdZoomIn:
            Magnifier(p, true);
            break;
        case kCmdZoomOut:
            Magnifier(p, false);
            break;
        case kCmdFirst:
            p.fillRect(QRectF(2, 3, 2, 10), kGreen);
            Triangle(p, QPointF(4.5, 8), QPointF(13, 3), QPointF(13, 13), kGreen);
            break;
        case kCmdPrevious:
            Triangle(p, QPointF(4, 8), QPointF(12, 3), QPointF(12, 13), kGreen);
            break;
        case kCmdNext:
            Triangle(p, QPointF(12, 8), QPointF(4, 3), QPointF(4, 13), kGreen);
            break;
        case kCmdLast:
            Triangle(p, QPointF(11.5, 8), QPointF(3, 3), QPointF(3, 13), kGreen);
            p.fillRect(QRectF(12, 3, 2, 10), kGreen);
            break;
        case kCmdSlideShow:
            Screen(p);
            Triangle(p, QPointF(6, 4.5), QPointF(11, 7.5), QPointF(6, 10.5), kGreen);
            p.setPen(QPen(kInk, 1));
            p.drawLine(QPointF(8, 12.5), QPointF(8, 15));
            p.drawLine(QPointF(5, 15), QPointF(11, 15));
            break;
        case kCmdEditWindow: {
            p.setPen(QPen(kInk, 1));
            p.setBrush(kPaper);
            p.drawRect(QRectF(1.5, 4.5, 9, 10));
            // A pencil over the page.
            QPainterPath pencil;
            pencil.moveTo(6, 12);
            pencil.lineTo(13, 2.5);
            pencil.lineTo(15, 4);
            pencil.lineTo(8, 13.5);
            pencil.lineTo(5.5, 14.5);
            pencil.closeSubpath();
            p.setBrush(QColor(0xF0, 0xA0, 0x30));
            p.drawPath(pencil);
            break;
        }
        case kCmdMinimize:
            p.fillRect(QRectF(3, 11, 10, 2.5), kInk);
            break;
        case kCmdFullScreen:
            p.setPen(QPen(kInk, 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(2.5, 2.5, 11, 11));
            p.fillRect(QRectF(2, 2, 12, 3), kBlue);
            break;
        case kCmdExit:
            p.setPen(QPen(kRed, 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
            p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
            break;
        default:
            DrawEdit(p, id);
            break;
    }
}

}  // namespace

QIcon ToolIcon(int id) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(16 * scale, 16 * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        Draw(painter, id);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A 32 x 32 cursor with arrows towards the sides where more picture lies; index is
// row * 3 + column of the reached edges (0 reached at left/top, 2 at right/bottom).
QCursor EdgeCursor(int index) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(Qt::black);
    const int column = index % 3;
    const int row = index / 3;
    auto arrow = [&p](QPointF tip, QPointF a, QPointF b) {
        QPainterPath path;
        path.moveTo(tip);
        path.lineTo(a);
        path.lineTo(b);
        path.closeSubpath();
        p.drawPath(path);
    };
    if (column != 0) arrow({2, 16}, {10, 9}, {10, 23});
    if (column != 2) arrow({30, 16}, {22, 9}, {22, 23});
    if (row != 0) arrow({16, 2}, {9, 10}, {23, 10});
    if (row != 2) arrow({16, 30}, {9, 22}, {23, 22});
    p.drawEllipse(QPointF(16, 16), 4, 4);
    p.end();
    return QCursor(pixmap, 16, 16);
}

}  // namespace lumra::ui
