// Times the filter box's search index over a generated data directory against grep:
//
//   vandrel-indexbench <data-dir> [grep-query=영업]
//
// The last three lines are "index_build_vs_grep", "keystroke_vs_grep" (the 95th percentile of
// one keystroke's query over 300 queries: prefixes of names, initial consonants and digits) and
// "index_bytes_vs_text" (heap the index holds against the size of the record files).

#include "BenchTools.h"
#include "navigator/SearchIndex.h"
#include "platform/Application.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <malloc.h>
#include <vector>

using namespace BenchTools;

namespace {

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// The initial consonant of each syllable as its compatibility jamo.
QString initials(const QString &name)
{
    static const char16_t jamo[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141,
                                      0x3142, 0x3143, 0x3145, 0x3146, 0x3147, 0x3148, 0x3149,
                                      0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
    QString out;
    for (QChar c : name)
        if (c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3)
            out += QChar(jamo[(c.unicode() - 0xAC00) / 588]);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vandrel-indexbench <data-dir> [grep-query]\n");
        return 2;
    }
    const QString dataDir = QString::fromLocal8Bit(argv[1]);
    const QString query = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("영업");

    // The peer: grep for one query's bytes in both encodings a record file may use.
    QTemporaryDir patternDir;
    const QString patternFile = patternDir.filePath(QStringLiteral("patterns"));
    {
        QFile f(patternFile);
        const QByteArray patterns =
            query.toUtf8() + '\n' + TextCodec::encode(query, TextCodec::Encoding::Cp949) + '\n';
        if (!f.open(QIODevice::WriteOnly) || f.write(patterns) != patterns.size())
            return 1;
    }
    GrepRun grep;
    grep.args = {QStringLiteral("-rilF"), QStringLiteral("-f"), patternFile, dataDir};
    grep.run(true);
    const Timing grepTime = measure([&] { grep.run(false); });
    if (grep.failed)
        return 1;
    say(QStringLiteral("peer: LC_ALL=C grep -rilF -f <%1 in UTF-8 and code page 949>: %2, %3 files")
            .arg(query, fmt(grepTime))
            .arg(grep.hits));

    // Build: the whole index, from a cold object each time.
    qsizetype textBytes = 0;
    QDirIterator files(dataDir, {QStringLiteral("*.txt"), QStringLiteral("__g_t.zu")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        if (!files.next().contains(QStringLiteral("/__")) || files.fileName().startsWith(u"__g"))
            textBytes += files.fileInfo().size();
    std::unique_ptr<TSearchIndex> index;
    size_t heapBefore = 0;
    const Timing build = measure(
        [&] {
            heapBefore = heapInUse();
            index = std::make_unique<TSearchIndex>();
            index->Open(dataDir);
            index->WaitUntilReady();
        },
        [&] { index.reset(); });
    index = std::make_unique<TSearchIndex>();
    heapBefore = heapInUse();
    index->Open(dataDir);
    index->WaitUntilReady();
    malloc_trim(0);
    const double heap = double(heapInUse() - heapBefore);
    say(QStringLiteral("index build: %1, %2 records").arg(fmt(build)).arg(index->RecordCount()));
    say(QStringLiteral("index heap: %1 MB against %2 MB of record files")
            .arg(heap / 1e6, 0, 'f', 1)
            .arg(double(textBytes) / 1e6, 0, 'f', 1));

    // 300 keystrokes: prefixes of names, their initial consonants, and telephone digits.
    QStringList queries;
    const QList<TSearchIndex::Hit> everyone = index->Query(QStringLiteral("010"));
    for (qsizetype i = 0; queries.size() < 300 && i < everyone.size(); i += 97) {
        const TSearchIndex::Hit &hit = everyone.at(i);
        const QString name = hit.displayName;
        const QString cho = initials(name);
        const QString digits = QString::fromLatin1(SearchRules::DigitsOf(hit.value));
        queries << name.left(1 + int(i % 2)) << cho.left(2 + int(i % 2))
                << digits.left(4 + int(i % 4));
    }
    std::vector<double> ms;
    qsizetype hits = 0;
    for (const QString &q : std::as_const(queries)) {
        QElapsedTimer t;
        t.start();
        // What the result list needs at once: the matches, and the rows it shows.
        const TSearchIndex::Results found = index->Find(q);
        for (int row = 0; row < std::min(found.size(), 20); ++row)
            found.at(row);
        hits += found.size();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double p95 = ms[size_t(double(ms.size() - 1) * 0.95)];
    say(QStringLiteral("keystrokes: %1 queries, %2 hits, median %3 ms, 95th percentile %4 ms, "
                       "slowest %5 ms")
            .arg(ms.size())
            .arg(hits)
            .arg(ms[ms.size() / 2], 0, 'f', 2)
            .arg(p95, 0, 'f', 2)
            .arg(ms.back(), 0, 'f', 2));

    say(QStringLiteral("index_build_vs_grep %1").arg(build.best / grepTime.best, 0, 'f', 2));
    say(QStringLiteral("keystroke_vs_grep %1").arg(p95 / grepTime.best, 0, 'f', 3));
    say(QStringLiteral("index_bytes_vs_text %1").arg(heap / double(textBytes), 0, 'f', 2));
    return 0;
}
