#include "MenuTree.h"

#include "FilterBox.h"
#include "RecordSearch.h"
#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/Job.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "records/ContactExport.h"
#include "records/ContactImport.h"
#include "records/FindDuplicates.h"
#include "records/PhoneFun.h"
#include "records/book.h"
#include "widgets/JobBar.h"
#include "widgets/funcs.h"
#include "widgets/zuGradiClrs.h"
#include "zuTree.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QPixmap image(const char *name)
{
    return QPixmap(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)));
}

QWidget *spacer(QWidget *parent, const char *name)
{
    auto *w = new QWidget(parent);
    w->setObjectName(QLatin1String(name));
    w->setFixedSize(30, 7);
    return w;
}

// Repaints of the progress bar during a search, at most this often.
constexpr int ProgressRepaintMs = 40;

void showReport(QWidget *parent, const QString &caption, const ContactReport &report)
{
    const bool clean = !report.failed() && report.skipped.isEmpty() && !report.cancelled;
    DialogService::current().message(
        {parent, clean ? DialogService::Icon::Information : DialogService::Icon::Warning, caption,
         report.Text(), DialogService::Ok, DialogService::Ok});
}

} // namespace

TfrmMenuAndTree::TfrmMenuAndTree(QWidget *parent)
    : QFrame(parent)
{
    EnsureResources();
    ColorsBrown = NewColorsBrown(this);
    imgsTree = {image("tree-folder"), image("tree-folder-open"), image("tree-record"),
                image("tree-record-edit")};
    imgsToolbar = {image("dir-2"),      image("dir-3"), image("dir-1"),  image("new-folder"),
                   image("new-record"), image("find"),  image("delete"), image("logo")};
    imgsDisable = {image("dir-2-disabled"), image("dir-3-disabled")};

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Shape3 = new QWidget(this);
    Shape3->setObjectName(QStringLiteral("Shape3"));
    Shape3->setFixedHeight(2);
    layout->addWidget(Shape3);

    // Actions
    auto makeAction = [this](const char *name, const QString &caption, const QKeySequence &key,
                             int imageIndex) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        if (imageIndex >= 0)
            a->setIcon(QIcon(imgsToolbar.at(imageIndex)));
        addAction(a);
        return a;
    };
    actFileNewFolder = makeAction("actFileNewFolder", QStringLiteral("폴더 생성(&F)"),
                                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Insert), 3);
    actFileNewNote = makeAction("actFileNewNote", QStringLiteral("자료 생성(&D)"),
                                QKeySequence(Qt::CTRL | Qt::Key_Insert), 4);
    actFileDelete = makeAction("actFileDelete", QStringLiteral("폴더/자료 삭제(&E)"),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete), 6);
    actFind =
        makeAction("actFind", QStringLiteral("찾기(&S)"), QKeySequence(Qt::CTRL | Qt::Key_F), 5);
    actRename =
        makeAction("actRename", QStringLiteral("이름 변경(&R)"), QKeySequence(Qt::Key_F2), -1);
    actModify = makeAction("actModify", QStringLiteral("자료 수정(&M)"), QKeySequence(), -1);
    actImport = makeAction("actImport", QStringLiteral("가져오기(&I)..."), QKeySequence(), -1);
    actExport = makeAction("actExport", QStringLiteral("내보내기(&O)..."), QKeySequence(), -1);
    actFindDuplicates =
        makeAction("actFindDuplicates", QStringLiteral("중복 찾기(&U)..."), QKeySequence(), -1);
    TBItem6 = new QAction(QStringLiteral("환경설정(&C)"), this);
    TBItem6->setObjectName(QStringLiteral("TBItem6"));
    tbiGotoHome = new QAction(QIcon(imgsToolbar.at(7)), QStringLiteral("Vandrel 홈(&H)"), this);
    tbiGotoHome->setObjectName(QStringLiteral("tbiGotoHome"));
    tbiClose =
        makeAction("tbiClose", QStringLiteral("종료(&X)"), QKeySequence(Qt::ALT | Qt::Key_F4), -1);

    // Errors in what an action does are shown and the program goes on.
    auto run = [this](QAction *action, void (TfrmMenuAndTree::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] {
            VandrelApplication::guarded([this, handler] { (this->*handler)(); });
        });
    };
    run(actFileNewFolder, &TfrmMenuAndTree::actFileNewFolderExecute);
    run(actFileNewNote, &TfrmMenuAndTree::actFileNewNoteExecute);
    run(actFileDelete, &TfrmMenuAndTree::actFileDeleteExecute);
    run(actRename, &TfrmMenuAndTree::actRenameExecute);
    run(actModify, &TfrmMenuAndTree::actModifyExecute);
    run(actImport, &TfrmMenuAndTree::actImportExecute);
    run(actExport, &TfrmMenuAndTree::actExportExecute);
    run(actFindDuplicates, &TfrmMenuAndTree::actFindDuplicatesExecute);
    connect(actFind, &QAction::triggered, this, &TfrmMenuAndTree::actFindExecute);
    run(TBItem6, &TfrmMenuAndTree::TBItem6Click);
    connect(tbiGotoHome, &QAction::triggered, this, &TfrmMenuAndTree::tbiGotoHomeClick);
    connect(tbiClose, &QAction::triggered, this, &TfrmMenuAndTree::tbiCloseClick);

    // Toolbar
    tbtFolder = new QToolBar(this);
    tbtFolder->setObjectName(QStringLiteral("tbtFolder"));
    tbtFolder->setFixedHeight(22);
    tbtFolder->setIconSize(QSize(16, 16));
    tbtFolder->setMovable(false);
    tbtFolder->setAutoFillBackground(true);
    QPalette pal = tbtFolder->palette();
    pal.setColor(QPalette::Window, QColor(235, 235, 231));
    tbtFolder->setPalette(pal);
    layout->addWidget(tbtFolder);
    // The button that shows the buttons a narrow pane has no room for.
    if (auto *more = tbtFolder->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("도구 모음의 나머지 단추"));

    mnuFile = new QMenu(this);
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile->addAction(actFileNewFolder);
    mnuFile->addAction(actFileNewNote);
    mnuFile->addAction(actRename);
    mnuFile->addAction(actModify);
    mnuFile->addAction(actFind);
    mnuFile->addSeparator();
    mnuFile->addAction(actImport);
    mnuFile->addAction(actExport);
    mnuFile->addAction(actFindDuplicates);
    mnuFile->addSeparator();
    mnuFile->addAction(actFileDelete);
    mnuFile->addSeparator();
    mnuFile->addAction(TBItem6);
    mnuFile->addAction(tbiGotoHome);
    mnuFile->addSeparator();
    mnuFile->addAction(tbiClose);

    tbiFile = new QToolButton(tbtFolder);
    tbiFile->setObjectName(QStringLiteral("tbiFile"));
    tbiFile->setText(QStringLiteral("파일(&F)"));
    tbiFile->setMenu(mnuFile);
    tbiFile->setPopupMode(QToolButton::InstantPopup);
    tbiFile->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tbtFolder->addWidget(tbiFile);

    tbtFolder->addAction(actFileNewFolder);
    tbtFolder->addAction(actFileNewNote);
    tbtFolder->addAction(actFind);
    Shape1 = spacer(tbtFolder, "Shape1");
    tbtFolder->addWidget(Shape1);
    tbtFolder->addAction(actFileDelete);
    // The image buttons are read by short names; what they do and their keys come after.
    const auto nameButton = [this](QAction *action, const char *name, const QString &spoken,
                                   const QString &help) {
        QToolButton *button = ButtonFor(action);
        button->setObjectName(QLatin1String(name));
        button->setAccessibleName(spoken);
        button->setAccessibleDescription(help + QStringLiteral(" (")
                                         + action->shortcut().toString(QKeySequence::NativeText)
                                         + u')');
    };
    nameButton(actFileNewFolder, "tbiMakeFolder", QStringLiteral("새 폴더"),
               QStringLiteral("선택한 폴더 안에 폴더를 만듭니다"));
    nameButton(actFileNewNote, "tbiMakeNote", QStringLiteral("새 자료"),
               QStringLiteral("선택한 폴더 안에 자료를 만듭니다"));
    nameButton(actFind, "TBItem1", QStringLiteral("찾기"),
               QStringLiteral("자료 폴더의 모든 자료에서 찾습니다"));
    nameButton(actFileDelete, "TBItem2", QStringLiteral("삭제"),
               QStringLiteral("선택한 폴더나 자료를 휴지통으로 보냅니다"));
    Shape2 = spacer(tbtFolder, "Shape2");
    tbtFolder->addWidget(Shape2);

    grpDirs = new QActionGroup(this);
    grpDirs->setExclusive(true);
    auto makeDir = [this](const char *name, int imageIndex, int tag, int disabledIndex) {
        QIcon icon(imgsToolbar.at(imageIndex));
        if (disabledIndex >= 0)
            icon.addPixmap(imgsDisable.at(disabledIndex), QIcon::Disabled);
        auto *a = new QAction(icon, QString(), grpDirs);
        a->setObjectName(QLatin1String(name));
        a->setCheckable(true);
        SetTag(a, tag);
        // Ctrl+1, Ctrl+2 and Ctrl+3; the buttons tell the three apart by name.
        a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + tag)));
        a->setShortcutContext(Qt::WindowShortcut);
        a->setText(DirButtonName(tag));
        a->setToolTip(a->text() + QStringLiteral(" (")
                      + a->shortcut().toString(QKeySequence::NativeText) + u')');
        tbtFolder->addAction(a);
        ButtonFor(a)->setObjectName(QLatin1String(name));
        ButtonFor(a)->setAccessibleName(a->text());
        return a;
    };
    tbiDataDir = makeDir("tbiDataDir", 2, 0, -1);
    tbi2ndDir = makeDir("tbi2ndDir", 0, 1, 0);
    tbi3rdDir = makeDir("tbi3rdDir", 1, 2, 1);
    tbiDataDir->setChecked(true);
    connect(grpDirs, &QActionGroup::triggered, this, &TfrmMenuAndTree::tbiSetDirClick);

    // Tree above, hits below
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1, 1);

    lstFound = new QListWidget(this);
    lstFound->setObjectName(QStringLiteral("lstFound"));
    lstFound->setUniformItemSizes(true);
    lstFound->setStyleSheet(QStringLiteral("QListWidget::item { height: 12px; }"));
    connect(lstFound, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { lstFoundClick(lstFound->row(item)); });
    // Moving through the hits with the keyboard selects each one, like a click; a mouse press
    // moves the current row too, and its click follows.
    connect(lstFound, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_pressingFound)
            lstFoundClick(row);
    });
    lstFound->viewport()->installEventFilter(this);
    lstFound->setAccessibleName(QStringLiteral("검색 결과"));
    lstFound->setAccessibleDescription(
        QStringLiteral("찾기로 찾은 자료, 고르면 트리에서 보여 줍니다"));

    actSelectedUpdate();
}

