#include "navigator/zuTree.h"
#include "platform/Application.h"
#include "records/ModifyData.h"
#include "records/NewData.h"
#include "records/PhoneFun.h"
#include "records/UserFileName.h"
#include "records/_inputData.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using TestFiles::cp949;

namespace {

// A new record's file: what was typed, then the identity every new record gets.
bool isNewRecordFile(const QByteArray &bytes, const QByteArray &fields)
{
    static const QRegularExpression identity(QStringLiteral(
        "^\\[Vandrel\\]\r\nUID=urn:uuid:[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\r\n$"));
    return bytes.startsWith(fields)
           && identity.match(QString::fromLatin1(bytes.mid(fields.size()))).hasMatch();
}

} // namespace

class TestRecordDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void formLayout();
    void escapeCancelsFromAnyBox();
    void newEntry_data();
    void newEntry();
    void proposal();
    void newEntryNeverStoresItsName();
    void failedWriteKeepsDialogOpen();
    void nameDialog_data();
    void nameDialog();
    void editLoadsAndSaves();
    void editUnchangedRewritesNothing_data();
    void editUnchangedRewritesNothing();
    void editFolderWithoutRecordCreatesIt();
    void textBoxLines_data();
    void textBoxLines();

private:
    QString dir(const QString &rel = {}) const
    {
        return QDir::toNativeSeparators(m_root->path() + (rel.isEmpty() ? QString() : u'/' + rel));
    }
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<TzuTree> m_tree;
};

void TestRecordDialogs::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QDir().mkpath(m_root->filePath("Friends"));
    m_tree = std::make_unique<TzuTree>();
    m_tree->ShowRecord = [](const QString &) {};
    m_tree->LoadRoot(dir());
    RecordTree = m_tree.get();
}

void TestRecordDialogs::cleanup()
{
    RecordTree = nullptr;
    m_tree.reset();
}

void TestRecordDialogs::formLayout()
{
    TfrmNewData dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("새 자료 입력"));
    QCOMPARE(dialog.btnConfirm->text(), QStringLiteral("저장 &V"));
    QCOMPARE(dialog.btnCancel->text(), QStringLiteral("취소 &C"));
    QVERIFY(dialog.btnConfirm->isDefault());
    QCOMPARE(dialog.edtName->property("tag").toInt(), 99);
    QCOMPARE(dialog.chkIsRoot->text(), QStringLiteral("루트에 생성"));
    const QMap<QString, int> widths = {{"Hand", 127}, {"MUrl", 235}, {"EMail", 311}, {"BNK1", 99},
                                       {"BNM4", 124}, {"BCT2", 190}, {"ONme", 217},  {"ODDD", 45},
                                       {"OInt", 55},  {"OUrl", 303}, {"HZip", 50},   {"HPh1", 109}};
    for (auto it = widths.begin(); it != widths.end(); ++it) {
        QCOMPARE(dialog.Box(it.key())->width(), it.value());
        QCOMPARE(dialog.Box(it.key())->height(), 20);
        QCOMPARE(dialog.Box(it.key())->property("tag").toInt(), 0);
    }
    QCOMPARE(dialog.TextBox("Memo")->width(), 418);
    QCOMPARE(dialog.Box("BNK1")->palette().color(QPalette::Base), QColor(255, 237, 230));
    QCOMPARE(dialog.Box("OFax")->palette().color(QPalette::Base), QColor(237, 254, 254));
    QCOMPARE(dialog.Box("OZip")->palette().color(QPalette::Base), QColor(234, 253, 236));

    // Each caption's accelerator leads to its box.
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        if (label->text() == u"DDD &3")
            QCOMPARE(label->buddy(), dialog.Box("ODDD"));
        if (label->text() == u"메모 &M")
            QCOMPARE(label->buddy(), static_cast<QWidget *>(dialog.TextBox("Memo")));
        if (label->text() == u"이름 &N")
            QCOMPARE(label->buddy(), static_cast<QWidget *>(dialog.edtName));
    }

    // Tab order: the name, the fields in order, save, cancel, the check box.
    QStringList order;
    QWidget *w = dialog.edtName;
    for (int i = 0; i < 38; ++i) {
        order << w->objectName();
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
    }
    QCOMPARE(order.mid(0, 5), QStringList({"edtName", "Hand", "MUrl", "EMail", "BNK1"}));
    QCOMPARE(order.mid(10, 4), QStringList({"Memo", "ONme", "ODDD", "OPh1"}));
    QCOMPARE(order.mid(33, 4), QStringList({"HAdd", "btnConfirm", "btnCancel", "chkIsRoot"}));

    TfrmModifyData edit;
    QCOMPARE(edit.windowTitle(), QStringLiteral("자료 수정"));
    QCOMPARE(edit.ClientSize(), QSize(491, 742));
}

