#include "app/Config.h"
#include "app/ProjectInc.h"
#include "navigator/MenuTree.h"
#include "navigator/zuTree.h"
#include "platform/Application.h"
#include "support/FakeDesktop.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using TestFiles::cp949;

class TestMenuTree : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void actionsAndMenu();
    void initPaneLoadsDataDirectory();
    void paneWidth_data();
    void paneWidth();
    void directoryButtons_data();
    void directoryButtons();
    void clearedDirectoryIsNoDataDirectory();
    void findNeedsASelection();
    void find_data();
    void find();
    void findQuestionCancelledOrBlank_data();
    void findQuestionCancelledOrBlank();
    void noRecordFiles();
    void companionHitIsListedButNotSelectable();
    void homeAndClose();
    void settingsItem();

private:
    void writeSettings(const QByteArray &program);
    std::unique_ptr<TfrmMenuAndTree> makePane();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
    QString m_data;
    QString m_second;
    QProgressBar m_bar;
};

void TestMenuTree::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir root(m_dir->path());
    root.mkdir("bin");
    m_data = QDir::toNativeSeparators(m_dir->filePath("data"));
    m_second = QDir::toNativeSeparators(m_dir->filePath("second"));
    for (const char *f :
         {"data/한빛상사/__g_t.zu", "data/한빛상사/홍길동.txt", "data/Kim Chul Su.txt",
          "data/__Kim Chul Su/scan.txt", "second/Other.txt"}) {
        const QString full = m_dir->filePath(QString::fromUtf8(f));
        QDir().mkpath(QFileInfo(full).path());
    }
    TestFiles::write(m_dir->filePath("data/한빛상사/__g_t.zu"),
                     cp949(QStringLiteral("[data]\r\nONme=한빛상사\r\nOPst=영업본부\r\n")));
    TestFiles::write(m_dir->filePath("data/한빛상사/홍길동.txt"),
                     cp949(QStringLiteral("[data]\r\nHand=010-2345-6789\r\nOPst=영업부\r\n")));
    TestFiles::write(m_dir->filePath("data/Kim Chul Su.txt"),
                     "[data]\r\nEMail=KIM@example.kr\r\n[Memo]\r\nmany=1\r\n1=met at the fair\r\n");
    TestFiles::write(m_dir->filePath("data/__Kim Chul Su/scan.txt"),
                     "[data]\r\nONme=fairground\r\n");
    TestFiles::write(m_dir->filePath("second/Other.txt"), "[data]\r\nHand=1\r\n");
    m_info = std::make_unique<TzuPrjInfo>(m_dir->filePath("bin"));
    zuPrjInfo = m_info.get();
    writeSettings("DirData=" + m_data.toUtf8() + "\r\n");
}

void TestMenuTree::cleanup()
{
    zuPrjInfo = nullptr;
    m_info.reset();
}

void TestMenuTree::writeSettings(const QByteArray &program)
{
    TestFiles::write(m_info->SettingsFileName(), "[PROGRAM]\r\n" + program);
}

std::unique_ptr<TfrmMenuAndTree> TestMenuTree::makePane()
{
    auto pane = std::make_unique<TfrmMenuAndTree>();
    // Wired as the main window wires them.
    pane->ProgressBar = &m_bar;
    pane->ProgramSettings = &m_info->settings();
    TfrmMenuAndTree *p = pane.get();
    pane->OpenSettings = [p] { return RunSettingsDialog(p); };
    pane->OpenHomePage = [this] { m_info->OpenHomePage(); };
    pane->InitPane();
    pane->Tree->ShowRecord = [](const QString &) {};
    pane->resize(300, 500);
    pane->show();
    return pane;
}

