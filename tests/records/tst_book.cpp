#include "app/ProjectInc.h"
#include "platform/Application.h"
#include "records/RecordFile.h"
#include "records/book.h"
#include "support/FakeDesktop.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using TestFiles::cp949;

class TestBook : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void layout();
    void showsEveryField();
    void folderRecord_data();
    void folderRecord();
    void textBoxes_data();
    void textBoxes();
    void damagedFilesShowWhatTheyCan_data();
    void damagedFilesShowWhatTheyCan();
    void clicks_data();
    void clicks();
    void valuesAreNotCovered();
    void cursors_data();
    void cursors();

private:
    QString write(const QString &name, const QByteArray &bytes);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
};

void TestBook::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir(m_dir->path()).mkdir(QStringLiteral("bin"));
    m_info = std::make_unique<TzuPrjInfo>(m_dir->filePath(QStringLiteral("bin")));
    zuPrjInfo = m_info.get();
}

void TestBook::cleanup()
{
    zuPrjInfo = nullptr;
    m_info.reset();
}

QString TestBook::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    TestFiles::write(path, bytes);
    return QDir::toNativeSeparators(path);
}

void TestBook::layout()
{
    TfrmBook book;
    book.resize(476, 640);
    book.show();
    QVERIFY(QTest::qWaitForWindowExposed(&book));
    for (const RecordField &f : RecordFields) {
        QWidget *w = book.findChild<QWidget *>(f.Name());
        QVERIFY2(w, qPrintable(f.Name()));
        QCOMPARE(w->property("tag").toInt(), 0);
        QCOMPARE(bool(qobject_cast<QPlainTextEdit *>(w)), f.multiLine);
        // Everything fits inside the pane.
        QVERIFY2(w->geometry().right() < 476, qPrintable(f.Name()));
        QVERIFY2(w->geometry().bottom() < 640, qPrintable(f.Name()));
    }
    const QMap<QString, int> widths = {{"Hand", 106}, {"MUrl", 230}, {"EMail", 225}, {"BNK1", 78},
                                       {"BNK3", 81},  {"BNM2", 100}, {"BCT1", 177},  {"BCT4", 197},
                                       {"ONme", 73},  {"OFax", 108}, {"OUrl", 296},  {"HZip", 51},
                                       {"HDDD", 56},  {"HPh2", 99}};
    for (auto it = widths.begin(); it != widths.end(); ++it)
        QCOMPARE(book.ValueLabel(it.key())->width(), it.value());
    QCOMPARE(book.labName->width(), 345);
    QCOMPARE(book.labName->property("tag").toInt(), 99);
    QVERIFY(book.labName->font().bold());
    QCOMPARE(book.Memo->width(), 388);
    QVERIFY(book.Memo->isReadOnly());
    QCOMPARE(book.pntBlack->width(), 4);
    QCOMPARE(book.pntBlack->height(), 640);
    QCOMPARE(book.zuGradiButton1->text(), QStringLiteral("수정"));

    QStringList captions;
    for (QLabel *label : book.findChildren<QLabel *>())
        if (label->property("tag").toInt() == 99 && label != book.labName)
            captions << label->text();
    for (const char *text : {"핸드폰:", "URL:", "E-Mail:", "은행계좌:", "메모:", "회사",
                             "이름:", "DDD:", "팩스:", "부서:", "전화:", "직통전화:", "직위:",
                             "내선번호:", "우편번호:", "주소:", "집", "전화1:", "2:"})
        QVERIFY2(captions.contains(QString::fromUtf8(text)), text);
}

