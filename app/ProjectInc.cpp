#include "ProjectInc.h"

#include "MappedHwnd.h"
#include "platform/Application.h"
#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

TzuPrjInfo *zuPrjInfo = nullptr;

const QString TzuPrjInfo::HomePage = QStringLiteral("https://vandrel.kr/");

TzuPrjInfo::TzuPrjInfo()
    : TzuPrjInfo(QCoreApplication::applicationDirPath())
{}

TzuPrjInfo::TzuPrjInfo(const QString &exeDir)
    : m_settings(exeDir)
    , m_lock(QStringLiteral("Vandrel"))
    , m_map(std::make_unique<TMappedHwnd>())
{
    ExeDir = m_settings.exeDir();
    VandrelApplication::setTitle(TitleText());
}

TzuPrjInfo::~TzuPrjInfo() = default;

QString TzuPrjInfo::SettingsFileName() const
{
    return m_settings.fileName();
}

bool TzuPrjInfo::ReadFlag(int selector) const
{
    return m_settings.flag(selector == SelConfirmExit ? Settings::ConfirmExit : Settings::MiniTray);
}

void TzuPrjInfo::WriteFlag(int selector, bool value) const
{
    if (selector == SelConfirmExit)
        m_settings.setFlag(Settings::ConfirmExit, value);
    else if (selector == SelMiniTray)
        m_settings.setFlag(Settings::MiniTray, value);
}

int TzuPrjInfo::ReadBootMode() const
{
    return m_settings.integer(Settings::BootMode);
}

void TzuPrjInfo::WriteBootMode(int mode) const
{
    m_settings.setInteger(Settings::BootMode, mode);
}

QString TzuPrjInfo::ReadDataDir() const
{
    return m_settings.dataDir();
}

void TzuPrjInfo::WriteDataDir(const QString &dir) const
{
    m_settings.setText(Settings::DirData, dir);
}

QString TzuPrjInfo::ReadExtraDir(int selector) const
{
    return m_settings.text(selector == SelSecondDir ? Settings::SecondDir : Settings::ThirdDir);
}

void TzuPrjInfo::WriteExtraDir(int selector, const QString &dir) const
{
    m_settings.setText(selector == SelSecondDir ? Settings::SecondDir : Settings::ThirdDir, dir);
}

int TzuPrjInfo::ReadInteger(Settings::Key key) const
{
    return m_settings.integer(key, ScreenSize());
}

void TzuPrjInfo::WriteInteger(Settings::Key key, int value) const
{
    m_settings.setInteger(key, value);
}

bool TzuPrjInfo::ReadBool(Settings::Key key) const
{
    return m_settings.flag(key);
}

void TzuPrjInfo::WriteBool(Settings::Key key, bool value) const
{
    m_settings.setFlag(key, value);
}

QSize TzuPrjInfo::ScreenSize()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

int TzuPrjInfo::DefaultWidth()
{
    return Settings::defaultInteger(Settings::Width, ScreenSize());
}

int TzuPrjInfo::DefaultHeight()
{
    return Settings::defaultInteger(Settings::Height, ScreenSize());
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
