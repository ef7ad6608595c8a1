#include "platform/InstanceLock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

// Starts the real program, twice and more, in a private runtime directory and a private
// program folder, and watches what the instances report about themselves.
class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondStartHandsOverAndEnds();
    void startWhileFirstHasNoWindowEndsSilently();
    void hungFirstInstanceDoesNotHangSecondStart();

private:
    QProcess *start();
    static bool saw(QProcess *process, QByteArray &log, const char *text);

    std::unique_ptr<QTemporaryDir> m_home;
    QString m_program;
    QList<QProcess *> m_processes;
};

void TestSingleInstance::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    QDir(m_home->path()).mkdir(QStringLiteral("runtime"));
    QDir(m_home->path()).mkdir(QStringLiteral("bin"));
    QVERIFY(QFile::setPermissions(m_home->filePath(QStringLiteral("runtime")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    // A copy of the program, so that its settings and data land in this test's folder.
    m_program = m_home->filePath(QStringLiteral("bin/vandrel"));
    QVERIFY(QFile::copy(QStringLiteral(VANDREL_PROGRAM), m_program));
}

void TestSingleInstance::cleanup()
{
    for (QProcess *p : std::as_const(m_processes)) {
#ifdef Q_OS_UNIX
        ::kill(pid_t(p->processId()), SIGCONT);
#endif
        p->kill();
        p->waitForFinished(5000);
        delete p;
    }
    m_processes.clear();
}

QProcess *TestSingleInstance::start()
{
    auto *p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("HOME"), m_home->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("vandrel.instance.debug=true"));
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::SeparateChannels);
    p->start(m_program, {});
    m_processes.append(p);
    return p;
}

bool TestSingleInstance::saw(QProcess *process, QByteArray &log, const char *text)
{
    log += process->readAllStandardError();
    return log.contains(text);
}

void TestSingleInstance::secondStartHandsOverAndEnds()
{
    QProcess *first = start();
    QByteArray firstLog;
    QTRY_VERIFY_WITH_TIMEOUT(saw(first, firstLog, "listening on"), 20000);
    QVERIFY(firstLog.contains("running as the first instance"));

    QElapsedTimer timer;
    timer.start();
    QProcess *second = start();
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(second->readAllStandardError().contains("handed over"));
    QVERIFY(timer.elapsed() < 10000);
    QTRY_VERIFY_WITH_TIMEOUT(saw(first, firstLog, "hand-over received"), 5000);
    QCOMPARE(first->state(), QProcess::Running);

    // Once the first has ended, a new start is a first instance again.
    first->kill();
    QVERIFY(first->waitForFinished(5000));
    QProcess *third = start();
    QByteArray thirdLog;
    QTRY_VERIFY_WITH_TIMEOUT(saw(third, thirdLog, "listening on"), 20000);
    QVERIFY(thirdLog.contains("running as the first instance"));
    QCOMPARE(third->state(), QProcess::Running);
}

void TestSingleInstance::startWhileFirstHasNoWindowEndsSilently()
{
    // This process holds the lock but has no window to hand over to.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_home->filePath(QStringLiteral("runtime"))));
    InstanceLock lock(QStringLiteral("Vandrel"));
    QVERIFY(lock.acquire());
    QVERIFY(lock.held());
    QElapsedTimer timer;
    timer.start();
    QProcess *second = start();
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(second->readAllStandardError().contains("handed over"));
    QVERIFY(timer.elapsed() < 10000);
}

void TestSingleInstance::hungFirstInstanceDoesNotHangSecondStart()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a way to stop a process");
#else
    QProcess *first = start();
    QByteArray firstLog;
    QTRY_VERIFY_WITH_TIMEOUT(saw(first, firstLog, "listening on"), 20000);
    QCOMPARE(::kill(pid_t(first->processId()), SIGSTOP), 0);

    QElapsedTimer timer;
    timer.start();
    QProcess *second = start();
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitCode(), 0);
    // It gives up after a few seconds.
    QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
    ::kill(pid_t(first->processId()), SIGCONT);
#endif
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
