#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

// What the tests' HTTP servers on 127.0.0.1 share: listening on a free port in the test's own
// thread, and reading each request whole before it is served. One request per connection.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    struct Request
    {
        QByteArray verb;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        Headers headerLines;                   // as they came, in order
        QByteArray body;
    };

    // Listens on a free port; false when it cannot.
    bool Listen();
    // http://127.0.0.1:port/
    QUrl BaseUrl() const;

protected:
    explicit LoopbackHttpServer(QObject *parent);

    // A whole request that came on socket; answered with Respond, or never.
    virtual void Serve(QTcpSocket *socket, const Request &request) = 0;
    // Writes the answer and closes the connection.
    static void Respond(QTcpSocket *socket, int status, const QByteArray &reason,
                        const Headers &headers, const QByteArray &body);

private:
    void Accept(QTcpSocket *socket);

    QTcpServer *m_server;
};
