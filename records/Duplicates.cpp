#include "Duplicates.h"

#include "ContactCard.h"
#include "PhoneFun.h"
#include "RecordFile.h"
#include "RecordStore.h"
#include "RecordWalk.h"
#include "platform/FileSystem.h"
#include "platform/IniDocument.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <thread>
#include <vector>

namespace Duplicates {

namespace {

// What one record offers the grouping.
struct Keys
{
    QString uid;
    quint64 name = 0;            // a hash of NameKey of the record's name; 0 for none
    QStringList strong;          // keys that join records alone: "T" + digits, "E" + mail
    std::vector<quint64> values; // a hash of every telling value, for records of one name
};

bool isBlank(QChar c)
{
    return c.isSpace() || c.unicode() < 32;
}

QString folded(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!isBlank(c))
            out += c;
    return out.toCaseFolded();
}

// FNV-1a over 16-bit units: the values of 100,000 records are compared without a string each.
constexpr quint64 HashStart = 14695981039346656037ull;
quint64 hashed(quint64 h, char16_t c)
{
    return (h ^ c) * 1099511628211ull;
}
quint64 hashed(quint64 h, QStringView text)
{
    for (QChar c : text)
        h = hashed(h, c.unicode());
    return h;
}
// Blanks and letter case aside, as folded gives it.
quint64 hashedFolded(quint64 h, QStringView text)
{
    for (QChar c : text)
        if (!isBlank(c))
            h = hashed(h, char16_t(c.toCaseFolded().unicode()));
    return h;
}

// Values that many different people share (a bank, a department, a rank, an area code, the
// account holder who is the person himself) say nothing about being the same person.
bool telling(const RecordField &field)
{
    using K = RecordField::Kind;
    if (field.kind == K::AreaCode || field.kind == K::BankName || field.kind == K::Holder
        || field.kind == K::Extension || field.kind == K::Memo)
        return false;
    return field.name != std::u16string_view(u"OPst") && field.name != std::u16string_view(u"OCls");
}

// A fax machine is shared by a whole office; its number joins records only with a name.
bool isFax(const RecordField &field)
{
    return field.name == std::u16string_view(u"OFax");
}

// A short ASCII name in one number, letter case aside; 0 for any other name.
quint64 packed(QStringView name)
{
    if (name.size() > 8)
        return 0;
    quint64 p = 0;
    for (const QChar q : name) {
        const char16_t c = q.unicode();
        if (c >= 128)
            return 0;
        p = p << 8 | (c >= u'A' && c <= u'Z' ? c + 32 : c);
    }
    return p;
}

// What each field is to the grouping, looked up once.
struct FieldUse
{
    enum Use { None, Text, Lines, Number, AreaCode, Mail };
    std::array<Use, RecordFieldCount> use{};
    std::array<quint64, RecordFieldCount> names{};
    quint64 data = packed(RecordDataSection), uid = packed(RecordUidSection),
            uidKey = packed(RecordUidKey), many = packed(RecordManyKey);
    // FieldIndex without a string compare per field: it runs for every value of every record.
    int Index(QStringView name) const
    {
        const quint64 p = packed(name);
        for (int i = 0; p && i < RecordFieldCount; ++i)
            if (names[size_t(i)] == p)
                return i;
        return -1;
    }
    FieldUse()
    {
        for (int i = 0; i < RecordFieldCount; ++i) {
            const RecordField &f = RecordFields[size_t(i)];
            names[size_t(i)] = packed(f.name);
            use[size_t(i)] = f.kind == RecordField::Kind::AreaCode ? AreaCode
                             : !telling(f)                         ? None
                             : f.multiLine                         ? Lines
                             : f.IsTelephone()                     ? Number
                             : f.kind == RecordField::Kind::EMail  ? Mail
                                                                   : Text;
        }
    }
};

// The record file's keys straight from its bytes: only numbers, area codes and mail addresses
// become strings, every other value goes into its hash as it is read.
Keys keysOf(const QString &name, const QByteArray &bytes)
{
    static const FieldUse fields;
    Keys k;
    const QString nameKey = NameKey(name);
    k.name = nameKey.isEmpty() ? 0 : hashed(HashStart, nameKey) | 1;
    std::array<QString, RecordFieldCount> kept; // numbers and area codes, for after the scan
    std::array<quint64, RecordFieldCount> lines{};
    IniDocument::scan(bytes, [&](QStringView section, QStringView key, QStringView value) {
        const quint64 sectionName = packed(section);
        if (sectionName == fields.data) {
            const int i = fields.Index(key);
            if (i < 0 || value.isEmpty())
                return;
            switch (fields.use[size_t(i)]) {
            case FieldUse::Text:
                if (const quint64 h = hashedFolded(hashed(HashStart, char16_t(i + 1)), value);
                    h != hashed(HashStart, char16_t(i + 1)))
                    k.values.push_back(h);
                break;
            case FieldUse::Number:
            case FieldUse::AreaCode: kept[size_t(i)] = value.toString(); break;
            case FieldUse::Mail: {
                const QString mail = u'E' + value.trimmed().toString().toCaseFolded();
                k.values.push_back(hashed(HashStart, mail));
                k.strong << mail;
                break;
            }
            default: break;
            }
            return;
        }
        if (sectionName == fields.uid) {
            if (packed(key) == fields.uidKey)
                k.uid = value.toString();
            return;
        }
        const int i = fields.Index(section);
        if (i >= 0 && fields.use[size_t(i)] == FieldUse::Lines && packed(key) != fields.many)
            lines[size_t(i)] = hashedFolded(lines[size_t(i)] ? lines[size_t(i)] : HashStart, value);
    });
    for (int i = 0; i < RecordFieldCount; ++i) {
        if (lines[size_t(i)] && lines[size_t(i)] != HashStart)
            k.values.push_back(hashed(lines[size_t(i)], char16_t(i + 1)));
        if (fields.use[size_t(i)] != FieldUse::Number || kept[size_t(i)].isEmpty())
            continue;
        const int code = AreaCodeIndex(i);
        const QString digits =
            NumberKey(code >= 0 ? kept[size_t(code)] : QString(), kept[size_t(i)]);
        if (digits.isEmpty())
            continue;
        const QString key = u'T' + digits;
        k.values.push_back(hashed(HashStart, key));
        if (!isFax(RecordFields[size_t(i)]))
            k.strong << key;
    }
    k.strong.removeDuplicates();
    std::sort(k.values.begin(), k.values.end());
    k.values.erase(std::unique(k.values.begin(), k.values.end()), k.values.end());
    return k;
}

QString reasonFor(const QString &key)
{
    const QString rest = key.mid(1);
    if (key.startsWith(u'E'))
        return QStringLiteral("같은 전자우편 ") + rest;
    const bool mobile = rest.startsWith(u"01") && (rest.size() == 10 || rest.size() == 11);
    return (mobile ? QStringLiteral("같은 핸드폰 ") : QStringLiteral("같은 전화 "))
           + NumberWithDashes(rest);
}

// Sets of identities marked as different people.
using Marks = QList<QSet<QString>>;

Marks readMarks(const QString &root)
{
    Marks marks;
    QByteArray bytes;
    if (!FileSystem::readAll(NotDuplicatesFile(root), bytes))
        return marks;
    for (const QByteArray &line : bytes.split('\n')) {
        QSet<QString> set;
        for (const QByteArray &uid : line.trimmed().split('\t'))
            if (!uid.trimmed().isEmpty())
                set.insert(QString::fromUtf8(uid.trimmed()));
        if (set.size() > 1)
            marks << set;
    }
    return marks;
}

class Components
{
public:
    explicit Components(int n)
        : m_parent(size_t(n))
    {
        for (int i = 0; i < n; ++i)
            m_parent[size_t(i)] = i;
    }
    int Find(int i)
    {
        while (m_parent[size_t(i)] != i)
            i = m_parent[size_t(i)] = m_parent[size_t(m_parent[size_t(i)])];
        return i;
    }
    void Join(int a, int b, const QString &reason)
    {
        m_edges.push_back({a, b, reason});
        a = Find(a);
        b = Find(b);
        if (a != b)
            m_parent[size_t(std::max(a, b))] = std::min(a, b);
    }
    struct Edge
    {
        int a, b;
        QString reason;
    };
    const std::vector<Edge> &Edges() const { return m_edges; }

private:
    std::vector<int> m_parent;
    std::vector<Edge> m_edges;
};

struct Found
{
    QStringList paths;
    std::vector<Keys> keys;
};

// The person records below root, read on as many threads as there are cores (up to four).
bool readAll(const QString &root, const std::atomic<bool> *cancel, const Progress &progress,
             Found &out)
{
    const QString base = Paths::WithoutTrailingSeparator(root);
    for (const RecordWalk::Folder &folder : RecordWalk::Walk(base, {false, false, cancel})) {
        const QString dir = folder.rel.isEmpty() ? base : Paths::Join(base, folder.rel);
        for (const QString &file : folder.Records())
            out.paths << Paths::Join(dir, file);
    }
    if (cancel && cancel->load())
        return false;
    const qsizetype total = out.paths.size();
    out.keys.resize(size_t(total));
    const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    const auto work = [&](int part) {
        QByteArray bytes;
        const qsizetype from = total * part / threads, to = total * (part + 1) / threads;
        for (qsizetype i = from; i < to; ++i) {
            if (cancel && cancel->load())
                return;
            const QString &path = out.paths.at(i);
            // One that cannot be read is left out without a word, as the index does.
            if (FileSystem::readListed(path, bytes))
                out.keys[size_t(i)] = keysOf(FileBaseName(path), bytes);
            if (part == 0 && progress && (i - from) % 2000 == 0)
                progress((i - from) * threads, total);
        }
    };
    std::vector<std::thread> helpers;
    for (int part = 1; part < threads; ++part)
        helpers.emplace_back(work, part);
    work(0);
    for (std::thread &t : helpers)
        t.join();
    return !(cancel && cancel->load());
}

QList<Group> group(const Found &found, const Marks &marks)
{
    const int n = int(found.keys.size());
    // Which marks each record belongs to; a pair within one mark is never joined.
    QHash<QString, QList<int>> markOf;
    for (int m = 0; m < marks.size(); ++m)
        for (const QString &uid : marks.at(m))
            markOf[uid] << m;
    std::vector<char> marked(size_t(n), 0);
    for (int i = 0; i < n; ++i)
        marked[size_t(i)] =
            !found.keys[size_t(i)].uid.isEmpty() && markOf.contains(found.keys[size_t(i)].uid);
    const auto apart = [&](int a, int b) {
        if (!marked[size_t(a)] || !marked[size_t(b)])
            return false;
        const QList<int> &ma = markOf[found.keys[size_t(a)].uid];
        for (int m : markOf[found.keys[size_t(b)].uid])
            if (ma.contains(m))
                return true;
        return false;
    };
    Components components(n);
    // Joins the records of one bucket: to its first, or pair by pair where marks are about.
    const auto joinAll = [&](const std::vector<int> &members, const QString &reason) {
        const bool anyMarked =
            std::any_of(members.begin(), members.end(), [&](int i) { return marked[size_t(i)]; });
        for (size_t j = 1; j < members.size(); ++j) {
            if (!anyMarked) {
                components.Join(members[0], members[j], reason);
                continue;
            }
            for (size_t i = 0; i < j; ++i)
                if (!apart(members[i], members[j]))
                    components.Join(members[i], members[j], reason);
        }
    };

    // Keys sorted with their records: each run of one key is a bucket.
    struct Keyed
    {
        quint64 hash;
        int record;
        int which; // the index in the record's strong keys
        bool operator<(const Keyed &o) const
        {
            return hash != o.hash ? hash < o.hash : record < o.record;
        }
    };
    std::vector<Keyed> strong, names;
    for (int i = 0; i < n; ++i) {
        const Keys &k = found.keys[size_t(i)];
        for (int w = 0; w < k.strong.size(); ++w)
            strong.push_back({hashed(HashStart, k.strong.at(w)), i, w});
        if (k.name)
            names.push_back({k.name, i, 0});
    }
    std::sort(strong.begin(), strong.end());
    std::sort(names.begin(), names.end());
    const auto runs = [](const std::vector<Keyed> &keyed, const auto &each) {
        for (size_t from = 0; from < keyed.size();) {
            size_t to = from + 1;
            while (to < keyed.size() && keyed[to].hash == keyed[from].hash)
                ++to;
            if (to - from > 1)
                each(from, to);
            from = to;
        }
    };
    std::vector<int> members;
    runs(strong, [&](size_t from, size_t to) {
        members.clear();
        for (size_t j = from; j < to; ++j)
            members.push_back(strong[j].record);
        const Keyed &first = strong[from];
        joinAll(members, reasonFor(found.keys[size_t(first.record)].strong.at(first.which)));
    });
    std::vector<Keyed> values;
    runs(names, [&](size_t from, size_t to) {
        // Namesakes that share a value.
        values.clear();
        for (size_t j = from; j < to; ++j)
            for (quint64 v : found.keys[size_t(names[j].record)].values)
                values.push_back({v, names[j].record, 0});
        std::sort(values.begin(), values.end());
        const QString reason =
            QStringLiteral("같은 이름 ") + FileBaseName(found.paths.at(names[from].record));
        runs(values, [&](size_t a, size_t b) {
            members.clear();
            for (size_t j = a; j < b; ++j)
                members.push_back(values[j].record);
            joinAll(members, reason);
        });
    });

    QHash<int, int> groupOf; // component root -> index in groups
    QList<Group> groups;
    std::vector<int> order;
    for (const Components::Edge &e : components.Edges()) {
        order.push_back(e.a);
        order.push_back(e.b);
    }
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    for (int i : order) {
        const int root = components.Find(i);
        auto at = groupOf.find(root);
        if (at == groupOf.end()) {
            at = groupOf.insert(root, int(groups.size()));
            groups.append(Group());
        }
        Group &g = groups[*at];
        g.paths << found.paths.at(i);
        g.uids << found.keys[size_t(i)].uid;
    }
    for (const Components::Edge &e : components.Edges()) {
        Group &g = groups[groupOf.value(components.Find(e.a))];
        if (!g.reasons.contains(e.reason))
            g.reasons << e.reason;
    }
    // In one order whatever order the hash maps gave.
    for (Group &g : groups)
        std::sort(g.reasons.begin(), g.reasons.end());
    return groups;
}

// A line rewritten as Rename rewrites references: a double quote, the old companion folder's
// name and a separator become the quote, the new name and the separator, and where a file of it
// was moved under another name, that name too.
QString rewritten(QString line, const QString &oldFolder, const QString &newFolder,
                  const QHash<QString, QString> &renamedFiles)
{
    if (oldFolder.isEmpty() || (oldFolder == newFolder && renamedFiles.isEmpty()))
        return line;
    qsizetype from = 0;
    for (;;) {
        qsizetype best = -1;
        for (QChar s : {QChar(u'\\'), QChar(u'/')}) {
            const qsizetype at = line.indexOf(u'"' + oldFolder + s, from);
            if (at >= 0 && (best < 0 || at < best))
                best = at + 1;
        }
        // A value that was a quoted reference as a whole lost its quotes to the reader.
        if (from == 0 && line.startsWith(oldFolder) && line.size() > oldFolder.size()
            && Paths::IsSeparator(line.at(oldFolder.size())))
            best = 0;
        if (best < 0)
            break;
        line.replace(best, oldFolder.size(), newFolder);
        qsizetype next = best + newFolder.size() + 1;
        for (auto it = renamedFiles.cbegin(); it != renamedFiles.cend(); ++it) {
            const QStringView after = QStringView(line).mid(next);
            if (after.startsWith(it.key())
                && (after.size() == it.key().size() || after[it.key().size()] == u'"'
                    || Paths::IsSeparator(after[it.key().size()]))) {
                line.replace(next, it.key().size(), it.value());
                next += it.value().size();
                break;
            }
        }
        from = next;
    }
    return line;
}

Record withReferences(Record record, const QString &oldFolder, const QString &newFolder,
                      const QHash<QString, QString> &renamedFiles)
{
    for (int i = 0; i < RecordFieldCount; ++i) {
        if (RecordFields[size_t(i)].multiLine) {
            QStringList lines = record.Lines(i);
            for (QString &line : lines)
                line = rewritten(line, oldFolder, newFolder, renamedFiles);
            record.SetLines(i, lines);
        } else {
            record.SetValue(i, rewritten(record.Value(i), oldFolder, newFolder, renamedFiles));
        }
    }
    return record;
}

QString folderOf(const QString &path)
{
    return Paths::WithoutTrailingSeparators(path.left(path.size() - Paths::FileName(path).size()));
}

bool samePlace(const QString &a, const QString &b)
{
    return QFileInfo(FileSystem::resolve(a)) == QFileInfo(FileSystem::resolve(b));
}

} // namespace

