#include "app/Config.h"
#include "app/ProjectInc.h"
#include "app/SyncSettings.h"
#include "app/main.h"
#include "navigator/FilterBox.h"
#include "navigator/MenuTree.h"
#include "navigator/zuTree.h"
#include "picker/FolderBrowser.h"
#include "picker/FolderPicker.h"
#include "platform/DialogService.h"
#include "records/DeletedRecords.h"
#include "records/FindDuplicates.h"
#include "records/ModifyData.h"
#include "records/NewData.h"
#include "records/RecordHistory.h"
#include "records/UserFileName.h"
#include "records/book.h"
#include "support/FakeDesktop.h"
#include "support/FakeKeyring.h"
#include "support/TestFiles.h"
#include "widgets/zuFormThreeColorTable.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>

// What a screen reader finds in the program: every control a person can reach has a name, Tab
// goes through each dialog in reading order, and every action works from the keyboard.
class TestAccessibility : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mainWindowControlsAreNamed();
    void dialogControlsAreNamed_data();
    void dialogControlsAreNamed();
    void messageAndInputBoxesAreNamed_data();
    void messageAndInputBoxesAreNamed();
    void tabOrderFollowsReadingOrder_data();
    void tabOrderFollowsReadingOrder();

    void valuesReadAsCaptionAndValue_data();
    void valuesReadAsCaptionAndValue();
    void directoryButtonsToldApart();
    void treeItemsReadAsFolderOrRecord();

    void valueKeys_data();
    void valueKeys();
    void directoryKeys();
    void treePopupFromKeyboard_data();
    void treePopupFromKeyboard();

private:
    QString dataDir() const { return m_dir->filePath(QStringLiteral("PhoneData")); }
    QTreeWidgetItem *select(const QString &relPath);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<FakeKeyring> m_keyring; // the sync settings ask it, never the user's
    std::unique_ptr<TfrmMainVR> m_window;
};

using MakeDialog = std::function<QWidget *(QWidget *parent)>;
using TabExceptions = QList<std::pair<QString, QString>>;
Q_DECLARE_METATYPE(MakeDialog)
Q_DECLARE_METATYPE(std::function<void()>)

namespace {

bool isInteractive(const QAccessibleInterface *iface)
{
    switch (iface->role()) {
    case QAccessible::PushButton:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::ButtonDropGrid:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::PageTab:
    case QAccessible::Link:
    case QAccessible::HotkeyField:
    // An image stands for something; it needs words as well.
    case QAccessible::Graphic: return true;
    default: return iface->state().focusable;
    }
}

QString describe(const QAccessibleInterface *iface)
{
    QStringList path;
    for (const QObject *o = iface->object(); o; o = o->parent())
        path.prepend(o->objectName().isEmpty() ? QString::fromLatin1(o->metaObject()->className())
                                               : o->objectName());
    return QStringLiteral("%1 (role 0x%2)").arg(path.join(u'/')).arg(iface->role(), 0, 16);
}

// Every visible control that a person can reach and that has no name.
void collectUnnamed(QAccessibleInterface *iface, QStringList &unnamed)
{
    if (!iface || !iface->isValid() || iface->state().invisible)
        return;
    if (isInteractive(iface) && iface->text(QAccessible::Name).trimmed().isEmpty())
        unnamed << describe(iface);
    // The items of a view are read from its model.
    const QAccessible::Role role = iface->role();
    if (role == QAccessible::List || role == QAccessible::Tree || role == QAccessible::Table)
        return;
    for (int i = 0; i < iface->childCount(); ++i)
        collectUnnamed(iface->child(i), unnamed);
}

QStringList unnamedIn(QWidget *window)
{
    QStringList unnamed;
    collectUnnamed(QAccessible::queryAccessibleInterface(window), unnamed);
    return unnamed;
}

// The widgets Tab visits in window, in its order from the window on.
QList<QWidget *> tabChain(QWidget *window)
{
    QList<QWidget *> chain;
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if (w->window() == window && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy()
            && w->isVisibleTo(window))
            chain << w;
        if (chain.size() > 1000)
            break;
    }
    return chain;
}

