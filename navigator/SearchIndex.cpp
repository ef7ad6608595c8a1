#include "SearchIndex.h"

#include "platform/FileSystem.h"
#include "platform/Job.h"
#include "platform/NameOrder.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"
#include "records/PhoneFun.h"
#include "records/Record.h"
#include "records/RecordStore.h"
#include "records/RecordWalk.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <thread>

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
    if (c < 0x3131 || c > 0x314E)
        return -1;
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

bool hasInitials(QStringView text)
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

} // namespace

struct TSearchIndex::Record
{
    quint32 folder = 0;                          // in Data::folders
    quint32 textOff = 0, choOff = 0, digOff = 0; // each runs to the next record's
    quint32 rank = 0;
    quint32 flags = 0;
    qint64 stamp = 0;
};

namespace {

enum RecordFlag : quint32 { Alive = 1, FolderRecord = 2, OddName = 4 };

// Folding changes only letters with case; most values hold none.
bool foldChanges(QStringView text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= u'A' && u <= u'Z') || (u >= 0x80 && u < 0x1100) || (u >= 0x1E00 && u < 0x3000)
            || u >= 0xFF00)
            return true;
    }
    return false;
}

// Appends text as UTF-8 with one resize, not one call per byte.
void appendUtf8(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size() * 3);
    char *o = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t u = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            u = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (u < 0x80) {
            *o++ = char(u);
        } else if (u < 0x800) {
            *o++ = char(0xC0 | (u >> 6));
            *o++ = char(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            *o++ = char(0xE0 | (u >> 12));
            *o++ = char(0x80 | ((u >> 6) & 0x3F));
            *o++ = char(0x80 | (u & 0x3F));
        } else {
            *o++ = char(0xF0 | (u >> 18));
            *o++ = char(0x80 | ((u >> 12) & 0x3F));
            *o++ = char(0x80 | ((u >> 6) & 0x3F));
            *o++ = char(0x80 | (u & 0x3F));
        }
    }
    out.truncate(o - out.constData());
}

} // namespace

struct TSearchIndex::Data
{
    QByteArray text;             // folded values
    QByteArray cho;              // initial-consonant keys of values that hold Korean
    QByteArray digits;           // digits of telephone values, with their area codes
    std::vector<Record> records; // in the order of the arenas
    QStringList folders;         // relative to the data directory; "" the directory itself
    QHash<QString, quint32> folderIds;
    QHash<quint32, QString> originals; // where folding changed a value: its start, its text
    QHash<int, QString> oddNames;      // file names other than the name and ".txt"
    std::vector<int> order;            // records by name in the user's language
    qsizetype deadBytes = 0;
    static constexpr quint32 RankGap = 1024;

    quint32 FolderId(const QString &folder);
    void Append(quint32 folder, const QString &fileName, const QByteArray &bytes, qint64 stamp);
    void Merge(Data &&other);
    int Find(quint32 folder, const QString &fileName) const;
    void Kill(int index);
    void Rank();
    void Renumber();
    void RankOne(int index);
    qsizetype End(int index, quint32 Record::*offset, const QByteArray &arena) const;
    int RecordAt(quint32 Record::*offset, qsizetype pos) const;
    QString ValueAt(qsizetype pos) const;
    QString NthValue(int index, int ordinal) const;
    QString Name(int index) const;
    QString FileName(int index) const;
    QString RelPath(int index) const;
    QString Composed(int index, int field) const;
};

quint32 TSearchIndex::Data::FolderId(const QString &folder)
{
    const auto at = folderIds.constFind(folder);
    if (at != folderIds.constEnd())
        return *at;
    folders << folder;
    folderIds.insert(folder, quint32(folders.size() - 1));
    return quint32(folders.size() - 1);
}

