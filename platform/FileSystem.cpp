#include "FileSystem.h"

#include "DirectoryListing.h"
#include "Paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#ifdef Q_OS_WIN
#include <QSaveFile>
#else
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace FileSystem {

namespace {

// Of several entries differing only in letter case, the first in name order wins.
void keepFirst(QString &kept, const QString &entry)
{
    if (kept.isEmpty() || entry < kept)
        kept = entry;
}

// The entry of dir named like name but for ASCII letter case; empty when there is none.
QString findCaseVariant(const QString &dir, const QString &name)
{
    QString found;
    DirectoryListing::forEach(dir, [&](const DirectoryListing::Entry &e) {
        if (e.rawName.isEmpty() && Paths::SameIgnoringAsciiCase(e.name, name))
            keepFirst(found, e.name);
        return true;
    });
    return found;
}

// What a Batch keeps for its thread.
struct PendingWrite
{
    QByteArray temp; // names inside the folder
    QByteArray target;
    QString path;
    QString dir;
};

struct BatchState
{
    int depth = 0;
    // Folder -> its entries by their names in lower case.
    QHash<QString, QHash<QString, QString>> listings;
    QList<PendingWrite> pending;
    // The folders of the pending writes, held open so that their temporary files can always be
    // removed, also from a folder that was moved meanwhile.
    QHash<QString, int> folderFds;
    QSet<QString> pendingKeys;
    qsizetype pendingBytes = 0;
    QStringList failed;
};

BatchState &batch()
{
    thread_local BatchState state;
    return state;
}

// A batch of this many files or bytes is put in place before more are written.
constexpr qsizetype kBatchFiles = 1024;
constexpr qsizetype kBatchBytes = qsizetype(64) * 1024 * 1024;

QString folderKey(const QString &dir)
{
    return Paths::WithoutTrailingSeparators(QDir::fromNativeSeparators(dir));
}

QString pathKey(const QString &path)
{
    return Paths::AsciiLower(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

void note(const QString &path)
{
    BatchState &b = batch();
    if (b.depth == 0)
        return;
    const QString native = QDir::fromNativeSeparators(path);
    const qsizetype slash = native.lastIndexOf(u'/');
    if (slash < 0)
        return;
    const auto it = b.listings.find(folderKey(native.left(slash + 1)));
    if (it == b.listings.end())
        return;
    const QString name = native.mid(slash + 1);
    keepFirst((*it)[Paths::AsciiLower(name)], name);
}

// findCaseVariant from the folder's one listing of the batch.
QString listedCaseVariant(const QString &dir, const QString &name)
{
    BatchState &b = batch();
    const QString key = folderKey(dir);
    auto it = b.listings.find(key);
    if (it == b.listings.end()) {
        QHash<QString, QString> names;
        DirectoryListing::forEach(dir, [&](const DirectoryListing::Entry &e) {
            if (e.rawName.isEmpty())
                keepFirst(names[Paths::AsciiLower(e.name)], e.name);
            return true;
        });
        it = b.listings.insert(key, names);
    }
    const auto found = it->find(Paths::AsciiLower(name));
    if (found == it->end())
        return {};
    const QFileInfo there(Paths::Join(dir, *found));
    if (there.exists() || there.isSymLink())
        return *found;
    it->erase(found); // gone since it was listed
    return {};
}

QString caseVariant(const QString &dir, const QString &name)
{
    return batch().depth > 0 ? listedCaseVariant(dir, name) : findCaseVariant(dir, name);
}

void commitPending();

const QLatin1StringView kTempInfix(".vandrel-");
constexpr int kTempRandomChars = 6;

bool temporaryPattern(const QString &name)
{
    // "." + at least one character of the file's name + ".vandrel-" + six letters or digits
    const qsizetype stem = name.size() - kTempInfix.size() - kTempRandomChars;
    if (stem < 2 || !name.startsWith(u'.')
        || QStringView(name).sliced(stem, kTempInfix.size()) != kTempInfix)
        return false;
    for (QChar c : QStringView(name).last(kTempRandomChars))
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    return true;
}

#ifndef Q_OS_WIN
QString temporaryName(QString name)
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix = kTempInfix;
    for (int i = 0; i < kTempRandomChars; ++i)
        suffix += QLatin1Char(kChars[QRandomGenerator::global()->bounded(62)]);
    // A long name is shortened so that the temporary name still fits the file system's limit.
    while (name.size() > 1 && QFile::encodeName(u'.' + name + suffix).size() > NAME_MAX) {
        name.chop(1);
        if (name.back().isHighSurrogate())
            name.chop(1);
    }
    return u'.' + name + suffix;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

void syncFolder(const QString &dir)
{
#ifdef Q_OS_LINUX
    // A rename is only safe once its folder is on the disk.
    const int dirFd =
        ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
#else
    Q_UNUSED(dir);
#endif
}

// The POSIX way: create the temporary file exclusively, give it the old file's mode and owner,
// write and sync it, rename it over the old file and sync the folder. In a batch the sync and
// the rename wait for the batch's commit.
bool replaceFile(const QString &target, const QByteArray &bytes, bool deferred)
{
    const QFileInfo info(target);
    const QString dir = info.absolutePath();
    const QByteArray targetName = QFile::encodeName(target);
    struct stat old
    {};
    const bool existed = ::stat(targetName.constData(), &old) == 0;
    // As with the profile functions, a read-only file is not written.
    if (existed
        && (!S_ISREG(old.st_mode)
            || ::faccessat(AT_FDCWD, targetName.constData(), W_OK, AT_EACCESS) != 0))
        return false;

    QByteArray tempName;
    QString tempBase;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempBase = temporaryName(info.fileName());
        tempName = QFile::encodeName(dir + u'/' + tempBase);
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = true;
    if (existed) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            // Only root may give the file back to its owner; anyone else's save makes it theirs,
            // as with any program that saves by rename.
            const int kept = ::fchown(fd, old.st_uid, old.st_gid);
            Q_UNUSED(kept);
        }
    }
    int dirFd = -1;
    if (deferred) {
        BatchState &b = batch();
        dirFd = b.folderFds.value(dir, -1);
        if (dirFd < 0) {
            dirFd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dirFd >= 0)
                b.folderFds.insert(dir, dirFd);
        }
        // Without its folder at hand the file is put in place on its own.
        deferred = dirFd >= 0;
    }
    ok = ok && writeAll(fd, bytes) && (deferred || ::fsync(fd) == 0);
    ok = ::close(fd) == 0 && ok;
    if (ok && deferred) {
        BatchState &b = batch();
        b.pending.append(
            {QFile::encodeName(tempBase), QFile::encodeName(info.fileName()), target, dir});
        b.pendingKeys.insert(pathKey(target));
        b.pendingBytes += bytes.size();
        note(target);
        if (b.pending.size() >= kBatchFiles || b.pendingBytes >= kBatchBytes)
            commitPending();
        return true;
    }
    ok = ok && ::rename(tempName.constData(), targetName.constData()) == 0;
    if (!ok) {
        ::unlink(tempName.constData());
        return false;
    }
    syncFolder(dir);
    note(target);
    return true;
}

// Every pending temporary file on the disk, then renamed into place: one sync of each file
// system instead of one per file.
void commitPending()
{
    BatchState &b = batch();
    if (b.pending.isEmpty())
        return;
    const QList<PendingWrite> pending = std::exchange(b.pending, {});
    const QHash<QString, int> fds = std::exchange(b.folderFds, {});
    b.pendingKeys.clear();
    b.pendingBytes = 0;
    // A folder still where it was, and whether its file system is on the disk.
    struct FolderState
    {
        bool there = false;
        bool synced = false;
    };
    QHash<QString, FolderState> folders;
    QHash<dev_t, bool> devices;
    for (auto it = fds.cbegin(); it != fds.cend(); ++it) {
        struct stat held
        {
        }, now{};
        FolderState state;
        state.there = ::fstat(*it, &held) == 0
                      && ::stat(QFile::encodeName(it.key()).constData(), &now) == 0
                      && held.st_dev == now.st_dev && held.st_ino == now.st_ino;
#ifdef Q_OS_LINUX
        if (state.there) {
            const auto done = devices.constFind(held.st_dev);
            state.synced = done != devices.cend() ? *done : ::syncfs(*it) == 0;
            devices.insert(held.st_dev, state.synced);
        }
#endif
        folders.insert(it.key(), state);
    }
    QSet<QString> renamed;
    for (const PendingWrite &p : pending) {
        const int dirFd = fds.value(p.dir);
        const FolderState state = folders.value(p.dir);
        bool ok = state.there;
        if (ok && !state.synced) {
            // No sync of its file system (or one that failed): on its own, as without a batch.
            const int fd = ::openat(dirFd, p.temp.constData(), O_RDONLY | O_CLOEXEC);
            ok = fd >= 0 && ::fsync(fd) == 0;
            if (fd >= 0)
                ::close(fd);
        }
        ok = ok && ::renameat(dirFd, p.temp.constData(), dirFd, p.target.constData()) == 0;
        if (!ok) {
            ::unlinkat(dirFd, p.temp.constData(), 0);
            b.failed << p.path;
            continue;
        }
        renamed.insert(p.dir);
    }
    for (auto it = fds.cbegin(); it != fds.cend(); ++it) {
        if (renamed.contains(it.key()))
            ::fsync(*it); // the renames on the disk too
        ::close(*it);
    }
}
#else
void commitPending()
{}
#endif

} // namespace

