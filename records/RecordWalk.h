#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

// The one walk over the folders of a data directory, for everything that reads many records:
// the filter box's index, the search, the export and what comes after them. It never follows a
// directory link into a folder it has already been in (a link back up the tree, or a second
// way into the same folder), leaves entries beginning with "." out and changes nothing on disk.
// It knows no widgets and may run on any thread.
namespace RecordWalk {

// An entry whose name is no UTF-8: no path made of the name reaches it.
struct Unreadable
{
    QString name; // as code page 949 reads it, else with replacement characters
    QByteArray raw;
    bool isDir = false;
};

// One folder as the walk found it.
struct Folder
{
    QString rel;            // below the root, native separators; empty for the root itself
    QStringList files;      // regular files (or links to them), in listing order unless sorted
    QStringList folders;    // the folders inside it that the walk went into, in the same order
    QStringList companions; // the folders beginning with "__" it did not go into
    QList<Unreadable> unreadable;

    bool HasFolderRecord() const;
    // Its record files as the tree shows them: names ending in ".txt", letter case aside.
    QStringList Records() const;
};

struct Options
{
    bool companionFolders = false; // also into folders beginning with "__" (the search's walk)
    bool sorted = false;           // folders and files in the tree's order
    const std::atomic<bool> *cancel = nullptr;
};

// One folder without going into the folders inside it: every folder it holds is in folders.
// rel is left empty.
Folder List(const QString &dir, const Options &options = {});

class Walker
{
public:
    explicit Walker(const QString &root, Options options = {});

    // rel (the root when empty) and every folder below it that this walker has not been in,
    // depth first, each folder ahead of the folders inside it. Nothing when rel cannot be read
    // or was walked before.
    QList<Folder> Walk(const QString &rel = QString());

    // Counts the folder at path (absolute) as walked, so a later walk that meets it through a
    // link does not go in; for a walk that continues an earlier one.
    void Seen(const QString &path);

    QString Root() const { return m_root; }
    // The flag that stops a walk (nullptr: none); a walker kept after its job drops the job's.
    void SetCancelFlag(const std::atomic<bool> *cancel) { m_options.cancel = cancel; }
    bool Cancelled() const { return m_options.cancel && m_options.cancel->load(); }

private:
    bool FirstVisit(const QString &dir);
    void Visit(const QString &rel, QList<Folder> &out);

    QString m_root;
    Options m_options;
    QHash<QByteArray, QString> m_seen; // folder identity -> the path it was first met at
};

// Every folder below root in one walk with a fresh walker.
QList<Folder> Walk(const QString &root, Options options = {});

} // namespace RecordWalk
