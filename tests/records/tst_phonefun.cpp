#include "records/PhoneFun.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestPhoneFun : public QObject
{
    Q_OBJECT
private slots:
    void isValidName_data();
    void isValidName();
    void trimName_data();
    void trimName();
    void fileBaseName_data();
    void fileBaseName();
    void displayName_data();
    void displayName();
    void proposeRecordName_data();
    void proposeRecordName();
    void nameMessages_data();
    void nameMessages();
};

void TestPhoneFun::isValidName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "Kim Chul Su" << true;
    QTest::newRow("korean") << "홍길동" << true;
    QTest::newRow("double quote") << "The \"Boss\"" << true;
    QTest::newRow("leading __") << "__hidden" << true;
    QTest::newRow("dots") << "..a.." << true;
    QTest::newRow("empty") << "" << true;
    const QString forbidden = QStringLiteral("\\/:*?<>|");
    for (QChar c : forbidden)
        QTest::newRow(qPrintable(QStringLiteral("with %1").arg(c)))
            << (QStringLiteral("a") + c + QStringLiteral("b")) << false;
}

void TestPhoneFun::isValidName()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(IsValidName(name), valid);
}

void TestPhoneFun::trimName_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks") << "  Kim  "
                            << "Kim";
    QTest::newRow("controls") << "\t\r\nKim\x01\x1f"
                              << "Kim";
    QTest::newRow("inner kept") << " Kim  Lee "
                                << "Kim  Lee";
    QTest::newRow("only blanks") << " \t "
                                 << "";
    // Ideographic space is above 32 and stays.
    QTest::newRow("ideographic space")
        << QStringLiteral("\u3000김\u3000") << QStringLiteral("\u3000김\u3000");
}

void TestPhoneFun::trimName()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TrimName(text), expected);
}

void TestPhoneFun::fileBaseName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("record") << "/data/Friends/Kim.txt"
                            << "Kim";
    QTest::newRow("two dots") << "/data/a.b.txt"
                              << "a.b";
    QTest::newRow("no dot") << "/data/README"
                            << "README";
    QTest::newRow("folder record") << "/data/Co/__g_t.zu"
                                   << "__g_t";
    QTest::newRow("no folder") << "Kim.txt"
                               << "Kim";
}

void TestPhoneFun::fileBaseName()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(FileBaseName(QDir::toNativeSeparators(path)), expected);
}

void TestPhoneFun::displayName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("record") << "/data/Friends/Kim Chul Su.txt"
                            << "Kim Chul Su";
    QTest::newRow("folder record") << "/data/한빛상사/__g_t.zu"
                                   << "한빛상사";
    // Only the exact spelling is the folder record; any other name loses four characters.
    QTest::newRow("case differs") << "/data/Co/__G_T.zu"
                                  << "__G_";
    QTest::newRow("record with dots") << "/data/Dr. Lee.txt"
                                      << "Dr. Lee";
}

void TestPhoneFun::displayName()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(RecordDisplayName(QDir::toNativeSeparators(path)), expected);
}

void TestPhoneFun::proposeRecordName_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("dirs");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QStringList() << QStringList() << "Friends_01";
    QTest::newRow("01 and 02") << QStringList{"Friends_01.txt", "Friends_02.txt"} << QStringList()
                               << "Friends_03";
    QTest::newRow("only 02") << QStringList{"Friends_02.txt"} << QStringList() << "Friends_01";
    QTest::newRow("directory does not count")
        << QStringList() << QStringList{"Friends_01.txt"} << "Friends_01";
    QTest::newRow("other case taken")
        << QStringList{"FRIENDS_01.TXT"} << QStringList() << "Friends_02";
    QStringList many;
    for (int i = 1; i <= 99; ++i)
        many << QStringLiteral("Friends_%1.txt").arg(i, 2, 10, QLatin1Char('0'));
    QTest::newRow("three digits after 99") << many << QStringList() << "Friends_100";
}

void TestPhoneFun::proposeRecordName()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, dirs);
    QFETCH(QString, expected);
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Friends"));
    QVERIFY(QDir().mkdir(folder));
    for (const QString &f : files)
        TestFiles::write(folder + u'/' + f, "[data]\r\n");
    for (const QString &d : dirs)
        QVERIFY(QDir().mkdir(folder + u'/' + d));
    QCOMPARE(ProposeRecordName(QDir::toNativeSeparators(folder) + QDir::separator()), expected);
    QCOMPARE(ProposeRecordName(QDir::toNativeSeparators(folder)), expected);
    QCOMPARE(ProposeRecordName(QDir::separator()), QStringLiteral("New_01"));
}

void TestPhoneFun::nameMessages_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1
                       << QStringLiteral(
                              "파일 이름에는 아래의 문자를 사용하시면 안됩니다.:\n\\/:*?<>|");
    QTest::newRow("2") << 2 << QStringLiteral("이름을 입력하여 주십시오.");
    QTest::newRow("3") << 3 << QStringLiteral("같은 이름의 자료가 이미 있습니다.");
}

void TestPhoneFun::nameMessages()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    ScriptedDialogs dialogs;
    ShowNameMessage(kind);
    QCOMPARE(dialogs.messageCount(), 1);
    const DialogService::Message &m = dialogs.asked.first().message;
    QCOMPARE(m.text, text);
    QCOMPARE(m.caption, QStringLiteral("Error"));
    QCOMPARE(m.icon, DialogService::Icon::Error);
    QCOMPARE(m.buttons, int(DialogService::Ok));
    // The forbidden characters stand on a line of their own.
    if (kind == 1)
        QCOMPARE(m.text.split(u'\n').last(), QStringLiteral("\\/:*?<>|"));
}

QTEST_GUILESS_MAIN(TestPhoneFun)
#include "tst_phonefun.moc"
