#include "zuTree.h"

#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/Paths.h"
#include "records/NewData.h"
#include "records/PhoneFun.h"
#include "records/RecordStore.h"
#include "records/UserFileName.h"
#include "records/book.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include <algorithm>

TzuTree *RecordTree = nullptr;

const QString TzuTree::PlaceholderText = QStringLiteral("-\x07");

namespace {

const QChar Sep = Paths::Separator();

} // namespace

TzuTree::TzuTree(QWidget *parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("RecordTree"));
    setHeaderHidden(true);
    setColumnCount(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setExpandsOnDoubleClick(false);
    setIndentation(19);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setAccessibleName(QStringLiteral("자료 트리"));
    setAccessibleDescription(
        QStringLiteral("데이터 디렉토리의 폴더와 자료. 메뉴 키나 Shift+F10: 메뉴, /: 자료 찾기"));
    connect(this, &QTreeWidget::itemSelectionChanged, this, &TzuTree::OnSelectionChange);
    connect(this, &QTreeWidget::itemExpanded, this, &TzuTree::OnExpanded);
    // Whatever the program changes (an import, a save, the tree's own editing) shows; queued, so
    // that the tree's own operation has finished placing its nodes first.
    connect(&RecordStore::Notifier::Instance(), &RecordStore::Notifier::changed, this,
            &TzuTree::OnStoreChanged, Qt::QueuedConnection);

    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    auto item = [this](const char *name, const QString &caption, void (TzuTree::*run)()) {
        QAction *a = PopupMenu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this,
                [this, run] { VandrelApplication::guarded([this, run] { (this->*run)(); }); });
        return a;
    };
    mnuCut = item("mnuCut", QStringLiteral("잘라내기 &U"), &TzuTree::CutClick);
    mnuPaste = item("mnuPaste", QStringLiteral("붙여넣기 &S"), &TzuTree::PasteClick);
    PopupMenu->addSeparator();
    mnuRename = item("mnuRename", QStringLiteral("이름변경 &R"), &TzuTree::RenameClick);
    mnuDelete = item("mnuDelete", QStringLiteral("자료삭제 &E"), &TzuTree::DeleteClick);
    PopupMenu->addSeparator();
    mnuNewFolder = item("mnuNewFolder", QStringLiteral("폴더생성 &F"), &TzuTree::NewFolderClick);
    mnuNewRecord = item("mnuNewRecord", QStringLiteral("자료생성 &D"), &TzuTree::NewRecordClick);
    PopupMenu->addSeparator();
    mnuRefresh = item("mnuRefresh", QStringLiteral("트리갱신 &T"), &TzuTree::RefreshClick);
    mnuPaste->setEnabled(false);
}

quint32 TzuTree::TickCount()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return quint32(clock.elapsed());
}

void TzuTree::SetImages(const QList<QPixmap> &images)
{
    m_icons.clear();
    // Index 0 and 2 carry the closed and plain images, with the selected ones beside them.
    for (int kind = 0; kind + 1 < images.size(); kind += 2) {
        QIcon icon;
        icon.addPixmap(images.at(kind), QIcon::Normal);
        icon.addPixmap(images.at(kind + 1), QIcon::Selected);
        m_icons << icon << icon;
    }
}

int TzuTree::ImageIndex(const QTreeWidgetItem *node)
{
    if (!node)
        return -1;
    const QVariant v = node->data(0, ImageIndexRole);
    return v.isValid() ? v.toInt() : -1;
}

bool TzuTree::IsFolder(const QTreeWidgetItem *node)
{
    const int i = ImageIndex(node);
    return i == ImgFolder || i == ImgFolderOpen;
}

bool TzuTree::IsRecord(const QTreeWidgetItem *node)
{
    const int i = ImageIndex(node);
    return i == ImgRecord || i == ImgRecordEdit;
}

bool TzuTree::IsPlaceholder(const QTreeWidgetItem *node)
{
    return node && ImageIndex(node) < 0 && node->text(0) == PlaceholderText;
}

bool TzuTree::FirstChildIsPlaceholder(const QTreeWidgetItem *node)
{
    return node && node->childCount() > 0 && IsPlaceholder(node->child(0));
}

