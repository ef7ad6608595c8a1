#pragma once

#include "zuFormNC.h"

// The dialog base of the program: centred on the screen, closed with the cancel result by Esc
// from whichever box has the focus.
class TfrmZuGrayDialog : public TfrmZuNoCaption
{
    Q_OBJECT
public:
    explicit TfrmZuGrayDialog(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    // Esc: cancel. Other keys go on to the focused box.
    virtual bool frmZuNoCaptionKeyDown(QKeyEvent *event);
};