void TSearchIndex::Data::Append(quint32 folder, const QString &fileName, const QByteArray &bytes,
                                qint64 stamp)
{
    Record r;
    r.folder = folder;
    r.stamp = stamp;
    r.flags = Alive;
    QString name;
    if (fileName == FolderRecordName) {
        r.flags |= FolderRecord;
        name = Paths::FileName(folders.at(qsizetype(folder)));
    } else {
        name = fileName.left(fileName.size() - 4);
        if (fileName != name + QStringLiteral(".txt"))
            r.flags |= OddName;
    }
    r.textOff = quint32(text.size());
    r.choOff = quint32(cho.size());
    r.digOff = quint32(digits.size());
    const int index = int(records.size());
    if (r.flags & OddName)
        oddNames.insert(index, fileName);

    int ordinal = 0;
    QString folded;
    const auto add = [&](int field, QStringView value) {
        if (value.isEmpty())
            return;
        QStringView key = value;
        if (foldChanges(value)) {
            folded = value.toString().toCaseFolded();
            key = folded;
        }
        text += ValueMark;
        text += fieldByte(field);
        if (key.data() != value.data())
            originals.insert(quint32(text.size()), value.toString());
        appendUtf8(text, key);
        if (hasInitials(key)) {
            cho += ValueMark;
            cho += fieldByte(field);
            cho += char(0x80 + std::min(ordinal, MaxOrdinal));
            const qsizetype start = cho.size();
            cho.resize(start + key.size());
            char *o = cho.data() + start;
            for (QChar c : key)
                *o++ = initialKey(c);
        }
        ++ordinal;
    };
    add(NameField, name);

    // Fields are numbered from 1; 0 is the name.
    const ::Record record = ::Record::FromBytes(bytes);
    for (int i = 0; i < RecordFieldCount; ++i) {
        if (RecordFields[size_t(i)].multiLine) {
            for (const QString &line : record.Lines(i))
                add(i + 1, line);
        } else {
            add(i + 1, record.Value(i));
        }
    }
    // Telephone numbers with their area codes, for the digits.
    for (int i = 0; i < RecordFieldCount; ++i) {
        if (!RecordFields[size_t(i)].IsTelephone() || record.Value(i).isEmpty())
            continue;
        const int areaCode = AreaCodeIndex(i);
        const QByteArray d =
            DigitsOf((areaCode >= 0 ? record.Value(areaCode) : QString()) + record.Value(i));
        if (d.isEmpty())
            continue;
        digits += ValueMark;
        digits += fieldByte(i + 1);
        digits += d;
    }
    records.push_back(r);
}

void TSearchIndex::Data::Merge(Data &&other)
{
    const quint32 text0 = quint32(text.size());
    const quint32 cho0 = quint32(cho.size());
    const quint32 dig0 = quint32(digits.size());
    const int first = int(records.size());
    text += other.text;
    cho += other.cho;
    digits += other.digits;
    for (Record r : other.records) {
        r.textOff += text0;
        r.choOff += cho0;
        r.digOff += dig0;
        records.push_back(r);
    }
    for (auto it = other.originals.cbegin(); it != other.originals.cend(); ++it)
        originals.insert(it.key() + text0, it.value());
    for (auto it = other.oddNames.cbegin(); it != other.oddNames.cend(); ++it)
        oddNames.insert(it.key() + first, it.value());
}

int TSearchIndex::Data::Find(quint32 folder, const QString &fileName) const
{
    for (int i = int(records.size()) - 1; i >= 0; --i) {
        const Record &r = records[size_t(i)];
        if ((r.flags & Alive) && r.folder == folder && FileName(i) == fileName)
            return i;
    }
    return -1;
}

void TSearchIndex::Data::Kill(int index)
{
    Record &r = records[size_t(index)];
    if (!(r.flags & Alive))
        return;
    r.flags &= ~quint32(Alive);
    deadBytes += End(index, &Record::textOff, text) - r.textOff;
}

qsizetype TSearchIndex::Data::End(int index, quint32 Record::*offset, const QByteArray &arena) const
{
    return size_t(index) + 1 < records.size() ? qsizetype(records[size_t(index) + 1].*offset)
                                              : arena.size();
}

QString TSearchIndex::Data::Name(int index) const
{
    return ValueAt(records[size_t(index)].textOff + 2);
}

