#include "ContactImport.h"

#include "Duplicates.h"
#include "PhoneFun.h"
#include "RecordStore.h"
#include "RecordWalk.h"
#include "platform/DirectoryListing.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>

namespace ContactImport {

namespace {

struct Pending
{
    QString file;
    VCard::Card card;
};

// The cards of every file; files that cannot be read or hold no card are told in the report.
QList<Pending> readCards(const QStringList &files, ContactReport &report)
{
    QList<Pending> cards;
    for (const QString &file : files) {
        const QString shown = QFileInfo(file).fileName();
        const QFileInfo info(FileSystem::resolve(file));
        if (!info.isFile()) {
            report.errors << QStringLiteral("%1: 파일이 없습니다.").arg(file);
            continue;
        }
        if (info.size() > MaxFileBytes) {
            report.errors << QStringLiteral("%1: 파일이 %2 MB보다 커서 읽지 않았습니다.")
                                 .arg(shown)
                                 .arg(MaxFileBytes >> 20);
            continue;
        }
        QByteArray bytes;
        if (!FileSystem::readAll(info.filePath(), bytes)) {
            report.errors << QStringLiteral("%1: 파일을 읽을 수 없습니다.").arg(shown);
            continue;
        }
        VCard::Document doc = VCard::Parse(bytes);
        if (doc.cards.isEmpty()) {
            report.errors
                << QStringLiteral("%1: vCard 파일이 아닙니다 (BEGIN:VCARD가 없습니다).").arg(shown);
            continue;
        }
        for (VCard::Card &card : doc.cards)
            cards.append({shown, std::move(card)});
    }
    return cards;
}

// The records below a folder by their UIDs, read once when the first card with a UID asks.
class UidIndex
{
public:
    explicit UidIndex(const QString &root)
        : m_root(Paths::WithoutTrailingSeparator(root))
    {}

    QString find(const QString &uid)
    {
        if (!m_built) {
            m_built = true;
            for (const RecordWalk::Folder &folder : RecordWalk::Walk(m_root)) {
                const QString dir = folder.rel.isEmpty() ? m_root : Paths::Join(m_root, folder.rel);
                if (folder.HasFolderRecord())
                    learn(Paths::Join(dir, FolderRecordName));
                for (const QString &record : folder.Records())
                    learn(Paths::Join(dir, record));
            }
        }
        return m_paths.value(uid);
    }

    // The first record met with a UID keeps it, as the export does.
    void add(const QString &uid, const QString &path)
    {
        if (!uid.isEmpty() && !m_paths.contains(uid))
            m_paths.insert(uid, path);
    }

private:
    void learn(const QString &path)
    {
        QByteArray bytes;
        if (FileSystem::readListed(path, bytes))
            add(Record::UidFromBytes(bytes), path);
    }

    QString m_root;
    bool m_built = false;
    QHash<QString, QString> m_paths;
};

// The notes say where the pictures of another program's card went.
void noteAttachments(Record &record, const QString &recordPath, const QList<Attachment> &files)
{
    QStringList memo = record.Lines(u"Memo");
    for (const Attachment &a : files)
        memo << QStringLiteral("첨부: %1")
                    .arg(Paths::Join(Paths::FileName(RecordStore::CompanionFolder(recordPath)),
                                     a.fileName));
    record.SetLines(u"Memo", memo);
}

// The target folder, made with the folders it lacks when the first thing goes into it.
void ensureFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return;
    QString at = folder;
    QStringList parts;
    while (!at.isEmpty() && !QFileInfo(at).isDir()) {
        const QString up = QFileInfo(at).path();
        parts.prepend(Paths::FileName(at));
        if (up == at)
            break;
        at = up;
    }
    RecordStore::MakeFolders(at, parts);
}

} // namespace

bool Update(const QString &path, const CardContact &card)
{
    const Contact before = Contact::Read(path);
    Record merged = MergedRecord(before.record, card.contact.record);
    merged.SetUid(before.record.Uid());
    const bool folderRecord = Paths::FileName(path) == FolderRecordName;
    const QList<Attachment> added =
        folderRecord ? QList<Attachment>() : NewAttachments(path, card.contact.attachments);
    if (!card.fromVandrel)
        noteAttachments(merged, path, added);
    const bool changed = merged != before.record || !added.isEmpty();
    if (merged != before.record)
        RecordStore::SaveRecord(path, merged);
    for (const Attachment &a : added)
        if (RecordStore::AddCompanionFile(path, a.fileName, a.bytes).isEmpty())
            throw VandrelError(QStringLiteral("%1을(를) 저장하지 못했습니다.").arg(a.fileName));
    return changed;
}