void TzuTree::SetKind(QTreeWidgetItem *node, int image, int selectedImage)
{
    node->setData(0, ImageIndexRole, image);
    node->setData(0, SelectedIndexRole, selectedImage);
    // The image tells the kinds apart on the screen; a screen reader says it.
    node->setData(0, Qt::AccessibleDescriptionRole,
                  IsFolder(node) ? QStringLiteral("폴더") : QStringLiteral("자료"));
    if (image < m_icons.size())
        node->setIcon(0, m_icons.at(image));
}

QTreeWidgetItem *TzuTree::SelectedNode() const
{
    const QList<QTreeWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TzuTree::LoadRoot(const QString &dir)
{
    m_attached = false;
    clear();
    HotNode = nullptr;
    ForgetCut();
    RootDir = Paths::WithoutTrailingSeparator(dir);
    // Without a folder to show, an empty path would stand for the working folder and every
    // path built on it for the file system's root.
    m_hasDataDir = RecordStore::IsDataDir(RootDir);
    if (m_hasDataDir)
        LoadFolder(nullptr, RootDir);
    m_attached = true;
    viewport()->update();
    emit rootLoaded();
}

QTreeWidgetItem *TzuTree::NewFolderNode(const QString &name, const QString &dir)
{
    auto *node = new QTreeWidgetItem(QStringList{name});
    SetKind(node, ImgFolder, ImgFolderOpen);
    if (HasVisibleEntries(Paths::Join(dir, name)))
        node->addChild(new QTreeWidgetItem(QStringList{PlaceholderText}));
    return node;
}

QTreeWidgetItem *TzuTree::NewRecordNode(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    auto *node = new QTreeWidgetItem(QStringList{dot < 0 ? fileName : fileName.left(dot)});
    SetKind(node, ImgRecord, ImgRecordEdit);
    return node;
}

void TzuTree::LoadFolder(QTreeWidgetItem *node, const QString &dir)
{
    const RecordStore::Listing listing = RecordStore::ListFolder(dir);
    if (!listing.unreadable.isEmpty())
        OfferNameRepair(dir, listing.unreadable);
    const QStringList &folders = listing.folders;
    const QStringList &records = listing.records;

    QList<QTreeWidgetItem *> made;
    made.reserve(folders.size() + records.size());
    for (const QString &name : std::as_const(folders))
        made << NewFolderNode(name, dir);
    for (const QString &name : std::as_const(records))
        made << NewRecordNode(name);
    if (made.isEmpty())
        return;

    // The placeholder makes way for the first real child.
    if (FirstChildIsPlaceholder(node)) {
        QTreeWidgetItem *first = made.takeFirst();
        QTreeWidgetItem *placeholder = node->child(0);
        placeholder->setText(0, first->text(0));
        placeholder->setData(0, ImageIndexRole, first->data(0, ImageIndexRole));
        placeholder->setData(0, SelectedIndexRole, first->data(0, SelectedIndexRole));
        placeholder->setData(0, Qt::AccessibleDescriptionRole,
                             first->data(0, Qt::AccessibleDescriptionRole));
        placeholder->setIcon(0, first->icon(0));
        placeholder->addChildren(first->takeChildren());
        delete first;
    }
    if (node)
        node->addChildren(made);
    else
        addTopLevelItems(made);
}

bool TzuTree::HasVisibleEntries(const QString &dir)
{
    return RecordStore::HasVisibleEntries(dir);
}

QString TzuTree::NodePath(const QTreeWidgetItem *node) const
{
    if (!node)
        return RootDir;
    QString path = node->text(0);
    for (const QTreeWidgetItem *p = node->parent(); p; p = p->parent())
        path = p->text(0) + Sep + path;
    return Paths::Join(RootDir, path);
}

QString TzuTree::SelectionPath() const
{
    const QTreeWidgetItem *node = SelectedNode();
    if (!node)
        return {};
    if (IsRecord(node))
        return NodePath(node) + QStringLiteral(".txt");
    return NodePath(node) + Sep;
}

void TzuTree::SetSelectedFile(const QString &path)
{
    // A folder's path never equals the stored folder record path, so it always refreshes.
    if (path == SelectedFile)
        return;
    SelectedFile = path;
    if (!SelectedFile.isEmpty() && (SelectedFile.back() == Sep || SelectedFile.back() == u'/'))
        SelectedFile += FolderRecordName;
    if (ShowRecord)
        ShowRecord(SelectedFile);
}

void TzuTree::OnSelectionChange()
{
    if (!m_attached)
        return;
    const QTreeWidgetItem *node = SelectedNode();
    if (!node)
        return;
    if (IsRecord(node))
        SetSelectedFile(NodePath(node) + QStringLiteral(".txt"));
    else
        SetSelectedFile(NodePath(node) + Sep);
}

void TzuTree::OnExpanded(QTreeWidgetItem *node)
{
    // Only the tree's own handlers open an unloaded folder, after loading it.
    if (FirstChildIsPlaceholder(node))
        collapseItem(node);
}

void TzuTree::LoadChildren(QTreeWidgetItem *node)
{
    if (!FirstChildIsPlaceholder(node))
        return;
    LoadFolder(node, NodePath(node));
    expandItem(node);
}

void TzuTree::ExpandFolder(QTreeWidgetItem *node)
{
    if (!node || !IsFolder(node))
        return;
    if (node->childCount() > 0) {
        if (!FirstChildIsPlaceholder(node))
            expandItem(node);
        else
            LoadChildren(node);
    }
    LastExpandTick = TickCount();
}

void TzuTree::OfferNameRepair(const QString &dir, const QList<RecordStore::UnreadableName> &names)
{
    // Once per folder and session; after the loading that found them, not inside it.
    if (m_repairOffered.contains(dir))
        return;
    m_repairOffered.insert(dir);
    QTimer::singleShot(0, this, [this, dir, names] {
        VandrelApplication::guarded([&] { RepairNames(dir, names); });
    });
}

void TzuTree::RepairNames(const QString &dir, const QList<RecordStore::UnreadableName> &names)
{
    constexpr int Listed = 10;
    QStringList shown;
    for (const RecordStore::UnreadableName &n : names.mid(0, Listed))
        shown << QStringLiteral("  ") + n.readable;
    if (names.size() > Listed)
        shown << QStringLiteral("  … (%1개 더)").arg(names.size() - Listed);
    const auto answer = DialogService::current().message(
        {window(), DialogService::Icon::Question, VandrelApplication::title(),
         QStringLiteral("%1 폴더의 다음 항목은 이름이 UTF-8이 아니어서(한글 Windows의 코드 "
                        "페이지 949로 된 이름) 트리에 보이지 않고, 열거나 찾을 수 없습니다:\n\n%2"
                        "\n\n이름을 위와 같이 바꿀까요? 내용은 바뀌지 않습니다.")
             .arg(Paths::Native(dir), shown.join(u'\n')),
         DialogService::Yes | DialogService::No, DialogService::Yes});
    if (answer != DialogService::Yes)
        return;
    const QStringList failed = RecordStore::RepairNames(dir, names);
    if (failed.size() < names.size())
        SyncFolder(dir);
    if (!failed.isEmpty())
        PlainMessage(QStringLiteral("다음 항목은 이름을 바꾸지 못했습니다. 파일 관리자에서 "
                                    "이름을 바꾸어 주십시오:\n\n  %1")
                         .arg(failed.join(QStringLiteral("\n  "))));
}

QTreeWidgetItem *TzuTree::FolderNode(const QString &dir, bool *found)
{
    *found = dir == RootDir;
    if (*found)
        return nullptr;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if (IsFolder(*it) && NodePath(*it) == dir) {
            *found = true;
            return *it;
        }
    return nullptr;
}

void TzuTree::OnStoreChanged(const QList<RecordStore::Change> &changes)
{
    QStringList folders;
    const auto add = [&folders](const QString &path) {
        const QString dir =
            Paths::WithoutTrailingSeparators(path.left(path.size() - Paths::FileName(path).size()));
        if (!path.isEmpty() && !folders.contains(dir))
            folders << dir;
    };
    for (const RecordStore::Change &c : changes) {
        add(c.path);
        add(c.oldPath);
    }
    for (const QString &dir : std::as_const(folders))
        SyncFolder(dir);
}

void TzuTree::SyncFolder(const QString &dir)
{
    bool found = false;
    QTreeWidgetItem *parent = FolderNode(dir, &found);
    if (!found || !m_hasDataDir)
        return;
    const auto childAt = [&](int i) { return parent ? parent->child(i) : topLevelItem(i); };
    const auto childCount = [&] { return parent ? parent->childCount() : topLevelItemCount(); };
    if (parent && (parent->childCount() == 0 || FirstChildIsPlaceholder(parent))) {
        // Not loaded yet: only whether it can be opened follows the disk.
        const bool visible = HasVisibleEntries(dir);
        if (visible && parent->childCount() == 0)
            parent->addChild(new QTreeWidgetItem(QStringList{PlaceholderText}));
        else if (!visible && FirstChildIsPlaceholder(parent))
            delete parent->takeChild(0);
        if (parent->childCount() > 0 || !visible)
            return;
    }
    const RecordStore::Listing listing = RecordStore::ListFolder(dir);
    struct Wanted
    {
        QString text;
        bool folder;
    };
    QList<Wanted> wanted;
    for (const QString &name : listing.folders)
        wanted.append({name, true});
    for (const QString &name : listing.records)
        wanted.append({name.left(name.lastIndexOf(u'.')), false});
    const auto isWanted = [&](const QTreeWidgetItem *node) {
        for (const Wanted &w : std::as_const(wanted))
            if (w.text == node->text(0) && w.folder == IsFolder(node))
                return true;
        return false;
    };
    m_attached = false;
    bool selectedGone = false;
    for (int i = childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *node = childAt(i);
        if (IsPlaceholder(node) || isWanted(node))
            continue;
        for (const QTreeWidgetItem *p = SelectedNode(); p; p = p->parent())
            if (p == node)
                selectedGone = true;
        RemoveNode(node);
    }
    // New entries take their sorted place; the others keep theirs, open or not.
    for (int i = 0; i < wanted.size(); ++i) {
        const Wanted &w = wanted.at(i);
        bool present = false;
        for (int k = 0; k < childCount() && !present; ++k)
            present = childAt(k)->text(0) == w.text && IsFolder(childAt(k)) == w.folder;
        if (present)
            continue;
        QTreeWidgetItem *node =
            w.folder ? NewFolderNode(w.text, dir) : NewRecordNode(w.text + QStringLiteral(".txt"));
        const int at = std::min(i, childCount());
        if (parent)
            parent->insertChild(at, node);
        else
            insertTopLevelItem(at, node);
    }
    if (selectedGone) {
        // The record on view went away with its node.
        clearSelection();
        SelectedFile.clear();
        if (ShowRecord)
            ShowRecord(QString());
    }
    m_attached = true;
}

QString TzuTree::NoDataDirText() const
{
    if (m_hasDataDir)
        return {};
    if (RootDir.isEmpty())
        return QStringLiteral(
            "데이터 폴더가 정해지지 않았습니다.\n환경설정에서 데이터 폴더를 고르십시오.");
    return QStringLiteral("데이터 폴더가 없습니다:\n%1\n환경설정에서 다른 폴더를 고르거나, 폴더가 "
                          "있는 드라이브를 연결한 뒤 트리갱신을 누르십시오.")
        .arg(Paths::Native(RootDir));
}

void TzuTree::paintEvent(QPaintEvent *event)
{
    QTreeWidget::paintEvent(event);
    const QString text = NoDataDirText();
    if (text.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

bool TzuTree::OnLabel(QTreeWidgetItem *node, const QPoint &pos) const
{
    // Left of the item's cell lie the indentation and the expand button.
    return pos.x() >= visualItemRect(node).left();
}

void TzuTree::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem *node = itemAt(pos);
    HotNode = node;
    if (event->button() == Qt::LeftButton && node) {
        if (OnLabel(node, pos)) {
            if (!node->isExpanded())
                ExpandFolder(node);
        } else if (FirstChildIsPlaceholder(node)) {
            // The expand button of an unloaded folder: load, open and select, nothing more.
            LoadChildren(node);
            setCurrentItem(node);
            event->accept();
            return;
        }
    }
    QTreeWidget::mousePressEvent(event);
}

void TzuTree::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (quint32(TickCount() - LastExpandTick) <= DoubleClickGuardMs)
        return;
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem *node = itemAt(pos);
    if (node && OnLabel(node, pos) && node->isExpanded())
        collapseItem(node);
}

void TzuTree::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    // Shift+F10 opens the popup menu, as the menu key does, where a keyboard has no menu key.
    if (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        PopupFromKeyboard();
        event->accept();
        return;
    }
    if (key == Qt::Key_Right || key == Qt::Key_Return || key == Qt::Key_Enter) {
        QTreeWidgetItem *node = SelectedNode();
        if (FirstChildIsPlaceholder(node)) {
            LoadChildren(node);
            event->accept();
            return;
        }
    }
    QTreeWidget::keyPressEvent(event);
}

