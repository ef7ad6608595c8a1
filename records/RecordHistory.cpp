#include "RecordHistory.h"

#include "PhoneFun.h"

#include "FieldTable.h"
#include "Record.h"
#include "RecordStore.h"
#include "platform/Application.h"
#include "widgets/funcs.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>

namespace {

QString versionLabel(const History::Version &v)
{
    return v.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral("  ")
           + v.operation;
}

} // namespace

TfrmRecordHistory::TfrmRecordHistory(History &history, const QString &path, QWidget *parent)
    : TfrmBlueDialog(parent)
    , m_history(history)
    , m_path(path)
{
    setObjectName(QStringLiteral("frmRecordHistory"));
    setWindowTitle(QStringLiteral("자료 이력 - ") + RecordDisplayName(path));
    SetClientSize(700, 440);

    auto *versions = new QLabel(QStringLiteral("버전(&V)"), ClientArea());
    versions->setGeometry(10, 28, 250, 16);
    lstVersions = new QListWidget(ClientArea());
    lstVersions->setObjectName(QStringLiteral("lstVersions"));
    lstVersions->setGeometry(10, 46, 270, 340);
    lstVersions->setAccessibleName(QStringLiteral("자료의 버전"));
    versions->setBuddy(lstVersions);

    auto *other = new QLabel(QStringLiteral("비교할 것(&O)"), ClientArea());
    other->setGeometry(290, 364, 90, 16);
    cboOther = new QComboBox(ClientArea());
    cboOther->setObjectName(QStringLiteral("cboOther"));
    cboOther->setGeometry(380, 362, 310, 20);
    cboOther->setAccessibleName(QStringLiteral("비교할 버전"));
    other->setBuddy(cboOther);

    grdFields = new QTableWidget(0, 3, ClientArea());
    grdFields->setObjectName(QStringLiteral("grdFields"));
    grdFields->setGeometry(290, 46, 400, 310);
    grdFields->setHorizontalHeaderLabels(
        {QStringLiteral("항목"), QStringLiteral("이 버전"), QStringLiteral("비교할 것")});
    grdFields->verticalHeader()->setVisible(false);
    grdFields->horizontalHeader()->setStretchLastSection(true);
    grdFields->setColumnWidth(0, 80);
    grdFields->setColumnWidth(1, 155);
    grdFields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdFields->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdFields->setSelectionMode(QAbstractItemView::SingleSelection);
    grdFields->setWordWrap(true);
    grdFields->setAccessibleName(QStringLiteral("바뀐 항목"));

    labStatus = new QLabel(ClientArea());
    labStatus->setObjectName(QStringLiteral("labStatus"));
    labStatus->setGeometry(10, 390, 680, 16);

    btnRestore = new TzuGradiButton(QStringLiteral("이 버전으로 되돌리기"), ClientArea());
    btnRestore->setObjectName(QStringLiteral("btnRestore"));
    btnRestore->SetColors(zuGradiColors1);
    btnRestore->setAutoDefault(false);
    btnRestore->setGeometry(10, 410, 160, 22);
    btnRestoreField = new TzuGradiButton(QStringLiteral("이 항목만 되돌리기"), ClientArea());
    btnRestoreField->setObjectName(QStringLiteral("btnRestoreField"));
    btnRestoreField->SetColors(zuGradiColors1);
    btnRestoreField->setAutoDefault(false);
    btnRestoreField->setGeometry(180, 410, 150, 22);
    btnConfirm->hide();
    btnCancel->setText(QStringLiteral("닫기(&C)"));
    btnCancel->setGeometry(620, 410, 70, 22);
    SetTabChain({lstVersions, grdFields, cboOther, btnRestore, btnRestoreField, btnCancel});

    connect(lstVersions, &QListWidget::currentRowChanged, this,
            &TfrmRecordHistory::ShowDifferences);
    connect(cboOther, &QComboBox::currentIndexChanged, this, &TfrmRecordHistory::ShowDifferences);
    connect(grdFields, &QTableWidget::itemSelectionChanged, this, [this] {
        btnRestoreField->setEnabled(lstVersions->currentRow() >= 0
                                    && !grdFields->selectedItems().isEmpty());
    });
    connect(btnRestore, &QPushButton::clicked, this,
            [this] { VandrelApplication::guarded([this] { btnRestoreClick(); }); });
    connect(btnRestoreField, &QPushButton::clicked, this,
            [this] { VandrelApplication::guarded([this] { btnRestoreFieldClick(); }); });
    LoadVersions();
}

