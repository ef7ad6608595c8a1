#include "CardDavClient.h"

#include "DavXml.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSet>
#include <QSslCertificate>
#include <QSslError>
#include <QTimer>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace CardDav {

namespace {

const QString ResourceType = DavXml::Name(DavXml::Dav, u"resourcetype"_s);
const QString DisplayName = DavXml::Name(DavXml::Dav, u"displayname"_s);
const QString GetEtag = DavXml::Name(DavXml::Dav, u"getetag"_s);
const QString ContentType = DavXml::Name(DavXml::Dav, u"getcontenttype"_s);
const QString Collection = DavXml::Name(DavXml::Dav, u"collection"_s);
const QString SyncTokenProp = DavXml::Name(DavXml::Dav, u"sync-token"_s);
const QString ReportSet = DavXml::Name(DavXml::Dav, u"supported-report-set"_s);
const QString SyncCollectionReport = DavXml::Name(DavXml::Dav, u"sync-collection"_s);
const QString Principal = DavXml::Name(DavXml::Dav, u"current-user-principal"_s);
const QString HomeSet = DavXml::Name(DavXml::CardDav, u"addressbook-home-set"_s);
const QString AddressBookType = DavXml::Name(DavXml::CardDav, u"addressbook"_s);
const QString Description = DavXml::Name(DavXml::CardDav, u"addressbook-description"_s);
const QString AddressData = DavXml::Name(DavXml::CardDav, u"address-data"_s);
const QString Ctag = DavXml::Name(DavXml::CalendarServer, u"getctag"_s);

// How often a running request asks the cancel check.
constexpr int CancelPollMs = 100;

Error Failure(ErrorKind kind, const QString &detail = QString(), int status = 0)
{
    Error error;
    error.kind = kind;
    error.detail = detail;
    error.status = status;
    return error;
}

QString DescribeSslError(const QSslError &error)
{
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain: return u"자체 서명된 인증서입니다"_s;
    case QSslError::CertificateExpired: return u"인증서의 유효 기간이 지났습니다"_s;
    case QSslError::CertificateNotYetValid: return u"인증서가 아직 유효하지 않습니다"_s;
    case QSslError::HostNameMismatch: return u"인증서가 이 서버 이름의 것이 아닙니다"_s;
    case QSslError::CertificateRevoked: return u"폐기된 인증서입니다"_s;
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted: return u"신뢰하는 인증 기관이 발급한 인증서가 아닙니다"_s;
    default: return error.errorString();
    }
}

Error SslFailure(const QList<QSslError> &errors, const QString &qtText)
{
    QStringList problems;
    QString subject;
    for (const QSslError &e : errors) {
        const QString text = DescribeSslError(e);
        if (!problems.contains(text))
            problems << text;
        if (subject.isEmpty() && !e.certificate().isNull())
            subject = e.certificate().subjectInfo(QSslCertificate::CommonName).join(u", "_s);
    }
    QString detail = problems.isEmpty() ? qtText : problems.join(u"; "_s);
    if (!subject.isEmpty())
        detail += u" (인증서: "_s + subject + u')';
    return Failure(ErrorKind::Certificate, detail);
}

Error TransportFailure(QNetworkReply::NetworkError code, const QString &text)
{
    switch (code) {
    case QNetworkReply::HostNotFoundError: return Failure(ErrorKind::HostNotFound, text);
    case QNetworkReply::TimeoutError:
    // The transfer timeout aborts the reply; the caller's own cancel is told apart before.
    case QNetworkReply::OperationCanceledError: return Failure(ErrorKind::Timeout, text);
    case QNetworkReply::SslHandshakeFailedError: return Failure(ErrorKind::Certificate, text);
    default: return Failure(ErrorKind::NoNetwork, text);
    }
}

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The response of a multistatus that describes url itself; the first when none names it.
const DavXml::Response *ResponseFor(const DavXml::Multistatus &ms, const QUrl &url)
{
    const QString path = url.path(QUrl::FullyEncoded);
    const auto same = [](QString a, QString b) {
        if (!a.endsWith(u'/'))
            a += u'/';
        if (!b.endsWith(u'/'))
            b += u'/';
        return a == b;
    };
    for (const DavXml::Response &r : ms.responses)
        if (same(url.resolved(QUrl(r.href)).path(QUrl::FullyEncoded), path))
            return &r;
    return ms.responses.isEmpty() ? nullptr : &ms.responses.first();
}

QString PropText(const DavXml::Response &r, const QString &name)
{
    return r.props.value(name).text.trimmed();
}

