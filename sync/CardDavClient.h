#pragma once

#include "CardDavError.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// The protocol side of syncing with a CardDAV address book (RFC 6352, RFC 6578 and WebDAV):
// finding the address books, asking what changed, reading cards and writing them back. It
// knows no records, no merge and no widgets.
//
// Threads: a Client belongs to the thread that made it, and only that thread calls it. The
// asynchronous calls (a done callback) are for the GUI thread: they return at once and call
// done once, later, in that thread, never from inside the call. The ...Blocking calls wait in
// a local event loop on the calling thread and are for a worker thread (a Job) or a
// command-line program, not for the GUI thread.
//
// Every call takes a cancel check, asked while it waits (a few times a second) and between
// requests; when it returns true the call ends with ErrorKind::Cancelled. From a Job:
// [&job] { return job.isCancelled(); }.
//
// Redirects are followed (at most five, the method and body kept, never from https to http),
// and the credentials go along. Certificates are checked against the system's; a failed check
// ends the call with ErrorKind::Certificate and is never ignored.
//
// Hrefs are absolute paths, percent-encoded the way QUrl writes them ("/user/book/card.vcf"),
// the same in every result and every argument, so they can be compared as strings.
namespace CardDav {

using CancelCheck = std::function<bool()>;

struct Account
{
    // What the user typed: the server (https://host, https://host/path) or an address book's
    // own address. http only for this computer (localhost, 127.0.0.1, ::1). A user name and
    // password in it are taken out and used where user is empty.
    QUrl address;
    QString user;
    QString password; // kept in memory only, sent as Basic authentication
    int timeoutMs = 30000;
};

struct AddressBook
{
    QUrl url;
    QString displayName;
    QString description;
};

struct Discovery
{
    Error error;
    QUrl principal; // where known
    QUrl homeSet;   // where known; an address book can be made here when none was found
    QList<AddressBook> addressBooks;
};

struct Capabilities
{
    Error error;
    QString displayName;
    bool syncCollection = false; // offers the sync-collection REPORT
    QString ctag;                // CalendarServer's getctag; empty where not offered
    QString syncToken;           // empty where not offered
    QString etag;                // the address book's own ETag, where it has one
};

struct Properties
{
    Error error;
    QMap<QString, QString> text; // "{namespace}local" -> text
};

struct Changes
{
    Error error;                    // SyncTokenRejected: do a full listing instead
    QMap<QString, QString> changed; // href -> ETag, new or changed since the token
    QStringList removed;            // hrefs gone since the token
    QString syncToken;              // the token to ask with next time
    bool truncated = false;         // the server sent part: ask again with syncToken
};

struct Listing
{
    Error error;
    QMap<QString, QString> etags; // href -> ETag of every card in the address book
};

struct Card
{
    QString etag;
    QByteArray vcard; // as the server keeps it, lines ending in CRLF
};

struct Cards
{
    Error error;
    QMap<QString, Card> cards; // href -> card
    QStringList missing;       // asked for but not on the server
};

struct Written
{
    Error error; // PreconditionFailed: changed (or, for a new card, present) on the server
    QString etag;
};

struct Deleted
{
    Error error;
    bool wasMissing = false; // it was gone already (404), which counts as deleted
};

class Client : public QObject
{
    Q_OBJECT
public:
    explicit Client(const Account &account, QObject *parent = nullptr);
    ~Client() override;

    const Account &AccountInUse() const { return m_account; }

    // Finds the address books from the account's address: an address book's own URL is taken
    // as it is; otherwise /.well-known/carddav (or the address's path), the
    // current-user-principal, its addressbook-home-set and the address books in it.
    void Discover(const CancelCheck &cancel, std::function<void(Discovery)> done);
    // The address book's name, whether it offers sync-collection, its getctag and sync token.
    void ReadCapabilities(const QUrl &book, const CancelCheck &cancel,
                          std::function<void(Capabilities)> done);
    // The sync-collection REPORT: what changed since token (empty: everything).
    void ReadChanges(const QUrl &book, const QString &token, const CancelCheck &cancel,
                     std::function<void(Changes)> done);
    // PROPFIND Depth 1: every card's href and ETag.
    void ListCards(const QUrl &book, const CancelCheck &cancel, std::function<void(Listing)> done);
    // addressbook-multiget REPORTs of at most batchSize hrefs each, one after the other;
    // progress (optional) is told the number of hrefs asked for so far after each batch.
    void FetchCards(const QUrl &book, const QStringList &hrefs, int batchSize,
                    const CancelCheck &cancel, std::function<void(Cards)> done,
                    std::function<void(int done, int total)> progress = {});
    // PUT: a new card when etag is empty (If-None-Match: *), else a change of the card whose
    // ETag the caller last saw (If-Match). The new ETag comes from the answer, or is read
    // back when the server sends none.
    void PutCard(const QUrl &book, const QString &href, const QByteArray &vcard,
                 const QString &etag, const CancelCheck &cancel, std::function<void(Written)> done);
    // PUT of many cards at once to the address book's own address, replacing all it holds,
    // where a server takes that (radicale does: its web page imports an address book so).
    // If-Match: etag, the address book's ETag, so that anything added meanwhile makes it
    // fail with PreconditionFailed. A server that does not take it answers 405, 409, 403 or
    // the like (HttpError with that status). timeoutMs is how long the server may think.
    void PutAddressBook(const QUrl &book, const QByteArray &vcards, const QString &etag,
                        int timeoutMs, const CancelCheck &cancel,
                        std::function<void(Written)> done);
    // The properties of url that hold plain text, but those the server keeps itself (ETags,
    // sync tokens, times and sizes): what a user or another client gave it, such as its name.
    void ReadTextProperties(const QUrl &url, const CancelCheck &cancel,
                            std::function<void(Properties)> done);
    // PROPPATCH: each property ("{namespace}local") set to its text.
    void SetProperties(const QUrl &url, const QMap<QString, QString> &props,
                       const CancelCheck &cancel, std::function<void(Error)> done);
    // DELETE with If-Match: etag (unconditional when etag is empty).
    void DeleteCard(const QUrl &book, const QString &href, const QString &etag,
                    const CancelCheck &cancel, std::function<void(Deleted)> done);