void TestMenuTree::actionsAndMenu()
{
    TfrmMenuAndTree pane;
    struct Expect
    {
        QAction *action;
        const char *caption;
        QKeySequence key;
    };
    const QList<Expect> expected = {
        {pane.actFileNewFolder, "폴더 생성(&F)",
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Insert)},
        {pane.actFileNewNote, "자료 생성(&D)", QKeySequence(Qt::CTRL | Qt::Key_Insert)},
        {pane.actFileDelete, "폴더/자료 삭제(&E)",
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete)},
        {pane.actFind, "찾기(&S)", QKeySequence(Qt::CTRL | Qt::Key_F)},
        {pane.actRename, "이름 변경(&R)", QKeySequence(Qt::Key_F2)},
        {pane.actModify, "자료 수정(&M)", QKeySequence()},
        {pane.tbiClose, "종료(&X)", QKeySequence(Qt::ALT | Qt::Key_F4)},
    };
    for (const Expect &e : expected) {
        QCOMPARE(e.action->text(), QString::fromUtf8(e.caption));
        QCOMPARE(e.action->shortcut(), e.key);
    }
    QStringList menu;
    for (QAction *a : pane.mnuFile->actions())
        menu << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(menu, QStringList({"폴더 생성(&F)", "자료 생성(&D)", "이름 변경(&R)", "자료 수정(&M)",
                                "찾기(&S)", "-", "가져오기(&I)...", "내보내기(&O)...",
                                "중복 찾기(&U)...", "-", "폴더/자료 삭제(&E)", "-", "환경설정(&C)",
                                "Vandrel 홈(&H)", "-", "종료(&X)"}));
    QCOMPARE(pane.tbiFile->text(), QStringLiteral("파일(&F)"));
    for (const char *name : {"tbiMakeFolder", "tbiMakeNote", "TBItem1", "TBItem2", "tbiDataDir",
                             "tbi2ndDir", "tbi3rdDir"})
        QVERIFY2(pane.findChild<QToolButton *>(name), name);
    QCOMPARE(pane.Shape1->size(), QSize(30, 7));
    QCOMPARE(pane.tbiDataDir->property("tag").toInt(), 0);
    QCOMPARE(pane.tbi3rdDir->property("tag").toInt(), 2);
    QVERIFY(pane.tbiDataDir->isChecked());
    QCOMPARE(pane.imgsTree.size(), 4);
    QCOMPARE(pane.imgsToolbar.size(), 8);
    QCOMPARE(pane.imgsDisable.size(), 2);
    for (const QPixmap &p : pane.imgsToolbar + pane.imgsTree + pane.imgsDisable)
        QCOMPARE(p.size(), QSize(16, 16));
}

void TestMenuTree::initPaneLoadsDataDirectory()
{
    auto pane = makePane();
    QCOMPARE(RecordTree, pane->Tree);
    QCOMPARE(pane->Tree->RootDir, m_data);
    QCOMPARE(pane->Tree->topLevelItemCount(), 2);
    QVERIFY(pane->Tree->selectedItems().isEmpty());
    pane->SelectFirst();
    QCOMPARE(pane->Tree->SelectedNode(), pane->Tree->topLevelItem(0));
    QCOMPARE(pane->Tree->SelectedFile, m_data + QDir::separator() + QStringLiteral("한빛상사")
                                           + QDir::separator() + "__g_t.zu");
}

void TestMenuTree::paneWidth_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<int>("width");
    QTest::newRow("missing") << QByteArray() << 250;
    QTest::newRow("29") << QByteArray("TreeWidth=29\r\n") << 250;
    QTest::newRow("30") << QByteArray("TreeWidth=30\r\n") << 30;
    QTest::newRow("320") << QByteArray("TreeWidth=320\r\n") << 320;
    QTest::newRow("junk") << QByteArray("TreeWidth=wide\r\n") << 250;
}

void TestMenuTree::paneWidth()
{
    QFETCH(QByteArray, setting);
    QFETCH(int, width);
    writeSettings("DirData=" + m_data.toUtf8() + "\r\n" + setting);
    auto pane = makePane();
    QCOMPARE(pane->PaneWidth, width);
    QCOMPARE(pane->sizeHint().width(), width);
}

