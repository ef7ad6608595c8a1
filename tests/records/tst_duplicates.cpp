#include "platform/ShellFiles.h"
#include "platform/TextCodec.h"
#include "records/Duplicates.h"
#include "records/RecordStore.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Finding records of the same person and merging them, on records written as bytes.
class TestDuplicates : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void grouping_data();
    void grouping();
    void differentPeopleStayApart();
    void copiesMarkedApartGetAnIdentityEach();
    void cancelledSearchStops();
    void merge_data();
    void merge();
    void numbersKeepTheirAreaCode_data();
    void numbersKeepTheirAreaCode();

private:
    // "rel=[data]|Hand=1": the record file rel below the data directory, "|" for line breaks.
    void make(const QStringList &files);
    QString path(const QString &rel) const { return m_dir->filePath(rel); }
    QString root() const { return m_dir->path(); }
    QStringList found(const QList<Duplicates::Group> &groups) const;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestDuplicates::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestDuplicates::make(const QStringList &files)
{
    for (const QString &f : files) {
        const qsizetype eq = f.indexOf(u'=');
        const QString rel = f.left(eq);
        QDir().mkpath(QFileInfo(path(rel)).path());
        QString text = f.mid(eq + 1);
        text.replace(u'|', "\r\n"_L1);
        TestFiles::write(path(rel), text.toUtf8() + "\r\n");
    }
}

// Each group as its members' paths below the data directory, then its reasons.
QStringList TestDuplicates::found(const QList<Duplicates::Group> &groups) const
{
    QStringList out;
    for (const Duplicates::Group &g : groups) {
        QStringList members;
        for (const QString &p : g.paths)
            members << QDir(root()).relativeFilePath(p);
        // The walk lists in the file system's order.
        std::sort(members.begin(), members.end());
        out << members.join(" + "_L1) + " : "_L1 + g.Reason();
    }
    return out;
}

void TestDuplicates::grouping_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("groups");
    const auto hand = [](const char *name, const char *number) {
        return QString::fromUtf8(name) + "=[data]|Hand="_L1 + QString::fromUtf8(number);
    };
    QTest::newRow("mobile in every notation")
        << QStringList{hand("a.txt", "010-1234-5678"), hand("b.txt", "01012345678"),
                       hand("c.txt", "+82 10 1234 5678"), hand("d.txt", "+82-10-1234-5678"),
                       hand("e.txt", "010 1234 5679")}
        << QStringList{u"a.txt + b.txt + c.txt + d.txt : 같은 핸드폰 010-1234-5678"_s};
    QTest::newRow("a company number gets its area code")
        << QStringList{u"a.txt=[data]|ODDD=02|OPh1=555-0101"_s, u"b.txt=[data]|HPh2=025550101"_s,
                       u"c.txt=[data]|OPh2=+82 2 555 0101"_s,
                       u"d.txt=[data]|ODDD=031|OPh1=555-0101"_s, u"e.txt=[data]|OPh1=555-0101"_s}
        << QStringList{u"a.txt + b.txt + c.txt : 같은 전화 02-555-0101"_s};
    QTest::newRow("mail in any letter case")
        << QStringList{u"a.txt=[data]|EMail=Kim@Example.com"_s,
                       u"b.txt=[data]|EMail= kim@example.COM"_s,
                       u"c.txt=[data]|EMail=kim2@example.com"_s}
        << QStringList{u"a.txt + b.txt : 같은 전자우편 kim@example.com"_s};
    QTest::newRow("namesakes with a value in common")
        << QStringList{u"김철수.txt=[data]|ONme=한빛상사"_s,
                       u"x/김 철수.txt=[data]|ONme=한빛 상사"_s,
                       u"y/김철수_01.txt=[HAdd]|many=1|1=서울 종로구 1"_s,
                       u"z/김철수.txt=[HAdd]|many=1|1=서울  종로구 1"_s}
        << QStringList{u"x/김 철수.txt + 김철수.txt : 같은 이름 김철수"_s,
                       u"y/김철수_01.txt + z/김철수.txt : 같은 이름 김철수"_s};
    QTest::newRow("latin names in any case")
        << QStringList{u"John Kim.txt=[data]|ONme=ACME"_s, u"x/johnkim.txt=[data]|ONme=acme"_s}
        << QStringList{u"John Kim.txt + x/johnkim.txt : 같은 이름 John Kim"_s};
    QTest::newRow("near misses") << QStringList{
        u"김철수.txt=[data]|Hand=010-1111-2222|OPst=영업부|OCls=과장|ODDD=02"_s,
        u"x/김 철수.txt=[data]|Hand=010-3333-4444|OPst=영업부|OCls=과장|ODDD=02"_s,
        u"이영희.txt=[data]|OFax=02-555-0199"_s,
        u"박민수.txt=[data]|OFax=02-555-0199"_s,
        hand("short.txt", "1234"),
        hand("x/short.txt",
             "1234")} << QStringList{};
    QTest::newRow("a fax joins namesakes")
        << QStringList{u"이영희.txt=[data]|OFax=02-555-0199"_s,
                       u"x/이영희.txt=[data]|ODDD=02|OFax=5550199"_s}
        << QStringList{u"x/이영희.txt + 이영희.txt : 같은 이름 이영희"_s};
    QTest::newRow("a folder record is no person")
        << QStringList{u"한빛/__g_t.zu=[data]|ODDD=02|OPh1=555-0101"_s,
                       u"한빛/김철수.txt=[data]|ODDD=02|OPh1=555-0101|EMail=a@b.kr"_s,
                       u"다른/__g_t.zu=[data]|EMail=a@b.kr"_s}
        << QStringList{};
    QTest::newRow("one group through several reasons")
        << QStringList{hand("a.txt", "010-1234-5678"),
                       u"b.txt=[data]|Hand=01012345678|EMail=p@q.kr"_s,
                       u"c.txt=[data]|EMail=P@Q.KR"_s, hand("d.txt", "010-9999-0000")}
        << QStringList{
               u"a.txt + b.txt + c.txt : 같은 전자우편 p@q.kr, 같은 핸드폰 010-1234-5678"_s};
}

