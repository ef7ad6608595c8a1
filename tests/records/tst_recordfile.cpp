#include "platform/Errors.h"
#include "platform/Profile.h"
#include "platform/TextCodec.h"
#include "records/Record.h"
#include "records/RecordFile.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using TestFiles::cp949;

namespace {

// A record as the program writes it, every field the way a user fills it in.
QString realisticRecord()
{
    return QStringLiteral(
        "[data]\r\nHand=010-2345-6789\r\nMUrl=blog.naver.com/hong\r\nEMail=hong@example.kr\r\n"
        "BNK1=국민은행\r\nBNM1=홍길동\r\nBCT1=123-45-678901\r\nONme=한빛상사\r\nODDD=02\r\n"
        "OPh1=555-0100\r\nOPh2=555-0101\r\nOFax=555-0199\r\nODir=555-0110\r\nOInt=210\r\n"
        "OPst=영업부\r\nOCls=과장\r\nBNK3=신한은행\r\nBNM3=(주)한빛상사\r\nBCT3=110-222-333333\r\n"
        "OZip=06236\r\nOUrl=www.hanbit.example\r\nHZip=13529\r\nHDDD=031\r\nHPh1=700-1234\r\n"
        "[Memo]\r\nmany=2\r\n1=대학 동기, 2019년 결혼\r\n2=둘째 줄, 똠방각하\r\n"
        "[OAdd]\r\nmany=1\r\n1=서울특별시 강남구 테헤란로 123, 4층\r\n"
        "[HAdd]\r\nmany=2\r\n1=경기도 성남시 분당구\r\n2=판교역로 45\r\n");
}

} // namespace

class TestRecordFile : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void fieldTable();
    void blankFormOnlyDeletes();
    void savesExactlyTheFields();
    void shortenedTextBoxKeepsLeftovers();
    void emptiedTextBoxErasesSection();
    void quotedValues();
    void readLines_data();
    void readLines();
    void cp949RecordRoundTripsByteForByte();
    void textOutside949RoundTrips();
    void failedWriteStopsAndKeepsFile();
    void oneSaveIsOneReplacement();
    void byNameAndBytes();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("Kim.txt")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestRecordFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestRecordFile::fieldTable()
{
    QCOMPARE(RecordFields.size(), size_t(33));
    int multi = 0;
    for (const RecordField &f : RecordFields)
        multi += f.multiLine ? 1 : 0;
    QCOMPARE(multi, 3);
    QCOMPARE(RecordFields.front().Name(), QStringLiteral("Hand"));
    QCOMPARE(RecordFields.back().Name(), QStringLiteral("HAdd"));
    QCOMPARE(FindRecordField(QStringLiteral("OFax"))->block, RecordField::Company);
    QCOMPARE(QString::fromUtf16(FindRecordField(QStringLiteral("HPh2"))->inputCaption),
             QStringLiteral("&B"));
    QVERIFY(!FindRecordField(QStringLiteral("edtName")));
}

void TestRecordFile::blankFormOnlyDeletes()
{
    TestFiles::write(path(), "[data]\r\nHand=1\r\nNick=Bob\r\n[Memo]\r\nmany=1\r\n1=x\r\n"
                             "[Extra]\r\nk=v\r\n");
    Record().Write(path());
    QCOMPARE(TestFiles::read(path()), QByteArray("[data]\r\nNick=Bob\r\n[Extra]\r\nk=v\r\n"));

    // A new record with nothing in it leaves no file behind.
    const QString fresh = m_dir->filePath(QStringLiteral("New_01.txt"));
    Record().Write(fresh);
    QVERIFY(!QFile::exists(fresh));
}

void TestRecordFile::savesExactlyTheFields()
{
    Record record;
    record.SetValue(u"Hand", "  010-1234-5678 \t");
    record.SetValue(u"ONme", "   "); // blanks only count as empty
    record.SetValue(u"OPh1", "555-0100");
    record.SetLines(u"Memo", {"  first  ", "", "third"});
    record.Write(path());
    QCOMPARE(TestFiles::read(path()),
             QByteArray("[data]\r\nHand=010-1234-5678\r\nOPh1=555-0100\r\n"
                        "[Memo]\r\nmany=3\r\n1=\"  first  \"\r\n2=\r\n3=third\r\n"));
    // Lines are kept untrimmed, so they read back with their blanks.
    QCOMPARE(ReadRecordLines(profile::Snapshot(path()), "Memo"),
             QStringList({"  first  ", "", "third"}));
}

