#pragma once

#include "LoopbackHttpServer.h"

#include <functional>

// An HTTP server on 127.0.0.1 in the test's own thread that answers each request as the test
// says: for what a real server seldom does (no ETag, garbage, silence). One request per
// connection.
class ScriptedHttpServer : public LoopbackHttpServer
{
    Q_OBJECT
public:
    struct Reply
    {
        int status = 200;
        Headers headers;
        QByteArray body;
        bool silent = false; // accept and never answer
    };
    using Handler = std::function<Reply(const Request &)>;

    explicit ScriptedHttpServer(Handler handler, QObject *parent = nullptr);

    QList<Request> requests; // every request that came, in order

private:
    void Serve(QTcpSocket *socket, const Request &request) override;

    Handler m_handler;
};
