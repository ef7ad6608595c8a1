#include "InstanceLock.h"

#include <QDir>

#include <windows.h>

QString InstanceLock::runtimeDirectory()
{
    return QDir::tempPath();
}

InstanceLock::InstanceLock(const QString &name)
    : m_name(name)
{}

InstanceLock::~InstanceLock()
{
    if (m_handle)
        CloseHandle(m_handle);
}

bool InstanceLock::acquire()
{
    if (m_handle)
        return true;
    HANDLE handle = CreateMutexW(nullptr, TRUE, reinterpret_cast<LPCWSTR>(m_name.utf16()));
    if (!handle)
        return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(handle);
        return false;
    }
    m_handle = handle;
    return true;
}

bool InstanceLock::held() const
{
    return m_handle != nullptr;
}