void TestRecordDialogs::escapeCancelsFromAnyBox()
{
    for (const char *box : {"Hand", "Memo", "edtName"}) {
        TfrmNewData dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QWidget *w = dialog.findChild<QWidget *>(box);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY2(!dialog.isVisible(), box);
    }
}

void TestRecordDialogs::newEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("atRoot");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<int>("message");     // 0: none
    QTest::addColumn<QString>("created"); // relative; empty: nothing
    QTest::newRow("trimmed record")
        << "  Kim \t" << false << false << QStringList() << 0 << "Friends/Kim.txt";
    QTest::newRow("blanks only") << "   " << false << false << QStringList() << 2 << "";
    QTest::newRow("colon") << "a:b" << false << false << QStringList() << 1 << "";
    QTest::newRow("colon, folder") << "a:b" << true << false << QStringList() << 1 << "";
    QTest::newRow("record exists")
        << "Kim" << false << false << QStringList{"Friends/Kim.txt"} << 3 << "";
    QTest::newRow("record exists in other case")
        << "kim" << false << false << QStringList{"Friends/KIM.TXT"} << 3 << "";
    QTest::newRow("folder beside record")
        << "Kim" << true << false << QStringList{"Friends/Kim.txt"} << 0 << "Friends/Kim/";
    QTest::newRow("folder exists")
        << "Kim" << true << false << QStringList{"Friends/Kim/"} << 3 << "";
    QTest::newRow("record beside folder")
        << "Kim" << false << false << QStringList{"Friends/Kim/"} << 0 << "Friends/Kim.txt";
    // The same name on disk, whatever its kind, is in the way.
    QTest::newRow("folder onto a file of its name")
        << "Kim" << true << false << QStringList{"Friends/Kim"} << 3 << "";
    QTest::newRow("record onto a folder of its file name")
        << "Kim" << false << false << QStringList{"Friends/Kim.txt/"} << 3 << "";
    QTest::newRow("at root") << "Lee" << false << true << QStringList() << 0 << "Lee.txt";
    QTest::newRow("folder at root") << "Co" << true << true << QStringList() << 0 << "Co/";
    QTest::newRow("quote and leading __")
        << "__\"Boss\"" << false << false << QStringList() << 0 << "Friends/__\"Boss\".txt";
}

