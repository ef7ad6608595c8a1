#include "app/ProjectInc.h"
#include "platform/Application.h"
#include "platform/Errors.h"
#include "support/FakeDesktop.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestPrjInfo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void defaultsWithoutSettingsFile();
    void settingsFileBesideProgram();
    void settingsFilePerUserWhenFolderNotWritable();
    void settingsFilePerUserWhenInstalled();
    void readsFromHandEditedFile_data();
    void readsFromHandEditedFile();
    void flagSelectors_data();
    void flagSelectors();
    void writeFlagIgnoresOtherSelectors();
    void extraDirectories();
    void dataDirectoryIsCreatedOneLevel();
    void valuesRoundTrip();
    void versionAndTitle();
    void openDocument_data();
    void openDocument();
    void homePage();
    void failedWriteIsReportedAndProgramGoesOn();
    void singleInstanceCheck_data();
    void singleInstanceCheck();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
    QString ini() const { return m_info->SettingsFileName(); }
};

void TestPrjInfo::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestPrjInfo::init()
{
    m_info.reset();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_info = std::make_unique<TzuPrjInfo>(m_dir->path());
}

void TestPrjInfo::defaultsWithoutSettingsFile()
{
    QVERIFY(!QFile::exists(ini()));
    QCOMPARE(m_info->ReadBootMode(), 0);
    QCOMPARE(m_info->ReadFlag(TzuPrjInfo::SelConfirmExit), false);
    QCOMPARE(m_info->ReadFlag(TzuPrjInfo::SelMiniTray), false);
    QCOMPARE(m_info->ReadExtraDir(TzuPrjInfo::SelSecondDir), QString());
    QCOMPARE(m_info->ReadExtraDir(TzuPrjInfo::SelThirdDir), QString());
    QCOMPARE(m_info->ReadInteger(Settings::Left), 25);
    QCOMPARE(m_info->ReadInteger(Settings::TreeWidth), -1);
    QCOMPARE(m_info->ReadBool(Settings::SkinMode), true);
    QCOMPARE(m_info->ReadInteger(Settings::SkinText), 16777215);
    const QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QCOMPARE(TzuPrjInfo::DefaultWidth(), screen->geometry().width() - 50);
    QCOMPARE(TzuPrjInfo::DefaultHeight(), screen->geometry().height() - 50);

    const QString expected = QDir::toNativeSeparators(m_dir->path() + "/PhoneData");
    QCOMPARE(m_info->ReadDataDir(), expected);
    QVERIFY(QFileInfo(expected).isDir());
    // Reading never writes the settings file.
    QVERIFY(!QFile::exists(ini()));
}

void TestPrjInfo::settingsFileBesideProgram()
{
    QVERIFY(m_info->ExeDir.endsWith(QDir::separator()));
    QCOMPARE(ini(), m_info->ExeDir + "Vandrel.ini");
}

void TestPrjInfo::settingsFilePerUserWhenFolderNotWritable()
{
    // A program folder that cannot be written to (here: one that does not exist).
    TzuPrjInfo info(m_dir->filePath(QStringLiteral("not-there")));
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QCOMPARE(QFileInfo(info.SettingsFileName()).absolutePath(),
             QFileInfo(config).absoluteFilePath());
    QCOMPARE(QFileInfo(info.SettingsFileName()).fileName(), QStringLiteral("Vandrel.ini"));
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(QFileInfo(info.ReadDataDir()).absoluteFilePath(),
             QFileInfo(data + "/PhoneData").absoluteFilePath());
    QVERIFY(QFileInfo(info.ReadDataDir()).isDir());
}

