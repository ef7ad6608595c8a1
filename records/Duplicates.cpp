#include "Duplicates.h"

#include "ContactCard.h"
#include "PhoneFun.h"
#include "RecordStore.h"
#include "RecordWalk.h"
#include "platform/FileSystem.h"
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
    QString name;       // NameKey of the record's name
    QStringList strong; // keys that join records alone: "T" + digits, "E" + mail address
    QStringList values; // every value, for records of the same name
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

Keys keysOf(const QString &name, const QByteArray &bytes)
{
    Keys k;
    const Record record = Record::FromBytes(bytes);
    k.uid = record.Uid();
    k.name = NameKey(name);
    for (int i = 0; i < RecordFieldCount; ++i) {
        const RecordField &field = RecordFields[size_t(i)];
        if (!telling(field))
            continue;
        if (field.multiLine) {
            const QString text = folded(record.Lines(i).join(QString()));
            if (!text.isEmpty())
                k.values << QString::number(i) + u':' + text;
            continue;
        }
        const QString &value = record.Value(i);
        if (value.isEmpty())
            continue;
        if (field.IsTelephone()) {
            const int code = AreaCodeIndex(i);
            const QString digits = NumberKey(code >= 0 ? record.Value(code) : QString(), value);
            if (digits.isEmpty())
                continue;
            k.values << u'T' + digits;
            if (!isFax(field))
                k.strong << k.values.back();
        } else if (field.kind == RecordField::Kind::EMail) {
            const QString mail = value.trimmed().toCaseFolded();
            k.values << u'E' + mail;
            k.strong << k.values.back();
        } else {
            const QString text = folded(value);
            if (!text.isEmpty())
                k.values << QString::number(i) + u':' + text;
        }
    }
    k.strong.removeDuplicates();
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

    QHash<QString, std::vector<int>> strong;
    QHash<QString, std::vector<int>> names;
    for (int i = 0; i < n; ++i) {
        const Keys &k = found.keys[size_t(i)];
        for (const QString &key : k.strong)
            strong[key].push_back(i);
        if (!k.name.isEmpty())
            names[k.name].push_back(i);
    }
    for (auto it = strong.cbegin(); it != strong.cend(); ++it)
        if (it->size() > 1)
            joinAll(*it, reasonFor(it.key()));
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        if (it->size() < 2)
            continue;
        // Namesakes that share a value.
        QHash<QString, std::vector<int>> values;
        for (int i : *it) {
            QStringList own = found.keys[size_t(i)].values;
            own.removeDuplicates();
            for (const QString &v : std::as_const(own))
                values[v].push_back(i);
        }
        const QString reason =
            QStringLiteral("같은 이름 ") + FileBaseName(found.paths.at(it->front()));
        for (const std::vector<int> &members : std::as_const(values))
            if (members.size() > 1)
                joinAll(members, reason);
    }

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
        if (uid.isEmpty()) {
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
        for (const QString &entry : entries.files + entries.folders) {
            const QString to =
                RecordStore::MoveIntoCompanion(Paths::Join(companion, entry), keptPath);
            if (to.isEmpty())
                return QStringLiteral("%1을(를) %2(으)로 옮기지 못해 합치기를 멈췄습니다.")
                    .arg(Paths::Join(Paths::FileName(companion), entry), keptOldCompanion);
            if (to != entry)
                renamed.insert(entry, to);
        }
        moved.append(std::pair(Paths::FileName(companion), renamed));
        if (!RecordStore::DeletePath(other))
            return QStringLiteral("%1을(를) 휴지통으로 옮기지 못해 합치기를 멈췄습니다.")
                .arg(Paths::FileName(other));
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
