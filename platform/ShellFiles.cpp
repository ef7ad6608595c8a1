#include "ShellFiles.h"

#include "DialogService.h"
#include "FileSystem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace ShellFiles {

namespace {

TrashFunction g_trash;

// A place in a freedesktop.org trash: ".../Trash/files/...", ".Trash-<uid>/files/..." or
// ".Trash/<uid>/files/...".
bool looksLikeTrash(const QString &inTrash)
{
    const QString p = QDir::fromNativeSeparators(inTrash);
    if (QDir::isRelativePath(p))
        return false;
    const QStringList parts = p.split(u'/');
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        if (parts.at(i + 1) == u"files"
            && (parts.at(i) == u"Trash" || parts.at(i).startsWith(u".Trash-")
                || (i > 0 && parts.at(i - 1) == u".Trash")))
            return true;
    return false;
}

bool trashOne(const QString &path, QString *inTrash)
{
    if (g_trash)
        return g_trash(path, inTrash);
#ifdef Q_OS_UNIX
    // Without the home trash folders, Qt 6.4 moves the item into the current folder instead.
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                         + QStringLiteral("/Trash");
    QDir().mkpath(home + QStringLiteral("/files"));
    QDir().mkpath(home + QStringLiteral("/info"));
    QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
    QString where;
    bool ok = QFile::moveToTrash(path, &where);
#ifdef Q_OS_UNIX
    if (ok && !looksLikeTrash(where)) {
        // Somewhere that is no trash: put it back and say no.
        if (QFileInfo(where).isDir())
            QDir().rename(where, path);
        else
            QFile::rename(where, path);
        ok = false;
        where.clear();
    }
#endif
    if (inTrash)
        *inTrash = where;
    return ok;
}

QString nameOf(const QString &path)
{
    QString p = QDir::fromNativeSeparators(path);
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return QFileInfo(p).fileName();
}

QString join(const QString &dir, const QString &name)
{
    QString d = QDir::fromNativeSeparators(dir);
    if (!d.endsWith(u'/'))
        d += u'/';
    return QDir::toNativeSeparators(d + name);
}

void report(QWidget *owner, const QString &text)
{
    DialogService::current().message({owner, DialogService::Icon::Error, QStringLiteral("Error"),
                                      text, DialogService::Ok, DialogService::Ok});
}

bool removeAny(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

// Moves one entry to target, which must not exist: a rename where possible, else (another
// file system) a copy followed by removing the source.
bool moveOne(const QString &source, const QString &target)
{
    if (QFileInfo(source).isDir() && !QFileInfo(source).isSymLink()) {
        if (QDir().rename(source, target))
            return true;
    } else if (QFile::rename(source, target)) {
        return true;
    }
    if (!CopyRecursively(source, target)) {
        removeAny(target);
        return false;
    }
    if (!removeAny(source)) {
        // Keep the source whole rather than lose half of it; the copy goes.
        removeAny(target);
        return false;
    }
    return true;
}

// The trash keeps a note beside each item it holds; an item taken back leaves none behind.
void forgetTrashEntry(const QString &inTrash)
{
    const QString p = QDir::fromNativeSeparators(inTrash);
    const qsizetype at = p.lastIndexOf(QStringLiteral("/files/"));
    if (at < 0)
        return;
    QFile::remove(p.left(at) + QStringLiteral("/info/") + p.mid(at + 7)
                  + QStringLiteral(".trashinfo"));
}

} // namespace

void SetTrashFunction(TrashFunction function)
{
    g_trash = std::move(function);
}

bool CopyRecursively(const QString &source, const QString &target)
{
    const QFileInfo info(source);
    if (info.isDir() && !info.isSymLink()) {
        if (!QDir().mkpath(target))
            return false;
        QDirIterator it(source,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            if (!CopyRecursively(it.filePath(), join(target, it.fileName())))
                return false;
        }
        return true;
    }
    if (info.isSymLink())
        return QFile::link(info.symLinkTarget(), target);
    return QFile::copy(source, target);
}

bool MoveInto(const QStringList &sources, const QString &destDir, QWidget *owner)
{
    if (!QFileInfo(destDir).isDir()) {
        report(owner, QStringLiteral("Cannot move: the folder %1 does not exist.")
                          .arg(QDir::toNativeSeparators(destDir)));
        return false;
    }
    // Ask about every clash first, so that a "No" leaves everything untouched.
    QStringList replaced;
    for (const QString &source : sources) {
        const QString target = join(destDir, nameOf(source));
        if (QFileInfo(QDir::cleanPath(source)) == QFileInfo(QDir::cleanPath(target))) {
            report(owner,
                   QStringLiteral("Cannot move %1: the source and the destination are the same.")
                       .arg(nameOf(source)));
            return false;
        }
        if (!QFileInfo::exists(target) && !QFileInfo(target).isSymLink())
            continue;
        // Folders are not swapped for one another: the one there would be lost whole.
        if (QFileInfo(target).isDir() && !nameOf(source).startsWith(QStringLiteral("__"))) {
            report(owner, QStringLiteral("A folder named %1 already exists in %2.")
                              .arg(nameOf(source), QDir::toNativeSeparators(destDir)));
            return false;
        }
        const auto answer = DialogService::current().message(
            {owner, DialogService::Icon::Question, QStringLiteral("Confirm"),
             QStringLiteral("%1 already exists in %2.\nReplace it?")
                 .arg(nameOf(source), QDir::toNativeSeparators(destDir)),
             DialogService::Yes | DialogService::No, DialogService::No});
        if (answer != DialogService::Yes)
            return false;
        replaced << target;
    }

    // Entries being replaced step aside first, and come back if anything fails.
    QList<std::pair<QString, QString>> asides; // target, its temporary name
    for (const QString &target : std::as_const(replaced)) {
        const QString aside = target + QStringLiteral(".vandrel-replaced");
        if (!moveOne(target, aside)) {
            for (const auto &[t, a] : std::as_const(asides))
                moveOne(a, t);
            report(owner, QStringLiteral("Cannot replace %1.").arg(nameOf(target)));
            return false;
        }
        asides.append({target, aside});
    }
    QList<std::pair<QString, QString>> moved; // source, target
    for (const QString &source : sources) {
        const QString target = join(destDir, nameOf(source));
        if (!moveOne(source, target)) {
            for (auto it = moved.crbegin(); it != moved.crend(); ++it)
                moveOne(it->second, it->first);
            for (const auto &[t, a] : std::as_const(asides))
                moveOne(a, t);
            report(owner, QStringLiteral("Cannot move %1 to %2.")
                              .arg(nameOf(source), QDir::toNativeSeparators(destDir)));
            return false;
        }
        moved.append({source, target});
    }
    for (const auto &[t, a] : std::as_const(asides))
        removeAny(a);
    return true;
}

bool CopyContents(const QString &sourceDir, const QString &destDir)
{
    if (!QDir().mkpath(destDir))
        return false;
    QStringList made;
    QDirIterator it(sourceDir,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString target = join(destDir, it.fileName());
        if (QFileInfo::exists(target) && !removeAny(target))
            return false;
        if (!CopyRecursively(it.filePath(), target)) {
            removeAny(target);
            for (const QString &m : std::as_const(made))
                removeAny(m);
            return false;
        }
        made << target;
    }
    return true;
}

bool MoveToTrash(const QStringList &sources, QString *why)
{
    QList<std::pair<QString, QString>> trashed; // original, place in the trash
    for (const QString &source : sources) {
        QString inTrash;
        if (!trashOne(source, &inTrash)) {
            // Bring back what already went, so that a record keeps its companion folder.
            for (auto it = trashed.crbegin(); it != trashed.crend(); ++it)
                if (!it->second.isEmpty() && moveOne(it->second, it->first))
                    forgetTrashEntry(it->second);
            if (why)
                *why = QStringLiteral("%1 cannot be moved to the trash: there is no trash for "
                                      "the drive it is on, or it cannot be written to. Nothing "
                                      "was deleted.")
                           .arg(QDir::toNativeSeparators(source));
            return false;
        }
        trashed.append({source, inTrash});
    }
    return true;
}

bool DeletePermanently(const QStringList &paths)
{
    bool ok = true;
    for (const QString &path : paths)
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            ok = removeAny(path) && ok;
    return ok;
}

} // namespace ShellFiles
