#include "main.h"

#include "app/Config.h"
#include "app/ProjectInc.h"
#include "app/SyncRunner.h"
#include "app/SyncSettings.h"
#include "navigator/FilterBox.h"
#include "navigator/MenuTree.h"
#include "navigator/SearchIndex.h"
#include "navigator/zuTree.h"
#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/FileSystem.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "platform/UiFont.h"
#include "records/DeletedRecords.h"
#include "records/History.h"
#include "records/PhoneFun.h"
#include "records/RecordHistory.h"
#include "records/book.h"
#include "widgets/KeyPreview.h"
#include "widgets/funcs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

TfrmMainVR *frmMainVR = nullptr;

TfrmMainVR::TfrmMainVR(QWidget *parent)
    : TfrmZuThreeButtons(parent)
{
    setObjectName(QStringLiteral("frmMainVR"));
    frmMainVR = this;
    resize(791, 714);

    auto *layout = new QHBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    MenuAndTree = new TfrmMenuAndTree(ClientArea());
    MenuAndTree->setObjectName(QStringLiteral("MenuAndTree"));
    MenuAndTree->setFont(GulimFont(12));
    layout->addWidget(MenuAndTree, 1);

    Book = new TfrmBook(ClientArea());
    Book->setObjectName(QStringLiteral("Book"));
    Book->setFont(GulimFont(12));
    Book->setFixedWidth(BookWidth);
    QPalette pal = Book->palette();
    pal.setColor(QPalette::Window, ColorToQColor(0xE7EFEF));
    Book->setPalette(pal);
    Book->setAutoFillBackground(true);
    layout->addWidget(Book);

    bar = new QProgressBar(pnlStatusBar);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setGeometry(5, 3, 161, 16);
    bar->setTextVisible(false);
    bar->setValue(0);

    new TKeyPreview(this, [this](QKeyEvent *event) { return FormKeyDown(event); });

    // The pane and the view reach the rest of the window only through what is wired here.
    MenuAndTree->ProgressBar = bar;
    if (zuPrjInfo)
        MenuAndTree->ProgramSettings = &zuPrjInfo->settings();
    MenuAndTree->ShowRecord = [this](const QString &path) { Book->ShowRecord(path); };
    MenuAndTree->EditRecord = [this](const QString &path) { Book->ModifyRecord(path); };
    MenuAndTree->OpenSettings = [this] { return RunSettingsDialog(MenuAndTree); };
    MenuAndTree->OpenHomePage = [] {
        if (zuPrjInfo)
            zuPrjInfo->OpenHomePage();
    };
    if (zuPrjInfo)
        Book->ProgramDir = zuPrjInfo->ExeDir;
    Book->OpenDocument = [](const QString &text) {
        return zuPrjInfo && zuPrjInfo->OpenDocument(text);
    };

    // The view's edit button is the navigator's edit action.
    connect(Book->zuGradiButton1, &QPushButton::clicked, MenuAndTree->actModify, &QAction::trigger);
    connect(MenuAndTree->actModify, &QAction::changed, Book,
            [this] { Book->zuGradiButton1->setEnabled(MenuAndTree->actModify->isEnabled()); });
    Book->zuGradiButton1->setEnabled(MenuAndTree->actModify->isEnabled());

    // The delete action runs through the window's own handler.
    disconnect(MenuAndTree->actFileDelete, &QAction::triggered, MenuAndTree, nullptr);
    connect(MenuAndTree->actFileDelete, &QAction::triggered, this,
            [this] { VandrelApplication::guarded([this] { MenuAndTreeactFileDeleteExecute(); }); });

    // Sync with a CardDAV address book, from the 파일 menu after the import and export.
    Sync = new SyncRunner(
        this, []() -> const Settings * { return zuPrjInfo ? &zuPrjInfo->settings() : nullptr; });
    actSyncSettings = new QAction(QStringLiteral("동기화 설정(&Y)..."), this);
    actSyncSettings->setObjectName(QStringLiteral("actSyncSettings"));
    actSyncNow = new QAction(QStringLiteral("지금 동기화(&N)"), this);
    actSyncNow->setObjectName(QStringLiteral("actSyncNow"));
    if (QMenu *file = MenuAndTree->mnuFile) {
        const QList<QAction *> items = file->actions();
        const qsizetype at = items.indexOf(MenuAndTree->actExport);
        QAction *before = at >= 0 && at + 1 < items.size() ? items.at(at + 1) : nullptr;
        file->insertActions(before, {actSyncSettings, actSyncNow});
    }
    connect(actSyncSettings, &QAction::triggered, this, [this] {
        VandrelApplication::guarded([this] {
            if (zuPrjInfo && RunSyncSettingsDialog(this, zuPrjInfo->settings()))
                Sync->Reschedule();
        });
    });
    connect(actSyncNow, &QAction::triggered, this,
            [this] { VandrelApplication::guarded([this] { Sync->SyncNow(true); }); });

    FormCreate();
    CreateEditMenu();
}

