#include "navigator/RecordSearch.h"
#include "navigator/SearchIndex.h"
#include "platform/NameOrder.h"
#include "records/RecordStore.h"
#include "records/RecordWalk.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

// The walk that the index, the search and the export share, over data directories holding
// links, and the one order of names that the tree and the filter box's list both use.
class TestRecordWalk : public QObject
{
    Q_OBJECT
private slots:
    void linksNeverDoubleARecord_data();
    void linksNeverDoubleARecord();
    void walkChangesNothing();
    void namesThatAreNotUtf8AreTold();
    void treeAndIndexOrderAlike_data();
    void treeAndIndexOrderAlike();
};

void TestRecordWalk::linksNeverDoubleARecord_data()
{
    QTest::addColumn<QStringList>("links"); // "link=target", both below the data directory
    QTest::addColumn<QString>("consumer");
    const QList<std::pair<const char *, QStringList>> layouts = {
        {"loop to the data directory", {u"a/loop=."_s}},
        {"loop to the parent", {u"a/b/up=a"_s}},
        {"link to itself", {u"a/self=a"_s}},
        {"second way into a folder", {u"alias=a"_s, u"a/b/back=a"_s}},
    };
    for (const char *consumer : {"walk", "index", "index, folder added later", "search", "export"})
        for (const auto &[name, links] : layouts)
            QTest::addRow("%s, %s", consumer, name) << links << QString::fromLatin1(consumer);
}

void TestRecordWalk::linksNeverDoubleARecord()
{
#ifndef Q_OS_UNIX
    QSKIP("directory links are a Unix matter here");
#endif
    QFETCH(QStringList, links);
    QFETCH(QString, consumer);
    QTemporaryDir tmp;
    const QDir root(tmp.path());
    root.mkpath(u"a/b"_s);
    for (const char *f : {"top.txt", "a/kim.txt", "a/__g_t.zu", "a/b/lee.txt"})
        TestFiles::write(root.filePath(QString::fromLatin1(f)), "[data]\r\nHand=010\r\n");
    const bool later = consumer.endsWith(u"later");
    const auto makeLinks = [&] {
        for (const QString &l : links)
            QVERIFY(QFile::link(root.filePath(l.section(u'=', 1)),
                                root.filePath(l.section(u'=', 0, 0))));
    };
    if (!later)
        makeLinks();
    // The data directory's own records, a's folder record and its two records.
    const int expected = 4;
    if (consumer == u"walk") {
        int files = 0;
        for (const RecordWalk::Folder &f : RecordWalk::Walk(tmp.path()))
            files += int(f.files.size());
        QCOMPARE(files, expected);
    } else if (consumer == u"search") {
        QCOMPARE(RecordSearch::CollectFiles(tmp.path()).size(), expected);
    } else if (consumer == u"export") {
        QCOMPARE(RecordStore::CollectRecords(tmp.path(), false, nullptr).size(), expected);
    } else {
        TSearchIndex index;
        index.Open(tmp.path());
        index.WaitUntilReady();
        if (later) {
            // Made while the index runs, and found by its refresh of the data directory.
            makeLinks();
            root.mkpath(u"c"_s);
            TestFiles::write(root.filePath(u"c/new.txt"_s), "[data]\r\nHand=011\r\n");
            QVERIFY(QFile::link(tmp.path(), root.filePath(u"c/home"_s)));
            index.Refresh(tmp.path());
            QCOMPARE(index.RecordCount(), expected + 1);
        } else {
            QCOMPARE(index.RecordCount(), expected);
        }
        QCOMPARE(index.Query(u"kim"_s).size(), 1);
    }
}

