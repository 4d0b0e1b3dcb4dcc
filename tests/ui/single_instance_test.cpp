// The single instance between this process (the running instance) and the real
// LumraEx started as a second process.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>

#include "platform/paths.h"
#include "ui/single_instance.h"
#include "ui_test_support.h"

namespace lumra::test {
namespace {

class SingleInstanceTest : public AppFixture {
protected:
    // Runs LumraEx with the arguments while this process's event loop keeps running.
    // Returns the exit code, -1 when it did not end normally within the time limit.
    int RunSecond(const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir_.File("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(dir_.path()));
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        process.start(QStringLiteral(LUMRA_EXE_PATH), args);
        loop.exec();
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
        if (process.exitStatus() != QProcess::NormalExit) return -1;
        return process.exitCode();
    }

    void StartFirst() {
        WriteIni("[Awin]\nDual=1\nMouseInfo=0\n");
        ASSERT_TRUE(Start());
        ASSERT_TRUE(app_->isFirstInstance());
    }
};

TEST_F(SingleInstanceTest, SecondProcessHandsOverItsFile) {
    StartFirst();
    const std::string a = Picture("handed.bmp", 7, 5, 0x00FF00);
    View().showMinimized();
    EXPECT_EQ(RunSecond({QStringLiteral("/v"), QString::fromStdString(a)}), 0);
    EXPECT_EQ(app_->session().picture.path, ResolvePath(a));
    EXPECT_EQ(Title(), "handed.bmp  ( 7x5  24bit  0.1KB )  100%");
    EXPECT_FALSE(View().isMinimized());
    EXPECT_TRUE(boxes_.empty());

    // A relative path is taken in the second process's working folder.
    Picture("relative.bmp", 3, 3, 0x0000FF);
    EXPECT_EQ(RunSecond({QStringLiteral("relative.bmp")}), 0);
    EXPECT_EQ(app_->session().picture.fileName, "relative.bmp");

    // "/f" alone: full screen, nothing opened.
    EXPECT_EQ(RunSecond({QStringLiteral("/f")}), 0);
    EXPECT_EQ(app_->session().displayMode, kFullScreen);
    EXPECT_EQ(app_->session().picture.fileName, "relative.bmp");
}

TEST_F(SingleInstanceTest, SecondStartWithoutArgumentsSendsNothing) {
    StartFirst();
    const std::string a = Picture("kept.bmp", 4, 4, 0x123456);
    ASSERT_TRUE(app_->OpenPath(a));
    const std::string title = Title();
    View().showMinimized();
    EXPECT_EQ(RunSecond({}), 0);
    EXPECT_EQ(app_->session().picture.path, ResolvePath(a));
    EXPECT_EQ(Title(), title);
    EXPECT_FALSE(View().isMinimized());  // restored and raised all the same
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(SingleInstanceTest, HandOverWaitsForAnswerToTheSaveQuestion) {
    StartFirst();
    const std::string a = Picture("a.bmp", 2, 2, 0);
    const std::string b = Picture("b.bmp", 3, 3, 0);
    ASSERT_TRUE(app_->OpenPath(a));
    app_->session().history.position = 1;
    answers_ = {BoxResult::Cancel};
    EXPECT_EQ(RunSecond({QString::fromStdString(b)}), 0);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].request, SaveChangesBox("a.bmp"));
    EXPECT_EQ(app_->session().picture.fileName, "a.bmp");
}

TEST_F(SingleInstanceTest, WithoutDualTheSecondProcessRunsOnItsOwn) {
    WriteIni("[Awin]\nDual=0\nMouseInfo=0\n");
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app_->isFirstInstance());
    // A second in-process start finds the first but, without Dual, does not hand over.
    ui::Application second;
    second.SetBoxFunction([](QWidget*, const BoxRequest&) { return BoxResult::Ok; });
    second.SetDialogFunction([](QDialog&) { return int(QDialog::Rejected); });
    ui::StartOptions options;
    options.executablePath = LUMRA_EXE_PATH;
    options.args = {"LumraEx", Picture("own.bmp", 2, 2, 0)};
    ASSERT_TRUE(second.StartUp(options));
    EXPECT_FALSE(second.isFirstInstance());
    EXPECT_EQ(second.session().picture.fileName, "own.bmp");
    EXPECT_FALSE(app_->session().picture.HasPicture());
}

TEST_F(SingleInstanceTest, MalformedMessagesAreDroppedAndStaleSocketsReplaced) {
    const QString name = ui::InstanceServerName(dir_.File("x.ini"));
    // A socket file left by a crashed instance: nobody answers, and the next one takes it over.
    const std::string socketPath =
        name.startsWith(QLatin1Char('/')) ? name.toStdString() : (QDir::tempPath() + QLatin1Char('/') + name).toStdString();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ::unlink(socketPath.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    ASSERT_TRUE(std::filesystem::exists(socketPath));
    EXPECT_EQ(ui::ContactRunningInstance(name, nullptr), ui::ProbeResult::NoInstance);

    std::vector<HandOver> received;
    ui::InstanceServer server([&received](const HandOver& m) { received.push_back(m); });
    ASSERT_TRUE(server.Listen(name));

    // Garbage: the connection is dropped, nothing is handled.
    QLocalSocket bad;
    bad.connectToServer(name);
    ASSERT_TRUE(bad.waitForConnected(2000));
    bad.write("GARBAGE-GARBAGE");
    bad.flush();
    QElapsedTimer timer;
    timer.start();
    while (bad.state() == QLocalSocket::ConnectedState && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (bad.state() == QLocalSocket::ConnectedState) bad.waitForDisconnected(10);
    }
    EXPECT_NE(bad.state(), QLocalSocket::ConnectedState);
    EXPECT_TRUE(received.empty());

    // A message in two pieces is put together.
    const std::vector<uint8_t> bytes = EncodeHandOver({HandOverKind::Switch, 's', std::string("/x/y.png")});
    QLocalSocket good;
    good.connectToServer(name);
    ASSERT_TRUE(good.waitForConnected(2000));
    good.write(reinterpret_cast<const char*>(bytes.data()), 5);
    good.flush();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(received.empty());
    good.write(reinterpret_cast<const char*>(bytes.data()) + 5, static_cast<qint64>(bytes.size() - 5));
    good.flush();
    timer.restart();
    while (good.bytesAvailable() == 0 && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        good.waitForReadyRead(10);
    }
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], (HandOver{HandOverKind::Switch, 's', std::string("/x/y.png")}));
    EXPECT_EQ(good.read(1), QByteArray(1, static_cast<char>(kHandOverReply)));
    EXPECT_EQ(ui::ContactRunningInstance(name, nullptr), ui::ProbeResult::InstanceRunning);
}

}  // namespace
}  // namespace lumra::test
