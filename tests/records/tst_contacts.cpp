#include "platform/FileSystem.h"
#include "platform/InstanceLock.h"
#include "platform/Profile.h"
#include "platform/TextCodec.h"
#include "records/ContactExport.h"
#include "records/ContactImport.h"
#include "records/PhoneFun.h"
#include "records/RecordFile.h"
#include "records/RecordStore.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

using TestFiles::cp949;
using namespace Qt::StringLiterals;

namespace {

// Every field of a record that holds something, multi-line fields joined with "\n".
QMap<QString, QString> recordFields(const QString &path)
{
    const profile::Snapshot record(path);
    QMap<QString, QString> out;
    for (const RecordField &f : RecordFields) {
        const QString v =
            f.multiLine ? ReadRecordLines(record, f.Name(), IniDocument::Length::Whole).join(u'\n')
                        : ReadRecordValue(record, f.Name(), IniDocument::Length::Whole);
        if (!v.isEmpty())
            out.insert(f.Name(), v);
    }
    return out;
}

// Every file below dir, relative, hidden ones too.
QStringList filesBelow(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

QByteArray quotedPrintable(const QByteArray &bytes)
{
    QByteArray out;
    for (char c : bytes)
        out += "=" + QByteArray(1, c).toHex().toUpper();
    return out;
}

// A CSV cell read back without the guard the export puts there for spreadsheets: one "'"
// before a cell that would run as a formula, ="…" around digits that would lose a zero.
QString unguarded(const QString &cell)
{
    if (cell.startsWith(u'\''))
        return cell.mid(1);
    static const QRegularExpression digits(QStringLiteral("^=\"([0-9]+)\"$"));
    if (const QRegularExpressionMatch m = digits.match(cell); m.hasMatch())
        return m.captured(1);
    return cell;
}

QByteArray card(const QByteArray &body)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n";
}

} // namespace

class TestContacts : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void parserKeepsWhatPeersWrite_data();
    void parserKeepsWhatPeersWrite();
    void writerFoldsBetweenCharacters();
    void areaCodes_data();
    void areaCodes();
    void importMapsFields_data();
    void importMapsFields();
    void importMakesNamesValidAndFree();
    void badInput_data();
    void badInput();
    void cancelKeepsWhatWasCreated();
    void roundTripOfGeneratedRecords_data();
    void roundTripOfGeneratedRecords();
    void vcardFolderIsStable();
    void copiedRecordGetsAUidOfItsOwn();
    void importByUidUpdates_data();
    void importByUidUpdates();
    void vcardFolderKeepsWhatChangedThere_data();
    void vcardFolderKeepsWhatChangedThere();
    void exportedCard_data();
    void exportedCard();
    void failedExportCountsNothing_data();
    void failedExportCountsNothing();
    void batchThatCannotFinishSaysSo();
    void importOntoAFullDisk();
    void everyCharacterComesBack_data();
    void everyCharacterComesBack();
    void cardThatLooksLikeParametersKeepsItsName();
    void csv_data();
    void csv();
    void commandLine_data();
    void commandLine();
    void commandLineUsesTheConfiguredDirectoryWithoutAWindow();

private:
    ContactReport importBytes(const QByteArray &bytes);
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_data;
};

void TestContacts::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    m_data = m_tmp->filePath(QStringLiteral("data"));
    QDir().mkpath(m_data);
}

ContactReport TestContacts::importBytes(const QByteArray &bytes)
{
    const QString file = m_tmp->filePath(QStringLiteral("in.vcf"));
    TestFiles::write(file, bytes);
    return ContactImport::Import({file}, m_data);
}

void TestContacts::parserKeepsWhatPeersWrite_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("text");

    QTest::newRow("folded, UTF-8") << card("NOTE:첫 줄\\n둘째\r\n  줄\\, 쉼표\\; 끝\r\n") << "NOTE"
                                   << "첫 줄\n둘째 줄, 쉼표; 끝";
    QTest::newRow("2.1 soft line breaks in EUC-KR")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;CHARSET=EUC-KR;QUOTED-PRINTABLE:"
                      + quotedPrintable(cp949(QStringLiteral("가나"))) + "=\r\n"
                      + quotedPrintable(cp949(QStringLiteral("다"))) + "\r\nEND:VCARD\r\n")
        << "NOTE"
        << "가나다";
    QTest::newRow("no charset, not UTF-8")
        << cp949(QStringLiteral("BEGIN:VCARD\r\nFN:김철수\r\nEND:VCARD\r\n")) << "FN"
        << "김철수";
    QTest::newRow("base64 text in another code page")
        << card("NOTE;ENCODING=b;CHARSET=ISO-8859-1:" + QByteArray("caf\xe9").toBase64() + "\r\n")
        << "NOTE" << QString::fromUtf8("café");
    const QString utf16 = QStringLiteral("BEGIN:VCARD\r\nitem1.X-ABLabel:직통\r\nEND:VCARD");
    QTest::newRow("group, UTF-16 with byte-order mark")
        << QByteArray("\xFF\xFE")
               + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2)
        << "X-ABLABEL"
        << "직통";
}

void TestContacts::parserKeepsWhatPeersWrite()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, property);
    QFETCH(QString, text);
    const VCard::Document doc = VCard::Parse(bytes);
    QCOMPARE(doc.cards.size(), 1);
    QVERIFY2(doc.cards[0].error.isEmpty(), qPrintable(doc.cards[0].error));
    const VCard::Property *p = doc.cards[0].first(property);
    QVERIFY(p);
    QCOMPARE(p->text(), text);
}

void TestContacts::writerFoldsBetweenCharacters()
{
    VCard::Writer w;
    w.add(QStringLiteral("NOTE"), {}, VCard::Escape(QString(60, QChar(u'한')) + u"; a,b\n끝"_s));
    const QList<QByteArray> lines = w.bytes().split('\n');
    QVERIFY(lines.size() > 3);
    for (const QByteArray &line : lines) {
        QVERIFY(line.isEmpty() || line.endsWith('\r'));
        QVERIFY2(line.size() - 1 <= 75, line.constData());
        QVERIFY(TextCodec::isValidUtf8(line)); // no character cut in two
    }
    const VCard::Document doc = VCard::Parse(card(w.bytes()));
    QCOMPARE(doc.cards.at(0).first(QStringLiteral("NOTE"))->text(),
             QString(60, QChar(u'한')) + u"; a,b\n끝"_s);
}

void TestContacts::areaCodes_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("rest");
    QTest::newRow("Seoul") << "02-555-0100"
                           << "02"
                           << "555-0100";
    QTest::newRow("parentheses") << "(031) 234-5678"
                                 << "031"
                                 << "234-5678";
    QTest::newRow("digits only") << "0645551234"
                                 << "064"
                                 << "5551234";
    QTest::newRow("internet telephone") << "070-1234-5678"
                                        << ""
                                        << "070-1234-5678";
    QTest::newRow("personal number") << "0505-123-4567"
                                     << ""
                                     << "0505-123-4567";
    QTest::newRow("050 run together") << "05051234567"
                                      << ""
                                      << "05051234567";
    QTest::newRow("nationwide") << "1588-1234"
                                << ""
                                << "1588-1234";
    QTest::newRow("no such area") << "034-123-4567"
                                  << ""
                                  << "034-123-4567";
    QTest::newRow("+82") << "+82-2-555-0100"
                         << "02"
                         << "555-0100";
    QTest::newRow("mobile") << "010-1234-5678"
                            << ""
                            << "010-1234-5678";
    QTest::newRow("past 064") << "065-123-4567"
                              << ""
                              << "065-123-4567";
    QTest::newRow("no code") << "555-0100"
                             << ""
                             << "555-0100";
}

