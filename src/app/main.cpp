// LumraEx: the picture viewer.
#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QStringList>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "shell/command_line.h"
#include "ui/app.h"

namespace {

// A Japanese sans-serif face for the whole interface, found through fontconfig.
void SetInterfaceFont(QApplication& app) {
    QFont font = app.font();
    QStringList families = {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic"),
                            QStringLiteral("IPAPGothic")};
    families << font.families();
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    app.setFont(font);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);  // takes Qt's own options out of argv
    QApplication::setApplicationName(QStringLiteral("Lumra Ex"));
    SetInterfaceFont(qapp);
    // The interface is Japanese; so are Qt's own dialogs and buttons.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        qapp.installTranslator(&qtTexts);
    }

    lumra::ui::StartOptions options;
    options.executablePath = lumra::ExecutablePath();
    options.args.assign(argv, argv + argc);
    options.showCommand = lumra::kShowNormal;

    lumra::ui::Application app;
    if (!app.StartUp(options)) return 0;
    return qapp.exec();
}