QString NumberKey(const QString &areaCode, const QString &number)
{
    const QString dialled = DialledNumber(areaCode.trimmed(), number.trimmed());
    QString digits;
    for (QChar c : dialled)
        if (c.isDigit())
            digits += c;
    return digits.size() >= 8 ? digits : QString();
}

QString NameKey(const QString &name)
{
    QString base = name;
    // "김철수_01": the free name an import or a new record got next to 김철수.
    if (base.size() > 3 && base.at(base.size() - 3) == u'_' && base.back().isDigit()
        && base.at(base.size() - 2).isDigit())
        base.chop(3);
    return folded(base);
}

QList<Group> Find(const QString &root, const std::atomic<bool> *cancel, const Progress &progress)
{
    Found found;
    if (!readAll(root, cancel, progress, found))
        return {};
    return group(found, readMarks(root));
}

QList<Group> FindFor(const QString &root, const QStringList &paths)
{
    QSet<QString> wanted;
    for (const QString &p : paths)
        wanted.insert(Paths::Native(p));
    QList<Group> out;
    for (const Group &g : Find(root))
        if (std::any_of(g.paths.begin(), g.paths.end(),
                        [&](const QString &p) { return wanted.contains(Paths::Native(p)); }))
            out << g;
    return out;
}

QString NotDuplicatesFile(const QString &root)
{
    return Paths::Join(Paths::WithoutTrailingSeparator(root),
                       QStringLiteral(".vandrel-not-duplicates"));
}

