#include "app/ProjectInc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The installed program: `cmake --install` into a temporary prefix, then the files a desktop
// reads from there, checked as the desktop's own validators check them.
class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void installsTheDesktopFiles_data();
    void installsTheDesktopFiles();
    void iconSizes_data();
    void iconSizes();
    void desktopEntryNamesTheProgram();
    void installedProgramRunsAndKeepsToTheUser();
    void validators_data();
    void validators();

private:
    QString installed(const QString &relative) const { return m_prefix.filePath(relative); }
    QTemporaryDir m_prefix;
    QTemporaryDir m_home; // the user's per-user places
};

namespace {

QString appFile(const char *folder, const char *extension)
{
    return QLatin1String(folder) + TzuPrjInfo::AppId + QLatin1String(extension);
}

// Runs a program to its end; its exit code, or -1 when it could not start or took too long.
int run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        return -1;
    }
    const QByteArray text = process.readAll();
    if (output)
        *output = text;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        qWarning().noquote() << program << arguments.join(u' ') << '\n' << text;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

void TestInstall::initTestCase()
{
    QVERIFY(m_prefix.isValid() && m_home.isValid());
    // As the program names itself; the per-user places are named after it.
    QCoreApplication::setApplicationName(QStringLiteral("Vandrel"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    QCOMPARE(run(QStringLiteral(VANDREL_CMAKE),
                 {QStringLiteral("--install"), QStringLiteral(VANDREL_BUILD_DIR),
                  QStringLiteral("--prefix"), m_prefix.path()}),
             0);
}

void TestInstall::installsTheDesktopFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("program") << QStringLiteral("bin/vandrel");
    QTest::newRow("desktop entry") << appFile("share/applications/", ".desktop");
    QTest::newRow("metainfo") << appFile("share/metainfo/", ".metainfo.xml");
    QTest::newRow("scalable icon") << appFile("share/icons/hicolor/scalable/apps/", ".svg");
    QTest::newRow("manual page") << QStringLiteral("share/man/man1/vandrel.1.gz");
    QTest::newRow("copyright") << QStringLiteral("share/doc/vandrel/copyright");
}

void TestInstall::installsTheDesktopFiles()
{
    QFETCH(QString, file);
    const QFileInfo info(installed(file));
    QVERIFY2(info.isFile() && info.size() > 0, qPrintable(info.filePath()));
}

void TestInstall::iconSizes_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void TestInstall::iconSizes()
{
    QFETCH(int, size);
    const QString folder = QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size);
    const QImage image(installed(folder + TzuPrjInfo::AppId + QStringLiteral(".png")));
    QVERIFY(!image.isNull());
    // A theme puts an image of another size where it looks for this one at its peril.
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
}

void TestInstall::desktopEntryNamesTheProgram()
{
    QSettings entry(installed(appFile("share/applications/", ".desktop")), QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    QCOMPARE(entry.value(QStringLiteral("Name")).toString(), QStringLiteral("Vandrel"));
    QCOMPARE(entry.value(QStringLiteral("Icon")).toString(), TzuPrjInfo::AppId);
    const QString exec = entry.value(QStringLiteral("Exec")).toString();
    QVERIFY2(QFileInfo(installed(QStringLiteral("bin/") + exec)).isExecutable(), qPrintable(exec));
    // The window's class is the application name the program gives itself.
    QCOMPARE(entry.value(QStringLiteral("StartupWMClass")).toString(), QStringLiteral("Vandrel"));
}

void TestInstall::installedProgramRunsAndKeepsToTheUser()
{
    QByteArray help;
    QCOMPARE(run(installed(QStringLiteral("bin/vandrel")), {QStringLiteral("--help")}, &help), 0);
    QVERIFY(help.contains("--import"));
    // The prefix is writable here, as /usr is for root; the installed copy still writes
    // nothing beside itself.
    TzuPrjInfo info(installed(QStringLiteral("bin")));
    QCOMPARE(QDir::fromNativeSeparators(info.SettingsFileName()),
             m_home.filePath(QStringLiteral("config/Vandrel/Vandrel.ini")));
    QCOMPARE(QDir::fromNativeSeparators(info.ReadDataDir()),
             m_home.filePath(QStringLiteral("data/Vandrel/PhoneData")));
    info.WriteBootMode(TzuPrjInfo::BootMaximized);
    QVERIFY(QFileInfo(info.SettingsFileName()).isFile());
    QVERIFY(QFileInfo(info.ReadDataDir()).isDir());
    const QDir bin(installed(QStringLiteral("bin")));
    QCOMPARE(bin.entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{QStringLiteral("vandrel")});
}

void TestInstall::validators_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("package");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("desktop-file-validate")
        << QStringLiteral("desktop-file-validate") << QStringLiteral("desktop-file-utils")
        << QStringList{installed(appFile("share/applications/", ".desktop"))};
    QTest::newRow("appstreamcli validate")
        << QStringLiteral("appstreamcli") << QStringLiteral("appstream")
        << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                       installed(appFile("share/metainfo/", ".metainfo.xml"))};
    // The metainfo, desktop entry and icons together, as a software centre reads them.
    QTest::newRow("appstreamcli validate-tree")
        << QStringLiteral("appstreamcli") << QStringLiteral("appstream")
        << QStringList{QStringLiteral("validate-tree"), QStringLiteral("--no-net"),
                       m_prefix.path()};
}

void TestInstall::validators()
{
    QFETCH(QString, tool);
    QFETCH(QString, package);
    QFETCH(QStringList, arguments);
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        QSKIP(qPrintable(QStringLiteral("%1 is not installed (Debian package %2; bash build.sh "
                                        "test installs it)")
                             .arg(tool, package)));
    QByteArray output;
    QCOMPARE(run(program, arguments, &output), 0);
    qInfo().noquote() << tool << output.trimmed();
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