void TestRecordWalk::walkChangesNothing()
{
    // What an interrupted save left behind is the tree's to remove when it opens the folder.
    QTemporaryDir tmp;
    const QString leftover = tmp.filePath(u".kim.txt.vandrel-AbC123"_s);
    TestFiles::write(tmp.filePath(u"kim.txt"_s), "[data]\r\nHand=010\r\n");
    TestFiles::write(leftover, "half");
    QFile old(leftover);
    QVERIFY(old.open(QIODevice::ReadWrite));
    QVERIFY(old.setFileTime(QDateTime::currentDateTime().addDays(-2),
                            QFileDevice::FileModificationTime));
    old.close();
    TSearchIndex index;
    index.Open(tmp.path());
    index.WaitUntilReady();
    index.Refresh(tmp.path());
    QCOMPARE(RecordStore::CollectRecords(tmp.path(), false, nullptr).size(), 1);
    QVERIFY(QFile::exists(leftover));
    RecordStore::ListFolder(tmp.path());
    QVERIFY(!QFile::exists(leftover));
}

void TestRecordWalk::namesThatAreNotUtf8AreTold()
{
#ifndef Q_OS_UNIX
    QSKIP("names are UTF-16 there");
#else
    // Archives made on Korean Windows unpack with code page 949 names: no path reaches them.
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(u"a"_s);
    TestFiles::write(tmp.filePath(u"a/kim.txt"_s), "[data]\r\nHand=1\r\n");
    const QByteArray lee = TestFiles::cp949(u"이영희.txt"_s);
    TestFiles::writeRawName(tmp.filePath(u"a"_s), lee, "[data]\r\nHand=2\r\n");
    const QByteArray folder = TestFiles::cp949(u"친구"_s);
    QVERIFY(::mkdir((QFile::encodeName(tmp.path()) + '/' + folder).constData(), 0700) == 0);
    const QList<RecordWalk::Folder> walked = RecordWalk::Walk(tmp.path());
    QCOMPARE(walked.size(), 2);
    QCOMPARE(walked[1].files, QStringList{u"kim.txt"_s});
    QCOMPARE(walked[1].unreadable.size(), 1);
    QCOMPARE(walked[1].unreadable[0].name, u"이영희.txt"_s);
    QCOMPARE(walked[1].unreadable[0].raw, lee);
    QCOMPARE(walked[0].unreadable.size(), 1);
    QVERIFY(walked[0].unreadable[0].isDir);
    QStringList unreadable;
    QCOMPARE(RecordStore::CollectRecords(tmp.path(), false, &unreadable).size(), 1);
    QCOMPARE(unreadable.size(), 2);
    TestFiles::removeRawName(tmp.filePath(u"a"_s), lee);
    ::rmdir((QFile::encodeName(tmp.path()) + '/' + folder).constData());
#endif
}

void TestRecordWalk::treeAndIndexOrderAlike_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("C") << "C";
    QTest::newRow("Korean") << "ko_KR";
    QTest::newRow("English") << "en_US";
}

void TestRecordWalk::treeAndIndexOrderAlike()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    QTemporaryDir tmp;
    const QStringList names = {u"b x"_s, u"B x"_s, u"a x"_s,  u"Z x"_s, u"가 x"_s, u"_ x"_s,
                               u"é x"_s, u"E x"_s, u"10 x"_s, u"9 x"_s, u"ㄱ x"_s};
    for (const QString &n : names)
        TestFiles::write(QDir(tmp.path()).filePath(n + u".txt"_s), "[data]\r\nHand=1\r\n");
    QStringList tree;
    for (const QString &file : RecordStore::ListFolder(tmp.path()).records)
        tree << file.chopped(4);
    TSearchIndex index;
    index.Open(tmp.path());
    index.WaitUntilReady();
    QStringList listed;
    for (const TSearchIndex::Hit &hit : index.Query(u"x"_s))
        listed << hit.displayName;
    QLocale::setDefault(QLocale::system());
    // Names that compare equal may stand either way round; everything else in one order.
    const NameOrder order;
    QCOMPARE(listed.size(), tree.size());
    for (qsizetype i = 0; i < tree.size(); ++i)
        QVERIFY2(listed[i] == tree[i] || order.compare(listed[i], tree[i]) == 0,
                 qPrintable(listed.join(u" | ") + u"  vs  "_s + tree.join(u" | ")));
}

QTEST_MAIN(TestRecordWalk)
#include "tst_recordwalk.moc"