QString TSearchIndex::Data::FileName(int index) const
{
    const Record &r = records[size_t(index)];
    if (r.flags & FolderRecord)
        return FolderRecordName;
    if (r.flags & OddName)
        return oddNames.value(index);
    return Name(index) + QStringLiteral(".txt");
}

QString TSearchIndex::Data::RelPath(int index) const
{
    const QString &folder = folders.at(qsizetype(records[size_t(index)].folder));
    return folder.isEmpty() ? FileName(index) : Paths::Join(folder, FileName(index));
}

void TSearchIndex::Data::Rank()
{
    // The tree's order.
    const NameOrder nameOrder;
    std::vector<std::pair<NameOrder::Key, int>> keys;
    keys.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        keys.emplace_back(nameOrder.key(Name(int(i))), int(i));
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
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
    const NameOrder nameOrder;
    const QString name = Name(index);
    const auto at =
        std::upper_bound(order.begin(), order.end(), name, [&](const QString &n, int other) {
            return nameOrder.compare(n, Name(other)) < 0;
        });
    const quint32 low = at == order.begin() ? 0 : records[size_t(*(at - 1))].rank + 1;
    const quint32 high = at == order.end() ? low + RankGap : records[size_t(*at)].rank;
    order.insert(at, index);
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
    return TextCodec::decode(QByteArrayView(text.constData() + start, end - start),
                             TextCodec::Encoding::Utf8);
}

// The record's value of that place (0 the name), as read; empty when it has fewer.
QString TSearchIndex::Data::NthValue(int index, int ordinal) const
{
    const qsizetype end = End(index, &Record::textOff, text);
    qsizetype at = text.indexOf(ValueMark, records[size_t(index)].textOff);
    for (int k = 0; k < ordinal && at >= 0 && at < end; ++k)
        at = text.indexOf(ValueMark, at + 1);
    return at >= 0 && at < end ? ValueAt(at + 2) : QString();
}

QString TSearchIndex::Data::Composed(int index, int field) const
{
    // The number as dialled: "area code-number" where it has one.
    const int areaField = field > 0 ? AreaCodeIndex(field - 1) + 1 : 0;
    QString areaCode;
    QString number;
    const qsizetype end = End(index, &Record::textOff, text);
    for (qsizetype at = text.indexOf(ValueMark, records[size_t(index)].textOff);
         at >= 0 && at < end; at = text.indexOf(ValueMark, at + 1)) {
        const int f = uchar(text.at(at + 1)) - 0x80;
        if (f == field)
            number = ValueAt(at + 2);
        else if (areaField && f == areaField)
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
    // What the program changes, from any thread.
    connect(&RecordStore::Notifier::Instance(), &RecordStore::Notifier::changed, this,
            &TSearchIndex::OnStoreChanged);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &TSearchIndex::OnDirectoryChanged);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString &path) {
        Refresh(path);
        // A file replaced by a rename is no longer watched; the new one is.
        if (QFileInfo::exists(path) && !m_watcher->files().contains(path))
            m_watcher->addPath(path);
    });
}

TSearchIndex::~TSearchIndex()
{
    StopBuild();
}

void TSearchIndex::StopBuild()
{
    if (m_builder) {
        m_builder->cancel();
        m_builder->waitForWork();
    }
    m_builder = nullptr;
}

namespace {

// The record files of a folder the index holds: a folder's own record first (the data
// directory has none the tree shows), then its records.
QStringList indexedFiles(const RecordWalk::Folder &folder)
{
    QStringList files = folder.Records();
    if (!folder.rel.isEmpty() && folder.HasFolderRecord())
        files.prepend(FolderRecordName);
    return files;
}

} // namespace

