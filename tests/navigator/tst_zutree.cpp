#include "navigator/zuTree.h"
#include "platform/Application.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/TreeHelpers.h"

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString S = QDir::separator();

using TreeHelpers::MakeEntries;

QStringList texts(const TzuTree &tree, QTreeWidgetItem *parent = nullptr)
{
    return TreeHelpers::NodeTexts(tree, parent, true);
}

QTreeWidgetItem *find(const TzuTree &tree, const QString &text, QTreeWidgetItem *parent = nullptr)
{
    return TreeHelpers::FindNode(tree, parent, text);
}

} // namespace

class TestZuTree : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loadsOneLevel_data();
    void loadsOneLevel();
    void placeholders_data();
    void placeholders();
    void loadRootTrailingSeparator_data();
    void loadRootTrailingSeparator();
    void missingOrBrokenRoot_data();
    void missingOrBrokenRoot();
    void fileSystemRootStaysARoot();
    void pathsOfNodes();
    void selectionShowsRecord();
    void setSelectedFileRefreshRule();
    void clickOnLabelOpensFolder();
    void clickOnExpandButtonLoads();
    void doubleClickGuard();
    void keysLoad();
    void vanishedFolderStaysClosed();
    void syncFolderFollowsTheDisk();
    void linkLoopDoesNotHang();
    void namesThatAreNoUtf8_data();
    void namesThatAreNoUtf8();
    void locatePath_data();
    void locatePath();

private:
    TzuTree *makeTreeWidget();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuTree> m_tree;
    QStringList m_shown;
    QString root() const { return QDir::toNativeSeparators(m_dir->path()); }
};

void TestZuTree::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_shown.clear();
    m_tree.reset(makeTreeWidget());
}

void TestZuTree::cleanup()
{
    m_tree.reset();
}

TzuTree *TestZuTree::makeTreeWidget()
{
    auto *tree = new TzuTree;
    tree->ShowRecord = [this](const QString &path) { m_shown << path; };
    tree->resize(300, 400);
    return tree;
}

void TestZuTree::loadsOneLevel_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("top");
    QTest::newRow("folders first, case-insensitive order")
        << QStringList{"b.txt", "A.txt", "Zed/", "alpha/", "c.TXT"}
        << QStringList{"alpha/", "Zed/", "A", "b", "c"};
    QTest::newRow("hidden names") << QStringList{".git/", "__Kim/", "__x.txt", ".hidden.txt",
                                                 "Kim.txt"}
                                  << QStringList{"__x", "Kim"};
    QTest::newRow("only .txt is a record")
        << QStringList{"photo.jpg", "note.doc", "__g_t.zu", "a.b.txt", "KIM.TXT", "x.txt.bak"}
        << QStringList{"a.b", "KIM"};
    QTest::newRow("korean") << QStringList{"홍길동.txt", "가족/", "김철수.txt"}
                            << QStringList{"가족/", "김철수", "홍길동"};
}

void TestZuTree::loadsOneLevel()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, top);
    MakeEntries(m_dir->path(), entries);
    m_tree->LoadRoot(root());
    QCOMPARE(texts(*m_tree), top);
    QVERIFY(m_tree->selectedItems().isEmpty());
    QVERIFY(m_shown.isEmpty());
}

void TestZuTree::placeholders_data()
{
    QTest::addColumn<QStringList>("inside"); // entries inside folder F
    QTest::addColumn<bool>("expandable");
    QTest::addColumn<QStringList>("loaded"); // children after opening
    QTest::newRow("records") << QStringList{"a.txt", "Sub/"} << true << QStringList{"Sub/", "a"};
    QTest::newRow("only other files")
        << QStringList{"photo.jpg"} << true << QStringList{TzuTree::PlaceholderText};
    QTest::newRow("only hidden entries")
        << QStringList{".x/", "__Kim/", ".y.txt"} << false << QStringList{};
    QTest::newRow("empty") << QStringList{} << false << QStringList{};
}

