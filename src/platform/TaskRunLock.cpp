// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TaskRunLock.h"

#include "platform/ReadToEnd.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

TaskRunLock::~TaskRunLock()
{
    release();
}

QString TaskRunLock::lockFilePath(const QString& dataFolder, const QString& taskId)
{
    // Any text may be an ID: its hash makes a plain file name of it.
    const QByteArray digest = QCryptographicHash::hash(taskId.toUtf8(), QCryptographicHash::Sha256);
    return QDir(dataFolder).filePath(QStringLiteral("Runs/Task-%1.lock")
                                         .arg(QString::fromLatin1(digest.toHex().left(16))));
}

TaskRunLock::Outcome TaskRunLock::tryAcquire(const QString& dataFolder, const QString& taskId)
{
    if (m_fd >= 0)
        return Outcome::Acquired;
    m_error.clear();
    m_holder = 0;
    const QString path = lockFilePath(dataFolder, taskId);
    const QByteArray folder = QFile::encodeName(QDir(dataFolder).filePath(QStringLiteral("Runs")));
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        m_error = QStringLiteral("Cannot make the folder %1: %2")
                      .arg(QFile::decodeName(folder), Reason(errno));
        return Outcome::Failed;
    }
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("Cannot make the lock file %1: %2").arg(path, Reason(errno));
        return Outcome::Failed;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        m_error = QStringLiteral("Cannot use the lock file %1: it is not a regular file").arg(path);
        ::close(fd);
        return Outcome::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            m_holder = ReadToEnd(fd).trimmed().toLongLong();
            ::close(fd);
            return Outcome::HeldElsewhere;
        }
        m_error = QStringLiteral("Cannot lock the file %1: %2").arg(path, Reason(error));
        ::close(fd);
        return Outcome::Failed;
    }
    // Named for a second run to tell whom it waits for; a name that cannot
    // be written takes nothing from the lock itself.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    const bool named = ::ftruncate(fd, 0) == 0 &&
                       ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) == pid.size();
    Q_UNUSED(named)
    m_fd = fd;
    return Outcome::Acquired;
}

void TaskRunLock::release()
{
    if (m_fd < 0)
        return;
    // Emptied first: a later look at the file never names a process that
    // no longer holds it.
    const bool emptied = ::ftruncate(m_fd, 0) == 0;
    Q_UNUSED(emptied) // the lock goes with the descriptor anyway
    ::close(m_fd);
    m_fd = -1;
}

} // namespace tarnwick