void TestRecordFile::shortenedTextBoxKeepsLeftovers()
{
    Record record;
    record.SetLines(u"OAdd", {"1", "2", "3", "4", "5"});
    record.Write(path());
    record.SetLines(u"OAdd", {"one", "two"});
    record.Write(path());
    QCOMPARE(TestFiles::read(path()),
             QByteArray("[OAdd]\r\nmany=2\r\n1=one\r\n2=two\r\n3=3\r\n4=4\r\n5=5\r\n"));
    QCOMPARE(ReadRecordLines(profile::Snapshot(path()), "OAdd"), QStringList({"one", "two"}));
}

void TestRecordFile::emptiedTextBoxErasesSection()
{
    TestFiles::write(path(), "[data]\r\nHand=1\r\n[HAdd]\r\nmany=2\r\n1=a\r\n2=b\r\n3=left\r\n");
    Record record;
    record.SetValue(u"Hand", "1");
    record.Write(path());
    QCOMPARE(TestFiles::read(path()), QByteArray("[data]\r\nHand=1\r\n"));
}

void TestRecordFile::quotedValues()
{
    Record record;
    record.SetValue(u"ONme", "\"Hanbit & Co\"");
    record.SetLines(u"Memo", {"'quoted line'"});
    record.Write(path());
    // The quotes are the value's own: they go into a pair that the reader takes off.
    QVERIFY(TestFiles::read(path()).contains("ONme=\"\"Hanbit & Co\"\"\r\n"));
    const profile::Snapshot stored(path());
    QCOMPARE(ReadRecordValue(stored, "ONme"), QStringLiteral("\"Hanbit & Co\""));
    QCOMPARE(ReadRecordLines(stored, "Memo"), QStringList{"'quoted line'"});
    // A file written elsewhere with quotes around a value still reads without them.
    TestFiles::write(path(), "[data]\r\nONme=\"Hanbit & Co\"\r\n");
    QCOMPARE(ReadRecordValue(profile::Snapshot(path()), "ONme"), QStringLiteral("Hanbit & Co"));
}

void TestRecordFile::readLines_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("plain") << QByteArray("many=2\r\n1=a\r\n2=b\r\n") << QStringList{"a", "b"};
    QTest::newRow("hex count") << QByteArray("many=0x3\r\n1=a\r\n2=b\r\n3=c\r\n")
                               << QStringList{"a", "b", "c"};
    QTest::newRow("word count") << QByteArray("many=abc\r\n1=a\r\n") << QStringList();
    QTest::newRow("negative count") << QByteArray("many=-1\r\n1=a\r\n") << QStringList();
    QTest::newRow("zero count") << QByteArray("many=0\r\n1=a\r\n") << QStringList();
    QTest::newRow("no count") << QByteArray("1=a\r\n") << QStringList();
    QTest::newRow("missing key gives empty line")
        << QByteArray("many=3\r\n1=a\r\n3=c\r\n") << QStringList{"a", "", "c"};
    QTest::newRow("huge count stops at highest key")
        << QByteArray("many=2000000000\r\n1=a\r\n2=b\r\n") << QStringList{"a", "b"};
    QTest::newRow("count above keys") << QByteArray("many=5\r\n2=b\r\n") << QStringList{"", "b"};
    QTest::newRow("huge count and line key")
        << QByteArray("many=2000000000\r\n2000000000=z\r\n") << QStringList{"z"};
    QTest::newRow("gap beyond what a file needs")
        << QByteArray("many=3000\r\n1=a\r\n3000=z\r\n") << QStringList{"a", "z"};
    QTest::newRow("leftovers ignored")
        << QByteArray("many=1\r\n1=a\r\n2=old\r\n") << QStringList{"a"};
    QTest::newRow("duplicate keys, first wins")
        << QByteArray("many=1\r\n1=a\r\n1=b\r\n") << QStringList{"a"};
    QTest::newRow("key case") << QByteArray("MANY=1\r\n1=a\r\n") << QStringList{"a"};
    QTest::newRow("odd keys ignored")
        << QByteArray("many=2\r\n01=x\r\n+2=y\r\n2=b\r\n") << QStringList{"", "b"};
}

void TestRecordFile::readLines()
{
    QFETCH(QByteArray, section);
    QFETCH(QStringList, lines);
    TestFiles::write(path(), "[data]\r\nHand=1\r\n[Memo]\r\n" + section);
    QCOMPARE(ReadRecordLines(profile::Snapshot(path()), "Memo"), lines);
}

