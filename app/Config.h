#pragma once

#include "widgets/BlueDialog.h"
#include "widgets/zuColorPanel.h"

#include <QGroupBox>
#include <QLabel>

class QButtonGroup;
class QCheckBox;
class QFontMetrics;
class QRadioButton;
class TFolderPickerDialog;

// A titled group of radio buttons with an item index; -1 when none is selected.
class TRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    TRadioGroup(const QString &title, const QStringList &items, QWidget *parent = nullptr);

    QButtonGroup *Buttons = nullptr;
    QRadioButton *Item(int index) const;
    int Count() const;
    int ItemIndex() const;
    // An index out of range selects none.
    void SetItemIndex(int index);
};

// A colour panel that shows a path as plain text inside a thin edge line.
class TPathPanel : public TzuColorPanel
{
    Q_OBJECT
public:
    explicit TPathPanel(QWidget *parent = nullptr);

    static constexpr quint32 Background = 0xEFF1F1; // 0x00BBGGRR
    static constexpr quint32 Edge = 0xC6CECE;
};

// "환경설정": the three data directories, how the program starts and whether minimizing hides
// it in the tray. A chosen or erased directory is written at once.
class TfrmConfig : public TfrmBlueDialog
{
    Q_OBJECT
public:
    explicit TfrmConfig(QWidget *parent = nullptr);

    QLabel *Label2 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Image3 = nullptr;
    TPathPanel *pnlDirData = nullptr;
    TzuGradiButton *btnDirData = nullptr;
    TPathPanel *pnlDir2nd = nullptr;
    TzuGradiButton *zuGradiButton1 = nullptr;
    TzuGradiButton *btnEraseDir2 = nullptr;
    TPathPanel *pnlDir3rd = nullptr;
    TzuGradiButton *zuGradiButton2 = nullptr;
    TzuGradiButton *btnEraseDir3 = nullptr;
    TRadioGroup *radPrgStart = nullptr;
    QCheckBox *chkToTray = nullptr;
    // Why a data directory gets no history (it lies in a git working tree of the user's).
    QLabel *labHistory = nullptr;
    // Opens "동기화 설정".
    TzuGradiButton *btnSync = nullptr;
    TFolderPickerDialog *dlgFolder = nullptr;

    // The "..." buttons: tag 0 the data directory, 1 the second, any other the third.
    void btnDirDataClick(QObject *sender);
    // The "x" buttons: tag 2 erases the second directory, 3 the third.
    void OnEraseDirClick(QObject *sender);

    // The width a path may take in a panel.
    int PathWidth() const;

    // Removes one trailing separator (or a drive colon on Windows).
    static QString StripPathEnd(const QString &text);
    // The path made to fit in less than maxWidth by putting "..." for folders in its middle;
    // the last name alone when nothing else fits.
    static QString ShortenPath(const QString &path, int maxWidth, const QFontMetrics &metrics);

protected:
    void btnConfirmClick() override;

private:
    void frmZuNoCaptionCreate();
    // Shows directory 0 (the data directory), 1 or 2 as the settings hold it.
    void ShowDirectory(int index);
    QString Shortened(const QString &path) const;
};

// Shows the settings dialog; true when it was closed with OK.
bool RunSettingsDialog(QWidget *owner);
