#include "navigator/zuTree.h"
#include "platform/Application.h"
#include "platform/ShellFiles.h"
#include "records/NewData.h"
#include "records/UserFileName.h"
#include "support/FileTraps.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/TreeHelpers.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using TestFiles::cp949;

namespace {

const QString S = QDir::separator();

QTreeWidgetItem *child(QTreeWidget &tree, QTreeWidgetItem *parent, const QString &text)
{
    return TreeHelpers::FindNode(tree, parent, text);
}

QStringList texts(QTreeWidget &tree, QTreeWidgetItem *parent = nullptr)
{
    return TreeHelpers::NodeTexts(tree, parent);
}

// The "person" fills in the new-entry dialog and presses save.
std::function<int(QDialog &)> typeNewEntry(const QString &name, bool atRoot = false)
{
    return [name, atRoot](QDialog &d) {
        auto &dialog = static_cast<TfrmNewData &>(d);
        dialog.edtName->setText(name);
        dialog.chkIsRoot->setChecked(atRoot);
        dialog.btnConfirm->click();
        return dialog.result();
    };
}

std::function<int(QDialog &)> typeName(const QString &name, QString *shownName = nullptr)
{
    return [name, shownName](QDialog &d) {
        auto &dialog = static_cast<TfrmUserFileName &>(d);
        if (shownName)
            *shownName = dialog.edtName->text() + u'|' + dialog.windowTitle();
        dialog.edtName->setText(name);
        dialog.btnConfirm->click();
        return dialog.result();
    };
}

} // namespace

class TestTreeEdit : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void popupMenu();
    void createFolderAndRecord();
    void createFromPopupOverTopLevelRecord();
    void createCancelled();
    void renameRecordWithCompanion();
    void renameFails_data();
    void renameFails();
    void renameToOwnNameLosesNothing_data();
    void renameToOwnNameLosesNothing();
    void renameCompanionCopyFailureKeepsEverything();
    void renameTellsOfReferencesLeft();
    void renameFolder();
    void deleteToTrash();
    void deleteLastNodeClearsView();
    void deleteRefusedByTrash();
    void deleteCancelled();
    void moveIntoOwnSubfolder_data();
    void moveIntoOwnSubfolder();
    void moveRecordOntoRecord();
    void moveOntoEmptySpace();
    void cutAndPaste();
    void moveAsksBeforeReplacing_data();
    void moveAsksBeforeReplacing();
    void moveIntoSameFolderIsRefused();
    void moveFailureChangesNothing_data();
    void moveFailureChangesNothing();
    void dropEvent();

private:
    void make(const QStringList &entries);
    QString path(const QString &rel) const { return m_dir->filePath(rel); }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_trash;
    std::unique_ptr<TzuTree> m_tree;
    QStringList m_shown;
};

void TestTreeEdit::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_trash = std::make_unique<QTemporaryDir>();
    m_shown.clear();
    m_tree = std::make_unique<TzuTree>();
    m_tree->ShowRecord = [this](const QString &p) { m_shown << p; };
    m_tree->resize(300, 500);
    RecordTree = m_tree.get();
    // A trash of the test's own.
    ShellFiles::SetTrashFunction([this](const QString &p, QString *inTrash) {
        const QString target = m_trash->filePath(QFileInfo(p).fileName());
        if (inTrash)
            *inTrash = target;
        return QFileInfo(p).isDir() ? QDir().rename(p, target) : QFile::rename(p, target);
    });
}

void TestTreeEdit::cleanup()
{
    ShellFiles::SetTrashFunction({});
    RecordTree = nullptr;
    m_tree.reset();
}

void TestTreeEdit::make(const QStringList &entries)
{
    TreeHelpers::MakeEntries(m_dir->path(), entries);
    m_tree->LoadRoot(QDir::toNativeSeparators(m_dir->path()));
}