bool TzuTree::Descend(QTreeWidgetItem *parent, const QStringList &parts, qsizetype level,
                      bool wantFolder)
{
    const QString wanted = Paths::AsciiLower(parts.at(level));
    const bool last = level == parts.size() - 1;
    const int count = parent ? parent->childCount() : topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem *candidate = parent ? parent->child(i) : topLevelItem(i);
        if (IsPlaceholder(candidate) || Paths::AsciiLower(candidate->text(0)) != wanted)
            continue;
        if (last) {
            if ((wantFolder && !IsFolder(candidate)) || (!wantFolder && !IsRecord(candidate)))
                continue;
            setCurrentItem(candidate);
            scrollToItem(candidate);
            if (IsFolder(candidate))
                LoadChildren(candidate);
            return true;
        }
        ExpandFolder(candidate);
        if (Descend(candidate, parts, level + 1, wantFolder))
            return true;
    }
    return false;
}

bool TzuTree::LocatePath(const QString &relPath)
{
    if (relPath.isEmpty())
        return false;
    QStringList parts;
    for (const QString &p : relPath.split(Sep))
        if (!p.isEmpty())
            parts << p;
    if (parts.isEmpty())
        return false;
    bool wantFolder = true;
    if (parts.last() == FolderRecordName) {
        parts.removeLast();
    } else if (parts.last().endsWith(QStringLiteral(".txt"))) {
        parts.last().chop(4);
        wantFolder = false;
    }
    if (parts.isEmpty())
        return false;
    return Descend(nullptr, parts, 0, wantFolder);
}

