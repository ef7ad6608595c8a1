#include "platform/ShellFiles.h"
#include "support/FileTraps.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// A desktop trash in a home of the test's own.
struct TestHome
{
    QTemporaryDir dir;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    TestHome()
    {
        qputenv("HOME", QFile::encodeName(dir.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(".local/share")));
    }
    ~TestHome()
    {
        qputenv("HOME", oldHome);
        qputenv("XDG_DATA_HOME", oldData);
    }
    QString trash(const QString &rel) const { return dir.filePath(".local/share/Trash/" + rel); }
};

enum Trap { NoTrap, LockedSource, SpoiledCopy, LockedPart };

} // namespace

class TestShellFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void moveIntoFolder();
    void moveIsAllOrNothing_data();
    void moveIsAllOrNothing();
    void moveIsRefusedUpFront_data();
    void moveIsRefusedUpFront();
    void moveRefusesToSwapFolders();
    void moveAcrossFileSystems();
    void copyContentsMerges();
    void copyContentsFailureRestores_data();
    void copyContentsFailureRestores();
    void copyKeepsLinks();
    void deleteRemovesLinkOnly_data();
    void deleteRemovesLinkOnly();
    void deleteGoesOnAndReports();
    void trashRefusalBringsBack();
    void realTrashInTestHome();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString p(const QString &rel) const { return m_dir->filePath(rel); }
    void make(const QStringList &files)
    {
        for (const QString &f : files) {
            QDir().mkpath(QFileInfo(p(f)).path());
            TestFiles::write(p(f), f.toUtf8());
        }
    }
};

void TestShellFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestShellFiles::cleanup()
{
    ShellFiles::SetTrashFunction({});
}

void TestShellFiles::moveIntoFolder()
{
    make({"Kim.txt", "__Kim/a.jpg", "Dest/other.txt"});
    ScriptedDialogs dialogs;
    QVERIFY(ShellFiles::MoveInto({p("Kim.txt"), p("__Kim")}, p("Dest")));
    QCOMPARE(TestFiles::read(p("Dest/Kim.txt")), QByteArray("Kim.txt"));
    QCOMPARE(TestFiles::read(p("Dest/__Kim/a.jpg")), QByteArray("__Kim/a.jpg"));
    QVERIFY(!QFileInfo::exists(p("Kim.txt")));
    QCOMPARE(dialogs.asked.size(), 0);
}

void TestShellFiles::moveIsAllOrNothing_data()
{
    QTest::addColumn<bool>("across");
    QTest::addColumn<int>("trap");
    QTest::addColumn<QString>("told"); // what the report names
    QTest::newRow("replace succeeds") << false << int(NoTrap) << QString();
    QTest::newRow("replace succeeds across file systems") << true << int(NoTrap) << QString();
    QTest::newRow("second source cannot move") << false << int(LockedSource) << "__Kim";
    QTest::newRow("second source cannot be copied") << true << int(SpoiledCopy) << "b.jpg";
    QTest::newRow("second source only partly deletable") << true << int(LockedPart) << "c.jpg";
}

void TestShellFiles::moveIsAllOrNothing()
{
    QFETCH(bool, across);
    QFETCH(int, trap);
    QFETCH(QString, told);
    FileTraps traps;
    if (across && !traps.otherFileSystemAt(p("Dest")))
        QSKIP(qPrintable(traps.why()));
    make({"Kim.txt", "__Kim/a.jpg", "__Kim/b.jpg", "__Kim/z/c.jpg", "Dest/Kim.txt"});
    const bool armed = trap == LockedSource  ? traps.lockFolder(p("__Kim"))
                       : trap == SpoiledCopy ? traps.spoilCopy(p("__Kim/b.jpg"))
                       : trap == LockedPart  ? traps.lockFolder(p("__Kim/z"))
                                             : true;
    if (!armed)
        QSKIP(qPrintable(traps.why()));
    const auto before = Snapshot(p(""));
    const auto destBefore = Snapshot(p("Dest"));
    ScriptedDialogs dialogs;
    dialogs.queueButton(DialogService::Yes); // replace Dest/Kim.txt

    const bool moved = ShellFiles::MoveInto({p("Kim.txt"), p("__Kim")}, p("Dest"));
    QCOMPARE(moved, trap == NoTrap);
    QVERIFY(dialogs.messageTexts().value(0).contains(QStringLiteral("Replace it?")));
    QVERIFY(QDir(p("Dest")).entryList({"*.vandrel-replaced*"}, QDir::AllEntries).isEmpty());
    if (moved) {
        QCOMPARE(dialogs.messageCount(), 1);
        QCOMPARE(TestFiles::read(p("Dest/Kim.txt")), QByteArray("Kim.txt"));
        QCOMPARE(TestFiles::read(p("Dest/__Kim/z/c.jpg")), QByteArray("__Kim/z/c.jpg"));
        QVERIFY(!QFileInfo::exists(p("Kim.txt")) && !QFileInfo::exists(p("__Kim")));
        return;
    }
    // Every file where it was, with its content; the replaced one back, no copy left over.
    QCOMPARE(Snapshot(p("")), before);
    QCOMPARE(Snapshot(p("Dest")), destBefore);
    QCOMPARE(dialogs.messageCount(), 2);
    QVERIFY2(dialogs.lastText().contains(told), qPrintable(dialogs.lastText()));
}

