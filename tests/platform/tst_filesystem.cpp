#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

#ifdef Q_OS_LINUX
// Makes path an hour old, without following a link.
bool age(const QString &path)
{
    const timespec old[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), old, AT_SYMLINK_NOFOLLOW) == 0;
}

// A small tmpfs, unmounted when the object goes, also after a failed check.
class Tmpfs
{
public:
    ~Tmpfs()
    {
        if (!m_dir.isEmpty())
            umount2(m_dir.constData(), MNT_DETACH);
    }
    bool mountAt(const QString &dir)
    {
        const QByteArray path = QFile::encodeName(dir);
        if (mount("tmpfs", path.constData(), "tmpfs", 0, "size=64k") != 0)
            return false;
        m_dir = path;
        return true;
    }
    bool makeReadOnly()
    {
        return mount(nullptr, m_dir.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QByteArray m_dir;
};
#endif

} // namespace

class TestFileSystem : public QObject
{
    Q_OBJECT
private slots:
    void pathRules_data();
    void pathRules();
    void resolve_data();
    void resolve();
    void writeAtomicallyReplacesWhole();
    void failedWriteLeavesOldFile_data();
    void failedWriteLeavesOldFile();
    void killedWriteLeavesOnlyItsOwnHiddenFile();
    void removeStaleTemporaryFiles_data();
    void removeStaleTemporaryFiles();
};

void TestFileSystem::pathRules_data()
{
    // Unix rules; "|" separates what each rule gives.
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected"); // with | without one | joined with "x" | file name
    QTest::newRow("folder") << "/data/Co"
                            << "/data/Co/|/data/Co|/data/Co/x|Co";
    QTest::newRow("folder with separator") << "/data/Co/"
                                           << "/data/Co/|/data/Co|/data/Co/x|";
    QTest::newRow("two separators") << "/data//"
                                    << "/data//|/data/|/data//x|";
    QTest::newRow("root stays a root") << "/"
                                       << "/|/|/x|";
    QTest::newRow("empty") << ""
                           << "/||/x|";
    QTest::newRow("backslash is a character") << "C:\\a\\b"
                                              << "C:\\a\\b/|C:\\a\\b|C:\\a\\b/x|C:\\a\\b";
}

void TestFileSystem::pathRules()
{
#ifdef Q_OS_WIN
    QSKIP("Unix path rules");
#endif
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(QStringList({Paths::WithSeparator(path), Paths::WithoutTrailingSeparator(path),
                          Paths::Join(path, QStringLiteral("x")), Paths::FileName(path)})
                 .join(u'|'),
             expected);
    // Only A-Z fold; the letters next to them in the table and Hangul stay.
    QCOMPARE(Paths::AsciiLower(QStringLiteral("@AZ[`az{김K")), QStringLiteral("@az[`az{김k"));
    QVERIFY(Paths::SameIgnoringAsciiCase(QStringLiteral("KIM.TXT"), QStringLiteral("kim.txt")));
    QVERIFY(!Paths::SameIgnoringAsciiCase(QStringLiteral("Ä"), QStringLiteral("ä")));
}

void TestFileSystem::resolve_data()
{
    QTest::addColumn<QStringList>("onDisk"); // files to create, relative
    QTest::addColumn<QString>("asked");      // relative
    QTest::addColumn<QString>("expected");   // relative
    QTest::newRow("exact") << QStringList{"Kim.txt"} << "Kim.txt"
                           << "Kim.txt";
    QTest::newRow("file case") << QStringList{"KIM.TXT"} << "Kim.txt"
                               << "KIM.TXT";
    QTest::newRow("folder case") << QStringList{"Friends/Lee.txt"} << "friends/LEE.txt"
                                 << "Friends/Lee.txt";
    QTest::newRow("exact wins") << QStringList{"kim.txt", "KIM.txt"} << "KIM.txt"
                                << "KIM.txt";
    QTest::newRow("new file in other-case folder")
        << QStringList{"Friends/a.txt"} << "FRIENDS/new.txt"
        << "Friends/new.txt";
    QTest::newRow("nothing matches") << QStringList{} << "No/Such.txt"
                                     << "No/Such.txt";
    QTest::newRow("korean name, extension case") << QStringList{"홍길동.txt"} << "홍길동.TXT"
                                                 << "홍길동.txt";
    QTest::newRow("trailing separator") << QStringList{"Co/__g_t.zu"} << "CO/"
                                        << "Co/";
}

void TestFileSystem::resolve()
{
    QFETCH(QStringList, onDisk);
    QFETCH(QString, asked);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString &rel : onDisk) {
        const QString full = dir.filePath(rel);
        QDir().mkpath(QFileInfo(full).path());
        TestFiles::write(full, "x");
    }
    const QString base = QDir::toNativeSeparators(dir.path() + u'/');
    QCOMPARE(FileSystem::resolve(base + QDir::toNativeSeparators(asked)),
             base + QDir::toNativeSeparators(expected));
}

void TestFileSystem::writeAtomicallyReplacesWhole()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    TestFiles::write(file, QByteArray(10000, 'a'));
    QVERIFY(FileSystem::writeAtomically(file, "short"));
    QCOMPARE(TestFiles::read(file), QByteArray("short"));
}

