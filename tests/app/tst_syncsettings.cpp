#include "app/ProjectInc.h"
#include "app/SyncRunner.h"
#include "app/SyncSettings.h"
#include "platform/Settings.h"
#include "records/RecordStore.h"
#include "support/FakeKeyring.h"
#include "support/RadicaleServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "sync/CardDavClient.h"
#include "sync/SyncAccount.h"
#include "sync/SyncState.h"
#include "widgets/zuGradiBtn.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QLockFile>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

using DialogAct = std::function<void(TfrmSyncSettings &, ScriptedDialogs &)>;
Q_DECLARE_METATYPE(DialogAct)

// The sync settings dialog stores the accounts in the settings file and their passwords in the
// keyring alone, adds, renames and removes accounts with their passwords and sync states, and
// "지금 동기화" runs the sync of every account as a job each and shows their report.
class TestSyncSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fillAndStore_data();
    void fillAndStore();
    void addAndEditBoth();
    void manageAccounts_data();
    void manageAccounts();
    void syncNow_data();
    void syncNow();
    void everyAccount_data();
    void everyAccount();

private:
    // Two accounts as a settings file of an earlier version holds them, with their passwords
    // and states: 집's state saved, iCloud's only in its journal (a sync cut off).
    QList<SyncAccount> writeTwoAccounts(FakeKeyring &keys);
    static QString passwordOf(const QString &name) { return name + u"-암호"_s; }
    // The state file and journal of an account; empty where there is none.
    QPair<QByteArray, QByteArray> stateOf(const QString &name) const;
    QStringList stateFiles() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
    std::unique_ptr<RadicaleServer> m_server;
    QUrl m_book;
    QString m_skip;
};

// radicale with the address book m_book, or the test skips where radicale cannot start.
#define START_BOOK()                                                                               \
    do {                                                                                           \
        if (!m_server->Start(&m_skip))                                                             \
            QSKIP(qPrintable(m_skip));                                                             \
        m_book = m_server->CreateAddressBook(u"book"_s, u"연락처"_s, &m_skip);                     \
        QVERIFY2(!m_book.isEmpty(), qPrintable(m_skip));                                           \
    } while (false)

void TestSyncSettings::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestSyncSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_info = std::make_unique<TzuPrjInfo>(m_dir->path());
    zuPrjInfo = m_info.get();
    QVERIFY(QDir().mkpath(m_dir->filePath(u"data/거래처"_s)));
    m_info->settings().setText(Settings::DirData, m_dir->filePath(u"data"_s));
    m_server = std::make_unique<RadicaleServer>();
}

void TestSyncSettings::cleanup()
{
    m_server.reset();
    zuPrjInfo = nullptr;
    m_info.reset();
    m_dir.reset();
}

void TestSyncSettings::fillAndStore_data()
{
    QTest::addColumn<bool>("keyring");
    QTest::newRow("keyring") << true;
    QTest::newRow("no keyring") << false;
}

void TestSyncSettings::fillAndStore()
{
    QFETCH(bool, keyring);
    START_BOOK();
    FakeKeyring keys;
    keys.running = keyring;
    ScriptedDialogs dialogs;
    const Settings &settings = m_info->settings();
    TfrmSyncSettings dialog(settings);
    // It asks whether a password is kept; without a keyring it says so.
    QTRY_COMPARE(dialog.lblKeyring->text().contains(u"키링이 실행 중이 아닙니다"_s), !keyring);
    QCOMPARE(keys.calls, 1);

    // The first account, offered before there is one, under a name of the user's.
    QCOMPARE(dialog.cmbAccount->count(), 1);
    dialogs.queueInput(u"집 서버"_s);
    dialog.btnRename->click();
    dialog.edtServer->setText(m_server->BaseUrl().toString());
    dialog.edtUser->setText(RadicaleServer::User());
    dialog.edtPassword->setText(RadicaleServer::Password());
    QSignalSpy found(&dialog, &TfrmSyncSettings::found);
    dialog.btnFind->click();
    QVERIFY(found.wait(20000));
    QCOMPARE(dialog.cmbBook->count(), 1);
    QCOMPARE(dialog.cmbBook->currentText(), u"연락처"_s);
    dialog.edtFolder->setText(u"거래처"_s);
    dialog.chkPeriodic->setChecked(true);
    dialog.spnMinutes->setValue(15);
    dialog.btnConfirm->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    QCOMPARE(SyncAccount::Names(settings), QStringList{u"집 서버"_s});
    const std::optional<SyncAccount> a = SyncAccount::Load(settings);
    QVERIFY(a);
    QCOMPARE(a->server, m_server->BaseUrl().toString());
    QCOMPARE(a->user, RadicaleServer::User());
    QCOMPARE(QUrl(a->book).path(), m_book.path());
    QCOMPARE(a->bookName, u"연락처"_s);
    QCOMPARE(a->folder, u"거래처"_s);
    QVERIFY(a->periodic);
    QCOMPARE(a->minutes, 15);
    // The password is in the keyring or nowhere, never in the settings file.
    QVERIFY(!TestFiles::read(settings.fileName()).contains(RadicaleServer::Password().toUtf8()));
    QCOMPARE(keys.passwords.value(a->KeyringEntry()),
             keyring ? RadicaleServer::Password() : QString());
    QCOMPARE(dialogs.messageCount(), keyring ? 0 : 1);
    if (!keyring)
        QVERIFY2(dialogs.lastText().contains(u"동기화할 때마다 묻습니다"_s),
                 qPrintable(dialogs.lastText()));
}

