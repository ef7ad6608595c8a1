#pragma once

#include "LoopbackHttpServer.h"

#include <functional>

class QNetworkAccessManager;

// A forwarding HTTP proxy on 127.0.0.1, in the test's own thread, in front of a real server
// (radicale): every request goes through as it came, unless the test makes it play a server
// that lacks the sync-collection REPORT (taken out of PROPFIND answers, the REPORT refused) or
// that refuses some card's upload. One request per connection. Unlike radicale, it reads a
// request's whole body before it answers, so a refusal always reaches the client.
class DavProxy : public LoopbackHttpServer
{
    Q_OBJECT
public:
    explicit DavProxy(const QUrl &upstream, QObject *parent = nullptr);

    // url of the upstream server, reached through the proxy.
    QUrl Via(const QUrl &url) const;

    // Answers as a server without sync-collection: no sync-collection in supported-report-set,
    // no DAV:sync-token, and the REPORT refused with 403 and DAV:supported-report.
    bool hideSyncCollection = false;
    // The status a PUT of this card is refused with, instead of passing it on; 0 passes it on.
    std::function<int(const QByteArray &path, const QByteArray &body)> refusePut;

    struct Seen
    {
        QByteArray verb;
        QByteArray path;
        QByteArray depth;
        bool syncCollection = false; // a sync-collection REPORT
        int status = 0;              // what the client was answered
    };
    QList<Seen> seen; // every request, in order

    // The PROPFIND answer with sync-collection and the sync token taken out.
    static QByteArray WithoutSyncCollection(const QByteArray &multistatus);

private:
    void Serve(QTcpSocket *socket, const Request &request) override;
    void Forward(QTcpSocket *socket, Seen seen, const Headers &headerLines, const QByteArray &body,
                 int attempts = 5);
    void Answer(QTcpSocket *socket, Seen seen, int status, const Headers &headers,
                const QByteArray &body);

    QUrl m_upstream;
    QNetworkAccessManager *m_network;
};
