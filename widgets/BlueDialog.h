#pragma once

#include "zuGradiBtn.h"
#include "zuGrayDialog.h"

// The confirm/cancel dialog base: "확인(&Y)" is the default button and derived dialogs decide
// what it does; "취소(&C)" closes with the cancel result.
class TfrmBlueDialog : public TfrmZuGrayDialog
{
    Q_OBJECT
public:
    explicit TfrmBlueDialog(QWidget *parent = nullptr);

    TzuGradiColors *zuGradiColors1 = nullptr;
    TzuGradiButton *btnConfirm = nullptr;
    TzuGradiButton *btnCancel = nullptr;

protected:
    // What the confirm button does; by default it closes with OK.
    virtual void btnConfirmClick();
};