void TestShellFiles::moveIsRefusedUpFront_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QString>("dest");
    QTest::addColumn<QString>("told");
    QTest::newRow("into itself") << QStringList{"A"} << "A"
                                 << "inside";
    QTest::newRow("below itself") << QStringList{"A"} << "A/B"
                                  << "inside";
    QTest::newRow("where it already is") << QStringList{"A/B/x.txt"} << "A/B"
                                         << "same";
    QTest::newRow("missing source") << QStringList{"Kim.txt", "missing"} << "Dest"
                                    << "does not exist";
    QTest::newRow("missing folder") << QStringList{"Kim.txt"} << "nowhere"
                                    << "does not exist";
}

void TestShellFiles::moveIsRefusedUpFront()
{
    QFETCH(QStringList, sources);
    QFETCH(QString, dest);
    QFETCH(QString, told);
    make({"A/B/x.txt", "Kim.txt", "Dest/y.txt"});
    const auto before = Snapshot(p(""));
    for (QString &s : sources)
        s = p(s);
    ScriptedDialogs dialogs;
    QVERIFY(!ShellFiles::MoveInto(sources, p(dest)));
    QCOMPARE(Snapshot(p("")), before);
    QCOMPARE(dialogs.messageCount(), 1);
    QVERIFY2(dialogs.lastText().contains(told), qPrintable(dialogs.lastText()));
}

void TestShellFiles::moveRefusesToSwapFolders()
{
    make({"A/x.txt", "Dest/A/y.txt"});
    ScriptedDialogs dialogs;
    dialogs.queueButton(DialogService::Yes); // were it asked
    QVERIFY(!ShellFiles::MoveInto({p("A")}, p("Dest")));
    QVERIFY(QFileInfo(p("A/x.txt")).isFile());
    QVERIFY(QFileInfo(p("Dest/A/y.txt")).isFile());
    QVERIFY(dialogs.lastText().contains(QStringLiteral("already exists")));
}

void TestShellFiles::moveAcrossFileSystems()
{
    FileTraps traps;
    if (!traps.otherFileSystemAt(p("Other")))
        QSKIP(qPrintable(traps.why()));
    make({"Kim.txt", "__Kim/deep/a.jpg"});
    QVERIFY(QFile::link("deep/a.jpg", p("__Kim/photo")));
    auto expected = Snapshot(p("__Kim"));
    ScriptedDialogs dialogs;
    QVERIFY(ShellFiles::MoveInto({p("Kim.txt"), p("__Kim")}, p("Other")));
    QCOMPARE(TestFiles::read(p("Other/Kim.txt")), QByteArray("Kim.txt"));
    // The link stays a link to its neighbour, not to where it came from.
    QCOMPARE(Snapshot(p("Other/__Kim")), expected);
    QVERIFY(!QFileInfo::exists(p("Kim.txt")));
    QVERIFY(!QFileInfo::exists(p("__Kim")));
}

void TestShellFiles::copyContentsMerges()
{
    make({"src/a.txt", "src/sub/b.txt", "dst/a.txt", "dst/keep.txt", "dst/sub/old.txt"});
    ScriptedDialogs dialogs;
    QVERIFY(ShellFiles::CopyContents(p("src"), p("dst")));
    QCOMPARE(TestFiles::read(p("dst/a.txt")), QByteArray("src/a.txt"));
    QCOMPARE(TestFiles::read(p("dst/sub/b.txt")), QByteArray("src/sub/b.txt"));
    QVERIFY(QFileInfo(p("dst/keep.txt")).isFile());
    QVERIFY(QFileInfo(p("dst/sub/old.txt")).isFile()); // folders merge
    QVERIFY(QDir(p("dst")).entryList({"*.vandrel-replaced*"}, QDir::AllEntries).isEmpty());
    QVERIFY(ShellFiles::CopyContents(p("src"), p("new/deeper")));
    QVERIFY(QFileInfo(p("new/deeper/sub/b.txt")).isFile());
    TestFiles::write(p("file"), "x");
    QVERIFY(!ShellFiles::CopyContents(p("src"), p("file")));
    QVERIFY(!ShellFiles::CopyContents(p("src"), p("src/sub/in")));
    QVERIFY(!QFileInfo::exists(p("src/sub/in")));
}

void TestShellFiles::copyContentsFailureRestores_data()
{
    // The failing copy comes last: entries copied and replaced before it must be undone.
    QTest::addColumn<QString>("spoiled");
    QTest::newRow("replaced file") << "z.jpg";
    QTest::newRow("merged folder") << "sub/z.jpg";
}

