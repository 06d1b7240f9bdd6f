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
    // What an earlier holder announced is no longer true; until this one
    // announces itself the file names nobody to signal.
    if (::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        m_error = QStringLiteral("Cannot clear %1: %2")
                      .arg(filePath, QString::fromLocal8Bit(strerror(error)));
        return Outcome::Failed;
    }
    m_fd = fd;
    return Outcome::Acquired;
}

bool InstanceLock::announce(const QStringList& runningTaskIds)
{
    if (m_fd < 0)
        return false;
    QByteArray text = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    for (const QString& id : runningTaskIds)
        text += id.toUtf8() + '\n';
    // Readers take whatever the file holds while the lock is held; a short
    // text written over a longer one is cut to length first.
    if (::ftruncate(m_fd, 0) != 0)
        return false;
    const ssize_t written = ::pwrite(m_fd, text.constData(), static_cast<size_t>(text.size()), 0);
    return written == text.size();
}

std::optional<InstanceLock::Holder> InstanceLock::holder()
{
    const QString filePath = lockFilePath();
    const int fd = ::open(QFile::encodeName(filePath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    // A lock we can take is held by nobody: whatever the file says is stale.
    if (flock(fd, LOCK_SH | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        text.append(buffer, got);
    }
    ::close(fd);
    Holder found;
    const QList<QByteArray> lines = text.split('\n');
    bool ok = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
    if (ok && pid > 0)
        found.pid = pid;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!lines[i].isEmpty())
            found.runningTaskIds << QString::fromUtf8(lines[i]);
    }
    return found;
}

void InstanceLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace tarnwick
