#include "ContactImport.h"

#include "PhoneFun.h"
#include "RecordStore.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QFileInfo>
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

} // namespace

ContactReport Import(const QStringList &files, const QString &folder,
                     const ContactProgress &progress)
{
    ContactReport report;
    report.import = true;
    report.target = Paths::Native(folder);
    // Every record of the import is one change for the tree, the index and history.
    RecordStore::Operation operation;
    const auto describe = qScopeGuard(
        [&] { operation.SetDescription(QStringLiteral("가져오기: %1개").arg(report.written)); });
    const QList<Pending> cards = readCards(files, report);
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
            const QString dir = c.folder.isEmpty()
                                    ? folder
                                    : RecordStore::MakeFolders(folder, c.folder.split(u'/'));
            QString path = Paths::Join(dir, FolderRecordName);
            const bool ownFolder = c.isFolder && !c.folder.isEmpty() && !FileSystem::exists(path);
            if (!ownFolder) {
                const QString name = RecordStore::ValidName(c.name, false);
                if (name.isEmpty()) {
                    report.skipped
                        << label + QStringLiteral(": 이름에 파일 이름으로 쓸 글자가 없습니다.");
                    continue;
                }
                path = Paths::Join(dir, RecordStore::FreeRecordName(dir, name) + ".txt");
                // The notes say where the pictures went; the companion folder is new.
                QStringList memo = c.record.Lines(u"Memo");
                for (const Attachment &a : std::as_const(c.attachments))
                    memo << QStringLiteral("첨부: %1")
                                .arg(
                                    Paths::Join(Paths::FileName(RecordStore::CompanionFolder(path)),
                                                a.fileName));
                c.record.SetLines(u"Memo", memo);
            } else if (!c.attachments.isEmpty()) {
                report.warnings << label
                                       + QStringLiteral(
                                           ": 폴더 자료의 사진은 가져오지 않았습니다.");
            }
            RecordStore::CreateRecord(path, c.record);
            ++report.written;
            if (ownFolder)
                continue;
            for (const Attachment &a : std::as_const(c.attachments))
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
    if (progress && !report.cancelled)
        progress(total, total);
    return report;
}

} // namespace ContactImport
