#include "SyncState.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

constexpr int FormatVersion = 1;

QJsonObject ValuesToJson(const SyncState::Values &v)
{
    QJsonObject fields;
    for (int i = 0; i < RecordFieldCount; ++i) {
        const RecordField &f = RecordFields[size_t(i)];
        if (f.multiLine) {
            if (!v.record.Lines(i).isEmpty())
                fields.insert(f.Name(), QJsonArray::fromStringList(v.record.Lines(i)));
        } else if (!v.record.Value(i).isEmpty()) {
            fields.insert(f.Name(), v.record.Value(i));
        }
    }
    QJsonObject o;
    o.insert(u"n"_s, v.name);
    if (!v.folder.isEmpty())
        o.insert(u"f"_s, v.folder);
    o.insert(u"v"_s, fields);
    return o;
}

SyncState::Values ValuesFromJson(const QJsonObject &o)
{
    SyncState::Values v;
    v.name = o.value(u"n"_s).toString();
    v.folder = o.value(u"f"_s).toString();
    const QJsonObject fields = o.value(u"v"_s).toObject();
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const int i = FieldIndex(it.key());
        if (i < 0)
            continue;
        if (RecordFields[size_t(i)].multiLine) {
            QStringList lines;
            for (const QJsonValue &line : it.value().toArray())
                lines << line.toString();
            v.record.SetLines(i, lines);
        } else {
            v.record.SetValue(i, it.value().toString());
        }
    }
    return v;
}

QJsonObject PropsToJson(const QMap<QString, QString> &props)
{
    QJsonObject o;
    for (auto it = props.begin(); it != props.end(); ++it)
        o.insert(it.key(), it.value());
    return o;
}

QMap<QString, QString> PropsFromJson(const QJsonObject &o)
{
    QMap<QString, QString> props;
    for (auto it = o.begin(); it != o.end(); ++it)
        props.insert(it.key(), it.value().toString());
    return props;
}

QJsonObject ItemToJson(const SyncState::Item &item)
{
    QJsonObject o;
    o.insert(u"uid"_s, item.uid);
    o.insert(u"href"_s, item.href);
    o.insert(u"etag"_s, item.etag);
    o.insert(u"path"_s, item.path);
    o.insert(u"hash"_s, QString::fromLatin1(item.cardHash));
    o.insert(u"stamp"_s, QString::number(item.stamp));
    o.insert(u"local"_s, ValuesToJson(item.local));
    // Mostly the same as the record: only what differs is kept.
    if (!(item.server == item.local))
        o.insert(u"server"_s, ValuesToJson(item.server));
    return o;
}

SyncState::Item ItemFromJson(const QJsonObject &o)
{
    SyncState::Item item;
    item.uid = o.value(u"uid"_s).toString();
    item.href = o.value(u"href"_s).toString();
    item.etag = o.value(u"etag"_s).toString();
    item.path = o.value(u"path"_s).toString();
    item.cardHash = o.value(u"hash"_s).toString().toLatin1();
    item.stamp = o.value(u"stamp"_s).toString().toLongLong();
    item.local = ValuesFromJson(o.value(u"local"_s).toObject());
    item.server =
        o.contains(u"server"_s) ? ValuesFromJson(o.value(u"server"_s).toObject()) : item.local;
    return item;
}

} // namespace

QString SyncState::JournalOf(const QString &file)
{
    return file + u".journal"_s;
}

QString SyncState::LockOf(const QString &file)
{
    return file + u".lock"_s;
}

