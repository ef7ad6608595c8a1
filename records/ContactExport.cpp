#include "ContactExport.h"

#include "ContactImport.h"
#include "PhoneFun.h"
#include "RecordStore.h"
#include "RecordWalk.h"
#include "platform/DirectoryListing.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUuid>

#include <algorithm>

namespace ContactExport {

namespace {

const QByteArray OwnProdId = "PRODID:-//Vandrel//";

// path below dir with "/" between names; empty for dir itself.
QString relative(const QString &dir, const QString &path)
{
    const QString base = Paths::WithSeparator(dir);
    QString rel = path.startsWith(base) ? path.mid(base.size()) : QString();
    return QDir::fromNativeSeparators(Paths::WithoutTrailingSeparators(rel));
}

QString folderOf(const QString &path)
{
    return Paths::WithoutTrailingSeparators(path.left(path.size() - Paths::FileName(path).size()));
}

// A spreadsheet runs a cell beginning with one of these as a formula; a cell beginning with
// the guard itself gets one too, so that a guarded cell always reads back by dropping one "'".
bool needsGuard(const QString &text)
{
    return !text.isEmpty() && QStringLiteral("=+-@\t\r'").contains(text[0]);
}

// Digits a spreadsheet would read as a number and so lose: a leading zero, or more digits
// than it keeps.
bool losesDigits(const QString &text)
{
    return text.size() >= 2
           && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })
           && (text[0] == u'0' || text.size() > 15);
}

QString csvCell(QString text)
{
    if (needsGuard(text))
        text.prepend(u'\'');
    else if (losesDigits(text))
        text = QStringLiteral("=\"") + text + u'"'; // a text constant, "02" stays "02"
    if (!text.contains(u'"') && !text.contains(u',') && !text.contains(u'\n')
        && !text.contains(u'\r'))
        return text;
    return u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// What code page 949 lacks, as "?".
QString fittingCp949(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, n);
        out += TextCodec::fitsCp949(one) ? one : QStringLiteral("?");
        i += n - 1;
    }
    return out;
}

QByteArray hashOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

bool isImageName(const QString &name)
{
    static const QStringList types = {QStringLiteral("jpg"),  QStringLiteral("jpeg"),
                                      QStringLiteral("png"),  QStringLiteral("gif"),
                                      QStringLiteral("bmp"),  QStringLiteral("webp"),
                                      QStringLiteral("heic"), QStringLiteral("heif")};
    return !name.startsWith(u'.') && types.contains(name.section(u'.', -1).toLower());
}

// One thing that goes out: a record file, or a folder without records.
struct Item
{
    QString path;
    bool emptyFolder = false;
};

// What a vCard folder's state file holds for one of its files: the hash of the file as this
// program last wrote or read it, and of the card it made of the record then.
struct FileState
{
    QByteArray file;
    QByteArray card;
};

class Exporter
{
public:
    Exporter(const Request &r, const ContactProgress &progress)
        : m_r(r)
        , m_progress(progress)
    {
        m_report.import = false;
        m_report.target = Paths::Native(r.out);
    }