void TestDuplicates::grouping()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, groups);
    make(files);
    QStringList got = found(Duplicates::Find(root()));
    std::sort(got.begin(), got.end());
    std::sort(groups.begin(), groups.end());
    QCOMPARE(got, groups);
}

void TestDuplicates::differentPeopleStayApart()
{
    make({u"a.txt=[data]|Hand=010-1234-5678"_s,
          u"b.txt=[data]|Hand=01012345678|[Vandrel]|UID=urn:uuid:b"_s});
    QList<Duplicates::Group> groups = Duplicates::Find(root());
    QCOMPARE(groups.size(), 1);
    QCOMPARE(Duplicates::MarkNotDuplicates(root(), groups.first()), QString());
    // The record without an identity got one, and only the hidden file knows the pair.
    const QString uid = Record::Read(path("a.txt")).Uid();
    QVERIFY(uid.startsWith("urn:uuid:"_L1));
    const QByteArray line = TestFiles::read(Duplicates::NotDuplicatesFile(root()));
    QVERIFY(line == uid.toUtf8() + "\turn:uuid:b\n"
            || line == "urn:uuid:b\t" + uid.toUtf8() + '\n');
    QVERIFY(Duplicates::Find(root()).isEmpty());
    // Renamed and moved, still the same two people.
    QString warning;
    QCOMPARE(RecordStore::Rename(root() + u'/', u"a"_s, u"새이름"_s, true, &warning), QString());
    QDir().mkpath(path("sub"));
    QVERIFY(QFile::rename(path("b.txt"), path("sub/b.txt")));
    QVERIFY(Duplicates::Find(root()).isEmpty());
    // A third record with that number is offered with both.
    make({u"c.txt=[data]|Hand=+82 10-1234-5678"_s});
    groups = Duplicates::Find(root());
    QCOMPARE(groups.size(), 1);
    QCOMPARE(groups.first().paths.size(), 3);
}