SyncState SyncState::Load(const QString &file)
{
    SyncState state;
    state.m_file = file;
    QByteArray bytes;
    if (QFile::exists(file)) {
        const QJsonDocument doc =
            FileSystem::readAll(file, bytes) ? QJsonDocument::fromJson(bytes) : QJsonDocument();
        const QJsonObject o = doc.object();
        if (!doc.isObject() || o.value(u"version"_s).toInt() != FormatVersion) {
            state.m_lost = true;
            return state; // rebuilt from both sides; the journal belongs to the lost file
        }
        state.book = o.value(u"book"_s).toString();
        state.folder = o.value(u"folder"_s).toString();
        state.token = o.value(u"token"_s).toString();
        state.ctag = o.value(u"ctag"_s).toString();
        state.restoreProps = PropsFromJson(o.value(u"props"_s).toObject());
        for (const QJsonValue &v : o.value(u"items"_s).toArray()) {
            const Item item = ItemFromJson(v.toObject());
            if (!item.uid.isEmpty())
                state.Insert(item);
        }
    }
    QByteArray journal;
    if (FileSystem::readAll(JournalOf(file), journal))
        for (const QByteArray &line : journal.split('\n'))
            state.Apply(line);
    return state;
}

void SyncState::Apply(const QByteArray &line)
{
    // A line cut off by a kill does not parse and is left out.
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    if (!doc.isObject())
        return;
    const QJsonObject o = doc.object();
    if (o.contains(u"put"_s)) {
        const Item item = ItemFromJson(o.value(u"put"_s).toObject());
        if (!item.uid.isEmpty())
            Insert(item);
    } else if (o.contains(u"remove"_s)) {
        Erase(o.value(u"remove"_s).toString());
    } else if (o.contains(u"book"_s)) {
        const QString to = o.value(u"book"_s).toString();
        if (to != book)
            Clear();
        book = to;
        folder = o.value(u"folder"_s).toString();
    } else if (o.contains(u"props"_s)) {
        restoreProps = PropsFromJson(o.value(u"props"_s).toObject());
    }
}

const SyncState::Item *SyncState::Find(const QString &uid) const
{
    const auto it = m_items.constFind(uid);
    return it == m_items.cend() ? nullptr : &*it;
}

void SyncState::Insert(const Item &item)
{
    Erase(item.uid);
    m_items.insert(item.uid, item);
    m_byHref.insert(item.href, item.uid);
}

void SyncState::Erase(const QString &uid)
{
    if (const Item *old = Find(uid); old && m_byHref.value(old->href) == uid)
        m_byHref.remove(old->href);
    m_items.remove(uid);
}

bool SyncState::Append(const QJsonObject &entry)
{
    QFile journal(JournalOf(m_file));
    if (!journal.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    // A line of its own even after a line a kill cut short.
    const QByteArray whole = '\n' + QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    return journal.write(whole) == whole.size() && journal.flush();
}

bool SyncState::Put(const Item &item)
{
    Insert(item);
    return Append({{u"put"_s, ItemToJson(item)}});
}

bool SyncState::Remove(const QString &uid)
{
    Erase(uid);
    return Append({{u"remove"_s, uid}});
}

bool SyncState::SetOwner(const QString &toBook, const QString &toFolder)
{
    if (toBook == book && toFolder == folder)
        return true;
    if (toBook != book)
        Clear();
    book = toBook;
    folder = toFolder;
    return Append({{u"book"_s, book}, {u"folder"_s, folder}});
}

bool SyncState::SetRestoreProps(const QMap<QString, QString> &props)
{
    restoreProps = props;
    return Append({{u"props"_s, PropsToJson(props)}});
}

void SyncState::Clear()
{
    m_items.clear();
    m_byHref.clear();
    token.clear();
    ctag.clear();
    restoreProps.clear();
}

bool SyncState::Save()
{
    QJsonArray items;
    QStringList uids = m_items.keys();
    uids.sort();
    for (const QString &uid : std::as_const(uids))
        items.append(ItemToJson(m_items.value(uid)));
    QJsonObject o;
    o.insert(u"version"_s, FormatVersion);
    o.insert(u"book"_s, book);
    o.insert(u"folder"_s, folder);
    o.insert(u"token"_s, token);
    o.insert(u"ctag"_s, ctag);
    if (!restoreProps.isEmpty())
        o.insert(u"props"_s, PropsToJson(restoreProps));
    o.insert(u"items"_s, items);
    if (!FileSystem::writeAtomically(m_file, QJsonDocument(o).toJson(QJsonDocument::Compact)))
        return false;
    QFile::remove(JournalOf(m_file));
    m_lost = false;
    return true;
}