// Where a control stands for reading order: a group box as a whole, else the control.
QRect readingRect(QWidget *w, QWidget *window)
{
    for (QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (qobject_cast<QGroupBox *>(p))
            w = p;
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

// b comes before a when it lies wholly above it, or on the same line to its left.
bool readsBefore(const QRect &b, const QRect &a)
{
    if (b.bottom() < a.top())
        return true;
    const bool sameLine = b.top() <= a.bottom() && a.top() <= b.bottom();
    return sameLine && b.right() < a.left();
}

// Tab goes round; the round is read from the control that comes first.
QStringList tabOrderProblems(QWidget *window, const QString &first, const TabExceptions &exceptions)
{
    QStringList problems;
    QList<QWidget *> chain = tabChain(window);
    const qsizetype start = chain.indexOf(window->findChild<QWidget *>(first));
    if (start < 0)
        return {first + QStringLiteral(" is not in the tab order")};
    chain = chain.mid(start) + chain.mid(0, start);
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QWidget *from = chain.at(i - 1);
        QWidget *to = chain.at(i);
        const QRect a = readingRect(from, window);
        const QRect b = readingRect(to, window);
        if (a == b || !readsBefore(b, a))
            continue;
        if (exceptions.contains({from->objectName(), to->objectName()}))
            continue;
        problems << QStringLiteral("%1 -> %2").arg(from->objectName(), to->objectName());
    }
    return problems;
}

// The accessible interface of the child of iface whose name is name.
QAccessibleInterface *childNamed(QAccessibleInterface *iface, const QString &name)
{
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface *child = iface->child(i);
            child && child->text(QAccessible::Name) == name)
            return child;
    return nullptr;
}

const char *const recordText = "[data]\r\n"
                               "Hand=010-2345-6789\r\n"
                               "MUrl=https://example.kr/\r\n"
                               "BNK1=국민\r\n"
                               "BCT1=123-45-678\r\n"
                               "ONme=한빛\r\n"
                               "ODDD=02\r\n"
                               "OPh1=555-0101\r\n"
                               "OPst=영업\r\n"
                               "[Memo]\r\nmany=1\r\n1=메모 한 줄\r\n";

} // namespace

void TestAccessibility::initTestCase()
{
    QAccessible::setActive(true);
}

void TestAccessibility::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir().mkpath(dataDir() + QStringLiteral("/가족"));
    TestFiles::write(dataDir() + QStringLiteral("/가족/홍길동.txt"),
                     TestFiles::cp949(QString::fromUtf8(recordText)));
    TestFiles::write(dataDir() + QStringLiteral("/빈자료.txt"), "[data]\r\n");
    m_info = std::make_unique<TzuPrjInfo>(m_dir->path());
    zuPrjInfo = m_info.get();
    m_desktop = std::make_unique<FakeDesktop>();
    m_keyring = std::make_unique<FakeKeyring>();
    m_window = std::make_unique<TfrmMainVR>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QVERIFY(select(QStringLiteral("가족/홍길동.txt")));
}

void TestAccessibility::cleanup()
{
    m_window.reset();
    m_keyring.reset();
    m_desktop.reset();
    zuPrjInfo = nullptr;
    m_info.reset();
}

QTreeWidgetItem *TestAccessibility::select(const QString &relPath)
{
    if (!RecordTree->LocatePath(relPath))
        return nullptr;
    return RecordTree->SelectedNode();
}

void TestAccessibility::mainWindowControlsAreNamed()
{
    QVERIFY2(unnamedIn(m_window.get()).isEmpty(),
             qPrintable(unnamedIn(m_window.get()).join(u'\n')));
    // With the search hits and the filter's list showing.
    m_window->MenuAndTree->lstFound->addItem(QStringLiteral("홍길동"));
    m_window->MenuAndTree->Filter->edtFilter->setText(QStringLiteral("ㅎ"));
    QVERIFY(m_window->MenuAndTree->Filter->lstFilter->isVisible());
    QVERIFY2(unnamedIn(m_window.get()).isEmpty(),
             qPrintable(unnamedIn(m_window.get()).join(u'\n')));
    // And with the colour table open under the caption.
    m_window->ShowColorTable();
    QVERIFY(m_window->ColorTable()->isVisible());
    QVERIFY2(unnamedIn(m_window.get()).isEmpty(),
             qPrintable(unnamedIn(m_window.get()).join(u'\n')));
}