void TestTreeEdit::popupMenu()
{
    make({"A/Kim.txt"});
    QStringList captions;
    for (QAction *a : m_tree->PopupMenu->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(captions, QStringList({"잘라내기 &U", "붙여넣기 &S", "-", "이름변경 &R", "자료삭제 &E",
                                    "-", "폴더생성 &F", "자료생성 &D", "-", "트리갱신 &T"}));
    QVERIFY(!m_tree->mnuPaste->isEnabled());
    m_tree->PreparePopup(nullptr);
    QVERIFY(!m_tree->mnuCut->isEnabled());
    QVERIFY(!m_tree->mnuRename->isEnabled());
    QVERIFY(!m_tree->mnuDelete->isEnabled());
    QVERIFY(m_tree->mnuNewFolder->isEnabled());
    m_tree->PreparePopup(m_tree->topLevelItem(0));
    QVERIFY(m_tree->mnuCut->isEnabled());
    QVERIFY(m_tree->mnuDelete->isEnabled());
    m_tree->mnuCut->trigger();
    QVERIFY(m_tree->mnuPaste->isEnabled());
    QCOMPARE(m_tree->CutNode, m_tree->topLevelItem(0));
    // Reloading forgets the cut node.
    m_tree->mnuRefresh->trigger();
    QCOMPARE(m_tree->CutNode, nullptr);
    QVERIFY(!m_tree->mnuPaste->isEnabled());
}

void TestTreeEdit::createFolderAndRecord()
{
    make({"Friends/Lee.txt", "Friends/Park.txt"});
    ScriptedDialogs dialogs;
    QTreeWidgetItem *friends = child(*m_tree, nullptr, "Friends");
    m_tree->setCurrentItem(friends);

    QString proposal;
    dialogs.queueDialog([&proposal](QDialog &d) {
        proposal = static_cast<TfrmNewData &>(d).edtName->text();
        return typeNewEntry("Zed")(d);
    });
    m_tree->CreateRecord(false);
    QCOMPARE(proposal, QStringLiteral("Friends_01"));
    QVERIFY(QFileInfo(path("Friends/Zed.txt")).isFile());
    // Appended after the records until the folder is loaded again.
    QCOMPARE(texts(*m_tree, friends), QStringList({"Lee", "Park", "Zed"}));
    QCOMPARE(m_tree->SelectedNode()->text(0), QStringLiteral("Zed"));
    QVERIFY(TzuTree::IsRecord(m_tree->SelectedNode()));
    QCOMPARE(m_tree->SelectedFile, m_tree->RootDir + S + "Friends" + S + "Zed.txt");

    dialogs.queueDialog(typeNewEntry("Club"));
    m_tree->CreateFolder(false); // the selected record's folder
    QVERIFY(QFileInfo(path("Friends/Club")).isDir());
    QCOMPARE(texts(*m_tree, friends), QStringList({"Lee", "Park", "Zed", "Club"}));
    QVERIFY(TzuTree::IsFolder(m_tree->SelectedNode()));
    QCOMPARE(m_tree->SelectedFile, m_tree->RootDir + S + "Friends" + S + "Club" + S + "__g_t.zu");
    QCOMPARE(dialogs.asked.last().dialogTitle, QStringLiteral("새 자료 입력"));

    // With the root box ticked, the entry goes to the data directory.
    dialogs.queueDialog(typeNewEntry("Top", true));
    m_tree->CreateRecord(false);
    QVERIFY(QFileInfo(path("Top.txt")).isFile());
    QCOMPARE(texts(*m_tree).last(), QStringLiteral("Top"));
}

void TestTreeEdit::createFromPopupOverTopLevelRecord()
{
    make({"Kim.txt", "A/Lee.txt"});
    ScriptedDialogs dialogs;
    m_tree->setCurrentItem(child(*m_tree, nullptr, "A"));
    m_tree->PreparePopup(child(*m_tree, nullptr, "Kim"));
    dialogs.queueDialog(typeNewEntry("New"));
    m_tree->mnuNewFolder->trigger();
    QVERIFY(QFileInfo(path("New")).isDir());
    QVERIFY(child(*m_tree, nullptr, "New"));

    // Over a record inside a folder: into that folder.
    QTreeWidgetItem *a = child(*m_tree, nullptr, "A");
    m_tree->LoadChildren(a);
    m_tree->PreparePopup(child(*m_tree, a, "Lee"));
    dialogs.queueDialog(typeNewEntry("Sub"));
    m_tree->mnuNewFolder->trigger();
    QVERIFY(QFileInfo(path("A/Sub")).isDir());
}

void TestTreeEdit::createCancelled()
{
    make({"A/"});
    ScriptedDialogs dialogs;
    const int before = m_tree->topLevelItemCount();
    m_tree->CreateFolder(true);
    m_tree->CreateRecord(true);
    QCOMPARE(dialogs.dialogCount(), 2);
    QCOMPARE(m_tree->topLevelItemCount(), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"A"});
}

