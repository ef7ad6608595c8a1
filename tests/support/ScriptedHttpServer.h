#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QUrl>

#include <functional>

class QTcpServer;

// An HTTP server on 127.0.0.1 in the test's own thread that answers each request as the test
// says: for what a real server seldom does (no ETag, garbage, silence). One request per
// connection.
class ScriptedHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray verb;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };
    struct Reply
    {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        bool silent = false; // accept and never answer
    };
    using Handler = std::function<Reply(const Request &)>;

    explicit ScriptedHttpServer(Handler handler, QObject *parent = nullptr);

    // Listens on a free port; false when it cannot.
    bool Listen();
    QUrl BaseUrl() const;
    QList<Request> requests; // every request that came, in order

private:
    void Serve(class QTcpSocket *socket);

    Handler m_handler;
    QTcpServer *m_server;
};
