#include "platform/Errors.h"
#include "platform/IniDocument.h"
#include "platform/Profile.h"
#include "platform/TextCodec.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using TestFiles::cp949;

class TestProfile : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void read_data();
    void read();
    void write_data();
    void write();
    void deleteAndErase_data();
    void deleteAndErase();
    void parseInteger_data();
    void parseInteger();
    void sectionHasKeys_data();
    void sectionHasKeys();

    void firstWriteCreatesFile();
    void missingFileReadsDefaultsAndIsNeverCreated();
    void missingDirectoryIsAWriteError();
    void unreadableFileIsNotReplaced();
    void valueStaysOnItsLine_data();
    void valueStaysOnItsLine();
    void longValueIsCut();
    void changedLineReadsLikeStored_data();
    void changedLineReadsLikeStored();
    void writeReadsBack_data();
    void writeReadsBack();
    void unwritableNamesFail_data();
    void unwritableNamesFail();
    void notAnIniFile_data();
    void notAnIniFile();

    void cp949FileStaysByteForByte();
    void undecodableBytesStay_data();
    void undecodableBytesStay();
    void byteOrderMark_data();
    void byteOrderMark();
    void feffValue_data();
    void feffValue();
    void encodingOfRewrites_data();
    void encodingOfRewrites();
    void replacementKeepsPermissions();
    void fileNameCaseIsIgnored();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("test.ini")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestProfile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestProfile::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QByteArray basic = "[data]\r\nHand=010-1234\r\nEMail = a@b.kr  \r\n";
    QTest::newRow("plain") << basic << "data"
                           << "Hand"
                           << "010-1234";
    QTest::newRow("section case") << basic << "DATA"
                                  << "Hand"
                                  << "010-1234";
    QTest::newRow("key case") << basic << "data"
                              << "hAND"
                              << "010-1234";
    QTest::newRow("blanks trimmed") << basic << "data"
                                    << "EMail"
                                    << "a@b.kr";
    QTest::newRow("missing key") << basic << "data"
                                 << "Memo"
                                 << "<default>";
    QTest::newRow("missing section") << basic << "Memo"
                                     << "Hand"
                                     << "<default>";
    QTest::newRow("first equals") << QByteArray("[s]\r\nk=a=b==c\r\n") << "s"
                                  << "k"
                                  << "a=b==c";
    QTest::newRow("double quotes") << QByteArray("[s]\r\nk=\"  quoted  \"\r\n") << "s"
                                   << "k"
                                   << "  quoted  ";
    QTest::newRow("single quotes") << QByteArray("[s]\r\nk='x'\r\n") << "s"
                                   << "k"
                                   << "x";
    QTest::newRow("only one pair") << QByteArray("[s]\r\nk=\"\"x\"\"\r\n") << "s"
                                   << "k"
                                   << "\"x\"";
    QTest::newRow("mismatched quotes") << QByteArray("[s]\r\nk=\"x'\r\n") << "s"
                                       << "k"
                                       << "\"x'";
    QTest::newRow("lone quote") << QByteArray("[s]\r\nk=\"\r\n") << "s"
                                << "k"
                                << "\"";
    QTest::newRow("empty value") << QByteArray("[s]\r\nk=\r\n") << "s"
                                 << "k"
                                 << "";
    QTest::newRow("LF only") << QByteArray("[s]\nk=v\n") << "s"
                             << "k"
                             << "v";
    QTest::newRow("no final newline") << QByteArray("[s]\r\nk=v") << "s"
                                      << "k"
                                      << "v";
    QTest::newRow("blank around header") << QByteArray("  [ s ]  \r\nk=v\r\n") << "s"
                                         << "k"
                                         << "v";
    QTest::newRow("key of other section") << QByteArray("[a]\r\nk=1\r\n[b]\r\nx=2\r\n") << "b"
                                          << "k"
                                          << "<default>";
    QTest::newRow("first duplicate key wins") << QByteArray("[s]\r\nk=1\r\nk=2\r\n") << "s"
                                              << "k"
                                              << "1";
    QTest::newRow("first duplicate section wins")
        << QByteArray("[s]\r\nk=1\r\n[s]\r\nk=2\r\n") << "s"
        << "k"
        << "1";
    QTest::newRow("key before any section") << QByteArray("k=0\r\n[s]\r\n") << "s"
                                            << "k"
                                            << "<default>";
    QTest::newRow("cp949 value") << QByteArray("[data]\r\nONme=")
                                        + cp949(QStringLiteral("한빛상사"))
                                 << "data"
                                 << "ONme" << QStringLiteral("한빛상사");
    QTest::newRow("utf8 value") << QStringLiteral("[data]\r\nONme=한빛 😀\r\n").toUtf8() << "data"
                                << "ONme" << QStringLiteral("한빛 😀");
    QTest::newRow("utf8 with bom")
        << QByteArray("\xEF\xBB\xBF[data]\r\nONme=") + QStringLiteral("한빛").toUtf8() << "data"
        << "ONme" << QStringLiteral("한빛");
    QTest::newRow("korean key") << cp949(QStringLiteral("[자료]\r\n이름=값\r\n"))
                                << QStringLiteral("자료") << QStringLiteral("이름")
                                << QStringLiteral("값");
    // A lone CR ends a line too (files from old Mac editors).
    QTest::newRow("CR only") << QByteArray("[a]\rk=1\r[s]\rk=v\r") << "s"
                             << "k"
                             << "v";
    QTest::newRow("mixed line ends") << QByteArray("[a]\nx=1\r[s]\r\nk=v") << "s"
                                     << "k"
                                     << "v";
    // A line whose first non-blank character is ";" is a comment, never a key.
    QTest::newRow("comment") << QByteArray("[s]\r\n;k=v\r\n") << "s"
                             << ";k"
                             << "<default>";
    QTest::newRow("blanks before comment") << QByteArray("[s]\r\n \t\v;k=v\r\n") << "s"
                                           << ";k"
                                           << "<default>";
    QTest::newRow("semicolon inside key") << QByteArray("[s]\r\nk;x=v\r\n") << "s"
                                          << "k;x"
                                          << "v";
    QTest::newRow("semicolon starts value") << QByteArray("[s]\r\nk=;v\r\n") << "s"
                                            << "k"
                                            << ";v";
    QTest::newRow("tabs around key and value") << QByteArray("[s]\r\n\tk\t=\t v\t\r\n") << "s"
                                               << "k"
                                               << "v";
    QTest::newRow("empty double quotes") << QByteArray("[s]\r\nk=\"\"\r\n") << "s"
                                         << "k"
                                         << "";
    QTest::newRow("empty single quotes") << QByteArray("[s]\r\nk=''\r\n") << "s"
                                         << "k"
                                         << "";
    QTest::newRow("open quote") << QByteArray("[s]\r\nk=\"a\r\n") << "s"
                                << "k"
                                << "\"a";
}

