#pragma once

#include "records/Record.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>

class QJsonObject;

// What one account knows about its last sync, in a small file beside the settings: the
// address book's sync token or ctag, and for every record's UID the card's href and ETag, the
// record's place, and the values both sides had when they last agreed, against which the next
// sync tells who changed what. Each confirmed step is appended to a journal next to the file
// at once, so that a sync cut off anywhere (the network gone, the process killed) resumes from
// there; Save folds the journal into the file in one atomic replacement.
class SyncState
{
public:
    // One side's view of a contact: its name, folder (below the synced folder, "/" between
    // names) and values.
    struct Values
    {
        QString name;
        QString folder;
        Record record; // without identity

        bool operator==(const Values &other) const = default;
    };

    struct Item
    {
        QString uid;
        QString href;
        QString etag;
        QString path;        // the record file below the data directory, "/" between names
        QByteArray cardHash; // the card this program made of the record then
        qint64 stamp = 0;    // the record file's time and size then
        Values local;        // the record then
        Values server;       // the server's card then, as a record
    };

    // The state in file (and its journal); an empty one when there is none. lost() tells that
    // a file was there but could not be read, so the state is rebuilt from both sides.
    static SyncState Load(const QString &file);
    bool Lost() const { return m_lost; }

    // Which address book the state belongs to; a state of another one is not used.
    QString book;
    QString folder; // the synced folder, as the engine was given it
    // Sets both, in the journal at once, so that a first sync cut off before Save resumes
    // with what it did; another book than before forgets everything.
    bool SetOwner(const QString &book, const QString &folder);
    QString token;
    QString ctag;
    // The address book's own properties (its name, its description) to be given back after
    // an upload that replaced the whole book; until then a sync cut off gives them back next.
    QMap<QString, QString> restoreProps;
    bool SetRestoreProps(const QMap<QString, QString> &props); // in the journal at once

    const QHash<QString, Item> &Items() const { return m_items; }
    const Item *Find(const QString &uid) const;
    // The UID of the card at href; empty when none is known.
    QString UidOfHref(const QString &href) const { return m_byHref.value(href); }

    // In memory and in the journal; false when the journal could not be written.
    bool Put(const Item &item);
    bool Remove(const QString &uid);
    // Forgets everything (another address book); the file is rewritten by Save.
    void Clear();

    // Replaces the file with the whole state and drops the journal; false on failure (the
    // journal is then kept).
    bool Save();

    QString FileName() const { return m_file; }
    static QString JournalOf(const QString &file);
    // The lock a sync holds on its account's state while it runs.
    static QString LockOf(const QString &file);

private:
    void Apply(const QByteArray &line);
    void Insert(const Item &item);
    void Erase(const QString &uid);
    bool Append(const QJsonObject &entry);

    QString m_file;
    bool m_lost = false;
    QHash<QString, Item> m_items;
    QHash<QString, QString> m_byHref;
};