    ContactReport run()
    {
        m_dataDir = Paths::WithoutTrailingSeparator(m_r.dataDir);
        const QString folder = Paths::WithoutTrailingSeparator(m_r.folder);
        if (!QFileInfo(folder).isDir()) {
            m_report.errors << QStringLiteral("폴더가 없습니다: %1").arg(Paths::Native(folder));
            return m_report;
        }
        // UIDs given on the way, cards taken in from the folder: one change for everyone.
        RecordStore::Operation operation;
        FileSystem::Batch batch;
        const QList<Item> items = collect(folder);
        // An exported folder comes back as a folder of that name.
        m_placementBase = folder == m_dataDir ? m_dataDir : folderOf(folder);
        if (m_r.format == Format::VCardFolder) {
            if (!FileSystem::makePath(m_r.out)) {
                m_report.errors
                    << QStringLiteral("폴더를 만들 수 없습니다: %1").arg(m_report.target);
                return m_report;
            }
            readState();
        }
        if (m_r.format == Format::Csv)
            csvHeader();
        qsizetype done = 0;
        for (; done < items.size() && m_report.errors.isEmpty(); ++done) {
            if (m_progress && !m_progress(done, items.size())) {
                m_report.cancelled = true;
                break;
            }
            add(items.at(done));
        }
        if (m_uidsNotSaved > 0)
            m_report.warnings << QStringLiteral("자료 %1개에 UID를 적지 못해 이번에는 경로로 만든 "
                                                "UID를 썼습니다.")
                                     .arg(m_uidsNotSaved);
        finish(batch);
        if (m_progress && m_report.errors.isEmpty() && !m_report.cancelled)
            m_progress(items.size(), items.size());
        return m_report;
    }

private:
    // The records as the tree shows them, depth first, and the folders that hold nothing.
    QList<Item> collect(const QString &folder)
    {
        QList<Item> items;
        for (const RecordWalk::Folder &f : RecordWalk::Walk(folder, {false, true, nullptr})) {
            const QString dir = f.rel.isEmpty() ? folder : Paths::Join(folder, f.rel);
            for (const RecordWalk::Unreadable &u : f.unreadable)
                if (u.isDir || RecordStore::IsRecordFileName(u.name))
                    m_report.skipped
                        << QStringLiteral("%1: 이름이 UTF-8이 아니어서 읽을 수 없습니다.")
                               .arg(Paths::Native(Paths::Join(dir, u.name)));
            const bool own = !f.rel.isEmpty() || folder != m_dataDir;
            const QStringList records = f.Records();
            if (own && f.HasFolderRecord())
                items.append({Paths::Join(dir, FolderRecordName)});
            else if (own && records.isEmpty() && f.folders.isEmpty())
                items.append({dir, true});
            for (const QString &record : records)
                items.append({Paths::Join(dir, record)});
        }
        return items;
    }

    Contact contactOf(const Item &item)
    {
        Contact c;
        if (item.emptyFolder) {
            c.emptyFolder = true;
            c.name = Paths::FileName(item.path);
            c.category = relative(m_dataDir, item.path);
            c.folder = relative(m_placementBase, item.path);
            // Nothing to keep it in: it goes by its place.
            c.record.SetUid(RecordUid(c.category + u'/'));
            return c;
        }
        c = Contact::Read(item.path);
        c.isFolder = Paths::FileName(item.path) == FolderRecordName;
        c.name = RecordDisplayName(item.path);
        c.category = relative(m_dataDir, folderOf(item.path));
        c.folder = relative(m_placementBase, folderOf(item.path));
        giveUid(item.path, c.record);
        if (!c.isFolder)
            addPhoto(item.path, c);
        return c;
    }

    // A record without a UID gets the one earlier exports made of its place, and a second
    // record with the same UID (a copied file) a new one: one UID, one record.
    void giveUid(const QString &path, Record &record)
    {
        QString uid = record.Uid();
        const bool taken = !uid.isEmpty() && m_uids.contains(uid) && m_uids.value(uid) != path;
        if (uid.isEmpty() || taken) {
            const QString fresh =
                uid.isEmpty() ? RecordUid(relative(m_dataDir, path)) : Record::NewUid();
            try {
                RecordStore::SaveUid(path, fresh);
                if (taken)
                    m_report.warnings << QStringLiteral("%1: 다른 자료와 UID가 같아서 새 UID를 "
                                                        "주었습니다.")
                                             .arg(Paths::Native(path));
            } catch (const VandrelError &) {
                ++m_uidsNotSaved;
            }
            uid = fresh;
            record.SetUid(uid);
        }
        m_uids.insert(uid, path);
    }

    // The picture of the record's companion folder (PhotoFile).
    void addPhoto(const QString &path, Contact &c)
    {
        const QString file = PhotoFile(path);
        if (file.isEmpty())
            return;
        if (QFileInfo(file).size() > MaxPhotoBytes) {
            m_report.warnings << QStringLiteral("%1: 사진이 %2 MB보다 커서 넣지 않았습니다.")
                                     .arg(Paths::Native(file))
                                     .arg(MaxPhotoBytes >> 20);
            return;
        }
        QByteArray bytes;
        if (FileSystem::readListed(file, bytes))
            c.attachments.append({Paths::FileName(file), bytes});
        else
            m_report.warnings
                << QStringLiteral("%1: 사진을 읽을 수 없습니다.").arg(Paths::Native(file));
    }