void TestProfile::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    TestFiles::write(path(), file);
    QCOMPARE(profile::readString(path(), section, key, QStringLiteral("<default>")), expected);
    // The streaming reader gives what the document gives.
    QString scanned = QStringLiteral("<default>");
    int seen = 0;
    IniDocument::scan(file, [&](QStringView s, QStringView k, QStringView v) {
        if (s.compare(section, Qt::CaseInsensitive) == 0
            && k.compare(key, Qt::CaseInsensitive) == 0) {
            scanned = v.toString();
            ++seen;
        }
    });
    QVERIFY(seen <= 1);
    QCOMPARE(TextCodec::cutToBytes(scanned, IniDocument::kMaxValueBytes), expected);
}

void TestProfile::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("new file") << QByteArray() << "data"
                              << "Hand"
                              << "010" << QByteArray("[data]\r\nHand=010\r\n");
    QTest::newRow("replace keeps place and spelling")
        << QByteArray("[data]\r\nhand=1\r\nEMail=e\r\n") << "DATA"
        << "Hand"
        << "2" << QByteArray("[data]\r\nhand=2\r\nEMail=e\r\n");
    QTest::newRow("new key at end of its section")
        << QByteArray("[data]\r\nA=1\r\n\r\n[Memo]\r\nmany=1\r\n") << "data"
        << "B"
        << "2" << QByteArray("[data]\r\nA=1\r\nB=2\r\n\r\n[Memo]\r\nmany=1\r\n");
    QTest::newRow("new section at end of file")
        << QByteArray("[data]\r\nA=1\r\n") << "Memo"
        << "many"
        << "3" << QByteArray("[data]\r\nA=1\r\n[Memo]\r\nmany=3\r\n");
    QTest::newRow("LF lines become CR LF") << QByteArray("[data]\nA=1\n") << "data"
                                           << "A"
                                           << "2" << QByteArray("[data]\r\nA=2\r\n");
    QTest::newRow("no final newline") << QByteArray("[data]\r\nA=1") << "data"
                                      << "B"
                                      << "2" << QByteArray("[data]\r\nA=1\r\nB=2\r\n");
    QTest::newRow("empty value") << QByteArray("[data]\r\nA=1\r\n") << "data"
                                 << "A"
                                 << "" << QByteArray("[data]\r\nA=\r\n");
    QTest::newRow("unknown lines stay")
        << QByteArray("; note\r\n[data]\r\nnot a key\r\nA=1\r\n") << "data"
        << "A"
        << "2" << QByteArray("; note\r\n[data]\r\nnot a key\r\nA=2\r\n");
    // A new key goes after the section's last entry, ahead of comments and blank lines.
    QTest::newRow("new key before trailing comments")
        << QByteArray("[data]\r\nA=1\r\n; note\r\n\r\n[Memo]\r\nmany=1\r\n") << "data"
        << "B"
        << "2" << QByteArray("[data]\r\nA=1\r\nB=2\r\n; note\r\n\r\n[Memo]\r\nmany=1\r\n");
    QTest::newRow("comments between keys stay")
        << QByteArray("[data]\r\nA=1\r\n;c\r\nC=3\r\n;d\r\n") << "data"
        << "B"
        << "2" << QByteArray("[data]\r\nA=1\r\n;c\r\nC=3\r\nB=2\r\n;d\r\n");
    QTest::newRow("section of comments only")
        << QByteArray("[data]\r\n;c\r\n[x]\r\n") << "data"
        << "B"
        << "2" << QByteArray("[data]\r\nB=2\r\n;c\r\n[x]\r\n");
    QTest::newRow("commented key is not replaced")
        << QByteArray("[data]\r\n;B=old\r\nA=1\r\n") << "data"
        << "B"
        << "2" << QByteArray("[data]\r\n;B=old\r\nA=1\r\nB=2\r\n");
    QTest::newRow("CR only, replace") << QByteArray("[data]\rA=1\r") << "data"
                                      << "A"
                                      << "2" << QByteArray("[data]\r\nA=2\r\n");
    QTest::newRow("CR only, new key") << QByteArray("[data]\rA=1\r[x]\r") << "data"
                                      << "B"
                                      << "2" << QByteArray("[data]\r\nA=1\r\nB=2\r\n[x]\r\n");
}