ContactReport Import(const QStringList &files, const QString &folder,
                     const ContactProgress &progress, const QString &dataDir, bool findDuplicates)
{
    ContactReport report;
    report.import = true;
    report.target = Paths::Native(folder);
    // Every record of the import is one change for the tree, the index and history.
    RecordStore::Operation operation;
    const auto describe = qScopeGuard(
        [&] { operation.SetDescription(QStringLiteral("가져오기: %1개").arg(report.written)); });
    // One listing per folder and one sync per batch of files, however many cards; it is put
    // in place before the operation tells anyone.
    FileSystem::Batch batch;
    const QList<Pending> cards = readCards(files, report);
    UidIndex index(dataDir.isEmpty() ? folder : dataDir);
    QHash<QString, QString> created; // record file -> its card, until it is on the disk
    const qsizetype total = cards.size();
    for (qsizetype i = 0; i < total; ++i) {
        if (progress && !progress(i, total)) {
            report.cancelled = true;
            break;
        }
        const Pending &p = cards.at(i);
        CardContact read = ContactFromCard(p.card);
        Contact &c = read.contact;
        QString label = QStringLiteral("%1 %2번째 카드(%3번째 줄)")
                            .arg(p.file)
                            .arg(p.card.index)
                            .arg(p.card.line);
        if (!c.name.isEmpty())
            label += QStringLiteral(" '%1'").arg(c.name);
        if (!read.error.isEmpty()) {
            report.skipped << label + QStringLiteral(": ") + read.error;
            continue;
        }
        for (const QString &w : std::as_const(read.warnings))
            report.warnings << label + QStringLiteral(": ") + w;
        try {
            const QStringList parts = c.folder.split(u'/', Qt::SkipEmptyParts);
            if (c.emptyFolder) {
                const bool existed = QFileInfo(RecordStore::FolderPath(folder, parts)).isDir();
                ensureFolder(folder);
                RecordStore::MakeFolders(folder, parts);
                report.folders += existed ? 0 : 1;
                continue;
            }
            const QString uid = c.record.Uid();
            if (const QString there = uid.isEmpty() ? QString() : index.find(uid);
                !there.isEmpty()) {
                // The card came back: its record is updated where it is now.
                if (Update(there, read))
                    report.updated << QStringLiteral("%1 → %2").arg(label, Paths::Native(there));
                else
                    ++report.unchanged;
                continue;
            }
            ensureFolder(folder);
            const QString dir = parts.isEmpty() ? folder : RecordStore::MakeFolders(folder, parts);
            QString path = Paths::Join(dir, FolderRecordName);
            const bool ownFolder = c.isFolder && !parts.isEmpty() && !FileSystem::exists(path);
            QList<Attachment> attachments;
            if (!ownFolder) {
                const QString name = RecordStore::ValidName(c.name, false);
                if (name.isEmpty()) {
                    report.skipped
                        << label + QStringLiteral(": 이름에 파일 이름으로 쓸 글자가 없습니다.");
                    continue;
                }
                path = Paths::Join(dir, RecordStore::FreeRecordName(dir, name) + ".txt");
                attachments = c.attachments;
                if (!read.fromVandrel)
                    noteAttachments(c.record, path, attachments);
            } else if (!c.attachments.isEmpty()) {
                report.warnings << label
                                       + QStringLiteral(
                                           ": 폴더 자료의 사진은 가져오지 않았습니다.");
            }
            if (c.record.Uid().isEmpty())
                c.record.SetUid(Record::NewUid());
            RecordStore::CreateRecord(path, c.record);
            index.add(c.record.Uid(), path);
            created.insert(path, label);
            ++report.written;
            for (const Attachment &a : std::as_const(attachments))
                if (RecordStore::AddCompanionFile(path, a.fileName, a.bytes).isEmpty())
                    report.warnings
                        << label
                               + QStringLiteral(": %1을(를) 저장하지 못했습니다.").arg(a.fileName);
        } catch (const VandrelError &e) {
            // A full disk or a locked folder fails every card after it the same way.
            report.errors << label + QStringLiteral(": ") + e.message();
            break;
        }
    }
    // What did not reach the disk in the end was not made.
    for (const QString &path : batch.Commit()) {
        if (created.contains(path)) {
            report.errors << created.value(path) + QStringLiteral(": 디스크에 쓰지 못했습니다.");
            --report.written;
            RecordStore::Tell({RecordStore::Change::Removed, Paths::Native(path), {}, false});
        } else {
            report.errors
                << QStringLiteral("%1: 디스크에 쓰지 못했습니다.").arg(Paths::Native(path));
        }
    }
    if (findDuplicates && report.written > 0) {
        QStringList made;
        for (auto it = created.cbegin(); it != created.cend(); ++it)
            if (FileSystem::exists(it.key()))
                made << Paths::Native(it.key());
        // Offered for merging instead of living on as 이름_01.
        for (const Duplicates::Group &g :
             Duplicates::FindFor(dataDir.isEmpty() ? folder : dataDir, made)) {
            for (const QString &p : g.paths) {
                if (!made.contains(Paths::Native(p)))
                    continue;
                QStringList others;
                for (const QString &o : g.paths)
                    if (o != p)
                        others << Paths::Native(o);
                report.duplicates << QStringLiteral("%1 ↔ %2 (%3)")
                                         .arg(Paths::Native(p), others.join(QStringLiteral(", ")),
                                              g.Reason());
                report.duplicatePaths << p;
            }
        }
    }
    if (progress && !report.cancelled)
        progress(total, total);
    return report;
}

// The card's pictures that the companion folder does not hold yet, byte for byte.
QList<Attachment> NewAttachments(const QString &recordPath, const QList<Attachment> &all)
{
    const QString dir = FileSystem::resolve(RecordStore::CompanionFolder(recordPath));
    QList<QByteArray> there;
    if (!all.isEmpty() && QFileInfo(dir).isDir()) {
        QSet<qint64> sizes;
        for (const Attachment &a : all)
            sizes.insert(a.bytes.size());
        DirectoryListing::forEach(dir, [&](const DirectoryListing::Entry &e) {
            QByteArray bytes;
            const QString file = Paths::Join(dir, e.name);
            if (e.isFile && sizes.contains(QFileInfo(file).size())
                && FileSystem::readListed(file, bytes))
                there << bytes;
            return true;
        });
    }
    QList<Attachment> out;
    for (const Attachment &a : all)
        if (!there.contains(a.bytes))
            out << a;
    return out;
}

} // namespace ContactImport
