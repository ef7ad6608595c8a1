#pragma once

#include "widgets/zuFormThreeBtns.h"

class QAction;
class QProgressBar;
class SyncRunner;
class QKeyEvent;
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

    static constexpr int BookWidth = 476;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    void FormActivate();
    bool FormKeyDown(QKeyEvent *event);
};

// The main window of the process, once it exists.
extern TfrmMainVR *frmMainVR;
