#include "ScriptedHttpServer.h"

ScriptedHttpServer::ScriptedHttpServer(Handler handler, QObject *parent)
    : LoopbackHttpServer(parent)
    , m_handler(std::move(handler))
{}

void ScriptedHttpServer::Serve(QTcpSocket *socket, const Request &request)
{
    requests << request;
    const Reply reply = m_handler(request);
    if (!reply.silent)
        Respond(socket, reply.status, "Scripted", reply.headers, reply.body);
}
