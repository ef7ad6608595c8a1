#include "Tray.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSystemTrayIcon>

namespace {

class QtTray final : public Tray
{
public:
    bool available() override { return QSystemTrayIcon::isSystemTrayAvailable(); }

    bool show(const QIcon &icon, const QString &tip, std::function<void()> pressed) override
    {
        if (!available())
            return false;
        if (!m_icon) {
            // Owned by the application, so that it goes before the toolkit does.
            m_icon = new QSystemTrayIcon(QCoreApplication::instance());
            // Queued: the handler takes the icon down, which must not happen inside its own
            // event.
            QObject::connect(
                m_icon, &QSystemTrayIcon::activated, m_icon,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    const bool press =
                        reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context;
                    // A copy: the handler takes the icon down.
                    if (const auto pressed = m_pressed; press && pressed)
                        pressed();
                },
                Qt::QueuedConnection);
        }
        m_pressed = std::move(pressed);
        m_icon->setIcon(icon);
        m_icon->setToolTip(tip);
        m_icon->show();
        return m_icon->isVisible();
    }

    void hide() override
    {
        m_pressed = nullptr;
        if (m_icon)
            m_icon->hide();
    }

private:
    QPointer<QSystemTrayIcon> m_icon;
    std::function<void()> m_pressed;
};

Tray *g_installed = nullptr;

} // namespace

Tray::~Tray() = default;

Tray &Tray::current()
{
    static QtTray real;
    return g_installed ? *g_installed : real;
}

void Tray::install(Tray *tray)
{
    g_installed = tray;
}
