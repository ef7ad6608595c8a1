#include "ProjectInc.h"

#include "MappedHwnd.h"
#include "platform/Application.h"
#include "platform/Desktop.h"
#include "platform/Profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

TzuPrjInfo *zuPrjInfo = nullptr;

const QString TzuPrjInfo::HomePage = QStringLiteral("https://vandrel.kr/");
const QString TzuPrjInfo::AppId = QStringLiteral("kr.vandrel.Vandrel");

namespace {

QString withSeparator(QString dir)
{
    dir = QDir::toNativeSeparators(dir);
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}

bool isWritableDir(const QString &dir)
{
    const QFileInfo info(dir);
    return info.isDir() && info.isWritable();
}

// An installed program has its desktop entry in ../share/applications. It keeps to the
// per-user places even where its folder is writable (for root), so nothing is written under
// /usr.
bool isInstalled(const QString &exeDir)
{
    return QFileInfo::exists(exeDir + QStringLiteral("../share/applications/") + TzuPrjInfo::AppId
                             + QStringLiteral(".desktop"));
}

} // namespace

TzuPrjInfo::TzuPrjInfo()
    : TzuPrjInfo(QCoreApplication::applicationDirPath())
{}

TzuPrjInfo::TzuPrjInfo(const QString &exeDir)
    : ExeDir(withSeparator(exeDir))
    , m_lock(QStringLiteral("Vandrel"))
    , m_map(std::make_unique<TMappedHwnd>())
{
    // Beside the program when its folder is writable, a portable copy; else per user.
    m_portable = isWritableDir(ExeDir) && !isInstalled(ExeDir);
    if (m_portable) {
        m_settingsFile = ExeDir + QStringLiteral("Vandrel.ini");
    } else {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(dir);
        m_settingsFile = withSeparator(dir) + QStringLiteral("Vandrel.ini");
    }
    VandrelApplication::setTitle(TitleText());
}

TzuPrjInfo::~TzuPrjInfo() = default;

QString TzuPrjInfo::SettingsFileName() const
{
    return m_settingsFile;
}

bool TzuPrjInfo::ReadFlag(int selector) const
{
    const QString &key =
        selector == SelConfirmExit ? SettingsKey::ConfirmExit : SettingsKey::MiniTray;
    return ReadBool(SettingsKey::Program, key, false);
}

void TzuPrjInfo::WriteFlag(int selector, bool value) const
{
    if (selector == SelConfirmExit)
        WriteBool(SettingsKey::Program, SettingsKey::ConfirmExit, value);
    else if (selector == SelMiniTray)
        WriteBool(SettingsKey::Program, SettingsKey::MiniTray, value);
}

int TzuPrjInfo::ReadBootMode() const
{
    return ReadInteger(SettingsKey::Program, SettingsKey::BootMode, BootPrevious);
}

void TzuPrjInfo::WriteBootMode(int mode) const
{
    WriteInteger(SettingsKey::Program, SettingsKey::BootMode, mode);
}

QString TzuPrjInfo::DefaultDataDir() const
{
    if (m_portable)
        return ExeDir + QStringLiteral("PhoneData");
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // The per-user folder itself may be missing on a new account.
    QDir().mkpath(base);
    return withSeparator(base) + QStringLiteral("PhoneData");
}

QString TzuPrjInfo::ReadDataDir() const
{
    const QString dir = profile::readString(m_settingsFile, SettingsKey::Program,
                                            SettingsKey::DirData, DefaultDataDir());
    // One level only: a missing parent (an unplugged drive) must not be made up.
    if (!dir.isEmpty() && !QFileInfo(dir).isDir())
        QDir().mkdir(dir);
    return dir;
}

void TzuPrjInfo::WriteDataDir(const QString &dir) const
{
    profile::writeString(m_settingsFile, SettingsKey::Program, SettingsKey::DirData, dir);
}

QString TzuPrjInfo::ReadExtraDir(int selector) const
{
    const QString &key = selector == SelSecondDir ? SettingsKey::Dir2 : SettingsKey::Dir3;
    return profile::readString(m_settingsFile, SettingsKey::Program, key, QString());
}

void TzuPrjInfo::WriteExtraDir(int selector, const QString &dir) const
{
    const QString &key = selector == SelSecondDir ? SettingsKey::Dir2 : SettingsKey::Dir3;
    profile::writeString(m_settingsFile, SettingsKey::Program, key, dir);
}

int TzuPrjInfo::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    return profile::readInteger(m_settingsFile, section, key, defaultValue);
}

void TzuPrjInfo::WriteInteger(const QString &section, const QString &key, int value) const
{
    profile::writeInteger(m_settingsFile, section, key, value);
}

bool TzuPrjInfo::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return profile::readBool(m_settingsFile, section, key, defaultValue);
}

void TzuPrjInfo::WriteBool(const QString &section, const QString &key, bool value) const
{
    profile::writeBool(m_settingsFile, section, key, value);
}

int TzuPrjInfo::DefaultWidth()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return (screen ? screen->geometry().width() : 1024) - 50;
}

int TzuPrjInfo::DefaultHeight()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return (screen ? screen->geometry().height() : 768) - 50;
}

bool TzuPrjInfo::OpenDocument(const QString &text) const
{
    if (text.isEmpty())
        return false;
    return Desktop::current().openDocument(text);
}

bool TzuPrjInfo::OpenHomePage() const
{
    return OpenDocument(HomePage);
}

void TzuPrjInfo::ReadFileVersion(int &major, int &minor, int &release)
{
    major = VANDREL_VERSION_MAJOR;
    minor = VANDREL_VERSION_MINOR;
    release = VANDREL_VERSION_RELEASE;
}

QString TzuPrjInfo::VersionText()
{
    int major = 0, minor = 0, release = 0;
    ReadFileVersion(major, minor, release);
    return QStringLiteral("%1.%2 release %3").arg(major).arg(minor).arg(release);
}

QString TzuPrjInfo::TitleText()
{
    return QStringLiteral("Vandrel ") + VersionText();
}

bool TzuPrjInfo::CheckSingleInstance()
{
    if (!m_lock.acquire()) {
        // Another start runs: bring it forward if it has a window yet, then end quietly.
        m_map->SendHandOver(HandOverTimeoutMs);
        return false;
    }
    m_startHidden = ReadBootMode() == BootTray;
    return true;
}

void TzuPrjInfo::StoreMainWindow(QWidget *window, std::function<void()> onHandOver)
{
    m_map->Store(window, std::move(onHandOver));
}

QWidget *TzuPrjInfo::MainWindowHandle() const
{
    return m_map->Window();
}
