#include "platform/Errors.h"
#include "platform/Profile.h"
#include "platform/TextCodec.h"
#include "records/RecordFile.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
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

// A field list as a blank entry form offers it.
QList<FieldValue> blankForm()
{
    QList<FieldValue> fields;
    for (const RecordField &f : RecordFields)
        fields.append({f.Name(), f.multiLine, {}, false, {}});
    return fields;
}

FieldValue &field(QList<FieldValue> &fields, const QString &name)
{
    for (FieldValue &f : fields)
        if (f.name == name)
            return f;
    qFatal("no field %s", qPrintable(name));
}

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

QList<FieldValue> loadAsForm(const QString &path)
{
    const profile::Snapshot record(path);
    QList<FieldValue> fields = blankForm();
    for (FieldValue &f : fields) {
        if (f.multiLine)
            f.lines = ReadRecordLines(record, f.name);
        else
            f.text = ReadRecordValue(record, f.name);
    }
    return fields;
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
    void skippedBoxIsNotWritten();
    void quotedValues();
    void readLines_data();
    void readLines();
    void cp949RecordRoundTripsByteForByte();
    void textOutside949RoundTrips();
    void failedWriteStopsAndKeepsFile();
    void oneSaveIsOneReplacement();
    void formRoundTrip();
    void textBoxLines_data();
    void textBoxLines();

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
    SaveRecord(blankForm(), path());
    QCOMPARE(TestFiles::read(path()), QByteArray("[data]\r\nNick=Bob\r\n[Extra]\r\nk=v\r\n"));

    // A new record with nothing in it leaves no file behind.
    const QString fresh = m_dir->filePath(QStringLiteral("New_01.txt"));
    SaveRecord(blankForm(), fresh);
    QVERIFY(!QFile::exists(fresh));
}

void TestRecordFile::savesExactlyTheFields()
{
    QList<FieldValue> fields = blankForm();
    field(fields, "Hand").text = "  010-1234-5678 \t";
    field(fields, "ONme").text = "   "; // blanks only count as empty
    field(fields, "OPh1").text = "555-0100";
    field(fields, "Memo").lines = {"  first  ", "", "third"};
    SaveRecord(fields, path());
    QCOMPARE(TestFiles::read(path()),
             QByteArray("[data]\r\nHand=010-1234-5678\r\nOPh1=555-0100\r\n"
                        "[Memo]\r\nmany=3\r\n1=\"  first  \"\r\n2=\r\n3=third\r\n"));
    // Lines are kept untrimmed, so they read back with their blanks.
    QCOMPARE(ReadRecordLines(profile::Snapshot(path()), "Memo"),
             QStringList({"  first  ", "", "third"}));
}

void TestRecordFile::shortenedTextBoxKeepsLeftovers()
{
    QList<FieldValue> fields = blankForm();
    field(fields, "OAdd").lines = {"1", "2", "3", "4", "5"};
    SaveRecord(fields, path());
    field(fields, "OAdd").lines = {"one", "two"};
    SaveRecord(fields, path());
    QCOMPARE(TestFiles::read(path()),
             QByteArray("[OAdd]\r\nmany=2\r\n1=one\r\n2=two\r\n3=3\r\n4=4\r\n5=5\r\n"));
    QCOMPARE(ReadRecordLines(profile::Snapshot(path()), "OAdd"), QStringList({"one", "two"}));
}

void TestRecordFile::emptiedTextBoxErasesSection()
{
    TestFiles::write(path(), "[data]\r\nHand=1\r\n[HAdd]\r\nmany=2\r\n1=a\r\n2=b\r\n3=left\r\n");
    QList<FieldValue> fields = blankForm();
    field(fields, "Hand").text = "1";
    SaveRecord(fields, path());
    QCOMPARE(TestFiles::read(path()), QByteArray("[data]\r\nHand=1\r\n"));
}

void TestRecordFile::skippedBoxIsNotWritten()
{
    QList<FieldValue> fields = blankForm();
    fields.prepend({"edtName", false, "Kim", true, {}});
    field(fields, "Hand").text = "1";
    SaveRecord(fields, path());
    QCOMPARE(TestFiles::read(path()), QByteArray("[data]\r\nHand=1\r\n"));
}

void TestRecordFile::quotedValues()
{
    QList<FieldValue> fields = blankForm();
    field(fields, "ONme").text = "\"Hanbit & Co\"";
    field(fields, "Memo").lines = {"'quoted line'"};
    SaveRecord(fields, path());
    // The quotes are the value's own: they go into a pair that the reader takes off.
    QVERIFY(TestFiles::read(path()).contains("ONme=\"\"Hanbit & Co\"\"\r\n"));
    const profile::Snapshot record(path());
    QCOMPARE(ReadRecordValue(record, "ONme"), QStringLiteral("\"Hanbit & Co\""));
    QCOMPARE(ReadRecordLines(record, "Memo"), QStringList{"'quoted line'"});
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
    const QList<FieldValue> fields = loadAsForm(path());
    QCOMPARE(field(const_cast<QList<FieldValue> &>(fields), "ONme").text,
             QStringLiteral("한빛상사"));
    SaveRecord(fields, path());
    QCOMPARE(TestFiles::read(path()), original);

    // Saved from scratch, the same fields give the same bytes.
    const QString copy = m_dir->filePath(QStringLiteral("Copy.txt"));
    SaveRecord(fields, copy);
    QCOMPARE(TestFiles::read(copy), original);

    // A changed value that fits keeps the file in code page 949.
    QList<FieldValue> changed = fields;
    field(changed, "OCls").text = QStringLiteral("부장");
    SaveRecord(changed, path());
    QByteArray expected = original;
    expected.replace(cp949(QStringLiteral("OCls=과장")), cp949(QStringLiteral("OCls=부장")));
    QCOMPARE(TestFiles::read(path()), expected);
}

