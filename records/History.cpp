#include "History.h"

#include "PhoneFun.h"
#include "Record.h"
#include "RecordWalk.h"
#include "platform/DirectoryListing.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Job.h"
#include "platform/Paths.h"

#include <git2.h>
#include <git2/sys/mempack.h>
#include <git2/sys/odb_backend.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStorageInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

const QString History::RepositoryName = QStringLiteral(".vandrel-history");

namespace {

const QString OutsideMessage = QStringLiteral("밖에서 바뀜");
const QString ChangesMarker = QStringLiteral("Vandrel-Changes: ");
// An undo names the commit it undoes and a redo the one it makes again, so that what is undone
// is still known after a restart.
const QString UndoesMarker = QStringLiteral("Vandrel-Undoes: ");
const QString RedoesMarker = QStringLiteral("Vandrel-Redoes: ");
const QString UndoPrefix = QStringLiteral("실행 취소: ");
const QString RedoPrefix = QStringLiteral("다시 실행: ");
const char *const Branch = "refs/heads/main";
// The first commit, whose time is when its walk of the data directory began.
const char *const StartRef = "refs/vandrel/start";
// How long a look at what others changed waits for the store to tell its own writes.
constexpr std::chrono::milliseconds LookDelay(300);
// An operation with more files than this writes its objects as one pack.
constexpr int BulkEdits = 200;
// How often looks kept back while another history is open ask whether it has closed.
constexpr std::chrono::milliseconds OthersPoll(500);
// A lock on the branch that no running write holds this long was left by a killed one.
constexpr qint64 StaleRefLockMs = 2000;

struct GitFailure
{
    QString message;
    int kind = 0; // git_error_t
};

void check(int rc)
{
    if (rc >= 0)
        return;
    const git_error *e = git_error_last();
    throw GitFailure{e && e->message ? QString::fromUtf8(e->message)
                                     : QStringLiteral("libgit2 error %1").arg(rc),
                     e ? e->klass : 0};
}

template<typename T, void (*Free)(T *)>
class Owned
{
public:
    Owned() = default;
    ~Owned() { reset(); }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    Owned(Owned &&other) noexcept
        : m_p(std::exchange(other.m_p, nullptr))
    {}
    Owned &operator=(Owned &&other) noexcept
    {
        reset();
        m_p = std::exchange(other.m_p, nullptr);
        return *this;
    }
    T **out()
    {
        reset();
        return &m_p;
    }
    T *get() const { return m_p; }
    operator T *() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void reset()
    {
        if (m_p)
            Free(m_p);
        m_p = nullptr;
    }

private:
    T *m_p = nullptr;
};
using Repo = Owned<git_repository, git_repository_free>;
using Tree = Owned<git_tree, git_tree_free>;
using TreeEntry = Owned<git_tree_entry, git_tree_entry_free>;
using Commit = Owned<git_commit, git_commit_free>;
using Blob = Owned<git_blob, git_blob_free>;
using Builder = Owned<git_treebuilder, git_treebuilder_free>;
using Signature = Owned<git_signature, git_signature_free>;
using Odb = Owned<git_odb, git_odb_free>;
using Diff = Owned<git_diff, git_diff_free>;
using Reference = Owned<git_reference, git_reference_free>;
using Indexer = Owned<git_indexer, git_indexer_free>;

void initGit()
{
    static const bool done = [] {
        git_libgit2_init();
        // The repository is the program's own: no user's or system's git settings apply to it.
        for (int level : {GIT_CONFIG_LEVEL_SYSTEM, GIT_CONFIG_LEVEL_XDG, GIT_CONFIG_LEVEL_GLOBAL,
                          GIT_CONFIG_LEVEL_PROGRAMDATA})
            git_libgit2_opts(GIT_OPT_SET_SEARCH_PATH, level, "");
        // A data directory on a drive another account made is still this user's.
        git_libgit2_opts(GIT_OPT_SET_OWNER_VALIDATION, 0);
        // Every object is written just before its tree names it.
        git_libgit2_opts(GIT_OPT_ENABLE_STRICT_OBJECT_CREATION, 0);
        return true;
    }();
    Q_UNUSED(done);
}

// Paths inside the history: relative to the data directory, "/" between names.
QString parentOf(const QString &rel)
{
    const qsizetype at = rel.lastIndexOf(u'/');
    return at < 0 ? QString() : rel.left(at);
}

QString nameOf(const QString &rel)
{
    return rel.mid(rel.lastIndexOf(u'/') + 1);
}

QString joinRel(const QString &dir, const QString &name)
{
    return dir.isEmpty() ? name : name.isEmpty() ? dir : dir + u'/' + name;
}

bool isRecordFile(const QString &rel)
{
    return RecordStore::IsRecordFileName(nameOf(rel));
}

bool hiddenRel(const QString &rel)
{
    for (QStringView part : QStringView(rel).split(u'/'))
        if (part.startsWith(u'.'))
            return true;
    return false;
}

// True when a folder of the path (not its last name) is a companion folder.
bool inCompanion(const QString &rel)
{
    const QList<QStringView> parts = QStringView(rel).split(u'/');
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        if (parts.at(i).startsWith(u"__"))
            return true;
    return false;
}

bool companionDir(const QString &rel)
{
    return inCompanion(rel + QStringLiteral("/x"));
}

bool tracked(const QString &rel)
{
    if (rel.isEmpty() || hiddenRel(rel))
        return false;
    return inCompanion(rel) || isRecordFile(rel) || nameOf(rel) == FolderRecordName;
}

// How the record at rel is named in a message: without ".txt", a folder's record as its folder.
QString shown(const QString &rel)
{
    if (nameOf(rel) == FolderRecordName)
        return parentOf(rel);
    return isRecordFile(rel) ? rel.left(rel.size() - 4) : rel;
}

struct RelChange
{
    RecordStore::Change::Kind kind = RecordStore::Change::Changed;
    QString path;
    QString oldPath;
    bool folder = false;
};

QString describe(const QList<RelChange> &changes, const QString &description)
{
    if (!description.isEmpty())
        return description;
    using K = RecordStore::Change;
    const RelChange *principal = nullptr;
    for (K::Kind kind : {K::Renamed, K::Removed, K::Added, K::Changed}) {
        for (const RelChange &c : changes)
            if (c.kind == kind && (!principal || (c.folder && !principal->folder)))
                principal = &c;
        if (principal)
            break;
    }
    if (!principal)
        return QStringLiteral("변경");
    const RelChange &c = *principal;
    int others = 0;
    for (const RelChange &o : changes)
        if (&o != &c && o.kind == c.kind && o.folder == c.folder && !inCompanion(o.path))
            ++others;
    const QString more = others > 0 ? QStringLiteral(" 외 %1개").arg(others) : QString();
    switch (c.kind) {
    case K::Renamed:
        if (parentOf(c.path) == parentOf(c.oldPath))
            return QStringLiteral("이름 변경: %1 → %2")
                .arg(shown(c.oldPath), nameOf(shown(c.path)));
        return QStringLiteral("이동: %1 → %2")
            .arg(shown(c.oldPath),
                 parentOf(c.path).isEmpty() ? QStringLiteral("맨 위") : parentOf(c.path));
    case K::Removed:
        return (c.folder ? QStringLiteral("폴더 삭제: %1") : QStringLiteral("자료 삭제: %1"))
                   .arg(shown(c.path))
               + more;
    case K::Added:
        if (c.folder)
            return QStringLiteral("폴더 생성: %1").arg(c.path) + more;
        if (inCompanion(c.path))
            return QStringLiteral("파일 추가: %1").arg(c.path) + more;
        return QStringLiteral("자료 생성: %1").arg(shown(c.path)) + more;
    case K::Changed:
    default: return QStringLiteral("자료 수정: %1").arg(shown(c.path)) + more;
    }
}

QString changesTrailer(const QList<RelChange> &changes)
{
    QJsonArray list;
    for (const RelChange &c : changes) {
        QJsonObject o;
        o.insert(QStringLiteral("k"), QString(QStringLiteral("ACDR").at(int(c.kind))));
        o.insert(QStringLiteral("p"), c.path);
        if (!c.oldPath.isEmpty())
            o.insert(QStringLiteral("o"), c.oldPath);
        if (c.folder)
            o.insert(QStringLiteral("f"), true);
        list.append(o);
    }
    return ChangesMarker + QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

// The value of the trailer line beginning with marker; "" when there is none.
QString trailerValue(const QString &message, const QString &marker)
{
    const qsizetype at = message.indexOf(u'\n' + marker);
    if (at < 0)
        return {};
    const qsizetype from = at + 1 + marker.size();
    const qsizetype end = message.indexOf(u'\n', from);
    return message.mid(from, end < 0 ? -1 : end - from).trimmed();
}

QList<RelChange> parseTrailer(const QString &message)
{
    QList<RelChange> out;
    const QJsonArray list =
        QJsonDocument::fromJson(trailerValue(message, ChangesMarker).toUtf8()).array();
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        const qsizetype kind =
            QStringLiteral("ACDR").indexOf(o.value(QStringLiteral("k")).toString());
        if (kind < 0)
            continue;
        out.append({RecordStore::Change::Kind(kind), o.value(QStringLiteral("p")).toString(),
                    o.value(QStringLiteral("o")).toString(),
                    o.value(QStringLiteral("f")).toBool()});
    }
    return out;
}

QString summaryOf(const git_commit *commit)
{
    return QString::fromUtf8(git_commit_summary(const_cast<git_commit *>(commit)));
}

QString idText(const git_oid &id)
{
    char text[GIT_OID_HEXSZ + 1];
    git_oid_tostr(text, sizeof text, &id);
    return QString::fromLatin1(text);
}

std::optional<git_oid> idFrom(const QString &text)
{
    git_oid id;
    if (git_oid_fromstr(&id, text.toLatin1().constData()) < 0)
        return std::nullopt;
    return id;
}

struct Edit
{
    QByteArray path;
    bool remove = false;
    git_oid id{};
    git_filemode_t mode = GIT_FILEMODE_BLOB;
};

Edit removal(const QString &rel)
{
    return {rel.toUtf8(), true, {}, GIT_FILEMODE_BLOB};
}

Edit upsert(const QString &rel, const git_oid &id, git_filemode_t mode = GIT_FILEMODE_BLOB)
{
    return {rel.toUtf8(), false, id, mode};
}

// What a commit is to undo and redo.
struct CommitKind
{
    enum Kind {
        Start,     // the first commit
        Outside,   // what others changed: never undone
        Operation, // an operation of the program's, in the window or from the command line
        Undo,      // undoes target
        Redo,      // makes target again; undone like an operation
        OldUndo,   // an undo from before undos named their target: it undid the newest operation
    } kind = Operation;
    QString target;
    QString text; // the operation, as undo and redo name it
};

CommitKind kindOf(const git_commit *commit)
{
    const QString message = QString::fromUtf8(git_commit_message(commit));
    const QString summary = summaryOf(commit);
    if (git_commit_parentcount(commit) == 0)
        return {CommitKind::Start, {}, summary};
    if (summary == OutsideMessage)
        return {CommitKind::Outside, {}, summary};
    if (const QString target = trailerValue(message, UndoesMarker); !target.isEmpty())
        return {CommitKind::Undo, target, summary};
    // A redo is named as the operation it makes again.
    const QString text = summary.startsWith(RedoPrefix) ? summary.mid(RedoPrefix.size()) : summary;
    if (const QString target = trailerValue(message, RedoesMarker); !target.isEmpty())
        return {CommitKind::Redo, target, text};
    if (summary.startsWith(UndoPrefix))
        return {CommitKind::OldUndo, {}, summary};
    return {CommitKind::Operation, {}, text};
}

// What undo and redo would take next: a commit and how the operation is named.
struct Step
{
    QString commit;
    QString text;
    bool operator==(const Step &) const = default;
};

struct Steps
{
    bool known = false; // read from the history yet
    std::optional<Step> undo, redo;
    bool operator==(const Steps &) const = default;
};

// One step of an undo or redo.
struct Plan
{
    QString commit;
    QList<RelChange> changes;                                   // in the order to apply
    QList<std::pair<QString, std::optional<QByteArray>>> files; // what each file becomes
    QStringList folders;                                        // to compare before
};

} // namespace

