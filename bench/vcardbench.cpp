// Times a vCard import of 10,000 cards into one folder and the export of those records as a
// vCard folder, each against python3-vobject doing the same work in the same run, in turns
// (vcardpeer.py: parsing the cards and writing one record file per card, reading the records and
// writing one card file per record, each file to a temporary name and then renamed):
//
//   vandrel-vcardbench <flat-data-dir> <vcardpeer.py>
//
// The records of the flat folder (vandrel-gendata --flat) are copied and exported once as the
// cards to import. The last two lines are "import_vs_peer" and "vcard_folder_export_vs_peer",
// each the program's best run over the peer's.

#include "BenchTools.h"
#include "platform/Application.h"
#include "records/ContactExport.h"
#include "records/ContactImport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

using namespace BenchTools;

namespace {

bool emptyFolder(const QString &dir)
{
    return QDir(dir).removeRecursively() && QDir().mkpath(dir);
}

int countFiles(const QString &dir, const QString &pattern)
{
    return int(QDir(dir).entryList({pattern}, QDir::Files).size());
}

// One run of the peer, timed by itself without the interpreter's start (ms); warmUp untimed
// runs first.
std::optional<double> runPeer(const QString &script, const QStringList &args, int warmUp,
                              int *files)
{
    for (const QString &python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess p;
        p.start(python, QStringList{script} + args
                            + QStringList{QStringLiteral("1"), QString::number(warmUp)});
        if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            continue;
        const QList<QByteArray> words = p.readAllStandardOutput().trimmed().split(' ');
        if (words.size() != 6)
            continue;
        *files = words[5].toInt();
        return words[1].toDouble();
    }
    return std::nullopt;
}

Timing timingOf(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

// The program and the peer take turns, so that a machine busy with other work slows both alike.
struct Pair
{
    Timing program, peer;
    bool ok = false;
};
Pair alternating(const std::function<void()> &program, const std::function<void()> &between,
                 const QString &script, const QStringList &peerArgs, int *peerFiles)
{
    Pair out;
    std::vector<double> ours, theirs;
    program(); // warm-up
    between();
    for (int i = 0; i < g_runs; ++i) {
        QElapsedTimer t;
        t.start();
        program();
        ours.push_back(double(t.nsecsElapsed()) / 1e6);
        between();
        const std::optional<double> peer = runPeer(script, peerArgs, i == 0 ? 1 : 0, peerFiles);
        if (!peer)
            return out;
        theirs.push_back(*peer);
    }
    out.program = timingOf(ours);
    out.peer = timingOf(theirs);
    out.ok = true;
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vandrel-vcardbench <flat-data-dir> <vcardpeer.py>\n");
        return 2;
    }
    const QString flat = QString::fromLocal8Bit(argv[1]);
    const QString script = QString::fromLocal8Bit(argv[2]);
    const int runs = qEnvironmentVariableIntValue("VANDREL_BENCH_RUNS");
    if (runs > 0)
        g_runs = runs;

    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("source"));
    const QString cards = work.filePath(QStringLiteral("cards.vcf"));
    const QString imported = work.filePath(QStringLiteral("imported"));
    const QString out = work.filePath(QStringLiteral("out"));
    const QString peerOut = work.filePath(QStringLiteral("peer"));
    // A copy, so that the generated folder the other benchmarks read stays as it is.
    QDir().mkpath(source);
    for (const QString &name : QDir(flat).entryList({QStringLiteral("*.txt")}, QDir::Files))
        QFile::copy(QDir(flat).filePath(name), QDir(source).filePath(name));
    const ContactReport made =
        ContactExport::Export({source, source, cards, ContactExport::Format::VCardFile, false});
    if (made.failed() || made.written == 0) {
        std::fprintf(stderr, "%s\n", qPrintable(made.Text()));
        return 1;
    }
    say(QStringLiteral("%1 cards, %2 MB, from %3")
            .arg(made.written)
            .arg(QFileInfo(cards).size() / 1e6, 0, 'f', 1)
            .arg(flat));
    say(QStringLiteral("timed runs: %1 after one warm-up, the program and the peer in turn; "
                       "ratios from the best run")
            .arg(g_runs));

    int written = 0, peerFiles = 0;
    const Pair import = alternating(
        [&] { written = ContactImport::Import({cards}, imported, {}, imported).written; },
        [&] { emptyFolder(imported); }, script, {QStringLiteral("import"), cards, peerOut},
        &peerFiles);
    if (!import.ok) {
        std::fprintf(stderr, "the peer failed: is python3-vobject installed?\n");
        return 1;
    }
    say(QStringLiteral("ContactImport::Import into one folder: %1, %2 records")
            .arg(fmt(import.program))
            .arg(written));
    say(QStringLiteral("peer: python3-vobject, one record file written and renamed per card: "
                       "%1, %2 files")
            .arg(fmt(import.peer))
            .arg(peerFiles));

    // The records to export.
    ContactImport::Import({cards}, imported, {}, imported);
    int exported = 0;
    const Pair exportTime = alternating(
        [&] {
            exported = ContactExport::Export(
                           {imported, imported, out, ContactExport::Format::VCardFolder, false})
                           .written;
        },
        [&] { QDir(out).removeRecursively(); }, script,
        {QStringLiteral("export"), imported, peerOut}, &peerFiles);
    if (!exportTime.ok) {
        std::fprintf(stderr, "the peer failed\n");
        return 1;
    }
    say(QStringLiteral(
            "ContactExport::Export as a vCard folder, into an empty folder: %1, %2 cards")
            .arg(fmt(exportTime.program))
            .arg(exported));
    say(QStringLiteral("peer: python3-vobject, one card file written and renamed per record: "
                       "%1, %2 files")
            .arg(fmt(exportTime.peer))
            .arg(peerFiles));
    ContactExport::Export({imported, imported, out, ContactExport::Format::VCardFolder, false});
    const Timing again = measure([&] {
        ContactExport::Export({imported, imported, out, ContactExport::Format::VCardFolder, false});
    });
    say(QStringLiteral("  again into the same folder, nothing changed: %1, %2 files there")
            .arg(fmt(again))
            .arg(countFiles(out, QStringLiteral("*.vcf"))));

    if (written != made.written || exported != written) {
        std::fprintf(stderr, "the program did not import and export every card\n");
        return 1;
    }
    say(QStringLiteral("import_vs_peer %1").arg(import.program.best / import.peer.best, 0, 'f', 2));
    say(QStringLiteral("vcard_folder_export_vs_peer %1")
            .arg(exportTime.program.best / exportTime.peer.best, 0, 'f', 2));
    return 0;
}