void TestFileSystem::failedWriteLeavesOldFile_data()
{
    QTest::addColumn<QString>("trap");
    QTest::newRow("missing folder") << "missing";
    QTest::newRow("read-only file system") << "read-only";
    QTest::newRow("full file system") << "full";
}

void TestFileSystem::failedWriteLeavesOldFile()
{
    QFETCH(QString, trap);
    QTemporaryDir dir;
    if (trap == u"missing") {
        QVERIFY(!FileSystem::writeAtomically(dir.filePath(QStringLiteral("missing/a.txt")), "x"));
        QVERIFY(entries(dir.path()).isEmpty());
        return;
    }
#ifdef Q_OS_LINUX
    // Permissions stop no one running as root; a file system of its own stops everyone.
    const QString folder = dir.filePath(QStringLiteral("mnt"));
    QVERIFY(QDir().mkdir(folder));
    Tmpfs tmpfs;
    if (!tmpfs.mountAt(folder))
        QSKIP("cannot mount a tmpfs here (needs root)");
    const QString file = folder + QStringLiteral("/a.txt");
    TestFiles::write(file, "old");
    if (trap == u"read-only")
        QVERIFY(tmpfs.makeReadOnly());
    // The full case is far larger than the 64 KiB the file system holds.
    QVERIFY(!FileSystem::writeAtomically(file, QByteArray(trap == u"full" ? 1 << 20 : 10, 'x')));
    QCOMPARE(TestFiles::read(file), QByteArray("old"));
    QCOMPARE(entries(folder), QStringList{"a.txt"});
#else
    QSKIP("needs a file system of its own");
#endif
}

void TestFileSystem::killedWriteLeavesOnlyItsOwnHiddenFile()
{
#ifdef Q_OS_LINUX
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    TestFiles::write(file, "old");
    const pid_t child = fork();
    if (child == 0) {
        // The kernel kills the writer at 4 KiB, as a crash in the middle of a save would.
        const rlimit noCore{0, 0};
        const rlimit small{4096, 4096};
        setrlimit(RLIMIT_CORE, &noCore);
        setrlimit(RLIMIT_FSIZE, &small);
        FileSystem::writeAtomically(file, QByteArray(1 << 20, 'x'));
        _exit(0);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    QCOMPARE(TestFiles::read(file), QByteArray("old"));
    // What the killed write leaves is its hidden temporary file, for the cleanup to find.
    QStringList left = entries(dir.path());
    QCOMPARE(left.size(), 2);
    left.removeOne(QStringLiteral("a.txt"));
    const QString leftover = left.first();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\.a\\.txt\\.vandrel-[A-Za-z0-9]{6}$"))
                 .match(leftover)
                 .hasMatch(),
             qPrintable(leftover));
    // Within the grace period it might be a write in progress; after it, it goes.
    QVERIFY(FileSystem::removeStaleTemporaryFiles(dir.path()));
    QCOMPARE(entries(dir.path()).size(), 2);
    QVERIFY(age(dir.filePath(leftover)));
    QVERIFY(FileSystem::removeStaleTemporaryFiles(dir.path()));
    QCOMPARE(entries(dir.path()), QStringList{"a.txt"});
#else
    QSKIP("needs fork and a file size limit");
#endif
}

void TestFileSystem::removeStaleTemporaryFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // file, folder or link
    QTest::addColumn<bool>("removed");
    QTest::newRow("leftover") << ".a.txt.vandrel-Ab12Cd"
                              << "file" << true;
    QTest::newRow("QSaveFile's pattern") << "a.txt.ABC123"
                                         << "file" << false;
    QTest::newRow("short suffix") << ".a.txt.vandrel-1"
                                  << "file" << false;
    QTest::newRow("long suffix") << ".a.txt.vandrel-Ab12Cde"
                                 << "file" << false;
    QTest::newRow("not hidden") << "a.txt.vandrel-Ab12Cd"
                                << "file" << false;
    QTest::newRow("no name") << ".vandrel-Ab12Cd"
                             << "file" << false;
    QTest::newRow("user file") << "a.txt"
                               << "file" << false;
    QTest::newRow("folder") << ".a.vandrel-Ab12Cd"
                            << "folder" << false;
    QTest::newRow("link") << ".b.txt.vandrel-Ab12Cd"
                          << "link" << false;
}

void TestFileSystem::removeStaleTemporaryFiles()
{
#ifdef Q_OS_LINUX
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    const QString user = dir.filePath(QStringLiteral("b.txt"));
    TestFiles::write(user, "keep");
    QVERIFY(age(user));
    const QString path = dir.filePath(name);
    if (kind == u"folder")
        QVERIFY(QDir().mkdir(path));
    else if (kind == u"link")
        QVERIFY(QFile::link(user, path));
    else
        TestFiles::write(path, "x");
    QVERIFY(age(path));
    QVERIFY(FileSystem::removeStaleTemporaryFiles(dir.path()));
    QCOMPARE(QFileInfo(path).exists() || QFileInfo(path).isSymLink(), !removed);
    QCOMPARE(TestFiles::read(user), QByteArray("keep"));
#else
    QSKIP("sets file times with utimensat");
#endif
}

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