void TestContacts::areaCodes()
{
    QFETCH(QString, number);
    QFETCH(QString, code);
    QFETCH(QString, rest);
    const AreaSplit split = SplitAreaCode(number);
    QCOMPARE(split.code, code);
    QCOMPARE(split.rest, rest);
}

void TestContacts::importMapsFields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QStringList>("fields"); // Field=value, Memo last when there is one
    QTest::addColumn<QString>("warning");    // in the report; none when empty

    QTest::newRow("3.0 from a phone")
        << card("FN:홍길동\r\nN:홍;길동;;;\r\nORG:한빛상사;영업부;해외팀\r\nTITLE:과장\r\n"
                "TEL;TYPE=CELL:010-1234-5678\r\nTEL;TYPE=WORK,VOICE:02-555-0100\r\n"
                "TEL;TYPE=WORK:02-555-0101\r\nTEL;TYPE=WORK:031-777-0000\r\n"
                "TEL;TYPE=WORK,FAX:02-555-0102\r\nTEL;TYPE=HOME:(031) 234-5678\r\n"
                "EMAIL;TYPE=INTERNET:hong@example.kr\r\nEMAIL:second@example.kr\r\n"
                "URL:http://hong.example.kr\r\nURL;TYPE=WORK:http://hanbit.example.kr\r\n"
                "ADR;TYPE=WORK:;;테헤란로 123\\n4층;서울;;06234;\r\n"
                "ADR;TYPE=HOME:;;중앙로 1;수원시;경기도;16489;\r\n"
                "NOTE:첫 줄\\n둘째 줄\\, 쉼표\r\nBDAY:1980-05-06\r\nNICKNAME:길동이\r\n")
        << "홍길동"
        << QStringList{"Hand=010-1234-5678",
                       "MUrl=http://hong.example.kr",
                       "EMail=hong@example.kr",
                       "ONme=한빛상사",
                       "ODDD=02",
                       "OPh1=555-0100",
                       "OPh2=555-0101",
                       "OFax=555-0102",
                       "OPst=영업부",
                       "OCls=과장",
                       "OZip=06234",
                       "OUrl=http://hanbit.example.kr",
                       "OAdd=서울 테헤란로 123\n4층",
                       "HZip=16489",
                       "HDDD=031",
                       "HPh1=234-5678",
                       "HAdd=경기도 수원시 중앙로 1",
                       "Memo=첫 줄\n둘째 줄, 쉼표\n소속: 해외팀\n생일: 1980-05-06\n별명: 길동이\n"
                       "회사 전화: 031-777-0000\nE-Mail: second@example.kr"}
        << QString();
    QTest::newRow("2.1 EUC-KR quoted-printable")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=EUC-KR;ENCODING=QUOTED-PRINTABLE:"
                      + quotedPrintable(cp949(QStringLiteral("홍"))) + ";"
                      + quotedPrintable(cp949(QStringLiteral("길동")))
                      + ";;;\r\nTEL;CELL:010-9999-8888\r\nTEL;HOME;VOICE:0212345678\r\n"
                        "NOTE;CHARSET=EUC-KR;ENCODING=QUOTED-PRINTABLE:"
                      + quotedPrintable(cp949(QStringLiteral("메모 "))) + "=\r\n"
                      + quotedPrintable(cp949(QStringLiteral("줄"))) + "\r\nEND:VCARD\r\n")
        << "홍길동" << QStringList{"Hand=010-9999-8888", "HDDD=02", "HPh1=12345678", "Memo=메모 줄"}
        << QString();
    QTest::newRow("4.0 tel addresses")
        << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Kim Chul Su\r\n"
                      "TEL;VALUE=uri;TYPE=\"work,voice\";PREF=1:tel:+82-2-555-0100\r\n"
                      "TEL;TYPE=cell:tel:010-2222-3333\r\nEND:VCARD\r\n")
        << "Kim Chul Su" << QStringList{"Hand=010-2222-3333", "ODDD=02", "OPh1=555-0100"}
        << QString();
    QTest::newRow("labels, N only")
        << card("N:Smith;John;;;\r\nitem1.TEL:02-111-2222\r\nitem1.X-ABLabel:회사 직통전화\r\n"
                "X-SKYPE:john.s\r\n")
        << "John Smith" << QStringList{"ODir=02-111-2222", "Memo=Skype: john.s"} << QString();

    // Numbers: an area code belongs to the number it came with.
    QTest::newRow("nationwide number beside a fax")
        << card("FN:고객센터\r\nORG:한빛\r\nTEL;TYPE=WORK:1588-1234\r\n"
                "TEL;TYPE=WORK,FAX:02-555-0199\r\n")
        << "고객센터"
        << QStringList{"ONme=한빛", "ODDD=02", "OFax=555-0199", "Memo=회사 전화: 1588-1234"}
        << QString();
    QTest::newRow("070 alone") << card("FN:인터넷전화\r\nTEL;TYPE=WORK:070-1234-5678\r\n")
                               << "인터넷전화" << QStringList{"OPh1=070-1234-5678"} << QString();
    QTest::newRow("050 is no area code")
        << card("FN:안심번호\r\nTEL;TYPE=HOME:0505-123-4567\r\nTEL;TYPE=HOME:02-333-4444\r\n")
        << "안심번호" << QStringList{"HDDD=02", "HPh1=333-4444", "Memo=집 전화: 0505-123-4567"}
        << QString();
    QTest::newRow("the code most numbers share")
        << card("FN:지사\r\nTEL;TYPE=WORK:055-111-2222\r\nTEL;TYPE=WORK:02-555-0100\r\n"
                "TEL;TYPE=WORK,FAX:02-555-0101\r\n")
        << "지사"
        << QStringList{"ODDD=02", "OPh1=555-0100", "OFax=555-0101", "Memo=회사 전화: 055-111-2222"}
        << QString();
    QTest::newRow("+82 mobile, spaced") << card("FN:가\r\nTEL;TYPE=CELL:+82 10-1234-5678\r\n")
                                        << "가" << QStringList{"Hand=010-1234-5678"} << QString();
    QTest::newRow("+82 mobile, run together, no type")
        << card("FN:나\r\nTEL:+821012345678\r\n") << "나" << QStringList{"Hand=010-1234-5678"}
        << QString();
    QTest::newRow("+82 tel address")
        << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:다\r\nTEL;VALUE=uri:tel:+82-10-2222-3333"
                      "\r\nEND:VCARD\r\n")
        << "다" << QStringList{"Hand=010-2222-3333"} << QString();
    QTest::newRow("foreign number as written")
        << card("FN:Jane\r\nTEL;TYPE=WORK:+1 212 555 0100\r\n") << "Jane"
        << QStringList{"OPh1=+1 212 555 0100"} << QString();
    QTest::newRow("landline without a type, no company")
        << card("FN:라\r\nTEL:02-555-0100\r\n") << "라" << QStringList{"HDDD=02", "HPh1=555-0100"}
        << QString();
    QTest::newRow("landline typed pref only, with a company")
        << card("FN:마\r\nORG:동아\r\nTEL;TYPE=pref:031-8000-1234\r\n") << "마"
        << QStringList{"ONme=동아", "ODDD=031", "OPh1=8000-1234"} << QString();

    // Labels: the notes say what a number or a date is.
    QTest::newRow("Apple label of its own")
        << card("FN:바\r\nitem1.TEL;type=pref:031-8000-1234\r\nitem1.X-ABLabel:회사 대표\r\n"
                "item2.X-ABDATE:2015-05-05\r\nitem2.X-ABLabel:_$!<Anniversary>!$_\r\n"
                "item3.X-ABRELATEDNAMES:홍길순\r\nitem3.X-ABLabel:_$!<Mother>!$_\r\n")
        << "바" << QStringList{"Memo=기념일: 2015-05-05\n어머니: 홍길순\n회사 대표: 031-8000-1234"}
        << QString();
    QTest::newRow("Samsung X-CUSTOM")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:사\r\nTEL;X-CUSTOM(CHARSET=UTF-8,"
                      "ENCODING=QUOTED-PRINTABLE,"
                      + quotedPrintable(QStringLiteral("사무실").toUtf8())
                      + "):02-777-8888\r\nEND:VCARD\r\n")
        << "사" << QStringList{"Memo=사무실: 02-777-8888"} << QString();
    QTest::newRow("Evolution and pager")
        << card("FN:아\r\nTEL;TYPE=WORK:02-555-0100\r\nTEL;TYPE=WORK:02-555-0101\r\n"
                "TEL;TYPE=X-EVOLUTION-COMPANY:02-555-0000\r\n"
                "TEL;TYPE=X-EVOLUTION-ASSISTANT:02-555-0009\r\nTEL;TYPE=PAGER:012-345-6789\r\n")
        << "아"
        << QStringList{"ODDD=02", "OPh1=555-0100", "OPh2=555-0101",
                       "Memo=회사 대표: 02-555-0000\n비서: 02-555-0009\n호출기: 012-345-6789"}
        << QString();

    // Addresses from the province down; other countries as they write them.
    QTest::newRow("Korean address")
        << card("FN:자\r\nADR;TYPE=HOME:;101동 1001호;테헤란로 "
                "152;강남구;서울특별시;06236;대한민국\r\n")
        << "자" << QStringList{"HZip=06236", "HAdd=서울특별시 강남구 테헤란로 152\n101동 1001호"}
        << QString();
    QTest::newRow("foreign address")
        << card("FN:Tim\r\nADR;TYPE=WORK:;;1 Infinite Loop;Cupertino;CA;95014;USA\r\n") << "Tim"
        << QStringList{"OZip=95014", "OAdd=1 Infinite Loop\nCupertino CA\nUSA"} << QString();

    // Names.
    QTest::newRow("Hanja name, N only")
        << card("N:金;哲洙;;;\r\n") << "金哲洙" << QStringList{} << QString();
    QTest::newRow("Japanese name, N only")
        << card("N:山田;太郎;;;\r\n") << "山田太郎" << QStringList{} << QString();
    QTest::newRow("a company's card")
        << card("ORG:한빛상사;총무부\r\nTEL;TYPE=WORK:02-555-0100\r\n") << "한빛상사"
        << QStringList{"ONme=한빛상사", "ODDD=02", "OPh1=555-0100", "OPst=총무부"} << QString();

    // One bad property never drops a card.
    QTest::newRow("broken quoted-printable")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:깨진 카드\r\nTEL;CELL:010-1111-2222\r\n"
                      "NOTE;ENCODING=QUOTED-PRINTABLE:=ZZ=41\r\nEND:VCARD\r\n")
        << "깨진 카드" << QStringList{"Hand=010-1111-2222", "Memo==ZZA"}
        << "5번째 줄(NOTE)의 quoted-printable 값이 깨져";
    QTest::newRow("UTF-8 declared, code page 949 given")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:" + cp949(u"이;영희"_s)
                      + ";;;\r\nEND:VCARD\r\n")
        << "이영희" << QStringList{} << "UTF-8(으)로 적혀 있지만 CP949";
    QTest::newRow("EUC-KR declared, UTF-8 given")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=EUC-KR:" + u"박민수"_s.toUtf8()
                      + "\r\nEND:VCARD\r\n")
        << "박민수" << QStringList{} << "EUC-KR(으)로 적혀 있지만 UTF-8";

    // Bookkeeping stays out of the notes; what Android keeps for itself reads as words.
    QTest::newRow("vendor bookkeeping")
        << card("FN:차\r\nX-MS-OL-DESIGN;CHARSET=utf-8:<card xmlns=\"http://x\"/>\r\n"
                "X-ABADR:kr\r\nX-MOZILLA-HTML:FALSE\r\n"
                "X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;차돌이;1;;;;;;;;;;;;;\r\n"
                "X-ANDROID-CUSTOM:vnd.android.cursor.item/"
                "contact_event;2015-05-05;1;;;;;;;;;;;;;\r\n"
                "X-ANDROID-CUSTOM:vnd.android.cursor.item/relation;홍길순;8;;;;;;;;;;;;;\r\n")
        << "차" << QStringList{"Memo=별명: 차돌이\n기념일: 2015-05-05\n어머니: 홍길순"}
        << QString();
}