void TestRecordDialogs::newEntry()
{
    QFETCH(QString, typed);
    QFETCH(bool, folder);
    QFETCH(bool, atRoot);
    QFETCH(QStringList, existing);
    QFETCH(int, message);
    QFETCH(QString, created);
    for (const QString &e : existing) {
        if (e.endsWith(u'/'))
            QDir().mkpath(m_root->filePath(e));
        else
            TestFiles::write(m_root->filePath(e), "[data]\r\n");
    }
    const QStringList before =
        QDir(m_root->filePath("Friends")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    ScriptedDialogs dialogs;
    TfrmNewData dialog;
    dialog.RootFolder = dir() + QDir::separator();
    dialog.FolderPath = dir("Friends") + QDir::separator();
    dialog.FolderMode = folder;
    dialog.show();
    dialog.Box("Hand")->setFocus();
    dialog.edtName->setText(typed);
    dialog.Box("Hand")->setText("010-1234");
    dialog.chkIsRoot->setChecked(atRoot);
    dialog.btnConfirm->click();
    QCOMPARE(dialogs.messageCount(), message ? 1 : 0);
    QCOMPARE(dialog.result(), message ? int(QDialog::Rejected) : int(QDialog::Accepted));
    if (message) {
        QCOMPARE(dialogs.lastText(), NameMessageText(message));
        QCOMPARE(dialogs.asked.first().message.caption, QStringLiteral("Error"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.edtName->text(), typed);
        QCOMPARE(dialog.edtName->hasSelectedText(), message == 1);
        if (message != 3)
            QCOMPARE(dialog.focusWidget(), static_cast<QWidget *>(dialog.edtName));
        QCOMPARE(
            QDir(m_root->filePath("Friends")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
            before);
        return;
    }
    QCOMPARE(dialog.EnteredName(), TrimName(typed));
    if (created.endsWith(u'/')) {
        QVERIFY(QFileInfo(m_root->filePath(created)).isDir());
        QVERIFY(isNewRecordFile(TestFiles::read(m_root->filePath(created + "__g_t.zu")),
                                "[data]\r\nHand=010-1234\r\n"));
    } else {
        QVERIFY(isNewRecordFile(TestFiles::read(m_root->filePath(created)),
                                "[data]\r\nHand=010-1234\r\n"));
    }
}

void TestRecordDialogs::proposal()
{
    TestFiles::write(m_root->filePath("Friends/Friends_01.txt"), "");
    TfrmNewData dialog;
    dialog.PrepareNewRecord(dir("Friends") + QDir::separator());
    QCOMPARE(dialog.edtName->text(), QStringLiteral("Friends_02"));
    // Ticking the root box afterwards does not change the proposal.
    dialog.chkIsRoot->setChecked(true);
    QCOMPARE(dialog.edtName->text(), QStringLiteral("Friends_02"));
}

void TestRecordDialogs::newEntryNeverStoresItsName()
{
    ScriptedDialogs dialogs;
    TfrmNewData dialog;
    dialog.PrepareNewRecord(dir("Friends") + QDir::separator());
    dialog.btnConfirm->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    // Nothing typed but the name: the record exists, and holds nothing but its identity.
    const QString file = m_root->filePath("Friends/Friends_01.txt");
    QVERIFY(QFileInfo(file).isFile());
    QVERIFY(isNewRecordFile(TestFiles::read(file), {}));
    QVERIFY(!TestFiles::read(file).contains("Friends_01"));
}

void TestRecordDialogs::failedWriteKeepsDialogOpen()
{
    ScriptedDialogs dialogs;
    TfrmNewData dialog;
    // The folder has gone since the dialog was opened.
    dialog.FolderPath = dir("Gone") + QDir::separator();
    dialog.edtName->setText("Kim");
    dialog.Box("Hand")->setText("1");
    dialog.show();
    dialog.btnConfirm->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(dialogs.lastText().startsWith(QStringLiteral("Unable to write to ")));
}

void TestRecordDialogs::nameDialog_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("check");
    QTest::addColumn<int>("message");
    QTest::newRow("fine") << " Lee " << false << true << 0;
    QTest::newRow("empty") << "" << false << true << 2;
    QTest::newRow("colon") << "a:b" << true << true << 1;
    QTest::newRow("taken, check on") << "Kim" << false << true << 3;
    QTest::newRow("taken, check off") << "Kim" << false << false << 0;
    QTest::newRow("folder taken") << "Friends" << true << true << 3;
    QTest::newRow("record name free for a folder") << "Kim" << true << true << 0;
}

void TestRecordDialogs::nameDialog()
{
    QFETCH(QString, typed);
    QFETCH(bool, folder);
    QFETCH(bool, check);
    QFETCH(int, message);
    TestFiles::write(m_root->filePath("Kim.txt"), "");
    ScriptedDialogs dialogs;
    TfrmUserFileName dialog;
    QVERIFY(dialog.ExistCheck);
    QVERIFY(dialog.edtName->text().isEmpty());
    QVERIFY(dialog.chkIsRoot->isHidden());
    dialog.SetFolderMode(folder);
    QCOMPARE(dialog.windowTitle(),
             folder ? QStringLiteral("New folder name") : QStringLiteral("New note name"));
    dialog.FolderPath = dir() + QDir::separator();
    dialog.ExistCheck = check;
    dialog.show();
    dialog.edtName->setText(typed);
    dialog.btnConfirm->click();
    QCOMPARE(dialogs.messageCount(), message ? 1 : 0);
    if (message) {
        QCOMPARE(dialogs.lastText(), NameMessageText(message));
        QVERIFY(!dialog.edtName->hasSelectedText());
    } else {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.EnteredName(), TrimName(typed));
    }
}

void TestRecordDialogs::editLoadsAndSaves()
{
    const QString file = m_root->filePath("Friends/Kim.txt");
    TestFiles::write(file, cp949(QStringLiteral("[data]\r\nHand=010\r\nONme=한빛\r\nExtra=keep\r\n"
                                                "[Memo]\r\nmany=2\r\n1=a\r\n2=b\r\n")));
    m_tree->SetSelectedFile(QDir::toNativeSeparators(file));
    TfrmModifyData dialog;
    dialog.LoadRecord(m_tree->SelectedFile);
    QCOMPARE(dialog.labName->text(), QStringLiteral("Kim"));
    QCOMPARE(dialog.Box("ONme")->text(), QStringLiteral("한빛"));
    QCOMPARE(dialog.TextBox("Memo")->toPlainText(), QStringLiteral("a\nb"));
    dialog.Box("Hand")->clear();
    dialog.TextBox("Memo")->clear();
    dialog.Box("OPh1")->setText(" 555 ");
    dialog.show();
    dialog.btnConfirm->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(TestFiles::read(file),
             cp949(QStringLiteral("[data]\r\nONme=한빛\r\nExtra=keep\r\nOPh1=555\r\n")));

    // Cancel writes nothing.
    TfrmModifyData again;
    again.LoadRecord(m_tree->SelectedFile);
    again.Box("ONme")->setText("changed");
    again.btnCancel->click();
    QCOMPARE(again.result(), int(QDialog::Rejected));
    QVERIFY(!TestFiles::read(file).contains("changed"));
}

void TestRecordDialogs::editUnchangedRewritesNothing_data()
{
    QTest::addColumn<QString>("content");
    QTest::newRow("folder record with leftover line")
        << QStringLiteral("[data]\r\nONme=친구들\r\nOPh1=555\r\n[OAdd]\r\nmany=1\r\n1=서울\r\n"
                          "2=leftover\r\n");
    // Past the 2047-byte profile cut, and past a line box's default length limit.
    QTest::newRow("long values") << QStringLiteral("[data]\r\nONme=") + QString(1500, u'가')
                                        + QStringLiteral("\r\nOPst=") + QString(40000, u'x')
                                        + QStringLiteral("\r\n");
}

void TestRecordDialogs::editUnchangedRewritesNothing()
{
    QFETCH(QString, content);
    const QString file = m_root->filePath("Friends/__g_t.zu");
    const QByteArray original = cp949(content);
    TestFiles::write(file, original);
    m_tree->SetSelectedFile(dir("Friends") + QDir::separator());
    TfrmModifyData dialog;
    dialog.LoadRecord(m_tree->SelectedFile);
    QCOMPARE(dialog.labName->text(), QStringLiteral("Friends"));
    dialog.show();
    dialog.btnConfirm->click();
    QCOMPARE(TestFiles::read(file), original);
}

void TestRecordDialogs::editFolderWithoutRecordCreatesIt()
{
    m_tree->SetSelectedFile(dir("Friends") + QDir::separator());
    TfrmModifyData dialog;
    dialog.LoadRecord(m_tree->SelectedFile);
    QVERIFY(dialog.labName->text().isEmpty());
    QVERIFY(dialog.Box("Hand")->text().isEmpty());
    dialog.Box("ONme")->setText("Club");
    dialog.show();
    dialog.btnConfirm->click();
    QVERIFY(isNewRecordFile(TestFiles::read(m_root->filePath("Friends/__g_t.zu")),
                            "[data]\r\nONme=Club\r\n"));
}

void TestRecordDialogs::textBoxLines_data()
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

void TestRecordDialogs::textBoxLines()
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

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    TestRecordDialogs test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_recorddialogs.moc"