QList<SyncAccount> TestSyncSettings::writeTwoAccounts(FakeKeyring &keys)
{
    const Settings &settings = m_info->settings();
    QByteArray ini = TestFiles::read(settings.fileName());
    ini += TestFiles::cp949(u"\r\n[Sync]\r\nAccounts=집|iCloud\r\n"
                            u"[SyncAccount:집]\r\nServer=https://dav.home.example/\r\nUser=kim\r\n"
                            u"AddressBook=https://dav.home.example/kim/book/\r\n"
                            u"AddressBookName=가족\r\nFolder=가족\r\nPeriodic=1\r\nMinutes=20\r\n"
                            u"[SyncAccount:iCloud]\r\nServer=https://contacts.icloud.com/\r\n"
                            u"User=kim@icloud.com\r\nFolder=거래처\r\n"_s);
    TestFiles::write(settings.fileName(), ini);
    QList<SyncAccount> accounts;
    for (const QString &name : {u"집"_s, u"iCloud"_s}) {
        const std::optional<SyncAccount> a = SyncAccount::Load(settings, name);
        if (!a)
            return {};
        accounts << *a;
        keys.passwords.insert(a->KeyringEntry(), passwordOf(name));
        SyncState state = SyncState::Load(a->StateFile(settings));
        state.SetOwner(a->book.isEmpty() ? a->server : a->book,
                       QDir::toNativeSeparators(m_dir->filePath(u"data/"_s + a->folder)));
        if (name == u"집"_s)
            state.Save();
    }
    return accounts;
}

QPair<QByteArray, QByteArray> TestSyncSettings::stateOf(const QString &name) const
{
    SyncAccount a;
    a.name = name;
    const QString file = a.StateFile(m_info->settings());
    return {TestFiles::read(file), TestFiles::read(SyncState::JournalOf(file))};
}

QStringList TestSyncSettings::stateFiles() const
{
    return QDir(m_dir->path()).entryList({u"Vandrel-sync-*"_s}, QDir::Files);
}