void TestTreeEdit::renameRecordWithCompanion()
{
    make({"F/__Kim/photo.jpg", "F/__Kim/sub/scan.pdf", "F/Other.txt"});
    TestFiles::write(path("F/Kim.txt"),
                     cp949(QStringLiteral("[data]\r\nHand=1\r\n[Memo]\r\nmany=3\r\n"
                                          "1=사진 \"__Kim\\photo.jpg\"\r\n"
                                          "2=\"__Kim/sub/scan.pdf\" and \"__Kim\\sub\\x\"\r\n"
                                          "3=__Kim\\not-quoted\r\n")));
    m_tree->LoadRoot(m_tree->RootDir);
    QTreeWidgetItem *f = child(*m_tree, nullptr, "F");
    m_tree->LoadChildren(f);
    QTreeWidgetItem *kim = child(*m_tree, f, "Kim");
    m_tree->setCurrentItem(kim);
    ScriptedDialogs dialogs;
    QString shown;
    dialogs.queueDialog(typeName("Lee", &shown));
    m_tree->RenameNode(kim);
    QCOMPARE(shown, QStringLiteral("Kim|New note name"));
    QCOMPARE(dialogs.messageCount(), 0);
    QCOMPARE(kim->text(0), QStringLiteral("Lee"));
    QVERIFY(!QFileInfo::exists(path("F/Kim.txt")));
    QVERIFY(!QFileInfo::exists(path("F/__Kim")));
    QCOMPARE(TestFiles::read(path("F/__Lee/photo.jpg")),
             QByteArray("[data]\r\nHand=F/__Kim/photo.jpg\r\n"));
    QVERIFY(QFileInfo(path("F/__Lee/sub/scan.pdf")).isFile());
    QCOMPARE(TestFiles::read(path("F/Lee.txt")),
             cp949(QStringLiteral("[data]\r\nHand=1\r\n[Memo]\r\nmany=3\r\n"
                                  "1=사진 \"__Lee\\photo.jpg\"\r\n"
                                  "2=\"__Lee/sub/scan.pdf\" and \"__Lee\\sub\\x\"\r\n"
                                  "3=__Kim\\not-quoted\r\n")));
    QCOMPARE(m_tree->SelectedFile, m_tree->RootDir + S + "F" + S + "Lee.txt");
}

void TestTreeEdit::renameFails_data()
{
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("newName");
    QTest::newRow("record onto record") << "Kim"
                                        << "Lee";
    QTest::newRow("record onto record, other case") << "Kim"
                                                    << "LEE";
    QTest::newRow("folder onto folder") << "A"
                                        << "B";
}

void TestTreeEdit::renameFails()
{
    QFETCH(QString, node);
    QFETCH(QString, newName);
    make({"Kim.txt", "Lee.txt", "A/x.txt", "B/"});
    const QByteArray lee = TestFiles::read(path("Lee.txt"));
    ScriptedDialogs dialogs;
    QTreeWidgetItem *item = child(*m_tree, nullptr, node);
    dialogs.queueDialog(typeName(newName));
    m_tree->RenameNode(item);
    QCOMPARE(dialogs.lastText(), QStringLiteral("Rename failed"));
    QCOMPARE(item->text(0), node);
    QCOMPARE(TestFiles::read(path("Lee.txt")), lee);
    QVERIFY(QFileInfo::exists(path("Kim.txt")));
    QVERIFY(QFileInfo(path("A/x.txt")).isFile());
}

void TestTreeEdit::renameToOwnNameLosesNothing_data()
{
    QTest::addColumn<QString>("newName");
    QTest::newRow("same") << "Kim";
    QTest::newRow("case only") << "KIM";
}

