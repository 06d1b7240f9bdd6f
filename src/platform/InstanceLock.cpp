// Single-instance lock on flock.
#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>

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

bool InstanceLock::tryAcquire()
{
    if (m_fd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(lockFilePath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void InstanceLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace tarnwick
