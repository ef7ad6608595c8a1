#include "platform/ShellFiles.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

class TestShellFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void moveIntoFolder();
    void moveIsAllOrNothing();
    void moveRefusesToSwapFolders();
    void moveAcrossFileSystems();
    void copyContentsMerges();
    void trashRollsBack();
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

void TestShellFiles::moveIsAllOrNothing()
{
    make({"Kim.txt", "__Kim/a.jpg", "Dest/x.txt"});
    // The second source does not exist: the first must come back.
    ScriptedDialogs dialogs;
    QVERIFY(!ShellFiles::MoveInto({p("Kim.txt"), p("missing")}, p("Dest")));
    QVERIFY(QFileInfo(p("Kim.txt")).isFile());
    QVERIFY(!QFileInfo::exists(p("Dest/Kim.txt")));
    QCOMPARE(dialogs.messageCount(), 1);
}

void TestShellFiles::moveRefusesToSwapFolders()
{
    make({"A/x.txt", "Dest/A/y.txt"});
    ScriptedDialogs dialogs;
    QVERIFY(!ShellFiles::MoveInto({p("A")}, p("Dest")));
    QVERIFY(QFileInfo(p("A/x.txt")).isFile());
    QVERIFY(QFileInfo(p("Dest/A/y.txt")).isFile());
    QVERIFY(dialogs.lastText().contains(QStringLiteral("already exists")));
}

void TestShellFiles::moveAcrossFileSystems()
{
    // /dev/shm is a memory file system on most Linux machines.
    if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable()
        || QStorageInfo(QStringLiteral("/dev/shm")) == QStorageInfo(m_dir->path()))
        QSKIP("no second file system to move to");
    QTemporaryDir other(QStringLiteral("/dev/shm/vandrel-test-XXXXXX"));
    make({"Kim.txt", "__Kim/deep/a.jpg"});
    ScriptedDialogs dialogs;
    QVERIFY(ShellFiles::MoveInto({p("Kim.txt"), p("__Kim")}, other.path()));
    QCOMPARE(TestFiles::read(other.filePath("Kim.txt")), QByteArray("Kim.txt"));
    QCOMPARE(TestFiles::read(other.filePath("__Kim/deep/a.jpg")), QByteArray("__Kim/deep/a.jpg"));
    QVERIFY(!QFileInfo::exists(p("Kim.txt")));
    QVERIFY(!QFileInfo::exists(p("__Kim")));
}

void TestShellFiles::copyContentsMerges()
{
    make({"src/a.txt", "src/sub/b.txt", "dst/a.txt", "dst/keep.txt"});
    QVERIFY(ShellFiles::CopyContents(p("src"), p("dst")));
    QCOMPARE(TestFiles::read(p("dst/a.txt")), QByteArray("src/a.txt"));
    QCOMPARE(TestFiles::read(p("dst/sub/b.txt")), QByteArray("src/sub/b.txt"));
    QVERIFY(QFileInfo(p("dst/keep.txt")).isFile());
    QVERIFY(ShellFiles::CopyContents(p("src"), p("new/deeper")));
    QVERIFY(QFileInfo(p("new/deeper/sub/b.txt")).isFile());
    TestFiles::write(p("file"), "x");
    QVERIFY(!ShellFiles::CopyContents(p("src"), p("file")));
}

void TestShellFiles::trashRollsBack()
{
    make({"Kim.txt", "__Kim/a.jpg"});
    QTemporaryDir trash;
    int calls = 0;
    ShellFiles::SetTrashFunction([&](const QString &path, QString *inTrash) {
        if (++calls == 2)
            return false;
        *inTrash = trash.filePath(QFileInfo(path).fileName());
        return QFile::rename(path, *inTrash) || QDir().rename(path, *inTrash);
    });
    QString why;
    QVERIFY(!ShellFiles::MoveToTrash({p("Kim.txt"), p("__Kim")}, &why));
    QVERIFY(!why.isEmpty());
    QVERIFY(QFileInfo(p("Kim.txt")).isFile());
    QVERIFY(QFileInfo(p("__Kim/a.jpg")).isFile());
}

void TestShellFiles::realTrashInTestHome()
{
    // The desktop trash of a home of this test's own.
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(".local/share")));
    const QString victim = home.filePath("Kim.txt");
    TestFiles::write(victim, "x");
    const bool ok = ShellFiles::MoveToTrash({victim});
    qputenv("HOME", oldHome);
    qputenv("XDG_DATA_HOME", oldData);
    QVERIFY(ok);
    QVERIFY(!QFileInfo::exists(victim));
    QVERIFY(QFileInfo(home.filePath(".local/share/Trash/files/Kim.txt")).isFile());
}

QTEST_GUILESS_MAIN(TestShellFiles)
#include "tst_shellfiles.moc"