    void add(const Item &item)
    {
        const Contact c = contactOf(item);
        switch (m_r.format) {
        case Format::VCardFile: WriteCard(m_cards, c); break;
        case Format::VCardFolder:
            if (!toFolder(item, c))
                return;
            break;
        case Format::Csv:
            if (c.emptyFolder)
                return; // a table has no rows for folders
            csvRow(c);
            break;
        }
        ++(c.emptyFolder ? m_report.folders : m_report.written);
    }

    QByteArray cardBytes(const Contact &c) const
    {
        VCard::Writer one;
        WriteCard(one, c);
        return one.take();
    }

    // False when the card did not go out (a conflict, or a failed write).
    bool toFolder(const Item &item, const Contact &c)
    {
        const QByteArray bytes = cardBytes(c);
        const QString name = CardFileName(c.record.Uid());
        const QString key = Paths::AsciiLower(name);
        const QString file = Paths::Join(m_r.out, name);
        m_written.insert(key);
        QByteArray there;
        const bool exists = FileSystem::readAll(file, there);
        const QByteArray hash = hashOf(bytes);
        const auto known = m_state.constFind(key);
        const bool stateKnown = known != m_state.cend();
        if (exists && there == bytes) {
            m_state.insert(key, {hash, hash});
            return true;
        }
        if (exists && stateKnown && hashOf(there) == known->file) {
            // Nobody changed the file since: a card taken in earlier stays until the record
            // changes.
            if (hash == known->card)
                return true;
        } else if (exists && (stateKnown || m_hadState || !there.contains(OwnProdId))) {
            return changedOutside(item, c, file, there, stateKnown && hash == known->card);
        }
        // New, unchanged since this program wrote it, or written before the state file was.
        if (!FileSystem::writeAtomically(file, bytes)) {
            m_report.errors << QStringLiteral("파일을 쓸 수 없습니다: %1").arg(Paths::Native(file));
            return false;
        }
        m_files.insert(file, key);
        m_state.insert(key, {hash, hash});
        return true;
    }

    // The file holds what a sync tool or a person put there. When the record is as it was when
    // the file was last written, the card is what changed and goes into the record; else both
    // changed, and neither is chosen over the other.
    bool changedOutside(const Item &item, const Contact &c, const QString &file,
                        const QByteArray &there, bool recordUnchanged)
    {
        const QString shown = Paths::Native(file);
        const VCard::Document doc = VCard::Parse(there);
        const CardContact card =
            doc.cards.size() == 1 ? ContactFromCard(doc.cards.first()) : CardContact{};
        const bool same =
            card.error.isEmpty() && !c.emptyFolder && card.contact.record.Uid() == c.record.Uid();
        if (!recordUnchanged || !same || doc.cards.size() != 1) {
            m_report.skipped << QStringLiteral("%1: 지난 내보내기 뒤에 폴더에서 바뀌었고 자료 %2도 "
                                               "바뀌었거나 다른 카드라서 덮어쓰지 않았습니다.")
                                    .arg(shown, Paths::Native(item.path));
            return false;
        }
        try {
            if (ContactImport::Update(item.path, card))
                m_report.updated << QStringLiteral("%1 → %2").arg(shown, Paths::Native(item.path));
        } catch (const VandrelError &e) {
            m_report.errors << Paths::Native(item.path) + QStringLiteral(": ") + e.message();
            return false;
        }
        // The file stays as it is; the record now holds what it says.
        m_state.insert(Paths::AsciiLower(Paths::FileName(file)),
                       {hashOf(there), hashOf(cardBytes(contactOf(item)))});
        return true;
    }