void TestBook::showsEveryField()
{
    QByteArray data = "[data]\r\n";
    for (const RecordField &f : RecordFields)
        if (!f.multiLine)
            data += f.Name().toLatin1() + "=" + cp949(QStringLiteral("값 ") + f.Name()) + "\r\n";
    data += "[Memo]\r\nmany=2\r\n1=" + cp949(QStringLiteral("첫째")) + "\r\n2=second\r\n";
    const QString path = write("Friends/Kim Chul Su.txt", data);

    TfrmBook book;
    book.ShowRecord(path);
    QCOMPARE(book.labName->text(), QStringLiteral("Kim Chul Su"));
    for (const RecordField &f : RecordFields)
        if (!f.multiLine)
            QCOMPARE(book.ValueLabel(f.Name())->text(), QStringLiteral("값 ") + f.Name());
    QCOMPARE(book.Memo->toPlainText(), QStringLiteral("첫째\nsecond"));
    QCOMPARE(book.OAdd->toPlainText(), QString());

    // Showing a record with fewer fields leaves nothing of the first behind.
    const QString other = write("Lee.txt", "[data]\r\nHand=010\r\n");
    book.ShowRecord(other);
    QCOMPARE(book.labName->text(), QStringLiteral("Lee"));
    QCOMPARE(book.ValueLabel("Hand")->text(), QStringLiteral("010"));
    QCOMPARE(book.ValueLabel("ONme")->text(), QString());
    QCOMPARE(book.Memo->toPlainText(), QString());

    // Markup in a value is shown as text.
    const QString markup = write("Markup.txt", "[data]\r\nONme=<b>bold</b>\r\n");
    book.ShowRecord(markup);
    QCOMPARE(book.ValueLabel("ONme")->text(), QStringLiteral("<b>bold</b>"));
    QCOMPARE(book.ValueLabel("ONme")->textFormat(), Qt::PlainText);
}

void TestBook::folderRecord_data()
{
    QTest::addColumn<bool>("hasRecord");
    QTest::addColumn<QString>("title");
    QTest::newRow("with __g_t.zu") << true << QStringLiteral("한빛상사");
    QTest::newRow("without __g_t.zu") << false << QString();
}

void TestBook::folderRecord()
{
    QFETCH(bool, hasRecord);
    QFETCH(QString, title);
    const QString folder = m_dir->filePath(QStringLiteral("한빛상사"));
    QDir().mkpath(folder);
    if (hasRecord)
        TestFiles::write(folder + "/__g_t.zu", "[data]\r\nODDD=02\r\n");
    TfrmBook book;
    book.ShowRecord(write("Kim.txt", "[data]\r\nHand=1\r\n[Memo]\r\nmany=1\r\n1=x\r\n"));
    book.ShowRecord(QDir::toNativeSeparators(folder + "/__g_t.zu"));
    QCOMPARE(book.labName->text(), title);
    QCOMPARE(book.ValueLabel("Hand")->text(), QString());
    QCOMPARE(book.ValueLabel("ODDD")->text(), hasRecord ? QStringLiteral("02") : QString());
    QCOMPARE(book.Memo->toPlainText(), QString());
}

void TestBook::textBoxes_data()
{
    QTest::addColumn<QByteArray>("memo");
    QTest::addColumn<QString>("shown");
    QTest::newRow("hex count") << QByteArray("many=0x3\r\n1=a\r\n2=b\r\n3=c\r\n") << "a\nb\nc";
    QTest::newRow("word count") << QByteArray("many=abc\r\n1=a\r\n") << "";
    QTest::newRow("empty section") << QByteArray("") << "";
    QTest::newRow("huge count") << QByteArray("many=2000000000\r\n1=a\r\n3=c\r\n") << "a\n\nc";
}

void TestBook::textBoxes()
{
    QFETCH(QByteArray, memo);
    QFETCH(QString, shown);
    QByteArray lines;
    for (int i = 1; i <= 40; ++i)
        lines += QByteArray::number(i) + "=line " + QByteArray::number(i) + "\r\n";
    const QString path = write("Kim.txt", "[Memo]\r\n" + memo + "[OAdd]\r\nmany=40\r\n" + lines);
    TfrmBook book;
    book.resize(476, 640);
    book.show();
    book.ShowRecord(path);
    QCOMPARE(book.Memo->toPlainText(), shown);
    // A long text shows from its first line.
    QCOMPARE(book.OAdd->document()->blockCount(), 40);
    QCOMPARE(book.OAdd->textCursor().position(), 0);
    QVERIFY(!book.OAdd->textCursor().hasSelection());
    QCOMPARE(book.OAdd->verticalScrollBar()->value(), 0);
}