    Discovery DiscoverBlocking(const CancelCheck &cancel = {});
    Capabilities ReadCapabilitiesBlocking(const QUrl &book, const CancelCheck &cancel = {});
    Changes ReadChangesBlocking(const QUrl &book, const QString &token,
                                const CancelCheck &cancel = {});
    Listing ListCardsBlocking(const QUrl &book, const CancelCheck &cancel = {});
    Cards FetchCardsBlocking(const QUrl &book, const QStringList &hrefs, int batchSize,
                             const CancelCheck &cancel = {},
                             std::function<void(int done, int total)> progress = {});
    Written PutCardBlocking(const QUrl &book, const QString &href, const QByteArray &vcard,
                            const QString &etag, const CancelCheck &cancel = {});
    Written PutAddressBookBlocking(const QUrl &book, const QByteArray &vcards, const QString &etag,
                                   int timeoutMs, const CancelCheck &cancel = {});
    Properties ReadTextPropertiesBlocking(const QUrl &url, const CancelCheck &cancel = {});
    Error SetPropertiesBlocking(const QUrl &url, const QMap<QString, QString> &props,
                                const CancelCheck &cancel = {});
    Deleted DeleteCardBlocking(const QUrl &book, const QString &href, const QString &etag,
                               const CancelCheck &cancel = {});

    // The href for a new card with this UID in book: the book's path and a file name made
    // of the UID (its SHA-1 where the UID has characters unsafe in a path), ".vcf".
    static QString NewCardHref(const QUrl &book, const QString &uid);
    // An http address is accepted only for this computer; any https address is.
    static Error CheckAddress(const QUrl &url);
    // What the user typed as an address: https:// is put before a bare host name.
    static QUrl AddressFromText(const QString &text);

private:
    // One HTTP exchange.
    struct Response
    {
        Error error; // a transport error, Cancelled or Certificate; otherwise None
        int status = 0;
        QByteArray body;
        QByteArray etag;  // the ETag header
        QUrl url;         // where the answer came from, after redirects
        bool cut = false; // the connection closed before any answer came
    };
    struct Request
    {
        QByteArray verb;
        QUrl url;
        QByteArray body;
        QByteArray depth;       // the Depth header; none when empty
        QByteArray contentType; // of body
        int timeoutMs = 0;      // the account's when 0
        QList<QPair<QByteArray, QByteArray>> headers;
    };
    using Answer = std::function<void(Response)>;

    void Send(Request request, const CancelCheck &cancel, Answer answer, int redirectsLeft = 5);
    void Propfind(const QUrl &url, const QByteArray &depth, const QByteArray &body,
                  const CancelCheck &cancel, Answer answer);
    void Later(std::function<void()> work);
    static QString HrefOf(const QUrl &base, const QString &href);

    void DiscoverAt(QUrl url, bool fromUser, const CancelCheck &cancel,
                    std::function<void(Discovery)> done);
    void DiscoverPrincipal(const QUrl &principal, const CancelCheck &cancel,
                           std::function<void(Discovery)> done);
    void DiscoverHome(const QUrl &home, Discovery found, const CancelCheck &cancel,
                      std::function<void(Discovery)> done);
    void FetchBatch(const QUrl &book, QStringList hrefs, int from, int batchSize, Cards cards,
                    const CancelCheck &cancel, std::function<void(Cards)> done,
                    std::function<void(int, int)> progress);
    // After a request whose body the server cut off (r.cut): refused when the server still
    // answers a small request there (it refused the body), else r's own error (it is gone).
    void CutOff(const Response &r, const Error &refused, const CancelCheck &cancel,
                std::function<void(Written)> done);
    void ReadEtag(const QUrl &card, const CancelCheck &cancel, std::function<void(Written)> done);

    Account m_account;
    QNetworkAccessManager *m_network;
};

} // namespace CardDav