void TestPrjInfo::settingsFilePerUserWhenInstalled()
{
    // An installed copy, in a folder that root may write to: still nothing beside it.
    const QString bin = m_dir->filePath(QStringLiteral("bin"));
    const QString applications = m_dir->filePath(QStringLiteral("share/applications"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(applications));
    QFile entry(applications + u'/' + TzuPrjInfo::AppId + QStringLiteral(".desktop"));
    QVERIFY(entry.open(QIODevice::WriteOnly));
    entry.close();
    TzuPrjInfo info(bin);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QCOMPARE(QFileInfo(info.SettingsFileName()).absolutePath(),
             QFileInfo(config).absoluteFilePath());
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(QFileInfo(info.ReadDataDir()).absoluteFilePath(),
             QFileInfo(data + "/PhoneData").absoluteFilePath());
    QCOMPARE(QDir(bin).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestPrjInfo::readsFromHandEditedFile_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("bootMode");
    QTest::newRow("decimal") << QByteArray("BootMode=2") << 2;
    QTest::newRow("hexadecimal") << QByteArray("BootMode=0x2") << 2;
    QTest::newRow("dollar") << QByteArray("BootMode=$3") << 3;
    QTest::newRow("junk after number") << QByteArray("BootMode=2abc") << 0;
    QTest::newRow("key case") << QByteArray("bootmode=1") << 1;
    QTest::newRow("blanks") << QByteArray("BootMode =  3 ") << 3;
    QTest::newRow("quoted") << QByteArray("BootMode=\"3\"") << 3;
}

void TestPrjInfo::readsFromHandEditedFile()
{
    QFETCH(QByteArray, line);
    QFETCH(int, bootMode);
    TestFiles::write(ini(), "[program]\r\n" + line + "\r\n");
    QCOMPARE(m_info->ReadBootMode(), bootMode);
}

void TestPrjInfo::flagSelectors_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("selector");
    QTest::addColumn<bool>("expected");
    const QByteArray both = "[PROGRAM]\r\nConfirmExit=1\r\nMiniTray=0\r\n";
    QTest::newRow("1000 reads ConfirmExit") << both << 1000 << true;
    QTest::newRow("1001 reads MiniTray") << both << 1001 << false;
    QTest::newRow("0 reads MiniTray") << both << 0 << false;
    QTest::newRow("1030 reads MiniTray") << both << 1030 << false;
    QTest::newRow("-1 reads MiniTray") << both << -1 << false;
    QTest::newRow("seven is true") << QByteArray("[PROGRAM]\r\nMiniTray=7\r\n") << 1001 << true;
    QTest::newRow("word is default")
        << QByteArray("[PROGRAM]\r\nMiniTray=abc\r\n") << 1001 << false;
    QTest::newRow("negative is true")
        << QByteArray("[PROGRAM]\r\nConfirmExit=-1\r\n") << 1000 << true;
}

void TestPrjInfo::flagSelectors()
{
    QFETCH(QByteArray, file);
    QFETCH(int, selector);
    QFETCH(bool, expected);
    TestFiles::write(ini(), file);
    QCOMPARE(m_info->ReadFlag(selector), expected);
}

void TestPrjInfo::writeFlagIgnoresOtherSelectors()
{
    m_info->WriteFlag(1002, true);
    m_info->WriteFlag(0, true);
    QVERIFY(!QFile::exists(ini()));
    m_info->WriteFlag(TzuPrjInfo::SelMiniTray, true);
    m_info->WriteFlag(TzuPrjInfo::SelConfirmExit, false);
    QCOMPARE(TestFiles::read(ini()), QByteArray("[PROGRAM]\r\nMiniTray=1\r\nConfirmExit=0\r\n"));
}

void TestPrjInfo::extraDirectories()
{
    m_info->WriteExtraDir(TzuPrjInfo::SelSecondDir, QStringLiteral("/data/둘째"));
    m_info->WriteExtraDir(77, QStringLiteral("/data/third"));
    QCOMPARE(m_info->ReadExtraDir(TzuPrjInfo::SelSecondDir), QStringLiteral("/data/둘째"));
    QCOMPARE(m_info->ReadExtraDir(TzuPrjInfo::SelThirdDir), QStringLiteral("/data/third"));
    QCOMPARE(m_info->ReadExtraDir(5), QStringLiteral("/data/third"));

    // Erasing keeps the key with an empty value.
    m_info->WriteExtraDir(TzuPrjInfo::SelSecondDir, QString());
    QCOMPARE(m_info->ReadExtraDir(TzuPrjInfo::SelSecondDir), QString());
    QVERIFY(TestFiles::read(ini()).contains("\r\n2ND=\r\n"));
}

void TestPrjInfo::dataDirectoryIsCreatedOneLevel()
{
    const QString one = m_dir->filePath(QStringLiteral("전화부"));
    m_info->WriteDataDir(one);
    QCOMPARE(m_info->ReadDataDir(), one);
    QVERIFY(QFileInfo(one).isDir());

    // A missing parent (an unplugged drive) is not made up.
    const QString deep = m_dir->filePath(QStringLiteral("gone/Phone"));
    m_info->WriteDataDir(deep);
    QCOMPARE(m_info->ReadDataDir(), deep);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("gone"))));

    // The text comes back as written, separators and all.
    m_info->WriteDataDir(one + QDir::separator());
    QCOMPARE(m_info->ReadDataDir(), one + QDir::separator());
}