void TestProfile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        TestFiles::write(path(), before);
    profile::writeString(path(), section, key, value);
    QCOMPARE(TestFiles::read(path()), after);
    QCOMPARE(profile::readString(path(), section, key, QStringLiteral("<none>")), value);
}

void TestProfile::deleteAndErase_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("eraseSection");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after");
    const QByteArray file =
        "[data]\r\nA=1\r\nB=2\r\n[Memo]\r\nmany=1\r\n1=x\r\n[HAdd]\r\nmany=0\r\n";
    QTest::newRow("delete key") << file << false << "data"
                                << "a"
                                << QByteArray("[data]\r\nB=2\r\n[Memo]\r\nmany=1\r\n1=x\r\n"
                                              "[HAdd]\r\nmany=0\r\n");
    QTest::newRow("delete missing key") << file << false << "data"
                                        << "C" << file;
    QTest::newRow("delete duplicates")
        << QByteArray("[data]\r\nA=1\r\nA=old\r\n") << false << "data"
        << "A" << QByteArray("[data]\r\n");
    QTest::newRow("erase section")
        << file << true << "memo"
        << "" << QByteArray("[data]\r\nA=1\r\nB=2\r\n[HAdd]\r\nmany=0\r\n");
    QTest::newRow("erase missing section") << file << true << "OAdd"
                                           << "" << file;
    // A second section of the same name would otherwise come back into view.
    QTest::newRow("erase duplicate sections")
        << QByteArray("[Memo]\r\n1=a\r\n[data]\r\nA=1\r\n[Memo]\r\n1=b\r\n") << true << "Memo"
        << "" << QByteArray("[data]\r\nA=1\r\n");
    // Comments are no part of a section: erasing it leaves them where they were.
    QTest::newRow("erase keeps comments")
        << QByteArray(";c0\r\n[Memo]\r\n;c1\r\nmany=1\r\n1=x\r\n[data]\r\n;c2\r\nA=1\r\n") << true
        << "Memo"
        << "" << QByteArray(";c0\r\n;c1\r\n[data]\r\n;c2\r\nA=1\r\n");
    QTest::newRow("delete commented key") << QByteArray("[data]\r\n;A=1\r\n") << false << "data"
                                          << ";A" << QByteArray("[data]\r\n;A=1\r\n");
    QTest::newRow("erase, CR only") << QByteArray("[Memo]\rmany=1\r[data]\rA=1\r") << true << "Memo"
                                    << "" << QByteArray("[data]\r\nA=1\r\n");
}

