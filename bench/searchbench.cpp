// Times the navigator's record search against grep and the tree's LoadRoot against a plain
// directory listing, both peers measured in the same run on the same warm files.
//
//   vandrel-searchbench <datadir> <flatdir> [query]
//
// The last two lines are "search_vs_grep <ratio>" and "loadroot_vs_listing <ratio>", each the
// program's time divided by its peer's (below 1 means faster than the peer).

#include "BenchTools.h"
#include "app/ProjectInc.h"
#include "navigator/MenuTree.h"
#include "navigator/RecordSearch.h"
#include "navigator/zuTree.h"
#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/DirectoryListing.h"
#include "platform/TextCodec.h"
#include "records/RecordStore.h"

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QLocale>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace BenchTools;

namespace {

// A search that finds nothing warns in a message box; here nobody could close it.
class QuietDialogs : public DialogService
{
public:
    int messages = 0;
    QString last;
    Button message(const Message &request) override
    {
        ++messages;
        last = request.text;
        return Ok;
    }
    std::optional<QString> input(const Input &) override { return std::nullopt; }
    int execDialog(QDialog &) override { return QDialog::Rejected; }
};

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// The file system's own order, names only: what any listing has to pay for.
qsizetype readdirNames(const QString &dir, QStringList &names)
{
    names.clear();
#ifdef Q_OS_UNIX
    DIR *d = ::opendir(QFile::encodeName(dir).constData());
    if (!d)
        return 0;
    while (const dirent *e = ::readdir(d)) {
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        names << QFile::decodeName(n);
    }
    ::closedir(d);
#else
    names =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
#endif
    return names.size();
}

int treeItemCount(const QTreeWidget *tree)
{
    int n = 0;
    std::function<void(QTreeWidgetItem *)> count = [&](QTreeWidgetItem *item) {
        ++n;
        for (int i = 0; i < item->childCount(); ++i)
            count(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        count(tree->topLevelItem(i));
    return n;
}

// The offscreen platform warns about every window it cannot size; nothing here needs that.
QtMessageHandler g_previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_previousHandler = qInstallMessageHandler(quietHandler);
    VandrelApplication app(argc, argv);

    const QStringList args = app.arguments();
    if (args.size() < 3 || args.size() > 4) {
        std::fprintf(stderr, "usage: vandrel-searchbench <datadir> <flatdir> [query]\n");
        return 2;
    }
    const QString dataDir = QDir::cleanPath(QFileInfo(args.at(1)).absoluteFilePath());
    const QString flatDir = QDir::cleanPath(QFileInfo(args.at(2)).absoluteFilePath());
    const QString query = args.size() > 3 ? args.at(3) : QStringLiteral("영업");
    if (!QFileInfo(dataDir).isDir() || !QFileInfo(flatDir).isDir()) {
        std::fprintf(stderr, "no such directory: %s\n",
                     qPrintable(QFileInfo(dataDir).isDir() ? flatDir : dataDir));
        return 2;
    }
    // Sorting in the tree follows the user's language; the program's users write Korean.
    const QString localeName = qEnvironmentVariableIsSet("VANDREL_BENCH_LOCALE")
                                   ? qEnvironmentVariable("VANDREL_BENCH_LOCALE")
                                   : QStringLiteral("ko_KR");
    QLocale::setDefault(QLocale(localeName));
    const int runs = qEnvironmentVariableIntValue("VANDREL_BENCH_RUNS");
    if (runs > 0)
        BenchTools::g_runs = runs;

    QuietDialogs dialogs;
    DialogService::install(&dialogs);

    // A program folder of our own whose settings point at the generated data.
    QTemporaryDir exeDir;
    if (!exeDir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    Settings(exeDir.path()).setText(Settings::DirData, dataDir);
    TzuPrjInfo info(exeDir.path());
    zuPrjInfo = &info;

    QWidget window;
    window.setWindowTitle(QStringLiteral("vandrel-searchbench"));
    auto *layout = new QVBoxLayout(&window);
    auto *pane = new TfrmMenuAndTree(&window);
    auto *bar = new QProgressBar(&window);
    bar->setTextVisible(true);
    layout->addWidget(pane, 1);
    layout->addWidget(bar);
    pane->ProgressBar = bar;
    pane->ProgramSettings = &info.settings();
    PaintCounter paints;
    bar->installEventFilter(&paints);
    window.resize(400, 700);
    window.show();
    for (int i = 0; i < 200 && !(window.windowHandle() && window.windowHandle()->isExposed());
         ++i) {
        app.processEvents();
        QThread::msleep(5);
    }
    app.processEvents();
    if (!bar->isVisible())
        std::fprintf(stderr, "warning: the progress bar is not visible\n");

    QElapsedTimer initClock;
    initClock.start();
    pane->InitPane();
    const double initMs = double(initClock.nsecsElapsed()) / 1e6;
    app.processEvents();
    if (!pane->Tree || pane->Tree->RootDir != dataDir) {
        std::fprintf(stderr, "the pane did not open %s\n", qPrintable(dataDir));
        return 1;
    }
    say(QStringLiteral("data: %1").arg(dataDir));
    say(QStringLiteral("query: %1, locale %2").arg(query, QLocale().name()));
    say(QStringLiteral("InitPane: %1 ms, %2 top-level nodes")
            .arg(initMs, 0, 'f', 1)
            .arg(pane->Tree->topLevelItemCount()));
    say(QStringLiteral("timed runs: %1 after one warm-up; ratios from the best run")
            .arg(BenchTools::g_runs));

    // The search itself, as the Find action runs it.
    const auto settle = [&] { app.processEvents(); };
    int paintsBefore = 0;
    int paintsPerSearch = 0;
    const Timing search = measure(
        [&] {
            paintsBefore = paints.paints;
            pane->SearchRecords(query);
            paintsPerSearch = paints.paints - paintsBefore;
        },
        settle);
    const qsizetype hits = pane->FoundPaths.size();
    say(QStringLiteral("SearchRecords: %1, hits %2 (list %3)")
            .arg(fmt(search))
            .arg(hits)
            .arg(pane->lstFound->count()));
    say(QStringLiteral("progress bar paints during one search: %1").arg(paintsPerSearch));
    if (dialogs.messages > 0)
        say(QStringLiteral("message boxes: %1, last \"%2\"")
                .arg(dialogs.messages)
                .arg(dialogs.last));

    // Where SearchRecords spends its time, step by step through the same public calls.
    QStringList files;
    const Timing collect = measure([&] { files = RecordSearch::CollectFiles(dataDir); });
    const RecordSearch engine(query);
    qsizetype nameHits = 0;
    const Timing names = measure([&] {
        nameHits = 0;
        for (const QString &f : std::as_const(files))
            nameHits += engine.NameMatches(f) ? 1 : 0;
    });
    qsizetype contentHits = 0;
    const Timing contents = measure([&] {
        contentHits = 0;
        for (const QString &f : std::as_const(files))
            contentHits += engine.ContentsMatch(f) ? 1 : 0;
    });
    qint64 bytes = 0;
    const Timing qfileRead = measure([&] {
        bytes = 0;
        for (const QString &f : std::as_const(files)) {
            QFile file(f);
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll().size();
        }
    });
    std::vector<QByteArray> contentsOf;
    contentsOf.reserve(size_t(files.size()));
    for (const QString &f : std::as_const(files)) {
        QFile file(f);
        contentsOf.push_back(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    const Timing match = measure([&] {
        for (const QByteArray &b : contentsOf)
            engine.BytesMatch(b);
    });
#ifdef Q_OS_UNIX
    const Timing posixRead = measure([&] {
        static char buf[1 << 16];
        for (const QString &f : std::as_const(files)) {
            const int fd = ::open(QFile::encodeName(f).constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            while (::read(fd, buf, sizeof buf) > 0) {
            }
            ::close(fd);
        }
    });
#endif
    say(QStringLiteral("  CollectFiles: %1, %2 files, %3 MB")
            .arg(fmt(collect))
            .arg(files.size())
            .arg(double(bytes) / 1e6, 0, 'f', 1));
    say(QStringLiteral("  NameMatches over all files: %1, %2 hits").arg(fmt(names)).arg(nameHits));
    say(QStringLiteral("  ContentsMatch over all files: %1, %2 hits")
            .arg(fmt(contents))
            .arg(contentHits));
    say(QStringLiteral("    of which QFile open+readAll: %1").arg(fmt(qfileRead)));
    say(QStringLiteral("    of which BytesMatch on bytes in memory: %1").arg(fmt(match)));
#ifdef Q_OS_UNIX
    say(QStringLiteral("  for scale, POSIX open+read+close of the same files: %1")
            .arg(fmt(posixRead)));
#endif
    // Separate passes, so the difference is rough and may even come out below zero.
    say(QStringLiteral("  rest of SearchRecords (hit list, progress bar, locating the first hit): "
                       "about %1 ms")
            .arg(qMax(0.0, search.best - collect.best - names.best - contents.best), 0, 'f', 1));

    // The peer: grep for the query's bytes in both encodings a record file may use.
    QTemporaryDir patternDir;
    const QString patternFile = patternDir.filePath(QStringLiteral("patterns"));
    {
        QFile f(patternFile);
        const QString text = RecordSearch::Normalize(query);
        QByteArray patterns = text.toUtf8() + '\n';
        if (TextCodec::fitsCp949(text))
            patterns += TextCodec::encode(text, TextCodec::Encoding::Cp949) + '\n';
        if (!f.open(QIODevice::WriteOnly) || f.write(patterns) != patterns.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(patternFile));
            return 1;
        }
    }
    GrepRun grep;
    grep.args = {QStringLiteral("-rilF"), QStringLiteral("-f"), patternFile, dataDir};
    grep.run(true);
    const Timing grepTime = measure([&] { grep.run(false); });
    if (grep.failed) {
        std::fprintf(stderr, "grep failed\n");
        return 1;
    }
    say(QStringLiteral("peer: LC_ALL=C grep -rilF -f <query in UTF-8 and in code page 949> %1: "
                       "%2, %3 files listed")
            .arg(dataDir, fmt(grepTime))
            .arg(grep.hits));
    GrepRun grepTyped;
    grepTyped.args = {QStringLiteral("-rilF"), RecordSearch::Normalize(query), dataDir};
    grepTyped.run(true);
    const Timing grepTypedTime = measure([&] { grepTyped.run(false); });
    say(QStringLiteral("  for reference, LC_ALL=C grep -rilF <query as typed, UTF-8 only>: "
                       "%1, %2 files listed")
            .arg(fmt(grepTypedTime))
            .arg(grepTyped.hits));

    // Tree loading of one big flat folder.
    TzuTree *tree = RecordTree;
    // Into an empty tree, so that only the loading counts; clearing is shown below.
    const Timing load = measure([&] { tree->LoadRoot(flatDir); },
                                [&] {
                                    settle();
                                    tree->clear();
                                });
    tree->LoadRoot(flatDir);
    const int nodes = treeItemCount(tree);
    say(QStringLiteral("LoadRoot(%1): %2, %3 nodes").arg(flatDir, fmt(load)).arg(nodes));

    QStringList listed;
    const QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot;
    const Timing listing =
        measure([&] { listed = QDir(flatDir).entryList(filters, QDir::Name | QDir::IgnoreCase); });
    say(QStringLiteral(
            "peer: QDir::entryList(AllEntries|NoDotAndDotDot, Name|IgnoreCase): %1, %2 names")
            .arg(fmt(listing))
            .arg(listed.size()));

    // Steps of LoadRoot, rebuilt from the same calls, to show where its time goes.
    QStringList raw;
    const Timing readdirTime = measure([&] { readdirNames(flatDir, raw); });
    QStringList viaListing;
    const Timing forEachTime = measure([&] {
        viaListing.clear();
        DirectoryListing::forEach(flatDir, [&](const DirectoryListing::Entry &e) {
            if (e.isFile)
                viaListing << e.name;
            return true;
        });
    });
    const Timing listFolder = measure([&] { RecordStore::ListFolder(flatDir); });
    tree->LoadRoot(flatDir);
    const Timing clearTree = measure([&] { tree->clear(); }, [&] { tree->LoadRoot(flatDir); });
    say(QStringLiteral("  readdir loop into a QStringList: %1").arg(fmt(readdirTime)));
    say(QStringLiteral("  DirectoryListing::forEach into a QStringList: %1").arg(fmt(forEachTime)));
    say(QStringLiteral("  RecordStore::ListFolder (listing and sorting): %1").arg(fmt(listFolder)));
    say(QStringLiteral("  clear() of the loaded tree (paid by the next LoadRoot): %1")
            .arg(fmt(clearTree)));

    // Leave the pane as the program would be: on its data directory.
    tree->LoadRoot(dataDir);
    DialogService::install(nullptr);
    zuPrjInfo = nullptr;

    if (hits == 0) {
        std::fprintf(stderr, "the search found nothing; pick a query that hits\n");
        return 1;
    }
    say(QStringLiteral("search_vs_grep %1").arg(search.best / grepTime.best, 0, 'f', 2));
    say(QStringLiteral("loadroot_vs_listing %1").arg(load.best / listing.best, 0, 'f', 2));
    return 0;
}
