#pragma once

#include "_inputData.h"

class QCheckBox;
class QLineEdit;

// "새 자료 입력": a new folder with its folder record, or a new record, from a typed name and
// the typed fields.
class TfrmNewData : public TfrmInputData
{
    Q_OBJECT
public:
    explicit TfrmNewData(QWidget *parent = nullptr);

    QLineEdit *edtName = nullptr;
    QCheckBox *chkIsRoot = nullptr;

    // The folder the entry goes into, ending with a separator.
    QString FolderPath;
    // The data directory, ending with a separator: where "루트에 생성" puts the entry.
    QString RootFolder;
    bool FolderMode = false;

    // Stores the folder and proposes a free record name in it.
    void PrepareNewRecord(const QString &folderPath);

    // The trimmed name, as used for the new entry.
    QString EnteredName() const;

protected:
    void btnConfirmClick() override;
};