void TestContacts::importMapsFields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, record);
    QFETCH(QStringList, fields);
    QFETCH(QString, warning);
    const ContactReport report = importBytes(bytes);
    QVERIFY2(report.skipped.isEmpty() && !report.failed(), qPrintable(report.Text()));
    if (warning.isEmpty())
        QVERIFY2(report.warnings.isEmpty(), qPrintable(report.Text()));
    else
        QVERIFY2(report.warnings.join(u'\n').contains(warning), qPrintable(report.Text()));
    QCOMPARE(report.written, 1);
    QCOMPARE(filesBelow(m_data), QStringList{record + ".txt"});
    QMap<QString, QString> expected;
    for (const QString &f : fields)
        expected.insert(f.section(u'=', 0, 0), f.section(u'=', 1));
    QCOMPARE(recordFields(QDir(m_data).filePath(record + ".txt")), expected);
}

void TestContacts::importMakesNamesValidAndFree()
{
    TestFiles::write(QDir(m_data).filePath(QStringLiteral("홍길동.txt")), "[data]\r\nHand=1\r\n");
    QDir(m_data).mkdir(QStringLiteral("__홍길동_01")); // a companion folder keeps its name
    const ContactReport report = importBytes(card("FN:홍길동\r\n") + card("FN:홍길동\r\n")
                                             + card("FN:a/b:c*d\r\n") + card("FN:.hidden\r\n"));
    QCOMPARE(report.written, 4);
    QCOMPARE(filesBelow(m_data), QStringList({"_hidden.txt", "a_b_c_d.txt", "홍길동.txt",
                                              "홍길동_02.txt", "홍길동_03.txt"}));
    QCOMPARE(recordFields(QDir(m_data).filePath(QStringLiteral("홍길동.txt"))).value("Hand"), "1");
}

