#include "BlueDialog.h"

#include "platform/Application.h"
#include "widgets/zuFormThreeColorTable.h"

TfrmBlueDialog::TfrmBlueDialog(QWidget *parent)
    : TfrmZuGrayDialog(parent)
{
    SetClientSize(356, 209);
    setWindowIcon(LoadSmallIcon(16));
    zuGradiColors1 = NewGradiColors1(this);
    btnConfirm = new TzuGradiButton(QStringLiteral("확인(&Y)"), ClientArea());
    btnConfirm->setObjectName(QStringLiteral("btnConfirm"));
    btnConfirm->setGeometry(168, 152, 59, 22);
    btnConfirm->setDefault(true);
    btnConfirm->setAutoDefault(true);
    btnConfirm->SetColors(zuGradiColors1);
    btnConfirm->SetMarked(true);
    btnConfirm->SetIconX(5);
    btnConfirm->SetIconY(5);
    btnCancel = new TzuGradiButton(QStringLiteral("취소(&C)"), ClientArea());
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(255, 152, 59, 22);
    btnCancel->setAutoDefault(false);
    btnCancel->SetColors(zuGradiColors1);
    setTabOrder(btnConfirm, btnCancel);
    // A failed save is reported like any other error and the dialog stays open.
    connect(btnConfirm, &QPushButton::clicked, this,
            [this] { VandrelApplication::guarded([this] { btnConfirmClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmBlueDialog::btnConfirmClick()
{
    accept();
}