void TestPrjInfo::valuesRoundTrip()
{
    m_info->WriteBootMode(3);
    m_info->WriteInteger(Settings::SkinHue, -40);
    m_info->WriteBool(Settings::Maximized, true);
    m_info->WriteInteger(Settings::SkinText, 0x00FFFFFF);
    QCOMPARE(m_info->ReadBootMode(), 3);
    QCOMPARE(m_info->ReadInteger(Settings::SkinHue), -40);
    QCOMPARE(m_info->ReadBool(Settings::Maximized), true);
    QCOMPARE(TestFiles::read(ini()),
             QByteArray("[PROGRAM]\r\nBootMode=3\r\nMaximized=1\r\n[Skin]\r\nHue=-40\r\n"
                        "Text=16777215\r\n"));
}

void TestPrjInfo::versionAndTitle()
{
    int major = -1, minor = -1, release = -1;
    TzuPrjInfo::ReadFileVersion(major, minor, release);
    const QStringList parts = QStringLiteral(VANDREL_VERSION_STRING).split(u'.');
    QCOMPARE(parts.size(), 4);
    QCOMPARE(major, parts[0].toInt());
    QCOMPARE(minor, parts[1].toInt());
    QCOMPARE(release, parts[2].toInt());
    QCOMPARE(TzuPrjInfo::VersionText(),
             QStringLiteral("%1.%2 release %3").arg(parts[0], parts[1], parts[2]));
    QCOMPARE(TzuPrjInfo::TitleText(), "Vandrel " + TzuPrjInfo::VersionText());
    QVERIFY(QRegularExpression(QStringLiteral("^Vandrel \\d+\\.\\d+ release \\d+$"))
                .match(TzuPrjInfo::TitleText())
                .hasMatch());
    QCOMPARE(VandrelApplication::title(), TzuPrjInfo::TitleText());
}

void TestPrjInfo::openDocument_data()
{
    // "@" stands for a folder holding "docs/" and one file of every kind below.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("opened"); // empty: refused
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blanks") << "  "
                            << "";
    QTest::newRow("no scheme") << "www.example.com"
                               << "http://www.example.com";
    QTest::newRow("https") << " https://vandrel.kr/a?b=1 "
                           << "https://vandrel.kr/a?b=1";
    QTest::newRow("scheme case") << "HTTP://Example.com/"
                                 << "http://example.com/";
    QTest::newRow("ftp") << "ftp://ftp.example.com/pub"
                         << "ftp://ftp.example.com/pub";
    QTest::newRow("mail") << "mailto:kim@example.kr"
                          << "mailto:kim@example.kr";
    QTest::newRow("host and port") << "example.com:8080/x"
                                   << "http://example.com:8080/x";
    QTest::newRow("local folder") << "@/docs"
                                  << "file://@/docs";
    QTest::newRow("folder as file url") << "file://@/docs"
                                        << "file://@/docs";
    QTest::newRow("missing folder") << "@/gone"
                                    << "";
    QTest::newRow("words") << "Kim Chul Su"
                           << "";
    QTest::newRow("javascript") << "javascript:alert(1)"
                                << "";
    QTest::newRow("vbscript") << "vbscript:msgbox(1)"
                              << "";
    QTest::newRow("shell folder") << "shell:startup"
                                  << "";
    QTest::newRow("network share") << "smb://server/share"
                                   << "";
    QTest::newRow("unc path") << "\\\\server\\share\\run.hta"
                              << "";
    QTest::newRow("drive path") << "C:\\Users\\kim\\run.vbs"
                                << "";
    for (const char *suffix : {"vbs", "js", "hta", "ps1", "cmd", "bat", "lnk", "url", "reg", "cpl",
                               "exe", "sh", "desktop", "txt"}) {
        QTest::addRow("local .%s", suffix) << QStringLiteral("@/run.") + suffix << "";
        QTest::addRow("file url .%s", suffix) << QStringLiteral("file://@/run.") + suffix << "";
    }
}

