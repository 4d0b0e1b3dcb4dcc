// The print dialog driven as a person would, and the wallpaper command with a recorded desktop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "formats/bmp/bmp_codec.h"
#include "shell/show_error.h"
#include "test_util.h"
#include "ui/print_dialog.h"
#include "ui/wallpaper_dialog.h"

namespace lumra::test {
namespace {

ImageBuffer Picture(int w, int h) {
    ImageBuffer img;
    EXPECT_TRUE(img.Allocate(w, h, 24));
    img.header.biXPelsPerMeter = img.header.biYPelsPerMeter = 3780;  // 96 dpi
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * 3; ++x) img.storedRow(y)[x] = static_cast<uint8_t>(x + y);
    return img;
}

void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void Type(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    emit edit->editingFinished();
}

TEST(PrintDialogUi, TypingDraggingAndPrintingToPdf) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "a system printer is installed";
    TempDir dir;
    const ImageBuffer img = Picture(960, 480);
    std::vector<int> errors;
    int printDialogs = 0;
    ui::PrintDialogHooks hooks;
    hooks.runDialog = [&](QDialog& d) {
        if (qobject_cast<QPrintDialog*>(&d)) ++printDialogs;
        return int(QDialog::Accepted);
    };
    hooks.showError = [&](int code) { errors.push_back(code); };
    hooks.choosePdfFile = [&](QWidget*) { return QString::fromStdString(dir.File("page.pdf")); };
    hooks.screenDpi = [] { return 96.0; };
    ui::PrintDialog dialog(nullptr, img, "/pictures/wide.bmp", hooks);
    dialog.show();

    // No printer: the PDF printer, its printable area the whole page.
    EXPECT_EQ(dialog.printer().outputFormat(), QPrinter::PdfFormat);
    const PageGeometry& page = dialog.layout().page;
    EXPECT_EQ(page.offsetX, 0);
    EXPECT_NEAR(page.printableWidth, page.paperWidth, 1);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("印刷(プレビュー)"));

    // 254 mm at 96 dpi: fitted to the page width.
    EXPECT_EQ(dialog.widthEdit()->text().toStdString(), FormatPrintTenths(page.printableWidth));
    Type(dialog.widthEdit(), "5");  // raised to the 20 mm minimum
    EXPECT_EQ(dialog.widthEdit()->text(), "20.0");
    EXPECT_EQ(dialog.heightEdit()->text(), "10.0");
    EXPECT_EQ(dialog.dpiLabel()->text(), "1219");
    Type(dialog.leftEdit(), "10");
    EXPECT_EQ(dialog.layout().x, 100);
    EXPECT_EQ(dialog.leftEdit()->text(), "10.0");
    dialog.upButton(2)->click();
    EXPECT_EQ(dialog.widthEdit()->text(), "21.0");
    dialog.downButton(0)->click();
    dialog.downButton(1)->click();  // 0.0 stays 0.0
    EXPECT_EQ(dialog.leftEdit()->text(), "9.0");
    EXPECT_EQ(dialog.topEdit()->text(), "0.0");

    // Drag the bottom-right handle outwards: bigger, top-left fixed, the edits follow.
    QWidget* box = dialog.preview();
    const PrintRect r = PreviewPictureRect(dialog.layout());
    const QPoint origin = box->contentsRect().topLeft();
    const QImage shot = box->grab().toImage();  // the bottom-right handle's right side
    EXPECT_EQ(shot.pixelColor(origin + QPoint(r.right + kHandleSize / 2, r.bottom)), QColor(255, 0, 96));
    Mouse(box, QEvent::MouseButtonPress, origin + QPoint(r.right, r.bottom), Qt::LeftButton);
    Mouse(box, QEvent::MouseMove, origin + QPoint(r.right + 40, r.bottom + 20), Qt::LeftButton);
    Mouse(box, QEvent::MouseButtonRelease, origin + QPoint(r.right + 40, r.bottom + 20), Qt::NoButton);
    const PrintLayout& l = dialog.layout();
    EXPECT_EQ(l.x, 90);
    EXPECT_GT(l.r - l.x, 210);
    EXPECT_EQ((l.r - l.x) * 480, (l.b - l.y) * 960);
    EXPECT_EQ(dialog.widthEdit()->text().toStdString(), FormatPrintTenths(l.r - l.x));

    dialog.fullButton()->click();
    EXPECT_FALSE(dialog.widthEdit()->isEnabled());
    EXPECT_EQ(l.cropHeight, 480);  // wider than the page: cropped left and right
    dialog.normalButton()->click();
    EXPECT_TRUE(dialog.widthEdit()->isEnabled());

    dialog.printButton()->click();
    EXPECT_EQ(printDialogs, 1);
    EXPECT_TRUE(errors.empty());
    const std::string pdf = ReadText(dir.File("page.pdf"));
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_NE(pdf.find("/Subtype /Image"), std::string::npos);
}