void TestDuplicates::copiesMarkedApartGetAnIdentityEach()
{
    make({u"a.txt=[data]|Hand=010-1234-5678|[Vandrel]|UID=urn:uuid:same"_s,
          u"x/a.txt=[data]|Hand=010-1234-5678|[Vandrel]|UID=urn:uuid:same"_s});
    const QList<Duplicates::Group> groups = Duplicates::Find(root());
    QCOMPARE(groups.size(), 1);
    QCOMPARE(Duplicates::MarkNotDuplicates(root(), groups.first()), QString());
    QVERIFY(Record::Read(path("a.txt")).Uid() != Record::Read(path("x/a.txt")).Uid());
    QVERIFY(Duplicates::Find(root()).isEmpty());
}

void TestDuplicates::cancelledSearchStops()
{
    make({u"a.txt=[data]|Hand=010-1234-5678"_s, u"b.txt=[data]|Hand=010-1234-5678"_s});
    std::atomic<bool> cancel{false};
    qint64 reported = -1;
    QCOMPARE(
        Duplicates::Find(root(), &cancel, [&](qint64 done, qint64) { reported = done; }).size(), 1);
    QCOMPARE(reported, 0);
    cancel = true;
    QVERIFY(Duplicates::Find(root(), &cancel).isEmpty());
}

void TestDuplicates::merge_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("after"); // every entry below the data directory afterwards
    QTest::addColumn<QStringList>("trashed");
    const QString merged = u"[data]|Hand=010-2222-3333|EMail=kim@a.kr|"
                           "[Memo]|many=3|1=\"__%1/사진.jpg\"|2=첫째|3=\"__%1/사진2.jpg\" 둘째|"
                           "[Vandrel]|UID=urn:uuid:kept"_s;
    QTest::newRow("keeps its name") << u"김철수"_s << QString()
                                    << QStringList{u"__김철수/"_s,
                                                   u"__김철수/사진.jpg=aaa"_s,
                                                   u"__김철수/사진2.jpg=bbb"_s,
                                                   u"__김철수/메모.txt=note"_s,
                                                   u"other.txt=[Memo]|1=\"__김 철수/사진.jpg\""_s,
                                                   u"김철수.txt="_s + merged.arg(u"김철수"_s)}
                                    << QStringList{u"__김 철수"_s, u"김 철수.txt"_s};
    QTest::newRow("renamed and moved")
        << u"김철수 부장"_s << u"회사"_s
        << QStringList{u"other.txt=[Memo]|1=\"__김 철수/사진.jpg\""_s,
                       u"회사/"_s,
                       u"회사/__김철수 부장/"_s,
                       u"회사/__김철수 부장/사진.jpg=aaa"_s,
                       u"회사/__김철수 부장/사진2.jpg=bbb"_s,
                       u"회사/__김철수 부장/메모.txt=note"_s,
                       u"회사/김철수 부장.txt="_s + merged.arg(u"김철수 부장"_s)}
        << QStringList{u"__김 철수"_s, u"김 철수.txt"_s};
    QTest::newRow("name of a record outside the group")
        << u"other"_s << QString() << QStringList{} << QStringList{};
    // The other record keeps its files when it cannot go to the trash.
    QTest::newRow("the trash refuses")
        << u"김철수"_s << u"trash fails"_s << QStringList{} << QStringList{};
}