void TestProfile::deleteAndErase()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, eraseSection);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);
    TestFiles::write(path(), before);
    if (eraseSection)
        profile::eraseSection(path(), section);
    else
        QVERIFY(profile::deleteKey(path(), section, key));
    QCOMPARE(TestFiles::read(path()), after);
}

void TestProfile::parseInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << "25" << 25;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("plus") << "+7" << 7;
    QTest::newRow("0x hex") << "0x2" << 2;
    QTest::newRow("0X hex") << "0X1f" << 31;
    QTest::newRow("dollar hex") << "$10" << 16;
    QTest::newRow("hex wraps to negative") << "0xFFFFFFFF" << -1;
    QTest::newRow("colour") << "16777215" << 16777215;
    QTest::newRow("trailing junk") << "2abc" << -99;
    QTest::newRow("word") << "abc" << -99;
    QTest::newRow("bare 0x") << "0x" << -99;
    QTest::newRow("0x junk") << "0xZ1" << -99;
    QTest::newRow("empty") << "" << -99;
    QTest::newRow("inner blank") << "1 2" << -99;
    QTest::newRow("too large") << "2147483648" << -99;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("big many") << "2000000000" << 2000000000;
}

void TestProfile::parseInteger()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(profile::parseInteger(text, -99), expected);
}

void TestProfile::sectionHasKeys_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("keys") << QByteArray("[Memo]\r\nmany=1\r\n") << QStringList{"many"};
    QTest::newRow("empty section") << QByteArray("[Memo]\r\n[data]\r\nA=1\r\n") << QStringList{};
    QTest::newRow("no section") << QByteArray("[data]\r\nA=1\r\n") << QStringList{};
    QTest::newRow("lines without equals") << QByteArray("[Memo]\r\nhello\r\n") << QStringList{};
    QTest::newRow("case") << QByteArray("[MEMO]\r\n1=x\r\n") << QStringList{"1"};
    QTest::newRow("comments only")
        << QByteArray("[Memo]\r\n;many=1\r\n\t;1=x\r\n") << QStringList{};
    QTest::newRow("comment and key")
        << QByteArray("[Memo]\r\n;many=9\r\nmany=1\r\n") << QStringList{"many"};
    QTest::newRow("CR only") << QByteArray("[Memo]\rmany=1\r1=x\r") << QStringList{"many", "1"};
}

void TestProfile::sectionHasKeys()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, keys);
    TestFiles::write(path(), file);
    QCOMPARE(profile::sectionHasKeys(path(), QStringLiteral("Memo")), !keys.isEmpty());
    QStringList listed;
    for (const auto &entry : profile::Snapshot(path()).entries(QStringLiteral("Memo")))
        listed.append(entry.first);
    QCOMPARE(listed, keys);
}

void TestProfile::firstWriteCreatesFile()
{
    QVERIFY(!QFile::exists(path()));
    profile::writeInteger(path(), QStringLiteral("PROGRAM"), QStringLiteral("BootMode"), -3);
    QCOMPARE(TestFiles::read(path()), QByteArray("[PROGRAM]\r\nBootMode=-3\r\n"));
    profile::writeBool(path(), QStringLiteral("PROGRAM"), QStringLiteral("MiniTray"), true);
    QCOMPARE(
        profile::readBool(path(), QStringLiteral("PROGRAM"), QStringLiteral("MiniTray"), false),
        true);
    QCOMPARE(profile::readInteger(path(), QStringLiteral("PROGRAM"), QStringLiteral("BootMode"), 0),
             -3);
}

