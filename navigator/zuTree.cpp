#include "zuTree.h"

#include "app/main.h"
#include "platform/DirectoryListing.h"
#include "records/PhoneFun.h"
#include "records/book.h"

#include <QCollator>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

TzuTree *RecordTree = nullptr;

const QString TzuTree::PlaceholderText = QStringLiteral("-\x07");

namespace {

const QChar Sep = QDir::separator();

QString asciiLower(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        if (c.unicode() >= u'A' && c.unicode() <= u'Z')
            c = QChar(char16_t(c.unicode() + 32));
    return out;
}

// Names in the order the user's language sorts them, letter case aside.
void sortNames(QStringList &names)
{
    if (names.size() < 2)
        return;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    if (collator.locale().language() == QLocale::C) {
        // The C locale has no collation of its own; fold the case and compare.
        std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        return;
    }
    // One sort key per name is far cheaper than collating every comparison.
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        keys.emplace_back(collator.sortKey(names.at(i)), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first.compare(b.first) < 0; });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const auto &k : keys)
        sorted.append(names.at(k.second));
    names = std::move(sorted);
}

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
    ShowRecord = [](const QString &path) {
        if (frmMainVR && frmMainVR->Book)
            frmMainVR->Book->ShowRecord(path);
    };
    connect(this, &QTreeWidget::itemSelectionChanged, this, &TzuTree::OnSelectionChange);
    connect(this, &QTreeWidget::itemExpanded, this, &TzuTree::OnExpanded);
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
    CutNode = nullptr;
    RootDir = dir;
    if (!RootDir.isEmpty() && (RootDir.back() == Sep || RootDir.back() == u'/'))
        RootDir.chop(1);
    LoadFolder(nullptr, RootDir);
    m_attached = true;
}

QTreeWidgetItem *TzuTree::NewFolderNode(const QString &name, const QString &dir)
{
    auto *node = new QTreeWidgetItem(QStringList{name});
    SetKind(node, ImgFolder, ImgFolderOpen);
    if (HasVisibleEntries(dir + Sep + name))
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
    QStringList records;
    QStringList folders;
    DirectoryListing::forEach(dir, [&](const DirectoryListing::Entry &e) {
        if (e.name.startsWith(u'.'))
            return true; // hidden, like the folders
        if (e.isFile) {
            if (e.name.size() >= 4 && e.name.right(4).compare(u".txt", Qt::CaseInsensitive) == 0)
                records << e.name;
        } else if (e.isDir && !e.name.startsWith(u'.') && !e.name.startsWith(u"__")) {
            folders << e.name;
        }
        return true;
    });
    sortNames(folders);
    sortNames(records);

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
    bool found = false;
    DirectoryListing::forEach(dir, [&](const DirectoryListing::Entry &e) {
        found = !e.name.startsWith(u'.') && !e.name.startsWith(u"__");
        return !found;
    });
    return found;
}

QString TzuTree::NodePath(const QTreeWidgetItem *node) const
{
    if (!node)
        return RootDir;
    QString path = node->text(0);
    for (const QTreeWidgetItem *p = node->parent(); p; p = p->parent())
        path = p->text(0) + Sep + path;
    return RootDir + Sep + path;
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
    const QString wanted = asciiLower(parts.at(level));
    const bool last = level == parts.size() - 1;
    const int count = parent ? parent->childCount() : topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem *candidate = parent ? parent->child(i) : topLevelItem(i);
        if (IsPlaceholder(candidate) || asciiLower(candidate->text(0)) != wanted)
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
