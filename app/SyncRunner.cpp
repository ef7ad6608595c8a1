#include "SyncRunner.h"

#include "platform/DialogService.h"
#include "platform/Job.h"
#include "platform/Keyring.h"
#include "platform/Settings.h"
#include "sync/SyncAccount.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QHash<QString, QString> &SessionPasswords()
{
    static QHash<QString, QString> passwords;
    return passwords;
}

const QString Caption = u"동기화"_s;

QList<SyncAccount> PeriodicAccounts(const Settings &settings)
{
    QList<SyncAccount> accounts;
    for (const QString &name : SyncAccount::Names(settings))
        if (const std::optional<SyncAccount> a = SyncAccount::Load(settings, name);
            a && a->periodic)
            accounts << *a;
    return accounts;
}

} // namespace

SyncRunner::SyncRunner(QWidget *owner, std::function<const Settings *()> settings)
    : QObject(owner)
    , m_owner(owner)
    , m_settings(std::move(settings))
{
    Reschedule();
    // On start, the accounts whose user turned periodic sync on: once the window is up.
    if (!m_timers.isEmpty())
        QTimer::singleShot(3000, this, [this] {
            if (const Settings *settings = m_settings ? m_settings() : nullptr) {
                QStringList names;
                for (const SyncAccount &a : PeriodicAccounts(*settings))
                    names << a.name;
                Queue(names, false);
            }
        });
}

SyncRunner::~SyncRunner() = default;

void SyncRunner::RememberPassword(const QString &account, const QString &password)
{
    SessionPasswords().insert(account, password);
}

void SyncRunner::MovePassword(const QString &from, const QString &to)
{
    if (SessionPasswords().contains(from))
        SessionPasswords().insert(to, SessionPasswords().take(from));
    else
        SessionPasswords().remove(to);
}

void SyncRunner::ForgetPassword(const QString &account)
{
    SessionPasswords().remove(account);
}

void SyncRunner::Reschedule()
{
    qDeleteAll(m_timers);
    m_timers.clear();
    const Settings *settings = m_settings ? m_settings() : nullptr;
    if (!settings)
        return;
    for (const SyncAccount &a : PeriodicAccounts(*settings)) {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, name = a.name] { Queue({name}, false); });
        timer->start(a.minutes * 60 * 1000);
        m_timers.insert(a.name, timer);
    }
}

void SyncRunner::SyncNow(bool asked)
{
    const Settings *settings = m_settings ? m_settings() : nullptr;
    if (!settings)
        return;
    const QStringList names = SyncAccount::Names(*settings);
    if (names.isEmpty()) {
        if (asked)
            DialogService::current().message(
                {m_owner, DialogService::Icon::Information, Caption,
                 u"동기화할 계정이 없습니다. 파일 → 동기화 설정에서 서버와 주소록을 정하십시오."_s});
        return;
    }
    Queue(names, asked);
}

// A run goes through its accounts one at a time, each against the data directory as one
// operation; an account asked for while a run goes on joins it.
void SyncRunner::Queue(const QStringList &names, bool asked)
{
    m_asked = m_asked || asked;
    for (const QString &name : names)
        if (name != m_current && !m_queue.contains(name))
            m_queue << name;
    if (m_running)
        return;
    m_running = true;
    m_reports.clear();
    Next();
}

void SyncRunner::Next()
{
    const Settings *settings = m_settings ? m_settings() : nullptr;
    m_current.clear();
    if (!settings || m_queue.isEmpty()) {
        m_queue.clear();
        m_running = false;
        Show();
        m_asked = false;
        emit finished();
        return;
    }
    const QString name = m_queue.takeFirst();
    const std::optional<SyncAccount> account = SyncAccount::Load(*settings, name);
    if (!account) {
        Next(); // removed in the meantime
        return;
    }
    m_current = name;
    const SyncAccount a = *account;
    QPointer<SyncRunner> self(this);
    Keyring::current().read(a.KeyringEntry(), [self, a](const Keyring::Result &kept) {
        if (!self)
            return;
        if (kept.ok()) {
            self->Start(a, kept.password);
            return;
        }
        if (SessionPasswords().contains(a.KeyringEntry())) {
            self->Start(a, SessionPasswords().value(a.KeyringEntry()));
            return;
        }
        // A periodic sync never pops up a question by itself.
        std::optional<QString> typed;
        if (self->m_asked) {
            DialogService::Input input;
            input.parent = self->m_owner;
            input.caption = Caption;
            input.prompt = kept.message() + u"\n%1 계정 (%2)의 암호:"_s.arg(a.name, a.user);
            input.secret = true;
            typed = DialogService::current().input(input);
        }
        if (!self)
            return;
        if (!typed) {
            // Said when the user asked; a periodic sync waits silently for a password.
            if (!self->m_asked) {
                self->Next();
                return;
            }
            SyncReport report;
            report.failure = u"암호를 입력하지 않아 동기화하지 않았습니다."_s;
            self->Done(a.name, report);
            return;
        }
        RememberPassword(a.KeyringEntry(), *typed);
        self->Start(a, *typed);
    });
}

void SyncRunner::Start(const SyncAccount &account, const QString &password)
{
    const Settings *settings = m_settings ? m_settings() : nullptr;
    if (!settings) {
        SyncReport report;
        report.failure = u"설정 파일이 없어 동기화하지 않았습니다."_s;
        Done(account.name, report);
        return;
    }
    std::optional<SyncEngine::Request> made =
        account.EngineRequest(*settings, settings->dataDir(), password);
    if (!made) {
        SyncReport report;
        report.failure = u"동기화할 폴더가 자료 폴더 밖에 있습니다: %1"_s.arg(account.folder);
        Done(account.name, report);
        return;
    }
    auto report = std::make_shared<SyncReport>();
    Job *job =
        Job::start(u"동기화: "_s + account.name, [request = *made, report](Job &job) mutable {
            request.cancel = job.cancelFlag();
            request.progress = [&job](qint64 done, qint64 total) { job.report(done, total); };
            *report = SyncEngine::Run(request);
        });
    connect(job, &Job::finished, this,
            [this, report, name = account.name] { Done(name, *report); });
}

void SyncRunner::Done(const QString &name, const SyncReport &report)
{
    m_reports.append({name, report});
    // Esc stops the run, not only the account it came in.
    if (report.cancelled)
        m_queue.clear();
    Next();
}

void SyncRunner::Show()
{
    QStringList parts;
    bool failed = false;
    for (const auto &[name, report] : std::as_const(m_reports)) {
        // A periodic run tells only what needs the user.
        if (!m_asked && !report.Failed() && report.conflicts.isEmpty())
            continue;
        failed = failed || report.Failed();
        parts << name + u": "_s + report.Text();
    }
    if (parts.isEmpty())
        return;
    DialogService::current().message(
        {m_owner, failed ? DialogService::Icon::Warning : DialogService::Icon::Information, Caption,
         parts.join(u"\n\n"_s)});
}
