#include "SearchIndex.h"

#include "platform/Paths.h"
#include "platform/Profile.h"
#include "records/PhoneFun.h"
#include "records/RecordFile.h"
#include "records/RecordStore.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cstring>

// ---- Matching rules -------------------------------------------------------------------------

namespace SearchRules {

namespace {

// Compatibility jamo (ㄱ = U+3131 …) of the 19 consonants a syllable can begin with, in the
// order of the syllable table.
constexpr char16_t InitialJamo[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141,
                                      0x3142, 0x3143, 0x3145, 0x3146, 0x3147, 0x3148, 0x3149,
                                      0x314A, 0x314B, 0x314C, 0x314D, 0x314E};

int jamoInitial(char16_t c)
{
    for (int i = 0; i < 19; ++i)
        if (InitialJamo[i] == c)
            return i;
    return -1;
}

bool isTelephoneSeparator(QChar c)
{
    return c == u' ' || c == u'-';
}

} // namespace

int InitialOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0xAC00 && u <= 0xD7A3)
        return (u - 0xAC00) / 588; // 21 vowels × 28 finals per initial
    return jamoInitial(u);
}

Kind KindOf(const QString &query)
{
    int digits = 0;
    bool onlyDigits = true;
    bool initials = false;
    for (QChar c : query) {
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (!isTelephoneSeparator(c))
            onlyDigits = false;
        if (jamoInitial(c.unicode()) >= 0)
            initials = true;
    }
    if (onlyDigits && digits >= 3)
        return Kind::Digits;
    return initials ? Kind::Initials : Kind::Text;
}

QString Fold(const QString &text)
{
    return text.toCaseFolded();
}

bool MatchesSyllables(const QString &query, const QString &text)
{
    const qsizetype n = query.size();
    for (qsizetype at = 0; at + n <= text.size(); ++at) {
        qsizetype i = 0;
        for (; i < n; ++i) {
            const QChar q = query.at(i);
            const QChar t = text.at(at + i);
            const int initial = jamoInitial(q.unicode());
            if (initial >= 0 ? InitialOf(t) != initial : q != t)
                break;
        }
        if (i == n)
            return true;
    }
    return false;
}

QByteArray DigitsOf(const QString &text)
{
    QByteArray out;
    for (QChar c : text)
        if (c >= u'0' && c <= u'9')
            out += char(c.unicode());
    return out;
}

} // namespace SearchRules

// ---- The index ------------------------------------------------------------------------------

namespace {

using namespace SearchRules;

// Each value in an arena: a separator, 0x80 + the field's number (0 the name, then the record
// fields in order), then its bytes. Queries never hold the separator, and a byte from 0x80 up
// can begin no UTF-8 character and no initial-consonant key, so no match crosses a value.
constexpr char ValueMark = '\x1F';
constexpr int NameField = 0;
constexpr int MaxOrdinal = 0x7F;

char fieldByte(int field)
{
    return char(0x80 + field);
}

// An initial-consonant key per character: 1 to 19 for a consonant or a syllable beginning with
// it, a folded ASCII character as itself, 0x7F for anything else.
char initialKey(QChar c)
{
    const int initial = InitialOf(c);
    if (initial >= 0)
        return char(initial + 1);
    const char16_t u = c.unicode();
    return (u >= 0x20 && u < 0x7F) ? char(u) : '\x7F';
}

bool hasInitials(const QString &text)
{
    for (QChar c : text)
        if (InitialOf(c) >= 0)
            return true;
    return false;
}

const char *find(const QByteArray &hay, qsizetype from, const QByteArray &needle)
{
    if (needle.isEmpty() || from >= hay.size())
        return nullptr;
#if defined(__GLIBC__)
    return static_cast<const char *>(memmem(hay.constData() + from, size_t(hay.size() - from),
                                            needle.constData(), size_t(needle.size())));
#else
    const char *end = hay.constEnd();
    const char *at = std::search(hay.constData() + from, end, needle.cbegin(), needle.cend());
    return at == end ? nullptr : at;
#endif
}

// Telephone fields with the area code they are dialled with.
struct Telephone
{
    const char16_t *field;
    const char16_t *areaCode;
};
constexpr Telephone Telephones[] = {{u"Hand", nullptr}, {u"OPh1", u"ODDD"}, {u"OPh2", u"ODDD"},
                                    {u"OFax", u"ODDD"}, {u"ODir", nullptr}, {u"HPh1", u"HDDD"},
                                    {u"HPh2", u"HDDD"}};

int fieldNumber(const QString &name)
{
    for (int i = 0; i < RecordFieldCount; ++i)
        if (RecordFields[size_t(i)].Name() == name)
            return i + 1;
    return -1;
}

QString fieldName(int field)
{
    return field >= 1 && field <= RecordFieldCount ? RecordFields[size_t(field - 1)].Name()
                                                   : QString();
}

qint64 stampOf(const QFileInfo &info)
{
    return info.lastModified().toMSecsSinceEpoch() * 1000003 + info.size();
}

} // namespace