bool HasType(const DavXml::Response &r, const QString &type)
{
    return r.props.value(ResourceType).content.contains(type);
}

// XML reading turns the CRLF of a vCard into LF; vCard wants CRLF back.
QByteArray VCardBytes(const QString &text)
{
    QString lines = text.trimmed();
    lines.replace(u"\r\n"_s, u"\n"_s);
    lines.replace(u'\r', u'\n');
    lines.replace(u"\n"_s, u"\r\n"_s);
    return lines.toUtf8() + "\r\n";
}

// A non-multistatus answer where one was expected.
Error NotMultistatus(int status, const QByteArray &body)
{
    Error error = Error::FromStatus(status);
    if (error.Ok())
        error = Failure(ErrorKind::BadResponse, u"HTTP %1, 207 Multi-Status 아님"_s.arg(status),
                        status);
    error.condition = DavXml::ParseErrorConditions(body).join(u", "_s);
    return error;
}

// The response of a 207 answer for the resource asked about; none, and why, when the answer
// is not one.
class SelfAnswer
{
public:
    template<typename Answer>
    explicit SelfAnswer(const Answer &r)
    {
        if (r.status == 207)
            m_ms = DavXml::ParseMultistatus(r.body);
        if (const DavXml::Response *found = m_ms.valid ? ResponseFor(m_ms, r.url) : nullptr)
            m_index = found - m_ms.responses.constData();
        else
            error = NotMultistatus(r.status, r.body);
    }
    explicit operator bool() const { return m_index >= 0; }
    const DavXml::Response &operator*() const { return m_ms.responses.at(m_index); }
    const DavXml::Response *operator->() const { return &m_ms.responses.at(m_index); }

    Error error;

private:
    DavXml::Multistatus m_ms;
    qsizetype m_index = -1;
};

template<typename Result>
Result WithError(const Error &error)
{
    Result result;
    result.error = error;
    return result;
}

// Runs an asynchronous call and waits for its done in a local event loop.
template<typename Result, typename Start>
Result Wait(Start start)
{
    QEventLoop loop;
    std::optional<Result> result;
    start([&](Result r) {
        result = std::move(r);
        loop.quit();
    });
    if (!result)
        loop.exec();
    return std::move(*result);
}

const DavXml::PropNames DiscoveryProps = {
    {DavXml::Dav, u"resourcetype"_s},
    {DavXml::Dav, u"displayname"_s},
    {DavXml::Dav, u"current-user-principal"_s},
    {DavXml::CardDav, u"addressbook-home-set"_s},
    {DavXml::CardDav, u"addressbook-description"_s},
};

} // namespace

Client::Client(const Account &account, QObject *parent)
    : QObject(parent)
    , m_account(account)
    , m_network(new QNetworkAccessManager(this))
{
    // A name and password typed into the address are taken from it: no message, log or
    // request line then shows the password.
    if (m_account.user.isEmpty() && !m_account.address.userName().isEmpty()) {
        m_account.user = m_account.address.userName();
        m_account.password = m_account.address.password();
    }
    m_account.address.setUserInfo(QString());
}

Client::~Client() = default;

Error Client::CheckAddress(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return Failure(ErrorKind::InvalidAddress, url.toString(QUrl::RemoveUserInfo));
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https"_s)
        return {};
    if (scheme != u"http"_s)
        return Failure(ErrorKind::InvalidAddress, url.toString(QUrl::RemoveUserInfo));
    const QString host = url.host().toLower();
    if (host == u"localhost"_s || QHostAddress(host).isLoopback())
        return {};
    return Failure(ErrorKind::InsecureAddress, url.toString(QUrl::RemoveUserInfo));
}

QUrl Client::AddressFromText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    return QUrl(trimmed.contains(u"://"_s) ? trimmed : u"https://"_s + trimmed);
}

QString Client::NewCardHref(const QUrl &book, const QString &uid)
{
    static const QRegularExpression safe(u"^[A-Za-z0-9_@-][A-Za-z0-9._@-]{0,99}$"_s);
    const QString name =
        safe.match(uid).hasMatch()
            ? uid
            : QString::fromLatin1(
                QCryptographicHash::hash(uid.toUtf8(), QCryptographicHash::Sha1).toHex());
    QString path = book.path(QUrl::FullyEncoded);
    if (!path.endsWith(u'/'))
        path += u'/';
    return path + name + u".vcf"_s;
}