void TestAccessibility::dialogControlsAreNamed_data()
{
    QTest::addColumn<MakeDialog>("make");
    QTest::addColumn<QString>("first");
    QTest::addColumn<TabExceptions>("exceptions");
    // The entry forms go down each column of the company's numbers, as the fields are kept.
    const TabExceptions columns = {{QStringLiteral("OPh2"), QStringLiteral("OFax")},
                                   {QStringLiteral("OInt"), QStringLiteral("OPst")}};
    QTest::newRow("new record")
        << MakeDialog([](QWidget *parent) -> QWidget * { return new TfrmNewData(parent); })
        << "edtName"
        << (columns + TabExceptions{{QStringLiteral("btnCancel"), QStringLiteral("chkIsRoot")}});
    QTest::newRow("edit record") << MakeDialog([this](QWidget *parent) -> QWidget * {
        auto *dialog = new TfrmModifyData(parent);
        dialog->LoadRecord(dataDir() + QStringLiteral("/가족/홍길동.txt"));
        return dialog;
    }) << "Hand" << columns;
    QTest::newRow("name") << MakeDialog([](QWidget *parent) -> QWidget * {
        return new TfrmUserFileName(parent);
    }) << "edtName" << TabExceptions();
    QTest::newRow("find duplicates") << MakeDialog([this](QWidget *parent) -> QWidget * {
        // A second 홍길동 with the same mobile number, so that a group shows side by side.
        TestFiles::write(dataDir() + QStringLiteral("/홍 길동.txt"),
                         "[data]\r\nHand=01023456789\r\nEMail=hong@a.kr\r\n");
        auto *dialog = new TfrmFindDuplicates(dataDir(), parent);
        dialog->Search();
        for (int i = 0; i < 500 && dialog->Searching(); ++i)
            QTest::qWait(10);
        return dialog;
    }) << "lstGroups" << TabExceptions();
    QTest::newRow("settings") << MakeDialog([](QWidget *parent) -> QWidget * {
        return new TfrmConfig(parent);
    }) << "btnDirData" << TabExceptions();
    QTest::newRow("folder picker") << MakeDialog([this](QWidget *parent) -> QWidget * {
        auto *picker = new TFolderPickerDialog(parent);
        return new TFolderBrowser(*picker, dataDir(), parent);
    }) << "tvFolders" << TabExceptions();
    QTest::newRow("record history") << MakeDialog([this](QWidget *parent) -> QWidget * {
        return new TfrmRecordHistory(*m_window->history,
                                     dataDir() + QStringLiteral("/가족/홍길동.txt"), parent);
    }) << "lstVersions" << TabExceptions();
    QTest::newRow("sync settings") << MakeDialog([this](QWidget *parent) -> QWidget * {
        return new TfrmSyncSettings(m_info->settings(), parent);
    }) << "cmbAccount" << TabExceptions();
    QTest::newRow("deleted records") << MakeDialog([this](QWidget *parent) -> QWidget * {
        return new TfrmDeletedRecords(*m_window->history, parent);
    }) << "cboSince" << TabExceptions();
}

void TestAccessibility::dialogControlsAreNamed()
{
    QFETCH(MakeDialog, make);
    std::unique_ptr<QWidget> dialog(make(m_window.get()));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    const QStringList unnamed = unnamedIn(dialog.get());
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u'\n')));
}

void TestAccessibility::messageAndInputBoxesAreNamed_data()
{
    QTest::addColumn<std::function<void()>>("ask");
    QTest::newRow("question") << std::function<void()>([] {
        DialogService::current().message(
            {nullptr, DialogService::Icon::Question, QStringLiteral("자료 삭제!!"),
             QStringLiteral("지울까요?"), DialogService::Yes | DialogService::No,
             DialogService::No});
    });
    QTest::newRow("warning") << std::function<void()>([] {
        ShowWarningMessage(nullptr, QStringLiteral("Warning"), QStringLiteral("Not Found"));
    });
    // The picker's new-folder query has a caption and no prompt.
    QTest::newRow("input without prompt") << std::function<void()>([] {
        DialogService::current().input({nullptr, QStringLiteral("새폴더"), QString(), QString()});
    });
    QTest::newRow("input") << std::function<void()>([] {
        DialogService::current().input(
            {nullptr, QStringLiteral("자료 검색"), QStringLiteral("검색 내용"), QString()});
    });
}

void TestAccessibility::messageAndInputBoxesAreNamed()
{
    QFETCH(std::function<void()>, ask);
    QStringList unnamed{QStringLiteral("no box came up")};
    QTimer::singleShot(0, this, [&unnamed] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        unnamed = unnamedIn(box);
        box->close();
    });
    ask();
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u'\n')));
}

void TestAccessibility::tabOrderFollowsReadingOrder_data()
{
    dialogControlsAreNamed_data();
    // The window reads down the navigator, then down the record view.
    QTest::newRow("main window") << MakeDialog() << "tbiFile"
                                 << TabExceptions{{QStringLiteral("lstFound"),
                                                   QStringLiteral("zuGradiButton1")}};
}

