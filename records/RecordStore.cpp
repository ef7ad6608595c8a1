#include "RecordStore.h"

#include "PhoneFun.h"
#include "RecordWalk.h"
#include "platform/DialogService.h"
#include "platform/DirectoryListing.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/NameOrder.h"
#include "platform/Paths.h"
#include "platform/ShellFiles.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace RecordStore {

namespace {

const QString RecordExtension = QStringLiteral(".txt");

void reportError(const QString &text)
{
    DialogService::current().message({nullptr, DialogService::Icon::Error, QStringLiteral("Error"),
                                      text, DialogService::Ok, DialogService::Ok});
}

} // namespace

bool IsRecordFileName(const QString &name)
{
    return name.size() >= 4 && name.right(4).compare(RecordExtension, Qt::CaseInsensitive) == 0;
}

bool IsDataDir(const QString &dir)
{
    return !dir.isEmpty() && QFileInfo(dir).isDir();
}

Listing ListFolder(const QString &dir, bool sorted)
{
    Listing listing;
    bool leftovers = false;
    DirectoryListing::forEach(dir, [&](const DirectoryListing::Entry &e) {
        if (e.name.startsWith(u'.')) {
            leftovers = leftovers || FileSystem::isTemporaryName(e.name);
            return true; // hidden, like the folders
        }
        const bool record = e.isFile && IsRecordFileName(e.name);
        if (!e.rawName.isEmpty()) {
            // No path made of the name reaches it: not listed, but told.
            if (record || e.isDir)
                listing.unreadable.append({e.name, e.rawName});
            return true;
        }
        if (record)
            listing.records << e.name;
        else if (e.isDir && !e.name.startsWith(u"__"))
            listing.folders << e.name;
        return true;
    });
    // What a killed save left behind goes when its folder is next seen.
    if (leftovers)
        FileSystem::removeStaleTemporaryFiles(dir);
    if (sorted) {
        const NameOrder order;
        order.sort(listing.folders);
        order.sort(listing.records);
    }
    return listing;
}

bool HasVisibleEntries(const QString &dir)
{
    bool found = false;
    DirectoryListing::forEach(dir, [&](const DirectoryListing::Entry &e) {
        found = !e.name.startsWith(u'.') && !e.name.startsWith(u"__");
        return !found;
    });
    return found;
}

QStringList RepairNames(const QString &dir, const QList<UnreadableName> &names)
{
    QStringList failed;
    for (const UnreadableName &n : names) {
        // A name that is no code page 949 either, or that breaks the name rules, stays.
        if (n.readable.contains(QChar::ReplacementCharacter) || !IsValidName(n.readable)
            || !DirectoryListing::RenameRaw(dir, n.raw, n.readable))
            failed << n.readable;
    }
    return failed;
}

bool NameTaken(const QString &folder, const QString &name)
{
    const QFileInfo at(FileSystem::resolve(Paths::Join(folder, name)));
    return at.exists() || at.isSymLink();
}

void CreateFolder(const QString &dir, const Record &record)
{
    if (!QDir().mkpath(dir))
        throw VandrelError(QStringLiteral("Unable to create the folder %1").arg(dir));
    record.Write(Paths::Join(dir, FolderRecordName));
}

void CreateRecord(const QString &file, const Record &record)
{
    record.Write(file);
    // A record with nothing typed in still has to exist, or it would vanish from the tree.
    if (!FileSystem::exists(file) && !FileSystem::writeAtomically(file, QByteArray()))
        throw WriteError(file);
}