struct History::Impl
{
    History *q = nullptr;
    QString root; // absolute, "/" separators
    QString repoPath;
    // Every history open on the repository, in this program or another (the window and a
    // command line beside it), holds a lock file named after it in this folder while it lives;
    // one whose program died is found by its lock being free.
    QString sessions;
    QString token; // this history's name there
    std::unique_ptr<QLockFile> session;
    // The paths of the operations told and not committed yet, one a line, beside the lock:
    // what a killed program left there is compared with the history by the next history.
    QString journal;
    std::mutex journalMutex;
    qint64 changesQueued = 0; // operations in the queue (under queueMutex)
    // Histories whose program was killed, taken over until what they left is committed: their
    // locks (held now by this one), the files to remove then and the folders to compare.
    std::vector<std::unique_ptr<QLockFile>> adopted;
    QSet<QString> adoptedTokens;
    QStringList adoptedFiles;
    QSet<QString> killedFolders;
    bool killedLeft = false;
    // Killed maybe between a file's replacement and its note in the journal: every folder.
    bool killedAll = false;
    // Folders to compare with the history once no other history is open (worker's).
    QSet<QString> deferred;

    struct Task
    {
        enum Kind { Start, Changes, Look, ReadSteps } kind = Changes;
        QList<RelChange> changes;
        QString description;
        int tag = 0; // 0 an operation, 1 an undo, 2 a redo
        QStringList paths;
        bool now = false; // a look that need not wait for the store
        QString target{}; // the commit an undo or redo takes back or makes again
        std::chrono::steady_clock::time_point queued = std::chrono::steady_clock::now();
    };
    std::mutex queueMutex;
    std::condition_variable queueWake, queueDone;
    std::deque<Task> queue;
    qint64 submitted = 0, finished = 0;
    bool stopping = false;
    std::thread worker;

    // Everything below is the worker's, or a reader's while it holds repoMutex.
    mutable std::recursive_mutex repoMutex;
    Repo repo;
    git_repository *w = nullptr; // where objects are written: repo, or the pack being made
    bool opened = false;
    bool hasHead = false;
    git_oid head{}; // the branch as last read: another program may have moved it since
    git_oid headTree{};
    git_oid stepsHead{}; // the head steps were read at
    struct Stamp
    {
        qint64 mtime;
        qint64 ctime;
        qint64 size;
        git_oid id;
    };
    QHash<QString, Stamp> stamps; // files hashed before whose times and size are unchanged
    // When each folder was last compared with the history in this session (ms). A file whose
    // change time is before that is as the history has it; before the first commit's walk, too.
    QHash<QString, qint64> compared;
    qint64 startTime = -1; // when the first commit's walk began (ms); -1 not read yet

    mutable std::mutex stateMutex;
    std::atomic<bool> on{true};
    QString offReason;
    Steps steps; // what undo and redo would take next, once read

    std::atomic<bool> closing{false}; // a first commit still being made is given up
    QPointer<Job> snapshotStarter;
    std::atomic<QThread *> applyingThread{nullptr};
    std::atomic<int> applyingTag{0};
    // Written and read by the applying thread alone.
    QString applyingTarget;
    bool applyingTold = false;

    QString absOf(const QString &rel) const
    {
        return Paths::Native(rel.isEmpty() ? root : root + u'/' + rel);
    }

    QString relOf(const QString &path) const
    {
        if (path.isEmpty())
            return {};
        const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
        if (!clean.startsWith(root + u'/'))
            return {};
        return clean.mid(root.size() + 1);
    }

    void enqueue(Task task)
    {
        {
            const std::lock_guard lock(queueMutex);
            changesQueued += task.kind == Task::Changes ? 1 : 0;
            queue.push_back(std::move(task));
            ++submitted;
        }
        queueWake.notify_one();
    }

    // Everything told so far committed and the repository open; false when there is none.
    bool openForReading()
    {
        if (!worker.joinable())
            return false;
        enqueue({Task::Start, {}, {}, 0, {}});
        flush();
        const std::lock_guard lock(repoMutex);
        if (!opened)
            return false;
        try {
            readHead();
        } catch (const GitFailure &) {
            return false;
        }
        return hasHead;
    }

    // Queues a look at the folders (or the folders of the files) rels: at once, or after a
    // moment in which the store tells its own writes.
    void look(const QStringList &rels, bool atOnce)
    {
        if (!on || !worker.joinable() || rels.isEmpty())
            return;
        Task task{Task::Look, {}, {}, 0, rels};
        task.now = atOnce;
        enqueue(std::move(task));
    }

    void flush()
    {
        std::unique_lock lock(queueMutex);
        const qint64 until = submitted;
        queueDone.wait(lock, [&] { return finished >= until; });
    }

    void run()
    {
        for (;;) {
            Task task;
            qint64 merged = 0;
            bool poll = false; // a look at the folders kept back, with nothing queued
            {
                std::unique_lock lock(queueMutex);
                const auto ready = [&] { return stopping || !queue.empty(); };
                if (deferred.isEmpty())
                    queueWake.wait(lock, ready);
                else
                    poll = !queueWake.wait_for(lock, OthersPoll, ready);
                if (!poll && queue.empty())
                    return;
                if (!poll && queue.front().kind == Task::Look && !queue.front().now && !stopping) {
                    // What the watcher saw may be a store write whose change is on its way:
                    // a look waits a moment, and the operations told meanwhile go first.
                    const auto due = queue.front().queued + LookDelay;
                    if (std::chrono::steady_clock::now() < due) {
                        queueWake.wait_until(lock, due);
                        continue;
                    }
                    const auto op = std::find_if(queue.begin(), queue.end(), [](const Task &t) {
                        return t.kind == Task::Changes;
                    });
                    if (op != queue.end()) {
                        task = std::move(*op);
                        queue.erase(op);
                    }
                }
                if (poll) {
                    task.kind = Task::Look;
                } else if (task.kind != Task::Changes || task.changes.isEmpty()) {
                    task = std::move(queue.front());
                    queue.pop_front();
                }
                // A burst of folders the watcher saw change is one commit.
                while (task.kind == Task::Look && !queue.empty()
                       && queue.front().kind == Task::Look) {
                    task.paths << queue.front().paths;
                    queue.pop_front();
                    ++merged;
                }
            }
            {
                const std::lock_guard repoLock(repoMutex);
                process(task);
                refreshSteps();
            }
            if (task.kind == Task::Changes) {
                // Under the journal's lock, so that no operation is noted in between.
                const std::lock_guard journalLock(journalMutex);
                bool allCommitted = false;
                {
                    const std::lock_guard lock(queueMutex);
                    allCommitted = --changesQueued == 0;
                }
                if (allCommitted)
                    QFile::remove(journal);
            }
            {
                const std::lock_guard lock(queueMutex);
                finished += (poll ? 0 : 1) + merged;
            }
            queueDone.notify_all();
        }
    }

    void post(const QString &text)
    {
        QMetaObject::invokeMethod(
            q, [q = q, text] { emit q->stopped(text); }, Qt::QueuedConnection);
    }

    void postUndoChanged()
    {
        QMetaObject::invokeMethod(
            q, [q = q] { emit q->undoChanged(); }, Qt::QueuedConnection);
    }

    void turnOff(const QString &reason, bool tell)
    {
        {
            const std::lock_guard lock(stateMutex);
            if (!on)
                return;
            on = false;
            offReason = reason;
            steps = {true, {}, {}};
        }
        closeRepo();
        // Others need not wait for a history that writes nothing more.
        session.reset();
        if (tell)
            post(QStringLiteral("자료 이력을 끕니다: %1. 자료는 그대로 저장되었습니다.")
                     .arg(reason));
        postUndoChanged();
    }

