#pragma once

#include <QString>

// A per-user lock that decides which start of the program runs. The operating system
// releases it when the holding process ends, also after a crash.
class InstanceLock
{
public:
    explicit InstanceLock(const QString &name);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // True when this object now holds the lock, or when no lock could be made at all (the
    // start then runs as the first instance). False when another holder has it.
    bool acquire();
    bool held() const;

    // A private per-user directory for the lock and the hand-over channel; empty when none
    // can be had safely.
    static QString runtimeDirectory();

private:
    QString m_name;
#ifdef Q_OS_WIN
    void *m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};
