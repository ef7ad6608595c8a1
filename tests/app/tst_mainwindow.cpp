#include "app/ProjectInc.h"
#include "app/main.h"
#include "navigator/FilterBox.h"
#include "navigator/MenuTree.h"
#include "navigator/zuTree.h"
#include "platform/Application.h"
#include "platform/Job.h"
#include "platform/ShellFiles.h"
#include "records/DeletedRecords.h"
#include "records/History.h"
#include "records/ModifyData.h"
#include "records/PhoneFun.h"
#include "records/RecordHistory.h"
#include "records/book.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/TreeHelpers.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void titleAndPanes();
    void escapeMinimisesFromAnyControl();
    void escapeInADialogLeavesTheWindow();
    void handOverBringsTheWindowBack_data();
    void handOverBringsTheWindowBack();
    void paneAndViewWorkTogether();
    void filterBox();
    void editAndDeleteThroughTheActions();
    void undoAndRecordHistory();
    void undoAfterRestart();
    void exitQuestion_data();
    void exitQuestion();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_info = std::make_unique<TzuPrjInfo>(m_dir->path());
    zuPrjInfo = m_info.get();
}

void TestMainWindow::cleanup()
{
    zuPrjInfo = nullptr;
    m_info.reset();
}

void TestMainWindow::titleAndPanes()
{
    TfrmMainVR window;
    QCOMPARE(frmMainVR, &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), TzuPrjInfo::TitleText());
    QVERIFY(window.windowTitle().startsWith(QStringLiteral("Vandrel ")));

    auto *menu = window.findChild<TfrmMenuAndTree *>(QStringLiteral("MenuAndTree"));
    auto *book = window.findChild<TfrmBook *>(QStringLiteral("Book"));
    auto *bar = window.findChild<QProgressBar *>(QStringLiteral("bar"));
    QVERIFY(menu && book && bar);
    QCOMPARE(menu, window.MenuAndTree);
    QCOMPARE(book, window.Book);
    QCOMPARE(bar, window.bar);

    QCOMPARE(book->width(), 476);
    // The record view stands at the right edge inside the painted border; the navigator fills
    // the rest.
    const int border = TfrmZuThreeButtons::BorderWidth;
    const QPoint bookRight = book->mapTo(&window, QPoint(book->width(), 0));
    QCOMPARE(bookRight.x(), window.width() - border);
    QCOMPARE(menu->mapTo(&window, QPoint(0, 0)).x(), border);
    QCOMPARE(menu->width() + book->width(), window.width() - 2 * border);
    window.resize(1000, 600);
    QTRY_COMPARE(menu->width(), 1000 - 476 - 2 * border);
    QCOMPARE(book->width(), 476);
    QCOMPARE(book->height(), menu->height());

    QCOMPARE(book->palette().color(QPalette::Window), QColor(239, 239, 231));
    QCOMPARE(book->font().pixelSize(), 12);
    QCOMPARE(menu->font().pixelSize(), 12);

    QCOMPARE(bar->parentWidget(), window.pnlStatusBar);
    QCOMPARE(bar->geometry(), QRect(5, 3, 161, 16));
    QCOMPARE(window.pnlStatusBar->height(), 24);
    QCOMPARE(window.pnlStatusBar->mapTo(&window, QPoint(0, 24)).y(), window.height() - border);
}