void TestContacts::badInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("written");
    QTest::addColumn<QString>("told"); // in the report
    QTest::addColumn<QStringList>("files");

    const QByteArray good = card("FN:좋은 카드\r\n");
    QTest::newRow("not a vCard") << QByteArray("name,phone\r\n홍길동,010\r\n") << 0
                                 << "vCard 파일이 아닙니다" << QStringList();
    QTest::newRow("no name") << card("TEL:010-1111-2222\r\nN:;;;;\r\n") + good << 1
                             << "이름(FN, N, ORG)이 없습니다" << QStringList{"좋은 카드.txt"};
    QTest::newRow("unknown charset")
        << card("FN;CHARSET=X-NOPE:Kim\r\n") << 1 << "X-NOPE" << QStringList{"Kim.txt"};
    QTest::newRow("no END") << good + "BEGIN:VCARD\r\nFN:끝없는 카드\r\n"
                            << 1 << "END:VCARD 없이" << QStringList{"좋은 카드.txt"};
    QByteArray random(50 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(random.data()),
                                  random.size() / sizeof(quint32));
    QTest::newRow("50 MB of noise") << random << 0 << "vCard 파일이 아닙니다" << QStringList();
    const QByteArray photo(1024 * 1024, '\x5A');
    QTest::newRow("1 MB photo") << card(
        "FN:사진 있는 카드\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + photo.toBase64() + "\r\n")
                                << 1 << "자료 1개"
                                << QStringList{"__사진 있는 카드/사진.jpg", "사진 있는 카드.txt"};
    QTest::newRow("card too large")
        << card("FN:큰 카드\r\nPHOTO;ENCODING=b:" + QByteArray(17 * 1024 * 1024, 'A') + "\r\n")
               + good
        << 1 << "MB보다 큽니다" << QStringList{"좋은 카드.txt"};
}

void TestContacts::badInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, written);
    QFETCH(QString, told);
    QFETCH(QStringList, files);
    const ContactReport report = importBytes(bytes);
    QCOMPARE(report.written, written);
    QVERIFY2(report.Text().contains(told), qPrintable(report.Text()));
    // Nothing half-written: only whole records, no temporary files.
    QCOMPARE(filesBelow(m_data), files);
    if (files.contains(QStringLiteral("__사진 있는 카드/사진.jpg"))) {
        QCOMPARE(TestFiles::read(QDir(m_data).filePath("__사진 있는 카드/사진.jpg")).size(),
                 1024 * 1024);
        QVERIFY(recordFields(QDir(m_data).filePath("사진 있는 카드.txt"))
                    .value("Memo")
                    .contains(u"사진.jpg"));
    }
}

void TestContacts::cancelKeepsWhatWasCreated()
{
    const QString file = m_tmp->filePath(QStringLiteral("in.vcf"));
    TestFiles::write(file, card("FN:하나\r\n") + card("FN:둘\r\n") + card("FN:셋\r\n"));
    const ContactReport report = ContactImport::Import(
        {file}, m_data, [](qsizetype done, qsizetype total) { return total == 3 && done < 2; });
    QVERIFY(report.cancelled);
    QCOMPARE(report.written, 2);
    QVERIFY(report.Text().contains(QStringLiteral("취소")));
    QCOMPARE(filesBelow(m_data), QStringList({"둘.txt", "하나.txt"}));
}

void TestContacts::roundTripOfGeneratedRecords_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("one vCard file") << int(ContactExport::Format::VCardFile);
    QTest::newRow("vCard folder") << int(ContactExport::Format::VCardFolder);
}

void TestContacts::roundTripOfGeneratedRecords()
{
    QFETCH(int, format);
    const QString source = m_tmp->filePath(QStringLiteral("generated"));
    QProcess gen;
    gen.start(QStringLiteral(VANDREL_GENDATA), {source, "600", "40", "3"});
    QVERIFY(gen.waitForFinished(120000));
    QCOMPARE(gen.exitCode(), 0);
    // Folders without records, one inside the other, and a photo a person put there.
    QVERIFY(QDir(source).mkpath(u"빈 폴더/더 빈 폴더"_s));
    const QString someone = RecordStore::CollectRecords(source, false, nullptr).last();
    QVERIFY(QDir().mkpath(RecordStore::CompanionFolder(someone)));
    TestFiles::write(RecordStore::CompanionFolder(someone) + u"/얼굴.png"_s,
                     "\x89PNG\r\n\x1A\n" + QByteArray(3000, '\x07'));

    ContactExport::Request request{source, source, m_tmp->filePath(QStringLiteral("out")),
                                   ContactExport::Format(format), false};
    const ContactReport out = ContactExport::Export(request);
    QVERIFY2(!out.failed() && out.skipped.isEmpty(), qPrintable(out.Text()));
    QStringList files{request.out};
    if (request.format == ContactExport::Format::VCardFolder) {
        files.clear();
        for (const QString &name : QDir(request.out).entryList(QDir::Files))
            files << QDir(request.out).filePath(name);
    }
    const ContactReport in = ContactImport::Import(files, m_data);
    QVERIFY2(!in.failed() && in.skipped.isEmpty() && in.warnings.isEmpty(), qPrintable(in.Text()));

    const QStringList records = RecordStore::CollectRecords(source, false, nullptr);
    QVERIFY(records.size() > 600); // the folder records too
    QCOMPARE(in.written, records.size());
    QCOMPARE(RecordStore::CollectRecords(m_data, false, nullptr).size(), records.size());
    int photos = 0;
    for (const QString &path : records) {
        const QString again = QDir(m_data).filePath(QDir(source).relativeFilePath(path));
        QVERIFY2(QFileInfo::exists(again), qPrintable(again));
        QCOMPARE(recordFields(again), recordFields(path));
        // One picture of the companion folder comes back under its name, byte for byte.
        const QDir before(RecordStore::CompanionFolder(path));
        const QStringList images = before.entryList({u"*.jpg"_s, u"*.png"_s}, QDir::Files);
        const QDir after(RecordStore::CompanionFolder(again));
        if (images.isEmpty() || path.endsWith(FolderRecordName)) {
            QVERIFY(!after.exists());
            continue;
        }
        const QStringList back = after.entryList(QDir::Files);
        QCOMPARE(back.size(), 1);
        QVERIFY2(images.contains(back.first()), qPrintable(back.first()));
        QCOMPARE(TestFiles::read(after.filePath(back.first())),
                 TestFiles::read(before.filePath(back.first())));
        ++photos;
    }
    QVERIFY(photos > 1);
    // The same folders, the empty ones too.
    const auto folders = [](const QString &root) {
        QStringList out;
        QDirIterator it(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString rel = QDir(root).relativeFilePath(it.next());
            if (!rel.startsWith(u"__"_s) && !rel.contains(u"/__"_s))
                out << rel;
        }
        out.sort();
        return out;
    };
    QCOMPARE(folders(m_data), folders(source));
    QVERIFY(QFileInfo(m_data + u"/빈 폴더/더 빈 폴더"_s).isDir());
    QCOMPARE(in.folders, out.folders);
    QVERIFY(out.folders >= 1);
}