// A second account beside one an earlier version stored, both edited in one go: each keeps
// its own values, and the dialog opened again shows them as stored.
void TestSyncSettings::addAndEditBoth()
{
    FakeKeyring keys;
    ScriptedDialogs dialogs;
    const Settings &settings = m_info->settings();
    const QList<SyncAccount> before = writeTwoAccounts(keys);
    QCOMPARE(before.size(), 2);
    SyncAccount::Remove(settings, u"iCloud"_s);
    keys.passwords.remove(before[1].KeyringEntry());

    SyncAccount home = before[0];
    home.server = u"https://dav.home.example/new/"_s;
    home.folder = u"가족/친척"_s;
    home.periodic = false;
    SyncAccount work;
    work.name = u"회사"_s;
    work.server = u"https://dav.work.example/"_s;
    work.user = u"kim.work"_s;
    work.folder = u"거래처"_s;
    work.periodic = true;
    work.minutes = 45;
    const auto fill = [](TfrmSyncSettings &dialog, const SyncAccount &a, const QString &password) {
        dialog.edtServer->setText(a.server);
        dialog.edtUser->setText(a.user);
        dialog.edtPassword->setText(password);
        dialog.edtFolder->setText(a.folder);
        dialog.chkPeriodic->setChecked(a.periodic);
        dialog.spnMinutes->setValue(a.minutes);
    };
    {
        TfrmSyncSettings dialog(settings);
        QCOMPARE(dialog.cmbAccount->count(), 1);
        dialogs.queueInput(work.name);
        dialog.btnAdd->click();
        QCOMPARE(dialog.cmbAccount->currentText(), work.name);
        // A new account starts empty, not as a copy of the one shown before.
        QVERIFY(dialog.edtServer->text().isEmpty());
        QVERIFY(dialog.edtFolder->text().isEmpty());
        fill(dialog, work, u"회사 암호"_s);
        dialog.cmbAccount->setCurrentIndex(0);
        QCOMPARE(dialog.edtServer->text(), before[0].server);
        fill(dialog, home, QString());
        // Back to the new one: what was typed there is still there.
        dialog.cmbAccount->setCurrentIndex(1);
        QCOMPARE(dialog.edtUser->text(), work.user);
        QCOMPARE(dialog.edtPassword->text(), u"회사 암호"_s);
        dialog.btnConfirm->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(dialogs.messageCount(), 0);
    QCOMPARE(SyncAccount::Names(settings), (QStringList{home.name, work.name}));
    QCOMPARE(keys.passwords.value(home.KeyringEntry()), passwordOf(home.name));
    QCOMPARE(keys.passwords.value(work.KeyringEntry()), u"회사 암호"_s);

    TfrmSyncSettings again(settings);
    QCOMPARE(again.cmbAccount->count(), 2);
    const QList<SyncAccount> expected{home, work};
    for (int i = 0; i < 2; ++i) {
        const SyncAccount &a = expected[i];
        again.cmbAccount->setCurrentIndex(i);
        QCOMPARE(again.cmbAccount->currentText(), a.name);
        QCOMPARE(again.edtServer->text(), a.server);
        QCOMPARE(again.edtUser->text(), a.user);
        QCOMPARE(again.cmbBook->currentData().toString(), a.book);
        QCOMPARE(again.edtFolder->text(), a.folder);
        QCOMPARE(again.chkPeriodic->isChecked(), a.periodic);
        QCOMPARE(again.spnMinutes->value(), a.minutes);
        QVERIFY(again.edtPassword->text().isEmpty());
        QTRY_COMPARE(again.edtPassword->placeholderText(), u"키링에 저장되어 있습니다"_s);
    }
}

void TestSyncSettings::manageAccounts_data()
{
    QTest::addColumn<DialogAct>("act");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("refused");
    // The accounts stored afterwards, in order, each as "name=the account it was" ("name=" for a
    // new one).
    QTest::addColumn<QStringList>("expected");

    const auto select = [](TfrmSyncSettings &dialog, const QString &name) {
        dialog.cmbAccount->setCurrentIndex(dialog.cmbAccount->findText(name));
    };
    const auto rename = [select](TfrmSyncSettings &dialog, ScriptedDialogs &dialogs,
                                 const QString &from, const QString &to) {
        select(dialog, from);
        dialogs.queueInput(to);
        dialog.btnRename->click();
    };
    const auto remove = [select](TfrmSyncSettings &dialog, ScriptedDialogs &dialogs,
                                 const QString &name, bool yes = true) {
        select(dialog, name);
        dialogs.queueButton(yes ? DialogService::Yes : DialogService::No);
        dialog.btnRemove->click();
    };
    const auto askAdd = [](TfrmSyncSettings &dialog, ScriptedDialogs &dialogs,
                           const QString &name) {
        dialogs.queueInput(name);
        dialog.btnAdd->click();
    };
    const auto add = [askAdd](TfrmSyncSettings &dialog, ScriptedDialogs &dialogs,
                              const QString &name) {
        askAdd(dialog, dialogs, name);
        dialog.edtServer->setText(u"https://dav.new.example/"_s);
    };
    const QStringList unchanged{u"집=집"_s, u"iCloud=iCloud"_s};

    QTest::newRow("rename") << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) {
        rename(d, s, u"집"_s, u"본가"_s);
    }) << true << QString() << QStringList{u"본가=집"_s, u"iCloud=iCloud"_s};
    QTest::newRow("rename in letter case only") << DialogAct(
        [=](TfrmSyncSettings &d, ScriptedDialogs &s) { rename(d, s, u"iCloud"_s, u"ICLOUD"_s); })
                                                << true << QString()
                                                << QStringList{u"집=집"_s, u"ICLOUD=iCloud"_s};
    // Each new name is free when it is taken, though not at the end.
    QTest::newRow("names swapped") << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) {
        rename(d, s, u"집"_s, u"잠깐"_s);
        rename(d, s, u"iCloud"_s, u"집"_s);
        rename(d, s, u"잠깐"_s, u"iCloud"_s);
    }) << true << QString() << QStringList{u"iCloud=집"_s, u"집=iCloud"_s};
    QTest::newRow("remove") << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) {
        remove(d, s, u"iCloud"_s);
    }) << true << QString() << QStringList{u"집=집"_s};
    QTest::newRow("remove answered no")
        << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) { remove(d, s, u"집"_s, false); })
        << true << QString() << unchanged;
    // Nothing of the old one goes over to the new one: no password, no state.
    QTest::newRow("remove, then add that name")
        << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) {
               remove(d, s, u"집"_s);
               add(d, s, u"집"_s);
           })
        << true << QString() << QStringList{u"iCloud=iCloud"_s, u"집="_s};
    QTest::newRow("rename, then add the old name")
        << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) {
               rename(d, s, u"집"_s, u"본가"_s);
               add(d, s, u"집"_s);
           })
        << true << QString() << QStringList{u"본가=집"_s, u"iCloud=iCloud"_s, u"집="_s};
    QTest::newRow("add a taken name")
        << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) { askAdd(d, s, u"집"_s); })
        << true << u"'집' 계정이 이미 있습니다"_s << unchanged;
    QTest::newRow("add a taken name in other letters")
        << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) { askAdd(d, s, u"icloud "_s); })
        << true << u"'iCloud' 계정이 이미 있습니다"_s << unchanged;
    QTest::newRow("rename to a taken name") << DialogAct(
        [=](TfrmSyncSettings &d, ScriptedDialogs &s) { rename(d, s, u"iCloud"_s, u"집"_s); })
                                            << true << u"'집' 계정이 이미 있습니다"_s << unchanged;
    QTest::newRow("add an empty name")
        << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) { askAdd(d, s, u"  "_s); })
        << true << u"계정 이름을 입력하세요"_s << unchanged;
    // Its sync (here or on the command line) would write the state under the old name.
    QTest::newRow("rename while its sync runs")
        << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) {
               rename(d, s, u"집"_s, u"본가"_s);
               SyncAccount home;
               home.name = u"집"_s;
               const QString stateFile = home.StateFile(zuPrjInfo->settings());
               const QByteArray ini = TestFiles::read(zuPrjInfo->settings().fileName());
               {
                   QLockFile syncing(SyncState::LockOf(stateFile));
                   QVERIFY(syncing.tryLock(0));
                   d.btnConfirm->click();
               }
               QVERIFY(d.isVisible() || d.result() != QDialog::Accepted);
               QCOMPARE(TestFiles::read(zuPrjInfo->settings().fileName()), ini);
               QVERIFY(QFile::exists(stateFile));
           })
        << true << u"'집' 계정을 지금 동기화하고 있습니다"_s
        << QStringList{u"본가=집"_s, u"iCloud=iCloud"_s};
    // Its records would be looked for outside the data directory.
    QTest::newRow("a folder outside the data directory")
        << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &) {
               select(d, u"집"_s);
               const QString folder = d.edtFolder->text();
               const QByteArray ini = TestFiles::read(zuPrjInfo->settings().fileName());
               d.edtFolder->setText(u"../밖"_s);
               d.btnConfirm->click();
               QCOMPARE(TestFiles::read(zuPrjInfo->settings().fileName()), ini);
               d.edtFolder->setText(folder);
           })
        << true << u"자료 폴더 안의 상대 경로"_s << unchanged;
    QTest::newRow("cancel") << DialogAct([=](TfrmSyncSettings &d, ScriptedDialogs &s) {
        rename(d, s, u"집"_s, u"본가"_s);
        remove(d, s, u"iCloud"_s);
        add(d, s, u"회사"_s);
        d.edtPassword->setText(u"새 암호"_s);
    }) << false << QString() << unchanged;
}