void TestShellFiles::copyContentsFailureRestores()
{
    QFETCH(QString, spoiled);
    FileTraps traps;
    if (!traps.otherFileSystemAt(p("dst")))
        QSKIP(qPrintable(traps.why()));
    make({"src/a.jpg", "src/new.txt", "src/sub/n.txt", "src/sub/z.jpg", "src/z.jpg", "dst/a.jpg",
          "dst/other.txt", "dst/sub/keep.txt", "dst/sub/z.jpg", "dst/z.jpg"});
    if (!traps.spoilCopy(p("src/" + spoiled)))
        QSKIP(qPrintable(traps.why()));
    const auto before = Snapshot(p("dst"));
    ScriptedDialogs dialogs;
    QVERIFY(!ShellFiles::CopyContents(p("src"), p("dst")));
    QCOMPARE(Snapshot(p("dst")), before);
    QCOMPARE(dialogs.messageCount(), 0); // undone completely: the caller tells the user
}

void TestShellFiles::copyKeepsLinks()
{
    make({"src/a.txt", "src/sub/b.txt"});
    QVERIFY(QFile::link("a.txt", p("src/link")));
    QVERIFY(QFile::link("..", p("src/sub/loop"))); // a cycle
    QVERIFY(ShellFiles::CopyRecursively(p("src"), p("copy")));
    QCOMPARE(Snapshot(p("copy")), Snapshot(p("src")));
#ifdef Q_OS_UNIX
    // A pipe is no file to copy: refused rather than waited on.
    QCOMPARE(::mkfifo(QFile::encodeName(p("src/pipe")).constData(), 0600), 0);
    QVERIFY(!ShellFiles::CopyRecursively(p("src"), p("copy2")));
    QVERIFY(!QFileInfo::exists(p("copy2")));
#endif
}

void TestShellFiles::deleteRemovesLinkOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("link") << "link";
    QTest::newRow("link with a slash") << "link/";
}

void TestShellFiles::deleteRemovesLinkOnly()
{
    QFETCH(QString, name);
    make({"folder/a.txt", "folder/sub/b.txt"});
    QVERIFY(QFile::link(p("folder"), p("link")));
    const auto before = Snapshot(p("folder"));
    ScriptedDialogs dialogs;
    QVERIFY(ShellFiles::DeletePermanently({p(name)}));
    QVERIFY(!QFileInfo(p("link")).isSymLink());
    QCOMPARE(Snapshot(p("folder")), before);
}

void TestShellFiles::deleteGoesOnAndReports()
{
    make({"locked/a.txt", "free/b.txt", "free/sub/c.txt"});
    FileTraps traps;
    if (!traps.lockFolder(p("locked")))
        QSKIP(qPrintable(traps.why()));
    ScriptedDialogs dialogs;
    QVERIFY(!ShellFiles::DeletePermanently({p("locked/a.txt"), p("free")}));
    QVERIFY(QFileInfo(p("locked/a.txt")).isFile());
    QVERIFY(!QFileInfo::exists(p("free")));
    QCOMPARE(dialogs.messageCount(), 1);
    QVERIFY(dialogs.lastText().contains(QStringLiteral("a.txt")));
}

void TestShellFiles::trashRefusalBringsBack()
{
    TestHome home;
    const QString kim = home.dir.filePath("Kim.txt");
    const QString companion = home.dir.filePath("locked/__Kim");
    QDir().mkpath(companion);
    TestFiles::write(kim, "kim");
    TestFiles::write(companion + "/a.jpg", "a");
    FileTraps traps;
    if (!traps.lockFolder(home.dir.filePath("locked")))
        QSKIP(qPrintable(traps.why()));
    QString why;
    QVERIFY(!ShellFiles::MoveToTrash({kim, companion}, &why));
    QVERIFY(why.contains(QStringLiteral("__Kim")));
    QCOMPARE(TestFiles::read(kim), QByteArray("kim"));
    QCOMPARE(TestFiles::read(companion + "/a.jpg"), QByteArray("a"));
    QCOMPARE(Snapshot(home.trash("files")).size(), 0);
    QCOMPARE(Snapshot(home.trash("info")).size(), 0); // no note of an item it no longer holds
}

void TestShellFiles::realTrashInTestHome()
{
    TestHome home;
    const QString victim = home.dir.filePath("Kim.txt");
    TestFiles::write(victim, "x");
    QVERIFY(ShellFiles::MoveToTrash({victim}));
    QVERIFY(!QFileInfo::exists(victim));
    QVERIFY(QFileInfo(home.trash("files/Kim.txt")).isFile());
    QVERIFY(QFileInfo(home.trash("info/Kim.txt.trashinfo")).isFile());
}

QTEST_GUILESS_MAIN(TestShellFiles)
#include "tst_shellfiles.moc"