QString MarkNotDuplicates(const QString &root, const Group &group)
{
    QStringList uids;
    for (qsizetype i = 0; i < group.paths.size(); ++i) {
        QString uid = group.uids.value(i);
        if (uid.isEmpty()) {
            uid = Record::UidFromBytes([&] {
                QByteArray bytes;
                FileSystem::readAll(group.paths.at(i), bytes);
                return bytes;
            }());
        }
        // A file copied outside the program carries the original's identity; as different
        // people they need one each.
        if (uid.isEmpty() || uids.contains(uid)) {
            uid = Record::NewUid();
            try {
                RecordStore::SaveUid(group.paths.at(i), uid);
            } catch (...) {
                return QStringLiteral("%1에 식별자를 쓰지 못해 기억하지 못했습니다.")
                    .arg(Paths::FileName(group.paths.at(i)));
            }
        }
        uids << uid;
    }
    const QString file = NotDuplicatesFile(root);
    QByteArray bytes;
    FileSystem::readAll(file, bytes);
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    bytes += uids.join(u'\t').toUtf8() + '\n';
    if (!FileSystem::writeAtomically(file, bytes))
        return QStringLiteral("%1에 쓰지 못해 기억하지 못했습니다.").arg(file);
    return {};
}

Record MergedValues(const QList<Record> &records, const QList<int> &choice, int first)
{
    Record out;
    for (int i = 0; i < RecordFieldCount; ++i) {
        const int from = choice.value(i, 0);
        if (from >= 0) {
            if (from < records.size()) {
                out.SetValue(i, records.at(from).Value(i));
                out.SetLines(i, records.at(from).Lines(i));
            }
            continue;
        }
        if (!RecordFields[size_t(i)].multiLine) {
            for (const Record &r : records)
                if (out.Value(i).isEmpty())
                    out.SetValue(i, r.Value(i));
            continue;
        }
        QStringList lines;
        for (qsizetype n = 0; n < records.size(); ++n) {
            const Record &r = records.at((n + first) % records.size());
            const QStringList own = r.Lines(i);
            const QString text = own.join(u'\n');
            if (!text.trimmed().isEmpty() && !lines.join(u'\n').contains(text))
                lines << own;
        }
        out.SetLines(i, lines);
    }
    // A number belongs to the area code it came with: one chosen from a record whose code is
    // not the one kept would dial elsewhere, so it goes to the notes whole instead.
    const int memo = FieldIndex(u"Memo");
    for (int i = 0; i < RecordFieldCount; ++i) {
        const int code = AreaCodeIndex(i);
        const int from = choice.value(i, 0);
        if (code < 0 || from < 0 || from >= records.size() || out.Value(i).trimmed().isEmpty())
            continue;
        const QString own = records.at(from).Value(code).trimmed();
        if (own == out.Value(code).trimmed())
            continue;
        const QString line = FieldCaption(RecordFields[size_t(i)]) + QStringLiteral(": ")
                             + DialledNumber(own, out.Value(i).trimmed());
        out.SetValue(i, QString());
        if (!out.Lines(memo).contains(line))
            out.SetLines(memo, out.Lines(memo) + QStringList{line});
    }
    return out;
}

