#include "DeletedRecords.h"

#include "platform/Application.h"
#include "widgets/funcs.h"

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

const QList<int> TfrmDeletedRecords::Months = {1, 3, 6, 12, 0};

TfrmDeletedRecords::TfrmDeletedRecords(History &history, QWidget *parent)
    : TfrmBlueDialog(parent)
    , m_history(history)
{
    setObjectName(QStringLiteral("frmDeletedRecords"));
    setWindowTitle(QStringLiteral("지운 자료"));
    SetClientSize(560, 380);

    auto *since = new QLabel(QStringLiteral("기간(&P)"), ClientArea());
    since->setGeometry(10, 28, 60, 18);
    cboSince = new QComboBox(ClientArea());
    cboSince->setObjectName(QStringLiteral("cboSince"));
    cboSince->setGeometry(70, 26, 160, 20);
    cboSince->addItems({QStringLiteral("지난 1개월"), QStringLiteral("지난 3개월"),
                        QStringLiteral("지난 6개월"), QStringLiteral("지난 1년"),
                        QStringLiteral("모든 이력")});
    cboSince->setCurrentIndex(2);
    cboSince->setAccessibleName(QStringLiteral("지운 때"));
    since->setBuddy(cboSince);

    lstDeleted = new QTreeWidget(ClientArea());
    lstDeleted->setObjectName(QStringLiteral("lstDeleted"));
    lstDeleted->setGeometry(10, 52, 540, 270);
    lstDeleted->setRootIsDecorated(false);
    lstDeleted->setHeaderLabels(
        {QStringLiteral("자료"), QStringLiteral("지운 때"), QStringLiteral("작업")});
    lstDeleted->setColumnWidth(0, 220);
    lstDeleted->setColumnWidth(1, 130);
    lstDeleted->setAccessibleName(QStringLiteral("지운 자료"));

    labStatus = new QLabel(ClientArea());
    labStatus->setObjectName(QStringLiteral("labStatus"));
    labStatus->setGeometry(10, 326, 540, 16);

    btnRestore = new TzuGradiButton(QStringLiteral("되살리기(&R)"), ClientArea());
    btnRestore->setObjectName(QStringLiteral("btnRestore"));
    btnRestore->SetColors(zuGradiColors1);
    btnRestore->setAutoDefault(false);
    btnRestore->setGeometry(10, 350, 100, 22);
    btnConfirm->hide();
    btnCancel->setText(QStringLiteral("닫기(&C)"));
    btnCancel->setGeometry(480, 350, 70, 22);
    SetTabChain({cboSince, lstDeleted, btnRestore, btnCancel});

    connect(cboSince, &QComboBox::currentIndexChanged, this, &TfrmDeletedRecords::LoadDeleted);
    connect(lstDeleted, &QTreeWidget::currentItemChanged, this,
            [this] { btnRestore->setEnabled(lstDeleted->currentItem() != nullptr); });
    connect(lstDeleted, &QTreeWidget::itemActivated, this,
            [this] { VandrelApplication::guarded([this] { btnRestoreClick(); }); });
    connect(btnRestore, &QPushButton::clicked, this,
            [this] { VandrelApplication::guarded([this] { btnRestoreClick(); }); });
    LoadDeleted();
}

void TfrmDeletedRecords::LoadDeleted()
{
    const int months = Months.value(cboSince->currentIndex());
    const QDateTime since = months > 0 ? QDateTime::currentDateTime().addMonths(-months)
                                       : QDateTime::fromSecsSinceEpoch(0);
    m_deleted = m_history.DeletedRecords(since);
    lstDeleted->clear();
    for (const History::Deleted &d : std::as_const(m_deleted)) {
        QString shown = d.path;
        if (shown.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive))
            shown.chop(4);
        lstDeleted->addTopLevelItem(new QTreeWidgetItem(
            {shown, d.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")), d.operation}));
    }
    if (lstDeleted->topLevelItemCount() > 0)
        lstDeleted->setCurrentItem(lstDeleted->topLevelItem(0));
    btnRestore->setEnabled(lstDeleted->currentItem() != nullptr);
    labStatus->setText(!m_history.IsOn() ? m_history.OffReason()
                       : m_deleted.isEmpty() ? QStringLiteral("이 기간에 지운 자료가 없습니다.")
                                             : QStringLiteral("%1개").arg(m_deleted.size()));
}

void TfrmDeletedRecords::btnRestoreClick()
{
    const int row = lstDeleted->indexOfTopLevelItem(lstDeleted->currentItem());
    if (row < 0 || row >= m_deleted.size())
        return;
    const History::Deleted record = m_deleted.at(row);
    QString restored;
    const QString why = m_history.RestoreDeleted(record, &restored);
    if (!why.isEmpty()) {
        labStatus->setText(why);
        return;
    }
    m_restored = restored;
    LoadDeleted();
    labStatus->setText(QStringLiteral("되살렸습니다: %1").arg(QDir::toNativeSeparators(restored)));
}