void TestContacts::vcardFolderIsStable()
{
    const QDir data(m_data);
    data.mkpath(QStringLiteral("친구"));
    TestFiles::write(data.filePath("친구/김철수.txt"), cp949(u"[data]\r\nHand=010-1\r\n"_s));
    TestFiles::write(data.filePath("친구/이영희.txt"), cp949(u"[data]\r\nHand=010-2\r\n"_s));
    const QString out = m_tmp->filePath(QStringLiteral("sync"));
    QDir().mkpath(out);
    TestFiles::write(QDir(out).filePath("other.vcf"), card("FN:Someone else\r\n"));
    const ContactExport::Request request{m_data, m_data, out, ContactExport::Format::VCardFolder,
                                         false};
    QCOMPARE(ContactExport::Export(request).written, 2);
    const QStringList first = QDir(out).entryList(QDir::Files);
    QCOMPARE(first.size(), 3);
    const QString kimFile = ContactExport::RecordUid("친구/김철수.txt").mid(9) + ".vcf";
    QVERIFY(first.contains(kimFile));
    QVERIFY(TestFiles::read(QDir(out).filePath(kimFile))
                .contains("UID:urn:uuid:" + kimFile.chopped(4).toLatin1()));

    // The first export gave the record the UID its place gave before; it is the record's now.
    QCOMPARE(Record::Read(data.filePath("친구/김철수.txt")).Uid(),
             u"urn:uuid:"_s + kimFile.chopped(4));
    QCOMPARE(RecordStore::Rename(data.filePath("친구") + QDir::separator(), u"김철수"_s,
                                 u"김철호"_s, true, nullptr),
             QString());

    QVERIFY(QFile::remove(data.filePath("친구/이영희.txt")));
    const ContactReport again = ContactExport::Export(request);
    QCOMPARE(again.written, 1);
    // Renamed, the record is the same card: a sync tool sees a change, not a new card.
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList({kimFile, "other.vcf"}));
    QVERIFY(TestFiles::read(QDir(out).filePath(kimFile)).contains(u"FN:김철호"_s.toUtf8()));
}

// A record file copied outside the program: two records, two cards, not one over the other.
void TestContacts::copiedRecordGetsAUidOfItsOwn()
{
    const QString kim = QDir(m_data).filePath(u"김철수.txt"_s);
    RecordStore::CreateRecord(kim, Record());
    QVERIFY(QFile::copy(kim, QDir(m_data).filePath(u"김철수 사본.txt"_s)));
    const QString out = m_tmp->filePath(QStringLiteral("sync"));
    const ContactReport report =
        ContactExport::Export({m_data, m_data, out, ContactExport::Format::VCardFolder, false});
    QCOMPARE(report.written, 2);
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);
    QVERIFY2(report.Text().contains(u"새 UID"_s), qPrintable(report.Text()));
    // The one met first keeps its identity.
    const QString first = Record::Read(kim).Uid();
    QVERIFY(first != Record::Read(QDir(m_data).filePath(u"김철수 사본.txt"_s)).Uid());
    QVERIFY(TestFiles::read(QDir(out).filePath(ContactExport::CardFileName(first)))
                .contains("FN:" + u"김철수"_s.toUtf8() + "\r\n"));
}

namespace {
const QByteArray LeeUid = "urn:uuid:11111111-2222-4333-8444-555555555555";
}

void TestContacts::importByUidUpdates_data()
{
    QTest::addColumn<QByteArray>("body"); // of the card that comes in
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("updated");
    QTest::addColumn<QStringList>("fields"); // of 친구/이영희.txt afterwards
    QTest::addColumn<QStringList>("files");

    const QByteArray uid = "UID:" + LeeUid + "\r\n";
    const QStringList both{"이영희.txt", "친구/이영희.txt"};
    const QStringList kept{"Hand=010-1111-2222", "ODDD=02", "OPh1=555-0100", "Memo=오래된 메모"};
    QTest::newRow("the same card again")
        << "FN:이영희\r\n" + uid
               + "TEL;TYPE=CELL:010-1111-2222\r\nTEL;TYPE=WORK:02-555-0100\r\n"
                 "NOTE:오래된 메모\r\n"
        << 0 << 0 << kept << QStringList{"친구/이영희.txt"};
    QTest::newRow("a new mobile, nothing lost")
        << "FN:이영희\r\n" + uid + "TEL;TYPE=CELL:010-9999-0000\r\n"
        << 0 << 1
        << QStringList{"Hand=010-9999-0000", "ODDD=02", "OPh1=555-0100",
                       "Memo=오래된 메모\n이전 핸드폰: 010-1111-2222"}
        << QStringList{"친구/이영희.txt"};
    QTest::newRow("notes merged") << "FN:이영희\r\n" + uid + "NOTE:오래된 메모\\n새 메모\r\n"
                                  << 0 << 1
                                  << QStringList{"Hand=010-1111-2222", "ODDD=02", "OPh1=555-0100",
                                                 "Memo=오래된 메모\n새 메모"}
                                  << QStringList{"친구/이영희.txt"};
    QTest::newRow("a company number elsewhere")
        << "FN:이영희\r\n" + uid + "TEL;TYPE=WORK:031-777-0000\r\n"
        << 0 << 1
        << QStringList{"Hand=010-1111-2222", "ODDD=031", "OPh1=777-0000",
                       "Memo=오래된 메모\n이전 회사 전화: 02-555-0100"}
        << QStringList{"친구/이영희.txt"};
    QTest::newRow("another UID") << QByteArray("FN:이영희\r\nUID:other\r\n") << 1 << 0 << kept
                                 << both;
    QTest::newRow("no UID") << QByteArray("FN:이영희\r\n") << 1 << 0 << kept << both;
}

// A card that came back from a phone or a server updates its record wherever it is now.
void TestContacts::importByUidUpdates()
{
    QFETCH(QByteArray, body);
    QFETCH(int, written);
    QFETCH(int, updated);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, files);
    QDir(m_data).mkpath(u"친구"_s);
    const QString lee = QDir(m_data).filePath(u"친구/이영희.txt"_s);
    TestFiles::write(lee, cp949(u"[data]\r\nHand=010-1111-2222\r\nODDD=02\r\nOPh1=555-0100\r\n"
                                u"[Memo]\r\nmany=1\r\n1=오래된 메모\r\n[Vandrel]\r\nUID="_s)
                              + LeeUid + "\r\n");
    const QByteArray before = TestFiles::read(lee);
    const QString file = m_tmp->filePath(QStringLiteral("in.vcf"));
    TestFiles::write(file, card(body));
    const ContactReport report = ContactImport::Import({file}, m_data, {}, m_data);
    QVERIFY2(!report.failed() && report.skipped.isEmpty(), qPrintable(report.Text()));
    QCOMPARE(report.written, written);
    QCOMPARE(report.updated.size(), updated);
    QCOMPARE(report.Text().contains(u"고쳤습니다"_s), updated > 0);
    QCOMPARE(filesBelow(m_data), files);
    QMap<QString, QString> expected;
    for (const QString &f : fields)
        expected.insert(f.section(u'=', 0, 0), f.section(u'=', 1));
    QCOMPARE(recordFields(lee), expected);
    QCOMPARE(Record::Read(lee).Uid(), QString::fromLatin1(LeeUid));
    if (written == 0 && updated == 0)
        QCOMPARE(TestFiles::read(lee), before); // not even rewritten
}

void TestContacts::vcardFolderKeepsWhatChangedThere_data()
{
    QTest::addColumn<bool>("fileChanged");
    QTest::addColumn<QString>("recordChange"); // "", "edit" or "delete"
    QTest::addColumn<QByteArray>("fileHas");   // empty: the file is gone
    QTest::addColumn<QString>("hand");         // of the record afterwards
    QTest::addColumn<QString>("told");

    QTest::newRow("changed in the folder") << true << "" << QByteArray("010-7") << "010-7"
                                           << "먼저 자료로 가져왔습니다";
    QTest::newRow("changed on both sides") << true << "edit" << QByteArray("010-7") << "010-5"
                                           << "덮어쓰지 않았습니다";
    QTest::newRow("changed in the record") << false << "edit" << QByteArray("010-5") << "010-5"
                                           << "";
    QTest::newRow("record gone") << false << "delete" << QByteArray() << ""
                                 << "파일 1개를 지웠습니다";
    QTest::newRow("record gone, file changed") << true << "delete" << QByteArray("010-7") << ""
                                               << "지우지 않았습니다";
}