TfrmMenuAndTree::~TfrmMenuAndTree()
{
    if (RecordTree == Tree)
        RecordTree = nullptr;
}

QToolButton *TfrmMenuAndTree::ButtonFor(QAction *action) const
{
    return qobject_cast<QToolButton *>(tbtFolder->widgetForAction(action));
}

QSize TfrmMenuAndTree::sizeHint() const
{
    return QSize(PaneWidth, QFrame::sizeHint().height());
}

QProgressBar *TfrmMenuAndTree::Bar() const
{
    return ProgressBar;
}

void TfrmMenuAndTree::InitPane()
{
    FoundPaths.clear();
    Tree = new TzuTree(this);
    RecordTree = Tree;
    Tree->ShowRecord = [this](const QString &path) {
        if (ShowRecord)
            ShowRecord(path);
    };
    Tree->SetImages(imgsTree);
    Tree->FolderDialogIcon = QIcon(imgsToolbar.at(3));
    Tree->RecordDialogIcon = QIcon(imgsToolbar.at(4));
    Filter = new TFilterBox(this, Tree);
    // Imports, exports and the index build show in the progress bar.
    new TJobBar(this, [this] { return Bar(); });
    static_cast<QVBoxLayout *>(layout())->insertWidget(layout()->indexOf(Splitter1),
                                                       Filter->edtFilter);
    Splitter1->addWidget(Filter->stkTree);
    Splitter1->addWidget(lstFound);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({400, 97});
    connect(Tree, &QTreeWidget::itemSelectionChanged, this, &TfrmMenuAndTree::actSelectedUpdate);
    connect(Tree, &TzuTree::rootLoaded, this, &TfrmMenuAndTree::actSelectedUpdate);

    if (ProgramSettings)
        Tree->LoadRoot(ProgramSettings->dataDir());
    // Tab goes down the pane: the menu, the box, the tree (or the list standing in for it), the
    // hits.
    SetTabChain({tbiFile, Filter->edtFilter, Tree, Filter->lstFilter, lstFound});
    UpdateDirButtons();

    PaneWidth = ProgramSettings ? ProgramSettings->bounded(Settings::TreeWidth)
                                : Settings::bound(Settings::TreeWidth,
                                                  Settings::defaultInteger(Settings::TreeWidth));
    resize(PaneWidth, height());
    updateGeometry();
    actSelectedUpdate();
}

