#pragma once

#include "widgets/zuFormThreeBtns.h"

class History;
class QAction;
class QMenu;
class QProgressBar;
class SyncRunner;
class QKeyEvent;
class QToolButton;
class TfrmBook;
class TfrmMenuAndTree;

// The program's one top-level window: the navigator pane on the left, the record view on the
// right and the progress bar in the status bar.
class TfrmMainVR : public TfrmZuThreeButtons
{
    Q_OBJECT
public:
    explicit TfrmMainVR(QWidget *parent = nullptr);
    ~TfrmMainVR() override;

    TfrmMenuAndTree *MenuAndTree = nullptr;
    TfrmBook *Book = nullptr;
    QProgressBar *bar = nullptr;
    // 파일 → 동기화 설정, 지금 동기화, and the periodic sync behind them.
    QAction *actSyncSettings = nullptr;
    QAction *actSyncNow = nullptr;
    SyncRunner *Sync = nullptr;

    // A second start of the program handed over to this one.
    void WMCopyData();

    void MenuAndTreeactFileDeleteExecute();

    // The shown data directory's history and the 편집 menu beside 파일: undo, redo, a record's
    // history (also from the tree's popup menu and the view's) and the deleted records.
    History *history = nullptr;
    QToolButton *tbiEdit = nullptr;
    QMenu *mnuEdit = nullptr;
    QAction *actUndo = nullptr;
    QAction *actRedo = nullptr;
    QAction *actRecordHistory = nullptr;
    QAction *actDeletedRecords = nullptr;
    QAction *mnuHistory = nullptr; // in the tree's popup menu, for the node under the mouse
    void OpenHistory(const QString &dir);
    void actUndoExecute();
    void actRedoExecute();
    void UndoOrRedo(QString (History::*step)(), const QString &caption);
    void actDeletedRecordsExecute();
    void ShowRecordHistory(const QString &path);
    void UpdateEditActions();

    static constexpr int BookWidth = 476;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void CreateEditMenu();
    void FormActivate();
    bool FormKeyDown(QKeyEvent *event);
};

// The main window of the process, once it exists.
extern TfrmMainVR *frmMainVR;