void TSearchIndex::Open(const QString &dir)
{
    StopBuild();
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    m_dirty.clear();
    m_pendingRefresh.clear();
    m_root = dir;
    m_data = std::make_shared<Data>();
    m_ready = false;
    const quint64 generation = ++m_generation;
    m_walker = std::make_shared<RecordWalk::Walker>(dir);
    if (!RecordStore::IsDataDir(dir)) {
        m_ready = true;
        emit ready();
        return;
    }
    m_builder = Job::start(QStringLiteral("색인"), [this, dir, generation](Job &job) {
        auto data = std::make_shared<Data>();
        // Stopped (Esc, or another directory shown): the filter box finds nothing for now.
        const auto stopped = [this, generation] {
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    if (generation != m_generation)
                        return;
                    m_ready = true;
                    emit ready();
                },
                Qt::QueuedConnection);
        };
        // Kept for the folders that appear later, so that no link leads into a folder twice.
        auto walker = std::make_shared<RecordWalk::Walker>(
            dir, RecordWalk::Options{false, false, job.cancelFlag()});
        QStringList folders;
        std::vector<std::pair<qsizetype, QString>> files; // folder in folders, file name
        for (const RecordWalk::Folder &folder : walker->Walk()) {
            for (const QString &file : indexedFiles(folder))
                files.emplace_back(folders.size(), file);
            folders << folder.rel;
        }
        for (const QString &folder : std::as_const(folders))
            data->FolderId(folder);
        // Two halves at once; the first half's thread reports the progress.
        const size_t total = files.size();
        const auto build = [&](Data &into, size_t from, size_t to, bool report) {
            QByteArray bytes;
            for (size_t i = from; i < to && !job.isCancelled(); ++i) {
                const QString &folder = folders.at(files[i].first);
                const QString path =
                    Paths::Join(folder.isEmpty() ? dir : Paths::Join(dir, folder), files[i].second);
                qint64 stamp = 0;
                // A file that cannot be read is left out, without a word per file.
                if (FileSystem::readListed(path, bytes, &stamp))
                    into.Append(quint32(files[i].first), files[i].second, bytes, stamp);
                if (report && i % 2000 == 0)
                    job.report(qint64(i * 2), qint64(total));
            }
        };
        Data second;
        second.folders = data->folders;
        std::thread helper([&] { build(second, total / 2, total, false); });
        build(*data, 0, total / 2, true);
        helper.join();
        if (job.isCancelled()) {
            stopped();
            return;
        }
        data->Merge(std::move(second));
        data->Rank();
        data->text.squeeze();
        data->cho.squeeze();
        data->digits.squeeze();
        QMetaObject::invokeMethod(
            this,
            [this, data, walker, folders, generation] {
                if (generation != m_generation)
                    return;
                QStringList absolute;
                for (const QString &f : folders)
                    absolute << (f.isEmpty() ? m_root : Paths::Join(m_root, f));
                walker->SetCancelFlag(nullptr); // the job's flag goes with the job
                m_walker = walker;
                Finish(data, generation);
                Watch(absolute);
            },
            Qt::QueuedConnection);
    });
}

void TSearchIndex::OnStoreChanged(const QList<RecordStore::Change> &changes)
{
    // A changed record is read again; where entries came or went, their folder is.
    QStringList paths;
    const auto add = [&paths](const QString &path) {
        if (!path.isEmpty() && !paths.contains(path))
            paths << path;
    };
    const auto parentOf = [](const QString &path) {
        return Paths::WithoutTrailingSeparators(
            path.left(path.size() - Paths::FileName(path).size()));
    };
    for (const RecordStore::Change &c : changes) {
        if (c.folder) {
            add(c.kind == RecordStore::Change::Changed ? c.path : parentOf(c.path));
            if (!c.oldPath.isEmpty())
                add(parentOf(c.oldPath));
        } else {
            add(c.path);
            add(c.oldPath);
        }
    }
    if (!m_ready) {
        for (const QString &p : std::as_const(paths))
            if (!m_pendingRefresh.contains(p))
                m_pendingRefresh << p;
        return;
    }
    for (const QString &p : std::as_const(paths))
        Refresh(p);
    emit updated();
}