void TestProfile::missingFileReadsDefaultsAndIsNeverCreated()
{
    QCOMPARE(
        profile::readString(path(), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("d")),
        QStringLiteral("d"));
    QCOMPARE(profile::readInteger(path(), QStringLiteral("a"), QStringLiteral("b"), 25), 25);
    QVERIFY(!profile::sectionHasKeys(path(), QStringLiteral("a")));
    QVERIFY(profile::deleteKey(path(), QStringLiteral("data"), QStringLiteral("Hand")));
    profile::eraseSection(path(), QStringLiteral("Memo"));
    QVERIFY(!QFile::exists(path()));
    QVERIFY(QDir(m_dir->path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                .isEmpty());
}

void TestProfile::missingDirectoryIsAWriteError()
{
    const QString file = m_dir->filePath(QStringLiteral("no/such/dir/Vandrel.ini"));
    try {
        profile::writeString(file, QStringLiteral("PROGRAM"), QStringLiteral("DirData"),
                             QStringLiteral("x"));
        QFAIL("the write should have failed");
    } catch (const WriteError &error) {
        QCOMPARE(error.message(),
                 QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(file));
    }
    QVERIFY(!QFile::exists(file));
}

void TestProfile::unreadableFileIsNotReplaced()
{
    // A directory where the file should be cannot be read; it must stay as it is.
    QVERIFY(QDir().mkdir(path()));
    QVERIFY_THROWS_EXCEPTION(WriteError,
                             profile::writeString(path(), QStringLiteral("s"), QStringLiteral("k"),
                                                  QStringLiteral("v")));
    QVERIFY_THROWS_EXCEPTION(WriteError, profile::eraseSection(path(), QStringLiteral("s")));
    QVERIFY(!profile::deleteKey(path(), QStringLiteral("s"), QStringLiteral("k")));
    QVERIFY(QFileInfo(path()).isDir());
}

void TestProfile::valueStaysOnItsLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("lineBreak");
    QTest::addColumn<QByteArray>("after");
    const QByteArray replace = "[data]\r\nHand=0\r\n";
    const QByteArray add = "[data]\r\nA=1\r\n";
    for (const char *lineBreak : {"\n", "\r", "\r\n"}) {
        const QByteArray name = QByteArray(lineBreak).toPercentEncoding();
        QTest::addRow("replace key, %s", name.constData())
            << replace << lineBreak << QByteArray("[data]\r\nHand=1 [evil] x=2\r\n");
        QTest::addRow("add key, %s", name.constData())
            << add << lineBreak << QByteArray("[data]\r\nA=1\r\nHand=1 [evil] x=2\r\n");
        QTest::addRow("new section, %s", name.constData())
            << QByteArray() << lineBreak << QByteArray("[data]\r\nHand=1 [evil] x=2\r\n");
    }
}

void TestProfile::valueStaysOnItsLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, lineBreak);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        TestFiles::write(path(), before);
    profile::writeString(path(), QStringLiteral("data"), QStringLiteral("Hand"),
                         u'1' + lineBreak + QStringLiteral("[evil]") + lineBreak
                             + QStringLiteral("x=2"));
    QCOMPARE(TestFiles::read(path()), after);
    QVERIFY(!profile::sectionHasKeys(path(), QStringLiteral("evil")));
}

void TestProfile::longValueIsCut()
{
    const QString longKorean(1500, u'가');
    profile::writeString(path(), QStringLiteral("data"), QStringLiteral("Memo"), longKorean);
    // All of it is on disk; only the read is limited.
    QCOMPARE(TestFiles::read(path()).size(), qsizetype(8 + 5 + 3000 + 2));
    QCOMPARE(profile::readString(path(), QStringLiteral("data"), QStringLiteral("Memo")),
             QString(1023, u'가'));
}

void TestProfile::changedLineReadsLikeStored_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line");
    // What the reader would take off a value goes into quotes of its own.
    QTest::newRow("tabs") << "\t v\t" << QByteArray("k=\"\t v\t\"");
    QTest::newRow("vertical tabs") << "\vv\v" << QByteArray("k=\"\vv\v\"");
    QTest::newRow("leading blank") << " v" << QByteArray("k=\" v\"");
    QTest::newRow("ideographic spaces")
        << QStringLiteral("\u3000v\u3000") << QByteArray("k=\xa1\xa1v\xa1\xa1");
    QTest::newRow("no-break spaces")
        << QStringLiteral("\u00A0v\u00A0") << QByteArray("k=\xc2\xa0v\xc2\xa0");
    QTest::newRow("empty quotes") << "\"\"" << QByteArray("k=\"\"\"\"");
    QTest::newRow("single quotes") << "'a'" << QByteArray("k=\"'a'\"");
    QTest::newRow("open quote") << "\"a" << QByteArray("k=\"a");
    QTest::newRow("quotes inside") << "a\"b\"" << QByteArray("k=a\"b\"");
}

void TestProfile::changedLineReadsLikeStored()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, line);
    IniDocument doc = IniDocument::fromBytes("[s]\r\nk=old\r\n");
    QVERIFY(doc.setValue(QStringLiteral("s"), QStringLiteral("k"), value));
    const std::optional<QByteArray> bytes = doc.toBytes();
    QVERIFY(bytes);
    QVERIFY2(bytes->contains("\r\n" + line + "\r\n"), bytes->constData());
    const IniDocument stored = IniDocument::fromBytes(*bytes);
    QCOMPARE(doc.value(QStringLiteral("s"), QStringLiteral("k")), value);
    QCOMPARE(stored.value(QStringLiteral("s"), QStringLiteral("k")), value);
}