void TestTreeEdit::renameToOwnNameLosesNothing()
{
    QFETCH(QString, newName);
    make({"__Kim/photo.jpg", "__Kim/deep/a.txt"});
    TestFiles::write(path("Kim.txt"), "[Memo]\r\nmany=1\r\n1=\"__Kim\\photo.jpg\"\r\n");
    m_tree->LoadRoot(m_tree->RootDir);
    ScriptedDialogs dialogs;
    dialogs.queueDialog(typeName(newName));
    m_tree->RenameNode(child(*m_tree, nullptr, "Kim"));
    QCOMPARE(dialogs.messageCount(), 0);
    QVERIFY(QFileInfo(path(newName + ".txt")).isFile());
    QVERIFY(QFileInfo(path("__" + newName + "/photo.jpg")).isFile());
    QVERIFY(QFileInfo(path("__" + newName + "/deep/a.txt")).isFile());
    QCOMPARE(TestFiles::read(path(newName + ".txt")),
             QByteArray("[Memo]\r\nmany=1\r\n1=\"__") + newName.toUtf8() + "\\photo.jpg\"\r\n");
}

void TestTreeEdit::renameCompanionCopyFailureKeepsEverything()
{
    make({"__Kim/photo.jpg", "Kim.txt"});
    // Something that is no folder stands where the new companion folder would go.
    TestFiles::write(path("__Lee"), "in the way");
    m_tree->LoadRoot(m_tree->RootDir);
    ScriptedDialogs dialogs;
    dialogs.queueDialog(typeName("Lee"));
    QTreeWidgetItem *kim = child(*m_tree, nullptr, "Kim");
    m_tree->RenameNode(kim);
    QCOMPARE(dialogs.messageCount(), 1);
    QVERIFY(dialogs.lastText().startsWith(QStringLiteral("Rename failed")));
    QCOMPARE(kim->text(0), QStringLiteral("Kim"));
    QVERIFY(QFileInfo(path("Kim.txt")).isFile());
    QVERIFY(!QFileInfo::exists(path("Lee.txt")));
    QVERIFY(QFileInfo(path("__Kim/photo.jpg")).isFile());
    QCOMPARE(TestFiles::read(path("__Lee")), QByteArray("in the way"));
}

void TestTreeEdit::renameTellsOfReferencesLeft()
{
    // The new name does not fit code page 949, and the record holds bytes that do not decode.
    make({"__Kim/photo.jpg"});
    TestFiles::write(path("Kim.txt"), "[data]\r\nHand=\x81\x20\r\n1=\"__Kim\\photo.jpg\"\r\n");
    m_tree->LoadRoot(m_tree->RootDir);
    ScriptedDialogs dialogs;
    dialogs.queueDialog(typeName(QStringLiteral("Lee😀")));
    QTreeWidgetItem *kim = child(*m_tree, nullptr, "Kim");
    m_tree->RenameNode(kim);
    QCOMPARE(kim->text(0), QStringLiteral("Lee😀"));
    QVERIFY(QFileInfo(path(QStringLiteral("__Lee😀/photo.jpg"))).isFile());
    QCOMPARE(TestFiles::read(path(QStringLiteral("Lee😀.txt"))),
             QByteArray("[data]\r\nHand=\x81\x20\r\n1=\"__Kim\\photo.jpg\"\r\n"));
    QCOMPARE(dialogs.messageCount(), 1);
    QVERIFY(dialogs.lastText().contains(QStringLiteral("__Kim")));
}

void TestTreeEdit::renameFolder()
{
    make({"A/x.txt"});
    ScriptedDialogs dialogs;
    QString shown;
    dialogs.queueDialog(typeName("  Family  ", &shown));
    QTreeWidgetItem *a = child(*m_tree, nullptr, "A");
    m_tree->setCurrentItem(a);
    m_tree->RenameNode(a);
    QCOMPARE(shown, QStringLiteral("A|New folder name"));
    QCOMPARE(a->text(0), QStringLiteral("Family"));
    QVERIFY(QFileInfo(path("Family/x.txt")).isFile());
    QCOMPARE(m_tree->SelectedFile, m_tree->RootDir + S + "Family" + S + "__g_t.zu");
}

