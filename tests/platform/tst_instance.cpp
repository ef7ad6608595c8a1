#include "platform/InstanceChannel.h"
#include "platform/InstanceLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

class TestInstance : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void lockIsExclusiveUntilReleased();
    void runtimeDirectoryMustBePrivate_data();
    void runtimeDirectoryMustBePrivate();
    void handOverIsAnswered();
    void noListenerMeansNoHandOver();
    void silentListenerTimesOut();

private:
    std::unique_ptr<QTemporaryDir> m_runtime;
    QByteArray m_oldRuntime;
};

void TestInstance::init()
{
    m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    m_runtime = std::make_unique<QTemporaryDir>();
    QVERIFY(QFile::setPermissions(m_runtime->path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
}

void TestInstance::cleanup()
{
    qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
}

void TestInstance::lockIsExclusiveUntilReleased()
{
    auto first = std::make_unique<InstanceLock>(QStringLiteral("Vandrel"));
    QVERIFY(first->acquire());
    QVERIFY(first->held());
    QVERIFY(QFile::exists(m_runtime->filePath(QStringLiteral("Vandrel.lock"))));

    InstanceLock second(QStringLiteral("Vandrel"));
    QVERIFY(!second.acquire());
    QVERIFY(!second.held());

    InstanceLock other(QStringLiteral("Other"));
    QVERIFY(other.acquire());

    first.reset();
    QVERIFY(second.acquire());
}

void TestInstance::runtimeDirectoryMustBePrivate_data()
{
    QTest::addColumn<int>("permissions");
    QTest::addColumn<bool>("used");
    QTest::newRow("0700") << 0700 << true;
    QTest::newRow("0755") << 0755 << false;
    QTest::newRow("0777") << 0777 << false;
}

void TestInstance::runtimeDirectoryMustBePrivate()
{
    QFETCH(int, permissions);
    QFETCH(bool, used);
    QFile::Permissions p;
    if (permissions & 0400)
        p |= QFile::ReadOwner;
    if (permissions & 0200)
        p |= QFile::WriteOwner;
    if (permissions & 0100)
        p |= QFile::ExeOwner;
    if (permissions & 0040)
        p |= QFile::ReadGroup;
    if (permissions & 0010)
        p |= QFile::ExeGroup;
    if (permissions & 0004)
        p |= QFile::ReadOther;
    if (permissions & 0002)
        p |= QFile::WriteOther;
    if (permissions & 0001)
        p |= QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_runtime->path(), p));
    // Keep the fallback inside a temporary directory of this test.
    QTemporaryDir tmp;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const QString dir = InstanceLock::runtimeDirectory();
    qputenv("TMPDIR", oldTmp);
    QVERIFY(!dir.isEmpty());
    QCOMPARE(dir == m_runtime->path(), used);
    if (!used) {
        // The fallback is private too.
        QVERIFY(dir.startsWith(tmp.path()));
        QCOMPARE(
            QFileInfo(dir).permissions()
                & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
            QFile::Permissions());
    }
}

void TestInstance::handOverIsAnswered()
{
    const QString name = InstanceChannelName(QStringLiteral("VandrelMap"));
    QCOMPARE(QFileInfo(name).path(), m_runtime->path());
    InstanceServer server;
    QVERIFY(server.listen(name));
    int handOvers = 0;
    connect(&server, &InstanceServer::handOver, this, [&] { ++handOvers; });

    std::atomic<int> result{-1};
    std::thread client([&] { result = int(InstanceClient::sendHandOver(name, 5000)); });
    QTRY_VERIFY(result != -1);
    client.join();
    QCOMPARE(InstanceClient::Result(result.load()), InstanceClient::Result::Answered);
    QCOMPARE(handOvers, 1);
}

void TestInstance::noListenerMeansNoHandOver()
{
    const QString name = InstanceChannelName(QStringLiteral("VandrelMap"));
    QCOMPARE(InstanceClient::sendHandOver(name, 1000), InstanceClient::Result::NoListener);
    QCOMPARE(InstanceClient::sendHandOver(QString(), 1000), InstanceClient::Result::NoListener);
}

void TestInstance::silentListenerTimesOut()
{
    // A listener whose event loop never runs stands for a hung first instance.
    const QString name = InstanceChannelName(QStringLiteral("VandrelMap"));
    InstanceServer server;
    QVERIFY(server.listen(name));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(InstanceClient::sendHandOver(name, 800), InstanceClient::Result::NoAnswer);
    QVERIFY(timer.elapsed() < 3000);
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