struct TSearchIndex::Record
{
    QString relPath;
    QString name;
    quint32 textOff = 0, textLen = 0;
    quint32 choOff = 0, choLen = 0;
    quint32 digOff = 0, digLen = 0;
    quint32 rank = 0;
    qint64 stamp = 0;
    bool alive = true;
};

struct TSearchIndex::Data
{
    QByteArray text;                   // folded values
    QByteArray cho;                    // initial-consonant keys of values that hold Korean
    QByteArray digits;                 // digits of telephone values, with their area codes
    std::vector<Record> records;       // in the order of the arenas
    QHash<quint32, QString> originals; // where folding changed a value: its start, its text
    QHash<QString, int> byPath;
    std::vector<int> order; // records by name in the user's language
    qsizetype deadBytes = 0;
    static constexpr quint32 RankGap = 1024;

    void Append(const QString &relPath, const QString &file, qint64 stamp);
    void Drop(const QString &relPath);
    void Rank();
    void Renumber();
    void RankOne(int index);
    int RecordAt(quint32 Record::*offset, qsizetype pos) const;
    QString ValueAt(qsizetype pos) const;
    QStringList Values(const Record &r) const;
    QString Composed(const Record &r, int field) const;
};

void TSearchIndex::Data::Append(const QString &relPath, const QString &file, qint64 stamp)
{
    const profile::Snapshot snapshot(file);
    Record r;
    r.relPath = relPath;
    r.name = RecordDisplayName(relPath);
    r.stamp = stamp;
    r.textOff = quint32(text.size());
    r.choOff = quint32(cho.size());
    r.digOff = quint32(digits.size());
    int ordinal = 0;
    QHash<QString, QString> single; // for the area codes
    auto add = [&](int field, const QString &value) {
        if (value.isEmpty())
            return;
        const QString folded = Fold(value);
        text += ValueMark;
        text += fieldByte(field);
        if (folded != value)
            originals.insert(quint32(text.size()), value);
        text += folded.toUtf8();
        if (hasInitials(folded)) {
            cho += ValueMark;
            cho += fieldByte(field);
            cho += char(0x80 + std::min(ordinal, MaxOrdinal));
            for (QChar c : folded)
                cho += initialKey(c);
        }
        ++ordinal;
    };
    add(NameField, r.name);
    for (int i = 0; i < RecordFieldCount; ++i) {
        const RecordField &f = RecordFields[size_t(i)];
        if (f.multiLine) {
            for (const QString &line : ReadRecordLines(snapshot, f.Name()))
                add(i + 1, line);
        } else {
            const QString value = ReadRecordValue(snapshot, f.Name());
            single.insert(f.Name(), value);
            add(i + 1, value);
        }
    }
    for (const Telephone &t : Telephones) {
        const QString number = single.value(QString::fromUtf16(t.field));
        if (number.isEmpty())
            continue;
        const QByteArray d = DigitsOf(
            (t.areaCode ? single.value(QString::fromUtf16(t.areaCode)) : QString()) + number);
        if (d.isEmpty())
            continue;
        digits += ValueMark;
        digits += fieldByte(fieldNumber(QString::fromUtf16(t.field)));
        digits += d;
    }
    r.textLen = quint32(text.size()) - r.textOff;
    r.choLen = quint32(cho.size()) - r.choOff;
    r.digLen = quint32(digits.size()) - r.digOff;
    const auto old = byPath.constFind(relPath);
    if (old != byPath.constEnd()) {
        Record &gone = records[size_t(*old)];
        gone.alive = false;
        deadBytes += gone.textLen + gone.choLen + gone.digLen;
    }
    byPath.insert(relPath, int(records.size()));
    records.push_back(std::move(r));
}