void TestBook::damagedFilesShowWhatTheyCan_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("hand");
    QByteArray binary;
    for (int i = 0; i < 70000; ++i)
        binary.append(char((i * 131) % 251));
    QTest::newRow("binary") << binary << QString();
    QTest::newRow("binary then data") << binary + "\r\n[data]\r\nHand=010\r\n"
                                      << "010";
    QTest::newRow("megabyte line")
        << QByteArray("[data]\r\nHand=") + QByteArray(1 << 20, '7') << QString(2047, u'7');
    QTest::newRow("no sections") << QByteArray("Hand=010\r\n") << QString();
    QTest::newRow("duplicate keys") << QByteArray("[data]\r\nHand=1\r\nHand=2\r\n") << "1";
    QTest::newRow("long korean") << QByteArray("[data]\r\nHand=") + cp949(QString(1500, u'한'))
                                 << QString(1023, u'한');
}

void TestBook::damagedFilesShowWhatTheyCan()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, hand);
    TfrmBook book;
    book.ShowRecord(write("Odd.txt", bytes));
    QCOMPARE(book.labName->text(), QStringLiteral("Odd"));
    QCOMPARE(book.ValueLabel("Hand")->text(), hand);
}

void TestBook::clicks_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("ctrl");
    QTest::addColumn<bool>("sibling");
    QTest::addColumn<QString>("copied");  // "<none>": clipboard untouched
    QTest::addColumn<QString>("started"); // arguments joined by "|", or empty
    QTest::addColumn<QString>("opened");

    const QByteArray office = "[data]\r\nHand=010-1234-5678\r\nODDD=02\r\nOPh1=555-0100\r\n"
                              "OPh2=555-0101\r\nOFax=555-0199\r\nHDDD=031\r\nHPh1=700-1234\r\n"
                              "EMail=kim@example.kr\r\nONme=Hanbit\r\nBCT1=123-45\r\n"
                              "MUrl=www.example.kr\r\nBNK1=KB\r\nODir=555-0110\r\n";
    QTest::newRow("hand copies") << "Hand" << office << false << true << "010-1234-5678"
                                 << ""
                                 << "";
    QTest::newRow("company number") << "OPh1" << office << false << true << "02-555-0100"
                                    << ""
                                    << "";
    QTest::newRow("no area code") << "OPh1" << QByteArray("[data]\r\nOPh1=555-0100\r\n") << false
                                  << true << "-555-0100"
                                  << ""
                                  << "";
    QTest::newRow("no number") << "OPh1" << QByteArray("[data]\r\nODDD=02\r\n") << false << true
                               << "02-"
                               << ""
                               << "";
    QTest::newRow("second company number") << "OPh2" << office << false << true << "02-555-0101"
                                           << ""
                                           << "";
    QTest::newRow("fax") << "OFax" << office << false << true << "02-555-0199"
                         << ""
                         << "";
    QTest::newRow("home number") << "HPh1" << office << false << true << "031-700-1234"
                                 << ""
                                 << "";
    QTest::newRow("empty home number") << "HPh2" << office << false << true << "031-"
                                       << ""
                                       << "";
    QTest::newRow("e-mail") << "EMail" << office << false << true << "kim@example.kr"
                            << ""
                            << "";
    QTest::newRow("account") << "BCT1" << office << false << true << "123-45"
                             << ""
                             << "";
    QTest::newRow("empty account") << "BCT2" << office << false << true << ""
                                   << ""
                                   << "";
    QTest::newRow("area code") << "ODDD" << office << false << true << "02"
                               << ""
                               << "";
    QTest::newRow("hand over mobile") << "Hand" << office << true << true << "<none>"
                                      << "Kim_Chul_Su|010-1234-5678"
                                      << "";
    QTest::newRow("hand over company") << "OPh1" << office << true << true << "<none>"
                                       << "Kim_Chul_Su|02-555-0100"
                                       << "";
    QTest::newRow("hand over home") << "HPh1" << office << true << true << "<none>"
                                    << "Kim_Chul_Su|031-700-1234"
                                    << "";
    QTest::newRow("ctrl e-mail still copies")
        << "EMail" << office << true << true << "kim@example.kr"
        << ""
        << "";
    QTest::newRow("ctrl name still copies") << "ONme" << office << true << true << "Hanbit"
                                            << ""
                                            << "";
    QTest::newRow("ctrl area code still copies") << "HDDD" << office << true << true << "031"
                                                 << ""
                                                 << "";
    QTest::newRow("ctrl without sibling copies")
        << "Hand" << office << true << false << "010-1234-5678"
        << ""
        << "";
    QTest::newRow("web address") << "MUrl" << office << false << true << "<none>"
                                 << ""
                                 << "http://www.example.kr";
    QTest::newRow("empty web address") << "OUrl" << office << false << true << "<none>"
                                       << ""
                                       << "";
    QTest::newRow("bank name does nothing") << "BNK1" << office << false << true << "<none>"
                                            << ""
                                            << "";
    QTest::newRow("direct line does nothing") << "ODir" << office << false << true << "<none>"
                                              << ""
                                              << "";
}