void TestPrjInfo::openDocument()
{
    QFETCH(QString, text);
    QFETCH(QString, opened);
    const QString here = m_dir->path();
    QVERIFY(QDir(here).mkpath(QStringLiteral("docs")));
    for (const char *suffix : {"vbs", "js", "hta", "ps1", "cmd", "bat", "lnk", "url", "reg", "cpl",
                               "exe", "sh", "desktop", "txt"})
        TestFiles::write(here + QStringLiteral("/run.") + suffix, "x");
    text.replace(u'@', here);
    opened.replace(u'@', here);

    FakeDesktop desktop;
    ScriptedDialogs dialogs;
    QCOMPARE(m_info->OpenDocument(text), !opened.isEmpty());
    QCOMPARE(desktop.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    // A refusal is told, except for an empty value, which does nothing.
    QCOMPARE(dialogs.messageCount(), opened.isEmpty() && !text.trimmed().isEmpty() ? 1 : 0);
}

void TestPrjInfo::homePage()
{
    FakeDesktop desktop;
    QVERIFY(m_info->OpenHomePage());
    QCOMPARE(desktop.opened, QStringList{TzuPrjInfo::HomePage});
    QVERIFY(TzuPrjInfo::HomePage.startsWith(QStringLiteral("https://")));
}

void TestPrjInfo::failedWriteIsReportedAndProgramGoesOn()
{
    ScriptedDialogs dialogs;
    // A directory standing where the settings file belongs makes every write fail.
    QVERIFY(QDir().mkdir(ini()));
    QVERIFY_THROWS_EXCEPTION(WriteError, m_info->WriteBootMode(1));

    QPushButton button;
    bool after = false;
    connect(&button, &QPushButton::clicked, this, [&] {
        m_info->WriteFlag(TzuPrjInfo::SelMiniTray, true);
        after = true;
    });
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    QVERIFY(!after);
    QCOMPARE(dialogs.messageCount(), 1);
    QCOMPARE(dialogs.lastText(), "Unable to write to " + ini());
    QCOMPARE(m_info->ReadFlag(TzuPrjInfo::SelMiniTray), false);
}

void TestPrjInfo::singleInstanceCheck_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("no settings") << QByteArray() << false;
    QTest::newRow("boot mode 1") << QByteArray("[PROGRAM]\r\nBootMode=1\r\n") << false;
    QTest::newRow("boot mode 3") << QByteArray("[PROGRAM]\r\nBootMode=3\r\n") << true;
}

void TestPrjInfo::singleInstanceCheck()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, hidden);
    QTemporaryDir runtime;
    QVERIFY(QFile::setPermissions(runtime.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    if (!settings.isEmpty())
        TestFiles::write(ini(), settings);

    {
        TzuPrjInfo first(m_dir->path());
        QVERIFY(first.CheckSingleInstance());
        QCOMPARE(first.StartHidden(), hidden);
        QCOMPARE(first.MainWindowHandle(), nullptr);

        // A second object in the same process stands for a second start; the first has no
        // window yet, so it ends without waiting.
        TzuPrjInfo second(m_dir->path());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!second.CheckSingleInstance());
        QVERIFY(timer.elapsed() < TzuPrjInfo::HandOverTimeoutMs);
        QCOMPARE(second.MainWindowHandle(), nullptr);

        QWidget window;
        first.StoreMainWindow(&window, [] {});
        QCOMPARE(first.MainWindowHandle(), &window);
    }
    // With the first gone, the next start runs again.
    TzuPrjInfo next(m_dir->path());
    QVERIFY(next.CheckSingleInstance());
    qputenv("XDG_RUNTIME_DIR", oldRuntime);
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Vandrel"));
    TestPrjInfo test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_prjinfo.moc"
