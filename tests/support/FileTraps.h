#pragma once

#include <QFileDevice>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Makes file operations fail for real. Permissions stop no one running as root, so as root the
// traps are mounts: a small tmpfs as a second file system that runs full, and read-only bind
// mounts. Otherwise /dev/shm is the second file system and permissions do the work. Everything
// is undone when the object goes, also when a check fails half-way. A trap that cannot be set
// returns false and says why (for QSKIP).
class FileTraps
{
public:
    FileTraps() = default;
    FileTraps(const FileTraps &) = delete;
    FileTraps &operator=(const FileTraps &) = delete;
    ~FileTraps();

    static bool asRoot();
    // What the tmpfs of a root run holds.
    static constexpr qint64 SmallFileSystemBytes = 256 * 1024;

    // dir (missing or an empty folder) becomes a folder on another file system: a small tmpfs
    // mounted there as root, else a link to a new folder in /dev/shm.
    bool otherFileSystemAt(const QString &dir);
    // Copying file onto the other file system fails: as root the file grows past what the tmpfs
    // holds, else it loses its read permission.
    bool spoilCopy(const QString &file);
    // Nothing in dir can be removed, added or renamed any more: a read-only bind mount as root,
    // else no write permission.
    bool lockFolder(const QString &dir);

    QString why() const { return m_why; }

private:
    bool refuse(const QString &why);
    bool mountAt(const QString &dir, const char *type, unsigned long flags, const char *options);

    QString m_why;
    QStringList m_mounts; // unmounted in reverse order
    QList<std::pair<QString, QFileDevice::Permissions>> m_permissions;
    QList<std::shared_ptr<QTemporaryDir>> m_dirs;
};

// Every file and link below dir (relative path → content, or "-> target" for a link), so that
// a test can tell that nothing was lost or changed. Unreadable files show as "?" and their size.
QMap<QString, QByteArray> Snapshot(const QString &dir);