// Accounts added, renamed and removed: each keeps its values, its password in the keyring and
// its sync state under its new name; a removed one leaves neither behind; the rest is untouched.
void TestSyncSettings::manageAccounts()
{
    QFETCH(DialogAct, act);
    QFETCH(bool, confirm);
    QFETCH(QString, refused);
    QFETCH(QStringList, expected);
    FakeKeyring keys;
    ScriptedDialogs dialogs;
    const Settings &settings = m_info->settings();
    QHash<QString, SyncAccount> before;
    QHash<QString, QPair<QByteArray, QByteArray>> states;
    for (const SyncAccount &a : writeTwoAccounts(keys)) {
        before.insert(a.name, a);
        states.insert(a.name, stateOf(a.name));
    }
    QCOMPARE(before.size(), 2);
    QVERIFY(!states.value(u"집"_s).first.isEmpty());
    QVERIFY(!states.value(u"iCloud"_s).second.isEmpty());
    const QByteArray ini = TestFiles::read(settings.fileName());

    TfrmSyncSettings dialog(settings);
    act(dialog, dialogs);
    (confirm ? dialog.btnConfirm : dialog.btnCancel)->click();
    QCOMPARE(dialog.result(), int(confirm ? QDialog::Accepted : QDialog::Rejected));
    QStringList errors;
    for (const ScriptedDialogs::Asked &asked : std::as_const(dialogs.asked))
        if (!asked.isInput && asked.message.icon != DialogService::Icon::Question)
            errors << asked.message.text;
    if (refused.isEmpty())
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    else
        QVERIFY2(errors.size() == 1 && errors[0].contains(refused), qPrintable(errors.join(u'\n')));
    if (!confirm)
        QCOMPARE(TestFiles::read(settings.fileName()), ini);

    QStringList names;
    QHash<QString, QString> passwords;
    int files = 0;
    for (const QString &pair : expected) {
        const QString name = pair.section(u'=', 0, 0), was = pair.section(u'=', 1);
        names << name;
        std::optional<SyncAccount> a = SyncAccount::Load(settings, name);
        QVERIFY2(a, qPrintable(name));
        const QPair<QByteArray, QByteArray> state = stateOf(name);
        if (was.isEmpty()) {
            QCOMPARE(a->server, u"https://dav.new.example/"_s);
            QCOMPARE(state, (QPair<QByteArray, QByteArray>()));
            continue;
        }
        SyncAccount old = before.value(was);
        old.name = name;
        QCOMPARE(a->server, old.server);
        QCOMPARE(a->user, old.user);
        QCOMPARE(a->book, old.book);
        QCOMPARE(a->bookName, old.bookName);
        QCOMPARE(a->folder, old.folder);
        QCOMPARE(a->periodic, old.periodic);
        QCOMPARE(a->minutes, old.minutes);
        passwords.insert(a->KeyringEntry(), passwordOf(was));
        QCOMPARE(state, states.value(was));
        files += !state.first.isEmpty() + !state.second.isEmpty();
    }
    QCOMPARE(SyncAccount::Names(settings), names);
    // Nothing left behind under a name no account has.
    QCOMPARE(keys.passwords, passwords);
    QCOMPARE(stateFiles().size(), files);
}

