#pragma once

#include "_inputData.h"

class QLabel;

// "자료 수정": edits one record.
class TfrmModifyData : public TfrmInputData
{
    Q_OBJECT
public:
    explicit TfrmModifyData(QWidget *parent = nullptr);

    QLabel *labName = nullptr;

    // Fills the dialog from the record file at path (a record or a folder record), which a save
    // then replaces.
    void LoadRecord(const QString &path);
    // The file it loads from and saves to.
    QString RecordPath() const { return m_path; }

protected:
    void btnConfirmClick() override;

private:
    QString m_path;
};
