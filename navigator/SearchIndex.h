#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class Job;
class QFileSystemWatcher;
class QTimer;
namespace RecordWalk {
class Walker;
}
namespace RecordStore {
struct Change;
}

// How the filter box matches what the user types.
namespace SearchRules {

enum class Kind {
    Text,     // plain text against the name and every value
    Initials, // holds Korean initial consonants: matched syllable by syllable
    Digits,   // only digits, blanks and "-", at least three digits: telephone numbers
};
Kind KindOf(const QString &query);

// The text as compared: case folded.
QString Fold(const QString &text);

// The initial consonant (0 to 18) of a Hangul syllable, or of a compatibility consonant that
// can begin a syllable (ㄱ to ㅎ, double consonants included); -1 for anything else.
int InitialOf(QChar c);

// True when query occurs in text, a consonant of the query matching any syllable that begins
// with it (김ㅊ in 김철수). Both folded.
bool MatchesSyllables(const QString &query, const QString &text);

// The digits of text, in order.
QByteArray DigitsOf(const QString &text);

} // namespace SearchRules

// An in-memory index of every record of a data directory, built in the background, for the
// filter box: a query only looks at the index. It follows the directory: what the program
// changes through the store is read again at once, what others change within a second through
// a watcher.
class TSearchIndex : public QObject
{
    Q_OBJECT
    struct Data;

public:
    struct Hit
    {
        QString relPath;     // relative to the data directory, as the tree locates it
        QString displayName; // the record's name; a folder record's is its folder's
        QString folder;      // the folder it lies in, relative to the data directory
        QString value;       // the value that matched (the name when the name did)
        bool nameMatch = false;
    };

    explicit TSearchIndex(QObject *parent = nullptr);
    ~TSearchIndex() override;

    // Starts indexing dir in the background; an empty dir empties the index.
    void Open(const QString &dir);
    QString Root() const { return m_root; }
    bool IsReady() const { return m_ready; }

    // The records a query finds: name matches first, then by name in the user's language.
    // Hits are made only when asked for, so a query that finds thousands costs little.
    class Results
    {
    public:
        int size() const { return int(m_matches.size()); }
        Hit at(int i) const;

    private:
        friend class TSearchIndex;
        struct Match
        {
            int record;
            quint32 pos;
            bool name;
        };
        std::shared_ptr<const Data> m_data;
        std::vector<Match> m_matches;
        QString m_query;
        int m_kind = 0;
    };
    Results Find(const QString &text) const;
    // Every hit at once.
    QList<Hit> Query(const QString &text) const;

    // Reads the record file at path again (gone: dropped), or every record of the folder at
    // path and below it.
    void Refresh(const QString &path);
    // Watches the one record file on view for changes made in place.
    void WatchFile(const QString &path);

    int RecordCount() const;

    // Waits for a running build (for tests and the benchmark).
    void WaitUntilReady();

signals:
    void ready();
    // A folder of the data directory changed on disk, by the program or by others.
    void folderChanged(const QString &dir);
    // A record file was written, replaced or removed.
    void fileChanged(const QString &path);
    // The program changed records through the store and the index holds them as they are now.
    void updated();

private:
    struct Record;
    void Finish(std::shared_ptr<Data> data, quint64 generation);
    void Watch(const QStringList &folders);
    void OnDirectoryChanged(const QString &dir);
    void SyncFolders();
    void StopBuild();
    void OnStoreChanged(const QList<RecordStore::Change> &changes);

    QString m_root;
    std::shared_ptr<Data> m_data;
    std::shared_ptr<RecordWalk::Walker> m_walker; // the build's, for folders that appear later
    QPointer<Job> m_builder;
    quint64 m_generation = 0;
    bool m_ready = false;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_settle = nullptr;
    QStringList m_dirty;          // folders changed since the last sync
    QStringList m_pendingRefresh; // what the store changed while the index was being built
};
