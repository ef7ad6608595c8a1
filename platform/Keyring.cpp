#include "Keyring.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
#define VANDREL_KEYRING_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#endif

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString Service = u"Vandrel"_s;

Keyring::Result ResultOf(const QKeychain::Job &job)
{
    Keyring::Result result;
    result.detail = job.errorString();
    switch (job.error()) {
    case QKeychain::NoError:
        result.status = Keyring::Status::Ok;
        result.detail.clear();
        break;
    case QKeychain::EntryNotFound: result.status = Keyring::Status::NotFound; break;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied: result.status = Keyring::Status::Denied; break;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented: result.status = Keyring::Status::NoKeyring; break;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::OtherError: result.status = Keyring::Status::Failed; break;
    }
    return result;
}

// qtkeychain tells a missing keyring on Linux only as "Unknown error": the session bus is
// asked first whether a Secret Service or KWallet is there or can be started.
bool NoKeyringRuns(QString *why)
{
#ifdef VANDREL_KEYRING_DBUS
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *why = u"no D-Bus session bus: "_s + bus.lastError().message();
        return true;
    }
    QDBusConnectionInterface *names = bus.interface();
    if (!names)
        return false;
    const QStringList registered = names->registeredServiceNames().value();
    const QStringList startable = names->activatableServiceNames().value();
    for (const QString &service : {u"org.freedesktop.secrets"_s, u"org.kde.kwalletd6"_s,
                                   u"org.kde.kwalletd5"_s, u"org.kde.kwalletd"_s})
        if (registered.contains(service) || startable.contains(service))
            return false;
    *why = u"no Secret Service or KWallet on the session bus"_s;
    return true;
#else
    Q_UNUSED(why);
    return false;
#endif
}

// Answers NoKeyring, later as a job would, where none runs; false when one may.
bool AnsweredNoKeyring(const Keyring::Done &done)
{
    Keyring::Result result;
    if (!NoKeyringRuns(&result.detail))
        return false;
    result.status = Keyring::Status::NoKeyring;
    QTimer::singleShot(0, [done, result] { done(result); });
    return true;
}

class SystemKeyring final : public Keyring
{
public:
    void store(const QString &account, const QString &password, Done done) override
    {
        if (AnsweredNoKeyring(done))
            return;
        auto *job = new QKeychain::WritePasswordJob(Service);
        // Never a plain file where no keyring runs.
        job->setInsecureFallback(false);
        job->setKey(account);
        job->setTextData(password);
        Run(job, std::move(done));
    }

    void read(const QString &account, Done done) override
    {
        if (AnsweredNoKeyring(done))
            return;
        auto *job = new QKeychain::ReadPasswordJob(Service);
        job->setInsecureFallback(false);
        job->setKey(account);
        QObject::connect(job, &QKeychain::Job::finished, job, [job, done](QKeychain::Job *) {
            Result result = ResultOf(*job);
            if (result.ok())
                result.password = job->textData();
            done(result);
        });
        job->start();
    }

    void remove(const QString &account, Done done) override
    {
        if (AnsweredNoKeyring(done))
            return;
        auto *job = new QKeychain::DeletePasswordJob(Service);
        job->setInsecureFallback(false);
        job->setKey(account);
        Run(job, [done](const Result &r) {
            if (r.status == Status::NotFound)
                done(Result());
            else
                done(r);
        });
    }

private:
    // Jobs delete themselves after finished.
    static void Run(QKeychain::Job *job, Done done)
    {
        QObject::connect(job, &QKeychain::Job::finished, job,
                         [job, done](QKeychain::Job *) { done(ResultOf(*job)); });
        job->start();
    }
};

Keyring *g_installed = nullptr;

Keyring::Result Wait(const std::function<void(Keyring::Done)> &start)
{
    QEventLoop loop;
    std::optional<Keyring::Result> result;
    start([&](const Keyring::Result &r) {
        result = r;
        loop.quit();
    });
    if (!result)
        loop.exec();
    return *result;
}

} // namespace

QString Keyring::Result::message() const
{
    switch (status) {
    case Status::Ok: return QString();
    case Status::NotFound: return u"키링에 저장된 암호가 없습니다."_s;
    case Status::NoKeyring:
        return u"암호를 보관할 키링이 실행 중이 아닙니다. 암호는 저장하지 않고 동기화할 때마다 "
               u"묻습니다."_s;
    case Status::Denied: return u"키링이 암호에 접근하는 것을 허락하지 않았습니다."_s;
    case Status::Failed:
        return detail.isEmpty() ? u"키링에서 오류가 났습니다."_s
                                : u"키링에서 오류가 났습니다: "_s + detail;
    }
    return QString();
}

Keyring::~Keyring() = default;

Keyring::Result Keyring::storeBlocking(const QString &account, const QString &password)
{
    return Wait([&](Done done) { store(account, password, done); });
}

Keyring::Result Keyring::readBlocking(const QString &account)
{
    return Wait([&](Done done) { read(account, done); });
}

Keyring::Result Keyring::removeBlocking(const QString &account)
{
    return Wait([&](Done done) { remove(account, done); });
}

Keyring &Keyring::system()
{
    static SystemKeyring desktop;
    return desktop;
}

Keyring &Keyring::current()
{
    return g_installed ? *g_installed : system();
}

void Keyring::install(Keyring *keyring)
{
    g_installed = keyring;
}