QString Client::HrefOf(const QUrl &base, const QString &href)
{
    return base.resolved(QUrl(href)).path(QUrl::FullyEncoded);
}

void Client::Later(std::function<void()> work)
{
    QTimer::singleShot(0, this, std::move(work));
}

void Client::Send(Request request, const CancelCheck &cancel, Answer answer, int redirectsLeft)
{
    const Error bad = CheckAddress(request.url);
    if (!bad.Ok() || (cancel && cancel())) {
        Response response;
        response.error = bad.Ok() ? Failure(ErrorKind::Cancelled) : bad;
        Later([answer, response] { answer(response); });
        return;
    }

    QNetworkRequest req(request.url);
    req.setTransferTimeout(request.timeoutMs > 0 ? request.timeoutMs : m_account.timeoutMs);
    // Followed by hand, so that the method, its body and the address check go along.
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     QNetworkRequest::ManualRedirectPolicy);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("Vandrel/" VANDREL_VERSION_STRING));
    if (!m_account.user.isEmpty())
        req.setRawHeader("Authorization",
                         "Basic "
                             + (m_account.user + u':' + m_account.password).toUtf8().toBase64());
    if (!request.depth.isEmpty())
        req.setRawHeader("Depth", request.depth);
    if (!request.contentType.isEmpty())
        req.setHeader(QNetworkRequest::ContentTypeHeader, request.contentType);
    for (const auto &[name, value] : std::as_const(request.headers))
        req.setRawHeader(name, value);

    QNetworkReply *reply = m_network->sendCustomRequest(req, request.verb, request.body);

    struct State
    {
        bool cancelled = false;
        QList<QSslError> sslErrors;
    };
    auto state = std::make_shared<State>();
    if (cancel) {
        auto *poll = new QTimer(reply);
        poll->setInterval(CancelPollMs);
        connect(poll, &QTimer::timeout, reply, [reply, cancel, state] {
            if (!state->cancelled && cancel()) {
                state->cancelled = true;
                reply->abort();
            }
        });
        poll->start();
    }
    // Certificate errors are collected for the message and never ignored.
    connect(reply, &QNetworkReply::sslErrors, reply,
            [state](const QList<QSslError> &errors) { state->sslErrors << errors; });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, request, cancel, answer, redirectsLeft, state]() mutable {
                reply->deleteLater();
                Response response;
                response.url = request.url;
                const int status =
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                if (state->cancelled) {
                    response.error = Failure(ErrorKind::Cancelled);
                } else if (!state->sslErrors.isEmpty()) {
                    response.error = SslFailure(state->sslErrors, reply->errorString());
                } else if (status == 0) {
                    response.error = TransportFailure(reply->error(), reply->errorString());
                    response.cut = reply->error() == QNetworkReply::RemoteHostClosedError
                                   || reply->error() == QNetworkReply::UnknownNetworkError;
                } else {
                    response.status = status;
                    response.body = reply->readAll();
                    response.etag = reply->rawHeader("ETag");
                    const QByteArray location = reply->rawHeader("Location");
                    if (IsRedirect(status) && !location.isEmpty()) {
                        const QUrl target = request.url.resolved(QUrl::fromEncoded(location));
                        if (redirectsLeft <= 0) {
                            response.error =
                                Failure(ErrorKind::HttpError, u"너무 많은 리디렉션"_s, status);
                        } else if (request.url.scheme() == u"https"_s
                                   && target.scheme() != u"https"_s) {
                            response.error = Failure(ErrorKind::InsecureAddress,
                                                     target.toString(QUrl::RemoveUserInfo));
                        } else {
                            request.url = target;
                            Send(request, cancel, answer, redirectsLeft - 1);
                            return;
                        }
                    }
                }
                answer(response);
            });
}

void Client::Propfind(const QUrl &url, const QByteArray &depth, const QByteArray &body,
                      const CancelCheck &cancel, Answer answer)
{
    Request request;
    request.verb = "PROPFIND";
    request.url = url;
    request.depth = depth;
    request.body = body;
    request.contentType = "application/xml; charset=utf-8";
    Send(request, cancel, std::move(answer));
}

// Discovery.

void Client::Discover(const CancelCheck &cancel, std::function<void(Discovery)> done)
{
    const QUrl start = m_account.address;
    const Error bad = CheckAddress(start);
    if (!bad.Ok()) {
        Later([done, bad] { done(WithError<Discovery>(bad)); });
        return;
    }
    const QString path = start.path();
    if (path.isEmpty() || path == u"/"_s) {
        QUrl wellKnown = start;
        wellKnown.setPath(u"/.well-known/carddav"_s);
        DiscoverAt(wellKnown, false, cancel, std::move(done));
    } else {
        DiscoverAt(start, true, cancel, std::move(done));
    }
}