void TestProfile::writeReadsBack_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("value");
    const QString korean = QStringLiteral("김철수");
    // Found by fuzzing: a header without "]", a lone CR, bytes 949 cannot decode, and a
    // section named like the line after it.
    QTest::newRow("unclosed header of undecodable bytes")
        << QByteArray("[\xff\xff\xff\xff\xff\xff\xff\r+", 10) << "+" << korean;
    QTest::newRow("same, value not in 949")
        << QByteArray("[\xff\xff\xff\xff\xff\xff\xff\r+", 10) << "+" << QStringLiteral("김😀");
    QTest::newRow("lead byte before CR") << QByteArray("[\x81\r+\r") << "+" << korean;
    QTest::newRow("blank before the section's name")
        << QByteArray(" \xa1\xc3\xff") << " a" << korean;
    QTest::newRow("tab before a quoted value") << QByteArray("\t") << "+"
                                               << "\"q\"";
    QTest::newRow("blanks around a value") << QByteArray("\xa1") << "+"
                                           << " x ";
    QTest::newRow("into a section with blanks in the file")
        << QByteArray("[ a ]\r\nFuzzKey=old\r\n") << "a" << korean;
    QTest::newRow("half a UTF-8 BOM") << QByteArray("\xef\xbb\n\xbb\x81\xb0+") << "+" << korean;
}

void TestProfile::writeReadsBack()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, value);
    TestFiles::write(path(), before);
    const QString key = QStringLiteral("FuzzKey");
    profile::writeString(path(), section, key, value);
    QCOMPARE(profile::readString(path(), section, key, QStringLiteral("<none>")), value);
    const profile::Snapshot snapshot(path());
    QCOMPARE(snapshot.readString(section, key, {}, IniDocument::Length::Whole), value);
    // The index reads the same file with its own pass.
    QString scanned = QStringLiteral("<none>");
    IniDocument::scan(TestFiles::read(path()), [&](QStringView s, QStringView k, QStringView v) {
        if (s.compare(section.trimmed(), Qt::CaseInsensitive) == 0 && k == key)
            scanned = v.toString();
    });
    QCOMPARE(scanned, value);
}

void TestProfile::unwritableNamesFail_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::newRow("section with ]") << "a]"
                                    << "k";
    QTest::newRow("section with line break") << "a\nb"
                                             << "k";
    QTest::newRow("key with =") << "s"
                                << "a=b";
    QTest::newRow("key like a section") << "s"
                                        << "[k";
    QTest::newRow("key like a comment") << "s"
                                        << " ;k";
    QTest::newRow("key with line break") << "s"
                                         << "a\rb";
}

void TestProfile::unwritableNamesFail()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    const QByteArray before("[s]\r\nk=1\r\n");
    TestFiles::write(path(), before);
    QVERIFY_THROWS_EXCEPTION(WriteError, profile::writeString(path(), section, key, "v"));
    QCOMPARE(TestFiles::read(path()), before);
}

void TestProfile::notAnIniFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 37) % 256));
    QTest::newRow("binary") << binary;
    QTest::newRow("no sections") << QByteArray("Hand=1\r\nBootMode=3\r\n");
    QTest::newRow("megabyte line") << QByteArray(1 << 20, 'x');
    QTest::newRow("megabyte key") << (QByteArray("[PROGRAM]\r\n") + QByteArray(1 << 20, 'k')
                                      + "=1\r\n");
    QTest::newRow("nul bytes") << QByteArray("[PROGRAM]\0\r\nBootMode\0=3\r\n", 26);
    QTest::newRow("unclosed header") << QByteArray("[PROGRAM\r\nBootModeX=3\r\n");
}

void TestProfile::notAnIniFile()
{
    QFETCH(QByteArray, file);
    TestFiles::write(path(), file);
    QCOMPARE(profile::readInteger(path(), QStringLiteral("PROGRAM"), QStringLiteral("BootMode"), 0),
             0);
    QCOMPARE(profile::readString(path(), QStringLiteral("Skin"), QStringLiteral("Mode"),
                                 QStringLiteral("1")),
             QStringLiteral("1"));
    // Writing into it keeps what was there and adds the value.
    profile::writeInteger(path(), QStringLiteral("Skin"), QStringLiteral("Hue"), 12);
    QCOMPARE(profile::readInteger(path(), QStringLiteral("Skin"), QStringLiteral("Hue"), 0), 12);
}

