#include "DavXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

using namespace Qt::StringLiterals;

namespace DavXml {

namespace {

QString NameOf(const QXmlStreamReader &r)
{
    return Name(r.namespaceUri().toString(), r.name().toString());
}

// Reads the element the reader stands on, to its end.
Prop ReadProp(QXmlStreamReader &r)
{
    Prop prop;
    int depth = 1;
    while (depth > 0 && !r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString name = NameOf(r);
            prop.content.insert(name);
            if (name == Name(Dav, u"href"_s)) {
                const QString text = r.readElementText(QXmlStreamReader::IncludeChildElements);
                prop.hrefs << text.trimmed();
                prop.text += text;
            } else {
                ++depth;
            }
            break;
        }
        case QXmlStreamReader::EndElement: --depth; break;
        case QXmlStreamReader::Characters: prop.text += r.text(); break;
        default: break;
        }
    }
    return prop;
}

// Reads a propstat: its properties when its status is 2xx (or missing), none otherwise.
QHash<QString, Prop> ReadPropstat(QXmlStreamReader &r)
{
    QHash<QString, Prop> props;
    int status = 200;
    while (r.readNextStartElement()) {
        const QString name = NameOf(r);
        if (name == Name(Dav, u"prop"_s)) {
            while (r.readNextStartElement()) {
                const QString propName = NameOf(r);
                props.insert(propName, ReadProp(r));
            }
        } else if (name == Name(Dav, u"status"_s)) {
            status = StatusCode(r.readElementText(QXmlStreamReader::IncludeChildElements));
        } else {
            r.skipCurrentElement();
        }
    }
    if (status < 200 || status > 299)
        props.clear();
    return props;
}

// A response may name several hrefs with one status; each becomes a response of its own.
QList<Response> ReadResponse(QXmlStreamReader &r)
{
    QStringList hrefs;
    Response response;
    while (r.readNextStartElement()) {
        const QString name = NameOf(r);
        if (name == Name(Dav, u"href"_s)) {
            hrefs << r.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (name == Name(Dav, u"status"_s)) {
            response.status = StatusCode(r.readElementText(QXmlStreamReader::IncludeChildElements));
        } else if (name == Name(Dav, u"propstat"_s)) {
            response.props.insert(ReadPropstat(r));
        } else {
            r.skipCurrentElement();
        }
    }
    QList<Response> responses;
    for (const QString &href : std::as_const(hrefs)) {
        response.href = href;
        responses << response;
    }
    return responses;
}

} // namespace

QString Name(const QString &ns, const QString &local)
{
    return u'{' + ns + u'}' + local;
}

QPair<QString, QString> SplitName(const QString &name)
{
    const qsizetype close = name.indexOf(u'}');
    return {name.startsWith(u'{') && close > 0 ? name.mid(1, close - 1) : QString(),
            name.mid(close + 1)};
}

Multistatus ParseMultistatus(const QByteArray &xml)
{
    Multistatus result;
    QXmlStreamReader r(xml);
    if (!r.readNextStartElement()) {
        result.problem = r.hasError() ? r.errorString() : u"empty answer"_s;
        return result;
    }
    if (NameOf(r) != Name(Dav, u"multistatus"_s)) {
        result.problem = u"expected DAV:multistatus, got "_s + NameOf(r);
        return result;
    }
    while (r.readNextStartElement()) {
        const QString name = NameOf(r);
        if (name == Name(Dav, u"response"_s))
            result.responses << ReadResponse(r);
        else if (name == Name(Dav, u"sync-token"_s))
            result.syncToken = r.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        else
            r.skipCurrentElement();
    }
    if (r.hasError()) {
        result.problem = r.errorString();
        return result;
    }
    result.valid = true;
    return result;
}

QStringList ParseErrorConditions(const QByteArray &xml)
{
    QStringList conditions;
    QXmlStreamReader r(xml);
    if (!r.readNextStartElement() || NameOf(r) != Name(Dav, u"error"_s))
        return conditions;
    while (r.readNextStartElement()) {
        conditions << r.name().toString();
        r.skipCurrentElement();
    }
    return conditions;
}

int StatusCode(const QString &statusLine)
{
    // "HTTP/1.1 404 Not Found"
    const QStringList parts = statusLine.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (parts.size() < 2 || !parts[0].startsWith(u"HTTP/"_s))
        return 0;
    bool ok = false;
    const int code = parts[1].toInt(&ok);
    return ok && code >= 100 && code <= 599 ? code : 0;
}

namespace {

void Begin(QXmlStreamWriter &w, const QString &ns, const QString &root)
{
    w.writeStartDocument();
    w.writeNamespace(Dav, u"d"_s);
    w.writeNamespace(CardDav, u"card"_s);
    w.writeNamespace(CalendarServer, u"cs"_s);
    w.writeStartElement(ns, root);
}

} // namespace

QByteArray Propfind(const PropNames &props)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    Begin(w, Dav, u"propfind"_s);
    w.writeStartElement(Dav, u"prop"_s);
    for (const auto &[ns, local] : props)
        w.writeEmptyElement(ns, local);
    w.writeEndDocument();
    return out;
}

QByteArray PropfindNames()
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    Begin(w, Dav, u"propfind"_s);
    w.writeEmptyElement(Dav, u"propname"_s);
    w.writeEndDocument();
    return out;
}

QByteArray Proppatch(const QMap<QString, QString> &props)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    Begin(w, Dav, u"propertyupdate"_s);
    w.writeStartElement(Dav, u"set"_s);
    w.writeStartElement(Dav, u"prop"_s);
    for (auto it = props.begin(); it != props.end(); ++it) {
        const auto [ns, local] = SplitName(it.key());
        w.writeTextElement(ns, local, it.value());
    }
    w.writeEndDocument();
    return out;
}

QByteArray SyncCollection(const QString &token)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    Begin(w, Dav, u"sync-collection"_s);
    w.writeTextElement(Dav, u"sync-token"_s, token);
    w.writeTextElement(Dav, u"sync-level"_s, u"1"_s);
    w.writeStartElement(Dav, u"prop"_s);
    w.writeEmptyElement(Dav, u"getetag"_s);
    w.writeEndDocument();
    return out;
}

QByteArray Multiget(const QStringList &hrefs)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    Begin(w, CardDav, u"addressbook-multiget"_s);
    w.writeStartElement(Dav, u"prop"_s);
    w.writeEmptyElement(Dav, u"getetag"_s);
    w.writeEmptyElement(CardDav, u"address-data"_s);
    w.writeEndElement();
    for (const QString &href : hrefs)
        w.writeTextElement(Dav, u"href"_s, href);
    w.writeEndDocument();
    return out;
}

} // namespace DavXml