void TSearchIndex::Data::Drop(const QString &relPath)
{
    const auto at = byPath.constFind(relPath);
    if (at == byPath.constEnd())
        return;
    Record &gone = records[size_t(*at)];
    gone.alive = false;
    deadBytes += gone.textLen + gone.choLen + gone.digLen;
    byPath.erase(at);
}

void TSearchIndex::Data::Rank()
{
    // One sort key per name is far cheaper than collating every comparison.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, int>> keys;
    keys.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        keys.emplace_back(collator.sortKey(records[i].name), int(i));
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first.compare(b.first) < 0; });
    order.clear();
    order.reserve(keys.size());
    for (const auto &k : keys)
        order.push_back(k.second);
    Renumber();
}

void TSearchIndex::Data::Renumber()
{
    // Gaps leave room for records added later.
    for (size_t i = 0; i < order.size(); ++i)
        records[size_t(order[i])].rank = quint32(i * RankGap);
}

void TSearchIndex::Data::RankOne(int index)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const QString &name = records[size_t(index)].name;
    const auto at =
        std::upper_bound(order.begin(), order.end(), name, [&](const QString &n, int other) {
            return collator.compare(n, records[size_t(other)].name) < 0;
        });
    const quint32 low = at == order.begin() ? 0 : records[size_t(*(at - 1))].rank + 1;
    const quint32 high = at == order.end() ? low + RankGap : records[size_t(*at)].rank;
    const auto inserted = order.insert(at, index);
    Q_UNUSED(inserted);
    if (low < high)
        records[size_t(index)].rank = low + (high - low) / 2;
    else
        Renumber();
}

int TSearchIndex::Data::RecordAt(quint32 Record::*offset, qsizetype pos) const
{
    // The last record that begins at or before pos; records lie in arena order.
    const auto it = std::upper_bound(
        records.begin(), records.end(), pos,
        [offset](qsizetype p, const Record &r) { return p < qsizetype(r.*offset); });
    return int(it - records.begin()) - 1;
}

QString TSearchIndex::Data::ValueAt(qsizetype pos) const
{
    // pos lies inside a value of the text arena: from the byte after its field number to the
    // next separator.
    qsizetype start = pos;
    while (start > 0 && text.at(start - 1) != ValueMark)
        --start;
    ++start; // past the field number
    qsizetype end = text.indexOf(ValueMark, start);
    if (end < 0)
        end = text.size();
    const auto original = originals.constFind(quint32(start));
    if (original != originals.constEnd())
        return *original;
    return QString::fromUtf8(text.constData() + start, end - start);
}

QStringList TSearchIndex::Data::Values(const Record &r) const
{
    QStringList values;
    const qsizetype end = r.textOff + r.textLen;
    for (qsizetype at = text.indexOf(ValueMark, r.textOff); at >= 0 && at < end;
         at = text.indexOf(ValueMark, at + 1))
        values << Fold(ValueAt(at + 2));
    return values;
}