void Client::DiscoverAt(QUrl url, bool fromUser, const CancelCheck &cancel,
                        std::function<void(Discovery)> done)
{
    Propfind(url, "0", DavXml::Propfind(DiscoveryProps), cancel,
             [this, url, fromUser, cancel, done](Response r) {
                 if (!r.error.Ok())
                     return done(WithError<Discovery>(r.error));
                 const bool atRoot = r.url.path() == u"/"_s;
                 const SelfAnswer self(r);
                 if (!self) {
                     const Error error = self.error;
                     // No well-known address: the server's root may still tell the principal.
                     if (!fromUser && !atRoot
                         && (error.kind == ErrorKind::NoCardDav
                             || error.kind == ErrorKind::BadResponse)) {
                         QUrl root = url;
                         root.setPath(u"/"_s);
                         return DiscoverAt(root, false, cancel, done);
                     }
                     if (error.kind == ErrorKind::BadResponse && r.status < 300)
                         return done(WithError<Discovery>(
                             Failure(ErrorKind::NoCardDav, error.detail, r.status)));
                     return done(WithError<Discovery>(error));
                 }
                 if (HasType(*self, AddressBookType)) {
                     Discovery found;
                     found.addressBooks << AddressBook{r.url, PropText(*self, DisplayName),
                                                       PropText(*self, Description)};
                     return done(found);
                 }
                 const QStringList homes = self->props.value(HomeSet).hrefs;
                 if (!homes.isEmpty()) {
                     Discovery found;
                     found.homeSet = r.url.resolved(QUrl(homes.first()));
                     return DiscoverHome(found.homeSet, found, cancel, done);
                 }
                 const QStringList principals = self->props.value(Principal).hrefs;
                 if (!principals.isEmpty()) {
                     const QUrl principal = r.url.resolved(QUrl(principals.first()));
                     if (principal.path() != r.url.path())
                         return DiscoverPrincipal(principal, cancel, done);
                 }
                 // An address the user typed may be the home set itself.
                 if (fromUser && HasType(*self, Collection)) {
                     Discovery found;
                     found.homeSet = r.url;
                     return DiscoverHome(r.url, found, cancel, done);
                 }
                 if (!fromUser && !atRoot) {
                     QUrl root = url;
                     root.setPath(u"/"_s);
                     return DiscoverAt(root, false, cancel, done);
                 }
                 done(WithError<Discovery>(
                     Failure(ErrorKind::NoCardDav, u"current-user-principal 없음"_s)));
             });
}

void Client::DiscoverPrincipal(const QUrl &principal, const CancelCheck &cancel,
                               std::function<void(Discovery)> done)
{
    Propfind(principal, "0", DavXml::Propfind({{DavXml::CardDav, u"addressbook-home-set"_s}}),
             cancel, [this, principal, cancel, done](Response r) {
                 if (!r.error.Ok())
                     return done(WithError<Discovery>(r.error));
                 const SelfAnswer self(r);
                 if (!self)
                     return done(WithError<Discovery>(self.error));
                 const QStringList homes = self->props.value(HomeSet).hrefs;
                 if (homes.isEmpty())
                     return done(WithError<Discovery>(
                         Failure(ErrorKind::NoCardDav, u"addressbook-home-set 없음"_s)));
                 Discovery found;
                 found.principal = principal;
                 found.homeSet = r.url.resolved(QUrl(homes.first()));
                 DiscoverHome(found.homeSet, found, cancel, done);
             });
}

void Client::DiscoverHome(const QUrl &home, Discovery found, const CancelCheck &cancel,
                          std::function<void(Discovery)> done)
{
    Propfind(home, "1", DavXml::Propfind(DiscoveryProps), cancel, [found, done](Response r) {
        Discovery result = found;
        if (!r.error.Ok()) {
            result.error = r.error;
            return done(result);
        }
        const DavXml::Multistatus ms =
            r.status == 207 ? DavXml::ParseMultistatus(r.body) : DavXml::Multistatus();
        if (!ms.valid) {
            result.error = NotMultistatus(r.status, r.body);
            return done(result);
        }
        for (const DavXml::Response &book : ms.responses)
            if (HasType(book, AddressBookType))
                result.addressBooks
                    << AddressBook{r.url.resolved(QUrl(book.href)), PropText(book, DisplayName),
                                   PropText(book, Description)};
        if (result.addressBooks.isEmpty())
            result.error = Failure(ErrorKind::NoCardDav, u"주소록 없음"_s);
        done(result);
    });
}