void TestProfile::cp949FileStaysByteForByte()
{
    const QByteArray original = cp949(QStringLiteral(
        "[data]\r\nONme=한빛상사\r\nHand=010-1111-2222\r\n[Memo]\r\nmany=2\r\n1=첫째 줄\r\n"
        "2=둘째 줄 똠\r\n"));
    TestFiles::write(path(), original);
    QCOMPARE(profile::readString(path(), QStringLiteral("data"), QStringLiteral("ONme")),
             QStringLiteral("한빛상사"));
    profile::writeString(path(), QStringLiteral("data"), QStringLiteral("Hand"),
                         QStringLiteral("010-1111-2222"));
    QCOMPARE(TestFiles::read(path()), original);

    profile::writeString(path(), QStringLiteral("data"), QStringLiteral("Hand"),
                         QStringLiteral("010-3333-4444"));
    QByteArray expected = original;
    expected.replace("010-1111-2222", "010-3333-4444");
    QCOMPARE(TestFiles::read(path()), expected);
}

void TestProfile::undecodableBytesStay_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after"); // empty: the write fails and the file stays
    // Bytes that code page 949 has no character for: a lead byte with an unassigned trail byte,
    // a lead byte before a blank, a lead byte at the end of a line.
    const QByteArray head = cp949(QStringLiteral("[data]\r\nONme=한빛\r\n"));
    const QByteArray odd = "Memo=\xA2\xE8 x\xA1 y\xFE\r\n";
    const QByteArray memo = "[Memo]\r\nmany=1\r\n1=\xFE\r\n";
    QTest::newRow("write") << "write" << QStringLiteral("홍길동")
                           << head + odd + "Hand=" + cp949(QStringLiteral("홍길동")) + "\r\n"
                                  + memo;
    QTest::newRow("delete key") << "delete" << QString() << QByteArray("[data]\r\n") + odd + memo;
    QTest::newRow("erase section") << "erase" << QString() << head + odd;
    // As UTF-8 those bytes would turn into U+FFFD; the file cannot change encoding without losing
    // them, so such a write fails and leaves the file as it was.
    QTest::newRow("value beyond 949") << "write" << QStringLiteral("😀") << QByteArray();
}

void TestProfile::undecodableBytesStay()
{
    QFETCH(QString, operation);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    const QByteArray before = cp949(QStringLiteral("[data]\r\nONme=한빛\r\n"))
                              + "Memo=\xA2\xE8 x\xA1 y\xFE\r\n[Memo]\r\nmany=1\r\n1=\xFE\r\n";
    TestFiles::write(path(), before);
    const QString data = QStringLiteral("data");
    if (after.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(WriteError,
                                 profile::writeString(path(), data, QStringLiteral("Hand"), value));
        QCOMPARE(TestFiles::read(path()), before);
        return;
    }
    if (operation == u"write")
        profile::writeString(path(), data, QStringLiteral("Hand"), value);
    else if (operation == u"delete")
        QVERIFY(profile::deleteKey(path(), data, QStringLiteral("ONme")));
    else
        profile::eraseSection(path(), QStringLiteral("Memo"));
    QCOMPARE(TestFiles::read(path()), after);
}

void TestProfile::byteOrderMark_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value"); // for key k of section s
    QTest::addColumn<QByteArray>("after");
    const QByteArray bom = "\xEF\xBB\xBF";
    // The second mark is text of the first line, which is then no section header.
    QTest::newRow("double bom") << bom + bom + "[data]\r\nA=1\r\n[s]\r\nk=v\r\n"
                                << "w" << bom + bom + "[data]\r\nA=1\r\n[s]\r\nk=w\r\n";
    QTest::newRow("bom, ascii, hangul value")
        << bom + "[s]\r\nk=v\r\n"
        << QStringLiteral("한") << bom + QStringLiteral("[s]\r\nk=한\r\n").toUtf8();
    QTest::newRow("bom, utf8") << bom + QStringLiteral("[s]\r\nk=가\r\n").toUtf8()
                               << QStringLiteral("나")
                               << bom + QStringLiteral("[s]\r\nk=나\r\n").toUtf8();
    // A mark before code page 949 text is skipped all the same, and written back.
    QTest::newRow("bom, cp949") << bom + cp949(QStringLiteral("[s]\r\nk=가\r\n"))
                                << QStringLiteral("나")
                                << bom + cp949(QStringLiteral("[s]\r\nk=나\r\n"));
}

void TestProfile::byteOrderMark()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    TestFiles::write(path(), before);
    const QList<std::pair<QString, QString>> untouched =
        profile::Snapshot(path()).entries(QStringLiteral("data"));
    profile::writeString(path(), QStringLiteral("s"), QStringLiteral("k"), value);
    QCOMPARE(TestFiles::read(path()), after);
    QCOMPARE(profile::readString(path(), QStringLiteral("s"), QStringLiteral("k")), value);
    // What the write did not touch reads as before.
    QVERIFY(profile::Snapshot(path()).entries(QStringLiteral("data")) == untouched);
}

