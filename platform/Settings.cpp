#include "Settings.h"

#include "platform/Profile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>

const QString Settings::AppId = QStringLiteral("kr.vandrel.Vandrel");

namespace {

using Entry = Settings::Entry;
using Origin = Settings::Origin;
using Type = Settings::Type;

constexpr QLatin1String Program("PROGRAM");
constexpr QLatin1String Skin("Skin");
constexpr QLatin1String Sync("Sync");
// The template of an account's section: "SyncAccount:" and the account's name.
constexpr QLatin1String SyncAccount("SyncAccount");

// Every key of the settings file, in the order of Settings::Key.
constexpr std::array<Entry, Settings::KeyCount> Table = {{
    {Settings::ConfirmExit, Program, QLatin1String("ConfirmExit"), Type::Bool, 0},
    {Settings::MiniTray, Program, QLatin1String("MiniTray"), Type::Bool, 0},
    // Below 0 no mode is chosen (what the settings dialog writes when none is).
    {Settings::BootMode, Program, QLatin1String("BootMode"), Type::Integer, Settings::BootPrevious,
     Origin::Fixed, Settings::BootPrevious, Settings::BootTray, -1},
    {Settings::DirData, Program, QLatin1String("DirData"), Type::String, 0, Origin::DataLocation},
    {Settings::SecondDir, Program, QLatin1String("2ND"), Type::String},
    {Settings::ThirdDir, Program, QLatin1String("3RD"), Type::String},
    {Settings::Left, Program, QLatin1String("Left"), Type::Integer, 25},
    {Settings::Top, Program, QLatin1String("Top"), Type::Integer, 25},
    {Settings::Width, Program, QLatin1String("Width"), Type::Integer, 50, Origin::ScreenWidthLess},
    {Settings::Height, Program, QLatin1String("Height"), Type::Integer, 50,
     Origin::ScreenHeightLess},
    {Settings::Maximized, Program, QLatin1String("Maximized"), Type::Bool, 0},
    // No user interface sets it; anything narrower than 30 is the usual 250.
    {Settings::TreeWidth, Program, QLatin1String("TreeWidth"), Type::Integer, -1, Origin::Fixed, 30,
     INT_MAX, 250},
    {Settings::SkinMode, Skin, QLatin1String("Mode"), Type::Bool, 1},
    {Settings::SkinText, Skin, QLatin1String("Text"), Type::Integer, 0xFFFFFF},
    // In 240ths of a turn; 0 or less turns nothing, 240 and more wrap round.
    {Settings::SkinHue, Skin, QLatin1String("Hue"), Type::Integer, 0, Origin::Fixed, 0, INT_MAX},
    // The accounts' names, separated by "|".
    {Settings::SyncAccounts, Sync, QLatin1String("Accounts"), Type::String},
    {Settings::SyncServer, SyncAccount, QLatin1String("Server"), Type::String},
    {Settings::SyncUser, SyncAccount, QLatin1String("User"), Type::String},
    {Settings::SyncBook, SyncAccount, QLatin1String("AddressBook"), Type::String},
    {Settings::SyncBookName, SyncAccount, QLatin1String("AddressBookName"), Type::String},
    // Relative to the data directory, "/" between names; empty for the whole of it.
    {Settings::SyncFolder, SyncAccount, QLatin1String("Folder"), Type::String},
    {Settings::SyncPeriodic, SyncAccount, QLatin1String("Periodic"), Type::Bool, 0},
    // Minutes between periodic syncs; a day at most.
    {Settings::SyncMinutes, SyncAccount, QLatin1String("Minutes"), Type::Integer, 30, Origin::Fixed,
     1, 24 * 60},
}};

constexpr bool inKeyOrder()
{
    for (int i = 0; i < Settings::KeyCount; ++i)
        if (Table[i].key != i)
            return false;
    return true;
}
static_assert(inKeyOrder(), "one table row per key, in the order of Settings::Key");

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

// An installed program keeps to the per-user places even where its folder is writable (for
// root), so nothing is written under /usr.
bool isInstalled(const QString &exeDir)
{
    return QFileInfo::exists(exeDir + QStringLiteral("../share/applications/") + Settings::AppId
                             + QStringLiteral(".desktop"));
}

const Entry &typed(Settings::Key key, Type type)
{
    const Entry &e = Settings::entry(key);
    Q_ASSERT_X(e.type == type, "Settings", "key read or written as the wrong type");
    Q_UNUSED(type);
    return e;
}

} // namespace

