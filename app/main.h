#pragma once

#include "widgets/zuFormThreeBtns.h"

class QProgressBar;
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