void TfrmMainVR::MenuAndTreeactFileDeleteExecute()
{
    MenuAndTree->actFileDeleteExecute();
}

TfrmMainVR::~TfrmMainVR()
{
    if (frmMainVR == this)
        frmMainVR = nullptr;
}

void TfrmMainVR::FormCreate()
{
    setWindowTitle(TzuPrjInfo::TitleText());
    MenuAndTree->InitPane();
    Book->ClearTitle();
}

void TfrmMainVR::FormActivate()
{
    // Only when nothing is selected yet: coming back from a dialog or another program must
    // not move the user away from the record they were working on.
    if (RecordTree && !RecordTree->SelectedNode())
        MenuAndTree->SelectFirst();
}

void TfrmMainVR::showEvent(QShowEvent *event)
{
    TfrmZuThreeButtons::showEvent(event);
    // The first showing counts as an activation even where the desktop activates nothing.
    if (!event->spontaneous())
        FormActivate();
}

void TfrmMainVR::changeEvent(QEvent *event)
{
    TfrmZuThreeButtons::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

bool TfrmMainVR::FormKeyDown(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // While an import, an export or the index build runs, Esc stops it.
        if (Jobs::instance().cancelAll())
            return true;
        // In the filter box Esc clears the box or leaves it; the window stays.
        if (MenuAndTree->Filter && MenuAndTree->Filter->OwnsEscape())
            return false;
        SysMinimize();
        return true;
    }
    return false;
}

void TfrmMainVR::WMCopyData()
{
    if (InTray)
        RestoreFromTray();
    else
        RestoreAndRaise();
}

void TfrmMainVR::CreateEditMenu()
{
    auto makeAction = [this](const char *name, const QString &caption, const QKeySequence &key,
                             void (TfrmMainVR::*run)()) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        if (run)
            connect(a, &QAction::triggered, this,
                    [this, run] { VandrelApplication::guarded([this, run] { (this->*run)(); }); });
        return a;
    };
    actUndo = makeAction("actUndo", QStringLiteral("실행 취소(&U)"),
                         QKeySequence(Qt::CTRL | Qt::Key_Z), &TfrmMainVR::actUndoExecute);
    actRedo = makeAction("actRedo", QStringLiteral("다시 실행(&R)"),
                         QKeySequence(Qt::CTRL | Qt::Key_Y), &TfrmMainVR::actRedoExecute);
    actRecordHistory =
        makeAction("actRecordHistory", QStringLiteral("자료 이력(&H)..."), {}, nullptr);
    connect(actRecordHistory, &QAction::triggered, this, [this] {
        VandrelApplication::guarded([this] {
            if (RecordTree && RecordTree->SelectedNode())
                ShowRecordHistory(RecordTree->SelectedFile);
        });
    });
    actDeletedRecords = makeAction("actDeletedRecords", QStringLiteral("지운 자료(&D)..."), {},
                                   &TfrmMainVR::actDeletedRecordsExecute);

    mnuEdit = new QMenu(this);
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuEdit->addAction(actUndo);
    mnuEdit->addAction(actRedo);
    mnuEdit->addSeparator();
    mnuEdit->addAction(actRecordHistory);
    mnuEdit->addAction(actDeletedRecords);
    // A command line may have committed meanwhile.
    connect(mnuEdit, &QMenu::aboutToShow, this, [this] {
        if (history)
            history->ReadUndo();
    });
    tbiEdit = new QToolButton(MenuAndTree->tbtFolder);
    tbiEdit->setObjectName(QStringLiteral("tbiEdit"));
    tbiEdit->setText(QStringLiteral("편집(&E)"));
    tbiEdit->setMenu(mnuEdit);
    tbiEdit->setPopupMode(QToolButton::InstantPopup);
    tbiEdit->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const QList<QAction *> bar = MenuAndTree->tbtFolder->actions();
    if (bar.size() > 1)
        MenuAndTree->tbtFolder->insertWidget(bar.at(1), tbiEdit);
    else
        MenuAndTree->tbtFolder->addWidget(tbiEdit);
    setTabOrder(MenuAndTree->tbiFile, tbiEdit);

    // The record under the mouse in the tree; the shown one in the view.
    TzuTree *tree = MenuAndTree->Tree;
    mnuHistory = new QAction(QStringLiteral("자료 이력 &H"), tree->PopupMenu);
    mnuHistory->setObjectName(QStringLiteral("mnuHistory"));
    tree->PopupMenu->addSeparator();
    tree->PopupMenu->addAction(mnuHistory);
    connect(tree->PopupMenu, &QMenu::aboutToShow, this,
            [this, tree] { mnuHistory->setEnabled(tree->HotNode && history && history->IsOn()); });
    connect(mnuHistory, &QAction::triggered, this, [this, tree] {
        VandrelApplication::guarded([this, tree] {
            if (!tree->HotNode)
                return;
            const QString path = tree->NodePath(tree->HotNode);
            ShowRecordHistory(FileSystem::resolve(TzuTree::IsFolder(tree->HotNode)
                                                      ? Paths::Join(path, FolderRecordName)
                                                      : path + QStringLiteral(".txt")));
        });
    });
    Book->setContextMenuPolicy(Qt::ActionsContextMenu);
    Book->addAction(actRecordHistory);

    connect(tree, &TzuTree::rootLoaded, this, [this, tree] { OpenHistory(tree->RootDir); });
    connect(tree, &QTreeWidget::itemSelectionChanged, this, &TfrmMainVR::UpdateEditActions);
    // What other programs change is committed as such when the index's watcher sees it; not
    // while a job writes, whose own changes are told when it ends.
    if (MenuAndTree->Filter) {
        const auto look = [this](const QString &path) {
            if (history && Jobs::instance().running().isEmpty())
                history->LookAt(path);
        };
        connect(MenuAndTree->Filter->Index, &TSearchIndex::folderChanged, this, look);
        connect(MenuAndTree->Filter->Index, &TSearchIndex::fileChanged, this, look);
    }
    OpenHistory(tree->RootDir);
}

