// SPDX-License-Identifier: GPL-3.0-or-later
// Single-instance lock on flock. The folder and the lock file are opened
// without following a link where another could have planted one, and are
// checked on the opened descriptors, so nothing swapped in after a check
// is used. Who holds the lock is what the kernel says (/proc/locks), not
// what the file says: only a holder that is this program and names itself
// is ever signalled.
#include "platform/InstanceLock.h"

#include "platform/ReadToEnd.h"

#include "platform/ProgramFolder.h"
#include "platform/UserFolders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tarnwick {

namespace {

QString SystemReason(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

// Why nobody but this user can be trusted with the folder's entries, or
// nothing when only this user can add, remove or replace them.
QString FolderProblem(const struct stat& status)
{
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("it is not a folder");
    if (status.st_uid != ::geteuid())
        return QStringLiteral("it belongs to another user (uid %1)").arg(status.st_uid);
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("others can write to it (mode %1)")
            .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

QString LockFileProblem(const struct stat& status)
{
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("it is not a regular file");
    if (status.st_uid != ::geteuid())
        return QStringLiteral("it belongs to another user (uid %1)").arg(status.st_uid);
    return {};
}

// Made when missing (the cache folder too), and never reached through a
// link.
struct LockFolder
{
    QString path;
};

LockFolder CurrentLockFolder()
{
    // The user's own cache folder: nobody else can make names there first,
    // as anyone can in the shared temporary folder, and it is the same
    // whether a session's runtime folder is set or not (cron, sudo, a
    // service), so the window and the daemon always meet at one lock.
    const QString cache = XdgBaseFolder(QProcessEnvironment::systemEnvironment(),
                                        QStringLiteral("XDG_CACHE_HOME"), QStringLiteral(".cache"));
    if (cache.isEmpty())
        return {QDir::temp().filePath(QStringLiteral("tarnwick-%1").arg(::geteuid()))};
    return {JoinPath(cache, QStringLiteral("tarnwick"))};
}

// Tarnwick-<hash>: one lock per data folder (the folder of the task
// database the window and the daemon would both run from), the same for
// every path that leads to the folder. The lock file and the holder's
// socket carry it.
QString HolderFileStem()
{
    const QString folder = DataFolder();
    QString canonical = QDir(folder).canonicalPath();
    if (canonical.isEmpty())
        canonical = QDir(folder).absolutePath();
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha256);
    return QStringLiteral("Tarnwick-%1").arg(QString::fromLatin1(digest.toHex().left(16)));
}

QString LockFileName()
{
    return HolderFileStem() + QStringLiteral(".lock");
}

// Opens the lock folder, making it (mode 0700) when `make`
// says so, and checks the opened folder. -1 with `error` set when there is
// none safe to use; -1 with `error` empty when it does not exist.
int OpenLockFolder(const LockFolder& folder, bool make, QString& error)
{
    const QByteArray path = QFile::encodeName(folder.path);
    // The cache folder above it may be missing on a fresh account.
    if (make)
        ::mkdir(QFile::encodeName(QFileInfo(folder.path).absolutePath()).constData(), 0700);
    if (make && ::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        error = QStringLiteral("Cannot make the lock folder %1: %2")
                    .arg(folder.path, SystemReason(errno));
        return -1;
    }
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
    const int fd = ::open(path.constData(), flags);
    if (fd < 0) {
        const int openError = errno;
        struct stat status = {};
        if (openError == ENOENT && !make)
            return -1;
        if (::lstat(path.constData(), &status) == 0 && S_ISLNK(status.st_mode))
            error = QStringLiteral("Cannot use the lock folder %1: it is a symbolic link")
                        .arg(folder.path);
        else if (openError == ENOTDIR)
            error = QStringLiteral("Cannot use the lock folder %1: it is not a folder")
                        .arg(folder.path);
        else
            error = QStringLiteral("Cannot open the lock folder %1: %2")
                        .arg(folder.path, SystemReason(openError));
        return -1;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0) {
        error = QStringLiteral("Cannot look at the lock folder %1: %2")
                    .arg(folder.path, SystemReason(errno));
        ::close(fd);
        return -1;
    }
    const QString problem = FolderProblem(status);
    if (!problem.isEmpty()) {
        error = QStringLiteral("Cannot use the lock folder %1: %2").arg(folder.path, problem);
        ::close(fd);
        return -1;
    }
    return fd;
}

// The process holding an exclusive flock on the file, from the kernel's
// list of locks ("1: FLOCK  ADVISORY  WRITE <pid> <major>:<minor>:<inode>
// ..."; waiters carry "->"). 0 when the list does not name one.
qint64 ExclusiveHolderOf(const struct stat& file)
{
    const int fd = ::open("/proc/locks", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const QByteArray locks = ReadToEnd(fd);
    ::close(fd);
    for (const QByteArray& line : locks.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] != "FLOCK" || fields[3] != "WRITE")
            continue;
        const QList<QByteArray> device = fields[5].split(':');
        if (device.size() != 3)
            continue;
        bool majorOk = false, minorOk = false, inodeOk = false;
        const uint majorNumber = device[0].toUInt(&majorOk, 16);
        const uint minorNumber = device[1].toUInt(&minorOk, 16);
        const qulonglong inode = device[2].toULongLong(&inodeOk);
        if (!majorOk || !minorOk || !inodeOk || majorNumber != major(file.st_dev) ||
            minorNumber != minor(file.st_dev) || inode != file.st_ino)
            continue;
        bool pidOk = false;
        const qint64 pid = fields[4].toLongLong(&pidOk);
        return pidOk && pid > 0 ? pid : 0;
    }
    return 0;
}

// The executable a process runs; empty when it cannot be read. A program
// replaced on disk since it started (an update) still counts as itself.
QString ExecutableOf(qint64 pid)
{
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(link.constData(), buffer, sizeof buffer);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof buffer))
        return {};
    QString path = QFile::decodeName(QByteArray(buffer, length));
    const QString deleted = QStringLiteral(" (deleted)");
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path;
}

