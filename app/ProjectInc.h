#pragma once

#include "platform/Settings.h"
#include "platform/InstanceLock.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;
class TMappedHwnd;

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

    static constexpr int BootPrevious = Settings::BootPrevious;
    static constexpr int BootMaximized = Settings::BootMaximized;
    static constexpr int BootFullScreen = Settings::BootFullScreen;
    static constexpr int BootTray = Settings::BootTray;

    // How long a second start waits for the running instance to answer.
    static constexpr int HandOverTimeoutMs = 3000;

    static const QString HomePage;
    static inline const QString &AppId = Settings::AppId;

    TzuPrjInfo();
    // For a program folder other than the running program's own.
    explicit TzuPrjInfo(const QString &exeDir);
    ~TzuPrjInfo();
    TzuPrjInfo(const TzuPrjInfo &) = delete;
    TzuPrjInfo &operator=(const TzuPrjInfo &) = delete;

    // The program's folder, ending with a separator.
    QString ExeDir;

    QString SettingsFileName() const;
    // The settings file's table of keys.
    const Settings &settings() const { return m_settings; }

    bool ReadFlag(int selector) const;
    void WriteFlag(int selector, bool value) const;
    int ReadBootMode() const;
    void WriteBootMode(int mode) const;
    QString ReadDataDir() const;
    void WriteDataDir(const QString &dir) const;
    QString ReadExtraDir(int selector) const;
    void WriteExtraDir(int selector, const QString &dir) const;

    // Any key of the settings file, with the table's default; Width and Height count theirs
    // from the primary screen.
    int ReadInteger(Settings::Key key) const;
    void WriteInteger(Settings::Key key, int value) const;
    bool ReadBool(Settings::Key key) const;
    void WriteBool(Settings::Key key, bool value) const;

    // Defaults of the window size keys: the primary screen less 50 each way.
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
    static QSize ScreenSize();

    Settings m_settings;
    InstanceLock m_lock;
    std::unique_ptr<TMappedHwnd> m_map;
    bool m_startHidden = false;
};

// The one application information object of the process.
extern TzuPrjInfo *zuPrjInfo;
