// The single-instance channel: a local socket per user and settings file. The running
// instance listens; a second process connects, hands over its command line and waits
// until the running one has acted on it.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "shell/command_line.h"

class QLocalServer;
class QLocalSocket;

namespace lumra::ui {

// The server's name (a path under $XDG_RUNTIME_DIR when that exists).
QString InstanceServerName(const std::string& settingsPath);

enum class ProbeResult { NoInstance, InstanceRunning, HandedOver };

// Looks for a running instance. With handOver set the message is sent and the call
// returns once the running instance has answered (or dropped the connection).
ProbeResult ContactRunningInstance(const QString& name, const HandOver* handOver);

class InstanceServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const HandOver&)>;
    explicit InstanceServer(Handler handler, QObject* parent = nullptr);
    ~InstanceServer() override;

    // Removes a stale socket of that name and listens. False when listening fails.
    bool Listen(const QString& name);
    bool IsListening() const;

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);

    Handler handler_;
    QLocalServer* server_ = nullptr;
};

}  // namespace lumra::ui
