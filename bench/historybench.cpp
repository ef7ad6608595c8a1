// Times the data directory's history on a copy of a generated data directory (vandrel-gendata):
// the first commit, then the commit after a one-record save against the git command committing
// the same change in a work tree of the same content, in turns, and the repository's size after
// 1,000 saves and `git gc` against the records' size.
//
//   vandrel-historybench <data-dir> [edits=1000]
//
// The last lines are "commit_ms_100k" (the median commit after a one-record save, ms),
// "commit_vs_git_cli" (that median over the git command's) and "history_bytes_vs_records".

#include "BenchTools.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "records/History.h"
#include "records/Record.h"
#include "records/RecordStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace BenchTools;

namespace {

bool run(const QString &program, const QStringList &args, const QString &dir = {})
{
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

qint64 bytesBelow(const QString &dir, bool hidden)
{
    qint64 total = 0;
    QDirIterator it(dir, QDir::Files | (hidden ? QDir::Hidden : QDir::Filters()),
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (!hidden && it.filePath().contains(QStringLiteral("/.")))
            continue;
        total += it.fileInfo().size();
    }
    return total;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: vandrel-historybench <data-dir> [edits=1000]\n");
        return 2;
    }
    const QString source = QDir(args.at(1)).absolutePath();
    const int edits = args.size() > 2 ? args.at(2).toInt() : 1000;
    const QString git = QStandardPaths::findExecutable(QStringLiteral("git"));
    if (git.isEmpty()) {
        std::fprintf(stderr, "git is not installed\n");
        return 1;
    }
    // VANDREL_BENCH_HISTORY_WORK keeps the copies (and their histories) for later runs.
    QTemporaryDir temporary;
    const QString kept = qEnvironmentVariable("VANDREL_BENCH_HISTORY_WORK");
    const QString workDir = kept.isEmpty() ? temporary.path() : kept;
    const QString data = Paths::Join(workDir, QStringLiteral("data"));
    const QString peer = Paths::Join(workDir, QStringLiteral("peer"));
    const QStringList gitIdentity = {
        QStringLiteral("-c"), QStringLiteral("user.name=bench"),
        QStringLiteral("-c"), QStringLiteral("user.email=bench@localhost"),
        QStringLiteral("-c"), QStringLiteral("gc.auto=0")};
    QElapsedTimer clock;
    clock.start();
    if (!QFileInfo::exists(Paths::Join(peer, QStringLiteral(".git")))) {
        QDir(data).removeRecursively();
        QDir(peer).removeRecursively();
        QDir().mkpath(workDir);
        say(QStringLiteral("copying %1 twice into %2").arg(source, workDir));
        if (!run(QStringLiteral("cp"), {QStringLiteral("-a"), source, data})
            || !run(QStringLiteral("cp"), {QStringLiteral("-a"), source, peer}))
            return 1;
        // The generator's marker is no record.
        QFile::remove(data + QStringLiteral("/.vandrel-gendata"));
        QFile::remove(peer + QStringLiteral("/.vandrel-gendata"));
        clock.restart();
        if (!run(git, {QStringLiteral("init"), QStringLiteral("-q"), peer})
            || !run(git, gitIdentity + QStringList{QStringLiteral("add"), QStringLiteral("-A")},
                    peer)
            || !run(git,
                    gitIdentity
                        + QStringList{QStringLiteral("commit"), QStringLiteral("-q"),
                                      QStringLiteral("-m"), QStringLiteral("first")},
                    peer))
            return 1;
        say(QStringLiteral("git_first_commit_s %1").arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    }

    const QStringList records = RecordStore::CollectRecords(data, false, nullptr);
    say(QStringLiteral("records %1").arg(records.size()));
    if (records.isEmpty())
        return 1;
    History history(data);
    clock.restart();
    history.Flush();
    if (!history.IsOn()) {
        std::fprintf(stderr, "history is off: %s\n", qPrintable(history.OffReason()));
        return 1;
    }
    say(QStringLiteral("history_first_commit_s %1").arg(clock.elapsed() / 1000.0, 0, 'f', 1));

    // One record saved, then its commit timed: ours (the change told, the commit made) and
    // git's (the same bytes, `git commit` of that path), in turns.
    const int runs = 21;
    std::vector<double> ours, theirs;
    for (int i = 0; i <= runs; ++i) {
        const QString file = records.at((qsizetype(i) * 4721) % records.size());
        Record record = Record::Read(file);
        // A value no earlier run of a kept copy gave it.
        record.SetValue(u"Hand", QStringLiteral("010-%1-%2")
                                     .arg(1000 + i)
                                     .arg(QDateTime::currentMSecsSinceEpoch() % 100000));
        record.Write(file);
        QByteArray bytes;
        FileSystem::readAll(file, bytes);
        const QString rel = file.mid(Paths::WithSeparator(data).size());
        FileSystem::writeAtomically(Paths::Join(peer, rel), bytes);

        QElapsedTimer t;
        t.start();
        RecordStore::Tell({RecordStore::Change::Changed, Paths::Native(file), {}, false});
        history.Flush();
        const double mine = t.nsecsElapsed() / 1e6;
        t.restart();
        if (!run(git,
                 gitIdentity
                     + QStringList{QStringLiteral("commit"), QStringLiteral("-q"),
                                   QStringLiteral("-m"), QStringLiteral("자료 수정"),
                                   QStringLiteral("--"), rel},
                 peer))
            return 1;
        const double cli = t.nsecsElapsed() / 1e6;
        if (i > 0) { // the first of each warms the caches
            ours.push_back(mine);
            theirs.push_back(cli);
        }
    }
    const double commitMs = median(ours), gitMs = median(theirs);
    say(QStringLiteral("git_cli_commit_ms %1").arg(gitMs, 0, 'f', 2));

    // Many saves through the store, then the repository packed.
    clock.restart();
    for (int i = 0; i < edits; ++i) {
        const QString file = records.at((qsizetype(i) * 7919 + 13) % records.size());
        Record record = Record::Read(file);
        record.SetValue(u"OPh2", QStringLiteral("02-%1-%2").arg(100 + i % 900).arg(1000 + i));
        RecordStore::SaveRecord(file, record);
        history.Flush();
    }
    say(QStringLiteral("saves_with_commits_s %1 (%2 saves)")
            .arg(clock.elapsed() / 1000.0, 0, 'f', 1)
            .arg(edits));
    const QString repo = Paths::Join(data, History::RepositoryName);
    const qint64 loose = bytesBelow(repo, true);
    if (!run(git,
             {QStringLiteral("--git-dir=") + repo, QStringLiteral("gc"), QStringLiteral("-q")}))
        return 1;
    const qint64 packed = bytesBelow(repo, true);
    const qint64 recordBytes = bytesBelow(data, false);
    say(QStringLiteral("history_bytes_before_gc %1").arg(loose));
    say(QStringLiteral("history_bytes %1 records_bytes %2").arg(packed).arg(recordBytes));

    say(QStringLiteral("commit_ms_100k %1").arg(commitMs, 0, 'f', 2));
    say(QStringLiteral("commit_vs_git_cli %1").arg(gitMs > 0 ? commitMs / gitMs : 0, 0, 'f', 3));
    say(QStringLiteral("history_bytes_vs_records %1")
            .arg(recordBytes > 0 ? double(packed) / double(recordBytes) : 0, 0, 'f', 3));
    return 0;
}