    void closeRepo()
    {
        compared.clear();
        startTime = -1;
        repo.reset();
        w = nullptr;
        opened = false;
        hasHead = false;
        stamps.clear();
    }

    // Why the repository cannot be written, or "" when it can (the fault is in its contents).
    QString writeProblem() const
    {
        const QString where = QFileInfo(repoPath).isDir() ? repoPath : root;
        const QStorageInfo storage(where);
        if (storage.isValid() && storage.isReadOnly())
            return where == root ? QStringLiteral("자료 폴더가 읽기 전용입니다")
                                 : QStringLiteral("이력 폴더가 읽기 전용입니다");
        if (storage.isValid() && storage.bytesAvailable() < 64 * 1024)
            return QStringLiteral("디스크에 남은 공간이 없습니다");
        QFile probe(where + QStringLiteral("/.vandrel-history-probe"));
        if (!probe.open(QIODevice::WriteOnly))
            return QStringLiteral("이력 폴더에 쓸 수 없습니다 (%1)").arg(probe.errorString());
        const bool written = probe.write("probe", 5) == 5 && probe.flush();
        probe.close();
        probe.remove();
        return written ? QString() : QStringLiteral("디스크에 남은 공간이 없습니다");
    }

    void failed(const GitFailure &failure)
    {
        const QString problem = writeProblem();
        if (!problem.isEmpty()) {
            turnOff(problem, true);
            return;
        }
        // A repository whose last commit or any object cannot be read is damaged; any other
        // failure turns the history off and leaves the repository as it is.
        const bool objects = failure.kind == GIT_ERROR_ODB || failure.kind == GIT_ERROR_ZLIB
                             || failure.kind == GIT_ERROR_OBJECT;
        if (!objects && readable()) {
            turnOff(QStringLiteral("이력을 쓰지 못했습니다 (%1)").arg(failure.message), true);
            return;
        }
        setAside(failure.message);
    }

    // Opens the history's repository itself, never one around it; libgit2's code.
    int openRepo(Repo &into) const
    {
        return git_repository_open_ext(into.out(), repoPath.toUtf8().constData(),
                                       GIT_REPOSITORY_OPEN_NO_SEARCH | GIT_REPOSITORY_OPEN_BARE,
                                       nullptr);
    }

    bool readable() const
    {
        Repo fresh;
        if (openRepo(fresh) < 0)
            return false;
        git_oid id;
        const int rc = git_reference_name_to_id(&id, fresh, "HEAD");
        if (rc == GIT_ENOTFOUND || rc == GIT_EUNBORNBRANCH)
            return true;
        Commit commit;
        Tree tree;
        return rc == 0 && git_commit_lookup(commit.out(), fresh, &id) == 0
               && git_commit_tree(tree.out(), commit) == 0;
    }

    // A repository that cannot be read goes aside under a name of its own, and a new one starts.
    void setAside(const QString &why)
    {
        closeRepo();
        session.reset();
        adopted.clear();
        adoptedTokens.clear();
        const QString aside =
            RepositoryName + QStringLiteral("-damaged-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!QDir().rename(repoPath, root + u'/' + aside)) {
            turnOff(QStringLiteral("이력 저장소가 손상되었고 옮길 수도 없습니다 (%1)").arg(why),
                    true);
            return;
        }
        {
            const std::lock_guard lock(stateMutex);
            steps = {true, {}, {}};
        }
        postUndoChanged();
        post(QStringLiteral(
                 "자료 이력 저장소가 손상되어 %1(으)로 옮겨 두고 새 이력을 시작합니다 (%2).")
                 .arg(aside, why));
        create();
    }