void TestMenuTree::directoryButtons_data()
{
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<bool>("second");
    QTest::addColumn<bool>("third");
    QTest::newRow("none") << QByteArray() << false << false;
    QTest::newRow("second set") << QByteArray("2ND=%2\r\n") << true << false;
    QTest::newRow("third missing on disk") << QByteArray("2ND=%2\r\n3RD=%m\r\n") << true << false;
    QTest::newRow("both") << QByteArray("2ND=%2\r\n3RD=%2\r\n") << true << true;
    QTest::newRow("erased") << QByteArray("2ND=\r\n3RD=\r\n") << false << false;
}

void TestMenuTree::directoryButtons()
{
    QFETCH(QByteArray, extra);
    QFETCH(bool, second);
    QFETCH(bool, third);
    extra.replace("%2", m_second.toUtf8());
    extra.replace("%m", m_dir->filePath("missing").toUtf8());
    writeSettings("DirData=" + m_data.toUtf8() + "\r\n" + extra);
    auto pane = makePane();
    QCOMPARE(pane->tbi2ndDir->isEnabled(), second);
    QCOMPARE(pane->tbi3rdDir->isEnabled(), third);
    if (second) {
        pane->tbi2ndDir->trigger();
        QVERIFY(pane->tbi2ndDir->isChecked());
        QVERIFY(!pane->tbiDataDir->isChecked());
        QCOMPARE(pane->Tree->RootDir, m_second);
        QCOMPARE(pane->Tree->topLevelItem(0)->text(0), QStringLiteral("Other"));
        QCOMPARE(pane->Tree->SelectedNode(), pane->Tree->topLevelItem(0));
        pane->tbiDataDir->trigger();
        QCOMPARE(pane->Tree->RootDir, m_data);
        QVERIFY(pane->tbiDataDir->isChecked());
    }
}

void TestMenuTree::clearedDirectoryIsNoDataDirectory()
{
    // The second directory is cleared in the settings after its button was enabled.
    writeSettings("DirData=" + m_data.toUtf8() + "\r\n2ND=" + m_second.toUtf8() + "\r\n");
    auto pane = makePane();
    QVERIFY(pane->tbi2ndDir->isEnabled());
    QVERIFY(pane->actFileNewFolder->isEnabled());
    writeSettings("DirData=" + m_data.toUtf8() + "\r\n2ND=\r\n");
    pane->tbi2ndDir->trigger();
    QCOMPARE(pane->Tree->topLevelItemCount(), 0);
    QVERIFY(!pane->Tree->NoDataDirText().isEmpty());
    QVERIFY(!pane->actFileNewFolder->isEnabled());
    QVERIFY(!pane->actFileNewNote->isEnabled());
    pane->tbiDataDir->trigger();
    QVERIFY(pane->Tree->HasDataDir());
    QVERIFY(pane->actFileNewFolder->isEnabled());
    QVERIFY(pane->actFileNewNote->isEnabled());
}

void TestMenuTree::findNeedsASelection()
{
    auto pane = makePane();
    QVERIFY(!pane->actFind->isEnabled());
    QVERIFY(!pane->actModify->isEnabled());
    QVERIFY(!pane->actRename->isEnabled());
    QVERIFY(!pane->actFileDelete->isEnabled());
    QVERIFY(pane->actFileNewFolder->isEnabled());
    pane->SelectFirst();
    QVERIFY(pane->actFind->isEnabled());
    QVERIFY(pane->actModify->isEnabled());
    pane->Tree->LoadRoot(m_data);
    QVERIFY(!pane->actFind->isEnabled());
}

