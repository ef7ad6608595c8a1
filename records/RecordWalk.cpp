#include "RecordWalk.h"

#include "PhoneFun.h"
#include "RecordStore.h"
#include "platform/DirectoryListing.h"
#include "platform/FileSystem.h"
#include "platform/NameOrder.h"
#include "platform/Paths.h"

namespace RecordWalk {

bool Folder::HasFolderRecord() const
{
    return files.contains(FolderRecordName);
}

QStringList Folder::Records() const
{
    QStringList records;
    for (const QString &file : files)
        if (RecordStore::IsRecordFileName(file))
            records << file;
    return records;
}

Walker::Walker(const QString &root, Options options)
    : m_root(Paths::WithoutTrailingSeparator(root))
    , m_options(options)
{}

bool Walker::FirstVisit(const QString &dir)
{
    const QByteArray id = FileSystem::folderIdentity(dir);
    if (id.isEmpty())
        return false;
    const auto at = m_seen.constFind(id);
    // A folder deleted since, whose number a new folder got, does not count as seen.
    if (at != m_seen.constEnd() && FileSystem::folderIdentity(*at) == id)
        return false;
    m_seen.insert(id, dir);
    return true;
}

void Walker::Seen(const QString &path)
{
    const QByteArray id = FileSystem::folderIdentity(path);
    if (!id.isEmpty())
        m_seen.insert(id, path);
}

Folder List(const QString &dir, const Options &options)
{
    Folder folder;
    DirectoryListing::forEach(dir, [&](const DirectoryListing::Entry &e) {
        if (e.name.startsWith(u'.'))
            return true; // hidden, and where interrupted saves leave their files
        if (!e.rawName.isEmpty()) {
            if (e.isDir || e.isFile)
                folder.unreadable.append({e.name, e.rawName, e.isDir});
        } else if (e.isDir) {
            if (options.companionFolders || !e.name.startsWith(u"__"))
                folder.folders << e.name;
            else
                folder.companions << e.name;
        } else if (e.isFile) {
            folder.files << e.name;
        }
        return true;
    });
    if (options.sorted) {
        const NameOrder order;
        order.sort(folder.folders);
        order.sort(folder.files);
    }
    return folder;
}

void Walker::Visit(const QString &rel, QList<Folder> &out)
{
    if (Cancelled())
        return;
    const QString dir = rel.isEmpty() ? m_root : Paths::Join(m_root, rel);
    if (!FirstVisit(dir))
        return;
    const qsizetype at = out.size();
    out.append(List(dir, m_options));
    out[at].rel = rel;
    const QStringList folders = std::exchange(out[at].folders, {});
    for (const QString &name : folders) {
        const qsizetype before = out.size();
        Visit(rel.isEmpty() ? name : Paths::Join(rel, name), out);
        if (out.size() > before)
            out[at].folders << name;
    }
}

QList<Folder> Walker::Walk(const QString &rel)
{
    QList<Folder> out;
    Visit(Paths::WithoutTrailingSeparators(rel), out);
    return out;
}

QList<Folder> Walk(const QString &root, Options options)
{
    return Walker(root, options).Walk();
}

} // namespace RecordWalk
