#include "navigator/SearchIndex.h"
#include "platform/Application.h"
#include "records/RecordStore.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using TestFiles::cp949;

class TestSearchIndex : public QObject
{
    Q_OBJECT

private slots:
    void kinds_data();
    void kinds();
    void syllables_data();
    void syllables();
    void init();
    void query_data();
    void query();
    void followsTheDisk();

private:
    void write(const QString &rel, const QString &content, bool utf8 = false);
    QStringList names(const QString &query) const;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TSearchIndex> m_index;
};

void TestSearchIndex::kinds_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("kind");
    using K = SearchRules::Kind;
    QTest::newRow("initials") << "ㄱㅊㅅ" << int(K::Initials);
    QTest::newRow("double initial") << "ㄲ" << int(K::Initials);
    QTest::newRow("mixed") << "김ㅊ" << int(K::Initials);
    QTest::newRow("final-only consonant") << "ㄳ" << int(K::Text);
    QTest::newRow("syllables") << "김철수" << int(K::Text);
    QTest::newRow("digits") << "010234" << int(K::Digits);
    QTest::newRow("digits with separators") << "02 555-01" << int(K::Digits);
    QTest::newRow("two digits are text") << "01" << int(K::Text);
    QTest::newRow("digits and letters") << "a123" << int(K::Text);
}

void TestSearchIndex::kinds()
{
    QFETCH(QString, query);
    QFETCH(int, kind);
    QCOMPARE(int(SearchRules::KindOf(query)), kind);
}

void TestSearchIndex::syllables_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("match");
    QTest::newRow("initials") << "ㄱㅊㅅ"
                              << "김철수" << true;
    QTest::newRow("another") << "ㅎㄱㄷ"
                             << "홍길동" << true;
    QTest::newRow("inside") << "ㅊㅅ"
                            << "김철수" << true;
    QTest::newRow("mixed") << "김ㅊ"
                           << "김철수" << true;
    QTest::newRow("mixed, other syllable") << "김ㅊ"
                                           << "금철수" << false;
    QTest::newRow("double consonant") << "ㄲ"
                                      << "꼬마" << true;
    QTest::newRow("single is not double") << "ㄱ"
                                          << "꼬마" << false;
    QTest::newRow("double is not single") << "ㄲ"
                                          << "고마" << false;
    QTest::newRow("the consonant itself") << "ㄱ"
                                          << "ㄱ자" << true;
    QTest::newRow("a blank between") << "ㄱㅊ"
                                     << "김 철수" << false;
    QTest::newRow("last syllable") << "ㅎ"
                                   << "가힣" << true;
}

void TestSearchIndex::syllables()
{
    QFETCH(QString, query);
    QFETCH(QString, text);
    QFETCH(bool, match);
    QCOMPARE(SearchRules::MatchesSyllables(query, text), match);
}

void TestSearchIndex::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    write("김철수.txt", "[data]\r\nHand=010-2345-6789\r\nBCT1=123-45-678\r\nOZip=06236\r\n"
                        "[Memo]\r\nmany=1\r\n1=대학 동기\r\n");
    write("한빛상사/__g_t.zu", "[data]\r\nONme=Hanbit\r\nOPst=영업본부\r\n");
    write("한빛상사/홍길동.txt",
          "[data]\r\nODDD=02\r\nOPh1=555-0100\r\nOPh2=555-0101\r\nOPst=영업부\r\n", true);
    write("한빛상사/Hanbit Kim.txt", "[data]\r\nEMail=KIM@example.kr\r\n");
    write("나영.txt", "[data]\r\nONme=HANBIT\r\n");
    write("가람.txt", "[data]\r\nONme=hanbit trading\r\n");
    // Not a record the tree shows: a companion folder's file.
    write("__김철수/scan.txt", "[data]\r\nHand=010-2345-6789\r\n");
    m_index = std::make_unique<TSearchIndex>();
    m_index->Open(QDir::toNativeSeparators(m_dir->path()));
    m_index->WaitUntilReady();
}

void TestSearchIndex::write(const QString &rel, const QString &content, bool utf8)
{
    const QString path = m_dir->filePath(rel);
    QDir().mkpath(QFileInfo(path).path());
    TestFiles::write(path, utf8 ? content.toUtf8() : cp949(content));
}

QStringList TestSearchIndex::names(const QString &query) const
{
    QStringList out;
    for (const TSearchIndex::Hit &hit : m_index->Query(query))
        out << hit.displayName + u'|' + hit.value
                   + (hit.nameMatch ? QStringLiteral("|name") : QString());
    return out;
}

