#pragma once

#include "_inputData.h"

class QLabel;

// "자료 수정": edits the record that the tree has selected.
class TfrmModifyData : public TfrmInputData
{
    Q_OBJECT
public:
    explicit TfrmModifyData(QWidget *parent = nullptr);

    QLabel *labName = nullptr;

    // Fills the dialog from the record tree's selected file.
    void LoadCurrentRecord();
    // The file it loads from and saves to.
    QString RecordPath() const;

protected:
    void btnConfirmClick() override;
};