void TestTreeEdit::deleteToTrash()
{
    make({"Kim.txt", "__Kim/photo.jpg", "Lee.txt", "A/x.txt"});
    ScriptedDialogs dialogs;
    QTreeWidgetItem *kim = child(*m_tree, nullptr, "Kim");
    m_tree->setCurrentItem(kim);
    dialogs.queueButton(DialogService::Ok);
    m_tree->DeleteNode(kim);
    const DialogService::Message &q = dialogs.asked.first().message;
    QCOMPARE(q.text, QStringLiteral("Kim 를(을) 삭제할까요?"));
    QCOMPARE(q.caption, QStringLiteral("자료 삭제!!"));
    QCOMPARE(q.buttons, DialogService::Ok | DialogService::Cancel);
    QCOMPARE(q.defaultButton, DialogService::Cancel);
    QCOMPARE(q.icon, DialogService::Icon::Question);
    QVERIFY(!QFileInfo::exists(path("Kim.txt")));
    QVERIFY(!QFileInfo::exists(path("__Kim")));
    QVERIFY(QFileInfo(m_trash->filePath("Kim.txt")).isFile());
    QVERIFY(QFileInfo(m_trash->filePath("__Kim/photo.jpg")).isFile());
    QCOMPARE(texts(*m_tree), QStringList({"A", "Lee"}));
    QVERIFY(m_tree->SelectedNode());
    QCOMPARE(m_shown.last(), m_tree->SelectedFile);

    // A folder goes with everything in it.
    dialogs.queueButton(DialogService::Ok);
    m_tree->DeleteNode(child(*m_tree, nullptr, "A"));
    QVERIFY(QFileInfo(m_trash->filePath("A/x.txt")).isFile());
    QCOMPARE(texts(*m_tree), QStringList{"Lee"});
}

void TestTreeEdit::deleteLastNodeClearsView()
{
    make({"Kim.txt"});
    ScriptedDialogs dialogs;
    m_tree->setCurrentItem(m_tree->topLevelItem(0));
    dialogs.queueButton(DialogService::Ok);
    m_tree->DeleteNode(m_tree->topLevelItem(0));
    QCOMPARE(m_tree->topLevelItemCount(), 0);
    QCOMPARE(m_tree->SelectedFile, QString());
    QCOMPARE(m_shown.last(), QString());
}

void TestTreeEdit::deleteRefusedByTrash()
{
    make({"Kim.txt", "__Kim/photo.jpg"});
    // The trash takes the companion folder but not the record.
    ShellFiles::SetTrashFunction([this](const QString &p, QString *inTrash) {
        if (p.endsWith(u".txt"))
            return false;
        const QString target = m_trash->filePath(QFileInfo(p).fileName());
        *inTrash = target;
        return QDir().rename(p, target);
    });
    ScriptedDialogs dialogs;
    QTreeWidgetItem *kim = m_tree->topLevelItem(0);
    m_tree->setCurrentItem(kim);
    dialogs.queueButton(DialogService::Ok);
    m_tree->DeleteNode(kim);
    QCOMPARE(dialogs.messageCount(), 2);
    QVERIFY(dialogs.lastText().contains(QStringLiteral("trash")));
    QCOMPARE(m_tree->topLevelItem(0), kim);
    QVERIFY(QFileInfo(path("Kim.txt")).isFile());
    QVERIFY(QFileInfo(path("__Kim/photo.jpg")).isFile());
}

void TestTreeEdit::deleteCancelled()
{
    make({"Kim.txt"});
    ScriptedDialogs dialogs; // answers with the default button, Cancel
    m_tree->DeleteNode(m_tree->topLevelItem(0));
    QVERIFY(QFileInfo(path("Kim.txt")).isFile());
    QCOMPARE(m_tree->topLevelItemCount(), 1);
}

void TestTreeEdit::moveIntoOwnSubfolder_data()
{
    QTest::addColumn<QString>("onto");
    QTest::newRow("sub-folder") << "A/B";
    QTest::newRow("record inside") << "A/B/x";
}

void TestTreeEdit::moveIntoOwnSubfolder()
{
    QFETCH(QString, onto);
    make({"A/B/x.txt"});
    QTreeWidgetItem *a = child(*m_tree, nullptr, "A");
    m_tree->LoadChildren(a);
    QTreeWidgetItem *b = child(*m_tree, a, "B");
    m_tree->LoadChildren(b);
    QTreeWidgetItem *target = onto == u"A/B" ? b : child(*m_tree, b, "x");
    ScriptedDialogs dialogs;
    m_tree->MoveNode(target, a);
    QCOMPARE(dialogs.lastText(), QStringLiteral("하위로의 이동은 안됩니다."));
    QVERIFY(QFileInfo(path("A/B/x.txt")).isFile());
}

