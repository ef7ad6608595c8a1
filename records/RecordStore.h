#pragma once

#include "Record.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// Everything the program reads from and changes in a data directory on disk: listing folders,
// creating, saving, renaming, moving and deleting records and folders with their companion
// folders. Every change the program makes goes through here and is told through one signal.
// It knows no widgets; questions and reports go through the dialog service.
namespace RecordStore {

// One change on disk. Paths are absolute, with native separators.
struct Change
{
    enum Kind { Added, Changed, Removed, Renamed };
    Kind kind = Changed;
    QString path;    // the record file, folder record or folder (where it was, when removed)
    QString oldPath; // Renamed (a rename or a move): where it was
    bool folder = false;

    bool operator==(const Change &other) const = default;
};

// The one signal: what a user operation changed, in order, when it is complete. Sent from the
// thread that made the change; receivers in other threads get it queued.
class Notifier : public QObject
{
    Q_OBJECT
public:
    static Notifier &Instance();

signals:
    // description says what the user did ("가져오기: 120개"); empty where the changes say it.
    void changed(const QList<RecordStore::Change> &changes, const QString &description);

private:
    Notifier();
};

// The changes made while one lives on a thread go out together when the outermost one ends:
// an import is one notification, not one per card. Without one, every change goes out alone.
class Operation
{
public:
    explicit Operation(const QString &description = QString());
    ~Operation();
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;
    // What the operation did, once that is known (how many cards an import made).
    void SetDescription(const QString &description);
};

// Tells a change: with the running operation, or at once.
void Tell(const Change &change);

// A record file's name: ends in ".txt", in any letter case.
bool IsRecordFileName(const QString &name);

// True when dir names an existing folder that can be shown; an empty path never does.
bool IsDataDir(const QString &dir);

// An entry whose name's bytes are no UTF-8, and how it reads as code page 949.
struct UnreadableName
{
    QString readable;
    QByteArray raw;
};

// What a folder shows: its folders and its record files (full names), each sorted in the
// user's language without regard to letter case; entries beginning with "." and folders
// beginning with "__" left out. Leftovers of interrupted saves are removed first.
struct Listing
{
    QStringList folders;
    QStringList records;
    QList<UnreadableName> unreadable; // record files and folders no path can reach
};
// Unsorted when sorted is false (a walk that orders nothing need not pay for it).
Listing ListFolder(const QString &dir, bool sorted = true);

// True at the first entry of dir whose name begins neither with "." nor with "__".
bool HasVisibleEntries(const QString &dir);

// Gives each entry its readable name; returns the readable names of those that could not be
// renamed (no code page 949 either, a forbidden character, or the name taken).
QStringList RepairNames(const QString &dir, const QList<UnreadableName> &names);

// True when anything, a file or a folder, stands at name in folder (letter case aside).
bool NameTaken(const QString &folder, const QString &name);

// Creates the folder dir with its folder record holding record, or the record file with
// record; an empty record still gets its file, and a record without an identity gets a new one.
// Raise VandrelError or WriteError on failure.
void CreateFolder(const QString &dir, const Record &record);
void CreateRecord(const QString &file, const Record &record);
// Gives the existing record file at path the identity uid, changing nothing else in it.
// Raises WriteError when that fails.
void SaveUid(const QString &path, const QString &uid);
// Replaces the record file at path (a folder record that is missing is created, with a new
// identity) with record: the edit dialog's save. Raises WriteError and leaves the old file when
// that fails.
void SaveRecord(const QString &path, const Record &record);

// A name the name rules accept, made from text nobody typed into a name box (an imported
// card): the forbidden characters become "_", control characters blanks, a leading "." (and for
// a folder "__", or "." and "..") cannot hide the entry, and the name fits a file name. Empty
// when nothing is left.
QString ValidName(const QString &text, bool folder);

// name when neither a record of that name nor its companion folder is in folder, else the
// first free of name + "_01", "_02", ... as names are proposed for new records.
QString FreeRecordName(const QString &folder, const QString &name);

// The folder below dir reached through the names in parts, each made valid and created when
// missing. Raises VandrelError when a folder cannot be made.
QString MakeFolders(const QString &dir, const QStringList &parts);
// The folder MakeFolders would give, creating nothing.
QString FolderPath(const QString &dir, const QStringList &parts);

// Writes a file into the companion folder of the record file, under a name not yet taken
// there. The name used; empty when it could not be written.
QString AddCompanionFile(const QString &recordFile, const QString &fileName,
                         const QByteArray &bytes);
// Moves the file or folder at path into the companion folder of the record file, under its
// name (or name when given) made free there as AddCompanionFile makes it. The name used; empty
// on failure, with path as it was.
QString MoveIntoCompanion(const QString &path, const QString &recordFile,
                          const QString &name = QString());

// Every record below dir as the tree shows it, depth first: a folder's own record, its records,
// then its folders. dir's own folder record only with withOwnRecord. Entries whose names are no
// UTF-8 are left out and their paths put into unreadable.
QStringList CollectRecords(const QString &dir, bool withOwnRecord, QStringList *unreadable);

// The companion folder of a record file: "__" + its name beside it.
QString CompanionFolder(const QString &path);

// In every line of file, a double quote, oldName and a separator become the quote, newName
// and the separator; untouched lines keep their bytes. False when the file cannot be read or
// rewritten without loss.
bool RenameReferences(const QString &file, const QString &oldName, const QString &newName);

// Gives the record (with its companion folder and the references to it) or the folder oldName
// in dir the name newName. Empty on success, else what to tell the user; *warning says what
// went wrong after the rename itself succeeded.
QString Rename(const QString &dir, const QString &oldName, const QString &newName, bool record,
               QString *warning);

// The shell file operation: from (with the companion folder of a ".txt" file; "folder\*.*"
// for a folder's contents) moved or copied to to, or deleted.
enum ShellFunc { FoMove = 1, FoCopy = 2, FoDelete = 3 };
enum ShellFlags { FofNoConfirmation = 0x10, FofAllowUndo = 0x40 };
bool ShellFileOperation(const QString &from, const QString &to, int func, int flags);

// The record or folder at path to the desktop trash, with its companion folder.
bool DeletePath(const QString &path);

// Moves the record or folder at path into destDir, with its companion folder, asking before
// anything is replaced. False when refused or failed; the disk is then as it was.
bool Move(const QString &path, const QString &destDir);

// For undo and the history's restores: puts exactly bytes at path in one replacement (making
// the folders it needs) and tells it as added or changed; RemoveFile deletes the one file at
// path for good (history keeps it) and tells it. Raise WriteError on failure.
void RestoreFile(const QString &path, const QByteArray &bytes);
void RemoveFile(const QString &path);

} // namespace RecordStore

Q_DECLARE_METATYPE(RecordStore::Change)
