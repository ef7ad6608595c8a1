// Times 중복 찾기 over a generated data directory against reading the same files:
//
//   vandrel-dupbench <data-dir>
//
// The last two lines are "duplicates_100k_s" (seconds for the whole search, best run) and
// "duplicates_vs_read" (that against a plain read of every record file, listed with
// QDirIterator and read with QFile one after another, in the same run).

#include "BenchTools.h"
#include "records/Duplicates.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>

#include <cstdio>

using namespace BenchTools;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vandrel-dupbench <data-dir>\n");
        return 2;
    }
    const QString dataDir = QString::fromLocal8Bit(argv[1]);

    qint64 files = 0, bytes = 0;
    const Timing read = measure([&] {
        files = bytes = 0;
        QDirIterator it(dataDir, {QStringLiteral("*.txt")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (f.open(QIODevice::ReadOnly)) {
                bytes += f.readAll().size();
                ++files;
            }
        }
    });
    say(QStringLiteral("peer: plain read of every record file: %1, %2 files, %3 MB")
            .arg(fmt(read))
            .arg(files)
            .arg(double(bytes) / 1e6, 0, 'f', 1));

    qsizetype groups = 0, members = 0;
    const Timing find = measure([&] {
        const QList<Duplicates::Group> found = Duplicates::Find(dataDir);
        groups = found.size();
        members = 0;
        for (const Duplicates::Group &g : found)
            members += g.paths.size();
    });
    say(QStringLiteral("duplicates: %1, %2 groups of %3 records")
            .arg(fmt(find))
            .arg(groups)
            .arg(members));

    say(QStringLiteral("duplicates_100k_s %1").arg(find.best / 1000.0, 0, 'f', 3));
    say(QStringLiteral("duplicates_vs_read %1").arg(find.best / read.best, 0, 'f', 2));
    return 0;
}