void TfrmRecordHistory::LoadVersions()
{
    m_versions = m_history.Versions(m_path);
    {
        const QSignalBlocker quiet(lstVersions);
        const QSignalBlocker quietOther(cboOther);
        lstVersions->clear();
        cboOther->clear();
        cboOther->addItem(QStringLiteral("지금 자료"));
        for (const History::Version &v : std::as_const(m_versions)) {
            lstVersions->addItem(versionLabel(v));
            cboOther->addItem(versionLabel(v));
        }
    }
    if (m_versions.isEmpty())
        labStatus->setText(m_history.IsOn() ? QStringLiteral("이력에 이 자료가 없습니다.")
                                            : m_history.OffReason());
    lstVersions->setCurrentRow(m_versions.isEmpty() ? -1 : 0);
    ShowDifferences();
}

Record TfrmRecordHistory::Other() const
{
    const int other = cboOther->currentIndex();
    if (other > 0 && other - 1 < m_versions.size())
        return Record::FromBytes(m_versions.at(other - 1).bytes);
    return Record::Read(m_path);
}

void TfrmRecordHistory::ShowDifferences()
{
    grdFields->setRowCount(0);
    const int row = lstVersions->currentRow();
    btnRestore->setEnabled(row >= 0);
    btnRestoreField->setEnabled(false);
    if (row < 0 || row >= m_versions.size())
        return;
    const Record mine = Record::FromBytes(m_versions.at(row).bytes);
    const Record other = Other();
    for (int field = 0; field < RecordFieldCount; ++field) {
        const QString a = mine.Text(field), b = other.Text(field);
        if (a == b)
            continue;
        const int at = grdFields->rowCount();
        grdFields->insertRow(at);
        auto *name = new QTableWidgetItem(FieldCaption(RecordFields[size_t(field)]));
        name->setData(Qt::UserRole, field);
        grdFields->setItem(at, 0, name);
        grdFields->setItem(at, 1, new QTableWidgetItem(a));
        grdFields->setItem(at, 2, new QTableWidgetItem(b));
    }
    grdFields->resizeRowsToContents();
    const History::Version &v = m_versions.at(row);
    labStatus->setText(
        grdFields->rowCount() == 0
            ? QStringLiteral("%1: 항목의 값은 같습니다.").arg(v.path)
            : QStringLiteral("%1: %2개 항목이 다릅니다.").arg(v.path).arg(grdFields->rowCount()));
}

void TfrmRecordHistory::btnRestoreClick()
{
    const int row = lstVersions->currentRow();
    if (row < 0 || row >= m_versions.size())
        return;
    Record record = Record::FromBytes(m_versions.at(row).bytes);
    // The record keeps its identity whatever the old version had.
    const QString uid = Record::Read(m_path).Uid();
    if (!uid.isEmpty())
        record.SetUid(uid);
    RecordStore::SaveRecord(m_path, record);
    LoadVersions();
}

void TfrmRecordHistory::btnRestoreFieldClick()
{
    const int row = lstVersions->currentRow();
    const QList<QTableWidgetItem *> chosen = grdFields->selectedItems();
    if (row < 0 || row >= m_versions.size() || chosen.isEmpty())
        return;
    const int field = grdFields->item(chosen.first()->row(), 0)->data(Qt::UserRole).toInt();
    const Record old = Record::FromBytes(m_versions.at(row).bytes);
    Record now = Record::Read(m_path);
    if (RecordFields[size_t(field)].multiLine)
        now.SetLines(field, old.Lines(field));
    else
        now.SetValue(field, old.Value(field));
    RecordStore::SaveRecord(m_path, now);
    LoadVersions();
}
