// LumraEx: the picture viewer.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QFont>
#include <QSocketNotifier>
#include <QStringList>
#include <QTranslator>
#include <chrono>
#include <memory>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "shell/command_line.h"
#include "ui/app.h"
#include "ui/message_box.h"
#include "ui/view_window.h"
#include "view/first_view.h"

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

int g_signalPipe[2] = {-1, -1};
bool g_closedBySignal = false;

void OnTerminationSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(g_signalPipe[1], &c, 1);
}

// A session that ends (SIGTERM, SIGHUP) or Ctrl+C closes the main window the normal way,
// so the save question is asked and the settings are written.
void CloseOnTerminationSignals(lumra::ui::Application& app, QObject* parent) {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [&app] {
        char c;
        [[maybe_unused]] const ssize_t n = read(g_signalPipe[0], &c, 1);
        // Boxes and dialogs first: each runs a loop of its own.
        for (int i = 0; i < 16; ++i) {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) break;
            modal->close();
        }
        if (auto* view = app.viewWindow()) {
            g_closedBySignal = view->close();
        } else {
            QApplication::quit();
        }
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// LUMRA_QUIT_AFTER_FIRST_PAINT=1: once the main window has painted a picture, the time
// since start is written to stderr ("first paint: <ms> ms") and the program closes the
// normal way. Used to measure start-up.
class FirstPaintProbe : public QObject {
public:
    FirstPaintProbe(lumra::ui::Application& app, std::chrono::steady_clock::time_point start, QObject* parent)
        : QObject(parent), app_(app), start_(start) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!done_ && event->type() == QEvent::Paint && watched->isWidgetType() && app_.viewWindow() &&
            static_cast<QWidget*>(watched)->window() == app_.viewWindow() && app_.session().picture.HasPicture() &&
            !app_.firstViewWaiting()) {
            done_ = true;
            // Measured once this paint has been carried out.
            QTimer::singleShot(0, this, [this] {
                const double ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
                std::fprintf(stderr, "first paint: %.1f ms\n", ms);
                std::fflush(stderr);
                // A box or dialog of the start-up first (each runs a loop of its own).
                for (int i = 0; i < 16; ++i) {
                    QWidget* modal = QApplication::activeModalWidget();
                    if (!modal) break;
                    modal->close();
                }
                if (auto* view = app_.viewWindow()) view->close();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    lumra::ui::Application& app_;
    std::chrono::steady_clock::time_point start_;
    bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    // The picture named on the command line is read and decoded reduced while Qt starts.
    std::shared_ptr<lumra::FirstViewAhead> ahead;
    if (const char* env = std::getenv("LUMRA_FIRST_VIEW"); !env || std::string(env) != "0") {
        const lumra::ParsedCommandLine parsed = lumra::ParseCommandLine(std::vector<std::string>(argv, argv + argc));
        if (parsed.path && !parsed.path->empty()) ahead = std::make_shared<lumra::FirstViewAhead>(*parsed.path);
    }
    QApplication qapp(argc, argv);  // takes Qt's own options out of argv
    QApplication::setApplicationName(QStringLiteral("Lumra Ex"));
    SetInterfaceFont(qapp);
    // The interface is Japanese; so are Qt's own dialogs and buttons.
    const std::unique_ptr<QTranslator> qtTexts = lumra::ui::LoadQtJapanese();
    if (qtTexts) qapp.installTranslator(qtTexts.get());

    lumra::ui::StartOptions options;
    options.executablePath = lumra::ExecutablePath();
    options.args.assign(argv, argv + argc);
    options.showCommand = lumra::kShowNormal;
    options.firstViewAhead = std::move(ahead);

    lumra::ui::Application app;
    CloseOnTerminationSignals(app, &qapp);
    if (const char* probe = std::getenv("LUMRA_QUIT_AFTER_FIRST_PAINT"); probe && std::string(probe) == "1") {
        qapp.installEventFilter(new FirstPaintProbe(app, started, &qapp));
    }
    if (!app.StartUp(options)) return 0;
    if (g_closedBySignal) return 0;  // ended while the start-up dialog was up
    return qapp.exec();
}
