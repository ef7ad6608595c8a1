#include "app/ProjectInc.h"
#include "navigator/MenuTree.h"
#include "navigator/zuTree.h"
#include "platform/Job.h"
#include "records/Record.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/TreeHelpers.h"

#include <QAction>
#include <QDir>
#include <QKeyEvent>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The 파일 menu's 가져오기 and 내보내기: where records go, what goes out, the report, Esc.
class TestContactMenu : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void importGoesWhereTheSelectionIs_data();
    void importGoesWhereTheSelectionIs();
    void escapeCancelsTheImport();
    void cardThatCameBackUpdatesItsRecord();
    void exportScope_data();
    void exportScope();

private:
    void select(const QString &relPath);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
    std::unique_ptr<TfrmMenuAndTree> m_pane;
    QProgressBar m_bar;
    QString m_data;
    QString m_vcf;
};

void TestContactMenu::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_data = QDir::toNativeSeparators(m_dir->filePath(u"data"_s));
    QDir().mkpath(m_dir->filePath(u"bin"_s));
    TreeHelpers::MakeEntries(m_data, {u"친구/"_s, u"친구/김철수.txt"_s, u"맨위.txt"_s});
    m_vcf = m_dir->filePath(u"phone.vcf"_s);
    TestFiles::write(m_vcf,
                     "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:이영희\r\nTEL;TYPE=CELL:010-1\r\n"
                     "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:박민수\r\nEND:VCARD\r\n");
    m_info = std::make_unique<TzuPrjInfo>(m_dir->filePath(u"bin"_s));
    zuPrjInfo = m_info.get();
    TestFiles::write(m_info->SettingsFileName(),
                     "[PROGRAM]\r\nDirData=" + m_data.toUtf8() + "\r\n");
    m_pane = std::make_unique<TfrmMenuAndTree>();
    m_pane->ProgressBar = &m_bar;
    m_pane->ProgramSettings = &m_info->settings();
    m_pane->InitPane();
    m_pane->Tree->ShowRecord = [](const QString &) {};
    m_pane->show();
}

void TestContactMenu::cleanup()
{
    m_pane.reset();
    zuPrjInfo = nullptr;
    m_info.reset();
}

void TestContactMenu::select(const QString &relPath)
{
    if (!relPath.isEmpty())
        QVERIFY(m_pane->Tree->LocatePath(QDir::toNativeSeparators(relPath)));
}

void TestContactMenu::importGoesWhereTheSelectionIs_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("folder"); // where the records go, relative
    QTest::newRow("nothing selected") << QString() << QString();
    QTest::newRow("a folder") << u"친구"_s << u"친구"_s;
    QTest::newRow("a record in a folder") << u"친구/김철수.txt"_s << u"친구"_s;
    QTest::newRow("a record at the top") << u"맨위.txt"_s << QString();
}

void TestContactMenu::importGoesWhereTheSelectionIs()
{
    QFETCH(QString, selected);
    QFETCH(QString, folder);
    select(selected);
    ScriptedDialogs dialogs;
    dialogs.queueOpenFiles(QStringList{m_vcf});
    m_pane->actImport->trigger();
    QVERIFY(Jobs::instance().waitAll());
    const QDir target(QDir(m_data).filePath(folder));
    QVERIFY(target.exists(u"이영희.txt"_s));
    QVERIFY(target.exists(u"박민수.txt"_s));
    QCOMPARE(dialogs.chooserCount(), 1);
    QVERIFY2(dialogs.lastText().contains(u"자료 2개를 만들었습니다"_s),
             qPrintable(dialogs.lastText()));
    // The tree shows them without a refresh.
    QTreeWidgetItem *parent =
        folder.isEmpty() ? nullptr : TreeHelpers::FindNode(*m_pane->Tree, nullptr, folder);
    const QStringList shown = TreeHelpers::NodeTexts(*m_pane->Tree, parent);
    QVERIFY2(shown.contains(u"이영희"_s) && shown.contains(u"박민수"_s),
             qPrintable(shown.join(',')));
    QCOMPARE(m_bar.value(), 0);
}

