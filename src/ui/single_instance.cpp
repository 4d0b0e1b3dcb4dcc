#include "ui/single_instance.h"

#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

namespace lumra::ui {

namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr char kBufferProperty[] = "lumraBuffer";

}  // namespace

QString InstanceServerName(const std::string& settingsPath) {
    const QString name = QString::fromStdString(InstanceSocketName(static_cast<unsigned>(getuid()), settingsPath));
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QFile::decodeName(runtime)).isDir()) {
        return QFile::decodeName(runtime) + QLatin1Char('/') + name;
    }
    return name;
}

ProbeResult ContactRunningInstance(const QString& name, const HandOver* handOver) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kConnectTimeoutMs)) return ProbeResult::NoInstance;
    if (!handOver) {
        socket.disconnectFromServer();
        return ProbeResult::InstanceRunning;
    }
    const std::vector<uint8_t> bytes = EncodeHandOver(*handOver);
    socket.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    socket.flush();
    // Wait as long as the running instance takes to act; a dropped connection ends it.
    while (socket.state() == QLocalSocket::ConnectedState) {
        if (socket.bytesAvailable() > 0) break;
        if (!socket.waitForReadyRead(-1)) break;
    }
    socket.disconnectFromServer();
    return ProbeResult::HandedOver;
}

InstanceServer::InstanceServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::OnNewConnection);
}

InstanceServer::~InstanceServer() { server_->close(); }

bool InstanceServer::Listen(const QString& name) {
    QLocalServer::removeServer(name);
    return server_->listen(name);
}

bool InstanceServer::IsListening() const { return server_->isListening(); }

void InstanceServer::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        if (socket->bytesAvailable() > 0) OnReadyRead(socket);
    }
}

void InstanceServer::OnReadyRead(QLocalSocket* socket) {
    QPointer<QLocalSocket> guard(socket);
    QByteArray buffer = socket->property(kBufferProperty).toByteArray() + socket->readAll();
    HandOver message;
    size_t consumed = 0;
    const DecodeStatus status = DecodeHandOver(reinterpret_cast<const uint8_t*>(buffer.constData()),
                                               static_cast<size_t>(buffer.size()), message, consumed);
    if (status == DecodeStatus::NeedMore) {
        socket->setProperty(kBufferProperty, buffer);
        return;
    }
    socket->setProperty(kBufferProperty, QByteArray());
    if (status == DecodeStatus::Malformed) {
        socket->abort();
        return;
    }
    // One message per connection; the answer goes out once the handler is done.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    if (handler_) handler_(message);
    if (!guard) return;
    const char reply = static_cast<char>(kHandOverReply);
    guard->write(&reply, 1);
    guard->flush();
    guard->disconnectFromServer();
}

}  // namespace lumra::ui
