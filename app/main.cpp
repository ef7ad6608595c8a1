#include "main.h"

#include "app/Config.h"
#include "app/ProjectInc.h"
#include "app/SyncRunner.h"
#include "app/SyncSettings.h"
#include "navigator/FilterBox.h"
#include "navigator/MenuTree.h"
#include "navigator/zuTree.h"
#include "platform/Application.h"
#include "platform/Job.h"
#include "platform/UiFont.h"
#include "records/book.h"
#include "widgets/KeyPreview.h"
#include "widgets/funcs.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

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
