#include "ModifyData.h"

#include "PhoneFun.h"
#include "Record.h"
#include "platform/FileSystem.h"
#include "widgets/funcs.h"

#include <QFileInfo>
#include <QLabel>

TfrmModifyData::TfrmModifyData(QWidget *parent)
    : TfrmInputData(parent, 44, 491, 742)
{
    setObjectName(QStringLiteral("frmModifyData"));
    setWindowTitle(QStringLiteral("자료 수정"));
    m_titleBand << QRect(8, Top + 8, 475, 30);
    labName = new QLabel(ClientArea());
    labName->setObjectName(QStringLiteral("labName"));
    SetTag(labName, NotAFieldTag);
    labName->setTextFormat(Qt::PlainText);
    QFont bold = labName->font();
    bold.setBold(true);
    labName->setFont(bold);
    labName->setGeometry(20, Top + 14, 450, 18);
}

void TfrmModifyData::LoadRecord(const QString &path)
{
    m_path = path;
    if (path.isEmpty() || !QFileInfo(FileSystem::resolve(path)).isFile()) {
        labName->clear();
        return;
    }
    QString title = FileBaseName(path);
    if (title == u"__g_t")
        title = RecordDisplayName(path);
    labName->setText(title);
    LoadForm(Record::Read(path));
}

void TfrmModifyData::btnConfirmClick()
{
    SaveFields(RecordPath());
    accept();
}