void TSearchIndex::Finish(std::shared_ptr<Data> data, quint64 generation)
{
    if (generation != m_generation)
        return;
    if (m_builder)
        m_builder->waitForWork();
    m_data = std::move(data);
    m_ready = true;
    // What the store changed while the walk was under way may have been missed by it.
    for (const QString &p : std::exchange(m_pendingRefresh, {}))
        Refresh(p);
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

void TSearchIndex::WatchFile(const QString &path)
{
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!path.isEmpty() && QFileInfo::exists(path))
        m_watcher->addPath(path);
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
    QList<int> added;
    QByteArray bytes;
    // Reads one record file again when it changed, or drops it when it is gone; true when that
    // changed a record the index held, which is then told.
    const auto refreshFile = [&](const QString &folder, const QString &fileName) {
        const quint32 id = data.FolderId(folder);
        const int old = data.Find(id, fileName);
        const QString full =
            Paths::Join(folder.isEmpty() ? m_root : Paths::Join(m_root, folder), fileName);
        qint64 stamp = 0;
        if (!FileSystem::readListed(full, bytes, &stamp)) {
            if (old < 0)
                return false;
            data.Kill(old);
        } else {
            if (old >= 0 && data.records[size_t(old)].stamp == stamp)
                return false;
            if (old >= 0)
                data.Kill(old);
            data.Append(id, fileName, bytes, stamp);
            added << int(data.records.size()) - 1;
        }
        if (old >= 0)
            emit fileChanged(full);
        return old >= 0;
    };
    if (!QFileInfo(path).isDir()) {
        const QString fileName = Paths::FileName(rel);
        // Told once, also when it is new or unchanged.
        if (!refreshFile(Paths::WithoutTrailingSeparators(rel.left(rel.size() - fileName.size())),
                         fileName))
            emit fileChanged(path);
    } else {
        // A folder: its own records as they are now, new folders below it read whole, and
        // what lay in folders that are gone dropped.
        RecordWalk::Folder listing = RecordWalk::List(path);
        listing.rel = rel;
        const QStringList files = indexedFiles(listing);
        for (const QString &file : std::as_const(files))
            refreshFile(rel, file);
        const quint32 id = data.FolderId(rel);
        for (int i = 0; i < int(data.records.size()); ++i) {
            const Record &r = data.records[size_t(i)];
            if ((r.flags & Alive) && r.folder == id && !files.contains(data.FileName(i))) {
                emit fileChanged(Paths::Join(path, data.FileName(i)));
                data.Kill(i);
            }
        }
        const QString below = rel.isEmpty() ? QString() : Paths::WithSeparator(rel);
        QList<quint32> gone;
        for (auto it = data.folderIds.cbegin(); it != data.folderIds.cend(); ++it)
            if (!it.key().isEmpty() && it.key().startsWith(below)
                && !QFileInfo(Paths::Join(m_root, it.key())).isDir())
                gone << it.value();
        for (quint32 folder : std::as_const(gone)) {
            // Forgotten, so that a folder of that name made later is read anew.
            data.folderIds.remove(data.folders.at(qsizetype(folder)));
            for (int i = 0; i < int(data.records.size()); ++i)
                if ((data.records[size_t(i)].flags & Alive)
                    && data.records[size_t(i)].folder == folder)
                    data.Kill(i);
        }
        QStringList newFolders;
        for (const QString &sub : listing.folders) {
            const QString subRel = rel.isEmpty() ? sub : Paths::Join(rel, sub);
            if (data.folderIds.contains(subRel))
                continue;
            for (const RecordWalk::Folder &folder : m_walker->Walk(subRel)) {
                newFolders << Paths::Join(m_root, folder.rel);
                for (const QString &file : indexedFiles(folder))
                    refreshFile(folder.rel, file);
            }
        }
        Watch(newFolders);
    }
    for (int index : std::as_const(added))
        data.RankOne(index);
    // Replaced records leave their old text behind; rebuilt when that is most of the index.
    if (data.deadBytes > data.text.size() / 2 + (1 << 20)) {
        auto fresh = std::make_shared<Data>();
        fresh->folders = data.folders;
        fresh->folderIds = data.folderIds;
        for (int i = 0; i < int(data.records.size()); ++i) {
            const Record &r = data.records[size_t(i)];
            const QString full = Paths::Join(m_root, data.RelPath(i));
            qint64 stamp = 0;
            if ((r.flags & Alive) && FileSystem::readListed(full, bytes, &stamp))
                fresh->Append(r.folder, data.FileName(i), bytes, stamp);
        }
        fresh->Rank();
        m_data = std::move(fresh);
    }
}