Discovery Client::DiscoverBlocking(const CancelCheck &cancel)
{
    return Wait<Discovery>([&](auto done) { Discover(cancel, done); });
}

// One address book.

void Client::ReadCapabilities(const QUrl &book, const CancelCheck &cancel,
                              std::function<void(Capabilities)> done)
{
    const QByteArray body = DavXml::Propfind({{DavXml::Dav, u"resourcetype"_s},
                                              {DavXml::Dav, u"displayname"_s},
                                              {DavXml::Dav, u"sync-token"_s},
                                              {DavXml::Dav, u"supported-report-set"_s},
                                              {DavXml::Dav, u"getetag"_s},
                                              {DavXml::CalendarServer, u"getctag"_s}});
    Propfind(book, "0", body, cancel, [done](Response r) {
        if (!r.error.Ok())
            return done(WithError<Capabilities>(r.error));
        const SelfAnswer self(r);
        if (!self)
            return done(WithError<Capabilities>(self.error));
        if (!HasType(*self, AddressBookType))
            return done(WithError<Capabilities>(
                Failure(ErrorKind::NoCardDav,
                        u"주소록이 아님: "_s + r.url.toString(QUrl::RemoveUserInfo))));
        Capabilities caps;
        caps.displayName = PropText(*self, DisplayName);
        caps.ctag = PropText(*self, Ctag);
        caps.syncToken = PropText(*self, SyncTokenProp);
        caps.etag = PropText(*self, GetEtag);
        // A server that lists no reports at all but has a token is taken at its token.
        caps.syncCollection =
            self->props.contains(ReportSet)
                ? self->props.value(ReportSet).content.contains(SyncCollectionReport)
                : !caps.syncToken.isEmpty();
        done(caps);
    });
}

Capabilities Client::ReadCapabilitiesBlocking(const QUrl &book, const CancelCheck &cancel)
{
    return Wait<Capabilities>([&](auto done) { ReadCapabilities(book, cancel, done); });
}

void Client::ReadChanges(const QUrl &book, const QString &token, const CancelCheck &cancel,
                         std::function<void(Changes)> done)
{
    Request request;
    request.verb = "REPORT";
    request.url = book;
    request.depth = "0";
    request.body = DavXml::SyncCollection(token);
    request.contentType = "application/xml; charset=utf-8";
    Send(request, cancel, [book, token, done](Response r) {
        if (!r.error.Ok())
            return done(WithError<Changes>(r.error));
        if (r.status != 207) {
            Error error = NotMultistatus(r.status, r.body);
            // A token the server forgot comes back as the valid-sync-token precondition, or
            // as a bare 403 or 409 from some servers; a listing then tells the truth anyway.
            if (error.condition.contains(u"valid-sync-token"_s)
                || (!token.isEmpty() && (r.status == 403 || r.status == 409)))
                error.kind = ErrorKind::SyncTokenRejected;
            return done(WithError<Changes>(error));
        }
        const DavXml::Multistatus ms = DavXml::ParseMultistatus(r.body);
        if (!ms.valid)
            return done(WithError<Changes>(Failure(ErrorKind::BadResponse, ms.problem, 207)));
        Changes changes;
        changes.syncToken = ms.syncToken;
        const QString own = HrefOf(r.url, r.url.path(QUrl::FullyEncoded));
        for (const DavXml::Response &member : ms.responses) {
            const QString href = HrefOf(r.url, member.href);
            if (member.status == 507) {
                changes.truncated = true;
                continue;
            }
            if (href == own || href.endsWith(u'/') || own == href + u'/')
                continue;
            if (member.status == 404)
                changes.removed << href;
            else
                changes.changed.insert(href, PropText(member, GetEtag));
        }
        if (changes.syncToken.isEmpty())
            return done(
                WithError<Changes>(Failure(ErrorKind::BadResponse, u"sync-token 없음"_s, 207)));
        done(changes);
    });
}

Changes Client::ReadChangesBlocking(const QUrl &book, const QString &token,
                                    const CancelCheck &cancel)
{
    return Wait<Changes>([&](auto done) { ReadChanges(book, token, cancel, done); });
}