void TfrmMenuAndTree::UpdateDirButtons()
{
    auto usable = [this](int tag) {
        const QString dir = DirOf(tag);
        return !dir.isEmpty() && QFileInfo(dir).isDir();
    };
    tbi2ndDir->setEnabled(usable(1));
    tbi3rdDir->setEnabled(usable(2));
    // Each button tells which folder it opens.
    for (QAction *button : {tbiDataDir, tbi2ndDir, tbi3rdDir}) {
        const QString dir = DirOf(TagOf(button));
        ButtonFor(button)->setAccessibleDescription(dir.isEmpty() ? QStringLiteral("정하지 않음")
                                                                  : QDir::toNativeSeparators(dir));
    }
}

QString TfrmMenuAndTree::DirButtonName(int tag)
{
    return QStringLiteral("데이터 디렉토리 %1").arg(tag + 1);
}

void TfrmMenuAndTree::SelectFirst()
{
    if (Tree && Tree->topLevelItemCount() > 0)
        Tree->setCurrentItem(Tree->topLevelItem(0));
}

void TfrmMenuAndTree::OpenDataDir(const QString &dir)
{
    Tree->LoadRoot(dir);
    SelectFirst();
    actSelectedUpdate();
}

void TfrmMenuAndTree::actFileNewFolderExecute()
{
    if (Tree)
        Tree->CreateFolder(false);
}