void TestContactMenu::escapeCancelsTheImport()
{
    // Enough cards that the import is still running when Esc comes.
    QByteArray many;
    for (int i = 0; i < 20000; ++i)
        many +=
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:사람" + QByteArray::number(i) + "\r\nEND:VCARD\r\n";
    TestFiles::write(m_vcf, many);
    ScriptedDialogs dialogs;
    dialogs.queueOpenFiles(QStringList{m_vcf});
    QSignalSpy started(&Jobs::instance(), &Jobs::started);
    m_pane->actImport->trigger();
    QCOMPARE(started.count(), 1);
    Job *job = started.at(0).at(0).value<Job *>();
    QSignalSpy progress(job, &Job::progress);
    QVERIFY(progress.wait(10000));
    // The window goes on while it runs; the bar shows it and Esc stops it.
    QVERIFY(!m_pane->actImport->isEnabled());
    QVERIFY(m_bar.isTextVisible());
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(m_pane.get(), &esc);
    QVERIFY(Jobs::instance().waitAll());
    QVERIFY2(dialogs.lastText().contains(u"취소"_s), qPrintable(dialogs.lastText()));
    // What was made stays, and the rest was never made.
    const int made = int(QDir(m_data).entryList({u"사람*.txt"_s}, QDir::Files).size());
    QVERIFY2(made < 20000, qPrintable(QString::number(made)));
    QVERIFY(dialogs.lastText().contains(u"자료 %1개를 만들었습니다"_s.arg(made)));
    QVERIFY(m_pane->actImport->isEnabled());
    QCOMPARE(m_bar.value(), 0);
    QVERIFY(!m_bar.isTextVisible());
    QVERIFY(m_pane->isVisible()); // Esc did nothing else
}

void TestContactMenu::cardThatCameBackUpdatesItsRecord()
{
    // The record lies at the top; the card comes back while the folder 친구 is selected.
    const QString lee = QDir(m_data).filePath(u"이순신.txt"_s);
    TestFiles::write(lee, "[data]\r\nHand=010-1111-2222\r\n[Vandrel]\r\nUID=lee-1\r\n");
    TestFiles::write(m_vcf, "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:lee-1\r\nFN:이순신\r\n"
                            "TEL;TYPE=CELL:010-1111-2222\r\nEMAIL:lee@example.kr\r\n"
                            "END:VCARD\r\n");
    select(u"친구"_s);
    ScriptedDialogs dialogs;
    dialogs.queueOpenFiles(QStringList{m_vcf});
    m_pane->actImport->trigger();
    QVERIFY(Jobs::instance().waitAll());
    QCOMPARE(QDir(m_data).entryList({u"이순신*"_s}, QDir::Files, QDir::Name),
             QStringList{u"이순신.txt"_s});
    QVERIFY(QDir(m_data).entryList({u"이순신*"_s}, QDir::AllEntries).size() == 1);
    QVERIFY(!QFileInfo::exists(QDir(m_data).filePath(u"친구/이순신.txt"_s)));
    QCOMPARE(Record::Read(lee).Value(u"EMail"), u"lee@example.kr"_s);
}

void TestContactMenu::exportScope_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("rows");
    QTest::newRow("the selected folder") << int(DialogService::Yes) << 1;
    QTest::newRow("the whole data directory") << int(DialogService::No) << 2;
}

void TestContactMenu::exportScope()
{
    QFETCH(int, answer);
    QFETCH(int, rows);
    select(u"친구/김철수.txt"_s);
    ScriptedDialogs dialogs;
    dialogs.queueButton(DialogService::Button(answer));
    dialogs.queueChoice(3); // CSV in code page 949
    const QString out = m_dir->filePath(u"out.csv"_s);
    dialogs.queueSaveFile(out);
    m_pane->actExport->trigger();
    QVERIFY(Jobs::instance().waitAll());
    const QByteArray csv = TestFiles::read(out);
    QCOMPARE(csv.count("\r\n"), rows + 1);
    QVERIFY(csv.contains(TestFiles::cp949(u"김철수,친구,"_s)));
    QVERIFY2(dialogs.lastText().contains(u"연락처 %1개를 내보냈습니다"_s.arg(rows)),
             qPrintable(dialogs.lastText()));
}

QTEST_MAIN(TestContactMenu)
#include "tst_contactmenu.moc"