void TestZuTree::placeholders()
{
    QFETCH(QStringList, inside);
    QFETCH(bool, expandable);
    QFETCH(QStringList, loaded);
    QDir().mkpath(m_dir->filePath("F"));
    for (const QString &e : inside)
        MakeEntries(m_dir->filePath("F"), {e});
    m_tree->LoadRoot(root());
    QTreeWidgetItem *f = find(*m_tree, "F");
    QVERIFY(f);
    QCOMPARE(TzuTree::FirstChildIsPlaceholder(f), expandable);
    m_tree->LoadChildren(f);
    QCOMPARE(texts(*m_tree, f), loaded);
    // A folder that only holds other files cannot be opened.
    QCOMPARE(f->isExpanded(), !loaded.isEmpty() && !TzuTree::FirstChildIsPlaceholder(f));
    if (TzuTree::FirstChildIsPlaceholder(f)) {
        m_tree->expandItem(f);
        QVERIFY(!f->isExpanded());
    }
}

void TestZuTree::loadRootTrailingSeparator_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expectedSuffix");
    QTest::newRow("none") << ""
                          << "";
    QTest::newRow("one") << S << "";
    QTest::newRow("two") << S + S << S;
}

void TestZuTree::loadRootTrailingSeparator()
{
    QFETCH(QString, suffix);
    QFETCH(QString, expectedSuffix);
    MakeEntries(m_dir->path(), {"Kim.txt"});
    m_tree->LoadRoot(root() + suffix);
    QCOMPARE(m_tree->RootDir, root() + expectedSuffix);
    QCOMPARE(m_tree->topLevelItemCount(), 1);
}

void TestZuTree::missingOrBrokenRoot_data()
{
    QTest::addColumn<QString>("which");
    QTest::newRow("missing") << "missing";
    QTest::newRow("a file") << "file";
    QTest::newRow("empty path") << "";
}

