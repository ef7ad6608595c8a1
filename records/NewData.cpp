#include "NewData.h"

#include "PhoneFun.h"
#include "Record.h"
#include "RecordStore.h"
#include "platform/Paths.h"
#include "widgets/funcs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmNewData::TfrmNewData(QWidget *parent)
    : TfrmInputData(parent, 28, 494, 699)
{
    setObjectName(QStringLiteral("frmNewData"));
    setWindowTitle(QStringLiteral("새 자료 입력"));
    edtName = new QLineEdit(ClientArea());
    edtName->setObjectName(QStringLiteral("edtName"));
    SetTag(edtName, NotAFieldTag);
    edtName->setGeometry(70, Top + 8, 217, 20);
    AddCaption(QStringLiteral("이름 &N"), 8, Top + 8, 60, edtName);
    edtName->setAccessibleName(QStringLiteral("이름"));
    edtName->setAccessibleDescription(QStringLiteral("새 자료의 이름, 파일 이름이 됩니다"));
    chkIsRoot = new QCheckBox(QStringLiteral("루트에 생성"), ClientArea());
    chkIsRoot->setObjectName(QStringLiteral("chkIsRoot"));
    chkIsRoot->setGeometry(390, Top + 28 + 10 + 24, 100, 20);
    chkIsRoot->setAccessibleDescription(
        QStringLiteral("선택한 폴더가 아니라 자료 폴더 맨 위에 만듭니다"));
    // The name comes first, the check box last.
    ChainTabOrder(edtName, chkIsRoot);
    edtName->setFocus();
}

QString TfrmNewData::EnteredName() const
{
    return TrimName(edtName->text());
}

void TfrmNewData::PrepareNewRecord(const QString &folderPath)
{
    FolderPath = folderPath;
    edtName->setText(ProposeRecordName(folderPath));
}

void TfrmNewData::btnConfirmClick()
{
    const QString name = EnteredName();
    QString target = FolderPath;
    if (chkIsRoot->isChecked())
        target = RootFolder;
    if (const int problem = CheckEntryName(name, target, FolderMode, true)) {
        ShowNameMessage(problem, this);
        if (problem == NameMsgForbidden)
            edtName->selectAll();
        if (problem != NameMsgExists)
            edtName->setFocus();
        return;
    }
    if (FolderMode)
        RecordStore::CreateFolder(Paths::Join(target, name), FormRecord());
    else
        RecordStore::CreateRecord(Paths::Join(target, name + QStringLiteral(".txt")), FormRecord());
    accept();
}
