#include "platform/Settings.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The screen that Width and Height count their defaults from.
const QSize Screen(1280, 1024);

QVariant valueOf(const Settings &settings, Settings::Key key)
{
    switch (Settings::entry(key).type) {
    case Settings::Type::Bool: return settings.flag(key);
    case Settings::Type::Integer: return settings.integer(key, Screen);
    case Settings::Type::String: return settings.text(key);
    }
    return {};
}

void store(const Settings &settings, Settings::Key key, const QVariant &value)
{
    switch (Settings::entry(key).type) {
    case Settings::Type::Bool: settings.setFlag(key, value.toBool()); break;
    case Settings::Type::Integer: settings.setInteger(key, value.toInt()); break;
    case Settings::Type::String: settings.setText(key, value.toString()); break;
    }
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void read_data();
    void read();
    void bounded_data();
    void bounded();
    void writeReadsBack_data();
    void writeReadsBack();
    void handEditIsSeenAtTheNextRead();
    void location_data();
    void location();

private:
    QString ini() const { return m_settings->fileName(); }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;
};

void TestSettings::initTestCase()
{
    // The per-user folders of this run, never the user's own.
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
    for (auto location : {QStandardPaths::AppConfigLocation, QStandardPaths::AppDataLocation})
        QVERIFY(QStandardPaths::writableLocation(location).startsWith(m_home.path()));
}

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = std::make_unique<Settings>(m_dir->path());
}

void TestSettings::read_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no settings file
    QTest::addColumn<int>("key");
    QTest::addColumn<QVariant>("expected");
    using S = Settings;
    QTest::newRow("no file: boot mode 0") << QByteArray() << int(S::BootMode) << QVariant(0);
    QTest::newRow("no file: no exit question")
        << QByteArray() << int(S::ConfirmExit) << QVariant(false);
    QTest::newRow("no file: skin on") << QByteArray() << int(S::SkinMode) << QVariant(true);
    QTest::newRow("no file: white caption text")
        << QByteArray() << int(S::SkinText) << QVariant(0xFFFFFF);
    QTest::newRow("no file: left 25") << QByteArray() << int(S::Left) << QVariant(25);
    QTest::newRow("no file: top 25") << QByteArray() << int(S::Top) << QVariant(25);
    QTest::newRow("no file: screen width less 50")
        << QByteArray() << int(S::Width) << QVariant(1230);
    QTest::newRow("no file: screen height less 50")
        << QByteArray() << int(S::Height) << QVariant(974);
    QTest::newRow("no file: tree width -1") << QByteArray() << int(S::TreeWidth) << QVariant(-1);
    QTest::newRow("a word in an integer is the default")
        << QByteArray("[PROGRAM]\r\nWidth=wide\r\n") << int(S::Width) << QVariant(1230);
    QTest::newRow("a word in a flag is the default")
        << QByteArray("[Skin]\r\nMode=yes\r\n") << int(S::SkinMode) << QVariant(true);
    QTest::newRow("seven is true")
        << QByteArray("[PROGRAM]\r\nMaximized=7\r\n") << int(S::Maximized) << QVariant(true);
    QTest::newRow("the hue is the skin's")
        << QByteArray("[PROGRAM]\r\nHue=100\r\n[Skin]\r\nHue=12\r\n") << int(S::SkinHue)
        << QVariant(12);
    QTest::newRow("the mode is the skin's")
        << QByteArray("[PROGRAM]\r\nMode=0\r\n") << int(S::SkinMode) << QVariant(true);
    QTest::newRow("names in any case")
        << QByteArray("[skin]\r\ntext=255\r\n") << int(S::SkinText) << QVariant(255);
    QTest::newRow("third directory") << QByteArray("[PROGRAM]\r\n2ND=/two\r\n3RD=/three\r\n")
                                     << int(S::ThirdDir) << QVariant(QStringLiteral("/three"));
    QTest::newRow("a cleared directory")
        << QByteArray("[PROGRAM]\r\n2ND=\r\n") << int(S::SecondDir) << QVariant(QString());
}

void TestSettings::read()
{
    QFETCH(QByteArray, file);
    QFETCH(int, key);
    QFETCH(QVariant, expected);
    if (!file.isEmpty())
        TestFiles::write(ini(), file);
    QCOMPARE(valueOf(*m_settings, Settings::Key(key)), expected);
    // Reading never makes the file.
    QCOMPARE(QFileInfo::exists(ini()), !file.isEmpty());
}

