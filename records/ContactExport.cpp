#include "ContactExport.h"

#include "PhoneFun.h"
#include "RecordStore.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

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

QString csvCell(const QString &text)
{
    if (!text.contains(u'"') && !text.contains(u',') && !text.contains(u'\n')
        && !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
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
        const QString dataDir = Paths::WithoutTrailingSeparator(m_r.dataDir);
        const QString folder = Paths::WithoutTrailingSeparator(m_r.folder);
        if (!QFileInfo(folder).isDir()) {
            m_report.errors << QStringLiteral("폴더가 없습니다: %1").arg(Paths::Native(folder));
            return m_report;
        }
        QStringList unreadable;
        const QStringList files =
            RecordStore::CollectRecords(folder, folder != dataDir, &unreadable);
        for (const QString &u : unreadable)
            m_report.skipped << QStringLiteral("%1: 이름이 UTF-8이 아니어서 읽을 수 없습니다.")
                                    .arg(Paths::Native(u));
        // An exported folder comes back as a folder of that name.
        const QString placementBase = folder == dataDir ? dataDir : folderOf(folder);
        if (m_r.format == Format::VCardFolder && !QDir().mkpath(m_r.out)) {
            m_report.errors << QStringLiteral("폴더를 만들 수 없습니다: %1").arg(m_report.target);
            return m_report;
        }
        if (m_r.format == Format::Csv)
            csvHeader();
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (m_progress && !m_progress(i, files.size())) {
                m_report.cancelled = true;
                if (m_r.format == Format::VCardFolder)
                    m_report.warnings << QStringLiteral("그때까지 쓴 파일은 폴더에 남아 있습니다.");
                else
                    m_report.warnings << QStringLiteral("파일은 쓰지 않았습니다.");
                return m_report;
            }
            const QString &path = files.at(i);
            Contact c = Contact::Read(path);
            c.isFolder = Paths::FileName(path) == FolderRecordName;
            c.name = RecordDisplayName(path);
            c.category = relative(dataDir, folderOf(path));
            c.folder = relative(placementBase, folderOf(path));
            c.uid = RecordUid(relative(dataDir, path));
            add(c);
            if (!m_report.errors.isEmpty())
                return m_report;
        }
        finish();
        if (m_progress && m_report.errors.isEmpty())
            m_progress(files.size(), files.size());
        return m_report;
    }

private:
    void add(const Contact &c)
    {
        switch (m_r.format) {
        case Format::VCardFile: WriteCard(m_cards, c); break;
        case Format::VCardFolder: {
            VCard::Writer one;
            WriteCard(one, c);
            const QString name = QUuid::fromString(c.uid.mid(9)).toString(QUuid::WithoutBraces)
                                 + QStringLiteral(".vcf");
            const QString file = Paths::Join(m_r.out, name);
            m_written.insert(name);
            QByteArray old;
            // Unchanged cards keep their file, so a sync tool sees no change.
            if (!(FileSystem::readAll(file, old) && old == one.bytes())
                && !FileSystem::writeAtomically(file, one.bytes())) {
                m_report.errors
                    << QStringLiteral("파일을 쓸 수 없습니다: %1").arg(Paths::Native(file));
                return;
            }
            break;
        }
        case Format::Csv: csvRow(c); break;
        }
        ++m_report.written;
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

    void finish()
    {
        QByteArray bytes;
        switch (m_r.format) {
        case Format::VCardFile: bytes = m_cards.take(); break;
        case Format::Csv:
            bytes = m_r.csvCp949 ? TextCodec::encode(m_csv, TextCodec::Encoding::Cp949)
                                 : TextCodec::fileBytes(m_csv.toUtf8(), true);
            break;
        case Format::VCardFolder: removeStale(); return;
        }
        if (!FileSystem::writeAtomically(m_r.out, bytes))
            m_report.errors << QStringLiteral("파일을 쓸 수 없습니다: %1").arg(m_report.target);
    }

    // Cards of records that are gone; only files this program wrote.
    void removeStale()
    {
        int removed = 0;
        const QDir dir(m_r.out);
        for (const QString &name : dir.entryList({QStringLiteral("*.vcf")}, QDir::Files)) {
            QByteArray bytes;
            if (m_written.contains(name) || !FileSystem::readAll(dir.filePath(name), bytes)
                || !bytes.contains(OwnProdId))
                continue;
            if (QFile::remove(dir.filePath(name)))
                ++removed;
        }
        if (removed > 0)
            m_report.warnings << QStringLiteral("지난 내보내기 뒤에 없어진 자료의 파일 %1개를 "
                                                "지웠습니다.")
                                     .arg(removed);
    }

    const Request &m_r;
    const ContactProgress &m_progress;
    ContactReport m_report;
    VCard::Writer m_cards;
    QString m_csv;
    QSet<QString> m_written;
};

} // namespace

QString RecordUid(const QString &relativePath)
{
    static const QUuid ns(QStringLiteral("{6f1c2b1e-9d3a-4c7e-8a55-3b7f0e4d2a10}"));
    return QStringLiteral("urn:uuid:")
           + QUuid::createUuidV5(ns, relativePath.toUtf8()).toString(QUuid::WithoutBraces);
}

ContactReport Export(const Request &request, const ContactProgress &progress)
{
    return Exporter(request, progress).run();
}

} // namespace ContactExport