QString TSearchIndex::Data::Composed(const Record &r, int field) const
{
    // The number as dialled: "area code-number" where it has one.
    QString areaCode;
    QString number;
    const qsizetype end = r.textOff + r.textLen;
    const QString name = fieldName(field);
    const Telephone *telephone = nullptr;
    for (const Telephone &t : Telephones)
        if (name == QStringView(t.field))
            telephone = &t;
    for (qsizetype at = text.indexOf(ValueMark, r.textOff); at >= 0 && at < end;
         at = text.indexOf(ValueMark, at + 1)) {
        const int f = uchar(text.at(at + 1)) - 0x80;
        if (f == field)
            number = ValueAt(at + 2);
        else if (telephone && telephone->areaCode
                 && fieldName(f) == QStringView(telephone->areaCode))
            areaCode = ValueAt(at + 2);
    }
    return areaCode.isEmpty() ? number : areaCode + u'-' + number;
}

TSearchIndex::TSearchIndex(QObject *parent)
    : QObject(parent)
    , m_watcher(new QFileSystemWatcher(this))
    , m_settle(new QTimer(this))
{
    // Changes come in bursts (a sync tool writes many files); one pass after they settle.
    m_settle->setSingleShot(true);
    m_settle->setInterval(150);
    connect(m_settle, &QTimer::timeout, this, &TSearchIndex::SyncFolders);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &TSearchIndex::OnDirectoryChanged);
}

TSearchIndex::~TSearchIndex()
{
    StopBuild();
}

void TSearchIndex::StopBuild()
{
    if (m_builder.joinable()) {
        m_cancel = true;
        m_builder.join();
    }
    m_cancel = false;
}

namespace {

// Every folder below dir (dir itself first) that the tree can show, relative to root.
void collectFolders(const QString &root, const QString &rel, QStringList &out,
                    const std::atomic<bool> &cancel)
{
    if (cancel)
        return;
    out << rel;
    const QString dir = rel.isEmpty() ? root : Paths::Join(root, rel);
    for (const QString &folder : RecordStore::ListFolder(dir).folders)
        collectFolders(root, rel.isEmpty() ? folder : Paths::Join(rel, folder), out, cancel);
}

// The record files of one folder, relative to root, its folder record first.
QStringList recordsOf(const QString &root, const QString &rel)
{
    const QString dir = rel.isEmpty() ? root : Paths::Join(root, rel);
    QStringList files;
    if (QFileInfo::exists(Paths::Join(dir, FolderRecordName)) && !rel.isEmpty())
        files << Paths::Join(rel, FolderRecordName);
    for (const QString &name : RecordStore::ListFolder(dir).records)
        files << (rel.isEmpty() ? name : Paths::Join(rel, name));
    return files;
}

} // namespace

void TSearchIndex::Open(const QString &dir)
{
    StopBuild();
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    m_dirty.clear();
    m_root = dir;
    m_data = std::make_shared<Data>();
    m_ready = false;
    const quint64 generation = ++m_generation;
    if (!RecordStore::IsDataDir(dir)) {
        m_ready = true;
        emit ready();
        return;
    }
    m_builder = std::thread([this, dir, generation] {
        auto data = std::make_shared<Data>();
        QStringList folders;
        collectFolders(dir, QString(), folders, m_cancel);
        QStringList files;
        for (const QString &folder : std::as_const(folders))
            files << recordsOf(dir, folder);
        const int total = int(files.size());
        for (int i = 0; i < total && !m_cancel; ++i) {
            const QString path = Paths::Join(dir, files.at(i));
            data->Append(files.at(i), path, stampOf(QFileInfo(path)));
            if (i % 2000 == 0)
                QMetaObject::invokeMethod(
                    this, [this, i, total] { emit progress(i, total); }, Qt::QueuedConnection);
        }
        if (m_cancel)
            return;
        data->Rank();
        QMetaObject::invokeMethod(
            this,
            [this, data, folders, generation] {
                if (generation != m_generation)
                    return;
                QStringList absolute;
                for (const QString &f : folders)
                    absolute << (f.isEmpty() ? m_root : Paths::Join(m_root, f));
                Finish(data, generation);
                Watch(absolute);
            },
            Qt::QueuedConnection);
    });
}

void TSearchIndex::Finish(std::shared_ptr<Data> data, quint64 generation)
{
    if (generation != m_generation)
        return;
    if (m_builder.joinable())
        m_builder.join();
    m_data = std::move(data);
    m_ready = true;
    emit progress(int(m_data->records.size()), int(m_data->records.size()));
    emit ready();
}