void Client::ListCards(const QUrl &book, const CancelCheck &cancel,
                       std::function<void(Listing)> done)
{
    const QByteArray body = DavXml::Propfind({{DavXml::Dav, u"resourcetype"_s},
                                              {DavXml::Dav, u"getetag"_s},
                                              {DavXml::Dav, u"getcontenttype"_s}});
    Propfind(book, "1", body, cancel, [done](Response r) {
        if (!r.error.Ok())
            return done(WithError<Listing>(r.error));
        const DavXml::Multistatus ms =
            r.status == 207 ? DavXml::ParseMultistatus(r.body) : DavXml::Multistatus();
        if (!ms.valid)
            return done(WithError<Listing>(r.status == 207
                                               ? Failure(ErrorKind::BadResponse, ms.problem, 207)
                                               : NotMultistatus(r.status, r.body)));
        Listing listing;
        for (const DavXml::Response &member : ms.responses) {
            const QString href = HrefOf(r.url, member.href);
            if (HasType(member, Collection) || href.endsWith(u'/'))
                continue;
            const QString type = PropText(member, ContentType).toLower();
            if (!type.isEmpty() && !type.contains(u"vcard"_s))
                continue;
            if (member.props.contains(GetEtag))
                listing.etags.insert(href, PropText(member, GetEtag));
        }
        done(listing);
    });
}

Listing Client::ListCardsBlocking(const QUrl &book, const CancelCheck &cancel)
{
    return Wait<Listing>([&](auto done) { ListCards(book, cancel, done); });
}

void Client::FetchCards(const QUrl &book, const QStringList &hrefs, int batchSize,
                        const CancelCheck &cancel, std::function<void(Cards)> done,
                        std::function<void(int, int)> progress)
{
    QStringList normal;
    for (const QString &href : hrefs)
        normal << HrefOf(book, href);
    normal.removeDuplicates();
    FetchBatch(book, normal, 0, qMax(1, batchSize), Cards(), cancel, std::move(done),
               std::move(progress));
}

void Client::FetchBatch(const QUrl &book, QStringList hrefs, int from, int batchSize, Cards cards,
                        const CancelCheck &cancel, std::function<void(Cards)> done,
                        std::function<void(int, int)> progress)
{
    if (from >= hrefs.size()) {
        Later([done, cards] { done(cards); });
        return;
    }
    const QStringList batch = hrefs.mid(from, batchSize);
    Request request;
    request.verb = "REPORT";
    request.url = book;
    request.depth = "1";
    request.body = DavXml::Multiget(batch);
    request.contentType = "application/xml; charset=utf-8";
    Send(request, cancel,
         [this, book, hrefs, from, batchSize, cards, cancel, done, progress,
          batch](Response r) mutable {
             if (!r.error.Ok())
                 return done(WithError<Cards>(r.error));
             const DavXml::Multistatus ms =
                 r.status == 207 ? DavXml::ParseMultistatus(r.body) : DavXml::Multistatus();
             if (!ms.valid)
                 return done(WithError<Cards>(r.status == 207
                                                  ? Failure(ErrorKind::BadResponse, ms.problem, 207)
                                                  : NotMultistatus(r.status, r.body)));
             QStringList unanswered = batch;
             for (const DavXml::Response &member : ms.responses) {
                 const QString href = HrefOf(r.url, member.href);
                 if (!unanswered.removeOne(href))
                     continue;
                 if (member.status == 404 || !member.props.contains(AddressData)) {
                     cards.missing << href;
                     continue;
                 }
                 cards.cards.insert(href, Card{PropText(member, GetEtag),
                                               VCardBytes(member.props.value(AddressData).text)});
             }
             cards.missing << unanswered;
             const int next = from + batch.size();
             if (progress)
                 progress(next, hrefs.size());
             FetchBatch(book, hrefs, next, batchSize, cards, cancel, done, progress);
         });
}

Cards Client::FetchCardsBlocking(const QUrl &book, const QStringList &hrefs, int batchSize,
                                 const CancelCheck &cancel, std::function<void(int, int)> progress)
{
    return Wait<Cards>(
        [&](auto done) { FetchCards(book, hrefs, batchSize, cancel, done, progress); });
}

// Writing.

