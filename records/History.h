#pragma once

#include "RecordStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// The data directory's history: a bare git repository (.vandrel-history, hidden like every
// entry beginning with ".") in the data directory. Every operation the store tells becomes one
// commit, made on a worker thread after the files are in place, so that a save never waits for
// it. A new tree is built from the last commit's tree and the changed paths alone; only the first
// commit walks the data directory. Only record files, folder records and the files of companion
// folders are kept. Files that others changed are committed as "밖에서 바뀜" when the next
// operation or LookAt meets them. Several histories, in the window and in a command line beside
// it, may have the repository open at once: each commit is made on the branch as it is, and
// while another one is open what changes is left to it rather than taken as changed by others.
// A history that cannot be written turns itself off and says so once through stopped(); a
// damaged repository is set aside and a new one started. It knows no widgets.
class History : public QObject
{
    Q_OBJECT
public:
    // Follows the store's changes below dataDir from now on. Reads nothing yet.
    explicit History(const QString &dataDir, QObject *parent = nullptr);
    // Commits what is still queued, then stops the worker.
    ~History() override;

    static const QString RepositoryName; // ".vandrel-history"

    // The git working tree of the user's that dataDir is (inside), or "" when there is none.
    // Such a data directory gets no history of ours.
    static QString UserRepository(const QString &dataDir);
    // What the settings say about the history of dataDir: "" when it is kept.
    static QString Note(const QString &dataDir);

    QString DataDir() const;
    // False once the history was turned off; OffReason says why.
    bool IsOn() const;
    QString OffReason() const;

    // Waits until everything told so far is committed.
    void Flush();
    // Compares the folder at path (or the folder of the file at path) with the last commit and
    // commits what others changed there.
    void LookAt(const QString &path);
    void LookAt(const QStringList &paths); // in one commit

    // Undo and redo of the operations in the history, this program's and the command line's
    // (what others changed is never undone): undo takes back the newest operation not undone
    // yet, redo makes the last one undone again while no operation came after. Both go through
    // the store and are commits of their own that name the commit they take back or make
    // again, so a restarted program knows what is undone. "" on success, else what to tell the
    // user.
    // Nothing of this is read before ReadUndo, Undo or Redo: until then both count as possible.
    bool CanUndo() const;
    bool CanRedo() const;
    QString UndoText() const; // the operation undo would undo; "" while not read
    QString RedoText() const;
    // Reads what undo and redo would take, on the worker; undoChanged follows.
    void ReadUndo();
    QString Undo();
    QString Redo();

    // One version of a record: the commit that made it so, when, what the operation was, where
    // the record was then (relative to the data directory, "/" between names) and its bytes.
    struct Version
    {
        QString commit;
        QDateTime when;
        QString operation;
        QString path;
        QByteArray bytes;
    };
    // The record file at path (absolute) through its renames and moves, newest first.
    QList<Version> Versions(const QString &path) const;

    // A record that was deleted: where it was, when, and the commit that still holds it.
    struct Deleted
    {
        QString path; // relative, "/" between names
        QDateTime when;
        QString commit;
        QString operation;
    };
    // The records deleted since since that are not back in the data directory, newest first.
    QList<Deleted> DeletedRecords(const QDateTime &since) const;
    // Brings a deleted record back into its folder (made again when it is gone) with its
    // companion folder, under a free name. "" on success, else why; *restored is where it went.
    QString RestoreDeleted(const Deleted &record, QString *restored = nullptr);

    // The operations committed, newest first (what each commit's first line says).
    QStringList Log(int max = 100) const;
    // The bytes of path (relative) in commit ("" for the last), empty when it was not there.
    QByteArray FileAt(const QString &path, const QString &commit = QString()) const;

signals:
    // Undo or redo became possible or impossible, or their texts changed.
    void undoChanged();
    // Something about the history the user has to be told once: it was turned off and why, or
    // a damaged repository was set aside.
    void stopped(const QString &text);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    void Receive(const QList<RecordStore::Change> &changes, const QString &description);
};