QString MergeRecords(const Merge &merge)
{
    if (merge.kept < 0 || merge.kept >= merge.paths.size() || merge.paths.size() < 2)
        return QStringLiteral("합칠 자료가 없습니다.");
    const QString name = TrimName(merge.name);
    if (name.isEmpty() || !IsValidName(name))
        return QStringLiteral("이름이 올바르지 않습니다: %1").arg(merge.name);
    QString keptPath = FileSystem::resolve(merge.paths.at(merge.kept));
    for (const QString &p : merge.paths)
        if (!QFileInfo(FileSystem::resolve(p)).isFile())
            return QStringLiteral("%1이(가) 없어 합치지 않았습니다.").arg(Paths::FileName(p));
    // The name may be one of the group's, whose record goes; anything else there stays.
    const QString target = Paths::Join(merge.folder, name + QStringLiteral(".txt"));
    if (FileSystem::exists(target)
        && !std::any_of(merge.paths.begin(), merge.paths.end(),
                        [&](const QString &p) { return samePlace(p, target); }))
        return QStringLiteral("%1에 같은 이름의 자료가 있어 합치지 않았습니다.").arg(name);

    const RecordStore::Operation operation(QStringLiteral("중복 합치기: %1").arg(name));
    const QString keptOldCompanion = Paths::FileName(RecordStore::CompanionFolder(keptPath));
    QList<std::pair<QString, QHash<QString, QString>>> moved; // companion folder, renamed files
    for (qsizetype i = 0; i < merge.paths.size(); ++i) {
        if (i == merge.kept)
            continue;
        const QString other = FileSystem::resolve(merge.paths.at(i));
        const QString companion = FileSystem::resolve(RecordStore::CompanionFolder(other));
        QHash<QString, QString> renamed;
        const RecordWalk::Folder entries = RecordWalk::List(companion, {true, true, nullptr});
        // What went over so far goes back when this record cannot go, so that it keeps its
        // files.
        QList<std::pair<QString, QString>> here; // its name there, its name here
        const auto putBack = [&] {
            for (const auto &[was, now] : std::as_const(here))
                RecordStore::MoveIntoCompanion(
                    Paths::Join(RecordStore::CompanionFolder(keptPath), now), other, was);
        };
        for (const QString &entry : entries.files + entries.folders) {
            const QString to =
                RecordStore::MoveIntoCompanion(Paths::Join(companion, entry), keptPath);
            if (to.isEmpty()) {
                putBack();
                return QStringLiteral("%1을(를) %2(으)로 옮기지 못해 합치기를 멈췄습니다.")
                    .arg(Paths::Join(Paths::FileName(companion), entry), keptOldCompanion);
            }
            here.append(std::pair(entry, to));
            if (to != entry)
                renamed.insert(entry, to);
        }
        moved.append(std::pair(Paths::FileName(companion), renamed));
        if (!RecordStore::DeletePath(other)) {
            putBack();
            return QStringLiteral("%1을(를) 휴지통으로 옮기지 못해 합치기를 멈췄습니다.")
                .arg(Paths::FileName(other));
        }
    }
    // The kept record under its new name and in its new folder; the references in it are
    // written anew below, so a rename's warning about them does not matter.
    QString warning;
    const QString oldName = FileBaseName(keptPath);
    if (oldName != name) {
        const QString why = RecordStore::Rename(Paths::WithSeparator(folderOf(keptPath)), oldName,
                                                name, true, &warning);
        if (!why.isEmpty())
            return why;
        keptPath = Paths::Join(folderOf(keptPath), name + QStringLiteral(".txt"));
    }
    if (!samePlace(folderOf(keptPath), merge.folder)) {
        if (!RecordStore::Move(keptPath, merge.folder))
            return QStringLiteral("%1을(를) 옮기지 못했습니다.").arg(Paths::FileName(keptPath));
        keptPath = Paths::Join(merge.folder, Paths::FileName(keptPath));
    }
    const QString keptCompanion = Paths::FileName(RecordStore::CompanionFolder(keptPath));
    Record values = withReferences(merge.values, keptOldCompanion, keptCompanion, {});
    for (const auto &[folder, renamed] : std::as_const(moved))
        values = withReferences(values, folder, keptCompanion, renamed);
    values.SetUid(Record::Read(keptPath).Uid());
    try {
        RecordStore::SaveRecord(keptPath, values);
    } catch (...) {
        return QStringLiteral("%1에 합친 값을 쓰지 못했습니다.").arg(Paths::FileName(keptPath));
    }
    return {};
}

} // namespace Duplicates