void Client::PutCard(const QUrl &book, const QString &href, const QByteArray &vcard,
                     const QString &etag, const CancelCheck &cancel,
                     std::function<void(Written)> done)
{
    Request request;
    request.verb = "PUT";
    request.url = book.resolved(QUrl(href));
    request.body = vcard;
    request.contentType = "text/vcard; charset=utf-8";
    if (etag.isEmpty())
        request.headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
    else
        request.headers.append(qMakePair(QByteArray("If-Match"), etag.toUtf8()));
    Send(request, cancel, [this, cancel, done](Response r) {
        if (r.cut) {
            // A server refusing a body too large for it (413) may answer before reading it and
            // close the connection, and the reset can overtake the answer.
            return CutOff(r,
                          Failure(ErrorKind::CardRejected,
                                  u"서버가 카드를 받다가 연결을 끊었습니다. 카드가 너무 클 수 "
                                  u"있습니다"_s),
                          cancel, done);
        }
        if (!r.error.Ok())
            return done(WithError<Written>(r.error));
        if (r.status >= 200 && r.status <= 299) {
            // Without an ETag (the server changed the card on the way in) it is read back.
            if (r.etag.isEmpty())
                return ReadEtag(r.url, cancel, done);
            Written written;
            written.etag = QString::fromUtf8(r.etag);
            return done(written);
        }
        Error error = Error::FromStatus(r.status);
        const QStringList conditions = DavXml::ParseErrorConditions(r.body);
        error.condition = conditions.join(u", "_s);
        // RFC 6352's preconditions for a card, and a card the server could not parse.
        static const QStringList cardConditions = {u"supported-address-data"_s,
                                                   u"valid-address-data"_s, u"max-resource-size"_s,
                                                   u"no-uid-conflict"_s};
        bool cardProblem = r.status == 400;
        for (const QString &c : conditions)
            cardProblem = cardProblem || cardConditions.contains(c);
        if (cardProblem)
            error.kind = ErrorKind::CardRejected;
        if (error.kind == ErrorKind::CardRejected && error.condition.isEmpty())
            error.detail = QString::fromUtf8(r.body.left(200)).trimmed();
        done(WithError<Written>(error));
    });
}

void Client::CutOff(const Response &r, const Error &refused, const CancelCheck &cancel,
                    std::function<void(Written)> done)
{
    Request request;
    request.verb = "OPTIONS";
    request.url = r.url;
    Send(request, cancel, [done, refused, gone = r.error](Response answer) {
        done(WithError<Written>(answer.status != 0 ? refused : gone));
    });
}

void Client::ReadEtag(const QUrl &card, const CancelCheck &cancel,
                      std::function<void(Written)> done)
{
    Propfind(card, "0", DavXml::Propfind({{DavXml::Dav, u"getetag"_s}}), cancel,
             [done](Response r) {
                 if (!r.error.Ok())
                     return done(WithError<Written>(r.error));
                 const SelfAnswer self(r);
                 if (!self)
                     return done(WithError<Written>(self.error));
                 Written written;
                 written.etag = PropText(*self, GetEtag);
                 if (written.etag.isEmpty())
                     written.error = Failure(ErrorKind::BadResponse, u"ETag 없음"_s);
                 done(written);
             });
}

Written Client::PutCardBlocking(const QUrl &book, const QString &href, const QByteArray &vcard,
                                const QString &etag, const CancelCheck &cancel)
{
    return Wait<Written>([&](auto done) { PutCard(book, href, vcard, etag, cancel, done); });
}

void Client::PutAddressBook(const QUrl &book, const QByteArray &vcards, const QString &etag,
                            int timeoutMs, const CancelCheck &cancel,
                            std::function<void(Written)> done)
{
    Request request;
    request.verb = "PUT";
    request.url = book;
    request.body = vcards;
    request.contentType = "text/vcard; charset=utf-8";
    request.timeoutMs = timeoutMs;
    request.headers.append(qMakePair(QByteArray("If-Match"), etag.toUtf8()));
    Send(request, cancel, [this, cancel, done](Response r) {
        if (r.cut) {
            // Refused too large before it was read, the answer lost to the reset (see PutCard):
            // told as the 413 it was.
            return CutOff(r, Error::FromStatus(413), cancel, done);
        }
        if (!r.error.Ok())
            return done(WithError<Written>(r.error));
        Written written;
        if (r.status >= 200 && r.status <= 299)
            written.etag = QString::fromUtf8(r.etag);
        else
            written.error = Error::FromStatus(r.status);
        done(written);
    });
}

Written Client::PutAddressBookBlocking(const QUrl &book, const QByteArray &vcards,
                                       const QString &etag, int timeoutMs,
                                       const CancelCheck &cancel)
{
    return Wait<Written>(
        [&](auto done) { PutAddressBook(book, vcards, etag, timeoutMs, cancel, done); });
}

