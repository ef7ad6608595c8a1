#include "SyncAccount.h"

#include "platform/Keyring.h"
#include "platform/Settings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QStringList StoredNames(const Settings &settings)
{
    return settings.text(Settings::SyncAccounts).split(u'|', Qt::SkipEmptyParts);
}

} // namespace

QStringList SyncAccount::Names(const Settings &settings)
{
    return StoredNames(settings);
}

std::optional<SyncAccount> SyncAccount::Load(const Settings &settings, const QString &name)
{
    const QStringList names = StoredNames(settings);
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
    QStringList names = StoredNames(settings);
    if (!names.contains(name)) {
        names << name;
        settings.setText(Settings::SyncAccounts, names.join(u'|'));
    }
    settings.setText(Settings::SyncServer, name, server);
    settings.setText(Settings::SyncUser, name, user);
    settings.setText(Settings::SyncBook, name, book);
    settings.setText(Settings::SyncBookName, name, bookName);
    settings.setText(Settings::SyncFolder, name, folder);
    settings.setFlag(Settings::SyncPeriodic, name, periodic);
    settings.setInteger(Settings::SyncMinutes, name,
                        Settings::bound(Settings::SyncMinutes, minutes));
}

void SyncAccount::Remove(const Settings &settings, const QString &name)
{
    QStringList names = StoredNames(settings);
    names.removeAll(name);
    settings.setText(Settings::SyncAccounts, names.join(u'|'));
    settings.eraseGroup(Settings::SyncServer, name);
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

QString SyncAccount::KeyringEntry() const
{
    return u"sync:"_s + name;
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
