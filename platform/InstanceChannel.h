#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// The per-user channel through which a second start hands over to the running instance:
// it sends one zero byte and waits for the answer 1.
class InstanceServer : public QObject
{
    Q_OBJECT
public:
    explicit InstanceServer(QObject *parent = nullptr);

    // Starts listening under the channel name; false when that is not possible.
    bool listen(const QString &name);
    bool isListening() const;

signals:
    // Emitted on the GUI thread for each hand-over, before the answer goes back.
    void handOver();

private:
    void acceptConnections();
    QLocalServer *m_server = nullptr;
};

namespace InstanceClient {

enum class Result {
    NoListener, // nobody runs, or the running instance has no window yet
    Answered,   // the running instance handled the hand-over
    NoAnswer,   // connected, but no answer in time
};

// Sends the hand-over and waits at most timeoutMs in all.
Result sendHandOver(const QString &name, int timeoutMs);

} // namespace InstanceClient

// The full channel name for a base name: a socket in the private runtime directory on Unix,
// a per-user pipe name elsewhere.
QString InstanceChannelName(const QString &baseName);
