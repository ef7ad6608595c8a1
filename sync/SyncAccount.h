#pragma once

#include "sync/CardDavClient.h"
#include "sync/SyncEngine.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Settings;

// A CardDAV account as the settings file keeps it, and where its password and its state are.
// The password lives in the desktop's keyring only, never in the settings file.
struct SyncAccount
{
    QString name;
    QString server; // what the user typed
    QString user;
    QString book;     // the address book's URL
    QString bookName; // its display name
    QString folder;   // below the data directory, "/" between names; empty: all of it
    bool periodic = false;
    int minutes = 30;

    // The accounts' names, in the order they were added.
    static QStringList Names(const Settings &settings);
    // The account of that name; nothing when there is none. An empty name gives the first.
    static std::optional<SyncAccount> Load(const Settings &settings, const QString &name = {});
    // Adds or replaces it; a new one goes to the end of the list. Raises WriteError.
    void Save(const Settings &settings) const;
    // Gone from the settings, and its sync state with it, so that a later account of that
    // name starts afresh. Its password is the caller's to remove. Raises WriteError.
    static void Remove(const Settings &settings, const QString &name);
    // Gives the account of name from the name to, in its place in the list, with its sync
    // state; to must be no account's. Its password is the caller's to move. Raises WriteError.
    static void Rename(const Settings &settings, const QString &from, const QString &to);
    // A name the settings can hold: not empty, no "|", no line break, no "]".
    static bool ValidName(const QString &name);

    // Where its sync state lives: beside the settings file.
    QString StateFile(const Settings &settings) const;
    // Whether a sync of it runs now, in this program or another.
    bool Syncing(const Settings &settings) const;
    // Removes its sync state: the next sync compares both sides afresh.
    void DropState(const Settings &settings) const;
    // The entry in the keyring.
    QString KeyringEntry() const;

    // The folder it syncs, below dataDir (native separators, none at the end); nothing when
    // its folder leaves the data directory.
    std::optional<QString> SyncedFolder(const QString &dataDir) const;
    // What the sync engine is given to sync it; nothing when its folder leaves dataDir.
    std::optional<SyncEngine::Request>
    EngineRequest(const Settings &settings, const QString &dataDir, const QString &password) const;

    // The client's account; the password filled in by the caller.
    CardDav::Account ClientAccount(const QString &password) const;
};

// The password of an account: from the keyring, else from ask (a dialog or the environment),
// which is told why the keyring could not give it. Empty with *why when there is none.
using PasswordQuestion = std::function<std::optional<QString>(const QString &why)>;
std::optional<QString> SyncPassword(const SyncAccount &account, const PasswordQuestion &ask,
                                    QString *why);
