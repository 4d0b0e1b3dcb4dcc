#include "ui/wallpaper_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "shell/messages.h"
#include "ui/message_box.h"

namespace lumra::ui {

WallpaperDialog::WallpaperDialog(QWidget* owner, std::optional<WallpaperStyle> initial) : QDialog(owner) {
    setWindowTitle(QStringLiteral("壁紙に設定"));
    auto* group = new QButtonGroup(this);
    auto* radios = new QHBoxLayout;
    const char* names[3] = {"中央に表示", "拡大して表示", "並べて表示"};
    for (int i = 0; i < 3; ++i) {
        buttons_[i] = new QRadioButton(QString::fromUtf8(names[i]));
        group->addButton(buttons_[i]);
        radios->addWidget(buttons_[i]);
    }
    ok_ = new QPushButton(QStringLiteral("OK"));
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"));
    ok_->setDefault(true);
    // OK needs an arrangement to write.
    ok_->setEnabled(initial.has_value());
    if (initial) buttons_[static_cast<int>(*initial)]->setChecked(true);
    connect(group, &QButtonGroup::buttonClicked, this, [this] { ok_->setEnabled(true); });
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* main = new QVBoxLayout(this);
    main->addLayout(radios);
    main->addLayout(buttons);
}

std::optional<WallpaperStyle> WallpaperDialog::chosen() const {
    for (int i = 0; i < 3; ++i)
        if (buttons_[i]->isChecked()) return static_cast<WallpaperStyle>(i);
    return std::nullopt;
}

CommandResult RunDesktopTool(const std::vector<std::string>& argv) {
    CommandResult result;
    if (argv.empty()) return result;
    QStringList args;
    for (size_t i = 1; i < argv.size(); ++i) args << QString::fromStdString(argv[i]);
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QString::fromStdString(argv[0]), args);
    if (!process.waitForStarted(5000)) return result;
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(1000);
        result.status = 1;
        return result;
    }
    result.output = process.readAllStandardOutput().toStdString();
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 1;
    return result;
}

void RunWallpaperDialog(QWidget* owner, const ImageBuffer& image, const std::string& settingsFolder,
                        const WallpaperHooks& given) {
    if (image.empty()) return;
    WallpaperHooks h = given;
    if (!h.runDialog) h.runDialog = [](QDialog& d) { return d.exec(); };
    if (!h.showError) h.showError = [owner](int code) { RunMessageBox(owner, ErrorBox(code)); };
    if (!h.showMessage)
        h.showMessage = [owner](const QString& text) {
            RunMessageBox(owner, BoxRequest{text.toStdString(), kErrorCaption, BoxIcon::Error, BoxButtons::Ok});
        };
    if (!h.run) h.run = RunDesktopTool;
    if (!h.desktop) h.desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toStdString();
    const Desktop desktop = DetectDesktop(*h.desktop);

    WallpaperDialog dialog(owner, ReadWallpaperStyle(desktop, h.run));
    if (h.runDialog(dialog) != QDialog::Accepted || !dialog.chosen()) return;

    QWidget* window = owner ? owner->window() : nullptr;
    const QString title = window ? window->windowTitle() : QString();
    if (window) window->setWindowTitle(QStringLiteral("wait..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const WallpaperFileResult file = WriteWallpaperFile(image, settingsFolder + "/" + kWallpaperFileName);
    WallpaperApply applied = WallpaperApply::kApplied;
    if (file.written) applied = ApplyWallpaper(desktop, settingsFolder + "/" + kWallpaperFileName, *dialog.chosen(), h.run);
    QApplication::restoreOverrideCursor();
    if (window) window->setWindowTitle(title);

    switch (file.error) {
        case WallpaperFileError::kTempCreate: h.showError(kErrTempCreate); break;
        case WallpaperFileError::kFileCreate: h.showError(kErrFileCreate); break;
        case WallpaperFileError::kTempDelete: h.showError(kErrTempDelete); break;
        case WallpaperFileError::kNone: break;
    }
    if (applied == WallpaperApply::kUnsupported) h.showMessage(QString::fromUtf8(kWallpaperUnsupportedText));
    else if (applied == WallpaperApply::kFailed) h.showMessage(QString::fromUtf8(kWallpaperFailedText));
}

}  // namespace lumra::ui