void TestSyncSettings::syncNow_data()
{
    QTest::addColumn<bool>("keyring");
    QTest::newRow("password from the keyring") << true;
    QTest::newRow("password asked for") << false;
}

void TestSyncSettings::syncNow()
{
    QFETCH(bool, keyring);
    START_BOOK();
    FakeKeyring keys;
    keys.running = keyring;
    ScriptedDialogs dialogs;
    SyncAccount a;
    a.name = keyring ? u"집"_s : u"회사"_s; // the session keeps a typed password per account
    a.server = m_server->BaseUrl().toString();
    a.user = RadicaleServer::User();
    a.folder = u"거래처"_s;
    a.Save(m_info->settings());
    if (keyring)
        keys.passwords.insert(a.KeyringEntry(), RadicaleServer::Password());
    else
        dialogs.queueInput(RadicaleServer::Password());
    RecordStore::CreateRecord(m_dir->filePath(u"data/거래처/김철수.txt"_s), Record());
    RecordStore::CreateRecord(m_dir->filePath(u"data/밖.txt"_s), Record());

    SyncRunner runner(nullptr, [this] { return &m_info->settings(); });
    QSignalSpy finished(&runner, &SyncRunner::finished);
    runner.SyncNow(true);
    QVERIFY(finished.wait(30000));
    QVERIFY2(dialogs.lastText().contains(u"올림 1,"_s), qPrintable(dialogs.lastText()));
    // Only the mapped folder went up, found from the server's address alone.
    CardDav::Account account;
    account.address = m_book;
    account.user = RadicaleServer::User();
    account.password = RadicaleServer::Password();
    CardDav::Client client(account);
    QCOMPARE(client.ListCardsBlocking(m_book).etags.size(), 1);
    // Asked once, as a password, where no keyring keeps it.
    int inputs = 0;
    for (const ScriptedDialogs::Asked &asked : std::as_const(dialogs.asked))
        if (asked.isInput) {
            ++inputs;
            QVERIFY(asked.input.secret);
            QVERIFY(asked.input.prompt.contains(u"키링"_s));
        }
    QCOMPARE(inputs, keyring ? 0 : 1);
}