void TfrmMenuAndTree::actFileNewNoteExecute()
{
    if (Tree)
        Tree->CreateRecord(false);
}

void TfrmMenuAndTree::actFileDeleteExecute()
{
    if (Tree)
        Tree->DeleteNode(Tree->SelectedNode());
}

void TfrmMenuAndTree::actRenameExecute()
{
    if (Tree)
        Tree->RenameNode(Tree->SelectedNode());
}

void TfrmMenuAndTree::actModifyExecute()
{
    const QString file = Tree && Tree->SelectedNode() ? Tree->SelectedFile : QString();
    if (EditRecord)
        EditRecord(file);
}

QString TfrmMenuAndTree::SelectionFolder() const
{
    const QTreeWidgetItem *node = Tree->SelectedNode();
    if (node && !TzuTree::IsFolder(node))
        node = node->parent();
    return Tree->NodePath(node);
}

void TfrmMenuAndTree::actImportExecute()
{
    if (!Tree || !Tree->HasDataDir())
        return;
    const QString folder = SelectionFolder();
    const std::optional<QStringList> files = DialogService::current().chooseOpenFiles(
        {this, QStringLiteral("연락처 가져오기"), QDir::homePath(),
         QStringLiteral("vCard 파일 (*.vcf *.vcard);;모든 파일 (*)")});
    if (!files || files->isEmpty())
        return;
    // The records go in on a worker while the window goes on; the tree follows the store.
    auto report = std::make_shared<ContactReport>();
    const QStringList chosen = *files;
    // A card that came back from elsewhere updates its record wherever in the data directory
    // that lies.
    const QString dataDir = Tree->RootDir;
    Job *job = Job::start(QStringLiteral("가져오기"), [report, chosen, folder, dataDir](Job &job) {
        *report = ContactImport::Import(
            chosen, folder,
            [&job](qsizetype done, qsizetype total) { return job.report(done, total); }, dataDir,
            true);
    });
    StartedContactJob(job);
    connect(job, &Job::finished, this, [this, report, folder] {
        // Opens the folder the records went into.
        if (Tree && folder != Tree->RootDir)
            Tree->LocatePath(
                Paths::WithSeparator(folder.mid(Paths::WithSeparator(Tree->RootDir).size())));
        actSelectedUpdate();
        showReport(this, QStringLiteral("가져오기"), *report);
        if (!report->duplicatePaths.isEmpty()
            && DialogService::current().message(
                   {this, DialogService::Icon::Question, QStringLiteral("가져오기"),
                    QStringLiteral("가져온 자료 %1개가 이미 있는 자료와 같아 보입니다.\n"
                                   "중복 찾기에서 합칠까요?")
                        .arg(report->duplicatePaths.size()),
                    DialogService::Yes | DialogService::No, DialogService::No})
                   == DialogService::Yes)
            FindDuplicates(report->duplicatePaths);
    });
}

void TfrmMenuAndTree::actFindDuplicatesExecute()
{
    FindDuplicates({});
}

void TfrmMenuAndTree::FindDuplicates(const QStringList &only)
{
    if (!Tree || !Tree->HasDataDir())
        return;
    TfrmFindDuplicates dialog(Tree->RootDir, this, only);
    dialog.Search();
    DialogService::current().execDialog(dialog);
}