QString ValidName(const QString &text, bool folder)
{
    QString name;
    name.reserve(text.size());
    for (QChar c : text)
        name += ForbiddenNameChars.contains(c) ? QChar(u'_') : c.unicode() < 32 ? QChar(u' ') : c;
    name = TrimName(name);
    if (folder) {
        // "." and ".." lead elsewhere, a leading "." or "__" hides a folder.
        while (name.startsWith(u'.'))
            name.remove(0, 1);
        while (name.startsWith(QStringLiteral("__")))
            name.remove(0, 1);
    } else if (name.startsWith(u'.')) {
        name[0] = u'_'; // hidden records are never listed
    }
    // Room for ".txt", the companion folder's "__" and a number within 255 bytes.
    constexpr int MaxNameBytes = 200;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const bool pair = name[i].isHighSurrogate() && i + 1 < name.size();
        const int width = name[i].unicode() < 0x80    ? 1
                          : name[i].unicode() < 0x800 ? 2
                          : pair                      ? 4
                                                      : 3;
        if (bytes + width > MaxNameBytes) {
            name.truncate(i);
            break;
        }
        bytes += width;
        i += pair ? 1 : 0;
    }
    return TrimName(name);
}

QString FreeRecordName(const QString &folder, const QString &name)
{
    const auto free = [&](const QString &candidate) {
        return !NameTaken(folder, candidate + RecordExtension)
               && !NameTaken(folder, QStringLiteral("__") + candidate);
    };
    if (free(name))
        return name;
    for (int n = 1;; ++n) {
        const QString candidate =
            name + u'_' + QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
        if (free(candidate))
            return candidate;
    }
}

QString MakeFolders(const QString &dir, const QStringList &parts)
{
    QString path = Paths::WithoutTrailingSeparator(dir);
    for (const QString &part : parts) {
        const QString name = ValidName(part, true);
        if (name.isEmpty())
            continue;
        path = FileSystem::resolve(Paths::Join(path, name));
        if (!QDir().mkpath(path))
            throw VandrelError(QStringLiteral("Unable to create the folder %1").arg(path));
    }
    return path;
}

QString AddCompanionFile(const QString &recordFile, const QString &fileName,
                         const QByteArray &bytes)
{
    const QString dir = FileSystem::resolve(CompanionFolder(recordFile));
    if (!QDir().mkpath(dir))
        return {};
    QString name = ValidName(fileName, false);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name, ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2; NameTaken(dir, name); ++n)
        name = stem + QString::number(n) + ext;
    return FileSystem::writeAtomically(Paths::Join(dir, name), bytes) ? name : QString();
}

QStringList CollectRecords(const QString &dir, bool withOwnRecord, QStringList *unreadable)
{
    QStringList found;
    const QString root = Paths::WithoutTrailingSeparator(dir);
    for (const RecordWalk::Folder &folder : RecordWalk::Walk(root, {false, true, nullptr})) {
        const QString path = folder.rel.isEmpty() ? root : Paths::Join(root, folder.rel);
        if ((withOwnRecord || !folder.rel.isEmpty()) && folder.HasFolderRecord())
            found << Paths::Join(path, FolderRecordName);
        if (unreadable)
            for (const RecordWalk::Unreadable &u : folder.unreadable)
                if (u.isDir || IsRecordFileName(u.name))
                    *unreadable << Paths::Join(path, u.name);
        for (const QString &record : folder.Records())
            found << Paths::Join(path, record);
    }
    return found;
}