bool exists(const QString &path)
{
    const BatchState &b = batch();
    if (!b.pendingKeys.isEmpty() && b.pendingKeys.contains(pathKey(path)))
        return true;
#ifdef Q_OS_UNIX
    struct stat st
    {};
    return ::stat(QFile::encodeName(resolve(path)).constData(), &st) == 0;
#else
    return QFileInfo::exists(resolve(path));
#endif
}

QString resolve(const QString &path)
{
    if (path.isEmpty())
        return path;
    if (!batch().pendingKeys.isEmpty() && batch().pendingKeys.contains(pathKey(path)))
        commitPending();
        // Anything at all, a link leading nowhere too: one call where there is lstat.
#ifdef Q_OS_UNIX
    struct stat st
    {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0)
        return path;
#else
    QFileInfo exact(path);
    if (exact.exists() || exact.isSymLink())
        return path;
#endif

    const QString native = QDir::fromNativeSeparators(path);
    // Most paths that do not exist are new names in a folder that does: one lookup there.
    const qsizetype slash = native.lastIndexOf(u'/');
    if (slash > 0 && slash + 1 < native.size() && QDir::isAbsolutePath(native)
        && native[slash - 1] != u'/') {
        const QString dir = native.left(slash), name = native.mid(slash + 1);
        // A folder the batch has listed is there.
        const bool listed = batch().listings.contains(folderKey(dir));
        if (name != u"." && name != u".." && (listed || QFileInfo(dir).isDir())) {
            const QString variant = caseVariant(dir, name);
            return QDir::toNativeSeparators(dir + u'/' + (variant.isEmpty() ? name : variant));
        }
    }

    // Walk from the root, keeping each component that exists and looking up the others.
    QString current;
    QString rest = native;
    if (native.startsWith(u'/')) {
        current = QStringLiteral("/");
        rest = native.mid(1);
    } else if (native.size() >= 2 && native.at(1) == u':') {
        current = native.left(2) + u'/';
        rest = native.mid(native.size() > 2 && native.at(2) == u'/' ? 3 : 2);
    } else {
        current = QDir::currentPath() + u'/';
    }
    const QStringList parts = rest.split(u'/');
    QString resolved = current;
    bool lost = false; // once a component is missing, the rest is kept as given
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (part.isEmpty()) {
            // Keep doubled and trailing separators as they were.
            if (!resolved.endsWith(u'/'))
                resolved += u'/';
            continue;
        }
        QString next = resolved;
        if (!next.endsWith(u'/'))
            next += u'/';
        if (lost) {
            resolved = next + part;
            continue;
        }
        QFileInfo fi(next + part);
        if (fi.exists() || fi.isSymLink() || part == u"." || part == u"..") {
            resolved = next + part;
            continue;
        }
        const QString variant = caseVariant(resolved, part);
        if (variant.isEmpty()) {
            lost = true;
            resolved = next + part;
        } else {
            resolved = next + variant;
        }
    }
    return QDir::toNativeSeparators(resolved);
}

