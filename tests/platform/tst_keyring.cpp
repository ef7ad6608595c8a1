#include "platform/Keyring.h"
#include "support/FakeKeyring.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The password seam: the fake the other tests use, and the real qtkeychain one where no
// keyring can run (the test points D-Bus at a socket that is not there, so the user's keyring
// is never reached).
class TestKeyring : public QObject
{
    Q_OBJECT
private slots:
    void fakeStoresReadsAndRemoves();
    void fakeWithoutKeyring();
    void messages_data();
    void messages();
    void systemSaysNoKeyringWithoutOne();
};

void TestKeyring::fakeStoresReadsAndRemoves()
{
    {
        FakeKeyring fake;
        Keyring &keyring = Keyring::current();
        QCOMPARE(&keyring, static_cast<Keyring *>(&fake));
        QCOMPARE(keyring.readBlocking(u"집"_s).status, Keyring::Status::NotFound);
        QVERIFY(keyring.storeBlocking(u"집"_s, u"비밀 1"_s).ok());
        QVERIFY(keyring.storeBlocking(u"회사"_s, u"비밀 2"_s).ok());
        const Keyring::Result read = keyring.readBlocking(u"집"_s);
        QVERIFY(read.ok());
        QCOMPARE(read.password, u"비밀 1"_s);
        QVERIFY(keyring.removeBlocking(u"집"_s).ok());
        QCOMPARE(keyring.readBlocking(u"집"_s).status, Keyring::Status::NotFound);
        QCOMPARE(keyring.readBlocking(u"회사"_s).password, u"비밀 2"_s);
        // Asynchronous: done comes later, not inside the call.
        bool done = false;
        keyring.read(u"회사"_s, [&](const Keyring::Result &) { done = true; });
        QVERIFY(!done);
        QTRY_VERIFY(done);
    }
    QCOMPARE(&Keyring::current(), &Keyring::system());
}

void TestKeyring::fakeWithoutKeyring()
{
    FakeKeyring fake;
    fake.running = false;
    const Keyring::Result stored = Keyring::current().storeBlocking(u"집"_s, u"비밀"_s);
    QCOMPARE(stored.status, Keyring::Status::NoKeyring);
    QVERIFY(fake.passwords.isEmpty());
    QCOMPARE(Keyring::current().readBlocking(u"집"_s).status, Keyring::Status::NoKeyring);
}

void TestKeyring::messages_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("says");
    QTest::newRow("ok") << int(Keyring::Status::Ok) << QString() << QString();
    QTest::newRow("no keyring") << int(Keyring::Status::NoKeyring) << QString()
                                << u"동기화할 때마다 묻습니다"_s;
    QTest::newRow("not found") << int(Keyring::Status::NotFound) << QString()
                               << u"저장된 암호가 없습니다"_s;
    QTest::newRow("denied") << int(Keyring::Status::Denied) << QString() << u"허락하지"_s;
    QTest::newRow("failed with detail")
        << int(Keyring::Status::Failed) << u"D-Bus timeout"_s << u"D-Bus timeout"_s;
}

void TestKeyring::messages()
{
    QFETCH(int, status);
    QFETCH(QString, detail);
    QFETCH(QString, says);
    Keyring::Result result;
    result.status = Keyring::Status(status);
    result.detail = detail;
    if (says.isEmpty())
        QVERIFY(result.message().isEmpty());
    else
        QVERIFY2(result.message().contains(says), qPrintable(result.message()));
}

void TestKeyring::systemSaysNoKeyringWithoutOne()
{
    QTemporaryDir dir;
    // No session bus: no Secret Service, no KWallet.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath(u"no-bus"_s).toUtf8());
    Keyring &system = Keyring::system();
    const Keyring::Result read = system.readBlocking(u"vandrel-test-account"_s);
    if (read.status != Keyring::Status::NoKeyring)
        QSKIP(qPrintable(u"a keyring answered without a session bus: "_s + read.detail));
    QVERIFY(!read.message().isEmpty());
    const Keyring::Result stored = system.storeBlocking(u"vandrel-test-account"_s, u"x"_s);
    QCOMPARE(stored.status, Keyring::Status::NoKeyring);
}

QTEST_GUILESS_MAIN(TestKeyring)
#include "tst_keyring.moc"
