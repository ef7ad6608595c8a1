#include "navigator/RecordSearch.h"
#include "platform/TextCodec.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using TestFiles::cp949;

class TestRecordSearch : public QObject
{
    Q_OBJECT
private slots:
    void normalize_data();
    void normalize();
    void contents_data();
    void contents();
    void names_data();
    void names();
    void collectFiles();
    void collectFilesSurvivesLinkLoop();
    void unreadableEntriesAreSkipped();
    void hitLabels_data();
    void hitLabels();
};

void TestRecordSearch::normalize_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("searched");
    QTest::newRow("case") << "  KiM "
                          << "kim";
    QTest::newRow("korean unchanged") << "홍길동"
                                      << "홍길동";
    QTest::newRow("only A-Z folds") << QStringLiteral("ÄB") << QStringLiteral("Äb");
}

void TestRecordSearch::normalize()
{
    QFETCH(QString, typed);
    QFETCH(QString, searched);
    QCOMPARE(RecordSearch(typed).Text(), searched);
}

void TestRecordSearch::contents_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("hit");
    const QByteArray ascii = "[data]\r\nEMail=KIM@Example.kr\r\nONme=Hanbit\r\n[Memo]\r\nmany=1\r\n"
                             "1=call kim on Monday\r\n";
    QTest::newRow("upper in file") << "kim" << ascii << true;
    QTest::newRow("upper typed") << "HANBIT" << ascii << true;
    QTest::newRow("memo line") << "monday" << ascii << true;
    QTest::newRow("key is not searched") << "email" << ascii << false;
    QTest::newRow("section is not searched") << "memo" << ascii << false;
    QTest::newRow("many key not searched") << "many" << ascii << false;
    QTest::newRow("absent") << "lee" << ascii << false;
    QTest::newRow("value with equals") << "b=c" << QByteArray("[data]\r\nONme=a=b=c\r\n") << true;
    QTest::newRow("across the first equals")
        << "e=a" << QByteArray("[data]\r\nONme=a\r\n") << false;

    const QByteArray korean = cp949(QStringLiteral(
        "[data]\r\nONme=한빛상사\r\nOPst=영업부\r\n[OAdd]\r\nmany=1\r\n1=서울특별시 강남구\r\n"));
    QTest::newRow("korean cp949") << "영업" << korean << true;
    QTest::newRow("korean address") << "강남" << korean << true;
    QTest::newRow("korean absent") << "부산" << korean << false;
    QTest::newRow("korean utf8") << "영업" << QStringLiteral("[data]\r\nOPst=영업부 😀\r\n").toUtf8()
                                 << true;
    QTest::newRow("korean in ascii file") << "영업" << ascii << false;
    // "갂" is 81 41 in code page 949: its second byte is the letter A, which must not match.
    QTest::newRow("second byte is no letter")
        << "a" << cp949(QStringLiteral("[data]\r\nONme=갂\r\n")) << false;
    QTest::newRow("letter after korean")
        << "a" << cp949(QStringLiteral("[data]\r\nONme=갂A\r\n")) << true;
    // 한 is C7 D1 and 글 is B1 DB: the bytes D1 B1 in between are no character.
    QTest::newRow("no match across characters")
        << TextCodec::decode("\xD1\xB1", TextCodec::Encoding::Cp949)
        << cp949(QStringLiteral("[data]\r\nONme=한글\r\n")) << false;
    QTest::newRow("emoji typed, cp949 file") << QStringLiteral("😀") << korean << false;
    QTest::newRow("empty file") << "a" << QByteArray() << false;
    // Letters right after a Hangul syllable fold too, in either encoding.
    QTest::newRow("after hangul, cp949")
        << "kim" << cp949(QStringLiteral("[data]\r\nONme=김Kim\r\n")) << true;
    QTest::newRow("after hangul, utf-8")
        << "kim" << QStringLiteral("[data]\r\nONme=김Kim😀\r\n").toUtf8() << true;
    // Only A-Z fold: "@" and "[" lie just outside and stay themselves.
    QTest::newRow("A folds") << "a" << QByteArray("[data]\r\nONme=A\r\n") << true;
    QTest::newRow("Z folds") << "z" << QByteArray("[data]\r\nONme=Z\r\n") << true;
    QTest::newRow("@ is no letter") << "`" << QByteArray("[data]\r\nONme=@\r\n") << false;
    QTest::newRow("[ is no letter") << "{" << QByteArray("[data]\r\nONme=[\r\n") << false;
    // Keys stay unsearched whatever ends the lines.
    QTest::newRow("LF only, key") << "kim" << QByteArray("[data]\nKim=x\nHand=1\n") << false;
    QTest::newRow("LF only, value") << "kim" << QByteArray("[data]\nHand=kim\n") << true;
    QTest::newRow("CR only, key") << "kim" << QByteArray("[data]\rHand=1\rKim=x\r") << false;
    QTest::newRow("CR only, value") << "kim" << QByteArray("[data]\rHand=1\rONme=kim\r") << true;
    // The record's identity is no value of the user's.
    const QByteArray withUid = "[data]\r\nONme=kim\r\n[Vandrel]\r\nUID=3f2a-beef\r\n"
                               "[Memo]\r\nmany=1\r\n1=after\r\n";
    QTest::newRow("identity not searched") << "3f2a" << withUid << false;
    QTest::newRow("before the identity") << "kim" << withUid << true;
    QTest::newRow("after the identity") << "after" << withUid << true;
    QTest::newRow("identity spelled in a value")
        << "vandrel" << QByteArray("[data]\r\nONme=[Vandrel] x\r\n") << true;
}