void TestTreeEdit::moveRecordOntoRecord()
{
    make({"Kim.txt", "__Kim/photo.jpg", "A/Lee.txt"});
    QTreeWidgetItem *a = child(*m_tree, nullptr, "A");
    m_tree->LoadChildren(a);
    ScriptedDialogs dialogs;
    // The popup opened over the node dropped on; that node is rebuilt by the move.
    m_tree->PreparePopup(child(*m_tree, a, "Lee"));
    m_tree->MoveNode(m_tree->HotNode, child(*m_tree, nullptr, "Kim"));
    QCOMPARE(m_tree->HotNode, nullptr);
    QCOMPARE(dialogs.messageCount(), 0);
    QVERIFY(QFileInfo(path("A/Kim.txt")).isFile());
    QVERIFY(QFileInfo(path("A/__Kim/photo.jpg")).isFile());
    QVERIFY(!QFileInfo::exists(path("__Kim")));
    a = child(*m_tree, nullptr, "A");
    QCOMPARE(texts(*m_tree, a), QStringList({"Kim", "Lee"}));
    QCOMPARE(m_tree->SelectedNode(), child(*m_tree, a, "Kim"));
    QCOMPARE(m_tree->SelectedFile, m_tree->RootDir + S + "A" + S + "Kim.txt");
    QCOMPARE(m_shown.size(), 1); // told once, at the end
}

void TestTreeEdit::moveOntoEmptySpace()
{
    make({"A/Kim.txt", "B/"});
    QTreeWidgetItem *a = child(*m_tree, nullptr, "A");
    m_tree->LoadChildren(a);
    ScriptedDialogs dialogs;
    m_tree->MoveNode(nullptr, child(*m_tree, a, "Kim"));
    QVERIFY(QFileInfo(path("Kim.txt")).isFile());
    QCOMPARE(texts(*m_tree), QStringList({"A", "B", "Kim"}));
    QVERIFY(!child(*m_tree, nullptr, "A")->isExpanded());
    QCOMPARE(m_tree->SelectedNode(), child(*m_tree, nullptr, "Kim"));
}

void TestTreeEdit::cutAndPaste()
{
    make({"A/Kim.txt"});
    QTreeWidgetItem *a = child(*m_tree, nullptr, "A");
    m_tree->LoadChildren(a);
    ScriptedDialogs dialogs;
    m_tree->PreparePopup(child(*m_tree, a, "Kim"));
    m_tree->mnuCut->trigger();
    m_tree->PreparePopup(nullptr);
    m_tree->mnuPaste->trigger();
    QVERIFY(QFileInfo(path("Kim.txt")).isFile());
    QVERIFY(!m_tree->mnuPaste->isEnabled());
    QCOMPARE(m_tree->CutNode, nullptr);

    // A refused paste disables Paste too.
    m_tree->PreparePopup(child(*m_tree, nullptr, "A"));
    m_tree->mnuCut->trigger();
    m_tree->PreparePopup(child(*m_tree, nullptr, "A"));
    m_tree->mnuPaste->trigger();
    QVERIFY(!m_tree->mnuPaste->isEnabled());
    QVERIFY(QFileInfo(path("A")).isDir());
}

void TestTreeEdit::moveAsksBeforeReplacing_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("no") << int(DialogService::No);
    QTest::newRow("yes") << int(DialogService::Yes);
}