void TestSettings::bounded_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("stored"); // empty: the key is missing
    QTest::addColumn<int>("expected");
    using S = Settings;
    QTest::newRow("boot mode above 3 is 3") << int(S::BootMode) << QByteArray("5") << 3;
    QTest::newRow("boot mode 3") << int(S::BootMode) << QByteArray("3") << 3;
    QTest::newRow("boot mode below 0 is none") << int(S::BootMode) << QByteArray("-4") << -1;
    QTest::newRow("boot mode 0") << int(S::BootMode) << QByteArray("0") << 0;
    QTest::newRow("no tree width is 250") << int(S::TreeWidth) << QByteArray() << 250;
    QTest::newRow("tree width 29 is 250") << int(S::TreeWidth) << QByteArray("29") << 250;
    QTest::newRow("tree width 30") << int(S::TreeWidth) << QByteArray("30") << 30;
    QTest::newRow("tree width 2000") << int(S::TreeWidth) << QByteArray("2000") << 2000;
    QTest::newRow("hue below 0 turns nothing") << int(S::SkinHue) << QByteArray("-40") << 0;
    QTest::newRow("hue 330 wraps later") << int(S::SkinHue) << QByteArray("330") << 330;
    QTest::newRow("left of the primary screen") << int(S::Left) << QByteArray("-1900") << -1900;
}

void TestSettings::bounded()
{
    QFETCH(int, key);
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    const Settings::Entry &entry = Settings::entry(Settings::Key(key));
    if (!stored.isEmpty())
        TestFiles::write(ini(), "[" + QByteArray(entry.section.latin1()) + "]\r\n"
                                    + entry.name.latin1() + "=" + stored + "\r\n");
    QCOMPARE(m_settings->bounded(Settings::Key(key)), expected);
}

void TestSettings::writeReadsBack_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("file");
    using S = Settings;
    QTest::newRow("flag") << int(S::MiniTray) << QVariant(true)
                          << QByteArray("[PROGRAM]\r\nMiniTray=1\r\n");
    QTest::newRow("skin off") << int(S::SkinMode) << QVariant(false)
                              << QByteArray("[Skin]\r\nMode=0\r\n");
    QTest::newRow("no boot mode is kept as it is")
        << int(S::BootMode) << QVariant(-1) << QByteArray("[PROGRAM]\r\nBootMode=-1\r\n");
    QTest::newRow("a negative hue is kept as it is")
        << int(S::SkinHue) << QVariant(-40) << QByteArray("[Skin]\r\nHue=-40\r\n");
    QTest::newRow("colour in decimal")
        << int(S::SkinText) << QVariant(0xFFFFFF) << QByteArray("[Skin]\r\nText=16777215\r\n");
    QTest::newRow("a cleared directory keeps its key")
        << int(S::ThirdDir) << QVariant(QString()) << QByteArray("[PROGRAM]\r\n3RD=\r\n");
    QTest::newRow("Korean directory")
        << int(S::DirData) << QVariant(QStringLiteral("/자료/전화"))
        << "[PROGRAM]\r\nDirData=" + TestFiles::cp949(QStringLiteral("/자료/전화")) + "\r\n";
}

void TestSettings::writeReadsBack()
{
    QFETCH(int, key);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, file);
    store(*m_settings, Settings::Key(key), value);
    QCOMPARE(TestFiles::read(ini()), file);
    QCOMPARE(valueOf(*m_settings, Settings::Key(key)), value);
}

void TestSettings::handEditIsSeenAtTheNextRead()
{
    m_settings->setInteger(Settings::Left, 40);
    QCOMPARE(m_settings->integer(Settings::Left), 40);
    TestFiles::write(ini(), "[PROGRAM]\r\nLeft=41\r\n");
    QCOMPARE(m_settings->integer(Settings::Left), 41);
}

void TestSettings::location_data()
{
    QTest::addColumn<QString>("folder"); // of the program, inside the temporary folder
    QTest::addColumn<bool>("installed"); // a desktop entry in ../share/applications
    QTest::addColumn<bool>("portable");
    QTest::newRow("writable folder") << "bin" << false << true;
    QTest::newRow("missing folder") << "gone/bin" << false << false;
    QTest::newRow("installed in a writable folder") << "bin" << true << false;
}

void TestSettings::location()
{
    QFETCH(QString, folder);
    QFETCH(bool, installed);
    QFETCH(bool, portable);
    const QDir here(m_dir->path());
    if (!folder.startsWith(u"gone"))
        QVERIFY(here.mkpath(folder));
    if (installed) {
        QVERIFY(here.mkpath(QStringLiteral("share/applications")));
        TestFiles::write(here.filePath("share/applications/" + Settings::AppId + ".desktop"),
                         "[Desktop Entry]\n");
    }
    const Settings settings(here.filePath(folder));
    QCOMPARE(settings.isPortable(), portable);
    const QString config =
        portable ? here.filePath(folder)
                 : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString data = portable
                             ? here.filePath(folder)
                             : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(QDir::fromNativeSeparators(settings.fileName()), config + "/Vandrel.ini");
    QCOMPARE(QDir::fromNativeSeparators(settings.dataDir()), data + "/PhoneData");
    QVERIFY(QFileInfo(settings.dataDir()).isDir());
    // The first write finds its folder there.
    settings.setFlag(Settings::MiniTray, true);
    QVERIFY(settings.flag(Settings::MiniTray));
    QVERIFY(QFile::remove(settings.fileName()));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vandrel"));
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settings.moc"