    // What a killed write left behind: locks, and the temporary files of objects and packs it
    // had not renamed yet. Only while no other history is open, which might be writing them.
    void removeStaleLocks()
    {
        QDirIterator it(
            repoPath,
            {QStringLiteral("*.lock"), QStringLiteral("tmp_*"), QStringLiteral("*_git2_*")},
            QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!path.startsWith(sessions + u'/'))
                QFile::remove(path);
        }
    }

    static bool isToken(const QString &name)
    {
        static const QRegularExpression pattern(QStringLiteral("^[0-9]+-[0-9a-f]{8}$"));
        return pattern.match(name).hasMatch();
    }

    // Makes this history's lock among the open ones.
    void openSession()
    {
        if (session)
            return;
        QDir().mkpath(sessions);
        auto lock = std::make_unique<QLockFile>(sessions + u'/' + token);
        if (lock->tryLock(0))
            session = std::move(lock);
    }

    QStringList journalFolders(const QString &file)
    {
        QStringList out;
        QFile in(file);
        if (in.open(QIODevice::ReadOnly))
            for (const QByteArray &line : in.readAll().split('\n'))
                if (!line.isEmpty())
                    out << parentOf(QString::fromUtf8(line));
        return out;
    }

    // The histories other than this one in the folder of open ones, by their names there: a
    // lock, or the journal a killed history left; not what QLockFile makes beside a lock.
    QSet<QString> otherTokens() const
    {
        QSet<QString> out;
        for (QString name : QDir(sessions).entryList(QDir::Files | QDir::Hidden)) {
            if (name.endsWith(QStringLiteral(".pending")))
                name.chop(8);
            if (isToken(name) && name != token)
                out << name;
        }
        return out;
    }

    // Something other than this history in the folder of open histories, or what a program
    // of the time before it left: worth a look by the worker at the start.
    bool othersMayBeThere() const
    {
        if (!otherTokens().isEmpty())
            return true;
        for (const char *old : {"vandrel-pending", "vandrel-pending.killed", "vandrel-open"})
            if (QFileInfo::exists(repoPath + u'/' + QLatin1String(old)))
                return true;
        return false;
    }

    // True when another history is open on the repository now. One whose program died is
    // taken over: what it noted and had not committed, and since it may have been killed
    // between a file's replacement and its note, every folder, are compared with the history
    // before anything overwrites them.
    bool scanSessions()
    {
        bool others = false;
        QSet<QString> tokens = otherTokens();
        tokens.subtract(adoptedTokens);
        for (const QString &t : std::as_const(tokens)) {
            auto lock = std::make_unique<QLockFile>(sessions + u'/' + t);
            // Taken only when its program is gone; the lock then keeps others off it.
            if (!lock->tryLock(0)) {
                others = true;
                continue;
            }
            const QString pending = sessions + u'/' + t + QStringLiteral(".pending");
            for (const QString &folder : journalFolders(pending))
                killedFolders << folder;
            adoptedFiles << pending;
            adopted.push_back(std::move(lock));
            adoptedTokens << t;
            killedLeft = killedAll = true;
        }
        // Left by a program that kept one journal and one marker for the repository.
        const QString oldJournal = repoPath + QStringLiteral("/vandrel-pending");
        const QString oldMarker = repoPath + QStringLiteral("/vandrel-open");
        for (const QString &file :
             {oldJournal, oldJournal + QStringLiteral(".killed"), oldMarker}) {
            if (!QFileInfo::exists(file) || adoptedFiles.contains(file))
                continue;
            for (const QString &folder : journalFolders(file))
                killedFolders << folder;
            adoptedFiles << file;
            killedLeft = true;
            killedAll = killedAll || file == oldMarker;
        }
        return others;
    }

    bool ensureOpen()
    {
        if (opened)
            return true;
        if (!on)
            return false;
        initGit();
        const QString user = UserRepository(root);
        if (!user.isEmpty()) {
            turnOff(Note(root), false);
            return false;
        }
        if (!QFileInfo(repoPath).isDir()) {
            create();
            return opened;
        }
        openSession();
        {
            // A history opening after this one waits here before it writes anything.
            QLockFile guard(sessions + QStringLiteral("/open.guard"));
            if (guard.lock() && !scanSessions())
                removeStaleLocks();
        }
        if (openRepo(repo) < 0) {
            const git_error *e = git_error_last();
            setAside(e ? QString::fromUtf8(e->message) : QString());
            return opened;
        }
        w = repo;
        const int rc = git_reference_name_to_id(&head, repo, Branch);
        if (rc == GIT_ENOTFOUND) {
            opened = true;
            snapshot();
            return opened;
        }
        try {
            check(rc);
            setHead(head);
            Tree tree;
            check(git_tree_lookup(tree.out(), repo, &headTree));
            opened = true;
        } catch (const GitFailure &f) {
            setAside(f.message);
        }
        return opened;
    }

    // What a killed history told and did not live to commit is committed as changed by others.
    void recoverKilled(const QSet<QString> &skip)
    {
        if (!killedLeft)
            return;
        QSet<QString> folders = killedFolders;
        if (killedAll) {
            folders << QString();
            QDirIterator dirs(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                              QDirIterator::Subdirectories);
            while (dirs.hasNext()) {
                const QString rel = QDir(root).relativeFilePath(dirs.next());
                if (!hiddenRel(rel))
                    folders << rel;
            }
        }
        commitOnHead([&] { return outsideEdits(folders, skip); }, OutsideMessage, {});
        for (const QString &file : std::as_const(adoptedFiles))
            QFile::remove(file);
        adopted.clear(); // their locks go too
        adoptedTokens.clear();
        adoptedFiles.clear();
        killedFolders.clear();
        killedLeft = killedAll = false;
    }

    // Notes the operation's paths in the journal and queues it, in one step.
    void noteAndQueue(Task task)
    {
        QByteArray lines;
        for (const RelChange &c : task.changes)
            for (const QString &p : {c.path, c.oldPath})
                if (!p.isEmpty())
                    lines += p.toUtf8() + '\n';
        const std::lock_guard lock(journalMutex);
        // Before the first commit there is no repository; that commit reads the disk anyway.
        if (QFileInfo(sessions).isDir()) {
            QFile file(journal);
            if (file.open(QIODevice::WriteOnly | QIODevice::Append))
                file.write(lines);
        }
        enqueue(std::move(task));
    }

    void create()
    {
        git_repository_init_options options;
        git_repository_init_options_init(&options, GIT_REPOSITORY_INIT_OPTIONS_VERSION);
        options.flags = GIT_REPOSITORY_INIT_BARE | GIT_REPOSITORY_INIT_MKPATH;
        options.initial_head = "main";
        options.description = "Vandrel: the history of this data directory";
        if (git_repository_init_ext(repo.out(), repoPath.toUtf8().constData(), &options) < 0) {
            const git_error *e = git_error_last();
            const QString problem = writeProblem();
            turnOff(problem.isEmpty() && e ? QString::fromUtf8(e->message) : problem, true);
            return;
        }
        w = repo;
        opened = true;
        hasHead = false;
        openSession();
        snapshot();
    }

    // The first commit: every tracked file of the data directory, written as one pack.
    void snapshot()
    {
        try {
            const qint64 began = QDateTime::currentSecsSinceEpoch();
            QStringList files;
            for (const RecordWalk::Folder &folder :
                 RecordWalk::Walk(root, {true, false, &closing})) {
                const QString dir = QDir::fromNativeSeparators(folder.rel);
                for (const QString &file : folder.files)
                    if (tracked(joinRel(dir, file)))
                        files << joinRel(dir, file);
            }
            beginBulk();
            QList<Edit> edits;
            int records = 0;
            for (qsizetype i = 0; i < files.size() && !stopSnapshot(i, files.size()); ++i) {
                if (const std::optional<git_oid> id = blobFromDisk(files.at(i), false)) {
                    edits << upsert(files.at(i), *id);
                    records += isRecordFile(files.at(i)) ? 1 : 0;
                }
            }
            if (stopSnapshot(files.size(), files.size())) {
                // Made again at the next start; nothing may commit on half a tree.
                abandonBulk();
                turnOff(QStringLiteral("이력을 처음 만들다 그쳤습니다"), false);
                return;
            }
            const git_oid id =
                makeCommit(edits, QStringLiteral("이력 시작: 자료 %1개").arg(records), {}, began);
            endBulk();
            compared.clear();
            if (!advance(id)) {
                // Another program's first commit came first: this one's changes go on it.
                readHead();
                return;
            }
            Reference start;
            check(git_reference_create(start.out(), repo, StartRef, &id, 1, nullptr));
            startTime = began * 1000;
        } catch (const GitFailure &f) {
            abandonBulk();
            failed(f);
        }
    }

    // The job that shows the first commit's progress, while it runs; Esc stops it.
    std::atomic<Job *> snapshotJob{nullptr};

    bool stopSnapshot(qsizetype done, qsizetype total)
    {
        if (closing)
            return true;
        Job *job = snapshotJob;
        return job && (done % 256 == 0 || done == total) && !job->report(done, total);
    }

    // While a bulk write runs, objects go into memory and then into the repository as one pack.
    Repo bulkRepo;
    git_odb_backend *mempack = nullptr;

    void beginBulk()
    {
        check(openRepo(bulkRepo));
        Odb odb;
        check(git_repository_odb(odb.out(), bulkRepo));
        check(git_mempack_new(&mempack));
        if (git_odb_add_backend(odb, mempack, 999) < 0) {
            mempack->free(mempack);
            mempack = nullptr;
            check(-1);
        }
        w = bulkRepo;
    }

    void endBulk()
    {
        git_buf pack = GIT_BUF_INIT;
        const auto cleanup = qScopeGuard([&] { git_buf_dispose(&pack); });
        check(git_mempack_dump(&pack, bulkRepo, mempack));
        git_indexer_options options;
        check(git_indexer_options_init(&options, GIT_INDEXER_OPTIONS_VERSION));
        Indexer indexer;
        const QByteArray packDir = (repoPath + QStringLiteral("/objects/pack")).toUtf8();
        check(git_indexer_new(indexer.out(), packDir.constData(), 0, nullptr, &options));
        git_indexer_progress progress;
        check(git_indexer_append(indexer, pack.ptr, pack.size, &progress));
        check(git_indexer_commit(indexer, &progress));
        git_mempack_reset(mempack);
        abandonBulk();
        Odb odb;
        check(git_repository_odb(odb.out(), repo));
        check(git_odb_refresh(odb));
    }

    void abandonBulk()
    {
        bulkRepo.reset(); // frees the odb and its backends
        mempack = nullptr;
        w = repo;
    }

    std::optional<git_oid> blobFromDisk(const QString &rel, bool keepStamp = true)
    {
        const QString path = absOf(rel);
        QByteArray bytes;
        if (!FileSystem::readListed(path, bytes))
            return std::nullopt;
        git_oid id;
        check(git_blob_create_from_buffer(&id, w, bytes.constData(), size_t(bytes.size())));
        if (keepStamp)
            remember(rel, path, id);
        return id;
    }

    // A file's modification and status change times (ms) and size, read in one call.
    struct Times
    {
        qint64 mtime = 0;
        qint64 ctime = 0;
        qint64 size = -1;
        // The status change time moves with every write and rename, also where a program sets
        // the modification time back.
        qint64 changed() const { return std::max(mtime, ctime); }
    };

    static Times timesOf(const QString &path)
    {
        Times t;
#ifdef Q_OS_UNIX
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return t;
        t.mtime = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
        t.ctime = qint64(st.st_ctim.tv_sec) * 1000 + st.st_ctim.tv_nsec / 1000000;
        t.size = qint64(st.st_size);
#else
        const QFileInfo info(path);
        if (!info.exists())
            return t;
        t.mtime = info.lastModified().toMSecsSinceEpoch();
        t.ctime = info.metadataChangeTime().toMSecsSinceEpoch();
        t.size = info.size();
#endif
        return t;
    }

    void remember(const QString &rel, const QString &path, const git_oid &id)
    {
        const Times t = timesOf(path);
        // A file changed within the last seconds may change again without its time showing it.
        if (t.size >= 0 && t.changed() < QDateTime::currentMSecsSinceEpoch() - 2000)
            stamps.insert(rel, {t.mtime, t.ctime, t.size, id});
        else
            stamps.remove(rel);
    }

    // When the walk of the first commit began: its commit's time, kept under a ref of its own.
    qint64 walkStart()
    {
        if (startTime >= 0)
            return startTime;
        startTime = 0;
        git_oid id;
        Commit commit;
        if (git_reference_name_to_id(&id, repo, StartRef) == 0
            && git_commit_lookup(commit.out(), repo, &id) == 0)
            startTime = qint64(git_commit_time(commit)) * 1000;
        return startTime;
    }

    // The id the file at rel would get; nullopt when it cannot be read. unchangedBefore: a
    // file the history holds whose times are older is taken to be as it holds it (known).
    std::optional<git_oid> hashOnDisk(const QString &rel, qint64 unchangedBefore = 0,
                                      const git_oid *known = nullptr)
    {
        const QString path = absOf(rel);
        const Times t = timesOf(path);
        const auto it = stamps.constFind(rel);
        if (it != stamps.cend() && it->mtime == t.mtime && it->ctime == t.ctime
            && it->size == t.size)
            return it->id;
        if (known && t.size >= 0 && t.changed() < unchangedBefore)
            return *known;
        QByteArray bytes;
        if (!FileSystem::readListed(path, bytes))
            return std::nullopt;
        git_oid id;
        check(git_odb_hash(&id, bytes.constData(), size_t(bytes.size()), GIT_OBJECT_BLOB));
        remember(rel, path, id);
        return id;
    }

    // Builds base with edits (paths relative to base) applied; nullopt for an empty tree.
    std::optional<git_oid> apply(const git_oid *baseId, const QList<Edit> &edits)
    {
        Tree base;
        if (baseId)
            check(git_tree_lookup(base.out(), w, baseId));
        Builder builder;
        check(git_treebuilder_new(builder.out(), w, base));
        QList<QByteArray> order;
        QHash<QByteArray, QList<Edit>> groups;
        for (const Edit &e : edits) {
            const qsizetype slash = e.path.indexOf('/');
            const QByteArray name = slash < 0 ? e.path : e.path.left(slash);
            if (name.isEmpty())
                continue;
            auto it = groups.find(name);
            if (it == groups.end()) {
                order << name;
                it = groups.insert(name, {});
            }
            Edit inner = e;
            inner.path = slash < 0 ? QByteArray() : e.path.mid(slash + 1);
            it->append(inner);
        }
        for (const QByteArray &name : std::as_const(order)) {
            std::optional<std::pair<git_oid, git_filemode_t>> state;
            if (const git_tree_entry *entry = git_treebuilder_get(builder, name.constData()))
                state.emplace(*git_tree_entry_id(entry), git_tree_entry_filemode(entry));
            QList<Edit> deeper;
            const auto descend = [&] {
                if (deeper.isEmpty())
                    return;
                const bool isTree = state && state->second == GIT_FILEMODE_TREE;
                const std::optional<git_oid> sub = apply(isTree ? &state->first : nullptr, deeper);
                deeper.clear();
                if (sub)
                    state.emplace(*sub, GIT_FILEMODE_TREE);
                else
                    state.reset();
            };
            for (const Edit &e : groups.value(name)) {
                if (!e.path.isEmpty()) {
                    deeper << e;
                    continue;
                }
                descend();
                if (e.remove)
                    state.reset();
                else
                    state.emplace(e.id, e.mode);
            }
            descend();
            if (state)
                check(git_treebuilder_insert(nullptr, builder, name.constData(), &state->first,
                                             state->second));
            else if (git_treebuilder_get(builder, name.constData()))
                check(git_treebuilder_remove(builder, name.constData()));
        }
        if (baseId && git_treebuilder_entrycount(builder) == 0)
            return std::nullopt;
        if (!baseId && git_treebuilder_entrycount(builder) == 0 && !order.isEmpty())
            return std::nullopt;
        git_oid out;
        check(git_treebuilder_write(&out, builder));
        return out;
    }

    git_oid treeWith(const QList<Edit> &edits)
    {
        if (const std::optional<git_oid> id = apply(hasHead ? &headTree : nullptr, edits))
            return *id;
        Builder empty;
        check(git_treebuilder_new(empty.out(), w, nullptr));
        git_oid id;
        check(git_treebuilder_write(&id, empty));
        return id;
    }

    // Writes the commit of edits on top of the head; the zero id when nothing changed, unless
    // always (an undo or redo is a commit even where the files needed nothing).
    git_oid makeCommit(const QList<Edit> &edits, const QString &summary, const QString &trailer,
                       qint64 when = -1, bool always = false)
    {
        git_oid zero{};
        if (edits.isEmpty() && hasHead && !always)
            return zero;
        const git_oid treeId = treeWith(edits);
        if (hasHead && git_oid_equal(&treeId, &headTree) && !always)
            return zero;
        Tree tree;
        check(git_tree_lookup(tree.out(), w, &treeId));
        Signature who;
        if (when < 0) {
            check(git_signature_now(who.out(), "Vandrel", "vandrel@localhost"));
        } else {
            const int offset = QDateTime::fromSecsSinceEpoch(when).offsetFromUtc() / 60;
            check(git_signature_new(who.out(), "Vandrel", "vandrel@localhost", git_time_t(when),
                                    offset));
        }
        Commit parent;
        if (hasHead)
            check(git_commit_lookup(parent.out(), w, &head));
        const git_commit *parents[] = {parent.get()};
        const QByteArray message =
            (trailer.isEmpty() ? summary + u'\n'
                               : summary + QStringLiteral("\n\n") + trailer + u'\n')
                .toUtf8();
        git_oid id;
        check(git_commit_create(&id, w, nullptr, who, who, "UTF-8", message.constData(), tree,
                                hasHead ? 1 : 0, parents));
        return id;
    }

    // The branch as it is in the repository now: another program may have committed since.
    void readHead()
    {
        git_oid id;
        const int rc = git_reference_name_to_id(&id, repo, Branch);
        if (rc == GIT_ENOTFOUND) {
            hasHead = false;
            return;
        }
        check(rc);
        if (!hasHead || !git_oid_equal(&id, &head))
            setHead(id);
    }

    // The commit id is the head from now on.
    void setHead(const git_oid &id)
    {
        Commit commit;
        check(git_commit_lookup(commit.out(), repo, &id));
        head = id;
        headTree = *git_commit_tree_id(commit);
        hasHead = true;
    }

    // Moves the branch to id only if it still is the head id was built on (or, for the first
    // commit, there is none yet); false when another program moved it first.
    bool advance(const git_oid &id)
    {
        QElapsedTimer waiting;
        waiting.start();
        for (;;) {
            Reference ref;
            const int rc = hasHead ? git_reference_create_matching(ref.out(), repo, Branch, &id, 1,
                                                                   &head, nullptr)
                                   : git_reference_create(ref.out(), repo, Branch, &id, 0, nullptr);
            if (rc == GIT_EMODIFIED || rc == GIT_EEXISTS)
                return false;
            if (rc == GIT_ELOCKED && waiting.elapsed() < 30000) {
                // Another program is moving it this moment; a killed one left its lock.
                const QString lock = repoPath + QStringLiteral("/refs/heads/main.lock");
                const QDateTime since = QFileInfo(lock).lastModified();
                if (since.isValid() && since.msecsTo(QDateTime::currentDateTime()) > StaleRefLockMs)
                    QFile::remove(lock);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            check(rc);
            break;
        }
        setHead(id);
        return true;
    }

    // Commits the edits build makes on the branch's head as the repository has it now; when
    // another program committed meanwhile, they are made again on its commit, so that neither
    // loses the other's. The zero id when nothing changed.
    git_oid commitOnHead(const std::function<QList<Edit>()> &build, const QString &summary,
                         const QString &trailer, bool bulk = false, bool always = false)
    {
        for (int attempt = 0;; ++attempt) {
            readHead();
            if (bulk)
                beginBulk();
            const git_oid id = makeCommit(build(), summary, trailer, -1, always);
            if (bulk)
                endBulk();
            if (git_oid_is_zero(&id) || advance(id))
                return id;
            if (attempt == 100)
                throw GitFailure{QStringLiteral("다른 프로그램이 이력을 계속 바꾸고 있습니다"),
                                 GIT_ERROR_REFERENCE};
        }
    }

    // The tree of the folder rel as it is on disk now (its tracked files); nullopt when none.
    std::optional<git_oid> treeFromDisk(const QString &rel)
    {
        QList<Edit> edits;
        for (const RecordWalk::Folder &folder :
             RecordWalk::Walk(absOf(rel), {true, false, nullptr})) {
            const QString dir = QDir::fromNativeSeparators(folder.rel);
            for (const QString &file : folder.files) {
                const QString inner = joinRel(dir, file);
                if (!tracked(joinRel(rel, inner)))
                    continue;
                if (const std::optional<git_oid> id = blobFromDisk(joinRel(rel, inner)))
                    edits << upsert(inner, *id);
            }
        }
        if (edits.isEmpty())
            return std::nullopt;
        return apply(nullptr, edits);
    }

    static bool skipped(const QString &rel, const QSet<QString> &skip)
    {
        for (QString at = rel; !at.isEmpty(); at = parentOf(at))
            if (skip.contains(at))
                return true;
        return false;
    }

    // What differs between the folder relDir on disk and sub, its tree in the head (may be
    // null): its files, its companion folders whole, folders that came or went. Folders in
    // both are not gone into.
    void compareFolder(const QString &relDir, const git_tree *sub, const QSet<QString> &skip,
                       QList<Edit> &edits)
    {
        const QString path = absOf(relDir);
        const qint64 started = QDateTime::currentMSecsSinceEpoch();
        // Two seconds for file systems whose times are coarse.
        const qint64 unchangedBefore = compared.value(relDir, walkStart()) - 2000;
        // What holds for every entry is worked out once: many folders hold hundreds of records.
        if (skipped(relDir, skip))
            return;
        const bool inCompanionDir = companionDir(relDir);
        QSet<QString> seen;
        const bool readable =
            DirectoryListing::forEach(path, [&](const DirectoryListing::Entry &e) {
                if (e.name.startsWith(u'.') || !e.rawName.isEmpty())
                    return true;
                const QString rel = joinRel(relDir, e.name);
                seen.insert(e.name);
                if (skip.contains(rel))
                    return true;
                const QByteArray name = e.name.toUtf8();
                const git_tree_entry *known =
                    sub ? git_tree_entry_byname(sub, name.constData()) : nullptr;
                if (e.isFile) {
                    if (!inCompanionDir && !RecordStore::IsRecordFileName(e.name)
                        && e.name != FolderRecordName)
                        return true;
                    const bool knownBlob = known && git_tree_entry_type(known) == GIT_OBJECT_BLOB;
                    const std::optional<git_oid> id = hashOnDisk(
                        rel, unchangedBefore, knownBlob ? git_tree_entry_id(known) : nullptr);
                    if (!id)
                        return true;
                    if (knownBlob && git_oid_equal(git_tree_entry_id(known), &*id))
                        return true;
                    if (const std::optional<git_oid> written = blobFromDisk(rel))
                        edits << upsert(rel, *written);
                } else if (e.isDir) {
                    const bool knownTree = known && git_tree_entry_type(known) == GIT_OBJECT_TREE;
                    if (e.name.startsWith(u"__") || inCompanionDir) {
                        Tree inner;
                        if (knownTree)
                            check(git_tree_lookup(inner.out(), w, git_tree_entry_id(known)));
                        compareFolder(rel, inner, skip, edits);
                    } else if (!knownTree) {
                        if (const std::optional<git_oid> id = treeFromDisk(rel))
                            edits << upsert(rel, *id, GIT_FILEMODE_TREE);
                    }
                }
                return true;
            });
        if (!readable) {
            if (!relDir.isEmpty() && sub && !QFileInfo::exists(path))
                edits << removal(relDir);
            return;
        }
        compared.insert(relDir, started);
        if (!sub)
            return;
        for (size_t i = 0, n = git_tree_entrycount(sub); i < n; ++i) {
            const QString name =
                QString::fromUtf8(git_tree_entry_name(git_tree_entry_byindex(sub, i)));
            const QString rel = joinRel(relDir, name);
            if (!seen.contains(name) && !skip.contains(rel))
                edits << removal(rel);
        }
    }

    QList<Edit> outsideEdits(const QSet<QString> &folders, const QSet<QString> &skip)
    {
        QList<Edit> edits;
        if (!hasHead)
            return edits;
        Tree top;
        check(git_tree_lookup(top.out(), w, &headTree));
        for (const QString &folder : folders) {
            if (hiddenRel(folder))
                continue;
            Tree sub;
            if (folder.isEmpty()) {
                check(git_tree_lookup(sub.out(), w, &headTree));
            } else {
                TreeEntry entry;
                if (git_tree_entry_bypath(entry.out(), top, folder.toUtf8().constData()) == 0
                    && git_tree_entry_type(entry) == GIT_OBJECT_TREE)
                    check(git_tree_lookup(sub.out(), w, git_tree_entry_id(entry)));
            }
            if (!sub && !QFileInfo(absOf(folder)).isDir())
                continue;
            if (!sub) {
                // A folder the history does not know yet: what it holds came from elsewhere.
                if (!skipped(folder, skip))
                    if (const std::optional<git_oid> id = treeFromDisk(folder))
                        edits << upsert(folder, *id, GIT_FILEMODE_TREE);
                continue;
            }
            compareFolder(folder, sub, skip, edits);
        }
        return edits;
    }

    std::optional<git_oid> entryId(const QString &rel)
    {
        if (!hasHead || rel.isEmpty())
            return std::nullopt;
        Tree top;
        check(git_tree_lookup(top.out(), w, &headTree));
        return idAt(top, rel);
    }

    QList<Edit> operationEdits(const QList<RelChange> &changes)
    {
        using K = RecordStore::Change;
        QList<Edit> edits;
        const auto fromDisk = [&](const QString &rel) {
            const QFileInfo info(absOf(rel));
            if (info.isDir()) {
                if (const std::optional<git_oid> id = treeFromDisk(rel))
                    edits << upsert(rel, *id, GIT_FILEMODE_TREE);
                else
                    edits << removal(rel);
            } else if (info.isFile()) {
                if (tracked(rel))
                    if (const std::optional<git_oid> id = blobFromDisk(rel))
                        edits << upsert(rel, *id);
            } else {
                edits << removal(rel);
            }
        };
        for (const RelChange &c : changes) {
            switch (c.kind) {
            case K::Added:
            case K::Changed: fromDisk(c.path); break;
            case K::Removed:
                edits << removal(c.path);
                if (!c.folder && isRecordFile(c.path))
                    edits << removal(RecordStore::CompanionFolder(c.path));
                break;
            case K::Renamed:
                if (c.folder) {
                    const std::optional<git_oid> id = entryId(c.oldPath);
                    edits << removal(c.oldPath);
                    if (id && QFileInfo(absOf(c.path)).isDir())
                        edits << upsert(c.path, *id, GIT_FILEMODE_TREE); // the same files
                    else
                        fromDisk(c.path);
                } else {
                    edits << removal(c.oldPath);
                    fromDisk(c.path);
                    if (isRecordFile(c.oldPath))
                        edits << removal(RecordStore::CompanionFolder(c.oldPath));
                    if (isRecordFile(c.path)) {
                        const QString companion = RecordStore::CompanionFolder(c.path);
                        if (QFileInfo(absOf(companion)).isDir())
                            fromDisk(companion);
                        else
                            edits << removal(companion);
                    }
                }
                break;
            }
        }
        return edits;
    }

    void process(const Task &task)
    {
        if (!ensureOpen()) {
            deferred.clear();
            return;
        }
        try {
            const bool others = scanSessions();
            if (task.kind == Task::Start || task.kind == Task::ReadSteps) {
                recoverKilled({});
                if (!deferred.isEmpty())
                    lookOutside({}, {}, others);
                return;
            }
            if (task.kind == Task::Look) {
                recoverKilled({});
                QSet<QString> folders;
                for (const QString &rel : task.paths)
                    folders << (rel.isEmpty() || QFileInfo(absOf(rel)).isDir() ? rel
                                                                               : parentOf(rel));
                lookOutside(folders, {}, others);
                return;
            }
            QSet<QString> skip, folders;
            for (const RelChange &c : task.changes)
                for (const QString &p : {c.path, c.oldPath}) {
                    if (p.isEmpty())
                        continue;
                    skip << p;
                    if (isRecordFile(p))
                        skip << RecordStore::CompanionFolder(p);
                    folders << parentOf(p);
                }
            // The operation's own files are as it left them: what the last run did not commit
            // of them is gone.
            recoverKilled(skip);
            lookOutside(folders, skip, others);
            QString trailer = changesTrailer(task.changes);
            if (task.tag != 0)
                trailer += u'\n' + (task.tag == 1 ? UndoesMarker : RedoesMarker) + task.target;
            commitOnHead([&] { return operationEdits(task.changes); },
                         describe(task.changes, task.description), trailer,
                         task.changes.size() > BulkEdits, task.tag != 0);
        } catch (const GitFailure &f) {
            abandonBulk();
            failed(f);
        }
    }

    // Commits what others changed in folders. While another history is open (a command line
    // beside the window) what changes there may be its operation, which it commits itself: the
    // folders wait until it has closed.
    void lookOutside(QSet<QString> folders, const QSet<QString> &skip, bool others)
    {
        if (others) {
            deferred.unite(folders);
            return;
        }
        folders.unite(deferred);
        deferred.clear();
        commitOnHead([&] { return outsideEdits(folders, skip); }, OutsideMessage, {});
    }

    // What undo and redo would take next, read from the history back from the head: the newest
    // operation no later commit undoes, and the last operation undone since the last one made.
    Steps readSteps() const
    {
        Steps s;
        s.known = true;
        if (!hasHead)
            return s;
        QSet<QString> undone;
        int oldUndos = 0;
        // The undos, redos and others' changes since the last operation, newest first.
        QList<CommitKind> recent;
        bool inRecent = true;
        git_oid at = head;
        while (!s.undo || inRecent) {
            Commit commit;
            if (git_commit_lookup(commit.out(), repo, &at) < 0)
                break;
            const CommitKind kind = kindOf(commit);
            const QString id = idText(at);
            if (inRecent) {
                if (kind.kind == CommitKind::Undo || kind.kind == CommitKind::Redo
                    || kind.kind == CommitKind::Outside)
                    recent << kind;
                else
                    inRecent = false;
            }
            if (!s.undo) {
                if (kind.kind == CommitKind::Undo) {
                    undone << kind.target;
                } else if (kind.kind == CommitKind::OldUndo) {
                    ++oldUndos;
                } else if ((kind.kind == CommitKind::Operation || kind.kind == CommitKind::Redo)
                           && !undone.contains(id)) {
                    if (oldUndos > 0)
                        --oldUndos;
                    else
                        s.undo = Step{id, kind.text};
                }
            }
            if (git_commit_parentcount(commit) == 0)
                break;
            at = *git_commit_parent_id(commit, 0);
        }
        QStringList redoable;
        for (auto it = recent.crbegin(); it != recent.crend(); ++it) {
            if (it->kind == CommitKind::Undo)
                redoable << it->target;
            else if (it->kind == CommitKind::Redo)
                redoable.removeAll(it->target);
        }
        Commit target;
        const std::optional<git_oid> id =
            redoable.isEmpty() ? std::nullopt : idFrom(redoable.last());
        if (id && git_commit_lookup(target.out(), repo, &*id) == 0)
            s.redo = Step{redoable.last(), kindOf(target).text};
        return s;
    }

    // Reads the steps again when the head moved since, and tells when they changed.
    void refreshSteps()
    {
        if (!opened || !on)
            return;
        try {
            readHead();
            if (!hasHead)
                return;
            {
                const std::lock_guard lock(stateMutex);
                if (steps.known && git_oid_equal(&stepsHead, &head))
                    return;
            }
            const Steps now = readSteps();
            stepsHead = head;
            {
                const std::lock_guard lock(stateMutex);
                if (steps == now)
                    return;
                steps = now;
            }
            postUndoChanged();
        } catch (const GitFailure &f) {
            failed(f);
        }
    }

    QByteArray blobBytes(const git_oid &id) const
    {
        Blob blob;
        if (git_blob_lookup(blob.out(), repo, &id) < 0)
            return {};
        return QByteArray(static_cast<const char *>(git_blob_rawcontent(blob)),
                          qsizetype(git_blob_rawsize(blob)));
    }

    std::optional<git_oid> idAt(const git_tree *tree, const QString &rel) const
    {
        if (!tree || rel.isEmpty())
            return std::nullopt;
        TreeEntry entry;
        if (git_tree_entry_bypath(entry.out(), tree, rel.toUtf8().constData()) < 0)
            return std::nullopt;
        return *git_tree_entry_id(entry);
    }

    // How to take the disk from one side of commit to the other: back to its parent (undo) or
    // forward to it (redo).
    std::optional<Plan> plan(const QString &commitId, bool back, QString *why) const
    {
        using K = RecordStore::Change;
        const std::optional<git_oid> id = idFrom(commitId);
        Commit commit, parent;
        if (!id || git_commit_lookup(commit.out(), repo, &*id) < 0) {
            *why = QStringLiteral("이력에서 그 작업을 찾지 못했습니다.");
            return std::nullopt;
        }
        if (git_commit_parentcount(commit) != 1 || git_commit_parent(parent.out(), commit, 0) < 0) {
            *why = QStringLiteral("이력의 처음 상태는 되돌릴 수 없습니다.");
            return std::nullopt;
        }
        Tree here, before;
        if (git_commit_tree(here.out(), commit) < 0 || git_commit_tree(before.out(), parent) < 0) {
            *why = QStringLiteral("이력을 읽지 못했습니다.");
            return std::nullopt;
        }
        Plan p;
        p.commit = commitId;
        const QList<RelChange> recorded =
            parseTrailer(QString::fromUtf8(git_commit_message(commit)));
        if (back) {
            for (auto it = recorded.crbegin(); it != recorded.crend(); ++it) {
                RelChange c = *it;
                if (c.kind == K::Added)
                    c.kind = K::Removed;
                else if (c.kind == K::Removed)
                    c.kind = K::Added;
                else if (c.kind == K::Renamed)
                    std::swap(c.path, c.oldPath);
                p.changes << c;
            }
        } else {
            p.changes = recorded;
        }
        const git_tree *source = back ? here.get() : before.get();
        const git_tree *target = back ? before.get() : here.get();
        Diff diff;
        if (git_diff_tree_to_tree(diff.out(), repo, const_cast<git_tree *>(source),
                                  const_cast<git_tree *>(target), nullptr)
            < 0) {
            *why = QStringLiteral("이력을 읽지 못했습니다.");
            return std::nullopt;
        }
        QSet<QString> folders;
        for (size_t i = 0, n = git_diff_num_deltas(diff); i < n; ++i) {
            const git_diff_delta *delta = git_diff_get_delta(diff, i);
            if (delta->status == GIT_DELTA_DELETED) {
                const QString rel = QString::fromUtf8(delta->old_file.path);
                p.files.append({rel, std::nullopt});
                folders << parentOf(rel);
            } else {
                const QString rel = QString::fromUtf8(delta->new_file.path);
                p.files.append({rel, blobBytes(delta->new_file.id)});
                folders << parentOf(rel);
            }
        }
        for (const RelChange &c : std::as_const(p.changes))
            for (const QString &path : {c.path, c.oldPath})
                if (!path.isEmpty())
                    folders << parentOf(path);
        p.folders = folders.values();
        return p;
    }

    // Undoes (back) or redoes the operation the history names next, through the store, as a
    // commit of its own; "" or what to tell the user.
    QString step(bool back)
    {
        if (!openForReading()) {
            const std::lock_guard lock(stateMutex);
            return on ? QStringLiteral("이력을 읽지 못했습니다.") : offReason;
        }
        std::optional<Step> target;
        std::optional<Plan> p;
        QString why;
        {
            const std::lock_guard lock(repoMutex);
            try {
                // What it writes may be its own operation, not yet in the history.
                if (scanSessions())
                    return QStringLiteral("다른 Vandrel(명령줄의 가져오기나 동기화)이 이 자료 "
                                          "폴더를 바꾸고 있습니다. 끝난 뒤에 다시 하십시오.");
                readHead();
                const Steps now = readSteps();
                target = back ? now.undo : now.redo;
            } catch (const GitFailure &f) {
                return f.message;
            }
            if (!target)
                return back ? QStringLiteral("실행 취소할 작업이 없습니다.")
                            : QStringLiteral("다시 실행할 작업이 없습니다.");
            p = plan(target->commit, back, &why);
        }
        if (!p)
            return why;
        // What others changed there is kept before it is overwritten.
        look(p->folders, true);
        q->Flush();
        const int tag = back ? 1 : 2;
        const QString description = (back ? UndoPrefix : RedoPrefix) + target->text;
        applyingTarget = target->commit;
        applyingTold = false;
        why = carryOut(*p, tag, description);
        if (!applyingTold) {
            // Nothing needed doing; it is still a commit, which names what it took back.
            Task task{Task::Changes, {}, description, tag, {}};
            task.target = target->commit;
            enqueue(std::move(task));
        }
        q->Flush();
        return why;
    }

    // Makes the plan so on disk through the store; "" or what went wrong.
    QString carryOut(const Plan &p, int tag, const QString &description)
    {
        using K = RecordStore::Change;
        applyingThread = QThread::currentThread();
        applyingTag = tag;
        const auto reset = qScopeGuard([this] { applyingThread = nullptr; });
        QString problem;
        try {
            RecordStore::Operation operation(description);
            for (const RelChange &c : p.changes) {
                if (c.kind == K::Renamed) {
                    // A file moved between companion folders (a merge) comes back under its
                    // own name with the files below; a move would keep the name it was given.
                    if (inCompanion(c.path) || inCompanion(c.oldPath))
                        continue;
                    const QString from = absOf(c.oldPath), to = absOf(c.path);
                    if (!QFileInfo::exists(from) || QFileInfo::exists(to))
                        continue;
                    if (parentOf(c.path) == parentOf(c.oldPath)) {
                        const auto stem = [&](const QString &rel) {
                            const QString name = nameOf(rel);
                            return c.folder ? name : name.left(name.size() - 4);
                        };
                        QString warning;
                        const QString error =
                            RecordStore::Rename(Paths::WithSeparator(absOf(parentOf(c.path))),
                                                stem(c.oldPath), stem(c.path), !c.folder, &warning);
                        if (!error.isEmpty())
                            problem = error;
                    } else if (!RecordStore::Move(from, absOf(parentOf(c.path)))) {
                        problem = QStringLiteral("%1을(를) 옮기지 못했습니다.").arg(c.oldPath);
                    }
                } else if (c.kind == K::Added && c.folder && !companionDir(c.path)
                           && !QFileInfo(absOf(c.path)).isDir()) {
                    // A companion folder comes back with its files.
                    RecordStore::MakeFolders(absOf(parentOf(c.path)), {nameOf(c.path)});
                }
            }
            QStringList emptied;
            for (const auto &[rel, bytes] : p.files) {
                if (bytes) {
                    RecordStore::RestoreFile(absOf(rel), *bytes);
                } else {
                    RecordStore::RemoveFile(absOf(rel));
                    if (inCompanion(rel))
                        emptied << parentOf(rel);
                }
            }
            for (auto it = p.changes.crbegin(); it != p.changes.crend(); ++it)
                if (it->kind == K::Removed && it->folder)
                    emptied << it->path;
            // Deepest first, so that a folder emptied of its folders goes too.
            std::sort(emptied.begin(), emptied.end(),
                      [](const QString &a, const QString &b) { return a.size() > b.size(); });
            for (const QString &rel : std::as_const(emptied)) {
                const QString path = absOf(rel);
                if (!rel.isEmpty() && QFileInfo(path).isDir()
                    && QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System
                                          | QDir::NoDotAndDotDot))
                    RecordStore::ShellFileOperation(path, QString(), RecordStore::FoDelete,
                                                    RecordStore::FofNoConfirmation);
            }
        } catch (const VandrelError &e) {
            problem = e.message();
        }
        return problem;
    }
};

