#include "FileTraps.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

FileTraps::~FileTraps()
{
#ifdef Q_OS_LINUX
    for (auto it = m_mounts.crbegin(); it != m_mounts.crend(); ++it) {
        const QByteArray dir = QFile::encodeName(*it);
        if (::umount2(dir.constData(), 0) != 0)
            ::umount2(dir.constData(), MNT_DETACH); // still busy: at least out of the way
    }
#endif
    for (auto it = m_permissions.crbegin(); it != m_permissions.crend(); ++it)
        QFile::setPermissions(it->first, it->second);
}

bool FileTraps::asRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

bool FileTraps::refuse(const QString &why)
{
    m_why = why;
    return false;
}

bool FileTraps::mountAt(const QString &dir, const char *type, unsigned long flags,
                        const char *options)
{
#ifdef Q_OS_LINUX
    const QByteArray target = QFile::encodeName(dir);
    const QByteArray source = (flags & MS_BIND) ? target : QByteArray(type);
    if (::mount(source.constData(), target.constData(), type, flags, options) != 0)
        return refuse(QStringLiteral("mount refused here (%1)").arg(strerror(errno)));
    m_mounts << dir;
    if ((flags & MS_BIND)
        && ::mount(nullptr, target.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr)
               != 0)
        return refuse(QStringLiteral("read-only remount refused here (%1)").arg(strerror(errno)));
    return true;
#else
    Q_UNUSED(dir);
    Q_UNUSED(type);
    Q_UNUSED(flags);
    Q_UNUSED(options);
    return refuse(QStringLiteral("no mounts on this system"));
#endif
}

bool FileTraps::otherFileSystemAt(const QString &dir)
{
    if (asRoot()) {
#ifdef Q_OS_LINUX
        QDir().mkpath(dir);
        const QByteArray size = "size=" + QByteArray::number(SmallFileSystemBytes);
        return mountAt(dir, "tmpfs", 0, size.constData());
#endif
    }
    auto other = std::make_shared<QTemporaryDir>(QStringLiteral("/dev/shm/vandrel-test-XXXXXX"));
    if (!other->isValid())
        return refuse(QStringLiteral("no /dev/shm to serve as a second file system"));
    if (QStorageInfo(other->path()) == QStorageInfo(QFileInfo(dir).path()))
        return refuse(QStringLiteral("/dev/shm is on the file system of the test folder"));
    m_dirs << other;
    QDir().rmdir(dir);
    if (!QFile::link(other->path(), dir))
        return refuse(QStringLiteral("cannot link %1 to /dev/shm").arg(dir));
    return true;
}

bool FileTraps::spoilCopy(const QString &file)
{
    if (asRoot()) {
        QFile f(file);
        if (!f.open(QIODevice::Append))
            return refuse(QStringLiteral("cannot grow %1").arg(file));
        f.write(QByteArray(SmallFileSystemBytes * 2, 'x'));
        return true;
    }
    m_permissions.append({file, QFile::permissions(file)});
    if (!QFile::setPermissions(file, {}) || QFile(file).open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("cannot take the read permission of %1").arg(file));
    return true;
}

bool FileTraps::lockFolder(const QString &dir)
{
#ifdef Q_OS_LINUX
    if (asRoot())
        return mountAt(dir, nullptr, MS_BIND, nullptr);
#endif
    m_permissions.append({dir, QFile::permissions(dir)});
    if (!QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                        | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther))
        return refuse(QStringLiteral("cannot take the write permission of %1").arg(dir));
    return true;
}

QMap<QString, QByteArray> Snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    const QDir base(dir);
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString rel = base.relativeFilePath(it.filePath());
        if (info.isSymLink()) {
            std::error_code ec;
            const auto target =
                std::filesystem::read_symlink(QFile::encodeName(it.filePath()).toStdString(), ec);
            files.insert(rel, "-> " + QByteArray::fromStdString(target.string()));
        } else if (info.isDir()) {
            files.insert(rel + u'/', QByteArray());
        } else {
            QFile f(it.filePath());
            files.insert(rel, f.open(QIODevice::ReadOnly) ? f.readAll()
                                                          : "? " + QByteArray::number(info.size()));
        }
    }
    return files;
}