void TSearchIndex::WaitUntilReady()
{
    while (!m_ready) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!m_ready)
            std::this_thread::yield();
    }
}

void TSearchIndex::Watch(const QStringList &folders)
{
    if (!folders.isEmpty())
        m_watcher->addPaths(folders);
}

void TSearchIndex::OnDirectoryChanged(const QString &dir)
{
    if (!m_dirty.contains(dir))
        m_dirty << dir;
    m_settle->start();
}

void TSearchIndex::SyncFolders()
{
    const QStringList dirty = std::exchange(m_dirty, {});
    for (const QString &dir : dirty) {
        Refresh(dir);
        emit folderChanged(dir);
    }
}

void TSearchIndex::Refresh(const QString &path)
{
    if (!m_data || m_root.isEmpty() || !m_ready)
        return;
    const QString prefix = Paths::WithSeparator(m_root);
    if (path != m_root && !path.startsWith(prefix))
        return;
    const QString rel = path == m_root ? QString() : path.mid(prefix.size());
    Data &data = *m_data;
    const QFileInfo info(path);
    QList<int> changed;
    if (!info.isDir()) {
        // One record file: read again, or dropped when gone.
        if (info.isFile()) {
            const qint64 stamp = stampOf(info);
            const auto at = data.byPath.constFind(rel);
            if (at == data.byPath.constEnd() || data.records[size_t(*at)].stamp != stamp) {
                data.Append(rel, path, stamp);
                changed << int(data.records.size()) - 1;
            }
        } else {
            data.Drop(rel);
        }
        emit fileChanged(path);
    } else {
        // A folder: every record below it as it is now.
        QStringList folders;
        const std::atomic<bool> never{false};
        collectFolders(m_root, rel, folders, never);
        QSet<QString> present;
        QStringList newFolders;
        for (const QString &folder : std::as_const(folders)) {
            const QString absolute = folder.isEmpty() ? m_root : Paths::Join(m_root, folder);
            if (!m_watcher->directories().contains(absolute))
                newFolders << absolute;
            for (const QString &file : recordsOf(m_root, folder)) {
                present.insert(file);
                const QString full = Paths::Join(m_root, file);
                const qint64 stamp = stampOf(QFileInfo(full));
                const auto at = data.byPath.constFind(file);
                if (at != data.byPath.constEnd() && data.records[size_t(*at)].stamp == stamp)
                    continue;
                data.Append(file, full, stamp);
                changed << int(data.records.size()) - 1;
                if (at != data.byPath.constEnd())
                    emit fileChanged(full);
            }
        }
        // Records below the folder that are no longer there.
        const QString below = rel.isEmpty() ? QString() : Paths::WithSeparator(rel);
        QStringList gone;
        for (auto it = data.byPath.constBegin(); it != data.byPath.constEnd(); ++it)
            if (it.key().startsWith(below) && !present.contains(it.key()))
                gone << it.key();
        for (const QString &file : std::as_const(gone)) {
            data.Drop(file);
            emit fileChanged(Paths::Join(m_root, file));
        }
        Watch(newFolders);
    }
    for (int index : std::as_const(changed))
        data.RankOne(index);
    // Replaced records leave their old text behind; rebuilt when it is most of the index.
    if (data.deadBytes > data.text.size() / 2 + (1 << 20)) {
        auto fresh = std::make_shared<Data>();
        for (const Record &r : data.records)
            if (r.alive)
                fresh->Append(r.relPath, Paths::Join(m_root, r.relPath), r.stamp);
        fresh->Rank();
        m_data = std::move(fresh);
    }
}

