#include "InstanceLock.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A directory that only this user can use: owned by us, a real directory, mode 0700.
bool isPrivateDirectory(const QByteArray &path)
{
    struct stat st
    {};
    if (lstat(path.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

} // namespace

QString InstanceLock::runtimeDirectory()
{
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && isPrivateDirectory(xdg))
        return QFile::decodeName(xdg);
    const QString fallback = QDir::tempPath() + QStringLiteral("/vandrel-%1").arg(geteuid());
    const QByteArray encoded = QFile::encodeName(fallback);
    if (mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // Someone else may have made it first; never use a directory we do not own alone.
    return isPrivateDirectory(encoded) ? fallback : QString();
}

InstanceLock::InstanceLock(const QString &name)
    : m_name(name)
{}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the descriptor releases the lock
}

bool InstanceLock::acquire()
{
    if (m_fd >= 0)
        return true;
    const QString dir = runtimeDirectory();
    if (dir.isEmpty())
        return true;
    const QByteArray path = QFile::encodeName(dir + u'/' + m_name + QStringLiteral(".lock"));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool taken = errno == EWOULDBLOCK;
        ::close(fd);
        return !taken;
    }
    m_fd = fd;
    return true;
}

bool InstanceLock::held() const
{
    return m_fd >= 0;
}
