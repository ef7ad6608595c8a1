#include "DavProxy.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QXmlStreamReader>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Headers that belong to one connection, not to the request or the answer.
bool HopByHop(const QByteArray &name)
{
    static const QList<QByteArray> names = {
        "host",           "content-length",    "connection",
        "keep-alive",     "transfer-encoding", "content-encoding",
        "accept-encoding"};
    return names.contains(name.toLower());
}

bool IsSyncCollectionReport(const QByteArray &body)
{
    QXmlStreamReader xml(body);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement)
            return xml.namespaceUri() == u"DAV:"_s && xml.name() == u"sync-collection"_s;
    return false;
}

QByteArray Reason(int status)
{
    switch (status) {
    case 403: return "Forbidden";
    case 413: return "Request Entity Too Large";
    case 415: return "Unsupported Media Type";
    case 502: return "Bad Gateway";
    default: return "Proxied";
    }
}

} // namespace

DavProxy::DavProxy(const QUrl &upstream, QObject *parent)
    : LoopbackHttpServer(parent)
    , m_upstream(upstream)
    , m_network(new QNetworkAccessManager(this))
{}

QUrl DavProxy::Via(const QUrl &url) const
{
    QUrl via = url;
    via.setScheme(u"http"_s);
    via.setHost(u"127.0.0.1"_s);
    via.setPort(BaseUrl().port());
    return via;
}

QByteArray DavProxy::WithoutSyncCollection(const QByteArray &multistatus)
{
    // Offsets in characters of the decoded text: the answer holds Korean names.
    const QString text = QString::fromUtf8(multistatus);
    QXmlStreamReader xml(text);
    QList<std::pair<qint64, qint64>> cuts; // [from, to) of elements to leave out
    qint64 before = 0;                     // where the token just read began
    qint64 reportStart = -1;
    bool reportHasSync = false;
    qint64 tokenStart = -1;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const bool dav = xml.namespaceUri() == u"DAV:"_s;
        if (token == QXmlStreamReader::StartElement && dav) {
            if (xml.name() == u"supported-report"_s) {
                reportStart = before;
                reportHasSync = false;
            } else if (xml.name() == u"sync-collection"_s && reportStart >= 0) {
                reportHasSync = true;
            } else if (xml.name() == u"sync-token"_s) {
                tokenStart = before;
            }
        } else if (token == QXmlStreamReader::EndElement && dav) {
            if (xml.name() == u"supported-report"_s) {
                if (reportHasSync)
                    cuts.append({reportStart, xml.characterOffset()});
                reportStart = -1;
            } else if (xml.name() == u"sync-token"_s && tokenStart >= 0) {
                cuts.append({tokenStart, xml.characterOffset()});
                tokenStart = -1;
            }
        }
        before = xml.characterOffset();
    }
    if (xml.hasError())
        return multistatus;
    QString out = text;
    std::sort(cuts.begin(), cuts.end());
    for (auto it = cuts.crbegin(); it != cuts.crend(); ++it)
        out.remove(it->first, it->second - it->first);
    return out.toUtf8();
}

void DavProxy::Serve(QTcpSocket *socket, const Request &request)
{
    Seen seen;
    seen.verb = request.verb;
    seen.path = request.path;
    seen.depth = request.headers.value("depth");
    if (seen.verb == "REPORT" && IsSyncCollectionReport(request.body)) {
        seen.syncCollection = true;
        if (hideSyncCollection) {
            // What RFC 3253 has a server answer for a report it does not offer.
            Answer(socket, seen, 403, {{"Content-Type", "application/xml; charset=utf-8"}},
                   "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                   "<D:error xmlns:D=\"DAV:\"><D:supported-report/></D:error>");
            return;
        }
    }
    if (seen.verb == "PUT" && refusePut) {
        if (const int status = refusePut(seen.path, request.body)) {
            Answer(socket, seen, status, {{"Content-Type", "text/plain"}},
                   "refused by the test's proxy");
            return;
        }
    }
    Forward(socket, seen, request.headerLines, request.body);
}

void DavProxy::Forward(QTcpSocket *socket, Seen seen, const Headers &headerLines,
                       const QByteArray &body, int attempts)
{
    QUrl url = m_upstream.resolved(QUrl::fromEncoded(seen.path));
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(30000);
    for (const auto &[name, value] : headerLines)
        if (!HopByHop(name))
            request.setRawHeader(name, value);
    QNetworkReply *reply = m_network->sendCustomRequest(request, seen.verb, body);
    connect(reply, &QNetworkReply::finished, socket,
            [this, socket, reply, seen, headerLines, body, attempts] {
                reply->deleteLater();
                const int status =
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                // radicale refuses a request over its size limit before reading the body and
                // closes, and the reset can overtake its answer; the proxy, which has read the
                // body, asks again until the answer comes through.
                if (status == 0 && seen.verb == "PUT" && attempts > 1) {
                    Forward(socket, seen, headerLines, body, attempts - 1);
                    return;
                }
                if (status == 0) {
                    Answer(socket, seen, 502, {}, reply->errorString().toUtf8());
                    return;
                }
                Headers headers;
                const QByteArray upstream = m_upstream.adjusted(QUrl::RemovePath).toEncoded();
                const QByteArray here = BaseUrl().adjusted(QUrl::RemovePath).toEncoded();
                for (const auto &[name, value] : reply->rawHeaderPairs()) {
                    if (HopByHop(name))
                        continue;
                    QByteArray v = value;
                    if (name.toLower() == "location" && v.startsWith(upstream))
                        v = here + v.mid(upstream.size());
                    headers.append({name, v});
                }
                QByteArray answer = reply->readAll();
                if (hideSyncCollection && seen.verb == "PROPFIND" && status == 207)
                    answer = WithoutSyncCollection(answer);
                Answer(socket, seen, status, headers, answer);
            });
}

void DavProxy::Answer(QTcpSocket *socket, Seen seen, int status, const Headers &headers,
                      const QByteArray &body)
{
    seen.status = status;
    this->seen.append(seen);
    Respond(socket, status, Reason(status), headers, body);
}
