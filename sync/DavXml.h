#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

// The WebDAV XML that the CardDAV client sends and reads: request bodies and the multistatus
// and error answers. Names are in Clark notation, "{namespace}local", so that a server's
// choice of prefixes never matters.
namespace DavXml {

inline const QString Dav = QStringLiteral("DAV:");
inline const QString CardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");
inline const QString CalendarServer = QStringLiteral("http://calendarserver.org/ns/");

// "{DAV:}getetag" for (Dav, "getetag").
QString Name(const QString &ns, const QString &local);
// (Dav, "getetag") for "{DAV:}getetag"; no namespace for a name without one.
QPair<QString, QString> SplitName(const QString &name);

// One property of a response, as found under a propstat whose status is 2xx.
struct Prop
{
    QString text;          // its text, children's text included (an ETag, a name, a vCard)
    QStringList hrefs;     // the DAV:href elements below it (a principal, a home set)
    QSet<QString> content; // the names of every element below it (a resource type, reports)
};

struct Response
{
    QString href;               // as the server wrote it
    int status = 0;             // the response's own status, when it has one instead of propstats
    QHash<QString, Prop> props; // by name; only properties the server found
};

struct Multistatus
{
    bool valid = false;
    QString problem; // why it is not valid
    QList<Response> responses;
    QString syncToken; // the DAV:sync-token of a sync-collection answer
};

// Reads a 207 Multi-Status body.
Multistatus ParseMultistatus(const QByteArray &xml);

// The local names of the preconditions a DAV:error body names ("valid-sync-token").
QStringList ParseErrorConditions(const QByteArray &xml);

// 200 for "HTTP/1.1 200 OK"; 0 when it does not read as a status line.
int StatusCode(const QString &statusLine);

// Property names to ask for: pairs of namespace and local name.
using PropNames = QList<QPair<QString, QString>>;

// A PROPFIND body asking for props.
QByteArray Propfind(const PropNames &props);
// A PROPFIND body asking for the names of every property (propname).
QByteArray PropfindNames();
// A PROPPATCH body setting each property (Clark name) to its text.
QByteArray Proppatch(const QMap<QString, QString> &props);
// A sync-collection REPORT body (sync-level 1, asking for getetag); an empty token asks for
// every member.
QByteArray SyncCollection(const QString &token);
// An addressbook-multiget REPORT body for hrefs (absolute paths), asking for getetag and the
// vCard.
QByteArray Multiget(const QStringList &hrefs);

} // namespace DavXml