void TestMainWindow::escapeMinimisesFromAnyControl()
{
    TfrmMainVR window;
    auto *edit = new QLineEdit(window.MenuAndTree);
    edit->setText(QStringLiteral("typing"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // While a job runs (here the index being built, then one of the test's), Esc stops it
    // and the window stays.
    QVERIFY(Jobs::instance().waitAll());
    std::atomic<bool> stopped{false};
    Job::start(QStringLiteral("test"), [&stopped](Job &job) {
        while (job.report(0, 1))
            QThread::msleep(5);
        stopped = true;
    });
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(Jobs::instance().waitAll());
    QVERIFY(stopped);
    QVERIFY(!window.isMinimized());
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(window.isMinimized());
    QCOMPARE(edit->text(), QStringLiteral("typing"));

    window.showNormal();
    QTest::keyClick(edit, Qt::Key_A);
    QVERIFY(!window.isMinimized());
    QCOMPARE(edit->text(), QStringLiteral("typinga"));
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(window.isMinimized());
}

void TestMainWindow::escapeInADialogLeavesTheWindow()
{
    TfrmMainVR window;
    window.show();
    QDialog dialog(&window);
    auto *edit = new QLineEdit(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!window.isMinimized());
    QVERIFY(!dialog.isVisible());
}

void TestMainWindow::handOverBringsTheWindowBack_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("maximizedAfter");
    QTest::newRow("visible") << "visible" << false;
    QTest::newRow("minimised") << "minimised" << false;
    QTest::newRow("maximised then minimised") << "maximised-minimised" << true;
    QTest::newRow("never shown (boot mode 3)") << "hidden" << false;
}

void TestMainWindow::handOverBringsTheWindowBack()
{
    QFETCH(QString, before);
    QFETCH(bool, maximizedAfter);
    TestFiles::write(m_info->SettingsFileName(),
                     "[PROGRAM]\r\nLeft=40\r\nTop=30\r\nWidth=700\r\nHeight=500\r\n");
    TfrmMainVR window;
    if (before == u"visible") {
        window.show();
    } else if (before == u"minimised") {
        window.show();
        window.showMinimized();
    } else if (before == u"maximised-minimised") {
        window.showMaximized();
        window.setWindowState(window.windowState() | Qt::WindowMinimized);
    }
    QCOMPARE(window.isVisible(), before != u"hidden");
    window.WMCopyData();
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QCOMPARE(window.isMaximized(), maximizedAfter);
    if (!maximizedAfter)
        QCOMPARE(window.size(), QSize(700, 500));
}

void TestMainWindow::paneAndViewWorkTogether()
{
    const QString data = m_dir->filePath("PhoneData");
    QDir().mkpath(data + "/Friends");
    TestFiles::write(data + "/Friends/Lee.txt", "[data]\r\nHand=010-1\r\n");
    TestFiles::write(data + "/Friends/__g_t.zu", "[data]\r\nONme=Club\r\n");
    TestFiles::write(data + "/Kim.txt", "[data]\r\nHand=010-2\r\n");
    TfrmMainVR window;
    QVERIFY(RecordTree);
    QCOMPARE(RecordTree->topLevelItemCount(), 2);
    QVERIFY(window.Book->labName->text().isEmpty());
    QVERIFY(!window.Book->zuGradiButton1->isEnabled());

    // The first showing selects the first node, and the view follows.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(RecordTree->SelectedNode(), RecordTree->topLevelItem(0));
    QCOMPARE(window.Book->labName->text(), QStringLiteral("Friends"));
    QVERIFY(window.Book->zuGradiButton1->isEnabled());

    // Coming back to the window keeps the user's place.
    RecordTree->setCurrentItem(RecordTree->topLevelItem(1));
    QCOMPARE(window.Book->ValueLabel("Hand")->text(), QStringLiteral("010-2"));
    QDialog dialog(&window);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.close();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(RecordTree->SelectedNode(), RecordTree->topLevelItem(1));
    QCOMPARE(window.Book->labName->text(), QStringLiteral("Kim"));
}

void TestMainWindow::filterBox()
{
    const QString data = m_dir->filePath("PhoneData");
    QDir().mkpath(data + "/Friends");
    TestFiles::write(data + "/Friends/Lee.txt", "[data]\r\nHand=010-1234-5678\r\n");
    TestFiles::write(data + "/Kim.txt", "[data]\r\nHand=010-2\r\n");
    TestFiles::write(data + QStringLiteral("/김철수.txt"),
                     TestFiles::cp949(QStringLiteral("[data]\r\nODDD=02\r\nOPh1=555-0101\r\n")));
    TfrmMainVR window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TFilterBox *filter = window.MenuAndTree->Filter;
    QVERIFY(filter);
    filter->Index->WaitUntilReady();
    // The history's first commit is a job too; Esc below is meant for the box alone.
    QVERIFY(Jobs::instance().waitAll());
    RecordTree->setFocus();

    // Ctrl+L, then the initial consonants: the list stands in for the tree.
    QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(filter->edtFilter->hasFocus());
    filter->edtFilter->insert(QStringLiteral("ㄱㅊㅅ")); // as an input method types it
    QCOMPARE(filter->stkTree->currentWidget(), static_cast<QWidget *>(filter->lstFilter));
    QCOMPARE(filter->lstFilter->model()->rowCount(), 1);
    QTest::keyClick(filter->edtFilter, Qt::Key_Return);
    QCOMPARE(RecordTree->SelectedNode()->text(0), QStringLiteral("김철수"));
    QCOMPARE(window.Book->labName->text(), QStringLiteral("김철수"));

    // Digits find the company number with its area code.
    filter->edtFilter->setText(QStringLiteral("02 555 0101"));
    QCOMPARE(filter->lstFilter->model()->rowCount(), 1);
    QVERIFY(filter->lstFilter->model()->index(0, 0).data().toString().contains("02-555-0101"));

    // Esc clears the box, then leaves it; only then does it minimise the window.
    QTest::keyClick(filter->edtFilter, Qt::Key_Escape);
    QVERIFY(filter->edtFilter->text().isEmpty());
    QCOMPARE(filter->stkTree->currentWidget(), static_cast<QWidget *>(RecordTree));
    QCOMPARE(RecordTree->SelectedNode()->text(0), QStringLiteral("김철수"));
    QTest::keyClick(filter->edtFilter, Qt::Key_Escape);
    QVERIFY(RecordTree->hasFocus());
    QVERIFY(!window.isMinimized());
    QTest::keyClick(RecordTree, Qt::Key_Slash);
    QVERIFY(filter->edtFilter->hasFocus());

    // A record made by another program shows in the tree and in the box.
    TestFiles::write(data + QStringLiteral("/박영희.txt"), "[data]\r\nHand=010-9\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(TreeHelpers::FindNode(*RecordTree, nullptr, QStringLiteral("박영희")),
                             2000);
    filter->edtFilter->setText(QStringLiteral("ㅂㅇㅎ"));
    QCOMPARE(filter->lstFilter->model()->rowCount(), 1);
    // The record on view, changed by another program, is shown again.
    TestFiles::write(data + QStringLiteral("/김철수.txt"), "[data]\r\nODDD=031\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(window.Book->ValueLabel("ODDD")->text(), QStringLiteral("031"), 2000);
    filter->edtFilter->clear();
    RecordTree->setFocus();
    QTest::keyClick(RecordTree, Qt::Key_Escape);
    QVERIFY(window.isMinimized());
}

void TestMainWindow::editAndDeleteThroughTheActions()
{
    const QString data = m_dir->filePath("PhoneData");
    QDir().mkpath(data);
    TestFiles::write(data + "/Kim.txt", "[data]\r\nHand=010-2\r\n");
    TestFiles::write(data + "/Lee.txt", "[data]\r\nHand=010-3\r\n");
    TfrmMainVR window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.Book->labName->text(), QStringLiteral("Kim"));

    ScriptedDialogs dialogs;
    dialogs.queueDialog([](QDialog &d) {
        auto &edit = static_cast<TfrmModifyData &>(d);
        if (edit.labName->text() != u"Kim")
            return int(QDialog::Rejected);
        edit.Box("Hand")->setText("010-9999");
        edit.btnConfirm->click();
        return edit.result();
    });
    // The view's edit button runs the navigator's edit action.
    window.Book->zuGradiButton1->click();
    QCOMPARE(dialogs.dialogCount(), 1);
    QCOMPARE(dialogs.asked.first().dialogTitle, QStringLiteral("자료 수정"));
    QCOMPARE(window.Book->ValueLabel("Hand")->text(), QStringLiteral("010-9999"));

    // Delete through the window's own handler; the trash is the test's own.
    QTemporaryDir trash;
    ShellFiles::SetTrashFunction([&trash](const QString &path, QString *inTrash) {
        *inTrash = trash.filePath(QFileInfo(path).fileName());
        return QFile::rename(path, *inTrash);
    });
    dialogs.queueButton(DialogService::Ok);
    window.MenuAndTree->actFileDelete->trigger();
    ShellFiles::SetTrashFunction({});
    QVERIFY(!QFileInfo::exists(data + "/Kim.txt"));
    QCOMPARE(RecordTree->topLevelItemCount(), 1);
    QCOMPARE(window.Book->labName->text(), QStringLiteral("Lee"));
}

// 편집 → 실행 취소 (Ctrl+Z) takes a save back and 다시 실행 (Ctrl+Y) makes it again; 자료 이력
// shows the versions and brings back one field of an old one.
void TestMainWindow::undoAndRecordHistory()
{
    const QString data = m_dir->filePath("PhoneData");
    QDir().mkpath(data);
    const QByteArray kim = "[data]\r\nHand=010-2\r\nEMail=kim@example.com\r\n";
    TestFiles::write(data + "/Kim.txt", kim);
    TfrmMainVR window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.history);
    auto *edit = window.findChild<QToolButton *>(QStringLiteral("tbiEdit"));
    QVERIFY(edit && edit->menu() == window.mnuEdit);
    QCOMPARE(edit->text(), QStringLiteral("편집(&E)"));
    QVERIFY(window.mnuEdit->actions().contains(window.actUndo));
    QCOMPARE(window.actUndo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(window.actRedo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
    window.history->Flush();
    QVERIFY(!window.actUndo->isEnabled());

    ScriptedDialogs dialogs;
    dialogs.queueDialog([](QDialog &d) {
        auto &form = static_cast<TfrmModifyData &>(d);
        form.Box("Hand")->setText("010-9999");
        form.Box("EMail")->setText("kim@example.org");
        form.btnConfirm->click();
        return form.result();
    });
    window.Book->zuGradiButton1->click();
    const QByteArray saved = TestFiles::read(data + "/Kim.txt");
    QVERIFY(saved != kim);
    window.history->Flush();
    QTRY_VERIFY(window.actUndo->isEnabled());

    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(TestFiles::read(data + "/Kim.txt"), kim);
    QCOMPARE(window.Book->ValueLabel("Hand")->text(), QStringLiteral("010-2"));
    QTRY_VERIFY(window.actRedo->isEnabled());
    QTest::keyClick(&window, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(TestFiles::read(data + "/Kim.txt"), saved);
    QCOMPARE(window.Book->ValueLabel("Hand")->text(), QStringLiteral("010-9999"));

    // The oldest version's number comes back, the new mail address stays.
    int versions = -1;
    dialogs.queueDialog([&versions](QDialog &d) {
        auto &dialog = static_cast<TfrmRecordHistory &>(d);
        versions = dialog.lstVersions->count();
        dialog.lstVersions->setCurrentRow(dialog.lstVersions->count() - 1);
        for (int row = 0; row < dialog.grdFields->rowCount(); ++row)
            if (dialog.grdFields->item(row, 1)->text() == u"010-2")
                dialog.grdFields->selectRow(row);
        dialog.btnRestoreField->click();
        return int(QDialog::Rejected);
    });
    window.actRecordHistory->trigger();
    QCOMPARE(versions, 4); // first, saved, undone, redone
    QCOMPARE(window.Book->ValueLabel("Hand")->text(), QStringLiteral("010-2"));
    const Record now = Record::Read(data + "/Kim.txt");
    QCOMPARE(now.Value(u"Hand"), QStringLiteral("010-2"));
    QCOMPARE(now.Value(u"EMail"), QStringLiteral("kim@example.org"));
    // In the tree's popup menu too.
    QVERIFY(RecordTree->PopupMenu->actions().contains(window.mnuHistory));
    // A folder's record is named after its folder.
    QVERIFY(QDir().mkpath(data + "/친구"));
    TestFiles::write(data + "/친구/" + FolderRecordName, "[data]\r\n");
    QCOMPARE(TfrmRecordHistory(*window.history, data + "/친구/" + FolderRecordName).windowTitle(),
             QStringLiteral("자료 이력 - 친구"));

    // Deleted for good (the trash emptied), then brought back from 지운 자료 and shown.
    ShellFiles::SetTrashFunction(
        [](const QString &path, QString *) { return QFile::remove(path); });
    dialogs.queueButton(DialogService::Ok);
    window.MenuAndTree->actFileDelete->trigger();
    ShellFiles::SetTrashFunction({});
    QVERIFY(!QFileInfo::exists(data + "/Kim.txt"));
    int listed = -1;
    dialogs.queueDialog([&listed](QDialog &d) {
        auto &dialog = static_cast<TfrmDeletedRecords &>(d);
        listed = dialog.lstDeleted->topLevelItemCount();
        dialog.btnRestore->click();
        return int(QDialog::Rejected);
    });
    window.actDeletedRecords->trigger();
    QCOMPARE(listed, 1);
    QCOMPARE(Record::Read(data + "/Kim.txt"), now);
    QTRY_COMPARE(window.Book->labName->text(), QStringLiteral("Kim"));
}

// After a restart Ctrl+Z takes back the save of the run before: the action is not dead while
// nothing of the history is read yet, and reads it when pressed.
void TestMainWindow::undoAfterRestart()
{
    const QString data = m_dir->filePath("PhoneData");
    QDir().mkpath(data);
    const QByteArray kim = "[data]\r\nHand=010-2\r\n";
    TestFiles::write(data + "/Kim.txt", kim);
    {
        TfrmMainVR window;
        QVERIFY(window.history);
        window.history->Flush();
        Record record = Record::Read(data + "/Kim.txt");
        record.SetValue(u"Hand", QStringLiteral("010-9999"));
        RecordStore::SaveRecord(data + "/Kim.txt", record);
        window.history->Flush();
    }
    const QByteArray saved = TestFiles::read(data + "/Kim.txt");
    QVERIFY(saved != kim);

    TfrmMainVR window;
    QVERIFY(window.actUndo->isEnabled());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(TestFiles::read(data + "/Kim.txt"), kim);
    QTRY_VERIFY(window.actRedo->isEnabled());
    QVERIFY(!window.actUndo->isEnabled());
    QCOMPARE(window.actRedo->toolTip(), QStringLiteral("다시 실행: 자료 수정: Kim"));
}

void TestMainWindow::exitQuestion_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closes");
    QTest::newRow("no question by default")
        << QByteArray() << int(DialogService::Ok) << false << true;
    QTest::newRow("question, OK") << QByteArray("[PROGRAM]\r\nConfirmExit=1\r\n")
                                  << int(DialogService::Ok) << true << true;
    QTest::newRow("question, Cancel") << QByteArray("[PROGRAM]\r\nConfirmExit=1\r\n")
                                      << int(DialogService::Cancel) << true << false;
}

void TestMainWindow::exitQuestion()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closes);
    if (!settings.isEmpty())
        TestFiles::write(m_info->SettingsFileName(), settings);
    ScriptedDialogs dialogs;
    dialogs.queueButton(DialogService::Button(answer));
    TfrmMainVR window;
    QSignalSpy closed(&window, &TfrmZuThreeButtons::closed);
    window.show();
    window.close();
    QCOMPARE(dialogs.messageCount(), asked ? 1 : 0);
    if (asked) {
        const DialogService::Message &m = dialogs.asked.first().message;
        QCOMPARE(m.text, QStringLiteral("Vandrel 을(를) 종료할까요?"));
        QCOMPARE(m.caption, QStringLiteral("Confirm"));
        QCOMPARE(m.icon, DialogService::Icon::Question);
        QCOMPARE(m.buttons, DialogService::Ok | DialogService::Cancel);
    }
    QCOMPARE(window.isVisible(), !closes);
    QCOMPARE(closed.count(), closes ? 1 : 0);
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainwindow.moc"
