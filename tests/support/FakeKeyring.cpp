#include "FakeKeyring.h"

#include <QTimer>

FakeKeyring::FakeKeyring()
{
    Keyring::install(this);
}

FakeKeyring::~FakeKeyring()
{
    Keyring::install(nullptr);
}

void FakeKeyring::Answer(Done done, const Result &result)
{
    ++calls;
    QTimer::singleShot(0, [done, result] { done(result); });
}

void FakeKeyring::store(const QString &account, const QString &password, Done done)
{
    Result result;
    if (!running)
        result.status = Status::NoKeyring;
    else
        passwords.insert(account, password);
    Answer(std::move(done), result);
}

void FakeKeyring::read(const QString &account, Done done)
{
    Result result;
    if (!running)
        result.status = Status::NoKeyring;
    else if (!passwords.contains(account))
        result.status = Status::NotFound;
    else
        result.password = passwords.value(account);
    Answer(std::move(done), result);
}

void FakeKeyring::remove(const QString &account, Done done)
{
    Result result;
    if (!running)
        result.status = Status::NoKeyring;
    else
        passwords.remove(account);
    Answer(std::move(done), result);
}