void TestProfile::feffValue_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("cut");
    const QChar feff(0xFEFF);
    QTest::newRow("alone") << QString(feff) << QString(feff);
    QTest::newRow("first") << (feff + QStringLiteral("가")) << (feff + QStringLiteral("가"));
    QTest::newRow("last") << (QStringLiteral("a") + feff) << (QStringLiteral("a") + feff);
    // Three bytes each, like any character code page 949 does not have.
    QTest::newRow("cut") << QString(700, feff) << QString(682, feff);
}

void TestProfile::feffValue()
{
    QFETCH(QString, value);
    QFETCH(QString, cut);
    const QString data = QStringLiteral("data");
    profile::writeString(path(), data, QStringLiteral("Hand"), value);
    profile::writeString(path(), data, QStringLiteral("EMail"), QStringLiteral("a@b.kr"));
    QCOMPARE(profile::readString(path(), data, QStringLiteral("Hand")), cut);
    QCOMPARE(profile::Snapshot(path()).readString(data, QStringLiteral("Hand"), {},
                                                  IniDocument::Length::Whole),
             value);
}

void TestProfile::encodingOfRewrites_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("encoding"); // of the file afterwards
    const QByteArray cpFile = cp949(QStringLiteral("[data]\r\nONme=한빛\r\n"));
    const QByteArray utfFile = QStringLiteral("[data]\r\nONme=한빛\r\n").toUtf8();
    const QByteArray asciiFile = "[data]\r\nONme=x\r\n";
    using E = TextCodec::Encoding;
    QTest::newRow("cp949 + hangul") << cpFile << QStringLiteral("홍길동") << int(E::Cp949);
    QTest::newRow("cp949 + emoji") << cpFile << QStringLiteral("홍 😀") << int(E::Utf8);
    QTest::newRow("utf8 + hangul") << utfFile << QStringLiteral("홍길동") << int(E::Utf8);
    QTest::newRow("ascii + hangul") << asciiFile << QStringLiteral("홍길동") << int(E::Cp949);
    QTest::newRow("ascii + rare hanja")
        << asciiFile << QString::fromUcs4(U"\U00020000") << int(E::Utf8);
    QTest::newRow("new + hangul") << QByteArray() << QStringLiteral("홍길동") << int(E::Cp949);
    // These syllables in code page 949 happen to be valid UTF-8 bytes as well, and would be
    // read back as other characters; such content goes to disk as UTF-8.
    const QString ambiguous = TextCodec::decode("\xC2\xA1\xC2\xA2", E::Cp949);
    QTest::newRow("new + ambiguous") << QByteArray() << ambiguous << int(E::Utf8);
}

void TestProfile::encodingOfRewrites()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    QFETCH(int, encoding);
    if (!before.isEmpty())
        TestFiles::write(path(), before);
    const QString oldName =
        profile::readString(path(), QStringLiteral("data"), QStringLiteral("ONme"));
    profile::writeString(path(), QStringLiteral("data"), QStringLiteral("Hand"), value);
    const QByteArray after = TestFiles::read(path());
    QVERIFY(!after.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(int(TextCodec::detect(after)), TextCodec::isAscii(after) ? 1 : encoding);
    QCOMPARE(profile::readString(path(), QStringLiteral("data"), QStringLiteral("Hand")), value);
    QCOMPARE(profile::readString(path(), QStringLiteral("data"), QStringLiteral("ONme")), oldName);
}

void TestProfile::replacementKeepsPermissions()
{
    TestFiles::write(path(), "[data]\r\nA=1\r\n");
    const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path(), perms));
    profile::writeString(path(), QStringLiteral("data"), QStringLiteral("A"), QStringLiteral("2"));
    const auto mask = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                      | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                      | QFile::ExeOther;
    QCOMPARE(QFile::permissions(path()) & mask, perms);
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestProfile::fileNameCaseIsIgnored()
{
    const QString upper = m_dir->filePath(QStringLiteral("KIM.TXT"));
    TestFiles::write(upper, "[data]\r\nHand=1\r\n");
    const QString asked = m_dir->filePath(QStringLiteral("KIM.txt"));
    QCOMPARE(profile::readString(asked, QStringLiteral("data"), QStringLiteral("Hand")),
             QStringLiteral("1"));
    profile::writeString(asked, QStringLiteral("data"), QStringLiteral("Hand"),
                         QStringLiteral("2"));
    QVERIFY(!QFile::exists(asked)
            || QFileInfo(asked).canonicalFilePath() == QFileInfo(upper).canonicalFilePath());
    QCOMPARE(TestFiles::read(upper), QByteArray("[data]\r\nHand=2\r\n"));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