void TestZuTree::missingOrBrokenRoot()
{
    QFETCH(QString, which);
    // The working folder holds entries, which an empty path must not bring in.
    MakeEntries(m_dir->path(), {"file", "cwd/Kim.txt", "cwd/A/"});
    const QString before = QDir::currentPath();
    QDir::setCurrent(m_dir->filePath("cwd"));
    const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
    m_tree->SelectedFile = "/previous.txt";
    m_tree->LoadRoot(which.isEmpty() ? which : m_dir->filePath(which));
    QCOMPARE(m_tree->topLevelItemCount(), 0);
    QCOMPARE(m_tree->SelectedFile, QStringLiteral("/previous.txt"));
    QVERIFY(m_shown.isEmpty());
    QVERIFY(!m_tree->HasDataDir());
    QVERIFY(m_tree->NoDataDirText().contains(QStringLiteral("데이터 폴더")));
    // Nothing can be created anywhere.
    ScriptedDialogs dialogs;
    m_tree->CreateFolder(true);
    m_tree->CreateRecord(false);
    QCOMPARE(dialogs.asked.size(), 0);
    QCOMPARE(QDir(m_dir->filePath("cwd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList({"A", "Kim.txt"}));

    // Once the folder is there, a refresh shows it.
    MakeEntries(m_dir->path(), {"missing/Lee.txt"});
    m_tree->LoadRoot(m_tree->RootDir);
    QCOMPARE(m_tree->HasDataDir(), which == u"missing");
    QCOMPARE(m_tree->NoDataDirText().isEmpty(), which == u"missing");
}

void TestZuTree::fileSystemRootStaysARoot()
{
#ifdef Q_OS_WIN
    QSKIP("The test lists the root of a Unix file system.");
#endif
    m_tree->LoadRoot(QStringLiteral("/"));
    QCOMPARE(m_tree->RootDir, QStringLiteral("/"));
    QVERIFY(m_tree->HasDataDir());
    QVERIFY(m_tree->topLevelItemCount() > 0);
    const QTreeWidgetItem *first = m_tree->topLevelItem(0);
    QCOMPARE(m_tree->NodePath(first), "/" + first->text(0));
    QVERIFY(QFileInfo::exists(m_tree->NodePath(first)));
}

void TestZuTree::pathsOfNodes()
{
    MakeEntries(m_dir->path(), {"A/B/KIM.TXT", "A/Lee.txt"});
    m_tree->LoadRoot(root());
    QTreeWidgetItem *a = find(*m_tree, "A");
    m_tree->LoadChildren(a);
    QTreeWidgetItem *b = find(*m_tree, "B", a);
    m_tree->LoadChildren(b);
    QTreeWidgetItem *kim = find(*m_tree, "KIM", b);
    QVERIFY(kim);
    QCOMPARE(m_tree->NodePath(nullptr), root());
    QCOMPARE(m_tree->NodePath(a), root() + S + "A");
    QCOMPARE(m_tree->NodePath(kim), root() + S + "A" + S + "B" + S + "KIM");
    QCOMPARE(m_tree->SelectionPath(), QString());
    m_tree->setCurrentItem(kim);
    // The extension is rebuilt in lower case; the file system layer finds KIM.TXT.
    QCOMPARE(m_tree->SelectionPath(), root() + S + "A" + S + "B" + S + "KIM.txt");
    m_tree->setCurrentItem(b);
    QCOMPARE(m_tree->SelectionPath(), root() + S + "A" + S + "B" + S);
}

void TestZuTree::selectionShowsRecord()
{
    MakeEntries(m_dir->path(), {"Co/__g_t.zu", "Co/Kim.txt"});
    m_tree->LoadRoot(root());
    QTreeWidgetItem *co = find(*m_tree, "Co");
    m_tree->setCurrentItem(co);
    QCOMPARE(m_tree->SelectedFile, root() + S + "Co" + S + "__g_t.zu");
    m_tree->LoadChildren(co);
    m_tree->setCurrentItem(find(*m_tree, "Kim", co));
    QCOMPARE(m_tree->SelectedFile, root() + S + "Co" + S + "Kim.txt");
    QCOMPARE(m_shown,
             QStringList({root() + S + "Co" + S + "__g_t.zu", root() + S + "Co" + S + "Kim.txt"}));
    // Reloading detaches the handler: nothing reaches the view.
    m_tree->LoadRoot(root());
    QCOMPARE(m_shown.size(), 2);
}

void TestZuTree::setSelectedFileRefreshRule()
{
    const QString folder = root() + S + "Co" + S;
    m_tree->SetSelectedFile(folder);
    m_tree->SetSelectedFile(folder);
    QCOMPARE(m_shown.size(), 2);
    QCOMPARE(m_tree->SelectedFile, folder + "__g_t.zu");
    const QString record = root() + S + "Kim.txt";
    m_tree->SetSelectedFile(record);
    m_tree->SetSelectedFile(record);
    QCOMPARE(m_shown.size(), 3);
    m_tree->SetSelectedFile(QString());
    QCOMPARE(m_shown.last(), QString());
}

void TestZuTree::clickOnLabelOpensFolder()
{
    MakeEntries(m_dir->path(), {"A/Kim.txt", "A/Lee.txt"});
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    m_tree->LoadRoot(root());
    QTreeWidgetItem *a = find(*m_tree, "A");
    const QRect r = m_tree->visualItemRect(a);
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, r.center());
    QVERIFY(a->isExpanded());
    QCOMPARE(texts(*m_tree, a), QStringList({"Kim", "Lee"}));
    QCOMPARE(m_tree->SelectedNode(), a);
    QCOMPARE(m_tree->HotNode, a);
}

void TestZuTree::clickOnExpandButtonLoads()
{
    MakeEntries(m_dir->path(), {"A/Kim.txt"});
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    m_tree->LoadRoot(root());
    QTreeWidgetItem *a = find(*m_tree, "A");
    const QRect r = m_tree->visualItemRect(a);
    // Left of the item's cell: the expand button.
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, QPoint(r.left() - 8, r.center().y()));
    QVERIFY(a->isExpanded());
    QCOMPARE(texts(*m_tree, a), QStringList{"Kim"});
    // A second click on the loaded folder's button closes it the usual way.
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, QPoint(r.left() - 8, r.center().y()));
    QVERIFY(!a->isExpanded());
}

void TestZuTree::doubleClickGuard()
{
    MakeEntries(m_dir->path(), {"A/Kim.txt"});
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    m_tree->LoadRoot(root());
    QTreeWidgetItem *a = find(*m_tree, "A");
    const QPoint label = m_tree->visualItemRect(a).center();
    // First click opens; the double-click that follows at once leaves it open.
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, label);
    QVERIFY(a->isExpanded());
    QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, {}, label);
    QVERIFY(a->isExpanded());
    // Later, a double-click on the open folder's label closes it.
    m_tree->LastExpandTick = TzuTree::TickCount() - 1000;
    QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, {}, label);
    QVERIFY(!a->isExpanded());
}

