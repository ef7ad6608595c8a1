#include "RecordStore.h"

#include "PhoneFun.h"
#include "RecordWalk.h"
#include "platform/DialogService.h"
#include "platform/DirectoryListing.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/NameOrder.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
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

namespace {

struct Pending
{
    int depth = 0;
    QList<Change> changes;
    QString description;
};

// Operations are per thread: an import in a worker and a save in the window do not mix.
Pending &pending()
{
    thread_local Pending p;
    return p;
}

void send(QList<Change> changes, const QString &description)
{
    if (!changes.isEmpty())
        emit Notifier::Instance().changed(changes, description);
}

} // namespace

Notifier::Notifier()
{
    qRegisterMetaType<RecordStore::Change>();
    qRegisterMetaType<QList<RecordStore::Change>>();
}

Notifier &Notifier::Instance()
{
    static Notifier notifier;
    return notifier;
}

Operation::Operation(const QString &description)
{
    Pending &p = pending();
    if (p.depth++ == 0) {
        p.changes.clear();
        p.description = description;
    }
}

Operation::~Operation()
{
    Pending &p = pending();
    if (--p.depth == 0)
        send(std::exchange(p.changes, {}), std::exchange(p.description, {}));
}

void Operation::SetDescription(const QString &description)
{
    pending().description = description;
}

void Tell(const Change &change)
{
    Pending &p = pending();
    if (p.depth > 0)
        p.changes.append(change);
    else
        send({change}, QString());
}

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
            || !DirectoryListing::RenameRaw(dir, n.raw, n.readable)) {
            failed << n.readable;
            continue;
        }
        // No path reached it before: for everyone else it is new.
        const QString now = Paths::Join(dir, n.readable);
        Tell({Change::Added, Paths::Native(now), {}, QFileInfo(now).isDir()});
    }
    return failed;
}

bool NameTaken(const QString &folder, const QString &name)
{
    const QString path = Paths::Join(folder, name);
    // A file an import has just written may still wait for its batch.
    return FileSystem::exists(path) || QFileInfo(FileSystem::resolve(path)).isSymLink();
}

namespace {

// Every record gets its identity when it is made.
Record withUid(const Record &record)
{
    Record out = record;
    if (out.Uid().isEmpty())
        out.SetUid(Record::NewUid());
    return out;
}

} // namespace

void CreateFolder(const QString &dir, const Record &record)
{
    const Operation operation;
    const bool existed = QFileInfo(dir).isDir();
    if (!FileSystem::makePath(dir))
        throw VandrelError(QStringLiteral("Unable to create the folder %1").arg(dir));
    if (!existed)
        Tell({Change::Added, Paths::Native(dir), {}, true});
    const QString own = Paths::Join(dir, FolderRecordName);
    withUid(record).Write(own);
    if (FileSystem::exists(own))
        Tell({Change::Added, Paths::Native(own), {}, false});
}

void CreateRecord(const QString &file, const Record &record)
{
    // Named before the write, so that a batch need not put the file in place to tell it.
    const QString shown = Paths::Native(FileSystem::resolve(file));
    withUid(record).Write(file);
    // A record with nothing typed in still has to exist, or it would vanish from the tree.
    if (!FileSystem::exists(file) && !FileSystem::writeAtomically(file, QByteArray()))
        throw WriteError(file);
    Tell({Change::Added, shown, {}, false});
}

void SaveUid(const QString &path, const QString &uid)
{
    profile::Edit edit(path);
    if (!edit.document().setValue(RecordUidSection, RecordUidKey, uid))
        throw WriteError(path);
    edit.commit();
    Tell({Change::Changed, Paths::Native(path), {}, false});
}

void SaveRecord(const QString &path, const Record &record)
{
    const bool existed = FileSystem::exists(path);
    const QByteArray before = [&] {
        QByteArray bytes;
        FileSystem::readAll(path, bytes);
        return bytes;
    }();
    // A folder's record saved for the first time is made here, and gets its identity.
    (existed || record.IsEmpty() ? record : withUid(record)).Write(path);
    QByteArray after;
    if (!FileSystem::readAll(path, after))
        return; // nothing to save and no file: a folder without a record stays so
    if (existed && after == before)
        return; // unchanged: nothing happened
    Tell({existed ? Change::Changed : Change::Added,
          Paths::Native(FileSystem::resolve(path)),
          {},
          false});
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
        const bool existed = QFileInfo(path).isDir();
        if (!FileSystem::makePath(path))
            throw VandrelError(QStringLiteral("Unable to create the folder %1").arg(path));
        if (!existed)
            Tell({Change::Added, Paths::Native(path), {}, true});
    }
    return path;
}

QString FolderPath(const QString &dir, const QStringList &parts)
{
    QString path = Paths::WithoutTrailingSeparator(dir);
    for (const QString &part : parts) {
        const QString name = ValidName(part, true);
        if (!name.isEmpty())
            path = FileSystem::resolve(Paths::Join(path, name));
    }
    return path;
}

QString AddCompanionFile(const QString &recordFile, const QString &fileName,
                         const QByteArray &bytes)
{
    const QString dir = FileSystem::resolve(CompanionFolder(recordFile));
    if (!FileSystem::makePath(dir))
        return {};
    QString name = ValidName(fileName, false);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name, ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2; NameTaken(dir, name); ++n)
        name = stem + QString::number(n) + ext;
    if (!FileSystem::writeAtomically(Paths::Join(dir, name), bytes))
        return {};
    Tell({Change::Added, Paths::Native(Paths::Join(dir, name)), {}, false});
    return name;
}

