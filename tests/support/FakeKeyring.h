#pragma once

#include "platform/Keyring.h"

#include <QHash>
#include <QString>

// A keyring in memory, installed for its lifetime: tests never touch the user's keyring.
class FakeKeyring : public Keyring
{
public:
    FakeKeyring();
    ~FakeKeyring() override;

    void store(const QString &account, const QString &password, Done done) override;
    void read(const QString &account, Done done) override;
    void remove(const QString &account, Done done) override;

    QHash<QString, QString> passwords;
    // False: behaves as a desktop where no keyring runs.
    bool running = true;
    int calls = 0;

private:
    // done comes later, as from a real keyring.
    void Answer(Done done, const Result &result);
};
