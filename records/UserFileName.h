#pragma once

#include "widgets/BlueDialog.h"

class QCheckBox;
class QLineEdit;

// Asks for a folder or record name only ("New folder name" / "New note name").
class TfrmUserFileName : public TfrmBlueDialog
{
    Q_OBJECT
public:
    explicit TfrmUserFileName(QWidget *parent = nullptr);

    QLineEdit *edtName = nullptr;
    QCheckBox *chkIsRoot = nullptr;

    QString FolderPath; // the folder holding the entry, ending with a separator
    // The data directory, ending with a separator: where "루트에 생성" puts the entry.
    QString RootFolder;
    bool ExistCheck = true;

    void SetFolderMode(bool folderMode);
    bool FolderMode() const { return m_folderMode; }
    QString EnteredName() const;

protected:
    void btnConfirmClick() override;

private:
    void frmZuNoCaptionCreate();
    bool m_folderMode = false;
};
