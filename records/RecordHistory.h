#pragma once

#include "History.h"
#include "Record.h"
#include "widgets/BlueDialog.h"

class QComboBox;
class QLabel;
class QListWidget;
class QTableWidget;

// "자료 이력": the versions of one record with their dates and operations, the fields in which
// the chosen version and another one (the record as it is now, unless another version is
// picked) differ, side by side, and restoring the whole record or one field of the chosen
// version through the store.
class TfrmRecordHistory : public TfrmBlueDialog
{
    Q_OBJECT
public:
    TfrmRecordHistory(History &history, const QString &path, QWidget *parent = nullptr);

    QListWidget *lstVersions = nullptr;
    QComboBox *cboOther = nullptr;
    QTableWidget *grdFields = nullptr;
    QLabel *labStatus = nullptr;
    TzuGradiButton *btnRestore = nullptr;
    TzuGradiButton *btnRestoreField = nullptr;

    // Reads the versions anew; the newest is chosen.
    void LoadVersions();
    // The whole chosen version, or its field of the chosen row, saved as the record.
    void btnRestoreClick();
    void btnRestoreFieldClick();

    QString RecordPath() const { return m_path; }

private:
    void ShowDifferences();
    // What the chosen version is compared with: another version, or the record as it is now.
    Record Other() const;

    History &m_history;
    QString m_path;
    QList<History::Version> m_versions;
};
