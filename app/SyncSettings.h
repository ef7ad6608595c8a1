#pragma once

#include "widgets/BlueDialog.h"

#include <QLabel>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class Settings;

// "동기화 설정": the CardDAV account (server, user, password), the address book found there,
// the folder of the data directory it syncs and whether it syncs every few minutes. The
// account goes into the settings file, the password into the desktop's keyring only; where no
// keyring runs the dialog says so and the password is asked for at each sync.
class TfrmSyncSettings : public TfrmBlueDialog
{
    Q_OBJECT
public:
    explicit TfrmSyncSettings(const Settings &settings, QWidget *parent = nullptr);

    QLineEdit *edtName = nullptr;
    QLineEdit *edtServer = nullptr;
    QLineEdit *edtUser = nullptr;
    QLineEdit *edtPassword = nullptr;
    QComboBox *cmbBook = nullptr;
    TzuGradiButton *btnFind = nullptr;
    QLineEdit *edtFolder = nullptr;
    QCheckBox *chkPeriodic = nullptr;
    QSpinBox *spnMinutes = nullptr;
    QLabel *lblKeyring = nullptr;

    // Finds the address books at the server with the user and password typed.
    void btnFindClick();

signals:
    // The address books are listed (or the search failed); for tests.
    void found();

protected:
    void btnConfirmClick() override;

private:
    const Settings &m_settings;
    QString m_loadedName;
};

// Shows the sync settings; true when they were saved.
bool RunSyncSettingsDialog(QWidget *owner, const Settings &settings);