// This process's executable and the window and command line beside it:
// the programs that may hold the lock as this program.
bool IsThisProgram(const QString& executable)
{
    if (executable.isEmpty())
        return false;
    const QString self = ExecutableOf(::getpid());
    if (executable == self)
        return true;
    const QString folder = QFileInfo(self).absolutePath();
    for (const QString& name : {QStringLiteral("tarnwick"), QStringLiteral("tarnwick-cli")}) {
        const QString canonical = QFileInfo(JoinPath(folder, name)).canonicalFilePath();
        if (!canonical.isEmpty() && executable == canonical)
            return true;
    }
    return false;
}

bool MayBeAskedToReload(const std::optional<InstanceLock::Holder>& holder)
{
    return holder && holder->pid > 0 && holder->pid != ::getpid() && holder->announced &&
           holder->thisProgram;
}

// A descriptor that stays with the process whatever becomes of its id;
// -1 where the system has none to give (then errno says why).
int PinProcess(pid_t pid)
{
#if defined(SYS_pidfd_open) && defined(SYS_pidfd_send_signal)
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    Q_UNUSED(pid);
    errno = ENOSYS;
    return -1;
#endif
}

bool SignalPinned(int pidFd, pid_t pid, int signalNumber)
{
#if defined(SYS_pidfd_open) && defined(SYS_pidfd_send_signal)
    if (pidFd >= 0)
        return ::syscall(SYS_pidfd_send_signal, pidFd, signalNumber, nullptr, 0) == 0;
#else
    Q_UNUSED(pidFd);
#endif
    return ::kill(pid, signalNumber) == 0;
}

} // namespace

InstanceLock::~InstanceLock()
{
    release();
}

QString InstanceLock::lockFilePath()
{
    return JoinPath(CurrentLockFolder().path, LockFileName());
}