void TestZuTree::keysLoad()
{
    MakeEntries(m_dir->path(), {"A/Kim.txt", "B/Lee.txt"});
    m_tree->show();
    m_tree->LoadRoot(root());
    QTreeWidgetItem *a = find(*m_tree, "A");
    QTreeWidgetItem *b = find(*m_tree, "B");
    m_tree->setCurrentItem(a);
    QTest::keyClick(m_tree.get(), Qt::Key_Right);
    QVERIFY(a->isExpanded());
    QCOMPARE(texts(*m_tree, a), QStringList{"Kim"});
    QCOMPARE(m_tree->SelectedNode(), a);
    m_tree->setCurrentItem(b);
    QTest::keyClick(m_tree.get(), Qt::Key_Return);
    QVERIFY(b->isExpanded());
}

void TestZuTree::vanishedFolderStaysClosed()
{
    MakeEntries(m_dir->path(), {"A/Kim.txt"});
    m_tree->LoadRoot(root());
    QTreeWidgetItem *a = find(*m_tree, "A");
    QVERIFY(QDir(m_dir->filePath("A")).removeRecursively());
    m_tree->LoadChildren(a);
    QVERIFY(TzuTree::FirstChildIsPlaceholder(a));
    QVERIFY(!a->isExpanded());
}

void TestZuTree::namesThatAreNoUtf8_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("agree");
    QTest::addColumn<QString>("shownAfter"); // the record node after the question, or empty
    const QByteArray kim = TestFiles::cp949(QStringLiteral("김철수.txt"));
    QTest::newRow("renamed") << kim << true << QStringLiteral("김철수");
    QTest::newRow("declined") << kim << false << QString();
    // 0x81 0x20 is no code page 949 either: it cannot be given a readable name.
    QTest::newRow("no code page 949") << QByteArray("\x81\x20.txt") << true << QString();
}

void TestZuTree::namesThatAreNoUtf8()
{
    QFETCH(QByteArray, raw);
    QFETCH(bool, agree);
    QFETCH(QString, shownAfter);
    MakeEntries(m_dir->path(), {"Lee.txt"});
    TestFiles::writeRawName(m_dir->path(), raw, "[data]\r\nHand=010\r\n");
    // What is left under a name Qt cannot spell goes by its bytes.
    const auto tidy = qScopeGuard([&] { TestFiles::removeRawName(m_dir->path(), raw); });
    ScriptedDialogs dialogs;
    dialogs.queueButton(agree ? DialogService::Yes : DialogService::No);
    m_tree->LoadRoot(root());
    // Not shown, since no path made of its name would reach it.
    QCOMPARE(m_tree->topLevelItemCount(), 1);
    m_tree->setCurrentItem(m_tree->topLevelItem(0));
    QTRY_COMPARE(dialogs.messageCount() >= 1, true);
    // A folder loaded anew keeps its selection.
    QCOMPARE(m_tree->SelectedNode()->text(0), QStringLiteral("Lee"));
    QVERIFY(dialogs.asked.first().message.text.contains(QStringLiteral("UTF-8")));
    QStringList expected{"Lee"};
    if (!shownAfter.isEmpty())
        expected.append(shownAfter);
    QCOMPARE(TreeHelpers::NodeTexts(*m_tree, nullptr, false), expected);
    const bool failedToRename = agree && shownAfter.isEmpty();
    QCOMPARE(dialogs.messageCount(), failedToRename ? 2 : 1);
    if (!shownAfter.isEmpty())
        QCOMPARE(TestFiles::read(m_dir->filePath(shownAfter + ".txt")),
                 QByteArray("[data]\r\nHand=010\r\n"));
    // Asked once: loading the folder again asks nothing more.
    m_tree->LoadRoot(root());
    QTest::qWait(1);
    QCOMPARE(dialogs.messageCount(), failedToRename ? 2 : 1);
}