void TestBook::clicks()
{
    QFETCH(QString, label);
    QFETCH(QByteArray, record);
    QFETCH(bool, ctrl);
    QFETCH(bool, sibling);
    QFETCH(QString, copied);
    QFETCH(QString, started);
    QFETCH(QString, opened);
    FakeDesktop desktop;
    desktop.clipboard = QStringLiteral("<none>");
    desktop.modifiers = ctrl ? Qt::ControlModifier : Qt::NoModifier;

    TfrmBook book;
    book.ProgramDir = m_info->ExeDir;
    if (sibling)
        TestFiles::write(book.SiblingProgramPath(), "#!/bin/sh\n");
    book.resize(476, 640);
    book.show();
    book.ShowRecord(write("Kim Chul Su.txt", record));
    QLabel *target = book.ValueLabel(label);
    QVERIFY(target);
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(desktop.clipboard, copied);
    QStringList startedArgs;
    for (const FakeDesktop::Started &s : desktop.started) {
        QCOMPARE(s.program, book.SiblingProgramPath());
        startedArgs << s.arguments.join(u'|');
    }
    QCOMPARE(startedArgs, started.isEmpty() ? QStringList() : QStringList{started});
    QCOMPARE(desktop.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
}

void TestBook::valuesAreNotCovered()
{
    // A click anywhere on a value reaches its label, not a caption lying over it.
    TfrmBook book;
    book.resize(476, 640);
    book.show();
    for (const RecordField &field : RecordFields) {
        if (field.multiLine)
            continue;
        const QLabel *label = book.ValueLabel(field.Name());
        QVERIFY(label);
        const QRect r = label->geometry();
        for (const QPoint &p : {r.topLeft(), r.center(), r.topRight(), r.bottomRight()})
            QVERIFY2(book.childAt(p) == label,
                     qPrintable(field.Name()
                                + QStringLiteral(" is covered at %1,%2").arg(p.x()).arg(p.y())));
    }
}

void TestBook::cursors_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("hand");
    for (const char *name : {"Hand", "EMail", "ONme", "ODDD", "OPh1", "OPh2", "OFax", "HDDD",
                             "HPh1", "HPh2", "MUrl", "OUrl", "BCT1", "BCT4"})
        QTest::newRow(name) << name << true;
    for (const char *name : {"BNK1", "BNM1", "ODir", "OInt", "OPst", "OCls", "OZip", "HZip"})
        QTest::newRow(name) << name << false;
}

void TestBook::cursors()
{
    QFETCH(QString, label);
    QFETCH(bool, hand);
    TfrmBook book;
    QCOMPARE(book.ValueLabel(label)->cursor().shape() == Qt::PointingHandCursor, hand);
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TestBook test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_book.moc"