// ---- Editing -------------------------------------------------------------------------------

void TzuTree::ForgetCut()
{
    CutNode = nullptr;
    if (mnuPaste)
        mnuPaste->setEnabled(false);
}

void TzuTree::RemoveNode(QTreeWidgetItem *node)
{
    // Remembered nodes inside the one going away are forgotten with it.
    for (const QTreeWidgetItem *p = CutNode; p; p = p->parent())
        if (p == node) {
            ForgetCut();
            break;
        }
    for (const QTreeWidgetItem *p = HotNode; p; p = p->parent())
        if (p == node) {
            HotNode = nullptr;
            break;
        }
    delete node;
}

void TzuTree::PlainMessage(const QString &text)
{
    DialogService::current().message({window(), DialogService::Icon::None,
                                      VandrelApplication::title(), text, DialogService::Ok,
                                      DialogService::Ok});
}

void TzuTree::PreparePopup(QTreeWidgetItem *hot)
{
    HotNode = hot;
    mnuNewFolder->setEnabled(m_hasDataDir);
    mnuNewRecord->setEnabled(m_hasDataDir);
    mnuCut->setEnabled(hot != nullptr);
    mnuRename->setEnabled(hot != nullptr);
    mnuDelete->setEnabled(hot != nullptr);
}

void TzuTree::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        PopupFromKeyboard();
        return;
    }
    PreparePopup(itemAt(event->pos()));
    PopupMenu->exec(event->globalPos());
}