void TfrmMenuAndTree::actExportExecute()
{
    if (!Tree || !Tree->HasDataDir())
        return;
    DialogService &dialogs = DialogService::current();
    ContactExport::Request request;
    request.dataDir = Tree->RootDir;
    request.folder = SelectionFolder();
    if (request.folder != request.dataDir) {
        const DialogService::Button scope = dialogs.message(
            {this, DialogService::Icon::Question, QStringLiteral("내보내기"),
             QStringLiteral("'%1' 폴더와 그 하위 폴더만 내보낼까요?\nNo를 누르면 자료 폴더 "
                            "전체를 내보냅니다.")
                 .arg(Paths::FileName(request.folder)),
             DialogService::Yes | DialogService::No | DialogService::Cancel, DialogService::Yes});
        if (scope == DialogService::Cancel)
            return;
        if (scope == DialogService::No)
            request.folder = request.dataDir;
    }
    const std::optional<int> kind = dialogs.choose(
        {this,
         QStringLiteral("내보내기"),
         QStringLiteral("형식"),
         {QStringLiteral("vCard 파일 하나 (.vcf)"),
          QStringLiteral("vCard 폴더 (자료마다 .vcf 파일 하나, 동기화 도구용)"),
          QStringLiteral("CSV (UTF-8)"), QStringLiteral("CSV (CP949, 한글 Windows의 엑셀용)")},
         0});
    if (!kind)
        return;
    const QString base = request.folder == request.dataDir ? QStringLiteral("Vandrel")
                                                           : Paths::FileName(request.folder);
    std::optional<QString> out;
    switch (*kind) {
    case 0:
        request.format = ContactExport::Format::VCardFile;
        out = dialogs.chooseSaveFile({this, QStringLiteral("vCard 파일로 내보내기"),
                                      Paths::Join(QDir::homePath(), base + QStringLiteral(".vcf")),
                                      QStringLiteral("vCard 파일 (*.vcf)")});
        break;
    case 1:
        request.format = ContactExport::Format::VCardFolder;
        out = dialogs.chooseOutputFolder(
            {this, QStringLiteral("vCard 폴더로 내보내기"), QDir::homePath(), {}});
        break;
    default:
        request.format = ContactExport::Format::Csv;
        request.csvCp949 = *kind == 3;
        out = dialogs.chooseSaveFile({this, QStringLiteral("CSV로 내보내기"),
                                      Paths::Join(QDir::homePath(), base + QStringLiteral(".csv")),
                                      QStringLiteral("CSV 파일 (*.csv)")});
        break;
    }
    if (!out)
        return;
    request.out = *out;
    auto report = std::make_shared<ContactReport>();
    Job *job = Job::start(QStringLiteral("내보내기"), [report, request](Job &job) {
        *report = ContactExport::Export(
            request, [&job](qsizetype done, qsizetype total) { return job.report(done, total); });
    });
    StartedContactJob(job);
    connect(job, &Job::finished, this,
            [this, report] { showReport(this, QStringLiteral("내보내기"), *report); });
}

void TfrmMenuAndTree::StartedContactJob(Job *job)
{
    // One import or export at a time.
    m_contactJob = job;
    actSelectedUpdate();
    connect(job, &Job::finished, this, [this] {
        m_contactJob = nullptr;
        actSelectedUpdate();
    });
}

QString TfrmMenuAndTree::DirOf(int tag) const
{
    if (!ProgramSettings)
        return {};
    if (tag == 0)
        return ProgramSettings->dataDir();
    return ProgramSettings->text(tag == 1 ? Settings::SecondDir : Settings::ThirdDir);
}

void TfrmMenuAndTree::tbiSetDirClick(QAction *button)
{
    if (!ProgramSettings || !Tree)
        return;
    OpenDataDir(DirOf(TagOf(button)));
    button->setChecked(true);
}

void TfrmMenuAndTree::TBItem6Click()
{
    if (!OpenSettings || !OpenSettings() || !ProgramSettings || !Tree)
        return;
    OpenDataDir(DirOf(0));
    tbiDataDir->setChecked(true);
    UpdateDirButtons();
}

void TfrmMenuAndTree::tbiGotoHomeClick()
{
    if (OpenHomePage)
        OpenHomePage();
}

void TfrmMenuAndTree::tbiCloseClick()
{
    window()->close();
}