void TfrmMainVR::OpenHistory(const QString &dir)
{
    if (history && history->DataDir() == Paths::Native(QDir(dir).absolutePath()))
        return;
    delete history;
    history = nullptr;
    if (RecordStore::IsDataDir(dir)) {
        history = new History(dir, this);
        connect(history, &History::stopped, this, [this](const QString &text) {
            ShowWarningMessage(this, QStringLiteral("자료 이력"), text);
        });
        connect(history, &History::undoChanged, this, &TfrmMainVR::UpdateEditActions);
        // What undo and redo would take is read once the window is up, on the history's worker.
        QTimer::singleShot(0, history, &History::ReadUndo);
    }
    UpdateEditActions();
}

void TfrmMainVR::UpdateEditActions()
{
    if (!actUndo)
        return;
    const bool on = history && history->IsOn();
    actUndo->setEnabled(on && history->CanUndo());
    actRedo->setEnabled(on && history->CanRedo());
    const QString off = history ? history->OffReason() : QString();
    // Before the history is read the operation is not known yet.
    const auto tip = [&off](QAction *action, const QString &what, const QString &text) {
        action->setToolTip(!action->isEnabled() ? off
                           : text.isEmpty()     ? what
                                                : what + QStringLiteral(": ") + text);
    };
    tip(actUndo, QStringLiteral("실행 취소"), history ? history->UndoText() : QString());
    tip(actRedo, QStringLiteral("다시 실행"), history ? history->RedoText() : QString());
    actRecordHistory->setEnabled(on && RecordTree && RecordTree->SelectedNode());
    actDeletedRecords->setEnabled(on);
}

void TfrmMainVR::actUndoExecute()
{
    UndoOrRedo(&History::Undo, QStringLiteral("실행 취소"));
}

void TfrmMainVR::actRedoExecute()
{
    UndoOrRedo(&History::Redo, QStringLiteral("다시 실행"));
}

void TfrmMainVR::UndoOrRedo(QString (History::*step)(), const QString &caption)
{
    if (!history)
        return;
    const QString why = (history->*step)();
    if (!why.isEmpty())
        ShowWarningMessage(this, caption, why);
    if (RecordTree && RecordTree->SelectedNode())
        Book->ShowRecord(RecordTree->SelectedFile);
    UpdateEditActions();
}

void TfrmMainVR::ShowRecordHistory(const QString &path)
{
    if (!history || path.isEmpty())
        return;
    TfrmRecordHistory dialog(*history, path, this);
    DialogService::current().execDialog(dialog);
    if (RecordTree && RecordTree->SelectedNode())
        Book->ShowRecord(RecordTree->SelectedFile);
}

void TfrmMainVR::actDeletedRecordsExecute()
{
    if (!history)
        return;
    TfrmDeletedRecords dialog(*history, this);
    DialogService::current().execDialog(dialog);
    // The last record brought back is shown, once the tree has placed it.
    const QString restored = dialog.Restored();
    if (!restored.isEmpty() && RecordTree)
        QMetaObject::invokeMethod(
            this,
            [restored] {
                if (RecordTree)
                    RecordTree->LocatePath(
                        restored.mid(Paths::WithSeparator(RecordTree->RootDir).size()));
            },
            Qt::QueuedConnection);
}
