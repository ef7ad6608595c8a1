#pragma once

#include <QIcon>
#include <QString>

#include <functional>

// The program's icon in the notification area. Tests install a fake.
class Tray
{
public:
    virtual ~Tray();

    // Whether the desktop has a notification area at all.
    virtual bool available() = 0;
    // Puts the icon up with its tip; pressed runs after a left or right press on it. False when
    // the desktop refuses the icon.
    virtual bool show(const QIcon &icon, const QString &tip, std::function<void()> pressed) = 0;
    virtual void hide() = 0;

    static Tray &current();
    // Installs a tray (not owned); nullptr restores the real one.
    static void install(Tray *tray);
};
