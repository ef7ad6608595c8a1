#include "UserFileName.h"

#include "PhoneFun.h"
#include "widgets/funcs.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmUserFileName::TfrmUserFileName(QWidget *parent)
    : TfrmBlueDialog(parent)
{
    setObjectName(QStringLiteral("frmUserFileName"));
    SetClientSize(356, 92);
    // Below the caption strip.
    edtName = new QLineEdit(ClientArea());
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setGeometry(64, 28, 282, 20);
    auto *label = new QLabel(QStringLiteral("&Name:"), ClientArea());
    label->setGeometry(10, 28, 52, 20);
    label->setBuddy(edtName);
    auto *bevel = new QFrame(ClientArea());
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(8, 56, 340, 2);
    chkIsRoot = new QCheckBox(QStringLiteral("Create in &root"), ClientArea());
    chkIsRoot->setObjectName(QStringLiteral("chkIsRoot"));
    chkIsRoot->setGeometry(10, 64, 140, 20);
    chkIsRoot->setVisible(false);
    btnConfirm->setText(QStringLiteral("&O.K."));
    btnCancel->setText(QStringLiteral("&Cancel"));
    btnConfirm->setGeometry(196, 62, 70, 24);
    btnCancel->setGeometry(276, 62, 70, 24);
    // The base made the buttons first; Tab goes from the top down.
    SetTabChain({edtName, chkIsRoot, btnConfirm, btnCancel});
    SetFolderMode(false);
    frmZuNoCaptionCreate();
}

void TfrmUserFileName::frmZuNoCaptionCreate()
{
    edtName->clear();
    ExistCheck = true;
}

void TfrmUserFileName::SetFolderMode(bool folderMode)
{
    m_folderMode = folderMode;
    setWindowTitle(folderMode ? QStringLiteral("New folder name")
                              : QStringLiteral("New note name"));
}

QString TfrmUserFileName::EnteredName() const
{
    return TrimName(edtName->text());
}

void TfrmUserFileName::btnConfirmClick()
{
    const QString name = EnteredName();
    QString target = FolderPath;
    if (chkIsRoot->isChecked())
        target = RootFolder;
    if (const int problem = CheckEntryName(name, target, m_folderMode, ExistCheck)) {
        ShowNameMessage(problem, this);
        if (problem == NameMsgEmpty)
            edtName->setFocus();
        return;
    }
    accept();
}
