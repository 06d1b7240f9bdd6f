// Single-instance lock on flock.
#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarnwick {

InstanceLock::~InstanceLock()
{
    release();
}

QString InstanceLock::lockFilePath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(QStringLiteral("Tarnwick.lock"));
    return QDir::temp().filePath(QStringLiteral("Tarnwick-%1.lock").arg(getuid()));
}

InstanceLock::Outcome InstanceLock::tryAcquire()
{
    if (m_fd >= 0)
        return Outcome::Acquired;
    m_error.clear();
    const QString filePath = lockFilePath();
    const int fd =
        ::open(QFile::encodeName(filePath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("Cannot make the lock file %1: %2")
                      .arg(filePath, QString::fromLocal8Bit(strerror(errno)));
        return Outcome::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Outcome::HeldElsewhere;
        m_error = QStringLiteral("Cannot lock %1: %2")
                      .arg(filePath, QString::fromLocal8Bit(strerror(error)));
        return Outcome::Failed;
    }
    m_fd = fd;
    return Outcome::Acquired;
}

void InstanceLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace tarnwick
