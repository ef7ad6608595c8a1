#include "platform/FileSystem.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFileSystem : public QObject
{
    Q_OBJECT
private slots:
    void resolve_data();
    void resolve();
    void writeAtomicallyReplacesWhole();
    void writeAtomicallyFailsCleanly();
};

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

void TestFileSystem::writeAtomicallyFailsCleanly()
{
    QTemporaryDir dir;
    QVERIFY(!FileSystem::writeAtomically(dir.filePath(QStringLiteral("missing/a.txt")), "x"));
    QVERIFY(QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                .isEmpty());
}

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_filesystem.moc"
