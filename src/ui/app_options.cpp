// The options dialog as the program runs it, and what applying it does.
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>

#include "document/document.h"
#include "output/wallpaper.h"
#include "platform/desktop_files.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "shell/ini_file.h"
#include "ui/app.h"
#include "ui/options_dialog.h"
#include "ui/view_window.h"

namespace lumra::ui {

namespace {

std::string WallpaperFilePath(const std::string& settingsPath) {
    return FolderPart(settingsPath) + "/" + kWallpaperFileName;
}

}  // namespace

void Application::RunOptionsDialog() {
    IniFile ini;
    ini.Load(session_.settingsPath);
    const XdgFolders xdg = UserXdgFolders();
    AssociationChoice associations;
    associations.types = ReadAssociations(xdg);
    associations.sendTo = SendToRegistered(xdg);
    associations.oldEntries = !OldEntries(xdg).empty();
    associations.wallpaperFile = FileExists(WallpaperFilePath(session_.settingsPath));

    OptionsHooks hooks;
    hooks.box = [this](QWidget* owner, const BoxRequest& request) { return ShowBox(owner, request); };
    hooks.runDialog = [this](QDialog& dialog) { return RunDialog(dialog); };
    hooks.chooseFolder = [this](QWidget* owner, const QString& title, const QString& start) {
        QFileDialog dialog(owner, title, start);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (RunDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().first();
    };
    hooks.chooseProgram = [this](QWidget* owner, const QString& title, const QString& start) {
        QFileDialog dialog(owner, title, start);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        // Programs here have no extension of their own: the second filter shows what may run.
        const QString all = QString::fromUtf8("すべて (*)");
        const QString programs = QString::fromUtf8("プログラムファイル (*)");
        dialog.setNameFilters({all, programs});
        dialog.selectNameFilter(programs);
        const auto programsOnly = [&dialog, programs](const QString& filter) {
            dialog.setFilter(filter == programs ? QDir::AllDirs | QDir::Executable | QDir::Files | QDir::NoDot
                                                : QDir::AllDirs | QDir::Files | QDir::NoDot);
        };
        programsOnly(programs);
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, programsOnly);
        if (RunDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().first();
    };
    hooks.chooseColour = [this](QWidget* owner, const QColor& initial) -> std::optional<QColor> {
        QColorDialog dialog(initial, owner);
        if (RunDialog(dialog) != QDialog::Accepted) return std::nullopt;
        return dialog.selectedColor();
    };
    hooks.apply = [this](OptionsDialog& dialog) { ApplyOptions(dialog); };
    hooks.removeOldEntries = [this, xdg] {
        const bool ok = RemoveOldEntries(xdg);
        RefreshDesktopDatabase(xdg);
        if (ok) session_.settings.awin.xpOldReg = 1;
        return ok;
    };
    hooks.deleteWallpaperFile = [this] {
        const std::string path = WallpaperFilePath(session_.settingsPath);
        if (!FileExists(path) || DeleteFile(path)) return true;
        ShowError(view_.get(), kErrFileDelete);
        return false;
    };

    OptionsDialog dialog(view_.get(), MakeWorkingCopy(session_.settings, accelerators_, ini), associations,
                         std::move(hooks));
    QPointer<QWidget> list = activeFileList_;
    const bool disable = list && list->isVisible();
    if (disable) list->setEnabled(false);
    RunDialog(dialog);
    if (disable && list) list->setEnabled(true);
    session_.settings.awin.optTab = ClampOptTab(dialog.currentPage());
}

void Application::ApplyOptions(OptionsDialog& dialog) {
    IniFile ini;
    ini.Load(session_.settingsPath);
    const AppliedOptions applied = ApplyWorkingCopy(dialog.copy(), session_.settings, accelerators_, ini);
    // Start and Dual now; the rest at exit.
    ini.Save(session_.settingsPath);
    if (applied.keysChanged) SetAccelerators(accelerators_);

    const XdgFolders xdg = UserXdgFolders();
    AssociationChoice& choice = dialog.associations();
    const std::string executable = ResolvePath(executablePath_.empty() ? ExecutablePath() : executablePath_);
    bool desktopChanged = false;
    if (ReadAssociations(xdg) != choice.types) desktopChanged |= WriteAssociations(xdg, executable, choice.types);
    if (SendToRegistered(xdg) != choice.sendTo) desktopChanged |= SetSendTo(xdg, executable, choice.sendTo);
    if (desktopChanged) RefreshDesktopDatabase(xdg);
    // A write that failed leaves the boxes showing what the files still say.
    choice.types = ReadAssociations(xdg);
    choice.sendTo = SendToRegistered(xdg);

    RebuildMenus();

    CurrentPicture& picture = session_.picture;
    if (!view_ || !picture.HasPicture()) {
        UpdateTitles();
        return;
    }
    if (applied.loadOptionsChanged && session_.history.entries <= 1 && !picture.path.empty()) {
        // Decoded again so that the new load options show.
        if (!LoadForList(picture.path)) ShowError(view_.get(), kErrDisplay);
        if (session_.displayMode == kEditWindow) RefreshEditWindow();
        else view_->RefreshAfterLoad(false);
    } else if (session_.displayMode == kEditWindow) {
        RefreshEditWindow();
    } else {
        view_->PictureChanged();
    }
    UpdateTitles();
}

}  // namespace lumra::ui