QString CompanionFolder(const QString &path)
{
    const QString name = Paths::FileName(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return path.left(path.size() - name.size()) + QStringLiteral("__")
           + (dot < 0 ? name : name.left(dot));
}

bool RenameReferences(const QString &file, const QString &oldName, const QString &newName)
{
    if (oldName.isEmpty())
        return true;
    TextFile text;
    if (!text.Load(file))
        return false;
    for (QString &line : text.lines) {
        // Left to right, past each replacement, so that no pair of names can make it loop.
        qsizetype from = 0;
        for (;;) {
            qsizetype best = -1;
            for (QChar sep : {QChar(u'\\'), QChar(u'/')}) {
                const qsizetype at = line.indexOf(u'"' + oldName + sep, from);
                if (at >= 0 && (best < 0 || at < best))
                    best = at;
            }
            if (best < 0)
                break;
            line.replace(best + 1, oldName.size(), newName);
            from = best + 1 + newName.size() + 1;
        }
    }
    return text.Save(file);
}

QString Rename(const QString &dir, const QString &oldName, const QString &newName, bool record,
               QString *warning)
{
    const QString failed = QStringLiteral("Rename failed");
    const QString ext = record ? RecordExtension : QString();
    const QString from = FileSystem::resolve(dir + oldName + ext);
    const QString to = dir + newName + ext;
    if (from == to)
        return {}; // the same name: nothing to do
    const QFileInfo fromInfo(from);
    if (record ? !fromInfo.isFile() : !fromInfo.isDir())
        return failed;
    // Another entry of that name, also one differing only in letter case, is in the way;
    // the entry itself under a new letter case is not.
    const QString existing = FileSystem::resolve(to);
    if (QFileInfo::exists(existing) && QFileInfo(existing) != fromInfo)
        return failed;

    if (!record)
        return QDir().rename(from, to) ? QString() : failed;

    const QString companionFrom = FileSystem::resolve(CompanionFolder(from));
    const bool hasCompanion = QFileInfo(companionFrom).isDir();
    if (!QFile::rename(from, to))
        return failed;
    if (!hasCompanion)
        return {};
    const QString companionTo = CompanionFolder(to);
    if (companionFrom != companionTo) {
        const QString companionThere = FileSystem::resolve(companionTo);
        const bool sameFolder = QFileInfo(companionThere) == QFileInfo(companionFrom);
        bool moved = false;
        if (sameFolder || !QFileInfo::exists(companionThere))
            moved = QDir().rename(companionFrom, companionTo);
        if (!moved) {
            // Into an existing folder of that name: copy, and only then remove the old one.
            if (!ShellFileOperation(Paths::Join(companionFrom, QStringLiteral("*.*")), companionTo,
                                    FoCopy, FofNoConfirmation)) {
                QFile::rename(to, from); // the record stays with its companion folder
                return QStringLiteral("Rename failed: the files of %1 could not be copied to %2. "
                                      "Nothing was renamed.")
                    .arg(Paths::FileName(companionFrom), Paths::FileName(companionTo));
            }
            ShellFileOperation(companionFrom, QString(), FoDelete, FofNoConfirmation);
        }
    }
    if (!RenameReferences(to, Paths::FileName(companionFrom), Paths::FileName(companionTo))
        && warning)
        *warning =
            QStringLiteral("이름은 바뀌었지만 %1 안에서 %2를 가리키는 곳은 고치지 못했습니다.")
                .arg(Paths::FileName(to), Paths::FileName(companionFrom));
    return {};
}

bool ShellFileOperation(const QString &from, const QString &to, int func, int flags)
{
    // "folder\*.*" stands for everything inside the folder.
    const QString all = Paths::Join(QString(), QStringLiteral("*.*"));
    if (func == FoCopy && from.endsWith(all))
        return ShellFiles::CopyContents(from.left(from.size() - all.size()), to);

    QStringList sources{from};
    if (from.endsWith(RecordExtension)) {
        const QString companion = FileSystem::resolve(CompanionFolder(from));
        if (QFileInfo(companion).isDir())
            sources << companion;
    }
    switch (func) {
    case FoMove: return ShellFiles::MoveInto(sources, to);
    case FoCopy:
        for (const QString &source : sources)
            if (!ShellFiles::CopyRecursively(source, Paths::Join(to, Paths::FileName(source))))
                return false;
        return true;
    case FoDelete:
        if (flags & FofAllowUndo) {
            QString why;
            if (ShellFiles::MoveToTrash(sources, &why))
                return true;
            reportError(why);
            return false;
        }
        return ShellFiles::DeletePermanently(sources);
    default: return false;
    }
}

bool DeletePath(const QString &path)
{
    return ShellFileOperation(FileSystem::resolve(path), QString(), FoDelete,
                              FofAllowUndo | FofNoConfirmation);
}

bool Move(const QString &path, const QString &destDir)
{
    return ShellFileOperation(FileSystem::resolve(path), destDir, FoMove, 0);
}

} // namespace RecordStore