bool readAll(const QString &path, QByteArray &bytes)
{
    bytes.clear();
    QFile file(resolve(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

bool readListed(const QString &path, QByteArray &bytes, qint64 *stamp)
{
    bytes.clear();
    if (!batch().pendingKeys.isEmpty() && batch().pendingKeys.contains(pathKey(path)))
        commitPending();
#ifdef Q_OS_UNIX
    // open, fstat, read, close: QFile costs two more fstat calls and an object per file.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st
    {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        if (stamp)
            *stamp = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec + st.st_size;
        // One byte more than the size, so that a short read tells the end without a second
        // read; a file that grew meanwhile is read on in steps.
        qsizetype used = 0;
        bytes.resize(qsizetype(st.st_size) + 1);
        for (;;) {
            const ssize_t n = ::read(fd, bytes.data() + used, size_t(bytes.size() - used));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                ok = false;
            if (n <= 0)
                break;
            used += n;
            if (used < bytes.size())
                break;
            bytes.resize(bytes.size() * 2);
        }
        bytes.truncate(used);
    }
    ::close(fd);
    return ok;
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    if (stamp)
        *stamp = QFileInfo(file).lastModified().toMSecsSinceEpoch() + file.size();
    return file.error() == QFileDevice::NoError;
#endif
}

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QString target = resolve(path);
    // A link stays a link; the file it points to is replaced.
    const QFileInfo info(target);
    if (info.isSymLink() && info.exists())
        target = info.canonicalFilePath();
#ifdef Q_OS_WIN
    QSaveFile file(target);
    // Writing in place would lose the all-or-nothing guarantee.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
#else
    return replaceFile(target, bytes, batch().depth > 0);
#endif
}

QByteArray folderIdentity(const QString &path)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    return info.isDir() ? info.canonicalFilePath().toCaseFolded().toUtf8() : QByteArray();
#else
    struct stat st
    {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    QByteArray id(sizeof(st.st_dev) + sizeof(st.st_ino), Qt::Uninitialized);
    std::memcpy(id.data(), &st.st_dev, sizeof(st.st_dev));
    std::memcpy(id.data() + sizeof(st.st_dev), &st.st_ino, sizeof(st.st_ino));
    return id;
#endif
}

bool isTemporaryName(const QString &name)
{
    return temporaryPattern(name);
}

Batch::Batch()
{
    ++batch().depth;
}

Batch::~Batch()
{
    BatchState &b = batch();
    if (b.depth == 1)
        Commit();
    if (--b.depth == 0) {
        b.listings.clear();
        b.failed.clear();
    }
}

QStringList Batch::Commit()
{
    commitPending();
    return std::exchange(batch().failed, {});
}

bool makePath(const QString &dir)
{
    // The folders that are new, outermost first, for the batch's listings.
    QStringList made;
    for (QString at = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
         !at.isEmpty() && !QFileInfo(at).exists();) {
        made.prepend(at);
        const QString up = QFileInfo(at).path();
        if (up == at)
            break;
        at = up;
    }
    if (!QDir().mkpath(dir))
        return false;
    for (const QString &folder : std::as_const(made))
        note(folder);
    return true;
}

bool removeStaleTemporaryFiles(const QString &dir)
{
    const QDir folder(resolve(dir));
    if (!folder.exists())
        return true;
    if (!folder.isReadable())
        return false;
    const qint64 before = QDateTime::currentSecsSinceEpoch() - TemporaryFileGraceSeconds;
    bool ok = true;
    const QFileInfoList files =
        folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QFileInfo &file : files) {
        if (!temporaryPattern(file.fileName()) || file.isSymLink() || !file.isFile()
            || file.lastModified().toSecsSinceEpoch() >= before)
            continue;
        if (!QFile::remove(file.absoluteFilePath()))
            ok = false;
    }
    return ok;
}

} // namespace FileSystem
