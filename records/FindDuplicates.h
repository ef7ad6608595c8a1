#pragma once

#include "platform/Job.h"
#include "records/Duplicates.h"
#include "widgets/BlueDialog.h"

#include <QPointer>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTableWidget;

// "중복 찾기": the groups of likely duplicates with their reasons; a group's records side by
// side, field by field, the fields that differ marked, and per field the value to keep. 합치기
// merges the group into the record chosen, under the name and in the folder chosen; 다른 사람
// remembers that the group is no duplicate. The search runs as a job while the dialog shows.
class TfrmFindDuplicates : public TfrmBlueDialog
{
    Q_OBJECT
public:
    // only: when not empty, just the groups that hold one of these record files.
    explicit TfrmFindDuplicates(const QString &root, QWidget *parent = nullptr,
                                const QStringList &only = {});
    ~TfrmFindDuplicates() override;

    QListWidget *lstGroups = nullptr;
    QTableWidget *tblFields = nullptr;
    QComboBox *cmbKept = nullptr;
    QLineEdit *edtName = nullptr;
    QComboBox *cmbFolder = nullptr;
    TzuGradiButton *btnNotSame = nullptr;
    QLabel *lblStatus = nullptr;

    // Starts the search; searchDone follows when it has ended.
    void Search();
    bool Searching() const { return m_job; }
    const QList<Duplicates::Group> &Groups() const { return m_groups; }
    // The value-choice box of a field's row (RecordFields index), or nullptr when not shown.
    QComboBox *Choice(int field) const;

signals:
    void searchDone();

protected:
    void btnConfirmClick() override;
    void done(int result) override;

private:
    void ShowGroups();
    void lstGroupsChange();
    void cmbKeptChange();
    void btnNotSameClick();
    void RemoveCurrentGroup();
    int CurrentGroup() const;

    QString m_root;
    QStringList m_only;
    QList<Duplicates::Group> m_groups;
    QList<Record> m_records; // the current group's, as read when it was selected
    QList<int> m_rows;       // the field of each table row
    QPointer<Job> m_job;
};
