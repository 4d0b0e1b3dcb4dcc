#include "ui/print_dialog.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "platform/paths.h"
#include "shell/messages.h"
#include "ui/message_box.h"
#include "ui/picture_image.h"
#include "ui/print_page.h"

namespace lumra::ui {

namespace {

constexpr int kThumbnailSide = 800;
const QColor kHandleColour(255, 0, 96);

QRect ToQRect(const PrintRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

// A top-down copy of the picture small enough to repaint quickly.
QImage Thumbnail(const ImageBuffer& image) {
    QImage rows = StoredRowsImage(image);
    if (rows.isNull()) return rows;
    QImage top = rows.mirrored(false, true).convertToFormat(QImage::Format_RGB32);
    if (top.width() > kThumbnailSide || top.height() > kThumbnailSide)
        top = top.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return top;
}

PrintDialogHooks WithDefaults(PrintDialogHooks h, QWidget* owner, const std::string& picturePath) {
    if (!h.runDialog) h.runDialog = [](QDialog& d) { return d.exec(); };
    if (!h.showError) h.showError = [owner](int code) { RunMessageBox(owner, ErrorBox(code)); };
    if (!h.choosePdfFile) {
        std::string base = FileNamePart(picturePath);
        if (const size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.resize(dot);
        if (base.empty()) base = "print";
        const QString suggested = QString::fromStdString(DocumentsFolder() + "/" + base + ".pdf");
        h.choosePdfFile = [suggested](QWidget* parent) {
            return QFileDialog::getSaveFileName(parent, QStringLiteral("印刷"), suggested, QStringLiteral("PDF (*.pdf)"));
        };
    }
    if (!h.screenDpi) h.screenDpi = [] {
        const QScreen* s = QGuiApplication::primaryScreen();
        return s ? s->logicalDotsPerInchX() : 96.0;
    };
    return h;
}

QToolButton* Arrow(Qt::ArrowType type) {
    auto* b = new QToolButton;
    b->setArrowType(type);
    b->setFixedSize(16, 11);
    b->setAutoRepeat(true);
    return b;
}

}  // namespace

PageDevice MeasurePrinter(const QPrinter& printer) {
    const int res = printer.resolution();
    const QPageLayout page = printer.pageLayout();
    const QRect paper = page.fullRectPixels(res);
    const QRect paint = printer.fullPage() ? paper : page.paintRectPixels(res);
    PageDevice d;
    d.horzRes = paint.width();
    d.vertRes = paint.height();
    d.physicalWidth = paper.width();
    d.physicalHeight = paper.height();
    d.offsetX = paint.left();
    d.offsetY = paint.top();
    d.dpiX = d.dpiY = res;
    return d;
}

PrintPreviewBox::PrintPreviewBox(QWidget* parent, PrintLayout& layout, const QImage& thumbnail, int pictureWidth)
    : QFrame(parent), layout_(layout), thumbnail_(thumbnail),
      factor_(pictureWidth > 0 ? static_cast<double>(thumbnail.width()) / pictureWidth : 1) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setFixedSize(kPreviewSide + 2, kPreviewSide + 2);
    setMouseTracking(true);
    setCursor(Qt::SizeAllCursor);
}

QPoint PrintPreviewBox::Inner(const QPoint& p) const { return p - contentsRect().topLeft(); }

void PrintPreviewBox::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter p(this);
    p.translate(contentsRect().topLeft());
    p.fillRect(QRect(0, 0, kPreviewSide, kPreviewSide), palette().color(QPalette::Button));
    p.fillRect(ToQRect(layout_.paper), palette().color(QPalette::Base));
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (layout_.mode == PrintMode::kFull) {
        const QRectF source(layout_.cropX * factor_, layout_.cropY * factor_, layout_.cropWidth * factor_,
                            layout_.cropHeight * factor_);
        p.drawImage(QRectF(ToQRect(layout_.printableArea)), thumbnail_, source);
        return;
    }
    const QRect picture = ToQRect(PreviewPictureRect(layout_));
    if (drag_.held) {
        p.setPen(palette().color(QPalette::WindowText));
        p.setBrush(Qt::NoBrush);
        p.drawRect(picture.adjusted(0, 0, -1, -1));
        return;
    }
    p.drawImage(picture, thumbnail_);
    p.setPen(QPen(kHandleColour, 1));
    p.setBrush(Qt::NoBrush);
    const int half = kHandleSize / 2;
    for (const QPoint& c : {picture.topLeft(), QPoint(picture.left() + picture.width(), picture.top()),
                            QPoint(picture.left(), picture.top() + picture.height()),
                            QPoint(picture.left() + picture.width(), picture.top() + picture.height())})
        p.drawRect(c.x() - half, c.y() - half, kHandleSize - 1, kHandleSize - 1);
}

void PrintPreviewBox::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton && e->button() != Qt::RightButton) return;
    const QPoint p = Inner(e->position().toPoint());
    BeginPrintDrag(layout_, drag_, p.x(), p.y());
    update();
}