QString MoveIntoCompanion(const QString &path, const QString &recordFile, const QString &wanted)
{
    const QString dir = FileSystem::resolve(CompanionFolder(recordFile));
    const QString from = FileSystem::resolve(path);
    const QFileInfo info(from);
    if (!info.exists() || !FileSystem::makePath(dir))
        return {};
    QString name = wanted.isEmpty() ? Paths::FileName(from) : wanted;
    const qsizetype dot = info.isDir() ? -1 : name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name, ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2; NameTaken(dir, name); ++n)
        name = stem + QString::number(n) + ext;
    const QString to = Paths::Join(dir, name);
    if (!QDir().rename(from, to)) {
        // Onto another file system: a whole copy first, then the original goes.
        if (!ShellFiles::CopyRecursively(from, to))
            return {};
        if (!ShellFiles::DeletePermanently({from})) {
            ShellFiles::DeletePermanently({to});
            return {};
        }
    }
    Tell({Change::Renamed, Paths::Native(to), Paths::Native(from), info.isDir()});
    return name;
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
    const QStringList before = text.lines;
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
    if (text.lines == before)
        return true;
    if (!text.Save(file))
        return false;
    Tell({Change::Changed, Paths::Native(FileSystem::resolve(file)), {}, false});
    return true;
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

    if (!record) {
        if (!QDir().rename(from, to))
            return failed;
        Tell({Change::Renamed, Paths::Native(to), Paths::Native(from), true});
        return {};
    }

    const QString companionFrom = FileSystem::resolve(CompanionFolder(from));
    const bool hasCompanion = QFileInfo(companionFrom).isDir();
    if (!QFile::rename(from, to))
        return failed;
    // The companion folder and the references in the record go with the record.
    Operation operation;
    const Change renamed{Change::Renamed, Paths::Native(to), Paths::Native(from), false};
    if (!hasCompanion) {
        Tell(renamed);
        return {};
    }
    const QString companionTo = CompanionFolder(to);
    if (companionFrom != companionTo) {
        const QString companionThere = FileSystem::resolve(companionTo);
        const bool sameFolder = QFileInfo(companionThere) == QFileInfo(companionFrom);
        bool moved = false;
        if (sameFolder || !QFileInfo::exists(companionThere))
            moved = QDir().rename(companionFrom, companionTo);
        if (!moved) {
            // Into an existing folder of that name: copy, and only then remove the old one.
            if (!ShellFiles::CopyContents(companionFrom, companionTo)) {
                QFile::rename(to, from); // the record stays with its companion folder
                return QStringLiteral("Rename failed: the files of %1 could not be copied to %2. "
                                      "Nothing was renamed.")
                    .arg(Paths::FileName(companionFrom), Paths::FileName(companionTo));
            }
            ShellFiles::DeletePermanently({companionFrom});
        }
    }
    Tell(renamed);
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
    if (func == FoCopy && from.endsWith(all)) {
        if (!ShellFiles::CopyContents(from.left(from.size() - all.size()), to))
            return false;
        Tell({Change::Changed, Paths::Native(to), {}, true});
        return true;
    }

    QStringList sources{from};
    if (from.endsWith(RecordExtension)) {
        const QString companion = FileSystem::resolve(CompanionFolder(from));
        if (QFileInfo(companion).isDir())
            sources << companion;
    }
    // The record goes with its companion folder; only the record is told.
    const bool folder = QFileInfo(from).isDir();
    const QString there = Paths::Native(Paths::Join(to, Paths::FileName(from)));
    switch (func) {
    case FoMove:
        if (!ShellFiles::MoveInto(sources, to))
            return false;
        Tell({Change::Renamed, there, Paths::Native(from), folder});
        return true;
    case FoCopy:
        for (const QString &source : sources)
            if (!ShellFiles::CopyRecursively(source, Paths::Join(to, Paths::FileName(source))))
                return false;
        Tell({Change::Added, there, {}, folder});
        return true;
    case FoDelete:
        if (flags & FofAllowUndo) {
            QString why;
            if (!ShellFiles::MoveToTrash(sources, &why)) {
                reportError(why);
                return false;
            }
        } else if (!ShellFiles::DeletePermanently(sources)) {
            return false;
        }
        Tell({Change::Removed, Paths::Native(from), {}, folder});
        return true;
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

void RestoreFile(const QString &path, const QByteArray &bytes)
{
    const QString file = FileSystem::resolve(path);
    const bool existed = QFileInfo(file).isFile();
    if (existed) {
        QByteArray now;
        if (FileSystem::readAll(file, now) && now == bytes)
            return; // already so
    }
    const QString dir = QFileInfo(file).absolutePath();
    const bool dirExisted = QFileInfo(dir).isDir();
    if (!FileSystem::makePath(dir) || !FileSystem::writeAtomically(file, bytes))
        throw WriteError(path);
    const Operation operation;
    if (!dirExisted)
        Tell({Change::Added, Paths::Native(dir), {}, true});
    Tell({existed ? Change::Changed : Change::Added, Paths::Native(file), {}, false});
}

void RemoveFile(const QString &path)
{
    const QString file = FileSystem::resolve(path);
    if (!QFileInfo(file).isFile())
        return;
    if (!QFile::remove(file))
        throw WriteError(path);
    Tell({Change::Removed, Paths::Native(file), {}, false});
}

} // namespace RecordStore