const Settings::Entry &Settings::entry(Key key)
{
    return Table.at(key);
}

int Settings::defaultInteger(Key key, QSize screen)
{
    const Entry &e = entry(key);
    switch (e.origin) {
    case Origin::ScreenWidthLess:
    case Origin::ScreenHeightLess:
        Q_ASSERT_X(screen.isValid(), "Settings", "a screen-sized default needs the screen");
        return (e.origin == Origin::ScreenWidthLess ? screen.width() : screen.height())
               - e.defaultValue;
    default: return e.defaultValue;
    }
}

int Settings::bound(Key key, int value)
{
    const Entry &e = entry(key);
    if (value < e.low)
        return e.below.value_or(e.low);
    return value > e.high ? e.high : value;
}

Settings::Settings(const QString &exeDir)
    : m_exeDir(withSeparator(exeDir))
{
    m_portable = isWritableDir(m_exeDir) && !isInstalled(m_exeDir);
    if (m_portable) {
        m_file = m_exeDir + QStringLiteral("Vandrel.ini");
    } else {
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(dir);
        m_file = withSeparator(dir) + QStringLiteral("Vandrel.ini");
    }
}

bool Settings::flag(Key key) const
{
    const Entry &e = typed(key, Type::Bool);
    return profile::readBool(m_file, e.section, e.name, e.defaultValue != 0);
}

void Settings::setFlag(Key key, bool value) const
{
    const Entry &e = typed(key, Type::Bool);
    profile::writeBool(m_file, e.section, e.name, value);
}

int Settings::integer(Key key, QSize screen) const
{
    const Entry &e = typed(key, Type::Integer);
    return profile::readInteger(m_file, e.section, e.name, defaultInteger(key, screen));
}

void Settings::setInteger(Key key, int value) const
{
    const Entry &e = typed(key, Type::Integer);
    profile::writeInteger(m_file, e.section, e.name, value);
}

int Settings::bounded(Key key) const
{
    return bound(key, integer(key));
}

QString Settings::text(Key key) const
{
    const Entry &e = typed(key, Type::String);
    return profile::readString(m_file, e.section, e.name,
                               e.origin == Origin::DataLocation ? defaultDataDir() : QString());
}

void Settings::setText(Key key, const QString &value) const
{
    const Entry &e = typed(key, Type::String);
    profile::writeString(m_file, e.section, e.name, value);
}

QString Settings::groupSection(Key key, const QString &group)
{
    return entry(key).section + u':' + group;
}

QString Settings::text(Key key, const QString &group) const
{
    const Entry &e = typed(key, Type::String);
    return profile::readString(m_file, groupSection(key, group), e.name);
}

void Settings::setText(Key key, const QString &group, const QString &value) const
{
    const Entry &e = typed(key, Type::String);
    profile::writeString(m_file, groupSection(key, group), e.name, value);
}

bool Settings::flag(Key key, const QString &group) const
{
    const Entry &e = typed(key, Type::Bool);
    return profile::readBool(m_file, groupSection(key, group), e.name, e.defaultValue != 0);
}

void Settings::setFlag(Key key, const QString &group, bool value) const
{
    const Entry &e = typed(key, Type::Bool);
    profile::writeBool(m_file, groupSection(key, group), e.name, value);
}

int Settings::bounded(Key key, const QString &group) const
{
    const Entry &e = typed(key, Type::Integer);
    return bound(key,
                 profile::readInteger(m_file, groupSection(key, group), e.name, e.defaultValue));
}

void Settings::setInteger(Key key, const QString &group, int value) const
{
    const Entry &e = typed(key, Type::Integer);
    profile::writeInteger(m_file, groupSection(key, group), e.name, value);
}

void Settings::eraseGroup(Key key, const QString &group) const
{
    profile::eraseSection(m_file, groupSection(key, group));
}

QString Settings::dataDir() const
{
    const QString dir = text(DirData);
    // One level only: a missing parent (an unplugged drive) must not be made up.
    if (!dir.isEmpty() && !QFileInfo(dir).isDir())
        QDir().mkdir(dir);
    return dir;
}

QString Settings::defaultDataDir() const
{
    if (m_portable)
        return m_exeDir + QStringLiteral("PhoneData");
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // The per-user folder itself may be missing on a new account.
    QDir().mkpath(base);
    return withSeparator(base) + QStringLiteral("PhoneData");
}