// A file a sync tool or a person changed is never overwritten.
void TestContacts::vcardFolderKeepsWhatChangedThere()
{
    QFETCH(bool, fileChanged);
    QFETCH(QString, recordChange);
    QFETCH(QByteArray, fileHas);
    QFETCH(QString, hand);
    QFETCH(QString, told);
    const QString kim = QDir(m_data).filePath(u"김철수.txt"_s);
    TestFiles::write(kim, "[data]\r\nHand=010-1\r\n");
    const QString out = m_tmp->filePath(QStringLiteral("sync"));
    const ContactExport::Request request{m_data, m_data, out, ContactExport::Format::VCardFolder,
                                         false};
    QVERIFY(!ContactExport::Export(request).failed());
    const QStringList cards = QDir(out).entryList(QDir::Files);
    QCOMPARE(cards.size(), 1);
    const QString file = QDir(out).filePath(cards.first());
    if (fileChanged)
        TestFiles::write(file, TestFiles::read(file).replace("010-1", "010-7"));
    const QByteArray changed = TestFiles::read(file);
    if (recordChange == u"edit") {
        Record r = Record::Read(kim);
        r.SetValue(u"Hand", u"010-5"_s);
        RecordStore::SaveRecord(kim, r);
    } else if (recordChange == u"delete") {
        QVERIFY(QFile::remove(kim));
    }
    const ContactReport report = ContactExport::Export(request);
    QVERIFY2(!report.failed(), qPrintable(report.Text()));
    if (!told.isEmpty())
        QVERIFY2(report.Text().contains(told), qPrintable(report.Text()));
    if (fileHas.isEmpty()) {
        QVERIFY(!QFileInfo::exists(file));
    } else {
        QVERIFY2(TestFiles::read(file).contains("TEL;TYPE=CELL:" + fileHas), TestFiles::read(file));
        if (fileChanged)
            QCOMPARE(TestFiles::read(file), changed); // theirs, byte for byte
    }
    if (!hand.isEmpty())
        QCOMPARE(Record::Read(kim).Value(u"Hand"), hand);
    // Nothing changed since: the next export leaves everything as it is.
    const QByteArray now = TestFiles::read(file);
    const ContactReport quiet = ContactExport::Export(request);
    QCOMPARE(TestFiles::read(file), now);
    QVERIFY2(quiet.updated.isEmpty(), qPrintable(quiet.Text()));
}

void TestContacts::exportedCard_data()
{
    QTest::addColumn<QStringList>("fields"); // Field=value of the record
    QTest::addColumn<QStringList>("lines");  // in its card

    QTest::newRow("Korean address into its parts")
        << QStringList{"OAdd=서울특별시 강남구 테헤란로 152\n한빛빌딩 4층", "OZip=06236"}
        << QStringList{"ADR;TYPE=WORK:;한빛빌딩 4층;테헤란로 152;강남구;서울특별시;06236;"};
    QTest::newRow("two localities")
        << QStringList{"HAdd=경기도 성남시 분당구 판교역로 235"}
        << QStringList{"ADR;TYPE=HOME:;;판교역로 235;성남시 분당구;경기도;;"};
    QTest::newRow("not an address Korean order can tell")
        << QStringList{"HAdd=Seoul  Tower\n  2F"}
        << QStringList{"ADR;TYPE=HOME:;;Seoul  Tower\\n  2F;;;;"};
    QTest::newRow("a number whole without its block's code")
        << QStringList{"ODDD=02", "OPh1=1588-1234", "OFax=555-0199"}
        << QStringList{"TEL;TYPE=WORK,VOICE:1588-1234", "TEL;TYPE=WORK,FAX:02-555-0199",
                       "X-VANDREL-OPh1:1588-1234"};
    QTest::newRow("numbers an importer finds as they are")
        << QStringList{"HDDD=031", "HPh1=234-5678"}
        << QStringList{"TEL;TYPE=HOME,VOICE:031-234-5678"};
}

// What goes out: the parts other programs read, and everything back again.
void TestContacts::exportedCard()
{
    QFETCH(QStringList, fields);
    QFETCH(QStringList, lines);
    Record record;
    for (const QString &f : fields) {
        const QString name = f.section(u'=', 0, 0), value = f.section(u'=', 1);
        if (FindRecordField(name)->multiLine)
            record.SetLines(name, value.split(u'\n'));
        else
            record.SetValue(name, value);
    }
    const QString path = QDir(m_data).filePath(u"사람.txt"_s);
    RecordStore::CreateRecord(path, record);
    const QString out = m_tmp->filePath(u"out.vcf"_s);
    QVERIFY(!ContactExport::Export({m_data, m_data, out, ContactExport::Format::VCardFile, false})
                 .failed());
    const QString text = QString::fromUtf8(TestFiles::read(out)).remove(u"\r\n "_s); // unfolded
    for (const QString &line : lines)
        QVERIFY2(text.contains(line + u"\r\n"_s), qPrintable(text));
    if (!fields.join(QString()).contains(u"ODDD"_s))
        QVERIFY(!text.contains(u"X-VANDREL-"_s + fields.first().left(4)));
    const QString back = m_tmp->filePath(u"back"_s);
    QVERIFY(ContactImport::Import({out}, back).warnings.isEmpty());
    QCOMPARE(recordFields(back + u"/사람.txt"_s), recordFields(path));
}

void TestContacts::failedExportCountsNothing_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("out"); // below the temporary folder
    QTest::newRow("vCard file into a missing folder")
        << int(ContactExport::Format::VCardFile) << "none/out.vcf";
    QTest::newRow("CSV into a missing folder") << int(ContactExport::Format::Csv) << "none/out.csv";
    QTest::newRow("vCard folder where a file is")
        << int(ContactExport::Format::VCardFolder) << "a.txt/sync";
}

void TestContacts::failedExportCountsNothing()
{
    QFETCH(int, format);
    QFETCH(QString, out);
    TestFiles::write(QDir(m_data).filePath(u"김철수.txt"_s), "[data]\r\nHand=010-1\r\n");
    TestFiles::write(m_tmp->filePath(u"a.txt"_s), "");
    const ContactReport report = ContactExport::Export(
        {m_data, m_data, m_tmp->filePath(out), ContactExport::Format(format), false});
    QVERIFY(report.failed());
    QCOMPARE(report.written, 0);
    QVERIFY2(!report.Text().contains(u"내보냈습니다"_s), qPrintable(report.Text()));
    QVERIFY(report.Text().startsWith(u"내보내지 못했습니다."_s));
}

// Files written in one batch whose folder went away before they were put in place: none of
// them is taken for written, and no temporary file stays behind.
void TestContacts::batchThatCannotFinishSaysSo()
{
    const QString dir = m_tmp->filePath(u"batch"_s);
    QDir().mkpath(dir);
    QStringList failed;
    {
        FileSystem::Batch batch;
        QVERIFY(FileSystem::writeAtomically(dir + u"/a.txt"_s, "a"));
        QVERIFY(FileSystem::writeAtomically(dir + u"/b.txt"_s, "b"));
        // Read back before the end: the batch puts the file in place first.
        QByteArray bytes;
        QVERIFY(FileSystem::readAll(dir + u"/A.TXT"_s, bytes));
        QCOMPARE(bytes, QByteArray("a"));
        QVERIFY(FileSystem::writeAtomically(dir + u"/c.txt"_s, "c"));
        QVERIFY(FileSystem::exists(dir + u"/C.txt"_s));
        QVERIFY(QDir().rename(dir, dir + u"-moved"_s));
        failed = batch.Commit();
    }
    // The read put a and b in place; c was still waiting.
    QCOMPARE(failed, QStringList{dir + u"/c.txt"_s});
    QCOMPARE(QDir(dir + u"-moved"_s).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({u"a.txt"_s, u"b.txt"_s}));
}