    void readState()
    {
        QByteArray bytes;
        m_hadState = FileSystem::readAll(Paths::Join(m_r.out, FolderStateFile), bytes);
        for (const QByteArray &line : bytes.split('\n')) {
            const QList<QByteArray> parts = line.trimmed().split(' ');
            if (parts.size() == 3)
                m_state.insert(QString::fromUtf8(parts[2]), {parts[0], parts[1]});
        }
    }

    bool writeState()
    {
        QByteArray bytes;
        QStringList names = m_state.keys();
        names.sort();
        for (const QString &name : std::as_const(names)) {
            const FileState &s = m_state.value(name);
            bytes += s.file + ' ' + s.card + ' ' + name.toUtf8() + '\n';
        }
        return FileSystem::writeAtomically(Paths::Join(m_r.out, FolderStateFile), bytes);
    }

    void csvHeader()
    {
        QStringList cells{QStringLiteral("이름"), QStringLiteral("폴더")};
        for (const RecordField &f : RecordFields)
            cells << csvCell(FieldCaption(f));
        m_csv += cells.join(u',') + QStringLiteral("\r\n");
    }

    void csvRow(const Contact &c)
    {
        QStringList cells{csvCell(c.name), csvCell(c.category)};
        for (const RecordField &f : RecordFields)
            cells << csvCell(c.record.Text(int(&f - RecordFields.data())));
        QString row = cells.join(u',') + QStringLiteral("\r\n");
        if (m_r.csvCp949 && !TextCodec::fitsCp949(row)) {
            row = fittingCp949(row);
            m_report.warnings << QStringLiteral("%1: CP949에 없는 글자를 '?'로 바꿨습니다.")
                                     .arg(c.category.isEmpty() ? c.name
                                                               : c.category + u'/' + c.name);
        }
        m_csv += row;
    }

    void finish(FileSystem::Batch &batch)
    {
        if (m_r.format == Format::VCardFolder) {
            if (!m_report.cancelled && m_report.errors.isEmpty())
                removeStale();
            // What did not reach the disk did not go out.
            for (const QString &file : batch.Commit()) {
                m_report.errors
                    << QStringLiteral("파일을 쓸 수 없습니다: %1").arg(Paths::Native(file));
                if (m_files.contains(file)) {
                    m_state.remove(m_files.value(file));
                    --m_report.written;
                }
            }
            if (!writeState() || !batch.Commit().isEmpty())
                m_report.warnings << QStringLiteral("%1을(를) 쓰지 못해 다음 내보내기는 이 폴더의 "
                                                    "파일을 모두 바깥에서 바뀐 것으로 봅니다.")
                                         .arg(FolderStateFile);
            if (m_report.cancelled)
                m_report.warnings << QStringLiteral("그때까지 쓴 파일은 폴더에 남아 있습니다.");
            return;
        }
        // One file: all of it or nothing, and nothing counted that did not go out.
        if (m_report.cancelled || !m_report.errors.isEmpty()) {
            m_report.written = m_report.folders = 0;
            m_report.warnings << QStringLiteral("파일은 쓰지 않았습니다.");
            return;
        }
        const QByteArray bytes =
            m_r.format == Format::VCardFile
                ? m_cards.take()
                : (m_r.csvCp949 ? TextCodec::encode(m_csv, TextCodec::Encoding::Cp949)
                                : TextCodec::fileBytes(m_csv.toUtf8(), true));
        if (!FileSystem::writeAtomically(m_r.out, bytes) || !batch.Commit().isEmpty()) {
            m_report.errors << QStringLiteral("파일을 쓸 수 없습니다: %1").arg(m_report.target);
            m_report.written = m_report.folders = 0;
        }
    }

