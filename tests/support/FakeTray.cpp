#include "FakeTray.h"

FakeTray::FakeTray()
{
    Tray::install(this);
}

FakeTray::~FakeTray()
{
    Tray::install(nullptr);
}

bool FakeTray::show(const QIcon &icon_, const QString &tip_, std::function<void()> pressed)
{
    ++showCount;
    if (!isAvailable)
        return false;
    shown = true;
    icon = icon_;
    tip = tip_;
    m_pressed = std::move(pressed);
    return true;
}

void FakeTray::hide()
{
    shown = false;
    m_pressed = nullptr;
}

void FakeTray::press()
{
    // A copy: the handler usually takes the icon down.
    if (const auto pressed = m_pressed; shown && pressed)
        pressed();
}
