#pragma once

#include <QLatin1String>
#include <QSize>
#include <QString>

#include <climits>
#include <optional>

// The settings file Vandrel.ini: where it is, and one table of every key it holds with the key's
// section, type, default and range. Each read or write goes to the file through the profile
// layer once; nothing is kept between calls, so a value edited by hand counts at its next read.
class Settings
{
public:
    enum Key {
        ConfirmExit,
        MiniTray,
        BootMode,
        DirData,
        SecondDir,
        ThirdDir,
        Left,
        Top,
        Width,
        Height,
        Maximized,
        TreeWidth,
        SkinMode,
        SkinText,
        SkinHue,
        // Sync accounts: the list in [Sync], each account's keys in a section of its own.
        SyncAccounts,
        SyncServer,
        SyncUser,
        SyncBook,
        SyncBookName,
        SyncFolder,
        SyncPeriodic,
        SyncMinutes,
    };
    static constexpr int KeyCount = SyncMinutes + 1;

    enum class Type { Bool, Integer, String };
    // Where the value of a missing key comes from.
    enum class Origin {
        Fixed,            // defaultValue (strings: empty)
        ScreenWidthLess,  // the screen's width less defaultValue
        ScreenHeightLess, // the screen's height less defaultValue
        DataLocation,     // "PhoneData" beside the program or in the per-user data folder
    };

    struct Entry
    {
        Key key;
        QLatin1String section;
        QLatin1String name;
        Type type;
        int defaultValue = 0;
        Origin origin = Origin::Fixed;
        // Integers: the values that mean what they say. One above high stands for high; one
        // below low for below, or for low when below is not given.
        int low = INT_MIN;
        int high = INT_MAX;
        std::optional<int> below = {};
    };

    static constexpr int BootPrevious = 0;
    static constexpr int BootMaximized = 1;
    static constexpr int BootFullScreen = 2;
    static constexpr int BootTray = 3;

    // The name of the desktop entry, the icon and the metainfo (without their extensions). An
    // installed program has its desktop entry in ../share/applications.
    static const QString AppId;

    static const Entry &entry(Key key);
    // The default of an integer or boolean key; screen is needed by Width and Height.
    static int defaultInteger(Key key, QSize screen = {});
    // A stored integer brought into the key's range; values are stored as they come.
    static int bound(Key key, int value);

    // The settings of the program in exeDir: beside it as a portable copy when that folder is
    // writable and the program is not installed, else in the per-user configuration folder.
    explicit Settings(const QString &exeDir);

    // The program's folder, ending with a separator.
    QString exeDir() const { return m_exeDir; }
    QString fileName() const { return m_file; }
    bool isPortable() const { return m_portable; }

    bool flag(Key key) const;
    void setFlag(Key key, bool value) const;
    int integer(Key key, QSize screen = {}) const;
    void setInteger(Key key, int value) const;
    // integer(), brought into the key's range.
    int bounded(Key key) const;
    QString text(Key key) const;
    void setText(Key key, const QString &value) const;

    // Keys of a section that is there once per name (a sync account): the table's section,
    // ":" and the name.
    static QString groupSection(Key key, const QString &group);
    QString text(Key key, const QString &group) const;
    void setText(Key key, const QString &group, const QString &value) const;
    bool flag(Key key, const QString &group) const;
    void setFlag(Key key, const QString &group, bool value) const;
    int bounded(Key key, const QString &group) const;
    void setInteger(Key key, const QString &group, int value) const;
    // Removes the whole section of the group that key belongs to.
    void eraseGroup(Key key, const QString &group) const;

    // DirData as stored; a missing folder of that name is made, one level only.
    QString dataDir() const;
    QString defaultDataDir() const;

private:
    QString m_exeDir;
    QString m_file;
    bool m_portable = true;
};