    // Cards of records that are gone: only files this program wrote and nobody changed since.
    void removeStale()
    {
        int removed = 0;
        const QDir dir(m_r.out);
        for (const QString &name : dir.entryList({QStringLiteral("*.vcf")}, QDir::Files)) {
            const QString key = Paths::AsciiLower(name);
            QByteArray bytes;
            if (m_written.contains(key) || !FileSystem::readAll(dir.filePath(name), bytes))
                continue;
            const auto known = m_state.constFind(key);
            const bool ours = known != m_state.cend() ? hashOf(bytes) == known->file
                                                      : !m_hadState && bytes.contains(OwnProdId);
            if (!ours) {
                if (known != m_state.cend())
                    m_report.skipped << QStringLiteral("%1: 자료는 없어졌지만 지난 내보내기 뒤에 "
                                                       "폴더에서 바뀌어 지우지 않았습니다.")
                                            .arg(Paths::Native(dir.filePath(name)));
                continue;
            }
            if (QFile::remove(dir.filePath(name))) {
                m_state.remove(key);
                ++removed;
            }
        }
        // Files that are gone go from the state too.
        for (auto it = m_state.begin(); it != m_state.end();)
            it = m_written.contains(it.key()) || QFileInfo::exists(dir.filePath(it.key()))
                     ? std::next(it)
                     : m_state.erase(it);
        if (removed > 0)
            m_report.warnings << QStringLiteral("지난 내보내기 뒤에 없어진 자료의 파일 %1개를 "
                                                "지웠습니다.")
                                     .arg(removed);
    }

    const Request &m_r;
    const ContactProgress &m_progress;
    ContactReport m_report;
    QString m_dataDir, m_placementBase;
    VCard::Writer m_cards;
    QString m_csv;
    QHash<QString, QString> m_uids; // UID -> the record that has it
    int m_uidsNotSaved = 0;
    QSet<QString> m_written;           // file names of this export, lower case
    QHash<QString, QString> m_files;   // file written -> its name, lower case
    QHash<QString, FileState> m_state; // by file name, lower case
    bool m_hadState = false;
};

} // namespace

QString PhotoFile(const QString &recordPath)
{
    const QString dir = FileSystem::resolve(RecordStore::CompanionFolder(recordPath));
    if (!QFileInfo(dir).isDir())
        return QString();
    QStringList images;
    DirectoryListing::forEach(dir, [&](const DirectoryListing::Entry &e) {
        if (e.isFile && e.rawName.isEmpty() && isImageName(e.name))
            images << e.name;
        return true;
    });
    if (images.isEmpty())
        return QString();
    const auto named = [](const QString &n) {
        return n.startsWith(QStringLiteral("사진"))
               || n.startsWith(QStringLiteral("photo"), Qt::CaseInsensitive);
    };
    std::sort(images.begin(), images.end(), [&](const QString &a, const QString &b) {
        return named(a) != named(b) ? named(a) : a < b;
    });
    return Paths::Join(dir, images.first());
}

QString RecordUid(const QString &relativePath)
{
    static const QUuid ns(QStringLiteral("{6f1c2b1e-9d3a-4c7e-8a55-3b7f0e4d2a10}"));
    return QStringLiteral("urn:uuid:")
           + QUuid::createUuidV5(ns, relativePath.toUtf8()).toString(QUuid::WithoutBraces);
}

QString CardFileName(const QString &uid)
{
    if (uid.startsWith(QStringLiteral("urn:uuid:"), Qt::CaseInsensitive)) {
        const QUuid id = QUuid::fromString(uid.mid(9));
        if (!id.isNull())
            return id.toString(QUuid::WithoutBraces) + QStringLiteral(".vcf");
    }
    const bool safe = !uid.isEmpty() && uid.size() <= 100 && !uid.startsWith(u'.')
                      && std::all_of(uid.begin(), uid.end(), [](QChar c) {
                             return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')
                                    || c == u'-' || c == u'_' || c == u'.' || c == u'@'
                                    || c == u'+';
                         });
    if (safe)
        return uid + QStringLiteral(".vcf");
    static const QUuid ns(QStringLiteral("{a8d1f0c4-3b6e-4e57-9c1d-52f7b0e3a961}"));
    return QUuid::createUuidV5(ns, uid.toUtf8()).toString(QUuid::WithoutBraces)
           + QStringLiteral(".vcf");
}

ContactReport Export(const Request &request, const ContactProgress &progress)
{
    return Exporter(request, progress).run();
}

} // namespace ContactExport
