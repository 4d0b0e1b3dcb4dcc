#include "ui/file_dialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>

namespace lumra::ui {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

// The chosen entry of the type list (the dialog reports the shown text only).
int SelectedFilterIndex(QFileDialog& dialog) {
    if (auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) return combo->currentIndex();
    return static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter()));
}

void CommonSetup(QFileDialog& dialog, const std::vector<FileFilter>& filters, const std::string& folder) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(QtNameFilters(filters));
    if (!folder.empty()) dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(folder)));
}

}  // namespace

QStringList QtNameFilters(const std::vector<FileFilter>& filters) {
    QStringList out;
    for (const FileFilter& f : filters) {
        QStringList patterns;
        for (const std::string& p : DialogPatterns(f.patterns)) patterns << Text(p);
        out << Text(f.text) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

std::unique_ptr<QFileDialog> CreateOpenDialog(QWidget* owner, const std::string& folder,
                                              const std::string& pluginPatterns) {
    auto dialog = std::make_unique<QFileDialog>(owner, QStringLiteral("開く"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    const std::vector<FileFilter> filters = OpenFilters(pluginPatterns);
    CommonSetup(*dialog, filters, folder);
    dialog->selectNameFilter(dialog->nameFilters().first());
    return dialog;
}

std::unique_ptr<QFileDialog> CreateSaveDialog(QWidget* owner, Session& session,
                                              std::function<void()> formatChanged) {
    auto dialog = std::make_unique<QFileDialog>(owner, QStringLiteral("名前を付けて保存"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    const bool fromJpeg = session.picture.image.sourceFormat == kFormatJpeg;
    const std::vector<FileFilter> filters = SaveFilters(fromJpeg);
    CommonSetup(*dialog, filters, session.lastFolder);

    const QStringList names = dialog->nameFilters();
    int format = session.settings.simg.format;
    if (format == kSaveJpegTrans && !fromJpeg) format = kSaveJpeg;
    if (format < 0 || format >= names.size()) format = kSaveBmp;
    dialog->selectNameFilter(names.at(format));
    dialog->setDefaultSuffix(QString::fromLatin1(DefaultExtension(format)));
    dialog->selectFile(QFile::decodeName(QByteArray::fromStdString(StripExtension(session.picture.fileName))));

    QFileDialog* raw = dialog.get();
    QObject::connect(raw, &QFileDialog::filterSelected, raw, [raw, &session, formatChanged](const QString&) {
        const int index = SelectedFilterIndex(*raw);
        if (index < 0) return;
        ApplySaveTypeChange(*raw, session, index + 1);
        if (formatChanged) formatChanged();
    });
    return dialog;
}

void ApplySaveTypeChange(QFileDialog& dialog, Session& session, int filterIndex) {
    const int format = SaveFormatForFilterIndex(filterIndex);
    if (format < 0) return;
    session.settings.simg.format = format;
    dialog.setDefaultSuffix(QString::fromLatin1(DefaultExtension(format)));
    // A typed extension would win over the new default one: drop it.
    if (auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        const std::string typed = QFile::encodeName(edit->text()).toStdString();
        const std::string stripped = StripExtension(typed);
        if (stripped != typed) edit->setText(QFile::decodeName(QByteArray::fromStdString(stripped)));
    }
}

}  // namespace lumra::ui