void TestTreeEdit::moveAsksBeforeReplacing()
{
    QFETCH(int, answer);
    make({"Kim.txt", "__Kim/new.jpg", "A/"});
    TestFiles::write(path("A/Kim.txt"), "old");
    QDir().mkpath(path("A/__Kim"));
    TestFiles::write(path("A/__Kim/old.jpg"), "old");
    ScriptedDialogs dialogs;
    dialogs.queueButton(DialogService::Button(answer));
    dialogs.queueButton(DialogService::Button(answer));
    m_tree->MoveNode(child(*m_tree, nullptr, "A"), child(*m_tree, nullptr, "Kim"));
    QVERIFY(dialogs.messageCount() >= 1);
    QVERIFY(dialogs.asked.first().message.text.contains(QStringLiteral("Replace")));
    if (answer == DialogService::No) {
        QCOMPARE(TestFiles::read(path("A/Kim.txt")), QByteArray("old"));
        QVERIFY(QFileInfo(path("A/__Kim/old.jpg")).isFile());
        QVERIFY(QFileInfo(path("Kim.txt")).isFile());
        QVERIFY(QFileInfo(path("__Kim/new.jpg")).isFile());
        QVERIFY(child(*m_tree, nullptr, "Kim"));
    } else {
        QCOMPARE(TestFiles::read(path("A/Kim.txt")), QByteArray("[data]\r\nHand=Kim.txt\r\n"));
        QVERIFY(QFileInfo(path("A/__Kim/new.jpg")).isFile());
        QVERIFY(!QFileInfo::exists(path("A/__Kim/old.jpg")));
        QVERIFY(!QFileInfo::exists(path("Kim.txt")));
        QVERIFY(!QFileInfo::exists(path("__Kim")));
    }
}

void TestTreeEdit::moveIntoSameFolderIsRefused()
{
    make({"A/Kim.txt"});
    QTreeWidgetItem *a = child(*m_tree, nullptr, "A");
    m_tree->LoadChildren(a);
    ScriptedDialogs dialogs;
    m_tree->MoveNode(a, child(*m_tree, a, "Kim"));
    QCOMPARE(dialogs.messageCount(), 1);
    QVERIFY(QFileInfo(path("A/Kim.txt")).isFile());
    QVERIFY(child(*m_tree, a, "Kim"));
}

void TestTreeEdit::moveFailureChangesNothing_data()
{
    QTest::addColumn<QString>("spoiled");
    QTest::addColumn<QString>("locked");
    QTest::newRow("companion cannot be copied") << "__Kim/b.jpg" << QString();
    QTest::newRow("companion only partly deletable") << QString() << "__Kim/z";
}

void TestTreeEdit::moveFailureChangesNothing()
{
    QFETCH(QString, spoiled);
    QFETCH(QString, locked);
    // A is another file system: the record and its companion folder are copied and deleted.
    FileTraps traps;
    if (!traps.otherFileSystemAt(path("A")))
        QSKIP(qPrintable(traps.why()));
    make({"Kim.txt", "__Kim/a.jpg", "__Kim/b.jpg", "__Kim/z/c.jpg", "A/Lee.txt"});
    if (!spoiled.isEmpty() && !traps.spoilCopy(path(spoiled)))
        QSKIP(qPrintable(traps.why()));
    if (!locked.isEmpty() && !traps.lockFolder(path(locked)))
        QSKIP(qPrintable(traps.why()));
    const auto before = Snapshot(m_dir->path());
    const auto inA = Snapshot(path("A"));
    ScriptedDialogs dialogs;
    m_tree->MoveNode(child(*m_tree, nullptr, "A"), child(*m_tree, nullptr, "Kim"));
    QCOMPARE(dialogs.messageCount(), 1);
    QCOMPARE(Snapshot(m_dir->path()), before);
    QCOMPARE(Snapshot(path("A")), inA);
    QVERIFY(child(*m_tree, nullptr, "Kim"));
}

void TestTreeEdit::dropEvent()
{
    make({"A/", "Kim.txt"});
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    QTreeWidgetItem *kim = child(*m_tree, nullptr, "Kim");
    m_tree->setCurrentItem(kim);
    const QPoint onA = m_tree->visualItemRect(child(*m_tree, nullptr, "A")).center();
    ScriptedDialogs dialogs;
    m_tree->DropAt(onA);
    QVERIFY(QFileInfo(path("A/Kim.txt")).isFile());
    QCOMPARE(m_tree->SelectedNode()->text(0), QStringLiteral("Kim"));
    QCOMPARE(m_tree->SelectedNode()->parent()->text(0), QStringLiteral("A"));
    // Dropped below the last node: the data directory.
    m_tree->DropAt(QPoint(10, m_tree->viewport()->height() - 2));
    QVERIFY(QFileInfo(path("Kim.txt")).isFile());
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    TestTreeEdit test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_treeedit.moc"
