#include "SyncAccount.h"

#include "platform/Keyring.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "sync/SyncState.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

using namespace Qt::StringLiterals;

namespace {

// The account's own section, not the list.
void WriteKeys(const Settings &settings, const SyncAccount &a)
{
    settings.setText(Settings::SyncServer, a.name, a.server);
    settings.setText(Settings::SyncUser, a.name, a.user);
    settings.setText(Settings::SyncBook, a.name, a.book);
    settings.setText(Settings::SyncBookName, a.name, a.bookName);
    settings.setText(Settings::SyncFolder, a.name, a.folder);
    settings.setFlag(Settings::SyncPeriodic, a.name, a.periodic);
    settings.setInteger(Settings::SyncMinutes, a.name,
                        Settings::bound(Settings::SyncMinutes, a.minutes));
}

} // namespace

QStringList SyncAccount::Names(const Settings &settings)
{
    return settings.text(Settings::SyncAccounts).split(u'|', Qt::SkipEmptyParts);
}

std::optional<SyncAccount> SyncAccount::Load(const Settings &settings, const QString &name)
{
    const QStringList names = Names(settings);
    const QString wanted = name.isEmpty() ? names.value(0) : name;
    if (wanted.isEmpty() || !names.contains(wanted))
        return std::nullopt;
    SyncAccount a;
    a.name = wanted;
    a.server = settings.text(Settings::SyncServer, wanted);
    a.user = settings.text(Settings::SyncUser, wanted);
    a.book = settings.text(Settings::SyncBook, wanted);
    a.bookName = settings.text(Settings::SyncBookName, wanted);
    a.folder = settings.text(Settings::SyncFolder, wanted);
    a.periodic = settings.flag(Settings::SyncPeriodic, wanted);
    a.minutes = settings.bounded(Settings::SyncMinutes, wanted);
    return a;
}

void SyncAccount::Save(const Settings &settings) const
{
    Q_ASSERT(ValidName(name));
    QStringList names = Names(settings);
    if (!names.contains(name)) {
        names << name;
        settings.setText(Settings::SyncAccounts, names.join(u'|'));
    }
    WriteKeys(settings, *this);
}

void SyncAccount::Remove(const Settings &settings, const QString &name)
{
    QStringList names = Names(settings);
    names.removeAll(name);
    settings.setText(Settings::SyncAccounts, names.join(u'|'));
    settings.eraseGroup(Settings::SyncServer, name);
    SyncAccount gone;
    gone.name = name;
    gone.DropState(settings);
}

void SyncAccount::Rename(const Settings &settings, const QString &from, const QString &to)
{
    Q_ASSERT(ValidName(to) && from != to);
    SyncAccount source, target;
    source.name = from;
    target.name = to;
    // A state left under the new name belongs to no account now; the account's own goes there.
    target.DropState(settings);
    QFile::rename(source.StateFile(settings), target.StateFile(settings));
    QFile::rename(SyncState::JournalOf(source.StateFile(settings)),
                  SyncState::JournalOf(target.StateFile(settings)));
    std::optional<SyncAccount> a = Load(settings, from);
    if (!a)
        return;
    a->name = to;
    // The section first: a list naming an account without its keys would lose them.
    WriteKeys(settings, *a);
    QStringList names = Names(settings);
    names.removeAll(to);
    names.replace(names.indexOf(from), to);
    settings.setText(Settings::SyncAccounts, names.join(u'|'));
    // Section names ignore letter case: "Work" to "work" keeps the one section.
    if (from.compare(to, Qt::CaseInsensitive) != 0)
        settings.eraseGroup(Settings::SyncServer, from);
}

bool SyncAccount::ValidName(const QString &name)
{
    return !name.trimmed().isEmpty() && !name.contains(u'|') && !name.contains(u'\n')
           && !name.contains(u'\r') && !name.contains(u']') && name.size() <= 100;
}

QString SyncAccount::StateFile(const Settings &settings) const
{
    // The name's hash keeps any character the user chose out of the file name.
    const QByteArray id =
        QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QFileInfo(settings.fileName()).absolutePath() + u"/Vandrel-sync-"_s
           + QString::fromLatin1(id) + u".state"_s;
}

bool SyncAccount::Syncing(const Settings &settings) const
{
    QLockFile lock(SyncState::LockOf(StateFile(settings)));
    lock.setStaleLockTime(0);
    return !lock.tryLock(0);
}

void SyncAccount::DropState(const Settings &settings) const
{
    QFile::remove(StateFile(settings));
    QFile::remove(SyncState::JournalOf(StateFile(settings)));
}

QString SyncAccount::KeyringEntry() const
{
    return u"sync:"_s + name;
}

std::optional<QString> SyncAccount::SyncedFolder(const QString &dataDir) const
{
    const QString dir = Paths::WithoutTrailingSeparator(Paths::Native(dataDir));
    const std::optional<QStringList> parts = Paths::RelativeParts(folder);
    if (!parts)
        return std::nullopt;
    return parts->isEmpty() ? dir : Paths::Join(dir, parts->join(Paths::Separator()));
}

std::optional<SyncEngine::Request> SyncAccount::EngineRequest(const Settings &settings,
                                                              const QString &dataDir,
                                                              const QString &password) const
{
    const std::optional<QString> synced = SyncedFolder(dataDir);
    if (!synced)
        return std::nullopt;
    SyncEngine::Request request;
    request.dataDir = Paths::WithoutTrailingSeparator(Paths::Native(dataDir));
    request.folder = *synced;
    request.account = ClientAccount(password);
    request.stateFile = StateFile(settings);
    request.book = QUrl(book);
    return request;
}

CardDav::Account SyncAccount::ClientAccount(const QString &password) const
{
    CardDav::Account account;
    account.address = CardDav::Client::AddressFromText(book.isEmpty() ? server : book);
    account.user = user;
    account.password = password;
    return account;
}

std::optional<QString> SyncPassword(const SyncAccount &account, const PasswordQuestion &ask,
                                    QString *why)
{
    const Keyring::Result kept = Keyring::current().readBlocking(account.KeyringEntry());
    if (kept.ok())
        return kept.password;
    const QString reason = kept.message();
    if (ask) {
        if (std::optional<QString> typed = ask(reason))
            return typed;
    }
    if (why)
        *why = reason;
    return std::nullopt;
}
