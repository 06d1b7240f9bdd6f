// Appends with O_APPEND so that lines of runs in other processes never
// overwrite each other.
#include "engine/LogFile.h"

#include "platform/ProgramFolder.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

LogFile::LogFile(const QString& fileName)
    : m_path(isPlainFileName(fileName) ? LogFolder() + fileName : QString())
{
}

bool LogFile::isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

bool LogFile::append(const QString& line)
{
    return write(line.toUtf8() + kLogLineEnd);
}

void LogFile::add(const QString& line)
{
    m_pending += line.toUtf8();
    m_pending += kLogLineEnd;
}

bool LogFile::flush()
{
    if (m_pending.isEmpty())
        return true;
    const bool written = write(m_pending);
    m_pending.clear();
    return written;
}

bool LogFile::write(const QByteArray& bytes)
{
    if (m_path.isEmpty())
        return false;
    // Non-blocking open: a fifo named as the log must not hold a run until
    // someone reads it. Only a regular file is a log file.
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const off_t start = ::lseek(fd, 0, SEEK_END);
    const char* data = bytes.constData();
    std::size_t left = static_cast<std::size_t>(bytes.size());
    bool ok = true;
    while (left > 0) {
        const ssize_t wrote = ::write(fd, data, left);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        data += wrote;
        left -= static_cast<std::size_t>(wrote);
    }
    if (!ok && start >= 0) {
        // A full disk cut the last line short: take the piece back, so the
        // file holds whole lines only and the next line starts on its own.
        const qsizetype written = bytes.size() - static_cast<qsizetype>(left);
        constexpr qsizetype endLength = static_cast<qsizetype>(sizeof(kLogLineEnd) - 1);
        const qsizetype whole =
            written >= endLength ? bytes.lastIndexOf(kLogLineEnd, written - endLength) : -1;
        const qsizetype keep = whole < 0 ? 0 : whole + endLength;
        if (::ftruncate(fd, start + keep) != 0)
            ok = false;
    }
    if (::close(fd) != 0)
        ok = false;
    return ok;
}

} // namespace tarnwick
