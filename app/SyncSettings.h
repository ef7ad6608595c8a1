#pragma once

#include "sync/SyncAccount.h"
#include "widgets/BlueDialog.h"

#include <QHash>
#include <QLabel>
#include <QList>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class Settings;

// "동기화 설정": the CardDAV accounts, each with its server, user and password, the address
// book found there, the folder of the data directory it syncs and whether it syncs every few
// minutes. Accounts are added, renamed and removed here; nothing is written before OK. The
// accounts go into the settings file, the passwords into the desktop's keyring only; where no
// keyring runs the dialog says so and the password is asked for at each sync.
class TfrmSyncSettings : public TfrmBlueDialog
{
    Q_OBJECT
public:
    explicit TfrmSyncSettings(const Settings &settings, QWidget *parent = nullptr);

    QComboBox *cmbAccount = nullptr;
    TzuGradiButton *btnAdd = nullptr;
    TzuGradiButton *btnRename = nullptr;
    TzuGradiButton *btnRemove = nullptr;
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
    // Ask for a name; a name that is empty or another account's is refused with a message.
    void btnAddClick();
    void btnRenameClick();
    // Asks first.
    void btnRemoveClick();

signals:
    // The address books are listed (or the search failed); for tests.
    void found();

protected:
    void btnConfirmClick() override;

private:
    struct Entry
    {
        SyncAccount account;
        QString stored;   // its name in the settings file when the dialog opened; empty: new
        QString password; // typed here
    };
    // A rename (or, with to empty, a removal) of an account the settings file holds, applied
    // at OK in the order they were made, so that each new name is free when it is taken.
    struct Step
    {
        QString from;
        QString to;
    };

    void FillAccounts(int current);
    void ShowAccount(int index);
    void KeepAccount();
    std::optional<QString> AskName(const QString &prompt, const QString &value, int own);
    // The passwords in the keyring and the session after the steps; what went wrong.
    QStringList MovePasswords();

    const Settings &m_settings;
    QList<Entry> m_entries;
    QHash<QString, SyncAccount> m_stored; // as the settings file held them, by name
    QList<Step> m_steps;
    int m_current = -1;
    int m_shown = 0; // counts the accounts shown, so a late keyring answer finds its own
};

// Shows the sync settings; true when they were saved.
bool RunSyncSettingsDialog(QWidget *owner, const Settings &settings);
