#include "InstanceChannel.h"

#include "InstanceLock.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QVariant>

Q_LOGGING_CATEGORY(lcInstance, "vandrel.instance", QtWarningMsg)

QString InstanceChannelName(const QString &baseName)
{
#ifdef Q_OS_WIN
    return baseName + u'-' + qEnvironmentVariable("USERNAME");
#else
    const QString dir = InstanceLock::runtimeDirectory();
    return dir.isEmpty() ? QString() : dir + u'/' + baseName;
#endif
}

InstanceServer::InstanceServer(QObject *parent)
    : QObject(parent)
{}

bool InstanceServer::listen(const QString &name)
{
    if (name.isEmpty())
        return false;
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the holder of the instance lock listens, so an old socket is a leftover.
    QLocalServer::removeServer(name);
    if (!m_server->listen(name)) {
        qCWarning(lcInstance) << "cannot listen on" << name << m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::acceptConnections);
    qCDebug(lcInstance) << "listening on" << name;
    return true;
}

bool InstanceServer::isListening() const
{
    return m_server && m_server->isListening();
}

void InstanceServer::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->property("answered").toBool())
                return;
            socket->readAll();
            socket->setProperty("answered", true);
            qCDebug(lcInstance) << "hand-over received";
            emit handOver();
            socket->write("\x01", 1);
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

namespace InstanceClient {

Result sendHandOver(const QString &name, int timeoutMs)
{
    if (name.isEmpty())
        return Result::NoListener;
    QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return Result::NoListener;
    const char zero = 0;
    socket.write(&zero, 1);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return Result::NoAnswer;
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return Result::NoAnswer;
    }
    char answer = 0;
    socket.read(&answer, 1);
    return answer == 1 ? Result::Answered : Result::NoAnswer;
}

} // namespace InstanceClient
