#pragma once

#include <QByteArray>
#include <QString>

// File access the way the program expects it from Windows: names that differ only in ASCII
// letter case name the same entry, and a write never leaves a half-written file behind.
namespace FileSystem {

// The path of the existing entry that the given path means: the path itself when it exists
// exactly, else the entry whose components differ only in ASCII letter case. When nothing
// matches, the existing leading directories are resolved and the rest is kept as given.
QString resolve(const QString &path);

bool exists(const QString &path);

// Reads the whole file; an empty result and false when it cannot be read.
bool readAll(const QString &path, QByteArray &bytes);

// Reads the file at exactly that path (no letter-case lookup) in as few calls as the system
// allows, for walks over many files; *stamp changes whenever the file's time or size does.
// False when it is no readable regular file.
bool readListed(const QString &path, QByteArray &bytes, qint64 *stamp = nullptr);

// Replaces the file through a temporary file in the same directory and a rename, keeping the
// old file's permissions; the data is on the disk before the rename. False when anything fails;
// the old file is then untouched and the temporary file gone. The temporary file is named
// ".<name>.vandrel-XXXXXX" (six letters or digits): hidden, so that neither the record tree nor
// the search sees one that a crash left behind.
bool writeAtomically(const QString &path, const QByteArray &bytes);

// How long a temporary file of writeAtomically may be in use by a running write.
constexpr int TemporaryFileGraceSeconds = 300;

// Deletes the regular files in dir (not below it) that are named like writeAtomically's
// temporary files and are older than the grace period: what crashed or killed writes left
// behind. Links, folders and every other name are left alone. False when a leftover could not
// be deleted or dir could not be read; a missing dir is no error.
bool removeStaleTemporaryFiles(const QString &dir);

// What tells one folder from another whatever path leads to it (device and inode here, the
// canonical path on Windows); empty when path is no folder. Walks use it to go into a folder
// once, however many links lead there.
QByteArray folderIdentity(const QString &path);

// True for a name of writeAtomically's temporary files.
bool isTemporaryName(const QString &name);

// Many files in one operation (an import, an export into a vCard folder). While one lives on a
// thread, resolve lists each folder once and finds names in that listing, which the entries made
// through this layer join; and writeAtomically makes its files durable together, with one sync of
// the file system for a batch of them before they are renamed into place instead of a sync each,
// so a crash still never leaves a half-written file. A file whose rename is pending exists for
// exists(); every other use of its path puts the batch in place first.
class Batch
{
public:
    Batch();
    // Puts what is pending in place; what fails then is lost unless Commit was called.
    ~Batch();
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;
    // Puts every pending write in place. The paths written since the batch began that did not get
    // there (their old files as they were), which the caller must not report as written.
    QStringList Commit();
};

// QDir::mkpath, telling a running batch about the folders it makes.
bool makePath(const QString &dir);

} // namespace FileSystem