// A disk that fills up during an import: the records that did not fit are not counted, and
// no record is half there.
void TestContacts::importOntoAFullDisk()
{
#ifdef Q_OS_LINUX
    const QString small = m_tmp->filePath(u"small"_s);
    QDir().mkpath(small);
    if (mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("mounting a small tmpfs needs root");
    const auto unmount =
        qScopeGuard([&] { umount2(QFile::encodeName(small).constData(), MNT_DETACH); });
    QByteArray cards;
    for (int i = 0; i < 200; ++i)
        cards +=
            card("FN:사람" + QByteArray::number(i) + "\r\nNOTE:" + QByteArray(900, 'x') + "\r\n");
    const QString file = m_tmp->filePath(u"in.vcf"_s);
    TestFiles::write(file, cards);
    const ContactReport report = ContactImport::Import({file}, small);
    QVERIFY(report.failed());
    const QStringList there = QDir(small).entryList(QDir::Files | QDir::Hidden);
    QVERIFY(report.written > 0 && report.written < 200);
    QCOMPARE(there.size(), report.written);
    for (const QString &name : there)
        QVERIFY2(recordFields(QDir(small).filePath(name)).value(u"Memo"_s).size() == 900,
                 qPrintable(name));
#else
    QSKIP("needs a tmpfs");
#endif
}

void TestContacts::everyCharacterComesBack_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("value");
    const QList<std::pair<const char *, QString>> values = {
        {"separators", u"a;b,c\\d=e:f"_s},
        {"escapes spelled out", u"\\n \\N \\, \\; \\\\"_s},
        {"quoted-printable look-alike", u"=C1=D9 ENCODING=QUOTED-PRINTABLE:=0D=0A="_s},
        {"parameter look-alike", u"01;ENCODING=QUOTED-PR\uFFFD=C1=D9;CHARSET=EUC-KR"_s},
        {"control characters", u"a\u0001b\u001Fc\u007Fd"_s},
        {"byte-order mark", u"\uFEFF앞\uFEFF"_s},
        {"card lines", u"END:VCARD BEGIN:VCARD item1.X-ABLabel:전화"_s},
        {"quotes", u"\"따옴표\" 'a'"_s},
        {"wide blanks", u"\u3000가\u00A0나\u3000"_s},
        {"folded", QString(60, u'가') + u"😀"_s + QString(40, u'a')},
        {"spreadsheet formula", u"=HYPERLINK(\"http://x\";\"y\")"_s},
        {"guard look-alike", u"'=1+2"_s},
        {"leading zero", u"007"_s},
    };
    const QList<std::pair<const char *, ContactExport::Format>> formats = {
        {"vCard file", ContactExport::Format::VCardFile},
        {"vCard folder", ContactExport::Format::VCardFolder},
        {"CSV", ContactExport::Format::Csv}};
    for (const auto &[format, f] : formats)
        for (const auto &[name, value] : values)
            QTest::addRow("%s, %s", format, name) << int(f) << value;
}

// A record holding the value in its single-line fields, its lines and its name goes out and
// comes back with every value as it was.
void TestContacts::everyCharacterComesBack()
{
    QFETCH(int, format);
    QFETCH(QString, value);
    const QString source = m_tmp->filePath(u"source"_s);
    QDir().mkpath(source + u"/폴더; 이름"_s);
    const QString name = RecordStore::ValidName(value + u"사람"_s, false);
    const QString path = source + u"/폴더; 이름/"_s + name + u".txt"_s;
    Record record;
    record.SetLines(u"Memo", {value, u"  "_s + value, {}, u"끝"_s});
    record.SetLines(u"OAdd", {value});
    record.SetLines(u"HAdd", {{}, u" "_s + value});
    using K = RecordField::Kind;
    for (int i = 0; i < RecordFieldCount; ++i) {
        const RecordField &f = RecordFields[size_t(i)];
        // Numbers have rules of their own.
        if (!f.multiLine && f.kind != K::Telephone && f.kind != K::Extension
            && f.kind != K::AreaCode)
            record.SetValue(i, value);
    }
    RecordStore::CreateRecord(path, record);
    const Contact before = Contact::Read(path);
    QCOMPARE(before.record.Lines(u"Memo").value(1), u"  "_s + value); // the file holds it
    QCOMPARE(before.record.Value(u"BNK1"), TrimName(value));

    const ContactExport::Request request{source, source, m_tmp->filePath(u"out"_s),
                                         ContactExport::Format(format), false};
    const ContactReport out = ContactExport::Export(request);
    QVERIFY2(!out.failed() && out.written == 1, qPrintable(out.Text()));

    if (request.format == ContactExport::Format::Csv) {
        // Read back by Python's csv module, as a spreadsheet would.
        const QString python = QStandardPaths::findExecutable(u"python3"_s);
        if (python.isEmpty())
            QSKIP("python3 is missing (build.sh test installs it)");
        QProcess p;
        p.start(python, {u"-c"_s,
                         u"import csv,json,sys\n"
                         "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',"
                         "newline='')))\nprint(json.dumps(rows))"_s,
                         request.out});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QJsonArray rows = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
        QCOMPARE(rows.size(), 2);
        const QJsonArray row = rows.at(1).toArray();
        QCOMPARE(unguarded(row.at(0).toString()), name);
        QCOMPARE(row.at(1).toString(), u"폴더; 이름"_s);
        for (int i = 0; i < RecordFieldCount; ++i)
            QCOMPARE(unguarded(row.at(2 + i).toString()), before.record.Text(i));
        return;
    }
    QStringList files{request.out};
    if (request.format == ContactExport::Format::VCardFolder) {
        files.clear();
        for (const QString &file : QDir(request.out).entryList(QDir::Files))
            files << QDir(request.out).filePath(file);
    }
    const ContactReport in = ContactImport::Import(files, m_data);
    QVERIFY2(!in.failed() && in.written == 1 && in.warnings.isEmpty(), qPrintable(in.Text()));
    const QString again = m_data + u"/폴더; 이름/"_s + name + u".txt"_s;
    QVERIFY2(QFileInfo::exists(again), qPrintable(filesBelow(m_data).join(u", "_s)));
    const Contact after = Contact::Read(again);
    QCOMPARE(after.record, before.record);
}

// Found by fuzzing: a 2.1 name whose text looks like a parameter and quoted-printable.
void TestContacts::cardThatLooksLikeParametersKeepsItsName()
{
    const QByteArray card21 =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:01;ENCODING=QUOTED-PR\xAC=C1=D9\r\nEND:VCARD\r\n";
    QCOMPARE(importBytes(card21).written, 1);
    const QStringList first = QDir(m_data).entryList(QDir::Files);
    QCOMPARE(first.size(), 1);
    for (const auto format :
         {ContactExport::Format::VCardFile, ContactExport::Format::VCardFolder}) {
        const QString out =
            m_tmp->filePath(format == ContactExport::Format::VCardFile ? u"out.vcf"_s : u"out"_s);
        QVERIFY(!ContactExport::Export({m_data, m_data, out, format, false}).failed());
        const QString back = m_tmp->filePath(u"back"_s);
        QDir(back).removeRecursively();
        QDir().mkpath(back);
        QStringList files{out};
        if (format == ContactExport::Format::VCardFolder) {
            files.clear();
            for (const QString &file : QDir(out).entryList(QDir::Files))
                files << QDir(out).filePath(file);
        }
        QCOMPARE(ContactImport::Import(files, back).written, 1);
        QCOMPARE(QDir(back).entryList(QDir::Files), first);
    }
}