void TestAccessibility::tabOrderFollowsReadingOrder()
{
    QFETCH(MakeDialog, make);
    QFETCH(QString, first);
    QFETCH(TabExceptions, exceptions);
    std::unique_ptr<QWidget> dialog(make ? make(m_window.get()) : nullptr);
    QWidget *window = dialog ? dialog.get() : m_window.get();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(tabChain(window).size() > 2);
    const QStringList problems = tabOrderProblems(window, first, exceptions);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

void TestAccessibility::valuesReadAsCaptionAndValue_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("emptyName");
    QTest::newRow("mobile") << "Hand"
                            << "핸드폰 010-2345-6789"
                            << "핸드폰";
    QTest::newRow("bank account") << "BCT1"
                                  << "은행계좌 1 계좌 123-45-678"
                                  << "은행계좌 1 계좌";
    QTest::newRow("company phone") << "OPh1"
                                   << "회사 전화 1 555-0101"
                                   << "회사 전화 1";
    QTest::newRow("empty") << "HPh2"
                           << "집 전화 2"
                           << "집 전화 2";
}

void TestAccessibility::valuesReadAsCaptionAndValue()
{
    QFETCH(QString, field);
    QFETCH(QString, name);
    QFETCH(QString, emptyName);
    QLabel *label = m_window->Book->ValueLabel(field);
    QVERIFY(label);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(label);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QVERIFY(!iface->text(QAccessible::Description).isEmpty());
    // Tab stops at a value only while there is one.
    QCOMPARE(iface->state().focusable, name != emptyName);
    QVERIFY(select(QStringLiteral("빈자료.txt")));
    QCOMPARE(iface->text(QAccessible::Name), emptyName);
    QVERIFY(!iface->state().focusable);
    // The record's text boxes are read by their fields too.
    QCOMPARE(QAccessible::queryAccessibleInterface(m_window->Book->Memo)->text(QAccessible::Name),
             QStringLiteral("메모"));
}

void TestAccessibility::directoryButtonsToldApart()
{
    const QString second = m_dir->filePath(QStringLiteral("second"));
    QDir().mkpath(second);
    m_info->WriteExtraDir(TzuPrjInfo::SelSecondDir, second);
    // The settings dialog closes with OK: the buttons are brought up to date.
    m_window.reset();
    m_window = std::make_unique<TfrmMainVR>();
    TfrmMenuAndTree *pane = m_window->MenuAndTree;
    QStringList names;
    QStringList descriptions;
    for (QAction *action : {pane->tbiDataDir, pane->tbi2ndDir, pane->tbi3rdDir}) {
        QWidget *button = pane->tbtFolder->widgetForAction(action);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(button);
        names << iface->text(QAccessible::Name);
        descriptions << iface->text(QAccessible::Description);
    }
    QCOMPARE(names,
             (QStringList{QStringLiteral("데이터 디렉토리 1"), QStringLiteral("데이터 디렉토리 2"),
                          QStringLiteral("데이터 디렉토리 3")}));
    // Each tells the folder it opens.
    QCOMPARE(descriptions,
             (QStringList{QDir::toNativeSeparators(dataDir()), QDir::toNativeSeparators(second),
                          QStringLiteral("정하지 않음")}));
}

void TestAccessibility::treeItemsReadAsFolderOrRecord()
{
    QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(RecordTree);
    QCOMPARE(tree->text(QAccessible::Name), QStringLiteral("자료 트리"));
    QAccessibleInterface *folder = childNamed(tree, QStringLiteral("가족"));
    QAccessibleInterface *record = childNamed(tree, QStringLiteral("홍길동"));
    QVERIFY(folder && record);
    QCOMPARE(folder->text(QAccessible::Description), QStringLiteral("폴더"));
    QCOMPARE(record->text(QAccessible::Description), QStringLiteral("자료"));
}

