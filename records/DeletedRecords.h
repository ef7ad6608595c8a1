#pragma once

#include "History.h"
#include "widgets/BlueDialog.h"

class QComboBox;
class QLabel;
class QTreeWidget;

// "지운 자료": the records deleted in the last months, from the history (so also those the trash
// no longer holds), and bringing one back into its folder with its companion folder.
class TfrmDeletedRecords : public TfrmBlueDialog
{
    Q_OBJECT
public:
    explicit TfrmDeletedRecords(History &history, QWidget *parent = nullptr);

    QComboBox *cboSince = nullptr;
    QTreeWidget *lstDeleted = nullptr;
    QLabel *labStatus = nullptr;
    TzuGradiButton *btnRestore = nullptr;

    // Months back each choice of cboSince reaches; 0 for the whole history.
    static const QList<int> Months;

    void LoadDeleted();
    void btnRestoreClick();
    // Where the last restore put its record; empty before one.
    QString Restored() const { return m_restored; }

private:
    History &m_history;
    QList<History::Deleted> m_deleted;
    QString m_restored;
};