void TestDuplicates::merge()
{
    QFETCH(QString, name);
    QFETCH(QString, folder);
    QFETCH(QStringList, after);
    QFETCH(QStringList, trashed);
    make({u"김철수.txt=[data]|Hand=010-1111-2222|[Memo]|many=1|1=\"__김철수/사진.jpg\"|"
          "[Vandrel]|UID=urn:uuid:kept"_s,
          u"__김철수/사진.jpg=aaa"_s,
          u"김 철수.txt=[data]|Hand=010-2222-3333|EMail=kim@a.kr|"
          "[Memo]|many=2|1=첫째|2=\"__김 철수/사진.jpg\" 둘째"_s,
          u"__김 철수/사진.jpg=bbb"_s, u"__김 철수/메모.txt=note"_s,
          u"other.txt=[Memo]|1=\"__김 철수/사진.jpg\""_s});
    QDir().mkpath(path("회사"));
    // Every entry below the data directory: "name/" for a folder, "name=content" for a file.
    const std::function<QStringList(const QString &, const QString &)> snapshot =
        [&](const QString &dir, const QString &prefix) {
            QStringList out;
            for (const QFileInfo &info : QDir(dir).entryInfoList(
                     QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
                if (info.isDir()) {
                    out << prefix + info.fileName() + u'/';
                    out << snapshot(info.filePath(), prefix + info.fileName() + u'/');
                } else {
                    const QByteArray bytes = TestFiles::read(info.filePath());
                    QString text = TextCodec::decode(bytes, TextCodec::detect(bytes)).trimmed();
                    text.replace("\r\n"_L1, "|"_L1);
                    out << prefix + info.fileName() + u'=' + text;
                }
            }
            return out;
        };
    QTemporaryDir trash;
    QStringList inTrash;
    ShellFiles::SetTrashFunction([&](const QString &p, QString *) {
        if (folder == u"trash fails")
            return false;
        inTrash << QFileInfo(p).fileName();
        return QFile::rename(p, trash.filePath(QFileInfo(p).fileName()));
    });
    const QStringList before = snapshot(root(), {});
    QList<Record> records{Record::Read(path("김철수.txt")), Record::Read(path("김 철수.txt"))};
    QList<int> choice(RecordFieldCount, 0);
    choice[FieldIndex(u"Hand")] = 1;
    choice[FieldIndex(u"EMail")] = 1;
    choice[FieldIndex(u"Memo")] = -1;
    QSignalSpy spy(&RecordStore::Notifier::Instance(), &RecordStore::Notifier::changed);
    const QString why = Duplicates::MergeRecords(
        {{path("김철수.txt"), path("김 철수.txt")},
         0,
         name,
         folder.isEmpty() || folder == u"trash fails" ? root() : path(folder),
         Duplicates::MergedValues(records, choice)});
    ShellFiles::SetTrashFunction({});
    if (after.isEmpty()) {
        QVERIFY(!why.isEmpty());
        QCOMPARE(snapshot(root(), {}), before);
        // Files that went over and back are told, as one change.
        QCOMPARE(spy.count(), folder == u"trash fails" ? 1 : 0);
        return;
    }
    QCOMPARE(why, QString());
    QStringList expected = after;
    expected << u"회사/"_s;
    expected.removeDuplicates();
    std::sort(expected.begin(), expected.end());
    QStringList got = snapshot(root(), {});
    std::sort(got.begin(), got.end());
    QCOMPARE(got, expected);
    std::sort(inTrash.begin(), inTrash.end());
    std::sort(trashed.begin(), trashed.end());
    QCOMPARE(inTrash, trashed);
    QVERIFY(QFileInfo(trash.filePath(u"__김 철수"_s)).isDir());
    QVERIFY(QDir(trash.filePath(u"__김 철수"_s)).isEmpty());
    // One operation, one notification.
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(1).toString(), u"중복 합치기: "_s + name);
}

void TestDuplicates::numbersKeepTheirAreaCode_data()
{
    QTest::addColumn<int>("codeFrom"); // the record whose 회사 DDD is kept
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QStringList>("memo");
    QTest::newRow("the number's own code") << 1 << u"555-0202"_s << QStringList{u"메모"_s};
    QTest::newRow("another code") << 0 << QString()
                                  << QStringList{u"메모"_s, u"회사 전화: 031-555-0202"_s};
}

void TestDuplicates::numbersKeepTheirAreaCode()
{
    QFETCH(int, codeFrom);
    QFETCH(QString, phone);
    QFETCH(QStringList, memo);
    QList<Record> records(2);
    records[0].SetValue(u"ODDD", u"02"_s);
    records[0].SetValue(u"OPh1", u"555-0101"_s);
    records[0].SetLines(u"Memo", {u"메모"_s});
    records[1].SetValue(u"ODDD", u"031"_s);
    records[1].SetValue(u"OPh1", u"555-0202"_s);
    QList<int> choice(RecordFieldCount, 0);
    choice[FieldIndex(u"OPh1")] = 1;
    choice[FieldIndex(u"ODDD")] = codeFrom;
    const Record merged = Duplicates::MergedValues(records, choice);
    QCOMPARE(merged.Value(u"OPh1"), phone);
    QCOMPARE(merged.Lines(u"Memo"), memo);
}

QTEST_GUILESS_MAIN(TestDuplicates)
#include "tst_duplicates.moc"