void TzuTree::PopupFromKeyboard()
{
    // Under the selected node, wherever the mouse is.
    QTreeWidgetItem *hot = SelectedNode();
    QPoint at;
    if (hot) {
        scrollToItem(hot);
        at = visualItemRect(hot).bottomLeft();
    }
    PreparePopup(hot);
    PopupMenu->exec(viewport()->mapToGlobal(at));
}

void TzuTree::CutClick()
{
    if (!HotNode)
        return;
    CutNode = HotNode;
    mnuPaste->setEnabled(true);
}

void TzuTree::PasteClick()
{
    QTreeWidgetItem *source = CutNode;
    ForgetCut();
    if (source)
        MoveNode(HotNode, source);
}

void TzuTree::RenameClick()
{
    if (HotNode)
        RenameNode(HotNode);
}

void TzuTree::DeleteClick()
{
    DeleteNode(HotNode);
}

void TzuTree::NewEntryFromPopup(bool folder)
{
    QTreeWidgetItem *hot = HotNode;
    bool atRoot = true;
    if (hot && IsFolder(hot)) {
        setCurrentItem(hot);
        atRoot = false;
    } else if (hot && hot->parent()) {
        setCurrentItem(hot->parent());
        atRoot = false;
    }
    if (folder)
        CreateFolder(atRoot);
    else
        CreateRecord(atRoot);
}