struct Recorder {
    std::string answer;
    std::vector<std::string> log;
    CommandRunner runner() {
        return [this](const std::vector<std::string>& argv) {
            std::string line;
            for (const std::string& a : argv) line += (line.empty() ? "" : " ") + a;
            log.push_back(line);
            return CommandResult{0, argv[1] == "get" ? answer : ""};
        };
    }
};

TEST(WallpaperDialogUi, ReadsTheArrangementAndSetsTheWallpaper) {
    struct Case {
        const char* desktop;
        const char* current;
        bool accept;
        std::optional<WallpaperStyle> initial;
        std::vector<std::string> setCommands;
        QString message;
    } cases[] = {
        {"GNOME", "'wallpaper'\n", true, WallpaperStyle::kTile,
         {"gsettings set org.gnome.desktop.background picture-uri file://DIR/save_wp.bmp",
          "gsettings writable org.gnome.desktop.background picture-uri-dark",
          "gsettings set org.gnome.desktop.background picture-uri-dark file://DIR/save_wp.bmp",
          "gsettings set org.gnome.desktop.background picture-options centered"},
         ""},
        {"GNOME", "'centered'\n", false, WallpaperStyle::kCentre, {}, ""},
        {"LXQt", "", true, std::nullopt, {}, QStringLiteral("このデスクトップでは壁紙を設定できません。")},
    };
    for (const Case& c : cases) {
        TempDir dir;
        Recorder rec;
        rec.answer = c.current;
        QString message;
        std::optional<WallpaperStyle> initial;
        ui::WallpaperHooks hooks;
        hooks.desktop = c.desktop;
        hooks.run = rec.runner();
        hooks.showError = [](int code) { ADD_FAILURE() << "error box " << code; };
        hooks.showMessage = [&](const QString& text) { message = text; };
        hooks.runDialog = [&](QDialog& d) {
            auto& w = static_cast<ui::WallpaperDialog&>(d);
            initial = w.chosen();
            EXPECT_EQ(w.okButton()->isEnabled(), initial.has_value());
            w.button(WallpaperStyle::kCentre)->click();
            return int(c.accept ? QDialog::Accepted : QDialog::Rejected);
        };
        ui::RunWallpaperDialog(nullptr, Picture(4, 3), dir.path(), hooks);
        EXPECT_EQ(initial, c.initial) << c.desktop;
        std::vector<std::string> sets;
        for (std::string line : rec.log) {
            if (line.find(" get ") != std::string::npos) continue;
            if (const size_t at = line.find(dir.path()); at != std::string::npos) line.replace(at, dir.path().size(), "DIR");
            sets.push_back(line);
        }
        EXPECT_EQ(sets, c.setCommands) << c.desktop;
        EXPECT_EQ(message, c.message);
        DecoderContext ctx;
        EXPECT_EQ(ReadBmpFile(dir.File("save_wp.bmp"), ctx), c.accept) << c.desktop;
    }
}

}  // namespace
}  // namespace lumra::test