TSearchIndex::Results TSearchIndex::Find(const QString &typed) const
{
    Results results;
    results.m_query = Fold(typed.trimmed());
    results.m_data = m_data;
    if (results.m_query.isEmpty() || !m_data)
        return results;
    const Data &data = *m_data;
    const QString &query = results.m_query;
    const Kind kind = KindOf(query);
    results.m_kind = int(kind);

    const QByteArray *arena = &data.text;
    quint32 Record::*offset = &Record::textOff;
    QByteArray needle;
    bool verify = false;
    switch (kind) {
    case Kind::Text: needle = query.toUtf8(); break;
    case Kind::Digits:
        arena = &data.digits;
        offset = &Record::digOff;
        needle = DigitsOf(query);
        break;
    case Kind::Initials:
        arena = &data.cho;
        offset = &Record::choOff;
        for (QChar c : query) {
            needle += initialKey(c);
            // Only a consonant stands for a whole syllable; anything else must be itself.
            if (jamoInitial(c.unicode()) < 0)
                verify = true;
        }
        break;
    }

    std::vector<Results::Match> &found = results.m_matches;
    qsizetype from = 0;
    while (const char *at = find(*arena, from, needle)) {
        const qsizetype pos = at - arena->constData();
        const int index = data.RecordAt(offset, pos);
        const Record &r = data.records[size_t(index)];
        qsizetype next = data.End(index, offset, *arena);
        if (r.flags & Alive) {
            // The value holding the match: its field, and for initials its place in the record.
            qsizetype mark = pos;
            while (mark > 0 && arena->at(mark - 1) != ValueMark)
                --mark;
            const int field = uchar(arena->at(mark)) - 0x80;
            bool keep = true;
            if (verify) {
                // Only the value that matched is read back, not every value of the record.
                const int ordinal = uchar(arena->at(mark + 1)) - 0x80;
                keep = ordinal < MaxOrdinal
                       && MatchesSyllables(query, Fold(data.NthValue(index, ordinal)));
                if (!keep)
                    next = pos + 1; // another value of the record may match
            }
            if (keep)
                found.push_back(
                    {index, quint32(kind == Kind::Text ? pos : mark), field == NameField});
        }
        from = next;
    }
    std::stable_sort(
        found.begin(), found.end(), [&](const Results::Match &a, const Results::Match &b) {
            if (a.name != b.name)
                return a.name;
            return data.records[size_t(a.record)].rank < data.records[size_t(b.record)].rank;
        });
    return results;
}

TSearchIndex::Hit TSearchIndex::Results::at(int i) const
{
    const Data &data = *m_data;
    const Match &m = m_matches[size_t(i)];
    Hit hit;
    hit.relPath = data.RelPath(m.record);
    hit.displayName = data.Name(m.record);
    hit.folder = data.folders.at(qsizetype(data.records[size_t(m.record)].folder));
    hit.nameMatch = m.name;
    switch (Kind(m_kind)) {
    case Kind::Text: hit.value = data.ValueAt(m.pos); break;
    case Kind::Digits:
        hit.value = data.Composed(m.record, uchar(data.digits.at(m.pos)) - 0x80);
        break;
    case Kind::Initials:
        hit.value = data.NthValue(m.record, uchar(data.cho.at(m.pos + 1)) - 0x80);
        if (hit.value.isEmpty())
            hit.value = hit.displayName;
        break;
    }
    return hit;
}

QList<TSearchIndex::Hit> TSearchIndex::Query(const QString &text) const
{
    const Results results = Find(text);
    QList<Hit> hits;
    hits.reserve(results.size());
    for (int i = 0; i < results.size(); ++i)
        hits.append(results.at(i));
    return hits;
}

int TSearchIndex::RecordCount() const
{
    if (!m_data)
        return 0;
    int n = 0;
    for (const Record &r : m_data->records)
        n += (r.flags & Alive) ? 1 : 0;
    return n;
}