void PrintPreviewBox::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = Inner(e->position().toPoint());
    if (drag_.held) {
        if (DragPrintTo(layout_, drag_, p.x(), p.y())) {
            update();
            emit changed();
        }
        return;
    }
    const int area = PrintHitArea(layout_, p.x(), p.y());
    setCursor(area == 1 || area == 4   ? Qt::SizeFDiagCursor
              : area == 2 || area == 3 ? Qt::SizeBDiagCursor
                                       : Qt::SizeAllCursor);
}

void PrintPreviewBox::mouseReleaseEvent(QMouseEvent*) {
    if (!drag_.held) return;
    drag_.held = false;
    update();
}

PrintDialog::PrintDialog(QWidget* owner, const ImageBuffer& image, const std::string& picturePath,
                         PrintDialogHooks hooks)
    : QDialog(owner), image_(image), path_(picturePath), hooks_(WithDefaults(std::move(hooks), owner, picturePath)) {
    setWindowTitle(QStringLiteral("印刷(プレビュー)"));
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // Without a printer the PDF printer serves, its printable area the whole page.
    if (QPrinterInfo::availablePrinters().isEmpty() || QPrinterInfo::defaultPrinter().isNull()) {
        printer_->setOutputFormat(QPrinter::PdfFormat);
        printer_->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    }
    printer_->setDocName(QString::fromStdString(FileNamePart(picturePath)));
    Measure();
    const int screen = static_cast<int>(std::lround(hooks_.screenDpi()));
    const int dpi = InitialPrintDpi(image.header.biXPelsPerMeter, image.header.biYPelsPerMeter, screen, screen);
    layout_ = StartPrintLayout(MeasurePage(device_), image.width(), image.height(), dpi);
    thumbnail_ = Thumbnail(image);

    preview_ = new PrintPreviewBox(this, layout_, thumbnail_, image.width());
    connect(preview_, &PrintPreviewBox::changed, this, &PrintDialog::Refill);

    normal_ = new QRadioButton(QStringLiteral("通常"));
    full_ = new QRadioButton(QStringLiteral("全面"));
    auto* modes = new QButtonGroup(this);
    modes->addButton(normal_);
    modes->addButton(full_);
    normal_->setChecked(true);
    connect(normal_, &QRadioButton::toggled, this, [this](bool on) {
        SetMode(on ? PrintMode::kNormal : PrintMode::kFull);
    });

    const char* names[4] = {"左", "上", "幅", "高さ"};
    QGroupBox* groups[2] = {new QGroupBox(QStringLiteral("位置")), new QGroupBox(QStringLiteral("サイズ"))};
    for (int g = 0; g < 2; ++g) {
        auto* grid = new QGridLayout(groups[g]);
        for (int k = 0; k < 2; ++k) {
            const int i = g * 2 + k;
            edits_[i] = new QLineEdit;
            edits_[i]->setFixedWidth(64);
            edits_[i]->setAlignment(Qt::AlignRight);
            ups_[i] = Arrow(Qt::UpArrow);
            downs_[i] = Arrow(Qt::DownArrow);
            auto* arrows = new QVBoxLayout;
            arrows->setSpacing(0);
            arrows->addWidget(ups_[i]);
            arrows->addWidget(downs_[i]);
            grid->addWidget(new QLabel(QString::fromUtf8(names[i])), k, 0);
            grid->addWidget(edits_[i], k, 1);
            grid->addLayout(arrows, k, 2);
            grid->addWidget(new QLabel(QStringLiteral("mm")), k, 3);
            connect(edits_[i], &QLineEdit::editingFinished, this, [this, i] { ApplyEdit(i); });
            connect(ups_[i], &QToolButton::clicked, this, [this, i] { Step(i, 1); });
            connect(downs_[i], &QToolButton::clicked, this, [this, i] { Step(i, -1); });
        }
    }
    auto* dpiRow = new QHBoxLayout;
    dpiCaption_ = new QLabel(QStringLiteral("解像度"));
    dpi_ = new QLabel;
    dpi_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    dpiRow->addWidget(dpiCaption_);
    dpiRow->addWidget(dpi_, 1);
    dpiRow->addWidget(new QLabel(QStringLiteral("dpi")));

    setup_ = new QPushButton(QStringLiteral("プリンタ設定..."));
    print_ = new QPushButton(QStringLiteral("印刷..."));
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    for (QPushButton* b : {setup_, print_, close}) b->setAutoDefault(false);
    connect(setup_, &QPushButton::clicked, this, [this] { SetUpPrinter(); });
    connect(print_, &QPushButton::clicked, this, [this] { PrintPage(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* side = new QVBoxLayout;
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(normal_);
    modeRow->addWidget(full_);
    side->addLayout(modeRow);
    side->addWidget(groups[0]);
    side->addWidget(groups[1]);
    side->addLayout(dpiRow);
    side->addStretch(1);
    side->addWidget(setup_);
    side->addWidget(print_);
    side->addWidget(close);
    auto* main = new QHBoxLayout(this);
    main->addWidget(preview_, 0, Qt::AlignTop);
    main->addLayout(side);
    Refill();
}

void PrintDialog::Measure() { device_ = MeasurePrinter(*printer_); }

void PrintDialog::Relayout() {
    layout_.page = MeasurePage(device_);
    UpdatePrintLayout(layout_);
    Refill();
}

void PrintDialog::Refill() {
    const int values[4] = {layout_.x, layout_.y, layout_.r - layout_.x, layout_.b - layout_.y};
    const bool normal = layout_.mode == PrintMode::kNormal;
    for (int i = 0; i < 4; ++i) {
        edits_[i]->setText(QString::fromStdString(FormatPrintTenths(values[i])));
        edits_[i]->setEnabled(normal);
        ups_[i]->setEnabled(normal);
        downs_[i]->setEnabled(normal);
    }
    dpi_->setText(QString::number(layout_.dpi));
    dpi_->setEnabled(normal);
    preview_->update();
}

void PrintDialog::ApplyEdit(int edit) {
    const auto value = ParsePrintTenths(edits_[edit]->text().toStdString());
    if (value) {
        switch (edit) {
            case 0: SetPrintLeft(layout_, *value); break;
            case 1: SetPrintTop(layout_, *value); break;
            case 2: SetPrintWidth(layout_, *value); break;
            default: SetPrintHeight(layout_, *value); break;
        }
    }
    Refill();
}

void PrintDialog::Step(int edit, int delta) {
    edits_[edit]->setText(QString::fromStdString(StepPrintText(edits_[edit]->text().toStdString(), delta)));
    ApplyEdit(edit);
}

void PrintDialog::SetMode(PrintMode mode) {
    if (layout_.mode == mode) return;
    layout_.mode = mode;
    UpdatePrintLayout(layout_);
    Refill();
}

bool PrintDialog::SetUpPrinter() {
    QPrintDialog dialog(printer_.get(), this);
    dialog.setWindowTitle(QStringLiteral("プリンタ設定"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile);
    if (hooks_.runDialog(dialog) != QDialog::Accepted) return false;
    Measure();
    Relayout();
    return true;
}

bool PrintDialog::PrintPage() {
    printer_->setCopyCount(1);
    printer_->setPrintRange(QPrinter::AllPages);
    QPrintDialog dialog(printer_.get(), this);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile);
    if (hooks_.runDialog(dialog) != QDialog::Accepted) return true;
    bool askedFile = false;
    if (printer_->outputFormat() == QPrinter::PdfFormat && printer_->outputFileName().isEmpty()) {
        const QString file = hooks_.choosePdfFile(this);
        if (file.isEmpty()) return true;
        printer_->setOutputFileName(file);
        askedFile = true;
    }
    Measure();
    Relayout();
    QPainter painter;
    bool ok = painter.begin(printer_.get());
    if (ok) {
        ok = PaintPrintPage(painter, image_, layout_, device_);
        ok = painter.end() && ok;
    }
    if (askedFile) printer_->setOutputFileName(QString());
    Refill();
    if (!ok) hooks_.showError(kErrPrint);
    return ok;
}

void RunPrintDialog(QWidget* owner, const ImageBuffer& image, const std::string& picturePath,
                    const PrintDialogHooks& hooks) {
    if (image.empty()) return;
    PrintDialog dialog(owner, image, picturePath, hooks);
    const PageGeometry& page = dialog.layout().page;
    if (page.paperWidth <= 0 || page.paperHeight <= 0 || page.printableWidth <= 0 || page.printableHeight <= 0) {
        WithDefaults(hooks, owner, picturePath).showError(kErrPrintPreview);
        return;
    }
    WithDefaults(hooks, owner, picturePath).runDialog(dialog);
}

}  // namespace lumra::ui
