#pragma once

#include "records/RecordStore.h"

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QSet>
#include <QTreeWidget>

#include <functional>

class QMenu;

// The record tree: one data directory on disk, a folder node for every directory and a record
// node for every ".txt" file, loaded one level at a time as folders are opened. It keeps the
// path of the record file of the selected node and has the record view show it.
class TzuTree : public QTreeWidget
{
    Q_OBJECT
public:
    // Image indexes, the only thing that tells node kinds apart.
    enum Image { ImgFolder = 0, ImgFolderOpen = 1, ImgRecord = 2, ImgRecordEdit = 3 };
    static constexpr int ImageIndexRole = Qt::UserRole + 1;
    static constexpr int SelectedIndexRole = Qt::UserRole + 2;
    // The child that marks a folder whose contents have not been loaded yet.
    static const QString PlaceholderText;
    // Double-clicks this soon after a folder was opened are the rest of the opening click.
    static constexpr quint32 DoubleClickGuardMs = 200;

    explicit TzuTree(QWidget *parent = nullptr);

    QString RootDir;
    QString SelectedFile;
    QTreeWidgetItem *HotNode = nullptr;
    QTreeWidgetItem *CutNode = nullptr;
    quint32 LastExpandTick = 0;

    // Shows a record file in the record view; the main window wires it to its view.
    std::function<void(const QString &)> ShowRecord;

    // The four node images: closed folder, open folder, sheet, sheet with pen.
    void SetImages(const QList<QPixmap> &images);

    // Shows dir; an empty path or one that names no folder shows an empty tree that cannot
    // be edited, with a note saying why.
    void LoadRoot(const QString &dir);
    // Brings a loaded folder's nodes in line with the disk after others changed it: new
    // entries appear in their sorted place, gone ones disappear, the rest (open or selected)
    // stays as it is.
    void SyncFolder(const QString &dir);

    // False while there is no data directory to show.
    bool HasDataDir() const { return m_hasDataDir; }
    // What the empty tree says when there is no data directory; empty otherwise.
    QString NoDataDirText() const;
    void LoadFolder(QTreeWidgetItem *node, const QString &dir);
    static bool HasVisibleEntries(const QString &dir);
    QString NodePath(const QTreeWidgetItem *node) const;
    QString SelectionPath() const;
    void SetSelectedFile(const QString &path);
    void LoadChildren(QTreeWidgetItem *node);
    void ExpandFolder(QTreeWidgetItem *node);
    bool LocatePath(const QString &relPath);

    QTreeWidgetItem *SelectedNode() const;
    static int ImageIndex(const QTreeWidgetItem *node);
    static bool IsFolder(const QTreeWidgetItem *node);
    static bool IsRecord(const QTreeWidgetItem *node);
    static bool IsPlaceholder(const QTreeWidgetItem *node);
    static bool FirstChildIsPlaceholder(const QTreeWidgetItem *node);

    // Milliseconds on a clock that wraps like the system tick count.
    static quint32 TickCount();

    // While false, selection changes do not reach SetSelectedFile.
    void SetSelectionHandlerAttached(bool attached) { m_attached = attached; }

    QTreeWidgetItem *NewFolderNode(const QString &name, const QString &dir);
    QTreeWidgetItem *NewRecordNode(const QString &fileName);

    // Editing: these change the disk, then bring the tree and the selection in line.
    void CreateFolder(bool atRoot);
    void CreateRecord(bool atRoot);
    void RenameNode(QTreeWidgetItem *node);
    void DeleteNode(QTreeWidgetItem *node);
    void MoveNode(QTreeWidgetItem *target, QTreeWidgetItem *source);
    static bool IsWithin(const QTreeWidgetItem *source, const QTreeWidgetItem *target);
    bool DeletePath(const QString &path);
    bool ShellFileOperation(const QString &from, const QString &to, int func, int flags);
    static QString CompanionFolder(const QString &path);
    static bool RenameReferences(const QString &file, const QString &oldName,
                                 const QString &newName);

    // Icons of the new-entry dialog for a folder and for a record.
    QIcon FolderDialogIcon;
    QIcon RecordDialogIcon;

    // The popup menu and its items.
    QMenu *PopupMenu = nullptr;
    QAction *mnuCut = nullptr;
    QAction *mnuPaste = nullptr;
    QAction *mnuRename = nullptr;
    QAction *mnuDelete = nullptr;
    QAction *mnuNewFolder = nullptr;
    QAction *mnuNewRecord = nullptr;
    QAction *mnuRefresh = nullptr;
    // What opening the popup over a point does before the menu shows.
    void PreparePopup(QTreeWidgetItem *hot);
    // The popup for the selected node, from the menu key or Shift+F10.
    void PopupFromKeyboard();

    // A drop of the selected node on a point of the viewport.
    void DropAt(const QPoint &pos);

signals:
    // A data directory was loaded (or found missing) anew.
    void rootLoaded();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void OfferNameRepair(const QString &dir, const QList<RecordStore::UnreadableName> &names);
    void RepairNames(const QString &dir, const QList<RecordStore::UnreadableName> &names);
    // The folder node of dir (nullptr for the data directory); *found false when not shown.
    QTreeWidgetItem *FolderNode(const QString &dir, bool *found);
    void OnSelectionChange();
    void OnStoreChanged(const QList<RecordStore::Change> &changes);
    void OnExpanded(QTreeWidgetItem *node);
    bool OnLabel(QTreeWidgetItem *node, const QPoint &pos) const;
    void SetKind(QTreeWidgetItem *node, int image, int selectedImage);
    bool Descend(QTreeWidgetItem *parent, const QStringList &parts, qsizetype level,
                 bool wantFolder);
    void CreateEntry(bool atRoot, bool folder);
    QTreeWidgetItem *PlaceNode(QTreeWidgetItem *parent, const QString &name, bool folder);
    void RemoveNode(QTreeWidgetItem *node);
    void ForgetCut();
    void PlainMessage(const QString &text);
    void NewEntryFromPopup(bool folder);
    void CutClick();
    void PasteClick();
    void RenameClick();
    void DeleteClick();
    void NewFolderClick();
    void NewRecordClick();
    void RefreshClick();

    QList<QIcon> m_icons; // per kind: normal image, selected image
    bool m_attached = true;
    bool m_hasDataDir = false;
    QSet<QString> m_repairOffered; // folders whose unreadable names the user was asked about
};

// The one record tree of the process.
extern TzuTree *RecordTree;