void TzuTree::NewFolderClick()
{
    NewEntryFromPopup(true);
}

void TzuTree::NewRecordClick()
{
    NewEntryFromPopup(false);
}

void TzuTree::RefreshClick()
{
    LoadRoot(RootDir);
}

QTreeWidgetItem *TzuTree::PlaceNode(QTreeWidgetItem *parent, const QString &name, bool folder)
{
    QTreeWidgetItem *node;
    if (parent && FirstChildIsPlaceholder(parent)) {
        node = parent->child(0);
        node->setText(0, name);
    } else {
        node = new QTreeWidgetItem(QStringList{name});
        if (parent)
            parent->addChild(node);
        else
            addTopLevelItem(node);
    }
    if (folder)
        SetKind(node, ImgFolder, ImgFolderOpen);
    else
        SetKind(node, ImgRecord, ImgRecordEdit);
    return node;
}

void TzuTree::CreateEntry(bool atRoot, bool folder)
{
    if (!m_hasDataDir)
        return;
    QTreeWidgetItem *selected = SelectedNode();
    QTreeWidgetItem *parent = nullptr;
    if (!atRoot && selected)
        parent = IsFolder(selected) ? selected : selected->parent();
    if (parent)
        LoadChildren(parent);
    QString dir = Paths::WithSeparator(NodePath(parent));

    TfrmNewData dialog(window());
    dialog.RootFolder = Paths::WithSeparator(RootDir);
    if (folder) {
        dialog.setWindowIcon(FolderDialogIcon);
        dialog.FolderPath = dir;
        dialog.FolderMode = true;
    } else {
        dialog.setWindowIcon(RecordDialogIcon);
        dialog.PrepareNewRecord(dir);
    }
    QString name;
    if (DialogService::current().execDialog(dialog) == QDialog::Accepted) {
        name = dialog.EnteredName();
        if (dialog.chkIsRoot->isChecked()) {
            parent = nullptr;
            dir = Paths::WithSeparator(RootDir);
        }
    }
    if (name.isEmpty())
        return;
    QTreeWidgetItem *node = PlaceNode(parent, name, folder);
    setCurrentItem(node);
    SetSelectedFile(dir + name + (folder ? QString(Sep) : QStringLiteral(".txt")));
}

void TzuTree::CreateFolder(bool atRoot)
{
    CreateEntry(atRoot, true);
}

void TzuTree::CreateRecord(bool atRoot)
{
    CreateEntry(atRoot, false);
}

QString TzuTree::CompanionFolder(const QString &path)
{
    return RecordStore::CompanionFolder(path);
}

bool TzuTree::RenameReferences(const QString &file, const QString &oldName, const QString &newName)
{
    return RecordStore::RenameReferences(file, oldName, newName);
}

void TzuTree::RenameNode(QTreeWidgetItem *node)
{
    if (!node)
        return;
    QTreeWidgetItem *parent = node->parent();
    LoadChildren(parent);
    const QString dir = Paths::WithSeparator(NodePath(parent));
    const QString oldName = node->text(0);
    const bool record = IsRecord(node);

    TfrmUserFileName dialog(window());
    dialog.edtName->setText(oldName);
    dialog.RootFolder = Paths::WithSeparator(RootDir);
    dialog.FolderPath = dir;
    dialog.ExistCheck = false;
    dialog.SetFolderMode(!record);
    QString newName;
    if (DialogService::current().execDialog(dialog) == QDialog::Accepted)
        newName = dialog.EnteredName();
    if (newName.isEmpty())
        return;

    QString warning;
    const QString problem = RecordStore::Rename(dir, oldName, newName, record, &warning);
    if (!problem.isEmpty()) {
        PlainMessage(problem);
        return;
    }
    node->setText(0, newName);
    viewport()->update();
    SetSelectedFile(SelectionPath());
    if (!warning.isEmpty())
        PlainMessage(warning);
}

bool TzuTree::ShellFileOperation(const QString &from, const QString &to, int func, int flags)
{
    return RecordStore::ShellFileOperation(from, to, func, flags);
}

bool TzuTree::DeletePath(const QString &path)
{
    return RecordStore::DeletePath(path);
}