QString InstanceLock::socketFilePath()
{
    return JoinPath(CurrentLockFolder().path, HolderFileStem() + QStringLiteral(".socket"));
}

InstanceLock::Outcome InstanceLock::tryAcquire()
{
    if (m_fd >= 0)
        return Outcome::Acquired;
    m_error.clear();
    const LockFolder folder = CurrentLockFolder();
    const QString name = LockFileName();
    const QString filePath = JoinPath(folder.path, name);
    const int folderFd = OpenLockFolder(folder, true, m_error);
    if (folderFd < 0)
        return Outcome::Failed;
    // Not truncated here: until the lock is held the file belongs to
    // whoever holds it.
    const int fd = ::openat(folderFd, QFile::encodeName(name).constData(),
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int openError = errno;
    ::close(folderFd);
    if (fd < 0) {
        if (openError == ELOOP)
            m_error =
                QStringLiteral("Cannot use the lock file %1: it is a symbolic link").arg(filePath);
        else
            m_error = QStringLiteral("Cannot make the lock file %1: %2")
                          .arg(filePath, SystemReason(openError));
        return Outcome::Failed;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0) {
        m_error = QStringLiteral("Cannot look at the lock file %1: %2")
                      .arg(filePath, SystemReason(errno));
        ::close(fd);
        return Outcome::Failed;
    }
    const QString problem = LockFileProblem(status);
    if (!problem.isEmpty()) {
        m_error = QStringLiteral("Cannot use the lock file %1: %2").arg(filePath, problem);
        ::close(fd);
        return Outcome::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Outcome::HeldElsewhere;
        m_error = QStringLiteral("Cannot lock %1: %2").arg(filePath, SystemReason(error));
        return Outcome::Failed;
    }
    // What an earlier holder announced is no longer true; until this one
    // announces itself the file names nobody to signal.
    if (::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        m_error = QStringLiteral("Cannot clear %1: %2").arg(filePath, SystemReason(error));
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
    QString error;
    const int folderFd = OpenLockFolder(CurrentLockFolder(), false, error);
    if (folderFd < 0)
        return std::nullopt;
    const int fd = ::openat(folderFd, QFile::encodeName(LockFileName()).constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    ::close(folderFd);
    if (fd < 0)
        return std::nullopt;
    struct stat status = {};
    // A lock we can take is held by nobody: whatever the file says is stale.
    if (::fstat(fd, &status) != 0 || !LockFileProblem(status).isEmpty() ||
        flock(fd, LOCK_SH | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
        ::close(fd);
        return std::nullopt;
    }
    const QByteArray text = ReadToEnd(fd);
    Holder found;
    found.pid = ExclusiveHolderOf(status);
    ::close(fd);
    if (found.pid > 0) {
        found.program = ExecutableOf(found.pid);
        found.thisProgram = IsThisProgram(found.program);
    }
    const QList<QByteArray> lines = text.split('\n');
    bool ok = false;
    const qint64 named = lines.value(0).trimmed().toLongLong(&ok);
    found.announced = ok && found.pid > 0 && named == found.pid;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!lines[i].isEmpty())
            found.runningTaskIds << QString::fromUtf8(lines[i]);
    }
    return found;
}

bool InstanceLock::askHolderToReload()
{
    const std::optional<Holder> found = holder();
    if (!MayBeAskedToReload(found))
        return false;
    // Pin the process, then look again: a holder that ended and left its
    // id to another process in between is then not the one signalled.
    const auto pid = static_cast<pid_t>(found->pid);
    const int pidFd = PinProcess(pid);
    if (pidFd < 0 && errno == ESRCH)
        return false;
    const std::optional<Holder> again = holder();
    const bool sent =
        MayBeAskedToReload(again) && again->pid == found->pid && SignalPinned(pidFd, pid, SIGHUP);
    if (pidFd >= 0)
        ::close(pidFd);
    return sent;
}

void InstanceLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace tarnwick
