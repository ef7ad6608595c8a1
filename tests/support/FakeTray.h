#pragma once

#include "platform/Tray.h"

// A notification area that records what the program puts there and lets a test press the
// icon. Installed for its lifetime.
class FakeTray : public Tray
{
public:
    FakeTray();
    ~FakeTray() override;

    bool available() override { return isAvailable; }
    bool show(const QIcon &icon, const QString &tip, std::function<void()> pressed) override;
    void hide() override;

    // A left or right press on the icon, when it is up.
    void press();

    bool isAvailable = true;
    bool shown = false;
    int showCount = 0;
    QString tip;
    QIcon icon;

private:
    std::function<void()> m_pressed;
};