void TestSearchIndex::query_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("hits"); // name|value[|name]
    QTest::newRow("initials") << "ㄱㅊㅅ" << QStringList{"김철수|김철수|name"};
    QTest::newRow("mixed") << "김ㅊ" << QStringList{"김철수|김철수|name"};
    QTest::newRow("initials in a value") << "ㄷㄱ" << QStringList{"김철수|대학 동기"};
    QTest::newRow("mobile digits") << "010234" << QStringList{"김철수|010-2345-6789"};
    QTest::newRow("composed with the area code")
        << "02 555 0101" << QStringList{"홍길동|02-555-0101"};
    QTest::newRow("number without area code") << "5550100" << QStringList{"홍길동|02-555-0100"};
    QTest::newRow("no hit on account digits") << "12345" << QStringList();
    QTest::newRow("no hit on postal code") << "06236" << QStringList();
    // Name matches first, then names in Korean order; letter case aside.
    QTest::newRow("company, any case")
        << "hanbit"
        << QStringList{"Hanbit Kim|Hanbit Kim|name", "가람|hanbit trading", "나영|HANBIT",
                       "한빛상사|Hanbit"};
    QTest::newRow("korean value") << "영업" << QStringList{"한빛상사|영업본부", "홍길동|영업부"};
    QTest::newRow("nothing") << "없는말" << QStringList();
}

void TestSearchIndex::query()
{
    QFETCH(QString, query);
    QFETCH(QStringList, hits);
    QCOMPARE(names(query), hits);
    if (!hits.isEmpty() && query == u"ㄱㅊㅅ") {
        const TSearchIndex::Hit hit = m_index->Query(query).first();
        QCOMPARE(hit.relPath, QStringLiteral("김철수.txt"));
        QCOMPARE(hit.folder, QString());
    }
}

void TestSearchIndex::followsTheDisk()
{
    QSignalSpy folders(m_index.get(), &TSearchIndex::folderChanged);
    // Written by another program: found within a second.
    write("한빛상사/박영희.txt", "[data]\r\nHand=010-9999-0000\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(names("ㅂㅇㅎ"), QStringList{"박영희|박영희|name"}, 2000);
    QVERIFY(folders.count() >= 1);
    QCOMPARE(m_index->Query("ㅂㅇㅎ").first().relPath,
             QStringLiteral("한빛상사") + QDir::separator() + QStringLiteral("박영희.txt"));
    // Renamed and removed outside.
    QVERIFY(QFile::rename(m_dir->filePath("김철수.txt"), m_dir->filePath("김철호.txt")));
    QTRY_COMPARE_WITH_TIMEOUT(names("010234"), QStringList{"김철호|010-2345-6789"}, 2000);
    QVERIFY(QFile::remove(m_dir->filePath("김철호.txt")));
    QTRY_COMPARE_WITH_TIMEOUT(names("010234"), QStringList(), 2000);
    // A new folder and the records in it.
    write("새 폴더/이순신.txt", "[data]\r\nHand=010-1111-2222\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(names("ㅇㅅㅅ"), QStringList{"이순신|이순신|name"}, 2000);
    // A folder renamed outside: its records move with it.
    QVERIFY(QDir(m_dir->path()).rename(QStringLiteral("새 폴더"), QStringLiteral("옛 폴더")));
    QTRY_COMPARE_WITH_TIMEOUT(m_index->Query("ㅇㅅㅅ").value(0).folder, QStringLiteral("옛 폴더"),
                              2000);
    QCOMPARE(m_index->Query("ㅇㅅㅅ").size(), 1);
    // What the program changes through the store is in the index at once, with no refresh.
    Record record;
    record.SetValue(u"ONme", QStringLiteral("다른회사"));
    RecordStore::SaveRecord(m_dir->filePath("나영.txt"), record);
    QCOMPARE(names("다른회사"), QStringList{"나영|다른회사"});
    QCOMPARE(names("hanbit").size(), 3);
    QString warning;
    QCOMPARE(RecordStore::Rename(m_dir->path() + u'/', "나영", "나래", true, &warning), QString());
    QCOMPARE(names("다른회사"), QStringList{"나래|다른회사"});
    RecordStore::CreateFolder(m_dir->filePath("새 회사"), record);
    QCOMPARE(names("다른회사"), QStringList({"나래|다른회사", "새 회사|다른회사"}));
    QVERIFY(RecordStore::ShellFileOperation(m_dir->filePath("나래.txt"), QString(),
                                            RecordStore::FoDelete, RecordStore::FofNoConfirmation));
    QCOMPARE(names("다른회사"), QStringList{"새 회사|다른회사"});
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    TestSearchIndex test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_searchindex.moc"