void TestZuTree::syncFolderFollowsTheDisk()
{
    MakeEntries(m_dir->path(), {"A/B/x.txt", "A/Kim.txt", "A/Lee.txt", "C/y.txt", "Top.txt"});
    m_tree->LoadRoot(root());
    QTreeWidgetItem *a = find(*m_tree, "A");
    m_tree->LoadChildren(a);
    QTreeWidgetItem *b = find(*m_tree, "B", a);
    m_tree->LoadChildren(b);
    m_tree->setCurrentItem(find(*m_tree, "Lee", a));
    // Others add and remove entries, and empty the unloaded folder C.
    MakeEntries(m_dir->path(), {"A/Gong.txt", "A/New/z.txt", "Top2.txt"});
    QVERIFY(QFile::remove(m_dir->filePath("A/Kim.txt")));
    QVERIFY(QFile::remove(m_dir->filePath("C/y.txt")));
    m_shown.clear();
    m_tree->SyncFolder(root() + S + "A");
    m_tree->SyncFolder(root() + S + "C");
    m_tree->SyncFolder(root());
    QCOMPARE(texts(*m_tree, a), QStringList({"B/", "New/", "Gong", "Lee"}));
    QCOMPARE(texts(*m_tree), QStringList({"A/", "C/", "Top", "Top2"}));
    QVERIFY(find(*m_tree, "C")->childCount() == 0);
    // What was open and selected stays so, and the view was not touched.
    QVERIFY(a->isExpanded() && b->isExpanded());
    QCOMPARE(m_tree->SelectedNode()->text(0), QStringLiteral("Lee"));
    QVERIFY(m_shown.isEmpty());
    // The selected record removed outside: nothing selected, the view cleared.
    QVERIFY(QFile::remove(m_dir->filePath("A/Lee.txt")));
    m_tree->SyncFolder(root() + S + "A");
    QVERIFY(!m_tree->SelectedNode());
    QCOMPARE(m_shown, QStringList{QString()});
}

void TestZuTree::linkLoopDoesNotHang()
{
    MakeEntries(m_dir->path(), {"A/Kim.txt"});
    QVERIFY(QFile::link(m_dir->path(), m_dir->filePath("A/loop")));
    m_tree->LoadRoot(root());
    QTreeWidgetItem *node = find(*m_tree, "A");
    // Each level of the loop is one more lazy load; nothing runs away.
    for (int level = 0; level < 5 && node; ++level) {
        m_tree->LoadChildren(node);
        QTreeWidgetItem *loop = find(*m_tree, "loop", node);
        QVERIFY(loop);
        node = find(*m_tree, "A", loop);
        m_tree->LoadChildren(loop);
        node = find(*m_tree, "A", loop);
    }
    QVERIFY(node);
}

void TestZuTree::locatePath_data()
{
    QTest::addColumn<QString>("rel");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("selected"); // SelectionPath relative to the root
    QTest::newRow("folder record") << "A/B/__g_t.zu" << true << "A/B/";
    QTest::newRow("record") << "A/Kim.txt" << true << "A/Kim.txt";
    QTest::newRow("record before same-named folder") << "Kim.txt" << true << "Kim.txt";
    QTest::newRow("folder") << "Kim" << true << "Kim/";
    QTest::newRow("ascii case") << "a/kim.txt" << true << "A/Kim.txt";
    QTest::newRow("korean") << "가족/어머니.txt" << true << "가족/어머니.txt";
    QTest::newRow("missing") << "A/Nobody.txt" << false << "";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("companion folder") << "__Kim/note.txt" << false << "";
    QTest::newRow("upper-case extension is not .txt") << "A/Kim.TXT" << false << "";
    QTest::newRow("second candidate") << "Dup/Deep/x.txt" << true << "Dup/Deep/x.txt";
}

void TestZuTree::locatePath()
{
    QFETCH(QString, rel);
    QFETCH(bool, found);
    QFETCH(QString, selected);
    MakeEntries(m_dir->path(), {"A/B/__g_t.zu", "A/Kim.txt", "Kim/Lee.txt", "Kim.txt",
                                "가족/어머니.txt", "__Kim/note.txt", "Dup/Deep/x.txt", "dup/"});
    m_tree->LoadRoot(root());
    QCOMPARE(m_tree->LocatePath(QDir::toNativeSeparators(rel)), found);
    const QString path = m_tree->SelectionPath();
    QCOMPARE(path.isEmpty() ? QString() : QDir::fromNativeSeparators(path.mid(root().size() + 1)),
             selected);
    if (found && selected.endsWith(u'/')) {
        // A folder found is opened.
        QVERIFY(!TzuTree::FirstChildIsPlaceholder(m_tree->SelectedNode()));
    }
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    TestZuTree test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_zutree.moc"
