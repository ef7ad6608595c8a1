#pragma once

#include <QString>

#include <functional>

// Where account passwords are kept: the desktop's keyring (Secret Service, KWallet, the
// Windows credential store) through qtkeychain, never a file of the program's. Tests install
// a fake.
//
// Threads: call from a thread with an event loop (the GUI thread, or a worker running one);
// done comes once, later, in that thread. The ...Blocking calls wait in a local event loop
// and are for a worker thread or the command line.
class Keyring
{
public:
    enum class Status {
        Ok,
        NotFound,  // no password kept for the account
        NoKeyring, // no keyring runs: say so and ask for the password each time
        Denied,    // the user or the keyring refused
        Failed,    // anything else; detail tells
    };

    struct Result
    {
        Status status = Status::Ok;
        QString password; // Read only
        QString detail;   // what the keyring said

        bool ok() const { return status == Status::Ok; }
        // One sentence in Korean for the user; empty for Ok.
        QString message() const;
    };
    using Done = std::function<void(const Result &)>;

    virtual ~Keyring();

    virtual void store(const QString &account, const QString &password, Done done) = 0;
    virtual void read(const QString &account, Done done) = 0;
    // Removing a password that is not there is Ok.
    virtual void remove(const QString &account, Done done) = 0;

    Result storeBlocking(const QString &account, const QString &password);
    Result readBlocking(const QString &account);
    Result removeBlocking(const QString &account);

    static Keyring &current();
    // Installs a keyring (not owned); nullptr restores the desktop's.
    static void install(Keyring *keyring);
    // The desktop's, whatever is installed.
    static Keyring &system();
};
