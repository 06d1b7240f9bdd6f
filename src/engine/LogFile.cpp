// SPDX-License-Identifier: GPL-3.0-or-later
// Appends with O_APPEND so that lines of runs in other processes never
// overwrite each other.
#include "engine/LogFile.h"

#include "platform/ProgramFolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

QString SystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

LogFile::LogFile(const QString& fileName)
    : m_fileName(fileName), m_path(isPlainFileName(fileName) ? LogFolder() + fileName : QString())
{
}

QString LogFile::takeProblem()
{
    if (m_problemTaken || m_problem.isEmpty())
        return QString();
    m_problemTaken = true;
    return m_problem;
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
    if (lost())
        return false;
    if (m_path.isEmpty()) {
        if (!m_fileName.isEmpty())
            m_problem = QStringLiteral("The log file name \"%1\" is not a plain file name in "
                                       "the Log folder: this run's lines are not logged.")
                            .arg(m_fileName);
        return false;
    }
    const QString why = writeTo(bytes);
    if (why.isEmpty())
        return true;
    m_problem = QStringLiteral("Lines could not be written to the log file %1 (%2): this "
                               "run's lines from there on are missing from it.")
                    .arg(m_path, why);
    return false;
}

QString LogFile::writeTo(const QByteArray& bytes)
{
    // Non-blocking open: a fifo named as the log must not hold a run until
    // someone reads it. Only a regular file is a log file. The log lists
    // every path the user mirrors: it is the user's alone.
    const QByteArray path = QFile::encodeName(m_path);
    constexpr int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.constData(), flags, 0600);
    if (fd < 0 && errno == ENOENT) {
        // The Log folder was removed: made again, rather than lose the lines.
        if (::mkdir(QFile::encodeName(LogFolder()).constData(), 0700) == 0 || errno == EEXIST)
            fd = ::open(path.constData(), flags, 0600);
    }
    if (fd < 0)
        return SystemError();
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return QStringLiteral("not a regular file");
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
    const QString why = ok ? QString() : SystemError();
    if (!ok && start >= 0) {
        // A full disk cut the last line short: take the piece back, so the
        // file holds whole lines only and the next line starts on its own.
        const qsizetype written = bytes.size() - static_cast<qsizetype>(left);
        constexpr qsizetype endLength = static_cast<qsizetype>(sizeof(kLogLineEnd) - 1);
        const qsizetype whole =
            written >= endLength ? bytes.lastIndexOf(kLogLineEnd, written - endLength) : -1;
        const qsizetype keep = whole < 0 ? 0 : whole + endLength;
        // Whole lines or not, the lines are lost and told as such; a cut
        // that fails too has nothing left to tell (a (void) cast would not
        // quiet the C library's fortified declaration).
        [[maybe_unused]] const int cut = ::ftruncate(fd, start + keep);
    }
    if (::close(fd) != 0 && ok)
        return SystemError();
    return why;
}

} // namespace tarnwick
