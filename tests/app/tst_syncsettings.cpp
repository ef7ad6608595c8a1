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
#include "widgets/zuGradiBtn.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The sync settings dialog stores the account in the settings file and the password in the
// keyring alone, and "지금 동기화" runs the sync of every account as a job each and shows their
// report.
class TestSyncSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fillAndStore_data();
    void fillAndStore();
    void syncNow_data();
    void syncNow();
    void everyAccount_data();
    void everyAccount();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
    std::unique_ptr<RadicaleServer> m_server;
    QUrl m_book;
    QString m_skip;
};

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
    if (!m_server->Start(&m_skip))
        QSKIP(qPrintable(m_skip));
    m_book = m_server->CreateAddressBook(u"book"_s, u"연락처"_s, &m_skip);
    QVERIFY2(!m_book.isEmpty(), qPrintable(m_skip));
    FakeKeyring keys;
    keys.running = keyring;
    ScriptedDialogs dialogs;
    const Settings &settings = m_info->settings();
    TfrmSyncSettings dialog(settings);
    // It asks whether a password is kept; without a keyring it says so.
    QTRY_COMPARE(dialog.lblKeyring->text().contains(u"키링이 실행 중이 아닙니다"_s), !keyring);
    QCOMPARE(keys.calls, 1);

    dialog.edtName->setText(u"집 서버"_s);
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

    const std::optional<SyncAccount> a = SyncAccount::Load(settings);
    QVERIFY(a);
    QCOMPARE(a->name, u"집 서버"_s);
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

void TestSyncSettings::syncNow_data()
{
    QTest::addColumn<bool>("keyring");
    QTest::newRow("password from the keyring") << true;
    QTest::newRow("password asked for") << false;
}

void TestSyncSettings::syncNow()
{
    QFETCH(bool, keyring);
    if (!m_server->Start(&m_skip))
        QSKIP(qPrintable(m_skip));
    m_book = m_server->CreateAddressBook(u"book"_s, u"연락처"_s, &m_skip);
    QVERIFY2(!m_book.isEmpty(), qPrintable(m_skip));
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