void TzuTree::DeleteNode(QTreeWidgetItem *node)
{
    if (!node)
        return;
    const auto answer = DialogService::current().message(
        {nullptr, DialogService::Icon::Question, QStringLiteral("자료 삭제!!"),
         node->text(0) + QStringLiteral(" 를(을) 삭제할까요?"),
         DialogService::Ok | DialogService::Cancel, DialogService::Cancel});
    if (answer != DialogService::Ok)
        return;
    const QString path = Paths::Join(NodePath(node->parent()), node->text(0))
                         + (IsRecord(node) ? QStringLiteral(".txt") : QString());
    bool deleted = false;
    if (DeletePath(path)) {
        deleted = true;
        SelectedFile.clear();
        QTreeWidgetItem *neighbour = itemBelow(node);
        for (QTreeWidgetItem *p = neighbour; p; p = p->parent())
            if (p == node)
                neighbour = nullptr;
        if (!neighbour)
            neighbour = itemAbove(node);
        RemoveNode(node);
        if (!SelectedNode() && neighbour)
            setCurrentItem(neighbour);
    }
    SetSelectedFile(SelectionPath());
    // With nothing left to select, the view must not go on showing the deleted record.
    if (deleted && !SelectedNode() && ShowRecord)
        ShowRecord(QString());
}

bool TzuTree::IsWithin(const QTreeWidgetItem *source, const QTreeWidgetItem *target)
{
    if (!target || !target->parent())
        return false;
    for (const QTreeWidgetItem *p = target; p; p = p->parent())
        if (p == source)
            return true;
    return false;
}

void TzuTree::MoveNode(QTreeWidgetItem *target, QTreeWidgetItem *source)
{
    if (!source)
        return;
    ExpandFolder(target);
    if (target && target->childCount() == 1 && IsPlaceholder(target->child(0)))
        delete target->takeChild(0);
    if (IsWithin(source, target)) {
        PlainMessage(QStringLiteral("하위로의 이동은 안됩니다."));
        return;
    }
    if (IsRecord(target))
        target = target->parent();
    const QString destDir = NodePath(target);
    const QString srcPath =
        NodePath(source) + (IsRecord(source) ? QStringLiteral(".txt") : QString());
    LoadChildren(target);
    if (srcPath == destDir)
        return;
    if (!RecordStore::Move(srcPath, destDir))
        return;

    m_attached = false;
    const QString text = source->text(0);
    const bool wasRecord = IsRecord(source);
    RemoveNode(source);
    auto matches = [&](const QTreeWidgetItem *n) {
        return n->text(0) == text && IsRecord(n) == wasRecord && !IsPlaceholder(n);
    };
    QTreeWidgetItem *found = nullptr;
    if (target) {
        while (target->childCount() > 0)
            RemoveNode(target->child(0));
        target->addChild(new QTreeWidgetItem(QStringList{PlaceholderText}));
        ExpandFolder(target);
        clearSelection();
        for (int i = 0; i < target->childCount() && !found; ++i)
            if (matches(target->child(i)))
                found = target->child(i);
    } else {
        LoadRoot(RootDir);
        m_attached = false;
        clearSelection();
        for (int i = 0; i < topLevelItemCount() && !found; ++i)
            if (matches(topLevelItem(i)))
                found = topLevelItem(i);
    }
    if (found) {
        setCurrentItem(found);
        scrollToItem(found);
    }
    SetSelectedFile(SelectionPath());
    m_attached = true;
}

void TzuTree::DropAt(const QPoint &pos)
{
    QTreeWidgetItem *source = SelectedNode();
    if (!source)
        return;
    QTreeWidgetItem *target = itemAt(pos);
    if (IsRecord(target))
        target = target->parent();
    MoveNode(target, source);
}

void TzuTree::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->source() == this)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TzuTree::dragMoveEvent(QDragMoveEvent *event)
{
    // Anywhere over the tree, empty space included.
    if (event->source() == this)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TzuTree::dropEvent(QDropEvent *event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    // The tree changes itself after the move; the view must not remove the dragged row too.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    const QPoint pos = event->position().toPoint();
    // After the drag has ended, so that questions and messages are not shown inside it.
    QTimer::singleShot(0, this,
                       [this, pos] { VandrelApplication::guarded([this, pos] { DropAt(pos); }); });
}