void TestRecordFile::textOutside949RoundTrips()
{
    TestFiles::write(path(), cp949(realisticRecord()));
    QList<FieldValue> fields = loadAsForm(path());
    const QString emoji = QStringLiteral("생일 🎂 축하");
    const QString rareHanja = QString::fromUcs4(U"\U00020B9F\U0002A6B2");
    field(fields, "Memo").lines.append(emoji);
    field(fields, "BNM3").text = rareHanja;
    SaveRecord(fields, path());
    const QByteArray bytes = TestFiles::read(path());
    QVERIFY(TextCodec::isValidUtf8(bytes));
    const QList<FieldValue> back = loadAsForm(path());
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QCOMPARE(back[i].text, fields[i].text);
        QCOMPARE(back[i].lines, fields[i].lines);
    }
}

void TestRecordFile::failedWriteStopsAndKeepsFile()
{
    // The record's folder is gone: nothing can be written.
    const QString lost = m_dir->filePath(QStringLiteral("gone/Kim.txt"));
    QList<FieldValue> fields = blankForm();
    field(fields, "Hand").text = "1";
    try {
        SaveRecord(fields, lost);
        QFAIL("the save should have failed");
    } catch (const WriteError &error) {
        QCOMPARE(error.message(), "Unable to write to " + QDir::toNativeSeparators(lost));
    }

    // A file that cannot be read is never replaced.
    QVERIFY(QDir().mkdir(path()));
    QVERIFY_THROWS_EXCEPTION(WriteError, SaveRecord(fields, path()));
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
    QList<FieldValue> fields = loadAsForm(path());
    for (FieldValue &f : fields) {
        if (f.multiLine)
            f.lines << QStringLiteral("추가");
        else
            f.text = QStringLiteral("새 값");
    }
    SaveRecord(fields, path());
    QCOMPARE(replacements(), 1);
    const QList<FieldValue> back = loadAsForm(path());
    for (qsizetype i = 0; i < fields.size(); ++i)
        QCOMPARE(back[i].text + back[i].lines.join(u'|'),
                 fields[i].text + fields[i].lines.join(u'|'));
    const auto inode = [&] {
        struct stat st
        {};
        ::stat(QFile::encodeName(path()).constData(), &st);
        return st.st_ino;
    };
    const auto before = inode();
    SaveRecord(fields, path());
    QCOMPARE(replacements(), 0);
    QCOMPARE(inode(), before);
#endif
}

void TestRecordFile::formRoundTrip()
{
    // A form with boxes named like the fields, plus a name box that is no field.
    QWidget form;
    auto *name = new QLineEdit(&form);
    name->setObjectName("edtName");
    name->setProperty("tag", 99);
    name->setText("Kim");
    for (const RecordField &f : RecordFields) {
        QWidget *box =
            f.multiLine ? static_cast<QWidget *>(new QPlainTextEdit(&form)) : new QLineEdit(&form);
        box->setObjectName(f.Name());
        box->resize(420, 76);
    }
    new QLineEdit(&form); // an unnamed box is no field
    TestFiles::write(path(), cp949(realisticRecord()));
    LoadRecordIntoForm(form, path());
    QCOMPARE(form.findChild<QLineEdit *>("ONme")->text(), QStringLiteral("한빛상사"));
    QCOMPARE(form.findChild<QPlainTextEdit *>("HAdd")->toPlainText(),
             QStringLiteral("경기도 성남시 분당구\n판교역로 45"));
    QCOMPARE(name->text(), QString()); // loading sets every single-line box

    const QList<FieldValue> fields = FormFieldValues(form);
    QCOMPARE(fields.size(), 34);
    QCOMPARE(fields.first().name, QStringLiteral("edtName"));
    QVERIFY(fields.first().skip);
    for (qsizetype i = 1; i < fields.size(); ++i) {
        QCOMPARE(fields[i].name, RecordFields[size_t(i - 1)].Name());
        QVERIFY(!fields[i].skip);
    }
    name->setText("Kim");
    SaveRecord(fields, path());
    QCOMPARE(TestFiles::read(path()), cp949(realisticRecord()));
}

void TestRecordFile::textBoxLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << "" << 400 << QStringList();
    QTest::newRow("one line") << "abc" << 400 << QStringList{"abc"};
    QTest::newRow("final break not counted") << "abc\n" << 400 << QStringList{"abc"};
    QTest::newRow("empty line kept") << "a\n\nb" << 400 << QStringList{"a", "", "b"};
    QTest::newRow("two final breaks") << "a\n\n" << 400 << QStringList{"a", ""};
    QTest::newRow("wrapped") << "aaaa bbbb cccc dddd eeee" << 0 << QStringList();
}

void TestRecordFile::textBoxLines()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QStringList, lines);
    QPlainTextEdit box;
    box.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box.setPlainText(text);
    if (width > 0) {
        box.resize(width, 80);
        QCOMPARE(TextBoxLines(&box), lines);
        return;
    }
    // Narrow enough for one word a line: every displayed line counts, and together they
    // hold the whole text.
    const int wordWidth = box.fontMetrics().horizontalAdvance(QStringLiteral("aaaa bb"));
    box.resize(wordWidth + 2 * int(box.document()->documentMargin()) + 2 * box.frameWidth(), 80);
    const QStringList shown = TextBoxLines(&box);
    QCOMPARE(shown.size(), 5);
    QCOMPARE(shown.join(QString()), text);
    QCOMPARE(shown.first().trimmed(), QStringLiteral("aaaa"));
}

QTEST_MAIN(TestRecordFile)
#include "tst_recordfile.moc"