void TfrmMenuAndTree::actSelectedUpdate()
{
    const bool selected = Tree && Tree->SelectedNode();
    // Nothing can be created where there is no data directory.
    actFileNewFolder->setEnabled(!Tree || Tree->HasDataDir());
    actFileNewNote->setEnabled(!Tree || Tree->HasDataDir());
    actImport->setEnabled(Tree && Tree->HasDataDir() && !m_contactJob);
    actExport->setEnabled(Tree && Tree->HasDataDir() && !m_contactJob);
    actFindDuplicates->setEnabled(Tree && Tree->HasDataDir());
    actFileDelete->setEnabled(selected);
    actFind->setEnabled(selected && !m_searching);
    actRename->setEnabled(selected);
    actModify->setEnabled(selected);
}

void TfrmMenuAndTree::actFindExecute()
{
    const std::optional<QString> answer = DialogService::current().input(
        {this, QStringLiteral("자료 검색"), QStringLiteral("검색 내용"), QString()});
    if (!answer)
        return;
    const QString text = RecordSearch::Normalize(*answer);
    if (text.isEmpty())
        return;
    SearchRecords(text);
}

void TfrmMenuAndTree::SearchRecords(const QString &text)
{
    m_searching = true;
    actSelectedUpdate();
    QProgressBar *bar = Bar();
    const auto finish = qScopeGuard([this, bar] {
        m_searching = false;
        actSelectedUpdate();
        if (bar)
            bar->setValue(0);
    });
    lstFound->clear();
    FoundPaths.clear();

    const QString root = Tree ? Tree->RootDir : QString();
    QStringList unreadable;
    const QStringList files = RecordSearch::CollectFiles(root, &unreadable);
    if (bar) {
        bar->setMaximum(int(qMin<qsizetype>(files.size(), INT_MAX)));
        bar->setValue(0);
    }
    if (files.isEmpty()) {
        ShowWarningMessage(this, QStringLiteral("Warning"), QStringLiteral("No matched file"));
    } else {
        const RecordSearch search(text);
        const qsizetype prefix = Paths::WithSeparator(root).size();
        QStringList labels;
        QElapsedTimer sinceRepaint;
        sinceRepaint.start();
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QString &file = files.at(i);
            if (search.NameMatches(file) || search.ContentsMatch(file)) {
                FoundPaths.append(file.mid(prefix));
                labels.append(RecordSearch::HitLabel(file));
            }
            // The search never returns to the message loop, so the bar is painted here, a few
            // dozen times a second at most; setValue paints at once when the bar shows a
            // change. The clock is read every 64 files only.
            if (bar && (i & 63) == 0 && sinceRepaint.elapsed() >= ProgressRepaintMs) {
                bar->setValue(int(i));
                sinceRepaint.restart();
            }
        }
        lstFound->addItems(labels);
        if (lstFound->count() > 0) {
            {
                const QSignalBlocker quiet(lstFound);
                lstFound->setCurrentRow(0);
            }
            lstFoundClick(0);
        } else {
            ShowWarningMessage(this, QStringLiteral("Warning"), QStringLiteral("Not Found"));
        }
    }
    if (!unreadable.isEmpty()) {
        QStringList shown;
        for (const QString &path : unreadable.mid(0, 10))
            shown << QStringLiteral("  ")
                         + QDir::toNativeSeparators(path.mid(Paths::WithSeparator(root).size()));
        if (unreadable.size() > 10)
            shown << QStringLiteral("  … (%1개 더)").arg(unreadable.size() - 10);
        ShowWarningMessage(this, QStringLiteral("Warning"),
                           QStringLiteral("다음 항목은 이름이 UTF-8이 아니어서 찾지 못했습니다. 그 "
                                          "폴더를 트리에서 열면 이름을 바꿀 수 있습니다:\n\n%1")
                               .arg(shown.join(u'\n')));
    }
}

void TfrmMenuAndTree::keyPressEvent(QKeyEvent *event)
{
    // The bar says Esc stops what runs.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier
        && Jobs::instance().cancelAll()) {
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

bool TfrmMenuAndTree::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lstFound->viewport()) {
        if (event->type() == QEvent::MouseButtonPress
            || event->type() == QEvent::MouseButtonDblClick)
            m_pressingFound = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            m_pressingFound = false;
    }
    return QFrame::eventFilter(watched, event);
}

void TfrmMenuAndTree::lstFoundClick(int row)
{
    if (Tree && row >= 0 && row < FoundPaths.size())
        Tree->LocatePath(FoundPaths.at(row));
}