void TestMenuTree::find_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("paths");
    const QString S = QDir::separator();
    QTest::newRow("name, any case")
        << " KIM " << QStringList{"Kim Chul Su"} << QStringList{"Kim Chul Su.txt"};
    QTest::newRow("value, korean")
        << "영업" << QStringList{"한빛상사", "홍길동"}
        << QStringList{"한빛상사" + S + "__g_t.zu", "한빛상사" + S + "홍길동.txt"};
    QTest::newRow("memo value") << "FAIR" << QStringList{"Kim Chul Su", "scan"}
                                << QStringList{"Kim Chul Su.txt", "__Kim Chul Su" + S + "scan.txt"};
}

void TestMenuTree::find()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, paths);
    auto pane = makePane();
    pane->SelectFirst();
    ScriptedDialogs dialogs;
    dialogs.queueInput(typed);
    pane->actFind->trigger();
    QCOMPARE(dialogs.asked.size(), 1);
    QVERIFY(dialogs.asked.first().isInput);
    QCOMPARE(dialogs.asked.first().input.caption, QStringLiteral("자료 검색"));
    QCOMPARE(dialogs.asked.first().input.prompt, QStringLiteral("검색 내용"));
    QCOMPARE(dialogs.asked.first().input.value, QString());

    QStringList shown;
    for (int i = 0; i < pane->lstFound->count(); ++i)
        shown << pane->lstFound->item(i)->text();
    std::sort(shown.begin(), shown.end());
    QStringList found = pane->FoundPaths;
    std::sort(found.begin(), found.end());
    QCOMPARE(shown, labels);
    QCOMPARE(found, paths);
    QCOMPARE(pane->lstFound->currentRow(), 0);
    // The first hit, in the order the disk lists files, is selected unless it lies in a
    // companion folder, which the tree does not show.
    if (!pane->FoundPaths.first().startsWith(u"__"))
        QCOMPARE(pane->Tree->SelectedNode()->text(0), pane->lstFound->item(0)->text());
    QCOMPARE(m_bar.maximum(), 4);
    QCOMPARE(m_bar.value(), 0);
    QVERIFY(pane->actFind->isEnabled());

    // Moving through the hits with the keyboard selects each, and so does a click.
    const auto selects = [&](int row) {
        return pane->FoundPaths[row].startsWith(u"__")
               || pane->Tree->SelectedNode()->text(0) == pane->lstFound->item(row)->text();
    };
    pane->lstFound->setFocus();
    for (int i = 1; i < pane->lstFound->count(); ++i) {
        QTest::keyClick(pane->lstFound, Qt::Key_Down);
        QCOMPARE(pane->lstFound->currentRow(), i);
        QVERIFY(selects(i));
    }
    pane->Tree->clearSelection();
    QTest::mouseClick(pane->lstFound->viewport(), Qt::LeftButton, {},
                      pane->lstFound->visualItemRect(pane->lstFound->item(0)).center());
    QCOMPARE(pane->lstFound->currentRow(), 0);
    QVERIFY(pane->FoundPaths[0].startsWith(u"__") || pane->Tree->SelectedNode());
    QVERIFY(selects(0));
    // A search without hits says so and leaves the list empty.
    pane->SelectFirst();
    dialogs.queueInput(QStringLiteral("nobody-here"));
    pane->actFind->trigger();
    QCOMPARE(pane->lstFound->count(), 0);
    QVERIFY(pane->FoundPaths.isEmpty());
    QCOMPARE(dialogs.lastText(), QStringLiteral("Not Found"));
    QCOMPARE(dialogs.asked.last().message.icon, DialogService::Icon::Warning);
}

void TestMenuTree::findQuestionCancelledOrBlank_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancelled") << true;
    QTest::newRow("blanks") << false;
}

void TestMenuTree::findQuestionCancelledOrBlank()
{
    QFETCH(bool, cancel);
    auto pane = makePane();
    pane->SelectFirst();
    pane->lstFound->addItem("old");
    pane->FoundPaths << "old";
    ScriptedDialogs dialogs;
    dialogs.queueInput(cancel ? std::nullopt : std::optional<QString>(QStringLiteral("   ")));
    pane->actFind->trigger();
    QCOMPARE(pane->lstFound->count(), 1);
    QCOMPARE(dialogs.messageCount(), 0);
}

