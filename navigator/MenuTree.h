#pragma once

#include <QFrame>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QStringList>

#include <functional>

class Job;
class QAction;
class QActionGroup;
class QListWidget;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;
class QToolButton;
class Settings;
class TFilterBox;
class TzuGradiColors;
class TzuTree;

// The navigator pane: the toolbar with the program's menu, the record tree, and the list of
// search hits below a splitter. It owns the actions that work on records and switches between
// the three data directories.
class TfrmMenuAndTree : public QFrame
{
    Q_OBJECT
public:
    explicit TfrmMenuAndTree(QWidget *parent = nullptr);
    ~TfrmMenuAndTree() override;

    QWidget *Shape3 = nullptr;
    QToolBar *tbtFolder = nullptr;
    QToolButton *tbiFile = nullptr;
    QMenu *mnuFile = nullptr;
    QWidget *Shape1 = nullptr;
    QWidget *Shape2 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QListWidget *lstFound = nullptr;
    TzuTree *Tree = nullptr;
    // Search as you type, above the tree; made by InitPane.
    TFilterBox *Filter = nullptr;

    QAction *actFileNewFolder = nullptr;
    QAction *actFileNewNote = nullptr;
    QAction *actFileDelete = nullptr;
    QAction *actFind = nullptr;
    QAction *actRename = nullptr;
    QAction *actModify = nullptr;
    QAction *actImport = nullptr;
    QAction *actExport = nullptr;
    QAction *actFindDuplicates = nullptr;
    QAction *TBItem6 = nullptr;
    QAction *tbiGotoHome = nullptr;
    QAction *tbiClose = nullptr;
    QAction *tbiDataDir = nullptr;
    QAction *tbi2ndDir = nullptr;
    QAction *tbi3rdDir = nullptr;
    QActionGroup *grpDirs = nullptr;

    // The pane's brown colour scheme; no button of the pane draws with it.
    TzuGradiColors *ColorsBrown = nullptr;

    QList<QPixmap> imgsTree;
    QList<QPixmap> imgsToolbar;
    QList<QPixmap> imgsDisable;

    QStringList FoundPaths;

    // The width asked for in the settings (TreeWidth), 250 unless it is at least 30.
    int PaneWidth = 250;

    // Seams the main window wires: the progress bar (the search, imports, exports, the index),
    // showing and editing the selected record in the view, the settings dialog (true after OK) and
    // the maker's home page.
    QProgressBar *ProgressBar = nullptr;
    const Settings *ProgramSettings = nullptr; // the data directories and the pane's width
    std::function<void(const QString &path)> ShowRecord;
    std::function<void(const QString &path)> EditRecord;
    std::function<bool()> OpenSettings;
    std::function<void()> OpenHomePage;

    void InitPane();
    void SelectFirst();
    void OpenDataDir(const QString &dir);
    void SearchRecords(const QString &text);

    void actFileNewFolderExecute();
    void actFileNewNoteExecute();
    void actFileDeleteExecute();
    void actRenameExecute();
    void actModifyExecute();
    // vCard files into the selected folder (the selected record's folder, else the top level).
    void actImportExecute();
    // The selected folder or the whole data directory as vCard or CSV.
    void actExportExecute();
    // "중복 찾기": only, when given, the groups that hold one of these record files.
    void actFindDuplicatesExecute();
    void FindDuplicates(const QStringList &only);
    void tbiSetDirClick(QAction *button);
    void TBItem6Click();
    void tbiGotoHomeClick();
    void tbiCloseClick();
    void actFindExecute();
    void lstFoundClick(int row);
    void actSelectedUpdate();

    QSize sizeHint() const override;

    // What the directory button of a tag (0 to 2) is called, its text and accessible name.
    static QString DirButtonName(int tag);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void UpdateDirButtons();
    // The directory of a directory button's tag, as the settings hold it.
    QString DirOf(int tag) const;
    QProgressBar *Bar() const;
    QToolButton *ButtonFor(QAction *action) const;
    // The folder the selection is in (the selected folder itself); the data directory when
    // nothing is selected.
    QString SelectionFolder() const;
    // Marks the running import or export; its end enables both again.
    void StartedContactJob(Job *job);
    QPointer<Job> m_contactJob;
    bool m_searching = false;
    bool m_pressingFound = false; // a mouse button is down on the hit list
};