void TestAccessibility::valueKeys_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QStringList>("dialled");
    const QStringList none;
    QTest::newRow("Enter copies a number")
        << "Hand" << int(Qt::Key_Return) << Qt::KeyboardModifiers() << "010-2345-6789"
        << "" << none;
    QTest::newRow("Ctrl+C copies a number")
        << "Hand" << int(Qt::Key_C) << Qt::KeyboardModifiers(Qt::ControlModifier) << "010-2345-6789"
        << "" << none;
    QTest::newRow("with its area code")
        << "OPh1" << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier)
        << "02-555-0101"
        << "" << none;
    QTest::newRow("Ctrl+Enter dials")
        << "Hand" << int(Qt::Key_Return) << Qt::KeyboardModifiers(Qt::ControlModifier) << ""
        << "" << QStringList{QStringLiteral("홍길동"), QStringLiteral("010-2345-6789")};
    QTest::newRow("Enter opens an address")
        << "MUrl" << int(Qt::Key_Return) << Qt::KeyboardModifiers() << ""
        << "https://example.kr/" << none;
    QTest::newRow("Ctrl+C copies an address")
        << "MUrl" << int(Qt::Key_C) << Qt::KeyboardModifiers(Qt::ControlModifier)
        << "https://example.kr/"
        << "" << none;
    QTest::newRow("Space copies an account")
        << "BCT1" << int(Qt::Key_Space) << Qt::KeyboardModifiers() << "123-45-678"
        << "" << none;
    QTest::newRow("Ctrl+C copies any value")
        << "OPst" << int(Qt::Key_C) << Qt::KeyboardModifiers(Qt::ControlModifier) << "영업"
        << "" << none;
}

void TestAccessibility::valueKeys()
{
    QFETCH(QString, field);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, clipboard);
    QFETCH(QString, opened);
    QFETCH(QStringList, dialled);
    // The dialling program lies beside the program.
    QFile sibling(m_window->Book->SiblingProgramPath());
    QVERIFY(sibling.open(QIODevice::WriteOnly));
    sibling.close();
    QLabel *label = m_window->Book->ValueLabel(field);
    label->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(label->hasFocus());
    QTest::keyClick(label, Qt::Key(key), modifiers);
    QCOMPARE(m_desktop->clipboard, clipboard);
    QCOMPARE(m_desktop->opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    QCOMPARE(m_desktop->started.isEmpty() ? QStringList() : m_desktop->started.first().arguments,
             dialled);
}

void TestAccessibility::directoryKeys()
{
    const QString second = m_dir->filePath(QStringLiteral("second"));
    QDir().mkpath(second);
    TestFiles::write(second + QStringLiteral("/이순신.txt"), "[data]\r\n");
    m_info->WriteExtraDir(TzuPrjInfo::SelSecondDir, second);
    m_window.reset();
    m_window = std::make_unique<TfrmMainVR>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    RecordTree->setFocus();
    QTest::keyClick(m_window.get(), Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(QDir::fromNativeSeparators(RecordTree->RootDir), second);
    QVERIFY(m_window->MenuAndTree->tbi2ndDir->isChecked());
    // The third is not set: its key does nothing.
    QTest::keyClick(m_window.get(), Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(QDir::fromNativeSeparators(RecordTree->RootDir), second);
    QTest::keyClick(m_window.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(QDir::fromNativeSeparators(RecordTree->RootDir), dataDir());
    QVERIFY(m_window->MenuAndTree->tbiDataDir->isChecked());
}

void TestAccessibility::treePopupFromKeyboard_data()
{
    QTest::addColumn<bool>("menuKey");
    QTest::newRow("Shift+F10") << false;
    QTest::newRow("menu key") << true;
}

void TestAccessibility::treePopupFromKeyboard()
{
    QFETCH(bool, menuKey);
    QTreeWidgetItem *node = select(QStringLiteral("빈자료.txt"));
    QVERIFY(node);
    // The mouse is elsewhere: the menu comes up under the selected node.
    QCursor::setPos(m_window->mapToGlobal(QPoint(m_window->width() - 5, m_window->height() - 5)));
    RecordTree->setFocus();
    QPoint shownAt;
    QTimer::singleShot(0, this, [&shownAt] {
        if (!RecordTree->PopupMenu->isVisible())
            return;
        shownAt = RecordTree->PopupMenu->pos();
        RecordTree->PopupMenu->close();
    });
    if (menuKey) {
        // What the window system sends for the menu key.
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(1, 1),
                                RecordTree->viewport()->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(RecordTree->viewport(), &event);
    } else {
        QTest::keyClick(RecordTree, Qt::Key_F10, Qt::ShiftModifier);
    }
    const QPoint expected =
        RecordTree->viewport()->mapToGlobal(RecordTree->visualItemRect(node).bottomLeft());
    QCOMPARE(shownAt, expected);
    QCOMPARE(RecordTree->HotNode, node);
    QVERIFY(RecordTree->mnuDelete->isEnabled());
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