void TestMenuTree::noRecordFiles()
{
    const QString empty = m_dir->filePath("empty");
    QDir().mkpath(empty + "/Folder");
    auto pane = makePane();
    pane->OpenDataDir(empty);
    pane->SelectFirst();
    ScriptedDialogs dialogs;
    pane->SearchRecords(QStringLiteral("kim"));
    QCOMPARE(dialogs.lastText(), QStringLiteral("No matched file"));
    QCOMPARE(pane->lstFound->count(), 0);
}

void TestMenuTree::companionHitIsListedButNotSelectable()
{
    auto pane = makePane();
    pane->SelectFirst();
    pane->SearchRecords(QStringLiteral("fairground"));
    QCOMPARE(pane->FoundPaths,
             QStringList{QStringLiteral("__Kim Chul Su") + QDir::separator() + "scan.txt"});
    QTreeWidgetItem *before = pane->Tree->SelectedNode();
    QVERIFY(!pane->Tree->LocatePath(pane->FoundPaths.first()));
    QCOMPARE(pane->Tree->SelectedNode(), before);
}

void TestMenuTree::homeAndClose()
{
    FakeDesktop desktop;
    auto pane = makePane();
    pane->tbiGotoHome->trigger();
    QCOMPARE(desktop.opened, QStringList{TzuPrjInfo::HomePage});
    QWidget window;
    pane->setParent(&window);
    window.show();
    QVERIFY(window.isVisible());
    pane->tbiClose->trigger();
    QVERIFY(!window.isVisible());
    pane->setParent(nullptr);
}

void TestMenuTree::settingsItem()
{
    writeSettings("DirData=" + m_data.toUtf8() + "\r\n2ND=" + m_second.toUtf8()
                  + "\r\n3RD=" + m_second.toUtf8() + "\r\n");
    auto pane = makePane();
    QVERIFY(pane->tbi2ndDir->isEnabled());
    QVERIFY(pane->tbi3rdDir->isEnabled());
    pane->tbi2ndDir->trigger();
    QCOMPARE(pane->Tree->RootDir, m_second);

    // Pick a new second directory, then cancel: written at once, the buttons stay as they are.
    const QString other = QDir::toNativeSeparators(m_dir->filePath("other"));
    QDir().mkpath(other);
    ScriptedDialogs dialogs;
    dialogs.queueFolder(other);
    dialogs.queueDialog([](QDialog &d) {
        auto &config = static_cast<TfrmConfig &>(d);
        config.btnDirDataClick(config.zuGradiButton1);
        config.btnCancel->click();
        return config.result();
    });
    pane->TBItem6->trigger();
    QCOMPARE(m_info->ReadExtraDir(TzuPrjInfo::SelSecondDir), other);
    QCOMPARE(pane->Tree->RootDir, m_second);
    QVERIFY(pane->tbi2ndDir->isChecked());

    // Clear the third directory and confirm: the data directory is shown, the third button
    // is off.
    dialogs.queueDialog([](QDialog &d) {
        auto &config = static_cast<TfrmConfig &>(d);
        config.OnEraseDirClick(config.btnEraseDir3);
        config.btnConfirm->click();
        return config.result();
    });
    pane->TBItem6->trigger();
    QCOMPARE(pane->Tree->RootDir, m_data);
    QVERIFY(pane->tbiDataDir->isChecked());
    QVERIFY(pane->tbi2ndDir->isEnabled());
    QVERIFY(!pane->tbi3rdDir->isEnabled());
    QCOMPARE(m_info->ReadExtraDir(TzuPrjInfo::SelThirdDir), QString());
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TestMenuTree test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_menutree.moc"