History::History(const QString &dataDir, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Impl>())
{
    d->q = this;
    d->root = QDir::cleanPath(QDir::fromNativeSeparators(QDir(dataDir).absolutePath()));
    d->repoPath = d->root + u'/' + RepositoryName;
    d->sessions = d->repoPath + QStringLiteral("/vandrel-sessions");
    d->token = QStringLiteral("%1-%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    d->journal = d->sessions + u'/' + d->token + QStringLiteral(".pending");
    if (dataDir.isEmpty() || !QFileInfo(d->root).isDir()) {
        d->on = false;
        d->offReason = QStringLiteral("자료 폴더가 없습니다");
        d->steps.known = true;
        return;
    }
    const bool exists = QFileInfo(d->repoPath).isDir();
    if (exists)
        d->openSession();
    else
        d->steps.known = true; // a new history has nothing to undo
    connect(&RecordStore::Notifier::Instance(), &RecordStore::Notifier::changed, this,
            &History::Receive, Qt::DirectConnection);
    d->worker = std::thread([impl = d.get()] { impl->run(); });
    // What a killed history left uncommitted is looked at now, before the next save overwrites
    // it; and another open one (a command line) is kept apart from the start.
    if (exists && d->othersMayBeThere())
        d->enqueue({Impl::Task::Start, {}, {}, 0, {}});
    // The first history of a data directory is made at once, in the background, as a job that
    // shows its progress; the worker's first task waits for it.
    if (!exists) {
        d->snapshotStarter = Job::start(QStringLiteral("이력"), [impl = d.get()](Job &job) {
            const std::lock_guard lock(impl->repoMutex);
            impl->snapshotJob = &job;
            impl->ensureOpen();
            impl->snapshotJob = nullptr;
        });
        d->enqueue({Impl::Task::Start, {}, {}, 0, {}});
    }
}

History::~History()
{
    disconnect(&RecordStore::Notifier::Instance(), nullptr, this, nullptr);
    d->closing = true;
    if (d->snapshotStarter)
        d->snapshotStarter->waitForWork();
    if (d->worker.joinable()) {
        {
            const std::lock_guard lock(d->queueMutex);
            d->stopping = true;
        }
        d->queueWake.notify_all();
        d->worker.join();
    }
    // Closed: the lock goes, and with it what others waited for.
    d->adopted.clear();
    d->session.reset();
}

QString History::UserRepository(const QString &dataDir)
{
    initGit();
    git_buf found = GIT_BUF_INIT;
    const auto cleanup = qScopeGuard([&] { git_buf_dispose(&found); });
    const QByteArray start = QDir(dataDir).absolutePath().toUtf8();
    if (git_repository_discover(&found, start.constData(), 0, nullptr) < 0)
        return {};
    QString path = QDir::cleanPath(QString::fromUtf8(found.ptr, qsizetype(found.size)));
    // Our own repository is no working tree of anybody's.
    if (path.endsWith(u'/' + RepositoryName) || path.contains(u'/' + RepositoryName + u'/'))
        return {};
    // A data directory that repository ignores (a build folder) is not versioned by it.
    Repo user;
    if (git_repository_open_ext(user.out(), found.ptr, GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) == 0
        && !git_repository_is_bare(user)) {
        const QString work = QDir::cleanPath(QString::fromUtf8(git_repository_workdir(user)));
        const QString inside = QDir(work).relativeFilePath(QDir(dataDir).absolutePath());
        int ignored = 0;
        if (!inside.isEmpty() && inside != u"." && !inside.startsWith(QStringLiteral(".."))
            && git_ignore_path_is_ignored(&ignored, user, (inside + u'/').toUtf8().constData()) == 0
            && ignored)
            return {};
    }
    if (path.endsWith(QStringLiteral("/.git")))
        path.chop(5);
    return QDir::toNativeSeparators(path);
}

QString History::Note(const QString &dataDir)
{
    const QString user = UserRepository(dataDir);
    if (user.isEmpty())
        return {};
    return QStringLiteral("자료 폴더가 git 작업 트리(%1) 안에 있어 Vandrel은 따로 이력을 남기지 "
                          "않습니다. 실행 취소와 자료 이력도 쓸 수 없습니다.")
        .arg(user);
}

QString History::DataDir() const
{
    return Paths::Native(d->root);
}

bool History::IsOn() const
{
    return d->on;
}

QString History::OffReason() const
{
    const std::lock_guard lock(d->stateMutex);
    return d->offReason;
}

void History::Flush()
{
    if (d->worker.joinable())
        d->flush();
}

void History::LookAt(const QString &path)
{
    LookAt(QStringList{path});
}

void History::LookAt(const QStringList &paths)
{
    QStringList rels;
    for (const QString &path : paths) {
        const QString rel = d->relOf(path);
        if ((!rel.isEmpty() || QDir::cleanPath(QDir::fromNativeSeparators(path)) == d->root)
            && !hiddenRel(rel))
            rels << rel;
    }
    d->look(rels, false);
}

void History::Receive(const QList<RecordStore::Change> &changes, const QString &description)
{
    if (!d->on)
        return;
    QList<RelChange> own;
    for (const RecordStore::Change &c : changes) {
        RelChange r{c.kind, d->relOf(c.path), d->relOf(c.oldPath), c.folder};
        if (c.kind == RecordStore::Change::Renamed) {
            // Moved in from elsewhere, or out of the data directory.
            if (r.oldPath.isEmpty())
                r.kind = RecordStore::Change::Added;
            else if (r.path.isEmpty())
                r = {RecordStore::Change::Removed, r.oldPath, {}, c.folder};
        }
        if (r.path.isEmpty() || hiddenRel(r.path) || hiddenRel(r.oldPath))
            continue;
        own << r;
    }
    if (own.isEmpty())
        return;
    Impl::Task task{Impl::Task::Changes, own, description, 0, {}};
    if (QThread::currentThread() == d->applyingThread.load()) {
        task.tag = d->applyingTag;
        task.target = d->applyingTarget;
        d->applyingTold = true;
    }
    d->noteAndQueue(std::move(task));
}

bool History::CanUndo() const
{
    const std::lock_guard lock(d->stateMutex);
    return d->on && (!d->steps.known || d->steps.undo);
}

bool History::CanRedo() const
{
    const std::lock_guard lock(d->stateMutex);
    return d->on && (!d->steps.known || d->steps.redo);
}

QString History::UndoText() const
{
    const std::lock_guard lock(d->stateMutex);
    return d->steps.undo ? d->steps.undo->text : QString();
}

QString History::RedoText() const
{
    const std::lock_guard lock(d->stateMutex);
    return d->steps.redo ? d->steps.redo->text : QString();
}

void History::ReadUndo()
{
    if (d->on && d->worker.joinable())
        d->enqueue({Impl::Task::ReadSteps, {}, {}, 0, {}});
}

QString History::Undo()
{
    const QString why = d->step(true);
    emit undoChanged();
    return why;
}

QString History::Redo()
{
    const QString why = d->step(false);
    emit undoChanged();
    return why;
}

QList<History::Version> History::Versions(const QString &path) const
{
    QList<Version> out;
    if (!d->openForReading())
        return out;
    const std::lock_guard lock(d->repoMutex);
    QString current = d->relOf(path);
    git_oid at = d->head;
    for (;;) {
        Commit commit;
        if (git_commit_lookup(commit.out(), d->repo, &at) < 0)
            break;
        Tree tree;
        if (git_commit_tree(tree.out(), commit) < 0)
            break;
        Commit parent;
        Tree before;
        const bool hasParent = git_commit_parentcount(commit) > 0
                               && git_commit_parent(parent.out(), commit, 0) == 0
                               && git_commit_tree(before.out(), parent) == 0;
        // Where the record was before this commit.
        QString earlier = current;
        const QString message = QString::fromUtf8(git_commit_message(commit));
        for (const RelChange &c : parseTrailer(message)) {
            if (c.kind != RecordStore::Change::Renamed)
                continue;
            if (c.path == earlier)
                earlier = c.oldPath;
            else if (c.folder && earlier.startsWith(c.path + u'/'))
                earlier = c.oldPath + earlier.mid(c.path.size());
        }
        const std::optional<git_oid> now = d->idAt(tree, current);
        std::optional<git_oid> then = hasParent ? d->idAt(before, earlier) : std::nullopt;
        if (hasParent && now && !then && summaryOf(commit) == OutsideMessage) {
            // Renamed or moved by another program: the record that went has the same identity.
            const QString uid = Record::UidFromBytes(d->blobBytes(*now));
            Diff diff;
            if (!uid.isEmpty()
                && git_diff_tree_to_tree(diff.out(), d->repo, before, tree, nullptr) == 0) {
                for (size_t i = 0, n = git_diff_num_deltas(diff); i < n; ++i) {
                    const git_diff_delta *delta = git_diff_get_delta(diff, i);
                    const QString old = QString::fromUtf8(delta->old_file.path);
                    if (delta->status == GIT_DELTA_DELETED && isRecordFile(old)
                        && Record::UidFromBytes(d->blobBytes(delta->old_file.id)) == uid) {
                        earlier = old;
                        then = delta->old_file.id;
                        break;
                    }
                }
            }
        }
        if (now && (!then || !git_oid_equal(&*now, &*then)))
            out.append({idText(at), QDateTime::fromSecsSinceEpoch(git_commit_time(commit)),
                        summaryOf(commit), current, d->blobBytes(*now)});
        if (!hasParent)
            break;
        current = earlier;
        at = *git_commit_id(parent);
    }
    return out;
}

QList<History::Deleted> History::DeletedRecords(const QDateTime &since) const
{
    QList<Deleted> out;
    if (!d->openForReading())
        return out;
    const std::lock_guard lock(d->repoMutex);
    QSet<QString> listed;
    git_oid at = d->head;
    for (;;) {
        Commit commit, parent;
        Tree tree, before;
        if (git_commit_lookup(commit.out(), d->repo, &at) < 0 || git_commit_parentcount(commit) == 0
            || git_commit_parent(parent.out(), commit, 0) < 0
            || git_commit_tree(tree.out(), commit) < 0 || git_commit_tree(before.out(), parent) < 0)
            break;
        const QDateTime when = QDateTime::fromSecsSinceEpoch(git_commit_time(commit));
        if (when < since)
            break;
        QSet<QString> movedAway;
        for (const RelChange &c : parseTrailer(QString::fromUtf8(git_commit_message(commit))))
            if (c.kind == RecordStore::Change::Renamed)
                movedAway << c.oldPath;
        Diff diff;
        if (git_diff_tree_to_tree(diff.out(), d->repo, before, tree, nullptr) == 0) {
            for (size_t i = 0, n = git_diff_num_deltas(diff); i < n; ++i) {
                const git_diff_delta *delta = git_diff_get_delta(diff, i);
                const QString rel = QString::fromUtf8(delta->old_file.path);
                if (delta->status != GIT_DELTA_DELETED || !isRecordFile(rel) || inCompanion(rel)
                    || listed.contains(rel) || Impl::skipped(rel, movedAway)
                    || QFileInfo::exists(d->absOf(rel)))
                    continue;
                listed << rel;
                out.append({rel, when, idText(*git_commit_id(parent)), summaryOf(commit)});
            }
        }
        at = *git_commit_id(parent);
    }
    return out;
}

QString History::RestoreDeleted(const Deleted &record, QString *restored)
{
    if (!d->openForReading())
        return QStringLiteral("자료 이력을 쓸 수 없습니다.");
    QByteArray bytes;
    QList<std::pair<QString, QByteArray>> companion;
    {
        const std::lock_guard lock(d->repoMutex);
        const std::optional<git_oid> id = idFrom(record.commit);
        Commit commit;
        Tree tree;
        if (!id || git_commit_lookup(commit.out(), d->repo, &*id) < 0
            || git_commit_tree(tree.out(), commit) < 0)
            return QStringLiteral("이력에서 그 자료를 찾지 못했습니다.");
        const std::optional<git_oid> blob = d->idAt(tree, record.path);
        if (!blob)
            return QStringLiteral("이력에서 그 자료를 찾지 못했습니다.");
        bytes = d->blobBytes(*blob);
        TreeEntry entry;
        Tree sub;
        const QByteArray dir = RecordStore::CompanionFolder(record.path).toUtf8();
        if (git_tree_entry_bypath(entry.out(), tree, dir.constData()) == 0
            && git_tree_entry_type(entry) == GIT_OBJECT_TREE
            && git_tree_lookup(sub.out(), d->repo, git_tree_entry_id(entry)) == 0) {
            struct Walk
            {
                Impl *d;
                QList<std::pair<QString, QByteArray>> *out;
            } walk{d.get(), &companion};
            git_tree_walk(
                sub, GIT_TREEWALK_PRE,
                [](const char *root, const git_tree_entry *e, void *payload) {
                    auto *w = static_cast<Walk *>(payload);
                    if (git_tree_entry_type(e) == GIT_OBJECT_BLOB)
                        w->out->append(
                            {QString::fromUtf8(root) + QString::fromUtf8(git_tree_entry_name(e)),
                             w->d->blobBytes(*git_tree_entry_id(e))});
                    return 0;
                },
                &walk);
        }
    }
    const QStringList folders = parentOf(record.path).split(u'/', Qt::SkipEmptyParts);
    try {
        RecordStore::Operation operation(QStringLiteral("되살리기: %1").arg(shown(record.path)));
        const QString folder = RecordStore::MakeFolders(d->absOf(QString()), folders);
        const QString name = nameOf(record.path);
        const QString stem = RecordStore::FreeRecordName(folder, name.left(name.size() - 4));
        const QString file = Paths::Join(folder, stem + name.right(4));
        RecordStore::RestoreFile(file, bytes);
        const QString companionDir = RecordStore::CompanionFolder(file);
        for (const auto &[rel, content] : std::as_const(companion))
            RecordStore::RestoreFile(Paths::Join(companionDir, Paths::Native(rel)), content);
        if (restored)
            *restored = file;
    } catch (const VandrelError &e) {
        return e.message();
    }
    return {};
}

QStringList History::Log(int max) const
{
    QStringList out;
    if (!d->openForReading())
        return out;
    const std::lock_guard lock(d->repoMutex);
    git_oid at = d->head;
    while (out.size() < max) {
        Commit commit;
        if (git_commit_lookup(commit.out(), d->repo, &at) < 0)
            break;
        out << summaryOf(commit);
        if (git_commit_parentcount(commit) == 0)
            break;
        at = *git_commit_parent_id(commit, 0);
    }
    return out;
}

QByteArray History::FileAt(const QString &path, const QString &commit) const
{
    if (!d->openForReading())
        return {};
    const std::lock_guard lock(d->repoMutex);
    const std::optional<git_oid> id = commit.isEmpty() ? std::optional(d->head) : idFrom(commit);
    Commit c;
    Tree tree;
    if (!id || git_commit_lookup(c.out(), d->repo, &*id) < 0 || git_commit_tree(tree.out(), c) < 0)
        return {};
    const std::optional<git_oid> blob = d->idAt(tree, path);
    return blob ? d->blobBytes(*blob) : QByteArray();
}