QList<TSearchIndex::Hit> TSearchIndex::Query(const QString &typed) const
{
    QList<Hit> hits;
    const QString query = Fold(typed.trimmed());
    if (query.isEmpty() || !m_data)
        return hits;
    const Data &data = *m_data;
    const Kind kind = KindOf(query);

    const QByteArray *arena = &data.text;
    quint32 Record::*offset = &Record::textOff;
    quint32 Record::*length = &Record::textLen;
    QByteArray needle;
    bool verify = false;
    switch (kind) {
    case Kind::Text: needle = query.toUtf8(); break;
    case Kind::Digits:
        arena = &data.digits;
        offset = &Record::digOff;
        length = &Record::digLen;
        needle = DigitsOf(query);
        break;
    case Kind::Initials:
        arena = &data.cho;
        offset = &Record::choOff;
        length = &Record::choLen;
        for (QChar c : query) {
            needle += initialKey(c);
            // Only a consonant stands for a whole syllable; anything else must be itself.
            if (!(c.unicode() >= 0x3131 && c.unicode() <= 0x314E && InitialOf(c) >= 0))
                verify = true;
        }
        break;
    }

    struct Found
    {
        int record;
        qsizetype pos;
        bool name;
    };
    std::vector<Found> found;
    qsizetype from = 0;
    while (const char *at = find(*arena, from, needle)) {
        const qsizetype pos = at - arena->constData();
        const int index = data.RecordAt(offset, pos);
        const Record &r = data.records[size_t(index)];
        qsizetype next = qsizetype(r.*offset) + qsizetype(r.*length);
        if (r.alive) {
            // The value holding the match: its field, and for initials its place in the record.
            qsizetype mark = pos;
            while (mark > 0 && arena->at(mark - 1) != ValueMark)
                --mark;
            const int field = uchar(arena->at(mark)) - 0x80;
            bool keep = true;
            if (verify) {
                const int ordinal = uchar(arena->at(mark + 1)) - 0x80;
                const QStringList values = data.Values(r);
                keep = ordinal < values.size() && ordinal < MaxOrdinal
                           ? MatchesSyllables(query, values.at(ordinal))
                           : false;
                if (!keep)
                    next = pos + 1; // another value of the record may match
            }
            if (keep)
                found.push_back({index, kind == Kind::Text ? pos : mark, field == NameField});
        }
        from = next;
    }
    std::stable_sort(found.begin(), found.end(), [&](const Found &a, const Found &b) {
        if (a.name != b.name)
            return a.name;
        return data.records[size_t(a.record)].rank < data.records[size_t(b.record)].rank;
    });
    hits.reserve(qsizetype(found.size()));
    for (const Found &f : found) {
        const Record &r = data.records[size_t(f.record)];
        Hit hit;
        hit.relPath = r.relPath;
        hit.displayName = r.name;
        const QString name = Paths::FileName(r.relPath);
        hit.folder = r.relPath.left(r.relPath.size() - name.size());
        hit.folder = Paths::WithoutTrailingSeparators(hit.folder);
        hit.nameMatch = f.name;
        if (kind == Kind::Text) {
            hit.value = data.ValueAt(f.pos);
        } else {
            const int field = uchar(arena->at(f.pos)) - 0x80;
            if (kind == Kind::Digits)
                hit.value = data.Composed(r, field);
            else {
                const int ordinal = uchar(arena->at(f.pos + 1)) - 0x80;
                qsizetype at = data.text.indexOf(ValueMark, r.textOff);
                for (int i = 0; i < ordinal && at >= 0; ++i)
                    at = data.text.indexOf(ValueMark, at + 1);
                hit.value = at >= 0 ? data.ValueAt(at + 2) : r.name;
            }
        }
        hits.append(hit);
    }
    return hits;
}

int TSearchIndex::RecordCount() const
{
    return m_data ? int(m_data->byPath.size()) : 0;
}

qsizetype TSearchIndex::MemoryBytes() const
{
    if (!m_data)
        return 0;
    const Data &d = *m_data;
    qsizetype bytes = d.text.capacity() + d.cho.capacity() + d.digits.capacity()
                      + qsizetype(d.records.capacity() * sizeof(Record));
    for (const Record &r : d.records)
        bytes += (r.relPath.capacity() + r.name.capacity()) * 2;
    for (const QString &o : d.originals)
        bytes += o.capacity() * 2 + 16;
    return bytes + d.byPath.size() * 32;
}