void TestRecordFile::cp949RecordRoundTripsByteForByte()
{
    const QByteArray original = cp949(realisticRecord());
    QVERIFY(TextCodec::fitsCp949(realisticRecord()));
    TestFiles::write(path(), original);
    const Record record = Record::Read(path());
    QCOMPARE(record.Value(u"ONme"), QStringLiteral("한빛상사"));
    record.Write(path());
    QCOMPARE(TestFiles::read(path()), original);

    // Saved from scratch, the same fields give the same bytes.
    const QString copy = m_dir->filePath(QStringLiteral("Copy.txt"));
    record.Write(copy);
    QCOMPARE(TestFiles::read(copy), original);

    // A changed value that fits keeps the file in code page 949.
    Record changed = record;
    changed.SetValue(u"OCls", QStringLiteral("부장"));
    changed.Write(path());
    QByteArray expected = original;
    expected.replace(cp949(QStringLiteral("OCls=과장")), cp949(QStringLiteral("OCls=부장")));
    QCOMPARE(TestFiles::read(path()), expected);
}

void TestRecordFile::textOutside949RoundTrips()
{
    TestFiles::write(path(), cp949(realisticRecord()));
    Record record = Record::Read(path());
    const QString emoji = QStringLiteral("생일 🎂 축하");
    const QString rareHanja = QString::fromUcs4(U"\U00020B9F\U0002A6B2");
    record.SetLines(u"Memo", record.Lines(u"Memo") + QStringList{emoji});
    record.SetValue(u"BNM3", rareHanja);
    record.Write(path());
    QVERIFY(TextCodec::isValidUtf8(TestFiles::read(path())));
    QCOMPARE(Record::Read(path()), record);
}

void TestRecordFile::failedWriteStopsAndKeepsFile()
{
    // The record's folder is gone: nothing can be written.
    const QString lost = m_dir->filePath(QStringLiteral("gone/Kim.txt"));
    Record record;
    record.SetValue(u"Hand", "1");
    try {
        record.Write(lost);
        QFAIL("the save should have failed");
    } catch (const WriteError &error) {
        QCOMPARE(error.message(), "Unable to write to " + QDir::toNativeSeparators(lost));
    }

    // A file that cannot be read is never replaced.
    QVERIFY(QDir().mkdir(path()));
    QVERIFY_THROWS_EXCEPTION(WriteError, record.Write(path()));
    QVERIFY(QFileInfo(path()).isDir());
}

void TestRecordFile::oneSaveIsOneReplacement()
{
#ifndef Q_OS_LINUX
    QSKIP("counts renames with inotify");
#else
    // Every rename onto the record is one replacement of the file.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    const auto closeWatch = qScopeGuard([&] { ::close(watch); });
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(m_dir->path()).constData(),
                                IN_MOVED_TO | IN_CLOSE_WRITE)
            >= 0);
    const auto replacements = [&] {
        int count = 0;
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
            for (char *p = buffer; p < buffer + n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                if (event->len && QByteArray(event->name) == "Kim.txt")
                    ++count;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return count;
    };
    TestFiles::write(path(), cp949(realisticRecord()));
    replacements();
    Record record = Record::Read(path());
    for (int i = 0; i < RecordFieldCount; ++i) {
        if (RecordFields[size_t(i)].multiLine)
            record.SetLines(i, QStringList(record.Lines(i)) << QStringLiteral("추가"));
        else
            record.SetValue(i, QStringLiteral("새 값"));
    }
    record.Write(path());
    QCOMPARE(replacements(), 1);
    QCOMPARE(Record::Read(path()), record);
    const auto inode = [&] {
        struct stat st
        {};
        ::stat(QFile::encodeName(path()).constData(), &st);
        return st.st_ino;
    };
    const auto before = inode();
    record.Write(path());
    QCOMPARE(replacements(), 0);
    QCOMPARE(inode(), before);
#endif
}

void TestRecordFile::byNameAndBytes()
{
    // Fields by name, in the file's letter case or not; names of no field are nothing.
    TestFiles::write(path(), cp949(realisticRecord()) + "[hadd]\r\nmany=9\r\n");
    const Record record = Record::Read(path());
    QCOMPARE(record.Value(u"hand"), QStringLiteral("010-2345-6789"));
    QCOMPARE(record.Value(u"Nick"), QString());
    QCOMPARE(record.Lines(u"HAdd"), QStringList({"경기도 성남시 분당구", "판교역로 45"}));
    QCOMPARE(record.Lines(u"Hand"), QStringList());
    QCOMPARE(Record::FromBytes(TestFiles::read(path())), record);
    QVERIFY(Record::Read(m_dir->filePath("missing.txt")).IsEmpty());
    // The view reads values cut at 2047 bytes, the forms whole.
    TestFiles::write(path(), "[data]\r\nMUrl=" + QByteArray(3000, 'x') + "\r\n");
    QCOMPARE(Record::Read(path(), IniDocument::Length::Cut).Value(u"MUrl").size(), 2047);
    QCOMPARE(Record::Read(path()).Value(u"MUrl").size(), 3000);
}

QTEST_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