void TestContacts::csv_data()
{
    QTest::addColumn<bool>("cp949");
    QTest::newRow("UTF-8") << false;
    QTest::newRow("code page 949") << true;
}

void TestContacts::csv()
{
    QFETCH(bool, cp949);
    const QDir data(m_data);
    data.mkpath(QStringLiteral("거래처"));
    TestFiles::write(data.filePath("거래처/박\"씨.txt"),
                     QStringLiteral("[data]\r\nHand=010-3\r\nHPh2=777\r\n[Memo]\r\nmany=2\r\n"
                                    "1=첫 줄, 쉼표\r\n2=둘째 😀\r\n")
                         .toUtf8());
    // What a spreadsheet would run or turn into a number.
    TestFiles::write(data.filePath("=계산.txt"),
                     "[data]\r\nONme=@SUM(A1)\r\nOCls=-과장\r\nODDD=02\r\nOZip=06234\r\n"
                     "BCT1=1234567890123456\r\nMUrl=+cmd|' /C calc'!A0\r\n");
    const QString out = m_tmp->filePath(QStringLiteral("out.csv"));
    const ContactReport report =
        ContactExport::Export({m_data, m_data, out, ContactExport::Format::Csv, cp949});
    QCOMPARE(report.written, 2);
    QByteArray bytes = TestFiles::read(out);
    QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), !cp949);
    const QString text = cp949 ? TextCodec::decode(bytes, TextCodec::Encoding::Cp949)
                               : QString::fromUtf8(bytes.mid(3));
    QStringList rows = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 3);
    // Formulas behind a "'", digits a spreadsheet would shorten inside ="…".
    QVERIFY2(rows[1].startsWith(u"'=계산,,"_s), qPrintable(rows[1]));
    for (const QString &cell :
         {u",'@SUM(A1),"_s, u",'-과장,"_s, u",'+cmd|' /C calc'!A0,"_s, u",\"=\"\"02\"\"\","_s,
          u",\"=\"\"06234\"\"\","_s, u",\"=\"\"1234567890123456\"\"\","_s})
        QVERIFY2(rows[1].contains(cell), qPrintable(cell));
    rows.removeAt(1);
    QVERIFY(rows[0].startsWith(u"이름,폴더,핸드폰,URL,E-Mail,은행이름1,예금주1,계좌1"_s));
    QVERIFY(rows[0].contains(u",회사 이름,회사 DDD,회사 전화,회사 전화2,회사 팩스,"_s));
    QVERIFY(rows[0].endsWith(u",집 우편번호,집 DDD,집 전화1,집 전화2,집 주소"_s));
    QVERIFY(rows[1].startsWith(u"\"박\"\"씨\",거래처,010-3,"_s));
    const QString memo = cp949 ? u"\"첫 줄, 쉼표\n둘째 ?\""_s : u"\"첫 줄, 쉼표\n둘째 😀\""_s;
    QVERIFY2(rows[1].contains(memo), qPrintable(rows[1]));
    QVERIFY(rows[1].endsWith(u",,,777,"_s));
    QCOMPARE(report.warnings.size(), cp949 ? 1 : 0);
}

void TestContacts::commandLine_data()
{
    QTest::addColumn<QStringList>("args"); // %d the data directory, %t the temporary folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QString>("created"); // a file that must exist afterwards

    QTest::newRow("help") << QStringList{"--help"} << 0 << "--encoding utf-8|cp949"
                          << "";
    QTest::newRow("import into a new folder")
        << QStringList{"--import", "%t/a.vcf", "--into", "가족/형제", "--data", "%d"} << 0
        << "자료 2개를 만들었습니다"
        << "%d/가족/형제/김철수.txt";
    QTest::newRow("missing file") << QStringList{"--import", "%t/none.vcf", "--data", "%d"} << 1
                                  << "파일이 없습니다"
                                  << "";
    QTest::newRow("failed import into a new folder")
        << QStringList{"--import", "%t/none.vcf", "--into", "새 폴더/아래", "--data", "%d"} << 1
        << "파일이 없습니다"
        << "";
    QTest::newRow("into leaves the data directory")
        << QStringList{"--import", "%t/a.vcf", "--into", "../x", "--data", "%d"} << 2 << "상대 경로"
        << "";
    QTest::newRow("csv in code page 949")
        << QStringList{"--export", "%t/out.csv", "--encoding", "cp949", "--data", "%d"} << 0
        << "연락처 1개를 내보냈습니다"
        << "%t/out.csv";
    QTest::newRow("vCard folder") << QStringList{"--export",     "%t/sync", "--format",
                                                 "vcard-folder", "--data",  "%d"}
                                  << 0 << "연락처 1개를"
                                  << "%t/sync";
    QTest::newRow("unknown format")
        << QStringList{"--export", "%t/x", "--format", "xml", "--data", "%d"} << 2 << "xml"
        << "";
    QTest::newRow("from a missing folder")
        << QStringList{"--export", "%t/x.vcf", "--from", "없음", "--data", "%d"} << 1
        << "폴더가 없습니다"
        << "";
}

void TestContacts::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    QFETCH(QString, created);
    TestFiles::write(m_tmp->filePath("a.vcf"), card("FN:김철수\r\n") + card("FN:이영희\r\n"));
    TestFiles::write(QDir(m_data).filePath("기존.txt"), "[data]\r\nHand=1\r\n");
    const auto fill = [this](QString s) {
        return s.replace(QStringLiteral("%d"), m_data).replace(QStringLiteral("%t"), m_tmp->path());
    };
    for (QString &a : args)
        a = fill(a);
    QProcess p;
    p.start(QStringLiteral(VANDREL_PROGRAM), args);
    QVERIFY(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    QCOMPARE(p.exitCode(), exitCode);
    QVERIFY2(out.contains(printed), qPrintable(out));
    if (!created.isEmpty())
        QVERIFY2(QFileInfo::exists(fill(created)), qPrintable(out));
    // A failed import leaves no folder of its own behind.
    if (exitCode != 0)
        QCOMPARE(QDir(m_data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{u"기존.txt"_s});
}

void TestContacts::commandLineUsesTheConfiguredDirectoryWithoutAWindow()
{
    // A copy of the program with its settings beside it, no display, and the instance lock held
    // by a "running window": the command line neither waits for it nor hands over to it.
    const QString bin = m_tmp->filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    QVERIFY(QFile::copy(QStringLiteral(VANDREL_PROGRAM), bin + "/vandrel"));
    TestFiles::write(bin + "/Vandrel.ini", "[PROGRAM]\r\nDirData=" + m_data.toUtf8() + "\r\n");
    TestFiles::write(m_tmp->filePath("a.vcf"), card("FN:김철수\r\n"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    InstanceLock running(QStringLiteral("Vandrel"));
    QVERIFY(running.acquire());
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(bin + "/vandrel", {"--import", m_tmp->filePath("a.vcf")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(QFileInfo::exists(QDir(m_data).filePath(QStringLiteral("김철수.txt"))));
}

QTEST_GUILESS_MAIN(TestContacts)
#include "tst_contacts.moc"