void Client::ReadTextProperties(const QUrl &url, const CancelCheck &cancel,
                                std::function<void(Properties)> done)
{
    // The names first: a server works out the values it keeps itself (an address book's ETag
    // and size) only when they are asked for, which takes it through every card.
    Propfind(url, "0", DavXml::PropfindNames(), cancel, [this, url, cancel, done](Response r) {
        if (!r.error.Ok())
            return done(WithError<Properties>(r.error));
        const SelfAnswer self(r);
        if (!self)
            return done(WithError<Properties>(self.error));
        static const QSet<QString> kept = [] {
            QSet<QString> names;
            for (const QString &dav :
                 {u"getetag"_s, u"getlastmodified"_s, u"getcontenttype"_s, u"getcontentlength"_s,
                  u"creationdate"_s, u"resourcetype"_s, u"sync-token"_s, u"owner"_s,
                  u"supported-report-set"_s, u"current-user-principal"_s,
                  u"current-user-privilege-set"_s, u"principal-collection-set"_s,
                  u"principal-URL"_s, u"quota-available-bytes"_s, u"quota-used-bytes"_s,
                  u"lockdiscovery"_s, u"supportedlock"_s, u"acl"_s, u"supported-privilege-set"_s})
                names.insert(DavXml::Name(DavXml::Dav, dav));
            for (const QString &card :
                 {u"max-resource-size"_s, u"supported-address-data"_s, u"addressbook-home-set"_s})
                names.insert(DavXml::Name(DavXml::CardDav, card));
            names.insert(DavXml::Name(DavXml::CalendarServer, u"getctag"_s));
            return names;
        }();
        DavXml::PropNames ask;
        for (auto it = self->props.begin(); it != self->props.end(); ++it)
            if (!kept.contains(it.key()))
                ask.append(DavXml::SplitName(it.key()));
        if (ask.isEmpty())
            return done(Properties{});
        Propfind(url, "0", DavXml::Propfind(ask), cancel, [done](Response r) {
            if (!r.error.Ok())
                return done(WithError<Properties>(r.error));
            const SelfAnswer self(r);
            if (!self)
                return done(WithError<Properties>(self.error));
            Properties props;
            for (auto it = self->props.begin(); it != self->props.end(); ++it)
                if (it.value().content.isEmpty())
                    props.text.insert(it.key(), it.value().text);
            done(props);
        });
    });
}

Properties Client::ReadTextPropertiesBlocking(const QUrl &url, const CancelCheck &cancel)
{
    return Wait<Properties>([&](auto done) { ReadTextProperties(url, cancel, done); });
}

void Client::SetProperties(const QUrl &url, const QMap<QString, QString> &props,
                           const CancelCheck &cancel, std::function<void(Error)> done)
{
    Request request;
    request.verb = "PROPPATCH";
    request.url = url;
    request.body = DavXml::Proppatch(props);
    request.contentType = "application/xml; charset=utf-8";
    Send(request, cancel, [done](Response r) {
        if (!r.error.Ok())
            return done(r.error);
        if (r.status != 207)
            return done(Error::FromStatus(r.status));
        // Each property's own status is in the body; the caller reads them back to be sure.
        const DavXml::Multistatus ms = DavXml::ParseMultistatus(r.body);
        Error error;
        if (!ms.valid)
            error = Failure(ErrorKind::BadResponse, ms.problem, 207);
        done(error);
    });
}

Error Client::SetPropertiesBlocking(const QUrl &url, const QMap<QString, QString> &props,
                                    const CancelCheck &cancel)
{
    return Wait<Error>([&](auto done) { SetProperties(url, props, cancel, done); });
}

void Client::DeleteCard(const QUrl &book, const QString &href, const QString &etag,
                        const CancelCheck &cancel, std::function<void(Deleted)> done)
{
    Request request;
    request.verb = "DELETE";
    request.url = book.resolved(QUrl(href));
    if (!etag.isEmpty())
        request.headers.append(qMakePair(QByteArray("If-Match"), etag.toUtf8()));
    Send(request, cancel, [done](Response r) {
        Deleted deleted;
        if (!r.error.Ok())
            deleted.error = r.error;
        else if (r.status == 404)
            deleted.wasMissing = true;
        else
            deleted.error = Error::FromStatus(r.status);
        done(deleted);
    });
}

Deleted Client::DeleteCardBlocking(const QUrl &book, const QString &href, const QString &etag,
                                   const CancelCheck &cancel)
{
    return Wait<Deleted>([&](auto done) { DeleteCard(book, href, etag, cancel, done); });
}

} // namespace CardDav
