#pragma once

#include "platform/InstanceLock.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;
class TMappedHwnd;

// Names of the settings file's sections and keys.
namespace SettingsKey {
inline const QString Program = QStringLiteral("PROGRAM");
inline const QString Skin = QStringLiteral("Skin");
inline const QString ConfirmExit = QStringLiteral("ConfirmExit");
inline const QString MiniTray = QStringLiteral("MiniTray");
inline const QString BootMode = QStringLiteral("BootMode");
inline const QString DirData = QStringLiteral("DirData");
inline const QString Dir2 = QStringLiteral("2ND");
inline const QString Dir3 = QStringLiteral("3RD");
inline const QString Left = QStringLiteral("Left");
inline const QString Top = QStringLiteral("Top");
inline const QString Width = QStringLiteral("Width");
inline const QString Height = QStringLiteral("Height");
inline const QString Maximized = QStringLiteral("Maximized");
inline const QString TreeWidth = QStringLiteral("TreeWidth");
inline const QString Mode = QStringLiteral("Mode");
inline const QString Text = QStringLiteral("Text");
inline const QString Hue = QStringLiteral("Hue");
} // namespace SettingsKey

// The application information object: where the program lives, its title and version, the
// gateway to the settings file, and the single-instance check. One per process.
class TzuPrjInfo
{
public:
    // Selectors
    static constexpr int SelConfirmExit = 1000;
    static constexpr int SelMiniTray = 1001;
    static constexpr int SelSecondDir = 1030;
    static constexpr int SelThirdDir = 1031;

    static constexpr int BootPrevious = 0;
    static constexpr int BootMaximized = 1;
    static constexpr int BootFullScreen = 2;
    static constexpr int BootTray = 3;

    // How long a second start waits for the running instance to answer.
    static constexpr int HandOverTimeoutMs = 3000;

    static const QString HomePage;
    // The name of the desktop entry, the icon and the metainfo (without their extensions).
    static const QString AppId;

    TzuPrjInfo();
    // For a program folder other than the running program's own.
    explicit TzuPrjInfo(const QString &exeDir);
    ~TzuPrjInfo();
    TzuPrjInfo(const TzuPrjInfo &) = delete;
    TzuPrjInfo &operator=(const TzuPrjInfo &) = delete;

    // The program's folder, ending with a separator.
    QString ExeDir;

    QString SettingsFileName() const;

    bool ReadFlag(int selector) const;
    void WriteFlag(int selector, bool value) const;
    int ReadBootMode() const;
    void WriteBootMode(int mode) const;
    QString ReadDataDir() const;
    void WriteDataDir(const QString &dir) const;
    QString ReadExtraDir(int selector) const;
    void WriteExtraDir(int selector, const QString &dir) const;

    // Any other key of the settings file.
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    void WriteInteger(const QString &section, const QString &key, int value) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;
    void WriteBool(const QString &section, const QString &key, bool value) const;

    // Defaults of the window placement keys: 25, 25 and the primary screen less 50 each way.
    static int DefaultWidth();
    static int DefaultHeight();

    bool OpenDocument(const QString &text) const;
    bool OpenHomePage() const;

    static void ReadFileVersion(int &major, int &minor, int &release);
    static QString VersionText();
    static QString TitleText();

    // Single instance
    bool CheckSingleInstance();
    void StoreMainWindow(QWidget *window, std::function<void()> onHandOver);
    QWidget *MainWindowHandle() const;
    // Boot mode 3 was in force at the check: the main window is not shown at start.
    bool StartHidden() const { return m_startHidden; }

private:
    QString DefaultDataDir() const;

    InstanceLock m_lock;
    std::unique_ptr<TMappedHwnd> m_map;
    QString m_settingsFile;
    bool m_portable = true;
    bool m_startHidden = false;
};

// The one application information object of the process.
extern TzuPrjInfo *zuPrjInfo;
