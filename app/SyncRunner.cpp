#include "SyncRunner.h"

#include "platform/DialogService.h"
#include "platform/Job.h"
#include "platform/Keyring.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "sync/SyncAccount.h"
#include "sync/SyncEngine.h"

#include <QDir>
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

} // namespace

SyncRunner::SyncRunner(QWidget *owner, std::function<const Settings *()> settings)
    : QObject(owner)
    , m_owner(owner)
    , m_settings(std::move(settings))
    , m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, [this] { SyncNow(false); });
    Reschedule();
    // On start, when the user turned periodic sync on: once the window is up.
    if (m_timer->isActive())
        QTimer::singleShot(3000, this, [this] { SyncNow(false); });
}

void SyncRunner::RememberPassword(const QString &account, const QString &password)
{
    SessionPasswords().insert(account, password);
}

void SyncRunner::Reschedule()
{
    m_timer->stop();
    const Settings *settings = m_settings ? m_settings() : nullptr;
    if (!settings)
        return;
    const std::optional<SyncAccount> account = SyncAccount::Load(*settings);
    if (account && account->periodic)
        m_timer->start(account->minutes * 60 * 1000);
}

void SyncRunner::SyncNow(bool asked)
{
    const Settings *settings = m_settings ? m_settings() : nullptr;
    if (m_running || !settings)
        return;
    const std::optional<SyncAccount> account = SyncAccount::Load(*settings);
    if (!account) {
        if (asked)
            DialogService::current().message(
                {m_owner, DialogService::Icon::Information, Caption,
                 u"동기화할 계정이 없습니다. 파일 → 동기화 설정에서 서버와 주소록을 정하십시오."_s});
        return;
    }
    m_running = true;
    const SyncAccount a = *account;
    Keyring::current().read(a.KeyringEntry(), [this, a, asked](const Keyring::Result &kept) {
        if (kept.ok()) {
            Start(a, kept.password, asked);
            return;
        }
        if (SessionPasswords().contains(a.KeyringEntry())) {
            Start(a, SessionPasswords().value(a.KeyringEntry()), asked);
            return;
        }
        // A periodic sync never pops up a question by itself.
        std::optional<QString> typed;
        if (asked) {
            DialogService::Input input;
            input.parent = m_owner;
            input.caption = Caption;
            input.prompt = kept.message() + u"\n%1의 암호:"_s.arg(a.user);
            input.secret = true;
            typed = DialogService::current().input(input);
        }
        if (!typed) {
            m_running = false;
            return;
        }
        RememberPassword(a.KeyringEntry(), *typed);
        Start(a, *typed, asked);
    });
}

void SyncRunner::Start(const SyncAccount &account, const QString &password, bool asked)
{
    const Settings *settings = m_settings ? m_settings() : nullptr;
    if (!settings) {
        m_running = false;
        return;
    }
    const QString dataDir =
        Paths::WithoutTrailingSeparator(QDir::toNativeSeparators(settings->dataDir()));
    SyncEngine::Request request;
    request.dataDir = dataDir;
    request.folder = account.folder.isEmpty()
                         ? dataDir
                         : Paths::Join(dataDir, QDir::toNativeSeparators(account.folder));
    request.account = account.ClientAccount(password);
    request.stateFile = account.StateFile(*settings);
    request.book = QUrl(account.book);
    auto report = std::make_shared<SyncReport>();
    Job *job = Job::start(u"동기화"_s, [request, report](Job &job) mutable {
        request.cancel = job.cancelFlag();
        request.progress = [&job](qint64 done, qint64 total) { job.report(done, total); };
        *report = SyncEngine::Run(request);
    });
    connect(job, &Job::finished, this, [this, report, asked] {
        m_running = false;
        Show(*report, asked);
        emit finished();
    });
}

void SyncRunner::Show(const SyncReport &report, bool asked)
{
    if (!asked && !report.Failed() && report.conflicts.isEmpty())
        return;
    DialogService::current().message(
        {m_owner, report.Failed() ? DialogService::Icon::Warning : DialogService::Icon::Information,
         Caption, report.Text()});
}
