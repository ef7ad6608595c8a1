#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class InstanceServer;

// Where a second start finds the running instance's main window: a per-user local channel
// named "VandrelMap" that the first instance listens on once its main window exists.
// No listener means "no window yet", and a second start then ends silently.
class TMappedHwnd
{
public:
    TMappedHwnd();
    ~TMappedHwnd();
    TMappedHwnd(const TMappedHwnd &) = delete;
    TMappedHwnd &operator=(const TMappedHwnd &) = delete;

    // Publishes the window: from now on a hand-over from a second start calls onHandOver.
    void Store(QWidget *window, std::function<void()> onHandOver);
    // The window stored by this process, or nullptr.
    QWidget *Window() const { return m_window; }
    bool IsPublished() const;

    // Hands over to the running instance; true when it answered in time.
    bool SendHandOver(int timeoutMs) const;

    QString ChannelName() const { return m_channel; }

private:
    QString m_channel;
    QPointer<QWidget> m_window;
    InstanceServer *m_server = nullptr;
};