void TestSyncSettings::everyAccount_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<bool>("firstFails");
    QTest::newRow("asked, both sync") << false << false;
    QTest::newRow("asked, the first fails") << false << true;
    // Only the failure is worth a message then.
    QTest::newRow("on start, the first fails") << true << true;
}

// Two accounts on two address books of one server, each with its folder and its own state:
// every one syncs, whatever the one before it did, and the report names each.
void TestSyncSettings::everyAccount()
{
    QFETCH(bool, atStart);
    QFETCH(bool, firstFails);
    if (!m_server->Start(&m_skip))
        QSKIP(qPrintable(m_skip));
    const QUrl home = m_server->CreateAddressBook(u"home"_s, u"가족"_s, &m_skip);
    const QUrl work = m_server->CreateAddressBook(u"work"_s, u"회사"_s, &m_skip);
    QVERIFY2(!home.isEmpty() && !work.isEmpty(), qPrintable(m_skip));
    FakeKeyring keys;
    ScriptedDialogs dialogs;
    const Settings &settings = m_info->settings();
    const auto add = [&](const QString &name, const QUrl &book, const QString &folder,
                         const QString &password) {
        SyncAccount a;
        a.name = name;
        a.server = m_server->BaseUrl().toString();
        a.user = RadicaleServer::User();
        a.book = book.toString();
        a.folder = folder;
        a.periodic = atStart;
        a.minutes = 60;
        a.Save(settings);
        keys.passwords.insert(a.KeyringEntry(), password);
        return a;
    };
    const SyncAccount first =
        add(u"집"_s, home, u"가족"_s, firstFails ? u"틀린 암호"_s : RadicaleServer::Password());
    add(u"회사"_s, work, u"거래처"_s, RadicaleServer::Password());
    QVERIFY(QDir().mkpath(m_dir->filePath(u"data/가족"_s)));
    RecordStore::CreateRecord(m_dir->filePath(u"data/가족/엄마.txt"_s), Record());
    RecordStore::CreateRecord(m_dir->filePath(u"data/거래처/김철수.txt"_s), Record());
    const auto cardsIn = [](const QUrl &book) {
        CardDav::Account account;
        account.address = book;
        account.user = RadicaleServer::User();
        account.password = RadicaleServer::Password();
        return CardDav::Client(account).ListCardsBlocking(book).etags.size();
    };

    SyncRunner runner(nullptr, [this] { return &m_info->settings(); });
    QSignalSpy finished(&runner, &SyncRunner::finished);
    if (!atStart)
        runner.SyncNow(true);
    QVERIFY(finished.wait(30000));
    QCOMPARE(dialogs.messageCount(), 1);
    const QString text = dialogs.lastText();
    QVERIFY2(text.contains(firstFails ? u"집: 올림 0,"_s : u"집: 올림 1,"_s), qPrintable(text));
    QCOMPARE(text.contains(u"암호가 틀립니다"_s), firstFails);
    QCOMPARE(text.contains(u"회사: 올림 1,"_s), !atStart);
    QCOMPARE(cardsIn(home), firstFails ? 0 : 1);
    QCOMPARE(cardsIn(work), 1);

    // With the password right, the first catches up; the second, by its own state, has
    // nothing to do.
    keys.passwords.insert(first.KeyringEntry(), RadicaleServer::Password());
    runner.SyncNow(true);
    QVERIFY(finished.wait(30000));
    const QString again = dialogs.lastText();
    QVERIFY2(again.contains(firstFails ? u"집: 올림 1,"_s : u"집: 올림 0, 받음 0,"_s),
             qPrintable(again));
    QVERIFY2(again.contains(u"회사: 올림 0, 받음 0,"_s), qPrintable(again));
    QCOMPARE(cardsIn(home), 1);
    QCOMPARE(cardsIn(work), 1);
}

QTEST_MAIN(TestSyncSettings)
#include "tst_syncsettings.moc"