void TestRecordSearch::contents()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, file);
    QFETCH(bool, hit);
    QCOMPARE(RecordSearch(text).BytesMatch(file), hit);
    QTemporaryDir dir;
    const QString path = dir.filePath("r.txt");
    TestFiles::write(path, file);
    QCOMPARE(RecordSearch(text).ContentsMatch(path), hit);
}

void TestRecordSearch::names_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("hit");
    QTest::newRow("record name") << "kim"
                                 << "/d/Friends/KIM Chul.txt" << true;
    QTest::newRow("folder name is not the record's") << "friends"
                                                     << "/d/Friends/Lee.txt" << false;
    QTest::newRow("folder record uses its folder") << "hanbit"
                                                   << "/d/Hanbit/__g_t.zu" << true;
    QTest::newRow("folder record file name itself") << "g_t"
                                                    << "/d/Hanbit/__g_t.zu" << false;
    QTest::newRow("extension not searched") << "txt"
                                            << "/d/Lee.txt" << false;
    QTest::newRow("korean") << "길동"
                            << "/d/홍길동.txt" << true;
}

void TestRecordSearch::names()
{
    QFETCH(QString, text);
    QFETCH(QString, path);
    QFETCH(bool, hit);
    QCOMPARE(RecordSearch(text).NameMatches(QDir::toNativeSeparators(path)), hit);
}

void TestRecordSearch::collectFiles()
{
    QTemporaryDir dir;
    for (const char *f :
         {"a.txt", "B.TXT", "Co/__g_t.zu", "Co/x.txt", "Co/photo.jpg", "__Kim/memo.txt",
          "__Kim/scan.pdf", ".git/HEAD.txt", ".hidden.txt", "deep/er/z.zu", "n.Zu"}) {
        const QString full = dir.filePath(QString::fromUtf8(f));
        QDir().mkpath(QFileInfo(full).path());
        TestFiles::write(full, "x");
    }
    QStringList found;
    for (const QString &f : RecordSearch::CollectFiles(QDir::toNativeSeparators(dir.path())))
        found << QDir::fromNativeSeparators(f.mid(dir.path().size() + 1));
    found.sort();
    QCOMPARE(found,
             QStringList({"Co/__g_t.zu", "Co/x.txt", "__Kim/memo.txt", "a.txt", "deep/er/z.zu"}));
#ifdef Q_OS_UNIX
    // A name that is no UTF-8 is reported, never handed out as a path that reaches nothing.
    TestFiles::writeRawName(dir.filePath("Co"), TestFiles::cp949(QStringLiteral("김.txt")), "x");
    QStringList unreadable;
    QCOMPARE(RecordSearch::CollectFiles(dir.path(), &unreadable).size(), 5);
    QCOMPARE(unreadable, QStringList{dir.filePath(QStringLiteral("Co/김.txt"))});
    TestFiles::removeRawName(dir.filePath("Co"), TestFiles::cp949(QStringLiteral("김.txt")));
#endif
    QVERIFY(RecordSearch::CollectFiles(dir.filePath("missing")).isEmpty());
}

void TestRecordSearch::collectFilesSurvivesLinkLoop()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("A"));
    TestFiles::write(dir.filePath("A/kim.txt"), "x");
    QVERIFY(QFile::link(dir.path(), dir.filePath("A/up")));
    QVERIFY(QFile::link(dir.filePath("A"), dir.filePath("alias")));
    const QStringList files = RecordSearch::CollectFiles(dir.path());
    QCOMPARE(files.size(), 1);
}

void TestRecordSearch::unreadableEntriesAreSkipped()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0)
        QSKIP("the superuser reads everything");
#endif
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("Locked"));
    TestFiles::write(dir.filePath("Locked/in.txt"), "[data]\r\nHand=kim\r\n");
    TestFiles::write(dir.filePath("secret.txt"), "[data]\r\nHand=kim\r\n");
    TestFiles::write(dir.filePath("open.txt"), "[data]\r\nHand=kim\r\n");
    QFile::setPermissions(dir.filePath("secret.txt"), QFile::WriteOwner);
    QFile::setPermissions(dir.filePath("Locked"), QFile::WriteOwner);
    const QStringList files = RecordSearch::CollectFiles(dir.path());
    QFile::setPermissions(dir.filePath("Locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(files.size(), 2);
    const RecordSearch search(QStringLiteral("kim"));
    int hits = 0;
    for (const QString &f : files)
        hits += search.ContentsMatch(f) ? 1 : 0;
    QCOMPARE(hits, 1);
}

void TestRecordSearch::hitLabels_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("label");
    QTest::newRow("record") << "/d/Friends/Kim.txt"
                            << "Kim";
    QTest::newRow("dotted record") << "/d/a.b.txt"
                                   << "a.b";
    QTest::newRow("folder record") << "/d/한빛상사/__g_t.zu"
                                   << "한빛상사";
    QTest::newRow("dotted folder keeps its name") << "/d/Hanbit Co. Ltd/__g_t.zu"
                                                  << "Hanbit Co. Ltd";
}

void TestRecordSearch::hitLabels()
{
    QFETCH(QString, path);
    QFETCH(QString, label);
    QCOMPARE(RecordSearch::HitLabel(QDir::toNativeSeparators(path)), label);
}

QTEST_GUILESS_MAIN(TestRecordSearch)
#include "tst_recordsearch.moc"
