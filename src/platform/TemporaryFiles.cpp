// SPDX-License-Identifier: GPL-3.0-or-later
// Names, locks and the clean-up of the copy's visible temporary files.
#include "platform/TemporaryFiles.h"

#include "platform/FolderReader.h"

#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

// A file that has changed within this time may belong to a writer that has
// made it and not yet taken its lock.
constexpr qint64 kStartingWriterSeconds = 60;

constexpr char kPrefix[] = ".tarnwick-";
constexpr char kSuffix[] = ".tmp";
constexpr int kRandomDigits = 16; // lower-case hex, 64 bits

bool IsLowerHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// Reads the decimal digits at `p`, at least one; false when there are none
// or too many.
bool ReadNumber(const char*& p, unsigned long long& value)
{
    const char* start = p;
    value = 0;
    while (*p >= '0' && *p <= '9') {
        if (p - start >= 18)
            return false;
        value = value * 10 + static_cast<unsigned>(*p - '0');
        ++p;
    }
    return p > start;
}

bool WriterRuns(pid_t writer)
{
    if (writer == ::getpid())
        return true;
    return ::kill(writer, 0) == 0 || errno == EPERM;
}

} // namespace

QByteArray TemporaryName()
{
    const QByteArray random = QByteArray::number(QRandomGenerator::global()->generate64(), 16)
                                  .rightJustified(kRandomDigits, '0');
    return QByteArray(kPrefix) + QByteArray::number(static_cast<qint64>(::getpid())) + '-' +
           random + kSuffix;
}

bool IsTemporaryName(const char* name, pid_t* writer)
{
    const std::size_t prefixLength = sizeof kPrefix - 1;
    for (std::size_t i = 0; i < prefixLength; ++i) {
        if (name[i] != kPrefix[i])
            return false;
    }
    const char* p = name + prefixLength;
    unsigned long long pid = 0;
    if (!ReadNumber(p, pid) || *p++ != '-')
        return false;
    for (int i = 0; i < kRandomDigits; ++i, ++p) {
        if (!IsLowerHex(*p))
            return false;
    }
    for (std::size_t i = 0; i < sizeof kSuffix; ++i) { // the NUL included
        if (p[i] != kSuffix[i])
            return false;
    }
    if (pid == 0 || pid > 0x7fffffffULL)
        return false;
    if (writer)
        *writer = static_cast<pid_t>(pid);
    return true;
}

int CreateTemporaryFile(int dirFd, QByteArray& name, mode_t mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName();
        const int fd =
            ::openat(dirFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // At once: from here on a clean-up sees the file as in use.
        ::flock(fd, LOCK_EX);
        return fd;
    }
    errno = EEXIST;
    return -1;
}

int RemoveStaleTemporaryFiles(int dirFd, const Clock& clock, const KeepName& keep)
{
    FolderReader folder;
    if (folder.open(dirFd, ".") != 0)
        return 0;
    int removed = 0;
    const char* name;
    std::size_t length;
    unsigned char type;
    while (folder.next(name, length, type)) {
        pid_t writer = 0;
        if (!IsTemporaryName(name, &writer) || (keep && keep(name)))
            continue;
        const int fd =
            ::openat(folder.fd(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st;
        struct stat named;
        const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                           ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                           (!WriterRuns(writer) || clock.secondsSinceEpoch() - st.st_ctim.tv_sec >
                                                       kStartingWriterSeconds) &&
                           // Still the file that was judged under that name.
                           ::fstatat(folder.fd(), name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                           named.st_ino == st.st_ino && named.st_dev == st.st_dev;
        if (stale && ::unlinkat(folder.fd(), name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

} // namespace tarnwick
