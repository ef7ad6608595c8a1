#include "ScriptedHttpServer.h"

#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

ScriptedHttpServer::ScriptedHttpServer(Handler handler, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection())
            Serve(socket);
    });
}

bool ScriptedHttpServer::Listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QUrl ScriptedHttpServer::BaseUrl() const
{
    QUrl url;
    url.setScheme(u"http"_s);
    url.setHost(u"127.0.0.1"_s);
    url.setPort(m_server->serverPort());
    url.setPath(u"/"_s);
    return url;
}

void ScriptedHttpServer::Serve(QTcpSocket *socket)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
        socket->setProperty("buffer", buffer);
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.verb = first.value(0);
        request.path = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length").toLongLong();
        if (buffer.size() < end + 4 + length)
            return;
        request.body = buffer.mid(end + 4, length);
        socket->setProperty("buffer", QByteArray());
        requests << request;
        const Reply reply = m_handler(request);
        if (reply.silent)
            return;
        QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\n";
        for (const auto &[name, value] : reply.headers)
            out += name + ": " + value + "\r\n";
        out += "Content-Length: " + QByteArray::number(reply.body.size())
               + "\r\nConnection: close\r\n\r\n" + reply.body;
        socket->write(out);
        socket->disconnectFromHost();
    });
}
